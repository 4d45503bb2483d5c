// The layers-and-vectors reader on arbitrary bytes, after both format
// tests (which must never raise).
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/ievect.h"
#include "platform/rtl/exceptions.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (StartImagingLibrary(), true);
  (void)started;
  TIEMemStream stream(data, static_cast<int64_t>(size));
  IEIsVectorStream(stream);
  IEIsLayersAndVectorsStream(stream);
  if (stream.Position() != 0) __builtin_trap();
  TImageryVect view(nullptr);
  view.SetLegacyBitmap(false);
  try {
    view.ReadLayersAndVectors(stream);
  } catch (const Exception&) {
  }
  return 0;
}
