// Input: mouse capture and tracking, cursors, the keyboard state, focus and
// activation, and the hook that receives files dropped from the desktop.
// Input arrives from the display back end (or the injector of the headless
// one) and waits in the queue; when its turn comes it becomes messages, as
// things stand then: mouse messages go to the capture window or the window
// under the pointer (wheel messages to the focus window, with screen
// coordinates), key messages to the focus window. GetKeyState follows the
// input retrieved, GetAsyncKeyState and GetCursorPos the input arrived.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

struct TRACKMOUSEEVENT {
  DWORD cbSize = sizeof(TRACKMOUSEEVENT);
  DWORD dwFlags = 0;
  HWND hwndTrack = nullptr;
  DWORD dwHoverTime = 0;
};

// All mouse input goes to `window` until released; answers the previous capture.
HWND SetCapture(HWND window);
// Ends the capture (WM_CAPTURECHANGED to the window that had it).
BOOL ReleaseCapture();
HWND GetCapture();
// TME_LEAVE: one WM_MOUSELEAVE when the pointer leaves the window (at once
// when it is not over it); TME_CANCEL stops the tracking.
BOOL TrackMouseEvent(TRACKMOUSEEVENT* track);
BOOL GetCursorPos(POINT* point);
// Milliseconds within which a second press makes a double click.
UINT GetDoubleClickTime();

// A standard cursor (IDC_*) with a null instance; otherwise the cursor
// resource `name` (a text or MAKEINTRESOURCE number) of the module, a cursor
// file under the type CURSOR. Null when the module has no such resource or
// its data is no cursor. A resource's cursor is loaded once and shared by
// every call for it; it lives for the whole run.
HCURSOR LoadCursor(HINSTANCE instance, const char* name);
inline HCURSOR LoadCursorA(HINSTANCE instance, const char* name) { return LoadCursor(instance, name); }
// Shows `cursor`; answers the previous one.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();

// High bit: the key is down; low bit: toggled (Caps Lock and the like).
int16_t GetKeyState(int virtualKey);
int16_t GetAsyncKeyState(int virtualKey);

// Gives `window` the keyboard (WM_KILLFOCUS, activation of its top-level
// window, WM_SETFOCUS); null takes it away. Answers the previous focus.
HWND SetFocus(HWND window);
HWND GetFocus();
// Activates a top-level window (WM_ACTIVATE to the old and the new one);
// answers the previously active window.
HWND SetActiveWindow(HWND window);
HWND GetActiveWindow();
BOOL SetForegroundWindow(HWND window);
HWND GetForegroundWindow();

// Receives files dropped from the desktop on `window` at a screen point.
using FileDropHandler = std::function<void(HWND window, POINT screenPoint, const std::vector<std::string>& files)>;
// Replaces the handler (an empty one drops such input).
void SetFileDropHandler(FileDropHandler handler);
