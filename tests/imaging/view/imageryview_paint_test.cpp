// Painting of the image view: the pixels that reach the window at several
// zooms, the back buffer that an unchanged repaint only copies, and the
// background painter.
#include <vector>

#include "platform/forms/graphics.h"
#include "tests/imaging/view/view_test_support.h"

namespace {

// Blocks of 30 x 30 pixels, each of its own colour.
TRGB Block(int32_t x, int32_t y) {
  const int32_t bx = x / 30, by = y / 30;
  return TRGB{static_cast<uint8_t>(40 + by * 20), static_cast<uint8_t>(bx * 25), static_cast<uint8_t>(200 - bx * 10)};
}

class ViewPaintTest : public ViewTest {
protected:
  void SetUp() override {
    ViewTest::SetUp();
    view->SetScrollBars(ssNone);
    view->SetCenter(false);
    view->SetBackground(clWhite);
    MakeImage(300, 240, Block);
  }
};

struct ZoomCase {
  double zoom;
  TResampleFilter filter;
  // A client probe and the bitmap pixel that it must show.
  std::vector<std::pair<POINT, POINT>> probes;
};

TEST_F(ViewPaintTest, ZoomedImagePutsTheExpectedPixelsAtProbePoints) {
  const ZoomCase cases[] = {
      {100, rfNone, {{{0, 0}, {0, 0}}, {{45, 75}, {45, 75}}, {{199, 149}, {199, 149}}}},
      // 400 %: every bitmap pixel is a 4 x 4 square.
      {400, rfNone, {{{0, 0}, {0, 0}}, {{121, 121}, {30, 30}}, {{199, 119}, {49, 29}}, {{199, 120}, {49, 30}}}},
      // 33 %: block centres, with and without a resampling filter.
      {33, rfNone, {{{5, 5}, {15, 15}}, {{35, 15}, {105, 45}}, {{95, 75}, {285, 225}}}},
      {33, rfTriangle, {{{5, 5}, {15, 15}}, {{35, 15}, {105, 45}}, {{95, 75}, {285, 225}}}},
  };
  for (const ZoomCase& c : cases) {
    SCOPED_TRACE(c.zoom);
    view->SetZoomFilter(c.filter);
    view->SetZoom(c.zoom);
    view->SetViewXY(0, 0);
    for (const auto& [client, bitmap] : c.probes)
      EXPECT_EQ(Probe(client.x, client.y), Ref(Block(bitmap.x, bitmap.y)))
          << "client " << client.x << "," << client.y;
  }
  // Beyond the image at 33 % (99 x 79 pixels) lies the background.
  EXPECT_EQ(Probe(150, 100), RGB(255, 255, 255));
}

TEST_F(ViewPaintTest, ScrolledViewShowsTheScrolledPart) {
  view->SetZoom(200);
  view->SetViewXY(120, 60);  // bitmap (60, 30) at the client origin
  EXPECT_EQ(Probe(0, 0), Ref(Block(60, 30)));
  EXPECT_EQ(Probe(61, 1), Ref(Block(90, 30)));
}

TEST_F(ViewPaintTest, UnchangedRepaintCopiesTheBackBufferOnly) {
  int compositions = 0;
  view->OnDrawBackBuffer = [&](TObject*) { ++compositions; };
  Probe(0, 0);
  EXPECT_EQ(compositions, 1);
  // Exposing the window again: one copy, no composition.
  InvalidateRect(view->Handle(), nullptr, FALSE);
  EXPECT_EQ(Probe(45, 75), Ref(Block(45, 75)));
  EXPECT_EQ(compositions, 1);
  // A scroll recomposes.
  view->SetZoom(200);
  view->SetViewXY(30, 0);
  EXPECT_EQ(Probe(0, 0), Ref(Block(15, 0)));
  EXPECT_GE(compositions, 2);
}

TEST_F(ViewPaintTest, ResizedViewReallocatesTheBackBufferAtTheNextPaint) {
  Probe(0, 0);
  view->SetBounds(10, 10, 260, 200);
  Pump();
  EXPECT_EQ(Probe(250, 190), Ref(Block(250, 190)));
  EXPECT_EQ(view->BackBuffer()->GetWidth(), 260);
  EXPECT_EQ(view->BackBuffer()->GetHeight(), 200);
}

TEST_F(ViewPaintTest, DrawDibPathShowsTheSamePicture) {
  view->UseDrawDib = true;
  view->SetZoom(400);
  view->SetViewXY(0, 0);
  EXPECT_EQ(Probe(121, 121), Ref(Block(30, 30)));
  EXPECT_EQ(Probe(3, 140), Ref(Block(0, 35)));
}

TEST_F(ViewPaintTest, GridOfOneColumnAndThreeRowsDrawsTwoHorizontalLines) {
  Probe(0, 0);
  view->GridColumns = 1;
  view->GridRows = 3;
  view->DrawGrid(0, 0, 90, 90);
  HDC dc = GetDC(view->Handle());
  EXPECT_EQ(GetPixel(dc, 45, 30), RGB(160, 160, 160));
  EXPECT_EQ(GetPixel(dc, 45, 60), RGB(160, 160, 160));
  EXPECT_EQ(GetPixel(dc, 30, 45), Ref(Block(30, 45)));
  ReleaseDC(view->Handle(), dc);
}

// The background painter on a framework bitmap: probes by style.
class BackgroundTest : public ::testing::Test {
protected:
  void SetUp() override {
    bitmap.SetPixelFormat(pf24bit);
    bitmap.SetSize(64, 48);
  }
  void Paint(TIEBackgroundStyle style, TColor colour, TBrushStyle chessStyle = bsSolid,
             TComponentState state = TComponentState()) {
    IEDrawBackground(state, bitmap.Canvas(), &bitmap, style, colour, 0, 0, 64, 48, 20, 10, 40, 30, 8, chessStyle,
                     static_cast<TColor>(0xFF0000), nullptr, iewoNormal);
  }
  TColor At(int x, int y) { return bitmap.Canvas()->Pixels(x, y); }
  TBitmap bitmap;
};

TEST_F(BackgroundTest, StylesPaintTheirPatterns) {
  const TColor red = RGB(255, 0, 0), cyan = RGB(0, 255, 255);
  Paint(iebsSolid, red);
  EXPECT_EQ(At(0, 0), red);
  EXPECT_EQ(At(63, 47), red);
  // Chessboard: 8-pixel squares of the colour and its complement, the
  // area's top-left square in the colour when written as pixels...
  Paint(iebsChessboard, red);
  EXPECT_EQ(At(0, 0), red);
  EXPECT_EQ(At(8, 0), cyan);
  EXPECT_EQ(At(8, 8), red);
  // ...and in the complement when a hatch style sends it through the canvas.
  Paint(iebsChessboard, red, bsCross);
  EXPECT_NE(At(0, 0), red);
  // Diagonals: two lines of the complement across a solid fill.
  Paint(iebsDiagonals, red);
  EXPECT_EQ(At(4, 3), cyan);
  EXPECT_EQ(At(4, 10), red);
  // Gradient: from the colour at the top to the end colour at the bottom.
  Paint(iebsGradient, red);
  EXPECT_EQ(GetRValue(ColorToRGB(At(0, 0))), 255);
  EXPECT_GT(GetBValue(ColorToRGB(At(0, 47))), 200);
}

TEST_F(BackgroundTest, SoftShadowNeedsABitmapAndDesignTimePaintsPlainly) {
  const TColor green = RGB(0, 160, 0);
  Paint(iebsSolid, clWhite);
  IEDrawBackground(TComponentState(), bitmap.Canvas(), nullptr, iebsSoftShadow, green, 0, 0, 64, 48, 20, 10, 40, 30,
                   8, bsSolid, clBlue, nullptr, iewoNormal);
  EXPECT_EQ(At(0, 0), clWhite);  // nothing painted without a bitmap
  Paint(iebsSoftShadow, green);
  EXPECT_EQ(At(0, 0), green);
  EXPECT_NE(At(41, 31), green);  // shadow just outside the image's corner
  Paint(iebsCropped, green, bsSolid, TComponentState{csDesigning});
  EXPECT_EQ(At(0, 0), green);  // at design time a plain fill in the colour, no edge
  EXPECT_EQ(At(19, 15), green);
}

}  // namespace
