// Helpers of the TIFF directory tests: byte strings built field by field,
// the header of a TIFF in a stream, and a small image file assembled with
// the directory writer the way the TIFF codec writes one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "tests/imaging/core/test_support.h"

// Bytes appended in one byte order.
class ByteWriter {
public:
  explicit ByteWriter(bool intel) : intel_(intel) {}
  ByteWriter& U8(uint8_t v) {
    bytes_.push_back(static_cast<char>(v));
    return *this;
  }
  ByteWriter& U16(uint16_t v) { return Number(v, 2); }
  ByteWriter& U32(uint32_t v) { return Number(v, 4); }
  ByteWriter& U64(uint64_t v) { return Number(v, 8); }
  ByteWriter& Text(const std::string& text) {
    bytes_ += text;
    return *this;
  }
  // A classic entry.
  ByteWriter& Entry(uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    return U16(tag).U16(type).U32(count).U32(value);
  }
  // A classic entry whose value field holds the bytes as given.
  ByteWriter& EntryBytes(uint16_t tag, uint16_t type, uint32_t count, const std::string& value4) {
    return U16(tag).U16(type).U32(count).Text(value4);
  }
  ByteWriter& PadTo(size_t size) {
    bytes_.resize(size, '\0');
    return *this;
  }
  size_t Size() const { return bytes_.size(); }
  const std::string& Bytes() const { return bytes_; }

private:
  ByteWriter& Number(uint64_t v, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = intel_ ? 8 * i : 8 * (size - 1 - i);
      bytes_.push_back(static_cast<char>((v >> shift) & 0xFF));
    }
    return *this;
  }
  bool intel_;
  std::string bytes_;
};

// Sets the reader up from the TIFF header at the stream's start; the first
// directory's offset, or -1 when the header is not a TIFF header.
inline int64_t PrepareReader(TIETIFFIFDReader& reader, TStream& stream) {
  stream.SetPosition(0);
  char order[2] = {};
  if (stream.Read(order, 2) != 2 || order[0] != order[1] || (order[0] != 'I' && order[0] != 'M')) return -1;
  reader.Intel = order[0] == 'I';
  reader.Stream = &stream;
  reader.BaseOffset = 0;
  const uint16_t magic = IEReadWord(stream, !reader.Intel);
  reader.BigTIFF = magic == 43;
  reader.OffsetSize = reader.BigTIFF ? 8 : 4;
  if (!reader.BigTIFF) return IEReadDWord(stream, !reader.Intel);
  IEReadDWord(stream, !reader.Intel);  // offset size and reserved word
  return static_cast<int64_t>(IEReadInt64(stream, !reader.Intel));
}

// Writes the writer's entries as a little-endian directory at the (even)
// position of the stream, with a zero next link; the directory's offset.
inline uint32_t WriteDirectory(TStream& stream, TIETIFFIFDWriter& writer, bool& failed) {
  writer.SortEntries();
  const uint32_t position = static_cast<uint32_t>(IEAlignStreamToWord(stream, failed));
  ByteWriter out(true);
  out.U16(static_cast<uint16_t>(writer.GetCount()));
  for (int32_t i = 0; i < writer.GetCount(); ++i) {
    const TIETIFFEntry* e = writer.GetEntry(i);
    out.Entry(e->Tag, e->FieldType, e->Count, e->Value);
  }
  out.U32(0);
  IESafeStreamWrite(stream, failed, out.Bytes().data(), static_cast<int32_t>(out.Size()));
  return position;
}

// A little-endian TIFF of a width x height grey image (one strip) whose
// directory holds the image tags and whatever addTags adds.
inline std::string BuildGreyTiff(int32_t width, int32_t height,
                                 const std::function<void(TStream&, TIETIFFIFDWriter&, bool&)>& addTags) {
  TMemoryStream stream;
  bool failed = false;
  ByteWriter header(true);
  header.Text("II").U16(42).U32(0);
  stream.Write(header.Bytes().data(), 8);
  const std::string pixels(static_cast<size_t>(width * height), '\x80');
  stream.Write(pixels.data(), static_cast<int32_t>(pixels.size()));
  TIETIFFIFDWriter writer;
  writer.AddLong(256, static_cast<uint32_t>(width));
  writer.AddLong(257, static_cast<uint32_t>(height));
  writer.AddShort(258, 8);
  writer.AddShort(259, 1);
  writer.AddShort(262, 1);
  writer.AddLong(273, 8);
  writer.AddShort(277, 1);
  writer.AddLong(278, static_cast<uint32_t>(height));
  writer.AddLong(279, static_cast<uint32_t>(pixels.size()));
  writer.WriteRational(stream, 282, 72, failed);
  writer.WriteRational(stream, 283, 72, failed);
  writer.AddShort(296, 2);
  if (addTags) addTags(stream, writer, failed);
  const uint32_t directory = WriteDirectory(stream, writer, failed);
  stream.SetPosition(4);
  ByteWriter link(true);
  link.U32(directory);
  stream.Write(link.Bytes().data(), 4);
  return failed ? std::string() : std::string(static_cast<const char*>(stream.Memory()), stream.Size());
}

// Output of a shell command with its error stream kept apart.
struct CommandResult {
  int status = -1;
  std::string out, err;
};

inline CommandResult RunCapture(const TempFolder& folder, const std::string& command) {
  const std::string out = folder.File("cmd.out"), err = folder.File("cmd.err");
  CommandResult result;
  result.status = RunCommand(command + " >" + out + " 2>" + err);
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}
