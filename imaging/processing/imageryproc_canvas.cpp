// Canvas work on alpha channels and grey planes: the 3 x 3 convolution and
// its presets, the bounds of the opaque pixels, histogram matching and the
// soft shadow around a rectangle.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/processing/imageryproc_canvas.h"
#include "imaging/processing/imageryproc_component.h"

const std::array<TIEConvolveKernel, 9> IEFilterPresets = {{
    {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 0},
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 9},
    {{1, 1, 1, 1, -8, 1, 1, 1, 1}, 1},
    {{-1, 0, 1, -1, 1, 1, -1, 0, 1}, 1},
    {{0, -1, 0, -1, 5, -1, 0, -1, 0}, 1},
    {{-1, -1, -1, -1, 9, -1, -1, -1, -1}, 1},
    {{1, -2, 1, -2, 5, -2, 1, -2, 1}, 1},
    {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 10},
    {{1, 2, 1, 2, 4, 2, 1, 2, 1}, 16},
}};

const std::array<const char*, 9> IEFilterPresetNames = {"None",        "Blur",        "Edges",
                                                        "Emboss",      "High Pass 1", "High Pass 2",
                                                        "High Pass 3", "Low Pass 1",  "Low Pass 2"};

void IEConvolve3x3Gray8(TIEBitmap* bitmap, const TIEConvolveKernel& kernel, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2) {
  if (!bitmap || bitmap->GetPixelFormat() != ie8g) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width);
  y2 = std::min(y2, height);
  if (x2 <= x1 || y2 <= y1) return;
  const int32_t divisor = kernel.Divisor == 0 ? 1 : kernel.Divisor;
  // Copies of the rows y1 - 1 .. y2 (clamped), so that results never feed later sums.
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = y1 - 1; y <= y2; ++y) {
    const uint8_t* row = bitmap->GetScanline(std::clamp(y, 0, height - 1));
    rows.emplace_back(row, row + width);
  }
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* out = bitmap->GetScanline(y);
    for (int32_t x = x1; x < x2; ++x) {
      int64_t sum = 0;
      for (int32_t dy = 0; dy < 3; ++dy) {
        const std::vector<uint8_t>& row = rows[static_cast<size_t>(y - y1 + dy)];
        for (int32_t dx = 0; dx < 3; ++dx)
          sum += int64_t{kernel.Weights[dy * 3 + dx]} * row[static_cast<size_t>(std::clamp(x + dx - 1, 0, width - 1))];
      }
      out[x] = IEClampByte(static_cast<int32_t>(std::min<int64_t>(std::llabs(sum) / divisor, 255)));
    }
  }
}

RECT IEGetAlphaBounds(TIEBitmap* bitmap) {
  const int32_t width = bitmap ? bitmap->GetWidth() : 0, height = bitmap ? bitmap->GetHeight() : 0;
  RECT bounds{0, 0, width - 1, height - 1};
  TIEBitmap* alpha = bitmap ? bitmap->PeekAlphaChannel() : nullptr;
  if (!alpha) return bounds;
  bounds = RECT{width, height, -1, -1};
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = alpha->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      if (!row[x]) continue;
      bounds.left = std::min<LONG>(bounds.left, x);
      bounds.right = std::max<LONG>(bounds.right, x);
      bounds.top = std::min<LONG>(bounds.top, y);
      bounds.bottom = std::max<LONG>(bounds.bottom, y);
    }
  }
  return bounds;
}

// ---- histogram matching ------------------------------------------------------------------------

namespace {

void MatchChannel(TIEBitmap* bitmap, int32_t channel, const std::array<int64_t, 256>& reference, int64_t refCount) {
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie24RGB && format != ieRGB48) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  const auto bin = [&](uint8_t* row, int32_t x) -> int32_t {
    return format == ie24RGB ? row[3 * x + channel] : reinterpret_cast<uint16_t*>(row)[3 * x + 2 - channel] / 256;
  };
  const auto put = [&](uint8_t* row, int32_t x, int32_t level) {
    if (format == ie24RGB)
      row[3 * x + channel] = static_cast<uint8_t>(level);
    else
      reinterpret_cast<uint16_t*>(row)[3 * x + 2 - channel] = static_cast<uint16_t>(level * 257);
  };
  std::array<int64_t, 256> counts{};
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) ++counts[bin(bitmap->GetScanline(y), x)];
  std::array<double, 256> cdf{}, ref{};
  int64_t running = 0, refRunning = 0;
  for (int32_t i = 0; i < 256; ++i) {
    running += counts[i];
    refRunning += reference[i];
    cdf[i] = static_cast<double>(running) * 255 / (static_cast<double>(width) * height);
    ref[i] = 255.0 / static_cast<double>(refCount) * static_cast<double>(refRunning);
  }
  std::array<int32_t, 256> map{};
  for (int32_t i = 0; i < 256; ++i) {
    int32_t best = 0;
    for (int32_t j = 1; j < 256; ++j)
      if (std::fabs(i - ref[j]) < std::fabs(i - ref[best])) best = j;
    map[i] = best;
  }
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) put(row, x, map[static_cast<size_t>(std::trunc(cdf[bin(row, x)]))]);
  }
}

}  // namespace

void IEMatchHistogram(TIEBitmap* reference, TIEBitmap* bitmap) {
  if (!reference || !bitmap || reference->GetPixelFormat() != ie24RGB || reference->IsEmpty() || bitmap->IsEmpty())
    return;
  std::array<std::array<int64_t, 256>, 3> hist{};
  for (int32_t y = 0; y < reference->GetHeight(); ++y) {
    const uint8_t* row = reference->GetScanline(y);
    for (int32_t x = 0; x < reference->GetWidth(); ++x)
      for (int32_t c = 0; c < 3; ++c) ++hist[c][row[3 * x + c]];
  }
  const int64_t count = int64_t{reference->GetWidth()} * reference->GetHeight();
  for (int32_t c = 0; c < 3; ++c) MatchChannel(bitmap, c, hist[c], count);
}

// ---- soft shadow -------------------------------------------------------------------------------

namespace {

// Step 5 of the shadow: combines shape o and shadow s into pixel and alpha.
void BlendShadow(TIEBitmap* bitmap, TIEBitmap* shape, TIEBitmap* shadow, int32_t x1, int32_t y1, int32_t x2,
                 int32_t y2, TRGB color, double k, bool divideOneBit) {
  const bool colour = bitmap->GetPixelFormat() == ie24RGB, bits = bitmap->GetPixelFormat() == ie1g;
  if (!colour && !bits) return;  // other formats keep the blurred, moved alpha only
  for (int32_t y = y1; y <= y2; ++y)
    for (int32_t x = x1; x <= x2; ++x) {
      const int32_t o = shape->GetPixel8(x, y), s = shadow->GetPixel8(x, y);
      if (o == 0 && s != 0) {
        if (colour) bitmap->SetPixel24(x, y, color);
        if (bits) bitmap->GetScanline(y)[x >> 3] &= static_cast<uint8_t>(~(0x80 >> (x & 7)));
        const bool divide = k != 1 && (colour || divideOneBit);
        shadow->SetPixel8(x, y, static_cast<uint8_t>(divide ? std::trunc(s / k) : s));
      } else if (o > 0 && o < 255 && colour) {
        const double a = o / 255.0, b = s / 255.0;
        TRGB p = bitmap->GetPixel24(x, y);
        const auto mix = [&](uint8_t pixel, uint8_t shade) {
          const double c = std::trunc(shade * b + pixel * (1 - b));
          return static_cast<uint8_t>(std::trunc(pixel * a + c * (1 - a)));
        };
        p = {mix(p.b, color.b), mix(p.g, color.g), mix(p.r, color.r)};
        bitmap->SetPixel24(x, y, p);
        shadow->SetPixel8(x, y, static_cast<uint8_t>(std::trunc((a + b * (1 - a)) * 255)));
      } else {
        shadow->SetPixel8(x, y, static_cast<uint8_t>(o));
      }
    }
}

// Moves the rectangle of the plane by (dx, dy), filling what it leaves with 0.
void MovePlane(TIEBitmap* plane, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dx, int32_t dy) {
  if (dx == 0 && dy == 0) return;
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = y1; y <= y2; ++y) rows.emplace_back(plane->GetScanline(y) + x1, plane->GetScanline(y) + x2 + 1);
  for (int32_t y = y1; y <= y2; ++y) std::memset(plane->GetScanline(y) + x1, 0, static_cast<size_t>(x2 - x1 + 1));
  for (int32_t y = y1; y <= y2; ++y) {
    const int32_t ty = y + dy;
    if (ty < y1 || ty > y2) continue;
    for (int32_t x = x1; x <= x2; ++x) {
      const int32_t tx = x + dx;
      if (tx >= x1 && tx <= x2) plane->GetScanline(ty)[tx] = rows[static_cast<size_t>(y - y1)][static_cast<size_t>(x - x1)];
    }
  }
}

}  // namespace

int32_t IEAddSoftShadowRect(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity,
                            TColor shadowColor, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!bitmap || bitmap->IsEmpty()) return 0;
  const bool gaussian = sigma != 0;
  if (!gaussian) sigma = 2;
  const int32_t margin = IEGetShadowMargin(offsetX, offsetY, sigma), half = margin / 2;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  alpha->SetFullFlag(false);
  TIEBitmap shape(*alpha);
  const auto clampX = [&](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, width - 1)); };
  const auto clampY = [&](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, height - 1)); };
  const int32_t bx1 = clampX(int64_t{x1} - half), by1 = clampY(int64_t{y1} - half);
  const int32_t bx2 = clampX(int64_t{x2} + half), by2 = clampY(int64_t{y2} + half);
  if (gaussian)
    IEGaussianBlurGray8(alpha, bx1, by1, bx2, by2, sigma);
  else  // the last column and row are filtered as the others
    IEConvolve3x3Gray8(alpha, IEFilterPresets[1], bx1, by1, bx2 + 1, by2 + 1);
  MovePlane(alpha, bx1, by1, bx2, by2, offsetX, offsetY);
  TRGB color;
  IEColorToRGB(shadowColor, color);
  const double k = 3 - 2 * std::clamp(intensity, 0, 100) / 100.0;
  BlendShadow(bitmap, &shape, alpha, clampX(int64_t{x1} - margin), clampY(int64_t{y1} - margin),
              clampX(int64_t{x2} + margin), clampY(int64_t{y2} + margin), color, k, false);
  return margin;
}

void IEAddSoftShadow(TIEBitmap* bitmap, int32_t offsetX, int32_t offsetY, double sigma, int32_t intensity,
                     bool enlarge, TColor shadowColor, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap || bitmap->IsEmpty()) return;
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  alpha->SetFullFlag(false);
  if (enlarge) {
    const int64_t margin = IEGetShadowMargin(offsetX, offsetY, sigma);
    const int64_t width = bitmap->GetWidth() + margin, height = bitmap->GetHeight() + margin;
    if (width > INT32_MAX || height > INT32_MAX) return;
    bitmap->ResizeKeepingContent(static_cast<int32_t>(width), static_cast<int32_t>(height), 0, 0, 1, 1);
    alpha = bitmap->GetAlphaChannel();
  }
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  TIEBitmap shape(*alpha);
  IEGaussianBlur(alpha, sender, sigma, onProgress);
  MovePlane(alpha, 0, 0, width - 1, height - 1, offsetX, offsetY);
  TRGB color;
  IEColorToRGB(shadowColor, color);
  const double k = 3 - 2 * std::clamp(intensity, 0, 100) / 100.0;
  BlendShadow(bitmap, &shape, alpha, 0, 0, width - 1, height - 1, color, k, true);
}
