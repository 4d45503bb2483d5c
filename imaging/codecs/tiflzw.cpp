// TIFF LZW: the decoders (every string copied whole from earlier output)
// and the encoder over the shared compressor.
#include "imaging/codecs/tiflzw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "imaging/codecs/lzwcompressor.h"
#include "imaging/core/ruduvazez.h"

namespace {

constexpr int32_t kClearCode = 256;
constexpr int32_t kEndCode = 257;
constexpr int32_t kFirstFree = 258;
constexpr int32_t kTableSize = 4096;  // codes 0..4095
constexpr size_t kLongest = kTableSize;  // no string is longer
constexpr size_t kSlack = 16;  // room after a string for the short-string copy

// The codes of a strip as strings written into one output. Every string a
// code names was written into the output once already: the string of code
// c followed by the first byte of the next code's string is where c's was
// written, one byte longer. So a code's string is a place and a length in
// the output, and writing it is a copy from earlier output.
class TIFFLZWCodes {
public:
  enum class Status { Filled, Ended, Corrupt };

  TIFFLZWCodes(const uint8_t* input, size_t inputSize, int32_t fillOrder)
      : input_(input), inputSize_(inputSize), reversed_(fillOrder == 2) {
    std::fill_n(table_.begin(), kFirstFree, 0);  // the byte codes' entries, read but not used
  }

  // Carries out codes while fewer than `want` bytes of output exist. The
  // output is out[k - origin] for output position k; the strings since the
  // last clear code (from ClearedAt()) must be there, the writing position
  // is pos, and nothing is written at or past position room (the last
  // string is cut there). Filled once pos reaches want.
  Status Decode(uint8_t* out, size_t origin, size_t& pos, size_t want, size_t room) {
    Cursor c = cursor_;  // in registers for the loop
    size_t at = pos;
    Status status = Status::Filled;
    while (at < want) {
      int32_t code = ReadCode(c);
      if (code == kClearCode) {
        Reset(c, at);
        do code = ReadCode(c);
        while (code == kClearCode);
      }
      if (code < 0 || code == kEndCode) {
        status = Status::Ended;
        break;
      }
      const size_t start = at;
      size_t length;
      if (code < kClearCode || (code < c.nextFree && c.previous)) {
        // A byte, or a string from earlier output: then the string before it
        // and this one's first byte make the next code.
        const bool byte = code < kClearCode;
        const uint64_t entry = table_[static_cast<size_t>(code)];
        length = byte ? 1 : entry & 0xFFFF;
        Copy(byte ? kBytes + code : out + ((entry >> 16) - origin), length, out + (at - origin), room - at);
        at += std::min(length, room - at);
        if (c.previous && !AddString(c)) {
          status = Status::Corrupt;
          break;
        }
      } else if (code == c.nextFree && c.previous) {
        // The string of the code before, then its own first byte.
        if (!AddString(c)) {
          status = Status::Corrupt;
          break;
        }
        length = c.previousLength + 1;
        Copy(out + (c.previousAt - origin), c.previousLength, out + (at - origin), room - at);
        at += std::min(c.previousLength, room - at);
        if (at < room) out[at++ - origin] = out[c.previousAt - origin];
      } else {
        status = Status::Corrupt;  // a code that no string has yet
        break;
      }
      c.previous = true;
      c.previousAt = start;
      c.previousLength = length;
    }
    cursor_ = c;
    pos = at;
    return status;
  }

  size_t ClearedAt() const { return cursor_.clearedAt; }

private:
  // What the loop changes: the input bits and the table's growth.
  struct Cursor {
    size_t next = 0;   // of the input, the next byte to enter bits
    uint64_t bits = 0;  // input bits not yet taken, count of them from the top
    int32_t count = 0;
    int32_t width = 9;
    int32_t nextFree = kFirstFree;
    bool previous = false;  // a code came since the last clear
    size_t previousAt = 0, previousLength = 0;
    size_t clearedAt = 0;
  };

  // The next code, or -1 when the data holds fewer bits than the width.
  int32_t ReadCode(Cursor& c) const {
    if (c.count < c.width) {
      Refill(c);
      if (c.count < c.width) return -1;
    }
    const auto code = static_cast<int32_t>(c.bits >> (64 - c.width));
    c.bits <<= c.width;
    c.count -= c.width;
    return code;
  }

  // Tops the bits up with whole bytes, eight at a time where the data has
  // them (bits past the count are then the data's next ones already).
  void Refill(Cursor& c) const {
    if (!reversed_ && inputSize_ - c.next >= 8) {
      uint64_t word;
      std::memcpy(&word, input_ + c.next, 8);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      c.bits |= word >> c.count;
      const int32_t taken = (63 - c.count) >> 3;
      c.next += static_cast<size_t>(taken);
      c.count += 8 * taken;
      return;
    }
    while (c.count <= 56 && c.next < inputSize_) {
      uint8_t value = input_[c.next++];
      if (reversed_) IEReverseBits8(value);
      c.bits |= uint64_t{value} << (56 - c.count);
      c.count += 8;
    }
  }

  static void Reset(Cursor& c, size_t pos) {
    c.nextFree = kFirstFree;
    c.width = 9;
    c.previous = false;
    c.clearedAt = pos;
  }

  // Writes the string of length bytes at src (wholly before dst) to dst,
  // cut at room bytes.
  static void Copy(const uint8_t* src, size_t length, uint8_t* dst, size_t room) {
    if (length <= kSlack && room >= length + kSlack) {
      uint8_t block[kSlack];
      std::memcpy(block, src, kSlack);
      std::memcpy(dst, block, kSlack);
    } else {
      std::memcpy(dst, src, std::min(length, room));
    }
  }

  // The string of the code before followed by the first byte of the string
  // just written; false when the table is full.
  bool AddString(Cursor& c) {
    if (c.nextFree >= kTableSize) return false;
    table_[static_cast<size_t>(c.nextFree)] = (uint64_t{c.previousAt} << 16) | (c.previousLength + 1);
    ++c.nextFree;
    // One code early, as TIFF writers do.
    c.width = std::min(12, static_cast<int32_t>(std::bit_width(static_cast<uint32_t>(c.nextFree + 1))));
    return true;
  }

  // Every byte value, each the start of a kSlack-byte block.
  static constexpr std::array<uint8_t, 256 + kSlack> kByteTable = [] {
    std::array<uint8_t, 256 + kSlack> t{};
    for (size_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(i);
    return t;
  }();
  static constexpr const uint8_t* kBytes = kByteTable.data();

  const uint8_t* const input_;
  const size_t inputSize_;
  const bool reversed_;
  Cursor cursor_;
  std::array<uint64_t, kTableSize> table_;  // output position << 16 | length; read below nextFree only
};

// The row decoder of one strip: the output since the last clear code in a
// buffer of its own, the rows handed out from it.
class TIFFLZWRowState {
public:
  TIFFLZWRowState(const uint8_t* input, size_t inputSize, int32_t rowBytes, int32_t fillOrder)
      : codes_(input, inputSize, fillOrder), rowBytes_(static_cast<size_t>(rowBytes)) {}

  size_t RowBytes() const { return rowBytes_; }

  // The next row, or nil once the strip has failed.
  uint8_t* DecodeRow() {
    if (failed_) return nullptr;
    if (returned_) rowStart_ += rowBytes_;
    returned_ = false;
    try {
      Prepare();
    } catch (const std::bad_alloc&) {
      failed_ = true;
      return nullptr;
    }
    const size_t want = rowStart_ + rowBytes_;
    if (codes_.Decode(buffer_.data(), origin_, pos_, want, origin_ + buffer_.size()) !=
        TIFFLZWCodes::Status::Filled) {
      failed_ = true;  // also a row the codes ended in
      return nullptr;
    }
    returned_ = true;
    return buffer_.data() + (rowStart_ - origin_);
  }

private:
  // Drops what neither the rows to come nor the strings still need and
  // makes room for the row and a whole string after it.
  void Prepare() {
    const size_t keep = std::min(rowStart_, codes_.ClearedAt());
    if (keep - origin_ > rowBytes_ + kLongest) {
      std::memmove(buffer_.data(), buffer_.data() + (keep - origin_), pos_ - keep);
      origin_ = keep;
    }
    const size_t needed = rowStart_ + rowBytes_ - origin_ + kLongest + kSlack;
    if (buffer_.size() < needed) buffer_.resize(std::max(needed, 2 * buffer_.size()));
  }

  TIFFLZWCodes codes_;
  const size_t rowBytes_;
  std::vector<uint8_t> buffer_;  // output positions origin_ .. pos_, then room
  size_t origin_ = 0, pos_ = 0;
  size_t rowStart_ = 0;  // of the row to return next
  bool returned_ = false;
  bool failed_ = false;
};

}  // namespace

uint8_t* DecodeTIFFLZW(const uint8_t* data, size_t dataSize, int32_t rowBytes, void*& state, int32_t fillOrder) {
  auto* decoder = static_cast<TIFFLZWRowState*>(state);
  if (!data) {
    delete decoder;
    state = nullptr;
    return nullptr;
  }
  if (!decoder) {
    if (rowBytes <= 0) return nullptr;
    try {
      decoder = new TIFFLZWRowState(data, dataSize, rowBytes, fillOrder);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    state = decoder;
  }
  if (rowBytes <= 0 || static_cast<size_t>(rowBytes) != decoder->RowBytes()) return nullptr;
  return decoder->DecodeRow();
}

bool DecodeTIFFLZWStrip(const uint8_t* data, size_t dataSize, uint8_t* out, size_t outSize, int32_t fillOrder) {
  if (outSize == 0) return true;
  if (outSize > (size_t{1} << 47)) return false;  // beyond what a table entry can place
  std::unique_ptr<TIFFLZWCodes> codes;
  try {
    codes = std::make_unique<TIFFLZWCodes>(data, dataSize, fillOrder);
  } catch (const std::bad_alloc&) {
    return false;
  }
  size_t pos = 0;
  return codes->Decode(out, 0, pos, outSize, outSize) == TIFFLZWCodes::Status::Filled;
}

void EncodeTIFFLZW(const uint8_t* data, int32_t count, TStream& stream, void*& state) {
  auto* compressor = static_cast<TIELZWCompressor*>(state);
  if (!data) {
    std::unique_ptr<TIELZWCompressor> owned(compressor);
    state = nullptr;
    if (owned) {
      owned->SetStream(stream);
      owned->Finish();
    }
    return;
  }
  if (!compressor) {
    auto made = std::make_unique<TIELZWCompressor>(IETIFFLZWLayout, 8, stream);
    made->Start();
    compressor = made.release();
    state = compressor;
  } else {
    compressor->SetStream(stream);
  }
  for (int32_t i = 0; i < count; ++i) compressor->Put(data[i]);
}
