// The layer and vector-object files through the I/O component: into an
// attached view and through a temporary one, by content, by the conversion
// tool, and the file whose objects claim an image no machine can hold.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/view/ievect.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/peak_memory.h"

namespace {

// The built-in codec table, not the test codec's.
class VectorFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    IELibraryInitialize();
    IEInitializeImageryIO();
    view = new TImageryVect(nullptr);
    view->SetLegacyBitmap(false);
  }
  void TearDown() override {
    delete view;
    IEFinalizeImageryIO();
    IELibraryFinalize();
  }

  // A 20 x 16 grey background, a second layer at (4, 3), a red filled box
  // on layer 0 at (2, 2)-(9, 9) and a blue one on layer 1.
  void MakeDrawing(TImageryVect& v) {
    v.GetIEBitmap()->Allocate(20, 16, ie24RGB);
    v.GetIEBitmap()->Fill(0x808080);
    v.AddLayer(8, 8, ie24RGB, 4, 3);
    v.GetLayer(1)->Bitmap->Fill(0x00FF00);
    for (int32_t layer : {0, 1}) {
      v.SetObjKind(IEV_TEMPLATE, ievkBox);
      v.SetObjRect(IEV_TEMPLATE, layer == 0 ? RECT{2, 2, 9, 9} : RECT{1, 1, 3, 3});
      const int32_t h = v.AddNewObject();
      v.SetObjLayer(h, layer);
      v.SetObjPenColor(h, layer == 0 ? 0x0000FF : 0xFF0000);
      v.SetObjBrushColor(h, layer == 0 ? 0x0000FF : 0xFF0000);
      v.SetObjBrushStyle(h, bsSolid);
    }
  }

  TImageryVect* view = nullptr;
};

bool IsRGB(TRGB p, uint8_t r, uint8_t g, uint8_t b) { return p.r == r && p.g == g && p.b == b; }

}  // namespace

TEST_F(VectorFileTest, VectorFileBecomesAPictureOfItsObjects) {
  MakeDrawing(*view);
  const std::string file = iotest::TempFolder() + "drawing.iev";
  view->SaveVectorFile(file);
  EXPECT_EQ(IEFindFileFormat(file, false), 25);

  TIEBitmap picture;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&picture));
  ASSERT_TRUE(io->LoadFromFile(file, -1));
  EXPECT_EQ(picture.GetWidth(), 10);  // one past the largest corner
  EXPECT_EQ(picture.GetHeight(), 10);
  EXPECT_TRUE(IsRGB(picture.GetPixel24(5, 5), 255, 0, 0));
  EXPECT_EQ(picture.GetAlphaPixel(5, 5), 255);
  EXPECT_EQ(picture.GetAlphaPixel(0, 0), 0);

  // Into an attached vector view: the objects come in, the image is sized to them.
  TImageryVect target(nullptr);
  target.SetLegacyBitmap(false);
  ASSERT_TRUE(target.GetIO()->LoadFromFile(file, -1));
  EXPECT_EQ(target.ObjectsCount(), 2);
  EXPECT_EQ(target.GetIEBitmap()->GetWidth(), 10);
  EXPECT_EQ(target.GetIO()->Params().FILETYPE, 25);
}

TEST_F(VectorFileTest, LayerFilesRoundTripWithAndWithoutAView) {
  MakeDrawing(*view);
  struct Case {
    const char* name;
    int32_t id;
  } cases[] = {{"stack.lyr", 26}, {"stack.all", 27}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = iotest::TempFolder() + c.name;
    view->GetIO()->SaveToFile(file, -1);
    ASSERT_FALSE(view->GetIO()->Aborting());
    EXPECT_EQ(IEFindFileFormat(file, false), c.id);

    TImageryVect into(nullptr);
    into.SetLegacyBitmap(false);
    ASSERT_TRUE(into.GetIO()->LoadFromFile(file, -1));
    EXPECT_EQ(into.GetLayerCount(), 2);
    EXPECT_EQ(into.GetLayer(1)->PosX, 4);
    EXPECT_EQ(into.ObjectsCount(), c.id == 27 ? 2 : 0);

    // Without a view: the layers flattened, the objects drawn on their layers.
    TIEBitmap flat;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&flat));
    ASSERT_TRUE(io->LoadFromFile(file, -1));
    ASSERT_EQ(flat.GetWidth(), 20);
    EXPECT_TRUE(IsRGB(flat.GetPixel24(0, 0), 128, 128, 128));
    EXPECT_TRUE(IsRGB(flat.GetPixel24(11, 10), 0, 255, 0));
    if (c.id == 27) {
      EXPECT_TRUE(IsRGB(flat.GetPixel24(3, 3), 255, 0, 0));
      EXPECT_TRUE(IsRGB(flat.GetPixel24(6, 5), 0, 0, 255));  // layer 1's box at its (2, 2)
    }
    // Saved from a plain image: the image is the only layer.
    const std::string again = iotest::TempFolder() + "again_" + c.name;
    io->SaveToFile(again, -1);
    ASSERT_FALSE(io->Aborting());
    EXPECT_EQ(IEFindFileFormat(again, false), c.id);
  }
  // By stream, a load needs a view to go into.
  TMemoryStream stream;
  view->WriteVectorStream(stream);
  stream.SetPosition(0);
  TIEBitmap bitmap;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  EXPECT_FALSE(io->LoadFromStreamFormat(stream, 25));
}

TEST_F(VectorFileTest, AnExtentNoMachineCanHoldFailsTheLoadCheaply) {
  view->SetObjKind(IEV_TEMPLATE, ievkLine);
  view->SetObjRect(IEV_TEMPLATE, RECT{0, 0, 1 << 30, 1 << 30});
  view->AddNewObject();
  const std::string file = iotest::TempFolder() + "huge.iev";
  view->SaveVectorFile(file);
  ASSERT_LT(iotest::ReadFile(file).size(), 4000u);

  TIEBitmap picture;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&picture));
  const long kilobytes = PeakKilobytesOf([&] { EXPECT_FALSE(io->LoadFromFile(file, -1)); });
  EXPECT_TRUE(io->Aborting());
  EXPECT_LT(kilobytes, 16 * 1024);
}

TEST_F(VectorFileTest, TheConversionToolDrawsVectorFiles) {
  MakeDrawing(*view);
  const std::string in = iotest::TempFolder() + "tool.all", out = iotest::TempFolder() + "tool.bmp";
  view->SaveLayersAndVectorsToFile(in, -1);
  const std::string tool = std::string(VESK_BINARY_DIR) + "/tools/ieconvert/ieconvert";
  ASSERT_EQ(std::system((tool + " " + in + " " + out).c_str()), 0);
  TIEBitmap picture;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&picture));
  ASSERT_TRUE(io->LoadFromFile(out, -1));
  EXPECT_TRUE(IsRGB(picture.GetPixel24(3, 3), 255, 0, 0));
}
