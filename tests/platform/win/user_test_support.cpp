#include "tests/platform/win/user_test_support.h"

std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)> UserTest::handler;
std::vector<Logged> UserTest::log;

LRESULT UserTest::LogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  log.push_back(Logged{window, message, wParam, lParam});
  if (handler)
    if (auto r = handler(window, message, wParam, lParam)) return *r;
  return DefWindowProc(window, message, wParam, lParam);
}

void UserTest::SetUp() {
  display::SetActiveBackend(display::CreateHeadlessBackend());
  UseManualClock(100000);
  WNDCLASS wc;
  wc.lpfnWndProc = LogProc;
  wc.lpszClassName = kLogged;
  RegisterClass(&wc);
  wc.style = CS_DBLCLKS;
  wc.lpszClassName = kLoggedDbl;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.hCursor = LoadCursor(nullptr, IDC_IBEAM);
  RegisterClass(&wc);
  handler = nullptr;
  log.clear();
}

void UserTest::TearDown() {
  handler = nullptr;
  std::vector<HWND> tops;
  for (HWND h = FindWindowEx(nullptr, nullptr, nullptr, nullptr); h; h = FindWindowEx(nullptr, h, nullptr, nullptr))
    tops.push_back(h);
  for (HWND h : tops) DestroyWindow(h);
  ReleaseCapture();
  for (int vk = 0; vk < 256; ++vk)
    if (GetAsyncKeyState(vk) < 0) display::InjectKeyUp(static_cast<uint8_t>(vk));
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  log.clear();
  UseRealClock();
}

HWND UserTest::Make(DWORD style, RECT r, HWND parent, DWORD exStyle, const char* className) {
  if (parent) style |= WS_CHILD;
  return CreateWindowEx(exStyle, className, "", style, r.left, r.top, r.right - r.left, r.bottom - r.top, parent,
                        nullptr, nullptr, nullptr);
}

void UserTest::Pump() { ProcessPendingMessages(); }

std::vector<UINT> UserTest::Sent(HWND window, std::vector<UINT> wanted) const {
  std::vector<UINT> out;
  for (const Logged& l : log)
    if (l.window == window && (wanted.empty() || std::find(wanted.begin(), wanted.end(), l.message) != wanted.end()))
      out.push_back(l.message);
  return out;
}

std::vector<Logged> UserTest::Of(HWND window, UINT message) const {
  std::vector<Logged> out;
  for (const Logged& l : log)
    if (l.window == window && l.message == message) out.push_back(l);
  return out;
}

namespace {

POINT ClientOriginInSurface(HWND window) {
  POINT p{0, 0};
  ClientToScreen(window, &p);
  RECT top;
  GetWindowRect(GetAncestor(window, GA_ROOT), &top);
  return POINT{p.x - top.left, p.y - top.top};
}

}  // namespace

void FillClient(HWND window, RECT r, uint32_t pixel) {
  Surface* s = GetWindowSurface(window);
  POINT o = ClientOriginInSurface(window);
  for (LONG y = r.top; y < r.bottom; ++y)
    for (LONG x = r.left; x < r.right; ++x) s->Row(o.y + y)[o.x + x] = pixel;
}

uint32_t ClientPixel(HWND window, POINT p) {
  Surface* s = GetWindowSurface(window);
  POINT o = ClientOriginInSurface(window);
  return s->Row(o.y + p.y)[o.x + p.x];
}

POINT ScreenPoint(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return p;
}
