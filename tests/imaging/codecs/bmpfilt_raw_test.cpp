// Headerless pixel data read into an allocated bitmap.
#include "imaging/core/davovevo.h"
#include "tests/imaging/codecs/bmpfilt_test_support.h"

using namespace bmptest;

namespace {

class RawPixelsTest : public BmpFamilyTest {
protected:
  // Reads bytes into a width x height bitmap of the format with the layout.
  std::unique_ptr<TIEBitmap> Read(const std::string& bytes, int32_t width, int32_t height, TIEPixelFormat format,
                                  uint8_t planes, uint8_t order, uint8_t text, int32_t align = 8, int32_t skip = 0) {
    auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
    bitmap->Fill(0);
    TIOParamsVals params(nullptr);
    params.BMPRAW_PLANES = planes;
    params.BMPRAW_CHANNELORDER = order;
    params.BMPRAW_DATAFORMAT = text;
    params.BMPRAW_ROWALIGN = align;
    params.BMPRAW_HEADERSIZE = skip;
    IEReadRawBitmapStream(*BytesStream(bytes), *bitmap, params, progress_);
    return bitmap;
  }
};

TEST_F(RawPixelsTest, LayoutsGiveThePixelsTheyDescribe) {
  // Width 3 at 32-bit alignment: 12 bytes a row, the last three padding; red first.
  const std::string aligned = std::string("\xFF\0\0\0\xFF\0\0\0\xFF\x11\x22\x33", 12) + std::string("\1\2\3\4\5\6\7\x8\x9\0\0\0", 12);
  auto a = Read(aligned, 3, 2, ie24RGB, 0, 0, 0, 32);
  EXPECT_EQ(a->GetPixel24(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(a->GetPixel24(2, 0), (TRGB{255, 0, 0}));
  EXPECT_EQ(a->GetPixel24(0, 1), (TRGB{3, 2, 1}));
  // The same in the bitmap's own order, after a 5-byte header.
  auto b = Read("HEADR" + aligned, 3, 2, ie24RGB, 0, 1, 0, 32, 5);
  EXPECT_EQ(b->GetPixel24(0, 0), (TRGB{255, 0, 0}));
  // Decimal text, red first: a red and a green pixel.
  auto t = Read("255, 0, 0 0 , 255,0", 2, 1, ie24RGB, 0, 0, 1);
  EXPECT_EQ(t->GetPixel24(0, 0), (TRGB{0, 0, 255}));
  EXPECT_EQ(t->GetPixel24(1, 0), (TRGB{0, 255, 0}));
  // Hexadecimal text into 16-bit grey.
  auto h = Read("FFFF;1A2B", 2, 1, ie16Gray, 0, 0, 2);
  EXPECT_EQ(h->GetPixel16(0, 0), 0xFFFF);
  EXPECT_EQ(h->GetPixel16(1, 0), 0x1A2B);
  // Planes: all red, then all green, then all blue.
  auto p = Read(std::string("\x10\x20\x30\x40\x50\x60", 6), 2, 1, ie24RGB, 1, 0, 0);
  EXPECT_EQ(p->GetPixel24(0, 0), (TRGB{0x50, 0x30, 0x10}));
  EXPECT_EQ(p->GetPixel24(1, 0), (TRGB{0x60, 0x40, 0x20}));
  // 48-bit planes, red first: the bitmap keeps red first.
  const std::string words("\1\0\2\0\3\0\4\0\5\0\6\0", 12);
  auto w = Read(words, 2, 1, ieRGB48, 1, 0, 0);
  EXPECT_EQ(w->GetPixel48(0, 0), (std::array<uint16_t, 3>{1, 3, 5}));
  auto wb = Read(words, 2, 1, ieRGB48, 0, 1, 0);  // interleaved blue first
  EXPECT_EQ(wb->GetPixel48(0, 0), (std::array<uint16_t, 3>{3, 2, 1}));
  // CMYK planes.
  auto c = Read(std::string("\1\2\3\4\5\6\7\x8", 8), 2, 1, ieCMYK, 1, 0, 0);
  EXPECT_EQ(c->GetPixelAddress(0, 0)[3], 7);
}

TEST_F(RawPixelsTest, ShortAndOddInputsLeaveTheRestAlone) {
  auto shortData = Read(std::string("\1\2\3\4", 4), 4, 4, ie8g, 0, 0, 0);
  EXPECT_EQ(shortData->GetPixel8(3, 0), 4);
  EXPECT_EQ(shortData->GetPixel8(0, 1), 0);
  auto farHeader = Read(std::string("\1\2\3\4", 4), 2, 2, ie8g, 0, 0, 0, 8, 1 << 30);
  EXPECT_EQ(farHeader->GetPixel8(0, 0), 0);
  // A row alignment of 0 counts as bytes; a huge width pads within 64 bits.
  auto zeroAlign = Read(std::string("\1\2\3\4", 4), 2, 2, ie8g, 0, 0, 0, 0);
  EXPECT_EQ(zeroAlign->GetPixel8(0, 1), 3);
  EXPECT_THROW(Read("1A", 1, 1, ie32f, 0, 0, 2), EIEException);
  auto floats = Read("15 2", 2, 1, ie32f, 0, 0, 1);
  EXPECT_FLOAT_EQ(floats->GetPixel32f(1, 0), 2.0f);
}

}  // namespace
