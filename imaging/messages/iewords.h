// The image library's message catalogue: 459 texts, one per message key
// (0..458), in each of the language rows 1..25 of the image core's message
// table. Texts are UTF-8.
//
// Row 1 is English. Each of rows 2..25 translates the keys below its
// English-from key and holds the English text from that key on. Its
// translations are the program's resource RCDATA "IEWORDS_02" .. "IEWORDS_25",
// "key<TAB>text" lines in ascending key order; a row without its resource, and
// any key its resource lacks, holds English, so no text is ever empty while
// the English one is not.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr uint16_t IE_CATALOGUE_KEYS = 459;
constexpr uint8_t IE_FIRST_LANGUAGE_ROW = 1;   // English
constexpr uint8_t IE_LAST_LANGUAGE_ROW = 25;   // Norwegian

// Stores one text of the message table (the image core's IESetLanguageText).
using TIESetLanguageTextProc = void (*)(uint8_t language, uint16_t index, const std::string& text);

// A translated row: its language, the code page its texts must fit and the
// key from which it holds English.
struct TIECatalogueRow {
  uint8_t row;
  const char* language;
  uint16_t codePage;
  uint16_t englishFrom;
};

// Rows 2..25 in ascending order.
extern const std::array<TIECatalogueRow, IE_LAST_LANGUAGE_ROW - IE_FIRST_LANGUAGE_ROW> IETranslatedRows;

// The resource name of a translated row's texts: "IEWORDS_02" for row 2.
std::string IERowResourceName(uint8_t row);

// A row's texts as read from its "key<TAB>text" lines: texts[key] is empty
// where no valid line gave the key. Faults name each rejected line: no tab,
// a key that is not a number below englishFrom, a key not above the previous
// line's, an empty text.
struct TIERowTexts {
  std::array<std::string, IE_CATALOGUE_KEYS> texts;
  std::vector<std::string> faults;
};
TIERowTexts IEParseRowTexts(std::string_view data, uint16_t englishFrom);

// A row as the filler stores it: the texts of its valid lines, the English
// text for every other key.
std::array<std::string, IE_CATALOGUE_KEYS> IERowCatalogue(std::string_view data, uint16_t englishFrom);

// The English text of a key; empty for a key beyond 458.
const std::string& IEEnglishText(uint16_t index);

// The text of a key in a row 1..25 as the filler stores it; empty for a key
// beyond 458 or another row.
const std::string& IERowText(uint8_t row, uint16_t index);

// Fills rows 1..25 in ascending order, keys 0..458 in ascending order each,
// through setText.
void IEFillLanguageTexts(TIESetLanguageTextProc setText);
