// The blocks a drop brings from another program: the desktop's file list,
// zero lists, single names, shell ID lists, file descriptors, text, 32-bit
// values, class ids, file contents and name maps. The first byte picks the reader, the
// rest is the block. Names read back from a list must survive a write and
// read unchanged, a descriptor's name must stay below the drop folder, an
// ID list array must survive a write and read, and its paths be absolute;
// name maps survive a write and read, and the file target's data formats
// read the block offered as any mix of their formats.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/ole_dataobject.h"
#include "services/dragdropfile.h"
#include "services/dragdropformats.h"
#include "services/dragdroppidl.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void RoundTrip(const std::vector<std::string>& names, bool wide) {
  const std::vector<uint8_t> block = WriteFilesToZeroList(names, wide);
  std::vector<std::string> again;
  Check(ReadFilesFromZeroList(block.data(), block.size(), wide, again));
  Check(again == names);
}

void CheckSafe(const std::string& name) {
  Check(!name.empty() && name[0] != '/' && name.find('\\') == std::string::npos);
  Check(SafeDropName(name) == name);  // a safe name stays as it is
  size_t at = 0;
  for (;;) {
    const size_t end = name.find('/', at);
    const std::string part = name.substr(at, end - at);
    Check(!part.empty() && part != "." && part != "..");
    if (end == std::string::npos) break;
    at = end + 1;
  }
}

void CheckPath(const std::string& path) {
  Check(!path.empty() && path[0] == '/');
  Check(path == "/" || (path.back() != '/' && path.find("//") == std::string::npos));
  Check(path.find("/../") == std::string::npos && path.find("/./") == std::string::npos);
}

void IDListArray(const uint8_t* block, size_t length) {
  TPIDLClipboardFormat format;
  if (!format.ReadData(block, length)) return;
  Check(format.IDLists.size() >= 2 && format.IDLists.size() <= kMaxDropNames + 1);
  const std::vector<uint8_t> again = WriteIDListsToCIDA(format.IDLists);
  std::vector<std::string> lists;
  Check(ReadIDListsFromCIDA(again.data(), again.size(), lists) && lists == format.IDLists);
  for (int32_t i = 0; i < format.IDListFileNames.Count(); ++i) {
    const std::string path = format.IDListFileNames.Strings(i);
    if (!path.empty()) CheckPath(path);
  }
}

void Descriptors(const uint8_t* block, size_t length, bool wide) {
  std::unique_ptr<TCustomFileGroupDescriptorClipboardFormat> format;
  if (wide) format.reset(new TFileGroupDescritorWClipboardFormat);
  else format.reset(new TFileGroupDescritorClipboardFormat);
  if (!format->ReadData(block, length)) return;
  Check(format->Count() <= kMaxDropNames);
  std::vector<uint8_t> again(static_cast<size_t>(format->GetSize()));
  Check(format->WriteData(again.data(), again.size()));
  for (uint32_t i = 0; i < format->Count(); ++i) {
    const std::string safe = SafeDropName(format->FileName(i));
    if (!safe.empty()) CheckSafe(safe);
  }
}

void Values(const uint8_t* block, size_t length) {
  TTextClipboardFormat text;
  text.ReadData(block, length);
  Check(text.Data.find('\0') == std::string::npos);
  TCustomWideTextClipboardFormat wide;
  wide.ReadData(block, length);
  Check(wide.Text.size() == length / 2);
  std::string utf8;
  wide.TextUtf8(utf8);
  TPreferredDropEffectClipboardFormat effect;
  Check(effect.ReadData(block, length) == (length >= 4));
  TTargetCLSIDClipboardFormat clsid;
  Check(clsid.ReadData(block, length) == (length == 16));
}

// The contents of a data object that offers the block as "FileContents"
// and, when the selector says so, as descriptors too.
void Contents(const uint8_t* block, size_t length, bool described) {
  std::vector<StoredFormat> formats = {{FileContentsFormat(), std::string(reinterpret_cast<const char*>(block), length)}};
  if (described)
    formats.push_back({static_cast<CLIPFORMAT>(TFileGroupDescritorWClipboardFormat().ClipboardFormat()),
                       std::string(reinterpret_cast<const char*>(block), length)});
  ComPtr<IDataObject> data = CreateStoredDataObject(std::move(formats));
  TFileContentsStreamClipboardFormat contents;
  if (contents.GetData(data.Get()))
    for (int i = 0; i < contents.Streams.Count(); ++i) Check(contents.Streams.Streams(i)->Size() <= int64_t(length));
}

void Path(const uint8_t* block, size_t length) {
  const std::string path(reinterpret_cast<const char*>(block), length);
  const std::string list = PathToIDList(path);
  if (list.empty()) return;
  std::string back;
  Check(GetPathFromIDList(list, back));
  CheckPath(back);
  Check(back == path || back + "/" == path);
}

// A name map read through its format is written and read back the same.
void NameMap(const uint8_t* block, size_t length, bool wide) {
  std::unique_ptr<TCustomFilenameMapClipboardFormat> format;
  if (wide) format.reset(new TFilenameMapWClipboardFormat);
  else format.reset(new TFilenameMapClipboardFormat);
  if (!format->ReadData(block, length)) return;
  Check(format->HasData() && format->MappedNames.Count() <= int32_t(kMaxDropNames));
  std::vector<uint8_t> again(static_cast<size_t>(format->GetSize()));
  Check(format->WriteData(again.data(), again.size()));
  TFileMapDataFormat maps(nullptr);
  Check(maps.Assign(format.get()));
  format->Clear();
  Check(format->ReadData(again.data(), again.size()));
  Check(format->MappedNames.Text() == maps.MappedNames.Text());
}

// The block offered as every format the file target reads: the names and
// the name map come out through the data formats, each name non-empty
// unless it came from a shell item, and a name read writes back whole.
void Formats(const uint8_t* block, size_t length, uint8_t pick) {
  const std::string bytes(reinterpret_cast<const char*>(block), length);
  TFileDataFormat files(nullptr);
  TFileMapDataFormat maps(nullptr);
  std::vector<StoredFormat> offered;
  for (TCustomDataFormat* format : {static_cast<TCustomDataFormat*>(&files), static_cast<TCustomDataFormat*>(&maps)})
    for (int i = 0; i < format->CompatibleFormats.Count(); ++i)
      if (pick & (1u << offered.size())) offered.push_back({format->CompatibleFormats.Formats(i)->ClipboardFormat(), bytes});
  ComPtr<IDataObject> data = CreateStoredDataObject(std::move(offered));
  if (files.GetData(data.Get())) {
    Check(files.FileNames.Count() <= int32_t(kMaxDropNames));
    TFilenameWClipboardFormat single;
    if (!files.FileNames.Strings(0).empty()) Check(single.Assign(&files));
  }
  if (maps.GetData(data.Get())) Check(maps.MappedNames.Count() <= int32_t(kMaxDropNames) * 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t kind = data[0] % 20;
  const uint8_t* block = data + 1;
  const size_t length = size - 1;
  std::vector<std::string> names;
  std::string name;
  switch (kind) {
    case 0:
    case 1:
      if (ReadFilesFromZeroList(block, length, kind == 1, names)) RoundTrip(names, kind == 1);
      break;
    case 2:
      if (ReadFilesFromDropFiles(block, length, names)) Check(!names.empty());
      break;
    case 3:
    case 4:
      if (ReadSingleName(block, length, kind == 4, name)) Check(!name.empty());
      break;
    case 5:
      if (ReadIDListArray(block, length, names)) Check(!names.empty() && names.size() <= kMaxDropNames);
      break;
    case 6:
      if (ReadFileDescriptors(block, length, names))
        for (const std::string& n : names) CheckSafe(n);
      break;
    case 7:
    case 8:
      ReadDroppedText(block, length, kind == 8, name);
      break;
    case 9:
      IDListArray(block, length);
      break;
    case 10:
    case 11:
      Descriptors(block, length, kind == 11);
      break;
    case 12:
      Values(block, length);
      break;
    case 13:
    case 14:
      Contents(block, length, kind == 14);
      break;
    case 15:
      Path(block, length);
      break;
    case 16:
    case 17:
      NameMap(block, length, kind == 17);
      break;
    case 18:
    case 19:
      if (length > 0) Formats(block + 1, length - 1, block[0]);
      break;
  }
  // Any bytes as a descriptor's name: what comes out is empty or safe.
  const std::string safe = SafeDropName(std::string(reinterpret_cast<const char*>(block), length));
  if (!safe.empty()) CheckSafe(safe);
  return 0;
}
