// TIFF LZW: the row decoder (whole strings per code, so rows fill by block
// copies) and the encoder over the shared compressor.
#include "imaging/codecs/tiflzw.h"

#include <array>
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
constexpr size_t kBufferStep = 1024;
constexpr size_t kSlack = 16;  // bytes after every buffer's end, for the short-string copies

// Copies n bytes; strings of up to kSlack bytes (most of them) as one block
// of kSlack, which both buffers leave room for after their end.
inline void CopyString(uint8_t* dst, const uint8_t* src, size_t n) {
  if (n <= kSlack) {
    uint8_t block[kSlack];
    std::memcpy(block, src, kSlack);
    std::memcpy(dst, block, kSlack);
  } else {
    std::memcpy(dst, src, n);
  }
}

// The decoder of one strip.
class TIFFLZWDecodeState {
public:
  TIFFLZWDecodeState(const uint8_t* input, size_t inputSize, int32_t rowBytes, int32_t fillOrder)
      : input_(input),
        inputSize_(inputSize),
        rowBytes_(static_cast<size_t>(rowBytes)),
        reversed_(fillOrder == 2),
        buffer_(rowBytes_ + 1 + kSlack) {
    strings_.resize(65536);
    for (int32_t i = 0; i < 256; ++i) {
      strings_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
      offset_[static_cast<size_t>(i)] = static_cast<uint32_t>(i);
      length_[static_cast<size_t>(i)] = 1;
    }
    length_[kClearCode] = length_[kEndCode] = 0;
  }

  size_t RowBytes() const { return rowBytes_; }

  // The next row, or nil once the strip has failed.
  uint8_t* DecodeRow() {
    if (failed_) return nullptr;
    if (fill_ > rowBytes_) {
      std::memmove(buffer_.data(), buffer_.data() + rowBytes_, fill_ - rowBytes_);
      fill_ -= rowBytes_;
    } else {
      fill_ = 0;
    }
    try {
      while (!ended_ && fill_ < rowBytes_) {
        if (!DecodeCode()) {
          failed_ = true;
          return nullptr;
        }
      }
    } catch (const std::bad_alloc&) {
      failed_ = true;
      return nullptr;
    }
    // The codes ended before the row was whole: the strip is short.
    if (fill_ < rowBytes_) {
      failed_ = true;
      return nullptr;
    }
    return buffer_.data();
  }

private:
  // Reads and carries out one code (a clear code with the code after it);
  // false when the strip is corrupt.
  bool DecodeCode() {
    int32_t code = ReadCode();
    if (code == kClearCode) {
      Reset();
      do code = ReadCode();
      while (code == kClearCode);
    }
    if (code < 0 || code == kEndCode) {
      ended_ = true;
      return true;
    }
    if (previous_ < 0) {  // the first code of the strip or after a clear
      if (code >= nextFree_) return false;
      Emit(code);
    } else if (code < nextFree_) {
      Emit(code);
      if (!AddString(previous_, FirstByte(code))) return false;
    } else if (code == nextFree_) {
      if (!AddString(previous_, FirstByte(previous_))) return false;
      Emit(code);
    } else {
      return false;  // a code that no string has yet
    }
    previous_ = code;
    return true;
  }

  // The next code, or -1 when the data holds fewer bits than the width.
  int32_t ReadCode() {
    if (bitPos_ + static_cast<uint64_t>(width_) > static_cast<uint64_t>(inputSize_) * 8) return -1;
    while (bitCount_ < width_) {  // the bits checked above are all in the data
      uint8_t value = input_[nextByte_++];
      if (reversed_) IEReverseBits8(value);
      bits_ = (bits_ << 8) | value;
      bitCount_ += 8;
    }
    bitCount_ -= width_;
    bitPos_ += static_cast<uint64_t>(width_);
    return static_cast<int32_t>((bits_ >> bitCount_) & ((1u << width_) - 1));
  }

  void Reset() {
    used_ = 256;
    nextFree_ = kFirstFree;
    width_ = 9;
    previous_ = -1;
  }

  uint8_t FirstByte(int32_t code) const { return strings_[offset_[static_cast<size_t>(code)]]; }

  void Emit(int32_t code) {
    const size_t length = length_[static_cast<size_t>(code)];
    if (fill_ + length + kSlack > buffer_.size())
      buffer_.resize((fill_ + length + kSlack + kBufferStep - 1) / kBufferStep * kBufferStep);
    CopyString(buffer_.data() + fill_, strings_.data() + offset_[static_cast<size_t>(code)], length);
    fill_ += length;
  }

  // Adds the string of prefix followed by last; false when the table is full.
  bool AddString(int32_t prefix, uint8_t last) {
    if (nextFree_ >= kTableSize) return false;
    const size_t prefixLength = length_[static_cast<size_t>(prefix)];
    const size_t at = used_;
    used_ += prefixLength + 1;
    if (used_ + kSlack > strings_.size()) strings_.resize(2 * (used_ + kSlack));
    CopyString(strings_.data() + at, strings_.data() + offset_[static_cast<size_t>(prefix)], prefixLength);
    strings_[at + prefixLength] = last;
    offset_[static_cast<size_t>(nextFree_)] = static_cast<uint32_t>(at);
    length_[static_cast<size_t>(nextFree_)] = static_cast<uint16_t>(prefixLength + 1);
    ++nextFree_;
    // One code early, as TIFF writers do.
    width_ = nextFree_ >= 2047 ? 12 : nextFree_ >= 1023 ? 11 : nextFree_ >= 511 ? 10 : 9;
    return true;
  }

  const uint8_t* const input_;
  const size_t inputSize_;
  uint64_t bitPos_ = 0;
  size_t nextByte_ = 0;  // of the input, the next to enter bits_
  uint32_t bits_ = 0;    // input bits not yet taken: the low bitCount_
  int32_t bitCount_ = 0;
  const size_t rowBytes_;
  const bool reversed_;
  std::vector<uint8_t> buffer_;  // the row, then what the last string left over
  size_t fill_ = 0;
  int32_t width_ = 9;
  int32_t previous_ = -1;
  int32_t nextFree_ = kFirstFree;
  std::array<uint32_t, kTableSize> offset_{};  // each code's string inside strings_
  std::array<uint16_t, kTableSize> length_{};
  std::vector<uint8_t> strings_;  // the strings, used_ bytes of them, then room
  size_t used_ = 256;
  bool ended_ = false;
  bool failed_ = false;
};

}  // namespace

uint8_t* DecodeTIFFLZW(const uint8_t* data, size_t dataSize, int32_t rowBytes, void*& state, int32_t fillOrder) {
  auto* decoder = static_cast<TIFFLZWDecodeState*>(state);
  if (!data) {
    delete decoder;
    state = nullptr;
    return nullptr;
  }
  if (!decoder) {
    if (rowBytes <= 0) return nullptr;
    try {
      decoder = new TIFFLZWDecodeState(data, dataSize, rowBytes, fillOrder);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    state = decoder;
  }
  if (rowBytes <= 0 || static_cast<size_t>(rowBytes) != decoder->RowBytes()) return nullptr;
  return decoder->DecodeRow();
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
