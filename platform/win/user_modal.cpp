// Modal loops.
#include "platform/win/user_internal.h"

bool RunModalLoop(HWND window, const std::function<bool()>& finished) {
  if (!IsWindow(window)) return true;
  HWND previous = GetActiveWindow();
  // The window shown for the loop may already be the active one: the one
  // active before it (else its owner) comes back then.
  if (previous == window) {
    user::Window* w = user::Find(window);
    previous = w && IsWindow(w->activeBefore) ? w->activeBefore : GetWindow(window, GW_OWNER);
  }
  std::vector<HWND> disabled;
  std::vector<HWND> tops = user::S().topLevels;
  for (HWND t : tops)
    if (t != window && IsWindowVisible(t) && IsWindowEnabled(t)) {
      EnableWindow(t, FALSE);
      disabled.push_back(t);
    }
  // The window system keeps the window above the one it came from.
  if (user::Window* w = user::Find(window); w && !w->parent && previous && !w->owner) {
    w->modalFor = previous;
    user::DisplayWindowReshaped(*w);
  }
  if (IsWindowVisible(window)) SetActiveWindow(window);
  bool quit = false;
  MSG m;
  while (IsWindow(window) && !finished()) {
    if (!GetMessage(&m, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(m.wParam));
      quit = true;
      break;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  if (user::Window* w = user::Find(window)) w->modalFor = nullptr;
  for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  if (previous && IsWindowVisible(previous) && IsWindowEnabled(previous)) SetActiveWindow(previous);
  return !quit;
}
