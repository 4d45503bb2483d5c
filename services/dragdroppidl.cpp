// Shell ID lists; see dragdroppidl.h.
#include "services/dragdropbytes.h"
#include "services/dragdroppidl.h"

#include <climits>
#include <cstring>

#include "services/dragdropfile.h"

DRAGDROP_CONCRETE_CLASS(TPIDLClipboardFormat, TCustomSimpleClipboardFormat)
DRAGDROP_ABSTRACT_CLASS(TPIDLDataFormat, TCustomDataFormat)

namespace {


// The items of a well-formed list (GetIDListSize said yes), without terminator.
std::vector<std::string> Items(const std::string& list) {
  std::vector<std::string> items;
  const auto* bytes = reinterpret_cast<const uint8_t*>(list.data());
  for (size_t at = 0; at + 2 <= list.size();) {
    const uint16_t cb = DropU16(bytes + at);
    if (cb == 0) break;
    items.push_back(list.substr(at, cb));
    at += cb;
  }
  return items;
}

bool PlainComponent(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

// The folder part of a path: up to and including its last delimiter.
std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

// ---- ID lists -----------------------------------------------------------------------------

size_t GetIDListSize(const uint8_t* list, size_t limit) {
  if (!list) return 0;
  size_t at = 0;
  for (size_t items = 0; at + 2 <= limit; ++items) {
    const uint16_t cb = DropU16(list + at);
    if (cb == 0) return at + 2;
    if (cb < 2 || items == kMaxIDListItems || cb > limit - at) return 0;
    at += cb;
  }
  return 0;
}

std::string IDListToString(const uint8_t* list, size_t limit) {
  const size_t size = GetIDListSize(list, limit);
  return size ? std::string(reinterpret_cast<const char*>(list), size) : std::string();
}

std::string JoinIDLists(const std::string& parent, const std::string& child) {
  return (parent.size() > 2 ? parent.substr(0, parent.size() - 2) : std::string()) + child;
}

// ---- paths -------------------------------------------------------------------------------

std::string PathToIDList(const std::string& path) {
  if (path.empty() || path[0] != '/' || path.size() > PATH_MAX) return "";
  std::string list;
  size_t at = 1;
  while (at < path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    const bool trailing = part.empty() && end == path.size();
    if (!trailing) {
      if (!PlainComponent(part) || part.size() + 3 > 0xFFFF) return "";
      const size_t cb = part.size() + 3;
      list += static_cast<char>(cb & 0xFF);
      list += static_cast<char>(cb >> 8);
      list += static_cast<char>(kFileSystemItem);
      list += part;
    }
    at = end + 1;
  }
  list.append(2, '\0');
  return list;
}

bool GetPathFromIDList(const std::string& list, std::string& path) {
  if (GetIDListSize(reinterpret_cast<const uint8_t*>(list.data()), list.size()) != list.size()) return false;
  std::string joined;
  for (const std::string& item : Items(list)) {
    if (item.size() < 3 || static_cast<uint8_t>(item[2]) != kFileSystemItem) return false;
    const std::string name = item.substr(3);
    if (!PlainComponent(name)) return false;
    joined += "/" + name;
  }
  if (joined.size() > PATH_MAX) return false;
  path = joined.empty() ? "/" : joined;
  return true;
}

// ---- the array block ----------------------------------------------------------------------

bool ReadIDListsFromCIDA(const uint8_t* block, size_t size, std::vector<std::string>& list) {
  list.clear();
  if (!block || size < 8 || size > kMaxDropBlockBytes) return false;
  const uint32_t children = DropU32(block);
  if (children > kMaxDropNames) return false;
  const size_t header = 8 + size_t{4} * children;
  if (header > size) return false;
  std::vector<std::string> read;
  for (uint32_t i = 0; i <= children; ++i) {
    const size_t offset = DropU32(block + 4 + size_t{4} * i);
    if (offset < header || offset >= size) return false;
    std::string one = IDListToString(block + offset, size - offset);
    if (one.empty()) return false;
    read.push_back(std::move(one));
  }
  list = std::move(read);
  return list.size() > 1;
}

std::vector<uint8_t> WriteIDListsToCIDA(const std::vector<std::string>& list) {
  if (list.empty()) return {};
  size_t offset = 4 * (list.size() + 1);
  std::vector<uint8_t> block(offset);
  PutDropU32(block.data(), static_cast<uint32_t>(list.size() - 1));
  for (size_t i = 0; i < list.size(); ++i) {
    PutDropU32(block.data() + 4 + 4 * i, static_cast<uint32_t>(offset));
    block.insert(block.end(), list[i].begin(), list[i].end());
    offset += list[i].size();
  }
  return block;
}

void GetCommonParentIDList(const TStrings& fileNames, std::string& parent) {
  parent.clear();
  for (int32_t i = 0; i < fileNames.Count(); ++i) {
    const std::string folder = PathToIDList(FolderOf(fileNames.Strings(i)));
    if (folder.empty()) throw EDataFormatError("Invalid filename: " + fileNames.Strings(i));
    if (i == 0) {
      parent = folder;
      continue;
    }
    // Keep the leading items both lists share.
    const std::vector<std::string> mine = Items(parent), theirs = Items(folder);
    size_t common = 0, bytes = 0;
    while (common < mine.size() && common < theirs.size() && mine[common] == theirs[common])
      bytes += mine[common++].size();
    parent = parent.substr(0, bytes) + std::string(2, '\0');
  }
}

bool FileNamesToIDLists(const TStrings& fileNames, std::vector<std::string>& list) {
  list.clear();
  if (fileNames.Count() == 0) return false;
  std::string parent;
  try {
    GetCommonParentIDList(fileNames, parent);
  } catch (const EDataFormatError&) {
    return false;
  }
  if (parent.empty()) return false;
  list.push_back(parent);
  const size_t lead = parent.size() - 2;
  for (int32_t i = 0; i < fileNames.Count(); ++i) {
    const std::string absolute = PathToIDList(fileNames.Strings(i));
    if (absolute.size() < lead + 2 || absolute.compare(0, lead, parent, 0, lead) != 0) {
      list.clear();
      return false;
    }
    list.push_back(absolute.substr(lead));
  }
  return true;
}

// ---- clipboard and data formats --------------------------------------------------------------

std::string TPIDLsToFilenamesStrings::Get(int32_t index) const {
  if (index < 0 || index >= GetCount()) throw EDataFormatError("Filename index out of range");
  std::string path;
  return GetPathFromIDList(JoinIDLists(lists_[0], lists_[static_cast<size_t>(index) + 1]), path) ? path : "";
}

int32_t TPIDLsToFilenamesStrings::GetCount() const {
  return lists_.size() < 2 ? 0 : static_cast<int32_t>(lists_.size() - 1);
}

void TPIDLsToFilenamesStrings::Assign(const TStrings& source) {
  BeginUpdate();
  FileNamesToIDLists(source, lists_);
  EndUpdate();
}

CLIPFORMAT PIDLFormat() {
  static CLIPFORMAT format;
  return RegisteredFormat(format, "Shell IDList Array");
}

bool TPIDLClipboardFormat::WriteData(uint8_t* block, size_t size) {
  if (IDLists.empty()) throw EDataFormatError("Shell ID list array without a parent folder");
  const std::vector<uint8_t> written = WriteIDListsToCIDA(IDLists);
  if (size < written.size()) return false;
  std::memcpy(block, written.data(), written.size());
  return true;
}

int32_t TPIDLClipboardFormat::GetSize() {
  size_t size = 4 * IDLists.size() + 4;
  for (const std::string& list : IDLists) size += list.size();
  return static_cast<int32_t>(size);
}

void TPIDLDataFormat::Clear() {
  Changing();
  IDLists.clear();
}

bool TPIDLDataFormat::Assign(TClipboardFormat* source) {
  if (auto* pidl = dynamic_cast<TPIDLClipboardFormat*>(source)) {
    Changing();
    IDLists = pidl->IDLists;
    return true;
  }
  if (auto* files = dynamic_cast<TFileClipboardFormat*>(source)) {
    Changing();
    return FileNamesToIDLists(files->FileNames, IDLists);
  }
  return TCustomDataFormat::Assign(source);
}

bool TPIDLDataFormat::AssignTo(TClipboardFormat* dest) {
  if (auto* pidl = dynamic_cast<TPIDLClipboardFormat*>(dest)) {
    pidl->IDLists = IDLists;
    return true;
  }
  if (auto* files = dynamic_cast<TFileClipboardFormat*>(dest)) {
    files->FileNames.Assign(IDListFileNames);
    return true;
  }
  return TCustomDataFormat::AssignTo(dest);
}

namespace {
const struct PIDLUnit {
  PIDLUnit() {
    RegisterDataFormat(TPIDLDataFormat::StaticClass());
    RegisterDataConversion(TPIDLDataFormat::StaticClass(), TPIDLClipboardFormat::StaticClass(), 0);
    RegisterDataConversion(TPIDLDataFormat::StaticClass(), TFileClipboardFormat::StaticClass(), 1);
  }
  ~PIDLUnit() { UnregisterDataFormat(TPIDLDataFormat::StaticClass()); }
} pidlUnit;
}  // namespace
