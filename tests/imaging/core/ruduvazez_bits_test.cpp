#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"

namespace {

TEST(RowLength, ByAlignment) {
  struct Case {
    int32_t width, bits, align;
    int64_t bytes;
  };
  const Case cases[] = {{10, 24, 32, 32}, {10, 1, 32, 4}, {10, 24, 8, 30}, {3, 12, 16, 6},
                        {0, 24, 32, 0},   {1, 1, 8, 1},   {65536, 48, 32, 393216}};
  for (const auto& c : cases) EXPECT_EQ(IEBitmapRowLen(c.width, c.bits, c.align), c.bytes) << c.width << "x" << c.bits;
}

TEST(RowLength, FrameworkPixelFormats) {
  struct Case {
    TPixelFormat format;
    int32_t bits;
    int64_t rowOf10;
    TIEPixelFormat library;
  };
  const Case cases[] = {{pfDevice, 0, 0, ie24RGB}, {pf1bit, 1, 4, ie1g},     {pf4bit, 4, 8, ie8p},
                        {pf8bit, 8, 12, ie8p},     {pf15bit, 15, 20, ie24RGB}, {pf16bit, 16, 20, ie24RGB},
                        {pf24bit, 24, 32, ie24RGB}, {pf32bit, 32, 40, ie24RGB}, {pfCustom, 0, 0, ie24RGB}};
  for (const auto& c : cases) {
    EXPECT_EQ(IEPixelFormatToBitCount(c.format), c.bits) << c.format;
    EXPECT_EQ(IETBitmapRowLen(10, c.format), c.rowOf10) << c.format;
    EXPECT_EQ(IEPixelFormatFromVCL(c.format), c.library) << c.format;
  }
}

TEST(Bits, CountsAndLogs) {
  EXPECT_EQ(IECeilLog2(256), 8);
  EXPECT_EQ(IECeilLog2(257), 9);
  EXPECT_EQ(IECeilLog2(1), 0);
  EXPECT_EQ(IECeilLog2(0), -1);
  EXPECT_EQ(IEBitMaskWidth(0x0000F800), 5);
  EXPECT_EQ(IEBitMaskWidth(0xFF000000), 8);
  EXPECT_EQ(IEBitMaskWidth(0), 0);
  EXPECT_EQ(IEColorsFromBits(8, 1), 256u);
  EXPECT_EQ(IEColorsFromBits(4, 2), 256u);
  EXPECT_EQ(IEColorsFromBits(8, 0), 1u);
  EXPECT_EQ(IEColorsFromBits(8, 4), 0u);  // 2^32 wraps in 32 bits
}

TEST(Bits, Reversal) {
  uint8_t b = 0x01;
  IEReverseBits8(b);
  EXPECT_EQ(b, 0x80);
  b = 0xC4;
  IEReverseBits8(b);
  EXPECT_EQ(b, 0x23);
  uint32_t v = 0x00000001;
  IEReverseBits32(v);
  EXPECT_EQ(v, 0x80000000u);
  v = 0x12345678;
  IEReverseBits32(v);
  EXPECT_EQ(v, 0x1E6A2C48u);
}

TEST(ByteOrder, Swaps) {
  EXPECT_EQ(IESwapWord(0x1234), 0x3412u);
  EXPECT_EQ(IESwapWord(0xABCD1234), 0xABCD3412u);
  const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44};
  uint32_t v;
  std::memcpy(&v, bytes, 4);
  uint32_t swapped = IESwapDWord(v);
  uint8_t out[4];
  std::memcpy(out, &swapped, 4);
  EXPECT_EQ(out[0], 0x44);
  EXPECT_EQ(out[3], 0x11);
  EXPECT_EQ(IESwapInt64(0x0102030405060708ull), 0x0807060504030201ull);
  EXPECT_EQ(IESwapWordIf(0x1234, false), 0x1234);
  EXPECT_EQ(IESwapDWordIf(0x11223344, true), 0x44332211u);
  EXPECT_EQ(IESwapInt64If(true, 1), 0x0100000000000000ull);

  uint8_t words[] = {1, 2, 3, 4, 5, 6};
  IESwapWordArray(words, 3);
  EXPECT_EQ(std::string(words, words + 6), std::string("\2\1\4\3\6\5"));
  uint8_t dwords[] = {1, 2, 3, 4, 5, 6, 7, 8};
  IESwapDWordArray(dwords, 2);
  EXPECT_EQ(std::string(dwords, dwords + 8), std::string("\4\3\2\1\10\7\6\5"));
}

TEST(Power, IntegralAndFractionalExponents) {
  EXPECT_EQ(IEPower(2, 10), 1024);
  EXPECT_EQ(IEPower(2, -2), 0.25);
  EXPECT_EQ(IEPower(-3, 3), -27);
  EXPECT_EQ(IEPower(0, 0), 1);
  EXPECT_EQ(IEPower(0, 5), 0);
  EXPECT_EQ(IEPower(0, 0.5), 0);
  EXPECT_DOUBLE_EQ(IEPower(2, 0.5), std::sqrt(2.0));
  EXPECT_DOUBLE_EQ(IEPower(1.5, 7), 17.0859375);
}

TEST(WindowsVersion, CodesOfTheVersionAnswers) {
  struct Case {
    uint32_t platform, major, minor;
    uint8_t code;
  };
  const Case cases[] = {{1, 4, 0, 0}, {1, 4, 10, 1}, {1, 4, 90, 2}, {2, 4, 0, 3}, {2, 5, 0, 4}, {2, 5, 1, 5},
                        {2, 5, 2, 6}, {2, 6, 0, 7},  {2, 6, 1, 8},  {2, 6, 2, 9}, {2, 10, 0, 10}, {1, 5, 0, 10}};
  for (const auto& c : cases) EXPECT_EQ(IEWindowsVersionCode(c.platform, c.major, c.minor), c.code);
  EXPECT_EQ(IEGetWindowsVersion(), 8);
}

TEST(Memory, PhysicalMemory) {
  const uint64_t total = IEGetPhysicalMemory(false), available = IEGetPhysicalMemory(true);
  EXPECT_GT(total, uint64_t{64} << 20);
  EXPECT_GT(available, 0u);
  EXPECT_LE(available, total);
}

TEST(Processor, MMXOnThisMachine) {
#if defined(__x86_64__)
  EXPECT_TRUE(IEHasMMX());  // every x86-64 processor has it
#else
  EXPECT_FALSE(IEHasMMX());
#endif
}

}  // namespace
