// The CIFF heap reader on heaps built here record by record.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/ieraw.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

// Builds one heap: data blocks first, then the record table, then the
// table's offset. Offsets count from the heap's start.
class THeapBuilder {
public:
  explicit THeapBuilder(bool bigEndian = false) : big_(bigEndian) {}

  // A record whose data lie in the heap; the data's offset.
  uint32_t Add(uint16_t type, const std::string& data) {
    const uint32_t offset = static_cast<uint32_t>(data_.size());
    data_ += data;
    records_.push_back({type, static_cast<uint32_t>(data.size()), offset});
    return offset;
  }
  // A record with the length and offset as given.
  void AddRaw(uint16_t type, uint32_t length, uint32_t offset) { records_.push_back({type, length, offset}); }
  // A sub-table record over a heap built apart.
  void AddTable(uint16_t type, const std::string& heap) { Add(type, heap); }
  // The heap; count overrides the record count written.
  std::string Build(int32_t count = -1) const {
    std::string heap = data_;
    const uint32_t table = static_cast<uint32_t>(heap.size());
    heap += U16(static_cast<uint16_t>(count >= 0 ? count : static_cast<int32_t>(records_.size())));
    for (const TRecord& r : records_) heap += U16(r.type) + U32(r.length) + U32(r.offset);
    return heap + U32(table);
  }
  std::string U16(uint16_t v) const { return big_ ? std::string{char(v >> 8), char(v)} : std::string{char(v), char(v >> 8)}; }
  std::string U32(uint32_t v) const { return big_ ? U16(uint16_t(v >> 16)) + U16(uint16_t(v)) : U16(uint16_t(v)) + U16(uint16_t(v >> 16)); }
  // The whole file: byte-order mark, header length 14, signature, heap.
  std::string File(const std::string& heap) const { return (big_ ? "MM" : "II") + U32(14) + "HEAPCCDR" + heap; }

private:
  struct TRecord {
    uint16_t type;
    uint32_t length, offset;
  };
  bool big_;
  std::string data_;
  std::vector<TRecord> records_;
};

// A JPEG of that size.
std::string JpegBytes(int32_t width, int32_t height) {
  TImageryIO io(nullptr);
  io.IEBitmap()->Allocate(width, height, ie24RGB);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      io.IEBitmap()->SetPixel24(x, y, TRGB{static_cast<uint8_t>(9 * x), static_cast<uint8_t>(9 * y), 90});
  TMemoryStream stream;
  io.SaveToStreamJPEG(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

class CIFFMetadata : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IESetCodecTable({});  // the library's own codecs: previews are JPEGs
  }
  void Read(const std::string& file) {
    TMemoryStream stream;
    stream.Write(file.data(), static_cast<int32_t>(file.size()));
    stream.SetPosition(0);
    EXPECT_EQ(IEReadCIFFMetadata(stream, params_), 0);
  }
  TIOParamsVals params_{nullptr};
};

TEST_F(CIFFMetadata, ReadsEveryRecordKindInBothByteOrders) {
  for (bool big : {false, true}) {
    THeapBuilder heap(big);
    heap.Add(0x0805, std::string("A description\0", 14));
    heap.Add(0x080A, std::string("Maker\0Model X\0", 14));
    heap.Add(0x102A, heap.U16(0x0102) + heap.U16(0x0304));  // maker note: two shorts
    heap.AddRaw(0x4000 | 0x1810, 3000, 2000);  // data in the record itself
    THeapBuilder sub(big);
    sub.Add(0x080B, std::string("Firmware 1.0\0", 13));
    const std::string subHeap = sub.Build();
    heap.AddTable(0x300A, subHeap);
    Read(heap.File(heap.Build()));
    EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "A description") << big;
    EXPECT_EQ(params_.EXIF_MAKE, "Maker") << big;
    EXPECT_EQ(params_.EXIF_MODEL, "Model X") << big;
    EXPECT_EQ(params_.EXIF_EXIFIMAGEWIDTH, 3000) << big;
    EXPECT_EQ(params_.EXIF_EXIFIMAGEHEIGHT, 2000) << big;
    EXPECT_EQ(params_.EXIF_SOFTWARE, "Firmware 1.0") << big;  // from the sub-table
    const TIETIFFIFDReader& note = params_.EXIFMakerNote.Reader();
    ASSERT_EQ(note.EntryCount(), 1) << big;
    EXPECT_EQ(note.Entry(0)->Tag, 4);
    EXPECT_EQ(note.ReadInteger(4, 0, -1), 0x0102) << big;
    EXPECT_EQ(note.ReadInteger(4, 1, -1), 0x0304) << big;
    ASSERT_NE(params_.EXIFThumbnail, nullptr);  // no preview: an empty thumbnail
    EXPECT_TRUE(params_.EXIFThumbnail->IsEmpty());
  }
}

TEST_F(CIFFMetadata, EverySubTableKindIsFollowed) {
  for (uint16_t type : {0x2800, 0x2807, 0x3000, 0x3002, 0x3003, 0x3004, 0x300A, 0x300B}) {
    THeapBuilder sub;
    sub.Add(0x080B, "inside " + std::to_string(type) + '\0');
    THeapBuilder heap;
    heap.AddTable(type, sub.Build());
    Read(heap.File(heap.Build()));
    EXPECT_EQ(params_.EXIF_SOFTWARE, "inside " + std::to_string(type));
  }
}

TEST_F(CIFFMetadata, TheSmallestJPEGRecordBecomesThePreview) {
  const std::string large = JpegBytes(24, 16), small = JpegBytes(12, 8);
  THeapBuilder heap;
  heap.Add(0x2007, large);
  heap.Add(0x2008, small);
  heap.Add(0x2007, "not a JPEG at all");
  Read(heap.File(heap.Build()));
  ASSERT_NE(params_.EXIFThumbnail, nullptr);
  EXPECT_EQ(params_.EXIFThumbnail->GetWidth(), 12);
  EXPECT_EQ(params_.EXIFThumbnail->GetHeight(), 8);
}

TEST_F(CIFFMetadata, AJPEGRecordIsReadWithinItsOwnLength) {
  // The record claims the JPEG's first bytes only: what follows in the heap
  // is not its data.
  const std::string jpeg = JpegBytes(12, 8);
  THeapBuilder heap;
  heap.Add(0x0805, jpeg);
  heap.AddRaw(0x2008, 20, 0);
  Read(heap.File(heap.Build()));
  ASSERT_NE(params_.EXIFThumbnail, nullptr);
  EXPECT_TRUE(params_.EXIFThumbnail->IsEmpty());
}

TEST_F(CIFFMetadata, MakerNoteRecordsAreKeptOnlyWhenTheirShortsLieInTheHeap) {
  // The heap: 8 bytes of shorts, a table of two records (22 bytes) and its
  // offset (4): 34 bytes from the note's data to the heap's end.
  struct TCase {
    uint16_t type, tag;
    uint32_t count;  // shorts claimed
    bool kept;
  };
  const TCase cases[] = {
      {0x102A, 4, 4, true},
      {0x102D, 1, 17, true},   // exactly the heap's 34 bytes
      {0x102D, 1, 18, false},  // the count lies in the heap, twice it does not
  };
  for (const TCase& c : cases) {
    THeapBuilder heap;
    std::string shorts;
    for (uint16_t i = 0; i < 4; ++i) shorts += heap.U16(static_cast<uint16_t>(0x100 + i));
    heap.Add(0x0000, shorts);  // an ignored record over the data
    heap.AddRaw(c.type, c.count, 0);
    params_.EXIFMakerNote.SetBlock({}, true);
    Read(heap.File(heap.Build()));
    const TIETIFFIFDReader& note = params_.EXIFMakerNote.Reader();
    ASSERT_EQ(note.EntryCount(), c.kept ? 1 : 0) << c.count;
    if (!c.kept) continue;
    EXPECT_EQ(note.Entry(0)->Tag, c.tag);
    EXPECT_EQ(note.ReadInteger(c.tag, 3, -1), 0x103) << c.count;
  }
}

TEST_F(CIFFMetadata, ARecordTableRunningPastItsHeapEndsThere) {
  // The sub-table declares two records and holds one. Read on, the second
  // would be its own table offset (0x805: a description) and the parent's
  // next bytes, pointing at the hidden text.
  THeapBuilder sub;
  std::string data = std::string("kept\0intruder\0", 14);
  data.resize(0x805, '\0');
  sub.Add(0x080B, data);
  THeapBuilder heap;
  heap.Add(0x0805, std::string("parent\0", 7));
  heap.AddTable(0x300A, sub.Build(2));
  heap.Add(0x0000, heap.U16(1) + heap.U32(5));
  Read(heap.File(heap.Build()));
  EXPECT_EQ(params_.EXIF_SOFTWARE, "kept");
  EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "parent");
}

TEST_F(CIFFMetadata, ATableIsReadForItsFirst256Records) {
  THeapBuilder heap;
  for (int i = 0; i < 256; ++i) heap.Add(0x0805, "d" + std::to_string(i) + '\0');
  heap.Add(0x080B, std::string("too far\0", 8));
  Read(heap.File(heap.Build()));
  EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "d255");
  EXPECT_EQ(params_.EXIF_SOFTWARE, "");
}

TEST_F(CIFFMetadata, HostileHeapsEndTheirTableAndNothingElse) {
  {  // A sub-table that is its own parent, nested tables down to any depth.
    THeapBuilder heap;
    heap.Add(0x0805, std::string("kept\0", 5));
    const uint32_t whole = static_cast<uint32_t>(heap.Build().size() + 10);  // with the next record
    heap.AddRaw(0x3000, whole, 0);
    Read(heap.File(heap.Build()));
    EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "kept");
  }
  {  // Tables nested 40 deep: read down to the limit, no further.
    std::string inner;
    for (int depth = 0; depth < 40; ++depth) {
      THeapBuilder heap;
      heap.Add(0x0805, "level" + std::to_string(39 - depth) + '\0');
      if (!inner.empty()) heap.AddTable(0x3004, inner);
      inner = heap.Build();
    }
    params_.EXIF_IMAGEDESCRIPTION.clear();
    Read(THeapBuilder().File(inner));
    EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "level16");
  }
  {  // A record past the end ends the table; the records before it count.
    THeapBuilder heap;
    heap.Add(0x080B, std::string("before\0", 7));
    heap.AddRaw(0x0805, 10, 0x7FFFFFF0);
    heap.Add(0x1810, std::string(8, '\1'));
    params_.EXIF_EXIFIMAGEWIDTH = 0;
    Read(heap.File(heap.Build()));
    EXPECT_EQ(params_.EXIF_SOFTWARE, "before");
    EXPECT_EQ(params_.EXIF_EXIFIMAGEWIDTH, 0);
  }
  {  // A maker-note record claiming more than the heap holds is skipped;
     // a text claiming more stops at the heap's end.
    THeapBuilder heap;
    heap.Add(0x080B, "ab");
    heap.AddRaw(0x102A, 0x40000000, 0);
    heap.AddRaw(0x0805, 0xFFFFFFFF, 0);
    Read(heap.File(heap.Build()));
    ASSERT_EQ(params_.EXIFMakerNote.Reader().EntryCount(), 0);
    EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION.substr(0, 2), "ab");
  }
  {  // A table offset past the heap, and files cut anywhere.
    THeapBuilder heap;
    heap.Add(0x0805, std::string("never\0", 6));
    std::string file = heap.File(heap.Build());
    params_.EXIF_IMAGEDESCRIPTION.clear();
    for (size_t cut = 0; cut < file.size(); ++cut) Read(file.substr(0, cut));
    params_.EXIF_IMAGEDESCRIPTION.clear();
    file.replace(file.size() - 4, 4, heap.U32(0x10000));
    Read(file);
    EXPECT_EQ(params_.EXIF_IMAGEDESCRIPTION, "");
  }
}

TEST_F(CIFFMetadata, AFileWithoutMarkOrSignatureIsLeftAlone) {
  params_.EXIF_MAKE = "unchanged";
  Read("XX" + std::string(4, '\0') + "NOTAHEAP" + std::string(40, '\0'));
  EXPECT_EQ(params_.EXIF_MAKE, "unchanged");
  EXPECT_EQ(params_.EXIFThumbnail, nullptr);
}

}  // namespace
