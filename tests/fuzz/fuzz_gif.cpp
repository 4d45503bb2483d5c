// The GIF reader on arbitrary bytes: a frame as an image and for its
// parameters only, and the frame count; the first byte chooses the frame
// and native pixel formats.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/giffilter.h"
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
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.GIF_IMAGEINDEX = data[0] & 3;
    params.ISNATIVEPIXELFORMAT = data[0] & 4;
    FuzzProgress progress;
    int32_t frames = 0;
    IEReadGIFStream(stream, &bitmap, frames, params, progress.record, paramsOnly, paramsOnly);
  }
  stream.SetPosition(0);
  IEGetGIFImageCount(stream);
  return 0;
}
