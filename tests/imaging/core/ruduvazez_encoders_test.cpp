#include <gtest/gtest.h>

#include <algorithm>
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

// The run-length coding byte by byte, as the format defines it: runs of 2..128
// equal bytes, literals of up to 128 bytes that end before a repeated byte.
std::string PlainRunLength(const std::string& bytes) {
  std::string out;
  const size_t n = bytes.size();
  for (size_t i = 0; i < n;) {
    size_t run = 1;
    while (i + run < n && run < 128 && bytes[i + run] == bytes[i]) ++run;
    if (run >= 2) {
      out += static_cast<char>(257 - run);
      out += bytes[i];
      i += run;
      continue;
    }
    size_t literal = 1;
    while (i + literal < n && literal < 128 && bytes[i + literal] != bytes[i + literal - 1]) ++literal;
    out += static_cast<char>(literal - 1);
    out += bytes.substr(i, literal);
    i += literal;
  }
  return out + '\x80';
}

// Inputs whose runs, literals and zero groups fall on every boundary of
// the word-wise scans and of the 128-byte and line limits.
std::vector<std::string> BoundaryInputs() {
  std::vector<std::string> inputs;
  for (int alphabet : {1, 2, 3, 256})
    for (size_t n : {0, 1, 7, 8, 9, 127, 128, 129, 130, 255, 256, 257, 300, 1001})
      inputs.push_back(RandomBytes(n, alphabet, static_cast<unsigned>(n + alphabet)));
  for (size_t k : {1, 2, 7, 8, 9, 15, 16, 17, 127, 128, 129})
    for (size_t gap : {1, 2, 3, 8, 9})
      for (size_t length : {k + gap, 2 * k + 3 * gap, size_t{600}}) {
        std::string bytes = RandomBytes(length, 256, static_cast<unsigned>(k * 31 + gap));
        for (size_t at = gap; at + k <= bytes.size(); at += k + gap) bytes.replace(at, k, std::string(k, 'q'));
        inputs.push_back(bytes);
      }
  for (size_t zeros : {4, 5, 8, 60, 61, 64})
    for (size_t offset : {0, 1, 3, 4, 59, 60, 61}) {
      std::string bytes = RandomBytes(offset + zeros + 70, 256, static_cast<unsigned>(zeros + offset));
      bytes.replace(offset, zeros, std::string(zeros, '\0'));
      inputs.push_back(bytes);
    }
  return inputs;
}

TEST(RunLength, EqualsThePlainCodingOnEveryBoundary) {
  for (const std::string& input : BoundaryInputs()) EXPECT_EQ(RunLength(input), PlainRunLength(input)) << input.size();
}

// ASCII85 of whole and partial groups, 'z' for four zero bytes, a line
// break after a group that takes the line past 74 characters.
std::string PlainASCII85(const std::string& bytes) {
  std::string out;
  size_t line = 0;
  for (size_t i = 0; i < bytes.size(); i += 4) {
    const size_t count = std::min<size_t>(4, bytes.size() - i);
    uint32_t value = 0;
    for (size_t k = 0; k < 4; ++k) value = value << 8 | (k < count ? static_cast<uint8_t>(bytes[i + k]) : 0);
    std::string group(5, ' ');
    for (int k = 4; k >= 0; --k, value /= 85) group[static_cast<size_t>(k)] = static_cast<char>(value % 85 + 33);
    group = group == "!!!!!" && count == 4 ? "z" : group.substr(0, count + 1);
    out += group;
    line += group.size();
    if (line > 74) out += "\r\n", line = 0;
  }
  return out + "~>\r\n";
}

TEST(ASCII85, EqualsThePlainCodingAndItsLengthOnEveryBoundary) {
  for (const std::string& input : BoundaryInputs()) {
    const Encoded e = ASCII85(input);
    const std::string plain = PlainASCII85(input);
    EXPECT_EQ(e.text, plain) << input.size();
    EXPECT_EQ(e.result, static_cast<int32_t>(plain.size()));
    EXPECT_EQ(IEASCII85Length(reinterpret_cast<const uint8_t*>(input.data()), static_cast<int32_t>(input.size())),
              e.result);
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
