// What the codec harnesses share: the image library started once and
// stopped at exit, and a progress record with an abort flag of its own.
#pragma once

#include <atomic>
#include <cstdlib>

#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_registry.h"

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
