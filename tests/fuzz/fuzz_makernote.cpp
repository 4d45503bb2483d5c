// The EXIF maker-note handler on arbitrary bytes: the note is read in either
// default byte order, every tag read through its reader, written again and
// the written note relocated.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_makernote.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 16)) return 0;
  // The first byte chooses the default order and where the note starts.
  const bool intel = data[0] & 1;
  const int64_t prefix = data[0] >> 1;
  std::vector<uint8_t> bytes(static_cast<size_t>(prefix), 0);
  bytes.insert(bytes.end(), data + 1, data + size);
  TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  stream.SetPosition(prefix);
  TIETagsHandler handler;
  handler.ReadFromStream(stream, static_cast<int32_t>(size - 1), intel, prefix);
  const TIETIFFIFDReader& reader = handler.Reader();
  for (int32_t i = 0; i < reader.EntryCount(); ++i) {
    const uint16_t tag = reader.Entry(i)->Tag;
    for (int64_t item = 0; item < reader.GetValueCount(i) && item < 16; ++item) reader.ReadValue(i, item);
    std::string text;
    reader.ReadString(tag, true, text);
    std::vector<uint8_t> block;
    reader.ReadBytes(tag, block);
  }
  TIETagsHandler copy;
  copy.Assign(handler);
  TMemoryStream out;
  out.Write("pad", 3);
  if (copy.WriteToStream(out, 0) > 0) TIETagsHandlerRelocator(out, 3, 17, intel).Relocate();
  return 0;
}
