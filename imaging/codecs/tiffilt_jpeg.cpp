// JPEG inside TIFF: new-style strips and tiles (compression 7, with the
// abbreviated tables of JPEGTables) and old-style interchange blocks
// (compression 6), all decoded by the JPEG codec into scratch bitmaps.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/tiffilt_internal.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace {

enum : int32_t { kRGB = 2 };

// A memory stream over a copy of the bytes, at position 0.
void Fill(TMemoryStream& stream, const uint8_t* data, size_t size) {
  if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
  stream.SetPosition(0);
}

// Runs the JPEG reader with a scratch parameter set and a progress record
// of its own, so neither the caller's parameters nor its abort flag see
// what the JPEG reader does; true when it decoded without complaint.
bool DecodeJPEG(TStream& data, TStream* tables, bool keepYCbCr, int32_t maxRows, TIEBitmap& into,
                TIOParamsVals& scratchParams, int32_t& rows) {
  std::atomic<bool> aborted{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborted;
  TIEJpegReadOptions options;
  options.TablesStream = tables;
  options.KeepYCbCr = keepYCbCr;
  options.ReadMetadata = false;
  options.InvertCMYK = true;
  options.ReadICC = false;
  options.MaxRows = maxRows;
  options.NativePixelFormat = true;
  rows = IEReadJPEGStream(data, &into, scratchParams, progress, options);
  return !aborted;
}

}  // namespace

bool IETIFFDecodeJPEGBlock(const std::vector<uint8_t>& data, const std::vector<uint8_t>& tables,
                           int32_t photometric, int32_t width, int32_t rows, TIEBitmap& scratch,
                           TIEProgressRecord& progress) {
  if (progress.Aborted() || data.empty()) return false;
  TMemoryStream source, tableStream;
  Fill(source, data.data(), data.size());
  Fill(tableStream, tables.data(), tables.size());
  TIOParamsVals params(nullptr);
  int32_t decoded = 0;
  // RGB coded without a colour transform: the samples are taken as coded.
  const bool keep = photometric == kRGB;
  if (!DecodeJPEG(source, tables.empty() ? nullptr : &tableStream, keep, -1, scratch, params, decoded)) return false;
  if (scratch.GetWidth() < width || decoded < rows) return false;
  // CMYK is coded with 0 as no ink; the bitmap keeps it inverted.
  if (scratch.GetPixelFormat() == ieCMYK)
    for (int32_t y = 0; y < scratch.GetHeight(); ++y) {
      uint8_t* p = scratch.GetScanline(y);
      for (int64_t k = 0; k < int64_t{scratch.GetWidth()} * 4; ++k) p[k] = static_cast<uint8_t>(255 - p[k]);
    }
  if (keep && params.JPEG_COLORSPACE == 2 && scratch.GetPixelFormat() == ie24RGB)
    for (int32_t y = 0; y < scratch.GetHeight(); ++y) {
      uint8_t* p = scratch.GetScanline(y);
      for (int32_t x = 0; x < scratch.GetWidth(); ++x, p += 3) std::swap(p[0], p[2]);
    }
  return true;
}

bool IETIFFDecodeOldJPEG(TStream& stream, int64_t base, int64_t interchange, int64_t interchangeLength,
                         const std::vector<int64_t>& offsets, const std::vector<int64_t>& counts,
                         int64_t rowsPerStrip, TIEBitmap& bitmap, TIEProgressRecord& progress) {
  const int64_t size = stream.Size();
  auto readAt = [&](int64_t offset, int64_t count, std::vector<uint8_t>& out) {
    return IETIFFReadBlock(stream, base, offset, count, out);
  };
  TIOParamsVals params(nullptr);
  std::vector<uint8_t> header, strip;
  if (counts.empty() || interchangeLength <= 0) {
    // The whole image is one JPEG at the interchange offset.
    const int64_t at = interchange > 0 ? interchange : offsets.empty() ? 0 : offsets[0];
    if (at <= 0 || base + at >= size) return false;
    stream.SetPosition(base + at);
    const int64_t length = IEGetJPEGLength(stream);
    if (length <= 0 || !readAt(at, length, header)) return false;
    TMemoryStream jpeg;
    Fill(jpeg, header.data(), header.size());
    int32_t rows = 0;
    return DecodeJPEG(jpeg, nullptr, false, -1, bitmap, params, rows) && rows == bitmap.GetHeight();
  }
  if (!readAt(interchange, interchangeLength, header) || header.size() < 4) return false;
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  std::vector<uint8_t> firstSegment;  // the first marker segment of strip 0, for the later strips
  for (size_t i = 0; i < offsets.size() && !progress.Aborted(); ++i) {
    const int64_t first = static_cast<int64_t>(i) * rowsPerStrip;
    if (first >= height) break;
    if (!readAt(offsets[i], i < counts.size() ? counts[i] : 0, strip)) return false;
    if (i == 0 && strip.size() >= 4) {
      const size_t length = std::min<size_t>(strip.size(), 2 + size_t{codecbytes::BE16(strip.data() + 2)});
      firstSegment.assign(strip.begin(), strip.begin() + static_cast<long>(length));
    }
    TMemoryStream jpeg;
    jpeg.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
    if (i > 0 && !firstSegment.empty()) jpeg.WriteBuffer(firstSegment.data(), static_cast<int32_t>(firstSegment.size()));
    if (!strip.empty()) jpeg.WriteBuffer(strip.data(), static_cast<int32_t>(strip.size()));
    jpeg.SetPosition(0);
    TIEBitmap scratch;
    int32_t rows = 0;
    const bool clean = DecodeJPEG(jpeg, nullptr, false, static_cast<int32_t>(rowsPerStrip), scratch, params, rows);
    // Old writers end strips early: more than half of the rows is a strip.
    if (!clean && rows * 2 <= rowsPerStrip) return false;
    const int32_t copyRows = static_cast<int32_t>(std::min<int64_t>({rows, rowsPerStrip, height - first}));
    const int32_t copyWidth = std::min(width, scratch.GetWidth());
    if (scratch.GetPixelFormat() != ie24RGB) scratch.SetPixelFormat(ie24RGB);
    for (int32_t y = 0; y < copyRows; ++y)
      std::memcpy(bitmap.GetScanline(static_cast<int32_t>(first + y)), scratch.GetScanline(y),
                  static_cast<size_t>(copyWidth) * 3);
    if (offsets.size() > 1) progress.Report(static_cast<int32_t>((i + 1) * 100 / offsets.size()));
  }
  return true;
}
