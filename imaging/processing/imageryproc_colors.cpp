// Colour reduction: grey, quantization in place, error diffusion into a
// palette image, ordered dither and threshold to one bit, and the component
// operations over them.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "imaging/codecs/neurquant.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/processing/imageryproc_internal.h"

namespace {

// The 8 x 8 ordered-dither thresholds, indexed [x mod 8][y mod 8].
constexpr uint8_t kBayer[8][8] = {
    {0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26}, {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22}, {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

// Rows of ie24RGB pixels are stored blue, green, red.
TRGB PixelAt(const uint8_t* row, int32_t x) { return TRGB{row[3 * x], row[3 * x + 1], row[3 * x + 2]}; }
void PutPixel(uint8_t* row, int32_t x, TRGB c) {
  row[3 * x] = c.b;
  row[3 * x + 1] = c.g;
  row[3 * x + 2] = c.r;
}

bool Is24(TIEBitmap* bitmap) { return bitmap && !bitmap->IsEmpty() && bitmap->GetPixelFormat() == ie24RGB; }

// The one-bit result replaces the bitmap's image (its alpha channel stays).
void TakeImage(TIEBitmap* bitmap, TIEBitmap& result) { bitmap->AssignImage(&result); }

// Adds err x weight div 16 (truncated toward zero) to channel c of a pixel.
void Spread(uint8_t* pixel, int32_t channel, int32_t err, int32_t weight) {
  IESaturatedAddByte(pixel[channel], err * weight / 16);
}

}  // namespace

void IEConvertToGrayRect(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                         const TIEProgressEvent& onProgress, TObject* sender) {
  if (!Is24(bitmap)) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, bitmap->GetWidth());
  y2 = std::min(y2, bitmap->GetHeight());
  if (x2 <= x1 || y2 <= y1) return;
  iep::TProgress progress(onProgress, sender, y2 - y1);
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = x1; x < x2; ++x) {
      const auto grey = IEClampByte(IERGBToGray(PixelAt(row, x)));
      PutPixel(row, x, TRGB{grey, grey, grey});
    }
    progress.Report(y - y1 + 1);
  }
}

void IEQuantizeInPlace(TIEBitmap* bitmap, int32_t numColors, TRGB* palette, const TIEProgressEvent& onProgress,
                       TObject* sender) {
  if (!Is24(bitmap) || numColors < 1) return;
  std::vector<TRGB> own;
  if (!palette) {
    own.resize(static_cast<size_t>(numColors));
    palette = own.data();
  }
  const TIEQuantizer quantizer(*bitmap, palette, numColors);
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  iep::TProgress progress(onProgress, sender, height);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = 0; x < width; ++x) PutPixel(row, x, palette[quantizer.GetRGBIndex(PixelAt(row, x))]);
    progress.Report(y + 1);
  }
}

void IEDiffuseToPalette(TIEBitmap* source, TIEBitmap* dest, int32_t numColors) {
  if (!Is24(source) || !dest || dest == source) return;
  numColors = std::clamp(numColors, 1, 256);
  std::vector<TRGB> palette(static_cast<size_t>(numColors));
  {
    const TIEQuantizer quantizer(*source, palette.data(), numColors);
  }
  const int32_t width = source->GetWidth(), height = source->GetHeight();
  if (!dest->Allocate(width, height, ie8p)) return;
  dest->SetPaletteUsed(numColors);
  for (int32_t i = 0; i < numColors; ++i) dest->SetPaletteColor(i, palette[static_cast<size_t>(i)]);

  const size_t rowBytes = static_cast<size_t>(width) * 3;
  std::vector<uint8_t> current(source->GetScanline(0), source->GetScanline(0) + rowBytes), next(rowBytes);
  if (height > 1) std::memcpy(next.data(), source->GetScanline(1), rowBytes);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* out = dest->GetScanline(y);
    const bool below = y + 1 < height;
    for (int32_t x = 0; x < width; ++x) {
      uint8_t* pixel = current.data() + 3 * static_cast<size_t>(x);
      const int32_t index = IENearestPaletteIndex(palette.data(), numColors, PixelAt(current.data(), x));
      out[x] = static_cast<uint8_t>(index);
      const TRGB chosen = palette[static_cast<size_t>(index)];
      // Red, green, blue in turn: bytes 2, 1, 0 of the pixel.
      const std::pair<int32_t, uint8_t> channels[3] = {{2, chosen.r}, {1, chosen.g}, {0, chosen.b}};
      for (const auto& [c, value] : channels) {
        const int32_t err = pixel[c] - value;
        if (x + 1 < width) Spread(pixel + 3, c, err, 7);
        if (!below) continue;
        uint8_t* under = next.data() + 3 * static_cast<size_t>(x);
        if (x >= 1) Spread(under - 3, c, err, 3);
        Spread(under, c, err, 5);
        if (x + 1 < width) Spread(under + 3, c, err, 1);
      }
    }
    std::swap(current, next);
    if (y + 2 < height) std::memcpy(next.data(), source->GetScanline(y + 2), rowBytes);
  }
}

void IEConvertTo1BitOrdered(TIEBitmap* bitmap, TIEProgressRecord& progress) {
  if (!Is24(bitmap)) return;
  const int32_t width = bitmap->GetWidth(), height = bitmap->GetHeight();
  progress.per1 = 100.0 / (height + 0.5);
  TIEBitmap result;
  if (!result.Allocate(width, height, ie1g)) return;
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = bitmap->GetScanline(y);
    uint8_t* out = result.GetScanline(y);
    std::memset(out, 0, static_cast<size_t>((width + 7) / 8));
    for (int32_t x = 0; x < width; ++x) {
      const TRGB c = PixelAt(row, x);
      const int32_t level =
          (c.r >= 251 && c.g >= 251 && c.b >= 251) ? 64 : std::clamp(IERGBToGray(c), 0, 255) >> 2;
      iep::PutBit(out, x, kBayer[x % 8][y % 8] < level);
    }
    progress.Report(static_cast<int32_t>(std::trunc(progress.per1 * (y + 1))));
  }
  TakeImage(bitmap, result);
}

void IEConvertTo1BitThreshold(TIEBitmap* bitmap, int32_t threshold, TIEProgressRecord& progress) {
  if (!Is24(bitmap)) return;
  TIEBitmap result;
  IEThresholdTo1Bit(bitmap, &result, threshold, progress.fOnProgress, progress.Sender);
  if (result.GetPixelFormat() == ie1g) TakeImage(bitmap, result);
}

// ---- the component's operations -----------------------------------------------------------

void TImageryProc::ConvertToGray() {
  int32_t x1, y1, x2, y2;
  TIEBitmap* work = nullptr;
  TIEMask* mask = nullptr;
  if (!BeginImageWork({ie24RGB}, x1, y1, x2, y2, "ConvertToGray", work, mask)) return;
  IEConvertToGrayRect(work, x1, y1, x2, y2, OnProgress, this);
  EndImageWork(work, mask);
  DoFinishWork();
}

void TImageryProc::ReduceToOneBit(uint8_t ditherMode) {
  TIEProgressRecord progress;
  progress.fOnProgress = OnProgress;
  progress.Sender = this;
  if (ditherMode == 0)
    IEConvertTo1BitOrdered(bitmap_, progress);
  else
    IEConvertTo1BitThreshold(bitmap_, -1, progress);
}

void TImageryProc::ConvertTo(int32_t numColors, uint8_t ditherMode) {
  if (!CheckAndConvert({ie24RGB})) return;
  char caption[40];
  std::snprintf(caption, sizeof caption, "ConvertTo %d", static_cast<int>(numColors));
  UndoImage(caption);
  if (numColors < 3) {
    ReduceToOneBit(ditherMode);
  } else if (numColors <= 1024) {
    if (ditherMode == 2 && numColors <= 256) {
      TIEBitmap result;
      IEDiffuseToPalette(bitmap_, &result, numColors);
      // A framework bitmap keeps true colour.
      if (bitmap_->Location() == ieTBitmap) result.ConvertToPixelFormat(ie24RGB);
      bitmap_->AssignImage(&result);
    } else {
      IEQuantizeInPlace(bitmap_, numColors, nullptr, OnProgress, this);
    }
  }
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::ConvertToPalette(int32_t numColors, TRGB* palette, uint8_t ditherMode) {
  if (numColors == 0 || !CheckAndConvert({ie24RGB})) return;
  UndoImage("ConvertToPalette");
  if (numColors < 3) {
    ReduceToOneBit(ditherMode);
    if (palette && numColors > 0) palette[0] = TRGB{0, 0, 0};
    if (palette && numColors > 1) palette[1] = TRGB{255, 255, 255};
  } else if (numColors <= 1024) {
    IEQuantizeInPlace(bitmap_, numColors, palette, OnProgress, this);
  }
  NotifyImageChanged();
  DoFinishWork();
}
