// IStream over a global memory block.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/win/com.h"
#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"

namespace {

constexpr uint64_t kMaxStreamSize = uint64_t{1} << 32;  // 4 GiB

// The block and the stream's size, shared by a stream and its clones. The
// block may be larger than the stream: it grows geometrically.
class HGlobalStore {
public:
  HGlobalStore(HGLOBAL block, bool deleteOnRelease)
      : block_(block), size_(GlobalSize(block)), deleteOnRelease_(deleteOnRelease) {}
  ~HGlobalStore() {
    if (deleteOnRelease_) GlobalFree(block_);
  }
  HGlobalStore(const HGlobalStore&) = delete;
  HGlobalStore& operator=(const HGlobalStore&) = delete;

  uint64_t Size() {
    std::lock_guard<std::mutex> guard(lock_);
    return size_;
  }

  // Copies up to `count` bytes from `offset`; the number copied.
  ULONG Read(uint64_t offset, void* buffer, ULONG count) {
    std::lock_guard<std::mutex> guard(lock_);
    if (offset >= size_) return 0;
    ULONG n = static_cast<ULONG>(std::min<uint64_t>(count, size_ - offset));
    auto* data = static_cast<unsigned char*>(GlobalLock(block_));
    std::memcpy(buffer, data + offset, n);
    GlobalUnlock(block_);
    return n;
  }

  HRESULT Write(uint64_t offset, const void* buffer, ULONG count) {
    std::lock_guard<std::mutex> guard(lock_);
    if (count == 0) return S_OK;
    uint64_t end = offset + count;
    if (end > size_) {
      HRESULT hr = resize(end);
      if (FAILED(hr)) return hr;
    }
    auto* data = static_cast<unsigned char*>(GlobalLock(block_));
    std::memcpy(data + offset, buffer, count);
    GlobalUnlock(block_);
    return S_OK;
  }

  HRESULT SetSize(uint64_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    return resize(size);
  }

  // The block, cut to the stream's size.
  HRESULT Block(HGLOBAL* block) {
    std::lock_guard<std::mutex> guard(lock_);
    if (GlobalSize(block_) != size_) {
      HGLOBAL cut = GlobalReAlloc(block_, static_cast<size_t>(size_), GMEM_MOVEABLE);
      if (!cut) return E_OUTOFMEMORY;
      block_ = cut;
    }
    *block = block_;
    return S_OK;
  }

private:
  // Sets the stream's size; bytes between the old and the new end read as zero.
  HRESULT resize(uint64_t size) {
    if (size > kMaxStreamSize) return STG_E_MEDIUMFULL;
    size_t capacity = GlobalSize(block_);
    if (size > capacity) {
      size_t wanted = std::max<size_t>(static_cast<size_t>(size), std::min<size_t>(capacity * 2, kMaxStreamSize));
      HGLOBAL grown = GlobalReAlloc(block_, wanted, GMEM_MOVEABLE);
      if (!grown) return STG_E_MEDIUMFULL;
      block_ = grown;
      capacity = wanted;
    }
    if (size > size_) {
      auto* data = static_cast<unsigned char*>(GlobalLock(block_));
      std::memset(data + size_, 0, static_cast<size_t>(std::min<uint64_t>(size, capacity) - size_));
      GlobalUnlock(block_);
    }
    size_ = size;
    return S_OK;
  }

  std::mutex lock_;
  HGLOBAL block_;
  uint64_t size_;
  bool deleteOnRelease_;
};

class HGlobalStream final : public ComObject<IStream, IID_ISequentialStream, IID_IStream> {
public:
  HGlobalStream(std::shared_ptr<HGlobalStore> store, uint64_t position)
      : store_(std::move(store)), position_(position) {}

  HRESULT Read(void* buffer, ULONG count, ULONG* read) override {
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    ULONG n = store_->Read(position_, buffer, count);
    position_ += n;
    if (read) *read = n;
    return S_OK;
  }

  HRESULT Write(const void* buffer, ULONG count, ULONG* written) override {
    if (written) *written = 0;
    if (!buffer && count) return STG_E_INVALIDPOINTER;
    HRESULT hr = store_->Write(position_, buffer, count);
    if (FAILED(hr)) return hr;
    position_ += count;
    if (written) *written = count;
    return S_OK;
  }

  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override {
    int64_t base;
    switch (origin) {
      case STREAM_SEEK_SET: base = 0; break;
      case STREAM_SEEK_CUR: base = static_cast<int64_t>(position_); break;
      case STREAM_SEEK_END: base = static_cast<int64_t>(store_->Size()); break;
      default: return STG_E_INVALIDFUNCTION;
    }
    int64_t target;
    if (__builtin_add_overflow(base, move, &target) || target < 0 || static_cast<uint64_t>(target) > kMaxStreamSize)
      return STG_E_INVALIDFUNCTION;
    position_ = static_cast<uint64_t>(target);
    if (newPosition) *newPosition = position_;
    return S_OK;
  }

  HRESULT SetSize(uint64_t newSize) override { return store_->SetSize(newSize); }

  HRESULT CopyTo(IStream* target, uint64_t count, uint64_t* read, uint64_t* written) override {
    if (!target) return STG_E_INVALIDPOINTER;
    uint64_t totalRead = 0, totalWritten = 0;
    HRESULT hr = S_OK;
    unsigned char chunk[16384];
    while (totalRead < count) {
      ULONG want = static_cast<ULONG>(std::min<uint64_t>(sizeof chunk, count - totalRead));
      ULONG got = 0, put = 0;
      Read(chunk, want, &got);
      if (got == 0) break;
      totalRead += got;
      hr = target->Write(chunk, got, &put);
      totalWritten += put;
      if (FAILED(hr) || put != got) break;
    }
    if (read) *read = totalRead;
    if (written) *written = totalWritten;
    return hr;
  }

  HRESULT Commit(DWORD) override { return S_OK; }
  HRESULT Revert() override { return S_OK; }
  HRESULT LockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }
  HRESULT UnlockRegion(uint64_t, uint64_t, DWORD) override { return STG_E_INVALIDFUNCTION; }

  HRESULT Stat(STATSTG* stat, DWORD) override {
    if (!stat) return STG_E_INVALIDPOINTER;
    *stat = STATSTG{};  // nameless: nothing to allocate
    stat->type = STGTY_STREAM;
    stat->cbSize = store_->Size();
    return S_OK;
  }

  HRESULT Clone(IStream** clone) override {
    if (!clone) return STG_E_INVALIDPOINTER;
    *clone = new HGlobalStream(store_, position_);
    return S_OK;
  }

  HGlobalStore& Store() { return *store_; }

private:
  std::shared_ptr<HGlobalStore> store_;
  uint64_t position_;
};

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream) {
  if (!stream) return E_INVALIDARG;
  *stream = nullptr;
  if (!block) {
    block = GlobalAlloc(GMEM_MOVEABLE, 0);
    if (!block) return E_OUTOFMEMORY;
  } else if (!GlobalLock(block)) {
    return E_INVALIDARG;  // not a live block
  } else {
    GlobalUnlock(block);
  }
  *stream = new HGlobalStream(std::make_shared<HGlobalStore>(block, deleteOnRelease != FALSE), 0);
  return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* block) {
  if (!block) return E_INVALIDARG;
  *block = nullptr;
  auto* own = dynamic_cast<HGlobalStream*>(stream);
  if (!own) return E_INVALIDARG;
  return own->Store().Block(block);
}
