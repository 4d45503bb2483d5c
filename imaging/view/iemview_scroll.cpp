// The thumbnail view: layout, scroll position and bars, window messages.
#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "imaging/view/iemview.h"
#include "platform/win/user_paint.h"

TIEMGridGeometry TImageryMView::Geometry() const {
  TIEMGridGeometry g;
  g.ClientWidth = ClientWidth();
  g.ClientHeight = ClientHeight();
  g.RawThumbWidth = thumbWidth_;
  g.RawThumbHeight = thumbHeight_;
  g.Zoom = zoom_;
  g.HorizBorder = horizBorder_;
  g.VertBorder = vertBorder_;
  g.Columns = effectiveGrid_;
  g.FlatAndWide = style_ == iemsFlatAndWide;
  g.CenterColumn = displayMode_ == mdGrid && (ThumbnailOptionsEx & ietxCenterThumbnailColumn) != 0;
  g.SingleMode = displayMode_ == mdSingle;
  g.Count = GetImageCount();
  return g;
}

int32_t TImageryMView::ThumbWidth() const { return IEMCellWidth(Geometry()); }
int32_t TImageryMView::ThumbHeight() const { return IEMCellHeight(Geometry()); }
int32_t TImageryMView::InfoWidth() const { return IEMInfoWidth(Geometry()); }
int32_t TImageryMView::ColumnCount() const { return IEMColumnCount(Geometry()); }
int32_t TImageryMView::RowCount() const { return IEMRowCount(Geometry()); }

void TImageryMView::SetThumbWidth(int32_t value) {
  thumbWidth_ = std::max(0, value);
  Update();
}

void TImageryMView::SetThumbHeight(int32_t value) {
  thumbHeight_ = std::max(0, value);
  Update();
}

void TImageryMView::SetHorizBorder(int32_t value) {
  horizBorder_ = std::max(0, value);
  Update();
}

void TImageryMView::SetVertBorder(int32_t value) {
  vertBorder_ = std::max(0, value);
  Update();
}

void TImageryMView::SetGridWidth(int32_t value) {
  gridWidth_ = std::max(-1, value);
  effectiveGrid_ = gridWidth_;
  Update();
}

void TImageryMView::SetZoom(double value) {
  value = IEMClampZoom(value);
  effectiveGrid_ = gridWidth_;
  if (value != 100) effectiveGrid_ = ColumnCount();
  const double old = zoom_;
  viewX_ = static_cast<int32_t>(std::lround(viewX_ / (old / 100) * value / 100));
  viewY_ = static_cast<int32_t>(std::lround(viewY_ / (old / 100) * value / 100));
  zoom_ = value;
  Update();
}

void TImageryMView::SetDisplayMode(TIEMDisplayMode value) {
  displayMode_ = value;
  Update();
}

void TImageryMView::SetVisibleFrame(int32_t index) {
  if (index == visibleFrame_ || index < 0 || index >= GetImageCount()) return;
  visibleFrame_ = index;
  RefreshView();
}

void TImageryMView::SetScrollBars(TScrollStyle value) {
  scrollBars_ = value;
  if (HandleAllocated()) {
    if (value != ssVertical && value != ssBoth) IEShowScrollBar(Handle(), SB_HORZ, false, false);
    if (value != ssHorizontal && value != ssBoth) IEShowScrollBar(Handle(), SB_VERT, false, false);
  }
  RefreshView();
}

void TImageryMView::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TIEView::SetBounds(left, top, width, height);
}

// ---- layout -----------------------------------------------------------------------------------

void TImageryMView::LayoutImages() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  std::vector<TIEMCell> cells;
  IEMLayoutCells(Geometry(), cells, extentX_, extentY_);
  for (size_t i = 0; i < cells.size(); ++i) {
    TIEMImageInfo& e = *entries_[i];
    e.X = cells[i].X;
    e.Y = cells[i].Y;
    e.Row = cells[i].Row;
    e.Col = cells[i].Col;
  }
}

int32_t TImageryMView::MaxViewX() const { return std::max(extentX_ - ClientWidth(), 0); }
int32_t TImageryMView::MaxViewY() const { return std::max(extentY_ - ClientHeight(), 0); }

void TImageryMView::ClampView() {
  const int32_t x = std::clamp(viewX_, 0, MaxViewX()), y = std::clamp(viewY_, 0, MaxViewY());
  if (x == viewX_ && y == viewY_) return;
  viewX_ = x;
  viewY_ = y;
  DoViewChange();
}

void TImageryMView::UpdateScrollBars() {
  HWND window = Handle();
  auto setBar = [&](int bar, int32_t maximum, int32_t client, int32_t position, double& ratio) {
    if (maximum <= 0) {
      IEShowScrollBar(window, bar, false, false);
      return;
    }
    ratio = (client + maximum - 1) / 65536.0;
    SCROLLINFO info{};
    info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    info.nMin = 0;
    info.nMax = 65535;
    info.nPage = static_cast<UINT>(std::trunc(client / ratio));
    info.nPos = static_cast<int>(std::trunc(position / ratio));
    IESetScrollInfo(window, bar, info, false, true);
    IEEnableScrollBar(window, bar, ESB_ENABLE_BOTH, false);
    IEShowScrollBar(window, bar, true, false);
  };
  try {
    if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth)
      setBar(SB_HORZ, MaxViewX(), ClientWidth(), viewX_, hRatio_);
    if (scrollBars_ == ssVertical || scrollBars_ == ssBoth)
      setBar(SB_VERT, MaxViewY(), ClientHeight(), viewY_, vRatio_);
  } catch (...) {
    // A failing scroll bar leaves the view as it is.
  }
}

void TImageryMView::RefreshView(bool dropCaches, bool scrollToSelection) {
  if (Locked() || layoutRunning_ || destroying_ || !HandleAllocated() || !Parent()) return;
  layoutRunning_ = true;
  window_ = Handle();
  if (dropCaches) DropCacheImages();
  LayoutImages();
  for (int pass = 0; pass < 9; ++pass) {
    const int32_t w = ClientWidth(), h = ClientHeight();
    ClampView();
    UpdateScrollBars();
    if (w == ClientWidth() && h == ClientHeight()) break;
    // A bar shown or hidden changed the client area: lay out again.
    if (effectiveGrid_ < 0 || style_ == iemsFlatAndWide) LayoutImages();
  }
  NoteVisibleArea();
  NotifyBitmapChangeHandlers();
  layoutRunning_ = false;
  if (scrollToSelection) ScrollSelectedIntoView();
  Invalidate();
}

void TImageryMView::Update() { RefreshView(true, false); }

// ---- scroll position ------------------------------------------------------------------------

void TImageryMView::SetViewAxes(int32_t x, int32_t y, bool setX, bool setY) {
  const int32_t nx = setX ? std::clamp(x, 0, MaxViewX()) : viewX_;
  const int32_t ny = setY ? std::clamp(y, 0, MaxViewY()) : viewY_;
  if (nx == viewX_ && ny == viewY_) return;
  viewX_ = nx;
  viewY_ = ny;
  NoteVisibleArea();
  Invalidate();
  if (!HandleAllocated()) return;
  if (setX && (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth))
    IESetScrollPos(Handle(), SB_HORZ, static_cast<int32_t>(std::trunc(viewX_ / hRatio_)), false, true);
  if (setY && (scrollBars_ == ssVertical || scrollBars_ == ssBoth))
    IESetScrollPos(Handle(), SB_VERT, static_cast<int32_t>(std::trunc(viewY_ / vRatio_)), false, true);
}

void TImageryMView::SetViewX(int32_t x) { SetViewAxes(x, 0, true, false); }
void TImageryMView::SetViewY(int32_t y) { SetViewAxes(0, y, false, true); }
void TImageryMView::SetViewXY(int32_t x, int32_t y) {
  if (Parent()) SetViewAxes(x, y, true, true);
}

void TImageryMView::DoViewChange() {
  if (userAction_ && OnViewChange) OnViewChange(this, 0);
}

// ---- hit test and visibility ----------------------------------------------------------------

int32_t TImageryMView::ImageAtPos(int32_t x, int32_t y, bool exact) {
  std::vector<TIEMCell> cells(entries_.size());
  for (size_t i = 0; i < entries_.size(); ++i)
    cells[i] = TIEMCell{entries_[i]->X, entries_[i]->Y, entries_[i]->Row, entries_[i]->Col};
  return IEMEntryAtPoint(Geometry(), cells, x + viewX_, y + viewY_, exact, false, visibleFrame_);
}

bool TImageryMView::IsImageVisible(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  if (!e) return false;
  if (displayMode_ == mdSingle) return index == std::clamp(visibleFrame_, 0, GetImageCount() - 1);
  const TIEMGridGeometry g = Geometry();
  const int32_t x = e->X - viewX_, y = e->Y - viewY_;
  return x + IEMCellWidth(g) > 0 && y + IEMCellHeight(g) > 0 && x <= ClientWidth() - 1 && y <= ClientHeight() - 1;
}

int32_t TImageryMView::IsImageFullyVisible(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  const TIEMGridGeometry g = Geometry();
  const int32_t x = e->X - viewX_, y = e->Y - viewY_;
  return IERectContainment(0, 0, ClientWidth() - 1, ClientHeight() - 1, x, y, x + IEMCellWidth(g) - 1,
                           y + IEMCellHeight(g) - 1);
}

void TImageryMView::ScrollSelectedIntoView() {
  const TIEMImageInfo* e = Entry(selectedIndex_);
  if (Locked() || !Parent() || !e) return;
  const TIEMGridGeometry g = Geometry();
  const int32_t cw = IEMCellWidth(g), ch = IEMCellHeight(g);
  int32_t x = viewX_, y = viewY_;
  if (e->Col == 0)
    x = 0;
  else if (e->X < viewX_)
    x = e->X;
  else if (e->X + cw > viewX_ + ClientWidth())
    x = e->X + cw - ClientWidth();
  if (e->Row == 0)
    y = 0;
  else if (e->Y < viewY_)
    y = e->Y;
  else if (e->Y + ch > viewY_ + ClientHeight())
    y = e->Y + ch - ClientHeight();
  SetViewXY(x, y);
}

// ---- messages ---------------------------------------------------------------------------------

void TImageryMView::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE:
      TIEView::WndProc(message);
      effectiveGrid_ = gridWidth_;
      if (zoom_ != 100) effectiveGrid_ = ColumnCount();
      RefreshView();
      return;
    case WM_ERASEBKGND: message.Result = 0; return;
    // The arrows move the selection, as in a list, not the focus to the next control.
    case WM_GETDLGCODE: message.Result = DLGC_WANTARROWS; return;
    case WM_HSCROLL: return WMScroll(message, true);
    case WM_VSCROLL: return WMScroll(message, false);
    case WM_MOUSEWHEEL: return WMMouseWheel(message);
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      TIEView::WndProc(message);
      Invalidate();
      return;
    default: TIEView::WndProc(message);
  }
}

void TImageryMView::WMScroll(TMessage& message, bool horizontal) {
  TIEView::WndProc(message);
  userAction_ = true;
  const TIEMGridGeometry g = Geometry();
  const int32_t code = LOWORD(message.WParam), thumb = HIWORD(message.WParam);
  int32_t position = horizontal ? viewX_ : viewY_;
  const int32_t line = horizontal ? IEMColumnPitch(g) : IEMRowPitch(g);
  const int32_t page = horizontal ? ClientWidth() : ClientHeight();
  switch (code) {
    case SB_LINEUP: position -= line; break;
    case SB_LINEDOWN: position += line; break;
    case SB_PAGEUP: position -= page; break;
    case SB_PAGEDOWN: position += page; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = horizontal ? MaxViewX() : MaxViewY(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = static_cast<int32_t>(std::trunc(thumb * (horizontal ? hRatio_ : vRatio_))); break;
    default: break;
  }
  if (horizontal)
    SetViewX(position);
  else
    SetViewY(position);
  DoViewChange();
  userAction_ = false;
}

void TImageryMView::WMMouseWheel(TMessage& message) {
  TIEView::WndProc(message);
  const int16_t delta = static_cast<int16_t>(HIWORD(message.WParam));
  const int32_t direction = delta <= 0 ? 1 : -1;
  const TIEMGridGeometry g = Geometry();
  userAction_ = true;
  if (effectiveGrid_ != 0)
    SetViewY(viewY_ + direction * IEMRowPitch(g));
  else
    SetViewX(viewX_ + direction * IEMColumnPitch(g));
  DoViewChange();
  userAction_ = false;
  message.Result = 1;
}
