#include "imaging/codecs/giflzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <map>

#include "tests/imaging/codecs/lzw_support.h"

namespace {

Bytes EncodeGIF(const Bytes& pixels, int32_t width, int32_t height, bool interlaced, int32_t bitsPerPixel) {
  TMemoryStream out;
  EncodeGIFLZW(out, height, width, interlaced, pixels.data(), bitsPerPixel);
  return StreamBytes(out);
}

struct DecodedGIF {
  Bytes pixels;
  int64_t position = 0;  // of the stream afterwards; the data starts at kLead
};

constexpr int64_t kLead = 3;  // bytes in front of the data, so that "put back" is not "at 0"

// Decodes the data (behind kLead other bytes) into an exactly sized buffer
// that starts out as 0xEE.
DecodedGIF DecodeGIF(const Bytes& data, int32_t width, int32_t height, bool interlaced) {
  TMemoryStream in;
  in.Write("GIF", kLead);
  if (!data.empty()) in.Write(data.data(), static_cast<int32_t>(data.size()));
  in.SetPosition(kLead);
  const size_t count = size_t(width) * size_t(height);
  ExactCopy pixels(Bytes(count, 0xEE));
  DecodeGIFLZW(in, height, width, interlaced, pixels.data.get());
  return {Bytes(pixels.data.get(), pixels.data.get() + count), in.Position()};
}

// Packs GIF codes (code size, sub-blocks and terminator around them) with
// the width the decoder expects: each code after the first one after a
// clear makes one new string while the table has room.
Bytes PackGIFCodes(int codeSize, const std::vector<int>& codes, bool terminate = true) {
  const int clear = 1 << codeSize, end = clear + 1;
  CodePacker packer(false);
  int nextFree = end + 1, width = codeSize + 1, sinceClear = 0;
  for (int code : codes) {
    packer.Put(static_cast<uint32_t>(code), width);
    if (code == clear) {
      nextFree = end + 1;
      sinceClear = 0;
    } else if (code != end && ++sinceClear >= 2 && nextFree < 4096) {
      ++nextFree;
    }
    width = std::min(12, std::max(codeSize + 1, static_cast<int>(std::bit_width(static_cast<unsigned>(nextFree)))));
  }
  Bytes out = {static_cast<uint8_t>(codeSize)};
  const Bytes& data = packer.Data();
  for (size_t at = 0; at < data.size(); at += 255) {
    const size_t n = std::min<size_t>(255, data.size() - at);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
  }
  if (terminate) out.push_back(0);
  return out;
}

// Plain LZW codes of the pixels that never clear the table: when it is
// full, the codes go on naming the strings it holds. With `leadingClear`
// false the codes begin without a clear code.
std::vector<int> PlainLZWCodes(const Bytes& pixels, int codeSize, bool leadingClear) {
  const int clear = 1 << codeSize;
  std::map<std::pair<int, uint8_t>, int> strings;
  int nextFree = clear + 2;
  std::vector<int> codes;
  if (leadingClear) codes.push_back(clear);
  int prefix = pixels.at(0);
  for (size_t i = 1; i < pixels.size(); ++i) {
    const auto found = strings.find({prefix, pixels[i]});
    if (found != strings.end()) {
      prefix = found->second;
      continue;
    }
    codes.push_back(prefix);
    if (nextFree < 4096) strings[{prefix, pixels[i]}] = nextFree++;
    prefix = pixels[i];
  }
  codes.push_back(prefix);
  codes.push_back(clear + 1);
  return codes;
}

TEST(GIFLZW, RoundTripForEveryDepthInterlacedOrNot) {
  struct Size {
    int32_t width, height;
  };
  for (int bits = 1; bits <= 8; ++bits) {
    for (bool interlaced : {false, true}) {
      for (Size size : {Size{1, 1}, Size{37, 23}, Size{3, 9}, Size{300, 211}}) {
        const Bytes pixels = SamplePixels(size_t(size.width) * size_t(size.height), bits, uint32_t(bits * 31 + size.width));
        const Bytes data = EncodeGIF(pixels, size.width, size.height, interlaced, bits);
        const auto where = testing::Message() << bits << " bits, " << size.width << "x" << size.height
                                              << (interlaced ? " interlaced" : "");
        ASSERT_GE(data.size(), 3u) << where;
        EXPECT_EQ(data[0], std::max(bits, 2)) << where;
        EXPECT_EQ(data.back(), 0) << where;
        const auto decoded = DecodeGIF(data, size.width, size.height, interlaced);
        EXPECT_TRUE(decoded.pixels == pixels) << where;
        EXPECT_EQ(decoded.position, kLead + static_cast<int64_t>(data.size())) << where;
      }
    }
  }
}

TEST(GIFLZW, InterlacedRowsComeInFourPasses) {
  // Height 5: the data holds rows 0, 4, 2, 1, 3.
  const Bytes rows = {10, 11, 12, 13, 14};
  const auto read = DecodeGIF(EncodeGIF(rows, 1, 5, false, 4), 1, 5, true);
  EXPECT_TRUE(read.pixels == (Bytes{10, 13, 12, 14, 11}));
  const auto written = DecodeGIF(EncodeGIF(rows, 1, 5, true, 4), 1, 5, false);
  EXPECT_TRUE(written.pixels == (Bytes{10, 14, 12, 11, 13}));
}

TEST(GIFLZW, EncoderIgnoresIndexBitsAboveItsDepth) {
  const Bytes pixels = {0, 1, 2, 3, 0xFC, 0xFD, 0xFE, 0xFF};
  const auto decoded = DecodeGIF(EncodeGIF(pixels, 4, 2, false, 1), 4, 2, false);
  EXPECT_TRUE(decoded.pixels == (Bytes{0, 1, 2, 3, 0, 1, 2, 3})) << "1-bit data has a code size of 2";
  EXPECT_EQ(EncodeGIF(pixels, 4, 2, false, 12)[0], 8);
}

TEST(GIFLZW, FullTableWithoutClearCodeGoesOn) {
  // Noise fills the 4096 codes long before the end of the image.
  const int32_t width = 200, height = 150;
  const Bytes pixels = SamplePixels(size_t(width) * height, 8, 99);
  const auto decoded = DecodeGIF(PackGIFCodes(8, PlainLZWCodes(pixels, 8, true)), width, height, false);
  EXPECT_TRUE(decoded.pixels == pixels);
}

TEST(GIFLZW, DataWithoutLeadingClearCode) {
  const Bytes pixels = SamplePixels(500, 3, 4);
  const Bytes data = PackGIFCodes(3, PlainLZWCodes(pixels, 3, false));
  const auto decoded = DecodeGIF(data, 25, 20, false);
  EXPECT_TRUE(decoded.pixels == pixels);
  EXPECT_EQ(decoded.position, kLead + static_cast<int64_t>(data.size()));
}

TEST(GIFLZW, CorruptDataPutsTheStreamBack) {
  const struct {
    const char* name;
    Bytes data;
  } kCases[] = {
      {"no data at all", {}},
      {"code size 0", {0, 2, 0x44, 0x01, 0}},
      {"code size 1", {1, 2, 0x44, 0x01, 0}},
      {"code size 10", {10, 2, 0x44, 0x01, 0}},
      {"code size 255", {255, 2, 0x44, 0x01, 0}},
      // Code size 2: clear 4, end 5; after "1, 2, 3" the next free code is 8
      // and codes have 4 bits.
      {"code above the next free code", PackGIFCodes(2, {4, 1, 2, 3, 12, 1, 1, 5})},
      {"first code above the next free code", PackGIFCodes(2, {7, 1, 1, 5})},
      {"end code after a clear code, data behind", PackGIFCodes(2, {4, 5, 1, 2, 3, 0, 1, 2, 3, 0})},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(DecodeGIF(c.data, 4, 4, false).position, kLead) << c.name;
  }
}

TEST(GIFLZW, DataThatEndsEarlyEndsQuietly) {
  const Bytes pixels = SamplePixels(400, 8, 17);
  const Bytes data = EncodeGIF(pixels, 20, 20, false, 8);
  const struct {
    const char* name;
    Bytes data;
    size_t pixelsKept;  // at least
  } kCases[] = {
      {"empty sub-block chain", {8, 0}, 0},
      {"code size and nothing else", {8}, 0},
      {"clear and end codes only", PackGIFCodes(8, {256, 257}), 0},
      {"cut inside a sub-block", Bytes(data.begin(), data.begin() + 100), 60},
      {"sub-block longer than the data", Bytes{8, 200, 0x00, 0x03}, 0},
      {"no terminator", Bytes(data.begin(), data.end() - 1), 400},
  };
  for (const auto& c : kCases) {
    const auto decoded = DecodeGIF(c.data, 20, 20, false);
    EXPECT_EQ(decoded.position, kLead + static_cast<int64_t>(c.data.size())) << c.name;
    size_t same = 0;
    while (same < pixels.size() && decoded.pixels[same] == pixels[same]) ++same;
    EXPECT_GE(same, c.pixelsKept) << c.name;
    EXPECT_TRUE(std::all_of(decoded.pixels.begin() + static_cast<long>(same), decoded.pixels.end(),
                            [](uint8_t p) { return p == 0; }))
        << c.name << ": the pixels that the data does not reach are 0";
  }
}

TEST(GIFLZW, CutInterlacedDataPutsEveryRowItReachesInItsPlace) {
  const Bytes pixels = SamplePixels(400, 8, 29);
  const Bytes whole = EncodeGIF(pixels, 20, 20, true, 8);
  // The rows of a 20-row image in the order its passes hold them.
  const int rowsInPassOrder[20] = {0, 8, 16, 4, 12, 2, 6, 10, 14, 18, 1, 3, 5, 7, 9, 11, 13, 15, 17, 19};
  for (size_t cut : {size_t{60}, size_t{150}, whole.size() - 1, whole.size()}) {
    const Bytes data(whole.begin(), whole.begin() + static_cast<long>(cut));
    // Read as not interlaced, the same data gives the rows in pass order, zeros where it ends.
    const auto passes = DecodeGIF(data, 20, 20, false);
    const auto placed = DecodeGIF(data, 20, 20, true);
    for (int i = 0; i < 20; ++i)
      EXPECT_TRUE(std::equal(passes.pixels.begin() + 20 * i, passes.pixels.begin() + 20 * (i + 1),
                             placed.pixels.begin() + 20 * rowsInPassOrder[i]))
          << "cut at " << cut << ", row " << rowsInPassOrder[i];
  }
}

TEST(GIFLZW, PixelsBeyondTheImageAreDropped) {
  const Bytes pixels = SamplePixels(400, 8, 23);
  const auto decoded = DecodeGIF(EncodeGIF(pixels, 20, 20, false, 8), 10, 10, false);
  EXPECT_TRUE(std::equal(decoded.pixels.begin(), decoded.pixels.end(), pixels.begin()));
}

// ---- netpbm as the judge ----------------------------------------------------------

// The colour of palette index i: red i tells the index back.
Bytes PaletteColour(int i) { return {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)}; }

// A GIF with a global table of 2^bits entries around LZW data.
Bytes MakeGIF(int32_t width, int32_t height, int bits, bool interlaced, const Bytes& lzw) {
  Bytes gif = AsBytes("GIF89a");
  PutLE(gif, uint32_t(width), 2);
  PutLE(gif, uint32_t(height), 2);
  gif.push_back(static_cast<uint8_t>(0x80 | (bits - 1) << 4 | (bits - 1)));
  gif.push_back(0);
  gif.push_back(0);
  for (int i = 0; i < 1 << bits; ++i) {
    const Bytes c = PaletteColour(i);
    gif.insert(gif.end(), c.begin(), c.end());
  }
  gif.push_back(0x2C);
  PutLE(gif, 0, 4);
  PutLE(gif, uint32_t(width), 2);
  PutLE(gif, uint32_t(height), 2);
  gif.push_back(interlaced ? 0x40 : 0);
  gif.insert(gif.end(), lzw.begin(), lzw.end());
  gif.push_back(0x3B);
  return gif;
}

// Where the first image's LZW data starts, with its size, interlace flag and
// colour table; false when the file is not understood.
struct GIFImage {
  int32_t width = 0, height = 0;
  bool interlaced = false;
  Bytes palette;
  size_t dataAt = 0;
};

bool FindGIFImage(const Bytes& gif, GIFImage& image) {
  if (gif.size() < 13 || gif[0] != 'G') return false;
  size_t at = 13;
  auto table = [&](uint8_t flags) {
    const size_t n = size_t{3} << ((flags & 7) + 1);
    image.palette.assign(gif.begin() + static_cast<long>(at), gif.begin() + static_cast<long>(std::min(at + n, gif.size())));
    at += n;
  };
  if (gif[10] & 0x80) table(gif[10]);
  while (at < gif.size()) {
    const uint8_t block = gif[at++];
    if (block == 0x21) {
      ++at;
      while (at < gif.size() && gif[at] != 0) at += gif[at] + 1u;
      ++at;
    } else if (block == 0x2C) {
      image.width = static_cast<int32_t>(GetLE(gif, at + 4, 2));
      image.height = static_cast<int32_t>(GetLE(gif, at + 6, 2));
      const uint8_t flags = gif.at(at + 8);
      image.interlaced = flags & 0x40;
      at += 9;
      if (flags & 0x80) table(flags);
      image.dataAt = at;
      return at < gif.size();
    } else {
      return false;
    }
  }
  return false;
}

class GIFLZWJudge : public testing::Test {
protected:
  void SetUp() override {
    if (!ToolPresent("giftopnm") || !ToolPresent("ppmtogif")) GTEST_SKIP() << "netpbm is not installed";
  }
  TempFolder folder_;
};

TEST_F(GIFLZWJudge, GiftopnmDecodesOurData) {
  const int32_t width = 123, height = 77;
  for (int bits = 1; bits <= 8; ++bits) {
    for (bool interlaced : {false, true}) {
      const Bytes pixels = SamplePixels(size_t(width) * height, bits, uint32_t(bits));
      const std::string gif = folder_.File("ours.gif"), pnm = folder_.File("ours.pnm");
      WriteFile(gif, AsString(MakeGIF(width, height, bits, interlaced, EncodeGIF(pixels, width, height, interlaced, bits))));
      std::filesystem::remove(pnm);
      ASSERT_EQ(RunCommand("giftopnm " + gif + " > " + pnm + " 2>/dev/null"), 0) << bits;
      const Picture picture = ReadPNM(ReadFile(pnm));
      ASSERT_EQ(picture.width, width) << bits;
      ASSERT_EQ(picture.height, height) << bits;
      Bytes expected;
      for (uint8_t p : pixels) {
        const Bytes c = PaletteColour(p);
        expected.insert(expected.end(), c.begin(), c.end());
      }
      EXPECT_TRUE(picture.rgb == expected) << bits << " bits" << (interlaced ? ", interlaced" : "");
    }
  }
}

TEST_F(GIFLZWJudge, WeDecodePpmtogifData) {
  const int32_t width = 211, height = 97;
  for (int colours : {2, 16, 200}) {
    for (bool interlaced : {false, true}) {
      Bytes rgb;
      for (uint8_t v : SamplePixels(size_t(width) * height, 8, uint32_t(colours))) {
        const Bytes c = PaletteColour(v % colours);
        rgb.insert(rgb.end(), c.begin(), c.end());
      }
      const std::string ppm = folder_.File("in.ppm"), gif = folder_.File("theirs.gif");
      WriteFile(ppm, WritePPM(width, height, rgb));
      ASSERT_EQ(RunCommand(std::string("ppmtogif ") + (interlaced ? "-interlace " : "") + ppm + " > " + gif +
                           " 2>/dev/null"),
                0);
      const Bytes file = AsBytes(ReadFile(gif));
      GIFImage image;
      ASSERT_TRUE(FindGIFImage(file, image)) << colours;
      ASSERT_EQ(image.interlaced, interlaced);
      ASSERT_EQ(image.width, width);
      ASSERT_EQ(image.height, height);

      TMemoryStream in;
      in.Write(file.data(), static_cast<int32_t>(file.size()));
      in.SetPosition(static_cast<int64_t>(image.dataAt));
      Bytes indexes(size_t(width) * height);
      DecodeGIFLZW(in, height, width, image.interlaced, indexes.data());
      ASSERT_GT(in.Position(), static_cast<int64_t>(image.dataAt)) << colours;
      EXPECT_EQ(file.at(static_cast<size_t>(in.Position())), 0x3B) << "left after the terminator";
      Bytes decoded;
      for (uint8_t i : indexes) {
        ASSERT_LT(i * 3u + 2, image.palette.size());
        decoded.insert(decoded.end(), image.palette.begin() + i * 3, image.palette.begin() + i * 3 + 3);
      }
      EXPECT_TRUE(decoded == rgb) << colours << " colours" << (interlaced ? ", interlaced" : "");
    }
  }
}

}  // namespace
