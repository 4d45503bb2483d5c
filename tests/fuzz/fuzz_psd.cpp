// The layered-document reader on arbitrary bytes, as an image, into a layer
// list and for its parameters only, and its format test; the first byte
// chooses native pixel formats, the thumbnail, the loading of layers, one
// layer by name and colour management through the embedded profile.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/codecs/iepsd.h"
#include "imaging/core/iesettings.h"
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
  if (!FuzzInputToStream(data, size, 1, stream)) return 0;
  stream.SetPosition(0);
  IEIsPSDStream(stream);
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                                     bool paramsOnly) {
    params.ISNATIVEPIXELFORMAT = data[0] & 1;
    params.GETTHUMBNAIL = data[0] & 2;
    if (data[0] & 16) params.PSDLayerName = "Layer 1";
    IEGetGlobalSettings()->ApplyEmbeddedICC = data[0] & 32;
    std::vector<TIEPSDLayer> layers;
    IEReadPSDStream(stream, &bitmap, params, progress, paramsOnly, (data[0] & 4) ? &layers : nullptr, data[0] & 8);
  });
  return 0;
}
