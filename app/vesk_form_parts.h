// The building blocks of the program's form descriptions: a component
// placed with its name and bounds, the captioned smooth groups, the glass
// buttons and the labels in the program's look.
#pragma once

#include <initializer_list>

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TAdvSmoothPanel;
class TAdvGlassButton;
class TAdvComboBox;

// A group or one of the big panels: a smooth panel with its caption at the top.
TAdvSmoothPanel* Group(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y,
                       int w, int h, bool big = false);

// A glass button in the program's colours; its outer border is the white
// choice mark.
TAdvGlassButton* Button(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y,
                        int w, int h, TNotifyEvent onClick);

// A transparent label of fixed size.
TLabel* Label(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y, int w,
              int h, TAlignment alignment = taLeftJustify, bool wrap = false);

// A drop-down list of the items with one row selected.
TAdvComboBox* List(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w,
                   std::initializer_list<const char*> items, int32_t selected);

// Marks a choice button: red outer border while its choice is in force, else white.
void SetChoiceMark(TAdvGlassButton* button, bool on);
