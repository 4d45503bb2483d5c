// The fax codec: the code tables, the decode trees built at start-up, the
// row decoders (1-D, Modified Huffman, 2-D) and the row encoders.
//
// Sections: code tables | decode trees | bit access | row painting and
// changing elements | decoders | bit writing | encoders
#include "imaging/codecs/tifccitt.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/streams.h"

namespace {

// ---- code tables ----------------------------------------------------------------------

// One code: its length in bits, its value right-aligned and the run it
// stands for (-3 end of line, -1 a code that is skipped).
struct CodeEntry {
  int32_t length = 0;
  uint16_t code = 0;
  int32_t run = 0;
};

constexpr int32_t kEntries = 128;
constexpr int32_t kEOLEntry = 104;
constexpr int32_t kOutOfData = 127;  // an end of line of 32 bits: what lies past the data reads as
constexpr int32_t kNoCode = 128;     // no code matched

// Terminating codes of runs 0..63 and make-up codes of 64..1728, as bit texts.
constexpr const char* kWhiteTerminating[64] = {
    "00110101", "000111",   "0111",     "1000",     "1011",     "1100",     "1110",     "1111",
    "10011",    "10100",    "00111",    "01000",    "001000",   "000011",   "110100",   "110101",
    "101010",   "101011",   "0100111",  "0001100",  "0001000",  "0010111",  "0000011",  "0000100",
    "0101000",  "0101011",  "0010011",  "0100100",  "0011000",  "00000010", "00000011", "00011010",
    "00011011", "00010010", "00010011", "00010100", "00010101", "00010110", "00010111", "00101000",
    "00101001", "00101010", "00101011", "00101100", "00101101", "00000100", "00000101", "00001010",
    "00001011", "01010010", "01010011", "01010100", "01010101", "00100100", "00100101", "01011000",
    "01011001", "01011010", "01011011", "01001010", "01001011", "00110010", "00110011", "00110100"};
constexpr const char* kWhiteMakeUp[27] = {
    "11011",     "10010",     "010111",    "0110111",   "00110110",  "00110111",  "01100100",
    "01100101",  "01101000",  "01100111",  "011001100", "011001101", "011010010", "011010011",
    "011010100", "011010101", "011010110", "011010111", "011011000", "011011001", "011011010",
    "011011011", "010011000", "010011001", "010011010", "011000",    "010011011"};
constexpr const char* kBlackTerminating[64] = {
    "0000110111",   "010",          "11",           "10",           "011",          "0011",
    "0010",         "00011",        "000101",       "000100",       "0000100",      "0000101",
    "0000111",      "00000100",     "00000111",     "000011000",    "0000010111",   "0000011000",
    "0000001000",   "00001100111",  "00001101000",  "00001101100",  "00000110111",  "00000101000",
    "00000010111",  "00000011000",  "000011001010", "000011001011", "000011001100", "000011001101",
    "000001101000", "000001101001", "000001101010", "000001101011", "000011010010", "000011010011",
    "000011010100", "000011010101", "000011010110", "000011010111", "000001101100", "000001101101",
    "000011011010", "000011011011", "000001010100", "000001010101", "000001010110", "000001010111",
    "000001100100", "000001100101", "000001010010", "000001010011", "000000100100", "000000110111",
    "000000111000", "000000100111", "000000101000", "000001011000", "000001011001", "000000101011",
    "000000101100", "000001011010", "000001100110", "000001100111"};
constexpr const char* kBlackMakeUp[27] = {
    "0000001111",    "000011001000",  "000011001001",  "000001011011",  "000000110011",  "000000110100",
    "000000110101",  "0000001101100", "0000001101101", "0000001001010", "0000001001011", "0000001001100",
    "0000001001101", "0000001110010", "0000001110011", "0000001110100", "0000001110101", "0000001110110",
    "0000001110111", "0000001010010", "0000001010011", "0000001010100", "0000001010101", "0000001011010",
    "0000001011011", "0000001100100", "0000001100101"};
// Make-up codes of 1792..2560, common to both colours.
constexpr const char* kExtendedMakeUp[13] = {"00000001000",  "00000001100",  "00000001101",  "000000010010",
                                             "000000010011", "000000010100", "000000010101", "000000010110",
                                             "000000010111", "000000011100", "000000011101", "000000011110",
                                             "000000011111"};

constexpr CodeEntry FromText(const char* bits, int32_t run) {
  CodeEntry e;
  e.run = run;
  for (const char* p = bits; *p; ++p) {
    e.code = static_cast<uint16_t>((e.code << 1) | (*p == '1' ? 1 : 0));
    ++e.length;
  }
  return e;
}

using CodeTable = std::array<CodeEntry, kEntries>;

constexpr CodeTable MakeTable(const char* const* terminating, const char* const* makeUp) {
  CodeTable t{};
  for (int32_t k = 0; k < 64; ++k) t[static_cast<size_t>(k)] = FromText(terminating[k], k);
  for (int32_t k = 0; k < 27; ++k) t[static_cast<size_t>(64 + k)] = FromText(makeUp[k], 64 * (k + 1));
  for (int32_t k = 0; k < 13; ++k) t[static_cast<size_t>(91 + k)] = FromText(kExtendedMakeUp[k], 1792 + 64 * k);
  t[kEOLEntry] = CodeEntry{12, 1, -3};
  for (int32_t k = 0; k < 3; ++k) t[static_cast<size_t>(105 + k)] = CodeEntry{9 + k, 1, -1};
  // An end of line with 1 to 20 fill bits in front of it is one code.
  for (int32_t k = 0; k < 20; ++k) t[static_cast<size_t>(108 + k)] = CodeEntry{13 + k, 1, -3};
  return t;
}

constexpr CodeTable kWhiteCodes = MakeTable(kWhiteTerminating, kWhiteMakeUp);
constexpr CodeTable kBlackCodes = MakeTable(kBlackTerminating, kBlackMakeUp);

const CodeTable& Codes(bool black) { return black ? kBlackCodes : kWhiteCodes; }

// The decoder's modes, searched in this order.
enum Mode : int32_t { kModeZeros = 0, kModePass, kModeHorizontal, kModeVL3, kModeV0 = 6, kModeVR3 = 9, kModeExt2D,
                      kModeExt1D, kModeEOL, kModeCount };
constexpr std::array<CodeEntry, kModeCount> kDecodeModes = {
    FromText("000000000000", 0), FromText("0001", 0),    FromText("001", 0),        FromText("0000010", 0),
    FromText("000010", 0),       FromText("010", 0),     FromText("1", 0),          FromText("011", 0),
    FromText("000011", 0),       FromText("0000011", 0), FromText("0000001111", 0), FromText("000000001111", 0),
    FromText("000000000001", 0)};

// The encoder's modes: horizontal, pass, then vertical for b1 - a1 = -3..3.
constexpr CodeEntry kHorizontal = FromText("001", 0);
constexpr CodeEntry kPass = FromText("0001", 0);
constexpr std::array<CodeEntry, 7> kVertical = {FromText("0000011", 0), FromText("000011", 0), FromText("011", 0),
                                                FromText("1", 0),       FromText("010", 0),    FromText("000010", 0),
                                                FromText("0000010", 0)};
constexpr CodeEntry kEOL = FromText("000000000001", 0);

// ---- decode trees ---------------------------------------------------------------------

// A node: the entry index at a leaf, kNoCode inside; children by bit.
struct TreeNode {
  int32_t value = kNoCode;
  std::unique_ptr<TreeNode> child[2];
};

// White first. Built by IEInitializeCCITT, only read afterwards.
std::unique_ptr<TreeNode> trees[2];

// The trees' first kQuickBits levels as tables, built with them: for each
// value of the next kQuickBits bits, the entry index of the code they
// begin with, kNoCode when no code fits, or -1 when the code is longer
// and the walk goes on in the tree.
constexpr int32_t kQuickBits = 13;
std::array<std::array<int16_t, 1 << kQuickBits>, 2> quick{};
// The mode of each value of the next 12 bits (the longest mode code).
std::array<uint8_t, 1 << 12> quickModes{};

int32_t WalkFrom(const TreeNode* node, uint32_t window, int32_t from, int32_t to, const TreeNode** last) {
  for (int32_t i = from; i < to; ++i) {
    node = node->child[(window >> (31 - i)) & 1].get();
    if (!node) return kNoCode;
    if (node->value != kNoCode) return node->value;
  }
  *last = node;
  return -1;
}

void BuildQuickTables() {
  for (int colour = 0; colour < 2; ++colour)
    for (uint32_t v = 0; v < (1u << kQuickBits); ++v) {
      const TreeNode* last = nullptr;
      quick[static_cast<size_t>(colour)][v] =
          static_cast<int16_t>(WalkFrom(trees[colour].get(), v << (32 - kQuickBits), 0, kQuickBits, &last));
    }
  for (uint32_t v = 0; v < quickModes.size(); ++v) {
    uint8_t mode = 0;
    for (int32_t m = 0; m < kModeCount; ++m) {
      const CodeEntry& e = kDecodeModes[static_cast<size_t>(m)];
      if ((v >> (12 - e.length)) == e.code) {
        mode = static_cast<uint8_t>(m);
        break;
      }
    }
    quickModes[v] = mode;
  }
}

void Insert(TreeNode& root, const CodeEntry& e, int32_t index) {
  TreeNode* node = &root;
  for (int32_t bit = e.length - 1; bit >= 0; --bit) {
    auto& next = node->child[(e.code >> bit) & 1];
    if (!next) next = std::make_unique<TreeNode>();
    node = next.get();
  }
  node->value = index;
}

// Frees the children before their parent (codes are at most 32 bits deep).
void FreeTree(std::unique_ptr<TreeNode>& node) {
  if (!node) return;
  FreeTree(node->child[0]);
  FreeTree(node->child[1]);
  node.reset();
}

// ---- bit access ---------------------------------------------------------------------

// Window near the end of the data or in reversed fill order.
[[gnu::noinline]] uint32_t WindowByBytes(const uint8_t* data, int64_t length, int64_t p, int32_t fillOrder) {
  uint64_t bits = 0;
  const int64_t at = p >> 3;
  for (int64_t k = 0; k < 5; ++k) {
    uint8_t b = at + k < length ? data[at + k] : 0;
    if (fillOrder == 2) IEReverseBits8(b);
    bits = (bits << 8) | b;
  }
  return static_cast<uint32_t>((bits << (p & 7)) >> 8);
}

// The 32 bits from bit position p, most significant first; bytes past the
// end read as zero.
inline uint32_t Window(const uint8_t* data, int64_t length, int64_t p, int32_t fillOrder) {
  const int64_t at = p >> 3;
  if (fillOrder == 2 || at + 8 > length) return WindowByBytes(data, length, p, fillOrder);
  uint64_t word;
  std::memcpy(&word, data + at, sizeof word);
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  return static_cast<uint32_t>((word << (p & 7)) >> 32);
}

// The entry index of a code longer than the quick table, kNoCode when none
// matches: its first bits walked again, then on.
[[gnu::noinline]] int32_t LookUpLong(const TreeNode* node, uint32_t window) {
  const TreeNode* last = nullptr;
  WalkFrom(node, window, 0, kQuickBits, &last);
  if (!last) return kNoCode;
  const int32_t index = WalkFrom(last, window, kQuickBits, 32, &last);
  return index >= 0 ? index : kNoCode;
}

// The entry index of the code of the colour at p: kOutOfData past the data,
// kNoCode when no code matches.
inline int32_t LookUp(bool black, const uint8_t* data, int64_t length, int64_t p, int32_t fillOrder) {
  if ((p >> 3) >= length) return kOutOfData;
  const TreeNode* node = trees[black ? 1 : 0].get();
  if (!node) return kOutOfData;
  const uint32_t window = Window(data, length, p, fillOrder);
  const int32_t quickIndex = quick[black ? 1 : 0][window >> (32 - kQuickBits)];
  return quickIndex >= 0 ? quickIndex : LookUpLong(node, window);
}

int32_t LookUpMode(const uint8_t* data, int64_t length, int64_t p, int32_t fillOrder) {
  return quickModes[Window(data, length, p, fillOrder) >> 20];
}

bool Bit(const uint8_t* data, int64_t length, int64_t p, int32_t fillOrder) {
  return (Window(data, length, p, fillOrder) >> 31) != 0;
}

// ---- row painting and changing elements ---------------------------------------------------

int64_t RowBytes(int32_t width) { return (int64_t{width} + 7) / 8; }

// Clears [from, to) of the row, clipped to [0, width).
[[gnu::always_inline]] inline void PaintBlack(uint8_t* row, int64_t from, int64_t to, int32_t width) {
  from = std::max<int64_t>(from, 0);
  to = std::min<int64_t>(to, width);
  if (from >= to) return;
  const int64_t first = from >> 3, last = (to - 1) >> 3;
  const auto head = static_cast<uint8_t>(0xFF >> (from & 7));         // from to the byte's end
  const auto tail = static_cast<uint8_t>(0xFF << (7 - ((to - 1) & 7)));  // the byte's start to to - 1
  if (first == last) {
    row[first] &= static_cast<uint8_t>(~(head & tail));
    return;
  }
  row[first] &= static_cast<uint8_t>(~head);
  std::memset(row + first + 1, 0, static_cast<size_t>(last - first - 1));
  row[last] &= static_cast<uint8_t>(~tail);
}

// The pixel at x; positions below 0 read as a 1 bit, at or past the width as 0.
bool Pixel(const uint8_t* row, int64_t x, int32_t width) {
  if (x < 0) return true;
  if (x >= width) return false;
  return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

// The next position at or after s, before the width, whose bit is v; the
// width when there is none. Whole bytes of the other value are skipped and
// the bit within a byte found by counting leading zeros.
int64_t FindNext(const uint8_t* row, int64_t s, bool v, int32_t width) {
  s = std::max<int64_t>(s, 0);
  if (s >= width) return width;
  int64_t byte = s >> 3;
  const int64_t lastByte = (int64_t{width} - 1) >> 3;
  const uint8_t flip = v ? 0x00 : 0xFF;
  auto bits = static_cast<uint8_t>((row[byte] ^ flip) & (0xFF >> (s & 7)));
  if (!bits) {
    // Eight bytes of the other value at a time, then byte by byte.
    const uint64_t other = v ? 0 : ~uint64_t{0};
    uint64_t word;
    while (byte + 8 <= lastByte && (std::memcpy(&word, row + byte + 1, sizeof word), word == other)) byte += 8;
  }
  while (!bits) {
    if (++byte > lastByte) return width;
    bits = static_cast<uint8_t>(row[byte] ^ flip);
  }
  return std::min<int64_t>(byte * 8 + std::countl_zero(bits), width);
}

// ---- decoders ---------------------------------------------------------------------

struct BitSource {
  const uint8_t* data;
  int64_t length;
  int32_t fillOrder;
  int64_t pos;
};

int64_t Decode1D(uint8_t* row, BitSource& in, int32_t width) {
  std::memset(row, 0xFF, static_cast<size_t>(RowBytes(width)));
  int64_t x = 0, start = in.pos;
  bool black = false, makeUp = false;
  while (x < width || makeUp) {
    const int32_t index = LookUp(black, in.data, in.length, in.pos, in.fillOrder);
    if (index == kNoCode) {
      ++in.pos;
      ++start;
      continue;
    }
    const CodeEntry& e = Codes(black)[static_cast<size_t>(index)];
    in.pos += e.length;
    if (e.run == -3) {
      if (in.pos - e.length == start) continue;  // an end of line before the row's codes
      if (black) PaintBlack(row, x, width, width);
      break;
    }
    if (e.run == -1) continue;
    if (black) PaintBlack(row, x, x + e.run, width);
    x += e.run;
    makeUp = index >= 64;
    if (!makeUp) black = !black;
  }
  return in.pos;
}

// A run of the colour as make-up codes and a terminating code; -1 when an
// end of line, a skipped code or no code stands in it.
[[gnu::always_inline]] inline int64_t ReadRun(BitSource& in, bool black) {
  int64_t sum = 0;
  while ((in.pos >> 3) < in.length) {
    const int32_t index = LookUp(black, in.data, in.length, in.pos, in.fillOrder);
    if (index == kNoCode) {
      ++in.pos;
      return -1;
    }
    const CodeEntry& e = Codes(black)[static_cast<size_t>(index)];
    if (e.run == -3) return -1;  // left for the row's end
    in.pos += e.length;
    if (e.run < 0) return -1;
    sum += e.run;
    if (index < 64) break;
  }
  return sum;
}

// Uncompressed mode: pixels as literal codes until an exit code; returns the
// colour that follows.
bool DecodeUncompressed(uint8_t* row, BitSource& in, int64_t& a0, int32_t width, bool black) {
  a0 = std::max<int64_t>(a0, 0);
  while (a0 < width && (in.pos >> 3) < in.length) {
    const uint32_t window = Window(in.data, in.length, in.pos, in.fillOrder);
    int32_t zeros = 0;
    while (zeros < 11 && !((window >> (31 - zeros)) & 1)) ++zeros;
    if (zeros <= 4) {  // zeros white pixels, then one black
      PaintBlack(row, a0 + zeros, a0 + zeros + 1, width);
      a0 += zeros + 1;
      in.pos += zeros + 1;
    } else if (zeros == 5) {
      a0 += 5;
      in.pos += 6;
    } else if (zeros <= 10) {  // exit: zeros - 6 white pixels, then the tag bit
      a0 += zeros - 6;
      const bool tag = (window >> (31 - zeros - 1)) & 1;
      in.pos += zeros + 2;
      return tag;
    } else {
      break;
    }
  }
  return black;
}

// The changing elements of a row (decoder polarity: white is 1): where its
// colour changes, from white left of the row, so that the even ones turn it
// black and the odd ones white; then the width three times, so that b1 and
// b2 can always be read.
void ChangingElements(const uint8_t* row, int32_t width, std::vector<int32_t>& changes) {
  changes.clear();
  const int64_t bytes = RowBytes(width);
  uint64_t left = 1;  // the pixel left of the word: white left of the row
  for (int64_t at = 0; at < bytes; at += 8) {
    uint64_t word = 0;
    std::memcpy(&word, row + at, static_cast<size_t>(std::min<int64_t>(8, bytes - at)));
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    // A bit for each pixel that differs from the one left of it.
    uint64_t differ = word ^ ((word >> 1) | (left << 63));
    left = word & 1;
    while (differ) {
      const int bit = std::countl_zero(differ);
      const int64_t x = at * 8 + bit;
      if (x >= width) break;
      changes.push_back(static_cast<int32_t>(x));
      differ &= ~(uint64_t{1} << (63 - bit));
    }
  }
  changes.insert(changes.end(), 3, width);
}

// b1 and b2 of the reference row for a0 and its colour: the first changing
// element right of a0 that turns the row to the colour opposite a0's, and
// the one after it. next, the first element right of a0, moves on with a0,
// which only moves right within a row.
void ReferenceElements(const int32_t* changes, size_t& next, int64_t a0, bool black, int64_t& b1, int64_t& b2) {
  while (changes[next] <= a0) ++next;  // the width ends it: a0 lies before it
  const size_t k = next + ((next & 1) != (black ? 1u : 0u) ? 1 : 0);
  b1 = changes[k];
  b2 = changes[k + 1];
}

int64_t Decode2D(uint8_t* row, BitSource& source, bool eolScan, uint8_t* ref, int32_t width) {
  // The source and a0 stay in registers: the calls that take them by
  // reference get copies, and the row's bytes, which may alias anything,
  // are not stored through them.
  BitSource in = source;
  std::memset(row, 0xFF, static_cast<size_t>(RowBytes(width)));
  thread_local std::vector<int32_t> referenceChanges;
  ChangingElements(ref, width, referenceChanges);
  const int32_t* changes = referenceChanges.data();
  size_t next = 0;
  int64_t a0 = -1;
  bool black = false, first = true;
  while (a0 < width && in.pos < in.length * 8) {
    const int64_t codeStart = in.pos;
    int32_t mode = LookUpMode(in.data, in.length, in.pos, in.fillOrder);
    in.pos += kDecodeModes[static_cast<size_t>(mode)].length;
    if (mode == kModeZeros && eolScan) {
      while (in.pos < in.length * 8 && !Bit(in.data, in.length, in.pos, in.fillOrder)) ++in.pos;
      ++in.pos;
      mode = kModeEOL;
    }
    int64_t b1 = 0, b2 = 0;
    switch (mode) {
      case kModePass:
        ReferenceElements(changes, next, a0, black, b1, b2);
        if (black) PaintBlack(row, a0, b2, width);
        a0 = b2;
        break;
      case kModeHorizontal: {
        const int64_t r1 = ReadRun(in, black);
        const int64_t r2 = r1 < 0 ? -1 : ReadRun(in, !black);
        if (r1 < 0 || r2 < 0) break;
        const int64_t from = std::max<int64_t>(a0, 0);
        const int64_t mid = std::min<int64_t>(from + r1, width), to = std::min<int64_t>(mid + r2, width);
        if (black) PaintBlack(row, from, mid, width);
        else PaintBlack(row, mid, to, width);
        a0 = to;
        break;
      }
      case kModeExt1D:
      case kModeExt2D:
      {
        BitSource literal = in;
        int64_t at = a0;
        black = DecodeUncompressed(row, literal, at, width, black);
        in.pos = literal.pos;
        a0 = at;
        break;
      }
      case kModeEOL:
        if (first) {
          const bool oneD = Bit(in.data, in.length, in.pos, in.fillOrder);
          ++in.pos;
          if (oneD) {
            source.pos = in.pos;
            Decode1D(row, source, width);
            std::memcpy(ref, row, static_cast<size_t>(RowBytes(width)));
            return source.pos;
          }
        } else {
          if (black) PaintBlack(row, a0, width, width);
          in.pos = codeStart;  // the next row starts with it
          a0 = width;
        }
        break;
      case kModeZeros:
        break;
      default: {  // vertical
        ReferenceElements(changes, next, a0, black, b1, b2);
        const int64_t a1 = b1 + (mode - kModeV0);
        // A code that would put a1 before a0 or before the row is corrupt.
        if (a1 < 0 || a1 < a0) {
          a0 = width;
          break;
        }
        if (black) PaintBlack(row, a0, a1, width);
        a0 = std::min<int64_t>(a1, width);
        black = !black;
        break;
      }
    }
    first = false;
  }
  std::memcpy(ref, row, static_cast<size_t>(RowBytes(width)));
  source.pos = in.pos;
  return in.pos;
}

// ---- bit writing ----------------------------------------------------------------------

// Codes gathered most significant bit first, starting with the caller's
// pending bits; whole bytes go to the stream in the file's fill order.
class BitWriter {
public:
  BitWriter(int32_t pendingBits, uint8_t pendingByte) : bits_(pendingBits) {
    bytes_.reserve(64);
    bytes_.push_back(pendingByte);
  }

  void Put(uint32_t code, int32_t length) {
    for (int32_t bit = length - 1; bit >= 0; --bit) {
      if (bits_ == 8) {
        bytes_.push_back(0);
        bits_ = 0;
      }
      if ((code >> bit) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> bits_);
      ++bits_;
    }
  }
  void Put(const CodeEntry& e) { Put(e.code, e.length); }

  // A run of one colour: make-up codes while 64 or more are left, then the
  // terminating code.
  void PutRun(int64_t n, bool black) {
    const CodeTable& t = Codes(black);
    while (n >= 64) {
      const int64_t part = n <= 2560 ? n / 64 * 64 : 2560;
      Put(t[static_cast<size_t>(63 + part / 64)]);
      n -= part;
    }
    Put(t[static_cast<size_t>(n)]);
  }

  // Pads the last byte with zero bits.
  void Align() {
    if (bits_ > 0 && bits_ < 8) bits_ = 8;
  }

  // Writes the whole bytes and keeps the rest as the pending bits.
  void Flush(TStream& stream, int32_t fillOrder, bool& failed, int32_t& pendingBits, uint8_t& pendingByte) {
    const bool last = bits_ == 8;
    const size_t whole = bytes_.size() - (last ? 0 : 1);
    if (fillOrder == 2)
      for (size_t k = 0; k < whole; ++k) IEReverseBits8(bytes_[k]);
    if (whole > 0) IESafeStreamWrite(stream, failed, bytes_.data(), static_cast<int32_t>(whole));
    pendingBits = last ? 0 : bits_;
    pendingByte = last ? 0 : bytes_.back();
  }

private:
  std::vector<uint8_t> bytes_;
  int32_t bits_;  // used bits of the last byte
};

// ---- encoders (input: bit 1 = black) ----------------------------------------------------

// Encoder polarity: the pixel at x, 0 past the row.
bool Black(const uint8_t* row, int64_t x, int32_t width) { return x >= 0 && x < width && Pixel(row, x, width); }

void Encode1D(BitWriter& out, const uint8_t* row, int32_t width) {
  int64_t x = 0;
  bool black = false;
  while (x < width) {
    const int64_t next = FindNext(row, x, !black, width);
    out.PutRun(next - x, black);
    x = next;
    black = !black;
  }
}

void Encode2D(BitWriter& out, const uint8_t* row, const uint8_t* ref, int32_t width) {
  int64_t a0 = 0;
  int64_t a1 = Black(row, 0, width) ? 0 : FindNext(row, 0, true, width);
  int64_t b1 = Black(ref, 0, width) ? 0 : FindNext(ref, 0, true, width);
  for (;;) {
    const int64_t b2 = b1 >= width ? width : FindNext(ref, b1, !Black(ref, b1, width), width);
    if (b2 >= a1) {
      const int64_t d = b1 - a1;
      if (d < -3 || d > 3) {
        const int64_t a2 = a1 >= width ? width : FindNext(row, a1, !Black(row, a1, width), width);
        out.Put(kHorizontal);
        const bool firstBlack = !(a0 + a1 == 0 || !Black(row, a0, width));
        out.PutRun(a1 - a0, firstBlack);
        out.PutRun(a2 - a1, !firstBlack);
        a0 = a2;
      } else {
        out.Put(kVertical[static_cast<size_t>(d + 3)]);
        a0 = a1;
      }
    } else {
      out.Put(kPass);
      a0 = b2;
    }
    if (a0 >= width) break;
    const bool colour = Black(row, a0, width);
    a1 = FindNext(row, a0, !colour, width);
    b1 = FindNext(ref, a0, colour, width);
    b1 = FindNext(ref, b1, !colour, width);
  }
}

void KeepReference(std::vector<uint8_t>& reference, const uint8_t* row, int32_t width) {
  const auto bytes = static_cast<size_t>(RowBytes(width));
  reference.assign(row, row + bytes);
  reference.resize((static_cast<size_t>(width) + 31) / 32 * 4, 0);
}

}  // namespace

// ---- start and stop ---------------------------------------------------------------

void IEInitializeCCITT() {
  for (int colour = 0; colour < 2; ++colour) {
    if (trees[colour]) continue;
    auto root = std::make_unique<TreeNode>();
    const CodeTable& t = Codes(colour == 1);
    for (int32_t k = 0; k < kEntries; ++k) Insert(*root, t[static_cast<size_t>(k)], k);
    trees[colour] = std::move(root);
  }
  BuildQuickTables();
}

void IEFinalizeCCITT() {
  FreeTree(trees[0]);
  FreeTree(trees[1]);
}

// ---- decoders ---------------------------------------------------------------------

int64_t IECCITTDecodeRowMH(uint8_t* row, const uint8_t* data, int64_t length, int32_t fillOrder, int32_t width) {
  BitSource in{data, std::max<int64_t>(length, 0), fillOrder, 0};
  return (Decode1D(row, in, width) + 7) / 8;
}

int64_t IECCITTDecodeRow1D(uint8_t* row, const uint8_t* data, int64_t length, int32_t fillOrder, int64_t bitPos,
                           int32_t width) {
  BitSource in{data, std::max<int64_t>(length, 0), fillOrder, std::max<int64_t>(bitPos, 0)};
  return Decode1D(row, in, width);
}

int64_t IECCITTDecodeRow2D(uint8_t* row, const uint8_t* data, int64_t length, bool eolScan, int32_t fillOrder,
                           int64_t bitPos, uint8_t* reference, int32_t width) {
  BitSource in{data, std::max<int64_t>(length, 0), fillOrder, std::max<int64_t>(bitPos, 0)};
  return Decode2D(row, in, eolScan, reference, width);
}

// ---- encoders ---------------------------------------------------------------------

void IECCITTEncodeRowMH(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed) {
  if (!row || width <= 0) return;
  BitWriter out(0, 0);
  Encode1D(out, row, width);
  out.Align();
  int32_t bits = 0;
  uint8_t byte = 0;
  out.Flush(stream, fillOrder, failed, bits, byte);
}

void IECCITTEncodeRow1D(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        int32_t& pendingBits, uint8_t& pendingByte) {
  BitWriter out(pendingBits, pendingByte);
  if (row && width > 0) Encode1D(out, row, width);
  else out.Align();
  out.Flush(stream, fillOrder, failed, pendingBits, pendingByte);
}

void IECCITTEncodeRowG31D(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                          int32_t& pendingBits, uint8_t& pendingByte) {
  BitWriter out(pendingBits, pendingByte);
  if (row && width > 0) {
    out.Put(kEOL);
    Encode1D(out, row, width);
  } else {
    out.Align();
  }
  out.Flush(stream, fillOrder, failed, pendingBits, pendingByte);
}

void IECCITTEncodeRowG3(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        std::vector<uint8_t>& reference, int32_t& pendingBits, uint8_t& pendingByte) {
  BitWriter out(pendingBits, pendingByte);
  out.Put(kEOL);
  if (!row || width <= 0) {
    reference.clear();
    out.Align();
  } else if (reference.empty()) {
    out.Put(1, 1);
    Encode1D(out, row, width);
    KeepReference(reference, row, width);
  } else {
    out.Put(0, 1);
    Encode2D(out, row, reference.data(), width);
    KeepReference(reference, row, width);
  }
  out.Flush(stream, fillOrder, failed, pendingBits, pendingByte);
}

void IECCITTEncodeRowG4(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        std::vector<uint8_t>& reference, int32_t& pendingBits, uint8_t& pendingByte) {
  BitWriter out(pendingBits, pendingByte);
  if (!row || width <= 0) {
    out.Put(kEOL);
    out.Put(kEOL);
    out.Align();
    reference.clear();
  } else {
    if (reference.empty()) reference.assign((static_cast<size_t>(width) + 31) / 32 * 4, 0);
    Encode2D(out, row, reference.data(), width);
    KeepReference(reference, row, width);
  }
  out.Flush(stream, fillOrder, failed, pendingBits, pendingByte);
}
