// Common and extra controls: ranges kept, mouse and keys, pages, timers,
// speed button groups, image placement, and a snapshot of painted controls.
#include "platform/forms/comctrls.h"

#include <gtest/gtest.h>

#include "platform/forms/extctrls.h"
#include "platform/rtl/sysutils.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

using CommonTest = FormsTest;

TEST_F(CommonTest, RangedControlsKeepTheirPositionInRange) {
  TForm* form = MakeForm();
  auto* progress = Add<TProgressBar>(form, "Progress", {10, 10, 210, 27});
  auto* track = Add<TTrackBar>(form, "Track", {10, 40, 210, 85});
  auto* scroll = Add<TScrollBar>(form, "Scroll", {10, 100, 210, 117});
  progress->SetPosition(150);
  EXPECT_EQ(progress->Position(), 100);
  progress->SetPosition(95);
  progress->StepIt();
  EXPECT_EQ(progress->Position(), 5) << "stepping past the end starts again";
  int changes = 0;
  track->OnChange = [&](TObject*) { ++changes; };
  track->SetPosition(-3);
  EXPECT_EQ(track->Position(), 0);
  EXPECT_EQ(changes, 0) << "no change, no event";
  track->SetPosition(20);
  EXPECT_EQ(track->Position(), 10);
  EXPECT_EQ(changes, 1);
  scroll->SetPageSize(10);
  scroll->SetPosition(200);
  EXPECT_EQ(scroll->Position(), 91) << "the last page ends at Max";
  EXPECT_THROW(scroll->SetParams(0, 10, 5), EInvalidOperation);
}

TEST_F(CommonTest, TrackBarFollowsKeysAndMouse) {
  TForm* form = MakeForm();
  auto* track = Add<TTrackBar>(form, "Track", {10, 10, 230, 55});
  track->SetMax(20);
  form->Show();
  Pump();
  track->SetFocus();
  Pump();
  Key(VK_RIGHT);
  Key(VK_NEXT);
  EXPECT_EQ(track->Position(), 3);
  Key(VK_END);
  EXPECT_EQ(track->Position(), 20);
  Key(VK_HOME);
  const RECT thumb = track->ThumbRect();
  const POINT from{(thumb.left + thumb.right) / 2, (thumb.top + thumb.bottom) / 2};
  display::InjectMouseDown(At(track, from.x, from.y));
  display::InjectMouseMove(At(track, track->Width() - 12, from.y));
  display::InjectMouseUp(At(track, track->Width() - 12, from.y));
  Pump();
  EXPECT_EQ(track->Position(), 20) << "dragging the thumb to the end";
  Click(track, 14, from.y);
  EXPECT_EQ(track->Position(), 18) << "a click beside the thumb moves a page";
}

TEST_F(CommonTest, UpDownStepsItsAssociateWithinLimits) {
  TForm* form = MakeForm();
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 80, 31});
  auto* updown = Add<TUpDown>(form, "UpDown", {0, 0, 17, 21});
  updown->SetMin(0);
  updown->SetMax(1500);
  updown->SetIncrement(600);
  updown->SetAssociate(edit);
  EXPECT_EQ(updown->Left(), 80) << "it sits at the edit's right edge";
  EXPECT_EQ(edit->Text(), "0");
  std::vector<TUDBtnType> clicks;
  updown->OnClick = [&](TObject*, TUDBtnType b) { clicks.push_back(b); };
  form->Show();
  Pump();
  Click(updown, 8, 3);
  Click(updown, 8, 3);
  EXPECT_EQ(updown->Position(), 1200);
  EXPECT_EQ(edit->Text(), std::string("1") + FormatSettings.ThousandSeparator + "200");
  Click(updown, 8, 3);
  EXPECT_EQ(updown->Position(), 1500) << "stops at Max";
  Click(updown, 8, 18);
  EXPECT_EQ(updown->Position(), 900);
  EXPECT_EQ(clicks, (std::vector<TUDBtnType>{btNext, btNext, btNext, btPrev}));
  updown->SetWrap(true);
  updown->SetPosition(1500);
  updown->Step(btNext);
  EXPECT_EQ(updown->Position(), 0) << "Wrap goes round";
  updown->OnChanging = [](TObject*, bool& allow) { allow = false; };
  updown->Step(btNext);
  EXPECT_EQ(updown->Position(), 0);
  delete edit;
  EXPECT_EQ(updown->Associate(), nullptr);
}

TEST_F(CommonTest, PageControlSwitchesByTabClickAndKeys) {
  TForm* form = MakeForm();
  auto* pages = Add<TPageControl>(form, "Pages", {10, 10, 310, 210});
  std::vector<TTabSheet*> sheets;
  for (const char* caption : {"&General", "&Options", "&Hidden", "&About"}) {
    auto* sheet = new TTabSheet(form);
    sheet->SetCaption(caption);
    sheet->SetPageControl(pages);
    sheets.push_back(sheet);
  }
  sheets[2]->SetTabVisible(false);
  auto* edit = Add<TEdit>(sheets[0], "Edit", {10, 10, 100, 31});
  std::vector<int> changes;
  pages->OnChange = [&](TObject*) { changes.push_back(pages->ActivePageIndex()); };
  form->Show();
  Pump();
  EXPECT_EQ(pages->ActivePage(), sheets[0]);
  EXPECT_TRUE(sheets[0]->Visible());
  EXPECT_FALSE(sheets[1]->Visible());
  EXPECT_EQ(sheets[0]->BoundsRect().top, pages->TabHeight() + 4) << "the page fills the area under the tabs";

  const RECT optionsTab = pages->TabRect(1);
  Click(pages, optionsTab.left + 5, optionsTab.top + 5);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  Key(VK_RIGHT);
  EXPECT_EQ(pages->ActivePage(), sheets[3]) << "the page without a tab is skipped";
  edit->SetVisible(true);
  pages->SetActivePage(sheets[0]);
  edit->SetFocus();
  Pump();
  Chord({VK_CONTROL}, VK_TAB);
  EXPECT_EQ(pages->ActivePage(), sheets[1]);
  Chord({VK_MENU}, 'A');
  EXPECT_EQ(pages->ActivePage(), sheets[3]);
  EXPECT_EQ(changes, (std::vector<int>{1, 3, 1, 3})) << "the program's own change sends no OnChange";

  pages->OnChanging = [](TObject*, bool& allow) { allow = false; };
  pages->SelectNextPage(true);
  EXPECT_EQ(pages->ActivePage(), sheets[3]);
  delete sheets[3];
  EXPECT_EQ(pages->PageCount(), 3);
  EXPECT_NE(pages->ActivePage(), nullptr);
}

TEST_F(CommonTest, TimerFiresWhileEnabled) {
  UseManualClock(1000);
  auto* timer = new TTimer(Application);
  int fired = 0;
  timer->SetInterval(100);
  timer->SetOnTimer([&](TObject*) { ++fired; });
  AdvanceClock(100);
  Pump();
  EXPECT_EQ(fired, 1);
  timer->SetEnabled(false);
  AdvanceClock(300);
  Pump();
  EXPECT_EQ(fired, 1);
  timer->SetEnabled(true);
  AdvanceClock(100);
  Pump();
  EXPECT_EQ(fired, 2);
  delete timer;
  AdvanceClock(100);
  Pump();
  EXPECT_EQ(fired, 2);
  UseRealClock();
}

TEST_F(CommonTest, SpeedButtonsOfAGroupStayDownOneAtATime) {
  TForm* form = MakeForm();
  auto* a = Add<TSpeedButton>(form, "A", {10, 10, 33, 32});
  auto* b = Add<TSpeedButton>(form, "B", {40, 10, 63, 32});
  int clicks = 0;
  a->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Pump();
  Click(a);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(a->Down()) << "without a group a speed button springs back";
  a->SetGroupIndex(1);
  b->SetGroupIndex(1);
  Click(a);
  EXPECT_TRUE(a->Down());
  Click(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down());
  Click(b);
  EXPECT_TRUE(b->Down()) << "the last one stays down unless AllowAllUp";
  b->SetAllowAllUp(true);
  Click(b);
  EXPECT_FALSE(b->Down());
}

TEST_F(CommonTest, ImagePlacesItsPicture) {
  TForm* form = MakeForm();
  auto* image = Add<TImage>(form, "Image", {0, 0, 100, 50});
  image->Picture()->Bitmap()->SetSize(40, 40);
  struct Case {
    bool center, proportional, stretch;
    RECT expected;
  } cases[] = {
      {false, false, false, {0, 0, 40, 40}},   {true, false, false, {30, 5, 70, 45}},
      {false, false, true, {0, 0, 100, 50}},  {false, true, true, {0, 0, 50, 50}},
      {true, true, true, {25, 0, 75, 50}},    {true, true, false, {30, 5, 70, 45}},
  };
  for (const Case& c : cases) {
    image->SetCenter(c.center);
    image->SetProportional(c.proportional);
    image->SetStretch(c.stretch);
    const RECT r = image->DestRect();
    EXPECT_TRUE(EqualRect(&r, &c.expected)) << c.center << c.proportional << c.stretch << ": " << r.left << ","
                                            << r.top << "," << r.right << "," << r.bottom;
  }
  image->Picture()->Bitmap()->SetSize(200, 100);
  image->SetStretch(false);
  image->SetCenter(false);
  const RECT shrunk = image->DestRect();
  EXPECT_EQ(shrunk.right, 100) << "Proportional shrinks a picture larger than the image";
  EXPECT_EQ(shrunk.bottom, 50);
}

TEST_F(CommonTest, PaintedControlsShowOnTheWindowSurface) {
  TForm* form = MakeForm(300, 200);
  auto* progress = Add<TProgressBar>(form, "Progress", {10, 10, 210, 30});
  progress->SetSmooth(true);
  progress->SetPosition(50);
  auto* box = Add<TPaintBox>(form, "Box", {10, 50, 60, 100});
  box->OnPaint = [box](TObject*) {
    box->Canvas()->Brush()->SetColor(clRed);
    box->Canvas()->FillRect(box->ClientRect());
  };
  form->Show();
  Pump();
  form->Update();
  Surface* surface = GetWindowSurface(form->Handle());
  ASSERT_NE(surface, nullptr);
  auto pixel = [&](TControl* c, int x, int y) {
    POINT p = c->ClientToScreen(POINT{x, y});
    RECT w;
    GetWindowRect(form->Handle(), &w);
    return surface->Row(p.y - w.top)[p.x - w.left] & 0xFFFFFF;
  };
  const COLORREF highlight = ColorToRGB(clHighlight);
  const uint32_t highlightPixel = (GetRValue(highlight) << 16) | (GetGValue(highlight) << 8) | GetBValue(highlight);
  EXPECT_EQ(pixel(progress, 20, 10), highlightPixel) << "the filled half";
  EXPECT_NE(pixel(progress, 180, 10), highlightPixel) << "the empty half";
  EXPECT_EQ(pixel(box, 25, 25), 0xFF0000u) << "the paint box's own drawing";
}

}  // namespace

namespace {

TEST_F(CommonTest, ScrollBoxScrollsItsContentsIntoView) {
  TForm* form = MakeForm();
  auto* box = Add<TScrollBox>(form, "Box", {10, 10, 210, 110});
  box->SetBorderStyle(bsNone);
  auto* far = Add<TEdit>(box, "Far", {20, 300, 120, 321});
  auto* near = Add<TEdit>(box, "Near", {20, 10, 120, 31});
  box->UpdateScrollRanges();
  EXPECT_TRUE(box->VertScrollBar()->IsScrollBarVisible());
  EXPECT_FALSE(box->HorzScrollBar()->IsScrollBarVisible());
  EXPECT_EQ(box->VertScrollBar()->Range(), 321);
  box->ScrollInView(far);
  EXPECT_EQ(box->VertScrollBar()->Position(), 221) << "the far edit's bottom meets the view's bottom";
  EXPECT_EQ(far->Top(), 79);
  EXPECT_EQ(near->Top(), -211);
  box->VertScrollBar()->SetPosition(10000);
  EXPECT_EQ(box->VertScrollBar()->Position(), 221) << "kept within the range";
  box->VertScrollBar()->SetPosition(0);
  EXPECT_EQ(near->Top(), 10);
  form->Show();
  Pump();
  display::InjectWheel(At(box, 50, 50), -WHEEL_DELTA);
  Pump();
  EXPECT_EQ(box->VertScrollBar()->Position(), 24) << "the focused edit leaves the wheel to its box";
  EXPECT_EQ(near->Top(), -14);
  EXPECT_EQ(far->Top(), 276);
}

}  // namespace
