// The picture decoders on arbitrary bytes: each decoder by itself, the
// sniffing front door and the cursor file reader.
#include <cstddef>
#include <cstdint>

#include "platform/win/picturedecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedPicture out;
  DecodePicture(data, size, out);
  DecodedIcon cursor;
  DecodeIconFile(data, size, kCursorFileType, cursor);
  if (size == 0) return 0;
  // The first byte picks a decoder so that each sees input that fails the sniff.
  using Decoder = bool (*)(const uint8_t*, size_t, DecodedPicture&);
  static const Decoder decoders[] = {DecodePng, DecodeJpeg, DecodeBmp, DecodeGif};
  decoders[data[0] % 4](data + 1, size - 1, out);
  return 0;
}
