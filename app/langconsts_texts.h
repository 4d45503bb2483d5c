// The message constants' texts by language (private to the langconsts unit).
#pragma once

#include <array>
#include <string>

constexpr size_t kPerLanguageTexts = 28;

struct TLanguageTexts {
  const char* code;
  std::array<const char*, kPerLanguageTexts> texts;  // in the order of PerLanguageConstants()
  std::array<const char*, 4> quality;                // the quality list's items
};

const TLanguageTexts& EnglishTexts();
// The translation of a code ("cs", "pl", "fr", "de", "in", "es"); null for others.
const TLanguageTexts* TranslatedTexts(const std::string& code);
