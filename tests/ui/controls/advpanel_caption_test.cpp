// The captioned panel's caption variants on a headless form: the caption
// down the left edge, button pictures, picture and shaped captions, the
// body's picture, sizing to the text, anchor hints and the group's wheel
// scrolling.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/stdctrls.h"
#include "platform/rtl/streams.h"
#include "tests/ui/controls/panel_test_support.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/advpanelgroup.h"

namespace {

class CaptionTest : public PanelTest {
protected:
  TAdvPanel* MakePanel(TForm* form, RECT r = RECT{20, 20, 220, 170}) {
    auto* panel = Add<TAdvPanel>(form, "Panel1", r);
    panel->SetColor(clWhite);
    panel->Caption()->SetVisible(true);
    panel->Caption()->SetColor(clMaroon);
    panel->Caption()->SetCloseButton(true);
    panel->Caption()->SetMinMaxButton(true);
    panel->Caption()->SetText("Caption");
    return panel;
  }
  // A picture in one colour; its lower left pixel, fuchsia, draws transparent.
  static std::unique_ptr<TBitmap> Picture(TColor color, int w, int h) {
    auto b = std::make_unique<TBitmap>();
    b->SetSize(w, h);
    b->Canvas()->Brush()->SetColor(color);
    b->Canvas()->FillRect(RECT{0, 0, w, h});
    b->Canvas()->SetPixels(0, h - 1, clFuchsia);
    return b;
  }
  std::string log_;
};

}  // namespace

TEST_F(CaptionTest, LeftCaptionRunsDownTheLeftEdgeAndCollapsesTheWidth) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->StatusBar()->SetVisible(true);
  panel->StatusBar()->SetColor(clTeal);
  auto* child = Add<TPanel>(panel, "Child", RECT{0, 0, 10, 10});
  child->SetAlign(alClient);
  panel->OnCaptionClick = [this](TObject*) { log_ += "caption "; };
  panel->Caption()->SetPosition(cpLeft);
  form->Show();
  Pump();
  // The header is built for the left edge; the strip and the status bar show.
  EXPECT_EQ(panel->HeaderBitmap()->Width(), 20);
  EXPECT_EQ(panel->HeaderBitmap()->Height(), 150);
  EXPECT_EQ(Shown(panel, 10, 100), clMaroon);
  EXPECT_EQ(Shown(panel, 190, 100), clTeal);
  // Children are laid out between the caption and the status bar.
  EXPECT_EQ(child->Left(), 18);
  EXPECT_EQ(child->Left() + child->Width(), 200 - 18);
  // The close cross sits at the top end, the collapse button below it.
  bool cross = false;
  for (int y = 2; y < 14; ++y) cross |= Shown(panel, 7, y) == clBlack;
  EXPECT_TRUE(cross);
  Click(panel, 8, 14 + 6);
  EXPECT_TRUE(panel->Collaps());
  EXPECT_EQ(panel->Width(), 20 + 18);  // caption + status bar
  EXPECT_EQ(panel->Height(), 150);
  EXPECT_EQ(panel->FullHeight(), 200);
  EXPECT_EQ(log_, "caption ");
  Click(panel, 8, 14 + 6);
  EXPECT_FALSE(panel->Collaps());
  EXPECT_EQ(panel->Width(), 200);
  // A click lower down the caption raises only the caption click.
  log_.clear();
  Click(panel, 8, 100);
  EXPECT_EQ(log_, "caption ");
  EXPECT_FALSE(panel->Collaps());
  // Back to the top: the header is rebuilt with swapped sides.
  panel->Caption()->SetPosition(cpTop);
  EXPECT_EQ(panel->HeaderBitmap()->Width(), 200);
  EXPECT_EQ(panel->HeaderBitmap()->Height(), 20);
}

TEST_F(CaptionTest, ButtonPicturesReplaceTheDrawnButtonsAndSetTheirSquares) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  auto closeMin = Picture(clLime, 16, 16), closeMax = Picture(clRed, 16, 16), minGlyph = Picture(clBlue, 16, 16);
  panel->Caption()->SetCloseMaxGlyph(closeMax.get());
  form->Show();
  Pump();
  // One close picture alone: the cross is still drawn.
  bool cross = false;
  for (int x = 186; x < 198; ++x) cross |= Shown(panel, x, 7) == clBlack;
  EXPECT_TRUE(cross);
  panel->Caption()->SetCloseMinGlyph(closeMin.get());
  panel->Caption()->SetMinGlyph(minGlyph.get());
  panel->Caption()->SetMaxGlyph(closeMin.get());
  EXPECT_EQ(Shown(panel, 200 - 8, 8), clRed);         // expanded: CloseMaxGlyph at the right end
  EXPECT_EQ(Shown(panel, 200 - 16 - 8, 8), clBlue);   // MinGlyph beside it
  panel->OnClose = [this](TObject*) { log_ += "close "; };
  Click(panel, 200 - 16 - 8, 8);  // the collapse square is as wide as the picture
  EXPECT_TRUE(panel->Collaps());
  EXPECT_EQ(Shown(panel, 200 - 8, 8), clLime);  // collapsed: CloseMinGlyph
  Click(panel, 200 - 4, 8);
  EXPECT_EQ(log_, "close ");
  EXPECT_FALSE(panel->Visible());
  // Assign carries the pictures.
  TPanelCaption copy;
  copy.Assign(panel->Caption());
  EXPECT_TRUE(copy.HasCloseGlyphs());
  EXPECT_EQ(copy.MinGlyph()->Width(), 16);
}

TEST_F(CaptionTest, PictureAndShapedCaptions) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetColor(clSilver);
  panel->Caption()->SetCloseButton(false);
  panel->Caption()->SetMinMaxButton(false);
  panel->Caption()->SetText("");
  auto strip = Picture(clBlue, 40, 20);
  for (int x = 37; x < 40; ++x)
    for (int y = 3; y < 8; ++y) strip->Canvas()->SetPixels(x, y, clYellow);
  panel->Caption()->SetShadeType(stBitmapRStretch);
  form->Show();
  Pump();
  // An empty picture draws nothing: the body shows.
  EXPECT_EQ(Shown(panel, 100, 10), clSilver);
  panel->Caption()->SetBackground(strip.get());
  EXPECT_EQ(Shown(panel, 10, 10), clBlue);
  EXPECT_EQ(Shown(panel, 150, 5), clYellow);  // its last columns stretched to the end
  panel->Caption()->SetShadeType(stBitmap);
  EXPECT_EQ(Shown(panel, 150, 10), clBlue);  // stretched whole
  // A rounded caption: the shading inside, the body colour outside its corner.
  panel->Caption()->SetShadeType(stVShade);
  panel->Caption()->SetShape(csRounded);
  EXPECT_NE(Shown(panel, 100, 10), clSilver);
  EXPECT_EQ(Shown(panel, 2, 2), clSilver);
  panel->Caption()->SetShape(csSemiRounded);
  EXPECT_NE(Shown(panel, 3, 3), clSilver);    // square on the left
  EXPECT_EQ(Shown(panel, 197, 2), clSilver);  // rounded on the right
}

TEST_F(CaptionTest, BackgroundPictureStandsWhereItsPositionSays) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->Caption()->SetCloseButton(false);
  panel->Caption()->SetMinMaxButton(false);
  auto green = Picture(clGreen, 10, 10);
  green->Canvas()->SetPixels(0, 9, clGreen);
  TMemoryStream bytes;
  green->SaveToStream(bytes);
  bytes.SetPosition(0);
  panel->Background()->LoadFromStream(bytes);
  form->Show();
  Pump();
  // The body starts below the caption (20 high, less the bevels).
  const struct {
    TBackGroundPosition position;
    POINT inside, outside;
  } cases[] = {
      {bpTopLeft, {5, 22}, {50, 22}},
      {bpTopRight, {193, 22}, {5, 22}},
      {bpBottomLeft, {5, 143}, {5, 22}},
      {bpBottomRight, {193, 143}, {193, 22}},
      {bpTiled, {55, 75}, {100, 10}},      // never over the caption
      {bpStretched, {100, 100}, {100, 10}},
      {bpCenter, {98, 73}, {5, 22}},       // half of the bottom-right corner's place
  };
  for (const auto& c : cases) {
    panel->SetBackgroundPosition(c.position);
    EXPECT_EQ(Shown(panel, c.inside.x, c.inside.y), clGreen) << c.position;
    EXPECT_NE(Shown(panel, c.outside.x, c.outside.y), clGreen) << c.position;
  }
}

TEST_F(CaptionTest, AutoSizeFitsTheText) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetPanelText("Sized <B>to</B> its text");
  form->Show();
  Pump();
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->Font()->Assign(panel->Font());
  TMarkupArgs args;
  args.MeasureOnly = true;
  args.WordWrap = true;
  TMarkupResult m = RenderMarkup(measure.Canvas(), panel->PanelText(), RECT{0, 0, 65535, 65535}, args);
  ASSERT_GT(m.MeasuredWidth, 0);
  panel->AutoSize()->SetEnabled(true);  // sizes at once
  const int bevels = 2 * panel->BevelWidth();
  EXPECT_EQ(panel->Width(), bevels + m.MeasuredWidth);
  EXPECT_EQ(panel->Height(), 20 + m.MeasuredHeight + bevels);
  // A longer text sizes again; a height-only size keeps the width.
  panel->AutoSize()->SetWidth(false);
  panel->SetBounds(panel->Left(), panel->Top(), 300, 100);
  panel->SetPanelText("Sized<BR>on two lines");
  EXPECT_EQ(panel->Width(), 300);
  EXPECT_GT(panel->Height(), 20 + m.MeasuredHeight + bevels);
  // With the caption on the left, the width takes the caption.
  panel->AutoSize()->SetWidth(true);
  panel->SetPanelText("Sized <B>to</B> its text");
  panel->Caption()->SetPosition(cpLeft);
  EXPECT_EQ(panel->Width(), 20 + m.MeasuredWidth + bevels);
  EXPECT_EQ(panel->Height(), bevels + m.MeasuredHeight);
}

TEST_F(CaptionTest, AnchorHintShowsTheAnchorUnderTheCursor) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetPanelText("Go <A href=\"target\">somewhere</A> now");
  panel->SetHint("own hint");
  form->Show();
  Pump();
  RECT q;
  int ax = -1;
  for (int x = 0; x < 200 && ax < 0; ++x)
    if (panel->AnchorAt(x, 28, q) == "target") ax = x + 3;
  ASSERT_GT(ax, 0);
  auto ask = [&](int x, int y) {
    THintInfo info;
    info.HintStr = panel->Hint();
    info.CursorPos = POINT{x, y};
    EXPECT_EQ(panel->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
    return info;
  };
  EXPECT_EQ(ask(ax, 28).HintStr, "own hint");  // AnchorHint is off
  panel->SetAnchorHint(true);
  THintInfo info = ask(ax, 28);
  EXPECT_EQ(info.HintStr, "target");
  POINT screen = panel->ClientToScreen(POINT{ax, 28});
  EXPECT_EQ(info.HintPos.x, screen.x + 10);
  EXPECT_EQ(info.HintPos.y, screen.y - 10);
  panel->OnAnchorHint = [](TObject*, std::string& anchor) { anchor = "Open " + anchor; };
  EXPECT_EQ(ask(ax, 28).HintStr, "Open target");
  EXPECT_EQ(ask(100, 120).HintStr, "own hint");  // no anchor there
}

TEST_F(CaptionTest, GroupScrollsByTheWheelAndPlacesPanelsAlike) {
  TForm* form = MakeForm(400, 300);
  TAdvPanelGroup* group = nullptr;
  std::vector<TAdvPanel*> panels;
  LoadComponents(*form, [&] {
    group = Add<TAdvPanelGroup>(form, "Group", RECT{0, 0, 200, 150});
    for (int i = 0; i < 3; ++i) {
      auto* p = Add<TAdvPanel>(group, ("P" + std::to_string(i)).c_str(), RECT{8, 8 + i * 100, 150, 8 + i * 100 + 80});
      panels.push_back(p);
    }
  });
  form->Show();
  Pump();
  ASSERT_TRUE(group->ScrollBar()->Visible());  // 8 + 3 x 88 does not fit 150
  EXPECT_EQ(group->ScrollBar()->LargeChange(), 50);
  const int top = panels[1]->Top();
  EXPECT_EQ(top, 8 + 88);
  display::InjectWheel(At(group, 50, 50), -120);  // one notch down
  Pump();
  EXPECT_EQ(group->ScrollBar()->Position(), 4);
  EXPECT_EQ(panels[1]->Top(), top - 4);
  display::InjectWheel(At(group, 50, 50), 120);
  Pump();
  EXPECT_EQ(panels[1]->Top(), top);
  // Smooth scrolling places the panels where plain scrolling does.
  group->SetScrollSmooth(true);
  group->Arrange();
  EXPECT_EQ(panels[1]->Top(), top);
  EXPECT_EQ(panels[2]->Top(), top + 88);
}
