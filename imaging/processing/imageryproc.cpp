// Colour conversions, the gaussian blur (rows, then columns gathered into a
// contiguous run, in 16.16 fixed point) and the soft-shadow margin.
#include "imaging/processing/imageryproc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

uint32_t IEColorToARGB(TColor color, uint8_t alpha) {
  const COLORREF rgb = ColorToRGB(color);
  return (static_cast<uint32_t>(alpha) << 24) | (static_cast<uint32_t>(GetRValue(rgb)) << 16) |
         (static_cast<uint32_t>(GetGValue(rgb)) << 8) | GetBValue(rgb);
}

namespace {

constexpr int32_t kOne = 65536;        // 1.0 in 16.16
constexpr int32_t kRounding = 32768;   // 0.5 in 16.16, added once per output
constexpr int32_t kFractionBits = 16;

// One run of count pixels of Channels bytes; both ends repeat outward.
template <int32_t Channels>
void BlurRun(const GaussKernel& kernel, const uint8_t* source, uint8_t* destination, int32_t count) {
  const int32_t half = kernel.HalfWidth;
  const int32_t last = count - 1;
  for (int32_t i = 0; i < count; ++i) {
    int32_t sums[Channels];
    for (int32_t c = 0; c < Channels; ++c) sums[c] = kRounding;
    const bool inside = i - half >= 0 && i + half <= last;
    for (int32_t k = -half; k <= half; ++k) {
      const int32_t at = inside ? i + k : IEClamp(i + k, 0, last);
      const int32_t weight = kernel.Weight(k);
      const uint8_t* pixel = source + ptrdiff_t{at} * Channels;
      for (int32_t c = 0; c < Channels; ++c) sums[c] += weight * pixel[c];
    }
    uint8_t* out = destination + ptrdiff_t{i} * Channels;
    for (int32_t c = 0; c < Channels; ++c) out[c] = static_cast<uint8_t>(sums[c] >> kFractionBits);
  }
}

// Bytes per pixel of the formats the blur takes; 0 for the others.
int32_t BlurChannels(TIEPixelFormat format) {
  switch (format) {
    case ie8g:
      return 1;
    case ie24RGB:
      return 3;
    default:
      return 0;
  }
}

// Blurs the rows y1..y2 over the columns x1..x2 (all inside the image), then
// those columns over those rows. step(n) follows the n-th row and, numbered
// on after the rows, every column.
void BlurRect(TIEBitmap& bitmap, int32_t channels, double sigma, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              const std::function<void(int64_t)>& step) {
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, sigma);
  const auto blur = channels == 3 ? IEBlurRow24 : IEBlurRow8;
  const int32_t columns = x2 - x1 + 1, rows = y2 - y1 + 1;
  const size_t pixelBytes = static_cast<size_t>(channels);
  std::vector<uint8_t> run(static_cast<size_t>(IEMax(columns, rows)) * pixelBytes);
  std::vector<uint8_t> column(static_cast<size_t>(rows) * pixelBytes);

  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* first = bitmap.GetScanline(y) + ptrdiff_t{x1} * channels;
    blur(kernel, first, run.data(), columns);
    std::memcpy(first, run.data(), static_cast<size_t>(columns) * pixelBytes);
    if (step) step(y - y1);
  }
  for (int32_t x = x1; x <= x2; ++x) {
    const ptrdiff_t offset = ptrdiff_t{x} * channels;
    for (int32_t y = y1; y <= y2; ++y)
      std::memcpy(&run[static_cast<size_t>(y - y1) * pixelBytes], bitmap.GetScanline(y) + offset, pixelBytes);
    blur(kernel, run.data(), column.data(), rows);
    for (int32_t y = y1; y <= y2; ++y)
      std::memcpy(bitmap.GetScanline(y) + offset, &column[static_cast<size_t>(y - y1) * pixelBytes], pixelBytes);
    if (step) step(int64_t{rows} + (x - x1));
  }
}

}  // namespace

void IEMakeGaussKernel(GaussKernel& kernel, double sigma) {
  kernel = GaussKernel{};
  constexpr int32_t centre = GaussKernel::MaxHalfWidth;
  if (!(sigma > 0)) {  // the limit of a tiny sigma; also keeps NaN out of the weights
    kernel.Samples[centre] = 1;
    kernel.Weights[centre] = kOne;
    return;
  }
  double sum = 0;
  for (int32_t k = -centre; k <= centre; ++k) {
    const double a = k / sigma;
    kernel.Samples[k + centre] = std::exp(-a * a / 2);
    sum += kernel.Samples[k + centre];
  }
  // nearbyint rounds half to even in the default rounding mode.
  for (int32_t i = 0; i < GaussKernel::Taps; ++i)
    kernel.Weights[i] = static_cast<int32_t>(std::nearbyint(kernel.Samples[i] * kOne / sum));
  int32_t half = centre;
  while (half > 1 && kernel.Weight(half) == 0 && kernel.Weight(-half) == 0) --half;
  kernel.HalfWidth = static_cast<int8_t>(half);
}

void IEBlurRow24(const GaussKernel& kernel, const uint8_t* source, uint8_t* destination, int32_t count) {
  BlurRun<3>(kernel, source, destination, count);
}

void IEBlurRow8(const GaussKernel& kernel, const uint8_t* source, uint8_t* destination, int32_t count) {
  BlurRun<1>(kernel, source, destination, count);
}

void IEGaussianBlur(TIEBitmap* bitmap, TObject* sender, double sigma, const TIEProgressEvent& onProgress) {
  if (!bitmap || !(sigma > 0)) return;
  const int32_t channels = BlurChannels(bitmap->GetPixelFormat());
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  if (channels == 0 || width < 1 || height < 1) return;
  const int64_t steps = int64_t{width} + height;
  std::function<void(int64_t)> step;
  if (onProgress) step = [&](int64_t done) { onProgress(sender, static_cast<int32_t>(done * 100 / steps)); };
  BlurRect(*bitmap, channels, sigma, 0, 0, width - 1, height - 1, step);
}

void IEGaussianBlurGray8(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, double sigma) {
  if (!bitmap || !(sigma > 0) || bitmap->GetPixelFormat() != ie8g) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  if (width < 1 || height < 1) return;
  x1 = IEClamp(x1, 0, width - 1);
  x2 = IEClamp(x2, 0, width - 1);
  y1 = IEClamp(y1, 0, height - 1);
  y2 = IEClamp(y2, 0, height - 1);
  if (x2 < x1 || y2 < y1) return;
  BlurRect(*bitmap, 1, sigma, x1, y1, x2, y2, {});
}

int32_t IEGetShadowMargin(int32_t offsetX, int32_t offsetY, double sigma) {
  // In 64 bits and doubles, so that extreme arguments cannot overflow.
  const int64_t offset = std::max(std::llabs(offsetX), std::llabs(offsetY));
  const double margin = 2.0 * static_cast<double>(offset) + std::trunc(5 * sigma);
  if (!(margin >= 1)) return 1;
  if (margin >= INT32_MAX) return INT32_MAX;
  return static_cast<int32_t>(margin);
}
