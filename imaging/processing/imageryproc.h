// Free routines of the processing unit: minimum, maximum and clamping, work
// split over threads, the separable gaussian blur in 16.16 fixed point and
// the soft-shadow margin, grey, HSV, histograms, colour reduction and the
// one-bit threshold, and the resampler with its simple stretches and
// interpolating cores.
//
// Sections: progress | arithmetic | colours | grey, HSV, histogram, colour reduction and threshold |
// rows and buffers | bands | blur | resample | stretch | interpolate | dib | rotate
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <utility>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "platform/rtl/object.h"
#include "platform/forms/graphics.h"

// ---- unit start and stop ----------------------------------------------------------------

// Builds the filter presets and registers the clipboard format of raw
// images (IERawClipboardFormat); the library's start-up calls it, and the
// clean-up IEImageryProcFinalize, which frees the presets.
void IEImageryProcInitialize();
void IEImageryProcFinalize();
extern UINT IERawClipboardFormat;

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

// value limited to 0..255 and to 0..65535.
inline uint8_t IEClampByte(int32_t value) { return static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value)); }
inline uint16_t IEClampWord(int32_t value) {
  return static_cast<uint16_t>(value < 0 ? 0 : (value > 65535 ? 65535 : value));
}

// a when b >= a, else b; b when b > a, else a.
inline double IEMinDouble(double a, double b) { return b >= a ? a : b; }
inline double IEMaxDouble(double a, double b) { return b > a ? b : a; }
inline int64_t IEMin64(int64_t a, int64_t b) { return b < a ? b : a; }
inline int64_t IEMax64(int64_t a, int64_t b) { return a < b ? b : a; }
// The lower of two addresses.
inline uint64_t IEMinU64(uint64_t a, uint64_t b) { return a < b ? a : b; }
// trunc(x), plus 1 when the fraction is above 0; minus 1 when below 0.
inline int32_t IECeil(double x) {
  const auto t = static_cast<int32_t>(x);
  return x - t > 0 ? t + 1 : t;
}
inline int32_t IEFloor(double x) {
  const auto t = static_cast<int32_t>(x);
  return x - t < 0 ? t - 1 : t;
}
inline void IESwapInt(int32_t& a, int32_t& b) { std::swap(a, b); }
inline void IESwapByte(uint8_t& a, uint8_t& b) { std::swap(a, b); }
// The largest and the smallest of three.
inline void IEMinMax3(int32_t a, int32_t b, int32_t c, int32_t& max, int32_t& min) {
  if (b < a) {
    max = a > c ? a : c;
    min = b < c ? b : c;
  } else {
    max = b > c ? b : c;
    min = a < c ? a : c;
  }
}

// Exchanges x1 and x2 when x2 < x1, and y1 and y2 when y2 < y1.
inline void IEOrderCoords(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
}

// ---- colours ------------------------------------------------------------------------------

// The colour with system colours resolved, as $AARRGGBB (the GDI+ layout).
uint32_t IEColorToARGB(TColor color, uint8_t alpha);

inline TRGB IEMakeRGB(uint8_t red, uint8_t green, uint8_t blue) { return TRGB{blue, green, red}; }
inline bool IESameRGB(TRGB a, TRGB b) { return a == b; }
// Red to bits 0-7, green 8-15, blue 16-23.
inline TColor IERGBToColor(TRGB c) { return static_cast<TColor>(c.r | c.g << 8 | c.b << 16); }
// The first entry with the smallest sum of absolute channel differences to
// the packed colour ($RRGGBB); 0 for an empty palette.
int32_t IEFindNearestColor(const TRGB* palette, int32_t count, uint32_t color);
// H, S and L in 0..1.
void IERGBToHSL(TRGB c, double& h, double& s, double& l);
void IEHSLToRGB(TRGB& c, double h, double s, double l);

// ---- grey, HSV, histogram, colour reduction and threshold --------------------------------

struct TIEProgressRecord;

// Grey level (R x wr + G x wg + B x wb) div 100 with the settings' weights.
int32_t IERGBToGray(TRGB c);
// Integer HSV: H 0..359 degrees, S and V 0..99.
void IERGBToHSV(TRGB c, int32_t& h, int32_t& s, int32_t& v);
void IEHSVToRGB(TRGB& c, int32_t h, int32_t s, int32_t v);

// Histogram channels, one bit each.
using THistogramKind = uint8_t;
constexpr THistogramKind hkRed = 1, hkGreen = 2, hkBlue = 4, hkGray = 8, hkHue = 16;
struct TIEHistogramEntry {
  uint32_t Red = 0, Green = 0, Blue = 0, Gray = 0, Hue = 0;
};
// 360 entries for hkHue alone, else 2 ^ (bits per channel).
using TIEHistogram = std::vector<TIEHistogramEntry>;
// Counts rows y1..y2 - 1, columns x1..x2 - 1 of an ie8g, ie16Gray or ie24RGB
// bitmap (other formats: all zero) where the mask (when given and not empty) is set.
void IEComputeHistogram(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TIEMask* mask,
                        THistogramKind kinds, TIEHistogram& histogram);

// The mean colour: per row sums div width, then the totals div height
// (128, 128, 128 for an empty bitmap).
void IEGetAverageColor(TIEBitmap* bitmap, int32_t& red, int32_t& green, int32_t& blue);
// Counts of the grey levels of every pixel.
void IEGrayHistogram(TIEBitmap* source, std::array<int64_t, 256>& counts);
// dest becomes ie1g: a pixel is white when its grey is at least threshold
// (0..255; -1 the grey of the mean colour; -2 the maximum-entropy threshold,
// all white when none exists). An ie1g source is copied.
void IEThresholdTo1Bit(TIEBitmap* source, TIEBitmap* dest, int32_t threshold, const TIEProgressEvent& onProgress,
                       TObject* sender);

// b := IEClampByte(b + delta).
inline void IESaturatedAddByte(uint8_t& b, int32_t delta) { b = IEClampByte(b + delta); }
// Grey of every pixel of rows y1..y2 - 1, columns x1..x2 - 1 (ends cut to the
// image) of an ie24RGB bitmap, in all three channels.
void IEConvertToGrayRect(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                         const TIEProgressEvent& onProgress, TObject* sender);
// Each pixel of an ie24RGB bitmap becomes its quantizer colour. palette, when
// given, holds numColors entries and receives the quantizer's palette.
void IEQuantizeInPlace(TIEBitmap* bitmap, int32_t numColors, TRGB* palette, const TIEProgressEvent& onProgress,
                       TObject* sender);
// Floyd-Steinberg error diffusion of source into dest, made ie8p with a
// palette of numColors (1..256) colours.
void IEDiffuseToPalette(TIEBitmap* source, TIEBitmap* dest, int32_t numColors);
// An ie24RGB bitmap becomes ie1g by the 8 x 8 ordered dither.
void IEConvertTo1BitOrdered(TIEBitmap* bitmap, TIEProgressRecord& progress);
// An ie24RGB bitmap becomes ie1g by IEThresholdTo1Bit with the threshold.
void IEConvertTo1BitThreshold(TIEBitmap* bitmap, int32_t threshold, TIEProgressRecord& progress);

// ---- rows and buffers -------------------------------------------------------------------

// Bit index of a 1-bit row, the most significant bit of byte 0 first.
inline bool IEGetBit(const uint8_t* row, int64_t index) { return (row[index >> 3] & (0x80 >> (index & 7))) != 0; }
inline void IESetBit(uint8_t* row, int64_t index, bool value) {
  if (value)
    row[index >> 3] |= static_cast<uint8_t>(0x80 >> (index & 7));
  else
    row[index >> 3] &= static_cast<uint8_t>(~(0x80 >> (index & 7)));
}
// Copies count 3-byte pixels, exchanging the first and third byte of each.
void IECopySwapRB(uint8_t* dest, const uint8_t* source, int64_t count);
// In place: bytes 0 and 2 of count 3-byte pixels; words 0 and 2 of count
// 6-byte pixels; red and blue of count palette entries.
void IESwapRB24(uint8_t* buffer, int64_t count);
void IESwapRB48(uint16_t* buffer, int64_t count);
void IESwapRBInRGBArray(TRGB* palette, int64_t count);
void IEInvertBuffer(uint8_t* buffer, int64_t length);
// Inverts every byte of every row (the alpha channel is left alone).
void IEInvertBitmap(TIEBitmap& bitmap);
// Same size, both with or both without alpha, equal rows and alpha rows.
bool IEBitmapsEqual(TIEBitmap& a, TIEBitmap& b);
// dest takes the source's size, pixel format and pixels (an empty source
// leaves dest 1 x 1 in its format).
void IECopyTBitmap(TBitmap& source, TBitmap& dest);
TBitmap* IECloneTBitmap(TBitmap& source);

// ---- bands ------------------------------------------------------------------------------

// Runs work(first, count, band) over rows 0 .. rows - 1 split into bands
// bands of rows div bands rows (the last band takes the rest). Band 0 runs
// on the calling thread, the others on worker threads joined before the
// call returns; an exception of any band is raised again here.
void IERunInBands(int32_t rows, int32_t bands, const std::function<void(int32_t first, int32_t count, int32_t band)>& work);
// The number of bands for work on these bitmaps: 1 when any of them keeps
// its rows in a temporary file or makes them on demand (one row at a time
// is valid), else the processor cores.
int32_t IEBandCount(std::initializer_list<TIEBitmap*> bitmaps);

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
// Blurs a whole ie8g or ie24RGB image in place, rows then columns, in bands
// of rows on the processor cores; other formats and a sigma not above 0 are
// left alone. onProgress, when assigned, hears (sender, Trunc(rows done x
// 100 / (height + 0.5))) on the calling thread.
void IEGaussianBlur(TIEBitmap* bitmap, TObject* sender, double sigma, const TIEProgressEvent& onProgress);
// Blurs the rectangle x1..x2, y1..y2 (edges included, cut to the image) of an
// ie8g image in place; the rectangle's border repeats, pixels outside it are
// neither read nor written. Other formats and a sigma not above 0 are left alone.
void IEGaussianBlurGray8(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, double sigma);
// The room a soft shadow needs beyond the shape on every side:
// max(2 x max(|offsetX|, |offsetY|) + Trunc(5 x sigma), 1), at most INT32_MAX.
int32_t IEGetShadowMargin(int32_t offsetX, int32_t offsetY, double sigma);
// A soft drop shadow under the opaque parts of an ie24RGB (or ie1g) image:
// its alpha channel blurred by sigma, moved by the offset and painted in
// shadowColor where the image is transparent; intensity 0..100 (100 keeps
// the blurred alpha, 0 divides it by 3). With enlarge, the image first grows
// by the shadow's margin, centred. Other formats only get the shadow alpha.
void IEAddSoftShadow(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity,
                     bool enlarge, TColor shadowColor, const TIEProgressEvent& onProgress, TObject* sender);
// The same for the part of the image inside x1..x2, y1..y2 (edges
// included); a sigma of 0 blurs with a 3 x 3 box over the margin of sigma 2.
// Returns the margin the shadow reaches on each side.
int32_t IEAddSoftShadowRect(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity,
                            TColor shadowColor, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// ---- resample ------------------------------------------------------------------------

// A filter kernel: its value at the signed distance x in source pixels.
using TIEFilterKernel = double (*)(double x);
struct TIEResampleFilterEntry {
  TIEFilterKernel Kernel;
  double Support;  // the kernel is 0 at and beyond this distance
};

double IETriangleFilter(double x);
double IEHermiteFilter(double x);
double IEBellFilter(double x);
double IEBSplineFilter(double x);
double IESinc(double x);
double IELanczos3Filter(double x);
double IEMitchellFilter(double x);  // B = C = 1/3
double IEBoxFilter(double x);       // 1 on -0.5 < x <= 0.5
double IELinearFilter(double x);

// The kernel filters rfTriangle .. rfLinear, indexed by filter - rfTriangle.
extern const std::array<TIEResampleFilterEntry, rfLinear - rfTriangle + 1> IEResampleFilterTable;
// True for the filters of the table.
inline bool IEIsKernelFilter(TResampleFilter filter) { return filter >= rfTriangle && filter <= rfLinear; }

// Dest (already at the wanted size and, for the colour paths, in the
// source's format) receives the resampled source, and its alpha channel
// the resampled alpha channel when the source has one. Equal sizes copy.
void IEResampleBitmap(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter, const TIEProgressEvent& onProgress,
                      TObject* sender);
// Resamples the bitmap to the new size in place.
void IEResampleBitmapInPlace(TIEBitmap* bitmap, TResampleFilter filter, int32_t newWidth, int32_t newHeight,
                             const TIEProgressEvent& onProgress, TObject* sender);
// The engine: routes by filter and format. The kernel filters run as two
// separable passes (rows, then columns) with integer weights out of 16384
// that sum to exactly 16384 for every output, corner-aligned (the first and
// last output pixels fall on the first and last source pixels) and mirrored
// at the edges; an axis whose size does not change is copied. Alpha is the
// source's alpha channel for the bilinear core, or null. Progress, below
// 100, is reported on the calling thread.
void IEResample(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, TResampleFilter filter,
                const TIEProgressEvent& onProgress, TObject* sender);
// The filters named after the platform's imaging component.
inline bool IEIsWICFilter(TResampleFilter filter) { return filter >= rfWICNearestNeighbor && filter <= rfWICFant; }
// Fills dest with the source's pixel (0, 0).
void IEResampleFromSinglePixel(TIEBitmap* source, TIEBitmap* dest);
// ie24RGB only: every pixel whose alpha is 0 becomes color.
void IEFillTransparentPixels(TIEBitmap* bitmap, TRGB color);
// The size rules of TImageryProc.Resample: -1 follows the other side's
// aspect, 0 keeps the side, other values count by their magnitude, each at
// least 1; with fitInside (and both sides positive) the largest size of the
// image's aspect inside the box. Products in 64 bits, results at most
// INT32_MAX. Both sides negative are left as passed.
void IECalcResampleSize(int32_t& newWidth, int32_t& newHeight, int32_t width, int32_t height, bool fitInside);

// ---- stretch ---------------------------------------------------------------------------

// Nearest pixel by index scaling, for every pixel format (dest already
// sized, in the source's format; an ie8p palette is copied).
void IEStretchNearest(TIEBitmap* source, TIEBitmap* dest, TObject* sender, const TIEProgressEvent& onProgress);
// Linear interpolation along a growing axis, a box average along a
// shrinking one; an axis whose size does not change is copied.
void IEResampleFastLinear24(TIEBitmap* source, TIEBitmap* dest, TObject* sender, const TIEProgressEvent& onProgress);
// The same from the rectangle (sx, sy, sw, sh) of an ie24RGB source, read in
// place, into the whole dest.
void IEResampleFastLinear24(TIEBitmap* source, int32_t sx, int32_t sy, int32_t sw, int32_t sh, TIEBitmap* dest);
void IEResampleFastLinearGray8(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                               const TIEProgressEvent& onProgress);
void IEResampleFastLinearGray16(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                                const TIEProgressEvent& onProgress);
// An ie1g source into an ie24RGB grey dest.
void IEResampleFastLinear1Bit(TIEBitmap* source, TIEBitmap* dest, TObject* sender,
                              const TIEProgressEvent& onProgress);
// An ie24RGB (IEProject24To1Bit) or ie1g (IEProject1Bit) source into an ie1g
// dest: a single dark pixel of a block (or light one, lightWins) decides it.
void IEProject24To1Bit(TIEBitmap* source, TIEBitmap* dest, bool lightWins, TObject* sender,
                       const TIEProgressEvent& onProgress);
void IEProject1Bit(TIEBitmap* source, TIEBitmap* dest, bool lightWins, TObject* sender,
                   const TIEProgressEvent& onProgress);
// The ie1g rectangle x1..x2, y1..y2 (inclusive) into all of the ie24RGB dest
// as grey: 255 x set bits div pixels of each window.
void IEStretch1BitAveraged(TIEBitmap* source, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TIEBitmap* dest);
// Grey and 1-bit resampling by filter (rfNone is the caller's: IEStretchNearest).
// IEResample1Bit writes ie1g for the projections and ie24RGB grey otherwise.
void IEResampleGray8(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);
void IEResampleGray16(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);
void IEResample1Bit(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);

// ---- interpolate -----------------------------------------------------------------------

// Area-weighted resampling of an ie24RGB or ie8g source into a dest of the
// same format and its own size: every output pixel is the exact mean of the
// source area it covers, interpolated (bilinear or bicubic) along a growing
// axis. Alpha (ie8g, the source's size) keeps transparent colours out of
// bilinear mixes. Other formats: nothing.
void IEInterpolatingResample(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, bool bicubic,
                             const TIEProgressEvent& onProgress, TObject* sender);
// The same for ieRGB48 and ie16Gray, without alpha.
void IEInterpolatingResample16(TIEBitmap* source, TIEBitmap* dest, bool bicubic, const TIEProgressEvent& onProgress,
                               TObject* sender);
// The cubic convolution (parameter -1) through samples at -1, 0, 1 and 2, at t
// (meant to lie in 0..1), then raised to low and lowered to high.
double IECubicInterpolate(int32_t pm1, int32_t p0, int32_t p1, double t, int32_t p2, double low, double high);
// Draws the ie24RGB source onto the quadrilateral (x0, y0) top-left, (x1, y1)
// top-right, (x2, y2) bottom-right, (x3, y3) bottom-left of the ie24RGB dest
// by nearest pixel through a projective mapping; see the unit for the blend,
// gradient and opacity rules. Degenerate corners draw nothing.
void IEPerspectiveDraw(TIEBitmap* source, TIEBitmap* dest, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2,
                       int32_t y2, int32_t x3, int32_t y3, int32_t gradientMin, int32_t gradientMax, bool blend,
                       int32_t opacity);

// ---- dib ---------------------------------------------------------------------------------

// Reads the packed DIB of size bytes (header, colour table, rows; bits, when
// given, holds the rows instead, bitsSize bytes) into the bitmap: ie1g for
// 1-bit DIBs, ie24RGB for the others (1, 4, 8, 16, 24, 32 bits, bit fields,
// and the YUV formats UYVY, UYNV, cyuv, YVYU, YUY2, YUNV, IYU2, YVU9, YV12,
// I420, IYUV). Returns the bit count; 0, with the bitmap untouched, for a
// header, colour count, mask or size that the data does not hold, for
// run-length data and for formats it does not know.
int32_t IECopyDIBToBitmap(const uint8_t* dib, size_t size, TIEBitmap* bitmap, const uint8_t* bits, size_t bitsSize);
// The same for a global memory block (its size is the block's).
int32_t IECopyDIBToBitmap(HGLOBAL dib, TIEBitmap* bitmap);
// The DIB drawn at its own size into dest, made 1 bit for 1-bit DIBs and 24
// bits for the others; the bit count, 0 (dest untouched) for what
// IECopyDIBToBitmap refuses.
class TIEDibbitmap;
int32_t IEDrawDIBToDibBitmap(const uint8_t* dib, size_t size, TIEDibbitmap* dest, const uint8_t* bits,
                             size_t bitsSize);
// The rectangle x1..x2 - 1, y1..y2 - 1 (x2, y2 = 0: the width, the height)
// as a packed DIB in a movable global block the caller frees; ie1g, ie8p,
// ie8g and ie24RGB keep their bits, other formats go as 24 bits. Null when
// the block cannot be had.
HGLOBAL _CopyBitmaptoDIBEx(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dpiX,
                           int32_t dpiY);

// ---- rotate ------------------------------------------------------------------------------

// Angles in degrees, positive counter-clockwise as displayed. Whole
// multiples of 90 are exact copies (dest H x W for quarter turns); other
// angles give a dest of Round(|cos| W + |sin| H) x Round(|sin| W + |cos| H)
// around the same centre, by nearest pixel, in the source's format (the
// palette travels along) and filled with background (Fill's value; 0 for
// ie1g) where no source pixel lands.
void IERotateNearestTo(TIEBitmap* source, TIEBitmap* dest, double background, double angle,
                       const TIEProgressEvent& onProgress, TObject* sender);
void IERotateNearest(TIEBitmap* bitmap, double background, TObject* sender, double angle,
                     const TIEProgressEvent& onProgress);
// ie24RGB with interpolation 2 (bilinear, truncated) or 3 (bicubic): a
// one-pixel border around the source repeats its edge, beyond it is the
// background colour.
void IERotateInterpolatedTo(TIEBitmap* source, TIEBitmap* dest, TColor background, double angle,
                            int32_t interpolation, const TIEProgressEvent& onProgress, TObject* sender);
void IERotateInterpolated(TIEBitmap* bitmap, TColor background, int32_t interpolation, double angle,
                          const TIEProgressEvent& onProgress, TObject* sender);
// The same for one byte per pixel (ie8g, ie8p); outside the source is background.
void IERotateInterpolated8To(TIEBitmap* source, TIEBitmap* dest, uint8_t background, double angle,
                             int32_t interpolation);
void IERotateInterpolated8(TIEBitmap* bitmap, uint8_t background, int32_t interpolation, double angle);
// The three-shear rotation in place with blending out of 4096 (antialias)
// or plain copies; whole multiples of 90 are exact. The image grows to hold
// the turned picture, background around it. ie1g goes to IERotate1Bit
// (white when every background channel is non-zero); other formats keep
// their format (nearest pixel).
void IERotate24Bit(TIEBitmap* bitmap, bool antialias, TObject* sender, double angle, TRGB background,
                   const TIEProgressEvent& onProgress);
// The same for ie8g and ie8p; other formats are left alone.
void IERotate8Bit(TIEBitmap* bitmap, bool antialias, uint8_t background, double angle,
                  const TIEProgressEvent& onProgress, TObject* sender);
struct TIEProgressRecord;
// Nearest-pixel rotation of an ie1g image: exact turns at 90, -90 or 270 and
// 180 or -180, else sizes and positions in ten-thousandths; what the turned
// image does not cover is set (white) or clear.
void IERotate1Bit(TIEBitmap* bitmap, bool whiteBackground, TIEProgressRecord& progress, double angle);
// The same for ie8g and ie8p with a background byte; no progress.
void IERotate8BitNearest(TIEBitmap* bitmap, uint8_t background, double angle);
// Exact quarter turns, clockwise (dest (x, y) = source (y, H - 1 - x)) and
// counter-clockwise (dest (x, y) = source (W - 1 - y, x)); dest becomes
// H x W in the source's format (palette too). Any pixel format.
void IERotate90CW24(TIEBitmap* source, TIEBitmap* dest);
void IERotate90CCW24(TIEBitmap* source, TIEBitmap* dest);
void IERotate90CW8(TIEBitmap* source, TIEBitmap* dest);
void IERotate90CCW8(TIEBitmap* source, TIEBitmap* dest);
// Calls onProgress (when assigned) only when percent differs from state,
// the last value reported (start it at -1), and keeps it in state.
void IEReportProgressOnChange(int32_t percent, int32_t& state, const TIEProgressEvent& onProgress, TObject* sender);
// Mirrors in place, alpha channel too: direction 0 left-right, 1 upside down.
void IEFlipBitmap(TIEBitmap* bitmap, int32_t direction);
