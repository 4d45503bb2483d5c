// Null-terminated text, number parsing and small byte routines.
#include <cmath>
#include <cstring>
#include <limits>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"

size_t IEStrLen(const char* text) { return std::strlen(text); }

size_t IEWideStrLen(const char16_t* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

char* IEStrCopy(char* dest, const char* source) { return std::strcpy(dest, source); }

char16_t* IEWideStrCopy(char16_t* dest, const char16_t* source) {
  std::memcpy(dest, source, (IEWideStrLen(source) + 1) * sizeof(char16_t));
  return dest;
}

char* IEStrPCopy(char* dest, const std::string& text) {
  std::memcpy(dest, text.c_str(), text.size() + 1);
  return dest;
}

char16_t* IEWideStrPCopy(char16_t* dest, const std::u16string& text) {
  std::memcpy(dest, text.c_str(), (text.size() + 1) * sizeof(char16_t));
  return dest;
}

char* IEStrMove(char* dest, const char* source, size_t count) { return static_cast<char*>(std::memmove(dest, source, count)); }

const char* IEStrScan(const char* text, char c) { return std::strchr(text, c); }

// In UTF-8 a byte below 128 never stands inside a multi-byte character, and a
// byte of 128 or more is searched as it is.
const char* IEAnsiStrScan(const char* text, char c) { return IEStrScan(text, c); }

const char* IEStrRScan(const char* text, char c) { return std::strrchr(text, c); }

std::string IEFloatToStrDot(double value) {
  std::string text = FloatToStr(value);
  for (char& c : text)
    if (c == ',' || c == FormatSettings.DecimalSeparator) c = '.';
  return text;
}

bool IETextToFloat(const std::string& text, long double& value) { return TextToFloat(text, value); }

namespace {
// The number as a double; false when it lies beyond a double's range.
bool ToDouble(const std::string& text, double& result) {
  long double value;
  if (!IETextToFloat(text, value) || std::fabs(value) > std::numeric_limits<double>::max()) return false;
  result = static_cast<double>(value);
  return true;
}
}  // namespace

double IEStrToFloatDef(const std::string& text, double defaultValue) {
  double result;
  if (ToDouble(text, result)) return result;
  std::string other = text;
  size_t comma = other.find(',');
  if (comma != std::string::npos) {
    other[comma] = '.';
  } else {
    size_t dot = other.find('.');
    if (dot == std::string::npos) return defaultValue;
    other[dot] = ',';
  }
  return ToDouble(other, result) ? result : defaultValue;
}

double IEWideStrToFloatDef(const std::u16string& text, double defaultValue) {
  return IEStrToFloatDef(Utf16ToUtf8(text), defaultValue);
}

bool IEIsEXIFHeader(const void* data, size_t size) {
  return data != nullptr && size >= 5 && std::memcmp(data, "Exif\0", 5) == 0;
}

void IECopyByteArray(const std::vector<uint8_t>& source, std::vector<uint8_t>& dest) { dest = source; }

TDateTime IEEXIFDateToDateTime(const std::string& text) {
  const std::string t = Trim(text);
  if (t.empty() || t == "0000:00:00 00:00:00") return 0;
  // Fixed fields: year 1-4, month 6-7, day 9-10, hour 12-13, minute 15-16, second 18-19.
  auto field = [&](size_t at, size_t length, int32_t& value) {
    if (at + length > t.size()) return false;
    value = 0;
    for (char c : t.substr(at, length)) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    return true;
  };
  int32_t year, month, day, hour, minute, second;
  TDateTime date, time;
  if (!field(0, 4, year) || !field(5, 2, month) || !field(8, 2, day) || !field(11, 2, hour) ||
      !field(14, 2, minute) || !field(17, 2, second))
    return 0;
  if (!TryEncodeDate(year, month, day, date) || !TryEncodeTime(hour, minute, second, 0, time)) return 0;
  return date + time;
}

void IECopyList(const TList& source, TList& dest) {
  dest.SetCount(source.Count());
  for (int32_t i = 0; i < source.Count(); ++i) dest.SetItems(i, source.Items(i));
}
