// Message dialogs and the test script that answers them.
//
// Sections: message dialogs | test support
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

// ---- message dialogs ----

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = Set<TMsgDlgBtn>;
inline const TMsgDlgButtons mbYesNo{mbYes, mbNo};
inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// The form of a message dialog: its label is named "Message", its buttons
// after their kind ("Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore",
// "All", "NoToAll", "YesToAll", "Help"), so callers can retitle them. The
// default button is OK, else Yes, else Retry; Escape answers Cancel, else
// No, else OK.
class TMessageForm : public TForm {
  FORMS_CLASS(TMessageForm)

public:
  TMessageForm(TComponent* owner, const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);
  TMsgDlgType DlgType() const { return type_; }
  // Logs the dialog, then answers from the test script or shows it.
  TModalResult ShowModal() override;
  int32_t HelpContext = 0;
  std::string HelpFile;

private:
  void CentreOnActiveForm();
  TMsgDlgType type_;
};

// A message dialog (owned by the application) that the caller shows and frees.
TForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);
// Shows a message dialog centred on the active form (on the screen when
// there is none); answers the button's modal result.
TModalResult MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t helpContext);
// The same at a screen position (x or y negative: centred that way).
TModalResult MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int32_t helpContext,
                           int x, int y);
// An OK box titled with the application's title.
void ShowMessage(const std::string& msg);
// The caption of a button kind ("&Yes", "OK", ... in English) and its modal result.
std::string MsgDlgButtonCaption(TMsgDlgBtn button);
TModalResult MsgDlgButtonResult(TMsgDlgBtn button);
// The title of a dialog type ("Warning", "Error", "Information", "Confirm" in English).
std::string MsgDlgTypeCaption(TMsgDlgType type);

// ---- standard texts ----

// The texts the framework's own dialogs show. They follow the user's locale
// (LC_ALL, LC_MESSAGES or LANG), as a desktop's own dialogs do, not any
// language a program chooses for its windows: English, Czech, Polish,
// French, German, Indonesian ("id", or the older "in") and Spanish; English
// for every other language. The dialog titles and buttons come first, in
// the order of TMsgDlgType and TMsgDlgBtn.
enum class TStdText {
  Warning, Error, Information, Confirm,
  Yes, No, OK, Cancel, Abort, Retry, Ignore, All, NoToAll, YesToAll, Help,
  Close,
  // The file dialog: titles, labels, buttons, the filter without one, and
  // its messages ("%s" stands for the file or folder).
  OpenTitle, SaveTitle, LookIn, SaveIn, Up, FileName, OpenFileType, SaveFileType, OpenButton, SaveButton,
  AllFiles, FolderMissing, FileNotFound, ReplaceQuestion,
  // The colour dialog.
  ColorTitle, Red, Green, Blue,
  Count
};
std::string StdText(TStdText text);
// The ISO 639 code of the language StdText answers in ("en", "de", "id", ...).
std::string StdTextLanguage();

// ---- file dialogs ----

enum TOpenOption {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using TOpenOptions = Set<TOpenOption>;
using TCanCloseEvent = std::function<void(TObject* sender, bool& canClose)>;

class TCommonDialog : public TComponent {
  FORMS_CLASS(TCommonDialog)

public:
  explicit TCommonDialog(TComponent* owner) : TComponent(owner) {}
  // Runs the dialog; true when the user confirmed.
  virtual bool Execute() = 0;
  int32_t HelpContext() const { return helpContext_; }
  void SetHelpContext(int32_t c) { helpContext_ = c; }
  TNotifyEvent OnShow;
  TNotifyEvent OnClose;

protected:
  virtual void DoShow();
  virtual void DoClose();

private:
  int32_t helpContext_ = 0;
};

class TFileDialogForm;

// The open dialog: a window of the framework with the folder's entries
// filtered by the "text|mask;mask|..." Filter, a name box and the types.
// Subclasses add controls in DoShow (CustomPanel lies right of the list and
// is empty and hidden by default) and follow the user through
// DoSelectionChange, DoFolderChange and DoTypeChange.
class TOpenDialog : public TCommonDialog {
  FORMS_CLASS(TOpenDialog)

public:
  explicit TOpenDialog(TComponent* owner);
  ~TOpenDialog() override;
  bool Execute() override;

  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& name) { fileName_ = name; }
  // Every chosen name (several with ofAllowMultiSelect); FileName is the first.
  TStrings* Files() const { return files_.get(); }
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& filter) { filter_ = filter; }
  // 1-based; while the dialog shows, the type chosen in it.
  int32_t FilterIndex() const;
  void SetFilterIndex(int32_t index) { filterIndex_ = index; }
  const std::string& InitialDir() const { return initialDir_; }
  void SetInitialDir(const std::string& dir) { initialDir_ = dir; }
  const std::string& DefaultExt() const { return defaultExt_; }
  void SetDefaultExt(const std::string& ext) { defaultExt_ = ext; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions options) { options_ = options; }
  // While the dialog shows: its form, its current folder and the selected file.
  TForm* DialogForm() const;
  TPanel* CustomPanel() const;
  std::string CurrentFolder() const;
  std::string SelectedFile() const;

  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnFolderChange;
  TNotifyEvent OnTypeChange;
  TCanCloseEvent OnCanClose;

protected:
  virtual bool IsSaveDialog() const { return false; }
  virtual void DoSelectionChange();
  virtual void DoFolderChange();
  virtual void DoTypeChange();
  virtual bool DoCanClose();

private:
  friend class TFileDialogForm;
  // Checks a confirmed name against the options; the full name, or "" when refused.
  std::string Confirm(const std::string& typed, const std::string& folder);

  std::string fileName_;
  std::unique_ptr<TStringList> files_;
  std::string filter_;
  int32_t filterIndex_ = 1;
  std::string initialDir_;
  std::string defaultExt_;
  std::string title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  TFileDialogForm* form_ = nullptr;
};

// The same window for choosing a name to save under.
class TSaveDialog : public TOpenDialog {
  FORMS_CLASS(TSaveDialog)

public:
  using TOpenDialog::TOpenDialog;

protected:
  bool IsSaveDialog() const override { return true; }
};

// ---- colour dialog ----

enum TColorDialogOption { cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor };
using TColorDialogOptions = Set<TColorDialogOption>;

// A simple colour picker: a grid of basic colours, the custom colours
// ("ColorA=BBGGRR" .. "ColorP=..." in CustomColors), and red, green and blue boxes.
class TColorDialog : public TCommonDialog {
  FORMS_CLASS(TColorDialog)

public:
  explicit TColorDialog(TComponent* owner);
  ~TColorDialog() override;
  bool Execute() override;
  TColor Color() const { return color_; }
  void SetColor(TColor color) { color_ = color; }
  TStrings* CustomColors() const { return customColors_.get(); }
  TColorDialogOptions Options() const { return options_; }
  void SetOptions(TColorDialogOptions options) { options_ = options; }
  // While the dialog shows: its form.
  TForm* DialogForm() const { return form_; }

private:
  TColor color_ = clBlack;
  std::unique_ptr<TStringList> customColors_;
  TColorDialogOptions options_;
  TForm* form_ = nullptr;
};

// ---- test support ----

// One message box as it was shown.
struct TMessageBoxRecord {
  std::string Text;
  std::string Title;
  TMsgDlgType Type = mtCustom;
  TModalResult Answer = mrNone;
};

// Queues the answer of the next message box: it is logged but not shown.
void ScriptMessageBoxAnswer(TModalResult answer);
// Queues the answer of the next file dialog: a file name, or "" to cancel.
void ScriptFileDialogAnswer(const std::string& fileName);
// Takes the next scripted file dialog answer; false when none is queued.
bool TakeScriptedFileDialogAnswer(std::string& fileName);
// Every message box shown since the last clear, oldest first.
const std::vector<TMessageBoxRecord>& MessageBoxLog();
// Empties the log and both scripts.
void ClearDialogScript();
