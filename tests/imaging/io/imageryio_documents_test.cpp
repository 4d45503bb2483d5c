// PostScript and PDF through the I/O component: the save members and the
// dispatch, the multi-page documents that the component keeps open, and
// the page count of the PDF files it writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "imaging/io/imageryio.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

class Documents : public iotest::IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IESetCodecTable({});
  }
  // A grey image, which the saves convert: the writers get ie24RGB.
  static void Paint(TImageryIO& io, int32_t shade) {
    io.IEBitmap()->Allocate(30, 20, ie8g);
    for (int32_t y = 0; y < 20; ++y)
      for (int32_t x = 0; x < 30; ++x) io.IEBitmap()->GetScanline(y)[x] = static_cast<uint8_t>(shade + x + y);
  }
  static std::string Path(const std::string& name) { return iotest::TempFolder() + name; }
  // The exit status of the command, its output in out.
  static int Run(const std::string& command, std::string* out = nullptr) {
    const int status = std::system((command + " >" + Path("run.out") + " 2>&1").c_str());
    if (out) *out = iotest::ReadFile(Path("run.out"));
    return status;
  }
};

TEST_F(Documents, SavesWriteOnePageDocuments) {
  TImageryIO io(nullptr);
  Paint(io, 10);
  io.Params().PDF_COMPRESSION = 4;
  io.SaveToFilePDF(Path("m.pdf"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FILETYPE, 18);
  EXPECT_EQ(io.Params().SAMPLESPERPIXEL, 3);
  EXPECT_EQ(io.IEBitmap()->GetPixelFormat(), ie8g);  // the component's image stays as it was
  io.SaveToFile(Path("d.ps"));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(io.Params().FILETYPE, 17);
  std::string out;
  EXPECT_EQ(Run("qpdf --check " + Path("m.pdf")), 0);
  EXPECT_EQ(Run("gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=nullpage " + Path("d.ps"), &out), 0);
  EXPECT_EQ(out, "");
  TMemoryStream ps, pdf;
  io.SaveToStreamPS(ps);
  io.SaveToStream(pdf, 18);
  EXPECT_EQ(std::string(static_cast<const char*>(ps.Memory()), 15), "%!PS-Adobe-3.0\r");
  EXPECT_EQ(std::string(static_cast<const char*>(pdf.Memory()), 8), "%PDF-1.4");
  EXPECT_EQ(IEGetFileImageCount(Path("m.pdf")), 1);
  // Refused parameters are a failed save.
  io.Params().PS_PAPERWIDTH = 0;
  io.SaveToFilePS(Path("bad.ps"));
  EXPECT_TRUE(io.Aborting());
  io.Params().PDF_COMPRESSION = 9;
  io.SaveToFilePDF(Path("bad.pdf"));
  EXPECT_TRUE(io.Aborting());
}

// Documents left open are ended when the component goes: both files are
// whole, with every page added.
TEST_F(Documents, OpenDocumentsAreEndedByTheDestructor) {
  {
    TImageryIO io(nullptr);
    io.AddPDFDocumentPage();
    EXPECT_TRUE(io.Aborting()) << "no document is open";
    io.Params().PS_PAPERWIDTH = 30;
    io.Params().PS_PAPERHEIGHT = 20;
    io.OpenPSDocument(Path("three.ps"));
    io.OpenPDFDocument(Path("three.pdf"));
    for (int32_t page = 0; page < 3; ++page) {
      Paint(io, 60 * page);
      io.AddPSDocumentPage();
      EXPECT_FALSE(io.Aborting());
      io.AddPDFDocumentPage();
      EXPECT_FALSE(io.Aborting());
    }
  }
  std::string out;
  EXPECT_EQ(Run("qpdf --check " + Path("three.pdf"), &out), 0) << out;
  EXPECT_EQ(Run("pdfinfo " + Path("three.pdf") + " | grep '^Pages:'", &out), 0);
  EXPECT_EQ(out, "Pages:           3\n");
  EXPECT_EQ(IEGetFileImageCount(Path("three.pdf")), 3);
  const std::string ps = iotest::ReadFile(Path("three.ps"));
  EXPECT_NE(ps.find("%%Pages: 3     \r\n"), std::string::npos);
  EXPECT_EQ(ps.substr(ps.size() - 18), "%%Trailer\r\n%%EOF\r\n");
  EXPECT_EQ(Run("ps2pdf " + Path("three.ps") + " " + Path("back.pdf"), &out), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(Run("pdfinfo " + Path("back.pdf") + " | grep '^Pages:'", &out), 0);
  EXPECT_EQ(out, "Pages:           3\n");
}

TEST_F(Documents, ClosedDocumentsTakeNoMorePages) {
  TImageryIO io(nullptr);
  Paint(io, 0);
  io.OpenPDFDocument(Path("closed.pdf"));
  io.AddPDFDocumentPage();
  io.ClosePDFDocument();
  io.AddPDFDocumentPage();
  EXPECT_TRUE(io.Aborting());
  io.ClosePDFDocument();  // a second close does nothing
  EXPECT_EQ(IEGetFileImageCount(Path("closed.pdf")), 1);
}

}  // namespace
