#include "platform/rtl/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <map>
#include <memory>
#include <mutex>

#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

// Sections: last error | built-in libraries | executable | loading

namespace {

constexpr DWORD kModNotFound = 126;   // ERROR_MOD_NOT_FOUND
constexpr DWORD kProcNotFound = 127;  // ERROR_PROC_NOT_FOUND

// ---- last error --------------------------------------------------------------------

thread_local DWORD lastError = 0;
thread_local std::string lastErrorText;

void SetLibraryError(DWORD code, std::string text) {
  lastError = code;
  lastErrorText = std::move(text);
}

std::string DlErrorText() {
  const char* text = dlerror();
  return text ? std::string(text) : std::string();
}

// ---- built-in libraries -----------------------------------------------------------------

// A built-in library lives until the process ends, so its handle stays valid
// even after it is unregistered (it then exports nothing).
struct BuiltinLibrary {
  std::map<std::string, void*> Exports;
  bool Registered = false;
  int32_t Loads = 0;
};

struct BuiltinRegistry {
  std::mutex Lock;
  std::map<std::string, std::unique_ptr<BuiltinLibrary>> ByName;
};

BuiltinRegistry& Builtins() {
  static BuiltinRegistry registry;
  return registry;
}

// The registry key: the file-name part in lower case, ".dll" when it has no
// extension (the original loader added that too).
std::string BuiltinKey(const std::string& fileName) {
  std::string key = LowerCase(ExtractFileName(fileName));
  if (!key.empty() && ExtractFileExt(key).empty()) key += ".dll";
  return key;
}

// Caller holds the registry lock.
BuiltinLibrary* FindBuiltinLocked(HMODULE module) {
  for (auto& entry : Builtins().ByName)
    if (reinterpret_cast<HMODULE>(entry.second.get()) == module) return entry.second.get();
  return nullptr;
}

HMODULE LoadBuiltin(const std::string& fileName) {
  BuiltinRegistry& registry = Builtins();
  std::lock_guard<std::mutex> guard(registry.Lock);
  auto it = registry.ByName.find(BuiltinKey(fileName));
  if (it == registry.ByName.end() || !it->second->Registered) return nullptr;
  ++it->second->Loads;
  return reinterpret_cast<HMODULE>(it->second.get());
}

// ---- loading -------------------------------------------------------------------------------

HMODULE Open(const std::string& path) {
  return reinterpret_cast<HMODULE>(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
}

// The shared-object names tried before the name as given.
std::vector<std::string> SharedObjectCandidates(const std::string& fileName) {
  const std::string ext = LowerCase(ExtractFileExt(fileName));
  if (ext == ".so") return {};
  const std::string folder =
      ExtractFilePath(fileName).empty() ? ExecutableFolder() : ExtractFilePath(fileName);
  const std::string base = ExtractFileName(ext == ".dll" ? ChangeFileExt(fileName, "") : fileName);
  std::vector<std::string> names{folder + base + ".so"};
  if (LowerCase(base) != base) names.push_back(folder + LowerCase(base) + ".so");
  return names;
}

}  // namespace

DWORD GetLastLibraryError() { return lastError; }
std::string LastLibraryErrorText() { return lastErrorText; }

void RegisterBuiltinLibrary(const std::string& name, TLibraryExports exports) {
  BuiltinRegistry& registry = Builtins();
  std::lock_guard<std::mutex> guard(registry.Lock);
  std::unique_ptr<BuiltinLibrary>& library = registry.ByName[BuiltinKey(name)];
  if (!library) library = std::make_unique<BuiltinLibrary>();
  library->Exports.clear();
  for (auto& [procName, address] : exports) library->Exports[procName] = address;
  library->Registered = true;
}

void UnregisterBuiltinLibrary(const std::string& name) {
  BuiltinRegistry& registry = Builtins();
  std::lock_guard<std::mutex> guard(registry.Lock);
  auto it = registry.ByName.find(BuiltinKey(name));
  if (it == registry.ByName.end()) return;
  it->second->Exports.clear();
  it->second->Registered = false;
}

// ---- executable ------------------------------------------------------------------------------

std::string ExecutableFileName() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string ExecutableFolder() { return ExtractFilePath(ExecutableFileName()); }

// ---- the loader's interface ---------------------------------------------------------------------

HMODULE LoadLibrary(const std::string& fileName) {
  if (fileName.empty()) {
    SetLibraryError(kModNotFound, "No library name given");
    return nullptr;
  }
  if (HMODULE builtin = LoadBuiltin(fileName)) {
    SetLibraryError(0, {});
    return builtin;
  }
  std::string errors;
  for (const std::string& candidate : SharedObjectCandidates(fileName)) {
    if (HMODULE module = Open(candidate)) {
      SetLibraryError(0, {});
      return module;
    }
    errors += DlErrorText() + "\n";
  }
  if (HMODULE module = Open(fileName)) {
    SetLibraryError(0, {});
    return module;
  }
  SetLibraryError(kModNotFound, errors + DlErrorText());
  return nullptr;
}

void* GetProcAddress(HMODULE module, const char* procName) {
  if (!module || !procName) {
    SetLibraryError(kProcNotFound, "No module or name given");
    return nullptr;
  }
  {
    BuiltinRegistry& registry = Builtins();
    std::lock_guard<std::mutex> guard(registry.Lock);
    if (BuiltinLibrary* library = FindBuiltinLocked(module)) {
      auto it = library->Exports.find(procName);
      if (it == library->Exports.end()) {
        SetLibraryError(kProcNotFound, std::string("Not exported: ") + procName);
        return nullptr;
      }
      SetLibraryError(0, {});
      return it->second;
    }
  }
  dlerror();
  void* address = dlsym(reinterpret_cast<void*>(module), procName);
  if (!address) {
    SetLibraryError(kProcNotFound, DlErrorText());
    return nullptr;
  }
  SetLibraryError(0, {});
  return address;
}

BOOL FreeLibrary(HMODULE module) {
  if (!module) return FALSE;
  {
    BuiltinRegistry& registry = Builtins();
    std::lock_guard<std::mutex> guard(registry.Lock);
    if (BuiltinLibrary* library = FindBuiltinLocked(module)) {
      if (library->Loads <= 0) return FALSE;
      --library->Loads;
      return TRUE;
    }
  }
  return dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}
