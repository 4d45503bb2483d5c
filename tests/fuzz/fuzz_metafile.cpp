// The metafile player (Windows and enhanced metafiles) on arbitrary bytes,
// drawn onto a small 32-bit bitmap.
#include <cstddef>
#include <cstdint>

#include "platform/win/gdi.h"
#include "platform/win/metafile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  BITMAPINFO info{};
  info.bmiHeader.biWidth = 48;
  info.bmiHeader.biHeight = -40;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  PlayMetafileBits(dc, data, size, RECT{0, 0, 48, 40});
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return 0;
}
