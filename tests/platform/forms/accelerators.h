// Checks that captions shown together give distinct Alt shortcuts that the
// keyboard can type.
#pragma once

#include <cctype>
#include <map>
#include <string>
#include <vector>

// The shortcut a caption marks with "&" (lower case), '\0' when it marks
// none ("&&" is a plain "&"), '?' when the marked character is not an ASCII
// letter or digit (the framework matches only those).
inline char AcceleratorOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    const unsigned char marked = static_cast<unsigned char>(caption[i + 1]);
    if (marked == '&') {
      ++i;
      continue;
    }
    return marked < 128 && std::isalnum(marked) ? static_cast<char>(std::tolower(marked)) : '?';
  }
  return '\0';
}

// What is wrong with the shortcuts of captions shown together: every
// shortcut taken twice and every one that cannot be typed; empty when none.
inline std::vector<std::string> AcceleratorFaults(const std::vector<std::string>& captions) {
  std::vector<std::string> faults;
  std::map<char, std::string> taken;
  for (const std::string& caption : captions) {
    const char key = AcceleratorOf(caption);
    if (key == '\0') continue;
    if (key == '?') {
      faults.push_back("\"" + caption + "\" marks a character the keyboard shortcut cannot match");
      continue;
    }
    auto [at, added] = taken.emplace(key, caption);
    if (!added) faults.push_back("\"" + at->second + "\" and \"" + caption + "\" share Alt+" + key);
  }
  return faults;
}
