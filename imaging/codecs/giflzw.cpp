// GIF LZW: the pixel walk shared by both directions, the decoder with its
// prefix and suffix table, and the encoder over the shared compressor.
#include "imaging/codecs/giflzw.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/lzwcompressor.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int32_t kMaxCodes = 4096;  // 12-bit codes

// Walks the pixels of an image in the order its data holds them.
class GIFRaster {
public:
  GIFRaster(int32_t width, int32_t height, bool interlaced)
      : width_(std::max(width, 0)), height_(std::max(height, 0)), interlaced_(interlaced) {
    if (width_ == 0) row_ = height_;
  }

  bool Done() const { return row_ >= height_; }
  size_t Count() const { return static_cast<size_t>(width_) * static_cast<size_t>(height_); }
  size_t Index() const { return static_cast<size_t>(row_) * static_cast<size_t>(width_) + static_cast<size_t>(column_); }

  void Advance() {
    if (++column_ < width_) return;
    column_ = 0;
    if (!interlaced_) {
      ++row_;
      return;
    }
    // Interlaced rows: four passes, each from its first row in its steps.
    static constexpr std::array<int64_t, 4> kPassStart{0, 4, 2, 1};
    static constexpr std::array<int64_t, 4> kPassStep{8, 8, 4, 2};
    row_ += kPassStep[pass_];
    while (row_ >= height_ && pass_ < 3) row_ = kPassStart[++pass_];
  }

private:
  const int64_t width_, height_;
  const bool interlaced_;
  int64_t column_ = 0, row_ = 0;
  size_t pass_ = 0;
};

// Reads the data sub-blocks up to the empty one or the end of the stream.
std::vector<uint8_t> ReadSubBlocks(TStream& stream) {
  std::vector<uint8_t> data;
  uint8_t length = 0;
  while (stream.Read(&length, 1) == 1 && length != 0) {
    const size_t at = data.size();
    data.resize(at + length);
    const int32_t got = stream.Read(data.data() + at, length);
    data.resize(at + static_cast<size_t>(std::max(got, 0)));
    if (got < length) break;
  }
  return data;
}

// Decodes the codes of one image into its pixels.
class GIFDecoder {
public:
  GIFDecoder(const std::vector<uint8_t>& data, int32_t codeSize, GIFRaster& raster, uint8_t* pixels)
      : data_(data), codeSize_(codeSize), clear_(1 << codeSize), end_(clear_ + 1), raster_(raster), pixels_(pixels) {
    for (int32_t i = 0; i < clear_; ++i) suffix_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  }

  // False when the codes are corrupt.
  bool Run() {
    ResetTable();
    int32_t code = ReadCode();
    while (code >= 0 && code != end_) {
      if (code == clear_) {
        ResetTable();
        do code = ReadCode();
        while (code == clear_);
        if (code < 0) return true;
        if (code == end_) return !DataRemains();
        if (code >= nextFree_) code = 0;
        StartString(code);
      } else if (previous_ < 0) {  // data that does not begin with a clear code
        if (code >= nextFree_) return false;
        StartString(code);
      } else if (!NextString(code)) {
        return false;
      }
      code = ReadCode();
    }
    return true;
  }

private:
  void ResetTable() {
    width_ = codeSize_ + 1;
    top_ = 1 << width_;
    nextFree_ = end_ + 1;
    previous_ = -1;
  }

  // The first code after a clear: a single pixel, no new string.
  void StartString(int32_t code) {
    previous_ = code;
    previousFirst_ = Output(code);
  }

  // Any later code; false when it is beyond the next free code.
  bool NextString(int32_t code) {
    if (code < nextFree_) {
      const uint8_t first = Output(code);
      AddString(previous_, first);
      previousFirst_ = first;
    } else if (code == nextFree_ && nextFree_ < kMaxCodes) {
      AddString(previous_, previousFirst_);
      Output(code);
    } else {
      return false;
    }
    previous_ = code;
    return true;
  }

  // A full table takes no more strings: the codes go on naming the strings
  // it has until a clear code comes (a "deferred clear").
  void AddString(int32_t prefix, uint8_t last) {
    if (nextFree_ >= kMaxCodes) return;
    prefix_[static_cast<size_t>(nextFree_)] = static_cast<uint16_t>(prefix);
    suffix_[static_cast<size_t>(nextFree_)] = last;
    if (++nextFree_ >= top_ && width_ < 12) {
      top_ *= 2;
      ++width_;
    }
  }

  // Writes the code's string as pixels; returns its first byte.
  uint8_t Output(int32_t code) {
    size_t depth = 0;
    while (code >= clear_ && depth < stack_.size() - 1) {
      stack_[depth++] = suffix_[static_cast<size_t>(code)];
      code = prefix_[static_cast<size_t>(code)];
    }
    const uint8_t first = suffix_[static_cast<size_t>(code)];
    stack_[depth++] = first;
    while (depth > 0 && !raster_.Done()) {
      pixels_[raster_.Index()] = stack_[--depth];
      raster_.Advance();
    }
    return first;
  }

  // The next code, or -1 when the data holds fewer bits than the width.
  int32_t ReadCode() {
    if (bitPos_ + static_cast<uint64_t>(width_) > static_cast<uint64_t>(data_.size()) * 8) return -1;
    const size_t at = static_cast<size_t>(bitPos_ >> 3);
    uint32_t bits = 0;
    for (size_t i = 0; i < 3 && at + i < data_.size(); ++i) bits |= uint32_t{data_[at + i]} << (8 * i);
    const auto code = static_cast<int32_t>((bits >> (bitPos_ & 7)) & ((1u << width_) - 1));
    bitPos_ += static_cast<uint64_t>(width_);
    return code;
  }

  // Whole bytes are left after the last code read.
  bool DataRemains() const { return (bitPos_ + 7) / 8 < data_.size(); }

  const std::vector<uint8_t>& data_;
  uint64_t bitPos_ = 0;
  const int32_t codeSize_, clear_, end_;
  int32_t width_ = 0, top_ = 0, nextFree_ = 0;
  int32_t previous_ = -1;
  uint8_t previousFirst_ = 0;
  GIFRaster& raster_;
  uint8_t* const pixels_;
  std::array<uint16_t, kMaxCodes> prefix_{};
  std::array<uint8_t, kMaxCodes> suffix_{};
  std::array<uint8_t, kMaxCodes + 1> stack_{};
};

}  // namespace

void DecodeGIFLZW(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels) {
  const int64_t start = stream.Position();
  uint8_t codeSize = 0;
  if (stream.Read(&codeSize, 1) != 1 || codeSize < 2 || codeSize > 9) {
    stream.SetPosition(start);
    return;
  }
  const std::vector<uint8_t> data = ReadSubBlocks(stream);
  GIFRaster raster(pixels ? width : 0, height, interlaced);
  if (raster.Count() > 0) std::memset(pixels, 0, raster.Count());
  auto decoder = std::make_unique<GIFDecoder>(data, codeSize, raster, pixels);
  if (!decoder->Run()) stream.SetPosition(start);
}

void EncodeGIFLZW(TStream& stream, int32_t height, int32_t width, bool interlaced, const uint8_t* pixels,
                  int32_t bitsPerPixel) {
  const int32_t codeSize = std::clamp(bitsPerPixel, 2, 8);
  const auto sizeByte = static_cast<uint8_t>(codeSize);
  stream.WriteBuffer(&sizeByte, 1);
  auto compressor = std::make_unique<TIELZWCompressor>(IEGIFLZWLayout, codeSize, stream);
  compressor->Start();
  const auto mask = static_cast<uint8_t>((1 << codeSize) - 1);
  for (GIFRaster raster(pixels ? width : 0, height, interlaced); !raster.Done(); raster.Advance())
    compressor->Put(pixels[raster.Index()] & mask);
  compressor->Finish();
  const uint8_t terminator = 0;
  stream.WriteBuffer(&terminator, 1);
}
