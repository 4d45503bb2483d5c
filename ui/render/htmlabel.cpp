#include "ui/render/htmlabel.h"

#include <cmath>

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/win/user_input.h"
#include "ui/render/gdippicturecontainer.h"

namespace {
void Bevel(TCanvas* c, RECT& r, TBevelCut cut, int32_t width) {
  if (cut == bvNone) return;
  bool lowered = cut == bvLowered;
  Frame3D(c, r, lowered ? clBtnShadow : clBtnHighlight, lowered ? clBtnHighlight : clBtnShadow, width);
}
}  // namespace

const TClassInfo& THTMLabel::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<THTMLabel>("THTMLabel", &TCustomLabel::StaticClassInfo(), [](TPublished<THTMLabel>& p) {
        using L = THTMLabel;
        const TIntegerIdents* colors = &ColorIdents();
        static const TEnumNames vAlignments{"tvaTop", "tvaCenter", "tvaBottom"};
        static const TEnumNames sizeTypes{"asVertical", "asHorizontal", "asBoth"};
        static const TEnumNames gradients{"gtFullHorizontal", "gtFullVertical", "gtBottomLine", "gtCenterLine",
                                          "gtTopLine"};
        static const TEnumNames bevels{"bvNone", "bvLowered", "bvRaised", "bvSpace"};
        static const TEnumNames borders{"bsNone", "bsSingle"};
        p.Object("HTMLText", &L::HTMLText)
            .Reference<TCustomImageList>("Images", &L::Images, &L::SetImages)
            .Reference<TPictureContainer>("PictureContainer", &L::PictureContainer, &L::SetPictureContainer)
            .Integer("URLColor", &L::URLColor, &L::SetURLColor, colors)
            .Integer("ShadowColor", &L::ShadowColor, &L::SetShadowColor, colors)
            .Integer("ShadowOffset", &L::ShadowOffset, &L::SetShadowOffset)
            .Boolean("Hover", &L::Hover, &L::SetHover)
            .Integer("HoverColor", &L::HoverColor, &L::SetHoverColor, colors)
            .Integer("HoverFontColor", &L::HoverFontColor, &L::SetHoverFontColor, colors)
            .Boolean("AnchorHint", &L::AnchorHint, &L::SetAnchorHint)
            .Boolean("HintShowFull", &L::HintShowFull, &L::SetHintShowFull)
            .Boolean("HTMLHint", &L::HTMLHint, &L::SetHTMLHint)
            .Boolean("Ellipsis", &L::Ellipsis, &L::SetEllipsis)
            .Integer("LineSpacing", &L::LineSpacing, &L::SetLineSpacing)
            .Enumeration("VAlignment", vAlignments, &L::VAlignment, &L::SetVAlignment)
            .Boolean("AutoSizing", &L::AutoSizing, &L::SetAutoSizing)
            .Enumeration("AutoSizeType", sizeTypes, &L::AutoSizeType, &L::SetAutoSizeType)
            .Integer("ColorTo", &L::ColorTo, &L::SetColorTo, colors)
            .Enumeration("GradientType", gradients, &L::GradientType, &L::SetGradientType)
            .Integer("LineWidth", &L::LineWidth, &L::SetLineWidth)
            .Enumeration("BevelInner", bevels, &L::BevelInner, &L::SetBevelInner)
            .Enumeration("BevelOuter", bevels, &L::BevelOuter, &L::SetBevelOuter)
            .Integer("BevelWidth", &L::BevelWidth, &L::SetBevelWidth)
            .Integer("BorderWidth", &L::BorderWidth, &L::SetBorderWidth)
            .Enumeration("BorderStyle", borders, &L::BorderStyle, &L::SetBorderStyle)
            .Integer("BorderColor", &L::BorderColor, &L::SetBorderColor, colors)
            .String("Version", &L::Version, &L::SetVersion)
            .Event("OnAnchorClick", &L::OnAnchorClick)
            .Event("OnAnchorEnter", &L::OnAnchorEnter)
            .Event("OnAnchorExit", &L::OnAnchorExit)
            .Event("OnAnchorHint", &L::OnAnchorHint);
      });
  return info;
}

THTMLabel::THTMLabel(TComponent* owner)
    : TCustomLabel(owner), htmlText_(new TStringList()), cache_(new THTMLPictureCache()) {
  SetAutoSize(false);
  SetText("");
  htmlText_->OnChange = [this](TObject*) {
    cache_->FreeAll();
    Invalidate();
  };
  imageLink_.OnChange = [this](TObject*) { Invalidate(); };
  SetBounds(Left(), Top(), 120, Height());
}

THTMLabel::~THTMLabel() = default;

std::string THTMLabel::Version() const { return VersionString(GetVersionNumber()); }

std::string THTMLabel::GetDisplayText() const {
  std::string text;
  for (int32_t i = 0; i < htmlText_->Count(); ++i) text += (i ? " " : "") + htmlText_->Strings(i);
  return text;
}

void THTMLabel::SetHTMLText(const TStrings* lines) {
  std::string joined;
  for (int32_t i = 0; lines && i < lines->Count(); ++i) joined += lines->Strings(i);
  std::erase(joined, '\r');
  std::erase(joined, '\n');
  htmlText_->Clear();
  htmlText_->Add(joined);
}

void THTMLabel::SetAutoSizing(bool v) {
  autoSizing_ = v;
  if (v && (Align() == alLeft || Align() == alRight)) SetBounds(Left(), Top(), 6, Height());
  if (v && (Align() == alTop || Align() == alBottom)) SetBounds(Left(), Top(), Width(), 6);
  Invalidate();
}

void THTMLabel::SetImages(TCustomImageList* images) {
  if (images_) images_->UnRegisterChanges(&imageLink_);
  images_ = images;
  if (images) {
    images->RegisterChanges(&imageLink_);
    images->FreeNotification(this);
  }
  Invalidate();
}

void THTMLabel::SetPictureContainer(TPictureContainer* c) {
  pictureContainer_ = c;
  if (c) c->FreeNotification(this);
}

void THTMLabel::Loaded() {
  TCustomLabel::Loaded();
  SetText("");  // the text is the markup, never the inherited caption
}

void THTMLabel::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    if (component == images_) images_ = nullptr;
    if (component == pictureContainer_) pictureContainer_ = nullptr;
  }
  TCustomLabel::Notification(component, operation);
}

TMarkupArgs THTMLabel::Args(int32_t x, int32_t y) const {
  TMarkupArgs args = TMarkupLook{.Images = images_,
                                 .HoverLink = hoverLink_,
                                 .ShadowOffset = shadowOffset_,
                                 .Hover = hover_,
                                 .WordWrap = !ellipsis_,
                                 .URLColor = urlColor_,
                                 .HoverColor = hoverColor_,
                                 .HoverFontColor = hoverFontColor_,
                                 .ShadowColor = shadowColor_,
                                 .PictureCache = cache_.get(),
                                 .PictureContainer = pictureContainer_,
                                 .LineSpacing = lineSpacing_}
                         .Args();
  args.X = x;
  args.Y = y;
  return args;
}

// The text's rectangle, inset by the frames drawn around it: painting and
// the anchor test use the same one.
RECT THTMLabel::TextRect() const {
  RECT t = ClientRect();
  int32_t inset = borderWidth_;
  if (bevelOuter_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone) inset += bevelWidth_;
  if (bevelInner_ != bvNone || bevelOuter_ != bvNone) inset += bevelWidth_;
  if (borderStyle_ == bsSingle) inset += borderWidth_;
  InflateRect(&t, -inset, -inset);
  return t;
}

void THTMLabel::PaintBackground(TCanvas* c, RECT r) {
  int32_t bands = (r.right - r.left) / 4;
  if (Transparent()) {
    // The parent shows through: neither a fill nor a full gradient.
  } else if (colorTo_ != clNone && (gradientType_ == gtFullHorizontal || gradientType_ == gtFullVertical)) {
    MarkupGradientRect(c, Color(), colorTo_, bands, r, gradientType_ == gtFullHorizontal);
  } else {
    c->Brush()->SetColor(Color());
    c->Pen()->SetColor(Color());
    c->Rectangle(r);
  }
  if (gradientType_ >= gtBottomLine) {
    RECT line = r;
    if (gradientType_ == gtBottomLine) line.top = r.bottom - lineWidth_;
    if (gradientType_ == gtTopLine) line.bottom = r.top + lineWidth_;
    if (gradientType_ == gtCenterLine) {
      line.top = r.top + (r.bottom - r.top - lineWidth_) / 2;
      line.bottom = line.top + lineWidth_;
    }
    MarkupGradientRect(c, Color(), colorTo_ == clNone ? clWhite : colorTo_, bands, line, true);
  }
}

void THTMLabel::Paint() {
  RECT r = ClientRect();
  if (r.right <= r.left || r.bottom <= r.top) return;
  TBitmap buffer;
  TCanvas* c = Canvas();
  if (!Transparent()) {
    buffer.SetPixelFormat(pf32bit);
    buffer.SetSize(r.right, r.bottom);
    c = buffer.Canvas();
  }
  PaintBackground(c, r);
  c->Font()->Assign(Font());
  RECT t = ClientRect();
  Bevel(c, t, bevelOuter_, bevelWidth_);
  Frame3D(c, t, Color(), Color(), borderWidth_);
  Bevel(c, t, bevelInner_, bevelWidth_);
  if (borderStyle_ == bsSingle && borderWidth_ > 0 && borderColor_ != clNone) {
    int32_t a = (borderWidth_ + 1) / 2, b = borderWidth_ / 2;
    c->Pen()->SetColor(borderColor_);
    c->Pen()->SetWidth(borderWidth_);
    c->Brush()->SetStyle(bsClear);
    c->Polygon({{t.left - a, t.top - a}, {t.right + b, t.top - a}, {t.right + b, t.bottom + b}, {t.left - a, t.bottom + b}});
    c->Pen()->SetWidth(1);
  }
  const POINT mouse = MousePoint();
  c->Brush()->SetColor(Color());
  t = PlaceText(c, mouse, true);
  DrawMarkup(c, GetDisplayText(), t, Args(mouse.x, mouse.y));
  if (!Transparent()) Canvas()->Draw(0, 0, &buffer);
}

TMarkupResult THTMLabel::DrawMarkup(TCanvas* canvas, const std::string& text, const RECT& rect, TMarkupArgs args) {
  args.FocusLink = -1;
  args.WordWrap = !ellipsis_;
  args.LineSpacing = lineSpacing_;
  args.PictureContainer = pictureContainer_;
  args.PictureCache = cache_.get();
  TMarkupResult r = RenderMarkup(canvas, text, rect, args);
  measuredWidth_ = r.MeasuredWidth;
  measuredHeight_ = r.MeasuredHeight;
  return r;
}

POINT THTMLabel::MousePoint() const {
  POINT cursor{};
  GetCursorPos(&cursor);
  return ScreenToClient(cursor);
}

// Where the text goes: inside the frames, widened for sizing to the text,
// and moved down for the vertical alignment. Painting (which also resizes
// the label) and the anchor test both take their rectangle from here, so
// an anchor is found where it is drawn.
RECT THTMLabel::PlaceText(TCanvas* c, POINT mouse, bool resize) {
  RECT t = TextRect();
  const bool vertical = Align() == alNone || Align() == alTop || Align() == alBottom;
  const bool horizontal = Align() == alNone || Align() == alLeft || Align() == alRight;
  if (autoSizing_) {
    if (horizontal && autoSizeType_ != asVertical) t.right += 65535;
    if (vertical && autoSizeType_ != asHorizontal) t.bottom += 65535;
  }
  if (!autoSizing_ && vAlignment_ == tvaTop) return t;
  TMarkupArgs measure = Args(mouse.x, mouse.y);
  measure.CheckHotSpot = true;
  const TMarkupResult m = DrawMarkup(c, GetDisplayText(), t, measure);
  if (autoSizing_) {
    if (vAlignment_ == tvaCenter) t.top += 3;
    if (vAlignment_ == tvaBottom) t.top += 6;
    if (resize && vertical && autoSizeType_ != asHorizontal && m.MeasuredHeight + 6 != Height())
      SetBounds(Left(), Top(), Width(), m.MeasuredHeight + 6);
    if (resize && horizontal && autoSizeType_ != asVertical && m.MeasuredWidth + 6 != Width())
      SetBounds(Left(), Top(), m.MeasuredWidth + 6, Height());
  }
  if (vAlignment_ == tvaCenter) t.top += (Height() - m.MeasuredHeight) / 2;
  if (vAlignment_ == tvaBottom) t.top = Height() - m.MeasuredHeight;
  return t;
}

std::string THTMLabel::AnchorAt(int32_t x, int32_t y, RECT& linkRect) {
  Canvas()->Font()->Assign(Font());
  const RECT t = PlaceText(Canvas(), POINT{x, y}, false);
  TMarkupArgs args = Args(x, y);
  args.CheckHotSpot = true;
  args.HoverLink = -1;
  args.HoverColor = args.HoverFontColor = clNone;
  TMarkupResult r = DrawMarkup(Canvas(), GetDisplayText(), t, args);
  hoverLink_ = r.PointLink;
  linkRect = r.LinkRect;
  if (!r.Hit) hoverLink_ = -1;
  return r.Hit ? r.AnchorTarget : std::string();
}

// Repaints part of the label on its parent (the whole label for a
// rectangle whose left is -1); nothing without a parent.
void THTMLabel::RepaintRect(const RECT& r) {
  if (!Parent() || !Parent()->HandleAllocated()) return;
  RECT moved = r.left == -1 ? RECT{0, 0, Width(), Height()} : r;
  OffsetRect(&moved, Left(), Top());
  InvalidateRect(Parent()->Handle(), &moved, TRUE);
}

void THTMLabel::MouseMove(TShiftState shift, int x, int y) {
  TCustomLabel::MouseMove(shift, x, y);
  RECT r;
  const std::string anchor = AnchorAt(x, y, r);
  if (!anchor.empty()) {
    const bool moved = anchor != lastAnchor_ || !EqualRect(&r, &lastRect_) || hoverLink_ != lastLink_;
    if (moved && hover_ && r.left != -1) RepaintRect(lastRect_);
    if (Cursor() != crHandPoint || anchor != lastAnchor_ || hoverLink_ != lastLink_) {
      if (anchorHint_) Application->CancelHint();
      if (Cursor() != crHandPoint) savedCursor_ = Cursor();
      SetCursor(crHandPoint);
      if (OnAnchorEnter) OnAnchorEnter(this, anchor);
      if (hover_) RepaintRect(r.left == -1 ? r : lastRect_);
    }
    lastAnchor_ = anchor;
    lastLink_ = hoverLink_;
    lastRect_ = r;
    if (hover_) RepaintRect(r);
  } else if (Cursor() == crHandPoint) {
    SetCursor(savedCursor_);
    if (OnAnchorExit) OnAnchorExit(this, "");
    if (hover_) RepaintRect(lastRect_);
    lastAnchor_.clear();
    lastLink_ = -1;
    lastRect_ = RECT{-1, -1, -1, -1};
  }
}

void THTMLabel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomLabel::MouseDown(button, shift, x, y);
  RECT q;
  std::string anchor = AnchorAt(x, y, q);
  if (anchor.empty()) return;
  if (OnAnchorClick) OnAnchorClick(this, anchor);
  OpenAnchor(anchor);  // web and mail addresses only
}

// The hint: an anchor's target (which OnAnchorHint may change) placed
// beside the cursor, or with HintShowFull the label's text.
void THTMLabel::FillHint(THintInfo* info) {
  bool anchorShown = false;
  if (anchorHint_) {
    RECT q;
    std::string anchor = AnchorAt(info->CursorPos.x, info->CursorPos.y, q);
    if (!anchor.empty()) {
      if (OnAnchorHint) OnAnchorHint(this, anchor);
      info->HintStr = anchor;
      const POINT screen = ClientToScreen(info->CursorPos);
      info->HintPos = POINT{screen.x + 10, screen.y - 10};
      anchorShown = true;
    }
  }
  if (hintShowFull_ && !anchorShown) info->HintStr = htmlHint_ ? GetDisplayText() : StripMarkup(GetDisplayText());
}

void THTMLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_HINTSHOW:
      if (m.LParam) FillHint(reinterpret_cast<THintInfo*>(m.LParam));
      m.Result = 0;  // the hint is always allowed
      return;
    case CM_MOUSELEAVE:
      if (hover_ && hoverLink_ != -1) RepaintRect(lastRect_);
      hoverLink_ = -1;
      break;
    default: break;
  }
  TCustomLabel::WndProc(m);
}
