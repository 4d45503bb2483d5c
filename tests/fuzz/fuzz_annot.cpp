// The annotation readers on arbitrary bytes: the TIFF image-annotation block
// (read, written and read again the same), and the library's own block from
// a buffer and from a stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_annot.h"
#include "platform/rtl/exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(data, static_cast<int64_t>(size));
  const std::vector<uint8_t> saved = annot.SaveToBuffer();
  TIEImagingAnnot again;
  again.LoadFromBuffer(saved.data(), static_cast<int64_t>(saved.size()));
  if (again.GetObjectCount() != annot.GetObjectCount() || again.SaveToBuffer() != saved) std::abort();

  TIEImageryAnnot own;
  own.LoadFromBuffer(data, static_cast<int64_t>(size));
  try {
    TIEMemStream stream(data, static_cast<int64_t>(size));
    own.LoadFromStream(stream);
  } catch (const Exception&) {
  }
  return 0;
}
