// What the profile tests share: dialogs that log messages and answer from a
// script, a road laid in a test folder (photo, reference, program and work
// folders, with TMPDIR and XDG_DATA_HOME pointed inside it), and stand-ins
// for the colour toolkit's programs.
#pragma once

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "app/vesk_main.h"
#include "tests/services/test_folder.h"

struct LoggedMessage {
  std::string text, title;
  TProfileMessageKind kind;
  bool operator==(const LoggedMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const LoggedMessage& m) {
  return out << "{" << m.kind << ", \"" << m.title << "\", \"" << m.text << "\"}";
}

class ScriptedDialogs : public IProfileDialogs {
public:
  int32_t ShowProfileMessage(const std::string& text, const std::string& title, TProfileMessageKind kind) override {
    Messages.push_back({text, title, kind});
    return 1;
  }
  bool ExecuteSaveDialog(const TProfileSaveDialog& dialog, std::string& fileName) override {
    SaveDialogs.push_back(dialog);
    if (SaveAnswer.empty()) return false;
    fileName = SaveAnswer;
    return true;
  }

  std::vector<LoggedMessage> Messages;
  std::vector<TProfileSaveDialog> SaveDialogs;
  std::string SaveAnswer;  // "" cancels
};

// The start of a TIFF file, enough for the photo checks.
inline std::string TiffBytes() { return std::string("II*\0\x08\0\0\0", 8) + std::string(992, '\0'); }

struct ProfileRoad {
  explicit ProfileRoad(const std::string& programFolder = "") {
    std::filesystem::create_directories(t / "tmp");
    std::filesystem::create_directories(t / "color");
    folders.ProgramFolder = programFolder.empty() ? t / "program folder/" : programFolder;
    folders.WorkFolder = ProfileWorkFolder();
    folders.ColorFolder = t / "color";
    choices.ImageFileName = WriteBelow(t, "photos here/chart photo.tif", TiffBytes());
    choices.ReferenceFileName = WriteBelow(t, "refs/Color Checker.cie", "reference");
    choices.PhotoHeight = 240;
  }

  TempFolder t;
  ScopedEnv tmp{"TMPDIR", t / "tmp"};
  ScopedEnv data{"XDG_DATA_HOME", t / "data"};
  ScriptedDialogs dialogs;
  TProfileFolders folders;
  TProfileChoices choices;
};

// ---- stand-ins for the toolkit ----------------------------------------------------------

// Stand-ins for scanin and colprof: they record their arguments and the
// batch file that ran them, then write what the test asked for.
inline const char* const FakeScanin = R"(#!/bin/sh
here=$(dirname "$0")
printf '%s\n' "$@" > "$here/scanin.args"
eval photo=\"\${$(($# - 2))}\"
cp "$(dirname "$photo")/proc.bat" "$here/scanin.bat"
[ -e "$here/scanin.fail" ] || : > "${photo%.*}.ti3"
)";
inline const char* const FakeColprof = R"(#!/bin/sh
here=$(dirname "$0")
printf '%s\n' "$@" > "$here/colprof.args"
eval base=\"\${$#}\"
cp "$(dirname "$base")/proc.bat" "$here/colprof.bat"
for ext in icc icm; do
  if [ -e "$here/result.$ext" ]; then cp "$here/result.$ext" "$base.$ext"; fi
done
)";

// A complete profile header: size field, "acsp" at 36, no tags.
inline std::string ValidProfile(uint8_t marker = 0) {
  std::string bytes(132, '\0');
  bytes[3] = static_cast<char>(132);
  bytes.replace(36, 4, "acsp");
  bytes[100] = static_cast<char>(marker);
  return bytes;
}

// Lays the stand-ins in the program folder's "argyll/bin/" with a valid
// profile for colprof to hand out; answers that folder.
inline std::string LayFakeToolkit(const std::string& programFolder) {
  const std::string bin = programFolder + "argyll/bin/";
  std::filesystem::create_directories(bin);
  for (const auto& [name, script] : {std::pair{"scanin", FakeScanin}, std::pair{"colprof", FakeColprof}}) {
    std::ofstream(bin + name, std::ios::binary) << script;
    std::filesystem::permissions(bin + name, std::filesystem::perms::owner_all);
  }
  std::ofstream(bin + "result.icc", std::ios::binary) << ValidProfile();
  return bin;
}

// ---- the real toolkit -----------------------------------------------------------------

// An environment variable's value, or the fallback when it is unset or empty.
inline std::string EnvOr(const char* name, const std::string& fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}

// Runs a command line of the shell's and returns what it printed.
inline std::string CommandOutput(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  std::string text;
  std::array<char, 4096> buffer;
  size_t count;
  while (pipe && (count = std::fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0) text.append(buffer.data(), count);
  return text;
}

// profcheck's average error of a profile against the patch values it was
// made from; -1 when profcheck reports none (its report in `report`).
inline double ProfcheckAverage(const std::string& programFolder, const std::string& ti3, const std::string& profile,
                               std::string& report) {
  report = CommandOutput("'" + programFolder + "argyll/bin/profcheck' '" + ti3 + "' '" + profile + "' 2>&1");
  std::smatch match;
  if (!std::regex_search(report, match, std::regex(R"(avg[.a-z ]*=\s*([0-9.]+))"))) return -1;
  return std::stod(match[1]);
}
