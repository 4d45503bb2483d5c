// The mean colour, the grey histogram and the conversion to one bit by a
// fixed, mean or maximum-entropy threshold.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/processing/imageryproc_component.h"
#include "imaging/processing/imageryproc_internal.h"

namespace {

// The colour of a pixel for the mean: 16-bit samples scaled by 255 / 65535.
TRGB AverageColour(TIEBitmap* bitmap, int32_t x, int32_t y) {
  switch (bitmap->GetPixelFormat()) {
    case ie16Gray: {
      const auto v = static_cast<uint8_t>(int64_t{bitmap->GetPixel16(x, y)} * 255 / 65535);
      return {v, v, v};
    }
    case ieRGB48: {
      const auto w = bitmap->GetPixel48(x, y);
      const auto scale = [](uint16_t s) { return static_cast<uint8_t>(int64_t{s} * 255 / 65535); };
      return {scale(w[2]), scale(w[1]), scale(w[0])};
    }
    default: {
      TRGB rgb;
      bitmap->GetPixelRGB(x, y, rgb);
      return rgb;
    }
  }
}

int32_t Grey(TIEBitmap* bitmap, int32_t x, int32_t y) {
  TRGB rgb;
  bitmap->GetPixelRGB(x, y, rgb);
  return std::clamp(IERGBToGray(rgb), 0, 255);
}

// The maximum-entropy threshold of the grey histogram; -2 when none qualifies.
int32_t EntropyThreshold(const std::array<int64_t, 256>& counts, int64_t pixels) {
  std::array<double, 256> p{};
  double total = 0;
  for (int32_t i = 0; i < 256; ++i) {
    p[i] = static_cast<double>(counts[i]) / static_cast<double>(pixels);
    if (p[i] > 0) total -= p[i] * std::log(p[i]);
  }
  int32_t best = -2;
  double bestValue = 0;
  double below = 0, belowEntropy = 0;
  for (int32_t t = 1; t < 256; ++t) {
    below += p[t - 1];
    if (p[t - 1] > 0) belowEntropy -= p[t - 1] * std::log(p[t - 1]);
    if (!(below > 0 && below < 1)) continue;
    const double value =
        std::log(below * (1 - below)) + belowEntropy / below + (total - belowEntropy) / (1 - below);
    if (value > 0 && (best == -2 || value > bestValue)) {
      best = t;
      bestValue = value;
    }
  }
  return best;
}

}  // namespace

void IEGetAverageColor(TIEBitmap* bitmap, int32_t& red, int32_t& green, int32_t& blue) {
  red = green = blue = 128;
  if (!bitmap || bitmap->IsEmpty()) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  int64_t r = 0, g = 0, b = 0;
  for (int32_t y = 0; y < height; ++y) {
    int64_t rr = 0, rg = 0, rb = 0;
    for (int32_t x = 0; x < width; ++x) {
      const TRGB c = AverageColour(bitmap, x, y);
      rr += c.r;
      rg += c.g;
      rb += c.b;
    }
    r += rr / width;
    g += rg / width;
    b += rb / width;
  }
  red = static_cast<int32_t>(r / height);
  green = static_cast<int32_t>(g / height);
  blue = static_cast<int32_t>(b / height);
}

void IEGrayHistogram(TIEBitmap* source, std::array<int64_t, 256>& counts) {
  counts.fill(0);
  if (!source) return;
  for (int32_t y = 0; y < source->GetHeight(); ++y)
    for (int32_t x = 0; x < source->GetWidth(); ++x) ++counts[Grey(source, x, y)];
}

void IEThresholdTo1Bit(TIEBitmap* source, TIEBitmap* dest, int32_t threshold, const TIEProgressEvent& onProgress,
                       TObject* sender) {
  if (!source || !dest || source == dest) return;
  if (source->GetPixelFormat() == ie1g) {
    dest->AssignImage(source);
    return;
  }
  const int32_t width = source->GetWidth(), height = source->GetHeight();
  if (width < 1 || height < 1 || !dest->Allocate(width, height, ie1g)) return;
  if (threshold == -1) {
    int32_t r, g, b;
    IEGetAverageColor(source, r, g, b);
    const auto* s = IEGetGlobalSettings();
    threshold = (r * s->GrayWeightRed + g * s->GrayWeightGreen + b * s->GrayWeightBlue) / 100;
  } else if (threshold == -2) {
    std::array<int64_t, 256> counts;
    IEGrayHistogram(source, counts);
    threshold = EntropyThreshold(counts, int64_t{width} * height);
  }
  iep::TProgress progress(onProgress, sender, height);
  std::vector<uint8_t> row(static_cast<size_t>((width + 7) / 8));
  for (int32_t y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int32_t x = 0; x < width; ++x) iep::PutBit(row.data(), x, Grey(source, x, y) >= threshold);
    std::memcpy(dest->GetScanline(y), row.data(), row.size());
    progress.Report(y + 1);
  }
}
