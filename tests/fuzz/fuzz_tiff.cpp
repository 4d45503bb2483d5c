// The TIFF reader on arbitrary bytes: the image of the page the first byte
// chooses (or one tile of it), its parameters only, the content test and
// the page count.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/tiffilt.h"
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
    params.TIFF_IMAGEINDEX = mode & 1;
    params.TIFF_GETTILE = (mode & 4) ? (mode >> 3) : -1;
    TIETIFFReadOptions options;
    options.ParamsOnly = paramsOnly;
    options.NoAlpha = mode & 2;
    int32_t pages = 0;
    IEReadTIFFStream(stream, &bitmap, pages, params, progress, options);
  });
  stream.SetPosition(0);
  IEIsTIFFStream(stream);
  IEGetTIFFImageCount(stream);
  return 0;
}
