// Building blocks for objects that implement COM interfaces: a thread-safe
// reference count and QueryInterface over a fixed list of IIDs.
#pragma once

#include <atomic>

#include "platform/win/unknwn.h"

// An object implementing interface I (and the interfaces I derives from,
// named by their IIDs). Starts with one reference, owned by its creator;
// deletes itself when the count reaches zero.
template <typename I, const IID&... Ids>
class ComObject : public I {
public:
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || ((riid == Ids) || ...)) {
      *object = static_cast<I*>(this);
      this->AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

protected:
  ComObject() = default;
  ~ComObject() override = default;

private:
  std::atomic<ULONG> refs_{1};
};

// Makes a new object and hands out its first reference.
template <typename T, typename... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>::Attach(new T(std::forward<Args>(args)...));
}
