// The small data-aware framework: datasets of records with typed fields,
// data sources that connect them to controls, and the data links through
// which a control follows a field of the current record.
//
// Sections: fields | TDataSet | TDataSource | TDataLink, TFieldDataLink
//
// A dataset keeps its records in memory once open; a descendant supplies
// them (InternalOpen) and writes a posted record back (InternalPost). The
// SQLite dataset of dbsqlite.h is the one such descendant.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/forms/classes.h"

RTL_DECLARE_EXCEPTION(EDatabaseError, Exception);

class TDataSet;
class TDataSource;
class TDataLink;

// ---- fields ----

enum TFieldType { ftUnknown, ftString, ftInteger, ftFloat, ftBoolean, ftWideString, ftMemo };

class TField {
public:
  TField(TDataSet* dataSet, std::string name, TFieldType type, int32_t size, int32_t index)
      : dataSet_(dataSet), fieldName_(std::move(name)), dataType_(type), size_(size), index_(index) {}

  const std::string& FieldName() const { return fieldName_; }
  TFieldType DataType() const { return dataType_; }
  // Most characters of a string field; 0 for the other types.
  int32_t Size() const { return size_; }
  int32_t Index() const { return index_; }
  TDataSet* DataSet() const { return dataSet_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  // Whether a character may be typed into the field.
  bool IsValidChar(char32_t c) const;

  bool IsNull() const;
  // The value of the current record as text ("" for null).
  std::string AsString() const;
  // Writes the current record's value; the dataset must be editing.
  void SetAsString(const std::string& value);

private:
  TDataSet* dataSet_;
  std::string fieldName_;
  TFieldType dataType_;
  int32_t size_;
  int32_t index_;
  bool readOnly_ = false;
};

// ---- TDataSet ----

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };
enum TDataEvent { deFieldChange, deRecordChange, deDataSetChange, deLayoutChange, deUpdateRecord, deUpdateState };
using TBookmark = std::shared_ptr<const int64_t>;
using TFieldValue = std::optional<std::string>;

class TDataSet : public TComponent {
  FORMS_CLASS(TDataSet)

public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  bool Active() const { return state_ != dsInactive; }
  void SetActive(bool v);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  void First();
  void Next();
  void Prior();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  int32_t RecordCount() const { return static_cast<int32_t>(records_.size()); }
  // The current record from 1; 0 without records.
  int32_t RecNo() const { return records_.empty() ? 0 : current_ + 1; }

  TBookmark GetBookmark() const;
  void GotoBookmark(const TBookmark& bookmark);
  void FreeBookmark(TBookmark& bookmark) { bookmark.reset(); }

  // While disabled the data sources hear nothing of moves and changes.
  void DisableControls() { ++disableCount_; }
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }

  int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
  TField* Fields(int32_t index) const { return fields_[index].get(); }
  TField* FindField(const std::string& name) const;
  // Raises EDatabaseError "Field 'X' not found" when there is none.
  TField* FieldByName(const std::string& name) const;

  virtual bool CanModify() const { return Active() && !readOnly_; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  // Puts the current record into editing (nothing when already editing).
  void Edit();
  // Writes the edited record: the links hand in their values first.
  void Post();
  void Cancel();
  // Sends deUpdateRecord so that the links write their controls' values.
  void UpdateRecord();

  // The value of a field in the current record.
  const TFieldValue& FieldValue(int32_t index) const;
  void SetFieldValue(int32_t index, TFieldValue value);

protected:
  // Fills the fields and records; raises EDatabaseError on failure.
  struct TTableData {
    std::vector<std::unique_ptr<TField>> Fields;
    std::vector<std::vector<TFieldValue>> Records;
    std::vector<int64_t> Keys;  // one per record
  };
  virtual TTableData InternalOpen() = 0;
  virtual void InternalClose() {}
  // Writes one record; raises EDatabaseError on failure.
  virtual void InternalPost(int64_t key, const std::vector<TFieldValue>& values) = 0;
  // Makes a field for the descendant's InternalOpen.
  std::unique_ptr<TField> MakeField(const std::string& name, TFieldType type, int32_t size, int32_t index) {
    return std::make_unique<TField>(this, name, type, size, index);
  }

private:
  friend class TDataSource;
  void DataEvent(TDataEvent event, TField* field = nullptr);
  void SetState(TDataSetState state);
  void MoveTo(int32_t index);
  void CheckBrowse(const char* what) const;

  TDataSetState state_ = dsInactive;
  std::vector<std::unique_ptr<TField>> fields_;
  std::vector<std::vector<TFieldValue>> records_;
  std::vector<int64_t> keys_;
  std::vector<TFieldValue> editBuffer_;
  int32_t current_ = 0;
  bool eof_ = true, bof_ = true;
  int disableCount_ = 0;
  bool changedWhileDisabled_ = false;
  bool readOnly_ = false;
  std::vector<TDataSource*> sources_;
};

// ---- TDataSource ----

class TDataSource : public TComponent {
  FORMS_CLASS(TDataSource)

public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;
  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  TDataSetState State() const { return dataSet_ ? dataSet_->State() : dsInactive; }
  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TDataSet;
  friend class TDataLink;
  void DataEvent(TDataEvent event, TField* field);
  TDataSet* dataSet_ = nullptr;
  std::vector<TDataLink*> links_;
};

// ---- TDataLink, TFieldDataLink ----

class TDataLink {
public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();
  TDataSource* DataSource() const { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const { return dataSource_ ? dataSource_->DataSet() : nullptr; }
  bool Active() const { return DataSet() && DataSet()->Active(); }
  bool Editing() const;
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v) { readOnly_ = v; }
  // Puts the dataset into editing; false when it cannot be.
  bool Edit();
  // Asks the link to hand its value to the record (deUpdateRecord).
  void UpdateRecord();

protected:
  friend class TDataSource;
  virtual void DataEvent(TDataEvent event, TField* field);
  virtual void ActiveChanged() {}
  virtual void RecordChanged(TField*) {}
  virtual void UpdateData() {}
  virtual void EditingChanged() {}

private:
  TDataSource* dataSource_ = nullptr;
  bool readOnly_ = false;
  bool updating_ = false;
  bool active_ = false, editing_ = false;
};

class TFieldDataLink : public TDataLink {
public:
  explicit TFieldDataLink(TComponent* control = nullptr) : control_(control) {}
  TComponent* Control() const { return control_; }
  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(const std::string& name);
  TField* Field() const { return field_; }
  // The field is there and the dataset may change it.
  bool CanModify() const;
  // The control's value differs from the field's.
  void Modified() { modified_ = true; }
  bool IsModified() const { return modified_; }
  // Reloads the field's value into the control (OnDataChange).
  void Reset();
  // Hands a modified value to the record, then posts the record.
  void UpdateRecord();

  TNotifyEvent OnDataChange;
  TNotifyEvent OnUpdateData;
  TNotifyEvent OnActiveChange;
  TNotifyEvent OnEditingChange;

protected:
  void ActiveChanged() override;
  void RecordChanged(TField* field) override;
  void UpdateData() override;
  void EditingChanged() override;

private:
  void UpdateField();
  TComponent* control_;
  std::string fieldName_;
  TField* field_ = nullptr;
  bool modified_ = false;
};
