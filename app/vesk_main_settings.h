// The main window's settings file: the user's folders, profile text, list
// selections, language and the two tweak values, remembered between runs in
// $XDG_CONFIG_HOME/vesk/vesk.ini (sections "Directories" and "Settings").
#pragma once

#include <cstdint>
#include <string>

struct TVeskSettings {
  std::string TargetFolder;     // Directories/TARGET: folder of the photo dialog
  std::string ReferenceFolder;  // Directories/REFERENCE: folder of the reference dialog
  std::string Camera = "Camera";
  std::string Model = "Model";
  std::string Description = "VeSk";
  std::string Copyright = "Copyright_free";
  int32_t Type = 0;       // typeList
  int32_t Algorithm = 2;  // algList
  int32_t Intent = 0;     // intent_list
  int32_t Quality = 2;    // qualList
  std::string Language;   // a language code, or empty
  double WhitePoint = 1.0;
  double DarkAreas = 1.0;
};

// appDataFolder + "/vesk/vesk.ini"; empty when there is no application-data
// folder (the settings are then neither read nor written).
std::string SettingsFileName(const std::string& appDataFolder);

// The folder defaults: the user's pictures and documents folders.
TVeskSettings DefaultSettings();

// Reads the file over the defaults. A missing file or key keeps the default;
// integers may be hexadecimal ("0x"); decimals are read with "." or ","; a
// LANGUAGE that is not a language code (2 or 3 letters) is taken as empty.
TVeskSettings ReadSettings(const std::string& fileName, const TVeskSettings& defaults);

// Writes every key (log_check and keys this program does not know stay as
// they are); decimals with ".". Raises EIniFileException "Unable to write to
// <file>" when the file cannot be written; no key is lost from the old file.
void WriteSettings(const std::string& fileName, const TVeskSettings& settings);

// True for a language code as the settings take it: 2 or 3 ASCII letters.
bool IsLanguageCode(const std::string& text);
