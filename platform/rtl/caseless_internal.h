// Byte-wise comparison of texts with ASCII letters folded, shared by the
// string lists and the ini files until the locale-aware routines take over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace rtl_internal {

inline unsigned char FoldAscii(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }

inline int32_t CompareCaseless(std::string_view a, std::string_view b) {
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    int d = FoldAscii(static_cast<unsigned char>(a[i])) - FoldAscii(static_cast<unsigned char>(b[i]));
    if (d != 0) return d;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

inline bool SameCaseless(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareCaseless(a, b) == 0;
}

inline int32_t CompareExact(std::string_view a, std::string_view b) {
  int c = a.compare(b);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

}  // namespace rtl_internal
