// Bare loops over the HD Photo codec library (jxrlib), the peer of the
// HD Photo bench. The library's headers clash with our Windows names, so
// they stay inside jxrloop.cpp and this header speaks in plain types.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace jxrloop {

// A file in a buffer of its own, `size` bytes long.
struct Encoded {
  std::unique_ptr<uint8_t[]> bytes;
  size_t size = 0;
};

// Encodes 24-bit blue, green, red rows at the quantisation index qp (1 is
// lossless) with 4:4:4 colour, one overlap level, frequency order, one
// tile; size 0 on failure.
Encoded Encode(const uint8_t* pixels, size_t stride, int32_t width, int32_t height, uint8_t qp);

// Decodes a 24-bit file into a new block of blue, green, red rows (not
// cleared before); false on failure.
bool Decode(const uint8_t* file, size_t size, std::unique_ptr<uint8_t[]>& pixels);

}  // namespace jxrloop
