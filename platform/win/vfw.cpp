#include "platform/win/vfw.h"

#include <cstdlib>
#include <vector>

namespace {
// The handle's object: nothing to keep, but distinct and freeable.
struct TDrawDibContext {
  int unused = 0;
};
}  // namespace

HDRAWDIB DrawDibOpen() { return reinterpret_cast<HDRAWDIB>(new TDrawDibContext); }

BOOL DrawDibClose(HDRAWDIB hdd) {
  if (!hdd) return FALSE;
  delete reinterpret_cast<TDrawDibContext*>(hdd);
  return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB hdd, HDC dc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT) {
  if (!hdd || !dc || !header || !bits) return FALSE;
  const int width = header->biWidth, height = std::abs(header->biHeight);
  if (dxSrc < 0) dxSrc = width;
  if (dySrc < 0) dySrc = height;
  if (dxDst < 0) dxDst = dxSrc;
  if (dyDst < 0) dyDst = dySrc;
  // The header may be followed by a colour table: pass the whole block on.
  const auto* info = reinterpret_cast<const BITMAPINFO*>(header);
  // StretchDIBits counts a bottom-up DIB's source rows from the bottom.
  const int sourceY = header->biHeight > 0 ? height - ySrc - dySrc : ySrc;
  return StretchDIBits(dc, xDst, yDst, dxDst, dyDst, xSrc, sourceY, dxSrc, dySrc, bits, info, DIB_RGB_COLORS,
                       SRCCOPY) != 0;
}

UINT DrawDibRealize(HDRAWDIB, HDC, BOOL) { return 0; }
