// The clipboard of the process: one opener at a time; blocks are HGLOBALs
// (platform/win/globalmem.h) that the clipboard owns once set. CF_TEXT holds
// UTF-8, CF_UNICODETEXT UTF-16, each NUL-terminated; either is made from the
// other on request. With the desktop back end, text is shared with the desktop.
#pragma once

#include <string>

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

// FALSE while another window has it open.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Frees every block; the opener becomes the owner. Needs the clipboard open.
BOOL EmptyClipboard();
// Takes `data` (the clipboard frees it); answers it, or null when the clipboard is not open.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The block of `format` (still the clipboard's); null when absent or not open.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
// The format after `format` (0: the first); 0 at the end.
UINT EnumClipboardFormats(UINT format);
HWND GetClipboardOwner();

// A format number for `name` (case-insensitive), from 0xC000; 0 for an empty name.
UINT RegisterClipboardFormat(const char* name);
inline UINT RegisterClipboardFormatA(const char* name) { return RegisterClipboardFormat(name); }
// The name of a registered format; empty for standard or unknown ones.
std::string GetClipboardFormatName(UINT format);
inline std::string GetClipboardFormatNameA(UINT format) { return GetClipboardFormatName(format); }
