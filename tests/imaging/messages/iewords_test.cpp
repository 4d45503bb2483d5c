#include "imaging/messages/iewords.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

TEST(Catalogue, EveryKeyHasAnEnglishText) {
  for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) EXPECT_FALSE(IEEnglishText(key).empty()) << key;
  EXPECT_TRUE(IEEnglishText(IE_CATALOGUE_KEYS).empty());
  EXPECT_TRUE(IEEnglishText(0xFFFF).empty());
}

TEST(Catalogue, PlaceholdersStandOnlyInTheirKeys) {
  const std::map<uint16_t, int> intKeys = {{153, 2}, {154, 1}};
  const std::map<uint16_t, int> textKeys = {{417, 1}, {420, 1}, {455, 1}, {458, 1}};
  auto count = [](const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  };
  for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) {
    const std::string& text = IEEnglishText(key);
    EXPECT_EQ(count(text, "%d"), intKeys.contains(key) ? intKeys.at(key) : 0) << key;
    EXPECT_EQ(count(text, "%s"), textKeys.contains(key) ? textKeys.at(key) : 0) << key;
    // The only other percent sign is the plain one of "100% zoom".
    EXPECT_EQ(count(text, "%"), count(text, "%d") + count(text, "%s") + (key == 286 ? 1 : 0)) << key;
  }
}

TEST(Catalogue, ExactTexts) {
  const std::vector<std::pair<uint16_t, std::string>> cases = {
      {0, "Preview"},
      {4, "Cancel"},
      {11, "Value"},
      {103, "Value"},
      {128, "Automatically updates your preview with the changes you have selected"},
      {153, "Page %d of %d"},
      {154, "%d pages"},
      {227, "Rotate 180\u00B0"},
      {256, "Add an ellipical object"},
      {286, "Display the image at full size (100% zoom)"},
      {357, "Rotate the selected object 90\u00B0 counter-clockwise"},
      {366, "Select or resize an object (hold Alt to maintain the aspect ratio)"},
      {417, "\"%s\" is not a valid folder"},
      {420, "Specify a new name for \"%s\""},
      {455, "Sort by %s"},
      {458, "Sort %s"},
  };
  for (const auto& [key, text] : cases) EXPECT_EQ(IEEnglishText(key), text) << key;
}

TEST(Catalogue, DegreeSignIsOneCharacter) {
  for (uint16_t key : {227, 349, 350, 351, 352, 353, 354, 355, 356, 357}) {
    const std::string& text = IEEnglishText(key);
    EXPECT_NE(text.find("\u00B0"), std::string::npos) << key;  // two bytes of UTF-8, one character
  }
}

std::vector<std::tuple<uint8_t, uint16_t, std::string>> stored;
void Store(uint8_t language, uint16_t index, const std::string& text) { stored.emplace_back(language, index, text); }

TEST(Catalogue, FillsRowsOneToTwentyFiveInOrder) {
  stored.clear();
  IEFillLanguageTexts(Store);
  ASSERT_EQ(stored.size(), size_t{25} * IE_CATALOGUE_KEYS);
  size_t i = 0;
  for (uint8_t row = 1; row <= 25; ++row)
    for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key, ++i) {
      ASSERT_EQ(std::get<0>(stored[i]), row);
      ASSERT_EQ(std::get<1>(stored[i]), key);
      // No row has translations of its own, so each holds English.
      ASSERT_EQ(std::get<2>(stored[i]), IEEnglishText(key));
    }
}

}  // namespace
