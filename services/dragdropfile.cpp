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

std::vector<std::string> ListOf(const TStrings& strings) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < strings.Count(); ++i) names.push_back(strings.Strings(i));
  return names;
}

// Copies a written block into the caller's buffer when it fits.
bool CopyBlock(const std::vector<uint8_t>& written, uint8_t* block, size_t size) {
  if (!block || size < written.size()) return false;
  std::memcpy(block, written.data(), written.size());
  return true;
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

  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->DragEnter(data, keys, point, *effect) : E_UNEXPECTED;
  }
  HRESULT DragOver(DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->DragOver(keys, point, *effect) : E_UNEXPECTED;
  }
  HRESULT DragLeave() override { return owner_ ? owner_->DragLeave() : E_UNEXPECTED; }
  HRESULT Drop(IDataObject*, DWORD keys, POINTL point, DWORD* effect) override {
    return owner_ ? owner_->Drop(keys, point, *effect) : E_UNEXPECTED;
  }

private:
  TDropFileTarget* owner_;
};

TDropFileTarget::TDropFileTarget(TComponent* owner)
    : TDragDropComponent(owner),
      fileFormat_(new TFileDataFormat(this)),
      mapFormat_(new TFileMapDataFormat(this)),
      sink_(new TDropTargetSink(this)) {
  sink_->Release();  // the ComPtr holds the only reference
}

TDropFileTarget::~TDropFileTarget() {
  while (DataFormats.Count() > 0) delete DataFormats.Formats(DataFormats.Count() - 1);  // each leaves the list
  Revoke();
  sink_->Detach();
}

IDropTarget* TDropFileTarget::DropTarget() const { return sink_.Get(); }

TStrings* TDropFileTarget::GetFiles() const { return &fileFormat_->FileNames; }

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
  TFileDataFormat names(nullptr);
  if (!names.GetData(data)) return false;
  const std::vector<std::string> read = ListOf(names.FileNames);
  files.insert(files.end(), read.begin(), read.end());
  return true;
}

POINTL TDropFileTarget::ClientPoint(POINTL screen) const {
  if (!target_) return screen;
  const POINT client = target_->ScreenToClient(POINT{screen.x, screen.y});
  return POINTL{client.x, client.y};
}

DWORD TDropFileTarget::GetValidDropEffect(TShiftState shift, POINTL point, DWORD offered) {
  DWORD effect = offered & DragTypesToDropEffect(DragTypes);
  if (!OnGetDropEffect) return DropEffectFromShiftState(shift, effect, true);
  OnGetDropEffect(this, shift, point, effect);
  return effect;
}

HRESULT TDropFileTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect) {
  try {
    ClearDataFormats();
    data_ = data && Readable(data) ? ComPtr<IDataObject>(data) : nullptr;
    if (!data_) {
      effect = DROPEFFECT_NONE;
      return S_OK;
    }
    if (GetDataOnEnter && !ReadDataFormats(data_.Get())) {
      data_ = nullptr;
      effect = DROPEFFECT_NONE;
      return DV_E_CLIPFORMAT;
    }
    const TShiftState shift = KeysToShiftState(keys);
    const POINTL client = ClientPoint(point);
    effect = GetValidDropEffect(shift, client, effect);
    if (OnEnter) OnEnter(this, shift, client, effect);
    if ((effect & ~DROPEFFECT_SCROLL) == DROPEFFECT_NONE) data_ = nullptr;  // refused for the whole drag
    return S_OK;
  } catch (...) {
    data_ = nullptr;
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
}

HRESULT TDropFileTarget::DragOver(DWORD keys, POINTL point, DWORD& effect) {
  try {
    const TShiftState shift = KeysToShiftState(keys);
    const POINTL client = ClientPoint(point);
    effect = GetValidDropEffect(shift, client, effect);
    if (!data_) {
      effect = DROPEFFECT_NONE;
      return DV_E_CLIPFORMAT;
    }
    if (OnDragOver) OnDragOver(this, shift, client, effect);
    return S_OK;
  } catch (...) {
    data_ = nullptr;
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
}

HRESULT TDropFileTarget::DragLeave() {
  data_ = nullptr;
  try {
    ClearDataFormats();
    if (OnLeave) OnLeave(this);
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

HRESULT TDropFileTarget::Drop(DWORD keys, POINTL point, DWORD& effect) {
  const ComPtr<IDataObject> data = std::move(data_);  // the object held since the drag entered
  if (!data) {
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
  try {
    effect = Dropped(data.Get(), keys, ClientPoint(point), effect);
    return S_OK;
  } catch (...) {
    ClearDataFormats();
    effect = DROPEFFECT_NONE;
    return E_UNEXPECTED;
  }
}

DWORD TDropFileTarget::DropEffect(DWORD keys, DWORD allowed) const {
  return DropEffectFromShiftState(KeysToShiftState(keys), allowed & DragTypesToDropEffect(DragTypes), true);
}

bool TDropFileTarget::Readable(IDataObject* data) {
  // The file names are read whole: a drag whose only list is malformed is
  // refused as it enters.
  std::vector<std::string> files;
  if (DoAcceptFormat(fileFormat_) && ReadFiles(data, files)) return true;
  if (!VirtualFileFolder.empty()) {
    TFileContentsStreamClipboardFormat contents;
    TFileGroupDescritorWClipboardFormat wide;
    TFileGroupDescritorClipboardFormat ansi;
    if (contents.HasValidFormats(data) && (wide.HasValidFormats(data) || ansi.HasValidFormats(data))) return true;
  }
  for (int i = 0; i < DataFormats.Count(); ++i)
    if (TCustomDataFormat* format = DataFormats.Formats(i);
        format != fileFormat_ && format->HasValidFormats(data) && DoAcceptFormat(format))
      return true;
  return false;
}

bool TDropFileTarget::ReadVirtualFiles(IDataObject* data, std::vector<std::string>& files) const {
  if (VirtualFileFolder.empty()) return false;
  TFileContentsStreamClipboardFormat contents;
  return contents.GetData(data) && SaveStreamsToFolder(contents.Streams, VirtualFileFolder, files);
}

bool TDropFileTarget::ReadDataFormats(IDataObject* data) {
  ClearDataFormats();
  for (int i = 0; i < DataFormats.Count(); ++i) {
    TCustomDataFormat* format = DataFormats.Formats(i);
    if (format->HasValidFormats(data) && DoAcceptFormat(format)) format->GetData(data);
  }
  std::vector<std::string> files;
  if (!fileFormat_->HasData() && ReadVirtualFiles(data, files))
    for (const std::string& f : files) fileFormat_->FileNames.Add(f);
  return HasAnyData();
}

bool TDropFileTarget::DoAcceptFormat(TCustomDataFormat* format) {
  bool accept = true;
  if (OnAcceptFormat) OnAcceptFormat(this, format, accept);
  return accept;
}

bool TDropFileTarget::HasAnyData() {
  for (int i = 0; i < DataFormats.Count(); ++i)
    if (DataFormats.Formats(i)->HasData()) return true;
  return false;
}

void TDropFileTarget::ClearDataFormats() {
  for (int i = 0; i < DataFormats.Count(); ++i) DataFormats.Formats(i)->Clear();
}

void TDropFileTarget::DoDrop(TShiftState shift, POINTL point, DWORD& effect) {
  // A handler that fails refuses the drop: its exception ends here, not in
  // the window layer or the source's drag loop.
  try {
    if (OnDrop) OnDrop(this, shift, point, effect);
  } catch (...) {
    effect = DROPEFFECT_NONE;
  }
}

DWORD TDropFileTarget::Dropped(IDataObject* data, DWORD keys, POINTL point, DWORD allowed) {
  struct Empty {
    TDropFileTarget* target;
    ~Empty() { target->ClearDataFormats(); }
  } empty{this};
  if (!(GetDataOnEnter && HasAnyData()) && !ReadDataFormats(data)) return DROPEFFECT_NONE;
  const TShiftState shift = KeysToShiftState(keys);
  DWORD effect = GetValidDropEffect(shift, point, allowed);
  if (effect == DROPEFFECT_NONE) return effect;
  DoDrop(shift * TShiftState{ssShift, ssCtrl, ssAlt}, point, effect);
  if (OptimizedMove && effect == DROPEFFECT_MOVE) effect = DROPEFFECT_COPY;
  if (effect != DROPEFFECT_NONE) {
    TPerformedDropEffectClipboardFormat performed;
    performed.Value = effect;
    STGMEDIUM medium;
    performed.SetData(data, performed.FormatEtc, medium);  // a source that does not take it is no failure
  }
  return effect;
}

DWORD TDropFileTarget::GetPreferredDropEffect(IDataObject* data) const {
  TPreferredDropEffectClipboardFormat preferred;
  const DWORD effect = preferred.GetData(data) ? preferred.Value : DROPEFFECT_NONE;
  return effect == DROPEFFECT_NONE ? DROPEFFECT_COPY : effect;
}

ComPtr<IDataObject> TDropFileTarget::ClipboardData() const {
  IDataObject* data = nullptr;
  const HRESULT hr = OleGetClipboard(&data);
  if (FAILED(hr) || !data) throw EOleSysError("The clipboard cannot be read (OLE error " + std::to_string(hr) + ")");
  return ComPtr<IDataObject>::Attach(data);
}

void TDropFileTarget::PasteFromClipboard() {
  ComPtr<IDataObject> data = ClipboardData();
  const DWORD preferred = GetPreferredDropEffect(data.Get());
  DWORD effect = ReadDataFormats(data.Get()) ? preferred : DROPEFFECT_NONE;
  DoDrop({}, POINTL{0, 0}, effect);
  if (effect == DROPEFFECT_NONE) return;
  TPasteSucceededClipboardFormat succeeded;
  succeeded.Value = effect;
  STGMEDIUM medium;
  succeeded.SetData(data.Get(), succeeded.FormatEtc, medium);  // ignored when the clipboard does not take it
}

bool TDropFileTarget::CanPasteFromClipboard() { return Readable(ClipboardData().Get()); }

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
  return CopyBlock(WriteDropFiles(ListOf(FileNames), Unicode), block, size);
}

int32_t TFileClipboardFormat::GetSize() { return static_cast<int32_t>(WriteDropFiles(ListOf(FileNames), Unicode).size()); }

bool TFileClipboardFormat::Assign(TCustomDataFormat* source) {
  auto* files = dynamic_cast<TFileDataFormat*>(source);
  if (!files) return TCustomSimpleClipboardFormat::Assign(source);
  FileNames.Assign(files->FileNames);
  return true;
}

bool TFileClipboardFormat::AssignTo(TCustomDataFormat* dest) {
  auto* files = dynamic_cast<TFileDataFormat*>(dest);
  if (!files) return TCustomSimpleClipboardFormat::AssignTo(dest);
  files->FileNames.Assign(FileNames);
  return true;
}

// ---- single names -------------------------------------------------------------------------

namespace {

// The first name of a file data format; false when there is none.
bool FirstName(TCustomDataFormat* source, std::string& name) {
  auto* files = dynamic_cast<TFileDataFormat*>(source);
  if (!files || files->FileNames.Count() == 0) return false;
  name = files->FileNames.Strings(0);
  return true;
}

bool AppendName(TCustomDataFormat* dest, const std::string& name) {
  auto* files = dynamic_cast<TFileDataFormat*>(dest);
  if (!files || name.empty()) return false;
  files->FileNames.Add(name);
  return true;
}

CLIPFORMAT cfFileName, cfFileNameW, cfFileNameMap, cfFileNameMapW;

}  // namespace

DRAGDROP_CONCRETE_CLASS(TFilenameClipboardFormat, TCustomTextClipboardFormat)

CLIPFORMAT TFilenameClipboardFormat::GetClipboardFormat() { return RegisteredFormat(cfFileName, "FileName"); }

bool TFilenameClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  Data.clear();
  return ReadSingleName(block, size, false, Data);
}

bool TFilenameClipboardFormat::Assign(TCustomDataFormat* source) {
  if (!dynamic_cast<TFileDataFormat*>(source)) return TCustomTextClipboardFormat::Assign(source);
  return FirstName(source, Data);
}

bool TFilenameClipboardFormat::AssignTo(TCustomDataFormat* dest) {
  if (!dynamic_cast<TFileDataFormat*>(dest)) return TCustomTextClipboardFormat::AssignTo(dest);
  return AppendName(dest, Data);
}

DRAGDROP_CONCRETE_CLASS(TFilenameWClipboardFormat, TCustomWideTextClipboardFormat)

CLIPFORMAT TFilenameWClipboardFormat::GetClipboardFormat() { return RegisteredFormat(cfFileNameW, "FileNameW"); }

bool TFilenameWClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  Text.clear();
  std::string name;
  if (!ReadSingleName(block, size, true, name)) return false;
  SetTextUtf8(name);
  return true;
}

bool TFilenameWClipboardFormat::Assign(TCustomDataFormat* source) {
  if (!dynamic_cast<TFileDataFormat*>(source)) return TCustomWideTextClipboardFormat::Assign(source);
  std::string name;
  if (!FirstName(source, name)) return false;
  SetTextUtf8(name);
  return true;
}

bool TFilenameWClipboardFormat::AssignTo(TCustomDataFormat* dest) {
  if (!dynamic_cast<TFileDataFormat*>(dest)) return TCustomWideTextClipboardFormat::AssignTo(dest);
  std::string name;
  return TextUtf8(name) && AppendName(dest, name);
}

// ---- name maps ------------------------------------------------------------------------------

DRAGDROP_ABSTRACT_CLASS(TCustomFilenameMapClipboardFormat, TCustomSimpleClipboardFormat)

bool TCustomFilenameMapClipboardFormat::ReadData(const uint8_t* block, size_t size) {
  std::vector<std::string> names;
  if (!ReadFilesFromZeroList(block, size, wide_, names)) return false;
  for (const std::string& name : names) MappedNames.Add(name);
  return true;
}

bool TCustomFilenameMapClipboardFormat::WriteData(uint8_t* block, size_t size) {
  return CopyBlock(WriteFilesToZeroList(ListOf(MappedNames), wide_), block, size);
}

int32_t TCustomFilenameMapClipboardFormat::GetSize() {
  return static_cast<int32_t>(WriteFilesToZeroList(ListOf(MappedNames), wide_).size());
}

DRAGDROP_CONCRETE_CLASS(TFilenameMapClipboardFormat, TCustomFilenameMapClipboardFormat)
CLIPFORMAT TFilenameMapClipboardFormat::GetClipboardFormat() { return RegisteredFormat(cfFileNameMap, "FileNameMap"); }

DRAGDROP_CONCRETE_CLASS(TFilenameMapWClipboardFormat, TCustomFilenameMapClipboardFormat)
CLIPFORMAT TFilenameMapWClipboardFormat::GetClipboardFormat() {
  return RegisteredFormat(cfFileNameMapW, "FileNameMapW");
}

// ---- data formats ---------------------------------------------------------------------------

DRAGDROP_ABSTRACT_CLASS(TFileDataFormat, TCustomDataFormat)

TFileDataFormat::TFileDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {
  FileNames.OnChanging = [this](TObject* sender) { DoOnChanging(sender); };
}

void TFileDataFormat::Clear() { FileNames.Clear(); }

bool TFileDataFormat::Assign(TClipboardFormat* source) {
  if (auto* files = dynamic_cast<TFileClipboardFormat*>(source)) {
    FileNames.Assign(files->FileNames);
    return true;
  }
  if (auto* lists = dynamic_cast<TPIDLClipboardFormat*>(source)) {
    FileNames.Assign(lists->IDListFileNames);
    return true;
  }
  return TCustomDataFormat::Assign(source);
}

bool TFileDataFormat::AssignTo(TClipboardFormat* dest) {
  if (auto* files = dynamic_cast<TFileClipboardFormat*>(dest)) {
    files->FileNames.Assign(FileNames);
    return true;
  }
  if (auto* lists = dynamic_cast<TPIDLClipboardFormat*>(dest)) {
    lists->IDListFileNames.Assign(FileNames);
    return lists->HasData();
  }
  return TCustomDataFormat::AssignTo(dest);
}

DRAGDROP_ABSTRACT_CLASS(TFileMapDataFormat, TCustomDataFormat)

TFileMapDataFormat::TFileMapDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {
  MappedNames.OnChanging = [this](TObject* sender) { DoOnChanging(sender); };
}

void TFileMapDataFormat::Clear() { MappedNames.Clear(); }

bool TFileMapDataFormat::Assign(TClipboardFormat* source) {
  auto* map = dynamic_cast<TCustomFilenameMapClipboardFormat*>(source);
  if (!map) return TCustomDataFormat::Assign(source);
  MappedNames.Assign(map->MappedNames);
  return true;
}

bool TFileMapDataFormat::AssignTo(TClipboardFormat* dest) {
  auto* map = dynamic_cast<TCustomFilenameMapClipboardFormat*>(dest);
  if (!map) return TCustomDataFormat::AssignTo(dest);
  map->MappedNames.Assign(MappedNames);
  return true;
}

// ---- registration -----------------------------------------------------------------------------

namespace {
const struct FileUnit {
  FileUnit() {
    const TFormatClass& files = TFileDataFormat::StaticClass();
    const TFormatClass& maps = TFileMapDataFormat::StaticClass();
    RegisterDataFormat(files);
    RegisterDataFormat(maps);
    RegisterDataConversion(files, TFileClipboardFormat::StaticClass(), 0);
    RegisterDataConversion(files, TPIDLClipboardFormat::StaticClass(), 1);
    RegisterDataConversion(files, TFilenameClipboardFormat::StaticClass(), 2);
    RegisterDataConversion(files, TFilenameWClipboardFormat::StaticClass(), 2);
    RegisterDataConversion(maps, TFilenameMapClipboardFormat::StaticClass(), 0);
    RegisterDataConversion(maps, TFilenameMapWClipboardFormat::StaticClass(), 0);
  }
  ~FileUnit() {
    UnregisterDataFormat(TFileDataFormat::StaticClass());
    UnregisterDataFormat(TFileMapDataFormat::StaticClass());
    for (const TFormatClass* c :
         {&TFileClipboardFormat::StaticClass(), &TFilenameClipboardFormat::StaticClass(),
          &TFilenameWClipboardFormat::StaticClass(), &TFilenameMapClipboardFormat::StaticClass(),
          &TFilenameMapWClipboardFormat::StaticClass()})
      UnregisterClipboardFormat(*c);
  }
} fileUnit;
}  // namespace
