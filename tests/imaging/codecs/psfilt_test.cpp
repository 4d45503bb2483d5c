// The PostScript writer, judged by Ghostscript, ps2pdf and qpdf.
#include "imaging/codecs/psfilt.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "tests/imaging/codecs/docwriter_support.h"

namespace {

using codectest::Outcome;

class PSWriter : public codectest::CodecTest {
protected:
  // Writes the pictures as one document; false when a page failed.
  bool Write(const std::string& name, std::initializer_list<TIEBitmap*> pictures) {
    TIEWideFileStream file(Path(name), IE_FILE_CREATE);
    std::unique_ptr<TIEPSDocument> document = IEBeginPSDocument(file, params_, progress_);
    if (!document) return false;
    for (TIEBitmap* picture : pictures)
      if (!IEAddPSPage(*document, file, *picture, progress_, params_)) return false;
    IEEndPSDocument(document, file);
    return true;
  }
  Outcome Run(const std::string& command) { return codectest::Judge(dir_.string(), command); }
  // ps2pdf converts it with nothing on its error stream, and qpdf finds the result sound.
  void ExpectConverts(const std::string& name) {
    const Outcome converted = Run("ps2pdf " + name + " converted.pdf");
    EXPECT_EQ(converted.status, 0);
    EXPECT_EQ(converted.err + converted.out, "");
    const Outcome check = Run("qpdf --check converted.pdf");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out.find("WARNING"), std::string::npos) << check.out;
  }
  void PaperOf(TIEBitmap& picture) {
    params_.PS_PAPERWIDTH = picture.GetWidth();
    params_.PS_PAPERHEIGHT = picture.GetHeight();
  }
  static std::string Size(TIEBitmap& picture) {
    return std::to_string(picture.GetWidth()) + "x" + std::to_string(picture.GetHeight());
  }
  TIOParamsVals params_{nullptr};
};

// Every compression of the table, 1-bit and colour, on paper of the image's
// size: Ghostscript draws the source exactly (JPEG pages as djpeg decodes
// the same stream), ps2pdf takes the file without a word, and every line
// ends with CR LF.
TEST_F(PSWriter, EveryCompressionIsDrawnAsWritten) {
  const struct {
    bool bilevel;
    int compression;
    int jpegColorSpace;
    const char* sourceLine;  // a piece of the data-source line
  } kCases[] = {
      {true, 0, 2, "/ASCII85Decode filter /RunLengthDecode filter\r\n"},
      {true, 1, 2, "<< /K -1 /BlackIs1 true /Columns 61 /Rows 37 "},
      {true, 2, 2, "<< /K 1 /BlackIs1 true /Columns 61 /Rows 37 "},
      {true, 3, 2, "<< /K 1 /BlackIs1 true /Columns 61 /Rows 37 "},  // as 2, never without data
      {false, 0, 2, "/rstr 61 string def\r\n"},
      {false, 1, 2, "/gstr 61 string def\r\n"},
      {false, 2, 2, "{currentfile /ASCII85Decode filter /RunLengthDecode filter bstr readstring pop}\r\ntrue 3\r\n"},
      {false, 3, 2, "<< >> /DCTDecode filter\r\nfalse 3\r\n"},
      {false, 3, 1, "<< >> /DCTDecode filter\r\nfalse 1\r\n"},
      {false, 3, 3, "<< >> /DCTDecode filter\r\nfalse 3\r\n"},  // CMYK, as a CMYK JPEG loads: coded as YCbCr
      {false, 3, 4, "<< >> /DCTDecode filter\r\nfalse 3\r\n"},  // YCCK, the same
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.bilevel ? "1-bit" : "colour") + " compression " + std::to_string(c.compression) +
                 " JPEG colour space " + std::to_string(c.jpegColorSpace));
    std::unique_ptr<TIEBitmap> picture =
        c.bilevel ? codectest::BilevelPicture(61, 37) : codectest::ColourPicture(61, 37);
    params_.PS_COMPRESSION = static_cast<uint8_t>(c.compression);
    params_.JPEG_COLORSPACE = static_cast<uint8_t>(c.jpegColorSpace);
    PaperOf(*picture);
    ASSERT_TRUE(Write("page.ps", {picture.get()}));
    EXPECT_FALSE(abort_.load());
    const std::string ps = codectest::ReadAll(Path("page.ps"));
    EXPECT_NE(ps.find(c.sourceLine), std::string::npos);
    EXPECT_NE(ps.find(c.bilevel ? "\r\n61 37 1\r\n" : "\r\n61 37 8\r\n"), std::string::npos);
    for (size_t at = ps.find('\n'); at != std::string::npos; at = ps.find('\n', at + 1))
      ASSERT_EQ(ps[at - 1], '\r') << "a bare line feed at " << at;

    const std::vector<std::string> rendered = codectest::Render(dir_.string(), "page.ps", Size(*picture), 1);
    ASSERT_EQ(rendered.size(), 1u);
    if (c.compression == 3 && !c.bilevel) {
      EXPECT_EQ(params_.JPEG_COLORSPACE, c.jpegColorSpace);
      if (c.jpegColorSpace != 1) params_.JPEG_COLORSPACE = 2;  // the stream as written
      std::string jpeg;
      EXPECT_LE(codectest::MaxDifference(rendered[0], codectest::DjpegRGBA(dir_.string(), *picture, params_, jpeg)),
                1);
    } else {
      EXPECT_EQ(codectest::MaxDifference(rendered[0], codectest::BitmapRGBA(*picture)), 0);
    }
    ExpectConverts("page.ps");
  }
}

// A 600 x 300 image on A4 is scaled to 595 x 297 at the top left.
TEST_F(PSWriter, ImageIsFittedAtTheTopLeft) {
  std::unique_ptr<TIEBitmap> picture = codectest::ColourPicture(600, 300);
  ASSERT_TRUE(Write("a4.ps", {picture.get()}));
  const std::string ps = codectest::ReadAll(Path("a4.ps"));
  EXPECT_NE(ps.find("\r\n0 842 translate\r\n595 -297 scale\r\n600 300 8\r\n[ 600 0 0 300 0 0 ]\r\n"),
            std::string::npos);
  EXPECT_NE(ps.find("%%BoundingBox: 0 0 594 841\r\n"), std::string::npos);
  const std::vector<std::string> rendered = codectest::Render(dir_.string(), "a4.ps", "595x842", 1);
  ASSERT_EQ(rendered.size(), 1u);
  ASSERT_EQ(rendered[0].size(), 595u * 842u * 4u);
  EXPECT_FALSE(codectest::AllWhite(rendered[0], 595, 0, 296, 594, 296));
  EXPECT_TRUE(codectest::AllWhite(rendered[0], 595, 0, 297, 594, 841));
}

// Two pages: the page count line counts both, one trailer ends the file,
// Ghostscript draws both pages.
TEST_F(PSWriter, PagesAreCountedInPlace) {
  std::unique_ptr<TIEBitmap> first = codectest::BilevelPicture(40, 20), second = codectest::BilevelPicture(40, 20);
  second->GetScanline(5)[1] ^= 0xFF;
  PaperOf(*first);
  ASSERT_TRUE(Write("two.ps", {first.get(), second.get()}));
  const std::string ps = codectest::ReadAll(Path("two.ps"));
  EXPECT_NE(ps.find("\r\n%%Pages: 2     \r\n"), std::string::npos);
  EXPECT_NE(ps.find("\r\n%%Page: 2 2\r\n"), std::string::npos);
  EXPECT_EQ(ps.find("%%Trailer"), ps.rfind("%%Trailer"));
  EXPECT_EQ(ps.substr(ps.size() - 28), "showpage\r\n%%Trailer\r\n%%EOF\r\n");
  const std::vector<std::string> rendered = codectest::Render(dir_.string(), "two.ps", "40x20", 2);
  ASSERT_EQ(rendered.size(), 2u);
  EXPECT_EQ(codectest::MaxDifference(rendered[0], codectest::BitmapRGBA(*first)), 0);
  EXPECT_EQ(codectest::MaxDifference(rendered[1], codectest::BitmapRGBA(*second)), 0);
  ExpectConverts("two.ps");
}

// A title is one DSC text: line ends and other bytes outside the
// printables are octal escapes, so nothing it carries runs as PostScript.
TEST_F(PSWriter, TitleCannotEndItsComment) {
  const struct {
    std::string title, written;
  } kCases[] = {
      {"No Title", "(No Title)"},
      {"a\r\n(RUN) print flush", "(a\\015\\012\\(RUN\\) print flush)"},
      {"Caf\xC3\xA9 \\", "(Caf\\303\\251 \\\\)"},
      {std::string("\x00\x7F\t", 3), "(\\000\\177\\011)"},
  };
  for (const auto& c : kCases) EXPECT_EQ(IEPSTitleText(c.title), c.written);
  std::unique_ptr<TIEBitmap> picture = codectest::BilevelPicture(8, 8);
  params_.PS_TITLE = "x\r\n(INJECTED) print flush";
  PaperOf(*picture);
  ASSERT_TRUE(Write("title.ps", {picture.get()}));
  EXPECT_NE(codectest::ReadAll(Path("title.ps")).find("\r\n%%Title: (x\\015\\012\\(INJECTED\\) print flush)\r\n"),
            std::string::npos);
  const Outcome o = Run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage title.ps");
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.out.find("INJECTED"), std::string::npos) << o.out;
}

// Grey and other formats go through a 24-bit copy with the bits and
// samples of the copy, whatever the parameters held.
TEST_F(PSWriter, OtherPixelFormatsAreConverted) {
  for (const TIEPixelFormat format : {ie8g, ie16Gray, ieRGB48}) {
    SCOPED_TRACE(static_cast<int>(format));
    std::unique_ptr<TIEBitmap> picture = codectest::ColourPicture(21, 13);
    picture->ConvertToPixelFormat(format);
    params_.PS_COMPRESSION = 0;
    params_.BITSPERSAMPLE = 16;
    params_.SAMPLESPERPIXEL = 1;
    PaperOf(*picture);
    ASSERT_TRUE(Write("grey.ps", {picture.get()}));
    EXPECT_EQ(params_.BITSPERSAMPLE, 8);
    EXPECT_EQ(params_.SAMPLESPERPIXEL, 3);
    const std::vector<std::string> rendered = codectest::Render(dir_.string(), "grey.ps", "21x13", 1);
    ASSERT_EQ(rendered.size(), 1u);
    EXPECT_LE(codectest::MaxDifference(rendered[0], codectest::BitmapRGBA(*picture)), 1);
  }
}

// Refused input fails the save with the abort flag and adds no page.
TEST_F(PSWriter, RefusalsFailTheSave) {
  std::unique_ptr<TIEBitmap> colour = codectest::ColourPicture(16, 8), bilevel = codectest::BilevelPicture(16, 8);
  TIEBitmap empty;
  const struct {
    const char* name;
    TIEBitmap* picture;
    int compression, paperWidth, paperHeight;
  } kCases[] = {
      {"an empty bitmap", &empty, 1, 595, 842},
      {"colour compression 4", colour.get(), 4, 595, 842},
      {"1-bit compression 4", bilevel.get(), 4, 595, 842},
      {"paper width 0", colour.get(), 1, 0, 842},
      {"paper height -5", bilevel.get(), 1, 595, -5},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    abort_ = false;
    params_.PS_COMPRESSION = static_cast<uint8_t>(c.compression);
    params_.PS_PAPERWIDTH = c.paperWidth;
    params_.PS_PAPERHEIGHT = c.paperHeight;
    TMemoryStream out;
    IEWritePSStream(out, *c.picture, params_, progress_);
    EXPECT_TRUE(abort_.load());
    const std::string written(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
    EXPECT_EQ(written.find("%%Page:"), std::string::npos);
  }
}

}  // namespace
