// Canvas work on alpha channels and grey planes: the 3 x 3 convolution and
// its presets, the bounds of the opaque pixels and histogram matching.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/processing/imageryproc_canvas.h"
#include "imaging/processing/imageryproc_component.h"
#include "platform/win/user_clipboard.h"

UINT IERawClipboardFormat = 0;

namespace {

constexpr std::array<TIEConvolveKernel, 9> kPresets = {{
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

constexpr std::array<const char*, 9> kPresetNames = {"None",        "Blur",        "Edges",
                                                     "Emboss",      "High Pass 1", "High Pass 2",
                                                     "High Pass 3", "Low Pass 1",  "Low Pass 2"};

}  // namespace

std::vector<TIEConvolveKernel> IEFilterPresets(kPresets.begin(), kPresets.end());

const TIEConvolveKernel& IEDefaultFilterPreset(size_t index) { return kPresets.at(index); }
std::vector<std::string> IEFilterPresetNames(kPresetNames.begin(), kPresetNames.end());

void IEFreeFilterPresets() {
  IEFilterPresets.clear();
  IEFilterPresetNames.clear();
}

void IEInitFilterPresets() {
  IEFreeFilterPresets();
  for (int32_t i = 0; i < static_cast<int32_t>(kPresets.size()); ++i)
    IEAddFilterPreset(kPresets[static_cast<size_t>(i)], IEGetFilterPresetName(i));
}

int32_t IEAddFilterPreset(const TIEConvolveKernel& preset, const std::string& name) {
  IEFilterPresets.push_back(preset);
  IEFilterPresetNames.push_back(name);
  return static_cast<int32_t>(IEFilterPresets.size()) - 1;
}

std::string IEGetFilterPresetName(int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(kPresetNames.size()) ? kPresetNames[static_cast<size_t>(index)]
                                                                          : "";
}

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

void IEMatchChannelHistogram(TIEBitmap* bitmap, int32_t channel, const std::array<int64_t, 256>& reference,
                             int64_t refCount) {
  if (!bitmap || bitmap->IsEmpty() || channel < 0 || channel > 2 || refCount <= 0) return;
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
  for (int32_t c = 0; c < 3; ++c) IEMatchChannelHistogram(bitmap, c, hist[c], count);
}

namespace {

// Clears the alpha of columns x1..x2 and rows y1..y2 (cut to the image) and of their mirror image left-right.
void ClearMirrored(TIEBitmap* bitmap, int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
  const int32_t width = bitmap->GetWidth();
  TIEBitmap* alpha = bitmap->GetAlphaChannel();
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, width - 1);
  y2 = std::min(y2, bitmap->GetHeight() - 1);
  for (int32_t y = y1; y <= y2; ++y) {
    uint8_t* row = alpha->GetScanline(y);
    for (int32_t x = x1; x <= x2; ++x) row[x] = row[width - 1 - x] = 0;
  }
}

}  // namespace

void IERoundCorners(TIEBitmap* bitmap, int32_t radiusX, int32_t radiusY) {
  if (!bitmap || bitmap->GetWidth() == 0 || bitmap->GetHeight() == 0 || radiusX <= 0 || radiusY <= 0) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  const int32_t n = radiusX + radiusY;
  // The top corners: everything above and left of the curve from (0, ry) to (rx, 0).
  for (const POINT& p : IEBezierPoints({0, radiusY}, {0, 0}, {radiusX, 0}, {radiusX, 0}, n))
    ClearMirrored(bitmap, 0, std::min<int32_t>(p.x, width - 1), 0, std::min<int32_t>(p.y, height - 1));
  // The bottom corners: below and right of the curve from (w, h - ry) to (w - rx, h).
  for (const POINT& p : IEBezierPoints({width, height - radiusY}, {width, height}, {width - radiusX, height},
                                       {width - radiusX, height}, n))
    ClearMirrored(bitmap, std::max<int32_t>(p.x, 1) - 1, width - 1, std::max<int32_t>(p.y, 1) - 1, height - 1);
  bitmap->GetAlphaChannel()->UpdateAllFull();
}

void IEImageryProcInitialize() {
  IEInitFilterPresets();
  IERawClipboardFormat = RegisterClipboardFormatA("IMAGERY RAW FORMAT");
}

void IEImageryProcFinalize() { IEFreeFilterPresets(); }
