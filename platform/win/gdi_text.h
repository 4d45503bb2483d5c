// GDI text: output, measuring and DrawText layout, in the DC's selected
// font and colours. Strings are UTF-8; glyph offsets and character widths
// count characters (code points).
#pragma once

#include <string>
#include <string_view>

#include "platform/win/gdi.h"

constexpr UINT TA_NOUPDATECP = 0, TA_UPDATECP = 1, TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6, TA_TOP = 0,
               TA_BOTTOM = 8, TA_BASELINE = 24;
constexpr UINT ETO_OPAQUE = 0x0002, ETO_CLIPPED = 0x0004;

UINT SetTextAlign(HDC dc, UINT align);
UINT GetTextAlign(HDC dc);

BOOL TextOut(HDC dc, int x, int y, std::string_view text);
// ETO_OPAQUE fills `rect` with the background colour first; ETO_CLIPPED
// keeps the text inside it; `dx` (one entry per character) places each
// character that far after the previous one.
BOOL ExtTextOut(HDC dc, int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx);
inline BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx) {
  return ExtTextOut(dc, x, y, options, rect, text, dx);
}
BOOL GetTextExtentPoint32(HDC dc, std::string_view text, SIZE* size);
inline BOOL GetTextExtentPoint32W(HDC dc, std::string_view text, SIZE* size) {
  return GetTextExtentPoint32(dc, text, size);
}
BOOL GetTextMetrics(HDC dc, TEXTMETRIC* metrics);
// Widths of the characters first..last (code points).
BOOL GetCharWidth32(HDC dc, UINT first, UINT last, int* widths);
inline BOOL GetCharWidth(HDC dc, UINT first, UINT last, int* widths) { return GetCharWidth32(dc, first, last, widths); }

constexpr UINT DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
               DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_TABSTOP = 0x80,
               DT_NOCLIP = 0x100, DT_EXTERNALLEADING = 0x200, DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800,
               DT_INTERNAL = 0x1000, DT_EDITCONTROL = 0x2000, DT_PATH_ELLIPSIS = 0x4000,
               DT_END_ELLIPSIS = 0x8000, DT_MODIFYSTRING = 0x10000, DT_RTLREADING = 0x20000,
               DT_WORD_ELLIPSIS = 0x40000, DT_NOFULLWIDTHCHARBREAK = 0x80000, DT_HIDEPREFIX = 0x100000,
               DT_PREFIXONLY = 0x200000;

struct DRAWTEXTPARAMS {
  UINT cbSize = sizeof(DRAWTEXTPARAMS);
  int iTabLength = 8;  // in average character widths
  int iLeftMargin = 0;
  int iRightMargin = 0;
  UINT uiLengthDrawn = 0;
};

// Lays `text` out in `rect`; answers the height of the text (from the
// rectangle's top with DT_VCENTER or DT_BOTTOM), 0 on failure. With
// DT_CALCRECT nothing is drawn and `rect` receives the text's extent.
int DrawText(HDC dc, std::string_view text, RECT* rect, UINT format);
int DrawTextEx(HDC dc, std::string_view text, RECT* rect, UINT format, DRAWTEXTPARAMS* params);
