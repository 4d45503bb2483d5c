// The headerless pixel reader on arbitrary bytes: the first four bytes
// choose the bitmap's size and format and the layout parameters.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4 || size > (1 << 20)) return 0;
  TMemoryStream stream;
  if (size > 4) stream.WriteBuffer(data + 4, static_cast<int32_t>(size - 4));
  stream.SetPosition(0);
  const auto format = static_cast<TIEPixelFormat>(1 + data[2] % 10);
  TIEBitmap bitmap(1 + data[0] % 64, 1 + data[1] % 64, format);
  TIOParamsVals params(nullptr);
  params.BMPRAW_PLANES = data[3] & 1;
  params.BMPRAW_CHANNELORDER = (data[3] >> 1) & 1;
  params.BMPRAW_DATAFORMAT = (data[3] >> 2) % 3;
  params.BMPRAW_ROWALIGN = (data[3] & 0x40) ? 32 : 8;
  params.BMPRAW_HEADERSIZE = (data[3] & 0x80) ? 7 : 0;
  FuzzProgress progress;
  try {
    IEReadRawBitmapStream(stream, bitmap, params, progress.record);
  } catch (const EIEException&) {
    // Hexadecimal text into floating-point samples is refused this way.
  }
  return 0;
}
