#include "ui/controls/advhintinfo.h"

#include <cmath>

#include "platform/forms/properties.h"

const TClassInfo& TAdvHintInfo::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvHintInfo>("TAdvHintInfo", &TPersistent::StaticClassInfo(), [](TPublished<TAdvHintInfo>& p) {
        p.String("Title", &TAdvHintInfo::Title, &TAdvHintInfo::SetTitle)
            .Object("Notes", &TAdvHintInfo::Notes)
            .Object("Picture", &TAdvHintInfo::Picture)
            .Boolean("ShowHelp", &TAdvHintInfo::ShowHelp, &TAdvHintInfo::SetShowHelp);
      });
  return info;
}

TAdvHintInfo::TAdvHintInfo()
    : notes_(std::make_unique<TStringList>()), picture_(std::make_unique<AdvGDIP::TGDIPPicture>()) {}

TAdvHintInfo::~TAdvHintInfo() = default;

void TAdvHintInfo::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TAdvHintInfo*>(source);
  if (!other) return;
  title_ = other->title_;
  notes_->Assign(*other->notes_);
  showHelp_ = other->showHelp_;
  picture_->Assign(other->picture_.get());
  wideTitle_ = other->wideTitle_;
  wideNotes_ = other->wideNotes_;
}

void DrawHintGradient(TCanvas* canvas, TColor from, TColor to, int32_t steps, const RECT& rect, bool horizontal) {
  const int32_t n = steps == 0 ? 1 : steps;
  const COLORREF a = ColorToRGB(from), b = ColorToRGB(to);
  const int ra = GetRValue(a), ga = GetGValue(a), ba = GetBValue(a);
  const int dr = GetRValue(b) - ra, dg = GetGValue(b) - ga, db = GetBValue(b) - ba;
  const double band = (horizontal ? rect.right - rect.left : rect.bottom - rect.top) / static_cast<double>(n);
  for (int32_t i = 0; i < n; ++i) {
    const auto step = [&](int d) { return static_cast<int>(std::nearbyint(static_cast<double>(i) * d / n)); };
    const TColor c = static_cast<TColor>(RGB(ra + step(dr), ga + step(dg), ba + step(db)));
    canvas->Pen()->SetColor(c);
    canvas->Brush()->SetColor(c);
    const int offset = static_cast<uint16_t>(std::nearbyint(i * band));
    const int size = static_cast<int>(std::nearbyint(band)) + 1;
    if (horizontal) canvas->Rectangle(rect.left + offset, rect.top, rect.left + offset + size, rect.bottom);
    else canvas->Rectangle(rect.left, rect.top + offset, rect.right, rect.top + offset + size);
  }
}

const TClassInfo& TShortCutHintWindow::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TShortCutHintWindow>(
      "TShortCutHintWindow", &THintWindow::StaticClassInfo(), [](TPublished<TShortCutHintWindow>& p) {
        p.Integer("Color", &TShortCutHintWindow::Color, &TShortCutHintWindow::SetColor)
            .Integer("ColorTo", &TShortCutHintWindow::ColorTo, &TShortCutHintWindow::SetColorTo);
      });
  return info;
}

TShortCutHintWindow::TShortCutHintWindow(TComponent* owner) : THintWindow(owner) {}

void TShortCutHintWindow::CreateParams(TCreateParams& params) {
  THintWindow::CreateParams(params);
  params.Style &= ~WS_BORDER;
}

void TShortCutHintWindow::WndProc(TMessage& m) {
  if (m.Msg == WM_ERASEBKGND) {
    m.Result = 1;
    return;
  }
  THintWindow::WndProc(m);
}

void TShortCutHintWindow::Paint() {
  TCanvas* c = Canvas();
  const RECT r = ClientRect();
  DrawHintGradient(c, color_, colorTo_, 16, r, false);
  c->Brush()->SetStyle(bsClear);
  c->SetFont(Font());
  c->Font()->SetColor(clInfoText);
  RECT textRect = r;
  std::string text = Caption();
  c->TextRect(textRect, text, TTextFormat{tfSingleLine, tfVerticalCenter, tfCenter});
  c->Pen()->SetColor(static_cast<TColor>(0x808080));
  c->RoundRect(r.left, r.top, r.right, r.bottom, 3, 3);
}

void TShortCutHintWindow::Resize() {
  THintWindow::Resize();
  Canvas()->SetFont(Font());
  const int32_t least = Canvas()->TextWidth("O") + 8;
  if (Width() < least) SetWidth(least);
}
