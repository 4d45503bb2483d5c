// The one handle table of the kernel objects (processes, mutexes, events),
// shared by the units that create them.
#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "platform/win/wintypes.h"

using WaitDeadline = std::optional<std::chrono::steady_clock::time_point>;

// The deadline of a wait of `milliseconds` from now; none for INFINITE.
WaitDeadline DeadlineAfter(DWORD milliseconds);

class KernelObject {
public:
  virtual ~KernelObject() = default;
  // Blocks until the object is signalled or the deadline passes; answers
  // WAIT_OBJECT_0, WAIT_ABANDONED or WAIT_TIMEOUT.
  virtual DWORD Wait(WaitDeadline deadline) = 0;
};

// Registers the object and answers a new handle to it.
HANDLE AddKernelHandle(std::shared_ptr<KernelObject> object);
// The object behind a handle; null for an unknown or closed one.
std::shared_ptr<KernelObject> FindKernelObject(HANDLE handle);

template <class T>
std::shared_ptr<T> FindKernelObjectAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindKernelObject(handle));
}
