// The magic wand: the scanline seed fill of similar pixels, its region as a
// mask or as an outline polygon along pixel edges, and the global selection
// of every similar pixel.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "imaging/processing/imageryproc_internal.h"
#include "imaging/processing/imageryproc_wand.h"

namespace {

bool Similar(const TRGB& a, const TRGB& b, int32_t tolerance) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The filled pixels of a region: one bit per image pixel and their bounding box.
struct TRegion {
  int32_t Width = 0, Height = 0;
  int64_t RowBytes = 0;
  std::vector<uint8_t> Bits;
  int32_t Left = INT32_MAX, Top = INT32_MAX, Right = -1, Bottom = -1;
  bool Has(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < Width && y < Height && iep::GetBit(&Bits[static_cast<size_t>(RowBytes * y)], x);
  }
  void Set(int32_t x, int32_t y) {
    iep::PutBit(&Bits[static_cast<size_t>(RowBytes * y)], x, true);
    Left = std::min(Left, x);
    Right = std::max(Right, x);
    Top = std::min(Top, y);
    Bottom = std::max(Bottom, y);
  }
  bool Empty() const { return Right < 0; }
};

// A scanline seed fill through rows and columns (4-connected).
TRegion Grow(TIEBitmap* bitmap, int32_t seedX, int32_t seedY, int32_t tolerance) {
  TRegion region;
  region.Width = bitmap->GetWidth();
  region.Height = bitmap->GetHeight();
  if (seedX < 0 || seedY < 0 || seedX >= region.Width || seedY >= region.Height) return region;
  region.RowBytes = (region.Width + 7) / 8;
  region.Bits.assign(static_cast<size_t>(region.RowBytes * region.Height), 0);
  TRGB seed;
  bitmap->GetPixelRGB(seedX, seedY, seed);
  std::vector<TRGB> row(static_cast<size_t>(region.Width));
  int32_t rowHeld = -1;
  const auto fillable = [&](int32_t x, int32_t y) {
    if (x < 0 || x >= region.Width || region.Has(x, y)) return false;
    if (rowHeld != y) {
      for (int32_t i = 0; i < region.Width; ++i) bitmap->GetPixelRGB(i, y, row[i]);
      rowHeld = y;
    }
    return Similar(row[x], seed, tolerance);
  };
  // Rows still to scan between two columns; every run found there is filled
  // whole and its rows above and below are scanned in turn.
  struct TSpan {
    int32_t Y, Left, Right;
  };
  std::vector<TSpan> stack = {{seedY, seedX, seedX}};
  while (!stack.empty()) {
    const TSpan s = stack.back();
    stack.pop_back();
    if (s.Y < 0 || s.Y >= region.Height) continue;
    for (int32_t x = s.Left; x <= s.Right; ++x) {
      if (!fillable(x, s.Y)) continue;
      int32_t left = x, right = x;
      region.Set(x, s.Y);
      while (fillable(left - 1, s.Y)) region.Set(--left, s.Y);
      while (fillable(right + 1, s.Y)) region.Set(++right, s.Y);
      stack.push_back({s.Y - 1, left, right});
      stack.push_back({s.Y + 1, left, right});
      x = right + 1;
    }
  }
  return region;
}

// The region with a 3 x 3 block around every pixel, clipped to box (inclusive).
TRegion Dilated(const TRegion& region, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  TRegion grown = region;
  for (int32_t y = region.Top; y <= region.Bottom; ++y)
    for (int32_t x = region.Left; x <= region.Right; ++x) {
      if (!region.Has(x, y)) continue;
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx >= left && nx <= right && ny >= top && ny <= bottom) grown.Set(nx, ny);
        }
    }
  return grown;
}

}  // namespace

void IEMagicWandToMask(TIEBitmap* bitmap, int32_t x, int32_t y, bool grow, int32_t tolerance, TIEMask* mask,
                       int32_t value) {
  if (!bitmap || !mask) return;
  TRegion region = Grow(bitmap, x, y, tolerance);
  if (region.Empty()) return;
  if (grow) region = Dilated(region, 0, 0, region.Width - 1, region.Height - 1);
  for (int32_t ry = region.Top; ry <= region.Bottom; ++ry)
    for (int32_t rx = region.Left; rx <= region.Right; ++rx)
      if (region.Has(rx, ry)) mask->SetPixel(rx, ry, value);
}

void IEMagicWandGlobalToMask(TIEBitmap* bitmap, int32_t x, int32_t y, int32_t tolerance, TIEMask* mask,
                             int32_t value) {
  if (!bitmap || !mask || x < 0 || y < 0 || x >= bitmap->GetWidth() || y >= bitmap->GetHeight()) return;
  TRGB seed;
  bitmap->GetPixelRGB(x, y, seed);
  for (int32_t py = 0; py < bitmap->GetHeight(); ++py)
    for (int32_t px = 0; px < bitmap->GetWidth(); ++px) {
      TRGB c;
      bitmap->GetPixelRGB(px, py, c);
      if (Similar(c, seed, tolerance)) mask->SetPixel(px, py, value);
    }
}

std::vector<POINT> IEMagicWandToPolygon(TIEBitmap* bitmap, int32_t x, int32_t y, bool grow, int32_t tolerance) {
  if (!bitmap) return {};
  TRegion region = Grow(bitmap, x, y, tolerance);
  if (region.Empty()) return {};
  if (grow) region = Dilated(region, region.Left, region.Top, region.Right, region.Bottom);
  // The first pixel in row order: its top-left corner starts the outline,
  // which runs along pixel edges with the region on its right.
  int32_t startX = region.Left;
  while (!region.Has(startX, region.Top)) ++startX;
  // Directions east, south, west, north; the pixels ahead-left and ahead-right
  // of a vertex (vx, vy) for each.
  static const int32_t step[4][2] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
  static const int32_t aheadLeft[4][2] = {{0, -1}, {0, 0}, {-1, 0}, {-1, -1}};
  static const int32_t aheadRight[4][2] = {{0, 0}, {-1, 0}, {-1, -1}, {0, -1}};
  std::vector<POINT> points = {{startX, region.Top}};
  int32_t vx = startX, vy = region.Top, dir = 0;
  const int64_t limit = 4 * (int64_t{region.Right - region.Left + 2} * (region.Bottom - region.Top + 2)) + 8;
  for (int64_t steps = 0; steps < limit; ++steps) {
    vx += step[dir][0];
    vy += step[dir][1];
    int32_t next;
    if (region.Has(vx + aheadLeft[dir][0], vy + aheadLeft[dir][1]))
      next = (dir + 3) % 4;  // turn left
    else if (region.Has(vx + aheadRight[dir][0], vy + aheadRight[dir][1]))
      next = dir;
    else
      next = (dir + 1) % 4;  // turn right
    if (vx == startX && vy == region.Top && next == 0) break;
    if (next != dir) points.push_back({vx, vy});
    dir = next;
  }
  return points;
}
