// Menus: shortcut texts, items, and the popup menu used by mouse and keys.
#include "platform/forms/menus.h"

#include <gtest/gtest.h>

#include "tests/platform/forms/forms_test_support.h"

namespace {

TEST(ShortCuts, TextAndKeysConvertBothWays) {
  struct Case {
    const char* text;
    TShortCut shortCut;
  } cases[] = {{"Ctrl+S", static_cast<TShortCut>(scCtrl | 'S')},
               {"Shift+Ctrl+Del", static_cast<TShortCut>(scShift | scCtrl | VK_DELETE)},
               {"F1", VK_F1},
               {"Alt+F12", static_cast<TShortCut>(scAlt | VK_F12)},
               {"Num 5", VK_NUMPAD5},
               {"Enter", VK_RETURN}};
  for (const Case& c : cases) {
    EXPECT_EQ(TextToShortCut(c.text), c.shortCut) << c.text;
    EXPECT_EQ(ShortCutToText(c.shortCut), c.text);
  }
  EXPECT_EQ(TextToShortCut("ctrl+shift+s"), static_cast<TShortCut>(scCtrl | scShift | 'S'));
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Hyper+Q"), 0);
  EXPECT_EQ(ShortCutToText(0), "");

  TMenuItem item(nullptr);
  SetPropText(item, "ShortCut", "Ctrl+O");
  EXPECT_EQ(item.ShortCut(), scCtrl | 'O');
  EXPECT_EQ(GetPropText(item, "ShortCut"), "Ctrl+O");
  EXPECT_THROW(SetPropText(item, "ShortCut", "Ctrl+Nothing"), EPropertyError);
}

TEST(MenuItems, TreeFindAndRadioGroups) {
  TPopupMenu menu(nullptr);
  auto* en = new TMenuItem(&menu);
  en->SetCaption("&English");
  auto* de = new TMenuItem(&menu);
  de->SetCaption("&Deutsch");
  for (TMenuItem* item : {en, de}) {
    item->SetRadioItem(true);
    menu.Items()->Add(item);
  }
  EXPECT_EQ(menu.Items()->Find("deutsch"), de);
  EXPECT_EQ(de->MenuIndex(), 1);
  EXPECT_EQ(de->GetParentMenu(), &menu);
  EXPECT_THROW(menu.Items()->Add(de), EMenuError);
  en->SetChecked(true);
  de->SetChecked(true);
  EXPECT_FALSE(en->Checked());
  delete en;  // leaves its parent item
  EXPECT_EQ(menu.Items()->Count(), 1);
}

using PopupTest = FormsTest;

TEST_F(PopupTest, PopupRunsTheChosenItemByMouseOrKeys) {
  TForm* form = MakeForm();
  auto* menu = new TPopupMenu(form);
  std::vector<std::string> chosen;
  for (const char* code : {"en", "de", "fr"}) {
    auto* item = new TMenuItem(form);
    item->SetCaption(std::string("Language ") + code);
    item->SetHint(code);
    item->OnClick = [&chosen](TObject* sender) { chosen.push_back(static_cast<TMenuItem*>(sender)->Hint()); };
    menu->Items()->Add(item);
  }
  menu->Items()->Items(2)->SetEnabled(false);
  form->Show();
  Pump();

  menu->Popup(200, 200);
  ASSERT_TRUE(menu->IsShowing());
  TPopupWindow* window = menu->Window();
  const RECT second = window->RowRect(1);
  Click(window, 20, (second.top + second.bottom) / 2);
  EXPECT_FALSE(menu->IsShowing());
  EXPECT_EQ(chosen, std::vector<std::string>{"de"});

  menu->Popup(200, 200);
  Key(VK_DOWN);
  EXPECT_EQ(Application->Hint(), "en") << "the highlighted item's hint";
  Key(VK_DOWN);
  Key(VK_DOWN);  // past the disabled item, round to the first
  Key(VK_UP);    // and back over it
  Key(VK_RETURN);
  EXPECT_EQ(chosen, (std::vector<std::string>{"de", "de"}));

  menu->Popup(200, 200);
  const RECT third = menu->Window()->RowRect(2);
  Click(menu->Window(), 20, (third.top + third.bottom) / 2);
  EXPECT_TRUE(menu->IsShowing()) << "a disabled item does nothing";
  Key(VK_ESCAPE);
  EXPECT_FALSE(menu->IsShowing());
  EXPECT_EQ(chosen.size(), 2u);

  // A right click on a control shows its popup menu; a click elsewhere closes it.
  form->SetPopupMenu(menu);
  display::InjectClick(At(form, 30, 30), display::MouseButton::Right);
  Pump();
  EXPECT_TRUE(menu->IsShowing());
  EXPECT_EQ(menu->PopupComponent(), form);
  Click(form, 390, 290);
  EXPECT_FALSE(menu->IsShowing());
  delete menu;
  EXPECT_EQ(form->PopupMenu(), nullptr) << "the form heard of the menu's end";
}

}  // namespace

namespace {

TEST_F(PopupTest, ShortcutsRunTheirItemsFromTheKeyboard) {
  TForm* form = MakeForm();
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 100, 31});
  auto* popup = new TPopupMenu(form);
  auto* mainMenu = new TMainMenu(form);
  int saves = 0, opens = 0;
  auto* save = new TMenuItem(form);
  save->SetShortCut(TextToShortCut("Ctrl+S"));
  save->OnClick = [&](TObject*) { ++saves; };
  popup->Items()->Add(save);
  auto* open = new TMenuItem(form);
  open->SetShortCut(TextToShortCut("Ctrl+O"));
  open->OnClick = [&](TObject*) { ++opens; };
  mainMenu->Items()->Add(open);
  edit->SetPopupMenu(popup);
  form->SetMenu(mainMenu);
  form->Show();
  Pump();
  edit->SetFocus();
  Pump();
  Chord({VK_CONTROL}, 'S');
  Chord({VK_CONTROL}, 'O');
  EXPECT_EQ(saves, 1) << "the focused control's popup menu";
  EXPECT_EQ(opens, 1) << "the form's main menu";
  EXPECT_EQ(edit->Text(), "") << "a shortcut types nothing";
  open->SetEnabled(false);
  Chord({VK_CONTROL}, 'O');
  EXPECT_EQ(opens, 1) << "a disabled item does not run";
  delete mainMenu;
  EXPECT_EQ(form->Menu(), nullptr);
}

}  // namespace

namespace {

TEST_F(PopupTest, MainMenuBarDropsItsItemsDown) {
  TForm* form = MakeForm();
  auto* menu = new TMainMenu(form);
  std::vector<std::string> ran;
  auto add = [&](TMenuItem* parent, const char* caption) {
    auto* item = new TMenuItem(form);
    item->SetCaption(caption);
    item->OnClick = [&ran, caption](TObject*) { ran.push_back(caption); };
    parent->Add(item);
    return item;
  };
  TMenuItem* file = add(menu->Items(), "&File");
  add(file, "&Open");
  add(file, "&Save");
  add(menu->Items(), "&Help");
  auto* body = Add<TPanel>(form, "Body", {0, 0, 10, 10});
  body->SetAlign(alClient);
  form->SetMenu(menu);
  form->Show();
  Pump();
  TMenuBar* bar = form->MenuBar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(body->Top(), bar->Height()) << "the bar takes the top of the client area";

  const RECT fileCell = bar->ItemRect(0);
  Click(bar, fileCell.left + 5, 5);
  // The drop-down shows File's items; pick Save.
  TPopupWindow* drop = nullptr;
  for (HWND w = FindWindowEx(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowEx(nullptr, w, nullptr, nullptr))
    if (auto* p = dynamic_cast<TPopupWindow*>(TWinControl::FindControl(w)); p && IsWindowVisible(w)) drop = p;
  ASSERT_NE(drop, nullptr);
  ASSERT_EQ(drop->Rows().size(), 2u);
  const RECT save = drop->RowRect(1);
  Click(drop, 20, (save.top + save.bottom) / 2);
  Chord({VK_MENU}, 'H');
  EXPECT_EQ(ran, (std::vector<std::string>{"&Save", "&Help"}));

  delete menu;
  EXPECT_EQ(form->MenuBar(), nullptr);
  EXPECT_EQ(body->Top(), 0);
}

}  // namespace

namespace {

// A command that runs a modal loop (a message box here) lets the menu's
// release through while the menu's own button-up handler is still on the
// stack: the menu must outlive that handler, and no message may reach it
// after it is gone.
TEST_F(PopupTest, ModalCommandChosenByMouseOrKeyLeavesNoFreedMenuBehind) {
  TForm* form = MakeForm();
  auto* menu = new TPopupMenu(form);
  auto* about = new TMenuItem(form);
  about->SetCaption("&About");
  int closedBy = 0;
  about->OnClick = [&](TObject*) {
    // Queued behind the menu's release: the box closes only after the menu was asked to go.
    display::InjectKey(VK_RETURN);
    ShowMessage("About");
    ++closedBy;
  };
  menu->Items()->Add(about);
  form->Show();
  Pump();
  for (bool byMouse : {true, false}) {
    menu->Popup(100, 100);
    TPopupWindow* window = menu->Window();
    ASSERT_NE(window, nullptr);
    const HWND handle = window->Handle();
    if (byMouse) {
      const RECT row = window->RowRect(0);
      Click(window, 20, (row.top + row.bottom) / 2);
    } else {
      Key(VK_DOWN);
      Key(VK_RETURN);
    }
    Pump();
    EXPECT_FALSE(IsWindow(handle)) << "the menu's window went once its handler returned";
    EXPECT_EQ(TWinControl::FindControl(handle), nullptr);
    EXPECT_NE(GetCapture(), handle);
  }
  EXPECT_EQ(closedBy, 2);
  ASSERT_EQ(MessageBoxLog().size(), 2u);
  // Input after the box closed reaches the form, not the freed menu.
  Click(form, 10, 10);
  EXPECT_EQ(GetCapture(), nullptr);
}

}  // namespace

namespace {

display::HeadlessWindowState ShownState(HWND h) {
  display::HeadlessWindowState state;
  EXPECT_TRUE(display::HeadlessWindow(reinterpret_cast<display::WindowKey>(h), state));
  return state;
}

// Menus, drop-downs and message boxes as the window system gets them, and
// where the keyboard goes when they close.
TEST_F(PopupTest, PopUpsArePlacedExactlyAndGiveTheKeyboardBack) {
  TForm* form = MakeForm();
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 100, 31});
  auto* combo = Add<TComboBox>(form, "Combo", {10, 50, 150, 71});
  combo->SetStyle(csDropDownList);
  for (const char* s : {"Low", "High"}) combo->Items()->Add(s);
  auto* menu = new TPopupMenu(form);
  auto* item = new TMenuItem(form);
  item->SetCaption("Message");
  item->OnClick = [](TObject*) {
    display::InjectKey(VK_RETURN);
    ShowMessage("Done");
  };
  menu->Items()->Add(item);
  form->Show();
  Pump();
  edit->SetFocus();
  Pump();
  const HWND formWindow = form->Handle();

  menu->Popup(300, 200);
  HWND popup = menu->Window()->Handle();
  display::HeadlessWindowState s = ShownState(popup);
  EXPECT_EQ(s.shape.kind, display::WindowKind::PopupMenu);
  EXPECT_EQ(s.rect.left, 300);
  EXPECT_EQ(s.rect.top, 200);
  EXPECT_EQ(GetActiveWindow(), formWindow) << "the form stays active while its menu is open";
  Key(VK_ESCAPE);
  EXPECT_TRUE(ShownState(popup).destroyed);
  EXPECT_TRUE(edit->Focused()) << "Escape gives the keyboard back";

  combo->SetFocus();
  Pump();
  combo->SetDroppedDown(true);
  HWND list = nullptr;
  for (HWND w = FindWindowEx(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowEx(nullptr, w, nullptr, nullptr))
    if (w != formWindow && IsWindowVisible(w)) list = w;
  ASSERT_NE(list, nullptr);
  s = ShownState(list);
  EXPECT_EQ(s.shape.kind, display::WindowKind::PopupMenu);
  const POINT below = combo->ClientToScreen(POINT{0, combo->Height()});
  EXPECT_EQ(s.rect.left, below.x);
  EXPECT_EQ(s.rect.top, below.y) << "right below the combo";
  Key(VK_ESCAPE);
  Pump();
  EXPECT_TRUE(ShownState(list).destroyed);
  EXPECT_TRUE(combo->Focused());

  edit->SetFocus();
  Pump();
  HWND box = nullptr;
  Screen->OnActiveFormChange = [&](TObject*) {
    if (Screen->ActiveForm() && Screen->ActiveForm() != form) box = Screen->ActiveForm()->Handle();
  };
  menu->Popup(300, 200);
  Key(VK_DOWN);
  Key(VK_RETURN);
  Pump();
  Screen->OnActiveFormChange = nullptr;
  ASSERT_NE(box, nullptr);
  s = ShownState(box);
  EXPECT_EQ(s.shape.kind, display::WindowKind::Dialog);
  EXPECT_EQ(s.shape.owner, reinterpret_cast<display::WindowKey>(formWindow)) << "kept above the form";
  EXPECT_TRUE(s.destroyed);
  EXPECT_EQ(GetActiveWindow(), formWindow);
  EXPECT_TRUE(edit->Focused()) << "the keyboard is back where it was";
}

}  // namespace

namespace {

// With a menu of the bar open, the pointer over another cell and the Left
// and Right keys open the other menus; the form stays active throughout.
TEST_F(PopupTest, OpenMenuMovesAlongTheBarByPointerAndArrows) {
  TForm* form = MakeForm();
  auto* menu = new TMainMenu(form);
  std::vector<TMenuItem*> tops;
  for (const char* caption : {"&File", "&Edit", "&Help"}) {
    auto* top = new TMenuItem(form);
    top->SetCaption(caption);
    auto* sub = new TMenuItem(form);
    sub->SetCaption(std::string(caption + 1) + " item");
    top->Add(sub);
    menu->Items()->Add(top);
    tops.push_back(top);
  }
  form->SetMenu(menu);
  form->Show();
  Pump();
  TMenuBar* bar = form->MenuBar();
  auto openRows = [&]() -> std::string {
    for (HWND w = FindWindowEx(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowEx(nullptr, w, nullptr, nullptr))
      if (auto* p = dynamic_cast<TPopupWindow*>(TWinControl::FindControl(w)); p && IsWindowVisible(w))
        return p->Rows().at(0)->Caption();
    return "";
  };
  const RECT file = bar->ItemRect(0), help = bar->ItemRect(2);
  Click(bar, file.left + 5, 5);
  EXPECT_EQ(openRows(), "File item");
  display::InjectMouseMove(At(bar, help.left + 5, 5));
  Pump();
  EXPECT_EQ(openRows(), "Help item") << "the pointer moved along the bar";
  Key(VK_RIGHT);
  EXPECT_EQ(openRows(), "File item") << "Right wraps round to the first menu";
  Key(VK_LEFT);
  EXPECT_EQ(openRows(), "Help item");
  Key(VK_LEFT);
  EXPECT_EQ(openRows(), "Edit item");
  EXPECT_EQ(GetActiveWindow(), form->Handle());
  Key(VK_ESCAPE);
  EXPECT_EQ(openRows(), "");
  delete menu;
}

}  // namespace
