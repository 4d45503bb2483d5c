// The JPEG marker list and the IPTC data sets.
#include "imaging/core/ruduvazez_markers.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/core/ruduvazez_containers.h"
#include "platform/rtl/exceptions.h"

namespace {

// length bytes read into a new block; the length was checked against the stream.
std::vector<uint8_t> ReadBytes(TStream& stream, int32_t length) {
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  if (length > 0) stream.ReadBuffer(bytes.data(), length);
  return bytes;
}

std::vector<uint8_t> CopyBytes(const void* data, int32_t length) {
  const auto* p = static_cast<const uint8_t*>(data);
  return length > 0 && p ? std::vector<uint8_t>(p, p + length) : std::vector<uint8_t>{};
}

bool StartsWith(const std::vector<uint8_t>& data, const char* text, size_t length) {
  return data.size() >= length && std::memcmp(data.data(), text, length) == 0;
}

// The chunk number of an APP2 ICC profile chunk; -1 for any other marker.
int32_t ICCChunkNumber(uint8_t type, const std::vector<uint8_t>& data) {
  if (type != IE_JPEG_APP2 || data.size() <= 13 || !StartsWith(data, "ICC_PROFILE", 12)) return -1;
  return data[12];
}

bool IsExifSegment(uint8_t type, const std::vector<uint8_t>& data) {
  return type == IE_JPEG_APP1 && StartsWith(data, "Exif", 5);
}

}  // namespace

// ---- TIEMarkerList ---------------------------------------------------------------------

const TIEMarkerList::TMarker& TIEMarkerList::At(int32_t index) const {
  if (index < 0 || index >= GetCount()) RaiseListIndexError(index);
  return markers_[static_cast<size_t>(index)];
}

uint8_t TIEMarkerList::GetMarkerType(int32_t index) const { return At(index).type; }

const uint8_t* TIEMarkerList::GetMarkerData(int32_t index) const { return At(index).data.data(); }

int32_t TIEMarkerList::GetMarkerLength(int32_t index) const { return static_cast<int32_t>(At(index).data.size()); }

int32_t TIEMarkerList::IndexOfType(uint8_t type) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (markers_[static_cast<size_t>(i)].type == type) return i;
  return -1;
}

int32_t TIEMarkerList::AddMarker(uint8_t type, const void* data, int32_t length) {
  if (length < 0 || length > IE_MAX_MARKER_PAYLOAD) return -1;
  markers_.push_back({type, CopyBytes(data, length)});
  return GetCount() - 1;
}

bool TIEMarkerList::SetMarker(int32_t index, uint8_t type, const void* data, int32_t length) {
  At(index);
  if (length < 0 || length > IE_MAX_MARKER_PAYLOAD) return false;
  markers_[static_cast<size_t>(index)] = {type, CopyBytes(data, length)};
  return true;
}

void TIEMarkerList::Delete(int32_t index) {
  At(index);
  markers_.erase(markers_.begin() + index);
}

void TIEMarkerList::DeleteMarkersOfType(uint8_t type) {
  std::erase_if(markers_, [type](const TMarker& m) { return m.type == type; });
}

void TIEMarkerList::Assign(const TIEMarkerList* source) {
  if (source == nullptr || source == this) return;
  markers_ = source->markers_;
}

void TIEMarkerList::Sort() {
  std::stable_sort(markers_.begin(), markers_.end(),
                   [](const TMarker& a, const TMarker& b) { return a.type < b.type; });
  // The ICC chunks in sequence, in the places the chunks hold.
  std::vector<size_t> places;
  for (size_t i = 0; i < markers_.size(); ++i)
    if (ICCChunkNumber(markers_[i].type, markers_[i].data) >= 0) places.push_back(i);
  std::vector<TMarker> chunks;
  for (size_t place : places) chunks.push_back(std::move(markers_[place]));
  std::stable_sort(chunks.begin(), chunks.end(), [](const TMarker& a, const TMarker& b) {
    return ICCChunkNumber(a.type, a.data) < ICCChunkNumber(b.type, b.data);
  });
  for (size_t i = 0; i < places.size(); ++i) markers_[places[i]] = std::move(chunks[i]);
  // The EXIF block first among the APP1 segments, the others in their order.
  const auto firstApp1 = std::find_if(markers_.begin(), markers_.end(),
                                      [](const TMarker& m) { return m.type == IE_JPEG_APP1; });
  const auto exif = std::find_if(firstApp1, markers_.end(),
                                 [](const TMarker& m) { return IsExifSegment(m.type, m.data); });
  if (exif != markers_.end()) std::rotate(firstApp1, exif, exif + 1);
}

void TIEMarkerList::SaveToStream(TStream& stream) const {
  const uint8_t version = 0;
  stream.WriteBuffer(&version, 1);
  IEWriteInt32LE(stream, GetCount());
  for (const TMarker& marker : markers_) {
    stream.WriteBuffer(&marker.type, 1);
    IEWriteInt32LE(stream, static_cast<int32_t>(marker.data.size()));
    if (!marker.data.empty()) stream.WriteBuffer(marker.data.data(), static_cast<int32_t>(marker.data.size()));
  }
}

void TIEMarkerList::LoadFromStream(TStream& stream) {
  Clear();
  try {
    uint8_t version;
    stream.ReadBuffer(&version, 1);  // any version is read the same way
    const int32_t count = IEReadStreamLength(stream, 5);  // code and length at least
    for (int32_t i = 0; i < count; ++i) {
      uint8_t type;
      stream.ReadBuffer(&type, 1);
      const int32_t length = IEReadStreamLength(stream, 1);
      if (length > IE_MAX_MARKER_PAYLOAD) throw EReadError("Stream read error");
      markers_.push_back({type, ReadBytes(stream, length)});
    }
  } catch (...) {
    Clear();
    throw;
  }
}

// ---- TIEIPTCInfoList -------------------------------------------------------------------

namespace {

constexpr uint8_t kTag = 0x1C;
constexpr char kPhotoshopSignature[] = "Photoshop 3.0";  // 13 characters and a NUL
constexpr uint8_t kIPTCResource[6] = {'8', 'B', 'I', 'M', 0x04, 0x04};
constexpr size_t kPhotoshopHeader = 26;
constexpr size_t kPhotoshopSizeField = 22;
constexpr uint8_t kRecordVersion[7] = {kTag, 2, 0, 0, 2, 0, 2};
constexpr int32_t kLongLength = 32768;

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetBigEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value = value << 8 | p[i];
  return value;
}

// Where the IIM items of a block start: past the IPTC resource of a
// Photoshop block, then at the last of the first run of tag bytes.
int64_t FirstItem(const uint8_t* data, int64_t size) {
  int64_t pos = 0;
  if (size >= 13 && std::memcmp(data, kPhotoshopSignature, 13) == 0) {
    const uint8_t* end = data + size;
    const uint8_t* found = std::search(data, end, std::begin(kIPTCResource), std::end(kIPTCResource));
    pos = found == end ? size : (found - data) + 6;
  }
  while (pos < size && data[pos] != kTag) ++pos;
  while (pos + 1 < size && data[pos + 1] == kTag) ++pos;
  return pos;
}

}  // namespace

const TIEIPTCInfoList::TItem& TIEIPTCInfoList::At(int32_t index) const {
  if (index < 0 || index >= GetCount()) RaiseListIndexError(index);
  return items_[static_cast<size_t>(index)];
}

int32_t TIEIPTCInfoList::GetRecordNumber(int32_t index) const { return At(index).record; }

int32_t TIEIPTCInfoList::GetDataSet(int32_t index) const { return At(index).dataSet; }

const uint8_t* TIEIPTCInfoList::GetItemData(int32_t index) const { return At(index).data.data(); }

int32_t TIEIPTCInfoList::GetItemLength(int32_t index) const { return static_cast<int32_t>(At(index).data.size()); }

int32_t TIEIPTCInfoList::AddItem(int32_t record, int32_t dataSet, int32_t length, const void* buffer) {
  items_.push_back({record, dataSet, CopyBytes(buffer, length)});
  Changed = true;
  return GetCount() - 1;
}

void TIEIPTCInfoList::Clear() {
  items_.clear();
  Changed = true;
}

void TIEIPTCInfoList::Assign(const TIEIPTCInfoList* source) {
  if (source == nullptr) return;
  if (source != this) items_ = source->items_;
  Changed = true;
}

void TIEIPTCInfoList::SaveToStream(TStream& stream) const {
  IEWriteInt32LE(stream, 0);
  IEWriteInt32LE(stream, GetCount());
  for (const TItem& item : items_) {
    IEWriteInt32LE(stream, item.record);
    IEWriteInt32LE(stream, item.dataSet);
    IEWriteInt32LE(stream, static_cast<int32_t>(item.data.size()));
    if (!item.data.empty()) stream.WriteBuffer(item.data.data(), static_cast<int32_t>(item.data.size()));
  }
}

void TIEIPTCInfoList::LoadFromStream(TStream& stream) {
  Clear();
  try {
    IEReadInt32LE(stream);  // version
    const int32_t count = IEReadStreamLength(stream, 12);
    for (int32_t i = 0; i < count; ++i) {
      const int32_t record = IEReadInt32LE(stream);
      const int32_t dataSet = IEReadInt32LE(stream);
      const int32_t length = IEReadStreamLength(stream, 1);
      items_.push_back({record, dataSet, ReadBytes(stream, length)});
    }
  } catch (...) {
    Clear();
    throw;
  }
  Changed = true;
}

std::vector<uint8_t> TIEIPTCInfoList::SaveToBuffer(bool photoshopHeader) const {
  if (items_.empty()) return {};
  std::vector<uint8_t> out;
  if (photoshopHeader) {
    out.assign(kPhotoshopSignature, kPhotoshopSignature + 14);
    out.insert(out.end(), std::begin(kIPTCResource), std::end(kIPTCResource));
    out.insert(out.end(), 6, 0);  // empty name, size
  } else {
    out.assign(std::begin(kRecordVersion), std::end(kRecordVersion));
  }
  const size_t start = out.size();
  for (const TItem& item : items_) {
    if ((item.record == 2 && item.dataSet == 0) || item.data.empty()) continue;
    out.push_back(kTag);
    out.push_back(static_cast<uint8_t>(item.record));
    out.push_back(static_cast<uint8_t>(item.dataSet));
    const auto length = static_cast<uint32_t>(item.data.size());
    if (length < kLongLength) {
      PutBigEndian(out, length, 2);
    } else {
      out.push_back(0x80);
      out.push_back(0x04);
      PutBigEndian(out, length, 4);
    }
    out.insert(out.end(), item.data.begin(), item.data.end());
  }
  const auto itemBytes = static_cast<uint32_t>(out.size() - start);
  if (out.size() % 2) out.push_back(0);
  if (photoshopHeader)
    for (int i = 0; i < 4; ++i) out[kPhotoshopSizeField + i] = static_cast<uint8_t>(itemBytes >> (24 - 8 * i));
  return out;
}

bool TIEIPTCInfoList::LoadFromBuffer(const void* buffer, int64_t size) {
  items_.clear();
  const auto* data = static_cast<const uint8_t*>(buffer);
  if (data && size > 0) {
    int64_t pos = FirstItem(data, size);
    while (pos < size && data[pos] == kTag && size - pos >= 5) {
      const uint8_t* header = data + pos;
      const bool extended = (header[3] & 0x80) != 0;
      const int64_t headerSize = extended ? 9 : 5;
      if (size - pos < headerSize) break;
      const int64_t length = extended ? std::llabs(static_cast<int32_t>(GetBigEndian(header + 5, 4)))
                                      : int64_t{GetBigEndian(header + 3, 2)};
      if (length > size - pos - headerSize) break;
      items_.push_back({header[1], header[2], CopyBytes(header + headerSize, static_cast<int32_t>(length))});
      pos += headerSize + length;
    }
  }
  Changed = false;
  return !items_.empty();
}
