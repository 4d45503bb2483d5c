// The settings file; see vesk_main_settings.h.
#include "app/vesk_main_settings.h"

#include <algorithm>

#include "platform/rtl/files.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/shell.h"

namespace {

const char kDirectories[] = "Directories";
const char kSettings[] = "Settings";

std::string ShellFolder(int folder) {
  std::string path;
  return SHGetFolderPathA(nullptr, folder, nullptr, 0, path) == 0 ? path : std::string();
}

// Decimal, or hexadecimal after "0x"; anything else gives the default.
int32_t ReadInt(TCustomIniFile& ini, const char* key, int32_t defaultValue) {
  const std::string text = Trim(ini.ReadString(kSettings, key, ""));
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return StrToIntDef("$" + text.substr(2), defaultValue);
  return StrToIntDef(text, defaultValue);
}

// With "." or "," as the separator, whatever the locale that wrote it.
double ReadDecimal(TCustomIniFile& ini, const char* key, double defaultValue) {
  std::string text = Trim(ini.ReadString(kSettings, key, ""));
  std::replace(text.begin(), text.end(), ',', '.');
  double value = 0;
  return TryStrToFloat(text, value, InvariantFormatSettings()) ? value : defaultValue;
}

}  // namespace

std::string SettingsFileName(const std::string& appDataFolder) {
  if (appDataFolder.empty()) return {};
  return IncludeTrailingPathDelimiter(appDataFolder) + "vesk" + PathDelim + "vesk.ini";
}

TVeskSettings DefaultSettings() {
  TVeskSettings s;
  s.TargetFolder = ShellFolder(CSIDL_MYPICTURES);
  s.ReferenceFolder = ShellFolder(CSIDL_PERSONAL);
  return s;
}

bool IsLanguageCode(const std::string& text) {
  return (text.size() == 2 || text.size() == 3) &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

TVeskSettings ReadSettings(const std::string& fileName, const TVeskSettings& defaults) {
  TVeskSettings s = defaults;
  if (fileName.empty()) return s;
  TMemIniFile ini(fileName);
  s.TargetFolder = ini.ReadString(kDirectories, "TARGET", defaults.TargetFolder);
  s.ReferenceFolder = ini.ReadString(kDirectories, "REFERENCE", defaults.ReferenceFolder);
  s.Camera = ini.ReadString(kSettings, "CAMERA", defaults.Camera);
  s.Model = ini.ReadString(kSettings, "MODEL", defaults.Model);
  s.Description = ini.ReadString(kSettings, "DESCRIPTION", defaults.Description);
  s.Copyright = ini.ReadString(kSettings, "COPYRIGHT", defaults.Copyright);
  s.Type = ReadInt(ini, "TYPE", defaults.Type);
  s.Algorithm = ReadInt(ini, "ALGORITHM", defaults.Algorithm);
  s.Intent = ReadInt(ini, "INTENT", defaults.Intent);
  s.Quality = ReadInt(ini, "QUALITY", defaults.Quality);
  s.Language = Trim(ini.ReadString(kSettings, "LANGUAGE", defaults.Language));
  if (!IsLanguageCode(s.Language)) s.Language.clear();
  s.WhitePoint = ReadDecimal(ini, "WhitePoint", defaults.WhitePoint);
  s.DarkAreas = ReadDecimal(ini, "DarkAreas", defaults.DarkAreas);
  return s;
}

void WriteSettings(const std::string& fileName, const TVeskSettings& s) {
  if (fileName.empty()) return;
  ForceDirectories(ExtractFileDir(fileName));
  // One write of the whole file: keys of other programs and log_check stay,
  // and a failure leaves the old file as it was.
  TMemIniFile ini(fileName);
  ini.WriteString(kDirectories, "TARGET", s.TargetFolder);
  ini.WriteString(kDirectories, "REFERENCE", s.ReferenceFolder);
  ini.WriteString(kSettings, "CAMERA", s.Camera);
  ini.WriteString(kSettings, "MODEL", s.Model);
  ini.WriteString(kSettings, "DESCRIPTION", s.Description);
  ini.WriteString(kSettings, "COPYRIGHT", s.Copyright);
  ini.WriteString(kSettings, "TYPE", IntToStr(s.Type));
  ini.WriteString(kSettings, "ALGORITHM", IntToStr(s.Algorithm));
  ini.WriteString(kSettings, "INTENT", IntToStr(s.Intent));
  ini.WriteString(kSettings, "QUALITY", IntToStr(s.Quality));
  ini.WriteString(kSettings, "LANGUAGE", s.Language);
  ini.WriteString(kSettings, "WhitePoint", FloatToStr(s.WhitePoint, InvariantFormatSettings()));
  ini.WriteString(kSettings, "DarkAreas", FloatToStr(s.DarkAreas, InvariantFormatSettings()));
  ini.UpdateFile();
}
