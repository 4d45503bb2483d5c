// Message dialogs in the current language; see locdialogs.h.
#include "app/locdialogs.h"

#include <memory>

#include "app/loclangman.h"
#include "platform/forms/stdctrls.h"

std::array<std::string, 11> ButtonCaptions;

namespace {

// Button kinds in the order of ButtonCaptions, with their language constant
// and the name of their button in the dialog.
struct ButtonText {
  TMsgDlgBtn kind;
  const char* constant;
  const char* componentName;
};

const ButtonText kButtons[11] = {
    {mbYes, "lng_MsgBtnYes", "Yes"},          {mbNo, "lng_MsgBtnNo", "No"},
    {mbOK, "lng_MsgBtnOK", "OK"},             {mbCancel, "lng_MsgBtnCancel", "Cancel"},
    {mbAbort, "lng_MsgBtnAbort", "Abort"},    {mbRetry, "lng_MsgBtnRetry", "Retry"},
    {mbIgnore, "lng_MsgBtnIgnore", "Ignore"}, {mbAll, "lng_MsgBtnAll", "All"},
    {mbNoToAll, "lng_MsgBtnNoToAll", "NoToAll"}, {mbYesToAll, "lng_MsgBtnYesToAll", "YesToAll"},
    {mbHelp, "lng_MsgBtnHelp", "Help"},
};

}  // namespace

void LoadDialogTexts() {
  for (size_t i = 0; i < 11; ++i) {
    const std::string fallback = MsgDlgButtonCaption(kButtons[i].kind);
    ButtonCaptions[i] = LanguageManager ? LanguageManager->GetText(kButtons[i].constant, fallback) : fallback;
  }
}

std::unique_ptr<TForm> CreateLocMessageDialog(const std::string& title, const std::string& text, TMsgDlgType type,
                                              TMsgDlgButtons buttons, int32_t helpContext, int32_t x, int32_t y,
                                              const std::string& helpFile) {
  std::unique_ptr<TForm> dialog(CreateMessageDialog(text, type, buttons));
  if (auto* label = dynamic_cast<TLabel*>(dialog->FindComponent("Message"))) label->SetShowAccelChar(false);
  if (auto* message = dynamic_cast<TMessageForm*>(dialog.get())) {
    message->HelpContext = helpContext;
    message->HelpFile = helpFile;
  }
  if (x >= 0) dialog->SetLeft(x);
  if (y >= 0) dialog->SetTop(y);
  if (x < 0 && y < 0) dialog->SetPosition(poScreenCenter);
  dialog->SetCaption(title.empty() ? Application->Title() : title);
  int32_t shift = 0;
  if (dialog->Width() < 300) {
    shift = 150 - dialog->Width() / 2;
    dialog->SetWidth(300);
  }
  for (size_t i = 0; i < 11; ++i) {
    if (!buttons.Contains(kButtons[i].kind)) continue;
    auto* button = dynamic_cast<TControl*>(dialog->FindComponent(kButtons[i].componentName));
    if (!button) continue;
    button->SetCaption(ButtonCaptions[i]);
    button->SetLeft(button->Left() + shift);
  }
  return dialog;
}

TModalResult locMessageDlg(const std::string& title, const std::string& text, TMsgDlgType type,
                           TMsgDlgButtons buttons, int32_t helpContext, int32_t x, int32_t y,
                           const std::string& helpFile) {
  return CreateLocMessageDialog(title, text, type, buttons, helpContext, x, y, helpFile)->ShowModal();
}
