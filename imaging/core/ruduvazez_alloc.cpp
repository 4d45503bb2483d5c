// The block allocator, the allocation-failure hook and the colour helpers of
// the bitmap.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/win/user_system.h"

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

uint8_t* SystemHeapBlock(size_t bytes) {
  HGLOBAL handle = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, bytes);
  if (!handle) return nullptr;
  return WithHeader(static_cast<uint8_t*>(GlobalLock(handle)), handle, kTagSystemHeap);
}

// System colours ($FF0000nn) take their current value.
uint32_t ResolveColor(TIEColor color) {
  return (color & 0x80000000u) ? GetSysColor(static_cast<int>(color & 0xFF)) : color;
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

void IEColorToRGB(TIEColor color, TRGB& rgb) {
  const uint32_t c = ResolveColor(color);
  rgb.r = static_cast<uint8_t>(c);
  rgb.g = static_cast<uint8_t>(c >> 8);
  rgb.b = static_cast<uint8_t>(c >> 16);
}

uint32_t IEColorToRGB32(TIEColor color) {
  TRGB rgb;
  IEColorToRGB(color, rgb);
  // The fourth byte is the resolved colour's own high byte.
  return rgb.b | (uint32_t{rgb.g} << 8) | (uint32_t{rgb.r} << 16) | (ResolveColor(color) & 0xFF000000u);
}

uint32_t IERGBToCMYK(TRGB rgb) {
  const int k = std::max({rgb.r, rgb.g, rgb.b});
  uint32_t c = 255, m = 255, y = 255;
  if (k > 0) {
    c = static_cast<uint32_t>(rgb.r * 255 / k);
    m = static_cast<uint32_t>(rgb.g * 255 / k);
    y = static_cast<uint32_t>(rgb.b * 255 / k);
  }
  return c | (m << 8) | (y << 16) | (static_cast<uint32_t>(k) << 24);
}

TRGB IECMYKToRGB(uint32_t cmyk) {
  const uint32_t c = cmyk & 0xFF, m = (cmyk >> 8) & 0xFF, y = (cmyk >> 16) & 0xFF, k = cmyk >> 24;
  return TRGB{static_cast<uint8_t>(y * k / 255), static_cast<uint8_t>(m * k / 255), static_cast<uint8_t>(c * k / 255)};
}
