#include "services/supsynch.h"

namespace {

// The outcome of each platform wait result; any other is woError.
struct WaitMapping {
  DWORD result;
  TWaitOutcome outcome;
};
constexpr WaitMapping WaitMappings[] = {
    {WAIT_OBJECT_0, woSignaled},
    {WAIT_ABANDONED, woAbandoned},
    {WAIT_IO_COMPLETION, woIOCompletion},
    {WAIT_TIMEOUT, woTimeout},
};

}  // namespace

TSupDispatcherObject::~TSupDispatcherObject() {
  if (handle_) CloseHandle(handle_);
}

TWaitOutcome TSupDispatcherObject::WaitSignal(uint32_t timeoutMs) {
  const DWORD result = WaitForSingleObject(handle_, timeoutMs);
  for (const WaitMapping& m : WaitMappings)
    if (m.result == result) return m.outcome;
  return woError;
}

TSupMutex::TSupMutex(const SECURITY_ATTRIBUTES* attributes, bool initialOwner, const std::string& name)
    : TSupDispatcherObject(name) {
  handle_ = CreateMutexA(attributes, initialOwner, name.empty() ? nullptr : name.c_str());
  if (!handle_) throw ESupWin32Error::CreateWithLastError<ESupMutexError>("Failed to create mutex");
  alreadyExisted_ = GetLastError() == ERROR_ALREADY_EXISTS;
}

bool TSupMutex::Unlock() { return ReleaseMutex(handle_); }

HRESULT TSupIntfCriticalSection::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid != IID_IUnknown) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  *object = static_cast<IUnknown*>(this);
  return S_OK;
}

ULONG TSupIntfCriticalSection::AddRef() {
  section_.Enter();
  return 0;
}

ULONG TSupIntfCriticalSection::Release() {
  section_.Leave();
  return 0;
}
