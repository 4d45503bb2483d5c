// Placing dialogs on the right monitor, finding an owner window and the
// colour dialog, on a headless screen of two monitors.
#include <gtest/gtest.h>

#include <memory>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/extctrls.h"
#include "platform/win/user_windows.h"
#include "tests/platform/display/stub_backend.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

// A full-HD screen with a task bar (primary) and a smaller one to its right.
class TwoMonitorBackend : public StubBackend {
public:
  const char* Name() const override { return "two monitors"; }
  std::vector<display::Monitor> Monitors() override {
    return {display::Monitor{RECT{0, 0, 1920, 1080}, RECT{0, 0, 1920, 1040}, true},
            display::Monitor{RECT{1920, 0, 3200, 1024}, RECT{1920, 0, 3200, 1024}, false}};
  }
};

HWND placedWindow = nullptr;

class ImageCoreWindows : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    display::SetActiveBackend(std::make_unique<TwoMonitorBackend>());
    IEFreeGlobalSettings();
    placedWindow = nullptr;
  }
  void TearDown() override {
    Screen->OnActiveFormChange = nullptr;
    Screen->SetActiveForm(nullptr);
    Application->SetMainForm(nullptr);
    FormsTest::TearDown();
    IEFreeGlobalSettings();
  }
  // A form of the given size at (x, y) with its window made.
  TForm* FormAt(int x, int y, int width = 301, int height = 201) {
    TForm* form = MakeForm(width, height);
    form->SetBounds(x, y, width, height);
    form->Handle();
    return form;
  }
  static RECT WindowRect(TForm* form) {
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    return r;
  }
};

TEST_F(ImageCoreWindows, CentresOnTheMonitorOfTheActiveOrMainForm) {
  // A 301 x 201 dialog: half the free width, a third of the free height of
  // the monitor's whole bounds, truncated.
  const POINT onFirst{(1920 - 301) / 2, (1080 - 201) / 3};
  const POINT onSecond{1920 + (1280 - 301) / 2, (1024 - 201) / 3};
  TForm* first = FormAt(100, 100);
  TForm* second = FormAt(2000, 100);
  struct Case {
    const char* name;
    TForm* active;
    TForm* main;
    POINT expected;
  } cases[] = {{"no forms: the first monitor", nullptr, nullptr, onFirst},
               {"the main form's monitor", nullptr, second, onSecond},
               {"the active form's before the main form's", first, second, onFirst},
               {"the active form on the second monitor", second, first, onSecond}};
  for (const Case& c : cases) {
    TForm* dialog = FormAt(5, 7);
    Screen->SetActiveForm(c.active);
    Application->SetMainForm(c.main);
    IECenterWindow(dialog->Handle());
    const RECT r = WindowRect(dialog);
    EXPECT_EQ(r.left, c.expected.x) << c.name;
    EXPECT_EQ(r.top, c.expected.y) << c.name;
    EXPECT_EQ(r.right - r.left, 301) << c.name << ": the size is kept";
    EXPECT_EQ(r.bottom - r.top, 201) << c.name;
  }
}

TEST_F(ImageCoreWindows, PlaceWindowHookReplacesCentring) {
  TForm* dialog = FormAt(5, 7);
  IEGetGlobalSettings()->OnPlaceWindow = [](HWND window) { placedWindow = window; };
  IECenterWindow(dialog->Handle());
  EXPECT_EQ(placedWindow, dialog->Handle());
  EXPECT_EQ(WindowRect(dialog).left, 5) << "the hook alone places the window";
  EXPECT_EQ(WindowRect(dialog).top, 7);
}

TEST_F(ImageCoreWindows, OwnerWindowIsTheFirstWindowedControlOfTheOwnerChain) {
  TForm* form = MakeForm();
  auto* direct = new TComponent(form);
  auto* nested = new TComponent(direct);
  auto* panel = new TPanel(form);
  auto* onPanel = new TComponent(panel);
  TComponent alone(nullptr);

  EXPECT_EQ(IEFindOwnerWindow(nullptr), nullptr);
  EXPECT_EQ(IEFindOwnerWindow(&alone), nullptr);
  ASSERT_FALSE(panel->HandleAllocated());
  EXPECT_EQ(IEFindOwnerWindow(onPanel), nullptr) << "the panel is the first windowed control, without a window";

  const HWND formWindow = form->Handle();
  EXPECT_EQ(IEFindOwnerWindow(form), formWindow) << "a windowed control answers itself";
  EXPECT_EQ(IEFindOwnerWindow(direct), formWindow);
  EXPECT_EQ(IEFindOwnerWindow(nested), formWindow);
  panel->SetParent(form);
  const HWND panelWindow = panel->Handle();
  EXPECT_EQ(IEFindOwnerWindow(onPanel), panelWindow);
}

// Answers the next colour dialog: sets the red, green and blue boxes (when
// given) and presses a key once the dialog is the active form.
void AnswerColorDialog(uint8_t key, const char* red = nullptr, const char* green = nullptr,
                       const char* blue = nullptr) {
  Screen->OnActiveFormChange = [=](TObject*) {
    TCustomForm* form = Screen->ActiveForm();
    if (form == nullptr || form->Caption() != "Color") return;
    const std::pair<const char*, const char*> boxes[] = {{"RedEdit", red}, {"GreenEdit", green}, {"BlueEdit", blue}};
    for (const auto& [name, text] : boxes)
      if (text) static_cast<TEdit*>(form->FindComponent(name))->SetText(text);
    display::InjectKey(key);
    Screen->OnActiveFormChange = nullptr;  // last: this frees the captures
  };
}

TEST_F(ImageCoreWindows, ColorPromptConfirmedTakesTheColourAndStoresTheDefaults) {
  TColor color = clRed;
  AnswerColorDialog(VK_RETURN, "10", "20", "30");
  ASSERT_TRUE(IEPromptForColor(color));
  EXPECT_EQ(color, static_cast<TColor>(RGB(10, 20, 30)));

  TStringList stored;
  stored.SetText(IEGetGlobalSettings()->CustomColors);
  ASSERT_EQ(stored.Count(), 16) << "the sixteen defaults went to the dialog and back";
  EXPECT_EQ(stored.Strings(0), "ColorA=D670DA");
  EXPECT_EQ(stored.Strings(8), "ColorI=008080");
  EXPECT_EQ(stored.Strings(15), "ColorP=1E69D2");
}

TEST_F(ImageCoreWindows, ColorPromptCancelledKeepsTheColourButStoresCustomColours) {
  IEGetGlobalSettings()->CustomColors = "ColorA=123456\nColorB=FFFFFF\n";
  TColor color = clTeal;
  AnswerColorDialog(VK_ESCAPE, "1", "2", "3");
  EXPECT_FALSE(IEPromptForColor(color));
  EXPECT_EQ(color, clTeal);
  TStringList stored;
  stored.SetText(IEGetGlobalSettings()->CustomColors);
  ASSERT_EQ(stored.Count(), 2) << "the settings' own colours, not the defaults";
  EXPECT_EQ(stored.Strings(0), "ColorA=123456");
  EXPECT_EQ(stored.Strings(1), "ColorB=FFFFFF");
}

}  // namespace
