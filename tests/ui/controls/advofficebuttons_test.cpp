// The office check box by click and Space, its anchors, and its painted box.
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/advofficebuttons.h"
#include "ui/render/htmlengine.h"

namespace {

class OfficeCheckBoxTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    form = MakeForm();
    box = Add<TAdvOfficeCheckBox>(form, "Box", {20, 20, 260, 40});
    box->SetTabStop(true);
    box->OnClick = [this](TObject*) { ++clicks; };
    Markup::SetAnchorOpener([this](const std::string& target) {
      opened.push_back(target);
      return true;
    });
  }
  void TearDown() override {
    Markup::SetAnchorOpener(nullptr);
    ControlsTest::TearDown();
  }
  TForm* form = nullptr;
  TAdvOfficeCheckBox* box = nullptr;
  int clicks = 0;
  std::vector<std::string> opened;
};

}  // namespace

TEST_F(OfficeCheckBoxTest, ClickAndSpaceToggle) {
  box->SetCaption("Perspective");
  form->Show();
  Pump();
  Click(box, 5, 10);
  EXPECT_TRUE(box->Focused()) << "the first click takes the focus";
  EXPECT_TRUE(box->Checked()) << "and toggles";
  display::InjectMouseDown(At(box, 5, 10));
  display::InjectMouseUp(At(box, box->Width(), 10));
  Pump();
  EXPECT_FALSE(box->Checked()) << "a release at x = Width still toggles";
  Key(VK_SPACE);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 3);
  box->SetState(cbGrayed);
  Key(VK_SPACE);
  EXPECT_EQ(box->State(), cbChecked) << "a grayed box becomes checked";
  box->SetReadOnly(true);
  Key(VK_SPACE);
  Click(box, 5, 10);
  EXPECT_TRUE(box->Checked());
  EXPECT_EQ(clicks, 6) << "read-only still clicks";
  EXPECT_EQ(box->Version(), "1.2.4.0");
}

TEST_F(OfficeCheckBoxTest, AnchorsOpenOnlyWebAndMailLinks) {
  box->SetCaption("<a href=\"https://example.org\">site</a> <a href=\"file:///bin/sh\">shell</a> <a href=\"note\">note</a>");
  std::vector<std::string> events;
  box->OnAnchorClick = [&](TObject*, const std::string& a) { events.push_back(a); };
  form->Show();
  Pump();
  box->SetFocus();
  Pump();
  // Find each anchor by walking the caption line.
  std::vector<std::string> hits;
  for (int x = 16; x < box->Width(); x += 2) {
    const size_t before = opened.size() + events.size();
    display::InjectMouseDown(At(box, x, 10));
    display::InjectMouseUp(At(box, x, 10));
    Pump();
    if (opened.size() + events.size() > before) x += 30;  // on to the next word
  }
  ASSERT_FALSE(opened.empty());
  EXPECT_EQ(opened[0], "https://example.org");
  for (const std::string& o : opened) EXPECT_EQ(o.find("file:"), std::string::npos) << "never runs a program";
  EXPECT_NE(std::find(events.begin(), events.end(), "note"), events.end());
}

TEST_F(OfficeCheckBoxTest, BoxFaceFollowsTheState) {
  const std::tuple<TCheckBoxState, bool, bool, bool, const char*, int> faces[] = {
      {cbUnchecked, true, false, false, "VARNOFCU", 1},  {cbChecked, true, false, true, "VARNOFCCH", 7},
      {cbChecked, true, true, false, "VARNOFCCD", 7},    {cbGrayed, false, false, false, "VARNOFCU", 12},
      {cbGrayed, true, false, true, "VARNOFCUH", 10},
  };
  for (auto [state, enabled, down, hot, bitmap, theme] : faces) {
    const TCheckBoxFace face = CheckBoxFace(state, enabled, down, hot);
    EXPECT_STREQ(face.Bitmap, bitmap);
    EXPECT_EQ(face.ThemeState, theme);
  }
  box->SetCaption("Box");
  box->SetButtonVertAlign(tlCenter);
  form->Show();
  Pump();
  const int top = box->ClientHeight() / 2 - 13 / 2;
  EXPECT_EQ(Probe(box, 6, top + 9), RGB(255, 255, 255)) << "unchecked: a white face";
  box->SetChecked(true);
  EXPECT_EQ(Probe(box, 6, top + 7), RGB(0x21, 0xA1, 0x21)) << "checked: the mark";
  EXPECT_EQ(Probe(box, 0, top + 5), RGB(0x1C, 0x51, 0x80)) << "the frame";
}
