// Arithmetic, random numbers and memory blocks of the run-time library.
//
// Rounding routines take long double (the framework computes in extended
// precision) and return int64_t; a value that is not finite or lies outside
// int64_t raises EInvalidOp.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/rtl/exceptions.h"

// Failures of floating-point arithmetic.
RTL_DECLARE_EXCEPTION(EMathError, Exception);
// "Invalid floating point operation"
RTL_DECLARE_EXCEPTION(EInvalidOp, EMathError);

constexpr int32_t MaxInt = 2147483647;
constexpr long double Pi = 3.141592653589793238462643383279502884L;

// Nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
int64_t Round(long double x);
// Toward zero.
int64_t Trunc(long double x);
// Smallest integer >= x, largest integer <= x.
int64_t Ceil(long double x);
int64_t Floor(long double x);
// x - Trunc(x), with the sign of x.
long double Frac(long double x);
long double Hypot(long double x, long double y);
// Angle of the point (x, y) in radians, -Pi..Pi; note the order Y, X.
long double ArcTan2(long double y, long double x);
// base^exponent; Power(x, 0) = 1 for every x.
long double Power(long double base, long double exponent);

// The state of the random generator; callers may save, set and restore it
// to repeat a sequence.
extern int32_t RandSeed;
// Seeds RandSeed from the run-time's clock (clock.h): a test that installs
// its own clock gets the same seed for the same reading.
void Randomize();
// Uniform in 0..range-1; 0 when range <= 0.
int32_t Random(int32_t range);
// Uniform in [0, 1).
long double Random();

// Copies Count bytes from Source to Dest; the blocks may overlap. Nothing for
// Count <= 0. (Source first, as the framework orders them.)
void Move(const void* source, void* dest, int64_t count);
// Sets Count bytes at Dest to Value; nothing for Count <= 0.
void FillChar(void* dest, int64_t count, uint8_t value);
