// Routines shared by the processing unit's files and by nothing else.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/processing/imageryproc.h"

namespace iep {

// Bit x of a 1-bit row (most significant bit first).
inline bool GetBit(const uint8_t* row, int64_t x) { return IEGetBit(row, x); }
inline void PutBit(uint8_t* row, int64_t x, bool set) { IESetBit(row, x, set); }

// Whole-number division of sums of at most MaxSample x count by count as a
// multiplication and a shift, exact for every such sum; a count too large
// for 32-bit factors divides plainly. A larger sum never divides to less
// than its true quotient.
class TDivisor {
public:
  TDivisor(uint32_t count, uint32_t maxSample) : count_(std::max(count, 1u)) {
    const uint64_t maxSum = uint64_t{maxSample} * count_;
    shift_ = std::bit_width(maxSum) + std::bit_width(uint64_t{count_});
    if (shift_ >= 64) return;
    const uint64_t multiplier = (uint64_t{1} << shift_) / count_ + 1;
    // floor(sum x multiplier / 2^shift) = floor(sum / count) while
    // sum x (multiplier x count - 2^shift) < 2^shift.
    using Wide = unsigned __int128;
    const Wide excess = Wide{multiplier} * count_ - (Wide{1} << shift_);
    exact_ = multiplier <= UINT32_MAX && maxSum <= UINT32_MAX && Wide{maxSum} * excess < (Wide{1} << shift_);
    multiplier_ = static_cast<uint32_t>(multiplier);
  }
  bool Exact() const { return exact_; }
  uint32_t Divide(uint64_t sum) const {
    return exact_ ? static_cast<uint32_t>((uint64_t{static_cast<uint32_t>(sum)} * multiplier_) >> shift_)
                  : static_cast<uint32_t>(sum / count_);
  }
  // The exact form alone, for loops the compiler turns into vector code.
  uint32_t Multiply(uint32_t sum) const { return static_cast<uint32_t>((uint64_t{sum} * multiplier_) >> shift_); }

private:
  uint32_t count_;
  uint32_t multiplier_ = 1;
  int32_t shift_ = 0;
  bool exact_ = false;
};

// Resampling weights are integers: the kernel's values in 256ths.
constexpr int32_t kWeightOne = 256;

// The weight lists of one axis: output i reads the source positions
// Index[Start[i] .. Start[i + 1] - 1] with the matching weights; its sum is
// divided by Total[i], the weights' sum (kWeightOne where they cancel).
struct TContributors {
  std::vector<int32_t> Start;
  std::vector<int32_t> Index;
  std::vector<int32_t> Weight;
  std::vector<int32_t> Total;
};
// The lists of a kernel filter for sourceCount -> destCount positions.
TContributors MakeContributors(int32_t sourceCount, int32_t destCount, TResampleFilter filter);

// Reports Trunc(done x 100 / (steps + 0.5)) when it differs from the last report.
class TProgress {
public:
  TProgress(const TIEProgressEvent& event, TObject* sender, int64_t steps)
      : event_(event), sender_(sender), factor_(100.0 / (static_cast<double>(steps) + 0.5)) {}
  void Report(int64_t done) {
    if (!event_) return;
    const int32_t per = static_cast<int32_t>(std::trunc(static_cast<double>(done) * factor_));
    if (per == last_) return;
    last_ = per;
    event_(sender_, per);
  }

private:
  const TIEProgressEvent& event_;
  TObject* sender_;
  double factor_;
  int32_t last_ = -1;
};

// The kernel passes by sample layout; source and dest at their sizes.
void KernelPasses24(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter, const TIEProgressEvent& onProgress,
                    TObject* sender);
void KernelPassesGray8(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);
void KernelPassesGray16(TIEBitmap* source, TIEBitmap* dest, TResampleFilter filter);

// A copy of source converted to ie24RGB, or to ie8g (the green sample, which
// is the grey of a grey or 1-bit source).
std::unique_ptr<TIEBitmap> ConvertedCopy(TIEBitmap* source, TIEPixelFormat format);
// Reallocates the bitmap at its size in format when it has another one.
void EnsureFormat(TIEBitmap* bitmap, TIEPixelFormat format);

}  // namespace iep
