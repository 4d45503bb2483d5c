// The two-colour test, 1-bit row expansion and channel reordering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/codecs/neurquant.h"
#include "imaging/io/imageryio_registry.h"
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

TEST(RowBitCountTest, EveryPairAndItsLength) {
  const TRGB palette[3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}};
  struct Case {
    uint16_t from, to, count;
    std::vector<uint8_t> source;
    int32_t length;
    std::vector<uint8_t> expected;  // the first bytes of the destination (zeroed before)
  };
  const Case cases[] = {
      {1, 1, 10, {0xA5, 0xC0}, 2, {0xA5, 0xC0}},
      {1, 4, 3, {0xA0}, 2, {0x10, 0x10}},
      {1, 8, 3, {0xA0}, 3, {1, 0, 1}},
      {1, 24, 2, {0x40}, 6, {1, 2, 3, 4, 5, 6}},
      {4, 4, 3, {0x12, 0x30}, 2, {0x12, 0x30}},
      {4, 8, 3, {0x12, 0x30}, 3, {1, 2, 3}},
      {4, 24, 2, {0x21}, 6, {7, 8, 9, 4, 5, 6}},
      {4, 24, 1, {0xF0}, 3, {0, 0, 0}},  // beyond the palette: black, nothing read past it
      {8, 1, 3, {1, 0, 1}, 1, {0xA0}},
      {8, 8, 2, {9, 7}, 2, {9, 7}},
      {8, 24, 1, {2}, 3, {7, 8, 9}},
      {24, 24, 1, {1, 2, 3}, 3, {1, 2, 3}},
      {32, 24, 2, {1, 2, 3, 99, 4, 5, 6, 99}, 6, {1, 2, 3, 4, 5, 6}},
      {24, 1, 2, {1, 2, 3, 4, 5, 6}, 1, {0}},  // not a pair: nothing written
      {16, 8, 2, {1, 2, 3, 4}, 2, {0, 0}},
      {8, 32, 2, {1, 2}, 0, {0, 0}},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.from) + "->" + std::to_string(c.to);
    std::vector<uint8_t> dest(16, 0);
    EXPECT_EQ(IEConvertRowBitCount(c.source.data(), dest.data(), c.from, c.to, c.count, palette, 3, nullptr), c.length)
        << name;
    EXPECT_EQ(std::vector<uint8_t>(dest.begin(), dest.begin() + static_cast<ptrdiff_t>(c.expected.size())), c.expected)
        << name;
  }
  // 24 bits to indexes through the quantizer of the image.
  TIEBitmap image(2, 1, ie24RGB);
  image.SetPixel24(0, 0, TRGB{0, 0, 255});
  image.SetPixel24(1, 0, TRGB{255, 0, 0});
  TRGB colours[2];
  TIEQuantizer quantizer(image, colours, 2);
  uint8_t indexes[2] = {0, 0};
  EXPECT_EQ(IEConvertRowBitCount(image.GetScanline(0), indexes, 24, 8, 2, nullptr, 0, &quantizer), 2);
  EXPECT_EQ(colours[indexes[0]], (TRGB{0, 0, 255}));
  EXPECT_EQ(colours[indexes[1]], (TRGB{255, 0, 0}));
  uint8_t nibbles = 0;
  IEConvertRowBitCount(image.GetScanline(0), &nibbles, 24, 4, 2, nullptr, 0, &quantizer);
  EXPECT_EQ(nibbles, indexes[0] << 4 | indexes[1]);
}

TEST(CopyBitsTest, PerBitCopyKeepsTheNeighbours) {
  const uint8_t source[2] = {0b00011111, 0b00000000};
  uint8_t dest[2] = {0b10101010, 0b10101010};
  IECopyBitsPerBit(dest, source, 6, 3, 5);
  EXPECT_EQ(dest[0], 0b10101011);
  EXPECT_EQ(dest[1], 0b11101010);
}

TEST(ExpandTest, FrameworkBitmapOfOneBitBecomesTwentyFour) {
  TBitmap source, dest;
  source.SetPixelFormat(pf1bit);
  source.SetSize(10, 2);
  static_cast<uint8_t*>(source.ScanLine(0))[0] = 0x81;
  static_cast<uint8_t*>(source.ScanLine(0))[1] = 0x40;
  static_cast<uint8_t*>(source.ScanLine(1))[0] = 0x00;
  static_cast<uint8_t*>(source.ScanLine(1))[1] = 0x00;
  std::vector<int32_t> reports;
  TIEProgressRecord progress;
  progress.fOnProgress = [&](TObject*, int32_t per) { reports.push_back(per); };
  IEConvert1BitTBitmapTo24Bit(source, dest, progress);
  ASSERT_EQ(dest.PixelFormat(), pf24bit);
  ASSERT_EQ(dest.Width(), 10);
  const auto* row = static_cast<const uint8_t*>(dest.ScanLine(0));
  EXPECT_EQ(row[0], 255);
  EXPECT_EQ(row[3], 0);
  EXPECT_EQ(row[21], 255);
  EXPECT_EQ(row[27], 255);  // pixel 9
  EXPECT_EQ(static_cast<const uint8_t*>(dest.ScanLine(1))[27], 0);
  EXPECT_EQ(reports, (std::vector<int32_t>{40, 80}));
}

}  // namespace
