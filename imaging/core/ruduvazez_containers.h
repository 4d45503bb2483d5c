// Small building blocks of the image library: a hash set of 32-bit values,
// a growable byte buffer, a stream that stores nothing, growable arrays of
// fixed-size items, the scroll-bar and mouse-wheel parameters of the views,
// and the length-prefixed strings of the library's stream formats.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"

class TStrings;

// ---- THash1 ---------------------------------------------------------------------------

// A set of 32-bit values in 2^Bits buckets chosen by the low bits; Count is
// the number of distinct values inserted.
class THash1 : public TObject {
public:
  explicit THash1(int32_t bits);

  uint32_t BucketOf(uint32_t value) const { return value & (BucketCount() - 1); }
  uint32_t BucketCount() const { return uint32_t{1} << bits_; }
  int32_t Count() const { return count_; }
  // True, and Count one higher, when the value was not yet present.
  bool Insert(uint32_t value);

private:
  struct TItem {
    uint32_t value;
    uint32_t extra;
  };
  int32_t bits_;
  int32_t count_ = 0;
  // Per bucket: empty, one value, or a chain of values.
  std::vector<std::vector<TItem>> buckets_;
};

// ---- TIEByteArray ------------------------------------------------------------------------

// A byte buffer that grows by BlockSize bytes beyond what is asked.
class TIEByteArray : public TObject {
public:
  explicit TIEByteArray(int32_t blockSize);

  int32_t Size() const { return size_; }
  int32_t Capacity() const { return capacity_; }
  int32_t BlockSize() const { return blockSize_; }
  uint8_t* Data() { return data_.get(); }
  const uint8_t* Data() const { return data_.get(); }

  void AddByte(uint8_t value);
  // Keeps the first min(Size, newSize) bytes; reallocates to newSize +
  // BlockSize when growing past Capacity or shrinking below Capacity - BlockSize.
  void SetSize(int32_t newSize);
  // Appends up to count bytes read from the stream; returns the bytes read.
  int32_t AppendFromStream(TStream& stream, int32_t count);

private:
  void Reallocate(int32_t capacity);

  int32_t size_ = 0;
  int32_t capacity_ = 0;
  int32_t blockSize_;
  std::unique_ptr<uint8_t[]> data_;
};

// ---- TNulStream ---------------------------------------------------------------------------

// Stores nothing, counts everything: measures what a writer would produce.
// Reads leave the buffer untouched.
class TNulStream : public TStream {
public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  // From the end, the offset counts backwards.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return size_; }

private:
  void Advance(int64_t position);

  int64_t position_ = 0;
  int64_t size_ = 0;
};

// ---- TIEList -----------------------------------------------------------------------------

// A growable array of items of ItemSize bytes.
class TIEList : public TObject {
public:
  ~TIEList() override = default;

  int32_t Count() const { return count_; }
  int32_t Capacity() const { return capacity_; }
  int32_t ItemSize() const { return itemSize_; }
  // Changed since the owner last looked (bit 0 of the flags).
  bool Changed() const { return (flags_ & 1) != 0; }
  void SetChanged(bool changed) { flags_ = changed ? (flags_ | 1) : (flags_ & ~1); }

  // Grows the block (to max(2 x Capacity, newCount)) when needed.
  virtual void SetCount(int32_t newCount);
  // Appends a copy of ItemSize bytes; the new item's index.
  int32_t AddItem(const void* item);
  // No range check.
  void* GetItemPtr(int32_t index) { return data_.get() + int64_t{index} * itemSize_; }
  const void* GetItemPtr(int32_t index) const { return data_.get() + int64_t{index} * itemSize_; }
  // Ignored for an index outside the list.
  virtual void Delete(int32_t index);
  // No items, no block, flags 0.
  virtual void Clear();
  // Count, item size, flags and the items; the block holds exactly Count items.
  virtual void Assign(const TIEList* source);

protected:
  explicit TIEList(int32_t itemSize) : itemSize_(itemSize) {}
  void SetItemSize(int32_t itemSize) { itemSize_ = itemSize; }

private:
  int32_t capacity_ = 0;
  int32_t count_ = 0;
  int32_t itemSize_;
  std::unique_ptr<uint8_t[]> data_;
  uint8_t flags_ = 0;
};

// Items of a number type, with four values of that type kept for the owner
// (the TWAIN capability parameters).
template <class T>
class TIEValueList : public TIEList {
public:
  TIEValueList() : TIEList(sizeof(T)) {}
  T& operator[](int32_t index) { return *static_cast<T*>(GetItemPtr(index)); }
  int32_t Add(T value) { return AddItem(&value); }
  void Clear() override {
    TIEList::Clear();
    SetItemSize(sizeof(T));
    std::fill(std::begin(Values), std::end(Values), T{});
  }
  void Assign(const TIEList* source) override {
    TIEList::Assign(source);
    if (const auto* list = dynamic_cast<const TIEValueList*>(source))
      std::copy(std::begin(list->Values), std::end(list->Values), Values);
  }

  T Values[4] = {};
};
using TIEDoubleList = TIEValueList<double>;
using TIEIntegerList = TIEValueList<int32_t>;

// Records of a size given at creation.
class TIERecordList : public TIEList {
public:
  explicit TIERecordList(int32_t recordSize) : TIEList(recordSize) {}
  void* GetRecord(int32_t index) { return GetItemPtr(index); }
  int32_t AddRecord(const void* record) { return AddItem(record); }
};

// ---- view parameters ------------------------------------------------------------------------

// One scroll bar of the image view: -1 steps mean one displayed unit (line)
// or the client size (page); without Tracking the view scrolls when the
// thumb is released.
class TIEScrollBarParams : public TObject {
public:
  int32_t LineStep = -1;
  int32_t PageStep = -1;
  bool Tracking = true;
};

// The mouse wheel of a view. Action: 0 none, 1 scroll, 2 zoom. StepKind:
// 0 a fixed number of percent points, 1 relative to the zoom.
class TIEMouseWheelParams : public TObject {
public:
  explicit TIEMouseWheelParams(uint8_t action) : Action(action) {}
  TIEMouseWheelParams& Assign(const TIEMouseWheelParams& source);

  bool InvertDirection = false;
  uint8_t Action;
  uint8_t StepKind = 1;
  int32_t Step = 8;
  bool ZoomAtCursor = false;
};

// ---- stream strings -------------------------------------------------------------------------

// int32 length in bytes, then the bytes.
void IESaveAnsiStringToStream(TStream& stream, const std::string& text);
// int32 length in UTF-16 code units, then the UTF-16LE text (given and read as UTF-8).
void IESaveWideStringToStream(TStream& stream, const std::string& text);
// int32 count, then each string as IESaveAnsiStringToStream.
void IESaveStringListToStream(TStream& stream, const TStrings& list);
// The readers raise EReadError for a negative length or one beyond the
// stream's end, and when the stream ends early.
void IELoadAnsiStringFromStream(TStream& stream, std::string& text);
void IELoadWideStringFromStream(TStream& stream, std::string& text);
void IELoadStringListFromStream(TStream& stream, TStrings& list);

// A signed 32-bit little-endian number; the reader raises EReadError at the end.
void IEWriteInt32LE(TStream& stream, int32_t value);
int32_t IEReadInt32LE(TStream& stream);
// A 32-bit little-endian length read from the stream and checked against
// what remains of it, each unit unitSize bytes: EReadError when negative or
// beyond the end.
int32_t IEReadStreamLength(TStream& stream, int32_t unitSize);
