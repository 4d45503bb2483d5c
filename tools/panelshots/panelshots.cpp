// Makes a PNG of each styled panel and of a markup sample in a folder, so
// that a person can see what a user would: gradients, rounded corners,
// shadows, captions.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/win/user_paint.h"
#include "ui/controls/advsmoothpanel.h"
#include "ui/render/htmlengine.h"

namespace {

// A control that paints a markup text on white.
class TMarkupSample : public TCustomControl {
public:
  using TCustomControl::TCustomControl;
  std::string Markup;

protected:
  void Paint() override {
    Canvas()->Brush()->SetColor(clWhite);
    Canvas()->FillRect(ClientRect());
    Canvas()->Font()->SetName("Tahoma");
    Canvas()->Font()->SetHeight(-13);
    Canvas()->Font()->SetColor(clBlack);
    RECT r = ClientRect();
    InflateRect(&r, -8, -8);
    TMarkupArgs args;
    args.ShadowOffset = 2;
    args.HoverLink = 2;
    args.HoverStyle = true;
    args.HoverColor = clInfoBk;
    RenderMarkup(Canvas(), Markup, r, args);
  }
};

const char* kMarkupSample =
    "<P align=\"center\"><FONT size=\"5\" color=\"clNavy\"><B>Markup sample</B></FONT></P>"
    "<B>bold</B>, <I>italic</I>, <U>underlined</U>, <S>struck</S>, <FONT face=\"Courier New\">mono</FONT>, "
    "<FONT color=\"#C00000\">red</FONT> and <FONT bgcolor=\"#FFFF80\">marked</FONT> text.<BR>"
    "Anchors: <A href=\"http://example.com\">a link</A> and <A href=\"mailto:me@example.com\">a hovered one</A>."
    "<BR>H<SUB>2</SUB>O, E = mc<SUP>2</SUP>, <SH>shadowed</SH>, <E>speling</E>, <HI>highlight</HI>, "
    "&copy; &euro; &amp; &lt;tags&gt;<HR>"
    "<P align=\"left\"><UL><LI>first item<LI>second item<UL><LI>nested item</UL></UL></P>"
    "<P bgcolor=\"#E0F0FF\" bgcolorto=\"#FFFFFF\">A paragraph on a gradient band that wraps over the width of "
    "the sample, as long paragraphs do.</P>";

// Builds a form, lets it paint, writes its snapshot.
bool Shot(const std::string& path, int width, int height, TColor color,
          const std::function<void(TForm*)>& build) {
  auto* form = new TForm(nullptr);
  form->SetBounds(40, 40, width, height);
  form->SetColor(color);
  build(form);
  form->Show();
  for (int i = 0; i < 20; ++i) Application->ProcessMessages();
  form->Update();
  bool ok = SaveWindowSnapshot(form->Handle(), path);
  std::printf("%s %s\n", ok ? "wrote" : "could not write", path.c_str());
  delete form;
  return ok;
}

TAdvSmoothPanel* SmoothPanel(TForm* form, RECT r, int preset, const char* caption, const char* html) {
  auto* panel = new TAdvSmoothPanel(form);
  panel->SetParent(form);
  panel->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  panel->ApplyStylePreset(preset);
  panel->Fill()->SetRounding(10);
  panel->Fill()->SetShadowOffset(10);
  panel->Caption()->SetText(caption);
  panel->Caption()->HTMLFont()->SetSize(9);
  panel->Caption()->SetHTMLText(html);
  return panel;
}

}  // namespace

int main(int argc, char** argv) {
  setenv("PLATFORM_DISPLAY", "headless", 0);
  std::string folder = argc > 1 ? argv[1] : ".";
  Application->Initialize();
  bool ok = true;
  ok &= Shot(folder + "/markup.png", 460, 330, clWhite, [](TForm* form) {
    auto* sample = new TMarkupSample(form);
    sample->SetParent(form);
    sample->SetAlign(alClient);
    sample->Markup = kMarkupSample;
  });
  ok &= Shot(folder + "/smoothpanel.png", 560, 330, 0xF0E8E0, [](TForm* form) {
    SmoothPanel(form, RECT{15, 15, 270, 150}, 4, "Office 2007 luna", "with a <B>markup</B> caption and <A href=\"http://example.com\">an anchor</A>");
    SmoothPanel(form, RECT{285, 15, 540, 150}, 5, "Obsidian", "<FONT color=\"clWhite\">light on dark</FONT>");
    auto* vista = SmoothPanel(form, RECT{15, 160, 270, 295}, 10, "Windows Vista", "centred <I>markup</I>");
    vista->Caption()->SetLocation(plTopCenter);
    auto* mirror = SmoothPanel(form, RECT{285, 160, 540, 295}, 9, "Silver, mirrored", "");
    mirror->Fill()->SetBorderWidth(2);
  });
  return ok ? 0 : 1;
}
