// The icon and cursor readers on arbitrary bytes, as an image and for
// their parameters only; the first byte chooses the image index, native
// pixel formats, resource layout and the 256-pixel check.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/davovevo.h"
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
  for (int pass = 0; pass < 4; ++pass) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.SetImageIndex(data[0] & 3);
    params.ISNATIVEPIXELFORMAT = data[0] & 4;
    params.ISRESOURCE = data[0] & 8;
    std::unique_ptr<TIEMask> mask;
    FuzzProgress progress;
    try {
      if (pass < 2)
        IEReadICOStream(stream, &bitmap, params, pass == 1, progress.record, mask, data[0] & 16, data[0] & 32);
      else
        IEReadCURStream(stream, &bitmap, params, pass == 3, progress.record, mask, data[0] & 16);
    } catch (const EIEException&) {
      // Unsupported native formats and false 256-pixel icons are refused this way.
    }
  }
  return 0;
}
