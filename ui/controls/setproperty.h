// The setter most styled-control properties share: compare, store, repaint.
#pragma once

#include "platform/forms/controls.h"
#include "ui/render/storechanged.h"

template <class T>
void SetAndInvalidate(TControl* control, T& field, T value) {
  if (StoreChanged(field, value)) control->Invalidate();
}
