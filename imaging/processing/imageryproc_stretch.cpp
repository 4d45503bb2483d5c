// The resampler's simple passes: nearest pixel for every format, the fast
// linear passes, the projections to 1 bit, the 1-bit averaging stretch and
// the routes of the grey and 1-bit resamplers.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/io/iewic.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_internal.h"

namespace {

using iep::GetBit;
using iep::PutBit;

// Puts the row access modes back when a pass ends.
class TAccessModes {
public:
  TAccessModes(TIEBitmap* source, TIEBitmap* dest)
      : source_(source), dest_(dest), sourceMode_(source->AccessMode), destMode_(dest->AccessMode) {
    source->AccessMode = iemRead;
    dest->AccessMode = iemWrite;
  }
  ~TAccessModes() {
    source_->AccessMode = sourceMode_;
    dest_->AccessMode = destMode_;
  }
  TAccessModes(const TAccessModes&) = delete;
  TAccessModes& operator=(const TAccessModes&) = delete;

private:
  TIEBitmap* source_;
  TIEBitmap* dest_;
  uint8_t sourceMode_, destMode_;
};

int32_t PixelBytes(TIEPixelFormat format) {
  switch (format) {
    case ie8p:
    case ie8g:
      return 1;
    case ie16Gray:
      return 2;
    case ie24RGB:
    case ieCIELab:
      return 3;
    case ie32f:
    case ieCMYK:
    case ie32RGBA:
      return 4;
    case ieRGB48:
      return 6;
    default:
      return 0;
  }
}

// ---- fast linear ------------------------------------------------------------------------------

constexpr int32_t kFractionBits = 17;

// Where the outputs of one axis read: interpolation between Low and Low + 1
// by Fraction (a growing axis), or the mean of Low .. High (a shrinking one),
// or a plain copy (an unchanged one).
struct TFastAxis {
  enum Kind { Copy, Interpolate, Average } Mode = Copy;
  std::vector<int32_t> Low, High;
  std::vector<int64_t> Fraction;
};

TFastAxis MakeFastAxis(int32_t sourceCount, int32_t destCount, bool interpolateAlways, bool endEpsilon) {
  TFastAxis axis;
  const double ratio = static_cast<double>(destCount) / sourceCount;
  if (destCount == sourceCount) return axis;
  axis.Mode = ratio > 1 || interpolateAlways ? TFastAxis::Interpolate : TFastAxis::Average;
  axis.Low.resize(static_cast<size_t>(destCount));
  axis.High.resize(static_cast<size_t>(destCount));
  axis.Fraction.resize(static_cast<size_t>(destCount));
  for (int32_t i = 0; i < destCount; ++i) {
    const double x = i / ratio;
    const int32_t low = std::min(static_cast<int32_t>(x), sourceCount - 1);
    axis.Low[i] = low;
    axis.Fraction[i] = static_cast<int64_t>((x - low) * (1 << kFractionBits));
    if (axis.Mode == TFastAxis::Interpolate) {
      axis.High[i] = std::min(low + 1, sourceCount - 1);
    } else {
      const double end = std::min(i + 1, destCount - 1) / ratio + (endEpsilon ? 1e-10 : 0);
      axis.High[i] = std::clamp(static_cast<int32_t>(end), low, sourceCount - 1);
    }
  }
  return axis;
}

template <typename T>
T Interpolate(int64_t a, int64_t b, int64_t fraction) {
  return static_cast<T>(a + (((b - a) * fraction) >> kFractionBits));
}

template <typename T>
constexpr uint32_t kMaxSample = std::numeric_limits<T>::max();

// Sums of a column of samples: 32 bits hold any count of 8-bit samples a
// bitmap can have, 16-bit ones take 64.
template <typename T>
using TColumnSum = std::conditional_t<sizeof(T) == 1, uint32_t, uint64_t>;

// The horizontal pass of one source row into dest (destCount pixels);
// exact: every divisor multiplies.
template <int32_t Channels, typename T>
void FastRow(const TFastAxis& axis, const std::vector<iep::TDivisor>& divisors, bool exact, const T* source, T* dest,
             int32_t destCount) {
  for (int32_t i = 0; i < destCount; ++i) {
    const T* a = source + ptrdiff_t{axis.Low[i]} * Channels;
    T* out = dest + ptrdiff_t{i} * Channels;
    if (axis.Mode == TFastAxis::Interpolate) {
      const T* b = source + ptrdiff_t{axis.High[i]} * Channels;
      for (int32_t c = 0; c < Channels; ++c) out[c] = Interpolate<T>(a[c], b[c], axis.Fraction[i]);
      continue;
    }
    const int32_t count = axis.High[i] - axis.Low[i] + 1;
    TColumnSum<T> sum[Channels] = {};
#pragma GCC unroll 8
    for (int32_t k = 0; k < count; ++k, a += Channels)
      for (int32_t c = 0; c < Channels; ++c) sum[c] += a[c];
    if (exact) {
      for (int32_t c = 0; c < Channels; ++c)
        out[c] = static_cast<T>(divisors[i].Multiply(static_cast<uint32_t>(sum[c])));
    } else {
      for (int32_t c = 0; c < Channels; ++c) out[c] = static_cast<T>(divisors[i].Divide(sum[c]));
    }
  }
}

// Source rows after the horizontal pass, read in place where the width does
// not change; the last two rows stay, so the row an averaging block shares
// with the next one and the pair an interpolation reads again are made once.
template <int32_t Channels, typename T>
class TFastRows {
public:
  TFastRows(TIEBitmap* source, int32_t sx, int32_t sy, const TFastAxis& columns, int32_t destCount)
      : source_(source), sx_(sx), sy_(sy), columns_(columns), destCount_(destCount) {
    if (columns.Mode == TFastAxis::Average)
      for (int32_t i = 0; i < destCount; ++i)
        divisors_.emplace_back(static_cast<uint32_t>(columns.High[i] - columns.Low[i] + 1), kMaxSample<T>);
    exact_ = std::all_of(divisors_.begin(), divisors_.end(), [](const iep::TDivisor& d) { return d.Exact(); });
    for (auto& slot : slots_) slot.Samples.resize(static_cast<size_t>(destCount) * Channels);
  }

  const T* Row(int32_t row) {
    const T* in = reinterpret_cast<const T*>(source_->GetScanline(sy_ + row)) + ptrdiff_t{sx_} * Channels;
    if (columns_.Mode == TFastAxis::Copy) return in;
    for (auto& slot : slots_)
      if (slot.Row == row) {
        slot.Used = ++clock_;
        return slot.Samples.data();
      }
    TSlot& slot = slots_[0].Used <= slots_[1].Used ? slots_[0] : slots_[1];
    FastRow<Channels>(columns_, divisors_, exact_, in, slot.Samples.data(), destCount_);
    slot.Row = row;
    slot.Used = ++clock_;
    return slot.Samples.data();
  }

private:
  struct TSlot {
    std::vector<T> Samples;
    int32_t Row = -1;
    uint64_t Used = 0;
  };
  TIEBitmap* source_;
  int32_t sx_, sy_;
  const TFastAxis& columns_;
  int32_t destCount_;
  std::vector<iep::TDivisor> divisors_;
  bool exact_ = false;
  TSlot slots_[2];
  uint64_t clock_ = 0;
};

// The vertical pass's output row y.
template <int32_t Channels, typename T>
void FastColumn(const TFastAxis& axis, TFastRows<Channels, T>& rows, int32_t y, T* dest,
                std::vector<TColumnSum<T>>& sums) {
  const size_t samples = sums.size();
  if (axis.Mode == TFastAxis::Copy) {
    std::memcpy(dest, rows.Row(y), sizeof(T) * samples);
    return;
  }
  if (axis.Mode == TFastAxis::Interpolate) {
    const T* a = rows.Row(axis.Low[y]);
    const T* b = rows.Row(axis.High[y]);
    for (size_t x = 0; x < samples; ++x) dest[x] = Interpolate<T>(a[x], b[x], axis.Fraction[y]);
    return;
  }
  std::fill(sums.begin(), sums.end(), 0);
  for (int32_t r = axis.Low[y]; r <= axis.High[y]; ++r) {
    const T* source = rows.Row(r);
    for (size_t x = 0; x < samples; ++x) sums[x] += source[x];
  }
  const iep::TDivisor divisor(static_cast<uint32_t>(axis.High[y] - axis.Low[y] + 1), kMaxSample<T>);
  if (divisor.Exact()) {
    for (size_t x = 0; x < samples; ++x) dest[x] = static_cast<T>(divisor.Multiply(static_cast<uint32_t>(sums[x])));
    return;
  }
  for (size_t x = 0; x < samples; ++x) dest[x] = static_cast<T>(divisor.Divide(sums[x]));
}

// The source rectangle (sx, sy, sw, sh), read in place, into the whole dest.
template <int32_t Channels, typename T>
void FastLinear(TIEBitmap* source, int32_t sx, int32_t sy, int32_t sw, int32_t sh, TIEBitmap* dest, TObject* sender,
                const TIEProgressEvent& onProgress, bool interpolateAlways) {
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (sw < 1 || sh < 1 || dstW < 1 || dstH < 1) return;
  const TFastAxis columns = MakeFastAxis(sw, dstW, interpolateAlways, true);
  const TFastAxis rows = MakeFastAxis(sh, dstH, interpolateAlways, false);
  iep::TProgress progress(onProgress, sender, dstH);
  TFastRows<Channels, T> sourceRows(source, sx, sy, columns, dstW);
  std::vector<TColumnSum<T>> sums(static_cast<size_t>(dstW) * Channels);
  for (int32_t y = 0; y < dstH; ++y) {
    FastColumn<Channels, T>(rows, sourceRows, y, reinterpret_cast<T*>(dest->GetScanline(y)), sums);
    progress.Report(y);
  }
}

template <int32_t Channels, typename T>
void FastLinear(TIEBitmap* source, TIEBitmap* dest, TObject* sender, const TIEProgressEvent& onProgress,
                bool interpolateAlways) {
  FastLinear<Channels, T>(source, 0, 0, source->GetWidth(), source->GetHeight(), dest, sender, onProgress,
                          interpolateAlways);
}

// An ie8g copy of a 1-bit image: 255 for a set bit, 0 for a clear one.
std::unique_ptr<TIEBitmap> GreyFromBits(TIEBitmap* source) {
  const int32_t width = source->GetWidth(), height = source->GetHeight();
  auto grey = std::make_unique<TIEBitmap>(width, height, ie8g);
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* bits = source->GetScanline(y);
    std::vector<uint8_t> row(static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) row[x] = GetBit(bits, x) ? 255 : 0;
    std::memcpy(grey->GetScanline(y), row.data(), row.size());
  }
  return grey;
}

// Writes the grey image into blue, green and red of the ie24RGB dest.
void SpreadGrey(TIEBitmap* grey, TIEBitmap* dest) {
  const int32_t width = dest->GetWidth(), height = dest->GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    std::vector<uint8_t> row(grey->GetScanline(y), grey->GetScanline(y) + width);
    uint8_t* out = dest->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
  }
}

// ---- projections --------------------------------------------------------------------------------

// lightness(x, y): 1 light, -1 dark, 0 neither; the examined block of an
// output pixel reaches back to the previous cell's start.
template <typename Lightness>
void Project(TIEBitmap* source, TIEBitmap* dest, bool lightWins, TObject* sender, const TIEProgressEvent& onProgress,
             Lightness lightness) {
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  if (dest->GetPixelFormat() != ie1g) dest->Allocate(dest->GetWidth(), dest->GetHeight(), ie1g);
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) return;
  TAccessModes modes(source, dest);
  iep::TProgress progress(onProgress, sender, dstH);
  const double xr = static_cast<double>(srcW) / dstW, yr = static_cast<double>(srcH) / dstH;
  std::vector<int32_t> col(static_cast<size_t>(dstW));
  for (int32_t i = 0; i < dstW; ++i) col[i] = static_cast<int32_t>(i * xr);
  const int32_t wanted = lightWins ? 1 : -1;
  std::vector<uint8_t> out(static_cast<size_t>((dstW + 7) / 8));
  for (int32_t r = 0; r < dstH; ++r) {
    std::fill(out.begin(), out.end(), lightWins ? 0 : 255);
    const int32_t firstRow = r == 0 ? 0 : static_cast<int32_t>((r - 1) * yr);
    const int32_t lastRow = std::min(static_cast<int32_t>(r * yr), srcH - 1);
    for (int32_t i = 0; i < dstW; ++i) {
      const int32_t firstCol = i == 0 ? 0 : col[i - 1];
      bool found = false;
      for (int32_t y = firstRow; y <= lastRow && !found; ++y)
        for (int32_t x = firstCol; x <= col[i] && !found; ++x) found = lightness(x, y) == wanted;
      if (found) PutBit(out.data(), i, lightWins);
    }
    std::memcpy(dest->GetScanline(r), out.data(), out.size());
    progress.Report(r);
  }
}

}  // namespace

// ---- nearest ----------------------------------------------------------------------------------------

void IEStretchNearest(TIEBitmap* source, TIEBitmap* dest, TObject* sender, const TIEProgressEvent& onProgress) {
  if (!source || !dest) return;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (dstW < 1 || dstH < 1 || srcW < 1 || srcH < 1) return;
  const TIEPixelFormat format = source->GetPixelFormat();
  const int32_t bytes = PixelBytes(format);
  if (format != ie1g && bytes == 0) return;
  const double xratio = static_cast<double>(srcW) / dstW, yratio = static_cast<double>(srcH) / dstH;
  std::vector<int32_t> col(static_cast<size_t>(dstW));
  for (int32_t i = 0; i < dstW; ++i) col[i] = std::min(static_cast<int32_t>(i * xratio), srcW - 1);
  iep::TProgress progress(onProgress, sender, dstH);
  {
    TAccessModes modes(source, dest);
    std::vector<uint8_t> in(static_cast<size_t>(source->RowLength64()));
    std::vector<uint8_t> out(static_cast<size_t>(dest->RowLength64()));
    for (int32_t y = 0; y < dstH; ++y) {
      const int32_t sy = std::min(static_cast<int32_t>(y * yratio), srcH - 1);
      std::memcpy(in.data(), source->GetScanline(sy), in.size());
      if (format == ie1g) {
        for (int32_t i = 0; i < dstW; ++i) PutBit(out.data(), i, GetBit(in.data(), col[i]));
      } else {
        for (int32_t i = 0; i < dstW; ++i)
          std::memcpy(&out[static_cast<size_t>(i) * bytes], &in[static_cast<size_t>(col[i]) * bytes], bytes);
      }
      std::memcpy(dest->GetScanline(y), out.data(), out.size());
      progress.Report(y);
    }
  }
  if (format == ie8p) source->CopyPaletteTo(dest);
}

// ---- fast linear ---------------------------------------------------------------------------------------

void IEResampleFastLinear24(TIEBitmap* source, TIEBitmap* dest, TObject* sender, const TIEProgressEvent& onProgress) {
  if (source && dest) FastLinear<3, uint8_t>(source, dest, sender, onProgress, false);
}

void IEResampleFastLinear24(TIEBitmap* source, int32_t sx, int32_t sy, int32_t sw, int32_t sh, TIEBitmap* dest) {
  if (source && dest) FastLinear<3, uint8_t>(source, sx, sy, sw, sh, dest, nullptr, {}, false);
}

void IEResampleFastLinearGray8(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                               const TIEProgressEvent& onProgress) {
  if (source && dest) FastLinear<1, uint8_t>(source, dest, sender, onProgress, false);
}

void IEResampleFastLinearGray16(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                                const TIEProgressEvent& onProgress) {
  if (source && dest) FastLinear<1, uint16_t>(source, dest, sender, onProgress, false);
}

void IEResampleFastLinear1Bit(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                              const TIEProgressEvent& onProgress) {
  if (!source || !dest) return;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1) return;
  if (srcW == dstW && srcH == dstH) {
    dest->Assign(source);
    return;
  }
  iep::EnsureFormat(dest, ie24RGB);
  if (dstW < srcW && dstH < srcH) {
    IEStretch1BitAveraged(source, 0, 0, srcW - 1, srcH - 1, dest);
    return;
  }
  std::unique_ptr<TIEBitmap> grey = GreyFromBits(source);
  TIEBitmap scaled(dstW, dstH, ie8g);
  FastLinear<1, uint8_t>(grey.get(), &scaled, sender, onProgress, true);
  SpreadGrey(&scaled, dest);
}

// ---- projections ------------------------------------------------------------------------------------------

void IEProject24To1Bit(TIEBitmap* source, TIEBitmap* dest, bool lightWins, TObject* sender,
                       const TIEProgressEvent& onProgress) {
  if (!source || !dest || source->GetPixelFormat() != ie24RGB) return;
  Project(source, dest, lightWins, sender, onProgress, [&](int32_t x, int32_t y) {
    const TRGB p = source->GetPixel24(x, y);
    if (p.r > 128 && p.g > 128 && p.b > 128) return 1;
    if (p.r < 128 && p.g < 128 && p.b < 128) return -1;
    return 0;
  });
}

void IEProject1Bit(TIEBitmap* source, TIEBitmap* dest, bool lightWins, TObject* sender,
                   const TIEProgressEvent& onProgress) {
  if (!source || !dest || source->GetPixelFormat() != ie1g) return;
  Project(source, dest, lightWins, sender, onProgress,
          [&](int32_t x, int32_t y) { return GetBit(source->GetScanline(y), x) ? 1 : -1; });
}

void IEStretch1BitAveraged(TIEBitmap* source, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TIEBitmap* dest) {
  if (!source || !dest || source->GetPixelFormat() != ie1g || dest->GetPixelFormat() != ie24RGB) return;
  const int32_t srcW = source->GetWidth(), srcH = source->GetHeight();
  const int32_t dstW = dest->GetWidth(), dstH = dest->GetHeight();
  if (srcW < 1 || srcH < 1 || dstW < 1 || dstH < 1 || x2 < x1 || y2 < y1) return;
  const double xr = (static_cast<double>(x2) - x1 + 1) / dstW, yr = (static_cast<double>(y2) - y1 + 1) / dstH;
  const int32_t half = static_cast<int32_t>(yr);
  const auto inside = [](double v, int32_t limit) { return static_cast<int32_t>(std::clamp(v, 0.0, limit - 1.0)); };
  std::vector<int32_t> left(static_cast<size_t>(dstW)), right(static_cast<size_t>(dstW));
  for (int32_t c = 0; c < dstW; ++c) {
    left[c] = inside(x1 + std::trunc(c * xr - xr / 2), srcW);
    right[c] = inside(x1 + std::trunc(c * xr + xr / 2), srcW);
  }
  std::vector<int32_t> counts(static_cast<size_t>(dstW));
  for (int32_t q = 0; q < dstH; ++q) {
    const int32_t top = inside(y1 + std::trunc(q * yr - yr / 2), srcH);
    const int32_t bottom = inside(y1 + std::trunc(half / 2.0 + q * yr), srcH);
    std::fill(counts.begin(), counts.end(), 0);
    for (int32_t y = top; y <= bottom; ++y) {
      const uint8_t* bits = source->GetScanline(y);
      for (int32_t c = 0; c < dstW; ++c)
        for (int32_t x = left[c]; x <= right[c]; ++x) counts[c] += GetBit(bits, x) ? 1 : 0;
    }
    uint8_t* out = dest->GetScanline(q);
    const int64_t rows = bottom - top + 1;
    for (int32_t c = 0; c < dstW; ++c) {
      const int64_t pixels = rows * (right[c] - left[c] + 1);
      out[3 * c] = out[3 * c + 1] = out[3 * c + 2] = static_cast<uint8_t>(255 * int64_t{counts[c]} / pixels);
    }
  }
}

// ---- grey and 1-bit routes -------------------------------------------------------------------------------

namespace {

// The route of a grey resampler by filter; kernel and fastLinear are its passes.
void GreyRoute(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter,
               void (*kernel)(TIEBitmap*, TIEBitmap*, TResampleFilter),
               void (*fastLinear)(TIEBitmap*, TIEBitmap*, TObject*, const TIEProgressEvent&)) {
  if (!source || !dest || source->GetWidth() < 1 || source->GetHeight() < 1) return;
  if (source->GetWidth() == 1 && source->GetHeight() == 1) {
    IEResampleFromSinglePixel(source, dest);
    return;
  }
  if (IEIsWICFilter(filter))
    IEWICResampleBitmap(source, dest, nullptr, filter, {}, nullptr);
  else if (filter == rfNone)
    IEStretchNearest(source, dest, nullptr, {});
  else if (filter == rfBilinear || filter == rfBicubic)
    IEResample(source, dest, source->PeekAlphaChannel(), filter, {}, nullptr);
  else if (IEIsKernelFilter(filter))
    kernel(source, dest, filter);
  else
    fastLinear(source, dest, nullptr, {});
}

}  // namespace

void IEResampleGray8(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  GreyRoute(source, dest, filter, iep::KernelPassesGray8, IEResampleFastLinearGray8);
}

void IEResampleGray16(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  GreyRoute(source, dest, filter, iep::KernelPassesGray16, IEResampleFastLinearGray16);
}

void IEResample1Bit(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter) {
  if (!source || !dest || source->GetPixelFormat() != ie1g || source->GetWidth() < 1 || source->GetHeight() < 1)
    return;
  if (source->GetWidth() == 1 && source->GetHeight() == 1) {
    IEResampleFromSinglePixel(source, dest);
    return;
  }
  if (IEIsWICFilter(filter)) {
    IEWICResampleBitmap(source, dest, nullptr, filter, {}, nullptr);
    return;
  }
  if (filter == rfProjectBW || filter == rfProjectWB) {
    IEProject1Bit(source, dest, filter == rfProjectWB, nullptr, {});
    return;
  }
  if (filter == rfNone) {
    iep::EnsureFormat(dest, ie1g);
    IEStretchNearest(source, dest, nullptr, {});
    return;
  }
  if (!IEIsKernelFilter(filter)) {
    IEResampleFastLinear1Bit(source, dest, nullptr, {});
    return;
  }
  iep::EnsureFormat(dest, ie24RGB);
  std::unique_ptr<TIEBitmap> grey = GreyFromBits(source);
  TIEBitmap scaled(dest->GetWidth(), dest->GetHeight(), ie8g);
  iep::KernelPassesGray8(grey.get(), &scaled, filter);
  SpreadGrey(&scaled, dest);
}
