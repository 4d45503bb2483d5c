// The JPEG codec's reader on arbitrary bytes, once as an image and once for
// its parameters only; the first byte chooses the options.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/jpegfilt.h"
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
  const uint8_t mode = data[0];
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.JPEG_SCALE = mode & 3;
    TIEJpegReadOptions options;
    options.ParamsOnly = paramsOnly;
    options.NativePixelFormat = mode & 4;
    options.KeepYCbCr = mode & 8;
    options.InvertCMYK = mode & 16;
    options.MaxRows = (mode & 32) ? 3 : -1;
    IEReadJPEGStream(stream, &bitmap, params, progress, options);
  });
  return 0;
}
