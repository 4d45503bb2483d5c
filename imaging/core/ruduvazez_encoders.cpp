// The text encoders of the PostScript writer: ASCII85 and run-length.
#include <bit>
#include <cstring>

#include "imaging/core/ruduvazez.h"

namespace {

constexpr int32_t kLineLimit = 74;  // a line breaks once it holds more

void PutLineEnd(char*& output) {
  *output++ = '\r';
  *output++ = '\n';
}

uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
}

// The five characters of a group value, most significant first.
void PutGroup(uint32_t value, char* output) {
  for (int32_t i = 4; i >= 0; --i) {
    output[i] = static_cast<char>(value % 85 + 33);
    value /= 85;
  }
}

// Eight bytes at once where the byte order lets the lowest address be
// found from the low end of a word.
constexpr bool kWordScan = std::endian::native == std::endian::little;

uint64_t Load64(const uint8_t* bytes) {
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

// The lowest-addressed byte of a word that is nonzero.
int32_t FirstNonzeroByte(uint64_t word) { return std::countr_zero(word) / 8; }

// The lowest-addressed zero byte of a word, or 8. The borrow trick marks
// the lowest zero byte exactly (higher marks may be false).
int32_t FirstZeroByte(uint64_t word) {
  constexpr uint64_t kLow = 0x0101010101010101, kHigh = 0x8080808080808080;
  const uint64_t marks = (word - kLow) & ~word & kHigh;
  return marks ? std::countr_zero(marks) / 8 : 8;
}

// How many bytes from source[0] on equal it, at most limit (>= 1).
int32_t RunOf(const uint8_t* source, int32_t limit) {
  int32_t run = 1;
  if constexpr (kWordScan) {
    const uint64_t first = source[0] * uint64_t{0x0101010101010101};
    for (; run + 8 <= limit; run += 8)
      if (const uint64_t differ = Load64(source + run) ^ first) return run + FirstNonzeroByte(differ);
  }
  while (run < limit && source[run] == source[0]) ++run;
  return run;
}

// How many bytes from source[0] on have no equal neighbour before them, at
// most limit (>= 1): a literal ends before the byte that repeats its
// predecessor.
int32_t LiteralOf(const uint8_t* source, int32_t limit) {
  int32_t literal = 1;
  if constexpr (kWordScan) {
    for (; literal + 8 <= limit; literal += 8) {
      const int32_t same = FirstZeroByte(Load64(source + literal) ^ Load64(source + literal - 1));
      if (same < 8) return literal + same;
    }
  }
  while (literal < limit && source[literal] != source[literal - 1]) ++literal;
  return literal;
}

}  // namespace

int32_t IEEncodeASCII85Group(const uint8_t*& source, int32_t count, char*& output) {
  uint8_t bytes[4] = {};
  std::memcpy(bytes, source, static_cast<size_t>(count));
  source += count;
  const uint32_t value = BigEndian32(bytes);
  if (value == 0 && count == 4) {
    *output++ = 'z';
    return 1;
  }
  char group[5];
  PutGroup(value, group);
  std::memcpy(output, group, static_cast<size_t>(count + 1));
  output += count + 1;
  return count + 1;
}

int32_t IEEncodeASCII85(const uint8_t*& source, int32_t count, char*& output, int32_t& groupChars) {
  char* const start = output;
  char* out = output;
  const uint8_t* in = source;
  int32_t line = 0, lineBreaks = 0;
  for (const uint8_t* end = in + count / 4 * 4; in != end; in += 4) {
    const uint32_t value = BigEndian32(in);
    if (value == 0) {
      *out++ = 'z';
      ++line;
    } else {
      PutGroup(value, out);
      out += 5;
      line += 5;
    }
    if (line > kLineLimit) {
      PutLineEnd(out);
      ++lineBreaks;
      line = 0;
    }
  }
  if (const int32_t rest = count % 4) {
    line += IEEncodeASCII85Group(in, rest, out);
    if (line > kLineLimit) {
      PutLineEnd(out);
      ++lineBreaks;
    }
  }
  groupChars += static_cast<int32_t>(out - start) - 2 * lineBreaks;
  *out++ = '~';
  *out++ = '>';
  PutLineEnd(out);
  source = in;
  output = out;
  return static_cast<int32_t>(out - start);
}

int32_t IEASCII85Length(const uint8_t* source, int32_t count) {
  int32_t chars = 0, line = 0;
  for (const uint8_t* end = source + count / 4 * 4; source != end; source += 4) {
    const int32_t group = BigEndian32(source) == 0 ? 1 : 5;
    line += group;
    chars += group;
    if (line > kLineLimit) {
      chars += 2;
      line = 0;
    }
  }
  if (const int32_t rest = count % 4) chars += rest + 1 + (line + rest + 1 > kLineLimit ? 2 : 0);
  return chars + 4;
}

size_t IEASCII85Capacity(size_t count) {
  size_t chars = (count + 3) / 4 * 5;
  return chars + (chars / (kLineLimit + 1) + 1) * 2 + 4;
}

int32_t IEEncodeRunLength(const uint8_t* source, int32_t length, uint8_t* destination) {
  uint8_t* out = destination;
  for (int32_t i = 0; i < length;) {
    const int32_t limit = length - i < 128 ? length - i : 128;
    const int32_t run = RunOf(source + i, limit);
    if (run >= 2) {
      *out++ = static_cast<uint8_t>(257 - run);
      *out++ = source[i];
      i += run;
      continue;
    }
    const int32_t literal = LiteralOf(source + i, limit);
    *out++ = static_cast<uint8_t>(literal - 1);
    std::memcpy(out, source + i, static_cast<size_t>(literal));
    out += literal;
    i += literal;
  }
  *out++ = 128;
  return static_cast<int32_t>(out - destination);
}

// Every literal but the last holds at least two bytes, so the worst input
// (1, 2, 2, 3, 3, ...) grows by half; the last literal and the end mark add 2.
size_t IERunLengthCapacity(size_t length) { return length + (length + 1) / 2 + 2; }
