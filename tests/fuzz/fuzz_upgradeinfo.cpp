// The auto-upgrader's update information file: the check of its signature
// and its parse. The first byte picks the running program's rule (bit 0: by
// number, bit 1: the file came by file://); the rest is the file. A file
// that is not refused must describe only what may be fetched: https://
// (or file:// after a local file) addresses, 64-digit hashes, sizes, and
// absolute targets without "." or ".." components.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "services/auupgrader.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool hasDotComponent(const std::string& path) {
  const std::string wrapped = path + "/";
  return wrapped.find("/./") != std::string::npos || wrapped.find("/../") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const TauRunningVersion running{(data[0] & 1) ? byNumber : byDate, "1.9.3.1", "04/08/2019", (data[0] & 2) != 0};
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  if (text.size() > 64) VerifyInfoFileSignature(text.substr(0, text.size() - 64), text.substr(text.size() - 64));
  const TauInfoCheck check = CheckInfoFile(text, running);
  if (check.verdict != TauInfoVerdict::Newer) return 0;
  Check(!check.info.files.empty());
  if (check.info.method == umRedirectToURL) {
    Check(IsPlainHttpsAddress(check.info.files.front().line));
    return 0;
  }
  for (const TauUpgradeFile& f : check.info.files) {
    Check(f.sha256.size() == 64 && f.size >= 0);
    if (!f.refusal.empty()) continue;
    Check(!f.target.empty() && f.target[0] == '/' && f.target.back() != '/' && !hasDotComponent(f.target));
  }
  return 0;
}
