// Encodings: UTF-16 fields, 8-bit code pages through iconv, and the
// replacement of damaged input.
#include <gtest/gtest.h>

#include <cctype>

#include "platform/rtl/encoding.h"

namespace {

const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD

TEST(Utf8Test, DecodesValidAndReplacesInvalidSequences) {
  struct Case {
    std::string bytes;
    std::u32string chars;
  };
  const char32_t R = ReplacementChar;
  const Case cases[] = {
      {"a\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80", {U'a', 0xE4, 0x20AC, 0x1F600}},
      {"\xC0\xAF", {R, R}},              // overlong "/"
      {"\xED\xA0\x80", {R, R, R}},       // encoded surrogate
      {"\xF4\x90\x80\x80", {R, R, R, R}},  // above U+10FFFF
      {"\xE2\x82", {R}},                 // truncated: one replacement for the prefix
      {"\xE2\x82" "a", {R, U'a'}},
      {"\x80\xFF", {R, R}},
  };
  for (const Case& c : cases) {
    std::u32string got;
    for (size_t pos = 0; pos < c.bytes.size();) got += NextUtf8Char(c.bytes, pos);
    EXPECT_EQ(got, c.chars);
  }
}

TEST(Utf16Test, RoundTripsAndSurrogatePairs) {
  const std::string text = "A\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80";  // A ä € 😀
  const std::u16string wide = Utf8ToUtf16(text);
  EXPECT_EQ(wide, (std::u16string{u'A', 0xE4, 0x20AC, 0xD83D, 0xDE00}));
  EXPECT_EQ(Utf16ToUtf8(wide), text);

  const std::vector<uint8_t> le = Utf8ToUtf16LE("A\xE2\x82\xAC");
  EXPECT_EQ(le, (std::vector<uint8_t>{0x41, 0x00, 0xAC, 0x20}));
  EXPECT_EQ(Utf16LEToUtf8(le), "A\xE2\x82\xAC");
}

TEST(Utf16Test, DamagedUtf16IsReplaced) {
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'a'}), kReplacement + "a");  // lone high surrogate
  EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), kReplacement);            // lone low surrogate
  const uint8_t odd[] = {0x41, 0x00, 0x42};
  EXPECT_EQ(Utf16LEToUtf8(odd, sizeof odd), "A" + kReplacement);
  EXPECT_EQ(Utf16LEToUtf8(nullptr, 0), "");
}

TEST(CodePageTest, RoundTripsThroughEachCodePage) {
  struct Case {
    uint32_t codePage;
    std::string bytes;
    std::string utf8;
  };
  const Case cases[] = {
      {1250, "\x8A\xE8", "\xC5\xA0\xC4\x8D"},                  // Š č
      {1251, "\xC6\xE8\xE2", "\xD0\x96\xD0\xB8\xD0\xB2"},      // Жив
      {1252, "\x80\xE4", "\xE2\x82\xAC\xC3\xA4"},              // € ä
      {1253, "\xC1\xE2", "\xCE\x91\xCE\xB2"},                  // Αβ
      {1254, "\xD0\xFE", "\xC4\x9E\xC5\x9F"},                  // Ğş
      {1255, "\xE0", "\xD7\x90"},                              // א
      {1256, "\xC7", "\xD8\xA7"},                              // ا
      {1257, "\xC0", "\xC4\x84"},                              // Ą
      {874, "\xA1", "\xE0\xB8\x81"},                           // ก
      {932, "\x82\xA0\x83\x41", "\xE3\x81\x82\xE3\x82\xA2"},   // あア
      {936, "\xD6\xD0", "\xE4\xB8\xAD"},                       // 中
      {949, "\xC7\xD1", "\xED\x95\x9C"},                       // 한
      {950, "\xA4\xA4", "\xE4\xB8\xAD"},                       // 中
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    EXPECT_TRUE(IsSupportedCodePage(c.codePage));
    EXPECT_EQ(CodePageToUtf8(c.bytes, c.codePage), c.utf8);
    EXPECT_EQ(Utf8ToCodePage(c.utf8, c.codePage), c.bytes);
  }
  // 1258 writes tone marks after the letter; the reader holds the letter
  // back to compose it, and must give it out at the end of the input.
  EXPECT_EQ(CodePageToUtf8("a\xEC", 1258), "\xC3\xA1");  // á
  EXPECT_EQ(CodePageToUtf8("xa", 1258), "xa");
  EXPECT_EQ(Utf8ToCodePage("\xC3\xA1", 1258), "\xE1");
}

TEST(CodePageTest, InvalidAndUnmappableInputIsReplaced) {
  // A lead byte with no trail byte, and bytes the code page does not assign.
  EXPECT_EQ(CodePageToUtf8("a\x82", 932), "a" + kReplacement);
  EXPECT_EQ(CodePageToUtf8("\x98" "b", 1251), kReplacement + "b");  // 0x98 is unassigned in 1251
  // Characters without a byte, and broken UTF-8, become "?".
  EXPECT_EQ(Utf8ToCodePage("a\xE4\xB8\xAD" "b", 1252), "a?b");
  EXPECT_EQ(Utf8ToCodePage("a\xD0\x96\xFF" "b", 1250), "a??b");
  // An unknown code page keeps ASCII only.
  EXPECT_FALSE(IsSupportedCodePage(12345));
  EXPECT_EQ(CodePageToUtf8("ab\xE4", 12345), "ab" + kReplacement);
  EXPECT_EQ(Utf8ToCodePage("ab\xC3\xA4", 12345), "ab?");
  // UTF-8 as a code page cleans damaged input.
  EXPECT_EQ(CodePageToUtf8("a\xFF", CP_UTF8), "a" + kReplacement);
}

TEST(CodePageTest, LargeDamagedInputStaysBounded) {
  std::string junk;
  for (int i = 0; i < 100000; ++i) junk += static_cast<char>(0x80 + (i * 7) % 128);
  const std::string utf8 = CodePageToUtf8(junk, 932);
  EXPECT_LE(utf8.size(), junk.size() * 3);
  const std::string back = Utf8ToCodePage(junk, 936);  // not UTF-8 at all
  EXPECT_EQ(back, std::string(junk.size(), '?'));
}

TEST(Win1252Test, EveryByteHasACharacterAndBack) {
  EXPECT_EQ(Win1252ToUnicode(0x80), U'\x20AC');
  EXPECT_EQ(Win1252ToUnicode(0x9F), U'\x0178');
  EXPECT_EQ(Win1252ToUnicode(0x81), U'\x0081');  // unassigned: same-value control
  EXPECT_EQ(Win1252ToUnicode(0xE9), U'\x00E9');
  for (int b = 0; b < 256; ++b) {
    EXPECT_EQ(UnicodeToWin1252(Win1252ToUnicode(static_cast<uint8_t>(b))), b);
  }
  EXPECT_EQ(UnicodeToWin1252(0x0100), -1);
  std::string all;
  for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(CodePageToUtf8(all, 1252), AnsiToUtf8(all));
}

TEST(PercentEncoding, KeepsWhatThePredicateKeepsAndEncodesEveryOtherByte) {
  const auto lettersOnly = [](unsigned char c) { return std::isalpha(c) != 0; };
  EXPECT_EQ(PercentEncode("ab c/\xC3\xA9%", lettersOnly), "ab%20c%2F%C3%A9%25");
  EXPECT_EQ(PercentEncode(std::string("\0\xFF", 2), lettersOnly), "%00%FF");
  EXPECT_EQ(PercentEncode("", lettersOnly), "");
}

}  // namespace
