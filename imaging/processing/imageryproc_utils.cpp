// Colour spaces, the nearest palette colour, red/blue exchange, inversion,
// bitmap comparison and framework-bitmap copies.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imaging/processing/imageryproc.h"

namespace {

// m1 + (m2 - m1) along the hue ramp of h (brought into 0..1 once).
double HueToValue(double m1, double m2, double h) {
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  if (6 * h < 1) return m1 + (m2 - m1) * 6 * h;
  if (2 * h < 1) return m2;
  if (3 * h < 2) return m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
  return m1;
}

uint8_t ToByte(double value) { return IEClampByte(static_cast<int32_t>(std::nearbyint(value * 255))); }

}  // namespace

int32_t IEFindNearestColor(const TRGB* palette, int32_t count, uint32_t color) {
  const int32_t r = (color >> 16) & 0xFF, g = (color >> 8) & 0xFF, b = color & 0xFF;
  int32_t best = 0, bestDistance = 1000;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = std::abs(palette[i].r - r) + std::abs(palette[i].g - g) + std::abs(palette[i].b - b);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return best;
}

void IERGBToHSL(TRGB c, double& h, double& s, double& l) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double max = std::max({r, g, b}), min = std::min({r, g, b});
  l = (max + min) / 2;
  if (max == min) {
    h = s = 0;
    return;
  }
  const double d = max - min;
  s = l >= 0.5 ? d / (2 - max - min) : d / (max + min);
  if (max == r)
    h = (g - b) / d;
  else if (max != g)
    h = (r - g) / d + 4;
  else
    h = (b - r) / d + 2;
  h /= 6;
  if (h < 0) h += 1;
}

void IEHSLToRGB(TRGB& c, double h, double s, double l) {
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  s = std::clamp(s, 0.0, 1.0);
  l = std::clamp(l, 0.0, 1.0);
  if (s == 0) {
    const uint8_t v = ToByte(l);
    c = TRGB{v, v, v};
    return;
  }
  const double m2 = l > 0.5 ? l + s - l * s : l * (s + 1);
  const double m1 = 2 * l - m2;
  c = IEMakeRGB(ToByte(HueToValue(m1, m2, h + 1.0 / 3)), ToByte(HueToValue(m1, m2, h)),
                ToByte(HueToValue(m1, m2, h - 1.0 / 3)));
}

void IECopySwapRB(uint8_t* dest, const uint8_t* source, int64_t count) {
  std::memmove(dest, source, static_cast<size_t>(count) * 3);
  IESwapRB24(dest, count);
}

void IESwapRB24(uint8_t* buffer, int64_t count) {
  for (int64_t i = 0; i < count; ++i) std::swap(buffer[3 * i], buffer[3 * i + 2]);
}

void IESwapRB48(uint16_t* buffer, int64_t count) {
  for (int64_t i = 0; i < count; ++i) std::swap(buffer[3 * i], buffer[3 * i + 2]);
}

void IESwapRBInRGBArray(TRGB* palette, int64_t count) {
  for (int64_t i = 0; i < count; ++i) std::swap(palette[i].r, palette[i].b);
}

void IEInvertBuffer(uint8_t* buffer, int64_t length) {
  for (int64_t i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(~buffer[i]);
}

void IEInvertBitmap(TIEBitmap& bitmap) {
  const int64_t length = bitmap.GetRowLength();
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) IEInvertBuffer(bitmap.GetScanline(y), length);
}

bool IEBitmapsEqual(TIEBitmap& a, TIEBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.HasAlphaChannel() != b.HasAlphaChannel() ||
      a.GetRowLength() != b.GetRowLength())
    return false;
  const auto length = static_cast<size_t>(a.GetRowLength());
  for (int32_t y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.GetScanline(y), b.GetScanline(y), length) != 0) return false;
  return !a.HasAlphaChannel() || IEBitmapsEqual(*a.GetAlphaChannel(), *b.GetAlphaChannel());
}

void IECopyTBitmap(TBitmap& source, TBitmap& dest) {
  const bool sameShape = dest.Width() == source.Width() && dest.Height() == source.Height() &&
                         dest.PixelFormat() == source.PixelFormat();
  if (source.Empty() || !sameShape) {
    dest.SetPixelFormat(source.PixelFormat());
    dest.SetSize(1, 1);
  }
  if (source.Empty()) return;
  if (!sameShape) dest.SetSize(source.Width(), source.Height());
  const auto bytes = static_cast<size_t>(source.ScanLineSize());
  for (int32_t y = 0; y < source.Height(); ++y) std::memcpy(dest.ScanLine(y), source.ScanLine(y), bytes);
}

TBitmap* IECloneTBitmap(TBitmap& source) {
  auto clone = std::make_unique<TBitmap>();
  IECopyTBitmap(source, *clone);
  return clone.release();
}
