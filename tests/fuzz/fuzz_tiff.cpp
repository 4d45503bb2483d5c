// The TIFF reader on arbitrary bytes: the image of the page the first byte
// chooses, its parameters only, the content test and the page count.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/tiffilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  IELibraryInitialize();
  IEInitializeImageryIO();
  std::atexit([] {
    IEFinalizeImageryIO();
    IELibraryFinalize();
  });
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
    std::atomic<bool> abort{false};
    TIEProgressRecord progress;
    progress.Aborting = &abort;
    TIETIFFReadOptions options;
    options.ParamsOnly = paramsOnly;
    options.NoAlpha = mode & 2;
    int32_t pages = 0;
    IEReadTIFFStream(stream, &bitmap, pages, params, progress, options);
  }
  stream.SetPosition(0);
  IEIsTIFFStream(stream);
  IEGetTIFFImageCount(stream);
  return 0;
}
