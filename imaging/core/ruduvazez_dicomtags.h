// DICOM data elements as the DICOM reader found them: the value
// representations, the built-in data dictionary, and the tag store that
// keeps the elements sorted by tag, with the items of sequences as nested
// stores, typed setters and its stream record.
//
// Sections: value representations | data dictionary | tag store
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/streams.h"

// ---- value representations ---------------------------------------------------------------

// VR codes: the standard's two-letter names in this order (0..27).
enum : uint8_t {
  IE_DICOM_AE, IE_DICOM_AS, IE_DICOM_AT, IE_DICOM_CS, IE_DICOM_DA, IE_DICOM_DS, IE_DICOM_DT,
  IE_DICOM_FD, IE_DICOM_FL, IE_DICOM_IS, IE_DICOM_LO, IE_DICOM_LT, IE_DICOM_OB, IE_DICOM_OF,
  IE_DICOM_OW, IE_DICOM_PN, IE_DICOM_SH, IE_DICOM_SL, IE_DICOM_SQ, IE_DICOM_SS, IE_DICOM_ST,
  IE_DICOM_TM, IE_DICOM_UI, IE_DICOM_UL, IE_DICOM_UN, IE_DICOM_UR, IE_DICOM_US, IE_DICOM_UT,
  // US or SS; also entries whose VR the dictionary does not fix.
  IE_DICOM_USSS,
  // No VR (items and delimiters), or a name outside the list.
  IE_DICOM_NONE,
};

// The code of a two-letter name; IE_DICOM_NONE for any other text.
uint8_t IEDicomVRFromName(const std::string& name);
// The two letters of codes 0..27, "??" for any other code.
void IEDicomVRToName(uint8_t code, std::string& name);

// ---- data dictionary ----------------------------------------------------------------------

struct TIEDicomDictEntry {
  uint16_t Group;
  uint16_t Element;
  const char* Name;  // empty for many private entries
  uint8_t VR;
  uint8_t Class;  // 0 standard, 1 retired, 2 group lengths, private and other entries
};

// The dictionary's entry of a tag; null when the dictionary lacks it.
const TIEDicomDictEntry* IELookupDICOMTag(uint16_t group, uint16_t element);

// ---- tag store ---------------------------------------------------------------------------------

class TIEDicomTags;
using TIEDicomItems = std::vector<std::unique_ptr<TIEDicomTags>>;

// One data element. Value holds the bytes read (at most Length) and a
// terminating zero, or nothing; Length is the value length as found.
struct TIEDicomTag {
  uint16_t Group = 0;
  uint16_t Element = 0;
  uint8_t VR = 0;
  std::vector<uint8_t> Value;
  int32_t Length = 0;
  std::unique_ptr<TIEDicomItems> Items;  // the items of a sequence, or null

  bool HasValue() const { return !Value.empty(); }
  // Bytes of the value that may be read (never past Length).
  size_t ValueSize() const;
};

class TIEDicomTags {
public:
  TIEDicomTags() = default;
  TIEDicomTags(const TIEDicomTags&) = delete;
  TIEDicomTags& operator=(const TIEDicomTags&) = delete;

  void Clear();
  int32_t Count() const { return static_cast<int32_t>(tags_.size()); }
  // Takes over value and items; a negative length means no value. Inserted
  // in tag order after the elements with the same tag; returns the position.
  int32_t AddTag(uint16_t group, uint16_t element, uint8_t vr, std::vector<uint8_t> value, int32_t length,
                 std::unique_ptr<TIEDicomItems> items);
  int32_t IndexOf(uint16_t group, uint16_t element) const;
  const TIEDicomTag* GetTag(int32_t index) const;
  TIEDicomItems* GetSequenceItems(uint16_t group, uint16_t element) const;
  // The value as text by its VR; empty when the element or its value is missing.
  void GetTagStringByIndex(int32_t index, std::string& text) const;
  void GetTagString(uint16_t group, uint16_t element, std::string& text) const;
  // Create or replace an element in the dictionary's VR; EIEException
  // "Tag %s,%s cannot be a number" (a string, a byte string) when it does
  // not fit, with the list unchanged.
  void SetTagNumeric(uint16_t group, uint16_t element, double value);
  void SetTagString(uint16_t group, uint16_t element, const std::string& text);
  void SetTagByteString(uint16_t group, uint16_t element, int32_t length, const void* data);
  void DeleteTag(uint16_t group, uint16_t element, bool all);
  void DeleteTagAt(int32_t index);
  // Depth-first through start (null: this store) and the items of its
  // sequences: the store holding the tag and its index there; null and -1
  // when absent.
  TIEDicomTags* FindTag(uint16_t group, uint16_t element, TIEDicomTags* start, int32_t& index);

  // Version 3 records, little-endian, field by field.
  void SaveToStream(TStream& stream) const;
  // Appends the elements of a record. Counts and lengths are bounded by the
  // bytes left and nesting by a fixed depth: a truncated or over-nested
  // record raises (EReadError, EIEException) and adds nothing.
  void LoadFromStream(TStream& stream);
  void Assign(const TIEDicomTags& source);

private:
  int32_t InsertTag(std::unique_ptr<TIEDicomTag> tag, bool replace);
  // The one element of the tag becomes a value of these bytes.
  void ReplaceValue(uint16_t group, uint16_t element, uint8_t vr, std::vector<uint8_t> bytes);
  void LoadElements(TStream& stream, int32_t depth, std::vector<std::unique_ptr<TIEDicomTag>>& loaded);

  std::vector<std::unique_ptr<TIEDicomTag>> tags_;
};
