// Dynamic libraries, loaded by the names the original platform used.
//
// LoadLibrary("name.dll") looks, in this order, for a library built into the
// program under that name (registered by the layer that provides it), for
// "name.so" beside the executable (in the named folder when the name holds
// one), and for the name as given. Names of built-in libraries compare
// without regard to case, as file names did there.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/win/wintypes.h"

// The module handle of a library, null on failure.
HMODULE LoadLibrary(const std::string& fileName);
inline HMODULE LoadLibraryA(const char* fileName) { return LoadLibrary(fileName ? fileName : ""); }
// The address of an exported function, null when the library has none.
void* GetProcAddress(HMODULE module, const char* procName);
// Releases one load; the library goes when the last load is released.
BOOL FreeLibrary(HMODULE module);

// Why the calling thread's last LoadLibrary or GetProcAddress failed:
// ERROR_MOD_NOT_FOUND (126) or ERROR_PROC_NOT_FOUND (127), 0 after success,
// and the loader's text.
DWORD GetLastLibraryError();
std::string LastLibraryErrorText();

// The full name of the running executable and its folder (with delimiter).
std::string ExecutableFileName();
std::string ExecutableFolder();

// A library that the program provides itself: exported names and addresses.
// Registering a name again replaces its table (for test doubles).
using TLibraryExports = std::vector<std::pair<std::string, void*>>;
void RegisterBuiltinLibrary(const std::string& name, TLibraryExports exports);
void UnregisterBuiltinLibrary(const std::string& name);
