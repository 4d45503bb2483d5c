// Libraries loaded on first use.
#include "platform/rtl/ondemand.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* library, const char* what) {
  std::fprintf(stderr, "%s: %s\n", library, what);
  std::abort();
}

}  // namespace

void TOnDemandLibraries::Load() {
  for (const char* name : names_) {
    void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
    if (!handle) Fail(name, dlerror());
    handles_.push_back(handle);
  }
  loaded_.store(true, std::memory_order_release);
}

void* TOnDemandLibraries::Symbol(const char* name) {
  std::call_once(once_, [this] { Load(); });
  for (void* handle : handles_)
    if (void* address = dlsym(handle, name)) return address;
  Fail(names_.empty() ? "" : names_.front(), name);
}
