#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_makernote.h"
#include "imaging/core/ruduvazez_tiffhandler.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/core/tiff_support.h"

namespace {

using namespace std::string_literals;

// ---- notes built by hand ------------------------------------------------------------------

// A Fujifilm note: always Intel, directory offset 12 after the signature,
// offsets counted from the note's start. Quality out of line, sharpness inline.
std::string FujifilmNote() {
  ByteWriter w(true);
  w.Text("FUJIFILM").U32(12).U16(4);
  const uint32_t data = 12 + 2 + 4 * 12 + 4;
  w.EntryBytes(0x0000, IE_TIFF_UNDEFINED, 4, "0130");
  w.Entry(0x0010, IE_TIFF_ASCII, 16, data);
  w.Entry(0x1000, IE_TIFF_ASCII, 8, data + 16);
  w.Entry(0x1001, IE_TIFF_SHORT, 1, 3);
  w.U32(0).Text("FPX-SERIAL-0042"s + '\0').Text("NORMAL \0"s);
  return w.Bytes();
}

// A Sony note in the enclosing EXIF's byte order with offsets counted from
// the TIFF's origin: the note lies at notePosition of its file.
std::string SonyNote(bool intel, uint32_t notePosition) {
  ByteWriter w(intel);
  w.Text("SONY DSC \0\0\0"s).U16(3);
  const uint32_t data = notePosition + 12 + 2 + 3 * 12 + 4;
  w.Entry(0x0102, IE_TIFF_LONG, 1, 2);
  w.Entry(0xb020, IE_TIFF_ASCII, 9, data);
  w.Entry(0xb021, IE_TIFF_LONG, 1, 5500);
  w.U32(0).Text("Portrait\0"s);
  return w.Bytes();
}

struct LoadedNote {
  LoadedNote(const std::string& bytes, bool defaultIntel, int64_t prefix = 0)
      : data(std::string(static_cast<size_t>(prefix), 'x') + bytes), stream(data.data(), static_cast<int64_t>(data.size())) {
    stream.SetPosition(prefix);
    handler.ReadFromStream(stream, static_cast<int32_t>(bytes.size()), defaultIntel, 0);
  }
  std::string Text(uint16_t tag) const {
    std::string text;
    handler.Reader().ReadString(tag, true, text);
    return text;
  }
  std::string data;
  TIEMemStream stream;
  TIETagsHandler handler;
};

TEST(MakerNote, FujifilmIsIntelWhateverTheExif) {
  LoadedNote note(FujifilmNote(), false);
  EXPECT_EQ(note.handler.Device().Signature, "FUJIFILM");
  EXPECT_TRUE(note.handler.Reader().Intel);
  EXPECT_EQ(note.handler.Reader().EntryCount(), 4);
  EXPECT_EQ(note.Text(0x0010), "FPX-SERIAL-0042");
  EXPECT_EQ(note.Text(0x1000), "NORMAL ");
  EXPECT_EQ(note.handler.Reader().ReadInteger(0x1001, 0, 0), 3);
  EXPECT_EQ(note.Text(0x0000), "0130");
}

// Values inside the entries of a Motorola note are converted once: the
// SHORT stored 00 05 reads 5, the LONG 5500 reads 5500.
TEST(MakerNote, MotorolaInlineValuesConvertOnce) {
  LoadedNote note(SonyNote(false, 100), false, 100);
  EXPECT_FALSE(note.handler.Reader().Intel);
  EXPECT_EQ(note.handler.Reader().ReadInteger(0x0102, 0, 0), 2);
  EXPECT_EQ(note.handler.Reader().ReadInteger(0xb021, 0, 0), 5500);
  EXPECT_EQ(note.Text(0xb020), "Portrait");
}

TEST(MakerNote, NikonHeaderNamesOrderAndOrigin) {
  ByteWriter w(false);
  w.Text("Nikon\0\x02\x10\0\0"s).Text("MM").U16(42).U32(8).U16(2);
  w.Entry(0x0002, IE_TIFF_SHORT, 2, 0x00000064);  // 0, 100
  w.Entry(0x0004, IE_TIFF_ASCII, 8, 8 + 2 + 2 * 12 + 4);
  w.U32(0).Text("FINE   \0"s);
  LoadedNote note(w.Bytes(), true, 7);
  ASSERT_EQ(note.handler.Reader().EntryCount(), 2);
  EXPECT_FALSE(note.handler.Reader().Intel);
  EXPECT_EQ(note.handler.Reader().ReadInteger(2, 1, 0), 100);
  EXPECT_EQ(note.Text(4), "FINE   ");

  // Written back at another place: header offset 8, offsets from the header.
  TMemoryStream out;
  out.Write("abc", 3);
  const int32_t length = note.handler.WriteToStream(out, 0);
  ASSERT_GT(length, 0);
  const std::string written(static_cast<const char*>(out.Memory()) + 3, static_cast<size_t>(length));
  EXPECT_EQ(written.substr(10, 8), "MM\0\x2A\0\0\0\x08"s);
  LoadedNote again(written, true, 5);
  EXPECT_EQ(again.Text(4), "FINE   ");
  EXPECT_EQ(again.handler.Reader().ReadInteger(2, 1, 0), 100);
}

TEST(MakerNote, UnknownNotesFollowTheExifAndItsOrigin) {
  // No signature: the directory at the start, offsets absolute in the stream.
  ByteWriter w(false);
  w.U16(1).Entry(0x0001, IE_TIFF_ASCII, 6, 40 + 2 + 12 + 4).U32(0).Text("hello\0"s);
  LoadedNote note(w.Bytes(), false, 40);
  EXPECT_TRUE(note.handler.Device().Signature.empty());
  EXPECT_FALSE(note.handler.Reader().Intel);
  EXPECT_EQ(note.Text(1), "hello");
}

TEST(MakerNote, MalformedNotesLeaveTheHandlerEmpty) {
  struct Case {
    const char* name;
    std::string bytes;
  };
  ByteWriter tooMany(true);
  tooMany.U16(257).PadTo(257 * 12 + 6);
  ByteWriter longer(true);
  longer.U16(200).Entry(1, IE_TIFF_SHORT, 1, 1);  // a directory larger than the note
  const Case cases[] = {{"one byte", "F"},
                        {"257 entries", tooMany.Bytes()},
                        {"directory past the end", longer.Bytes()},
                        {"Fujifilm offset past the end", "FUJIFILM\xFF\0\0\0\0\0\0\0"s},
                        {"Fujifilm without its offset", "FUJIFILM\x0C"s},
                        {"Nikon without its header", "Nikon\0\x02\x10\0\0MM\0"s}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoadedNote note(c.bytes, true);
    EXPECT_EQ(note.handler.Reader().EntryCount(), 0);
    TMemoryStream out;
    EXPECT_EQ(note.handler.WriteToStream(out, 0), 0);
  }
  // Entries whose data lie outside the note keep tag and type only.
  ByteWriter outside(true);
  outside.U16(1).Entry(7, IE_TIFF_ASCII, 30, 4).U32(0);
  LoadedNote note(outside.Bytes(), true);
  ASSERT_EQ(note.handler.Reader().EntryCount(), 1);
  EXPECT_EQ(note.handler.Reader().GetValueCount(0), 0);
  EXPECT_EQ(note.handler.Reader().GetValueType(0), IE_TIFF_ASCII);
}

TEST(MakerNote, AssignCopiesTheRebuiltNote) {
  LoadedNote note(FujifilmNote(), true);
  TIETagsHandler copy;
  copy.Assign(note.handler);
  EXPECT_EQ(copy.RawData(), note.handler.RawData());
  std::string text;
  copy.Reader().ReadString(0x0010, true, text);
  EXPECT_EQ(text, "FPX-SERIAL-0042");
  note.handler.Clear();
  copy.Reader().ReadString(0x1000, true, text);
  EXPECT_EQ(text, "NORMAL ");
}

TEST(MakerNote, RelocatorMovesOutOfLineOffsets) {
  // A Sony note written at 0 of a buffer, then moved 300 bytes on.
  LoadedNote note(SonyNote(true, 0), true);
  TMemoryStream written;
  const int32_t length = note.handler.WriteToStream(written, 0);
  ASSERT_GT(length, 0);
  const std::string moved = std::string(300, '\0') +
                            std::string(static_cast<const char*>(written.Memory()), static_cast<size_t>(length));
  TMemoryStream target;
  target.Write(moved.data(), static_cast<int32_t>(moved.size()));
  TIETagsHandlerRelocator(target, 300, 300, true).Relocate();
  target.SetPosition(300);
  TIETagsHandler again;
  again.ReadFromStream(target, length, true, 0);
  std::string text;
  again.Reader().ReadString(0xb020, true, text);
  EXPECT_EQ(text, "Portrait");
  EXPECT_EQ(again.Reader().ReadInteger(0xb021, 0, 0), 5500);  // inline values untouched
}

// ---- round trip judged by exiftool ------------------------------------------------------

// A little grey TIFF in the wanted byte order whose EXIF directory holds
// only a maker note, built by makeNote from the note's file position.
std::string TiffWithMakerNote(bool intel, const std::string& make,
                              const std::function<std::string(uint32_t)>& makeNote) {
  ByteWriter w(intel);
  const uint16_t entries = 13;
  const uint32_t pixels = 8 + 2 + entries * 12 + 4, resolution = pixels + 16, makeText = resolution + 16;
  const uint32_t exif = (makeText + static_cast<uint32_t>(make.size()) + 1 + 1) & ~1u, note = exif + 2 + 2 * 12 + 4;
  const std::string noteBytes = makeNote(note);
  w.Text(intel ? "II" : "MM").U16(42).U32(8).U16(entries);
  w.Entry(256, IE_TIFF_LONG, 1, 4).Entry(257, IE_TIFF_LONG, 1, 4);
  w.U16(258).U16(IE_TIFF_SHORT).U32(1).U16(8).U16(0);
  w.U16(259).U16(IE_TIFF_SHORT).U32(1).U16(1).U16(0);
  w.U16(262).U16(IE_TIFF_SHORT).U32(1).U16(1).U16(0);
  w.Entry(271, IE_TIFF_ASCII, static_cast<uint32_t>(make.size() + 1), makeText);
  w.Entry(273, IE_TIFF_LONG, 1, pixels);
  w.U16(277).U16(IE_TIFF_SHORT).U32(1).U16(1).U16(0);
  w.Entry(278, IE_TIFF_LONG, 1, 4).Entry(279, IE_TIFF_LONG, 1, 16);
  w.Entry(282, IE_TIFF_RATIONAL, 1, resolution).Entry(283, IE_TIFF_RATIONAL, 1, resolution + 8);
  w.Entry(34665, IE_TIFF_LONG, 1, exif).U32(0);
  w.Text(std::string(16, '\x80')).U32(72).U32(1).U32(72).U32(1).Text(make).U8(0).PadTo(exif);
  w.U16(2).EntryBytes(0x9000, IE_TIFF_UNDEFINED, 4, "0230");
  w.Entry(0x927C, IE_TIFF_UNDEFINED, static_cast<uint32_t>(noteBytes.size()), note).U32(0);
  w.Text(noteBytes);
  return w.Bytes();
}

struct NoteLayout {
  const char* name;
  bool intel;
  const char* make;
  bool sony;
};

class MakerNoteRoundTrip : public ::testing::TestWithParam<NoteLayout> {};

// The note is read from the file, the file loaded into the tag editor and
// edited, the note written again into the EXIF directory, the file written,
// and the note relocated to where it landed: exiftool reads the same note.
TEST_P(MakerNoteRoundTrip, ExiftoolReadsTheNoteUnchanged) {
  const NoteLayout& layout = GetParam();
  TempFolder folder;
  const std::string original = folder.File("original.tif"), edited = folder.File("edited.tif");
  WriteFile(original, TiffWithMakerNote(layout.intel, layout.make, [&](uint32_t position) {
              return layout.sony ? SonyNote(layout.intel, position) : FujifilmNote();
            }));
  const std::string listing = "exiftool -a -G1 -s -n -MakerNotes:All ";
  const CommandResult before = RunCapture(folder, listing + original);
  ASSERT_EQ(before.err, "");
  ASSERT_NE(before.out.find(layout.sony ? "Portrait" : "FPX-SERIAL-0042"), std::string::npos) << before.out;

  // Read the note where the EXIF directory says it is.
  TIETagsHandler note;
  int32_t count = 0;
  {
    TFileStream in(original, fmOpenRead | fmShareDenyWrite);
    TIETIFFIFDReader ifd0, exif;
    const int64_t first = PrepareReader(ifd0, in);
    ASSERT_TRUE(ifd0.ReadIFD(0, count, first));
    exif.Assign(ifd0);
    ASSERT_TRUE(exif.ReadIFD(0, count, ifd0.ReadInteger(34665, 0, 0)));
    const int32_t noteIndex = exif.FindTag(0x927C);
    in.SetPosition(exif.GetValueOffset(noteIndex));
    note.ReadFromStream(in, static_cast<int32_t>(exif.GetValueCount(noteIndex)), layout.intel, 0);
  }
  ASSERT_GT(note.Reader().EntryCount(), 0);

  // Edit the file and put the rewritten note in its EXIF directory.
  auto editor = TIETIFFHandler::CreateFromFile(original);
  editor->SetTag(*editor->IFD(0), 305, std::string("VeSk maker-note round trip"), IE_TIFF_ASCII);
  TMemoryStream rewritten;
  const int32_t length = note.WriteToStream(rewritten, 0, layout.intel);  // the editor keeps the file's order
  ASSERT_GT(length, 0);
  const uint8_t* bytes = static_cast<const uint8_t*>(rewritten.Memory());
  editor->SetTagData(*editor->SubIFD(*editor->IFD(0), 34665), 0x927C, IE_TIFF_UNDEFINED,
                     static_cast<uint32_t>(length), std::vector<uint8_t>(bytes, bytes + length));
  editor->WriteFile(edited, -1);

  // Offsets counted from the file's origin follow the note to its new place.
  {
    TFileStream out(edited, fmOpenReadWrite);
    TIETIFFIFDReader newIfd0, newExif;
    const int64_t newFirst = PrepareReader(newIfd0, out);
    ASSERT_TRUE(newIfd0.ReadIFD(0, count, newFirst));
    newExif.Assign(newIfd0);
    ASSERT_TRUE(newExif.ReadIFD(0, count, newIfd0.ReadInteger(34665, 0, 0)));
    const int64_t landed = newExif.GetValueOffset(newExif.FindTag(0x927C));
    const int32_t delta = note.Device().OffsetRule == 0 ? static_cast<int32_t>(landed) : 0;
    TIETagsHandlerRelocator(out, landed, delta, layout.intel).Relocate();
  }
  const CommandResult after = RunCapture(folder, listing + edited);
  EXPECT_EQ(after.err, "");
  EXPECT_EQ(after.out, before.out);
  EXPECT_EQ(RunCapture(folder, "exiftool -s -s -s -Software " + edited).out, "VeSk maker-note round trip\n");
}

// A note in the EXIF's byte order read from a Motorola file and written for
// the Intel EXIF the library writes: its entries and items change order, and
// exiftool reads in the Intel file what it read in the Motorola one.
TEST(MakerNote, NotesInTheExifOrderFollowTheNewExif) {
  TempFolder folder;
  const std::string motorola = folder.File("mm.tif"), intel = folder.File("ii.tif");
  WriteFile(motorola, TiffWithMakerNote(false, "SONY", [](uint32_t position) { return SonyNote(false, position); }));
  WriteFile(intel, TiffWithMakerNote(true, "SONY", [](uint32_t position) {
              const std::string original = SonyNote(false, 100);
              LoadedNote note(original, false, 100);
              EXPECT_FALSE(note.handler.Reader().Intel);
              TMemoryStream out;
              const std::string before(position, '\0');  // offsets count from the file's origin
              out.Write(before.data(), static_cast<int32_t>(before.size()));
              const int32_t length = note.handler.WriteToStream(out, 0, true);
              EXPECT_GE(length, static_cast<int32_t>(original.size()));  // and a pad byte
              return std::string(static_cast<const char*>(out.Memory()) + position, static_cast<size_t>(length));
            }));
  const std::string listing = "exiftool -a -G1 -s -n -MakerNotes:All ";
  const CommandResult expected = RunCapture(folder, listing + motorola), got = RunCapture(folder, listing + intel);
  EXPECT_EQ(got.err, "");
  EXPECT_NE(expected.out.find("5500"), std::string::npos) << expected.out;
  EXPECT_EQ(got.out, expected.out);
}

INSTANTIATE_TEST_SUITE_P(Layouts, MakerNoteRoundTrip,
                         ::testing::Values(NoteLayout{"FujifilmInIntel", true, "FUJIFILM", false},
                                           NoteLayout{"FujifilmInMotorola", false, "FUJIFILM", false},
                                           NoteLayout{"SonyInIntel", true, "SONY", true},
                                           NoteLayout{"SonyInMotorola", false, "SONY", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
