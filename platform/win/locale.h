// The user's locale as Windows numbers it: an LCID from LC_ALL, LC_MESSAGES
// or LANG through one table of language_COUNTRY names, and the locale
// information callers read (ISO names, separators, date formats, code page).
#pragma once

#include <optional>
#include <string>

#include "platform/win/wintypes.h"

using LCTYPE = DWORD;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_CUSTOM_UNSPECIFIED = 0x1000;  // a language the table does not know
constexpr LCID LOCALE_US_ENGLISH = 0x0409;          // "C" and "POSIX"

constexpr LCTYPE LOCALE_SDECIMAL = 0x000E;
constexpr LCTYPE LOCALE_STHOUSAND = 0x000F;
constexpr LCTYPE LOCALE_SDATE = 0x001D;
constexpr LCTYPE LOCALE_STIME = 0x001E;
constexpr LCTYPE LOCALE_SSHORTDATE = 0x001F;
constexpr LCTYPE LOCALE_SISO639LANGNAME = 0x0059;
constexpr LCTYPE LOCALE_SISO3166CTRYNAME = 0x005A;
constexpr LCTYPE LOCALE_IDEFAULTANSICODEPAGE = 0x1004;
constexpr LCTYPE LOCALE_STIMEFORMAT = 0x1003;

constexpr LANGID PRIMARYLANGID(LANGID id) { return id & 0x3FF; }
constexpr LANGID SUBLANGID(LANGID id) { return id >> 10; }

// The LCID of a locale name ("de_DE.UTF-8" or "de-DE" give 0x0407, "de" the language's
// main country, "C", "POSIX" and "" give 0x0409); LOCALE_CUSTOM_UNSPECIFIED
// for a language the table lacks.
LCID LocaleNameToLCID(const std::string& localeName);
// The language_COUNTRY name of an LCID ("de_DE"); empty when unknown.
std::string LCIDToLocaleName(LCID lcid);

// The user's locale name: the override, else the first set of LC_ALL,
// LC_MESSAGES and LANG.
std::string UserLocaleName();

LCID GetUserDefaultLCID();
LANGID GetUserDefaultLangID();
LCID GetThreadLocale();
LCID GetSystemDefaultLCID();
LANGID GetSystemDefaultLangID();

// One item of a locale's information; empty with ERROR_INVALID_PARAMETER for
// an unknown locale or item. Separators and formats are those of the
// run-time library's format settings: FormatSettings for the user's locale,
// else the settings of the LCID's locale. The code page is the layer's one
// 8-bit code page (1252).
std::string GetLocaleInfoA(LCID locale, LCTYPE type);

// The same by locale name, in the Windows form ("de-DE") or the C library's;
// an empty name is the user's locale.
std::string GetLocaleInfoEx(const std::string& localeName, LCTYPE type);

// Replaces the user's locale name for its lifetime (tests).
class ScopedUserLocale {
public:
  explicit ScopedUserLocale(const std::string& localeName);
  ~ScopedUserLocale();
  ScopedUserLocale(const ScopedUserLocale&) = delete;
  ScopedUserLocale& operator=(const ScopedUserLocale&) = delete;

private:
  std::optional<std::string> saved_;
};
