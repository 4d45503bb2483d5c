// Colour conversions, the gaussian blur (rows, then columns, in 16.16 fixed
// point, using the kernel's symmetry, in bands of rows on the thread pool)
// and the soft-shadow margin.
#include "imaging/processing/imageryproc.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <barrier>
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

// out[f] = the kernel over s[f + k x stride] for f in 0 .. count - 1, using
// the kernel's symmetry; s reaches HalfWidth x stride samples before and after
// the run. Written as whole-run loops per tap so that they vectorise.
__attribute__((target_clones("avx2", "default"))) void SymmetricRun(const GaussKernel& kernel, const uint8_t* s,
                                                                      int32_t* sums, uint8_t* out, int32_t count,
                                                                      int32_t stride) {
  const int32_t centre = kernel.Weight(0);
  for (int32_t f = 0; f < count; ++f) sums[f] = kRounding + centre * s[f];
  for (int32_t k = 1; k <= kernel.HalfWidth; ++k) {
    const int32_t weight = kernel.Weight(k);
    const uint8_t* before = s - ptrdiff_t{k} * stride;
    const uint8_t* after = s + ptrdiff_t{k} * stride;
    for (int32_t f = 0; f < count; ++f) sums[f] += weight * (before[f] + after[f]);
  }
  for (int32_t f = 0; f < count; ++f) out[f] = static_cast<uint8_t>(sums[f] >> kFractionBits);
}

// The vertical pass of one output row: rows(r) is input row r, clamped by the caller.
__attribute__((target_clones("avx2", "default"))) void SymmetricColumn(const GaussKernel& kernel,
                                                                         const uint8_t* const* above,
                                                                         const uint8_t* const* below,
                                                                         const uint8_t* centreRow, int32_t* sums,
                                                                         uint8_t* out, int32_t count) {
  const int32_t centre = kernel.Weight(0);
  for (int32_t f = 0; f < count; ++f) sums[f] = kRounding + centre * centreRow[f];
  for (int32_t k = 1; k <= kernel.HalfWidth; ++k) {
    const int32_t weight = kernel.Weight(k);
    const uint8_t* a = above[k - 1];
    const uint8_t* b = below[k - 1];
    for (int32_t f = 0; f < count; ++f) sums[f] += weight * (a[f] + b[f]);
  }
  for (int32_t f = 0; f < count; ++f) out[f] = static_cast<uint8_t>(sums[f] >> kFractionBits);
}

// The horizontal blur of one row of the rectangle into out.
class TRowBlur {
public:
  TRowBlur(const GaussKernel& kernel, int32_t samples, int32_t channels)
      : kernel_(kernel), samples_(samples), channels_(channels), pad_(kernel.HalfWidth * channels),
        padded_(static_cast<size_t>(samples + 2 * pad_)), sums_(static_cast<size_t>(samples)) {}
  void Run(const uint8_t* row, uint8_t* out) {
    std::memcpy(&padded_[pad_], row, static_cast<size_t>(samples_));
    for (int32_t k = 0; k < kernel_.HalfWidth; ++k) {
      std::memcpy(&padded_[static_cast<size_t>(k) * channels_], row, static_cast<size_t>(channels_));
      std::memcpy(&padded_[static_cast<size_t>(pad_ + samples_ + k * channels_)], row + samples_ - channels_,
                  static_cast<size_t>(channels_));
    }
    SymmetricRun(kernel_, &padded_[pad_], sums_.data(), out, samples_, channels_);
  }

private:
  const GaussKernel& kernel_;
  int32_t samples_, channels_, pad_;
  std::vector<uint8_t> padded_;
  std::vector<int32_t> sums_;
};

// Blurs the rows y1..y2 over the columns x1..x2 (all inside the image), then
// those columns over those rows, the rectangle's border repeating outward.
// Each band of rows streams its rows through a ring of 2 x HalfWidth + 1
// row-blurred rows and writes its output in place; the rows it needs from
// the neighbouring bands are blurred before any band writes. step(n) follows
// n of the rows, on the calling thread.
void BlurRect(TIEBitmap& bitmap, int32_t channels, double sigma, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
              const std::function<void(int64_t)>& step) {
  GaussKernel kernel;
  IEMakeGaussKernel(kernel, sigma);
  const int32_t half = kernel.HalfWidth;
  const int32_t columns = x2 - x1 + 1, rows = y2 - y1 + 1;
  const int32_t samples = columns * channels;
  const int32_t bands = IEMin(IEBandCount({&bitmap}), rows);
  const auto sourceRow = [&](int32_t r) { return bitmap.GetScanline(y1 + r) + ptrdiff_t{x1} * channels; };
  std::barrier<> readDone(bands);

  IERunInBands(rows, bands, [&](int32_t first, int32_t count, int32_t band) {
    const size_t rowBytes = static_cast<size_t>(samples);
    const int32_t ringRows = 2 * half + 1;
    // Row-blurred rows: the ring for this band's rows and the clamped rows
    // above and below it; blurred[r] says where row r is.
    std::vector<uint8_t> ring(rowBytes * static_cast<size_t>(ringRows));
    std::vector<uint8_t> edges(rowBytes * static_cast<size_t>(2 * half));
    TRowBlur rowBlur(kernel, samples, channels);
    const auto ringRow = [&](int32_t r) { return &ring[rowBytes * static_cast<size_t>(r % ringRows)]; };
    const auto edgeRow = [&](int32_t r) {  // r outside first .. first + count - 1, clamped into the image
      const int32_t slot = r < first ? first - 1 - r : half + (r - (first + count));
      return &edges[rowBytes * static_cast<size_t>(slot)];
    };
    const auto blurred = [&](int32_t r) -> const uint8_t* {
      return r >= first && r < first + count ? ringRow(r) : edgeRow(r);
    };
    try {
      for (int32_t k = 1; k <= half; ++k) {
        rowBlur.Run(sourceRow(IEMax(first - k, 0)), edgeRow(first - k));
        rowBlur.Run(sourceRow(IEMin(first + count - 1 + k, rows - 1)), edgeRow(first + count - 1 + k));
      }
      // Rows clamped into this band are read from the ring instead.
    } catch (...) {
      readDone.arrive_and_drop();
      throw;
    }
    readDone.arrive_and_wait();

    std::vector<int32_t> sums(rowBytes);
    std::vector<const uint8_t*> above(static_cast<size_t>(half)), below(static_cast<size_t>(half));
    const int32_t last = first + count - 1;
    int32_t ready = first - 1;  // rows first .. ready are row-blurred into the ring
    for (int32_t r = first; r <= last; ++r) {
      for (; ready < IEMin(r + half, last); ++ready) rowBlur.Run(sourceRow(ready + 1), ringRow(ready + 1));
      for (int32_t k = 1; k <= half; ++k) {
        // Clamped at the rectangle's edges; inside this band from the ring.
        const int32_t up = IEMax(r - k, 0), down = IEMin(r + k, rows - 1);
        above[k - 1] = up >= first ? ringRow(up) : blurred(up);
        below[k - 1] = down <= last ? ringRow(down) : blurred(down);
      }
      SymmetricColumn(kernel, above.data(), below.data(), ringRow(r), sums.data(), sourceRow(r), samples);
      if (band == 0 && step) step(int64_t{r - first} * bands + 1);
    }
  });
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
  // Progress counts the rows and then the columns, W + H steps: Trunc(y x 100
  // / (W + H)) after row y and Trunc((x + H) x 100 / (W + H)) after column x.
  // Both directions are blurred in one pass over the rows, so the columns are
  // reported when it ends.
  const int64_t steps = int64_t{width} + height;
  const auto report = [&](int64_t position) { onProgress(sender, static_cast<int32_t>(position * 100 / steps)); };
  std::function<void(int64_t)> step;
  if (onProgress) step = [&](int64_t done) { report(done - 1); };
  BlurRect(*bitmap, channels, sigma, 0, 0, width - 1, height - 1, step);
  if (onProgress)
    for (int32_t x = 0; x < width; ++x) report(int64_t{x} + height);
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
