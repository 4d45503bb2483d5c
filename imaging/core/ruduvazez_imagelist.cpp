// The virtual image list.
//
// Sections: block layout | placement | storage | mapping | images | lending |
// stream
#include "imaging/core/ruduvazez_imagelist.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/exceptions.h"

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr int64_t kInitialGrowStep = 262144;
constexpr int64_t kPaletteBytes = 768;
constexpr char kMagic[] = "VIRTUALIMAGELIST";
constexpr int32_t kMagicLength = 16;
constexpr uint8_t kLastKnownVersion = 8;

int64_t RowBytes(const TIEVirtualImage& image) { return IEBitmapRowLen(image.Width, image.BitCount, 32); }

// Where the palette and the alpha part start inside the block.
int64_t PaletteOffset(const TIEVirtualImage& image) { return image.Height * RowBytes(image); }
int64_t AlphaFlagOffset(const TIEVirtualImage& image) {
  return PaletteOffset(image) + (image.PixelFormat == ie8p ? kPaletteBytes : 0);
}

// Copies the rows of a bitmap into the block, bottom row first, or back.
void RowsToBlock(uint8_t* block, int64_t rowBytes, int32_t height, TIEBaseBitmap& bitmap) {
  const size_t count = static_cast<size_t>(std::min<int64_t>(rowBytes, bitmap.GetRowLength()));
  for (int32_t r = 0; r < height; ++r) std::memcpy(block + r * rowBytes, bitmap.GetScanline(height - 1 - r), count);
}
void RowsFromBlock(const uint8_t* block, int64_t rowBytes, int32_t height, TIEBaseBitmap& bitmap) {
  const size_t count = static_cast<size_t>(std::min<int64_t>(rowBytes, bitmap.GetRowLength()));
  for (int32_t r = 0; r < height; ++r) std::memcpy(bitmap.GetScanline(height - 1 - r), block + r * rowBytes, count);
}

size_t PaletteCopyBytes(TIEBaseBitmap& bitmap) {
  if (!bitmap.GetPaletteBuffer()) return 0;
  return static_cast<size_t>(std::min<int64_t>(kPaletteBytes, int64_t{bitmap.GetPaletteLength()} * 3));
}

// ---- stream records ----

template <class T>
void Put(uint8_t* record, size_t at, T value) {
  std::memcpy(record + at, &value, sizeof value);
}
template <class T>
T Take(const uint8_t* record, size_t at) {
  T value;
  std::memcpy(&value, record + at, sizeof value);
  return value;
}

void EncodeRecord(const TIEVirtualImage& image, uint8_t* record) {
  std::memset(record, 0, IEVirtualImageRecordSize);
  Put<int64_t>(record, 0, image.Offset);
  Put<int64_t>(record, 8, image.Size);
  record[20] = image.Lent ? 1 : 0;
  Put<int32_t>(record, 24, image.OrigWidth);
  Put<int32_t>(record, 28, image.OrigHeight);
  record[32] = image.HasAlpha ? 1 : 0;
  record[33] = image.Access;
  Put<int32_t>(record, 36, image.Width);
  Put<int32_t>(record, 40, image.Height);
  Put<int32_t>(record, 44, image.BitCount);
  record[48] = image.PixelFormat;
}

// The stored image, or null when its size does not agree with its geometry.
std::unique_ptr<TIEVirtualImage> DecodeRecord(const uint8_t* record) {
  auto image = std::make_unique<TIEVirtualImage>();
  image->Size = Take<int64_t>(record, 8);
  image->OrigWidth = Take<int32_t>(record, 24);
  image->OrigHeight = Take<int32_t>(record, 28);
  image->HasAlpha = record[32] != 0;
  image->Width = Take<int32_t>(record, 36);
  image->Height = Take<int32_t>(record, 40);
  image->BitCount = Take<int32_t>(record, 44);
  if (record[48] > ie32RGBA) return nullptr;
  image->PixelFormat = static_cast<TIEPixelFormat>(record[48]);
  if (image->BitCount != IEPixelFormatInfo[image->PixelFormat].BitsPerPixel) return nullptr;
  const int64_t expected =
      IEVirtualImageBlockSize(image->Width, image->Height, image->BitCount, image->PixelFormat, image->HasAlpha);
  if (expected < 0 || expected != image->Size) return nullptr;
  return image;
}

bool ReadExactly(TStream& stream, void* buffer, int32_t count) { return stream.Read(buffer, count) == count; }

}  // namespace

// ---- block layout ---------------------------------------------------------------------

int64_t IEVirtualImageBlockSize(int32_t width, int32_t height, int32_t bitCount, TIEPixelFormat format, bool hasAlpha) {
  if (width < 0 || height < 0 || bitCount < 0) return -1;
  const int64_t rowBytes = IECheckedRowLength(width, bitCount, 32);
  const int64_t alphaRowBytes = IECheckedRowLength(width, 8, 32);
  if (rowBytes < 0 || alphaRowBytes < 0) return -1;
  int64_t size = height * rowBytes;
  if (format == ie8p) size += kPaletteBytes;
  if (hasAlpha) size += 1 + height * alphaRowBytes;
  return size;
}

// ---- placement -------------------------------------------------------------------------

bool IEPlaceAtDataEnd(TIEVirtualListGrowth& growth, int64_t size) {
  if (size > growth.GrowStep) growth.GrowStep = size + growth.LastBlockSize;
  growth.LastBlockSize = size;
  bool grew = false;
  while (growth.DataEnd + size > growth.Capacity) {
    growth.Capacity += std::max(growth.GrowStep, size);
    grew = true;
  }
  return grew;
}

// ---- storage ---------------------------------------------------------------------------

TIEVirtualImageList::TIEVirtualImageList(const std::string& namePrefix, bool useFile)
    : useFile_(useFile), namePrefix_(namePrefix) {
  growth_.GrowStep = kInitialGrowStep;
  InitStorage();
}

TIEVirtualImageList::~TIEVirtualImageList() {
  FreeStorage();
  lentBitmaps_.clear();
}

void TIEVirtualImageList::InitStorage() {
  fileBuffer_ = std::make_unique<TIEFileBuffer>();
  growth_.Capacity = growth_.GrowStep;
  growth_.DataEnd = 0;
  growth_.LastBlockSize = 0;
  PrepareFile();
}

void TIEVirtualImageList::FreeStorage() {
  FreeAll();
  fileBuffer_.reset();
}

void TIEVirtualImageList::PrepareFile() {
  Guard guard(lock_);
  freeBlocks_.clear();
  if (fileBuffer_->IsAllocated()) {
    UnmapAllImages();
    fileBuffer_->SetSize(growth_.Capacity);
  } else {
    FreeAll();
    fileBuffer_->Allocate(namePrefix_, useFile_, growth_.Capacity);
  }
}

void TIEVirtualImageList::FreeAll() {
  while (!images_.empty()) FreeImage(images_.back().get(), true);
  mappedImages_.clear();
  freeBlocks_.clear();
  if (fileBuffer_) fileBuffer_->Close();
  growth_.DataEnd = 0;
}

void TIEVirtualImageList::FreeImage(TIEVirtualImage* image, bool removeFromList) {
  // A bitmap still lent stays with its borrowers; its last release frees it.
  if (TLentBitmap* lent = FindLent(image)) lent->Image = nullptr;
  if (image->Mapped) UnmapImage(image);
  if (!removeFromList) return;
  auto found = std::find_if(images_.begin(), images_.end(), [&](const auto& held) { return held.get() == image; });
  if (found != images_.end()) images_.erase(found);
}

// ---- mapping ---------------------------------------------------------------------------

uint8_t* TIEVirtualImageList::MapImage(TIEVirtualImage* image, uint8_t access) {
  if (image->Mapped && image->Access != access) UnmapImage(image);
  if (image->Mapped) {
    auto at = std::find(mappedImages_.begin(), mappedImages_.end(), image);
    std::rotate(at, at + 1, mappedImages_.end());
    return image->Mapped;
  }
  while (static_cast<int32_t>(mappedImages_.size()) > maxMapped_) UnmapImage(mappedImages_.front());
  image->Mapped = fileBuffer_->Map(access, image->Size, image->Offset);
  if (!image->Mapped) return nullptr;
  image->Access = access;
  mappedImages_.push_back(image);
  return image->Mapped;
}

void TIEVirtualImageList::UnmapImage(TIEVirtualImage* image) {
  if (!image->Mapped) return;
  fileBuffer_->Unmap(image->Mapped);
  image->Mapped = nullptr;
  mappedImages_.erase(std::find(mappedImages_.begin(), mappedImages_.end(), image));
}

void TIEVirtualImageList::UnmapAllImages() {
  while (!mappedImages_.empty()) UnmapImage(mappedImages_.back());
}

void TIEVirtualImageList::SetMaxMapped(int32_t value) {
  Guard guard(lock_);
  maxMapped_ = std::max(value, 0);
}

int32_t TIEVirtualImageList::MappedCount() {
  Guard guard(lock_);
  return static_cast<int32_t>(mappedImages_.size());
}

int64_t TIEVirtualImageList::Capacity() {
  Guard guard(lock_);
  return growth_.Capacity;
}

int64_t TIEVirtualImageList::DataEnd() {
  Guard guard(lock_);
  return growth_.DataEnd;
}

// ---- images ----------------------------------------------------------------------------

void TIEVirtualImageList::MergeFreeBlocks() {
  for (size_t i = 0; i + 1 < freeBlocks_.size();) {
    if (freeBlocks_[i].Offset + freeBlocks_[i].Size == freeBlocks_[i + 1].Offset) {
      freeBlocks_[i].Size += freeBlocks_[i + 1].Size;
      freeBlocks_.erase(freeBlocks_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    } else {
      ++i;
    }
  }
}

bool TIEVirtualImageList::AllocImageBlock(TIEVirtualImage* image, int32_t width, int32_t height, int32_t bitCount,
                                          TIEPixelFormat format, bool hasAlpha) {
  const int64_t size = IEVirtualImageBlockSize(width, height, bitCount, format, hasAlpha);
  if (size < 0) return false;
  MergeFreeBlocks();
  auto fit = std::find_if(freeBlocks_.begin(), freeBlocks_.end(), [&](const TFreeBlock& b) { return b.Size >= size; });
  if (fit != freeBlocks_.end()) {
    image->Offset = fit->Offset;
    fit->Offset += size;
    fit->Size -= size;
    if (fit->Size == 0) freeBlocks_.erase(fit);
  } else {
    const TIEVirtualListGrowth before = growth_;
    if (IEPlaceAtDataEnd(growth_, size)) {
      try {
        PrepareFile();
      } catch (const Exception&) {
        growth_ = before;
        return false;
      }
    }
    image->Offset = growth_.DataEnd;
    growth_.DataEnd += size;
  }
  image->Size = size;
  image->Width = image->OrigWidth = width;
  image->Height = image->OrigHeight = height;
  image->BitCount = bitCount;
  image->PixelFormat = format;
  image->HasAlpha = hasAlpha;
  return MapImage(image, iemWrite) != nullptr;
}

TIEVirtualImage* TIEVirtualImageList::NewImage(int32_t width, int32_t height, bool hasAlpha, TIEPixelFormat format,
                                               int32_t bitCount) {
  Guard guard(lock_);
  auto image = std::make_unique<TIEVirtualImage>();
  if (!AllocImageBlock(image.get(), width, height, bitCount, format, hasAlpha)) {
    UnmapImage(image.get());
    return nullptr;
  }
  images_.push_back(std::move(image));
  return images_.back().get();
}

void TIEVirtualImageList::CopyInto(uint8_t* block, TIEVirtualImage* image, TIEBaseBitmap& bitmap) {
  RowsToBlock(block, RowBytes(*image), image->Height, bitmap);
  if (image->PixelFormat == ie8p) std::memcpy(block + PaletteOffset(*image), bitmap.GetPaletteBuffer(), PaletteCopyBytes(bitmap));
  if (!image->HasAlpha) return;
  TIEBitmap* alpha = static_cast<TIEBitmap&>(bitmap).GetAlphaChannel();
  uint8_t* flag = block + AlphaFlagOffset(*image);
  *flag = alpha->FullFlag() ? 1 : 0;
  RowsToBlock(flag + 1, IEBitmapRowLen(image->Width, 8, 32), image->Height, *alpha);
}

namespace {
bool BitmapHasAlpha(TIEBaseBitmap& bitmap) {
  auto* full = dynamic_cast<TIEBitmap*>(&bitmap);
  return full && full->HasAlphaChannel();
}
}  // namespace

TIEVirtualImage* TIEVirtualImageList::AddBitmap(TIEBaseBitmap& bitmap) {
  Guard guard(lock_);
  TIEVirtualImage* image = NewImage(bitmap.GetWidth(), bitmap.GetHeight(), BitmapHasAlpha(bitmap),
                                    bitmap.GetPixelFormat(), bitmap.GetBitCount());
  if (image && image->Mapped) CopyInto(image->Mapped, image, bitmap);
  return image;
}

void TIEVirtualImageList::ReadBitmap(TIEVirtualImage* image, TIEBitmap& bitmap) {
  Guard guard(lock_);
  const uint8_t* block = MapImage(image, iemRead);
  if (!block) return;
  if (bitmap.GetWidth() != image->Width || bitmap.GetHeight() != image->Height ||
      bitmap.GetPixelFormat() != image->PixelFormat) {
    if (!bitmap.Allocate(image->Width, image->Height, image->PixelFormat)) return;
  }
  RowsFromBlock(block, RowBytes(*image), image->Height, bitmap);
  if (image->PixelFormat == ie8p) std::memcpy(bitmap.GetPaletteBuffer(), block + PaletteOffset(*image), PaletteCopyBytes(bitmap));
  const uint8_t* flag = block + AlphaFlagOffset(*image);
  if (!image->HasAlpha || *flag != 0) {
    bitmap.RemoveAlphaChannel(false);
    return;
  }
  TIEBitmap* alpha = bitmap.GetAlphaChannel();
  if (alpha->GetWidth() != image->Width || alpha->GetHeight() != image->Height) alpha->Allocate(image->Width, image->Height, ie8g);
  alpha->SetFullFlag(false);
  RowsFromBlock(flag + 1, IEBitmapRowLen(image->Width, 8, 32), image->Height, *alpha);
}

void TIEVirtualImageList::WriteBitmap(TIEVirtualImage* image, TIEBaseBitmap& bitmap) {
  Guard guard(lock_);
  if (!MapImage(image, iemReadWrite)) return;
  const bool hasAlpha = BitmapHasAlpha(bitmap);
  // A block is sized by all of these: the palette of ie8p changes it at the
  // same bit count.
  if (bitmap.GetWidth() != image->Width || bitmap.GetHeight() != image->Height ||
      bitmap.GetBitCount() != image->BitCount || bitmap.GetPixelFormat() != image->PixelFormat ||
      hasAlpha != image->HasAlpha) {
    UnmapImage(image);
    if (!AllocImageBlock(image, bitmap.GetWidth(), bitmap.GetHeight(), bitmap.GetBitCount(), bitmap.GetPixelFormat(),
                         hasAlpha))
      return;
  }
  CopyInto(image->Mapped, image, bitmap);
}

void TIEVirtualImageList::Delete(TIEVirtualImage* image) {
  Guard guard(lock_);
  if (!image || IndexOf(image) < 0) return;
  if (image->Size > 0) freeBlocks_.push_back(TFreeBlock{image->Offset, image->Size});
  FreeImage(image, true);
  if (!images_.empty()) return;
  growth_.Capacity = growth_.GrowStep;
  growth_.DataEnd = 0;
  PrepareFile();
}

TIEVirtualImage* TIEVirtualImageList::GetImage(int32_t index) {
  Guard guard(lock_);
  if (index < 0 || index >= static_cast<int32_t>(images_.size())) return nullptr;
  return images_[static_cast<size_t>(index)].get();
}

int32_t TIEVirtualImageList::IndexOf(const TIEVirtualImage* image) {
  Guard guard(lock_);
  for (size_t i = 0; i < images_.size(); ++i)
    if (images_[i].get() == image) return static_cast<int32_t>(i);
  return -1;
}

int32_t TIEVirtualImageList::ImageCount() {
  Guard guard(lock_);
  return static_cast<int32_t>(images_.size());
}

// ---- lending ---------------------------------------------------------------------------

TIEVirtualImageList::TLentBitmap* TIEVirtualImageList::FindLent(const TIEVirtualImage* image) {
  for (auto& entry : lentBitmaps_)
    if (entry->Image == image) return entry.get();
  return nullptr;
}

TIEVirtualImageList::TLentBitmap* TIEVirtualImageList::FindLent(const TIEBitmap* bitmap) {
  for (auto& entry : lentBitmaps_)
    if (entry->Bitmap.get() == bitmap) return entry.get();
  return nullptr;
}

void TIEVirtualImageList::DropLentEntry(TLentBitmap* entry) {
  if (entry->Image) entry->Image->Lent = false;
  lentBitmaps_.erase(std::find_if(lentBitmaps_.begin(), lentBitmaps_.end(),
                                  [&](const auto& held) { return held.get() == entry; }));
}

TIEBitmap* TIEVirtualImageList::GetBitmap(TIEVirtualImage* image) {
  Guard guard(lock_);
  if (!image) return nullptr;
  if (TLentBitmap* lent = FindLent(image)) {
    ++lent->Count;
    return lent->Bitmap.get();
  }
  if (!MapImage(image, iemRead)) return nullptr;
  auto bitmap = std::make_unique<TIEBitmap>();
  ReadBitmap(image, *bitmap);
  lentBitmaps_.push_back(std::make_unique<TLentBitmap>(TLentBitmap{image, std::move(bitmap), 1}));
  image->Lent = true;
  return lentBitmaps_.back()->Bitmap.get();
}

void TIEVirtualImageList::ReleaseBitmap(TIEBitmap* bitmap, bool saveChanges) {
  if (!bitmap) return;
  Guard guard(lock_);
  TLentBitmap* entry = FindLent(bitmap);
  if (!entry) return;
  if (bitmap->Location() == ieTBitmap) bitmap->SyncWithTBitmap();
  --entry->Count;
  if (saveChanges && entry->Image) WriteBitmap(entry->Image, *bitmap);
  if (entry->Count <= 0) DropLentEntry(entry);
}

void TIEVirtualImageList::ReleaseImageBitmap(TIEVirtualImage* image, bool saveChanges) {
  Guard guard(lock_);
  if (TLentBitmap* entry = image ? FindLent(image) : nullptr) ReleaseBitmap(entry->Bitmap.get(), saveChanges);
}

int32_t TIEVirtualImageList::GetImageWidth(TIEVirtualImage* image) {
  Guard guard(lock_);
  TLentBitmap* lent = FindLent(image);
  return lent ? lent->Bitmap->GetWidth() : image->Width;
}

int32_t TIEVirtualImageList::GetImageHeight(TIEVirtualImage* image) {
  Guard guard(lock_);
  TLentBitmap* lent = FindLent(image);
  return lent ? lent->Bitmap->GetHeight() : image->Height;
}

int32_t TIEVirtualImageList::GetImageBitCount(TIEVirtualImage* image) {
  Guard guard(lock_);
  TLentBitmap* lent = FindLent(image);
  return lent ? lent->Bitmap->GetBitCount() : image->BitCount;
}

TIEPixelFormat TIEVirtualImageList::GetImagePixelFormat(TIEVirtualImage* image) {
  Guard guard(lock_);
  TLentBitmap* lent = FindLent(image);
  return lent ? lent->Bitmap->GetPixelFormat() : image->PixelFormat;
}

uint8_t* TIEVirtualImageList::GetImageBits(TIEVirtualImage* image) {
  Guard guard(lock_);
  if (TLentBitmap* lent = FindLent(image)) {
    TIEBitmap& bitmap = *lent->Bitmap;
    return bitmap.GetHeight() > 0 ? bitmap.GetScanline(bitmap.GetHeight() - 1) : nullptr;
  }
  return MapImage(image, iemRead);
}

TRGB* TIEVirtualImageList::GetImagePalette(TIEVirtualImage* image) {
  Guard guard(lock_);
  if (TLentBitmap* lent = FindLent(image)) return lent->Bitmap->GetPaletteBuffer();
  if (image->PixelFormat != ie8p) return nullptr;
  uint8_t* block = MapImage(image, iemRead);
  return block ? reinterpret_cast<TRGB*>(block + PaletteOffset(*image)) : nullptr;
}

uint8_t* TIEVirtualImageList::GetImageAlphaBits(TIEVirtualImage* image) {
  Guard guard(lock_);
  if (!image->HasAlpha) return nullptr;
  if (TLentBitmap* lent = FindLent(image)) {
    TIEBitmap* alpha = lent->Bitmap->PeekAlphaChannel();
    return alpha && alpha->GetHeight() > 0 ? alpha->GetScanline(alpha->GetHeight() - 1) : nullptr;
  }
  uint8_t* block = MapImage(image, iemRead);
  if (!block) return nullptr;
  uint8_t* flag = block + AlphaFlagOffset(*image);
  return *flag == 0 ? flag + 1 : nullptr;
}

// ---- stream ----------------------------------------------------------------------------

void TIEVirtualImageList::SaveToStream(TStream& stream) {
  Guard guard(lock_);
  UnmapAllImages();
  const int32_t magicLength = kMagicLength;
  stream.WriteBuffer(&magicLength, 4);
  stream.WriteBuffer(kMagic, kMagicLength);
  stream.WriteBuffer(&IEVirtualImageListVersion, 1);
  const int32_t count = static_cast<int32_t>(images_.size());
  stream.WriteBuffer(&count, 4);
  uint8_t record[IEVirtualImageRecordSize];
  for (const auto& image : images_) {
    EncodeRecord(*image, record);
    stream.WriteBuffer(record, IEVirtualImageRecordSize);
  }
  for (const auto& image : images_)
    if (image->Size > 0) fileBuffer_->CopyToStream(stream, image->Size, image->Offset);
}

bool TIEVirtualImageList::ReadRecords(TStream& stream, std::vector<std::unique_ptr<TIEVirtualImage>>& records,
                                      int64_t& total) {
  int32_t count = 0;
  if (!ReadExactly(stream, &count, 4)) return false;
  if (count <= 0) return true;
  int64_t left = stream.Size() - stream.Position();
  if (int64_t{count} * IEVirtualImageRecordSize > left) return false;
  left -= int64_t{count} * IEVirtualImageRecordSize;
  records.reserve(static_cast<size_t>(count));
  uint8_t record[IEVirtualImageRecordSize];
  total = 0;
  for (int32_t i = 0; i < count; ++i) {
    if (!ReadExactly(stream, record, IEVirtualImageRecordSize)) return false;
    std::unique_ptr<TIEVirtualImage> image = DecodeRecord(record);
    if (!image || image->Size > left - total) return false;
    image->Offset = total;
    total += image->Size;
    records.push_back(std::move(image));
  }
  return true;
}

bool TIEVirtualImageList::LoadFromStream(TStream& stream) {
  Guard guard(lock_);
  int32_t magicLength = 0;
  char magic[kMagicLength];
  uint8_t version = 0;
  if (!ReadExactly(stream, &magicLength, 4) || magicLength != kMagicLength) return false;
  if (!ReadExactly(stream, magic, kMagicLength) || std::memcmp(magic, kMagic, kMagicLength) != 0) return false;
  if (!ReadExactly(stream, &version, 1) || version < 1 || version > kLastKnownVersion) return false;
  std::vector<std::unique_ptr<TIEVirtualImage>> records;
  int64_t total = 0;
  if (!ReadRecords(stream, records, total)) return false;
  if (records.empty()) return true;

  FreeStorage();
  InitStorage();
  try {
    growth_.Capacity = total + 1;
    PrepareFile();
    if (fileBuffer_->CopyFromStream(stream, total, 0) != total) throw EReadError("Stream read error");
  } catch (const Exception&) {
    FreeStorage();
    InitStorage();
    return false;
  }
  images_ = std::move(records);
  growth_.DataEnd = total;
  return true;
}
