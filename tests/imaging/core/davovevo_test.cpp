#include "imaging/core/davovevo.h"

#include <gtest/gtest.h>

#include "imaging/core/iesettings.h"
#include "imaging/messages/iewords.h"

namespace {

// A filled table with a marked text in some rows, and LanguageIndex restored.
class MessageTable : public ::testing::Test {
protected:
  void SetUp() override {
    IEFillLanguageTexts(IESetLanguageText);
    for (uint8_t row = 2; row <= 25; ++row) IESetLanguageText(row, 4, "cancel-" + std::to_string(row));
  }
  void TearDown() override {
    IEGetGlobalSettings()->LanguageIndex = 0;
    IEClearLanguageTexts();
  }
};

TEST_F(MessageTable, RowTwentySixIsEmptySoEnglishAnswers) {
  IEGetGlobalSettings()->LanguageIndex = 26;
  // Row 26 is empty, so every key falls back to English.
  for (uint16_t key = 0; key < IE_MESSAGE_KEYS; ++key) ASSERT_EQ(IEGetLanguageText(key), IEEnglishText(key)) << key;
}

TEST_F(MessageTable, ChosenRowFallsBackToEnglishWhenEmpty) {
  auto* settings = IEGetGlobalSettings();
  settings->LanguageIndex = 3;
  EXPECT_EQ(IEGetLanguageText(4), "cancel-3");
  IESetLanguageText(3, 5, "");
  EXPECT_EQ(IEGetLanguageText(5), "Lock preview");
  settings->LanguageIndex = 17;
  EXPECT_EQ(IEGetLanguageText(4), "cancel-17");
  settings->LanguageIndex = 1;
  EXPECT_EQ(IEGetLanguageText(4), "Cancel");
}

TEST_F(MessageTable, OutOfRangeRowsAndKeysAreHarmless) {
  IESetLanguageText(27, 0, "beyond");
  IESetLanguageText(1, IE_MESSAGE_KEYS, "beyond");
  auto* settings = IEGetGlobalSettings();
  settings->LanguageIndex = 200;
  EXPECT_EQ(IEGetLanguageText(0), "Preview");
  EXPECT_EQ(IEGetLanguageText(IE_MESSAGE_KEYS), "");
}

TEST_F(MessageTable, TextsAreUtf8WhateverTheRow) {
  IESetLanguageText(7, 0, "Προεπισκόπηση");
  IEGetGlobalSettings()->LanguageIndex = 7;
  EXPECT_EQ(IEGetLanguageText(0), "Προεπισκόπηση");
}

// With LanguageIndex r each key answers row r's text exactly as its file
// holds it (UTF-8, whatever the row's code page), English from the row's
// English-from key on.
TEST_F(MessageTable, EveryRowAnswersItsOwnTextsByteForByte) {
  IEFillLanguageTexts(IESetLanguageText);
  for (const TIECatalogueRow& row : IETranslatedRows) {
    IEGetGlobalSettings()->LanguageIndex = row.row;
    for (uint16_t key = 0; key < IE_MESSAGE_KEYS; ++key) {
      const std::string text = IEGetLanguageText(key);
      ASSERT_EQ(text, IERowText(row.row, key)) << int{row.row} << " " << key;
      if (key >= row.englishFrom) {
        ASSERT_EQ(text, IEEnglishText(key)) << int{row.row} << " " << key;
      }
    }
  }
}

TEST(LanguageRule, RowByLocale) {
  struct Case {
    LCID locale;
    uint8_t row;
  };
  const Case cases[] = {
      {0x0407, 3},   // German
      {0x0410, 2},   // Italian
      {0x0418, 1},   // Romanian: no row of its own
      {0x0404, 18},  // Chinese, Taiwan (sub-language 1)
      {0x0804, 16},  // Chinese, PRC (sub-language 2)
      {0x0C04, 1},   // Chinese, Hong Kong (sub-language 3)
      {0x0401, 23},  // Arabic
      {0x0429, 15},  // Farsi
      {0x041A, 24},  // Croatian
      {0x081A, 24},  // Serbian, Latin
      {0x0414, 25},  // Norwegian
      {0x041F, 20},  // Turkish
      {0x0409, 1},   // English
      {0x0000, 1},   // no language: English, United States
      {0x10000, 1},  // low 16 bits 0
      {0x0816, 6},   // Portuguese, Portugal
  };
  for (const auto& c : cases) EXPECT_EQ(IELanguageRowForLocale(c.locale), c.row) << std::hex << c.locale;
}

TEST_F(MessageTable, AutomaticChoiceTakesTheStoredEntryWithoutFallback) {
  const uint8_t row = IELanguageRowForLocale(IEStartupThreadLocale());
  IESetLanguageText(row, 4, "");
  EXPECT_EQ(IEGetLanguageText(4), "");
}

TEST(LanguageCharInfo, RowsOfTheTable) {
  EXPECT_EQ(IELanguageCharInfo[0].CodePage, 0);
  EXPECT_EQ(IELanguageCharInfo[7].CharSet, 161);
  EXPECT_EQ(IELanguageCharInfo[8].CodePage, 1251);
  EXPECT_STREQ(IELanguageCharInfo[15].FontName, "Tahoma");
  EXPECT_EQ(IELanguageCharInfo[15].CharSet, 178);
  EXPECT_EQ(IELanguageCharInfo[17].CodePage, 950);
  EXPECT_STREQ(IELanguageCharInfo[23].FontName, "Tahoma");
  EXPECT_EQ(IELanguageCharInfo[26].CodePage, 1252);
  EXPECT_EQ(IEImageryVersion, "6.0.0");
}

}  // namespace
