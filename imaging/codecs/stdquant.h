// The box quantizer: a 32 x 32 x 32 histogram of the image's colours cut
// into at most 256 boxes, each split where it lowers the colour error most;
// a colour's index is the box of its histogram cell.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"

// One box of colour cells: low bounds inclusive, high bounds exclusive, in
// cell units (0..32) on red, green and blue.
struct TIEQuantBox {
  double Score = 0;  // the box's share of the squared colour error
  std::array<double, 3> Mean{};
  int64_t Count = 0;
  std::array<std::array<int64_t, 32>, 3> Projections{};
  std::array<int32_t, 3> Low{};
  std::array<int32_t, 3> High{};
};

struct TIEBoxQuantizer {
  std::array<uint32_t, 32768> Histogram{};
  std::array<TIEQuantBox, 256> Boxes{};
  std::array<uint8_t, 32768> IndexMap{};
  int64_t TotalPixels = 0;
  int32_t RequestedColors = 0;
  int32_t BoxCount = 0;
  TIEBitmap* Bitmap = nullptr;
};

// The histogram cell of a colour: (R >> 3) << 10 | (G >> 3) << 5 | (B >> 3).
inline int32_t IEQuantCell(TRGB c) { return ((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3); }

// Builds the boxes of an ie24RGB bitmap for colorCount (1..256) colours and
// writes palette entries 0..k-1 (k boxes, possibly fewer than asked).
std::unique_ptr<TIEBoxQuantizer> CreateBoxQuantizer(TIEBitmap& bitmap, TRGB* palette, int32_t colorCount);
// The box of the colour's cell; 0 for cells in no box.
inline int32_t BoxQuantizerIndexOf(const TIEBoxQuantizer& state, TRGB color) {
  return state.IndexMap[IEQuantCell(color)];
}
inline void FreeBoxQuantizer(std::unique_ptr<TIEBoxQuantizer>& state) { state.reset(); }
