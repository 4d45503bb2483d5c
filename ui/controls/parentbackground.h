// Paints a control's parent's background and content into the control's
// device context, so that a control without a background of its own shows
// what lies behind it.
#pragma once

#include "platform/forms/controls.h"

void PaintParentBackground(TControl* control, HDC dc);
