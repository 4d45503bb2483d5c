// The lossless JPEG decoder: markers, Huffman tables, the bit reader and the
// predictors of the lossless process.
#include <algorithm>
#include <array>
#include <functional>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/codecs/iedicom_internal.h"

namespace {

constexpr int kMaxTables = 4;
constexpr int kMaxSymbols = 17;  // difference categories 0..16
constexpr int kLookBits = 11;    // bits looked ahead for a code and its extra bits

// The difference a category's extra bits stand for, modulo 2^16 (the
// samples are reconstructed modulo 2^16).
uint16_t DifferenceOf(int category, uint32_t extra) {
  if (category == 0) return 0;
  if (category == 16) return 0x8000;
  auto diff = static_cast<int32_t>(extra);
  if (diff < (1 << (category - 1))) diff -= (1 << category) - 1;
  return static_cast<uint16_t>(diff);
}

// What the next kLookBits bits of the data say. Whole: the code and its
// extra bits lie inside them (Extra 0, Length bits taken, Difference found).
// Else, a code found: Length is the code's, Extra the category whose bits
// follow. Else (Length 0) the code is longer than kLookBits.
struct Lookahead {
  uint16_t Difference = 0;
  uint8_t Length = 0;
  uint8_t Extra = kLongCode;
  static constexpr uint8_t kLongCode = 0xFF;
};

// A canonical Huffman table of difference categories: one lookup of the
// next kLookBits bits for short codes, a search by length for longer ones.
struct HuffTable {
  bool defined = false;
  std::array<uint8_t, kMaxSymbols> symbols{};
  std::array<int32_t, 17> maxCode{};  // per length the largest code, -1 for none
  std::array<int32_t, 17> valPtr{};   // index of the first symbol of that length
  std::array<int32_t, 17> minCode{};
  std::array<Lookahead, 1 << kLookBits> look{};
};

// The lookahead entries of one code of len <= kLookBits bits.
void FillLookahead(HuffTable& table, uint32_t code, int len, int category) {
  const int rest = kLookBits - len;
  const uint32_t first = code << rest;
  const bool noExtraBits = category == 0 || category == 16;
  for (uint32_t j = 0; j < (1u << rest); ++j) {
    Lookahead& e = table.look[first + j];
    if (noExtraBits || category <= rest) {
      const int taken = noExtraBits ? 0 : category;
      e = {DifferenceOf(category, (j >> (rest - taken)) & ((1u << taken) - 1)), static_cast<uint8_t>(len + taken), 0};
    } else {
      e = {0, static_cast<uint8_t>(len), static_cast<uint8_t>(category)};
    }
  }
}

// Assigns the canonical codes; false when a length cannot hold its codes.
bool BuildTable(HuffTable& table, const uint8_t* counts, const uint8_t* symbols, int total) {
  std::copy_n(symbols, total, table.symbols.begin());
  table.look.fill(Lookahead{});
  int32_t code = 0, k = 0;
  for (int len = 1; len <= 16; ++len) {
    const int n = counts[len - 1];
    table.valPtr[len] = k;
    table.minCode[len] = code;
    if (code + n > (1 << len)) return false;
    for (int i = 0; i < n; ++i, ++k, ++code)
      if (len <= kLookBits) FillLookahead(table, static_cast<uint32_t>(code), len, table.symbols[k]);
    table.maxCode[len] = n ? code - 1 : -1;
    code <<= 1;
  }
  table.defined = true;
  return true;
}

// Reads entropy-coded bits from [pos, end): FF 00 is a stuffed FF, any other
// FF xx is a marker where the data ends for the reader. Bits past the data
// read as zeros; taking them makes the reader overrun, which the caller
// checks once a line.
class BitReader {
public:
  BitReader(const uint8_t* data, size_t pos, size_t end) : data_(data), pos_(pos), end_(end) {}

  // At least 32 bits held, where the data has them: enough for one code and its extra bits.
  void Fill() {
    if (count_ < 32) Refill();
  }
  // The next n (1..32) bits.
  uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
  void Drop(int n) {
    bits_ <<= n;
    count_ -= n;
  }
  bool Overrun() const { return count_ < 0; }
  // Drops the bits left and moves past the next RSTn marker; false when there is none.
  bool Restart() {
    bits_ = 0;
    count_ = 0;
    for (; pos_ + 1 < end_; ++pos_) {
      if (data_[pos_] == 0xFF && data_[pos_ + 1] >= 0xD0 && data_[pos_ + 1] <= 0xD7) {
        pos_ += 2;
        return true;
      }
    }
    return false;
  }
  size_t Position() const { return pos_; }

private:
  void Refill() {
    while (count_ <= 56 && pos_ < end_) {
      const uint8_t byte = data_[pos_];
      if (byte == 0xFF) {
        if (pos_ + 1 >= end_ || data_[pos_ + 1] != 0x00) return;  // a marker: the data ends here
        ++pos_;
      }
      ++pos_;
      bits_ |= uint64_t{byte} << (56 - count_);
      count_ += 8;
    }
  }
  const uint8_t* data_;
  size_t pos_, end_;
  uint64_t bits_ = 0;  // the next bits, first at the top
  int count_ = 0;      // bits held; below 0 once bits past the data were taken
};

// A code longer than the lookahead, or one whose extra bits reach past it.
// Returns the difference, or -1 when no code matches within 16 bits.
[[gnu::noinline]] int32_t DecodeSlow(BitReader& in, const HuffTable& table, const Lookahead& e) {
  int category = e.Extra;
  if (e.Length == 0) {
    int len = kLookBits + 1;
    for (; len <= 16; ++len) {
      const auto code = static_cast<int32_t>(in.Peek(len));
      if (table.maxCode[len] >= 0 && code <= table.maxCode[len] && code >= table.minCode[len]) break;
    }
    if (len > 16) return -1;
    category = table.symbols[table.valPtr[len] + static_cast<int32_t>(in.Peek(len)) - table.minCode[len]];
    in.Drop(len);
  } else {
    in.Drop(e.Length);
  }
  const int taken = category == 16 ? 0 : category;
  const uint32_t extra = taken ? in.Peek(taken) : 0;
  in.Drop(taken);
  return DifferenceOf(category, extra);
}

// The next difference modulo 2^16, or -1 for data no code matches.
inline int32_t NextDifference(BitReader& in, const HuffTable& table) {
  in.Fill();
  const Lookahead e = table.look[in.Peek(kLookBits)];
  if (e.Extra == 0) [[likely]] {
    in.Drop(e.Length);
    return e.Difference;
  }
  return DecodeSlow(in, table, e);
}

struct FrameInfo {
  bool lossless = false, seenFrame = false, seenScan = false;
  int precision = 0, lines = 0, width = 0, components = 0;
  std::array<uint8_t, 4> ids{};
  std::array<int, 4> tableOf{};  // per frame component, from the scan's selector
  int predictor = 0, pointTransform = 0, restartInterval = 0;
  std::array<HuffTable, kMaxTables> tables;
  size_t scanData = 0;
};

bool ParseFrame(FrameInfo& f, const uint8_t* p, int len, uint8_t marker) {
  if (f.seenFrame || len < 6) return false;
  f.seenFrame = true;
  f.lossless = marker == 0xC3;
  f.precision = p[0];
  f.lines = codecbytes::BE16(p + 1);
  f.width = codecbytes::BE16(p + 3);
  f.components = p[5];
  if (f.components < 1 || f.components > 4 || len < 6 + 3 * f.components) return false;
  for (int c = 0; c < f.components; ++c) {
    f.ids[c] = p[6 + 3 * c];
    if (p[7 + 3 * c] != 0x11) return false;  // no subsampling in the lossless layouts we hold
  }
  return true;
}

bool ParseTables(FrameInfo& f, const uint8_t* p, int len) {
  int at = 0;
  while (len - at >= 17) {
    const uint8_t classNumber = p[at];
    if (classNumber > 3) return false;  // lossless tables are class 0, numbers 0..3
    const uint8_t* counts = p + at + 1;
    int total = 0;
    for (int i = 0; i < 16; ++i) total += counts[i];
    if (total > kMaxSymbols || len - at - 17 < total) return false;
    const uint8_t* symbols = counts + 16;
    if (std::any_of(symbols, symbols + total, [](uint8_t s) { return s > 16; })) return false;
    if (!BuildTable(f.tables[classNumber], counts, symbols, total)) return false;
    at += 17 + total;
  }
  return at == len;
}

bool ParseScan(FrameInfo& f, const uint8_t* p, int len) {
  if (f.seenScan || !f.seenFrame || len < 1) return false;
  f.seenScan = true;
  const int n = p[0];
  if (n != f.components || len < 1 + 2 * n + 3) return false;
  std::array<bool, 4> taken{};
  for (int i = 0; i < n; ++i) {
    const uint8_t id = p[1 + 2 * i], selector = p[2 + 2 * i] >> 4;
    const auto* at = std::find(f.ids.begin(), f.ids.begin() + f.components, id);
    const auto c = static_cast<int>(at - f.ids.begin());
    if (c == f.components || taken[c] || selector >= kMaxTables) return false;
    taken[c] = true;
    f.tableOf[c] = selector;
  }
  f.predictor = p[1 + 2 * n];
  f.pointTransform = p[3 + 2 * n] & 0x0F;
  return true;
}

// Walks the markers up to the scan's data; false on any malformed segment.
bool ParseHeaders(FrameInfo& f, const uint8_t* data, size_t size) {
  size_t at = 2;  // past SOI
  while (at + 1 < size) {
    if (data[at] != 0xFF) return false;
    const uint8_t marker = data[at + 1];
    // Fill bytes: any number of FF before a marker.
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (at + 2 > size) return false;
    const int len = codecbytes::BE16(&data[at]);
    if (len < 2 || at + len > size) return false;
    const uint8_t* p = &data[at + 2];
    const int body = len - 2;
    bool ok = true;
    if ((marker >= 0xC0 && marker <= 0xCF) && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
      ok = ParseFrame(f, p, body, marker);
    else if (marker == 0xC4)
      ok = ParseTables(f, p, body);
    else if (marker == 0xDD)
      ok = body >= 2 && (f.restartInterval = codecbytes::BE16(p), true);
    else if (marker == 0xDA)
      ok = ParseScan(f, p, body);
    if (!ok) return false;
    at += len;
    if (marker == 0xDA) {
      f.scanData = at;
      return true;
    }
  }
  return false;
}

// The frame must be one our outputs hold and must fit the caller's target.
bool FitsTarget(const FrameInfo& f, bool sixteen, const TIELosslessTarget& target) {
  if (!f.lossless || !f.seenScan) return false;
  if (f.precision < 2 || f.precision > 16 || (!sixteen && f.precision > 8)) return false;
  if (f.components != 1 && !(f.components == 3 && f.precision == 8 && !sixteen)) return false;
  if (f.predictor < 1 || f.predictor > 7 || f.pointTransform >= f.precision) return false;
  if (f.lines < 1 || f.width < 1) return false;
  if (f.width != target.Width || f.components != target.Components || f.lines > target.Height) return false;
  // Restarts come at line starts in the lossless process.
  if (f.restartInterval && f.restartInterval % f.width) return false;
  for (int c = 0; c < f.components; ++c)
    if (!f.tables[f.tableOf[c]].defined) return false;
  return true;
}

// Sample i of a line from its left (a), upper (b) and upper-left (c)
// neighbours of the same component, n components apart.
template <int Predictor, int N>
int32_t Predict(const uint16_t* line, const uint16_t* above, size_t i) {
  if constexpr (Predictor == 1) return line[i - N];
  if constexpr (Predictor == 2) return above[i];
  if constexpr (Predictor == 3) return above[i - N];
  if constexpr (Predictor == 4) return line[i - N] + above[i] - above[i - N];
  if constexpr (Predictor == 5) return line[i - N] + ((above[i] - above[i - N]) >> 1);
  if constexpr (Predictor == 6) return above[i] + ((line[i - N] - above[i - N]) >> 1);
  if constexpr (Predictor == 7) return (line[i - N] + above[i]) >> 1;
}

using Tables = std::array<const HuffTable*, 3>;

// Decodes the samples of a line after its first pixel; false for data no
// code matches. Samples are kept modulo 2^16.
template <int Predictor, int N>
bool DecodeLineRest(BitReader& in, const Tables& tables, uint16_t* line, const uint16_t* above, int width) {
  const size_t end = static_cast<size_t>(width) * N;
  for (size_t i = N; i < end; i += N) {
    for (int c = 0; c < N; ++c) {
      const int32_t diff = NextDifference(in, *tables[c]);
      if (diff < 0) [[unlikely]]
        return false;
      line[i + c] = static_cast<uint16_t>(Predict<Predictor, N>(line, above, i + c) + diff);
    }
  }
  return true;
}

using LineRest = bool (*)(BitReader&, const Tables&, uint16_t*, const uint16_t*, int);

template <int N>
LineRest LineRestFor(int predictor) {
  switch (predictor) {
    case 1: return DecodeLineRest<1, N>;
    case 2: return DecodeLineRest<2, N>;
    case 3: return DecodeLineRest<3, N>;
    case 4: return DecodeLineRest<4, N>;
    case 5: return DecodeLineRest<5, N>;
    case 6: return DecodeLineRest<6, N>;
    default: return DecodeLineRest<7, N>;
  }
}

LineRest LineRestFor(int predictor, int components) {
  return components == 3 ? LineRestFor<3>(predictor) : LineRestFor<1>(predictor);
}

// Decodes line after line into the output. Lines are kept as 16-bit
// samples; 16-bit output without a point transform is decoded in place,
// other output gets each line shifted by the point transform.
class Decoder {
public:
  Decoder(const FrameInfo& f, const uint8_t* data, size_t length, uint16_t* out16, uint8_t* out8)
      : f_(f), in_(data, f.scanData, length), out16_(out16), out8_(out8),
        lineLength_(static_cast<size_t>(f.width) * f.components),
        inPlace_(out16 != nullptr && f.pointTransform == 0),
        lines_(inPlace_ ? 0 : 2 * lineLength_), firstLine_(LineRestFor(1, f.components)),
        otherLine_(LineRestFor(f.predictor, f.components)) {
    for (int c = 0; c < f.components; ++c) tables_[c] = &f.tables[f.tableOf[c]];
  }

  // Decodes line y; false on a fault in the data.
  bool Line(int y) {
    const bool restarted = f_.restartInterval && y > 0 && (int64_t{y} * f_.width) % f_.restartInterval == 0;
    if (restarted && !in_.Restart()) return false;
    uint16_t* line = LineAt(y);
    const uint16_t* above = y > 0 ? LineAt(y - 1) : nullptr;
    // The first line of the image and of every restart interval has no line above.
    const bool first = y == 0 || restarted;
    const int32_t initial = 1 << (f_.precision - f_.pointTransform - 1);
    for (int c = 0; c < f_.components; ++c) {
      const int32_t diff = NextDifference(in_, *tables_[c]);
      if (diff < 0) return false;
      line[c] = static_cast<uint16_t>((first ? initial : above[c]) + diff);
    }
    if (!(first ? firstLine_ : otherLine_)(in_, tables_, line, above, f_.width) || in_.Overrun()) return false;
    if (!inPlace_) Store(line, y);
    return true;
  }
  size_t Position() const { return in_.Position(); }

private:
  uint16_t* LineAt(int y) {
    if (inPlace_) return out16_ + static_cast<size_t>(y) * lineLength_;
    return lines_.data() + static_cast<size_t>(y % 2) * lineLength_;
  }
  void Store(const uint16_t* line, int y) {
    const size_t at = static_cast<size_t>(y) * lineLength_;
    const int shift = f_.pointTransform;
    if (out16_)
      for (size_t i = 0; i < lineLength_; ++i) out16_[at + i] = static_cast<uint16_t>(line[i] << shift);
    else
      for (size_t i = 0; i < lineLength_; ++i) out8_[at + i] = static_cast<uint8_t>(line[i] << shift);
  }
  const FrameInfo& f_;
  BitReader in_;
  uint16_t* out16_;
  uint8_t* out8_;
  const size_t lineLength_;
  const bool inPlace_;
  std::vector<uint16_t> lines_;  // the line above and the current one, unless decoded in place
  Tables tables_{};
  const LineRest firstLine_, otherLine_;
};

}  // namespace

namespace iedicom {

bool DecodeLosslessFrame(const uint8_t* data, size_t length, uint16_t* output16, uint8_t* output8,
                         const std::function<void(int32_t percent)>& progress, const TIELosslessTarget& target) {
  if ((output16 == nullptr) == (output8 == nullptr) || length <= 31) return false;
  FrameInfo frame;
  if (!ParseHeaders(frame, data, length) || !FitsTarget(frame, output16 != nullptr, target)) return false;
  Decoder decoder(frame, data, length, output16, output8);
  int32_t shown = -1;
  int y = 0;
  for (; y < frame.lines && decoder.Line(y); ++y) {
    const auto percent = static_cast<int32_t>(static_cast<int64_t>(decoder.Position()) * 100 /
                                              static_cast<int64_t>(length));
    if (percent != shown && progress) progress(shown = percent);
  }
  // Lines not decoded are zeros.
  const size_t from = static_cast<size_t>(y) * target.Width * target.Components;
  const size_t all = static_cast<size_t>(target.Height) * target.Width * target.Components;
  if (output16)
    std::fill(output16 + from, output16 + all, uint16_t{0});
  else
    std::fill(output8 + from, output8 + all, uint8_t{0});
  return y == frame.lines;
}

}  // namespace iedicom

bool IEDecodeLosslessJPEG(TStream& stream, uint16_t* output16, uint8_t* output8, TObject* sender, void* userData,
                          const TIELosslessProgress& callback, int64_t length, const TIELosslessTarget& target) {
  if (length <= 31 || length > codecbytes::Remaining(stream)) return false;
  std::vector<uint8_t> data(static_cast<size_t>(length));
  if (!codecbytes::ReadExact(stream, data.data(), length)) return false;
  std::function<void(int32_t)> progress;
  if (callback) progress = [&](int32_t percent) { callback(sender, userData, percent); };
  return iedicom::DecodeLosslessFrame(data.data(), data.size(), output16, output8, progress, target);
}
