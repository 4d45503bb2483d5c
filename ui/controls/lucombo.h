// The lookup edit: completes typed text from a list of earlier entries or
// from file names, keeps a history of accepted entries, shows a modified
// colour, and stores its list between runs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/stdctrls.h"
#include "platform/rtl/stringlist.h"

using TAutoCompleteEvent = std::function<void(TObject* sender, const std::string& usrStr, std::string& autoAdd, int32_t idx)>;
using TEnterAcceptEvent = std::function<void(TObject* sender, const std::string& str, int32_t idx, bool& accept)>;
using TAddToHistoryEvent = std::function<void(TObject* sender, const std::string& str)>;

enum TLUStorage { stInifile, stRegistry };
enum TAutoHistoryDirection { ahdFirst, ahdLast };

// Where the list is stored between runs.
class TLUPersist : public TPersistent {
  FORMS_CLASS(TLUPersist)

public:
  void Assign(const TPersistent* source) override;
  bool Enable() const { return enable_; }
  void SetEnable(bool v) { enable_ = v; }
  TLUStorage Storage() const { return storage_; }
  void SetStorage(TLUStorage s) { storage_ = s; }
  const std::string& Key() const { return key_; }
  void SetKey(const std::string& k) { key_ = k; }
  const std::string& Section() const { return section_; }
  void SetSection(const std::string& s) { section_ = s; }
  int32_t Count() const { return count_; }
  void SetCount(int32_t c) { count_ = c; }
  bool MaxCount() const { return maxCount_; }
  void SetMaxCount(bool v) { maxCount_ = v; }

private:
  bool enable_ = false;
  TLUStorage storage_ = stInifile;
  std::string key_, section_;
  int32_t count_ = 0;
  bool maxCount_ = false;
};

class TLUEdit : public TEdit {
  FORMS_CLASS(TLUEdit)

public:
  explicit TLUEdit(TComponent* owner);
  ~TLUEdit() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;

  virtual uint32_t GetVersionNumber() const { return 0x02030000; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

  TStringList* LookupItems() const { return lookupItems_.get(); }
  void SetLookupItems(const TStrings* items);
  TLUPersist* Persist() const { return persist_.get(); }
  void SetPersist(const TLUPersist* persist) { persist_->Assign(persist); }
  bool AutoHistory() const { return autoHistory_; }
  void SetAutoHistory(bool v) { autoHistory_ = v; }
  bool AutoSynchronize() const { return autoSynchronize_; }
  void SetAutoSynchronize(bool v) { autoSynchronize_ = v; }
  bool ReturnIsTab() const { return returnIsTab_; }
  void SetReturnIsTab(bool v) { returnIsTab_ = v; }
  bool FileLookup() const { return fileLookup_; }
  void SetFileLookup(bool v) { fileLookup_ = v; }
  const std::string& FileLookupFolder() const { return fileLookupFolder_; }
  void SetFileLookupFolder(const std::string& f) { fileLookupFolder_ = f; }
  bool MatchCase() const { return matchCase_; }
  void SetMatchCase(bool v) { matchCase_ = v; }
  TColor ModifiedColor() const { return modifiedColor_; }
  void SetModifiedColor(TColor c);
  bool ShowModified() const { return showModified_; }
  void SetShowModified(bool v) { showModified_ = v; }
  int32_t AutoHistoryLimit() const { return autoHistoryLimit_; }
  void SetAutoHistoryLimit(int32_t n) { autoHistoryLimit_ = n; }
  TAutoHistoryDirection AutoHistoryDirection() const { return autoHistoryDirection_; }
  void SetAutoHistoryDirection(TAutoHistoryDirection d) { autoHistoryDirection_ = d; }
  // The text differs from the reference text.
  bool IsModified() const { return modified_; }

  void LoadLookupList();
  void SaveLookupList();

  TAutoCompleteEvent AutoComplete;
  TAddToHistoryEvent OnAddToHistory;
  TEnterAcceptEvent Accept;

protected:
  void Change() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  // The lookup edit's own part of a key press (completion, Return as Tab),
  // before the platform edit's event and typing.
  void LookupKeyPress(char32_t& key);
  void KeyUp(WORD& key, TShiftState shift) override;
  void DoExit() override;
  void SetLUModified(bool modified);

private:
  void TextChanged();
  bool CompleteFromList();
  void CompleteFromFiles();
  void AddToHistory(const std::string& text);
  bool Designing() const { return ComponentState().Contains(csDesigning); }

  bool completionEnabled_ = true;
  bool completing_ = false;
  std::unique_ptr<TStringList> lookupItems_;
  std::unique_ptr<TLUPersist> persist_;
  bool autoHistory_ = false;
  bool autoSynchronize_ = false;
  bool returnIsTab_ = false;
  bool fileLookup_ = false;
  bool matchCase_ = false;
  std::string fileLookupFolder_;
  bool modified_ = false;
  TColor modifiedColor_ = clHighlight;
  TColor savedFontColor_ = clWindowText;
  std::string referenceText_;
  int32_t autoHistoryLimit_ = 0;
  TAutoHistoryDirection autoHistoryDirection_ = ahdFirst;
  bool showModified_ = false;
};
