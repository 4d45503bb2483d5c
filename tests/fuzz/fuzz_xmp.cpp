// The XMP readers on arbitrary bytes: the input is cut into APP1 segments
// (each a 2-byte big-endian length and its payload), the standard and
// extended XMP is read from them, stored again and read back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez_markers.h"
#include "imaging/core/ruduvazez_xmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string whole;
  IEReadXMPBlock(data, static_cast<int64_t>(size), whole);
  TIEMarkerList markers;
  size_t pos = 0;
  while (size - pos >= 2) {
    const size_t length = std::min<size_t>(size_t{data[pos]} << 8 | data[pos + 1], size - pos - 2);
    markers.AddMarker(IE_JPEG_APP1, data + pos + 2, static_cast<int32_t>(length));
    pos += 2 + length;
  }
  const std::string xmp = IEReadXMPMarkers(markers);
  TIEMarkerList stored;
  IEStoreXMPMarkers(stored, xmp);
  if (IEReadXMPMarkers(stored) != xmp) std::abort();
  return 0;
}
