// Metadata that image parameters carry through a load and a save without
// interpreting it: the JPEG application and comment markers, and the IPTC
// data sets of JPEG APP13, TIFF and PSD resources.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"

// JPEG marker codes as the list holds them.
constexpr uint8_t IE_JPEG_APP0 = 0xE0, IE_JPEG_APP1 = 0xE1, IE_JPEG_APP2 = 0xE2, IE_JPEG_APP13 = 0xED,
                  IE_JPEG_COM = 0xFE;
// The most payload one marker segment holds (its length field counts itself).
constexpr int32_t IE_MAX_MARKER_PAYLOAD = 65533;

// ---- TIEMarkerList ---------------------------------------------------------------------

class TIEMarkerList : public TObject {
public:
  TIEMarkerList() = default;
  TIEMarkerList(const TIEMarkerList&) = delete;
  TIEMarkerList& operator=(const TIEMarkerList&) = delete;

  int32_t GetCount() const { return static_cast<int32_t>(markers_.size()); }
  // Index is not checked beyond the list (EListError).
  uint8_t GetMarkerType(int32_t index) const;
  const uint8_t* GetMarkerData(int32_t index) const;
  int32_t GetMarkerLength(int32_t index) const;
  // First index with that code; -1 when none.
  int32_t IndexOfType(uint8_t type) const;
  // Appends a copy of the payload; -1, and nothing added, for a payload
  // longer than a marker holds (IE_MAX_MARKER_PAYLOAD) or a negative length.
  int32_t AddMarker(uint8_t type, const void* data, int32_t length);
  // Replaces the code and payload; false, and the marker kept, for a payload
  // a marker cannot hold.
  bool SetMarker(int32_t index, uint8_t type, const void* data, int32_t length);
  void Delete(int32_t index);
  void DeleteMarkersOfType(uint8_t type);
  void Clear() { markers_.clear(); }
  void Assign(const TIEMarkerList* source);
  // Orders the markers by code, keeping the order of markers with the same
  // code, except that the chunks of an ICC profile (APP2 "ICC_PROFILE") come
  // in sequence and the EXIF APP1 moves to the first APP1 place (the other
  // APP1 segments keep their order, which extended XMP relies on).
  void Sort();
  // Version byte 0, int32 count, per marker its code, int32 length and payload.
  void SaveToStream(TStream& stream) const;
  // Raises EReadError for a count or length the stream cannot hold, or a
  // payload too long for a marker; the list is then empty.
  void LoadFromStream(TStream& stream);

private:
  struct TMarker {
    uint8_t type;
    std::vector<uint8_t> data;
  };
  const TMarker& At(int32_t index) const;

  std::vector<TMarker> markers_;
};

// ---- TIEIPTCInfoList -------------------------------------------------------------------

// IPTC-IIM data sets, each a record number, a data-set number and its bytes.
class TIEIPTCInfoList : public TObject {
public:
  TIEIPTCInfoList() = default;
  TIEIPTCInfoList(const TIEIPTCInfoList&) = delete;
  TIEIPTCInfoList& operator=(const TIEIPTCInfoList&) = delete;

  int32_t GetCount() const { return static_cast<int32_t>(items_.size()); }
  // Index is checked (EListError).
  int32_t GetRecordNumber(int32_t index) const;
  int32_t GetDataSet(int32_t index) const;
  const uint8_t* GetItemData(int32_t index) const;
  int32_t GetItemLength(int32_t index) const;
  // Appends a copy of length bytes; the new index.
  int32_t AddItem(int32_t record, int32_t dataSet, int32_t length, const void* buffer);
  void Clear();
  void Assign(const TIEIPTCInfoList* source);
  // Set by every edit and by LoadFromStream, cleared by LoadFromBuffer: the
  // writers keep what was read when the list still equals it.
  bool Changed = false;

  // int32 version 0, int32 count, per item record, data set, length and data.
  void SaveToStream(TStream& stream) const;
  // Raises EReadError for a count or length the stream cannot hold.
  void LoadFromStream(TStream& stream);
  // The IIM block, inside a Photoshop image resource ($0404) when
  // photoshopHeader (for JPEG APP13); empty when the list is.
  std::vector<uint8_t> SaveToBuffer(bool photoshopHeader) const;
  // Replaces the items with those of an IIM block (plain or inside a
  // Photoshop resource); parsing stops at the first item that does not fit.
  // True when at least one item was read.
  bool LoadFromBuffer(const void* buffer, int64_t size);

private:
  struct TItem {
    int32_t record;
    int32_t dataSet;
    std::vector<uint8_t> data;
  };
  const TItem& At(int32_t index) const;

  std::vector<TItem> items_;
};
