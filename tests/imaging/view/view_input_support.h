// What the tests of the view's selections, mouse, scrolling and navigator
// share: the view fixture over a known image at 100 %, a clock that only the
// test moves, and mouse drags in client coordinates.
#pragma once

#include "platform/win/user_timers.h"
#include "tests/imaging/view/view_test_support.h"

class ViewInputTest : public ViewTest {
protected:
  // The view is 200 x 150 without scroll bars; a 100 x 80 image sits centred
  // at client (kOriginX, kOriginY), so client (kOriginX + x, kOriginY + y) is bitmap (x, y).
  int32_t kOriginX = 0, kOriginY = 0;

  void SetUp() override {
    ViewTest::SetUp();
    UseManualClock(1000);
    view->SetScrollBars(ssNone);
    LoadPattern(100, 80);
    Pump();
    kOriginX = view->BitmapToClientX(0);
    kOriginY = view->BitmapToClientY(0);
  }
  void TearDown() override {
    ViewTest::TearDown();
    UseRealClock();
  }

  // A 24-bit image whose pixel (x, y) is red x, green y, blue 7.
  void LoadPattern(int32_t width, int32_t height) {
    MakeImage(width, height, [](int32_t x, int32_t y) {
      return TRGB{7, static_cast<uint8_t>(y), static_cast<uint8_t>(x)};
    });
  }
  // Moves the clock on in steps of 10 ms, pumping the timers that fall due.
  static void Advance(DWORD milliseconds) {
    for (DWORD t = 0; t < milliseconds; t += 10) {
      AdvanceClock(10);
      Pump();
    }
  }
  POINT Screen(int32_t x, int32_t y) const { return view->ClientToScreen(POINT{x, y}); }
  // A drag through the given client points.
  void Drag(std::initializer_list<POINT> points, display::MouseButton button = display::MouseButton::Left) {
    const POINT* p = points.begin();
    display::InjectMouseMove(Screen(p->x, p->y));
    display::InjectMouseDown(Screen(p->x, p->y), button);
    for (++p; p != points.end(); ++p) display::InjectMouseMove(Screen(p->x, p->y));
    const POINT last = *(points.end() - 1);
    display::InjectMouseUp(Screen(last.x, last.y), button);
    Pump();
  }
  void ClickAt(int32_t x, int32_t y, display::MouseButton button = display::MouseButton::Left) {
    display::InjectClick(Screen(x, y), button);
    Pump();
  }
  RECT SelectionBox() {
    return RECT{view->GetSelectionLeft(), view->GetSelectionTop(), view->GetSelectionRight(),
                view->GetSelectionBottom()};
  }
  bool MaskAt(int32_t x, int32_t y) { return view->SelectionMask()->IsPointInside(x, y); }
};
