// The block allocator and the allocation-failure hook of the bitmaps.
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "imaging/core/ruduvazez_bitmap.h"

namespace {

std::mutex& HookLock() {
  static std::mutex m;
  return m;
}
TIEAllocFailHook& Hook() {
  static TIEAllocFailHook hook;
  return hook;
}

// IEAutoAlloc's header: the system-heap handle (null for the memory
// manager), then padding so that the tag sits just before the address.
constexpr size_t kHeader = 16;
constexpr uint8_t kTagMemoryManager = 0, kTagSystemHeap = 1;
constexpr int64_t kSmallBlock = 1048576;

uint8_t* WithHeader(uint8_t* base, HGLOBAL handle, uint8_t tag) {
  std::memcpy(base, &handle, sizeof handle);
  base[kHeader - 1] = tag;
  return base + kHeader;
}

// A large block is mostly a bitmap about to be written whole. Backed by huge
// pages where the system gives them on request, filling it takes a page
// fault per 2 MiB instead of one per 4 KiB, the larger part of decoding a
// photo on a machine where faults are dear. Only whole huge pages inside
// the block are asked for, so it takes no more memory.
void PreferHugePages(uint8_t* block, size_t bytes) {
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  const auto start = reinterpret_cast<uintptr_t>(block);
  const uintptr_t from = (start + kHugePage - 1) & ~(kHugePage - 1), to = (start + bytes) & ~(kHugePage - 1);
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

uint8_t* SystemHeapBlock(size_t bytes) {
  HGLOBAL handle = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
  if (!handle) return nullptr;
  auto* base = static_cast<uint8_t*>(GlobalLock(handle));
  PreferHugePages(base, bytes);
  return WithHeader(base, handle, kTagSystemHeap);
}

}  // namespace

void IESetAllocFailHook(TIEAllocFailHook hook) {
  std::lock_guard<std::mutex> guard(HookLock());
  Hook() = std::move(hook);
}

bool IEAllocShouldFail(TIEAllocRequest request, int64_t size) {
  std::lock_guard<std::mutex> guard(HookLock());
  return Hook() && Hook()(request, size);
}

void* IEAutoAlloc(int64_t size) {
  if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX - kHeader) return nullptr;
  const size_t bytes = static_cast<size_t>(size) + kHeader;
  if (size < kSmallBlock) {
    if (auto* base = static_cast<uint8_t*>(std::calloc(1, bytes))) return WithHeader(base, nullptr, kTagMemoryManager);
  }
  return SystemHeapBlock(bytes);
}

void IEAutoFree(void*& block) {
  if (!block) return;
  uint8_t* base = static_cast<uint8_t*>(block) - kHeader;
  if (base[kHeader - 1] == kTagSystemHeap) {
    HGLOBAL handle;
    std::memcpy(&handle, base, sizeof handle);
    GlobalUnlock(handle);
    GlobalFree(handle);
  } else {
    std::free(base);
  }
  block = nullptr;
}
