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
