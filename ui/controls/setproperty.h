// The setter most styled-control properties share: compare, store, repaint.
#pragma once

#include "platform/forms/controls.h"

template <class T>
void SetAndInvalidate(TControl* control, T& field, T value) {
  if (field == value) return;
  field = value;
  control->Invalidate();
}
