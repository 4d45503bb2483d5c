// GDI+ image loading from a memory stream.
#include <cstddef>
#include <cstdint>

#include "platform/win/gdiplus.h"
#include "platform/win/shlwapi.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  IStream* stream = SHCreateMemStream(data, static_cast<UINT>(size));
  if (!stream) return 0;
  GpImage* image = nullptr;
  if (GdipLoadImageFromStream(stream, &image) == Gdiplus::Ok && image) {
    UINT w = 0, h = 0;
    GdipGetImageWidth(image, &w);
    GdipGetImageHeight(image, &h);
    GdipDisposeImage(image);
  }
  stream->Release();
  return 0;
}
