// A back end that shows nothing: tests derive from it and override what they watch.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/display/display.h"

class StubBackend : public display::Backend {
public:
  const char* Name() const override { return "stub"; }
  void ShowWindow(display::WindowKey, const RECT&, const std::string&, const display::WindowShape&) override {}
  void HideWindow(display::WindowKey) override {}
  void MoveWindow(display::WindowKey, const RECT&) override {}
  void SetTitle(display::WindowKey, const std::string&) override {}
  void Raise(display::WindowKey) override {}
  void Present(display::WindowKey, const Surface&) override {}
  void SetCursorShape(int) override {}
  void SetCursorPicture(const display::CursorPicture&) override {}
  bool NeedsPumping() const override { return false; }
  void PumpEvents(int) override {}
  std::vector<display::Monitor> Monitors() override {
    return {display::Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true}};
  }
  void SetClipboardText(const std::string&) override {}
  std::optional<std::string> ClipboardText() override { return std::nullopt; }
  void Beep() override {}
};
