// The virtual image list: many images of any size in one temporary file (or
// one memory stream), each a contiguous block, a few blocks held in memory at
// a time (least recently used out), images lent as counted TIEBitmaps and
// written back on release; saved to and loaded from a stream.
//
// Sections: records | placement | list
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"

// ---- records -------------------------------------------------------------------------

// One stored image: where its block lies and what it holds.
struct TIEVirtualImage {
  int64_t Offset = 0;
  int64_t Size = 0;
  uint8_t* Mapped = nullptr;
  bool Lent = false;
  int32_t OrigWidth = 0;
  int32_t OrigHeight = 0;
  bool HasAlpha = false;
  uint8_t Access = 0;  // iemRead, iemWrite or iemReadWrite while mapped
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t BitCount = 0;
  TIEPixelFormat PixelFormat = ieNoFormat;
};

// Bytes of the block of an image: the rows (32-bit aligned), the 768-byte
// palette of ie8p, and with alpha one flag byte and the 8-bit alpha rows.
// -1 when the geometry is negative or its size cannot be represented.
int64_t IEVirtualImageBlockSize(int32_t width, int32_t height, int32_t bitCount, TIEPixelFormat format, bool hasAlpha);

// The stream's record of one image, 56 bytes.
constexpr int32_t IEVirtualImageRecordSize = 56;
constexpr uint8_t IEVirtualImageListVersion = 1;

// ---- placement -------------------------------------------------------------------------

// The end of the file and how it grows, in 64 bits throughout.
struct TIEVirtualListGrowth {
  int64_t Capacity;
  int64_t DataEnd;
  int64_t GrowStep;
  int64_t LastBlockSize;
};
// Places a block of size bytes at the data end: a block larger than the step
// makes the step size + the last block's size; the capacity grows by the step
// until the block fits. Returns true when the capacity changed.
bool IEPlaceAtDataEnd(TIEVirtualListGrowth& growth, int64_t size);

// ---- list ------------------------------------------------------------------------------

class TIEVirtualImageList {
public:
  // namePrefix names the temporary file; useFile false keeps the data in memory.
  TIEVirtualImageList(const std::string& namePrefix, bool useFile);
  ~TIEVirtualImageList();
  TIEVirtualImageList(const TIEVirtualImageList&) = delete;
  TIEVirtualImageList& operator=(const TIEVirtualImageList&) = delete;

  // A copy of the bitmap (alpha only from a TIEBitmap that has one); null
  // when no block could be had.
  TIEVirtualImage* AddBitmap(TIEBaseBitmap& bitmap);
  // An image of that geometry with an empty block, mapped for writing.
  TIEVirtualImage* NewImage(int32_t width, int32_t height, bool hasAlpha, TIEPixelFormat format, int32_t bitCount);
  // Fills the bitmap from the image (geometry, rows, palette, alpha).
  void ReadBitmap(TIEVirtualImage* image, TIEBitmap& bitmap);
  // Stores the bitmap into the image, moving it to a new block when its
  // geometry differs.
  void WriteBitmap(TIEVirtualImage* image, TIEBaseBitmap& bitmap);

  // The image as a bitmap lent with a count: the same bitmap for every
  // borrower until the last ReleaseBitmap. Null when the block is unreadable.
  TIEBitmap* GetBitmap(TIEVirtualImage* image);
  // Returns a lent bitmap (written back first with saveChanges); a bitmap
  // this list did not lend is ignored.
  void ReleaseBitmap(TIEBitmap* bitmap, bool saveChanges);
  void ReleaseImageBitmap(TIEVirtualImage* image, bool saveChanges);

  // Frees the image and offers its block for reuse. A bitmap lent for it
  // stays valid for its borrowers until their last ReleaseBitmap.
  void Delete(TIEVirtualImage* image);

  // Null for an index outside the list.
  TIEVirtualImage* GetImage(int32_t index);
  int32_t IndexOf(const TIEVirtualImage* image);
  int32_t ImageCount();

  // Geometry, from the lent bitmap while one is lent.
  int32_t GetImageWidth(TIEVirtualImage* image);
  int32_t GetImageHeight(TIEVirtualImage* image);
  int32_t GetImageBitCount(TIEVirtualImage* image);
  TIEPixelFormat GetImagePixelFormat(TIEVirtualImage* image);
  // The size of the source picture, kept for the caller.
  int32_t GetOrigWidth(const TIEVirtualImage* image) const { return image->OrigWidth; }
  int32_t GetOrigHeight(const TIEVirtualImage* image) const { return image->OrigHeight; }
  void SetOrigWidth(TIEVirtualImage* image, int32_t value) { image->OrigWidth = value; }
  void SetOrigHeight(TIEVirtualImage* image, int32_t value) { image->OrigHeight = value; }

  // The first stored row, the palette and the alpha rows (null without
  // alpha or for an all-opaque alpha); from the lent bitmap while lent.
  uint8_t* GetImageBits(TIEVirtualImage* image);
  TRGB* GetImagePalette(TIEVirtualImage* image);
  uint8_t* GetImageAlphaBits(TIEVirtualImage* image);

  // Blocks held in memory at once beyond which the least recent is dropped.
  void SetMaxMapped(int32_t value);
  int32_t MappedCount();
  int64_t Capacity();
  int64_t DataEnd();

  // Writes the records and their blocks.
  void SaveToStream(TStream& stream);
  // Replaces the list with the stream's images. False, with the list as it
  // was, for a wrong magic or version and for records that do not agree with
  // their geometry or with the bytes left; a count of 0 changes nothing.
  bool LoadFromStream(TStream& stream);

private:
  struct TFreeBlock {
    int64_t Offset;
    int64_t Size;
  };
  struct TLentBitmap {
    TIEVirtualImage* Image;  // null once the image was deleted
    std::unique_ptr<TIEBitmap> Bitmap;
    int32_t Count;
  };

  void InitStorage();
  void FreeStorage();
  void PrepareFile();
  void FreeAll();
  void FreeImage(TIEVirtualImage* image, bool removeFromList);
  uint8_t* MapImage(TIEVirtualImage* image, uint8_t access);
  void UnmapImage(TIEVirtualImage* image);
  void UnmapAllImages();
  bool AllocImageBlock(TIEVirtualImage* image, int32_t width, int32_t height, int32_t bitCount,
                       TIEPixelFormat format, bool hasAlpha);
  void MergeFreeBlocks();
  void CopyInto(uint8_t* block, TIEVirtualImage* image, TIEBaseBitmap& bitmap);
  TLentBitmap* FindLent(const TIEVirtualImage* image);
  TLentBitmap* FindLent(const TIEBitmap* bitmap);
  void DropLentEntry(TLentBitmap* entry);
  bool ReadRecords(TStream& stream, std::vector<std::unique_ptr<TIEVirtualImage>>& records, int64_t& total);

  std::unique_ptr<TIEFileBuffer> fileBuffer_;
  bool useFile_;
  TIEVirtualListGrowth growth_{};
  std::vector<std::unique_ptr<TIEVirtualImage>> images_;
  std::vector<TIEVirtualImage*> mappedImages_;
  std::vector<TFreeBlock> freeBlocks_;
  int32_t maxMapped_ = 10;
  std::vector<std::unique_ptr<TLentBitmap>> lentBitmaps_;
  std::string namePrefix_;
  std::recursive_mutex lock_;
};
