// Format: the specifiers callers write, their arguments and the errors a
// wrong argument raises.
#include <gtest/gtest.h>

#include "platform/rtl/sysutils.h"

namespace {

const TFormatSettings& dot() { return InvariantFormatSettings(); }

TFormatSettings decimalComma() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  return fs;
}

TEST(FormatTest, Integers) {
  EXPECT_EQ(Format("Crop %d, %d, %d, %d", {1, -2, int64_t{3000000000}, uint8_t{4}}, dot()),
            "Crop 1, -2, 3000000000, 4");
  EXPECT_EQ(Format("[%5d|%-5d|%.3d|%.3d|%5.3d]", {42, 42, 7, -7, 7}, dot()), "[   42|42   |007|-007|  007]");
  EXPECT_EQ(Format("Estimated time left: %d:%.2d:%.2d", {1, 5, 30}, dot()), "Estimated time left: 1:05:30");
  EXPECT_EQ(Format("%u %u %u", {uint32_t{4000000000u}, -1, int64_t{-1}}, dot()),
            "4000000000 4294967295 18446744073709551615");
  EXPECT_EQ(Format("%x %X %.4x %x", {255, 255, 10, int64_t{-1}}, dot()), "FF FF 000A FFFFFFFFFFFFFFFF");
  EXPECT_EQ(Format("%x", {-1}, dot()), "FFFFFFFF");
  EXPECT_EQ(Format("%d", {uint64_t{18446744073709551615u}}, dot()), "18446744073709551615");
}

TEST(FormatTest, TextsAndPercent) {
  EXPECT_EQ(Format("Key \"%s\" not found", {"Width"}, dot()), "Key \"Width\" not found");
  EXPECT_EQ(Format("[%6s|%-6s|%.2s]", {"ab", "ab", "abcdef"}, dot()), "[    ab|ab    |ab]");
  EXPECT_EQ(Format("100%% %s", {std::string("done")}, dot()), "100% done");
  EXPECT_EQ(Format("%s%s", {'x', std::string_view("yz")}, dot()), "xyz");
  // Width and precision count characters, not bytes.
  EXPECT_EQ(Format("[%4s|%.1s]", {"\xC3\xA4", "\xC3\xA4\xC3\xB6"}, dot()), "[   \xC3\xA4|\xC3\xA4]");
  EXPECT_EQ(Format("no specifiers", {}, dot()), "no specifiers");
}

TEST(FormatTest, FloatingPoint) {
  struct Case {
    const char* fmt;
    long double value;
    const char* expected;
  };
  const Case cases[] = {
      {"%f", 3.14159, "3.14"},  // two decimals by default
      {"%.1f", 2.25, "2.3"},    // exact half, away from zero
      {"%.0f", 0.5, "1"},
      {"%.2f", 1.005, "1.00"},
      {"File size: %.1f Kb", 1536.0 / 1024, "File size: 1.5 Kb"},
      {"%n", 1234567.891, "1,234,567.89"},
      {"%.0n", 1234567.5, "1,234,568"},
      {"%1.0n Kb", 12345, "12,345 Kb"},
      {"%1.2n Gb", 1.5, "1.50 Gb"},
      {"%g", 0.1, "0.1"},
      {"%g", 1.0 / 3, "0.333333333333333"},
      {"%g", 1e20, "1E020"},
      {"%.3g", 3.14159, "3.14"},
      {"%e", 1234.5, "1.23450000000000E+003"},
      {"%.3e", -0.00123, "-1.23E-003"},
      {"Rotate %f", -90, "Rotate -90.00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fmt);
    EXPECT_EQ(Format(c.fmt, {c.value}, dot()), c.expected);
  }
  EXPECT_EQ(Format("[%8.2f|%-8.2f]", {3.14159, 3.14159}, dot()), "[    3.14|3.14    ]");
}

TEST(FormatTest, FloatsUseTheGivenSeparators) {
  const TFormatSettings de = decimalComma();
  EXPECT_EQ(Format("%.2f|%n|%g|%e", {1234.5, 1234.5, 0.5, 1.5}, de), "1234,50|1.234,50|0,5|1,50000000000000E+000");
  // Integers are accepted where a float is expected.
  EXPECT_EQ(Format("%.0n bytes", {int64_t{10485760}}, de), "10.485.760 bytes");
  TFormatSettingsOverride guard(de);
  EXPECT_EQ(Format("%.1f", {0.25}), "0,3");
}

TEST(FormatTest, IndexesAndStars) {
  EXPECT_EQ(Format("%1:s %0:s %s", {"a", "b"}, dot()), "b a b");  // the list goes on after an index
  EXPECT_EQ(Format("%0:s-%0:s", {"x"}, dot()), "x-x");
  EXPECT_EQ(Format("[%*d|%-*d|%.*f]", {4, 7, 3, 8, 1, 3.14159}, dot()), "[   7|8  |3.1]");
  EXPECT_EQ(Format("[%*d]", {-4, 7}, dot()), "[7   ]");  // a negative star width justifies left
  EXPECT_EQ(Format("%p", {reinterpret_cast<const void*>(0x1234)}, dot()), "0000000000001234");
}

TEST(FormatTest, MismatchesAndMalformedSpecifiersRaise) {
  struct Case {
    const char* fmt;
    std::vector<TVarRec> args;
    const char* message;
  };
  const Case cases[] = {
      {"%d", {1.5}, "Format '%d' invalid or incompatible with argument"},
      {"%d", {"12"}, "Format '%d' invalid or incompatible with argument"},
      {"%s", {12}, "Format '%s' invalid or incompatible with argument"},
      {"%f", {"1.5"}, "Format '%f' invalid or incompatible with argument"},
      {"%x", {2.0}, "Format '%x' invalid or incompatible with argument"},
      {"%*d", {"w", 1}, "Format '%*d' invalid or incompatible with argument"},
      {"abc %", {1}, "Format 'abc %' invalid or incompatible with argument"},
      {"%z", {1}, "Format '%z' invalid or incompatible with argument"},
      {"%5", {1}, "Format '%5' invalid or incompatible with argument"},
      {"%99999999999d", {1}, "Format '%99999999999d' invalid or incompatible with argument"},
      {"%d %d", {1}, "No argument for format '%d %d'"},
      {"%s", {}, "No argument for format '%s'"},
      {"%5:s", {"a"}, "Format '%5:s' invalid or incompatible with argument"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fmt);
    try {
      Format(c.fmt, c.args, dot());
      ADD_FAILURE() << "no exception";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
}

TEST(FormatTest, ArbitraryFormatTextsNeverCrash) {
  // Format texts come from language files too: whatever they hold, Format
  // either writes a result or raises EConvertError.
  const std::string alphabet = "%%%0123456789.*:-dsfxgnupe ab";
  uint32_t state = 1;
  auto next = [&state] { return state = state * 1103515245u + 12345u; };
  for (int round = 0; round < 3000; ++round) {
    std::string fmt;
    const size_t length = next() % 12;
    for (size_t i = 0; i < length; ++i) fmt += alphabet[(next() >> 8) % alphabet.size()];
    try {
      Format(fmt, {3, 2.5, "text", int64_t{-4}}, InvariantFormatSettings());
    } catch (const EConvertError&) {
    }
  }
}

}  // namespace
