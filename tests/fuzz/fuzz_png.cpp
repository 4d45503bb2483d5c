// The PNG codec's reader on arbitrary bytes, as an image and for its
// parameters only; the first byte chooses native pixel formats.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/pngfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  if (!FuzzInputToStream(data, size, 1, stream)) return 0;
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.ISNATIVEPIXELFORMAT = data[0] & 1;
    IEReadPNGStream(stream, &bitmap, params, paramsOnly, progress);
  });
  return 0;
}
