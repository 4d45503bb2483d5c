#include "platform/win/com.h"

#include "platform/win/wincodec.h"

#include <cstdlib>
#include <mutex>
#include <random>
#include <vector>

namespace {

// --- Initialisation counts, per thread ---

struct ThreadInit {
  int com = 0;
  int ole = 0;
};
thread_local ThreadInit threadInit;

HRESULT countUp(int& count) { return count++ == 0 ? S_OK : S_FALSE; }
void countDown(int& count) {
  if (count > 0) --count;
}

// --- Class registry ---

struct Registration {
  DWORD cookie;
  CLSID clsid;
  ComPtr<IUnknown> factory;
};

struct ClassRegistry {
  std::mutex lock;
  std::vector<Registration> entries;  // newest last
  DWORD nextCookie = 1;
};

ClassRegistry& classes() {
  static ClassRegistry registry;
  return registry;
}

ComPtr<IUnknown> factoryOf(REFCLSID clsid) {
  ClassRegistry& r = classes();
  std::lock_guard<std::mutex> guard(r.lock);
  for (auto it = r.entries.rbegin(); it != r.entries.rend(); ++it)
    if (it->clsid == clsid) return it->factory;
  return nullptr;
}

}  // namespace

// The in-process servers built into the layer join the class registry with
// the first initialisation.
HRESULT CoInitialize(void*) {
  WICRegisterImagingComponent();
  return countUp(threadInit.com);
}
void CoUninitialize() { countDown(threadInit.com); }
bool CoIsInitialized() { return threadInit.com > 0 || threadInit.ole > 0; }

HRESULT OleInitialize(void*) {
  WICRegisterImagingComponent();
  return countUp(threadInit.ole);
}
void OleUninitialize() { countDown(threadInit.ole); }
bool OleIsInitialized() { return threadInit.ole > 0; }

HRESULT CoRegisterClassObject(REFCLSID clsid, IUnknown* factory, DWORD, DWORD, DWORD* cookie) {
  if (!factory || !cookie) return E_INVALIDARG;
  ClassRegistry& r = classes();
  std::lock_guard<std::mutex> guard(r.lock);
  *cookie = r.nextCookie++;
  r.entries.push_back({*cookie, clsid, ComPtr<IUnknown>(factory)});
  return S_OK;
}

HRESULT CoRevokeClassObject(DWORD cookie) {
  ComPtr<IUnknown> released;  // let go after the lock: the factory's destructor may call back
  ClassRegistry& r = classes();
  std::lock_guard<std::mutex> guard(r.lock);
  for (auto it = r.entries.begin(); it != r.entries.end(); ++it) {
    if (it->cookie == cookie) {
      released = std::move(it->factory);
      r.entries.erase(it);
      return S_OK;
    }
  }
  return CO_E_OBJNOTREG;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!CoIsInitialized()) return CO_E_NOTINITIALIZED;
  if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
  ComPtr<IUnknown> unknown = factoryOf(clsid);
  if (!unknown) return REGDB_E_CLASSNOTREG;
  ComPtr<IClassFactory> factory;
  HRESULT hr = unknown->QueryInterface(IID_IClassFactory, reinterpret_cast<void**>(factory.GetAddressOf()));
  if (FAILED(hr)) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->CreateInstance(outer, riid, object);
}

void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void* CoTaskMemRealloc(void* block, size_t bytes) { return std::realloc(block, bytes ? bytes : 1); }
void CoTaskMemFree(void* block) { std::free(block); }

HRESULT CoCreateGuid(GUID* guid) {
  if (!guid) return E_INVALIDARG;
  static std::mutex lock;
  static std::mt19937_64 engine{std::random_device{}()};
  uint64_t hi, lo;
  {
    std::lock_guard<std::mutex> guard(lock);
    hi = engine();
    lo = engine();
  }
  guid->Data1 = static_cast<uint32_t>(hi >> 32);
  guid->Data2 = static_cast<uint16_t>(hi >> 16);
  guid->Data3 = static_cast<uint16_t>((hi & 0x0FFF) | 0x4000);  // version 4
  for (int i = 0; i < 8; ++i) guid->Data4[i] = static_cast<uint8_t>(lo >> (56 - 8 * i));
  guid->Data4[0] = static_cast<uint8_t>((guid->Data4[0] & 0x3F) | 0x80);  // RFC 4122 variant
  return S_OK;
}

// The stream carries the interface pointer; the reference it holds passes
// to whoever unpacks it.
HRESULT CoMarshalInterThreadInterfaceInStream(REFIID riid, IUnknown* object, IStream** stream) {
  if (!stream) return E_POINTER;
  *stream = nullptr;
  if (!object) return E_INVALIDARG;
  void* itf = nullptr;
  HRESULT hr = object->QueryInterface(riid, &itf);
  if (FAILED(hr)) return hr;
  ComPtr<IStream> s;
  hr = CreateStreamOnHGlobal(nullptr, TRUE, s.GetAddressOf());
  if (SUCCEEDED(hr)) hr = s->Write(&itf, sizeof itf, nullptr);
  if (FAILED(hr)) {
    static_cast<IUnknown*>(itf)->Release();
    return hr;
  }
  s->Seek(0, STREAM_SEEK_SET, nullptr);
  *stream = s.Detach();
  return S_OK;
}

HRESULT CoGetInterfaceAndReleaseStream(IStream* stream, REFIID riid, void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (!stream) return E_INVALIDARG;
  ComPtr<IStream> s = ComPtr<IStream>::Attach(stream);
  void* itf = nullptr;
  ULONG read = 0;
  if (FAILED(s->Read(&itf, sizeof itf, &read)) || read != sizeof itf || !itf) return E_INVALIDARG;
  ComPtr<IUnknown> packed = ComPtr<IUnknown>::Attach(static_cast<IUnknown*>(itf));
  return packed->QueryInterface(riid, object);
}
