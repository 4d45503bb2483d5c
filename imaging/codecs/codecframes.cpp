// Frames of the palette writers and of readers; see codecframes.h.
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

void IEReadInHeldFormat(TIEBitmap* bitmap, const std::function<void(TIEBitmap*)>& read) {
  if (!bitmap || bitmap->Location() != ieTBitmap) {
    read(bitmap);
    return;
  }
  TIEBitmap aside;
  read(&aside);
  if (aside.IsEmpty()) return;
  switch (aside.GetPixelFormat()) {
    case ie1g:
    case ie8p:
    case ie8g:
    case ie24RGB:
    case ie32RGBA:
      break;
    case ie16Gray:
      aside.ConvertToPixelFormat(ie8g);
      break;
    default:
      aside.ConvertToPixelFormat(ie24RGB);
      break;
  }
  bitmap->Assign(&aside);
}
