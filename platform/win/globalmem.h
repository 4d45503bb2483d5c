// Global memory blocks (HGLOBAL), as the clipboard and OLE data objects
// hand them around: a block of a fixed size with a lock count.
#pragma once

#include <cstddef>

#include "platform/win/wintypes.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GMEM_DDESHARE = GMEM_SHARE;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;

// Allocates `bytes` bytes (zeroed with GMEM_ZEROINIT); null when the size is
// unreasonable or memory is short.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// Changes the size, keeping the contents; null on failure (the old block stays valid).
HGLOBAL GlobalReAlloc(HGLOBAL block, size_t bytes, UINT flags);
// The block's memory; counts one lock. Null for a null or freed handle.
void* GlobalLock(HGLOBAL block);
// Counts one unlock; FALSE once the count reaches zero (as Windows answers).
BOOL GlobalUnlock(HGLOBAL block);
size_t GlobalSize(HGLOBAL block);
// Frees the block; null on success, the handle on failure.
HGLOBAL GlobalFree(HGLOBAL block);
