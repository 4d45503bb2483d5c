// The TIFF reader on arbitrary bytes: the image of the page the first byte
// chooses, its parameters only, the content test and the page count.
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
  if (size < 1 || size > (1 << 20)) return 0;
  const uint8_t mode = data[0];
  TMemoryStream stream;
  if (size > 1) stream.WriteBuffer(data + 1, static_cast<int32_t>(size - 1));
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.TIFF_IMAGEINDEX = mode & 1;
    FuzzProgress progress;
    TIETIFFReadOptions options;
    options.ParamsOnly = paramsOnly;
    options.NoAlpha = mode & 2;
    int32_t pages = 0;
    IEReadTIFFStream(stream, &bitmap, pages, params, progress.record, options);
  }
  stream.SetPosition(0);
  IEIsTIFFStream(stream);
  IEGetTIFFImageCount(stream);
  return 0;
}
