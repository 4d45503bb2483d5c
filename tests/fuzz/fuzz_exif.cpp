// EXIF blocks on arbitrary bytes: the block behind an "Exif" header read
// into a parameter set, written again and read back; the same bytes as the
// TIFF structure of a camera-raw file (EXIF, XMP and thumbnails).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/codecs/exifblock.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  std::string block("Exif\0\0", 6);
  block.append(reinterpret_cast<const char*>(data), size);
  TIOParamsVals params(nullptr);
  if (IELoadEXIFFromBuffer(block.data(), static_cast<int64_t>(block.size()), params)) {
    const std::vector<uint8_t> written = IESaveEXIFToBuffer(params, true);
    TIOParamsVals again(nullptr);
    IELoadEXIFFromBuffer(written.data(), static_cast<int64_t>(written.size()), again);
  }
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
  stream.SetPosition(0);
  TIOParamsVals raw(nullptr);
  IEReadTIFFEXIFAndThumbnail(stream, raw, true);
  return 0;
}
