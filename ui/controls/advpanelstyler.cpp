#include "ui/controls/advpanelstyler.h"

#include "platform/forms/properties.h"

// ---- settings ----

const TClassInfo& TAdvPanelSettings::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvPanelSettings>(
      "TAdvPanelSettings", &TPersistent::StaticClassInfo(), [](TPublished<TAdvPanelSettings>& p) {
        using S = TAdvPanelSettings;
        p.Object("Caption", &S::Caption).Object("StatusBar", &S::StatusBar).Object("Font", &S::Font);
      });
  return info;
}

TAdvPanelSettings::TAdvPanelSettings()
    : caption_(new TPanelCaption()), statusBar_(new TPanelStatusBar()), font_(new TFont()) {
  caption_->OnChange = [this](TObject*) { Changed(); };
}

void TAdvPanelSettings::EndUpdate() {
  if (updateCount_ == 0) return;
  if (--updateCount_ == 0) Changed();
}

void TAdvPanelSettings::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TAdvPanelSettings*>(source);
  if (!s) return;
  BeginUpdate();
  anchorHint_ = s->anchorHint_;
  autoHideChildren_ = s->autoHideChildren_;
  bevelInner_ = s->bevelInner_;
  bevelOuter_ = s->bevelOuter_;
  bevelWidth_ = s->bevelWidth_;
  borderColor_ = s->borderColor_;
  borderShadow_ = s->borderShadow_;
  borderStyle_ = s->borderStyle_;
  borderWidth_ = s->borderWidth_;
  canMove_ = s->canMove_;
  canSize_ = s->canSize_;
  caption_->Assign(s->caption_.get());
  collaps_ = s->collaps_;
  collapsColor_ = s->collapsColor_;
  collapsDelay_ = s->collapsDelay_;
  collapsSteps_ = s->collapsSteps_;
  color_ = s->color_;
  colorTo_ = s->colorTo_;
  colorMirror_ = s->colorMirror_;
  colorMirrorTo_ = s->colorMirrorTo_;
  cursor_ = s->cursor_;
  font_->Assign(s->font_.get());
  height_ = s->height_;
  width_ = s->width_;
  hint_ = s->hint_;
  hover_ = s->hover_;
  hoverColor_ = s->hoverColor_;
  hoverFontColor_ = s->hoverFontColor_;
  indent_ = s->indent_;
  topIndent_ = s->topIndent_;
  shadowColor_ = s->shadowColor_;
  shadowOffset_ = s->shadowOffset_;
  showHint_ = s->showHint_;
  showMoveCursor_ = s->showMoveCursor_;
  statusBar_->Assign(s->statusBar_.get());
  statusBar_->SetVisible(s->statusBar_->Visible());
  statusBar_->SetHeight(s->statusBar_->Height());
  statusBar_->SetBevelInner(s->statusBar_->BevelInner());
  text_ = s->text_;
  textVAlign_ = s->textVAlign_;
  urlColor_ = s->urlColor_;
  EndUpdate();
}

// ---- styles ----

namespace {

constexpr TColor kKeep = static_cast<TColor>(0x7EEEEEEE);  // the style leaves the value as it is

struct BodyValues {
  TColor color, colorTo, mirror, mirrorTo, fontColor;
  TBevelCut bevelOuter;
  TColor borderColor;
  bool borderShadow;
  TColor collapsColor;
};
struct CaptionValues {
  TColor color, colorTo, fontColor;
  TGradientDirection direction;
  TShadeType shade;
  int32_t height, indent;  // 0: unchanged
  int8_t visible;          // -1: unchanged
};
struct StatusValues {
  TColor color, colorTo, borderColor;
  TBorderStyle borderStyle;
  bool bevelInner;
  int8_t vertical;  // 1: gdVertical, -1: unchanged
  TColor fontColor;
};
struct StyleValues {
  BodyValues body;
  CaptionValues caption;
  StatusValues status;
};

// In the order of TAdvPanelStyle (psCustom writes nothing).
const StyleValues kStyles[] = {
    {{clWhite, 0xE3F0F2, clNone, clNone, kKeep, bvNone, clGray, true, clBtnFace},
     {clHighlight, clBlue, clHighlightText, gdHorizontal, stNormal, 20, 2, -1},
     {0xE3F0F2, clWhite, clSilver, bsSingle, false, -1, clBlack}},
    {{clBtnFace, clNone, clNone, clNone, clWindowText, bvNone, clGray, false, clBtnFace},
     {clHighlight, clNone, clHighlightText, gdHorizontal, stNormal, 20, 0, -1},
     {clBtnFace, clNone, clSilver, bsSingle, false, -1, clBlack}},
    {{clWhite, 0xE4E4E4, clNone, clNone, clWindowText, bvNone, clGray, true, clBtnFace},
     {clWhite, clNone, clBlack, gdHorizontal, stRMetal, 20, 4, 1},
     {0xDEDEDE, 0xA9A9A9, clWhite, bsSingle, false, -1, clBlack}},
    {{clBtnFace, clNone, clNone, clNone, clWindowText, bvRaised, clGray, false, clBtnFace},
     {clWhite, clNone, clBlack, gdHorizontal, stNormal, 0, 0, 0},
     {clBtnFace, clNone, clNone, bsNone, true, -1, clBlack}},
    {{0xFDEADA, 0xE4AE88, clNone, clNone, clWindowText, bvNone, clGray, false, clNone},
     {0xD68759, 0x933803, clWhite, gdVertical, stNormal, 0, 0, -1},
     {0xE08F65, 0xF9DBC4, clNone, bsSingle, false, -1, clWhite}},
    {{0xCFF0EA, 0x8CC0B1, clNone, clNone, clWindowText, bvNone, clGray, false, clNone},
     {0xC6EFE7, 0x94BDB5, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0x80B0A1, 0xD3E4E3, clNone, bsSingle, false, -1, clBlack}},
    {{0xECE2E1, 0xB39698, clNone, clNone, clWindowText, bvNone, clGray, false, clNone},
     {0xEFE7E7, 0xAA8888, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0xBFA8A9, 0xDECFCF, clNone, bsSingle, false, -1, clBlack}},
    {{clWhite, 0xC9D1D5, clNone, clNone, kKeep, bvNone, clGray, true, clBtnFace},
     {clHighlight, clBlue, clHighlightText, gdHorizontal, stNormal, 20, 2, -1},
     {0xE3F0F2, clWhite, clSilver, bsSingle, false, -1, clBlack}},
    {{0xFAF1E9, 0xEDD8C7, 0xEDD8C7, 0xFFF2E7, 0x723708, bvNone, 0xFFD2AF, false, clNone},
     {0xFFEFE3, 0xFFD2AF, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0xF7E3D3, 0xF5D0B3, 0xFFD2AF, bsSingle, false, 1, 0x723708}},
    {{0xCFC6C1, 0xC5BBB4, 0xC5BBB4, 0xECECE5, 0x723708, bvNone, 0xFFD2AF, false, clNone},
     {0xB8B8B6, 0xA0A09E, clWhite, gdVertical, stNormal, 0, 0, -1},
     {0xA19F9E, 0x534D4B, clBlack, bsSingle, false, 1, clWhite}},
    {{clWhite, 0xE3F0F2, clNone, clNone, kKeep, bvNone, clGray, true, clBtnFace},
     {0xF3F7F8, 0xACC3C3, clBlack, gdVertical, stNormal, 20, 2, -1},
     {0xE3F0F2, clWhite, clSilver, bsSingle, false, -1, clBlack}},
    {{clBtnFace, clNone, clNone, clNone, clWindowText, bvRaised, clGray, false, clBtnFace},
     {clWhite, clNone, clHighlightText, gdHorizontal, stNormal, 0, 0, 0},
     {clBtnFace, clNone, clNone, bsNone, true, -1, clBlack}},
    {},  // psCustom
    {{0xF9F5F3, 0xE7DCD5, 0xE7DCD5, 0xFBFAF0, 0x723708, bvNone, 0xFFD2AF, false, clNone},
     {0xF8F7F6, 0xE8E0DB, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0xFAEEEB, 0xE5DBD7, clBlack, bsSingle, false, 1, 0x723708}},
    {{0xFDF8F1, 0xFCEFD5, clNone, clNone, 0x723708, bvNone, 0xFDDE99, false, clNone},
     {0xFDF8F1, 0xFCEFD5, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0xFDF8F1, 0xFCEFD5, 0xFDDE99, bsSingle, false, 1, 0x723708}},
    {{0xFDFBFA, 0xFDF3EB, clNone, clNone, 0x723708, bvNone, 0xFFD2AF, false, clNone},
     {0xFCEBDC, 0xFCDBC1, clBlack, gdVertical, stNormal, 0, 0, -1},
     {0xFCEBDC, 0xFCDBC1, 0xCEA27D, bsSingle, false, 1, 0x723708}},
    {{clBtnFace, clNone, clNone, clNone, clBlack, bvNone, clGray, false, clHighlight},
     {clSilver, clNone, clBlack, gdVertical, stNormal, 0, 0, -1},
     {clSilver, clNone, clBlack, bsSingle, false, 1, clBlack}},
};

void WriteStyle(TAdvPanelSettings& s, const StyleValues& v) {
  s.SetBevelInner(bvNone);
  s.SetBorderStyle(bsNone);
  s.SetColor(v.body.color);
  s.SetColorTo(v.body.colorTo);
  s.SetColorMirror(v.body.mirror);
  s.SetColorMirrorTo(v.body.mirrorTo);
  if (v.body.fontColor != kKeep) s.Font()->SetColor(v.body.fontColor);
  s.SetBevelOuter(v.body.bevelOuter);
  s.SetBorderColor(v.body.borderColor);
  s.SetBorderShadow(v.body.borderShadow);
  s.SetCollapsColor(v.body.collapsColor);
  TPanelCaption* c = s.Caption();
  c->SetColor(v.caption.color);
  c->SetColorTo(v.caption.colorTo);
  c->Font()->SetColor(v.caption.fontColor);
  c->SetGradientDirection(v.caption.direction);
  c->SetShadeType(v.caption.shade);
  c->SetShadeGrain(32);
  c->SetShadeLight(255);
  if (v.caption.height) c->SetHeight(v.caption.height);
  if (v.caption.height) c->SetIndent(v.caption.indent);
  if (v.caption.visible >= 0) c->SetVisible(v.caption.visible == 1);
  TPanelStatusBar* b = s.StatusBar();
  b->SetColor(v.status.color);
  b->SetColorTo(v.status.colorTo);
  b->SetBorderColor(v.status.borderColor);
  b->SetBorderStyle(v.status.borderStyle);
  b->SetBevelInner(v.status.bevelInner);
  if (v.status.vertical == 1) b->SetGradientDirection(gdVertical);
  b->Font()->SetColor(v.status.fontColor);
}

}  // namespace

// ---- styler ----

const TClassInfo& TAdvPanelStyler::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvPanelStyler>(
      "TAdvPanelStyler", &TComponent::StaticClassInfo(), [](TPublished<TAdvPanelStyler>& p) {
        p.Object("Settings", &TAdvPanelStyler::Settings)
            .String("Comments", &TAdvPanelStyler::Comments, &TAdvPanelStyler::SetComments)
            .Boolean("AutoThemeAdapt", &TAdvPanelStyler::AutoThemeAdapt, &TAdvPanelStyler::SetAutoThemeAdapt);
      });
  return info;
}

TAdvPanelStyler::TAdvPanelStyler(TComponent* owner) : TComponent(owner), settings_(new TAdvPanelSettings()) {
  settings_->OnChange = [this](TObject*) { ApplyToPanels(); };
  SetStyle(psXP);
}

TAdvPanelStyler::~TAdvPanelStyler() = default;

void TAdvPanelStyler::SetStyle(TAdvPanelStyle style) {
  style_ = style;
  settings_->BeginUpdate();
  if (style != psCustom) WriteStyle(*settings_, kStyles[style]);
  settings_->EndUpdate();
}

void TAdvPanelStyler::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TAdvPanelStyler*>(source);
  if (!s) return;
  autoThemeAdapt_ = s->autoThemeAdapt_;
  settings_->Assign(s->settings_.get());
  comments_ = s->comments_;
  SetStyle(s->style_);
}

void TAdvPanelStyler::Loaded() {
  TComponent::Loaded();
  // Without a visual-style library the colour scheme is the classic one.
  if (autoThemeAdapt_ && !ComponentState().Contains(csDesigning)) SetStyle(psOffice2003Classic);
  ApplyToPanels();
}

void TAdvPanelStyler::ApplyStylePreset(int32_t index) {
  static const TAdvPanelStyle kByIndex[] = {psOffice2003Blue,  psOffice2003Silver,   psOffice2003Olive,
                                            psOffice2003Classic, psOffice2007Luna, psOffice2007Obsidian,
                                            psWindowsXP,       psWhidbey,            psCustom,
                                            psOffice2007Silver, psWindowsVista,      psWindows7,
                                            psTerminal};
  int32_t i = index & 0x7F;
  if (i > 12 || i == 8) return;
  SetStyle(kByIndex[i]);
}

void TAdvPanelStyler::ApplyToPanels() {
  TComponent* owner = Owner();
  if (!owner || owner->ComponentState().Contains(csLoading)) return;
  for (int32_t i = 0; i < owner->ComponentCount(); ++i)
    if (auto* panel = dynamic_cast<TCustomAdvPanel*>(owner->Components(i)); panel && panel->Styler() == this)
      panel->ApplySettings(settings_.get());
}

// ---- the panel's side ----

void TCustomAdvPanel::SetStyler(TAdvPanelStyler* styler) {
  styler_ = styler;
  if (styler) styler->FreeNotification(this);
  if (styler && !ComponentState().Contains(csLoading)) ApplySettings(styler->Settings());
}

void TCustomAdvPanel::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    if (component == styler_) styler_ = nullptr;
    if (component == images_) images_ = nullptr;
    if (component == pictureContainer_) pictureContainer_ = nullptr;
  }
  TCustomPanel::Notification(component, operation);
}

void TCustomAdvPanel::ApplySettings(TAdvPanelSettings* s) {
  SetBevelInner(s->BevelInner());
  SetBevelOuter(s->BevelOuter());
  SetBevelWidth(s->BevelWidth());
  borderColor_ = s->BorderColor();
  borderShadow_ = s->BorderShadow();
  SetBorderStyle(s->BorderStyle());
  SetBorderWidth(s->BorderWidth());
  canMove_ = s->CanMove();
  canSize_ = s->CanSize();
  bool close = caption_->CloseButton(), minMax = caption_->MinMaxButton();
  caption_->Assign(s->Caption());
  caption_->SetVisible(s->Caption()->Visible());
  caption_->SetCloseButton(close);
  caption_->SetMinMaxButton(minMax);
  collapsColor_ = s->CollapsColor();
  collapsDelay_ = s->CollapsDelay();
  collapsSteps_ = s->CollapsSteps();
  autoHideChildren_ = s->AutoHideChildren();
  SetColor(s->Color());
  colorTo_ = s->ColorTo();
  colorMirror_ = s->ColorMirror();
  colorMirrorTo_ = s->ColorMirrorTo();
  SetCursor(s->Cursor());
  Font()->Assign(s->Font());
  hover_ = s->Hover();
  hoverColor_ = s->HoverColor();
  hoverFontColor_ = s->HoverFontColor();
  indent_ = s->Indent();
  shadowColor_ = s->ShadowColor();
  shadowOffset_ = s->ShadowOffset();
  SetShowHint(s->ShowHint());
  statusBar_->Assign(s->StatusBar());
  textVAlign_ = s->TextVAlign();
  topIndent_ = s->TopIndent();
  urlColor_ = s->URLColor();
  Invalidate();
}
