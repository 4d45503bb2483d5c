#include "imaging/messages/iewords.h"

#include "platform/rtl/resources.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <algorithm>
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

// The translated rows: language, the code pages their texts must fit, the key
// from which they hold English, their file.
struct RowCase {
  uint8_t row;
  std::string language;
  std::vector<std::string> codePages;
  uint16_t englishFrom;
  std::string file;
};
const std::vector<RowCase> kRows = {
    {2, "Italian", {"CP1252"}, 426, "IEWORDS_02.txt"},
    {3, "German", {"CP1252"}, 432, "IEWORDS_03.txt"},
    {4, "Spanish", {"CP1252"}, 381, "IEWORDS_04.txt"},
    {5, "French", {"CP1252"}, 381, "IEWORDS_05.txt"},
    {6, "Portuguese", {"CP1252"}, 381, "IEWORDS_06.txt"},
    {7, "Greek", {"CP1253"}, 158, "IEWORDS_07.txt"},
    {8, "Russian", {"CP1251"}, 381, "IEWORDS_08.txt"},
    {9, "Dutch", {"CP1252"}, 132, "IEWORDS_09.txt"},
    {10, "Swedish", {"CP1252"}, 158, "IEWORDS_10.txt"},
    {11, "Polish", {"CP1250"}, 139, "IEWORDS_11.txt"},
    {12, "Japanese", {"CP932"}, 133, "IEWORDS_12.txt"},
    {13, "Czech", {"CP1250"}, 133, "IEWORDS_13.txt"},
    {14, "Finnish", {"CP1252"}, 146, "IEWORDS_14.txt"},
    {15, "Farsi", {"CP1256"}, 139, "IEWORDS_15.txt"},
    {16, "Chinese, simplified", {"CP936"}, 133, "IEWORDS_16.txt"},
    // Stored in code page 936, listed with the character set of 950: both.
    {17, "Chinese, traditional characters", {"CP936", "CP950"}, 133, "IEWORDS_17.txt"},
    {18, "Chinese, traditional (Taiwan)", {"CP950"}, 158, "IEWORDS_18.txt"},
    {19, "Danish", {"CP1252"}, 139, "IEWORDS_19.txt"},
    {20, "Turkish", {"CP1254"}, 146, "IEWORDS_20.txt"},
    {21, "Korean", {"CP949"}, 143, "IEWORDS_21.txt"},
    {22, "Hungarian", {"CP1250"}, 146, "IEWORDS_22.txt"},
    {23, "Arabic", {"CP1256"}, 157, "IEWORDS_23.txt"},
    {24, "Serbian, Latin script", {"CP1250"}, 157, "IEWORDS_24.txt"},
    {25, "Norwegian", {"CP1252"}, 158, "IEWORDS_25.txt"},
};

// The bytes of a row's resource; empty when the row has no file yet.
std::string RowFile(uint8_t row) {
  TResourceData data = ResourceBytes(FindResourceEntry(HInstance, IERowResourceName(row), RT_RCDATA));
  return std::string(reinterpret_cast<const char*>(data.data), data.size);
}

// Whether text converts from UTF-8 to the character set without loss.
bool Converts(const std::string& text, const std::string& charset) {
  iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string in = text;
  std::string out(in.size() * 4 + 8, '\0');
  char* inp = in.data();
  char* outp = out.data();
  size_t inLeft = in.size(), outLeft = out.size();
  size_t done = iconv(cd, &inp, &inLeft, &outp, &outLeft);
  bool whole = done != static_cast<size_t>(-1) && inLeft == 0 && iconv(cd, nullptr, nullptr, &outp, &outLeft) == 0;
  iconv_close(cd);
  return whole;
}

// The "%" forms of a text in order: "%d", "%s" or "%" for a lone percent
// sign; "?" for any other form, which no text may hold.
std::string PercentForms(const std::string& text) {
  std::string forms;
  for (size_t at = text.find('%'); at != std::string::npos; at = text.find('%', at + 1)) {
    char next = at + 1 < text.size() ? text[at + 1] : ' ';
    bool letter = (next >= 'a' && next <= 'z') || (next >= 'A' && next <= 'Z') || (next >= '0' && next <= '9') ||
                  next == '%' || next == '-' || next == '.';
    forms += next == 'd' || next == 's' ? std::string("%") + next + ' ' : letter ? std::string("? ") : "% ";
  }
  return forms;
}

// Leading or trailing blanks, control characters or a byte-order mark.
std::string Blemish(const std::string& text) {
  if (text.front() == ' ' || text.back() == ' ' || text.starts_with("\xC2\xA0") || text.ends_with("\xC2\xA0"))
    return "leading or trailing blank";
  for (unsigned char c : text)
    if (c < 0x20 || c == 0x7F) return "control character";
  if (text.find("\xEF\xBB\xBF") != std::string::npos) return "byte-order mark";
  return {};
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(Catalogue, RowTableMatchesTheLanguages) {
  ASSERT_EQ(IETranslatedRows.size(), kRows.size());
  for (size_t i = 0; i < kRows.size(); ++i) {
    const TIECatalogueRow& row = IETranslatedRows[i];
    EXPECT_EQ(row.row, kRows[i].row);
    EXPECT_EQ(row.englishFrom, kRows[i].englishFrom) << kRows[i].language;
    EXPECT_EQ("CP" + std::to_string(row.codePage), kRows[i].codePages.front()) << kRows[i].language;
    EXPECT_EQ(IERowResourceName(row.row) + ".txt", kRows[i].file);
  }
}

// Every row has its file, which holds every key below its English-from key
// once, in order, and each text keeps what the English one carries and fits
// the row's code page. A row whose resource went missing from the build fails
// here rather than silently showing English.
TEST(Catalogue, EveryRowFileIsCompleteAndFitsItsCodePage) {
  const std::vector<uint16_t> degreeKeys = {227, 349, 350, 351, 352, 353, 354, 355, 356, 357};
  size_t checked = 0;
  for (const RowCase& c : kRows) {
    SCOPED_TRACE(c.file + " (" + c.language + ")");
    const std::string file = RowFile(c.row);
    if (file.empty()) {
      ADD_FAILURE() << "the row has no file";
      continue;
    }
    ++checked;
    TIERowTexts row = IEParseRowTexts(file, c.englishFrom);
    EXPECT_TRUE(row.faults.empty()) << ::testing::PrintToString(row.faults);
    EXPECT_EQ(Count(file, "\n"), c.englishFrom) << "one line per key";
    for (uint16_t key = 0; key < c.englishFrom; ++key) {
      const std::string& text = row.texts[key];
      if (text.empty()) {
        ADD_FAILURE() << "key " << key << " is missing";
        continue;
      }
      EXPECT_TRUE(Converts(text, "UTF-8")) << key << " is not UTF-8";
      EXPECT_EQ(Blemish(text), "") << key << ": " << text;
      for (const std::string& codePage : c.codePages) EXPECT_TRUE(Converts(text, codePage)) << key << " " << codePage << ": " << text;
      EXPECT_EQ(PercentForms(text), PercentForms(IEEnglishText(key))) << key << ": " << text;
      if (key == 417 || key == 420) {
        EXPECT_EQ(Count(text, "\"%s\""), 1u) << key << ": " << text;
      }
      if (std::find(degreeKeys.begin(), degreeKeys.end(), key) != degreeKeys.end()) {
        EXPECT_EQ(Count(text, "\u00B0"), 1u) << key << ": " << text;
      }
    }
  }
  EXPECT_EQ(checked, 24u);
}

// Rows 1..25 in order, keys 0..458 in order each: a row's own texts below its
// English-from key, English from it on and for rows without a file.
TEST(Catalogue, FillsEachRowWithItsOwnTextsThenEnglish) {
  stored.clear();
  IEFillLanguageTexts(Store);
  ASSERT_EQ(stored.size(), size_t{25} * IE_CATALOGUE_KEYS);
  for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) ASSERT_EQ(std::get<2>(stored[key]), IEEnglishText(key));
  for (const RowCase& c : kRows) {
    SCOPED_TRACE(c.language);
    const std::string file = RowFile(c.row);
    TIERowTexts own = IEParseRowTexts(file, c.englishFrom);
    for (uint16_t key = 0; key < IE_CATALOGUE_KEYS; ++key) {
      const auto& [row, index, text] = stored[size_t{c.row - 1u} * IE_CATALOGUE_KEYS + key];
      ASSERT_EQ(row, c.row);
      ASSERT_EQ(index, key);
      ASSERT_EQ(text, key < c.englishFrom && !file.empty() ? own.texts[key] : IEEnglishText(key)) << key;
      ASSERT_FALSE(text.empty()) << key;
    }
  }
}

// Row 17 is row 16 in traditional characters, character by character, and
// row 18 holds no simplified character: the conversion of the desktop's
// Chinese converter (Taiwan standard) is the judge.
std::string ToTraditional(const std::string& text) {
  char path[] = "/tmp/iewords-XXXXXX";
  int fd = mkstemp(path);
  if (fd < 0) return {};
  bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  close(fd);
  std::string converted;
  if (FILE* pipe = written ? popen(("opencc -c s2tw.json -i " + std::string(path)).c_str(), "r") : nullptr) {
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) converted.append(buffer, n);
    if (pclose(pipe) != 0) converted.clear();
  }
  unlink(path);
  return converted;
}

TEST(Catalogue, TraditionalRowsFollowTheSimplifiedOne) {
  ASSERT_EQ(std::system("opencc --version > /dev/null 2>&1"), 0) << "the opencc package is needed";
  const std::string simplified = RowFile(16), sameWording = RowFile(17), taiwan = RowFile(18);
  ASSERT_FALSE(simplified.empty());
  EXPECT_EQ(ToTraditional(simplified), sameWording);
  EXPECT_EQ(ToTraditional(taiwan), taiwan);
}

TEST(Catalogue, MalformedRowLinesAreFaults) {
  struct Case {
    std::string data;
    size_t faults;
    std::string fault;  // part of the first fault's text
  };
  const std::vector<Case> cases = {
      {"0\tAnteprima\n1\tOriginale\r\n", 0, ""},
      {"0 Anteprima\n", 1, "no tab"},
      {"0\tAnteprima\n3\tLontano\n", 1, "not below 3"},
      {"0\tAnteprima\n999\tLontano\n", 1, "not below 3"},
      {"0\tAnteprima\nx\tLettera\n", 1, "\"x\""},
      {"\tNessuna\n", 1, "\"\""},
      {"1\tUno\n1\tAncora\n", 1, "repeated or out of order"},
      {"2\tDue\n1\tUno\n", 1, "repeated or out of order"},
      {"0\t\n", 1, "no text"},
      {"\n", 1, "no tab"},
  };
  for (const Case& c : cases) {
    TIERowTexts row = IEParseRowTexts(c.data, 3);
    ASSERT_EQ(row.faults.size(), c.faults) << c.data << ::testing::PrintToString(row.faults);
    if (c.faults > 0) {
      EXPECT_NE(row.faults.front().find(c.fault), std::string::npos) << row.faults.front();
    }
  }
  EXPECT_EQ(IEParseRowTexts("0\tA\n1\tB\n", 3).texts[1], "B");
}

// A key the row file lacks, or gives in a rejected line, holds English.
TEST(Catalogue, KeysARowLacksHoldEnglish) {
  const auto texts = IERowCatalogue("0\tAnteprima\n2\t\n3\tDopo\n", 3);
  EXPECT_EQ(texts[0], "Anteprima");
  EXPECT_EQ(texts[1], "Original");  // no line
  EXPECT_EQ(texts[2], "Result");    // empty text
  EXPECT_EQ(texts[3], "OK");        // at the English-from key
  EXPECT_EQ(texts[4], "Cancel");
  for (const std::string& text : IERowCatalogue("", 400)) ASSERT_FALSE(text.empty());
}

}  // namespace
