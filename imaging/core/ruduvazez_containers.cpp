// Hash set, byte buffer, null stream, item lists, view parameters and stream strings.
#include "imaging/core/ruduvazez_containers.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/stringlist.h"

// ---- THash1 ---------------------------------------------------------------------------

THash1::THash1(int32_t bits) : bits_(std::clamp(bits, 0, 30)), buckets_(BucketCount()) {}

bool THash1::Insert(uint32_t value) {
  auto& bucket = buckets_[BucketOf(value)];
  for (const TItem& item : bucket)
    if (item.value == value) return false;
  bucket.push_back({value, 0});
  ++count_;
  return true;
}

// ---- TIEByteArray ------------------------------------------------------------------------

TIEByteArray::TIEByteArray(int32_t blockSize) : blockSize_(std::max(blockSize, 0)) { Reallocate(blockSize_); }

void TIEByteArray::Reallocate(int32_t capacity) {
  auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
  if (data_) std::memcpy(block.get(), data_.get(), static_cast<size_t>(std::min(size_, capacity)));
  data_ = std::move(block);
  capacity_ = capacity;
}

void TIEByteArray::SetSize(int32_t newSize) {
  newSize = std::max(newSize, 0);
  if (newSize > capacity_ || newSize < capacity_ - blockSize_)
    Reallocate(static_cast<int32_t>(std::min<int64_t>(int64_t{newSize} + blockSize_, INT32_MAX)));
  size_ = newSize;
}

void TIEByteArray::AddByte(uint8_t value) {
  SetSize(size_ + 1);
  data_[size_ - 1] = value;
}

int32_t TIEByteArray::AppendFromStream(TStream& stream, int32_t count) {
  if (count <= 0) return 0;
  const int32_t start = size_;
  SetSize(start + count);
  const int32_t got = std::max(stream.Read(data_.get() + start, count), 0);
  SetSize(start + got);
  return got;
}

// ---- TNulStream ---------------------------------------------------------------------------

void TNulStream::Advance(int64_t position) {
  position_ = position;
  size_ = std::max(size_, position_);
}

int32_t TNulStream::Read(void*, int32_t count) {
  Advance(position_ + count);
  return count;
}

int32_t TNulStream::Write(const void*, int32_t count) {
  Advance(position_ + count);
  return count;
}

int64_t TNulStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: Advance(offset); break;
    case soCurrent: Advance(position_ + offset); break;
    case soEnd: position_ = size_ - offset; break;
  }
  return position_;
}

// ---- TIEList -----------------------------------------------------------------------------

void TIEList::SetCount(int32_t newCount) {
  newCount = std::max(newCount, 0);
  if (newCount > capacity_) {
    const int32_t capacity = static_cast<int32_t>(std::max<int64_t>(int64_t{capacity_} * 2, newCount));
    auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity) * itemSize_);
    if (data_) std::memcpy(block.get(), data_.get(), static_cast<size_t>(std::min(count_, newCount)) * itemSize_);
    data_ = std::move(block);
    capacity_ = capacity;
  }
  count_ = newCount;
  SetChanged(true);
}

int32_t TIEList::AddItem(const void* item) {
  SetCount(count_ + 1);
  std::memcpy(GetItemPtr(count_ - 1), item, static_cast<size_t>(itemSize_));
  return count_ - 1;
}

void TIEList::Delete(int32_t index) {
  if (index < 0 || index >= count_) return;
  auto block = std::make_unique<uint8_t[]>(static_cast<size_t>(count_ - 1) * itemSize_);
  const size_t before = static_cast<size_t>(index) * itemSize_;
  const size_t after = static_cast<size_t>(count_ - 1 - index) * itemSize_;
  std::memcpy(block.get(), data_.get(), before);
  std::memcpy(block.get() + before, data_.get() + before + itemSize_, after);
  data_ = std::move(block);
  capacity_ = count_ = count_ - 1;
  SetChanged(true);
}

void TIEList::Clear() {
  count_ = capacity_ = 0;
  data_.reset();
  flags_ = 0;
}

void TIEList::Assign(const TIEList* source) {
  if (source == nullptr || source == this) return;
  const size_t bytes = static_cast<size_t>(source->count_) * source->itemSize_;
  auto block = std::make_unique<uint8_t[]>(bytes);
  if (bytes) std::memcpy(block.get(), source->data_.get(), bytes);
  data_ = std::move(block);
  count_ = capacity_ = source->count_;  // the block holds exactly these items
  itemSize_ = source->itemSize_;
  flags_ = source->flags_;
}

TIEMouseWheelParams& TIEMouseWheelParams::Assign(const TIEMouseWheelParams& source) {
  InvertDirection = source.InvertDirection;
  Action = source.Action;
  StepKind = source.StepKind;
  Step = source.Step;
  ZoomAtCursor = source.ZoomAtCursor;
  return *this;
}

// ---- stream strings -------------------------------------------------------------------------

void IEWriteInt32LE(TStream& stream, int32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  stream.WriteBuffer(bytes, 4);
}

int32_t IEReadInt32LE(TStream& stream) {
  uint8_t bytes[4];
  stream.ReadBuffer(bytes, 4);
  return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

int32_t IEReadStreamLength(TStream& stream, int32_t unitSize) {
  const int32_t length = IEReadInt32LE(stream);
  const int64_t left = stream.Size() - stream.Position();
  if (length < 0 || int64_t{length} * unitSize > left) throw EReadError("Stream read error");
  return length;
}

void IESaveAnsiStringToStream(TStream& stream, const std::string& text) {
  IEWriteInt32LE(stream, static_cast<int32_t>(text.size()));
  if (!text.empty()) stream.WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void IELoadAnsiStringFromStream(TStream& stream, std::string& text) {
  text.assign(static_cast<size_t>(IEReadStreamLength(stream, 1)), '\0');
  if (!text.empty()) stream.ReadBuffer(text.data(), static_cast<int32_t>(text.size()));
}

void IESaveWideStringToStream(TStream& stream, const std::string& text) {
  const std::vector<uint8_t> bytes = Utf8ToUtf16LE(text);
  IEWriteInt32LE(stream, static_cast<int32_t>(bytes.size() / 2));
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void IELoadWideStringFromStream(TStream& stream, std::string& text) {
  std::vector<uint8_t> bytes(static_cast<size_t>(IEReadStreamLength(stream, 2)) * 2);
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  text = Utf16LEToUtf8(bytes);
}

void IESaveStringListToStream(TStream& stream, const TStrings& list) {
  IEWriteInt32LE(stream, list.Count());
  for (int32_t i = 0; i < list.Count(); ++i) IESaveAnsiStringToStream(stream, list.Strings(i));
}

void IELoadStringListFromStream(TStream& stream, TStrings& list) {
  list.Clear();
  const int32_t count = IEReadStreamLength(stream, 4);  // every string takes at least its length
  std::string text;
  for (int32_t i = 0; i < count; ++i) {
    IELoadAnsiStringFromStream(stream, text);
    list.Add(text);
  }
}
