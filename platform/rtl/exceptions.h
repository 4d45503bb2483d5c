// The framework's exception root and its standard exceptions.
//
// Every failure the system raises derives from Exception, so one handler can
// catch them all and show Message(). The standard texts are built by the
// helpers below so they read the same wherever they are raised.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  const char* what() const noexcept override { return message_.c_str(); }

private:
  std::string message_;
};

// Declares a class E that derives from Base and takes its message as is.
#define RTL_DECLARE_EXCEPTION(E, Base) \
  class E : public Base {              \
  public:                              \
    using Base::Base;                  \
  }

RTL_DECLARE_EXCEPTION(EAbort, Exception);
RTL_DECLARE_EXCEPTION(EConvertError, Exception);
RTL_DECLARE_EXCEPTION(EOutOfMemory, Exception);
RTL_DECLARE_EXCEPTION(EListError, Exception);
RTL_DECLARE_EXCEPTION(EStringListError, EListError);
RTL_DECLARE_EXCEPTION(EStreamError, Exception);
RTL_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
RTL_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
RTL_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
RTL_DECLARE_EXCEPTION(EReadError, EStreamError);
RTL_DECLARE_EXCEPTION(EWriteError, EStreamError);
RTL_DECLARE_EXCEPTION(EIniFileException, Exception);
RTL_DECLARE_EXCEPTION(EThread, Exception);
RTL_DECLARE_EXCEPTION(EResNotFound, Exception);

// An I/O failure of the text-file and folder routines; ErrorCode is the
// errno-style code that IOResult reports.
class EInOutError : public Exception {
public:
  explicit EInOutError(int32_t code);
  EInOutError(int32_t code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
  int32_t ErrorCode = 0;
};

// A failed operating-system call; ErrorCode is the errno value.
class EOSError : public Exception {
public:
  EOSError(uint32_t code, std::string message) : Exception(std::move(message)), ErrorCode(code) {}
  uint32_t ErrorCode = 0;
};

// The system's text for an error code (errno value).
std::string SysErrorMessage(int32_t code);

// Raises EOSError for errno (or the given code) with the system's text.
[[noreturn]] void RaiseLastOSError();
[[noreturn]] void RaiseLastOSError(int32_t code);

// "Cannot open file "%s". %s"
[[noreturn]] void RaiseFOpenError(const std::string& fileName, int32_t code);
// "Cannot create file "%s". %s"
[[noreturn]] void RaiseFCreateError(const std::string& fileName, int32_t code);
// "List index out of bounds (%d)"
[[noreturn]] void RaiseListIndexError(int64_t index);
// "Unable to write to %s"
[[noreturn]] void RaiseWriteError(const std::string& what);
