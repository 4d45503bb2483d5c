// The marker list of a parameter set brought up to date before a JPEG save:
// the resolution inside the Photoshop resource block, the IPTC records, the
// EXIF block, the XMP packet and the library's annotation block.
#include <cstring>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/exifblock.h"
#include "imaging/core/ruduvazez_xmp.h"
#include "imaging/io/imageryio.h"

namespace {

constexpr char kXMPSignature[] = "http://ns.adobe.com/xap/1.0/";  // followed by a zero byte
constexpr uint8_t kResolutionResource[6] = {'8', 'B', 'I', 'M', 0x03, 0xED};

void PutBE32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
void PutBE16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

bool StartsWith(const TIEMarkerList& markers, int32_t index, const void* prefix, int32_t size) {
  return markers.GetMarkerLength(index) >= size && std::memcmp(markers.GetMarkerData(index), prefix, size) == 0;
}

// The first APP1 marker whose data start with prefix; -1 when none.
int32_t FindAPP1(const TIEMarkerList& markers, const void* prefix, int32_t size) {
  for (int32_t i = 0; i < markers.GetCount(); ++i)
    if (markers.GetMarkerType(i) == IE_JPEG_APP1 && StartsWith(markers, i, prefix, size)) return i;
  return -1;
}

void DeleteIfFound(TIEMarkerList& markers, int32_t index) {
  if (index >= 0) markers.Delete(index);
}

// The resolution resource of the first APP13 marker takes DPIX and DPIY.
// Every offset comes from the marker's own bytes, so each is checked
// against the marker's length; a resource that does not fit is left alone.
void UpdateResolution(TIEMarkerList& markers, int32_t dpiX, int32_t dpiY) {
  const int32_t index = markers.IndexOfType(IE_JPEG_APP13);
  if (index < 0) return;
  const uint8_t* data = markers.GetMarkerData(index);
  const int64_t length = markers.GetMarkerLength(index);
  for (int64_t at = 0; at + 6 <= length; ++at) {
    if (std::memcmp(data + at, kResolutionResource, 6) != 0) continue;
    if (at + 8 > length) return;
    const int64_t nameLength = codecbytes::BE16(data + at + 6);
    const int64_t sizeAt = at + 6 + 2 + nameLength;
    if (sizeAt + 4 + 16 > length) return;
    const uint32_t size = codecbytes::BE32(data + sizeAt);
    if (size < 16) return;
    std::vector<uint8_t> updated(data, data + length);
    uint8_t* r = updated.data() + sizeAt + 4;
    PutBE32(r, static_cast<uint32_t>(dpiX) * 65536u);
    PutBE16(r + 4, 1);
    PutBE16(r + 6, 1);
    PutBE32(r + 8, static_cast<uint32_t>(dpiY) * 65536u);
    PutBE16(r + 12, 1);
    PutBE16(r + 14, 1);
    markers.SetMarker(index, IE_JPEG_APP13, updated.data(), static_cast<int32_t>(length));
    return;
  }
}

void UpdateIPTC(TIOParamsVals& p) {
  if (!p.IPTC.Changed && !(p.IPTC.GetCount() > 0 && p.JPEGMarkers.GetCount() == 0)) return;
  const std::vector<uint8_t> block = p.IPTC.SaveToBuffer(true);
  const int32_t index = p.JPEGMarkers.IndexOfType(IE_JPEG_APP13);
  if (block.empty())
    DeleteIfFound(p.JPEGMarkers, index);
  else if (index >= 0)
    p.JPEGMarkers.SetMarker(index, IE_JPEG_APP13, block.data(), static_cast<int32_t>(block.size()));
  else
    p.JPEGMarkers.AddMarker(IE_JPEG_APP13, block.data(), static_cast<int32_t>(block.size()));
}

void UpdateEXIF(TIOParamsVals& p) {
  if (!p.EXIF_HASEXIF) return;
  DeleteIfFound(p.JPEGMarkers, FindAPP1(p.JPEGMarkers, "Exif\0", 5));
  const std::vector<uint8_t> block = IESaveEXIFToBuffer(p, true);
  // A block beyond one segment is left out rather than cut.
  if (!block.empty() && block.size() <= 65533)
    p.JPEGMarkers.AddMarker(IE_JPEG_APP1, block.data(), static_cast<int32_t>(block.size()));
}

void UpdateXMP(TIOParamsVals& p) {
  DeleteIfFound(p.JPEGMarkers, FindAPP1(p.JPEGMarkers, kXMPSignature, sizeof kXMPSignature));
  if (p.XMP_INFO.empty()) return;
  // A packet too long for one segment goes out as extended XMP rather than being lost.
  IEStoreXMPMarkers(p.JPEGMarkers, p.XMP_INFO);
}

void UpdateAnnotations(TIOParamsVals& p) {
  DeleteIfFound(p.JPEGMarkers,
                FindAPP1(p.JPEGMarkers, TIEImageryAnnot::kSignature, TIEImageryAnnot::kSignatureSize));
  if (p.Annotations.IsEmpty()) return;
  const std::vector<uint8_t> block = p.Annotations.SaveToBuffer();
  p.JPEGMarkers.AddMarker(IE_JPEG_APP1, block.data(), static_cast<int32_t>(block.size()));
}

}  // namespace

void IEPrepareJPEGMarkers(TIOParamsVals& params) {
  UpdateResolution(params.JPEGMarkers, params.DPIX, params.DPIY);
  UpdateIPTC(params);
  UpdateEXIF(params);
  UpdateXMP(params);
  UpdateAnnotations(params);
}
