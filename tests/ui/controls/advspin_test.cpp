#include <cmath>

#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/advspin.h"
#include "ui/controls/resourcebitmap.h"

TEST(SpinFloatText, FollowsThePrecisionRule) {
  struct Case {
    double value;
    int32_t precision;
    const char* text;
  };
  const Case cases[] = {
      {2.25, 1, "2.3"},         {1.0, 2, "1.00"},          {1.5, 0, "1.5"},        {1234.5678, -1, "1235"},
      {-2.25, 1, "-2.3"},       {0.0, 2, "0.00"},          {0.1 + 0.2, 0, "0.3"},  {1e-5, 0, "0.00001"},
      {1e-6, 0, "1E-6"},        {1e16, 0, "1E16"},         {123456.0, -1, "1.235E0005"},
      {0.00012345, -1, "0.0001234"}, {999.96, 1, "1000.0"}, {-0.04, 1, "0.0"},
  };
  for (const Case& c : cases) EXPECT_EQ(SpinFloatText(c.value, c.precision, '.'), c.text) << c.value << " " << c.precision;
  EXPECT_EQ(SpinFloatText(2.5, 1, ','), "2,5");
}

namespace {

class SpinEditTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    saved = FormatSettings;
    FormatSettings = InvariantFormatSettings();
    FormatSettings.ShortDateFormat = "M/d/yyyy";
    form = MakeForm();
    spin = Add<TAdvSpinEdit>(form, "Spin", {20, 20, 120, 42});
  }
  void TearDown() override {
    ControlsTest::TearDown();
    FormatSettings = saved;
  }
  void Caret(int32_t at) {
    spin->SetSelStart(at);
    spin->SetSelLength(0);
  }
  // The main window's gamma field.
  void MakeGamma() {
    spin->SetSpinType(sptFloat);
    spin->SetPrecision(1);
    spin->SetMinFloatValue(0.1);
    spin->SetMaxFloatValue(4.0);
    spin->SetAllowNullValue(false);
  }
  TFormatSettings saved;
  TForm* form = nullptr;
  TAdvSpinEdit* spin = nullptr;
};

}  // namespace

TEST_F(SpinEditTest, ValuesClampAndFormatByKind) {
  MakeGamma();
  const std::pair<double, const char*> writes[] = {{5, "4.0"}, {0, "0.1"}, {2.25, "2.3"}, {2.2, "2.2"}};
  for (auto [value, text] : writes) {
    spin->SetFloatValue(value);
    EXPECT_EQ(spin->Text(), text) << value;
  }
  spin->SetText("abc");
  EXPECT_DOUBLE_EQ(spin->FloatValue(), 0.0) << "unreadable text reads as the integer minimum, not MinFloatValue";
  spin->SetMinValue(-3);
  EXPECT_DOUBLE_EQ(spin->FloatValue(), -3.0);
  spin->SetMinValue(0);
  spin->SetText("");
  EXPECT_DOUBLE_EQ(spin->FloatValue(), 0.0);

  spin->SetSpinType(sptNormal);
  spin->SetMinValue(5);
  spin->SetMaxValue(5);
  spin->SetValue(17);
  EXPECT_EQ(spin->Text(), "5");
  spin->SetText("x7");
  EXPECT_EQ(spin->Value(), 5) << "text that is no integer reads as MinValue";

  spin->SetMinValue(0);
  spin->SetMaxValue(0);
  spin->SetSpinType(sptHex);
  spin->SetHexValue(255);
  EXPECT_EQ(spin->Text(), "0xFF");
  spin->SetText("0x1F");
  EXPECT_EQ(spin->HexValue(), 31);
  spin->SetText("0x1G");
  EXPECT_EQ(spin->HexValue(), 255) << "a non-hex character is refused: the last accepted value stands";
  spin->SetHexValue(-1);
  EXPECT_EQ(spin->Text(), "0xFFFFFFFF");
  spin->SetMaxLength(4);
  spin->SetHexValue(0x12345);
  EXPECT_EQ(spin->Text(), "0xFFFFFFFF") << "a text longer than MaxLength is not taken";
}

TEST_F(SpinEditTest, ChangingTheKindRewritesTheTextWithoutOnChange) {
  spin->SetSpinType(sptFloat);
  spin->SetText("2.5");
  int changes = 0;
  spin->OnChange = [&](TObject*) { ++changes; };
  spin->SetSpinType(sptNormal);
  EXPECT_EQ(spin->Text(), "0");
  EXPECT_EQ(changes, 0);
  spin->SetText("3");
  EXPECT_EQ(changes, 1) << "OnChange is attached again";
}

TEST_F(SpinEditTest, SmartStepMovesTheDigitLeftOfTheCaret) {
  spin->SetSpinType(sptFloat);
  spin->SetPrecision(3);
  spin->SetIncrementSmart(true);
  spin->SetIncrementFloat(0.5);
  const std::pair<int32_t, const char*> cases[] = {{3, "1.334"}, {5, "1.235"}, {2, "2.234"}, {1, "2.234"}, {0, "1.734"}};
  for (auto [caret, text] : cases) {
    spin->SetText("1.234");
    Caret(caret);
    spin->IncrementValue(nullptr);
    EXPECT_EQ(spin->Text(), text) << "caret " << caret;
  }
  spin->SetSpinType(sptNormal);
  spin->SetText("1234");
  Caret(3);
  spin->IncrementValue(nullptr);
  EXPECT_EQ(spin->Text(), "1244");
}

TEST_F(SpinEditTest, DatesStepByThePartUnderTheCaret) {
  spin->SetSpinType(sptDate);
  struct Case {
    TDateTime from;
    int32_t caret;
    int sign;
    TDateTime to;
  };
  const Case cases[] = {
      {EncodeDate(2024, 12, 31), 0, 1, EncodeDate(2025, 1, 31)},
      {EncodeDate(2024, 1, 31), 0, 1, EncodeDate(2024, 2, 29)},
      {EncodeDate(2024, 1, 31), 3, 1, EncodeDate(2024, 2, 1)},
      {EncodeDate(2024, 1, 31), 6, -1, EncodeDate(2023, 1, 31)},
      // 29 February steps to 28 February in a year that is not a leap year.
      {EncodeDate(2024, 2, 29), 6, 1, EncodeDate(2025, 2, 28)},
      {EncodeDate(2024, 2, 29), 6, -4, EncodeDate(2020, 2, 28)},
  };
  for (const Case& c : cases) {
    spin->SetDateValue(c.from);
    for (int i = 0; i < std::abs(c.sign); ++i) {
      Caret(c.caret);
      if (c.sign > 0) spin->IncrementValue(nullptr);
      else spin->DecrementValue(nullptr);
    }
    EXPECT_EQ(spin->Text(), DateToStr(c.to)) << DateToStr(c.from) << " caret " << c.caret;
  }
}

TEST_F(SpinEditTest, TimesStepHoursMinutesAndSeconds) {
  spin->SetSpinType(sptTime);
  spin->SetTimeValue(EncodeTime(9, 5, 30, 0));
  EXPECT_EQ(spin->Text(), "9:05:30");
  spin->SetIncrementHours(2);
  spin->SetIncrementMinutes(10);
  const std::pair<int32_t, const char*> ups[] = {{0, "11:05:30"}, {3, "11:15:30"}, {6, "11:15:31"}};
  for (auto [caret, text] : ups) {
    Caret(caret);
    spin->IncrementValue(nullptr);
    EXPECT_EQ(spin->Text(), text);
  }
  spin->SetIncrementHours(24);
  Caret(0);
  EXPECT_NO_THROW(spin->IncrementValue(nullptr)) << "a step of a whole day is no error";
  EXPECT_EQ(spin->Text(), "11:15:31");
  EXPECT_NEAR(spin->TimeValue(), 1 + EncodeTime(11, 15, 31, 0), 1e-9);

  spin->SetTimeValue(EncodeTime(0, 0, 30, 0));
  spin->SetIncrementMinutes(1);
  Caret(2);
  spin->DecrementValue(nullptr);
  EXPECT_EQ(spin->Text(), "0:00:30") << "a time never goes below zero";
}

TEST_F(SpinEditTest, SpinButtonStepsOnClickAndRepeatsWhileHeld) {
  spin->SetValue(0);
  int ups = 0;
  spin->OnUpClick = [&](TObject*) { ++ups; };
  Focus(spin);
  TAdvTimerSpeedButton* up = spin->Button()->UpButton();
  Click(up);
  EXPECT_EQ(spin->Value(), 1);
  EXPECT_EQ(ups, 1);

  display::InjectMouseDown(At(up));
  Pump();
  Advance(390);
  EXPECT_EQ(spin->Value(), 1) << "no repeat before 400 ms";
  Advance(610);  // 1000 ms held: steps at 400, 500, ..., 1000
  EXPECT_EQ(spin->Value(), 8);
  display::InjectMouseUp(At(up));
  Pump();
  EXPECT_EQ(spin->Value(), 9) << "one more on release over the button";
  Advance(500);
  EXPECT_EQ(spin->Value(), 9) << "the timer stops on release";

  TAdvTimerSpeedButton* down = spin->Button()->DownButton();
  display::InjectMouseDown(At(down), display::MouseButton::Right);
  Pump();
  Advance(800);
  display::InjectMouseUp(At(down), display::MouseButton::Right);
  Pump();
  EXPECT_EQ(spin->Value(), 9) << "the right button gives no steps";
}

TEST_F(SpinEditTest, SpinButtonLayout) {
  auto* button = new TAdvSpinButton(form);
  button->SetParent(form);
  button->SetBounds(0, 0, 10, 17);
  EXPECT_EQ(button->Width(), 15);
  EXPECT_EQ(button->UpButton()->Height(), 9);
  EXPECT_EQ(button->DownButton()->Top(), 9);
  button->SetDirection(spHorizontal);
  button->SetBounds(0, 0, 10, 17);
  EXPECT_EQ(button->Width(), 20);
  EXPECT_EQ(button->DownButton()->Left(), 0);
  EXPECT_EQ(button->DownButton()->Width(), 10);
  EXPECT_EQ(button->UpButton()->Left(), 11);
  button->SetDownNumGlyphs(2);
  button->SetDownGlyph(nullptr);
  EXPECT_EQ(button->DownNumGlyphs(), 1);
  EXPECT_EQ(button->DownGlyph()->Width(), 9);
  // The default arrows come from the program's bitmaps: olive around a
  // black triangle, its narrow row towards where it points.
  TCanvas* up = button->UpGlyph()->Canvas();
  TCanvas* down = button->DownGlyph()->Canvas();
  EXPECT_EQ(up->Pixels(0, 5), clOlive);
  EXPECT_EQ(up->Pixels(4, 1), clBlack);
  EXPECT_EQ(up->Pixels(3, 1), clOlive);
  EXPECT_EQ(up->Pixels(1, 4), clBlack);
  EXPECT_EQ(down->Pixels(4, 4), clBlack);
  EXPECT_EQ(down->Pixels(3, 4), clOlive);
  EXPECT_EQ(down->Pixels(1, 1), clBlack);
  TBitmap kept;
  kept.SetSize(3, 3);
  EXPECT_FALSE(LoadResourceBitmap(&kept, "NoSuchBitmap"));
  EXPECT_EQ(kept.Width(), 3);
}

TEST_F(SpinEditTest, KeyFilterByKind) {
  spin->SetSpinType(sptFloat);
  spin->SetPrecision(2);
  spin->SetText("1.25");
  Focus(spin);
  const int beeps = display::HeadlessBeepCount();
  Key(VK_END);
  Type("7");
  EXPECT_EQ(spin->Text(), "1.25") << "the decimals are full";
  EXPECT_EQ(display::HeadlessBeepCount(), beeps + 1);
  spin->SelectAll();
  Type(".");
  EXPECT_EQ(spin->Text(), ".") << "with the whole text selected a decimal separator is accepted";
  spin->SetText("3");
  Key(VK_END);
  Type(",");
  EXPECT_EQ(spin->Text(), "3.") << "the thousand separator types the decimal separator";
  Type(".");
  EXPECT_EQ(spin->Text(), "3.");
  Type("+a");
  EXPECT_EQ(spin->Text(), "3.");

  spin->SetText("12");
  Caret(1);
  Type("-");
  EXPECT_EQ(spin->Text(), "12") << "no sign without Signed";
  spin->SetSigned(true);
  Type("-");
  EXPECT_EQ(spin->Text(), "-12");
  EXPECT_EQ(spin->SelStart(), 2) << "the caret stays beside the same digit";
  Type("-");
  EXPECT_EQ(spin->Text(), "12");
  EXPECT_EQ(spin->SelStart(), 1);

  spin->SetSpinType(sptHex);
  spin->SetText("0x1F");
  Caret(2);
  Key(VK_BACK);
  EXPECT_EQ(spin->Text(), "0x1F");
  Caret(1);
  Key(VK_DELETE);
  EXPECT_EQ(spin->Text(), "0x1F");
  Key(VK_END);
  Type("g");
  EXPECT_EQ(spin->Text(), "0x1F");
  Type("a");
  EXPECT_EQ(spin->Text(), "0x1Fa");
}

TEST_F(SpinEditTest, KeysStepAndEnter) {
  spin->SetValue(5);
  auto* next = Add<TEdit>(form, "Next", {20, 60, 120, 81});
  std::vector<char32_t> pressed;
  spin->OnKeyPress = [&](TObject*, char32_t& key) { pressed.push_back(key); };
  Focus(spin);
  Key(VK_UP);
  EXPECT_EQ(spin->Value(), 6);
  Key(VK_NEXT);
  EXPECT_EQ(spin->Value(), -4);
  Chord({VK_CONTROL}, VK_RETURN);
  EXPECT_EQ(spin->Value(), -3) << "Ctrl+Enter steps up";
  Key(VK_RETURN);
  EXPECT_EQ(spin->Text(), "-3");
  EXPECT_NE(std::find(pressed.begin(), pressed.end(), U'\r'), pressed.end()) << "Enter reaches OnKeyPress";
  spin->SetReturnIsTab(true);
  Key(VK_RETURN);
  EXPECT_TRUE(next->Focused());

  spin->SetFocus();
  Pump();
  spin->SetEditorEnabled(false);
  spin->SetText("42");
  Key(VK_END);
  Type("1");
  Key(VK_BACK);
  EXPECT_EQ(spin->Text(), "42");
  Key(VK_DOWN);
  EXPECT_EQ(spin->Value(), 41) << "the arrows step a field that takes no typing";
}

TEST_F(SpinEditTest, LeavingAnEmptyFloatFieldWritesItsMinimum) {
  MakeGamma();
  auto* next = Add<TEdit>(form, "Next", {20, 60, 120, 81});
  Focus(spin);
  spin->SetText("");
  next->SetFocus();
  Pump();
  EXPECT_EQ(spin->Text(), "0.1");
  spin->SetFocus();
  Pump();
  spin->SetText("9");
  next->SetFocus();
  Pump();
  EXPECT_EQ(spin->Text(), "4.0") << "leaving clamps and formats";
}

TEST_F(SpinEditTest, LooksAndLabel) {
  EXPECT_EQ(spin->Version(), "1.4.5.1");
  EXPECT_EQ(spin->EditLabel().Label(), nullptr);
  spin->SetFocusColor(clYellow);
  spin->SetFocusLabel(true);
  spin->SetLabelPosition(lpTopLeft);
  spin->SetLabelCaption("Gamma");
  TLabel* label = spin->EditLabel().Label();
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->Left(), spin->Left());
  EXPECT_EQ(label->Top(), spin->Top() - label->Height() - 4);
  auto* next = Add<TEdit>(form, "Next", {20, 80, 120, 101});
  Focus(spin);
  EXPECT_EQ(spin->Color(), clYellow);
  EXPECT_TRUE(label->Font()->Style().Contains(fsBold));
  next->SetFocus();
  Pump();
  EXPECT_EQ(spin->Color(), clWindow) << "an edit made in code gets its own colour back, never black";
  EXPECT_FALSE(label->Font()->Style().Contains(fsBold));
  spin->SetEnabled(false);
  EXPECT_FALSE(label->Enabled());
  EXPECT_FALSE(spin->Button()->UpButton()->Enabled());
}
