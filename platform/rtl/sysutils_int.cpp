// Integers to and from text.
#include <charconv>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads an integer of Bits bits (32 or 64) as the framework does: leading
// blanks, a sign, decimal digits or hexadecimal after "$", "x" or "0x"
// (hexadecimal may use every bit), and nothing after the digits.
bool parseInteger(const std::string& s, int bits, int64_t& value) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X')) {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  const uint64_t limit = base == 16 ? (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1)
                                    : (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  if (i >= s.size()) return false;
  uint64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const int digit = hexValue(s[i]);
    if (digit < 0 || digit >= base) return false;
    if (magnitude > (limit - static_cast<uint64_t>(digit)) / static_cast<uint64_t>(base)) return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  // Hexadecimal fills the type's bits as they are ($FFFFFFFF is -1).
  if (base == 16 && bits == 32) magnitude = static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(magnitude)));
  value = static_cast<int64_t>(negative ? uint64_t{0} - magnitude : magnitude);
  return true;
}

[[noreturn]] void raiseInvalidInteger(const std::string& s) {
  throw EConvertError("\"" + s + "\" is not a valid integer value");
}

}  // namespace

std::string IntToStr(int64_t value) { return std::to_string(value); }
std::string UIntToStr(uint64_t value) { return std::to_string(value); }

std::string rtl_detail::HexDigits(uint64_t bits, int32_t digits) {
  char buffer[17];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, bits, 16);
  std::string out(buffer, r.ptr);
  for (char& c : out) {
    if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 32);
  }
  if (digits > static_cast<int32_t>(out.size())) out.insert(0, static_cast<size_t>(digits) - out.size(), '0');
  return out;
}

bool TryStrToInt(const std::string& s, int32_t& value) {
  int64_t v = 0;
  if (!parseInteger(s, 32, v)) return false;
  value = static_cast<int32_t>(v);
  return true;
}

int32_t StrToInt(const std::string& s) {
  int32_t v = 0;
  if (!TryStrToInt(s, v)) raiseInvalidInteger(s);
  return v;
}

int32_t StrToIntDef(const std::string& s, int32_t defaultValue) {
  int32_t v = 0;
  return TryStrToInt(s, v) ? v : defaultValue;
}

bool TryStrToInt64(const std::string& s, int64_t& value) { return parseInteger(s, 64, value); }

int64_t StrToInt64(const std::string& s) {
  int64_t v = 0;
  if (!TryStrToInt64(s, v)) raiseInvalidInteger(s);
  return v;
}

int64_t StrToInt64Def(const std::string& s, int64_t defaultValue) {
  int64_t v = 0;
  return TryStrToInt64(s, v) ? v : defaultValue;
}
