#include "ui/render/htmlabel.h"

#include <cmath>

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
        p.Object("HTMLText", &L::HTMLText)
            .Integer("URLColor", &L::URLColor, &L::SetURLColor, colors)
            .Integer("ColorTo", &L::ColorTo, &L::SetColorTo, colors)
            .Boolean("Hover", &L::Hover, &L::SetHover)
            .Boolean("AutoSizing", &L::AutoSizing, &L::SetAutoSizing)
            .String("Version", &L::Version, &L::SetVersion)
            .Event("OnAnchorClick", &L::OnAnchorClick);
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
  images_ = images;
  if (images) images->FreeNotification(this);
  Invalidate();
}

void THTMLabel::SetPictureContainer(TPictureContainer* c) {
  pictureContainer_ = c;
  if (c) c->FreeNotification(this);
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
  RenderMarkup(c, GetDisplayText(), t, Args(mouse.x, mouse.y));
  if (!Transparent()) Canvas()->Draw(0, 0, &buffer);
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
  const TMarkupResult m = RenderMarkup(c, GetDisplayText(), t, measure);
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
  TMarkupResult r = RenderMarkup(Canvas(), GetDisplayText(), t, args);
  hoverLink_ = r.PointLink;
  linkRect = r.LinkRect;
  if (!r.Hit) hoverLink_ = -1;
  return r.Hit ? r.AnchorTarget : std::string();
}

void THTMLabel::MouseMove(TShiftState shift, int x, int y) {
  TCustomLabel::MouseMove(shift, x, y);
  RECT q;
  std::string anchor = AnchorAt(x, y, q);
  if (!anchor.empty()) {
    if (Cursor() != crHandPoint || anchor != lastAnchor_) {
      if (Cursor() != crHandPoint) savedCursor_ = Cursor();
      SetCursor(crHandPoint);
      if (OnAnchorEnter) OnAnchorEnter(this, anchor);
      if (hover_) Invalidate();
    }
    lastAnchor_ = anchor;
  } else if (Cursor() == crHandPoint) {
    SetCursor(savedCursor_);
    if (OnAnchorExit) OnAnchorExit(this, "");
    lastAnchor_.clear();
    if (hover_) Invalidate();
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

void THTMLabel::WndProc(TMessage& m) {
  if (m.Msg == CM_MOUSELEAVE && hoverLink_ != -1) {
    hoverLink_ = -1;
    if (hover_) Invalidate();
  }
  TCustomLabel::WndProc(m);
}
