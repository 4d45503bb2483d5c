// View services: selection snapshots, cursors, the update lock, the
// selection aspect switch and the version stamp.
#include <vector>

#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/transitioneffects.h"
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

// Changing the current layer moves the selection polygon with the mask, so
// that later work on the polygon (an offset, a rebuilt mask) stays in place.
TEST_F(ViewServicesTest, SelectionPolygonFollowsTheCurrentLayer) {
  MakeImage(100, 80, Grey);
  view->AddLayer(60, 50, ie24RGB, 10, 20);
  view->SetSelectionBase(iesbBitmap);
  view->Select(5, 5, 10, 10);
  const TIEMask* mask = view->SelectionMask();
  const RECT before{mask->X1, mask->Y1, mask->X2, mask->Y2};
  view->SetCurrentLayer(0);
  const TIESelectionPolygon* polygon = view->MainSelectionPolygon();
  EXPECT_EQ(polygon->Left, 15);
  EXPECT_EQ(polygon->Top, 25);
  EXPECT_EQ(polygon->Points.front().x, 15);
  EXPECT_EQ(polygon->Points.front().y, 25);
  EXPECT_EQ(mask->X1, before.left + 10);
  EXPECT_EQ(mask->Y1, before.top + 20);
  view->OffsetSelection(1, 2);
  EXPECT_EQ(mask->X1, before.left + 11);
  EXPECT_EQ(mask->Y1, before.top + 22);
  EXPECT_EQ(mask->X2, before.right + 11);
  EXPECT_EQ(mask->Y2, before.bottom + 22);
}

// A snapshot re-applied in mode 1 to a smaller bitmap moves the selection
// back inside it: the polygon goes along with the mask, so that a later
// offset, which rebuilds the mask from the polygon, keeps it there.
TEST_F(ViewServicesTest, SnapshotInMode1MovesThePolygonWithTheMask) {
  MakeImage(100, 80, Grey);
  view->SetSelectionBase(iesbBitmap);
  view->Select(80, 10, 96, 21);
  const TIEMask* mask = view->SelectionMask();
  const int32_t width = mask->X2 - mask->X1, top = mask->Y1, bottom = mask->Y2;
  TMemoryStream stream;
  view->SaveSelectionToStream(stream);
  MakeImage(60, 50, Grey);
  stream.SetPosition(0);
  ASSERT_TRUE(view->LoadSelectionFromStream(stream, 1));
  mask = view->SelectionMask();
  EXPECT_EQ(mask->X2, 59);
  EXPECT_EQ(mask->X1, 59 - width);
  EXPECT_EQ(view->MainSelectionPolygon()->Right, 60);
  view->OffsetSelection(0, 1);
  EXPECT_EQ(mask->X1, 59 - width);
  EXPECT_EQ(mask->X2, 59);
  EXPECT_EQ(mask->Y1, top + 1);
  EXPECT_EQ(mask->Y2, bottom + 1);
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
  for (const char* name : {"PlayLoop", "EnableInteractionHints"}) {
    SCOPED_TRACE(name);
    SetPropText(*view, name, "False");
    EXPECT_EQ(GetPropText(*view, name), "False");
  }
  EXPECT_FALSE(view->PlayLoop);
  EXPECT_FALSE(view->EnableInteractionHints);
  EXPECT_EQ(GetPropText(*view, "WallPaper"), "TPicture");
}

// Events reached by name read as assigned or not and are cleared by an empty
// text; the ones the view passes on are cleared in its components too.
TEST_F(ViewServicesTest, PublishedEventsAreReadAndClearedByName) {
  view->OnDrawLayer = [](TObject*, TIEBitmap*, int32_t) {};
  view->OnDrawPolygon = [](TObject*, int32_t, int32_t, TCanvas*, int32_t, int32_t) {};
  view->OnImageryGesture = [](TObject*, TIEGestureFlags, TIEGestureID, POINT, int32_t, int32_t, int32_t, uint32_t,
                              bool&) {};
  view->SetOnProgress([](TObject*, int32_t) {});
  view->SetOnFinishWork([](TObject*) {});
  view->SetOnAcquireBitmap([](TObject*, TIEBitmap*, int32_t, int32_t, bool&) {});
  view->SetOnSaveUndo([](TObject*, TIEUndoSource) {});
  TImageryIO* io = view->GetIO();
  TImageryProc* proc = view->GetProc();
  EXPECT_TRUE(io->OnAcquireBitmap) << "the acquisition event reaches the I/O component";
  for (const char* name : {"OnDrawLayer", "OnDrawPolygon", "OnImageryGesture", "OnProgress", "OnFinishWork",
                           "OnAcquireBitmap", "OnSaveUndo"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetPropText(*view, name), "(assigned)");
    SetPropText(*view, name, "");
    EXPECT_EQ(GetPropText(*view, name), "");
  }
  for (const char* name : {"OnDrawLayerBox", "OnDrawLayerGrip", "OnMouseInResizingGrip", "OnFinishSmoothTask",
                           "OnDShowNewFrame", "OnDShowEvent", "OnMediaFoundationNotify"})
    EXPECT_EQ(GetPropText(*view, name), "") << name;
  EXPECT_FALSE(io->OnProgress);
  EXPECT_FALSE(io->OnFinishWork);
  EXPECT_FALSE(io->OnAcquireBitmap);
  EXPECT_FALSE(proc->OnProgress);
  EXPECT_FALSE(proc->OnSaveUndo);
}

// The transition events live in the engine: reading them by name makes no
// engine; assigning makes one, and clearing by name clears them there.
TEST_F(ViewServicesTest, TransitionEventsArePublishedThroughTheEngine) {
  const char* const names[] = {"OnTransitionStop", "OnTransitionStep", "OnTransitionPaint"};
  for (const char* name : names) EXPECT_EQ(GetPropText(*view, name), "") << name;
  EXPECT_EQ(view->TransitionEffects(), nullptr);
  view->SetOnTransitionStop([](TObject*) {});
  view->SetOnTransitionStep([](TObject*, int32_t) {});
  view->SetOnTransitionPaint([](TObject*, TBitmap*, TIETransitionEffects*, int32_t) {});
  TIETransitionEffects* engine = view->TransitionEffects();
  ASSERT_NE(engine, nullptr);
  for (const char* name : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetPropText(*view, name), "(assigned)");
    SetPropText(*view, name, "");
    EXPECT_EQ(GetPropText(*view, name), "");
  }
  EXPECT_FALSE(engine->OnTransitionStop);
  EXPECT_FALSE(engine->OnTransitionStep);
  EXPECT_FALSE(engine->OnTransitionPaint);
}

}  // namespace

namespace {

// Key messages reach the application as events after the control's own
// handling; the special-key query is answered by the handler.
TEST_F(ViewServicesTest, KeyMessagesBecomeEvents) {
  struct Key {
    uint32_t key, data;
    bool down;
    bool operator==(const Key&) const = default;
  };
  std::vector<Key> keys;
  view->OnVirtualKey = [&](TObject*, uint32_t key, uint32_t data, bool down) { keys.push_back(Key{key, data, down}); };
  const std::pair<UINT, Key> messages[] = {{WM_KEYDOWN, {'A', 0x001E0001, true}},
                                           {WM_KEYUP, {'A', 0xC01E0001, false}},
                                           {WM_SYSKEYDOWN, {VK_F10, 0x20440001, true}},
                                           {WM_SYSKEYUP, {VK_F10, 0xE0440001, false}}};
  for (const auto& [message, key] : messages) view->Perform(message, key.key, key.data);
  ASSERT_EQ(keys.size(), 4u);
  for (size_t i = 0; i < keys.size(); ++i) EXPECT_EQ(keys[i], messages[i].second) << i;

  view->OnSpecialKey = [](TObject*, WORD code, TShiftState, bool& handled) { handled = code == VK_LEFT; };
  EXPECT_NE(view->Perform(CM_WANTSPECIALKEY, VK_LEFT), 0) << "the handler wants the arrow";
  EXPECT_EQ(view->Perform(CM_WANTSPECIALKEY, VK_RETURN), 0);
}

// Flat scroll bars serve the view like the ordinary ones; switching them on
// a second time changes nothing.
TEST_F(ViewServicesTest, FlatScrollBarsAreSwitchedOnOnce) {
  view->SetScrollBars(ssBoth);
  MakeImage(400, 300, Grey);
  view->SetZoom(100);
  const int32_t withBars = view->ClientWidth();
  ASSERT_LT(withBars, view->Width()) << "a 400-pixel image needs the horizontal bar";
  view->SetFlatScrollBars(true);
  // Hiding them resizes the client area, and the view's update that follows shows them again.
  view->Update();
  EXPECT_EQ(view->ClientWidth(), withBars);
  view->SetFlatScrollBars(true);
  EXPECT_EQ(view->ClientWidth(), withBars);
  // Scrolling still works through the flat bars.
  view->SetViewXY(50, 40);
  EXPECT_EQ(view->ViewX(), 50);
  view->SetFlatScrollBars(false);
  EXPECT_FALSE(view->FlatScrollBars());
}

// A wallpaper and its style repaint the background only: the image stays.
TEST_F(ViewServicesTest, WallpaperFillsTheBackgroundAroundTheImage) {
  view->SetScrollBars(ssNone);
  view->SetCenter(false);
  MakeImage(40, 30, Grey);
  TPicture picture;
  TBitmap* tile = picture.Bitmap();
  tile->SetPixelFormat(pf24bit);
  tile->SetSize(8, 8);
  tile->Canvas()->Brush()->SetColor(RGB(10, 200, 30));
  tile->Canvas()->FillRect(RECT{0, 0, 8, 8});
  view->SetWallPaper(&picture);
  view->SetWallPaperStyle(iewoTile);
  EXPECT_EQ(Probe(150, 100), RGB(10, 200, 30));
  EXPECT_EQ(Probe(5, 5), RGB(90, 90, 90));
  view->SetWallPaper(nullptr);
  EXPECT_TRUE(view->WallPaper()->Graphic() == nullptr || view->WallPaper()->Graphic()->Empty());
}

}  // namespace
