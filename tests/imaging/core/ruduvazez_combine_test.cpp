#include <gtest/gtest.h>

#include "imaging/core/ruduvazez_startup.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

TRGB Rgb(int r, int g, int b) { return TRGB{uint8_t(b), uint8_t(g), uint8_t(r)}; }

TEST(CombinePixels, OperatorsOnKnownPixels) {
  IEInitializeUtils();  // the cosine ramp of operator 29
  struct Case {
    uint8_t op;
    TRGB s, d;
    int32_t row;
    TRGB expected;
  } cases[] = {
      {0, Rgb(1, 2, 3), Rgb(9, 9, 9), 0, Rgb(1, 2, 3)},
      {1, Rgb(200, 200, 200), Rgb(100, 100, 100), 0, Rgb(255, 255, 255)},
      {28, Rgb(200, 200, 200), Rgb(100, 100, 100), 0, Rgb(44, 44, 44)},
      {30, Rgb(200, 200, 200), Rgb(100, 100, 100), 0, Rgb(244, 244, 244)},
      {3, Rgb(0, 0, 0), Rgb(77, 77, 77), 0, Rgb(77, 77, 77)},
      {4, Rgb(128, 255, 0), Rgb(200, 200, 200), 0, Rgb(100, 199, 0)},
      {11, Rgb(100, 0, 255), Rgb(100, 100, 100), 0, Rgb(160, 100, 255)},
      {13, Rgb(255, 255, 0), Rgb(255, 0, 0), 0, Rgb(2, 255, 0)},
      {14, Rgb(200, 200, 200), Rgb(100, 100, 100), 0, Rgb(156, 156, 156)},
      {15, Rgb(200, 200, 200), Rgb(100, 100, 100), 0, Rgb(189, 189, 189)},
      {16, Rgb(255, 0, 255), Rgb(0, 255, 0), 0, Rgb(0, 255, 0)},
      {18, Rgb(255, 255, 255), Rgb(0, 90, 255), 0, Rgb(255, 255, 255)},
      {19, Rgb(0, 0, 0), Rgb(0, 90, 255), 0, Rgb(0, 0, 0)},
      {29, Rgb(0, 255, 0), Rgb(0, 255, 0), 0, Rgb(0, 255, 0)},
      {31, Rgb(7, 8, 9), Rgb(1, 2, 3), 0, Rgb(7, 2, 3)},
      {33, Rgb(7, 8, 9), Rgb(1, 2, 3), 0, Rgb(1, 2, 9)},
      {36, Rgb(255, 0, 0), Rgb(0, 0, 255), 0, Rgb(255, 0, 0)},
      {37, Rgb(255, 255, 255), Rgb(0, 0, 255), 0, Rgb(255, 255, 255)},
      {38, Rgb(255, 0, 0), Rgb(0, 0, 255), 0, Rgb(20, 53, 53)},
      {39, Rgb(7, 8, 9), Rgb(1, 2, 3), 0, Rgb(1, 8, 9)},
      {40, Rgb(255, 255, 255), Rgb(0, 0, 0), 0, Rgb(0, 255, 255)},
      {41, Rgb(7, 8, 9), Rgb(1, 2, 3), 3, Rgb(1, 2, 3)},
      {42, Rgb(7, 8, 9), Rgb(1, 2, 3), 3, Rgb(7, 8, 9)},
      {43, Rgb(255, 255, 255), Rgb(128, 128, 128), 0, Rgb(255, 255, 255)},
      {44, Rgb(7, 8, 9), Rgb(1, 2, 3), 0, Rgb(1, 2, 3)},
  };
  for (const auto& c : cases) {
    TRGB d = c.d;
    IECombinePixels(c.s, d, c.op, c.row);
    EXPECT_EQ(d, c.expected) << "operator " << int(c.op) << ": " << int(d.r) << "," << int(d.g) << "," << int(d.b);
  }
  // The four-byte form keeps the fourth byte.
  uint8_t s[4] = {10, 20, 30, 40}, d[4] = {1, 2, 3, 99};
  IECombinePixelsCopy(s, d, 1, 0);
  EXPECT_EQ(d[0], 11);
  EXPECT_EQ(d[3], 99);
}

class CompositeTest : public BitmapTest {};

TEST_F(CompositeTest, OpaqueAndTransparentSources) {
  TIEBitmap dest(4, 4, ie24RGB);
  dest.Fill(0x102030);
  ASSERT_FALSE(dest.HasAlphaChannel());
  TIEBitmap source(2, 2, ie24RGB);
  source.Fill(0xFFFFFF);
  dest.CompositeFrom(source, 1, 1, -1, -1, 255, rfNone, 0, false, 0, 0, 1.0);
  ASSERT_TRUE(dest.HasAlphaChannel());
  EXPECT_EQ(dest.GetPixel24(1, 1), Rgb(255, 255, 255));
  EXPECT_EQ(dest.GetPixel24(0, 0), Rgb(0x30, 0x20, 0x10));
  EXPECT_EQ(dest.GetAlphaPixel(2, 2), 255);

  // Opacity 0 keeps pixels whose alpha is not 0; alpha 0 takes the combined colour.
  TIEBitmap under(2, 1, ie24RGB);
  under.Fill(0x800000);  // blue 0x80
  under.GetAlphaChannel()->SetPixel8(1, 0, 0);
  under.GetAlphaChannel()->SetPixel8(0, 0, 100);
  under.CompositeFrom(source, 0, 0, -1, -1, 255, rfNone, 0, false, 0, 0, 0.0);
  EXPECT_EQ(under.GetPixel24(0, 0), Rgb(0, 0, 0x80));
  EXPECT_EQ(under.GetAlphaPixel(0, 0), 100);
  EXPECT_EQ(under.GetPixel24(1, 0), Rgb(255, 255, 255));
  EXPECT_EQ(under.GetAlphaPixel(1, 0), 0);
}

TEST_F(CompositeTest, HalfTransparentRGBASourceAndCutRectangles) {
  TIEBitmap dest(3, 3, ie24RGB);
  dest.Fill(0);
  TIEBitmap source(2, 2, ie32RGBA);
  source.Fill(0);
  source.SetPixel32RGBA(1, 1, 0x80FFFFFF);
  // A source origin near its edge never reads past the source.
  dest.CompositeFrom(source, 0, 0, 3, 3, 255, rfNone, 0, false, 1, 1, 1.0);
  EXPECT_EQ(dest.GetPixel24(0, 0), Rgb(128, 128, 128));
  EXPECT_EQ(dest.GetAlphaPixel(0, 0), 255);
  EXPECT_EQ(dest.GetPixel24(1, 1), Rgb(0, 0, 0));
  // Stretched: the 2 x 2 source covers the whole 3 x 3 destination.
  TIEBitmap opaque(2, 2, ie24RGB);
  opaque.Fill(0x00FF00);
  dest.CompositeFrom(opaque, 0, 0, 3, 3, 255, rfNearest, 0, true, 0, 0, 1.0);
  EXPECT_EQ(dest.GetPixel24(2, 2), Rgb(0, 255, 0));
}

}  // namespace
