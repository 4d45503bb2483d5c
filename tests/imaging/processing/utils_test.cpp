// The small routines every part of the library calls: rounding and clamping
// at their edges, HSL both ways, nearest palette colour, red/blue exchange,
// inversion, bitmap comparison and framework-bitmap copies.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>

#include "imaging/processing/imageryproc.h"

namespace {

TEST(ArithmeticTest, RoundingAndClampingEdges) {
  struct Rounding {
    double x;
    int32_t ceil, floor;
  };
  for (const Rounding& c : {Rounding{2.0, 2, 2}, Rounding{2.1, 3, 2}, Rounding{2.9, 3, 2}, Rounding{-2.1, -2, -3},
                            Rounding{-2.0, -2, -2}, Rounding{0.0, 0, 0}}) {
    EXPECT_EQ(IECeil(c.x), c.ceil) << c.x;
    EXPECT_EQ(IEFloor(c.x), c.floor) << c.x;
  }
  // low wins when low > high
  for (int32_t v : {-5, 0, 10}) EXPECT_EQ(IEClamp(v, 10, 5), 10) << v;
  EXPECT_EQ(IEClamp(11, 10, 5), 5);
  EXPECT_EQ(IEClampWord(65536), 65535);
  EXPECT_EQ(IEClampWord(-3), 0);
  EXPECT_EQ(IEMin64(-1, INT64_MAX), -1);
  EXPECT_EQ(IEMax64(INT64_MIN, -1), -1);
  EXPECT_EQ(IEMinU64(UINT64_MAX, 1), 1u);
  int32_t max, min;
  for (auto [a, b, c] : {std::array{1, 2, 3}, std::array{3, 1, 2}, std::array{2, 3, 1}, std::array{2, 2, 2}}) {
    IEMinMax3(a, b, c, max, min);
    EXPECT_EQ(max, std::max({a, b, c}));
    EXPECT_EQ(min, std::min({a, b, c}));
  }
}

TEST(ColourSpaceTest, HslBothWays) {
  double h, s, l;
  IERGBToHSL(IEMakeRGB(0, 0, 255), h, s, l);
  EXPECT_DOUBLE_EQ(h, 2.0 / 3);
  EXPECT_DOUBLE_EQ(s, 1.0);
  EXPECT_DOUBLE_EQ(l, 0.5);
  TRGB c;
  IEHSLToRGB(c, h, s, l);
  EXPECT_EQ(c, IEMakeRGB(0, 0, 255));
  // Every colour of a coarse cube comes back within one step.
  for (int r = 0; r < 256; r += 51)
    for (int g = 0; g < 256; g += 51)
      for (int b = 0; b < 256; b += 51) {
        const TRGB in = IEMakeRGB(static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b));
        IERGBToHSL(in, h, s, l);
        IEHSLToRGB(c, h, s, l);
        EXPECT_NEAR(c.r, in.r, 1);
        EXPECT_NEAR(c.g, in.g, 1);
        EXPECT_NEAR(c.b, in.b, 1);
      }
  IEHSLToRGB(c, 0.25, 3.0, -1.0);  // out-of-range saturation and lightness are clamped
  EXPECT_EQ(c, IEMakeRGB(0, 0, 0));
}

TEST(ColourSpaceTest, NearestColourAndPacking) {
  const TRGB palette[] = {IEMakeRGB(10, 0, 0), IEMakeRGB(0, 10, 0), IEMakeRGB(200, 200, 200)};
  EXPECT_EQ(IEFindNearestColor(palette, 3, 0x050500), 0);  // a tie goes to the lower index
  EXPECT_EQ(IEFindNearestColor(palette, 3, 0x00FF00), 1);
  EXPECT_EQ(IEFindNearestColor(palette, 3, 0xC8C8C0), 2);
  EXPECT_EQ(IEFindNearestColor(palette, 0, 0x123456), 0);
  EXPECT_EQ(IERGBToColor(IEMakeRGB(1, 2, 3)), static_cast<TColor>(0x030201));
}

TEST(BufferTest, RedBlueExchangeAndInversion) {
  uint8_t pixels[] = {1, 2, 3, 4, 5, 6};
  uint8_t copy[6];
  IECopySwapRB(copy, pixels, 2);
  EXPECT_EQ((std::array<uint8_t, 6>{copy[0], copy[1], copy[2], copy[3], copy[4], copy[5]}),
            (std::array<uint8_t, 6>{3, 2, 1, 6, 5, 4}));
  uint16_t wide[] = {100, 200, 300};
  IESwapRB48(wide, 1);
  EXPECT_EQ(wide[0], 300);
  EXPECT_EQ(wide[2], 100);
  TRGB palette[] = {IEMakeRGB(1, 2, 3)};
  IESwapRBInRGBArray(palette, 1);
  EXPECT_EQ(palette[0], IEMakeRGB(3, 2, 1));

  uint8_t row[2] = {0, 0};
  IESetBit(row, 9, true);
  EXPECT_EQ(row[1], 0x40);
  EXPECT_TRUE(IEGetBit(row, 9));
  IESetBit(row, 9, false);
  EXPECT_FALSE(IEGetBit(row, 9));

  TIEBitmap odd(5, 3, ie24RGB);  // 15 bytes of pixels in a 16-byte row
  odd.Fill(0x102030);
  IEInvertBitmap(odd);
  EXPECT_EQ(odd.GetPixel24(4, 2), IEMakeRGB(0xCF, 0xDF, 0xEF));
}

TEST(BufferTest, BitmapsEqualNeedsTheSameAlpha) {
  TIEBitmap a(4, 4, ie24RGB), b(4, 4, ie24RGB);
  a.Fill(0x445566);
  b.Fill(0x445566);
  EXPECT_TRUE(IEBitmapsEqual(a, b));
  b.GetAlphaChannel();  // all 255, but present on one side only
  EXPECT_FALSE(IEBitmapsEqual(a, b));
  a.GetAlphaChannel();
  EXPECT_TRUE(IEBitmapsEqual(a, b));
  b.SetAlphaPixel(3, 3, 0);
  EXPECT_FALSE(IEBitmapsEqual(a, b));
  TIEBitmap wider(5, 4, ie24RGB);
  EXPECT_FALSE(IEBitmapsEqual(a, wider));
}

TEST(BufferTest, FrameworkBitmapCopies) {
  for (TPixelFormat format : {pf8bit, pf15bit, pf24bit, pf32bit}) {
    SCOPED_TRACE(format);
    TBitmap source;
    source.SetPixelFormat(format);
    source.SetSize(7, 3);
    for (int32_t y = 0; y < 3; ++y) {
      auto* row = static_cast<uint8_t*>(source.ScanLine(y));
      for (int32_t i = 0; i < source.ScanLineSize(); ++i) row[i] = static_cast<uint8_t>(y * 50 + i);
    }
    std::unique_ptr<TBitmap> clone(IECloneTBitmap(source));
    ASSERT_EQ(clone->Width(), 7);
    ASSERT_EQ(clone->Height(), 3);
    ASSERT_EQ(clone->PixelFormat(), format);
    for (int32_t y = 0; y < 3; ++y)
      EXPECT_EQ(std::memcmp(clone->ScanLine(y), source.ScanLine(y), static_cast<size_t>(source.ScanLineSize())), 0);
  }
  TBitmap empty, dest;
  empty.SetPixelFormat(pf8bit);
  dest.SetPixelFormat(pf24bit);
  dest.SetSize(5, 5);
  IECopyTBitmap(empty, dest);
  EXPECT_EQ(dest.Width(), 1);
  EXPECT_EQ(dest.Height(), 1);
  EXPECT_EQ(dest.PixelFormat(), pf8bit);
}

}  // namespace
