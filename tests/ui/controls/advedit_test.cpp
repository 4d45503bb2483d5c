// The enhanced edit: values and formats by edit type, typing and caret keys,
// the clipboard, links, the stored text, and drag and drop of text.
#include <cstring>
#include <filesystem>
#include <limits>

#include "platform/forms/properties.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/globalmem.h"
#include "tests/platform/rtl/temp_folder.h"
#include "tests/ui/controls/controls_test_support.h"
#include "ui/controls/adveddd.h"
#include "ui/controls/advedit.h"
#include "ui/render/htmlengine.h"
#include "ui/controls/settingsstore.h"

TEST(AdvEditConversions, ClassifyText) {
  const std::pair<const char*, TTextClass> cases[] = {
      {"12", tcInteger}, {"-12", tcInteger}, {"1.5", tcFloat},  {"1,234", tcFloat}, {"1,23,4", tcFloat},
      {"1,2,3", tcInvalid}, {",12", tcInvalid}, {"1F", tcHex}, {"--1", tcInvalid}, {"1.2.3", tcInvalid},
      {"", tcInvalid},
  };
  for (auto [text, kind] : cases) EXPECT_EQ(ClassifyText(text), kind) << text;
}

TEST(AdvEditConversions, MixedCaseHexAndLinks) {
  const std::pair<const char*, const char*> names[] = {{"john mcdonald", "John McDonald"},
                                                       {"mary-ann o'neil", "Mary-Ann O'Neil"},
                                                       {"henry iii", "Henry III"},
                                                       {"macarthur", "MacArthur"}};
  for (auto [from, to] : names) EXPECT_EQ(ToMixedCase(from), to);
  EXPECT_EQ(HexToInt("ff"), 255);
  EXPECT_EQ(HexToInt("1g"), 16);
  EXPECT_DOUBLE_EQ(ValueToFloat("1,234.5"), 1234.5);
  EXPECT_DOUBLE_EQ(ValueToFloat("abc"), 0);

  // Only web and mail addresses go to the desktop's opener, never a program.
  const std::pair<const char*, const char*> links[] = {
      {"http://example.org/a", "http://example.org/a"},
      {"HTTPS://example.org", "HTTPS://example.org"},
      {"www.example.org", "http://www.example.org"},
      {"someone@example.org", "mailto:someone@example.org"},
      {"mailto:a@b.c", "mailto:a@b.c"},
      {"file:///bin/sh", ""},
      {"/usr/bin/xterm", ""},
      {"calc", ""},
      {"javascript://x", ""},
      {"smb://server/share", ""},
      {"http://a b", ""},
      {"-e@x", "mailto:-e@x"},
  };
  for (auto [value, target] : links) EXPECT_EQ(SafeLinkTarget(value), target) << value;
}

namespace {

class AdvEditTest : public ControlsTest {
protected:
  void SetUp() override {
    ControlsTest::SetUp();
    saved = FormatSettings;
    FormatSettings = InvariantFormatSettings();
    form = MakeForm();
    edit = Add<TAdvEdit>(form, "Edit1", {20, 20, 220, 41});
    other = Add<TAdvEdit>(form, "Edit2", {20, 60, 220, 81});
  }
  void TearDown() override {
    ControlsTest::TearDown();
    FormatSettings = saved;
  }
  void Caret(int32_t at) {
    edit->SetSelStart(at);
    edit->SetSelLength(0);
  }
  static void PutOnClipboard(const std::string& text) {
    OpenClipboard(nullptr);
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
    CloseClipboard();
  }
  static std::string ClipboardText() {
    std::string text;
    OpenClipboard(nullptr);
    if (HANDLE block = GetClipboardData(CF_TEXT)) {
      const auto* p = static_cast<const char*>(GlobalLock(block));
      text.assign(p, strnlen(p, GlobalSize(block)));
      GlobalUnlock(block);
    }
    CloseClipboard();
    return text;
  }
  TFormatSettings saved;
  TForm* form = nullptr;
  TAdvEdit* edit = nullptr;
  TAdvEdit* other = nullptr;
};

}  // namespace

TEST_F(AdvEditTest, TextIsFramedAndFormattedByType) {
  struct Case {
    TAdvEditType type;
    int16_t precision;
    const char* written;
    const char* shown;
  };
  const Case cases[] = {
      {etString, 0, "123", "123"},      {etNumeric, 0, "", "0"},       {etFloat, 2, "1,234.5", "1234.50"},
      {etMoney, 2, "1,234.5", "1,234.50"}, {etFloat, 2, "", "0.00"},   {etHex, 0, "ff", "FF"},
  };
  for (const Case& c : cases) {
    edit->SetEditType(etString);
    edit->SetPrecision(c.precision);
    edit->SetEditType(c.type);
    edit->SetText(c.written);
    EXPECT_EQ(edit->ShownText(), c.shown) << c.written;
    EXPECT_FALSE(edit->Modified());
  }
  edit->SetEditType(etFloat);
  edit->SetPrecisionDisplay(pdShortest);
  edit->SetText("2.50");
  EXPECT_EQ(edit->ShownText(), "2.5");

  edit->SetEditType(etString);
  edit->SetPrefix("$");
  edit->SetSuffix(" kg");
  edit->SetText("12");
  EXPECT_EQ(edit->ShownText(), "$12 kg");
  EXPECT_EQ(edit->Text(), "12");
  edit->TCustomEdit::SetText("$ab");
  EXPECT_EQ(edit->Text(), "ab") << "the suffix is stripped only when the text ends with it";
  EXPECT_EQ(edit->Version(), "2.8.5.0");
}

TEST_F(AdvEditTest, NumbersReadAndTypeChangesReplaceMisfits) {
  edit->SetEditType(etMoney);
  edit->TCustomEdit::SetText("1,234.");
  EXPECT_DOUBLE_EQ(edit->FloatValue(), 1234);
  edit->TCustomEdit::SetText("-");
  EXPECT_DOUBLE_EQ(edit->FloatValue(), 0);
  edit->SetEditType(etHex);
  edit->SetIntValue(255);
  EXPECT_EQ(edit->ShownText(), "FF");
  EXPECT_TRUE(edit->Modified());

  const std::tuple<const char*, TAdvEditType, const char*> changes[] = {
      {"abc", etNumeric, "0"}, {"abc", etHex, "abc"}, {"xyz", etHex, "0"}};
  for (auto [value, type, shown] : changes) {
    edit->SetEditType(etString);
    edit->SetText(value);
    edit->SetEditType(type);
    EXPECT_EQ(edit->ShownText(), shown) << value;
  }
  edit->SetEditType(etNumeric);
  edit->SetPrecision(3);
  EXPECT_EQ(edit->Precision(), 0) << "Precision is not taken by a numeric edit";

  // A hex edit shows the integer part of a floating value; one without an
  // integer part in range never reaches the conversion unchecked.
  const std::pair<double, const char*> hex[] = {
      {255.9, "FF"}, {-1, "FFFFFFFF"}, {1e30, "FFFFFFFF"}, {-1e30, "0"},
      {std::numeric_limits<double>::infinity(), "FFFFFFFF"}, {std::numeric_limits<double>::quiet_NaN(), "FF"}};
  edit->SetEditType(etHex);
  for (auto [value, shown] : hex) {
    edit->SetIntValue(255);
    edit->SetFloatValue(value);
    EXPECT_EQ(edit->ShownText(), shown) << value;
  }
}

TEST_F(AdvEditTest, ValidationDoesNotRecurse) {
  int calls = 0;
  edit->OnValueValidate = [&](TObject*, const std::string& value, bool& valid) {
    ++calls;
    EXPECT_TRUE(edit->ValidateValue(value));
    valid = value != "bad";
  };
  EXPECT_FALSE(edit->ValidateValue("bad"));
  EXPECT_EQ(calls, 1);
  edit->SetShowError(true);
  edit->SetText("bad");
  EXPECT_TRUE(edit->Error());
  EXPECT_EQ(edit->Color(), clRed);
  edit->SetText("good");
  EXPECT_EQ(edit->Color(), clWindow);
}

TEST_F(AdvEditTest, TypingFollowsTheEditType) {
  Focus(edit);
  edit->SetEditType(etNumeric);
  edit->SetText("12");
  Caret(0);
  Type("-");
  EXPECT_EQ(edit->Text(), "12") << "no sign without Signed";
  edit->SetSigned(true);
  Caret(2);
  Type("-");
  EXPECT_EQ(edit->Text(), "-12");
  EXPECT_EQ(edit->SelStart(), 3);
  Type("-");
  EXPECT_EQ(edit->Text(), "12");
  EXPECT_EQ(edit->SelStart(), 2);
  edit->SetText("");
  edit->SetAllowNumericNullValue(true);
  edit->SetText("");
  Type("-");
  EXPECT_EQ(edit->Text(), "-");

  edit->SetEditType(etFloat);
  edit->SetAllowNumericNullValue(true);
  edit->SetPrecision(2);
  edit->SetText("");
  Caret(0);
  Type(".");
  EXPECT_EQ(edit->Text(), "0.");
  edit->SetText("1.25");
  Caret(4);
  Type("7");
  EXPECT_EQ(edit->Text(), "1.25") << "the decimals are full";
  Caret(3);
  Type("9");
  EXPECT_EQ(edit->Text(), "1.29") << "a digit replaces the one after the caret";
  Caret(0);
  Type(".");
  EXPECT_EQ(edit->SelStart(), 2) << "the separator moves the caret after the existing one";

  edit->SetEditType(etMoney);
  edit->SetPrecision(0);
  edit->SetText("");
  Type("1234");
  EXPECT_EQ(edit->Text(), "1,234");
  EXPECT_EQ(edit->SelStart(), 5);

  edit->SetEditType(etRange);
  edit->SetText("");
  Type(";1-3;5");
  EXPECT_EQ(edit->Text(), "1-3;5");
  Type("-;");
  EXPECT_EQ(edit->Text(), "1-3;5-");

  edit->SetEditType(etHex);
  edit->SetText("");
  Type("1gf");
  EXPECT_EQ(edit->Text(), "1f");
  edit->SetEditType(etMixedCase);
  edit->SetText("");
  Type("john mcdonald");
  EXPECT_EQ(edit->Text(), "John McDonald");
  edit->SetEditType(etNumeric);
  edit->SetLengthLimit(3);
  edit->SetText("123");
  Caret(3);
  Type("4");
  EXPECT_EQ(edit->Text(), "123");
  Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "12");
}

TEST_F(AdvEditTest, CaretKeysStayOutOfPrefixAndSuffix) {
  edit->SetPrefix("$");
  edit->SetSuffix("kg");
  edit->SetText("12");
  Focus(edit);
  Caret(1);
  Key(VK_BACK);
  EXPECT_EQ(edit->ShownText(), "$12kg");
  Key(VK_END);
  EXPECT_EQ(edit->SelStart(), 3);
  Key(VK_RIGHT);
  EXPECT_EQ(edit->SelStart(), 3);
  Key(VK_HOME);
  EXPECT_EQ(edit->SelStart(), 1);
  Key(VK_END);
  Chord({VK_SHIFT}, VK_HOME);
  EXPECT_EQ(edit->SelText(), "12");
  Key(VK_END);
  Key(VK_DELETE);
  EXPECT_EQ(edit->ShownText(), "$12kg");
  Click(edit, 1, 5);
  EXPECT_GE(edit->SelStart(), 1) << "a click before the value puts the caret after the prefix";
}

TEST_F(AdvEditTest, EscapeUndoesAndReturnMovesOn) {
  edit->SetText("first");
  Focus(edit);
  Key(VK_END);
  Type("X");
  EXPECT_EQ(edit->Text(), "firstX");
  Key(VK_ESCAPE);
  EXPECT_EQ(edit->Text(), "first");
  EXPECT_FALSE(edit->Modified());
  edit->SetReturnIsTab(true);
  Key(VK_RETURN);
  EXPECT_TRUE(other->Focused());
}

TEST_F(AdvEditTest, ClipboardCutCopyPaste) {
  edit->SetText("hello world");
  Focus(edit);
  std::vector<std::string> events;
  edit->OnClipboardCopy = [&](TObject*, const std::string& v, bool&) { events.push_back("copy " + v); };
  edit->OnClipboardCut = [&](TObject*, const std::string& v, bool&) { events.push_back("cut " + v); };
  edit->OnClipboardPaste = [&](TObject*, const std::string& v, bool&) { events.push_back("paste " + v); };
  edit->SetSelStart(0);
  edit->SetSelLength(5);
  Chord({VK_CONTROL}, 'C');
  EXPECT_EQ(ClipboardText(), "hello");
  Chord({VK_CONTROL}, 'X');
  EXPECT_EQ(edit->Text(), " world");
  Key(VK_END);
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), " worldhello");
  EXPECT_EQ(events, (std::vector<std::string>{"copy hello", "cut hello", "paste  worldhello"}));

  edit->OnClipboardPaste = [](TObject*, const std::string&, bool& allow) { allow = false; };
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), " worldhello") << "a refused paste inserts nothing";
  edit->OnClipboardPaste = nullptr;

  PutOnClipboard("one\r\ntwo");
  edit->SetText("");
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), "one") << "a single-line edit takes the first line";

  edit->SetPrefix("$");
  edit->SetText("5");
  Caret(0);
  PutOnClipboard("12");
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->ShownText(), "$125") << "a caret inside the prefix pastes at the value's start";

  edit->SetPrefix("");
  edit->SetEditType(etNumeric);
  edit->SetText("7");
  Key(VK_END);
  PutOnClipboard("12a");
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), "7") << "not an integer: refused";
  EXPECT_EQ(edit->SelStart(), 1) << "the caret goes where the paste would have ended, within the text";
  edit->SetEditType(etHex);
  PutOnClipboard("1F");
  Chord({VK_CONTROL}, 'V');
  EXPECT_EQ(edit->Text(), "7");
}

TEST_F(AdvEditTest, TypingOverTheSelectedValueIsOneChange) {
  // The first key after the focus arrives replaces the whole value: the
  // change is reported and validated like any other.
  const std::tuple<TAdvEditType, const char*, const char*> cases[] = {
      {etString, "abc", "x"}, {etNumeric, "12", "7"}, {etHex, "FF", "a"}};
  int changes = 0;
  edit->OnChange = [&](TObject*) { ++changes; };
  edit->OnValueValidate = [](TObject*, const std::string& value, bool& valid) { valid = value.size() > 1; };
  edit->SetShowError(true);
  for (auto [type, value, typed] : cases) {
    Focus(other);
    edit->SetEditType(type);
    edit->SetText(value);
    Focus(edit);
    ASSERT_EQ(edit->SelLength(), static_cast<int32_t>(std::strlen(value))) << value;
    changes = 0;
    Type(typed);
    EXPECT_EQ(edit->Text(), typed);
    EXPECT_EQ(changes, 1) << typed;
    EXPECT_TRUE(edit->Error()) << "a one-character value fails the validation";
  }
}

TEST_F(AdvEditTest, AColourSetInCodeOutlivesTheFocus) {
  for (TColor focus : {clNone, clAqua}) {
    edit->SetFocusColor(focus);
    edit->SetColor(clYellow);
    Focus(edit);
    EXPECT_EQ(edit->Color(), focus == clNone ? clYellow : focus);
    Focus(other);
    EXPECT_EQ(edit->Color(), clYellow) << "focus colour " << focus;
  }
  SetPropertyByPath(*form, "Edit1.Color", "clLime");
  Focus(edit);
  Focus(other);
  EXPECT_EQ(edit->Color(), clLime) << "also when set by name";
}

TEST_F(AdvEditTest, FocusColoursComeBackForAnEditMadeInCode) {
  edit->SetFocusColor(clYellow);
  edit->SetLabelCaption("Name");
  edit->SetFocusLabel(true);
  Focus(edit);
  EXPECT_EQ(edit->Color(), clYellow);
  EXPECT_TRUE(edit->EditLabel().Label()->Font()->Style().Contains(fsBold));
  Focus(other);
  EXPECT_EQ(edit->Color(), clWindow) << "never black after losing the focus";
  EXPECT_EQ(Probe(edit, 150, 10), ColorToRGB(clWindow));
}

TEST_F(AdvEditTest, FlatLookSoftBorderErrorMarkerAndTransparency) {
  form->SetColor(clYellow);
  edit->SetText("abcdef");
  Focus(other);
  edit->SetFlat(true);
  EXPECT_EQ(edit->BorderStyle(), bsNone);
  EXPECT_EQ(edit->Color(), clYellow) << "a flat edit takes its parent's colour";
  EXPECT_EQ(edit->NormalColor(), clWindow);
  const int w = edit->Width(), h = edit->Height();
  EXPECT_EQ(Probe(edit, w / 2, h - 1), ColorToRGB(clBlack)) << "the line under the text";
  EXPECT_NE(Probe(edit, w - 1, 5), ColorToRGB(clBlack));
  edit->SetSoftBorder(true);
  EXPECT_EQ(Probe(edit, w - 1, h / 2), ColorToRGB(clBlack)) << "a soft frame around the text";
  edit->SetFlatLineColor(clNone);
  EXPECT_NE(Probe(edit, w / 2, h - 1), ColorToRGB(clBlack));
  edit->SetFlat(false);
  EXPECT_EQ(edit->Color(), clWindow);
  EXPECT_EQ(edit->BorderStyle(), bsSingle);

  // The zigzag runs under the marked characters only while unfocused.
  auto redUnder = [&](int x0, int x1) {
    int red = 0;
    for (int x = x0; x < x1; ++x)
      for (int y = h / 2; y < h; ++y) red += Probe(edit, x, y) == ColorToRGB(clRed);
    return red;
  };
  const POINT c2 = {static_cast<int16_t>(LOWORD(edit->Perform(EM_POSFROMCHAR, 2, 0))), 0};
  const POINT c4 = {static_cast<int16_t>(LOWORD(edit->Perform(EM_POSFROMCHAR, 4, 0))), 0};
  EXPECT_EQ(redUnder(0, w), 0);
  edit->SetErrorMarkerPos(2);
  edit->SetErrorMarkerLen(2);
  EXPECT_GT(redUnder(c2.x, c4.x), 0);
  EXPECT_EQ(redUnder(0, c2.x - 2), 0);
  EXPECT_EQ(redUnder(c4.x + 8, w), 0);
  Focus(edit);
  EXPECT_EQ(redUnder(0, w), 0);
  Focus(other);
  edit->SetErrorMarkerLen(0);

  // A transparent edit shows the form's colour behind its text.
  edit->SetTransparent(true);
  EXPECT_EQ(Probe(edit, w - 6, h / 2), ColorToRGB(clYellow));
  edit->SetTransparent(false);
  EXPECT_EQ(Probe(edit, w - 6, h / 2), ColorToRGB(clWindow));
}

TEST_F(AdvEditTest, LabelClicksReachTheEdit) {
  std::string log;
  edit->OnLabelClick = [&](TObject* sender) { log += sender == edit ? "click " : "other "; };
  edit->OnLabelDblClick = [&](TObject* sender) { log += sender == edit ? "double " : "other "; };
  edit->SetLabelCaption("Name");
  edit->SetLabelPosition(lpTopLeft);
  form->Show();
  Pump();
  TLabel* label = edit->EditLabel().Label();
  ASSERT_NE(label, nullptr);
  Click(label);
  display::InjectDoubleClick(At(label));
  Pump();
  EXPECT_EQ(log.substr(0, 6), "click ");
  EXPECT_NE(log.find("double "), std::string::npos);
}

TEST_F(AdvEditTest, DisabledOfficeBorderAutoFocusAndLongTextHint) {
  form->SetColor(clYellow);
  Focus(other);
  edit->SetEnabled(false);
  EXPECT_EQ(edit->Color(), clSilver);
  EXPECT_EQ(Probe(edit, 50, 10), ColorToRGB(clSilver));
  edit->SetDisabledColor(clAqua);
  EXPECT_EQ(Probe(edit, 0, 10), ColorToRGB(clSilver)) << "a silver frame while disabled";
  SetPropText(*edit, "DisabledBorder", "False");
  EXPECT_NE(Probe(edit, 0, 10), ColorToRGB(clSilver)) << "the platform's border instead";
  edit->SetDisabledColor(clSilver);
  edit->SetEnabled(true);
  EXPECT_EQ(edit->Color(), clWindow) << "enabling brings the colour back";

  std::string log;
  edit->OnMouseEnter = [&](TObject*) { log += "enter "; };
  edit->OnMouseLeave = [&](TObject*) { log += "leave "; };
  edit->SetFocusBorder(true);
  EXPECT_EQ(Probe(edit, 0, 10), ColorToRGB(clYellow)) << "no border away from the mouse";
  display::InjectMouseMove(At(edit, 50, 10));
  Pump();
  EXPECT_TRUE(edit->MouseInside());
  EXPECT_EQ(Probe(edit, 0, 10), ColorToRGB(clBtnShadow)) << "a sunken edge under the mouse";
  display::InjectMouseMove(At(other, 50, 10));
  Pump();
  EXPECT_FALSE(edit->MouseInside());
  EXPECT_EQ(log, "enter leave ");
  EXPECT_FALSE(edit->Focused());
  edit->SetAutoFocus(true);
  display::InjectMouseMove(At(edit, 50, 10));
  Pump();
  EXPECT_TRUE(edit->Focused()) << "AutoFocus takes the focus on entry";

  auto hint = [&] {
    THintInfo info;
    info.HintStr = "own";
    edit->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info));
    return info;
  };
  edit->SetText("short");
  edit->SetHintShowLargeText(true);
  EXPECT_EQ(hint().HintStr, "own");
  const std::string wide(80, 'W');
  edit->SetText(wide);
  THintInfo info = hint();
  EXPECT_EQ(info.HintStr, wide);
  EXPECT_EQ(info.HintPos.x, edit->ClientOrigin().x);
}

TEST_F(AdvEditTest, FocusChangesAlignmentAndWidthForItsDuration) {
  edit->SetEditAlign(AdvEdit::eaRight);
  EXPECT_EQ(edit->Alignment(), taRightJustify);
  edit->SetFocusAlign(AdvEdit::eaCenter);
  edit->SetFocusWidthInc(30);
  const int width = edit->Width();
  Focus(edit);
  EXPECT_EQ(edit->EditAlign(), AdvEdit::eaCenter);
  EXPECT_EQ(edit->Alignment(), taCenter);
  EXPECT_EQ(edit->Width(), width + 30);
  Focus(other);
  EXPECT_EQ(edit->EditAlign(), AdvEdit::eaRight);
  EXPECT_EQ(edit->Width(), width);
  // eaDefault leaves the alignment alone while focused.
  edit->SetFocusAlign(AdvEdit::eaDefault);
  Focus(edit);
  EXPECT_EQ(edit->EditAlign(), AdvEdit::eaRight);
  // A stored form names each alignment as the code does.
  const std::pair<const char*, TAdvEditAlign> names[] = {
      {"eaLeft", AdvEdit::eaLeft}, {"eaRight", AdvEdit::eaRight}, {"eaDefault", AdvEdit::eaDefault},
      {"eaCenter", AdvEdit::eaCenter}};
  for (auto [name, value] : names) {
    SetPropText(*edit, "FocusAlign", name);
    EXPECT_EQ(edit->FocusAlign(), value) << name;
  }
}

TEST_F(AdvEditTest, LinkClickAsksBeforeOpening) {
  std::vector<std::string> opened;
  Markup::SetAnchorOpener([&](const std::string& target) {
    opened.push_back(target);
    return true;
  });
  edit->SetShowURL(true);
  edit->SetText("www.example.org");
  bool allow = false;
  std::string asked;
  edit->OnURLClick = [&](TObject*, const std::string& url, bool& show) {
    asked = url;
    show = allow;
  };
  Focus(edit);
  Click(edit, 30, 10);  // inside the selection: a drag that never started
  Click(edit, 30, 10);
  EXPECT_EQ(asked, "www.example.org");
  EXPECT_TRUE(opened.empty()) << "the event kept it closed";
  allow = true;
  asked.clear();
  Click(edit, 60, 10);
  EXPECT_EQ(asked, "www.example.org");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], "http://www.example.org");
  Markup::SetAnchorOpener(nullptr);
}

TEST_F(AdvEditTest, LinkLookFollowsTheValue) {
  edit->SetShowURL(true);
  edit->SetText("www.example.org");
  EXPECT_TRUE(edit->IsURL());
  EXPECT_TRUE(edit->Font()->Style().Contains(fsUnderline));
  EXPECT_EQ(edit->Font()->Color(), clBlue);
  Focus(edit);
  Key(VK_HOME);
  Key(VK_DELETE);
  Key(VK_DELETE);
  Key(VK_DELETE);
  Key(VK_DELETE);
  EXPECT_EQ(edit->Text(), "example.org");
  EXPECT_FALSE(edit->Font()->Style().Contains(fsUnderline));
  edit->SetText("@home");
  EXPECT_FALSE(edit->IsURL());
}

TEST_F(AdvEditTest, PersistenceUsesTheSettingsFolder) {
  TempFolder home;
  setenv("XDG_CONFIG_HOME", home.Path().c_str(), 1);
  edit->Persistence()->SetEnable(true);
  edit->Lookup()->SetEnabled(true);
  edit->Lookup()->SetHistory(true);
  edit->Lookup()->DisplayList()->SetCommaText("a,b,c");
  edit->Lookup()->ValueList()->SetCommaText("1,2");
  edit->SetPrefix("$");
  edit->SetText("5");
  edit->SavePersistence();
  const std::string file = SettingsIniFileName("");
  EXPECT_EQ(file.rfind(home.Path(), 0), 0u) << file;
  TIniFile ini(file);
  EXPECT_EQ(ini.ReadString("Edit1", "Edit1", ""), "$5");
  EXPECT_EQ(ini.ReadInteger("Edit1", "LOOKUPCOUNT", 0), 3);
  EXPECT_EQ(ini.ReadString("Edit1", "LOOKUPVAL2", ""), "2");
  EXPECT_FALSE(ini.ValueExists("Edit1", "LOOKUPVAL3"));
  other->Persistence()->SetEnable(true);
  other->Persistence()->SetSection("Edit1");
  other->SetName("Edit1x");
  ini.WriteString("Edit1", "Edit1x", "restored");
  other->LoadPersistence();
  EXPECT_EQ(other->ShownText(), "restored");

  // A key that climbs out of the settings folder stays in it and makes no
  // folders elsewhere.
  const std::string settings = home / "settings";
  setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
  for (const char* key : {"../escape/lookup.ini", "sub/../../escape/lookup.ini", ".."}) {
    const std::string name = SettingsIniFileName(key);
    EXPECT_EQ(name.rfind(settings, 0), 0u) << key << " -> " << name;
    EXPECT_EQ(name.find(".."), std::string::npos) << key << " -> " << name;
  }
  EXPECT_FALSE(std::filesystem::exists(home / "escape"));
  unsetenv("XDG_CONFIG_HOME");
}

TEST_F(AdvEditTest, DragMovesTextWithinOneEditAndBetweenTwo) {
  edit->SetOleDropSource(true);
  edit->SetOleDropTarget(true);
  other->SetOleDropTarget(true);
  edit->SetText("abc def");
  other->SetText("xyz");
  Focus(edit);
  edit->SetSelStart(0);
  edit->SetSelLength(3);
  auto dragTo = [&](TControl* target, int x) {
    const LRESULT at = edit->Perform(EM_POSFROMCHAR, edit->SelStart() + 1, 0);
    const POINT from = At(edit, static_cast<int16_t>(LOWORD(at)), 10);
    display::InjectMouseDown(from);
    display::InjectMouseMove(POINT{from.x + 4, from.y});
    display::InjectMouseMove(At(target, x, 10));
    display::InjectMouseMove(At(target, x, 10));
    display::InjectMouseUp(At(target, x, 10));
    Pump();
  };
  dragTo(edit, edit->Width() - 10);
  EXPECT_EQ(edit->Text(), " defabc") << "the place is found before the selection goes";

  edit->SetSelStart(4);
  edit->SetSelLength(3);
  dragTo(other, other->Width() - 10);
  EXPECT_EQ(other->Text(), "xyzabc");
  EXPECT_EQ(edit->Text(), " def") << "a move takes the text out of the source";

  edit->SetText("keep");
  Focus(edit);
  edit->SetSelStart(0);
  edit->SetSelLength(4);
  display::InjectKeyDown(VK_CONTROL);
  dragTo(other, other->Width() - 10);
  display::InjectKeyUp(VK_CONTROL);
  Pump();
  EXPECT_EQ(other->Text(), "xyzabckeep");
  EXPECT_EQ(edit->Text(), "keep") << "a copy leaves the source alone";
}

TEST(AdvEditDataObject, OffersTextAndReadsBlocksWithinTheirSize) {
  ComPtr<TSourceDataObject> data = MakeComObject<TSourceDataObject>("héllo");
  ComPtr<IEnumFORMATETC> formats;
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, formats.GetAddressOf()), S_OK);
  FORMATETC three[3];
  ULONG fetched = 0;
  EXPECT_EQ(formats->Next(3, three, &fetched), S_OK);
  EXPECT_EQ(fetched, 3u);
  EXPECT_EQ(three[0].cfFormat, CF_TEXT);
  EXPECT_EQ(three[1].cfFormat, CF_UNICODETEXT);
  EXPECT_EQ(three[2].cfFormat, RichTextFormat());
  EXPECT_EQ(formats->Next(1, three, nullptr), S_FALSE);
  FORMATETC rich;
  rich.cfFormat = RichTextFormat();
  STGMEDIUM medium;
  EXPECT_EQ(data->GetData(&rich, &medium), DV_E_FORMATETC);
  FORMATETC stream;
  stream.cfFormat = CF_TEXT;
  stream.tymed = TYMED_ISTREAM;
  EXPECT_EQ(data->QueryGetData(&stream), DV_E_FORMATETC);
  TEnumFormats reader(data.Get());
  EXPECT_EQ(reader.GetText(CF_TEXT), "héllo");
}

TEST_F(AdvEditTest, LookupListOffersMatchesAndTakesOne) {
  edit->Lookup()->SetEnabled(true);
  edit->Lookup()->DisplayList()->SetCommaText("ABC,abd,abe,abf,abg,abh,abi,xyz");
  edit->Lookup()->ValueList()->SetCommaText("value-of-ABC");
  Focus(edit);
  Type("a");
  EXPECT_FALSE(edit->LookupVisible()) << "fewer than NumChars characters show no list";
  Type("b");
  ASSERT_TRUE(edit->LookupVisible());
  TListBox* list = edit->LookupWindow()->ListControl();
  EXPECT_EQ(list->Count(), 7) << "without case: ABC and the ab entries";
  EXPECT_EQ(edit->LookupWindow()->Height(), 4 * 12 + 4);
  Key(VK_END);
  EXPECT_EQ(list->ItemIndex(), 6);
  Key(VK_HOME);
  Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 1);
  Key(VK_UP);
  Key(VK_RETURN);
  EXPECT_FALSE(edit->LookupVisible());
  EXPECT_EQ(edit->Text(), "value-of-ABC") << "an entry with a value puts the value in the edit";

  edit->SetText("");
  edit->Lookup()->SetCaseSensitive(true);
  Type("ab");
  ASSERT_TRUE(edit->LookupVisible());
  EXPECT_EQ(list->Count(), 6);
  Type("d");
  EXPECT_EQ(list->Count(), 1);
  EXPECT_EQ(edit->LookupWindow()->Height(), 12 + 4);
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "abd");
  Type("q");
  EXPECT_FALSE(edit->LookupVisible()) << "no match hides the list";
}

TEST_F(AdvEditTest, MultiLookupCompletesTheEntryAfterTheLastSeparator) {
  edit->Lookup()->SetEnabled(true);
  edit->Lookup()->SetMulti(true);
  edit->Lookup()->DisplayList()->SetCommaText("green,grey,red");
  Focus(edit);
  Type("red;g");
  EXPECT_FALSE(edit->LookupVisible()) << "one character after the separator is fewer than NumChars";
  Type("r");
  ASSERT_TRUE(edit->LookupVisible());
  TListBox* list = edit->LookupWindow()->ListControl();
  EXPECT_EQ(list->Count(), 2);
  // The list stands under the character after the separator.
  const POINT origin = edit->ClientOrigin();
  const int32_t x = static_cast<int16_t>(LOWORD(edit->Perform(EM_POSFROMCHAR, 4, 0)));
  EXPECT_EQ(edit->LookupWindow()->Left(), origin.x + 8 + x);
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "red;green;");
  EXPECT_EQ(edit->SelStart(), 10);
  EXPECT_EQ(edit->SelLength(), 0);
  // A second entry completes the same way; the list copies Multi.
  Type("re");
  ASSERT_TRUE(edit->LookupVisible());
  EXPECT_EQ(list->Count(), 1);
  Key(VK_RETURN);
  EXPECT_EQ(edit->Text(), "red;green;red;");
  TLookupSettings copy;
  copy.Assign(edit->Lookup());
  EXPECT_TRUE(copy.Multi());
}
