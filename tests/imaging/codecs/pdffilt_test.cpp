// The PDF writer, judged by Ghostscript, qpdf and poppler.
#include "imaging/codecs/pdffilt.h"

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>

#include "imaging/codecs/tiflzw.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_pdf.h"
#include "tests/imaging/codecs/docwriter_support.h"

namespace {

using codectest::Judge;
using codectest::Outcome;

class PDFWriter : public codectest::CodecTest {
protected:
  void SetUp() override {
    CodecTest::SetUp();
    params_.TIFFLZWEncoder = EncodeTIFFLZW;
  }
  // Writes the pictures as one document; false when the writer failed (and then nothing is written).
  bool Write(const std::string& name, std::initializer_list<TIEBitmap*> pictures) {
    std::unique_ptr<TIEPDFDocument> document = IEBeginPDFDocument();
    for (TIEBitmap* picture : pictures)
      if (!IEAddPDFPage(*document, *picture, params_, progress_)) return false;
    TIEWideFileStream file(Path(name), IE_FILE_CREATE);
    IEEndPDFDocument(document, file, params_);
    return true;
  }
  Outcome Run(const std::string& command) { return Judge(dir_.string(), command); }
  // qpdf's check passes with no warning.
  void ExpectQpdfClean(const std::string& name) {
    const Outcome o = Run("qpdf --check " + name);
    EXPECT_EQ(o.status, 0) << o.out << o.err;
    EXPECT_EQ(o.out.find("WARNING"), std::string::npos) << o.out;
    EXPECT_EQ(o.err, "");
  }
  // pdfinfo's value of the key ("Pages", "Title", ...).
  std::string Info(const std::string& name, const std::string& key) {
    const Outcome o = Run("pdfinfo " + name);
    std::smatch m;
    if (!std::regex_search(o.out, m, std::regex(key + ": *([^\n]*)"))) return "<none>";
    return m[1];
  }
  TIOParamsVals params_{nullptr};
};

// Every compression of the table, 1-bit and colour, each page with the
// paper at the image's size: valid for qpdf, listed by pdfimages with its
// encoding, rendered by Ghostscript as the source (a JPEG page as djpeg
// decodes the same stream), extracted equal to the source or, for JPEG,
// byte for byte as the JPEG writer's stream.
TEST_F(PDFWriter, EveryCompressionIsReadAsWritten) {
  const struct {
    bool bilevel;
    int compression;
    int jpegColorSpace;
    const char* listed;  // pdfimages: color, bpc and enc
    int compressionAfter;
  } kCases[] = {
      {true, 0, 2, "gray 1 1 image", 0},  {true, 1, 2, "gray 1 1 image", 1},  {true, 2, 2, "gray 1 1 ccitt", 2},
      {true, 3, 2, "gray 1 1 ccitt", 3},  {true, 4, 2, "gray 1 1 ccitt", 3},  {true, 5, 2, "gray 1 1 image", 5},
      {false, 0, 2, "rgb 3 8 image", 0},  {false, 1, 2, "rgb 3 8 image", 1},  {false, 2, 2, "rgb 3 8 image", 2},
      {false, 3, 2, "rgb 3 8 image", 3},  {false, 4, 2, "rgb 3 8 jpeg", 4},   {false, 4, 1, "gray 1 8 jpeg", 4},
      {false, 5, 2, "rgb 3 8 image", 5},
      // left by loading a CMYK JPEG: the page is RGB, so its stream too
      {false, 4, 3, "rgb 3 8 jpeg", 4},   {false, 4, 4, "rgb 3 8 jpeg", 4},
  };
  const int32_t width = 61, height = 37;  // odd sizes: rows end inside a byte
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.bilevel ? "1-bit" : "colour") + " compression " + std::to_string(c.compression) +
                 " JPEG colour space " + std::to_string(c.jpegColorSpace));
    std::unique_ptr<TIEBitmap> picture =
        c.bilevel ? codectest::BilevelPicture(width, height) : codectest::ColourPicture(width, height);
    params_.PDF_COMPRESSION = static_cast<uint8_t>(c.compression);
    params_.JPEG_COLORSPACE = static_cast<uint8_t>(c.jpegColorSpace);
    params_.PDF_PAPERWIDTH = 0;
    ASSERT_TRUE(Write("page.pdf", {picture.get()}));
    EXPECT_FALSE(abort_.load());
    EXPECT_EQ(params_.PDF_COMPRESSION, c.compressionAfter);
    EXPECT_EQ(params_.BITSPERSAMPLE, c.bilevel ? 1 : 8);
    EXPECT_EQ(params_.SAMPLESPERPIXEL, c.bilevel ? 1 : 3);
    ExpectQpdfClean("page.pdf");
    EXPECT_EQ(Info("page.pdf", "Page size"), "61 x 37 pts");

    const Outcome list = Run("pdfimages -list page.pdf | tail -n +3");
    std::istringstream fields(list.out);
    std::string page, num, type, w, h, color, comp, bpc, enc, rest;
    fields >> page >> num >> type >> w >> h >> color >> comp >> bpc >> enc;
    EXPECT_EQ(w + "x" + h, "61x37");
    EXPECT_EQ(color + " " + comp + " " + bpc + " " + enc, c.listed);
    std::getline(fields, rest);
    EXPECT_FALSE(std::getline(fields, rest)) << "one image only: " << list.out;

    const std::vector<std::string> rendered = codectest::Render(dir_.string(), "page.pdf", "", 1);
    ASSERT_EQ(rendered.size(), 1u);
    if (c.compression == 4 && !c.bilevel) {
      EXPECT_EQ(params_.JPEG_COLORSPACE, c.jpegColorSpace);
      if (c.jpegColorSpace != 1) params_.JPEG_COLORSPACE = 2;  // the stream as written
      std::string jpeg;
      const std::string djpeg = codectest::DjpegRGBA(dir_.string(), *picture, params_, jpeg);
      EXPECT_LE(codectest::MaxDifference(rendered[0], djpeg), 1);
      ASSERT_EQ(Run("pdfimages -j page.pdf x").status, 0);
      EXPECT_EQ(codectest::ReadAll(Path("x-000.jpg")), jpeg);
    } else {
      const std::string source = codectest::BitmapRGBA(*picture);
      EXPECT_EQ(codectest::MaxDifference(rendered[0], source), 0);
      ASSERT_EQ(Run("rm -f x-*; pdfimages -png page.pdf x").status, 0);
      EXPECT_EQ(codectest::MaxDifference(codectest::MagickRGBA(Path("x-000.png"), Path("x.rgba")), source), 0);
    }
  }
}

// A 600 x 300 image on A4 fills the top of the page at full width; with
// the paper size 0 the page is the image's own size.
TEST_F(PDFWriter, ImageIsFittedAtTheTopLeft) {
  std::unique_ptr<TIEBitmap> picture = codectest::ColourPicture(600, 300);
  params_.PDF_COMPRESSION = 0;
  ASSERT_TRUE(Write("a4.pdf", {picture.get()}));
  EXPECT_EQ(Info("a4.pdf", "Page size"), "595 x 842 pts (A4)");
  const std::vector<std::string> rendered = codectest::Render(dir_.string(), "a4.pdf", "", 1);
  ASSERT_EQ(rendered.size(), 1u);
  ASSERT_EQ(rendered[0].size(), 595u * 842u * 4u);
  EXPECT_FALSE(codectest::AllWhite(rendered[0], 595, 0, 296, 594, 296));  // the image's last row
  EXPECT_TRUE(codectest::AllWhite(rendered[0], 595, 0, 297, 594, 841));   // nothing below it
  EXPECT_NE(codectest::ReadAll(Path("a4.pdf")).find("595 0 0 297 0 545 cm\n/lm1 Do"), std::string::npos);

  std::unique_ptr<TIEBitmap> small = codectest::ColourPicture(300, 200);
  params_.PDF_PAPERWIDTH = 0;
  ASSERT_TRUE(Write("own.pdf", {small.get()}));
  const std::string pdf = codectest::ReadAll(Path("own.pdf"));
  EXPECT_NE(pdf.find("/MediaBox [0 0 300 200 ]"), std::string::npos);
  EXPECT_NE(pdf.find("q\n300 0 0 200 0 0 cm\n/lm1 Do\nQ"), std::string::npos);
}

TEST_F(PDFWriter, InformationTextsAsGiven) {
  std::unique_ptr<TIEBitmap> picture = codectest::BilevelPicture(20, 10);
  ASSERT_TRUE(Write("bare.pdf", {picture.get()}));
  const std::string bare = codectest::ReadAll(Path("bare.pdf"));
  EXPECT_TRUE(std::regex_search(bare, std::regex("obj\n<< /CreationDate \\(D:[0-9]{14}\\)\n>>\nendobj")));
  EXPECT_EQ(bare.find("/Title"), std::string::npos);

  params_.PDF_TITLE = "Caf\xC3\xA9 (chart)";
  params_.PDF_AUTHOR = "Ann \\ Bo";
  params_.PDF_SUBJECT = "Charts";
  params_.PDF_KEYWORDS = "ICC, \xE2\x82\xAC";
  params_.PDF_CREATOR = "vesk";
  params_.PDF_PRODUCER = "Imagery";
  ASSERT_TRUE(Write("info.pdf", {picture.get()}));
  ExpectQpdfClean("info.pdf");
  const struct {
    const char* key;
    const char* shown;
  } kTexts[] = {{"Title", "Caf\xC3\xA9 (chart)"}, {"Author", "Ann \\ Bo"}, {"Subject", "Charts"},
                {"Keywords", "ICC, \xE2\x82\xAC"},  {"Creator", "vesk"},      {"Producer", "Imagery"}};
  for (const auto& t : kTexts) EXPECT_EQ(Info("info.pdf", t.key), t.shown) << t.key;
}

// Three pages share one resources dictionary; the page counter agrees with
// pdfinfo on our files and on qpdf's rewrites without object streams, and
// answers 0 for object streams.
TEST_F(PDFWriter, PagesAreCountedAsPdfinfoCountsThem) {
  std::unique_ptr<TIEBitmap> colour = codectest::ColourPicture(40, 30), bilevel = codectest::BilevelPicture(33, 20),
                             third = codectest::ColourPicture(10, 50);
  params_.PDF_PAPERWIDTH = 0;
  params_.PDF_COMPRESSION = 2;
  ASSERT_TRUE(Write("one.pdf", {colour.get()}));
  ASSERT_TRUE(Write("three.pdf", {colour.get(), bilevel.get(), third.get()}));
  const std::string three = codectest::ReadAll(Path("three.pdf"));
  EXPECT_NE(three.find("/XObject << /lm1 3 0 R\n/lm2 6 0 R\n/lm3 9 0 R\n>>"), std::string::npos);
  ExpectQpdfClean("three.pdf");
  const std::vector<std::string> rendered = codectest::Render(dir_.string(), "three.pdf", "", 3);
  ASSERT_EQ(rendered.size(), 3u);
  EXPECT_EQ(codectest::MaxDifference(rendered[0], codectest::BitmapRGBA(*colour)), 0);
  EXPECT_EQ(codectest::MaxDifference(rendered[1], codectest::BitmapRGBA(*bilevel)), 0);
  EXPECT_EQ(codectest::MaxDifference(rendered[2], codectest::BitmapRGBA(*third)), 0);

  ASSERT_EQ(Run("qpdf --object-streams=disable one.pdf one-plain.pdf && "
                "qpdf --object-streams=disable three.pdf three-plain.pdf && "
                "qpdf --object-streams=generate three.pdf three-packed.pdf")
                .status,
            0);
  for (const char* name : {"one.pdf", "three.pdf", "one-plain.pdf", "three-plain.pdf"})
    EXPECT_EQ(std::to_string(IEPDFGetPageCount(Path(name))), Info(name, "Pages")) << name;
  EXPECT_EQ(Info("three-packed.pdf", "Pages"), "3");
  EXPECT_EQ(IEPDFGetPageCount(Path("three-packed.pdf")), 0);
}

// Other pixel formats go through a 24-bit copy, whose rendering matches
// the colours the bitmap itself reports.
TEST_F(PDFWriter, OtherPixelFormatsAreConverted) {
  for (const TIEPixelFormat format : {ie8g, ie16Gray, ieRGB48}) {
    SCOPED_TRACE(static_cast<int>(format));
    std::unique_ptr<TIEBitmap> picture = codectest::ColourPicture(21, 13);
    picture->ConvertToPixelFormat(format);
    params_.PDF_COMPRESSION = 0;
    params_.PDF_PAPERWIDTH = 0;
    params_.BITSPERSAMPLE = 16;
    params_.SAMPLESPERPIXEL = 1;
    ASSERT_TRUE(Write("converted.pdf", {picture.get()}));
    EXPECT_EQ(params_.BITSPERSAMPLE, 8);
    EXPECT_EQ(params_.SAMPLESPERPIXEL, 3);
    const std::vector<std::string> rendered = codectest::Render(dir_.string(), "converted.pdf", "", 1);
    ASSERT_EQ(rendered.size(), 1u);
    EXPECT_LE(codectest::MaxDifference(rendered[0], codectest::BitmapRGBA(*picture)), 1);
    EXPECT_EQ(picture->GetPixelFormat(), format);  // the caller's image is left as it was
  }
}

void FailingLZW(const uint8_t*, int32_t, TStream&, void*&) { throw EWriteError("disk full"); }

// Refused input and failing encoders leave nothing behind: the page is not
// added, the abort flag is set and the one-page writer writes nothing.
TEST_F(PDFWriter, RefusalsAndEncoderFailuresFailThePage) {
  std::unique_ptr<TIEBitmap> colour = codectest::ColourPicture(16, 8);
  TIEBitmap empty;
  const struct {
    const char* name;
    TIEBitmap* picture;
    int compression;
    TIETIFFLZWEncoder encoder;
  } kCases[] = {
      {"an empty bitmap", &empty, 0, EncodeTIFFLZW},
      {"compression 6", colour.get(), 6, EncodeTIFFLZW},
      {"compression 255", colour.get(), 255, EncodeTIFFLZW},
      {"LZW without an encoder", colour.get(), 5, nullptr},
      {"an LZW encoder that fails", colour.get(), 5, FailingLZW},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    abort_ = false;
    params_.PDF_COMPRESSION = static_cast<uint8_t>(c.compression);
    params_.TIFFLZWEncoder = c.encoder;
    std::unique_ptr<TIEPDFDocument> document = IEBeginPDFDocument();
    EXPECT_FALSE(IEAddPDFPage(*document, *c.picture, params_, progress_));
    EXPECT_TRUE(abort_.load());
    EXPECT_EQ(document->Objects.size(), 2u) << "catalog and resources only";
    abort_ = false;
    TMemoryStream out;
    IEWritePDFStream(out, *c.picture, params_, progress_);
    EXPECT_TRUE(abort_.load());
    EXPECT_EQ(out.Size(), 0);
  }
}

}  // namespace
