// The desktop shell: special folders, opening documents and addresses,
// deleting (to the freedesktop trash when undo is allowed) and file
// information (names only; there are no shell icons here).
//
// Sections: special folders | opening | file operations | file information
#pragma once

#include <string>
#include <vector>

#include "platform/win/wintypes.h"

// ---- special folders --------------------------------------------------------

constexpr int CSIDL_DESKTOP = 0x0000;
constexpr int CSIDL_PERSONAL = 0x0005;  // documents
constexpr int CSIDL_DRIVES = 0x0011;    // the computer: no file-system path
constexpr int CSIDL_APPDATA = 0x001A;
constexpr int CSIDL_MYPICTURES = 0x0027;
constexpr int CSIDL_FLAG_CREATE = 0x8000;
constexpr DWORD SHGFP_TYPE_CURRENT = 0;

// The folder of a folder id, without trailing delimiter: application data is
// $XDG_CONFIG_HOME (else ~/.config); desktop, documents and pictures are the
// XDG user folders (else ~/Desktop, ~ and ~/Pictures). With CSIDL_FLAG_CREATE
// the folder is created. E_INVALIDARG (and an empty path) for other ids.
HRESULT SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, std::string& path);

// ---- opening ----------------------------------------------------------------

// Errors that ShellExecuteA answers in place of an instance (all <= 32).
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_OOM = 8;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

// "open" (or no verb) of a program runs it with `parameters` split by the
// Windows rules; of a document, folder or address (with "://" or "mailto:")
// hands it to `xdg-open`. Either way the program is started detached with an
// argument vector, never through a shell. Surrounding quotes of `file` are
// dropped. Answers a value above 32 on success, else an SE_ERR_ code.
HINSTANCE ShellExecuteA(HWND owner, const char* verb, const char* file, const char* parameters,
                        const char* directory, int showCommand);
inline HINSTANCE ShellExecute(HWND owner, const char* verb, const char* file, const char* parameters,
                              const char* directory, int showCommand) {
  return ShellExecuteA(owner, verb, file, parameters, directory, showCommand);
}

constexpr ULONG SEE_MASK_NOCLOSEPROCESS = 0x00000040;
constexpr ULONG SEE_MASK_INVOKEIDLIST = 0x0000000C;

struct SHELLEXECUTEINFOA {
  DWORD cbSize = 60;
  ULONG fMask = 0;
  HWND hwnd = nullptr;
  const char* lpVerb = nullptr;
  const char* lpFile = nullptr;
  const char* lpParameters = nullptr;
  const char* lpDirectory = nullptr;
  int nShow = 0;
  HINSTANCE hInstApp = nullptr;  // the outcome, as ShellExecuteA answers it
};
// As ShellExecuteA; FALSE with the last error set on failure. Verbs other
// than "open" (such as "properties") have no handler here.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

// ---- file operations --------------------------------------------------------

constexpr UINT FO_MOVE = 1;
constexpr UINT FO_COPY = 2;
constexpr UINT FO_DELETE = 3;
constexpr UINT FO_RENAME = 4;

constexpr WORD FOF_MULTIDESTFILES = 0x0001;
constexpr WORD FOF_SILENT = 0x0004;
constexpr WORD FOF_RENAMEONCOLLISION = 0x0008;
constexpr WORD FOF_NOCONFIRMATION = 0x0010;
constexpr WORD FOF_ALLOWUNDO = 0x0040;
constexpr WORD FOF_FILESONLY = 0x0080;
constexpr WORD FOF_NOCONFIRMMKDIR = 0x0200;
constexpr WORD FOF_NOERRORUI = 0x0400;

struct SHFILEOPSTRUCTA {
  HWND hwnd = nullptr;
  UINT wFunc = 0;
  // The names to act on. A name whose last part holds "*" or "?" stands for
  // the matching entries of its folder ("dir/*.*" is everything in "dir").
  std::vector<std::string> pFrom;
  std::vector<std::string> pTo;
  WORD fFlags = 0;
  BOOL fAnyOperationsAborted = FALSE;
};

// FO_DELETE is the one operation here. With FOF_ALLOWUNDO each item moves
// into the freedesktop trash (the home trash, or $topdir/.Trash-$uid on
// another file system), or is deleted for good where no trash can be had;
// without it, items are deleted for good. Folders go with their contents;
// symbolic links inside are removed, never followed. No questions are asked
// in any case. A pattern that matches nothing is no error. Answers 0 on
// success, else the error code of the first item that failed.
int SHFileOperationA(SHFILEOPSTRUCTA* operation);

// ---- file information -------------------------------------------------------

constexpr UINT SHGFI_LARGEICON = 0x0000;
constexpr UINT SHGFI_SMALLICON = 0x0001;
constexpr UINT SHGFI_USEFILEATTRIBUTES = 0x0010;
constexpr UINT SHGFI_ICON = 0x0100;
constexpr UINT SHGFI_DISPLAYNAME = 0x0200;
constexpr UINT SHGFI_TYPENAME = 0x0400;
constexpr UINT SHGFI_ATTRIBUTES = 0x0800;
constexpr UINT SHGFI_SYSICONINDEX = 0x4000;

struct SHFILEINFOA {
  HICON hIcon = nullptr;  // always null: no shell icons
  int iIcon = 0;
  DWORD dwAttributes = 0;
  std::string szDisplayName;
  std::string szTypeName;
};

// The display name (the last part of the path; a mount point's own name) and
// the type name ("File folder", "Local Disk", "TXT File"...). With
// SHGFI_USEFILEATTRIBUTES the file is not looked at: `fileAttributes` says
// whether it is a folder. Answers non-zero on success.
DWORD_PTR SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA* info, UINT flags);
inline DWORD_PTR SHGetFileInfo(const std::string& path, DWORD fileAttributes, SHFILEINFOA* info, UINT flags) {
  return SHGetFileInfoA(path, fileAttributes, info, flags);
}
