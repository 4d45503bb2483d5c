#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_tiffhandler.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/core/tiff_support.h"

namespace {

// exiftool's view of every tag of a file, without what names the file or
// says where strips lie (the editor moves them).
std::string TagListing(const TempFolder& folder, const std::string& file) {
  const CommandResult r = RunCapture(folder, "exiftool -a -G1 -s -n -x FileName -x Directory -x FileModifyDate "
                                             "-x FileAccessDate -x FileInodeChangeDate -x StripOffsets " + file);
  EXPECT_EQ(r.err, "");
  return r.out;
}

// A two-page RGB TIFF in the wanted byte order with EXIF, GPS and
// interoperability sub-directories added by exiftool.
std::string MakeExifTiff(const TempFolder& folder, bool intel) {
  const std::string grey = folder.File("g.tif"), file = folder.File(intel ? "ii.tif" : "mm.tif");
  EXPECT_EQ(RunCommand("convert -size 40x30 gradient:red-blue -depth 8 -density 72 -units PixelsPerInch " + grey + " && tiffcp -c none -r 10 " +
                       (intel ? "-L " : "-B ") + grey + " " + grey + " " + file +
                       " && exiftool -q -overwrite_original -Artist=Me -ExposureTime=1/125 -FNumber=5.6 -ISO=200 "
                       "'-DateTimeOriginal=2024:01:02 03:04:05' -GPSLatitude=48.5 -GPSLatitudeRef=N "
                       "'-UserComment=hello there' " + file),
            0);
  return file;
}

std::string Validation(const TempFolder& folder, const std::string& file) {
  const CommandResult validate = RunCapture(folder, "exiftool -validate -warning -error -a -s -s -s " + file);
  EXPECT_EQ(validate.err, "");
  return validate.out;
}

// Both libtiff tools accept the file without a word on their error streams,
// and exiftool finds nothing more to say of it than of the original (null:
// nothing at all).
void ExpectCleanTiff(const TempFolder& folder, const std::string& file, const std::string* original = nullptr) {
  const CommandResult dump = RunCapture(folder, "tiffdump " + file);
  EXPECT_EQ(dump.status, 0);
  EXPECT_EQ(dump.err, "");
  const CommandResult info = RunCapture(folder, "tiffinfo -D " + file);
  EXPECT_EQ(info.err, "");
  EXPECT_EQ(Validation(folder, file), original ? Validation(folder, *original) : "OK\n");
}

class TagEditorFiles : public ::testing::TestWithParam<bool> {};

// Read and written unchanged, a file keeps its byte order, every tag of every
// directory and sub-directory, and its pixels.
TEST_P(TagEditorFiles, RoundTripKeepsEveryTagAndPixel) {
  TempFolder folder;
  const bool intel = GetParam();
  const std::string original = MakeExifTiff(folder, intel), copy = folder.File("copy.tif");
  auto handler = TIETIFFHandler::CreateFromFile(original);
  EXPECT_EQ(handler->Motorola(), !intel);
  EXPECT_EQ(handler->Magic(), 42);
  ASSERT_EQ(handler->IFDCount(), 2);
  handler->WriteFile(copy, -1);
  EXPECT_EQ(ReadFile(copy).substr(0, 2), intel ? "II" : "MM");
  ExpectCleanTiff(folder, copy, &original);
  EXPECT_EQ(TagListing(folder, copy), TagListing(folder, original));
  EXPECT_EQ(RunCommand("tiffcmp " + original + " " + copy + " >/dev/null"), 0);
}

// Tags set by the editor read back with the values given; a single page
// written alone ends the chain.
TEST_P(TagEditorFiles, EditedTagsReadBack) {
  TempFolder folder;
  const bool intel = GetParam();
  const std::string original = MakeExifTiff(folder, intel), edited = folder.File("edited.tif");
  auto handler = TIETIFFHandler::CreateFromFile(original);
  TIETIFFEntries* page = handler->IFD(1);
  ASSERT_NE(page, nullptr);
  handler->SetTag(*page, 305, std::string("VeSk editor"), IE_TIFF_ASCII);
  handler->SetTag(*page, 282, 300.0, IE_TIFF_RATIONAL);
  handler->SetTag(*page, 274, 6.0, IE_TIFF_SHORT);
  handler->SetTag(*page, 700, 0.0, IE_TIFF_BYTE);
  handler->DeleteTagAt(1, handler->FindTag(1, 700));
  EXPECT_EQ(handler->FindTag(1, 700), -1);
  EXPECT_EQ(handler->GetTagInteger(*page, 274, 0), 6);
  handler->WriteFile(edited, 1);
  ExpectCleanTiff(folder, edited);
  const CommandResult r = RunCapture(folder, "exiftool -s -s -s -n -Software -XResolution -Orientation -PageNumber " +
                                                 edited);
  EXPECT_EQ(r.out, "VeSk editor\n300\n6\n1 0\n");
  EXPECT_EQ(RunCapture(folder, "tiffinfo " + edited).out.find("TIFF Directory at offset"),
            RunCapture(folder, "tiffinfo " + edited).out.rfind("TIFF Directory at offset"));
}

// EXIF, GPS and interoperability directories copied from a file of the other
// byte order read back with the same values.
TEST_P(TagEditorFiles, SubDirectoriesCopiedAcrossByteOrders) {
  TempFolder folder;
  const bool intel = GetParam();
  const std::string withExif = MakeExifTiff(folder, !intel);
  const std::string plain = folder.File("plain.tif"), result = folder.File("result.tif");
  ASSERT_EQ(RunCommand("tiffcp -c none " + std::string(intel ? "-L " : "-B ") + folder.File("g.tif") + " " + plain), 0);
  auto source = TIETIFFHandler::CreateFromFile(withExif);
  auto dest = TIETIFFHandler::CreateFromFile(plain);
  ASSERT_NE(source->Motorola(), dest->Motorola());
  for (uint16_t tag : {uint16_t{34665}, uint16_t{34853}, uint16_t{315}})
    dest->CopyTag(0, source->FindTag(0, tag), 0, *source);
  dest->WriteFile(result, -1);
  ExpectCleanTiff(folder, result, &withExif);
  const std::string tags = "-Artist -ExposureTime -FNumber -ISO -DateTimeOriginal -UserComment -GPSLatitude "
                           "-GPSVersionID -ExifVersion -InteropVersion ";
  const CommandResult expected = RunCapture(folder, "exiftool -s -n " + tags + withExif);
  const CommandResult got = RunCapture(folder, "exiftool -s -n " + tags + result);
  EXPECT_EQ(got.out, expected.out);
  EXPECT_NE(got.out.find("hello there"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, TagEditorFiles, ::testing::Values(true, false),
                         [](const auto& info) { return std::string(info.param ? "Intel" : "Motorola"); });

// ---- hand-made files ------------------------------------------------------------------------

std::unique_ptr<TIETIFFHandler> Load(const std::string& bytes) {
  TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  return TIETIFFHandler::CreateFromStream(stream);
}

// Writes every page and loads the first directory of the result.
bool WriteAndReadBack(TIETIFFHandler& handler, TMemoryStream& out, TIETIFFIFDReader& reader) {
  handler.WriteStream(out, -1);
  const int64_t first = PrepareReader(reader, out);
  int32_t count = 0;
  return reader.ReadIFD(0, count, first);
}

TEST(TagEditor, ChainsThatComeBackEnd) {
  struct Case {
    const char* name;
    uint32_t firstNext, secondNext;
    int32_t directories;
  };
  const Case cases[] = {{"first to itself", 8, 26, 1}, {"second to the first", 26, 8, 2}, {"second to itself", 26, 26, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ByteWriter w(true);
    w.Text("II").U16(42).U32(8);
    w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 11).U32(c.firstNext);
    w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 22).U32(c.secondNext);
    auto handler = Load(w.Bytes());
    EXPECT_EQ(handler->IFDCount(), c.directories);
  }
}

TEST(TagEditor, FilesAndPages) {
  TempFolder folder;
  TIETIFFHandler handler;
  EXPECT_FALSE(handler.ReadFile(folder.File("missing.tif")));
  WriteFile(folder.File("text.tif"), "not a TIFF at all");
  EXPECT_FALSE(handler.ReadFile(folder.File("text.tif")));
  ByteWriter w(true);
  w.Text("II").U16(42).U32(8);
  w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 11).U32(26);
  w.U16(1).Entry(256, IE_TIFF_SHORT, 1, 22).U32(0);
  WriteFile(folder.File("two.tif"), w.Bytes());
  ASSERT_TRUE(handler.ReadFile(folder.File("two.tif")));
  ASSERT_EQ(handler.IFDCount(), 2);
  handler.DeleteIFD(0);
  handler.DeleteIFD(5);
  ASSERT_EQ(handler.IFDCount(), 1);
  EXPECT_EQ(handler.GetTagInteger(*handler.IFD(0), 256, 0), 22);
  EXPECT_EQ(handler.FindTag(1, 256), -1);
}

TEST(TagEditor, SubDirectoriesThatPointBackAreReadOnce) {
  // The EXIF directory (at 26) links to the main directory and to itself.
  ByteWriter w(false);
  w.Text("MM").U16(42).U32(8);
  w.U16(1).Entry(34665, IE_TIFF_LONG, 1, 26).U32(0);
  w.U16(2).Entry(34665, IE_TIFF_LONG, 1, 8).Entry(40965, IE_TIFF_LONG, 1, 26).U32(0);
  auto handler = Load(w.Bytes());
  ASSERT_EQ(handler->IFDCount(), 1);
  TIETIFFEntries* exif = handler->SubIFD(*handler->IFD(0), 34665);
  ASSERT_NE(exif, nullptr);
  EXPECT_EQ(exif->size(), 2u);
  TIETIFFEntries* back = handler->SubIFD(*exif, 34665);
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->empty());
  TMemoryStream out;
  handler->WriteStream(out, -1);  // finite, and readable again
  auto again = TIETIFFHandler::CreateFromStream(out);
  EXPECT_EQ(again->IFDCount(), 1);
}

TEST(TagEditor, CorruptCountsAndOffsetsDropTheirEntries) {
  ByteWriter w(true);
  w.Text("II").U16(42).U32(8).U16(4);
  w.Entry(256, IE_TIFF_SHORT, 1, 5);
  w.Entry(270, IE_TIFF_ASCII, 10, 0x7FFFFFF0u);  // data past the end: dropped
  w.Entry(273, IE_TIFF_LONG, 1, 0xFFFFFF00u);    // strip past the end: an empty block
  w.Entry(306, IE_TIFF_ASCII, 0xFFFFFFFFu, 8);   // count beyond the file: ends the directory
  w.U32(0);
  auto handler = Load(w.Bytes());
  ASSERT_EQ(handler->IFDCount(), 1);
  TIETIFFEntries* page = handler->IFD(0);
  EXPECT_EQ(page->size(), 2u);
  EXPECT_EQ(handler->GetTagInteger(*page, 256, 0), 5);
  EXPECT_EQ(handler->FindTagInList(*page, 270), -1);
  EXPECT_EQ(handler->FindTagInList(*page, 306), -1);

  // Truncated copies of a real directory never fail, they lose entries.
  const std::string full = BuildGreyTiff(3, 2, nullptr);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    auto part = Load(full.substr(0, cut));
    EXPECT_LE(part->IFDCount(), 1);
  }
  EXPECT_FALSE(Load("XX*\0\0\0\0\0")->IFDCount());
}

TEST(TagEditor, CopyBetweenHandlersSwapsItems) {
  ByteWriter mm(false);
  mm.Text("MM").U16(42).U32(8).U16(2);
  mm.EntryBytes(258, IE_TIFF_SHORT, 2, std::string("\x01\x02\x03\x04", 4));
  mm.Entry(282, IE_TIFF_RATIONAL, 1, 8 + 2 + 24 + 4);
  mm.U32(0).U32(300).U32(2);
  auto source = Load(mm.Bytes());
  ByteWriter ii(true);
  ii.Text("II").U16(42).U32(8).U16(1).Entry(256, IE_TIFF_SHORT, 1, 9).U32(0);
  auto dest = Load(ii.Bytes());
  dest->CopyTag(0, source->FindTag(0, 258), 0, *source);
  dest->CopyTag(0, source->FindTag(0, 282), 0, *source);
  dest->CopyTag(0, source->FindTag(0, 999), 0, *source);  // absent: nothing
  TMemoryStream out;
  TIETIFFIFDReader reader;
  ASSERT_TRUE(WriteAndReadBack(*dest, out, reader));
  EXPECT_EQ(reader.EntryCount(), 3);
  EXPECT_EQ(reader.ReadInteger(258, 0, 0), 0x0102);
  EXPECT_EQ(reader.ReadInteger(258, 1, 0), 0x0304);
  EXPECT_DOUBLE_EQ(reader.ReadRational(282, 0, 0), 150.0);
  EXPECT_EQ(reader.ReadInteger(256, 0, 0), 9);
}

TEST(TagEditor, OldStyleJPEGPagesPointAtTheScan) {
  // Compression 6 with strips and an interchange block holding SOI, a
  // marker and SOS at byte 6.
  const std::string jpeg("\xFF\xD8\xFF\xFE\x00\x02\xFF\xDA\x00\x01", 10);
  ByteWriter w(true);
  const uint32_t data = 8 + 2 + 6 * 12 + 4;
  w.Text("II").U16(42).U32(8).U16(6);
  w.Entry(256, IE_TIFF_SHORT, 1, 1);
  w.Entry(259, IE_TIFF_SHORT, 1, 6);
  w.Entry(273, IE_TIFF_LONG, 1, data);
  w.Entry(279, IE_TIFF_LONG, 1, 10);
  w.Entry(513, IE_TIFF_LONG, 1, data);
  w.Entry(514, IE_TIFF_LONG, 1, 10);
  w.U32(0).Text(jpeg);
  auto handler = Load(w.Bytes());
  EXPECT_EQ(handler->FindTag(0, 273), -1);
  TMemoryStream out;
  TIETIFFIFDReader reader;
  ASSERT_TRUE(WriteAndReadBack(*handler, out, reader));
  const int64_t block = reader.ReadInteger(513, 0, 0);
  EXPECT_EQ(reader.ReadInteger(273, 0, 0), block + 6);
  EXPECT_EQ(handler->FindTag(0, 273), -1);  // the pointer exists only in the file
  const std::string written(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
  EXPECT_EQ(written.substr(static_cast<size_t>(block), 10), jpeg);
}

}  // namespace
