// Panel settings and the styler: presets, one notification per update,
// copying every setting, and the look reaching the panels that use it.
#include <gtest/gtest.h>

#include "tests/ui/controls/panel_test_support.h"
#include "ui/controls/advpanelstyler.h"

TEST(AdvPanelSettings, UpdatesNotifyOnceAndAssignCopiesEverySetting) {
  TAdvPanelSettings a, b;
  int changes = 0;
  a.OnChange = [&](TObject*) { ++changes; };
  a.SetHeight(50);
  a.SetColor(clRed);
  EXPECT_EQ(changes, 0);  // these change silently
  a.SetBevelWidth(3);
  EXPECT_EQ(changes, 1);
  a.BeginUpdate();
  a.BeginUpdate();
  a.SetIndent(4);
  a.EndUpdate();
  EXPECT_EQ(changes, 1);
  a.EndUpdate();
  EXPECT_EQ(changes, 2);
  a.EndUpdate();  // without BeginUpdate
  EXPECT_EQ(changes, 2);
  b.SetURLColor(clLime);
  b.SetHint("hint");
  b.SetCollapsSteps(5);
  b.Caption()->SetShadeType(stVBump);
  b.StatusBar()->SetVisible(true);
  b.Font()->SetSize(14);
  a.Assign(&b);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(a.URLColor(), clLime);
  EXPECT_EQ(a.Hint(), "hint");
  EXPECT_EQ(a.CollapsSteps(), 5);
  EXPECT_EQ(a.Caption()->ShadeType(), stVBump);
  EXPECT_TRUE(a.StatusBar()->Visible());
  EXPECT_EQ(a.Font()->Size(), 14);
  EXPECT_EQ(a.Height(), 120);
}

class StylerTest : public PanelTest {};

TEST_F(StylerTest, StylesReachThePanelsThatUseTheStyler) {
  TForm* form = MakeForm();
  auto* styler = new TAdvPanelStyler(form);
  EXPECT_EQ(styler->Settings()->Color(), clWhite);  // psXP
  EXPECT_EQ(styler->Settings()->ColorTo(), static_cast<TColor>(0xE3F0F2));
  EXPECT_TRUE(styler->Settings()->BorderShadow());
  EXPECT_EQ(styler->Settings()->Caption()->ColorTo(), clBlue);
  EXPECT_EQ(styler->Settings()->StatusBar()->BorderColor(), clSilver);
  auto* panel = Add<TAdvPanel>(form, "Styled", RECT{10, 10, 200, 150});
  auto* other = Add<TAdvPanel>(form, "Other", RECT{210, 10, 390, 150});
  panel->Caption()->SetCloseButton(true);
  panel->SetStyler(styler);
  EXPECT_EQ(panel->ColorTo(), static_cast<TColor>(0xE3F0F2));
  styler->ApplyStylePreset(128);  // 0: Office 2003 blue
  EXPECT_EQ(styler->Style(), psOffice2003Blue);
  EXPECT_EQ(panel->Color(), static_cast<TColor>(0xFDEADA));
  EXPECT_EQ(panel->Caption()->Color(), static_cast<TColor>(0xD68759));
  EXPECT_TRUE(panel->Caption()->CloseButton());  // the panel's own button stays
  EXPECT_NE(other->Color(), static_cast<TColor>(0xFDEADA));
  styler->ApplyStylePreset(8);
  EXPECT_EQ(styler->Style(), psOffice2003Blue);
  styler->Settings()->SetBevelWidth(4);  // one write restyles at once
  EXPECT_EQ(panel->BevelWidth(), 4);
  TAdvPanelStyler copy(nullptr);
  copy.SetComments("c");
  styler->Settings()->SetURLColor(clRed);
  copy.Assign(styler);
  EXPECT_EQ(copy.Style(), psOffice2003Blue);
  EXPECT_EQ(copy.Settings()->BevelWidth(), 4);
  delete styler;
  EXPECT_EQ(panel->Styler(), nullptr);
}
