// The pixel blend operators and the alpha compositing of one bitmap over another.
//
// Sections: colour models | operators | compositing
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/processing/imageryproc.h"

namespace {

// ---- colour models ------------------------------------------------------------------------------

uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }
// Toward zero, then kept to a byte.
uint8_t Trunc8(double v) { return Clamp8(static_cast<int32_t>(std::clamp(v, -1.0, 256.0))); }
// To the nearest integer (halves to even), kept to a byte.
uint8_t Round8(double v) { return Clamp8(static_cast<int32_t>(std::nearbyint(std::clamp(v, -1.0, 256.0)))); }

struct THSL {
  double h, s, l;
};

THSL ToHSL(TRGB c) {
  const double r = c.r / 255.0, g = c.g / 255.0, b = c.b / 255.0;
  const double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  THSL out{0, 0, (hi + lo) / 2};
  const double d = hi - lo;
  if (d == 0) return out;
  out.s = out.l <= 0.5 ? d / (hi + lo) : d / (2 - hi - lo);
  double h;
  if (hi == r)
    h = (g - b) / d + (g < b ? 6 : 0);
  else if (hi == g)
    h = (b - r) / d + 2;
  else
    h = (r - g) / d + 4;
  out.h = h / 6;
  return out;
}

double HueChannel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 0.5) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

TRGB FromHSL(THSL c) {
  if (c.s == 0) {
    const uint8_t v = Round8(c.l * 255);
    return TRGB{v, v, v};
  }
  const double q = c.l < 0.5 ? c.l * (1 + c.s) : c.l + c.s - c.l * c.s, p = 2 * c.l - q;
  return TRGB{Round8(HueChannel(p, q, c.h - 1.0 / 3) * 255), Round8(HueChannel(p, q, c.h) * 255),
              Round8(HueChannel(p, q, c.h + 1.0 / 3) * 255)};
}

struct TYCbCr {
  uint8_t y, cb, cr;
};

TYCbCr ToYCbCr(TRGB c) {
  return {Trunc8(0.299 * c.r + 0.587 * c.g + 0.114 * c.b), Trunc8(-0.16874 * c.r - 0.33126 * c.g + 0.5 * c.b + 128),
          Trunc8(0.5 * c.r - 0.41869 * c.g - 0.08131 * c.b + 128)};
}

TRGB FromYCbCr(TYCbCr c) {
  return TRGB{Trunc8(c.y + 1.772 * (c.cb - 128)), Trunc8(c.y - 0.34414 * (c.cb - 128) - 0.71414 * (c.cr - 128)),
              Trunc8(c.y + 1.402 * (c.cr - 128))};
}

// ---- operators -----------------------------------------------------------------------------------

// One channel's result of the operators that treat the channels alike.
using TChannelRule = int32_t (*)(int32_t s, int32_t d);

int32_t Screen(int32_t s, int32_t d) { return static_cast<int32_t>(255 - (255 - d) * (255 - s) / 255.0); }
int32_t Overlay(int32_t s, int32_t d) { return d < 128 ? (s * d) >> 7 : 255 - (((255 - s) * (255 - d)) >> 7); }
int32_t HardLight(int32_t s, int32_t d) { return s < 128 ? (s * d) >> 7 : 255 - (((255 - s) * (255 - d)) >> 7); }
int32_t SoftLight(int32_t s, int32_t d) {
  const double a = s / 255.0, b = d / 255.0;
  const double r = a >= 0.5 ? std::sqrt(b) * (2 * a - 1) + 2 * b * (1 - a) : b * b * (1 - 2 * a) + 2 * a * b;
  return static_cast<int32_t>(r * 255);
}
int32_t SoftLightInt(int32_t s, int32_t d) {
  const int32_t m = (d * s) >> 8, n = 255 - (((255 - d) * (255 - s)) >> 8);
  return m + (((n - m) * d) >> 8);
}
int32_t Dodge(int32_t s, int32_t d) { return s == 255 ? 255 : std::min((d * 256) / (255 - s), 255); }
int32_t Burn(int32_t s, int32_t d) { return s == 0 ? 0 : std::max(255 - ((255 - d) * 256) / s, 0); }
int32_t SoftDodge(int32_t s, int32_t d) {
  if (s + d < 256) return s == 255 ? 255 : std::min((d * 128) / (255 - s), 255);
  return std::max(255 - ((255 - s) * 128) / d, 0);
}
int32_t SoftBurn(int32_t s, int32_t d) {
  if (s + d < 256) return d == 255 ? 255 : std::min((s * 128) / (255 - d), 255);
  return std::max(255 - ((255 - d) * 128) / s, 0);
}
int32_t Reflect(int32_t s, int32_t d) { return s == 255 ? 255 : std::min((d * d) / (255 - s), 255); }
int32_t Freeze(int32_t s, int32_t d) { return s == 0 ? 0 : std::max(255 - ((255 - d) * (255 - d)) / s, 0); }

// Operators 0..30 that treat each channel alike, by number (null: not such an operator).
constexpr TChannelRule kChannelRules[31] = {
    [](int32_t s, int32_t) { return s; },
    [](int32_t s, int32_t d) { return std::min(s + d, 255); },
    [](int32_t s, int32_t d) { return std::abs(d - s); },
    [](int32_t s, int32_t d) { return d / std::max(s, 1); },
    [](int32_t s, int32_t d) { return (s * d) >> 8; },
    [](int32_t s, int32_t d) { return d | s; },
    [](int32_t s, int32_t d) { return d & s; },
    [](int32_t s, int32_t d) { return d ^ s; },
    [](int32_t s, int32_t d) { return std::max(d, s); },
    [](int32_t s, int32_t d) { return std::min(d, s); },
    [](int32_t s, int32_t d) { return (s + d) >> 1; },
    Screen,
    [](int32_t s, int32_t d) { return 255 - std::abs(255 - s - d); },
    [](int32_t s, int32_t d) { return s + d - ((s * d) >> 7); },
    Overlay,
    HardLight,
    SoftLight,
    SoftLightInt,
    Dodge,
    Burn,
    [](int32_t s, int32_t d) { return Dodge(d, s); },
    [](int32_t s, int32_t d) { return Burn(d, s); },
    SoftDodge,
    SoftBurn,
    Reflect,
    [](int32_t s, int32_t d) { return Reflect(d, s); },
    Freeze,
    [](int32_t s, int32_t d) { return Freeze(d, s); },
    [](int32_t s, int32_t d) { return s + d - 256; },
    [](int32_t s, int32_t d) { return IECosineRamp[s] + IECosineRamp[d]; },
    [](int32_t s, int32_t d) { return 2 * s + d - 256; },
};

TRGB Dubois(TRGB s, TRGB d) {
  auto mix = [&](double dr, double dg, double db, double sr, double sg, double sb) {
    return Round8(dr * d.r + dg * d.g + db * d.b + sr * s.r + sg * s.g + sb * s.b);
  };
  const uint8_t r = mix(0.4561, 0.500484, 0.176381, -0.0434706, -0.0879388, -0.00155529);
  const uint8_t g = mix(-0.0400822, -0.0378246, -0.0157589, 0.378476, 0.73364, -0.0184503);
  const uint8_t b = mix(-0.0152161, -0.0205971, -0.00546856, -0.0721527, -0.112961, 1.2264);
  return TRGB{b, g, r};
}

}  // namespace

void IECombinePixels(const TRGB& s, TRGB& d, uint8_t op, int32_t row) {
  if (op <= 30) {
    const TChannelRule rule = kChannelRules[op];
    d = TRGB{Clamp8(rule(s.b, d.b)), Clamp8(rule(s.g, d.g)), Clamp8(rule(s.r, d.r))};
    return;
  }
  switch (op) {
    case 31:
      d.r = s.r;
      break;
    case 32:
      d.g = s.g;
      break;
    case 33:
      d.b = s.b;
      break;
    case 34:
    case 35:
    case 36:
    case 37: {
      const THSL hs = ToHSL(s), hd = ToHSL(d);
      d = FromHSL({op == 34 || op == 36 ? hs.h : hd.h, op == 35 || op == 36 ? hs.s : hd.s, op == 37 ? hs.l : hd.l});
      break;
    }
    case 38: {
      const auto* w = IEGetGlobalSettings();
      auto grey = [w](TRGB c) {
        return Clamp8((c.r * w->GrayWeightRed + c.g * w->GrayWeightGreen + c.b * w->GrayWeightBlue) / 100);
      };
      const uint8_t left = grey(d), right = grey(s);
      d = TRGB{right, right, left};
      break;
    }
    case 39:
      d.g = s.g;
      d.b = s.b;
      break;
    case 40:
      d = Dubois(s, d);
      break;
    case 41:
    case 42:
      if ((row % 2 == 0) == (op == 41)) d = s;
      break;
    case 43: {
      const TYCbCr ys = ToYCbCr(s), yd = ToYCbCr(d);
      d = FromYCbCr({ys.y, yd.cb, yd.cr});
      break;
    }
    default:
      break;
  }
}

void IECombinePixelsCopy(const uint8_t* source, uint8_t* dest, uint8_t op, int32_t row) {
  const TRGB s = IELoadPixel<TRGB>(source);
  TRGB d = IELoadPixel<TRGB>(dest);
  IECombinePixels(s, d, op, row);
  IEStorePixel(dest, d);
}

// ---- compositing -------------------------------------------------------------------------------

void TIEBitmap::CompositeFrom(TIEBitmap& source, int32_t x, int32_t y, int32_t width, int32_t height, int32_t alphaCap,
                              TResampleFilter filter, uint8_t combineOperator, bool stretch, int32_t sourceX,
                              int32_t sourceY, double opacity) {
  if (GetPixelFormat() != ie24RGB) return;
  TIEBitmap* alpha = GetAlphaChannel();
  if (!alpha) return;
  if (width == -1) width = source.GetWidth();
  if (height == -1) height = source.GetHeight();
  TIEBitmap* src = &source;
  std::unique_ptr<TIEBitmap> resized;
  if (stretch && (width != source.GetWidth() || height != source.GetHeight()) && width > 0 && height > 0) {
    resized = std::make_unique<TIEBitmap>(width, height, source.GetPixelFormat());
    IEResampleBitmap(&source, resized.get(), filter, {}, nullptr);
    src = resized.get();
  }
  const TIEPixelFormat format = src->GetPixelFormat();
  if (format != ie24RGB && format != ie32RGBA) return;
  TIEBitmap* srcAlpha = format == ie24RGB ? src->GetAlphaChannel() : nullptr;
  // The source rectangle is kept inside the source: pixels past it are not read.
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min<int64_t>({int64_t{width_}, int64_t{x} + width, int64_t{x} - sourceX + src->GetWidth()});
  const int32_t y1 =
      std::min<int64_t>({int64_t{height_}, int64_t{y} + height, int64_t{y} - sourceY + src->GetHeight()});
  const int32_t cap = std::clamp(alphaCap, 0, 255);
  for (int32_t Y = y0; Y < y1; ++Y) {
    const int32_t sy = Y - y + sourceY;
    if (sy < 0) continue;
    uint8_t* drow = GetScanline(Y);
    uint8_t* arow = alpha->GetScanline(Y);
    const uint8_t* srow = src->GetScanline(sy);
    const uint8_t* sa = srcAlpha ? srcAlpha->GetScanline(sy) : nullptr;
    for (int32_t X = x0; X < x1; ++X) {
      const int32_t sx = X - x + sourceX;
      if (sx < 0) continue;
      TRGB dest = IELoadPixel<TRGB>(drow + X * 3), combined = dest;
      int32_t a;
      if (format == ie24RGB) {
        a = std::min<int32_t>(sa[sx], cap);
        IECombinePixels(IELoadPixel<TRGB>(srow + sx * 3), combined, combineOperator, Y);
      } else {
        a = std::min<int32_t>(srow[sx * 4 + 3], cap);
        uint8_t pixel[3];
        std::memcpy(pixel, drow + X * 3, 3);
        IECombinePixelsCopy(srow + sx * 4, pixel, combineOperator, Y);
        combined = IELoadPixel<TRGB>(pixel);
      }
      const double B = opacity * a / 255.0, C = (1 - B) * arow[X] / 255.0, D = B + C;
      if (D != 0) {
        auto mix = [&](uint8_t c, uint8_t d) { return Round8((B * c + C * d) / D); };
        dest = TRGB{mix(combined.b, dest.b), mix(combined.g, dest.g), mix(combined.r, dest.r)};
      } else {
        dest = combined;
      }
      IEStorePixel(drow + X * 3, dest);
      arow[X] = Round8(D * 255);
    }
  }
  alpha->SetFullFlag(false);
}
