#include "services/supshell.h"

#include "platform/win/shell.h"
#include "services/supstrings.h"

namespace {

// The shell flags each option adds.
struct OptionFlags {
  TShellDeleteOption option;
  uint16_t flags;
};
constexpr OptionFlags OptionFlagTable[] = {
    {sdSilent, FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI},
    {sdAllowUndo, FOF_ALLOWUNDO},
    {sdFilesOnly, FOF_FILESONLY},
};

}  // namespace

uint16_t ShellDeleteFlags(TShellDeleteOptions options) {
  uint16_t flags = 0;
  for (const OptionFlags& entry : OptionFlagTable)
    if (options.Contains(entry.option)) flags |= entry.flags;
  return flags;
}

bool ShellDeleteItems(HWND window, const std::string& path, TShellDeleteOptions options) {
  SHFILEOPSTRUCTA request;
  request.hwnd = window;
  request.wFunc = FO_DELETE;
  request.pFrom = {path};
  request.fFlags = ShellDeleteFlags(options);
  return SHFileOperationA(&request) == 0;
}

bool ShellDeleteFolder(HWND window, const std::string& folder, TShellDeleteOptions options) {
  if (folder.empty()) return false;
  options.Exclude(sdFilesOnly);
  if (!ShellDeleteItems(window, WithTrailingBackslash(folder) + "*.*", options)) return false;
  ShellDeleteItems(window, folder, options);
  return true;
}
