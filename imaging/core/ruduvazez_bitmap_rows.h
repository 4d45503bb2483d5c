// Helpers of the bitmap's own units for passes over rows: the access-mode
// scope and unaligned pixel loads and stores.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/core/ruduvazez_bitmap.h"

// Sets a bitmap's access mode for the duration of a bulk pass.
class TIEAccessScope {
public:
  TIEAccessScope(TIEBitmap& bitmap, uint8_t mode) : bitmap_(bitmap), saved_(bitmap.AccessMode) {
    bitmap.AccessMode = mode;
  }
  ~TIEAccessScope() { bitmap_.AccessMode = saved_; }
  TIEAccessScope(const TIEAccessScope&) = delete;
  TIEAccessScope& operator=(const TIEAccessScope&) = delete;

private:
  TIEBitmap& bitmap_;
  uint8_t saved_;
};

// A value of type T at any address.
template <typename T>
T IELoadPixel(const uint8_t* p) {
  T value;
  std::memcpy(&value, p, sizeof value);
  return value;
}
template <typename T>
void IEStorePixel(uint8_t* p, T value) {
  std::memcpy(p, &value, sizeof value);
}
