// In-memory TIFF tag editor.
//
// Sections: byte order and blocks | reading | writing | tags | copying and deleting
#include "imaging/core/ruduvazez_tiffhandler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "platform/rtl/exceptions.h"

namespace {

constexpr uint16_t kStripOffsets = 273, kStripByteCounts = 279, kCompression = 259, kJPEGInterchange = 513,
                   kJPEGInterchangeLength = 514;
// Nesting of sub-directories read (EXIF -> interoperability needs two).
constexpr int32_t kMaxSubIFDDepth = 8;
// What a block costs the read's allocation budget beside its bytes.
constexpr uint64_t kBlockCost = 64;

}  // namespace

// What one read keeps: the stream size, the bytes it may still allocate for
// blocks (a corrupt file cannot make it allocate more than a few times its
// own size) and the directories already read.
struct TIETIFFHandler::TReadState {
  int64_t streamSize = 0;
  int64_t budget = 0;
  std::set<int64_t> visited;
  int32_t depth = 0;
  bool Take(uint64_t bytes) {
    if (bytes > static_cast<uint64_t>(budget)) return false;
    budget -= static_cast<int64_t>(bytes);
    return true;
  }
};

// ---- byte order and blocks ----------------------------------------------------------

uint16_t TIETIFFHandler::Swap16(uint16_t value) const { return IESwapWordIf(value, motorola_); }

uint32_t TIETIFFHandler::Swap32(uint32_t value) const { return IESwapDWordIf(value, motorola_); }

bool TIETIFFHandler::GetOffsetTagPair(uint16_t tag, uint16_t& offsetsTag, uint16_t& countsTag) const {
  struct Pair {
    uint16_t offsets, counts;
    bool hdPhotoOnly;
  };
  static constexpr Pair kPairs[] = {{kStripOffsets, kStripByteCounts, false},
                                    {324, 325, false},
                                    {kJPEGInterchange, kJPEGInterchangeLength, false},
                                    {48320, 48321, true},
                                    {48322, 48323, true}};
  for (const Pair& p : kPairs) {
    if (p.offsets != tag || (p.hdPhotoOnly && magic_ != 444)) continue;
    offsetsTag = p.offsets;
    countsTag = p.counts;
    return true;
  }
  return false;
}

bool TIETIFFHandler::IsOffsetsTag(uint16_t tag) const {
  uint16_t offsets = 0, counts = 0;
  return GetOffsetTagPair(tag, offsets, counts);
}

bool TIETIFFHandler::IsSubIFDTag(uint16_t tag) { return tag == 34665 || tag == 34853 || tag == 40965; }

uint32_t TIETIFFHandler::AddBlock(std::unique_ptr<TBlock> block) {
  data_.push_back(std::move(block));
  return static_cast<uint32_t>(data_.size() - 1);
}

TIETIFFHandler::TBlock* TIETIFFHandler::Block(uint32_t index) const {
  return index < data_.size() ? data_[index].get() : nullptr;
}

void TIETIFFHandler::FreeBlock(uint32_t index) {
  if (index < data_.size()) data_[index].reset();
}

uint32_t TIETIFFHandler::DataSize(const TIETIFFHandlerEntry& entry) const {
  const uint64_t size = uint64_t{Swap32(entry.Count)} * static_cast<uint64_t>(IETIFFTypeSize(Swap16(entry.FieldType)));
  return size > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(size);
}

std::vector<uint32_t> TIETIFFHandler::StripBlocks(const TIETIFFHandlerEntry& entry) const {
  const uint32_t count = Swap32(entry.Count);
  if (count == 1) return {Swap32(entry.Value)};
  std::vector<uint32_t> blocks;
  if (const TBlock* table = Block(Swap32(entry.Value))) {
    blocks.resize(table->Bytes.size() / 4);
    if (!blocks.empty()) std::memcpy(blocks.data(), table->Bytes.data(), blocks.size() * 4);
  }
  return blocks;
}

void TIETIFFHandler::SetStripBlocks(TIETIFFHandlerEntry& entry, const std::vector<uint32_t>& blocks) {
  entry.Count = Swap32(static_cast<uint32_t>(blocks.size()));
  if (blocks.size() == 1) {
    entry.Value = Swap32(blocks[0]);
    return;
  }
  auto table = std::make_unique<TBlock>();
  table->Bytes.resize(blocks.size() * 4);
  if (!blocks.empty()) std::memcpy(table->Bytes.data(), blocks.data(), table->Bytes.size());
  entry.Value = Swap32(AddBlock(std::move(table)));
}

TIETIFFEntries* TIETIFFHandler::IFD(int32_t index) {
  return index >= 0 && index < IFDCount() ? ifds_[static_cast<size_t>(index)].get() : nullptr;
}

TIETIFFEntries* TIETIFFHandler::SubIFD(const TIETIFFEntries& entries, uint16_t tag) {
  const int32_t index = FindTagInList(entries, tag);
  if (index < 0 || !IsSubIFDTag(tag)) return nullptr;
  TBlock* block = Block(Swap32(entries[static_cast<size_t>(index)].Value));
  return block ? block->Entries.get() : nullptr;
}

// ---- reading -----------------------------------------------------------------------------

std::unique_ptr<TIETIFFHandler> TIETIFFHandler::CreateFromFile(const std::string& fileName) {
  auto handler = std::make_unique<TIETIFFHandler>();
  handler->ReadFile(fileName);
  return handler;
}

std::unique_ptr<TIETIFFHandler> TIETIFFHandler::CreateFromStream(TStream& stream) {
  auto handler = std::make_unique<TIETIFFHandler>();
  handler->ReadStream(stream);
  return handler;
}

bool TIETIFFHandler::ReadFile(const std::string& fileName) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(fileName, error)) return false;
  TIEWideFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  return ReadStream(stream);
}

bool TIETIFFHandler::ReadHeader(TStream& stream) {
  uint8_t header[8] = {};
  if (stream.Read(header, 8) != 8) return false;
  if (header[0] != header[1] || (header[0] != 'I' && header[0] != 'M')) return false;
  motorola_ = header[0] == 'M';
  uint16_t magic = 0;
  uint32_t first = 0;
  std::memcpy(&magic, header + 2, 2);
  std::memcpy(&first, header + 4, 4);
  magic_ = Swap16(magic);
  stream.Seek(Swap32(first), soBeginning);
  return true;
}

bool TIETIFFHandler::ReadStream(TStream& stream) {
  Clear();
  stream.SetPosition(0);
  if (!ReadHeader(stream)) return false;
  TReadState state;
  state.streamSize = stream.Size();
  state.budget = 4 * state.streamSize + (1 << 20);
  int64_t position = stream.Position();
  while (position > 0 && position < state.streamSize) {
    stream.Seek(position, soBeginning);
    const int64_t next = ReadIFDList(stream, state, IFDCount(), nullptr);
    if (next == 0 || next == position || state.visited.count(next)) break;
    position = next;
  }
  return true;
}

// Reads the directory at the stream's position into a new main directory
// (inserted at insertIndex) or into target; the next directory's offset.
int64_t TIETIFFHandler::ReadIFDList(TStream& stream, TReadState& state, int32_t insertIndex,
                                    TIETIFFEntries* target) {
  const int64_t dirPos = stream.Position();
  if (!state.visited.insert(dirPos).second) return 0;
  TIETIFFEntries* entries = target;
  if (!entries) {
    auto list = std::make_unique<TIETIFFEntries>();
    entries = list.get();
    ifds_.insert(ifds_.begin() + std::clamp(insertIndex, 0, IFDCount()), std::move(list));
  }
  uint16_t count = 0;
  if (stream.Read(&count, 2) != 2) return 0;
  count = Swap16(count);
  for (uint32_t k = 0; k < count; ++k) {
    stream.Seek(dirPos + 2 + 12 * int64_t{k}, soBeginning);
    TIETIFFHandlerEntry entry;
    uint8_t raw[12];
    if (stream.Read(raw, 12) != 12) break;
    std::memcpy(&entry.Tag, raw, 2);
    std::memcpy(&entry.FieldType, raw + 2, 2);
    std::memcpy(&entry.Count, raw + 4, 4);
    std::memcpy(&entry.Value, raw + 8, 4);
    const uint64_t size = uint64_t{Swap32(entry.Count)} * static_cast<uint64_t>(IETIFFTypeSize(Swap16(entry.FieldType)));
    if (size >= static_cast<uint64_t>(state.streamSize)) break;
    const uint16_t tag = Swap16(entry.Tag);
    const uint32_t offset = Swap32(entry.Value);
    if (IsSubIFDTag(tag) && Swap32(entry.Count) == 1) {
      auto block = std::make_unique<TBlock>();
      block->Entries = std::make_unique<TIETIFFEntries>();
      if (offset < state.streamSize && !state.visited.count(offset) && state.depth < kMaxSubIFDDepth) {
        ++state.depth;
        stream.Seek(offset, soBeginning);
        ReadIFDList(stream, state, 0, block->Entries.get());
        --state.depth;
      }
      entry.Value = Swap32(AddBlock(std::move(block)));
    } else if (size > 4) {
      // Data outside the stream, or more than the read may allocate, drop the entry.
      if (uint64_t{offset} + size > static_cast<uint64_t>(state.streamSize) || !state.Take(size)) continue;
      auto block = std::make_unique<TBlock>();
      block->Bytes.resize(static_cast<size_t>(size));
      stream.Seek(offset, soBeginning);
      stream.ReadBuffer(block->Bytes.data(), static_cast<int32_t>(size));
      entry.Value = Swap32(AddBlock(std::move(block)));
    }
    entries->push_back(entry);
  }
  ReadStrips(stream, state, *entries);
  DropOldJPEGTags(*entries);
  SortEntries(*entries);
  stream.Seek(dirPos + 2 + 12 * int64_t{count}, soBeginning);
  uint32_t next = 0;
  if (target || stream.Read(&next, 4) != 4) return 0;
  return Swap32(next);
}

void TIETIFFHandler::ReadStrips(TStream& stream, TReadState& state, TIETIFFEntries& entries) {
  for (TIETIFFHandlerEntry& entry : entries) {
    uint16_t offsetsTag = 0, countsTag = 0;
    if (!GetOffsetTagPair(Swap16(entry.Tag), offsetsTag, countsTag)) continue;
    const uint16_t type = Swap16(entry.FieldType);
    // Offsets are SHORT or LONG items; anything else has no blocks to read.
    const uint32_t count = type == IE_TIFF_SHORT || type == IE_TIFF_LONG ? Swap32(entry.Count) : 0;
    std::vector<uint32_t> blocks(count);
    for (uint32_t k = 0; k < count; ++k) {
      const uint64_t offset = static_cast<uint64_t>(GetTagInteger(entries, offsetsTag, static_cast<int32_t>(k)));
      uint64_t length = static_cast<uint64_t>(GetTagInteger(entries, countsTag, static_cast<int32_t>(k)));
      // For the JPEG interchange block without a length: the rest of the stream.
      if (offsetsTag == kJPEGInterchange && FindTagInList(entries, countsTag) < 0 &&
          offset < static_cast<uint64_t>(state.streamSize))
        length = static_cast<uint64_t>(state.streamSize) - offset;
      auto block = std::make_unique<TBlock>();
      if (!state.Take(kBlockCost)) {
        blocks.resize(k);
        break;
      }
      if (offset + length <= static_cast<uint64_t>(state.streamSize) && state.Take(length)) {
        block->Bytes.resize(static_cast<size_t>(length));
        stream.Seek(static_cast<int64_t>(offset), soBeginning);
        stream.ReadBuffer(block->Bytes.data(), static_cast<int32_t>(length));
      }
      blocks[k] = AddBlock(std::move(block));
    }
    if (DataSize(entry) > 4) FreeBlock(Swap32(entry.Value));
    entry.FieldType = Swap16(IE_TIFF_LONG);
    SetStripBlocks(entry, blocks);
  }
}

void TIETIFFHandler::DropOldJPEGTags(TIETIFFEntries& entries) {
  if (GetTagInteger(entries, kCompression, 0) != 6 || FindTagInList(entries, kStripOffsets) < 0 ||
      FindTagInList(entries, kJPEGInterchange) < 0)
    return;
  for (uint16_t tag : {kStripOffsets, uint16_t{519}, uint16_t{520}, uint16_t{521}})
    DeleteEntry(entries, FindTagInList(entries, tag), true);
}

// ---- writing ------------------------------------------------------------------------------

void TIETIFFHandler::WriteFile(const std::string& fileName, int32_t ifdIndex) {
  TIEWideFileStream stream(fileName, IE_FILE_CREATE);
  WriteStream(stream, ifdIndex);
}

namespace {

void AlignOrRaise(TStream& stream) {
  bool failed = false;
  IEAlignStreamToWord(stream, failed);
  if (failed) throw EWriteError("Stream write error");
}

void WriteAt(TStream& stream, int64_t position, const void* data, int32_t size) {
  stream.Seek(position, soBeginning);
  stream.WriteBuffer(data, size);
}

}  // namespace

void TIETIFFHandler::WriteStream(TStream& stream, int32_t ifdIndex) {
  const int64_t start = stream.Position();
  const char* order = motorola_ ? "MM" : "II";
  const uint16_t magic = Swap16(magic_);
  const uint32_t first = Swap32(static_cast<uint32_t>(start + 8));
  stream.WriteBuffer(order, 2);
  stream.WriteBuffer(&magic, 2);
  stream.WriteBuffer(&first, 4);
  std::vector<TIETIFFEntries*> pages;
  if (ifdIndex >= 0 && ifdIndex < IFDCount())
    pages.push_back(ifds_[static_cast<size_t>(ifdIndex)].get());
  else
    for (auto& ifd : ifds_) pages.push_back(ifd.get());
  int64_t linkSlot = start + 4;
  for (TIETIFFEntries* entries : pages) {
    // Directories start on a word boundary, as the format requires.
    AlignOrRaise(stream);
    const uint32_t here = Swap32(static_cast<uint32_t>(stream.Position()));
    WriteAt(stream, linkSlot, &here, 4);
    stream.Seek(Swap32(here), soBeginning);
    SortEntries(*entries);
    int64_t dataPos = 0;
    linkSlot = WriteIFD(stream, *entries, dataPos);
    stream.Seek(dataPos, soBeginning);
  }
  const uint32_t zero = 0;
  const int64_t end = stream.Position();
  WriteAt(stream, linkSlot, &zero, 4);
  stream.Seek(end, soBeginning);
}

// Writes the directory at the stream's position and its data after it;
// dataPos ends after the data. Answers the position of its next link.
int64_t TIETIFFHandler::WriteIFD(TStream& stream, TIETIFFEntries& entries, int64_t& dataPos) {
  const bool addStrip = FindTagInList(entries, kJPEGInterchange) >= 0 && FindTagInList(entries, kStripOffsets) < 0;
  const size_t n = entries.size() + (addStrip ? 1 : 0);
  const int64_t dirPos = stream.Position();
  const uint16_t count = Swap16(static_cast<uint16_t>(n));
  stream.WriteBuffer(&count, 2);
  const std::vector<uint8_t> slots(12 * n + 4, 0);
  stream.WriteBuffer(slots.data(), static_cast<int32_t>(slots.size()));
  dataPos = stream.Position();
  for (size_t i = 0; i < n && i < entries.size(); ++i) {
    stream.Seek(dataPos, soBeginning);
    TIETIFFHandlerEntry out = entries[i];
    WriteEntryData(stream, out);
    dataPos = stream.Position();
    WriteAt(stream, dirPos + 2 + 12 * static_cast<int64_t>(i), &out, 12);
    if (addStrip && Swap16(out.Tag) == kJPEGInterchange) {
      // An old-style JPEG page: StripOffsets points at the start of scan
      // inside the interchange block.
      const std::vector<uint32_t> blocks = StripBlocks(entries[i]);
      const TBlock* block = blocks.empty() ? nullptr : Block(blocks.front());
      const std::vector<uint8_t> none;
      const std::vector<uint8_t>& bytes = block ? block->Bytes : none;
      const int64_t length = GetTagInteger(entries, kJPEGInterchangeLength, 0);
      const size_t limit = length > 0 ? std::min(bytes.size(), static_cast<size_t>(length)) : bytes.size();
      size_t sos = 0;
      while (sos + 1 < limit && !(bytes[sos] == 0xFF && bytes[sos + 1] == 0xDA)) ++sos;
      SetTag(entries, kStripOffsets, static_cast<double>(Swap32(out.Value) + sos), IE_TIFF_IFD);
    }
  }
  if (addStrip && entries.size() == n) entries.pop_back();
  return dirPos + 2 + 12 * static_cast<int64_t>(n);
}

void TIETIFFHandler::WriteEntryData(TStream& stream, TIETIFFHandlerEntry& entry) {
  const uint16_t tag = Swap16(entry.Tag);
  uint16_t offsetsTag = 0, countsTag = 0;
  if (tag == kStripOffsets && Swap16(entry.FieldType) == IE_TIFF_IFD) {
    entry.FieldType = Swap16(IE_TIFF_LONG);  // the start-of-scan pointer made above
    return;
  }
  if (GetOffsetTagPair(tag, offsetsTag, countsTag)) {
    const std::vector<uint32_t> blocks = StripBlocks(entry);
    std::vector<uint32_t> offsets;
    for (uint32_t index : blocks) {
      offsets.push_back(Swap32(static_cast<uint32_t>(stream.Position())));
      if (const TBlock* block = Block(index); block && !block->Bytes.empty())
        stream.WriteBuffer(block->Bytes.data(), static_cast<int32_t>(block->Bytes.size()));
    }
    entry.Count = Swap32(static_cast<uint32_t>(offsets.size()));
    if (offsets.size() == 1) {
      entry.Value = offsets[0];
    } else {
      AlignOrRaise(stream);
      entry.Value = Swap32(static_cast<uint32_t>(stream.Position()));
      stream.WriteBuffer(offsets.data(), static_cast<int32_t>(offsets.size() * 4));
    }
    return;
  }
  if (IsSubIFDTag(tag) && Swap32(entry.Count) == 1) {
    const TBlock* block = Block(Swap32(entry.Value));
    if (!block || !block->Entries) return;
    AlignOrRaise(stream);
    entry.Value = Swap32(static_cast<uint32_t>(stream.Position()));
    int64_t subData = 0;
    const int64_t link = WriteIFD(stream, *block->Entries, subData);
    const uint32_t zero = 0;
    WriteAt(stream, link, &zero, 4);
    stream.Seek(subData, soBeginning);
    return;
  }
  const uint32_t size = DataSize(entry);
  if (size <= 4) return;
  const TBlock* block = Block(Swap32(entry.Value));
  AlignOrRaise(stream);
  entry.Value = Swap32(static_cast<uint32_t>(stream.Position()));
  if (block && block->Bytes.size() >= size) stream.WriteBuffer(block->Bytes.data(), static_cast<int32_t>(size));
}

// ---- tags -------------------------------------------------------------------------------------

int32_t TIETIFFHandler::FindTag(int32_t ifdIndex, uint16_t tag) {
  const TIETIFFEntries* entries = IFD(ifdIndex);
  return entries ? FindTagInList(*entries, tag) : -1;
}

int32_t TIETIFFHandler::FindTagInList(const TIETIFFEntries& entries, uint16_t tag) const {
  for (size_t i = 0; i < entries.size(); ++i)
    if (Swap16(entries[i].Tag) == tag) return static_cast<int32_t>(i);
  return -1;
}

const uint8_t* TIETIFFHandler::GetItemAddress(const TIETIFFHandlerEntry& entry, int32_t item) const {
  const int32_t itemSize = IETIFFTypeSize(Swap16(entry.FieldType));
  const uint32_t size = DataSize(entry);
  if (item < 0 || itemSize == 0 || uint64_t{static_cast<uint32_t>(item)} * itemSize + itemSize > size) return nullptr;
  const size_t at = static_cast<size_t>(item) * static_cast<size_t>(itemSize);
  if (size <= 4) return reinterpret_cast<const uint8_t*>(&entry.Value) + at;
  const TBlock* block = Block(Swap32(entry.Value));
  return block && at + static_cast<size_t>(itemSize) <= block->Bytes.size() ? block->Bytes.data() + at : nullptr;
}

int64_t TIETIFFHandler::GetItemInteger(const TIETIFFEntries& entries, int32_t entryIndex, int32_t item) const {
  if (entryIndex < 0 || entryIndex >= static_cast<int32_t>(entries.size())) return 0;
  const TIETIFFHandlerEntry& entry = entries[static_cast<size_t>(entryIndex)];
  const uint8_t* at = GetItemAddress(entry, item);
  if (!at) return 0;
  uint16_t u16 = 0;
  uint32_t u32 = 0;
  switch (Swap16(entry.FieldType)) {
    case IE_TIFF_BYTE:
    case IE_TIFF_ASCII:
    case IE_TIFF_UNDEFINED: return *at;
    case IE_TIFF_SBYTE: return static_cast<int8_t>(*at);
    case IE_TIFF_SHORT:
    case IE_TIFF_SSHORT: std::memcpy(&u16, at, 2); return Swap16(u16);
    case IE_TIFF_LONG:
    case IE_TIFF_SLONG: std::memcpy(&u32, at, 4); return Swap32(u32);
    default: return 0;
  }
}

int64_t TIETIFFHandler::GetTagInteger(const TIETIFFEntries& entries, uint16_t tag, int32_t item) const {
  return GetItemInteger(entries, FindTagInList(entries, tag), item);
}

std::vector<uint8_t> TIETIFFHandler::GetTagData(const TIETIFFEntries& entries, uint16_t tag) const {
  const int32_t index = FindTagInList(entries, tag);
  if (index < 0 || IsOffsetsTag(tag) || IsSubIFDTag(tag)) return {};
  const TIETIFFHandlerEntry& entry = entries[static_cast<size_t>(index)];
  const uint32_t size = DataSize(entry);
  const uint8_t* first = GetItemAddress(entry, 0);
  return first ? std::vector<uint8_t>(first, first + size) : std::vector<uint8_t>();
}

void TIETIFFHandler::SetTagData(TIETIFFEntries& entries, uint16_t tag, uint16_t fieldType, uint32_t count,
                                const std::vector<uint8_t>& data) {
  DeleteEntry(entries, FindTagInList(entries, tag), true);
  TIETIFFHandlerEntry entry{Swap16(tag), Swap16(fieldType), Swap32(count), 0};
  const uint32_t size = DataSize(entry);
  if (size > 4) {
    auto block = std::make_unique<TBlock>();
    block->Bytes.assign(data.begin(), data.begin() + std::min<size_t>(data.size(), size));
    block->Bytes.resize(size, 0);
    entry.Value = Swap32(AddBlock(std::move(block)));
  } else {
    std::memcpy(&entry.Value, data.data(), std::min<size_t>(data.size(), size));
  }
  entries.push_back(entry);
}

void TIETIFFHandler::SetTag(TIETIFFEntries& entries, uint16_t tag, const TIETIFFTagValue& value, uint16_t fieldType) {
  if (fieldType == IE_TIFF_ASCII) {
    std::string text = std::holds_alternative<std::string>(value) ? std::get<std::string>(value)
                                                                   : IEFloatToStrDot(std::get<double>(value));
    text.resize(std::strlen(text.c_str()));
    SetTagData(entries, tag, fieldType, static_cast<uint32_t>(text.size() + 1),
               std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1));
    return;
  }
  const double number =
      std::holds_alternative<double>(value) ? std::get<double>(value) : IEStrToFloatDef(std::get<std::string>(value), 0);
  // Numbers in the file's byte order, through a 64-bit integer for the integral types.
  const int64_t whole = std::isfinite(number) ? static_cast<int64_t>(std::clamp(number, -9.2e18, 9.2e18)) : 0;
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max(IETIFFTypeSize(fieldType), 1)), 0);
  auto put = [&](uint64_t v, int32_t size, int32_t at) {
    for (int32_t i = 0; i < size; ++i) {
      const int32_t shift = motorola_ ? 8 * (size - 1 - i) : 8 * i;
      bytes[static_cast<size_t>(at + i)] = static_cast<uint8_t>(v >> shift);
    }
  };
  switch (fieldType) {
    case IE_TIFF_RATIONAL:
    case IE_TIFF_SRATIONAL:
      put(static_cast<uint32_t>(static_cast<int64_t>(std::trunc(std::clamp(number, -2e5, 4e5) * 10000))), 4, 0);
      put(10000, 4, 4);
      break;
    case IE_TIFF_FLOAT: {
      const float f = static_cast<float>(number);
      uint32_t bits = 0;
      std::memcpy(&bits, &f, 4);
      put(bits, 4, 0);
      break;
    }
    case IE_TIFF_DOUBLE: {
      uint64_t bits = 0;
      std::memcpy(&bits, &number, 8);
      put(bits, 8, 0);
      break;
    }
    default: put(static_cast<uint64_t>(whole), static_cast<int32_t>(bytes.size()), 0);
  }
  SetTagData(entries, tag, fieldType, 1, bytes);
}

void TIETIFFHandler::SortIFD(int32_t ifdIndex) {
  if (TIETIFFEntries* entries = IFD(ifdIndex)) SortEntries(*entries);
}

void TIETIFFHandler::SortEntries(TIETIFFEntries& entries) const {
  std::stable_sort(entries.begin(), entries.end(), [this](const TIETIFFHandlerEntry& a, const TIETIFFHandlerEntry& b) {
    return Swap16(a.Tag) < Swap16(b.Tag);
  });
}

// ---- copying and deleting ---------------------------------------------------------------

void TIETIFFHandler::CopyTag(int32_t sourceIFD, int32_t tagIndex, int32_t destIFD, TIETIFFHandler& source) {
  TIETIFFEntries* from = source.IFD(sourceIFD);
  TIETIFFEntries* to = IFD(destIFD);
  if (from && to) CopyEntry(*from, tagIndex, *to, source);
}

void TIETIFFHandler::CopyEntry(const TIETIFFEntries& sourceEntries, int32_t index, TIETIFFEntries& destEntries,
                               const TIETIFFHandler& source) {
  if (index < 0 || index >= static_cast<int32_t>(sourceEntries.size())) return;
  const TIETIFFHandlerEntry& from = sourceEntries[static_cast<size_t>(index)];
  const uint16_t tag = source.Swap16(from.Tag), fieldType = source.Swap16(from.FieldType);
  const uint32_t count = source.Swap32(from.Count);
  const bool swap = source.motorola_ != motorola_;
  if (&sourceEntries == &destEntries) return;
  DeleteEntry(destEntries, FindTagInList(destEntries, tag), true);
  TIETIFFHandlerEntry entry{Swap16(tag), Swap16(fieldType), Swap32(count), from.Value};
  uint16_t offsetsTag = 0, countsTag = 0;
  if (source.GetOffsetTagPair(tag, offsetsTag, countsTag)) {
    std::vector<uint32_t> blocks;
    for (uint32_t block : source.StripBlocks(from)) {
      auto copy = std::make_unique<TBlock>();
      if (const TBlock* original = source.Block(block)) copy->Bytes = original->Bytes;
      blocks.push_back(AddBlock(std::move(copy)));
    }
    SetStripBlocks(entry, blocks);
  } else if (IsSubIFDTag(tag) && count == 1) {
    auto block = std::make_unique<TBlock>();
    block->Entries = std::make_unique<TIETIFFEntries>();
    if (const TBlock* original = source.Block(source.Swap32(from.Value)); original && original->Entries)
      for (size_t k = 0; k < original->Entries->size(); ++k)
        CopyEntry(*original->Entries, static_cast<int32_t>(k), *block->Entries, source);
    entry.Value = Swap32(AddBlock(std::move(block)));
  } else if (source.DataSize(from) > 4) {
    auto block = std::make_unique<TBlock>();
    if (const TBlock* original = source.Block(source.Swap32(from.Value))) block->Bytes = original->Bytes;
    if (swap) IETIFFSwapItems(block->Bytes.data(), block->Bytes.size(), fieldType);
    entry.Value = Swap32(AddBlock(std::move(block)));
  } else if (swap) {
    IETIFFSwapItems(reinterpret_cast<uint8_t*>(&entry.Value), source.DataSize(from), fieldType);
  }
  destEntries.push_back(entry);
}

void TIETIFFHandler::DeleteEntry(TIETIFFEntries& entries, int32_t index, bool freeBlocks) {
  if (index < 0 || index >= static_cast<int32_t>(entries.size())) return;
  const TIETIFFHandlerEntry entry = entries[static_cast<size_t>(index)];
  entries.erase(entries.begin() + index);
  if (!freeBlocks) return;
  const uint16_t tag = Swap16(entry.Tag);
  if (IsOffsetsTag(tag) && Swap16(entry.FieldType) != IE_TIFF_IFD) {
    for (uint32_t block : StripBlocks(entry)) FreeBlock(block);
    if (Swap32(entry.Count) != 1) FreeBlock(Swap32(entry.Value));
  } else if (IsSubIFDTag(tag) && Swap32(entry.Count) == 1) {
    if (TBlock* block = Block(Swap32(entry.Value)); block && block->Entries)
      while (!block->Entries->empty())
        DeleteEntry(*block->Entries, static_cast<int32_t>(block->Entries->size()) - 1, true);
    FreeBlock(Swap32(entry.Value));
  } else if (DataSize(entry) > 4) {
    FreeBlock(Swap32(entry.Value));
  }
}

void TIETIFFHandler::DeleteTagEx(int32_t ifdIndex, int32_t tagIndex, bool freeBlocks) {
  if (TIETIFFEntries* entries = IFD(ifdIndex)) DeleteEntry(*entries, tagIndex, freeBlocks);
}

void TIETIFFHandler::DeleteTagAt(int32_t ifdIndex, int32_t tagIndex) { DeleteTagEx(ifdIndex, tagIndex, true); }

void TIETIFFHandler::DeleteIFD(int32_t index) {
  TIETIFFEntries* entries = IFD(index);
  if (!entries) return;
  while (!entries->empty()) DeleteEntry(*entries, static_cast<int32_t>(entries->size()) - 1, true);
  ifds_.erase(ifds_.begin() + index);
}

void TIETIFFHandler::Clear() {
  ifds_.clear();
  data_.clear();
}
