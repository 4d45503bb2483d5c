// Shared libraries that a program loads on its first call into them rather
// than at start-up, so that programs that never need them do not pay for
// mapping and relocating them. The program is compiled against the
// libraries' headers but not linked with them; a call site names the
// function it calls:
//
//   VESK_ON_DEMAND(Crypto(), EVP_md5)()
//
// resolves EVP_md5 in the group Crypto() once, on that site's first call.
#pragma once

#include <atomic>
#include <initializer_list>
#include <mutex>
#include <vector>

// A group of libraries loaded together, by the names they carry (their
// sonames), searched in order for a function.
class TOnDemandLibraries {
 public:
  TOnDemandLibraries(std::initializer_list<const char*> names) : names_(names) {}

  // The address of the named function, loading the group on the first call.
  // A program cannot go on without a library it calls: when one is missing
  // or lacks the function, the program ends with the loader's message.
  void* Symbol(const char* name);
  // Whether the group has been loaded into this process.
  bool Loaded() const { return loaded_.load(std::memory_order_acquire); }

 private:
  void Load();

  std::vector<const char*> names_;
  std::vector<void*> handles_;
  std::once_flag once_;
  std::atomic<bool> loaded_{false};
};

// A call site's pointer to the function `name` of the group `libraries`,
// looked up on the site's first call.
#define VESK_ON_DEMAND(libraries, name) \
  ([] { \
    static const auto function = reinterpret_cast<decltype(&::name)>((libraries).Symbol(#name)); \
    return function; \
  }())
