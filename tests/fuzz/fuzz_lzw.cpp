// The TIFF and GIF LZW decoders on arbitrary bytes, and both encoders whose
// output must decode back to their input. The first three bytes choose the
// codec and the image's shape; the rest is the data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/codecs/giflzw.h"
#include "imaging/codecs/tiflzw.h"
#include "imaging/core/ruduvazez.h"

namespace {

// Decodes up to `rows` rows; the bytes of the rows returned.
std::vector<uint8_t> DecodeTIFFRows(const uint8_t* data, size_t size, int32_t rowBytes, size_t rows, int32_t fillOrder) {
  std::vector<uint8_t> out;
  void* state = nullptr;
  for (size_t r = 0; r < rows; ++r) {
    const uint8_t* row = DecodeTIFFLZW(data, size, rowBytes, state, fillOrder);
    if (!row) break;
    out.insert(out.end(), row, row + rowBytes);
  }
  DecodeTIFFLZW(nullptr, 0, rowBytes, state, fillOrder);
  return out;
}

void FuzzTIFF(const uint8_t* data, size_t size, int32_t rowBytes, int32_t fillOrder) {
  // An exact copy, so that any read past the data is caught.
  std::unique_ptr<uint8_t[]> input(new uint8_t[size]);
  if (size) std::memcpy(input.get(), data, size);
  DecodeTIFFRows(input.get(), size, rowBytes, 64, fillOrder);

  if (size == 0) return;
  TMemoryStream encoded;
  void* state = nullptr;
  for (size_t at = 0; at < size; at += static_cast<size_t>(rowBytes))
    EncodeTIFFLZW(data + at, static_cast<int32_t>(std::min(size - at, static_cast<size_t>(rowBytes))), encoded, state);
  EncodeTIFFLZW(nullptr, 0, encoded, state);
  const size_t rows = (size + static_cast<size_t>(rowBytes) - 1) / static_cast<size_t>(rowBytes);
  const auto back = DecodeTIFFRows(static_cast<const uint8_t*>(encoded.Memory()), static_cast<size_t>(encoded.Size()),
                                    rowBytes, rows, 1);
  // A last row the data cannot fill fails; the whole rows come back.
  const size_t whole = size / static_cast<size_t>(rowBytes) * static_cast<size_t>(rowBytes);
  if (back.size() != whole || (whole > 0 && std::memcmp(back.data(), data, whole) != 0)) std::abort();
}

void FuzzGIF(const uint8_t* data, size_t size, int32_t width, int32_t height, bool interlaced, int32_t bits) {
  const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::unique_ptr<uint8_t[]> pixels(new uint8_t[count]);
  TIEMemStream in(data, static_cast<int64_t>(size));
  DecodeGIFLZW(in, height, width, interlaced, pixels.get());

  // The data as pixels (as many as it holds, the rest 0), through the encoder and back.
  std::vector<uint8_t> image(count, 0);
  const uint8_t mask = static_cast<uint8_t>((1u << bits) - 1);
  for (size_t i = 0; i < count && i < size; ++i) image[i] = data[i] & mask;
  TMemoryStream encoded;
  EncodeGIFLZW(encoded, height, width, interlaced, image.data(), bits);
  encoded.SetPosition(0);
  DecodeGIFLZW(encoded, height, width, interlaced, pixels.get());
  if (encoded.Position() != encoded.Size() || std::memcmp(pixels.get(), image.data(), count) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t mode = data[0], a = data[1], b = data[2];
  data += 3;
  size -= 3;
  if (mode & 1)
    FuzzTIFF(data, size, 1 + (a | (b & 0x0F) << 8), mode & 2 ? 2 : 1);
  else
    FuzzGIF(data, size, 1 + a % 160, 1 + b % 160, mode & 2, 1 + (mode >> 2) % 8);
  return 0;
}
