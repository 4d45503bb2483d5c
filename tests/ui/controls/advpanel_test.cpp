// The captioned panel on a headless form, driven with injected mouse
// input: collapse, expand, close, move, size and hover change its state,
// raise its events in order and show in probe pixels; its position
// survives a restart through the settings file.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/forms/properties.h"
#include "platform/forms/stdctrls.h"
#include "tests/ui/controls/panel_test_support.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/advpanelgroup.h"

namespace {

class AdvPanelTest : public PanelTest {
protected:
  TAdvPanel* MakePanel(TForm* form, const char* name = "Panel1") {
    auto* panel = Add<TAdvPanel>(form, name, RECT{20, 20, 220, 170});
    panel->SetColor(clWhite);
    panel->SetColorTo(clNavy);
    panel->Caption()->SetVisible(true);
    panel->Caption()->SetColor(clMaroon);
    panel->Caption()->SetCloseButton(true);
    panel->Caption()->SetMinMaxButton(true);
    panel->Caption()->SetText("Caption");
    panel->SetPanelText("Body with <A href=\"doc\">an anchor</A>");
    return panel;
  }
  // Runs the message loop until the panel's animation has ended.
  static void PumpWhileCollapsing(TCustomAdvPanel* panel) {
    for (int i = 0; i < 100000 && panel->Collapsing(); ++i) {
      Pump();
      std::this_thread::yield();
    }
  }
  std::string log_;
  void Record(TCustomAdvPanel* p) {
    p->OnMinimize = [this](TObject*) { log_ += "min "; };
    p->OnMaximize = [this](TObject*) { log_ += "max "; };
    p->OnEndCollapsExpand = [this](TObject*) { log_ += "end "; };
    p->OnCaptionClick = [this](TObject*) { log_ += "caption "; };
    p->OnClose = [this](TObject*) { log_ += "close "; };
    p->OnEndMoveSize = [this](TObject*) { log_ += "moved "; };
    p->OnAnchorEnter = [this](TObject*, const std::string& a) { log_ += "enter:" + a + " "; };
    p->OnAnchorExit = [this](TObject*, const std::string& a) { log_ += "exit:" + a + " "; };
    p->OnAnchorClick = [this](TObject*, const std::string& a) { log_ += "click:" + a + " "; };
  }
};

}  // namespace

TEST_F(AdvPanelTest, PaintsBodyCaptionButtonsAndGrip) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetCanSize(true);
  form->Show();
  Pump();
  EXPECT_EQ(Shown(panel, 100, 10), clMaroon);                // the caption bar
  EXPECT_GT(Grey(Shown(panel, 100, 40)), Grey(Shown(panel, 100, 140)));  // white to navy below it
  RECT close{200 - 14, 2, 200 - 2, 14};
  bool cross = false;
  for (int x = close.left; x < close.right; ++x) cross |= Shown(panel, x, 7) == clBlack;
  EXPECT_TRUE(cross);
  bool grip = false;
  for (int x = 185; x < 198; ++x) grip |= Shown(panel, x, 146) == clGray;
  EXPECT_TRUE(grip);
  EXPECT_EQ(panel->Version(), "1.9.0.5");
}

TEST_F(AdvPanelTest, CollapseButtonCollapsesAndExpandsWithEventsInOrder) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  auto* child = Add<TButton>(panel, "Child", RECT{10, 40, 80, 60});
  auto* hidden = Add<TButton>(panel, "Hidden", RECT{10, 70, 80, 90});
  hidden->SetVisible(false);
  Record(panel);
  form->Show();
  Pump();
  RECT minmax{200 - 26, 2, 200 - 14, 14};
  Click(panel, minmax.left + 6, 8);
  EXPECT_TRUE(panel->Collaps());
  EXPECT_EQ(panel->Height(), 18);  // the caption height less 2
  EXPECT_EQ(panel->FullHeight(), 150);
  EXPECT_FALSE(child->Visible());
  EXPECT_EQ(log_, "min end caption ");
  log_.clear();
  Click(panel, minmax.left + 6, 8);
  EXPECT_FALSE(panel->Collaps());
  EXPECT_EQ(panel->Height(), 150);
  EXPECT_TRUE(child->Visible());
  EXPECT_FALSE(hidden->Visible());
  EXPECT_EQ(log_, "max end caption ");
  log_.clear();
  panel->SetCollaps(false);  // the present value
  EXPECT_EQ(log_, "end ");
}

TEST_F(AdvPanelTest, AnimatedCollapseRunsOnATimer) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetCollapsSteps(4);
  panel->SetCollapsDelay(1);
  panel->SetCollapsColor(clSilver);
  Record(panel);
  form->Show();
  Pump();
  panel->SetCollaps(true);
  EXPECT_TRUE(panel->Collapsing());
  EXPECT_EQ(log_, "min ");
  panel->SetCollaps(false);  // ignored while collapsing
  PumpWhileCollapsing(panel);
  EXPECT_FALSE(panel->Collapsing());
  EXPECT_EQ(panel->Height(), 18);
  EXPECT_EQ(panel->Color(), clSilver);
  EXPECT_EQ(log_, "min max end ");
  panel->SetCollaps(false);
  PumpWhileCollapsing(panel);
  EXPECT_EQ(panel->Height(), 150);
  EXPECT_EQ(panel->Color(), clWhite);
}

TEST_F(AdvPanelTest, CloseHidesOrFreesThePanelAfterItsMouseHandling) {
  TForm* form = MakeForm();
  TAdvPanel* kept = MakePanel(form, "Kept");
  Record(kept);
  form->Show();
  Pump();
  Click(kept, 200 - 8, 8);
  EXPECT_FALSE(kept->Visible());
  EXPECT_EQ(log_, "close ");
  log_.clear();

  // In a group: freed after the click's handling, taken out of the group,
  // and the panel below closes up.
  TAdvPanelGroup* group = nullptr;
  TAdvPanel* freed = nullptr;
  TAdvPanel* below = nullptr;
  LoadComponents(*form, [&] {
    group = Add<TAdvPanelGroup>(form, "Group", RECT{230, 10, 390, 290});
    group->SetBevelOuter(bvNone);
    freed = Add<TAdvPanel>(group, "Freed", RECT{8, 8, 150, 108});
    below = Add<TAdvPanel>(group, "Below", RECT{8, 116, 150, 176});
    for (TAdvPanel* p : {freed, below}) {
      p->Caption()->SetVisible(true);
      p->Caption()->SetCloseButton(true);
    }
  });
  freed->SetFreeOnClose(true);
  Record(freed);
  ASSERT_EQ(group->Panels().size(), 2u);
  Pump();
  Click(freed, freed->Width() - 8, 8);
  EXPECT_EQ(log_, "close ");  // no caption click after the close
  EXPECT_EQ(form->FindComponent("Freed"), nullptr);
  EXPECT_EQ(group->Panels(), std::vector<TCustomAdvPanel*>{below});
  EXPECT_EQ(below->Top(), 8);
}

TEST_F(AdvPanelTest, GroupStacksPanelsInColumnsAndFreesOwnerlessPanelsOnce) {
  TForm* form = MakeForm();
  auto* group = Add<TAdvPanelGroup>(form, "Group", RECT{0, 0, 300, 280});
  std::vector<TAdvPanel*> panels;
  for (int h : {50, 80, 60}) {
    auto* p = new TAdvPanel(nullptr);  // owned by nobody: the group frees it
    p->SetParent(group);
    p->SetBounds(0, static_cast<int>(panels.size()) * 100, 100, h);
    panels.push_back(p);
  }
  // A child of a panel that lays itself out on every resize.
  auto* inner = new TPanel(panels[0]);
  inner->SetParent(panels[0]);
  inner->SetAlign(alBottom);
  int relayouts = 0;
  inner->OnResize = [&](TObject*) { ++relayouts; };
  int groupResizes = 0;
  group->OnResize = [&](TObject*) { ++groupResizes; };
  LoadComponents(*group, [&] { SetPropertyByPath(*form, "Group.DefaultPanel.Caption.Text", "stored"); });
  EXPECT_EQ(group->DefaultPanel()->Caption()->Text(), "stored") << "the stored default panel settings are kept";
  EXPECT_GE(groupResizes, 2) << "loading steps the group's width out and back";
  relayouts = 0;
  group->SetColumns(2);
  EXPECT_GE(relayouts, 2) << "arranging steps each panel's children out and back";
  EXPECT_EQ(panels[0]->Top(), 8);
  EXPECT_EQ(panels[1]->Top(), 8);
  EXPECT_EQ(panels[2]->Top(), 96);  // the row takes its second panel's height
  EXPECT_EQ(panels[1]->Left(), (300 - 8) / 2 + 8);
  group->SetColumns(0);
  EXPECT_EQ(group->Columns(), 2);
  group->SetColumns(1);
  panels[0]->SetCollaps(true);
  EXPECT_EQ(panels[1]->Top(), 8 + panels[0]->Height() + 8);
  EXPECT_EQ(group->Panels().size(), 3u);
  delete form;  // the group frees the three panels once each
  forms_.clear();
}

TEST_F(AdvPanelTest, MovesByItsCaptionAndSizesByItsGrip) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->SetCanMove(true);
  panel->SetCanSize(true);
  Record(panel);
  form->Show();
  Pump();
  Drag(panel, POINT{60, 8}, POINT{90, 38});
  EXPECT_EQ(panel->Left(), 50);
  EXPECT_EQ(panel->Top(), 50);
  EXPECT_EQ(log_, "moved ");
  log_.clear();
  Drag(panel, POINT{197, 147}, POINT{217, 167});
  EXPECT_EQ(panel->Width(), 220);
  EXPECT_EQ(panel->Height(), 170);
  EXPECT_EQ(panel->Left(), 50);
  EXPECT_EQ(log_, "moved ");
  // Fixed edges stay where they are; the move cursor stays once shown.
  panel->SetFixedLeft(true);
  panel->SetFixedHeight(true);
  panel->SetShowMoveCursor(true);
  Drag(panel, POINT{60, 8}, POINT{90, 38});
  EXPECT_EQ(panel->Left(), 50);
  EXPECT_EQ(panel->Top(), 80);
  EXPECT_EQ(panel->Cursor(), crSizeAll);
  Drag(panel, POINT{217, 167}, POINT{227, 187});  // the grip sizes only the width now
  EXPECT_EQ(panel->Height(), 170);
  MoveTo(panel, 100, 100);
  EXPECT_EQ(panel->Cursor(), crSizeAll);
  // Without CanMove the caption does not move the panel.
  panel->SetFixedLeft(false);
  panel->SetCanMove(false);
  Drag(panel, POINT{60, 8}, POINT{90, 38});
  EXPECT_EQ(panel->Left(), 50);
}

TEST_F(AdvPanelTest, HoverOverButtonsAndAnchors) {
  TForm* form = MakeForm();
  TAdvPanel* panel = MakePanel(form);
  panel->Caption()->SetCloseButtonHoverColor(clRed);
  panel->SetHover(true);
  Record(panel);
  form->Show();
  Pump();
  MoveTo(panel, 200 - 8, 8);
  EXPECT_TRUE(panel->CloseButtonHot());
  bool red = false;
  for (int x = 186; x < 198; ++x) red |= Shown(panel, x, 7) == clRed;
  EXPECT_TRUE(red);
  MoveTo(panel, 100, 100);
  EXPECT_FALSE(panel->CloseButtonHot());
  // Find the anchor in the body text and hover it.
  RECT q;
  int ax = -1;
  for (int x = 0; x < 200 && ax < 0; ++x)
    if (panel->AnchorAt(x, 28, q) == "doc") ax = x + 3;
  ASSERT_GT(ax, 0);
  MoveTo(panel, ax, 28);
  EXPECT_EQ(panel->Cursor(), crHandPoint);
  EXPECT_GT(panel->HoverLinkIndex(), 0);
  Click(panel, ax, 28);
  MoveTo(panel, 100, 120);
  EXPECT_EQ(panel->Cursor(), crDefault);
  EXPECT_EQ(log_, "enter:doc click:doc exit: ");
}

TEST_F(AdvPanelTest, PositionSurvivesARestartInTheUsersSettings) {
  namespace fs = std::filesystem;
  fs::path config = fs::temp_directory_path() / ("vesk_panels_" + std::to_string(::getpid()));
  fs::create_directories(config);
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  {
    TForm* form = MakeForm();
    TAdvPanel* panel = MakePanel(form);
    panel->Position()->SetSave(true);
    panel->Position()->SetLocation(clInifile);
    panel->Position()->SetKey("../../etc/panels.ini");
    panel->Position()->SetSection("Panel1");
    form->Show();
    Pump();
    panel->SetBounds(33, 44, 180, 120);
    panel->SetCollaps(true);
    delete form;
    forms_.clear();
  }
  EXPECT_TRUE(fs::exists(config / "panels.ini"));
  EXPECT_FALSE(fs::exists(fs::path(ExecutableFolder()) / "panels.ini"));
  TForm* form = MakeForm();
  TAdvPanel* panel = nullptr;
  LoadComponents(*form, [&] {
    panel = new TAdvPanel(form);
    panel->SetParent(form);
    panel->Position()->SetSave(true);
    panel->Position()->SetLocation(clInifile);
    panel->Position()->SetKey("panels.ini");
    panel->Position()->SetSection("Panel1");
  });
  EXPECT_EQ(panel->Left(), 33);
  EXPECT_EQ(panel->Top(), 44);
  EXPECT_EQ(panel->Width(), 180);
  EXPECT_TRUE(panel->Collaps());
  EXPECT_EQ(panel->FullHeight(), 120);
  if (old) setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(config);
}

TEST_F(AdvPanelTest, ShadingsRepeatWithASeedAndStayInBounds) {
  TAdvPanel panel(nullptr);
  panel.Caption()->SetShadeSeed(42);
  panel.SetBounds(0, 0, 120, 60);
  auto pixels = [&] {
    TBitmap* h = panel.HeaderBitmap();
    std::vector<uint32_t> out;
    for (int y = 0; y < h->Height(); ++y) {
      auto* row = static_cast<uint32_t*>(h->ScanLine(y));
      out.insert(out.end(), row, row + h->Width());
    }
    return out;
  };
  panel.Caption()->SetShadeType(stNoise);
  auto first = pixels();
  panel.BuildShadedHeader();
  EXPECT_EQ(pixels(), first);
  panel.Caption()->SetShadeSeed(7);
  panel.BuildShadedHeader();
  EXPECT_NE(pixels(), first);
  // Every shading at sizes down to a single pixel.
  for (int type = stNormal; type <= stBitmapRStretch; ++type)
    for (auto [w, h] : {std::pair{1, 1}, std::pair{5, 1}, std::pair{1, 30}, std::pair{7, 7}, std::pair{60, 20}}) {
      panel.Caption()->SetHeight(h);
      panel.SetBounds(0, 0, w, 60);
      panel.Caption()->SetShadeType(static_cast<TShadeType>(type));
      EXPECT_EQ(panel.HeaderBitmap()->Width(), w);
    }
}

TEST_F(AdvPanelTest, CaptionAssignCopiesEverySetting) {
  TPanelCaption a, b;
  a.SetColor(clRed);
  a.SetCloseButton(true);
  a.SetShadeType(stVBump);
  a.SetShadeLight(150);
  EXPECT_EQ(a.ShadeLight(), 200);
  a.SetCloseButtonHoverColor(clLime);
  a.SetButtonPosition(cbpLeft);
  a.Font()->SetSize(15);
  b.Assign(&a);
  EXPECT_EQ(b.Color(), clRed);
  EXPECT_TRUE(b.CloseButton());
  EXPECT_EQ(b.ShadeType(), stVBump);
  EXPECT_EQ(b.CloseButtonHoverColor(), clLime);
  EXPECT_EQ(b.ButtonPosition(), cbpLeft);
  EXPECT_EQ(b.Font()->Size(), 15);
  TFont notACaption;
  EXPECT_THROW(b.Assign(&notACaption), EConvertError);
}

// A panel as a stored form gives it, every published property by name; a
// copy of it through Assign; and the scaling of its caption.
TEST_F(AdvPanelTest, StoredFormAssignAndScale) {
  TForm* form = MakeForm();
  const std::pair<const char*, const char*> props[] = {
      {"AutoHideChildren", "False"},        {"Buffered", "False"},           {"CollapsColor", "clRed"},
      {"Ellipsis", "True"},                 {"GradientDirection", "gdHorizontal"},
      {"HoverColor", "clYellow"},           {"HoverFontColor", "clNavy"},    {"Indent", "4"},
      {"LineSpacing", "2"},                 {"ShadowColor", "clBlue"},       {"ShadowOffset", "3"},
      {"TextVAlign", "tvaCenter"},          {"TopIndent", "5"},              {"URLColor", "clGreen"},
      {"AnchorHint", "True"},               {"ShowMoveCursor", "True"},      {"FixedTop", "True"},
      {"Height", "120"},                    {"FullHeight", "150"},           {"Caption.GradientDirection", "gdHorizontal"},
      {"StatusBar.Color", "clAqua"},        {"StatusBar.ColorTo", "clBlue"}, {"StatusBar.BorderStyle", "bsSingle"},
      {"StatusBar.BorderColor", "clRed"},   {"StatusBar.ImageIndex", "2"},   {"StatusBar.BevelInner", "True"},
      {"StatusBar.GradientDirection", "gdVertical"},                         {"Position.Location", "clInifile"},
  };
  TAdvPanel* stored = nullptr;
  LoadComponents(*form, [&] {
    stored = new TAdvPanel(form);
    stored->SetName("Stored");
    stored->SetParent(form);
    for (auto [name, value] : props) SetPropertyByPath(*form, std::string("Stored.") + name, value);
  });
  for (auto [name, value] : props) EXPECT_EQ(GetPropertyByPath(*form, std::string("Stored.") + name), value) << name;
  EXPECT_EQ(stored->FullHeight(), 150) << "the stored expanded height survives loading";

  // Assign copies the look and behaviour, not the size or the text layout.
  stored->SetHint("hint");
  stored->SetTag(7);
  stored->Font()->SetSize(13);
  auto* copy = new TAdvPanel(form);
  copy->Assign(stored);
  EXPECT_TRUE(copy->AnchorHint());
  EXPECT_FALSE(copy->AutoHideChildren());
  EXPECT_TRUE(copy->FixedTop());
  EXPECT_TRUE(copy->ShowMoveCursor());
  EXPECT_EQ(copy->Hint(), "hint");
  EXPECT_EQ(copy->Tag(), 7);
  EXPECT_EQ(copy->Font()->Size(), 13);
  EXPECT_EQ(copy->Indent(), 0) << "Indent is not copied";
  EXPECT_TRUE(copy->Buffered()) << "Buffered is not copied";

  // Scaling by 3/2 scales the caption's height and font too.
  copy->Caption()->SetHeight(20);
  copy->Caption()->Font()->SetSize(8);
  copy->ChangeScale(3, 2);
  EXPECT_EQ(copy->Caption()->Height(), 30);
  EXPECT_EQ(copy->Caption()->Font()->Size(), 12);

  // Unbuffered, the panel still paints its body.
  stored->SetColor(clLime);
  stored->SetColorTo(clNone);
  stored->Caption()->SetVisible(false);
  form->Show();
  Pump();
  EXPECT_EQ(Shown(stored, stored->Width() / 2, stored->Height() / 2), clLime);
}
