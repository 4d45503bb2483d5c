// Owner-drawn controls paint their parent's background (and its graphic
// children) into their own device context before drawing themselves.
#pragma once

#include "platform/forms/controls.h"

// The parent, asked to erase and paint into `dc` moved so that the
// control's client origin falls on (0, 0); nothing without a parent.
void PaintParentBackground(TWinControl* control, HDC dc);

// The interface through which one style choice reaches the smooth panels
// and the panel styler: 0 Office 2003 blue ... 12 terminal.
class IStylePreset {
public:
  virtual ~IStylePreset() = default;
  virtual void ApplyStylePreset(int32_t style) = 0;
};
