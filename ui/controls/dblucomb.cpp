// The data-aware lookup edit.
#include "ui/controls/dblucomb.h"

#include "platform/forms/dialogs.h"
#include "ui/controls/editkeys.h"
#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"

const TClassInfo& TDBLUEdit::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TDBLUEdit>("TDBLUEdit", &TLUEdit::StaticClassInfo(), [](TPublished<TDBLUEdit>& p) {
        p.String("DataField", &TDBLUEdit::DataField, &TDBLUEdit::SetDataField)
            .Reference<TDataSource>("DataSource", &TDBLUEdit::DataSource, &TDBLUEdit::SetDataSource)
            .Boolean("DataLookup", &TDBLUEdit::DataLookup, &TDBLUEdit::SetDataLookup)
            .Boolean("ReadOnly", &TDBLUEdit::ReadOnly, &TDBLUEdit::SetReadOnly);
      });
  return info;
}

TDBLUEdit::TDBLUEdit(TComponent* owner) : TLUEdit(owner), dataLink_(std::make_unique<TFieldDataLink>(this)) {
  dataLink_->OnDataChange = [this](TObject*) { DataChange(); };
  dataLink_->OnUpdateData = [this](TObject*) { UpdateData(); };
  dataLink_->OnActiveChange = [this](TObject*) { ActiveChange(); };
}

TDBLUEdit::~TDBLUEdit() { dataLink_.reset(); }

void TDBLUEdit::SetDataField(const std::string& name) {
  if (!ComponentState().Contains(csDesigning)) ClearMaxLength();
  dataLink_->SetFieldName(name);
}

void TDBLUEdit::SetDataSource(TDataSource* source) {
  dataLink_->SetDataSource(source);
  if (source) source->FreeNotification(this);
}

void TDBLUEdit::SetDataLookup(bool v) {
  dataLookup_ = v;
  if (v && !Loading()) FillLookupFromData();
}

void TDBLUEdit::Loaded() {
  TLUEdit::Loaded();
  ClearMaxLength();
}

void TDBLUEdit::Notification(TComponent* component, TOperation operation) {
  TLUEdit::Notification(component, operation);
  if (operation == opRemove && dataLink_ && component == dataLink_->DataSource()) dataLink_->SetDataSource(nullptr);
}

void TDBLUEdit::ClearMaxLength() {
  if (MaxLength() <= 0 || !DataSource() || !DataSource()->DataSet()) return;
  TField* field = DataSource()->DataSet()->FindField(DataField());
  if (field && (field->DataType() == ftString || field->DataType() == ftWideString) && field->Size() == MaxLength())
    SetMaxLength(0);
}

void TDBLUEdit::DataChange() {
  if (!dataLink_->Field()) return;
  showingData_ = true;
  try {
    SetText(dataLink_->Field()->AsString());
  } catch (...) {
    showingData_ = false;
    throw;
  }
  showingData_ = false;
}

void TDBLUEdit::UpdateData() {
  if (dataLink_->Field()) dataLink_->Field()->SetAsString(GetText());
}

void TDBLUEdit::ActiveChange() {
  if (!dataLink_->DataSet()) return;
  if (dataLink_->DataSet()->Active() && dataLookup_) FillLookupFromData();
  else LookupItems()->Clear();
}

void TDBLUEdit::FillLookupFromData() {
  TDataSet* dataSet = dataLink_->DataSet();
  TField* field = dataLink_->Field();
  if (!dataSet || !dataSet->Active() || !field) return;
  dataSet->DisableControls();
  LookupItems()->Clear();
  TBookmark mark = dataSet->GetBookmark();
  try {
    for (dataSet->First(); !dataSet->Eof(); dataSet->Next()) {
      const std::string value = field->AsString();
      if (!value.empty() && LookupItems()->IndexOf(value) < 0) LookupItems()->Add(value);
    }
  } catch (...) {
    dataSet->GotoBookmark(mark);
    dataSet->EnableControls();
    throw;
  }
  dataSet->GotoBookmark(mark);
  dataSet->FreeBookmark(mark);
  dataSet->EnableControls();
}

void TDBLUEdit::Change() {
  if (!showingData_) dataLink_->Modified();
  TLUEdit::Change();
}

void TDBLUEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_GETDATALINK: m.Result = reinterpret_cast<LRESULT>(dataLink_.get()); return;
    case WM_CUT:
    case WM_UNDO: EditMode(); break;
    case WM_PASTE:
      if (dataLink_->ReadOnly()) return;
      EditMode();
      break;
    default: break;
  }
  TLUEdit::WndProc(m);
}

void TDBLUEdit::KeyDown(WORD& key, TShiftState shift) {
  if (dataLink_->ReadOnly() && key == VK_DELETE) key = 0;
  // The edit's own clipboard keys go through the messages above.
  const bool shifted = shift.Contains(ssShift);
  if (const UINT message = ClipboardMessageOfKey(key, shift)) {
    Perform(message);
    key = 0;
  } else if (key == VK_BACK && dataLink_->ReadOnly()) {
    MessageBeep(0);
    key = 0;
  }
  const WORD pressed = key;
  TLUEdit::KeyDown(key, shift);
  if (pressed == VK_DELETE || (pressed == VK_INSERT && shifted)) EditMode();
  if (pressed == VK_BACK && !dataLink_->ReadOnly()) EditMode();
}

void TDBLUEdit::KeyPress(char32_t& key) {
  LookupKeyPress(key);
  if (key == 0) return;
  TField* field = dataLink_->Field();
  if ((key >= 32 && field && !field->IsValidChar(key)) || dataLink_->ReadOnly()) {
    MessageBeep(0);
    key = 0;
    return;
  }
  // Every typed character edits the record, whatever its script.
  if (key == 8 || key == 22 || key == 24 || key >= 32) EditMode();
  if (key == 27) {
    dataLink_->Reset();
    SelectAll();
    key = 0;
    return;
  }
  TEdit::KeyPress(key);  // the platform edit's event and typing
}

void TDBLUEdit::DoEnter() {
  TLUEdit::DoEnter();
  if (dataLink_->CanModify()) TCustomEdit::SetReadOnly(false);
}

void TDBLUEdit::DoExit() {
  if (!dataLink_->ReadOnly()) {
    try {
      dataLink_->UpdateRecord();
    } catch (const Exception& e) {
      // The user must learn that the record was not written.
      SelectAll();
      SetFocus();
      MessageDlg(e.Message(), mtError, TMsgDlgButtons{mbOK}, 0);
      return;
    }
  }
  TLUEdit::DoExit();
}
