#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

// Same size, format and pixel bytes.
bool SamePixels(TIEBitmap& a, TIEBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  const size_t bytes = (size_t(a.GetWidth()) * a.GetBitCount() + 7) / 8;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.GetScanline(y), b.GetScanline(y), bytes) != 0) return false;
  return true;
}

class RawTest : public BitmapTest {
protected:
  static std::vector<uint8_t> Record(TIEBitmap& b) {
    std::vector<uint8_t> bytes(static_cast<size_t>(b.RawSize()));
    b.SaveRaw(bytes.data(), nullptr, false);
    return bytes;
  }
  // A paletted image with alpha, display settings and byte-aligned rows.
  static std::unique_ptr<TIEBitmap> Sample() {
    auto b = std::make_unique<TIEBitmap>(5, 3, ie8p);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 5; ++x) b->SetPixel8(x, y, uint8_t(x * 3 + y));
    b->SetPaletteColor(7, TRGB{7, 8, 9});
    b->SetPaletteUsed(12);
    b->GetAlphaChannel()->SetPixel8(4, 2, 33);
    b->DisplayMin = 1.5, b->DisplayMax = 99.25;
    b->DisplayOffsets = {1, -2, 3, 4};
    b->DisplayAdjustments = true;
    b->Contrast = -7;
    return b;
  }
};

TEST_F(RawTest, RoundTripsThroughBufferAndStream) {
  auto b = Sample();
  const auto bytes = Record(*b);
  TMemoryStream stream;
  b->SaveRaw(nullptr, &stream, true);
  ASSERT_EQ(stream.Size(), int64_t(bytes.size()));
  EXPECT_EQ(0, std::memcmp(stream.Memory(), bytes.data(), bytes.size()));
  for (bool fromStream : {false, true}) {
    TIEBitmap loaded;
    stream.SetPosition(0);
    ASSERT_TRUE(fromStream ? loaded.LoadRaw(nullptr, 0, &stream) : loaded.LoadRaw(bytes.data(), bytes.size(), nullptr));
    EXPECT_TRUE(SamePixels(loaded, *b));
    TRGB c;
    loaded.GetPaletteColor(7, c);
    EXPECT_EQ(c, (TRGB{7, 8, 9}));
    EXPECT_EQ(loaded.GetPaletteUsed(), 12);
    EXPECT_EQ(loaded.GetAlphaPixel(4, 2), 33);
    EXPECT_EQ(loaded.DisplayMax, 99.25);
    EXPECT_EQ(loaded.DisplayOffsets[1], -2);
    EXPECT_TRUE(loaded.DisplayAdjustments);
    EXPECT_EQ(loaded.Contrast, -7);
  }
  // A 1 x 1 ie24RGB image without alpha is 80 bytes; other alignments come back.
  TIEBitmap one(1, 1, ie24RGB);
  EXPECT_EQ(Record(one).size(), 80u);
  TIEBitmap packed;
  packed.SetLocation(ieInMemory);
  packed.Allocate(3, 2, ie24RGB);
  packed.SetRowAlignment(8);
  packed.Fill(0x123456);
  const auto packedBytes = Record(packed);
  TIEBitmap back;
  ASSERT_TRUE(back.LoadRaw(packedBytes.data(), packedBytes.size(), nullptr));
  EXPECT_EQ(back.GetRowLength(), 9);
  EXPECT_EQ(back.GetPixel24(2, 1), packed.GetPixel24(2, 1));
}

TEST_F(RawTest, DamagedRecordsFailAndLeaveTheBitmap) {
  auto b = Sample();
  const auto good = Record(*b);
  auto damaged = [&](size_t offset, std::vector<uint8_t> bytes) {
    auto copy = good;
    std::memcpy(copy.data() + offset, bytes.data(), bytes.size());
    return copy;
  };
  const size_t header = 20 + 3 * 256;  // width follows the palette
  auto le = [](int32_t v) {
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &v, 4);
    return bytes;
  };
  const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
      {"signature", damaged(11, {'w'})},
      {"negative version", damaged(12, le(-1))},
      {"palette longer than 256", damaged(16, le(257))},
      {"negative palette length", damaged(16, le(-3))},
      {"negative width", damaged(header, le(-5))},
      {"huge height", damaged(header + 4, le(0x7FFFFFFF))},
      {"huge width", damaged(header, le(0x7FFFFFFF))},
      {"unknown format", damaged(header + 8, {11})},
      {"no format", damaged(header + 8, {0})},
      {"palette used past 256", damaged(header + 10, le(1000))},
      {"odd alignment", damaged(header + 51, le(12))},
      {"zero alignment", damaged(header + 51, le(0))},
      {"alpha byte", damaged(header + 55 + 3 * 8, {2})},
  };
  for (const auto& [name, bytes] : cases) {
    TIEBitmap target(2, 2, ie24RGB);
    target.Fill(0x0A0B0C);
    EXPECT_FALSE(target.LoadRaw(bytes.data(), bytes.size(), nullptr)) << name;
    EXPECT_EQ(target.GetWidth(), 2) << name;
    EXPECT_EQ(target.GetPixel24(1, 1), (TRGB{0x0A, 0x0B, 0x0C})) << name;
  }
  // Every cut of a good record fails cleanly, from a buffer and from a stream.
  for (size_t size = 0; size < good.size(); ++size) {
    TIEBitmap target;
    EXPECT_FALSE(target.LoadRaw(good.data(), size, nullptr)) << size;
    TIEMemStream stream(good.data(), size);
    EXPECT_FALSE(target.LoadRaw(nullptr, 0, &stream)) << size;
  }
}

}  // namespace
