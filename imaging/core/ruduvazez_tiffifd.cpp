// TIFF and BigTIFF directory reader and writer.
#include "imaging/core/ruduvazez_tiffifd.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "imaging/core/ruduvazez.h"

namespace {

constexpr int32_t kTypeSizes[19] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 1, 1, 8, 8, 8};

uint64_t LoadLE(const uint8_t* bytes, int32_t size) {
  uint64_t value = 0;
  for (int32_t i = size - 1; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

uint64_t LoadOrdered(const uint8_t* bytes, int32_t size, bool intel) {
  if (intel) return LoadLE(bytes, size);
  uint64_t value = 0;
  for (int32_t i = 0; i < size; ++i) value = (value << 8) | bytes[i];
  return value;
}

// Item bytes as stored (file order) turned into a host value by type.
int64_t ItemValue(const uint8_t* bytes, uint16_t type, bool intel) {
  const int32_t size = IETIFFTypeSize(type);
  switch (type) {
    case IE_TIFF_SBYTE: return static_cast<int8_t>(bytes[0]);
    case IE_TIFF_SSHORT: return static_cast<int16_t>(LoadOrdered(bytes, 2, intel));
    case IE_TIFF_SLONG: return static_cast<int32_t>(LoadOrdered(bytes, 4, intel));
    case IE_TIFF_RATIONAL:
    case IE_TIFF_SRATIONAL:
      return static_cast<int64_t>(LoadOrdered(bytes, 4, intel) | (LoadOrdered(bytes + 4, 4, intel) << 32));
    case IE_TIFF_BYTE:
    case IE_TIFF_ASCII:
    case IE_TIFF_UNDEFINED: return bytes[0];
    default: return static_cast<int64_t>(LoadOrdered(bytes, size, intel));
  }
}

// count x size, or -1 when it does not fit a signed 64-bit number.
int64_t DataSize(uint64_t count, int32_t size) {
  if (size <= 0) return 0;
  if (count > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) / static_cast<uint64_t>(size)) return -1;
  return static_cast<int64_t>(count) * size;
}

}  // namespace

int32_t IETIFFTypeSize(int32_t fieldType) { return fieldType >= 1 && fieldType <= 18 ? kTypeSizes[fieldType] : 0; }

void IETIFFSwapItems(uint8_t* data, size_t size, uint16_t fieldType) {
  const int32_t itemSize = IETIFFTypeSize(fieldType);
  const bool halves = fieldType == IE_TIFF_RATIONAL || fieldType == IE_TIFF_SRATIONAL;
  const int32_t unit = halves ? 4 : itemSize;
  if (unit <= 1) return;
  for (size_t at = 0; at + static_cast<size_t>(unit) <= size; at += static_cast<size_t>(unit))
    std::reverse(data + at, data + at + unit);
}

// ---- reader --------------------------------------------------------------------------------

void TIETIFFIFDReader::Clear() { entries_.clear(); }

void TIETIFFIFDReader::Assign(const TIETIFFIFDReader& source) {
  Intel = source.Intel;
  Stream = source.Stream;
  BaseOffset = source.BaseOffset;
  BigTIFF = source.BigTIFF;
  OffsetSize = source.OffsetSize;
  entries_ = source.entries_;
}

const TIETIFFIFDEntry* TIETIFFIFDReader::Entry(int32_t index) const {
  return index >= 0 && index < EntryCount() ? &entries_[static_cast<size_t>(index)] : nullptr;
}

int64_t TIETIFFIFDReader::StreamSize() const { return Stream ? Stream->Size() : 0; }

bool TIETIFFIFDReader::IsOutOfLine(const TIETIFFIFDEntry& entry) const {
  const int64_t size = DataSize(entry.Count, IETIFFTypeSize(entry.FieldType));
  return size < 0 || size > std::min<int64_t>(OffsetSize, BigTIFF ? 8 : 4);
}

TIETIFFIFDEntry TIETIFFIFDReader::DecodeEntry(const uint8_t* raw) const {
  TIETIFFIFDEntry entry;
  entry.Tag = static_cast<uint16_t>(LoadOrdered(raw, 2, Intel));
  entry.FieldType = static_cast<uint16_t>(LoadOrdered(raw + 2, 2, Intel));
  const int32_t countSize = BigTIFF ? 8 : 4;
  entry.Count = LoadOrdered(raw + 4, countSize, Intel);
  const uint8_t* value = raw + 4 + countSize;
  if (IsOutOfLine(entry)) {
    const uint64_t offset = LoadOrdered(value, countSize, Intel);
    for (int32_t i = 0; i < 8; ++i) entry.Value[i] = static_cast<uint8_t>(offset >> (8 * i));
  } else {
    std::memcpy(entry.Value, value, static_cast<size_t>(countSize));
  }
  return entry;
}

bool TIETIFFIFDReader::ReadIFD(int32_t ifdIndex, int32_t& ifdCount, int64_t offset) {
  Clear();
  ifdCount = 0;
  if (!Stream) return false;
  const int64_t streamSize = StreamSize();
  const int32_t countSize = BigTIFF ? 8 : 2, linkSize = BigTIFF ? 8 : 4, entrySize = BigTIFF ? 20 : 12;
  std::set<uint64_t> visited;
  uint64_t current = static_cast<uint64_t>(offset);
  while (visited.insert(current).second) {
    // The directory's count must lie inside the stream.
    if (BaseOffset < 0 || current > static_cast<uint64_t>(streamSize)) break;
    const int64_t position = BaseOffset + static_cast<int64_t>(current);
    if (position < 0 || position > streamSize - countSize) break;
    Stream->Seek(position, soBeginning);
    const uint64_t count = BigTIFF ? IEReadInt64(*Stream, !Intel) : IEReadWord(*Stream, !Intel);
    if (count == 0) break;
    const int64_t remaining = streamSize - (position + countSize);
    if (count > static_cast<uint64_t>(remaining / entrySize)) break;  // more entries than the stream holds
    const int64_t bytes = static_cast<int64_t>(count) * entrySize;
    if (ifdIndex == ifdCount) {
      std::vector<uint8_t> raw(static_cast<size_t>(bytes));
      if (Stream->Read(raw.data(), static_cast<int32_t>(bytes)) != bytes) break;
      entries_.reserve(static_cast<size_t>(count));
      for (uint64_t k = 0; k < count; ++k) entries_.push_back(DecodeEntry(raw.data() + k * entrySize));
    } else {
      Stream->Seek(bytes, soCurrent);
    }
    if (position + countSize + bytes >= streamSize) break;
    uint64_t next = 0;
    if (position + countSize + bytes <= streamSize - linkSize)
      next = BigTIFF ? IEReadInt64(*Stream, !Intel) : IEReadDWord(*Stream, !Intel);
    ++ifdCount;
    if (next < 8 || next >= static_cast<uint64_t>(streamSize - BaseOffset)) break;
    current = next;
  }
  return !entries_.empty();
}

int32_t TIETIFFIFDReader::FindTag(uint16_t tag) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Tag == tag) return static_cast<int32_t>(i);
  return -1;
}

int64_t TIETIFFIFDReader::GetValueCount(int32_t index) const {
  const TIETIFFIFDEntry* entry = Entry(index);
  return entry ? static_cast<int64_t>(std::min<uint64_t>(entry->Count, std::numeric_limits<int64_t>::max())) : 0;
}

int32_t TIETIFFIFDReader::GetValueType(int32_t index) const {
  const TIETIFFIFDEntry* entry = Entry(index);
  return entry ? entry->FieldType : 0;
}

int64_t TIETIFFIFDReader::GetValueOffset(int32_t index) const {
  const TIETIFFIFDEntry* entry = Entry(index);
  return entry ? static_cast<int64_t>(LoadLE(entry->Value, 8)) : 0;
}

int64_t TIETIFFIFDReader::GetValueSize(int32_t index) const {
  const TIETIFFIFDEntry* entry = Entry(index);
  return entry ? std::max<int64_t>(DataSize(entry->Count, IETIFFTypeSize(entry->FieldType)), 0) : 0;
}

bool TIETIFFIFDReader::ReadAt(uint64_t offset, uint64_t length, uint8_t* out) const {
  if (!Stream || BaseOffset < 0) return false;
  const uint64_t room = static_cast<uint64_t>(std::max<int64_t>(StreamSize() - BaseOffset, 0));
  if (offset > room || length > room - offset || length > static_cast<uint64_t>(INT32_MAX)) return false;
  Stream->Seek(BaseOffset + static_cast<int64_t>(offset), soBeginning);
  return Stream->Read(out, static_cast<int32_t>(length)) == static_cast<int32_t>(length);
}

bool TIETIFFIFDReader::ReadDataBytes(const TIETIFFIFDEntry& entry, uint64_t first, uint64_t length,
                                     uint8_t* out) const {
  const int64_t dataSize = DataSize(entry.Count, IETIFFTypeSize(entry.FieldType));
  if (dataSize < 0 || first > static_cast<uint64_t>(dataSize) || length > static_cast<uint64_t>(dataSize) - first)
    return false;
  if (IsOutOfLine(entry)) {
    const uint64_t offset = LoadLE(entry.Value, 8);
    return offset <= UINT64_MAX - first && ReadAt(offset + first, length, out);
  }
  std::memcpy(out, entry.Value + first, static_cast<size_t>(length));
  return true;
}

int64_t TIETIFFIFDReader::ReadValue(int32_t index, int64_t item) const {
  const TIETIFFIFDEntry* entry = Entry(index);
  const int32_t size = entry ? IETIFFTypeSize(entry->FieldType) : 0;
  if (size == 0 || item < 0 || static_cast<uint64_t>(item) >= entry->Count) return 0;
  uint8_t bytes[8] = {};
  if (!ReadDataBytes(*entry, static_cast<uint64_t>(item) * size, static_cast<uint64_t>(size), bytes)) return 0;
  return ItemValue(bytes, entry->FieldType, Intel);
}

int64_t TIETIFFIFDReader::ReadInteger(uint16_t tag, int64_t item, int64_t defaultValue) const {
  const int32_t index = FindTag(tag);
  return index < 0 ? defaultValue : ReadValue(index, item);
}

double TIETIFFIFDReader::ReadRational(uint16_t tag, int32_t item, double defaultValue) const {
  const int32_t index = FindTag(tag);
  if (index < 0) return defaultValue;
  const uint64_t value = static_cast<uint64_t>(ReadValue(index, item));
  const uint32_t low = static_cast<uint32_t>(value), high = static_cast<uint32_t>(value >> 32);
  double numerator = low, denominator = high;
  if (entries_[static_cast<size_t>(index)].FieldType == IE_TIFF_SRATIONAL) {
    numerator = static_cast<int32_t>(low);
    denominator = static_cast<int32_t>(high);
  }
  return numerator / (denominator == 0 ? 1.0 : denominator);
}

bool TIETIFFIFDReader::ReadAllBytes(int32_t index, std::vector<uint8_t>& data) const {
  data.clear();
  const TIETIFFIFDEntry* entry = Entry(index);
  if (!entry) return false;
  const int64_t size = GetValueSize(index);
  if (size <= 0 || (size >= StreamSize() && IsOutOfLine(*entry))) return false;
  data.resize(static_cast<size_t>(size));
  if (ReadDataBytes(*entry, 0, static_cast<uint64_t>(size), data.data())) return true;
  data.clear();
  return false;
}

int32_t TIETIFFIFDReader::ReadIntegerArray(std::vector<int64_t>& buffer, uint16_t tag) const {
  buffer.clear();
  std::vector<uint8_t> bytes;
  const int32_t index = FindTag(tag);
  if (index < 0 || entries_[static_cast<size_t>(index)].Count > static_cast<uint64_t>(INT32_MAX) ||
      !ReadAllBytes(index, bytes))
    return 0;
  const TIETIFFIFDEntry& entry = entries_[static_cast<size_t>(index)];
  const int32_t size = IETIFFTypeSize(entry.FieldType);
  buffer.resize(static_cast<size_t>(entry.Count));
  for (size_t k = 0; k < buffer.size(); ++k) buffer[k] = ItemValue(bytes.data() + k * size, entry.FieldType, Intel);
  return static_cast<int32_t>(buffer.size());
}

void TIETIFFIFDReader::ReadBytes(uint16_t tag, std::vector<uint8_t>& data) const {
  data.clear();
  const TIETIFFIFDEntry* entry = Entry(FindTag(tag));
  if (!entry || entry->Count == 0) return;
  // The block is value-count bytes, whatever the type says of item sizes.
  if (IsOutOfLine(*entry)) {
    if (entry->Count >= static_cast<uint64_t>(StreamSize())) return;
    data.resize(static_cast<size_t>(entry->Count));
    if (!ReadAt(LoadLE(entry->Value, 8), entry->Count, data.data())) data.clear();
  } else {
    data.assign(entry->Value, entry->Value + std::min<uint64_t>(entry->Count, BigTIFF ? 8 : 4));
  }
}

std::unique_ptr<uint8_t[]> TIETIFFIFDReader::ReadRawData(uint16_t tag, int32_t& size) const {
  size = 0;
  std::vector<uint8_t> data;
  ReadBytes(tag, data);
  if (data.empty() || data.size() > static_cast<size_t>(INT32_MAX)) return nullptr;
  auto block = std::make_unique<uint8_t[]>(data.size());
  std::memcpy(block.get(), data.data(), data.size());
  size = static_cast<int32_t>(data.size());
  return block;
}

void TIETIFFIFDReader::ReadString(uint16_t tag, bool cutAtNull, std::string& text) const {
  text.clear();
  const int32_t index = FindTag(tag);
  if (index < 0) return;
  const TIETIFFIFDEntry& entry = entries_[static_cast<size_t>(index)];
  if (IETIFFTypeSize(entry.FieldType) == 1) {
    std::vector<uint8_t> bytes;
    if (ReadAllBytes(index, bytes)) text.assign(bytes.begin(), bytes.end());
  } else if (entry.Count < static_cast<uint64_t>(StreamSize())) {
    std::vector<uint8_t> bytes;
    if (!ReadAllBytes(index, bytes)) return;
    const int32_t size = IETIFFTypeSize(entry.FieldType);
    for (size_t k = 0; k < entry.Count; ++k)
      text.push_back(static_cast<char>(ItemValue(bytes.data() + k * size, entry.FieldType, Intel)));
  }
  if (cutAtNull) text.resize(std::min(text.size(), std::strlen(text.c_str())));
}

void TIETIFFIFDReader::ReadWideString(uint16_t tag, std::u16string& text) const {
  text.clear();
  std::vector<uint8_t> bytes;
  const int32_t index = FindTag(tag);
  if (index < 0 || IETIFFTypeSize(entries_[static_cast<size_t>(index)].FieldType) != 1 ||
      !ReadAllBytes(index, bytes) || bytes.size() < 2)
    return;
  const size_t length = (bytes.size() - 2) / 2;
  text.resize(length);
  for (size_t k = 0; k < length; ++k) text[k] = static_cast<char16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
}

// ---- writer ---------------------------------------------------------------------------------

namespace {

bool TagAllowed(uint16_t tag, const TIETIFFAllowedTags* allowedTags) {
  return !allowedTags || std::find(allowedTags->begin(), allowedTags->end(), tag) != allowedTags->end();
}

void PutLE32(uint8_t* out, uint32_t value) {
  for (int32_t i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

int32_t TIETIFFIFDWriter::AddEntry(uint16_t tag, uint16_t fieldType, uint32_t count, uint32_t value) {
  entries_.push_back({tag, fieldType, count, value});
  return static_cast<int32_t>(entries_.size()) - 1;
}

void TIETIFFIFDWriter::SortEntries() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const TIETIFFEntry& a, const TIETIFFEntry& b) { return a.Tag < b.Tag; });
}

const TIETIFFEntry* TIETIFFIFDWriter::GetEntry(int32_t index) const {
  return index >= 0 && index < GetCount() ? &entries_[static_cast<size_t>(index)] : nullptr;
}

void TIETIFFIFDWriter::AddLong(uint16_t tag, uint32_t value) { AddEntry(tag, IE_TIFF_LONG, 1, value); }

void TIETIFFIFDWriter::AddShort(uint16_t tag, uint16_t value, const TIETIFFAllowedTags* allowedTags) {
  if (TagAllowed(tag, allowedTags)) AddEntry(tag, IE_TIFF_SHORT, 1, value);
}

void TIETIFFIFDWriter::AddByte(uint16_t tag, uint8_t value) { AddEntry(tag, IE_TIFF_BYTE, 1, value); }

void TIETIFFIFDWriter::AddUndefined(uint16_t tag, uint8_t value, const TIETIFFAllowedTags* allowedTags) {
  if (TagAllowed(tag, allowedTags)) AddEntry(tag, IE_TIFF_UNDEFINED, 1, value);
}

void TIETIFFIFDWriter::AddShortAscii(uint16_t tag, const std::string& text) {
  uint8_t value[4] = {};
  const size_t length = std::min<size_t>(text.size(), 4);
  std::memcpy(value, text.data(), length);
  AddEntry(tag, IE_TIFF_ASCII, static_cast<uint32_t>(length), static_cast<uint32_t>(LoadLE(value, 4)));
}

void TIETIFFIFDWriter::AddShortBytes(uint16_t tag, const std::string& text) {
  AddShortAscii(tag, text);
  entries_.back().FieldType = IE_TIFF_BYTE;
}

void TIETIFFIFDWriter::AddOutOfLine(TStream& stream, uint16_t tag, uint16_t fieldType, uint32_t count, bool& failed,
                                    const void* data, size_t size) {
  const int64_t position = IEAlignStreamToWord(stream, failed);
  AddEntry(tag, fieldType, count, static_cast<uint32_t>(position));
  IESafeStreamWrite(stream, failed, data, static_cast<int32_t>(size));
}

void TIETIFFIFDWriter::WriteRational(TStream& stream, uint16_t tag, double value, bool& failed,
                                     const TIETIFFAllowedTags* allowedTags) {
  if (TagAllowed(tag, allowedTags)) WriteRationalArray(stream, tag, failed, {value});
}

void TIETIFFIFDWriter::WriteRationalArray(TStream& stream, uint16_t tag, bool& failed,
                                          const std::vector<double>& values) {
  std::vector<uint8_t> data(values.size() * 8);
  for (size_t i = 0; i < values.size(); ++i) {
    int32_t numerator = 0, denominator = 1;
    IEFloatToFraction(numerator, denominator, 5e-9, values[i]);
    PutLE32(&data[8 * i], static_cast<uint32_t>(numerator));
    PutLE32(&data[8 * i + 4], static_cast<uint32_t>(denominator));
  }
  AddOutOfLine(stream, tag, IE_TIFF_RATIONAL, static_cast<uint32_t>(values.size()), failed, data.data(), data.size());
}

void TIETIFFIFDWriter::WriteAscii(TStream& stream, uint16_t tag, bool& failed, const std::string& text) {
  if (text.empty()) return;
  // The count includes the NUL, as readers expect, so only texts of up to
  // three characters fit inside the entry.
  if (text.size() < 4) {
    AddShortAscii(tag, text + '\0');
    return;
  }
  AddOutOfLine(stream, tag, IE_TIFF_ASCII, static_cast<uint32_t>(text.size() + 1), failed, text.c_str(),
               text.size() + 1);
}

void TIETIFFIFDWriter::WriteWideString(TStream& stream, uint16_t tag, bool& failed, const std::u16string& text) {
  if (text.empty()) return;
  if (text.size() == 1) {
    AddEntry(tag, IE_TIFF_BYTE, 4, text[0]);
    return;
  }
  std::vector<uint8_t> data(text.size() * 2 + 2, 0);
  for (size_t k = 0; k < text.size(); ++k) {
    data[2 * k] = static_cast<uint8_t>(text[k]);
    data[2 * k + 1] = static_cast<uint8_t>(text[k] >> 8);
  }
  AddOutOfLine(stream, tag, IE_TIFF_BYTE, static_cast<uint32_t>(data.size()), failed, data.data(), data.size());
}

void TIETIFFIFDWriter::WriteBytes(TStream& stream, uint16_t tag, bool& failed, const std::vector<uint8_t>& data,
                                  uint16_t fieldType) {
  if (data.empty()) return;
  AddOutOfLine(stream, tag, fieldType, static_cast<uint32_t>(data.size()), failed, data.data(), data.size());
}

void TIETIFFIFDWriter::WriteLongArray(TStream& stream, uint16_t tag, bool& failed, int32_t count,
                                      const std::vector<int32_t>& values) {
  const size_t n = std::min(static_cast<size_t>(std::max(count, 0)), values.size());
  std::vector<uint8_t> data(n * 4);
  for (size_t i = 0; i < n; ++i) PutLE32(&data[4 * i], static_cast<uint32_t>(values[i]));
  AddOutOfLine(stream, tag, IE_TIFF_LONG, static_cast<uint32_t>(n), failed, data.data(), data.size());
}

void TIETIFFIFDWriter::WriteShortArray(TStream& stream, uint16_t tag, bool& failed,
                                       const std::vector<uint16_t>& values) {
  const uint32_t count = static_cast<uint32_t>(values.size());
  if (values.size() <= 2) {
    const uint32_t value = values.empty() ? 0 : values[0] | (values.size() == 2 ? uint32_t{values[1]} << 16 : 0);
    AddEntry(tag, IE_TIFF_SHORT, count, value);
    return;
  }
  std::vector<uint8_t> data(values.size() * 2);
  for (size_t i = 0; i < values.size(); ++i) {
    data[2 * i] = static_cast<uint8_t>(values[i]);
    data[2 * i + 1] = static_cast<uint8_t>(values[i] >> 8);
  }
  AddOutOfLine(stream, tag, IE_TIFF_SHORT, count, failed, data.data(), data.size());
}

// ---- rational approximation -------------------------------------------------------

void IEFloatToFraction(int32_t& numerator, int32_t& denominator, double precision, double value) {
  const int32_t sign = value >= 0 ? 1 : -1;
  const double a = std::fabs(value);
  constexpr double kMax = std::numeric_limits<int32_t>::max();
  if (a == std::trunc(a) && a <= kMax) {
    numerator = sign * static_cast<int32_t>(a);
    denominator = 1;
    return;
  }
  if (a < 1e-19) {
    numerator = sign;
    denominator = 999999999;
    return;
  }
  if (a > 1e19 || a > kMax) {  // too large for 32 bits either way
    numerator = sign * 999999999;
    denominator = 1;
    return;
  }
  double num = std::trunc(a), den = 1, prevDen = 0, x = a;
  for (;;) {
    const double fraction = x - std::trunc(x);
    if (fraction == 0) break;
    x = 1 / fraction;
    const double q = std::trunc(x);
    const double newDen = den * q + prevDen;
    const double newNum = std::trunc(a * newDen + 0.5);
    if (newNum > kMax || newDen > kMax) break;
    const bool more = std::fabs(a - newNum / newDen) >= precision && x != std::trunc(x);
    prevDen = den;
    den = newDen;
    num = newNum;
    if (!more) break;
  }
  numerator = sign * static_cast<int32_t>(num);
  denominator = static_cast<int32_t>(den);
}
