// What the window layer and the drawing layer share about pixels.
//
// Every top-level window owns one Surface: 32-bit pixels, top-down rows,
// each pixel 0xAARRGGBB in native order (bytes B, G, R, A in memory). A
// child window draws into its clipped rectangle of its top-level window's
// surface. The window layer (user part) owns surfaces; the drawing layer
// (gdi part) makes device contexts over them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/win/wintypes.h"

struct Surface {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;  // width * height, row after row from the top

  void Resize(int32_t w, int32_t h) {
    width = w > 0 ? w : 0;
    height = h > 0 ? h : 0;
    pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0xFF000000u);
  }
  uint32_t* Row(int32_t y) { return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width); }
  const uint32_t* Row(int32_t y) const {
    return pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
  }
};

// Made by the drawing layer, called by the window layer (GetDC, GetWindowDC,
// BeginPaint): a device context that draws on `surface`, with its origin at
// `origin` (surface coordinates of the window's client or window corner) and
// clipped to `clip` (surface coordinates). `window` is what WindowFromDC
// answers. Released with ReleaseSurfaceDC.
HDC CreateSurfaceDC(Surface* surface, POINT origin, const RECT& clip, HWND window);
void ReleaseSurfaceDC(HDC dc);
