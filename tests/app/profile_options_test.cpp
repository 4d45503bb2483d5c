#include <gtest/gtest.h>

#include "app/vesk_main.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/process.h"

namespace {

TFormatSettings WithDecimal(char separator) {
  TFormatSettings settings = InvariantFormatSettings();
  settings.DecimalSeparator = separator;
  settings.ThousandSeparator = separator == ',' ? '.' : ',';
  return settings;
}

}  // namespace

TEST(ProfileOptions, ChartFilesByListIndex) {
  const char* expected[] = {
      "ColorChecker.cht",   "ColorCheckerSG.cht",       "ColorCheckerPassport.cht", "ColorChecker.cht",
      "CMP_DT_003.cht",     "CMP_Digital_Target-4.cht", "CMP_Digital_Target-7.cht", "Hutchcolor.cht",
      "LaserSoftDCPro.cht", "QPcard_201.cht",           "QPcard_202.cht",           "it8.cht",
      "LaserSoftAdv.cht",   "SpyderChecker.cht",        "SpyderChecker24.cht"};
  static_assert(std::size(expected) == ChartTypeCount);
  for (int32_t i = 0; i < ChartTypeCount; ++i) EXPECT_EQ(GetChartFileName(i), expected[i]) << i;
  EXPECT_EQ(GetChartFileName(-1), "ColorChecker.cht");
  EXPECT_EQ(GetChartFileName(ChartTypeCount), "ColorChecker.cht");
}

TEST(ProfileOptions, LettersByListIndex) {
  struct Case {
    int32_t index;
    const char *quality, *algorithm, *intent;
  };
  const Case cases[] = {
      {-1, "m", "l", ""},      {0, "l", "l", "-Z p "}, {1, "m", "x", "-Z r "}, {2, "h", "g", "-Z s "},
      {3, "u", "s", "-Z a "}, {4, "m", "X", ""},      {5, "m", "m", ""},      {6, "m", "G", ""},
      {7, "m", "S", ""},      {8, "m", "l", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetQualityLetter(c.index), c.quality) << c.index;
    EXPECT_EQ(GetAlgorithmLetter(c.index), c.algorithm) << c.index;
    EXPECT_EQ(GetIntentOption(c.index), c.intent) << c.index;
  }
}

TEST(ProfileOptions, NumbersReachTheToolkitWithAPointInEveryLocale) {
  struct Case {
    char separator;
    const char* gammaText;
    const char* gammaOption;
  };
  const Case gammas[] = {
      {'.', "2.2", ""},         {',', "2,2", ""},          {'.', "2.20", ""},
      {'.', "1.0", "-G 1 "},    {',', "1,8", "-G 1.8 "},   {',', "2.5", "-G 2.5 "},
      {',', "2,25", "-G 2.25 "}, {'.', "", "-G 0 "},       {',', "abc", "-G 0 "},
  };
  for (const Case& c : gammas)
    EXPECT_EQ(GetGammaOption(c.gammaText, WithDecimal(c.separator)), c.gammaOption) << c.gammaText;

  for (char separator : {'.', ','}) {
    // The user's locale must not leak into the toolkit's numbers.
    TFormatSettingsOverride locale(WithDecimal(separator));
    struct Tweak {
      double value;
      const char *whitePoint, *darkAreas;
    };
    const Tweak tweaks[] = {{1.0, "", ""}, {1.1, "-U 1.1 ", "-V 1.1 "}, {0.95, "-U 0.95 ", "-V 0.95 "},
                            {2.5, "-U 2.5 ", "-V 2.5 "},
                            // Only exactly 1.0 is the norm, as for the spin edit's red mark.
                            {1.0000000001, "-U 1.0000000001 ", "-V 1.0000000001 "}};
    for (const Tweak& t : tweaks) {
      EXPECT_EQ(GetWhitePointOption(t.value), t.whitePoint) << separator << t.value;
      EXPECT_EQ(GetDarkAreasOption(t.value), t.darkAreas) << separator << t.value;
      EXPECT_EQ(TProfileCreator::TweakOffNorm(t.value), *t.whitePoint != '\0') << t.value;
    }
  }
}

TEST(ProfileOptions, ProfileTextsAndTheDescriptionWrittenBack) {
  const TProfileMessages messages;
  struct Case {
    TProfileChoices in;
    TProfileTexts texts;
    const char* descriptionAfter;
  };
  TProfileChoices empty;
  empty.Device = empty.Model = empty.Description = empty.Copyright = "";
  TProfileChoices own = empty;
  own.Device = "D 1";
  own.Model = "M \"2\"";
  own.Description = "Desc";
  own.Copyright = "(c) me";
  const Case cases[] = {
      {empty, {"Camera", "Model", "VeSk", "Copyright_free"}, "VeSk"},
      {own, {"D 1", "M \"2\"", "Desc", "(c) me"}, "Desc"},
      {TProfileChoices{}, {"Camera", "Model", "VeSk", "Copyright_free"}, "VeSk"},
  };
  for (const Case& c : cases) {
    TProfileChoices choices = c.in;
    TProfileTexts texts = TakeProfileTexts(choices, messages);
    EXPECT_EQ(texts.Device, c.texts.Device);
    EXPECT_EQ(texts.Model, c.texts.Model);
    EXPECT_EQ(texts.Description, c.texts.Description);
    EXPECT_EQ(texts.Copyright, c.texts.Copyright);
    EXPECT_EQ(choices.Description, c.descriptionAfter);
    EXPECT_EQ(choices.Device, c.in.Device) << "only the description is written back";
  }
}

TEST(ProfileOptions, QuotingKeepsQuotesAndBackslashesInTheText) {
  struct Case {
    const char *text, *quoted;
  };
  const Case cases[] = {
      {"Camera", "\"Camera\""},
      {"My \"Best\" Cam", "\"My \\\"Best\\\" Cam\""},
      {"a\\b", "\"a\\b\""},
      {"a\\\"b", "\"a\\\\\\\"b\""},
      {"end\\", "\"end\\\\\""},
      {"", "\"\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuoteArgument(c.text), c.quoted) << c.text;
    // The batch interpreter hands the text on unchanged, also glued to an option.
    EXPECT_EQ(SplitCommandLine("\"/bin/prog\" " + QuoteArgument(c.text) + " -A" + QuoteArgument(c.text)),
              (std::vector<std::string>{"/bin/prog", c.text, std::string("-A") + c.text}));
  }
}
