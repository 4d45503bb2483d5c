// Format settings from the C library's locale data (see sysutils.h).
#include <langinfo.h>

#include <cctype>
#include <cstdlib>
#include <string_view>

#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/sysutils_locale.h"

namespace {

// The name of the user's locale for a category: LC_ALL, else the category's
// own variable, else LANG; "" when none is set.
std::string userLocaleName(const char* categoryVariable) {
  for (const char* name : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}

// A locale object that frees itself.
class LocaleHandle {
public:
  // The character set of the texts comes with LC_CTYPE, so it is always
  // opened alongside the category asked for.
  LocaleHandle(int mask, const std::string& name)
      : loc_(name.empty() ? locale_t{} : newlocale(mask | LC_CTYPE_MASK, name.c_str(), locale_t{})) {}
  ~LocaleHandle() {
    if (loc_) freelocale(loc_);
  }
  LocaleHandle(const LocaleHandle&) = delete;
  LocaleHandle& operator=(const LocaleHandle&) = delete;
  locale_t get() const { return loc_; }

  // Text of an nl_langinfo item in UTF-8.
  std::string info(nl_item item) const {
    const std::string text = nl_langinfo_l(item, loc_);
    const std::string codeset = nl_langinfo_l(CODESET, loc_);
    if (codeset == "UTF-8" || codeset == "ANSI_X3.4-1968") return text;
    return CharsetToUtf8(text, codeset);
  }

private:
  locale_t loc_;
};

locale_t openUserLocale(int mask, const char* categoryVariable) {
  const std::string name = userLocaleName(categoryVariable);
  locale_t loc{};
  if (!name.empty() && name != "C" && name != "POSIX") loc = newlocale(mask, name.c_str(), locale_t{});
  if (!loc) loc = newlocale(mask, "C.UTF-8", locale_t{});
  return loc;  // kept for the life of the process
}

// A single-byte separator from the locale's text: ASCII as it is; a
// non-ASCII separator (a no-break space) becomes Fallback, as does an empty
// one.
char separatorChar(const std::string& text, char fallback) {
  if (text.size() == 1 && static_cast<unsigned char>(text[0]) < 0x80) return text[0];
  return fallback;
}

// strftime directives and the framework's letters for them; expansions start
// with "%".
struct Directive {
  char code;
  const char* pattern;
};
constexpr Directive kDirectives[] = {
    {'d', "dd"},   {'e', "d"},        {'m', "mm"},       {'y', "yy"},       {'Y', "yyyy"},
    {'b', "mmm"},  {'h', "mmm"},      {'B', "mmmm"},     {'a', "ddd"},      {'A', "dddd"},
    {'H', "hh"},   {'k', "h"},        {'I', "hh"},       {'l', "h"},        {'M', "nn"},
    {'S', "ss"},   {'p', "AMPM"},     {'P', "AMPM"},     {'n', " "},        {'t', " "},
    {'%', "%"},    {'D', "%m/%d/%y"}, {'T', "%H:%M:%S"}, {'R', "%H:%M"},    {'F', "%Y-%m-%d"},
    {'r', "%I:%M:%S %p"},
};

// Converts a strftime pattern into the framework's pattern letters; ASCII
// letters that are literal text are quoted.
std::string convertPattern(std::string_view fmt, int depth = 0) {
  std::string out;
  for (size_t i = 0; i < fmt.size(); ++i) {
    const char c = fmt[i];
    if (c != '%') {
      if (std::isalpha(static_cast<unsigned char>(c))) {
        out += '"';
        out += c;
        out += '"';
      } else {
        out += c;
      }
      continue;
    }
    // Skip the C library's flags, width and the E/O modifiers.
    while (i + 1 < fmt.size() && std::string_view("-_0^#EO").find(fmt[i + 1]) != std::string_view::npos) ++i;
    if (++i >= fmt.size()) break;
    for (const Directive& d : kDirectives) {
      if (d.code != fmt[i]) continue;
      if (d.pattern[0] == '%' && d.pattern[1] != '\0' && depth < 2) {
        out += convertPattern(d.pattern, depth + 1);
      } else {
        out += d.pattern;
      }
      break;
    }
  }
  return out;
}

// The first separator character of a converted pattern (outside quotes), or
// Fallback; every occurrence is replaced by Placeholder.
char takeSeparator(std::string& pattern, char placeholder, char fallback) {
  char sep = 0;
  bool quoted = false;
  for (char& c : pattern) {
    if (c == '"') quoted = !quoted;
    if (quoted || std::isalnum(static_cast<unsigned char>(c)) || c == ' ' || c == '"' ||
        static_cast<unsigned char>(c) >= 0x80) {
      continue;
    }
    if (!sep) sep = c;
    if (c == sep) c = placeholder;
  }
  return sep ? sep : fallback;
}

void readNumeric(TFormatSettings& fs, const std::string& name) {
  LocaleHandle loc(LC_NUMERIC_MASK, name);
  if (!loc.get()) return;
  fs.DecimalSeparator = separatorChar(loc.info(RADIXCHAR), '.');
  const char fallback = fs.DecimalSeparator == ',' ? '.' : ',';
  const std::string thousands = loc.info(THOUSEP);
  fs.ThousandSeparator = thousands.empty() ? fallback : separatorChar(thousands, ' ');
  if (fs.ThousandSeparator == fs.DecimalSeparator) fs.ThousandSeparator = fallback;
}

void readTime(TFormatSettings& fs, const std::string& name) {
  LocaleHandle loc(LC_TIME_MASK, name);
  if (!loc.get()) return;
  fs.ShortDateFormat = convertPattern(loc.info(D_FMT));
  fs.DateSeparator = takeSeparator(fs.ShortDateFormat, '/', '/');
  fs.LongTimeFormat = convertPattern(loc.info(T_FMT));
  fs.TimeSeparator = takeSeparator(fs.LongTimeFormat, ':', ':');
  fs.ShortTimeFormat = fs.LongTimeFormat;
  if (const size_t at = fs.ShortTimeFormat.find(":ss"); at != std::string::npos) {
    fs.ShortTimeFormat.erase(at, 3);
  }
  const std::string am = loc.info(AM_STR), pm = loc.info(PM_STR);
  if (!am.empty()) fs.TimeAMString = am;
  if (!pm.empty()) fs.TimePMString = pm;
  for (int i = 0; i < 12; ++i) {
    fs.ShortMonthNames[i] = loc.info(static_cast<nl_item>(ABMON_1 + i));
    fs.LongMonthNames[i] = loc.info(static_cast<nl_item>(MON_1 + i));
  }
  for (int i = 0; i < 7; ++i) {
    fs.ShortDayNames[i] = loc.info(static_cast<nl_item>(ABDAY_1 + i));
    fs.LongDayNames[i] = loc.info(static_cast<nl_item>(DAY_1 + i));
  }
}

}  // namespace

locale_t UserLocale(int categoryMask) {
  static const locale_t ctype = openUserLocale(LC_CTYPE_MASK, "LC_CTYPE");
  static const locale_t collate = openUserLocale(LC_COLLATE_MASK, "LC_COLLATE");
  return categoryMask == LC_COLLATE_MASK ? collate : ctype;
}

TFormatSettings LocaleFormatSettings(const std::string& localeName) {
  TFormatSettings fs;
  readNumeric(fs, localeName.empty() ? userLocaleName("LC_NUMERIC") : localeName);
  readTime(fs, localeName.empty() ? userLocaleName("LC_TIME") : localeName);
  return fs;
}

const TFormatSettings& InvariantFormatSettings() {
  static const TFormatSettings invariant;
  return invariant;
}

// Holds the invariant values from the start, so that code running before
// this unit's initialisation still reads valid settings; the locale's values
// are filled in when the unit initialises.
// (clang cannot evaluate std::string at compile time: there it is initialised
// dynamically.)
#if !defined(__clang__)
constinit
#endif
    TFormatSettings FormatSettings{};
namespace {
const bool kFormatSettingsRead = (ResetFormatSettings(), true);
}  // namespace

void ResetFormatSettings() { FormatSettings = LocaleFormatSettings(); }

TFormatSettingsOverride::TFormatSettingsOverride(const TFormatSettings& settings)
    : saved_(FormatSettings) {
  FormatSettings = settings;
}

TFormatSettingsOverride::~TFormatSettingsOverride() { FormatSettings = saved_; }
