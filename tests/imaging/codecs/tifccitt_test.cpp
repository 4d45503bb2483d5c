// The fax codec: every encoder's rows come back from its decoder in both
// fill orders, at widths from one pixel to runs past the longest make-up
// code; the bit layout of strips is the published one; damaged data ends a
// row the documented way.
#include "imaging/codecs/tifccitt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/rtl/streams.h"

namespace {

using Bytes = std::vector<uint8_t>;

enum class Coding { MH, OneD, G3OneD, G3, G4 };

const char* Name(Coding c) {
  switch (c) {
    case Coding::MH: return "MH";
    case Coding::OneD: return "1-D";
    case Coding::G3OneD: return "G3 1-D";
    case Coding::G3: return "G3 2-D";
    default: return "G4";
  }
}

class CCITTTest : public ::testing::Test {
protected:
  void SetUp() override { IEInitializeCCITT(); }
  void TearDown() override { IEFinalizeCCITT(); }
};

size_t RowBytes(int32_t width) { return (static_cast<size_t>(width) + 7) / 8; }

// Rows in encoder polarity (1 = black), padding bits clear.
std::vector<Bytes> MakeRows(int32_t width, int32_t rows, int32_t maxRun, bool blackFirst, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<Bytes> out;
  for (int32_t y = 0; y < rows; ++y) {
    Bytes row(RowBytes(width), 0);
    bool black = blackFirst;
    for (int32_t x = 0; x < width;) {
      const auto run = static_cast<int32_t>(1 + random() % static_cast<uint32_t>(maxRun));
      for (int32_t k = x; k < std::min(width, x + run); ++k)
        if (black) row[static_cast<size_t>(k >> 3)] |= static_cast<uint8_t>(0x80 >> (k & 7));
      x += run;
      black = !black;
    }
    out.push_back(row);
  }
  return out;
}

Bytes Encode(Coding coding, const std::vector<Bytes>& rows, int32_t width, int32_t fillOrder) {
  TMemoryStream stream;
  bool failed = false;
  int32_t pendingBits = 0;
  uint8_t pendingByte = 0;
  std::vector<uint8_t> reference;
  auto put = [&](const uint8_t* row) {
    switch (coding) {
      case Coding::MH:
        if (row) IECCITTEncodeRowMH(row, width, stream, fillOrder, failed);
        break;
      case Coding::OneD:
        IECCITTEncodeRow1D(row, row ? width : 0, stream, fillOrder, failed, pendingBits, pendingByte);
        break;
      case Coding::G3OneD:
        IECCITTEncodeRowG31D(row, width, stream, fillOrder, failed, pendingBits, pendingByte);
        break;
      case Coding::G3:
        IECCITTEncodeRowG3(row, width, stream, fillOrder, failed, reference, pendingBits, pendingByte);
        break;
      case Coding::G4:
        IECCITTEncodeRowG4(row, width, stream, fillOrder, failed, reference, pendingBits, pendingByte);
        break;
    }
  };
  for (const Bytes& row : rows) put(row.data());
  put(nullptr);
  EXPECT_FALSE(failed);
  EXPECT_EQ(pendingBits, 0);
  EXPECT_TRUE(reference.empty()) << "the finishing call frees the reference row";
  const auto* data = static_cast<const uint8_t*>(stream.Memory());
  return Bytes(data, data + stream.Size());
}

// Rows decoded in decoder polarity (1 = white).
std::vector<Bytes> Decode(Coding coding, const Bytes& data, int32_t width, int32_t rows, int32_t fillOrder) {
  std::vector<Bytes> out;
  Bytes reference(RowBytes(width), 0xFF);
  int64_t bit = 0, byte = 0;
  const auto length = static_cast<int64_t>(data.size());
  for (int32_t y = 0; y < rows; ++y) {
    Bytes row(RowBytes(width) + 4, 0xAB);  // bytes past the row must stay as they are
    switch (coding) {
      case Coding::MH:
        byte += IECCITTDecodeRowMH(row.data(), data.data() + std::min(byte, length), length - std::min(byte, length),
                                   fillOrder, width);
        break;
      case Coding::OneD:
      case Coding::G3OneD:
        bit = IECCITTDecodeRow1D(row.data(), data.data(), length, fillOrder, bit, width);
        break;
      case Coding::G3:
      case Coding::G4:
        bit = IECCITTDecodeRow2D(row.data(), data.data(), length, coding == Coding::G3, fillOrder, bit,
                                 reference.data(), width);
        break;
    }
    for (size_t k = RowBytes(width); k < row.size(); ++k) EXPECT_EQ(row[k], 0xAB) << "written past the row";
    row.resize(RowBytes(width));
    out.push_back(row);
  }
  return out;
}

Bytes Inverted(Bytes row) {
  for (auto& b : row) b = static_cast<uint8_t>(~b);
  return row;
}

TEST_F(CCITTTest, EveryCodingRoundTripsInBothFillOrders) {
  const struct {
    const char* name;
    int32_t width, rows, maxRun;
    bool blackFirst;
  } kCases[] = {
      {"one pixel", 1, 5, 1, true},
      {"narrow rows", 3, 9, 2, false},
      {"narrow rows starting black", 13, 9, 3, true},
      {"short runs", 200, 40, 6, false},
      {"every run length", 1728, 30, 70, true},
      {"runs past the longest make-up code", 9000, 6, 6000, false},
      {"one colour", 2560, 3, 100000, true},
  };
  for (const auto& c : kCases)
    for (Coding coding : {Coding::MH, Coding::OneD, Coding::G3OneD, Coding::G3, Coding::G4})
      for (int32_t fillOrder : {1, 2}) {
        SCOPED_TRACE(std::string(c.name) + " " + Name(coding) + " fill order " + std::to_string(fillOrder));
        const auto rows = MakeRows(c.width, c.rows, c.maxRun, c.blackFirst, static_cast<uint32_t>(c.width));
        const Bytes data = Encode(coding, rows, c.width, fillOrder);
        const auto decoded = Decode(coding, data, c.width, c.rows, fillOrder);
        for (int32_t y = 0; y < c.rows; ++y)
          ASSERT_TRUE(decoded[static_cast<size_t>(y)] == Inverted(rows[static_cast<size_t>(y)])) << "row " << y;
      }
}

Bytes Reversed(Bytes bytes) {
  for (auto& b : bytes) {
    uint8_t r = 0;
    for (int k = 0; k < 8; ++k) r = static_cast<uint8_t>(r | (((b >> k) & 1) << (7 - k)));
    b = r;
  }
  return bytes;
}

// The bits of small strips, written out by hand from the code tables.
TEST_F(CCITTTest, StripsHaveThePublishedBitLayout) {
  const Bytes white8 = {0x00};
  const Bytes blackFirst = {0x80};
  const struct {
    const char* name;
    Coding coding;
    Bytes row;
    Bytes bits;
  } kCases[] = {
      // EOL, tag 1, white 8 (10011); the finishing EOL; two zero bits.
      {"Group 3 starts with EOL and 1, ends with one EOL", Coding::G3, white8, {0x00, 0x1C, 0xC0, 0x04}},
      // V0; EOL EOL; seven zero bits.
      {"Group 4 ends with two EOLs and zero bits", Coding::G4, white8, {0x80, 0x08, 0x00, 0x80}},
      // white 0 (00110101), black 1 (010), white 7 (1111), one zero bit.
      {"a black pixel 0 follows a white run of 0", Coding::MH, blackFirst, {0x35, 0x5E}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(Encode(c.coding, {c.row}, 8, 1) == c.bits);
    EXPECT_TRUE(Encode(c.coding, {c.row}, 8, 2) == Reversed(c.bits));
    for (int32_t fillOrder : {1, 2})
      EXPECT_TRUE(Decode(c.coding, Encode(c.coding, {c.row}, 8, fillOrder), 8, 1, fillOrder)[0] == Inverted(c.row));
  }
  // Group 3 rows after the first are EOL, 0 and 2-D codes: the second of
  // two white rows is EOL, 0, V0 (14 bits) after the first row's 18.
  const Bytes two = Encode(Coding::G3, {white8, white8}, 8, 1);
  ASSERT_EQ(two.size(), 6u);  // 18 + 14 + 12 bits, padded
  EXPECT_EQ(two[2] & 0x3F, 0x00);
  EXPECT_EQ(two[3], 0x05) << "EOL ends at bit 29, tag 0 at bit 30, V0 at bit 31";
  // A Group 3 1-D strip has no EOL: rows follow each other bit by bit.
  EXPECT_EQ(Encode(Coding::OneD, {white8, white8}, 8, 1), (Bytes{0x9C, 0xC0}));
}

TEST_F(CCITTTest, DamagedDataEndsTheRowTheDocumentedWay) {
  uint8_t row[2];
  // Fill bits and an EOL in front of a row are one code: 4 zero bits, EOL,
  // white 3 (1000), black 5 (0011).
  const uint8_t filled[] = {0x00, 0x01, 0x83};
  EXPECT_EQ(IECCITTDecodeRow1D(row, filled, 3, 1, 0, 8), 24);
  EXPECT_EQ(row[0], 0xE0);
  // White 2 (0111), then the data ends inside the black run: the 1-D
  // decoder paints the rest black.
  const uint8_t cut1D[] = {0x70};
  IECCITTDecodeRow1D(row, cut1D, 1, 1, 0, 16);
  EXPECT_EQ(row[0], 0xC0);
  EXPECT_EQ(row[1], 0x00);
  // Horizontal, white 2, then nothing: the 2-D decoder leaves it white.
  uint8_t reference[2] = {0xFF, 0xFF};
  const uint8_t cut2D[] = {0x2E};
  IECCITTDecodeRow2D(row, cut2D, 1, false, 1, 0, reference, 16);
  EXPECT_EQ(row[0], 0xFF);
  EXPECT_EQ(row[1], 0xFF);
  EXPECT_EQ(reference[1], 0xFF) << "the row becomes the reference";
  // A vertical code that would put a1 before a0 (horizontal white 10,
  // black 2; then VL3 against b1 = 13 gives 10 < 12) ends the row; the V0
  // after it would have painted 12..15 black.
  uint8_t blackEnd[2] = {0xFF, 0xF8};
  const uint8_t backwards[] = {0x27, 0xC1, 0x40};
  IECCITTDecodeRow2D(row, backwards, 3, false, 1, 0, blackEnd, 16);
  EXPECT_EQ(row[0], 0xFF);
  EXPECT_EQ(row[1], 0xCF);
  // Garbage of every kind decodes without reading or writing out of place.
  std::mt19937 random(7);
  for (int trial = 0; trial < 300; ++trial) {
    Bytes data(1 + random() % 40);
    for (auto& b : data) b = static_cast<uint8_t>(random() % 4 == 0 ? 0 : random());
    const auto width = static_cast<int32_t>(1 + random() % 300);
    for (Coding coding : {Coding::MH, Coding::OneD, Coding::G3OneD, Coding::G3, Coding::G4}) Decode(coding, data, width, 6, 1);
  }
}

}  // namespace
