// The HD Photo reader on arbitrary bytes, as an image and for its
// parameters (which decode as well). Frames that declare more than 4
// million pixels are left alone, so that each input stays quick.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/io/iewic.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "platform/win/ole.h"
#include "platform/win/streamadapter.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  CoInitialize();
  return 0;
}

namespace {

// The first frame's pixels as the component describes it (nothing is
// decoded for that); 0 when it does not open the bytes.
int64_t FramePixels(TMemoryStream& stream) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  UINT width = 0, height = 0;
  stream.SetPosition(0);
  if (SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                 reinterpret_cast<void**>(factory.GetAddressOf()))) &&
      SUCCEEDED(factory->CreateDecoderFromStream(TStreamAdapter::Make(&stream).Get(), nullptr,
                                                 WICDecodeMetadataCacheOnLoad, decoder.GetAddressOf())) &&
      SUCCEEDED(decoder->GetFrame(0, frame.GetAddressOf())))
    frame->GetSize(&width, &height);
  return int64_t{width} * height;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  if (!FuzzInputToStream(data, size, 0, stream)) return 0;
  IEIsHDPhotoStream(stream);
  if (FramePixels(stream) > (int64_t{1} << 22)) return 0;
  FuzzReadImageAndParams(stream, [&](TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& record,
                                     bool paramsOnly) {
    params.ISNATIVEPIXELFORMAT = paramsOnly;
    IEReadHDPhotoStream(stream, &bitmap, params, record, paramsOnly);
  });
  return 0;
}
