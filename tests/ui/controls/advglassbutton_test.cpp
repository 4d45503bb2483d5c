// The glass button driven by injected mouse and keys, with probes of its
// painted face; the shortcut hint window and the hint record.
#include <functional>

#include "platform/forms/properties.h"
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/advglassbutton.h"

namespace {

class GlassButtonTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    form = MakeForm();
    form->SetColor(clWhite);
  }
  TAdvGlassButton* Button(const char* name, RECT r, const char* caption = nullptr) {
    auto* b = Add<TAdvGlassButton>(form, name, r);
    b->SetCaption(caption ? caption : name);
    b->OnClick = [this, b](TObject*) { clicks.push_back(b->Name()); };
    return b;
  }
  void Show() {
    form->Show();
    Pump();
  }
  TForm* form = nullptr;
  std::vector<std::string> clicks;
};

int Red(COLORREF c) { return GetRValue(c); }
int Green(COLORREF c) { return GetGValue(c); }

}  // namespace

TEST_F(GlassButtonTest, ClicksOnReleaseInsideOnly) {
  auto* b = Button("Ok", {10, 10, 110, 42});
  Show();
  Click(b);
  EXPECT_EQ(clicks.size(), 1u);
  EXPECT_EQ(b->State(), gbsUp);
  display::InjectMouseDown(At(b));
  Pump();
  EXPECT_EQ(b->State(), gbsDown);
  EXPECT_TRUE(b->Pressed());
  display::InjectMouseMove(At(b, 150, 10));
  Pump();
  EXPECT_EQ(b->State(), gbsUp) << "moving out while tracking";
  display::InjectMouseUp(At(b, 150, 10));
  Pump();
  EXPECT_EQ(clicks.size(), 1u) << "released outside: no click";
  EXPECT_FALSE(b->Pressed());
  b->SetDown(true);
  EXPECT_FALSE(b->Down()) << "a plain push button never stays down";
  EXPECT_EQ(b->Version(), "1.2.3.0");
  b->SetCornerRadius(-1);
  EXPECT_EQ(b->CornerRadius(), 4);
}

TEST_F(GlassButtonTest, ToggleAndGroupExclusion) {
  auto* check = Button("Check", {10, 10, 110, 42});
  check->SetStyle(tasCheck);
  auto* a = Button("A", {10, 50, 110, 82});
  auto* b = Button("B", {120, 50, 220, 82});
  auto* other = Add<TPanel>(form, "Other", {10, 100, 300, 160});
  auto* c = new TAdvGlassButton(form);
  c->SetParent(other);
  c->SetBounds(5, 5, 80, 30);
  for (auto* g : {a, b, c}) g->SetGroupIndex(1);
  Show();
  Click(check);
  EXPECT_TRUE(check->Down());
  Click(check);
  EXPECT_FALSE(check->Down());

  c->SetDown(true);
  Click(a);
  EXPECT_TRUE(a->Down());
  EXPECT_EQ(a->State(), gbsExclusive);
  Click(b);
  EXPECT_TRUE(b->Down());
  EXPECT_FALSE(a->Down()) << "one of a group goes up when another goes down";
  EXPECT_TRUE(c->Down()) << "buttons of another parent are not touched";
  Click(b);
  EXPECT_TRUE(b->Down()) << "without AllowAllUp the down button stays down";
  b->SetDown(false);
  EXPECT_TRUE(b->Down());
  b->SetAllowAllUp(true);
  Click(b);
  EXPECT_FALSE(b->Down());
}

TEST_F(GlassButtonTest, KeysAndAccelerator) {
  auto* a = Button("Apply", {10, 10, 110, 42}, "&Apply");
  auto* b = Button("Other", {120, 10, 220, 42});
  Show();
  a->SetFocus();
  Pump();
  Key(VK_RETURN);
  Key(VK_SPACE);
  EXPECT_EQ(clicks, (std::vector<std::string>{"Apply", "Apply"}));
  b->SetFocus();
  Pump();
  Chord({VK_SHIFT}, VK_RETURN);
  EXPECT_EQ(clicks.size(), 2u) << "Enter with a modifier does not click";
  Type("a");
  EXPECT_EQ(clicks.back(), "Apply") << "the caption's accelerator clicks";
}

TEST_F(GlassButtonTest, HoverFollowsThePointerOntoAnOverlappingSibling) {
  auto* a = Button("A", {10, 10, 110, 42});
  auto* b = Button("B", {60, 20, 160, 52});
  int leaves = 0;
  a->OnMouseLeave = [&](TObject*) { ++leaves; };
  Show();
  display::InjectMouseMove(At(a, 10, 5));
  Pump();
  EXPECT_TRUE(a->Hot());
  display::InjectMouseMove(At(b, 60, 20));  // inside both; b lies on top
  Pump();
  EXPECT_FALSE(a->Hot());
  EXPECT_TRUE(b->Hot());
  EXPECT_GE(leaves, 1);
  display::InjectMouseMove(POINT{5, 5});
  Pump();
  EXPECT_FALSE(b->Hot());
}

TEST_F(GlassButtonTest, FaceIsTintedGlassWithAGlowWhenDown) {
  auto* b = Button("", {10, 10, 110, 42});
  b->SetShowCaption(false);
  b->SetBackColor(clRed);
  b->SetInnerBorderColor(clRed);
  b->SetGroupIndex(3);
  Show();
  const COLORREF body = Probe(b, 50, 27);
  EXPECT_NEAR(Red(body), 255, 3);
  EXPECT_NEAR(Green(body), 128, 6) << "half-transparent red over white";
  const COLORREF shine = Probe(b, 50, 3);
  EXPECT_GT(Green(shine), Green(body)) << "the shine lightens the upper half";
  EXPECT_EQ(Probe(b, 0, 16), ColorToRGB(clWhite)) << "the outer border in white";
  b->SetGlowColor(clBlue);
  b->SetDown(true);
  const COLORREF glow = Probe(b, 50, 29);
  EXPECT_GT(GetBValue(glow), GetBValue(Probe(b, 50, 27)) - 1);
  EXPECT_GT(GetBValue(glow), GetBValue(body) + 20) << "the glow rises from the bottom";
}

TEST_F(GlassButtonTest, ForceTransparentShowsAnOverlappedSiblingThroughTheGlass) {
  auto* under = Button("Under", {10, 10, 110, 42});
  auto* over = Button("Over", {60, 10, 160, 42});
  for (auto* b : {under, over}) {
    b->SetShowCaption(false);
    b->SetInnerBorderColor(b->BackColor());
  }
  under->SetBackColor(clBlue);
  over->SetBackColor(clRed);
  Show();
  const COLORREF plain = Probe(over, 20, 27), outside = Probe(over, 80, 27);
  EXPECT_NEAR(Red(plain), 255, 3) << "red glass over the white form";
  EXPECT_NEAR(Green(plain), 128, 6);
  over->SetForceTransparent(true);
  const COLORREF through = Probe(over, 20, 27);
  EXPECT_LT(Red(through), Red(plain) - 40) << "the blue glass under it takes red and green away";
  EXPECT_LT(Green(through), Green(plain) - 40);
  EXPECT_EQ(Probe(over, 80, 27), outside) << "beyond the overlap nothing changes";
}

namespace {

// The box around the pixels of a button's painted face that pass `is`.
RECT InkBox(TControl* b, const std::function<bool(COLORREF)>& is) {
  TCustomForm* form = b->GetParentForm();
  form->Update();
  HDC dc = GetDC(form->Handle());
  const POINT origin = form->ScreenToClient(b->ClientToScreen(POINT{0, 0}));
  RECT box{b->Width(), b->Height(), -1, -1};
  for (int y = 0; y < b->Height(); ++y)
    for (int x = 0; x < b->Width(); ++x)
      if (is(GetPixel(dc, origin.x + x, origin.y + y))) {
        box.left = std::min<LONG>(box.left, x);
        box.top = std::min<LONG>(box.top, y);
        box.right = std::max<LONG>(box.right, x + 1);
        box.bottom = std::max<LONG>(box.bottom, y + 1);
      }
  ReleaseDC(form->Handle(), dc);
  return box;
}

bool IsRed(COLORREF c) { return GetRValue(c) > 200 && GetGValue(c) < 60 && GetBValue(c) < 60; }

// A 16 x 16 red bitmap as a stored picture.
void SaveRedPicture(TMemoryStream& bytes) {
  TBitmap red;
  red.SetPixelFormat(pf24bit);
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(RECT{0, 0, 16, 16});
  red.Canvas()->SetPixels(0, 15, clLime);  // a bitmap's bottom-left pixel is its transparent colour
  red.SaveToStream(bytes);
}

}  // namespace

// Picture and caption in every layout of a white glass button: the picture
// (16 x 16, red) beside, above or below the text (black) and never over it;
// the plain layouts keep the two together, the adjusted ones pin the
// picture to its edge.
TEST_F(GlassButtonTest, EveryLayoutPlacesPictureAndCaptionApart) {
  using namespace AdvGlassButton;
  TMemoryStream bytes;
  SaveRedPicture(bytes);
  enum Side { Left, Right, Above, Below };
  struct Case {
    const char* name;  // as a stored form names it
    TButtonLayout layout;
    Side side;  // where the picture stands beside the text
    int pinned;  // the adjusted layouts: the picture's edge from the button's edge (-1: kept with the text)
  } cases[] = {
      {"blGlyphLeft", blGlyphLeft, Left, -1},
      {"blGlyphRight", blGlyphRight, Right, -1},
      {"blGlyphTop", blGlyphTop, Above, -1},
      {"blGlyphBottom", blGlyphBottom, Below, -1},
      {"blGlyphLeftAdjusted", blGlyphLeftAdjusted, Left, 2},
      {"blGlyphRightAdjusted", blGlyphRightAdjusted, Right, 4},
      {"blGlyphTopAdjusted", blGlyphTopAdjusted, Above, 2},
      {"blGlyphBottomAdjusted", blGlyphBottomAdjusted, Below, 2},
  };
  // GDI+ text, and GDI text when anti-aliasing is off.
  for (TAntiAlias antiAlias : {aaClearType, aaNone}) {
    for (const char* caption : {"Load the chart file", "Go"}) {
      for (const Case& k : cases) {
        const bool wide = k.side == Left || k.side == Right;
        auto* b = Button("Glass", {10, 10, 10 + (wide ? 140 : 100), 10 + (wide ? 32 : 56)}, caption);
        b->SetBackColor(clWhite);
        b->SetInnerBorderColor(clWhite);
        b->SetShineColor(clWhite);
        b->Font()->SetColor(clBlack);
        b->SetAntiAlias(antiAlias);
        bytes.SetPosition(0);
        b->Picture()->LoadFromStream(bytes);
        SetPropText(*b, "Layout", k.name);
        ASSERT_EQ(b->Layout(), k.layout) << k.name;
        Show();
        const std::string name = std::string(caption) + " " + k.name + (antiAlias == aaNone ? " (GDI)" : "");
        const RECT pic = InkBox(b, IsRed);
        const RECT text = InkBox(b, [](COLORREF c) { return GetRValue(c) < 110 && GetGValue(c) < 110 && GetBValue(c) < 110; });
        ASSERT_EQ(pic.right - pic.left, 16) << name;
        ASSERT_EQ(pic.bottom - pic.top, 16) << name;
        ASSERT_GT(text.right, text.left) << name << ": the caption is drawn";
        int gap = 0, edge = 0;
        switch (k.side) {
          case Left: gap = text.left - pic.right; edge = pic.left; break;
          case Right: gap = pic.left - text.right; edge = b->Width() - pic.right; break;
          case Above: gap = text.top - pic.bottom; edge = pic.top; break;
          case Below: gap = pic.top - text.bottom; edge = b->Height() - pic.bottom; break;
        }
        EXPECT_GE(gap, 0) << name << ": the picture covers the caption";
        if (k.pinned < 0) {
          // GDI text sets a stacked picture 4 pixels further off.
          EXPECT_LE(gap, antiAlias == aaNone ? 12 : 8) << name << ": the picture stays with the caption";
        } else {
          EXPECT_EQ(edge, k.pinned) << name;
        }
        delete b;
      }
    }
  }
}

// The rectangles behind those pixels: a 140 x 56 button, a 16 x 16 picture
// (18 wide with its gap to the text), a caption measured 59 x 14, by GDI+ in
// the middle of the button at x 40.5, by GDI on its own.
TEST(PlaceGlassContent, TextAndPictureByLayout) {
  using namespace AdvGlassButton;
  struct Case {
    TButtonLayout layout;
    bool gdi;
    GpRectF text;
    int px, py;
  } cases[] = {
      {blGlyphLeft, false, {20, 0, 120, 56}, 32, 20},  // 40.5 - 9 rounds to even
      {blGlyphLeft, true, {49, 0, 120, 56}, 31, 20},
      {blGlyphTop, false, {0, 16, 140, 38}, 61, 12},
      {blGlyphTop, true, {0, 16, 140, 38}, 61, 8},
      {blGlyphRight, false, {2, 0, 118, 56}, 92, 20},
      {blGlyphBottom, false, {0, 2, 140, 38}, 61, 28},
      {blGlyphBottom, true, {0, 2, 140, 38}, 61, 31},
      {blGlyphLeftAdjusted, false, {20, 0, 120, 56}, 2, 20},
      {blGlyphRightAdjusted, true, {2, 0, 118, 56}, 120, 20},
      {blGlyphTopAdjusted, false, {0, 16, 140, 38}, 61, 2},
      {blGlyphBottomAdjusted, false, {0, 2, 140, 38}, 61, 38},
      {blGlyphBottomAdjusted, true, {0, 2, 140, 36}, 61, 38},
  };
  for (const Case& k : cases) {
    const GpRectF measured = k.gdi ? GpRectF{0, 0, 59, 14} : GpRectF{40.5f, 21, 59, 14};
    const TGlassContentPlace p = PlaceGlassContent(k.layout, k.gdi, 140, 56, 18, 16, measured, 0);
    const std::string name = std::to_string(k.layout) + (k.gdi ? " GDI" : " GDI+");
    EXPECT_EQ(p.Text.X, k.text.X) << name;
    EXPECT_EQ(p.Text.Y, k.text.Y) << name;
    EXPECT_EQ(p.Text.Width, k.text.Width) << name;
    EXPECT_EQ(p.Text.Height, k.text.Height) << name;
    EXPECT_EQ(p.PictureX, k.px) << name;
    EXPECT_EQ(p.PictureY, k.py) << name;
  }
  // The curved shape moves the adjusted layouts in by a quarter of the height.
  const TGlassContentPlace curved = PlaceGlassContent(blGlyphLeftAdjusted, false, 140, 56, 18, 16, {}, 14);
  EXPECT_EQ(curved.Text.X, 34);
  EXPECT_EQ(curved.PictureX, 16);
}

// The caption takes GDI+ text in a face of the screen's font list, the
// usual Windows faces drawn by installed families among them, and GDI text
// in any other face. The two paths set a picture above the caption apart
// by different amounts, so the picture shows which path drew.
TEST_F(GlassButtonTest, CaptionTakesGdiTextOnlyOutsideTheScreenFonts) {
  TMemoryStream bytes;
  SaveRedPicture(bytes);
  const struct {
    std::string face;
    bool gdi;
  } cases[] = {
      {"Tahoma", false},  // substituted, not installed here
      {Screen->Fonts()->Strings(0), false},
      {"No Such Face Anywhere", true},
  };
  for (const auto& k : cases) {
    RECT pictures[2];
    for (TAntiAlias antiAlias : {aaClearType, aaNone}) {
      auto* b = Button("Glass", {10, 10, 110, 66}, "Load");
      b->Font()->SetName(k.face);
      b->SetAntiAlias(antiAlias);
      bytes.SetPosition(0);
      b->Picture()->LoadFromStream(bytes);
      b->SetLayout(AdvGlassButton::blGlyphTop);
      Show();
      pictures[antiAlias == aaNone] = InkBox(b, IsRed);
      delete b;
    }
    EXPECT_EQ(pictures[0].right - pictures[0].left, 16) << k.face;
    EXPECT_EQ(pictures[0].top == pictures[1].top, k.gdi)
        << k.face << (k.gdi ? ": GDI text as with anti-aliasing off" : ": GDI+ text, unlike with anti-aliasing off");
  }
}

TEST_F(GlassButtonTest, ActionsRunTheClickAndDriveTheButton) {
  auto* action = new TAction(form);
  action->SetName("OpenAction");
  action->SetCaption("Open");
  action->SetGroupIndex(2);
  int executed = 0;
  action->OnExecute = [&](TObject*) { ++executed; };
  auto* a = Add<TAdvGlassButton>(form, "A", {10, 10, 110, 42});
  auto* b = Button("B", {120, 10, 220, 42});
  b->SetGroupIndex(2);
  SetPropText(*a, "Action", "OpenAction", form);
  SetPropText(*a, "OuterBorderColor", "clRed");
  EXPECT_EQ(a->OuterBorderColor(), clRed) << "colours by name, as stored forms give them";
  EXPECT_EQ(a->Action(), action);
  EXPECT_EQ(a->Caption(), "Open");
  EXPECT_EQ(a->GroupIndex(), 2) << "the button takes the action's group";
  Show();
  Click(a);
  EXPECT_EQ(executed, 1) << "without OnClick the action runs";
  a->Perform(CN_COMMAND, 0, 0);
  EXPECT_EQ(executed, 2) << "a clicked notification clicks";

  // The action's Checked puts the button down; another button of the group
  // going down raises it and unchecks the action.
  action->SetChecked(true);
  EXPECT_TRUE(a->Down());
  b->SetDown(true);
  EXPECT_FALSE(a->Down());
  EXPECT_FALSE(action->Checked());
  action->SetEnabled(false);
  EXPECT_FALSE(a->Enabled());

  // With its own OnClick the button answers the click itself.
  a->OnClick = [&](TObject*) { clicks.push_back("own"); };
  action->SetEnabled(true);
  Click(a);
  EXPECT_EQ(executed, 2);
  EXPECT_EQ(clicks.back(), "own");
  delete action;
  EXPECT_EQ(a->Action(), nullptr) << "a freed action lets go of the button";
}

TEST_F(GlassButtonTest, ShortCutHintPaintsWithTheInfoColours) {
  auto* b = Button("Save", {50, 50, 150, 82});
  b->SetShortCutHint("S");
  Show();
  b->Perform(CM_HINTSHOW, 1, 1);
  Pump();
  TShortCutHintWindow* hint = b->ShortCutHintWindow();
  ASSERT_NE(hint, nullptr);
  EXPECT_GE(hint->Width(), hint->Canvas()->TextWidth("O") + 8);
  const POINT centre = b->ClientToScreen(POINT{b->Width() / 2, 0});
  EXPECT_NEAR(hint->Left() + hint->Width() / 2, centre.x, 1);
  HDC dc = GetDC(hint->Handle());
  EXPECT_EQ(GetPixel(dc, 2, hint->Height() / 2), ColorToRGB(clInfoBk)) << "never black on black";
  ReleaseDC(hint->Handle(), dc);
  b->Perform(CM_HINTSHOW, 1, 0);
  EXPECT_EQ(b->ShortCutHintWindow(), nullptr);
}

TEST(AdvHintInfo, AssignsFromItsOwnKindOnly) {
  TAdvHintInfo a, b;
  a.SetTitle("Title");
  a.Notes()->Add("note");
  b.Assign(&a);
  EXPECT_EQ(b.Title(), "Title");
  EXPECT_EQ(b.Notes()->Count(), 1);
  TFont font;
  EXPECT_NO_THROW(b.Assign(&font));
  EXPECT_EQ(b.Title(), "Title");
}

TEST(DrawHintGradient, BandsRunFromOneColourTowardsTheOther) {
  TBitmap bitmap;
  bitmap.SetSize(10, 16);
  DrawHintGradient(bitmap.Canvas(), clBlack, clWhite, 0, RECT{0, 0, 10, 16}, false);
  EXPECT_EQ(bitmap.Canvas()->Pixels(5, 8), clBlack) << "no steps count as one band of the start colour";
  DrawHintGradient(bitmap.Canvas(), clBlack, clWhite, 4, RECT{0, 0, 10, 16}, false);
  EXPECT_EQ(bitmap.Canvas()->Pixels(5, 0), clBlack);
  EXPECT_EQ(bitmap.Canvas()->Pixels(5, 15), static_cast<TColor>(RGB(191, 191, 191))) << "the last band stops short";
}
