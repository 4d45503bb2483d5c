// Placing dialogs, finding an owner window, the colour dialog, the scroll
// bars of the viewers and the mouse-button state.
#include <memory>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/win/user_input.h"
#include "platform/win/user_system.h"
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

// ---- scroll bars and input state ---------------------------------------------------------

void IESetScrollInfo(HWND window, int32_t bar, const SCROLLINFO& info, bool flat, bool redraw) {
  if (flat)
    FlatSB_SetScrollInfo(window, bar, &info, redraw);
  else
    SetScrollInfo(window, bar, &info, redraw);
}

void IESetScrollBar(HWND window, int32_t bar, int32_t min, bool flat, bool redraw, int32_t pos, int32_t page,
                    int32_t max) {
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = min;
  info.nMax = max;
  info.nPage = static_cast<UINT>(page);
  info.nPos = pos;
  IESetScrollInfo(window, bar, info, flat, redraw);
}

bool IESetScrollRange(HWND window, int32_t bar, int32_t min, bool flat, bool redraw, int32_t max) {
  SCROLLINFO info;
  info.fMask = SIF_RANGE;
  info.nMin = min;
  info.nMax = max;
  IESetScrollInfo(window, bar, info, flat, redraw);
  return true;
}

void IESetScrollPos(HWND window, int32_t bar, int32_t pos, bool flat, bool redraw) {
  SCROLLINFO info;
  info.fMask = SIF_POS;
  info.nPos = pos;
  IESetScrollInfo(window, bar, info, flat, redraw);
}

void IEEnableScrollBar(HWND window, int32_t bar, uint32_t arrows, bool flat) {
  if (flat)
    FlatSB_EnableScrollBar(window, bar, arrows);
  else
    EnableScrollBar(window, static_cast<UINT>(bar), arrows);
}

void IEShowScrollBar(HWND window, int32_t bar, bool show, bool flat) {
  if (flat)
    FlatSB_ShowScrollBar(window, bar, show);
  else
    ShowScrollBar(window, bar, show);
}

bool IEIsRemoteSession() { return GetSystemMetrics(SM_REMOTESESSION) != 0; }

bool IEIsLeftButtonDown() {
  const int key = GetSystemMetrics(SM_SWAPBUTTON) != 0 ? VK_RBUTTON : VK_LBUTTON;
  return (GetAsyncKeyState(key) & 0x8000) != 0;
}
