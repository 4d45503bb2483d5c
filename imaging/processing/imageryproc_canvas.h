// The 3 x 3 convolution of grey planes and its presets, the bounds of the
// opaque pixels and histogram matching (the soft shadows are in imageryproc.h).
#pragma once

#include <array>
#include <cstdint>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc.h"
#include "platform/win/wintypes.h"

struct TIEConvolveKernel {
  int32_t Weights[9];  // row by row, top-left first
  int32_t Divisor;     // 0 counts as 1
};
// None, Blur, Edges, Emboss, High Pass 1..3, Low Pass 1 and 2.
extern const std::array<TIEConvolveKernel, 9> IEFilterPresets;
extern const std::array<const char*, 9> IEFilterPresetNames;

// Rows y1..y2 - 1 and columns x1..x2 - 1 (ends cut to the image) of an ie8g
// bitmap become |sum of weights x neighbours| div divisor, neighbours clamped
// into the image; other formats are left alone.
void IEConvolve3x3Gray8(TIEBitmap* bitmap, const TIEConvolveKernel& kernel, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2);
// Columns and rows (inclusive) holding non-zero alpha; the whole image
// without an alpha channel; right and bottom -1 when every pixel is transparent.
RECT IEGetAlphaBounds(TIEBitmap* bitmap);
// Gives the ie24RGB or ieRGB48 bitmap the channel histograms of the ie24RGB reference.
void IEMatchHistogram(TIEBitmap* reference, TIEBitmap* bitmap);
