#include "imaging/processing/imageryproc_component.h"
#include "tests/imaging/view/view_input_support.h"

namespace {

using SelectionTest = ViewInputTest;

}  // namespace

TEST_F(SelectionTest, AMouseDragMakesTheRectangleTheUserDrew) {
  view->SetMouseInteract({miSelect});
  int changes = 0, changing = 0;
  view->OnSelectionChange = [&](TObject*) { ++changes; };
  view->OnSelectionChanging = [&](TObject*) { ++changing; };
  Drag({{kOriginX + 10, kOriginY + 10}, {kOriginX + 30, kOriginY + 20}, {kOriginX + 50, kOriginY + 40}});
  ASSERT_TRUE(view->Selected());
  EXPECT_EQ(SelectionBox(), (RECT{10, 10, 49, 39}));
  EXPECT_TRUE(MaskAt(10, 10));
  EXPECT_TRUE(MaskAt(49, 39));
  EXPECT_FALSE(MaskAt(50, 39));
  EXPECT_FALSE(MaskAt(49, 40));
  EXPECT_EQ(changes, 1);
  EXPECT_GE(changing, 2);
  EXPECT_EQ(view->SelectionBase(), iesbClientArea) << "the caller's selection base is restored";

  // Dragged from the bottom-right to the top-left: the same rectangle.
  view->Deselect();
  Drag({{kOriginX + 50, kOriginY + 40}, {kOriginX + 10, kOriginY + 10}});
  EXPECT_EQ(SelectionBox(), (RECT{10, 10, 49, 39}));
}

TEST_F(SelectionTest, DragsBeyondTheImageAreClampedOrShiftedInside) {
  view->SetMouseInteract({miSelect});
  view->SetSelectionOptions(view->SelectionOptions() - iesoCanScroll);
  Drag({{kOriginX + 70, kOriginY + 10}, {kOriginX + 150, kOriginY + 30}});
  EXPECT_EQ(SelectionBox(), (RECT{70, 10, 99, 29})) << "clamped to the width (exclusive bound)";

  view->SetSelectionOptions(view->SelectionOptions() - iesoSizeable);
  view->Deselect();
  view->SetSelectionBase(iesbBitmap);
  view->SelectRect(70, 10, 120, 30, 0, false, true);
  view->UpdateSelectionMask();
  EXPECT_EQ(SelectionBox(), (RECT{49, 10, 98, 29})) << "moved left at its full size";
}

TEST_F(SelectionTest, ShiftDragAddsASecondRegion) {
  view->SetMouseInteract({miSelect});
  Drag({{kOriginX + 5, kOriginY + 5}, {kOriginX + 20, kOriginY + 20}});
  display::InjectKeyDown(VK_SHIFT);
  Drag({{kOriginX + 60, kOriginY + 50}, {kOriginX + 70, kOriginY + 60}, {kOriginX + 80, kOriginY + 70}});
  display::InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_TRUE(MaskAt(10, 10));
  EXPECT_TRUE(MaskAt(75, 65));
  EXPECT_FALSE(MaskAt(40, 40));
  EXPECT_EQ(view->GetSelectionPointCount(), 9) << "two rectangles and a separator";
}

TEST_F(SelectionTest, AClickWithoutDragRemovesTheSelectionUnlessDisabled) {
  view->SetMouseInteract({miSelect});
  Drag({{kOriginX + 5, kOriginY + 5}, {kOriginX + 20, kOriginY + 20}});
  ASSERT_TRUE(view->Selected());
  view->SetSelectionOptions(view->SelectionOptions() + iesoDisableOneClickDeselect);
  ClickAt(kOriginX + 60, kOriginY + 60);
  EXPECT_TRUE(view->Selected());
  view->SetSelectionOptions(view->SelectionOptions() - iesoDisableOneClickDeselect);
  ClickAt(kOriginX + 60, kOriginY + 60);
  EXPECT_FALSE(view->Selected());
  EXPECT_TRUE(view->SelectionMask()->IsEmpty());
}

TEST_F(SelectionTest, NewSelectionCanBeDisabledWhileOneExists) {
  view->SetMouseInteract({miSelect});
  Drag({{kOriginX + 5, kOriginY + 5}, {kOriginX + 20, kOriginY + 20}});
  view->SetSelectionOptions(view->SelectionOptions() + iesoDisableNewSelection + iesoDisableOneClickDeselect);
  Drag({{kOriginX + 50, kOriginY + 50}, {kOriginX + 70, kOriginY + 70}});
  EXPECT_EQ(SelectionBox(), (RECT{5, 5, 19, 19}));
}

TEST_F(SelectionTest, SelectByProgram) {
  view->SetSelectionBase(iesbBitmap);
  struct Case {
    RECT asked;
    int32_t operation;
    double aspect;
    bool selected;
    RECT box;
    const char* why;
  };
  const Case cases[] = {
      {{10, 10, 10, 40}, 0, -1, false, {}, "x1 = x2 changes nothing"},
      {{40, 30, 10, 5}, 0, -1, true, {10, 5, 39, 29}, "corners are ordered"},
      {{-20, -5, 30, 500}, 0, -1, true, {0, 0, 29, 79}, "clamped to the bitmap"},
      {{10, 10, 110, 20}, 0, 0.5, true, {10, 10, 99, 59}, "aspect 0.5: 100 wide gives 50 high"},
  };
  for (const Case& c : cases) {
    view->Deselect();
    view->SelectionState().AspectRatio = c.aspect;
    view->Select(c.asked.left, c.asked.top, c.asked.right, c.asked.bottom, c.operation);
    EXPECT_EQ(view->Selected(), c.selected) << c.why;
    if (c.selected) {
      EXPECT_EQ(SelectionBox(), c.box) << c.why;
    }
  }
  view->SelectionState().AspectRatio = -1;

  view->Select(0, 0, 10, 10);
  view->Select(20, 20, 30, 30, 1);
  EXPECT_TRUE(MaskAt(5, 5));
  EXPECT_TRUE(MaskAt(25, 25));
  EXPECT_EQ(SelectionBox(), (RECT{0, 0, 29, 29})) << "operation 1 adds a region";
  view->Select(50, 50, 60, 60);
  EXPECT_FALSE(MaskAt(5, 5)) << "operation 0 replaces";

  view->Deselect();
  EXPECT_FALSE(view->Selected());
  EXPECT_EQ(view->GetSelectionPointCount(), 0);
  EXPECT_TRUE(view->SelectionMask()->IsEmpty());
}

TEST_F(SelectionTest, ClientCoordinatesFollowZoomAndScroll) {
  view->SetZoom(200);
  view->SetViewXY(20, 10);
  view->Update();
  const int32_t cx = view->BitmapToClientX(30), cy = view->BitmapToClientY(20);
  view->Select(cx, cy, view->BitmapToClientX(40), view->BitmapToClientY(25));
  EXPECT_EQ(SelectionBox(), (RECT{30, 20, 39, 24}));
}

TEST_F(SelectionTest, CropToTheSelectedRectangle) {
  view->Select(kOriginX + 10, kOriginY + 20, kOriginX + 40, kOriginY + 45);
  // The processing component sees the selection's box and its outline.
  int32_t x1, y1, x2, y2, count = 0;
  const POINT* points = nullptr;
  TIEMask* mask = nullptr;
  ASSERT_TRUE(view->GetProc()->GetSelectionArea(x1, y1, x2, y2, points, count, mask));
  EXPECT_EQ((RECT{x1, y1, x2, y2}), (RECT{10, 20, 40, 45}));
  EXPECT_EQ(mask, view->SelectionMask());
  ASSERT_EQ(count, view->GetSelectionPointCount());
  ASSERT_GE(count, 4);
  EXPECT_EQ(points, view->GetSelectionPoints());
  for (int32_t i = 0; i < count; ++i) {
    EXPECT_TRUE(points[i].x == 10 || points[i].x == 40) << i;
    EXPECT_TRUE(points[i].y == 20 || points[i].y == 45) << i;
  }
  view->GetProc()->CropSel(false);
  TIEBitmap* bitmap = view->GetIEBitmap();
  ASSERT_EQ(bitmap->GetWidth(), 30);
  ASSERT_EQ(bitmap->GetHeight(), 25);
  for (auto [x, y] : {std::pair{0, 0}, {29, 24}, {13, 7}}) {
    TRGB c{};
    bitmap->GetPixelRGB(x, y, c);
    EXPECT_EQ(c.r, 10 + x);
    EXPECT_EQ(c.g, 20 + y);
    EXPECT_EQ(c.b, 7);
  }
  view->Deselect();
  EXPECT_FALSE(view->Selected());
}

TEST_F(SelectionTest, GripsResizeAndInsideDragsMove) {
  view->SetMouseInteract({miSelect});
  view->Select(kOriginX + 10, kOriginY + 10, kOriginX + 40, kOriginY + 30);
  view->Repaint();
  // The bottom-right corner point sits at client (kOriginX + 40, kOriginY + 30).
  Drag({{kOriginX + 40, kOriginY + 30}, {kOriginX + 55, kOriginY + 45}, {kOriginX + 60, kOriginY + 50}});
  EXPECT_EQ(SelectionBox(), (RECT{10, 10, 60, 50})) << "the grip follows the mouse, exclusive edge + 1";

  // The left side dragged past the right edge flips the rectangle.
  Drag({{kOriginX + 10, kOriginY + 30}, {kOriginX + 70, kOriginY + 30}, {kOriginX + 80, kOriginY + 30}});
  EXPECT_EQ(view->GetSelectionLeft(), 61);
  EXPECT_EQ(view->GetSelectionRight(), 80) << "then the right side follows to 80 (exclusive 81)";

  view->Select(kOriginX + 10, kOriginY + 10, kOriginX + 30, kOriginY + 20);
  Drag({{kOriginX + 20, kOriginY + 15}, {kOriginX + 30, kOriginY + 20}, {kOriginX + 500, kOriginY + 15}});
  EXPECT_EQ(SelectionBox(), (RECT{80, 10, 99, 19})) << "a moved rectangle stops at the image edge";
  EXPECT_TRUE(MaskAt(99, 15));
}

TEST_F(SelectionTest, EllipsesPolygonsAndTheMagicWand) {
  view->SetMouseInteract({miSelectCircle});
  Drag({{kOriginX + 50, kOriginY + 40}, {kOriginX + 70, kOriginY + 50}});
  EXPECT_TRUE(MaskAt(50, 40));
  EXPECT_TRUE(MaskAt(68, 40));
  EXPECT_FALSE(MaskAt(68, 48)) << "the corner of the box lies outside the ellipse";
  EXPECT_GE(view->GetSelectionPointCount(), 50);

  view->SetMouseInteract({miSelectPolygon});
  for (POINT p : {POINT{10, 10}, POINT{60, 10}}) ClickAt(kOriginX + p.x, kOriginY + p.y);
  display::InjectDoubleClick(Screen(kOriginX + 10, kOriginY + 60));
  Pump();
  EXPECT_TRUE(MaskAt(15, 15));
  EXPECT_FALSE(MaskAt(55, 55));

  view->SetMouseInteract({miSelectMagicWand});
  TIEBitmap* bitmap = view->GetIEBitmap();
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 100; ++x) bitmap->SetPixel24(x, y, x < 30 ? TRGB{0, 0, 0} : TRGB{255, 255, 255});
  view->Update();
  ClickAt(kOriginX + 10, kOriginY + 10);
  EXPECT_EQ(SelectionBox(), (RECT{10, 10, 59, 59})) << "a click inside a selection grabs it to move it";
  view->Deselect();
  ClickAt(kOriginX + 10, kOriginY + 10);
  EXPECT_EQ(SelectionBox(), (RECT{0, 0, 29, 79}));
  EXPECT_TRUE(MaskAt(29, 79));
  EXPECT_FALSE(MaskAt(30, 0));
  const RECT before = SelectionBox();
  view->SelectMagicWand(kOriginX + 150, kOriginY + 10, false);
  EXPECT_EQ(SelectionBox(), before) << "a click outside the bitmap does nothing";
}

TEST_F(SelectionTest, TheOutlineMarchesOnTheTimer) {
  view->Select(kOriginX + 10, kOriginY + 10, kOriginX + 40, kOriginY + 30);
  view->Repaint();
  const auto dash = [](COLORREF c) { return c == RGB(0, 0, 0) || c == RGB(255, 255, 255); };
  for (int32_t x = 12; x < 38; x += 5) EXPECT_TRUE(dash(Probe(kOriginX + x, kOriginY + 10))) << "top edge at " << x;
  EXPECT_TRUE(dash(Probe(kOriginX + 10, kOriginY + 20))) << "left edge";
  EXPECT_EQ(Probe(kOriginX + 20, kOriginY + 20), RGB(20, 20, 7)) << "the image inside stays";
  EXPECT_EQ(Probe(kOriginX + 20, kOriginY + 35), RGB(20, 35, 7)) << "and outside";
  const TIESelectionPolygon* polygon = view->MainSelectionPolygon();
  int edges = 0;
  view->OnDrawPolygon = [&](TObject*, int32_t index, int32_t, TCanvas*, int32_t, int32_t) {
    EXPECT_EQ(index, 0);
    ++edges;
  };
  const int32_t before = view->SelectionState().AnimationCounter;
  Advance(500);
  EXPECT_GE(view->SelectionState().AnimationCounter, before + 2) << "the 210 ms timer moves the dashes";
  EXPECT_TRUE(polygon->Visible);
  EXPECT_EQ(edges, 0) << "a finished selection is drawn as the mask's outline";

  view->SetMouseInteract({miSelectPolygon});
  ClickAt(kOriginX + 60, kOriginY + 10);
  ClickAt(kOriginX + 90, kOriginY + 10);
  ClickAt(kOriginX + 90, kOriginY + 60);
  edges = 0;
  view->Invalidate();
  view->PaintNow();
  EXPECT_EQ(edges, 2) << "the edges of a polygon in progress, the last one left open";
}

// On a layer placed away from the background's origin, the outline follows
// the layer, as its grips do.
TEST_F(SelectionTest, TheOutlineOfAPositionedLayerSitsOnTheLayer) {
  view->AddLayer(50, 40, ie24RGB, 40, 30);
  view->GetIEBitmap()->Fill(0xC8C8C8);
  view->SetSelectionBase(iesbBitmap);
  view->Select(5, 5, 25, 20);
  view->Repaint();
  const auto dash = [](COLORREF c) { return c == RGB(0, 0, 0) || c == RGB(255, 255, 255); };
  for (int32_t x = 12; x < 20; x += 3)
    EXPECT_TRUE(dash(Probe(kOriginX + 40 + x, kOriginY + 30 + 5))) << "top edge at " << x;
  EXPECT_TRUE(dash(Probe(kOriginX + 40 + 5, kOriginY + 30 + 12))) << "left edge";
  EXPECT_EQ(Probe(kOriginX + 15, kOriginY + 5), RGB(15, 5, 7)) << "nothing where the background's pixels are";
}

// Further polygons are drawn beside the selection in their own colours; a
// drawing that may skip does so while another painter holds the canvas.
TEST_F(SelectionTest, FurtherPolygonsAreDrawnUnlessTheCanvasIsLocked) {
  TIESelectionPolygon* extra = view->CreateSelectionPolygon(RGB(255, 0, 0), RGB(0, 0, 255), false, false);
  EXPECT_EQ(view->SelectionPolygonCount(), 2);
  for (const POINT p : {POINT{10, 10}, POINT{60, 10}, POINT{60, 50}}) extra->AddPoint(p.x, p.y);
  int edges = 0;
  view->OnDrawPolygon = [&](TObject*, int32_t index, int32_t, TCanvas*, int32_t, int32_t) { edges += index == 1; };
  view->Canvas()->Lock();
  view->DrawSelectionOutlines(nullptr, true);
  EXPECT_EQ(edges, 0) << "skipped while locked";
  view->DrawSelectionOutlines(nullptr, false);
  EXPECT_EQ(edges, 3) << "two edges and the closing one";
  view->Canvas()->Unlock();
  view->Repaint();
  const auto dash = [](COLORREF c) { return c == RGB(255, 0, 0) || c == RGB(0, 0, 255); };
  for (int32_t x = 12; x < 58; x += 7) EXPECT_TRUE(dash(Probe(kOriginX + x, kOriginY + 10))) << "top edge at " << x;
}

// The selection fills the control: a bordered control zooms by its outer size.
TEST_F(SelectionTest, ZoomToSelectionFitsTheControl) {
  view->SetBorderStyle(bsSingle);
  Pump();
  view->SetSelectionBase(iesbBitmap);
  view->Select(10, 10, 60, 50);
  const int32_t width = view->Width(), height = view->Height();
  ASSERT_LT(view->GetViewWidth(), width);
  view->ZoomToSelection(true, false);
  EXPECT_DOUBLE_EQ(view->Zoom(), std::min(height / 0.4, width / 0.5));
  EXPECT_FALSE(view->Selected());
}

// A drag only moves the outline, which is drawn over the copied back buffer:
// the picture is composed again only when the selection is part of it.
TEST_F(SelectionTest, DraggingRecomposesOnlyAFilledSelection) {
  view->SetMouseInteract({miSelect});
  int composed = 0;
  view->OnDrawBackBuffer = [&](TObject*) { ++composed; };
  const auto drag = [&] {
    display::InjectMouseMove(Screen(kOriginX + 5, kOriginY + 5));
    display::InjectMouseDown(Screen(kOriginX + 5, kOriginY + 5));
    Pump();
    for (int32_t i = 1; i <= 8; ++i) {
      display::InjectMouseMove(Screen(kOriginX + 5 + 5 * i, kOriginY + 5 + 4 * i));
      Pump();
    }
    display::InjectMouseUp(Screen(kOriginX + 45, kOriginY + 37));
    Pump();
  };
  view->PaintNow();
  composed = 0;
  drag();
  EXPECT_LE(composed, 2) << "the press and the release may recompose, no move does";
  EXPECT_EQ(SelectionBox(), (RECT{5, 5, 44, 36}));
  const auto dash = [](COLORREF c) { return c == RGB(0, 0, 0) || c == RGB(255, 255, 255); };
  EXPECT_TRUE(dash(Probe(kOriginX + 20, kOriginY + 5))) << "the outline is shown";

  view->Deselect();
  view->SetSelectionOptions(view->SelectionOptions() + iesoFilled);
  view->PaintNow();
  composed = 0;
  drag();
  EXPECT_GE(composed, 8) << "a filled selection is part of the picture";
}

// Marking the outer part leaves the selected pixels as they are and marks the
// others: blended with the mark colour, or a grey chequer by default.
TEST_F(SelectionTest, MarkOuterShowsTheUnselectedAreaMarked) {
  view->SetSelectionOptions(view->SelectionOptions() + iesoMarkOuter - iesoAnimated);
  view->SetSelectionBase(iesbBitmap);
  view->Select(20, 20, 60, 50);
  view->Repaint();
  EXPECT_EQ(Probe(kOriginX + 40, kOriginY + 35), RGB(40, 35, 7)) << "inside";
  const COLORREF outside[] = {Probe(kOriginX + 70, kOriginY + 10), Probe(kOriginX + 71, kOriginY + 10)};
  EXPECT_NE(outside[0], RGB(70, 10, 7));
  EXPECT_NE(outside[0], outside[1]) << "a chequer";
  view->SelectionState().MarkOuterColor = clBlack;
  view->SelectionState().MarkOuterAlpha = 255;
  view->Update();
  EXPECT_EQ(Probe(kOriginX + 70, kOriginY + 10), RGB(0, 0, 0)) << "the colour at full alpha";
  EXPECT_EQ(Probe(kOriginX + 40, kOriginY + 35), RGB(40, 35, 7));
}
