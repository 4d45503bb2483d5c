// What the tests of the view's selections, mouse, scrolling and navigator
// share: a shown form with a view at 100 % over a known image, a clock that
// only the test moves, and mouse drags in client coordinates.
#pragma once

#include "imaging/view/imageryview.h"
#include "platform/win/user_timers.h"
#include "tests/platform/forms/forms_test_support.h"

class ViewInputTest : public FormsTest {
protected:
  // The view is 200 x 150 without scroll bars; a 100 x 80 image sits centred
  // at client (kOriginX, kOriginY), so client (kOriginX + x, kOriginY + y) is bitmap (x, y).
  int32_t kOriginX = 0, kOriginY = 0;

  void SetUp() override {
    FormsTest::SetUp();
    UseManualClock(1000);
    form = MakeForm(400, 300);
    view = Add<TImageryView>(form, "View", {10, 10, 210, 160});
    view->SetScrollBars(ssNone);
    LoadPattern(100, 80);
    form->Show();
    Pump();
    kOriginX = view->BitmapToClientX(0);
    kOriginY = view->BitmapToClientY(0);
  }
  void TearDown() override {
    FormsTest::TearDown();
    UseRealClock();
  }

  // A 24-bit image whose pixel (x, y) is red x, green y, blue 7.
  void LoadPattern(int32_t width, int32_t height) {
    TIEBitmap* bitmap = view->GetIEBitmap();
    bitmap->Allocate(width, height, ie24RGB);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) Pixel(bitmap, x, y) = TRGB{7, static_cast<uint8_t>(y), static_cast<uint8_t>(x)};
    view->Update();
  }
  static TRGB& Pixel(TIEBitmap* bitmap, int32_t x, int32_t y) {
    return reinterpret_cast<TRGB*>(bitmap->GetScanline(y))[x];
  }
  // Moves the clock on in steps of 10 ms, pumping the timers that fall due.
  static void Advance(DWORD milliseconds) {
    for (DWORD t = 0; t < milliseconds; t += 10) {
      AdvanceClock(10);
      Pump();
    }
  }
  POINT Screen(int32_t x, int32_t y) const { return view->ClientToScreen(POINT{x, y}); }
  // A left-button drag through the given client points.
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
  // Paints what is invalid and answers the colour at a client point of the view.
  COLORREF Probe(int32_t x, int32_t y) {
    view->PaintNow();
    HDC dc = GetDC(view->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(view->Handle(), dc);
    return c;
  }
  bool MaskAt(int32_t x, int32_t y) { return view->SelectionMask()->IsPointInside(x, y); }

  TForm* form = nullptr;
  TImageryView* view = nullptr;
};
