#include <gtest/gtest.h>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/sysutils.h"

namespace {

TFormatSettings WithDecimal(char separator) {
  TFormatSettings settings = InvariantFormatSettings();
  settings.DecimalSeparator = separator;
  settings.ThousandSeparator = separator == ',' ? '.' : ',';
  return settings;
}

TEST(FloatParsing, EitherSeparatorUnderEitherLocale) {
  for (char separator : {'.', ','}) {
    TFormatSettingsOverride guard(WithDecimal(separator));
    SCOPED_TRACE(separator);
    EXPECT_EQ(IEStrToFloatDef("1,5", 0), 1.5);
    EXPECT_EQ(IEStrToFloatDef("1.5", 0), 1.5);
    EXPECT_EQ(IEStrToFloatDef("-2.25e1", 0), -22.5);
    EXPECT_EQ(IEStrToFloatDef("abc", 7), 7);
    EXPECT_EQ(IEStrToFloatDef("", 7), 7);
    EXPECT_EQ(IEStrToFloatDef("1.2.3", 7), 7);
    EXPECT_EQ(IEStrToFloatDef("1e400", 7), 7);  // beyond a double
    EXPECT_EQ(IEStrToFloatDef("-1,5e400", 7), 7);
    EXPECT_EQ(IEWideStrToFloatDef(u"3,25", 0), 3.25);
  }
}

TEST(FloatText, DotWhateverTheLocale) {
  for (char separator : {'.', ','}) {
    TFormatSettingsOverride guard(WithDecimal(separator));
    EXPECT_EQ(IEFloatToStrDot(1.5), "1.5");
    EXPECT_EQ(IEFloatToStrDot(-0.25), "-0.25");
    EXPECT_EQ(IEFloatToStrDot(1234567.125), "1234567.125");  // no thousand separators
    EXPECT_EQ(IEFloatToStrDot(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(IEFloatToStrDot(2e20), "2E20");
    EXPECT_EQ(IEFloatToStrDot(300), "300");
  }
  TFormatSettings odd = WithDecimal(';');
  TFormatSettingsOverride guard(odd);
  EXPECT_EQ(IEFloatToStrDot(0.5), "0.5");
}

TEST(FloatText, GermanLocale) {
  TFormatSettingsOverride guard(LocaleFormatSettings("de_DE.UTF-8"));
  ASSERT_EQ(FormatSettings.DecimalSeparator, ',');
  EXPECT_EQ(IEFloatToStrDot(1234.5), "1234.5");
  EXPECT_EQ(IEStrToFloatDef("1234.5", 0), 1234.5);
  EXPECT_EQ(IEStrToFloatDef("1234,5", 0), 1234.5);
}

TEST(FloatParsing, TextToFloatTakesTheLocaleSeparatorOnly) {
  TFormatSettingsOverride guard(WithDecimal(','));
  long double value = 0;
  EXPECT_TRUE(IETextToFloat("2,5", value));
  EXPECT_EQ(value, 2.5L);
  EXPECT_FALSE(IETextToFloat("2.5", value));
}

TEST(NullTerminated, CopiesAndScans) {
  char buffer[16];
  EXPECT_EQ(IEStrPCopy(buffer, "a,b,c"), buffer);
  EXPECT_EQ(IEStrLen(buffer), 5u);
  EXPECT_EQ(IEStrScan(buffer, ','), buffer + 1);
  EXPECT_EQ(IEAnsiStrScan(buffer, ','), buffer + 1);
  EXPECT_EQ(IEStrRScan(buffer, ','), buffer + 3);
  EXPECT_EQ(IEStrScan(buffer, 'x'), nullptr);
  IEStrMove(buffer + 1, buffer, 5);  // overlapping
  EXPECT_EQ(std::string(buffer, 6), "aa,b,c");
  char copy[16];
  IEStrCopy(copy, "xyz");
  EXPECT_STREQ(copy, "xyz");

  char16_t wide[8];
  EXPECT_EQ(IEWideStrPCopy(wide, u"wide"), wide);
  EXPECT_EQ(IEWideStrLen(wide), 4u);
  char16_t wideCopy[8];
  EXPECT_EQ(IEWideStrCopy(wideCopy, wide), wideCopy);
  EXPECT_EQ(std::u16string(wideCopy), u"wide");
}

TEST(ExifDate, FixedFields) {
  EXPECT_EQ(IEEXIFDateToDateTime("2009:04:12 13:05:59"), EncodeDate(2009, 4, 12) + EncodeTime(13, 5, 59, 0));
  EXPECT_EQ(IEEXIFDateToDateTime("  2009:04:12 13:05:59 "), EncodeDate(2009, 4, 12) + EncodeTime(13, 5, 59, 0));
  EXPECT_EQ(IEEXIFDateToDateTime("2009-04-12T13:05:59"), EncodeDate(2009, 4, 12) + EncodeTime(13, 5, 59, 0));
  for (const char* bad : {"", "0000:00:00 00:00:00", "2009:13:12 13:05:59", "2009:04:12 25:05:59", "2009:04:12",
                          "20x9:04:12 13:05:59", "    :  :     :  :  "})
    EXPECT_EQ(IEEXIFDateToDateTime(bad), 0) << bad;
}

TEST(ExifHeader, Recognised) {
  EXPECT_TRUE(IEIsEXIFHeader("Exif\0\0MM", 8));
  EXPECT_FALSE(IEIsEXIFHeader("Exif", 4));
  EXPECT_FALSE(IEIsEXIFHeader("Exig\0\0", 6));
  EXPECT_FALSE(IEIsEXIFHeader(nullptr, 0));
}

}  // namespace
