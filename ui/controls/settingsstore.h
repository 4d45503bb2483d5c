// Where the edits keep their lists between runs: an INI file in the user's
// settings folder, or the registry under the current user.
#pragma once

#include <memory>
#include <string>

#include "platform/rtl/inifiles.h"

// The user's settings folder, with a trailing delimiter.
std::string UserSettingsFolder();

// The file an INI store named `key` lives in: a relative name (and the
// default, the program's name with ".INI", for an empty one) is placed in
// the user's settings folder, never beside the program; a name that would
// climb out of the folder with ".." keeps only its file name there.
std::string SettingsIniFileName(const std::string& key);

// Opens the store: the INI file (SettingsIniFileName) or the registry key.
std::unique_ptr<TCustomIniFile> OpenSettingsStore(bool registry, const std::string& key);
