// Grey levels, the integer HSV conversions and the channel histograms.
#include <algorithm>
#include <cmath>
#include <memory>

#include "imaging/processing/imageryproc_component.h"
#include "imaging/processing/imageryproc_internal.h"

int32_t IERGBToGray(TRGB c) {
  const auto* s = IEGetGlobalSettings();
  return (c.r * s->GrayWeightRed + c.g * s->GrayWeightGreen + c.b * s->GrayWeightBlue) / 100;
}

void IERGBToHSV(TRGB c, int32_t& h, int32_t& s, int32_t& v) {
  const auto scale = [](uint8_t channel) { return static_cast<int32_t>(std::nearbyint(channel / 255.0 * 99)); };
  const int32_t r = scale(c.r), g = scale(c.g), b = scale(c.b);
  v = std::max({r, g, b});
  const int32_t low = std::min({r, g, b}), d = v - low;
  s = v == 0 ? 0 : d * 99 / v;
  if (s == 0) {
    h = 0;
    return;
  }
  if (r == v)
    h = (g - b) * 60 / d;
  else if (g == v)
    h = (b - r) * 60 / d + 120;
  else
    h = (r - g) * 60 / d + 240;
  if (h < 0) h += 360;
}

void IEHSVToRGB(TRGB& c, int32_t h, int32_t s, int32_t v) {
  if (h < 0) h += 360;
  if (h > 359) h -= 360;
  s = std::clamp(s, 0, 99);
  v = std::clamp(v, 0, 99);
  int32_t r = v, g = v, b = v;
  if (s != 0) {
    const int32_t f = h % 60;
    const int32_t rising = v - s * v * (60 - f) / 5940, falling = v - s * v * f / 5940, low = v - s * v / 99;
    switch (h / 60) {
      case 0: r = v, g = rising, b = low; break;
      case 1: r = falling, g = v, b = low; break;
      case 2: r = low, g = v, b = rising; break;
      case 3: r = low, g = falling, b = v; break;
      case 4: r = rising, g = low, b = v; break;
      default: r = v, g = low, b = falling; break;
    }
  }
  const auto back = [](int32_t value) { return IEClampByte(static_cast<int32_t>(std::nearbyint(value / 99.0 * 255))); };
  c = {back(b), back(g), back(r)};
}

void IEComputeHistogram(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TIEMask* mask,
                        THistogramKind kinds, TIEHistogram& histogram) {
  if (!bitmap) return;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  const int32_t channels = std::max(bitmap->GetChannelCount(), 1);
  const size_t length = kinds == hkHue ? 360 : size_t{1} << std::min(bitmap->GetBitCount() / channels, 16);
  histogram.assign(length, TIEHistogramEntry{});
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, bitmap->GetWidth());
  y2 = std::min(y2, bitmap->GetHeight());
  const bool everywhere = !mask || mask->IsEmpty();
  for (int32_t y = y1; y < y2; ++y) {
    const uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = x1; x < x2; ++x) {
      if (!everywhere && !mask->IsPointInside(x, y)) continue;
      if (format == ie8g || format == ie16Gray) {
        const uint32_t value = format == ie8g ? row[x] : reinterpret_cast<const uint16_t*>(row)[x];
        TIEHistogramEntry& e = histogram[std::min<size_t>(value, length - 1)];
        if (kinds & hkRed) ++e.Red;
        if (kinds & hkGreen) ++e.Green;
        if (kinds & hkBlue) ++e.Blue;
        if (kinds & hkGray) ++e.Gray;
      } else if (format == ie24RGB) {
        const TRGB p = reinterpret_cast<const TRGB*>(row)[x];
        if (kinds & hkRed) ++histogram[std::min<size_t>(p.r, length - 1)].Red;
        if (kinds & hkGreen) ++histogram[std::min<size_t>(p.g, length - 1)].Green;
        if (kinds & hkBlue) ++histogram[std::min<size_t>(p.b, length - 1)].Blue;
        if (kinds & hkGray) ++histogram[std::min<size_t>(IERGBToGray(p), length - 1)].Gray;
        if (kinds & hkHue) {
          int32_t h, s, v;
          IERGBToHSV(p, h, s, v);
          ++histogram[std::min<size_t>(length * h / 360, length - 1)].Hue;
        }
      }
    }
  }
}

void TImageryProc::GetHistogram(THistogramKind kinds, TIEHistogram& histogram) {
  if (!GetBitmap()) return;
  const TIEPixelFormat format = GetBitmap()->GetPixelFormat();
  // Other formats are counted on a 24-bit copy: the caller's image keeps its depth.
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* counted = GetBitmap();
  if (format != ie8g && format != ie16Gray && format != ie24RGB) {
    if (!AutoConvertFormat || GetBitmap()->IsEmpty()) return;
    copy = iep::ConvertedCopy(GetBitmap(), ie24RGB);
    counted = copy.get();
  }
  int32_t x1, y1, x2, y2;
  TIEMask* mask = nullptr;
  GetSelectionArea(x1, y1, x2, y2, mask);
  IEComputeHistogram(counted, x1, y1, x2, y2, mask, kinds, histogram);
}
