// The lookup edit.
//
// Sections: persistence settings | construction | completion | keys |
// exit and history | stored list
#include "ui/controls/lucombo.h"

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "ui/controls/settingsstore.h"
#include "ui/render/gdippicturecontainer.h"

// ---- persistence settings ----

const TClassInfo& TLUPersist::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TLUPersist>("TLUPersist", &TPersistent::StaticClassInfo(), [](TPublished<TLUPersist>& p) {
        static const TEnumNames storages{"stInifile", "stRegistry"};
        p.Boolean("Enable", &TLUPersist::Enable, &TLUPersist::SetEnable)
            .Enumeration("Storage", storages, &TLUPersist::Storage, &TLUPersist::SetStorage)
            .String("Key", &TLUPersist::Key, &TLUPersist::SetKey)
            .String("Section", &TLUPersist::Section, &TLUPersist::SetSection)
            .Integer("Count", &TLUPersist::Count, &TLUPersist::SetCount)
            .Boolean("MaxCount", &TLUPersist::MaxCount, &TLUPersist::SetMaxCount);
      });
  return info;
}

void TLUPersist::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TLUPersist*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  enable_ = other->enable_;
  storage_ = other->storage_;
  key_ = other->key_;
  section_ = other->section_;
  count_ = other->count_;
  maxCount_ = other->maxCount_;
}

// ---- construction ----

const TClassInfo& TLUEdit::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TLUEdit>("TLUEdit", &TEdit::StaticClassInfo(), [](TPublished<TLUEdit>& p) {
    static const TEnumNames directions{"ahdFirst", "ahdLast"};
    using E = TLUEdit;
    p.Object("LookupItems", &E::LookupItems)
        .Object("Persist", &E::Persist)
        .Boolean("AutoHistory", &E::AutoHistory, &E::SetAutoHistory)
        .Boolean("AutoSynchronize", &E::AutoSynchronize, &E::SetAutoSynchronize)
        .Boolean("ReturnIsTab", &E::ReturnIsTab, &E::SetReturnIsTab)
        .Boolean("FileLookup", &E::FileLookup, &E::SetFileLookup)
        .String("FileLookupFolder", &E::FileLookupFolder, &E::SetFileLookupFolder)
        .Boolean("MatchCase", &E::MatchCase, &E::SetMatchCase)
        .Integer("ModifiedColor", &E::ModifiedColor, &E::SetModifiedColor)
        .Boolean("ShowModified", &E::ShowModified, &E::SetShowModified)
        .Integer("AutoHistoryLimit", &E::AutoHistoryLimit, &E::SetAutoHistoryLimit)
        .Enumeration("AutoHistoryDirection", directions, &E::AutoHistoryDirection, &E::SetAutoHistoryDirection)
        .String("Version", &E::Version, &E::SetVersion)
        .Event("AutoComplete", &E::AutoComplete)
        .Event("OnAddToHistory", &E::OnAddToHistory)
        .Event("Accept", &E::Accept);
  });
  return info;
}

TLUEdit::TLUEdit(TComponent* owner)
    : TEdit(owner), lookupItems_(std::make_unique<TStringList>()), persist_(std::make_unique<TLUPersist>()) {}

TLUEdit::~TLUEdit() {
  if (HandleAllocated() && !Designing()) SaveLookupList();
}

std::string TLUEdit::Version() const { return VersionString(GetVersionNumber()); }

void TLUEdit::SetLookupItems(const TStrings* items) {
  if (items) lookupItems_->Assign(*items);
}

void TLUEdit::SetModifiedColor(TColor c) {
  modifiedColor_ = c;
  Invalidate();
}

void TLUEdit::Loaded() {
  TEdit::Loaded();
  if (!Designing()) LoadLookupList();
}

void TLUEdit::WndProc(TMessage& m) {
  if (m.Msg == WM_DESTROY && !Designing()) SaveLookupList();
  TEdit::WndProc(m);
}

// ---- completion ----

void TLUEdit::SetLUModified(bool modified) {
  if (modified == modified_) return;
  modified_ = modified;
  if (modified) {
    savedFontColor_ = Font()->Color();
    if (showModified_) Font()->SetColor(modifiedColor_);
  } else {
    if (showModified_) Font()->SetColor(savedFontColor_);
    referenceText_ = GetText();
  }
}

void TLUEdit::Change() {
  TEdit::Change();
  if (!Designing() && completionEnabled_ && !completing_) TextChanged();
}

void TLUEdit::TextChanged() {
  SetLUModified(GetText() != referenceText_);
  completing_ = true;
  try {
    if (!CompleteFromList() && fileLookup_ && !GetText().empty()) CompleteFromFiles();
  } catch (...) {
    completing_ = false;
    throw;
  }
  completing_ = false;
}

bool TLUEdit::CompleteFromList() {
  if (lookupItems_->Count() == 0 || fileLookup_) return false;
  const std::string text = GetText();
  if (text.empty()) return false;
  const std::string n = matchCase_ ? text : AnsiUpperCase(text);
  const int32_t typedLength = std::min<int32_t>(SelStart(), static_cast<int32_t>(text.size()));
  for (int32_t i = 0; i < lookupItems_->Count(); ++i) {
    const std::string entry = lookupItems_->Strings(i);
    const std::string normalised = matchCase_ ? entry : AnsiUpperCase(entry);
    if (normalised.compare(0, n.size(), n) != 0) continue;
    const std::string typed = text.substr(0, typedLength);
    std::string added = entry.substr(std::min<size_t>(typedLength, entry.size()), 255);
    if (AutoComplete) AutoComplete(this, typed, added, i);
    SetText(typed + added);
    SetSelStart(typedLength);
    SetSelLength(static_cast<int32_t>((typed + added).size()) - typedLength);
    return true;
  }
  return false;
}

void TLUEdit::CompleteFromFiles() {
  const std::string text = GetText();
  std::string folder = fileLookupFolder_;
  if (!folder.empty()) folder = IncludeTrailingPathDelimiter(folder);
  TSearchRec rec;
  if (FindFirst(folder + text + "*", faAnyFile, rec) != 0) return;
  const size_t cut = text.find_last_of(std::string(1, PathDelim) + ":");
  const std::string head = cut == std::string::npos ? std::string() : text.substr(0, cut + 1);
  const std::string rest = text.substr(head.size());
  const bool matches = rest.empty() || SameText(rec.Name.substr(0, rest.size()), rest);
  if (matches && !rec.Name.empty() && rec.Name[0] != '.') {
    const int32_t from = static_cast<int32_t>(text.size());
    SetText(head + rec.Name);
    SetSelStart(from);
    SetSelLength(static_cast<int32_t>((head + rec.Name).size()) - from);
  }
  FindClose(rec);
}

// ---- keys ----

void TLUEdit::KeyDown(WORD& key, TShiftState shift) {
  completionEnabled_ = key != VK_BACK && key != VK_ESCAPE && key != VK_DELETE;
  if (key == VK_RETURN) {
    const int32_t index = lookupItems_->IndexOf(GetText());
    if (index >= 0) {
      SetText(lookupItems_->Strings(index));
      TextChanged();
    }
    if (returnIsTab_) {
      PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
      key = 0;
    }
  }
  TEdit::KeyDown(key, shift);
}

void TLUEdit::KeyPress(char32_t& key) {
  LookupKeyPress(key);
  if (key != 0) TEdit::KeyPress(key);
}

void TLUEdit::LookupKeyPress(char32_t& key) {
  // A typed character comes from a key that allows completion (also when
  // the character arrives without its key, as pasted input does).
  if (key >= 32) completionEnabled_ = true;
  if (returnIsTab_ && key == '\r') key = 0;
}

void TLUEdit::KeyUp(WORD& key, TShiftState shift) {
  if (returnIsTab_ && key == VK_RETURN) {
    key = 0;
    return;
  }
  TEdit::KeyUp(key, shift);
}

// ---- exit and history ----

void TLUEdit::AddToHistory(const std::string& text) {
  const bool full = autoHistoryLimit_ > 0 && lookupItems_->Count() >= autoHistoryLimit_;
  if (autoHistoryDirection_ == ahdLast) {
    if (full) lookupItems_->Delete(0);
    lookupItems_->Add(text);
  } else {
    if (full) lookupItems_->Delete(lookupItems_->Count() - 1);
    lookupItems_->Insert(0, text);
  }
  if (OnAddToHistory) OnAddToHistory(this, text);
  if (!autoSynchronize_ || !Owner()) return;
  for (int32_t i = 0; i < Owner()->ComponentCount(); ++i) {
    auto* other = dynamic_cast<TLUEdit*>(Owner()->Components(i));
    if (other && other != this && other->autoHistory_ && other->autoSynchronize_ &&
        other->persist_->Key() == persist_->Key() && other->persist_->Section() == persist_->Section())
      other->lookupItems_->Assign(*lookupItems_);
  }
}

void TLUEdit::DoExit() {
  const std::string text = GetText();
  bool accepted = true;
  if (Accept) Accept(this, text, lookupItems_->IndexOf(text), accepted);
  if (accepted && autoHistory_ && !text.empty() && lookupItems_->IndexOf(text) < 0) AddToHistory(text);
  if (accepted) TEdit::DoExit();
  else SetFocus();
}

// ---- stored list ----

void TLUEdit::LoadLookupList() {
  if (!persist_->Enable()) return;
  auto store = OpenSettingsStore(persist_->Storage() == stRegistry, persist_->Key());
  lookupItems_->Clear();
  for (int32_t n = 1;; ++n) {
    const std::string value = store->ReadString(persist_->Section(), "Item" + std::to_string(n), "");
    if (value.empty()) break;
    lookupItems_->Add(value);
  }
}

void TLUEdit::SaveLookupList() {
  if (!persist_->Enable()) return;
  const int32_t count = lookupItems_->Count();
  const int32_t toWrite = persist_->MaxCount() ? persist_->Count() : count;
  const int32_t skip = persist_->MaxCount() && count > persist_->Count() ? count - persist_->Count() : 0;
  auto store = OpenSettingsStore(persist_->Storage() == stRegistry, persist_->Key());
  store->EraseSection(persist_->Section());
  for (int32_t n = 1; n <= toWrite; ++n) {
    const int32_t index = skip + n - 1;
    store->WriteString(persist_->Section(), "Item" + std::to_string(n),
                       index < count ? lookupItems_->Strings(index) : std::string());
  }
}
