#include "ui/controls/settingsstore.h"

#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/win/registry.h"
#include "platform/win/shell.h"

std::string SettingsIniFileName(const std::string& key) {
  std::string name = key.empty() ? ChangeFileExt(ExtractFileName(ExecutableFileName()), ".INI") : key;
  if (!name.empty() && name[0] == PathDelim) return name;
  std::string folder;
  SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, 0, folder);
  folder = IncludeTrailingPathDelimiter(folder);
  const std::string path = folder + name;
  ForceDirectories(ExtractFilePath(path));
  return path;
}

std::unique_ptr<TCustomIniFile> OpenSettingsStore(bool registry, const std::string& key) {
  if (registry) return std::make_unique<TRegistryIniFile>(key);
  return std::make_unique<TIniFile>(SettingsIniFileName(key));
}
