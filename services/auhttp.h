// The auto-upgrader's HTTP client: the readers of the answer's headers.
// Every figure is 64-bit; a header that is not exactly well formed counts
// as absent.
#pragma once

#include <cstdint>
#include <string>

// Content-Length: decimal digits (blanks around them allowed) up to 2^63 - 1.
bool TryParseContentLength(const std::string& text, int64_t& length);

// Content-Range of a 206 answer: "bytes first-last/total", total may be "*"
// (then -1). first <= last, and last < total when total is known.
struct TauContentRange {
  int64_t first = 0, last = 0, total = -1;
};
bool TryParseContentRange(const std::string& text, TauContentRange& range);

// The realm of a WWW-Authenticate or Proxy-Authenticate challenge: the quoted
// text after realm=" (or, when no realm is named, after the first =") up to
// its closing quote; empty when there is none.
std::string AuthenticationRealm(const std::string& challenge);
