// The DICOM reader on arbitrary bytes: the tags and, for images that declare
// at most 4 million samples, the frame chosen by the first byte in each range
// mode (second byte); then the parameters only, the frame count and the
// content test.
#include <cstddef>
#include <cstdint>

#include "imaging/codecs/iedicom.h"
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
  if (!FuzzInputToStream(data, size, 2, stream)) return 0;
  stream.SetPosition(0);
  IEIsDICOMStream(stream);
  TIOParamsVals header(nullptr);
  FuzzProgress progress;
  IEReadDICOMStream(stream, header, nullptr, true, progress.record);
  const bool small = int64_t{header.WIDTH} * header.HEIGHT * header.SAMPLESPERPIXEL <= (int64_t{1} << 22);
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& record,
                                     bool paramsOnly) {
    params.IMAGEINDEX = data[0] % 4;
    params.DICOMRangeMode = data[1] % 3;
    if (paramsOnly || small) IEReadDICOMStream(stream, params, &bitmap, paramsOnly, record);
  });
  stream.SetPosition(0);
  IEGetDICOMStreamImageCount(stream);
  return 0;
}
