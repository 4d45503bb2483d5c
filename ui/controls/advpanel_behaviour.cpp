// The captioned panel under the mouse and over time: the close and
// collapse buttons, caption clicks, the animated collapse, moving and
// sizing, anchor hover, and the saved position.
#include <algorithm>

#include "platform/rtl/files.h"
#include "platform/rtl/inifiles.h"
#include "platform/win/registry.h"
#include "platform/win/shell.h"
#include "platform/forms/forms.h"
#include "platform/win/user_input.h"
#include "platform/win/user_system.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/settingsstore.h"
#include "ui/controls/advpanelstyler.h"

namespace {
constexpr int32_t kButton = 12;
bool Inside(const RECT& r, int32_t x, int32_t y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
}  // namespace

// ---- buttons and strips ----

int32_t TCustomAdvPanel::ButtonSize() const {
  int32_t w = kButton;
  if (caption_->HasCloseGlyphs()) w = caption_->CloseMinGlyph()->Width();
  if (!caption_->MinGlyph()->Empty() && !caption_->MaxGlyph()->Empty()) w = caption_->MaxGlyph()->Width();
  return w;
}

namespace {
// A button's w x w square at one end of the client rectangle c, 2 pixels in.
RECT SquareAt(const RECT& c, int32_t w, bool bottom) {
  if (bottom) return RECT{c.left + 2, c.bottom - w - 2, c.left + w + 2, c.bottom - 2};
  return RECT{c.left + 2, c.top + 2, c.left + w + 2, c.top + w + 2};
}
}  // namespace

RECT TCustomAdvPanel::CloseSquare() const {
  RECT c = ClientRect();
  const int32_t w = ButtonSize();
  switch (CaptionButtonEdge()) {
    case ButtonEdge::Right: return RECT{c.right - w - 2, c.top + 2, c.right - 2, c.top + w + 2};
    case ButtonEdge::Bottom: return SquareAt(c, w, true);
    default: return SquareAt(c, w, false);
  }
}

RECT TCustomAdvPanel::MinMaxSquare() const {
  RECT c = ClientRect();
  const int32_t w = ButtonSize();
  if (caption_->CloseButton()) TakeButton(c, w);
  switch (CaptionButtonEdge()) {
    case ButtonEdge::Right: return RECT{c.right - w - 2, c.top + 2, c.right - 2, c.top + w + 2};
    case ButtonEdge::Bottom: return SquareAt(c, w, true);
    default: return SquareAt(c, w, false);
  }
}

RECT TCustomAdvPanel::CaptionStrip() const {
  RECT c = ClientRect();
  if (caption_->CloseButton()) TakeButton(c, ButtonSize());
  if (LeftCaption()) return RECT{c.left, c.top, c.left + caption_->Height(), c.bottom};
  return RECT{c.left, c.top, c.right - 2, c.top + caption_->Height()};
}

bool TCustomAdvPanel::InCaptionBand(int32_t x, int32_t y) const {
  return caption_->Visible() && (LeftCaption() ? x : y) < caption_->Height();
}

void TCustomAdvPanel::NotifyParentGroup() {
  if (auto* group = dynamic_cast<TCustomAdvPanel*>(Parent())) group->ChildPanelChanged(this, false);
}

void TCustomAdvPanel::SetChildrenVisible(bool show) {
  if (!show) {
    hiddenChildren_.clear();
    for (int32_t i = 0; i < ControlCount(); ++i) {
      if (!Controls(i)->Visible()) hiddenChildren_.push_back(Controls(i));
      Controls(i)->SetVisible(false);
    }
    return;
  }
  for (int32_t i = 0; i < ControlCount(); ++i)
    if (std::find(hiddenChildren_.begin(), hiddenChildren_.end(), Controls(i)) == hiddenChildren_.end())
      Controls(i)->SetVisible(true);
  hiddenChildren_.clear();
}

// ---- mouse ----

void TCustomAdvPanel::Close() {
  SetVisible(false);
  if (OnClose) OnClose(this);
  NotifyParentGroup();
  if (freeOnClose_ && !closing_) {
    // Freed once the mouse handling that closed it has returned.
    closing_ = true;
    PostMessage(Handle(), CM_RELEASE, 0, 0);
  }
}

void TCustomAdvPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  bool dragged = drag_ != Drag::None;
  if (dragged) {
    drag_ = Drag::None;
    if (OnEndMoveSize) OnEndMoveSize(this);
    NotifyParentGroup();
  }
  TCustomPanel::MouseUp(button, shift, x, y);
  if (dragged || !caption_->Visible() || ComponentState().Contains(csDesigning)) return;
  bool toggle = caption_->MinMaxCaption();
  if (caption_->CloseButton() && Inside(CloseSquare(), x, y)) {
    Close();
    return;
  }
  if (caption_->MinMaxButton() && Inside(MinMaxSquare(), x, y)) {
    toggle = false;
    SetCollaps(!collaps_);
  }
  if (Inside(CaptionStrip(), x, y)) {
    if (toggle) SetCollaps(!collaps_);
    if (OnCaptionClick) OnCaptionClick(this);
  }
}

void TCustomAdvPanel::DblClick() {
  TCustomPanel::DblClick();
  POINT cursor{};
  GetCursorPos(&cursor);
  POINT p = ScreenToClient(cursor);
  RECT strip = ClientRect();
  if (LeftCaption()) {
    strip.right = strip.left + caption_->Height();
  } else {
    strip.right -= 2;
    strip.bottom = strip.top + caption_->Height();
  }
  if (caption_->Visible() && Inside(strip, p.x, p.y) && OnCaptionDBlClick) OnCaptionDBlClick(this);
}

void TCustomAdvPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomPanel::MouseDown(button, shift, x, y);
  RECT q;
  std::string anchor = AnchorAt(x, y, q);
  if (!anchor.empty()) {
    if (!OpenAnchor(anchor) && OnAnchorClick) OnAnchorClick(this, anchor);
    return;
  }
  if (button != mbLeft) return;
  POINT screen = ClientToScreen(POINT{x, y});
  bool inButtons = (caption_->CloseButton() && Inside(CloseSquare(), x, y)) ||
                   (caption_->MinMaxButton() && Inside(MinMaxSquare(), x, y));
  // The sizing zones: the grip corner, then the bottom and the right edge.
  const int32_t frameY = GetSystemMetrics(SM_CYFRAME), frameX = GetSystemMetrics(SM_CXFRAME);
  sizeWidth_ = sizeHeight_ = false;
  if (canSize_ && !collaps_) {
    if (!fixedHeight_ && !fixedWidth_ && y > Height() - frameY - 2 && x > Width() - frameX - 2)
      sizeWidth_ = sizeHeight_ = true;
    else if (!fixedHeight_ && y > Height() - frameY)
      sizeHeight_ = true;
    else if (!fixedWidth_ && x > Width() - frameX)
      sizeWidth_ = true;
  }
  if (sizeWidth_ || sizeHeight_) {
    drag_ = Drag::Size;
    BringToFront();
  } else if (canMove_ && InCaptionBand(x, y) && !inButtons) {
    drag_ = Drag::Move;
    if (showMoveCursor_) {
      savedCursor_ = crSizeAll;
      SetCursor(crSizeAll);
    }
    BringToFront();
  } else {
    return;
  }
  dragStart_ = screen;
  dragBounds_ = BoundsRect();
}

void TCustomAdvPanel::MouseMove(TShiftState shift, int x, int y) {
  TCustomPanel::MouseMove(shift, x, y);
  if (drag_ != Drag::None) {
    POINT screen = ClientToScreen(POINT{x, y});
    int32_t dx = screen.x - dragStart_.x, dy = screen.y - dragStart_.y;
    const RECT& b = dragBounds_;
    if (drag_ == Drag::Move) {
      SetBounds(fixedLeft_ ? b.left : b.left + dx, fixedTop_ ? b.top : b.top + dy, b.right - b.left, b.bottom - b.top);
    } else {
      SetBounds(b.left, b.top, sizeWidth_ ? std::max(b.right - b.left + dx, 20) : b.right - b.left,
                sizeHeight_ ? std::max(b.bottom - b.top + dy, 20) : b.bottom - b.top);
    }
    return;
  }
  if (caption_->Visible()) {
    bool closeHot = caption_->CloseButtonHoverColor() != clNone && caption_->CloseButton() && Inside(CloseSquare(), x, y);
    bool minMaxHot =
        caption_->MinMaxButtonHoverColor() != clNone && caption_->MinMaxButton() && Inside(MinMaxSquare(), x, y);
    if (closeHot != closeButtonHot_ || minMaxHot != minMaxButtonHot_) {
      closeButtonHot_ = closeHot;
      minMaxButtonHot_ = minMaxHot;
      Invalidate();
    }
  }
  RECT q;
  std::string anchor = AnchorAt(x, y, q);
  if (!anchor.empty()) {
    if (Cursor() != crHandPoint || anchor != lastAnchor_) {
      if (anchorHint_) Application->CancelHint();
      savedCursor_ = Cursor() == crHandPoint ? savedCursor_ : Cursor();
      SetCursor(crHandPoint);
      if (OnAnchorEnter) OnAnchorEnter(this, anchor);
      if (hover_) Invalidate();
    }
    lastAnchor_ = anchor;
    hoverLinkRect_ = q;
  } else if (Cursor() == crHandPoint) {
    SetCursor(savedCursor_);
    if (OnAnchorExit) OnAnchorExit(this, "");
    hoverLinkIndex_ = captionHoverLinkIndex_ = -1;
    lastAnchor_.clear();
    if (hover_) Invalidate();
  }
}

std::string TCustomAdvPanel::AnchorAt(int32_t x, int32_t y, RECT& rect) {
  TMarkupArgs args = TextArgs();
  args.X = x;
  args.Y = y;
  args.CheckHotSpot = true;
  args.HoverLink = -1;
  args.HoverStyle = false;
  args.WordWrap = true;
  args.ShadowOffset = 2;
  bool inCaption = InCaptionBand(x, y);
  // A left caption's text is plain: it has no anchors.
  if (inCaption && LeftCaption()) {
    captionHoverLinkIndex_ = -1;
    rect = RECT{-1, -1, -1, -1};
    return std::string();
  }
  RECT t = BodyTextRect();
  std::string text = text_;
  Canvas()->Font()->Assign(Font());
  if (inCaption) {
    t = ClientRect();
    t.bottom = t.top + caption_->Height();
    t.left += caption_->Indent();
    t.top += caption_->TopIndent();
    Canvas()->Font()->Assign(caption_->Font());
    text = caption_->Text();
    args.WordWrap = false;
  } else {
    if (textVAlign_ != tvaTop) {
      int32_t h = RenderMarkup(Canvas(), text, t, args).MeasuredHeight;
      if (h < t.bottom - t.top) t.top = textVAlign_ == tvaCenter ? t.top + (t.bottom - t.top - h) / 2 : t.bottom - h;
    }
    t.bottom += 20;
  }
  TMarkupResult r = RenderMarkup(Canvas(), text, t, args);
  (inCaption ? captionHoverLinkIndex_ : hoverLinkIndex_) = r.PointLink;
  rect = r.LinkRect;
  return r.Hit ? r.AnchorTarget : std::string();
}

// ---- collapse and expand ----

void TCustomAdvPanel::SetCollaps(bool collapse) {
  if (collaps_ && !collapse && OnMaximize) OnMaximize(this);
  if (!collaps_ && collapse && OnMinimize) OnMinimize(this);
  if (collapsing_) return;
  if (collapse != collaps_) {
    collapsing_ = true;
    collaps_ = collapse;
    if (ComponentState().Contains(csLoading)) {
      collapsing_ = false;
      if (collapse) fullHeight_ = Height();
      return;
    }
    int32_t status = statusBar_->Visible() ? statusBar_->Height() : 0;
    int32_t extra = BorderWidth() > 0 && borderShadow_ ? BorderWidth() + 4 : 0;
    expanding_ = !collapse;
    const bool left = LeftCaption();
    if (expanding_) {
      if (collapsSteps_ > 0 && collapsColor_ != clNone) SetColor(savedColor_);
      targetHeight_ = fullHeight_;
      stepSize_ = collapsSteps_ > 0 ? (fullHeight_ - caption_->Height() - status) / collapsSteps_ : 0;
    } else {
      fullHeight_ = Extent();
      if (autoHideChildren_) SetChildrenVisible(false);
      savedColor_ = Color();
      if (collapsSteps_ > 0 && collapsColor_ != clNone) SetColor(collapsColor_);
      // Beside a left caption the width collapses, without the top caption's overlap.
      targetHeight_ = extra + caption_->Height() + status - (left ? 0 : 2);
      int32_t room = Extent() - caption_->Height() - status - (left ? 0 : 2 * BorderWidth());
      stepSize_ = collapsSteps_ > 0 ? -room / collapsSteps_ : 0;
    }
    stepsLeft_ = collapsSteps_;
    if (stepsLeft_ > 0) {
      // The steps run on a timer; the message loop keeps running between them.
      if (!collapseTimer_) {
        collapseTimer_ = std::make_unique<TTimer>(nullptr);
        collapseTimer_->SetOnTimer([this](TObject*) { CollapseStep(); });
      }
      collapseTimer_->SetInterval(static_cast<uint32_t>(std::max(collapsDelay_, 1)));
      collapseTimer_->SetEnabled(true);
      return;
    }
    FinishCollapse();
    return;
  }
  StateChanged();
  if (OnEndCollapsExpand) OnEndCollapsExpand(this);
}

void TCustomAdvPanel::CollapseStep() {
  if (stepsLeft_ <= 0) return;
  --stepsLeft_;
  SetExtent(Extent() + stepSize_);
  NotifyParentGroup();
  if (stepsLeft_ == 0) {
    collapseTimer_->SetEnabled(false);
    FinishCollapse();
  }
}

void TCustomAdvPanel::SetExtent(int32_t extent) {
  if (LeftCaption()) SetBounds(Left(), Top(), extent, Height());
  else SetBounds(Left(), Top(), Width(), extent);
}

void TCustomAdvPanel::FinishCollapse() {
  SetExtent(targetHeight_);
  if (expanding_ && autoHideChildren_) SetChildrenVisible(true);
  NotifyParentGroup();
  collapsing_ = false;
  StateChanged();
  if (OnEndCollapsExpand) OnEndCollapsExpand(this);
}

// ---- auto size ----

void TCustomAdvPanel::DoAutoSize() {
  if (!autoSize_->Enabled() || ComponentState().Contains(csLoading) || autoSizing_) return;
  autoSizing_ = true;
  const int32_t bevels = 2 * BevelWidth(), borders = 2 * BorderWidth();
  RECT box{0, 0, autoSize_->Width() ? 65535 : Width() - bevels, autoSize_->Height() ? 65535 : Height() - bevels};
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->Font()->Assign(Font());
  TMarkupArgs args = TextArgs();
  args.MeasureOnly = true;
  args.WordWrap = true;
  args.HoverStyle = hover_;
  TMarkupResult m = RenderMarkup(measure.Canvas(), text_, box, args);
  const int32_t x = m.MeasuredWidth + borders + (borderShadow_ ? 2 : 0);
  const int32_t y = m.MeasuredHeight + borders + (borderShadow_ ? 2 : 0);
  const int32_t caption = caption_->Visible() ? caption_->Height() : 0;
  const int32_t status = statusBar_->Visible() ? statusBar_->Height() : 0;
  int32_t width = Width(), height = Height();
  if (autoSize_->Width())
    width = LeftCaption() ? caption + x + status + bevels + indent_ : bevels + x + indent_;
  if (autoSize_->Height()) {
    if (LeftCaption()) height = bevels + y + topIndent_;
    else height = caption + y + status + bevels + topIndent_ + (caption && status ? borders : 0);
  }
  SetBounds(Left(), Top(), width, height);
  autoSizing_ = false;
  NotifyParentGroup();
}

// ---- anchor hints ----

void TCustomAdvPanel::ShowAnchorHint(THintInfo* info) {
  RECT q;
  std::string anchor = AnchorAt(info->CursorPos.x, info->CursorPos.y, q);
  if (anchor.empty()) return;
  if (OnAnchorHint) OnAnchorHint(this, anchor);
  POINT screen = ClientToScreen(info->CursorPos);
  info->HintPos = POINT{screen.x + 10, screen.y - 10};
  info->HintStr = anchor;
}

// ---- position ----

std::string PanelPositionFile(const std::string& key) {
  std::string name = ExtractFileName(key);
  if (name.empty()) name = "panels.ini";
  return UserSettingsFolder() + name;
}

std::unique_ptr<TCustomIniFile> TCustomAdvPanel::OpenPositionStore() const {
  if (position_->Key().empty() || position_->Section().empty() || ComponentState().Contains(csDesigning))
    return nullptr;
  if (position_->Location() == clInifile) return std::make_unique<TIniFile>(PanelPositionFile(position_->Key()));
  return std::make_unique<TRegistryIniFile>(position_->Key());
}

void TCustomAdvPanel::SavePosition() {
  std::unique_ptr<TCustomIniFile> store = OpenPositionStore();
  if (!store) return;
  const std::string& s = position_->Section();
  store->WriteInteger(s, "Top", Top());
  store->WriteInteger(s, "Left", Left());
  store->WriteInteger(s, "Height", Height());
  store->WriteInteger(s, "FullHeight", fullHeight_);
  store->WriteInteger(s, "Width", Width());
  store->WriteInteger(s, "Collaps", collaps_ ? 1 : 0);
  store->UpdateFile();
}

void TCustomAdvPanel::LoadPosition() {
  std::unique_ptr<TCustomIniFile> store = OpenPositionStore();
  if (!store) return;
  const std::string& s = position_->Section();
  int32_t top = store->ReadInteger(s, "Top", Top());
  int32_t left = store->ReadInteger(s, "Left", Left());
  int32_t height = store->ReadInteger(s, "Height", Height());
  int32_t width = store->ReadInteger(s, "Width", Width());
  SetBounds(left, top, width, height);
  bool collapsed = store->ReadInteger(s, "Collaps", 0) == 1;
  if (collapsed != collaps_) SetCollaps(collapsed);
  fullHeight_ = store->ReadInteger(s, "FullHeight", Height());
}

void TCustomAdvPanel::Loaded() {
  TCustomPanel::Loaded();
  if (position_->Save()) LoadPosition();
  savedCursor_ = Cursor();
  savedColor_ = Color();
  if (styler_) ApplySettings(styler_->Settings());
}

void TCustomAdvPanel::BeforeDestruction() {
  if (position_->Save()) SavePosition();
  TCustomPanel::BeforeDestruction();
}

void TCustomAdvPanel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_RELEASE:
      Free();
      return;
    case CM_HINTSHOW:
      if (anchorHint_) ShowAnchorHint(reinterpret_cast<THintInfo*>(m.LParam));
      m.Result = 0;
      return;
    case CM_MOUSELEAVE:
      if (closeButtonHot_ || minMaxButtonHot_) {
        closeButtonHot_ = minMaxButtonHot_ = false;
        Invalidate();
      }
      hoverLinkIndex_ = captionHoverLinkIndex_ = -1;
      break;
    default: break;
  }
  TCustomPanel::WndProc(m);
}
