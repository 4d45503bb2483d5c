#include "platform/rtl/datetime.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/rtl/exceptions.h"

// Sections: calendar arithmetic | encoding and decoding | clock | formatting |
//           parsing | conversions

namespace {

// ---- calendar arithmetic -------------------------------------------------------

constexpr int32_t kMonthDays[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                                       {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// Days from 1970-01-01 to the given proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The date of a day count since 1970-01-01.
void CivilFromDays(int64_t z, int32_t& year, int32_t& month, int32_t& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int32_t>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

// A date-time split into a day number (days since 1899-12-30, the whole part
// truncated towards zero) and the milliseconds of the day, rounded to the
// millisecond first so that 23:59:59.9999 becomes the next midnight.
struct TimeStamp {
  int64_t Day = 0;
  int64_t MSec = 0;
};

TimeStamp ToTimeStamp(TDateTime dateTime) {
  // Beyond year 9999 in either direction there is no date to give.
  constexpr double kLimit = 3.0e6;
  if (!std::isfinite(dateTime) || std::fabs(dateTime) > kLimit) return {};
  const int64_t total = std::llround(dateTime * static_cast<double>(MSecsPerDay));
  TimeStamp ts;
  ts.Day = total / MSecsPerDay;
  ts.MSec = std::llabs(total) % MSecsPerDay;
  return ts;
}

// The date-time of a day number and a time of day, the time counting
// forwards from midnight also on negative days.
TDateTime ComposeDateTime(int64_t day, int64_t msec) {
  const double fraction = static_cast<double>(msec) / static_cast<double>(MSecsPerDay);
  const double whole = static_cast<double>(day);
  return day < 0 ? whole - fraction : whole + fraction;
}

const int64_t kDayOfEpoch = DaysFromCivil(1899, 12, 30);

// The long date has no setting of its own; callers only use the short one.
constexpr const char* kLongDateFormat = "dddd, mmmm d, yyyy";

}  // namespace

// ---- encoding and decoding ----------------------------------------------------------

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int32_t DaysInAMonth(int32_t year, int32_t month) {
  if (month < 1 || month > 12) return 0;
  return kMonthDays[IsLeapYear(year) ? 1 : 0][month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& date) {
  if (year < 1 || year > 9999 || month < 1 || month > 12) return false;
  if (day < 1 || day > DaysInAMonth(year, month)) return false;
  date = static_cast<double>(DaysFromCivil(year, month, day) - kDayOfEpoch);
  return true;
}

bool TryEncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec, TDateTime& time) {
  if (hour < 0 || hour >= 24 || min < 0 || min >= 60 || sec < 0 || sec >= 60 || msec < 0 || msec >= 1000)
    return false;
  const int64_t total = ((int64_t{hour} * 60 + min) * 60 + sec) * 1000 + msec;
  time = static_cast<double>(total) / static_cast<double>(MSecsPerDay);
  return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date)) throw EConvertError("Invalid argument to date encode");
  return date;
}

TDateTime EncodeTime(int32_t hour, int32_t min, int32_t sec, int32_t msec) {
  TDateTime time = 0;
  if (!TryEncodeTime(hour, min, sec, msec, time)) throw EConvertError("Invalid argument to time encode");
  return time;
}

void DecodeDate(TDateTime date, int32_t& year, int32_t& month, int32_t& day) {
  CivilFromDays(ToTimeStamp(date).Day + kDayOfEpoch, year, month, day);
}

void DecodeTime(TDateTime time, int32_t& hour, int32_t& min, int32_t& sec, int32_t& msec) {
  int64_t ms = ToTimeStamp(time).MSec;
  msec = static_cast<int32_t>(ms % 1000);
  ms /= 1000;
  sec = static_cast<int32_t>(ms % 60);
  ms /= 60;
  min = static_cast<int32_t>(ms % 60);
  hour = static_cast<int32_t>(ms / 60);
}

int32_t DayOfWeek(TDateTime date) {
  // 1899-12-30 was a Saturday (7).
  const int64_t day = ToTimeStamp(date).Day;
  return static_cast<int32_t>(((day % 7) + 7 + 6) % 7) + 1;
}

// ---- clock -------------------------------------------------------------------------

TDateTime TimeTToLocalDateTime(time_t t, int32_t msec) {
  std::tm parts{};
  if (!localtime_r(&t, &parts)) return 0;
  const int64_t day = DaysFromCivil(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday) - kDayOfEpoch;
  // A leap second (tm_sec 60) is kept inside its minute.
  const int64_t sec = (int64_t{parts.tm_hour} * 60 + parts.tm_min) * 60 + std::min(parts.tm_sec, 59);
  return ComposeDateTime(day, sec * 1000 + msec);
}

TDateTime Now() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  return TimeTToLocalDateTime(ts.tv_sec, static_cast<int32_t>(ts.tv_nsec / 1000000));
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::trunc(now);
}

// ---- formatting ------------------------------------------------------------------------

namespace {

struct DateParts {
  int32_t Year = 0, Month = 0, Day = 0, Hour = 0, Min = 0, Sec = 0, MSec = 0, WeekDay = 0;
  bool HasTime = false;
};

DateParts Split(TDateTime dateTime) {
  DateParts p;
  DecodeDate(dateTime, p.Year, p.Month, p.Day);
  DecodeTime(dateTime, p.Hour, p.Min, p.Sec, p.MSec);
  p.WeekDay = DayOfWeek(dateTime);
  p.HasTime = ToTimeStamp(dateTime).MSec != 0;
  return p;
}

std::string Digits(int64_t value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
  return buffer;
}

bool StartsWithNoCase(const std::string& text, size_t pos, const char* word) {
  for (size_t i = 0; word[i]; ++i) {
    if (pos + i >= text.size()) return false;
    if (std::tolower(static_cast<unsigned char>(text[pos + i])) != word[i]) return false;
  }
  return true;
}

// True when the format, outside quoted text, asks for a 12-hour clock.
bool UsesTwelveHourClock(const std::string& format) {
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (c == '"' || c == '\'') {
      const size_t close = format.find(c, i + 1);
      if (close == std::string::npos) return false;
      i = close;
    } else if (StartsWithNoCase(format, i, "am/pm") || StartsWithNoCase(format, i, "a/p") ||
               StartsWithNoCase(format, i, "ampm")) {
      return true;
    }
  }
  return false;
}

class DateFormatter {
public:
  DateFormatter(const DateParts& parts, const TFormatSettings& formats) : p_(parts), f_(formats) {}

  void Append(const std::string& format, int depth) {
    // Nested formats (c, ddddd, t) come from the settings; they may not nest again.
    if (depth > 2) return;
    const bool twelveHour = UsesTwelveHourClock(format);
    char lastLetter = 0;
    size_t i = 0;
    while (i < format.size()) {
      const char c = format[i];
      const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      size_t run = 1;
      while (i + run < format.size() &&
             std::tolower(static_cast<unsigned char>(format[i + run])) == lower)
        ++run;
      if (std::isalpha(static_cast<unsigned char>(c))) {
        if (lower == 'm' && lastLetter == 'h') {
          Minutes(run);
          lastLetter = 'n';
          i += run;
          continue;
        }
        lastLetter = lower;
      }
      switch (lower) {
        case 'y': out_ += run <= 2 ? Digits(p_.Year % 100, 2) : Digits(p_.Year, 4); i += run; break;
        case 'm': Month(run); i += run; break;
        case 'd': Day(run, depth); i += run; break;
        case 'h': Hour(run, twelveHour); i += run; break;
        case 'n': Minutes(run); i += run; break;
        case 's': out_ += run == 1 ? Digits(p_.Sec, 1) : Digits(p_.Sec, 2); i += run; break;
        case 'z': out_ += run <= 2 ? Digits(p_.MSec, 1) : Digits(p_.MSec, 3); i += run; break;
        case 't': Append(run == 1 ? f_.ShortTimeFormat : f_.LongTimeFormat, depth + 1); i += run; break;
        case 'c':
          Append(f_.ShortDateFormat, depth + 1);
          if (p_.HasTime) {
            out_ += ' ';
            Append(f_.LongTimeFormat, depth + 1);
          }
          i += run;
          break;
        case 'a': i += AmPm(format, i); break;
        case '/': out_ += f_.DateSeparator; ++i; break;
        case ':': out_ += f_.TimeSeparator; ++i; break;
        case '"':
        case '\'': i = Quoted(format, i); break;
        default: out_ += c; ++i; break;
      }
    }
  }

  const std::string& Result() const { return out_; }

private:
  void Month(size_t run) {
    if (run <= 2) out_ += Digits(p_.Month, static_cast<int>(run));
    else if (run == 3) out_ += f_.ShortMonthNames[p_.Month - 1];
    else out_ += f_.LongMonthNames[p_.Month - 1];
  }

  void Day(size_t run, int depth) {
    if (run <= 2) out_ += Digits(p_.Day, static_cast<int>(run));
    else if (run == 3) out_ += f_.ShortDayNames[p_.WeekDay - 1];
    else if (run == 4) out_ += f_.LongDayNames[p_.WeekDay - 1];
    else Append(run == 5 ? f_.ShortDateFormat : std::string(kLongDateFormat), depth + 1);
  }

  void Hour(size_t run, bool twelveHour) {
    int32_t hour = p_.Hour;
    if (twelveHour) {
      hour %= 12;
      if (hour == 0) hour = 12;
    }
    out_ += Digits(hour, run == 1 ? 1 : 2);
  }

  void Minutes(size_t run) { out_ += Digits(p_.Min, run == 1 ? 1 : 2); }

  // Writes the am/pm marker that starts at pos; returns the characters used.
  size_t AmPm(const std::string& format, size_t pos) {
    const bool pm = p_.Hour >= 12;
    if (StartsWithNoCase(format, pos, "am/pm")) {
      out_ += format.substr(pm ? pos + 3 : pos, 2);
      return 5;
    }
    if (StartsWithNoCase(format, pos, "a/p")) {
      out_ += format[pm ? pos + 2 : pos];
      return 3;
    }
    if (StartsWithNoCase(format, pos, "ampm")) {
      out_ += pm ? f_.TimePMString : f_.TimeAMString;
      return 4;
    }
    out_ += format[pos];
    return 1;
  }

  // Copies quoted text; returns the position after the closing quote.
  size_t Quoted(const std::string& format, size_t pos) {
    const size_t close = format.find(format[pos], pos + 1);
    const size_t end = close == std::string::npos ? format.size() : close;
    out_.append(format, pos + 1, end - pos - 1);
    return close == std::string::npos ? end : close + 1;
  }

  const DateParts& p_;
  const TFormatSettings& f_;
  std::string out_;
};

}  // namespace

std::string FormatDateTime(const std::string& format, TDateTime dateTime, const TFormatSettings& settings) {
  const DateParts parts = Split(dateTime);
  DateFormatter formatter(parts, settings);
  formatter.Append(format.empty() ? std::string("c") : format, 0);
  return formatter.Result();
}

std::string FormatDateTime(const std::string& format, TDateTime dateTime) {
  return FormatDateTime(format, dateTime, FormatSettings);
}

std::string DateToStr(TDateTime date) { return FormatDateTime("ddddd", date); }
std::string TimeToStr(TDateTime time) { return FormatDateTime("tt", time); }
std::string DateTimeToStr(TDateTime dateTime) { return FormatDateTime("c", dateTime); }

// ---- parsing ---------------------------------------------------------------------------

namespace {

// Reads an unsigned number of one to four digits at pos.
bool ReadNumber(const std::string& text, size_t& pos, int32_t& value, size_t& digits) {
  digits = 0;
  value = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    if (++digits > 4) return false;
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  return digits > 0;
}

// The bytes that may stand between the numbers of a date: the date
// separator, blanks, and the literal text of the short date format (such as
// the year, month and day signs of East Asian formats).
std::string SeparatorBytes(const TFormatSettings& settings) {
  std::string bytes{settings.DateSeparator, ' '};
  for (char c : settings.ShortDateFormat) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != 'd' && lower != 'm' && lower != 'y' && c != '/' && !std::isdigit(static_cast<unsigned char>(c)))
      bytes += c;
  }
  return bytes;
}

// The order of day, month and year in a date format: "DMY", "MDY" or "YMD".
std::string FieldOrder(const std::string& format) {
  std::string order;
  for (char c : format) {
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if ((upper == 'D' || upper == 'M' || upper == 'Y') && order.find(upper) == std::string::npos)
      order += upper;
  }
  return order.size() == 3 ? order : std::string("MDY");
}

int32_t CurrentYear() {
  int32_t year = 0, month = 0, day = 0;
  DecodeDate(Now(), year, month, day);
  return year;
}

// A year of one or two digits in the century around the current year.
int32_t ExpandYear(int32_t year, size_t digits) {
  if (digits > 2) return year;
  const int32_t now = CurrentYear();
  int32_t full = now - now % 100 + year;
  if (full < now - 50) full += 100;
  else if (full >= now + 50) full -= 100;
  return full;
}

}  // namespace

bool TryStrToDate(const std::string& text, TDateTime& date, const TFormatSettings& settings) {
  const std::string separators = SeparatorBytes(settings);
  const auto isSeparator = [&](char c) { return separators.find(c) != std::string::npos; };
  int32_t values[3] = {0, 0, 0};
  size_t lastDigits = 0;
  size_t count = 0;
  size_t pos = text.find_first_not_of(' ');
  if (pos == std::string::npos) return false;
  while (count < 3 && pos < text.size()) {
    if (!ReadNumber(text, pos, values[count], lastDigits)) return false;
    ++count;
    const size_t numberEnd = pos;
    while (pos < text.size() && isSeparator(text[pos])) ++pos;
    if (pos == numberEnd) break;
  }
  if (pos != text.size() || count < 2) return false;

  const std::string order = FieldOrder(settings.ShortDateFormat);
  int32_t day = 0, month = 0, year = 0;
  if (count == 2) {
    // Day and month in the format's order; the year is this year's.
    const bool dayFirst = order.find('D') < order.find('M');
    day = dayFirst ? values[0] : values[1];
    month = dayFirst ? values[1] : values[0];
    year = CurrentYear();
  } else {
    for (size_t i = 0; i < 3; ++i) {
      if (order[i] == 'D') day = values[i];
      else if (order[i] == 'M') month = values[i];
      else year = values[i];
    }
    if (order[2] == 'Y') year = ExpandYear(year, lastDigits);
    else if (order[0] == 'Y' && values[0] < 100) year = ExpandYear(year, 2);
  }
  return TryEncodeDate(year, month, day, date);
}

bool TryStrToDate(const std::string& text, TDateTime& date) {
  return TryStrToDate(text, date, FormatSettings);
}

TDateTime StrToDate(const std::string& text) {
  TDateTime date = 0;
  if (!TryStrToDate(text, date)) throw EConvertError("'" + text + "' is not a valid date");
  return date;
}

// ---- conversions -------------------------------------------------------------------------

int32_t DateTimeToFileDate(TDateTime dateTime) {
  const DateParts p = Split(dateTime);
  if (p.Year < 1980 || p.Year > 2107) return 0;
  const uint32_t date = (static_cast<uint32_t>(p.Year - 1980) << 9) | (static_cast<uint32_t>(p.Month) << 5) |
                        static_cast<uint32_t>(p.Day);
  const uint32_t time = (static_cast<uint32_t>(p.Hour) << 11) | (static_cast<uint32_t>(p.Min) << 5) |
                        static_cast<uint32_t>(p.Sec / 2);
  return static_cast<int32_t>((date << 16) | time);
}

TDateTime FileDateToDateTime(int32_t fileDate) {
  const uint32_t v = static_cast<uint32_t>(fileDate);
  const uint32_t date = v >> 16;
  const uint32_t time = v & 0xFFFF;
  TDateTime d = 0, t = 0;
  if (!TryEncodeDate(static_cast<int32_t>((date >> 9) + 1980), static_cast<int32_t>((date >> 5) & 15),
                     static_cast<int32_t>(date & 31), d))
    return 0;
  if (!TryEncodeTime(static_cast<int32_t>(time >> 11), static_cast<int32_t>((time >> 5) & 63),
                     static_cast<int32_t>((time & 31) * 2), 0, t))
    return 0;
  return d + t;
}

int64_t DateTimeToUnix(TDateTime dateTime) {
  const TimeStamp ts = ToTimeStamp(dateTime);
  return (ts.Day - static_cast<int64_t>(UnixDateDelta)) * SecsPerDay + ts.MSec / 1000;
}

TDateTime UnixToDateTime(int64_t unixTime) {
  int64_t days = unixTime / SecsPerDay;
  int64_t secs = unixTime % SecsPerDay;
  if (secs < 0) {
    secs += SecsPerDay;
    --days;
  }
  return ComposeDateTime(days + static_cast<int64_t>(UnixDateDelta), secs * 1000);
}
