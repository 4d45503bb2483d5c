// The building blocks of the form descriptions; see vesk_form_parts.h.
#include "app/vesk_form_parts.h"

#include "app/vesk_main.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advsmoothpanel.h"

namespace {

constexpr TColor kPanelText = static_cast<TColor>(0x5A3A1E);

}  // namespace

// A group or one of the two big panels: a smooth panel with its caption at the top.
TAdvSmoothPanel* Group(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x,
                       int y, int w, int h, bool big) {
  auto* p = PlaceControl<TAdvSmoothPanel>(owner, parent, name, x, y, w, h);
  p->ApplyStylePreset(big ? 1 : 0);
  p->Caption()->SetText(caption);
  p->Caption()->Font()->SetName("MS Sans Serif");
  p->Caption()->Font()->SetSize(big ? 9 : 8);
  p->Caption()->Font()->SetStyle({fsBold});
  p->Caption()->Font()->SetColor(kPanelText);
  p->Caption()->SetColorStart(kPanelText);
  p->Caption()->SetColorEnd(kPanelText);
  p->Caption()->SetLineColor(static_cast<TColor>(0xB0721C));
  return p;
}

TAdvGlassButton* Button(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y,
                        int w, int h, TNotifyEvent onClick) {
  auto* b = PlaceControl<TAdvGlassButton>(owner, parent, name, x, y, w, h);
  b->SetCaption(caption);
  b->SetBackColor(static_cast<TColor>(0x6E4A2A));
  b->SetForeColor(clWhite);
  b->SetOuterBorderColor(ChoiceMarkOff);
  b->Font()->SetColor(clWhite);
  b->OnClick = std::move(onClick);
  return b;
}

TLabel* Label(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int x, int y, int w,
              int h, TAlignment alignment, bool wrap) {
  auto* l = PlaceControl<TLabel>(owner, parent, name, x, y, w, h);
  l->SetAutoSize(false);
  l->SetTransparent(true);
  l->SetAlignment(alignment);
  l->SetWordWrap(wrap);
  l->SetCaption(caption);
  return l;
}

TAdvComboBox* List(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w,
                   std::initializer_list<const char*> items, int32_t selected) {
  auto* c = PlaceControl<TAdvComboBox>(owner, parent, name, x, y, w, 22);
  c->SetStyle(csDropDownList);
  for (const char* item : items) c->Items()->Add(item);
  c->SetItemIndex(selected);
  return c;
}

void SetChoiceMark(TAdvGlassButton* button, bool on) { button->SetOuterBorderColor(on ? ChoiceMarkOn : ChoiceMarkOff); }
