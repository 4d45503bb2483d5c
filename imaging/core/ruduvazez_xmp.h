// XMP packets in JPEG APP1 segments: the standard packet behind the XMP
// namespace, and the extended XMP that carries a packet too long for one
// segment in pieces named by the MD5 digest of the whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class TIEMarkerList;

// "http://ns.adobe.com/xap/1.0/", the 28-character namespace that opens a
// standard XMP segment (followed by a NUL).
extern const char* const IE_XMP_NAMESPACE;
// "http://ns.adobe.com/xmp/extension/", which opens an extended XMP segment.
extern const char* const IE_XMP_EXTENSION_NAMESPACE;

// The packet of a standard XMP segment: the bytes after the first NUL when
// the segment holds at least 30 bytes and begins with the first 24
// characters of the namespace; null otherwise, and for a segment without a
// NUL. packetLength receives the bytes from the packet to the segment's end.
const uint8_t* IEGetXMPPacket(const uint8_t* data, int64_t length, int64_t& packetLength);
// The packet of a segment as text; false, and xmp untouched, when the
// segment holds none.
bool IEReadXMPBlock(const uint8_t* data, int64_t length, std::string& xmp);
// The namespace, its NUL and the packet.
std::vector<uint8_t> IEBuildXMPBlock(const std::string& xmp);

// Replaces the XMP segments of the list with the packet: one standard
// segment when it fits, else a small standard packet that names the
// extended XMP and as many extended segments as the packet needs.
void IEStoreXMPMarkers(TIEMarkerList& markers, const std::string& xmp);
// The XMP of a list: the extended XMP when every piece named by the
// standard packet is present and its digest matches, else the standard
// packet; empty when there is none.
std::string IEReadXMPMarkers(const TIEMarkerList& markers);
