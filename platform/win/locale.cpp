// Sections: the LCID table | names | the user's locale | locale information
#include "platform/win/locale.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/rtl/sysutils.h"
#include "platform/win/kernel.h"

// ---- the LCID table ---------------------------------------------------------
//
// One entry per LCID, named language_COUNTRY as the C library names locales
// (with "@latin"/"@cyrillic" where the script tells two LCIDs apart). Within a
// language the first entry is the one a bare language name ("de") means. A
// few LCIDs have a second, older name after their first.

namespace {
struct LocaleEntry {
  LCID lcid;
  const char* name;
};

constexpr LocaleEntry localeTable[] = {
    {0x0401, "ar_SA"}, {0x0801, "ar_IQ"}, {0x0C01, "ar_EG"}, {0x1001, "ar_LY"}, {0x1401, "ar_DZ"},
    {0x1801, "ar_MA"}, {0x1C01, "ar_TN"}, {0x2001, "ar_OM"}, {0x2401, "ar_YE"}, {0x2801, "ar_SY"},
    {0x2C01, "ar_JO"}, {0x3001, "ar_LB"}, {0x3401, "ar_KW"}, {0x3801, "ar_AE"}, {0x3C01, "ar_BH"},
    {0x4001, "ar_QA"},
    {0x0402, "bg_BG"}, {0x0403, "ca_ES"},
    {0x0804, "zh_CN"}, {0x0404, "zh_TW"}, {0x0C04, "zh_HK"}, {0x1004, "zh_SG"}, {0x1404, "zh_MO"},
    {0x0405, "cs_CZ"}, {0x0406, "da_DK"},
    {0x0407, "de_DE"}, {0x0807, "de_CH"}, {0x0C07, "de_AT"}, {0x1007, "de_LU"}, {0x1407, "de_LI"},
    {0x0408, "el_GR"},
    {0x0409, "en_US"}, {0x0809, "en_GB"}, {0x0C09, "en_AU"}, {0x1009, "en_CA"}, {0x1409, "en_NZ"},
    {0x1809, "en_IE"}, {0x1C09, "en_ZA"}, {0x2009, "en_JM"}, {0x2409, "en_AG"}, {0x2809, "en_BZ"},
    {0x2C09, "en_TT"}, {0x3009, "en_ZW"}, {0x3409, "en_PH"}, {0x4009, "en_IN"}, {0x4409, "en_MY"},
    {0x4809, "en_SG"},
    {0x0C0A, "es_ES"}, {0x080A, "es_MX"}, {0x100A, "es_GT"}, {0x140A, "es_CR"}, {0x180A, "es_PA"},
    {0x1C0A, "es_DO"}, {0x200A, "es_VE"}, {0x240A, "es_CO"}, {0x280A, "es_PE"}, {0x2C0A, "es_AR"},
    {0x300A, "es_EC"}, {0x340A, "es_CL"}, {0x380A, "es_UY"}, {0x3C0A, "es_PY"}, {0x400A, "es_BO"},
    {0x440A, "es_SV"}, {0x480A, "es_HN"}, {0x4C0A, "es_NI"}, {0x500A, "es_PR"},
    {0x040B, "fi_FI"},
    {0x040C, "fr_FR"}, {0x080C, "fr_BE"}, {0x0C0C, "fr_CA"}, {0x100C, "fr_CH"}, {0x140C, "fr_LU"},
    {0x180C, "fr_MC"},
    {0x040D, "he_IL"}, {0x040E, "hu_HU"}, {0x040F, "is_IS"},
    {0x0410, "it_IT"}, {0x0810, "it_CH"},
    {0x0411, "ja_JP"}, {0x0412, "ko_KR"},
    {0x0413, "nl_NL"}, {0x0813, "nl_BE"},
    {0x0414, "nb_NO"}, {0x0814, "nn_NO"}, {0x0414, "no_NO"},
    {0x0415, "pl_PL"},
    {0x0416, "pt_BR"}, {0x0816, "pt_PT"},
    {0x0417, "rm_CH"}, {0x0418, "ro_RO"}, {0x0419, "ru_RU"},
    {0x041A, "hr_HR"}, {0x101A, "hr_BA"},
    {0x0C1A, "sr_RS"}, {0x081A, "sr_RS@latin"}, {0x181A, "sr_BA@latin"}, {0x7C1A, "sr@latin"},
    {0x141A, "bs_BA"}, {0x201A, "bs_BA@cyrillic"}, {0x781A, "bs"},
    {0x041B, "sk_SK"}, {0x041C, "sq_AL"},
    {0x041D, "sv_SE"}, {0x081D, "sv_FI"},
    {0x041E, "th_TH"}, {0x041F, "tr_TR"},
    {0x0420, "ur_PK"}, {0x0820, "ur_IN"},
    {0x0421, "id_ID"}, {0x0422, "uk_UA"}, {0x0423, "be_BY"}, {0x0424, "sl_SI"}, {0x0425, "et_EE"},
    {0x0426, "lv_LV"}, {0x0427, "lt_LT"}, {0x0428, "tg_TJ"}, {0x0429, "fa_IR"}, {0x042A, "vi_VN"},
    {0x042B, "hy_AM"},
    {0x042C, "az_AZ"}, {0x082C, "az_AZ@cyrillic"},
    {0x042D, "eu_ES"}, {0x042E, "hsb_DE"}, {0x082E, "dsb_DE"}, {0x042F, "mk_MK"},
    {0x0432, "tn_ZA"}, {0x0434, "xh_ZA"}, {0x0435, "zu_ZA"}, {0x0436, "af_ZA"}, {0x0437, "ka_GE"},
    {0x0438, "fo_FO"}, {0x0439, "hi_IN"}, {0x043A, "mt_MT"},
    {0x043B, "se_NO"}, {0x083B, "se_SE"}, {0x0C3B, "se_FI"}, {0x103B, "smj_NO"}, {0x143B, "smj_SE"},
    {0x183B, "sma_NO"}, {0x1C3B, "sma_SE"}, {0x203B, "sms_FI"}, {0x243B, "smn_FI"},
    {0x083C, "ga_IE"},
    {0x043E, "ms_MY"}, {0x083E, "ms_BN"},
    {0x043F, "kk_KZ"}, {0x0440, "ky_KG"}, {0x0441, "sw_KE"}, {0x0442, "tk_TM"},
    {0x0443, "uz_UZ"}, {0x0843, "uz_UZ@cyrillic"},
    {0x0444, "tt_RU"}, {0x0445, "bn_IN"}, {0x0446, "pa_IN"}, {0x0447, "gu_IN"}, {0x0448, "or_IN"},
    {0x0449, "ta_IN"}, {0x044A, "te_IN"}, {0x044B, "kn_IN"}, {0x044C, "ml_IN"}, {0x044D, "as_IN"},
    {0x044E, "mr_IN"}, {0x044F, "sa_IN"},
    {0x0450, "mn_MN"}, {0x0850, "mn_CN"},
    {0x0451, "bo_CN"}, {0x0452, "cy_GB"}, {0x0453, "km_KH"}, {0x0454, "lo_LA"}, {0x0456, "gl_ES"},
    {0x0457, "kok_IN"}, {0x045A, "syr_SY"}, {0x045B, "si_LK"},
    {0x045D, "iu_CA"}, {0x085D, "iu_CA@latin"},
    {0x045E, "am_ET"}, {0x085F, "tzm_DZ"}, {0x0461, "ne_NP"}, {0x0462, "fy_NL"}, {0x0463, "ps_AF"},
    {0x0464, "fil_PH"}, {0x0465, "dv_MV"}, {0x0468, "ha_NG"}, {0x046A, "yo_NG"},
    {0x046B, "quz_BO"}, {0x086B, "quz_EC"}, {0x0C6B, "quz_PE"},
    {0x046C, "nso_ZA"}, {0x046D, "ba_RU"}, {0x046E, "lb_LU"}, {0x046F, "kl_GL"}, {0x0470, "ig_NG"},
    {0x0478, "ii_CN"}, {0x047A, "arn_CL"}, {0x047C, "moh_CA"}, {0x047E, "br_FR"}, {0x0480, "ug_CN"},
    {0x0481, "mi_NZ"}, {0x0482, "oc_FR"}, {0x0483, "co_FR"}, {0x0484, "gsw_FR"}, {0x0485, "sah_RU"},
    {0x0486, "quc_GT"}, {0x0487, "rw_RW"}, {0x0488, "wo_SN"}, {0x048C, "prs_AF"},
};

// A locale name taken apart: "de_DE.UTF-8@euro" is de, DE, euro.
struct LocaleParts {
  std::string language, country, modifier;
};

LocaleParts SplitLocaleName(std::string_view text) {
  LocaleParts parts;
  std::string windowsForm(text);
  std::replace(windowsForm.begin(), windowsForm.end(), '-', '_');  // "de-DE"
  std::string_view name = windowsForm;
  size_t at = name.find('@');
  if (at != std::string_view::npos) {
    parts.modifier = name.substr(at + 1);
    name = name.substr(0, at);
  }
  name = name.substr(0, name.find('.'));
  size_t underscore = name.find('_');
  parts.language = name.substr(0, underscore);
  if (underscore != std::string_view::npos) parts.country = name.substr(underscore + 1);
  return parts;
}

const LocaleEntry* FindByLCID(LCID lcid) {
  for (const auto& e : localeTable) {
    if (e.lcid == (lcid & 0xFFFF)) return &e;
  }
  return nullptr;
}
}  // namespace

// ---- names ------------------------------------------------------------------

LCID LocaleNameToLCID(const std::string& localeName) {
  LocaleParts wanted = SplitLocaleName(localeName);
  if (wanted.language.empty() || wanted.language == "C" || wanted.language == "POSIX") return LOCALE_US_ENGLISH;
  // Script modifiers tell LCIDs apart; others ("@euro") do not.
  bool script = wanted.modifier == "latin" || wanted.modifier == "cyrillic";
  const LocaleEntry* sameLanguage = nullptr;
  const LocaleEntry* sameCountry = nullptr;
  for (const auto& e : localeTable) {
    LocaleParts have = SplitLocaleName(e.name);
    if (have.language != wanted.language) continue;
    bool scriptMatches = have.modifier == (script ? wanted.modifier : "");
    if (have.country == wanted.country && scriptMatches) return e.lcid;
    if (have.country == wanted.country && !sameCountry) sameCountry = &e;
    if (!sameLanguage) sameLanguage = &e;
  }
  if (sameCountry) return sameCountry->lcid;
  return sameLanguage ? sameLanguage->lcid : LOCALE_CUSTOM_UNSPECIFIED;
}

std::string LCIDToLocaleName(LCID lcid) {
  const LocaleEntry* e = FindByLCID(lcid);
  return e ? e->name : "";
}

// ---- the user's locale ------------------------------------------------------

namespace {
std::mutex overrideLock;
std::optional<std::string> localeOverride;

std::optional<std::string> CurrentOverride() {
  std::lock_guard guard(overrideLock);
  return localeOverride;
}

LCID ResolveLCID(LCID lcid) {
  return lcid == LOCALE_USER_DEFAULT || lcid == LOCALE_SYSTEM_DEFAULT || lcid == 0 ? GetUserDefaultLCID() : lcid;
}
}  // namespace

std::string UserLocaleName() {
  if (auto name = CurrentOverride()) return *name;
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return "C";
}

LCID GetUserDefaultLCID() { return LocaleNameToLCID(UserLocaleName()); }
LANGID GetUserDefaultLangID() { return static_cast<LANGID>(GetUserDefaultLCID()); }
LCID GetThreadLocale() { return GetUserDefaultLCID(); }
LCID GetSystemDefaultLCID() { return GetUserDefaultLCID(); }
LANGID GetSystemDefaultLangID() { return GetUserDefaultLangID(); }

ScopedUserLocale::ScopedUserLocale(const std::string& localeName) {
  std::lock_guard guard(overrideLock);
  saved_ = localeOverride;
  localeOverride = localeName;
}

ScopedUserLocale::~ScopedUserLocale() {
  std::lock_guard guard(overrideLock);
  localeOverride = saved_;
}

// ---- locale information -----------------------------------------------------

namespace {
// The Windows pattern of a framework date or time pattern: the framework's
// "m" (month) and "n" (minutes) become "M" and "m", "AMPM" becomes "tt"
// (and the hours 12-hour ones), "/" and ":" the separators.
std::string WindowsPattern(const std::string& pattern, const TFormatSettings& settings) {
  bool twelveHours = pattern.find("AMPM") != std::string::npos;
  std::string out;
  bool quoted = false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    char c = pattern[i];
    if (c == '"') {
      quoted = !quoted;
      out += '\'';
    } else if (quoted) {
      out += c;
    } else if (pattern.compare(i, 4, "AMPM") == 0) {
      out += "tt";
      i += 3;
    } else {
      switch (c) {
        case 'm': out += 'M'; break;
        case 'n': out += 'm'; break;
        case 'h': out += twelveHours ? 'h' : 'H'; break;
        case '/': out += settings.DateSeparator; break;
        case ':': out += settings.TimeSeparator; break;
        default: out += c;
      }
    }
  }
  return out;
}

// The format settings of the user's locale (as the run-time library holds
// them), or of a table name.
TFormatSettings SettingsFor(bool user, const std::string& tableName) {
  if (user) return FormatSettings;
  LocaleParts parts = SplitLocaleName(tableName);
  std::string name = parts.language + (parts.country.empty() ? "" : "_" + parts.country) + ".UTF-8";
  if (!parts.modifier.empty()) name += "@" + parts.modifier;
  return LocaleFormatSettings(name);
}

std::string Fail() {
  SetLastError(ERROR_INVALID_PARAMETER);
  return {};
}
}  // namespace

std::string GetLocaleInfoA(LCID locale, LCTYPE type) {
  LCID lcid = ResolveLCID(locale);
  bool user = locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT || locale == 0 ||
              (lcid == LOCALE_CUSTOM_UNSPECIFIED && lcid == GetUserDefaultLCID());
  // ISO names from the table; a language the table lacks answers from its locale name.
  std::string tableName = LCIDToLocaleName(lcid);
  if (tableName.empty() && !user) return Fail();
  LocaleParts parts = SplitLocaleName(tableName.empty() ? UserLocaleName() : tableName);
  switch (type) {
    case LOCALE_SISO639LANGNAME:
      return parts.language;
    case LOCALE_SISO3166CTRYNAME:
      return parts.country;
    case LOCALE_IDEFAULTANSICODEPAGE:
      return "1252";
    default:
      break;
  }
  TFormatSettings settings = SettingsFor(user, tableName);
  switch (type) {
    case LOCALE_SDECIMAL:
      return std::string(1, settings.DecimalSeparator);
    case LOCALE_STHOUSAND:
      return std::string(1, settings.ThousandSeparator);
    case LOCALE_SDATE:
      return std::string(1, settings.DateSeparator);
    case LOCALE_STIME:
      return std::string(1, settings.TimeSeparator);
    case LOCALE_SSHORTDATE:
      return WindowsPattern(settings.ShortDateFormat, settings);
    case LOCALE_STIMEFORMAT:
      return WindowsPattern(settings.LongTimeFormat, settings);
    default:
      return Fail();
  }
}

std::string GetLocaleInfoEx(const std::string& localeName, LCTYPE type) {
  return GetLocaleInfoA(localeName.empty() ? LOCALE_USER_DEFAULT : LocaleNameToLCID(localeName), type);
}
