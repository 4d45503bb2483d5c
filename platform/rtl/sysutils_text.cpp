// Text routines: case, comparison, trimming, searching, replacing, quoting.
#include <wctype.h>

#include <algorithm>
#include <cwchar>

#include "platform/rtl/encoding.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/sysutils_locale.h"

namespace {

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

int32_t sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

template <typename Fold>
int32_t compareFolded(const std::string& a, const std::string& b, Fold fold) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto x = static_cast<unsigned char>(fold(a[i]));
    const auto y = static_cast<unsigned char>(fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Applies Map to every character of valid UTF-8; invalid bytes are kept.
template <typename Map>
std::string mapChars(const std::string& s, Map map) {
  std::string out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) {
    const size_t start = pos;
    char32_t c = 0;
    if (NextValidUtf8Char(s, pos, c)) {
      AppendUtf8(out, map(c));
    } else {
      out.append(s, start, pos - start);
    }
  }
  return out;
}

char32_t upperChar(char32_t c) {
  return static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), UserLocale(LC_CTYPE_MASK)));
}

char32_t lowerChar(char32_t c) {
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(c), UserLocale(LC_CTYPE_MASK)));
}

std::wstring toLowerWide(const std::string& s) {
  std::wstring out;
  out.reserve(s.size());
  for (size_t pos = 0; pos < s.size();) out += static_cast<wchar_t>(lowerChar(NextUtf8Char(s, pos)));
  return out;
}

bool isBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Length in bytes of Pattern matched at Pos of S, characters compared after
// upper-casing; 0 when it does not match there.
size_t matchIgnoringCase(const std::string& s, size_t pos, const std::string& pattern) {
  size_t i = pos;
  for (size_t j = 0; j < pattern.size();) {
    if (i >= s.size()) return 0;
    if (upperChar(NextUtf8Char(s, i)) != upperChar(NextUtf8Char(pattern, j))) return 0;
  }
  return i - pos;
}

}  // namespace

std::string UpperCase(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(), asciiUpper);
  return out;
}

std::string LowerCase(const std::string& s) {
  std::string out = s;
  std::transform(out.begin(), out.end(), out.begin(), asciiLower);
  return out;
}

std::string AnsiUpperCase(const std::string& s) { return mapChars(s, upperChar); }
std::string AnsiLowerCase(const std::string& s) { return mapChars(s, lowerChar); }

int32_t CompareStr(const std::string& a, const std::string& b) {
  return compareFolded(a, b, [](char c) { return c; });
}

int32_t CompareText(const std::string& a, const std::string& b) {
  return compareFolded(a, b, asciiUpper);
}

bool SameText(const std::string& a, const std::string& b) { return CompareText(a, b) == 0; }

int32_t AnsiCompareText(const std::string& a, const std::string& b) {
  const std::wstring x = toLowerWide(a), y = toLowerWide(b);
  return sign(wcscoll_l(x.c_str(), y.c_str(), UserLocale(LC_COLLATE_MASK)));
}

bool AnsiSameText(const std::string& a, const std::string& b) {
  return toLowerWide(a) == toLowerWide(b);
}

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string TrimLeft(const std::string& s) {
  const auto first = std::find_if_not(s.begin(), s.end(), isBlank);
  return std::string(first, s.end());
}

std::string TrimRight(const std::string& s) {
  const auto last = std::find_if_not(s.rbegin(), s.rend(), isBlank);
  return std::string(s.begin(), last.base());
}

int32_t Pos(const std::string& sub, const std::string& s) {
  if (sub.empty()) return 0;
  const size_t at = s.find(sub);
  return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

std::string Copy(const std::string& s, int64_t index, int64_t count) {
  const int64_t size = static_cast<int64_t>(s.size());
  if (index < 1) index = 1;
  if (count <= 0 || index > size) return "";
  return s.substr(static_cast<size_t>(index - 1), static_cast<size_t>(std::min(count, size - index + 1)));
}

std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags) {
  if (oldPattern.empty()) return s;
  const bool ignoreCase = flags.Contains(rfIgnoreCase);
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    const size_t matched = ignoreCase ? matchIgnoringCase(s, pos, oldPattern)
                                      : (s.compare(pos, oldPattern.size(), oldPattern) == 0
                                             ? oldPattern.size()
                                             : 0);
    if (matched == 0) {
      // Step over one whole character so a match never starts inside one.
      const size_t start = pos;
      NextUtf8Char(s, pos);
      out.append(s, start, pos - start);
      continue;
    }
    out += newPattern;
    pos += matched;
    if (!flags.Contains(rfReplaceAll)) break;
  }
  out.append(s, std::min(pos, s.size()));
  return out;
}

std::string QuotedStr(const std::string& s) {
  std::string out = "'";
  for (const char c : s) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}
