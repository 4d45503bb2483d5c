// The PCX and DCX readers on arbitrary bytes, as an image and for the
// parameters only, and the page-table tests; the first byte chooses the
// reader and the DCX page.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/pcxfilter.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 20)) return 0;
  TMemoryStream stream;
  if (size > 1) stream.WriteBuffer(data + 1, static_cast<int32_t>(size - 1));
  const bool dcx = data[0] & 1;
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.DCX_IMAGEINDEX = data[0] >> 1;
    FuzzProgress progress;
    if (dcx)
      IEReadDCXStream(stream, &bitmap, params, paramsOnly, progress.record);
    else
      IEReadPCXStream(stream, &bitmap, params, paramsOnly, progress.record, stream.Size());
  }
  stream.SetPosition(0);
  IEIsDCXStream(stream);
  IEGetDCXImageCount(stream);
  return 0;
}
