// The open and save dialogs: a form of the framework over the file system.
//
// Sections: filter | the dialog form | TCommonDialog | TOpenDialog
#include <algorithm>
#include <filesystem>

#include "platform/forms/dialogs.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

// ---- filter ----

namespace {

struct FilterEntry {
  std::string text;
  std::vector<std::string> masks;
};

// "Text|mask;mask|Text2|mask" into entries; a text without masks gets "*".
std::vector<FilterEntry> ParseFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    const size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::vector<FilterEntry> entries;
  for (size_t i = 0; i < parts.size(); i += 2) {
    if (parts[i].empty() && i + 1 >= parts.size()) break;
    FilterEntry e{parts[i], {}};
    const std::string masks = i + 1 < parts.size() ? parts[i + 1] : "*";
    size_t s = 0;
    while (s <= masks.size()) {
      const size_t semi = masks.find(';', s);
      const std::string m = Trim(masks.substr(s, semi == std::string::npos ? std::string::npos : semi - s));
      if (!m.empty()) e.masks.push_back(m);
      if (semi == std::string::npos) break;
      s = semi + 1;
    }
    if (e.masks.empty()) e.masks.push_back("*");
    entries.push_back(e);
  }
  if (entries.empty()) entries.push_back(FilterEntry{StdText(TStdText::AllFiles), {"*"}});
  return entries;
}

bool Matches(const std::string& name, const std::vector<std::string>& masks) {
  return std::any_of(masks.begin(), masks.end(), [&](const std::string& m) { return MatchesMask(name, m); });
}

bool IsAbsolute(const std::string& name) { return !name.empty() && name[0] == PathDelim; }

// The working folder, where a dialog without an initial folder starts.
std::string GetCurrentDir() {
  std::error_code error;
  const std::filesystem::path cwd = std::filesystem::current_path(error);
  return error ? std::string(1, PathDelim) : cwd.string();
}

}  // namespace

// ---- the dialog form ----

class TFileDialogForm : public TForm {
public:
  TFileDialogForm(TOpenDialog* dialog) : TForm(nullptr), dialog_(dialog) {
    SetSystemDialog(true);
    SetBorderStyle(dialog->Options().Contains(ofEnableSizing) ? bsSizeable : bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(!dialog->Title().empty() ? dialog->Title() : StdText(dialog->IsSaveDialog() ? TStdText::SaveTitle : TStdText::OpenTitle));
    SetBounds(0, 0, 560, 400);
    SetClientSize(544, 362);
    filters_ = ParseFilter(dialog->Filter());

    auto* lookIn = Make<TLabel>("LookInLabel", 8, 12, 60, 16);
    lookIn->SetCaption(StdText(dialog->IsSaveDialog() ? TStdText::SaveIn : TStdText::LookIn));
    folderEdit_ = Make<TEdit>("FolderEdit", 72, 8, 380, 21);
    folderEdit_->SetReadOnly(true);
    folderEdit_->SetTabStop(false);
    folderEdit_->SetAnchors(TAnchors{akLeft, akTop, akRight});
    upButton_ = Make<TButton>("UpButton", 460, 7, 76, 23);
    upButton_->SetCaption(StdText(TStdText::Up));
    upButton_->SetAnchors(TAnchors{akTop, akRight});
    upButton_->OnClick = [this](TObject*) { ChangeFolder(ExtractFilePath(ExcludeTrailingPathDelimiter(folder_))); };

    list_ = Make<TListBox>("FileList", 8, 38, 528, 240);
    list_->SetMultiSelect(dialog->Options().Contains(ofAllowMultiSelect));
    list_->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
    list_->OnClick = [this](TObject*) { ListSelected(); };
    list_->OnDblClick = [this](TObject*) { Accept(); };
    lookIn->SetFocusControl(list_);

    customPanel_ = Make<TPanel>("CustomPanel", 544, 38, 0, 240);
    customPanel_->SetBevelOuter(bvNone);
    customPanel_->SetCaption("");
    customPanel_->SetVisible(false);
    customPanel_->SetAnchors(TAnchors{akTop, akRight, akBottom});

    auto* nameLabel = Make<TLabel>("FileNameLabel", 8, 292, 90, 16);
    nameLabel->SetCaption(StdText(TStdText::FileName));
    nameLabel->SetAnchors(TAnchors{akLeft, akBottom});
    nameEdit_ = Make<TEdit>("FileNameEdit", 104, 288, 340, 21);
    nameEdit_->SetAnchors(TAnchors{akLeft, akRight, akBottom});
    nameLabel->SetFocusControl(nameEdit_);
    auto* typeLabel = Make<TLabel>("FileTypeLabel", 8, 324, 90, 16);
    typeLabel->SetCaption(StdText(dialog->IsSaveDialog() ? TStdText::SaveFileType : TStdText::OpenFileType));
    typeLabel->SetAnchors(TAnchors{akLeft, akBottom});
    typeCombo_ = Make<TComboBox>("FileTypeCombo", 104, 320, 340, 21);
    typeCombo_->SetStyle(csDropDownList);
    typeCombo_->SetAnchors(TAnchors{akLeft, akRight, akBottom});
    typeLabel->SetFocusControl(typeCombo_);
    for (const FilterEntry& e : filters_) typeCombo_->Items()->Add(e.text);
    typeCombo_->SetItemIndex(std::clamp(dialog->filterIndex_ - 1, 0, static_cast<int>(filters_.size()) - 1));
    typeCombo_->OnChange = [this](TObject*) {
      Fill();
      dialog_->DoTypeChange();
    };

    okButton_ = Make<TButton>("OKButton", 460, 286, 76, 25);
    okButton_->SetCaption(StdText(dialog->IsSaveDialog() ? TStdText::SaveButton : TStdText::OpenButton));
    okButton_->SetDefault(true);
    okButton_->SetAnchors(TAnchors{akRight, akBottom});
    okButton_->OnClick = [this](TObject*) { Accept(); };
    auto* cancel = Make<TButton>("CancelButton", 460, 318, 76, 25);
    cancel->SetCaption(StdText(TStdText::Cancel));
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    cancel->SetAnchors(TAnchors{akRight, akBottom});

    std::string start = dialog->InitialDir();
    if (!dialog->FileName().empty()) {
      const std::string path = ExtractFilePath(dialog->FileName());
      if (!path.empty()) start = path;
      nameEdit_->SetText(ExtractFileName(dialog->FileName()));
    }
    if (start.empty() || !DirectoryExists(start)) start = GetCurrentDir();
    folder_ = IncludeTrailingPathDelimiter(ExpandFileName(start));
    Fill();
    SetActiveControl(nameEdit_);
  }

  const std::string& Folder() const { return folder_; }
  TPanel* CustomPanel() const { return customPanel_; }
  int32_t TypeIndex() const { return typeCombo_->ItemIndex(); }
  std::string Selected() const {
    const int i = list_->ItemIndex();
    if (i < 0 || i >= static_cast<int>(entries_.size()) || entries_[i].folder) return "";
    return folder_ + entries_[i].name;
  }

private:
  struct Entry {
    std::string name;
    bool folder;
  };

  template <class T>
  T* Make(const char* name, int x, int y, int w, int h) {
    return PlaceControl<T>(this, this, name, x, y, w, h);
  }

  void Fill() {
    entries_.clear();
    const bool hidden = dialog_->Options().Contains(ofForceShowHidden);
    const int attr = faDirectory | (hidden ? faHidden : 0);
    std::vector<Entry> folders, files;
    TSearchRec rec;
    if (FindFirst(folder_ + "*", attr, rec) == 0) {
      do {
        if (rec.Name == "." || rec.Name == "..") continue;
        if (rec.Attr & faDirectory) folders.push_back(Entry{rec.Name, true});
        else if (Matches(rec.Name, filters_[std::max(TypeIndex(), 0)].masks)) files.push_back(Entry{rec.Name, false});
      } while (FindNext(rec) == 0);
      FindClose(rec);
    }
    auto byName = [](const Entry& a, const Entry& b) { return AnsiCompareText(a.name, b.name) < 0; };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    entries_ = folders;
    entries_.insert(entries_.end(), files.begin(), files.end());
    list_->Items()->BeginUpdate();
    list_->Items()->Clear();
    for (const Entry& e : entries_) list_->Items()->Add(e.folder ? "[" + e.name + "]" : e.name);
    list_->Items()->EndUpdate();
    list_->SetItemIndex(-1);
    folderEdit_->SetText(folder_);
  }

  void ChangeFolder(const std::string& folder) {
    if (folder.empty() || !DirectoryExists(folder)) return;
    folder_ = IncludeTrailingPathDelimiter(ExpandFileName(folder));
    Fill();
    dialog_->DoFolderChange();
  }

  void ListSelected() {
    const int i = list_->ItemIndex();
    if (i < 0 || i >= static_cast<int>(entries_.size())) return;
    if (list_->MultiSelect()) {
      // Several files show in the name box as "a" "b".
      std::string names;
      int count = 0;
      for (int k = 0; k < static_cast<int>(entries_.size()); ++k)
        if (!entries_[k].folder && list_->Selected(k)) {
          names += (count++ ? " \"" : "\"") + entries_[k].name + "\"";
        }
      if (count == 1) names = names.substr(1, names.size() - 2);
      if (count > 0) nameEdit_->SetText(names);
    } else if (!entries_[i].folder) {
      nameEdit_->SetText(entries_[i].name);
    }
    dialog_->DoSelectionChange();
  }

  // The quoted names of a multiple selection; empty for a single name.
  static std::vector<std::string> QuotedNames(const std::string& text) {
    std::vector<std::string> names;
    size_t at = 0;
    while ((at = text.find('"', at)) != std::string::npos) {
      const size_t end = text.find('"', at + 1);
      if (end == std::string::npos) break;
      names.push_back(text.substr(at + 1, end - at - 1));
      at = end + 1;
    }
    return names;
  }

  // The name box or the selected entry: a folder opens, a file is checked and closes the dialog.
  void Accept() {
    std::string typed = Trim(nameEdit_->Text());
    const int i = list_->ItemIndex();
    const std::vector<std::string> several = list_->MultiSelect() ? QuotedNames(typed) : std::vector<std::string>{};
    if (several.size() > 1) {
      std::vector<std::string> chosen;
      for (const std::string& name : several) {
        const std::string confirmed = dialog_->Confirm(name, folder_);
        if (confirmed.empty()) return;
        chosen.push_back(confirmed);
      }
      dialog_->fileName_ = chosen.front();
      for (const std::string& name : chosen) dialog_->files_->Add(name);
      SetModalResult(mrOk);
      return;
    }
    if (ActiveControl() == list_ && i >= 0 && i < static_cast<int>(entries_.size())) typed = entries_[i].name;
    if (typed.empty()) return;
    const std::string full = IsAbsolute(typed) ? typed : folder_ + typed;
    if (DirectoryExists(full)) {
      nameEdit_->SetText("");
      ChangeFolder(full);
      return;
    }
    // A mask typed in the name box filters the list.
    if (typed.find_first_of("*?") != std::string::npos) {
      filters_[std::max(TypeIndex(), 0)].masks = {typed};
      Fill();
      return;
    }
    const std::string confirmed = dialog_->Confirm(typed, folder_);
    if (confirmed.empty()) return;
    dialog_->fileName_ = confirmed;
    SetModalResult(mrOk);
  }

  TOpenDialog* dialog_;
  std::vector<FilterEntry> filters_;
  std::vector<Entry> entries_;
  std::string folder_;
  TEdit* folderEdit_ = nullptr;
  TButton* upButton_ = nullptr;
  TListBox* list_ = nullptr;
  TPanel* customPanel_ = nullptr;
  TEdit* nameEdit_ = nullptr;
  TComboBox* typeCombo_ = nullptr;
  TButton* okButton_ = nullptr;
};

// ---- TCommonDialog ----

const TClassInfo& TCommonDialog::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCommonDialog>("TCommonDialog", &TComponent::StaticClassInfo(), [](TPublished<TCommonDialog>& p) {
        p.Integer("HelpContext", &TCommonDialog::HelpContext, &TCommonDialog::SetHelpContext)
            .Event("OnClose", &TCommonDialog::OnClose)
            .Event("OnShow", &TCommonDialog::OnShow);
      });
  return info;
}

void TCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}
void TCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

// ---- TOpenDialog ----

static const TEnumNames kOpenOptionNames{
    "ofReadOnly",         "ofOverwritePrompt",  "ofHideReadOnly",   "ofNoChangeDir",        "ofShowHelp",
    "ofNoValidate",       "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist",
    "ofCreatePrompt",     "ofShareAware",       "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton",
    "ofNoLongNames",      "ofOldStyleDialog",   "ofNoDereferenceLinks", "ofEnableIncludeNotify",
    "ofEnableSizing",     "ofDontAddToRecent",  "ofForceShowHidden"};

const TClassInfo& TOpenDialog::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TOpenDialog>("TOpenDialog", &TCommonDialog::StaticClassInfo(), [](TPublished<TOpenDialog>& p) {
        p.String("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt)
            .String("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName)
            .String("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter)
            .Integer("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex)
            .String("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir)
            .SetOf("Options", kOpenOptionNames, &TOpenDialog::Options, &TOpenDialog::SetOptions)
            .String("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle)
            .Event("OnCanClose", &TOpenDialog::OnCanClose)
            .Event("OnFolderChange", &TOpenDialog::OnFolderChange)
            .Event("OnSelectionChange", &TOpenDialog::OnSelectionChange)
            .Event("OnTypeChange", &TOpenDialog::OnTypeChange);
      });
  return info;
}
const TClassInfo& TSaveDialog::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TSaveDialog>("TSaveDialog", &TOpenDialog::StaticClassInfo());
  return info;
}

TOpenDialog::TOpenDialog(TComponent* owner) : TCommonDialog(owner), files_(std::make_unique<TStringList>()) {}
TOpenDialog::~TOpenDialog() = default;

int32_t TOpenDialog::FilterIndex() const { return form_ ? form_->TypeIndex() + 1 : filterIndex_; }
TForm* TOpenDialog::DialogForm() const { return form_; }
TPanel* TOpenDialog::CustomPanel() const { return form_ ? form_->CustomPanel() : nullptr; }
std::string TOpenDialog::CurrentFolder() const { return form_ ? form_->Folder() : std::string(); }
std::string TOpenDialog::SelectedFile() const { return form_ ? form_->Selected() : fileName_; }

void TOpenDialog::DoSelectionChange() {
  if (OnSelectionChange) OnSelectionChange(this);
}
void TOpenDialog::DoFolderChange() {
  if (OnFolderChange) OnFolderChange(this);
}
void TOpenDialog::DoTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}
bool TOpenDialog::DoCanClose() {
  bool canClose = true;
  if (OnCanClose) OnCanClose(this, canClose);
  return canClose;
}

std::string TOpenDialog::Confirm(const std::string& typed, const std::string& folder) {
  std::string full = IsAbsolute(typed) ? typed : IncludeTrailingPathDelimiter(folder) + typed;
  std::string ext = defaultExt_;
  if (!ext.empty() && ext[0] == '*') ext.erase(0, 1);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  const bool hasExt = !ExtractFileExt(full).empty();
  if (!hasExt && !ext.empty() && !FileExists(full)) full += "." + ext;
  if (hasExt && !ext.empty() && !SameText(ExtractFileExt(full), "." + ext)) options_.Include(ofExtensionDifferent);
  else options_.Exclude(ofExtensionDifferent);
  const std::string path = ExtractFilePath(full);
  if (options_.Contains(ofPathMustExist) && !path.empty() && !DirectoryExists(path)) {
    MessageDlg(Format(StdText(TStdText::FolderMissing), {path}), mtWarning, TMsgDlgButtons{mbOK}, 0);
    return "";
  }
  if (options_.Contains(ofFileMustExist) && !FileExists(full)) {
    MessageDlg(Format(StdText(TStdText::FileNotFound), {full}), mtWarning,
               TMsgDlgButtons{mbOK}, 0);
    return "";
  }
  if (IsSaveDialog() && options_.Contains(ofOverwritePrompt) && FileExists(full) &&
      MessageDlg(Format(StdText(TStdText::ReplaceQuestion), {ExtractFileName(full)}), mtWarning,
                 mbYesNo, 0) != mrYes)
    return "";
  const std::string keep = fileName_;
  fileName_ = full;
  const bool ok = DoCanClose();
  fileName_ = keep;
  return ok ? full : "";
}

bool TOpenDialog::Execute() {
  files_->Clear();
  std::string scripted;
  if (TakeScriptedFileDialogAnswer(scripted)) {
    if (scripted.empty()) return false;
    const std::string folder = !initialDir_.empty() ? initialDir_ : GetCurrentDir();
    const std::string confirmed = Confirm(scripted, folder);
    if (confirmed.empty()) return false;
    fileName_ = confirmed;
    files_->Add(fileName_);
    return true;
  }
  std::unique_ptr<TFileDialogForm> form(new TFileDialogForm(this));
  form_ = form.get();
  struct Reset {
    TOpenDialog* dialog;
    ~Reset() { dialog->form_ = nullptr; }
  } reset{this};
  DoShow();
  const bool ok = form->ShowModal() == mrOk;
  filterIndex_ = form->TypeIndex() + 1;
  form_ = nullptr;
  DoClose();
  if (!ok) files_->Clear();
  else if (files_->Count() == 0) files_->Add(fileName_);
  return ok;
}
