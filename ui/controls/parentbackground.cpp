#include "ui/controls/parentbackground.h"

void PaintParentBackground(TControl* control, HDC dc) {
  TWinControl* parent = control->Parent();
  if (!parent) return;
  const int saved = SaveDC(dc);
  const POINT origin = parent->ScreenToClient(control->ClientToScreen(POINT{0, 0}));
  SetWindowOrgEx(dc, origin.x, origin.y, nullptr);
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);
}
