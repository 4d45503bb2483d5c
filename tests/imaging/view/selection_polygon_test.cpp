#include <gtest/gtest.h>

#include "imaging/view/imageryview_select.h"

namespace {

TIESelectionPolygon Rect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  TIESelectionPolygon p;
  p.AddPoint(x1, y1);
  p.AddPoint(x2, y1);
  p.AddPoint(x2, y2);
  p.AddPoint(x1, y2);
  return p;
}

RECT Box(const TIESelectionPolygon& p) { return RECT{p.Left, p.Top, p.Right, p.Bottom}; }

}  // namespace

TEST(SelectionPolygon, BoxIgnoresSeparatorsAndFollowsSubPolygons) {
  TIESelectionPolygon p;
  p.AddPoint(30, 40);
  p.AddPoint(10, 5);
  EXPECT_EQ(Box(p), (RECT{10, 5, 30, 40})) << "the first two points set the box, ordered";
  p.Break();
  p.AddPoint(50, 2);
  EXPECT_EQ(p.Points[2].x, IEPolygonSeparator);
  EXPECT_EQ(Box(p), (RECT{10, 2, 50, 40})) << "a separator never widens the box";

  p.RemoveLastSubPolygon();
  EXPECT_EQ(p.Count(), 2);
  EXPECT_EQ(Box(p), (RECT{10, 5, 30, 40})) << "removing the rubber sub-polygon restores the box";
  p.Break();
  p.AddPoint(70, 70);
  p.DropLast();
  EXPECT_EQ(p.Count(), 2) << "dropping the last point never leaves a separator at the end";
  EXPECT_EQ(Box(p), (RECT{10, 5, 30, 40}));

  TIESelectionPolygon empty;
  empty.Break();
  EXPECT_TRUE(empty.Empty()) << "an empty polygon gets no separator";
}

TEST(SelectionPolygon, RecognisesPlainRectangles) {
  EXPECT_TRUE(IEIsRectPolygon(Rect(1, 2, 10, 20)));
  TIESelectionPolygon skew = Rect(1, 2, 10, 20);
  skew.Points[2].x = 11;
  EXPECT_FALSE(IEIsRectPolygon(skew));
  TIESelectionPolygon two = Rect(1, 2, 10, 20);
  two.Break();
  two.AddPoint(3, 3);
  EXPECT_FALSE(IEIsRectPolygon(two));
  TIESelectionPolygon three;
  three.AddPoint(0, 0);
  three.AddPoint(5, 0);
  three.AddPoint(5, 5);
  EXPECT_FALSE(IEIsRectPolygon(three));
}

TEST(SelectionPolygon, MovingKeepsOrClipsAtTheImageEdges) {
  struct Case {
    RECT start;
    int32_t dx, dy;
    bool cut;
    RECT expected;
    const char* why;
  };
  const Case cases[] = {
      {{10, 10, 30, 30}, 5, -3, false, {15, 7, 35, 27}, "inside: moved as asked"},
      {{10, 10, 30, 30}, 90, 0, false, {80, 10, 100, 30}, "without cut the box stops at the right edge"},
      {{10, 10, 30, 30}, -50, -50, false, {0, 0, 20, 20}, "and at the top-left corner"},
      {{10, 10, 30, 30}, 80, 0, true, {90, 10, 100, 30}, "with cut it may leave partly and is clipped"},
      {{10, 10, 30, 30}, 200, 0, true, {80, 10, 100, 30}, "with cut a move entirely outside is limited"},
      {{0, 0, 100, 60}, 0, -5, false, {0, 0, 100, 60}, "a box as large as the image cannot move"},
  };
  for (const Case& c : cases) {
    TIESelectionPolygon p = Rect(c.start.left, c.start.top, c.start.right, c.start.bottom);
    IEMoveSelectionPolygon(p, c.dx, c.dy, c.cut, 100, 60);
    EXPECT_EQ(Box(p), c.expected) << c.why;
    EXPECT_EQ(p.Points[2].x, c.expected.right) << c.why;
    EXPECT_EQ(p.Points[0].y, c.expected.top) << c.why;
  }
}

TEST(SelectionPolygon, GripsAtCornersThenSides) {
  const TIESelectionPolygon p = Rect(10, 10, 50, 30);
  auto twice = [](POINT b) { return POINT{b.x * 2, b.y * 2}; };  // a view at 200 %
  struct Case {
    int32_t x, y;
    TIEGrip grip;
  };
  const Case cases[] = {
      {20, 20, ieTopLeft},    {25, 25, ieTopLeft},     {26, 26, ieNone},        {100, 20, ieTopRight},
      {100, 60, ieBottomRight}, {20, 60, ieBottomLeft}, {21, 40, ieLeftSide},    {98, 40, ieRightSide},
      {60, 22, ieTopSide},    {60, 61, ieBottomSide},  {60, 40, ieNone},        {60, 63, ieNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IERectPolygonGripAt(p, c.x, c.y, 5, true, twice), c.grip) << c.x << "," << c.y;
  EXPECT_EQ(IERectPolygonGripAt(p, 21, 40, 5, false, twice), ieNone) << "side grips switched off";
}

TEST(SelectionPolygon, EllipseHasEnoughPointsInsideTheBitmap) {
  const std::vector<POINT> small = IEEllipsePolygon(50, 50, 3, 2, 100, 100);
  EXPECT_EQ(small.size(), 50u) << "at least 50 points";
  const std::vector<POINT> big = IEEllipsePolygon(50, 50, 40, 20, 100, 100);
  EXPECT_EQ(big.size(), 125u) << "truncate(20 x 2 pi)";
  EXPECT_EQ(big[0].x, 90);
  EXPECT_EQ(big[0].y, 50);
  const std::vector<POINT> clipped = IEEllipsePolygon(5, 5, 30, 30, 20, 20);
  for (const POINT& q : clipped) {
    EXPECT_GE(q.x, 0);
    EXPECT_LE(q.x, 20);
    EXPECT_GE(q.y, 0);
    EXPECT_LE(q.y, 20);
  }
}

TEST(SelectionPolygon, DashesAreFourAndFourFromThePhase) {
  TIESelectionPolygon p;
  p.Color1 = 1;
  p.Color2 = 2;
  p.DashCounter = 9;  // phases 8 and 9 start a new period
  std::vector<TColor> seen;
  for (int i = 0; i < 10; ++i) seen.push_back(IEOutlineDashColor(p));
  EXPECT_EQ(seen, (std::vector<TColor>{1, 1, 1, 1, 2, 2, 2, 2, 1, 1}));
}

TEST(SelectionPolygon, OutlineTimerFollowsTheDrawingTime) {
  EXPECT_EQ(IETunedOutlineInterval(60, -20), 300);
  EXPECT_EQ(IETunedOutlineInterval(10, -20), 210);
}
