// TIEBitmap: construction, allocation in the storage locations, row access
// and release of the storage.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_mask.h"

const std::array<TIEPixelFormatInfo, ie32RGBA + 1> IEPixelFormatInfo = {{
    {0, 0},   // ieNoFormat
    {1, 1},   // ie1g
    {8, 1},   // ie8p
    {8, 1},   // ie8g
    {16, 1},  // ie16Gray
    {24, 3},  // ie24RGB
    {32, 1},  // ie32f
    {32, 4},  // ieCMYK
    {48, 3},  // ieRGB48
    {24, 3},  // ieCIELab
    {32, 4},  // ie32RGBA
}};

namespace {

constexpr int64_t kDefaultThreshold = 33554432;  // when the memory size is unknown
constexpr int64_t kBlockSlack = 128;             // room to align the block start
constexpr uintptr_t kBlockAlign = 64;
constexpr int64_t kMinSegmentSize = 10485760;  // smaller segments are not worth splitting into
constexpr int32_t kFirstSegmentCount = 4;
constexpr int32_t kPaletteEntries = 256;

int64_t InitialThreshold() {
  const int64_t setting = IEGetGlobalSettings()->MemoryThreshold;
  if (setting != -1) return setting;
  const uint64_t physical = IEGetPhysicalMemory(false);
  if (physical == 0) return kDefaultThreshold;
  return static_cast<int64_t>(static_cast<double>(physical) / 1.1);
}

}  // namespace

int64_t IECheckedRowLength(int32_t width, int32_t bitsPerPixel, int32_t alignment) {
  if (width < 0 || alignment <= 0) return -1;
  const int64_t bits = int64_t{width} * bitsPerPixel;
  if (bits + alignment - 1 > int64_t{UINT32_MAX}) return -1;
  const int64_t length = IEBitmapRowLen(width, bitsPerPixel, alignment);
  return length > INT32_MAX ? -1 : length;
}

// ---- construction -------------------------------------------------------------------

TIEBitmap::TIEBitmap()
    : fileBuffer_(std::make_unique<TIEFileBuffer>()),
      memoryThreshold_(InitialThreshold()),
      imageProfile_(std::make_unique<TIEICC>()) {}

TIEBitmap::TIEBitmap(int32_t width, int32_t height, TIEPixelFormat format) : TIEBitmap() {
  Allocate(width, height, format);
}

TIEBitmap::TIEBitmap(TIEBitmap& source) : TIEBitmap() { Assign(&source); }

TIEBitmap::~TIEBitmap() {
  // A region bitmap goes back into its parent; a failure there loses only the region.
  try {
    WriteBackRegion();
  } catch (...) {
  }
  FreeImage(true);
}

void TIEBitmap::SetDisplayMask(std::unique_ptr<TIEMask> mask) { displayMask_ = std::move(mask); }

std::unique_ptr<TIEBitmap> TIEBitmap::CreateAlphaChannel(int32_t width, int32_t height, TIELocation location) {
  auto alpha = std::make_unique<TIEBitmap>();
  alpha->isAlphaChannel_ = 1;
  alpha->memoryAttached_ = 0;
  alpha->location_ = location == ieTBitmap ? ieInMemory : location;
  alpha->Allocate(width, height, ie8g);
  alpha->Fill(255);
  return alpha;
}

// ---- allocation -----------------------------------------------------------------------

bool TIEBitmap::Allocate(int32_t width, int32_t height, TIEPixelFormat format) {
  if (!needsAllocation_ && width == width_ && height == height_ && format == pixelFormat_) return true;
  // An attached framework bitmap is resized in place.
  if (tbitmapAttached_) {
    delete alphaChannel_;
    alphaChannel_ = nullptr;
  } else {
    FreeImage(true);
  }
  width_ = width;
  height_ = height;
  pixelFormat_ = format;
  const bool ok = AllocateStorage();
  if (!ok) {
    width_ = height_ = 0;
    rowLength_ = 0;
  }
  needsAllocation_ = 0;
  return ok;
}

bool TIEBitmap::SetGeometry() {
  if (pixelFormat_ > ie32RGBA) return false;
  const int64_t length = IECheckedRowLength(width_, IEPixelFormatInfo[pixelFormat_].BitsPerPixel, rowAlignment_);
  if (length < 0) return false;
  bitsPerPixel_ = IEPixelFormatInfo[pixelFormat_].BitsPerPixel;
  channels_ = IEPixelFormatInfo[pixelFormat_].Channels;
  rowLength_ = length;
  return true;
}

bool TIEBitmap::AllocateStorage() {
  if (width_ < 1 || height_ < 1 || pixelFormat_ == ieNoFormat) return false;
  if (pixelFormat_ == ie8p) {
    palette_ = std::make_unique<TRGB[]>(kPaletteEntries);
    paletteLength_ = kPaletteEntries;
  }
  if (!SetGeometry()) return false;
  if (IsVirtual()) return true;

  // At most INT32_MAX x INT32_MAX: no overflow in 64 bits.
  const int64_t size = rowLength_ * height_;
  if (location_ != ieTBitmap) location_ = size <= memoryThreshold_ ? ieInMemory : ieTempFile;
  bool ok = false;
  if (location_ == ieTempFile) {
    ok = AllocateTempFile(size);
    if (!ok) location_ = ieInMemory;
  }
  if (location_ == ieInMemory) ok = AllocateInMemory(size);
  if (location_ == ieTBitmap) ok = AllocateTBitmap(size);
  if (!ok) return false;
  allFull_ = 0;
  return true;
}

bool TIEBitmap::AllocateTempFile(int64_t size) {
  if (IEAllocShouldFail(TIEAllocRequest::TempFile, size)) return false;
  if (fileBuffer_->Allocate("IMG", true, size)) return true;
  fileBuffer_->Close();
  return false;
}

bool TIEBitmap::AllocateInMemory(int64_t size) {
  void* block = nullptr;
  void* start = nullptr;
  AllocateBlock(block, start, size, allocationKind_);
  if (block) {
    block_ = block;
    blockStart_ = static_cast<uint8_t*>(start);
    blockKind_ = allocationKind_;
    return true;
  }
  if (AllocateSegments()) return true;
  if (!IEGetGlobalSettings()->TempFileFallback) return false;
  location_ = ieTempFile;
  return AllocateTempFile(size);
}

void TIEBitmap::AllocateBlock(void*& block, void*& blockStart, int64_t size, TIEAllocationKind kind) {
  block = blockStart = nullptr;
  if (size < 0 || size > INT64_MAX - kBlockSlack || IEAllocShouldFail(TIEAllocRequest::Block, size)) return;
  const int64_t bytes = size + kBlockSlack;
  if (static_cast<uint64_t>(bytes) > SIZE_MAX) return;
  uint8_t* memory = nullptr;
  switch (kind) {
    case ieakMemoryManager:
      block = std::calloc(1, static_cast<size_t>(bytes));
      memory = static_cast<uint8_t*>(block);
      break;
    case ieakGlobalAlloc:
      block = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<size_t>(bytes));
      if (block) memory = static_cast<uint8_t*>(GlobalLock(block));
      break;
    case ieakAutoAlloc:
      block = IEAutoAlloc(bytes);
      memory = static_cast<uint8_t*>(block);
      break;
  }
  if (!memory) return;
  const auto address = reinterpret_cast<uintptr_t>(memory);
  blockStart = memory + ((kBlockAlign - address % kBlockAlign) % kBlockAlign);
}

bool TIEBitmap::AllocateSegments() { return segments_.Allocate(height_, rowLength_); }

void TIEBitmap::FreeSegments() { segments_.Free(); }

TIEMemorySegments& TIEMemorySegments::operator=(TIEMemorySegments&& other) noexcept {
  if (this != &other) {
    Free();
    handles_ = std::exchange(other.handles_, {});
    rows_ = std::exchange(other.rows_, {});
    rowsPerSegment_ = std::exchange(other.rowsPerSegment_, 0);
  }
  return *this;
}

bool TIEMemorySegments::Allocate(int32_t height, int64_t rowLength) {
  Free();
  if (height < 1 || rowLength < 1 || !IEGetGlobalSettings()->SegmentedAllocation) return false;
  for (int64_t count = kFirstSegmentCount;; count *= 2) {
    const int64_t rows = (height + count - 1) / count;
    const int64_t segmentSize = rows * rowLength;
    if (count > kFirstSegmentCount && segmentSize < kMinSegmentSize) return false;
    bool ok = segmentSize <= INT32_MAX;
    for (int64_t i = 0; ok && i < count; ++i) {
      HGLOBAL segment = IEAllocShouldFail(TIEAllocRequest::Segment, segmentSize)
                            ? nullptr
                            : GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, static_cast<size_t>(segmentSize));
      ok = segment != nullptr;
      if (ok) {
        handles_.push_back(segment);
        rows_.push_back(static_cast<uint8_t*>(GlobalLock(segment)));
      }
    }
    if (ok) {
      rowsPerSegment_ = static_cast<int32_t>(rows);
      return true;
    }
    Free();
    if (count * 2 >= height) return false;
  }
}

void TIEMemorySegments::Free() {
  for (HGLOBAL segment : handles_) {
    GlobalUnlock(segment);
    GlobalFree(segment);
  }
  handles_.clear();
  rows_.clear();
  rowsPerSegment_ = 0;
}

// ---- rows ------------------------------------------------------------------------------

uint8_t* TIEBitmap::VirtualRow(int32_t row, int32_t first, int32_t count) {
  if (rowProvider_) return rowProvider_->GetRow(this, row, count, first);
  if (!pixelCallback_) return nullptr;
  // The callback writes three-byte pixels whatever the format.
  // The width may have grown since the last row.
  const auto needed = static_cast<size_t>(std::max(rowLength_, int64_t{width_} * 3));
  if (virtualRow_.size() < needed) virtualRow_.resize(needed);
  count = std::clamp(count, 0, std::max(width_ - first, 0));
  auto* pixels = reinterpret_cast<TRGB*>(virtualRow_.data());
  for (int32_t i = 0; i < count; ++i) pixelCallback_(this, first + i, pixels + i, row);
  return virtualRow_.data();
}

uint8_t* TIEBitmap::RowAddress(int32_t row) {
  if (segments_.Count()) return segments_.Row(row, rowLength_);
  if (!blockStart_) return nullptr;
  return blockStart_ + int64_t{height_ - 1 - row} * rowLength_;
}

uint8_t* TIEBitmap::GetScanline(int32_t row) {
  row = FlipRow(row);
  if (IsVirtual()) return VirtualRow(row, 0, width_);
  if (location_ == ieTBitmap) return row >= 0 && row < static_cast<int32_t>(rowTable_.size()) ? rowTable_[row] : nullptr;
  if (location_ == ieTempFile) {
    ReleaseCurrentRow();
    currentRow_ = fileBuffer_->Map(AccessMode, rowLength_, int64_t{row} * rowLength_);
    return currentRow_;
  }
  return RowAddress(row);
}

uint8_t* TIEBitmap::LockScanline(int32_t row) {
  if (location_ != ieTempFile || IsVirtual()) return GetScanline(row);
  row = FlipRow(row);
  ReleaseCurrentRow();
  uint8_t* buffer = fileBuffer_->Map(AccessMode, rowLength_, int64_t{row} * rowLength_);
  if (!buffer) return nullptr;
  lockedBuffers_.push_back(buffer);
  lockedRows_.push_back(row);
  return buffer;
}

void TIEBitmap::UnlockScanline(int32_t row) {
  if (location_ != ieTempFile || IsVirtual()) return;
  row = FlipRow(row);
  // The latest lock of the row is released first.
  for (size_t i = lockedRows_.size(); i-- > 0;) {
    if (lockedRows_[i] != row) continue;
    fileBuffer_->Unmap(lockedBuffers_[i]);
    lockedRows_.erase(lockedRows_.begin() + static_cast<std::ptrdiff_t>(i));
    lockedBuffers_.erase(lockedBuffers_.begin() + static_cast<std::ptrdiff_t>(i));
    return;
  }
}

void TIEBitmap::ReleaseCurrentRow() {
  if (!currentRow_) return;
  fileBuffer_->Unmap(currentRow_);
  currentRow_ = nullptr;
}

void TIEBitmap::ReleaseMappedRows() {
  ReleaseCurrentRow();
  while (!lockedBuffers_.empty()) {
    fileBuffer_->Unmap(lockedBuffers_.back());
    lockedBuffers_.pop_back();
    lockedRows_.pop_back();
  }
}

// ---- release -----------------------------------------------------------------------------

bool TIEBitmap::IsEmpty() const { return width_ == 0 || height_ == 0 || rowLength_ == 0 || bitsPerPixel_ == 0; }

bool TIEBitmap::IsVirtual() const { return pixelCallback_ || rowProvider_; }

void TIEBitmap::FreeBlock() {
  if (block_ && !memoryAttached_) {
    switch (blockKind_) {
      case ieakMemoryManager:
        std::free(block_);
        break;
      case ieakGlobalAlloc:
        GlobalUnlock(block_);
        GlobalFree(block_);
        break;
      case ieakAutoAlloc:
        IEAutoFree(block_);
        break;
    }
  }
  block_ = nullptr;
  blockStart_ = nullptr;
}

void TIEBitmap::ReleaseStorage() {
  ReleaseMappedRows();
  fileBuffer_->Close();
  FreeBlock();
  FreeSegments();
}

void TIEBitmap::FreeImage(bool freeAlpha) {
  if (freeAlpha) {
    delete alphaChannel_;
    alphaChannel_ = nullptr;
  }
  palette_.reset();
  ReleaseStorage();
  FreeTBitmap();
  virtualRow_ = {};
  width_ = height_ = 0;
  rowLength_ = 0;
  bitsPerPixel_ = channels_ = 0;
  paletteLength_ = 0;
  allFull_ = 0;
  memoryAttached_ = 0;
  imageProfile_->Clear();
}

TIEICC& TIEBitmap::DisplayProfile() {
  if (!displayProfile_) {
    displayProfile_ = std::make_unique<TIEICC>();
    displayProfile_->LoadSRGBProfile();
  }
  return *displayProfile_;
}
