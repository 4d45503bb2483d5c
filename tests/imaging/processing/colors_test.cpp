// Colour reduction: one-bit dithers, quantization, error diffusion, grey and
// the component's undo and finish behaviour around them.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc_component.h"

namespace {

// A horizontal ramp of warm colours, different in every column.
void FillRamp(TIEBitmap& bitmap) {
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      const auto v = static_cast<uint8_t>(x * 255 / (bitmap.GetWidth() - 1));
      bitmap.SetPixel24(x, y, TRGB{static_cast<uint8_t>(v / 2), v, static_cast<uint8_t>(255 - v / 3)});
    }
}

std::set<uint32_t> DistinctColours(TIEBitmap& bitmap) {
  std::set<uint32_t> colours;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      const TRGB c = bitmap.GetPixel24(x, y);
      colours.insert(uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b);
    }
  return colours;
}

bool Bit(TIEBitmap& bitmap, int32_t x, int32_t y) { return (bitmap.GetScanline(y)[x / 8] & (0x80 >> (x % 8))) != 0; }

TEST(ColorReductionTest, OrderedDitherOfHalfGreyIsTheRegularPattern) {
  TIEBitmap grey(16, 16, ie24RGB);
  grey.Fill(0x808080);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&grey);
  proc.ConvertTo(2, 0);
  ASSERT_EQ(grey.GetPixelFormat(), ie1g);
  int32_t white = 0;
  for (int32_t y = 0; y < 16; ++y)
    for (int32_t x = 0; x < 16; ++x) {
      EXPECT_EQ(Bit(grey, x, y), Bit(grey, x % 8, y % 8)) << x << "," << y;
      white += Bit(grey, x, y);
    }
  EXPECT_EQ(white, 128);  // grey 128 is level 32 of 64: half of every tile
  EXPECT_TRUE(Bit(grey, 0, 0));
  EXPECT_FALSE(Bit(grey, 1, 0));

  TIEBitmap nearWhite(9, 3, ie24RGB);
  nearWhite.Fill(0xFBFCFD);
  proc.SetAttachedBitmap(&nearWhite);
  proc.ConvertTo(2, 0);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 9; ++x) EXPECT_TRUE(Bit(nearWhite, x, y));
}

TEST(ColorReductionTest, ThresholdByTheMeanColour) {
  TIEBitmap halves(8, 2, ie24RGB);
  halves.FillRect(0, 0, 3, 1, 0x000000);
  halves.FillRect(4, 0, 7, 1, 0xFFFFFF);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&halves);
  std::vector<TRGB> palette(2, TRGB{7, 7, 7});
  proc.ConvertToPalette(2, palette.data(), 1);
  ASSERT_EQ(halves.GetPixelFormat(), ie1g);
  for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(Bit(halves, x, 1), x >= 4) << x;
  EXPECT_EQ(palette[0], (TRGB{0, 0, 0}));
  EXPECT_EQ(palette[1], (TRGB{255, 255, 255}));

  // A one-entry palette gets only its one entry written.
  TIEBitmap flat(4, 4, ie24RGB);
  proc.SetAttachedBitmap(&flat);
  std::vector<TRGB> one(1, TRGB{7, 7, 7});
  proc.ConvertToPalette(1, one.data(), 0);
  EXPECT_EQ(one[0], (TRGB{0, 0, 0}));
}

TEST(ColorReductionTest, QuantizedAndDiffusedResults) {
  struct Case {
    int32_t colours;
    uint8_t mode;
    bool inFrameworkBitmap;
    TIEPixelFormat expected;
  };
  const Case cases[] = {
      {16, 2, false, ie8p},     // diffused into a palette image
      {16, 2, true, ie24RGB},   // a framework bitmap keeps true colour
      {16, 0, false, ie24RGB},  // quantized in place
      {300, 2, false, ie24RGB}, // too many colours to diffuse
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colours);
    TIEBitmap bitmap(64, 8, ie24RGB);
    if (c.inFrameworkBitmap) bitmap.SetLocation(ieTBitmap);
    FillRamp(bitmap);
    TImageryProc proc(nullptr);
    proc.SetAttachedBitmap(&bitmap);
    proc.ConvertTo(c.colours, c.mode);
    ASSERT_EQ(bitmap.GetPixelFormat(), c.expected);
    if (c.expected == ie8p) {
      EXPECT_EQ(bitmap.GetPaletteUsed(), c.colours);
      for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
        for (int32_t x = 0; x < bitmap.GetWidth(); ++x) EXPECT_LT(bitmap.GetPixel8(x, y), c.colours);
    } else {
      EXPECT_LE(DistinctColours(bitmap).size(), static_cast<size_t>(std::min(c.colours, 256)));
    }
  }
}

TEST(ColorReductionTest, DiffusionKeepsTheMeanThatPlainQuantizationLoses) {
  // A grey ramp reduced to three colours: between two palette colours error
  // diffusion keeps the local mean, nearest colours do not.
  TIEBitmap source(255, 4, ie24RGB);
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 255; ++x) {
      const auto v = static_cast<uint8_t>(x);
      source.SetPixel24(x, y, TRGB{v, v, v});
    }
  TIEBitmap diffused;
  IEDiffuseToPalette(&source, &diffused, 3);
  ASSERT_EQ(diffused.GetPixelFormat(), ie8p);
  ASSERT_EQ(diffused.GetPaletteUsed(), 3);
  TIEBitmap quantized;
  quantized.Assign(&source);
  IEQuantizeInPlace(&quantized, 3, nullptr, nullptr, nullptr);
  EXPECT_LE(DistinctColours(quantized).size(), 3u);

  // Columns 90..120 lie between the palette's 85 and 170.
  auto windowMean = [](auto pixel) {
    double sum = 0;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 90; x <= 120; ++x) sum += pixel(x, y);
    return sum / (4 * 31);
  };
  const double sourceMean = windowMean([&](int32_t x, int32_t y) { return source.GetPixel24(x, y).g; });
  const double diffusedMean = windowMean([&](int32_t x, int32_t y) {
    TRGB c;
    diffused.GetPaletteColor(diffused.GetPixel8(x, y), c);
    return c.g;
  });
  const double quantizedMean = windowMean([&](int32_t x, int32_t y) { return quantized.GetPixel24(x, y).g; });
  EXPECT_NEAR(diffusedMean, sourceMean, 4.0);
  EXPECT_GT(std::abs(quantizedMean - sourceMean), 10.0);
}

TEST(ColorReductionTest, QuantizeInPlaceReturnsThePaletteItUsed) {
  TIEBitmap bitmap(64, 8, ie24RGB);
  FillRamp(bitmap);
  std::vector<TRGB> palette(8);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&bitmap);
  proc.ConvertToPalette(8, palette.data(), 2);  // never diffused
  ASSERT_EQ(bitmap.GetPixelFormat(), ie24RGB);
  for (uint32_t colour : DistinctColours(bitmap)) {
    const TRGB c{static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8), static_cast<uint8_t>(colour >> 16)};
    EXPECT_NE(std::find(palette.begin(), palette.end(), c), palette.end());
  }
}

TEST(ColorReductionTest, UndoAndFinishAroundTheOperations) {
  TIEBitmap bitmap(16, 4, ie24RGB);
  FillRamp(bitmap);
  const auto before = DistinctColours(bitmap);
  TComponent owner(nullptr);
  TImageryProc proc(&owner);  // AutoUndo on
  proc.SetAttachedBitmap(&bitmap);
  int32_t finished = 0, lastPercent = -1;
  proc.OnFinishWork = [&](TObject*) { ++finished; };
  proc.OnProgress = [&](TObject*, int32_t per) { lastPercent = per; };

  proc.ConvertTo(2000, 2);  // nothing to reduce, but recorded and finished
  EXPECT_EQ(DistinctColours(bitmap), before);
  EXPECT_EQ(proc.GetUndoCaption(0), "ConvertTo 2000");
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(lastPercent, 100);

  proc.ConvertToPalette(0, nullptr, 0);  // nothing at all
  EXPECT_EQ(proc.UndoCount(), 1);
  EXPECT_EQ(finished, 1);

  proc.ConvertToGray();
  EXPECT_EQ(proc.GetUndoCaption(0), "ConvertToGray");
  for (int32_t x = 0; x < 16; ++x) {
    const TRGB c = bitmap.GetPixel24(x, 1);
    EXPECT_TRUE(c.r == c.g && c.g == c.b);
  }
  proc.Undo(false);
  EXPECT_EQ(DistinctColours(bitmap), before);
}

TEST(ColorReductionTest, GreyOfARectangleOnly) {
  TIEBitmap bitmap(6, 4, ie24RGB);
  bitmap.Fill(0x2060C0);  // red 0xC0, green 0x60, blue 0x20
  IEConvertToGrayRect(&bitmap, 2, 1, 100, 3, nullptr, nullptr);
  const auto grey = static_cast<uint8_t>(IERGBToGray(TRGB{0x20, 0x60, 0xC0}));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) {
      const bool inside = x >= 2 && y >= 1 && y < 3;
      EXPECT_EQ(bitmap.GetPixel24(x, y), inside ? (TRGB{grey, grey, grey}) : (TRGB{0x20, 0x60, 0xC0}))
          << x << "," << y;
    }
}

}  // namespace
