// Kernel objects behind handles: the last-error code, waiting, closing,
// mutexes (named ones shared between processes), events and the ids of the
// running process and thread.
//
// Sections: error codes | handles and waits | mutexes | events | ids
#pragma once

#include <string>

#include "platform/win/wintypes.h"

// ---- error codes ------------------------------------------------------------

constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_CALL_NOT_IMPLEMENTED = 120;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_BAD_EXE_FORMAT = 193;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NOT_OWNER = 288;
constexpr DWORD ERROR_NO_ASSOCIATION = 1155;
constexpr DWORD ERROR_NO_SYSTEM_RESOURCES = 1450;
constexpr DWORD ERROR_TIMEOUT = 1460;

// The calling thread's last error code.
DWORD GetLastError();
void SetLastError(DWORD code);
// The error code for an errno value (ERROR_ACCESS_DENIED for EACCES...).
DWORD ErrorFromErrno(int err);
// Sets the last error from errno; returns FALSE for use in `return Fail...;`.
BOOL SetLastErrorFromErrno(int err);

constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
// The system's text for an error code (FORMAT_MESSAGE_FROM_SYSTEM), taken
// from the C library's text of the matching errno value; answers its length,
// 0 (and an empty text) for a code without one.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId, std::string& text);

// There are no critical-error dialogs here; the mode is kept so that callers
// can set it and put the previous one back. Answers the previous mode.
constexpr UINT SEM_FAILCRITICALERRORS = 0x0001;
constexpr UINT SEM_NOOPENFILEERRORBOX = 0x8000;
UINT SetErrorMode(UINT mode);

// ---- handles and waits ------------------------------------------------------

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_ABANDONED = 0x00000080;
constexpr DWORD WAIT_IO_COMPLETION = 0x000000C0;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

// Waits until the object is signalled (a process ended, a mutex is free, an
// event is set) or `milliseconds` pass. WAIT_FAILED (last error
// ERROR_INVALID_HANDLE) for an unknown handle.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
// Releases the handle; the object lives on while other handles refer to it.
BOOL CloseHandle(HANDLE handle);
// A wait that does not block: true when the object is signalled, and then
// taken as a wait takes it (a mutex owned, an auto-reset event reset). The
// message loop's waits (MsgWaitForMultipleObjects) test handles with it.
bool TakeIfSignalled(HANDLE handle);

struct SECURITY_ATTRIBUTES {
  DWORD nLength = sizeof(SECURITY_ATTRIBUTES);
  void* lpSecurityDescriptor = nullptr;
  BOOL bInheritHandle = FALSE;
};

// ---- mutexes ----------------------------------------------------------------

// A recursive mutex. A named one is shared by every holder of the name, in
// this process and others: a second creation answers a handle to the same
// mutex with last error ERROR_ALREADY_EXISTS. Waiting on it takes ownership;
// a mutex whose owning thread ended unreleased is handed on with WAIT_ABANDONED.
HANDLE CreateMutexA(const SECURITY_ATTRIBUTES* attributes, BOOL initialOwner, const char* name);
// A handle to an existing named mutex; null with ERROR_FILE_NOT_FOUND when none exists.
HANDLE OpenMutexA(DWORD desiredAccess, BOOL inheritHandle, const char* name);
// FALSE with ERROR_NOT_OWNER when the calling thread does not own it.
BOOL ReleaseMutex(HANDLE mutex);

constexpr DWORD SYNCHRONIZE = 0x00100000;
constexpr DWORD MUTEX_ALL_ACCESS = 0x001F0001;
constexpr DWORD EVENT_ALL_ACCESS = 0x001F0003;

// ---- events -----------------------------------------------------------------

// An event: manual-reset ones stay signalled until reset; auto-reset ones let
// one waiter through and reset themselves. Events live in this process only.
HANDLE CreateEventA(const SECURITY_ATTRIBUTES* attributes, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// ---- ids --------------------------------------------------------------------

DWORD GetCurrentProcessId();
DWORD GetCurrentThreadId();
