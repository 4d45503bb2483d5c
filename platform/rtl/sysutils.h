// Text and number routines of the run-time library.
//
// Sections:
//   1. Format settings: separators and date/time patterns, the user's
//      locale and the "."-only settings for text written for other programs
//   2. Text: case, comparison, trimming, searching, replacing, quoting
//   3. Integers to and from text
//   4. Floating-point numbers to and from text
//   5. Format: the framework's "%d %s %f..." formatting
//
// Strings hold UTF-8. Character positions in Pos and Copy are 1-based as the
// framework's are (Pos answers 0 when the text is absent): callers that work
// with 0-based indexes subtract 1. Every routine that writes or reads a
// decimal separator has an overload taking the TFormatSettings to use; the
// overload without one uses the global FormatSettings.
#pragma once

#include <array>
#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/set.h"

// ---------------------------------------------------------------------------
// 1. Format settings
// ---------------------------------------------------------------------------

// Separators and patterns used when numbers, dates and times are turned into
// text or read back. Date and time patterns use the framework's letters:
// d dd ddd dddd, m mm mmm mmmm, yy yyyy, h hh, n nn, s ss, AMPM; "/" stands
// for DateSeparator and ":" for TimeSeparator.
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "mm/dd/yyyy";
  std::string ShortTimeFormat = "hh:nn";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string TimeAMString = "AM";
  std::string TimePMString = "PM";
  std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::array<std::string, 12> LongMonthNames{"January", "February", "March",     "April",
                                             "May",     "June",     "July",      "August",
                                             "September", "October", "November", "December"};
  // Sunday first, as the framework's day numbers are.
  std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
};

// The settings of the user's locale; every routine without a settings
// argument uses them. Read from the environment at start-up.
extern TFormatSettings FormatSettings;

// "." decimal separator, "," thousand separator, English names: for text the
// system writes for other programs and files.
const TFormatSettings& InvariantFormatSettings();

// The settings of a named locale ("de_DE.UTF-8"); an empty name takes the
// user's locale from LC_ALL, else LC_NUMERIC (numbers) and LC_TIME (dates),
// else LANG. A locale the C library does not know gives the invariant
// settings.
TFormatSettings LocaleFormatSettings(const std::string& localeName = "");

// Reads FormatSettings from the environment again (undoes an override).
void ResetFormatSettings();

// Replaces FormatSettings for its lifetime and puts the previous value back
// when it ends (tests use it to run under a decimal-comma locale).
class TFormatSettingsOverride {
public:
  explicit TFormatSettingsOverride(const TFormatSettings& settings);
  ~TFormatSettingsOverride();
  TFormatSettingsOverride(const TFormatSettingsOverride&) = delete;
  TFormatSettingsOverride& operator=(const TFormatSettingsOverride&) = delete;

private:
  TFormatSettings saved_;
};

// ---------------------------------------------------------------------------
// 2. Text
// ---------------------------------------------------------------------------

// ASCII letters only; every other byte is kept.
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
// Every letter by the rules of the user's locale (UTF-8 text; bytes that are
// not valid UTF-8 are kept).
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);

// Ordinal comparison: < 0, 0 or > 0.
int32_t CompareStr(const std::string& a, const std::string& b);
// Ordinal comparison with ASCII letters folded to upper case.
int32_t CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
// Case-insensitive comparison by the collation of the user's locale.
int32_t AnsiCompareText(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);

// Remove spaces and control characters (every byte up to 32) from both ends,
// the start or the end.
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);

// 1-based position of the first Sub in S; 0 when absent or Sub is empty.
int32_t Pos(const std::string& sub, const std::string& s);
// Count bytes from the 1-based Index; an index below 1 counts as 1, a count
// reaching past the end stops there, a negative count or an index past the
// end gives "".
std::string Copy(const std::string& s, int64_t index, int64_t count);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = Set<TReplaceFlag>;
// Replaces the first (or, with rfReplaceAll, every) occurrence of OldPattern;
// rfIgnoreCase compares letters as AnsiUpperCase does. An empty OldPattern
// changes nothing.
std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags);

// The text in single quotes, each quote inside doubled.
std::string QuotedStr(const std::string& s);

// ---------------------------------------------------------------------------
// 3. Integers
// ---------------------------------------------------------------------------

std::string IntToStr(int64_t value);
std::string UIntToStr(uint64_t value);
// Upper-case hexadecimal, at least Digits digits (zero-padded). A negative
// value is written as its two's complement of the argument's width: 32 bits
// for types up to 32 bits, 64 bits otherwise (IntToHex(-1, 1) is "FFFFFFFF").
namespace rtl_detail {
std::string HexDigits(uint64_t bits, int32_t digits);
}
template <std::integral T>
std::string IntToHex(T value, int32_t digits) {
  if constexpr (sizeof(T) <= 4) {
    return rtl_detail::HexDigits(static_cast<uint32_t>(value), digits);
  } else {
    return rtl_detail::HexDigits(static_cast<uint64_t>(value), digits);
  }
}

// Text to integer as the framework reads it: leading blanks, an optional
// sign, decimal digits or hexadecimal after "$", "x", "0x" (hexadecimal
// may fill all bits: "$FFFFFFFF" is -1); nothing may follow. A text that is
// not such a number or lies outside the type raises EConvertError
// ""%s" is not a valid integer value".
int32_t StrToInt(const std::string& s);
int32_t StrToIntDef(const std::string& s, int32_t defaultValue);
bool TryStrToInt(const std::string& s, int32_t& value);
int64_t StrToInt64(const std::string& s);
int64_t StrToInt64Def(const std::string& s, int64_t defaultValue);
bool TryStrToInt64(const std::string& s, int64_t& value);

// ---------------------------------------------------------------------------
// 4. Floating-point numbers
// ---------------------------------------------------------------------------
//
// Every conversion to text rounds the exact binary value once, halves away
// from zero: 0.125 with two decimals is "0.13", while 1.005 (really
// 1.00499999999999989...) is "1.00". NaN and infinities are written "NAN",
// "INF" and "-INF".

enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber };

// The most significant digits the conversions keep (extended precision).
constexpr int32_t MaxFloatPrecision = 18;

// Precision significant digits (2..18), then:
//   ffGeneral  shortest of fixed and scientific notation, no trailing zeros;
//              scientific when the integer part has more than Precision digits
//              or the value is below 0.0001 ("1E15", "1.5E-5"); the exponent
//              has at least Digits digits (0..4), a sign only when negative
//   ffExponent "d.dddE+ddd": Precision digits, the exponent signed and of at
//              least Digits digits
//   ffFixed    Digits decimals (0..18); a value whose integer part has more
//              than Precision digits is written as ffGeneral
//   ffNumber   ffFixed with ThousandSeparator between groups of three
std::string FloatToStrF(long double value, TFloatFormat format, int32_t precision,
                        int32_t digits, const TFormatSettings& settings);
std::string FloatToStrF(long double value, TFloatFormat format, int32_t precision,
                        int32_t digits);
// ffGeneral with 15 significant digits.
std::string FloatToStr(long double value, const TFormatSettings& settings);
std::string FloatToStr(long double value);

// A picture of "0" (digit always written), "#" (digit when significant),
// "." (decimal separator), "," (thousand separators in the integer part) and
// literal text around the number, quoted with '...' or "..." when it holds
// pattern characters. An empty picture gives FloatToStr.
std::string FormatFloat(const std::string& picture, long double value,
                        const TFormatSettings& settings);
std::string FormatFloat(const std::string& picture, long double value);

// Text to number: blanks around, an optional sign, digits with at most one
// DecimalSeparator, an optional exponent ("E", "e" with an optional sign).
// No thousand separators. False for anything else and for a value outside the
// type's range.
bool TextToFloat(const std::string& s, long double& value, const TFormatSettings& settings);
bool TextToFloat(const std::string& s, long double& value);
bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& settings);
bool TryStrToFloat(const std::string& s, double& value);
bool TryStrToFloat(const std::string& s, long double& value, const TFormatSettings& settings);
bool TryStrToFloat(const std::string& s, long double& value);
// Raises EConvertError ""%s" is not a valid floating point value".
long double StrToFloat(const std::string& s, const TFormatSettings& settings);
long double StrToFloat(const std::string& s);
long double StrToFloatDef(const std::string& s, long double defaultValue,
                          const TFormatSettings& settings);
long double StrToFloatDef(const std::string& s, long double defaultValue);

// ---------------------------------------------------------------------------
// 5. Format
// ---------------------------------------------------------------------------

// One argument of Format: an integer (its width kept for %u and %x), a
// floating-point value, a text or a pointer.
class TVarRec {
public:
  enum class Kind { Integer, Float, String, Pointer };

  template <std::integral T>
    requires(!std::same_as<T, bool> && !std::same_as<T, char>)
  TVarRec(T v)
      : kind_(Kind::Integer), int_(static_cast<int64_t>(v)), wide_(sizeof(T) > 4),
        unsigned_(std::is_unsigned_v<T>) {}
  TVarRec(char c) : kind_(Kind::String), str_(1, c) {}
  TVarRec(float v) : kind_(Kind::Float), float_(v) {}
  TVarRec(double v) : kind_(Kind::Float), float_(v) {}
  TVarRec(long double v) : kind_(Kind::Float), float_(v) {}
  TVarRec(const char* s) : kind_(Kind::String), str_(s ? s : "") {}
  TVarRec(std::string s) : kind_(Kind::String), str_(std::move(s)) {}
  TVarRec(std::string_view s) : kind_(Kind::String), str_(s) {}
  TVarRec(const void* p) : kind_(Kind::Pointer), ptr_(p) {}

  Kind VType() const { return kind_; }
  int64_t Int() const { return int_; }
  bool IsWide() const { return wide_; }
  bool IsUnsigned() const { return unsigned_; }
  long double Float() const { return float_; }
  const std::string& Str() const { return str_; }
  const void* Ptr() const { return ptr_; }

private:
  Kind kind_;
  int64_t int_ = 0;
  bool wide_ = false;
  bool unsigned_ = false;
  long double float_ = 0;
  std::string str_;
  const void* ptr_ = nullptr;
};

// Writes Args into Fmt by its specifiers
//   "%" [index ":"] ["-"] [width] ["." precision] type
// with type d (integer; precision = minimum digits, zero-padded), u
// (unsigned), x (upper-case hexadecimal), s (text; precision = most
// characters), e, f, g, n (floating point, also taking integers; f and n
// default to 2 decimals, e and g to 15 digits; n groups thousands), p
// (pointer) and "%%" for "%". Width pads with blanks on the left ("-": on
// the right); "*" takes width or precision from the next integer argument;
// "index:" picks the argument (0-based) and later specifiers go on from it.
// A specifier that is malformed or does not fit its argument raises
// EConvertError "Format '%s' invalid or incompatible with argument"; one
// with no argument left "No argument for format '%s'".
std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args,
                   const TFormatSettings& settings);
std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args);
std::string Format(const std::string& fmt, const std::vector<TVarRec>& args,
                   const TFormatSettings& settings);
std::string Format(const std::string& fmt, const std::vector<TVarRec>& args);
