// What the codec harnesses share: the image library started once and
// stopped at exit, a progress record with an abort flag of its own, and the
// input read twice, as an image and for its parameters only.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"

inline void StartImagingLibrary() {
  IELibraryInitialize();
  IEInitializeImageryIO();
  std::atexit([] {
    IEFinalizeImageryIO();
    IELibraryFinalize();
  });
}

struct FuzzProgress {
  FuzzProgress() { record.Aborting = &abort; }
  FuzzProgress(const FuzzProgress&) = delete;
  FuzzProgress& operator=(const FuzzProgress&) = delete;
  std::atomic<bool> abort{false};
  TIEProgressRecord record;
};

// The input from byte `skip` on (the bytes before it choose the harness's
// options) into `stream`; false for inputs the harnesses leave alone: too
// short for the option bytes, or over 1 MiB.
inline bool FuzzInputToStream(const uint8_t* data, size_t size, size_t skip, TMemoryStream& stream) {
  if (size < skip || size > (1 << 20)) return false;
  if (size > skip) stream.WriteBuffer(data + skip, static_cast<int32_t>(size - skip));
  return true;
}

// Calls read(bitmap, params, progress, paramsOnly) once as an image and once
// for the parameters only, each from the stream's start with a fresh bitmap,
// parameter set and progress record.
template <class Read>
void FuzzReadImageAndParams(TMemoryStream& stream, Read read) {
  for (bool paramsOnly : {false, true}) {
    stream.SetPosition(0);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    FuzzProgress progress;
    read(bitmap, params, progress.record, paramsOnly);
  }
}
