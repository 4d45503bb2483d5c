// The formats' own members of the I/O component, on the built-in codecs.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/core/davovevo.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Members : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    IESetCodecTable({});
  }
  // A 6 x 4 colour image.
  static void Paint(TImageryIO& io) {
    io.IEBitmap()->Allocate(6, 4, ie24RGB);
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 6; ++x)
        io.IEBitmap()->SetPixel24(x, y, TRGB{static_cast<uint8_t>(40 * x), static_cast<uint8_t>(60 * y), 200});
  }
};

// Images behind stream headers follow one another in one stream: each load
// leaves the position after its image.
TEST_F(Members, ImagesBehindStreamHeadersFollowOneAnother) {
  TImageryIO writer(nullptr);
  writer.StreamHeaders = true;
  Paint(writer);
  TMemoryStream stream;
  writer.SaveToStreamTIFF(stream);
  writer.SaveToStreamPCX(stream);
  writer.SaveToStreamJPEG(stream);
  const int64_t end = stream.Position();
  stream.SetPosition(0);
  TImageryIO reader(nullptr);
  reader.StreamHeaders = true;
  EXPECT_EQ(reader.LoadFromStreamTIFF(stream), 1);
  EXPECT_EQ(reader.Params().FILETYPE, 1);
  EXPECT_TRUE(reader.LoadFromStreamPCX(stream));
  EXPECT_EQ(reader.Params().FILETYPE, 4);
  EXPECT_EQ(reader.IEBitmap()->GetPixel24(5, 3), writer.IEBitmap()->GetPixel24(5, 3));
  EXPECT_TRUE(reader.LoadFromStreamJPEG(stream));
  EXPECT_EQ(reader.IEBitmap()->GetWidth(), 6);
  EXPECT_EQ(stream.Position(), end);
  // A header of another format ends the read before the codec runs.
  stream.SetPosition(0);
  EXPECT_FALSE(reader.LoadFromStreamPCX(stream));
  EXPECT_TRUE(reader.Aborting());
}

// The older PCX header ("PCX" and another fourth byte, the image right
// after those 4 bytes and up to the end) is read; an aborted PCX save leaves
// its 12 header bytes unwritten.
TEST_F(Members, OlderPCXHeadersAreReadAndAbortedSavesWriteNone) {
  TImageryIO writer(nullptr);
  Paint(writer);
  TMemoryStream plain;
  writer.SaveToStreamPCX(plain);
  TMemoryStream old;
  old.WriteBuffer("PCX1", 4);
  plain.SetPosition(0);
  old.CopyFrom(plain, plain.Size());
  old.SetPosition(0);
  TImageryIO reader(nullptr);
  reader.StreamHeaders = true;
  ASSERT_TRUE(reader.LoadFromStreamPCX(old));
  EXPECT_EQ(reader.IEBitmap()->GetPixel24(5, 3), writer.IEBitmap()->GetPixel24(5, 3));
  EXPECT_EQ(old.Position(), old.Size());
  writer.StreamHeaders = true;
  writer.OnProgress = [&](TObject*, int32_t) { writer.SetAborting(true); };
  TMemoryStream aborted;
  writer.SaveToStreamPCX(aborted);
  ASSERT_GE(aborted.Size(), 12);
  EXPECT_EQ(std::string(static_cast<const char*>(aborted.Memory()), 12), std::string(12, '\0'));
}

// A GIF file load tells how many frames it found even when it is aborted.
TEST_F(Members, AnAbortedGIFFileLoadStillCountsItsFrames) {
  const std::string path = iotest::TempFolder() + "three.gif";
  ASSERT_EQ(std::system(("/usr/bin/convert -size 4x4 xc:red xc:blue xc:lime " + path).c_str()), 0);
  TImageryIO io(nullptr);
  io.Params().GIF_IMAGEINDEX = 2;
  io.OnProgress = [&](TObject*, int32_t) { io.SetAborting(true); };
  EXPECT_EQ(io.LoadFromFileGIF(path), 3);
  EXPECT_TRUE(io.Aborting());
}

TEST_F(Members, FileMembersReadAndWriteTheirFormat) {
  TImageryIO io(nullptr);
  Paint(io);
  const TRGB corner = io.IEBitmap()->GetPixel24(5, 3);
  struct Case {
    const char* name;
    void (TImageryIO::*save)(const std::string&);
    int32_t id;
  };
  for (const Case& c : {Case{"m.png", &TImageryIO::SaveToFilePNG, 8}, Case{"m.bmp", &TImageryIO::SaveToFileBMP, 5},
                        Case{"m.tga", &TImageryIO::SaveToFileTGA, 11}, Case{"m.ppm", &TImageryIO::SaveToFilePXM, 12},
                        Case{"m.gif", &TImageryIO::SaveToFileGIF, 2}}) {
    SCOPED_TRACE(c.name);
    const std::string path = iotest::TempFolder() + c.name;
    (io.*c.save)(path);
    EXPECT_EQ(io.Params().FILETYPE, c.id);
    TImageryIO back(nullptr);
    ASSERT_TRUE(back.LoadFromFile(path));
    EXPECT_EQ(back.Params().FILETYPE, c.id);
    EXPECT_EQ(back.IEBitmap()->GetPixel24(5, 3), corner);
  }
}

TEST_F(Members, APSBNameAloneMakesALargeDocument) {
  TImageryIO io(nullptr);
  Paint(io);
  io.SaveToFilePSD(iotest::TempFolder() + "large.PSB");
  EXPECT_TRUE(io.Params().PSDLargeDocument);
  io.SaveToFilePSD(iotest::TempFolder() + "plain.psd");
  EXPECT_FALSE(io.Params().PSDLargeDocument);
  TImageryIO back(nullptr);
  EXPECT_TRUE(back.LoadFromFilePSD(iotest::TempFolder() + "large.PSB"));
  EXPECT_EQ(back.IEBitmap()->GetWidth(), 6);
}

TEST_F(Members, AFormatWithoutCodecRaises) {
  IESetCodecTable(std::span<const TIECodecEntry>(IECodecTable().data(), 1));  // TIFF alone
  TImageryIO io(nullptr);
  TMemoryStream stream;
  EXPECT_THROW(io.LoadFromStreamPNG(stream), EIEException);
}

}  // namespace
