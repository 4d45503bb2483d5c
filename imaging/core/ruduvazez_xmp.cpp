// XMP segments of JPEG files, standard and extended.
#include "imaging/core/ruduvazez_xmp.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cstring>

#include "imaging/core/ruduvazez_markers.h"
#include "platform/rtl/ondemand.h"

const char* const IE_XMP_NAMESPACE = "http://ns.adobe.com/xap/1.0/";
const char* const IE_XMP_EXTENSION_NAMESPACE = "http://ns.adobe.com/xmp/extension/";

namespace {

constexpr int64_t kMinimumSegment = 30;
constexpr size_t kCompared = 24;
constexpr size_t kExtensionHeader = 35;  // the namespace and its NUL
constexpr size_t kGuidLength = 32;
constexpr size_t kChunkHeader = kExtensionHeader + kGuidLength + 8;  // GUID, full length, offset
constexpr size_t kChunkData = IE_MAX_MARKER_PAYLOAD - kChunkHeader;
const std::string kGuidAttribute = "xmpNote:HasExtendedXMP=\"";

TOnDemandLibraries& Crypto() {
  static TOnDemandLibraries libraries{VESK_CRYPTO_SONAMES};
  return libraries;
}

// The MD5 digest of the text in upper-case hexadecimal.
std::string Digest(const std::string& text) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  const EVP_MD* md5 = VESK_ON_DEMAND(Crypto(), EVP_md5)();
  VESK_ON_DEMAND(Crypto(), EVP_Digest)(text.data(), text.size(), digest, &length, md5, nullptr);
  static const char kHex[] = "0123456789ABCDEF";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 15];
  }
  return hex;
}

std::string StandardPacketNaming(const std::string& guid) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
         "<rdf:Description rdf:about=\"\" xmlns:xmpNote=\"http://ns.adobe.com/xmp/note/\" " +
         kGuidAttribute + guid + "\"/></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
}

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint32_t GetBigEndian(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

bool IsExtendedSegment(const uint8_t* data, int64_t length) {
  return length >= static_cast<int64_t>(kChunkHeader) &&
         std::memcmp(data, IE_XMP_EXTENSION_NAMESPACE, kExtensionHeader) == 0;
}

bool IsXMPMarker(const TIEMarkerList& markers, int32_t i) {
  if (markers.GetMarkerType(i) != IE_JPEG_APP1) return false;
  int64_t packetLength;
  const uint8_t* data = markers.GetMarkerData(i);
  const int64_t length = markers.GetMarkerLength(i);
  return IEGetXMPPacket(data, length, packetLength) != nullptr || IsExtendedSegment(data, length);
}

// The GUID the standard packet names; empty when none.
std::string NamedGuid(const std::string& packet) {
  const size_t at = packet.find(kGuidAttribute);
  if (at == std::string::npos || packet.size() - at - kGuidAttribute.size() < kGuidLength) return {};
  return packet.substr(at + kGuidAttribute.size(), kGuidLength);
}

}  // namespace

const uint8_t* IEGetXMPPacket(const uint8_t* data, int64_t length, int64_t& packetLength) {
  packetLength = 0;
  if (data == nullptr || length < kMinimumSegment || std::memcmp(data, IE_XMP_NAMESPACE, kCompared) != 0)
    return nullptr;
  const auto* nul = static_cast<const uint8_t*>(std::memchr(data, 0, static_cast<size_t>(length)));
  if (nul == nullptr) return nullptr;
  packetLength = length - (nul + 1 - data);
  return nul + 1;
}

bool IEReadXMPBlock(const uint8_t* data, int64_t length, std::string& xmp) {
  int64_t packetLength;
  const uint8_t* packet = IEGetXMPPacket(data, length, packetLength);
  if (packet == nullptr) return false;
  xmp.assign(reinterpret_cast<const char*>(packet), static_cast<size_t>(packetLength));
  return true;
}

std::vector<uint8_t> IEBuildXMPBlock(const std::string& xmp) {
  std::vector<uint8_t> block(IE_XMP_NAMESPACE, IE_XMP_NAMESPACE + std::strlen(IE_XMP_NAMESPACE) + 1);
  block.insert(block.end(), xmp.begin(), xmp.end());
  return block;
}

void IEStoreXMPMarkers(TIEMarkerList& markers, const std::string& xmp) {
  for (int32_t i = markers.GetCount() - 1; i >= 0; --i)
    if (IsXMPMarker(markers, i)) markers.Delete(i);
  if (xmp.empty()) return;
  const std::vector<uint8_t> whole = IEBuildXMPBlock(xmp);
  if (markers.AddMarker(IE_JPEG_APP1, whole.data(), static_cast<int32_t>(whole.size())) >= 0) return;
  const std::string guid = Digest(xmp);
  const std::vector<uint8_t> standard = IEBuildXMPBlock(StandardPacketNaming(guid));
  markers.AddMarker(IE_JPEG_APP1, standard.data(), static_cast<int32_t>(standard.size()));
  for (size_t offset = 0; offset < xmp.size(); offset += kChunkData) {
    std::vector<uint8_t> chunk(IE_XMP_EXTENSION_NAMESPACE, IE_XMP_EXTENSION_NAMESPACE + kExtensionHeader);
    chunk.insert(chunk.end(), guid.begin(), guid.end());
    PutBigEndian(chunk, static_cast<uint32_t>(xmp.size()));
    PutBigEndian(chunk, static_cast<uint32_t>(offset));
    const size_t count = std::min(kChunkData, xmp.size() - offset);
    chunk.insert(chunk.end(), xmp.begin() + static_cast<std::ptrdiff_t>(offset),
                 xmp.begin() + static_cast<std::ptrdiff_t>(offset + count));
    markers.AddMarker(IE_JPEG_APP1, chunk.data(), static_cast<int32_t>(chunk.size()));
  }
}

std::string IEReadXMPMarkers(const TIEMarkerList& markers) {
  std::string standard;
  bool found = false;
  for (int32_t i = 0; i < markers.GetCount() && !found; ++i)
    if (markers.GetMarkerType(i) == IE_JPEG_APP1)
      found = IEReadXMPBlock(markers.GetMarkerData(i), markers.GetMarkerLength(i), standard);
  const std::string guid = NamedGuid(standard);
  if (guid.empty()) return standard;
  // The pieces of that GUID, each placed at its offset inside the declared length.
  std::string extended;
  std::vector<bool> filled;
  for (int32_t i = 0; i < markers.GetCount(); ++i) {
    const uint8_t* data = markers.GetMarkerData(i);
    const int64_t length = markers.GetMarkerLength(i);
    if (markers.GetMarkerType(i) != IE_JPEG_APP1 || !IsExtendedSegment(data, length) ||
        std::memcmp(data + kExtensionHeader, guid.data(), kGuidLength) != 0)
      continue;
    const uint32_t total = GetBigEndian(data + kExtensionHeader + kGuidLength);
    const uint32_t offset = GetBigEndian(data + kExtensionHeader + kGuidLength + 4);
    const int64_t count = length - static_cast<int64_t>(kChunkHeader);
    if (filled.empty()) {
      if (total > (int64_t{markers.GetCount()} * IE_MAX_MARKER_PAYLOAD)) return standard;  // more than the list holds
      extended.assign(total, '\0');
      filled.assign(total, false);
    }
    if (total != extended.size() || int64_t{offset} + count > int64_t{total}) return standard;
    std::memcpy(extended.data() + offset, data + kChunkHeader, static_cast<size_t>(count));
    std::fill(filled.begin() + offset, filled.begin() + offset + count, true);
  }
  if (filled.empty() || std::find(filled.begin(), filled.end(), false) != filled.end() || Digest(extended) != guid)
    return standard;
  return extended;
}
