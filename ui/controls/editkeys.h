// The clipboard keys of a one-line edit as the messages the edits handle.
#pragma once

#include "platform/forms/controls.h"

// WM_CUT, WM_COPY or WM_PASTE for Ctrl+X/C/V, Shift+Delete, Ctrl+Insert and
// Shift+Insert; 0 for any other key.
inline UINT ClipboardMessageOfKey(WORD key, TShiftState shift) {
  const bool ctrl = shift.Contains(ssCtrl), shifted = shift.Contains(ssShift);
  if ((ctrl && key == 'X') || (shifted && key == VK_DELETE)) return WM_CUT;
  if ((ctrl && key == 'C') || (ctrl && key == VK_INSERT)) return WM_COPY;
  if ((ctrl && key == 'V') || (shifted && key == VK_INSERT)) return WM_PASTE;
  return 0;
}
