// The JPEG 2000 reader on arbitrary bytes, as an image and for its
// parameters only. Images that declare more than 4 million samples are read
// for their parameters alone, so that each input stays quick.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
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
  TIOParamsVals header(nullptr);
  FuzzProgress progress;
  IEReadJpeg2000Stream(stream, nullptr, header, progress.record, true);
  const bool small = int64_t{header.WIDTH} * header.HEIGHT * header.SAMPLESPERPIXEL <= (int64_t{1} << 22);
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& record,
                                     bool paramsOnly) {
    if (paramsOnly || small) IEReadJpeg2000Stream(stream, &bitmap, params, record, paramsOnly);
  });
  return 0;
}
