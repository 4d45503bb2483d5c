// A heap sort driven by index comparisons and swaps, shared by the lists.
//
// It touches only indexes inside 0..count-1 whatever the comparison answers,
// so a caller's inconsistent compare function gives an odd order, never a
// read outside the list (as an introsort's unguarded loops could).
#pragma once

#include <cstdint>

template <typename Less, typename Swap>
void HeapSortIndexes(int32_t count, Less less, Swap swap) {
  auto siftDown = [&](int32_t root, int32_t end) {
    for (;;) {
      int32_t child = 2 * root + 1;
      if (child >= end) return;
      if (child + 1 < end && less(child, child + 1)) ++child;
      if (!less(root, child)) return;
      swap(root, child);
      root = child;
    }
  };
  for (int32_t i = count / 2 - 1; i >= 0; --i) siftDown(i, count);
  for (int32_t end = count - 1; end > 0; --end) {
    swap(0, end);
    siftDown(0, end);
  }
}
