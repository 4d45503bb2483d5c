// Modal loops.
#include "platform/win/user_internal.h"

bool RunModalLoop(HWND window, const std::function<bool()>& finished) {
  if (!IsWindow(window)) return true;
  HWND previous = GetActiveWindow();
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
  if (previous && previous != window && IsWindowVisible(previous)) SetActiveWindow(previous);
  return !quit;
}
