#include "services/supstrings.h"

#include <gtest/gtest.h>

TEST(SupStrings, WildcardsMatchEverySplitOfTheText) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {"*ab", "aab", true},  {"*a?", "aab", true},   {"a*c", "abcd", false}, {"*?b", "abb", true},
      {"?", "", false},      {"*", "", true},        {"a?c", "abc", true},   {"a*", "a", true},
      {"*x", "abc", false},  {"**b", "ab", true},    {"a*b*c", "aXbYbc", true}, {"*.TIF", "A.TIF.X", false},
      {"abc", "ab", false},  {"ab", "abc", false},   {"*b?", "abba", true},  {"ABC", "abc", false},
  };
  for (const Case& c : cases) EXPECT_EQ(MatchesWildcard(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
}

TEST(SupStrings, WildcardStartIndexAndMisuse) {
  EXPECT_TRUE(MatchesWildcard("c*", "abcd", 2));
  EXPECT_FALSE(MatchesWildcard("a*", "abcd", 1));
  try {
    MatchesWildcard("", "abc");
    FAIL();
  } catch (const ESupStringError& e) {
    EXPECT_EQ(e.Message(), "Search string cannot be blank");
  }
  try {
    MatchesWildcard("a", "abc", 3);
    FAIL();
  } catch (const ESupError& e) {
    EXPECT_EQ(e.Message(), "Argument out of range");
  }
}

TEST(SupStrings, SplitAndTokens) {
  struct Case {
    const char* text;
    std::vector<std::string> items;
  };
  const Case cases[] = {
      {";a", {"", "a"}}, {"", {}}, {"a;;b;", {"a", "", "b"}}, {"*.tif", {"*.tif"}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> items{"old"};
    SplitToStrings(c.text, ';', items);
    EXPECT_EQ(items, c.items) << c.text;
  }
  std::string text = "a b c";
  EXPECT_EQ(TakeToken(text, ' '), "a");
  EXPECT_EQ(text, "b c");
  std::string last = "tail";
  EXPECT_EQ(TakeToken(last, ' '), "tail");
  EXPECT_EQ(last, "");
}

TEST(SupStrings, TrailingDelimiters) {
  EXPECT_EQ(WithTrailingBackslash(""), "/");
  EXPECT_EQ(WithTrailingBackslash("/tmp"), "/tmp/");
  EXPECT_EQ(WithTrailingBackslash("/tmp/"), "/tmp/");
  EXPECT_EQ(WithoutTrailingBackslash("/tmp//"), "/tmp/");
  EXPECT_EQ(WithoutTrailingBackslash("/tmp"), "/tmp");
}

TEST(SupStrings, SearchesWithoutRegardToCase) {
  constexpr size_t none = std::string::npos;
  struct Case {
    const char* substring;
    const char* text;
    size_t start, found;
    const char* after;  // TextAfter from the text's start
  };
  const Case cases[] = {
      {"tif", "PHOTO.TIF", 0, 6, ""},
      {"Ö", "grÖße.öl", 0, 2, "ße.öl"},
      {"ö", "grÖße.öl", 3, 8, "ße.öl"},  // from index 3 on, the second one
      {"x", "abc", 0, none, ""},
      {"", "abc", 0, none, ""},
      {"a", "", 0, none, ""},
      {"b", "abc", 7, none, "c"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FindNoCaseFrom(c.substring, c.text, c.start), c.found) << c.substring << " in " << c.text;
    EXPECT_EQ(TextAfter(c.substring, c.text), c.after) << c.substring << " in " << c.text;
  }
  EXPECT_EQ(FindNoCase("B", "aab"), 2u);
  EXPECT_EQ(TextFrom("abc", 1), "bc");
  EXPECT_EQ(TextFrom("abc", 3), "");
}

TEST(SupStrings, CaseMapsOfWindows1252Characters) {
  struct Case {
    const char* text;
    const char* lower;
    const char* upper;
    const char* swapped;
  };
  const Case cases[] = {
      {"Photo 1.tif", "photo 1.tif", "PHOTO 1.TIF", "pHOTO 1.TIF"},
      {"ÄÖÜ äöü ß", "äöü äöü ß", "ÄÖÜ ÄÖÜ ß", "äöü ÄÖÜ ß"},
      {"Œuvre ÿ Š", "œuvre ÿ š", "ŒUVRE Ÿ Š", "œUVRE Ÿ š"},
      // Characters beyond the code page and invalid bytes stay as they are.
      {"Ωω €\xC3", "Ωω €\xC3", "Ωω €\xC3", "Ωω €\xC3"},
  };
  for (const Case& c : cases) {
    std::string text = c.text;
    MapCaseInPlace(text, CaseMapLower);
    EXPECT_EQ(text, c.lower);
    EXPECT_EQ(UpperCaseCopy(c.text), c.upper);
    text = c.text;
    MapCaseInPlace(text, CaseMapSwap);
    EXPECT_EQ(text, c.swapped);
  }
  std::string text = "é";
  UpperCaseInPlace(text);
  EXPECT_EQ(text, "É");
  EXPECT_THROW(MapCaseInPlace(text, 100), ESupStringError);
  EXPECT_EQ(text, "É");
}

TEST(SupStrings, CharacterClasses) {
  struct Case {
    uint8_t byte;
    uint16_t word;
  };
  const Case cases[] = {
      {'A', C1_UPPER | C1_ALPHA | C1_XDIGIT}, {'z', C1_LOWER | C1_ALPHA},
      {'7', C1_DIGIT | C1_XDIGIT},            {' ', C1_SPACE | C1_BLANK},
      {'\n', C1_SPACE | C1_CNTRL},            {'.', C1_PUNCT},
      {0xC4, C1_UPPER | C1_ALPHA},            {0xDF, C1_LOWER | C1_ALPHA},  // Ä, ß
      {0x9A, C1_LOWER | C1_ALPHA},            {0x80, C1_PUNCT},             // š, €
      {0x81, C1_CNTRL},                       {0x00, C1_CNTRL},
  };
  for (const Case& c : cases) EXPECT_EQ(CharClassTable()[c.byte], c.word) << int(c.byte);
  EXPECT_TRUE(IsUpperClass(0xC4));
  EXPECT_TRUE(IsLowerClass(0xE4));
  EXPECT_EQ(CaseMapping()[CaseMapUpper + 0xFF], 0x9F);  // ÿ to Ÿ
  EXPECT_EQ(CaseMapping()[CaseMapLower + 0xDF], 0xDF);  // ß has no single upper form
}
