#include "platform/win/locale.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/rtl/sysutils.h"
#include "platform/win/kernel.h"
#include "tests/platform/win/kernel_test_support.h"

TEST(Locale, NamesGiveLCIDs) {
  struct Case {
    const char* name;
    LCID lcid;
    const char* language;
    const char* country;
  } cases[] = {
      {"de_DE.UTF-8", 0x0407, "de", "DE"},
      {"de_AT.utf8", 0x0C07, "de", "AT"},
      {"de_DE@euro", 0x0407, "de", "DE"},
      {"fr_FR.UTF-8", 0x040C, "fr", "FR"},
      {"fr_CA", 0x0C0C, "fr", "CA"},
      {"pl_PL.UTF-8", 0x0415, "pl", "PL"},
      {"ja_JP.eucJP", 0x0411, "ja", "JP"},
      {"es_ES.UTF-8", 0x0C0A, "es", "ES"},
      {"sr_RS", 0x0C1A, "sr", "RS"},
      {"sr_RS@latin", 0x081A, "sr", "RS"},
      {"nb_NO.UTF-8", 0x0414, "nb", "NO"},
      {"no_NO", 0x0414, "nb", "NO"},
      {"de", 0x0407, "de", "DE"},     // a bare language: its main country
      {"de_BE", 0x0407, "de", "DE"},  // an unknown country: the language's main entry
      {"C", 0x0409, "en", "US"},
      {"POSIX", 0x0409, "en", "US"},
      {"C.UTF-8", 0x0409, "en", "US"},
      {"pt-BR", 0x0416, "pt", "BR"},  // the Windows form
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LocaleNameToLCID(c.name), c.lcid) << c.name;
    ScopedUserLocale user(c.name);
    EXPECT_EQ(GetUserDefaultLCID(), c.lcid) << c.name;
    EXPECT_EQ(GetUserDefaultLangID(), static_cast<LANGID>(c.lcid)) << c.name;
    EXPECT_EQ(GetThreadLocale(), c.lcid) << c.name;
    EXPECT_EQ(GetSystemDefaultLangID(), static_cast<LANGID>(c.lcid)) << c.name;
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME), c.language) << c.name;
    EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO3166CTRYNAME), c.country) << c.name;
  }
}

TEST(Locale, EnvironmentOrder) {
  ScopedEnv all("LC_ALL", std::nullopt);
  ScopedEnv messages("LC_MESSAGES", std::nullopt);
  ScopedEnv lang("LANG", "fr_FR.UTF-8");
  EXPECT_EQ(GetUserDefaultLangID(), 0x040C);
  {
    ScopedEnv m("LC_MESSAGES", "pl_PL.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0415);
    ScopedEnv a("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0407);
    ScopedUserLocale overridden("ja_JP.UTF-8");
    EXPECT_EQ(GetUserDefaultLangID(), 0x0411);
  }
  ScopedEnv noLang("LANG", std::nullopt);
  EXPECT_EQ(GetUserDefaultLangID(), 0x0409);
}

// A language the table lacks has no LCID of the table, but its ISO name is
// still the locale's.
TEST(Locale, UnknownLanguage) {
  EXPECT_EQ(LocaleNameToLCID("xx_YY.UTF-8"), LOCALE_CUSTOM_UNSPECIFIED);
  ScopedUserLocale user("xx_YY.UTF-8");
  EXPECT_EQ(GetUserDefaultLangID(), LOCALE_CUSTOM_UNSPECIFIED);
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SISO639LANGNAME), "xx");
  SetLastError(0);
  EXPECT_EQ(GetLocaleInfoA(0x7777, LOCALE_SISO639LANGNAME), "");
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(GetLocaleInfoA(0x0407, 0x7FFF), "");
  EXPECT_EQ(GetLocaleInfoEx("fr-CA", LOCALE_SISO3166CTRYNAME), "CA");
}

TEST(Locale, SeparatorsAndFormatsFromTheCLibrary) {
  struct Case {
    LCID lcid;
    const char* decimal;
    const char* thousand;
    const char* shortDate;
  } cases[] = {
      {0x0407, ",", ".", "dd.MM.yyyy"},
      {0x0409, ".", ",", "MM/dd/yyyy"},
      {0x0415, ",", " ", "dd.MM.yyyy"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetLocaleInfoA(c.lcid, LOCALE_SDECIMAL), c.decimal) << c.lcid;
    EXPECT_EQ(GetLocaleInfoA(c.lcid, LOCALE_STHOUSAND), c.thousand) << c.lcid;
    EXPECT_EQ(GetLocaleInfoA(c.lcid, LOCALE_SSHORTDATE), c.shortDate) << c.lcid;
    EXPECT_EQ(GetLocaleInfoA(c.lcid, LOCALE_IDEFAULTANSICODEPAGE), "1252");
  }
  // The user's own answers are those of the run-time library's settings.
  TFormatSettingsOverride german(LocaleFormatSettings("de_DE.UTF-8"));
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL), ",");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND), ".");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE), ".");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE), "dd.MM.yyyy");
  EXPECT_EQ(GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT), "HH:mm:ss");
}

// Every LCID of the application's language table has a name here, and each
// name leads back to its LCID.
TEST(Locale, TableCoversTheApplicationsLCIDs) {
  const LCID applicationLCIDs[] = {
      1025,  2049,  3073,  4097,  5121,  6145,  7169,  8193,  9217,  10241, 11265, 12289, 13313, 14337, 15361,
      16385, 1026,  1027,  1028,  2052,  3076,  4100,  5124,  1029,  1030,  1031,  2055,  3079,  4103,  5127,
      1032,  1033,  2057,  3081,  4105,  5129,  6153,  7177,  8201,  9225,  10249, 11273, 12297, 13321, 16393,
      17417, 18441, 1035,  1036,  2060,  3084,  4108,  5132,  6156,  1037,  1038,  1039,  1040,  2064,  1041,
      1042,  1043,  2067,  1044,  2068,  1045,  1046,  2070,  1047,  1048,  1049,  1050,  4122,  1051,  1052,
      1053,  2077,  1054,  1055,  1056,  2080,  1057,  1058,  1059,  1060,  1061,  1062,  1063,  1064,  1065,
      1066,  1067,  1068,  2092,  1069,  1070,  1071,  1074,  1076,  1077,  1078,  1079,  1080,  1081,  1082,
      1083,  2107,  3131,  4155,  5179,  6203,  7227,  8251,  9275,  1086,  2110,  1087,  1088,  1089,  1090,
      1091,  2115,  1092,  1093,  1094,  1095,  1096,  1097,  1098,  1099,  1100,  1101,  1102,  1103,  1104,
      2128,  1105,  1106,  1107,  1108,  1110,  1111,  1114,  1115,  1117,  2141,  1118,  1121,  1122,  1123,
      1124,  1125,  1128,  1130,  1131,  2155,  3179,  1132,  1133,  1134,  1135,  1136,  1144,  1146,  1148,
      1150,  1152,  1153,  1154,  1155,  1156,  1157,  1158,  1159,  1160,  1164,  2058,  3082,  4106,  5130,
      6154,  7178,  8202,  9226,  10250, 11274, 12298, 13322, 14346, 15370, 16394, 17418, 18442, 19466, 20490,
      2074,  3098,  6170,  31770, 2094,  2108,  2143,  5146,  8218,  30746,
  };
  std::set<LCID> seen;
  for (LCID lcid : applicationLCIDs) {
    EXPECT_TRUE(seen.insert(lcid).second) << lcid;
    std::string name = LCIDToLocaleName(lcid);
    EXPECT_FALSE(name.empty()) << lcid;
    EXPECT_EQ(LocaleNameToLCID(name), lcid) << name;
  }
  EXPECT_EQ(seen.size(), 205u);
}
