// The vector stream reader on arbitrary bytes, into a view that already
// holds an object (a failed read must leave it), then every object loaded
// drawn into a 64 x 64 bitmap with an alpha channel, where hostile
// coordinates, widths, angles and pool indexes meet the drawing code.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/ievect.h"
#include "platform/rtl/exceptions.h"
#include "tests/fuzz/fuzz_imaging.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool started = (StartImagingLibrary(), true);
  (void)started;
  TImageryVect view(nullptr);
  view.SetLegacyBitmap(false);
  view.SetObjKind(IEV_TEMPLATE, ievkBox);
  view.AddNewObject();
  TIEMemStream stream(data, static_cast<int64_t>(size));
  IEIsVectorStream(stream);
  bool loaded = false;
  try {
    loaded = view.ReadVectorStream(stream, size % 2 == 1);
  } catch (const Exception&) {
    if (view.ObjectsCount() != 1) __builtin_trap();
  }
  if (loaded) {
    TIEBitmap target(64, 64, ie24RGB);
    target.Fill(0xFFFFFF);
    target.GetAlphaChannel()->Fill(0);
    view.DrawObjectsToBitmap(target, size % 3 == 0, true);
    view.GetObjectsExtent();
  }
  return 0;
}
