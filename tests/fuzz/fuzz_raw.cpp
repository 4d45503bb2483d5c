// The built-in camera-raw reader on arbitrary bytes: identification, the
// decode with its white level, tone curve and output at both depths, half
// size, and the parameters-only read. The first byte chooses the options
// (bit 0 16 bits, bit 1 half size); the file follows it.
#include <cstddef>
#include <cstdint>

#include "imaging/core/davovevo.h"
#include "imaging/io/ieraw.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  if (size < 1 || !FuzzInputToStream(data, size, 1, stream)) return 0;
  const uint8_t options = data[0];
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.ISNATIVEPIXELFORMAT = options & 1;
    params.RAW_HALFSIZE = options & 2;
    try {
      IEReadRAWStream(stream, &bitmap, params, progress, paramsOnly);
    } catch (const EIEException&) {
      // a picture larger than memory: refused cleanly
    }
  });
  return 0;
}
