// An in-memory TIFF tag editor: loads every page, tag, strip, tile and the
// EXIF, GPS and interoperability sub-directories of a TIFF, lets a caller
// find, replace, copy and delete tags and pages, and writes a new TIFF with
// every offset recomputed. Pixels are never decoded: strips and tiles travel
// as opaque blocks. The TIFF must begin at position 0 of its stream.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "imaging/core/ruduvazez_tiffifd.h"
#include "platform/rtl/streams.h"

// A classic 12-byte entry kept in the file's byte order. When the data do
// not fit the value field, it holds the index of their block in the data
// list (in the file's byte order too).
using TIETIFFHandlerEntry = TIETIFFEntry;
using TIETIFFEntries = std::vector<TIETIFFHandlerEntry>;

// A value given to SetTag: a number, or a text for ASCII.
using TIETIFFTagValue = std::variant<double, std::string>;

class TIETIFFHandler {
public:
  TIETIFFHandler() = default;
  // An empty handler (Intel, magic 42) that then reads the file or stream.
  static std::unique_ptr<TIETIFFHandler> CreateFromFile(const std::string& fileName);
  static std::unique_ptr<TIETIFFHandler> CreateFromStream(TStream& stream);
  TIETIFFHandler(const TIETIFFHandler&) = delete;
  TIETIFFHandler& operator=(const TIETIFFHandler&) = delete;

  // False when the file does not exist or is not a TIFF.
  bool ReadFile(const std::string& fileName);
  // False when the stream does not start with a TIFF header.
  bool ReadStream(TStream& stream);
  // Reads "II"/"MM", the magic and the first offset, and moves there.
  bool ReadHeader(TStream& stream);
  // ifdIndex -1 (or outside the list) writes every directory, otherwise only that one.
  void WriteFile(const std::string& fileName, int32_t ifdIndex);
  void WriteStream(TStream& stream, int32_t ifdIndex);

  void Clear();
  void DeleteIFD(int32_t index);
  void DeleteTagAt(int32_t ifdIndex, int32_t tagIndex);
  void DeleteTagEx(int32_t ifdIndex, int32_t tagIndex, bool freeBlocks);

  bool Motorola() const { return motorola_; }
  uint16_t Magic() const { return magic_; }
  int32_t IFDCount() const { return static_cast<int32_t>(ifds_.size()); }
  // The entries of a directory; null outside the list.
  TIETIFFEntries* IFD(int32_t index);
  // The entry list of a sub-directory entry (EXIF, GPS, interoperability); null otherwise.
  TIETIFFEntries* SubIFD(const TIETIFFEntries& entries, uint16_t tag);

  int32_t FindTag(int32_t ifdIndex, uint16_t tag);
  int32_t FindTagInList(const TIETIFFEntries& entries, uint16_t tag) const;
  // Item of the tag's entry as an integer; 0 when absent.
  int64_t GetTagInteger(const TIETIFFEntries& entries, uint16_t tag, int32_t item) const;
  // BYTE, ASCII, UNDEFINED: unsigned byte; SHORT, SSHORT: unsigned 16 bits;
  // LONG, SLONG: 32 bits; SBYTE: signed byte; other types 0.
  int64_t GetItemInteger(const TIETIFFEntries& entries, int32_t entryIndex, int32_t item) const;
  // Address of the item inside the entry or its block; null past the data.
  const uint8_t* GetItemAddress(const TIETIFFHandlerEntry& entry, int32_t item) const;
  // The entry's data bytes (file byte order); empty for offsets and sub-directory tags.
  std::vector<uint8_t> GetTagData(const TIETIFFEntries& entries, uint16_t tag) const;

  // Replaces the tag by a single-value entry (ASCII: the text and a NUL).
  void SetTag(TIETIFFEntries& entries, uint16_t tag, const TIETIFFTagValue& value, uint16_t fieldType);
  // Replaces the tag by an entry of raw data given in the file's byte order.
  void SetTagData(TIETIFFEntries& entries, uint16_t tag, uint16_t fieldType, uint32_t count,
                  const std::vector<uint8_t>& data);
  void CopyTag(int32_t sourceIFD, int32_t tagIndex, int32_t destIFD, TIETIFFHandler& source);
  // Copies one entry with all it points to; across byte orders the entry
  // and its items are swapped (blocks of strips, tiles and UNDEFINED data are
  // copied as they are).
  void CopyEntry(const TIETIFFEntries& sourceEntries, int32_t index, TIETIFFEntries& destEntries,
                 const TIETIFFHandler& source);
  void SortIFD(int32_t ifdIndex);
  void SortEntries(TIETIFFEntries& entries) const;

  uint16_t Swap16(uint16_t value) const;
  uint32_t Swap32(uint32_t value) const;

  // Offset / byte-count tag pairs of image blocks; false for other tags.
  bool GetOffsetTagPair(uint16_t tag, uint16_t& offsetsTag, uint16_t& countsTag) const;
  static bool IsSubIFDTag(uint16_t tag);

private:
  struct TBlock {
    std::vector<uint8_t> Bytes;
    std::unique_ptr<TIETIFFEntries> Entries;  // a sub-directory
  };
  struct TReadState;

  uint32_t AddBlock(std::unique_ptr<TBlock> block);
  TBlock* Block(uint32_t index) const;
  void FreeBlock(uint32_t index);
  uint32_t DataSize(const TIETIFFHandlerEntry& entry) const;
  bool IsOffsetsTag(uint16_t tag) const;
  // Indexes of the blocks of an offsets tag.
  std::vector<uint32_t> StripBlocks(const TIETIFFHandlerEntry& entry) const;
  // Points the offsets entry at its blocks: the one index inside it, or a
  // new table of indexes.
  void SetStripBlocks(TIETIFFHandlerEntry& entry, const std::vector<uint32_t>& blocks);

  int64_t ReadIFDList(TStream& stream, TReadState& state, int32_t insertIndex, TIETIFFEntries* target);
  void ReadStrips(TStream& stream, TReadState& state, TIETIFFEntries& entries);
  void DropOldJPEGTags(TIETIFFEntries& entries);
  int64_t WriteIFD(TStream& stream, TIETIFFEntries& entries, int64_t& dataPos);
  void WriteEntryData(TStream& stream, TIETIFFHandlerEntry& entry);
  void DeleteEntry(TIETIFFEntries& entries, int32_t index, bool freeBlocks);

  bool motorola_ = false;
  uint16_t magic_ = 42;
  std::vector<std::unique_ptr<TIETIFFEntries>> ifds_;
  std::vector<std::unique_ptr<TBlock>> data_;
};
