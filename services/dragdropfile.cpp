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

TDropFileTarget::TDropFileTarget(TComponent* owner)
    : TCustomDropMultiTarget(owner),
      fileFormat_(new TFileDataFormat(this)),
      mapFormat_(new TFileMapDataFormat(this)) {
  OptimizedMove = true;
}

TStrings* TDropFileTarget::GetFiles() const { return &fileFormat_->FileNames; }

void TDropFileTarget::SetTarget(TWinControl* target) {
  TCustomDropMultiTarget::SetTarget(target);
  if (!WholeWindow || !target) return;
  TCustomForm* form = target->GetParentForm();
  if (!form || form == target) return;
  const bool multi = MultiTarget;
  MultiTarget = true;  // the form joins the target
  Register(form);
  MultiTarget = multi;
}

bool TDropFileTarget::ReadFiles(IDataObject* data, std::vector<std::string>& files) {
  TFileDataFormat names(nullptr);
  if (!names.GetData(data)) return false;
  const std::vector<std::string> read = ListOf(names.FileNames);
  files.insert(files.end(), read.begin(), read.end());
  return true;
}

bool TDropFileTarget::HasValidFormats(IDataObject* data) {
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

bool TDropFileTarget::DoGetData() {
  TCustomDropMultiTarget::DoGetData();
  std::vector<std::string> files;
  if (!fileFormat_->HasData() && ReadVirtualFiles(DataObject(), files))
    for (const std::string& f : files) fileFormat_->FileNames.Add(f);
  return HasData();
}

DWORD TDropFileTarget::GetPreferredDropEffect() {
  const DWORD effect = TCustomDropMultiTarget::GetPreferredDropEffect();
  return effect == DROPEFFECT_NONE ? DROPEFFECT_COPY : effect;
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
