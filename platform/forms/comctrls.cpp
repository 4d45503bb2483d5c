// Progress bar, track bar, up-down, scroll bar, page control and tab sheet.
//
// Sections: TProgressBar | TTrackBar | TUpDown | TScrollBar | TTabSheet | TPageControl
#include "platform/forms/comctrls.h"

#include <algorithm>

#include "platform/forms/stdctrls.h"
#include "platform/rtl/sysutils.h"

namespace {

// A value's place along a length of pixels, and back.
int Scale(int32_t value, int32_t min, int32_t max, int length) {
  if (max <= min) return 0;
  return static_cast<int>(int64_t{value - min} * length / (int64_t{max} - min));
}

int32_t Unscale(int offset, int length, int32_t min, int32_t max) {
  if (length <= 0) return min;
  return static_cast<int32_t>(min + (int64_t{offset} * (int64_t{max} - min) + length / 2) / length);
}

void FillWith(HDC dc, RECT r, TColor color) {
  TBrush brush;
  brush.SetColor(color);
  FillRect(dc, &r, brush.Handle());
}

const TEnumNames kProgressOrientationNames{"pbHorizontal", "pbVertical"};
const TEnumNames kTrackOrientationNames{"trHorizontal", "trVertical"};
const TEnumNames kUDOrientationNames{"udHorizontal", "udVertical"};
const TEnumNames kScrollKindNames{"sbHorizontal", "sbVertical"};

}  // namespace

// ---- TProgressBar ----

const TClassInfo& TProgressBar::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TProgressBar>("TProgressBar", &TWinControl::StaticClassInfo(), [](TPublished<TProgressBar>& p) {
        p.Integer("Max", &TProgressBar::Max, &TProgressBar::SetMax)
            .Integer("Min", &TProgressBar::Min, &TProgressBar::SetMin)
            .Enumeration("Orientation", kProgressOrientationNames, &TProgressBar::Orientation,
                         &TProgressBar::SetOrientation)
            .Integer("Position", &TProgressBar::Position, &TProgressBar::SetPosition)
            .Boolean("Smooth", &TProgressBar::Smooth, &TProgressBar::SetSmooth)
            .Integer("Step", &TProgressBar::Step, &TProgressBar::SetStep);
      });
  return info;
}

TProgressBar::TProgressBar(TComponent* owner) : TWinControl(owner) { SetBounds(0, 0, 150, 17); }

void TProgressBar::SetMin(int32_t v) {
  min_ = v;
  SetPosition(position_);
  Invalidate();
}
void TProgressBar::SetMax(int32_t v) {
  max_ = v;
  SetPosition(position_);
  Invalidate();
}
void TProgressBar::SetPosition(int32_t v) {
  v = std::clamp(v, min_, std::max(min_, max_));
  if (v == position_) return;
  position_ = v;
  Invalidate();
}
void TProgressBar::StepIt() {
  // Past the end it starts again from Min, as the common control does.
  int32_t next = position_ + step_;
  if (next > max_) next = min_ + (next - max_);
  SetPosition(next);
}
void TProgressBar::SetSmooth(bool v) {
  smooth_ = v;
  Invalidate();
}
void TProgressBar::SetOrientation(TProgressBarOrientation o) {
  orientation_ = o;
  Invalidate();
}

void TProgressBar::PaintWindow(HDC dc) {
  RECT r = ClientRect();
  FillWith(dc, r, clBtnFace);
  DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
  InflateRect(&r, -1, -1);
  const bool horizontal = orientation_ == pbHorizontal;
  const int length = horizontal ? r.right - r.left : r.bottom - r.top;
  const int filled = Scale(position_, min_, max_, length);
  RECT bar = r;
  if (horizontal) bar.right = r.left + filled;
  else bar.top = r.bottom - filled;
  if (smooth_) {
    FillWith(dc, bar, clHighlight);
    return;
  }
  // Blocks with a gap, as the classic bar draws them.
  const int block = std::max<int>((horizontal ? r.bottom - r.top : r.right - r.left) * 2 / 3, 4);
  for (int at = 0; at < filled; at += block + 2) {
    RECT b = bar;
    if (horizontal) {
      b.left = r.left + at;
      b.right = std::min<int>(b.left + block, bar.right);
    } else {
      b.bottom = r.bottom - at;
      b.top = std::max<int>(b.bottom - block, bar.top);
    }
    FillWith(dc, b, clHighlight);
  }
}

// ---- TTrackBar ----

const TClassInfo& TTrackBar::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TTrackBar>("TTrackBar", &TWinControl::StaticClassInfo(), [](TPublished<TTrackBar>& p) {
        p.Integer("Frequency", &TTrackBar::Frequency, &TTrackBar::SetFrequency)
            .Integer("LineSize", &TTrackBar::LineSize, &TTrackBar::SetLineSize)
            .Integer("Max", &TTrackBar::Max, &TTrackBar::SetMax)
            .Integer("Min", &TTrackBar::Min, &TTrackBar::SetMin)
            .Enumeration("Orientation", kTrackOrientationNames, &TTrackBar::Orientation, &TTrackBar::SetOrientation)
            .Integer("PageSize", &TTrackBar::PageSize, &TTrackBar::SetPageSize)
            .Integer("Position", &TTrackBar::Position, &TTrackBar::SetPosition)
            .Event("OnChange", &TTrackBar::OnChange);
      });
  return info;
}

TTrackBar::TTrackBar(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetBounds(0, 0, 150, 45);
}

void TTrackBar::SetMin(int32_t v) {
  min_ = v;
  SetPosition(position_);
  Invalidate();
}
void TTrackBar::SetMax(int32_t v) {
  max_ = v;
  SetPosition(position_);
  Invalidate();
}
void TTrackBar::SetFrequency(int32_t v) {
  frequency_ = v;
  Invalidate();
}
void TTrackBar::SetOrientation(TTrackBarOrientation o) {
  orientation_ = o;
  Invalidate();
}

void TTrackBar::SetPosition(int32_t v) {
  v = std::clamp(v, min_, std::max(min_, max_));
  if (v == position_) return;
  position_ = v;
  Invalidate();
  if (OnChange && !ComponentState().Contains(csLoading)) OnChange(this);
}

RECT TTrackBar::Channel() const {
  const RECT c = ClientRect();
  if (orientation_ == trHorizontal) return RECT{12, 12, c.right - 12, 16};
  return RECT{12, 12, 16, c.bottom - 12};
}

RECT TTrackBar::ThumbRect() const {
  const RECT ch = Channel();
  if (orientation_ == trHorizontal) {
    const int x = ch.left + Scale(position_, min_, max_, ch.right - ch.left);
    return RECT{x - 5, ch.top - 8, x + 6, ch.bottom + 8};
  }
  const int y = ch.top + Scale(position_, min_, max_, ch.bottom - ch.top);
  return RECT{ch.left - 8, y - 5, ch.right + 8, y + 6};
}

int32_t TTrackBar::PositionAt(int x, int y) const {
  const RECT ch = Channel();
  if (orientation_ == trHorizontal)
    return Unscale(std::clamp<int>(x - ch.left, 0, ch.right - ch.left), ch.right - ch.left, min_, max_);
  return Unscale(std::clamp<int>(y - ch.top, 0, ch.bottom - ch.top), ch.bottom - ch.top, min_, max_);
}

void TTrackBar::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
    case WM_LBUTTONUP: dragging_ = false; break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TTrackBar::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  switch (key) {
    case VK_LEFT:
    case VK_UP: SetPosition(position_ - lineSize_); break;
    case VK_RIGHT:
    case VK_DOWN: SetPosition(position_ + lineSize_); break;
    case VK_PRIOR: SetPosition(position_ - pageSize_); break;
    case VK_NEXT: SetPosition(position_ + pageSize_); break;
    case VK_HOME: SetPosition(min_); break;
    case VK_END: SetPosition(max_); break;
    default: return;
  }
  key = 0;
}

void TTrackBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  const RECT thumb = ThumbRect();
  if (PtInRect(&thumb, POINT{x, y})) {
    dragging_ = true;
    return;
  }
  // A click beside the thumb moves it by a page towards the click.
  const int32_t target = PositionAt(x, y);
  SetPosition(target < position_ ? std::max(position_ - pageSize_, target) : std::min(position_ + pageSize_, target));
}

void TTrackBar::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (dragging_ && shift.Contains(ssLeft)) SetPosition(PositionAt(x, y));
}

bool TTrackBar::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (TWinControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  SetPosition(position_ - wheelDelta / WHEEL_DELTA * lineSize_);
  return true;
}

void TTrackBar::PaintWindow(HDC dc) {
  const RECT client = ClientRect();
  FillWith(dc, client, Color() == clWindow ? clBtnFace : Color());
  RECT ch = Channel();
  DrawEdge(dc, &ch, EDGE_SUNKEN, BF_RECT);
  // Ticks every Frequency steps.
  TPen pen;
  pen.SetColor(clBtnText);
  HGDIOBJ old = SelectObject(dc, pen.Handle());
  const int64_t span = int64_t{max_} - min_;
  if (frequency_ > 0 && span > 0 && span / frequency_ <= 1000)
    for (int64_t v = min_; v <= max_; v += frequency_) {
      if (orientation_ == trHorizontal) {
        const int x = ch.left + Scale(static_cast<int32_t>(v), min_, max_, ch.right - ch.left);
        MoveToEx(dc, x, ch.bottom + 12, nullptr);
        LineTo(dc, x, ch.bottom + 16);
      } else {
        const int y = ch.top + Scale(static_cast<int32_t>(v), min_, max_, ch.bottom - ch.top);
        MoveToEx(dc, ch.right + 12, y, nullptr);
        LineTo(dc, ch.right + 16, y);
      }
    }
  SelectObject(dc, old);
  RECT thumb = ThumbRect();
  FillWith(dc, thumb, clBtnFace);
  DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
  if (Focused()) {
    RECT focus = client;
    InflateRect(&focus, -1, -1);
    DrawFocusRect(dc, &focus);
  }
}

// ---- TUpDown ----

const TClassInfo& TUpDown::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TUpDown>("TUpDown", &TCustomControl::StaticClassInfo(), [](TPublished<TUpDown>& p) {
        p.Reference<TWinControl>("Associate", &TUpDown::Associate, &TUpDown::SetAssociate)
            .Integer("Increment", &TUpDown::Increment, &TUpDown::SetIncrement)
            .Integer("Max", &TUpDown::Max, &TUpDown::SetMax)
            .Integer("Min", &TUpDown::Min, &TUpDown::SetMin)
            .Enumeration("Orientation", kUDOrientationNames, &TUpDown::Orientation, &TUpDown::SetOrientation)
            .Integer("Position", &TUpDown::Position, &TUpDown::SetPosition)
            .Boolean("Thousands", &TUpDown::Thousands, &TUpDown::SetThousands)
            .Boolean("Wrap", &TUpDown::Wrap, &TUpDown::SetWrap);
      });
  return info;
}

TUpDown::TUpDown(TComponent* owner) : TCustomControl(owner) {
  SetBounds(0, 0, 17, 25);
  SetControlStyle(ControlStyle() - csDoubleClicks - csClickEvents);
}

void TUpDown::SetOrientation(TUDOrientation o) {
  orientation_ = o;
  Invalidate();
}

void TUpDown::SetPosition(int32_t v) {
  position_ = std::clamp(v, std::min(min_, max_), std::max(min_, max_));
  UpdateAssociate();
}

void TUpDown::UpdateAssociate() {
  if (!associate_) return;
  std::string text = IntToStr(position_);
  if (thousands_ && std::abs(position_) >= 1000) {
    const bool negative = position_ < 0;
    std::string digits = IntToStr(std::abs(int64_t{position_}));
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(i, 1, FormatSettings.ThousandSeparator);
    text = (negative ? "-" : "") + digits;
  }
  associate_->SetText(text);
}

void TUpDown::SetAssociate(TWinControl* control) {
  associate_ = control;
  if (!control) return;
  control->FreeNotification(this);
  if (control->Parent() && Parent() != control->Parent()) SetParent(control->Parent());
  SetBounds(control->Left() + control->Width(), control->Top(), Width(), control->Height());
  UpdateAssociate();
}

void TUpDown::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == associate_) associate_ = nullptr;
}

void TUpDown::Step(TUDBtnType button) {
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  int64_t next = int64_t{position_} + (button == btNext ? increment_ : -int64_t{increment_});
  if (next > max_) next = wrap_ ? min_ : max_;
  if (next < min_) next = wrap_ ? max_ : min_;
  SetPosition(static_cast<int32_t>(next));
  if (OnClick) OnClick(this, button);
}

void TUpDown::WndProc(TMessage& m) {
  if (m.Msg == WM_LBUTTONUP) pressed_ = -1, Invalidate();
  TCustomControl::WndProc(m);
}

void TUpDown::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  const bool first = orientation_ == udVertical ? y < Height() / 2 : x >= Width() / 2;
  pressed_ = first ? 0 : 1;
  Invalidate();
  Step(first ? btNext : btPrev);
}

void TUpDown::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  pressed_ = -1;
  Invalidate();
}

void TUpDown::Paint() {
  HDC dc = Canvas()->Handle();
  RECT r = ClientRect();
  RECT a = r, b = r;
  if (orientation_ == udVertical) {
    a.bottom = b.top = r.bottom / 2;
    DrawFrameControl(dc, &a, DFC_SCROLL, DFCS_SCROLLUP | (pressed_ == 0 ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &b, DFC_SCROLL, DFCS_SCROLLDOWN | (pressed_ == 1 ? DFCS_PUSHED : 0));
  } else {
    a.right = b.left = r.right / 2;
    DrawFrameControl(dc, &a, DFC_SCROLL, DFCS_SCROLLLEFT | (pressed_ == 1 ? DFCS_PUSHED : 0));
    DrawFrameControl(dc, &b, DFC_SCROLL, DFCS_SCROLLRIGHT | (pressed_ == 0 ? DFCS_PUSHED : 0));
  }
}

// ---- TScrollBar ----

const TClassInfo& TScrollBar::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TScrollBar>("TScrollBar", &TWinControl::StaticClassInfo(), [](TPublished<TScrollBar>& p) {
        p.Enumeration("Kind", kScrollKindNames, &TScrollBar::Kind, &TScrollBar::SetKind)
            .Integer("LargeChange", &TScrollBar::LargeChange, &TScrollBar::SetLargeChange)
            .Integer("Max", &TScrollBar::Max, &TScrollBar::SetMax)
            .Integer("Min", &TScrollBar::Min, &TScrollBar::SetMin)
            .Integer("PageSize", &TScrollBar::PageSize, &TScrollBar::SetPageSize)
            .Integer("Position", &TScrollBar::Position, &TScrollBar::SetPosition)
            .Integer("SmallChange", &TScrollBar::SmallChange, &TScrollBar::SetSmallChange)
            .Event("OnChange", &TScrollBar::OnChange)
            .Event("OnScroll", &TScrollBar::OnScroll);
      });
  return info;
}

TScrollBar::TScrollBar(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetBounds(0, 0, 121, 17);
  SetControlStyle(ControlStyle() - csClickEvents - csDoubleClicks);
}

void TScrollBar::SetKind(TScrollBarKind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  SetBounds(Left(), Top(), Height(), Width());
}

void TScrollBar::SetParams(int32_t position, int32_t min, int32_t max) {
  if (max < min) throw EInvalidOperation("Scroll bar property out of range");
  min_ = min;
  max_ = max;
  position = std::clamp(position, min, std::max(min, max - std::max(pageSize_ - 1, 0)));
  const bool changed = position != position_;
  position_ = position;
  Invalidate();
  if (changed && OnChange && !ComponentState().Contains(csLoading)) OnChange(this);
}

void TScrollBar::SetPageSize(int32_t v) {
  pageSize_ = std::clamp(v, 0, std::max(max_ - min_ + 1, 0));
  SetParams(position_, min_, max_);
}

int TScrollBar::Length() const { return kind_ == sbHorizontal ? Width() : Height(); }
int TScrollBar::Breadth() const { return kind_ == sbHorizontal ? Height() : Width(); }

RECT TScrollBar::ThumbRect() const {
  const int arrow = Breadth(), track = std::max(Length() - 2 * arrow, 0);
  const int64_t range = int64_t{max_} - min_ + 1;
  const int thumb = pageSize_ > 0 ? std::max<int>(static_cast<int>(track * pageSize_ / range), 8) : std::min(arrow, track);
  const int travel = std::max(track - thumb, 0);
  const int32_t top = std::max(max_ - std::max(pageSize_ - 1, 0), min_);
  const int at = arrow + Scale(position_, min_, top, travel);
  return kind_ == sbHorizontal ? RECT{at, 0, at + thumb, Height()} : RECT{0, at, Width(), at + thumb};
}

void TScrollBar::Scroll(TScrollCode code, int32_t position) {
  if (OnScroll) OnScroll(this, code, position);
  SetPosition(position);
}

void TScrollBar::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  switch (key) {
    case VK_LEFT:
    case VK_UP: Scroll(scLineUp, position_ - smallChange_); break;
    case VK_RIGHT:
    case VK_DOWN: Scroll(scLineDown, position_ + smallChange_); break;
    case VK_PRIOR: Scroll(scPageUp, position_ - largeChange_); break;
    case VK_NEXT: Scroll(scPageDown, position_ + largeChange_); break;
    case VK_HOME: Scroll(scTop, min_); break;
    case VK_END: Scroll(scBottom, max_); break;
    default: return;
  }
  key = 0;
}

void TScrollBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  const int along = kind_ == sbHorizontal ? x : y, arrow = Breadth();
  const RECT thumb = ThumbRect();
  const int thumbStart = kind_ == sbHorizontal ? thumb.left : thumb.top;
  const int thumbEnd = kind_ == sbHorizontal ? thumb.right : thumb.bottom;
  if (along < arrow) Scroll(scLineUp, position_ - smallChange_);
  else if (along >= Length() - arrow) Scroll(scLineDown, position_ + smallChange_);
  else if (along < thumbStart) Scroll(scPageUp, position_ - largeChange_);
  else if (along >= thumbEnd) Scroll(scPageDown, position_ + largeChange_);
  else dragOffset_ = along - thumbStart;
}

void TScrollBar::MouseMove(TShiftState shift, int x, int y) {
  TWinControl::MouseMove(shift, x, y);
  if (dragOffset_ < 0 || !shift.Contains(ssLeft)) return;
  const RECT thumb = ThumbRect();
  const int thumbSize = kind_ == sbHorizontal ? thumb.right - thumb.left : thumb.bottom - thumb.top;
  const int travel = std::max(Length() - 2 * Breadth() - thumbSize, 1);
  const int at = (kind_ == sbHorizontal ? x : y) - dragOffset_ - Breadth();
  const int32_t top = std::max(max_ - std::max(pageSize_ - 1, 0), min_);
  Scroll(scTrack, Unscale(std::clamp(at, 0, travel), travel, min_, top));
}

void TScrollBar::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseUp(button, shift, x, y);
  if (dragOffset_ >= 0) {
    dragOffset_ = -1;
    Scroll(scEndScroll, position_);
  }
}

void TScrollBar::PaintWindow(HDC dc) {
  const RECT r = ClientRect();
  FillWith(dc, r, clScrollBar);
  const int arrow = Breadth();
  RECT first = kind_ == sbHorizontal ? RECT{0, 0, arrow, r.bottom} : RECT{0, 0, r.right, arrow};
  RECT last = kind_ == sbHorizontal ? RECT{r.right - arrow, 0, r.right, r.bottom} : RECT{0, r.bottom - arrow, r.right, r.bottom};
  DrawFrameControl(dc, &first, DFC_SCROLL, kind_ == sbHorizontal ? DFCS_SCROLLLEFT : DFCS_SCROLLUP);
  DrawFrameControl(dc, &last, DFC_SCROLL, kind_ == sbHorizontal ? DFCS_SCROLLRIGHT : DFCS_SCROLLDOWN);
  RECT thumb = ThumbRect();
  FillWith(dc, thumb, clBtnFace);
  DrawEdge(dc, &thumb, EDGE_RAISED, BF_RECT);
}

// ---- TTabSheet ----

const TClassInfo& TTabSheet::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TTabSheet>("TTabSheet", &TWinControl::StaticClassInfo(), [](TPublished<TTabSheet>& p) {
        p.Integer("PageIndex", &TTabSheet::PageIndex, &TTabSheet::SetPageIndex)
            .Boolean("TabVisible", &TTabSheet::TabVisible, &TTabSheet::SetTabVisible);
      });
  return info;
}

TTabSheet::TTabSheet(TComponent* owner) : TWinControl(owner) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  SetColor(clBtnFace);
  SetParentColor(true);
  TControl::SetVisible(false);
  SetAlign(alClient);
}

TTabSheet::~TTabSheet() { SetPageControl(nullptr); }

void TTabSheet::SetPageControl(TPageControl* pageControl) {
  if (pageControl == pageControl_) return;
  if (pageControl_) {
    TPageControl* old = pageControl_;
    pageControl_ = nullptr;
    std::erase(old->pages_, this);
    if (old->activePage_ == this) {
      old->activePage_ = nullptr;
      if (!old->pages_.empty() && !old->ComponentState().Contains(csDestroying)) old->SetActivePage(old->pages_.front());
    }
    old->Invalidate();
  }
  pageControl_ = pageControl;
  if (pageControl) {
    pageControl->pages_.push_back(this);
    SetParent(pageControl);
    if (!pageControl->activePage_) pageControl->SetActivePage(this);
    pageControl->Invalidate();
  }
}

int32_t TTabSheet::PageIndex() const {
  if (!pageControl_) return -1;
  auto& pages = pageControl_->pages_;
  return static_cast<int32_t>(std::find(pages.begin(), pages.end(), this) - pages.begin());
}

void TTabSheet::SetPageIndex(int32_t index) {
  if (!pageControl_) return;
  auto& pages = pageControl_->pages_;
  std::erase(pages, this);
  index = std::clamp<int32_t>(index, 0, static_cast<int32_t>(pages.size()));
  pages.insert(pages.begin() + index, this);
  pageControl_->Invalidate();
}

void TTabSheet::SetTabVisible(bool v) {
  tabVisible_ = v;
  if (pageControl_) pageControl_->Invalidate();
}

int32_t TTabSheet::TabIndex() const {
  if (!pageControl_ || !tabVisible_) return -1;
  int32_t index = 0;
  for (TTabSheet* p : pageControl_->pages_) {
    if (p == this) return index;
    if (p->tabVisible_) ++index;
  }
  return -1;
}

void TTabSheet::PaintWindow(HDC dc) { FillWith(dc, ClientRect(), Color()); }

// ---- TPageControl ----

const TClassInfo& TPageControl::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPageControl>("TPageControl", &TWinControl::StaticClassInfo(), [](TPublished<TPageControl>& p) {
        p.Reference<TTabSheet>("ActivePage", &TPageControl::ActivePage, &TPageControl::SetActivePage)
            .Event("OnChange", &TPageControl::OnChange)
            .Event("OnChanging", &TPageControl::OnChanging);
      });
  return info;
}

TPageControl::TPageControl(TComponent* owner) : TWinControl(owner) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetControlStyle(ControlStyle() + csAcceptsControls);
  SetColor(clBtnFace);
  SetParentColor(true);
  SetBounds(0, 0, 289, 193);
}

TPageControl::~TPageControl() {
  Destroying();
  for (TTabSheet* page : pages_) page->pageControl_ = nullptr;
  pages_.clear();
  activePage_ = nullptr;
}

int32_t TPageControl::ActivePageIndex() const {
  return activePage_ ? activePage_->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int32_t index) {
  SetActivePage(index >= 0 && index < PageCount() ? pages_[index] : nullptr);
}

void TPageControl::SetActivePage(TTabSheet* page) {
  if (page && page->pageControl_ != this) return;
  if (page == activePage_) return;
  TTabSheet* old = activePage_;
  activePage_ = page;
  if (page) {
    page->SetVisible(true);
    page->BringToFront();
  }
  if (old) old->SetVisible(false);
  Realign();
  Invalidate();
}

void TPageControl::ChangePage(TTabSheet* page) {
  if (!page || page == activePage_) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (!allow) return;
  SetActivePage(page);
  if (OnChange) OnChange(this);
}

TTabSheet* TPageControl::FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const {
  const int n = PageCount();
  if (n == 0) return nullptr;
  auto it = std::find(pages_.begin(), pages_.end(), current);
  const int start = it == pages_.end() ? (goForward ? n - 1 : 0) : static_cast<int>(it - pages_.begin());
  for (int step = 1; step <= n; ++step) {
    TTabSheet* p = pages_[((goForward ? start + step : start - step) % n + n) % n];
    if (!checkTabVisible || p->tabVisible_) return p;
  }
  return nullptr;
}

void TPageControl::SelectNextPage(bool goForward) { ChangePage(FindNextPage(activePage_, goForward, true)); }

RECT TPageControl::TabRect(int32_t page) const {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  int x = 2;
  RECT result{0, 0, 0, 0};
  for (int32_t i = 0; i < PageCount(); ++i) {
    if (!pages_[i]->tabVisible_) continue;
    SIZE size{};
    GetTextExtentPoint32(dc, pages_[i]->Caption(), &size);
    const RECT r{x, 2, x + size.cx + 16, TabHeight()};
    if (i == page) {
      result = r;
      break;
    }
    x = r.right;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return result;
}

void TPageControl::AdjustClientRect(RECT& r) const {
  r.top += TabHeight();
  InflateRect(&r, -4, -4);
}

void TPageControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS; return;
    case CM_DIALOGKEY:
      // Ctrl+Tab and Ctrl+Shift+Tab turn the pages when the focus lies inside.
      if (m.WParam == VK_TAB && GetShiftState().Contains(ssCtrl) && GetParentForm() &&
          ContainsControl(GetParentForm()->ActiveControl())) {
        SelectNextPage(!GetShiftState().Contains(ssShift));
        m.Result = 1;
        return;
      }
      break;
    case CM_DIALOGCHAR:
      for (TTabSheet* p : pages_)
        if (p->tabVisible_ && CanFocus()) {
          const std::string& c = p->Caption();
          const size_t amp = c.find('&');
          if (amp != std::string::npos && amp + 1 < c.size() && m.WParam < 128 &&
              std::toupper(static_cast<unsigned char>(c[amp + 1])) == std::toupper(static_cast<int>(m.WParam))) {
            ChangePage(p);
            m.Result = 1;
            return;
          }
        }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TPageControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  for (int32_t i = 0; i < PageCount(); ++i) {
    const RECT r = TabRect(i);
    if (pages_[i]->tabVisible_ && PtInRect(&r, POINT{x, y})) {
      ChangePage(pages_[i]);
      return;
    }
  }
}

void TPageControl::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == VK_LEFT || key == VK_RIGHT) {
    SelectNextPage(key == VK_RIGHT);
    key = 0;
  }
}

void TPageControl::PaintWindow(HDC dc) {
  const RECT client = ClientRect();
  FillWith(dc, client, Color());
  RECT body{0, TabHeight() - 1, client.right, client.bottom};
  DrawEdge(dc, &body, EDGE_RAISED, BF_RECT);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  for (int32_t i = 0; i < PageCount(); ++i) {
    if (!pages_[i]->tabVisible_) continue;
    RECT r = TabRect(i);
    const bool active = pages_[i] == activePage_;
    if (!active) r.top += 2;
    else InflateRect(&r, 2, 0);
    FillWith(dc, r, Color());
    RECT edge = r;
    edge.bottom += active ? 1 : 0;
    DrawEdge(dc, &edge, EDGE_RAISED, BF_LEFT | BF_TOP | BF_RIGHT);
    DrawText(dc, pages_[i]->Caption(), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    if (active && Focused()) {
      RECT focus = r;
      InflateRect(&focus, -3, -3);
      DrawFocusRect(dc, &focus);
    }
  }
  SelectObject(dc, old);
}
