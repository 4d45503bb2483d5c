// The lossless JPEG decoder against a small encoder of the lossless process
// written here: every predictor, restart intervals, point transforms, table
// numbers and selectors come back to the source samples exactly; damaged and
// hostile streams fail without writing past the target.
#include <gtest/gtest.h>

#include <array>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <random>
#include <vector>

#include "imaging/codecs/iedicom.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Code lengths of the tables the encoder knows: short, 15 codes of 4 bits,
// one of 5 and one of 6; or long, one code of each length 1..13 and four of
// 16 bits, so that codes longer than any lookahead occur. Symbols are
// categories 0..16 in that order or in reverse, so that a component decoded
// with the wrong table goes astray.
constexpr std::array<uint8_t, 16> kShortCounts = {0, 0, 0, 15, 1, 1};
constexpr std::array<uint8_t, 16> kLongCounts = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 4};

const std::array<uint8_t, 16>& CountsOf(bool longCodes) { return longCodes ? kLongCounts : kShortCounts; }

struct Code {
  uint32_t bits;
  int length;
};

Bytes TableSymbols(bool reversed) {
  Bytes s(17);
  for (int i = 0; i < 17; ++i) s[i] = static_cast<uint8_t>(reversed ? 16 - i : i);
  return s;
}

// Canonical codes of each category for one table.
std::array<Code, 17> CodesOf(bool reversed, bool longCodes) {
  const auto& counts = CountsOf(longCodes);
  std::array<Code, 17> codes{};
  const Bytes symbols = TableSymbols(reversed);
  uint32_t code = 0;
  int k = 0;
  for (int len = 1; len <= 16; ++len, code <<= 1)
    for (int i = 0; i < counts[len - 1]; ++i) codes[symbols[k++]] = {code++, len};
  return codes;
}

struct Options {
  int precision = 8, components = 1, predictor = 1, pointTransform = 0;
  int restartLines = 0;  // 0: no restart interval
  // Tables as defined in order: (number, reversed); each component's selector.
  std::vector<std::pair<int, bool>> tables = {{0, false}};
  bool oneTableSegment = true;
  std::array<int, 3> selectors = {0, 0, 0};
  bool longCodes = false;
};

class BitWriter {
public:
  explicit BitWriter(Bytes& out) : out_(out) {}
  void Put(uint32_t bits, int length) {
    for (int i = length - 1; i >= 0; --i) {
      byte_ = static_cast<uint8_t>(byte_ << 1 | ((bits >> i) & 1));
      if (++count_ == 8) Emit();
    }
  }
  // Pads the last byte with 1 bits.
  void Flush() {
    while (count_) Put(1, 1);
  }

private:
  void Emit() {
    out_.push_back(byte_);
    if (byte_ == 0xFF) out_.push_back(0x00);
    byte_ = 0;
    count_ = 0;
  }
  Bytes& out_;
  uint8_t byte_ = 0;
  int count_ = 0;
};

void Put16(Bytes& out, int v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

void Segment(Bytes& out, uint8_t marker, const Bytes& body) {
  out.push_back(0xFF);
  out.push_back(marker);
  Put16(out, static_cast<int>(body.size()) + 2);
  out.insert(out.end(), body.begin(), body.end());
}

Bytes TableBody(int number, bool reversed, bool longCodes) {
  Bytes body = {static_cast<uint8_t>(number)};
  const auto& counts = CountsOf(longCodes);
  body.insert(body.end(), counts.begin(), counts.end());
  const Bytes symbols = TableSymbols(reversed);
  body.insert(body.end(), symbols.begin(), symbols.end());
  return body;
}

void EncodeDifference(BitWriter& bits, const std::array<Code, 17>& codes, int32_t diff) {
  diff &= 0xFFFF;
  if (diff == 0x8000) {
    bits.Put(codes[16].bits, codes[16].length);
    return;
  }
  if (diff >= 0x8000) diff -= 0x10000;
  int category = 0;
  for (int32_t m = diff < 0 ? -diff : diff; m; m >>= 1) ++category;
  bits.Put(codes[category].bits, codes[category].length);
  if (category) bits.Put(static_cast<uint32_t>(diff > 0 ? diff : diff + (1 << category) - 1), category);
}

// The seven predictors from the left (a), upper (b) and upper-left (c) samples.
using Predictor = int32_t (*)(int32_t a, int32_t b, int32_t c);
constexpr Predictor kPredictors[] = {
    [](int32_t a, int32_t, int32_t) { return a; },         [](int32_t, int32_t b, int32_t) { return b; },
    [](int32_t, int32_t, int32_t c) { return c; },         [](int32_t a, int32_t b, int32_t c) { return a + b - c; },
    [](int32_t a, int32_t b, int32_t c) { return a + ((b - c) >> 1); },
    [](int32_t a, int32_t b, int32_t c) { return b + ((a - c) >> 1); },
    [](int32_t a, int32_t b, int32_t) { return (a + b) >> 1; },
};

// A whole lossless JPEG stream of the samples (interleaved, width x lines).
Bytes Encode(const std::vector<int32_t>& samples, int width, int lines, const Options& o) {
  const int nc = o.components;
  Bytes out = {0xFF, 0xD8};
  Bytes frame = {static_cast<uint8_t>(o.precision)};
  Put16(frame, lines);
  Put16(frame, width);
  frame.push_back(static_cast<uint8_t>(nc));
  for (int c = 0; c < nc; ++c) frame.insert(frame.end(), {static_cast<uint8_t>(c + 1), 0x11, 0});
  Segment(out, 0xC3, frame);
  Bytes tables;
  for (const auto& [number, reversed] : o.tables) {
    const Bytes body = TableBody(number, reversed, o.longCodes);
    if (o.oneTableSegment)
      tables.insert(tables.end(), body.begin(), body.end());
    else
      Segment(out, 0xC4, body);
  }
  if (o.oneTableSegment) Segment(out, 0xC4, tables);
  if (o.restartLines) {
    Bytes interval;
    Put16(interval, o.restartLines * width);
    Segment(out, 0xDD, interval);
  }
  Bytes scan = {static_cast<uint8_t>(nc)};
  for (int c = 0; c < nc; ++c)
    scan.insert(scan.end(), {static_cast<uint8_t>(c + 1), static_cast<uint8_t>(o.selectors[c] << 4)});
  scan.insert(scan.end(), {static_cast<uint8_t>(o.predictor), 0, static_cast<uint8_t>(o.pointTransform)});
  Segment(out, 0xDA, scan);

  std::array<std::array<Code, 17>, 4> codes{};
  for (const auto& [number, reversed] : o.tables) codes[number] = CodesOf(reversed, o.longCodes);
  BitWriter bits(out);
  auto at = [&](int x, int y, int c) { return samples[(static_cast<size_t>(y) * width + x) * nc + c] >> o.pointTransform; };
  const int32_t initial = 1 << (o.precision - o.pointTransform - 1);
  for (int y = 0; y < lines; ++y) {
    const bool restart = o.restartLines && y > 0 && y % o.restartLines == 0;
    if (restart) {
      bits.Flush();
      out.insert(out.end(), {0xFF, static_cast<uint8_t>(0xD0 + (y / o.restartLines - 1) % 8)});
    }
    const bool first = y == 0 || restart;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < nc; ++c) {
        const int32_t p = first    ? (x == 0 ? initial : at(x - 1, y, c))
                          : x == 0 ? at(x, y - 1, c)
                                   : kPredictors[o.predictor - 1](at(x - 1, y, c), at(x, y - 1, c), at(x - 1, y - 1, c));
        EncodeDifference(bits, codes[o.selectors[c]], at(x, y, c) - p);
      }
  }
  bits.Flush();
  out.insert(out.end(), {0xFF, 0xD9});
  return out;
}

// Random samples of precision bits with the low pointTransform bits clear;
// the first line starts with a jump of half the range (difference category 16
// at 16 bits).
std::vector<int32_t> Samples(int width, int lines, const Options& o, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<int32_t> s(static_cast<size_t>(width) * lines * o.components);
  const int32_t mask = ((1 << o.precision) - 1) & ~((1 << o.pointTransform) - 1);
  for (auto& v : s) v = static_cast<int32_t>(random()) & mask;
  if (width > 1) {
    s[0] = 0;
    s[o.components] = (1 << (o.precision - 1)) & mask;
  }
  return s;
}

struct Decoded {
  bool ok = false;
  std::vector<int32_t> samples;
};

// Decodes into a target of exactly width x lines x components.
Decoded Decode(const Bytes& stream, int width, int lines, int components, bool sixteen) {
  TMemoryStream ms;
  ms.Write(stream.data(), static_cast<int32_t>(stream.size()));
  ms.Seek(0, soBeginning);
  const size_t n = static_cast<size_t>(width) * lines * components;
  std::vector<uint16_t> out16(sixteen ? n : 0);
  std::vector<uint8_t> out8(sixteen ? 0 : n);
  Decoded d;
  d.ok = IEDecodeLosslessJPEG(ms, sixteen ? out16.data() : nullptr, sixteen ? nullptr : out8.data(), nullptr,
                              nullptr, nullptr, static_cast<int64_t>(stream.size()), {width, lines, components});
  if (sixteen)
    d.samples.assign(out16.begin(), out16.end());
  else
    d.samples.assign(out8.begin(), out8.end());
  return d;
}

// With VESK_LOSSLESS_SEEDS set to a folder, the streams are also written
// there as seeds of the decoder's fuzz target (its four-byte target header first).
void WriteSeed(const Bytes& stream, int width, int lines, int components, bool sixteen) {
  const char* folder = std::getenv("VESK_LOSSLESS_SEEDS");
  if (!folder) return;
  static int count = 0;
  std::ofstream file(std::string(folder) + "/" + std::to_string(count++), std::ios::binary);
  const char header[] = {static_cast<char>((sixteen ? 1 : 0) | (components == 3 ? 2 : 0)), static_cast<char>(width >> 8),
                         static_cast<char>(width), static_cast<char>(lines)};
  file.write(header, 4);
  file.write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
}

void ExpectRoundTrip(const Options& o, int width, int lines, bool sixteen) {
  const auto source = Samples(width, lines, o, static_cast<unsigned>(o.predictor * 31 + o.precision));
  const Bytes stream = Encode(source, width, lines, o);
  WriteSeed(stream, width, lines, o.components, sixteen);
  const Decoded d = Decode(stream, width, lines, o.components, sixteen);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.samples, source);
}

TEST(LosslessJpeg, EveryPredictorAndRestartIntervalReturnsTheSource) {
  struct Layout {
    int precision, components;
    bool sixteen;
    int width, lines;
  };
  const Layout layouts[] = {{8, 1, false, 7, 6}, {16, 1, true, 5, 7}, {12, 1, true, 9, 4},
                            {8, 3, false, 6, 5}, {2, 1, false, 4, 3}, {6, 1, true, 3, 4}};
  for (const Layout& l : layouts)
    for (int predictor = 1; predictor <= 7; ++predictor)
      for (int restart : {0, 1, 2})
        for (bool longCodes : {false, true}) {
          SCOPED_TRACE(testing::Message() << "P " << l.precision << " x" << l.components << " predictor "
                                          << predictor << " restart " << restart << " long codes " << longCodes);
          Options o;
          o.precision = l.precision;
          o.components = l.components;
          o.predictor = predictor;
          o.restartLines = restart;
          o.longCodes = longCodes;
          ExpectRoundTrip(o, l.width, l.lines, l.sixteen);
        }
}

TEST(LosslessJpeg, PointTransformScalesSamplesBack) {
  struct Case {
    int precision, pointTransform, components;
    bool sixteen;
  };
  for (const Case& c : {Case{8, 2, 1, false}, Case{16, 3, 1, true}, Case{12, 11, 1, true}, Case{8, 1, 3, false}}) {
    SCOPED_TRACE(testing::Message() << "P " << c.precision << " Pt " << c.pointTransform);
    Options o;
    o.precision = c.precision;
    o.pointTransform = c.pointTransform;
    o.components = c.components;
    o.predictor = 4;
    o.restartLines = 2;
    ExpectRoundTrip(o, 5, 5, c.sixteen);
  }
}

TEST(LosslessJpeg, TablesAreFoundByTheirNumberAndTheScanSelectors) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, bool>> tables;
    bool oneSegment;
    std::array<int, 3> selectors;
  };
  const Case cases[] = {
      {"two tables in number order", {{0, false}, {1, true}}, true, {1, 0, 1}},
      {"defined against number order", {{1, true}, {0, false}}, true, {0, 1, 0}},
      {"separate segments, numbers 3 and 2", {{3, false}, {2, true}}, false, {2, 3, 3}},
      {"all components on one table", {{0, true}, {1, false}}, false, {1, 1, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Options o;
    o.components = 3;
    o.predictor = 7;
    o.tables = c.tables;
    o.oneTableSegment = c.oneSegment;
    o.selectors = c.selectors;
    ExpectRoundTrip(o, 4, 3, false);
  }
  // A number defined twice decodes with its last definition.
  Options o;
  o.tables = {{0, true}};
  const auto source = Samples(4, 3, o, 5);
  Bytes stream = Encode(source, 4, 3, o);
  Bytes early;
  Segment(early, 0xC4, TableBody(0, false, false));
  stream.insert(stream.begin() + 2, early.begin(), early.end());
  const Decoded d = Decode(stream, 4, 3, 1, false);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.samples, source);
}

// Position of the first marker FF m in the stream.
size_t MarkerAt(const Bytes& s, uint8_t m) {
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == 0xFF && s[i + 1] == m) return i;
  ADD_FAILURE() << "no marker " << int{m};
  return 0;
}

TEST(LosslessJpeg, DamagedAndHostileStreamsFailWithinTheTarget) {
  Options grey;
  grey.predictor = 4;
  grey.restartLines = 2;
  const int w = 6, h = 4;
  const auto source = Samples(w, h, grey, 9);
  const Bytes good = Encode(source, w, h, grey);
  const size_t sof = MarkerAt(good, 0xC3), dht = MarkerAt(good, 0xC4), sos = MarkerAt(good, 0xDA);
  const size_t sosEnd = sos + 2 + (good[sos + 2] << 8 | good[sos + 3]);
  using Edit = void (*)(Bytes&, size_t sof, size_t dht, size_t sos, size_t sosEnd);
  struct Case {
    const char* name;
    Edit edit;
    bool sixteen = false;
  };
  const Case cases[] = {
      {"baseline frame", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 1] = 0xC0; }},
      {"table number 5", [](Bytes& s, size_t, size_t t, size_t, size_t) { s[t + 4] = 5; }},
      {"AC table class", [](Bytes& s, size_t, size_t t, size_t, size_t) { s[t + 4] = 0x10; }},
      {"18 codes",
       [](Bytes& s, size_t, size_t t, size_t, size_t) {
         s[t + 5 + 5] = 2;  // one more 6-bit code, and its symbol
         s.insert(s.begin() + static_cast<std::ptrdiff_t>(t + 4 + 17 + 17), 3);
         s[t + 3] = static_cast<uint8_t>(s[t + 3] + 1);
       }},
      {"codes overflow their length",
       [](Bytes& s, size_t, size_t t, size_t, size_t) {
         s[t + 5 + 0] = 3;  // three codes of one bit
         s[t + 5 + 3] = 12;
       }},
      {"symbol above 16", [](Bytes& s, size_t, size_t t, size_t, size_t) { s[t + 4 + 17] = 17; }},
      {"selector names an undefined table",
       [](Bytes& s, size_t, size_t, size_t a, size_t) { s[a + 6] = 0x10; }},
      {"selector 4", [](Bytes& s, size_t, size_t, size_t a, size_t) { s[a + 6] = 0x40; }},
      {"point transform equal to precision", [](Bytes& s, size_t, size_t, size_t, size_t e) { s[e - 1] = 8; }},
      {"predictor 0", [](Bytes& s, size_t, size_t, size_t, size_t e) { s[e - 3] = 0; }},
      {"predictor 8", [](Bytes& s, size_t, size_t, size_t, size_t e) { s[e - 3] = 8; }},
      {"precision 1", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 4] = 1; }},
      {"precision 12 into 8 bits", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 4] = 12; }},
      {"precision 17", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 4] = 17; }, true},
      {"more lines than the target", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 6] = 5; }},
      {"no lines", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 6] = 0; }},
      {"wider than the target", [](Bytes& s, size_t f, size_t, size_t, size_t) { s[f + 8] = 7; }},
      {"a second scan",
       [](Bytes& s, size_t, size_t, size_t a, size_t e) {
         const Bytes scan(s.begin() + static_cast<std::ptrdiff_t>(a), s.begin() + static_cast<std::ptrdiff_t>(e));
         s.insert(s.begin() + static_cast<std::ptrdiff_t>(e), scan.begin(), scan.end());
       }},
      {"a segment past the end", [](Bytes& s, size_t, size_t t, size_t, size_t) { s[t + 2] = 0x7F; }},
      {"restart marker missing",
       [](Bytes& s, size_t, size_t, size_t, size_t e) {
         for (size_t i = e; i + 1 < s.size(); ++i)
           if (s[i] == 0xFF && s[i + 1] >= 0xD0 && s[i + 1] <= 0xD7) s[i + 1] = 0x00;
       }},
      {"restart interval off a line start",
       [](Bytes& s, size_t, size_t, size_t, size_t) { s[MarkerAt(s, 0xDD) + 5] = 5; }},
      {"no code within 16 bits",
       [](Bytes& s, size_t, size_t, size_t, size_t e) {
         s.resize(e);
         for (int i = 0; i < 8; ++i) s.insert(s.end(), {0xFF, 0x00});
         s.insert(s.end(), {0xFF, 0xD9});
       }},
      {"data ends early",
       [](Bytes& s, size_t, size_t, size_t, size_t e) {
         s.resize(e + 4);
         s.insert(s.end(), {0xFF, 0xD9});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes bad = good;
    c.edit(bad, sof, dht, sos, sosEnd);
    EXPECT_FALSE(Decode(bad, w, h, 1, c.sixteen).ok);
  }
  // Three components only at 8 bits.
  Options rgb;
  rgb.components = 3;
  EXPECT_FALSE(Decode(Encode(Samples(3, 2, rgb, 1), 3, 2, rgb), 3, 2, 3, true).ok);
  // Every cut of the stream fails (or, cut only in the trailing EOI, decodes).
  for (size_t cut = 0; cut + 2 < good.size(); ++cut) {
    const Decoded d = Decode(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut)), w, h, 1, false);
    EXPECT_FALSE(d.ok) << "cut at " << cut;
  }
  EXPECT_TRUE(Decode(good, w, h, 1, false).ok);
}

// Any number of FF fill bytes may come before a marker.
TEST(LosslessJpeg, FillBytesBeforeMarkersArePassedOver) {
  Options o;
  o.predictor = 5;
  const auto source = Samples(5, 3, o, 4);
  const Bytes plain = Encode(source, 5, 3, o);
  for (int fill : {1, 2, 3}) {
    SCOPED_TRACE(fill);
    Bytes filled = plain;
    for (uint8_t marker : {0xDA, 0xC4, 0xC3})
      filled.insert(filled.begin() + static_cast<std::ptrdiff_t>(MarkerAt(filled, marker)), fill, 0xFF);
    const Decoded d = Decode(filled, 5, 3, 1, false);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.samples, source);
  }
}

TEST(LosslessJpeg, ReportsProgressAndTakesExactlyOneOutput) {
  Options o;
  o.precision = 16;
  const auto source = Samples(8, 8, o, 3);
  const Bytes stream = Encode(source, 8, 8, o);
  TMemoryStream ms;
  ms.Write(stream.data(), static_cast<int32_t>(stream.size()));
  std::vector<uint16_t> out(64);
  std::vector<uint8_t> out8(64);
  std::vector<int32_t> percents;
  int tag = 0;
  const TIELosslessProgress progress = [&](TObject*, void* user, int32_t p) {
    EXPECT_EQ(user, &tag);
    percents.push_back(p);
  };
  for (bool both : {false, true}) {
    ms.Seek(0, soBeginning);
    EXPECT_FALSE(IEDecodeLosslessJPEG(ms, both ? out.data() : nullptr, both ? out8.data() : nullptr, nullptr, &tag, progress,
                                      static_cast<int64_t>(stream.size()), {8, 8, 1}));
  }
  ms.Seek(0, soBeginning);
  ASSERT_TRUE(IEDecodeLosslessJPEG(ms, out.data(), nullptr, nullptr, &tag, progress,
                                   static_cast<int64_t>(stream.size()), {8, 8, 1}));
  ASSERT_FALSE(percents.empty());
  EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
  EXPECT_GT(percents.back(), 90);
  EXPECT_LE(percents.back(), 100);
}

// ---- the encoder judged by dcmtk ------------------------------------------------------------

class LosslessJpegDcmtkTest : public codectest::CodecTest {};

// The samples of a decoded grey or RGB bitmap, interleaved in component order.
std::vector<int32_t> SamplesOf(TIEBitmap& bitmap) {
  std::vector<int32_t> out;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* row = bitmap.GetScanline(y);
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
      switch (bitmap.GetPixelFormat()) {
        case ie8g: out.push_back(row[x]); break;
        case ie16Gray: out.push_back(row[x * 2] | row[x * 2 + 1] << 8); break;
        default: out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]}); break;
      }
    }
  }
  return out;
}

// The encoder's streams, wrapped as DICOM frames, decode in dcmdjpeg to the
// source samples: its restarts, predictors, point transform, long codes and
// table choices are the standard's, so the round trips above test the
// decoder against the standard.
TEST_F(LosslessJpegDcmtkTest, DcmdjpegDecodesTheEncodersStreamsToTheSource) {
  struct Case {
    int precision, components, predictor, restartLines, pointTransform;
    std::vector<std::pair<int, bool>> tables;
    bool oneSegment;
    std::array<int, 3> selectors;
    bool longCodes = false;
  };
  std::vector<Case> cases;
  for (int predictor = 1; predictor <= 7; ++predictor) {
    cases.push_back({12, 1, predictor, 2, 0, {{0, false}}, true, {0, 0, 0}});
    cases.push_back({8, 3, predictor, 3, 0, {{0, false}}, true, {0, 0, 0}});
  }
  cases.push_back({16, 1, 6, 1, 0, {{0, false}}, true, {0, 0, 0}, true});
  cases.push_back({12, 1, 4, 0, 2, {{0, false}}, true, {0, 0, 0}});
  cases.push_back({8, 3, 7, 0, 0, {{1, true}, {0, false}}, true, {0, 1, 0}});
  cases.push_back({8, 3, 5, 2, 0, {{3, false}, {2, true}}, false, {2, 3, 3}});
  const int width = 11, lines = 9;
  std::vector<std::vector<int32_t>> sources;
  std::string wrap = "/usr/bin/python3 -W error " VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_wrap.py", decode = "true";
  for (const Case& c : cases) {
    Options o;
    o.precision = c.precision;
    o.components = c.components;
    o.predictor = c.predictor;
    o.restartLines = c.restartLines;
    o.pointTransform = c.pointTransform;
    o.tables = c.tables;
    o.oneTableSegment = c.oneSegment;
    o.selectors = c.selectors;
    o.longCodes = c.longCodes;
    sources.push_back(Samples(width, lines, o, static_cast<unsigned>(c.predictor + 100 * c.precision)));
    const Bytes stream = Encode(sources.back(), width, lines, o);
    const std::string n = std::to_string(sources.size());
    std::ofstream(Path(n + ".jls"), std::ios::binary)
        .write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
    wrap += " " + n + ".jls " + n + ".dcm " + std::to_string(width) + " " + std::to_string(lines) + " " +
            std::to_string(c.components) + " " + std::to_string(c.precision);
    decode += " && dcmdjpeg " + n + ".dcm native" + n + ".dcm";
  }
  InDir(wrap + " && (" + decode + ") 2>err.txt");
  EXPECT_EQ(codectest::ReadAll(Path("err.txt")), "");
  for (size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(testing::Message() << "P " << c.precision << " x" << c.components << " predictor " << c.predictor
                                    << " restart " << c.restartLines << " Pt " << c.pointTransform << " tables "
                                    << c.tables.size() << " long codes " << c.longCodes);
    TIOParamsVals params(nullptr);
    params.DICOMRangeMode = 2;
    TMemoryStream file;
    file.LoadFromFile(Path("native" + std::to_string(i + 1) + ".dcm"));
    TIEBitmap bitmap;
    IEReadDICOMStream(file, params, &bitmap, false, progress_);
    ASSERT_FALSE(abort_);
    EXPECT_EQ(SamplesOf(bitmap), sources[i]);
  }
}

}  // namespace
