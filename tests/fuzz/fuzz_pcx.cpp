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
  TMemoryStream stream;
  if (!FuzzInputToStream(data, size, 1, stream)) return 0;
  const bool dcx = data[0] & 1;
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.DCX_IMAGEINDEX = data[0] >> 1;
    if (dcx)
      IEReadDCXStream(stream, &bitmap, params, paramsOnly, progress);
    else
      IEReadPCXStream(stream, &bitmap, params, paramsOnly, progress, stream.Size());
  });
  stream.SetPosition(0);
  IEIsDCXStream(stream);
  IEGetDCXImageCount(stream);
  return 0;
}
