// Windows: classes and window procedures, creation and destruction, parent
// and owner, styles, geometry, visibility, enabled state, text, z-order and
// coordinate mapping. Handles are opaque and never reused, so a stale HWND is
// refused, not followed. Text is UTF-8. Everything here runs on the GUI
// thread (IsWindow may be asked from any thread).
#pragma once

#include <string>

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASS {
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int cbClsExtra = 0;
  int cbWndExtra = 0;
  HINSTANCE hInstance = nullptr;
  HICON hIcon = nullptr;
  HCURSOR hCursor = nullptr;
  // A brush of the drawing layer, or a system colour index + 1.
  HBRUSH hbrBackground = nullptr;
  const char* lpszMenuName = nullptr;
  const char* lpszClassName = nullptr;
};
using WNDCLASSA = WNDCLASS;

// What WM_NCCREATE and WM_CREATE carry in lParam.
struct CREATESTRUCT {
  void* lpCreateParams = nullptr;
  HINSTANCE hInstance = nullptr;
  HMENU hMenu = nullptr;
  HWND hwndParent = nullptr;
  int cy = 0;
  int cx = 0;
  int y = 0;
  int x = 0;
  LONG style = 0;
  const char* lpszName = nullptr;
  const char* lpszClass = nullptr;
  DWORD dwExStyle = 0;
};

// What WM_WINDOWPOSCHANGING (may be changed) and WM_WINDOWPOSCHANGED carry in lParam.
struct WINDOWPOS {
  HWND hwnd = nullptr;
  HWND hwndInsertAfter = nullptr;
  int x = 0;
  int y = 0;
  int cx = 0;
  int cy = 0;
  UINT flags = 0;
};

// Registers a class by name (case-insensitive); 0 when the name is taken or missing.
ATOM RegisterClass(const WNDCLASS* wc);
BOOL UnregisterClass(const char* className, HINSTANCE instance);
BOOL GetClassInfo(HINSTANCE instance, const char* className, WNDCLASS* wc);

// Creates a window: WM_NCCREATE, WM_CREATE (-1 refuses), WM_SIZE, WM_MOVE, then
// shows it when WS_VISIBLE is given. `x`, `y` are relative to the parent's
// client area for WS_CHILD, screen coordinates otherwise; CW_USEDEFAULT places
// a top-level window. Null on failure.
HWND CreateWindowEx(DWORD exStyle, const char* className, const char* windowName, DWORD style, int x, int y,
                    int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// WM_DESTROY to the window then its children, WM_NCDESTROY children first;
// owned windows go first. Messages still queued for it are dropped.
BOOL DestroyWindow(HWND window);

// The default answers: text, painting the background and the plain frame,
// cursor, hit testing, activation, WM_CLOSE destroys, WM_WINDOWPOSCHANGED
// sends WM_MOVE and WM_SIZE.
LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

BOOL IsWindow(HWND window);
// Visible when it and all its ancestors have WS_VISIBLE.
BOOL IsWindowVisible(HWND window);
BOOL IsWindowEnabled(HWND window);
BOOL IsChild(HWND parent, HWND window);
// The parent of a child window, the owner of a top-level one.
HWND GetParent(HWND window);
// Moves a window under another parent (null: top-level); answers the old parent.
HWND SetParent(HWND window, HWND newParent);
HWND GetWindow(HWND window, UINT relation);
HWND GetAncestor(HWND window, UINT kind);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND window);

// GWL_* indexes, or a byte offset into the class's extra window bytes.
LONG_PTR GetWindowLongPtr(HWND window, int index);
// Answers the previous value; GWL_WNDPROC subclasses the window.
LONG_PTR SetWindowLongPtr(HWND window, int index, LONG_PTR value);
inline LONG_PTR GetWindowLong(HWND window, int index) { return GetWindowLongPtr(window, index); }
inline LONG_PTR SetWindowLong(HWND window, int index, LONG_PTR value) { return SetWindowLongPtr(window, index, value); }
// GCL_STYLE and the other class values; changes apply to every window of the class.
ULONG_PTR GetClassLongPtr(HWND window, int index);
ULONG_PTR SetClassLongPtr(HWND window, int index, LONG_PTR value);
inline ULONG_PTR GetClassLong(HWND window, int index) { return GetClassLongPtr(window, index); }
inline ULONG_PTR SetClassLong(HWND window, int index, LONG_PTR value) { return SetClassLongPtr(window, index, value); }
std::string GetClassName(HWND window);

// Whole window in screen coordinates.
BOOL GetWindowRect(HWND window, RECT* rect);
// Client area: left and top are 0.
BOOL GetClientRect(HWND window, RECT* rect);
BOOL SetWindowPos(HWND window, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
BOOL BringWindowToTop(HWND window);
// Answers whether the window was visible before.
BOOL ShowWindow(HWND window, int command);
// WM_ENABLE on a change; answers whether the window was disabled before.
BOOL EnableWindow(HWND window, BOOL enable);

// Searches the children of `parent` (top-level windows when null) after
// `childAfter` for a class name (case-insensitive) and title; null matches any.
HWND FindWindowEx(HWND parent, HWND childAfter, const char* className, const char* windowName);
HWND FindWindow(const char* className, const char* windowName);

// WM_SETTEXT; the default procedure keeps the text.
BOOL SetWindowText(HWND window, const std::string& text);
// WM_GETTEXTLENGTH and WM_GETTEXT.
std::string GetWindowText(HWND window);
int GetWindowTextLength(HWND window);
std::string GetDlgItemText(HWND dialog, int id);
BOOL SetDlgItemText(HWND dialog, int id, const std::string& text);

BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);
// Maps between two windows' client coordinates (null: the screen); answers
// the offset, x in the low and y in the high word.
int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count);
// The deepest visible window under a screen point; a disabled child answers its parent.
HWND WindowFromPoint(POINT point);
// The direct visible child under a point in the parent's client coordinates, else the parent.
HWND ChildWindowFromPoint(HWND parent, POINT point);

// The thread that runs the windows (the GUI thread), as the kernel numbers threads.
DWORD GetWindowThreadProcessId(HWND window, DWORD* processId);

// The names that callers give with the A or W suffix; text is UTF-8 in both.
inline LRESULT CallWindowProcA(WNDPROC proc, HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return CallWindowProc(proc, w, m, wp, lp);
}
inline LONG_PTR SetWindowLongA(HWND window, int index, LONG_PTR value) { return SetWindowLongPtr(window, index, value); }
inline LONG_PTR GetWindowLongA(HWND window, int index) { return GetWindowLongPtr(window, index); }
inline HWND FindWindowExA(HWND parent, HWND after, const char* cls, const char* title) {
  return FindWindowEx(parent, after, cls, title);
}
inline std::string GetDlgItemTextA(HWND dialog, int id) { return GetDlgItemText(dialog, id); }
inline std::string GetDlgItemTextW(HWND dialog, int id) { return GetDlgItemText(dialog, id); }
