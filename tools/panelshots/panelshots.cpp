// Makes a PNG of each styled panel and of a markup sample in a folder, so
// that a person can see what a user would: gradients, rounded corners,
// shadows, captions.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/forms.h"
#include "platform/win/user_paint.h"
#include "ui/controls/advpanel.h"
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
    "the sample, as long paragraphs do.</P>"
    "Shell icons: <IMG src=\"SSYS:report.txt\"> <IMG src=\"SSYS:photos/\"> <IMG src=\"LSYS:chart.jpg\">";

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

TAdvPanel* CaptionedPanel(TForm* form, RECT r, TShadeType shade, const char* caption, const char* text) {
  auto* panel = new TAdvPanel(form);
  panel->SetParent(form);
  panel->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  panel->SetColor(0xF9EADB);
  panel->SetColorTo(0xE0C8B0);
  panel->SetBorderColor(0x8B5A2B);
  panel->SetBorderWidth(1);
  panel->SetBorderShadow(true);
  panel->SetBevelOuter(bvNone);
  panel->Caption()->SetVisible(true);
  panel->Caption()->SetColor(0xA0522D);
  panel->Caption()->SetShadeSeed(7);
  panel->Caption()->SetShadeType(shade);
  panel->Caption()->SetCloseButton(true);
  panel->Caption()->SetMinMaxButton(true);
  panel->Caption()->SetCloseButtonColor(clWhite);
  panel->Caption()->SetMinMaxButtonColor(clWhite);
  panel->Caption()->Font()->SetStyle(TFontStyles{fsBold});
  panel->Caption()->SetIndent(4);
  panel->Caption()->SetTopIndent(2);
  panel->Caption()->SetText(caption);
  panel->SetIndent(6);
  panel->SetTopIndent(4);
  panel->SetPanelText(text);
  return panel;
}

// A small picture: a filled square with a mark in another colour, on magenta
// that draws transparent.
TBitmap* Glyph(TColor fill, TColor mark) {
  auto* b = new TBitmap();
  b->SetSize(14, 14);
  TCanvas* c = b->Canvas();
  c->Brush()->SetColor(clFuchsia);
  c->FillRect(RECT{0, 0, 14, 14});
  c->Brush()->SetColor(fill);
  c->Pen()->SetColor(mark);
  c->Ellipse(1, 1, 13, 13);
  c->MoveTo(4, 7);
  c->LineTo(10, 7);
  return b;
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
  ok &= Shot(folder + "/advpanel.png", 640, 400, 0xF0F0F0, [](TForm* form) {
    CaptionedPanel(form, RECT{10, 10, 210, 180}, stNormal, "Plain caption",
                   "A <B>captioned</B> panel with a gradient body and <A href=\"http://example.com\">an anchor</A>.");
    CaptionedPanel(form, RECT{220, 10, 420, 180}, stVBump, "Bump shading", "<I>Vertical bump</I> caption.");
    CaptionedPanel(form, RECT{430, 10, 630, 180}, stLMetal, "Metal shading", "Brushed metal, seeded.");
    auto* grip = CaptionedPanel(form, RECT{10, 190, 210, 360}, stSoftBump, "Status and grip", "Sizeable panel.");
    grip->SetCanSize(true);
    grip->StatusBar()->SetVisible(true);
    grip->StatusBar()->SetColor(0xF0E0D0);
    grip->StatusBar()->SetColorTo(0xC0A080);
    grip->StatusBar()->SetText("status <B>text</B>");
    auto* collapsed = CaptionedPanel(form, RECT{220, 190, 420, 360}, stHShade, "Collapsed", "hidden");
    collapsed->SetCollaps(true);
    auto* mirror = CaptionedPanel(form, RECT{430, 190, 630, 360}, stNoise, "Noise, mirrored body",
                                  "<P align=\"center\">Mirrored gradient body</P>");
    mirror->SetColorMirror(0xD0B090);
    mirror->SetColorMirrorTo(0xF9EADB);
  });
  ok &= Shot(folder + "/advpanel2.png", 640, 400, 0xF0F0F0, [](TForm* form) {
    auto* left = CaptionedPanel(form, RECT{10, 10, 210, 180}, stVShade, "Left caption", "The caption runs down the left edge; the status bar stands on the right.");
    left->Caption()->SetPosition(cpLeft);
    left->StatusBar()->SetVisible(true);
    left->StatusBar()->SetColor(0xF0E0D0);
    left->StatusBar()->SetText("status");
    auto* collapsedLeft = CaptionedPanel(form, RECT{220, 10, 420, 180}, stHBump, "Collapsed", "hidden");
    collapsedLeft->Caption()->SetPosition(cpLeft);
    collapsedLeft->SetCollaps(true);
    auto* rounded = CaptionedPanel(form, RECT{260, 10, 450, 180}, stVBump, "Rounded caption", "csRounded shape.");
    rounded->Caption()->SetShape(csRounded);
    auto* semi = CaptionedPanel(form, RECT{460, 10, 630, 180}, stVBump, "Semi-rounded", "csSemiRounded shape.");
    semi->Caption()->SetShape(csSemiRounded);
    auto* glyphs = CaptionedPanel(form, RECT{10, 190, 210, 360}, stNormal, "Pictures", "Close and collapse buttons from pictures.");
    std::unique_ptr<TBitmap> closeMin(Glyph(clRed, clWhite)), closeMax(Glyph(clMaroon, clWhite)),
        minGlyph(Glyph(clNavy, clWhite)), maxGlyph(Glyph(clBlue, clWhite));
    glyphs->Caption()->SetCloseMinGlyph(closeMin.get());
    glyphs->Caption()->SetCloseMaxGlyph(closeMax.get());
    glyphs->Caption()->SetMinGlyph(minGlyph.get());
    glyphs->Caption()->SetMaxGlyph(maxGlyph.get());
    auto* picture = CaptionedPanel(form, RECT{220, 190, 420, 360}, stBitmapRStretch, "Picture caption", "The caption's picture, its last columns stretched.");
    TBitmap strip;
    strip.SetSize(60, 20);
    DrawBandedGradient(strip.Canvas(), 0x208020, 0xA0E0A0, true, RECT{0, 0, 60, 20}, 32);
    picture->Caption()->SetBackground(&strip);
    auto* sized = CaptionedPanel(form, RECT{430, 190, 630, 360}, stDiagShade, "Auto size", "Sized to <B>this</B> text.");
    sized->AutoSize()->SetEnabled(true);
  });
  return ok ? 0 : 1;
}
