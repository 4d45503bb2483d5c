// The selection mask: a 1- or 8-bit image of a picture's size with the
// bounding box of its selected pixels and an all-selected flag.
#pragma once

#include <climits>
#include <cstdint>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "platform/rtl/object.h"
#include "platform/win/wintypes.h"

// Copies count bits between two 1-bit rows at any bit offsets, most
// significant bit first; the destination bits outside the run stay. Nothing
// for count < 1 or a negative offset; bits beyond sourceBytes are not read.
void IECopyBits(uint8_t* dest, const uint8_t* source, int32_t destBit, int32_t sourceBit, int32_t count,
                int32_t sourceBytes);

// X of the point that separates polygons in FillPolygons.
constexpr LONG IEPolygonSeparator = 0xFFFFF;

class TBitmap;
class TCanvas;

class TIEMask : public TObject {
public:
  TIEMask();
  ~TIEMask() override;
  TIEMask(const TIEMask&) = delete;
  TIEMask& operator=(const TIEMask&) = delete;

  // Geometry; changed only through Allocate, Resize and FreeBits.
  int32_t Width = 0, Height = 0;
  int32_t BitsPerPixel = 0;  // 1 or 8; anything else makes the pixel operations do nothing
  int64_t RowLen = 0;        // bytes per stored row, padded to 4 bytes
  // Bounding box of the selected pixels, corners inclusive; empty: X1 = Y1 = MaxInt, X2 = Y2 = 0.
  int32_t X1 = INT_MAX, Y1 = INT_MAX, X2 = 0, Y2 = 0;
  bool Full = false;  // every pixel fully selected

  // Raises EOutOfMemory for a geometry whose rows or size cannot be held.
  void Allocate(int32_t width, int32_t height, int32_t bitsPerPixel);
  void FreeBits();
  bool HasBits() const { return !bits_.empty(); }
  // Allocates the bits zero-filled when missing; EOutOfMemory when memory is short.
  void EnsureBits();
  uint8_t* GetBits();
  // Image row row (stored bottom-up); no range check.
  uint8_t* GetScanline(int32_t row);

  void SetPixel(int32_t x, int32_t y, int32_t value);
  // 0 outside; a 1-bit mask answers the bit's weight (1..128) when selected.
  int32_t GetPixel(int32_t x, int32_t y) const;
  bool IsPointInside(int32_t x, int32_t y) const;
  // Pixels x1..x2 of row y; returns how many were written.
  int32_t FillSpan(int32_t value, int32_t x1, int32_t x2, int32_t y);
  bool Fill(int32_t value);
  void Clear();
  bool IsEmpty() const { return X1 == INT_MAX; }
  void RecalcBoundingBox();
  void UpdateFullFlag();
  void Resize(int32_t width, int32_t height);
  // Polygons separated by a point whose x is IEPolygonSeparator.
  void FillPolygons(int32_t value, const POINT* points, int32_t count);
  void FillPolygon(int32_t value, const POINT* points, int32_t count);
  // Moves the selection; without clipBox dx and dy are reduced so that the box stays inside.
  void Offset(int32_t& dx, int32_t& dy, bool clipBox);
  void CopyBitmap(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative, bool copyAlpha);
  void CopyAlphaChannel(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative);

  // -- drawing: the source rectangle of the mask shown at the destination
  // rectangle, stretched (nearest pixel, 14-bit fixed-point steps).
  // A non-empty 1-bit mask inverts the canvas where it is selected.
  void DrawFilled(TCanvas* canvas, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight, int32_t srcX,
                  int32_t srcY, int32_t srcWidth, int32_t srcHeight);
  // The border pixels of the selection in diagonal bands of the two colours
  // that move with phase; outRect, when given, receives the part drawn.
  void DrawOutline(TCanvas* canvas, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight, int32_t srcX,
                   int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t phase, TIEColor color1,
                   TIEColor color2, RECT* outRect = nullptr);
  // Marks the unselected area of a pf24bit bitmap that shows the mask at
  // (dstX, dstY): blended with color by alpha, or a grey chequer for alpha -1.
  void DrawMarkOuter(TBitmap* bitmap, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight, int32_t srcX,
                     int32_t srcY, int32_t srcWidth, int32_t srcHeight, TIEColor color, int32_t alpha);

private:
  struct TArea {
    int32_t x1, y1, x2, y2;
  };
  void EmptyBox();
  void ExtendBox(int32_t x, int32_t y);
  void ClampBox();
  void KeepFull(int32_t value);
  bool ValidDepth() const { return BitsPerPixel == 1 || BitsPerPixel == 8; }
  bool CopyArea(TIEBitmap& dest, TIEBitmap& source, bool destRelative, bool sourceRelative, TArea& area);
  // The display steps and the stretched rows covering the box.
  struct TStretch {
    int64_t xStep, yStep;
    int32_t x1, y1, x2, y2;  // destination range that covers the box
  };
  TStretch Stretch(int32_t dstWidth, int32_t dstHeight, int32_t srcX, int32_t srcY, int32_t srcWidth,
                   int32_t srcHeight);
  bool StretchedPixel(int32_t x, int32_t y) const;

  std::vector<uint8_t> bits_;
  TIEBitmapInfo2 dibInfo_;
  // Stretched copy for display, rows stored bottom-up like the bits.
  std::vector<uint8_t> stretchBits_;
  int32_t stretchWidth_ = 0, stretchHeight_ = 0;
  int64_t stretchRowLen_ = 0;
  std::vector<uint8_t*> stretchRows_;  // top row first
  TBitmap* dotBitmap_ = nullptr;      // 1 x 1, pf24bit, created on first outline
};
