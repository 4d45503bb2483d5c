// What every unit of the image library shares first: its exception, its
// version text, and the message table of 27 language rows by 459 keys from
// which the dialogs and components take their texts (UTF-8).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/win/wintypes.h"

// Raised by the library's own checks, with a text of the message table or
// a fixed English text.
RTL_DECLARE_EXCEPTION(EIEException, Exception);

// The library's version, answered by the components' ImageryVersion.
extern const std::string IEImageryVersion;

constexpr uint8_t IE_LANGUAGE_ROWS = 27;
constexpr uint16_t IE_MESSAGE_KEYS = 459;
constexpr uint8_t IE_ENGLISH_ROW = 1;

// Stores a text at (language, index); a row or key out of range is ignored.
void IESetLanguageText(uint8_t language, uint16_t index, const std::string& text);
// The same store, under the name the English filler uses.
void IESetResourceLanguageText(uint8_t language, uint16_t index, const std::string& text);
// The text of a key in the current language (see IELanguageRow): the
// settings' LanguageIndex row, English where that row is empty; with
// LanguageIndex 0 the row of the thread locale at start-up, as stored.
// Empty for a key beyond 458.
std::string IEGetLanguageText(uint16_t index);
// Empties every row (the library's shut-down).
void IEClearLanguageTexts();

// The row that automatic choice takes for a locale: by its primary language
// (and for Chinese its sub-language); English for a locale whose low 16 bits
// are 0 and for any language without a row.
uint8_t IELanguageRowForLocale(LCID locale);
// The thread locale as it was when first asked; the library's start-up asks
// first, so later changes of the locale do not change the choice.
LCID IEStartupThreadLocale();

// Character set, font and code page of a language row, for whoever lays out
// text in that language.
struct TIELANGUAGECHARINFO {
  uint8_t CharSet;
  const char* FontName;
  int32_t CodePage;
};
extern const std::array<TIELANGUAGECHARINFO, IE_LANGUAGE_ROWS> IELanguageCharInfo;

// Background of the parameters preview dialog: 0 plain, 1 striped, 2 noise.
extern uint8_t IEPreviewBackgroundKind;

// The unit's start routine, run by the library start-up: a plain preview
// background, and the thread locale taken for the automatic language choice.
void IEDavovevoStart();
