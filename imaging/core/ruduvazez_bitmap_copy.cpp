// TIEBitmap: copies, caller storage, moves between locations, hand-over of
// the whole storage, row alignment and size changes.
#include <algorithm>
#include <cstring>
#include <utility>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "platform/forms/graphics.h"

namespace {

// Sets the access modes of a copy's source (read) and destination (write)
// for its duration.
class TCopyScope {
public:
  TCopyScope(TIEBitmap& source, TIEBitmap& dest)
      : source_(source), dest_(dest), sourceMode_(source.AccessMode), destMode_(dest.AccessMode) {
    source.AccessMode = iemRead;
    dest.AccessMode = iemWrite;
  }
  ~TCopyScope() {
    source_.AccessMode = sourceMode_;
    dest_.AccessMode = destMode_;
  }
  TCopyScope(const TCopyScope&) = delete;
  TCopyScope& operator=(const TCopyScope&) = delete;

private:
  TIEBitmap& source_;
  TIEBitmap& dest_;
  uint8_t sourceMode_, destMode_;
};

}  // namespace

// ---- row copies ------------------------------------------------------------------------

void TIEBitmap::CopyRowsFrom(TIEBitmap& source) {
  if (IsEmpty() || source.IsEmpty()) return;
  TCopyScope scope(source, *this);
  const int32_t rows = std::min(height_, source.height_);
  if (location_ == ieTempFile && source.location_ == ieTempFile && !IsVirtual() && !source.IsVirtual() &&
      rowLength_ == source.rowLength_ && height_ == source.height_ && rowFlip_ == source.rowFlip_) {
    ReleaseMappedRows();
    source.ReleaseMappedRows();
    source.fileBuffer_->CopyTo(*fileBuffer_, rowLength_ * height_, 0);
    return;
  }
  const auto bytes = static_cast<size_t>(std::min(rowLength_, source.rowLength_));
  for (int32_t y = 0; y < rows; ++y) {
    const uint8_t* from = source.GetScanline(y);
    uint8_t* to = GetScanline(y);
    if (from && to) std::memcpy(to, from, bytes);
  }
}

void TIEBitmap::TakeAlphaChannelFrom(TIEBitmap& source) {
  delete alphaChannel_;
  alphaChannel_ = std::exchange(source.alphaChannel_, nullptr);
  isAlphaChannel_ = source.isAlphaChannel_;
}

// ---- copies --------------------------------------------------------------------------------

void TIEBitmap::Assign(TObject* source) {
  needsAllocation_ = 1;
  if (auto* framework = dynamic_cast<TBitmap*>(source)) {
    CopyFromTBitmap(framework);
    return;
  }
  auto* src = dynamic_cast<TIEBitmap*>(source);
  if (!src || src == this) return;
  if (location_ == ieTBitmap && src->IsEmpty()) return;
  if (location_ != ieTBitmap) FreeImage(true);
  rowAlignment_ = src->rowAlignment_;
  // The flag describes how the rows lie; it comes first so that the rows
  // keep their order.
  rowFlip_ = src->rowFlip_;
  if (location_ == ieTBitmap) {
    AssignToTBitmap(*src, false);
  } else {
    width_ = src->width_;
    height_ = src->height_;
    pixelFormat_ = src->pixelFormat_;
    if (!AllocateStorage()) {
      width_ = height_ = 0;
      rowLength_ = 0;
    }
  }
  allFull_ = src->allFull_;
  CopyRowsFrom(*src);
  if (!isAlphaChannel_) {
    if (src->alphaChannel_)
      GetAlphaChannel()->Assign(src->alphaChannel_);
    else
      RemoveAlphaChannel(false);
  }
  src->CopyPaletteTo(this);
  bilevelMethod_ = src->bilevelMethod_;
  DisplayMin = src->DisplayMin;
  DisplayMax = src->DisplayMax;
  DisplayOffsets = src->DisplayOffsets;
  DisplayAdjustments = src->DisplayAdjustments;
  Contrast = src->Contrast;
  imageProfile_->Assign(*src->imageProfile_);
}

void TIEBitmap::AssignImage(TObject* source) {
  auto* src = dynamic_cast<TIEBitmap*>(source);
  if (!src || src == this || src->IsEmpty()) return;
  needsAllocation_ = 1;
  if (location_ == ieTBitmap) {
    AssignToTBitmap(*src, true);
  } else {
    FreeImage(false);
    width_ = src->width_;
    height_ = src->height_;
    pixelFormat_ = src->pixelFormat_;
    if (!AllocateStorage()) {
      width_ = height_ = 0;
      rowLength_ = 0;
    }
  }
  CopyRowsFrom(*src);
  allFull_ = 0;
  src->CopyPaletteTo(this);
  imageProfile_->Assign(*src->imageProfile_);
}

// ---- storage moves ----------------------------------------------------------------------------

void TIEBitmap::TransferTo(TIEBitmap& dest) {
  if (&dest == this) return;
  dest.FreeImage(true);
  dest.width_ = std::exchange(width_, 0);
  dest.height_ = std::exchange(height_, 0);
  dest.bitsPerPixel_ = std::exchange(bitsPerPixel_, 0);
  dest.channels_ = std::exchange(channels_, 0);
  dest.currentRow_ = std::exchange(currentRow_, nullptr);
  dest.rowLength_ = std::exchange(rowLength_, 0);
  dest.pixelFormat_ = std::exchange(pixelFormat_, ieNoFormat);
  dest.palette_ = std::move(palette_);
  dest.paletteLength_ = std::exchange(paletteLength_, 0);
  dest.alphaChannel_ = std::exchange(alphaChannel_, nullptr);
  dest.isAlphaChannel_ = isAlphaChannel_;
  dest.block_ = std::exchange(block_, nullptr);
  dest.blockStart_ = std::exchange(blockStart_, nullptr);
  dest.blockKind_ = blockKind_;
  dest.location_ = location_;
  dest.allFull_ = std::exchange(allFull_, 0);
  dest.memoryAttached_ = std::exchange(memoryAttached_, 0);
  dest.segments_ = std::move(segments_);
  dest.rowFlip_ = std::exchange(rowFlip_, 0);
  dest.fileBuffer_ = std::exchange(fileBuffer_, std::make_unique<TIEFileBuffer>());
  dest.lockedBuffers_ = std::exchange(lockedBuffers_, {});
  dest.lockedRows_ = std::exchange(lockedRows_, {});
  dest.bilevelMethod_ = bilevelMethod_;
  dest.rowAlignment_ = rowAlignment_;
  dest.allocationKind_ = allocationKind_;
  dest.pixelCallback_ = std::exchange(pixelCallback_, nullptr);
  dest.rowProvider_ = std::move(rowProvider_);
  dest.virtualRow_ = std::exchange(virtualRow_, {});
  dest.tbitmap_ = std::exchange(tbitmap_, nullptr);
  dest.tbitmapAttached_ = std::exchange(tbitmapAttached_, 0);
  dest.rowTable_ = std::exchange(rowTable_, {});
  dest.TakeImageProfileFrom(*this);
  needsAllocation_ = 1;
}

// Moves the image profile here; the source's is left empty.
void TIEBitmap::TakeImageProfileFrom(TIEBitmap& source) {
  std::swap(imageProfile_, source.imageProfile_);
  source.imageProfile_->Clear();
}

void TIEBitmap::SetLocation(TIELocation location) {
  if (location == location_ || IsVirtual()) return;
  needsAllocation_ = 1;
  TIEBitmap scratch;
  TransferTo(scratch);
  location_ = location;
  const bool allocated = Allocate(scratch.width_, scratch.height_, scratch.pixelFormat_);
  // A failed allocation keeps the pixels where they were.
  if ((!allocated && !scratch.IsEmpty()) || location_ == scratch.location_) {
    scratch.TransferTo(*this);
    return;
  }
  CopyRowsFrom(scratch);
  scratch.CopyPaletteTo(this);
  UpdateTBitmapPalette();
  TakeAlphaChannelFrom(scratch);
  TakeImageProfileFrom(scratch);
}

bool TIEBitmap::Reshape(int32_t width, int32_t height) {
  TIEBitmap scratch;
  TransferTo(scratch);
  const bool ok = Allocate(width, height, scratch.pixelFormat_);
  if (!ok && width > 0 && height > 0) {
    // No room for the new size: the image stays as it was.
    scratch.TransferTo(*this);
    return false;
  }
  CopyRowsFrom(scratch);
  scratch.CopyPaletteTo(this);
  TakeAlphaChannelFrom(scratch);
  TakeImageProfileFrom(scratch);
  return ok;
}

void TIEBitmap::SetRowAlignment(int32_t bits) {
  // Only whole bytes give rows that hold their pixels.
  if (bits == rowAlignment_ || bits <= 0 || bits % 8 != 0) return;
  if (IsVirtual()) {
    rowAlignment_ = bits;
    return;
  }
  needsAllocation_ = 1;
  if (location_ != ieInMemory) return;
  const int32_t width = width_, height = height_;
  const int32_t oldAlignment = rowAlignment_;
  TIEBitmap scratch;
  TransferTo(scratch);
  rowAlignment_ = bits;
  if (!Allocate(width, height, scratch.pixelFormat_) && width > 0 && height > 0) {
    // No room for the new rows: the image stays as it was.
    rowAlignment_ = oldAlignment;
    scratch.TransferTo(*this);
    return;
  }
  CopyRowsFrom(scratch);
  scratch.CopyPaletteTo(this);
  TakeAlphaChannelFrom(scratch);
  TakeImageProfileFrom(scratch);
}

void TIEBitmap::SetWidth(int32_t value) {
  if (value != width_) ChangeSide(value, true);
}

void TIEBitmap::SetHeight(int32_t value) {
  if (value != height_) ChangeSide(value, false);
}

void TIEBitmap::ChangeSide(int32_t value, bool width) {
  if (alphaChannel_) width ? alphaChannel_->SetWidth(value) : alphaChannel_->SetHeight(value);
  if (!IsVirtual() && location_ == ieTBitmap && tbitmap_) {
    ResizeTBitmap(value, width);
    return;
  }
  const int32_t newWidth = width ? value : width_, newHeight = width ? height_ : value;
  if (!IsVirtual() && location_ != ieTBitmap && pixelFormat_ != ieNoFormat && (width ? height_ : width_) >= 1) {
    Reshape(newWidth, newHeight);
    allFull_ = 0;
    return;
  }
  (width ? width_ : height_) = value;
}

// ---- caller storage -------------------------------------------------------------------------------

void TIEBitmap::AttachMemoryBuffer(void* buffer, int32_t width, int32_t height, TIEPixelFormat format, bool freeFirst,
                                   uint8_t rowFlip) {
  if (freeFirst) FreeImage(true);
  if (!buffer) return;
  // Whatever storage was held is released: the buffer replaces it.
  ReleaseStorage();
  FreeTBitmap();
  width_ = width;
  height_ = height;
  pixelFormat_ = format;
  if (width < 1 || height < 1 || format == ieNoFormat || !SetGeometry()) {
    width_ = height_ = 0;
    rowLength_ = 0;
    return;
  }
  location_ = ieInMemory;
  memoryAttached_ = 1;
  block_ = buffer;
  blockStart_ = static_cast<uint8_t*>(buffer);
  rowFlip_ = rowFlip ? 1 : 0;
  if (format == ie8p && !palette_) {
    palette_ = std::make_unique<TRGB[]>(256);
    paletteLength_ = 256;
  }
}
