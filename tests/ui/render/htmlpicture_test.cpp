// Markup pictures: GIF frames found by walking the blocks, decoding
// failures, addresses, the cache and the container.
#include <gtest/gtest.h>

#include "platform/rtl/streams.h"
#include "tests/ui/render/markup_test_support.h"
#include "tests/ui/render/render_test_files.h"
#include "ui/render/htmlpicture.h"

namespace {
// Three frames of 4 x 3 at (0,0), (2,1), (5,4) in a 10 x 8 screen.
std::string ThreeFrameGif(TestFiles& files) {
  return files.Convert("-size 10x8 xc:white -page 4x3+0+0 xc:red -page 4x3+2+1 xc:lime -page 4x3+5+4 xc:blue "
                       "-delete 0 -set dispose none",
                       "three.gif");
}
}  // namespace

TEST(HTMLPicture, AnimatedGifFramesAreCountedAndChosen) {
  TestFiles files;
  std::string gif = ThreeFrameGif(files);
  THTMLPicture picture;
  picture.LoadFromFile(gif);
  ASSERT_FALSE(picture.Empty());
  EXPECT_TRUE(picture.HoldsGIF());
  EXPECT_EQ(picture.CountFrames(), 3);
  int frameChanges = 0;
  picture.OnFrameChange = [&](TObject*) { ++frameChanges; };
  picture.SetFrame(2);
  EXPECT_EQ(frameChanges, 1);
  EXPECT_EQ(picture.FrameXPos(), 2);
  EXPECT_EQ(picture.FrameYPos(), 1);
  EXPECT_EQ(picture.FullWidth(), 10);
  EXPECT_EQ(picture.FullHeight(), 8);
  MarkupCanvas c(20, 20);
  picture.Draw(c.Canvas(), RECT{0, 0, 20, 20});
  EXPECT_EQ(c.Pixel(1, 1), clLime);
}

TEST(HTMLPicture, GifBlocksAreWalkedNotScanned) {
  // A comment holding the bytes of a graphic control extension and an
  // image separator is no frame; a truncated file lists what is complete.
  std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0, 0, 0,
                              0x21, 0xFE, 12, 0x21, 0xF9, 0x04, 0, 0, 0, 0, 0, 0x2C, 0, 0, 0, 0,
                              0x21, 0xF9, 0x04, 0, 0, 0, 0, 0,
                              0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 2, 0x4C, 0x01, 0, 0x3B};
  TGIFLayout layout;
  ASSERT_TRUE(WalkGIF(gif.data(), gif.size(), layout));
  ASSERT_EQ(layout.frames.size(), 1u);
  EXPECT_EQ(layout.frames[0].start, 29u);
  for (size_t n = 0; n < gif.size(); ++n) {
    std::unique_ptr<uint8_t[]> cut(new uint8_t[n + 1]);
    std::copy(gif.begin(), gif.begin() + static_cast<ptrdiff_t>(n), cut.get());
    TGIFLayout partial;
    WalkGIF(cut.get(), n, partial);
    EXPECT_LE(partial.frames.size(), 1u);
  }
}

TEST(HTMLPicture, FailuresLeaveAnEmptyPicture) {
  TestFiles files;
  THTMLPicture png;
  png.LoadFromFile(files.Convert("-size 6x5 xc:red", "p.png"));
  EXPECT_EQ(png.CountFrames(), -1);
  EXPECT_EQ(png.FrameXPos(), 0);
  EXPECT_EQ(png.Width(), 6);

  // Bytes that are no picture raise from LoadFromStream and are kept.
  THTMLPicture bad;
  TStringStream text("not a picture at all");
  EXPECT_THROW(bad.LoadFromStream(text), Exception);
  EXPECT_FALSE(bad.Empty());
  EXPECT_EQ(bad.Width(), 0);

  // A resource that is no picture, and a missing file: empty, nothing raised.
  THTMLPicture resource, file;
  EXPECT_NO_THROW(resource.LoadFromAddress("res://IEWORDS"));
  EXPECT_TRUE(resource.Empty());
  EXPECT_EQ(resource.ID(), "res://IEWORDS");
  EXPECT_NO_THROW(file.LoadFromAddress("FILE://" + files.Path("missing.png")));
  EXPECT_TRUE(file.Empty());

  THTMLPicture web;
  web.SetAsynch(false);
  web.LoadFromAddress("http://example.invalid/a.png");
  EXPECT_TRUE(web.Empty());
  EXPECT_EQ(web.ID(), "http://example.invalid/a.png");
}

TEST(HTMLPicture, CacheFindsExactAddressesContainerFindsNamesWithoutCase) {
  TestFiles files;
  std::string png = files.Convert("-size 3x3 xc:red", "c.png");
  THTMLPictureCache cache;
  THTMLPicture* p = cache.NewPicture();
  p->LoadFromAddress("FILE://" + png);
  EXPECT_FALSE(p->Empty());
  EXPECT_EQ(cache.FindByURL("FILE://" + png), p);
  EXPECT_EQ(cache.FindByURL("file://" + png), nullptr);

  TPictureContainer container(nullptr);
  auto* first = container.Items()->Add();
  first->SetName("Logo");
  auto* second = container.Items()->Add();
  second->SetName("LOGO");
  EXPECT_EQ(container.PictureByName("logo"), first->Picture());
  EXPECT_EQ(container.PictureByName("nothing"), nullptr);
  EXPECT_EQ(container.Version(), "1.0.0.0");
}
