// Orientations judged by ImageMagick's -auto-orient on the same pixels.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "tests/imaging/core/test_support.h"

namespace {

const char* const kOrientationNames[] = {"", "TopLeft", "TopRight", "BottomRight", "BottomLeft",
                                         "LeftTop", "RightTop", "RightBottom", "LeftBottom"};

// The red channel of each pixel, row by row, with the size first.
std::string Reds(TIEBitmap& b) {
  std::ostringstream out;
  out << b.GetWidth() << "x" << b.GetHeight();
  for (int32_t y = 0; y < b.GetHeight(); ++y)
    for (int32_t x = 0; x < b.GetWidth(); ++x) out << ' ' << int(b.GetPixel24(x, y).r);
  return out.str();
}

std::string ImageMagickReds(const std::string& ppm, int orientation, const TempFolder& folder) {
  WriteFile(folder.File("in.ppm"), ppm);
  const std::string out = folder.File("out.txt");
  EXPECT_EQ(RunCommand("convert " + folder.File("in.ppm") + " -orient " + kOrientationNames[orientation] +
                       " -auto-orient -compress none ppm:- > " + out),
            0);
  std::istringstream in(ReadFile(out));
  std::string magic;
  int width, height, maximum;
  in >> magic >> width >> height >> maximum;
  std::ostringstream reds;
  reds << width << "x" << height;
  for (int i = 0, r, g, b; i < width * height && in >> r >> g >> b; ++i) reds << ' ' << r;
  return reds.str();
}

TEST(ExifOrientation, EveryOrientationTurnsTheImageUprightAsImageMagickDoes) {
  TempFolder folder;
  std::string ppm = "P3\n4 3\n255\n";
  for (int i = 1; i <= 12; ++i) ppm += std::to_string(i * 10) + " 0 0\n";
  for (int orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    TIEBitmap b(4, 3, ie24RGB);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x) b.SetPixel24(x, y, TRGB{0, 0, static_cast<uint8_t>((y * 4 + x + 1) * 10)});
    // The alpha channel turns with the image.
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x) b.SetAlphaPixel(x, y, static_cast<uint8_t>((y * 4 + x + 1) * 10));
    IEApplyExifOrientation(b, orientation);
    const std::string expected = ImageMagickReds(ppm, orientation, folder);
    EXPECT_EQ(Reds(b), expected);
    ASSERT_TRUE(b.HasAlphaChannel());
    EXPECT_EQ(b.GetAlphaChannel()->GetWidth(), b.GetWidth());
    for (int32_t y = 0; y < b.GetHeight(); ++y)
      for (int32_t x = 0; x < b.GetWidth(); ++x) EXPECT_EQ(b.GetAlphaPixel(x, y), b.GetPixel24(x, y).r);
  }
}

TEST(ExifOrientation, OtherValuesAndBitFormats) {
  for (int orientation : {0, 1, 9, -3}) {
    TIEBitmap b(3, 2, ie24RGB);
    b.SetPixel24(2, 0, TRGB{1, 2, 3});
    IEApplyExifOrientation(b, orientation);
    EXPECT_EQ(b.GetWidth(), 3);
    EXPECT_EQ(b.GetPixel24(2, 0), (TRGB{1, 2, 3}));
  }
  // One bit a pixel: a clockwise quarter turn moves the top-right pixel to the bottom right.
  TIEBitmap bits(10, 3, ie1g);
  bits.GetScanline(0)[1] |= 0x40;  // pixel (9, 0)
  IEApplyExifOrientation(bits, 6);
  ASSERT_EQ(bits.GetWidth(), 3);
  ASSERT_EQ(bits.GetHeight(), 10);
  for (int32_t y = 0; y < 10; ++y)
    EXPECT_EQ(bits.GetScanline(y)[0] & 0xE0, y == 9 ? 0x20 : 0) << y;
}

}  // namespace
