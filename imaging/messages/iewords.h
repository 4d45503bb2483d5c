// The image library's message catalogue: 459 texts, one per message key
// (0..458), in each of the language rows 1..25 of the image core's message
// table. Texts are UTF-8.
//
// Rows 2..25 have no translations of their own yet, so every one of their
// keys holds the English text, as a row does for any key it does not
// translate.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t IE_CATALOGUE_KEYS = 459;
constexpr uint8_t IE_FIRST_LANGUAGE_ROW = 1;   // English
constexpr uint8_t IE_LAST_LANGUAGE_ROW = 25;   // Norwegian

// Stores one text of the message table (the image core's IESetLanguageText).
using TIESetLanguageTextProc = void (*)(uint8_t language, uint16_t index, const std::string& text);

// The English text of a key; empty for a key beyond 458.
const std::string& IEEnglishText(uint16_t index);

// Fills rows 1..25 in ascending order, keys 0..458 in ascending order each,
// through setText.
void IEFillLanguageTexts(TIESetLanguageTextProc setText);
