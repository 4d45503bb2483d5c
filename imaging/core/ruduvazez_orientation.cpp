// Turning an image upright by its EXIF orientation: exact mirrors and
// quarter turns of the pixels (any pixel format) and of the alpha channel.
#include <cstring>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"

namespace {

enum TTurn { turnMirror, turnFlip, turnClockwise, turnCounterClockwise };

// Where the pixel (x, y) of a width x height image lands.
void Destination(TTurn turn, int32_t width, int32_t height, int32_t x, int32_t y, int32_t& dx, int32_t& dy) {
  switch (turn) {
    case turnMirror: dx = width - 1 - x, dy = y; break;
    case turnFlip: dx = x, dy = height - 1 - y; break;
    case turnClockwise: dx = height - 1 - y, dy = x; break;
    case turnCounterClockwise: dx = y, dy = width - 1 - x; break;
  }
}

void CopyPixel(const uint8_t* source, int32_t x, uint8_t* dest, int32_t dx, int32_t bits) {
  if (bits >= 8) {
    const int32_t bytes = bits / 8;
    std::memcpy(dest + int64_t{dx} * bytes, source + int64_t{x} * bytes, static_cast<size_t>(bytes));
    return;
  }
  const int64_t from = int64_t{x} * bits, to = int64_t{dx} * bits;  // packed, first pixel in the high bits
  const uint32_t mask = (1u << bits) - 1;
  const uint32_t value = source[from / 8] >> (8 - bits - from % 8) & mask;
  const int32_t shift = static_cast<int32_t>(8 - bits - to % 8);
  dest[to / 8] = static_cast<uint8_t>((dest[to / 8] & ~(mask << shift)) | value << shift);
}

void Turn(TIEBitmap& bitmap, TTurn turn) {
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight(), bits = bitmap.GetBitCount();
  if (width <= 0 || height <= 0 || bits <= 0) return;
  if (TIEBitmap* alpha = bitmap.PeekAlphaChannel()) Turn(*alpha, turn);
  const bool across = turn == turnClockwise || turn == turnCounterClockwise;
  TIEBitmap turned(across ? height : width, across ? width : height, bitmap.GetPixelFormat());
  std::vector<uint8_t> row(static_cast<size_t>(bitmap.RowLength64()));
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(row.data(), bitmap.GetScanline(y), row.size());
    for (int32_t x = 0; x < width; ++x) {
      int32_t dx, dy;
      Destination(turn, width, height, x, y, dx, dy);
      CopyPixel(row.data(), x, turned.GetScanline(dy), dx, bits);
    }
  }
  bitmap.AssignImage(&turned);  // keeps the alpha channel, turned above
}

}  // namespace

void IEApplyExifOrientation(TIEBitmap& bitmap, int32_t orientation) {
  switch (orientation) {
    case 2: Turn(bitmap, turnMirror); break;
    case 3:
      Turn(bitmap, turnFlip);
      Turn(bitmap, turnMirror);
      break;
    case 4: Turn(bitmap, turnFlip); break;
    case 5:  // transposed: a clockwise quarter turn, then the mirror
      Turn(bitmap, turnClockwise);
      Turn(bitmap, turnMirror);
      break;
    case 6: Turn(bitmap, turnClockwise); break;
    case 7:  // transversed: a counter-clockwise quarter turn, then the mirror
      Turn(bitmap, turnCounterClockwise);
      Turn(bitmap, turnMirror);
      break;
    case 8: Turn(bitmap, turnCounterClockwise); break;
    default: break;
  }
}
