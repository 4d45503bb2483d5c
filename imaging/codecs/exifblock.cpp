// EXIF blocks read into and written from a parameter set through the TIFF
// codec.
#include "imaging/codecs/exifblock.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <memory>

#include "imaging/codecs/tiffilt.h"
#include "imaging/codecs/tiffilt_meta.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int64_t kHeaderSize = 6;
const uint8_t kHeader[kHeaderSize] = {'E', 'x', 'i', 'f', 0, 0};

// The tags of the TIFF at the stream's position into params, no image
// decoded; the position is restored.
void ReadTags(TStream& stream, TIOParamsVals& params) {
  const int64_t position = stream.Position();
  std::atomic<bool> aborting{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIETIFFReadOptions options;
  options.ParamsOnly = true;
  int32_t pages = 0;
  // A directory of tags only reports no image; its tags are read all the same.
  IEReadTIFFStream(stream, nullptr, pages, params, progress, options);
  stream.SetPosition(position);
}

// A bitmap whose bytes are all zero: a placeholder, never a thumbnail.
bool AllZero(TIEBitmap& bitmap) {
  const auto length = static_cast<size_t>(bitmap.GetRowLength());
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* row = bitmap.GetScanline(y);
    if (row && std::any_of(row, row + length, [](uint8_t b) { return b != 0; })) return false;
  }
  return true;
}

// The EXIF values without the thumbnail; the TIFF orientation follows the EXIF one.
void CopyEXIF(const TIOParamsVals& found, TIOParamsVals& params) {
  IECopyEXIF(found, params, false);
  if (params.EXIF_ORIENTATION > 0) params.SetTIFF_Orientation(params.EXIF_ORIENTATION);
}

TIEBitmap& EmptyThumbnail(TIOParamsVals& params) {
  if (!params.EXIFThumbnail) params.EXIFThumbnail = std::make_unique<TIEBitmap>();
  params.EXIFThumbnail->FreeImage(true);
  return *params.EXIFThumbnail;
}

}  // namespace

bool IELoadEXIFFromBuffer(const void* data, int64_t size, TIOParamsVals& params) {
  if (!data || size <= kHeaderSize || !IEIsEXIFHeader(data, static_cast<size_t>(size)) ||
      size - kHeaderSize > INT32_MAX)
    return false;
  TMemoryStream tiff;
  tiff.Write(static_cast<const uint8_t*>(data) + kHeaderSize, static_cast<int32_t>(size - kHeaderSize));
  tiff.SetPosition(0);
  if (IEGetTIFFImageCount(tiff) == 0) return false;
  TIOParamsVals found(nullptr);
  ReadTags(tiff, found);
  CopyEXIF(found, params);
  params.EXIF_HASEXIF = true;
  TIEBitmap& thumbnail = EmptyThumbnail(params);
  if (IEReadTIFFThumbnailPage(tiff, 1, thumbnail)) IEApplyExifOrientation(thumbnail, params.EXIF_ORIENTATION);
  return true;
}

std::vector<uint8_t> IESaveEXIFToBuffer(TIOParamsVals& params, bool withHeader) {
  TMemoryStream tiff;
  if (!IEWriteTIFFParamsOnly(tiff, params)) return {};
  if (params.EXIFThumbnail && !params.EXIFThumbnail->IsEmpty() &&
      !IEAppendTIFFJPEGThumbnail(tiff, *params.EXIFThumbnail))
    return {};
  const auto* bytes = static_cast<const uint8_t*>(tiff.Memory());
  std::vector<uint8_t> block;
  if (withHeader) block.assign(kHeader, kHeader + kHeaderSize);
  block.insert(block.end(), bytes, bytes + tiff.Size());
  return block;
}

bool IEReadTIFFEXIFAndThumbnail(TStream& stream, TIOParamsVals& params, bool copyXMP) {
  const int64_t position = stream.Position();
  TIOParamsVals found(nullptr);
  ReadTags(stream, found);
  CopyEXIF(found, params);
  if (copyXMP) params.SetXMP_Info(found.XMP_INFO);
  // The narrower of the first two images that decode as thumbnails.
  TIEBitmap first, second;
  const bool hasFirst = IEReadTIFFThumbnailPage(stream, 0, first) && !AllZero(first);
  const bool hasSecond = IEReadTIFFThumbnailPage(stream, 1, second) && !AllZero(second);
  const int32_t firstWidth = hasFirst ? first.GetWidth() : INT32_MAX;
  const int32_t secondWidth = hasSecond ? second.GetWidth() : INT32_MAX;
  if (firstWidth != secondWidth) {
    TIEBitmap& chosen = firstWidth < secondWidth ? first : second;
    EmptyThumbnail(params).Assign(&chosen);
  }
  stream.SetPosition(position);
  return true;
}

bool IEReadTIFFParams(TStream& stream, TIOParamsVals& params) {
  EmptyThumbnail(params);
  ReadTags(stream, params);
  return true;
}
