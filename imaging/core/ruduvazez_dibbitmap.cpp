// TIEDibbitmap and TIEWorkBitmap.
#include "imaging/core/ruduvazez_dibbitmap.h"

#include <cstring>

#include "imaging/core/davovevo.h"
#include "platform/rtl/exceptions.h"

// ---- DIB section bitmap ------------------------------------------------------------------

TIEDibbitmap::TIEDibbitmap() {
  info_.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info_.bmiHeader.biPlanes = 1;
  info_.bmiHeader.biCompression = BI_RGB;
  info_.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

bool TIEDibbitmap::AllocateBits(int32_t width, int32_t height, int32_t bitCount) {
  if (width == 0 || height == 0) return false;
  FreeBits();
  const int64_t rowLen = IECheckedRowLength(width, bitCount, 32);
  if (width < 0 || height < 0 || rowLen < 0 || rowLen * height > UINT32_MAX) return false;
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  rowLen_ = static_cast<int32_t>(rowLen);
  dc_ = CreateCompatibleDC(nullptr);
  if (!dc_) return false;
  info_.bmiHeader.biWidth = width;
  info_.bmiHeader.biHeight = height;
  info_.bmiHeader.biBitCount = static_cast<WORD>(bitCount);
  info_.bmiHeader.biSizeImage = static_cast<DWORD>(rowLen * height);
  void* bits = nullptr;
  section_ = CreateDIBSection(dc_, info_.Get(), DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section_) return false;
  bits_ = static_cast<uint8_t*>(bits);
  SelectObject(dc_, section_);
  return true;
}

void TIEDibbitmap::FreeBits() {
  // The context goes first, so that the section is no longer selected.
  if (dc_) DeleteDC(dc_);
  if (section_) DeleteObject(section_);
  dc_ = nullptr;
  section_ = nullptr;
  bits_ = nullptr;
  width_ = height_ = bitCount_ = 0;
}

uint8_t* TIEDibbitmap::GetScanline(int32_t row) {
  return bits_ ? bits_ + int64_t{height_ - row - 1} * rowLen_ : nullptr;
}

void TIEDibbitmap::SetWidth(int32_t) { throw EIEException("Cannot resize TIEDibBitmap"); }
void TIEDibbitmap::SetHeight(int32_t) { throw EIEException("Cannot resize TIEDibBitmap"); }

TIEPixelFormat TIEDibbitmap::GetPixelFormat() {
  if (bitCount_ == 1) return ie1g;
  if (bitCount_ == 24) return ie24RGB;
  return ieNoFormat;
}

bool TIEDibbitmap::Allocate(int32_t width, int32_t height, TIEPixelFormat format) {
  if (format == ie1g) return AllocateBits(width, height, 1);
  if (format == ie24RGB) return AllocateBits(width, height, 24);
  return false;
}

void TIEDibbitmap::Assign(TObject* source) {
  auto* src = dynamic_cast<TIEDibbitmap*>(source);
  if (!src || src == this || !src->bits_) return;
  if (AllocateBits(src->width_, src->height_, src->bitCount_) && bits_)
    std::memcpy(bits_, src->bits_, static_cast<size_t>(rowLen_) * static_cast<size_t>(height_));
}

// ---- work bitmap ------------------------------------------------------------------------------

TIEWorkBitmap::TIEWorkBitmap(int32_t width, int32_t height, int32_t bitCount) {
  if (width > 0 && height > 0) Allocate(width, height, bitCount);
}

void TIEWorkBitmap::Allocate(int32_t width, int32_t height, int32_t bitCount) {
  if (width == width_ && height == height_ && bitCount == bitCount_) return;
  FreeBuffer();
  width_ = width;
  height_ = height;
  bitCount_ = bitCount;
  const int64_t rowLen = IECheckedRowLength(width, bitCount, 32);
  if (rowLen < 0 || height < 0) throw EOutOfMemory("Out of memory");
  rowLen_ = static_cast<int32_t>(rowLen);
  const int64_t size = rowLen * height;
  if (!IEAllocShouldFail(TIEAllocRequest::Block, size)) block_ = IEAutoAlloc(size);
  if (!block_ && !segments_.Allocate(height, rowLen)) throw EOutOfMemory("Out of memory");
}

uint8_t* TIEWorkBitmap::GetScanline(int32_t row) {
  if (block_) return static_cast<uint8_t*>(block_) + int64_t{rowLen_} * (height_ - row - 1);
  if (segments_.Count()) return segments_.Row(row, rowLen_);
  return nullptr;
}

void TIEWorkBitmap::FreeBuffer() {
  IEAutoFree(block_);
  FreeSegments();
  width_ = height_ = bitCount_ = rowLen_ = 0;
}
