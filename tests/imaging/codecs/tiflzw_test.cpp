#include "imaging/codecs/tiflzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/codecs/lzw_support.h"

namespace {

using namespace std::string_literals;

constexpr int kClear = 256, kEnd = 257;

// Encodes the pixels one row per call, then closes the strip.
Bytes EncodeStrip(const Bytes& pixels, size_t rowBytes) {
  TMemoryStream out;
  void* state = nullptr;
  for (size_t at = 0; at < pixels.size(); at += rowBytes)
    EncodeTIFFLZW(pixels.data() + at, static_cast<int32_t>(std::min(rowBytes, pixels.size() - at)), out, state);
  EncodeTIFFLZW(nullptr, 0, out, state);
  EXPECT_EQ(state, nullptr);
  return StreamBytes(out);
}

struct DecodedStrip {
  Bytes pixels;      // the rows returned, one after the other
  size_t rows = 0;   // rows returned before the first nil
  bool nilAfterNil = true;  // once nil, later calls gave nil too
};

// Decodes up to `rows` rows from an exactly sized copy of the strip.
DecodedStrip DecodeStrip(const Bytes& strip, size_t rowBytes, size_t rows, int32_t fillOrder = 1) {
  const ExactCopy input(strip);
  DecodedStrip result;
  void* state = nullptr;
  const auto length = static_cast<int32_t>(rowBytes);
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = DecodeTIFFLZW(input.data.get(), input.size, length, state, fillOrder);
    if (!row) {
      result.nilAfterNil = DecodeTIFFLZW(input.data.get(), input.size, length, state, fillOrder) == nullptr;
      break;
    }
    result.pixels.insert(result.pixels.end(), row, row + rowBytes);
    ++result.rows;
  }
  EXPECT_EQ(DecodeTIFFLZW(nullptr, 0, length, state, fillOrder), nullptr);
  EXPECT_EQ(state, nullptr);
  // The whole-strip decoder into an exactly sized output agrees: whole
  // where every row came, failed where one did not.
  const size_t size = rowBytes * rows;
  const std::unique_ptr<uint8_t[]> out(new uint8_t[size]);
  const bool whole = DecodeTIFFLZWStrip(input.data.get(), input.size, out.get(), size, fillOrder);
  EXPECT_EQ(whole, result.rows == rows);
  if (whole) {
    EXPECT_TRUE(std::equal(out.get(), out.get() + size, result.pixels.begin()));
  }
  return result;
}

Bytes ReversedBits(Bytes bytes) {
  for (auto& b : bytes) IEReverseBits8(b);
  return bytes;
}

// Packs TIFF codes with the width the decoder expects: each code after the
// first one after a clear makes one new string.
Bytes PackTIFFCodes(const std::vector<int>& codes) {
  CodePacker packer(true);
  int nextFree = 258;
  bool first = true;
  for (int code : codes) {
    const int width = nextFree >= 2047 ? 12 : nextFree >= 1023 ? 11 : nextFree >= 511 ? 10 : 9;
    packer.Put(static_cast<uint32_t>(code), width);
    if (code == kClear) {
      nextFree = 258;
      first = true;
    } else if (code != kEnd) {
      if (!first) ++nextFree;
      first = false;
    }
  }
  return packer.Data();
}

struct RoundTripCase {
  const char* name;
  size_t rowBytes, rows;
  int bits;  // of the sample values
};

// Rows of one byte put every string across a row boundary; the large noisy
// strips fill the string table many times over.
const RoundTripCase kRoundTrips[] = {
    {"single byte", 1, 1, 8},       {"one byte per row", 1, 3000, 2},   {"short rows", 3, 700, 8},
    {"grey rows", 640, 40, 8},      {"two-level rows", 125, 80, 1},     {"long noisy strip", 4096, 60, 8},
    {"odd row length", 1001, 17, 4},
};

TEST(TIFFLZW, RoundTripRowByRowInBothFillOrders) {
  for (const auto& c : kRoundTrips) {
    const Bytes pixels = SamplePixels(c.rowBytes * c.rows, c.bits, static_cast<uint32_t>(c.rowBytes));
    const Bytes strip = EncodeStrip(pixels, c.rowBytes);
    ASSERT_FALSE(strip.empty()) << c.name;
    auto plain = DecodeStrip(strip, c.rowBytes, c.rows, 1);
    EXPECT_EQ(plain.rows, c.rows) << c.name;
    EXPECT_TRUE(plain.pixels == pixels) << c.name;
    auto reversed = DecodeStrip(ReversedBits(strip), c.rowBytes, c.rows, 2);
    EXPECT_TRUE(reversed.pixels == pixels) << c.name << ", fill order 2";
  }
}

TEST(TIFFLZW, OneRunOfOneValueRoundTrips) {
  const Bytes pixels(10000, 0x5A);
  const Bytes strip = EncodeStrip(pixels, 10000);
  EXPECT_LT(strip.size(), 300u);
  EXPECT_TRUE(DecodeStrip(strip, 10000, 1).pixels == pixels);
}

TEST(TIFFLZW, EncoderTakesPiecesOfAnyLength) {
  // An empty first piece, then pieces that do not follow the rows.
  const Bytes pixels = SamplePixels(5000, 8, 7);
  TMemoryStream out;
  void* state = nullptr;
  EncodeTIFFLZW(pixels.data(), 0, out, state);
  for (size_t at = 0, piece = 1; at < pixels.size(); at += piece, piece = piece * 3 % 1001 + 1)
    EncodeTIFFLZW(pixels.data() + at, static_cast<int32_t>(std::min(piece, pixels.size() - at)), out, state);
  EncodeTIFFLZW(nullptr, 0, out, state);
  EXPECT_TRUE(DecodeStrip(StreamBytes(out), 100, 50).pixels == pixels);
}

TEST(TIFFLZW, EmptyStripIsAClearAndAnEndCode) {
  TMemoryStream out;
  void* state = nullptr;
  EncodeTIFFLZW(nullptr, 0, out, state);  // nothing to close: nothing written
  EXPECT_EQ(out.Size(), 0);
  uint8_t none = 0;
  EncodeTIFFLZW(&none, 0, out, state);
  EncodeTIFFLZW(nullptr, 0, out, state);
  EXPECT_TRUE(StreamBytes(out) == PackTIFFCodes({kClear, kEnd}));
}

// A stream whose every write falls short.
class FullStream : public TStream {
public:
  int32_t Read(void*, int32_t) override { return 0; }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t, TSeekOrigin) override { return 0; }
};

TEST(TIFFLZW, EncoderRaisesOnShortWritesAndStillFreesItsState) {
  FullStream full;
  void* state = nullptr;
  const Bytes pixels = SamplePixels(100, 8, 1);
  EncodeTIFFLZW(pixels.data(), 100, full, state);  // held in the 254-byte block
  ASSERT_NE(state, nullptr);
  EXPECT_THROW(EncodeTIFFLZW(nullptr, 0, full, state), EWriteError);
  EXPECT_EQ(state, nullptr);  // and the sanitizer sees no leak
}

TEST(TIFFLZW, StripWithoutLeadingClearDecodesAsWithOne) {
  const std::vector<int> codes = {'A', 'B', 258, 'C', 259, kEnd};
  std::vector<int> cleared = {kClear};
  cleared.insert(cleared.end(), codes.begin(), codes.end());
  const Bytes expected = AsBytes("ABABCBA");
  EXPECT_TRUE(DecodeStrip(PackTIFFCodes(cleared), 7, 1).pixels == expected);
  EXPECT_TRUE(DecodeStrip(PackTIFFCodes(codes), 7, 1).pixels == expected);
}

TEST(TIFFLZW, RepeatedClearCodesAreOne) {
  EXPECT_TRUE(DecodeStrip(PackTIFFCodes({kClear, kClear, kClear, 'x', 'y', 258, kEnd}), 4, 1).pixels ==
              AsBytes("xyxy"s));
}

// Rows the codes cannot fill fail the strip; whole rows before them decode.
TEST(TIFFLZW, RowsTheCodesCannotFillFailTheStrip) {
  // Each row is 4 bytes; the codes give 6, so the second row is half full.
  const Bytes ended = PackTIFFCodes({kClear, 'a', 'b', 'c', 'd', 'e', 'f', kEnd});
  Bytes trailing = ended;
  trailing.insert(trailing.end(), 40, 0x41);  // anything after the end code is not LZW data
  const struct {
    const char* name;
    Bytes strip;
  } kCases[] = {
      {"end code", ended},
      {"bytes after the end code", trailing},
      {"the data runs out", PackTIFFCodes({kClear, 'a', 'b', 'c', 'd', 'e', 'f'})},
      {"a code that has no string yet", PackTIFFCodes({kClear, 'a', 'b', 'c', 'd', 'e', 'f', 300, 'g'})},
  };
  for (const auto& c : kCases) {
    const auto decoded = DecodeStrip(c.strip, 4, 4);
    EXPECT_EQ(decoded.rows, 1u) << c.name;
    EXPECT_TRUE(decoded.pixels == AsBytes("abcd"s)) << c.name;
    EXPECT_TRUE(decoded.nilAfterNil) << c.name;
  }
  EXPECT_EQ(DecodeStrip(ended, 3, 2).rows, 2u) << "an end code right after the last row";
}

TEST(TIFFLZW, TruncatedStripFailsAtTheRowItCuts) {
  const size_t rowBytes = 200, rows = 30;
  const Bytes pixels = SamplePixels(rowBytes * rows, 8, 3);
  const Bytes strip = EncodeStrip(pixels, rowBytes);
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, strip.size() / 3, strip.size() * 9 / 10}) {
    const auto decoded = DecodeStrip(Bytes(strip.begin(), strip.begin() + static_cast<long>(cut)), rowBytes, rows);
    EXPECT_LT(decoded.rows, rows) << cut;
    EXPECT_TRUE(decoded.nilAfterNil) << cut;
    // The rows before the cut agree with the image; every whole code read
    // (of at most 12 bits) gave at least one byte.
    EXPECT_TRUE(std::equal(decoded.pixels.begin(), decoded.pixels.end(), pixels.begin())) << cut;
    EXPECT_GE((decoded.rows + 1) * rowBytes + 2, cut * 8 / 12) << cut;
  }
  EXPECT_EQ(DecodeStrip(strip, rowBytes, rows).rows, rows);
}

TEST(TIFFLZW, CorruptStripsFailAndStayFailed) {
  // Literals fill the table: after a clear, n literals make n - 1 strings,
  // and 3838 strings take the table to its last code, 4095.
  auto literals = [](int n) {
    std::vector<int> codes = {kClear};
    for (int i = 0; i < n; ++i) codes.push_back(i % 256);
    return codes;
  };
  std::vector<int> full = literals(3839);
  full.push_back(kEnd);
  const auto fits = DecodeStrip(PackTIFFCodes(full), 3839, 1);
  ASSERT_EQ(fits.rows, 1u) << "a table filled to code 4095 is fine";
  EXPECT_EQ(fits.pixels[3838], 3838 % 256);

  const struct {
    const char* name;
    std::vector<int> codes;
  } kCases[] = {
      {"clear then a code without a string", {kClear, 300, 'a', 'b'}},
      {"clear then the next free code", {kClear, 258, 'a', 'b'}},
      {"first code without a string", {258, 'a', 'b'}},
      {"more strings than codes", literals(3840)},
  };
  for (const auto& c : kCases) {
    const auto decoded = DecodeStrip(PackTIFFCodes(c.codes), 5000, 3);
    EXPECT_EQ(decoded.rows, 0u) << c.name;
    EXPECT_TRUE(decoded.nilAfterNil) << c.name;
  }
}

TEST(TIFFLZW, DecoderRefusesWhatItCannotServe) {
  const Bytes strip = EncodeStrip(Bytes(10, 1), 10);
  const ExactCopy input(strip);
  void* state = nullptr;
  EXPECT_EQ(DecodeTIFFLZW(input.data.get(), input.size, 0, state, 1), nullptr);
  EXPECT_EQ(state, nullptr);
  ASSERT_NE(DecodeTIFFLZW(input.data.get(), input.size, 5, state, 1), nullptr);
  EXPECT_EQ(DecodeTIFFLZW(input.data.get(), input.size, 6, state, 1), nullptr) << "the row length is the first call's";
  EXPECT_EQ(DecodeTIFFLZW(nullptr, 0, 5, state, 1), nullptr);
  EXPECT_EQ(state, nullptr);
}

// ---- libtiff as the judge -------------------------------------------------------

// A little-endian 8-bit grey TIFF with one strip per `rowsPerStrip` rows.
Bytes MakeGreyTIFF(uint32_t width, uint32_t height, uint16_t compression, uint16_t fillOrder,
                   const std::vector<Bytes>& strips, uint32_t rowsPerStrip) {
  const uint32_t count = static_cast<uint32_t>(strips.size());
  const uint16_t entries = 10;
  const uint32_t arrays = 8 + 2 + entries * 12 + 4;  // strip offsets, then byte counts
  uint32_t data = count == 1 ? arrays : arrays + 8 * count;
  Bytes out = {'I', 'I', 42, 0};
  PutLE(out, 8, 4);
  PutLE(out, entries, 2);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t n, uint32_t value) {
    PutLE(out, tag, 2);
    PutLE(out, type, 2);
    PutLE(out, n, 4);
    PutLE(out, value, 4);
  };
  entry(256, 4, 1, width);
  entry(257, 4, 1, height);
  entry(258, 3, 1, 8);
  entry(259, 3, 1, compression);
  entry(262, 3, 1, 1);
  entry(266, 3, 1, fillOrder);
  entry(273, 4, count, count == 1 ? data : arrays);
  entry(277, 3, 1, 1);
  entry(278, 4, 1, rowsPerStrip);
  entry(279, 4, count, count == 1 ? static_cast<uint32_t>(strips[0].size()) : arrays + 4 * count);
  PutLE(out, 0, 4);
  if (count > 1) {
    for (const auto& s : strips) {
      PutLE(out, data, 4);
      data += static_cast<uint32_t>(s.size());
    }
    for (const auto& s : strips) PutLE(out, static_cast<uint32_t>(s.size()), 4);
  }
  for (const auto& s : strips) out.insert(out.end(), s.begin(), s.end());
  return out;
}

// The strips of the first directory of a little-endian TIFF, and its fill order.
std::vector<Bytes> TIFFStrips(const Bytes& file, int& fillOrder) {
  std::vector<Bytes> strips;
  fillOrder = 1;
  if (file.size() < 8 || file[0] != 'I') return strips;
  const uint32_t ifd = GetLE(file, 4, 4);
  const uint32_t entries = GetLE(file, ifd, 2);
  std::vector<uint32_t> offsets, counts;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t at = ifd + 2 + 12 * i;
    const uint32_t tag = GetLE(file, at, 2), type = GetLE(file, at + 2, 2), n = GetLE(file, at + 4, 4);
    const int size = type == 3 ? 2 : 4;
    const size_t values = n * size <= 4 ? at + 8 : GetLE(file, at + 8, 4);
    auto list = [&] {
      std::vector<uint32_t> v;
      for (uint32_t k = 0; k < n; ++k) v.push_back(GetLE(file, values + k * size, size));
      return v;
    };
    if (tag == 273) offsets = list();
    if (tag == 279) counts = list();
    if (tag == 266) fillOrder = static_cast<int>(GetLE(file, values, size));
  }
  for (size_t i = 0; i < offsets.size() && i < counts.size() && offsets[i] + size_t{counts[i]} <= file.size(); ++i)
    strips.emplace_back(file.begin() + offsets[i], file.begin() + offsets[i] + counts[i]);
  return strips;
}

class TIFFLZWJudge : public testing::Test {
protected:
  void SetUp() override {
    if (!ToolPresent("tiffcp")) GTEST_SKIP() << "tiffcp is not installed";
  }
  // Runs tiffcp with the options on the TIFF; the output file, or empty.
  Bytes TiffCopy(const Bytes& tiff, const std::string& options) {
    const std::string in = folder_.File("in.tif"), out = folder_.File("out.tif");
    WriteFile(in, AsString(tiff));
    std::filesystem::remove(out);
    if (RunCommand("tiffcp " + options + " " + in + " " + out + " 2>/dev/null") != 0) return {};
    return AsBytes(ReadFile(out));
  }
  TempFolder folder_;
};

TEST_F(TIFFLZWJudge, LibtiffDecodesOurStrips) {
  const uint32_t width = 301, height = 157;
  const Bytes pixels = SamplePixels(size_t{width} * height, 8, 11);
  const Bytes strip = EncodeStrip(pixels, width);
  for (uint16_t fillOrder : {1, 2}) {
    const Bytes tiff = MakeGreyTIFF(width, height, 5, fillOrder, {fillOrder == 2 ? ReversedBits(strip) : strip}, height);
    const Bytes plain = TiffCopy(tiff, "-c none -f msb2lsb -r " + std::to_string(height));
    int outFillOrder = 0;
    const auto strips = TIFFStrips(plain, outFillOrder);
    ASSERT_EQ(strips.size(), 1u) << "fill order " << fillOrder;
    EXPECT_TRUE(strips[0] == pixels) << "fill order " << fillOrder;
  }
}

TEST_F(TIFFLZWJudge, WeDecodeLibtiffStrips) {
  const uint32_t width = 233, height = 120, rowsPerStrip = 16;
  const Bytes pixels = SamplePixels(size_t{width} * height, 8, 5);
  const Bytes tiff = MakeGreyTIFF(width, height, 1, 1, {pixels}, height);
  for (const char* fill : {"msb2lsb", "lsb2msb"}) {
    const Bytes lzw = TiffCopy(tiff, std::string("-c lzw -f ") + fill + " -r " + std::to_string(rowsPerStrip));
    int fillOrder = 0;
    const auto strips = TIFFStrips(lzw, fillOrder);
    ASSERT_EQ(strips.size(), (height + rowsPerStrip - 1) / rowsPerStrip) << fill;
    EXPECT_EQ(fillOrder, std::string(fill) == "lsb2msb" ? 2 : 1);
    Bytes decoded;
    for (size_t s = 0; s < strips.size(); ++s) {
      const size_t rows = std::min<size_t>(rowsPerStrip, height - s * rowsPerStrip);
      const auto part = DecodeStrip(strips[s], width, rows, fillOrder);
      ASSERT_EQ(part.rows, rows) << fill << " strip " << s;
      decoded.insert(decoded.end(), part.pixels.begin(), part.pixels.end());
    }
    EXPECT_TRUE(decoded == pixels) << fill;
  }
}

}  // namespace
