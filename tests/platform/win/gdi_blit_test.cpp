#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/platform/win/gdi_test_canvas.h"

namespace {

// Each ternary code against independent pattern, source and destination bits.
TEST(GdiBlit, RasterOperationsCombineSourcePatternAndDestination) {
  const COLORREF S = RGB(0xF0, 0xCC, 0x0F), D = RGB(0xAA, 0x33, 0x5A), P = RGB(0x0F, 0x99, 0xF5);
  const struct {
    const char* name;
    DWORD rop;
    std::function<uint32_t(uint32_t, uint32_t, uint32_t)> f;
  } cases[] = {
      {"SRCCOPY", SRCCOPY, [](uint32_t s, uint32_t, uint32_t) { return s; }},
      {"SRCPAINT", SRCPAINT, [](uint32_t s, uint32_t d, uint32_t) { return s | d; }},
      {"SRCAND", SRCAND, [](uint32_t s, uint32_t d, uint32_t) { return s & d; }},
      {"SRCINVERT", SRCINVERT, [](uint32_t s, uint32_t d, uint32_t) { return s ^ d; }},
      {"SRCERASE", SRCERASE, [](uint32_t s, uint32_t d, uint32_t) { return s & ~d; }},
      {"NOTSRCCOPY", NOTSRCCOPY, [](uint32_t s, uint32_t, uint32_t) { return ~s; }},
      {"DSTINVERT", DSTINVERT, [](uint32_t, uint32_t d, uint32_t) { return ~d; }},
      {"PATCOPY", PATCOPY, [](uint32_t, uint32_t, uint32_t p) { return p; }},
      {"PATINVERT", PATINVERT, [](uint32_t, uint32_t d, uint32_t p) { return p ^ d; }},
      {"BLACKNESS", BLACKNESS, [](uint32_t, uint32_t, uint32_t) { return 0u; }},
      {"WHITENESS", WHITENESS, [](uint32_t, uint32_t, uint32_t) { return 0xFFFFFFu; }},
  };
  TestCanvas src(4, 4, S);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestCanvas dst(4, 4, D);
    HBRUSH brush = CreateSolidBrush(P);
    HGDIOBJ old = SelectObject(dst.dc, brush);
    EXPECT_TRUE(BitBlt(dst.dc, 1, 1, 2, 2, src.dc, 0, 0, c.rop));
    EXPECT_EQ(dst.At(1, 1), c.f(S, D, P) & 0xFFFFFF);
    EXPECT_EQ(dst.At(2, 2), c.f(S, D, P) & 0xFFFFFF);
    EXPECT_EQ(dst.At(0, 0), D);
    EXPECT_EQ(dst.At(3, 3), D);
    SelectObject(dst.dc, old);
    DeleteObject(brush);
  }
}

TEST(GdiBlit, BlitOntoItselfAndMonochromeConversions) {
  TestCanvas c(8, 1);
  for (int x = 0; x < 8; ++x) c.bits[x] = 0xFF000000u | static_cast<uint32_t>(x);
  BitBlt(c.dc, 1, 0, 6, 1, c.dc, 0, 0, SRCCOPY);  // overlapping scroll to the right
  for (int x = 1; x < 7; ++x) EXPECT_EQ(c.bits[x] & 0xFF, static_cast<uint32_t>(x - 1));

  // Colour to monochrome: the source's background colour becomes white.
  TestCanvas colour(4, 1, kRed);
  colour.bits[2] = 0xFF0000FFu;
  HDC monoDC = CreateCompatibleDC(nullptr);
  HBITMAP mono = CreateBitmap(4, 1, 1, 1, nullptr);
  HGDIOBJ old = SelectObject(monoDC, mono);
  SetBkColor(colour.dc, kRed);
  BitBlt(monoDC, 0, 0, 4, 1, colour.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(GetPixel(monoDC, 0, 0), kWhite);
  EXPECT_EQ(GetPixel(monoDC, 2, 0), kBlack);
  // Monochrome to colour: 0 bits take the text colour, 1 bits the background colour.
  TestCanvas out(4, 1);
  SetTextColor(out.dc, kGreen);
  SetBkColor(out.dc, kBlue);
  BitBlt(out.dc, 0, 0, 4, 1, monoDC, 0, 0, SRCCOPY);
  EXPECT_EQ(out.At(0, 0), kBlue);
  EXPECT_EQ(out.At(2, 0), kGreen);
  SelectObject(monoDC, old);
  DeleteObject(mono);
  DeleteDC(monoDC);
}

TEST(GdiBlit, StretchModesAndMirroring) {
  // A 1-pixel black and white checkerboard shrunk by two.
  TestCanvas src(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) src.bits[y * 8 + x] = ((x + y) & 1) ? 0xFF000000u : 0xFFFFFFFFu;
  TestCanvas dst(4, 4);
  SetStretchBltMode(dst.dc, HALFTONE);
  StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 8, 8, SRCCOPY);
  COLORREF grey = dst.At(1, 1);
  EXPECT_NEAR(GetRValue(grey), 128, 2);
  SetStretchBltMode(dst.dc, COLORONCOLOR);
  StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 8, 8, SRCCOPY);
  EXPECT_TRUE(dst.At(1, 1) == kWhite || dst.At(1, 1) == kBlack);

  // Doubling repeats each pixel; a negative width mirrors.
  TestCanvas row(3, 1);
  row.bits[0] = 0xFFFF0000u;
  row.bits[1] = 0xFF00FF00u;
  row.bits[2] = 0xFF0000FFu;
  TestCanvas big(6, 2);
  StretchBlt(big.dc, 0, 0, 6, 2, row.dc, 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(big.At(0, 0), kRed);
  EXPECT_EQ(big.At(1, 1), kRed);
  EXPECT_EQ(big.At(2, 0), kGreen);
  EXPECT_EQ(big.At(5, 1), kBlue);
  StretchBlt(big.dc, 5, 0, -6, 1, row.dc, 0, 0, 3, 1, SRCCOPY);
  EXPECT_EQ(big.At(0, 0), kBlue);
  EXPECT_EQ(big.At(5, 0), kRed);
}

// A 1-bit bottom-up mask drawn with SRCINVERT, its source rectangle given
// in bottom-up rows as the image library passes it.
TEST(GdiBlit, StretchDIBitsInvertsThroughABottomUpMask) {
  const int w = 8, h = 4;
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } info{};
  info.header.biWidth = w;
  info.header.biHeight = h;  // bottom-up
  info.header.biBitCount = 1;
  info.colors[0] = {0, 0, 0, 0};
  info.colors[1] = {255, 255, 255, 0};
  // Picture rows from the top: row 0 = 0xF0, rows 1..3 = 0x00. Memory holds the bottom row first.
  uint32_t bits[h] = {0, 0, 0, 0xF0};
  TestCanvas c(w, h, RGB(0x12, 0x34, 0x56));
  int srcX = 0, srcY = 0, srcW = w, srcH = 2;
  StretchDIBits(c.dc, 0, 0, srcW, srcH, srcX, h - srcH - srcY, srcW, srcH, bits,
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCINVERT);
  EXPECT_EQ(c.At(0, 0), RGB(0xED, 0xCB, 0xA9));  // mask bit set: inverted
  EXPECT_EQ(c.At(3, 0), RGB(0xED, 0xCB, 0xA9));
  EXPECT_EQ(c.At(4, 0), RGB(0x12, 0x34, 0x56));  // clear bit: unchanged
  EXPECT_EQ(c.At(0, 1), RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(c.At(0, 2), RGB(0x12, 0x34, 0x56));  // outside the destination

  // A header that lies about its bit count is refused.
  info.header.biBitCount = 3;
  EXPECT_EQ(StretchDIBits(c.dc, 0, 0, w, h, 0, 0, w, h, bits, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                          SRCCOPY),
            0);
}

TEST(GdiBlit, AlphaBlendConstantAndPerPixel) {
  TestCanvas src(2, 1, kRed);
  TestCanvas dst(2, 1, kBlue);
  BLENDFUNCTION half{AC_SRC_OVER, 0, 128, 0};
  EXPECT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, 2, 1, half));
  COLORREF mixed = dst.At(0, 0);
  EXPECT_NEAR(GetRValue(mixed), 128, 1);
  EXPECT_NEAR(GetBValue(mixed), 127, 1);

  // Premultiplied per-pixel alpha: opaque, half (premultiplied red 128) and clear.
  TestCanvas pp(3, 1);
  pp.bits[0] = 0xFFFF0000u;
  pp.bits[1] = 0x80800000u;
  pp.bits[2] = 0x00000000u;
  TestCanvas back(3, 1, kBlue);
  BLENDFUNCTION perPixel{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_TRUE(AlphaBlend(back.dc, 0, 0, 3, 1, pp.dc, 0, 0, 3, 1, perPixel));
  EXPECT_EQ(back.At(0, 0), kRed);
  EXPECT_NEAR(GetRValue(back.At(1, 0)), 128, 1);
  EXPECT_NEAR(GetBValue(back.At(1, 0)), 127, 1);
  EXPECT_EQ(back.At(2, 0), kBlue);

  // A source rectangle outside the source fails.
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 1, src.dc, 1, 0, 2, 1, half));
}

TEST(GdiBlit, TransparentBltSkipsTheKeyColour) {
  TestCanvas src(3, 1, kRed);
  src.bits[1] = 0xFF00FF00u;
  TestCanvas dst(6, 2, kBlue);
  EXPECT_TRUE(TransparentBlt(dst.dc, 0, 0, 6, 2, src.dc, 0, 0, 3, 1, kGreen));
  EXPECT_EQ(dst.At(0, 0), kRed);
  EXPECT_EQ(dst.At(2, 1), kBlue);
  EXPECT_EQ(dst.At(3, 0), kBlue);
  EXPECT_EQ(dst.At(5, 1), kRed);
}

TEST(GdiBlit, GradientFillEndColoursBothDirections) {
  for (ULONG mode : {GRADIENT_FILL_RECT_H, GRADIENT_FILL_RECT_V}) {
    TestCanvas c(20, 20);
    TRIVERTEX v[2];
    v[0] = {2, 2, 0xFF00, 0, 0, 0};
    v[1] = {18, 18, 0, 0, 0xFF00, 0};
    GRADIENT_RECT g{0, 1};
    EXPECT_TRUE(GradientFill(c.dc, v, 2, &g, 1, mode));
    EXPECT_EQ(c.At(2, 2), kRed) << mode;
    EXPECT_EQ(c.At(17, 17), kBlue) << mode;
    COLORREF mid = mode == GRADIENT_FILL_RECT_H ? c.At(10, 5) : c.At(5, 10);
    EXPECT_NEAR(GetRValue(mid), 128, 10) << mode;
    EXPECT_EQ(c.At(18, 10), kWhite);
    EXPECT_EQ(c.At(1, 10), kWhite);
    GRADIENT_RECT bad{0, 5};
    EXPECT_FALSE(GradientFill(c.dc, v, 2, &bad, 1, mode));
  }
}

// Drawing on DIB sections of every depth: pixels land in the caller's memory.
TEST(GdiDib, SectionsOfEveryDepthTakeDrawing) {
  for (int bpp : {1, 4, 8, 16, 24, 32}) {
    SCOPED_TRACE(bpp);
    struct {
      BITMAPINFOHEADER header;
      RGBQUAD colors[256];
    } info{};
    info.header.biWidth = 10;
    info.header.biHeight = 6;  // bottom-up
    info.header.biBitCount = static_cast<WORD>(bpp);
    info.colors[0] = {0, 0, 0, 0};
    info.colors[1] = {255, 255, 255, 0};
    info.colors[2] = {0, 0, 255, 0};
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(bm, nullptr);
    ASSERT_NE(bits, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, bm);
    COLORREF ink = bpp == 1 ? kWhite : kRed;
    HBRUSH brush = CreateSolidBrush(ink);
    RECT top{0, 0, 10, 1};
    FillRect(dc, &top, brush);
    EXPECT_EQ(GetPixel(dc, 5, 0), ink);
    EXPECT_EQ(GetPixel(dc, 5, 5), kBlack);
    // Bottom-up: the top row is the last row in memory.
    int stride = ((10 * bpp + 31) / 32) * 4;
    const auto* last = static_cast<const uint8_t*>(bits) + 5 * stride;
    const auto* first = static_cast<const uint8_t*>(bits);
    EXPECT_NE(std::vector<uint8_t>(last, last + stride), std::vector<uint8_t>(stride));
    EXPECT_EQ(std::vector<uint8_t>(first, first + stride), std::vector<uint8_t>(stride));
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(bm, sizeof ds, &ds), static_cast<int>(sizeof ds));
    EXPECT_EQ(ds.dsBm.bmBits, bits);
    EXPECT_EQ(ds.dsBmih.biBitCount, bpp);
    SelectObject(dc, old);
    DeleteObject(brush);
    DeleteObject(bm);
    DeleteDC(dc);
  }
}

TEST(GdiDib, GetDIBitsAndSetDIBitsConvertDepths) {
  TestCanvas colourDC(1, 1);
  HBITMAP bm = CreateCompatibleBitmap(colourDC.dc, 4, 2);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bm);
  SetPixel(dc, 0, 0, kWhite);
  SetPixel(dc, 3, 1, kRed);
  SelectObject(dc, old);

  // Ask for the bitmap's own description first.
  BITMAPINFO probe{};
  probe.bmiHeader.biBitCount = 0;
  EXPECT_EQ(GetDIBits(dc, bm, 0, 2, nullptr, &probe, DIB_RGB_COLORS), 2);
  EXPECT_EQ(probe.bmiHeader.biWidth, 4);
  EXPECT_EQ(probe.bmiHeader.biBitCount, 32);

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
  } info{};
  info.header.biWidth = 4;
  info.header.biHeight = 2;
  info.header.biBitCount = 8;
  uint8_t rows[2][4] = {};
  EXPECT_EQ(GetDIBits(dc, bm, 0, 2, rows, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 2);
  // Bottom-up: scan 0 is the picture's lower row.
  const RGBQUAD& white = info.colors[rows[1][0]];
  EXPECT_EQ(white.rgbRed + white.rgbGreen + white.rgbBlue, 765);
  const RGBQUAD& red = info.colors[rows[0][3]];
  EXPECT_EQ(red.rgbRed, 255);
  EXPECT_EQ(red.rgbBlue, 0);

  info.header.biBitCount = 1;
  uint32_t maskRows[2] = {};
  EXPECT_EQ(GetDIBits(dc, bm, 0, 2, maskRows, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 2);
  EXPECT_EQ(maskRows[1] & 0x80, 0x80u);  // the white pixel, top row
  EXPECT_EQ(maskRows[0] & 0x80, 0u);

  // SetDIBits writes a 24-bit top-down DIB into the bitmap.
  info.header.biBitCount = 24;
  info.header.biHeight = -2;
  uint8_t rgb[2][12] = {};
  rgb[1][0] = 255;  // blue at (0, 1)
  EXPECT_EQ(SetDIBits(dc, bm, 0, 2, rgb, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS), 2);
  SelectObject(dc, bm);
  EXPECT_EQ(GetPixel(dc, 0, 1), kBlue);
  EXPECT_EQ(GetPixel(dc, 0, 0), kBlack);
  SelectObject(dc, old);
  DeleteObject(bm);
  DeleteDC(dc);
}

TEST(GdiBlit, PatternBrushesTileFromTheBrushOrigin) {
  HBITMAP pattern = CreateBitmap(8, 8, 1, 1, nullptr);
  HDC pdc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(pdc, pattern);
  PatBlt(pdc, 0, 0, 8, 8, WHITENESS);
  SetPixel(pdc, 0, 0, kBlack);
  SelectObject(pdc, old);
  HBRUSH brush = CreatePatternBrush(pattern);
  TestCanvas c(16, 16);
  SetTextColor(c.dc, kRed);  // 0 bits of a monochrome pattern
  SetBkColor(c.dc, kWhite);
  RECT all{0, 0, 16, 16};
  FillRect(c.dc, &all, brush);
  EXPECT_EQ(c.Count(kRed), 4);
  EXPECT_EQ(c.At(8, 8), kRed);
  DeleteObject(brush);
  DeleteObject(pattern);
  DeleteDC(pdc);
}

}  // namespace

namespace {

// Drawing on a 24-bit DIB converts only what it touches; the rest of the
// caller's memory stays byte for byte.
TEST(GdiDib, DrawingOnIndirectDepthsKeepsOtherBytes) {
  BITMAPINFO info{};
  info.bmiHeader.biWidth = 30;
  info.bmiHeader.biHeight = 20;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bm, nullptr);
  const int stride = ((30 * 24 + 31) / 32) * 4;
  auto* bytes = static_cast<uint8_t*>(bits);
  for (int i = 0; i < stride * 20; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  std::vector<uint8_t> before(bytes, bytes + stride * 20);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bm);
  HBRUSH red = CreateSolidBrush(kRed);
  RECT r{5, 5, 8, 7};
  FillRect(dc, &r, red);
  Ellipse(dc, 10, 2, 20, 12);
  EXPECT_EQ(GetPixel(dc, 6, 6), kRed);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x) {
      bool touched = (x >= 5 && x < 8 && y >= 5 && y < 7) || (x >= 10 && x < 20 && y >= 2 && y < 12);
      if (touched) continue;
      const uint8_t* now = bytes + (19 - y) * stride + 3 * x;
      const uint8_t* was = before.data() + (19 - y) * stride + 3 * x;
      ASSERT_TRUE(now[0] == was[0] && now[1] == was[1] && now[2] == was[2]) << x << "," << y;
    }
  SelectObject(dc, old);
  DeleteObject(red);
  DeleteObject(bm);
  DeleteDC(dc);
}

TEST(GdiBlit, PlgBltMapsOntoAParallelogram) {
  // 4 x 2 source: top row red, bottom row blue; rotated a quarter turn.
  TestCanvas src(4, 2, kRed);
  for (int x = 0; x < 4; ++x) src.bits[4 + x] = 0xFF0000FFu;
  TestCanvas dst(10, 10);
  // Top-left at (6, 1), top-right below it at (6, 5), bottom-left at (4, 1).
  const POINT plg[3] = {{6, 1}, {6, 5}, {4, 1}};
  EXPECT_TRUE(PlgBlt(dst.dc, plg, src.dc, 0, 0, 4, 2, nullptr, 0, 0));
  EXPECT_EQ(dst.At(5, 2), kRed);   // the source's top row lies along x = 5
  EXPECT_EQ(dst.At(4, 2), kBlue);  // its bottom row along x = 4
  EXPECT_EQ(dst.At(7, 2), kWhite);
  EXPECT_EQ(dst.At(5, 6), kWhite);
}

TEST(GdiObjects, PalettesKeepTheirEntries) {
  struct {
    LOGPALETTE header;
    PALETTEENTRY more[3];
  } pal{};
  pal.header.palNumEntries = 4;
  pal.header.palPalEntry[0] = {10, 20, 30, 0};
  HPALETTE h = CreatePalette(&pal.header);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GetPaletteEntries(h, 0, 0, nullptr), 4u);
  const PALETTEENTRY set[2] = {{1, 2, 3, 0}, {4, 5, 6, 0}};
  EXPECT_EQ(SetPaletteEntries(h, 3, 2, set), 1u);  // only one fits
  PALETTEENTRY got[4];
  EXPECT_EQ(GetPaletteEntries(h, 0, 4, got), 4u);
  EXPECT_EQ(got[0].peGreen, 20);
  EXPECT_EQ(got[3].peBlue, 3);
  EXPECT_EQ(GetPaletteEntries(h, 9, 1, got), 0u);
  DeleteObject(h);
}

}  // namespace

namespace {

TEST(GdiBlit, CopiesHonourClipAndSourceEdges) {
  TestCanvas src(6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) src.bits[y * 6 + x] = 0xFF000000u | static_cast<uint32_t>(y * 16 + x);
  TestCanvas dst(10, 10, kRed);
  IntersectClipRect(dst.dc, 3, 3, 7, 7);
  // Source rectangle runs past the source's right and bottom edges.
  BitBlt(dst.dc, 2, 2, 8, 8, src.dc, 2, 2, SRCCOPY);
  EXPECT_EQ(dst.At(2, 2), kRed);                   // clipped away
  EXPECT_EQ(dst.At(3, 3), RGB(0, 0, 3 * 16 + 3));  // source (3, 3)
  EXPECT_EQ(dst.At(5, 5), RGB(0, 0, 5 * 16 + 5));
  EXPECT_EQ(dst.At(6, 6), kRed);                   // beyond the source
  EXPECT_EQ(dst.At(7, 4), kRed);                   // outside the clip
}

}  // namespace

namespace {

TEST(GdiDib, SetDIBitsToDevicePlacesBottomUpRows) {
  // 2 x 2, bottom-up: the first row in memory is the picture's bottom row.
  BITMAPINFO info{};
  info.bmiHeader.biWidth = 2;
  info.bmiHeader.biHeight = 2;
  info.bmiHeader.biBitCount = 24;
  const uint8_t rows[2][8] = {{255, 0, 0, 0, 255, 0, 0, 0},    // bottom: blue, green
                              {0, 0, 255, 255, 255, 255, 0, 0}};  // top: red, white
  TestCanvas c(6, 6, kBlack);
  EXPECT_EQ(SetDIBitsToDevice(c.dc, 3, 1, 2, 2, 0, 0, 0, 2, rows, &info, DIB_RGB_COLORS), 2);
  EXPECT_EQ(c.At(3, 1), kRed);
  EXPECT_EQ(c.At(4, 1), kWhite);
  EXPECT_EQ(c.At(3, 2), kBlue);
  EXPECT_EQ(c.At(4, 2), kGreen);
  EXPECT_EQ(c.At(2, 1), kBlack);
  EXPECT_EQ(c.At(3, 3), kBlack);
  // Only the top row: the source rectangle counts up from the bottom row.
  c.Fill(kBlack);
  SetDIBitsToDevice(c.dc, 0, 0, 2, 1, 0, 1, 0, 2, rows, &info, DIB_RGB_COLORS);
  EXPECT_EQ(c.At(0, 0), kRed);
  EXPECT_EQ(c.At(0, 1), kBlack);
}

}  // namespace

namespace {

// A memory DC over a DIB section of 24 or 32 bits, top-down or bottom-up,
// filled with varied bytes (alpha too).
struct DibCanvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  uint8_t* bits = nullptr;
  size_t size = 0;
  int height = 0, bpp = 0;
  bool topDown = true;
  ptrdiff_t stride = 0;
  DibCanvas(int w, int h, int bpp, bool topDown, uint32_t seed) : height(h), bpp(bpp), topDown(topDown) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = topDown ? -h : h;
    info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    void* p = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint8_t*>(p);
    stride = ((w * bpp + 31) / 32) * 4;
    size = static_cast<size_t>(stride) * h;
    for (size_t i = 0; i < size; ++i) {
      seed = seed * 1664525u + 1013904223u;
      bits[i] = static_cast<uint8_t>(seed >> 24);
    }
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
  }
  ~DibCanvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  std::vector<uint8_t> Bytes() const { return std::vector<uint8_t>(bits, bits + size); }
  // The colour of (x, y) as stored, read without a DC.
  COLORREF Pixel(int x, int y) const {
    const uint8_t* p = bits + (topDown ? y : height - 1 - y) * stride + x * (bpp / 8);
    return RGB(p[2], p[1], p[0]);
  }
};

// SRCCOPY between 24- and 32-bit pixels takes row copies; the general
// raster-operation path with the same truth table (source copied) is the
// reference it must match byte for byte, through clipping, source edges,
// both row orders and every stretch.
TEST(GdiBlit, RowCopiesMatchTheGeneralRasterPath) {
  constexpr DWORD kGeneralCopy = 0x00CC0000;  // SRCCOPY's truth table without its code
  struct Layout {
    int bpp;
    bool topDown;
  };
  const Layout layouts[] = {{24, true}, {24, false}, {32, true}, {32, false}};
  struct Blit {
    const char* name;
    int x, y, w, h, sx, sy, sw, sh, mode;
  };
  const Blit blits[] = {
      {"plain", 3, 2, 20, 15, 1, 4, 20, 15, COLORONCOLOR},
      {"past the source edges", -4, 5, 30, 20, -3, 10, 30, 20, COLORONCOLOR},
      {"half width, halftone", 0, 0, 17, 20, 2, 1, 34, 20, HALFTONE},
      {"third, halftone", 1, 1, 9, 7, 0, 0, 29, 22, HALFTONE},
      {"down past the edges, halftone", 0, 0, 15, 12, -5, 8, 45, 30, HALFTONE},
      {"up, halftone", 0, 0, 30, 22, 5, 5, 11, 9, HALFTONE},
      {"down, nearest", 2, 0, 13, 11, 0, 3, 31, 25, COLORONCOLOR},
      {"up and down, halftone", 0, 0, 26, 9, 4, 0, 13, 27, HALFTONE},
      {"a sixth, halftone", 2, 3, 5, 4, 0, 0, 33, 27, HALFTONE},
      {"all into one pixel, halftone", 4, 4, 1, 1, 0, 0, 33, 27, HALFTONE},
      {"boxes of over 256 pixels past the edges, halftone", 1, 2, 3, 1, -5, 8, 45, 30, HALFTONE},
  };
  uint32_t seed = 7;
  for (const Layout& from : layouts)
    for (const Layout& to : layouts)
      for (const Blit& b : blits) {
        SCOPED_TRACE(testing::Message() << b.name << ": " << from.bpp << (from.topDown ? " down" : " up") << " to "
                                        << to.bpp << (to.topDown ? " down" : " up"));
        DibCanvas src(33, 27, from.bpp, from.topDown, ++seed);
        DibCanvas fast(29, 23, to.bpp, to.topDown, ++seed), general(29, 23, to.bpp, to.topDown, seed);
        HRGN clip = CreateRectRgn(1, 1, 20, 12);
        HRGN more = CreateRectRgn(8, 10, 27, 21);
        CombineRgn(clip, clip, more, RGN_OR);
        for (HDC dc : {fast.dc, general.dc}) {
          SelectClipRgn(dc, clip);
          SetStretchBltMode(dc, b.mode);
        }
        ASSERT_TRUE(StretchBlt(fast.dc, b.x, b.y, b.w, b.h, src.dc, b.sx, b.sy, b.sw, b.sh, SRCCOPY));
        ASSERT_TRUE(StretchBlt(general.dc, b.x, b.y, b.w, b.h, src.dc, b.sx, b.sy, b.sw, b.sh, kGeneralCopy));
        EXPECT_EQ(fast.Bytes(), general.Bytes());
        DeleteObject(clip);
        DeleteObject(more);
      }
}

// A copy whose source and target are one bitmap reads the pixels as they
// were before it, overlapping or not, plain or stretched, like the general
// path does.
TEST(GdiBlit, RowCopiesOntoItselfMatchTheGeneralRasterPath) {
  constexpr DWORD kGeneralCopy = 0x00CC0000;
  struct Blit {
    const char* name;
    int x, y, w, h, sx, sy, sw, sh, mode;
  };
  const Blit blits[] = {
      {"scroll right and down", 3, 2, 25, 20, 0, 0, 25, 20, COLORONCOLOR},
      {"scroll left and up", 0, 0, 26, 21, 5, 4, 26, 21, COLORONCOLOR},
      {"squeezed into its left part", 0, 0, 17, 27, 0, 0, 33, 27, HALFTONE},
      {"squeezed into its lower part", 0, 9, 33, 18, 0, 0, 33, 27, HALFTONE},
      {"enlarged over itself", 0, 0, 33, 27, 10, 8, 12, 10, COLORONCOLOR},
  };
  for (int bpp : {24, 32})
    for (bool topDown : {true, false})
      for (const Blit& b : blits) {
        SCOPED_TRACE(testing::Message() << b.name << ": " << bpp << (topDown ? " down" : " up"));
        DibCanvas fast(33, 27, bpp, topDown, 9), general(33, 27, bpp, topDown, 9);
        for (HDC dc : {fast.dc, general.dc}) SetStretchBltMode(dc, b.mode);
        ASSERT_TRUE(StretchBlt(fast.dc, b.x, b.y, b.w, b.h, fast.dc, b.sx, b.sy, b.sw, b.sh, SRCCOPY));
        ASSERT_TRUE(StretchBlt(general.dc, b.x, b.y, b.w, b.h, general.dc, b.sx, b.sy, b.sw, b.sh, kGeneralCopy));
        EXPECT_EQ(fast.Bytes(), general.Bytes());
      }
}

// The source pixel of a target pixel, straight from the definition: the
// pixel's centre mapped back into the parallelogram (u, v in [0, 1), in
// exact rationals), scaled onto the source's extent.
struct Inverse {
  const POINT* p;
  int w, h;
  bool Source(int tx, int ty, int& su, int& sv) const {
    const int64_t ax = p[1].x - p[0].x, ay = p[1].y - p[0].y, bx = p[2].x - p[0].x, by = p[2].y - p[0].y;
    int64_t det = ax * by - ay * bx;
    int64_t px = 2 * (tx - p[0].x) + 1, py = 2 * (ty - p[0].y) + 1;  // twice the centre's offset
    int64_t nu = px * by - py * bx, nv = ax * py - ay * px;          // u = nu / 2 det, v = nv / 2 det
    if (det < 0) det = -det, nu = -nu, nv = -nv;
    if (nu < 0 || nv < 0 || nu >= 2 * det || nv >= 2 * det) return false;
    su = static_cast<int>(nu * std::abs(w) / (2 * det));
    sv = static_cast<int>(nv * std::abs(h) / (2 * det));
    return true;
  }
};

// PlgBlt walks each target row between the parallelogram's edges; every
// pixel must be the one the inverse map names, on tilted, mirrored, thin and
// out-of-bounds parallelograms, through a clip region, between every pair
// of 24- and 32-bit layouts, and onto itself.
TEST(GdiBlit, PlgBltTakesThePixelsOfTheInverseMap) {
  struct Case {
    const char* name;
    POINT p[3];
    int sx, sy, w, h;
  };
  const Case cases[] = {
      {"quarter turn", {{20, 2}, {20, 19}, {5, 2}}, 3, 2, 17, 13},
      {"tilted and sheared", {{3, 1}, {26, 7}, {-2, 20}}, 0, 0, 33, 27},
      {"mirrored by the points", {{27, 21}, {1, 19}, {25, 0}}, 4, 3, 21, 17},
      {"negative extents", {{2, 3}, {24, 5}, {4, 19}}, 30, 25, -23, -19},
      {"one pixel thin", {{0, 4}, {28, 9}, {0, 5}}, 0, 0, 33, 1},
      {"enlarged past the target", {{-30, -20}, {60, -10}, {-40, 50}}, 5, 5, 7, 6},
      {"source partly outside", {{1, 1}, {28, 1}, {1, 22}}, 20, 15, 30, 25},
      {"a point each", {{10, 10}, {11, 10}, {10, 11}}, 6, 6, 1, 1},
  };
  struct Layout {
    int bpp;
    bool topDown;
  };
  const Layout layouts[] = {{24, true}, {24, false}, {32, true}, {32, false}};
  uint32_t seed = 40;
  for (const Case& c : cases)
    for (const Layout& from : layouts)
      for (const Layout& to : layouts)
        for (bool clipped : {false, true}) {
          SCOPED_TRACE(testing::Message() << c.name << ": " << from.bpp << (from.topDown ? " down" : " up")
                                          << " to " << to.bpp << (to.topDown ? " down" : " up")
                                          << (clipped ? ", clipped" : ""));
          DibCanvas src(33, 27, from.bpp, from.topDown, ++seed), dst(29, 23, to.bpp, to.topDown, ++seed);
          HRGN clip = CreateEllipticRgn(-3, 2, 25, 26);
          if (clipped) SelectClipRgn(dst.dc, clip);
          std::vector<COLORREF> expected(29 * 23), source(33 * 27);
          for (int y = 0; y < 27; ++y)
            for (int x = 0; x < 33; ++x) source[y * 33 + x] = src.Pixel(x, y);
          const Inverse inverse{c.p, c.w, c.h};
          for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 29; ++x) {
              COLORREF& e = expected[y * 29 + x];
              e = dst.Pixel(x, y);
              int su, sv;
              if ((clipped && !PtInRegion(clip, x, y)) || !inverse.Source(x, y, su, sv)) continue;
              const int sx = c.sx + (c.w < 0 ? c.w + su : su), sy = c.sy + (c.h < 0 ? c.h + sv : sv);
              if (sx >= 0 && sy >= 0 && sx < 33 && sy < 27) e = source[sy * 33 + sx];
            }
          ASSERT_TRUE(PlgBlt(dst.dc, c.p, src.dc, c.sx, c.sy, c.w, c.h, nullptr, 0, 0));
          for (int y = 0; y < 23; ++y)
            for (int x = 0; x < 29; ++x) ASSERT_EQ(dst.Pixel(x, y), expected[y * 29 + x]) << x << "," << y;
          DeleteObject(clip);
        }
}

// Flat parallelograms draw nothing and fail; a DC onto itself reads the
// pixels as they were before the blit.
TEST(GdiBlit, PlgBltRefusesFlatShapesAndCopiesOntoItself) {
  DibCanvas c(20, 20, 24, false, 3);
  const std::vector<uint8_t> before = c.Bytes();
  const POINT flat[][3] = {{{2, 2}, {12, 7}, {6, 4}}, {{5, 5}, {5, 5}, {9, 1}}, {{1, 1}, {1, 9}, {1, 15}}};
  for (const auto& p : flat) EXPECT_FALSE(PlgBlt(c.dc, p, c.dc, 0, 0, 10, 10, nullptr, 0, 0));
  EXPECT_EQ(c.Bytes(), before);

  // Mirrored left to right onto itself: each row reversed.
  std::vector<COLORREF> row(20);
  for (int x = 0; x < 20; ++x) row[x] = GetPixel(c.dc, x, 7);
  const POINT mirror[3] = {{20, 0}, {0, 0}, {20, 20}};
  ASSERT_TRUE(PlgBlt(c.dc, mirror, c.dc, 0, 0, 20, 20, nullptr, 0, 0));
  for (int x = 0; x < 20; ++x) EXPECT_EQ(GetPixel(c.dc, x, 7), row[19 - x]) << x;

  // Through a mask (set bits draw), in the mask's own coordinates: the
  // quarter turn of a 4 x 4 source whose mask keeps its left half.
  const uint16_t maskRows[4] = {0x00C0, 0x00C0, 0x00C0, 0x00C0};  // word-aligned rows, top bit first
  HBITMAP mask = CreateBitmap(4, 4, 1, 1, maskRows);
  DibCanvas dst(8, 8, 32, true, 5);
  std::vector<COLORREF> was(64);
  for (int i = 0; i < 64; ++i) was[i] = GetPixel(dst.dc, i % 8, i / 8);
  const POINT turn[3] = {{6, 2}, {6, 6}, {2, 2}};  // source x runs down, y runs left
  ASSERT_TRUE(PlgBlt(dst.dc, turn, c.dc, 3, 4, 4, 4, mask, 0, 0));
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
      const int su = y - 2, sv = 5 - x;
      const COLORREF e = inside && su < 2 ? GetPixel(c.dc, 3 + su, 4 + sv) : was[y * 8 + x];
      EXPECT_EQ(GetPixel(dst.dc, x, y), e) << x << "," << y;
    }
  DeleteObject(mask);
}

}  // namespace
