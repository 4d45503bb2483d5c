// ZDecompressBuffer and the decompression stream on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    ZDecompressBuffer(data, size, 0, size_t{1} << 24);
  } catch (const Exception&) {
  }
  try {
    TIEMemStream source(data, static_cast<int64_t>(size));
    TZDecompressionStream z(source);
    uint8_t buffer[4096];
    int64_t total = 0;
    while (total < (int64_t{1} << 24)) {
      int32_t n = z.Read(buffer, sizeof buffer);
      if (n <= 0) break;
      total += n;
    }
    z.Seek(0, TSeekOrigin::soBeginning);
    z.Read(buffer, 16);
  } catch (const Exception&) {
  }
  return 0;
}
