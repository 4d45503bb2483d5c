// The about box; see vesk_about.h.
#include "app/vesk_about.h"

#include "app/vesk_form_parts.h"
#include "platform/forms/extctrls.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advsmoothpanel.h"

TForm6* Form6 = nullptr;

namespace {

// The about box's picture: a small colour chart of four rows of six patches.
void DrawChartPicture(TImage* image) {
  static const uint32_t kPatches[24] = {
      0x445573, 0x8196C2, 0x9D7A62, 0x426C57, 0xB18085, 0xAABC67, 0x2C7ED6, 0xA65C50,
      0x6256C1, 0x6A3C5E, 0x40BC9D, 0x2EA1E0, 0x96403A, 0x4D9546, 0x3C33AF, 0x16C7E7,
      0x9556BB, 0xA18808, 0xF2F3F3, 0xC8C8C8, 0xA0A0A0, 0x7A7A79, 0x555555, 0x343434};
  TBitmap* bitmap = image->Picture()->Bitmap();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(64, 48);
  TCanvas* canvas = bitmap->Canvas();
  canvas->Brush()->SetColor(clBlack);
  canvas->FillRect(RECT{0, 0, 64, 48});
  for (int i = 0; i < 24; ++i) {
    canvas->Brush()->SetColor(static_cast<TColor>(kPatches[i]));
    const int x = 2 + (i % 6) * 10, y = 2 + (i / 6) * 11;
    canvas->FillRect(RECT{x, y, x + 9, y + 10});
  }
}

}  // namespace

TForm6::TForm6(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] {
    SetName("Form6");
    SetBorderStyle(bsNone);
    SetPosition(poMainFormCenter);
    SetClientWidth(434);
    SetClientHeight(359);
    SetTransparentColor(true);
    SetTransparentColorValue(clSilver);
    AdvSmoothPanel1 = Group(this, this, "AdvSmoothPanel1", " VeSk - Tundrel", 0, 0, 434, 359, true);
    AdvSmoothPanel1->SetAlign(alClient);
    DrawChartPicture(PlaceControl<TImage>(this, AdvSmoothPanel1, "Picture", 16, 34, 64, 48));
    auto* frame = PlaceControl<TPanel>(this, AdvSmoothPanel1, "LinkFrame", 10, 104, 414, 46);
    frame->SetBevelOuter(bvLowered);
    frame->SetCaption("");
    struct Line {
      const char* name;
      const char* text;
      int y;
    };
    const Line lines[] = {
        {"NameLabel", "VeSk - Tundrel", 40},
        {"LicenceLabel", "This program is open source", 60},
        {"LinkLabel", VeskWebSite, 110},
        {"NoteLabel", "Camera profiles from a photo of a colour chart.", 128},
        {"HelpLabel", "Help us translate VeSk into your language - write to:", 160},
        {"ContactLabel", VeskContact, 176},
        {"ThanksLabel", "Special thanks to the translators:", 204},
        {"CreditCs", "Czech - Jan Vodrazka", 222},
        {"CreditEs", "Spanish - Lucia Ferrandis", 238},
        {"CreditFr", "French - Amelie Brunet", 254},
        {"CreditIn", "Indonesian - Sari Wibowo", 270},
        {"CreditPl", "Polish - Tomasz Zielak", 286},
        {"CreditDe", "German - Jonas Kettler", 302},
    };
    for (const Line& l : lines) {
      const bool framed = l.y > 100 && l.y < 150;
      TLabel* label = Label(this, framed ? static_cast<TWinControl*>(frame) : AdvSmoothPanel1, l.name, l.text,
                            l.y < 100 ? 96 : framed ? 6 : 16, framed ? l.y - 106 : l.y, l.y < 100 ? 322 : 400, 16);
      if (l.y < 100) label->Font()->SetStyle({fsBold});
      if (std::string(l.name) == "LinkLabel") LinkLabel = label;
    }
    AdvGlassButton1 = Button(this, AdvSmoothPanel1, "AdvGlassButton1", "&Close", 162, 324, 110, 28,
                             [this](TObject* s) { AdvGlassButton1Click(s); });
  });
}

void TForm6::AdvGlassButton1Click(TObject*) {
  if (Modal()) SetModalResult(mrOk);
  else Close();
}
