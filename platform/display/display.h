// The screen behind the window layer. A back end shows top-level windows,
// presents their surfaces, and feeds input into the layer through an
// InputSink that the window layer implements. Nothing above the window layer
// uses this header.
//
// Back ends: headless (surfaces stay in memory; input comes from the
// injector in headless.h) and desktop (SDL2 windows). PLATFORM_DISPLAY=
// headless|desktop chooses; without it desktop is used when DISPLAY or
// WAYLAND_DISPLAY is set, else headless, and always headless under the test
// runner (VESK_TEST set).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/surface.h"
#include "platform/win/wintypes.h"

namespace display {

// The window layer's key for one of its top-level windows.
using WindowKey = uintptr_t;

enum class MouseButton { Left, Right, Middle };

// What a top-level window is to the window system. The layer draws every
// frame itself, so no kind gets a frame from the window manager.
enum class WindowKind {
  Normal,     // a main or tool window: in the task bar
  Dialog,     // a window owned by another (kept above its owner)
  PopupMenu,  // menus and drop-down lists: unmanaged, placed exactly, out of the task bar
  Tooltip,    // hints: like pop-up menus, and never given the keyboard
};

struct WindowShape {
  WindowKind kind = WindowKind::Normal;
  WindowKey owner = 0;     // the window a dialog belongs to; 0 for none
  bool resizable = false;  // the user may size it by its edges
};

// Parts of a window under a point, as the window system handles them.
enum class WindowPart { Client, Caption, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };

// Where input goes. All coordinates are screen coordinates. Called on the
// GUI thread only.
class InputSink {
public:
  virtual ~InputSink() = default;
  virtual void MouseMove(POINT screen) = 0;
  virtual void MouseButtonEvent(MouseButton button, bool down, POINT screen) = 0;
  // `delta` in WHEEL_DELTA units (120 per notch), positive away from the user or to the right.
  virtual void MouseWheel(int delta, bool horizontal, POINT screen) = 0;
  // The pointer left every window of the program.
  virtual void MouseLeftScreen() = 0;
  // A key with its Windows virtual-key code.
  virtual void Key(uint8_t virtualKey, bool down) = 0;
  // Characters that no key press produced (input methods, composed characters).
  virtual void Text(const std::string& utf8) = 0;
  virtual void FilesDropped(POINT screen, const std::vector<std::string>& files) = 0;
  // The user asked to close the window (the close box of a desktop window).
  virtual void CloseRequested(WindowKey window) = 0;
  // The user moved the window on the desktop.
  virtual void WindowMoved(WindowKey window, POINT topLeft) = 0;
  // The desktop gave the window the keyboard.
  virtual void WindowActivated(WindowKey window) = 0;
  // The window system changed the window's size (whole window).
  virtual void WindowResized(WindowKey window, SIZE size) = 0;
  // The window's pixels on screen were lost and must be presented again.
  virtual void WindowExposed(WindowKey window) = 0;
  // Another program took the keyboard from every window of this one.
  virtual void ApplicationDeactivated() = 0;
  // The user or the system asked the program to end (SIGINT, SIGTERM, the
  // session). The one call that may come from any thread.
  virtual void QuitRequested() = 0;
  // The window system went away (its connection broke): nothing can be
  // shown any more, and the program's message loop ends.
  virtual void DisplayLost() = 0;
  // Which part of the window is at a screen point: the window system moves
  // the window by its caption and sizes it by its edges itself.
  virtual WindowPart PartAt(WindowKey window, POINT screen) = 0;
};

// A cursor the program draws itself (loaded from its resources). Pixels are
// 0xAARRGGBB with straight alpha, rows from the top; the hot spot lies on
// the picture. A picture lives for the whole run, so a back end may keep
// what it makes of one by its address.
struct CursorPicture {
  int32_t width = 0;
  int32_t height = 0;
  POINT hotSpot{0, 0};
  std::vector<uint32_t> pixels;
};

struct Monitor {
  RECT bounds;
  RECT work;  // bounds less task bars
  bool primary = false;
};

class Backend {
public:
  virtual ~Backend() = default;
  virtual const char* Name() const = 0;
  void SetSink(InputSink* sink) { sink_ = sink; }
  InputSink* Sink() const { return sink_; }

  // A top-level window became visible at `screenRect` (whole window); a
  // window shown again takes the rectangle, title and shape given.
  virtual void ShowWindow(WindowKey window, const RECT& screenRect, const std::string& title,
                          const WindowShape& shape) = 0;
  virtual void HideWindow(WindowKey window) = 0;
  // The window is gone for good.
  virtual void DestroyWindow(WindowKey window) { HideWindow(window); }
  virtual void Minimize(WindowKey) {}
  virtual void MoveWindow(WindowKey window, const RECT& screenRect) = 0;
  virtual void SetTitle(WindowKey window, const std::string& title) = 0;
  virtual void Raise(WindowKey window) = 0;
  // Puts the window's pixels on screen.
  virtual void Present(WindowKey window, const Surface& surface) = 0;
  // One of the standard cursors by its resource id (IDC_ARROW = 32512...).
  virtual void SetCursorShape(int cursorId) = 0;
  // A cursor of the program's own.
  virtual void SetCursorPicture(const CursorPicture& picture) = 0;

  // True when the back end has events of its own that the GUI thread must
  // collect with PumpEvents; false when waiting on the message queue alone suffices.
  virtual bool NeedsPumping() const = 0;
  // Delivers pending events to the sink, waiting up to `timeoutMs` for one
  // (a negative time: until one comes or Wake is called).
  virtual void PumpEvents(int timeoutMs) = 0;
  // Ends a wait in PumpEvents; callable from any thread. Back ends that
  // need no pumping have nothing to wake.
  virtual void Wake() {}

  virtual std::vector<Monitor> Monitors() = 0;
  virtual void SetClipboardText(const std::string& utf8) = 0;
  virtual std::optional<std::string> ClipboardText() = 0;
  virtual void Beep() = 0;

private:
  InputSink* sink_ = nullptr;
};

// The back end of this process, chosen from the environment on first use.
Backend& ActiveBackend();
// Replaces the active back end (tests, and the choice at start-up).
void SetActiveBackend(std::unique_ptr<Backend> backend);

std::unique_ptr<Backend> CreateHeadlessBackend();
// Null when no desktop can be opened.
std::unique_ptr<Backend> CreateDesktopBackend();

// Writes 32-bit pixels (0xAARRGGBB) as an RGBA PNG; false on failure.
bool WritePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height);
// Reads a PNG into 0xAARRGGBB pixels; false for a missing or damaged file.
// Headers claiming more pixels than the file could hold are refused first.
bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height);
// Whether `fileBytes` of PNG could hold a width x height picture at all:
// every row needs a filter byte and at least a bit per pixel, and deflate
// expands at most 1032 times.
bool PngSizeFits(uint64_t width, uint64_t height, uint64_t fileBytes);

}  // namespace display
