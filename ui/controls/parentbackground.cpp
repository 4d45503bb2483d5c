#include "ui/controls/parentbackground.h"

#include "platform/win/gdi.h"
#include "platform/win/user_messages.h"

void PaintParentBackground(TWinControl* control, HDC dc) {
  TWinControl* parent = control->Parent();
  if (!parent || !dc) return;
  bool buffered = parent->DoubleBuffered();
  parent->SetDoubleBuffered(false);
  int saved = SaveDC(dc);
  POINT org{};
  GetWindowOrgEx(dc, &org);
  SetWindowOrgEx(dc, org.x + control->Left(), org.y + control->Top(), nullptr);
  parent->Perform(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  parent->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
  RestoreDC(dc, saved);
  parent->SetDoubleBuffered(buffered);
}
