#include <gtest/gtest.h>

#include "imaging/io/imageryio.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

// A plug-in format whose encoding is the three bytes 1, 0xAB, 0xFF.
class TextExport : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    auto* entry = new TIEFileFormatInfo;
    entry->FileTypeId = 4097;
    entry->ExtensionList = "THR";
    entry->WriteProc = [](TStream& stream, TIEBitmap*, TIOParamsVals&, TIEProgressRecord&) {
      stream.WriteBuffer("\x01\xAB\xFF", 3);
    };
    IERegisterFileFormat(entry);
    io.Params().FILENAME = "pic.thr";
  }
  std::string Export(uint8_t kind) {
    TStringStream out;
    io.SaveToStreamAsText(out, 4097, kind);
    return out.DataString();
  }
  TImageryIO io{nullptr};
};

TEST_F(TextExport, EncodedBytesAsSourceText) {
  EXPECT_EQ(Export(0),
            "const\r\n"
            "  pic_thr_Size = 3;\r\n"
            "  pic_thr : array [0..pic_thr_Size - 1] of byte = (\r\n"
            "    $01,$AB,$FF);\r\n");
  EXPECT_EQ(Export(1), "\\\\ Size=3\r\n0x01,0xAB,0xFF\r\n");
  EXPECT_EQ(Export(2), "Aav/\r\n");
}

TEST_F(TextExport, ASCIIArtFromBlackToWhite) {
  io.IEBitmap()->Allocate(2, 1, ie24RGB);
  io.IEBitmap()->SetPixel24(0, 0, TRGB{0, 0, 0});
  io.IEBitmap()->SetPixel24(1, 0, TRGB{255, 255, 255});
  EXPECT_EQ(Export(3), "W \r\n");
}

}  // namespace
