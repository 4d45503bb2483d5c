// TIEBitmap: pixel-format conversion between every pair of formats, the
// allowed-format walk, and copies from and to the other image holders
// (framework bitmaps, masks, DIB bitmaps).
//
// Sections: pixel helpers | bilevel | pairs | conversion entry points | other holders
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/codecs/neurquant.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "platform/forms/graphics.h"

const uint8_t IEBayer8[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                {12, 44, 4, 36, 14, 46, 6, 38}, {60, 28, 52, 20, 62, 30, 54, 22},
                                {3, 35, 11, 43, 1, 33, 9, 41},  {51, 19, 59, 27, 49, 17, 57, 25},
                                {15, 47, 7, 39, 13, 45, 5, 37}, {63, 31, 55, 23, 61, 29, 53, 21}};

namespace {

// ---- pixel helpers ---------------------------------------------------------------------------

using TWords = std::array<uint16_t, 3>;  // red, green, blue

bool Bit(const uint8_t* row, int32_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }
void PutBit(uint8_t* row, int32_t x, bool set) {
  const auto mask = static_cast<uint8_t>(0x80 >> (x & 7));
  row[x >> 3] = set ? (row[x >> 3] | mask) : (row[x >> 3] & ~mask);
}

uint8_t Hi(uint16_t v) { return static_cast<uint8_t>(v >> 8); }
uint16_t X257(uint8_t v) { return static_cast<uint16_t>(v * 257); }

// A float sample times scale, truncated and kept to 0..top (NaN gives 0).
int32_t FloatTo(double v, double scale, int32_t top) {
  const double s = v * scale;
  if (!(s > 0)) return 0;
  return s >= top ? top : static_cast<int32_t>(s);
}
uint8_t Float8(float v) { return static_cast<uint8_t>(FloatTo(v, 255.0, 255)); }
uint16_t Float16(float v) { return static_cast<uint16_t>(FloatTo(v, 65535.0, 65535)); }

struct TGreyWeights {
  int32_t r, g, b;
  // grey8: the settings' weights, kept to a byte.
  uint8_t Level(TRGB c) const { return static_cast<uint8_t>(std::min((c.r * r + c.g * g + c.b * b) / 100, 255)); }
};
TGreyWeights Weights() {
  const auto* s = IEGetGlobalSettings();
  return {s->GrayWeightRed, s->GrayWeightGreen, s->GrayWeightBlue};
}

uint16_t Grey16(TRGB c) { return static_cast<uint16_t>((c.r * 54484 + c.g * 183241 + c.b * 19275) / 1000); }
float GreyF(TRGB c) { return static_cast<float>((c.r * 0.2126 + c.g * 0.7152 + c.b * 0.0722) / 255); }
TRGB Grey(uint8_t v) { return TRGB{v, v, v}; }

// Calls pixel(source row, destination row, x) for every pixel, rows top to bottom.
template <typename F>
void Map(TIEBitmap& source, TIEBitmap& dest, F&& pixel) {
  TIEAccessScope read(source, iemRead), write(dest, iemWrite);
  const int32_t width = dest.GetWidth(), height = dest.GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* s = source.GetScanline(y);
    uint8_t* d = dest.GetScanline(y);
    for (int32_t x = 0; x < width; ++x) pixel(s, d, x);
  }
}

// The source's palette as 256 entries; indexes past the palette read black.
std::array<TRGB, 256> PaletteOf(TIEBitmap& bitmap) {
  std::array<TRGB, 256> palette{};
  const int32_t count = std::min(bitmap.GetPaletteLength(), 256);
  for (int32_t i = 0; i < count; ++i) bitmap.GetPaletteColor(i, palette[i]);
  return palette;
}

void SetGreyRamp(TIEBitmap& bitmap) {
  for (int32_t i = 0; i < bitmap.GetPaletteLength(); ++i) bitmap.SetPaletteColor(i, Grey(static_cast<uint8_t>(i)));
}

// The colour of one pixel of the formats read as colours, as the grey-level and threshold rules see it.
TRGB ColorAt(TIEPixelFormat format, const uint8_t* row, int32_t x, const std::array<TRGB, 256>& palette) {
  switch (format) {
    case ie1g:
      return Grey(Bit(row, x) ? 255 : 0);
    case ie8p:
      return palette[row[x]];
    case ie8g:
      return Grey(row[x]);
    case ie16Gray:
      return Grey(Hi(IELoadPixel<uint16_t>(row + x * 2)));
    case ie24RGB:
      return IELoadPixel<TRGB>(row + x * 3);
    case ie32f:
      return Grey(Float8(IELoadPixel<float>(row + x * 4)));
    case ieCMYK:
      return IECMYKToRGB(IELoadPixel<uint32_t>(row + x * 4));
    case ieRGB48: {
      const auto w = IELoadPixel<TWords>(row + x * 6);
      return TRGB{Hi(w[2]), Hi(w[1]), Hi(w[0])};
    }
    case ieCIELab:
      return IECIELabToRGB(IELoadPixel<TCIELab>(row + x * 3));
    case ie32RGBA:
      return IELoadPixel<TRGB>(row + x * 4);
    default:
      return TRGB{};
  }
}

// ---- bilevel ---------------------------------------------------------------------------------

// The image's mean colour: per row the channel sums divided by the width,
// added up, then divided by the height; 16-bit samples count as v x 255 / 65535.
TRGB AverageColor(TIEBitmap& source, const std::array<TRGB, 256>& palette) {
  TIEAccessScope read(source, iemRead);
  const int32_t width = source.GetWidth(), height = source.GetHeight();
  const TIEPixelFormat format = source.GetPixelFormat();
  int64_t total[3] = {0, 0, 0};
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = source.GetScanline(y);
    int64_t sum[3] = {0, 0, 0};
    for (int32_t x = 0; x < width; ++x) {
      int64_t r, g, b;
      if (format == ie16Gray) {
        r = g = b = int64_t{IELoadPixel<uint16_t>(row + x * 2)} * 255 / 65535;
      } else if (format == ieRGB48) {
        const auto w = IELoadPixel<TWords>(row + x * 6);
        r = int64_t{w[0]} * 255 / 65535, g = int64_t{w[1]} * 255 / 65535, b = int64_t{w[2]} * 255 / 65535;
      } else {
        const TRGB c = ColorAt(format, row, x, palette);
        r = c.r, g = c.g, b = c.b;
      }
      sum[0] += r, sum[1] += g, sum[2] += b;
    }
    for (int c = 0; c < 3; ++c) total[c] += sum[c] / width;
  }
  return TRGB{static_cast<uint8_t>(total[2] / height), static_cast<uint8_t>(total[1] / height),
              static_cast<uint8_t>(total[0] / height)};
}

// ie1g from a direct source: method 0 dithers the level grey >> 2 with the
// 8 x 8 matrix, method 1 sets the bits whose grey reaches the grey of the
// mean colour; other methods write nothing.
void ConvertBilevel(TIEBitmap& source, TIEBitmap& dest) {
  const uint8_t method = dest.BilevelMethod();
  if (method > 1) return;
  const TGreyWeights w = Weights();
  const auto palette = PaletteOf(source);
  const TIEPixelFormat format = source.GetPixelFormat();
  const int32_t threshold = method == 1 ? w.Level(AverageColor(source, palette)) : 0;
  TIEAccessScope read(source, iemRead), write(dest, iemWrite);
  const int32_t width = dest.GetWidth(), height = dest.GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* s = source.GetScanline(y);
    uint8_t* d = dest.GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      const uint8_t grey = w.Level(ColorAt(format, s, x, palette));
      PutBit(d, x, method == 0 ? IEBayer8[x & 7][y & 7] < (grey >> 2) : grey >= threshold);
    }
  }
}

// ---- pairs -------------------------------------------------------------------------------------

// True for the pairs that go through an ie24RGB copy of the source.
bool ThroughRGB(TIEPixelFormat from, TIEPixelFormat to, uint8_t bilevelMethod) {
  if (to == ie24RGB) return false;
  switch (from) {
    case ie1g:
    case ie8p:
    case ie8g:
    case ie16Gray:
    case ie32f:
      return to == ieCMYK || to == ieCIELab;
    case ieRGB48:
      return to == ie8p || to == ieCMYK || to == ieCIELab || (to == ie1g && bilevelMethod == 1);
    case ieCMYK:
    case ieCIELab:
      return to != ie32RGBA;
    case ie32RGBA:
      return true;
    default:
      return false;
  }
}

// Writes the colour into a 24-bit or 32-bit (fourth byte 255) pixel.
void PutRGB(uint8_t* row, int32_t x, int32_t stride, TRGB c) {
  uint8_t* p = row + int64_t{x} * stride;
  IEStorePixel(p, c);
  if (stride == 4) p[3] = 255;
}

// The display-range mapping of ie8g and ie16Gray into ie24RGB.
struct TDisplayRange {
  bool set;
  int64_t lo, hi;
  double d;
  uint8_t Map(int64_t v) const {
    v = std::clamp(v, lo, std::max(lo, hi));
    return static_cast<uint8_t>(FloatTo((v - lo) / d, 255.0, 255));
  }
};
TDisplayRange RangeOf(TIEBitmap& target) {
  const double d = target.DisplayMax - target.DisplayMin;
  auto whole = [](double v) { return static_cast<int64_t>(std::clamp(v, -9e18, 9e18)); };
  return {d != 0, whole(target.DisplayMin), whole(target.DisplayMax), d};
}

void FromGray1(TIEBitmap& s, TIEBitmap& d, TIEPixelFormat to) {
  switch (to) {
    case ie8p:
      d.SetPaletteColor(0, Grey(0));
      d.SetPaletteColor(1, Grey(255));
      return Map(s, d, [](const uint8_t* a, uint8_t* b, int32_t x) { b[x] = Bit(a, x) ? 1 : 0; });
    case ie8g:
      return Map(s, d, [](const uint8_t* a, uint8_t* b, int32_t x) { b[x] = Bit(a, x) ? 255 : 0; });
    case ie16Gray:
      return Map(s, d, [](const uint8_t* a, uint8_t* b, int32_t x) {
        IEStorePixel<uint16_t>(b + x * 2, Bit(a, x) ? 65535 : 0);
      });
    case ie24RGB:
    case ie32RGBA: {
      const int32_t stride = to == ie24RGB ? 3 : 4;
      return Map(
          s, d, [stride](const uint8_t* a, uint8_t* b, int32_t x) { PutRGB(b, x, stride, Grey(Bit(a, x) ? 255 : 0)); });
    }
    case ie32f:
      return Map(s, d, [](const uint8_t* a, uint8_t* b, int32_t x) {
        IEStorePixel<float>(b + x * 4, Bit(a, x) ? 1.0f : 0.0f);
      });
    case ieRGB48:
      return Map(s, d, [](const uint8_t* a, uint8_t* b, int32_t x) {
        const uint16_t v = Bit(a, x) ? 65535 : 0;
        IEStorePixel(b + x * 6, TWords{v, v, v});
      });
    default:
      return;
  }
}

// The pairs whose source is read as one colour per pixel (palette, RGB,
// CMYK, Lab, RGBA) into the colour targets.
template <typename Read>
void FromColor(TIEBitmap& s, TIEBitmap& d, TIEPixelFormat to, Read&& read) {
  const TGreyWeights w = Weights();
  switch (to) {
    case ie8g:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { b[x] = w.Level(read(a, x)); });
    case ie16Gray:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 2, Grey16(read(a, x))); });
    case ie24RGB:
    case ie32RGBA: {
      const int32_t stride = to == ie24RGB ? 3 : 4;
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { PutRGB(b, x, stride, read(a, x)); });
    }
    case ie32f:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 4, GreyF(read(a, x))); });
    case ieRGB48:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const TRGB c = read(a, x);
        IEStorePixel(b + x * 6, TWords{X257(c.r), X257(c.g), X257(c.b)});
      });
    case ieCMYK:
      return Map(s, d,
                 [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 4, IERGBToCMYK(read(a, x))); });
    case ieCIELab:
      return Map(s, d,
                 [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 3, IERGBToCIELab(read(a, x))); });
    default:
      return;
  }
}

// ie24RGB into ie8p: the quantizer's palette (as many colours as the target's palette uses) and indexes.
void QuantizeInto(TIEBitmap& s, TIEBitmap& d) {
  std::array<TRGB, 256> palette = PaletteOf(d);
  const TIEQuantizer quantizer(s, palette.data(), std::clamp(d.GetPaletteUsed(), 1, 256));
  for (int32_t i = 0; i < d.GetPaletteLength(); ++i) d.SetPaletteColor(i, palette[i]);
  Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
    b[x] = static_cast<uint8_t>(quantizer.GetRGBIndex(IELoadPixel<TRGB>(a + x * 3)));
  });
}

// One grey sample per pixel (ie8g, ie16Gray, ie32f) into the grey and colour targets.
// byte: its 8-bit value; wide: 16-bit; unit: 0..1.
template <typename Byte, typename Wide, typename Unit>
void FromGrey(TIEBitmap& s, TIEBitmap& d, TIEPixelFormat to, Byte&& byte, Wide&& wide, Unit&& unit,
              const TDisplayRange& range, bool rangeOnWide) {
  switch (to) {
    case ie8p:
      SetGreyRamp(d);
      [[fallthrough]];
    case ie8g:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { b[x] = byte(a, x); });
    case ie16Gray:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 2, wide(a, x)); });
    case ie24RGB:
      if (range.set) {
        Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
          PutRGB(b, x, 3, Grey(range.Map(rangeOnWide ? wide(a, x) : byte(a, x))));
        });
        d.DisplayMin = d.DisplayMax = 0;
        return;
      }
      [[fallthrough]];
    case ie32RGBA: {
      const int32_t stride = to == ie24RGB ? 3 : 4;
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { PutRGB(b, x, stride, Grey(byte(a, x))); });
    }
    case ie32f:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) { IEStorePixel(b + x * 4, unit(a, x)); });
    case ieRGB48:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const uint16_t v = wide(a, x);
        IEStorePixel(b + x * 6, TWords{v, v, v});
      });
    default:
      return;
  }
}

void FromRGB48(TIEBitmap& s, TIEBitmap& d, TIEPixelFormat to) {
  const TGreyWeights w = Weights();
  auto words = [](const uint8_t* a, int32_t x) { return IELoadPixel<TWords>(a + x * 6); };
  switch (to) {
    case ie8g:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const auto v = words(a, x);
        b[x] = w.Level(TRGB{Hi(v[2]), Hi(v[1]), Hi(v[0])});
      });
    case ie16Gray:
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const auto v = words(a, x);
        IEStorePixel(b + x * 2, static_cast<uint16_t>((v[0] * 212 + v[1] * 713 + v[2] * 75) / 1000));
      });
    case ie32f:
      // Divided by 65535, so that white stays 1.0.
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const auto v = words(a, x);
        IEStorePixel(b + x * 4, static_cast<float>((v[0] * 0.2126 + v[1] * 0.7152 + v[2] * 0.0722) / 65535));
      });
    case ie24RGB:
    case ie32RGBA: {
      const int32_t stride = to == ie24RGB ? 3 : 4;
      return Map(s, d, [&](const uint8_t* a, uint8_t* b, int32_t x) {
        const auto v = words(a, x);
        PutRGB(b, x, stride, TRGB{Hi(v[2]), Hi(v[1]), Hi(v[0])});
      });
    }
    default:
      return;
  }
}

// A direct pair (no ie24RGB step).
void ConvertDirect(TIEBitmap& s, TIEBitmap& d) {
  const TIEPixelFormat from = s.GetPixelFormat(), to = d.GetPixelFormat();
  if (to == ie1g) return ConvertBilevel(s, d);
  const TDisplayRange range = RangeOf(d);
  switch (from) {
    case ie1g:
      return FromGray1(s, d, to);
    case ie8p: {
      const auto palette = PaletteOf(s);
      return FromColor(s, d, to, [&palette](const uint8_t* a, int32_t x) { return palette[a[x]]; });
    }
    case ie8g:
      return FromGrey(
          s, d, to, [](const uint8_t* a, int32_t x) { return a[x]; },
          [](const uint8_t* a, int32_t x) { return X257(a[x]); },
          [](const uint8_t* a, int32_t x) { return a[x] / 255.0f; }, range, false);
    case ie16Gray:
      return FromGrey(
          s, d, to, [](const uint8_t* a, int32_t x) { return Hi(IELoadPixel<uint16_t>(a + x * 2)); },
          [](const uint8_t* a, int32_t x) { return IELoadPixel<uint16_t>(a + x * 2); },
          [](const uint8_t* a, int32_t x) { return static_cast<float>(IELoadPixel<uint16_t>(a + x * 2) / 65535.0); },
          range, true);
    case ie32f:
      return FromGrey(
          s, d, to, [](const uint8_t* a, int32_t x) { return Float8(IELoadPixel<float>(a + x * 4)); },
          [](const uint8_t* a, int32_t x) { return Float16(IELoadPixel<float>(a + x * 4)); },
          [](const uint8_t* a, int32_t x) { return IELoadPixel<float>(a + x * 4); }, TDisplayRange{}, false);
    case ie24RGB:
      if (to == ie8p) return QuantizeInto(s, d);
      return FromColor(s, d, to, [](const uint8_t* a, int32_t x) { return IELoadPixel<TRGB>(a + x * 3); });
    case ieCMYK:
      return FromColor(s, d, to,
                       [](const uint8_t* a, int32_t x) { return IECMYKToRGB(IELoadPixel<uint32_t>(a + x * 4)); });
    case ieRGB48:
      return FromRGB48(s, d, to);
    case ieCIELab:
      return FromColor(s, d, to,
                       [](const uint8_t* a, int32_t x) { return IECIELabToRGB(IELoadPixel<TCIELab>(a + x * 3)); });
    case ie32RGBA:
      return FromColor(s, d, to, [](const uint8_t* a, int32_t x) { return IELoadPixel<TRGB>(a + x * 4); });
    default:
      return;
  }
}

// Preferred targets of each format, in order.
constexpr TIEPixelFormat kPreferences[ie32RGBA + 1][7] = {
    {},
    {ie8g, ie16Gray, ie32f, ie24RGB},
    {ie24RGB, ieCMYK, ieRGB48, ieCIELab},
    {ie16Gray, ie32f, ie24RGB, ieCMYK, ieRGB48},
    {ie32f, ie8g, ieRGB48, ie24RGB, ieCMYK},
    {ieCMYK, ieCIELab, ieRGB48, ie8p, ie16Gray, ie8g},
    {ie16Gray, ie8g, ie24RGB, ieRGB48, ieCIELab},
    {ie24RGB, ieRGB48, ieCIELab, ie8g},
    {ie24RGB, ieCMYK, ieCIELab, ie16Gray},
    {ie24RGB, ieCMYK, ieRGB48, ie8g},
    {ie24RGB, ieCMYK, ieRGB48, ie8g},
};

bool FrameworkHolds(TIEPixelFormat format) {
  return format == ie1g || format == ie8p || format == ie8g || format == ie16Gray || format == ie24RGB ||
         format == ie32RGBA;
}

}  // namespace

// ---- conversion entry points -------------------------------------------------------------------

void TIEBitmap::ConvertFrom(TIEBitmap& source) {
  if (location_ == ieTBitmap) return;
  ConvertPixels(source);
}

void TIEBitmap::ConvertPixels(TIEBitmap& source) {
  if (&source == this || source.GetWidth() != GetWidth() || source.GetHeight() != GetHeight()) return;
  const TIEPixelFormat from = source.GetPixelFormat(), to = GetPixelFormat();
  if (from == to || from == ieNoFormat || from > ie32RGBA || to == ieNoFormat || IsEmpty()) return;
  if (ThroughRGB(from, to, bilevelMethod_)) {
    // The source stays as it is: the colour step works on a copy.
    TIEBitmap rgb(width_, height_, ie24RGB);
    rgb.DisplayMin = source.DisplayMin;
    rgb.DisplayMax = source.DisplayMax;
    ConvertDirect(source, rgb);
    ConvertDirect(rgb, *this);
  } else {
    ConvertDirect(source, *this);
  }
  if (source.HasAlphaChannel() && !isAlphaChannel_) GetAlphaChannel()->Assign(source.PeekAlphaChannel());
  UpdateTBitmapPalette();
}

void TIEBitmap::ConvertToPixelFormat(TIEPixelFormat format) {
  if (format == GetPixelFormat()) return;
  if (location_ == ieTBitmap) {
    ConvertTBitmapPixels(format);
    return;
  }
  TIEBitmap scratch;
  TransferTo(scratch);
  width_ = scratch.width_;
  height_ = scratch.height_;
  pixelFormat_ = format;
  needsAllocation_ = 0;
  if (!AllocateStorage()) {
    // No room for the new format: the image stays as it was.
    scratch.TransferTo(*this);
    return;
  }
  if (scratch.pixelFormat_ != ieNoFormat) ConvertFrom(scratch);
}

// The framework bitmap takes the formats it can hold; the pixels go
// through a copy in memory. Other formats leave it as it is.
void TIEBitmap::ConvertTBitmapPixels(TIEPixelFormat format) {
  if (!tbitmap_ || !FrameworkHolds(format)) return;
  if (width_ < 1 || height_ < 1) {
    if (format == ie1g || format == ie24RGB) tbitmap_->SetPixelFormat(format == ie1g ? pf1bit : pf24bit);
    SyncWithTBitmap();
    return;
  }
  TIEBitmap copy;
  copy.Assign(this);
  pixelFormat_ = format;
  if (!SetGeometry() || !ShapeTBitmap(false)) return;
  ConvertPixels(copy);
  SyncWithTBitmap();
}

void TIEBitmap::SetPixelFormat(TIEPixelFormat format) {
  if (format == GetPixelFormat()) return;
  if (IsVirtual()) {
    pixelFormat_ = format;
    return;
  }
  ConvertToPixelFormat(format);
}

bool TIEBitmap::EnsureAllowedPixelFormat(Set<TIEPixelFormat> allowed, bool autoConvert) {
  const TIEPixelFormat current = GetPixelFormat();
  const bool result = allowed.Empty() || allowed.Contains(current);
  if (result || !autoConvert) return result;
  for (TIEPixelFormat candidate : kPreferences[current <= ie32RGBA ? current : ieNoFormat])
    if (candidate != ieNoFormat && allowed.Contains(candidate)) {
      SetPixelFormat(candidate);
      return true;
    }
  for (int f = ie32RGBA; f >= ieNoFormat; --f)
    if (allowed.Contains(static_cast<TIEPixelFormat>(f))) {
      SetPixelFormat(static_cast<TIEPixelFormat>(f));
      return true;
    }
  return false;
}

// ---- other holders ---------------------------------------------------------------------------------

void TIEBitmap::CopyFromTBitmap(TBitmap* bitmap) {
  if (!bitmap) return;
  const int32_t width = bitmap->Width(), height = bitmap->Height();
  if (location_ == ieTBitmap) {
    if (!tbitmap_) tbitmap_ = new TBitmap();
    tbitmap_->Assign(bitmap);
    // The copy, not the caller's bitmap, is brought to a format this bitmap takes.
    const TPixelFormat f = tbitmap_->PixelFormat();
    if (f != pf1bit && f != pf24bit && f != pf32bit) tbitmap_->SetPixelFormat(pf24bit);
    SyncWithTBitmap();
    BuildRowTable();
    return;
  }
  auto copyRows = [&](TIEPixelFormat format, auto&& row) {
    if (!Allocate(width, height, format)) return;
    TIEAccessScope write(*this, iemWrite);
    for (int32_t y = 0; y < height; ++y) row(static_cast<const uint8_t*>(bitmap->ScanLine(y)), GetScanline(y));
  };
  auto plain = [&](const uint8_t* s, uint8_t* d) {
    std::memcpy(d, s,
                std::min<size_t>(static_cast<size_t>(rowLength_),
                                 static_cast<size_t>(IETBitmapRowLen(width, bitmap->PixelFormat()))));
  };
  auto rgb16 = [&](bool is565) {
    return [&, is565](const uint8_t* s, uint8_t* d) {
      for (int32_t x = 0; x < width; ++x) {
        const uint16_t v = IELoadPixel<uint16_t>(s + x * 2);
        const TRGB c = is565 ? TRGB{static_cast<uint8_t>((v & 31) * 8), static_cast<uint8_t>(((v >> 5) & 63) * 4),
                                    static_cast<uint8_t>((v >> 11) * 8)}
                             : TRGB{static_cast<uint8_t>((v & 31) * 8), static_cast<uint8_t>(((v >> 5) & 31) * 8),
                                    static_cast<uint8_t>(((v >> 10) & 31) * 8)};
        IEStorePixel(d + x * 3, c);
      }
    };
  };
  switch (bitmap->PixelFormat()) {
    case pf1bit:
      copyRows(ie1g, plain);
      break;
    case pf4bit:
      copyRows(ie8p, [&](const uint8_t* s, uint8_t* d) {
        for (int32_t x = 0; x < width; ++x) d[x] = (x & 1) ? (s[x >> 1] & 15) : (s[x >> 1] >> 4);
      });
      CopyPaletteFromTBitmap(bitmap, 16);
      break;
    case pf8bit:
      copyRows(ie8p, plain);
      CopyPaletteFromTBitmap(bitmap, 256);
      break;
    case pf15bit:
      copyRows(ie24RGB, rgb16(false));
      break;
    case pf16bit:
      copyRows(ie24RGB, rgb16(true));
      break;
    case pf24bit:
      copyRows(ie24RGB, plain);
      break;
    case pf32bit:
      copyRows(ie32RGBA, plain);
      break;
    default:
      return;
  }
  allFull_ = 0;
}

void TIEBitmap::CopyFromMask(TIEMask* mask) {
  if (!mask) {
    Fill(255);
    return;
  }
  if (mask->BitsPerPixel != 1 && mask->BitsPerPixel != 8) return;
  if (!Allocate(mask->Width, mask->Height, mask->BitsPerPixel == 1 ? ie1g : ie8g)) return;
  TIEAccessScope write(*this, iemWrite);
  const auto bytes = static_cast<size_t>(std::min(rowLength_, mask->RowLen));
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetScanline(y), mask->GetScanline(y), bytes);
  allFull_ = mask->Full ? 1 : 0;
}

void TIEBitmap::CopyToMask(TIEMask& mask) {
  const TIEPixelFormat format = GetPixelFormat();
  if (format != ie1g && format != ie8g && format != ie24RGB) return;
  mask.Allocate(width_, height_, format == ie1g ? 1 : 8);
  TIEAccessScope read(*this, iemRead);
  const TGreyWeights w = Weights();
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* s = GetScanline(y);
    uint8_t* d = mask.GetScanline(y);
    if (format == ie24RGB) {
      for (int32_t x = 0; x < width_; ++x) d[x] = static_cast<uint8_t>(w.Level(IELoadPixel<TRGB>(s + x * 3)) >> 2);
    } else {
      std::memcpy(d, s, static_cast<size_t>(std::min(rowLength_, mask.RowLen)));
    }
  }
  if (format != ie24RGB) mask.Full = allFull_ != 0;
}

void TIEBitmap::CopyFromDibBitmap(TIEDibbitmap* dib) {
  if (!dib) return;
  const int32_t bits = dib->GetBitCount();
  const TIEPixelFormat format = bits == 1 ? ie1g : (bits == 8 ? ie8g : ie24RGB);
  if (location_ == ieTBitmap) {
    if (!tbitmap_) tbitmap_ = new TBitmap();
    tbitmap_->SetSize(1, 1);
    tbitmap_->SetPixelFormat(bits == 1 ? pf1bit : pf24bit);
    tbitmap_->SetSize(dib->GetWidth(), dib->GetHeight());
    SyncWithTBitmap();
  } else if (!Allocate(dib->GetWidth(), dib->GetHeight(), format)) {
    return;
  }
  TIEAccessScope write(*this, iemWrite);
  const auto bytes = static_cast<size_t>(std::min<int64_t>(GetRowLength(), dib->GetRowLength()));
  const int32_t rows = std::min(GetHeight(), dib->GetHeight());
  for (int32_t y = 0; y < rows; ++y) std::memcpy(GetScanline(y), dib->GetScanline(y), bytes);
}

void IEConvertTBitmapToGray(TBitmap* source, TBitmap* dest) {
  if (!source || !dest) return;
  dest->SetSize(1, 1);
  dest->SetPixelFormat(pf8bit);
  dest->SetSize(source->Width(), source->Height());
  IESetGrayPalette(dest);
  const TGreyWeights w = Weights();
  for (int32_t y = 0; y < source->Height(); ++y) {
    const auto* s = static_cast<const uint8_t*>(source->ScanLine(y));
    auto* d = static_cast<uint8_t*>(dest->ScanLine(y));
    for (int32_t x = 0; x < source->Width(); ++x) d[x] = w.Level(IELoadPixel<TRGB>(s + x * 3));
  }
}
