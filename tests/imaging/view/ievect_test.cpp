// The vector view's object model (handles, pool, setters, selection, the
// layer hooks) and its drawing onto bitmaps, probed pixel by pixel.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "tests/imaging/view/vect_test_support.h"

using namespace vecttest;

namespace {

class VectModelTest : public VectTest {
protected:
  int32_t AddBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    view->SetObjKind(IEV_TEMPLATE, ievkBox);
    view->SetObjRect(IEV_TEMPLATE, RECT{x1, y1, x2, y2});
    return view->AddNewObject();
  }
  static std::unique_ptr<TIEBitmap> Solid(int32_t size, TRGB colour) {
    auto b = std::make_unique<TIEBitmap>(size, size, ie24RGB);
    for (int32_t y = 0; y < size; ++y)
      for (int32_t x = 0; x < size; ++x) b->SetPixel24(x, y, colour);
    return b;
  }
};

}  // namespace

TEST_F(VectModelTest, HandlesAreHeapIndexesAndOnlyTheLastSlotIsReused) {
  EXPECT_EQ(AddBox(0, 0, 5, 5), 0);
  view->DeleteObjects(0);
  EXPECT_EQ(AddBox(0, 0, 5, 5), 0);  // 0 was the last heap record
  EXPECT_EQ(AddBox(1, 1, 5, 5), 1);
  view->DeleteObjects(0);
  EXPECT_EQ(AddBox(2, 2, 5, 5), 2);  // a hole inside the heap stays
  EXPECT_EQ(view->ObjectsCount(), 2);
  EXPECT_EQ(view->GetObjFromDrawOrder(0), 1);
  EXPECT_EQ(view->GetObjFromDrawOrder(2), -1);
  EXPECT_EQ(view->ObjectRecordOf(IEV_LAST_OBJECT).X1, 2);
  EXPECT_THROW(view->ObjectRecordOf(3), EIEException);
  // Corners of a box are put in order; a line keeps its direction.
  EXPECT_EQ(view->ObjectRecordOf(AddBox(9, 8, 1, 2)).X1, 1);
  view->SetObjKind(IEV_TEMPLATE, ievkLine);
  view->SetObjRect(IEV_TEMPLATE, RECT{9, 8, 1, 2});
  EXPECT_EQ(view->ObjectRecordOf(view->AddNewObject()).X1, 9);
}

TEST_F(VectModelTest, EqualBitmapsShareOnePoolEntryUntilTheLastUseGoes) {
  const auto red = Solid(4, TRGB{0, 0, 255});
  const int32_t a = AddBox(0, 0, 9, 9), b = AddBox(0, 0, 9, 9);
  view->SetObjKind(a, ievkBitmap);
  view->SetObjKind(b, ievkBitmap);
  view->SetObjBitmap(a, red.get());
  view->SetObjBitmap(b, red.get());
  const int32_t entry = view->ObjectRecordOf(a).BitmapIndex;
  ASSERT_EQ(view->ObjectRecordOf(b).BitmapIndex, entry);
  EXPECT_EQ(view->BitmapPool()[entry].UseCount, 2);
  view->SetObjBitmap(a, nullptr);
  EXPECT_NE(view->BitmapPool()[entry].Bitmap, nullptr);
  view->SetObjBitmap(b, nullptr);
  EXPECT_EQ(view->BitmapPool()[entry].Bitmap, nullptr);
  const auto green = Solid(3, TRGB{0, 255, 0});
  view->SetObjBitmap(a, green.get());
  EXPECT_EQ(view->ObjectRecordOf(a).BitmapIndex, entry);  // the free entry is taken again
  // An index past the pool is refused and changes nothing.
  EXPECT_THROW(view->SetObjBitmapIndex(b, static_cast<int32_t>(view->BitmapPool().size())), EIEException);
  EXPECT_EQ(view->ObjectRecordOf(b).BitmapIndex, -1);
}

TEST_F(VectModelTest, SettersKeepTheirRules) {
  const int32_t h = AddBox(0, 0, 9, 9);
  view->SetObjKind(h, ievkText);
  ASSERT_TRUE(view->ObjectRecordOf(h).LogFont);
  view->SetObjText(h, u"a\r\nb");
  EXPECT_EQ(*view->ObjectRecordOf(h).Text, u"a\nb");
  view->SetObjFontName(h, std::u16string(40, u'x'));
  EXPECT_EQ(std::u16string(view->ObjectRecordOf(h).LogFont->lfFaceName), std::u16string(31, u'x'));
  view->SetObjFontStyles(h, 0b1011);
  EXPECT_EQ(view->GetObjFontStyles(h), 0b1011);
  EXPECT_THROW(view->SetObjUndoLimit(-1), EIEException);
  EXPECT_EQ(view->ObjUndoLimit(), 1);
  // Corners at the edge of the 32-bit range give an extent without overflow.
  const int32_t far = AddBox(0, 0, 10, 10);
  view->ObjectRecordOf(far).X2 = INT32_MAX;
  view->ObjectRecordOf(far).Y2 = INT32_MAX;
  EXPECT_EQ(view->GetObjectsExtent().right, INT32_MAX);
}

TEST_F(VectModelTest, PolylinePointsMapOntoTheBox) {
  const int32_t h = AddBox(0, 0, 1, 1);
  view->SetObjKind(h, ievkPolyline);
  view->SetObjPolylinePoints(h, {POINT{10, 10}, POINT{10, 10}, POINT{20, 30}, POINT{30, 10}});
  EXPECT_EQ(view->GetObjPolylinePointCount(h), 3);  // the repeated point is dropped
  view->SetObjRect(h, RECT{0, 0, 40, 40});
  const POINT p = view->GetObjPolylinePoint(h, 1);
  EXPECT_EQ(p.x, 20);
  EXPECT_EQ(p.y, 40);
  EXPECT_EQ(view->GetObjPolylinePoint(h, 3).x, -1);
}

TEST_F(VectModelTest, SelectionHonoursSelectableAndNotifies) {
  int32_t fired = 0;
  view->OnSelectObject = [&](TObject*) { ++fired; };
  const int32_t a = AddBox(0, 0, 5, 5), b = AddBox(0, 0, 5, 5);
  view->ObjectRecordOf(b).Style = 1 << iosVisible;
  view->AddSelObject(b);
  EXPECT_EQ(view->SelObjectsCount(), 0);
  EXPECT_EQ(fired, 1);
  view->UnSelObject(a);
  EXPECT_EQ(fired, 1);
  view->AddSelObject(a);
  EXPECT_TRUE(view->IsSelObject(a));
  view->DeleteObjects(IEV_SELECTED_OBJECTS);
  EXPECT_EQ(view->ObjectsCount(), 1);
  EXPECT_EQ(view->SelObjectsCount(), 0);
}

TEST_F(VectModelTest, RemovingALayerTakesItsObjectsAndMovesTheOnesAbove) {
  view->GetIEBitmap()->Allocate(20, 20, ie24RGB);
  view->AddLayer(20, 20, ie24RGB, 0, 0);
  view->AddLayer(20, 20, ie24RGB, 0, 0);
  std::vector<int32_t> handles;
  for (int32_t layer : {0, 1, 2}) {
    handles.push_back(AddBox(0, 0, 5, 5));
    view->SetObjLayer(handles.back(), layer);
  }
  view->RemoveLayer(1);
  ASSERT_EQ(view->GetLayerCount(), 2);
  ASSERT_EQ(view->ObjectsCount(), 2);
  EXPECT_EQ(view->GetObjLayer(handles[0]), 0);
  EXPECT_EQ(view->GetObjLayer(handles[2]), 1);
}

// ---- drawing -----------------------------------------------------------------------------------

namespace {

class VectDrawTest : public VectModelTest {
protected:
  TIEBitmap target;
  void SetUp() override {
    VectModelTest::SetUp();
    view->ObjAntialias = false;
    target.Allocate(40, 40, ie24RGB);
    target.Fill(0xFFFFFF);
  }
  TRGB At(int32_t x, int32_t y) { return target.GetPixel24(x, y); }
  static bool Is(TRGB p, uint8_t r, uint8_t g, uint8_t b) { return p.r == r && p.g == g && p.b == b; }
};

}  // namespace

TEST_F(VectDrawTest, KindsLandWhereTheirGeometrySays) {
  // A filled blue box with a black 1-pixel frame at (2,2)-(10,10).
  const int32_t box = AddBox(2, 2, 10, 10);
  view->SetObjPenColor(box, 0);
  view->SetObjBrushStyle(box, bsSolid);
  view->SetObjBrushColor(box, 0xFF0000);
  // A red 3-pixel horizontal line from (5, 30) to (35, 30) with an arrow head at its end.
  view->SetObjKind(IEV_TEMPLATE, ievkLine);
  view->SetObjRect(IEV_TEMPLATE, RECT{5, 30, 35, 30});
  const int32_t line = view->AddNewObject();
  view->SetObjPenColor(line, 0x0000FF);
  view->SetObjPenWidth(line, 3);
  view->SetObjEndShape(line, ileTriangleOut);
  view->DrawObjectsToBitmap(target, false, true);
  EXPECT_TRUE(Is(At(2, 2), 0, 0, 0));
  EXPECT_TRUE(Is(At(6, 6), 0, 0, 255));
  EXPECT_TRUE(Is(At(12, 6), 255, 255, 255));
  EXPECT_TRUE(Is(At(10, 30), 255, 0, 0));
  EXPECT_TRUE(Is(At(10, 31), 255, 0, 0));
  EXPECT_TRUE(Is(At(10, 33), 255, 255, 255));
  // The head: base 10 wide, 20 long, centred 20 pixels in from the end.
  EXPECT_TRUE(Is(At(18, 33), 255, 0, 0));
  EXPECT_TRUE(Is(At(34, 34), 255, 255, 255));
}

TEST_F(VectDrawTest, HighlightAndsItsColourIntoThePixels) {
  for (int32_t y = 0; y < 40; ++y)
    for (int32_t x = 20; x < 40; ++x) target.SetPixel24(x, y, TRGB{255, 0, 0});  // blue right half
  const int32_t h = AddBox(10, 10, 29, 19);
  view->SetObjBoxHighlight(h, true);
  view->SetObjBrushColor(h, 0x00FFFF);  // yellow
  view->DrawObjectsToBitmap(target, false, true);
  EXPECT_TRUE(Is(At(12, 12), 255, 255, 0));
  EXPECT_TRUE(Is(At(25, 12), 0, 0, 0));
  EXPECT_TRUE(Is(At(12, 25), 255, 255, 255));
  EXPECT_EQ(view->ObjectRecordOf(h).PenWidth, 1);
}

TEST_F(VectDrawTest, HostileGeometryDrawsWithoutFault) {
  struct Case {
    uint8_t kind;
    RECT rect;
  } cases[] = {
      {ievkLine, {5, 5, 5, 5}},                                      // no length, with line ends
      {ievkBitmap, {5, 5, 4, 4}},                                    // no width
      {ievkEllipse, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}},
      {ievkLine, {INT32_MIN, 0, INT32_MAX, 39}},
      {ievkArc, {-5, -5, 50, 50}},
      {ievkPolyline, {0, 0, INT32_MAX, INT32_MAX}},
  };
  const auto picture = Solid(4, TRGB{1, 2, 3});
  for (const Case& c : cases) {
    view->SetObjKind(IEV_TEMPLATE, c.kind);
    view->SetObjRect(IEV_TEMPLATE, c.rect);
    const int32_t h = view->AddNewObject();
    view->SetObjBeginShape(h, ileTriangleIn);
    view->SetObjEndShape(h, ileTriangleOut);
    view->SetObjPenWidth(h, INT32_MAX);
    if (c.kind == ievkBitmap) view->SetObjBitmap(h, picture.get());
    if (c.kind == ievkArc) view->ObjectRecordOf(h).ArcEnd = std::numeric_limits<double>::quiet_NaN();
    if (c.kind == ievkPolyline) {
      TIEVObject& o = view->ObjectRecordOf(h);
      o.PolyPoints = {POINT{0, 0}, POINT{INT32_MAX, 1}, POINT{INT32_MIN, INT32_MAX}};
      o.PolyBounds = RECT{0, 0, 1, 1};
    }
  }
  view->DrawObjectsToBitmap(target, true, true);
  SUCCEED();
}

TEST_F(VectDrawTest, AnAlphaTargetTakesTheObjectsShapeInItsAlpha) {
  target.GetAlphaChannel()->Fill(0);
  const int32_t h = AddBox(5, 5, 14, 14);
  view->SetObjBrushStyle(h, bsSolid);
  view->SetObjBrushColor(h, 0x00FF00);
  view->SetObjTransparency(h, 128);
  view->DrawObjectsToBitmap(target, false, true);
  EXPECT_GE(target.GetAlphaPixel(9, 9), 120);
  EXPECT_EQ(target.GetAlphaPixel(20, 20), 0);
}
