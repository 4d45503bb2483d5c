// Input injection: feeds mouse, keyboard, text and file drops into the
// active back end's input sink, the path that real input takes, so a test
// drives the program as a user would. Coordinates are screen coordinates.
// The messages come when the queue is pumped; file drops reach their
// handler at once.
//
// Also the headless back end's record of what it was asked to show.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display/display.h"

namespace display {

void InjectMouseMove(POINT screen);
void InjectMouseDown(POINT screen, MouseButton button = MouseButton::Left);
void InjectMouseUp(POINT screen, MouseButton button = MouseButton::Left);
// Move, press and release.
void InjectClick(POINT screen, MouseButton button = MouseButton::Left);
// Two clicks at the same place and time.
void InjectDoubleClick(POINT screen, MouseButton button = MouseButton::Left);
void InjectWheel(POINT screen, int delta, bool horizontal = false);
void InjectMouseLeave();
void InjectKeyDown(uint8_t virtualKey);
void InjectKeyUp(uint8_t virtualKey);
// Press and release.
void InjectKey(uint8_t virtualKey);
void InjectText(const std::string& utf8);
void InjectFileDrop(POINT screen, const std::vector<std::string>& files);
// What the window system may do on its own.
void InjectWindowResized(WindowKey window, SIZE size);
void InjectWindowExposed(WindowKey window);
void InjectApplicationDeactivated();
void InjectQuitRequested();
// The part of a window at a screen point as the window system would ask it.
WindowPart QueryWindowPart(WindowKey window, POINT screen);

// What the headless back end holds for a top-level window.
struct HeadlessWindowState {
  bool shown = false;
  RECT rect;
  std::string title;
  WindowShape shape;
  int shows = 0;     // how often it was shown
  int presents = 0;  // how often its surface was presented
  bool minimized = false;
  bool destroyed = false;
};

// The state of `window` when the active back end is headless; false otherwise.
bool HeadlessWindow(WindowKey window, HeadlessWindowState& state);
// Beeps asked of the headless back end since start.
int HeadlessBeepCount();
// Standard cursor id last set (0 before any, and while a picture is shown).
int HeadlessCursorShape();
// The program's own cursor picture last set; null while a standard one is shown.
const CursorPicture* HeadlessCursorPicture();

// SIGINT and SIGTERM close the main window as its close button does (the
// headless back end chosen for a program; the desktop one gets them from SDL).
void CloseOnSignals();

}  // namespace display
