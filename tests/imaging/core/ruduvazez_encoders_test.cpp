#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "tests/imaging/core/test_support.h"

namespace {

struct Encoded {
  std::string text;
  int32_t result = 0;
  int32_t groupChars = 0;
};

Encoded ASCII85(const std::string& bytes) {
  std::vector<char> out(IEASCII85Capacity(bytes.size()));
  const auto* source = reinterpret_cast<const uint8_t*>(bytes.data());
  char* output = out.data();
  Encoded e;
  e.result = IEEncodeASCII85(source, static_cast<int32_t>(bytes.size()), output, e.groupChars);
  e.text.assign(out.data(), output);
  EXPECT_EQ(source, reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size());
  return e;
}

std::string RunLength(const std::string& bytes) {
  std::vector<uint8_t> out(IERunLengthCapacity(bytes.size()));
  int32_t n = IEEncodeRunLength(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<int32_t>(bytes.size()),
                                out.data());
  EXPECT_LE(static_cast<size_t>(n), out.size());
  return std::string(out.begin(), out.begin() + n);
}

std::string Group(const std::string& bytes) {
  char out[5];
  char* output = out;
  const auto* source = reinterpret_cast<const uint8_t*>(bytes.data());
  int32_t n = IEEncodeASCII85Group(source, static_cast<int32_t>(bytes.size()), output);
  EXPECT_EQ(output - out, n);
  return std::string(out, n);
}

TEST(ASCII85, Groups) {
  EXPECT_EQ(Group(std::string(4, '\0')), "z");
  EXPECT_EQ(Group(std::string(1, '\0')), "!!");
  EXPECT_EQ(Group("\xFF\xFF\xFF\xFF"), "s8W-!");
  EXPECT_EQ(Group("abc"), "@:E^");
}

TEST(ASCII85, WholeEncodings) {
  Encoded abc = ASCII85("abc");
  EXPECT_EQ(abc.text, "@:E^~>\r\n");
  EXPECT_EQ(abc.result, 8);
  EXPECT_EQ(abc.groupChars, 4);

  Encoded empty = ASCII85("");
  EXPECT_EQ(empty.text, "~>\r\n");
  EXPECT_EQ(empty.result, 4);

  Encoded ff = ASCII85(std::string(60, '\xFF'));
  std::string line;
  for (int i = 0; i < 15; ++i) line += "s8W-!";
  EXPECT_EQ(ff.text, line + "\r\n~>\r\n");
  EXPECT_EQ(ff.result, 75 + 2 + 4);
  EXPECT_EQ(ff.groupChars, 75);
}

std::string RandomBytes(size_t n, int alphabet, unsigned seed) {
  std::mt19937 generator(seed);
  std::string bytes(n, '\0');
  for (auto& b : bytes) b = static_cast<char>(generator() % alphabet);
  return bytes;
}

TEST(ASCII85, GhostscriptDecodesWhatWeWrite) {
  TempFolder folder;
  for (const std::string& input : {std::string("abc"), std::string(9, '\0'), RandomBytes(1001, 256, 1)}) {
    Encoded e = ASCII85(input);
    EXPECT_EQ(GhostscriptDecode(folder, "ASCII85Decode", e.text), input);
    // Lines hold 75 to 79 characters, groups never split.
    size_t start = 0;
    for (size_t end = e.text.find("\r\n"); end != std::string::npos; end = e.text.find("\r\n", start)) {
      if (e.text.compare(start, 2, "~>") != 0 && end + 2 < e.text.size() - 4) {
        EXPECT_GE(end - start, 75u);
        EXPECT_LE(end - start, 79u);
      }
      start = end + 2;
    }
  }
}

TEST(RunLength, Encodings) {
  EXPECT_EQ(RunLength("\1\1\1"), "\xFE\1\x80");
  EXPECT_EQ(RunLength("\1\2\3"), std::string("\2\1\2\3\x80"));
  EXPECT_EQ(RunLength("\1\2\2"), std::string("\1\1\2\0\2\x80", 6));
  EXPECT_EQ(RunLength(""), "\x80");
  EXPECT_EQ(RunLength(std::string(130, 'a')), std::string("\x81" "a" "\xFF" "a" "\x80", 5));  // runs of at most 128
}

TEST(RunLength, WorstCaseFitsTheStatedRoom) {
  std::string worst;
  for (int i = 0; i < 200; ++i) worst += std::string(i == 0 ? 1 : 2, static_cast<char>(i));
  RunLength(worst);  // checks the room inside
  RunLength("\1\2\2");
}

TEST(RunLength, GhostscriptDecodesWhatWeWrite) {
  TempFolder folder;
  for (const std::string& input : {RandomBytes(5000, 3, 2), RandomBytes(700, 256, 3), std::string(1000, 'x'),
                                   std::string("\1\2\2")}) {
    EXPECT_EQ(GhostscriptDecode(folder, "RunLengthDecode", RunLength(input)), input);
  }
}

}  // namespace
