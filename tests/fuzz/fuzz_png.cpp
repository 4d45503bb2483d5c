// The PNG codec's reader on arbitrary bytes, as an image and for its
// parameters only; the first byte chooses native pixel formats.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/codecs/pngfilt.h"
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
  TMemoryStream stream;
  if (size > 1) stream.WriteBuffer(data + 1, static_cast<int32_t>(size - 1));
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.ISNATIVEPIXELFORMAT = data[0] & 1;
    std::atomic<bool> abort{false};
    TIEProgressRecord progress;
    progress.Aborting = &abort;
    IEReadPNGStream(stream, &bitmap, params, paramsOnly, progress);
  }
  return 0;
}
