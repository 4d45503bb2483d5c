#include "imaging/messages/iewords.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/rtl/resources.h"

namespace {

using TCatalogue = std::array<std::string, IE_CATALOGUE_KEYS>;

// Parses "key<TAB>text" lines; a line with a key out of range, a repeated key
// or no tab is ignored (the tests check that every key has its text).
TCatalogue ParseCatalogue(std::string_view data) {
  TCatalogue texts;
  while (!data.empty()) {
    size_t end = data.find('\n');
    std::string_view line = data.substr(0, end);
    data = end == std::string_view::npos ? std::string_view() : data.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string_view::npos || tab > 3) continue;
    unsigned key = 0;
    bool digits = true;
    for (char c : line.substr(0, tab)) {
      digits = digits && c >= '0' && c <= '9';
      key = key * 10 + static_cast<unsigned>(c - '0');
    }
    if (digits && key < IE_CATALOGUE_KEYS && texts[key].empty()) texts[key] = std::string(line.substr(tab + 1));
  }
  return texts;
}

// The English texts: the program's resource RCDATA "IEWORDS", one
// "key<TAB>text" line per key in UTF-8. Without it every text is empty.
const TCatalogue& EnglishCatalogue() {
  static const TCatalogue texts = [] {
    TResourceData data = ResourceBytes(FindResourceEntry(HInstance, "IEWORDS", RT_RCDATA));
    return ParseCatalogue(std::string_view(reinterpret_cast<const char*>(data.data), data.size));
  }();
  return texts;
}

}  // namespace

const std::string& IEEnglishText(uint16_t index) {
  static const std::string none;
  return index < IE_CATALOGUE_KEYS ? EnglishCatalogue()[index] : none;
}

void IEFillLanguageTexts(TIESetLanguageTextProc setText) {
  for (unsigned row = IE_FIRST_LANGUAGE_ROW; row <= IE_LAST_LANGUAGE_ROW; ++row)
    for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) setText(static_cast<uint8_t>(row), key, IEEnglishText(key));
}
