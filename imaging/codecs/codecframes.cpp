// Frames of the palette writers; see codecframes.h.
#include "imaging/codecs/codecframes.h"

#include "imaging/processing/imageryproc_bits.h"

TIEBitmap* IEFrameAs(TIEBitmap& bitmap, TIEPixelFormat format, std::unique_ptr<TIEBitmap>& owned) {
  if (bitmap.GetPixelFormat() == format) return &bitmap;
  owned = std::make_unique<TIEBitmap>();
  owned->Assign(&bitmap);
  owned->ConvertToPixelFormat(format);
  return owned.get();
}

TIEBitmap* IEBilevelFrame(TIEBitmap& bitmap, std::unique_ptr<TIEBitmap>& owned, TRGB colors[2]) {
  colors[0] = TRGB{0, 0, 0};
  colors[1] = TRGB{255, 255, 255};
  if (bitmap.GetPixelFormat() == ie1g) return &bitmap;
  TRGB color0, color1;
  owned = IEConvertTo1BitIfTwoColors(&bitmap, color0, color1);
  if (owned) {
    colors[0] = color0;
    colors[1] = color1;
    return owned.get();
  }
  return IEFrameAs(bitmap, ie1g, owned);
}
