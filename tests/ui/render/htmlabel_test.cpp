// The HTML label on a headless form: joined text, sizing to the text, a
// gradient line, and anchors under the injected mouse that open only web
// and mail addresses.
#include <gtest/gtest.h>

#include "platform/forms/properties.h"
#include "platform/win/gdi.h"
#include "platform/win/user_paint.h"
#include "tests/platform/forms/forms_test_support.h"
#include "ui/render/htmlabel.h"

namespace {
class HTMLabelTest : public FormsTest {
protected:
  THTMLabel* MakeLabel(TForm* form, const std::vector<std::string>& lines) {
    auto* label = new THTMLabel(form);
    label->SetParent(form);
    label->SetBounds(10, 10, 300, 40);
    label->Font()->SetName("Tahoma");
    label->Font()->SetHeight(-13);
    for (const std::string& l : lines) label->HTMLText()->Add(l);
    return label;
  }
  static TColor Shown(TForm* form, int x, int y) {
    form->Update();
    HDC dc = GetDC(form->Handle());
    COLORREF p = GetPixel(dc, x, y);
    ReleaseDC(form->Handle(), dc);
    return static_cast<TColor>(p);
  }
};
}  // namespace

TEST_F(HTMLabelTest, JoinsLinesAndSizesToItsText) {
  TForm* form = MakeForm();
  THTMLabel* label = MakeLabel(form, {"Hello", "<B>World</B>"});
  EXPECT_EQ(label->GetDisplayText(), "Hello <B>World</B>");
  TStringList lines;
  lines.Add("a");
  lines.Add("b");
  label->SetHTMLText(&lines);
  EXPECT_EQ(label->HTMLText()->Count(), 1);
  EXPECT_EQ(label->HTMLText()->Strings(0), "ab");
  label->HTMLText()->Clear();
  label->HTMLText()->Add("one<BR>two");
  label->SetAutoSizing(true);
  form->Show();
  Pump();
  label->Repaint();
  TBitmap probe;
  probe.Canvas()->Font()->Assign(label->Font());
  int twoLines = RenderMarkup(probe.Canvas(), "one<BR>two", RECT{0, 0, 300, 100}, TMarkupArgs{.MeasureOnly = true}).MeasuredHeight;
  EXPECT_EQ(label->Height(), twoLines + 6);
  EXPECT_EQ(label->Version(), "1.8.0.2");
}

TEST_F(HTMLabelTest, GradientLineAtTheBottom) {
  TForm* form = MakeForm();
  form->SetColor(clWhite);
  THTMLabel* label = MakeLabel(form, {"text"});
  label->SetColor(clRed);
  label->SetGradientType(gtBottomLine);
  label->SetLineWidth(2);
  label->SetTransparent(true);
  form->Show();
  Pump();
  POINT origin = label->ClientToScreen(POINT{0, 0});
  POINT formOrigin = form->ClientToScreen(POINT{0, 0});
  int x = origin.x - formOrigin.x, y = origin.y - formOrigin.y;
  EXPECT_EQ(Shown(form, x + 1, y + 39), clRed);          // starts in Color
  EXPECT_EQ(Shown(form, x + 1, y + 36), clWhite);        // above the line
  TColor end = Shown(form, x + 298, y + 39);
  EXPECT_GT((end >> 8) & 0xFF, 0xE0);                    // fades toward white

  // A transparent label paints no full gradient over its parent.
  label->SetColorTo(clBlue);
  for (TGradientType type : {gtFullHorizontal, gtFullVertical}) {
    label->SetGradientType(type);
    label->Invalidate();
    EXPECT_EQ(Shown(form, x + 250, y + 20), clWhite) << "gradient type " << type;
  }
}

// Labels with frames and vertical placement: the rows where the anchor's
// text is drawn are the rows where the mouse finds it.
TEST_F(HTMLabelTest, AnchorIsFoundWhereItIsDrawn) {
  struct Case {
    int32_t border;
    TBevelCut outer, inner;
    TBorderStyle style;
    TVAlignment align;
    bool autoSizing;
  } cases[] = {
      {8, bvNone, bvNone, bsNone, tvaCenter, false},  {8, bvNone, bvNone, bsNone, tvaBottom, false},
      {3, bvRaised, bvLowered, bsSingle, tvaCenter, false}, {0, bvRaised, bvNone, bsNone, tvaTop, false},
      {4, bvNone, bvNone, bsSingle, tvaBottom, true},
  };
  TForm* form = MakeForm();
  form->SetColor(clWhite);
  form->Show();
  Pump();
  for (const Case& k : cases) {
    THTMLabel* label = MakeLabel(form, {"<A href=\"http://x\">link</A>"});
    label->SetBounds(10, 10, 200, 80);
    label->SetColor(clWhite);
    label->SetBorderWidth(k.border);
    label->SetBevelOuter(k.outer);
    label->SetBevelInner(k.inner);
    label->SetBorderStyle(k.style);
    label->SetBorderColor(clWhite);
    label->SetVAlignment(k.align);
    label->SetAutoSizing(k.autoSizing);
    label->Repaint();
    form->Update();
    const std::string name = "border " + std::to_string(k.border) + " align " + std::to_string(k.align);
    HDC dc = GetDC(form->Handle());
    int firstInk = -1, lastInk = -1, column = -1;
    for (int y = 0; y < label->Height(); ++y)
      for (int x = 0; x < label->Width(); ++x) {
        const COLORREF p = GetPixel(dc, 10 + x, 10 + y);
        if (GetBValue(p) > GetRValue(p) + 80) {
          if (firstInk < 0) firstInk = y;
          lastInk = y;
          if (column < 0) column = x + 2;
        }
      }
    ReleaseDC(form->Handle(), dc);
    ASSERT_GE(firstInk, 0) << name;
    int firstHit = -1, lastHit = -1;
    RECT q;
    for (int y = 0; y < label->Height(); ++y)
      if (!label->AnchorAt(column, y, q).empty()) {
        if (firstHit < 0) firstHit = y;
        lastHit = y;
      }
    EXPECT_LE(firstHit, firstInk) << name;
    EXPECT_GE(lastHit, lastInk) << name;
    EXPECT_GE(firstHit, firstInk - 6) << name;
    EXPECT_LE(lastHit, lastInk + 6) << name;
    delete label;
  }
}

TEST_F(HTMLabelTest, AnchorsFireEventsAndOpenOnlyWebAndMailAddresses) {
  std::vector<std::string> opened;
  Markup::SetAnchorOpener([&](const std::string& t) {
    opened.push_back(t);
    return true;
  });
  TForm* form = MakeForm();
  THTMLabel* label = MakeLabel(form, {"<A href=\"notes.txt\">file</A> and <A href=\"http://example.com/a b\">web</A>"});
  std::vector<std::string> clicked;
  std::string log;
  label->OnAnchorClick = [&](TObject*, const std::string& a) { clicked.push_back(a); };
  label->OnAnchorEnter = [&](TObject*, const std::string& a) { log += "enter:" + a + " "; };
  label->OnAnchorExit = [&](TObject*, const std::string& a) { log += "exit:" + a + " "; };
  form->Show();
  Pump();
  RECT q;
  int fileX = -1, webX = -1;
  for (int x = 0; x < 300; ++x) {
    std::string a = label->AnchorAt(x, 7, q);
    if (a == "notes.txt" && fileX < 0) fileX = x + 3;
    if (a == "http://example.com/a b" && webX < 0) webX = x + 3;
  }
  ASSERT_GT(fileX, -1);
  ASSERT_GT(webX, fileX);
  display::InjectMouseMove(At(label, fileX, 7));
  Pump();
  EXPECT_EQ(label->Cursor(), crHandPoint);
  Click(label, fileX, 7);
  Click(label, webX, 7);
  display::InjectMouseMove(At(label, 295, 30));
  Pump();
  EXPECT_EQ(label->Cursor(), crDefault);
  EXPECT_EQ(clicked, (std::vector<std::string>{"notes.txt", "http://example.com/a b"}));
  EXPECT_EQ(opened, std::vector<std::string>{"http://example.com/a b"});
  EXPECT_EQ(log, "enter:notes.txt enter:http://example.com/a b exit: ");
  Markup::SetAnchorOpener(nullptr);
}

TEST_F(HTMLabelTest, HintsShowTheAnchorOrTheWholeText) {
  TForm* form = MakeForm();
  THTMLabel* label = MakeLabel(form, {"Read <A href=\"http://example.org\">more</A> here"});
  label->SetAnchorHint(true);
  label->OnAnchorHint = [](TObject*, std::string& anchor) { anchor = "see " + anchor; };
  form->Show();
  Pump();
  RECT q;
  int onAnchor = -1;
  for (int x = 0; x < 300 && onAnchor < 0; ++x)
    if (!label->AnchorAt(x, 7, q).empty()) onAnchor = x + 2;
  ASSERT_GE(onAnchor, 0);
  auto hint = [&](int x) {
    THintInfo info;
    info.CursorPos = POINT{x, 7};
    info.HintStr = "own hint";
    EXPECT_EQ(label->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)), 0);
    return info;
  };
  THintInfo over = hint(onAnchor);
  EXPECT_EQ(over.HintStr, "see http://example.org");
  const POINT screen = label->ClientToScreen(POINT{onAnchor, 7});
  EXPECT_EQ(over.HintPos.x, screen.x + 10);
  EXPECT_EQ(over.HintPos.y, screen.y - 10);
  EXPECT_EQ(hint(1).HintStr, "own hint") << "off anchors the label's own hint";
  label->SetHintShowFull(true);
  EXPECT_EQ(hint(1).HintStr, "Read more here");
  label->SetHTMLHint(true);
  EXPECT_EQ(hint(1).HintStr, "Read <A href=\"http://example.org\">more</A> here");
  label->SetAnchorHint(false);
  EXPECT_EQ(hint(onAnchor).HintStr, "Read <A href=\"http://example.org\">more</A> here");
}

TEST_F(HTMLabelTest, HoverAndImageChangesRepaintTheLabel) {
  TForm* form = MakeForm();
  form->SetColor(clWhite);
  TImageList images(nullptr);
  images.SetWidth(16);
  images.SetHeight(16);
  THTMLabel* label = MakeLabel(form, {"<IMG src=\"IDX:0\"> <A href=\"x\">link text</A>"});
  label->SetTransparent(true);
  label->SetImages(&images);
  label->SetHover(true);
  label->SetHoverColor(clYellow);
  int entered = 0, left = 0;
  label->OnMouseEnter = [&](TObject*) { ++entered; };
  label->OnMouseLeave = [&](TObject*) { ++left; };
  form->Show();
  Pump();
  const POINT origin = form->ScreenToClient(label->ClientToScreen(POINT{0, 0}));
  EXPECT_EQ(Shown(form, origin.x + 8, origin.y + 8), clWhite) << "the list has no image yet";
  TBitmap red;
  red.SetSize(16, 16);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(RECT{0, 0, 16, 16});
  images.Add(&red);
  EXPECT_EQ(Shown(form, origin.x + 8, origin.y + 8), clRed) << "a change of the list repaints the label";

  RECT q;
  int onAnchor = -1;
  for (int x = 0; x < 300 && onAnchor < 0; ++x)
    if (!label->AnchorAt(x, 8, q).empty()) onAnchor = x + 2;
  ASSERT_GE(onAnchor, 0);
  display::InjectMouseMove(At(label, onAnchor, 8));
  Pump();
  EXPECT_EQ(entered, 1);
  EXPECT_EQ(Shown(form, origin.x + q.right - 2, origin.y + q.top + 1), clYellow) << "the hovered anchor";
  display::InjectMouseMove(At(label, 290, 30));
  Pump();
  EXPECT_EQ(Shown(form, origin.x + q.right - 2, origin.y + q.top + 1), clWhite) << "left again";
  display::InjectMouseMove(POINT{5, 5});
  Pump();
  EXPECT_EQ(left, 1);
}

TEST_F(HTMLabelTest, AStoredLabelTakesEveryPublishedProperty) {
  TForm* form = MakeForm();
  const std::pair<const char*, const char*> props[] = {
      {"URLColor", "clRed"},        {"ShadowColor", "clBlue"},     {"ShadowOffset", "4"},
      {"Hover", "True"},            {"HoverColor", "clYellow"},    {"HoverFontColor", "clNavy"},
      {"AnchorHint", "True"},       {"HintShowFull", "True"},      {"HTMLHint", "True"},
      {"Ellipsis", "True"},         {"LineSpacing", "3"},          {"VAlignment", "tvaBottom"},
      {"AutoSizeType", "asBoth"},   {"ColorTo", "clLime"},         {"GradientType", "gtCenterLine"},
      {"LineWidth", "5"},           {"BevelInner", "bvLowered"},   {"BevelOuter", "bvRaised"},
      {"BevelWidth", "2"},          {"BorderWidth", "3"},          {"BorderStyle", "bsSingle"},
      {"BorderColor", "clGreen"},
  };
  THTMLabel* label = nullptr;
  LoadComponents(*form, [&] {
    label = new THTMLabel(form);
    label->SetName("Label");
    label->SetParent(form);
    label->SetCaption("inherited caption");
    for (auto [name, value] : props) SetPropertyByPath(*form, std::string("Label.") + name, value);
  });
  for (auto [name, value] : props) EXPECT_EQ(GetPropertyByPath(*form, std::string("Label.") + name), value) << name;
  EXPECT_EQ(label->Caption(), "") << "loading clears the inherited caption";
}
