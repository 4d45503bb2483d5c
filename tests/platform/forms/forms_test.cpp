// Forms headless: building a form class, focus and tab order, modal forms
// answered through the injector, dialog keys, mouse on graphic controls,
// alignment, closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

// A form written as a program writes one: its unit lists its components.
class TForm1 : public TForm {
public:
  explicit TForm1(TComponent* owner) : TForm(owner) {
    LoadComponents(*this, [this] {
      SetName("Form1");
      SetCaption("First");
      SetBounds(40, 40, 300, 200);
      Label1 = new TLabel(this);
      Label1->SetName("Label1");
      Label1->SetParent(this);
      Label1->SetCaption("Name");
      Edit1 = new TEdit(this);
      Edit1->SetName("Edit1");
      Edit1->SetParent(this);
      Edit1->SetBounds(10, 30, 120, 21);
      stateSeen.push_back(Edit1->ComponentState().Contains(csLoading));
      OnCreate = [this](TObject*) { log.push_back("create: " + Edit1->Text()); };
    });
  }
  void Loaded() override {
    TForm::Loaded();
    log.push_back("loaded");
  }
  TLabel* Label1 = nullptr;
  TEdit* Edit1 = nullptr;
  std::vector<std::string> log;
  std::vector<bool> stateSeen;
};

using FormTest = FormsTest;

TEST_F(FormTest, FormClassLoadsItsComponentsThenRunsOnCreate) {
  auto* form = new TForm1(Application);
  EXPECT_EQ(form->log, (std::vector<std::string>{"loaded", "create: "}));
  EXPECT_EQ(form->stateSeen, std::vector<bool>{true});
  EXPECT_FALSE(form->Edit1->ComponentState().Contains(csLoading));
  EXPECT_EQ(form->ClassName(), "TForm1");
  EXPECT_EQ(Application->FindComponent("form1"), form);
  EXPECT_EQ(form->FindComponent("LABEL1"), form->Label1);

  // Properties by path, as a language file sets them.
  SetPropertyByPath(*form, "self.Caption", "Erste");
  SetPropertyByPath(*form, "Label1.Caption", "Vorname");
  SetPropertyByPath(*form, "Edit1.Font.Style", "[fsBold]");
  EXPECT_EQ(form->Caption(), "Erste");
  EXPECT_EQ(form->Label1->Caption(), "Vorname");
  EXPECT_TRUE(form->Edit1->Font()->Style().Contains(fsBold));
  EXPECT_FALSE(form->Edit1->ParentFont());

  delete form;  // the form frees what it owns
  EXPECT_EQ(Application->FindComponent("Form1"), nullptr);
}

TEST_F(FormTest, TabMovesTheFocusInTabOrderAndRunsEnterAndExit) {
  TForm* form = MakeForm();
  auto* first = Add<TEdit>(form, "First", {10, 10, 100, 31});
  auto* panel = Add<TPanel>(form, "Panel", {10, 40, 200, 140});
  auto* inner = Add<TEdit>(panel, "Inner", {10, 10, 100, 31});
  auto* button = Add<TButton>(form, "Button", {10, 150, 85, 175});
  auto* hidden = Add<TEdit>(form, "Hidden", {120, 10, 200, 31});
  hidden->SetVisible(false);
  auto* disabled = Add<TEdit>(form, "Disabled", {120, 40, 200, 61});
  disabled->SetEnabled(false);
  std::vector<std::string> log;
  for (TWinControl* c : std::vector<TWinControl*>{first, panel, inner, button}) {
    c->OnEnter = [&log, c](TObject*) { log.push_back("enter " + c->Name()); };
    c->OnExit = [&log, c](TObject*) { log.push_back("exit " + c->Name()); };
  }
  form->Show();
  Pump();
  EXPECT_TRUE(first->Focused()) << "the first tab stop takes the focus when the form shows";
  EXPECT_EQ(form->ActiveControl(), first);

  log.clear();
  Key(VK_TAB);
  EXPECT_TRUE(inner->Focused()) << "the panel is no tab stop; its child is next";
  Key(VK_TAB);
  EXPECT_TRUE(button->Focused());
  Key(VK_TAB);
  EXPECT_TRUE(first->Focused()) << "hidden and disabled controls are skipped, and the order wraps";
  EXPECT_EQ(log, (std::vector<std::string>{"exit First", "enter Panel", "enter Inner", "exit Inner", "exit Panel",
                                           "enter Button", "exit Button", "enter First"}));

  Chord({VK_SHIFT}, VK_TAB);
  EXPECT_TRUE(button->Focused()) << "Shift+Tab goes back";

  button->SetTabOrder(0);
  first->SetFocus();
  Pump();
  Chord({VK_SHIFT}, VK_TAB);
  EXPECT_TRUE(button->Focused()) << "the button now comes first";
  EXPECT_EQ(Screen->ActiveControl(), button);

  Click(inner);
  EXPECT_TRUE(inner->Focused()) << "a click focuses an edit";
}

TEST_F(FormTest, ShowModalAnswersWithTheClickedButtonsResult) {
  struct Case {
    const char* what;
    std::function<void(TForm*)> act;
    TModalResult expected;
  };
  const Case cases[] = {
      {"click on OK", [](TForm* f) { display::InjectClick(At(static_cast<TControl*>(f->FindComponent("OK")))); },
       mrOk},
      {"click on Cancel",
       [](TForm* f) { display::InjectClick(At(static_cast<TControl*>(f->FindComponent("Cancel")))); }, mrCancel},
      {"Return (default button)", [](TForm*) { display::InjectKey(VK_RETURN); }, mrOk},
      {"Escape (cancel button)", [](TForm*) { display::InjectKey(VK_ESCAPE); }, mrCancel},
      {"closing the window", [](TForm* f) { PostMessage(f->Handle(), WM_CLOSE, 0, 0); }, mrCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TForm* form = MakeForm(300, 120);
    auto* edit = Add<TEdit>(form, "Edit", {10, 10, 200, 31});
    auto* ok = Add<TButton>(form, "OK", {10, 60, 85, 85});
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    auto* cancel = Add<TButton>(form, "Cancel", {100, 60, 175, 85});
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    form->SetActiveControl(edit);
    bool acted = false;
    form->OnActivate = [&](TObject*) {
      if (!acted) c.act(form);
      acted = true;
    };
    EXPECT_EQ(form->ShowModal(), c.expected);
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(form->ModalResult(), c.expected);
  }
}

TEST_F(FormTest, CloseQueryCanRefuseAndOnCloseChoosesTheAction) {
  TForm* form = MakeForm();
  bool allow = false;
  TCloseAction action = caHide;
  form->OnCloseQuery = [&](TObject*, bool& canClose) { canClose = allow; };
  form->OnClose = [&](TObject*, TCloseAction& a) { a = action; };
  form->Show();
  form->Close();
  EXPECT_TRUE(form->Visible()) << "refused by OnCloseQuery";
  allow = true;
  action = caNone;
  form->Close();
  EXPECT_TRUE(form->Visible()) << "caNone keeps it";
  action = caHide;
  form->Close();
  EXPECT_FALSE(form->Visible());

  // caFree releases the form once the queue is handled.
  auto* released = new TForm(Application);
  released->SetName("Released");
  released->OnClose = [](TObject*, TCloseAction& a) { a = caFree; };
  released->Show();
  released->Close();
  EXPECT_NE(Application->FindComponent("Released"), nullptr);
  Pump();
  EXPECT_EQ(Application->FindComponent("Released"), nullptr);
}

TEST_F(FormTest, KeyPreviewLetsTheFormSeeKeysFirst) {
  TForm* form = MakeForm();
  auto* edit = Add<TEdit>(form, "Edit", {10, 10, 100, 31});
  std::vector<std::string> log;
  form->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    log.push_back("form " + IntToStr(key));
    if (key == VK_F1) key = 0;  // the form keeps F1
  };
  edit->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { log.push_back("edit " + IntToStr(key)); };
  form->Show();
  Pump();
  Key(VK_F1);
  EXPECT_EQ(log, std::vector<std::string>{"edit 112"}) << "without KeyPreview the form hears nothing";
  log.clear();
  form->SetKeyPreview(true);
  Key(VK_F1);
  Key(VK_F2);
  EXPECT_EQ(log, (std::vector<std::string>{"form 112", "form 113", "edit 113"}));
}

TEST_F(FormTest, GraphicControlsGetClicksAndMouseEnterLeave) {
  TForm* form = MakeForm();
  auto* label = Add<TLabel>(form, "Label", {20, 20, 120, 40});
  label->SetAutoSize(false);
  label->SetBounds(20, 20, 100, 20);
  std::vector<std::string> log;
  label->OnClick = [&](TObject*) { log.push_back("click"); };
  label->OnMouseEnter = [&](TObject*) { log.push_back("enter"); };
  label->OnMouseLeave = [&](TObject*) { log.push_back("leave"); };
  form->OnClick = [&](TObject*) { log.push_back("form click"); };
  form->Show();
  Pump();
  Click(label);
  display::InjectMouseMove(At(form, 300, 200));
  Pump();
  Click(form, 300, 200);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "click", "leave", "form click"}));

  // A disabled graphic control passes the mouse to its parent.
  log.clear();
  label->SetEnabled(false);
  Click(label);
  EXPECT_EQ(log, std::vector<std::string>{"form click"});
}

TEST_F(FormTest, AlignedAndAnchoredControlsFollowTheirParent) {
  TForm* form = MakeForm();
  form->SetClientSize(400, 300);
  auto* top = Add<TPanel>(form, "Top", {0, 0, 10, 40});
  top->SetAlign(alTop);
  auto* bottom = Add<TPanel>(form, "Bottom", {0, 0, 10, 30});
  bottom->SetAlign(alBottom);
  auto* left = Add<TPanel>(form, "Left", {0, 0, 50, 10});
  left->SetAlign(alLeft);
  auto* client = Add<TPanel>(form, "Client", {0, 0, 10, 10});
  client->SetAlign(alClient);
  auto* corner = Add<TButton>(client, "Corner", {250, 180, 330, 205});
  corner->SetAnchors(TAnchors{akRight, akBottom});
  auto* wide = Add<TEdit>(client, "Wide", {10, 10, 300, 31});
  wide->SetAnchors(TAnchors{akLeft, akTop, akRight});

  auto rect = [](TControl* c) {
    return std::vector<int>{c->Left(), c->Top(), c->Width(), c->Height()};
  };
  EXPECT_EQ(rect(top), (std::vector<int>{0, 0, 400, 40}));
  EXPECT_EQ(rect(bottom), (std::vector<int>{0, 270, 400, 30}));
  EXPECT_EQ(rect(left), (std::vector<int>{0, 40, 50, 230}));
  EXPECT_EQ(rect(client), (std::vector<int>{50, 40, 350, 230}));

  form->SetClientSize(500, 350);
  EXPECT_EQ(rect(client), (std::vector<int>{50, 40, 450, 280}));
  EXPECT_EQ(rect(corner), (std::vector<int>{350, 230, 80, 25})) << "anchored right and bottom: moves";
  EXPECT_EQ(rect(wide), (std::vector<int>{10, 10, 390, 21})) << "anchored left and right: stretches";

  bottom->SetVisible(false);
  EXPECT_EQ(rect(client), (std::vector<int>{50, 40, 450, 310}));
}

TEST_F(FormTest, SizeLimitsPaddingAndTheResizeQuestion) {
  TForm* form = MakeForm();
  form->SetClientSize(400, 300);
  auto* panel = Add<TPanel>(form, "Panel", {10, 10, 210, 110});
  panel->SetBevelOuter(bvNone);
  auto rect = [](TControl* c) { return std::vector<int>{c->Left(), c->Top(), c->Width(), c->Height()}; };
  // A limit holds at once and for every later size.
  panel->Constraints()->SetMaxWidth(150);
  panel->Constraints()->SetMinHeight(120);
  EXPECT_EQ(rect(panel), (std::vector<int>{10, 10, 150, 120}));
  panel->SetBounds(10, 10, 500, 20);
  EXPECT_EQ(rect(panel), (std::vector<int>{10, 10, 150, 120}));
  panel->Constraints()->SetMinWidth(200);
  EXPECT_EQ(panel->Constraints()->MaxWidth(), 200) << "a maximum never stays below its minimum";
  panel->Constraints()->SetMinWidth(0);
  panel->Constraints()->SetMaxWidth(150);
  // OnCanResize may change the size or refuse it; a refused size still moves.
  panel->OnCanResize = [](TObject*, int32_t& w, int32_t&, bool& resize) {
    if (w == 99) resize = false;
    else w = 140;
  };
  panel->SetBounds(20, 20, 99, 130);
  EXPECT_EQ(rect(panel), (std::vector<int>{20, 20, 150, 120}));
  panel->SetBounds(20, 20, 100, 130);
  EXPECT_EQ(rect(panel), (std::vector<int>{20, 20, 140, 130}));
  panel->OnCanResize = nullptr;
  // Aligned children keep off the padding and keep their own limits.
  auto* child = Add<TPanel>(panel, "Child", {0, 0, 10, 10});
  child->SetAlign(alClient);
  panel->Padding()->SetLeft(5);
  panel->Padding()->SetTop(6);
  panel->Padding()->SetRight(7);
  panel->Padding()->SetBottom(8);
  EXPECT_EQ(rect(child), (std::vector<int>{5, 6, 128, 116}));
  child->Constraints()->SetMaxHeight(50);
  EXPECT_EQ(rect(child), (std::vector<int>{5, 6, 128, 50}));
  panel->Padding()->SetLeft(0);
  EXPECT_EQ(child->Left(), 0);
  // A stored form names the limits like any other property.
  SetPropertyByPath(*form, "Panel.Constraints.MaxWidth", "120");
  EXPECT_EQ(panel->Width(), 120);
}

TEST_F(FormTest, OnMouseActivateDecidesWhatAClickOnAnInactiveFormDoes) {
  TForm* a = MakeForm();
  auto* panel = Add<TPanel>(a, "Panel", {10, 10, 110, 60});
  TForm* b = MakeForm();
  b->SetBounds(500, 50, 200, 200);
  std::vector<std::string> log;
  TMouseActivate answer = maDefault;
  panel->OnMouseActivate = [&](TObject*, TMouseButton button, TShiftState, int x, int y, int hit,
                               TMouseActivate& activate) {
    log.push_back("activate " + std::to_string(button) + " " + std::to_string(x) + "," + std::to_string(y) + " " +
                  std::to_string(hit));
    activate = answer;
  };
  panel->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
  const struct {
    TMouseActivate answer;
    bool active, down;
  } cases[] = {
      {maDefault, true, true},      {maActivate, true, true},        {maActivateAndEat, true, false},
      {maNoActivate, false, true},  {maNoActivateAndEat, false, false},
  };
  for (const auto& k : cases) {
    a->Show();
    b->Show();
    Pump();
    ASSERT_EQ(Screen->ActiveForm(), b);
    answer = k.answer;
    log.clear();
    Click(panel, 20, 30);
    ASSERT_FALSE(log.empty()) << k.answer;
    EXPECT_EQ(log[0], "activate 0 20,30 1") << k.answer;
    EXPECT_EQ(Screen->ActiveForm() == a, k.active) << k.answer;
    EXPECT_EQ(log.size() == 2 && log[1] == "down", k.down) << k.answer;
  }
}

TEST_F(FormTest, ExceptionsInHandlersReachTheApplication) {
  TForm* form = MakeForm();
  auto* button = Add<TButton>(form, "Button", {10, 10, 85, 35});
  button->OnClick = [](TObject*) { throw EConvertError("'x' is not a valid integer value"); };
  form->Show();
  Pump();
  ScriptMessageBoxAnswer(mrOk);
  Click(button);
  ASSERT_EQ(MessageBoxLog().size(), 1u) << "the default handler shows the message";
  EXPECT_EQ(MessageBoxLog()[0].Text, "'x' is not a valid integer value.");
  EXPECT_EQ(MessageBoxLog()[0].Type, mtError);

  std::string seen;
  Application->OnException = [&](TObject* sender, const std::exception& e) {
    seen = static_cast<TComponent*>(sender)->Name() + ": " + e.what();
  };
  Click(button);
  Application->OnException = nullptr;
  EXPECT_EQ(seen, "Button: 'x' is not a valid integer value");
  EXPECT_EQ(MessageBoxLog().size(), 1u);
}

}  // namespace

namespace {

// A control as the library's own controls are written: it overrides WndProc
// and watches the framework's notifications.
class TSpyEdit : public TEdit {
public:
  using TEdit::TEdit;
  void WndProc(TMessage& m) override {
    if (m.Msg >= CM_BASE && m.Msg < CN_BASE + 0x400 && m.Msg != CM_FOCUSCHANGED && m.Msg != CM_DIALOGKEY &&
        m.Msg != CN_CTLCOLOREDIT)
      seen.push_back(m.Msg);
    if (m.Msg == CM_WANTSPECIALKEY && m.WParam == VK_RETURN && wantReturn) {
      m.Result = 1;
      return;
    }
    TEdit::WndProc(m);
  }
  std::vector<UINT> seen;
  bool wantReturn = false;
};

using NotificationTest = FormsTest;

TEST_F(NotificationTest, ControlsHearTheFrameworksNotifications) {
  TForm* form = MakeForm();
  auto* other = Add<TEdit>(form, "Other", {10, 60, 100, 81});
  auto* spy = Add<TSpyEdit>(form, "Spy", {10, 10, 100, 31});
  form->Show();
  Pump();
  spy->SetFocus();
  Pump();
  struct Case {
    const char* what;
    std::function<void()> act;
    std::vector<UINT> expected;
  };
  const Case cases[] = {
      {"text", [&] { spy->SetText("x"); }, {CM_TEXTCHANGED, CN_COMMAND}},
      {"typing", [&] { Type("y"); }, {CN_COMMAND}},
      {"font", [&] { spy->Font()->SetSize(12); }, {CM_FONTCHANGED}},
      {"parent font", [&] {
         spy->SetParentFont(true);
         spy->seen.clear();
         form->Font()->SetSize(9);
       }, {CM_PARENTFONTCHANGED, CM_FONTCHANGED}},
      {"key", [&] { Key('A'); }, {CN_KEYDOWN, CN_COMMAND, CN_KEYUP}},
      // The release goes to the control that has the focus by then.
      {"special key", [&] { Key(VK_TAB); }, {CN_KEYDOWN, CM_WANTSPECIALKEY, CM_CANCELMODE, CM_EXIT}},
      {"enter again", [&] { spy->SetFocus(); Pump(); }, {CM_ENTER}},
      {"mouse", [&] {
         display::InjectMouseMove(At(spy));
         display::InjectMouseMove(At(other));
         Pump();
       }, {CM_MOUSEENTER, CM_MOUSELEAVE}},
      {"enabled", [&] { spy->SetEnabled(false); spy->SetEnabled(true); }, {CM_ENABLEDCHANGED, CM_ENABLEDCHANGED}},
  };
  for (const Case& c : cases) {
    spy->seen.clear();
    c.act();
    EXPECT_EQ(spy->seen, c.expected) << c.what;
  }

  // Painting asks the control for its colours: a read-only edit as static text.
  spy->seen.clear();
  spy->SetReadOnly(true);
  spy->Repaint();
  EXPECT_EQ(std::count(spy->seen.begin(), spy->seen.end(), CN_CTLCOLORSTATIC), 1);
  spy->SetReadOnly(false);
  EXPECT_EQ(GetWindowText(spy->Handle()), spy->Text()) << "the window holds the edit's text";

  // Hiding and showing the form tells its controls.
  spy->seen.clear();
  form->Hide();
  form->Show();
  Pump();
  EXPECT_EQ(std::count(spy->seen.begin(), spy->seen.end(), CM_SHOWINGCHANGED), 2);

  // A control that wants Return keeps it from the form's default button.
  auto* ok = Add<TButton>(form, "OK", {10, 100, 85, 125});
  ok->SetDefault(true);
  int clicks = 0;
  ok->OnClick = [&](TObject*) { ++clicks; };
  spy->SetFocus();
  Pump();
  Key(VK_RETURN);
  EXPECT_EQ(clicks, 1);
  spy->wantReturn = true;
  Key(VK_RETURN);
  EXPECT_EQ(clicks, 1);
}

}  // namespace

namespace {

// A control that rewrites its hint when asked, as the library's labels do.
class THintedButton : public TButton {
public:
  using TButton::TButton;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      info->HintStr = "<" + info->HintStr + ">";
      return;
    }
    TButton::WndProc(m);
  }
};

using HintTest = FormsTest;

TEST_F(HintTest, HintShowsAfterThePauseAndHidesAfterTheHidePause) {
  UseManualClock(5000);
  TForm* form = MakeForm();
  auto* button = Add<THintedButton>(form, "Button", {10, 10, 85, 35});
  button->SetHint("Create the profile");
  button->SetShowHint(true);
  auto* quiet = Add<TButton>(form, "Quiet", {100, 10, 175, 35});
  quiet->SetHint("no show");
  std::vector<std::string> hints;
  Application->OnHint = [&](TObject*) { hints.push_back(Application->Hint()); };
  form->Show();
  Pump();
  display::InjectMouseMove(At(button));
  Pump();
  EXPECT_EQ(Application->Hint(), "Create the profile");
  AdvanceClock(Application->HintPause() - 10);
  Pump();
  EXPECT_TRUE(Application->HintWindow() == nullptr || !Application->HintWindow()->Visible());
  AdvanceClock(20);
  Pump();
  ASSERT_NE(Application->HintWindow(), nullptr);
  EXPECT_TRUE(Application->HintWindow()->Visible());
  EXPECT_EQ(Application->HintWindow()->Caption(), "<Create the profile>") << "CM_HINTSHOW may change the text";
  AdvanceClock(Application->HintHidePause() + 10);
  Pump();
  EXPECT_FALSE(Application->HintWindow()->Visible());

  display::InjectMouseMove(At(quiet));
  Pump();
  AdvanceClock(Application->HintPause() + 10);
  Pump();
  EXPECT_FALSE(Application->HintWindow()->Visible()) << "ShowHint is off";
  EXPECT_EQ(hints, (std::vector<std::string>{"Create the profile", "", "no show"})) << "empty between controls";
  Application->OnHint = nullptr;
  UseRealClock();
}

}  // namespace

namespace {

TEST_F(FormTest, TaskWindowsAreDisabledAndEnabledAgain) {
  TForm* a = MakeForm();
  TForm* b = MakeForm();
  TForm* hidden = MakeForm();
  a->Show();
  b->Show();
  hidden->HandleNeeded();
  const TTaskWindowList list = DisableTaskWindows(b->Handle());
  EXPECT_EQ(list, TTaskWindowList{a->Handle()}) << "the active window and hidden ones are left alone";
  EXPECT_FALSE(IsWindowEnabled(a->Handle()));
  EnableTaskWindows(list);
  EXPECT_TRUE(IsWindowEnabled(a->Handle()));
}

}  // namespace

namespace {

TEST_F(FormTest, RunShowsTheMainFormAndEndsWhenItCloses) {
  TForm* main = nullptr;
  TCustomForm* previous = Application->MainForm();
  Application->SetMainForm(nullptr);
  Application->CreateForm(main);
  EXPECT_EQ(Application->MainForm(), main);
  bool shown = false;
  main->OnShow = [&](TObject*) { shown = true; };
  main->OnActivate = [&](TObject*) { PostMessage(main->Handle(), WM_CLOSE, 0, 0); };
  Application->Run();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(Application->Terminated()) << "closing the main form ends the program";
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
  }
  delete main;
  EXPECT_EQ(Application->MainForm(), nullptr);
  Application->SetMainForm(previous);
}

TEST_F(FormTest, ScreenKnowsFormsMonitorsAndFonts) {
  TForm* a = MakeForm();
  TForm* b = MakeForm();
  a->Show();
  b->Show();
  Pump();
  EXPECT_EQ(Screen->ActiveForm(), b);
  EXPECT_EQ(Screen->Forms(0), b) << "the active form comes first";
  a->Show();
  Pump();
  EXPECT_EQ(Screen->ActiveForm(), a);
  EXPECT_GE(Screen->MonitorCount(), 1);
  const TMonitor primary = Screen->Monitors(0);
  EXPECT_TRUE(primary.Primary);
  EXPECT_EQ(primary.Width(), Screen->Width());
  const RECT work = Screen->WorkAreaRect();
  EXPECT_LE(work.bottom, primary.BoundsRect.bottom);
  EXPECT_GT(Screen->Fonts()->Count(), 0);
  EXPECT_THROW(Screen->Monitors(Screen->MonitorCount()), EListError);
  Screen->SetCursors(1778, LoadCursor(nullptr, IDC_HAND));
  EXPECT_EQ(Screen->Cursors(1778), LoadCursor(nullptr, IDC_HAND));
  EXPECT_EQ(Screen->Cursors(crIBeam), LoadCursor(nullptr, IDC_IBEAM));
}

}  // namespace

namespace {

// A form whose OnDestroy handler uses its own members, as programs' do.
class TNotesForm : public TForm {
public:
  explicit TNotesForm(TComponent* owner, std::vector<std::string>& saved) : TForm(owner) {
    notes = "notes long enough to live on the heap, not inside the string";
    OnDestroy = [this, &saved](TObject*) { saved.push_back(notes); };
  }
  std::string notes;
};

TEST_F(FormTest, OnDestroySeesTheWholeFormWhenItsOwnerOrReleaseFreesIt) {
  std::vector<std::string> saved;
  {
    TComponent owner(nullptr);
    new TNotesForm(&owner, saved);
  }
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].substr(0, 5), "notes");

  auto* released = new TNotesForm(Application, saved);
  released->Show();
  released->Release();
  Pump();
  EXPECT_EQ(saved.size(), 2u) << "Release frees the form, OnDestroy first";

  auto* freed = new TNotesForm(nullptr, saved);
  freed->Free();
  EXPECT_EQ(saved.size(), 3u);
}

}  // namespace

namespace {

// Measures its caption outside Paint, as controls that size themselves do.
class TMeasuring : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  int Measure() { return Canvas()->TextWidth("Measure me"); }
  int painted = 0;

protected:
  void Paint() override {
    ++painted;
    Canvas()->Brush()->SetColor(clRed);
    Canvas()->FillRect(ClientRect());
  }
};

TEST_F(FormTest, CanvasMeasuresOutsidePaintBeforeAndAfterTheWindowExists) {
  TForm* form = MakeForm();
  auto* control = Add<TMeasuring>(form, "Measuring", {10, 10, 110, 40});
  const int before = control->Measure();
  EXPECT_GT(before, 20) << "without a window the canvas measures on a memory DC";
  form->Show();
  Pump();
  form->Update();
  EXPECT_GT(control->painted, 0);
  EXPECT_EQ(control->Measure(), before) << "on the window's DC between paints";
  control->Repaint();
  EXPECT_EQ(control->Measure(), before);
  // Between paints the canvas clips to the client area; a lock is only counted.
  EXPECT_EQ(control->Canvas()->ClipRect(), (RECT{0, 0, 100, 30}));
  control->Canvas()->Lock();
  control->Canvas()->Lock();
  control->Canvas()->Unlock();
  EXPECT_EQ(control->Canvas()->LockCount(), 1);
  control->Canvas()->Unlock();
  control->Canvas()->Unlock();
  EXPECT_EQ(control->Canvas()->LockCount(), 0);
}

}  // namespace
