// The readers of an HTTP answer's headers that the auto-upgrader trusts for
// its sizes and positions: dates, Content-Range, Content-Length and the
// realm of a login challenge. The first byte picks the reader, the rest is
// the header's value. A range read must be ordered and inside its total, a
// length must not be negative, a realm must be quote-free text of the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "services/auhttp.h"
#include "services/auutils.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string value(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] & 3) {
    case 0: Check(std::isfinite(ParseHTTPDate(value))); break;
    case 1: {
      TauContentRange r;
      if (TryParseContentRange(value, r)) Check(r.first >= 0 && r.first <= r.last && (r.total < 0 || r.last < r.total));
      break;
    }
    case 2: {
      int64_t length = -1;
      if (TryParseContentLength(value, length)) Check(length >= 0);
      break;
    }
    default: {
      const std::string realm = AuthenticationRealm(value);
      Check(realm.find('"') == std::string::npos && value.find(realm) != std::string::npos);
      break;
    }
  }
  return 0;
}
