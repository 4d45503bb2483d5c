#include "services/supfileutils.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/kernel_files.h"
#include "services/supshell.h"
#include "services/supstrings.h"

namespace fs = std::filesystem;

bool DeleteDirectoryTree(const std::string& directory, bool toRecycleBin) {
  if (toRecycleBin) return ShellDeleteFolder(nullptr, directory, {sdSilent, sdAllowUndo});
  return DeleteFolderRecursive(directory);
}

bool IsExistingDirectory(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsExistingFile(const std::string& fileName) {
  if (fileName.empty()) return false;
  DWORD attributes = GetFileAttributesA(fileName);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

uint32_t EntryAttributes(const std::string& path) {
  std::error_code ec;
  fs::file_status st = fs::symlink_status(path, ec);
  if (ec || !fs::exists(st)) return SUP_INVALID_FILE_ATTRIBUTES;
  uint32_t attributes = 0;
  switch (st.type()) {
    case fs::file_type::directory: attributes |= SUP_FILE_ATTRIBUTE_DIRECTORY; break;
    case fs::file_type::block:
    case fs::file_type::character:
    case fs::file_type::fifo:
    case fs::file_type::socket: attributes |= SUP_FILE_ATTRIBUTE_SYSTEM; break;
    default: attributes |= SUP_FILE_ATTRIBUTE_ARCHIVE; break;
  }
  if (st.type() != fs::file_type::symlink && (st.permissions() & fs::perms::owner_write) == fs::perms::none)
    attributes |= SUP_FILE_ATTRIBUTE_READONLY;
  if (ExtractFileName(WithoutTrailingBackslash(path)).starts_with('.')) attributes |= SUP_FILE_ATTRIBUTE_HIDDEN;
  return attributes;
}

namespace {

// Gives the owner the rights a deletion needs: write for a file, write and
// search for a folder (whose entries can only go while it is writable).
bool MakeDeletable(const std::string& path, bool folder) {
  std::error_code ec;
  fs::perms add = folder ? fs::perms::owner_all : fs::perms::owner_write;
  fs::permissions(path, add, fs::perm_options::add | fs::perm_options::nofollow, ec);
  return !ec;
}

bool DeleteOneFile(const std::string& fileName, uint32_t attributes, const TDeleteFileCallback& callback) {
  if (callback && !callback(fileName, attributes)) return false;
  // A link carries no permissions of its own; it is removed as it is.
  std::error_code ec;
  if (!fs::is_symlink(fs::symlink_status(fileName, ec)) && !MakeDeletable(fileName, false)) return false;
  return fs::remove(fileName, ec) && !ec;
}

}  // namespace

bool DeleteFolderRecursive(const std::string& folder, bool stopAtFirstError, const TDeleteFileCallback& callback) {
  if (folder.empty()) return false;
  const std::string base = WithoutTrailingBackslash(folder);
  if (EntryAttributes(base) == SUP_INVALID_FILE_ATTRIBUTES ||
      (EntryAttributes(base) & SUP_FILE_ATTRIBUTE_DIRECTORY) == 0)
    return false;  // missing, a file, or a link to a folder: never followed
  MakeDeletable(base, true);

  bool result = true;
  std::vector<std::string> names;
  ListFolderEntries(WithTrailingBackslash(base) + "*.*", SUP_ANY_ENTRY, names);
  for (const std::string& name : names) {
    const std::string fullName = WithTrailingBackslash(base) + name;
    uint32_t attributes = EntryAttributes(fullName);
    bool ok = attributes != SUP_INVALID_FILE_ATTRIBUTES && (attributes & SUP_FILE_ATTRIBUTE_DIRECTORY)
                  ? DeleteFolderRecursive(fullName, stopAtFirstError, callback)
                  : DeleteOneFile(fullName, attributes, callback);
    if (!ok) {
      result = false;
      if (stopAtFirstError) break;
    }
  }
  if (!result) return false;
  std::error_code ec;
  return fs::remove(base, ec) && !ec;
}

bool ListFolderEntries(const std::string& pathWithMasks, uint32_t attributeSet, std::vector<std::string>& names) {
  size_t lastDelim = pathWithMasks.rfind(PathDelim);
  std::string folder, maskText;
  if (lastDelim == std::string::npos) {
    folder = ".";
    maskText = pathWithMasks;
  } else {
    folder = lastDelim == 0 ? std::string(1, PathDelim) : pathWithMasks.substr(0, lastDelim);
    maskText = pathWithMasks.substr(lastDelim + 1);
  }
  std::vector<std::string> masks;
  SplitToStrings(maskText, ';', masks);

  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    std::string name = it->path().filename().string();
    uint32_t attributes = EntryAttributes(it->path().string());
    if (attributes == SUP_INVALID_FILE_ATTRIBUTES) continue;
    if ((attributes & attributeSet) != (attributes & SUP_ANY_ENTRY)) continue;
    for (const std::string& mask : masks) {
      if (MatchesFileMask(name, mask, false)) {
        names.push_back(name);
        break;
      }
    }
  }
  return !ec;
}

bool MatchesFileMask(const std::string& fileName, const std::string& mask, bool caseSensitive) {
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  std::string name = fileName.find('.') == std::string::npos ? fileName + "." : fileName;
  if (caseSensitive) return MatchesWildcard(mask, name);
  return MatchesWildcard(UpperCaseCopy(mask), UpperCaseCopy(name));
}

std::string ModuleFileName(HMODULE module) { return GetModuleFileNameA(module); }

bool ReadFixedVersionInfo(const std::string& fileName, VS_FIXEDFILEINFO& info) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(fileName, &handle);
  if (size == 0) return false;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoA(fileName, handle, size, block.data())) return false;
  void* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(block.data(), "\\", &fixed, &length) || !fixed || length != sizeof(VS_FIXEDFILEINFO))
    return false;
  std::memcpy(&info, fixed, sizeof info);
  return true;
}

void ZeroMemoryBlock(void* address, uint32_t size) {
  if (address && size > 0) std::memset(address, 0, size);
}
