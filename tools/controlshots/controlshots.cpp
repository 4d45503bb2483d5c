// Takes a PNG screenshot of each styled control in each of its states: one
// small form per shot, the control put into the state through its own
// properties and messages, the form's surface saved as OUTPUT/<name>.png.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/rtl/files.h"
#include "platform/win/user_paint.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advedit.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advofficebuttons.h"
#include "ui/controls/advspin.h"
#include "ui/controls/lucombo.h"

namespace {

struct Shot {
  const char* name;
  std::function<void(TForm* form)> build;
};

template <class T>
T* Place(TForm* form, int left, int top, int width, int height) {
  auto* control = new T(form);
  control->SetParent(form);
  control->SetBounds(left, top, width, height);
  return control;
}

void Settle() {
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
}

void Press(TControl* control) {
  const LPARAM at = MAKELPARAM(control->Width() / 2, control->Height() / 2);
  control->Perform(WM_LBUTTONDOWN, MK_LBUTTON, at);
}

// A 16 x 16 picture for the buttons: a yellow sun on blue; the bottom-left
// pixel (a bitmap's transparent colour) is left magenta.
void LoadGlyph(AdvGDIP::TGDIPPicture* picture) {
  TBitmap glyph;
  glyph.SetPixelFormat(pf24bit);
  glyph.SetSize(16, 16);
  TCanvas* c = glyph.Canvas();
  c->Brush()->SetColor(clFuchsia);
  c->FillRect(RECT{0, 0, 16, 16});
  c->Brush()->SetColor(static_cast<TColor>(0xC06020));
  c->Pen()->SetColor(clWhite);
  c->Rectangle(RECT{1, 1, 15, 15});
  c->Brush()->SetColor(clYellow);
  c->Pen()->SetColor(clYellow);
  c->Ellipse(RECT{4, 4, 12, 12});
  TMemoryStream bytes;
  glyph.SaveToStream(bytes);
  bytes.SetPosition(0);
  picture->LoadFromStream(bytes);
}

std::vector<Shot> Shots() {
  auto glass = [](TForm* f, const char* caption) {
    f->SetColor(static_cast<TColor>(0x804020));
    auto* b = Place<TAdvGlassButton>(f, 40, 20, 140, 36);
    b->SetCaption(caption);
    b->Font()->SetColor(clWhite);
    return b;
  };
  return {
      {"glass_normal", [glass](TForm* f) { glass(f, "Open &photo"); }},
      {"glass_down_glow", [glass](TForm* f) {
         auto* b = glass(f, "Latched");
         b->SetGroupIndex(1);
         b->SetDown(true);
       }},
      {"glass_pressed_focus", [glass](TForm* f) {
         auto* b = glass(f, "Pressed");
         b->SetShowFocusRect(true);
         f->Show();
         Settle();
         Press(b);
       }},
      {"glass_disabled", [glass](TForm* f) { glass(f, "Disabled")->SetEnabled(false); }},
      {"glass_curved_red_border", [glass](TForm* f) {
         auto* b = glass(f, "Curved");
         b->SetButtonShape(btsCurvedRectangle);
         b->SetOuterBorderColor(static_cast<TColor>(255));
       }},
      {"glass_layouts", [](TForm* f) {
         // Every layout with a picture and a caption: the side-by-side ones
         // in the upper row, the stacked ones below.
         f->SetColor(static_cast<TColor>(0x804020));
         f->SetBounds(40, 40, 640, 180);
         namespace G = AdvGlassButton;
         const std::pair<TGlassButtonLayout, const char*> layouts[] = {
             {G::blGlyphLeft, "Left"},
             {G::blGlyphRight, "Right"},
             {G::blGlyphLeftAdjusted, "Left adjusted"},
             {G::blGlyphRightAdjusted, "Right adjusted"},
             {G::blGlyphTop, "Top"},
             {G::blGlyphBottom, "Bottom"},
             {G::blGlyphTopAdjusted, "Top adjusted"},
             {G::blGlyphBottomAdjusted, "Bottom adjusted"}};
         for (int i = 0; i < 8; ++i) {
           const bool stacked = i >= 4;
           auto* b = Place<TAdvGlassButton>(f, 10 + (i % 4) * 155, stacked ? 65 : 15, 145, stacked ? 64 : 36);
           b->SetCaption(layouts[i].second);
           b->Font()->SetColor(clWhite);
           b->SetLayout(layouts[i].first);
           LoadGlyph(b->Picture());
         }
       }},
      {"glass_symbol_play", [glass](TForm* f) {
         auto* b = glass(f, "");
         b->SetBackGroundSymbol(AdvGlassButton::bsPlay);
         b->SetBackColor(clGreen);
       }},
      {"glass_shortcut_hint", [glass](TForm* f) {
         auto* b = glass(f, "Save");
         b->SetShortCutHint("S");
         f->Show();
         Settle();
         b->Perform(CM_HINTSHOW, 1, 1);
       }},
      {"checkbox_unchecked", [](TForm* f) {
         Place<TAdvOfficeCheckBox>(f, 20, 20, 200, 20)->SetCaption("Perspective <b>correction</b>");
       }},
      {"checkbox_checked_link", [](TForm* f) {
         auto* c = Place<TAdvOfficeCheckBox>(f, 20, 20, 200, 20);
         c->SetCaption("Read <a href=\"https://example.org\">more</a>");
         c->SetTabStop(true);
         c->SetChecked(true);
       }},
      {"checkbox_disabled", [](TForm* f) {
         auto* c = Place<TAdvOfficeCheckBox>(f, 20, 20, 200, 20);
         c->SetCaption("Disabled");
         c->SetChecked(true);
         c->SetEnabled(false);
       }},
      {"combo_normal_label", [](TForm* f) {
         auto* c = Place<TAdvComboBox>(f, 80, 20, 130, 22);
         c->SetStyle(csDropDownList);
         c->Items()->SetCommaText("Perceptual,Relative,Saturation");
         c->SetItemIndex(0);
         c->SetLabelPosition(lpLeftCenter);
         c->SetLabelCaption("Intent");
       }},
      {"combo_flat", [](TForm* f) {
         f->SetColor(clWhite);
         auto* c = Place<TAdvComboBox>(f, 40, 20, 150, 22);
         c->Items()->SetCommaText("Low,Medium,High");
         c->SetItemIndex(1);
         c->SetFlatLineColor(clBlue);
         c->SetFlat(true);
       }},
      {"combo_focus_colour", [](TForm* f) {
         auto* c = Place<TAdvComboBox>(f, 40, 20, 150, 22);
         c->SetStyle(csDropDownList);
         c->Items()->SetCommaText("Low,Medium,High");
         c->SetItemIndex(2);
         c->SetFocusColor(clYellow);
         c->SetFocusBorderColor(clRed);
         f->Show();
         c->SetFocus();
       }},
      {"spin_float", [](TForm* f) {
         auto* s = Place<TAdvSpinEdit>(f, 60, 20, 100, 22);
         s->SetSpinType(sptFloat);
         s->SetPrecision(2);
         s->SetFloatValue(1.0);
       }},
      {"spin_focused_label", [](TForm* f) {
         auto* s = Place<TAdvSpinEdit>(f, 60, 20, 100, 22);
         s->SetFocusColor(clYellow);
         s->SetFocusLabel(true);
         s->SetLabelCaption("Gamma");
         s->SetValue(22);
         f->Show();
         s->SetFocus();
       }},
      {"spin_up_pressed", [](TForm* f) {
         auto* s = Place<TAdvSpinEdit>(f, 60, 20, 100, 22);
         f->Show();
         Settle();
         Press(s->Button()->UpButton());
       }},
      {"spin_flat_horizontal", [](TForm* f) {
         auto* s = Place<TAdvSpinEdit>(f, 60, 20, 100, 22);
         s->SetDirection(spHorizontal);
         s->SetFlat(true);
         s->SetFlatLineColor(clBlue);
         s->SetSpinType(sptTime);
         s->SetTimeValue(0.5);
       }},
      {"spin_disabled", [](TForm* f) {
         auto* s = Place<TAdvSpinEdit>(f, 60, 20, 100, 22);
         s->SetLabelCaption("Off");
         s->SetEnabled(false);
       }},
      {"edit_prefix_suffix", [](TForm* f) {
         auto* e = Place<TAdvEdit>(f, 20, 20, 160, 22);
         e->SetEditType(etMoney);
         e->SetPrecision(2);
         e->SetPrefix("$ ");
         e->SetSuffix(" net");
         e->SetText("1234.5");
       }},
      {"edit_focused", [](TForm* f) {
         auto* e = Place<TAdvEdit>(f, 20, 20, 160, 22);
         e->SetFocusColor(clYellow);
         e->SetFocusBorderColor(clBlue);
         e->SetText("focused");
         f->Show();
         e->SetFocus();
       }},
      {"edit_error", [](TForm* f) {
         auto* e = Place<TAdvEdit>(f, 20, 20, 160, 22);
         e->SetShowError(true);
         e->OnValueValidate = [](TObject*, const std::string& v, bool& ok) { ok = v.size() < 3; };
         e->SetText("too long");
       }},
      {"edit_link", [](TForm* f) {
         auto* e = Place<TAdvEdit>(f, 20, 20, 160, 22);
         e->SetShowURL(true);
         e->SetText("www.example.org");
       }},
      {"edit_empty_text", [](TForm* f) {
         Place<TAdvEdit>(f, 20, 20, 160, 22);  // takes the focus
         Place<TAdvEdit>(f, 20, 50, 160, 22)->SetEmptyText("type a name");
       }},
      {"edit_flat_marker", [](TForm* f) {
         auto* flat = Place<TAdvEdit>(f, 20, 20, 160, 22);  // takes the focus
         flat->SetText("flat with a line");
         flat->SetFlat(true);
         auto* soft = Place<TAdvEdit>(f, 20, 50, 160, 22);
         soft->SetText("soft border, speling");
         soft->SetFlat(true);
         soft->SetSoftBorder(true);
         soft->SetErrorMarkerPos(13);
         soft->SetErrorMarkerLen(7);
       }},
      {"edit_label_top", [](TForm* f) {
         auto* e = Place<TAdvEdit>(f, 20, 40, 160, 22);
         e->SetLabelPosition(lpTopLeft);
         e->SetLabelCaption("Description");
         e->SetText("ICC profile");
       }},
      {"lookup_completion", [](TForm* f) {
         auto* e = Place<TLUEdit>(f, 20, 20, 160, 22);
         e->LookupItems()->SetCommaText("Alpha,Beta");
         f->Show();
         e->SetFocus();
         e->Perform(WM_CHAR, 'b', 0);
       }},
      {"lookup_modified", [](TForm* f) {
         auto* e = Place<TLUEdit>(f, 20, 20, 160, 22);
         e->SetShowModified(true);
         e->SetModifiedColor(clRed);
         f->Show();
         e->SetFocus();
         e->Perform(WM_CHAR, 'x', 0);
       }},
  };
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  setenv("PLATFORM_DISPLAY", "headless", 0);
  const std::string folder = IncludeTrailingPathDelimiter(argv[1]);
  ForceDirectories(folder);
  int failed = 0;
  for (const Shot& shot : Shots()) {
    auto* form = new TForm(nullptr);
    form->SetCaption(shot.name);
    form->SetBounds(40, 40, 240, 110);
    shot.build(form);
    form->Show();
    Settle();
    const std::string file = folder + shot.name + ".png";
    if (!SaveWindowSnapshot(form->Handle(), file)) {
      std::fprintf(stderr, "could not write %s\n", file.c_str());
      ++failed;
    } else {
      std::printf("%s\n", file.c_str());
    }
    delete form;
    Settle();
  }
  return failed ? 1 : 0;
}
