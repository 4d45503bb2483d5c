// Opens one window on the desktop and draws into it: a gradient, a frame,
// and a square wherever the mouse is clicked. Keys: Esc closes, Space clears.
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
#include "platform/win/user.h"

namespace {

std::vector<POINT> clicks;
std::string snapshotPath;
constexpr UINT_PTR kCloseTimer = 1;

uint32_t Pixel(uint8_t r, uint8_t g, uint8_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// Paints straight into the window's part of its surface.
void Paint(HWND window) {
  Surface* s = GetWindowSurface(window);
  RECT client;
  GetClientRect(window, &client);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  RECT frame;
  GetWindowRect(window, &frame);
  int ox = origin.x - frame.left, oy = origin.y - frame.top;
  auto put = [&](int x, int y, uint32_t p) {
    if (x >= 0 && y >= 0 && x < client.right && y < client.bottom) s->Row(oy + y)[ox + x] = p;
  };
  for (int y = 0; y < client.bottom; ++y)
    for (int x = 0; x < client.right; ++x)
      put(x, y, Pixel(static_cast<uint8_t>(255 * x / std::max<LONG>(1, client.right)),
                      static_cast<uint8_t>(255 * y / std::max<LONG>(1, client.bottom)), 160));
  for (int x = 20; x < client.right - 20; ++x) {
    put(x, 20, Pixel(255, 255, 255));
    put(x, client.bottom - 21, Pixel(255, 255, 255));
  }
  for (int y = 20; y < client.bottom - 20; ++y) {
    put(20, y, Pixel(255, 255, 255));
    put(client.right - 21, y, Pixel(255, 255, 255));
  }
  for (POINT c : clicks)
    for (int y = -6; y <= 6; ++y)
      for (int x = -6; x <= 6; ++x) put(c.x + x, c.y + y, Pixel(250, 220, 40));
}

LRESULT DemoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(window, &ps);
      Paint(window);
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

// Device contexts come from the drawing layer; until it is part of the
// build, painting here goes straight to the surface and needs none.
__attribute__((weak)) HDC CreateSurfaceDC(Surface*, POINT, const RECT&, HWND) { return nullptr; }
__attribute__((weak)) void ReleaseSurfaceDC(HDC) {}

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
