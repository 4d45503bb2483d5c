// What the bitmap-family codecs share inside the library: bounded reads,
// little-endian fields, row progress, resolutions and pixel copies in a
// given format.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace bmpfilt {

using codecbytes::LE16;
using codecbytes::LE32;
using codecbytes::PutLE16;
using codecbytes::PutLE32;

// Bytes of a row of width pixels of bits each, padded to alignBits, in 64
// bits whatever the width (file rows can be far longer than any image).
inline int64_t RowBytes(int64_t width, int32_t bits, int32_t alignBits = 32) {
  const int64_t align = alignBits > 0 ? alignBits : 8;
  return (width * bits + align - 1) / align * align / 8;
}

// Bytes left from the position to the end of the stream (0 when past it).
inline int64_t Remaining(TStream& stream) { return std::max<int64_t>(0, stream.Size() - stream.Position()); }

// Reads up to count bytes; returns how many arrived (0 for none).
inline int64_t ReadSome(TStream& stream, void* buffer, int64_t count) {
  int64_t done = 0;
  auto* out = static_cast<uint8_t*>(buffer);
  while (done < count) {
    const auto piece = static_cast<int32_t>(std::min<int64_t>(count - done, 1 << 30));
    const int32_t got = stream.Read(out + done, piece);
    if (got <= 0) break;
    done += got;
  }
  return done;
}
// True when all count bytes were read.
inline bool ReadAll(TStream& stream, void* buffer, int64_t count) { return ReadSome(stream, buffer, count) == count; }

// Reports trunc(rows x factor) whenever it changes; Step answers false
// once the abort flag is set.
class TRowProgress {
public:
  TRowProgress(TIEProgressRecord& progress, int32_t rows) : progress_(progress) {
    progress_.per1 = rows > 0 ? 100.0 / rows : 0;
  }
  bool Step(int32_t rowsDone) {
    const auto percent = static_cast<int32_t>(rowsDone * progress_.per1);
    if (percent != last_) {
      last_ = percent;
      progress_.Report(percent);
    }
    return !progress_.Aborted();
  }

private:
  TIEProgressRecord& progress_;
  int32_t last_ = -1;
};

// Writes through the library's safe stream write; a short write sets the
// abort flag.
struct TSafeWriter {
  TStream& stream;
  TIEProgressRecord& progress;
  bool failed = false;
  void Put(const void* data, int64_t count) {
    IESafeStreamWrite(stream, failed, data, static_cast<int32_t>(count));
    if (failed) progress.Abort();
  }
  void Put(const std::string& text) { Put(text.data(), static_cast<int64_t>(text.size())); }
};

// Pixels per metre as DPI, rounded; fallback when the result is not positive.
inline int32_t DpiFromMetres(int64_t perMetre, int32_t fallback) {
  const double dpi = std::nearbyint(static_cast<double>(perMetre) / 100.0 * 2.54);
  return dpi >= 1 && dpi <= INT32_MAX ? static_cast<int32_t>(dpi) : fallback;
}
inline int32_t MetresFromDpi(int32_t dpi) { return static_cast<int32_t>(std::nearbyint(dpi / 2.54 * 100.0)); }

// The image itself when it is in the format, else a converted copy held by holder.
inline TIEBitmap& InFormat(TIEBitmap& bitmap, TIEPixelFormat format, std::unique_ptr<TIEBitmap>& holder) {
  if (bitmap.GetPixelFormat() == format) return bitmap;
  holder = std::make_unique<TIEBitmap>();
  holder->Allocate(bitmap.GetWidth(), bitmap.GetHeight(), format);
  holder->ConvertFrom(bitmap);
  return *holder;
}

// A whole image of width x height in format may be allocated when its rows
// need at most limit bytes (callers derive limit from the data left).
inline bool CanAllocate(int32_t width, int32_t height, TIEPixelFormat format, int64_t limit) {
  if (width < 1 || height < 1) return false;
  const int64_t row = IECheckedRowLength(width, IEPixelFormatInfo[format].BitsPerPixel, 32);
  return row > 0 && row <= limit / height;
}

}  // namespace bmpfilt
