// Colour rows of the TIFF reader that need more than a channel shuffle:
// CIELab and ICC Lab samples, and YCbCr data units with subsampling.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/codecs/tiffilt_internal.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio_cmyk.h"

void IETIFFLabRowToBGR(const uint8_t* src, int32_t spp, int32_t bps, bool iccLab, int32_t count, uint8_t* bgr) {
  // Gathered as L byte and signed a, b bytes, the layout of the converter.
  std::vector<uint8_t> lab(static_cast<size_t>(count) * 3);
  const uint8_t offset = iccLab ? 128 : 0;
  for (int32_t x = 0; x < count; ++x)
    for (int32_t c = 0; c < 3; ++c) {
      const int64_t index = int64_t{x} * spp + c;
      uint8_t v;
      if (bps == 16) {
        uint16_t w;
        std::memcpy(&w, src + 2 * index, 2);
        v = static_cast<uint8_t>(w >> 8);
      } else {
        v = src[index];
      }
      lab[static_cast<size_t>(x) * 3 + static_cast<size_t>(c)] = c == 0 ? v : static_cast<uint8_t>(v - offset);
    }
  IEConvertColorFormat(lab.data(), iepLab, bgr, nullptr, count, iepBGR);
}

void IETIFFYCbCrRowToBGR(const uint8_t* units, int32_t h, int32_t v, int32_t r, int32_t width, uint8_t* bgr) {
  const int32_t unitSize = h * v + 2;
  std::vector<uint8_t> ycc(static_cast<size_t>(width) * 3);
  for (int32_t x = 0; x < width; ++x) {
    const uint8_t* unit = units + int64_t{x / h} * unitSize;
    uint8_t* p = ycc.data() + int64_t{x} * 3;
    p[0] = unit[r * h + x % h];
    p[1] = unit[h * v];
    p[2] = unit[h * v + 1];
  }
  IEConvertColorFormat(ycc.data(), iep3Channel, bgr, nullptr, width, iepBGR);
}
