// Packed DIBs: writing and reading back, each bit depth and YUV layout,
// BMP files that ImageMagick wrote, and refusal of damaged headers.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/processing/imageryproc.h"
#include "platform/win/globalmem.h"
#include "tests/imaging/core/test_support.h"

namespace {

void Put32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>(v >> (8 * i)));
}
void Put16(std::string& s, uint16_t v) {
  s.push_back(static_cast<char>(v));
  s.push_back(static_cast<char>(v >> 8));
}

std::string Header(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0, uint32_t used = 0) {
  std::string h;
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  Put16(h, 1);
  Put16(h, bits);
  Put32(h, compression);
  Put32(h, 0);
  Put32(h, 2835);
  Put32(h, 2835);
  Put32(h, used);
  Put32(h, 0);
  return h;
}

uint32_t Code(const char* fourcc) {
  uint32_t v;
  std::memcpy(&v, fourcc, 4);
  return v;
}

int32_t Read(const std::string& dib, TIEBitmap& bitmap) {
  return IECopyDIBToBitmap(reinterpret_cast<const uint8_t*>(dib.data()), dib.size(), &bitmap, nullptr, 0);
}

TEST(DibTest, WrittenDibReadsBack) {
  TIEBitmap image(3, 2, ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) image.SetPixel24(x, y, TRGB{uint8_t(x * 40), uint8_t(y * 90), uint8_t(x + y)});
  HGLOBAL block = _CopyBitmaptoDIBEx(&image, 0, 0, 0, 0, 200, 200);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 44u + 12 * 2);
  const auto* header = static_cast<const uint8_t*>(GlobalLock(block));
  EXPECT_EQ(header[4], 3);
  EXPECT_EQ(header[8], 2);
  EXPECT_EQ(header[14], 24);
  EXPECT_EQ(header[24] | (header[25] << 8), 7874);
  GlobalUnlock(block);
  TIEBitmap back;
  EXPECT_EQ(IECopyDIBToBitmap(block, &back), 24);
  GlobalFree(block);
  ASSERT_EQ(back.GetWidth(), 3);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(back.GetPixel24(x, y), image.GetPixel24(x, y));

  // Other formats go as 24 bits; 1-bit images keep their bits.
  TIEBitmap grey16(2, 2, ie16Gray);
  grey16.Fill(0);
  block = _CopyBitmaptoDIBEx(&grey16, 0, 0, 0, 0, 96, 96);
  EXPECT_EQ(static_cast<const uint8_t*>(GlobalLock(block))[14], 24);
  GlobalUnlock(block);
  GlobalFree(block);
  TIEBitmap bits(11, 3, ie1g);
  for (int32_t y = 0; y < 3; ++y) bits.GetScanline(y)[0] = uint8_t(0xA5 + y), bits.GetScanline(y)[1] = 0xE0;
  block = _CopyBitmaptoDIBEx(&bits, 0, 0, 0, 0, 96, 96);
  TIEBitmap bitsBack;
  EXPECT_EQ(IECopyDIBToBitmap(block, &bitsBack), 1);
  GlobalFree(block);
  ASSERT_EQ(bitsBack.GetPixelFormat(), ie1g);
  for (int32_t y = 0; y < 3; ++y) {
    EXPECT_EQ(bitsBack.GetScanline(y)[0], bits.GetScanline(y)[0]);
    EXPECT_EQ(bitsBack.GetScanline(y)[1] & 0xE0, 0xE0);
  }
}

TEST(DibTest, BitDepthsAndLayouts) {
  TIEBitmap bitmap;
  // A white-first colour table inverts the bits.
  std::string mono = Header(8, 1, 1);
  Put32(mono, 0xFFFFFF);
  Put32(mono, 0);
  mono += std::string("\x0F\0\0\0", 4);
  EXPECT_EQ(Read(mono, bitmap), 1);
  EXPECT_EQ(bitmap.GetScanline(0)[0], 0xF0);
  // 4 bits, odd width: all five pixels.
  std::string four = Header(5, 1, 4, 0, 3);
  Put32(four, 0x000000);
  Put32(four, 0x0000FF);  // blue, green, red bytes: red 0, green 0, blue 255
  Put32(four, 0xFF0000);
  four += std::string("\x12\x01\x20\0", 4);
  EXPECT_EQ(Read(four, bitmap), 4);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{255, 0, 0}));
  EXPECT_EQ(bitmap.GetPixel24(1, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(bitmap.GetPixel24(4, 0), (TRGB{0, 0, 255}));
  // 8 bits: an index beyond the colour count reads black.
  std::string eight = Header(2, 1, 8, 0, 1);
  Put32(eight, 0x102030);
  eight += std::string("\x00\x09\0\0", 4);
  EXPECT_EQ(Read(eight, bitmap), 8);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{0x30, 0x20, 0x10}));
  EXPECT_EQ(bitmap.GetPixel24(1, 0), (TRGB{0, 0, 0}));
  // 16 bits with the default masks, and with 5-6-5 masks, top-down.
  std::string sixteen = Header(2, 1, 16);
  Put16(sixteen, 0x7FFF);
  Put16(sixteen, 0x7C00);
  EXPECT_EQ(Read(sixteen, bitmap), 16);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{248, 248, 248}));
  EXPECT_EQ(bitmap.GetPixel24(1, 0), (TRGB{0, 0, 248}));
  std::string fields = Header(1, -2, 16, 3);
  Put32(fields, 0xF800);
  Put32(fields, 0x07E0);
  Put32(fields, 0x001F);
  Put16(fields, 0x07E0);
  Put16(fields, 0);
  Put16(fields, 0x001F);
  Put16(fields, 0);
  EXPECT_EQ(Read(fields, bitmap), 16);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{0, 252, 0}));
  EXPECT_EQ(bitmap.GetPixel24(0, 1), (TRGB{248, 0, 0}));
}

TEST(DibTest, YuvFrames) {
  TIEBitmap bitmap;
  std::string yuy2 = Header(4, 1, 16, Code("YUY2"));
  yuy2 += std::string("\xEB\x80\xEB\x80\x10\x80\x10\x80", 8);
  EXPECT_EQ(Read(yuy2, bitmap), 16);
  EXPECT_EQ(bitmap.GetPixel24(0, 0), (TRGB{255, 255, 255}));
  EXPECT_EQ(bitmap.GetPixel24(3, 0), (TRGB{0, 0, 0}));
  // UYVY, floating: Y 126 with neutral chroma is grey 128.
  std::string uyvy = Header(2, 1, 16, Code("UYVY"));
  uyvy += std::string("\x80\x7E\x80\x7E", 4);
  EXPECT_EQ(Read(uyvy, bitmap), 16);
  EXPECT_EQ(bitmap.GetPixel24(1, 0), (TRGB{128, 128, 128}));
  // I420: a 2 x 2 block shares its chroma; the V sample makes it red.
  std::string i420 = Header(2, 2, 12, Code("I420"));
  i420 += std::string("\x51\x51\x51\x51\x5A\xF0", 6);
  EXPECT_EQ(Read(i420, bitmap), 12);
  const TRGB p = bitmap.GetPixel24(1, 1);
  EXPECT_GT(p.r, 200);
  EXPECT_LT(p.g, 40);
}

TEST(DibTest, DamagedOrUnsupportedDataIsRefused) {
  struct Case {
    const char* what;
    std::string dib;
  };
  std::string rle = Header(4, 1, 8, 1);
  rle += std::string(1024, '\0') + std::string("\x04\x07\0\x01", 4);
  std::string manyColours = Header(2, 1, 8, 0, 300) + std::string(1200 + 4, '\0');
  std::string badMask = Header(1, 1, 16, 3);
  Put32(badMask, 0xF00F);
  Put32(badMask, 0x0FF0);
  Put32(badMask, 0);
  badMask += std::string(4, '\0');
  std::string shortRows = Header(100, 100, 24) + std::string(300, '\0');
  std::string bigHeader = Header(2, 1, 24);
  bigHeader[0] = char(200);
  std::string noWidth = Header(0, 1, 24) + std::string(4, '\0');
  std::string oddBits = Header(2, 1, 7) + std::string(8, '\0');
  std::string shortYuv = Header(64, 64, 16, Code("YUY2")) + std::string(100, '\0');
  const Case cases[] = {
      {"truncated header", Header(2, 1, 24).substr(0, 30)}, {"run-length rows", rle},
      {"more colours than the depth", manyColours},          {"split masks", badMask},
      {"rows beyond the data", shortRows},                   {"header longer than the block", bigHeader},
      {"no width", noWidth},                                 {"unknown depth", oddBits},
      {"short YUV frame", shortYuv},
  };
  for (const Case& c : cases) {
    TIEBitmap bitmap(3, 3, ie8g);
    bitmap.Fill(7);
    EXPECT_EQ(Read(c.dib, bitmap), 0) << c.what;
    EXPECT_EQ(bitmap.GetWidth(), 3) << c.what;
    EXPECT_EQ(bitmap.GetPixel8(1, 1), 7) << c.what;
  }
}

TEST(DibTest, DrawnIntoADibBitmapAtItsOwnSize) {
  // 2 x 2, 24 bits, bottom row first.
  std::string dib = Header(2, 2, 24) + std::string("\x01\x02\x03\x04\x05\x06\0\0\x07\x08\x09\x0a\x0b\x0c\0\0", 16);
  TIEDibbitmap dest;
  EXPECT_EQ(IEDrawDIBToDibBitmap(reinterpret_cast<const uint8_t*>(dib.data()), dib.size(), &dest, nullptr, 0), 24);
  ASSERT_EQ(dest.GetWidth(), 2);
  ASSERT_EQ(dest.GetBitCount(), 24);
  EXPECT_EQ(dest.GetScanline(0)[0], 7);  // the top row is the DIB's last
  EXPECT_EQ(dest.GetScanline(1)[5], 6);
  // 1 bit stays 1 bit; damaged data leaves the bitmap alone.
  std::string mono = Header(8, 1, 1) + std::string("\0\0\0\0\xff\xff\xff\0\xA5\0\0\0", 12);
  TIEDibbitmap bits;
  EXPECT_EQ(IEDrawDIBToDibBitmap(reinterpret_cast<const uint8_t*>(mono.data()), mono.size(), &bits, nullptr, 0), 1);
  ASSERT_EQ(bits.GetBitCount(), 1);
  EXPECT_EQ(bits.GetScanline(0)[0], 0xA5);
  // A YUV frame that declares 1 bit per pixel still decodes to 24 bits, and is drawn as such.
  std::string yuv = Header(4, 2, 1, Code("YUY2")) + std::string(8, '\0');  // the table a 1-bit header implies
  for (int i = 0; i < 4; ++i) yuv += std::string("\xeb\x80\xeb\x80", 4);
  TIEDibbitmap frame;
  EXPECT_EQ(IEDrawDIBToDibBitmap(reinterpret_cast<const uint8_t*>(yuv.data()), yuv.size(), &frame, nullptr, 0), 1);
  ASSERT_EQ(frame.GetBitCount(), 24);
  EXPECT_EQ(frame.GetScanline(1)[11], 255);
  const std::string shortRows = Header(100, 100, 24) + std::string(300, '\0');
  EXPECT_EQ(IEDrawDIBToDibBitmap(reinterpret_cast<const uint8_t*>(shortRows.data()), shortRows.size(), &dest, nullptr, 0),
            0);
  EXPECT_EQ(dest.GetWidth(), 2);
}

// BMP files of ImageMagick's: the DIB is the file after its 14-byte header.
TEST(DibMagickTest, ReadsWhatImageMagickWrote) {
  TempFolder folder;
  const std::string reference = folder.File("ref.ppm");
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 13x7 gradient:red-blue -depth 8 " + reference), 0);
  const std::string expected = ReadFile(reference);
  const std::string pixels = expected.substr(expected.size() - 13 * 7 * 3);
  for (const char* type : {"TrueColor", "Palette"}) {
    const std::string bmp = folder.File(std::string(type) + ".bmp");
    ASSERT_EQ(RunCommand("/usr/bin/convert " + reference + " -type " + type + " BMP3:" + bmp), 0);
    const std::string file = ReadFile(bmp);
    ASSERT_GT(file.size(), 54u);
    TIEBitmap bitmap;
    EXPECT_GT(Read(file.substr(14), bitmap), 0) << type;
    ASSERT_EQ(bitmap.GetWidth(), 13);
    ASSERT_EQ(bitmap.GetHeight(), 7);
    for (int32_t y = 0; y < 7; ++y)
      for (int32_t x = 0; x < 13; ++x) {
        const size_t at = (size_t(y) * 13 + x) * 3;
        EXPECT_EQ(bitmap.GetPixel24(x, y),
                  (TRGB{uint8_t(pixels[at + 2]), uint8_t(pixels[at + 1]), uint8_t(pixels[at])}))
            << type << " " << x << "," << y;
      }
  }
}

}  // namespace
