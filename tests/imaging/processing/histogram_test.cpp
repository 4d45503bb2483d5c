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
