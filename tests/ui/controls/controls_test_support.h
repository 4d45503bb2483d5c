// What the control tests share: the forms fixture with a clock that only the
// test moves, and pixel probes of a control's painted face.
#pragma once

#include "platform/win/user_timers.h"
#include "tests/platform/forms/forms_test_support.h"

class ControlsTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    UseManualClock(1000);
  }
  void TearDown() override {
    FormsTest::TearDown();
    UseRealClock();
  }
  // Moves the clock on in steps of 10 ms, pumping the timers that fall due.
  static void Advance(DWORD milliseconds) {
    for (DWORD t = 0; t < milliseconds; t += 10) {
      AdvanceClock(10);
      Pump();
    }
  }
  // Shows the control's form and gives the control the focus.
  static void Focus(TWinControl* control) {
    control->GetParentForm()->Show();
    Pump();
    control->SetFocus();
    Pump();
  }
  // The colour at a client point of a painted control (its form's surface).
  static COLORREF Probe(TControl* control, int x, int y) {
    TCustomForm* form = control->GetParentForm();
    form->Update();
    control->Update();
    HDC dc = GetDC(form->Handle());
    const POINT p = form->ScreenToClient(control->ClientToScreen(POINT{x, y}));
    const COLORREF c = GetPixel(dc, p.x, p.y);
    ReleaseDC(form->Handle(), dc);
    return c;
  }
};
