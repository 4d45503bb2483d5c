// Readers of the answer's headers.
#include <cctype>

#include "platform/rtl/sysutils.h"
#include "services/auhttp.h"

namespace {

// Digits only, at most 18 of them (below 2^63), as a number.
bool tryDigits(const std::string& text, int64_t& value) {
  if (text.empty() || text.size() > 18 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoll(text);
  return true;
}

}  // namespace

bool TryParseContentLength(const std::string& text, int64_t& length) { return tryDigits(Trim(text), length); }

bool TryParseContentRange(const std::string& text, TauContentRange& range) {
  const std::string value = Trim(text);
  if (LowerCase(value.substr(0, 6)) != "bytes ") return false;
  const std::string spec = Trim(value.substr(6));
  size_t dash = spec.find('-'), slash = spec.find('/');
  if (dash == std::string::npos || slash == std::string::npos || dash > slash) return false;
  TauContentRange r;
  if (!tryDigits(spec.substr(0, dash), r.first) || !tryDigits(spec.substr(dash + 1, slash - dash - 1), r.last))
    return false;
  const std::string total = spec.substr(slash + 1);
  if (total != "*" && !tryDigits(total, r.total)) return false;
  if (r.first > r.last || (r.total >= 0 && r.last >= r.total)) return false;
  range = r;
  return true;
}

std::string AuthenticationRealm(const std::string& challenge) {
  const std::string lower = LowerCase(challenge);
  size_t at = lower.find("realm=\"");
  size_t start = at != std::string::npos ? at + 7 : lower.find("=\"");
  if (start == std::string::npos) return {};
  if (at == std::string::npos) start += 2;
  size_t end = challenge.find('"', start);
  return end == std::string::npos ? std::string() : challenge.substr(start, end - start);
}
