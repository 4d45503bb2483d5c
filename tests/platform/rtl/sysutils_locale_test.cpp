// Format settings: what the user's locale gives, the "."-only settings and
// the override tests and callers use.
#include <gtest/gtest.h>

#include <cstdlib>
#include <locale.h>
#include <optional>

#include "platform/rtl/sysutils.h"

namespace {

// Sets locale variables for one test and puts the old values back.
class LocaleEnvironment : public ::testing::Test {
protected:
  void SetUp() override {
    for (const char* name : kNames) {
      const char* v = std::getenv(name);
      saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
      unsetenv(name);
    }
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value) setenv(name, value->c_str(), 1);
      else unsetenv(name);
    }
    ResetFormatSettings();
  }
  static constexpr const char* kNames[] = {"LC_ALL", "LC_NUMERIC", "LC_TIME", "LANG"};
  std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

// scripts/setup installs the named locales; a machine without them fails here.
void requireLocale(const char* name) {
  const locale_t loc = newlocale(LC_ALL_MASK, name, locale_t{});
  ASSERT_TRUE(loc) << name << " is not installed (package locales-all)";
  freelocale(loc);
}

TEST_F(LocaleEnvironment, GermanLocaleGivesDecimalCommaAndItsDateForm) {
  requireLocale("de_DE.UTF-8");
  const TFormatSettings de = LocaleFormatSettings("de_DE.UTF-8");
  EXPECT_EQ(de.DecimalSeparator, ',');
  EXPECT_EQ(de.ThousandSeparator, '.');
  EXPECT_EQ(de.DateSeparator, '.');
  EXPECT_EQ(de.TimeSeparator, ':');
  EXPECT_EQ(de.ShortDateFormat, "dd/mm/yyyy");  // "/" stands for the date separator
  EXPECT_EQ(de.LongTimeFormat, "hh:nn:ss");
  EXPECT_EQ(de.ShortTimeFormat, "hh:nn");
  EXPECT_EQ(de.ShortMonthNames[2], "M\xC3\xA4r");  // UTF-8 even from a Latin-1 locale name below
  EXPECT_EQ(de.LongDayNames[0], "Sonntag");
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2, de), "1.234.567,89");

  requireLocale("de_DE");  // ISO-8859-1
  EXPECT_EQ(LocaleFormatSettings("de_DE").ShortMonthNames[2], "M\xC3\xA4r");
}

TEST_F(LocaleEnvironment, AmericanLocaleTimeWithAmPm) {
  requireLocale("en_US.UTF-8");
  const TFormatSettings us = LocaleFormatSettings("en_US.UTF-8");
  EXPECT_EQ(us.DecimalSeparator, '.');
  EXPECT_EQ(us.ThousandSeparator, ',');
  EXPECT_EQ(us.ShortDateFormat, "mm/dd/yyyy");
  EXPECT_EQ(us.LongTimeFormat, "hh:nn:ss AMPM");
  EXPECT_EQ(us.ShortTimeFormat, "hh:nn AMPM");
  EXPECT_EQ(us.TimeAMString, "AM");
}

TEST_F(LocaleEnvironment, NonAsciiThousandSeparatorBecomesBlank) {
  requireLocale("fr_FR.UTF-8");
  const TFormatSettings fr = LocaleFormatSettings("fr_FR.UTF-8");
  EXPECT_EQ(fr.DecimalSeparator, ',');
  EXPECT_EQ(fr.ThousandSeparator, ' ');  // the locale's narrow no-break space
}

TEST_F(LocaleEnvironment, UnknownLocaleAndCLocale) {
  const TFormatSettings unknown = LocaleFormatSettings("xx_NOWHERE.UTF-8");
  EXPECT_EQ(unknown.DecimalSeparator, '.');
  EXPECT_EQ(unknown.ShortDateFormat, InvariantFormatSettings().ShortDateFormat);
  const TFormatSettings c = LocaleFormatSettings("C");
  EXPECT_EQ(c.DecimalSeparator, '.');
  EXPECT_EQ(c.ThousandSeparator, ',');  // the C locale has none; the usual one is taken
  EXPECT_EQ(c.ShortDateFormat, "mm/dd/yy");
}

TEST_F(LocaleEnvironment, EnvironmentChoosesTheLocale) {
  requireLocale("de_DE.UTF-8");
  requireLocale("en_US.UTF-8");
  // LC_ALL wins over everything.
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  setenv("LANG", "en_US.UTF-8", 1);
  ResetFormatSettings();
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(FormatSettings.DateSeparator, '.');
  EXPECT_EQ(FloatToStr(1.5), "1,5");

  // Without it, numbers follow LC_NUMERIC and dates fall back to LANG.
  unsetenv("LC_ALL");
  setenv("LC_NUMERIC", "de_DE.UTF-8", 1);
  ResetFormatSettings();
  EXPECT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(FormatSettings.DateSeparator, '/');
  EXPECT_EQ(FormatSettings.ShortDateFormat, "mm/dd/yyyy");

  // And LC_TIME for dates.
  setenv("LC_TIME", "de_DE.UTF-8", 1);
  ResetFormatSettings();
  EXPECT_EQ(FormatSettings.DateSeparator, '.');
}

TEST(FormatSettingsTest, InvariantSettingsIgnoreTheLocale) {
  TFormatSettings de;
  de.DecimalSeparator = ',';
  de.ThousandSeparator = '.';
  TFormatSettingsOverride guard(de);
  EXPECT_EQ(FloatToStr(0.5), "0,5");
  EXPECT_EQ(FloatToStr(0.5, InvariantFormatSettings()), "0.5");
  EXPECT_EQ(Format("%.1f", {0.5}, InvariantFormatSettings()), "0.5");
  EXPECT_EQ(InvariantFormatSettings().ThousandSeparator, ',');
}

TEST(FormatSettingsTest, OverrideRestoresThePreviousSettings) {
  const char before = FormatSettings.DecimalSeparator;
  {
    TFormatSettings other;
    other.DecimalSeparator = before == ',' ? '.' : ',';
    TFormatSettingsOverride guard(other);
    EXPECT_EQ(FormatSettings.DecimalSeparator, other.DecimalSeparator);
  }
  EXPECT_EQ(FormatSettings.DecimalSeparator, before);
}

}  // namespace
