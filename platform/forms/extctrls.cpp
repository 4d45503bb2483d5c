// The image, paint box, timer, speed button and bitmap button.
//
// Sections: TImage | TPaintBox | TTimer | glyphs | TSpeedButton | TBitBtn
#include "platform/forms/extctrls.h"

#include <algorithm>
#include <unordered_map>

#include "platform/forms/dialogs.h"
#include "platform/rtl/sysutils.h"

// ---- TImage ----

const TClassInfo& TImage::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImage>("TImage", &TGraphicControl::StaticClassInfo(), [](TPublished<TImage>& p) {
        p.Boolean("AutoSize", &TImage::AutoSize, &TImage::SetAutoSize)
            .Boolean("Center", &TImage::Center, &TImage::SetCenter)
            .Object("Picture", &TImage::Picture)
            .Boolean("Proportional", &TImage::Proportional, &TImage::SetProportional)
            .Boolean("Stretch", &TImage::Stretch, &TImage::SetStretch)
            .Boolean("Transparent", &TImage::Transparent, &TImage::SetTransparent);
      });
  return info;
}

TImage::TImage(TComponent* owner) : TGraphicControl(owner), picture_(std::make_unique<TPicture>()) {
  SetBounds(0, 0, 105, 105);
  picture_->OnChange = [this](TObject*) { PictureChanged(); };
}

void TImage::SetCenter(bool v) {
  center_ = v;
  Invalidate();
}
void TImage::SetProportional(bool v) {
  proportional_ = v;
  Invalidate();
}
void TImage::SetStretch(bool v) {
  stretch_ = v;
  Invalidate();
}
void TImage::SetTransparent(bool v) {
  transparent_ = v;
  if (TGraphic* g = picture_->Graphic()) g->SetTransparent(v);
  Invalidate();
}
void TImage::SetAutoSize(bool v) {
  autoSize_ = v;
  PictureChanged();
}

void TImage::PictureChanged() {
  if (TGraphic* g = picture_->Graphic(); g && transparent_ && !g->Transparent()) g->SetTransparent(true);
  if (autoSize_ && picture_->Width() > 0 && picture_->Height() > 0)
    SetBounds(Left(), Top(), picture_->Width(), picture_->Height());
  Invalidate();
}

RECT TImage::DestRect() const {
  int w = picture_->Width(), h = picture_->Height();
  const int cw = ClientWidth(), ch = ClientHeight();
  if (stretch_ || (proportional_ && (w > cw || h > ch))) {
    if (proportional_ && w > 0 && h > 0) {
      // Scale to fit, keeping the aspect ratio.
      if (int64_t{cw} * h > int64_t{ch} * w) {
        w = static_cast<int>(int64_t{w} * ch / h);
        h = ch;
      } else {
        h = static_cast<int>(int64_t{h} * cw / w);
        w = cw;
      }
    } else {
      w = cw;
      h = ch;
    }
  }
  RECT r{0, 0, w, h};
  if (center_) OffsetRect(&r, (cw - w) / 2, (ch - h) / 2);
  return r;
}

void TImage::Paint() {
  if (TGraphic* g = picture_->Graphic(); g && !g->Empty()) Canvas()->StretchDraw(DestRect(), g);
}

// ---- TPaintBox ----

const TClassInfo& TPaintBox::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPaintBox>("TPaintBox", &TGraphicControl::StaticClassInfo(),
                              [](TPublished<TPaintBox>& p) { p.Event("OnPaint", &TPaintBox::OnPaint); });
  return info;
}

TPaintBox::TPaintBox(TComponent* owner) : TGraphicControl(owner) { SetBounds(0, 0, 105, 105); }

void TPaintBox::Paint() {
  Canvas()->Font()->Assign(Font());
  Canvas()->Brush()->SetColor(Color());
  if (OnPaint) OnPaint(this);
}

// ---- TTimer ----

namespace {
std::unordered_map<UINT_PTR, TTimer*> timers;
}  // namespace

void TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = timers.find(id);
  if (it == timers.end()) return;
  TTimer* timer = it->second;
  try {
    if (timer->OnTimer) timer->OnTimer(timer);
  } catch (const std::exception& e) {
    Application->HandleException(timer, e);
  }
}

const TClassInfo& TTimer::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TTimer>("TTimer", &TComponent::StaticClassInfo(), [](TPublished<TTimer>& p) {
        p.Boolean("Enabled", &TTimer::Enabled, &TTimer::SetEnabled)
            .Integer("Interval", &TTimer::Interval, &TTimer::SetInterval)
            .Event("OnTimer", &TTimer::OnTimer);
      });
  return info;
}

TTimer::TTimer(TComponent* owner) : TComponent(owner) {}

TTimer::~TTimer() {
  enabled_ = false;
  Update();
}

void TTimer::Update() {
  if (id_) {
    KillTimer(nullptr, id_);
    timers.erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0 && OnTimer && !ComponentState().Contains(csLoading)) {
    id_ = SetTimer(nullptr, 0, interval_, TimerProc);
    if (id_) timers[id_] = this;
  }
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Update();
}

void TTimer::SetInterval(uint32_t ms) {
  if (ms == interval_) return;
  interval_ = ms;
  Update();
}

void TTimer::SetOnTimer(TNotifyEvent handler) {
  OnTimer = std::move(handler);
  Update();
}

void TTimer::Loaded() {
  TComponent::Loaded();
  Update();
}

// ---- glyphs ----

// Draws the glyph (the first of NumGlyphs images, or the second when
// disabled) and the caption laid out around it.
static void DrawGlyphAndCaption(TCanvas* c, TBitmap* glyph, int numGlyphs, const std::string& caption, RECT r,
                                TButtonLayout layout, bool enabled, TFont* font) {
  const int count = std::max(numGlyphs, 1);
  const int gw = glyph && !glyph->Empty() ? glyph->Width() / count : 0;
  const int gh = glyph && !glyph->Empty() ? glyph->Height() : 0;
  c->Font()->Assign(font);
  if (!enabled) c->Font()->SetColor(clGrayText);
  RECT text{0, 0, 0, 0};
  if (!caption.empty()) DrawText(c->Handle(), caption, &text, DT_CALCRECT | DT_SINGLELINE);
  const int tw = text.right, th = text.bottom;
  const int spacing = gw && tw ? 4 : 0;
  const bool horizontal = layout == blGlyphLeft || layout == blGlyphRight;
  const int totalW = horizontal ? gw + spacing + tw : std::max(gw, tw);
  const int totalH = horizontal ? std::max(gh, th) : gh + spacing + th;
  int x = r.left + (r.right - r.left - totalW) / 2, y = r.top + (r.bottom - r.top - totalH) / 2;
  POINT glyphAt{x, y + (totalH - gh) / 2}, textAt{x + gw + spacing, y + (totalH - th) / 2};
  if (layout == blGlyphRight) {
    textAt.x = x;
    glyphAt.x = x + tw + spacing;
  } else if (layout == blGlyphTop) {
    glyphAt = POINT{x + (totalW - gw) / 2, y};
    textAt = POINT{x + (totalW - tw) / 2, y + gh + spacing};
  } else if (layout == blGlyphBottom) {
    textAt = POINT{x + (totalW - tw) / 2, y};
    glyphAt = POINT{x + (totalW - gw) / 2, y + th + spacing};
  }
  if (gw) {
    const int index = !enabled && count > 1 ? 1 : 0;
    glyph->SetTransparent(true);
    HDC src = glyph->Canvas()->Handle();
    TransparentBlt(c->Handle(), glyphAt.x, glyphAt.y, gw, gh, src, index * gw, 0, gw, gh,
                   ColorToRGB(glyph->TransparentColor()));
  }
  if (tw) {
    c->Brush()->SetStyle(bsClear);
    RECT tr{textAt.x, textAt.y, textAt.x + tw, textAt.y + th};
    DrawText(c->Handle(), caption, &tr, DT_SINGLELINE);
  }
}

// ---- TSpeedButton ----

static const TEnumNames kLayoutNames{"blGlyphLeft", "blGlyphRight", "blGlyphTop", "blGlyphBottom"};

const TClassInfo& TSpeedButton::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TSpeedButton>("TSpeedButton", &TGraphicControl::StaticClassInfo(), [](TPublished<TSpeedButton>& p) {
        p.Boolean("AllowAllUp", &TSpeedButton::AllowAllUp, &TSpeedButton::SetAllowAllUp)
            .Boolean("Down", &TSpeedButton::Down, &TSpeedButton::SetDown)
            .Boolean("Flat", &TSpeedButton::Flat, &TSpeedButton::SetFlat)
            .Object("Glyph", &TSpeedButton::Glyph)
            .Integer("GroupIndex", &TSpeedButton::GroupIndex, &TSpeedButton::SetGroupIndex)
            .Enumeration("Layout", kLayoutNames, &TSpeedButton::Layout, &TSpeedButton::SetLayout)
            .Integer("NumGlyphs", &TSpeedButton::NumGlyphs, &TSpeedButton::SetNumGlyphs);
      });
  return info;
}

TSpeedButton::TSpeedButton(TComponent* owner) : TGraphicControl(owner), glyph_(std::make_unique<TBitmap>()) {
  SetBounds(0, 0, 23, 22);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetControlStyle(ControlStyle() - csDoubleClicks);
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

void TSpeedButton::SetGlyph(const TBitmap* glyph) { glyph_->Assign(glyph); }
void TSpeedButton::SetNumGlyphs(int32_t n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  Invalidate();
}
void TSpeedButton::SetFlat(bool v) {
  flat_ = v;
  Invalidate();
}
void TSpeedButton::SetLayout(TButtonLayout l) {
  layout_ = l;
  Invalidate();
}

void TSpeedButton::SetDown(bool v) {
  if (groupIndex_ == 0) v = false;
  if (v == down_) return;
  if (!v && !allowAllUp_) {
    // The last button of a group stays down unless all may be up.
    bool otherDown = false;
    if (Parent())
      for (int32_t i = 0; i < Parent()->ControlCount(); ++i)
        if (auto* b = dynamic_cast<TSpeedButton*>(Parent()->Controls(i)); b && b != this && b->groupIndex_ == groupIndex_ && b->down_)
          otherDown = true;
    if (!otherDown) return;
  }
  down_ = v;
  if (v && Parent()) {  // the others of the group come up
    TMessage pressed{CM_BUTTONPRESSED, static_cast<WPARAM>(groupIndex_), reinterpret_cast<LPARAM>(this), 0};
    Parent()->Broadcast(pressed);
  }
  Invalidate();
}

void TSpeedButton::Click() {
  if (groupIndex_ != 0) {
    if (!down_) SetDown(true);
    else if (allowAllUp_) {
      down_ = false;
      Invalidate();
    }
  }
  TGraphicControl::Click();
}

void TSpeedButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_MOUSEENTER:
      hot_ = true;
      if (flat_) Invalidate();
      break;
    case CM_MOUSELEAVE:
      hot_ = false;
      if (flat_) Invalidate();
      break;
    case CM_BUTTONPRESSED: {
      auto* sender = reinterpret_cast<TSpeedButton*>(m.LParam);
      if (sender != this && static_cast<int32_t>(m.WParam) == groupIndex_ && down_) {
        down_ = false;
        Invalidate();
      }
      return;
    }
    default: break;
  }
  TGraphicControl::WndProc(m);
}

void TSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft && Enabled()) {
    pressed_ = true;
    Invalidate();
  }
  TGraphicControl::MouseDown(button, shift, x, y);
}

void TSpeedButton::MouseMove(TShiftState shift, int x, int y) {
  if (ControlState().Contains(csLButtonDown)) {
    const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
    if (inside != pressed_) {
      pressed_ = inside;
      Invalidate();
    }
  }
  TGraphicControl::MouseMove(shift, x, y);
}

void TSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (button == mbLeft) {
    pressed_ = false;
    Invalidate();
  }
  TGraphicControl::MouseUp(button, shift, x, y);
}

void TSpeedButton::Paint() {
  TCanvas* c = Canvas();
  RECT r = ClientRect();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  const bool sunk = pressed_ || down_;
  if (!flat_ || hot_ || sunk)
    DrawEdge(c->Handle(), &r, sunk ? (flat_ ? BDR_SUNKENOUTER : EDGE_SUNKEN) : (flat_ ? BDR_RAISEDINNER : EDGE_RAISED),
             BF_RECT);
  if (sunk) OffsetRect(&r, 1, 1);
  DrawGlyphAndCaption(c, glyph_.get(), numGlyphs_, Caption(), r, layout_, Enabled(), Font());
}

// ---- TBitBtn ----

static const TEnumNames kKindNames{"bkCustom", "bkOK",   "bkCancel", "bkHelp",   "bkYes", "bkNo",
                                   "bkClose",  "bkAbort", "bkRetry", "bkIgnore", "bkAll"};

const TClassInfo& TBitBtn::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TBitBtn>("TBitBtn", &TButton::StaticClassInfo(), [](TPublished<TBitBtn>& p) {
        p.Object("Glyph", &TBitBtn::Glyph)
            .Enumeration("Kind", kKindNames, &TBitBtn::Kind, &TBitBtn::SetKind)
            .Enumeration("Layout", kLayoutNames, &TBitBtn::Layout, &TBitBtn::SetLayout);
      });
  return info;
}

TBitBtn::TBitBtn(TComponent* owner) : TButton(owner), glyph_(std::make_unique<TBitmap>()) {
  glyph_->OnChange = [this](TObject*) { Invalidate(); };
}

void TBitBtn::SetGlyph(const TBitmap* glyph) { glyph_->Assign(glyph); }
void TBitBtn::SetLayout(TButtonLayout l) {
  layout_ = l;
  Invalidate();
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  static const struct {
    TStdText caption;
    TModalResult result;
  } kKinds[] = {{TStdText::Count, mrNone},   {TStdText::OK, mrOk},         {TStdText::Cancel, mrCancel},
                {TStdText::Help, mrNone},    {TStdText::Yes, mrYes},       {TStdText::No, mrNo},
                {TStdText::Close, mrNone},   {TStdText::Abort, mrAbort},   {TStdText::Retry, mrRetry},
                {TStdText::Ignore, mrIgnore}, {TStdText::All, mrAll}};
  kind_ = kind;
  if (kind == bkCustom) return;
  SetCaption(StdText(kKinds[kind].caption));
  SetModalResult(kKinds[kind].result);
  if (kind == bkOK || kind == bkYes) SetDefault(true);
  if (kind == bkCancel || kind == bkNo) SetCancel(true);
}

void TBitBtn::PaintButton(TCanvas* c) {
  RECT r = ClientRect();
  c->Brush()->SetColor(clBtnFace);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(r);
  RECT face = r;
  DrawFrameControl(c->Handle(), &face, DFC_BUTTON, DFCS_BUTTONPUSH | (Pressed() ? DFCS_PUSHED : 0));
  if (Pressed()) OffsetRect(&r, 1, 1);
  DrawGlyphAndCaption(c, glyph_.get(), 1, Caption(), r, layout_, Enabled(), Font());
  if (Focused()) {
    RECT focus = ClientRect();
    InflateRect(&focus, -4, -4);
    c->Brush()->SetStyle(bsSolid);
    c->DrawFocusRect(focus);
  }
}

// ---- TScrollBox ----

const TClassInfo& TControlScrollBar::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TControlScrollBar>(
      "TControlScrollBar", &TPersistent::StaticClassInfo(), [](TPublished<TControlScrollBar>& p) {
        p.Integer("Increment", &TControlScrollBar::Increment, &TControlScrollBar::SetIncrement)
            .Integer("Position", &TControlScrollBar::Position, &TControlScrollBar::SetPosition);
      });
  return info;
}

bool TControlScrollBar::IsScrollBarVisible() const {
  const RECT view = box_->ViewRect();
  return visible_ && range_ > (vertical_ ? view.bottom - view.top : view.right - view.left);
}

void TControlScrollBar::SetPosition(int32_t position) {
  const RECT view = box_->ViewRect();
  const int length = vertical_ ? view.bottom - view.top : view.right - view.left;
  position = std::clamp(position, 0, std::max(range_ - length, 0));
  if (position == position_) return;
  const int delta = position_ - position;
  position_ = position;
  if (vertical_) box_->ScrollBy(0, delta);
  else box_->ScrollBy(delta, 0);
}

const TClassInfo& TScrollBox::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TScrollBox>("TScrollBox", &TWinControl::StaticClassInfo(), [](TPublished<TScrollBox>& p) {
        p.Object("HorzScrollBar", &TScrollBox::HorzScrollBar).Object("VertScrollBar", &TScrollBox::VertScrollBar);
      });
  return info;
}

TScrollBox::TScrollBox(TComponent* owner)
    : TWinControl(owner),
      horz_(std::make_unique<TControlScrollBar>(this, false)),
      vert_(std::make_unique<TControlScrollBar>(this, true)) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetBounds(0, 0, 185, 41);
}

void TScrollBox::SetBorderStyle(TBorderStyle s) {
  borderStyle_ = s;
  Realign();
  Invalidate();
}

// The client area less the border, without the bars.
RECT TScrollBox::ViewRect() const {
  RECT r = ClientRect();
  const int border = borderStyle_ == bsSingle ? 2 : 0;
  InflateRect(&r, -border, -border);
  return r;
}

void TScrollBox::AdjustClientRect(RECT& rect) const {
  rect = ViewRect();
  if (vert_->IsScrollBarVisible()) rect.right -= kBarSize;
  if (horz_->IsScrollBarVisible()) rect.bottom -= kBarSize;
  OffsetRect(&rect, -horz_->position_, -vert_->position_);
}

void TScrollBox::AlignControls(TControl* control, RECT& rect) {
  TWinControl::AlignControls(control, rect);
  if (!updating_) UpdateScrollRanges();
}

void TScrollBox::UpdateScrollRanges() {
  int right = 0, bottom = 0;
  const RECT view = ViewRect();
  for (int32_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    if (!c->Visible()) continue;
    right = std::max(right, c->Left() + c->Width() + horz_->position_ - view.left);
    bottom = std::max(bottom, c->Top() + c->Height() + vert_->position_ - view.top);
  }
  horz_->range_ = right;
  vert_->range_ = bottom;
  updating_ = true;
  horz_->SetPosition(horz_->position_);
  vert_->SetPosition(vert_->position_);
  updating_ = false;
  Invalidate();
}

void TScrollBox::ScrollBy(int dx, int dy) {
  updating_ = true;
  DisableAlign();
  for (int32_t i = 0; i < ControlCount(); ++i) {
    TControl* c = Controls(i);
    c->SetBounds(c->Left() + dx, c->Top() + dy, c->Width(), c->Height());
  }
  EnableAlign();
  updating_ = false;
  Invalidate();
}

void TScrollBox::ScrollInView(TControl* control) {
  if (!control || !ContainsControl(control)) return;
  RECT view = ViewRect();
  if (vert_->IsScrollBarVisible()) view.right -= kBarSize;
  if (horz_->IsScrollBarVisible()) view.bottom -= kBarSize;
  const RECT r = control->BoundsRect();
  if (r.top < view.top) vert_->SetPosition(vert_->position_ - (view.top - r.top));
  else if (r.bottom > view.bottom) vert_->SetPosition(vert_->position_ + std::min<int>(r.bottom - view.bottom, r.top - view.top));
  if (r.left < view.left) horz_->SetPosition(horz_->position_ - (view.left - r.left));
  else if (r.right > view.right) horz_->SetPosition(horz_->position_ + std::min<int>(r.right - view.right, r.left - view.left));
}

bool TScrollBox::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (TWinControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  TControlScrollBar* bar = shift.Contains(ssShift) ? horz_.get() : vert_.get();
  bar->SetPosition(bar->position_ - wheelDelta / WHEEL_DELTA * bar->increment_ * 3);
  return true;
}

void TScrollBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  const RECT view = ViewRect();
  // A click in a bar pages towards the click.
  if (vert_->IsScrollBarVisible() && x >= view.right - kBarSize) {
    const int page = view.bottom - view.top - kBarSize;
    const int length = view.bottom - view.top;
    const int thumb = vert_->range_ > 0 ? int64_t{vert_->position_} * length / vert_->range_ : 0;
    vert_->SetPosition(vert_->position_ + (y - view.top < thumb ? -page : page));
  } else if (horz_->IsScrollBarVisible() && y >= view.bottom - kBarSize) {
    const int page = view.right - view.left - kBarSize;
    const int length = view.right - view.left;
    const int thumb = horz_->range_ > 0 ? int64_t{horz_->position_} * length / horz_->range_ : 0;
    horz_->SetPosition(horz_->position_ + (x - view.left < thumb ? -page : page));
  }
}

void TScrollBox::PaintWindow(HDC dc) {
  RECT r = ClientRect();
  if (borderStyle_ == bsSingle) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  const RECT view = ViewRect();
  auto bar = [&](bool vertical) {
    TControlScrollBar* b = vertical ? vert_.get() : horz_.get();
    if (!b->IsScrollBarVisible()) return;
    RECT strip = vertical ? RECT{view.right - kBarSize, view.top, view.right, view.bottom}
                          : RECT{view.left, view.bottom - kBarSize, view.right, view.bottom};
    TBrush brush;
    brush.SetColor(clScrollBar);
    FillRect(dc, &strip, brush.Handle());
    const int length = vertical ? strip.bottom - strip.top : strip.right - strip.left;
    const int shown = vertical ? view.bottom - view.top : view.right - view.left;
    const int thumbLength = std::max<int>(static_cast<int>(int64_t{length} * shown / std::max(b->range_, 1)), 10);
    const int at = static_cast<int>(int64_t{length - thumbLength} * b->position_ / std::max(b->range_ - shown, 1));
    RECT thumb = vertical ? RECT{strip.left, strip.top + at, strip.right, strip.top + at + thumbLength}
                          : RECT{strip.left + at, strip.top, strip.left + at + thumbLength, strip.bottom};
    brush.SetColor(clBtnFace);
    FillRect(dc, &thumb, brush.Handle());
    DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  };
  bar(true);
  bar(false);
}
