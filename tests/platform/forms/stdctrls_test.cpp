// Standard controls driven by the injector: the edit (typing, selection,
// clipboard, undo, edit messages), the combo box (mouse and keys), check
// and radio buttons, the list box, labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/sysutils.h"
#include "platform/forms/menus.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

class StdCtrlsTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = MakeForm();
  }
  void ShowAndFocus(TWinControl* control) {
    form->Show();
    Pump();
    control->SetFocus();
    Pump();
  }
  TForm* form = nullptr;
};

TEST_F(StdCtrlsTest, EditTypesSelectsAndEditsByKeys) {
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 200, 31});
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  ShowAndFocus(edit);
  Type("hello world");
  EXPECT_EQ(edit->Text(), "hello world");
  EXPECT_EQ(edit->SelStart(), 11);
  EXPECT_EQ(changes, 11);

  Chord({VK_CONTROL, VK_SHIFT}, VK_LEFT);  // select the last word
  EXPECT_EQ(edit->SelText(), "world");
  Type("there");
  EXPECT_EQ(edit->Text(), "hello there");
  Key(VK_HOME);
  Chord({VK_SHIFT}, VK_RIGHT);
  Key(VK_DELETE);
  EXPECT_EQ(edit->Text(), "ello there");
  Key(VK_END);
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "ello ther");

  Chord({VK_CONTROL}, 'Z');
  EXPECT_EQ(edit->Text(), "ello there") << "undo restores the last change";
  Chord({VK_CONTROL}, 'Z');
  EXPECT_EQ(edit->Text(), "ello ther") << "undoing again redoes it";

  edit->SetText("");
  edit->SetMaxLength(4);
  Type("abcdef");
  EXPECT_EQ(edit->Text(), "abcd") << "MaxLength stops typing";
  edit->SetReadOnly(true);
  Type("x");
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "abcd");
}

TEST_F(StdCtrlsTest, EditClipboardAndEditMessages) {
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 200, 31});
  auto* other = Add<TEdit>(form, "Other", {10, 40, 200, 61});
  ShowAndFocus(edit);
  edit->SetText("copy me");
  edit->Perform(EM_SETSEL, 0, 4);
  EXPECT_EQ(edit->SelText(), "copy");
  Chord({VK_CONTROL}, 'C');
  other->SetFocus();
  Pump();
  other->SetText("[]");
  other->Perform(EM_SETSEL, 1, 1);
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(other->Text(), "[copy]");

  edit->SetFocus();
  Pump();
  edit->Perform(EM_SETSEL, 4, 7);
  edit->Perform(WM_CUT);
  EXPECT_EQ(edit->Text(), "copy");
  edit->Perform(EM_SETSEL, 0, -1);
  EXPECT_EQ(edit->SelLength(), 4) << "an end of -1 selects to the end";
  edit->Perform(WM_PASTE);
  EXPECT_EQ(edit->Text(), " me");
  edit->Perform(WM_UNDO);
  EXPECT_EQ(edit->Text(), "copy");

  // A password edit keeps its text out of the clipboard.
  other->SetPasswordChar(U'*');
  other->Perform(EM_SETSEL, 0, -1);
  other->Perform(WM_COPY);
  edit->Perform(EM_SETSEL, 4, 4);
  edit->Perform(WM_PASTE);
  EXPECT_EQ(edit->Text(), "copy me");

  // Positions and characters map both ways; the formatting rectangle can be moved.
  const LRESULT pos = edit->Perform(EM_POSFROMCHAR, 2);
  EXPECT_EQ(edit->Perform(EM_CHARFROMPOS, 0, MAKELPARAM(LOWORD(pos), HIWORD(pos))), 2);
  EXPECT_EQ(edit->Perform(EM_POSFROMCHAR, 99), -1);
  RECT r{};
  edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&r));
  RECT narrower{r.left + 10, r.top, r.right, r.bottom};
  edit->Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&narrower));
  RECT now{};
  edit->Perform(EM_GETRECT, 0, reinterpret_cast<LPARAM>(&now));
  EXPECT_EQ(now.left, r.left + 10);
  EXPECT_EQ(LOWORD(edit->Perform(EM_POSFROMCHAR, 0)), now.left);

  // A click places the caret at the character under the pointer.
  Click(edit, LOWORD(edit->Perform(EM_POSFROMCHAR, 3)), 10);
  EXPECT_EQ(edit->SelStart(), 3);
  EXPECT_EQ(edit->SelLength(), 0);
}

class ComboTest : public StdCtrlsTest {
protected:
  TComboBox* MakeCombo(TComboBoxStyle style) {
    auto* combo = Add<TComboBox>(form, "Combo", {10, 10, 200, 31});
    combo->SetStyle(style);
    for (const char* s : {"Low", "Medium", "High", "Ultra High"}) combo->Items()->Add(s);
    combo->SetItemIndex(1);
    combo->OnChange = [this](TObject*) { log.push_back("change " + IntToStr(lastCombo->ItemIndex())); };
    combo->OnDropDown = [this](TObject*) { log.push_back("drop"); };
    // The close-up event already sees the item chosen in the list.
    combo->OnCloseUp = [this](TObject*) { log.push_back("close " + IntToStr(lastCombo->ItemIndex())); };
    lastCombo = combo;
    return combo;
  }
  std::vector<std::string> log;
  TComboBox* lastCombo = nullptr;
};

TEST_F(ComboTest, MousePicksFromTheDroppedList) {
  TComboBox* combo = MakeCombo(csDropDownList);
  form->Show();
  Pump();
  Click(combo);
  ASSERT_TRUE(combo->DroppedDown());
  TCustomListBox* list = combo->DropDownList();
  const RECT third = list->ItemRect(2);
  Click(list, third.left + 5, (third.top + third.bottom) / 2);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "High");
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close 2", "change 2"}));

  // A click outside the list closes it without a choice.
  log.clear();
  Click(combo);
  Click(form, 350, 250);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close 2"}));
}

TEST_F(ComboTest, KeysStepOpenAndChoose) {
  TComboBox* combo = MakeCombo(csDropDownList);
  ShowAndFocus(combo);
  Key(VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 2);
  Key(VK_UP);
  Key(VK_UP);
  Key(VK_UP);
  EXPECT_EQ(combo->ItemIndex(), 0) << "stops at the first item";
  Key(VK_END);
  EXPECT_EQ(combo->ItemIndex(), 3);
  Type("m");
  EXPECT_EQ(combo->Text(), "Medium") << "a letter selects the next item starting with it";
  EXPECT_EQ(log, (std::vector<std::string>{"change 2", "change 1", "change 0", "change 3", "change 1"}));

  log.clear();
  Key(VK_F4);
  EXPECT_TRUE(combo->DroppedDown());
  Key(VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 1) << "moving in the open list changes nothing yet";
  Key(VK_RETURN);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  Chord({VK_MENU}, VK_DOWN);
  EXPECT_TRUE(combo->DroppedDown());
  Key(VK_ESCAPE);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(log, (std::vector<std::string>{"drop", "close 2", "change 2", "drop", "close 2"}));
  EXPECT_TRUE(form->Visible()) << "Return and Escape went to the list, not to the form";
}

// A long list drops down wide enough for its longest item beside the scroll
// bar; opened again after its last item was chosen, it ends at that item
// with no empty rows below, and the scroll bar stands at the end.
TEST_F(ComboTest, DroppedListShowsItsItemsWholeAndOpensAgainAtItsEnd) {
  TComboBox* combo = MakeCombo(csDropDownList);
  const std::string longest = "An item much longer than the combo box is wide";
  for (int i = 0; i < 8; ++i) combo->Items()->Add(i == 5 ? longest : "Item " + IntToStr(i));
  combo->SetDropDownCount(7);
  ShowAndFocus(combo);
  auto scrollPos = [](TCustomListBox* list) {
    SCROLLINFO info;
    info.fMask = SIF_POS;
    GetScrollInfo(list->Handle(), SB_VERT, &info);
    return info.nPos;
  };

  Key(VK_F4);
  TCustomListBox* list = combo->DropDownList();
  ASSERT_NE(list, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, combo->Font()->Handle());
  SIZE text{};
  GetTextExtentPoint32(dc, longest, &text);
  SelectObject(dc, old);
  DeleteDC(dc);
  EXPECT_GE(list->ItemRect(0).right - list->ItemRect(0).left, text.cx + 2) << "the longest item is not cut";
  EXPECT_LT(list->ClientWidth(), list->Width() - GetSystemMetrics(SM_CXVSCROLL) + 1) << "beside the scroll bar";
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_EQ(scrollPos(list), 0);

  for (int i = combo->ItemIndex(); i < combo->Items()->Count() - 1; ++i) Key(VK_DOWN);
  Key(VK_RETURN);
  ASSERT_EQ(combo->ItemIndex(), 11);
  Key(VK_F4);
  list = combo->DropDownList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->TopIndex(), 5) << "the last seven of twelve rows fill the list";
  EXPECT_EQ(scrollPos(list), 5);
  Key(VK_ESCAPE);
}

TEST_F(ComboTest, DropDownStyleTakesTypedText) {
  TComboBox* combo = MakeCombo(csDropDown);
  ShowAndFocus(combo);
  Type("High");
  EXPECT_EQ(combo->Text(), "High");
  EXPECT_EQ(combo->ItemIndex(), 2) << "typed text that names an item selects it";
  Type("er");
  EXPECT_EQ(combo->ItemIndex(), -1);
  combo->Perform(CB_SETDROPPEDWIDTH, 300);
  Key(VK_F4);
  ASSERT_TRUE(combo->DroppedDown());
  EXPECT_EQ(combo->DropDownList()->Width(), 300);
  Key(VK_ESCAPE);
}

TEST_F(ComboTest, SimpleStyleShowsItsListUnderTheEdit) {
  TComboBox* combo = MakeCombo(csSimple);
  combo->SetBounds(10, 10, 190, 120);
  form->Show();
  Pump();
  auto* list = dynamic_cast<TCustomListBox*>(combo->Controls(combo->ControlCount() - 1));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Count(), 4);
  EXPECT_EQ(list->ItemIndex(), 1);
  const RECT high = list->ItemRect(2);
  Click(list, 20, (high.top + high.bottom) / 2);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(combo->Text(), "High");
  EXPECT_FALSE(combo->DroppedDown()) << "a simple combo box never drops down";
  combo->SetDroppedDown(true);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(log, std::vector<std::string>{"change 2"});
}

TEST_F(StdCtrlsTest, CheckAndRadioButtonsToggleByMouseAndSpace) {
  auto* check = Add<TCheckBox>(form, "Check", {10, 10, 150, 27});
  check->SetCaption("&Perspective");
  auto* radio1 = Add<TRadioButton>(form, "Radio1", {10, 40, 150, 57});
  auto* radio2 = Add<TRadioButton>(form, "Radio2", {10, 60, 150, 77});
  int clicks = 0;
  check->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Pump();
  Click(check);
  EXPECT_TRUE(check->Checked());
  EXPECT_TRUE(check->Focused());
  Key(VK_SPACE);
  EXPECT_FALSE(check->Checked());
  Chord({VK_MENU}, 'P');
  EXPECT_TRUE(check->Checked()) << "the accelerator toggles it";
  check->SetChecked(false);
  EXPECT_EQ(clicks, 4) << "a change by the program runs OnClick too";
  check->SetAllowGrayed(true);
  Key(VK_SPACE);
  EXPECT_EQ(check->State(), cbGrayed);

  Click(radio1);
  EXPECT_TRUE(radio1->Checked());
  Click(radio2);
  EXPECT_TRUE(radio2->Checked());
  EXPECT_FALSE(radio1->Checked()) << "one radio button of a parent is checked";
}

TEST_F(StdCtrlsTest, ListBoxSelectsByMouseAndKeys) {
  auto* list = Add<TListBox>(form, "List", {10, 10, 150, 110});
  for (int i = 0; i < 20; ++i) list->Items()->Add("Item " + std::to_string(i));
  int clicks = 0;
  list->OnClick = [&](TObject*) { ++clicks; };
  form->Show();
  Pump();
  const RECT second = list->ItemRect(1);
  Click(list, 20, (second.top + second.bottom) / 2);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_TRUE(list->Focused());
  Key(VK_DOWN);
  Key(VK_END);
  EXPECT_EQ(list->ItemIndex(), 19);
  EXPECT_GT(list->TopIndex(), 0) << "the list scrolls to show the selection";
  Key(VK_HOME);
  EXPECT_EQ(list->TopIndex(), 0);
  EXPECT_EQ(clicks, 4);
  list->Items()->Clear();
  EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(StdCtrlsTest, MultiSelectListTakesCtrlAndShiftClicks) {
  auto* list = Add<TListBox>(form, "List", {10, 10, 150, 150});
  for (int i = 0; i < 6; ++i) list->Items()->Add("Item " + std::to_string(i));
  list->SetMultiSelect(true);
  form->Show();
  Pump();
  auto row = [&](int i) { return (list->ItemRect(i).top + list->ItemRect(i).bottom) / 2; };
  Click(list, 20, row(1));
  display::InjectKeyDown(VK_SHIFT);
  Click(list, 20, row(3));
  display::InjectKeyUp(VK_SHIFT);
  display::InjectKeyDown(VK_CONTROL);
  Click(list, 20, row(5));
  Click(list, 20, row(2));
  display::InjectKeyUp(VK_CONTROL);
  Pump();
  std::vector<bool> selected;
  for (int i = 0; i < 6; ++i) selected.push_back(list->Selected(i));
  EXPECT_EQ(selected, (std::vector<bool>{false, true, false, true, false, true}));
  EXPECT_EQ(list->SelCount(), 3);
  Click(list, 20, row(0));
  EXPECT_EQ(list->SelCount(), 1) << "a plain click selects one again";
  EXPECT_THROW(list->Selected(6), EListError);
}

TEST_F(StdCtrlsTest, LabelSizesToItsCaptionAndFocusesItsControl) {
  auto* label = Add<TLabel>(form, "Label", {10, 10, 20, 20});
  auto* edit = Add<TEdit>(form, "Edit", {100, 10, 200, 31});
  auto* button = Add<TButton>(form, "Button", {10, 60, 85, 85});
  label->SetCaption("&Name of the device");
  const int wide = label->Width();
  label->SetCaption("&Nm");
  EXPECT_LT(label->Width(), wide) << "AutoSize follows the caption";
  EXPECT_GT(label->Height(), 5);
  label->SetFocusControl(edit);
  form->Show();
  Pump();
  button->SetFocus();
  Pump();
  Chord({VK_MENU}, 'N');
  EXPECT_TRUE(edit->Focused());
  delete edit;  // the label forgets its focus control
  EXPECT_EQ(label->FocusControl(), nullptr);

  // CR, LF and CR LF each break the caption's line, wrapped or not.
  const struct {
    const char* caption;
    int lines;
  } breaks[] = {{"one\rtwo", 2}, {"one\ntwo", 2}, {"one\r\ntwo", 2}, {"one\r\rtwo", 3}};
  label->SetCaption("one");
  const int lineHeight = label->Height();
  for (bool wrap : {false, true}) {
    label->SetWordWrap(wrap);
    for (const auto& b : breaks) {
      label->SetCaption(b.caption);
      EXPECT_EQ(label->Height(), b.lines * lineHeight) << b.caption << (wrap ? " wrapped" : "");
    }
  }
  label->SetWordWrap(false);

  label->SetAutoSize(false);
  label->SetEllipsisPosition(epEndEllipsis);
  EXPECT_NE(label->DrawTextFlags() & DT_END_ELLIPSIS, 0u);
  label->SetShowAccelChar(false);
  EXPECT_NE(label->DrawTextFlags() & DT_NOPREFIX, 0u);
}

}  // namespace

namespace {

TEST_F(StdCtrlsTest, OwnerDrawListsAskForEachVisibleItem) {
  auto* list = Add<TListBox>(form, "List", {10, 10, 150, 70});
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  for (const char* s : {"a", "b", "c", "d", "e"}) list->Items()->Add(s);
  list->SetItemIndex(1);
  std::vector<std::pair<int, bool>> drawn;
  list->OnDrawItem = [&](TWinControl*, int32_t index, RECT rect, TOwnerDrawState state) {
    drawn.emplace_back(index, state.Contains(odSelected));
    EXPECT_EQ(rect.bottom - rect.top, 20);
  };
  form->Show();
  Pump();
  list->Update();
  ASSERT_GE(drawn.size(), 3u);
  EXPECT_EQ(drawn[0], (std::pair<int, bool>{0, false}));
  EXPECT_EQ(drawn[1], (std::pair<int, bool>{1, true}));
  EXPECT_LE(drawn.size(), 4u) << "only what fits is drawn";
}

}  // namespace

namespace {

TEST_F(ComboTest, FreeingWhatIsOpenLeavesNothingBehind) {
  TComboBox* combo = MakeCombo(csDropDownList);
  form->Show();
  Pump();
  Click(combo);
  ASSERT_TRUE(combo->DroppedDown());
  HWND list = combo->DropDownList()->Handle();
  delete combo;  // with its list open
  Pump();
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(GetCapture(), nullptr);

  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  item->SetCaption("Item");
  menu->Items()->Add(item);
  menu->Popup(100, 100);
  HWND window = menu->Window()->Handle();
  delete menu;
  Pump();
  EXPECT_FALSE(IsWindow(window));
  Click(form, 10, 10);  // the form still works
}

}  // namespace

namespace {

// A list whose items overflow shows a scroll bar that scrolls it; the wheel
// scrolls the list under the pointer even while another control has the keyboard.
TEST_F(StdCtrlsTest, OverflowingListShowsAScrollBarAndScrollsUnderThePointer) {
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 100, 31});
  auto* list = Add<TListBox>(form, "List", {10, 40, 130, 110});
  for (const char* s : {"one", "two", "three"}) list->Items()->Add(s);
  form->Show();
  Pump();
  auto hasBar = [&] { return (GetWindowLongPtr(list->Handle(), GWL_STYLE) & WS_VSCROLL) != 0; };
  EXPECT_FALSE(hasBar()) << "everything fits";
  for (int i = 0; i < 20; ++i) list->Items()->Add("item " + IntToStr(i));
  EXPECT_TRUE(hasBar());
  EXPECT_LT(list->ClientWidth(), list->Width() - GetSystemMetrics(SM_CXVSCROLL) + 1) << "the bar takes its width";

  RECT window;
  GetWindowRect(list->Handle(), &window);
  const int arrow = GetSystemMetrics(SM_CYVSCROLL);
  display::InjectClick(POINT{window.right - arrow / 2 - 1, window.bottom - arrow / 2 - 1});
  Pump();
  EXPECT_EQ(list->TopIndex(), 1) << "the down arrow scrolls a row";
  SCROLLINFO info;
  info.fMask = SIF_POS;
  GetScrollInfo(list->Handle(), SB_VERT, &info);
  EXPECT_EQ(info.nPos, 1);

  edit->SetFocus();
  Pump();
  display::InjectWheel(At(list), -WHEEL_DELTA);
  Pump();
  EXPECT_EQ(list->TopIndex(), 4) << "three rows a notch, though the edit has the keyboard";
  list->SetItemIndex(22);
  GetScrollInfo(list->Handle(), SB_VERT, &info);
  EXPECT_EQ(info.nPos, list->TopIndex()) << "the bar follows the list";
  list->Items()->Clear();
  EXPECT_FALSE(hasBar());
}

}  // namespace
