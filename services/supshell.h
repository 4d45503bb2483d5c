// Deletion through the desktop shell: silent, to the trash when undo is
// allowed.
#pragma once

#include <cstdint>
#include <string>

#include "platform/rtl/set.h"
#include "platform/win/wintypes.h"

enum TShellDeleteOption { sdSilent, sdAllowUndo, sdFilesOnly };
using TShellDeleteOptions = Set<TShellDeleteOption>;

// The shell operation flags for the options (0 for none).
uint16_t ShellDeleteFlags(TShellDeleteOptions options);
// One shell delete request for path (which may hold wildcards); true when
// the shell reports success.
bool ShellDeleteItems(HWND window, const std::string& path, TShellDeleteOptions options);
// Deletes the folder's contents ("folder/*.*") and, when that succeeded,
// the folder itself; the result is that of the contents. "" gives false.
bool ShellDeleteFolder(HWND window, const std::string& folder, TShellDeleteOptions options);
