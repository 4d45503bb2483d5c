// The lossless JPEG decoder: markers, Huffman tables, the bit reader and the
// predictors of the lossless process.
#include <algorithm>
#include <array>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/iedicom.h"

namespace {

constexpr int kMaxTables = 4;
constexpr int kMaxSymbols = 17;  // difference categories 0..16

// A canonical Huffman table of difference categories. Codes of up to 8 bits
// are found by one lookup of the next 8 bits; longer ones by length.
struct HuffTable {
  bool defined = false;
  std::array<uint8_t, kMaxSymbols> symbols{};
  std::array<int32_t, 18> maxCode{};  // per length the largest code, -1 for none
  std::array<int32_t, 17> valPtr{};   // index of the first symbol of that length
  std::array<int32_t, 17> minCode{};
  std::array<uint8_t, 256> fastSymbol{};
  std::array<uint8_t, 256> fastLength{};  // 0: longer than 8 bits
};

// Assigns the canonical codes; false when a length cannot hold its codes.
bool BuildTable(HuffTable& table, const uint8_t* counts, const uint8_t* symbols, int total) {
  std::copy_n(symbols, total, table.symbols.begin());
  table.fastLength.fill(0);
  int32_t code = 0, k = 0;
  for (int len = 1; len <= 16; ++len) {
    const int n = counts[len - 1];
    table.valPtr[len] = k;
    table.minCode[len] = code;
    if (code + n > (1 << len)) return false;
    for (int i = 0; i < n; ++i, ++k, ++code) {
      if (len <= 8) {
        const int first = code << (8 - len), span = 1 << (8 - len);
        for (int j = 0; j < span; ++j) {
          table.fastSymbol[first + j] = table.symbols[k];
          table.fastLength[first + j] = static_cast<uint8_t>(len);
        }
      }
    }
    table.maxCode[len] = n ? code - 1 : -1;
    code <<= 1;
  }
  table.maxCode[17] = INT32_MAX;
  table.defined = true;
  return true;
}

// Reads entropy-coded bits from [pos, end): FF 00 is a stuffed FF, any other
// FF xx is a marker where the data ends for the reader.
class BitReader {
public:
  BitReader(const uint8_t* data, size_t pos, size_t end) : data_(data), pos_(pos), end_(end) {}

  // The next n (<= 16) bits, zeros past the data; Has(n) tells whether they are real.
  uint32_t Peek(int n) {
    Fill();
    if (count_ >= n) return static_cast<uint32_t>(bits_ >> (count_ - n)) & ((1u << n) - 1);
    return static_cast<uint32_t>(bits_ << (n - count_)) & ((1u << n) - 1);
  }
  bool Has(int n) {
    Fill();
    return count_ >= n;
  }
  void Drop(int n) { count_ -= n; }
  // Takes n bits into value; false when the data ends first.
  bool Get(int n, uint32_t& value) {
    if (n == 0) {
      value = 0;
      return true;
    }
    if (!Has(n)) return false;
    value = Peek(n);
    Drop(n);
    return true;
  }
  // Drops the bits left and moves past the next RSTn marker; false when there is none.
  bool Restart() {
    bits_ = 0;
    count_ = 0;
    atMarker_ = false;
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
  void Fill() {
    while (count_ <= 48 && !atMarker_ && pos_ < end_) {
      uint8_t byte = data_[pos_];
      if (byte == 0xFF) {
        if (pos_ + 1 >= end_ || data_[pos_ + 1] != 0x00) {
          atMarker_ = true;
          return;
        }
        ++pos_;
      }
      ++pos_;
      bits_ = bits_ << 8 | byte;
      count_ += 8;
    }
  }
  const uint8_t* data_;
  size_t pos_, end_;
  uint64_t bits_ = 0;
  int count_ = 0;
  bool atMarker_ = false;
};

// One difference category: 8-bit lookup first, then length by length.
bool DecodeCategory(BitReader& in, const HuffTable& table, int& category) {
  const uint32_t look = in.Peek(8);
  if (const int len = table.fastLength[look]; len) {
    if (!in.Has(len)) return false;
    in.Drop(len);
    category = table.fastSymbol[look];
    return true;
  }
  for (int len = 9; len <= 16; ++len) {
    if (!in.Has(len)) return false;
    const auto code = static_cast<int32_t>(in.Peek(len));
    if (table.maxCode[len] >= 0 && code <= table.maxCode[len] && code >= table.minCode[len]) {
      in.Drop(len);
      category = table.symbols[table.valPtr[len] + code - table.minCode[len]];
      return true;
    }
  }
  return false;
}

bool DecodeDifference(BitReader& in, const HuffTable& table, int32_t& diff) {
  int category = 0;
  if (!DecodeCategory(in, table, category)) return false;
  if (category == 16) {
    diff = 32768;
    return true;
  }
  uint32_t v = 0;
  if (!in.Get(category, v)) return false;
  diff = static_cast<int32_t>(v);
  if (category > 0 && diff < (1 << (category - 1))) diff -= (1 << category) - 1;
  return true;
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
bool ParseHeaders(FrameInfo& f, const std::vector<uint8_t>& data) {
  size_t at = 2;  // past SOI
  while (at + 1 < data.size()) {
    if (data[at] != 0xFF) return false;
    const uint8_t marker = data[at + 1];
    // Fill bytes: any number of FF before a marker.
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    at += 2;
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;
    if (at + 2 > data.size()) return false;
    const int len = codecbytes::BE16(&data[at]);
    if (len < 2 || at + len > data.size()) return false;
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

int32_t Predict(int predictor, int32_t ra, int32_t rb, int32_t rc) {
  switch (predictor) {
    case 1: return ra;
    case 2: return rb;
    case 3: return rc;
    case 4: return ra + rb - rc;
    case 5: return ra + ((rb - rc) >> 1);
    case 6: return rb + ((ra - rc) >> 1);
    default: return (ra + rb) >> 1;
  }
}

class Decoder {
public:
  Decoder(const FrameInfo& f, const std::vector<uint8_t>& data, uint16_t* out16, uint8_t* out8)
      : f_(f), in_(data.data(), f.scanData, data.size()), out16_(out16), out8_(out8),
        above_(static_cast<size_t>(f.width) * f.components), current_(above_.size()) {}

  // Decodes line y; false on a fault in the data.
  bool Line(int y) {
    const int nc = f_.components;
    const bool restarted = f_.restartInterval && y > 0 && (int64_t{y} * f_.width) % f_.restartInterval == 0;
    if (restarted && !in_.Restart()) return false;
    // The first line of the image and of every restart interval has no line above.
    const bool first = y == 0 || restarted;
    const int32_t initial = 1 << (f_.precision - f_.pointTransform - 1);
    for (int x = 0; x < f_.width; ++x) {
      for (int c = 0; c < nc; ++c) {
        const size_t i = static_cast<size_t>(x) * nc + c;
        int32_t prediction;
        if (first)
          prediction = x == 0 ? initial : current_[i - nc];
        else if (x == 0)
          prediction = above_[i];
        else
          prediction = Predict(f_.predictor, current_[i - nc], above_[i], above_[i - nc]);
        int32_t diff = 0;
        if (!DecodeDifference(in_, f_.tables[f_.tableOf[c]], diff)) return false;
        current_[i] = (prediction + diff) & 0xFFFF;
      }
    }
    Store(y);
    std::swap(above_, current_);
    return true;
  }
  size_t Position() const { return in_.Position(); }

private:
  void Store(int y) {
    const size_t row = static_cast<size_t>(y) * current_.size();
    const int shift = f_.pointTransform;
    for (size_t i = 0; i < current_.size(); ++i) {
      if (out16_)
        out16_[row + i] = static_cast<uint16_t>(current_[i] << shift);
      else
        out8_[row + i] = static_cast<uint8_t>(current_[i] << shift);
    }
  }
  const FrameInfo& f_;
  BitReader in_;
  uint16_t* out16_;
  uint8_t* out8_;
  std::vector<int32_t> above_, current_;
};

}  // namespace

bool IEDecodeLosslessJPEG(TStream& stream, uint16_t* output16, uint8_t* output8, TObject* sender, void* userData,
                          const TIELosslessProgress& callback, int64_t length, const TIELosslessTarget& target) {
  if ((output16 == nullptr) == (output8 == nullptr) || length <= 31 || length > codecbytes::Remaining(stream))
    return false;
  std::vector<uint8_t> data(static_cast<size_t>(length));
  if (!codecbytes::ReadExact(stream, data.data(), length)) return false;
  FrameInfo frame;
  if (!ParseHeaders(frame, data) || !FitsTarget(frame, output16 != nullptr, target)) return false;
  if (output16) std::fill_n(output16, static_cast<size_t>(target.Width) * target.Height, uint16_t{0});
  Decoder decoder(frame, data, output16, output8);
  int32_t shown = -1;
  for (int y = 0; y < frame.lines; ++y) {
    if (!decoder.Line(y)) return false;
    const auto percent = static_cast<int32_t>(static_cast<int64_t>(decoder.Position()) * 100 / length);
    if (percent != shown && callback) callback(sender, userData, shown = percent);
  }
  return true;
}
