// The parameter stream reader: any bytes either load or fail with the
// stream's read error, never crash or allocate beyond what the data holds.
#include <cstddef>
#include <cstdint>

#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIOParamsVals params(nullptr);
  try {
    params.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
