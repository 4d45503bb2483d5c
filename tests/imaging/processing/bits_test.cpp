// The two-colour test, 1-bit row expansion and channel reordering.
#include <gtest/gtest.h>

#include <vector>

#include "imaging/processing/imageryproc_bits.h"

namespace {

TEST(TwoColourTest, DarkerColourIsTheClearBit) {
  TIEBitmap image(5, 3, ie24RGB);
  image.Fill(0xFFFFFF);
  image.SetPixel24(2, 1, TRGB{0, 0, 0});
  TRGB c0, c1;
  auto bits = IEConvertTo1BitIfTwoColors(&image, c0, c1);
  ASSERT_TRUE(bits);
  EXPECT_EQ(c0, (TRGB{0, 0, 0}));
  EXPECT_EQ(c1, (TRGB{255, 255, 255}));
  EXPECT_EQ(bits->GetScanline(1)[0] & 0xF8, 0xD8);  // clear only at column 2
  EXPECT_EQ(bits->GetScanline(0)[0] & 0xF8, 0xF8);
  // One colour, and a third colour in the last row, give nothing.
  TIEBitmap one(3, 3, ie8g);
  one.Fill(5);
  EXPECT_FALSE(IEConvertTo1BitIfTwoColors(&one, c0, c1));
  image.SetPixel24(4, 2, TRGB{9, 9, 9});
  EXPECT_FALSE(IEConvertTo1BitIfTwoColors(&image, c0, c1));
}

TEST(ExpandTest, WritesThreeBytesPerPixel) {
  const uint8_t source[2] = {0xA0, 0xC0};
  std::vector<uint8_t> dest(40, 7);
  IEExpand1BitRowTo24Bit(source, dest.data(), 10);
  EXPECT_EQ(dest[0], 255);
  EXPECT_EQ(dest[3], 0);
  EXPECT_EQ(dest[6], 255);
  EXPECT_EQ(dest[24], 255);
  EXPECT_EQ(dest[29], 255);
  EXPECT_EQ(dest[30], 7);  // nothing past 10 pixels
}

TEST(ReorderTest, CodesMoveChannels) {
  struct Case {
    const char* order;
    bool accepted;
    TRGB result;  // of (blue 1, green 2, red 3)
  };
  const Case cases[] = {{"bgr", true, {1, 2, 3}}, {"RGB", true, {3, 2, 1}}, {"00B", true, {0, 0, 1}},
                        {"RG", false, {1, 2, 3}}, {"RGX", false, {1, 2, 3}}};
  for (const Case& c : cases) {
    TIEBitmap image(2, 1, ie24RGB);
    image.SetPixel24(0, 0, TRGB{1, 2, 3});
    EXPECT_EQ(IEReorderChannels(&image, c.order, nullptr, {}), c.accepted) << c.order;
    EXPECT_EQ(image.GetPixel24(0, 0), c.result) << c.order;
  }
  TIEBitmap deep(1, 1, ieRGB48);
  deep.SetPixel48(0, 0, {100, 200, 300});  // red, green, blue
  IEReorderChannels(&deep, "RGB", nullptr, {});
  EXPECT_EQ(deep.GetPixel48(0, 0), (std::array<uint16_t, 3>{300, 200, 100}));
}

}  // namespace
