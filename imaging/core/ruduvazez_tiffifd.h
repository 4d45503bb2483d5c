// TIFF and BigTIFF image file directories: a reader that loads one
// directory of a TIFF held in any stream and answers typed questions about
// its tags, and a writer that collects the 12-byte entries of a directory
// being written while it writes their out-of-line data.
//
// Sections: field types | reader | writer | rational approximation
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/streams.h"

// ---- field types ---------------------------------------------------------------------

enum : uint16_t {
  IE_TIFF_BYTE = 1,
  IE_TIFF_ASCII = 2,
  IE_TIFF_SHORT = 3,
  IE_TIFF_LONG = 4,
  IE_TIFF_RATIONAL = 5,
  IE_TIFF_SBYTE = 6,
  IE_TIFF_UNDEFINED = 7,
  IE_TIFF_SSHORT = 8,
  IE_TIFF_SLONG = 9,
  IE_TIFF_SRATIONAL = 10,
  IE_TIFF_FLOAT = 11,
  IE_TIFF_DOUBLE = 12,
  IE_TIFF_IFD = 13,
  IE_TIFF_LONG8 = 16,
  IE_TIFF_SLONG8 = 17,
  IE_TIFF_IFD8 = 18,
};

// Size in bytes of one item of a field type; 0 for a type outside 1..18.
int32_t IETIFFTypeSize(int32_t fieldType);
// Reverses the bytes of every item of size bytes of data in place (each half
// of a rational on its own): the data in the other byte order.
void IETIFFSwapItems(uint8_t* data, size_t size, uint16_t fieldType);

// ---- reader --------------------------------------------------------------------------------

// One directory entry in host order. The value field keeps the bytes as
// stored when the data fit inside the entry, else holds the offset.
struct TIETIFFIFDEntry {
  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  uint64_t Count = 0;
  uint8_t Value[8] = {};
};

// Loads one directory of a classic or BigTIFF file. Set the byte order,
// stream, base offset, BigTIFF flag and offset size before ReadIFD. Every
// count, offset and size read from the file is checked against the stream
// before use; what does not fit reads as absent.
class TIETIFFIFDReader {
public:
  TIETIFFIFDReader() = default;
  TIETIFFIFDReader(const TIETIFFIFDReader&) = delete;
  TIETIFFIFDReader& operator=(const TIETIFFIFDReader&) = delete;

  // Byte order ("II" true, "MM" false), source stream (not owned), stream
  // position of the TIFF header, BigTIFF layout and the largest data size an
  // entry holds inside itself (4 classic, 8 BigTIFF).
  bool Intel = true;
  TStream* Stream = nullptr;
  int64_t BaseOffset = 0;
  bool BigTIFF = false;
  int32_t OffsetSize = 4;

  // Frees the loaded entries.
  void Clear();
  // Copies the settings and the loaded entries of source.
  void Assign(const TIETIFFIFDReader& source);
  // Loads directory ifdIndex of the chain that starts at offset (from the
  // base). ifdCount becomes the number of directories in the chain; a chain
  // that comes back to a directory already visited ends there. False when
  // the wanted directory was not loaded.
  bool ReadIFD(int32_t ifdIndex, int32_t& ifdCount, int64_t offset);

  int32_t EntryCount() const { return static_cast<int32_t>(entries_.size()); }
  const TIETIFFIFDEntry* Entry(int32_t index) const;
  // Replaces the loaded entries (already in host order) by entries.
  void SetEntries(std::vector<TIETIFFIFDEntry> entries) { entries_ = std::move(entries); }

  // Index of the first entry with tag; -1 when absent.
  int32_t FindTag(uint16_t tag) const;
  int64_t GetValueCount(int32_t index) const;
  int32_t GetValueType(int32_t index) const;
  // The offset of out-of-line data, or the value field read as a
  // little-endian number when the data fit inside the entry.
  int64_t GetValueOffset(int32_t index) const;
  // count x type size; 0 for an absent entry or when it does not fit 64 bits.
  int64_t GetValueSize(int32_t index) const;

  // One item of an entry in host order: unsigned types zero-extended, SBYTE,
  // SSHORT and SLONG sign-extended, RATIONAL halves numerator low, 8-byte
  // types whole. 0 for an item past the count or data past the stream.
  int64_t ReadValue(int32_t index, int64_t item) const;
  int64_t ReadInteger(uint16_t tag, int64_t item, int64_t defaultValue) const;
  // Numerator / denominator (0 taken as 1), signed for SRATIONAL, unsigned
  // otherwise; defaultValue when the tag is absent.
  double ReadRational(uint16_t tag, int32_t item, double defaultValue) const;
  // Every item as a 64-bit number; returns the count (0 and an empty buffer
  // when absent or when the data do not lie inside the stream).
  int32_t ReadIntegerArray(std::vector<int64_t>& buffer, uint16_t tag) const;
  // Value-count bytes of the tag's data (the entry's own bytes when they fit
  // inside it); empty when absent or past the stream.
  void ReadBytes(uint16_t tag, std::vector<uint8_t>& data) const;
  // As ReadBytes as a new block; null (size 0) when absent or too large.
  std::unique_ptr<uint8_t[]> ReadRawData(uint16_t tag, int32_t& size) const;
  // Value-count characters, cut before the first NUL when cutAtNull.
  void ReadString(uint16_t tag, bool cutAtNull, std::string& text) const;
  // UTF-16 little-endian text stored as (count - 2) / 2 characters.
  void ReadWideString(uint16_t tag, std::u16string& text) const;

private:
  int64_t StreamSize() const;
  // True when the entry's data lie outside it.
  bool IsOutOfLine(const TIETIFFIFDEntry& entry) const;
  // Bytes [first, first + length) of the entry's data; false when they do
  // not lie inside the entry or the stream.
  // length bytes at offset from the base, when they lie inside the stream.
  bool ReadAt(uint64_t offset, uint64_t length, uint8_t* out) const;
  bool ReadDataBytes(const TIETIFFIFDEntry& entry, uint64_t first, uint64_t length, uint8_t* out) const;
  // The entry's data bytes when the count is below the stream size.
  bool ReadAllBytes(int32_t index, std::vector<uint8_t>& data) const;
  TIETIFFIFDEntry DecodeEntry(const uint8_t* raw) const;

  std::vector<TIETIFFIFDEntry> entries_;
};

// ---- writer -------------------------------------------------------------------------------

// A classic 12-byte entry in host order.
struct TIETIFFEntry {
  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  uint32_t Count = 0;
  uint32_t Value = 0;
};

// Tags a writer may add; null allows every tag.
using TIETIFFAllowedTags = std::vector<uint16_t>;

// Collects the entries of one directory. The out-of-line data of each
// Write operation go to the stream at its (word-aligned) position, which
// becomes the entry's offset; short writes set the caller's failed flag.
class TIETIFFIFDWriter {
public:
  int32_t AddEntry(uint16_t tag, uint16_t fieldType, uint32_t count, uint32_t value);
  // Ascending by tag; entries with equal tags keep their order.
  void SortEntries();
  int32_t GetCount() const { return static_cast<int32_t>(entries_.size()); }
  const TIETIFFEntry* GetEntry(int32_t index) const;

  void AddLong(uint16_t tag, uint32_t value);
  void AddShort(uint16_t tag, uint16_t value, const TIETIFFAllowedTags* allowedTags = nullptr);
  void AddByte(uint16_t tag, uint8_t value);
  void AddUndefined(uint16_t tag, uint8_t value, const TIETIFFAllowedTags* allowedTags = nullptr);
  // ASCII, count = text length (at most 4), the characters in the value field.
  void AddShortAscii(uint16_t tag, const std::string& text);
  // The same as BYTE.
  void AddShortBytes(uint16_t tag, const std::string& text);

  void WriteRational(TStream& stream, uint16_t tag, double value, bool& failed,
                     const TIETIFFAllowedTags* allowedTags = nullptr);
  void WriteRationalArray(TStream& stream, uint16_t tag, bool& failed, const std::vector<double>& values);
  // Count = length + 1 (the NUL); inside the entry up to three characters.
  void WriteAscii(TStream& stream, uint16_t tag, bool& failed, const std::string& text);
  void WriteWideString(TStream& stream, uint16_t tag, bool& failed, const std::u16string& text);
  void WriteBytes(TStream& stream, uint16_t tag, bool& failed, const std::vector<uint8_t>& data, uint16_t fieldType);
  void WriteLongArray(TStream& stream, uint16_t tag, bool& failed, int32_t count, const std::vector<int32_t>& values);
  void WriteShortArray(TStream& stream, uint16_t tag, bool& failed, const std::vector<uint16_t>& values);

private:
  // Aligns the stream, writes the bytes and adds the entry pointing at them.
  void AddOutOfLine(TStream& stream, uint16_t tag, uint16_t fieldType, uint32_t count, bool& failed,
                    const void* data, size_t size);

  std::vector<TIETIFFEntry> entries_;
};

// ---- rational approximation -------------------------------------------------------

// Numerator / denominator within precision of value (continued fractions),
// both fitting signed 32 bits.
void IEFloatToFraction(int32_t& numerator, int32_t& denominator, double precision, double value);
