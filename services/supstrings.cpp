#include "services/supstrings.h"

#include "platform/rtl/files.h"


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
