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

// The bytes of the data sub-blocks, read through a buffer, up to the empty
// sub-block or the end of the stream.
class SubBlockBytes {
public:
  explicit SubBlockBytes(TStream& stream) : stream_(stream) {
    const int64_t remaining = std::max<int64_t>(0, stream.Size() - stream.Position());
    buffer_.resize(static_cast<size_t>(std::clamp<int64_t>(remaining, 1, 1 << 16)));
  }

  // The next byte, or -1 after the last.
  int32_t Next() {
    if (inBlock_ == 0 && !StartBlock()) return -1;
    if (at_ == filled_ && !Refill()) return -1;
    --inBlock_;
    return buffer_[at_++];
  }

  // Skips what is left, leaving the stream just after the empty sub-block (or at its end).
  void Finish() {
    while (!ended_) {
      if (inBlock_ == 0 && !StartBlock()) break;
      if (at_ == filled_ && !Refill()) break;
      const size_t part = std::min(inBlock_, filled_ - at_);
      at_ += part;
      inBlock_ -= part;
    }
    stream_.SetPosition(bufferStart_ + static_cast<int64_t>(at_));
  }

private:
  // Takes the next length byte; false at the empty sub-block or the end.
  bool StartBlock() {
    if (ended_ || (at_ == filled_ && !Refill())) return false;
    inBlock_ = buffer_[at_++];
    ended_ = inBlock_ == 0;
    return !ended_;
  }

  bool Refill() {
    bufferStart_ += static_cast<int64_t>(filled_);
    if (filled_ == 0) bufferStart_ = stream_.Position();
    filled_ = static_cast<size_t>(std::max(stream_.Read(buffer_.data(), static_cast<int32_t>(buffer_.size())), 0));
    at_ = 0;
    if (filled_ == 0) ended_ = true;
    return filled_ > 0;
  }

  TStream& stream_;
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;  // the stream position of buffer_[0]
  size_t filled_ = 0, at_ = 0;
  size_t inBlock_ = 0;  // bytes of the current sub-block still to come
  bool ended_ = false;
};

// Decodes the codes of one image into its pixels in the order the data
// holds them (count bytes at out). Each table entry keeps its length, so
// that a string is written straight into place, last byte first.
class GIFDecoder {
public:
  GIFDecoder(SubBlockBytes& data, int32_t codeSize, uint8_t* out, size_t count)
      : data_(data), codeSize_(codeSize), clear_(1 << codeSize), end_(clear_ + 1), out_(out), count_(count) {
    for (int32_t i = 0; i < clear_; ++i) {
      suffix_[static_cast<size_t>(i)] = first_[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
      length_[static_cast<size_t>(i)] = 1;
    }
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

  // The pixels written.
  size_t Written() const { return at_; }

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
    Output(code);
  }

  // Any later code; false when it is beyond the next free code.
  bool NextString(int32_t code) {
    if (code < nextFree_) {
      Output(code);
      AddString(previous_, first_[static_cast<size_t>(code)]);
    } else if (code == nextFree_ && nextFree_ < kMaxCodes) {
      AddString(previous_, first_[static_cast<size_t>(previous_)]);
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
    const auto at = static_cast<size_t>(nextFree_), from = static_cast<size_t>(prefix);
    prefix_[at] = static_cast<uint16_t>(prefix);
    suffix_[at] = last;
    first_[at] = first_[from];
    length_[at] = static_cast<uint16_t>(length_[from] + 1);
    if (++nextFree_ >= top_ && width_ < 12) {
      top_ *= 2;
      ++width_;
    }
  }

  // Writes the code's string as pixels; what runs past the last pixel is dropped.
  void Output(int32_t code) {
    const size_t length = length_[static_cast<size_t>(code)];
    const size_t room = count_ - at_;
    if (room == 0) return;
    size_t skip = 0;  // bytes at the string's end that find no pixel
    if (length > room) skip = length - room;
    auto c = static_cast<size_t>(code);
    for (size_t i = 0; i < skip; ++i) c = prefix_[c];
    uint8_t* p = out_ + at_ + (length - skip);
    for (size_t i = length - skip; i > 1; --i) {
      *--p = suffix_[c];
      c = prefix_[c];
    }
    if (length > skip) *--p = suffix_[c];
    at_ += length - skip;
  }

  // The next code, or -1 when the data holds fewer bits than the width.
  int32_t ReadCode() {
    while (bits_ <= 56 && !dataEnded_) {
      const int32_t byte = data_.Next();
      dataEnded_ = byte < 0;
      if (dataEnded_) break;
      buffer_ |= uint64_t(byte) << bits_;
      bits_ += 8;
    }
    if (bits_ < width_) return -1;
    const auto code = static_cast<int32_t>(buffer_ & ((uint64_t{1} << width_) - 1));
    buffer_ >>= width_;
    bits_ -= width_;
    return code;
  }

  // Whole bytes are left after the last code read.
  bool DataRemains() { return bits_ >= 8 || (!dataEnded_ && data_.Next() >= 0); }

  SubBlockBytes& data_;
  bool dataEnded_ = false;
  uint64_t buffer_ = 0;  // bits taken but not yet read, lowest first
  int32_t bits_ = 0;
  const int32_t codeSize_, clear_, end_;
  int32_t width_ = 0, top_ = 0, nextFree_ = 0;
  int32_t previous_ = -1;
  uint8_t* const out_;
  const size_t count_;
  size_t at_ = 0;
  std::array<uint16_t, kMaxCodes> prefix_{};
  std::array<uint8_t, kMaxCodes> suffix_{};
  std::array<uint8_t, kMaxCodes> first_{};
  std::array<uint16_t, kMaxCodes> length_{};
};

// Puts the rows of an interlaced image, decoded in the order of its passes,
// in their places: each cycle of the permutation is followed with one row
// held aside.
void Deinterlace(uint8_t* pixels, int32_t width, int32_t height) {
  const auto rowBytes = static_cast<size_t>(width);
  std::vector<int32_t> destination;  // the row the i-th decoded row belongs in
  destination.reserve(static_cast<size_t>(height));
  for (GIFRaster raster(1, height, true); !raster.Done(); raster.Advance())
    destination.push_back(static_cast<int32_t>(raster.Index()));
  std::vector<bool> placed(static_cast<size_t>(height), false);
  std::vector<uint8_t> held(rowBytes), swap(rowBytes);
  for (int32_t first = 0; first < height; ++first) {
    if (placed[static_cast<size_t>(first)]) continue;
    // Carry the row at `first` to its destination, the row found there to its own, and so on.
    std::memcpy(held.data(), pixels + static_cast<size_t>(first) * rowBytes, rowBytes);
    for (int32_t i = first; !placed[static_cast<size_t>(i)];) {
      placed[static_cast<size_t>(i)] = true;
      const int32_t to = destination[static_cast<size_t>(i)];
      uint8_t* target = pixels + static_cast<size_t>(to) * rowBytes;
      std::memcpy(swap.data(), target, rowBytes);
      std::memcpy(target, held.data(), rowBytes);
      held.swap(swap);
      i = to;
    }
  }
}

}  // namespace

void DecodeGIFLZW(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels) {
  const int64_t start = stream.Position();
  uint8_t codeSize = 0;
  if (stream.Read(&codeSize, 1) != 1 || codeSize < 2 || codeSize > 9) {
    stream.SetPosition(start);
    return;
  }
  const size_t count = GIFRaster(pixels ? width : 0, height, false).Count();
  SubBlockBytes data(stream);
  auto decoder = std::make_unique<GIFDecoder>(data, codeSize, pixels, count);
  const bool good = decoder->Run();
  if (count > 0) std::memset(pixels + decoder->Written(), 0, count - decoder->Written());
  if (interlaced && count > 0) Deinterlace(pixels, width, height);
  if (good) data.Finish();
  else stream.SetPosition(start);
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
