// The virtual image list's stream reader: any bytes either load or are
// refused, and every image of a loaded list reads back without touching
// memory beyond its block.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez_imagelist.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIEVirtualImageList list("FUZZ", false);
  try {
    if (!list.LoadFromStream(stream)) return 0;
    for (int32_t i = 0; i < list.ImageCount(); ++i) {
      TIEVirtualImage* image = list.GetImage(i);
      TIEBitmap* bitmap = list.GetBitmap(image);
      list.GetImageAlphaBits(image);
      list.ReleaseBitmap(bitmap, true);
    }
  } catch (const Exception&) {
  }
  return 0;
}
