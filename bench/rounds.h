// Rounds of sides that run in turn: every round runs each side once, the
// side that starts moving on by one each round, so neither profits from
// caches, allocator state or clock changes the other left behind. Times are
// the thread's CPU time (a loaded machine takes the core away, not the
// work's time), or the wall time of a side that waits on other processes,
// or the CPU time of the process and the children it waited for.
// The report gives each side's median milliseconds and, for every side
// after the first, its time / the first side's time per round ("<side>_x":
// 1 is as fast, above 1 the first side is faster) as median, lowest and
// highest, beside the
// load average ("load1") when the rounds ended.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <sys/resource.h>
#include <functional>
#include <string>
#include <vector>

namespace bench {

// The thread's CPU seconds spent in work.
inline double CpuSeconds(const std::function<void()>& work) {
  timespec t0{}, t1{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t0);
  work();
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t1);
  return static_cast<double>(t1.tv_sec - t0.tv_sec) + 1e-9 * static_cast<double>(t1.tv_nsec - t0.tv_nsec);
}

// The CPU seconds of the whole process and of the children it waited for
// during work: the work of a side that runs other programs, without the
// time a loaded machine keeps it waiting.
inline double CpuSecondsWithChildren(const std::function<void()>& work) {
  auto now = [] {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    auto seconds = [](const timeval& v) { return static_cast<double>(v.tv_sec) + 1e-6 * static_cast<double>(v.tv_usec); };
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec) + seconds(children.ru_utime) +
           seconds(children.ru_stime);
  };
  const double t0 = now();
  work();
  return now() - t0;
}

inline double WallSeconds(const std::function<void()>& work) {
  const auto t0 = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

inline double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t mid = values.size() / 2;
  return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

// The one-minute load average, or -1 where it cannot be read.
inline double LoadAverage() {
  double load[1] = {-1};
  return getloadavg(load, 1) == 1 ? load[0] : -1;
}

struct Side {
  std::string Name;
  std::function<void()> Run;
  std::function<void()> Prepare = {};  // untimed, before each run
};

struct RoundsOptions {
  int32_t MinRounds = 5;
  double MinSeconds = 1.0;  // of all sides' time together
  bool WallTime = false;
  bool WithChildren = false;  // CPU time of the process and its children
};

// Runs the rounds inside one benchmark iteration (register the bench with
// ->Iterations(1)) and reports them as counters.
inline void Rounds(benchmark::State& state, const std::vector<Side>& sides, RoundsOptions options = {}) {
  const size_t n = sides.size();
  std::vector<std::vector<double>> times(n);
  for (auto _ : state) {
    double total = 0;
    for (int32_t round = 0; round < options.MinRounds || total < options.MinSeconds; ++round) {
      for (size_t k = 0; k < n; ++k) {
        const size_t i = (k + static_cast<size_t>(round)) % n;
        if (sides[i].Prepare) sides[i].Prepare();
        const double t = options.WallTime       ? WallSeconds(sides[i].Run)
                         : options.WithChildren ? CpuSecondsWithChildren(sides[i].Run)
                                                : CpuSeconds(sides[i].Run);
        times[i].push_back(t);
        total += t;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) state.counters[sides[i].Name + "_ms"] = 1000 * Median(times[i]);
  for (size_t i = 1; i < n; ++i) {
    std::vector<double> ratios;
    for (size_t r = 0; r < times[i].size(); ++r) ratios.push_back(times[0][r] > 0 ? times[i][r] / times[0][r] : 0);
    const auto [lo, hi] = std::minmax_element(ratios.begin(), ratios.end());
    state.counters[sides[i].Name + "_x"] = Median(ratios);
    state.counters[sides[i].Name + "_x_lo"] = *lo;
    state.counters[sides[i].Name + "_x_hi"] = *hi;
  }
  state.counters["rounds"] = static_cast<double>(times.empty() ? 0 : times[0].size());
  state.counters["load1"] = LoadAverage();
}

}  // namespace bench
