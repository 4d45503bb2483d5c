// The magic wand: pixels whose red, green and blue each differ from the
// clicked pixel's by at most the tolerance, connected through rows and
// columns to it (or anywhere, for the global form).
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "platform/win/wintypes.h"

// The outline of the connected region along pixel edges (a pixel at column x
// spans x .. x + 1), vertices where it turns; empty for a seed outside the
// image. With grow, one-pixel gaps inside the region's box are filled. Its
// memory is one bit per image pixel and the vertices.
std::vector<POINT> IEMagicWandToPolygon(TIEBitmap* bitmap, int32_t x, int32_t y, bool grow, int32_t tolerance);
// Sets the connected region (with grow one ring more, clipped to the image) in mask to value.
void IEMagicWandToMask(TIEBitmap* bitmap, int32_t x, int32_t y, bool grow, int32_t tolerance, TIEMask* mask,
                       int32_t value);
// Sets every similar pixel of the image in mask to value.
void IEMagicWandGlobalToMask(TIEBitmap* bitmap, int32_t x, int32_t y, int32_t tolerance, TIEMask* mask,
                             int32_t value);

// c = a + b and c = a - b, componentwise.
inline void IEPointAdd(POINT a, POINT b, POINT& c) { c = POINT{a.x + b.x, a.y + b.y}; }
inline void IEPointSub(POINT a, POINT b, POINT& c) { c = POINT{a.x - b.x, a.y - b.y}; }
