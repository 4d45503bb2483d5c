// The bridge to the optional image-format plug-in made of two libraries
// loaded at run time: their handles, the lazy binding of entry points by
// name, the table of the 25 formats the plug-in adds, and their release at
// the library's shut-down. Whatever loads the libraries and registers the
// formats sets the handles; nothing in the library does so by itself.
#pragma once

#include <array>
#include <cstdint>

#include "platform/win/wintypes.h"

// One format the plug-in adds.
struct TIEMiscPluginsImageMagick_Format {
  int32_t FileType;
  const char* Description;
  const char* Extensions;  // ";"-separated, upper case
  const char* SuggestedExtension;
  int32_t Writable;  // 1 when the plug-in writes the format
};

// Class-level state and operations only; the class has no instances.
class TIEMiscPluginsImageMagick {
public:
  TIEMiscPluginsImageMagick() = delete;

  // The main library and the second one, 0 when not loaded.
  static HMODULE LibHandle();
  static void SetLibHandle(HMODULE handle);
  static HMODULE Lib2Handle();
  static void SetLib2Handle(HMODULE handle);

  // Binds proc to the main library's export called name unless it is
  // already bound; it stays null when the name is not found.
  static void BindProc(void*& proc, const char* name);
  // Calls the main library's termination routine when it is found.
  static void Terminate();
  // Frees the second library, then terminates and frees the main one;
  // each handle is released once and cleared, absent ones are skipped.
  static void UnloadLibraries();

  // File-type ids 0x2001..0x2019, in that order.
  static const std::array<TIEMiscPluginsImageMagick_Format, 25>& Formats();
};
