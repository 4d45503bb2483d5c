// Headless forms for the panel tests: reading back what a control shows,
// and dragging with the injected mouse.
#pragma once

#include "platform/win/gdi.h"
#include "platform/win/user_paint.h"
#include "tests/platform/forms/forms_test_support.h"

class PanelTest : public FormsTest {
protected:
  // The colour a control shows at a client point, after painting what is pending.
  static TColor Shown(TWinControl* c, int x, int y) {
    c->Update();
    HDC dc = GetDC(c->Handle());
    COLORREF p = GetPixel(dc, x, y);
    ReleaseDC(c->Handle(), dc);
    return static_cast<TColor>(p);
  }
  static void MoveTo(TControl* c, int x, int y) {
    display::InjectMouseMove(At(c, x, y));
    Pump();
  }
  // Presses at one client point of `c`, moves to another (same client frame) and lets go.
  static void Drag(TControl* c, POINT from, POINT to) {
    POINT start = At(c, from.x, from.y);
    POINT end{start.x + (to.x - from.x), start.y + (to.y - from.y)};
    display::InjectMouseMove(start);
    display::InjectMouseDown(start);
    Pump();
    display::InjectMouseMove(POINT{(start.x + end.x) / 2, (start.y + end.y) / 2});
    display::InjectMouseMove(end);
    Pump();
    display::InjectMouseUp(end);
    Pump();
  }
  static int Grey(TColor c) { return c & 0xFF; }
};
