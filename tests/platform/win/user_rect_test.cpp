#include <gtest/gtest.h>

#include "platform/win/user_rect.h"

namespace {

TEST(RectTest, IntersectAndUnionTreatEmptyRectanglesAsNothing) {
  struct Case {
    RECT a, b, intersection, unionRect;
    bool overlaps;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}, {0, 0, 20, 20}, true},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {}, {0, 0, 20, 10}, false},  // edges do not overlap
      {{0, 0, 10, 10}, {3, 3, 3, 9}, {}, {0, 0, 10, 10}, false},     // empty b
      {{5, 5, 1, 1}, {2, 2, 4, 4}, {}, {2, 2, 4, 4}, false},         // inverted a
  };
  for (const Case& c : cases) {
    RECT r;
    EXPECT_EQ(IntersectRect(&r, &c.a, &c.b) != FALSE, c.overlaps);
    EXPECT_EQ(r, c.intersection);
    UnionRect(&r, &c.a, &c.b);
    EXPECT_EQ(r, c.unionRect);
  }
  RECT r{0, 0, 10, 10};
  EXPECT_TRUE(PtInRect(&r, POINT{0, 0}));
  EXPECT_FALSE(PtInRect(&r, POINT{10, 5})) << "right edge excluded";
  OffsetRect(&r, 2, 3);
  InflateRect(&r, 1, 1);
  EXPECT_EQ(r, (RECT{1, 2, 13, 14}));
  EXPECT_FALSE(IsRectEmpty(&r));
  SetRectEmpty(&r);
  EXPECT_TRUE(IsRectEmpty(&r));
}

}  // namespace
