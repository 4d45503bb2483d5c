// DICOM value representations, data dictionary lookup and tag store.
//
// Sections: value representations | data dictionary | elements | setters | stream records
#include "imaging/core/ruduvazez_dicomtags.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/davovevo.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

extern const TIEDicomDictEntry kIEDicomDictionary[];
extern const int32_t kIEDicomDictionarySize;

namespace {

constexpr const char* kVRNames[28] = {"AE", "AS", "AT", "CS", "DA", "DS", "DT", "FD", "FL", "IS",
                                      "LO", "LT", "OB", "OF", "OW", "PN", "SH", "SL", "SQ", "SS",
                                      "ST", "TM", "UI", "UL", "UN", "UR", "US", "UT"};
constexpr uint8_t kRecordVersion = 3;
// Deepest nesting of sequence items a record may hold.
constexpr int32_t kMaxDepth = 64;
// Bytes of an element record in the stream, without value and items.
constexpr int64_t kRecordSize = 20;

[[noreturn]] void RaiseKind(uint16_t group, uint16_t element, const char* kind) {
  throw EIEException(Format("Tag %s,%s cannot be %s", {IntToHex(group, 4), IntToHex(element, 4), std::string(kind)}));
}

// The dictionary's VR of a tag, or fallback for a tag it lacks.
uint8_t DictionaryVR(uint16_t group, uint16_t element, uint8_t fallback) {
  const TIEDicomDictEntry* entry = IELookupDICOMTag(group, element);
  return entry ? entry->VR : fallback;
}

template <class T>
void Put(std::vector<uint8_t>& out, T value) {
  const size_t at = out.size();
  out.resize(at + sizeof(T));
  std::memcpy(out.data() + at, &value, sizeof(T));
}

template <class T>
T Take(const TIEDicomTag& tag) {
  T value{};
  std::memcpy(&value, tag.Value.data(), sizeof(T));
  return value;
}

// A truncated whole number of a double, held inside [low, high].
int64_t Truncated(double value, double low, double high) {
  return std::isnan(value) ? 0 : static_cast<int64_t>(std::trunc(std::clamp(value, low, high)));
}

}  // namespace

// ---- value representations ---------------------------------------------------------------

uint8_t IEDicomVRFromName(const std::string& name) {
  for (uint8_t code = 0; code < 28; ++code)
    if (name == kVRNames[code]) return code;
  return IE_DICOM_NONE;
}

void IEDicomVRToName(uint8_t code, std::string& name) { name = code < 28 ? kVRNames[code] : "??"; }

// ---- data dictionary ----------------------------------------------------------------------

const TIEDicomDictEntry* IELookupDICOMTag(uint16_t group, uint16_t element) {
  int32_t low = 0, high = kIEDicomDictionarySize - 1;
  while (low <= high) {
    const int32_t middle = (low + high) / 2;
    const TIEDicomDictEntry& entry = kIEDicomDictionary[middle];
    if (entry.Group == group && entry.Element == element) return &entry;
    if (entry.Group < group || (entry.Group == group && entry.Element < element))
      low = middle + 1;
    else
      high = middle - 1;
  }
  return nullptr;
}

// ---- elements ---------------------------------------------------------------------------------

size_t TIEDicomTag::ValueSize() const {
  return Value.empty() ? 0 : std::min(Value.size() - 1, static_cast<size_t>(std::max(Length, 0)));
}

void TIEDicomTags::Clear() { tags_.clear(); }

int32_t TIEDicomTags::InsertTag(std::unique_ptr<TIEDicomTag> tag, bool replace) {
  size_t at = 0;
  while (at < tags_.size()) {
    const TIEDicomTag& t = *tags_[at];
    if ((t.Group == tag->Group && t.Element >= tag->Element) || t.Group > tag->Group) break;
    ++at;
  }
  const uint16_t group = tag->Group, element = tag->Element;
  if (at < tags_.size() && tags_[at]->Group == group && tags_[at]->Element == element) {
    if (replace) {
      tags_[at] = std::move(tag);
    } else {
      // After every element of the same tag, in reading order.
      while (at < tags_.size() && tags_[at]->Group == group && tags_[at]->Element == element) ++at;
      tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(at), std::move(tag));
    }
  } else {
    tags_.insert(tags_.begin() + static_cast<std::ptrdiff_t>(at), std::move(tag));
  }
  if (replace)
    for (size_t i = tags_.size(); i-- > 0;)
      if (i != at && tags_[i]->Group == group && tags_[i]->Element == element) {
        tags_.erase(tags_.begin() + static_cast<std::ptrdiff_t>(i));
        if (i < at) --at;
      }
  return static_cast<int32_t>(at);
}

int32_t TIEDicomTags::AddTag(uint16_t group, uint16_t element, uint8_t vr, std::vector<uint8_t> value, int32_t length,
                             std::unique_ptr<TIEDicomItems> items) {
  auto tag = std::make_unique<TIEDicomTag>();
  tag->Group = group;
  tag->Element = element;
  tag->VR = vr;
  tag->Length = std::max(length, 0);
  if (length >= 0 && !value.empty()) {
    tag->Value = std::move(value);
    tag->Value.push_back(0);
  }
  tag->Items = std::move(items);
  return InsertTag(std::move(tag), false);
}

int32_t TIEDicomTags::IndexOf(uint16_t group, uint16_t element) const {
  for (size_t i = 0; i < tags_.size(); ++i)
    if (tags_[i]->Group == group && tags_[i]->Element == element) return static_cast<int32_t>(i);
  return -1;
}

const TIEDicomTag* TIEDicomTags::GetTag(int32_t index) const {
  return index >= 0 && index < Count() ? tags_[static_cast<size_t>(index)].get() : nullptr;
}

TIEDicomItems* TIEDicomTags::GetSequenceItems(uint16_t group, uint16_t element) const {
  const TIEDicomTag* tag = GetTag(IndexOf(group, element));
  return tag ? tag->Items.get() : nullptr;
}

void TIEDicomTags::GetTagStringByIndex(int32_t index, std::string& text) const {
  text.clear();
  const TIEDicomTag* tag = GetTag(index);
  if (!tag || !tag->HasValue()) return;
  const size_t size = tag->ValueSize();
  // Numbers only when the value holds all their bytes.
  auto fits = [&](size_t bytes) { return size >= bytes; };
  switch (tag->VR) {
    case IE_DICOM_AT:
    case IE_DICOM_SL:
    case IE_DICOM_USSS:
      if (fits(4)) text = std::to_string(Take<int32_t>(*tag));
      return;
    case IE_DICOM_SS:
      if (fits(2)) text = std::to_string(Take<int16_t>(*tag));
      return;
    case IE_DICOM_US:
      if (fits(2)) text = std::to_string(Take<uint16_t>(*tag));
      return;
    case IE_DICOM_UL:
      if (fits(4)) text = std::to_string(Take<uint32_t>(*tag));
      return;
    case IE_DICOM_FL:
      if (fits(4)) text = FloatToStrF(Take<float>(*tag), ffFixed, 18, 6);
      return;
    case IE_DICOM_FD:
      if (fits(8)) text = FloatToStrF(Take<double>(*tag), ffFixed, 18, 6);
      return;
    default: {
      const auto* bytes = reinterpret_cast<const char*>(tag->Value.data());
      text.assign(bytes, strnlen(bytes, size));
    }
  }
}

void TIEDicomTags::GetTagString(uint16_t group, uint16_t element, std::string& text) const {
  GetTagStringByIndex(IndexOf(group, element), text);
}

void TIEDicomTags::DeleteTag(uint16_t group, uint16_t element, bool all) {
  do {
    const int32_t index = IndexOf(group, element);
    if (index < 0) return;
    DeleteTagAt(index);
  } while (all);
}

void TIEDicomTags::DeleteTagAt(int32_t index) {
  if (index >= 0 && index < Count()) tags_.erase(tags_.begin() + index);
}

TIEDicomTags* TIEDicomTags::FindTag(uint16_t group, uint16_t element, TIEDicomTags* start, int32_t& index) {
  if (!start) start = this;
  index = start->IndexOf(group, element);
  if (index >= 0) return start;
  for (const auto& tag : start->tags_) {
    if (!tag->Items) continue;
    for (const auto& item : *tag->Items)
      if (TIEDicomTags* found = FindTag(group, element, item.get(), index)) return found;
  }
  index = -1;
  return nullptr;
}

// ---- setters -----------------------------------------------------------------------------------

void TIEDicomTags::ReplaceValue(uint16_t group, uint16_t element, uint8_t vr, std::vector<uint8_t> bytes) {
  auto tag = std::make_unique<TIEDicomTag>();
  tag->Group = group;
  tag->Element = element;
  tag->VR = vr;
  tag->Length = static_cast<int32_t>(bytes.size());
  tag->Value = std::move(bytes);
  tag->Value.push_back(0);
  InsertTag(std::move(tag), true);
}

void TIEDicomTags::SetTagNumeric(uint16_t group, uint16_t element, double value) {
  uint8_t vr = DictionaryVR(group, element, IE_DICOM_FD);
  if (vr == IE_DICOM_USSS) vr = value >= 0 ? IE_DICOM_US : IE_DICOM_SS;
  std::vector<uint8_t> bytes;
  switch (vr) {
    case IE_DICOM_FD: Put(bytes, value); break;
    case IE_DICOM_FL: Put(bytes, static_cast<float>(value)); break;
    case IE_DICOM_SL: Put(bytes, static_cast<int32_t>(Truncated(value, INT32_MIN, INT32_MAX))); break;
    case IE_DICOM_UL: Put(bytes, static_cast<uint32_t>(Truncated(value, INT32_MIN, UINT32_MAX))); break;
    case IE_DICOM_SS: Put(bytes, static_cast<int16_t>(Truncated(value, INT16_MIN, INT16_MAX))); break;
    case IE_DICOM_US: Put(bytes, static_cast<uint16_t>(Truncated(value, INT16_MIN, UINT16_MAX))); break;
    default: RaiseKind(group, element, "a number");
  }
  ReplaceValue(group, element, vr, std::move(bytes));
}

void TIEDicomTags::SetTagString(uint16_t group, uint16_t element, const std::string& text) {
  static constexpr uint8_t kTextVRs[] = {IE_DICOM_AE, IE_DICOM_AS, IE_DICOM_CS, IE_DICOM_DA, IE_DICOM_DS,
                                         IE_DICOM_DT, IE_DICOM_IS, IE_DICOM_LO, IE_DICOM_LT, IE_DICOM_PN,
                                         IE_DICOM_SH, IE_DICOM_ST, IE_DICOM_TM, IE_DICOM_UI, IE_DICOM_UT};
  const uint8_t vr = DictionaryVR(group, element, IE_DICOM_CS);
  if (std::find(std::begin(kTextVRs), std::end(kTextVRs), vr) == std::end(kTextVRs))
    RaiseKind(group, element, "a string");
  std::vector<uint8_t> bytes(text.begin(), text.end());
  if (bytes.size() % 2 == 1) bytes.push_back(vr == IE_DICOM_UI || vr == IE_DICOM_OB ? 0 : ' ');
  if (bytes.size() > static_cast<size_t>(INT32_MAX)) RaiseKind(group, element, "a string");
  ReplaceValue(group, element, vr, std::move(bytes));
}

void TIEDicomTags::SetTagByteString(uint16_t group, uint16_t element, int32_t length, const void* data) {
  if (DictionaryVR(group, element, IE_DICOM_OB) != IE_DICOM_OB || length < 0 || length == INT32_MAX)
    RaiseKind(group, element, "a byte string");
  const auto* first = static_cast<const uint8_t*>(data);
  std::vector<uint8_t> bytes(first, first + (data ? length : 0));
  bytes.resize(static_cast<size_t>(length + length % 2), 0);  // one pad byte for an odd length
  ReplaceValue(group, element, IE_DICOM_OB, std::move(bytes));
}

// ---- stream records ------------------------------------------------------------------------

namespace {

void Write(TStream& stream, const void* data, size_t size) {
  if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
}

template <class T>
void WriteNumber(TStream& stream, T value) {
  uint8_t bytes[sizeof(T)];
  for (size_t i = 0; i < sizeof(T); ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  Write(stream, bytes, sizeof(T));
}

template <class T>
T ReadNumber(TStream& stream) {
  uint8_t bytes[sizeof(T)];
  stream.ReadBuffer(bytes, sizeof(T));
  uint64_t value = 0;
  for (size_t i = sizeof(T); i-- > 0;) value = (value << 8) | bytes[i];
  return static_cast<T>(value);
}

int64_t Remaining(TStream& stream) { return std::max<int64_t>(stream.Size() - stream.Position(), 0); }

}  // namespace

void TIEDicomTags::SaveToStream(TStream& stream) const {
  WriteNumber<uint8_t>(stream, kRecordVersion);
  WriteNumber<int32_t>(stream, Count());
  for (const auto& tag : tags_) {
    // The record of 20 bytes: the two pointer fields and the padding are zero.
    const int32_t length = static_cast<int32_t>(tag->ValueSize());
    WriteNumber<uint16_t>(stream, tag->Group);
    WriteNumber<uint16_t>(stream, tag->Element);
    WriteNumber<uint32_t>(stream, tag->VR);
    WriteNumber<uint32_t>(stream, 0);
    WriteNumber<int32_t>(stream, length);
    WriteNumber<uint32_t>(stream, 0);
    Write(stream, tag->Value.data(), static_cast<size_t>(length));
    WriteNumber<int32_t>(stream, tag->Items ? static_cast<int32_t>(tag->Items->size()) : 0);
    if (tag->Items)
      for (const auto& item : *tag->Items) item->SaveToStream(stream);
  }
}

void TIEDicomTags::LoadElements(TStream& stream, int32_t depth, std::vector<std::unique_ptr<TIEDicomTag>>& loaded) {
  if (depth > kMaxDepth) throw EIEException("DICOM tags nested too deeply");
  const uint8_t version = ReadNumber<uint8_t>(stream);
  if (version == 0) return;
  const int32_t count = ReadNumber<int32_t>(stream);
  if (count < 0 || count > Remaining(stream) / kRecordSize) throw EReadError("Stream read error");
  for (int32_t k = 0; k < count; ++k) {
    auto tag = std::make_unique<TIEDicomTag>();
    tag->Group = ReadNumber<uint16_t>(stream);
    tag->Element = ReadNumber<uint16_t>(stream);
    tag->VR = static_cast<uint8_t>(ReadNumber<uint32_t>(stream));
    ReadNumber<uint32_t>(stream);
    tag->Length = ReadNumber<int32_t>(stream);
    ReadNumber<uint32_t>(stream);
    if (tag->Length < 0) tag->Length = 0;
    if (tag->Length > 0) {
      if (tag->Length > Remaining(stream)) throw EReadError("Stream read error");
      tag->Value.resize(static_cast<size_t>(tag->Length) + 1, 0);
      stream.ReadBuffer(tag->Value.data(), tag->Length);
    }
    int64_t items = 0;
    if (version == 2) items = ReadNumber<uint8_t>(stream);
    if (version >= 3) items = ReadNumber<int32_t>(stream);
    // Every item takes at least its version byte.
    if (items < 0 || items > Remaining(stream)) throw EReadError("Stream read error");
    if (items > 0) {
      tag->Items = std::make_unique<TIEDicomItems>();
      for (int64_t i = 0; i < items; ++i) {
        auto item = std::make_unique<TIEDicomTags>();
        item->LoadElements(stream, depth + 1, item->tags_);
        tag->Items->push_back(std::move(item));
      }
    }
    loaded.push_back(std::move(tag));
  }
}

void TIEDicomTags::LoadFromStream(TStream& stream) {
  std::vector<std::unique_ptr<TIEDicomTag>> loaded;
  LoadElements(stream, 0, loaded);
  for (auto& tag : loaded) tags_.push_back(std::move(tag));
}

void TIEDicomTags::Assign(const TIEDicomTags& source) {
  if (&source == this) return;
  Clear();
  for (const auto& from : source.tags_) {
    auto tag = std::make_unique<TIEDicomTag>();
    tag->Group = from->Group;
    tag->Element = from->Element;
    tag->VR = from->VR;
    tag->Value = from->Value;
    tag->Length = from->Length;
    if (from->Items) {
      tag->Items = std::make_unique<TIEDicomItems>();
      for (const auto& item : *from->Items) {
        tag->Items->push_back(std::make_unique<TIEDicomTags>());
        tag->Items->back()->Assign(*item);
      }
    }
    tags_.push_back(std::move(tag));
  }
}
