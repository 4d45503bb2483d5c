// What the window-layer tests share: a fresh headless display and manual
// clock per test, a window class that logs every message it gets, and
// helpers to pump and to look at the log.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/win/user.h"

struct Logged {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class UserTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // A logging window; top-level unless `parent` is given (then WS_CHILD is added).
  HWND Make(DWORD style, RECT rect, HWND parent = nullptr, DWORD exStyle = 0, const char* className = kLogged);
  // Dispatches everything waiting.
  void Pump();
  // The logged messages of `window` among `wanted` (all when empty), in order.
  std::vector<UINT> Sent(HWND window, std::vector<UINT> wanted = {}) const;
  std::vector<Logged> Of(HWND window, UINT message) const;
  void ClearLog() { log.clear(); }

  static constexpr const char* kLogged = "LoggedWindow";
  // The same with CS_DBLCLKS, a white background and the I-beam cursor.
  static constexpr const char* kLoggedDbl = "LoggedDblWindow";

  // Answers a message instead of the default procedure when it returns a value.
  static std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> handler;
  static std::vector<Logged> log;

private:
  static LRESULT LogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// Fills a rectangle of `window`'s client area straight on its surface (0xAARRGGBB).
void FillClient(HWND window, RECT rect, uint32_t pixel);
// The pixel at a client point of `window` on its surface.
uint32_t ClientPixel(HWND window, POINT p);
// A screen point from client coordinates.
POINT ScreenPoint(HWND window, int x, int y);
