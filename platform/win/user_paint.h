// Painting: each window has an update rectangle (the union of what was
// invalidated); WM_PAINT comes when the queue has nothing more urgent, parents
// before children. BeginPaint sends WM_NCPAINT when the frame needs it and
// WM_ERASEBKGND when erasing was asked, validates, and hands a device context
// clipped to the update rectangle. Device contexts come from the drawing
// layer (CreateSurfaceDC) over the top-level window's surface.
#pragma once

#include <string>

#include "platform/win/surface.h"
#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

struct PAINTSTRUCT {
  HDC hdc = nullptr;
  BOOL fErase = FALSE;  // TRUE when the background still needs erasing
  RECT rcPaint;
  BOOL fRestore = FALSE;
  BOOL fIncUpdate = FALSE;
  BYTE rgbReserved[32] = {};
};

// Null rect: the whole client area. A null window: every top-level window.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
// The region's rectangles (client coordinates); a null region is the whole client area.
BOOL InvalidateRgn(HWND window, HRGN region, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// Sends WM_PAINT now when the window has something to paint.
BOOL UpdateWindow(HWND window);
// RDW_* flags; a null `rect` and `region` mean the whole window.
BOOL RedrawWindow(HWND window, const RECT* rect, HRGN region, UINT flags);
// The update rectangle in client coordinates; FALSE (and an empty rect) when none.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);

HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A device context on the client area (null window: the screen).
HDC GetDC(HWND window);
// A device context on the whole window, frame included.
HDC GetWindowDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// The top-level window's surface that `window` draws into (null for an unknown window).
Surface* GetWindowSurface(HWND window);
// Writes the window (frame included) as it is on its surface to a PNG file.
bool SaveWindowSnapshot(HWND window, const std::string& path);
