// The any-map and wireless-bitmap readers and the any-map test on
// arbitrary bytes; the first byte chooses native pixel formats.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/bmpfilt.h"
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
  stream.SetPosition(0);
  IEIsPNMStream(stream);
  for (int pass = 0; pass < 4; ++pass) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.ISNATIVEPIXELFORMAT = data[0] & 1;
    FuzzProgress progress;
    if (pass < 2)
      IEReadPNMStream(stream, &bitmap, params, progress.record, pass == 1);
    else
      IEReadWBMPStream(stream, &bitmap, params, progress.record, pass == 3);
  }
  return 0;
}
