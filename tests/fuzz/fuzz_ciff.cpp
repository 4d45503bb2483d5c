// Camera-raw metadata on arbitrary bytes: the CIFF heap with its nested
// tables, maker-note records and JPEG previews, and the same bytes behind a
// "HEAPCCDR" header in both byte orders.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/io/ieraw.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  return 0;
}

namespace {

void ReadAll(const std::string& bytes) {
  TMemoryStream stream;
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
  TIOParamsVals params(nullptr);
  IEReadRawFileMetadata(stream, params);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  const std::string input(reinterpret_cast<const char*>(data), size);
  ReadAll(input);
  const std::string header = std::string("\x0E\0\0\0HEAPCCDR", 12);
  ReadAll("II" + header + input);
  ReadAll("MM" + std::string("\0\0\0\x0E", 4) + "HEAPCCDR" + input);
  return 0;
}
