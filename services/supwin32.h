// A failed platform call as a support exception: the calling thread's last
// error code, the system's text for it and the caller's message.
#pragma once

#include <cstdint>
#include <string>

#include "services/supbase.h"

class ESupWin32Error : public ESupError {
public:
  // Message: "Win32 error: <system text> (<code>)", a line break, then message.
  ESupWin32Error(uint32_t errorCode, const std::string& message);

  // The exception E (this class or a descendant) for the last error code,
  // which is read before anything else can change it.
  template <typename E = ESupWin32Error>
  static E CreateWithLastError(const std::string& message) {
    const uint32_t code = LastErrorCode();
    return E(code, message);
  }

  uint32_t ErrorCode() const { return errorCode_; }
  // The system's text for the code without trailing blanks and full stops;
  // empty when the system has none.
  const std::string& SystemMessage() const { return systemMessage_; }

private:
  static uint32_t LastErrorCode();
  uint32_t errorCode_;
  std::string systemMessage_;
};
