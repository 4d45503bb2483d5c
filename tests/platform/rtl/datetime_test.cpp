#include "platform/rtl/datetime.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>

#include "platform/rtl/exceptions.h"

namespace {

// Fixed English settings, so that results do not depend on the test machine's locale.
TFormatSettings UsFormats() {
  TFormatSettings f = InvariantFormatSettings();
  f.DateSeparator = '/';
  f.TimeSeparator = ':';
  f.ShortDateFormat = "m/d/yyyy";
  f.ShortTimeFormat = "h:nn AMPM";
  f.LongTimeFormat = "h:nn:ss AMPM";
  f.TimeAMString = "AM";
  f.TimePMString = "PM";
  return f;
}

TEST(DateTime, EncodesDaysSince1899December30) {
  const struct {
    int y, m, d;
    double serial;
  } cases[] = {
      {1899, 12, 30, 0}, {1900, 1, 1, 2}, {1899, 12, 29, -1}, {2000, 2, 29, 36585},
      {1970, 1, 1, 25569}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.serial);
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial);
    int32_t y = 0, m = 0, d = 0;
    DecodeDate(c.serial, y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
  }
  EXPECT_EQ(DayOfWeek(EncodeDate(2024, 12, 31)), 3);  // Tuesday
  EXPECT_EQ(DayOfWeek(-1), 6);                         // 1899-12-29, a Friday
}

TEST(DateTime, InvalidPartsRaiseConvertError) {
  const int dates[][3] = {{2023, 2, 29}, {2024, 13, 1}, {2024, 0, 1}, {0, 1, 1}, {10000, 1, 1}, {2024, 4, 31}};
  for (const auto& d : dates) EXPECT_THROW(EncodeDate(d[0], d[1], d[2]), EConvertError) << d[0] << d[1] << d[2];
  const int times[][4] = {{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
  for (const auto& t : times) EXPECT_THROW(EncodeTime(t[0], t[1], t[2], t[3]), EConvertError);
  TDateTime out = 0;
  EXPECT_TRUE(TryEncodeDate(2024, 2, 29, out));
}

TEST(DateTime, DecodesTimeOfDayAlsoBeforeTheEpochAndRoundsToMilliseconds) {
  int32_t h = 0, n = 0, s = 0, ms = 0;
  DecodeTime(EncodeTime(13, 45, 30, 250), h, n, s, ms);
  EXPECT_EQ((std::array{h, n, s, ms}), (std::array{13, 45, 30, 250}));
  DecodeTime(-1.25, h, n, s, ms);  // 1899-12-29 06:00
  EXPECT_EQ(h, 6);
  // A hair before midnight is the next day at 00:00:00.000.
  const TDateTime almost = EncodeDate(2024, 12, 31) + 0.99999999999;
  int32_t y = 0, m = 0, d = 0;
  DecodeDate(almost, y, m, d);
  DecodeTime(almost, h, n, s, ms);
  EXPECT_EQ((std::array{y, m, d, h, n, s, ms}), (std::array{2025, 1, 1, 0, 0, 0, 0}));
}

TEST(DateTime, FormatsWithThePatternLetters) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 45);
  const std::pair<const char*, const char*> cases[] = {
      {"yyyymmddhhmmss", "20240305140709"},  // mm after hh is minutes
      {"ddd mmm dd hh:nn:ss yyyy", "Tue Mar 05 14:07:09 2024"},
      {"d/m/yy", "5/3/24"},
      {"dddd, mmmm d", "Tuesday, March 5"},
      {"h:nn:ss.zzz", "14:07:09.045"},
      {"h:n:s.z", "14:7:9.45"},
      {"hh:nn am/pm", "02:07 pm"},
      {"h a/p", "2 p"},
      {"h AMPM", "2 PM"},
      {"\"log\" yyyy 'at' h", "log 2024 at 14"},
      {"ddddd", "3/5/2024"},
      {"c", "3/5/2024 2:07:09 PM"},
      {"t", "2:07 PM"},
      {"x-y!", "x-24!"},
  };
  const TFormatSettings us = UsFormats();
  for (const auto& [format, text] : cases) EXPECT_EQ(FormatDateTime(format, t, us), text) << format;
  EXPECT_EQ(FormatDateTime("c", EncodeDate(2024, 3, 5), us), "3/5/2024");  // no time part
  EXPECT_EQ(FormatDateTime("h:nn am/pm", EncodeTime(0, 5, 0, 0), us), "12:05 am");
  EXPECT_EQ(FormatDateTime("\"open", t, us), "open");  // an unclosed quote runs to the end
}

TEST(DateTime, FormatsWithGivenSeparatorsAndNames) {
  TFormatSettings f = UsFormats();
  f.DateSeparator = '.';
  f.TimeSeparator = '-';
  f.ShortDateFormat = "dd/mm/yyyy";
  f.LongTimeFormat = "hh:nn:ss";
  f.LongMonthNames[2] = "März";
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 0);
  EXPECT_EQ(FormatDateTime("c", t, f), "05.03.2024 14-07-09");
  EXPECT_EQ(FormatDateTime("d mmmm", t, f), "5 März");
}

TEST(DateTime, ParsesDatesInTheShortDateOrder) {
  TFormatSettings f = UsFormats();
  TDateTime d = 0;
  ASSERT_TRUE(TryStrToDate("12/31/2024", d, f));
  EXPECT_EQ(d, EncodeDate(2024, 12, 31));
  f.ShortDateFormat = "d.M.yyyy";
  f.DateSeparator = '.';
  ASSERT_TRUE(TryStrToDate(" 31.12.2024 ", d, f));
  EXPECT_EQ(d, EncodeDate(2024, 12, 31));
  f.ShortDateFormat = "yyyy-MM-dd";
  f.DateSeparator = '-';
  ASSERT_TRUE(TryStrToDate("2024-02-29", d, f));
  EXPECT_EQ(d, EncodeDate(2024, 2, 29));

  int32_t thisYear = 0, year = 0, m = 0, day = 0;
  DecodeDate(Now(), thisYear, m, day);
  f.ShortDateFormat = "d.M.yyyy";
  f.DateSeparator = '.';
  ASSERT_TRUE(TryStrToDate("1.2.05", d, f));  // two-digit year: this century's window
  DecodeDate(d, year, m, day);
  EXPECT_EQ(year % 100, 5);
  EXPECT_LE(std::abs(year - thisYear), 50);

  for (const char* bad : {"", "31.13.2024", "30.2.2024", "1.2.3.4", "a.b.c", "1..2024", "99999.1.1", "1.2.2024x"})
    EXPECT_FALSE(TryStrToDate(bad, d, f)) << bad;
  EXPECT_THROW(StrToDate("not a date"), EConvertError);

  // Literal text of the format may stand between and after the numbers.
  f.ShortDateFormat = "yyyy\u5e74mm\u6708dd\u65e5";
  f.DateSeparator = '/';
  ASSERT_TRUE(TryStrToDate("2024\u5e7412\u670831\u65e5", d, f));
  EXPECT_EQ(d, EncodeDate(2024, 12, 31));
  EXPECT_FALSE(TryStrToDate("2024x12x31", d, f));
  EXPECT_EQ(StrToDate(DateToStr(EncodeDate(2024, 12, 31))), EncodeDate(2024, 12, 31));  // the settings in use
}

TEST(DateTime, FileDateAndUnixConversions) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 9, 0);
  // DOS dates keep two-second steps.
  EXPECT_EQ(FileDateToDateTime(DateTimeToFileDate(t)), EncodeDate(2024, 3, 5) + EncodeTime(14, 7, 8, 0));
  EXPECT_EQ(DateTimeToFileDate(EncodeDate(1979, 12, 31)), 0);
  EXPECT_EQ(FileDateToDateTime(0), 0);  // day 0 of month 0 is no date
  EXPECT_NE(DateTimeToFileDate(EncodeDate(2100, 1, 1)), 0);
  EXPECT_EQ(FileDateToDateTime(DateTimeToFileDate(EncodeDate(2100, 1, 1))), EncodeDate(2100, 1, 1));

  EXPECT_EQ(DateTimeToUnix(EncodeDate(1970, 1, 1)), 0);
  EXPECT_EQ(DateTimeToUnix(t), 1709647629);
  EXPECT_EQ(UnixToDateTime(1709647629), t);
  EXPECT_EQ(UnixToDateTime(-86400 - 3600), EncodeDate(1969, 12, 30) + EncodeTime(23, 0, 0, 0));
  EXPECT_EQ(DateTimeToUnix(UnixToDateTime(-2209161600 - 3600 * 18)), -2209161600 - 3600 * 18);  // before 1899-12-30
}

TEST(DateTime, ClockIsLocalTime) {
  const TDateTime now = Now();
  const time_t t = time(nullptr);
  EXPECT_NEAR(now, TimeTToLocalDateTime(t), 2.0 / SecsPerDay);
  EXPECT_EQ(Date(), std::trunc(now));
  EXPECT_LT(Time(), 1.0);
}

}  // namespace
