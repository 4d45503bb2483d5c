// The data-aware lookup edit: a lookup edit bound to one field of a dataset.
// It shows the field of the current record, puts the dataset into editing
// when the user changes the text, writes the text back when the focus leaves,
// and can fill its list with the field's distinct values.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/db.h"
#include "ui/controls/lucombo.h"

class TDBLUEdit : public TLUEdit {
  FORMS_CLASS(TDBLUEdit)

public:
  explicit TDBLUEdit(TComponent* owner);
  ~TDBLUEdit() override;
  void WndProc(TMessage& message) override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

  std::string DataField() const { return dataLink_->FieldName(); }
  void SetDataField(const std::string& name);
  TDataSource* DataSource() const { return dataLink_->DataSource(); }
  void SetDataSource(TDataSource* source);
  bool DataLookup() const { return dataLookup_; }
  void SetDataLookup(bool v);
  bool ReadOnly() const { return dataLink_->ReadOnly(); }
  void SetReadOnly(bool v) { dataLink_->SetReadOnly(v); }
  TFieldDataLink* DataLink() const { return dataLink_.get(); }

protected:
  void Change() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char32_t& key) override;
  void DoEnter() override;
  void DoExit() override;

private:
  void DataChange();
  void UpdateData();
  void ActiveChange();
  void FillLookupFromData();
  void ClearMaxLength();
  bool Loading() const { return ComponentState().Contains(csLoading); }
  void EditMode() { dataLink_->Edit(); }

  std::unique_ptr<TFieldDataLink> dataLink_;
  bool dataLookup_ = false;
  bool showingData_ = false;
};
