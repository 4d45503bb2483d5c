// The standard scroll bars of a window (WS_HSCROLL, WS_VSCROLL): range,
// page and position, shown and hidden as the range needs them, drawn in the
// frame, and driven by the mouse into WM_HSCROLL and WM_VSCROLL. The flat
// scroll bars of the common controls are the same bars here.
#pragma once

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

constexpr int SB_HORZ = 0;
constexpr int SB_VERT = 1;
constexpr int SB_CTL = 2;
constexpr int SB_BOTH = 3;

constexpr UINT SIF_RANGE = 0x0001;
constexpr UINT SIF_PAGE = 0x0002;
constexpr UINT SIF_POS = 0x0004;
constexpr UINT SIF_DISABLENOSCROLL = 0x0008;
constexpr UINT SIF_TRACKPOS = 0x0010;
constexpr UINT SIF_ALL = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_TRACKPOS;

constexpr UINT ESB_ENABLE_BOTH = 0x0000;
constexpr UINT ESB_DISABLE_LTUP = 0x0001;
constexpr UINT ESB_DISABLE_LEFT = 0x0001;
constexpr UINT ESB_DISABLE_UP = 0x0001;
constexpr UINT ESB_DISABLE_RTDN = 0x0002;
constexpr UINT ESB_DISABLE_RIGHT = 0x0002;
constexpr UINT ESB_DISABLE_DOWN = 0x0002;
constexpr UINT ESB_DISABLE_BOTH = 0x0003;

struct SCROLLINFO {
  UINT cbSize = sizeof(SCROLLINFO);
  UINT fMask = 0;
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
  int nTrackPos = 0;
};
static_assert(sizeof(SCROLLINFO) == 28, "SCROLLINFO is 28 bytes, as callers give its size");

// Sets what `info->fMask` names (SB_HORZ or SB_VERT); the page is kept
// within the range and the position within range less page. A bar that the
// range does not need is hidden (disabled instead with SIF_DISABLENOSCROLL),
// one that it needs is shown. Answers the position.
int SetScrollInfo(HWND window, int bar, const SCROLLINFO* info, BOOL redraw);
BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO* info);
int SetScrollPos(HWND window, int bar, int pos, BOOL redraw);
int GetScrollPos(HWND window, int bar);
BOOL SetScrollRange(HWND window, int bar, int minPos, int maxPos, BOOL redraw);
BOOL GetScrollRange(HWND window, int bar, int* minPos, int* maxPos);
// SB_HORZ, SB_VERT or SB_BOTH; the client area changes with it.
BOOL ShowScrollBar(HWND window, int bar, BOOL show);
// ESB_* arrows to disable; FALSE when nothing changed.
BOOL EnableScrollBar(HWND window, UINT bar, UINT arrows);

// The common controls' flat scroll bars.
BOOL InitializeFlatSB(HWND window);
HRESULT UninitializeFlatSB(HWND window);
inline int FlatSB_SetScrollInfo(HWND w, int bar, const SCROLLINFO* info, BOOL redraw) {
  return SetScrollInfo(w, bar, info, redraw);
}
inline BOOL FlatSB_GetScrollInfo(HWND w, int bar, SCROLLINFO* info) { return GetScrollInfo(w, bar, info); }
inline BOOL FlatSB_ShowScrollBar(HWND w, int bar, BOOL show) { return ShowScrollBar(w, bar, show); }
inline BOOL FlatSB_EnableScrollBar(HWND w, int bar, UINT arrows) {
  return EnableScrollBar(w, static_cast<UINT>(bar), arrows);
}
