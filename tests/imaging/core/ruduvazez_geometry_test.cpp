#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "imaging/core/ruduvazez.h"

namespace {

constexpr double kPi = std::numbers::pi;

TEST(Geometry, PointsAndBoxes) {
  EXPECT_TRUE(IEPointInRect(10, 10, 0, 0, 10, 10));  // edges included
  EXPECT_FALSE(IEPointInRect(11, 10, 0, 0, 10, 10));
  EXPECT_TRUE(IEPointInTRect(0, 5, RECT{0, 0, 10, 10}));
  EXPECT_TRUE(IEPointInBox(5, 5, 10, 10, 0, 0));
  EXPECT_TRUE(IEBoxesOverlap(20, 20, 10, 10, 0, 0, 10, 10));  // one shared corner
  EXPECT_FALSE(IEBoxesOverlap(20, 20, 11, 11, 0, 0, 10, 10));
  EXPECT_EQ(IERectContainment(0, 0, 100, 100, 10, 10, 20, 20), 2);
  EXPECT_EQ(IERectContainment(0, 0, 100, 100, 90, 90, 120, 120), 1);
  EXPECT_EQ(IERectContainment(0, 40, 100, 60, 40, 0, 60, 100), 0);  // a cross: overlap, no corner inside
}

TEST(Geometry, SnapLineAngle) {
  struct Case {
    int32_t x2, y2, wantX, wantY;
  };
  const Case cases[] = {
      {10, 8, 10, 10},    // right and below, wider: y grows to match
      {40, 5, 40, 0},     // horizontal
      {5, 40, 0, 40},     // vertical
      {-10, -8, -8, -8},  // left and above, wider: x shrinks toward the first point
      {-10, 8, -10, 10},  // left and below, wider
      {8, -10, 10, -10},  // right and above, taller
      {10, 0, 10, 0},     // straight right stays
      {0, 0, 0, 0},       // equal stays
  };
  for (const auto& c : cases) {
    int32_t x = c.x2, y = c.y2;
    IESnapLineAngle(0, 0, x, y);
    EXPECT_EQ(x, c.wantX) << c.x2 << "," << c.y2;
    EXPECT_EQ(y, c.wantY) << c.x2 << "," << c.y2;
  }
}

TEST(Geometry, Distances) {
  EXPECT_DOUBLE_EQ(IEDistance(0, 0, 3, 4), 5);
  EXPECT_DOUBLE_EQ(IEPointToLineDistance(0, 5, -10, 0, 10, 0), 5);
  EXPECT_DOUBLE_EQ(IEPointToSegmentDistance(5, 5, 0, 0, 10, 0), 5);   // foot inside
  EXPECT_DOUBLE_EQ(IEPointToSegmentDistance(13, 4, 0, 0, 10, 0), 5);  // beyond the end
  EXPECT_DOUBLE_EQ(IEPointToSegmentDistance(-3, 4, 0, 0, 10, 0), 5);  // before the start
  EXPECT_DOUBLE_EQ(IEPointToSegmentDistance(3, 4, 0, 0, 0, 0), 5);    // a point
  EXPECT_EQ(IEPointToSegmentDistance(100000, 0, 0, 0, 10, 0), 1000000);
  const POINT square[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
  EXPECT_DOUBLE_EQ(IEPointToPolylineDistance(-2, 5, square, 4, 0, 0, 0, 0, 1, 1, 1, false), std::sqrt(29.0));  // to the nearer end
  EXPECT_DOUBLE_EQ(IEPointToPolylineDistance(-2, 5, square, 4, 0, 0, 0, 0, 1, 1, 1, true), 2);
  EXPECT_DOUBLE_EQ(IEPointToPolylineDistance(-4, 5, square, 4, 0, 0, 0, 0, 2, 2, 1, true), 4);  // zoomed
  EXPECT_EQ(IEPointToPolylineDistance(0, 0, square, 0, 0, 0, 0, 0, 1, 1, 1, true), 1000000);
  // A pen of 6 also measures copies shifted by x -3..3 and y 2..3 (never upwards).
  EXPECT_DOUBLE_EQ(IEPointToPolylineDistance(5, 6, square, 2, 0, 0, 0, 0, 1, 1, 6, false), 3);
  EXPECT_DOUBLE_EQ(IEPointToPolylineDistance(5, -4, square, 2, 0, 0, 0, 0, 1, 1, 6, false), 4);
}

TEST(Geometry, ExtendRect) {
  RECT r{0, 0, 10, 10};
  IEExtendRectToPoint(r, -5, 20);
  EXPECT_EQ(r, (RECT{-5, 0, 10, 20}));
}

TEST(Angles, LinesAndThreePoints) {
  EXPECT_EQ(IELineAngle(0, 0, 0, 0), 0);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, 0, -10), kPi / 2);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, -10, 0), kPi);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, 0, 10), 3 * kPi / 2);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, 10, -10), kPi / 4);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, -10, -10), 3 * kPi / 4);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, -10, 10), 5 * kPi / 4);
  EXPECT_DOUBLE_EQ(IELineAngle(0, 0, 10, 10), 7 * kPi / 4);
  EXPECT_DOUBLE_EQ(IEAngleFromThreePoints(10, 0, 0, 0, 0, 10), 3 * kPi / 2);
  EXPECT_DOUBLE_EQ(IEAngleFromThreePoints(0, 10, 0, 0, 10, 0), kPi / 2);
  EXPECT_EQ(IEArcCos(-1), 0);
  EXPECT_EQ(IEArcCos(1), 0);
  EXPECT_DOUBLE_EQ(static_cast<double>(IEArcCos(0)), kPi / 2);
  EXPECT_DOUBLE_EQ(IEVectorAngle(0, 0, 10, 0, 10, 10), kPi / 2);
  EXPECT_EQ(IEVectorAngle(0, 0, 0, 0, 10, 10), 0);
}

TEST(Angles, Orientation) {
  EXPECT_EQ(IEPointsOrientation(0, 0, 10, 0, 0, 10), 1);
  EXPECT_EQ(IEPointsOrientation(0, 0, 0, 10, 10, 0), -1);
  EXPECT_EQ(IEPointsOrientation(0, 0, 10, 0, -10, 0), -1);  // collinear, opposite sides
  EXPECT_EQ(IEPointsOrientation(0, 0, 5, 0, 10, 0), 1);     // collinear, second nearer
  EXPECT_EQ(IEPointsOrientation(0, 0, 10, 0, 5, 0), 0);
}

TEST(Angles, NormalizeDegrees) {
  const std::pair<double, double> cases[] = {{-30, -30}, {370, 10}, {-370, -10}, {360, 0}, {0, 0}, {-360, 0}, {725.5, 5.5}};
  for (const auto& [in, out] : cases) EXPECT_DOUBLE_EQ(IENormalizeDegrees(in), out) << in;
}

TEST(Fitting, FitSize) {
  int32_t w = -1, h = -1;
  IEFitSize(400, 200, 100, 100, w, h);
  EXPECT_EQ(w, 100);
  EXPECT_EQ(h, 50);
  IEFitSize(1, 1000, 100, 100, w, h);
  EXPECT_EQ(w, 1);
  EXPECT_EQ(h, 100);
  w = h = -1;
  IEFitSize(0, 10, 100, 100, w, h);
  EXPECT_EQ(w, -1);  // untouched
}

TEST(Fitting, FitSizeWithCrop) {
  struct Case {
    int32_t width, height, percent, outW, outH, visW, visH;
  };
  const Case cases[] = {
      {400, 200, 100, 200, 100, 100, 100},  // fills the box, the overflow is cut
      {400, 200, 0, 100, 50, 100, 50},      // fits inside
      {400, 200, 50, 200, 100, 100, 100},   // doubled, limited to filling
      {400, 200, 20, 125, 62, 100, 62},     // enlarged by 100 / 80 (62.5 rounds to even)
      {200, 400, 0, 50, 100, 50, 100},      // the tall case
      {0, 400, 50, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t vw, vh, ow, oh;
    IEFitSizeWithCrop(c.width, c.height, 100, 100, vw, vh, c.percent, ow, oh);
    EXPECT_EQ(ow, c.outW) << c.width << "x" << c.height << " " << c.percent;
    EXPECT_EQ(oh, c.outH) << c.width << "x" << c.height << " " << c.percent;
    EXPECT_EQ(vw, c.visW) << c.width << "x" << c.height << " " << c.percent;
    EXPECT_EQ(vh, c.visH) << c.width << "x" << c.height << " " << c.percent;
  }
}

TEST(Identifiers, EqualGUIDs) {
  const uint8_t a[16] = {1, 2, 3}, b[16] = {1, 2, 3}, c[16] = {1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9};
  EXPECT_TRUE(IEIsEqualGUID(a, b));
  EXPECT_FALSE(IEIsEqualGUID(a, c));
}

}  // namespace
