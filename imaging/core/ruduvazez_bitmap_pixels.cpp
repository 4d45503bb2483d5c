// TIEBitmap: single pixels, palette, alpha channel, fills and scans. Every
// routine reaches the pixels through GetScanline, so all locations serve.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_bitmap_rows.h"

namespace {

// A double truncated toward zero; 0 for what no 64-bit integer holds.
int64_t TruncValue(double value) {
  if (!(value > -9.2e18 && value < 9.2e18)) return 0;
  return static_cast<int64_t>(value);
}

template <typename T>
T Load(const uint8_t* p) {
  return IELoadPixel<T>(p);
}
template <typename T>
void Store(uint8_t* p, T value) {
  IEStorePixel(p, value);
}

bool IsWhite(TRGB rgb) { return rgb.r == 255 && rgb.g == 255 && rgb.b == 255; }

// b + floor((v - b) x a / 256): lies between b and v.
uint8_t Blend(int v, int b, int a) { return static_cast<uint8_t>(b + (((v - b) * a * 1024) >> 18)); }

// One pixel of a colour fill: its bytes, how many of them are written (the
// fourth byte of ie32RGBA is kept by rectangle fills) and the flag it leaves.
struct TFillPixel {
  uint8_t bytes[8] = {};
  int32_t size = 0;
  bool full = false;
};

TFillPixel ColorPixel(TIEPixelFormat format, double value, bool rect) {
  TFillPixel p;
  const int64_t v = TruncValue(value);
  TRGB rgb;
  IEColorToRGB(static_cast<TIEColor>(v), rgb);
  switch (format) {
    case ie16Gray:
      Store<uint16_t>(p.bytes, static_cast<uint16_t>(v));
      p.size = 2;
      p.full = v == 65535;
      break;
    case ie24RGB:
      Store(p.bytes, rgb);
      p.size = 3;
      p.full = IsWhite(rgb);
      break;
    case ie32f:
      Store<float>(p.bytes, rect ? static_cast<float>(v) : static_cast<float>(value));
      p.size = 4;
      p.full = value == 1.0;
      break;
    case ieCMYK:
      Store<uint32_t>(p.bytes, IERGBToCMYK(rgb));
      p.size = 4;
      p.full = IsWhite(rgb);
      break;
    case ieRGB48: {
      const uint16_t words[3] = {static_cast<uint16_t>(rgb.r * 257), static_cast<uint16_t>(rgb.g * 257),
                                 static_cast<uint16_t>(rgb.b * 257)};
      std::memcpy(p.bytes, words, sizeof words);
      p.size = 6;
      p.full = IsWhite(rgb);
      break;
    }
    case ieCIELab:
      Store(p.bytes, IERGBToCIELab(rgb));
      p.size = 3;
      p.full = IsWhite(rgb);
      break;
    case ie32RGBA:
      Store<uint32_t>(p.bytes, IEColorToRGB32(static_cast<TIEColor>(v)));
      p.size = rect ? 3 : 4;
      p.full = IsWhite(rgb);
      break;
    default:
      break;
  }
  return p;
}

// Writes the pixel into columns x1..x2 of a row of pixels stride bytes apart.
void FillPixels(uint8_t* row, int32_t x1, int32_t x2, int32_t stride, const TFillPixel& pixel) {
  for (int32_t x = x1; x <= x2; ++x) std::memcpy(row + int64_t{x} * stride, pixel.bytes, pixel.size);
}

void FillBits(uint8_t* row, int32_t x1, int32_t x2, bool set) {
  for (int32_t x = x1; x <= x2; ++x) {
    const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = set ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit);
  }
}

}  // namespace

// ---- pixels ------------------------------------------------------------------------------

uint8_t* TIEBitmap::GetPixelAddress(int32_t y, int32_t x, int32_t count) {
  if (IsVirtual()) return VirtualRow(FlipRow(y), x, count);
  uint8_t* row = GetScanline(y);
  if (!row || bitsPerPixel_ < 8) return row;
  return row + int64_t{x} * (bitsPerPixel_ / 8);
}

uint8_t* TIEBitmap::GetPixelAddress24(int32_t x, int32_t y) { return GetScanline(y) + int64_t{x} * 3; }

uint8_t TIEBitmap::GetPixel8(int32_t x, int32_t y) { return *GetPixelAddress(y, x); }
void TIEBitmap::SetPixel8(int32_t x, int32_t y, uint8_t value) {
  GetScanline(y)[x] = value;
  if (value != 255) allFull_ = 0;
}

uint16_t TIEBitmap::GetPixel16(int32_t x, int32_t y) { return Load<uint16_t>(GetPixelAddress(y, x)); }
void TIEBitmap::SetPixel16(int32_t x, int32_t y, uint16_t value) {
  Store(GetScanline(y) + int64_t{x} * 2, value);
  if (value != 65535) allFull_ = 0;
}

float TIEBitmap::GetPixel32f(int32_t x, int32_t y) { return Load<float>(GetPixelAddress(y, x)); }
void TIEBitmap::SetPixel32f(int32_t x, int32_t y, float value) {
  Store(GetScanline(y) + int64_t{x} * 4, value);
  if (!(value >= 1.0f)) allFull_ = 0;
}

uint32_t TIEBitmap::GetPixelCMYK(int32_t x, int32_t y) { return Load<uint32_t>(GetPixelAddress(y, x)); }
void TIEBitmap::SetPixelCMYK(int32_t x, int32_t y, uint32_t value) { Store(GetScanline(y) + int64_t{x} * 4, value); }

TRGB TIEBitmap::GetPixel24(int32_t x, int32_t y) { return Load<TRGB>(GetPixelAddress(y, x)); }
void TIEBitmap::SetPixel24(int32_t x, int32_t y, TRGB value) { Store(GetScanline(y) + int64_t{x} * 3, value); }

uint32_t TIEBitmap::GetPixel32RGBA(int32_t x, int32_t y) { return Load<uint32_t>(GetPixelAddress(y, x)); }
void TIEBitmap::SetPixel32RGBA(int32_t x, int32_t y, uint32_t value) {
  Store(GetScanline(y) + int64_t{x} * 4, value);
  if ((value & 0xFFFFFF) != 0xFFFFFF) allFull_ = 0;
}

std::array<uint16_t, 3> TIEBitmap::GetPixel48(int32_t x, int32_t y) {
  return Load<std::array<uint16_t, 3>>(GetPixelAddress(y, x));
}
void TIEBitmap::SetPixel48(int32_t x, int32_t y, const std::array<uint16_t, 3>& value) {
  Store(GetScanline(y) + int64_t{x} * 6, value);
  if (value[0] != 65535 || value[1] != 65535 || value[2] != 65535) allFull_ = 0;
}

uint8_t TIEBitmap::GetAlphaPixel(int32_t x, int32_t y) {
  if (isAlphaChannel_) return GetPixel8(x, y);
  return GetAlphaChannel()->GetPixel8(x, y);
}

void TIEBitmap::SetAlphaPixel(int32_t x, int32_t y, uint8_t value) {
  TIEBitmap* alpha = isAlphaChannel_ ? this : GetAlphaChannel();
  alpha->SetPixel8(x, y, value);
  if (value != 255) allFull_ = 0;
}

void TIEBitmap::GetPixelRGB(int32_t x, int32_t y, TRGB& rgb) {
  auto grey = [&rgb](uint8_t v) { rgb = TRGB{v, v, v}; };
  switch (pixelFormat_) {
    case ie1g:
      // ie1g addresses the row start: the pixel's byte is x div 8 further.
      grey((GetPixelAddress(y, x)[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0);
      break;
    case ie8p: {
      const uint8_t index = GetPixel8(x, y);
      rgb = TRGB{};
      GetPaletteColor(index, rgb);
      break;
    }
    case ie8g:
      grey(GetPixel8(x, y));
      break;
    case ie16Gray:
      grey(static_cast<uint8_t>(GetPixel16(x, y) >> 8));
      break;
    case ie24RGB:
      rgb = GetPixel24(x, y);
      break;
    case ie32f:
      grey(static_cast<uint8_t>(std::clamp<int64_t>(TruncValue(GetPixel32f(x, y) * 255.0), 0, 255)));
      break;
    case ieCMYK:
      rgb = IECMYKToRGB(GetPixelCMYK(x, y));
      break;
    case ieRGB48: {
      const auto words = GetPixel48(x, y);
      rgb = TRGB{static_cast<uint8_t>(words[2] >> 8), static_cast<uint8_t>(words[1] >> 8),
                 static_cast<uint8_t>(words[0] >> 8)};
      break;
    }
    case ieCIELab:
      rgb = IECIELabToRGB(Load<TCIELab>(GetPixelAddress(y, x)));
      break;
    case ie32RGBA:
      rgb = Load<TRGB>(GetPixelAddress(y, x));
      break;
    default:
      rgb = TRGB{};
      break;
  }
}

// ---- palette ------------------------------------------------------------------------------

void TIEBitmap::GetPaletteColor(int32_t index, TRGB& color) {
  if (index >= 0 && index < paletteLength_) color = palette_[index];
}

void TIEBitmap::SetPaletteColor(int32_t index, TRGB color) {
  if (index < 0 || index >= paletteLength_) return;
  palette_[index] = color;
  UpdateTBitmapPalette();
}

void TIEBitmap::CopyPaletteTo(TObject* dest) {
  auto* target = dynamic_cast<TIEBitmap*>(dest);
  if (!target || target == this) return;
  target->palette_.reset();
  target->paletteLength_ = 0;
  target->paletteUsed_ = 256;
  if (paletteLength_ < 1 || !palette_) return;
  target->palette_ = std::make_unique<TRGB[]>(paletteLength_);
  std::copy_n(palette_.get(), paletteLength_, target->palette_.get());
  target->paletteLength_ = paletteLength_;
  target->paletteUsed_ = paletteUsed_;
  target->UpdateTBitmapPalette();
}

// ---- alpha channel --------------------------------------------------------------------------

TIEBitmap* TIEBitmap::GetAlphaChannel() {
  if (isAlphaChannel_) return nullptr;
  if (!alphaChannel_) alphaChannel_ = CreateAlphaChannel(width_, height_, location_).release();
  return alphaChannel_;
}

void TIEBitmap::ReplaceAlphaChannel(TIEBitmap* bitmap) {
  alphaChannel_ = bitmap;
  if (bitmap) bitmap->isAlphaChannel_ = 1;
}

void TIEBitmap::RemoveAlphaChannel(bool merge, TIEColor background) {
  if (isAlphaChannel_ || !alphaChannel_) return;
  if (merge && pixelFormat_ == ie24RGB) {
    TRGB bg;
    IEColorToRGB(background, bg);
    TIEAccessScope alphaRead(*alphaChannel_, iemRead);
    for (int32_t y = 0; y < height_; ++y) {
      const uint8_t* alpha = alphaChannel_->GetScanline(y);
      auto* pixel = reinterpret_cast<TRGB*>(GetScanline(y));
      for (int32_t x = 0; x < width_; ++x) {
        pixel[x].b = Blend(pixel[x].b, bg.b, alpha[x]);
        pixel[x].g = Blend(pixel[x].g, bg.g, alpha[x]);
        pixel[x].r = Blend(pixel[x].r, bg.r, alpha[x]);
      }
    }
  }
  delete alphaChannel_;
  alphaChannel_ = nullptr;
}

void TIEBitmap::SoftenAlphaEdges(int32_t width) {
  if (isAlphaChannel_ || !alphaChannel_ || width_ < 1 || height_ < 1) return;
  const int64_t w = width_, h = height_;
  std::vector<uint8_t> a(static_cast<size_t>(w * h));
  {
    TIEAccessScope read(*alphaChannel_, iemRead);
    for (int64_t y = 0; y < h; ++y) std::memcpy(&a[y * w], alphaChannel_->GetScanline(static_cast<int32_t>(y)), w);
  }
  // One ramp along a line of count pixels, stride apart, from first.
  auto ramp = [&a](int64_t first, int64_t count, int64_t stride, int step) {
    int r = 0;
    for (int64_t i = 0; i < count; ++i) {
      uint8_t& v = a[first + i * stride];
      if (r < v) {
        r = std::min(r + step, 255);
        v = static_cast<uint8_t>(r);
      } else {
        r = v;
      }
    }
  };
  if (width > 0) {
    const int step = 256 / width;
    for (int64_t y = 0; y < h; ++y) ramp(y * w, w, 1, step);
    for (int64_t y = 0; y < h; ++y) ramp(y * w + w - 1, w, -1, step);
    for (int64_t x = 0; x < w; ++x) ramp(x, h, w, step);
    for (int64_t x = 0; x < w; ++x) ramp((h - 1) * w + x, h, -w, step);
  }
  for (int64_t y = 0; y < h; ++y) {
    const int64_t up = y > 0 ? y - 1 : y, down = y < h - 1 ? y + 1 : y;
    for (int64_t x = 0; x < w; ++x) {
      uint8_t& v = a[y * w + x];
      if (v == 0) continue;
      const int left = x > 0 ? a[y * w + x - 1] : 0, right = x < w - 1 ? a[y * w + x + 1] : 0;
      v = static_cast<uint8_t>((left + right + a[up * w + x] + a[down * w + x]) >> 2);
    }
  }
  TIEAccessScope write(*alphaChannel_, iemWrite);
  for (int64_t y = 0; y < h; ++y) std::memcpy(alphaChannel_->GetScanline(static_cast<int32_t>(y)), &a[y * w], w);
  alphaChannel_->UpdateAllFull();
}

// ---- fills -------------------------------------------------------------------------------------

void TIEBitmap::Fill(double value) {
  if (pixelFormat_ == ieNoFormat || IsEmpty()) return;
  TIEAccessScope write(*this, iemWrite);
  const int64_t v = TruncValue(value);
  if (bitsPerPixel_ <= 8) {
    const uint8_t byte = pixelFormat_ == ie1g ? (v != 0 ? 255 : 0) : static_cast<uint8_t>(v);
    for (int32_t y = 0; y < height_; ++y) std::memset(GetScanline(y), byte, static_cast<size_t>(rowLength_));
    allFull_ = pixelFormat_ == ie1g ? v != 0 : v == 255;
    return;
  }
  const TFillPixel pixel = ColorPixel(pixelFormat_, value, false);
  std::vector<uint8_t> row(static_cast<size_t>(rowLength_));
  FillPixels(row.data(), 0, width_ - 1, bitsPerPixel_ / 8, pixel);
  for (int32_t y = 0; y < height_; ++y) std::memcpy(GetScanline(y), row.data(), row.size());
  allFull_ = pixel.full;
}

void TIEBitmap::FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value) {
  if (pixelFormat_ == ieNoFormat || IsEmpty()) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width_ - 1);
  y2 = std::min(y2, height_ - 1);
  if (x2 < x1 || y2 < y1) return;
  TIEAccessScope readWrite(*this, iemReadWrite);
  const int64_t v = TruncValue(value);
  const TFillPixel pixel = ColorPixel(pixelFormat_, value, true);
  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* row = GetScanline(y);
    if (pixelFormat_ == ie1g)
      FillBits(row, x1, x2, v != 0);
    else if (bitsPerPixel_ == 8)
      std::memset(row + x1, static_cast<uint8_t>(v), static_cast<size_t>(x2 - x1 + 1));
    else
      FillPixels(row, x1, x2, bitsPerPixel_ / 8, pixel);
  }
  if (isAlphaChannel_ && bitsPerPixel_ == 8) UpdateAllFull();
}

// ---- scans -----------------------------------------------------------------------------------------

int64_t TIEBitmap::PixelBytesPerRow() const { return (int64_t{width_} * bitsPerPixel_ + 7) / 8; }

void TIEBitmap::UpdateAllFull() {
  TIEAccessScope read(*this, iemRead);
  const int64_t bytes = PixelBytesPerRow();
  allFull_ = 0;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetScanline(y);
    if (std::any_of(row, row + bytes, [](uint8_t b) { return b != 255; })) return;
  }
  allFull_ = 1;
}

bool TIEBitmap::IsAllZero() {
  TIEAccessScope read(*this, iemRead);
  const int64_t bytes = PixelBytesPerRow();
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetScanline(y);
    if (std::any_of(row, row + bytes, [](uint8_t b) { return b != 0; })) return false;
  }
  return true;
}

bool TIEBitmap::IsGrayscale() {
  if (pixelFormat_ == ie8p) {
    for (int32_t i = 0; i < paletteLength_; ++i)
      if (palette_[i].r != palette_[i].g || palette_[i].g != palette_[i].b) return false;
    return true;
  }
  if (pixelFormat_ != ie24RGB && pixelFormat_ != ie32RGBA && pixelFormat_ != ieRGB48) return true;
  TIEAccessScope read(*this, iemRead);
  const int32_t stride = bitsPerPixel_ / 8;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetScanline(y);
    for (int32_t x = 0; x < width_; ++x) {
      const uint8_t* p = row + int64_t{x} * stride;
      if (pixelFormat_ == ieRGB48) {
        const auto w = Load<std::array<uint16_t, 3>>(p);
        if (w[0] != w[1] || w[1] != w[2]) return false;
      } else if (p[0] != p[1] || p[1] != p[2]) {
        return false;
      }
    }
  }
  return true;
}

void TIEBitmap::ComputeDisplayRange() {
  double lo, hi;
  switch (pixelFormat_) {
    case ie8g:
    case ie24RGB:
      lo = 255, hi = -255;
      break;
    case ie16Gray:
      lo = 65535, hi = -65535;
      break;
    case ie32f:
      lo = 100000000, hi = -100000000;
      break;
    default:
      return;
  }
  TIEAccessScope read(*this, iemRead);
  const int64_t samples = int64_t{width_} * channels_;
  for (int32_t y = 0; y < height_; ++y) {
    const uint8_t* row = GetScanline(y);
    for (int64_t i = 0; i < samples; ++i) {
      double s;
      if (pixelFormat_ == ie16Gray)
        s = Load<uint16_t>(row + i * 2);
      else if (pixelFormat_ == ie32f)
        s = Load<float>(row + i * 4);
      else
        s = row[i];
      lo = std::min(lo, s);
      hi = std::max(hi, s);
    }
  }
  DisplayMin = lo;
  DisplayMax = hi;
}
