// What the units of the window layer share: the window objects, the layer's
// state, and the hooks between windows, queue, painting, timers and input.
// Not for callers outside platform/win/user_*.cpp.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/display/display.h"
#include "platform/win/surface.h"
#include "platform/win/user.h"

namespace user {

struct WindowClass {
  std::string name;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int clsExtra = 0;
  int wndExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

struct ScrollBar {
  int min = 0;
  int max = 100;
  UINT page = 0;
  int pos = 0;
  int trackPos = 0;
  UINT disabledArrows = 0;  // ESB_*
};

struct Window {
  HWND handle = nullptr;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  HWND parent = nullptr;  // of a child window
  HWND owner = nullptr;   // of a top-level window
  RECT rect;              // parent's client coordinates for a child, screen for a top-level window
  std::string text;
  LONG_PTR userData = 0;
  LONG_PTR id = 0;
  HINSTANCE instance = nullptr;
  std::vector<uint8_t> extra;  // the class's extra window bytes
  std::vector<HWND> children;  // front first
  ScrollBar scroll[2];  // SB_HORZ, SB_VERT
  // Painting.
  RECT update;  // client coordinates; empty when nothing to paint
  bool erase = false;
  bool frameDirty = false;
  bool redraw = true;  // WM_SETREDRAW
  bool destroying = false;
  // Top-level windows only.
  std::unique_ptr<Surface> surface;
  bool onDisplay = false;
  bool knownToDisplay = false;  // shown once: the display holds it until it is destroyed
  bool needsPresent = false;
  HWND modalFor = nullptr;  // the window a modal loop on this one keeps disabled
  HWND activeBefore = nullptr;  // the window that was active when this one was activated
  RECT restored;            // where a maximised window goes back to
};

struct State {
  std::mutex tableMutex;  // guards `windows` for IsWindow from other threads
  std::unordered_map<HWND, std::unique_ptr<Window>> windows;
  uintptr_t nextHandle = 0x10000;
  std::vector<HWND> topLevels;  // front first
  std::map<std::string, std::shared_ptr<WindowClass>> classes;  // by lower-case name
  HWND focus = nullptr;
  HWND active = nullptr;
  HWND capture = nullptr;
};

State& S();
// The window behind a handle, null for an unknown or destroyed one.
Window* Find(HWND window);
bool IsGuiThread();
// Makes the calling thread the GUI thread when there is none yet.
void EnsureGuiThread();

// Geometry (window.cpp).
// Thickness of the frame on each side (caption included in top).
RECT FrameInsets(const Window& w);
// The client area in the window's own coordinates.
RECT ClientInWindow(const Window& w);
// A caption button (HTCLOSE, HTMAXBUTTON, HTMINBUTTON) in window
// coordinates; empty when the window's style has none.
RECT CaptionButtonRect(const Window& w, LRESULT button);
POINT WindowOriginOnScreen(const Window& w);
POINT ClientOriginOnScreen(const Window& w);
Window* TopLevelOf(Window* w);
// The window's top-left corner in its top-level window's surface.
POINT WindowOriginInSurface(const Window& w);
// What of the window (client area, or whole window) shows through its
// ancestors, in surface coordinates.
RECT VisibleInSurface(const Window& w, bool wholeWindow);
bool IsShown(const Window& w);
// Lower-case copy, for class names and registered names.
std::string Lower(const std::string& s);

// Queue (messages.cpp).
// Posts input; `input` marks it for QS_INPUT.
void PostToQueue(const MSG& msg, bool input);
// Puts a message ahead of everything posted (characters of a key).
void PostAtFront(const MSG& msg);
void WakeQueue();
// Calls the window procedure of a live window (GUI thread).
LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The screen position of the pointer, as messages carry it.
POINT CursorPosition();

// Painting (paint.cpp).
// The first visible window that needs painting (parents first), matching the filter.
HWND WindowNeedingPaint(HWND filter);
// Runs the InvalidateRect and RedrawWindow calls that other threads handed to
// the GUI thread (GUI thread).
void ApplyDeferredRedraws();
// Marks (part of) a window's client area for painting; `rect` in client coordinates, null for all.
void Invalidate(Window& w, const RECT* rect, bool erase, bool children);
// Marks the whole window, frame included, and its children.
void InvalidateAll(Window& w);
// Presents the surfaces painted since the last time.
void PresentSurfaces();
// Draws the plain frame of a window straight into its surface.
void DrawPlainFrame(Window& w);
// Fills the client rectangle `rect` with the class background.
void EraseBackground(Window& w, HDC dc, const RECT& rect);
void MarkPresent(Window& w);
// A surface pixel of a colour.
uint32_t Pixel(COLORREF color);
// Fills `r` (surface coordinates) within `clip`.
void FillSurface(Surface& s, RECT r, const RECT& clip, COLORREF color);

// Timers (timers.cpp).
bool NextTimerMessage(MSG* msg, HWND filter, bool remove);
// When the next timer falls due (clock time), if any.
std::optional<DWORD> NextTimerDue();
void KillWindowTimers(HWND window);
bool IsTimerProc(HWND window, UINT_PTR id, LPARAM proc);

// Input (input.cpp).
// Clears capture, focus, activation and tracking of a window being destroyed.
void ForgetWindowInput(HWND window);
// Shows the caret again after painting on its window, or hides it before.
void CaretPaintBegin(HWND window);
void CaretPaintEnd(HWND window);
// Input as it came from the display, waiting in the queue for its turn.
struct RawInput {
  enum class Kind { Move, Button, Wheel, Leave, Key, Char, Quit } kind = Kind::Move;
  display::MouseButton button = display::MouseButton::Left;
  bool down = false;
  POINT screen;
  int delta = 0;
  bool horizontal = false;
  BYTE vk = 0;
  bool wasDown = false;  // the key was down before (auto-repeat)
  uint32_t ch = 0;
  DWORD time = 0;
};
// Queues input (messages.cpp).
void PostRawInput(const RawInput& input);
// Turns input into the messages it means now: routes it (capture, window
// under the pointer, focus), may send WM_NCHITTEST, WM_SETCURSOR and
// WM_MOUSEACTIVATE, and moves the queue's key state (GetKeyState).
std::vector<MSG> CookInput(const RawInput& input);
// The character a key types with the present shift state; 0 for none.
uint32_t CharOfKey(BYTE virtualKey);
// Connects the layer to the display back end (once).
display::Backend& Display();
// Screen rectangle of a top-level window as the display needs it.
void DisplayWindowChanged(Window& w);
// The display learns a new shape of a shown window (a dialog's owner).
void DisplayWindowReshaped(Window& w);
// A top-level window being freed leaves the display.
void DisplayWindowGone(Window& w);

// Follows the mouse with capture until the button is released: `moved` gets
// each new screen position, `other` each message that is not a mouse move
// or release (true ends the loop; otherwise the message is dispatched).
void TrackMouse(HWND window, const std::function<void(POINT)>& moved, const std::function<bool(const MSG&)>& other);
// Follows the mouse to move (SC_MOVE) or size (SC_SIZE + WMSZ_* edge) a
// window from the screen point `start` until the button is released (sizemove.cpp).
void RunSizeMoveLoop(HWND window, WPARAM command, POINT start);

// Scroll bars (scroll.cpp).
// The bar's rectangle in window coordinates; empty when the window has none.
RECT ScrollBarRect(const Window& w, int bar);
void DrawScrollBars(Window& w, Surface& s, POINT windowOrigin, const RECT& clip);
// Follows the mouse pressed on a scroll bar (SB_HORZ or SB_VERT) at a screen point.
void RunScrollLoop(HWND window, int bar, POINT start);

// Caret (system.cpp): removes the caret of a window being destroyed or hidden.
void ForgetCaret(HWND window);

// Names (clipboard.cpp): one table numbers registered clipboard formats and
// window messages from 0xC000.
UINT RegisterName(const char* name);
std::string RegisteredName(UINT id);

}  // namespace user
