#include <gtest/gtest.h>

#include <string>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class JPEGMarkers : public IOTest {
protected:
  // A Photoshop block holding the resolution resource: name length bytes,
  // the 32-bit size and the given number of data bytes.
  static std::string ResolutionBlock(uint8_t nameHigh, uint8_t nameLow, uint32_t size, size_t dataBytes) {
    std::string s = "Photoshop 3.0";
    s += '\0';
    s += std::string("8BIM\x03\xED", 6);
    s += static_cast<char>(nameHigh);
    s += static_cast<char>(nameLow);
    for (int i = 0; i < 4; ++i) s += static_cast<char>(size >> (24 - 8 * i));
    s += std::string(dataBytes, '\0');
    return s;
  }
  static std::string Marker(const TIEMarkerList& markers, int32_t index) {
    return std::string(reinterpret_cast<const char*>(markers.GetMarkerData(index)),
                       static_cast<size_t>(markers.GetMarkerLength(index)));
  }
};

TEST_F(JPEGMarkers, ResolutionResourceTakesTheParametersDPI) {
  TIOParamsVals p(nullptr);
  const std::string block = ResolutionBlock(0, 0, 16, 16);
  p.JPEGMarkers.AddMarker(IE_JPEG_APP13, block.data(), static_cast<int32_t>(block.size()));
  p.IPTC.Changed = false;  // as a JPEG reader leaves the records it read
  p.DPIX = 300, p.DPIY = 150;
  IEPrepareJPEGMarkers(p);
  const std::string data = Marker(p.JPEGMarkers, 0);
  const std::string resolution = data.substr(block.size() - 16);
  EXPECT_EQ(resolution, std::string("\x01\x2C\x00\x00\x00\x01\x00\x01\x00\x96\x00\x00\x00\x01\x00\x01", 16));
}

TEST_F(JPEGMarkers, ResourcesThatDoNotFitTheMarkerAreLeftAlone) {
  const std::string cases[] = {
      ResolutionBlock(0, 0, 16, 10),       // the data end early
      ResolutionBlock(0xFF, 0xF0, 16, 16),  // a name length far past the end
      ResolutionBlock(0, 0, 8, 16),        // a size below 16
      std::string("8BIM\x03\xED\x00", 7),  // cut inside the name length
  };
  for (const std::string& block : cases) {
    TIOParamsVals p(nullptr);
    p.JPEGMarkers.AddMarker(IE_JPEG_APP13, block.data(), static_cast<int32_t>(block.size()));
    p.IPTC.Changed = false;
    p.DPIX = p.DPIY = 72;
    IEPrepareJPEGMarkers(p);
    EXPECT_EQ(Marker(p.JPEGMarkers, 0), block);
  }
}

TEST_F(JPEGMarkers, IPTCXMPAndAnnotationsReplaceTheirBlocks) {
  TIOParamsVals p(nullptr);
  const std::string oldXMP = std::string("http://ns.adobe.com/xap/1.0/", 29) + "<old/>";
  p.JPEGMarkers.AddMarker(IE_JPEG_APP1, oldXMP.data(), static_cast<int32_t>(oldXMP.size()));
  p.JPEGMarkers.AddMarker(IE_JPEG_APP13, "old", 3);
  p.IPTC.AddItem(2, 120, 7, "caption");
  p.XMP_INFO = "<new/>";
  p.Annotations.SetObjects({1, 2, 3});
  IEPrepareJPEGMarkers(p);
  ASSERT_EQ(p.JPEGMarkers.GetCount(), 3);
  EXPECT_EQ(p.JPEGMarkers.GetMarkerType(0), IE_JPEG_APP13);
  EXPECT_NE(Marker(p.JPEGMarkers, 0).find("caption"), std::string::npos);
  EXPECT_EQ(Marker(p.JPEGMarkers, 1), std::string("http://ns.adobe.com/xap/1.0/", 29) + "<new/>");
  EXPECT_TRUE(TIEImageryAnnot::HasSignature(p.JPEGMarkers.GetMarkerData(2), p.JPEGMarkers.GetMarkerLength(2)));

  p.IPTC.Clear();  // an emptied list removes its block
  p.IPTC.Changed = true;
  p.XMP_INFO.clear();
  p.Annotations.Clear();
  IEPrepareJPEGMarkers(p);
  EXPECT_EQ(p.JPEGMarkers.GetCount(), 0);
}

}  // namespace
