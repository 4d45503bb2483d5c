// The soft drop shadow under an image's opaque parts, for the whole image
// and for one rectangle of it.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_canvas.h"

namespace {

// Copies of the shape before the blur: an ie8g bitmap of the alpha channel.
std::unique_ptr<TIEBitmap> CopyOf(TIEBitmap& alpha) {
  auto copy = std::make_unique<TIEBitmap>();
  copy->Assign(&alpha);
  return copy;
}

// Paints the shadow over x1..x2, y1..y2: the shape O and the shadow in the
// alpha channel give each pixel its colour and alpha.
void Blend(TIEBitmap& bitmap, TIEBitmap& shape, int32_t intensity, TColor color, int32_t x1, int32_t y1, int32_t x2,
           int32_t y2, bool divideBilevel) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format != ie24RGB && format != ie1g) return;
  TRGB shadow;
  IEColorToRGB(color, shadow);
  const double k = 3 - 2 * std::clamp(intensity, 0, 100) / 100.0;
  TIEBitmap& alpha = *bitmap.GetAlphaChannel();
  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* row = bitmap.GetScanline(y);
    const uint8_t* o = shape.GetScanline(y);
    uint8_t* s = alpha.GetScanline(y);
    for (int32_t x = x1; x <= x2; ++x) {
      if (o[x] == 0 && s[x] != 0) {
        if (format == ie24RGB)
          std::memcpy(row + x * 3, &shadow, 3);
        else
          row[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
        if (k != 1 && (format == ie24RGB || divideBilevel)) s[x] = static_cast<uint8_t>(s[x] / k);
      } else if (o[x] > 0 && o[x] < 255 && format == ie24RGB) {
        const double a = o[x] / 255.0, b = s[x] / 255.0;
        uint8_t* p = row + x * 3;
        const uint8_t target[3] = {shadow.b, shadow.g, shadow.r};
        for (int c = 0; c < 3; ++c) {
          const auto mixed = static_cast<uint8_t>(target[c] * b + p[c] * (1 - b));
          p[c] = static_cast<uint8_t>(p[c] * a + mixed * (1 - a));
        }
        s[x] = static_cast<uint8_t>((a + b * (1 - a)) * 255);
      } else {
        s[x] = o[x];
      }
    }
  }
}

// The filter list's "Blur" preset, or the built-in one when the list lacks it.
const TIEConvolveKernel& BlurPreset() {
  return IEFilterPresets.size() > kBlurPreset ? IEFilterPresets[kBlurPreset] : IEDefaultFilterPreset(kBlurPreset);
}

}  // namespace

void IEAddSoftShadow(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity, bool enlarge,
                     TColor shadowColor, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap || bitmap->IsEmpty()) return;
  bitmap->GetAlphaChannel()->SetFullFlag(false);
  if (enlarge) {
    const int32_t m = IEGetShadowMargin(offsetX, offsetY, sigma);
    const int64_t w = int64_t{bitmap->GetWidth()} + m, h = int64_t{bitmap->GetHeight()} + m;
    if (w > INT32_MAX || h > INT32_MAX) return;
    bitmap->ResizeKeepingContent(static_cast<int32_t>(w), static_cast<int32_t>(h), 0, 0, 1, 1);
  }
  TIEBitmap& alpha = *bitmap->GetAlphaChannel();
  const auto shape = CopyOf(alpha);
  IEGaussianBlur(&alpha, sender, sigma, onProgress);
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
  if (offsetX != 0 || offsetY != 0) alpha.MoveRect(0, 0, w - 1, h - 1, offsetX, offsetY, 0, true);
  Blend(*bitmap, *shape, intensity, shadowColor, 0, 0, w - 1, h - 1, true);
}

int32_t IEAddSoftShadowRect(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity,
                            TColor shadowColor, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const bool gaussian = sigma != 0;
  if (!gaussian) sigma = 2;
  const int32_t m = IEGetShadowMargin(offsetX, offsetY, sigma), half = m / 2;
  if (!bitmap || bitmap->IsEmpty()) return m;
  TIEBitmap& alpha = *bitmap->GetAlphaChannel();
  alpha.SetFullFlag(false);
  const auto shape = CopyOf(alpha);
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
  IEOrderCoords(x1, y1, x2, y2);
  auto clamped = [&](int32_t margin, int32_t& a1, int32_t& b1, int32_t& a2, int32_t& b2) {
    a1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x1} - margin, 0, w - 1));
    b1 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y1} - margin, 0, h - 1));
    a2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{x2} + margin, 0, w - 1));
    b2 = static_cast<int32_t>(std::clamp<int64_t>(int64_t{y2} + margin, 0, h - 1));
  };
  int32_t bx1, by1, bx2, by2;
  clamped(half, bx1, by1, bx2, by2);
  if (gaussian)
    IEGaussianBlurGray8(&alpha, bx1, by1, bx2, by2, sigma);
  else
    IEConvolve3x3Gray8(&alpha, BlurPreset(), bx1, by1, bx2 + 1, by2 + 1);  // its right and bottom ends are excluded
  if (offsetX != 0 || offsetY != 0)
    alpha.MoveRect(bx1, by1, bx2, by2,
                   static_cast<int32_t>(std::clamp<int64_t>(int64_t{bx1} + offsetX, INT32_MIN, INT32_MAX)),
                   static_cast<int32_t>(std::clamp<int64_t>(int64_t{by1} + offsetY, INT32_MIN, INT32_MAX)), 0, true);
  int32_t cx1, cy1, cx2, cy2;
  clamped(m, cx1, cy1, cx2, cy2);
  Blend(*bitmap, *shape, intensity, shadowColor, cx1, cy1, cx2, cy2, false);
  return m;
}
