// The smooth panel on a headless form: its fill with rounded corners and
// shadow over the parent, the caption text and line, markup anchors under
// the injected mouse, style presets and copying.
#include <gtest/gtest.h>

#include "tests/ui/controls/panel_test_support.h"
#include "platform/forms/properties.h"
#include "ui/controls/advsmoothpanel.h"

namespace {
class SmoothPanelTest : public PanelTest {
protected:
  TAdvSmoothPanel* MakePanel(TForm* form) {
    form->SetColor(clLime);
    auto* panel = Add<TAdvSmoothPanel>(form, "Panel1", RECT{20, 20, 220, 140});
    panel->Fill()->SetColor(clWhite);
    panel->Fill()->SetColorTo(clNavy);
    panel->Fill()->SetRounding(10);
    panel->Fill()->SetShadowOffset(10);
    return panel;
  }
};
}  // namespace

TEST_F(SmoothPanelTest, PaintsTheFillOverTheParentWithRoundedCornersAndShadow) {
  TForm* form = MakeForm();
  TAdvSmoothPanel* panel = MakePanel(form);
  form->Show();
  Pump();
  EXPECT_EQ(Shown(panel, 0, 0), clLime);  // the parent shows through the rounded corner
  TColor top = Shown(panel, 90, 5), bottom = Shown(panel, 90, 100);
  EXPECT_GT(Grey(top), Grey(bottom));  // white to navy, top to bottom
  TColor shadow = Shown(panel, 195, 60);
  EXPECT_NE(shadow, clLime);
  EXPECT_LT((shadow >> 8) & 0xFF, 0xF0);  // grey over lime
  EXPECT_EQ(panel->Version(), "1.0.6.0");
  panel->SetVersion("9.9");
  EXPECT_EQ(panel->Version(), "1.0.6.0");
}

TEST_F(SmoothPanelTest, CaptionTextLineAndMarkupAnchors) {
  TForm* form = MakeForm();
  TAdvSmoothPanel* panel = MakePanel(form);
  panel->Caption()->SetText("Title");
  panel->Caption()->SetGradientType(AdvSmoothGDIP::gtSolid);
  panel->Caption()->SetColorStart(clRed);
  panel->Caption()->SetLineColor(clBlue);
  panel->Caption()->SetHTMLText("see <A href=\"http://example.com\">the site</A>");
  panel->Caption()->SetHTMLLocation(plCustom);
  panel->Caption()->SetHTMLLeft(10);
  panel->Caption()->SetHTMLTop(60);
  std::vector<std::string> clicked;
  panel->OnAnchorClick = [&](TObject*, const std::string& a) { clicked.push_back(a); };
  form->Show();
  Pump();
  bool red = false, blue = false;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      TColor c = Shown(panel, x, y);
      red |= (c & 0xFF) > 0xC0 && ((c >> 16) & 0xFF) < 0x60;
      blue |= (c & 0xFF) < 0x60 && ((c >> 16) & 0xFF) > 0xA0;
    }
  EXPECT_TRUE(red);
  EXPECT_TRUE(blue);
  RECT html = panel->HTMLCaptionRect();
  ASSERT_GT(html.right, html.left);
  // Over the anchor the cursor is the hand; a click raises OnAnchorClick.
  int ay = html.top + 6, ax = -1;
  for (int x = html.left; x < html.right && ax < 0; ++x)
    if (panel->AnchorAt(x, ay) == "http://example.com") ax = x + 5;
  ASSERT_GT(ax, html.left + 10);  // after "see "
  EXPECT_EQ(panel->AnchorAt(html.left + 2, ay), "");
  MoveTo(panel, ax, ay);
  EXPECT_EQ(panel->Cursor(), crHandPoint);
  Click(panel, ax, ay);
  EXPECT_EQ(clicked, std::vector<std::string>{"http://example.com"});
  MoveTo(panel, 5, 100);
  EXPECT_EQ(panel->Cursor(), crDefault);
  // A cursor a stored form sets comes back after the anchor too.
  SetPropText(*panel, "Cursor", "crCross");
  MoveTo(panel, ax, ay);
  EXPECT_EQ(panel->Cursor(), crHandPoint);
  MoveTo(panel, 5, 100);
  EXPECT_EQ(panel->Cursor(), crCross);
}

// Dropped on a form in the designer, the panel takes the luna look and, as
// its window is first made, shadow, rounding and its name as caption; read
// from a stored form it takes none of that, and a window made again changes
// nothing.
TEST_F(SmoothPanelTest, APanelPlacedInTheDesignerTakesTheDesignDefaults) {
  for (bool designing : {true, false}) {
    TForm* form = MakeForm();
    form->SetDesigning(designing);
    auto* panel = Add<TAdvSmoothPanel>(form, "Panel7", RECT{10, 10, 210, 110});
    form->Show();
    Pump();
    const char* how = designing ? "in the designer" : "at run time";
    EXPECT_EQ(panel->Fill()->Color(), designing ? static_cast<TColor>(0xFAF1E9) : TGDIPFill().Color()) << how;
    EXPECT_EQ(panel->Fill()->ShadowOffset(), designing ? 10 : TGDIPFill().ShadowOffset()) << how;
    EXPECT_EQ(panel->Fill()->Rounding(), designing ? 10 : TGDIPFill().Rounding()) << how;
    EXPECT_EQ(panel->Caption()->Text(), designing ? "Panel7" : "") << how;
    panel->Caption()->SetText("mine");
    panel->RecreateWnd();
    Pump();
    EXPECT_EQ(panel->Caption()->Text(), "mine") << how << ": only the first window";
    form->SetDesigning(false);
  }
}

TEST_F(SmoothPanelTest, PresetsAndAssignCopyEverySetting) {
  TAdvSmoothPanel a(nullptr), b(nullptr);
  a.ApplyStylePreset(4);
  EXPECT_EQ(a.Fill()->Color(), static_cast<TColor>(0xFAF1E9));
  EXPECT_EQ(a.Fill()->ColorMirror(), static_cast<TColor>(0xEDD8C7));
  EXPECT_EQ(a.Caption()->LineColor(), static_cast<TColor>(0xB0721C));
  a.ApplyStylePreset(8);  // custom changes nothing
  EXPECT_EQ(a.Fill()->BorderColor(), static_cast<TColor>(0xE3B28D));
  // The text brush's kind and hatch, as a stored form names them.
  SetPropText(*a.Caption(), "GradientType", "gtHatch");
  SetPropText(*a.Caption(), "HatchStyle", "5");
  EXPECT_EQ(a.Caption()->GradientType(), AdvSmoothGDIP::gtHatch);
  EXPECT_EQ(a.Caption()->HatchStyle(), 5);
  // The framework's size limits, padding and their events, as a stored form names them.
  for (const char* name : {"Constraints", "Padding", "OnCanResize", "OnMouseActivate", "OnContextPopup"})
    EXPECT_NE(FindPropInfo(a, name), nullptr) << name;
  SetPropText(*a.Padding(), "Top", "4");
  EXPECT_EQ(a.Padding()->Top(), 4);
  a.Caption()->SetLineColor(clRed);
  a.Caption()->SetText("copied");
  a.Caption()->SetHTMLShadowOffset(9);
  a.Fill()->SetRounding(7);
  b.Assign(&a);
  EXPECT_EQ(b.Caption()->LineColor(), clRed);
  EXPECT_EQ(b.Caption()->Text(), "copied");
  EXPECT_EQ(b.Caption()->HTMLShadowOffset(), 9);
  EXPECT_EQ(b.Fill()->Rounding(), 7);
  EXPECT_EQ(b.Caption()->HatchStyle(), 5);
  EXPECT_NE(b.Fill(), a.Fill());
  int x = -1, y = -1;
  TAdvSmoothPanel::GetPosition(GpRectF{0, 0, 200, 100}, 50, 20, plTopCenter, x, y);
  EXPECT_EQ(x, 75);
  TAdvSmoothPanel::GetPosition(GpRectF{0, 0, 200, 100}, 50, 20, plBottomRight, x, y);
  EXPECT_EQ(x, 150);
  EXPECT_EQ(y, 80);
}
