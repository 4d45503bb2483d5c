// Work split into bands of rows: band 0 on the calling thread, the others on
// workers of a thread pool joined before the call returns.
#include <exception>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/threads.h"

namespace {

using TBandWork = std::function<void(int32_t first, int32_t count, int32_t band)>;

class TBandThread : public TThread {
public:
  // failure, owned by the caller, receives what escapes the work.
  TBandThread(const TBandWork& work, int32_t first, int32_t count, int32_t band, std::exception_ptr& failure)
      : work_(work), first_(first), count_(count), band_(band), failure_(failure) {}

protected:
  void Execute() override {
    try {
      work_(first_, count_, band_);
    } catch (...) {
      failure_ = std::current_exception();
    }
  }

private:
  const TBandWork& work_;
  int32_t first_, count_, band_;
  std::exception_ptr& failure_;
};

}  // namespace

void IERunInBands(int32_t rows, int32_t bands, const TBandWork& work) {
  if (rows < 1) return;
  if (bands > rows) bands = rows;
  if (bands < 2) {
    work(0, rows, 0);
    return;
  }
  const int32_t band = rows / bands;
  std::vector<std::exception_ptr> failures(static_cast<size_t>(bands));
  {
    TIEThreadPool pool;  // joins the workers however this block is left
    for (int32_t k = 1; k < bands; ++k) {
      const int32_t first = k * band;
      pool.Add(new TBandThread(work, first, k == bands - 1 ? rows - first : band, k, failures[k]));
    }
    try {
      work(0, band, 0);
    } catch (...) {
      failures[0] = std::current_exception();
    }
    pool.WaitAll();
  }
  for (const std::exception_ptr& failure : failures)
    if (failure) std::rethrow_exception(failure);
}

int32_t IEBandCount(std::initializer_list<TIEBitmap*> bitmaps) {
  for (TIEBitmap* bitmap : bitmaps)
    if (bitmap->Location() == ieTempFile || bitmap->IsVirtual()) return 1;
  return IEGetProcessorCoreCount();
}
