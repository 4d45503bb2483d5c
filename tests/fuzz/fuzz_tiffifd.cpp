// The TIFF and BigTIFF directory reader on arbitrary bytes: every directory
// of the chain, every entry read in every typed way; then the in-memory tag
// editor loads the same bytes and writes them again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffhandler.h"
#include "platform/rtl/exceptions.h"
#include "imaging/core/ruduvazez_tiffifd.h"

namespace {

void ReadEverything(const TIETIFFIFDReader& reader) {
  for (int32_t i = 0; i < reader.EntryCount(); ++i) {
    const uint16_t tag = reader.Entry(i)->Tag;
    const int64_t count = reader.GetValueCount(i);
    for (int64_t item = 0; item < count && item < 64; ++item) reader.ReadValue(i, item);
    reader.ReadValue(i, count - 1);
    reader.ReadRational(tag, 0, 0);
    std::vector<int64_t> values;
    reader.ReadIntegerArray(values, tag);
    std::vector<uint8_t> bytes;
    reader.ReadBytes(tag, bytes);
    int32_t size = 0;
    reader.ReadRawData(tag, size);
    std::string text;
    reader.ReadString(tag, true, text);
    std::u16string wide;
    reader.ReadWideString(tag, wide);
    reader.GetValueOffset(i);
    reader.GetValueSize(i);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 8 || size > (1 << 20)) return 0;
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIETIFFIFDReader reader;
  reader.Stream = &stream;
  reader.Intel = data[0] == 'I';
  reader.BigTIFF = data[2] == 43 || data[3] == 43;
  reader.OffsetSize = reader.BigTIFF ? 8 : 4;
  stream.SetPosition(4);
  int64_t first = reader.BigTIFF ? 0 : IEReadDWord(stream, !reader.Intel);
  if (reader.BigTIFF && size >= 16) {
    stream.SetPosition(8);
    first = static_cast<int64_t>(IEReadInt64(stream, !reader.Intel));
  }
  int32_t count = 0;
  for (int32_t index = 0; index < 8; ++index) {
    if (reader.ReadIFD(index, count, first)) ReadEverything(reader);
    if (index + 1 >= count) break;
  }
  TIETIFFHandler handler;
  try {
    if (handler.ReadStream(stream)) {
      TMemoryStream out;
      handler.WriteStream(out, -1);
    }
  } catch (const Exception&) {  // a short read of a block the stream promised
  }
  return 0;
}
