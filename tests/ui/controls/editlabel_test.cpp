// The label that edits and combo boxes carry: its font when a stored form
// sets it before the caption, and when none is given.
#include "platform/forms/properties.h"
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advedit.h"

namespace {

class EditLabelTest : public ControlsTest {};

// A control of class C read from a stored form whose properties come in
// the given order.
template <class C>
TEditLabel& Stored(TForm* form, const char* name, const std::vector<std::pair<std::string, std::string>>& props) {
  C* control = nullptr;
  LoadComponents(*form, [&] {
    control = new C(form);
    control->SetName(name);
    control->SetParent(form);
    control->SetBounds(120, 40, 120, 21);
    for (const auto& [path, value] : props) SetPropertyByPath(*form, std::string(name) + "." + path, value);
  });
  return control->EditLabel();
}

}  // namespace

TEST_F(EditLabelTest, AFontGivenBeforeTheCaptionIsKept) {
  TForm* form = MakeForm();
  const std::vector<std::pair<std::string, std::string>> fontFirst = {
      {"LabelFont.Name", "Courier New"}, {"LabelFont.Color", "clRed"}, {"LabelFont.Size", "14"},
      {"LabelCaption", "Photo:"}};
  for (TEditLabel* label : {&Stored<TAdvEdit>(form, "Edit", fontFirst), &Stored<TAdvComboBox>(form, "Combo", fontFirst)}) {
    ASSERT_NE(label->Label(), nullptr);
    const TFont* shown = label->Label()->Font();
    EXPECT_EQ(shown->Name(), "Courier New");
    EXPECT_EQ(shown->Color(), clRed);
    EXPECT_EQ(shown->Size(), 14);
  }
  // Without a font of its own the label starts in the control's.
  TEditLabel& plain = Stored<TAdvEdit>(form, "Plain", {{"Font.Name", "Times New Roman"}, {"LabelCaption", "Name:"}});
  ASSERT_NE(plain.Label(), nullptr);
  EXPECT_EQ(plain.Label()->Font()->Name(), "Times New Roman");
}

TEST_F(EditLabelTest, ALabelWithoutAFontOfItsOwnFollowsTheParentsFont) {
  TForm* form = MakeForm();
  form->Font()->SetName("Tahoma");
  auto* edit = Add<TAdvEdit>(form, "Edit", {120, 40, 240, 61});
  auto* combo = Add<TAdvComboBox>(form, "Combo", {120, 80, 240, 101});
  auto* own = Add<TAdvEdit>(form, "Own", {120, 120, 240, 141});
  own->LabelFont()->SetName("Courier New");
  for (TWinControl* c : std::initializer_list<TWinControl*>{edit, combo, own}) SetPropText(*c, "LabelCaption", "Label:");
  form->Font()->SetName("Times New Roman");
  EXPECT_EQ(edit->EditLabel().Label()->Font()->Name(), "Times New Roman");
  EXPECT_EQ(combo->EditLabel().Label()->Font()->Name(), "Times New Roman");
  EXPECT_EQ(own->EditLabel().Label()->Font()->Name(), "Courier New") << "a font of its own stays";
}
