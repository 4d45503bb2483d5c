// Driving the program's windows as a user does, headless: messages settled,
// clicks at a control's centre, and steps run inside a modal window once it
// has been activated.
#pragma once

#include <functional>

#include "platform/display/headless.h"
#include "platform/forms/forms.h"

inline void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

inline POINT Centre(TControl* control) {
  return control->ClientToScreen(POINT{control->Width() / 2, control->Height() / 2});
}

inline void Click(TControl* control) {
  display::InjectClick(Centre(control));
  Settle();
}

// Runs the steps inside the next window of the class to become active, once
// its own activation handler has run (for modal windows the program opens).
template <class T>
void WhenActive(std::function<void(T*)> steps) {
  Screen->OnActiveFormChange = [steps](TObject*) {
    auto* form = dynamic_cast<T*>(Screen->ActiveForm());
    if (!form) return;
    const std::function<void(T*)> run = steps;  // the handler goes with the next line
    Screen->OnActiveFormChange = nullptr;
    form->OnActivate = [form, run, own = form->OnActivate](TObject* sender) {
      const TNotifyEvent activate = own;
      const std::function<void(T*)> then = run;
      T* const window = form;
      window->OnActivate = activate;  // ends this handler's captures
      if (activate) activate(sender);
      then(window);
    };
  };
}
