// The DICOM reader and writer judged from both sides: files written by
// pydicom and converted by dcmtk decode to their source pixels (or to what
// dcmtk's own decoders and renderer give), the files we write are read by
// dcmdump, pydicom and dcmtk's decoders to our pixels, and damaged or
// hostile data fails cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/codecs/iedicom.h"
#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/codecs/codec_test_support.h"

namespace {

using codectest::ReadAll;
using codectest::Shell;

constexpr const char* kPython = "/usr/bin/python3 -W error ";

// The pixels as the generator's .raw files hold them: 0/1 bytes for 1-bit,
// grey bytes, 16-bit little-endian words, red-green-blue bytes or words.
std::string Canonical(TIEBitmap& bitmap) {
  std::string out;
  const int32_t width = bitmap.GetWidth();
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y) {
    const uint8_t* row = bitmap.GetScanline(y);
    for (int32_t x = 0; x < width; ++x) {
      switch (bitmap.GetPixelFormat()) {
        case ie1g: out += static_cast<char>((row[x / 8] >> (7 - x % 8)) & 1); break;
        case ie8g: out += static_cast<char>(row[x]); break;
        case ie16Gray: out.append(reinterpret_cast<const char*>(row + x * 2), 2); break;
        case ie24RGB: out += {static_cast<char>(row[x * 3 + 2]), static_cast<char>(row[x * 3 + 1]),
                              static_cast<char>(row[x * 3])}; break;
        case ieRGB48: out.append(reinterpret_cast<const char*>(row + x * 6), 6); break;
        default: break;
      }
    }
  }
  return out;
}

// The largest difference of two byte strings of equal length (bytes).
int MaxDifference(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return 1 << 20;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i])));
  return worst;
}

// The samples of a binary PGM or PPM of 8-bit samples.
std::string PnmSamples(const std::string& file) {
  const std::string data = ReadAll(file);
  size_t at = 0;
  for (int fields = 0; fields < 4; ++fields) {
    while (at < data.size() && std::isspace(static_cast<unsigned char>(data[at]))) ++at;
    while (at < data.size() && !std::isspace(static_cast<unsigned char>(data[at]))) ++at;
  }
  return data.substr(at + 1);
}

class DicomTest : public codectest::CodecTest {
protected:
  static void SetUpTestSuite() {
    made_ = std::filesystem::temp_directory_path() / ("vesk-dicom-" + std::to_string(::getpid()));
    std::filesystem::create_directories(made_);
    Shell(std::string(kPython) + VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_make.py " + made_.string());
  }
  static void TearDownTestSuite() { std::filesystem::remove_all(made_); }

  static std::string Made(const std::string& name) { return (made_ / name).string(); }

  // Reads the file's frame index with the range mode; false when the read set the abort flag.
  bool Read(const std::string& file, TIEBitmap& bitmap, int32_t mode = 2, int32_t index = 0,
            TIOParamsVals* into = nullptr) {
    TIOParamsVals own(nullptr);
    TIOParamsVals& params = into ? *into : own;
    params.DICOMRangeMode = static_cast<uint8_t>(mode);
    params.IMAGEINDEX = index;
    TMemoryStream stream;
    stream.LoadFromFile(file);
    abort_ = false;
    IEReadDICOMStream(stream, params, &bitmap, false, progress_);
    return !abort_;
  }
  bool ReadBytes(const std::string& bytes, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly = false) {
    TMemoryStream stream;
    stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
    stream.SetPosition(0);
    abort_ = false;
    IEReadDICOMStream(stream, params, &bitmap, paramsOnly, progress_);
    return !abort_;
  }
  // Copies a made file into the test's folder.
  std::string Source(const std::string& name) {
    std::filesystem::copy_file(Made(name + ".dcm"), Path(name + ".dcm"),
                               std::filesystem::copy_options::overwrite_existing);
    return Path(name + ".dcm");
  }
  void ExpectPixels(const std::string& file, const std::string& name, int tolerance = 0, int32_t index = 1) {
    TIEBitmap bitmap;
    ASSERT_TRUE(Read(file, bitmap, 2, index)) << file;
    const std::string expected = ReadAll(Made(name + ".raw"));
    EXPECT_LE(MaxDifference(Canonical(bitmap), expected), tolerance) << file;
  }

  static std::filesystem::path made_;
};

std::filesystem::path DicomTest::made_;

// ---- native layouts --------------------------------------------------------------------------

TEST_F(DicomTest, NativeLayoutsDecodeToTheStoredPixels) {
  // The last frame is asked for (index 1); one-frame files give their only one.
  struct Case {
    const char* name;
    int tolerance;
  };
  for (const Case& c : {Case{"grey8", 0}, {"signed12", 0}, {"packed12", 0}, {"bits1", 0}, {"palette8", 0},
                        {"palette16", 0}, {"rgb", 0}, {"rgb_planar", 0}, {"ybr_full", 1}, {"monochrome1", 0},
                        {"newer_vrs", 0}})
    ExpectPixels(Made(std::string(c.name) + ".dcm"), c.name, c.tolerance);
}

// A bitmap that keeps its pixels in a framework bitmap holds 1-bit and
// 24-bit pixels only: the frame comes as 24-bit grey or colour, or 1-bit.
TEST_F(DicomTest, FrameworkBitmapsGetTheirFramesIn24Or1Bit) {
  struct Case {
    const char* name;
    TIEPixelFormat format;
  };
  for (const Case& c : {Case{"signed12", ie24RGB}, {"palette16", ie24RGB}, {"grey8", ie24RGB}, {"rgb", ie24RGB},
                        {"bits1", ie1g}}) {
    SCOPED_TRACE(c.name);
    TIEBitmap plain, framework;
    framework.SetLocation(ieTBitmap);
    ASSERT_TRUE(Read(Made(std::string(c.name) + ".dcm"), plain, 0, 1));
    ASSERT_TRUE(Read(Made(std::string(c.name) + ".dcm"), framework, 0, 1));
    ASSERT_EQ(framework.GetPixelFormat(), c.format);
    ASSERT_EQ(framework.Location(), ieTBitmap);
    if (plain.GetPixelFormat() != c.format) plain.SetPixelFormat(c.format);
    EXPECT_EQ(Canonical(framework), Canonical(plain));
  }
}

TEST_F(DicomTest, TagsAfterNewerValueRepresentationsAndInSequencesReadRight) {
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  ASSERT_TRUE(Read(Made("newer_vrs.dcm"), bitmap, 2, 0, &params));
  std::string text;
  params.DICOMTags.GetTagString(0x0028, 0x0010, text);
  EXPECT_EQ(text, "3");
  const TIEDicomTag* uc = params.DICOMTags.GetTag(params.DICOMTags.IndexOf(0x0008, 0x0119));
  ASSERT_NE(uc, nullptr);
  EXPECT_EQ(uc->VR, IE_DICOM_UN);
  params.DICOMTags.GetTagString(0x0008, 0x0119, text);
  EXPECT_EQ(text, "a long code value ");
  const TIEDicomTag* ol = params.DICOMTags.GetTag(params.DICOMTags.IndexOf(0x0066, 0x0040));
  ASSERT_NE(ol, nullptr);
  EXPECT_EQ(ol->ValueSize(), 16u);

  ASSERT_TRUE(Read(Made("ct_voi.dcm"), bitmap, 2, 0, &params));
  TIEDicomItems* items = params.DICOMTags.GetSequenceItems(0x0028, 0x3110);
  ASSERT_TRUE(items && items->size() == 1);
  (*items)[0]->GetTagString(0x0028, 0x1051, text);
  EXPECT_EQ(text, "400 ");
}

// ---- files converted by dcmtk ---------------------------------------------------------------

TEST_F(DicomTest, FilesConvertedByDcmtkDecodeToTheSourcePixels) {
  struct Case {
    const char* source;
    std::string command;
  };
  std::vector<Case> cases;
  for (const char* source : {"grey8", "signed12", "rgb"}) {
    cases.push_back({source, "dcmcjpeg +e1"});
    cases.push_back({source, "dcmcrle"});
    cases.push_back({source, "dcmconv +ti"});
    cases.push_back({source, "dcmconv +tb"});
    for (int n = 1; n <= 7; ++n) cases.push_back({source, "dcmcjpeg +el +sv " + std::to_string(n)});
  }
  for (const char* source : {"bits1", "monochrome1", "palette8", "palette16"}) cases.push_back({source, "dcmconv +tb"});
  // Fragments of 1 KB, with and without an offset table, of a one- and a two-frame file.
  for (const char* source : {"grey8", "rgb"}) {
    cases.push_back({source, "dcmcjpeg +e1 +fs 1"});
    cases.push_back({source, "dcmcjpeg +e1 +fs 1 -ot"});
    cases.push_back({source, "dcmcrle +fs 1 -ot"});
  }
  int i = 0;
  for (const Case& c : cases) {
    const std::string out = Path("out" + std::to_string(i++) + ".dcm");
    InDir(c.command + " " + Source(c.source) + " " + out);
    ExpectPixels(out, c.source);
  }
}

TEST_F(DicomTest, PointTransformAndBaselineJpegMatchDcmtksDecoder) {
  struct Case {
    const char* source;
    const char* command;
    int tolerance;
  };
  for (const Case& c : {Case{"grey8", "dcmcjpeg +el +pt 2", 0}, {"signed12", "dcmcjpeg +el +sv 3 +pt 2", 0},
                        {"grey8", "dcmcjpeg +eb", 1}, {"rgb", "dcmcjpeg +eb", 2}, {"rgb", "dcmcjpeg +eb +cy", 2},
                        {"rgb", "dcmcjpeg +eb +cr", 2}}) {
    InDir(std::string(c.command) + " " + Source(c.source) + " coded.dcm && dcmdjpeg coded.dcm reference.dcm");
    TIEBitmap ours, reference;
    ASSERT_TRUE(Read(Path("coded.dcm"), ours, 2, 1)) << c.command;
    ASSERT_TRUE(Read(Path("reference.dcm"), reference, 2, 1)) << c.command;
    EXPECT_LE(MaxDifference(Canonical(ours), Canonical(reference)), c.tolerance) << c.source << " " << c.command;
  }
}

// ---- value mapping -------------------------------------------------------------------------------

TEST_F(DicomTest, StretchAndWindowFollowDcmtksRendering) {
  struct Case {
    const char* name;
    const char* options;  // of dcm2pnm
  };
  for (const Case& c : {Case{"grey8", "+Wm"}, {"monochrome1", "+Wm"}, {"signed12", "+Wm"},
                        {"ct_window", "+Ww 40 400"}, {"ct_voi", "+Ww 40 400"}, {"ct_width1", "+Ww 0 1"}}) {
    InDir(std::string("dcm2pnm ") + c.options + " +op " + Made(std::string(c.name) + ".dcm") + " ref");
    std::string reference;
    for (const auto& file : std::filesystem::directory_iterator(dir_))
      if (file.path().filename().string().rfind("ref", 0) == 0) reference = PnmSamples(file.path().string());
    TIEBitmap bitmap;
    ASSERT_TRUE(Read(Made(std::string(c.name) + ".dcm"), bitmap, 0, 0)) << c.name;
    std::string eight = Canonical(bitmap);
    if (bitmap.GetPixelFormat() == ie16Gray) {
      std::string bytes;
      for (size_t i = 0; i + 1 < eight.size(); i += 2) {
        const int v = static_cast<uint8_t>(eight[i]) | static_cast<uint8_t>(eight[i + 1]) << 8;
        bytes += static_cast<char>(std::lround(v / 257.0));
      }
      eight = bytes;
    }
    EXPECT_LE(MaxDifference(eight, reference), 1) << c.name;
    for (const auto& file : std::filesystem::directory_iterator(dir_)) std::filesystem::remove(file.path());
  }
}

// ---- frame counts, syntaxes and damaged files ------------------------------------------------------

TEST_F(DicomTest, FrameCountsAndIndexesStayWithinTheFile) {
  EXPECT_EQ(IEGetDICOMImageCount(Made("grey8.dcm")), 2);
  EXPECT_EQ(IEGetDICOMImageCount(Made("rgb.dcm")), 1);
  InDir("dcmodify -nb -i \"(0028,0008)=0\" " + Source("grey8"));
  EXPECT_EQ(IEGetDICOMImageCount(Path("grey8.dcm")), 1);
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  ASSERT_TRUE(Read(Path("grey8.dcm"), bitmap, 2, 5, &params));
  EXPECT_EQ(params.IMAGEINDEX, 0);
  const std::string bytes = ReadAll(Made("grey8.dcm"));
  std::ofstream(Path("cut.dcm"), std::ios::binary) << bytes.substr(0, 300);
  EXPECT_EQ(IEGetDICOMImageCount(Path("cut.dcm")), 0);
}

TEST_F(DicomTest, SyntaxesAndLayoutsItCannotDecodeFailInsteadOfLoadingBlank) {
  InDir("dcmconv +td " + Source("grey8") + " deflated.dcm");
  InDir("cp " + Source("rgb") + " rgb_422.dcm && dcmodify -nb -m \"(0028,0004)=YBR_FULL_422\" rgb_422.dcm");
  // JPEG frames of another size than the header's.
  InDir("dcmcjpeg +eb " + Source("grey8") + " narrower.dcm && dcmodify -nb -m \"(0028,0011)=36\" narrower.dcm");
  InDir("dcmcjpeg +eb " + Source("grey8") + " taller.dcm && dcmodify -nb -m \"(0028,0010)=24\" taller.dcm");
  for (const char* name : {"deflated.dcm", "rgb_422.dcm", "narrower.dcm", "taller.dcm"}) {
    TIEBitmap bitmap;
    EXPECT_FALSE(Read(Path(name), bitmap)) << name;
  }
  // No meta group: native data, every frame.
  InDir("dcmconv -F +ti " + Source("grey8") + " bare.dcm");
  ExpectPixels(Path("bare.dcm"), "grey8");
  // No Pixel Data: the parameters read, the image fails.
  InDir("dcmodify -nb -ea \"(7fe0,0010)\" " + Source("rgb"));
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  EXPECT_FALSE(Read(Path("rgb.dcm"), bitmap, 2, 0, &params));
  EXPECT_EQ(params.WIDTH, 7);
  EXPECT_TRUE(ReadBytes(ReadAll(Path("rgb.dcm")), bitmap, params, true));
}

TEST_F(DicomTest, BigEndianNumbersEnterTheStoreInLittleEndianOrder) {
  InDir("dcmconv +tb " + Source("palette16") + " big.dcm");
  TIEBitmap little, big;
  TIOParamsVals a(nullptr), b(nullptr);
  ASSERT_TRUE(Read(Made("palette16.dcm"), little, 2, 0, &a));
  ASSERT_TRUE(Read(Path("big.dcm"), big, 2, 0, &b));
  for (uint16_t element : {0x0010, 0x0011, 0x1101, 0x1201}) {
    const TIEDicomTag* x = a.DICOMTags.GetTag(a.DICOMTags.IndexOf(0x0028, element));
    const TIEDicomTag* y = b.DICOMTags.GetTag(b.DICOMTags.IndexOf(0x0028, element));
    ASSERT_TRUE(x && y) << element;
    EXPECT_EQ(x->Value, y->Value) << element;
  }
}

}  // namespace

namespace {

// ---- hostile data ----------------------------------------------------------------------------------

std::string U16(uint32_t v) { return {static_cast<char>(v), static_cast<char>(v >> 8)}; }
std::string U32(uint32_t v) { return U16(v & 0xFFFF) + U16(v >> 16); }

// An explicit VR little endian element; long-length VRs by their names.
std::string Element(uint16_t group, uint16_t element, const std::string& vr, const std::string& value,
                    uint32_t length = 0xFFFFFFFE) {
  const uint32_t size = length == 0xFFFFFFFE ? static_cast<uint32_t>(value.size()) : length;
  const bool wide = vr == "OB" || vr == "OW" || vr == "SQ" || vr == "UN" || vr == "UT" || vr == "UC" || vr == "OL";
  return U16(group) + U16(element) + vr + (wide ? U16(0) + U32(size) : U16(size)) + value;
}
std::string Item(const std::string& content, bool undefined) {
  return U16(0xFFFE) + U16(0xE000) + U32(undefined ? 0xFFFFFFFF : static_cast<uint32_t>(content.size())) + content +
         (undefined ? U16(0xFFFE) + U16(0xE00D) + U32(0) : "");
}
std::string SequenceEnd() { return U16(0xFFFE) + U16(0xE0DD) + U32(0); }

std::string File(const std::string& syntax, const std::string& body) {
  std::string uid = syntax;
  if (uid.size() % 2) uid += '\0';
  return std::string(128, '\0') + "DICM" + Element(2, 0x10, "UI", uid) + body;
}
std::string Image(int rows, int cols, int bits, const std::string& photometric) {
  std::string text = photometric;
  if (text.size() % 2) text += ' ';
  return Element(0x28, 2, "US", U16(1)) + Element(0x28, 4, "CS", text) + Element(0x28, 0x10, "US", U16(rows)) +
         Element(0x28, 0x11, "US", U16(cols)) + Element(0x28, 0x100, "US", U16(bits)) +
         Element(0x28, 0x101, "US", U16(bits));
}

TEST_F(DicomTest, HostileFilesFailCleanlyWithinTheirBytes) {
  // Undefined lengths throughout: each level opens a sequence and an item.
  std::string opening, closing;
  for (int depth = 0; depth < 10000; ++depth) {
    opening += Element(0x40, 0x275, "SQ", "", 0xFFFFFFFF) + U16(0xFFFE) + U16(0xE000) + U32(0xFFFFFFFF);
    closing += U16(0xFFFE) + U16(0xE00D) + U32(0) + SequenceEnd();
  }
  const std::string nested = opening + Element(0x10, 0x20, "LO", "inner ") + closing;
  std::string rle = U32(1) + U32(64) + std::string(56, '\0');
  while (rle.size() < 120) rle += "\x81\x00";
  const std::string encapsulated = Element(0x7FE0, 0x10, "OB", "", 0xFFFFFFFF) + Item("", false) +
                                   Item(rle, false) + SequenceEnd();
  const std::string palette = Image(2, 2, 32, "PALETTE COLOR") + Element(0x28, 0x1201, "OW", std::string(8, '\1')) +
                              Element(0x7FE0, 0x10, "OW", std::string(16, '\3'));
  struct Case {
    const char* what;
    std::string bytes;
  };
  for (const Case& c : {
           Case{"10,000 nested sequences", File("1.2.840.10008.1.2.1", nested)},
           {"RLE claiming 65535 x 65535", File("1.2.840.10008.1.2.5", Image(65535, 65535, 8, "MONOCHROME2") + encapsulated)},
           {"32 bits with a palette", File("1.2.840.10008.1.2.1", palette)},
           {"element past its item", File("1.2.840.10008.1.2.1",
                                          Element(0x40, 0x275, "SQ", Item(Element(0x10, 0x20, "LO", "abcd", 40), false)))},
           {"element past the end", File("1.2.840.10008.1.2.1", Element(0x10, 0x20, "LO", "ab", 200))},
           {"item past its sequence", File("1.2.840.10008.1.2.1",
                                           Element(0x40, 0x275, "SQ", Item(Element(0x10, 0x20, "LO", "ab"), false), 4))},
           {"undefined length outside a sequence", File("1.2.840.10008.1.2.1", Element(0x10, 0x20, "LO", "", 0xFFFF))},
           {"JPEG-LS", File("1.2.840.10008.1.2.4.80", Image(2, 2, 8, "MONOCHROME2") + encapsulated)},
           {"JPEG 2000 lossless only", File("1.2.840.10008.1.2.4.90", Image(2, 2, 8, "MONOCHROME2") + encapsulated)},
           {"items under a native syntax", File("1.2.840.10008.1.2.1", Image(2, 2, 8, "MONOCHROME2") + encapsulated)},
       }) {
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    EXPECT_FALSE(ReadBytes(c.bytes, bitmap, params)) << c.what;
  }
}

TEST_F(DicomTest, FramesCountOnlyWhatTheNativeValueHolds) {
  struct Case {
    const char* frames;
    size_t bytes;
    int32_t count;
  };
  // 2 x 2 frames of 8 bits: 4 bytes each.
  for (const Case& c : {Case{"2147483647", 4, 1}, {"3 ", 10, 2}, {"3 ", 12, 3}, {"2 ", 2, 1}}) {
    SCOPED_TRACE(c.frames);
    std::string pixels;
    for (size_t i = 0; i < c.bytes; ++i) pixels += static_cast<char>(i * 10);
    const std::string file = File("1.2.840.10008.1.2.1", Image(2, 2, 8, "MONOCHROME2") +
                                                            Element(0x28, 8, "IS", c.frames) +
                                                            Element(0x7FE0, 0x10, "OB", pixels));
    TMemoryStream stream;
    stream.WriteBuffer(file.data(), static_cast<int32_t>(file.size()));
    stream.SetPosition(0);
    EXPECT_EQ(IEGetDICOMStreamImageCount(stream), c.count);
    // The last frame stated is asked for: the last one held decodes, if any is whole.
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.DICOMRangeMode = 2;
    params.IMAGEINDEX = 2147483646;
    EXPECT_EQ(ReadBytes(file, bitmap, params), c.bytes >= 4);
    EXPECT_EQ(params.IMAGEINDEX, c.count - 1);
    if (c.bytes >= 4) {
      EXPECT_EQ(bitmap.GetPixel8(0, 0), (c.count - 1) * 40);
    }
  }
}

TEST_F(DicomTest, SamplesAreTakenBelowTheHighBit) {
  // 12 bits stored in 16, signed, the high bit at 15 (or as usual at 11); the
  // bits below the stored ones hold noise.
  struct Case {
    uint16_t highBit;
    uint16_t stored[2];
    uint16_t expected[2];
  };
  for (const Case& c : {Case{15, {0x7FF5, 0x800A}, {0x07FF, 0xF800}}, {11, {0xF7FF, 0x0800}, {0x07FF, 0xF800}},
                        {16, {0x07FF, 0x0800}, {0x07FF, 0xF800}}}) {
    SCOPED_TRACE(c.highBit);
    const std::string body =
        Element(0x28, 2, "US", U16(1)) + Element(0x28, 4, "CS", "MONOCHROME2 ") + Element(0x28, 0x10, "US", U16(1)) +
        Element(0x28, 0x11, "US", U16(2)) + Element(0x28, 0x100, "US", U16(16)) +
        Element(0x28, 0x101, "US", U16(12)) + Element(0x28, 0x102, "US", U16(c.highBit)) +
        Element(0x28, 0x103, "US", U16(1)) + Element(0x7FE0, 0x10, "OW", U16(c.stored[0]) + U16(c.stored[1]));
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.DICOMRangeMode = 2;
    ASSERT_TRUE(ReadBytes(File("1.2.840.10008.1.2.1", body), bitmap, params));
    ASSERT_EQ(bitmap.GetPixelFormat(), ie16Gray);
    const auto* row = reinterpret_cast<const uint16_t*>(bitmap.GetScanline(0));
    EXPECT_EQ(row[0], c.expected[0]);
    EXPECT_EQ(row[1], c.expected[1]);
  }
}

// An implicit VR little endian element.
std::string Implicit(uint16_t group, uint16_t element, const std::string& value, uint32_t length = 0xFFFFFFFE) {
  return U16(group) + U16(element) + U32(length == 0xFFFFFFFE ? static_cast<uint32_t>(value.size()) : length) + value;
}

// A private sequence of undefined length: stated UN in an explicit file, or
// without a stated VR in an implicit one.
TEST_F(DicomTest, UndefinedLengthUnknownSequenceIsReadAsImplicitItems) {
  const std::string items = Item(Implicit(0x10, 0x20, "abcd"), true) + SequenceEnd();
  const std::string pixels = "\x05\x07";
  const std::string image = Image(1, 2, 8, "MONOCHROME2");
  std::string implicitImage;
  for (size_t at = 0; at < image.size();) {
    // Image's elements are short-length ones: tag, VR, 16-bit length, value.
    const size_t length = static_cast<uint8_t>(image[at + 6]) | static_cast<uint8_t>(image[at + 7]) << 8;
    implicitImage += image.substr(at, 4) + U32(static_cast<uint32_t>(length)) + image.substr(at + 8, length);
    at += 8 + length;
  }
  struct Case {
    const char* what;
    std::string file;
  };
  for (const Case& c : {Case{"explicit UN", File("1.2.840.10008.1.2.1", Element(0x0009, 0x1010, "UN", items, 0xFFFFFFFF) +
                                                                          image + Element(0x7FE0, 0x10, "OB", pixels))},
                        {"implicit", File("1.2.840.10008.1.2", Implicit(0x0009, 0x1010, items, 0xFFFFFFFF) +
                                                                 implicitImage + Implicit(0x7FE0, 0x10, pixels))}}) {
    SCOPED_TRACE(c.what);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    params.DICOMRangeMode = 2;
    ASSERT_TRUE(ReadBytes(c.file, bitmap, params));
    TIEDicomItems* found = params.DICOMTags.GetSequenceItems(0x0009, 0x1010);
    ASSERT_TRUE(found && found->size() == 1);
    std::string text;
    (*found)[0]->GetTagString(0x10, 0x20, text);
    EXPECT_EQ(text, "abcd");
    EXPECT_EQ(bitmap.GetPixel8(1, 0), 7);
  }
}

TEST_F(DicomTest, EveryCutOfAFileFailsOrReadsWithinIt) {
  InDir("dcmcrle " + Source("rgb") + " rle.dcm && dcmcjpeg +e1 +fs 1 " + Source("grey8") + " ll.dcm");
  for (const char* name : {"rle.dcm", "ll.dcm", "grey8.dcm"}) {
    const std::string bytes = ReadAll(Path(name));
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 40) {
      TIEBitmap bitmap;
      TIOParamsVals params(nullptr);
      ReadBytes(bytes.substr(0, cut), bitmap, params);
    }
  }
}

}  // namespace

namespace {

// ---- writing ---------------------------------------------------------------------------------------

// A smooth test image, as JPEG codes well.
std::unique_ptr<TIEBitmap> Smooth(TIEPixelFormat format, int32_t width, int32_t height, int frame) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  const int32_t channels = format == ie24RGB ? 3 : 1;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      for (int32_t k = 0; k < channels; ++k)
        bitmap->GetScanline(y)[x * channels + k] = static_cast<uint8_t>(x * 2 + y * 2 + k * 10 + frame * 10);
  return bitmap;
}

// A test image of the format whose content differs by frame.
std::unique_ptr<TIEBitmap> Frame(TIEPixelFormat format, int32_t width, int32_t height, int frame) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    const int32_t bytes = format == ie1g ? (width + 7) / 8 : width * IEPixelFormatInfo[format].BitsPerPixel / 8;
    for (int32_t i = 0; i < bytes; ++i) {
      // Runs of equal bytes and changing ones, so that RLE codes both.
      const int32_t v = (i / 5) % 2 ? i * 7 + y * 13 + frame * 31 : y * 3 + frame * 50;
      row[i] = static_cast<uint8_t>(v);
    }
  }
  return bitmap;
}

struct WriteCase {
  TIEPixelFormat format;
  const char* syntax;
  int32_t frames;
};

std::string Describe(const WriteCase& c) {
  return std::to_string(c.format) + " " + c.syntax + " x" + std::to_string(c.frames);
}

class DicomWriteTest : public DicomTest {
protected:
  // Writes the frames and returns the file's path.
  std::string Write(const WriteCase& c, int32_t width, int32_t height, const std::string& name, bool smooth = false,
                    double jpeg2000Rate = 0.07) {
    TIOParamsVals params(nullptr);
    params.DICOMJ2000Rate = jpeg2000Rate;
    params.DICOMTags.SetTagString(0x0002, 0x0010, c.syntax);
    params.DICOMTags.SetTagString(0x0010, 0x0010, "Test^Patient");
    params.SAMPLESPERPIXEL = c.format == ie24RGB ? 3 : 1;
    params.BITSPERSAMPLE = c.format == ie1g ? 1 : c.format == ie16Gray ? 16 : 8;
    params.WIDTH = width;
    params.HEIGHT = height;
    TFileStream file(Path(name), fmCreate);
    TIEDicomWriter writer = IEBeginWriteDICOM(file, params, c.frames, progress_);
    for (int32_t k = 0; k < c.frames; ++k)
      IEWriteDICOMFrame(*writer, *(smooth ? Smooth : Frame)(c.format, width, height, k));
    IEEndWriteDICOM(std::move(writer));
    return Path(name);
  }
};

TEST_F(DicomWriteTest, WrittenFilesAreReadByDcmtkAndPydicomToOurPixels) {
  std::vector<WriteCase> cases;
  for (int32_t frames : {1, 3}) {
    for (TIEPixelFormat format : {ie1g, ie8g, ie16Gray, ie24RGB}) {
      cases.push_back({format, "1.2.840.10008.1.2.1", frames});
      cases.push_back({format, "1.2.840.10008.1.2.2", frames});
      if (format != ie1g) cases.push_back({format, "1.2.840.10008.1.2.5", frames});
    }
  }
  for (const WriteCase& c : cases) {
    // Odd sizes: odd-length values, rows that end mid-byte and runs at the row's end.
    const std::string file = Write(c, 13, 5, "ours.dcm");
    const std::string last = Canonical(*Frame(c.format, 13, 5, c.frames - 1));
    // dcmdump, and dcmtk's renderer over every frame, say nothing.
    InDir("(dcmdump " + file + " >/dev/null && dcmj2pnm +Fa " + file + " frame) 2>err.txt");
    EXPECT_EQ(ReadAll(Path("err.txt")), "") << Describe(c);
    InDir(std::string(kPython) + VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_check.py " + file + " pydicom.raw");
    EXPECT_EQ(ReadAll(Path("pydicom.raw")), last) << Describe(c);
    // dcmtk's decoders and converters back to native little endian, read by us.
    const std::string back = c.syntax == std::string("1.2.840.10008.1.2.5") ? "dcmdrle" : "dcmconv +te";
    InDir(back + " " + file + " native.dcm");
    TIEBitmap bitmap;
    ASSERT_TRUE(Read(Path("native.dcm"), bitmap, 2, c.frames - 1)) << Describe(c);
    EXPECT_EQ(Canonical(bitmap), last) << Describe(c);
    ASSERT_TRUE(Read(file, bitmap, 2, c.frames - 1)) << Describe(c);
    EXPECT_EQ(Canonical(bitmap), last) << Describe(c);
  }
}

TEST_F(DicomWriteTest, JpegFramesAreReadByDcmtkAsLibjpegDecodesThem) {
  for (const WriteCase& c : {WriteCase{ie8g, "1.2.840.10008.1.2.4.50", 1}, {ie24RGB, "1.2.840.10008.1.2.4.50", 3}}) {
    const std::string file = Write(c, 40, 24, "ours.dcm", true);
    InDir("(dcmdump " + file + " >/dev/null && dcmj2pnm +Fa " + file + " frame) 2>err.txt && dcmdjpeg " + file +
          " native.dcm");
    EXPECT_EQ(ReadAll(Path("err.txt")), "") << Describe(c);
    TIEBitmap theirs, ours;
    ASSERT_TRUE(Read(Path("native.dcm"), theirs, 2, c.frames - 1)) << Describe(c);
    ASSERT_TRUE(Read(file, ours, 2, c.frames - 1)) << Describe(c);
    EXPECT_LE(MaxDifference(Canonical(theirs), Canonical(ours)), 2) << Describe(c);
    // And close to the source: the colour frames are labelled as coded.
    EXPECT_LE(MaxDifference(Canonical(ours), Canonical(*Smooth(c.format, 40, 24, c.frames - 1))), 12) << Describe(c);
  }
}

TEST_F(DicomWriteTest, Jpeg2000FramesAreReadByPydicomToOurPixels) {
  // Rate 1 codes without loss (colour through the reversible transform), the default rate with loss.
  for (const double rate : {1.0, 0.07}) {
    for (const WriteCase& c : {WriteCase{ie8g, "1.2.840.10008.1.2.4.91", 1}, {ie16Gray, "1.2.840.10008.1.2.4.91", 3},
                               {ie24RGB, "1.2.840.10008.1.2.4.91", 3}}) {
      SCOPED_TRACE(testing::Message() << Describe(c) << " rate " << rate);
      const std::string file = Write(c, 13, 5, "ours.dcm", true, rate);
      InDir("dcmdump " + file + " >/dev/null 2>err.txt");
      EXPECT_EQ(ReadAll(Path("err.txt")), "");
      InDir(std::string(kPython) + VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_check.py " + file + " pydicom.raw");
      TIEBitmap ours;
      ASSERT_TRUE(Read(file, ours, 2, c.frames - 1));
      EXPECT_EQ(Canonical(ours), ReadAll(Path("pydicom.raw")));
      if (rate == 1.0) {
        EXPECT_EQ(Canonical(ours), Canonical(*Smooth(c.format, 13, 5, c.frames - 1)));
      }
    }
  }
}

TEST_F(DicomWriteTest, PydicomFilesReadAndWrittenBackKeepTheirPixels) {
  for (const char* name : {"grey8", "signed12", "rgb", "monochrome1", "ct_voi", "newer_vrs"}) {
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(Made(std::string(name) + ".dcm"), bitmap, 2, 0, &params)) << name;
    const std::string pixels = Canonical(bitmap);
    {
      TFileStream file(Path("back.dcm"), fmCreate);
      IEDicomCodecWrite(file, bitmap, params, progress_);
    }
    InDir("dcmdump back.dcm >/dev/null 2>err.txt");
    EXPECT_EQ(ReadAll(Path("err.txt")), "") << name;
    InDir(std::string(kPython) + VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_check.py back.dcm pydicom.raw");
    TIEBitmap again;
    ASSERT_TRUE(Read(Path("back.dcm"), again, 2)) << name;
    EXPECT_EQ(Canonical(again), pixels) << name;
  }
}

// Elements kept from a file read: a number value too long for a 16-bit
// length, and an extended offset table that points into the old pixel data.
TEST_F(DicomWriteTest, KeptElementsAreWrittenSoundly) {
  TIOParamsVals params(nullptr);
  std::vector<uint8_t> lut(80000);
  for (size_t i = 0; i < lut.size(); ++i) lut[i] = static_cast<uint8_t>(i * 7);
  params.DICOMTags.AddTag(0x0028, 0x3006, IE_DICOM_USSS, lut, static_cast<int32_t>(lut.size()), nullptr);
  params.DICOMTags.SetTagString(0x0032, 0x1060, "after the table");
  for (const char* syntax : {"1.2.840.10008.1.2.1", "1.2.840.10008.1.2.2", "1.2.840.10008.1.2.5"}) {
    SCOPED_TRACE(syntax);
    const std::vector<uint8_t> offsets(16, 0x55);
    for (uint16_t element : {0x0001, 0x0002})
      params.DICOMTags.AddTag(0x7FE0, element, IE_DICOM_UN, offsets, 16, nullptr);
    params.DICOMTags.SetTagString(0x0002, 0x0010, syntax);
    params.SAMPLESPERPIXEL = 1;
    params.BITSPERSAMPLE = 8;
    params.WIDTH = 5;
    params.HEIGHT = 3;
    {
      TFileStream file(Path("kept.dcm"), fmCreate);
      TIEDicomWriter writer = IEBeginWriteDICOM(file, params, 2, progress_);
      for (int k = 0; k < 2; ++k) IEWriteDICOMFrame(*writer, *Frame(ie8g, 5, 3, k));
      IEEndWriteDICOM(std::move(writer));
    }
    InDir("dcmdump kept.dcm >/dev/null 2>err.txt");
    EXPECT_EQ(ReadAll(Path("err.txt")), "");
    TIEBitmap bitmap;
    TIOParamsVals back(nullptr);
    ASSERT_TRUE(Read(Path("kept.dcm"), bitmap, 2, 1, &back));
    EXPECT_EQ(Canonical(bitmap), Canonical(*Frame(ie8g, 5, 3, 1)));
    const TIEDicomTag* table = back.DICOMTags.GetTag(back.DICOMTags.IndexOf(0x0028, 0x3006));
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->ValueSize(), lut.size());
    EXPECT_TRUE(std::equal(lut.begin(), lut.end(), table->Value.begin()));
    std::string text;
    back.DICOMTags.GetTagString(0x0032, 0x1060, text);
    EXPECT_EQ(text, "after the table ");
    EXPECT_LT(back.DICOMTags.IndexOf(0x7FE0, 0x0001), 0);
    EXPECT_LT(back.DICOMTags.IndexOf(0x7FE0, 0x0002), 0);
  }
}

TEST_F(DicomWriteTest, LayoutsAndFramesOutsideTheHeaderRaise) {
  TIOParamsVals params(nullptr);
  params.SAMPLESPERPIXEL = 1;
  params.BITSPERSAMPLE = 12;
  params.WIDTH = params.HEIGHT = 4;
  TMemoryStream stream;
  EXPECT_THROW(IEBeginWriteDICOM(stream, params, 1, progress_), EIEException);
  params.BITSPERSAMPLE = 1;
  params.DICOMTags.SetTagString(0x0002, 0x0010, "1.2.840.10008.1.2.5");
  EXPECT_THROW(IEBeginWriteDICOM(stream, params, 1, progress_), EIEException);
  params.BITSPERSAMPLE = 8;
  params.DICOMRangeMode = 1;
  EXPECT_THROW(IEBeginWriteDICOM(stream, params, 1, progress_), EIEException);
  params.DICOMRangeMode = 0;
  TIEDicomWriter writer = IEBeginWriteDICOM(stream, params, 2, progress_);
  EXPECT_THROW(IEWriteDICOMFrame(*writer, *Frame(ie8g, 5, 4, 0)), EIEException);
  EXPECT_THROW(IEWriteDICOMFrame(*writer, *Frame(ie24RGB, 4, 4, 0)), EIEException);
  IEWriteDICOMFrame(*writer, *Frame(ie8g, 4, 4, 0));
  EXPECT_THROW(IEEndWriteDICOM(std::move(writer)), EIEException);
}

}  // namespace

namespace {

// ---- colour-bar fixtures ----------------------------------------------------------------------------

TEST_F(DicomTest, ColourBarFilesDecodeAsDcmtkDecodesThemOrFail) {
  struct Case {
    const char* file;
    const char* reference;  // dcmtk's decoder to native data; null: the file must fail
    int tolerance;
  };
  for (const Case& c : {Case{"SC_rgb_rle.dcm", "dcmdrle", 0}, {"SC_rgb_rle_2frame.dcm", "dcmdrle", 0},
                        {"SC_rgb_small_odd.dcm", "cp", 0}, {"SC_rgb_small_odd_jpeg.dcm", "dcmdjpeg", 2},
                        {"SC_rgb_dcmtk_+eb+cr.dcm", "dcmdjpeg", 2}, {"SC_rgb_dcmtk_+eb+cy+n1.dcm", "dcmdjpeg", 2},
                        {"SC_rgb_dcmtk_+eb+cy+n2.dcm", "dcmdjpeg", 2}, {"SC_rgb_dcmtk_+eb+cy+np.dcm", "dcmdjpeg", 2},
                        {"SC_rgb_dcmtk_+eb+cy+s2.dcm", "dcmdjpeg", 2}, {"SC_rgb_dcmtk_+eb+cy+s4.dcm", "dcmdjpeg", 2},
                        {"SC_rgb_jpeg_dcmtk.dcm", "dcmdjpeg", 2}, {"SC_rgb_jpeg_lossy_gdcm.dcm", "dcmdjpeg", 2},
                        {"SC_rgb_jpeg_gdcm.dcm", "dcmdjpeg", 0}, {"SC_rgb_rle_16bit.dcm", nullptr, 0},
                        {"SC_rgb_rle_16bit_2frame.dcm", nullptr, 0}, {"SC_rgb_rle_32bit.dcm", nullptr, 0},
                        {"SC_rgb_rle_32bit_2frame.dcm", nullptr, 0}, {"SC_ybr_full_422_uncompressed.dcm", nullptr, 0}}) {
    const std::string file = std::string(VESK_SOURCE_DIR "/tests/fixtures/dicom/") + c.file;
    TIEBitmap ours;
    if (!c.reference) {
      EXPECT_FALSE(Read(file, ours, 2, 1)) << c.file;
      continue;
    }
    InDir(std::string(c.reference) + " '" + file + "' native.dcm");
    TIEBitmap theirs;
    ASSERT_TRUE(Read(file, ours, 2, 1)) << c.file;
    ASSERT_TRUE(Read(Path("native.dcm"), theirs, 2, 1)) << c.file;
    EXPECT_LE(MaxDifference(Canonical(ours), Canonical(theirs)), c.tolerance) << c.file;
  }
  // The JPEG 2000 file decodes to the bars of the RLE file.
  TIEBitmap bars, j2k;
  ASSERT_TRUE(Read(VESK_SOURCE_DIR "/tests/fixtures/dicom/SC_rgb_rle.dcm", bars));
  ASSERT_TRUE(Read(VESK_SOURCE_DIR "/tests/fixtures/dicom/SC_rgb_gdcm_KY.dcm", j2k));
  EXPECT_LE(MaxDifference(Canonical(bars), Canonical(j2k)), 2);
}

}  // namespace

namespace {

// ---- pydicom's own test files ------------------------------------------------------------------

// Every file with pixel data among pydicom's installed test files: each
// frame decodes to what pydicom's pixel_array gives (JPEG colour frames
// within the rounding of two colour conversions), or, for a coding or
// layout we do not decode, fails; frame counts agree. Files pydicom cannot
// decode must not crash us. Skipped where pydicom has no test files.
TEST_F(DicomTest, PydicomsTestFilesDecodeAsPydicomDoesOrFail) {
  Shell(std::string(kPython) + VESK_SOURCE_DIR "/tests/imaging/codecs/dicom_sweep.py " + dir_.string());
  std::ifstream list(Path("sweep.txt"));
  int same = 0, differ = 0, refused = 0, theyRefuse = 0, outside = 0;
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string file, reference;
    int32_t frames = 0, beyond = 0, tolerance = 0;
    std::getline(fields, file, '\t');
    fields >> frames >> reference >> beyond >> tolerance;
    TIEBitmap bitmap;
    if (reference == "-") {
      ++theyRefuse;
      Read(file, bitmap, 2, 0);
      continue;
    }
    // A coding that hides even the data set (deflate) counts no frames.
    const int32_t count = IEGetDICOMImageCount(file);
    if (!(beyond && count == 0)) {
      EXPECT_EQ(count, frames) << file;
    }
    for (int32_t k = 0; k < frames; ++k) {
      const bool decoded = Read(file, bitmap, 2, k);
      if (beyond) {
        EXPECT_FALSE(decoded) << file;
        outside += !decoded;
        break;
      }
      const std::string expected = ReadAll(Path(reference + "_" + std::to_string(k) + ".raw"));
      const bool equal = decoded && MaxDifference(Canonical(bitmap), expected) <= tolerance;
      EXPECT_TRUE(equal) << file << " frame " << k << (decoded ? ": differs" : ": refused");
      (equal ? same : decoded ? differ : refused) += 1;
    }
  }
  if (same + differ + refused + theyRefuse + outside == 0) GTEST_SKIP() << "pydicom's test files are not installed";
  std::printf("pydicom's files: %d frames the same, %d differ, %d refused; %d files refused as outside our codings, "
              "%d files pydicom cannot decode\n", same, differ, refused, outside, theyRefuse);
}

}  // namespace
