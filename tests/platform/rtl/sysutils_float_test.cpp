// Floating-point text: the framework's choice of notation, rounding of the
// exact binary value (halves away from zero) and reading numbers back.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/rtl/sysutils.h"

namespace {

TFormatSettings decimalComma() {
  TFormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = '.';
  return fs;
}

const TFormatSettings& dot() { return InvariantFormatSettings(); }

TEST(FloatToStrTest, GeneralFormChoosesFixedOrExponent) {
  struct Case {
    long double value;
    const char* expected;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-2.5, "-2.5"},
      {0.1, "0.1"},  // 15 digits hide the binary error
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345.0, "123456789012345"},
      {1e14, "100000000000000"},
      {1e15, "1E15"},  // 16 integer digits: exponent form
      {1234567890123456.0, "1.23456789012346E15"},
      {0.0001, "0.0001"},
      {0.00012345, "0.00012345"},
      {1e-5, "1E-5"},
      {0.000015, "1.5E-5"},
      {-1.5e-7, "-1.5E-7"},
      {1e300, "1E300"},
      {0.1f, "0.100000001490116"},  // a single keeps its binary value
      {4.9406564584124654e-324, "4.94065645841247E-324"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStr(c.value, dot()), c.expected);
  }
}

TEST(FloatToStrTest, UsesTheDecimalSeparatorOfTheSettings) {
  EXPECT_EQ(FloatToStr(1.5, decimalComma()), "1,5");
  EXPECT_EQ(FloatToStr(1.5e-5, decimalComma()), "1,5E-5");
  TFormatSettingsOverride guard(decimalComma());
  EXPECT_EQ(FloatToStr(-0.25), "-0,25");
}

TEST(FloatToStrFTest, FormatsAsCallersUseThem) {
  struct Case {
    long double value;
    TFloatFormat format;
    int32_t precision, digits;
    const char* expected;
  };
  const Case cases[] = {
      // fixed: Digits decimals, padded, no grouping
      {1234.567, ffFixed, 15, 2, "1234.57"},
      {3.14159, ffFixed, 15, 2, "3.14"},
      {-0.001, ffFixed, 15, 2, "0.00"},  // no sign on a zero result
      {2.5, ffFixed, 15, 0, "3"},        // halves away from zero
      {-2.5, ffFixed, 15, 0, "-3"},
      {0.125, ffFixed, 15, 2, "0.13"},  // 0.125 is exact
      {1.005, ffFixed, 15, 2, "1.00"},  // 1.005 is 1.00499999999999989...
      {1.23456789, ffFixed, 4, 6, "1.235000"},  // precision rounds first
      {99.995, ffFixed, 15, 2, "100.00"},      // 99.99500000000000454..., carries
      {1.015, ffFixed, 15, 2, "1.01"},         // 1.01499999999999990...
      {9.9999, ffFixed, 15, 2, "10.00"},
      {1e20, ffFixed, 15, 2, "1E20"},  // too many integer digits: general form
      // number: grouped
      {1234567.891, ffNumber, 15, 2, "1,234,567.89"},
      {-1234.5, ffNumber, 15, 0, "-1,235"},
      {999.5, ffNumber, 15, 0, "1,000"},
      {12, ffNumber, 15, 1, "12.0"},
      // exponent: Precision digits, signed exponent of at least Digits digits
      {1234.5, ffExponent, 4, 2, "1.235E+03"},
      {-0.000123, ffExponent, 3, 0, "-1.23E-4"},
      {0, ffExponent, 3, 2, "0.00E+00"},
      {1, ffExponent, 15, 3, "1.00000000000000E+000"},
      // general with another precision and exponent digits
      {123456, ffGeneral, 4, 0, "1.235E5"},
      {1e-5, ffGeneral, 15, 3, "1E-005"},
      {0.5, ffGeneral, 15, 3, "0.5"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FloatToStrF(c.value, c.format, c.precision, c.digits, dot()), c.expected);
  }
  EXPECT_EQ(FloatToStrF(1234567.891, ffNumber, 15, 2, decimalComma()), "1.234.567,89");
}

TEST(FloatToStrFTest, ExactExpansionOfExtremeValues) {
  // The largest values expand to thousands of digits before rounding; the
  // smallest subnormals need many more. Both round correctly.
  EXPECT_EQ(FloatToStr(DBL_MAX, dot()), "1.79769313486232E308");
  EXPECT_EQ(FloatToStr(LDBL_MAX, dot()), "1.18973149535723E4932");
  EXPECT_EQ(FloatToStr(std::numeric_limits<long double>::denorm_min(), dot()), "3.64519953188247E-4951");
  EXPECT_EQ(FloatToStrF(LDBL_MAX, ffFixed, 18, 2, dot()), "1.18973149535723177E4932");
}

TEST(FormatFloatTest, Pictures) {
  struct Case {
    const char* picture;
    long double value;
    const char* expected;
  };
  const Case cases[] = {
      {"0.00", 12.345, "12.35"},  // 12.3450000000000006...
      {"0.00", 0.125, "0.13"},
      {"0.00", 1.005, "1.00"},
      {"0.00", -1, "-1.00"},  // free megabytes of a missing drive
      {"0.00", 0, "0.00"},
      {"0.00", -0.001, "0.00"},
      {"0.00", 1234567.5, "1234567.50"},
      {"#,##0.00", 1234567.5, "1,234,567.50"},
      {"#,##0.00", 0.5, "0.50"},
      {"#,##0", 999.5, "1,000"},
      {"0.###", 2.5, "2.5"},
      {"0.###", 2.0, "2"},
      {"0.###", 2.00049, "2"},
      {"0.###", 2.0005, "2.001"},
      {"#.##", 0.5, ".5"},
      {"000", 7, "007"},
      {"0", 2.5, "3"},
      {"0", -2.5, "-3"},
      {"0.0 MB", 1.25, "1.3 MB"},
      {"'#'0", 5, "#5"},
      {"", 0.1, "0.1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.picture) + " " + c.expected);
    EXPECT_EQ(FormatFloat(c.picture, c.value, dot()), c.expected);
  }
  EXPECT_EQ(FormatFloat("#,##0.00", 1234.5, decimalComma()), "1.234,50");
}

TEST(TextToFloatTest, SyntaxAndSeparator) {
  struct Case {
    const char* text;
    bool ok;
    long double value;
  };
  const Case cases[] = {
      {"1.5", true, 1.5L},
      {"  -2.25  ", true, -2.25L},
      {"+3", true, 3},
      {".5", true, 0.5L},
      {"5.", true, 5},
      {"1e3", true, 1000},
      {"1.5E-2", true, 0.015L},
      {"2e+2", true, 200},
      {"1,5", false, 0},  // not the decimal separator here
      {"1,000.5", false, 0},
      {"", false, 0},
      {".", false, 0},
      {"-", false, 0},
      {"1e", false, 0},
      {"1.5.2", false, 0},
      {"abc", false, 0},
      {"1 5", false, 0},
      {"1e99999", false, 0},  // overflow
      {"inf", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    long double v = 0;
    EXPECT_EQ(TextToFloat(c.text, v, dot()), c.ok);
    if (c.ok) {
      EXPECT_EQ(v, c.value);
    }
  }
}

TEST(TextToFloatTest, DecimalCommaAndDefaults) {
  const TFormatSettings de = decimalComma();
  long double v = 0;
  EXPECT_TRUE(TextToFloat("1,5", v, de));
  EXPECT_EQ(v, 1.5L);
  EXPECT_FALSE(TextToFloat("1.5", v, de));
  EXPECT_EQ(StrToFloatDef("abc", 7, de), 7);
  EXPECT_EQ(StrToFloatDef("-0,25", 7, de), -0.25L);

  // The double overload rounds the text once, straight to double.
  double d = 0;
  EXPECT_TRUE(TryStrToFloat("0,1", d, de));
  EXPECT_EQ(d, 0.1);
  EXPECT_FALSE(TryStrToFloat("1e400", d, de));  // beyond double

  TFormatSettingsOverride guard(de);
  EXPECT_EQ(StrToFloat("2,5"), 2.5L);
  try {
    StrToFloat("2.5");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "\"2.5\" is not a valid floating point value");
  }
}

TEST(TextToFloatTest, RoundTripsTheWrittenText) {
  // What FloatToStr writes reads back to the same 15 significant digits.
  for (const long double v : {0.1L, -123.456L, 1e-10L, 6.02214076e23L, 1.0L / 7}) {
    const std::string text = FloatToStr(v, decimalComma());
    const long double back = StrToFloat(text, decimalComma());
    EXPECT_EQ(FloatToStr(back, decimalComma()), text);
  }
}

}  // namespace
