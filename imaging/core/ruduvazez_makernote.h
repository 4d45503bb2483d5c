// EXIF maker notes: the handler recognises the camera maker from the
// note's signature, rebuilds its directory and data in a private stream with
// self-contained offsets (read through a TIETIFFIFDReader, copied between
// parameter sets) and writes it back with offsets for its new place; the
// relocator patches the offsets of a note already written after it moved.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_tiffifd.h"
#include "platform/rtl/streams.h"

// How one maker lays out its note.
struct TIEEXIFMakerNoteDeviceInfo {
  // Compared byte for byte with the start of the note (may hold NULs).
  std::string Signature;
  // 0: offsets count from the origin of the stream that holds the whole
  // TIFF; 1: from the note itself (from its embedded header for header kind
  // 1); 2: from an origin the caller gives.
  uint8_t OffsetRule = 0;
  // 0: the directory follows the signature; 1: an 8-byte TIFF header
  // follows it; 2: a 32-bit little-endian directory offset (from the note's
  // start) follows it.
  uint8_t HeaderKind = 0;
  // The TIFF header of kind 1 as found in the note.
  uint8_t Header[8] = {};
  // 0: the enclosing EXIF's byte order; 1: the header's; 2: Intel; 3: Motorola.
  uint8_t ByteOrderRule = 0;
};

// Called for every directory entry as stored (12 bytes in the note's order)
// with its stream position.
using TIEMakerNoteEntryCallback = std::function<void(int64_t entryPosition, bool intel, const uint8_t* entry)>;

class TIETagsHandler {
public:
  TIETagsHandler();
  TIETagsHandler(const TIETagsHandler&) = delete;
  TIETagsHandler& operator=(const TIETagsHandler&) = delete;

  // Frees the raw copy and the rebuilt note; the reader has no entries.
  void Clear();
  void Assign(const TIETagsHandler& source);
  void SetRawData(const std::vector<uint8_t>& buffer) { raw_ = buffer; }
  const std::vector<uint8_t>& RawData() const { return raw_; }
  const TIEEXIFMakerNoteDeviceInfo& Device() const { return device_; }
  // The first known layout whose signature starts the data, else the default.
  static void IdentifyDevice(const uint8_t* data, int32_t size, TIEEXIFMakerNoteDeviceInfo& device);

  // Reads a note of size bytes at the stream's position. A malformed note
  // leaves the handler empty; entries whose data lie outside it keep their
  // tag and type with count and offset 0.
  void ReadFromStream(TStream& stream, int32_t size, bool defaultIntel, int64_t offsetBase,
                      const TIEMakerNoteEntryCallback& callback = nullptr);
  // Writes the note at the stream's position; its length, or 0 (and the
  // position back at the start) when longer than 65000 bytes or empty. A
  // note whose layout takes the EXIF's byte order is written in exifIntel's
  // order (the library writes Intel EXIF), its items swapped when that
  // differs from the order it was read in; other notes keep their own order.
  int32_t WriteToStream(TStream& stream, int32_t dataBase, bool exifIntel = true);
  // Loads the reader's entries from the rebuilt note.
  void ReloadEntries();
  // Replaces the rebuilt note by a block laid out as it is (data in the
  // order intel gives) and loads its entries.
  void SetBlock(const std::vector<uint8_t>& block, bool intel);
  // Answers the note's tags; its stream is the rebuilt note.
  const TIETIFFIFDReader& Reader() const { return reader_; }

private:
  std::vector<uint8_t> raw_;
  TIEEXIFMakerNoteDeviceInfo device_;
  // Entry count (16 bits, host order), the 12-byte entries (tag, type and
  // count in host order; the value field as stored for data inside the
  // entry, else the host offset of the data in this stream), then the data
  // in the note's byte order.
  TMemoryStream block_;
  TIETIFFIFDReader reader_;
};

// Adds delta to every out-of-line offset of a note already written at
// blockPosition of the stream.
class TIETagsHandlerRelocator {
public:
  TIETagsHandlerRelocator(TStream& stream, int64_t blockPosition, int32_t delta, bool defaultIntel);
  void Relocate();
  void RelocateEntry(int64_t entryPosition, bool intel, const uint8_t* entry);

private:
  TStream& stream_;
  int64_t blockPosition_;
  int32_t delta_;
  bool defaultIntel_;
  TIETagsHandler handler_;
};
