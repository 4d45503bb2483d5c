#include <gtest/gtest.h>

#include "platform/win/user_chars.h"

namespace {

TEST(CharCaseTest, BytesMapByWindows1252) {
  struct Case {
    unsigned char byte, upper, lower;
  } cases[] = {
      {'a', 'A', 'a'},  {'Z', 'Z', 'z'},  {'5', '5', '5'},   {0xE4, 0xC4, 0xE4},  // ä Ä
      {0xC9, 0xC9, 0xE9},                                                         // É é
      {0xF7, 0xF7, 0xF7}, {0xD7, 0xD7, 0xD7},                                     // ÷ ×
      {0xFF, 0x9F, 0xFF}, {0x8A, 0x8A, 0x9A}, {0x9C, 0x8C, 0x9C},                 // ÿ Ÿ, Š š, œ Œ
      {0xDF, 0xDF, 0xDF}, {0xB5, 0xB5, 0xB5}, {0x81, 0x81, 0x81},                 // ß, µ, unassigned
  };
  for (const Case& c : cases) {
    char b = static_cast<char>(c.byte);
    EXPECT_EQ(CharUpperBuffA(&b, 1), 1u);
    EXPECT_EQ(static_cast<unsigned char>(b), c.upper) << int(c.byte);
    b = static_cast<char>(c.byte);
    CharLowerBuffA(&b, 1);
    EXPECT_EQ(static_cast<unsigned char>(b), c.lower) << int(c.byte);
  }
  char text[] = "Hello";
  EXPECT_EQ(CharUpperBuffA(text, 3), 3u);
  EXPECT_STREQ(text, "HELlo");
  EXPECT_EQ(CharLowerBuffA(nullptr, 4), 0u);
}

}  // namespace
