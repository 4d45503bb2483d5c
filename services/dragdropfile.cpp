// Files dropped on a control; see dragdropfile.h.
#include "services/dragdropfile.h"

#include <cstring>

#include "platform/forms/forms.h"
#include "platform/rtl/encoding.h"
#include "platform/win/comimpl.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/winuser_consts.h"
#include "services/dragdropbytes.h"
#include "services/dragdroppidl.h"

namespace {

// The length in units of the NUL-ended text at data (units of 1 or 2
// bytes); npos when no NUL lies within size or within the cap.
size_t TerminatedLength(const uint8_t* data, size_t size, bool wide, size_t cap) {
  const size_t unit = wide ? 2 : 1;
  for (size_t n = 0; (n + 1) * unit <= size && n <= cap; ++n)
    if (wide ? DropU16(data + n * 2) == 0 : data[n] == 0) return n;
  return std::string::npos;
}

void AppendText(std::vector<uint8_t>& out, const std::string& text, bool wide) {
  if (wide) {
    const std::vector<uint8_t> units = Utf8ToUtf16LE(text);
    out.insert(out.end(), units.begin(), units.end());
    out.insert(out.end(), {0, 0});
  } else {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
  }
}

CLIPFORMAT Format(const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(name)); }

// The bytes of one format of the data object, at most the cap.
bool FormatBytes(IDataObject* data, CLIPFORMAT format, std::string& bytes) {
  FORMATETC etc;
  etc.cfFormat = format;
  etc.tymed = TYMED_HGLOBAL | TYMED_ISTREAM;
  if (data->QueryGetData(&etc) != S_OK) return false;
  STGMEDIUM medium;
  if (FAILED(data->GetData(&etc, &medium))) return false;
  const bool ok = ReadMediumBytes(medium, bytes, kMaxDropBlockBytes);
  ReleaseStgMedium(&medium);
  return ok;
}

}  // namespace

// ---- block readers --------------------------------------------------------------------

bool ReadFilesFromZeroList(const uint8_t* data, size_t size, bool wide, std::vector<std::string>& list) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t unit = wide ? 2 : 1;
  std::vector<std::string> names;
  size_t at = 0;
  while (at + unit <= size) {
    const size_t length = TerminatedLength(data + at, size - at, wide, kMaxDropNameLength);
    if (length == std::string::npos) return false;  // runs off the block or is too long
    if (length == 0) break;                          // the closing empty name
    if (names.size() == kMaxDropNames) return false;
    std::string name;
    if (wide) {
      if (!WideToUtf8(data + at, length, name)) return false;
    } else {
      name.assign(reinterpret_cast<const char*>(data + at), length);
    }
    names.push_back(std::move(name));
    at += (length + 1) * unit;
  }
  if (names.empty()) return false;
  list.insert(list.end(), names.begin(), names.end());
  return true;
}

std::vector<uint8_t> WriteFilesToZeroList(const std::vector<std::string>& names, bool wide) {
  std::vector<uint8_t> out;
  for (const std::string& name : names) AppendText(out, name, wide);
  AppendText(out, "", wide);
  return out;
}

bool ReadFilesFromDropFiles(const uint8_t* block, size_t size, std::vector<std::string>& files) {
  constexpr size_t kHeader = 20;
  if (!block || size <= kHeader || size > kMaxDropBlockBytes) return false;
  const uint32_t offset = DropU32(block);
  if (offset < kHeader || offset >= size) return false;
  const bool wide = DropU32(block + 16) != 0;
  return ReadFilesFromZeroList(block + offset, size - offset, wide, files);
}

std::vector<uint8_t> WriteDropFiles(const std::vector<std::string>& files, bool wide) {
  std::vector<uint8_t> out(20, 0);
  out[0] = 20;
  out[16] = wide ? 1 : 0;
  const std::vector<uint8_t> list = WriteFilesToZeroList(files, wide);
  out.insert(out.end(), list.begin(), list.end());
  return out;
}

bool ReadSingleName(const uint8_t* data, size_t size, bool wide, std::string& name) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t length = TerminatedLength(data, size, wide, kMaxDropNameLength);
  if (length == std::string::npos || length == 0) return false;
  if (wide) return WideToUtf8(data, length, name);
  name.assign(reinterpret_cast<const char*>(data), length);
  return true;
}

bool ReadIDListArray(const uint8_t* data, size_t size, std::vector<std::string>& names) {
  TPIDLClipboardFormat lists;
  if (!lists.ReadData(data, size)) return false;
  for (int32_t i = 0; i < lists.IDListFileNames.Count(); ++i) names.push_back(lists.IDListFileNames.Strings(i));
  return true;
}

bool ReadFileDescriptors(const uint8_t* data, size_t size, std::vector<std::string>& names) {
  TFileGroupDescritorWClipboardFormat descriptors;
  if (size > kMaxDropBlockBytes || !descriptors.ReadData(data, size) || !descriptors.HasData()) return false;
  std::vector<std::string> read;
  for (uint32_t i = 0; i < descriptors.Count(); ++i) {
    read.push_back(SafeDropName(descriptors.FileName(i)));
    if (read.back().empty()) return false;
  }
  names.insert(names.end(), read.begin(), read.end());
  return true;
}

bool ReadDroppedText(const uint8_t* data, size_t size, bool wide, std::string& text) {
  if (!data || size > kMaxDropBlockBytes) return false;
  const size_t unit = wide ? 2 : 1;
  size_t length = TerminatedLength(data, size, wide, size);
  if (length == std::string::npos) length = size / unit;
  if (wide) return WideToUtf8(data, length, text);
  text.assign(reinterpret_cast<const char*>(data), length);
  return true;
}

// ---- drop target ------------------------------------------------------------------------

// The interface the window layer calls; it forwards to its component.
class TDropTargetSink final : public ComObject<IDropTarget, IID_IDropTarget> {
public:
  explicit TDropTargetSink(TDropFileTarget* owner) : owner_(owner) {}
  void Detach() { owner_ = nullptr; }

  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL, DWORD* effect) override {
    acceptable_ = owner_ && data && owner_->Readable(data);
    *effect = acceptable_ ? owner_->DropEffect(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, POINTL, DWORD* effect) override {
    *effect = acceptable_ && owner_ ? owner_->DropEffect(keys, *effect) : DROPEFFECT_NONE;
    return S_OK;
  }
  HRESULT DragLeave() override {
    acceptable_ = false;
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    const DWORD allowed = *effect;
    *effect = owner_ && data ? owner_->Dropped(data, keys, point, allowed) : DROPEFFECT_NONE;
    acceptable_ = false;
    return S_OK;
  }

private:
  TDropFileTarget* owner_;
  bool acceptable_ = false;
};

TDropFileTarget::TDropFileTarget(TComponent* owner)
    : TDragDropComponent(owner), files_(std::make_unique<TStringList>()), sink_(new TDropTargetSink(this)) {
  sink_->Release();  // the ComPtr holds the only reference
}

TDropFileTarget::~TDropFileTarget() {
  while (DataFormats.Count() > 0) delete DataFormats.Formats(DataFormats.Count() - 1);  // each leaves the list
  Revoke();
  sink_->Detach();
}

IDropTarget* TDropFileTarget::DropTarget() const { return sink_.Get(); }

void TDropFileTarget::SetTarget(TWinControl* target) {
  Revoke();
  if (target_) target_->RemoveFreeNotification(this);
  target_ = target;
  if (!target_) return;
  target_->FreeNotification(this);
  Register();
}

void TDropFileTarget::Register() {
  const auto add = [this](TWinControl* control) {
    if (SUCCEEDED(RegisterDragDrop(control->Handle(), sink_.Get()))) registered_.push_back(control->Handle());
  };
  add(target_);
  if (WholeWindow)
    if (TCustomForm* form = target_->GetParentForm(); form && form != target_) add(form);
}

void TDropFileTarget::Revoke() {
  for (HWND window : registered_) RevokeDragDrop(window);
  registered_.clear();
}

void TDropFileTarget::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == target_) {
    registered_.clear();  // the windows go with the control
    target_ = nullptr;
  }
}

bool TDropFileTarget::ReadFiles(IDataObject* data, std::vector<std::string>& files) {
  std::string bytes;
  const auto block = [&bytes] { return reinterpret_cast<const uint8_t*>(bytes.data()); };
  if (FormatBytes(data, CF_HDROP, bytes) && ReadFilesFromDropFiles(block(), bytes.size(), files)) return true;
  if (FormatBytes(data, Format("Shell IDList Array"), bytes) && ReadIDListArray(block(), bytes.size(), files))
    return true;
  std::string name;
  if ((FormatBytes(data, Format("FileNameW"), bytes) && ReadSingleName(block(), bytes.size(), true, name)) ||
      (FormatBytes(data, Format("FileName"), bytes) && ReadSingleName(block(), bytes.size(), false, name))) {
    files.push_back(name);
    return true;
  }
  return false;
}

DWORD TDropFileTarget::DropEffect(DWORD keys, DWORD allowed) const {
  return DropEffectFromShiftState(KeysToShiftState(keys), allowed & DragTypesToDropEffect(DragTypes), true);
}

bool TDropFileTarget::Readable(IDataObject* data) {
  std::vector<std::string> files;
  if (ReadFiles(data, files)) return true;
  if (!VirtualFileFolder.empty()) {
    TFileContentsStreamClipboardFormat contents;
    TFileGroupDescritorWClipboardFormat wide;
    TFileGroupDescritorClipboardFormat ansi;
    if (contents.HasValidFormats(data) && (wide.HasValidFormats(data) || ansi.HasValidFormats(data))) return true;
  }
  for (int i = 0; i < DataFormats.Count(); ++i)
    if (DataFormats.Formats(i)->HasValidFormats(data)) return true;
  return false;
}

bool TDropFileTarget::ReadVirtualFiles(IDataObject* data, std::vector<std::string>& files) const {
  if (VirtualFileFolder.empty()) return false;
  TFileContentsStreamClipboardFormat contents;
  return contents.GetData(data) && SaveStreamsToFolder(contents.Streams, VirtualFileFolder, files);
}

void TDropFileTarget::ReadDataFormats(IDataObject* data) {
  for (int i = 0; i < DataFormats.Count(); ++i) {
    TCustomDataFormat* format = DataFormats.Formats(i);
    format->Clear();
    if (format->HasValidFormats(data)) format->GetData(data);
  }
}

void TDropFileTarget::ClearDataFormats() {
  for (int i = 0; i < DataFormats.Count(); ++i) DataFormats.Formats(i)->Clear();
}

DWORD TDropFileTarget::Dropped(IDataObject* data, DWORD keys, POINTL point, DWORD allowed) {
  struct Empty {
    TDropFileTarget* target;
    ~Empty() {
      target->files_->Clear();
      target->ClearDataFormats();
    }
  } empty{this};
  std::vector<std::string> files;
  const bool named = ReadFiles(data, files) || ReadVirtualFiles(data, files);
  ReadDataFormats(data);
  bool formats = false;
  for (int i = 0; i < DataFormats.Count(); ++i) formats = formats || DataFormats.Formats(i)->HasData();
  if (!named && !formats) return DROPEFFECT_NONE;
  DWORD effect = DropEffect(keys, allowed);
  if (effect == DROPEFFECT_NONE) return effect;
  files_->Clear();
  for (const std::string& f : files) files_->Add(f);
  TShiftState shift = KeysToShiftState(keys) * TShiftState{ssShift, ssCtrl, ssAlt};
  // A handler that fails refuses the drop: its exception ends here, not in
  // the window layer or the source's drag loop.
  try {
    if (OnDrop) OnDrop(this, shift, point, effect);
  } catch (...) {
    effect = DROPEFFECT_NONE;
  }
  if (OptimizedMove && effect == DROPEFFECT_MOVE) effect = DROPEFFECT_COPY;
  if (effect != DROPEFFECT_NONE) {
    TPerformedDropEffectClipboardFormat performed;
    performed.Value = effect;
    STGMEDIUM medium;
    performed.SetData(data, performed.FormatEtc, medium);  // a source that does not take it is no failure
  }
  return effect;
}

// ---- the file list as a clipboard format --------------------------------------------------

DRAGDROP_CONCRETE_CLASS(TFileClipboardFormat, TCustomSimpleClipboardFormat)

CLIPFORMAT TFileClipboardFormat::GetClipboardFormat() { return CF_HDROP; }

bool TFileClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  std::vector<std::string> files;
  FileNames.Clear();
  if (!ReadFilesFromDropFiles(block, size, files)) return false;
  for (const std::string& f : files) FileNames.Add(f);
  return true;
}

bool TFileClipboardFormat::WriteData(uint8_t* block, size_t size) {
  std::vector<std::string> files;
  for (int32_t i = 0; i < FileNames.Count(); ++i) files.push_back(FileNames.Strings(i));
  const std::vector<uint8_t> written = WriteDropFiles(files, Unicode);
  if (size < written.size()) return false;
  std::memcpy(block, written.data(), written.size());
  return true;
}

int32_t TFileClipboardFormat::GetSize() {
  std::vector<std::string> files;
  for (int32_t i = 0; i < FileNames.Count(); ++i) files.push_back(FileNames.Strings(i));
  return static_cast<int32_t>(WriteDropFiles(files, Unicode).size());
}
