#include <cmath>
#include <functional>
#include <vector>

#include "platform/rtl/resources.h"

#include "tests/imaging/view/view_input_support.h"

namespace {

using MouseTest = ViewInputTest;

}  // namespace

TEST_F(MouseTest, AddingAModeRemovesTheModesItConflictsWith) {
  struct Case {
    TIEMouseInteract before, added, after;
  };
  const Case cases[] = {
      {{miSelect}, {miScroll}, {miScroll}},
      {{miSelect}, {miZoom}, {miZoom, miSelect}},
      {{miSelect, miMovingScroll}, {miScroll}, {miScroll, miMovingScroll}},
      {{miZoom, miMovingScroll}, {miSelectPolygon}, {miSelectPolygon, miMovingScroll}},
      {{miScroll}, {miSelectMagicWand}, {miSelectMagicWand}},
      {{miZoom}, {miMoveLayers}, {miMoveLayers}},
      {{}, {miRotateLayers, miZoom, miMoveLayers}, {miZoom}},
  };
  for (const Case& c : cases) {
    view->SetMouseInteract(c.before);
    view->SetMouseInteract(c.before + c.added);
    EXPECT_EQ(view->MouseInteract(), c.after) << c.before.Bits() << " + " << c.added.Bits();
  }
}

TEST_F(MouseTest, ClicksZoomInAndOutByTheUsualSteps) {
  view->SetMouseInteract({miZoom});
  struct Case {
    double from;
    display::MouseButton button;
    double to;
  };
  const Case cases[] = {
      {60, display::MouseButton::Left, 75},   {100, display::MouseButton::Left, 200},
      {250, display::MouseButton::Left, 350}, {60, display::MouseButton::Right, 50},
      {3, display::MouseButton::Right, 2},    {2, display::MouseButton::Right, 2},
      {250, display::MouseButton::Right, 150},
      {250, display::MouseButton::Middle, 250},  // the middle button zooms neither way
  };
  for (const Case& c : cases) {
    view->SetZoom(c.from);
    ClickAt(100, 75, c.button);
    EXPECT_DOUBLE_EQ(view->Zoom(), c.to) << c.from;
  }
  double asked = 0;
  view->OnZoomIn = [&](TObject*, double& zoom) {
    asked = zoom;
    zoom = 300;
  };
  view->SetZoom(100);
  ClickAt(100, 75);
  EXPECT_DOUBLE_EQ(asked, 200);
  EXPECT_DOUBLE_EQ(view->Zoom(), 300) << "OnZoomIn may change the zoom";
}

// The view handles the mouse in client coordinates; its events still see
// the selection base that the application chose, and get it back after.
TEST_F(MouseTest, EventsDuringMouseHandlingSeeTheUsersSelectionBase) {
  view->SetSelectionBase(iesbBitmap);
  std::vector<TIESelectionBase> seen;
  view->OnZoomIn = [&](TObject*, double&) { seen.push_back(view->SelectionBase()); };
  view->OnSelectionChanging = [&](TObject*) { seen.push_back(view->SelectionBase()); };
  view->SetMouseInteract({miZoom});
  ClickAt(100, 75);
  view->SetZoom(100);
  view->SetMouseInteract({miSelect});
  Drag({{kOriginX + 10, kOriginY + 10}, {kOriginX + 30, kOriginY + 20}});
  ASSERT_GE(seen.size(), 2u);
  for (TIESelectionBase base : seen) EXPECT_EQ(base, iesbBitmap);
  EXPECT_EQ(view->SelectionBase(), iesbBitmap);
  EXPECT_EQ(SelectionBox(), (RECT{10, 10, 29, 19}));
}

TEST_F(MouseTest, DraggingWithScrollMovesTheImage) {
  view->SetZoom(400);
  view->SetMouseInteract({miScroll});
  view->SetViewXY(100, 100);
  Drag({{100, 100}, {90, 95}, {80, 90}});
  EXPECT_EQ(view->ViewX(), 120);
  EXPECT_EQ(view->ViewY(), 110);
}

TEST_F(MouseTest, TheWheelZoomsOrScrolls) {
  const POINT centre = Screen(100, 75);
  view->SetZoom(100);
  display::InjectWheel(centre, 120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), 92) << "a notch forward zooms out by 8 % of the zoom";
  display::InjectWheel(centre, -120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), 99) << "8 % of 92 rounds to 7";
  view->SetZoom(5);
  display::InjectWheel(centre, 120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), 4) << "at least one percent";

  view->MouseWheelParams().InvertDirection = true;
  view->SetZoom(100);
  display::InjectWheel(centre, 120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), 108);

  view->MouseWheelParams().InvertDirection = false;
  view->MouseWheelParams().Action = 1;
  view->SetZoom(400);
  view->SetViewXY(0, 0);
  display::InjectWheel(centre, -120);
  Pump();
  EXPECT_EQ(view->ViewY(), 12) << "8 % of the 150-pixel view";
  EXPECT_EQ(view->ViewX(), 0);

  view->SetAutoFit(true);
  const double fitted = view->Zoom();
  view->MouseWheelParams().Action = 2;
  display::InjectWheel(centre, 120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), fitted) << "the wheel does nothing while the view fits the image";
}

TEST_F(MouseTest, TheViewCursorsAreInTheScreenTable) {
  for (TCursor index = 1778; index <= 1814; ++index) EXPECT_NE(::Screen->Cursors(index), nullptr) << index;
  EXPECT_EQ(view->Cursor(), crIECrossHair) << "the view's default cursor";
}

// What the screen shows over the view in each mode: the program's own cursor
// pictures, by their resource names (the hot spot of each kind in its centre
// or at its tip).
TEST_F(MouseTest, EachModeShowsItsOwnCursorPicture) {
  const RECT box = view->GetLayer(0)->ScreenBox;  // the image: 100 x 80 centred
  const POINT mid{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
  auto grip = [&](TIEGrip g) {
    const RECT r = view->GetLayerGrips(0)[g - 1];
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  };
  enum Action { Hover, HoverShift, Press };
  struct Case {
    TIEMouseInteract modes;
    Action action;
    std::function<POINT()> at;
    const char* cursor;
    POINT hotSpot;
    double zoom = 100;  // 400: the image can be scrolled
  };
  const Case cases[] = {
      {{miSelect}, Hover, [&] { return mid; }, "CROCE3", {16, 16}},
      {{miZoom}, Hover, [&] { return mid; }, "CROCE3", {16, 16}},
      {{miSelect}, HoverShift, [&] { return mid; }, "CROCE3+", {16, 16}},
      {{miScroll}, Press, [&] { return mid; }, "MANO", {8, 7}, 400},
      {{miMoveLayers}, Hover, [&] { return mid; }, "MOVE", {16, 16}},
      {{miResizeLayers}, Hover, [&] { return grip(ieBottomRight); }, "MOVE2", {16, 16}},
      {{miResizeLayers}, Hover, [&] { return grip(ieTopRight); }, "MOVE1", {16, 16}},
      {{miResizeLayers}, Hover, [&] { return grip(ieBottomSide); }, "MOVEY", {16, 16}},
      {{miResizeLayers}, Hover, [&] { return grip(ieLeftSide); }, "MOVEX", {16, 16}},
      {{miRotateLayers}, Hover, [&] { return POINT{box.left - 20, box.top - 10}; }, "ROT4", {16, 16}},
      {{miRotateLayers}, Hover, [&] { return POINT{box.right + 20, box.top - 10}; }, "ROT2", {16, 16}},
      {{miRotateLayers}, Hover, [&] { return POINT{box.left - 20, box.bottom + 10}; }, "ROT1", {16, 16}},
      {{miRotateLayers}, Hover, [&] { return POINT{box.right + 20, box.bottom + 10}; }, "ROT3", {16, 16}},
  };
  view->GetLayer(0)->Locked = false;  // the image's layer is locked until a program frees it
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cursor);
    view->SetZoom(c.zoom);
    view->SetMouseInteract(c.modes);
    view->SetFocus();
    Pump();
    const POINT p = c.at();
    // The screen takes a control's cursor as the mouse moves on.
    display::InjectMouseMove(Screen(p.x, p.y + 1));
    if (c.action == HoverShift) display::InjectKeyDown(VK_SHIFT);
    if (c.action == Press) display::InjectMouseDown(Screen(p.x, p.y + 1));
    display::InjectMouseMove(Screen(p.x, p.y));
    Pump();
    const HCURSOR want = LoadCursor(HInstance, c.cursor);
    ASSERT_NE(want, nullptr);
    EXPECT_EQ(GetCursor(), want);
    const display::CursorPicture* shown = display::HeadlessCursorPicture();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->hotSpot, c.hotSpot);
    if (c.action == HoverShift) display::InjectKeyUp(VK_SHIFT);
    if (c.action == Press) display::InjectMouseUp(Screen(p.x, p.y));
    display::InjectMouseMove(Screen(5, 5));
    Pump();
    view->SetMouseInteract({});
  }
  // Every view cursor is a picture of its own, but for the indexes that
  // share one; resources the program lacks show the arrow.
  std::vector<HCURSOR> own;
  for (TCursor index = crIEZoomOut; index <= crIECrossHair2Minus; ++index) own.push_back(::Screen->Cursors(index));
  for (TCursor index = crIERotateBottomLeft; index <= crIERotateTopLeft; ++index)
    own.push_back(::Screen->Cursors(index));
  for (size_t i = 0; i < own.size(); ++i)
    for (size_t k = i + 1; k < own.size(); ++k) EXPECT_NE(own[i], own[k]) << i << " " << k;
  EXPECT_EQ(::Screen->Cursors(1795), ::Screen->Cursors(1796));
  EXPECT_EQ(::Screen->Cursors(1805), ::Screen->Cursors(1806));
  EXPECT_EQ(::Screen->Cursors(1797), LoadCursor(nullptr, IDC_ARROW));
  EXPECT_EQ(::Screen->Cursors(crIEZoomIn), LoadCursor(HInstance, "ZOOMPIU"));
}

TEST_F(MouseTest, ShiftShowsThePlusCursorOverTheView) {
  view->SetMouseInteract({miSelect});
  view->SetFocus();
  Pump();
  display::InjectMouseMove(Screen(100, 75));
  Pump();
  display::InjectKeyDown(VK_SHIFT);
  Pump();
  EXPECT_EQ(view->TControl::Cursor(), crIECrossHairPlus);
  display::InjectKeyUp(VK_SHIFT);
  Pump();
  EXPECT_EQ(view->TControl::Cursor(), crIECrossHair);
}

TEST_F(MouseTest, SmoothScrollingGlidesOnTheTimer) {
  view->SetZoom(400);
  int finished = 0;
  view->OnFinishSmoothTask = [&](TObject*, TIESmoothTask task) {
    EXPECT_EQ(task, iestScroll);
    ++finished;
  };
  view->SetViewXY(0, 0);
  view->SmoothScrollTo(160, 80);
  EXPECT_EQ(view->ViewX(), 20) << "the first step runs at once: an eighth of the way";
  EXPECT_EQ(view->ViewY(), 10);
  Advance(30);
  EXPECT_EQ(view->ViewX(), 38);
  view->SmoothScrollTo(0, 0);  // retargets the same glide
  Advance(3000);
  EXPECT_LE(view->ViewX(), 4) << "the glide ends a few pixels short";
  EXPECT_EQ(finished, 1);

  view->SmoothScrollDivisor = 0;
  view->SmoothScrollTo(100, 50);
  EXPECT_EQ(view->ViewX(), 100);
  EXPECT_EQ(finished, 1) << "without smoothing nothing glides and nothing finishes";

  view->SmoothScrollDivisor = 8;
  view->SmoothScrollTo(300, 50);
  display::InjectMouseDown(Screen(5, 5));
  Pump();
  const int32_t held = view->ViewX();
  Advance(300);
  EXPECT_LE(view->ViewX(), held + 25) << "a pressed button stops the glide at the next tick";
  display::InjectMouseUp(Screen(5, 5));
  Pump();
  EXPECT_EQ(finished, 2);
  view->SetZoom(200);
  EXPECT_GT(finished, 2) << "a zoom change reports a finished scroll";
}

TEST_F(MouseTest, GesturesZoomScrollAndTurnLayers) {
  TIEViewerGestures& g = view->Gestures();
  g.Zoom.SetEnabled(true);
  g.Pan.SetEnabled(true);
  g.LayerRotate.SetEnabled(true);
  view->SetZoom(100);
  constexpr uint32_t begin = 1, inertia = 2;
  view->HandleGesture(begin, 3, POINT{0, 0}, 100);
  EXPECT_TRUE(view->HandleGesture(0, 3, POINT{0, 0}, 103));
  EXPECT_DOUBLE_EQ(view->Zoom(), 100) << "103 % snaps to 100";
  view->HandleGesture(0, 3, POINT{0, 0}, 150);
  EXPECT_DOUBLE_EQ(view->Zoom(), 150);

  view->SetZoom(400);
  view->SetViewXY(50, 50);
  view->HandleGesture(begin, 4, POINT{100, 100}, 0);
  view->HandleGesture(0, 4, POINT{90, 80}, 0);
  EXPECT_EQ(view->ViewX(), 60);
  EXPECT_EQ(view->ViewY(), 70);
  EXPECT_TRUE(view->HandleGesture(inertia, 4, POINT{80, 80}, 0)) << "inertia pans";

  g.LayerMove.SetEnabled(true);
  EXPECT_FALSE(g.Pan.Enabled()) << "enabling layer moves switches panning off";
  const int32_t layer = view->AddLayer(10, 10, ie24RGB, 20, 20);
  view->SetCurrentLayer(layer);
  view->HandleGesture(begin, 4, POINT{100, 100}, 0);
  view->HandleGesture(0, 4, POINT{140, 100}, 0);
  EXPECT_EQ(view->GetCurrentLayer()->PosX, 30) << "40 pixels at 400 % move the layer by 10";
  EXPECT_FALSE(view->HandleGesture(inertia, 4, POINT{180, 100}, 0)) << "no inertia for layers";
  EXPECT_EQ(view->GetCurrentLayer()->PosX, 30);

  // A rotation argument of a gives a / 65535 x 4 pi - 2 pi radians.
  const auto rotation = [](double degrees) {
    return static_cast<uint64_t>(std::lround((degrees / 180 * 3.14159265 + 6.2831853) / (4 * 3.14159265) * 65535));
  };
  view->HandleGesture(begin, 5, POINT{0, 0}, rotation(0));
  view->HandleGesture(0, 5, POINT{0, 0}, rotation(43));
  EXPECT_DOUBLE_EQ(view->GetCurrentLayer()->Angle(), 45) << "43 degrees snap to 45";

  view->OnImageryGesture = [](TObject*, TIEGestureFlags, TIEGestureID id, POINT, int32_t, int32_t, int32_t, uint32_t,
                              bool& handled) { handled = id == iegiZoom; };
  const double zoom = view->Zoom();
  EXPECT_TRUE(view->HandleGesture(0, 3, POINT{0, 0}, 10));
  EXPECT_DOUBLE_EQ(view->Zoom(), zoom) << "a handler that sets Handled suppresses the built-in action";
}

TEST_F(MouseTest, TheNavigatorFollowsAndScrollsTheMainView) {
  auto* navigator = Add<TImageryView>(form, "Navigator", {220, 10, 320, 90});
  // The navigator keeps a half-size picture of its own (option 4).
  TIEBitmap* small = navigator->GetIEBitmap();
  small->Allocate(50, 40, ie24RGB);
  small->Fill(0);
  view->SetZoom(400);
  view->SetViewXY(0, 0);
  view->SetNavigator(navigator, 1 | 4);
  EXPECT_TRUE(navigator->IsNavigator());
  EXPECT_TRUE(navigator->AutoFit());
  // The client area at 400 % shows a quarter of the client size in bitmap pixels, halved in the navigator.
  const int32_t shownWidth = view->ClientToBitmapX(view->ClientWidth());
  EXPECT_EQ(navigator->GetSelectionLeft(), 0);
  EXPECT_EQ(navigator->GetSelectionRight() + 1, static_cast<int32_t>(std::nearbyint(shownWidth * 0.5)));

  view->SetViewXY(80, 40);
  EXPECT_EQ(navigator->GetSelectionLeft(), 10) << "scrolling the main view moves the rectangle";
  EXPECT_EQ(navigator->GetSelectionTop(), 5);
  EXPECT_EQ(view->ViewX(), 80) << "and the rectangle does not scroll it back";

  navigator->OffsetSelection(10, 5);
  navigator->DoSelectionChanging();
  EXPECT_EQ(view->ViewX(), 160) << "moving the rectangle scrolls the main view";
  EXPECT_EQ(view->ViewY(), 80);

  display::InjectWheel(navigator->ClientToScreen(POINT{40, 40}), 120);
  Pump();
  EXPECT_DOUBLE_EQ(view->Zoom(), 368) << "the wheel over the navigator zooms the main view out";

  delete navigator;
  EXPECT_EQ(view->Navigator(), nullptr);
  view->SetViewXY(0, 0);
  view->SetZoom(200);

  // Without option 4 the navigator shows the main view's own bitmap, until it is released.
  auto* second = Add<TImageryView>(form, "Second", {220, 10, 320, 90});
  view->SetNavigator(second, 0);
  EXPECT_EQ(second->GetIEBitmap(), view->GetIEBitmap());
  view->SetNavigator(nullptr, 0);
  EXPECT_FALSE(second->IsNavigator());
  EXPECT_NE(second->GetIEBitmap(), view->GetIEBitmap());
}

TEST_F(MouseTest, ZoomSelectionLassoAndMovingScroll) {
  view->SetMouseInteract({miSelectZoom});
  view->Select(kOriginX + 60, kOriginY + 60, kOriginX + 70, kOriginY + 70);
  Drag({{kOriginX + 10, kOriginY + 10}, {kOriginX + 30, kOriginY + 20}, {kOriginX + 60, kOriginY + 40}});
  EXPECT_DOUBLE_EQ(view->Zoom(), std::min(view->ClientWidth() / 0.5, view->ClientHeight() / 0.3))
      << "the dragged 50 x 30 box fills the view";
  EXPECT_EQ(view->ClientToBitmapX(view->ClientWidth() / 2), 35) << "centred on the box";
  EXPECT_EQ(SelectionBox(), (RECT{60, 60, 69, 69})) << "the selection before the drag comes back";

  view->Deselect();
  view->SetZoom(100);
  view->SetViewXY(0, 0);
  kOriginX = view->BitmapToClientX(0);
  kOriginY = view->BitmapToClientY(0);
  view->SetMouseInteract({miSelectLasso});
  Drag({{kOriginX + 10, kOriginY + 10}, {kOriginX + 60, kOriginY + 10}, {kOriginX + 60, kOriginY + 60},
        {kOriginX + 10, kOriginY + 60}});
  EXPECT_FALSE(view->SelectionState().PolygonInProgress) << "releasing the button ends a lasso";
  EXPECT_TRUE(MaskAt(35, 35));
  EXPECT_FALSE(MaskAt(70, 35));
  ClickAt(kOriginX + 80, kOriginY + 70);
  EXPECT_FALSE(view->Selected()) << "a click without drag removes it";

  view->SetMouseInteract({miMovingScroll});
  view->SetZoom(400);
  view->SetViewXY(0, 0);
  view->SmoothScrollDivisor = 0;
  int32_t maxX = 0, maxY = 0;
  view->GetMaxViewXY(maxX, maxY);
  display::InjectMouseMove(Screen(view->ClientWidth() / 2, view->ClientHeight() / 2));
  Pump();
  EXPECT_EQ(view->ViewX(), static_cast<int32_t>((static_cast<double>(view->ClientWidth() / 2) / view->ClientWidth() - 0.02) * 1.05 * maxX))
      << "the pointer's place in the view picks the place in the image";
}

TEST_F(MouseTest, LayersAreMovedResizedAndTurnedWithTheMouse) {
  const int32_t index = view->AddLayer(20, 20, ie24RGB, 10, 10);
  std::vector<TIELayerEvent> events;
  view->OnLayerNotify = [&](TObject*, int32_t layer, TIELayerEvent event) {
    EXPECT_EQ(layer, index);
    events.push_back(event);
  };
  TIELayer* layer = view->GetLayer(index);

  view->SetMouseInteract({miMoveLayers});
  view->PaintNow();
  Drag({{kOriginX + 20, kOriginY + 20}, {kOriginX + 30, kOriginY + 22}, {kOriginX + 35, kOriginY + 25}});
  EXPECT_EQ(layer->PosX, 25);
  EXPECT_EQ(layer->PosY, 15);
  EXPECT_EQ(events, (std::vector<TIELayerEvent>{ielSelected, ielBeginMoving, ielMoving, ielMoving, ielMoved}));

  events.clear();
  view->SetMouseInteract({miResizeLayers});
  view->PaintNow();
  const RECT box = layer->ScreenBox;
  Drag({{box.right, box.bottom}, {box.right + 5, box.bottom + 2}, {box.right + 10, box.bottom + 4}});
  EXPECT_EQ(layer->Width, 30);
  EXPECT_EQ(layer->Height, 24);
  EXPECT_EQ(events.front(), ielBeginResizing);
  EXPECT_EQ(events.back(), ielResized);

  view->PaintNow();
  display::InjectKeyDown(VK_MENU);  // Alt keeps the aspect ratio
  Pump();
  const RECT box2 = layer->ScreenBox;
  Drag({{box2.right, box2.bottom}, {box2.right + 10, box2.bottom}});
  display::InjectKeyUp(VK_MENU);
  Pump();
  EXPECT_EQ(layer->Width, 40);
  EXPECT_EQ(layer->Height, 32) << "the height follows the width at 24 / 30";

  view->SetMouseInteract({miRotateLayers});
  view->PaintNow();
  const RECT box3 = layer->ScreenBox;
  // Above the layer and moving right: the horizontal movement turns it (negated above the centre).
  Drag({{box3.left, box3.top - 10}, {box3.left + 40, box3.top - 10}, {box3.left + 80, box3.top - 10}});
  EXPECT_DOUBLE_EQ(layer->Angle(), -20) << "80 pixels / 4, negated above the centre";
}
