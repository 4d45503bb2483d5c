// Geometry of the image view: fitting, placement, the view origin, the
// scroll range and the client <-> bitmap mapping.
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "tests/imaging/view/view_test_support.h"

namespace {

TRGB Grey(int32_t, int32_t) { return TRGB{128, 128, 128}; }

class ViewGeometryTest : public ViewTest {
protected:
  // A plain view area of exactly the control's size, without scroll bars.
  void PlainArea() {
    view->SetScrollBars(ssNone);
    view->FixedViewSize = true;
  }
  // The same with the image at the top left.
  void PlainAreaTopLeft() {
    PlainArea();
    view->SetCenter(false);
  }
};

struct FitCase {
  const char* name;
  int32_t width, height;
  bool autoFit, autoShrink, autoStretch;
  double zoom;
  int32_t offsetX, offsetY;
};

TEST_F(ViewGeometryTest, AutomaticZoomFollowsTheFitSettings) {
  PlainArea();  // a 200 x 150 view
  const FitCase cases[] = {
      {"twice the view, fit", 400, 300, true, false, false, 50, 0, 0},
      {"wide image: the width decides", 800, 300, true, false, false, 25, 0, 37},
      {"twice the view, stretch only", 400, 300, false, false, true, 100, 0, 0},
      {"small image, shrink only", 10, 10, false, true, false, 100, 95, 70},
      {"small image, stretch: the height decides", 10, 10, false, false, true, 1500, 25, 0},
      {"a fit below 1 percent becomes 1", 40000, 10, true, false, false, 1, 0, 75},
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(c.name);
    view->SetAutoFit(false);
    view->SetAutoShrink(false);
    view->SetAutoStretch(false);
    view->SetZoom(100);
    MakeImage(c.width, c.height, Grey);
    view->SetAutoFit(c.autoFit);
    view->SetAutoShrink(c.autoShrink);
    view->SetAutoStretch(c.autoStretch);
    EXPECT_DOUBLE_EQ(view->Zoom(), c.zoom);
    EXPECT_EQ(view->OffsetX(), c.offsetX);
    EXPECT_EQ(view->OffsetY(), c.offsetY);
  }
}

TEST_F(ViewGeometryTest, BlankViewIsEmptyAndKeepsZoom100UnderAutoFit) {
  PlainArea();
  MakeImage(400, 300, Grey);
  view->SetAutoFit(true);
  EXPECT_DOUBLE_EQ(view->Zoom(), 50);
  view->Blank();
  EXPECT_TRUE(view->IsEmpty());
  EXPECT_TRUE(view->IsBlank());
  EXPECT_DOUBLE_EQ(view->Zoom(), 100);
}

// Blank: an image of the control's size whose first pixel is the background.
TEST_F(ViewGeometryTest, BlankDependsOnSizeFirstPixelAndImageChanges) {
  view->SetBackground(RGB(10, 20, 30));
  struct {
    const char* name;
    int32_t width, height;
    TRGB first;
    bool blank;
  } cases[] = {{"control's size, background pixel", 200, 150, TRGB{30, 20, 10}, true},
               {"control's size, other pixel", 200, 150, TRGB{31, 20, 10}, false},
               {"other size", 199, 150, TRGB{30, 20, 10}, false},
               {"one row", 50, 1, TRGB{0, 0, 0}, true}};
  for (auto c : cases) {
    SCOPED_TRACE(c.name);
    MakeImage(c.width, c.height, [&](int32_t x, int32_t y) { return x == 0 && y == 0 ? c.first : TRGB{}; });
    EXPECT_EQ(view->IsBlank(), c.blank);
  }
  view->ImageChange();  // content changed by a component: never blank
  EXPECT_FALSE(view->IsBlank());
  view->Blank();
  EXPECT_TRUE(view->IsBlank());
}

TEST_F(ViewGeometryTest, UnneededScrollBarIsHiddenOrShownDisabled) {
  MakeImage(1000, 100, Grey);  // wider than the view, not higher
  const LONG_PTR style = GetWindowLong(view->Handle(), GWL_STYLE);
  EXPECT_NE(style & WS_HSCROLL, 0);
  EXPECT_EQ(style & WS_VSCROLL, 0);
  view->ShowDisabledBars = true;
  view->Update();
  EXPECT_NE(GetWindowLong(view->Handle(), GWL_STYLE) & WS_VSCROLL, 0);
}

TEST_F(ViewGeometryTest, SmallImageIsPlacedByCenter) {
  PlainArea();
  MakeImage(101, 51, Grey);
  EXPECT_TRUE(view->Center());
  EXPECT_EQ(view->OffsetX(), 49);  // (200 - 101) div 2
  EXPECT_EQ(view->OffsetY(), 49);
  int32_t maxX = -1, maxY = -1;
  view->GetMaxViewXY(maxX, maxY);
  EXPECT_EQ(maxX, 0);
  EXPECT_EQ(maxY, 0);
  view->SetCenter(false);
  EXPECT_EQ(view->OffsetX(), 0);
  EXPECT_EQ(view->OffsetY(), 0);
}

TEST_F(ViewGeometryTest, ScrollRangeGetsOneMoreImagePixelBeyondTenPixels) {
  view->FixedViewSize = true;  // 200 x 150 whatever the bars take
  struct {
    int32_t width;
    int32_t maxX;
  } cases[] = {{210, 10}, {211, 12}};
  for (auto c : cases) {
    SCOPED_TRACE(c.width);
    MakeImage(c.width, 150, Grey);
    int32_t maxX = 0, maxY = 0;
    view->GetMaxViewXY(maxX, maxY);
    EXPECT_EQ(maxX, c.maxX);
  }
}

TEST_F(ViewGeometryTest, ViewOriginIsClampedAndRepeatsFireOnlyTheChangingEvents) {
  PlainArea();
  MakeImage(400, 300, Grey);  // zoom 100: range 200 x 150
  int changing = 0, changes = 0;
  view->OnViewChanging = [&](TObject*, int32_t, double) { ++changing; };
  view->OnViewChange = [&](TObject*, int32_t) { ++changes; };
  view->SetViewXY(-5, -5);
  EXPECT_EQ(view->ViewX(), 0);
  EXPECT_EQ(view->ViewY(), 0);
  view->SetViewXY(100000, 100000);
  EXPECT_EQ(view->ViewX(), 200);
  EXPECT_EQ(view->ViewY(), 150);
  changing = changes = 0;
  view->SetViewXY(200, 150);
  EXPECT_EQ(changing, 2);
  EXPECT_EQ(changes, 0);
}

TEST_F(ViewGeometryTest, ZoomRejectsNonPositiveValuesAfterAnnouncingThem) {
  PlainArea();
  MakeImage(400, 300, Grey);
  std::vector<double> announced;
  view->OnViewChanging = [&](TObject*, int32_t kind, double value) {
    if (kind == 2) announced.push_back(value);
  };
  view->SetZoom(0);
  view->SetZoom(-20);
  EXPECT_DOUBLE_EQ(view->Zoom(), 100);
  EXPECT_EQ(announced, (std::vector<double>{0, -20}));
}

// Huge zooms would make the zoomed size and the coordinate tables (one entry
// per zoomed pixel) grow without bound.
TEST_F(ViewGeometryTest, ZoomIsCappedSoThatZoomedSizesStayBounded) {
  PlainArea();
  MakeImage(100, 80, [](int32_t x, int32_t) { return x < 50 ? TRGB{0, 0, 255} : TRGB{255, 0, 0}; });
  view->SetZoom(1e12);
  EXPECT_GT(view->Zoom(), 100);
  EXPECT_LE(view->ZoomedWidth(), 1 << 22);
  EXPECT_LE(view->ZoomedHeight(), 1 << 22);
  // Still a working view: the left half of the image fills the window.
  EXPECT_EQ(Probe(100, 75), RGB(255, 0, 0));
  view->SetZoom(std::numeric_limits<double>::infinity());
  EXPECT_LE(view->ZoomedWidth(), 1 << 22);
  view->SetZoom(std::nan(""));
  EXPECT_TRUE(std::isfinite(view->Zoom()));
}

// The cap follows the image: a zoom set for a tiny image is lowered when a
// larger one takes its place, on either axis.
TEST_F(ViewGeometryTest, ZoomCapHoldsWhenTheImageGrows) {
  PlainArea();
  struct {
    bool horizontal, vertical;
  } const cases[] = {{true, true}, {true, false}, {false, true}};
  for (const auto& c : cases) {
    MakeImage(1, 1, [](int32_t, int32_t) { return TRGB{0, 0, 255}; });
    if (c.horizontal && c.vertical) view->SetZoom(4e8);
    else if (c.horizontal) view->SetZoomX(4e8);
    else view->SetZoomY(4e8);
    MakeImage(100, 100, [](int32_t, int32_t) { return TRGB{0, 0, 255}; });
    EXPECT_LE(view->ZoomedWidth(), 1 << 22);
    EXPECT_LE(view->ZoomedHeight(), 1 << 22);
    EXPECT_EQ(Probe(100, 75), RGB(255, 0, 0));
    view->SetZoom(100);
  }
}

// Client to bitmap truncates through the tables: at a zoom above 100 every
// client pixel shows the column under it; at or below 100 each client
// pixel shows the first column that lands on it. Bitmap to client answers
// the first client pixel of a column.
TEST_F(ViewGeometryTest, ClientAndBitmapCoordinatesMapBothWays) {
  PlainAreaTopLeft();
  MakeImage(400, 300, Grey);
  struct Case {
    double zoom;
    int32_t viewX, viewY;
  } cases[] = {{200, 0, 0}, {300, 90, 60}, {400, 44, 20}, {100, 37, 11}, {50, 0, 0}, {33, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.zoom);
    view->SetZoom(c.zoom);
    view->SetViewXY(c.viewX, c.viewY);
    const int32_t z = static_cast<int32_t>(c.zoom);
    // The first visible column of a scroll position that starts a column.
    const int32_t firstX = c.viewX * 100 / z, firstY = c.viewY * 100 / z;
    for (int32_t client = 0; client < std::min(150, view->VisibleClientHeight()); client += 7) {
      int32_t expected = 0;
      if (z > 100) {
        expected = client * 100 / z;
      } else {
        while (expected * z / 100 < client) ++expected;
      }
      EXPECT_EQ(view->ClientToBitmapX(client), firstX + expected) << "client x " << client;
      EXPECT_EQ(view->ClientToBitmapY(client), firstY + expected) << "client y " << client;
    }
    for (int32_t column = firstX; column < firstX + 40; column += 3)
      EXPECT_EQ(view->BitmapToClientX(column), (column - firstX) * z / 100) << "column " << column;
  }
}

TEST_F(ViewGeometryTest, MappingMatchesTheDocumentedSmallCases) {
  PlainArea();
  MakeImage(400, 300, Grey);
  view->SetZoom(200);
  view->SetViewXY(0, 0);
  EXPECT_EQ(view->ClientToBitmapX(1), 0);
  EXPECT_EQ(view->ClientToBitmapX(2), 1);
  view->SetZoom(50);
  view->SetViewXY(0, 0);
  EXPECT_EQ(view->ClientToBitmapX(1), 2);
}

TEST_F(ViewGeometryTest, ZoomAtKeepsThePointUnderTheCursorOrCentresIt) {
  PlainAreaTopLeft();
  MakeImage(400, 300, Grey);
  view->SetViewXY(0, 0);
  const int32_t bx = view->ClientToBitmapX(60), by = view->ClientToBitmapY(40);
  view->ZoomAt(60, 40, false, 300);
  EXPECT_DOUBLE_EQ(view->Zoom(), 300);
  // The origin is placed one bitmap pixel on: the point or its right neighbour.
  EXPECT_GE(view->ClientToBitmapX(60), bx);
  EXPECT_LE(view->ClientToBitmapX(60), bx + 1);
  EXPECT_GE(view->ClientToBitmapY(40), by);
  EXPECT_LE(view->ClientToBitmapY(40), by + 1);
  view->ZoomAt(60, 40, true, 400);
  const int32_t centreX = view->ClientToBitmapX(view->GetViewWidth() / 2);
  const int32_t centreY = view->ClientToBitmapY(view->GetViewHeight() / 2);
  EXPECT_NEAR(centreX, bx, 1);
  EXPECT_NEAR(centreY, by, 1);
}

TEST_F(ViewGeometryTest, ScrollBarsCoverTheRangeAndScrollCommandsMoveTheOrigin) {
  MakeImage(1000, 800, Grey);
  const int32_t viewWidth = view->GetViewWidth();
  EXPECT_LT(viewWidth, 200);  // the vertical bar took its part
  int32_t maxX = 0, maxY = 0;
  view->GetMaxViewXY(maxX, maxY);
  SCROLLINFO info;
  info.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(view->Handle(), SB_HORZ, &info));
  EXPECT_EQ(info.nMax, 65535);
  const double ratio = (viewWidth + maxX) / 65536.0;
  EXPECT_EQ(info.nPage, static_cast<UINT>(viewWidth / ratio));
  // Line, page, end and home through the window messages.
  view->Perform(WM_HSCROLL, SB_LINEDOWN);
  EXPECT_EQ(view->ViewX(), 1);
  view->Perform(WM_HSCROLL, SB_PAGEDOWN);
  EXPECT_EQ(view->ViewX(), 1 + viewWidth);
  view->Perform(WM_HSCROLL, SB_BOTTOM);
  EXPECT_EQ(view->ViewX(), maxX);
  view->Perform(WM_HSCROLL, SB_TOP);
  EXPECT_EQ(view->ViewX(), 0);
  const double ratioY = (view->GetViewHeight() + maxY) / 65536.0;
  view->Perform(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 16384));
  EXPECT_EQ(view->ViewY(), std::lrint(16384 * ratioY));
  GetScrollInfo(view->Handle(), SB_VERT, &info);
  EXPECT_EQ(info.nPos, static_cast<int>(view->ViewY() / ratioY));
}

}  // namespace
