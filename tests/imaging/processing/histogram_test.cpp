// Grey levels, HSV and the histograms: lengths, channels, selections, and
// photos of other depths counted without being converted.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "imaging/processing/imageryproc_component.h"

namespace {

TEST(ColourTest, GreyAndHsv) {
  EXPECT_EQ(IERGBToGray(TRGB{0, 128, 255}), 144);
  int32_t h, s, v;
  IERGBToHSV(TRGB{0, 0, 255}, h, s, v);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(s, 99);
  EXPECT_EQ(v, 99);
  IERGBToHSV(TRGB{0, 255, 0}, h, s, v);
  EXPECT_EQ(h, 120);
  TRGB c;
  IEHSVToRGB(c, 120, 99, 99);
  EXPECT_EQ(c, (TRGB{0, 255, 0}));
  TRGB wrapped, plain;
  IEHSVToRGB(wrapped, -30, 99, 99);
  IEHSVToRGB(plain, 330, 99, 99);
  EXPECT_EQ(wrapped, plain);
  IEHSVToRGB(wrapped, 400, 99, 99);
  IEHSVToRGB(plain, 40, 99, 99);
  EXPECT_EQ(wrapped, plain);
}

TEST(HistogramTest, LengthsAndChannels) {
  TIEBitmap red(4, 3, ie24RGB);
  red.Fill(0x0000FF);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(&red);
  TIEHistogram histogram;
  proc.GetHistogram(hkHue, histogram);
  ASSERT_EQ(histogram.size(), 360u);
  EXPECT_EQ(histogram[0].Hue, 12u);
  proc.GetHistogram(hkRed | hkHue | hkGray, histogram);
  ASSERT_EQ(histogram.size(), 256u);
  EXPECT_EQ(histogram[255].Red, 12u);
  EXPECT_EQ(histogram[53].Gray, 12u);  // 255 x 21 div 100
  TIEBitmap deep(3, 3, ie16Gray);
  deep.Fill(40000);
  proc.SetAttachedBitmap(&deep);
  proc.GetHistogram(hkGray, histogram);
  ASSERT_EQ(histogram.size(), 65536u);
  EXPECT_EQ(histogram[40000].Gray, 9u);
}

// The crop preview shows the histogram of 48-bit and CMYK photos: they are
// counted as 24 bits and stay as they were.
TEST(HistogramTest, OtherDepthsAreCountedOnACopy) {
  for (const TIEPixelFormat format : {ieRGB48, ieCMYK, ie8p, ie1g}) {
    TIEBitmap photo(5, 4, format);
    photo.Fill(0);
    const std::string before(reinterpret_cast<const char*>(photo.GetScanline(2)), size_t(photo.GetRowLength()));
    TImageryProc proc(nullptr);
    proc.SetAttachedBitmap(&photo);
    TIEHistogram histogram;
    proc.GetHistogram(hkRed | hkGreen | hkBlue, histogram);
    EXPECT_EQ(photo.GetPixelFormat(), format);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(photo.GetScanline(2)), size_t(photo.GetRowLength())), before);
    ASSERT_EQ(histogram.size(), 256u) << int{format};
    uint32_t total = 0;
    for (const TIEHistogramEntry& e : histogram) total += e.Red;
    EXPECT_EQ(total, 20u) << int{format};
  }
}

TEST(HistogramTest, OnlySelectedPixelsCount) {
  TIEBitmap grey(6, 6, ie8g);
  grey.Fill(10);
  TIEMask mask;
  mask.Allocate(6, 6, 1);
  mask.FillSpan(1, 1, 3, 2);
  mask.RecalcBoundingBox();
  TIEHistogram histogram;
  IEComputeHistogram(&grey, 0, 0, 6, 6, &mask, hkGray, histogram);
  EXPECT_EQ(histogram[10].Gray, 3u);
  IEComputeHistogram(&grey, 0, 0, 99, 99, nullptr, hkGray, histogram);
  EXPECT_EQ(histogram[10].Gray, 36u);
}

}  // namespace

namespace {

int32_t WhiteCount(TIEBitmap& bits) {
  int32_t count = 0;
  for (int32_t y = 0; y < bits.GetHeight(); ++y)
    for (int32_t x = 0; x < bits.GetWidth(); ++x) count += (bits.GetScanline(y)[x >> 3] >> (7 - (x & 7))) & 1;
  return count;
}

TEST(ThresholdTest, FixedMeanAndEntropyThresholds) {
  TIEBitmap uniform(5, 3, ie24RGB), bits;
  uniform.Fill(0x808080);
  struct Case {
    int32_t threshold;
    int32_t white;
  };
  for (const Case& c : {Case{0, 15}, Case{256, 0}, Case{-1, 15}, Case{-2, 15}}) {
    IEThresholdTo1Bit(&uniform, &bits, c.threshold, {}, nullptr);
    EXPECT_EQ(WhiteCount(bits), c.white) << c.threshold;
  }
  // Two grey populations split between them.
  TIEBitmap two(10, 10, ie8g);
  for (int32_t y = 0; y < 10; ++y)
    for (int32_t x = 0; x < 10; ++x) two.SetPixel8(x, y, uint8_t(y < 3 ? 40 + x : 200 + x));
  IEThresholdTo1Bit(&two, &bits, -2, {}, nullptr);
  EXPECT_EQ(WhiteCount(bits), 70);
  // 16-bit samples count by their high byte; progress ends just under 100.
  TIEBitmap deep(4, 4, ie16Gray);
  deep.Fill(0x80FF);
  std::vector<int32_t> seen;
  IEThresholdTo1Bit(&deep, &bits, 128, [&](TObject*, int32_t per) { seen.push_back(per); }, nullptr);
  EXPECT_EQ(WhiteCount(bits), 16);
  IEThresholdTo1Bit(&deep, &bits, 129, {}, nullptr);
  EXPECT_EQ(WhiteCount(bits), 0);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), 88);  // Trunc(4 x 100 / 4.5)
}

}  // namespace
