// OLE picture loading: OleLoadPicture decodes a picture (BMP, PNG, JPEG,
// GIF first frame) from a stream into an IPicture, which reports its size in
// HIMETRIC units (0.01 mm) and renders itself onto a device context.
// MulDiv is the kernel's scaled product that size conversions use.
#pragma once

#include "platform/win/unknwn.h"
#include "platform/win/wintypes.h"

// a * b / c from a 64-bit product, rounded half away from zero; -1 when c is 0.
int32_t MulDiv(int32_t a, int32_t b, int32_t c);

using OLE_XSIZE_HIMETRIC = int32_t;
using OLE_YSIZE_HIMETRIC = int32_t;
using OLE_XPOS_HIMETRIC = int32_t;
using OLE_YPOS_HIMETRIC = int32_t;

// {7BF80980-BF32-101A-8BBB-00AA00300CAB}
inline constexpr IID IID_IPicture{0x7BF80980, 0xBF32, 0x101A, {0x8B, 0xBB, 0x00, 0xAA, 0x00, 0x30, 0x0C, 0xAB}};
// The picture could not be read.
constexpr HRESULT CTL_E_INVALIDPICTURE = static_cast<HRESULT>(0x800A017Cu);

class IPicture : public IUnknown {
public:
  virtual HRESULT get_Width(OLE_XSIZE_HIMETRIC* width) = 0;
  virtual HRESULT get_Height(OLE_YSIZE_HIMETRIC* height) = 0;
  // Draws the source part (HIMETRIC, origin at the picture's bottom-left
  // corner, a negative height reads downward) into the destination. A
  // negative destination height draws upward from y, as callers that pass
  // (left, bottom, width, top - bottom) rely on: the picture stays upright.
  virtual HRESULT Render(HDC dc, int32_t x, int32_t y, int32_t cx, int32_t cy, OLE_XPOS_HIMETRIC xSrc,
                         OLE_YPOS_HIMETRIC ySrc, OLE_XSIZE_HIMETRIC cxSrc, OLE_YSIZE_HIMETRIC cySrc,
                         const RECT* wBounds) = 0;
};

// Reads `size` bytes (the rest of the stream when size is 0 or more than
// remains) and decodes them. CTL_E_INVALIDPICTURE for data that is no
// picture; E_NOINTERFACE for an interface other than IPicture or IUnknown.
HRESULT OleLoadPicture(IStream* stream, LONG size, BOOL runMode, REFIID riid, void** object);
