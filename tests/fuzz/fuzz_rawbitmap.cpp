// TIEBitmap.LoadRaw on arbitrary bytes, from a memory block and from a stream.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEBitmap fromBuffer;
  if (fromBuffer.LoadRaw(data, static_cast<int64_t>(size), nullptr) && fromBuffer.GetHeight() > 0)
    fromBuffer.GetScanline(fromBuffer.GetHeight() - 1);
  try {
    TIEMemStream stream(data, static_cast<int64_t>(size));
    TIEBitmap fromStream;
    fromStream.LoadRaw(nullptr, 0, &stream);
  } catch (const Exception&) {
  }
  return 0;
}
