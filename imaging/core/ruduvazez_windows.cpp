// Placing dialogs, finding an owner window and the colour dialog.
#include <memory>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/win/user_windows.h"

namespace {

// Custom colours of the colour dialog when the settings hold none.
constexpr const char* kDefaultCustomColors[] = {
    "ColorA=D670DA", "ColorB=8B3D48", "ColorC=FF901E", "ColorD=ED9564", "ColorE=EBCE87", "ColorF=908070",
    "ColorG=4F4F2F", "ColorH=2F6B55", "ColorI=008080", "ColorJ=7FFF00", "ColorK=00FC7C", "ColorL=32CD9A",
    "ColorM=B9DAFF", "ColorN=00D7FF", "ColorO=20A5DA", "ColorP=1E69D2"};

// The monitor of the active form, else of the main form, else the first one.
TMonitor PlacementMonitor() {
  TCustomForm* form = Screen->ActiveForm();
  if (form == nullptr) form = Application->MainForm();
  return form ? Screen->MonitorFromWindow(form->Handle()) : Screen->Monitors(0);
}

}  // namespace

void IECenterWindow(HWND window) {
  if (auto place = IEGetGlobalSettings()->OnPlaceWindow) {
    place(window);
    return;
  }
  RECT rect;
  if (!GetWindowRect(window, &rect)) return;
  const TMonitor monitor = PlacementMonitor();
  const int32_t x = monitor.Left() + (monitor.Width() - (rect.right - rect.left)) / 2;
  const int32_t y = monitor.Top() + (monitor.Height() - (rect.bottom - rect.top)) / 3;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

HWND IEFindOwnerWindow(TComponent* component) {
  while (component != nullptr && dynamic_cast<TWinControl*>(component) == nullptr) component = component->Owner();
  auto* control = static_cast<TWinControl*>(component);
  return control && control->HandleAllocated() ? control->Handle() : nullptr;
}

bool IEPromptForColor(TColor& color) {
  TColorDialog dialog(nullptr);
  dialog.SetColor(color);
  const std::string& custom = IEGetGlobalSettings()->CustomColors;
  if (custom.empty()) {
    for (const char* line : kDefaultCustomColors) dialog.CustomColors()->Add(line);
  } else {
    dialog.CustomColors()->SetText(custom);
  }
  const bool confirmed = dialog.Execute();
  IEGetGlobalSettings()->CustomColors = dialog.CustomColors()->Text();
  if (confirmed) color = dialog.Color();
  return confirmed;
}
