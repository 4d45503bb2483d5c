// Sections: special folders | opening | file information
// (file operations are in shell_files.cpp)
#include "platform/win/shell.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/win/kernel.h"
#include "platform/win/kernel_files.h"
#include "platform/win/process.h"

namespace fs = std::filesystem;

// ---- special folders --------------------------------------------------------

namespace {
std::string Home() {
  const char* home = std::getenv("HOME");
  return home && *home ? home : "/";
}

std::string ConfigHome() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  return config && config[0] == '/' ? config : Home() + "/.config";
}

// The value of `key` in user-dirs.dirs (XDG_PICTURES_DIR="$HOME/Pictures"),
// empty when it is not there.
std::string UserDirFromFile(const std::string& key) {
  std::ifstream in(ConfigHome() + "/user-dirs.dirs");
  std::string line;
  for (int count = 0; count < 1000 && std::getline(in, line); ++count) {
    if (line.size() > 4096 || line.compare(0, key.size() + 1, key + "=") != 0) continue;
    std::string value = line.substr(key.size() + 1);
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') continue;
    value = value.substr(1, value.size() - 2);
    if (value.compare(0, 5, "$HOME") == 0) value = Home() + value.substr(5);
    if (value.empty() || value[0] != '/') continue;
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value;
  }
  return {};
}

std::string UserDir(const std::string& key, const std::string& fallback) {
  const char* env = std::getenv(key.c_str());
  if (env && env[0] == '/') return env;
  std::string fromFile = UserDirFromFile(key);
  return fromFile.empty() ? fallback : fromFile;
}

struct SpecialFolder {
  int id;
  const char* userDirKey;  // null: not an XDG user folder
  const char* fallback;    // below the home folder
};
constexpr SpecialFolder specialFolders[] = {
    {CSIDL_DESKTOP, "XDG_DESKTOP_DIR", "/Desktop"},
    {CSIDL_PERSONAL, "XDG_DOCUMENTS_DIR", ""},
    {CSIDL_MYPICTURES, "XDG_PICTURES_DIR", "/Pictures"},
    {CSIDL_APPDATA, nullptr, nullptr},
};
}  // namespace

HRESULT SHGetFolderPathA(HWND, int folder, HANDLE, DWORD, std::string& path) {
  path.clear();
  int id = folder & ~CSIDL_FLAG_CREATE;
  auto it = std::find_if(std::begin(specialFolders), std::end(specialFolders),
                         [id](const SpecialFolder& f) { return f.id == id; });
  if (it == std::end(specialFolders)) return E_INVALIDARG;
  path = it->userDirKey ? UserDir(it->userDirKey, Home() + it->fallback) : ConfigHome();
  if (folder & CSIDL_FLAG_CREATE) {
    std::error_code ec;
    fs::create_directories(path, ec);
  }
  return S_OK;
}

// ---- opening ----------------------------------------------------------------

namespace {
std::string Unquoted(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

bool IsAddress(const std::string& s) {
  return s.find("://") != std::string::npos || s.compare(0, 7, "mailto:") == 0;
}

bool IsProgramFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A name without folder that PATH finds as a program.
bool IsProgramOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (IsProgramFile((dir.empty() ? "." : dir) + "/" + name)) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

bool IsOpenVerb(const char* verb) {
  if (!verb || !*verb) return true;
  std::string v = verb;
  std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return std::tolower(c); });
  return v == "open";
}

// The shared work of ShellExecuteA and ShellExecuteExA: an SE_ERR_ code, or 33.
INT_PTR Execute(const char* verb, const char* fileName, const char* parameters, const char* directory) {
  if (!IsOpenVerb(verb)) return SE_ERR_NOASSOC;
  std::string file = Unquoted(fileName ? fileName : "");
  if (file.empty()) return SE_ERR_FNF;
  SpawnOptions options;
  if (directory) options.currentDirectory = directory;
  bool hasFolder = file.find('/') != std::string::npos;
  if (!IsAddress(file) && (hasFolder ? IsProgramFile(file) : IsProgramOnPath(file))) {
    auto argv = SplitCommandLine(std::string("x ") + (parameters ? parameters : ""));
    argv[0] = file;
    if (SpawnDetached(argv, options)) return 33;
    // An executable document (as on file systems that mark every file so) is opened instead.
  }
  if (!IsAddress(file) && ::access(file.c_str(), F_OK) != 0) return SE_ERR_FNF;
  return SpawnDetached({"xdg-open", file}, options) ? 33 : SE_ERR_FNF;
}
}  // namespace

HINSTANCE ShellExecuteA(HWND, const char* verb, const char* file, const char* parameters, const char* directory,
                        int) {
  return reinterpret_cast<HINSTANCE>(Execute(verb, file, parameters, directory));
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  INT_PTR outcome = Execute(info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory);
  info->hInstApp = reinterpret_cast<HINSTANCE>(outcome);
  if (outcome > 32) return TRUE;
  SetLastError(outcome == SE_ERR_NOASSOC ? ERROR_NO_ASSOCIATION : static_cast<DWORD>(outcome));
  return FALSE;
}

// ---- file information -------------------------------------------------------

namespace {
struct DriveTypeName {
  UINT type;
  const char* name;
};
constexpr DriveTypeName driveTypeNames[] = {
    {DRIVE_REMOVABLE, "Removable Disk"}, {DRIVE_FIXED, "Local Disk"}, {DRIVE_REMOTE, "Network Drive"},
    {DRIVE_CDROM, "CD Drive"},           {DRIVE_RAMDISK, "RAM Disk"},
};

std::string TypeName(const std::string& path, bool isFolder, bool isMountPoint) {
  if (isMountPoint) {
    UINT type = GetDriveTypeA(path);
    for (const auto& d : driveTypeNames) {
      if (d.type == type) return d.name;
    }
    return "Local Disk";
  }
  if (isFolder) return "File folder";
  std::string ext = fs::path(path).extension().string();
  if (ext.size() < 2) return "File";
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::toupper(c); });
  return ext.substr(1) + " File";
}
}  // namespace

DWORD_PTR SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA* info, UINT flags) {
  if (!info || path.empty()) return 0;
  *info = {};
  DWORD attributes = fileAttributes;
  bool isMountPoint = false;
  if (!(flags & SHGFI_USEFILEATTRIBUTES)) {
    attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    std::error_code ec;
    isMountPoint = MountPointOf(path) == fs::canonical(path, ec).string();
  }
  bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (flags & SHGFI_ATTRIBUTES) info->dwAttributes = attributes;
  if (flags & SHGFI_DISPLAYNAME) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    std::string name = fs::path(trimmed).filename().string();
    info->szDisplayName = name.empty() ? trimmed : name;
  }
  if (flags & SHGFI_TYPENAME) info->szTypeName = TypeName(path, isFolder, isMountPoint);
  return 1;
}
