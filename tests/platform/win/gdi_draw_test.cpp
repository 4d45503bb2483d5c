#include <gtest/gtest.h>

#include <functional>

#include "tests/platform/win/gdi_test_canvas.h"

namespace {

struct Selected {
  HDC dc;
  HGDIOBJ old;
  HGDIOBJ object;
  Selected(HDC d, HGDIOBJ o) : dc(d), old(SelectObject(d, o)), object(o) {}
  ~Selected() {
    SelectObject(dc, old);
    DeleteObject(object);
  }
};

TEST(GdiShapes, RectangleExcludesRightAndBottomEdges) {
  TestCanvas c(12, 10);
  Selected brush(c.dc, CreateSolidBrush(kRed));
  Rectangle(c.dc, 2, 2, 8, 6);
  EXPECT_EQ(c.At(2, 2), kBlack);  // outline of the default black pen
  EXPECT_EQ(c.At(7, 5), kBlack);
  EXPECT_EQ(c.At(4, 4), kRed);
  EXPECT_EQ(c.At(8, 5), kWhite);
  EXPECT_EQ(c.At(7, 6), kWhite);
  EXPECT_EQ(c.Count(kBlack), 16);  // 6 x 4 box: its border only

  // Without a pen the interior stops one short on the right and bottom.
  c.Fill(kWhite);
  SelectObject(c.dc, GetStockObject(NULL_PEN));
  Rectangle(c.dc, 2, 2, 8, 6);
  EXPECT_EQ(c.At(2, 2), kRed);
  EXPECT_EQ(c.At(6, 4), kRed);
  EXPECT_EQ(c.At(7, 4), kWhite);
  EXPECT_EQ(c.Count(kRed), 5 * 3);
  SelectObject(c.dc, GetStockObject(BLACK_PEN));

  // FillRect fills right up to, not including, right and bottom.
  c.Fill(kWhite);
  RECT r{1, 1, 4, 3};
  FillRect(c.dc, &r, static_cast<HBRUSH>(brush.object));
  EXPECT_EQ(c.Count(kRed), 6);
  EXPECT_EQ(c.At(3, 2), kRed);
  EXPECT_EQ(c.At(4, 2), kWhite);

  // FrameRect paints the one-pixel border inside the rectangle.
  c.Fill(kWhite);
  RECT frame{2, 2, 8, 6};
  FrameRect(c.dc, &frame, static_cast<HBRUSH>(brush.object));
  EXPECT_EQ(c.Count(kRed), 16);
  EXPECT_EQ(c.At(7, 5), kRed);
  EXPECT_EQ(c.At(4, 4), kWhite);
  // InvertRect inverts exactly its pixels; twice restores them.
  InvertRect(c.dc, &frame);
  EXPECT_EQ(c.At(4, 4), kBlack);
  EXPECT_EQ(c.At(2, 2), RGB(0, 255, 255));
  EXPECT_EQ(c.At(8, 6), kWhite);
  InvertRect(c.dc, &frame);
  EXPECT_EQ(c.Count(kRed), 16);
  EXPECT_EQ(c.Count(kWhite), 12 * 10 - 16);
}

TEST(GdiShapes, LinesExcludeTheirEndPoint) {
  TestCanvas c(12, 12);
  MoveToEx(c.dc, 1, 1, nullptr);
  LineTo(c.dc, 6, 1);
  EXPECT_EQ(c.At(1, 1), kBlack);
  EXPECT_EQ(c.At(5, 1), kBlack);
  EXPECT_EQ(c.At(6, 1), kWhite);
  POINT pos;
  GetCurrentPositionEx(c.dc, &pos);
  EXPECT_EQ(pos, (POINT{6, 1}));

  c.Fill(kWhite);
  MoveToEx(c.dc, 2, 2, nullptr);
  LineTo(c.dc, 8, 8);
  EXPECT_EQ(c.Count(kBlack), 6);
  EXPECT_EQ(c.At(7, 7), kBlack);
  EXPECT_EQ(c.At(8, 8), kWhite);

  // A closed polyline paints every corner exactly once.
  c.Fill(kWhite);
  const POINT square[] = {{2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}};
  Polyline(c.dc, square, 5);
  EXPECT_EQ(c.Count(kBlack), 16);

  // LineDDA visits the same pixels.
  std::vector<POINT> visited;
  LineDDA(0, 0, 4, 2, [](int x, int y, LPARAM data) { reinterpret_cast<std::vector<POINT>*>(data)->push_back({x, y}); },
          reinterpret_cast<LPARAM>(&visited));
  ASSERT_EQ(visited.size(), 4u);
  EXPECT_EQ(visited.front(), (POINT{0, 0}));
}

TEST(GdiShapes, EllipseStaysInsideItsBox) {
  TestCanvas c(24, 16);
  Selected brush(c.dc, CreateSolidBrush(kBlue));
  Ellipse(c.dc, 2, 2, 22, 14);
  EXPECT_EQ(c.At(12, 8), kBlue);
  EXPECT_EQ(c.At(2, 2), kWhite);   // corners of the box stay clear
  EXPECT_EQ(c.At(21, 13), kWhite);
  EXPECT_EQ(c.At(2, 8), kBlack);   // leftmost column holds the outline
  EXPECT_EQ(c.At(21, 8), kBlack);  // rightmost column inside the box
  for (int y = 0; y < c.height; ++y) {
    EXPECT_EQ(c.At(1, y), kWhite);
    EXPECT_EQ(c.At(22, y), kWhite);
  }
  EXPECT_EQ(c.At(12, 2), kBlack);
  EXPECT_EQ(c.At(12, 13), kBlack);
  EXPECT_EQ(c.At(12, 14), kWhite);
}

TEST(GdiShapes, ArcsPiesAndChordsCoverTheirSides) {
  // Counter-clockwise from the right (3 o'clock) to the top (12 o'clock):
  // the upper-right quarter.
  TestCanvas c(40, 40);
  Selected brush(c.dc, CreateSolidBrush(kRed));
  Pie(c.dc, 0, 0, 40, 40, 40, 20, 20, 0);
  EXPECT_EQ(c.At(28, 12), kRed);
  EXPECT_EQ(c.At(12, 12), kWhite);
  EXPECT_EQ(c.At(28, 28), kWhite);

  c.Fill(kWhite);
  Chord(c.dc, 0, 0, 40, 40, 40, 20, 20, 0);
  EXPECT_EQ(c.At(32, 7), kRed);    // between arc and chord
  EXPECT_EQ(c.At(24, 16), kWhite);  // the chord cuts the corner at the centre off

  c.Fill(kWhite);
  Arc(c.dc, 0, 0, 40, 40, 40, 20, 20, 0);
  EXPECT_EQ(c.Count(kRed), 0);
  EXPECT_GT(c.Count(kBlack), 20);
  EXPECT_EQ(c.At(10, 30), kWhite);
}

TEST(GdiShapes, PolygonFillModes) {
  const POINT star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  for (auto [mode, centre] : {std::pair{ALTERNATE, kWhite}, {WINDING, kRed}}) {
    TestCanvas c(100, 100);
    Selected brush(c.dc, CreateSolidBrush(kRed));
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    SetPolyFillMode(c.dc, mode);
    Polygon(c.dc, star, 5);
    EXPECT_EQ(c.At(50, 50), centre) << mode;
    EXPECT_EQ(c.At(50, 12), kRed) << mode;
  }
  // Two rings drawn as one shape: the inner one is a hole only when the
  // fill mode alternates (both run the same way).
  const POINT rings[] = {{10, 10}, {90, 10}, {90, 90}, {10, 90}, {40, 40}, {60, 40}, {60, 60}, {40, 60}};
  const int counts[] = {4, 4};
  for (auto [mode, centre] : {std::pair{ALTERNATE, kWhite}, {WINDING, kRed}}) {
    TestCanvas c(100, 100);
    Selected brush(c.dc, CreateSolidBrush(kRed));
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    SetPolyFillMode(c.dc, mode);
    EXPECT_TRUE(PolyPolygon(c.dc, rings, counts, 2));
    EXPECT_EQ(c.At(50, 50), centre) << mode;
    EXPECT_EQ(c.At(20, 20), kRed) << mode;
  }
}

TEST(GdiShapes, WidePensAndDashedPens) {
  TestCanvas c(40, 20);
  Selected pen(c.dc, CreatePen(PS_SOLID, 5, kBlue));
  MoveToEx(c.dc, 5, 10, nullptr);
  LineTo(c.dc, 35, 10);
  EXPECT_EQ(c.At(20, 8), kBlue);
  EXPECT_EQ(c.At(20, 12), kBlue);
  EXPECT_EQ(c.At(20, 14), kWhite);

  TestCanvas d(40, 4);
  LOGBRUSH lb{BS_SOLID, kBlack, 0};
  Selected alt(d.dc, ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr));
  MoveToEx(d.dc, 0, 1, nullptr);
  LineTo(d.dc, 40, 1);
  EXPECT_EQ(d.Count(kBlack), 20);
  EXPECT_EQ(d.At(0, 1), kBlack);
  EXPECT_EQ(d.At(1, 1), kWhite);
}

TEST(GdiShapes, HatchBrushRepeatsEveryEightPixels) {
  TestCanvas c(32, 32);
  Selected brush(c.dc, CreateHatchBrush(HS_DIAGCROSS, kRed));
  SetBkColor(c.dc, kBlue);
  RECT r{0, 0, 32, 32};
  FillRect(c.dc, &r, static_cast<HBRUSH>(brush.object));
  int red = c.Count(kRed);
  EXPECT_GT(red, 0);
  EXPECT_EQ(red + c.Count(kBlue), 32 * 32);  // opaque background
  for (int y = 0; y < 24; ++y)
    for (int x = 0; x < 24; ++x) ASSERT_EQ(c.At(x, y), c.At(x + 8, y + 8)) << x << "," << y;
  // Transparent background leaves the gaps alone.
  c.Fill(kWhite);
  SetBkMode(c.dc, TRANSPARENT);
  FillRect(c.dc, &r, static_cast<HBRUSH>(brush.object));
  EXPECT_EQ(c.Count(kRed), red);
  EXPECT_EQ(c.Count(kWhite), 32 * 32 - red);
}

// Every binary raster operation the callers use, drawn twice, restores the picture.
TEST(GdiRop2, XorNotAndNotXorDrawnTwiceRestore) {
  TestCanvas c(40, 40);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) c.bits[y * 40 + x] = 0xFF000000u | (x * 6) << 16 | (y * 6) << 8 | 0x40;
  const auto before = c.Snapshot();
  Selected pen(c.dc, CreatePen(PS_SOLID, 1, RGB(0x12, 0x34, 0x56)));
  SelectObject(c.dc, GetStockObject(NULL_BRUSH));
  const POINT zig[] = {{1, 1}, {30, 5}, {5, 30}, {38, 38}, {1, 20}};
  for (int rop : {R2_XORPEN, R2_NOT, R2_NOTXORPEN}) {
    SetROP2(c.dc, rop);
    for (int pass = 0; pass < 2; ++pass) {
      Polyline(c.dc, zig, 5);
      Rectangle(c.dc, 3, 3, 30, 25);
      Ellipse(c.dc, 10, 10, 38, 30);
      if (pass == 0) {
        EXPECT_NE(c.Snapshot(), before) << rop;
      }
    }
    EXPECT_EQ(c.Snapshot(), before) << rop;
  }
  SetROP2(c.dc, R2_COPYPEN);
  RECT focus{5, 5, 25, 20};
  DrawFocusRect(c.dc, &focus);
  EXPECT_NE(c.Snapshot(), before);
  DrawFocusRect(c.dc, &focus);
  EXPECT_EQ(c.Snapshot(), before);
}

TEST(GdiRop2, OperationsOnPenAndDestination) {
  TestCanvas c(4, 4, RGB(0x0F, 0xF0, 0x33));
  Selected pen(c.dc, CreatePen(PS_SOLID, 1, RGB(0xFF, 0x0F, 0x11)));
  const struct {
    int rop;
    COLORREF expected;
  } cases[] = {
      {R2_COPYPEN, RGB(0xFF, 0x0F, 0x11)},
      {R2_XORPEN, RGB(0xF0, 0xFF, 0x22)},
      {R2_NOTXORPEN, RGB(0x0F, 0x00, 0xDD)},
      {R2_NOT, RGB(0xF0, 0x0F, 0xCC)},
  };
  for (const auto& k : cases) {
    c.Fill(RGB(0x0F, 0xF0, 0x33));
    SetROP2(c.dc, k.rop);
    MoveToEx(c.dc, 0, 1, nullptr);
    LineTo(c.dc, 4, 1);
    EXPECT_EQ(c.At(2, 1), k.expected) << k.rop;
    EXPECT_EQ(c.At(2, 2), RGB(0x0F, 0xF0, 0x33));
  }
}

TEST(GdiClip, RegionsAndRectanglesLimitDrawing) {
  TestCanvas c(20, 20);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT all{0, 0, 20, 20};

  EXPECT_EQ(IntersectClipRect(c.dc, 5, 5, 15, 15), SIMPLEREGION);
  EXPECT_EQ(ExcludeClipRect(c.dc, 8, 8, 12, 12), COMPLEXREGION);
  RECT box;
  EXPECT_EQ(GetClipBox(c.dc, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{5, 5, 15, 15}));
  int saved = SaveDC(c.dc);
  SelectClipRgn(c.dc, nullptr);
  FillRect(c.dc, &all, red);
  EXPECT_EQ(c.Count(kRed), 400);
  c.Fill(kWhite);
  RestoreDC(c.dc, saved);
  FillRect(c.dc, &all, red);
  EXPECT_EQ(c.Count(kRed), 100 - 16);
  EXPECT_EQ(c.At(10, 10), kWhite);
  EXPECT_EQ(c.At(4, 5), kWhite);

  // An elliptic clip region; the DC keeps its own copy.
  c.Fill(kWhite);
  HRGN e = CreateEllipticRgn(0, 0, 20, 20);
  SelectClipRgn(c.dc, e);
  DeleteObject(e);
  FillRect(c.dc, &all, red);
  EXPECT_EQ(c.At(10, 10), kRed);
  EXPECT_EQ(c.At(0, 0), kWhite);
  EXPECT_EQ(c.At(19, 19), kWhite);
  EXPECT_EQ(GetPixel(c.dc, 0, 0), CLR_INVALID);  // outside the clip

  // Combining with the current clip: add a corner, then cut the centre out.
  c.Fill(kWhite);
  HRGN corner = CreateRectRgn(0, 0, 3, 3), centre = CreateRectRgn(8, 8, 12, 12);
  EXPECT_EQ(ExtSelectClipRgn(c.dc, corner, RGN_OR), COMPLEXREGION);
  EXPECT_EQ(ExtSelectClipRgn(c.dc, centre, RGN_DIFF), COMPLEXREGION);
  EXPECT_EQ(ExtSelectClipRgn(c.dc, nullptr, RGN_AND), ERROR);  // only RGN_COPY takes no region
  FillRect(c.dc, &all, red);
  EXPECT_EQ(c.At(0, 0), kRed);
  EXPECT_EQ(c.At(10, 10), kWhite);
  EXPECT_EQ(c.At(5, 10), kRed);
  EXPECT_EQ(c.At(19, 0), kWhite);
  DeleteObject(corner);
  DeleteObject(centre);
  DeleteObject(red);
}

TEST(GdiMapping, OriginsAndWorldTransforms) {
  TestCanvas c(10, 8);
  HBRUSH red = CreateSolidBrush(kRed);
  SetViewportOrgEx(c.dc, 3, 2, nullptr);
  SetWindowOrgEx(c.dc, 1, 0, nullptr);
  SetPixel(c.dc, 1, 0, kBlue);
  EXPECT_EQ(c.At(3, 2), kBlue);
  OffsetViewportOrgEx(c.dc, 1, 1, nullptr);
  EXPECT_EQ(GetPixel(c.dc, 0, -1), kBlue);
  SetViewportOrgEx(c.dc, 0, 0, nullptr);
  SetWindowOrgEx(c.dc, 0, 0, nullptr);

  // Row flip as the image library sets it: row 0 lands at the bottom.
  c.Fill(kWhite);
  EXPECT_FALSE(SetWorldTransform(c.dc, nullptr));
  XFORM flip{1, 0, 0, -1, 0, static_cast<float>(c.height - 1)};
  EXPECT_FALSE(SetWorldTransform(c.dc, &flip));  // needs advanced mode
  EXPECT_EQ(SetGraphicsMode(c.dc, GM_ADVANCED), GM_COMPATIBLE);
  EXPECT_TRUE(SetWorldTransform(c.dc, &flip));
  SetPixel(c.dc, 2, 0, kBlue);
  EXPECT_EQ(c.At(2, 7), kBlue);
  RECT row{0, 1, 10, 1};  // advanced mode includes the right and bottom edges
  FillRect(c.dc, &row, red);
  EXPECT_EQ(c.At(0, 6), kRed);
  EXPECT_EQ(c.At(9, 6), kRed);
  EXPECT_EQ(c.Count(kRed), 10);
  EXPECT_TRUE(ModifyWorldTransform(c.dc, nullptr, MWT_IDENTITY));
  SetPixel(c.dc, 2, 0, kGreen);
  EXPECT_EQ(c.At(2, 0), kGreen);
  EXPECT_EQ(SetGraphicsMode(c.dc, GM_COMPATIBLE), GM_ADVANCED);
  DeleteObject(red);
}

TEST(GdiDC, SurfaceDCDrawsInsideItsClipAtItsOrigin) {
  Surface s;
  s.Resize(20, 10);
  auto window = reinterpret_cast<HWND>(uintptr_t{0x1234});
  HDC dc = CreateSurfaceDC(&s, POINT{5, 2}, RECT{5, 2, 12, 8}, window);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(WindowFromDC(dc), window);
  EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 96);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 96);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT all{-10, -10, 100, 100};
  FillRect(dc, &all, red);
  int painted = 0;
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) painted += (s.Row(y)[x] & 0xFFFFFF) == 0xFF0000;
  EXPECT_EQ(painted, 7 * 6);
  EXPECT_EQ(s.Row(2)[5], 0xFFFF0000u);
  EXPECT_EQ(s.Row(1)[5], 0xFF000000u);
  RECT box;
  GetClipBox(dc, &box);
  EXPECT_EQ(box, (RECT{0, 0, 7, 6}));
  SetPixel(dc, 0, 0, kBlue);
  EXPECT_EQ(s.Row(2)[5], 0xFF0000FFu);
  ReleaseSurfaceDC(dc);
  EXPECT_EQ(WindowFromDC(dc), nullptr);
  DeleteObject(red);
}

TEST(GdiDC, SaveAndRestoreState) {
  TestCanvas c(4, 4);
  SetTextColor(c.dc, kRed);
  SetBkMode(c.dc, TRANSPARENT);
  HPEN pen = CreatePen(PS_SOLID, 1, kBlue);
  int level = SaveDC(c.dc);
  EXPECT_EQ(level, 1);
  SelectObject(c.dc, pen);
  SetTextColor(c.dc, kGreen);
  SetBkMode(c.dc, OPAQUE);
  EXPECT_EQ(SaveDC(c.dc), 2);
  EXPECT_TRUE(RestoreDC(c.dc, -1));
  EXPECT_EQ(GetTextColor(c.dc), kGreen);
  EXPECT_TRUE(RestoreDC(c.dc, level));
  EXPECT_EQ(GetTextColor(c.dc), kRed);
  EXPECT_EQ(GetBkMode(c.dc), TRANSPARENT);
  EXPECT_NE(GetCurrentObject(c.dc, OBJ_PEN), pen);
  EXPECT_FALSE(RestoreDC(c.dc, 1));  // nothing saved any more
  EXPECT_TRUE(DeleteObject(pen));
}

TEST(GdiObjects, SelectionAndDeletionRules) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  TestCanvas colourDC(1, 1);
  HBITMAP bm = CreateCompatibleBitmap(colourDC.dc, 8, 8);
  // A fresh memory DC holds a monochrome bitmap, so its compatible bitmaps are monochrome.
  HBITMAP monoCompatible = CreateCompatibleBitmap(a, 8, 8);
  BITMAP monoInfo{};
  GetObject(monoCompatible, sizeof monoInfo, &monoInfo);
  EXPECT_EQ(monoInfo.bmBitsPixel, 1);
  DeleteObject(monoCompatible);
  ASSERT_NE(bm, nullptr);
  HGDIOBJ old = SelectObject(a, bm);
  EXPECT_NE(old, nullptr);
  EXPECT_EQ(SelectObject(b, bm), nullptr);  // a bitmap lives in one DC at a time
  // Deleting a selected object is deferred until the DC lets go of it.
  EXPECT_TRUE(DeleteObject(bm));
  EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), bm);
  EXPECT_EQ(SetPixel(a, 1, 1, kRed), kRed);
  SelectObject(a, old);
  EXPECT_EQ(GetObjectType(bm), 0u);

  BITMAP info{};
  HBITMAP mono = CreateBitmap(10, 3, 1, 1, nullptr);
  ASSERT_EQ(GetObject(mono, sizeof info, &info), static_cast<int>(sizeof info));
  EXPECT_EQ(info.bmWidth, 10);
  EXPECT_EQ(info.bmBitsPixel, 1);
  EXPECT_EQ(info.bmWidthBytes, 2);
  EXPECT_EQ(GetObject(mono, 0, nullptr), static_cast<int>(sizeof(BITMAP)));

  LOGFONTW lf{};
  lf.lfHeight = -12;
  const char16_t face[] = u"Times New Roman";
  std::copy(std::begin(face), std::end(face), lf.lfFaceName);
  HFONT font = CreateFontIndirectW(&lf);
  LOGFONTA back{};
  ASSERT_EQ(GetObjectA(font, sizeof back, &back), static_cast<int>(sizeof back));
  EXPECT_STREQ(back.lfFaceName, "Times New Roman");
  EXPECT_EQ(back.lfHeight, -12);

  EXPECT_EQ(CreateCompatibleBitmap(a, -1, 5), nullptr);
  EXPECT_EQ(CreateCompatibleBitmap(a, 1 << 20, 1 << 20), nullptr);
  for (HGDIOBJ o : {static_cast<HGDIOBJ>(mono), static_cast<HGDIOBJ>(font)}) EXPECT_TRUE(DeleteObject(o));
  DeleteDC(a);
  DeleteDC(b);
}

TEST(GdiFrames, EdgesAndFrameControls) {
  TestCanvas c(40, 40, kBlack);
  RECT r{0, 0, 20, 20};
  DrawEdge(c.dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r, (RECT{2, 2, 18, 18}));
  EXPECT_NE(c.At(0, 10), c.At(19, 10));  // shadow on the left, highlight on the right
  EXPECT_EQ(c.At(10, 10), kBlack);        // no middle without BF_MIDDLE

  RECT box{20, 20, 33, 33};
  DrawFrameControl(c.dc, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
  EXPECT_EQ(c.At(26, 22), kWhite);  // inside the box, above the tick
  int dark = 0;
  for (int y = 22; y < 31; ++y)
    for (int x = 22; x < 31; ++x) dark += c.At(x, y) == kBlack;
  EXPECT_GT(dark, 5);  // the tick
  RECT arrow{0, 20, 17, 37};
  DrawFrameControl(c.dc, &arrow, DFC_SCROLL, DFCS_SCROLLUP);
  EXPECT_EQ(c.At(8, 28), kBlack);  // arrow glyph in the middle
  EXPECT_NE(c.At(3, 23), kBlack);  // button face around it
  // Arrows take the size of a scroll bar's, in a full button and in half an up-down control.
  for (RECT a : {RECT{0, 20, 17, 37}, RECT{20, 0, 37, 10}}) {
    DrawFrameControl(c.dc, &a, DFC_SCROLL, DFCS_SCROLLDOWN);
    int widest = 0;
    for (int y = a.top; y < a.bottom; ++y) {
      int run = 0;
      for (int x = a.left; x < a.right; ++x) run += c.At(x, y) == kBlack;
      widest = std::max(widest, run);
    }
    EXPECT_GE(widest, 7) << a.left;
  }
}

}  // namespace

namespace {

// Far-away coordinates cost only what is visible.
TEST(GdiShapes, HugeCoordinatesDrawTheirVisiblePart) {
  TestCanvas c(20, 20);
  MoveToEx(c.dc, -1000000000, 5, nullptr);
  LineTo(c.dc, 1000000000, 5);
  for (int x = 0; x < 20; ++x) EXPECT_EQ(c.At(x, 5), kBlack);
  EXPECT_EQ(c.Count(kBlack), 20);
  MoveToEx(c.dc, -300000000, -300000000, nullptr);
  LineTo(c.dc, 300000000, 300000000);
  EXPECT_EQ(c.At(10, 10), kBlack);
  Rectangle(c.dc, -1000000, -1000000, 1000000, 15);
  EXPECT_EQ(c.At(3, 14), kBlack);  // the bottom edge
  HRGN r = CreateEllipticRgn(-100000, -100000, 100000, 100000);
  EXPECT_TRUE(PtInRegion(r, 0, 0));
  // As a clip region, combined with the bitmap's area.
  SelectClipRgn(c.dc, r);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT all{0, 0, 20, 20};
  FillRect(c.dc, &all, red);
  EXPECT_EQ(c.At(19, 19), kRed);
  DeleteObject(red);
  DeleteObject(r);
}

}  // namespace
