// The picture size readers read sizes from headers alone, walking each
// format's structure with every read bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/render/advsmoothgdip.h"

using namespace AdvSmoothGDIP;

namespace {

using Bytes = std::vector<uint8_t>;
using Reader = bool (*)(const uint8_t*, size_t, TImageSize&);

Bytes Be16(int v) { return {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }
Bytes Le16(int v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}; }
Bytes Be32(uint32_t v) { return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}; }
Bytes Le32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A JPEG start, a segment that holds bytes looking like a frame, then a frame of marker `sof`.
Bytes Jpeg(uint8_t sof, int width, int height, bool fill = false) {
  Bytes app = Cat({{0xFF, 0xE1}, Be16(8), {0xFF, 0xC0, 0x00, 0x11, 0x22, 0x33}});
  Bytes frame = Cat({{0xFF}, fill ? Bytes{0xFF} : Bytes{}, {sof}, Be16(11), {8}, Be16(height), Be16(width), {1, 1, 0x11, 0}});
  return Cat({{0xFF, 0xD8}, app, {0xFF, 0xC4}, Be16(4), {0, 0}, frame});
}

Bytes Png(uint32_t width, uint32_t height) {
  return Cat({{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}, Be32(13), {'I', 'H', 'D', 'R'}, Be32(width),
              Be32(height), {8, 6, 0, 0, 0}});
}

// A GIF whose comment extension before the image holds the byte 0x2C.
Bytes Gif(int width, int height, bool globalTable) {
  Bytes header = Cat({{'G', 'I', 'F', '8', '9', 'a'}, Le16(99), Le16(77),
                      {static_cast<uint8_t>(globalTable ? 0x80 : 0), 0, 0}});
  Bytes table = globalTable ? Bytes{0, 0, 0, 255, 255, 255} : Bytes{};
  Bytes comment = {0x21, 0xFE, 4, 0x2C, 1, 2, 3, 0};
  Bytes image = Cat({{0x2C}, Le16(1), Le16(2), Le16(width), Le16(height), {0, 2, 2, 0x4C, 0x01, 0, 0x3B}});
  return Cat({header, table, comment, image});
}

Bytes Bmp(int32_t width, int32_t height) {
  return Cat({{'B', 'M'}, Le32(0), Le32(0), Le32(54), Le32(40), Le32(static_cast<uint32_t>(width)),
              Le32(static_cast<uint32_t>(height)), Le16(1), Le16(24)});
}

// A TIFF directory with a SHORT width and a LONG height.
Bytes Tiff(bool little, int width, uint32_t height) {
  auto u16 = little ? Le16 : Be16;
  auto u32 = little ? Le32 : Be32;
  Bytes shortValue = little ? Le16(width) : Be16(width);
  return Cat({little ? Bytes{'I', 'I'} : Bytes{'M', 'M'}, u16(42), u32(8), u16(2), u16(256), u16(3), u32(1), shortValue,
              {0, 0}, u16(257), u16(4), u32(1), u32(height), u32(0)});
}

struct SizeCase {
  const char* name;
  Reader reader;
  Bytes data;
  bool found;
  int32_t width, height;
};

}  // namespace

TEST(PictureSizeReaders, ReadTheSizeFromTheHeader) {
  const SizeCase cases[] = {
      {"jpeg baseline", GetJPEGSize, Jpeg(0xC0, 640, 480), true, 640, 480},
      {"jpeg progressive", GetJPEGSize, Jpeg(0xC2, 40, 30), true, 40, 30},
      {"jpeg lossless", GetJPEGSize, Jpeg(0xC3, 7, 9), true, 7, 9},
      {"jpeg arithmetic", GetJPEGSize, Jpeg(0xC9, 12, 13), true, 12, 13},
      {"jpeg fill byte", GetJPEGSize, Jpeg(0xC1, 5, 6, true), true, 5, 6},
      {"jpeg no start", GetJPEGSize, {0xFF, 0xD9, 0xFF, 0xC0}, false, 0, 0},
      {"png", GetPNGSize, Png(300, 200), true, 300, 200},
      {"png over 65535", GetPNGSize, Png(70000, 3), true, 70000, 3},
      {"png bad signature", GetPNGSize, Cat({{0x89, 'P', 'N', 'X'}, Bytes(20, 0)}), false, 0, 0},
      {"gif with table", GetGIFSize, Gif(31, 17, true), true, 31, 17},
      {"gif without table", GetGIFSize, Gif(8, 4, false), true, 8, 4},
      {"bmp bottom-up", GetBMPSize, Bmp(50, 40), true, 50, 40},
      {"bmp top-down", GetBMPSize, Bmp(50, -40), true, 50, 40},
      {"tiff little-endian", GetTIFFSize, Tiff(true, 123, 456), true, 123, 456},
      {"tiff big-endian", GetTIFFSize, Tiff(false, 123, 70000), true, 123, 70000},
  };
  for (const SizeCase& c : cases) {
    TImageSize size;
    EXPECT_EQ(c.reader(c.data.data(), c.data.size(), size), c.found) << c.name;
    EXPECT_EQ(size.width, c.width) << c.name;
    EXPECT_EQ(size.height, c.height) << c.name;
  }
}

// Every prefix of every header is read within its bounds and finds no
// size it does not hold (AddressSanitizer watches the reads).
TEST(PictureSizeReaders, TruncatedHeadersGiveNoSize) {
  const std::pair<Reader, Bytes> cases[] = {{GetJPEGSize, Jpeg(0xC2, 40, 30)}, {GetPNGSize, Png(3, 4)},
                                            {GetGIFSize, Gif(3, 4, true)},      {GetBMPSize, Bmp(3, 4)},
                                            {GetTIFFSize, Tiff(false, 3, 4)}};
  for (const auto& [reader, full] : cases) {
    TImageSize whole;
    ASSERT_TRUE(reader(full.data(), full.size(), whole));
    for (size_t n = 0; n < full.size(); ++n) {
      // A copy of just the prefix, so that reading past it is caught.
      std::unique_ptr<uint8_t[]> cut(new uint8_t[n + 1]);
      std::copy(full.begin(), full.begin() + static_cast<ptrdiff_t>(n), cut.get());
      TImageSize size;
      if (reader(cut.get(), n, size)) {
        EXPECT_EQ(size.width, whole.width);
        EXPECT_EQ(size.height, whole.height);
      } else {
        EXPECT_EQ(size.width, 0);
        EXPECT_EQ(size.height, 0);
      }
    }
  }
}
