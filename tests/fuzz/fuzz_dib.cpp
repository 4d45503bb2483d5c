// The packed-DIB reader on arbitrary bytes: as a block holding everything,
// with the second half of the input as separate pixel bits, and drawn into
// a DIB section.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/processing/imageryproc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TIEBitmap bitmap;
  IECopyDIBToBitmap(data, size, &bitmap, nullptr, 0);
  const size_t half = size / 2;
  TIEBitmap split;
  IECopyDIBToBitmap(data, half, &split, data + half, size - half);
  TIEDibbitmap section;
  IEDrawDIBToDibBitmap(data, size, &section, nullptr, 0);
  return 0;
}
