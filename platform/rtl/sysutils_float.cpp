// Floating-point numbers to and from text.
//
// Sections: exact decimal expansion of a binary value, rounding, the
// FloatToStrF formats, FormatFloat pictures, reading numbers.
//
// Every conversion to text first expands the value into its exact decimal
// digits (a binary fraction always has a finite decimal expansion) and then
// rounds once at the position the format asks for, halves away from zero.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <locale.h>

#include "platform/rtl/sysutils.h"

namespace {

// ---------------------------------------------------------------------------
// Exact decimal expansion
// ---------------------------------------------------------------------------

// value = 0.d1 d2 d3 ... x 10^Exponent; Digits has no leading or trailing
// zeros and is empty for zero.
struct Decimal {
  bool negative = false;
  std::string digits;
  int32_t exponent = 0;
  bool IsZero() const { return digits.empty(); }
};

// An unsigned integer in base 1e9, least significant limb first.
class BigInt {
public:
  static constexpr uint64_t kBase = 1000000000;

  void MulAdd(uint64_t factor, uint64_t add) {
    uint64_t carry = add;
    for (uint32_t& limb : limbs_) {
      const uint64_t v = limb * factor + carry;
      limb = static_cast<uint32_t>(v % kBase);
      carry = v / kBase;
    }
    while (carry) {
      limbs_.push_back(static_cast<uint32_t>(carry % kBase));
      carry /= kBase;
    }
  }

  // Multiplies by Factor^Count, Factor^Step (below 2^31) at a time.
  void MulPower(uint64_t factor, int32_t count, int32_t step) {
    uint64_t chunk = 1;
    for (int32_t i = 0; i < step; ++i) chunk *= factor;
    for (; count >= step; count -= step) MulAdd(chunk, 0);
    for (; count > 0; --count) MulAdd(factor, 0);
  }

  std::string ToString() const {
    if (limbs_.empty()) return "";
    std::string out = std::to_string(limbs_.back());
    for (size_t i = limbs_.size() - 1; i-- > 0;) {
      const std::string part = std::to_string(limbs_[i]);
      out.append(9 - part.size(), '0');
      out += part;
    }
    return out;
  }

private:
  std::vector<uint32_t> limbs_;
};

void stripTrailingZeros(Decimal& d) {
  const size_t last = d.digits.find_last_not_of('0');
  d.digits.resize(last == std::string::npos ? 0 : last + 1);
  if (d.digits.empty()) d.exponent = 0;
}

// The exact decimal digits of a finite value.
Decimal exactDecimal(long double value) {
  Decimal d;
  d.negative = std::signbit(value);
  if (value == 0) return d;
  int binaryExponent = 0;
  long double fraction = std::frexp(std::fabs(value), &binaryExponent);  // in [0.5, 1)
  // value = mantissa x 2^binaryExponent with an integer mantissa, taken 32
  // bits at a time.
  BigInt mantissa;
  while (fraction != 0) {
    fraction = std::ldexp(fraction, 32);
    const long double chunk = std::floor(fraction);
    fraction -= chunk;
    mantissa.MulAdd(uint64_t{1} << 32, static_cast<uint64_t>(chunk));
    binaryExponent -= 32;
  }
  int32_t decimalShift = 0;
  if (binaryExponent >= 0) {
    mantissa.MulPower(2, binaryExponent, 29);
  } else {
    // m / 2^k = m x 5^k / 10^k
    mantissa.MulPower(5, -binaryExponent, 13);
    decimalShift = -binaryExponent;
  }
  d.digits = mantissa.ToString();
  d.exponent = static_cast<int32_t>(d.digits.size()) - decimalShift;
  stripTrailingZeros(d);
  return d;
}

// ---------------------------------------------------------------------------
// Rounding
// ---------------------------------------------------------------------------

// Keeps the first Count digits, rounding the exact rest half away from zero;
// Count may be zero or negative (the value then rounds to 0 or to one unit of
// the position).
void roundDigits(Decimal& d, int32_t count) {
  if (d.IsZero() || static_cast<int32_t>(d.digits.size()) <= count) return;
  if (count < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  const bool up = d.digits[static_cast<size_t>(count)] >= '5';
  d.digits.resize(static_cast<size_t>(count));
  if (up) {
    size_t i = d.digits.size();
    while (i > 0 && d.digits[i - 1] == '9') d.digits[--i] = '0';
    if (i == 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    } else {
      ++d.digits[i - 1];
    }
  }
  stripTrailingZeros(d);
}

// Rounds to Precision significant digits and, unless Decimals is negative, to
// Decimals places after the point, whichever keeps fewer digits.
Decimal roundedDecimal(long double value, int32_t precision, int32_t decimals) {
  Decimal d = exactDecimal(value);
  int32_t count = precision;
  if (decimals >= 0 && !d.IsZero()) count = std::min(count, d.exponent + decimals);
  roundDigits(d, count);
  return d;
}

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

// The digit at 0-based position I of the digit string (zero beyond it).
char digitAt(const Decimal& d, int32_t i) {
  return i >= 0 && i < static_cast<int32_t>(d.digits.size()) ? d.digits[static_cast<size_t>(i)] : '0';
}

std::string integerPart(const Decimal& d) {
  if (d.exponent <= 0) return "0";
  std::string out;
  for (int32_t i = 0; i < d.exponent; ++i) out += digitAt(d, i);
  return out;
}

// Count digits after the decimal point.
std::string fractionPart(const Decimal& d, int32_t count) {
  std::string out;
  for (int32_t i = 0; i < count; ++i) out += digitAt(d, d.exponent + i);
  return out;
}

std::string groupThousands(const std::string& digits, char separator) {
  std::string out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += separator;
    out += digits[i];
  }
  return out;
}

std::string exponentText(int32_t exponent, int32_t minDigits, bool plusSign) {
  std::string digits = std::to_string(std::abs(exponent));
  if (static_cast<int32_t>(digits.size()) < minDigits) digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
  return "E" + std::string(exponent < 0 ? "-" : (plusSign ? "+" : "")) + digits;
}

std::string signOf(const Decimal& d) { return d.negative && !d.IsZero() ? "-" : ""; }

std::string formatGeneral(long double value, int32_t precision, int32_t digits, char decimalSep) {
  const Decimal d = roundedDecimal(value, precision, -1);
  if (d.IsZero()) return "0";
  std::string out = signOf(d);
  if (d.exponent > precision || d.exponent < -3) {
    out += d.digits[0];
    if (d.digits.size() > 1) out += decimalSep + d.digits.substr(1);
    return out + exponentText(d.exponent - 1, digits, false);
  }
  out += integerPart(d);
  const int32_t decimals = static_cast<int32_t>(d.digits.size()) - d.exponent;
  if (decimals > 0) out += decimalSep + fractionPart(d, decimals);
  return out;
}

std::string formatExponent(long double value, int32_t precision, int32_t digits, char decimalSep) {
  const Decimal d = roundedDecimal(value, precision, -1);
  std::string out = signOf(d);
  out += digitAt(d, 0);
  if (precision > 1) {
    out += decimalSep;
    for (int32_t i = 1; i < precision; ++i) out += digitAt(d, i);
  }
  return out + exponentText(d.IsZero() ? 0 : d.exponent - 1, digits, true);
}

std::string formatFixed(long double value, int32_t precision, int32_t decimals, bool grouped,
                        const TFormatSettings& fs) {
  const Decimal d = roundedDecimal(value, precision, decimals);
  if (d.exponent > precision) return formatGeneral(value, precision, 0, fs.DecimalSeparator);
  std::string integer = integerPart(d);
  if (grouped) integer = groupThousands(integer, fs.ThousandSeparator);
  std::string out = signOf(d) + integer;
  if (decimals > 0) out += fs.DecimalSeparator + fractionPart(d, decimals);
  return out;
}

std::string nonFiniteText(long double value) {
  if (std::isnan(value)) return "NAN";
  return value < 0 ? "-INF" : "INF";
}

// ---------------------------------------------------------------------------
// FormatFloat pictures
// ---------------------------------------------------------------------------

// A picture split into its literal text and the shape of its number.
struct Picture {
  std::string prefix, suffix;
  bool hasNumber = false;
  bool thousands = false;
  int32_t minInteger = 0;   // integer digits always written ("0" placeholders)
  int32_t minDecimals = 0;  // decimals always written (up to the last "0")
  int32_t maxDecimals = 0;  // placeholders after the point
};

bool isPlaceholder(char c) { return c == '0' || c == '#' || c == '.' || c == ','; }

Picture parsePicture(const std::string& picture) {
  Picture p;
  bool afterPoint = false;
  int32_t integerSinceFirstZero = -1;  // placeholders counted from the first "0"
  for (size_t i = 0; i < picture.size(); ++i) {
    const char c = picture[i];
    if (c == '\'' || c == '"') {
      const size_t end = picture.find(c, i + 1);
      const size_t stop = end == std::string::npos ? picture.size() : end;
      (p.hasNumber ? p.suffix : p.prefix) += picture.substr(i + 1, stop - i - 1);
      i = stop;
      continue;
    }
    if (!isPlaceholder(c) || (p.hasNumber && !p.suffix.empty())) {
      (p.hasNumber ? p.suffix : p.prefix) += c;
      continue;
    }
    p.hasNumber = true;
    if (c == '.') {
      afterPoint = true;
    } else if (c == ',') {
      if (!afterPoint) p.thousands = true;
    } else if (afterPoint) {
      ++p.maxDecimals;
      if (c == '0') p.minDecimals = p.maxDecimals;
    } else {
      if (c == '0' && integerSinceFirstZero < 0) integerSinceFirstZero = 0;
      if (integerSinceFirstZero >= 0) ++integerSinceFirstZero;
    }
  }
  p.minInteger = std::max(0, integerSinceFirstZero);
  return p;
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

// Checks the text against the number syntax and rewrites it for the C
// library: "." as decimal point, no blanks.
bool normalizeNumber(const std::string& s, char decimalSep, std::string& out) {
  size_t i = 0, end = s.size();
  while (i < end && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  while (end > i && static_cast<unsigned char>(s[end - 1]) <= ' ') --end;
  auto isDigit = [&](size_t k) { return k < end && s[k] >= '0' && s[k] <= '9'; };
  if (i < end && (s[i] == '+' || s[i] == '-')) out += s[i++];
  size_t mantissaDigits = 0;
  for (; isDigit(i); ++i, ++mantissaDigits) out += s[i];
  if (i < end && s[i] == decimalSep) {
    out += '.';
    for (++i; isDigit(i); ++i, ++mantissaDigits) out += s[i];
  }
  if (mantissaDigits == 0) return false;
  if (i < end && (s[i] == 'e' || s[i] == 'E')) {
    out += 'e';
    ++i;
    if (i < end && (s[i] == '+' || s[i] == '-')) out += s[i++];
    if (!isDigit(i)) return false;
    for (; isDigit(i); ++i) out += s[i];
  }
  return i == end;
}

locale_t cLocale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t{});
  return c;
}

// Converts with the C library's reader for the type (strtod_l or
// strtold_l); false on overflow.
template <typename T, typename Reader>
bool readNumber(const std::string& s, const TFormatSettings& fs, T& value, Reader reader) {
  std::string text;
  if (!normalizeNumber(s, fs.DecimalSeparator, text)) return false;
  const T v = reader(text.c_str(), nullptr, cLocale());
  if (std::isinf(v)) return false;
  value = v;
  return true;
}

[[noreturn]] void raiseInvalidFloat(const std::string& s) {
  throw EConvertError("\"" + s + "\" is not a valid floating point value");
}

}  // namespace

// ---------------------------------------------------------------------------
// Public routines
// ---------------------------------------------------------------------------

std::string FloatToStrF(long double value, TFloatFormat format, int32_t precision, int32_t digits,
                        const TFormatSettings& settings) {
  if (!std::isfinite(value)) return nonFiniteText(value);
  precision = std::clamp(precision, 1, MaxFloatPrecision);
  switch (format) {
    case ffGeneral:
      return formatGeneral(value, precision, std::clamp(digits, 0, 4), settings.DecimalSeparator);
    case ffExponent:
      return formatExponent(value, precision, std::clamp(digits, 0, 4), settings.DecimalSeparator);
    case ffFixed:
    case ffNumber:
      return formatFixed(value, precision, std::clamp(digits, 0, MaxFloatPrecision), format == ffNumber,
                         settings);
  }
  return "";
}

std::string FloatToStrF(long double value, TFloatFormat format, int32_t precision, int32_t digits) {
  return FloatToStrF(value, format, precision, digits, FormatSettings);
}

std::string FloatToStr(long double value, const TFormatSettings& settings) {
  return FloatToStrF(value, ffGeneral, 15, 0, settings);
}

std::string FloatToStr(long double value) { return FloatToStr(value, FormatSettings); }

std::string FormatFloat(const std::string& picture, long double value, const TFormatSettings& settings) {
  if (picture.empty()) return FloatToStr(value, settings);
  if (!std::isfinite(value)) return nonFiniteText(value);
  const Picture p = parsePicture(picture);
  if (!p.hasNumber) return p.prefix;
  const Decimal d = roundedDecimal(value, MaxFloatPrecision, p.maxDecimals);
  // Integer parts longer than the digits kept are written in general form.
  if (d.exponent > MaxFloatPrecision) return FloatToStr(value, settings);
  std::string integer = d.exponent > 0 ? integerPart(d) : "";
  if (static_cast<int32_t>(integer.size()) < p.minInteger) {
    integer.insert(0, static_cast<size_t>(p.minInteger) - integer.size(), '0');
  }
  if (p.thousands) integer = groupThousands(integer, settings.ThousandSeparator);
  std::string fraction = fractionPart(d, p.maxDecimals);
  while (static_cast<int32_t>(fraction.size()) > p.minDecimals && fraction.back() == '0') fraction.pop_back();
  std::string number = integer;
  if (!fraction.empty()) number += settings.DecimalSeparator + fraction;
  return signOf(d) + p.prefix + number + p.suffix;
}

std::string FormatFloat(const std::string& picture, long double value) {
  return FormatFloat(picture, value, FormatSettings);
}

bool TextToFloat(const std::string& s, long double& value, const TFormatSettings& settings) {
  return readNumber(s, settings, value, strtold_l);
}

bool TextToFloat(const std::string& s, long double& value) { return TextToFloat(s, value, FormatSettings); }

bool TryStrToFloat(const std::string& s, long double& value, const TFormatSettings& settings) {
  return TextToFloat(s, value, settings);
}

bool TryStrToFloat(const std::string& s, long double& value) { return TextToFloat(s, value, FormatSettings); }

bool TryStrToFloat(const std::string& s, double& value, const TFormatSettings& settings) {
  return readNumber(s, settings, value, strtod_l);
}

bool TryStrToFloat(const std::string& s, double& value) { return TryStrToFloat(s, value, FormatSettings); }

long double StrToFloat(const std::string& s, const TFormatSettings& settings) {
  long double v = 0;
  if (!TextToFloat(s, v, settings)) raiseInvalidFloat(s);
  return v;
}

long double StrToFloat(const std::string& s) { return StrToFloat(s, FormatSettings); }

long double StrToFloatDef(const std::string& s, long double defaultValue, const TFormatSettings& settings) {
  long double v = 0;
  return TextToFloat(s, v, settings) ? v : defaultValue;
}

long double StrToFloatDef(const std::string& s, long double defaultValue) {
  return StrToFloatDef(s, defaultValue, FormatSettings);
}
