// Shared libraries that a program loads on its first call into them rather
// than at start-up, so that programs that never need them do not pay for
// mapping and relocating them. The program is compiled against the
// libraries' headers but not linked with them; a call site names the
// function it calls:
//
//   VESK_ON_DEMAND(Crypto(), EVP_md5)()
//
// resolves EVP_md5 in the group Crypto() once, on that site's first call.
// A feature that can fail without its library (a codec, the internet layer)
// asks Available() before its first call and fails on its own path when the
// library cannot be loaded.
#pragma once

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

// A group of libraries loaded together, by the names they carry (their
// sonames), searched in order for a function.
class TOnDemandLibraries {
 public:
  TOnDemandLibraries(std::initializer_list<const char*> names) : names_(names) {}

  // Whether every library of the group can be loaded, trying once: after a
  // failure the group stays unloaded and Error() gives the loader's message.
  bool Available();
  std::string Error();
  // The address of the named function, loading the group on the first call.
  // A program cannot go on without a library it calls: when one is missing
  // or lacks the function, the program ends with the loader's message.
  void* Symbol(const char* name);
  // Whether the group has been loaded into this process.
  bool Loaded() const { return state_.load(std::memory_order_acquire) == kLoaded; }

  // For tests: the group under other names, tried again on its next use; the
  // names it had. Libraries already loaded stay mapped (call sites keep the
  // addresses they resolved); sites not yet resolved look in the new group.
  std::vector<const char*> RenameForTest(std::vector<const char*> names);

 private:
  enum State { kUntried, kLoaded, kMissing };
  void LoadLocked();

  std::vector<const char*> names_;
  std::vector<void*> handles_;
  std::string error_;
  std::mutex lock_;
  std::atomic<int> state_{kUntried};
};

// A call site's pointer to the function `name` of the group `libraries`,
// looked up on the site's first call.
#define VESK_ON_DEMAND(libraries, name) \
  ([] { \
    static const auto function = reinterpret_cast<decltype(&::name)>((libraries).Symbol(#name)); \
    return function; \
  }())
