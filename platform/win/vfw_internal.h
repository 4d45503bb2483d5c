// What the AVI file functions share between their units: the stream headers
// as the file's header list states them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "platform/win/vfw.h"

namespace vfw {

struct TAVIStreamHeader {
  AVISTREAMINFOW info;
  std::vector<uint8_t> format;  // the stream format chunk as stored ("strf")
};

// The stream headers of the AVI file at the file's start, in stream order;
// false when the file is not an AVI file or its header list is cut short.
bool ReadAVIStreamHeaders(std::FILE* file, uint64_t fileSize, std::vector<TAVIStreamHeader>& streams);

}  // namespace vfw
