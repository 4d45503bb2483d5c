// The framework's ICO reader (and the metafile header reader) on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "platform/forms/graphics.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

template <class G>
void Load(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.Write(data, static_cast<int32_t>(size));
  stream.Seek(0, TSeekOrigin::soBeginning);
  G graphic;
  try {
    graphic.LoadFromStream(stream);
  } catch (const Exception&) {
  }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  Load<TIcon>(data, size);
  Load<TMetafile>(data, size);
  return 0;
}
