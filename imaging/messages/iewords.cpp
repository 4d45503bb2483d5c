#include "imaging/messages/iewords.h"

#include <cstddef>
#include <optional>

#include "platform/rtl/resources.h"

namespace {

using TCatalogue = std::array<std::string, IE_CATALOGUE_KEYS>;

// Calls take(lineNumber, line) for each line of data, without its line end.
template <typename F>
void ForEachLine(std::string_view data, F take) {
  for (size_t number = 1; !data.empty(); ++number) {
    size_t end = data.find('\n');
    std::string_view line = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    take(number, line);
  }
}

// The key of a "key<TAB>text" line: one to three decimal digits.
std::optional<unsigned> ParseKey(std::string_view digits) {
  if (digits.empty() || digits.size() > 3) return std::nullopt;
  unsigned key = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    key = key * 10 + static_cast<unsigned>(c - '0');
  }
  return key;
}

std::string_view ResourceText(const std::string& name) {
  TResourceData data = ResourceBytes(FindResourceEntry(HInstance, name, RT_RCDATA));
  return std::string_view(reinterpret_cast<const char*>(data.data), data.size);
}

// Parses the English "key<TAB>text" lines; a line with a key out of range, a
// repeated key or no tab is ignored (the tests check that every key has its
// text).
TCatalogue ParseCatalogue(std::string_view data) {
  TCatalogue texts;
  ForEachLine(data, [&](size_t, std::string_view line) {
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return;
    std::optional<unsigned> key = ParseKey(line.substr(0, tab));
    if (key && *key < IE_CATALOGUE_KEYS && texts[*key].empty()) texts[*key] = std::string(line.substr(tab + 1));
  });
  return texts;
}

// The English texts: the program's resource RCDATA "IEWORDS", one
// "key<TAB>text" line per key in UTF-8. Without it every text is empty.
const TCatalogue& EnglishCatalogue() {
  static const TCatalogue texts = ParseCatalogue(ResourceText("IEWORDS"));
  return texts;
}

// Rows 1..25 as stored: a translated row's own texts, English elsewhere.
const std::array<TCatalogue, IE_LAST_LANGUAGE_ROW>& AllRows() {
  static const std::array<TCatalogue, IE_LAST_LANGUAGE_ROW> rows = [] {
    std::array<TCatalogue, IE_LAST_LANGUAGE_ROW> all;
    all[0] = EnglishCatalogue();
    for (const TIECatalogueRow& row : IETranslatedRows)
      all[row.row - 1] = IERowCatalogue(ResourceText(IERowResourceName(row.row)), row.englishFrom);
    return all;
  }();
  return rows;
}

}  // namespace

const std::array<TIECatalogueRow, IE_LAST_LANGUAGE_ROW - IE_FIRST_LANGUAGE_ROW> IETranslatedRows = {{
    {2, "Italian", 1252, 426},
    {3, "German", 1252, 432},
    {4, "Spanish", 1252, 381},
    {5, "French", 1252, 381},
    {6, "Portuguese", 1252, 381},
    {7, "Greek", 1253, 158},
    {8, "Russian", 1251, 381},
    {9, "Dutch", 1252, 132},
    {10, "Swedish", 1252, 158},
    {11, "Polish", 1250, 139},
    {12, "Japanese", 932, 133},
    {13, "Czech", 1250, 133},
    {14, "Finnish", 1252, 146},
    {15, "Farsi", 1256, 139},
    {16, "Chinese, simplified", 936, 133},
    {17, "Chinese, traditional characters (row 16's wording)", 936, 133},
    {18, "Chinese, traditional (Taiwan)", 950, 158},
    {19, "Danish", 1252, 139},
    {20, "Turkish", 1254, 146},
    {21, "Korean", 949, 143},
    {22, "Hungarian", 1250, 146},
    {23, "Arabic", 1256, 157},
    {24, "Serbian, Latin script", 1250, 157},
    {25, "Norwegian (Bokmal)", 1252, 158},
}};

std::string IERowResourceName(uint8_t row) {
  return std::string("IEWORDS_") + static_cast<char>('0' + row / 10) + static_cast<char>('0' + row % 10);
}

TIERowTexts IEParseRowTexts(std::string_view data, uint16_t englishFrom) {
  TIERowTexts result;
  std::optional<unsigned> previous;
  ForEachLine(data, [&](size_t number, std::string_view line) {
    auto fault = [&](const std::string& what) {
      result.faults.push_back("line " + std::to_string(number) + ": " + what);
    };
    size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return fault("no tab");
    std::optional<unsigned> key = ParseKey(line.substr(0, tab));
    if (!key || *key >= englishFrom)
      return fault("key \"" + std::string(line.substr(0, tab)) + "\" is not below " + std::to_string(englishFrom));
    if (previous && *key <= *previous) return fault("key " + std::to_string(*key) + " is repeated or out of order");
    previous = key;
    if (tab + 1 == line.size()) return fault("key " + std::to_string(*key) + " has no text");
    result.texts[*key] = std::string(line.substr(tab + 1));
  });
  return result;
}

std::array<std::string, IE_CATALOGUE_KEYS> IERowCatalogue(std::string_view data, uint16_t englishFrom) {
  TIERowTexts own = IEParseRowTexts(data, englishFrom);
  TCatalogue texts = EnglishCatalogue();
  for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key)
    if (!own.texts[key].empty()) texts[key] = std::move(own.texts[key]);
  return texts;
}

const std::string& IEEnglishText(uint16_t index) {
  static const std::string none;
  return index < IE_CATALOGUE_KEYS ? EnglishCatalogue()[index] : none;
}

const std::string& IERowText(uint8_t row, uint16_t index) {
  static const std::string none;
  if (row < IE_FIRST_LANGUAGE_ROW || row > IE_LAST_LANGUAGE_ROW || index >= IE_CATALOGUE_KEYS) return none;
  return AllRows()[row - 1][index];
}

void IEFillLanguageTexts(TIESetLanguageTextProc setText) {
  for (uint8_t row = IE_FIRST_LANGUAGE_ROW; row <= IE_LAST_LANGUAGE_ROW; ++row)
    for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) setText(row, key, IERowText(row, key));
}
