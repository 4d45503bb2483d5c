// The flat combo box: selection by the dropped list, its close-up event,
// its settings, label and focus colours, and the flat face it paints.
#include "platform/forms/properties.h"
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/advcombo.h"

namespace {

class AdvComboTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    form = MakeForm();
    combo = Add<TAdvComboBox>(form, "Combo", {60, 20, 200, 41});
    combo->SetStyle(csDropDownList);
    combo->Items()->SetCommaText("Low,Medium,High");
    other = Add<TEdit>(form, "Other", {60, 80, 200, 101});
  }
  TForm* form = nullptr;
  TAdvComboBox* combo = nullptr;
  TEdit* other = nullptr;
};

}  // namespace

TEST_F(AdvComboTest, ChoosesFromTheDroppedListAndTellsWhenItCloses) {
  std::vector<std::string> log;
  combo->OnDropDown = [&](TObject*) { log.push_back("drop"); };
  combo->OnDropUp = [&](TObject*) { log.push_back("up"); };
  combo->SetDropWidth(250);
  form->Show();
  Pump();
  Click(combo);
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->DropDownList()->Width(), 250);
  EXPECT_EQ(log, (std::vector<std::string>{"drop"})) << "no close-up event on drop-down";
  TCustomListBox* list = combo->DropDownList();
  const RECT third = list->ItemRect(2);
  Click(list, third.left + 5, (third.top + third.bottom) / 2);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "High");
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "up"}));
  Key(VK_UP);
  EXPECT_EQ(combo->Text(), "Medium");
}

TEST_F(AdvComboTest, SettingsAndLabel) {
  EXPECT_EQ(combo->Version(), "1.3.0.0");
  combo->SetVersion("9.9.9.9");
  EXPECT_EQ(combo->Version(), "1.3.0.0");
  const std::pair<int32_t, int32_t> widths[] = {{13, 18}, {33, 18}, {14, 14}, {32, 32}};
  combo->SetButtonWidth(18);
  for (auto [given, kept] : widths) {
    combo->SetButtonWidth(given);
    EXPECT_EQ(combo->ButtonWidth(), kept) << given;
  }
  combo->SetLabelPosition(lpLeftCenter);
  combo->SetLabelCaption("Quality");
  TLabel* label = combo->EditLabel().Label();
  ASSERT_NE(label, nullptr);
  label->SetAutoSize(false);
  for (auto [height, top] : {std::pair{13, 4}, std::pair{22, 0}}) {
    label->SetHeight(height);
    combo->SetBounds(combo->Left(), combo->Top(), combo->Width(), 21);
    EXPECT_EQ(label->Top(), combo->Top() + top) << height;
  }
  combo->SetLabelPosition(lpRightTop);
  EXPECT_EQ(label->Left(), combo->Left() + combo->Width() + 4);
}

TEST_F(AdvComboTest, AStoredComboTakesItsPublishedProperties) {
  const std::pair<const char*, const char*> props[] = {
      {"FlatLineColor", "clRed"},   {"FocusColor", "clYellow"},      {"FocusBorderColor", "clBlue"},
      {"DisabledBorder", "False"},  {"Color", "clAqua"},             {"LabelCaption", "Quality"},
      {"LabelTransparent", "True"}, {"LabelAlwaysEnabled", "True"},  {"Enabled", "False"},
  };
  TAdvComboBox* stored = nullptr;
  LoadComponents(*form, [&] {
    stored = new TAdvComboBox(form);
    stored->SetName("Stored");
    stored->SetParent(form);
    for (auto [name, value] : props) SetPropertyByPath(*form, std::string("Stored.") + name, value);
  });
  for (auto [name, value] : props) EXPECT_EQ(GetPropertyByPath(*form, std::string("Stored.") + name), value) << name;
  ASSERT_NE(stored->EditLabel().Label(), nullptr);
  EXPECT_TRUE(stored->EditLabel().Label()->Enabled()) << "the label stays enabled";
  EXPECT_TRUE(stored->EditLabel().Label()->Transparent());
}

TEST_F(AdvComboTest, FocusColourAndFlatLook) {
  combo->SetFocusColor(clYellow);
  combo->SetFocusLabel(true);
  combo->SetLabelCaption("Intent");
  Focus(combo);
  EXPECT_EQ(combo->Color(), clYellow);
  EXPECT_TRUE(combo->EditLabel().Label()->Font()->Style().Contains(fsBold));
  Focus(other);
  EXPECT_EQ(combo->Color(), clWindow);
  EXPECT_FALSE(combo->EditLabel().Label()->Font()->Style().Contains(fsBold));

  form->SetColor(clWhite);
  combo->SetFlatLineColor(clRed);
  combo->SetFlat(true);
  EXPECT_EQ(combo->Color(), clWhite) << "a flat combo takes its parent's colour";
  EXPECT_EQ(Probe(combo, 20, combo->Height() - 1), ColorToRGB(clRed)) << "the line under the text";
  combo->SetEnabled(false);
  combo->SetColor(clAqua);
  combo->SetEnabled(true);
  EXPECT_EQ(combo->Color(), clWhite) << "enabling brings back the colour it had";

  const std::tuple<bool, bool, bool, bool, int> faces[] = {
      {false, false, false, false, 4}, {true, true, true, false, 3}, {true, true, false, false, 1},
      {true, false, false, true, 2},   {true, false, true, true, 1}};
  for (auto [enabled, down, dropped, over, state] : faces)
    EXPECT_EQ(ComboButtonFace(enabled, down, dropped, over).ThemeState, state);
}
