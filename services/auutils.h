// Supporting routines of the auto-upgrader: the online test, the program's
// own file and folder, the special folders behind the path macros, file
// sizes and names, version comparison, HTTP dates, and the string list that
// holds the files of an upgrade.
//
// Sections: program and folders - online - files - texts, numbers and
// dates - the private folder - TauStringList.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/datetime.h"
#include "platform/rtl/stringlist.h"

// --- Program and folders ------------------------------------------------------

// Full file name of the running program, and its folder with a trailing
// delimiter.
const std::string& ProgramFileName();
const std::string& ProgramFolder();

// Number of path macros ("%current%" .. "%cursors%") and their texts; index
// 12 is the empty entry.
constexpr int32_t kPathMacroCount = 13;
const std::string& PathMacro(int32_t index);
// The folder behind a macro index, with a trailing delimiter; empty for
// index 12 and for a folder this system cannot name.
std::string GetSpecialFolder(int32_t index);
// The temporary folder, else the program's folder.
std::string GetTempFolder();
std::string GetWindowsFolder();
std::string GetSystemFolder();
// The path with every macro (any letter case) replaced. With MakeAbsolute a
// path without a leading delimiter gets ProgramFolder in front. Empty when a
// macro names a folder that does not exist here, so that a missing folder
// never turns a name into one at the root.
std::string ExpandPathMacros(const std::string& path, bool makeAbsolute);

// --- Online -------------------------------------------------------------------

// The machine has an address other than a loopback one.
bool HasNetworkAddress();
bool IsOnline();

// --- Files --------------------------------------------------------------------

// Creates each folder on the file name's path, ignoring failures.
void ForceFileDirectories(const std::string& fileName);
// 64-bit size, -1 when the file cannot be read.
int64_t GetFileSize64(const std::string& fileName);
// The last name component of a URL ("/" and "\" separate; a colon too).
std::string URLToFileName(const std::string& url);

// --- Texts, numbers and dates ---------------------------------------------------

// Above 0 when version A is the greater, 0 when equal, below 0 when B is.
// Four dotted numeric fields; a field that is no number compares the texts
// by their characters, with the sign of the first difference kept.
int8_t CompareVersions(const std::string& a, const std::string& b);
// Part * 100 / Whole rounded half to even, kept in one byte; 0 when Whole is 0.
uint8_t PercentOf(long double part, long double whole);
// A date of an HTTP header (RFC 1123, RFC 850, asctime forms) in local time;
// 0 when empty or unreadable.
TDateTime ParseHTTPDate(const std::string& text);
// Local time minus UTC, as a fraction of a day (east of Greenwich negative).
TDateTime TimeZoneBias();
TDateTime UTCToLocalTime(TDateTime dateTime);
// Position (from 1) of the last occurrence of sub in text; 0 when none.
int32_t LastPos(const std::string& sub, const std::string& text);
// Splits at the first separator; flag 1 keeps it on the left, 2 on the right.
void SplitAt(const std::string& separator, const std::string& text, std::string& left, std::string& right,
             bool missingToRight, int32_t flags);
// Head := text before the first separator; with remove the text loses it.
void SplitOff(std::string& text, const std::string& separator, bool remove, std::string& head);
std::string StripLeadingChar(const std::string& text, char c);
std::string StripLeadingBackslashes(const std::string& text);

// --- The private folder -----------------------------------------------------------

// The upgrader's folder of this user: the temporary folder + "vesk-upgrader-"
// + uid, created 0700 when missing. Empty when the name is taken by anything
// but a real folder of this user closed to everyone else.
std::string UpgraderPrivateFolder();

// --- TauStringList ----------------------------------------------------------------

// A list of "name=value" items (a URL and its destination).
class TauStringList : public TStringList {
public:
  std::string NameValueSeparator = "=";
  bool SeparatorFromEnd = false;
  int32_t MaxCount = 2147483647;

  int32_t Add(const std::string& s) override;
  // 0-based position of the separator in the item, -1 when it has none.
  int32_t SeparatorPos(int32_t index) const;
  std::string GetName(int32_t index) const;
  std::string GetValue(int32_t index) const;
  void SetValue(int32_t index, const std::string& value);
  // Writes every non-empty value followed by CR LF into fileName, which must
  // lie directly in UpgraderPrivateFolder(): written to a new file (0600,
  // exclusive, no links followed), flushed and renamed into place. No file
  // when no value is there. False when refused or when writing failed.
  bool SaveValuesToFile(const std::string& fileName) const;
};
