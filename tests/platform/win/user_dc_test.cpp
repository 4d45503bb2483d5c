// Device contexts over the window surfaces: clipping of children, the
// window DC's frame, erasing with class brushes, and invalidation by region.
#include "platform/win/gdi.h"
#include "tests/platform/win/user_test_support.h"

namespace {

class DeviceContextTest : public UserTest {
protected:
  // Each window paints all it may in its brush and notes that it painted.
  void PaintAllOver(std::vector<HWND>& painted, std::function<HBRUSH(HWND)> brushOf) {
    handler = [&painted, brushOf](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
      if (m != WM_PAINT) return std::nullopt;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      RECT huge{-1000, -1000, 1000, 1000};
      FillRect(dc, &huge, brushOf(h));
      painted.push_back(h);
      EndPaint(h, &ps);
      return 0;
    };
  }
};

uint32_t Pixel(COLORREF c) {
  return 0xFF000000u | (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

TEST_F(DeviceContextTest, ChildrenPaintOnlyTheirVisiblePart) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 80});
  HWND panel = Make(WS_VISIBLE, RECT{10, 10, 60, 60}, top);
  // The button hangs over the panel's right edge.
  HWND button = Make(WS_VISIBLE, RECT{30, 30, 80, 45}, panel);
  HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  std::vector<HWND> painted;
  PaintAllOver(painted, [&](HWND h) { return h == top ? grey : h == panel ? blue : red; });
  Pump();
  EXPECT_EQ(painted, (std::vector<HWND>{top, panel, button}));
  EXPECT_EQ(ClientPixel(top, POINT{5, 5}), Pixel(RGB(128, 128, 128)));
  EXPECT_EQ(ClientPixel(top, POINT{15, 15}), Pixel(RGB(0, 0, 255)));
  EXPECT_EQ(ClientPixel(top, POINT{45, 45}), Pixel(RGB(255, 0, 0)));
  EXPECT_EQ(ClientPixel(top, POINT{65, 45}), Pixel(RGB(128, 128, 128))) << "outside the panel, the button is clipped";
  // Only the update rectangle is painted.
  FillClient(top, RECT{0, 0, 100, 80}, 0xFF000000u);
  RECT small{0, 0, 5, 5};
  InvalidateRect(top, &small, FALSE);
  Pump();
  EXPECT_EQ(ClientPixel(top, POINT{2, 2}), Pixel(RGB(128, 128, 128)));
  EXPECT_EQ(ClientPixel(top, POINT{7, 7}), 0xFF000000u);
  DeleteObject(grey);
  DeleteObject(blue);
  DeleteObject(red);
}

// Labels above and below a child ask their parent for two small repaints;
// the parent paints the one rectangle that joins them, over the child
// between them, so the child paints itself again.
TEST_F(DeviceContextTest, ChildUnderTheParentsJoinedUpdatePaintsAgain) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  HWND child = Make(WS_VISIBLE, RECT{10, 40, 90, 60}, top);
  HBRUSH grey = CreateSolidBrush(RGB(128, 128, 128));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  std::vector<HWND> painted;
  PaintAllOver(painted, [&](HWND h) { return h == top ? grey : red; });
  Pump();
  painted.clear();
  ASSERT_EQ(ClientPixel(top, POINT{20, 50}), Pixel(RGB(255, 0, 0)));
  const RECT above{10, 20, 50, 30}, below{10, 70, 50, 80};
  InvalidateRect(top, &above, FALSE);
  InvalidateRect(top, &below, FALSE);
  Pump();
  EXPECT_EQ(painted, (std::vector<HWND>{top, child}));
  EXPECT_EQ(ClientPixel(top, POINT{20, 50}), Pixel(RGB(255, 0, 0))) << "the child was painted over and left so";
  EXPECT_EQ(ClientPixel(top, POINT{20, 35}), Pixel(RGB(128, 128, 128)));
  DeleteObject(grey);
  DeleteObject(red);
}

TEST_F(DeviceContextTest, WindowDcReachesTheFrameAndClassBrushesErase) {
  WNDCLASS wc;
  wc.lpfnWndProc = DefWindowProc;
  HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
  wc.hbrBackground = green;
  wc.lpszClassName = "GreenWindow";
  RegisterClass(&wc);
  HWND w = CreateWindowEx(0, "GreenWindow", "", WS_POPUP | WS_BORDER | WS_VISIBLE, 0, 0, 20, 20, nullptr, nullptr,
                          nullptr, nullptr);
  ProcessPendingMessages();
  EXPECT_EQ(ClientPixel(w, POINT{3, 3}), Pixel(RGB(0, 255, 0)));
  HDC dc = GetWindowDC(w);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  RECT corner{0, 0, 1, 1};
  FillRect(dc, &corner, black);
  ReleaseDC(w, dc);
  EXPECT_EQ(GetWindowSurface(w)->pixels[0], 0xFF000000u);
  HDC screen = GetDC(nullptr);
  EXPECT_NE(screen, nullptr);
  ReleaseDC(nullptr, screen);
  DestroyWindow(w);
  UnregisterClass("GreenWindow", nullptr);
  DeleteObject(green);
}

TEST_F(DeviceContextTest, InvalidateRgnTakesTheRegionsRectangles) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  Pump();
  HRGN a = CreateRectRgn(10, 10, 20, 20);
  HRGN b = CreateRectRgn(50, 60, 70, 80);
  CombineRgn(a, a, b, RGN_OR);
  InvalidateRgn(w, a, FALSE);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(w, &update, FALSE));
  EXPECT_EQ(update, (RECT{10, 10, 70, 80}));
  ValidateRect(w, nullptr);
  InvalidateRgn(w, nullptr, FALSE);
  GetUpdateRect(w, &update, FALSE);
  EXPECT_EQ(update, (RECT{0, 0, 100, 100}));
  DeleteObject(a);
  DeleteObject(b);
}

}  // namespace

namespace {

// A control asks its parent to paint the background into the control's own
// memory device context; the default erase paints there, not on the window.
TEST_F(DeviceContextTest, DefaultEraseUsesTheDeviceContextGiven) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 20, 20}, nullptr, 0, kLoggedDbl);
  Pump();
  FillClient(w, RECT{0, 0, 20, 20}, 0xFF000000u);
  HDC memory = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateBitmap(4, 4, 1, 32, nullptr);
  HGDIOBJ old = SelectObject(memory, bitmap);
  EXPECT_EQ(SendMessage(w, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0), 1);
  EXPECT_EQ(GetPixel(memory, 1, 1), GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(ClientPixel(w, POINT{1, 1}), 0xFF000000u) << "the window itself is left alone";
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

}  // namespace
