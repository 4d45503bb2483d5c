// The layer record (undo steps) on arbitrary bytes, twice in a row as undo
// streams hold them.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/exceptions.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (StartImagingLibrary(), true);
  (void)started;
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIELayer layer(nullptr, false, nullptr);
  if (layer.LoadFromStream(stream) && layer.LoadFromStream(stream)) {
    TIEBitmap& b = *layer.Bitmap;
    TRGB pixel;
    if (b.GetHeight() > 0 && b.GetWidth() > 0) b.GetPixelRGB(b.GetWidth() - 1, b.GetHeight() - 1, pixel);
  }
  return 0;
}
