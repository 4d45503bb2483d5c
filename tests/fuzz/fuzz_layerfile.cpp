// The layer file reader on arbitrary bytes: the whole stack into
// free-standing layers, with and without a layer 0 to take properties from.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/exceptions.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (StartImagingLibrary(), true);
  (void)started;
  TIEMemStream stream(data, static_cast<int64_t>(size));
  IEIsLayersStream(stream);
  TIELayer first(nullptr, false, nullptr);
  std::vector<std::unique_ptr<TIELayer>> layers;
  try {
    if (IELoadLayerFile(stream, layers, size % 2 ? &first : nullptr)) {
      // Touch the last pixel of every layer read.
      for (auto& layer : layers) {
        TIEBitmap& b = *layer->Bitmap;
        TRGB pixel;
        if (b.GetHeight() > 0 && b.GetWidth() > 0) b.GetPixelRGB(b.GetWidth() - 1, b.GetHeight() - 1, pixel);
      }
    }
  } catch (const Exception&) {
  }
  return 0;
}
