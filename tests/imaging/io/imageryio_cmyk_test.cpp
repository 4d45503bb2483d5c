#include <gtest/gtest.h>

#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio_cmyk.h"

namespace {

// The plain path: colour management off.
class PlainCMYK : public ::testing::Test {
protected:
  void SetUp() override { IEGetGlobalSettings()->CMYKThroughICC = false; }
  void TearDown() override { IEGetGlobalSettings()->CMYKThroughICC = true; }
};

uint32_t CMYK(uint8_t c, uint8_t m, uint8_t y, uint8_t k) {
  return c | uint32_t{m} << 8 | uint32_t{y} << 16 | uint32_t{k} << 24;
}

TEST_F(PlainCMYK, SingleColoursFollowTheInvertedInkFormulas) {
  TRGB rgb;
  IECMYKToRGB(CMYK(255, 255, 255, 255), rgb);  // no ink
  EXPECT_EQ(rgb, (TRGB{255, 255, 255}));
  IECMYKToRGB(CMYK(200, 100, 50, 0), rgb);  // full black
  EXPECT_EQ(rgb, (TRGB{0, 0, 0}));
  EXPECT_EQ(IERGBToCMYK(0xFF8000u), CMYK(255, 128, 0, 255));  // red 255, green 128, blue 0
  EXPECT_EQ(IERGBToCMYK(0x000000u), CMYK(255, 255, 255, 0));
}

TEST_F(PlainCMYK, RowsBlendByTheirWeights) {
  const uint8_t cmyk[] = {255, 0, 0, 255, 0, 255, 255, 255};  // (C none -> red full), (magenta ink)
  uint8_t plain[6] = {}, full[6] = {}, half[6] = {10, 10, 10, 10, 10, 10};
  const int32_t ones[] = {IE_WEIGHT_ONE, IE_WEIGHT_ONE}, halves[] = {IE_WEIGHT_ONE / 2, IE_WEIGHT_ONE / 2};
  IECMYKRowToRGB(cmyk, plain, 2, nullptr);
  IECMYKRowToRGB(cmyk, full, 2, ones);
  EXPECT_EQ(std::vector<uint8_t>(plain, plain + 6), std::vector<uint8_t>(full, full + 6));
  IECMYKRowToRGB(cmyk, half, 2, halves);
  EXPECT_EQ(half[2], 10 + (255 - 10) / 2);  // red of the first pixel halfway from 10
  EXPECT_EQ(half[0], 10 - 10 / 2);          // its blue halfway toward 0
}

// One pixel through the row converter, by source and destination layout.
struct Conversion {
  int32_t from, to;
  std::vector<uint8_t> source, expected;
};

TEST_F(PlainCMYK, RowConverterByLayout) {
  const Conversion cases[] = {
      {iepRGB, iepBGR, {1, 2, 3}, {3, 2, 1}},
      {iepBGR, iepBGR, {1, 2, 3}, {1, 2, 3}},
      {iepBGR, iepGray, {50, 200, 100}, {167}},  // (100*21 + 200*71 + 50*8) div 100
      {iepBGR, iepCMYKInverted, {0, 128, 255}, {255, 128, 0, 255}},
      {iepCMYKInverted, iepBGR, {255, 255, 255, 255}, {255, 255, 255}},
      {iepCMYK, iepBGR, {0, 0, 0, 0, 9, 9}, {255, 255, 255}},  // not inverted: no ink
      {iepGray, iepBGR, {0x80}, {255, 255, 255}},               // one bit per pixel
      {iepRGB48, iepBGR, {0x11, 0xAA, 0x22, 0xBB, 0x33, 0xCC}, {0xCC, 0xBB, 0xAA}},
      {iepRGB48BigEndian, iepBGR, {0xAA, 0x11, 0xBB, 0x22, 0xCC, 0x33}, {0xCC, 0xBB, 0xAA}},
      {iepLab, iepBGR, {255, 0, 0}, {255, 255, 255}},
      {iep3Channel, iepBGR, {128, 128, 128}, {128, 128, 128}},
  };
  for (const Conversion& c : cases) {
    std::vector<uint8_t> source = c.source, dest(c.expected.size(), 7);
    IEConvertColorFormat(source.data(), c.from, dest.data(), nullptr, 1, c.to);
    EXPECT_EQ(dest, c.expected) << c.from << " -> " << c.to;
  }
}

TEST_F(PlainCMYK, UnlistedCombinationsLeaveTheDestinationAlone) {
  const uint8_t source[4] = {1, 2, 3, 4};
  uint8_t dest[4] = {9, 9, 9, 9};
  IEConvertColorFormat(source, iepLab, dest, nullptr, 1, iepGray);
  EXPECT_EQ(dest[0], 9);
}

}  // namespace
