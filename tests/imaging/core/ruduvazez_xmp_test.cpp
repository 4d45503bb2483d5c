#include "imaging/core/ruduvazez_xmp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_markers.h"
#include "tests/imaging/core/test_support.h"

namespace {

const std::string kNamespace = std::string("http://ns.adobe.com/xap/1.0/") + '\0';

TEST(XMPSegments, PacketsAreFoundInsideTheSegmentOnly) {
  struct Case {
    std::string segment;
    bool found;
    std::string packet;
  };
  const Case cases[] = {
      {kNamespace + "<x/>", true, "<x/>"},
      {kNamespace, false, ""},                                          // 29 bytes: too short
      {std::string("http://ns.adobe.com/xap/1.0/") + "<x:xmpmeta/>", false, ""},  // no NUL
      {std::string("http://ns.adobe.com/xmp/e") + '\0' + "<abcdefg/>", false, ""},  // another namespace
      {std::string("http://ns.adobe.com/xap/1.") + '\0' + "<abc/>", true, "<abc/>"},  // 24 characters compared
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.segment);
    std::string xmp = "kept";
    EXPECT_EQ(IEReadXMPBlock(reinterpret_cast<const uint8_t*>(c.segment.data()),
                             static_cast<int64_t>(c.segment.size()), xmp),
              c.found);
    EXPECT_EQ(xmp, c.found ? c.packet : "kept");
  }
  const std::vector<uint8_t> block = IEBuildXMPBlock("<x/>");
  EXPECT_EQ(std::string(block.begin(), block.end()), kNamespace + "<x/>");
}

std::string Packet(const std::string& description) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">"
         "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">"
         "<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
         description + "</rdf:li></rdf:Alt></dc:description></rdf:Description></rdf:RDF></x:xmpmeta>"
         "<?xpacket end=\"w\"?>";
}

// A JPEG with the list's segments after its start: exiftool reads the
// description back, the long one through the extended XMP.
TEST(XMPSegments, ExiftoolReadsStandardAndExtendedXMP) {
  TempFolder folder;
  const std::string plain = folder.File("plain.jpg");
  ASSERT_EQ(RunCommand("convert -size 8x8 xc:gray " + plain), 0);
  std::string longText;
  for (int i = 0; longText.size() < 150000; ++i) longText += "word" + std::to_string(i) + " ";
  longText += "end";
  for (const std::string& description : {std::string("A short caption"), longText}) {
    TIEMarkerList markers;
    markers.AddMarker(IE_JPEG_APP1, "Exif\0\0", 6);  // other APP1 segments stay
    IEStoreXMPMarkers(markers, Packet("old"));
    IEStoreXMPMarkers(markers, Packet(description));
    EXPECT_EQ(markers.GetCount(), description.size() < 1000 ? 2 : 2 + 3);
    EXPECT_EQ(IEReadXMPMarkers(markers), Packet(description));
    std::string segments;
    for (int32_t i = 1; i < markers.GetCount(); ++i) {
      const size_t length = static_cast<size_t>(markers.GetMarkerLength(i)) + 2;
      segments += std::string("\xFF\xE1") + char(length >> 8) + char(length & 0xFF) +
                  std::string(reinterpret_cast<const char*>(markers.GetMarkerData(i)), length - 2);
    }
    std::string jpeg = ReadFile(plain);
    jpeg.insert(2, segments);
    const std::string tagged = folder.File("tagged.jpg"), out = folder.File("out.txt");
    WriteFile(tagged, jpeg);
    ASSERT_EQ(RunCommand("exiftool -q -s -s -s -XMP-dc:Description " + tagged + " > " + out), 0);
    const std::string read = ReadFile(out);
    EXPECT_EQ(read.size(), description.size() + 1);
    EXPECT_TRUE(read == description + "\n") << read.substr(0, 100);
  }
}

TEST(XMPSegments, DamagedExtendedXMPFallsBackToTheStandardPacket) {
  std::string longText(100000, 'x');
  TIEMarkerList markers;
  IEStoreXMPMarkers(markers, Packet(longText));
  ASSERT_EQ(markers.GetCount(), 3);
  std::string standard;
  IEReadXMPBlock(markers.GetMarkerData(0), markers.GetMarkerLength(0), standard);
  EXPECT_NE(standard.find("HasExtendedXMP"), std::string::npos);
  // A missing piece, a piece beyond the declared length, a changed byte.
  TIEMarkerList missing;
  missing.Assign(&markers);
  missing.Delete(2);
  EXPECT_EQ(IEReadXMPMarkers(missing), standard);
  TIEMarkerList changed;
  changed.Assign(&markers);
  std::vector<uint8_t> piece(changed.GetMarkerData(2), changed.GetMarkerData(2) + changed.GetMarkerLength(2));
  piece.back() ^= 1;
  changed.SetMarker(2, IE_JPEG_APP1, piece.data(), static_cast<int32_t>(piece.size()));
  EXPECT_EQ(IEReadXMPMarkers(changed), standard);
  piece.back() ^= 1;
  piece[35 + 32 + 4] = 0x7F;  // offset far beyond the length
  changed.SetMarker(2, IE_JPEG_APP1, piece.data(), static_cast<int32_t>(piece.size()));
  EXPECT_EQ(IEReadXMPMarkers(changed), standard);
  TIEMarkerList none;
  EXPECT_EQ(IEReadXMPMarkers(none), "");
}

}  // namespace
