// Little-endian fields of the view's stream records (layer records and the
// layer file). Readers raise EReadError when the stream ends early.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "imaging/core/iesettings.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

static_assert(std::endian::native == std::endian::little, "records are stored in the machine's byte order");

template <typename T>
void IEWriteLE(TStream& stream, T value) {
  static_assert(std::is_arithmetic_v<T>);
  stream.WriteBuffer(&value, sizeof value);
}

template <typename T>
T IEReadLE(TStream& stream) {
  static_assert(std::is_arithmetic_v<T>);
  T value;
  stream.ReadBuffer(&value, sizeof value);
  return value;
}

inline void IEWriteBool(TStream& stream, bool value) { IEWriteLE<uint8_t>(stream, value ? 1 : 0); }
inline bool IEReadBool(TStream& stream) { return IEReadLE<uint8_t>(stream) != 0; }

// A stored resampling filter; EReadError for a value that names none.
inline TResampleFilter IEReadFilter(TStream& stream) {
  const uint8_t value = IEReadLE<uint8_t>(stream);
  if (value > rfWICFant) throw EReadError("Stream read error");
  return static_cast<TResampleFilter>(value);
}
