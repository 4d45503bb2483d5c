// The memory a call costs at its peak, for the tests that load hostile files.
#pragma once

#include <sys/resource.h>

#include <fstream>

// The most memory the process held while the call ran above what it held
// before, in kilobytes (the kernel's high-water mark is reset first).
template <class Call>
long PeakKilobytesOf(Call&& call) {
  std::ofstream("/proc/self/clear_refs") << "5";
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  call();
  getrusage(RUSAGE_SELF, &after);
  return after.ru_maxrss - before.ru_maxrss;
}
