#include "platform/win/shlwapi.h"

#include <cstring>

#include "platform/win/com.h"
#include "platform/win/globalmem.h"

IStream* SHCreateMemStream(const BYTE* data, UINT size) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!block) return nullptr;
  if (size && data) {
    std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
  }
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
    GlobalFree(block);
    return nullptr;
  }
  return stream;
}
