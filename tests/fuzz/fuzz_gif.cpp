// The GIF reader on arbitrary bytes: a frame as an image and for its
// parameters only, the frame count, and the frames composed as the I/O
// component shows them; the first byte chooses the frame, native pixel
// formats and how far the composition goes (its top five bits x 16 frames).
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/giffilter.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
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
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.GIF_IMAGEINDEX = data[0] & 3;
    params.ISNATIVEPIXELFORMAT = data[0] & 4;
    int32_t frames = 0;
    IEReadGIFStream(stream, &bitmap, frames, params, progress, paramsOnly, paramsOnly);
  });
  stream.SetPosition(0);
  IEGetGIFImageCount(stream);
  stream.SetPosition(0);
  TIEBitmap composite;
  TIOParamsVals params(nullptr);
  FuzzProgress progress;
  params.GIF_IMAGEINDEX = (data[0] >> 3) * 16 + (data[0] & 3);
  TIECodecRead read{stream, &composite, params, progress.record};
  read.Size = stream.Size();
  IEComposeGIFFrames(*IEFindCodec(2), read);
  return 0;
}
