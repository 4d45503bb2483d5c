// Text and integer routines: what callers rely on when they trim, search,
// compare and read numbers typed by users or stored in files.
#include <gtest/gtest.h>

#include "platform/rtl/sysutils.h"

namespace {

TEST(CaseTest, PlainCaseTouchesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("abc-xyz 09 \xC3\xA4"), "ABC-XYZ 09 \xC3\xA4");  // ä kept
  EXPECT_EQ(LowerCase("ABC-XYZ \xC3\x84"), "abc-xyz \xC3\x84");        // Ä kept
}

TEST(CaseTest, AnsiCaseMapsLettersBeyondAscii) {
  EXPECT_EQ(AnsiUpperCase("gr\xC3\xBC\xC3\x9F" "e \xCE\xB1"), "GR\xC3\x9C\xC3\x9F" "E \xCE\x91");  // grüße α
  EXPECT_EQ(AnsiLowerCase("\xC3\x84Q\xD0\x96"), "\xC3\xA4q\xD0\xB6");                              // ÄQЖ
  // Bytes that are not UTF-8 pass through unchanged instead of being lost.
  EXPECT_EQ(AnsiUpperCase("a\xFF" "b\xC3"), "A\xFF" "B\xC3");
}

TEST(CompareTest, OrdinalAndCaseInsensitive) {
  struct Case {
    const char* a;
    const char* b;
    int str;   // sign of CompareStr
    int text;  // sign of CompareText
  };
  const Case cases[] = {
      {"abc", "abc", 0, 0},  {"abc", "ABC", 1, 0},  {"abc", "abd", -1, -1},
      {"ab", "abc", -1, -1}, {"b", "A", 1, 1},      {"", "", 0, 0},
      {"a_", "A[", 1, 1},  // "_" (95) sorts after "[" (91) once letters are folded up
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(CompareStr(c.a, c.b) > 0 ? 1 : (CompareStr(c.a, c.b) < 0 ? -1 : 0), c.str);
    EXPECT_EQ(CompareText(c.a, c.b) > 0 ? 1 : (CompareText(c.a, c.b) < 0 ? -1 : 0), c.text);
    EXPECT_EQ(SameText(c.a, c.b), c.text == 0);
  }
}

TEST(CompareTest, AnsiComparisonIgnoresCaseOfAnyLetter) {
  EXPECT_TRUE(AnsiSameText("\xC3\x84rger", "\xC3\xA4RGER"));  // Ärger / äRGER
  EXPECT_FALSE(AnsiSameText("abc", "abd"));
  EXPECT_EQ(AnsiCompareText("\xC3\x84rger", "\xC3\xA4RGER"), 0);
  EXPECT_LT(AnsiCompareText("apple", "Banana"), 0);
  EXPECT_GT(AnsiCompareText("cherry", "BANANA"), 0);
}

TEST(TrimTest, RemovesSpacesAndControlCharacters) {
  EXPECT_EQ(Trim(" \t\r\n a b \x01\x1F "), "a b");
  EXPECT_EQ(TrimLeft("\t a "), "a ");
  EXPECT_EQ(TrimRight(" a \r\n"), " a");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // UTF-8 bytes are not blanks
}

TEST(PosCopyTest, OneBasedPositionsAndClamping) {
  EXPECT_EQ(Pos("c", "abcabc"), 3);
  EXPECT_EQ(Pos("abc", "abcabc"), 1);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Pos("abcd", "abc"), 0);

  struct Case {
    int64_t index, count;
    const char* expected;
  };
  const Case cases[] = {{1, 2, "ab"}, {2, 10, "bcde"}, {0, 2, "ab"}, {-5, 1, "a"},
                        {5, 1, "e"},  {6, 1, ""},      {3, 0, ""},   {3, -1, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(Copy("abcde", c.index, c.count), c.expected);
  }
}

TEST(StringReplaceTest, FlagsChooseFirstOrAllAndCase) {
  struct Case {
    const char* s;
    const char* from;
    const char* to;
    TReplaceFlags flags;
    const char* expected;
  };
  const Case cases[] = {
      {"a.b.c", ".", ",", {}, "a,b.c"},
      {"a.b.c", ".", ",", {rfReplaceAll}, "a,b,c"},
      {"Tag TAG tag", "tag", "x", {rfReplaceAll}, "Tag TAG x"},
      {"Tag TAG tag", "tag", "x", {rfReplaceAll, rfIgnoreCase}, "x x x"},
      {"Tag TAG tag", "tag", "x", {rfIgnoreCase}, "x TAG tag"},
      {"aaa", "a", "aa", {rfReplaceAll}, "aaaaaa"},  // replaced text is not searched again
      {"abc", "", "x", {rfReplaceAll}, "abc"},
      {"\xC3\x84pfel \xC3\xA4pfel", "\xC3\xA4PFEL", "Obst", {rfReplaceAll, rfIgnoreCase}, "Obst Obst"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.s);
    EXPECT_EQ(StringReplace(c.s, c.from, c.to, c.flags), c.expected);
  }
}

TEST(QuotedStrTest, DoublesInnerQuotes) {
  EXPECT_EQ(QuotedStr("it's"), "'it''s'");
  EXPECT_EQ(QuotedStr(""), "''");
}

TEST(IntToTextTest, DecimalAndHexadecimal) {
  EXPECT_EQ(IntToStr(int32_t{-2147483647 - 1}), "-2147483648");
  EXPECT_EQ(IntToStr(int64_t{9223372036854775807}), "9223372036854775807");
  EXPECT_EQ(UIntToStr(uint64_t{18446744073709551615u}), "18446744073709551615");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(0xABCDEF, 2), "ABCDEF");  // never cut
  EXPECT_EQ(IntToHex(0, 0), "0");
  // Negative values in the width of their type.
  EXPECT_EQ(IntToHex(int32_t{-1}, 1), "FFFFFFFF");
  EXPECT_EQ(IntToHex(int16_t{-2}, 1), "FFFFFFFE");
  EXPECT_EQ(IntToHex(int64_t{-1}, 1), "FFFFFFFFFFFFFFFF");
}

TEST(TextToIntTest, AcceptsWhatTheFrameworkAccepts) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  };
  const Case cases[] = {
      {"0", true, 0},
      {"123", true, 123},
      {"-123", true, -123},
      {"+7", true, 7},
      {"  42", true, 42},  // leading blanks
      {"$1F", true, 31},
      {"0x1f", true, 31},
      {"0X10", true, 16},
      {"x10", true, 16},
      {"-$10", true, -16},
      {"$FFFFFFFF", true, -1},  // hexadecimal fills all 32 bits
      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0},
      {"$100000000", false, 0},
      {"42 ", false, 0},  // nothing may follow the digits
      {"", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"1.5", false, 0},
      {"12a", false, 0},
      {"abc", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t v = 99;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
      EXPECT_EQ(StrToInt(c.text), c.value);
    }
    EXPECT_EQ(StrToIntDef(c.text, -7), c.ok ? c.value : -7);
  }
}

TEST(TextToIntTest, SixtyFourBitRange) {
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_EQ(StrToInt64("$FFFFFFFFFFFFFFFF"), -1);
  EXPECT_EQ(StrToInt64("4294967296"), int64_t{4294967296});
  EXPECT_EQ(StrToInt64Def("9223372036854775808", 5), 5);
  int64_t v = 0;
  EXPECT_FALSE(TryStrToInt64("99999999999999999999", v));
}

TEST(TextToIntTest, ErrorNamesTheText) {
  try {
    StrToInt("12x");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "\"12x\" is not a valid integer value");
  }
  EXPECT_THROW(StrToInt64(""), EConvertError);
}

}  // namespace
