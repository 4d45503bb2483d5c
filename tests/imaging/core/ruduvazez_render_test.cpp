#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "imaging/core/ruduvazez_mask.h"
#include "imaging/processing/imageryproc.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

class RenderTest : public BitmapTest {
protected:
  // An ie24RGB image whose pixel (x, y) is (red x, green y, blue 7).
  static std::unique_ptr<TIEBitmap> Ramp(int w, int h) {
    auto b = std::make_unique<TIEBitmap>(w, h, ie24RGB);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) b->SetPixel24(x, y, TRGB{7, uint8_t(y), uint8_t(x)});
    return b;
  }
  static std::unique_ptr<TIEBitmap> Canvas(int w, int h) {
    auto b = std::make_unique<TIEBitmap>();
    b->SetLocation(ieInMemory);
    b->Allocate(w, h, ie24RGB);
    b->Fill(0);
    return b;
  }
};

TEST_F(RenderTest, ClippingKeepsTheScale) {
  auto source = Ramp(100, 100);
  auto dest = Canvas(100, 100);
  source->RenderToTIEBitmap(*dest, -50, 0, 100, 100, 0, 0, 100, 100, false, 255, rfNone, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(0, 3).r, 50);
  EXPECT_EQ(dest->GetPixel24(49, 3).r, 99);
  EXPECT_EQ(dest->GetPixel24(50, 3), (TRGB{0, 0, 0}));
  // Source rectangles reaching past the source are cut to it.
  auto other = Canvas(20, 20);
  source->RenderToTIEBitmap(*other, 0, 0, 20, 20, 90, 90, 20, 20, false, 255, rfNone, 0, 1.0);
  EXPECT_EQ(other->GetPixel24(9, 9), (TRGB{7, 99, 99}));
  EXPECT_EQ(other->GetPixel24(19, 19), (TRGB{7, 99, 99}));  // the edge pixel, never one past it
  // A clip rectangle limits the drawing.
  auto clipped = Canvas(40, 40);
  RECT clip{10, 10, 19, 19};
  source->RenderToTIEBitmapEx(*clipped, nullptr, nullptr, nullptr, &clip, 0, 0, 40, 40, 0, 0, 40, 40, false, false, 255,
                              rfNone, true, 0, 1.0);
  EXPECT_EQ(clipped->GetPixel24(10, 19).r, 10);
  EXPECT_EQ(clipped->GetPixel24(20, 19), (TRGB{0, 0, 0}));
  EXPECT_EQ(clipped->GetPixel24(9, 10), (TRGB{0, 0, 0}));
}

TEST_F(RenderTest, ScalingByIndexTablesAndKeptTables) {
  auto source = Ramp(50, 50);
  auto dest = Canvas(100, 100);
  std::vector<uint8_t*> rows;
  std::vector<int32_t> cols, rowIndex;
  source->RenderToTIEBitmapEx(*dest, &rows, &cols, &rowIndex, nullptr, 0, 0, 100, 100, 0, 0, 50, 50, false, true, 255,
                              rfNone, false, 0, 1.0);
  for (int x : {0, 1, 37, 99}) EXPECT_EQ(dest->GetPixel24(x, 5).r, x / 2);
  EXPECT_EQ(dest->GetPixel24(4, 7).g, 3);
  ASSERT_EQ(cols.size(), 100u);
  EXPECT_EQ(cols[37], 18);
  // The kept tables serve the next call; tables pointing outside the source are not followed.
  dest->Fill(0);
  source->RenderToTIEBitmapEx(*dest, &rows, &cols, &rowIndex, nullptr, 0, 0, 100, 100, 0, 0, 50, 50, false, false, 255,
                              rfNone, false, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(99, 99), (TRGB{7, 49, 49}));
  cols[10] = 5000;
  dest->Fill(0);
  source->RenderToTIEBitmapEx(*dest, &rows, &cols, &rowIndex, nullptr, 0, 0, 100, 100, 0, 0, 50, 50, false, false, 255,
                              rfNone, false, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(50, 50), (TRGB{0, 0, 0}));
}

// Every drawn pixel is the source pixel its index tables name, the last
// source column included, with and without reused rows.
TEST_F(RenderTest, ScaledCopiesTakeEveryPixelFromItsIndexedSource) {
  const std::pair<SIZE, SIZE> cases[] = {
      {{4, 3}, {13, 7}}, {{50, 50}, {100, 100}}, {{97, 61}, {30, 20}}, {{8, 8}, {8, 3}}};
  for (const auto& [from, to] : cases)
    for (bool reuse : {false, true}) {
      SCOPED_TRACE(testing::Message() << from.cx << "x" << from.cy << " to " << to.cx << "x" << to.cy << " reuse "
                                      << reuse);
      auto source = Ramp(from.cx, from.cy);
      auto dest = Canvas(to.cx, to.cy);
      std::vector<uint8_t*> rows;
      std::vector<int32_t> cols, rowIndex;
      source->RenderToTIEBitmapEx(*dest, &rows, &cols, &rowIndex, nullptr, 0, 0, to.cx, to.cy, 0, 0, from.cx, from.cy,
                                  false, reuse, 255, rfNone, false, 0, 1.0);
      ASSERT_EQ(cols.size(), static_cast<size_t>(to.cx));
      if (to.cx >= from.cx) {
        EXPECT_EQ(cols.back(), from.cx - 1) << "a growing zoom reaches the last column";
      }
      for (int y = 0; y < to.cy; ++y)
        for (int x = 0; x < to.cx; ++x)
          ASSERT_EQ(dest->GetPixel24(x, y), source->GetPixel24(cols[x], rowIndex[y])) << x << "," << y;
    }
}

TEST_F(RenderTest, DisplaySettings) {
  TIEBitmap grey(2, 1, ie8g);
  grey.SetPixel8(0, 0, 150);
  grey.SetPixel8(1, 0, 150);
  grey.DisplayMin = 100, grey.DisplayMax = 200;
  auto mask = std::make_unique<TIEMask>();
  mask->Allocate(2, 1, 8);
  mask->SetPixel(0, 0, 255);
  mask->RecalcBoundingBox();
  grey.SetDisplayMask(std::move(mask));
  auto dest = Canvas(2, 1);
  grey.RenderToTIEBitmap(*dest, 0, 0, 2, 1, 0, 0, 2, 1, false, 255, rfNone, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(0, 0), (TRGB{127, 127, 127}));
  EXPECT_EQ(dest->GetPixel24(1, 0), (TRGB{150, 150, 150}));

  // Contrast 10 doubles the distance from 128; large offsets and contrasts never wrap.
  TIEBitmap rgb(1, 1, ie24RGB);
  rgb.SetPixel24(0, 0, TRGB{192, 192, 192});
  rgb.Contrast = 10;
  rgb.RenderToTIEBitmap(*dest, 0, 0, 1, 1, 0, 0, 1, 1, false, 255, rfNone, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(0, 0), (TRGB{255, 255, 255}));
  rgb.Contrast = 100000;
  rgb.DisplayOffsets = {2000000000, 0, 0, 0};
  rgb.SetPixel24(0, 0, TRGB{0, 130, 255});
  rgb.RenderToTIEBitmap(*dest, 0, 0, 1, 1, 0, 0, 1, 1, false, 255, rfNone, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(0, 0), (TRGB{0, 255, 255}));
}

TEST_F(RenderTest, OpacityAlphaAndOperators) {
  TIEBitmap white(2, 2, ie24RGB);
  white.Fill(0xFFFFFF);
  auto dest = Canvas(2, 2);
  // Opacity 0.5 weighs 127 once, with or without an alpha channel (not
  // flagged all-opaque): white over black gives 255 x 127 / 256.
  for (bool alpha : {false, true}) {
    dest->Fill(0);
    if (alpha) white.GetAlphaChannel()->SetFullFlag(false);
    white.RenderToTIEBitmap(*dest, 0, 0, 2, 2, 0, 0, 2, 2, alpha, 255, rfNone, 0, 0.5);
    EXPECT_EQ(dest->GetPixel24(1, 1), (TRGB{126, 126, 126})) << alpha;
  }
  white.RemoveAlphaChannel();
  // The alpha channel weighs each pixel.
  dest->Fill(0);
  white.GetAlphaChannel()->SetPixel8(0, 0, 0);
  white.RenderToTIEBitmap(*dest, 0, 0, 2, 2, 0, 0, 2, 2, true, 255, rfNone, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(0, 0), (TRGB{0, 0, 0}));
  EXPECT_EQ(dest->GetPixel24(1, 0), (TRGB{254, 254, 254}));
  // The combine operator: add.
  dest->Fill(0x101010);
  TIEBitmap grey(2, 2, ie24RGB);
  grey.Fill(0x202020);
  grey.RenderToTIEBitmap(*dest, 0, 0, 2, 2, 0, 0, 2, 2, false, 255, rfNone, 1, 1.0);
  EXPECT_EQ(dest->GetPixel24(1, 1), (TRGB{0x30, 0x30, 0x30}));
}

TEST_F(RenderTest, EveryFormatDrawsItsColours) {
  auto rgb = Ramp(6, 5);
  for (TIEPixelFormat format : {ie1g, ie8p, ie8g, ie16Gray, ie32f, ieCMYK, ieRGB48, ieCIELab, ie32RGBA}) {
    SCOPED_TRACE(int(format));
    TIEBitmap source(6, 5, format);
    source.SetBilevelMethod(1);
    source.ConvertFrom(*rgb);
    TIEBitmap expected(6, 5, ie24RGB);
    expected.ConvertFrom(source);
    for (TResampleFilter filter : {rfNone, rfFastLinear}) {
      for (double opacity : {1.0, 0.999}) {
        auto dest = Canvas(6, 5);
        source.RenderToTIEBitmap(*dest, 0, 0, 6, 5, 0, 0, 6, 5, false, 255, filter, 0, opacity);
        // Opacity 0.999 weighs 254 / 256.
        const int tolerance = opacity < 1 ? 2 : 0;
        for (int y = 0; y < 5; ++y)
          for (int x = 0; x < 6; ++x) {
            const TRGB e = expected.GetPixel24(x, y), a = dest->GetPixel24(x, y);
            EXPECT_NEAR(a.r, e.r, tolerance) << x << "," << y;
            EXPECT_NEAR(a.g, e.g, tolerance) << x << "," << y;
            EXPECT_NEAR(a.b, e.b, tolerance) << x << "," << y;
          }
      }
    }
  }
}

TEST_F(RenderTest, ResampledDrawing) {
  TIEBitmap uniform(64, 48, ie24RGB);
  uniform.Fill(0x336699);
  auto dest = Canvas(20, 20);
  for (TResampleFilter filter : {rfFastLinear, rfLanczos3, rfBilinear}) {
    dest->Fill(0);
    uniform.RenderToTIEBitmap(*dest, 2, 2, 16, 12, 0, 0, 64, 48, false, 255, filter, 0, 1.0);
    EXPECT_EQ(dest->GetPixel24(10, 10), uniform.GetPixel24(0, 0)) << int(filter);
    EXPECT_EQ(dest->GetPixel24(1, 1), (TRGB{0, 0, 0}));
  }
  TIEBitmap bits(40, 40, ie1g);
  bits.Fill(1);
  dest->Fill(0);
  bits.RenderToTIEBitmap(*dest, 0, 0, 10, 10, 0, 0, 40, 40, false, 255, rfFastLinear, 0, 1.0);
  EXPECT_EQ(dest->GetPixel24(5, 5), (TRGB{255, 255, 255}));
}

// The fast linear filter reads the drawn part of the image where it lies:
// the same pixels as resampling a cut-out copy of that part.
TEST_F(RenderTest, FastLinearDrawsAPartInPlace) {
  auto image = Ramp(90, 70);
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 90; ++x) image->SetPixel24(x, y, TRGB{uint8_t(x * y), uint8_t(x * 7 + y), uint8_t(x ^ y)});
  struct Case {
    int sx, sy, sw, sh, dw, dh;
  };
  for (const Case& c : {Case{5, 3, 80, 60, 17, 13}, Case{10, 20, 9, 7, 30, 25}, Case{1, 2, 40, 10, 12, 40},
                        Case{7, 9, 33, 21, 33, 21}}) {
    SCOPED_TRACE(testing::Message() << c.sx << "," << c.sy << " " << c.sw << "x" << c.sh << " -> " << c.dw << "x"
                                    << c.dh);
    TIEBitmap part(c.sw, c.sh, ie24RGB);
    image->CopyRectToBitmap(part, c.sx, c.sy, 0, 0, c.sw, c.sh);
    TIEBitmap expected(c.dw, c.dh, ie24RGB);
    IEResampleFastLinear24(&part, &expected, nullptr, {});
    auto dest = Canvas(c.dw + 4, c.dh + 4);
    image->RenderToTIEBitmap(*dest, 2, 3, c.dw, c.dh, c.sx, c.sy, c.sw, c.sh, false, 255, rfFastLinear, 0, 1.0);
    for (int y = 0; y < c.dh; ++y)
      for (int x = 0; x < c.dw; ++x)
        ASSERT_EQ(dest->GetPixel24(x + 2, y + 3), expected.GetPixel24(x, y)) << x << "," << y;
    EXPECT_EQ(dest->GetPixel24(1, 2), (TRGB{0, 0, 0}));
  }
}

// A shrinking zoom with an interpolating filter averages areas in integers;
// the pixels agree with the processing resampler's within 1.
TEST_F(RenderTest, ShrinkingWithAnInterpolatingFilterAgreesWithTheResampler) {
  struct Case {
    TIEPixelFormat format;
    TResampleFilter filter;
    RECT source;  // x, y, width, height
    SIZE dest;
  };
  const Case cases[] = {{ie24RGB, rfBilinear, {0, 0, 97, 61}, {30, 20}}, {ie24RGB, rfBicubic, {5, 3, 80, 50}, {80, 17}},
                        {ie24RGB, rfWICFant, {9, 7, 64, 48}, {16, 12}},  {ie8g, rfBilinear, {1, 2, 90, 55}, {33, 21}},
                        {ie24RGB, rfBilinear, {0, 0, 97, 61}, {1, 1}},   {ie8g, rfBicubic, {0, 0, 7, 61}, {7, 4}}};
  uint32_t seed = 12345;
  TIEBitmap noise24(97, 61, ie24RGB), noise8(97, 61, ie8g);
  for (TIEBitmap* b : {&noise24, &noise8})
    for (int y = 0; y < 61; ++y) {
      uint8_t* row = b->GetScanline(y);
      for (int i = 0; i < 97 * (b == &noise24 ? 3 : 1); ++i) {
        seed = seed * 1103515245 + 12345;
        row[i] = static_cast<uint8_t>(seed >> 16);
      }
    }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.filter) << " " << c.source.right << "x" << c.source.bottom << " to "
                                    << c.dest.cx << "x" << c.dest.cy);
    TIEBitmap& source = c.format == ie24RGB ? noise24 : noise8;
    TIEBitmap part(c.source.right, c.source.bottom, c.format), expected(c.dest.cx, c.dest.cy, c.format);
    source.CopyRectToBitmap(part, c.source.left, c.source.top, 0, 0, c.source.right, c.source.bottom);
    IEResample(&part, &expected, nullptr, c.filter, {}, nullptr);
    auto dest = Canvas(c.dest.cx, c.dest.cy);
    source.RenderToTIEBitmap(*dest, 0, 0, c.dest.cx, c.dest.cy, c.source.left, c.source.top, c.source.right,
                             c.source.bottom, false, 255, c.filter, 0, 1.0);
    int worst = 0;
    for (int y = 0; y < c.dest.cy; ++y)
      for (int x = 0; x < c.dest.cx; ++x) {
        TRGB want{}, got = dest->GetPixel24(x, y);
        expected.GetPixelRGB(x, y, want);
        worst = std::max({worst, std::abs(want.r - got.r), std::abs(want.g - got.g), std::abs(want.b - got.b)});
      }
    EXPECT_LE(worst, 1);
  }
}

TEST_F(RenderTest, StretchRectToSetsAlpha) {
  TIEBitmap source(4, 4, ie24RGB);
  source.Fill(0x0000FF);
  TIEBitmap dest(8, 8, ie24RGB);
  dest.Fill(0);
  source.StretchRectTo(dest, 0, 0, 8, 8, 0, 0, 4, 4, rfNone, 128, 1.0);
  EXPECT_EQ(dest.GetPixel24(7, 7), (TRGB{0, 0, 255}));
  EXPECT_EQ(dest.GetAlphaPixel(7, 7), 128);
  source.GetAlphaChannel()->SetPixel8(0, 0, 50);
  source.StretchRectTo(dest, 0, 0, 8, 8, 0, 0, 4, 4, rfNone, 255, 0.5);
  EXPECT_EQ(dest.GetAlphaPixel(1, 1), 25);
  EXPECT_EQ(dest.GetAlphaPixel(2, 2), 127);
  source.StretchRectTo(dest, 0, 0, 2, 2, 0, 0, 4, 4, rfFastLinear, 255, 1.0);
  EXPECT_EQ(dest.GetPixel24(1, 1), (TRGB{0, 0, 255}));
}

}  // namespace

namespace {

TEST(HintBox, StaysInsideAndKeepsWhatItCovers) {
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(200, 100);
  target.Canvas()->Brush()->SetColor(RGB(10, 20, 30));
  target.Canvas()->FillRect(RECT{0, 0, 200, 100});
  TFont font;
  TBrush brush;
  brush.SetColor(RGB(255, 255, 200));
  std::unique_ptr<TBitmap> background;
  int32_t x = 190, y = -20;
  IEDrawHintBox(target.Canvas(), x, y, "42 %", &font, &brush, background, 200, 100, RGB(255, 255, 255), RGB(0, 0, 0));
  const int32_t width = target.Canvas()->TextWidth("42 %") + 12;
  EXPECT_EQ(x, 200 - width - 1);
  EXPECT_EQ(y, 0);
  ASSERT_TRUE(background);
  EXPECT_EQ(background->Width(), width);
  EXPECT_EQ(background->Canvas()->Pixels(7, 7), RGB(10, 20, 30));
  EXPECT_EQ(target.Canvas()->Pixels(x + 6, y + 6), RGB(255, 255, 255));  // the light edge
  EXPECT_EQ(target.Canvas()->Pixels(x + 3, y + 3), RGB(10, 20, 30));     // the box starts 6 pixels in

  int32_t tx = -5, ty = 4;
  IEDrawTranslucentHintBox(target.Canvas(), tx, ty, "a", "a longer text");
  EXPECT_EQ(tx, 0);
  EXPECT_EQ(ty, 4);
}

}  // namespace
