#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_markers.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/core/test_support.h"

namespace {

std::string Payload(const TIEMarkerList& list, int32_t index) {
  return std::string(reinterpret_cast<const char*>(list.GetMarkerData(index)),
                     static_cast<size_t>(list.GetMarkerLength(index)));
}

void Add(TIEMarkerList& list, uint8_t type, const std::string& payload) {
  ASSERT_GE(list.AddMarker(type, payload.data(), static_cast<int32_t>(payload.size())), 0);
}

std::string IccChunk(int number) { return std::string("ICC_PROFILE\0", 12) + char(number) + char(2) + "data"; }

std::vector<std::string> Listing(const TIEMarkerList& list) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < list.GetCount(); ++i)
    out.push_back(std::to_string(list.GetMarkerType(i) - 0xE0) + ":" + Payload(list, i).substr(0, 14));
  return out;
}

TEST(IEMarkerList, SortOrdersCodesIccChunksAndExif) {
  TIEMarkerList list;
  Add(list, IE_JPEG_APP1, std::string("Exif\0\0MM", 8));
  Add(list, IE_JPEG_APP0, "JFIF");
  Add(list, IE_JPEG_APP2, IccChunk(2));
  Add(list, IE_JPEG_APP2, IccChunk(1));
  list.Sort();
  ASSERT_EQ(list.GetCount(), 4);
  EXPECT_EQ(list.GetMarkerType(0), IE_JPEG_APP0);
  EXPECT_EQ(list.GetMarkerType(1), IE_JPEG_APP1);
  EXPECT_EQ(list.GetMarkerData(2)[12], 1);
  EXPECT_EQ(list.GetMarkerData(3)[12], 2);
}

// Extended XMP needs its segments in the order written: moving the EXIF
// block to the front must leave the others in place, and markers of one
// code keep their order.
TEST(IEMarkerList, SortIsStableAndMovesExifWithoutReordering) {
  TIEMarkerList list;
  Add(list, IE_JPEG_COM, "c1");
  Add(list, IE_JPEG_APP1, "http://ns.adobe.com/xap/1.0/");
  Add(list, IE_JPEG_APP1, "http://ns.adobe.com/xmp/extension/ 1");
  Add(list, IE_JPEG_APP2, "other");
  Add(list, IE_JPEG_APP1, "http://ns.adobe.com/xmp/extension/ 2");
  Add(list, IE_JPEG_APP1, std::string("Exif\0\0II", 8));
  Add(list, IE_JPEG_APP2, IccChunk(2));
  Add(list, IE_JPEG_COM, "c2");
  Add(list, IE_JPEG_APP2, IccChunk(1));
  list.Sort();
  const std::vector<std::string> expected = {
      "1:" + std::string("Exif\0\0II", 8), "1:http://ns.ado", "1:http://ns.ado", "1:http://ns.ado",
      "2:other",  "2:" + IccChunk(1).substr(0, 14), "2:" + IccChunk(2).substr(0, 14), "30:c1", "30:c2"};
  std::vector<std::string> got = Listing(list);
  for (auto& s : got) s = s.substr(0, expected[&s - got.data()].size());
  EXPECT_EQ(got, expected);
  EXPECT_EQ(Payload(list, 1), "http://ns.adobe.com/xap/1.0/");
  EXPECT_EQ(Payload(list, 2).back(), '1');
  EXPECT_EQ(Payload(list, 3).back(), '2');
}

TEST(IEMarkerList, PayloadsLongerThanAMarkerAreRefused) {
  TIEMarkerList list;
  std::vector<uint8_t> big(IE_MAX_MARKER_PAYLOAD + 1, 7);
  EXPECT_EQ(list.AddMarker(IE_JPEG_APP1, big.data(), IE_MAX_MARKER_PAYLOAD + 1), -1);
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.AddMarker(IE_JPEG_APP1, big.data(), IE_MAX_MARKER_PAYLOAD), 0);
  EXPECT_FALSE(list.SetMarker(0, IE_JPEG_APP2, big.data(), static_cast<int32_t>(big.size())));
  EXPECT_EQ(list.GetMarkerType(0), IE_JPEG_APP1);
  EXPECT_EQ(list.GetMarkerLength(0), IE_MAX_MARKER_PAYLOAD);
}

TEST(IEMarkerList, EditingCopyingAndTheStream) {
  TIEMarkerList list;
  Add(list, IE_JPEG_APP0, "a");
  Add(list, IE_JPEG_COM, "comment");
  Add(list, IE_JPEG_APP0, "b");
  Add(list, IE_JPEG_APP13, "");
  EXPECT_EQ(list.IndexOfType(IE_JPEG_COM), 1);
  EXPECT_EQ(list.IndexOfType(IE_JPEG_APP2), -1);
  list.DeleteMarkersOfType(IE_JPEG_APP0);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_THROW(list.Delete(2), EListError);

  TMemoryStream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size())),
            std::string("\0\x02\0\0\0\xFE\x07\0\0\0comment\xED\0\0\0\0", 22));
  stream.SetPosition(0);
  TIEMarkerList back;
  back.LoadFromStream(stream);
  TIEMarkerList copy;
  copy.Assign(&back);
  ASSERT_EQ(copy.GetCount(), 2);
  EXPECT_EQ(Payload(copy, 0), "comment");
  EXPECT_EQ(copy.GetMarkerLength(1), 0);
}

TEST(IEMarkerList, DamagedStreamsFailCleanly) {
  const std::string cases[] = {
      std::string("\0\xFF\xFF\xFF\x7F", 5),                  // a huge count
      std::string("\0\x01\0\0\0\xE1\xFF\xFF\0\0ab", 12),     // a payload beyond the end
      std::string("\0\x01\0\0\0\xE1\xFF\xFF\x0F\0", 10),     // longer than a marker holds
      std::string("\0\x01\0", 3),                            // cut in the count
  };
  for (const std::string& bytes : cases) {
    TStringStream stream(bytes);
    TIEMarkerList list;
    Add(list, IE_JPEG_APP0, "old");
    EXPECT_THROW(list.LoadFromStream(stream), EReadError);
    EXPECT_EQ(list.GetCount(), 0);
  }
}

std::string Bytes(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST(IEIPTCInfoList, SaveToBufferLayouts) {
  TIEIPTCInfoList list;
  EXPECT_TRUE(list.SaveToBuffer(false).empty());
  list.AddItem(2, 120, 3, "abc");
  list.AddItem(2, 0, 2, "\0\x04");  // the record version is written by the header
  list.AddItem(2, 25, 0, nullptr);  // empty items are left out
  EXPECT_EQ(Bytes(list.SaveToBuffer(false)), std::string("\x1C\x02\0\0\x02\0\x02\x1C\x02\x78\0\x03" "abc\0", 16));
  const std::string ps = Bytes(list.SaveToBuffer(true));
  ASSERT_EQ(ps.size(), 34u);
  EXPECT_EQ(ps.substr(0, 26), std::string("Photoshop 3.0\0" "8BIM\x04\x04\0\0\0\0\0\x08", 26));
  EXPECT_EQ(ps.substr(26), std::string("\x1C\x02\x78\0\x03" "abc", 8));
}

TEST(IEIPTCInfoList, BufferRoundTripWithLongItems) {
  TIEIPTCInfoList list;
  std::string caption(40000, 'x');
  caption[39999] = 'y';
  list.AddItem(2, 120, 40000, caption.data());
  list.AddItem(2, 25, 5, "alpha");
  for (bool photoshop : {false, true}) {
    const std::vector<uint8_t> block = list.SaveToBuffer(photoshop);
    const std::string text = Bytes(block);
    EXPECT_NE(text.find(std::string("\x1C\x02\x78\x80\x04\0\0\x9C\x40", 9)), std::string::npos);
    TIEIPTCInfoList back;
    back.AddItem(1, 1, 1, "z");
    EXPECT_TRUE(back.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size())));
    EXPECT_FALSE(back.Changed);
    ASSERT_EQ(back.GetCount(), photoshop ? 2 : 3);  // the record version item comes first without the header
    const int32_t i = back.GetCount() - 2;
    EXPECT_EQ(back.GetDataSet(i), 120);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.GetItemData(i)), 40000), caption);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.GetItemData(i + 1)), 5), "alpha");
  }
}

TEST(IEIPTCInfoList, LoadFromBufferStopsAtWhatDoesNotFit) {
  struct Case {
    std::string block;
    int32_t items;
  };
  const Case cases[] = {
      {std::string("\x1C\x02\x05\0\x02hi\x1C\x02\x06\0\x09short", 17), 1},  // last item runs past the end
      {std::string("junk\x1C\x1C\x1C\x02\x05\0\x01z", 12), 1},               // leading junk and a run of tags
      {std::string("\x1C\x02\x05\x80\x04\xFF\xFF\xFF\xFF" "a", 10), 1},      // extended length -1: one byte
      {std::string("\x1C\x02\x05\x80\x04\x7F\xFF\xFF\xFF", 9), 0},           // extended length beyond the end
      {std::string("\x1C\x02\x05\x80", 4), 0},                               // header cut
      {std::string("Photoshop 3.0\0" "8BIM\x04\x05\0\0\0\0\0\x05\x1C\x02\x05\0\0", 31), 0},  // no IPTC resource
  };
  for (const Case& c : cases) {
    TIEIPTCInfoList list;
    EXPECT_EQ(list.LoadFromBuffer(c.block.data(), static_cast<int64_t>(c.block.size())), c.items > 0);
    EXPECT_EQ(list.GetCount(), c.items) << c.block.size();
  }
}

TEST(IEIPTCInfoList, StreamRoundTripAndDamage) {
  TIEIPTCInfoList list;
  list.AddItem(2, 5, 4, "name");
  list.AddItem(1, 90, 3, "\x1B%G");
  TMemoryStream stream;
  list.SaveToStream(stream);
  stream.SetPosition(0);
  TIEIPTCInfoList back;
  back.LoadFromStream(stream);
  EXPECT_TRUE(back.Changed);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetRecordNumber(1), 1);
  EXPECT_EQ(back.GetItemLength(1), 3);

  TStringStream damaged(std::string("\0\0\0\0\x01\0\0\0\x02\0\0\0\x05\0\0\0\xFF\xFF\0\0", 20));
  EXPECT_THROW(back.LoadFromStream(damaged), EReadError);
  EXPECT_EQ(back.GetCount(), 0);
}

// A JPEG carrying our APP13 block: exiftool reads the data sets back.
TEST(IEIPTCInfoList, ExiftoolReadsWhatWeWrite) {
  TempFolder folder;
  const std::string plain = folder.File("plain.jpg"), tagged = folder.File("tagged.jpg");
  ASSERT_EQ(RunCommand("convert -size 8x8 xc:gray " + plain), 0);
  TIEIPTCInfoList list;
  const std::string caption = "A caption \xC3\xA9";
  list.AddItem(1, 90, 3, "\x1B%G");  // UTF-8
  list.AddItem(2, 120, static_cast<int32_t>(caption.size()), caption.data());
  list.AddItem(2, 25, 4, "tree");
  list.AddItem(2, 25, 5, "river");
  const std::vector<uint8_t> block = list.SaveToBuffer(true);
  std::string jpeg = ReadFile(plain);
  const size_t length = block.size() + 2;
  const std::string segment = std::string("\xFF\xED") + char(length >> 8) + char(length & 0xFF) + Bytes(block);
  jpeg.insert(2, segment);
  WriteFile(tagged, jpeg);
  const std::string out = folder.File("out.txt");
  ASSERT_EQ(RunCommand("exiftool -q -s -s -s -IPTC:Caption-Abstract -IPTC:Keywords -sep , " + tagged + " > " + out), 0);
  EXPECT_EQ(ReadFile(out), caption + "\ntree,river\n");
}

}  // namespace
