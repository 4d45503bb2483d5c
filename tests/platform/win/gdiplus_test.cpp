#include "platform/win/gdiplus.h"
#include "platform/win/shlwapi.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/win/gdi_text.h"
#include "tests/platform/win/gdi_test_canvas.h"

namespace {

using namespace Gdiplus;

// A stream over a copy of the bytes, for loading a picture through GDI+.
ComPtr<IStream> BytesStream(const std::vector<uint8_t>& bytes) {
  return ComPtr<IStream>::Attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
}

// A PNG of the given 0xAARRGGBB pixels.
std::vector<uint8_t> Png(int w, int h, const std::vector<uint32_t>& px) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  img.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), w * 4, nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), w * 4, nullptr);
  out.resize(size);
  return out;
}

class GdiPlus : public ::testing::Test {
protected:
  void SetUp() override {
    GdiplusStartupInput in;
    ASSERT_EQ(GdiplusStartup(&token_, &in, nullptr), Ok);
  }
  void TearDown() override { GdiplusShutdown(token_); }

  struct Graphics {
    GpGraphics* g = nullptr;
    explicit Graphics(HDC dc, int smoothing = SmoothingModeNone) {
      EXPECT_EQ(GdipCreateFromHDC(dc, &g), Ok);
      GdipSetSmoothingMode(g, smoothing);
    }
    ~Graphics() { GdipDeleteGraphics(g); }
  };

  ULONG_PTR token_ = 0;
};

bool Pure(COLORREF c) { return c == kWhite || c == kBlack; }

TEST(GdiPlusStartup, AllocWorksOnlyWhileStarted) {
  EXPECT_EQ(GdipAlloc(16), nullptr);
  GdiplusStartupInput in;
  ULONG_PTR token = 0;
  ASSERT_EQ(GdiplusStartup(&token, &in, nullptr), Ok);
  void* p = GdipAlloc(16);
  EXPECT_NE(p, nullptr);
  GdipFree(p);
  GdiplusShutdown(token);
  EXPECT_EQ(GdipAlloc(16), nullptr);
  in.GdiplusVersion = 7;
  EXPECT_EQ(GdiplusStartup(&token, &in, nullptr), UnsupportedGdiplusVersion);
}

TEST_F(GdiPlus, AntialiasedEdgesBlendAliasedEdgesDoNot) {
  for (int mode : {SmoothingModeNone, SmoothingModeAntiAlias}) {
    TestCanvas c(40, 40);
    Graphics g(c.dc, mode);
    GpSolidFill* black = nullptr;
    GdipCreateSolidFill(0xFF000000u, &black);
    GdipFillEllipse(g.g, black, 5.3f, 5.3f, 28.4f, 28.4f);
    int mixed = 0;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) mixed += !Pure(c.At(x, y));
    if (mode == SmoothingModeNone) {
      EXPECT_EQ(mixed, 0);
    } else {
      EXPECT_GT(mixed, 20);
    }
    EXPECT_EQ(c.At(20, 20), kBlack);
    EXPECT_EQ(c.At(1, 1), kWhite);
    GdipDeleteBrush(black);
  }
}

TEST_F(GdiPlus, OnePixelLinesAtIntegersCoverOneRow) {
  for (int mode : {SmoothingModeNone, SmoothingModeAntiAlias}) {
    TestCanvas c(20, 10);
    Graphics g(c.dc, mode);
    GpPen* pen = nullptr;
    ASSERT_EQ(GdipCreatePen1(0xFF000000u, 1, UnitPixel, &pen), Ok);
    GdipDrawLineI(g.g, pen, 2, 5, 17, 5);
    EXPECT_EQ(c.At(10, 5), kBlack) << mode;
    EXPECT_EQ(c.At(10, 4), kWhite) << mode;
    EXPECT_EQ(c.At(10, 6), kWhite) << mode;
    GdipDeletePen(pen);
  }
  // A filled integer rectangle covers its pixels exactly when aliased.
  TestCanvas c(20, 10);
  Graphics g(c.dc);
  GpSolidFill* red = nullptr;
  GdipCreateSolidFill(0xFFFF0000u, &red);
  GdipFillRectangle(g.g, red, 2, 2, 5, 3);
  EXPECT_EQ(c.Count(kRed), 15);
  EXPECT_EQ(c.At(2, 2), kRed);
  EXPECT_EQ(c.At(6, 4), kRed);
  GdipDeleteBrush(red);
}

TEST_F(GdiPlus, DashesScaleWithPenWidth) {
  auto longestRun = [](const TestCanvas& c, int y) {
    int best = 0, run = 0;
    for (int x = 0; x < c.width; ++x) {
      run = c.At(x, y) == kBlack ? run + 1 : 0;
      best = std::max(best, run);
    }
    return best;
  };
  int runs[2];
  for (int i = 0; i < 2; ++i) {
    TestCanvas c(200, 20);
    Graphics g(c.dc);
    GpPen* pen = nullptr;
    GdipCreatePen1(0xFF000000u, i == 0 ? 1.0f : 4.0f, UnitPixel, &pen);
    GdipSetPenDashStyle(pen, DashStyleDash);
    GdipDrawLine(g.g, pen, 0, 10, 200, 10);
    runs[i] = longestRun(c, 10);
    GdipDeletePen(pen);
  }
  EXPECT_NEAR(runs[0], 3, 1);
  EXPECT_NEAR(runs[1], 12, 2);
}

TEST_F(GdiPlus, LinearGradientsReachTheirEndColours) {
  for (int mode : {LinearGradientModeHorizontal, LinearGradientModeVertical}) {
    TestCanvas c(100, 100);
    Graphics g(c.dc);
    GpRectF r{0, 0, 100, 100};
    GpLineGradient* brush = nullptr;
    ASSERT_EQ(GdipCreateLineBrushFromRect(&r, 0xFFFF0000u, 0xFF0000FFu, mode, WrapModeTile, &brush), Ok);
    GdipFillRectangle(g.g, brush, 0, 0, 100, 100);
    COLORREF first = c.At(0, 0), last = c.At(99, 99);
    COLORREF mid = mode == LinearGradientModeHorizontal ? c.At(50, 10) : c.At(10, 50);
    EXPECT_GE(GetRValue(first), 250) << mode;
    EXPECT_LE(GetBValue(first), 5) << mode;
    EXPECT_GE(GetBValue(last), 250) << mode;
    EXPECT_LE(GetRValue(last), 5) << mode;
    EXPECT_NEAR(GetRValue(mid), 128, 8) << mode;
    GdipDeleteBrush(brush);
  }
  GpRectF empty{0, 0, 0, 10};
  GpLineGradient* brush = nullptr;
  EXPECT_EQ(GdipCreateLineBrushFromRect(&empty, 0, 0, 0, WrapModeTile, &brush), InvalidParameter);
}

TEST_F(GdiPlus, HatchPatternsRepeatEveryEightPixels) {
  TestCanvas c(48, 48);
  Graphics g(c.dc);
  for (int style : {HatchStyleCross, HatchStyleDiagonalCross, HatchStyle50Percent}) {
    GpHatch* hatch = nullptr;
    ASSERT_EQ(GdipCreateHatchBrush(style, 0xFF0000FFu, 0xFFFFFF00u, &hatch), Ok);
    GdipFillRectangle(g.g, hatch, 0, 0, 48, 48);
    int fore = c.Count(kBlue), back = c.Count(RGB(255, 255, 0));
    EXPECT_GT(fore, 0) << style;
    EXPECT_GT(back, 0) << style;
    EXPECT_EQ(fore + back, 48 * 48) << style;
    for (int y = 0; y < 40; ++y)
      for (int x = 0; x < 40; ++x) {
        ASSERT_EQ(c.At(x, y), c.At(x + 8, y)) << style;
        ASSERT_EQ(c.At(x, y), c.At(x, y + 8)) << style;
      }
    GdipDeleteBrush(hatch);
  }
}

TEST_F(GdiPlus, PathFillModes) {
  const GpPoint star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  for (auto [mode, centre] : {std::pair{FillModeAlternate, kWhite}, {FillModeWinding, kRed}}) {
    TestCanvas c(100, 100);
    Graphics g(c.dc);
    GpPath* path = nullptr;
    GdipCreatePath(mode, &path);
    GdipAddPathPolygonI(path, star, 5);
    GpSolidFill* red = nullptr;
    GdipCreateSolidFill(0xFFFF0000u, &red);
    GdipFillPath(g.g, red, path);
    EXPECT_EQ(c.At(50, 50), centre) << mode;
    EXPECT_EQ(c.At(50, 15), kRed) << mode;
    // The same points through GdipFillPolygonI.
    c.Fill(kWhite);
    GdipFillPolygonI(g.g, red, star, 5, mode);
    EXPECT_EQ(c.At(50, 50), centre) << mode;
    GdipDeleteBrush(red);
    GdipDeletePath(path);
  }
}

TEST_F(GdiPlus, PathGradientsRunFromSurroundToCentre) {
  GpPath* path = nullptr;
  GdipCreatePath(FillModeAlternate, &path);
  const GpPoint square[] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
  GdipAddPathPolygonI(path, square, 4);
  GpPathGradient* brush = nullptr;
  ASSERT_EQ(GdipCreatePathGradientFromPath(path, &brush), Ok);
  int count = 0;
  GdipGetPathGradientPointCount(brush, &count);
  EXPECT_EQ(count, 4);
  GdipSetPathGradientCenterColor(brush, 0xFFFF0000u);
  ARGB blue[] = {0xFF0000FFu};
  int n = 1;
  EXPECT_EQ(GdipSetPathGradientSurroundColorsWithCount(brush, blue, &n), Ok);
  int tooMany = 5;
  ARGB five[5] = {};
  EXPECT_EQ(GdipSetPathGradientSurroundColorsWithCount(brush, five, &tooMany), InvalidParameter);

  TestCanvas c(101, 101);
  Graphics g(c.dc);
  GdipFillPath(g.g, brush, path);
  EXPECT_GE(GetRValue(c.At(50, 50)), 240);
  EXPECT_GE(GetBValue(c.At(1, 50)), 230);
  COLORREF between = c.At(25, 50);
  EXPECT_GT(GetRValue(between), 60);
  EXPECT_GT(GetBValue(between), 60);

  // A preset blend: green at the outline, up to green at half way, red at the centre.
  ARGB colors[] = {0xFF00FF00u, 0xFF00FF00u, 0xFFFF0000u};
  REAL positions[] = {0, 0.5f, 1};
  EXPECT_EQ(GdipSetPathGradientPresetBlend(brush, colors, positions, 3), Ok);
  EXPECT_EQ(GdipSetPathGradientPresetBlend(brush, colors, positions, 0), InvalidParameter);
  GdipFillPath(g.g, brush, path);
  EXPECT_EQ(c.At(10, 50), kGreen);
  EXPECT_GE(GetRValue(c.At(50, 50)), 240);
  GdipDeleteBrush(brush);
  GdipDeletePath(path);
}

TEST_F(GdiPlus, StringsDrawInsideTheirLayoutAndMeasureAsGdi) {
  GpFontFamily* family = nullptr;
  ASSERT_EQ(GdipCreateFontFamilyFromName(L"Arial", nullptr, &family), Ok);
  GpFont* font = nullptr;
  ASSERT_EQ(GdipCreateFont(family, 20, FontStyleRegular, UnitPixel, &font), Ok);
  TestCanvas c(300, 100);
  Graphics g(c.dc);
  GpSolidFill* black = nullptr;
  GdipCreateSolidFill(0xFF000000u, &black);
  const wchar_t* text = L"Measure me";
  GpRectF layout{20, 10, 250, 60};
  GpRectF bounds;
  int lines = 0;
  ASSERT_EQ(GdipMeasureString(g.g, text, -1, font, &layout, nullptr, &bounds, nullptr, &lines), Ok);
  EXPECT_EQ(lines, 1);
  ASSERT_EQ(GdipDrawString(g.g, text, -1, font, &layout, nullptr, black), Ok);
  int left = 300, right = 0, top = 100, bottom = 0;
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 300; ++x)
      if (c.At(x, y) != kWhite) {
        left = std::min(left, x);
        right = std::max(right, x + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
      }
  EXPECT_GE(left, 20);
  EXPECT_LE(right, static_cast<int>(bounds.X + bounds.Width) + 2);
  EXPECT_GE(top, 10);
  EXPECT_LE(bottom, static_cast<int>(bounds.Y + bounds.Height) + 1);
  EXPECT_GT(right - left, bounds.Width - 6);

  // GDI measures the same string in the same font alike.
  LOGFONTA lf{};
  lf.lfHeight = -20;
  std::strcpy(lf.lfFaceName, "Arial");
  HFONT gdiFont = CreateFontIndirect(&lf);
  HGDIOBJ old = SelectObject(c.dc, gdiFont);
  SIZE ext{};
  GetTextExtentPoint32(c.dc, "Measure me", &ext);
  EXPECT_EQ(ext.cx, static_cast<LONG>(std::lround(bounds.Width)));
  SelectObject(c.dc, old);
  DeleteObject(gdiFont);

  // Centred in both directions.
  GpStringFormat* fmt = nullptr;
  GdipCreateStringFormat(0, 0, &fmt);
  GdipSetStringFormatAlign(fmt, StringAlignmentCenter);
  GdipSetStringFormatLineAlign(fmt, StringAlignmentCenter);
  GpRectF centred;
  GdipMeasureString(g.g, text, -1, font, &layout, fmt, &centred, nullptr, nullptr);
  EXPECT_NEAR(centred.X + centred.Width / 2, layout.X + layout.Width / 2, 1);
  EXPECT_NEAR(centred.Y + centred.Height / 2, layout.Y + layout.Height / 2, 1);
  // Wrapping in a narrow rectangle gives more lines.
  GpRectF narrow{0, 0, 60, 200};
  GdipMeasureString(g.g, L"one two three four", -1, font, &narrow, fmt, &bounds, nullptr, &lines);
  EXPECT_GE(lines, 3);
  EXPECT_LE(bounds.Width, 60);
  GdipDeleteStringFormat(fmt);

  GpFontFamily* missing = nullptr;
  EXPECT_EQ(GdipCreateFontFamilyFromName(L"No Such Family 42", nullptr, &missing), FontFamilyNotFound);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(GdipDrawString(g.g, text, -1, nullptr, &layout, nullptr, black), InvalidParameter);
  GdipDeleteBrush(black);
  GdipDeleteFont(font);
  GdipDeleteFontFamily(family);
}

TEST_F(GdiPlus, ImagesLoadFromStreamsAndDrawScaled) {
  // 2 x 2: red, green / blue, white.
  ComPtr<IStream> stream = BytesStream(Png(2, 2, {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu}));
  GpBitmap* image = nullptr;
  ASSERT_EQ(GdipCreateBitmapFromStream(stream.Get(), &image), Ok);
  UINT w = 0, h = 0;
  GdipGetImageWidth(image, &w);
  GdipGetImageHeight(image, &h);
  EXPECT_EQ(w, 2u);
  EXPECT_EQ(h, 2u);
  GUID raw;
  GdipGetImageRawFormat(image, &raw);
  EXPECT_TRUE(IsEqualGUID(raw, ImageFormatPNG));
  PixelFormat pf = 0;
  GdipGetImagePixelFormat(image, &pf);
  EXPECT_EQ((pf >> 8) & 0xFF, 32);  // 32 bits per pixel
  ARGB px = 0;
  EXPECT_EQ(GdipBitmapGetPixel(image, 1, 0, &px), Ok);
  EXPECT_EQ(px, 0xFF00FF00u);
  EXPECT_EQ(GdipBitmapGetPixel(image, 2, 0, &px), InvalidParameter);

  TestCanvas c(40, 40);
  Graphics g(c.dc);
  GdipDrawImageRect(g.g, image, 0, 0, 40, 40);
  EXPECT_EQ(c.At(5, 5), kRed);
  EXPECT_EQ(c.At(34, 5), kGreen);
  EXPECT_EQ(c.At(5, 34), kBlue);
  EXPECT_EQ(c.At(34, 34), kWhite);

  // A colour key drops the red pixel.
  c.Fill(kBlack);
  GpImageAttributes* attrs = nullptr;
  GdipCreateImageAttributes(&attrs);
  GdipSetImageAttributesColorKeys(attrs, ColorAdjustTypeBitmap, TRUE, 0xFFF00000u, 0xFFFF1010u);
  GdipDrawImageRectRect(g.g, image, 0, 0, 40, 40, 0, 0, 2, 2, UnitPixel, attrs, nullptr, nullptr);
  EXPECT_EQ(c.At(5, 5), kBlack);
  EXPECT_EQ(c.At(34, 5), kGreen);
  GdipDisposeImageAttributes(attrs);
  GdipDisposeImage(image);

  ComPtr<IStream> junk = BytesStream({1, 2, 3, 4, 5});
  GpImage* bad = nullptr;
  EXPECT_EQ(GdipLoadImageFromStream(junk.Get(), &bad), UnknownImageFormat);
  EXPECT_EQ(bad, nullptr);
  std::vector<uint8_t> truncated = Png(2, 2, {0, 0, 0, 0});
  truncated.resize(truncated.size() / 2);
  ComPtr<IStream> half = BytesStream(truncated);
  EXPECT_NE(GdipLoadImageFromStream(half.Get(), &bad), Ok);
}

TEST_F(GdiPlus, WorldTranslationAndClipRegion) {
  TestCanvas c(40, 40);
  Graphics g(c.dc);
  GpSolidFill* red = nullptr;
  GdipCreateSolidFill(0xFFFF0000u, &red);
  GdipTranslateWorldTransform(g.g, 10, 20, MatrixOrderPrepend);
  GdipFillRectangle(g.g, red, 0, 0, 5, 5);
  EXPECT_EQ(c.At(10, 20), kRed);
  EXPECT_EQ(c.At(9, 20), kWhite);
  GdipResetWorldTransform(g.g);

  c.Fill(kWhite);
  GpPath* path = nullptr;
  GdipCreatePath(FillModeAlternate, &path);
  GdipAddPathEllipse(path, 0, 0, 40, 40);
  GpRegion* region = nullptr;
  GdipCreateRegionPath(path, &region);
  GdipSetClipRegion(g.g, region, CombineModeReplace);
  GdipFillRectangle(g.g, red, 0, 0, 40, 40);
  EXPECT_EQ(c.At(20, 20), kRed);
  EXPECT_EQ(c.At(1, 1), kWhite);
  GdipResetClip(g.g);
  GdipFillRectangle(g.g, red, 0, 0, 40, 40);
  EXPECT_EQ(c.At(1, 1), kRed);
  GdipDeleteRegion(region);
  GdipDeletePath(path);
  GdipDeleteBrush(red);
}

TEST(GdiPlusBinding, LibrariesBindByName) {
  HMODULE gdiplus = LoadLibrary("gdiplus.dll");
  ASSERT_NE(gdiplus, nullptr);
  EXPECT_EQ(GetProcAddress(gdiplus, "GdipDrawArc"), reinterpret_cast<void*>(&GdipDrawArc));
  EXPECT_EQ(GetProcAddress(gdiplus, "GdipCreatePen1"), reinterpret_cast<void*>(&GdipCreatePen1));
  EXPECT_EQ(GetProcAddress(gdiplus, "GdipNoSuchThing"), nullptr);
  HMODULE msimg = LoadLibrary("MSIMG32.DLL");
  ASSERT_NE(msimg, nullptr);
  EXPECT_EQ(GetProcAddress(msimg, "GradientFill"), reinterpret_cast<void*>(&GradientFill));
  FreeLibrary(msimg);
  FreeLibrary(gdiplus);
}

}  // namespace

namespace {

TEST_F(GdiPlus, EllipsisTrimmingMarksCutText) {
  GpFontFamily* family = nullptr;
  GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
  GpFont* font = nullptr;
  GdipCreateFont(family, 14, FontStyleRegular, UnitPixel, &font);
  TestCanvas c(10, 10);
  Graphics g(c.dc);
  GpStringFormat* fmt = nullptr;
  GdipCreateStringFormat(0, 0, &fmt);
  GdipSetStringFormatTrimming(fmt, StringTrimmingEllipsisCharacter);
  GpRectF oneLine{0, 0, 90, 18};
  GpRectF bounds;
  int lines = 0;
  GdipMeasureString(g.g, L"Trimmed with an ellipsis", -1, font, &oneLine, fmt, &bounds, nullptr, &lines);
  EXPECT_EQ(lines, 1);
  EXPECT_LE(bounds.Width, 90);
  // The kept line is wider than the first wrapped word group would be: it
  // runs on to the "..." that marks the cut.
  GpRectF wide{0, 0, 0, 0};
  GpRectF trimmedWith;
  GdipMeasureString(g.g, L"Trimmed with", -1, font, &wide, nullptr, &trimmedWith, nullptr, nullptr);
  EXPECT_NE(bounds.Width, trimmedWith.Width);
  GdipDeleteStringFormat(fmt);
  GdipDeleteFont(font);
  GdipDeleteFontFamily(family);
}

}  // namespace

namespace {

// A 24-bit DIB gets the same picture as a 32-bit one: the part a call may
// change is converted and written back whole.
TEST_F(GdiPlus, DrawingOnA24BitDibMatches32Bit) {
  const int w = 80, h = 60;
  BITMAPINFO info{};
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = h;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bm, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bm);
  TestCanvas ref(w, h);
  GpFontFamily* family = nullptr;
  GdipCreateFontFamilyFromName(L"Arial", nullptr, &family);
  GpFont* font = nullptr;
  GdipCreateFont(family, 12, FontStyleRegular, UnitPixel, &font);
  for (HDC target : {dc, ref.dc}) {
    RECT all{0, 0, w, h};
    FillRect(target, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Graphics g(target, SmoothingModeAntiAlias);
    GpSolidFill* fill = nullptr;
    GdipCreateSolidFill(0x80FF0000u, &fill);
    GpPen* pen = nullptr;
    GdipCreatePen1(0xFF0000FFu, 3, UnitPixel, &pen);
    GdipFillEllipse(g.g, fill, 5.5f, 5.5f, 40, 30);
    GdipDrawLine(g.g, pen, 0, 59, 79, 20);
    GpRectF r{30, 30, 50, 30};
    GdipDrawString(g.g, L"Text", -1, font, &r, nullptr, fill);
    GdipDeletePen(pen);
    GdipDeleteBrush(fill);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(GetPixel(dc, x, y), ref.At(x, y)) << x << "," << y;
  GdipDeleteFont(font);
  GdipDeleteFontFamily(family);
  SelectObject(dc, old);
  DeleteObject(bm);
  DeleteDC(dc);
}

}  // namespace
