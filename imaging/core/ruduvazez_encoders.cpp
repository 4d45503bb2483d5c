// The text encoders of the PostScript writer: ASCII85 and run-length.
#include "imaging/core/ruduvazez.h"

namespace {

constexpr int32_t kLineLimit = 74;  // a line breaks once it holds more

void PutLineEnd(char*& output) {
  *output++ = '\r';
  *output++ = '\n';
}

}  // namespace

int32_t IEEncodeASCII85Group(const uint8_t*& source, int32_t count, char*& output) {
  uint32_t value = 0;
  for (int32_t i = 0; i < 4; ++i) value = (value << 8) | (i < count ? source[i] : 0);
  source += count;
  if (value == 0 && count == 4) {
    *output++ = 'z';
    return 1;
  }
  static constexpr uint32_t kDivisors[] = {52200625, 614125, 7225, 85, 1};
  for (int32_t i = 0; i <= count; ++i) *output++ = static_cast<char>(value / kDivisors[i] % 85 + 33);
  return count + 1;
}

int32_t IEEncodeASCII85(const uint8_t*& source, int32_t count, char*& output, int32_t& groupChars) {
  int32_t written = 0, line = 0;
  while (count > 0) {
    int32_t group = count < 4 ? count : 4;
    int32_t chars = IEEncodeASCII85Group(source, group, output);
    count -= group;
    groupChars += chars;
    written += chars;
    line += chars;
    if (line > kLineLimit) {
      PutLineEnd(output);
      written += 2;
      line = 0;
    }
  }
  *output++ = '~';
  *output++ = '>';
  PutLineEnd(output);
  return written + 4;
}

size_t IEASCII85Capacity(size_t count) {
  size_t chars = (count + 3) / 4 * 5;
  return chars + (chars / (kLineLimit + 1) + 1) * 2 + 4;
}

int32_t IEEncodeRunLength(const uint8_t* source, int32_t length, uint8_t* destination) {
  uint8_t* out = destination;
  int32_t i = 0;
  while (i < length) {
    int32_t run = 1;
    while (i + run < length && run < 128 && source[i + run] == source[i]) ++run;
    if (run >= 2) {
      *out++ = static_cast<uint8_t>(257 - run);
      *out++ = source[i];
      i += run;
      continue;
    }
    int32_t literal = 1;
    while (i + literal < length && literal < 128 && source[i + literal] != source[i + literal - 1]) ++literal;
    *out++ = static_cast<uint8_t>(literal - 1);
    for (int32_t k = 0; k < literal; ++k) *out++ = source[i + k];
    i += literal;
  }
  *out++ = 128;
  return static_cast<int32_t>(out - destination);
}

// Every literal but the last holds at least two bytes, so the worst input
// (1, 2, 2, 3, 3, ...) grows by half; the last literal and the end mark add 2.
size_t IERunLengthCapacity(size_t length) { return length + (length + 1) / 2 + 2; }
