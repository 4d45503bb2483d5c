// View services: selection snapshots, cursors, the update lock, the
// selection aspect switch and the version stamp.
#include <vector>

#include "platform/forms/properties.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/view/view_test_support.h"

namespace {

TRGB Grey(int32_t, int32_t) { return TRGB{90, 90, 90}; }

class ViewServicesTest : public ViewTest {
protected:
  // Selects the rectangle x1..x2, y1..y2 (inclusive) of the mask directly.
  void MaskRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    TIEMask* mask = view->SelectionMask();
    mask->Clear();
    for (int32_t y = y1; y <= y2; ++y) mask->FillSpan(1, x1, x2, y);
    mask->RecalcBoundingBox();
  }
};

TEST_F(ViewServicesTest, SnapshotFollowsTheLayerPositionInMode2) {
  MakeImage(100, 80, Grey);
  const int32_t upper = view->AddLayer(60, 50, ie24RGB, 10, 20);
  ASSERT_EQ(view->CurrentLayerIndex(), upper);
  MaskRect(5, 5, 9, 9);
  view->PushSelection();
  view->SetCurrentLayer(0);
  ASSERT_TRUE(view->PopSelection(true, 2));
  TIEMask* mask = view->SelectionMask();
  EXPECT_EQ(mask->Width, 100);
  EXPECT_EQ(mask->Height, 80);
  EXPECT_EQ(mask->X1, 15);
  EXPECT_EQ(mask->Y1, 25);
  EXPECT_EQ(mask->X2, 19);
  EXPECT_EQ(mask->Y2, 29);
  EXPECT_TRUE(view->Selected());
  EXPECT_FALSE(view->PopSelection(true, 2));  // the stack is empty again
}

TEST_F(ViewServicesTest, SnapshotRoundTripsAndAShortRecordChangesNothing) {
  MakeImage(40, 30, Grey);
  MaskRect(3, 4, 12, 20);
  TMemoryStream stream;
  view->SaveSelectionToStream(stream);
  const int64_t whole = stream.Size();
  view->SelectionMask()->Clear();
  stream.SetPosition(0);
  ASSERT_TRUE(view->LoadSelectionFromStream(stream, 0));
  EXPECT_EQ(view->SelectionMask()->X1, 3);
  EXPECT_EQ(view->SelectionMask()->Y2, 20);
  EXPECT_TRUE(view->SelectionMask()->IsPointInside(12, 20));
  EXPECT_FALSE(view->SelectionMask()->IsPointInside(13, 20));
  // Every truncation of the record fails cleanly and leaves the selection.
  std::vector<uint8_t> bytes(static_cast<size_t>(whole));
  stream.SetPosition(0);
  stream.ReadBuffer(bytes.data(), static_cast<int32_t>(whole));
  for (int64_t size : {int64_t{0}, int64_t{7}, int64_t{30}, whole - 1}) {
    SCOPED_TRACE(size);
    TMemoryStream shortStream;
    if (size > 0) shortStream.WriteBuffer(bytes.data(), static_cast<int32_t>(size));
    shortStream.SetPosition(0);
    EXPECT_FALSE(view->LoadSelectionFromStream(shortStream, 0));
    EXPECT_EQ(view->SelectionMask()->X1, 3);
  }
}

TEST_F(ViewServicesTest, CursorHandlerMayReplaceTheCursor) {
  view->OnSetCursor = [](TObject*, TCursor& cursor) {
    if (cursor == crIECrossHair) cursor = crIEHand;
  };
  view->SetCursor(crIECrossHair);
  EXPECT_EQ(view->Cursor(), crIEHand);
  EXPECT_EQ(static_cast<TControl*>(view)->Cursor(), crIEHand);
  // A temporary cursor leaves the published value; restoring puts it back.
  view->SetTempCursor(crIEMove, false);
  EXPECT_EQ(static_cast<TControl*>(view)->Cursor(), crIEMove);
  EXPECT_EQ(view->Cursor(), crIEHand);
  view->RestoreCursor();
  EXPECT_EQ(static_cast<TControl*>(view)->Cursor(), crIEHand);
}

TEST_F(ViewServicesTest, UpdateLockHoldsTheRefreshUntilItIsReleased) {
  MakeImage(40, 30, Grey);
  view->BeginUpdateLock();
  view->GetIEBitmap()->Allocate(64, 48, ie24RGB);
  view->Update();
  EXPECT_EQ(view->ImageWidth(), 40);
  view->EndUpdateLock();
  EXPECT_EQ(view->ImageWidth(), 64);
  view->EndUpdateLockNoRefresh();  // never below zero
  EXPECT_EQ(view->UpdateLockCount(), 0);
}

TEST_F(ViewServicesTest, FixedSizeSelectionIsNotSizeable) {
  view->SetSelectionAspectRatio(0);
  EXPECT_FALSE(view->SelectionOptions().Contains(iesoSizeable));
  view->SetSelectionAspectRatio(-1);
  EXPECT_TRUE(view->SelectionOptions().Contains(iesoSizeable));
}

TEST_F(ViewServicesTest, VersionStampSitsInTheBottomRightCorner) {
  view->SetScrollBars(ssNone);
  MakeImage(400, 300, Grey);
  EXPECT_EQ(Probe(198, 148), RGB(90, 90, 90));
  view->SetDrawVersion(true);
  view->InvalidateBackBuffer();
  EXPECT_EQ(Probe(198, 148), RGB(255, 255, 255));  // the stamp's white ground
  EXPECT_EQ(Probe(5, 5), RGB(90, 90, 90));
}

// Form descriptions and language files set the view's properties by name.
TEST_F(ViewServicesTest, PublishedPropertiesAreReachedByName) {
  const std::pair<const char*, const char*> settings[] = {
      {"AutoFit", "True"},           {"BackgroundStyle", "iebsChessboard"},  {"ZoomFilter", "rfBilinear"},
      {"ScrollBars", "ssVertical"},  {"MouseInteract", "[miZoom,miSelect]"}, {"Center", "False"},
      {"SelectionBase", "iesbBitmap"}, {"WallPaperStyle", "iewoTile"},       {"Background", "clBlack"}};
  for (const auto& [name, value] : settings) {
    SCOPED_TRACE(name);
    SetPropText(*view, name, value);
    EXPECT_EQ(GetPropText(*view, name), value);
  }
  EXPECT_TRUE(view->AutoFit());
  EXPECT_EQ(view->BackgroundStyle(), iebsChessboard);
  EXPECT_EQ(view->ScrollBars(), ssVertical);
  // The version reads the library's and ignores writes.
  SetPropText(*view, "ImageryVersion", "1.0");
  EXPECT_EQ(GetPropText(*view, "ImageryVersion"), "6.0.0");
}

}  // namespace
