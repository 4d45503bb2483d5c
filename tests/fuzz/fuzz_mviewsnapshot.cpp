// The thumbnail view's snapshot stream (with the image-list and parameter
// streams inside, plain or compressed): any bytes either read as a whole
// snapshot or are refused, and every stored image of a snapshot that reads
// comes back without touching memory beyond its block.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/iemview.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIEMSnapshot snapshot;
  if (!IEMReadSnapshot(stream, snapshot, false)) return 0;
  for (TIEVirtualImageList* list : {snapshot.Store.get(), snapshot.Cache.get()})
    for (int32_t i = 0; i < list->ImageCount(); ++i) {
      TIEBitmap* bitmap = list->GetBitmap(list->GetImage(i));
      list->ReleaseBitmap(bitmap, false);
    }
  return 0;
}
