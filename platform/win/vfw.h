// Video for Windows' DrawDib: copies a device-independent bitmap to a device
// context, unscaled or stretched. Here the screen always has true colour, so
// DrawDib is the plain DIB copy of the GDI and realizing its palette changes
// nothing.
#pragma once

#include "platform/win/gdi.h"

using HDRAWDIB = HANDLE;

constexpr UINT DDF_HALFTONE = 0x1000;

// A DrawDib context; null on failure.
HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB hdd);
// Draws the DIB's source rectangle (rows counted from the top of the picture)
// onto the destination rectangle; -1 sizes mean the source's (destination)
// or the whole DIB (source).
BOOL DrawDibDraw(HDRAWDIB hdd, HDC dc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags);
// Answers the number of palette entries that changed (always 0 here).
UINT DrawDibRealize(HDRAWDIB hdd, HDC dc, BOOL background);
