// The batch interpreter over hostile scripts: lines, "@" marks, echo and
// rem forms, quoting and nested batch files. Programs are not started: a
// runner at the process boundary answers for them, so only the
// interpreter's own reading is tried.
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/batch.h"

namespace {

int Output() {
  static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  static const bool ready = [] {
    // Each program answers its argument count; names starting with "x" are not found.
    SetBatchProgramRunner([](const std::vector<std::string>& argv) {
      return !argv.empty() && !argv[0].empty() && argv[0][0] == 'x' ? -1 : static_cast<int>(argv.size());
    });
    return true;
  }();
  (void)ready;
  BatchOptions options;
  options.outputFd = Output();
  RunBatchScript(std::string_view(reinterpret_cast<const char*>(data), size), options);
  return 0;
}
