// Colour helpers of the bitmap: framework colours to pixels, and the plain
// RGB <-> CMYK arithmetic.
#include <algorithm>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/win/user_system.h"

namespace {

// System colours ($FF0000nn) take their current value.
uint32_t ResolveColor(TIEColor color) {
  return (color & 0x80000000u) ? GetSysColor(static_cast<int>(color & 0xFF)) : color;
}

}  // namespace

void IEColorToRGB(TIEColor color, TRGB& rgb) {
  const uint32_t c = ResolveColor(color);
  rgb.r = static_cast<uint8_t>(c);
  rgb.g = static_cast<uint8_t>(c >> 8);
  rgb.b = static_cast<uint8_t>(c >> 16);
}

uint32_t IEColorToRGB32(TIEColor color) {
  TRGB rgb;
  IEColorToRGB(color, rgb);
  // The fourth byte is the resolved colour's own high byte.
  return rgb.b | (uint32_t{rgb.g} << 8) | (uint32_t{rgb.r} << 16) | (ResolveColor(color) & 0xFF000000u);
}

uint32_t IERGBToCMYK(TRGB rgb) {
  const int k = std::max({rgb.r, rgb.g, rgb.b});
  uint32_t c = 255, m = 255, y = 255;
  if (k > 0) {
    c = static_cast<uint32_t>(rgb.r * 255 / k);
    m = static_cast<uint32_t>(rgb.g * 255 / k);
    y = static_cast<uint32_t>(rgb.b * 255 / k);
  }
  return c | (m << 8) | (y << 16) | (static_cast<uint32_t>(k) << 24);
}

TRGB IECMYKToRGB(uint32_t cmyk) {
  const uint32_t c = cmyk & 0xFF, m = (cmyk >> 8) & 0xFF, y = (cmyk >> 16) & 0xFF, k = cmyk >> 24;
  return TRGB{static_cast<uint8_t>(y * k / 255), static_cast<uint8_t>(m * k / 255), static_cast<uint8_t>(c * k / 255)};
}
