// The dictionary parser on arbitrary JSON-like and XML-like text. What it
// read is dumped, and the dump must parse back to the same dump.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez_dictionary.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  TIEDictionary first;
  first.Parse(std::string(reinterpret_cast<const char*>(data), size));
  std::string dump;
  first.DumpJSON(dump);
  TIEDictionary second;
  if (!second.Parse(dump)) std::abort();
  std::string again;
  second.DumpJSON(again);
  if (again != dump) std::abort();
  return 0;
}
