#include "platform/win/globalmem.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace {

// A block starts with this header; the handle is the header's address.
struct Block {
  size_t size;
  int32_t locks;
  alignas(std::max_align_t) unsigned char data[1];
};

constexpr size_t kMaxBlock = size_t{1} << 34;  // 16 GiB: more is a bad size, not a request

std::mutex& registryLock() {
  static std::mutex m;
  return m;
}
std::unordered_set<Block*>& live() {
  static std::unordered_set<Block*> blocks;
  return blocks;
}

Block* find(HGLOBAL handle) {
  auto* b = static_cast<Block*>(handle);
  std::lock_guard<std::mutex> guard(registryLock());
  return live().count(b) ? b : nullptr;
}

Block* allocate(size_t bytes) {
  if (bytes > kMaxBlock) return nullptr;
  return static_cast<Block*>(std::calloc(1, offsetof(Block, data) + (bytes ? bytes : 1)));
}

}  // namespace

HGLOBAL GlobalAlloc(UINT, size_t bytes) {
  Block* b = allocate(bytes);
  if (!b) return nullptr;
  b->size = bytes;
  b->locks = 0;
  std::lock_guard<std::mutex> guard(registryLock());
  live().insert(b);
  return b;
}

HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, UINT) {
  Block* old = find(block);
  if (!old) return nullptr;
  Block* b = allocate(bytes);
  if (!b) return nullptr;
  std::memcpy(b->data, old->data, old->size < bytes ? old->size : bytes);
  b->size = bytes;
  b->locks = 0;
  std::lock_guard<std::mutex> guard(registryLock());
  live().erase(old);
  live().insert(b);
  std::free(old);
  return b;
}

void* GlobalLock(HGLOBAL block) {
  Block* b = find(block);
  if (!b) return nullptr;
  ++b->locks;
  return b->data;
}

BOOL GlobalUnlock(HGLOBAL block) {
  Block* b = find(block);
  if (!b || b->locks == 0) return FALSE;
  return --b->locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL block) {
  Block* b = find(block);
  return b ? b->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL block) {
  if (!block) return nullptr;
  auto* b = static_cast<Block*>(block);
  {
    std::lock_guard<std::mutex> guard(registryLock());
    if (!live().erase(b)) return block;
  }
  std::free(b);
  return nullptr;
}
