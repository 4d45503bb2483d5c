// The gaussian blur against ImageMagick's gaussian blur with edge pixels
// repeated outward, at small, middle and large sigmas.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/processing/imageryproc.h"
#include "tests/imaging/core/test_support.h"

namespace {

TEST(BlurMagickTest, AgreesWithGaussianBlurWithinOneLevel) {
  const int32_t width = 61, height = 47;
  std::mt19937 random(21);
  std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
  for (uint8_t& v : rgb) v = static_cast<uint8_t>(random());
  TempFolder folder;
  const std::string in = folder.File("in.ppm"), out = folder.File("out.ppm");
  const std::string header = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  WriteFile(in, header + std::string(rgb.begin(), rgb.end()));
  for (const double sigma : {1.0, 3.0, 10.0}) {
    std::remove(out.c_str());
    char size[32];
    std::snprintf(size, sizeof size, "0x%g", sigma);
    ASSERT_EQ(RunCommand("/usr/bin/convert " + in + " -virtual-pixel edge -gaussian-blur " + size + " -depth 8 " + out), 0);
    const std::string theirs = ReadFile(out);
    ASSERT_EQ(theirs.size(), header.size() + rgb.size());
    // The channels are independent, so the file's red, green, blue order
    // can stand in for our blue, green, red.
    TIEBitmap bitmap(width, height, ie24RGB);
    for (int32_t y = 0; y < height; ++y)
      std::copy_n(&rgb[static_cast<size_t>(y) * width * 3], width * 3, bitmap.GetScanline(y));
    IEGaussianBlur(&bitmap, nullptr, sigma, {});
    int worst = 0;
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width * 3; ++x)
        worst = std::max(worst, std::abs(int(bitmap.GetScanline(y)[x]) -
                                         int(uint8_t(theirs[header.size() + size_t(y) * width * 3 + x]))));
    EXPECT_LE(worst, 1) << "sigma " << sigma;
  }
}

}  // namespace

namespace {

// Bands of rows share their edge rows: any band count gives the one-band
// result, also when the kernel reaches past several bands.
TEST(BlurBandsTest, AnyBandCountGivesTheSameImage) {
  for (const double sigma : {0.8, 3.0, 10.0}) {
    for (const TIEPixelFormat format : {ie24RGB, ie8g}) {
      TIEBitmap one(37, 50, format), many(37, 50, format);
      std::mt19937 random(3);
      for (int32_t y = 0; y < 50; ++y)
        for (int32_t x = 0; x < one.GetRowLength(); ++x) one.GetScanline(y)[x] = many.GetScanline(y)[x] = uint8_t(random());
      IEGetGlobalSettings()->CoreCount = 1;
      IEGaussianBlur(&one, nullptr, sigma, {});
      IEGetGlobalSettings()->CoreCount = 7;
      IEGaussianBlur(&many, nullptr, sigma, {});
      if (format == ie8g) {
        IEGetGlobalSettings()->CoreCount = 1;
        IEGaussianBlurGray8(&one, 3, 5, 30, 44, sigma);
        IEGetGlobalSettings()->CoreCount = 5;
        IEGaussianBlurGray8(&many, 3, 5, 30, 44, sigma);
      }
      IEGetGlobalSettings()->CoreCount = -1;
      for (int32_t y = 0; y < 50; ++y)
        EXPECT_TRUE(std::equal(one.GetScanline(y), one.GetScanline(y) + one.GetRowLength(), many.GetScanline(y)))
            << "sigma " << sigma << " row " << y;
    }
  }
}

}  // namespace
