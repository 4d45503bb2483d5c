// The PDF page counter on arbitrary bytes: a text scan that must end, never
// read outside the data and answer a count of zero or more.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_pdf.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t{1} << 20)) return 0;
  try {
    TIEMemStream stream(data, static_cast<int64_t>(size));
    if (IEPDFGetStreamPageCount(stream) < 0) std::abort();
    // The scan counts from the stream's position.
    if (size > 1) {
      TIEMemStream from(data, static_cast<int64_t>(size));
      from.SetPosition(1);
      if (IEPDFGetStreamPageCount(from) < 0) std::abort();
    }
  } catch (const Exception&) {
  }
  return 0;
}
