// Arithmetic, random numbers and memory blocks (see system.h).
#include "platform/rtl/system.h"

#include "platform/rtl/clock.h"

#include <cmath>
#include <cstring>

namespace {

// Checks that x (already integral) fits in int64_t.
int64_t toInt64(long double x) {
  // 2^63 is exact in long double; the range is [-2^63, 2^63).
  constexpr long double limit = 9223372036854775808.0L;
  if (!(x >= -limit && x < limit)) throw EInvalidOp("Invalid floating point operation");
  return static_cast<int64_t>(x);
}

// One step of the generator: a 32-bit linear congruential sequence.
uint32_t nextRandom() {
  const uint32_t next = static_cast<uint32_t>(RandSeed) * 1664525u + 1013904223u;
  RandSeed = static_cast<int32_t>(next);
  return next;
}

}  // namespace

int32_t RandSeed = 0;

int64_t Round(long double x) {
  long double r = std::floor(x);
  const long double rest = x - r;  // exact for values below 2^64
  if (rest > 0.5L || (rest == 0.5L && std::fmod(r, 2.0L) != 0)) r += 1;
  return toInt64(r);
}

int64_t Trunc(long double x) { return toInt64(std::trunc(x)); }
int64_t Ceil(long double x) { return toInt64(std::ceil(x)); }
int64_t Floor(long double x) { return toInt64(std::floor(x)); }
long double Frac(long double x) { return x - std::trunc(x); }
long double Hypot(long double x, long double y) { return std::hypot(x, y); }
long double ArcTan2(long double y, long double x) { return std::atan2(y, x); }

long double Power(long double base, long double exponent) {
  if (exponent == 0) return 1;
  return std::pow(base, exponent);
}

void Randomize() {
  const uint64_t now = ClockNanoseconds();
  RandSeed = static_cast<int32_t>(static_cast<uint32_t>(now ^ (now >> 32)));
}

int32_t Random(int32_t range) {
  if (range <= 0) return 0;
  return static_cast<int32_t>((uint64_t{nextRandom()} * static_cast<uint64_t>(range)) >> 32);
}

long double Random() { return static_cast<long double>(nextRandom()) / 4294967296.0L; }

void Move(const void* source, void* dest, int64_t count) {
  if (count > 0) std::memmove(dest, source, static_cast<size_t>(count));
}

void FillChar(void* dest, int64_t count, uint8_t value) {
  if (count > 0) std::memset(dest, value, static_cast<size_t>(count));
}
