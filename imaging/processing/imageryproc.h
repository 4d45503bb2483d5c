// Free routines of the processing unit: minimum, maximum and clamping, the
// separable gaussian blur in 16.16 fixed point and the soft-shadow margin.
//
// Sections: progress | arithmetic | colours | blur
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/object.h"
#include "platform/forms/graphics.h"

// ---- progress -------------------------------------------------------------------------

// Progress of a long operation, in percent; empty = not assigned.
using TIEProgressEvent = std::function<void(TObject* sender, int32_t per)>;

// ---- arithmetic (inner-loop routines: keep them inline and call-free) -------------------

// b when b < a, else a.
inline int32_t IEMin(int32_t a, int32_t b) { return b < a ? b : a; }
// b when a < b, else a.
inline int32_t IEMax(int32_t a, int32_t b) { return a < b ? b : a; }
// low when value <= low, else value when value < high, else high (low wins
// when low > high).
inline int32_t IEClamp(int32_t value, int32_t low, int32_t high) {
  return value <= low ? low : (value < high ? value : high);
}

// Exchanges x1 and x2 when x2 < x1, and y1 and y2 when y2 < y1.
inline void IEOrderCoords(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
}

// ---- colours ------------------------------------------------------------------------------

// The colour with system colours resolved, as $AARRGGBB (the GDI+ layout).
uint32_t IEColorToARGB(TColor color, uint8_t alpha);

// ---- blur -------------------------------------------------------------------------------

// Gaussian taps for the offsets -100 .. 100 (index offset + 100); the kernel
// is used over -HalfWidth .. HalfWidth only.
struct GaussKernel {
  static constexpr int32_t MaxHalfWidth = 100;
  static constexpr int32_t Taps = 2 * MaxHalfWidth + 1;
  int8_t HalfWidth = 1;
  // exp(-(k / sigma)^2 / 2).
  std::array<double, Taps> Samples{};
  // sample x 65536 / sum of the samples, rounded half to even.
  std::array<int32_t, Taps> Weights{};
  int32_t Weight(int32_t offset) const { return Weights[offset + MaxHalfWidth]; }
};

// Fills the kernel for a standard deviation of sigma pixels. HalfWidth is the
// largest offset (1..100) with a non-zero weight on either side. A sigma that
// is not above 0 gives the identity (0, 65536, 0), the limit of a tiny sigma.
void IEMakeGaussKernel(GaussKernel& kernel, double sigma);
// Blurs count pixels of three (IEBlurRow24) or one (IEBlurRow8) bytes from
// source into destination (which must not overlap); positions past either end
// repeat the end pixel.
void IEBlurRow24(const GaussKernel& kernel, const uint8_t* source, uint8_t* destination, int32_t count);
void IEBlurRow8(const GaussKernel& kernel, const uint8_t* source, uint8_t* destination, int32_t count);
// Blurs a whole ie8g or ie24RGB image in place, rows then columns; other
// formats and a sigma not above 0 are left alone. onProgress, when assigned,
// hears (sender, percent) after every row and column.
void IEGaussianBlur(TIEBitmap* bitmap, TObject* sender, double sigma, const TIEProgressEvent& onProgress);
// Blurs the rectangle x1..x2, y1..y2 (edges included, cut to the image) of an
// ie8g image in place; the rectangle's border repeats, pixels outside it are
// neither read nor written. Other formats and a sigma not above 0 are left alone.
void IEGaussianBlurGray8(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, double sigma);
// The room a soft shadow needs beyond the shape on every side:
// max(2 x max(|offsetX|, |offsetY|) + Trunc(5 x sigma), 1), at most INT32_MAX.
int32_t IEGetShadowMargin(int32_t offsetX, int32_t offsetY, double sigma);
