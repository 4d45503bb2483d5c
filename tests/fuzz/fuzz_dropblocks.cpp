// The blocks a drop brings from another program: the desktop's file list,
// zero lists, single names, shell ID lists, file descriptors and text. The
// first byte picks the reader, the rest is the block. Names read back from
// a list must survive a write and read unchanged, and a descriptor's name
// must stay below the drop folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "services/dragdropfile.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void RoundTrip(const std::vector<std::string>& names, bool wide) {
  const std::vector<uint8_t> block = WriteFilesToZeroList(names, wide);
  std::vector<std::string> again;
  Check(ReadFilesFromZeroList(block.data(), block.size(), wide, again));
  Check(again == names);
}

void CheckSafe(const std::string& name) {
  Check(!name.empty() && name[0] != '/' && name.find('\\') == std::string::npos);
  Check(SafeDropName(name) == name);  // a safe name stays as it is
  size_t at = 0;
  for (;;) {
    const size_t end = name.find('/', at);
    const std::string part = name.substr(at, end - at);
    Check(!part.empty() && part != "." && part != "..");
    if (end == std::string::npos) break;
    at = end + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t kind = data[0] % 9;
  const uint8_t* block = data + 1;
  const size_t length = size - 1;
  std::vector<std::string> names;
  std::string name;
  switch (kind) {
    case 0:
    case 1:
      if (ReadFilesFromZeroList(block, length, kind == 1, names)) RoundTrip(names, kind == 1);
      break;
    case 2:
      if (ReadFilesFromDropFiles(block, length, names)) Check(!names.empty());
      break;
    case 3:
    case 4:
      if (ReadSingleName(block, length, kind == 4, name)) Check(!name.empty());
      break;
    case 5:
      if (ReadIDListArray(block, length, names)) Check(!names.empty() && names.size() <= kMaxDropNames);
      break;
    case 6:
      if (ReadFileDescriptors(block, length, names))
        for (const std::string& n : names) CheckSafe(n);
      break;
    case 7:
    case 8:
      ReadDroppedText(block, length, kind == 8, name);
      break;
  }
  // Any bytes as a descriptor's name: what comes out is empty or safe.
  const std::string safe = SafeDropName(std::string(reinterpret_cast<const char*>(block), length));
  if (!safe.empty()) CheckSafe(safe);
  return 0;
}
