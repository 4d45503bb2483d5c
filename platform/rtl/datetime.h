// Dates and times.
//
// Sections: the date-time type | encoding and decoding | clock |
//           formatting and parsing | conversions
//
// A TDateTime counts days since 1899-12-30 00:00; the fraction is the time
// of day. Before that day the whole part is negative and the fraction still
// counts forwards from midnight (-1.25 is 1899-12-29 06:00).
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "platform/rtl/sysutils.h"

// ---- the date-time type -------------------------------------------------------

using TDateTime = double;

constexpr int32_t HoursPerDay = 24;
constexpr int32_t MinsPerDay = HoursPerDay * 60;
constexpr int32_t SecsPerDay = MinsPerDay * 60;
constexpr int64_t MSecsPerDay = int64_t{SecsPerDay} * 1000;
// Days from 1899-12-30 to 1970-01-01.
constexpr double UnixDateDelta = 25569.0;

// ---- encoding and decoding ----------------------------------------------------------

bool IsLeapYear(int32_t year);
int32_t DaysInAMonth(int32_t year, int32_t month);
// False for a year outside 1..9999 or a month or day out of range.
bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date);
// False unless hour < 24, min < 60, sec < 60 and msec < 1000.
bool TryEncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec, TDateTime& time);
// As the Try forms; invalid parts raise EConvertError.
TDateTime EncodeDate(int32_t year, int32_t month, int32_t day);
TDateTime EncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec);
void DecodeDate(TDateTime date, int32_t& year, int32_t& month, int32_t& day);
void DecodeTime(TDateTime time, int32_t& hour, int32_t& min, int32_t& sec, int32_t& msec);
// 1 = Sunday .. 7 = Saturday.
int32_t DayOfWeek(TDateTime date);

// ---- clock -------------------------------------------------------------------------

// Local date and time, millisecond resolution.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// ---- formatting and parsing ------------------------------------------------------------

// Formats with the pattern letters d dd ddd dddd ddddd (short date), dddddd
// (long date), m mm mmm mmmm (minutes right after an hour), yy yyyy, h hh,
// n nn, s ss, z zzz, t tt (short and long time), c (short date, and the long
// time unless it is midnight), am/pm a/p ampm (12-hour clock), "/" and ":"
// (the settings' separators) and quoted text '...' or "..."; any other
// character is copied. Without settings the global FormatSettings count.
std::string FormatDateTime(const std::string& format, TDateTime dateTime);
std::string FormatDateTime(const std::string& format, TDateTime dateTime, const TFormatSettings& settings);
std::string DateToStr(TDateTime date);
std::string TimeToStr(TDateTime time);
std::string DateTimeToStr(TDateTime dateTime);
// Reads a date in the order of the short date format: day, month and year
// as numbers, separated by the date separator, blanks or the format's own
// literal text; a two-digit year lies in the century around now, a missing
// year is this year.
bool TryStrToDate(const std::string& text, TDateTime& date);
bool TryStrToDate(const std::string& text, TDateTime& date, const TFormatSettings& settings);
// As TryStrToDate; an unreadable text raises EConvertError.
TDateTime StrToDate(const std::string& text);

// ---- conversions -------------------------------------------------------------------------

// The DOS date-time (two-second steps, years 1980..2107) of a local time;
// 0 outside that range.
int32_t DateTimeToFileDate(TDateTime dateTime);
// The local time of a DOS date-time; 0 when it holds no valid date.
TDateTime FileDateToDateTime(int32_t fileDate);
// Seconds since 1970-01-01 read as the same calendar date and time.
int64_t DateTimeToUnix(TDateTime dateTime);
TDateTime UnixToDateTime(int64_t unixTime);
// The local time of a system time value (seconds since the epoch, UTC).
TDateTime TimeTToLocalDateTime(time_t t, int32_t msec = 0);
