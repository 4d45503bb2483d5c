#include "ui/controls/settingsstore.h"

#include <algorithm>

#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/win/registry.h"
#include "platform/win/shell.h"

std::string UserSettingsFolder() {
  std::string folder;
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  return IncludeTrailingPathDelimiter(folder);
}

namespace {
// Whether a relative name has a ".." step, which would lead out of the folder.
bool ClimbsOut(const std::string& name) {
  size_t start = 0;
  while (start <= name.size()) {
    const size_t end = std::min(name.find(PathDelim, start), name.size());
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return true;
    start = end + 1;
  }
  return false;
}
}  // namespace

std::string SettingsIniFileName(const std::string& key) {
  const std::string fallback = ChangeFileExt(ExtractFileName(ExecutableFileName()), ".INI");
  std::string name = key.empty() ? fallback : key;
  if (name[0] == PathDelim) return name;
  if (ClimbsOut(name)) {
    name = ExtractFileName(name);
    if (name.empty() || name == "..") name = fallback;
  }
  const std::string path = UserSettingsFolder() + name;
  ForceDirectories(ExtractFilePath(path));
  return path;
}

std::unique_ptr<TCustomIniFile> OpenSettingsStore(bool registry, const std::string& key) {
  if (registry) return std::make_unique<TRegistryIniFile>(key);
  return std::make_unique<TIniFile>(SettingsIniFileName(key));
}
