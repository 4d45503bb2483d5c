// Modal loops.
#include "platform/win/user_internal.h"

bool RunModalLoop(HWND window, const std::function<bool()>& finished) {
  if (!IsWindow(window)) return true;
  HWND previous = GetActiveWindow();
  // The window shown for the loop may already be the active one: its owner comes back then.
  if (previous == window) previous = GetWindow(window, GW_OWNER);
  std::vector<HWND> disabled;
  std::vector<HWND> tops = user::S().topLevels;
  for (HWND t : tops)
    if (t != window && IsWindowVisible(t) && IsWindowEnabled(t)) {
      EnableWindow(t, FALSE);
      disabled.push_back(t);
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
  for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  if (previous && IsWindowVisible(previous) && IsWindowEnabled(previous)) SetActiveWindow(previous);
  return !quit;
}
