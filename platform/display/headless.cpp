// The headless back end and the input injector.
#include "platform/display/headless.h"

#include <cerrno>
#include <csignal>
#include <map>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

namespace display {

namespace {

class HeadlessBackend : public Backend {
public:
  const char* Name() const override { return "headless"; }

  void ShowWindow(WindowKey window, const RECT& screenRect, const std::string& title,
                  const WindowShape& shape) override {
    auto& w = windows_[window];
    w.shown = true;
    w.rect = screenRect;
    w.title = title;
    w.shape = shape;
    w.minimized = false;
    ++w.shows;
  }
  void HideWindow(WindowKey window) override { windows_[window].shown = false; }
  void DestroyWindow(WindowKey window) override {
    auto& w = windows_[window];
    w.shown = false;
    w.destroyed = true;
  }
  void Minimize(WindowKey window) override { windows_[window].minimized = true; }
  void MoveWindow(WindowKey window, const RECT& screenRect) override { windows_[window].rect = screenRect; }
  void SetTitle(WindowKey window, const std::string& title) override { windows_[window].title = title; }
  void Raise(WindowKey) override {}
  void Present(WindowKey window, const Surface&) override { ++windows_[window].presents; }
  void SetCursorShape(int cursorId) override {
    cursor_ = cursorId;
    picture_ = nullptr;
  }
  void SetCursorPicture(const CursorPicture& picture) override {
    cursor_ = 0;
    picture_ = &picture;
  }

  bool NeedsPumping() const override { return false; }
  void PumpEvents(int) override {}

  std::vector<Monitor> Monitors() override {
    // One full-HD screen with a task bar of 40 pixels at the bottom.
    return {Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true}};
  }
  void SetClipboardText(const std::string& utf8) override { clipboard_ = utf8; }
  std::optional<std::string> ClipboardText() override { return clipboard_; }
  void Beep() override { ++beeps_; }

  bool State(WindowKey window, HeadlessWindowState& state) const {
    auto it = windows_.find(window);
    if (it == windows_.end()) return false;
    state = it->second;
    return true;
  }
  int beeps_ = 0;
  int cursor_ = 0;
  const CursorPicture* picture_ = nullptr;

private:
  std::map<WindowKey, HeadlessWindowState> windows_;
  std::optional<std::string> clipboard_;
};

HeadlessBackend* ActiveHeadless() { return dynamic_cast<HeadlessBackend*>(&ActiveBackend()); }

template <class F>
void ToSink(F&& f) {
  if (InputSink* sink = ActiveBackend().Sink()) f(*sink);
}

// The write end of the pipe that carries signals to the watcher thread.
int signalPipe = -1;

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = write(signalPipe, &byte, 1);
}

}  // namespace

void CloseOnSignals() {
  static bool installed = false;
  if (installed) return;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return;
  installed = true;
  signalPipe = fds[1];
  std::thread([readEnd = fds[0]] {
    for (;;) {
      char byte;
      const ssize_t n = read(readEnd, &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n != 1) return;
      if (InputSink* sink = ActiveBackend().Sink()) sink->QuitRequested();
    }
  }).detach();
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

std::unique_ptr<Backend> CreateHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

void InjectMouseMove(POINT screen) {
  ToSink([&](InputSink& s) { s.MouseMove(screen); });
}
void InjectMouseDown(POINT screen, MouseButton button) {
  ToSink([&](InputSink& s) { s.MouseButtonEvent(button, true, screen); });
}
void InjectMouseUp(POINT screen, MouseButton button) {
  ToSink([&](InputSink& s) { s.MouseButtonEvent(button, false, screen); });
}
void InjectClick(POINT screen, MouseButton button) {
  InjectMouseMove(screen);
  InjectMouseDown(screen, button);
  InjectMouseUp(screen, button);
}
void InjectDoubleClick(POINT screen, MouseButton button) {
  InjectClick(screen, button);
  InjectMouseDown(screen, button);
  InjectMouseUp(screen, button);
}
void InjectWheel(POINT screen, int delta, bool horizontal) {
  ToSink([&](InputSink& s) { s.MouseWheel(delta, horizontal, screen); });
}
void InjectMouseLeave() {
  ToSink([&](InputSink& s) { s.MouseLeftScreen(); });
}
void InjectKeyDown(uint8_t virtualKey) {
  ToSink([&](InputSink& s) { s.Key(virtualKey, true); });
}
void InjectKeyUp(uint8_t virtualKey) {
  ToSink([&](InputSink& s) { s.Key(virtualKey, false); });
}
void InjectKey(uint8_t virtualKey) {
  InjectKeyDown(virtualKey);
  InjectKeyUp(virtualKey);
}
void InjectText(const std::string& utf8) {
  ToSink([&](InputSink& s) { s.Text(utf8); });
}
void InjectFileDrop(POINT screen, const std::vector<std::string>& files) {
  ToSink([&](InputSink& s) { s.FilesDropped(screen, files); });
}

void InjectWindowResized(WindowKey window, SIZE size) {
  ToSink([&](InputSink& s) { s.WindowResized(window, size); });
}
void InjectWindowExposed(WindowKey window) {
  ToSink([&](InputSink& s) { s.WindowExposed(window); });
}
void InjectApplicationDeactivated() {
  ToSink([](InputSink& s) { s.ApplicationDeactivated(); });
}
void InjectQuitRequested() {
  ToSink([](InputSink& s) { s.QuitRequested(); });
}
WindowPart QueryWindowPart(WindowKey window, POINT screen) {
  InputSink* sink = ActiveBackend().Sink();
  return sink ? sink->PartAt(window, screen) : WindowPart::Client;
}

bool HeadlessWindow(WindowKey window, HeadlessWindowState& state) {
  HeadlessBackend* b = ActiveHeadless();
  return b && b->State(window, state);
}
int HeadlessBeepCount() {
  HeadlessBackend* b = ActiveHeadless();
  return b ? b->beeps_ : 0;
}
int HeadlessCursorShape() {
  HeadlessBackend* b = ActiveHeadless();
  return b ? b->cursor_ : 0;
}
const CursorPicture* HeadlessCursorPicture() {
  HeadlessBackend* b = ActiveHeadless();
  return b ? b->picture_ : nullptr;
}

}  // namespace display
