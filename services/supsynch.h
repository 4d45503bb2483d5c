// Locks of the support units: a named mutex shared between processes, and two
// recursive in-process locks, one of them held through interface references.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/threads.h"
#include "platform/win/kernel.h"
#include "platform/win/unknwn.h"
#include "services/supwin32.h"

RTL_DECLARE_EXCEPTION(ESupMutexError, ESupWin32Error);

enum TWaitOutcome { woAbandoned, woError, woIOCompletion, woSignaled, woTimeout };

// A waitable kernel object; its handle is closed with the object.
class TSupDispatcherObject {
public:
  virtual ~TSupDispatcherObject();
  TSupDispatcherObject(const TSupDispatcherObject&) = delete;
  TSupDispatcherObject& operator=(const TSupDispatcherObject&) = delete;

  // Waits up to timeoutMs (INFINITE: no limit) for the object.
  TWaitOutcome WaitSignal(uint32_t timeoutMs);
  // An object of the same name existed before this one was created.
  bool AlreadyExisted() const { return alreadyExisted_; }
  HANDLE Handle() const { return handle_; }
  const std::string& Name() const { return name_; }

protected:
  explicit TSupDispatcherObject(std::string name) : name_(std::move(name)) {}
  bool alreadyExisted_ = false;
  HANDLE handle_ = nullptr;

private:
  std::string name_;
};

// A mutex; a named one is shared by every holder of the name in any process.
class TSupMutex : public TSupDispatcherObject {
public:
  // Raises ESupMutexError "Failed to create mutex" with the platform error.
  TSupMutex(const SECURITY_ATTRIBUTES* attributes, bool initialOwner, const std::string& name);
  // Releases one ownership of the calling thread; false when it owns none.
  bool Unlock();
};

// A recursive lock of this process; each Enter needs a Leave.
class TSupCriticalSection {
public:
  void Enter() { section_.Enter(); }
  void Leave() { section_.Leave(); }

private:
  TCriticalSection section_;
};

// A recursive lock held by interface references: taking a reference
// (AddRef, or QueryInterface for IUnknown) enters it, dropping one leaves it.
// It counts no references; its owner deletes it.
class TSupIntfCriticalSection : public IUnknown {
public:
  TSupIntfCriticalSection() = default;
  TSupIntfCriticalSection(const TSupIntfCriticalSection&) = delete;
  TSupIntfCriticalSection& operator=(const TSupIntfCriticalSection&) = delete;
  virtual ~TSupIntfCriticalSection() = default;

  HRESULT QueryInterface(REFIID riid, void** object) override;
  ULONG AddRef() override;
  ULONG Release() override;

private:
  TCriticalSection section_;
};
