// EXIF maker-note handler and relocator.
#include "imaging/core/ruduvazez_makernote.h"

#include <algorithm>
#include <cstring>

#include "imaging/core/ruduvazez.h"

namespace {

using namespace std::string_literals;

// The known layouts, searched in this order.
const TIEEXIFMakerNoteDeviceInfo kDevices[] = {
    {"SONY CAM \0\0\0"s, 0, 0, {}, 0},     {"SONY DSC \0\0\0"s, 0, 0, {}, 0},
    {"Nikon\0\x02\x10\0\0"s, 1, 1, {}, 1}, {"QVC\0\0\0"s, 0, 0, {}, 3},
    {"EPSON\0\x01\0"s, 0, 0, {}, 0},       {"Nikon\0\x01\0"s, 0, 0, {}, 0},
    {"Panasonic\0\0\0"s, 0, 0, {}, 0},     {"FUJIFILM"s, 1, 2, {}, 2},
    {"LEICA\0\0\0"s, 1, 0, {}, 0},         {"OLYMP\0\x02\0"s, 2, 0, {}, 0},
    {"Nikon\0\x02\x11\0\0"s, 1, 1, {}, 1},
};

constexpr uint32_t kMaxEntries = 256;
constexpr int64_t kMaxNoteLength = 65000;

uint16_t Load16(const uint8_t* p, bool intel) { return IESwapWordIf(static_cast<uint16_t>(p[0] | p[1] << 8), !intel); }

uint32_t Load32(const uint8_t* p, bool intel) {
  return IESwapDWordIf(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | uint32_t{p[3]} << 24, !intel);
}

void Store16(uint8_t* p, uint16_t v, bool intel) {
  v = IESwapWordIf(v, !intel);
  std::memcpy(p, &v, 2);
}

void Store32(uint8_t* p, uint32_t v, bool intel) {
  v = IESwapDWordIf(v, !intel);
  std::memcpy(p, &v, 4);
}

// count x type size of a stored entry, in 64 bits.
uint64_t EntryDataSize(uint16_t type, uint32_t count) {
  return uint64_t{count} * static_cast<uint64_t>(IETIFFTypeSize(type));
}

}  // namespace

TIETagsHandler::TIETagsHandler() {
  reader_.Stream = &block_;
  Clear();
}

void TIETagsHandler::Clear() {
  raw_.clear();
  device_ = TIEEXIFMakerNoteDeviceInfo();
  reader_.Clear();
  reader_.Intel = true;
  reader_.BaseOffset = 0;
  block_.Clear();
}

void TIETagsHandler::Assign(const TIETagsHandler& source) {
  if (&source == this) return;
  Clear();
  const int64_t size = const_cast<TMemoryStream&>(source.block_).Size();
  if (size > 0) block_.Write(source.block_.Memory(), static_cast<int32_t>(size));
  reader_.Intel = source.reader_.Intel;
  ReloadEntries();
  raw_ = source.raw_;
  device_ = source.device_;
}

void TIETagsHandler::IdentifyDevice(const uint8_t* data, int32_t size, TIEEXIFMakerNoteDeviceInfo& device) {
  for (const TIEEXIFMakerNoteDeviceInfo& known : kDevices) {
    const size_t length = std::min(static_cast<size_t>(std::max(size, 0)), known.Signature.size());
    if (length > 0 && std::memcmp(data, known.Signature.data(), length) == 0) {
      device = known;
      return;
    }
  }
  device = TIEEXIFMakerNoteDeviceInfo();
}

void TIETagsHandler::SetBlock(const std::vector<uint8_t>& block, bool intel) {
  Clear();
  if (!block.empty()) block_.Write(block.data(), static_cast<int32_t>(block.size()));
  reader_.Intel = intel;
  ReloadEntries();
}

void TIETagsHandler::ReloadEntries() {
  reader_.Clear();
  const int64_t size = block_.Size();
  if (size < 2) return;
  const uint8_t* bytes = static_cast<const uint8_t*>(block_.Memory());
  const uint16_t count = Load16(bytes, true);
  std::vector<TIETIFFIFDEntry> entries;
  for (int64_t k = 0; k < count && 2 + 12 * (k + 1) <= size; ++k) {
    const uint8_t* raw = bytes + 2 + 12 * k;
    TIETIFFIFDEntry entry;
    entry.Tag = Load16(raw, true);
    entry.FieldType = Load16(raw + 2, true);
    entry.Count = Load32(raw + 4, true);
    std::memcpy(entry.Value, raw + 8, 4);
    entries.push_back(entry);
  }
  reader_.SetEntries(std::move(entries));
}

void TIETagsHandler::ReadFromStream(TStream& stream, int32_t size, bool defaultIntel, int64_t offsetBase,
                                    const TIEMakerNoteEntryCallback& callback) {
  Clear();
  if (size <= 1) return;
  try {
    const int64_t blockPosition = stream.Position();
    // Never more than the stream holds.
    const int64_t available = std::max<int64_t>(stream.Size() - blockPosition, 0);
    raw_.resize(static_cast<size_t>(std::min<int64_t>(size, available)));
    stream.ReadBuffer(raw_.data(), static_cast<int32_t>(raw_.size()));
    const int64_t length = static_cast<int64_t>(raw_.size());
    IdentifyDevice(raw_.data(), static_cast<int32_t>(length), device_);
    int64_t d = static_cast<int64_t>(device_.Signature.size()), headerBase = 0;
    if (device_.HeaderKind == 1) {
      if (d + 8 > length) return Clear();
      std::memcpy(device_.Header, raw_.data() + d, 8);
      headerBase = d;
      d += 8;
    } else if (device_.HeaderKind == 2) {
      if (d + 4 > length) return Clear();
      d = Load32(raw_.data() + d, true);
    }
    if (d + 2 > length) return Clear();
    bool intel = defaultIntel;
    if (device_.ByteOrderRule == 1) intel = device_.Header[0] == 'I' && device_.Header[1] == 'I';
    if (device_.ByteOrderRule == 2) intel = true;
    if (device_.ByteOrderRule == 3) intel = false;
    reader_.Intel = intel;
    const uint32_t n = Load16(raw_.data() + d, intel);
    if (n > kMaxEntries || length < 12 * int64_t{n}) return Clear();

    std::vector<uint8_t> rebuilt(2 + 12 * size_t{n}, 0);
    uint16_t stored = 0;
    for (uint32_t k = 0; k < n; ++k) {
      const int64_t at = d + 2 + 12 * int64_t{k};
      if (at + 12 > length) break;
      const uint8_t* raw = raw_.data() + at;
      if (callback) callback(blockPosition + at, intel, raw);
      const uint16_t tag = Load16(raw, intel), type = Load16(raw + 2, intel);
      uint32_t count = Load32(raw + 4, intel);
      uint8_t value[4];
      std::memcpy(value, raw + 8, 4);  // data inside the entry keep the note's order
      const uint64_t dataSize = EntryDataSize(type, count);
      if (dataSize > 4) {
        const int64_t offset = Load32(raw + 8, intel);
        int64_t from = offset - blockPosition;
        if (device_.OffsetRule == 1) from = offset + headerBase;
        if (device_.OffsetRule == 2) from = offset - offsetBase;
        uint32_t newOffset = 0;
        if (from < 0 || dataSize > static_cast<uint64_t>(length - std::min(from, length))) {
          count = 0;
        } else {
          newOffset = static_cast<uint32_t>(rebuilt.size());
          rebuilt.insert(rebuilt.end(), raw_.begin() + from, raw_.begin() + from + static_cast<int64_t>(dataSize));
        }
        Store32(value, newOffset, true);
      }
      uint8_t* slot = rebuilt.data() + 2 + 12 * size_t{stored};
      Store16(slot, tag, true);
      Store16(slot + 2, type, true);
      Store32(slot + 4, count, true);
      std::memcpy(slot + 8, value, 4);
      ++stored;
    }
    // Slots of entries that ran past the note are dropped from the count.
    Store16(rebuilt.data(), stored, true);
    block_.Write(rebuilt.data(), static_cast<int32_t>(rebuilt.size()));
    ReloadEntries();
  } catch (...) {
    Clear();
    throw;
  }
}

int32_t TIETagsHandler::WriteToStream(TStream& stream, int32_t dataBase, bool exifIntel) {
  const int64_t blockSize = block_.Size();
  if (blockSize < 2) return 0;
  const uint8_t* block = static_cast<const uint8_t*>(block_.Memory());
  const int64_t start = stream.Position();
  const int64_t signatureLength = static_cast<int64_t>(device_.Signature.size());
  // A note in the EXIF's order takes the order of the EXIF it goes into;
  // the others keep the order their layout fixes. Items change order with it.
  const bool intel = device_.ByteOrderRule == 0 ? exifIntel : reader_.Intel;
  const bool swap = intel != reader_.Intel;
  stream.WriteBuffer(device_.Signature.data(), static_cast<int32_t>(signatureLength));
  int64_t headerBase = 0;
  if (device_.HeaderKind == 1) {
    uint8_t header[8];
    std::memcpy(header, device_.Header, 8);
    const int64_t directory = start + signatureLength + 8;
    const int64_t headerOffset = device_.OffsetRule == 1   ? 8
                                 : device_.OffsetRule == 2 ? dataBase + directory
                                                           : directory;
    Store32(header + 4, static_cast<uint32_t>(headerOffset), intel);
    stream.WriteBuffer(header, 8);
    headerBase = signatureLength;
  } else if (device_.HeaderKind == 2) {
    uint8_t offset[4];
    Store32(offset, static_cast<uint32_t>(signatureLength + 4), true);
    stream.WriteBuffer(offset, 4);
  }
  const uint16_t n = Load16(block, true);
  uint8_t count[2];
  Store16(count, n, intel);
  stream.WriteBuffer(count, 2);
  const int64_t dirPos = stream.Position();
  std::vector<uint8_t> directory(12 * size_t{n} + 4, 0);
  std::vector<uint8_t> data;
  int64_t dataPos = dirPos + static_cast<int64_t>(directory.size());
  for (uint16_t k = 0; k < n && 2 + 12 * (int64_t{k} + 1) <= blockSize; ++k) {
    const uint8_t* entry = block + 2 + 12 * size_t{k};
    const uint16_t tag = Load16(entry, true), type = Load16(entry + 2, true);
    const uint32_t itemCount = Load32(entry + 4, true);
    uint8_t* out = directory.data() + 12 * size_t{k};
    Store16(out, tag, intel);
    Store16(out + 2, type, intel);
    Store32(out + 4, itemCount, intel);
    std::memcpy(out + 8, entry + 8, 4);
    const uint64_t size = EntryDataSize(type, itemCount);
    if (size <= 4) {
      if (swap) IETIFFSwapItems(out + 8, static_cast<size_t>(size), type);
      continue;
    }
    // Offsets land where the note's rule counts them from.
    int64_t offset = dataPos;
    if (device_.OffsetRule == 1) offset = dataPos - start - headerBase;
    if (device_.OffsetRule == 2) offset = int64_t{dataBase} + dataPos;
    Store32(out + 8, static_cast<uint32_t>(offset), intel);
    const uint64_t from = Load32(entry + 8, true);
    const size_t first = data.size();
    data.resize(first + static_cast<size_t>(std::min<uint64_t>(size, kMaxNoteLength + 1)), 0);
    if (from <= static_cast<uint64_t>(blockSize) && size <= static_cast<uint64_t>(blockSize) - from)
      std::memcpy(data.data() + first, block + from, static_cast<size_t>(size));
    if (swap) IETIFFSwapItems(data.data() + first, data.size() - first, type);
    if (data.size() % 2 == 1) data.push_back(0);  // the next value starts on a word boundary
    dataPos = dirPos + static_cast<int64_t>(directory.size() + data.size());
    if (dataPos - start > kMaxNoteLength) break;
  }
  if (dataPos - start > kMaxNoteLength) {
    stream.Seek(start, soBeginning);
    return 0;
  }
  stream.WriteBuffer(directory.data(), static_cast<int32_t>(directory.size()));
  if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<int32_t>(data.size()));
  return static_cast<int32_t>(dataPos - start);
}

// ---- relocator ---------------------------------------------------------------------------

TIETagsHandlerRelocator::TIETagsHandlerRelocator(TStream& stream, int64_t blockPosition, int32_t delta,
                                                 bool defaultIntel)
    : stream_(stream), blockPosition_(blockPosition), delta_(delta), defaultIntel_(defaultIntel) {}

void TIETagsHandlerRelocator::Relocate() {
  stream_.Seek(blockPosition_, soBeginning);
  // A note we write is at most 65000 bytes; never read more than the stream holds.
  const int64_t size = std::min<int64_t>(std::max<int64_t>(stream_.Size() - blockPosition_, 0), kMaxNoteLength + 1);
  handler_.ReadFromStream(stream_, static_cast<int32_t>(size), defaultIntel_, 0,
                          [this](int64_t position, bool intel, const uint8_t* entry) {
                            RelocateEntry(position, intel, entry);
                          });
}

void TIETagsHandlerRelocator::RelocateEntry(int64_t entryPosition, bool intel, const uint8_t* entry) {
  if (EntryDataSize(Load16(entry + 2, intel), Load32(entry + 4, intel)) < 5) return;
  uint8_t moved[12];
  std::memcpy(moved, entry, 12);
  Store32(moved + 8, Load32(entry + 8, intel) + static_cast<uint32_t>(delta_), intel);
  const int64_t position = stream_.Position();
  stream_.Seek(entryPosition, soBeginning);
  stream_.WriteBuffer(moved, 12);
  stream_.Seek(position, soBeginning);
}
