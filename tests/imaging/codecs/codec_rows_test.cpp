// The GIF, Targa, PCX, DCX and layered-document codecs reached through the
// I/O component: content detection finds each, the image counts come from
// the codec, and a file loaded and saved again decodes the same in
// ImageMagick.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "tests/imaging/codecs/codec_test_support.h"
#include "tests/imaging/codecs/pixel_judge.h"

namespace {

using codectest::BitmapRGBA;
using codectest::MagickRGBA;
using codectest::MaxDifference;

class CodecRowsTest : public codectest::CodecTest {};

TEST_F(CodecRowsTest, EachFormatLoadsAndSavesThroughTheIOComponent) {
  InDir("/usr/bin/convert -size 17x9 gradient:'#ff8000'-'#0040c0' -colors 12 +dither -depth 8 src.ppm");
  const struct {
    const char* name;
    const char* make;  // in the test's folder
    int32_t fileType, images;
  } cases[] = {
      {"a.gif", "/usr/bin/convert src.ppm src.ppm a.gif", 2, 2},
      {"a.tga", "/usr/bin/convert src.ppm -orient TopLeft -compress RLE a.tga", 11, 1},
      {"a.pcx", "/usr/bin/convert src.ppm a.pcx", 4, 1},
      {"a.dcx", "/usr/bin/convert src.ppm src.ppm src.ppm a.dcx", 19, 3},
      {"a.psd", "/usr/bin/convert src.ppm -depth 8 a.psd", 24, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InDir(c.make);
    TIEBitmap bitmap;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    ASSERT_TRUE(io->LoadFromFile(Path(c.name)));
    EXPECT_EQ(io->Params().FILETYPE, c.fileType);
    EXPECT_EQ(IEGetFileImageCount(Path(c.name)), c.images);
    const std::string source = MagickRGBA(Path("src.ppm"), Path("j.rgba"));
    EXPECT_EQ(MaxDifference(BitmapRGBA(bitmap), source), 0);
    const std::string saved = Path(std::string("saved-") + c.name);
    io->SaveToFile(saved);
    EXPECT_FALSE(io->Aborting());
    EXPECT_EQ(MaxDifference(MagickRGBA(saved + "[0]", Path("j.rgba"), "-auto-orient"), source), 0);
  }
}

}  // namespace
