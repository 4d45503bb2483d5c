// The Targa reader on arbitrary bytes, as an image and for its parameters
// only, and its format test.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/ietgafil.h"
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
  if (!FuzzInputToStream(data, size, 0, stream)) return 0;
  stream.SetPosition(0);
  IEIsTGAStream(stream);
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    IEReadTGAStream(stream, &bitmap, params, progress, paramsOnly, false);
  });
  return 0;
}
