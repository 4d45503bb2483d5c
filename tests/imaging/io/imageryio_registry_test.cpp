#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Registry : public IOTest {};

TEST_F(Registry, LooksUpByIdAndExtension) {
  EXPECT_EQ(IEFindFormatById(0), nullptr);
  EXPECT_EQ(IEFindFormatById(15), nullptr);  // AVI has no entry
  for (const char* extension : {"jpg", ".jpg", ".JPG", "JpEg"}) {
    ASSERT_NE(IEFindFormatByExtension(extension), nullptr) << extension;
    EXPECT_EQ(IEFindFormatByExtension(extension)->FileTypeId, 3) << extension;
  }
  EXPECT_EQ(IEFindFormatByExtension("..jpg"), nullptr);
  EXPECT_EQ(IEFindFormatByExtension(""), nullptr);  // not the raw bitmap's empty list
  ASSERT_NE(IEFindFormatByExtension(".jxr"), nullptr);  // HD Photo, registered by the imaging component
  EXPECT_EQ(IEFindFormatByExtension(".jxr")->FileTypeId, 29);
  EXPECT_EQ(IEFileFormatExtensionCount(1), 6);
  EXPECT_EQ(IEFileFormatExtension(1, 5), "XIF");
  EXPECT_EQ(IEFileFormatExtension(1, 6), "");
  EXPECT_EQ(IEFileFormatExtensionCount(21), 0);
}

TEST_F(Registry, RegistersAndUnregisters) {
  IEUnregisterFileFormat(20);
  EXPECT_EQ(IEFindFormatByExtension("nef"), nullptr);
  auto* entry = new TIEFileFormatInfo;
  entry->FileTypeId = 4097;
  entry->ExtensionList = "ABC;DEF";
  IERegisterFileFormat(entry);
  EXPECT_EQ(entry->DefaultExtension, "ABC");
  EXPECT_EQ(IEFindFormatByExtension(".def"), entry);
  IEUnregisterFileFormat(4097);
  EXPECT_EQ(IEFindFormatById(4097), nullptr);
  IEFinalizeImageryIO();
  EXPECT_EQ(IEGetGlobalSettings()->FileFormats, nullptr);
  IEInitializeImageryIO();
}

TEST_F(Registry, StartUpFillsTheSlotsThatNewParameterSetsCopy) {
  const auto* settings = IEGetGlobalSettings();
  EXPECT_NE(settings->ColorConvertProc, nullptr);
  TIOParamsVals params(nullptr);
  EXPECT_NE(params.GIFLZWDecoder, nullptr);
  EXPECT_NE(params.GIFLZWEncoder, nullptr);
  EXPECT_NE(params.TIFFLZWDecoder, nullptr);
  EXPECT_NE(params.TIFFLZWEncoder, nullptr);
}

TEST_F(Registry, GIFAvailabilityFollowsTheLZWSlots) {
  auto* settings = IEGetGlobalSettings();
  const auto decoder = settings->GIFLZWDecoder;
  settings->GIFLZWDecoder = nullptr;
  IEUpdateGIFAvailability();
  EXPECT_EQ(IEFindFormatById(2)->ReadProc, nullptr);
  EXPECT_NE(IEFindFormatById(2)->WriteProc, nullptr);
  EXPECT_FALSE(IEIsKnownFileFormat("a.gif", false));
  settings->GIFLZWDecoder = decoder;
  IEUpdateGIFAvailability();
  EXPECT_TRUE(IEIsKnownFileFormat("a.GIF", false));
  EXPECT_FALSE(IEIsKnownFileFormat("a.pdf", false));  // write-only
  EXPECT_TRUE(IEIsKnownFileFormat("a.wmv", true));
  EXPECT_FALSE(IEIsKnownFileFormat("a.wmv", false));
}

// ---- detection ----------------------------------------------------------------------

class Detection : public IOTest {};

std::string Bytes(std::initializer_list<int> bytes, size_t size) {
  std::string s;
  for (int b : bytes) s += static_cast<char>(b);
  s.resize(size, '\0');
  return s;
}

TEST_F(Detection, SignaturesByTheBytesAfterThePosition) {
  struct Case {
    std::string data;
    int32_t id;
  };
  const Case cases[] = {
      {Bytes({'J', 'F', 'I', 'F', 0}, 13), 3},
      {Bytes({'G', 'I', 'F'}, 14), 2},
      {Bytes({'G', 'I', 'F'}, 13), 0},  // the size must exceed 13
      {Bytes({'P', 'C', 'X', '2', 0}, 13), 4},
      {Bytes({'B', 'M'}, 15), 5},
      {Bytes({0x0A, 5}, 129), 4},
      {Bytes({0x0A, 6}, 129), 0},
      {Bytes({'T', 'I', 'F', 'F', 0}, 13), 1},
      {Bytes({'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '}, 20), 15},
      {iotest::MakeImage(2, 2), 1},  // the test codec's content test
      {"", 0},
      {Bytes({1, 2, 3}, 200), 0},
  };
  for (const Case& c : cases) {
    // Behind a prefix, as inside a larger stream: only what follows counts.
    std::string data = std::string(300, 'x') + c.data;
    TStringStream stream(data);
    stream.SetPosition(300);
    EXPECT_EQ(IEDetectStreamFormat(stream), c.id) << c.data.substr(0, 4);
    EXPECT_EQ(stream.Position(), 300);
  }
}

// The content tests run in an order of their own, not the codec table's:
// with every test answering yes, each detection picks the first of the
// remaining codecs in that order.
TEST_F(Detection, ContentTestsRunInTheirOwnOrder) {
  const std::vector<int32_t> order = {1, 8, 6, 7, 11, 12, 15, 19, 9, 10, 24};
  std::vector<TIECodecEntry> table;
  for (auto it = order.rbegin(); it != order.rend(); ++it)
    table.push_back(TIECodecEntry{*it, nullptr, nullptr, [](TStream&) { return true; }});
  for (int32_t expected : order) {
    IESetCodecTable(table);
    TStringStream stream(std::string(40, 'z'));
    EXPECT_EQ(IEDetectStreamFormat(stream), expected);
    std::erase_if(table, [&](const TIECodecEntry& e) { return e.FileTypeId == expected; });
  }
}

TEST_F(Detection, ShortTailOfALargeStreamIsNotReadPastItsEnd) {
  // 200 bytes before a 2-byte "BM": the whole stream is large enough for the
  // signature, the part after the position is not.
  TStringStream stream(std::string(200, 'x') + "BM");
  stream.SetPosition(200);
  EXPECT_EQ(IEDetectStreamFormat(stream), 0);
}

TEST_F(Detection, PlugInsAreAskedInOrderWithThePositionRestored) {
  static int64_t seenAt = -1;
  auto* entry = new TIEFileFormatInfo;
  entry->FileTypeId = 4097;
  entry->ExtensionList = "XYZ";
  entry->TryProc = [](TStream& stream, int32_t id) {
    seenAt = stream.Position();
    char c = 0;
    stream.Read(&c, 1);
    return id == 4097 && c == 'Q';
  };
  IERegisterFileFormat(entry);
  TStringStream stream("..Q and more bytes");
  stream.SetPosition(2);
  EXPECT_EQ(IEDetectStreamFormat(stream), 4097);
  EXPECT_EQ(seenAt, 2);
  EXPECT_EQ(stream.Position(), 2);
}

TEST_F(Detection, FileFormatWeighsContentAgainstTheExtension) {
  const std::string image = iotest::MakeImage(2, 2);
  EXPECT_EQ(IEFindFileFormat(iotest::WriteTempFile("t.tif", image), true), 1);
  EXPECT_EQ(IEFindFileFormat(iotest::WriteTempFile("t.png", image), true), 0);
  EXPECT_EQ(IEFindFileFormat(iotest::WriteTempFile("t2.png", image), false), 1);
  EXPECT_EQ(IEFindFileFormat(iotest::WriteTempFile("t.nef", image), false), 20);  // TIFF-structured raw
  EXPECT_EQ(IEFindFileFormat(iotest::WriteTempFile("t.none", ""), false), 0);
  EXPECT_EQ(IEFindFileFormat("/nonexistent/file.tif", false), 0);
}

// Files written by ImageMagick, netpbm and libtiff, named so that the
// extension tells nothing: each format is recognised by its content alone.
TEST_F(Detection, FilesMadeByOutsideToolsByContent) {
  IESetCodecTable({});
  const std::string folder = iotest::TempFolder() + "detect-";
  struct Case {
    const char* name;  // ImageMagick's format prefix, or the command that writes the file {out}
    int32_t id;
  };
  // One ImageMagick run writes its files (it starts slowly; its GIF and
  // bilevel writers are slow on a loaded machine, netpbm makes those).
  const Case byImageMagick[] = {{"TIFF", 1}, {"JPEG", 3}, {"PCX", 4},  {"BMP3", 5}, {"BMP", 5},  {"ICO", 6},
                                {"PNG", 8},  {"TGA", 11}, {"PPM", 12}, {"PGM", 12}, {"DCX", 19}, {"PSD", 24}};
  const std::string ppm = folder + "source.ppm", pgm = folder + "source.pgm", tif = folder + "source.tif";
  std::string convert = "/usr/bin/convert -size 8x6 -depth 8 gradient:red-blue -write " + ppm +
                        " -write TIFF:" + tif + " -compress none";
  for (const Case& c : byImageMagick) convert += std::string(" -write ") + c.name + ":" + folder + c.name + ".bin";
  ASSERT_EQ(std::system((convert + " -colorspace gray " + pgm).c_str()), 0);
  for (const Case& c : byImageMagick)
    EXPECT_EQ(IEFindFileFormat(folder + c.name + ".bin", false), c.id) << c.name;
  // netpbm and libtiff.
  const Case byTools[] = {
      {"tiffcp -B {tif} {out}", 1},  // big-endian
      {"tiffcp -L -c lzw {tif} {out}", 1},
      {"tiffcp -8 {tif} {out}", 1},  // BigTIFF
      {"pnmtotiff {src} > {out}", 1},
      {"ppmtogif {src} > {out}", 2},
      {"cjpeg {src} > {out}", 3},
      {"ppmtopcx {src} > {out}", 4},
      {"ppmtobmp {src} > {out}", 5},
      {"ppmtowinicon {src} > {out}", 6},
      {"pnmtopng {src} > {out}", 8},
      {"pamtotga {src} > {out}", 11},
      {"pnmtoplainpnm {src} > {out}", 12},
      {"pgmtopbm {gray} > {out}", 12},
      {"pgmtopbm {gray} | pbmtowbmp > {out}", 0},  // no header to tell it by: only its extension finds it
  };
  int index = 0;
  for (const Case& c : byTools) {
    const std::string out = folder + std::to_string(index++) + ".bin";
    std::string command = c.name;
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{src}", ppm}, {"{gray}", pgm},
                                   {"{tif}", tif}, {"{out}", out}}) {
      if (const size_t at = command.find(from); at != std::string::npos) command.replace(at, from.size(), to);
    }
    ASSERT_EQ(std::system((command + " 2>/dev/null").c_str()), 0) << command;
    EXPECT_EQ(IEFindFileFormat(out, false), c.id) << c.name;
  }
}

}  // namespace

#include "imaging/core/ruduvazez_startup.h"

namespace {

TEST_F(Registry, TheLibraryStartUpRunsTheIOStartUp) {
  IELibraryFinalize();
  ASSERT_FALSE(IELibraryStarted());
  EXPECT_EQ(IEGetGlobalSettings()->FileFormats, nullptr);
  IELibraryInitialize();
  EXPECT_NE(IEFindFormatById(8), nullptr);
  EXPECT_NE(IEGetGlobalSettings()->ColorConvertProc, nullptr);
}

}  // namespace
