// The bitmap reader on arbitrary bytes: as a file and as a bare bitmap, as
// an image and for its parameters only; the first byte chooses native
// pixel formats and whether alpha is ignored.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
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
  for (int pass = 0; pass < 3; ++pass) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.ISNATIVEPIXELFORMAT = data[0] & 1;
    std::unique_ptr<TIEMask> mask;
    FuzzProgress progress;
    IEReadBMPStream(stream, &bitmap, 0, params, progress.record, pass == 1, pass == 2, mask, data[0] & 2);
  }
  return 0;
}
