// The 3 x 3 convolution of grey planes and its presets, the bounds of the
// opaque pixels and histogram matching (the soft shadows are in imageryproc.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc.h"
#include "platform/win/wintypes.h"

struct TIEConvolveKernel {
  int32_t Weights[9];  // row by row, top-left first
  int32_t Divisor;     // 0 counts as 1
};
// The filter presets and their names, in step: None, Blur, Edges, Emboss,
// High Pass 1..3, Low Pass 1 and 2 from the program's start (and again
// after IEInitFilterPresets), then those added.
extern std::vector<TIEConvolveKernel> IEFilterPresets;
extern std::vector<std::string> IEFilterPresetNames;
// The nine presets again, without those added.
void IEInitFilterPresets();
// Empties both lists.
void IEFreeFilterPresets();
// Preset index of the 3 x 3 "Blur" (a box of nine, divided by 9).
constexpr size_t kBlurPreset = 1;
// The built-in preset 0..8 as the lists start out (they may since have changed).
const TIEConvolveKernel& IEDefaultFilterPreset(size_t index);
// Appends a preset and its name; returns its index.
int32_t IEAddFilterPreset(const TIEConvolveKernel& preset, const std::string& name);
// The name of preset 0..8; empty for any other index.
std::string IEGetFilterPresetName(int32_t index);

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
// Channel 0 blue, 1 green, 2 red of an ie24RGB or ieRGB48 bitmap takes the
// tones of the 256-level histogram of refCount pixels: equalised, then mapped
// through the reference's cumulative curve. Other formats, channels and an
// empty reference change nothing.
void IEMatchChannelHistogram(TIEBitmap* bitmap, int32_t channel, const std::array<int64_t, 256>& refHist,
                             int64_t refCount);
// Makes the four corners transparent along a curve of the radii (the alpha
// channel is made when missing); nothing when a radius or a side is 0.
void IERoundCorners(TIEBitmap* bitmap, int32_t radiusX, int32_t radiusY);
