// TIEBitmap: drawing any pixel format into a 24-bit picture (clipping,
// resampling, index tables and the row renderers with display settings,
// combine operators, opacity and alpha), and the alpha-aware stretch.
//
// Sections: display settings | row loops | row renderers | rendering | stretching
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/processing/imageryproc.h"
#include "platform/forms/graphics.h"

namespace {

constexpr int32_t kUnitStep = 16384;

uint8_t Clamp8(int64_t v) { return static_cast<uint8_t>(std::clamp<int64_t>(v, 0, 255)); }
// A double toward zero, kept to lo..hi (NaN gives lo).
int64_t TruncTo(double v, int64_t lo, int64_t hi) {
  if (!(v > lo)) return lo;
  return v >= hi ? hi : static_cast<int64_t>(v);
}
TRGB Grey(uint8_t v) { return TRGB{v, v, v}; }

// ---- display settings ----------------------------------------------------------------------

// The image's display range, offsets, contrast and mask as the renderers apply them.
struct TDisplay {
  bool range = false;  // a display range is set
  double min = 0, max = 0, d = 0;
  int64_t lo = 0, hi = 0;
  int64_t factor = 65536;            // contrast factor of 8-bit channels, 65536 = 1.0
  double factor48 = 1;               // the same for 16-bit channels
  std::array<int32_t, 3> offsets{};  // red, green, blue
  TIEMask* mask = nullptr;

  explicit TDisplay(TIEBitmap& b) {
    min = b.DisplayMin, max = b.DisplayMax, d = max - min;
    range = d != 0 && std::isfinite(d);
    lo = TruncTo(min, INT32_MIN, INT32_MAX), hi = TruncTo(max, INT32_MIN, INT32_MAX);
    const double k = b.Contrast;
    factor48 = k < 0 ? 1 - std::sqrt(-k) / 10 : k / 10 + 1;
    factor = TruncTo(factor48 * 65536, INT32_MIN, INT32_MAX);
    offsets = {b.DisplayOffsets[0], b.DisplayOffsets[1], b.DisplayOffsets[2]};
    mask = b.DisplayMask();
  }
  bool Inside(int32_t c, int32_t r) const { return !mask || mask->IsPointInside(c, r); }
  // v kept to lo..hi, then scaled to 0..top.
  int64_t Map(int64_t v, int64_t top) const {
    v = std::clamp(v, lo, std::max(lo, hi));
    return TruncTo((v - lo) / d * top, 0, top);
  }
  uint8_t MapFloat(double v) const {
    v = std::clamp(v, std::min(min, max), std::max(min, max));
    return static_cast<uint8_t>(TruncTo((v - min) / d * 255, 0, 255));
  }
  // Contrast and offset of one 8-bit channel, in 64 bits.
  uint8_t Adjust(uint8_t v, int channel) const { return Clamp8(factor * (v + offsets[channel] - 128) / 65536 + 128); }
  TRGB Adjust(TRGB c) const { return TRGB{Adjust(c.b, 2), Adjust(c.g, 1), Adjust(c.r, 0)}; }
  uint8_t Adjust48(int64_t v, int channel) const {
    return Clamp8(TruncTo((v + offsets[channel] - 32768) * factor48 + 32768, INT32_MIN, INT32_MAX) >> 8);
  }
};

// ---- row loops -------------------------------------------------------------------------------

// pixel(source row, c, r, destination pixel, y) gives the colour to put; a
// plain pass writes it, a blending one mixes it in by the pixel's weight.
template <typename Pixel>
void RenderLoop(TIEBitmap& source, const TIERenderRows& p, bool blend, bool reuse, Pixel&& pixel) {
  TIEBitmap* alpha = blend && p.UseAlphaChannel ? source.PeekAlphaChannel() : nullptr;
  const int32_t cap = std::clamp(p.AlphaCap, 0, 255);
  int32_t previousRow = -1;
  for (int32_t y = p.FirstRow; y <= p.LastRow; ++y) {
    const int32_t r = p.RowIndex[y - p.DestY];
    uint8_t* d = p.RowTable[y];
    if (reuse && r == previousRow && y > p.FirstRow) {
      std::memcpy(d + int64_t{p.FirstCol} * 3, p.RowTable[y - 1] + int64_t{p.FirstCol} * 3,
                  static_cast<size_t>(p.LastCol - p.FirstCol + 1) * 3);
      continue;
    }
    previousRow = r;
    const uint8_t* s = source.GetScanline(r);
    const uint8_t* a = alpha ? alpha->GetScanline(r) : nullptr;
    for (int32_t x = p.FirstCol; x <= p.LastCol; ++x) {
      const int32_t c = p.ColIndex[x - p.DestX];
      uint8_t* out = d + int64_t{x} * 3;
      const TRGB dest = IELoadPixel<TRGB>(out);
      const TRGB q = pixel(s, c, r, dest, y);
      if (!blend) {
        IEStorePixel(out, q);
        continue;
      }
      // The alpha row already holds cap x opacity: opacity weighs once either way.
      const auto w = a ? static_cast<int32_t>(std::min<int32_t>(cap, a[c]) * p.Opacity)
                       : (p.AlphaRow ? p.AlphaRow[c] : static_cast<int32_t>(cap * p.Opacity));
      // v + floor((p - v) x w / 256)
      auto mix = [w](int32_t v, int32_t t) { return static_cast<uint8_t>(v + (((t - v) * w) >> 8)); };
      IEStorePixel(out, TRGB{mix(dest.b, q.b), mix(dest.g, q.g), mix(dest.r, q.r)});
    }
  }
}

// The colour-image path: adjusted and range-mapped inside the mask, then
// combined with the destination; outside the mask the plain colour.
TRGB Adjusted(const TDisplay& disp, TRGB c, int32_t col, int32_t r, TRGB dest, uint8_t op, int32_t y, bool useRange) {
  if (!disp.Inside(col, r)) return c;
  TRGB q = disp.Adjust(c);
  if (useRange)
    q = TRGB{static_cast<uint8_t>(disp.Map(q.b, 255)), static_cast<uint8_t>(disp.Map(q.g, 255)),
             static_cast<uint8_t>(disp.Map(q.r, 255))};
  IECombinePixels(q, dest, op, y);
  return dest;
}

// Plain scaled 24-bit pixels: four bytes moved per pixel, the fourth
// overwritten by the next pixel, except where that would read past the
// source row (its last column) or write past the drawn columns.
void CopyScaled24(TIEBitmap& b, const TIERenderRows& p) {
  const int32_t width = b.GetWidth();
  const int32_t* columns = p.ColIndex + (p.FirstCol - p.DestX);
  const int32_t count = p.LastCol - p.FirstCol + 1;
  int32_t previousRow = -1;
  for (int32_t y = p.FirstRow; y <= p.LastRow; ++y) {
    const int32_t r = p.RowIndex[y - p.DestY];
    uint8_t* d = p.RowTable[y] + int64_t{p.FirstCol} * 3;
    if (p.ReuseRows && r == previousRow && y > p.FirstRow) {
      std::memcpy(d, p.RowTable[y - 1] + int64_t{p.FirstCol} * 3, static_cast<size_t>(count) * 3);
      continue;
    }
    previousRow = r;
    const uint8_t* s = b.GetScanline(r);
    int32_t i = 0;
    for (; i < count - 1 && columns[i] < width - 1; ++i) {
      uint32_t pixel;
      std::memcpy(&pixel, s + int64_t{columns[i]} * 3, 4);
      std::memcpy(d + int64_t{i} * 3, &pixel, 4);
    }
    for (; i < count; ++i) std::memcpy(d + int64_t{i} * 3, s + int64_t{columns[i]} * 3, 3);
  }
}

// Colour images (ie24RGB, ie32RGBA and virtual bitmaps read as 24-bit rows).
void RenderColor(TIEBitmap& b, const TIERenderRows& p, bool blend, int32_t stride, bool rangeApplies) {
  const TDisplay disp(b);
  const bool range = rangeApplies && !blend && disp.range;
  const bool adjusted = b.DisplayAdjustments || b.Contrast != 0 || p.CombineOperator != 0 || range ||
                        (stride == 4 && p.StepX == kUnitStep && p.StepY == kUnitStep);
  const uint8_t op = p.CombineOperator;
  if (!adjusted && !blend && p.StepX == kUnitStep && p.StepY == kUnitStep && stride == 3) {
    // One block per row.
    const auto bytes = static_cast<size_t>(p.LastCol - p.FirstCol + 1) * 3;
    const int64_t column = int64_t{p.FirstCol} - p.DestX + p.SourceX;
    for (int32_t y = p.FirstRow; y <= p.LastRow; ++y)
      std::memcpy(p.RowTable[y] + int64_t{p.FirstCol} * 3, b.GetScanline(y - p.DestY + p.SourceY) + column * 3, bytes);
    return;
  }
  if (!adjusted && !blend && stride == 3) return CopyScaled24(b, p);
  const bool reuse = p.ReuseRows && !blend && op == 0 && !range;
  RenderLoop(b, p, blend, reuse, [&](const uint8_t* s, int32_t c, int32_t r, TRGB dest, int32_t y) {
    const TRGB color = IELoadPixel<TRGB>(s + int64_t{c} * stride);
    return adjusted ? Adjusted(disp, color, c, r, dest, op, y, range) : color;
  });
}

// Grey images: the value, or its display-range mapping inside the mask.
template <typename Value, typename Plain>
void RenderGrey(TIEBitmap& b, const TIERenderRows& p, bool blend, Value&& value, Plain&& plain) {
  const TDisplay disp(b);
  RenderLoop(b, p, blend, false, [&](const uint8_t* s, int32_t c, int32_t r, TRGB, int32_t) {
    const auto v = value(s, c);
    return Grey(disp.range && disp.Inside(c, r) ? disp.Map(static_cast<int64_t>(v), 255) : plain(v));
  });
}

}  // namespace

// ---- row renderers -------------------------------------------------------------------------------

void TIEBitmap::RenderRows24RGB(const TIERenderRows& p) { RenderColor(*this, p, false, 3, true); }
void TIEBitmap::RenderRows24RGBBlend(const TIERenderRows& p) { RenderColor(*this, p, true, 3, false); }
void TIEBitmap::RenderRows32RGBA(const TIERenderRows& p) { RenderColor(*this, p, false, 4, false); }
void TIEBitmap::RenderRows32RGBABlend(const TIERenderRows& p) { RenderColor(*this, p, true, 4, false); }
void TIEBitmap::RenderRowsVirtual(const TIERenderRows& p) { RenderColor(*this, p, false, 3, false); }
void TIEBitmap::RenderRowsVirtualBlend(const TIERenderRows& p) { RenderColor(*this, p, true, 3, false); }

namespace {

TRGB Bilevel(const uint8_t* s, int32_t c, int32_t, TRGB, int32_t) {
  return Grey((s[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0);
}
TRGB CMYK(const uint8_t* s, int32_t c, int32_t, TRGB, int32_t) {
  return IECMYKToRGB(IELoadPixel<uint32_t>(s + int64_t{c} * 4));
}
TRGB Lab(const uint8_t* s, int32_t c, int32_t, TRGB, int32_t) {
  return IECIELabToRGB(IELoadPixel<TCIELab>(s + int64_t{c} * 3));
}

// Palette entries; indexes past the palette draw black, no palette draws nothing.
void RenderPalette(TIEBitmap& b, const TIERenderRows& p, bool blend) {
  if (!b.GetPaletteBuffer() || b.GetPaletteLength() < 1) return;
  std::array<TRGB, 256> palette{};
  std::copy_n(b.GetPaletteBuffer(), std::min(b.GetPaletteLength(), 256), palette.begin());
  RenderLoop(b, p, blend, false,
             [&palette](const uint8_t* s, int32_t c, int32_t, TRGB, int32_t) { return palette[s[c]]; });
}

}  // namespace

void TIEBitmap::RenderRows1g(const TIERenderRows& p) { RenderLoop(*this, p, false, p.ReuseRows, Bilevel); }
void TIEBitmap::RenderRows1gBlend(const TIERenderRows& p) { RenderLoop(*this, p, true, false, Bilevel); }
void TIEBitmap::RenderRows8p(const TIERenderRows& p) { RenderPalette(*this, p, false); }
void TIEBitmap::RenderRows8pBlend(const TIERenderRows& p) { RenderPalette(*this, p, true); }
void TIEBitmap::RenderRowsCMYK(const TIERenderRows& p) { RenderLoop(*this, p, false, false, CMYK); }
void TIEBitmap::RenderRowsCMYKBlend(const TIERenderRows& p) { RenderLoop(*this, p, true, false, CMYK); }
void TIEBitmap::RenderRowsCIELab(const TIERenderRows& p) { RenderLoop(*this, p, false, false, Lab); }
void TIEBitmap::RenderRowsCIELabBlend(const TIERenderRows& p) { RenderLoop(*this, p, true, false, Lab); }

namespace {
auto Value8 = [](const uint8_t* s, int32_t c) { return s[c]; };
auto Value16 = [](const uint8_t* s, int32_t c) { return IELoadPixel<uint16_t>(s + int64_t{c} * 2); };
auto Plain8 = [](int64_t v) { return static_cast<uint8_t>(v); };
auto Plain16 = [](int64_t v) { return static_cast<uint8_t>(v >> 8); };
}  // namespace

void TIEBitmap::RenderRows8g(const TIERenderRows& p) { RenderGrey(*this, p, false, Value8, Plain8); }
void TIEBitmap::RenderRows8gBlend(const TIERenderRows& p) { RenderGrey(*this, p, true, Value8, Plain8); }
void TIEBitmap::RenderRows16Gray(const TIERenderRows& p) { RenderGrey(*this, p, false, Value16, Plain16); }
void TIEBitmap::RenderRows16GrayBlend(const TIERenderRows& p) { RenderGrey(*this, p, true, Value16, Plain16); }

namespace {
void Render32f(TIEBitmap& b, const TIERenderRows& p, bool blend) {
  const TDisplay disp(b);
  RenderLoop(b, p, blend, false, [&](const uint8_t* s, int32_t c, int32_t r, TRGB, int32_t) {
    const float v = IELoadPixel<float>(s + int64_t{c} * 4);
    return Grey(disp.range && disp.Inside(c, r) ? disp.MapFloat(v) : static_cast<uint8_t>(TruncTo(v * 255.0, 0, 255)));
  });
}
}  // namespace

void TIEBitmap::RenderRows32f(const TIERenderRows& p) { Render32f(*this, p, false); }
void TIEBitmap::RenderRows32fBlend(const TIERenderRows& p) { Render32f(*this, p, true); }

namespace {
void Render48(TIEBitmap& b, const TIERenderRows& p, bool blend) {
  const TDisplay disp(b);
  const bool range = disp.range && !blend;
  const bool adjusted = b.DisplayAdjustments || b.Contrast != 0 || p.CombineOperator != 0 || range;
  RenderLoop(b, p, blend, false, [&](const uint8_t* s, int32_t c, int32_t r, TRGB dest, int32_t y) {
    const auto w = IELoadPixel<std::array<uint16_t, 3>>(s + int64_t{c} * 6);
    const TRGB plain{static_cast<uint8_t>(w[2] >> 8), static_cast<uint8_t>(w[1] >> 8), static_cast<uint8_t>(w[0] >> 8)};
    if (!adjusted || !disp.Inside(c, r)) return plain;
    auto channel = [&](int k) {
      const int64_t v = range ? disp.Map(w[k], 65535) : w[k];
      return disp.Adjust48(v, k);
    };
    IECombinePixels(TRGB{channel(2), channel(1), channel(0)}, dest, p.CombineOperator, y);
    return dest;
  });
}
}  // namespace

void TIEBitmap::RenderRowsRGB48(const TIERenderRows& p) { Render48(*this, p, false); }
void TIEBitmap::RenderRowsRGB48Blend(const TIERenderRows& p) { Render48(*this, p, true); }

void TIEBitmap::DispatchRenderRows(const TIERenderRows& p, bool blend) {
  if (IsVirtual()) return blend ? RenderRowsVirtualBlend(p) : RenderRowsVirtual(p);
  switch (pixelFormat_) {
    case ie24RGB:
      return blend ? RenderRows24RGBBlend(p) : RenderRows24RGB(p);
    case ie32RGBA:
      return blend ? RenderRows32RGBABlend(p) : RenderRows32RGBA(p);
    case ie1g:
      return blend ? RenderRows1gBlend(p) : RenderRows1g(p);
    case ie8g:
      return blend ? RenderRows8gBlend(p) : RenderRows8g(p);
    case ie8p:
      return blend ? RenderRows8pBlend(p) : RenderRows8p(p);
    case ie16Gray:
      return blend ? RenderRows16GrayBlend(p) : RenderRows16Gray(p);
    case ie32f:
      return blend ? RenderRows32fBlend(p) : RenderRows32f(p);
    case ieCMYK:
      return blend ? RenderRowsCMYKBlend(p) : RenderRowsCMYK(p);
    case ieCIELab:
      return blend ? RenderRowsCIELabBlend(p) : RenderRowsCIELab(p);
    case ieRGB48:
      return blend ? RenderRowsRGB48Blend(p) : RenderRowsRGB48(p);
    default:
      return;
  }
}

// ---- rendering ----------------------------------------------------------------------------------

namespace {

// Halves to the even neighbour, kept inside 32 bits.
int32_t RoundEven(double v) { return static_cast<int32_t>(std::clamp(std::nearbyint(v), -2147483647.0, 2147483647.0)); }

// Cuts the destination rectangle to the destination keeping the scale, and
// every value to its bitmap (x + w <= width on both sides). False when nothing is left.
bool ClipRender(int32_t destWidth, int32_t destHeight, int32_t sourceWidth, int32_t sourceHeight, int32_t& dx,
                int32_t& dy, int32_t& dw, int32_t& dh, int32_t& sx, int32_t& sy, int32_t& sw, int32_t& sh) {
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return false;
  if (dy > destHeight - 1 || dx > destWidth - 1) return false;
  const double scaleY = double(sh) / dh, scaleX = double(sw) / dw;
  auto axis = [](int32_t& d, int32_t& n, int32_t& s, int32_t& m, double scale, int32_t size) {
    int64_t d64 = d, n64 = n, s64 = s, m64 = m;
    if (d64 < 0) {
      const int64_t cut = RoundEven(-d64 * scale);
      n64 += d64, m64 -= cut, s64 += cut, d64 = 0;
    }
    if (d64 + n64 > size) {
      m64 -= static_cast<int64_t>((d64 + n64 - size) * scale);
      n64 = size - d64;
    }
    d = static_cast<int32_t>(d64), n = static_cast<int32_t>(n64);
    s = static_cast<int32_t>(std::clamp<int64_t>(s64, INT32_MIN, INT32_MAX));
    m = static_cast<int32_t>(std::clamp<int64_t>(m64, INT32_MIN, INT32_MAX));
  };
  axis(dy, dh, sy, sh, scaleY, destHeight);
  axis(dx, dw, sx, sw, scaleX, destWidth);
  dx = std::clamp(dx, 0, destWidth - 1), dy = std::clamp(dy, 0, destHeight - 1);
  dw = std::clamp(dw, 0, destWidth), dh = std::clamp(dh, 0, destHeight);
  sx = std::clamp(sx, 0, std::max(sourceWidth - 1, 0)), sy = std::clamp(sy, 0, std::max(sourceHeight - 1, 0));
  sw = std::clamp(sw, 0, sourceWidth - sx), sh = std::clamp(sh, 0, sourceHeight - sy);
  return dw > 0 && dh > 0 && sw > 0 && sh > 0;
}

// ---- area average of a shrinking zoom ------------------------------------------------------

// Weights of an area average along one axis: destination pixel d covers the
// source span [d x r, (d + 1) x r), r = source count / destination count;
// each source pixel weighs the part of that span it covers. The weights of
// one destination pixel add up to exactly 1 << kAreaBits.
constexpr int32_t kAreaBits = 14;

struct TAreaWeights {
  std::vector<int32_t> First;   // first source pixel of each destination pixel
  std::vector<int32_t> Offset;  // start of each destination pixel's weights (one more entry at the end)
  std::vector<int32_t> Weight;
};

TAreaWeights AreaWeights(int32_t sourceCount, int32_t destCount) {
  TAreaWeights w;
  const double ratio = static_cast<double>(sourceCount) / destCount;
  w.First.resize(static_cast<size_t>(destCount));
  w.Offset.reserve(static_cast<size_t>(destCount) + 1);
  w.Weight.reserve(static_cast<size_t>(sourceCount) + 2 * static_cast<size_t>(destCount));
  for (int32_t d = 0; d < destCount; ++d) {
    const double begin = d * ratio, end = d + 1 == destCount ? sourceCount : (d + 1) * ratio;
    const int32_t first = std::min(static_cast<int32_t>(begin), sourceCount - 1);
    const int32_t last = std::clamp(static_cast<int32_t>(std::ceil(end)) - 1, first, sourceCount - 1);
    w.First[d] = first;
    w.Offset.push_back(static_cast<int32_t>(w.Weight.size()));
    const size_t start = w.Weight.size();
    size_t largest = start;
    int32_t total = 0;
    for (int32_t i = first; i <= last; ++i) {
      const double covered = std::min<double>(i + 1, end) - std::max<double>(i, begin);
      const auto weight = static_cast<int32_t>(std::lround(covered / (end - begin) * (1 << kAreaBits)));
      w.Weight.push_back(weight);
      if (weight > w.Weight[largest]) largest = w.Weight.size() - 1;
      total += weight;
    }
    w.Weight[largest] += (1 << kAreaBits) - total;  // the rounding's remainder
  }
  w.Offset.push_back(static_cast<int32_t>(w.Weight.size()));
  return w;
}

// The source rectangle (sx, sy, sw x sh) of an 8-bit-sample bitmap shrunk
// in both directions into the whole of dest (same format) by area average:
// what the interpolating resampler computes for a shrink, in integers, read
// straight from the source rows. Each destination row first averages its
// source rows down (8.8 fixed point), then that row across.
template <int32_t Channels>
void AreaShrink(TIEBitmap& source, int32_t sx, int32_t sy, int32_t sw, int32_t sh, TIEBitmap& dest) {
  const int32_t dw = dest.GetWidth(), dh = dest.GetHeight();
  const TAreaWeights columns = AreaWeights(sw, dw), rows = AreaWeights(sh, dh);
  const size_t samples = static_cast<size_t>(sw) * Channels;
  std::vector<int32_t> down(samples);
  std::vector<uint16_t> fixed(samples);
  for (int32_t d = 0; d < dh; ++d) {
    std::fill(down.begin(), down.end(), 0);
    for (int32_t k = rows.Offset[d]; k < rows.Offset[d + 1]; ++k) {
      const int32_t row = sy + rows.First[d] + k - rows.Offset[d];
      const uint8_t* in = source.GetScanline(row) + static_cast<ptrdiff_t>(sx) * Channels;
      // 16-bit factors widened to 32 bits: the multiplication the vector units have.
      const auto weight = static_cast<int16_t>(rows.Weight[k]);
      for (size_t i = 0; i < samples; ++i) down[i] += weight * static_cast<int16_t>(in[i]);
    }
    for (size_t i = 0; i < samples; ++i)
      fixed[i] = static_cast<uint16_t>((down[i] + (1 << (kAreaBits - 9))) >> (kAreaBits - 8));
    uint8_t* out = dest.GetScanline(d);
    for (int32_t x = 0; x < dw; ++x) {
      const uint16_t* p = fixed.data() + static_cast<ptrdiff_t>(columns.First[x]) * Channels;
      uint32_t sum[Channels];
      std::fill_n(sum, Channels, 1u << (kAreaBits + 7));
      for (int32_t k = columns.Offset[x]; k < columns.Offset[x + 1]; ++k, p += Channels)
        for (int32_t c = 0; c < Channels; ++c) sum[c] += static_cast<uint32_t>(columns.Weight[k]) * p[c];
      for (int32_t c = 0; c < Channels; ++c)
        out[x * Channels + c] = static_cast<uint8_t>(std::min<uint32_t>(sum[c] >> (kAreaBits + 8), 255));
    }
  }
}

// The interpolating filters average areas when both sizes shrink; 8-bit
// samples of one or three channels take the integer route.
bool AreaShrinkApplies(TIEPixelFormat format, TResampleFilter filter, int32_t sw, int32_t sh, int32_t dw,
                       int32_t dh) {
  const bool interpolating =
      filter == rfBilinear || filter == rfBicubic || filter == rfWICFant || filter == rfWICCubic;
  return interpolating && (format == ie24RGB || format == ie8g) && sw >= dw && sh >= dh;
}

}  // namespace

void TIEBitmap::RenderResampled(TIEBitmap& dest, std::vector<uint8_t*>* rowTable, const RECT* clip, int32_t dx,
                                int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                                bool useAlpha, bool reuseRows, int32_t alphaCap, TResampleFilter filter,
                                uint8_t combineOperator, double opacity) {
  const TIEPixelFormat format = GetPixelFormat();
  const bool projection = filter == rfProjectBW || filter == rfProjectWB;
  const bool withAlpha = useAlpha && HasAlphaChannel();
  TIEBitmap scaled;
  if (!withAlpha && AreaShrinkApplies(format, filter, sw, sh, dw, dh)) {
    scaled.Allocate(dw, dh, format);
    CopyPaletteTo(&scaled);
    TIEAccessScope read(*this, iemRead);
    if (format == ie24RGB)
      AreaShrink<3>(*this, sx, sy, sw, sh, scaled);
    else
      AreaShrink<1>(*this, sx, sy, sw, sh, scaled);
  } else if (!withAlpha && filter == rfFastLinear && format == ie24RGB && (sw > 1 || sh > 1)) {
    scaled.Allocate(dw, dh, format);
    TIEAccessScope read(*this, iemRead);
    IEResampleFastLinear24(this, sx, sy, sw, sh, &scaled);
  } else if (sw < dw || format != ie1g || withAlpha || projection) {
    TIEBitmap part(sw, sh, format);
    CopyRectToBitmap(part, sx, sy, 0, 0, sw, sh);
    CopyPaletteTo(&part);
    if (withAlpha) {
      alphaChannel_->CopyRectToBitmap(*part.GetAlphaChannel(), sx, sy, 0, 0, sw, sh);
      part.GetAlphaChannel()->SetFullFlag(alphaChannel_->FullFlag());
    }
    if (format == ie1g) {
      scaled.Allocate(dw, dh, projection ? ie1g : ie24RGB);
      IEResample1Bit(&part, &scaled, filter);
    } else {
      scaled.Allocate(dw, dh, format);
      CopyPaletteTo(&scaled);
      IEResample(&part, &scaled, nullptr, filter, {}, nullptr);
      if (withAlpha) {
        IEResampleGray8(part.GetAlphaChannel(), scaled.GetAlphaChannel(), filter);
        scaled.GetAlphaChannel()->SetFullFlag(alphaChannel_->FullFlag());
      }
    }
  } else {
    scaled.Allocate(dw, dh, ie24RGB);
    IEStretch1BitAveraged(this, sx, sy, sx + sw - 1, sy + sh - 1, &scaled);
  }
  scaled.DisplayOffsets = DisplayOffsets;
  scaled.DisplayAdjustments = DisplayAdjustments;
  scaled.Contrast = Contrast;
  scaled.DisplayMin = DisplayMin;
  scaled.DisplayMax = DisplayMax;
  scaled.RenderToTIEBitmapEx(dest, rowTable, nullptr, nullptr, clip, dx, dy, dw, dh, 0, 0, dw, dh, useAlpha, reuseRows,
                             alphaCap, rfNone, true, combineOperator, opacity);
}

void TIEBitmap::RenderToTIEBitmapEx(TIEBitmap& dest, std::vector<uint8_t*>* rowTable, std::vector<int32_t>* colIndex,
                                    std::vector<int32_t>* rowIndex, const RECT* clip, int32_t dx, int32_t dy,
                                    int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh,
                                    bool useAlpha, bool reuseRows, int32_t alphaCap, TResampleFilter filter,
                                    bool freeTables, uint8_t combineOperator, double opacity) {
  TIEAccessScope read(*this, iemRead);
  // The renderers reach every destination row at once.
  if (dest.GetPixelFormat() != ie24RGB || dest.Location() == ieTempFile || &dest == this) return;
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const int32_t destWidth = dest.GetWidth(), destHeight = dest.GetHeight();
  const double scaleX = double(sw) / dw, scaleY = double(sh) / dh;
  if (!ClipRender(destWidth, destHeight, GetWidth(), GetHeight(), dx, dy, dw, dh, sx, sy, sw, sh)) return;
  try {
    if (filter != rfNone && (sw != dw || sh != dh)) {
      RenderResampled(dest, rowTable, clip, dx, dy, dw, dh, sx, sy, sw, sh, useAlpha, reuseRows, alphaCap, filter,
                      combineOperator, opacity);
      return;
    }
    std::vector<uint8_t*> ownRows;
    std::vector<uint8_t*>& rows = rowTable ? *rowTable : ownRows;
    const bool builtRows = rows.empty();
    if (builtRows)
      for (int32_t y = 0; y < destHeight; ++y) rows.push_back(dest.GetScanline(y));
    if (static_cast<int32_t>(rows.size()) < destHeight) return;

    std::vector<uint8_t> alphaRow;
    if (alphaCap < 255 || opacity < 1)
      alphaRow.assign(static_cast<size_t>(GetWidth()),
                      static_cast<uint8_t>(TruncTo(opacity * std::clamp(alphaCap, 0, 255), 0, 255)));

    TIERenderRows p;
    p.RowTable = rows.data();
    p.Dest = &dest;
    p.StepY = static_cast<int32_t>(TruncTo(double(sh) / dh * kUnitStep, 0, INT32_MAX));
    p.StepX = static_cast<int32_t>(TruncTo(double(sw) / dw * kUnitStep, 0, INT32_MAX));
    p.DestX = dx, p.DestY = dy, p.SourceX = sx, p.SourceY = sy;
    p.LastRow = std::min(dy + dh - 1, destHeight - 1);
    p.LastCol = std::min(dx + dw - 1, destWidth - 1);
    p.FirstCol = dx, p.FirstRow = dy;
    if (clip) {
      p.FirstCol = std::max<int32_t>(clip->left, dx), p.LastCol = std::min<int32_t>(clip->right, p.LastCol);
      p.FirstRow = std::max<int32_t>(clip->top, dy), p.LastRow = std::min<int32_t>(clip->bottom, p.LastRow);
    }
    p.FirstCol = std::clamp(p.FirstCol, 0, destWidth - 1), p.LastCol = std::clamp(p.LastCol, 0, destWidth - 1);
    p.FirstRow = std::clamp(p.FirstRow, 0, destHeight - 1), p.LastRow = std::clamp(p.LastRow, 0, destHeight - 1);
    if (p.FirstCol > p.LastCol || p.FirstRow > p.LastRow) return;

    // Index tables: entry x - dx holds the source column of destination column x.
    std::vector<int32_t> ownCols, ownRowIndex;
    std::vector<int32_t>& cols = colIndex ? *colIndex : ownCols;
    std::vector<int32_t>& rowsIndex = rowIndex ? *rowIndex : ownRowIndex;
    const bool builtCols = cols.empty(), builtRowIndex = rowsIndex.empty();
    const int32_t width = GetWidth(), height = GetHeight();
    if (builtCols)
      for (int64_t x = dx; x <= p.LastCol; ++x)
        cols.push_back(static_cast<int32_t>(
            std::clamp<int64_t>(TruncTo((x - dx) * scaleX + sx, INT32_MIN, INT32_MAX), 0, width - 1)));
    if (builtRowIndex)
      for (int64_t y = dy; y <= p.LastRow; ++y)
        rowsIndex.push_back(static_cast<int32_t>(
            std::clamp<int64_t>(TruncTo((y - dy) * scaleY + sy, INT32_MIN, INT32_MAX), 0, height - 1)));
    // Tables from the caller are trusted only as far as they point inside the source.
    auto inside = [](const std::vector<int32_t>& t, int32_t i, int32_t size) {
      return i >= 0 && i < static_cast<int32_t>(t.size()) && t[i] >= 0 && t[i] < size;
    };
    while (p.LastRow >= p.FirstRow && !inside(rowsIndex, p.LastRow - dy, height)) --p.LastRow;
    while (p.LastCol >= p.FirstCol && !inside(cols, p.LastCol - dx, width)) --p.LastCol;
    bool tablesSound = p.FirstRow <= p.LastRow && p.FirstCol <= p.LastCol;
    for (int32_t y = p.FirstRow; tablesSound && y <= p.LastRow; ++y) tablesSound = inside(rowsIndex, y - dy, height);
    for (int32_t x = p.FirstCol; tablesSound && x <= p.LastCol; ++x) tablesSound = inside(cols, x - dx, width);
    if (tablesSound) {
      p.ColIndex = cols.data();
      p.RowIndex = rowsIndex.data();
      p.ReuseRows = reuseRows;
      p.CombineOperator = combineOperator;
      p.Opacity = opacity;
      p.AlphaRow = alphaRow.empty() ? nullptr : alphaRow.data();
      p.AlphaCap = alphaCap;
      p.UseAlphaChannel = useAlpha && HasAlphaChannel() && !alphaChannel_->FullFlag();
      const bool blend = alphaCap < 255 || opacity < 1 || p.UseAlphaChannel;
      DispatchRenderRows(p, blend);
    }
    if (freeTables) {
      if (builtCols) cols.clear();
      if (builtRowIndex) rowsIndex.clear();
      if (builtRows) rows.clear();
    }
  } catch (...) {
    // What was drawn so far stays.
  }
}

void TIEBitmap::RenderToTIEBitmap(TIEBitmap& dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx,
                                  int32_t sy, int32_t sw, int32_t sh, bool useAlpha, int32_t alphaCap,
                                  TResampleFilter filter, uint8_t combineOperator, double opacity) {
  RenderToTIEBitmapEx(dest, nullptr, nullptr, nullptr, nullptr, dx, dy, dw, dh, sx, sy, sw, sh, useAlpha, false,
                      alphaCap, filter, true, combineOperator, opacity);
}

void TIEBitmap::RenderToTBitmap(TBitmap* dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy,
                                int32_t sw, int32_t sh, bool useAlpha, int32_t alphaCap, TResampleFilter filter,
                                uint8_t combineOperator, double opacity) {
  if (!dest || dest->PixelFormat() != pf24bit) return;
  TIEBitmap wrapper;
  wrapper.AttachTBitmap(dest, false);
  RenderToTIEBitmap(wrapper, dx, dy, dw, dh, sx, sy, sw, sh, useAlpha, alphaCap, filter, combineOperator, opacity);
}

// ---- stretching ----------------------------------------------------------------------------------

void TIEBitmap::StretchRectTo(TIEBitmap& dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy,
                              int32_t sw, int32_t sh, TResampleFilter filter, int32_t alphaCap, double opacity) {
  if (dest.GetPixelFormat() != ie24RGB || &dest == this || dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0) return;
  const double scaleX = double(sw) / dw, scaleY = double(sh) / dh;
  if (!ClipRender(dest.GetWidth(), dest.GetHeight(), GetWidth(), GetHeight(), dx, dy, dw, dh, sx, sy, sw, sh)) return;
  const int32_t cap = std::clamp(alphaCap, 0, 255);
  try {
    if (filter != rfNone && (sw != dw || sh != dh)) {
      TIEBitmap part;
      part.Allocate(sw, sh, GetPixelFormat());
      CopyRectToBitmap(part, sx, sy, 0, 0, sw, sh);
      CopyPaletteTo(&part);
      if (alphaChannel_) alphaChannel_->CopyRectToBitmap(*part.GetAlphaChannel(), sx, sy, 0, 0, sw, sh);
      TIEBitmap scaled(dw, dh, GetPixelFormat() == ie1g ? ie1g : ie24RGB);
      if (GetPixelFormat() != ie24RGB && GetPixelFormat() != ie1g) part.SetPixelFormat(ie24RGB);
      if (GetPixelFormat() == ie1g)
        IEResample1Bit(&part, &scaled, filter);
      else
        IEResample(&part, &scaled, nullptr, filter, {}, nullptr);
      if (alphaChannel_) IEResampleGray8(part.GetAlphaChannel(), scaled.GetAlphaChannel(), filter);
      scaled.StretchRectTo(dest, dx, dy, dw, dh, 0, 0, dw, dh, rfNone, alphaCap, opacity);
      return;
    }
    std::vector<int32_t> cols(static_cast<size_t>(dw)), rows(static_cast<size_t>(dh));
    for (int32_t x = 0; x < dw; ++x)
      cols[x] = std::clamp(static_cast<int32_t>(TruncTo(x * scaleX + sx, 0, INT32_MAX)), 0, GetWidth() - 1);
    for (int32_t y = 0; y < dh; ++y)
      rows[y] = std::clamp(static_cast<int32_t>(TruncTo(y * scaleY + sy, 0, INT32_MAX)), 0, GetHeight() - 1);
    TIEBitmap* destAlpha = dest.GetAlphaChannel();
    const auto fixed = static_cast<uint8_t>(TruncTo(opacity * cap, 0, 255));
    const TIEPixelFormat format = GetPixelFormat();
    for (int32_t y = 0; y < dh; ++y) {
      const uint8_t* s = GetScanline(rows[y]);
      uint8_t* d = dest.GetScanline(dy + y) + int64_t{dx} * 3;
      for (int32_t x = 0; x < dw; ++x) {
        const int32_t c = cols[x];
        if (format == ie24RGB)
          std::memcpy(d + x * 3, s + int64_t{c} * 3, 3);
        else if (format == ie1g)
          IEStorePixel(d + x * 3, Grey((s[c >> 3] & (0x80 >> (c & 7))) ? 255 : 0));
      }
      uint8_t* a = destAlpha->GetScanline(dy + y) + dx;
      const uint8_t* sa = alphaChannel_ ? alphaChannel_->GetScanline(rows[y]) : nullptr;
      for (int32_t x = 0; x < dw; ++x)
        a[x] = sa ? static_cast<uint8_t>(TruncTo(opacity * std::min<int32_t>(cap, sa[cols[x]]), 0, 255)) : fixed;
    }
    destAlpha->SetFullFlag(false);
  } catch (...) {
  }
}
