// Routines shared by the processing unit's files and by nothing else.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/processing/imageryproc.h"

namespace iep {

// Bit x of a 1-bit row (most significant bit first).
inline bool GetBit(const uint8_t* row, int64_t x) { return IEGetBit(row, x); }
inline void PutBit(uint8_t* row, int64_t x, bool set) { IESetBit(row, x, set); }

// Resampling weights are integers out of kWeightOne.
constexpr int32_t kWeightBits = 14;
constexpr int32_t kWeightOne = 1 << kWeightBits;

// The weight lists of one axis: output i reads the source positions
// Index[Start[i] .. Start[i + 1] - 1] with the matching weights, which sum to
// kWeightOne.
struct TContributors {
  std::vector<int32_t> Start;
  std::vector<int32_t> Index;
  std::vector<int32_t> Weight;
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
