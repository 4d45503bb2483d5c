// Arithmetic, random numbers and block moves.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "platform/rtl/system.h"

namespace {

TEST(RoundTest, HalvesGoToTheEvenNeighbour) {
  struct Case {
    long double x;
    int64_t expected;
  };
  const Case cases[] = {{0.5L, 0},   {1.5L, 2},   {2.5L, 2},    {3.5L, 4},   {-0.5L, 0},
                        {-1.5L, -2}, {-2.5L, -2}, {2.4999L, 2}, {2.5001L, 3}, {-2.6L, -3},
                        {0.49999999999999994L, 0},  // the largest double below one half
                        {4503599627370497.5L, 4503599627370498},
                        {-9223372036854775807.0L - 1, INT64_MIN}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<double>(c.x));
    EXPECT_EQ(Round(c.x), c.expected);
  }
}

TEST(RoundTest, TruncCeilFloorFrac) {
  EXPECT_EQ(Trunc(2.9L), 2);
  EXPECT_EQ(Trunc(-2.9L), -2);
  EXPECT_EQ(Ceil(2.1L), 3);
  EXPECT_EQ(Ceil(-2.1L), -2);
  EXPECT_EQ(Ceil(2.0L), 2);
  EXPECT_EQ(Floor(-2.1L), -3);
  EXPECT_EQ(Floor(2.9L), 2);
  EXPECT_EQ(Frac(2.75L), 0.75L);
  EXPECT_EQ(Frac(-2.75L), -0.75L);
}

TEST(RoundTest, ValuesOutsideInt64Raise) {
  for (const long double x : {std::numeric_limits<long double>::infinity(),
                              std::numeric_limits<long double>::quiet_NaN(), 9.3e18L, -9.3e18L}) {
    EXPECT_THROW(Round(x), EInvalidOp);
    EXPECT_THROW(Trunc(x), EInvalidOp);
    EXPECT_THROW(Ceil(x), EInvalidOp);
    EXPECT_THROW(Floor(x), EInvalidOp);
  }
}

TEST(MathTest, Functions) {
  EXPECT_EQ(Hypot(3, 4), 5);
  EXPECT_NEAR(static_cast<double>(ArcTan2(1, 0)), static_cast<double>(Pi / 2), 1e-15);  // (y, x)
  EXPECT_NEAR(static_cast<double>(ArcTan2(0, -1)), static_cast<double>(Pi), 1e-15);
  EXPECT_EQ(Power(2, 10), 1024);
  EXPECT_EQ(Power(0, 0), 1);
  EXPECT_EQ(Power(-8, 0), 1);
  EXPECT_NEAR(static_cast<double>(Power(2, 0.5L)), std::sqrt(2.0), 1e-15);
  EXPECT_EQ(MaxInt, 2147483647);
}

TEST(RandomTest, RangeAndRepeatableSequences) {
  const int32_t saved = RandSeed;
  RandSeed = 12345;
  std::vector<int32_t> first;
  for (int i = 0; i < 50; ++i) first.push_back(Random(1000));
  RandSeed = 12345;
  for (int i = 0; i < 50; ++i) EXPECT_EQ(Random(1000), first[static_cast<size_t>(i)]);

  std::set<int32_t> seen;
  for (int i = 0; i < 2000; ++i) {
    const int32_t v = Random(10);
    ASSERT_GE(v, 0);
    ASSERT_LT(v, 10);
    seen.insert(v);
    const long double f = Random();
    ASSERT_GE(f, 0.0L);
    ASSERT_LT(f, 1.0L);
  }
  EXPECT_EQ(seen.size(), 10u);  // every value turns up
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(1), 0);
  EXPECT_EQ(Random(-5), 0);
  RandSeed = saved;
}

TEST(RandomTest, RandomizeChangesTheSeed) {
  const int32_t saved = RandSeed;
  RandSeed = 0;
  Randomize();
  const int32_t a = RandSeed;
  Randomize();
  EXPECT_TRUE(a != 0 || RandSeed != 0);
  RandSeed = saved;
}

TEST(MoveTest, OverlappingBlocksAndFill) {
  char buf[] = "abcdefgh";
  Move(buf, buf + 2, 4);  // source first, then destination
  EXPECT_STREQ(buf, "ababcdgh");
  Move(buf + 2, buf, 4);
  EXPECT_STREQ(buf, "abcdcdgh");
  Move(buf, buf + 1, 0);
  Move(buf, buf + 1, -3);
  EXPECT_STREQ(buf, "abcdcdgh");
  FillChar(buf, 3, 'z');
  EXPECT_STREQ(buf, "zzzdcdgh");
  FillChar(buf, -1, 'y');
  EXPECT_STREQ(buf, "zzzdcdgh");
}

}  // namespace
