// Modal loops.
#include "tests/platform/win/user_test_support.h"

namespace {

using ModalTest = UserTest;

TEST_F(ModalTest, DisablesTheOtherWindowsUntilFinished) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND other = Make(WS_POPUP | WS_VISIBLE, RECT{300, 0, 400, 100});
  HWND hidden = Make(WS_POPUP, RECT{0, 0, 10, 10});
  SetActiveWindow(owner);
  HWND dialog = Make(WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150});
  SetWindowLongPtr(dialog, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
  bool done = false;
  bool ownerEnabledInside = true, otherEnabledInside = true;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (h == dialog && m == WM_USER) {
      ownerEnabledInside = IsWindowEnabled(owner);
      otherEnabledInside = IsWindowEnabled(other);
      // A click on the disabled owner does nothing.
      display::InjectClick(ScreenPoint(owner, 5, 5));
      PostMessage(dialog, WM_USER + 1, 0, 0);
    }
    if (h == dialog && m == WM_USER + 1) done = true;
    return std::nullopt;
  };
  PostMessage(dialog, WM_USER, 0, 0);
  ClearLog();
  EXPECT_TRUE(RunModalLoop(dialog, [&] { return done; }));
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_FALSE(otherEnabledInside);
  EXPECT_TRUE(Sent(owner, {WM_LBUTTONDOWN}).empty());
  EXPECT_TRUE(IsWindowEnabled(owner));
  EXPECT_TRUE(IsWindowEnabled(other));
  EXPECT_TRUE(IsWindowEnabled(hidden));
  EXPECT_EQ(Sent(owner, {WM_ENABLE}).size(), 2u);
  EXPECT_TRUE(Sent(hidden, {WM_ENABLE}).empty()) << "hidden windows are left alone";
  EXPECT_EQ(GetActiveWindow(), owner) << "the window active before is active again";
}

TEST_F(ModalTest, EndsWhenTheWindowGoesOrQuitComes) {
  HWND owner = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND dialog = Make(WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150});
  PostMessage(dialog, WM_CLOSE, 0, 0);
  EXPECT_TRUE(RunModalLoop(dialog, [] { return false; }));
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_TRUE(IsWindowEnabled(owner));

  HWND second = Make(WS_POPUP | WS_VISIBLE, RECT{50, 50, 150, 150});
  PostQuitMessage(5);
  EXPECT_FALSE(RunModalLoop(second, [] { return false; }));
  EXPECT_TRUE(IsWindowEnabled(owner));
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT)) << "the quit is left for the outer loop";
  EXPECT_EQ(m.wParam, 5u);
}

}  // namespace
