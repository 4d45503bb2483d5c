#include "services/supstrings.h"

#include "platform/rtl/encoding.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace {

// Letters of Windows-1252 that are lower case without an upper-case form of
// their own: sharp s and the two ordinal indicators.
constexpr char32_t CaselessLowerLetters[] = {0x00DF, 0x00AA, 0x00BA};

std::string CharText(char32_t c) {
  std::string text;
  AppendUtf8(text, c);
  return text;
}

// The one character of a case routine's answer; c itself when the answer is
// longer.
char32_t SingleChar(const std::string& text, char32_t c) {
  size_t pos = 0;
  char32_t result = NextUtf8Char(text, pos);
  return pos == text.size() ? result : c;
}

char32_t UpperOf(char32_t c) { return SingleChar(AnsiUpperCase(CharText(c)), c); }
char32_t LowerOf(char32_t c) { return SingleChar(AnsiLowerCase(CharText(c)), c); }

// The class word of one Windows-1252 character.
uint16_t ClassOf(char32_t c) {
  uint16_t word = 0;
  if (c < 0x20 || (c >= 0x7F && c < 0xA0)) word |= C1_CNTRL;
  if ((c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0xA0) word |= C1_SPACE;
  if (c == 0x09 || c == 0x20 || c == 0xA0) word |= C1_BLANK;
  if (c >= '0' && c <= '9') word |= C1_DIGIT | C1_XDIGIT;
  if ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')) word |= C1_XDIGIT;
  if (LowerOf(c) != c) word |= C1_UPPER | C1_ALPHA;
  if (UpperOf(c) != c) word |= C1_LOWER | C1_ALPHA;
  for (char32_t letter : CaselessLowerLetters)
    if (c == letter) word |= C1_LOWER | C1_ALPHA;
  if (!(word & (C1_CNTRL | C1_SPACE | C1_DIGIT | C1_ALPHA))) word |= C1_PUNCT;
  return word;
}

// The byte of a case form; the byte itself when Windows-1252 lacks the form.
uint8_t ByteOf(char32_t form, uint8_t byte) {
  int32_t mapped = UnicodeToWin1252(form);
  return mapped >= 0 ? static_cast<uint8_t>(mapped) : byte;
}

TCharClassTable FillCharClassTable() {
  TCharClassTable table{};
  for (size_t b = 0; b < table.size(); ++b) table[b] = ClassOf(Win1252ToUnicode(static_cast<uint8_t>(b)));
  return table;
}

TCaseMapping BuildCaseMapping() {
  TCaseMapping maps{};
  for (size_t i = 0; i < 256; ++i) {
    const auto b = static_cast<uint8_t>(i);
    const char32_t c = Win1252ToUnicode(b);
    maps[CaseMapLower + i] = ByteOf(LowerOf(c), b);
    maps[CaseMapUpper + i] = ByteOf(UpperOf(c), b);
    maps[CaseMapSwap + i] = IsUpperClass(b) ? maps[CaseMapLower + i] : IsLowerClass(b) ? maps[CaseMapUpper + i] : b;
  }
  return maps;
}

}  // namespace

const TCharClassTable& CharClassTable() {
  static const TCharClassTable table = FillCharClassTable();
  return table;
}

const TCaseMapping& CaseMapping() {
  static const TCaseMapping maps = BuildCaseMapping();
  return maps;
}

bool IsUpperClass(uint8_t byte) { return (CharClassTable()[byte] & C1_UPPER) != 0; }
bool IsLowerClass(uint8_t byte) { return (CharClassTable()[byte] & C1_LOWER) != 0; }

void MapCaseInPlace(std::string& text, size_t mapOffset) {
  if (mapOffset != CaseMapLower && mapOffset != CaseMapUpper && mapOffset != CaseMapSwap)
    throw ESupStringError("Argument out of range");
  const TCaseMapping& maps = CaseMapping();
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const size_t start = pos;
    char32_t c = 0;
    const int32_t byte = NextValidUtf8Char(text, pos, c) ? UnicodeToWin1252(c) : -1;
    if (byte >= 0)
      AppendUtf8(out, Win1252ToUnicode(maps[mapOffset + static_cast<size_t>(byte)]));
    else
      out.append(text, start, pos - start);
  }
  text.swap(out);
}

void UpperCaseInPlace(std::string& text) { MapCaseInPlace(text, CaseMapUpper); }

std::string UpperCaseCopy(const std::string& text) {
  std::string copy = text;
  UpperCaseInPlace(copy);
  return copy;
}

// The case forms of a Windows-1252 character take as many UTF-8 bytes as the
// character, so an index into the upper-cased text holds for the text.
size_t FindNoCase(const std::string& substring, const std::string& text) {
  if (substring.empty()) return std::string::npos;
  return UpperCaseCopy(text).find(UpperCaseCopy(substring));
}

size_t FindNoCaseFrom(const std::string& substring, const std::string& text, size_t start) {
  if (substring.empty() || text.empty()) return std::string::npos;
  const size_t at = FindNoCase(substring, TextFrom(text, start));
  return at == std::string::npos ? at : at + start;
}

std::string TextAfter(const std::string& substring, const std::string& text) {
  const size_t at = FindNoCaseFrom(substring, text, 0);
  return at == std::string::npos ? std::string() : TextFrom(text, at + substring.size());
}

std::string TextFrom(const std::string& text, size_t index) {
  return index < text.size() ? text.substr(index) : std::string();
}


std::string WithTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path;
  return path + PathDelim;
}

std::string WithoutTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == PathDelim) return path.substr(0, path.size() - 1);
  return path;
}

std::string TakeToken(std::string& text, char separator) {
  size_t at = text.find(separator);
  std::string token;
  if (at == std::string::npos) {
    token.swap(text);
  } else {
    token = text.substr(0, at);
    text.erase(0, at + 1);
  }
  return token;
}

void SplitToStrings(std::string text, char separator, std::vector<std::string>& items) {
  items.clear();
  while (!text.empty()) items.push_back(TakeToken(text, separator));
}

bool MatchesWildcard(const std::string& pattern, const std::string& text, size_t start) {
  if (pattern.empty()) throw ESupStringError("Search string cannot be blank");
  if (pattern == "*") return true;
  if (text.empty()) return false;
  if (start >= text.size()) throw ESupStringError("Argument out of range");

  // Walks both texts; on a mismatch the last star takes one more byte and
  // the walk resumes just after it, so every split of the text is tried.
  size_t p = 0, t = start;
  size_t star = std::string::npos, starText = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] != '*' && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      starText = t;
    } else if (star != std::string::npos) {
      p = star + 1;
      t = ++starText;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}
