// The picture header readers and the GIF block walk on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "ui/render/advsmoothgdip.h"
#include "ui/render/htmlpicture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly the input, so that reading past it is caught.
  std::unique_ptr<uint8_t[]> bytes(new uint8_t[size ? size : 1]);
  for (size_t i = 0; i < size; ++i) bytes[i] = data[i];
  AdvSmoothGDIP::TImageSize found;
  AdvSmoothGDIP::GetJPEGSize(bytes.get(), size, found);
  AdvSmoothGDIP::GetPNGSize(bytes.get(), size, found);
  AdvSmoothGDIP::GetGIFSize(bytes.get(), size, found);
  AdvSmoothGDIP::GetBMPSize(bytes.get(), size, found);
  AdvSmoothGDIP::GetTIFFSize(bytes.get(), size, found);
  TGIFLayout layout;
  WalkGIF(bytes.get(), size, layout);
  for (const TGIFFrame& f : layout.frames)
    if (f.start >= size) __builtin_trap();
  return 0;
}
