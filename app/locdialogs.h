// Message dialogs in the current language: the captions of the dialog
// buttons, taken from the language files, and a message dialog that uses them.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/dialogs.h"

// Captions of the buttons Yes, No, OK, Cancel, Abort, Retry, Ignore, All,
// NoToAll, YesToAll and Help; empty until LoadDialogTexts runs.
extern std::array<std::string, 11> ButtonCaptions;

// Takes the captions from the language manager's constants ("lng_MsgBtnYes"
// ...), each defaulting to the framework's English caption.
void LoadDialogTexts();

// Shows a message dialog titled title (the application's title when empty)
// with the localised button captions; x or y of 0 or more places that edge,
// both negative centre it on the screen. A dialog narrower than 300 pixels
// is widened to 300 and its buttons move along. "&" in the text shows as is.
TModalResult locMessageDlg(const std::string& title, const std::string& text, TMsgDlgType type,
                           TMsgDlgButtons buttons, int32_t helpContext, int32_t x, int32_t y,
                           const std::string& helpFile);
// The dialog locMessageDlg shows, for the caller to show and free.
std::unique_ptr<TForm> CreateLocMessageDialog(const std::string& title, const std::string& text,
                                              TMsgDlgType type, TMsgDlgButtons buttons, int32_t helpContext,
                                              int32_t x, int32_t y, const std::string& helpFile);
