// Moving and sizing windows with the mouse: a press on the caption or on a
// sizing edge (as WM_NCHITTEST answers) starts a loop that follows the mouse
// until the button is released. The window gets WM_ENTERSIZEMOVE, then
// WM_MOVING or WM_SIZING with the proposed rectangle (screen coordinates,
// which it may change) before each step, then WM_EXITSIZEMOVE. Esc puts the
// window back where it was.
#include <algorithm>

#include "platform/win/user_internal.h"

namespace user {

namespace {

// WMSZ_LEFT (1) .. WMSZ_BOTTOMRIGHT (8) are the hit codes HTLEFT .. HTBOTTOMRIGHT less this.
constexpr WPARAM kWmszFirst = HTLEFT - WMSZ_LEFT;

struct Edges {
  bool left, top, right, bottom;
};

Edges EdgesOf(WPARAM wmsz) {
  LRESULT hit = static_cast<LRESULT>(wmsz + kWmszFirst);
  return Edges{hit == HTLEFT || hit == HTTOPLEFT || hit == HTBOTTOMLEFT, hit == HTTOP || hit == HTTOPLEFT || hit == HTTOPRIGHT,
               hit == HTRIGHT || hit == HTTOPRIGHT || hit == HTBOTTOMRIGHT,
               hit == HTBOTTOM || hit == HTBOTTOMLEFT || hit == HTBOTTOMRIGHT};
}

RECT Proposed(const RECT& start, POINT delta, bool moving, Edges e) {
  RECT r = start;
  if (moving) {
    OffsetRect(&r, delta.x, delta.y);
    return r;
  }
  if (e.left) r.left = std::min(r.left + delta.x, r.right);
  if (e.right) r.right = std::max(r.right + delta.x, r.left);
  if (e.top) r.top = std::min(r.top + delta.y, r.bottom);
  if (e.bottom) r.bottom = std::max(r.bottom + delta.y, r.top);
  return r;
}

// Places the window at `screenRect`.
void PlaceAt(HWND window, RECT screenRect) {
  if (HWND parent = GetAncestor(window, GA_PARENT)) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&screenRect), 2);
  SetWindowPos(window, nullptr, screenRect.left, screenRect.top, screenRect.right - screenRect.left,
               screenRect.bottom - screenRect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool IsMove(UINT m) { return m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE; }
bool IsRelease(UINT m) { return m == WM_LBUTTONUP || m == WM_NCLBUTTONUP; }

}  // namespace

void TrackMouse(HWND window, const std::function<void(POINT)>& moved, const std::function<bool(const MSG&)>& other) {
  SetCapture(window);
  MSG m;
  while (IsWindow(window) && GetCapture() == window) {
    if (!GetMessage(&m, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(m.wParam));
      break;
    }
    if (IsRelease(m.message)) break;
    if (IsMove(m.message)) {
      moved(m.pt);
      continue;
    }
    if (other && other(m)) break;
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  if (GetCapture() == window) ReleaseCapture();
}

void RunSizeMoveLoop(HWND window, WPARAM command, POINT start) {
  bool moving = (command & 0xFFF0) == SC_MOVE;
  WPARAM wmsz = command & 0x000F;
  Edges edges = EdgesOf(wmsz);
  RECT original;
  if (!GetWindowRect(window, &original)) return;
  SendMessage(window, WM_ENTERSIZEMOVE, 0, 0);
  TrackMouse(
      window,
      [&](POINT p) {
        RECT r = Proposed(original, POINT{p.x - start.x, p.y - start.y}, moving, edges);
        SendMessage(window, moving ? WM_MOVING : WM_SIZING, moving ? 0 : wmsz, reinterpret_cast<LPARAM>(&r));
        if (IsWindow(window)) PlaceAt(window, r);
      },
      [&](const MSG& m) {
        bool escape = (m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN) && m.wParam == VK_ESCAPE;
        if (escape && IsWindow(window)) PlaceAt(window, original);
        return escape;
      });
  if (IsWindow(window)) SendMessage(window, WM_EXITSIZEMOVE, 0, 0);
}

}  // namespace user
