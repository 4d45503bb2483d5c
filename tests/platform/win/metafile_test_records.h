// Small enhanced metafiles written record by record for the player's and
// the importer's tests.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/gdi.h"

struct Writer {
  std::vector<uint8_t> b;
  void U16(uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(v & 0xFFFF);
    U16(v >> 16);
  }
};

// An enhanced metafile whose frame is 96 x 96 pixels at 96 per inch, so one
// logical unit is one pixel of a 96 x 96 target.
struct Emf : Writer {
  explicit Emf(uint16_t handles = 4) {
    for (uint32_t v : {1u, 108u, 0u, 0u, 95u, 95u, 0u, 0u, 2540u, 2540u, 0x464D4520u, 0x10000u, 0u, 0u}) U32(v);
    U16(handles);
    U16(0);
    for (uint32_t v : {0u, 0u, 0u, 960u, 960u, 254u, 254u, 0u, 0u, 0u, 254000u, 254000u}) U32(v);
  }
  Emf& Rec(uint32_t type, std::vector<int32_t> params, const std::vector<uint8_t>& tail = {}) {
    U32(type);
    U32(static_cast<uint32_t>(8 + 4 * params.size() + tail.size()));
    for (int32_t p : params) U32(static_cast<uint32_t>(p));
    b.insert(b.end(), tail.begin(), tail.end());
    return *this;
  }
  Emf& End() { return Rec(14, {0, 0, 20}); }
  Emf& RedBrush(int32_t index = 1) { return Rec(39, {index, 0, static_cast<int32_t>(RGB(255, 0, 0)), 0}).Rec(37, {index}); }
  Emf& NoPen() { return Rec(37, {static_cast<int32_t>(0x80000008u)}); }
  Emf& Rectangle(int32_t l, int32_t t, int32_t r, int32_t b) { return Rec(43, {l, t, r, b}); }
};

