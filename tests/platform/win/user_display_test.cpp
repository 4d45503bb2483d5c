// What the window layer tells the display and what it does with the window
// system's own events: window kinds, re-shown and destroyed windows, sizes
// changed from outside, the frame's parts, caption buttons, an asked end,
// losing the keyboard to another program, file drops, and the idle wait.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/win/user_input.h"
#include "platform/win/user_messages.h"
#include "tests/platform/display/stub_backend.h"
#include "tests/platform/win/user_test_support.h"

namespace {

using display::WindowKind;
using display::WindowPart;

display::WindowKey Key(HWND h) { return reinterpret_cast<display::WindowKey>(h); }

display::HeadlessWindowState StateOf(HWND h) {
  display::HeadlessWindowState state;
  EXPECT_TRUE(display::HeadlessWindow(Key(h), state));
  return state;
}

using DisplayTest = UserTest;

TEST_F(DisplayTest, WindowsTellTheDisplayTheirKind) {
  HWND owner = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{10, 10, 300, 200});
  struct Case {
    DWORD style;
    DWORD exStyle;
    bool owned;
    WindowKind kind;
    bool resizable;
  } cases[] = {
      {WS_OVERLAPPEDWINDOW, 0, false, WindowKind::Normal, true},
      {WS_CAPTION | WS_SYSMENU, 0, false, WindowKind::Normal, false},
      {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, true, WindowKind::Dialog, false},
      {WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, false, WindowKind::PopupMenu, false},
      {WS_POPUP | WS_BORDER, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT, false, WindowKind::Tooltip, false},
  };
  for (const Case& c : cases) {
    HWND h = CreateWindowEx(c.exStyle, kLogged, "w", c.style, 40, 60, 100, 80, c.owned ? owner : nullptr, nullptr,
                            nullptr, nullptr);
    ShowWindow(h, SW_SHOWNA);
    display::HeadlessWindowState s = StateOf(h);
    EXPECT_EQ(s.shape.kind, c.kind) << c.style;
    EXPECT_EQ(s.shape.resizable, c.resizable) << c.style;
    EXPECT_EQ(s.shape.owner, c.owned ? Key(owner) : 0u);
    EXPECT_EQ(s.rect, (RECT{40, 60, 140, 140})) << "placed exactly where asked";
    DestroyWindow(h);
  }
}

TEST_F(DisplayTest, ReshownWindowTakesItsNewPlaceAndTitleAndDestroyedOneLeaves) {
  HWND h = Make(WS_CAPTION | WS_VISIBLE, RECT{10, 10, 110, 110});
  ShowWindow(h, SW_HIDE);
  SetWindowPos(h, nullptr, 200, 220, 150, 90, SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowText(h, "Again");
  ShowWindow(h, SW_SHOW);
  display::HeadlessWindowState s = StateOf(h);
  EXPECT_TRUE(s.shown);
  EXPECT_EQ(s.shows, 2);
  EXPECT_EQ(s.rect, (RECT{200, 220, 350, 310}));
  EXPECT_EQ(s.title, "Again");
  DestroyWindow(h);
  EXPECT_TRUE(StateOf(h).destroyed) << "a destroyed window is not merely hidden";
}

TEST_F(DisplayTest, SizeChangedFromOutsideRepaintsTheNewArea) {
  HWND h = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 200, 150});
  Pump();
  ClearLog();
  display::InjectWindowResized(Key(h), SIZE{320, 260});
  Pump();
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{0, 0, 320, 260}));
  auto sizes = Of(h, WM_SIZE);
  ASSERT_EQ(sizes.size(), 1u);
  RECT client;
  GetClientRect(h, &client);
  EXPECT_EQ(LOWORD(sizes[0].lParam), client.right);
  EXPECT_EQ(HIWORD(sizes[0].lParam), client.bottom);
  EXPECT_FALSE(Of(h, WM_PAINT).empty()) << "the new area is painted";
  FillClient(h, RECT{client.right - 5, client.bottom - 5, client.right, client.bottom}, 0xFF123456);
  EXPECT_EQ(ClientPixel(h, POINT{client.right - 1, client.bottom - 1}), 0xFF123456u) << "the surface grew";
  EXPECT_EQ(StateOf(h).rect, r) << "no size goes back to the window system";
}

TEST_F(DisplayTest, WindowSystemAsksThePartsOfTheFrame) {
  HWND sizable = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{100, 100, 400, 300});
  HWND fixed = Make(WS_CAPTION | WS_SYSMENU | WS_VISIBLE, RECT{500, 100, 700, 300});
  ASSERT_EQ(SendMessage(sizable, WM_NCHITTEST, 0, MAKELPARAM(380, 110)), HTCLOSE);
  const struct {
    HWND window;
    POINT at;
    WindowPart part;
  } cases[] = {
      {sizable, {200, 110}, WindowPart::Caption},   {sizable, {101, 200}, WindowPart::Left},
      {sizable, {398, 200}, WindowPart::Right},     {sizable, {200, 298}, WindowPart::Bottom},
      {sizable, {399, 299}, WindowPart::BottomRight}, {sizable, {200, 200}, WindowPart::Client},
      {sizable, {380, 110}, WindowPart::Client},    // the close button is the layer's own
      {fixed, {501, 200}, WindowPart::Client},      // a fixed frame does not size
      {fixed, {560, 110}, WindowPart::Caption},
  };
  for (const auto& c : cases)
    EXPECT_EQ(display::QueryWindowPart(Key(c.window), c.at), c.part) << c.at.x << "," << c.at.y;
  EnableWindow(sizable, FALSE);
  EXPECT_EQ(display::QueryWindowPart(Key(sizable), POINT{200, 110}), WindowPart::Client) << "a disabled window stays";
}

TEST_F(DisplayTest, CaptionButtonsMaximiseRestoreAndClose) {
  HWND h = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{100, 100, 400, 300});
  HWND dialog = Make(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, RECT{500, 100, 700, 300});
  auto buttonAt = [](HWND w, LRESULT which) {
    RECT wr;
    GetWindowRect(w, &wr);
    for (int x = wr.right - 1; x > wr.left; --x)
      if (SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(x, wr.top + 10)) == which) return POINT{x - 3, wr.top + 10};
    return POINT{-1, -1};
  };
  EXPECT_EQ(buttonAt(dialog, HTMAXBUTTON).x, -1) << "a dialog has a close button only";
  EXPECT_EQ(buttonAt(dialog, HTMINBUTTON).x, -1);
  display::InjectClick(buttonAt(h, HTMAXBUTTON));
  Pump();
  RECT r;
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{0, 0, 1920, 1040})) << "the work area";
  display::InjectClick(buttonAt(h, HTMAXBUTTON));
  Pump();
  GetWindowRect(h, &r);
  EXPECT_EQ(r, (RECT{100, 100, 400, 300}));
  display::InjectClick(buttonAt(h, HTMINBUTTON));
  Pump();
  EXPECT_TRUE(StateOf(h).minimized);
  display::InjectClick(buttonAt(h, HTCLOSE));
  Pump();
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(DisplayTest, AnAskedEndClosesTheMainWindowAsItsCloseButtonDoes) {
  HWND main = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 300, 200});
  HWND owned = CreateWindowEx(0, kLogged, "", WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 100, 100, main, nullptr,
                              nullptr, nullptr);
  HWND later = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{400, 0, 600, 200});
  ClearLog();
  display::InjectQuitRequested();
  Pump();
  EXPECT_EQ(Sent(main, {WM_SYSCOMMAND, WM_CLOSE}), (std::vector<UINT>{WM_SYSCOMMAND, WM_CLOSE}));
  EXPECT_TRUE(Sent(later, {WM_CLOSE}).empty());
  EXPECT_FALSE(IsWindow(main));
  EXPECT_FALSE(IsWindow(owned));
}

TEST_F(DisplayTest, LosingTheKeyboardToAnotherProgramEndsCaptureAndActivation) {
  HWND h = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 300, 200});
  HWND child = Make(WS_VISIBLE, RECT{10, 10, 50, 50}, h);
  SetFocus(child);
  SetCapture(child);
  ClearLog();
  display::InjectApplicationDeactivated();
  Pump();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(GetActiveWindow(), nullptr);
  EXPECT_EQ(GetFocus(), nullptr);
  EXPECT_EQ(Sent(child, {WM_CANCELMODE, WM_CAPTURECHANGED, WM_KILLFOCUS}),
            (std::vector<UINT>{WM_CANCELMODE, WM_CAPTURECHANGED, WM_KILLFOCUS}));
}

TEST_F(DisplayTest, APopUpThatTookTheKeyboardLeavesTheActiveWindowActiveAndGivesItBack) {
  HWND h = Make(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{0, 0, 300, 200});
  HWND child = Make(WS_VISIBLE, RECT{10, 10, 50, 50}, h);
  SetFocus(child);
  HWND menu = CreateWindowEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kLogged, "", WS_POPUP | WS_BORDER,
                             100, 100, 80, 60, nullptr, nullptr, nullptr, nullptr);
  ShowWindow(menu, SW_SHOW);
  SetFocus(menu);
  EXPECT_EQ(GetActiveWindow(), h) << "the main window stays active while its menu is open";
  display::InjectClick(POINT{120, 120});
  Pump();
  EXPECT_EQ(GetActiveWindow(), h) << "a click in the menu activates nothing";
  DestroyWindow(menu);
  EXPECT_EQ(GetFocus(), h) << "the keyboard goes back to the active window";
}

TEST_F(DisplayTest, FilesDroppedTogetherArriveAsOneDrop) {
  HWND h = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  std::vector<std::vector<std::string>> drops;
  SetFileDropHandler([&](HWND w, POINT, const std::vector<std::string>& files) {
    EXPECT_EQ(w, h);
    drops.push_back(files);
  });
  display::InjectFileDrop(POINT{50, 50}, {"/a.tif", "/b.tif", "/c.tif"});
  SetFileDropHandler(nullptr);
  ASSERT_EQ(drops.size(), 1u);
  EXPECT_EQ(drops[0].size(), 3u);
}

// A back end with events of its own: its wait ends when woken, and it counts how often it was asked to wait.
class PumpingBackend : public StubBackend {
public:
  const char* Name() const override { return "pumping"; }
  bool NeedsPumping() const override { return true; }
  void PumpEvents(int timeoutMs) override {
    std::unique_lock lock(mutex);
    waits.push_back(timeoutMs);
    waiting = true;
    changed.notify_all();
    if (timeoutMs < 0) changed.wait(lock, [&] { return woken; });
    waiting = false;
    woken = false;
  }
  void Wake() override {
    std::lock_guard lock(mutex);
    woken = true;
    changed.notify_all();
  }

  void AwaitWaiting() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return waiting; });
  }

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> waits;
  bool waiting = false;
  bool woken = false;
};

TEST_F(DisplayTest, IdleLoopBlocksUntilAMessagePostedFromAnotherThreadWakesIt) {
  auto owned = std::make_unique<PumpingBackend>();
  PumpingBackend* backend = owned.get();
  display::SetActiveBackend(std::move(owned));
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  backend->waits.clear();
  const DWORD gui = GetGuiThreadId();
  std::thread poster([&] {
    backend->AwaitWaiting();
    PostThreadMessage(gui, WM_APP + 7, 42, 0);
  });
  ASSERT_TRUE(GetMessage(&m, nullptr, 0, 0));
  poster.join();
  EXPECT_EQ(m.message, WM_APP + 7u);
  EXPECT_EQ(m.wParam, 42u);
  EXPECT_EQ(backend->waits, std::vector<int>{-1}) << "one wait without a time limit, woken once";
  display::SetActiveBackend(display::CreateHeadlessBackend());
}

}  // namespace
