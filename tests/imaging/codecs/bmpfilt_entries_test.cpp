// The bitmap family through the I/O component: loads by content with their
// transparency in the alpha channel, saves by extension.
#include "tests/imaging/codecs/bmpfilt_test_support.h"

using namespace bmptest;

namespace {

class BmpFamilyIOTest : public BmpFamilyTest {};

TEST_F(BmpFamilyIOTest, LoadsByContentKeepAlphaAndSavesByExtension) {
  Magick("-size 12x9 gradient:red-blue \\( -size 12x9 gradient:white-black \\) -alpha off -compose CopyOpacity "
         "-composite source.png");
  Magick("source.png BMP:a.bmp");
  Magick("source.png a.ico");
  struct TCase {
    const char* name;
    int32_t fileType;
    bool handleTransparency;
    bool alpha;
  };
  for (const TCase& c : {TCase{"a.bmp", 5, true, true}, TCase{"a.bmp", 5, false, false}, TCase{"a.ico", 6, false, true}}) {
    TIEBitmap bitmap;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    io->Params().BMP_HANDLETRANSPARENCY = c.handleTransparency;
    ASSERT_TRUE(io->LoadFromFile(Path(c.name))) << c.name;
    EXPECT_EQ(io->Params().FILETYPE, c.fileType) << c.name;
    ASSERT_EQ(bitmap.HasAlphaChannel(), c.alpha) << c.name;
    std::unique_ptr<TIEMask> mask;
    if (c.alpha) {
      mask = std::make_unique<TIEMask>();
      bitmap.GetAlphaChannel()->CopyToMask(*mask);
    }
    ExpectSameImage(bitmap, mask.get(), Decoded(c.name), 0, c.alpha, c.name);
  }
  // Saves by extension read back by ImageMagick; an icon takes the
  // parameters' sizes (64 x 64 unless changed).
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  ASSERT_TRUE(io->LoadFromFile(Path("a.bmp")));
  for (const char* name : {"b.bmp", "b.ppm", "b.wbmp", "b.ico"}) {
    io->SaveToFile(Path(name));
    EXPECT_FALSE(io->Aborting()) << name;
    EXPECT_EQ(Decoded(name).width, std::string(name) == "b.ico" ? 64 : 12) << name;
  }
  ExpectSameImage(bitmap, nullptr, Decoded("b.ppm"), 0, false, "b.ppm");
}

}  // namespace
