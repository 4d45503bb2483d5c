#include "platform/win/user_chars.h"

#include "platform/rtl/encoding.h"

namespace {

// Upper and lower case letters that Windows-1252 holds both forms of, outside ASCII.
constexpr struct {
  char32_t upper, lower;
} kPairs[] = {{0x0178, 0x00FF}, {0x0160, 0x0161}, {0x0152, 0x0153}, {0x017D, 0x017E}};

char32_t ToUpper(char32_t c) {
  if (c >= 'a' && c <= 'z') return c - 0x20;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  for (const auto& p : kPairs)
    if (c == p.lower) return p.upper;
  return c;
}

char32_t ToLower(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  for (const auto& p : kPairs)
    if (c == p.upper) return p.lower;
  return c;
}

template <class F>
DWORD MapBytes(char* text, DWORD length, F map) {
  if (!text) return 0;
  for (DWORD i = 0; i < length; ++i) {
    int32_t mapped = UnicodeToWin1252(map(Win1252ToUnicode(static_cast<uint8_t>(text[i]))));
    if (mapped >= 0) text[i] = static_cast<char>(mapped);
  }
  return length;
}

}  // namespace

DWORD CharUpperBuffA(char* text, DWORD length) { return MapBytes(text, length, ToUpper); }

DWORD CharLowerBuffA(char* text, DWORD length) { return MapBytes(text, length, ToLower); }
