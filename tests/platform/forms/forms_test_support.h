// What the forms tests share: a fresh headless display per test, pumping,
// and input aimed at controls.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"
#include "platform/win/locale.h"

class FormsTest : public ::testing::Test {
protected:
  // The framework's own texts are checked in English whatever the machine's locale.
  ScopedUserLocale english_{"en_US.UTF-8"};

  void SetUp() override {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    ClearDialogScript();
    Application->ResetTerminated();
  }
  void TearDown() override {
    for (TForm* form : forms_) delete form;
    forms_.clear();
    Pump();
    for (int vk = 0; vk < 256; ++vk)
      if (GetAsyncKeyState(vk) < 0) display::InjectKeyUp(static_cast<uint8_t>(vk));
    Pump();
    ClearDialogScript();
    Application->ResetTerminated();
  }

  // A form freed after the test, shown at a fixed place.
  TForm* MakeForm(int width = 400, int height = 300) {
    auto* form = new TForm(nullptr);
    form->SetBounds(50, 50, width, height);
    forms_.push_back(form);
    return form;
  }
  template <class T>
  T* Add(TWinControl* parent, const char* name, RECT bounds) {
    auto* control = new T(parent->GetParentForm() ? static_cast<TComponent*>(parent->GetParentForm()) : parent);
    control->SetName(name);
    control->SetParent(parent);
    control->SetBounds(bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top);
    return control;
  }

  static void Pump() { Application->ProcessMessages(); }
  // A screen point from a control's client coordinates (its centre by default).
  static POINT At(const TControl* c, int x = -1, int y = -1) {
    return c->ClientToScreen(POINT{x < 0 ? c->Width() / 2 : x, y < 0 ? c->Height() / 2 : y});
  }
  static void Click(const TControl* c, int x = -1, int y = -1) {
    display::InjectClick(At(c, x, y));
    Pump();
  }
  static void Key(uint8_t vk) {
    display::InjectKey(vk);
    Pump();
  }
  // Presses a key while holding the modifiers.
  static void Chord(std::vector<uint8_t> modifiers, uint8_t vk) {
    for (uint8_t m : modifiers) display::InjectKeyDown(m);
    display::InjectKey(vk);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) display::InjectKeyUp(*it);
    Pump();
  }
  static void Type(const std::string& text) {
    display::InjectText(text);
    Pump();
  }

  std::vector<TForm*> forms_;
};
