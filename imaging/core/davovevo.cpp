#include "imaging/core/davovevo.h"

#include <vector>

#include "imaging/core/iesettings.h"

const std::string IEImageryVersion = "6.0.0";
uint8_t IEPreviewBackgroundKind = 0;

void IEDavovevoStart() {
  IEPreviewBackgroundKind = 0;
  IEStartupThreadLocale();
}

namespace {

constexpr uint8_t DEFAULT_CHARSET = 1;
constexpr uint8_t ARABIC_CHARSET = 178;
constexpr uint8_t GREEK_CHARSET = 161;
constexpr uint8_t RUSSIAN_CHARSET = 204;

std::vector<std::string>& Table() {
  static std::vector<std::string> table(size_t{IE_LANGUAGE_ROWS} * IE_MESSAGE_KEYS);
  return table;
}

bool InRange(uint8_t language, uint16_t index) { return language < IE_LANGUAGE_ROWS && index < IE_MESSAGE_KEYS; }

const std::string& Entry(uint8_t language, uint16_t index) { return Table()[language * IE_MESSAGE_KEYS + index]; }

// Primary language identifier of a locale and its row.
struct TLanguageRow {
  uint16_t primary;
  uint8_t row;
};
constexpr TLanguageRow kLanguageRows[] = {
    {0x01, 23}, {0x05, 13}, {0x06, 19}, {0x07, 3},  {0x08, 7},  {0x09, 1},  {0x0A, 4},
    {0x0B, 14}, {0x0C, 5},  {0x0E, 22}, {0x10, 2},  {0x11, 12}, {0x12, 21}, {0x13, 9},
    {0x14, 25}, {0x15, 11}, {0x16, 6},  {0x19, 8},  {0x1A, 24}, {0x1D, 10}, {0x1F, 20},
    {0x29, 15}};
constexpr uint16_t LANG_CHINESE = 0x04;

}  // namespace

const std::array<TIELANGUAGECHARINFO, IE_LANGUAGE_ROWS> IELanguageCharInfo = {{
    {DEFAULT_CHARSET, "", 0},          {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1252},
    {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1252},
    {DEFAULT_CHARSET, "", 1252},       {GREEK_CHARSET, "", 1253},         {RUSSIAN_CHARSET, "", 1251},
    {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1250},
    {DEFAULT_CHARSET, "", 932},        {DEFAULT_CHARSET, "", 1250},       {DEFAULT_CHARSET, "", 1252},
    {ARABIC_CHARSET, "Tahoma", 1256},  {DEFAULT_CHARSET, "", 936},        {DEFAULT_CHARSET, "", 950},
    {DEFAULT_CHARSET, "", 950},        {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1254},
    {DEFAULT_CHARSET, "", 949},        {DEFAULT_CHARSET, "", 1250},       {DEFAULT_CHARSET, "Tahoma", 1256},
    {DEFAULT_CHARSET, "", 1250},       {DEFAULT_CHARSET, "", 1252},       {DEFAULT_CHARSET, "", 1252},
}};

void IESetLanguageText(uint8_t language, uint16_t index, const std::string& text) {
  if (InRange(language, index)) Table()[language * IE_MESSAGE_KEYS + index] = text;
}

void IESetResourceLanguageText(uint8_t language, uint16_t index, const std::string& text) {
  IESetLanguageText(language, index, text);
}

void IEClearLanguageTexts() {
  for (auto& text : Table()) text.clear();
}

uint8_t IELanguageRowForLocale(LCID locale) {
  uint16_t id = static_cast<uint16_t>(locale & 0xFFFF);
  if (id == 0) return IE_ENGLISH_ROW;
  uint16_t primary = id & 0x3FF;
  uint16_t sub = id >> 10;
  if (primary == LANG_CHINESE) return sub == 1 ? 18 : sub == 2 ? 16 : IE_ENGLISH_ROW;
  for (const auto& entry : kLanguageRows)
    if (entry.primary == primary) return entry.row;
  return IE_ENGLISH_ROW;
}

std::string IEGetLanguageText(uint16_t index) {
  if (index >= IE_MESSAGE_KEYS) return std::string();
  uint8_t language = IEGetGlobalSettings()->LanguageIndex;
  if (language == 0) return Entry(IELanguageRowForLocale(IEStartupThreadLocale()), index);
  if (language >= IE_LANGUAGE_ROWS || Entry(language, index).empty()) language = IE_ENGLISH_ROW;
  return Entry(language, index);
}
