// The lossless JPEG decoder on arbitrary bytes: the first byte picks the
// output (8 or 16 bits) and the component count, the next two the target's
// width and the fourth its height; the rest is the frame. A target no larger
// than the data allows is allocated exactly, so any write past it shows.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/codecs/iedicom.h"
#include "platform/rtl/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const bool sixteen = data[0] & 1;
  const int components = data[0] & 2 ? 3 : 1;
  const int width = data[1] << 8 | data[2], height = data[3];
  const size_t samples = static_cast<size_t>(width) * height * components;
  if (samples == 0 || samples > (size_t{1} << 20)) return 0;
  TMemoryStream stream;
  stream.Write(data + 4, static_cast<int32_t>(size - 4));
  stream.Seek(0, soBeginning);
  std::vector<uint16_t> out16(sixteen ? samples : 0);
  std::vector<uint8_t> out8(sixteen ? 0 : samples);
  IEDecodeLosslessJPEG(stream, sixteen ? out16.data() : nullptr, sixteen ? nullptr : out8.data(), nullptr, nullptr,
                       nullptr, static_cast<int64_t>(size - 4), {width, height, components});
  return 0;
}
