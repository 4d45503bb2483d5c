// The replaceable clock behind the tick count and Randomize.
#include "platform/rtl/clock.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/system.h"
#include "platform/rtl/threads.h"

namespace {

uint64_t fakeNow = 0;
uint64_t fakeClock() { return fakeNow; }

TEST(ClockTest, TickCountAndRandomizeFollowAnInstalledClock) {
  const int32_t savedSeed = RandSeed;
  {
    TClockScope scope(&fakeClock);
    // 2^32 ms + 5 ms: the 32-bit tick count wraps, the 64-bit one does not.
    fakeNow = (uint64_t{1} << 32) * 1000000u + 5999999u;
    EXPECT_EQ(GetTickCount64(), (uint64_t{1} << 32) + 5u);
    EXPECT_EQ(GetTickCount(), 5u);

    // The same reading gives the same seed, and so the same sequence.
    Randomize();
    const int32_t seedAtFirst = RandSeed;
    const int32_t first[3] = {Random(1000), Random(1000), Random(1000)};
    Randomize();
    const int32_t again[3] = {Random(1000), Random(1000), Random(1000)};
    EXPECT_EQ(std::vector<int32_t>(first, first + 3), std::vector<int32_t>(again, again + 3));
    fakeNow += 1;
    Randomize();
    EXPECT_NE(RandSeed, seedAtFirst);
  }
  // Leaving the scope restores the system clock, which moves on by itself.
  EXPECT_LT(GetTickCount64(), uint64_t{1} << 40);
  RandSeed = savedSeed;
}

TEST(ClockTest, SetClockAnswersThePreviousClock) {
  EXPECT_EQ(SetClock(&fakeClock), nullptr);
  EXPECT_EQ(SetClock(nullptr), &fakeClock);
  EXPECT_EQ(SetClock(nullptr), nullptr);
}

}  // namespace
