// Message dialogs, the application's message box and the dialog test script.
//
// Sections: tables | the dialog's icon | TMessageForm | functions | test support
#include "platform/forms/dialogs.h"

#include <algorithm>
#include <deque>

#include "platform/rtl/sysutils.h"

// ---- tables ----

namespace {

struct ButtonInfo {
  const char* name;
  TModalResult result;
};

// By TMsgDlgBtn; the captions are the standard texts from TStdText::Yes on.
const ButtonInfo kButtons[] = {
    {"Yes", mrYes},       {"No", mrNo},         {"OK", mrOk},         {"Cancel", mrCancel},
    {"Abort", mrAbort},   {"Retry", mrRetry},   {"Ignore", mrIgnore}, {"All", mrAll},
    {"NoToAll", mrNoToAll}, {"YesToAll", mrYesToAll}, {"Help", mrNone},
};

// By TMsgDlgType: the mark in the icon; the titles are the standard texts
// from TStdText::Warning on.
const struct {
  const char* mark;
  TColor color;
} kTypes[] = {{"!", 0x00C0FF}, {"\u00D7", clRed}, {"i", 0xD07000}, {"?", 0xD07000}, {"", clNone}};

std::deque<TModalResult> scriptedAnswers;
std::deque<std::string> scriptedFiles;
std::vector<TMessageBoxRecord> messageLog;

}  // namespace

std::string MsgDlgButtonCaption(TMsgDlgBtn button) {
  return StdText(static_cast<TStdText>(static_cast<int>(TStdText::Yes) + button));
}
TModalResult MsgDlgButtonResult(TMsgDlgBtn button) { return kButtons[button].result; }
std::string MsgDlgTypeCaption(TMsgDlgType type) {
  return type == mtCustom ? "" : StdText(static_cast<TStdText>(static_cast<int>(TStdText::Warning) + type));
}

// ---- the dialog's icon ----

namespace {

class TMessageIcon : public TGraphicControl {
public:
  TMessageIcon(TComponent* owner, TMsgDlgType type) : TGraphicControl(owner), type_(type) {}

protected:
  void Paint() override {
    TCanvas* c = Canvas();
    c->Pen()->SetColor(kTypes[type_].color);
    c->Brush()->SetColor(kTypes[type_].color);
    c->Ellipse(0, 0, Width(), Height());
    c->Font()->SetName("Arial");
    c->Font()->SetHeight(-Height() * 2 / 3);
    c->Font()->SetStyle(TFontStyles{fsBold});
    c->Font()->SetColor(clWhite);
    c->Brush()->SetStyle(bsClear);
    RECT r = ClientRect();
    std::string mark = kTypes[type_].mark;
    c->TextRect(r, mark, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine, tfNoPrefix});
  }

private:
  TMsgDlgType type_;
};

}  // namespace

// ---- TMessageForm ----

const TClassInfo& TMessageForm::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMessageForm>("TMessageForm", &TForm::StaticClassInfo());
  return info;
}

TMessageForm::TMessageForm(TComponent* owner, const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons)
    : TForm(owner), type_(type) {
  // Margins around the whole, a gap between icon and text, a wider one above the buttons.
  constexpr int kMargin = 16, kButtonWidth = 75, kButtonHeight = 25, kGap = 8, kIcon = 32, kAboveButtons = 18,
                kBelowButtons = 12;
  SetSystemDialog(true);
  SetBorderStyle(bsDialog);
  SetPosition(poScreenCenter);
  SetCaption(type == mtCustom ? Application->Title() : MsgDlgTypeCaption(type));
  Font()->SetName("Tahoma");
  Font()->SetSize(8);

  int textLeft = kMargin;
  if (type != mtCustom) {
    auto* icon = new TMessageIcon(this, type);
    icon->SetName("Image");
    icon->SetParent(this);
    icon->SetBounds(kMargin, kMargin, kIcon, kIcon);
    textLeft += kIcon + kMargin;
  }
  auto* label = new TLabel(this);
  label->SetName("Message");
  label->SetParent(this);
  label->SetWordWrap(true);
  label->SetAutoSize(false);
  // Size the text: at most 2/3 of the screen wide.
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  RECT text{0, 0, std::max(Screen->Width() * 2 / 3, 200), 0};
  DrawText(dc, msg.empty() ? " " : msg, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS);
  SIZE title{};
  GetTextExtentPoint32(dc, Caption(), &title);
  SelectObject(dc, old);
  DeleteDC(dc);
  label->SetCaption(msg);
  // Text shorter than the icon stands beside its middle.
  const int textTop = type != mtCustom && text.bottom < kIcon ? kMargin + (kIcon - text.bottom) / 2 : kMargin;
  label->SetBounds(textLeft, textTop, text.right + 2, text.bottom);

  std::vector<TMsgDlgBtn> kinds;
  for (int b = mbYes; b <= mbHelp; ++b)
    if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) kinds.push_back(static_cast<TMsgDlgBtn>(b));
  if (kinds.empty()) kinds.push_back(mbOK);
  const TMsgDlgBtn defaultButton = buttons.Contains(mbOK) ? mbOK : buttons.Contains(mbYes) ? mbYes : mbRetry;
  const TMsgDlgBtn cancelButton = buttons.Contains(mbCancel) ? mbCancel : buttons.Contains(mbNo) ? mbNo : mbOK;

  const int buttonsWidth = static_cast<int>(kinds.size()) * (kButtonWidth + kGap) - kGap;
  // Wide enough for the text, the buttons, and the title beside the close button.
  const int clientWidth = std::max({textLeft + static_cast<int>(text.right) + kMargin, buttonsWidth + 2 * kMargin,
                                    static_cast<int>(title.cx) + 2 * GetSystemMetrics(SM_CXSIZE) + kMargin, 200});
  const int textBottom = std::max<int>(textTop + text.bottom, type != mtCustom ? kMargin + kIcon : 0);
  SetClientSize(clientWidth, textBottom + kAboveButtons + kButtonHeight + kBelowButtons);
  int x = (clientWidth - buttonsWidth) / 2;
  for (TMsgDlgBtn kind : kinds) {
    auto* button = new TButton(this);
    button->SetName(kButtons[kind].name);
    button->SetParent(this);
    button->SetCaption(MsgDlgButtonCaption(kind));
    button->SetModalResult(kButtons[kind].result);
    button->SetBounds(x, textBottom + kAboveButtons, kButtonWidth, kButtonHeight);
    if (kind == defaultButton) {
      button->SetDefault(true);
      SetActiveControl(button);
    }
    if (kind == cancelButton) button->SetCancel(true);
    x += kButtonWidth + kGap;
  }
}

TModalResult TMessageForm::ShowModal() {
  TMessageBoxRecord record;
  if (auto* label = dynamic_cast<TLabel*>(FindComponent("Message"))) record.Text = label->Caption();
  record.Title = Caption();
  record.Type = type_;
  if (!scriptedAnswers.empty()) {
    record.Answer = scriptedAnswers.front();
    scriptedAnswers.pop_front();
    messageLog.push_back(record);
    SetModalResult(record.Answer);
    return record.Answer;
  }
  messageLog.push_back(record);
  const size_t index = messageLog.size() - 1;
  CentreOnActiveForm();
  const TModalResult result = TForm::ShowModal();
  if (index < messageLog.size()) messageLog[index].Answer = result;
  return result;
}

// A box placed by default stands in the middle of the form the user works in.
void TMessageForm::CentreOnActiveForm() {
  TCustomForm* active = Screen->ActiveForm();
  if (Position() != poScreenCenter || !active || active == this || !active->Visible()) return;
  const RECT owner = active->BoundsRect(), area = Screen->WorkAreaRect();
  const int left = std::clamp<int>(owner.left + (owner.right - owner.left - Width()) / 2, area.left,
                                   std::max<int>(area.left, area.right - Width()));
  const int top = std::clamp<int>(owner.top + (owner.bottom - owner.top - Height()) / 2, area.top,
                                  std::max<int>(area.top, area.bottom - Height()));
  SetPosition(poDesigned);
  SetBounds(left, top, Width(), Height());
}

// ---- functions ----

TForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
  return new TMessageForm(Application, msg, type, buttons);
}

TModalResult MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t helpContext,
                           int x, int y) {
  std::unique_ptr<TForm> dialog(CreateMessageDialog(msg, type, buttons));
  static_cast<TMessageForm*>(dialog.get())->HelpContext = helpContext;
  if (x >= 0 || y >= 0) {
    dialog->SetPosition(poDesigned);
    dialog->SetBounds(x >= 0 ? x : dialog->Left(), y >= 0 ? y : dialog->Top(), dialog->Width(), dialog->Height());
  }
  return dialog->ShowModal();
}

TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t helpContext) {
  return MessageDlgPos(msg, type, buttons, helpContext, -1, -1);
}

void ShowMessage(const std::string& msg) { MessageDlg(msg, mtCustom, TMsgDlgButtons{mbOK}, 0); }

int TApplication::MessageBox(const std::string& text, const std::string& caption, UINT flags) {
  static const TMsgDlgButtons kSets[] = {{mbOK},   {mbOK, mbCancel}, mbAbortRetryIgnore,
                                         mbYesNoCancel, mbYesNo, {mbRetry, mbCancel}};
  const UINT set = flags & 0x0F;
  const TMsgDlgButtons buttons = set < std::size(kSets) ? kSets[set] : TMsgDlgButtons{mbOK};
  TMsgDlgType type = mtCustom;
  switch (flags & 0xF0) {
    case MB_ICONERROR: type = mtError; break;
    case MB_ICONQUESTION: type = mtConfirmation; break;
    case MB_ICONWARNING: type = mtWarning; break;
    case MB_ICONINFORMATION: type = mtInformation; break;
    default: break;
  }
  std::unique_ptr<TForm> dialog(CreateMessageDialog(text, type, buttons));
  dialog->SetCaption(caption);
  return dialog->ShowModal();
}

// ---- test support ----

void ScriptMessageBoxAnswer(TModalResult answer) { scriptedAnswers.push_back(answer); }
void ScriptFileDialogAnswer(const std::string& fileName) { scriptedFiles.push_back(fileName); }

bool TakeScriptedFileDialogAnswer(std::string& fileName) {
  if (scriptedFiles.empty()) return false;
  fileName = scriptedFiles.front();
  scriptedFiles.pop_front();
  return true;
}

const std::vector<TMessageBoxRecord>& MessageBoxLog() { return messageLog; }

void ClearDialogScript() {
  scriptedAnswers.clear();
  scriptedFiles.clear();
  messageLog.clear();
}
