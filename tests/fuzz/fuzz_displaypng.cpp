// The display layer's PNG reader on arbitrary file contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/display/display.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/vesk-fuzz-png-" + std::to_string(getpid()) + ".png";
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::vector<uint32_t> pixels;
  int32_t w = 0, h = 0;
  display::ReadPng(path, pixels, w, h);
  return 0;
}
