// Two small image holders beside TIEBitmap: TIEDibbitmap, a 1- or 24-bit
// DIB section selected into its own memory device context so that GDI
// draws from and onto it, and TIEWorkBitmap, the resampler's scratch rows.
#pragma once

#include <cstdint>

#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/win/gdi.h"

// A BITMAPINFO with room for the two colours of a 1-bit DIB.
struct TIEBitmapInfo2 {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[2];
  const BITMAPINFO* Get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

class TIEDibbitmap : public TIEBaseBitmap {
public:
  TIEDibbitmap();
  ~TIEDibbitmap() override { FreeBits(); }
  TIEDibbitmap(const TIEDibbitmap&) = delete;
  TIEDibbitmap& operator=(const TIEDibbitmap&) = delete;

  // A new section of width x height at 1 or 24 bits; false (nothing held)
  // for an empty or unrepresentable size or when GDI refuses.
  bool AllocateBits(int32_t width, int32_t height, int32_t bitCount);
  void FreeBits();
  HDC DC() const { return dc_; }
  HBITMAP DIBSection() const { return section_; }
  uint8_t* Bits() const { return bits_; }
  const TIEBitmapInfo2& Info() const { return info_; }

  uint8_t* GetScanline(int32_t row) override;
  int32_t GetBitCount() override { return bitCount_; }
  int32_t GetHeight() override { return height_; }
  int32_t GetWidth() override { return width_; }
  // Raise EIEException: the size changes only through Allocate.
  void SetWidth(int32_t value) override;
  void SetHeight(int32_t value) override;
  TIEPixelFormat GetPixelFormat() override;
  int32_t GetRowLength() override { return rowLen_; }
  TRGB* GetPaletteBuffer() override { return nullptr; }
  void GetPaletteColor(int32_t, TRGB& color) override { color = TRGB{}; }
  void SetPaletteColor(int32_t, TRGB) override {}
  int32_t GetPaletteLength() override { return 0; }
  int32_t GetPaletteUsed() override { return 0; }
  void SetPaletteUsed(int32_t) override {}
  // ie1g and ie24RGB only; false for any other format.
  bool Allocate(int32_t width, int32_t height, TIEPixelFormat format) override;
  // Copies another TIEDibbitmap; other sources are ignored.
  void Assign(TObject* source) override;
  void AssignImage(TObject* source) override { Assign(source); }
  void CopyPaletteTo(TObject*) override {}

private:
  int32_t width_ = 0, height_ = 0, bitCount_ = 0;
  HDC dc_ = nullptr;
  HBITMAP section_ = nullptr;
  uint8_t* bits_ = nullptr;
  int32_t rowLen_ = 0;
  TIEBitmapInfo2 info_;
};

// Width x height rows in one block, bottom-up, or over several segments,
// top-down inside each, when one block cannot be had.
class TIEWorkBitmap : public TObject {
public:
  TIEWorkBitmap(int32_t width, int32_t height, int32_t bitCount);
  ~TIEWorkBitmap() override { FreeBuffer(); }
  TIEWorkBitmap(const TIEWorkBitmap&) = delete;
  TIEWorkBitmap& operator=(const TIEWorkBitmap&) = delete;

  // Nothing when the geometry is unchanged; EOutOfMemory when no memory of
  // any kind can be had (the geometry stays recorded).
  void Allocate(int32_t width, int32_t height, int32_t bitCount);
  uint8_t* GetScanline(int32_t row);
  void FreeBuffer();
  void FreeSegments() { segments_.Free(); }

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  int32_t BitCount() const { return bitCount_; }
  int32_t RowLen() const { return rowLen_; }
  bool HasBlock() const { return block_ != nullptr; }
  int32_t SegmentCount() const { return segments_.Count(); }

private:
  int32_t width_ = 0, height_ = 0, bitCount_ = 0, rowLen_ = 0;
  void* block_ = nullptr;
  TIEMemorySegments segments_;
};
