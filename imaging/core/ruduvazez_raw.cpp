// TIEBitmap: the raw record "TIEBITMAPRAW" that carries a bitmap with its
// palette, display settings and alpha channel (little-endian, no padding).
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"
#include "platform/rtl/streams.h"

namespace {

constexpr char kSignature[12] = {'T', 'I', 'E', 'B', 'I', 'T', 'M', 'A', 'P', 'R', 'A', 'W'};
// The alignment of alpha channels, whose rows the record holds as they are.
constexpr int32_t kAlphaAlignment = 32;

// Writes into a memory block (advancing) or a stream.
class TRawWriter {
public:
  TRawWriter(uint8_t* buffer, TStream* stream) : buffer_(buffer), stream_(stream) {}
  void Put(const void* data, int64_t size) {
    if (size <= 0) return;
    if (buffer_) {
      std::memcpy(buffer_, data, static_cast<size_t>(size));
      buffer_ += size;
    } else if (stream_) {
      stream_->WriteBuffer(data, static_cast<int32_t>(size));
    }
  }
  template <typename T>
  void Value(T v) {
    Put(&v, sizeof v);
  }
  // Raises a stream's size to hold size more bytes; failures are ignored.
  void Reserve(int64_t size) {
    if (buffer_ || !stream_) return;
    try {
      const int64_t needed = stream_->Position() + size;
      if (stream_->Size() < needed) stream_->SetSize(needed);
    } catch (...) {
    }
  }

private:
  uint8_t* buffer_;
  TStream* stream_;
};

// Reads from a memory block of known size or a stream, never past its end.
class TRawReader {
public:
  TRawReader(const uint8_t* buffer, int64_t size, TStream* stream) : buffer_(buffer), stream_(stream) {
    remaining_ = buffer ? size : (stream ? stream->Size() - stream->Position() : 0);
    if (remaining_ < 0) remaining_ = 0;
  }
  int64_t Remaining() const { return remaining_; }
  bool Get(void* data, int64_t size) {
    if (size < 0 || size > remaining_) return false;
    if (buffer_) {
      std::memcpy(data, buffer_, static_cast<size_t>(size));
      buffer_ += size;
    } else {
      auto* out = static_cast<uint8_t*>(data);
      for (int64_t done = 0; done < size;) {
        const auto chunk = static_cast<int32_t>(std::min<int64_t>(size - done, 1 << 30));
        if (stream_->Read(out + done, chunk) != chunk) return false;
        done += chunk;
      }
    }
    remaining_ -= size;
    return true;
  }
  template <typename T>
  bool Value(T& v) {
    return Get(&v, sizeof v);
  }

private:
  const uint8_t* buffer_;
  TStream* stream_;
  int64_t remaining_;
};

// The fields between the palette and the pixel rows.
struct TRawHeader {
  int32_t width = 0, height = 0;
  uint8_t format = 0, allFull = 0;
  int32_t paletteUsed = 0;
  double displayMin = 0, displayMax = 0;
  std::array<int32_t, 4> offsets{};
  uint8_t adjustments = 0;
  int32_t contrast = 0, alignment = 32;
};

bool ReadHeader(TRawReader& in, TRawHeader& h) {
  return in.Value(h.width) && in.Value(h.height) && in.Value(h.format) && in.Value(h.allFull) &&
         in.Value(h.paletteUsed) && in.Value(h.displayMin) && in.Value(h.displayMax) && in.Value(h.offsets) &&
         in.Value(h.adjustments) && in.Value(h.contrast) && in.Value(h.alignment);
}

// Reads height rows of rowLength bytes each into the bitmap's rows (of its own length).
bool ReadRows(TRawReader& in, TIEBitmap& bitmap, int32_t height, int64_t rowLength) {
  std::vector<uint8_t> row(static_cast<size_t>(rowLength));
  const auto kept = static_cast<size_t>(std::min<int64_t>(rowLength, bitmap.RowLength64()));
  TIEAccessScope write(bitmap, iemWrite);
  for (int32_t y = 0; y < height; ++y) {
    if (!in.Get(row.data(), rowLength)) return false;
    if (uint8_t* d = bitmap.GetScanline(y)) std::memcpy(d, row.data(), kept);
  }
  return true;
}

}  // namespace

int64_t TIEBitmap::RawSize() {
  const int64_t rows = int64_t{GetHeight()} * RowLength64();
  const int64_t alpha = alphaChannel_ ? int64_t{alphaChannel_->GetHeight()} * alphaChannel_->RowLength64() + 1 : 0;
  return 76 + 3 * int64_t{paletteLength_} + rows + alpha;
}

void TIEBitmap::SaveRaw(uint8_t* buffer, TStream* stream, bool preSize) {
  TRawWriter out(buffer, stream);
  out.Put(kSignature, sizeof kSignature);
  out.Value<int32_t>(0);
  out.Value<int32_t>(paletteLength_);
  if (paletteLength_ > 0) out.Put(palette_.get(), 3 * int64_t{paletteLength_});
  const int32_t height = GetHeight();
  out.Value<int32_t>(GetWidth());
  out.Value<int32_t>(height);
  out.Value<uint8_t>(pixelFormat_);
  out.Value<uint8_t>(allFull_);
  out.Value<int32_t>(paletteUsed_);
  out.Value(DisplayMin);
  out.Value(DisplayMax);
  out.Value(DisplayOffsets);
  out.Value<uint8_t>(DisplayAdjustments ? 1 : 0);
  out.Value<int32_t>(Contrast);
  out.Value<int32_t>(rowAlignment_);
  auto rows = [&](TIEBitmap& b) {
    if (preSize) out.Reserve(int64_t{b.GetHeight()} * b.RowLength64());
    TIEAccessScope read(b, iemRead);
    for (int32_t y = 0; y < b.GetHeight(); ++y) out.Put(b.GetScanline(y), b.RowLength64());
  };
  rows(*this);
  out.Value<uint8_t>(alphaChannel_ ? 1 : 0);
  if (alphaChannel_) {
    rows(*alphaChannel_);
    out.Value<uint8_t>(alphaChannel_->allFull_);
  }
}

bool TIEBitmap::LoadRaw(const uint8_t* buffer, int64_t bufferSize, TStream* stream) {
  TRawReader in(buffer, bufferSize, stream);
  char signature[12];
  int32_t version = 0, paletteLength = 0;
  if (!in.Get(signature, sizeof signature) || std::memcmp(signature, kSignature, sizeof signature) != 0) return false;
  if (!in.Value(version) || version < 0) return false;
  if (!in.Value(paletteLength) || paletteLength < 0 || paletteLength > 256) return false;
  std::array<TRGB, 256> palette{};
  TRawHeader h;
  if (!in.Get(palette.data(), 3 * int64_t{paletteLength}) || !ReadHeader(in, h)) return false;
  const bool empty = h.width == 0 || h.height == 0;
  if (h.width < 0 || h.height < 0 || h.format > ie32RGBA || (h.format == ieNoFormat && !empty)) return false;
  if (h.paletteUsed < 0 || h.paletteUsed > 256) return false;
  if (h.alignment < 8 || h.alignment > 1024 || h.alignment % 8 != 0) return false;
  const auto format = static_cast<TIEPixelFormat>(h.format);
  const int64_t rowLength = IECheckedRowLength(h.width, IEPixelFormatInfo[format].BitsPerPixel, h.alignment);
  const int64_t alphaLength = IECheckedRowLength(h.width, 8, kAlphaAlignment);
  if (rowLength < 0 || alphaLength < 0) return false;
  // The rows and the alpha byte must be there before anything is allocated.
  if (int64_t{h.height} * rowLength > in.Remaining() - 1) return false;

  TIEBitmap scratch;
  scratch.rowAlignment_ = h.alignment;
  if (!empty) {
    if (!scratch.Allocate(h.width, h.height, format) || !ReadRows(in, scratch, h.height, rowLength)) return false;
  }
  uint8_t hasAlpha = 0;
  if (!in.Value(hasAlpha) || hasAlpha > 1) return false;
  if (hasAlpha) {
    uint8_t alphaFull = 0;
    if (int64_t{h.height} * alphaLength > in.Remaining() - 1) return false;
    TIEBitmap* alpha = scratch.GetAlphaChannel();
    if (!empty && !ReadRows(in, *alpha, h.height, alphaLength)) return false;
    if (!in.Value(alphaFull)) return false;
    alpha->allFull_ = alphaFull != 0;
  }

  scratch.TransferTo(*this);
  width_ = h.width;
  height_ = h.height;
  pixelFormat_ = format;
  rowAlignment_ = h.alignment;
  if (empty && format != ieNoFormat) SetGeometry();
  if (paletteLength > 0) {
    if (!palette_ || paletteLength_ < paletteLength) {
      palette_ = std::make_unique<TRGB[]>(256);
      paletteLength_ = 256;
    }
    std::copy_n(palette.begin(), paletteLength, palette_.get());
    UpdateTBitmapPalette();
  }
  allFull_ = h.allFull != 0;
  paletteUsed_ = h.paletteUsed;
  DisplayMin = h.displayMin;
  DisplayMax = h.displayMax;
  DisplayOffsets = h.offsets;
  DisplayAdjustments = h.adjustments != 0;
  Contrast = h.contrast;
  return true;
}
