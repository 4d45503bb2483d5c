// The resampling engine: the filter kernels, the weight lists, the two
// separable kernel passes (rows on a band per processor core, then columns)
// and the routes by filter and pixel format.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/io/iewic.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_internal.h"

// ---- kernels ---------------------------------------------------------------------------

double IETriangleFilter(double x) {
  const double a = std::fabs(x);
  return a < 1 ? 1 - a : 0;
}

double IEHermiteFilter(double x) {
  const double a = std::fabs(x);
  return a < 1 ? (2 * a - 3) * a * a + 1 : 0;
}

double IEBellFilter(double x) {
  const double a = std::fabs(x);
  if (a < 0.5) return 0.75 - a * a;
  if (a < 1.5) return 0.5 * (a - 1.5) * (a - 1.5);
  return 0;
}

double IEBSplineFilter(double x) {
  const double a = std::fabs(x);
  if (a < 1) return 0.5 * a * a * a - a * a + 2.0 / 3;
  if (a < 2) return (2 - a) * (2 - a) * (2 - a) / 6;
  return 0;
}

double IESinc(double x) {
  if (x == 0) return 1;
  const double px = std::numbers::pi * x;
  return std::sin(px) / px;
}

double IELanczos3Filter(double x) {
  const double a = std::fabs(x);
  return a < 3 ? IESinc(a) * IESinc(a / 3) : 0;
}

double IEMitchellFilter(double x) {
  const double a = std::fabs(x);
  if (a < 1) return (7 * a * a * a - 12 * a * a + 16.0 / 3) / 6;
  if (a < 2) return (-7.0 / 3 * a * a * a + 12 * a * a - 20 * a + 32.0 / 3) / 6;
  return 0;
}

double IEBoxFilter(double x) { return x > -0.5 && x <= 0.5 ? 1 : 0; }

double IELinearFilter(double x) {
  if (x < -1) return 0;
  if (x < 0) return x + 1;
  if (x < 1) return 1 - x;
  return 0;
}

const std::array<TIEResampleFilterEntry, rfLinear - rfTriangle + 1> IEResampleFilterTable = {{
    {IETriangleFilter, 1},
    {IEHermiteFilter, 1},
    {IEBellFilter, 1.5},
    {IEBSplineFilter, 2},
    {IELanczos3Filter, 3},
    {IEMitchellFilter, 2},
    {IEBoxFilter, 1},
    {IELinearFilter, 1},
}};

// ---- weight lists --------------------------------------------------------------------------

namespace iep {

// Source positions mirror at both edges (-1 reads 1, n reads n - 2).
static int32_t MirrorIndex(int64_t j, int32_t count) {
  if (j < 0) j = -j;
  if (j >= count) j = 2 * int64_t{count} - 1 - j;
  return static_cast<int32_t>(std::clamp<int64_t>(j, 0, count - 1));
}

// Rounds half to the even neighbour.
static int64_t RoundHalfEven(double value) { return static_cast<int64_t>(std::nearbyint(value)); }

// The kernel normalised to kWeightOne, the running sum rounded so that the
// weights add up to exactly kWeightOne however small each one is; the
// nearest position alone where the kernel's values cancel.
static void AddNormalisedWeights(TContributors& lists, const std::vector<double>& samples, int64_t low,
                                 double center, int32_t sourceCount) {
  double total = 0;
  for (double sample : samples) total += sample;
  if (!(std::fabs(total) > 1e-9)) {
    lists.Index.push_back(MirrorIndex(std::llround(center), sourceCount));
    lists.Weight.push_back(kWeightOne);
    return;
  }
  double running = 0;
  int64_t previous = 0;
  for (size_t k = 0; k < samples.size(); ++k) {
    running += samples[k] / total;
    const int64_t rounded = std::llround(running * kWeightOne);
    const int64_t weight = rounded - previous;
    previous = rounded;
    if (weight == 0) continue;
    lists.Index.push_back(MirrorIndex(low + static_cast<int64_t>(k), sourceCount));
    lists.Weight.push_back(static_cast<int32_t>(weight));
  }
}

TContributors MakeContributors(int32_t sourceCount, int32_t destCount, TResampleFilter filter) {
  TContributors lists;
  lists.Start.reserve(static_cast<size_t>(destCount) + 1);
  lists.Start.push_back(0);
  auto close = [&] {
    int64_t total = 0;
    for (size_t k = static_cast<size_t>(lists.Start.back()); k < lists.Weight.size(); ++k) total += lists.Weight[k];
    // Weights that cancel count as kWeightOne.
    lists.Total.push_back(total <= 0 ? kWeightOne : static_cast<int32_t>(total));
    lists.Start.push_back(static_cast<int32_t>(lists.Index.size()));
  };
  if (sourceCount == destCount) {  // an unchanged axis is copied, whatever the kernel's side lobes
    for (int32_t i = 0; i < destCount; ++i) {
      lists.Index.push_back(i);
      lists.Weight.push_back(kWeightOne);
      close();
    }
    return lists;
  }
  const TIEResampleFilterEntry& entry = IEResampleFilterTable[filter - rfTriangle];
  const double scale = sourceCount == 1 || destCount == 1
                           ? static_cast<double>(destCount) / sourceCount
                           : static_cast<double>(destCount - 1) / (sourceCount - 1);
  const double stretch = scale < 1 ? 1 / scale : 1;  // the kernel widens by this when shrinking
  const double width = entry.Support * stretch;
  std::vector<double> samples;
  for (int32_t i = 0; i < destCount; ++i) {
    const double center = i / scale;
    const int64_t low = static_cast<int64_t>(std::floor(center - width));
    const int64_t high = static_cast<int64_t>(std::ceil(center + width));
    samples.clear();
    for (int64_t j = low; j <= high; ++j) samples.push_back(entry.Kernel((center - static_cast<double>(j)) / stretch));
    const size_t first = lists.Weight.size();
    for (size_t k = 0; k < samples.size(); ++k) {
      const int64_t weight = RoundHalfEven(samples[k] * kWeightOne / stretch);
      if (weight == 0) continue;
      lists.Index.push_back(MirrorIndex(low + static_cast<int64_t>(k), sourceCount));
      lists.Weight.push_back(static_cast<int32_t>(weight));
    }
    // A shrink by hundreds rounds every 256th to nothing, which would leave
    // the output black: such a list takes the kernel normalised instead.
    if (lists.Weight.size() == first) AddNormalisedWeights(lists, samples, low, center, sourceCount);
    close();
  }
  return lists;
}

}  // namespace iep

// ---- kernel passes --------------------------------------------------------------------------

namespace {

using iep::TContributors;
using iep::TDivisor;

// 8-bit samples sum in 32 bits, 16-bit ones in 64.
template <typename T>
using TAccumulator = std::conditional_t<sizeof(T) == 1, int32_t, int64_t>;

template <typename T>
constexpr uint32_t kMaxSample = sizeof(T) == 1 ? 255 : 65535;

template <typename T>
T ClampSample(int64_t value) {
  return static_cast<T>(value < 0 ? 0 : std::min<int64_t>(value, kMaxSample<T>));
}

// Both passes truncate: a sample is its weighted sum divided by the weights'
// total, the fraction dropped; negative sums give 0. The divisions are
// multiplications by the totals' reciprocals, exact for every sum up to the
// largest sample times the total (a larger sum clamps to the largest sample
// either way).
template <typename T>
std::vector<TDivisor> Divisors(const TContributors& lists) {
  std::vector<TDivisor> divisors;
  divisors.reserve(lists.Total.size());
  for (int32_t total : lists.Total) divisors.emplace_back(static_cast<uint32_t>(total), kMaxSample<T>);
  return divisors;
}

template <typename T>
T DivideSum(TAccumulator<T> sum, const TDivisor& divisor) {
  return sum <= 0 ? T{0} : ClampSample<T>(divisor.Divide(static_cast<uint64_t>(sum)));
}

// One output row of the horizontal pass.
template <int32_t Channels, typename T>
void HorizontalRow(const TContributors& lists, const std::vector<TDivisor>& divisors, const T* source, T* dest,
                   int32_t destWidth) {
  using Acc = TAccumulator<T>;
  const int32_t* index = lists.Index.data();
  const int32_t* weight = lists.Weight.data();
  for (int32_t i = 0; i < destWidth; ++i) {
    Acc sums[Channels];
    for (int32_t c = 0; c < Channels; ++c) sums[c] = 0;
    for (int32_t k = lists.Start[i], end = lists.Start[i + 1]; k < end; ++k) {
      const T* pixel = source + ptrdiff_t{index[k]} * Channels;
      const Acc w = weight[k];
      for (int32_t c = 0; c < Channels; ++c) sums[c] += w * pixel[c];
    }
    T* out = dest + ptrdiff_t{i} * Channels;
    for (int32_t c = 0; c < Channels; ++c) out[c] = DivideSum<T>(sums[c], divisors[static_cast<size_t>(i)]);
  }
}

// Adds weight x row into the accumulators (a loop the compiler vectorises).
template <typename T>
void AccumulateRow(TAccumulator<T>* sums, const T* row, int32_t weight, int32_t count) {
  using Acc = TAccumulator<T>;
  for (int32_t x = 0; x < count; ++x) sums[x] += static_cast<Acc>(weight) * row[x];
}

template <typename T>
void StoreRow(const TAccumulator<T>* sums, T* row, int32_t count, const TDivisor& divisor) {
  if (!divisor.Exact()) {
    for (int32_t x = 0; x < count; ++x) row[x] = DivideSum<T>(sums[x], divisor);
    return;
  }
  for (int32_t x = 0; x < count; ++x) {
    const uint64_t sum = sums[x] < 0 ? 0 : static_cast<uint64_t>(sums[x]);
    const uint32_t quotient = divisor.Multiply(static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX)));
    row[x] = static_cast<T>(std::min<uint32_t>(quotient, kMaxSample<T>));
  }
}

// Both passes of Channels samples of type T per pixel, from source to dest
// (already at their sizes and formats).
template <int32_t Channels, typename T>
void KernelPasses(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter, const TIEProgressEvent& onProgress,
                  TObject* sender) {
  using Acc = TAccumulator<T>;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) return;
  const int32_t bands = IEBandCount({source, dest});
  iep::TProgress progress(onProgress, sender, int64_t{srcH} + dstH);  // reported from band 0

  const TContributors columns = iep::MakeContributors(srcW, dstW, filter);
  const std::vector<TDivisor> columnDivisors = Divisors<T>(columns);
  TIEWorkBitmap work(dstW, srcH, Channels * 8 * static_cast<int32_t>(sizeof(T)));
  IERunInBands(srcH, bands, [&](int32_t first, int32_t count, int32_t band) {
    for (int32_t y = first; y < first + count; ++y) {
      HorizontalRow<Channels>(columns, columnDivisors, reinterpret_cast<const T*>(source->GetScanline(y)),
                              reinterpret_cast<T*>(work.GetScanline(y)), dstW);
      if (band == 0) progress.Report((int64_t{y} * bands) + 1);
    }
  });

  const TContributors rows = iep::MakeContributors(srcH, dstH, filter);
  const std::vector<TDivisor> rowDivisors = Divisors<T>(rows);
  const int32_t samples = dstW * Channels;
  IERunInBands(dstH, bands, [&](int32_t first, int32_t count, int32_t band) {
    std::vector<Acc> sums(static_cast<size_t>(samples));
    for (int32_t y = first; y < first + count; ++y) {
      std::fill(sums.begin(), sums.end(), Acc{0});
      for (int32_t k = rows.Start[y]; k < rows.Start[y + 1]; ++k)
        AccumulateRow<T>(sums.data(), reinterpret_cast<const T*>(work.GetScanline(rows.Index[k])), rows.Weight[k],
                         samples);
      StoreRow<T>(sums.data(), reinterpret_cast<T*>(dest->GetScanline(y)), samples, rowDivisors[static_cast<size_t>(y)]);
      if (band == 0) progress.Report(srcH + (int64_t{y} * bands) + 1);
    }
  });
}

}  // namespace

namespace iep {

void KernelPasses24(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter, const TIEProgressEvent& onProgress,
                    TObject* sender) {
  KernelPasses<3, uint8_t>(source, dest, filter, onProgress, sender);
}

void KernelPassesGray8(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  KernelPasses<1, uint8_t>(source, dest, filter, {}, nullptr);
}

void KernelPassesGray16(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  KernelPasses<1, uint16_t>(source, dest, filter, {}, nullptr);
}

std::unique_ptr<TIEBitmap> ConvertedCopy(TIEBitmap* source, TIEPixelFormat format) {
  const int32_t width = source->GetWidth(), height = source->GetHeight();
  auto copy = std::make_unique<TIEBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      TRGB rgb;
      source->GetPixelRGB(x, y, rgb);
      if (format == ie8g)
        copy->SetPixel8(x, y, rgb.g);
      else
        copy->SetPixel24(x, y, rgb);
    }
  return copy;
}

void EnsureFormat(TIEBitmap* bitmap, TIEPixelFormat format) {
  if (bitmap->GetPixelFormat() != format) bitmap->Allocate(bitmap->GetWidth(), bitmap->GetHeight(), format);
}

}  // namespace iep

// ---- the engine ------------------------------------------------------------------------------

namespace {

bool IsInterpolating(TResampleFilter filter) { return filter == rfBilinear || filter == rfBicubic; }

// The filter that stands in where the interpolating cores cannot serve; a
// setting without a kernel of its own gives the fast linear passes.
TResampleFilter FallbackFilter() {
  const TResampleFilter filter = IEGetGlobalSettings()->DefaultResampleFilter;
  return IEIsKernelFilter(filter) || filter == rfFastLinear || filter == rfProjectBW || filter == rfProjectWB
             ? filter
             : rfFastLinear;
}

}  // namespace

void IEResample(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, TResampleFilter filter,
                const TIEProgressEvent& onProgress, TObject* sender) {
  if (!source || !dest) return;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  if (srcW < 1 || srcH < 1 || dest->GetWidth() < 1 || dest->GetHeight() < 1) return;
  if (srcW == 1 && srcH == 1) {
    IEResampleFromSinglePixel(source, dest);
    return;
  }
  if (IEIsWICFilter(filter)) {
    IEWICResampleBitmap(source, dest, alpha, filter, onProgress, sender);
    return;
  }
  const TIEPixelFormat format = source->GetPixelFormat();
  if (filter == rfNone) {
    iep::EnsureFormat(dest, format);
    IEStretchNearest(source, dest, sender, onProgress);
    return;
  }
  if (IsInterpolating(filter)) {
    const bool bicubic = filter == rfBicubic;
    if (dest->GetPixelFormat() == format && (format == ie24RGB || format == ie8g)) {
      IEInterpolatingResample(source, dest, alpha, bicubic, onProgress, sender);
      return;
    }
    if (dest->GetPixelFormat() == format && (format == ieRGB48 || format == ie16Gray)) {
      IEInterpolatingResample16(source, dest, bicubic, onProgress, sender);
      return;
    }
    filter = FallbackFilter();
  }
  if (format == ie8g && dest->GetPixelFormat() == ie8g) {
    IEResampleGray8(source, dest, filter);
    return;
  }
  if (format == ie16Gray && dest->GetPixelFormat() == ie16Gray) {
    IEResampleGray16(source, dest, filter);
    return;
  }
  std::unique_ptr<TIEBitmap> converted;
  TIEBitmap* working = source;
  if (format != ie24RGB) {
    converted = iep::ConvertedCopy(source, ie24RGB);
    working = converted.get();
  }
  switch (filter) {
    case rfFastLinear:
      iep::EnsureFormat(dest, ie24RGB);
      IEResampleFastLinear24(working, dest, sender, onProgress);
      return;
    case rfProjectBW:
    case rfProjectWB:
      IEProject24To1Bit(working, dest, filter == rfProjectWB, sender, onProgress);
      return;
    default:
      break;
  }
  iep::EnsureFormat(dest, ie24RGB);
  iep::KernelPasses24(working, dest, IEIsKernelFilter(filter) ? filter : rfTriangle, onProgress, sender);
}

void IEResampleFromSinglePixel(TIEBitmap* source, TIEBitmap* dest) {
  if (!source || !dest || source->GetWidth() < 1 || source->GetHeight() < 1) return;
  TRGB rgb;
  source->GetPixelRGB(0, 0, rgb);
  // Fill reads a colour as $00BBGGRR.
  dest->Fill(static_cast<double>((uint32_t{rgb.b} << 16) | (uint32_t{rgb.g} << 8) | rgb.r));
}

void IEResampleBitmap(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter, const TIEProgressEvent& onProgress,
                      TObject* sender) {
  if (!source || !dest) return;
  if (source->GetWidth() == dest->GetWidth() && source->GetHeight() == dest->GetHeight()) {
    dest->Assign(source);
    return;
  }
  if (filter == rfNone) {
    iep::EnsureFormat(dest, source->GetPixelFormat());
    IEStretchNearest(source, dest, sender, onProgress);
  } else if (source->GetPixelFormat() == ie1g) {
    iep::EnsureFormat(dest, filter == rfProjectBW || filter == rfProjectWB ? ie1g : ie24RGB);
    IEResample1Bit(source, dest, filter);
  } else {
    IEResample(source, dest, source->PeekAlphaChannel(), filter, onProgress, sender);
  }
  TIEBitmap* sourceAlpha = source->PeekAlphaChannel();
  if (!sourceAlpha) return;
  TIEBitmap* destAlpha = dest->GetAlphaChannel();
  if (filter == rfNone)
    IEStretchNearest(sourceAlpha, destAlpha, nullptr, {});
  else
    IEResampleGray8(sourceAlpha, destAlpha, filter);
  destAlpha->SetFullFlag(sourceAlpha->FullFlag());
}

void IEResampleBitmapInPlace(TIEBitmap* bitmap, TResampleFilter filter, int32_t newWidth, int32_t newHeight,
                             const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap || newWidth < 1 || newHeight < 1) return;
  TIEBitmap copy(*bitmap);
  bitmap->RemoveAlphaChannel();
  if (!bitmap->Allocate(newWidth, newHeight, copy.GetPixelFormat())) return;
  IEResampleBitmap(&copy, bitmap, filter, onProgress, sender);
}

void IEFillTransparentPixels(TIEBitmap* bitmap, TRGB color) {
  if (!bitmap || bitmap->GetPixelFormat() != ie24RGB) return;
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* a = alpha->GetScanline(y);
    std::vector<uint8_t> mask(a, a + width);
    TRGB* row = reinterpret_cast<TRGB*>(bitmap->GetScanline(y));
    for (int32_t x = 0; x < width; ++x)
      if (mask[x] == 0) row[x] = color;
  }
}

void IECalcResampleSize(int32_t& newWidth, int32_t& newHeight, int32_t width, int32_t height, bool fitInside) {
  if (newWidth < 0 && newHeight < 0) return;
  if (width < 1 || height < 1) return;
  const bool fit = fitInside && newWidth >= 1 && newHeight >= 1;
  const auto limit = [](int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 1, INT32_MAX)); };
  const int32_t requestedHeight = newHeight;
  if (newWidth == -1)
    newWidth = limit(int64_t{requestedHeight} * width / height);
  else
    newWidth = limit(newWidth == 0 ? width : std::llabs(newWidth));
  if (newHeight == -1)
    newHeight = limit(int64_t{newWidth} * height / width);
  else
    newHeight = limit(newHeight == 0 ? height : std::llabs(newHeight));
  if (fit) {
    int32_t w = newWidth, h = newHeight;
    IEFitSize(width, height, newWidth, newHeight, w, h);
    newWidth = w;
    newHeight = h;
  }
}
