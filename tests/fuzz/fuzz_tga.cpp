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
  if (size > (1 << 20)) return 0;
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
  stream.SetPosition(0);
  IEIsTGAStream(stream);
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    FuzzProgress progress;
    IEReadTGAStream(stream, &bitmap, params, progress.record, paramsOnly, false);
  }
  return 0;
}
