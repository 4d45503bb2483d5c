// EXIF, GPS, maker notes, thumbnails and XMP judged by exiftool: blocks
// exiftool wrote read to exiftool's values, blocks we write into JPEG and
// TIFF read back by exiftool (its validation quiet) and by tiffinfo, the
// orientation applied on load, thumbnails of TIFF structures, and damaged
// blocks failing cleanly.
#include "imaging/codecs/exifblock.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/codecs/tiffilt_meta.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace {

using codectest::ReadAll;
using codectest::Shell;

// Standard output of a command; its error stream is appended to errors.
std::string Capture(const std::string& command, std::string* errors = nullptr) {
  char errFile[] = "/tmp/vesk-exif-errXXXXXX";
  const int fd = ::mkstemp(errFile);
  if (fd >= 0) ::close(fd);
  std::string out;
  if (FILE* pipe = ::popen((command + " 2>" + errFile).c_str(), "r")) {
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    EXPECT_EQ(::pclose(pipe), 0) << command;
  }
  if (errors) *errors += ReadAll(errFile);
  std::remove(errFile);
  return out;
}

// A Fujifilm maker note: Intel, offsets from the note's start; an 8-byte
// version, a serial number and a quality text out of line, the sharpness inline.
std::string FujifilmNote() {
  std::string d = "FUJIFILM";
  auto u16 = [&](uint16_t v) { d += static_cast<char>(v & 0xFF), d += static_cast<char>(v >> 8); };
  auto u32 = [&](uint32_t v) { u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v >> 16)); };
  const uint32_t data = 12 + 2 + 4 * 12 + 4;
  u32(12), u16(4);
  u16(0x0000), u16(7), u32(4), d += "0130";
  u16(0x0010), u16(2), u32(16), u32(data);
  u16(0x1000), u16(2), u32(8), u32(data + 16);
  u16(0x1001), u16(3), u32(1), u16(3), u16(0);
  u32(0);
  d += std::string("FPX-SERIAL-0042") + '\0' + "NORMAL " + '\0';
  return d;
}

// The exiftool arguments that make the source photo's EXIF.
const char* const kExifArguments =
    "-Make=FUJIFILM -Model=X-T1 -Artist='A. Person' -Software='Chart Camera 2' "
    "-DateTimeOriginal='2024:05:06 07:08:09' -ExposureTime=1/250 -FNumber=5.6 -ISO=200 "
    "-ExposureCompensation=-0.7 -FocalLength=35 -ExifIFD:Flash#=16 -ExifIFD:WhiteBalance#=1 -UserComment='hello there' "
    "-Orientation#=6 -XResolution=300 -YResolution=300 -ResolutionUnit=inches -InteropIndex=R98 "
    "-GPSLatitude=48.5 -GPSLatitudeRef=N -GPSLongitude=11.25 -GPSLongitudeRef=W -GPSAltitude=512 "
    "-GPSAltitudeRef=0 -GPSMapDatum=WGS-84 '-MakerNotes<=note.bin' '-ThumbnailImage<=thumb.jpg' "
    "-XMP-dc:Title='Colour chart'";

// Tags compared between exiftool's reading of the source and of our files.
const char* const kComparedTags =
    "-IFD0:Make -IFD0:Model -IFD0:Artist -IFD0:Software -IFD0:XResolution -IFD0:Orientation "
    "-ExifIFD:DateTimeOriginal -ExifIFD:ExposureTime -ExifIFD:FNumber -ExifIFD:ISO "
    "-ExifIFD:ExposureCompensation -ExifIFD:FocalLength -ExifIFD:Flash -ExifIFD:WhiteBalance "
    "-ExifIFD:UserComment -InteropIFD:InteropIndex -GPS:GPSLatitude -GPS:GPSLatitudeRef "
    "-GPS:GPSLongitude -GPS:GPSLongitudeRef -GPS:GPSAltitude -GPS:GPSMapDatum "
    "-FujiFilm:InternalSerialNumber -FujiFilm:Quality -FujiFilm:Sharpness -XMP-dc:Title";

class ExifTest : public codectest::CodecTest {
protected:
  void SetUp() override {
    CodecTest::SetUp();
    io_ = std::make_unique<TImageryIO>(nullptr);
    io_->SetIEBitmap(&bitmap_);
  }
  void TearDown() override {
    io_.reset();
    CodecTest::TearDown();
  }

  // A 16 x 12 photo with its EXIF, GPS, maker note, 8 x 6 thumbnail and XMP
  // written by exiftool.
  std::string MakeSourcePhoto() {
    InDir("/usr/bin/convert -size 16x12 gradient:red-blue -depth 8 photo.ppm && cjpeg -quality 95 photo.ppm > "
          "plain.jpg && /usr/bin/convert -size 8x6 xc:green -depth 8 thumb.ppm && cjpeg thumb.ppm > thumb.jpg");
    std::string note = FujifilmNote();
    std::FILE* f = std::fopen(Path("note.bin").c_str(), "wb");
    std::fwrite(note.data(), 1, note.size(), f);
    std::fclose(f);
    InDir(std::string("exiftool -q -o source.jpg ") + kExifArguments + " plain.jpg");
    return Path("source.jpg");
  }
  std::string Tags(const std::string& file) { return Capture("exiftool -n -s " + std::string(kComparedTags) + " " + file); }
  // exiftool's validation warnings of a file we wrote, less the tags a
  // camera writes and the image's EXIF did not hold.
  std::string Warnings(const std::string& file) {
    std::string errors;
    std::istringstream out(Capture("exiftool -validate -warning -a -s " + file, &errors));
    for (std::string line; std::getline(out, line);)
      if (line.find("Missing required") == std::string::npos && line.rfind("Validate", 0) != 0) errors += line + "\n";
    return errors;
  }

  TIEBitmap bitmap_;
  std::unique_ptr<TImageryIO> io_;
};

// ---- reading what exiftool wrote ---------------------------------------------------------

TEST_F(ExifTest, JpegExifEqualsExiftoolValues) {
  const std::string source = MakeSourcePhoto();
  ASSERT_TRUE(io_->LoadFromFile(source));
  TIOParamsVals& p = io_->Params();
  ASSERT_TRUE(p.EXIF_HASEXIF);
  auto number = [&](const std::string& tag) {
    return std::stod(Capture("exiftool -n -s -s -s -" + tag + " " + source));
  };
  auto text = [&](const std::string& tag) {
    std::string v = Capture("exiftool -s -s -s -" + tag + " " + source);
    return v.substr(0, v.find_last_not_of('\n') + 1);
  };
  EXPECT_EQ(p.EXIF_MAKE, text("Make"));
  EXPECT_EQ(p.EXIF_MODEL, text("Model"));
  EXPECT_EQ(p.EXIF_ARTIST, text("Artist"));
  EXPECT_EQ(p.EXIF_SOFTWARE, text("Software"));
  EXPECT_EQ(p.EXIF_DATETIMEORIGINAL, text("DateTimeOriginal"));
  EXPECT_EQ(p.EXIF_USERCOMMENT, text("UserComment"));
  EXPECT_EQ(p.EXIF_INTEROPINDEX, "R98");
  EXPECT_EQ(p.EXIF_GPSMAPDATUM, text("GPSMapDatum"));
  EXPECT_NEAR(p.EXIF_EXPOSURETIME, number("ExposureTime"), 1e-9);
  EXPECT_NEAR(p.EXIF_FNUMBER, number("FNumber"), 1e-9);
  EXPECT_NEAR(p.EXIF_EXPOSUREBIASVALUE, number("ExposureCompensation"), 1e-6);
  EXPECT_NEAR(p.EXIF_FOCALLENGTH, number("FocalLength"), 1e-9);
  EXPECT_EQ(p.EXIF_ISOSPEEDRATINGS[0], number("ISO"));
  EXPECT_EQ(p.EXIF_FLASH, number("Flash"));
  EXPECT_EQ(p.EXIF_WHITEBALANCE, number("WhiteBalance"));
  EXPECT_EQ(p.EXIF_ORIENTATION, number("Orientation"));
  EXPECT_NEAR(p.EXIF_XRESOLUTION, number("XResolution"), 1e-9);
  EXPECT_NEAR(p.GetEXIF_GPSLatitude(), number("GPSLatitude"), 1e-9);
  // exiftool's composite coordinate carries the sign of the reference (west).
  EXPECT_NEAR(p.GetEXIF_GPSLongitude(), number("GPSLongitude"), 1e-9);
  EXPECT_NEAR(p.EXIF_GPSALTITUDE, number("GPSAltitude"), 1e-9);
  EXPECT_EQ(p.EXIF_GPSALTITUDEREF, "0");
  // The maker note with its own offsets.
  std::string serial;
  p.EXIFMakerNote.Reader().ReadString(0x0010, true, serial);
  EXPECT_EQ(serial, text("InternalSerialNumber"));
  EXPECT_EQ(p.EXIFMakerNote.Reader().ReadInteger(0x1001, 0, -1), 3);
  // The 8 x 6 thumbnail, turned upright by orientation 6.
  ASSERT_TRUE(p.EXIFThumbnail);
  EXPECT_EQ(p.EXIFThumbnail->GetWidth(), 6);
  EXPECT_EQ(p.EXIFThumbnail->GetHeight(), 8);
  EXPECT_NE(p.XMP_INFO.find("Colour chart"), std::string::npos);
  // The JFIF header gave no density: the EXIF resolution counts.
  EXPECT_EQ(p.DPIX, 300);

  // Asked for the thumbnail, the load gives it instead of the image; a file
  // without one gives the image.
  p.SetJPEG_GetExifThumbnail(true);
  ASSERT_TRUE(io_->LoadFromFile(source));
  EXPECT_EQ(bitmap_.GetWidth(), 6);
  EXPECT_EQ(bitmap_.GetHeight(), 8);
  io_->Params().SetJPEG_GetExifThumbnail(true);
  ASSERT_TRUE(io_->LoadFromFile(Path("plain.jpg")));
  EXPECT_EQ(bitmap_.GetWidth(), 16);
}

// Orientation 6 on load when asked for: the 16 x 12 image arrives 12 x 16,
// its first column becomes the first row read from the right, and the
// orientation is then 1.
TEST_F(ExifTest, OrientationAppliedWhenAsked) {
  const std::string source = MakeSourcePhoto();
  ASSERT_TRUE(io_->LoadFromFile(source));
  TIEBitmap upright;
  upright.Assign(&bitmap_);
  io_->Params().JPEG_ENABLEADJUSTORIENTATION = true;
  ASSERT_TRUE(io_->LoadFromFile(source));
  EXPECT_EQ(bitmap_.GetWidth(), 12);
  EXPECT_EQ(bitmap_.GetHeight(), 16);
  EXPECT_EQ(io_->Params().EXIF_ORIENTATION, 1);
  EXPECT_EQ(io_->Params().TIFF_ORIENTATION, 1);
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = 0; x < 16; ++x)
      ASSERT_EQ(0, std::memcmp(upright.GetScanline(y) + 3 * x, bitmap_.GetScanline(x) + 3 * (11 - y), 3))
          << x << "," << y;
}

// ---- writing, read back by exiftool ---------------------------------------------------------

TEST_F(ExifTest, ExifWeWriteReadsBackInExiftool) {
  const std::string source = MakeSourcePhoto();
  ASSERT_TRUE(io_->LoadFromFile(source));
  const std::string expected = Tags(source);
  ASSERT_NE(expected.find("FPX-SERIAL-0042"), std::string::npos) << expected;
  // The interoperability directory belongs to EXIF blocks, not to TIFF images.
  std::string inTIFF = expected;
  inTIFF.erase(inTIFF.find("InteropIndex"), inTIFF.find("GPSLatitude ") - inTIFF.find("InteropIndex"));
  for (const char* name : {"out.jpg", "out.tif"}) {
    SCOPED_TRACE(name);
    io_->SaveToFile(Path(name));
    ASSERT_FALSE(io_->Aborting());
    EXPECT_EQ(Tags(Path(name)), std::string(name) == "out.jpg" ? expected : inTIFF);
    EXPECT_EQ(Warnings(Path(name)), "");
  }
  // The thumbnail travels in the JPEG's EXIF block.
  EXPECT_EQ(Capture("exiftool -b -ThumbnailImage " + Path("out.jpg") + " | djpeg -pnm | head -c 2"), "P6");
  std::string errors;
  Capture("tiffinfo " + Path("out.tif"), &errors);
  EXPECT_EQ(errors, "");
  // And our reader reads again what we wrote.
  TIEBitmap again;
  TImageryIO reader(nullptr);
  reader.SetIEBitmap(&again);
  ASSERT_TRUE(reader.LoadFromFile(Path("out.tif")));
  EXPECT_EQ(reader.Params().EXIF_MAKE, "FUJIFILM");
  EXPECT_NEAR(reader.Params().GetEXIF_GPSLongitude(), -11.25, 1e-9);
  EXPECT_EQ(reader.Params().EXIF_USERCOMMENT, "hello there");
}

// EXIF set by the program (no file read) reaches a JPEG exiftool accepts.
TEST_F(ExifTest, ExifFromParametersAlone) {
  bitmap_.Allocate(8, 8, ie24RGB);
  bitmap_.Fill(128);
  TIOParamsVals& p = io_->Params();
  p.EXIF_HASEXIF = true;
  p.EXIF_MAKE = "Maker";
  p.EXIF_XPTITLE = "Titel \xC3\xA4";  // UTF-8 through UTF-16
  p.SetEXIF_FNumber(2.8);
  p.SetEXIF_BrightnessValue(-1.5);
  p.EXIF_FOCALLENGTH = 50;  // never set through its setter: not written
  p.EXIF_USERCOMMENT = "abc";
  p.EXIF_USERCOMMENTCODE = std::string("ASCII\0\0\0", 8);
  p.EXIF_GPSVERSIONID = "2.2";
  p.SetEXIF_GPSLatitude(-33.75);
  p.XMP_INFO = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'/>"
               "<?xpacket end='w'?>";
  io_->SaveToFile(Path("set.jpg"));
  const std::string tags = Capture("exiftool -n -s -Make -XPTitle -FNumber -BrightnessValue -FocalLength "
                                   "-UserComment -GPSVersionID -GPSLatitude -GPSLatitudeRef " + Path("set.jpg"));
  EXPECT_EQ(tags,
            "Make                            : Maker\n"
            "XPTitle                         : Titel \xC3\xA4\n"
            "FNumber                         : 2.8\n"
            "BrightnessValue                 : -1.5\n"
            "UserComment                     : abc\n"
            "GPSVersionID                    : 2 2 0 0\n"
            "GPSLatitude                     : -33.75\n"
            "GPSLatitudeRef                  : S\n");
  EXPECT_EQ(Warnings(Path("set.jpg")), "");
}

// An XMP packet too long for one segment travels as extended XMP: exiftool
// and our reader get it whole.
TEST_F(ExifTest, LongXmpRoundTrip) {
  bitmap_.Allocate(8, 8, ie24RGB);
  const std::string text(90000, 'x');
  const std::string xmp = "<?xpacket begin='' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
                          "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description "
                          "xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='" + text +
                          "'/></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
  io_->Params().XMP_INFO = xmp;
  io_->SaveToFile(Path("long.jpg"));
  EXPECT_EQ(Capture("exiftool -s -s -s -XMP-dc:Format " + Path("long.jpg")), text + "\n");
  TIEBitmap again;
  TImageryIO reader(nullptr);
  reader.SetIEBitmap(&again);
  ASSERT_TRUE(reader.LoadFromFile(Path("long.jpg")));
  EXPECT_EQ(reader.Params().XMP_INFO, xmp);
}

// ---- TIFF structures ------------------------------------------------------------------------

// Two pages of the given sizes, the EXIF added by exiftool; the thumbnail
// taken is the narrower page that decodes as one (at most 400 pixels).
TEST_F(ExifTest, TiffExifAndThumbnail) {
  struct Case {
    const char* first;
    const char* second;
    int32_t width;  // of the thumbnail; 0 none
  };
  const Case cases[] = {
      {"500x20", "40x30", 40},  // the first is too wide to decode
      {"60x50", "40x30", 40},
      {"30x50", "40x30", 30},
      {"40x20", "40x30", 0},    // equal widths: none taken
      {"500x20", "600x30", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " " + c.second);
    InDir(std::string("/usr/bin/convert -size ") + c.first + " gradient:white-navy -depth 8 a.tif && " +
          "/usr/bin/convert -size " + c.second + " gradient:yellow-red -depth 8 b.tif && tiffcp -s a.tif b.tif t.tif"
          " && exiftool -q -overwrite_original -Make=Scanner -ExposureTime=1/60 -XMP-dc:Title=Pages t.tif");
    TFileStream stream(Path("t.tif"), fmOpenRead);
    TIOParamsVals params(nullptr);
    stream.SetPosition(0);
    ASSERT_TRUE(IEReadTIFFEXIFAndThumbnail(stream, params, true));
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_EQ(params.EXIF_MAKE, "Scanner");
    EXPECT_NEAR(params.EXIF_EXPOSURETIME, 1.0 / 60, 1e-9);
    EXPECT_NE(params.XMP_INFO.find("Pages"), std::string::npos);
    const int32_t width = params.EXIFThumbnail ? params.EXIFThumbnail->GetWidth() : 0;
    EXPECT_EQ(width, c.width);
  }
}

// The tags of a TIFF structure at an offset inside a bigger stream.
TEST_F(ExifTest, TiffParamsAtAnOffset) {
  InDir("/usr/bin/convert -size 20x10 xc:gray -depth 8 a.tif && exiftool -q -overwrite_original -Model=Box "
        "-GPSLatitude=1.5 -GPSLatitudeRef=N a.tif");
  TMemoryStream stream;
  const std::string junk(37, 'j'), tiff = ReadAll(Path("a.tif"));
  stream.WriteBuffer(junk.data(), static_cast<int32_t>(junk.size()));
  stream.WriteBuffer(tiff.data(), static_cast<int32_t>(tiff.size()));
  stream.SetPosition(37);
  TIOParamsVals params(nullptr);
  ASSERT_TRUE(IEReadTIFFParams(stream, params));
  EXPECT_EQ(stream.Position(), 37);
  EXPECT_EQ(params.EXIF_MODEL, "Box");
  EXPECT_EQ(params.WIDTH, 20);
  EXPECT_NEAR(params.GetEXIF_GPSLatitude(), 1.5, 1e-9);
  ASSERT_TRUE(params.EXIFThumbnail);
  EXPECT_TRUE(params.EXIFThumbnail->IsEmpty());
}

// The EXIF of a parameter set copied into page 0 of a TIFF written by
// another program, in place: exiftool reads the tags, tiffinfo the image.
// A big-endian file keeps its tags.
TEST_F(ExifTest, ExifTagsCopiedIntoATiff) {
  TIOParamsVals params(nullptr);
  params.EXIF_HASEXIF = true;
  params.EXIF_MAKE = "Copier";
  params.EXIF_ARTIST = "Someone";
  params.SetEXIF_ExposureTime(0.125);
  params.EXIF_GPSVERSIONID = "2.2.0.0";
  params.SetEXIF_GPSLatitude(12.5);
  for (const char* order : {"lsb", "msb"}) {
    SCOPED_TRACE(order);
    InDir(std::string("/usr/bin/convert -size 30x20 gradient:red-blue -depth 8 -define tiff:endian=") + order + " t.tif");
    {
      TFileStream file(Path("t.tif"), fmOpenReadWrite);
      EXPECT_EQ(IECopyEXIFTagsToTIFF(&file, &file, "", params, 0, ""), 1);
    }
    const std::string tags = Capture("exiftool -n -s -Make -Artist -ExposureTime -GPSLatitude " + Path("t.tif"));
    if (std::string(order) == "lsb")
      EXPECT_EQ(tags, "Make                            : Copier\n"
                      "Artist                          : Someone\n"
                      "ExposureTime                    : 0.125\n"
                      "GPSLatitude                     : 12.5\n");
    else
      EXPECT_EQ(tags, "");
    std::string errors;
    Capture("tiffinfo " + Path("t.tif"), &errors);
    EXPECT_EQ(errors, "");
  }
}

// ---- blocks built here ------------------------------------------------------------------------

// The EXIF directory of a block we wrote, for looking at its raw entries.
struct WrittenBlock {
  explicit WrittenBlock(TIOParamsVals& params) {
    const std::vector<uint8_t> block = IESaveEXIFToBuffer(params, false);
    stream.WriteBuffer(block.data(), static_cast<int32_t>(block.size()));
    page.Stream = exif.Stream = gps.Stream = &stream;
    int32_t count = 0;
    page.ReadIFD(0, count, block[4] | block[5] << 8 | block[6] << 16 | block[7] << 24);
    exif.ReadIFD(0, count, page.ReadInteger(34665, 0, 0));
    if (page.FindTag(34853) >= 0) gps.ReadIFD(0, count, page.ReadInteger(34853, 0, 0));
  }
  std::vector<uint8_t> Bytes(const TIETIFFIFDReader& r, uint16_t tag) {
    std::vector<uint8_t> data;
    r.ReadBytes(tag, data);
    return data;
  }
  TMemoryStream stream;
  TIETIFFIFDReader page, exif, gps;
};

TEST(ExifBlock, UserCommentCodesAndGpsVersion) {
  struct Case {
    std::string code, comment;
    std::string stored;  // empty: no entry
  };
  const Case cases[] = {
      {std::string("ASCII\0\0\0", 8), "abc", std::string("ASCII\0\0\0abc\0", 12)},
      {std::string("UNICODE\0", 8), "ab", std::string("UNICODE\0a\0b\0\0\0", 14)},
      {"", "ab", std::string("UNICODE\0a\0b\0\0\0", 14)},  // no code counts as UNICODE
      {std::string("JIS\0\0\0\0\0", 8), "ab", std::string("JIS\0\0\0\0\0a\0b\0", 12)},
      {"ASCII", "abc", ""},  // a code of other than 8 characters
      {std::string("ASCII\0\0\0", 8), "", ""},
  };
  for (const Case& c : cases) {
    TIOParamsVals params(nullptr);
    params.EXIF_HASEXIF = true;
    params.EXIF_USERCOMMENTCODE = c.code;
    params.EXIF_USERCOMMENT = c.comment;
    params.EXIF_GPSVERSIONID = "2.2";
    WrittenBlock block(params);
    const std::vector<uint8_t> stored = block.Bytes(block.exif, 37510);
    EXPECT_EQ(std::string(stored.begin(), stored.end()), c.stored);
    EXPECT_EQ(block.Bytes(block.gps, 0), (std::vector<uint8_t>{2, 2, 0, 0}));
  }
}

// What the writer writes reads back into the same values.
TEST(ExifBlock, ParametersRoundTrip) {
  TIOParamsVals params(nullptr);
  params.EXIF_HASEXIF = true;
  params.EXIF_MODEL = "M";
  params.SetEXIF_ExposureBiasValue(-0.5);
  params.SetEXIF_ExposureProgram(2);
  params.SetEXIF_ColorSpace(1);
  params.EXIF_ISOSPEEDRATINGS = {100, 200};
  params.SetEXIF_WhitePoint(0, 0.3127);
  params.EXIF_XPCOMMENT = "note";
  params.EXIF_XPRATING = 4;
  params.EXIF_INTEROPINDEX = "R03";
  params.EXIF_GPSVERSIONID = "2.2.0.0";
  params.SetEXIF_GPSLongitude(-122.25);
  params.EXIF_GPSALTITUDEREF = "1";
  params.EXIF_GPSALTITUDE = 12.5;
  params.EXIF_GPSDATESTAMP = "2020:01:02";
  params.SetTIFF_Orientation(8);
  const std::vector<uint8_t> block = IESaveEXIFToBuffer(params, true);
  TIOParamsVals back(nullptr);
  ASSERT_TRUE(IELoadEXIFFromBuffer(block.data(), static_cast<int64_t>(block.size()), back));
  EXPECT_EQ(back.EXIF_MODEL, "M");
  EXPECT_EQ(back.EXIF_EXPOSUREBIASVALUE, -0.5);
  EXPECT_EQ(back.EXIF_EXPOSUREPROGRAM, 2);
  EXPECT_EQ(back.EXIF_COLORSPACE, 1);
  EXPECT_EQ(back.EXIF_ISOSPEEDRATINGS, (std::array<int32_t, 2>{100, 200}));
  EXPECT_NEAR(back.EXIF_WHITEPOINT[0], 0.3127, 1e-8);
  EXPECT_EQ(back.EXIF_WHITEPOINT[1], 0);  // an unset item of a set array
  EXPECT_EQ(back.EXIF_XPCOMMENT, "note");
  EXPECT_EQ(back.EXIF_XPRATING, 4);
  EXPECT_EQ(back.EXIF_INTEROPINDEX, "R03");
  EXPECT_NEAR(back.GetEXIF_GPSLongitude(), -122.25, 1e-9);
  EXPECT_EQ(back.EXIF_GPSALTITUDEREF, "1");
  EXPECT_EQ(back.EXIF_GPSALTITUDE, 12.5);
  EXPECT_EQ(back.EXIF_GPSDATESTAMP, "2020:01:02");
  EXPECT_EQ(back.EXIF_ORIENTATION, 8);
  EXPECT_EQ(back.EXIFTagsPresent.size(), params.EXIFTagsPresent.size());
  EXPECT_TRUE(back.EXIFThumbnail && back.EXIFThumbnail->IsEmpty());
}

// ---- damaged blocks --------------------------------------------------------------------------

// Blocks that are not EXIF at all leave the parameters untouched; every
// truncation and byte flip of a real block loads or fails without harm.
TEST(ExifBlock, DamagedBlocksFailCleanly) {
  const std::string notExif[] = {
      std::string(""), std::string("Exif"), std::string("Exif\0\0", 6), std::string("Exig\0\0II*\0\x08\0\0\0", 14),
      std::string("Exif\0\0XX*\0\x08\0\0\0", 14), std::string("Exif\0\0II*\0\xff\xff\0\0", 14),
      std::string("Exif\0\0II*\0\x08\0\0\0\xff\xff", 16),
  };
  for (const std::string& data : notExif) {
    TIOParamsVals params(nullptr);
    params.EXIF_MAKE = "kept";
    EXPECT_FALSE(IELoadEXIFFromBuffer(data.data(), static_cast<int64_t>(data.size()), params)) << data.size();
    EXPECT_EQ(params.EXIF_MAKE, "kept");
    EXPECT_FALSE(params.EXIF_HASEXIF);
  }
  TIOParamsVals source(nullptr);
  source.EXIF_HASEXIF = true;
  source.EXIF_MAKE = "Maker";
  source.SetEXIF_FNumber(4);
  source.EXIF_GPSVERSIONID = "2.2";
  source.EXIF_GPSLATITUDEREF = "N";
  source.EXIF_USERCOMMENT = "comment";
  source.EXIFThumbnail = std::make_unique<TIEBitmap>(12, 9, ie24RGB);
  const std::vector<uint8_t> block = IESaveEXIFToBuffer(source, true);
  for (size_t size = 0; size < block.size(); ++size) {
    TIOParamsVals params(nullptr);
    IELoadEXIFFromBuffer(block.data(), static_cast<int64_t>(size), params);
  }
  for (size_t at = 6; at < block.size(); ++at)
    for (const uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}, uint8_t{0xFF}}) {
      std::vector<uint8_t> damaged = block;
      damaged[at] ^= flip;
      TIOParamsVals params(nullptr);
      IELoadEXIFFromBuffer(damaged.data(), static_cast<int64_t>(damaged.size()), params);
    }
  TIOParamsVals whole(nullptr);
  ASSERT_TRUE(IELoadEXIFFromBuffer(block.data(), static_cast<int64_t>(block.size()), whole));
  EXPECT_EQ(whole.EXIF_MAKE, "Maker");
  ASSERT_TRUE(whole.EXIFThumbnail);
  EXPECT_EQ(whole.EXIFThumbnail->GetWidth(), 12);
}

}  // namespace
