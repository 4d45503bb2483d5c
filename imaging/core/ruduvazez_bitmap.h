// The library's image: TIEBitmap and its abstract base, pixel formats,
// storage locations (memory block or segments, temporary file, framework
// bitmap), row access, single pixels, palette, alpha channel, fills and
// scans, copies and storage moves; the block allocator and the
// allocation-failure hook behind them.
//
// Sections: formats | allocator | base bitmap | bitmap
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/rtl/object.h"
#include "platform/rtl/set.h"
#include "platform/win/globalmem.h"

// ---- formats ---------------------------------------------------------------------

enum TIEPixelFormat : uint8_t {
  ieNoFormat,
  ie1g,
  ie8p,
  ie8g,
  ie16Gray,
  ie24RGB,
  ie32f,
  ieCMYK,
  ieRGB48,
  ieCIELab,
  ie32RGBA,
};

struct TIEPixelFormatInfo {
  int32_t BitsPerPixel;
  int32_t Channels;
};
// Bits per pixel and channels, indexed by the format.
extern const std::array<TIEPixelFormatInfo, ie32RGBA + 1> IEPixelFormatInfo;

// IEBitmapRowLen, or -1 when the length cannot be represented: the bit
// count must fit the routine's 32-bit arithmetic and the length the 32-bit
// row length that callers read.
int64_t IECheckedRowLength(int32_t width, int32_t bitsPerPixel, int32_t alignment);

enum TIELocation : uint8_t { ieInMemory, ieTempFile, ieTBitmap };

// How the single memory block of an image is obtained (and freed).
enum TIEAllocationKind : uint8_t { ieakMemoryManager, ieakGlobalAlloc, ieakAutoAlloc };

// Access mode bits of the temporary-file storage.
constexpr uint8_t iemRead = 1, iemWrite = 2, iemReadWrite = 3;

// The colour as blue, green, red (system colours resolved to their RGB).
void IEColorToRGB(TIEColor color, TRGB& rgb);
// The colour as a 32-bit pixel: blue, green, red, then its own high byte.
uint32_t IEColorToRGB32(TIEColor color);
// Four bytes cyan, magenta, yellow, black stored inverted (255 = no ink) and back.
uint32_t IERGBToCMYK(TRGB rgb);
TRGB IECMYKToRGB(uint32_t cmyk);

// ---- allocator ---------------------------------------------------------------------

// What an image asks memory or a file for; the failure hook sees it.
enum class TIEAllocRequest { Block, Segment, TempFile };
// Returns true to make that request fail (tests exercise the fall-backs with it).
using TIEAllocFailHook = std::function<bool(TIEAllocRequest request, int64_t size)>;
// Sets (or, with an empty hook, clears) the process-wide hook.
void IESetAllocFailHook(TIEAllocFailHook hook);
// True when the hook asks this request to fail.
bool IEAllocShouldFail(TIEAllocRequest request, int64_t size);

// A block of size bytes with a one-byte tag before it: under 1 MB from the
// memory manager (falling back to the system heap), larger zero-filled from
// the system heap. Null when neither gives it.
void* IEAutoAlloc(int64_t size);
// Frees a block of IEAutoAlloc and clears the pointer.
void IEAutoFree(void*& block);

// Rows split over several zero-filled system-heap blocks, for images whose
// single block cannot be had: 4 segments first, then twice as many while
// each stays at least 10 MB and there are fewer segments than rows.
class TIEMemorySegments {
public:
  TIEMemorySegments() = default;
  ~TIEMemorySegments() { Free(); }
  TIEMemorySegments(TIEMemorySegments&& other) noexcept { *this = std::move(other); }
  TIEMemorySegments& operator=(TIEMemorySegments&& other) noexcept;
  TIEMemorySegments(const TIEMemorySegments&) = delete;
  TIEMemorySegments& operator=(const TIEMemorySegments&) = delete;

  // Frees what is held, then tries the segments (only when the settings
  // allow segmented allocation); false when none could be had.
  bool Allocate(int32_t height, int64_t rowLength);
  void Free();
  int32_t Count() const { return static_cast<int32_t>(handles_.size()); }
  int32_t RowsPerSegment() const { return rowsPerSegment_; }
  // Row row (top-down inside each segment).
  uint8_t* Row(int32_t row, int64_t rowLength) const {
    return rows_[row / rowsPerSegment_] + int64_t{row % rowsPerSegment_} * rowLength;
  }

private:
  std::vector<HGLOBAL> handles_;
  std::vector<uint8_t*> rows_;  // the locked address of each segment
  int32_t rowsPerSegment_ = 0;
};

// ---- base bitmap ---------------------------------------------------------------------

// The interface every image holder of the library offers.
class TIEBaseBitmap : public TObject {
public:
  // 1 read, 2 write, 3 both: whether a mapped row is read from and written
  // back to file-held storage.
  uint8_t AccessMode = iemReadWrite;

  virtual uint8_t* GetScanline(int32_t row) = 0;
  virtual int32_t GetBitCount() = 0;
  virtual int32_t GetHeight() = 0;
  virtual int32_t GetWidth() = 0;
  virtual void SetWidth(int32_t value) = 0;
  virtual void SetHeight(int32_t value) = 0;
  virtual TIEPixelFormat GetPixelFormat() = 0;
  virtual int32_t GetRowLength() = 0;
  virtual TRGB* GetPaletteBuffer() = 0;
  virtual void GetPaletteColor(int32_t index, TRGB& color) = 0;
  virtual void SetPaletteColor(int32_t index, TRGB color) = 0;
  virtual int32_t GetPaletteLength() = 0;
  virtual int32_t GetPaletteUsed() = 0;
  virtual void SetPaletteUsed(int32_t count) = 0;
  virtual bool Allocate(int32_t width, int32_t height, TIEPixelFormat format) = 0;
  virtual void Assign(TObject* source) = 0;
  virtual void AssignImage(TObject* source) = 0;
  virtual void CopyPaletteTo(TObject* dest) = 0;
};

// ---- bitmap ---------------------------------------------------------------------------

class TIEBitmap;

// Supplies the rows of a virtual bitmap.
class TIEVirtualBitmapProvider : public TObject {
public:
  // Address of count pixels of the row starting at column first.
  virtual uint8_t* GetRow(TIEBitmap* bitmap, int32_t row, int32_t count, int32_t first) = 0;
};

// Fills one three-byte pixel of a virtual bitmap's row.
using TIEPixelCallback = std::function<void(TIEBitmap* bitmap, int32_t x, TRGB* pixel, int32_t y)>;

class TIEMask;
class TIEICC;
class TIEBitmap;

// What the row renderers draw: destination rows FirstRow..LastRow and
// columns FirstCol..LastCol; the source pixel of destination column x is
// ColIndex[x - DestX], of row y RowIndex[y - DestY]; Step (16384 = 1.0)
// per direction. The blending renderers also take the opacity, the alpha
// row (AlphaCap x opacity per source column, or nil), whether the source's
// alpha channel applies and the cap of every alpha value.
struct TIERenderRows {
  uint8_t* const* RowTable = nullptr;
  TIEBitmap* Dest = nullptr;
  int32_t FirstRow = 0, LastRow = -1, FirstCol = 0, LastCol = -1;
  int32_t DestX = 0, DestY = 0, SourceX = 0, SourceY = 0;
  const int32_t* ColIndex = nullptr;
  const int32_t* RowIndex = nullptr;
  int32_t StepX = 16384, StepY = 16384;
  bool ReuseRows = false;
  uint8_t CombineOperator = 0;
  double Opacity = 1;
  const uint8_t* AlphaRow = nullptr;
  bool UseAlphaChannel = false;
  int32_t AlphaCap = 255;
};
class TIEDibbitmap;
class TIECanvas;
class TBitmap;
class TCanvas;
class TStream;
class TIOParamsVals;
class TResourceName;

// The image of the library: width x height pixels of one format, stored in
// memory (one 64-byte-aligned block, bottom-up, or several segments,
// top-down), in a temporary file (one row mapped at a time) or in a
// framework bitmap. Row 0 is the top row for every caller.
class TIEBitmap : public TIEBaseBitmap {
public:
  TIEBitmap();
  TIEBitmap(int32_t width, int32_t height, TIEPixelFormat format);  // CreateSized
  explicit TIEBitmap(TIEBitmap& source);                            // CreateCopy
  ~TIEBitmap() override;
  TIEBitmap(const TIEBitmap&) = delete;
  TIEBitmap& operator=(const TIEBitmap&) = delete;
  // An alpha channel: ie8g, all 255, in the given location (memory for ieTBitmap).
  static std::unique_ptr<TIEBitmap> CreateAlphaChannel(int32_t width, int32_t height, TIELocation location);

  // -- storage
  bool Allocate(int32_t width, int32_t height, TIEPixelFormat format) override;
  void FreeImage(bool freeAlpha);
  bool IsEmpty() const;
  bool IsVirtual() const;
  uint8_t* GetScanline(int32_t row) override;
  // As GetScanline, but in a temporary file any number of locked rows stay valid together.
  uint8_t* LockScanline(int32_t row);
  void UnlockScanline(int32_t row);
  // The getters first take over what was changed on a framework bitmap directly.
  int32_t GetBitCount() override {
    SyncIfTBitmap();
    return bitsPerPixel_;
  }
  int32_t GetHeight() override {
    SyncIfTBitmap();
    return height_;
  }
  int32_t GetWidth() override {
    SyncIfTBitmap();
    return width_;
  }
  void SetWidth(int32_t value) override;
  void SetHeight(int32_t value) override;
  TIEPixelFormat GetPixelFormat() override {
    SyncIfTBitmap();
    return pixelFormat_;
  }
  int32_t GetRowLength() override {
    SyncIfTBitmap();
    return static_cast<int32_t>(rowLength_);
  }
  int64_t RowLength64() const { return rowLength_; }
  int32_t GetChannelCount() {
    SyncIfTBitmap();
    return channels_;
  }
  // Re-reads size and format from the framework bitmap when they were changed on it.
  void SyncWithTBitmap();
  TIELocation Location() const { return location_; }
  int64_t MemoryThreshold() const { return memoryThreshold_; }
  int32_t RowAlignment() const { return rowAlignment_; }
  TIEAllocationKind AllocationKind() const { return allocationKind_; }
  void SetAllocationKind(TIEAllocationKind kind) { allocationKind_ = kind; }
  // Number of memory segments holding the rows (0 for a single block or a file).
  int32_t SegmentCount() const { return segments_.Count(); }
  bool RowFlip() const { return rowFlip_ != 0; }
  bool IsAlphaChannel() const { return isAlphaChannel_ != 0; }
  bool FullFlag() const { return allFull_ != 0; }
  void SetFullFlag(bool full) { allFull_ = full ? 1 : 0; }
  uint8_t BilevelMethod() const { return bilevelMethod_; }
  void SetBilevelMethod(uint8_t method) { bilevelMethod_ = method; }
  TIEFileBuffer& FileBuffer() { return *fileBuffer_; }

  // -- virtual bitmaps
  void SetPixelCallback(TIEPixelCallback callback) { pixelCallback_ = std::move(callback); }
  void SetRowProvider(std::unique_ptr<TIEVirtualBitmapProvider> provider) { rowProvider_ = std::move(provider); }

  // -- pixels (no bounds checks)
  uint8_t* GetPixelAddress(int32_t y, int32_t x, int32_t count = 1);
  uint8_t* GetPixelAddress24(int32_t x, int32_t y);
  uint8_t GetPixel8(int32_t x, int32_t y);
  void SetPixel8(int32_t x, int32_t y, uint8_t value);
  uint16_t GetPixel16(int32_t x, int32_t y);
  void SetPixel16(int32_t x, int32_t y, uint16_t value);
  float GetPixel32f(int32_t x, int32_t y);
  void SetPixel32f(int32_t x, int32_t y, float value);
  uint32_t GetPixelCMYK(int32_t x, int32_t y);
  void SetPixelCMYK(int32_t x, int32_t y, uint32_t value);
  TRGB GetPixel24(int32_t x, int32_t y);
  void SetPixel24(int32_t x, int32_t y, TRGB value);
  uint32_t GetPixel32RGBA(int32_t x, int32_t y);
  void SetPixel32RGBA(int32_t x, int32_t y, uint32_t value);
  // Red, green, blue.
  std::array<uint16_t, 3> GetPixel48(int32_t x, int32_t y);
  void SetPixel48(int32_t x, int32_t y, const std::array<uint16_t, 3>& value);
  uint8_t GetAlphaPixel(int32_t x, int32_t y);
  void SetAlphaPixel(int32_t x, int32_t y, uint8_t value);
  void GetPixelRGB(int32_t x, int32_t y, TRGB& rgb);

  // -- palette
  TRGB* GetPaletteBuffer() override { return palette_.get(); }
  void GetPaletteColor(int32_t index, TRGB& color) override;
  void SetPaletteColor(int32_t index, TRGB color) override;
  int32_t GetPaletteLength() override { return paletteLength_; }
  int32_t GetPaletteUsed() override { return paletteUsed_; }
  void SetPaletteUsed(int32_t count) override { paletteUsed_ = count; }
  void CopyPaletteTo(TObject* dest) override;
  // Writes the palette into the framework bitmap's colour table (ieTBitmap only).
  void UpdateTBitmapPalette();
  // Reads count entries of a framework bitmap's colour table into the palette.
  void CopyPaletteFromTBitmap(TBitmap* bitmap, int32_t count);

  // -- alpha channel
  TIEBitmap* GetAlphaChannel();
  TIEBitmap* PeekAlphaChannel() const { return alphaChannel_; }
  bool HasAlphaChannel() const { return alphaChannel_ != nullptr; }
  // The given bitmap becomes the alpha channel; the previous one is not
  // freed: the caller holds it and puts it back the same way.
  void ReplaceAlphaChannel(TIEBitmap* bitmap);
  void RemoveAlphaChannel(bool merge = false, TIEColor background = 0xFFFFFF);
  void SoftenAlphaEdges(int32_t width);

  // -- fills and scans
  void Fill(double value);
  void FillRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, double value);
  void UpdateAllFull();
  bool IsAllZero();
  bool IsGrayscale();
  void ComputeDisplayRange();

  // -- display settings (stored and copied here, used by the renderers)
  double DisplayMin = 0, DisplayMax = 0;
  std::array<int32_t, 4> DisplayOffsets{};
  bool DisplayAdjustments = false;
  int32_t Contrast = 0;
  // Where set, the display range and adjustments apply only inside it; owned.
  TIEMask* DisplayMask() const { return displayMask_.get(); }
  void SetDisplayMask(std::unique_ptr<TIEMask> mask);

  // -- colour profiles
  // The profile the pixels are in: empty until a codec or caller loads one;
  // cleared when the image is freed; copied by Assign and AssignImage.
  TIEICC& ImageProfile() { return *imageProfile_; }
  // The profile of the screen: the system sRGB profile, opened on first use.
  TIEICC& DisplayProfile();

  // -- copies, caller storage, storage moves
  void Assign(TObject* source) override;
  void AssignImage(TObject* source) override;
  void SetLocation(TIELocation location);
  // Uses the caller's buffer of height rows of this library's row length;
  // rowFlip 0: rows bottom-up like a DIB, 1: top-down.
  // The framework bitmap that holds the pixels (moved there first) and its canvas.
  TBitmap* GetTBitmap();
  TCanvas* GetTBitmapCanvas();
  // With the row flip, drawing on the canvas lands in this bitmap's row order.
  void SetupTBitmapTransform();
  // Uses the caller's framework bitmap, which must outlive the attachment.
  void AttachTBitmap(TBitmap* bitmap, bool freeFirst);
  void AttachMemoryBuffer(void* buffer, int32_t width, int32_t height, TIEPixelFormat format, bool freeFirst,
                          uint8_t rowFlip);
  // Hands the whole storage to dest and leaves this bitmap empty.
  void TransferTo(TIEBitmap& dest);
  void SetRowAlignment(int32_t bits);

  // -- pixel-format conversion (ruduvazez_convert.cpp)
  // Fills this bitmap, already allocated in the target format with the
  // source's size (and not in ieTBitmap), with the source's pixels
  // converted; the source's alpha channel is copied. The source is left as
  // it was.
  void ConvertFrom(TIEBitmap& source);
  // Converts the pixels in place.
  void ConvertToPixelFormat(TIEPixelFormat format);
  // Nothing for the current format; a virtual bitmap only records it.
  void SetPixelFormat(TIEPixelFormat format);
  // Converts to an allowed format by the current format's preferences when
  // autoConvert is set; false when the format is not allowed (and, with
  // autoConvert, no format is).
  bool EnsureAllowedPixelFormat(Set<TIEPixelFormat> allowed, bool autoConvert);
  // Copies of the other image holders (1-bit keeps ie1g, palettes ie8p,
  // 15/16/24 bits ie24RGB, 32 bits ie32RGBA).
  void CopyFromTBitmap(TBitmap* bitmap);
  // Nil fills with 255; a 1-bit mask gives ie1g, an 8-bit one ie8g.
  void CopyFromMask(TIEMask* mask);
  void CopyFromDibBitmap(TIEDibbitmap* dib);
  // ie1g and ie8g give a mask of the same depth, ie24RGB an 8-bit one of grey8 shr 2.
  void CopyToMask(TIEMask& mask);

  // -- rectangles and geometry (ruduvazez_rects.cpp)
  // Copies a clipped rectangle into dest: same formats, ie1g into ie1g or
  // ie24RGB, and a pixel callback into ie24RGB; other pairs copy nothing.
  void CopyRectToBitmap(TIEBitmap& dest, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h);
  // The larger of both alpha values in the clipped rectangle of dest's alpha channel.
  void MergeAlphaRectTo(TIEBitmap& dest, int32_t sx, int32_t sy, int32_t dx, int32_t dy, int32_t w, int32_t h);
  // Moves the rectangle x1..x2, y1..y2 so that its corner lands on (dx, dy);
  // with fill, the rectangle's old place gets the value first.
  void MoveRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t dx, int32_t dy, double fillValue, bool fill);
  // New size with the content kept at the placement (0 left/top, 1
  // centred, 2 right/bottom); new area filled (alpha channel: alphaFill).
  void ResizeKeepingContent(int32_t width, int32_t height, double fillValue, double alphaFill, int32_t horizontal,
                            int32_t vertical);
  // Rotates image and alpha channel together by angle degrees: antialias 0,
  // formats other than ie24RGB and quarter turns by nearest pixel (exact),
  // 2 bilinear, 3 bicubic; 1 takes the bilinear rotation.
  void RotateByAngle(int32_t antialias, TIEColor background, double angle,
                     const std::function<void(TObject*, int32_t)>& onProgress, TObject* sender);
  // Decodes the stream in the given file format into this bitmap through an
  // I/O component (params, when given, are used and filled); true unless the
  // reader aborted.
  bool LoadFromStreamFormat(TStream& stream, int32_t fileFormat, TIOParamsVals* params);
  bool LoadFromResource(HINSTANCE instance, const TResourceName& resource, const TResourceName& type,
                        int32_t fileFormat);
  // A new bitmap holding the rectangle (edges included) of the source, with
  // its palette and alpha.
  static std::unique_ptr<TIEBitmap> CreateFromRect(TIEBitmap& source, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // The rectangle of a framework bitmap: ie1g, ie8p (4 and 8 bits) or ie24RGB.
  static std::unique_ptr<TIEBitmap> CreateFromTBitmapRect(TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2,
                                                          int32_t y2);
  // A bitmap standing for a rectangle of parent, written back into it when
  // freed (ie32RGBA composited by its fourth bytes when transparent).
  static std::unique_ptr<TIEBitmap> CreateRegionBitmap(TIEBitmap& parent, int32_t x1, int32_t y1, int32_t x2,
                                                       int32_t y2, TIEPixelFormat format, bool transparent);
  // A canvas on a region bitmap, in the parent's coordinates; freeing the
  // canvas writes the region back.
  static TIECanvas* CreateRegionCanvas(TIEBitmap& parent, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                                       bool antiAlias, bool useGDIPlus, bool transparent);
  TIEBitmap* RegionParent() const { return regionParent_; }
  void WriteBackRegion();

  // -- raw stream format (ruduvazez_raw.cpp)
  // The "TIEBITMAPRAW" record into buffer (when not nil; it must hold
  // RawSize() bytes), else into stream (when not nil).
  void SaveRaw(uint8_t* buffer, TStream* stream, bool preSize);
  int64_t RawSize();
  // Reads a record from buffer (bufferSize bytes, when not nil), else from
  // stream; false, with this bitmap left as it was, for any record that is
  // not whole and sound.
  bool LoadRaw(const uint8_t* buffer, int64_t bufferSize, TStream* stream);

  // -- rendering (ruduvazez_render.cpp)
  // Draws the source rectangle onto the destination rectangle of an
  // ie24RGB destination held in memory or a framework bitmap: clipped with
  // the scale kept, resampled by filter when the sizes differ, through the
  // display settings, the combine operator, opacity and alpha. Tables given
  // (non-empty) are used; empty ones are filled and, without freeTables,
  // kept for the caller; nil ones are made for the call.
  void RenderToTIEBitmapEx(TIEBitmap& dest, std::vector<uint8_t*>* rowTable, std::vector<int32_t>* colIndex,
                           std::vector<int32_t>* rowIndex, const RECT* clip, int32_t dx, int32_t dy, int32_t dw,
                           int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, bool useAlpha, bool reuseRows,
                           int32_t alphaCap, TResampleFilter filter, bool freeTables, uint8_t combineOperator,
                           double opacity);
  void RenderToTIEBitmap(TIEBitmap& dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy,
                         int32_t sw, int32_t sh, bool useAlpha, int32_t alphaCap, TResampleFilter filter,
                         uint8_t combineOperator, double opacity);
  // The same into a 24-bit framework bitmap (attached for the call).
  void RenderToTBitmap(TBitmap* dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy,
                       int32_t sw, int32_t sh, bool useAlpha, int32_t alphaCap, TResampleFilter filter,
                       uint8_t combineOperator, double opacity);
  // Copies and scales pixels and alpha into an ie24RGB destination: its alpha
  // becomes opacity x min(source alpha, cap), or opacity x cap without source alpha.
  void StretchRectTo(TIEBitmap& dest, int32_t dx, int32_t dy, int32_t dw, int32_t dh, int32_t sx, int32_t sy,
                     int32_t sw, int32_t sh, TResampleFilter filter, int32_t alphaCap, double opacity);
  // The row renderers, a plain and a blending one per source format.
  virtual void RenderRows24RGB(const TIERenderRows& p);
  virtual void RenderRows24RGBBlend(const TIERenderRows& p);
  virtual void RenderRows32RGBA(const TIERenderRows& p);
  virtual void RenderRows32RGBABlend(const TIERenderRows& p);
  virtual void RenderRows1g(const TIERenderRows& p);
  virtual void RenderRows1gBlend(const TIERenderRows& p);
  virtual void RenderRows8g(const TIERenderRows& p);
  virtual void RenderRows8gBlend(const TIERenderRows& p);
  virtual void RenderRows8p(const TIERenderRows& p);
  virtual void RenderRows8pBlend(const TIERenderRows& p);
  virtual void RenderRows16Gray(const TIERenderRows& p);
  virtual void RenderRows16GrayBlend(const TIERenderRows& p);
  virtual void RenderRows32f(const TIERenderRows& p);
  virtual void RenderRows32fBlend(const TIERenderRows& p);
  virtual void RenderRowsCMYK(const TIERenderRows& p);
  virtual void RenderRowsCMYKBlend(const TIERenderRows& p);
  virtual void RenderRowsCIELab(const TIERenderRows& p);
  virtual void RenderRowsCIELabBlend(const TIERenderRows& p);
  virtual void RenderRowsRGB48(const TIERenderRows& p);
  virtual void RenderRowsRGB48Blend(const TIERenderRows& p);
  virtual void RenderRowsVirtual(const TIERenderRows& p);
  virtual void RenderRowsVirtualBlend(const TIERenderRows& p);

  // -- compositing (ruduvazez_combine.cpp)
  // Composes source (ie24RGB with its alpha channel, or ie32RGBA) over this
  // ie24RGB bitmap and its alpha channel; -1 sizes are the source's.
  void CompositeFrom(TIEBitmap& source, int32_t x, int32_t y, int32_t width, int32_t height, int32_t alphaCap,
                     TResampleFilter filter, uint8_t combineOperator, bool stretch, int32_t sourceX, int32_t sourceY,
                     double opacity);

  // -- steps of Allocate, also used by the copies
  bool AllocateStorage();
  static void AllocateBlock(void*& block, void*& blockStart, int64_t size, TIEAllocationKind kind);
  bool AllocateSegments();
  void FreeSegments();

private:
  uint8_t* RowAddress(int32_t row);
  int32_t FlipRow(int32_t row) const { return rowFlip_ ? height_ - 1 - row : row; }
  uint8_t* VirtualRow(int32_t row, int32_t first, int32_t count);
  void ReleaseCurrentRow();
  void ReleaseMappedRows();
  void ReleaseStorage();
  bool SetGeometry();
  bool AllocateInMemory(int64_t size);
  bool AllocateTempFile(int64_t size);
  void FreeBlock();
  void CopyRowsFrom(TIEBitmap& source);
  void TakeAlphaChannelFrom(TIEBitmap& source);
  void TakeImageProfileFrom(TIEBitmap& source);
  bool Reshape(int32_t width, int32_t height);
  int64_t PixelBytesPerRow() const;
  void SyncIfTBitmap() {
    if (location_ == ieTBitmap) SyncWithTBitmap();
  }
  bool AllocateTBitmap(int64_t size);
  bool ShapeTBitmap(bool resetToDevice);
  void BuildRowTable();
  void ResizeTBitmap(int32_t value, bool width);
  // One side changes (width or height); the pixels follow the storage's rules.
  void ChangeSide(int32_t value, bool width);
  void FreeTBitmap();
  void AssignToTBitmap(TIEBitmap& source, bool resetToDevice);

  std::unique_ptr<TIEFileBuffer> fileBuffer_;
  uint8_t* currentRow_ = nullptr;
  std::unique_ptr<TRGB[]> palette_;
  int32_t paletteLength_ = 0;
  int32_t paletteUsed_ = 256;
  TIEBitmap* alphaChannel_ = nullptr;  // owned
  uint8_t* blockStart_ = nullptr;
  void* block_ = nullptr;
  std::vector<uint8_t*> lockedBuffers_;
  std::vector<int32_t> lockedRows_;
  uint8_t rowFlip_ = 0;
  int32_t width_ = 0, height_ = 0;
  int32_t bitsPerPixel_ = 0, channels_ = 0;
  int64_t rowLength_ = 0;
  TIEPixelFormat pixelFormat_ = ieNoFormat;
  uint8_t isAlphaChannel_ = 0;
  TIELocation location_ = ieTempFile;
  uint8_t allFull_ = 0;
  uint8_t memoryAttached_ = 0;
  int64_t memoryThreshold_ = 0;
  uint8_t bilevelMethod_ = 1;
  int32_t rowAlignment_ = 32;
  TIEAllocationKind allocationKind_ = ieakAutoAlloc;
  TIEAllocationKind blockKind_ = ieakAutoAlloc;  // how block_ was obtained
  uint8_t needsAllocation_ = 1;
  TIEMemorySegments segments_;
  TIEPixelCallback pixelCallback_;
  std::unique_ptr<TIEVirtualBitmapProvider> rowProvider_;
  std::vector<uint8_t> virtualRow_;  // the pixel callback's row, grown with the width
  std::unique_ptr<TIEMask> displayMask_;
  std::unique_ptr<TIEICC> imageProfile_;
  std::unique_ptr<TIEICC> displayProfile_;  // made by DisplayProfile()
  TBitmap* tbitmap_ = nullptr;  // owned unless attached
  uint8_t tbitmapAttached_ = 0;
  std::vector<uint8_t*> rowTable_;  // the framework bitmap's address of each row
  TIEBitmap* regionParent_ = nullptr;  // not owned
  RECT regionRect_{};
  // The conversion of the source's pixels, whatever this bitmap's location.
  void ConvertPixels(TIEBitmap& source);
  void ConvertTBitmapPixels(TIEPixelFormat format);
  // The row renderer of the format, plain or blending.
  void DispatchRenderRows(const TIERenderRows& p, bool blend);
  void RenderResampled(TIEBitmap& dest, std::vector<uint8_t*>* rowTable, const RECT* clip, int32_t dx, int32_t dy,
                       int32_t dw, int32_t dh, int32_t sx, int32_t sy, int32_t sw, int32_t sh, bool useAlpha,
                       bool reuseRows, int32_t alphaCap, TResampleFilter filter, uint8_t combineOperator,
                       double opacity);
};

// A hint box with text at (x, y) (moved to stay inside the canvas), framed
// light and dark; background receives what the box covers.
void IEDrawHintBox(TCanvas* canvas, int32_t& x, int32_t& y, const std::string& text, TFont* font, TBrush* brush,
                   std::unique_ptr<TBitmap>& background, int32_t canvasWidth, int32_t canvasHeight, TColor light,
                   TColor dark);
// A light-yellow half-transparent hint box as wide as the wider of both texts.
void IEDrawTranslucentHintBox(TCanvas* canvas, int32_t& x, int32_t& y, const std::string& text,
                              const std::string& sizingText);

// Combines the source pixel into the destination pixel by blend operator op
// (0 copy, 1 add, ... 43 luminance; others leave it); row matters to 41 and 42.
void IECombinePixels(const TRGB& source, TRGB& dest, uint8_t op, int32_t row);
// The same on the first three bytes of pixels of any width (the rest is kept).
void IECombinePixelsCopy(const uint8_t* source, uint8_t* dest, uint8_t op, int32_t row);

// The library's 8 x 8 ordered-dither matrix, first index the column's remainder.
extern const uint8_t IEBayer8[8][8];

// A 256-entry grey ramp (i, i, i) as the colour table of a framework bitmap.
void IESetGrayPalette(TBitmap* bitmap);
// dest becomes an 8-bit grey-ramp bitmap of the 24-bit source's size holding grey8 of each pixel.
void IEConvertTBitmapToGray(TBitmap* source, TBitmap* dest);

// Turns the image (and its alpha channel) upright by an EXIF orientation:
// 2 mirror, 3 half turn, 4 upside down, 5 transposed, 6 clockwise quarter
// turn, 7 transversed, 8 counter-clockwise quarter turn; other values
// leave it unchanged.
void IEApplyExifOrientation(TIEBitmap& bitmap, int32_t orientation);
