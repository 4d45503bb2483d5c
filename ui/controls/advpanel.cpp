// The captioned panel's settings objects, construction and painting.
#include "ui/controls/advpanel.h"

#include <algorithm>
#include <cmath>

#include "platform/forms/properties.h"
#include "platform/win/gdi.h"
#include "ui/controls/advpanelstyler.h"
#include "ui/render/gdippicturecontainer.h"

TColor BlendColor(TColor color1, TColor color2, int32_t percent) {
  if (percent == 100) return color1;
  COLORREF a = ColorToRGB(color1), b = ColorToRGB(color2);
  double p = percent / 100.0;
  auto mix = [&](int shift) {
    return static_cast<int>(std::nearbyint(p * ((a >> shift) & 0xFF) + (1 - p) * ((b >> shift) & 0xFF)));
  };
  return static_cast<TColor>(mix(0) | (mix(8) << 8) | (mix(16) << 16));
}

void DrawBandedGradient(TCanvas* canvas, TColor from, TColor to, bool horizontal, const RECT& r, int32_t bands) {
  MarkupGradientRect(canvas, from, to, std::clamp(bands, 1, 32), r, horizontal);
}

const TEnumNames& GradientDirectionNames() {
  static const TEnumNames names{"gdVertical", "gdHorizontal"};
  return names;
}

// ---- caption bar ----

const TClassInfo& TPanelCaption::StaticClassInfo() {
  static const TEnumNames kPositions = {"cpTop", "cpLeft"};
  static const TClassInfo info =
      PublishClass<TPanelCaption>("TPanelCaption", &TPersistent::StaticClassInfo(), [](TPublished<TPanelCaption>& p) {
        using C = TPanelCaption;
        const TIntegerIdents* colors = &ColorIdents();
        p.Boolean("Visible", &C::Visible, &C::SetVisible)
            .Integer("Height", &C::Height, &C::SetHeight)
            .Integer("Color", &C::Color, &C::SetColor, colors)
            .Integer("ColorTo", &C::ColorTo, &C::SetColorTo, colors)
            .Integer("CloseColor", &C::CloseColor, &C::SetCloseColor, colors)
            .Boolean("CloseButton", &C::CloseButton, &C::SetCloseButton)
            .Boolean("MinMaxButton", &C::MinMaxButton, &C::SetMinMaxButton)
            .String("Text", &C::Text, &C::SetText)
            .Object("Font", &C::Font)
            .Integer("ShadeLight", &C::ShadeLight, &C::SetShadeLight)
            .Integer("ShadeGrain", &C::ShadeGrain, &C::SetShadeGrain)
            .Integer("Indent", &C::Indent, &C::SetIndent)
            .Integer("TopIndent", &C::TopIndent, &C::SetTopIndent)
            .Enumeration("GradientDirection", GradientDirectionNames(), &C::GradientDirection,
                         &C::SetGradientDirection)
            .Enumeration("Position", kPositions, &C::Position, &C::SetPosition);
      });
  return info;
}

TPanelCaption::TPanelCaption()
    : font_(new TFont()), background_(new TBitmap()), closeMinGlyph_(new TBitmap()), closeMaxGlyph_(new TBitmap()),
      maxGlyph_(new TBitmap()), minGlyph_(new TBitmap()) {
  font_->SetName("Tahoma");
  font_->SetColor(clHighlightText);
  font_->OnChange = [this](TObject*) { Changed(); };
}

void TPanelCaption::Scale(int32_t m, int32_t d) {
  height_ = MulDiv(height_, m, d);
  const TNotifyEvent changed = font_->OnChange;
  font_->OnChange = nullptr;
  font_->SetSize(MulDiv(font_->Size(), m, d));
  font_->OnChange = changed;
}

void TPanelCaption::SetVisible(bool visible) {
  visible_ = visible;
  Changed();
  if (OnStateChange) OnStateChange(this);
}

void TPanelCaption::SetPosition(TCaptionPosition position) {
  if (position == position_) return;
  position_ = position;
  if (OnPositionChange) OnPositionChange(this);
}

void TPanelCaption::SetBackground(const TBitmap* bitmap) {
  background_->Assign(bitmap);
  ShadeAndChange();
}

void TPanelCaption::SetCloseMinGlyph(const TBitmap* bitmap) {
  closeMinGlyph_->Assign(bitmap);
  Changed();
}

void TPanelCaption::SetCloseMaxGlyph(const TBitmap* bitmap) {
  closeMaxGlyph_->Assign(bitmap);
  Changed();
}

void TPanelCaption::SetShadeLight(int32_t light) {
  shadeLight_ = std::max(light, 200);
  ShadeAndChange();
}

void TPanelCaption::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TPanelCaption*>(source);
  if (!s) {
    TPersistent::Assign(source);
    return;
  }
  SetBackground(s->background_.get());
  buttonPosition_ = s->buttonPosition_;
  SetColor(s->color_);
  SetColorTo(s->colorTo_);
  SetCloseColor(s->closeColor_);
  SetCloseButton(s->closeButton_);
  SetCloseButtonColor(s->closeButtonColor_);
  closeButtonHoverColor_ = s->closeButtonHoverColor_;
  closeMinGlyph_->Assign(s->closeMinGlyph_.get());
  closeMaxGlyph_->Assign(s->closeMaxGlyph_.get());
  SetFlat(s->flat_);
  font_->Assign(s->font_.get());
  SetHeight(s->height_);
  SetIndent(s->indent_);
  maxGlyph_->Assign(s->maxGlyph_.get());
  minGlyph_->Assign(s->minGlyph_.get());
  SetMinMaxButton(s->minMaxButton_);
  SetMinMaxButtonColor(s->minMaxButtonColor_);
  minMaxButtonHoverColor_ = s->minMaxButtonHoverColor_;
  SetShadeLight(s->shadeLight_);
  SetShadeGrain(s->shadeGrain_);
  SetShadeType(s->shadeType_);
  SetShape(s->shape_);
  SetGradientDirection(s->gradientDirection_);
  shadeSeed_ = s->shadeSeed_;
}

// ---- status bar ----

const TClassInfo& TPanelStatusBar::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPanelStatusBar>(
      "TPanelStatusBar", &TPersistent::StaticClassInfo(), [](TPublished<TPanelStatusBar>& p) {
        using S = TPanelStatusBar;
        static const TEnumNames borders{"bsNone", "bsSingle"};
        const TIntegerIdents* colors = &ColorIdents();
        p.Boolean("BevelInner", &S::BevelInner, &S::SetBevelInner)
            .Integer("BorderColor", &S::BorderColor, &S::SetBorderColor, colors)
            .Enumeration("BorderStyle", borders, &S::BorderStyle, &S::SetBorderStyle)
            .Integer("Color", &S::Color, &S::SetColor, colors)
            .Integer("ColorTo", &S::ColorTo, &S::SetColorTo, colors)
            .Object("Font", &S::Font)
            .Enumeration("GradientDirection", GradientDirectionNames(), &S::GradientDirection,
                         &S::SetGradientDirection)
            .Integer("Height", &S::Height, &S::SetHeight)
            .Integer("ImageIndex", &S::ImageIndex, &S::SetImageIndex)
            .String("Text", &S::Text, &S::SetText)
            .Boolean("Visible", &S::Visible, &S::SetVisible);
      });
  return info;
}

TPanelStatusBar::TPanelStatusBar() : font_(new TFont()) {
  font_->SetName("Tahoma");
  font_->OnChange = [this](TObject*) { Changed(); };
}

void TPanelStatusBar::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TPanelStatusBar*>(source);
  if (!s) return;
  SetColor(s->color_);
  SetColorTo(s->colorTo_);
  SetGradientDirection(s->gradientDirection_);
  SetBorderStyle(s->borderStyle_);
  SetBorderColor(s->borderColor_);
  font_->Assign(s->font_.get());
}

// ---- auto size ----

const TClassInfo& TAutoSize::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAutoSize>("TAutoSize", &TPersistent::StaticClassInfo(), [](TPublished<TAutoSize>& p) {
        p.Boolean("Enabled", &TAutoSize::Enabled, &TAutoSize::SetEnabled)
            .Boolean("Height", &TAutoSize::Height, &TAutoSize::SetHeight)
            .Boolean("Width", &TAutoSize::Width, &TAutoSize::SetWidth);
      });
  return info;
}

void TAutoSize::SetEnabled(bool v) {
  enabled_ = v;
  if (v && OnEnable) OnEnable(this);
}

void TAutoSize::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TAutoSize*>(source);
  if (!s) return;
  SetEnabled(s->enabled_);
  height_ = s->height_;
  width_ = s->width_;
}

// ---- position ----

const TClassInfo& TPanelPosition::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPanelPosition>(
      "TPanelPosition", &TPersistent::StaticClassInfo(), [](TPublished<TPanelPosition>& p) {
        static const TEnumNames locations{"clRegistry", "clInifile"};
        p.Boolean("Save", &TPanelPosition::Save, &TPanelPosition::SetSave)
            .String("Key", &TPanelPosition::Key, &TPanelPosition::SetKey)
            .String("Section", &TPanelPosition::Section, &TPanelPosition::SetSection)
            .Enumeration("Location", locations, &TPanelPosition::Location, &TPanelPosition::SetLocation);
      });
  return info;
}

void TPanelPosition::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TPanelPosition*>(source);
  if (!s) return;
  key_ = s->key_;
  section_ = s->section_;
  save_ = s->save_;
  location_ = s->location_;
}

// ---- panel ----

const TClassInfo& TCustomAdvPanel::StaticClassInfo() {
  static const TEnumNames kPositions = {"bpTopLeft",    "bpTopRight",  "bpBottomLeft", "bpBottomRight",
                                        "bpTiled",      "bpStretched", "bpCenter"};
  static const TEnumNames kVAligns = {"tvaTop", "tvaCenter", "tvaBottom"};
  static const TClassInfo info = PublishClass<TCustomAdvPanel>(
      "TCustomAdvPanel", &TCustomPanel::StaticClassInfo(), [](TPublished<TCustomAdvPanel>& p) {
        using P = TCustomAdvPanel;
        const TIntegerIdents* colors = &ColorIdents();
        p.Object("Caption", &P::Caption)
            .Object("AutoSize", &P::AutoSize)
            .Boolean("AnchorHint", &P::AnchorHint, &P::SetAnchorHint)
            .Enumeration("BackgroundPosition", kPositions, &P::BackgroundPosition, &P::SetBackgroundPosition)
            .Boolean("ShowMoveCursor", &P::ShowMoveCursor, &P::SetShowMoveCursor)
            .Boolean("FixedLeft", &P::FixedLeft, &P::SetFixedLeft)
            .Boolean("FixedTop", &P::FixedTop, &P::SetFixedTop)
            .Boolean("FixedWidth", &P::FixedWidth, &P::SetFixedWidth)
            .Boolean("FixedHeight", &P::FixedHeight, &P::SetFixedHeight)
            .Object("StatusBar", &P::StatusBar)
            .Object("Position", &P::Position)
            .Object("Background", &P::Background)
            .String("Text", &P::PanelText, &P::SetPanelText)
            .Integer("ColorTo", &P::ColorTo, &P::SetColorTo, colors)
            .Integer("ColorMirror", &P::ColorMirror, &P::SetColorMirror, colors)
            .Integer("ColorMirrorTo", &P::ColorMirrorTo, &P::SetColorMirrorTo, colors)
            .Integer("BorderColor", &P::BorderColor, &P::SetBorderColor, colors)
            .Boolean("BorderShadow", &P::BorderShadow, &P::SetBorderShadow)
            .Boolean("CanMove", &P::CanMove, &P::SetCanMove)
            .Boolean("CanSize", &P::CanSize, &P::SetCanSize)
            .Boolean("Collaps", &P::Collaps, &P::SetCollaps)
            .Integer("CollapsSteps", &P::CollapsSteps, &P::SetCollapsSteps)
            .Integer("CollapsDelay", &P::CollapsDelay, &P::SetCollapsDelay)
            .Boolean("FreeOnClose", &P::FreeOnClose, &P::SetFreeOnClose)
            .Boolean("Hover", &P::Hover, &P::SetHover)
            .Boolean("AutoHideChildren", &P::AutoHideChildren, &P::SetAutoHideChildren)
            .Boolean("Buffered", &P::Buffered, &P::SetBuffered)
            .Integer("CollapsColor", &P::CollapsColor, &P::SetCollapsColor, colors)
            .Boolean("Ellipsis", &P::Ellipsis, &P::SetEllipsis)
            .Enumeration("GradientDirection", GradientDirectionNames(), &P::GradientDirection, &P::SetGradientDirection)
            .Integer("HoverColor", &P::HoverColor, &P::SetHoverColor, colors)
            .Integer("HoverFontColor", &P::HoverFontColor, &P::SetHoverFontColor, colors)
            .Reference<TCustomImageList>("Images", &P::Images, &P::SetImages)
            .Integer("Indent", &P::Indent, &P::SetIndent)
            .Integer("LineSpacing", &P::LineSpacing, &P::SetLineSpacing)
            .Reference<TPictureContainer>("PictureContainer", &P::PictureContainer, &P::SetPictureContainer)
            .Integer("ShadowColor", &P::ShadowColor, &P::SetShadowColor, colors)
            .Integer("ShadowOffset", &P::ShadowOffset, &P::SetShadowOffset)
            .Reference<TAdvPanelStyler>("Styler", &P::Styler, &P::SetStyler)
            .Enumeration("TextVAlign", kVAligns, &P::TextVAlign, &P::SetTextVAlign)
            .Integer("TopIndent", &P::TopIndent, &P::SetTopIndent)
            .Integer("URLColor", &P::URLColor, &P::SetURLColor, colors)
            // Stored with the form besides the published properties: the expanded extent.
            .Integer("FullHeight", &P::FullHeight, &P::SetFullHeight)
            .String("Version", &P::Version, &P::SetVersion)
            .Event("OnCaptionClick", &P::OnCaptionClick)
            .Event("OnCaptionDBlClick", &P::OnCaptionDBlClick)
            .Event("OnClose", &P::OnClose)
            .Event("OnMinimize", &P::OnMinimize)
            .Event("OnMaximize", &P::OnMaximize)
            .Event("OnEndMoveSize", &P::OnEndMoveSize)
            .Event("OnEndCollapsExpand", &P::OnEndCollapsExpand)
            .Event("OnAnchorClick", &P::OnAnchorClick)
            .Event("OnAnchorEnter", &P::OnAnchorEnter)
            .Event("OnAnchorExit", &P::OnAnchorExit)
            .Event("OnAnchorHint", &P::OnAnchorHint)
            .Event("OnPaint", &P::OnPaint);
      });
  return info;
}

const TClassInfo& TAdvPanel::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvPanel>("TAdvPanel", &TCustomAdvPanel::StaticClassInfo());
  return info;
}

TCustomAdvPanel::TCustomAdvPanel(TComponent* owner)
    : TCustomPanel(owner), caption_(new TPanelCaption()), statusBar_(new TPanelStatusBar()),
      position_(new TPanelPosition()), autoSize_(new TAutoSize()), background_(new TAdvImage()), headerBitmap_(new TBitmap()),
      pictureCache_(new THTMLPictureCache()) {
  SetShowCaption(false);
  SetBevelOuter(bvRaised);
  background_->OnChange = [this](TObject*) { Invalidate(); };
  caption_->OnChange = [this](TObject*) {
    if (ControlCount() > 0) Realign();
    Invalidate();
  };
  caption_->OnShadeChange = [this](TObject*) { BuildShadedHeader(); };
  caption_->OnStateChange = [this](TObject*) { StateChanged(); };
  caption_->OnPositionChange = [this](TObject*) {
    Realign();
    DoAutoSize();
    BuildShadedHeader();
    Invalidate();
  };
  autoSize_->OnEnable = [this](TObject*) { DoAutoSize(); };
  statusBar_->OnChange = [this](TObject*) {
    if (ControlCount() > 0) Realign();
    Invalidate();
  };
  SetDoubleBuffered(true);
  savedColor_ = Color();
  fullHeight_ = Height();
}

TCustomAdvPanel::~TCustomAdvPanel() {
  if (auto* group = dynamic_cast<TCustomAdvPanel*>(Parent())) group->ChildPanelChanged(this, true);
}

std::string TCustomAdvPanel::Version() const { return VersionString(GetVersionNumber()); }

void TCustomAdvPanel::SetPanelText(const std::string& text) {
  text_ = text;
  pictureCache_->FreeAll();
  Invalidate();
  DoAutoSize();
}

void TCustomAdvPanel::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TCustomAdvPanel*>(source);
  if (!s) {
    TCustomPanel::Assign(source);
    return;
  }
  anchorHint_ = s->anchorHint_;
  autoHideChildren_ = s->autoHideChildren_;
  background_->Assign(s->background_.get());
  backgroundPosition_ = s->backgroundPosition_;
  SetBevelInner(s->BevelInner());
  SetBevelOuter(s->BevelOuter());
  SetBevelWidth(s->BevelWidth());
  borderColor_ = s->borderColor_;
  borderShadow_ = s->borderShadow_;
  SetBorderStyle(s->BorderStyle());
  canMove_ = s->canMove_;
  canSize_ = s->canSize_;
  caption_->Assign(s->caption_.get());
  collapsColor_ = s->collapsColor_;
  collapsDelay_ = s->collapsDelay_;
  collapsSteps_ = s->collapsSteps_;
  SetColor(s->Color());
  colorTo_ = s->colorTo_;
  colorMirror_ = s->colorMirror_;
  colorMirrorTo_ = s->colorMirrorTo_;
  SetCursor(s->Cursor());
  SetEnabled(s->Enabled());
  Font()->Assign(s->Font());
  fixedTop_ = s->fixedTop_;
  fixedLeft_ = s->fixedLeft_;
  fixedHeight_ = s->fixedHeight_;
  fixedWidth_ = s->fixedWidth_;
  freeOnClose_ = s->freeOnClose_;
  SetBounds(Left(), Top(), Width(), s->Height());
  SetHint(s->Hint());
  hover_ = s->hover_;
  hoverColor_ = s->hoverColor_;
  hoverFontColor_ = s->hoverFontColor_;
  images_ = s->images_;
  SetParentColor(s->ParentColor());
  SetParentFont(s->ParentFont());
  SetParentShowHint(s->ParentShowHint());
  pictureContainer_ = s->pictureContainer_;
  SetPopupMenu(s->PopupMenu());
  position_->Assign(s->position_.get());
  statusBar_->Assign(s->statusBar_.get());
  shadowColor_ = s->shadowColor_;
  shadowOffset_ = s->shadowOffset_;
  SetShowHint(s->ShowHint());
  showMoveCursor_ = s->showMoveCursor_;
  SetTabStop(s->TabStop());
  SetTag(s->Tag());
  text_ = s->text_;
  textVAlign_ = s->textVAlign_;
  urlColor_ = s->urlColor_;
  SetVisible(s->Visible());
  Invalidate();
}

void TCustomAdvPanel::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  bool resized = width != Width() || (LeftCaption() && height != Height());
  TCustomPanel::SetBounds(left, top, width, height);
  if (!collaps_ && !collapsing_) fullHeight_ = Extent();
  if (resized || (!LeftCaption() && headerBitmap_->Width() != Width())) BuildShadedHeader();
  Invalidate();
}

TMarkupArgs TCustomAdvPanel::TextArgs() const {
  return TMarkupLook{.Images = images_,
                     .HoverLink = hoverLinkIndex_,
                     .ShadowOffset = shadowOffset_,
                     .Hover = hover_,
                     .WordWrap = !ellipsis_,
                     .URLColor = urlColor_,
                     .HoverColor = hoverColor_,
                     .HoverFontColor = hoverFontColor_,
                     .ShadowColor = shadowColor_,
                     .PictureCache = pictureCache_.get(),
                     .PictureContainer = pictureContainer_,
                     .LineSpacing = lineSpacing_}
      .Args();
}

RECT TCustomAdvPanel::BodyTextRect() const {
  RECT r = ClientRect();
  if (BevelInner() != bvNone || BevelOuter() != bvNone) InflateRect(&r, -BevelWidth(), -BevelWidth());
  if (borderShadow_) {
    r.right -= 2;
    r.bottom -= 2;
  }
  InflateRect(&r, -BorderWidth() - 1, -BorderWidth() - 1);
  if (caption_->Visible()) (LeftCaption() ? r.left : r.top) += caption_->Height();
  r.left += indent_;
  r.top += topIndent_;
  if (statusBar_->Visible()) (LeftCaption() ? r.right : r.bottom) -= statusBar_->Height();
  return r;
}

void TCustomAdvPanel::PaintBody(TCanvas* c, RECT& r) {
  bool horizontal = gradientDirection_ == gdHorizontal;
  if (colorTo_ == clNone) {
    c->Pen()->SetColor(Color());
    c->Brush()->SetColor(Color());
    c->Brush()->SetStyle(bsSolid);
    c->FillRect(r);
  } else if (colorMirror_ == clNone) {
    DrawBandedGradient(c, Color(), colorTo_, horizontal, r, 64);
  } else {
    RECT first = r, second = r;
    if (horizontal) first.right = second.left = r.left + (r.right - r.left) / 2;
    else first.bottom = second.top = r.top + (r.bottom - r.top) / 2;
    DrawBandedGradient(c, Color(), colorTo_, horizontal, first, 32);
    DrawBandedGradient(c, colorMirror_, colorMirrorTo_, horizontal, second, 32);
  }
  if (borderColor_ != clNone && BorderWidth() != 0) {
    c->Brush()->SetStyle(bsClear);
    c->Pen()->SetColor(borderColor_);
    if (borderShadow_) {
      r.right -= 2;
      r.bottom -= 2;
    }
    c->Rectangle(r);
    if (borderShadow_) {
      c->Pen()->SetColor(BlendColor(borderColor_, clBtnFace, 50));
      c->Polyline({{r.right, r.top}, {r.right, r.bottom}, {r.left, r.bottom}});
      c->Pen()->SetColor(BlendColor(borderColor_, clBtnFace, 20));
      c->Polyline({{r.right + 1, r.top}, {r.right + 1, r.bottom + 1}, {r.left, r.bottom + 1}});
    }
    c->Brush()->SetStyle(bsSolid);
  }
  auto frame = [&](TBevelCut cut) {
    if (cut == bvNone) return;
    bool lowered = cut == bvLowered;
    Frame3D(c, r, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow, BevelWidth());
  };
  frame(BevelOuter());
  if (borderColor_ == clNone) {
    c->Pen()->SetColor(Color());
    c->Brush()->SetStyle(bsClear);
    c->Rectangle(r);
    c->Brush()->SetStyle(bsSolid);
    InflateRect(&r, -1, -1);
  }
  frame(BevelInner());
}

// The body's picture at its BackgroundPosition, clipped to the body below
// (or beside) the caption.
void TCustomAdvPanel::PaintBackground(TCanvas* c) {
  RECT r = ClientRect();
  if (caption_->Visible()) {
    if (LeftCaption()) r.left += caption_->Height() - 2 * BevelWidth() + 2;
    else r.top += caption_->Height() - 2 * BevelWidth();
  }
  if (borderShadow_) {
    r.right -= 2;
    r.bottom -= 3;
  }
  const int32_t w = background_->Width(), h = background_->Height();
  if (w <= 0 || h <= 0) return;
  const int32_t right = std::max<int32_t>(r.left, r.right - r.left - w - BevelWidth());
  const int32_t bottom = std::max<int32_t>(r.top, Height() - h - BevelWidth());
  HDC dc = c->Handle();
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, r.left, r.top, r.right, r.bottom);
  auto at = [&](int32_t x, int32_t y) { background_->Draw(c, RECT{x, y, x + w, y + h}); };
  switch (backgroundPosition_) {
    case bpTopLeft: at(r.left, r.top); break;
    case bpTopRight: at(right, r.top); break;
    case bpBottomLeft: at(r.left, bottom); break;
    case bpBottomRight: at(right, bottom); break;
    case bpTiled:
      for (int32_t y = r.top; y < Height(); y += h)
        for (int32_t x = r.left; x < Width(); x += w) at(x, y);
      break;
    case bpStretched: background_->Draw(c, r); break;
    case bpCenter: at(static_cast<int32_t>(static_cast<uint32_t>(right) >> 1), static_cast<int32_t>(static_cast<uint32_t>(bottom) >> 1)); break;
  }
  RestoreDC(dc, saved);
}

void TCustomAdvPanel::PaintText(TCanvas* c) {
  RECT r = BodyTextRect();
  c->Font()->Assign(Font());
  TMarkupArgs args = TextArgs();
  if (textVAlign_ != tvaTop) {
    TMarkupArgs measure = args;
    measure.CheckHotSpot = true;
    int32_t t = RenderMarkup(c, text_, r, measure).MeasuredHeight;
    if (t < r.bottom - r.top) r.top = textVAlign_ == tvaCenter ? r.top + (r.bottom - r.top - t) / 2 : r.bottom - t;
  }
  RenderMarkup(c, text_, r, args);
}

void TCustomAdvPanel::PaintStatusBar(TCanvas* c) {
  const bool left = LeftCaption();
  const int32_t sh = statusBar_->Height();
  // Along the bottom, or down the right edge beside a left caption.
  RECT s = left ? RECT{Width() - sh - 1, 1, Width() - 1, Height() - 1} : RECT{1, Height() - sh - 1, Width() - 1, Height() - 1};
  if (statusBar_->Color() != clNone && statusBar_->ColorTo() != clNone) {
    DrawBandedGradient(c, statusBar_->Color(), statusBar_->ColorTo(), statusBar_->GradientDirection() == gdHorizontal,
                       s, 40);
  } else if (statusBar_->Color() != clNone) {
    c->Pen()->SetColor(statusBar_->Color());
    c->Brush()->SetColor(statusBar_->Color());
    c->Rectangle(s);
  }
  const bool aboveGrip = !collaps_ && canSize_;
  if (statusBar_->ImageIndex() >= 0 && images_) {
    if (left) {
      images_->Draw(c, s.left + 2, s.bottom - images_->Height() - (aboveGrip ? 12 : 1), statusBar_->ImageIndex());
      s.bottom -= images_->Height() + 2;
    } else {
      images_->Draw(c, s.left + 1, s.top + 2, statusBar_->ImageIndex());
      s.left += images_->Width() + 2;
    }
  }
  if (left) {
    DrawRotatedText(c, statusBar_->Font(), s.left + 2, s.bottom - (aboveGrip ? 16 : 2), statusBar_->Text());
  } else {
    c->Font()->Assign(statusBar_->Font());
    TMarkupArgs args = TextArgs();
    args.WordWrap = false;
    args.HoverLink = captionHoverLinkIndex_;
    RenderMarkup(c, statusBar_->Text(), RECT{s.left + 2, s.top, s.right + 2, s.bottom}, args);
  }
  c->Pen()->SetWidth(1);
  if (statusBar_->BorderStyle() != bsNone && statusBar_->BorderColor() != clNone) {
    c->Pen()->SetColor(statusBar_->BorderColor());
    c->Brush()->SetStyle(bsClear);
    if (left) c->Rectangle(s.left, s.top, s.right + 1, Height());
    else c->Rectangle(0, s.top, s.right + 1, s.bottom + 1);
    c->Brush()->SetStyle(bsSolid);
  }
  if (statusBar_->BevelInner()) {
    // Sunken: grey along the left and top edges, white along the others.
    POINT corner = left ? POINT{s.left, Height()} : POINT{0, s.bottom - 1};
    c->Pen()->SetColor(clGray);
    c->Polyline({corner, {corner.x, s.top}, {left ? s.right - 1 : s.right, s.top}});
    c->Pen()->SetColor(clWhite);
    c->Polyline({corner, {s.right - 1, corner.y}, {s.right - 1, s.top}});
  }
}

void TCustomAdvPanel::AlignControls(TControl* control, RECT& rect) {
  const int32_t ch = caption_->Height(), sh = statusBar_->Height();
  if (caption_->Visible()) {
    LONG& edge = LeftCaption() ? rect.left : rect.top;
    if (edge < ch) edge = ch - 2;
  }
  if (statusBar_->Visible()) {
    LONG& edge = LeftCaption() ? rect.right : rect.bottom;
    int32_t limit = (LeftCaption() ? Width() : Height()) - sh;
    if (edge > limit) edge = limit;
  }
  TCustomPanel::AlignControls(control, rect);
}

void TCustomAdvPanel::Resize() {
  TCustomPanel::Resize();
  DoAutoSize();
}

void TCustomAdvPanel::PaintSizeGrip(TCanvas* c) {
  RECT r = ClientRect();
  if (BevelInner() != bvNone || BevelOuter() != bvNone) InflateRect(&r, -2 * BevelWidth(), -2 * BevelWidth());
  if (borderShadow_) {
    r.right -= 4;
    r.bottom -= 4;
  }
  c->Pen()->SetWidth(2);
  c->Pen()->SetColor(clGray);
  for (auto [a, b] : {std::pair{11, 11}, std::pair{6, 7}, std::pair{3, 3}}) {
    c->MoveTo(r.right, r.bottom - a);
    c->LineTo(r.right - b, r.bottom);
  }
  c->Pen()->SetWidth(1);
  c->Pen()->SetColor(clWhite);
  for (int k : {12, 8, 4}) {
    c->MoveTo(r.right, r.bottom - k);
    c->LineTo(r.right - k, r.bottom);
  }
}

void TCustomAdvPanel::Paint() {
  RECT client = ClientRect();
  TBitmap buffer;
  TCanvas* c = Canvas();
  if (buffered_) {
    buffer.SetPixelFormat(pf32bit);
    buffer.SetSize(std::max<int32_t>(client.right, 1), std::max<int32_t>(client.bottom, 1));
    c = buffer.Canvas();
  }
  RECT r = client;
  PaintBody(c, r);
  if (!background_->Empty()) PaintBackground(c);
  PaintText(c);
  if (caption_->Visible()) PaintCaption(c);
  if (statusBar_->Visible()) PaintStatusBar(c);
  if (!collaps_ && canSize_) PaintSizeGrip(c);
  if (OnPaint) OnPaint(this, c, client);
  if (buffered_) Canvas()->Draw(0, 0, &buffer);
}

void TCustomAdvPanel::ChangeScale(int32_t m, int32_t d) {
  TCustomPanel::ChangeScale(m, d);
  caption_->Scale(m, d);
}
