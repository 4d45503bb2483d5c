#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/core/tiff_support.h"

namespace {

// ---- files written by the TIFF tools ----------------------------------------------------

struct ToolCase {
  const char* options;
  bool intel, big;
};

class TiffcpFiles : public ::testing::TestWithParam<ToolCase> {};

// Three pages of different sizes joined by tiffcp in the wanted layout.
TEST_P(TiffcpFiles, ReadEveryDirectoryOfTheChain) {
  TempFolder folder;
  const ToolCase& c = GetParam();
  std::string inputs;
  const int widths[3] = {5, 300, 7};
  for (int page = 0; page < 3; ++page) {
    const std::string name = folder.File("p" + std::to_string(page) + ".tif");
    ASSERT_EQ(RunCommand("convert -size " + std::to_string(widths[page]) + "x3 xc:'rgb(10,20,30)' -depth 8 " + name +
                         " && tiffset -s 270 'page number " + std::to_string(page) + " of three' " + name),
              0);
    inputs += " " + name;
  }
  const std::string file = folder.File("joined.tif");
  ASSERT_EQ(RunCommand(std::string("tiffcp -c none ") + c.options + inputs + " " + file), 0);

  TFileStream stream(file, fmOpenRead);
  TIETIFFIFDReader reader;
  const int64_t first = PrepareReader(reader, stream);
  ASSERT_GT(first, 0);
  EXPECT_EQ(reader.Intel, c.intel);
  EXPECT_EQ(reader.BigTIFF, c.big);
  for (int page = 0; page < 3; ++page) {
    SCOPED_TRACE(page);
    int32_t count = 0;
    ASSERT_TRUE(reader.ReadIFD(page, count, first));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(reader.ReadInteger(256, 0, -1), widths[page]);
    EXPECT_EQ(reader.ReadInteger(257, 0, -1), 3);
    std::vector<int64_t> bits;
    EXPECT_EQ(reader.ReadIntegerArray(bits, 258), 3);
    EXPECT_EQ(bits, (std::vector<int64_t>{8, 8, 8}));
    std::string text;
    reader.ReadString(270, true, text);
    EXPECT_EQ(text, "page number " + std::to_string(page) + " of three");
    // The strip holds the colour the page was made with.
    const int64_t strip = reader.ReadInteger(273, 0, 0);
    ASSERT_EQ(reader.ReadInteger(279, 0, 0), widths[page] * 9);
    stream.SetPosition(strip);
    uint8_t rgb[3] = {};
    ASSERT_EQ(stream.Read(rgb, 3), 3);
    EXPECT_EQ(rgb[0], 10);
    EXPECT_EQ(rgb[2], 30);
  }
  int32_t count = 0;
  EXPECT_FALSE(reader.ReadIFD(5, count, first));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(reader.FindTag(256), -1);
  EXPECT_EQ(reader.GetValueCount(0), 0);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TiffcpFiles,
                         ::testing::Values(ToolCase{"-L", true, false}, ToolCase{"-B", false, false},
                                           ToolCase{"-8 -L", true, true}, ToolCase{"-8 -B", false, true}),
                         [](const auto& info) { return std::string(info.param.intel ? "Intel" : "Motorola") +
                                                       (info.param.big ? "BigTIFF" : "Classic"); });

// ---- hand-made directories -------------------------------------------------------------------

// A classic file with one directory at offset 8 holding entries, then tail
// bytes at offset dataStart.
std::string OneDirectory(bool intel, const std::function<void(ByteWriter&)>& entries, uint16_t count,
                         uint32_t next = 0, const std::string& tail = std::string()) {
  ByteWriter w(intel);
  w.Text(intel ? "II" : "MM").U16(42).U32(8).U16(count);
  entries(w);
  w.U32(next);
  w.Text(tail);
  return w.Bytes();
}

struct LoadedFile {
  explicit LoadedFile(const std::string& bytes) : data(bytes), stream(data.data(), static_cast<int64_t>(data.size())) {
    first = PrepareReader(reader, stream);
  }
  bool Read(int32_t index, int32_t& count) { return reader.ReadIFD(index, count, first); }
  std::string data;
  TIEMemStream stream;
  TIETIFFIFDReader reader;
  int64_t first = 0;
};

TEST(TIFFIFDReader, ItemsInEitherByteOrder) {
  for (bool intel : {true, false}) {
    SCOPED_TRACE(intel ? "Intel" : "Motorola");
    // Rational 1/0 and -3/4 and two longs stored after the directory at offset 8 + 2 + 5 * 12 + 4 = 74.
    ByteWriter tail(intel);
    tail.U32(1).U32(0).U32(static_cast<uint32_t>(-3)).U32(4).U32(0x80000001u).U32(7);
    LoadedFile file(OneDirectory(
        intel,
        [&](ByteWriter& w) {
          w.EntryBytes(1, IE_TIFF_SHORT, 1, intel ? std::string("\x02\x01\0\0", 4) : std::string("\x01\x02\0\0", 4));
          w.EntryBytes(2, IE_TIFF_LONG, 1, intel ? std::string("\x01\0\0\x80", 4) : std::string("\x80\0\0\x01", 4));
          w.EntryBytes(3, IE_TIFF_SSHORT, 2, intel ? std::string("\xFE\xFF\x05\0", 4) : std::string("\xFF\xFE\0\x05", 4));
          w.Entry(4, IE_TIFF_SRATIONAL, 2, 74);
          w.Entry(5, IE_TIFF_LONG, 2, 90);
        },
        5, 0, tail.Bytes()));
    int32_t count = 0;
    ASSERT_TRUE(file.Read(0, count));
    EXPECT_EQ(count, 1);
    const TIETIFFIFDReader& r = file.reader;
    EXPECT_EQ(r.ReadInteger(1, 0, -1), 258);
    EXPECT_EQ(r.ReadInteger(2, 0, -1), 0x80000001ll);  // LONG stays unsigned in both orders
    EXPECT_EQ(r.ReadInteger(3, 0, 0), -2);
    EXPECT_EQ(r.ReadInteger(3, 1, 0), 5);
    EXPECT_EQ(r.ReadInteger(3, 2, 99), 0);  // past the count
    EXPECT_DOUBLE_EQ(r.ReadRational(4, 0, 9), 1.0);
    EXPECT_DOUBLE_EQ(r.ReadRational(4, 1, 9), -0.75);
    EXPECT_DOUBLE_EQ(r.ReadRational(99, 0, 9), 9.0);
    EXPECT_EQ(r.ReadInteger(5, 0, 0), 0x80000001ll);
    EXPECT_EQ(r.ReadInteger(5, 1, 0), 7);
    EXPECT_EQ(r.GetValueOffset(r.FindTag(5)), 90);
    EXPECT_EQ(r.GetValueSize(r.FindTag(5)), 8);
    EXPECT_EQ(r.ReadInteger(77, 0, 123), 123);
  }
}

TEST(TIFFIFDReader, ChainsThatComeBackEndTheWalk) {
  // Directories at 8 and 26 (one entry each); the second links as the case says.
  struct Case {
    const char* name;
    uint32_t secondNext;
    int32_t directories;
  };
  const Case cases[] = {{"to itself", 26, 2}, {"to the first", 8, 2}, {"below the header", 4, 2}, {"past the end", 999, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteWriter w(true);
    w.Text("II").U16(42).U32(8);
    w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 11).U32(26);
    w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 22).U32(c.secondNext);
    LoadedFile file(w.Bytes());
    int32_t count = 0;
    ASSERT_TRUE(file.Read(1, count));
    EXPECT_EQ(count, c.directories);
    EXPECT_EQ(file.reader.ReadInteger(256, 0, 0), 22);
    EXPECT_FALSE(file.Read(2, count));
    EXPECT_EQ(count, c.directories);
  }
}

TEST(TIFFIFDReader, CountsLargerThanTheFileAreRefused) {
  // A directory claiming 5000 entries in a file of a few dozen bytes.
  {
    ByteWriter w(true);
    w.Text("II").U16(42).U32(8).U16(5000).Entry(256, IE_TIFF_SHORT, 1, 1).U32(0);
    LoadedFile file(w.Bytes());
    int32_t count = 0;
    EXPECT_FALSE(file.Read(0, count));
    EXPECT_EQ(count, 0);
  }
  // Entries whose counts or offsets run past the file read as absent.
  LoadedFile file(OneDirectory(
      true,
      [](ByteWriter& w) {
        w.Entry(270, IE_TIFF_ASCII, 0xFFFFFFF0u, 8);      // enormous text
        w.Entry(273, IE_TIFF_LONG, 0x40000000u, 8);       // count x 4 past the file
        w.Entry(700, IE_TIFF_UNDEFINED, 16, 0xFFFFFFF8u); // offset past the file
        w.Entry(305, IE_TIFF_ASCII, 10, 60);              // runs 2 bytes past the end
      },
      4, 0, std::string("abcdef")));
  ASSERT_EQ(file.data.size(), 8u + 2 + 48 + 4 + 6);
  int32_t count = 0;
  ASSERT_TRUE(file.Read(0, count));
  const TIETIFFIFDReader& r = file.reader;
  std::string text = "x";
  r.ReadString(270, false, text);
  EXPECT_EQ(text, "");
  std::vector<int64_t> values{1};
  EXPECT_EQ(r.ReadIntegerArray(values, 273), 0);
  EXPECT_TRUE(values.empty());
  std::vector<uint8_t> bytes{1};
  r.ReadBytes(700, bytes);
  EXPECT_TRUE(bytes.empty());
  int32_t size = -1;
  EXPECT_EQ(r.ReadRawData(700, size), nullptr);
  EXPECT_EQ(size, 0);
  r.ReadString(305, false, text);
  EXPECT_EQ(text, "");
}

TEST(TIFFIFDReader, BlocksAndTexts) {
  // "Hi" as UTF-16 with its terminator, a text with a NUL inside, and a block.
  const std::string tail = std::string("H\0i\0\0\0", 6) + std::string("ab\0cd", 5) + "0123456789";
  const uint32_t data = 8 + 2 + 3 * 12 + 4;
  LoadedFile file(OneDirectory(
      false,
      [&](ByteWriter& w) {
        w.Entry(40092, IE_TIFF_BYTE, 6, data);
        w.Entry(270, IE_TIFF_ASCII, 5, data + 6);
        w.Entry(700, IE_TIFF_UNDEFINED, 10, data + 11);
      },
      3, 0, tail));
  int32_t count = 0;
  ASSERT_TRUE(file.Read(0, count));
  const TIETIFFIFDReader& r = file.reader;
  std::u16string wide;
  r.ReadWideString(40092, wide);
  EXPECT_EQ(wide, u"Hi");
  std::string text;
  r.ReadString(270, false, text);
  EXPECT_EQ(text, std::string("ab\0cd", 5));
  r.ReadString(270, true, text);
  EXPECT_EQ(text, "ab");
  std::vector<uint8_t> bytes;
  r.ReadBytes(700, bytes);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "0123456789");
  int32_t size = 0;
  auto raw = r.ReadRawData(700, size);
  ASSERT_NE(raw, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw.get()), static_cast<size_t>(size)), "0123456789");

  TIETIFFIFDReader copy;
  copy.Assign(r);
  EXPECT_FALSE(copy.Intel);
  copy.ReadString(270, true, text);
  EXPECT_EQ(text, "ab");
  copy.Clear();
  EXPECT_EQ(copy.FindTag(270), -1);
}

// ---- writer ------------------------------------------------------------------------------------

TEST(TIFFIFDWriter, WhatGoesInsideTheEntryAndWhatToTheStream) {
  TMemoryStream stream;
  stream.Write("x", 1);  // odd position: out-of-line data are aligned
  bool failed = false;
  TIETIFFIFDWriter w;
  w.WriteAscii(stream, 305, failed, "abc");
  EXPECT_EQ(stream.Size(), 1);
  w.WriteAscii(stream, 306, failed, "abcd");
  EXPECT_EQ(stream.Size(), 2 + 5);
  w.WriteShortArray(stream, 258, failed, {7, 9});
  w.WriteShortArray(stream, 259, failed, {1, 2, 3});
  w.WriteWideString(stream, 40092, failed, u"A");
  w.WriteAscii(stream, 315, failed, "");
  EXPECT_FALSE(failed);
  ASSERT_EQ(w.GetCount(), 5);
  const TIETIFFEntry* e = w.GetEntry(0);
  EXPECT_EQ(e->FieldType, IE_TIFF_ASCII);
  EXPECT_EQ(e->Count, 4u);  // the NUL fits inside the entry too
  EXPECT_EQ(e->Value, 'a' | 'b' << 8 | 'c' << 16);
  e = w.GetEntry(1);
  EXPECT_EQ(e->Count, 5u);
  EXPECT_EQ(e->Value, 2u);
  EXPECT_EQ(w.GetEntry(2)->Value, 7u + 9u * 65536u);
  EXPECT_EQ(w.GetEntry(3)->Value, 8u);  // 2 + 5, aligned
  EXPECT_EQ(w.GetEntry(4)->Count, 4u);
  EXPECT_EQ(w.GetEntry(4)->Value, uint32_t{'A'});
  EXPECT_EQ(w.GetEntry(5), nullptr);

  TIETIFFAllowedTags allowed{282};
  w.AddShort(700, 1, &allowed);
  w.WriteRational(stream, 283, 1.5, failed, &allowed);
  EXPECT_EQ(w.GetCount(), 5);
  w.WriteRational(stream, 282, 1.5, failed, &allowed);
  EXPECT_EQ(w.GetCount(), 6);
  w.SortEntries();
  EXPECT_EQ(w.GetEntry(0)->Tag, 258);
  EXPECT_EQ(w.GetEntry(5)->Tag, 40092);
}

TEST(TIFFIFDWriter, FloatToFraction) {
  struct Case {
    double value;
    int32_t numerator, denominator;
  };
  const Case cases[] = {{0.333333333, 1, 3}, {5.0, 5, 1},          {-1.5, -3, 2},
                        {1e-20, 1, 999999999}, {0.0, 0, 1},        {72.0, 72, 1},
                        {3.14159265358979, 103993, 33102}, {1e30, 999999999, 1}};
  for (const Case& c : cases) {
    int32_t n = 0, d = 0;
    IEFloatToFraction(n, d, 5e-9, c.value);
    EXPECT_EQ(n, c.numerator) << c.value;
    EXPECT_EQ(d, c.denominator) << c.value;
  }
}

// A file written with the directory writer passes the TIFF tools' checks,
// and exiftool reads the added tags back with the values given.
TEST(TIFFIFDWriter, FilesPassTiffdumpAndExiftool) {
  TempFolder folder;
  const std::string file = folder.File("written.tif");
  WriteFile(file, BuildGreyTiff(6, 4, [](TStream& s, TIETIFFIFDWriter& w, bool& failed) {
    w.WriteAscii(s, 270, failed, "A grey test card");
    w.WriteAscii(s, 271, failed, "Ace");
    w.WriteAscii(s, 305, failed, "VeSk test");
    w.WriteAscii(s, 315, failed, "Somebody");
    w.WriteAscii(s, 33432, failed, "Copyright holder");
  }));
  const CommandResult dump = RunCapture(folder, "tiffdump " + file);
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(dump.err, "");
  EXPECT_NE(dump.out.find("ImageWidth (256) LONG (4) 1<6>"), std::string::npos) << dump.out;
  const CommandResult info = RunCapture(folder, "tiffinfo -D " + file);
  EXPECT_EQ(info.status, 0);
  EXPECT_EQ(info.err, "");
  const CommandResult validate = RunCapture(folder, "exiftool -validate -warning -error -a -s -s -s " + file);
  EXPECT_EQ(validate.status, 0);
  EXPECT_EQ(validate.err, "");
  EXPECT_EQ(validate.out, "OK\n");
  const CommandResult tags = RunCapture(folder, "exiftool -s -s -s -ImageDescription -Make -Software -Artist "
                                                "-Copyright -XResolution -ImageWidth " + file);
  EXPECT_EQ(tags.err, "");
  EXPECT_EQ(tags.out, "A grey test card\nAce\nVeSk test\nSomebody\nCopyright holder\n72\n6\n");

  // And our reader reads what we wrote.
  TFileStream stream(file, fmOpenRead);
  TIETIFFIFDReader reader;
  const int64_t first = PrepareReader(reader, stream);
  int32_t count = 0;
  ASSERT_TRUE(reader.ReadIFD(0, count, first));
  std::string text;
  reader.ReadString(271, true, text);
  EXPECT_EQ(text, "Ace");
  EXPECT_DOUBLE_EQ(reader.ReadRational(282, 0, 0), 72.0);
}

}  // namespace
