#include "services/supwin32.h"

#include "platform/rtl/sysutils.h"
#include "platform/win/kernel.h"

namespace {

// The system's text for the code without trailing blanks and full stops.
std::string SystemErrorText(uint32_t errorCode) {
  std::string text;
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, errorCode, 0, text);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) < '!' || text.back() == '.')) text.pop_back();
  return text;
}

}  // namespace

ESupWin32Error::ESupWin32Error(uint32_t errorCode, const std::string& message)
    : ESupError(""), errorCode_(errorCode), systemMessage_(SystemErrorText(errorCode)) {
  SetMessage(Format("Win32 error: %s (%u)%s%s", {systemMessage_, errorCode_, "\r\n", message}));
}

uint32_t ESupWin32Error::LastErrorCode() { return GetLastError(); }
