// The I/O component's entry points of the bitmap-family codecs: the
// transparency a reader returns goes into the bitmap's alpha channel.
#include <memory>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"

namespace {

void MaskToAlpha(TIEBitmap* bitmap, const std::unique_ptr<TIEMask>& mask) {
  if (!bitmap || !mask) return;
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  alpha->CopyFromMask(mask.get());
  alpha->SetFullFlag(false);
}

TIEBitmap* Target(TIECodecRead& read) { return read.ParamsOnly ? nullptr : read.Bitmap; }

}  // namespace

void IEBmpCodecRead(TIECodecRead& read) {
  std::unique_ptr<TIEMask> mask;
  IEReadBMPStream(read.Stream, Target(read), read.Size, read.Params, read.Progress, read.ParamsOnly, false, mask,
                  !read.Params.BMP_HANDLETRANSPARENCY);
  MaskToAlpha(Target(read), mask);
}

void IEBmpCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWriteBMPStream(stream, bitmap, params, progress, params.BMP_HANDLETRANSPARENCY);
}

void IEIcoCodecRead(TIECodecRead& read) {
  std::unique_ptr<TIEMask> mask;
  IEReadICOStream(read.Stream, Target(read), read.Params, read.ParamsOnly, read.Progress, mask, false, false);
  MaskToAlpha(Target(read), mask);
  read.PageCount = read.Params.IMAGECOUNT;
}

void IEIcoCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  int32_t count = 0;
  while (count < 16 && params.ICOSizes[static_cast<size_t>(count)].Width > 0) ++count;
  IEWriteICOStream(stream, bitmap, params, progress, params.ICOSizes.data(), params.ICOBitCounts.data(), count);
}

void IECurCodecRead(TIECodecRead& read) {
  std::unique_ptr<TIEMask> mask;
  IEReadCURStream(read.Stream, Target(read), read.Params, read.ParamsOnly, read.Progress, mask, false);
  MaskToAlpha(Target(read), mask);
  read.PageCount = read.Params.IMAGECOUNT;
}

void IEPnmCodecRead(TIECodecRead& read) {
  IEReadPNMStream(read.Stream, Target(read), read.Params, read.Progress, read.ParamsOnly);
}

void IEPnmCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEWritePNMStream(stream, bitmap, params, progress);
}

void IEWbmpCodecRead(TIECodecRead& read) {
  IEReadWBMPStream(read.Stream, Target(read), read.Params, read.Progress, read.ParamsOnly);
}

void IEWbmpCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals&, TIEProgressRecord& progress) {
  IEWriteWBMPStream(stream, bitmap, progress);
}

void IERawBitmapCodecRead(TIECodecRead& read) {
  if (read.ParamsOnly) return;
  if (!read.Bitmap || read.Bitmap->IsEmpty()) {
    read.Progress.Abort();
    return;
  }
  IEReadRawBitmapStream(read.Stream, *read.Bitmap, read.Params, read.Progress);
}
