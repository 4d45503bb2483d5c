// Bits, byte order, framework pixel formats, powers and the system probes.
#include <cmath>
#include <cstring>
#include <iterator>

#include "imaging/core/ruduvazez.h"

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/win/sysinfo.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif

int64_t IEBitmapRowLen(int32_t width, int32_t bitsPerPixel, int32_t alignBits) {
  if (alignBits == 32) {
    uint32_t bits = static_cast<uint32_t>(width) * static_cast<uint32_t>(bitsPerPixel);
    return static_cast<int64_t>(((bits + 31) >> 5) * 4);
  }
  if (alignBits <= 0) return 0;
  int64_t bits = int64_t{width} * bitsPerPixel;
  return (bits + alignBits - 1) / alignBits * (alignBits / 8);
}

int32_t IEPixelFormatToBitCount(TPixelFormat format) {
  // Indexed by TPixelFormat: pfDevice, pf1bit .. pf32bit, pfCustom.
  static constexpr int32_t kBits[] = {0, 1, 4, 8, 15, 16, 24, 32, 0};
  const auto index = static_cast<size_t>(format);
  return index < std::size(kBits) ? kBits[index] : 0;
}

int64_t IETBitmapRowLen(int32_t width, TPixelFormat format) {
  return IEBitmapRowLen(width, IEPixelFormatToBitCount(format), 32);
}

TIEPixelFormat IEPixelFormatFromVCL(TPixelFormat format) {
  switch (format) {
    case pf1bit:
      return ie1g;
    case pf4bit:
    case pf8bit:
      return ie8p;
    default:
      return ie24RGB;
  }
}

int32_t IEBitMaskWidth(uint32_t mask) {
  if (mask == 0) return 0;
  while ((mask & 1) == 0) mask >>= 1;
  int32_t width = 0;
  for (; mask & 1; mask >>= 1) ++width;
  return width;
}

int32_t IECeilLog2(uint32_t n) {
  if (n == 0) return -1;
  int32_t highest = 31 - __builtin_clz(n);
  return (n & (n - 1)) == 0 ? highest : highest + 1;
}

uint32_t IEColorsFromBits(int32_t bitsPerSample, int32_t samplesPerPixel) {
  if (samplesPerPixel <= 0) return 1;
  uint32_t perSample = bitsPerSample >= 32 ? 0 : uint32_t{1} << bitsPerSample;
  uint32_t colors = 1;
  for (int32_t i = 0; i < samplesPerPixel; ++i) colors *= perSample;
  return colors;
}

namespace {

struct TReverseTable {
  uint8_t bytes[256];
  constexpr TReverseTable() : bytes() {
    for (int i = 0; i < 256; ++i) {
      int r = 0;
      for (int bit = 0; bit < 8; ++bit)
        if (i & (1 << bit)) r |= 0x80 >> bit;
      bytes[i] = static_cast<uint8_t>(r);
    }
  }
};
constexpr TReverseTable kReverse;

}  // namespace

void IEReverseBits8(uint8_t& value) { value = kReverse.bytes[value]; }

void IEReverseBits32(uint32_t& value) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r = (r << 8) | kReverse.bytes[(value >> (8 * i)) & 0xFF];
  value = r;
}

uint32_t IESwapWord(uint32_t value) { return (value & 0xFFFF0000u) | ((value & 0xFF) << 8) | ((value >> 8) & 0xFF); }

uint32_t IESwapDWord(uint32_t value) { return __builtin_bswap32(value); }

uint64_t IESwapInt64(uint64_t value) { return __builtin_bswap64(value); }

void IESwapWordArray(void* buffer, size_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < count; ++i) std::swap(bytes[2 * i], bytes[2 * i + 1]);
}

void IESwapDWordArray(void* buffer, size_t count) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i < count; ++i) {
    uint32_t v;
    std::memcpy(&v, bytes + 4 * i, 4);
    v = IESwapDWord(v);
    std::memcpy(bytes + 4 * i, &v, 4);
  }
}

double IEPower(double base, double exponent) {
  if (exponent == std::trunc(exponent) && std::fabs(exponent) < 2147483647.0) {
    int64_t n = static_cast<int64_t>(exponent);
    if (n == 0) return 1;
    if (base == 0) return 0;
    if (n == 1) return base;
    if (n == 2) return base * base;
    if (n == -1) return 1 / base;
    if (n == -2) return 1 / (base * base);
    uint64_t e = n < 0 ? static_cast<uint64_t>(-n) : static_cast<uint64_t>(n);
    double result = 1, square = base;
    for (; e; e >>= 1) {
      if (e & 1) result *= square;
      square *= square;
    }
    return n < 0 ? 1 / result : result;
  }
  if (base == 0) return 0;
  return std::exp(exponent * std::log(base));
}

uint64_t IEGetPhysicalMemory(bool available) {
  MEMORYSTATUSEX status;
  if (GlobalMemoryStatusEx(&status)) return available ? status.ullAvailPhys : status.ullTotalPhys;
  MEMORYSTATUS old;
  GlobalMemoryStatus(&old);
  return available ? old.dwAvailPhys : old.dwTotalPhys;
}

bool IEHasMMX() {
#if defined(__i386__) || defined(__x86_64__)
  unsigned eax, ebx, ecx, edx;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  return (edx & (1u << 23)) != 0;
#else
  return false;
#endif
}

uint8_t IEWindowsVersionCode(uint32_t platformId, uint32_t major, uint32_t minor) {
  struct TVersion {
    uint32_t platform, major, minor;
    uint8_t code;
  };
  static constexpr TVersion kVersions[] = {
      {IE_VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0}, {IE_VER_PLATFORM_WIN32_WINDOWS, 4, 10, 1},
      {IE_VER_PLATFORM_WIN32_WINDOWS, 4, 90, 2}, {IE_VER_PLATFORM_WIN32_NT, 4, 0, 3},
      {IE_VER_PLATFORM_WIN32_NT, 5, 0, 4},       {IE_VER_PLATFORM_WIN32_NT, 5, 1, 5},
      {IE_VER_PLATFORM_WIN32_NT, 5, 2, 6},       {IE_VER_PLATFORM_WIN32_NT, 6, 0, 7},
      {IE_VER_PLATFORM_WIN32_NT, 6, 1, 8},       {IE_VER_PLATFORM_WIN32_NT, 6, 2, 9}};
  for (const auto& v : kVersions)
    if (v.platform == platformId && v.major == major && v.minor == minor) return v.code;
  return 10;
}

uint8_t IEGetWindowsVersion() {
  OSVERSIONINFOA info;
  if (!GetVersionExA(&info)) return 10;
  return IEWindowsVersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion);
}
