// Libraries loaded on first use.
#include "platform/rtl/ondemand.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const std::string& library, const std::string& what) {
  std::fprintf(stderr, "%s: %s\n", library.c_str(), what.c_str());
  std::abort();
}

}  // namespace

void TOnDemandLibraries::LoadLocked() {
  if (state_.load(std::memory_order_relaxed) != kUntried) return;
  std::vector<void*> handles;
  for (const char* name : names_) {
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* text = dlerror();
      error_ = text ? text : std::string(name) + ": cannot be loaded";
      for (void* loaded : handles) dlclose(loaded);
      state_.store(kMissing, std::memory_order_release);
      return;
    }
    handles.push_back(handle);
  }
  handles_ = std::move(handles);
  state_.store(kLoaded, std::memory_order_release);
}

bool TOnDemandLibraries::Available() {
  if (state_.load(std::memory_order_acquire) == kUntried) {
    std::lock_guard<std::mutex> guard(lock_);
    LoadLocked();
  }
  return Loaded();
}

std::string TOnDemandLibraries::Error() {
  std::lock_guard<std::mutex> guard(lock_);
  return error_;
}

void* TOnDemandLibraries::Symbol(const char* name) {
  if (!Available()) Fail(names_.empty() ? "" : names_.front(), Error());
  for (void* handle : handles_)
    if (void* address = dlsym(handle, name)) return address;
  Fail(names_.empty() ? "" : names_.front(), name);
}

std::vector<const char*> TOnDemandLibraries::RenameForTest(std::vector<const char*> names) {
  std::lock_guard<std::mutex> guard(lock_);
  std::swap(names_, names);
  handles_.clear();
  error_.clear();
  state_.store(kUntried, std::memory_order_release);
  return names;
}
