// The file list of a dropped CF_HDROP block from another program.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/controls/adveddd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> files;
  ParseDropFiles(data, size, files);
  return 0;
}
