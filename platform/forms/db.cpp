// The data-aware framework: fields, datasets, data sources and data links.
//
// Sections: fields | TDataSet | TDataSource | TDataLink, TFieldDataLink
#include "platform/forms/db.h"

#include <algorithm>

#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"

// ---- fields ----

bool TField::IsValidChar(char32_t c) const {
  switch (dataType_) {
    case ftInteger: return (c >= '0' && c <= '9') || c == '+' || c == '-';
    case ftFloat:
      return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == 'e' || c == 'E' ||
             c == static_cast<unsigned char>(FormatSettings.DecimalSeparator);
    default: return true;
  }
}

bool TField::IsNull() const { return !dataSet_->FieldValue(index_).has_value(); }

std::string TField::AsString() const { return dataSet_->FieldValue(index_).value_or(std::string()); }

void TField::SetAsString(const std::string& value) {
  if (readOnly_) throw EDatabaseError("Field '" + fieldName_ + "' cannot be modified");
  dataSet_->SetFieldValue(index_, value);
}

// ---- TDataSet ----

const TClassInfo& TDataSet::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TDataSet>("TDataSet", &TComponent::StaticClassInfo(), [](TPublished<TDataSet>& p) {
        p.Boolean("Active", &TDataSet::Active, &TDataSet::SetActive)
            .Boolean("ReadOnly", &TDataSet::ReadOnly, &TDataSet::SetReadOnly);
      });
  return info;
}

TDataSet::TDataSet(TComponent* owner) : TComponent(owner) {}

TDataSet::~TDataSet() {
  for (TDataSource* source : sources_) source->dataSet_ = nullptr;
}

void TDataSet::SetActive(bool v) {
  if (v == Active()) return;
  if (v) {
    TTableData data = InternalOpen();
    fields_ = std::move(data.Fields);
    records_ = std::move(data.Records);
    keys_ = std::move(data.Keys);
    current_ = 0;
    bof_ = true;
    eof_ = records_.empty();
    state_ = dsBrowse;
  } else {
    if (state_ == dsEdit) Cancel();
    InternalClose();
    state_ = dsInactive;
  }
  DataEvent(deUpdateState);
  if (!v) {
    fields_.clear();
    records_.clear();
    keys_.clear();
  }
}

void TDataSet::CheckBrowse(const char* what) const {
  if (!Active()) throw EDatabaseError(std::string("Cannot ") + what + " a closed dataset");
}

void TDataSet::MoveTo(int32_t index) {
  CheckBrowse("move in");
  if (state_ == dsEdit) Post();
  const int32_t last = static_cast<int32_t>(records_.size()) - 1;
  bof_ = index < 0 || records_.empty();
  eof_ = index > last || records_.empty();
  current_ = std::clamp(index, 0, std::max(last, 0));
  DataEvent(deDataSetChange);
}

void TDataSet::First() {
  MoveTo(0);
  bof_ = true;
}
void TDataSet::Next() { MoveTo(current_ + 1); }
void TDataSet::Prior() { MoveTo(current_ - 1); }

TBookmark TDataSet::GetBookmark() const {
  if (records_.empty()) return nullptr;
  return std::make_shared<const int64_t>(keys_[current_]);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  if (!bookmark) return;
  const auto it = std::find(keys_.begin(), keys_.end(), *bookmark);
  if (it == keys_.end()) throw EDatabaseError("Record not found");
  MoveTo(static_cast<int32_t>(it - keys_.begin()));
}

void TDataSet::EnableControls() {
  if (disableCount_ == 0 || --disableCount_ > 0) return;
  if (changedWhileDisabled_) {
    changedWhileDisabled_ = false;
    DataEvent(deDataSetChange);
  }
}

TField* TDataSet::FindField(const std::string& name) const {
  for (const auto& field : fields_)
    if (SameText(field->FieldName(), name)) return field.get();
  return nullptr;
}

TField* TDataSet::FieldByName(const std::string& name) const {
  TField* field = FindField(name);
  if (!field) throw EDatabaseError("Field '" + name + "' not found");
  return field;
}

const TFieldValue& TDataSet::FieldValue(int32_t index) const {
  static const TFieldValue none;
  if (state_ == dsEdit) return editBuffer_[index];
  if (!Active() || records_.empty()) return none;
  return records_[current_][index];
}

void TDataSet::SetFieldValue(int32_t index, TFieldValue value) {
  if (state_ != dsEdit) throw EDatabaseError("Dataset not in edit or insert mode");
  editBuffer_[index] = std::move(value);
  DataEvent(deFieldChange, fields_[index].get());
}

void TDataSet::SetState(TDataSetState state) {
  if (state == state_) return;
  state_ = state;
  DataEvent(deUpdateState);
}

void TDataSet::Edit() {
  if (state_ == dsEdit) return;
  if (!CanModify()) throw EDatabaseError("Cannot modify a read-only dataset");
  if (records_.empty()) throw EDatabaseError("Cannot perform this operation on an empty dataset");
  editBuffer_ = records_[current_];
  SetState(dsEdit);
}

void TDataSet::UpdateRecord() {
  if (state_ != dsEdit) throw EDatabaseError("Dataset not in edit or insert mode");
  DataEvent(deUpdateRecord);
}

void TDataSet::Post() {
  if (state_ != dsEdit) return;
  UpdateRecord();
  InternalPost(keys_[current_], editBuffer_);
  records_[current_] = editBuffer_;
  SetState(dsBrowse);
  DataEvent(deRecordChange);
}

void TDataSet::Cancel() {
  if (state_ != dsEdit) return;
  SetState(dsBrowse);
  DataEvent(deRecordChange);
}

void TDataSet::DataEvent(TDataEvent event, TField* field) {
  if (ControlsDisabled() && event != deUpdateRecord && event != deUpdateState) {
    changedWhileDisabled_ = true;
    return;
  }
  const std::vector<TDataSource*> sources = sources_;
  for (TDataSource* source : sources) source->DataEvent(event, field);
}

// ---- TDataSource ----

const TClassInfo& TDataSource::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TDataSource>("TDataSource", &TComponent::StaticClassInfo(), [](TPublished<TDataSource>& p) {
        p.Reference<TDataSet>("DataSet", &TDataSource::DataSet, &TDataSource::SetDataSet);
      });
  return info;
}

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
  SetDataSet(nullptr);
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
  if (dataSet == dataSet_) return;
  if (dataSet_) {
    auto& list = dataSet_->sources_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  dataSet_ = dataSet;
  if (dataSet_) {
    dataSet_->sources_.push_back(this);
    dataSet_->FreeNotification(this);
  }
  DataEvent(deUpdateState, nullptr);
}

void TDataSource::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == dataSet_) SetDataSet(nullptr);
}

void TDataSource::DataEvent(TDataEvent event, TField* field) {
  const std::vector<TDataLink*> links = links_;
  for (TDataLink* link : links) link->DataEvent(event, field);
}

// ---- TDataLink, TFieldDataLink ----

TDataLink::~TDataLink() { SetDataSource(nullptr); }

void TDataLink::SetDataSource(TDataSource* source) {
  if (source == dataSource_) return;
  if (dataSource_) {
    auto& list = dataSource_->links_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
  }
  dataSource_ = source;
  if (dataSource_) dataSource_->links_.push_back(this);
  active_ = Active();
  editing_ = Editing();
  ActiveChanged();
}

bool TDataLink::Editing() const { return DataSet() && DataSet()->State() == dsEdit; }

bool TDataLink::Edit() {
  if (readOnly_ || !Active()) return false;
  if (!Editing()) DataSet()->Edit();
  return Editing();
}

void TDataLink::UpdateRecord() {
  updating_ = true;
  try {
    UpdateData();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, TField* field) {
  switch (event) {
    case deUpdateState:
      if (Active() != active_) {
        active_ = !active_;
        ActiveChanged();
      }
      if (Editing() != editing_) {
        editing_ = !editing_;
        EditingChanged();
      }
      break;
    case deFieldChange:
    case deRecordChange:
      if (!updating_) RecordChanged(field);
      break;
    case deDataSetChange:
    case deLayoutChange: RecordChanged(nullptr); break;
    case deUpdateRecord: UpdateRecord(); break;
  }
}

void TFieldDataLink::SetFieldName(const std::string& name) {
  fieldName_ = name;
  UpdateField();
}

void TFieldDataLink::UpdateField() {
  field_ = Active() && !fieldName_.empty() ? DataSet()->FindField(fieldName_) : nullptr;
  modified_ = false;
  if (OnDataChange) OnDataChange(nullptr);
}

bool TFieldDataLink::CanModify() const {
  return !ReadOnly() && field_ && !field_->ReadOnly() && DataSet()->CanModify();
}

void TFieldDataLink::Reset() {
  modified_ = false;
  if (OnDataChange) OnDataChange(nullptr);
}

void TFieldDataLink::UpdateRecord() {
  if (!Active()) return;
  if (Editing()) DataSet()->Post();
  modified_ = false;
}

void TFieldDataLink::ActiveChanged() {
  UpdateField();
  if (OnActiveChange) OnActiveChange(nullptr);
}

void TFieldDataLink::RecordChanged(TField* field) {
  if (field && field != field_) return;
  modified_ = false;
  if (OnDataChange) OnDataChange(nullptr);
}

void TFieldDataLink::UpdateData() {
  if (modified_ && field_ && OnUpdateData) OnUpdateData(nullptr);
  modified_ = false;
}

void TFieldDataLink::EditingChanged() {
  if (OnEditingChange) OnEditingChange(nullptr);
}
