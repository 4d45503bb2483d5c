#include "platform/rtl/exceptions.h"

#include <cerrno>
#include <cstring>

EInOutError::EInOutError(int32_t code)
    : Exception("I/O error " + std::to_string(code)), ErrorCode(code) {}

std::string SysErrorMessage(int32_t code) {
  char buffer[256];
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
  return text ? std::string(text) : std::string();
}

void RaiseLastOSError() { RaiseLastOSError(errno); }

void RaiseLastOSError(int32_t code) {
  if (code == 0) throw EOSError(0, "A call to an OS function failed");
  throw EOSError(static_cast<uint32_t>(code),
                 "System Error.  Code: " + std::to_string(code) + ".\n" + SysErrorMessage(code));
}

void RaiseFOpenError(const std::string& fileName, int32_t code) {
  throw EFOpenError("Cannot open file \"" + fileName + "\". " + SysErrorMessage(code));
}

void RaiseFCreateError(const std::string& fileName, int32_t code) {
  throw EFCreateError("Cannot create file \"" + fileName + "\". " + SysErrorMessage(code));
}

void RaiseListIndexError(int64_t index) {
  throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void RaiseWriteError(const std::string& what) { throw EWriteError("Unable to write to " + what); }
