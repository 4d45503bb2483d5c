// TCustomListBox and TCustomComboBox with its edit and its drop-down list.
//
// Sections: TCustomListBox | combo parts | TCustomComboBox
#include <algorithm>

#include "platform/forms/stdctrls.h"
#include "platform/rtl/sysutils.h"

static const TEnumNames kListBoxStyleNames{"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"};
static const TEnumNames kComboStyleNames{"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed",
                                         "csOwnerDrawVariable"};

// Draws one row of a list in the standard way.
static void DrawListRow(TCanvas* c, const std::string& text, RECT r, TOwnerDrawState state) {
  const bool selected = state.Contains(odSelected);
  c->Brush()->SetStyle(bsSolid);
  c->Brush()->SetColor(selected ? clHighlight : clWindow);
  c->FillRect(r);
  c->Font()->SetColor(state.Contains(odDisabled) ? clGrayText : selected ? clHighlightText : clWindowText);
  c->Brush()->SetStyle(bsClear);
  RECT t = r;
  t.left += 2;
  DrawText(c->Handle(), text, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  if (state.Contains(odFocused)) {
    c->Brush()->SetStyle(bsSolid);
    c->DrawFocusRect(r);
  }
}

// ---- TCustomListBox ----

const TClassInfo& TCustomListBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomListBox>(
      "TCustomListBox", &TWinControl::StaticClassInfo(), [](TPublished<TCustomListBox>& p) {
        p.Object("Items", &TCustomListBox::Items)
            .Integer("ItemHeight", &TCustomListBox::ItemHeight, &TCustomListBox::SetItemHeight)
            .Integer("ItemIndex", &TCustomListBox::ItemIndex, &TCustomListBox::SetItemIndex)
            .Boolean("Sorted", &TCustomListBox::Sorted, &TCustomListBox::SetSorted)
            .Enumeration("Style", kListBoxStyleNames, &TCustomListBox::Style, &TCustomListBox::SetStyle);
      });
  return info;
}
const TClassInfo& TListBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TListBox>("TListBox", &TCustomListBox::StaticClassInfo());
  return info;
}

TCustomListBox::TCustomListBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TStringList>()), canvas_(std::make_unique<TCanvas>()) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetColor(clWindow);
  SetBounds(0, 0, 121, 97);
  SetControlStyle(ControlStyle() - csClickEvents);  // OnClick means a new selection
  items_->OnChange = [this](TObject*) { ItemsChanged(); };
}

TCustomListBox::~TCustomListBox() { items_->OnChange = nullptr; }

void TCustomListBox::ItemsChanged() {
  if (itemIndex_ >= Count()) itemIndex_ = Count() - 1;
  selected_.assign(static_cast<size_t>(Count()), false);
  topIndex_ = std::clamp(topIndex_, 0, std::max(Count() - 1, 0));
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::UpdateScrollBar() {
  if (!HandleAllocated()) return;
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMin = 0;
  info.nMax = std::max(Count() - 1, 0);
  info.nPage = static_cast<UINT>(VisibleRows());
  info.nPos = topIndex_;
  SetScrollInfo(Handle(), SB_VERT, &info, TRUE);
}

int32_t TCustomListBox::ScrolledTop(WORD code, int thumb) const {
  switch (code) {
    case SB_LINEUP: return topIndex_ - 1;
    case SB_LINEDOWN: return topIndex_ + 1;
    case SB_PAGEUP: return topIndex_ - VisibleRows();
    case SB_PAGEDOWN: return topIndex_ + VisibleRows();
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: return thumb;
    case SB_TOP: return 0;
    case SB_BOTTOM: return Count();
    default: return topIndex_;
  }
}

void TCustomListBox::SetItemIndex(int32_t index) {
  if (index < -1 || index >= Count()) return;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (index >= 0) MakeVisible(index);
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetMultiSelect(bool v) {
  multiSelect_ = v;
  selected_.assign(static_cast<size_t>(Count()), false);
  Invalidate();
}

bool TCustomListBox::Selected(int32_t index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  if (!multiSelect_) return index == itemIndex_;
  return index < static_cast<int32_t>(selected_.size()) && selected_[index];
}

void TCustomListBox::SetSelected(int32_t index, bool selected) {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  if (!multiSelect_) {
    if (selected) SetItemIndex(index);
    else if (index == itemIndex_) SetItemIndex(-1);
    return;
  }
  selected_.resize(static_cast<size_t>(Count()), false);
  selected_[index] = selected;
  Invalidate();
}

int32_t TCustomListBox::SelCount() const {
  if (!multiSelect_) return -1;
  return static_cast<int32_t>(std::count(selected_.begin(), selected_.end(), true));
}

void TCustomListBox::SetTopIndex(int32_t index) {
  topIndex_ = std::clamp(index, 0, std::max(Count() - VisibleRows(), 0));
  UpdateScrollBar();
  Invalidate();
}

// After a change of size: the rows fill the list down to its end and the
// selected row stays in sight.
void TCustomListBox::FitTopIndex() {
  if (itemIndex_ >= 0) MakeVisible(itemIndex_);
  SetTopIndex(topIndex_);
}

void TCustomListBox::SetItemHeight(int32_t h) {
  itemHeight_ = std::max(h, 1);
  UpdateScrollBar();
  Invalidate();
}

void TCustomListBox::SetStyle(TListBoxStyle s) {
  style_ = s;
  Invalidate();
}

int32_t TCustomListBox::VisibleRows() const {
  return std::max<int32_t>((ClientRect().bottom - 4) / itemHeight_, 1);
}

void TCustomListBox::MakeVisible(int32_t index) {
  if (index < topIndex_) topIndex_ = index;
  else if (index >= topIndex_ + VisibleRows()) topIndex_ = index - VisibleRows() + 1;
}

RECT TCustomListBox::ItemRect(int32_t index) const {
  const int top = 2 + (index - topIndex_) * itemHeight_;
  return RECT{2, top, ClientRect().right - 2, top + itemHeight_};
}

int32_t TCustomListBox::ItemAtPos(POINT p, bool existing) const {
  if (p.y < 2) return existing ? -1 : topIndex_;
  const int32_t index = topIndex_ + (p.y - 2) / itemHeight_;
  if (index < Count()) return index;
  return existing ? -1 : Count();
}

void TCustomListBox::Select(int32_t index) {
  if (index < 0 || index >= Count()) return;
  const bool changed = index != itemIndex_;
  SetItemIndex(index);
  if (changed) Click();
}

void TCustomListBox::DrawItem(int32_t index, RECT rect, TOwnerDrawState state) {
  if (style_ != lbStandard && OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  DrawListRow(canvas_.get(), items_->Strings(index), rect, state);
}

void TCustomListBox::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  RECT r = ClientRect();
  canvas_->Brush()->SetColor(Color());
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->FillRect(r);
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, 2, 2, r.right - 2, r.bottom - 2);
  for (int32_t i = topIndex_; i < Count() && i < topIndex_ + VisibleRows() + 1; ++i) {
    TOwnerDrawState state;
    if (multiSelect_ ? Selected(i) : i == itemIndex_) state.Include(odSelected);
    if (i == itemIndex_ && Focused()) state.Include(odFocused);
    if (!Enabled()) state.Include(odDisabled);
    canvas_->Font()->Assign(Font());
    DrawItem(i, ItemRect(i), state);
  }
  RestoreDC(dc, saved);
  canvas_->SetHandle(nullptr);
}

void TCustomListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: Invalidate(); break;
    case WM_VSCROLL:
      SetTopIndex(ScrolledTop(LOWORD(m.WParam), static_cast<int16_t>(HIWORD(m.WParam))));
      return;
    case WM_SIZE:
      TWinControl::WndProc(m);
      FitTopIndex();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TCustomListBox::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == 0 || Count() == 0) return;
  int32_t target = itemIndex_;
  switch (key) {
    case VK_UP: target = std::max(itemIndex_ - 1, 0); break;
    case VK_DOWN: target = std::min(itemIndex_ + 1, Count() - 1); break;
    case VK_HOME: target = 0; break;
    case VK_END: target = Count() - 1; break;
    case VK_PRIOR: target = std::max(itemIndex_ - VisibleRows() + 1, 0); break;
    case VK_NEXT: target = std::min(std::max(itemIndex_, 0) + VisibleRows() - 1, Count() - 1); break;
    default: return;
  }
  Select(target);
  key = 0;
}

void TCustomListBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  const int32_t index = ItemAtPos(POINT{x, y}, true);
  if (button == mbLeft && multiSelect_ && index >= 0) {
    selected_.resize(static_cast<size_t>(Count()), false);
    if (shift.Contains(ssShift) && anchor_ >= 0) {
      if (!shift.Contains(ssCtrl)) selected_.assign(selected_.size(), false);
      for (int32_t i = std::min(anchor_, index); i <= std::max(anchor_, index); ++i) selected_[i] = true;
    } else if (shift.Contains(ssCtrl)) {
      selected_[index] = !selected_[index];
      anchor_ = index;
    } else {
      selected_.assign(selected_.size(), false);
      selected_[index] = true;
      anchor_ = index;
    }
    itemIndex_ = -1;  // Select reports the change
    Select(index);
  } else if (button == mbLeft) {
    Select(index);
  }
  TWinControl::MouseDown(button, shift, x, y);
}

void TCustomListBox::MouseMove(TShiftState shift, int x, int y) {
  if (!multiSelect_ && shift.Contains(ssLeft) && ControlState().Contains(csLButtonDown)) {
    const int32_t index = ItemAtPos(POINT{x, y}, true);
    if (index >= 0) Select(index);
  }
  TWinControl::MouseMove(shift, x, y);
}

bool TCustomListBox::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (TWinControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  SetTopIndex(topIndex_ - wheelDelta / WHEEL_DELTA * 3);
  return true;
}

// ---- combo parts ----

// The edit part of a drop-down or simple combo box.
class TComboEdit : public TCustomEdit {
public:
  explicit TComboEdit(TCustomComboBox* combo) : TCustomEdit(nullptr), combo_(combo) {
    SetBorderStyle(bsNone);
    SetTabStop(false);
    SetParent(combo);
  }

protected:
  void Change() override {
    TCustomEdit::Change();
    if (!updating_) {
      combo_->text_ = GetText();
      combo_->itemIndex_ = combo_->items_->IndexOf(combo_->text_);
      combo_->Change();
    }
  }
  void KeyDown(WORD& key, TShiftState shift) override {
    // Up, Down, F4 and Alt+Down belong to the combo box.
    if (key == VK_UP || key == VK_DOWN || key == VK_F4 || key == VK_RETURN || key == VK_ESCAPE) {
      combo_->KeyDown(key, shift);
      if (key == 0) return;
    }
    TCustomEdit::KeyDown(key, shift);
  }

public:
  void SetTextQuietly(const std::string& text) {
    updating_ = true;
    SetText(text);
    updating_ = false;
  }

private:
  TCustomComboBox* combo_;
  bool updating_ = false;
};

// The list that drops down under a combo box; closes on a choice, Escape or a click elsewhere.
class TComboDropDown : public TCustomListBox {
public:
  explicit TComboDropDown(TCustomComboBox* combo) : TCustomListBox(nullptr), combo_(combo) {
    SetTabStop(false);
    SetFocusOnClick(false);
    SetControlStyle(ControlStyle() - csCaptureMouse);
    TControl::SetVisible(false);
    Items()->Assign(*combo->Items());
    SetItemHeight(combo->ItemHeight());
    SetItemIndex(combo->ItemIndex());
    OnDrawItem = combo->OnDrawItem ? TDrawItemEvent([combo](TWinControl*, int32_t i, RECT r, TOwnerDrawState s) {
      combo->DrawItem(i, r, s);
    })
                                   : TDrawItemEvent();
    if (combo->Style() == csOwnerDrawFixed || combo->Style() == csOwnerDrawVariable) SetStyle(lbOwnerDrawFixed);
  }

  void WndProc(TMessage& m) override {
    switch (m.Msg) {
      case CM_RELEASE: delete this; return;
      case WM_LBUTTONDOWN: {
        const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height()) {
          combo_->SetDroppedDown(false);
          return;
        }
        break;
      }
      case WM_LBUTTONUP: {
        const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        const int32_t index = ItemAtPos(p, true);
        if (p.x >= 0 && p.x < Width() && index >= 0) {
          combo_->CloseUpOn(index);
          return;
        }
        break;
      }
      case WM_MOUSEMOVE: {
        const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
        const int32_t index = ItemAtPos(p, true);
        if (index >= 0 && p.x >= 0 && p.x < Width()) SetItemIndex(index);
        break;
      }
      default: break;
    }
    TCustomListBox::WndProc(m);
  }

protected:
  void CreateParams(TCreateParams& p) override {
    TCustomListBox::CreateParams(p);
    p.Style = WS_POPUP | WS_BORDER;
    p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
    p.WndParent = nullptr;
  }
  void Select(int32_t index) override { SetItemIndex(index); }

private:
  TCustomComboBox* combo_;
};

// The list that a simple combo box shows all the time under its edit.
class TComboList : public TCustomListBox {
public:
  explicit TComboList(TCustomComboBox* combo) : TCustomListBox(nullptr), combo_(combo) {
    SetTabStop(false);
    SetParent(combo);
  }

protected:
  void Select(int32_t index) override {
    TCustomListBox::Select(index);
    combo_->ChooseItem(index);
  }

private:
  TCustomComboBox* combo_;
};

// ---- TCustomComboBox ----

const TClassInfo& TCustomComboBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomComboBox>(
      "TCustomComboBox", &TWinControl::StaticClassInfo(), [](TPublished<TCustomComboBox>& p) {
        p.Integer("DropDownCount", &TCustomComboBox::DropDownCount, &TCustomComboBox::SetDropDownCount)
            .Integer("ItemHeight", &TCustomComboBox::ItemHeight, &TCustomComboBox::SetItemHeight)
            .Integer("ItemIndex", &TCustomComboBox::ItemIndex, &TCustomComboBox::SetItemIndex)
            .Object("Items", &TCustomComboBox::Items)
            .Boolean("Sorted", &TCustomComboBox::Sorted, &TCustomComboBox::SetSorted)
            .Enumeration("Style", kComboStyleNames, &TCustomComboBox::Style, &TCustomComboBox::SetStyle)
            .Event("OnChange", &TCustomComboBox::OnChange)
            .Event("OnCloseUp", &TCustomComboBox::OnCloseUp)
            .Event("OnDropDown", &TCustomComboBox::OnDropDown)
            .Event("OnSelect", &TCustomComboBox::OnSelect);
      });
  return info;
}
const TClassInfo& TComboBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TComboBox>("TComboBox", &TCustomComboBox::StaticClassInfo());
  return info;
}

TCustomComboBox::TCustomComboBox(TComponent* owner)
    : TWinControl(owner), items_(std::make_unique<TStringList>()), canvas_(std::make_unique<TCanvas>()) {
  SetTabStop(true);
  SetFocusOnClick(true);
  SetColor(clWindow);
  SetBounds(0, 0, 145, 21);
  SetControlStyle(ControlStyle() - csClickEvents);
  items_->OnChange = [this](TObject*) {
    if (itemIndex_ >= items_->Count()) itemIndex_ = -1;
    if (list_) list_->Items()->Assign(*items_);
    Invalidate();
  };
  edit_ = new TComboEdit(this);
  LayoutEdit();
}

TCustomComboBox::~TCustomComboBox() {
  items_->OnChange = nullptr;
  if (dropDown_) {
    TComboDropDown* list = dropDown_;
    dropDown_ = nullptr;
    delete list;
  }
}

TCustomListBox* TCustomComboBox::DropDownList() const { return dropDown_; }

void TCustomComboBox::SetStyle(TComboBoxStyle s) {
  style_ = s;
  if (s == csSimple && !list_) {
    list_ = new TComboList(this);
    list_->Items()->Assign(*items_);
  } else if (s != csSimple && list_) {
    delete list_;
    list_ = nullptr;
  }
  LayoutEdit();
  Invalidate();
}

RECT TCustomComboBox::ButtonRect() const {
  const RECT r = ClientRect();
  return RECT{r.right - 2 - 17, 2, r.right - 2, r.bottom - 2};
}

void TCustomComboBox::LayoutEdit() {
  if (!edit_) return;
  const bool editable = style_ == csDropDown || style_ == csSimple;
  edit_->SetVisible(editable);
  const RECT b = ButtonRect();
  if (list_) {
    // A simple combo box: the edit on top, the list under it.
    edit_->SetBounds(3, 3, std::max(Width() - 6, 0), itemHeight_ + 2);
    list_->SetBounds(0, itemHeight_ + 8, Width(), std::max(Height() - itemHeight_ - 8, 0));
  } else {
    edit_->SetBounds(3, 3, std::max<int>(b.left - 4, 0), std::max(Height() - 6, 0));
  }
  edit_->SetReadOnly(!editable);
}

void TCustomComboBox::DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TWinControl::DoSetBounds(left, top, width, height);
  LayoutEdit();
}

std::string TCustomComboBox::GetText() const { return text_; }

void TCustomComboBox::SetText(const std::string& text) {
  text_ = text;
  itemIndex_ = items_->IndexOf(text);
  if (edit_) edit_->SetTextQuietly(text);
  Perform(CM_TEXTCHANGED);
}

void TCustomComboBox::SetItemIndex(int32_t index) {
  if (index < -1 || index >= items_->Count()) return;
  itemIndex_ = index;
  text_ = index >= 0 ? items_->Strings(index) : std::string();
  if (edit_) edit_->SetTextQuietly(text_);
  if (dropDown_) dropDown_->SetItemIndex(index);
  if (list_) list_->SetItemIndex(index);
  Invalidate();
}

void TCustomComboBox::ChooseItem(int32_t index) {
  if (index < 0 || index >= items_->Count()) return;
  const bool changed = index != itemIndex_;
  SetItemIndex(index);
  AnnounceChoice(changed);
}

void TCustomComboBox::CloseUpOn(int32_t index) {
  const bool chosen = index >= 0 && index < items_->Count();
  const bool changed = chosen && index != itemIndex_;
  if (chosen) SetItemIndex(index);
  SetDroppedDown(false);
  if (chosen) AnnounceChoice(changed);
}

void TCustomComboBox::AnnounceChoice(bool changed) {
  if (edit_ && edit_->Visible()) edit_->SelectAll();
  if (changed) Change();
  Select();
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}
void TCustomComboBox::Select() {
  if (OnSelect) OnSelect(this);
  else Click();
}
void TCustomComboBox::DropDown() {
  if (OnDropDown) OnDropDown(this);
}
void TCustomComboBox::CloseUp() {
  if (OnCloseUp) OnCloseUp(this);
}

void TCustomComboBox::SetDroppedDown(bool v) {
  if (v == DroppedDown() || style_ == csSimple) return;
  if (v) {
    DropDown();
    dropDown_ = new TComboDropDown(this);
    const int rows = std::clamp(items_->Count(), 1, dropDownCount_);
    const int width = DroppedListWidth(rows < items_->Count());
    POINT origin = ClientToScreen(POINT{0, Height()});
    // A list wider than the combo box stays on its monitor.
    MONITORINFO monitor;
    monitor.cbSize = sizeof(monitor);
    if (width > Width() && GetMonitorInfo(MonitorFromPoint(origin, MONITOR_DEFAULTTONEAREST), &monitor))
      origin.x = std::max<LONG>(std::min<LONG>(origin.x, monitor.rcWork.right - width), monitor.rcWork.left);
    dropDown_->SetBounds(origin.x, origin.y, width, rows * itemHeight_ + 6);
    dropDown_->HandleNeeded();
    dropDown_->TControl::SetVisible(true);
    SetWindowPos(dropDown_->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    SetCapture(dropDown_->Handle());
  } else {
    TComboDropDown* list = dropDown_;
    dropDown_ = nullptr;
    if (GetCapture() == list->Handle()) ReleaseCapture();
    list->TControl::SetVisible(false);
    ShowWindow(list->Handle(), SW_HIDE);
    PostMessage(list->Handle(), CM_RELEASE, 0, 0);
    CloseUp();
  }
  Invalidate();
}

// The combo box's width or the one set with CB_SETDROPPEDWIDTH, widened so
// that the widest item shows whole beside the scroll bar (when it has one);
// the widths of owner-drawn items are unknown here.
int32_t TCustomComboBox::DroppedListWidth(bool scrolls) const {
  const int32_t set = std::max(Width(), droppedWidth_);
  if (style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable || items_->Count() == 0) return set;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  LONG widest = 0;
  for (int32_t i = 0; i < items_->Count(); ++i) {
    SIZE extent{};
    GetTextExtentPoint32(dc, items_->Strings(i), &extent);
    widest = std::max(widest, extent.cx);
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  // The row's text starts 4 pixels into the frame; as much room on its right.
  const int32_t needed = widest + 8 + 2 * GetSystemMetrics(SM_CXBORDER) + (scrolls ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  return std::max(set, needed);
}

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case CM_WANTSPECIALKEY:
      // While dropped down, Return and Escape close the list.
      m.Result = DroppedDown() && (m.WParam == VK_RETURN || m.WParam == VK_ESCAPE);
      return;
    case CB_SETDROPPEDWIDTH: droppedWidth_ = static_cast<int32_t>(m.WParam); m.Result = droppedWidth_; return;
    case WM_SETFOCUS:
      if (edit_ && edit_->Visible()) {
        TWinControl::WndProc(m);
        ::SetFocus(edit_->Handle());
        edit_->SelectAll();
        return;
      }
      Invalidate();
      break;
    case WM_KILLFOCUS:
      if (DroppedDown() && reinterpret_cast<HWND>(m.WParam) != dropDown_->Handle() &&
          !(edit_ && reinterpret_cast<HWND>(m.WParam) == edit_->Handle()))
        SetDroppedDown(false);
      Invalidate();
      break;
    case CM_EXIT:
      if (DroppedDown()) SetDroppedDown(false);
      break;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TCustomComboBox::KeyDown(WORD& key, TShiftState shift) {
  TWinControl::KeyDown(key, shift);
  if (key == 0) return;
  if (key == VK_F4 || (key == VK_DOWN && shift.Contains(ssAlt)) || (key == VK_UP && shift.Contains(ssAlt))) {
    SetDroppedDown(!DroppedDown());
  } else if (DroppedDown() && (key == VK_UP || key == VK_DOWN)) {
    const int32_t current = dropDown_->ItemIndex();
    dropDown_->SetItemIndex(std::clamp(current + (key == VK_DOWN ? 1 : -1), 0, items_->Count() - 1));
  } else if (DroppedDown() && key == VK_RETURN) {
    CloseUpOn(dropDown_->ItemIndex());
  } else if (DroppedDown() && key == VK_ESCAPE) {
    SetDroppedDown(false);
  } else if (key == VK_UP || key == VK_DOWN || key == VK_HOME || key == VK_END) {
    if (items_->Count() == 0) return;
    int32_t target = itemIndex_;
    if (key == VK_UP) target = std::max(itemIndex_ - 1, 0);
    if (key == VK_DOWN) target = std::min(itemIndex_ + 1, items_->Count() - 1);
    if (key == VK_HOME) target = 0;
    if (key == VK_END) target = items_->Count() - 1;
    ChooseItem(target);
  } else {
    return;
  }
  key = 0;
}

void TCustomComboBox::KeyPress(char32_t& key) {
  TWinControl::KeyPress(key);
  if (key == 0 || style_ != csDropDownList || key < 0x20) return;
  // Typing a letter selects the next item that starts with it.
  const int32_t n = items_->Count();
  for (int32_t k = 1; k <= n; ++k) {
    const int32_t i = (std::max(itemIndex_, -1) + k) % n;
    const std::string s = items_->Strings(i);
    if (!s.empty() && static_cast<char32_t>(std::toupper(static_cast<unsigned char>(s[0]))) ==
                          (key < 128 ? static_cast<char32_t>(std::toupper(static_cast<int>(key))) : key)) {
      if (DroppedDown()) dropDown_->SetItemIndex(i);
      else ChooseItem(i);
      break;
    }
  }
  key = 0;
}

void TCustomComboBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TWinControl::MouseDown(button, shift, x, y);
  if (button == mbLeft && (style_ != csDropDown || x >= ButtonRect().left)) SetDroppedDown(!DroppedDown());
}

bool TCustomComboBox::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (TWinControl::DoMouseWheel(shift, wheelDelta, mousePos)) return true;
  if (items_->Count() == 0 || DroppedDown()) return true;
  ChooseItem(std::clamp(itemIndex_ + (wheelDelta > 0 ? -1 : 1), 0, items_->Count() - 1));
  return true;
}

void TCustomComboBox::DrawItem(int32_t index, RECT rect, TOwnerDrawState state) {
  if ((style_ == csOwnerDrawFixed || style_ == csOwnerDrawVariable) && OnDrawItem) {
    OnDrawItem(this, index, rect, state);
    return;
  }
  DrawListRow(canvas_.get(), items_->Strings(index), rect, state);
}

void TCustomComboBox::PaintWindow(HDC dc) {
  canvas_->SetHandle(dc);
  RECT r = ClientRect();
  canvas_->Brush()->SetColor(Color());
  canvas_->Brush()->SetStyle(bsSolid);
  canvas_->FillRect(r);
  DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
  if (list_) {
    RECT editFrame{0, 0, r.right, itemHeight_ + 8};
    canvas_->Brush()->SetColor(clBtnFace);
    canvas_->FillRect(r);
    canvas_->Brush()->SetColor(Color());
    canvas_->FillRect(editFrame);
    DrawEdge(dc, &editFrame, EDGE_SUNKEN, BF_RECT);
    canvas_->SetHandle(nullptr);
    return;
  }
  if (style_ != csSimple) {
    RECT b = ButtonRect();
    DrawFrameControl(dc, &b, DFC_SCROLL,
                     DFCS_SCROLLCOMBOBOX | (DroppedDown() ? DFCS_PUSHED : 0) | (!Enabled() ? DFCS_INACTIVE : 0));
  }
  if (!edit_->Visible()) {
    RECT item{3, 3, ButtonRect().left - 1, r.bottom - 3};
    TOwnerDrawState state{odComboBoxEdit};
    if (Focused() && !DroppedDown()) state += TOwnerDrawState{odSelected, odFocused};
    if (!Enabled()) state.Include(odDisabled);
    canvas_->Font()->Assign(Font());
    if (itemIndex_ >= 0) {
      DrawItem(itemIndex_, item, state);
    } else {
      DrawListRow(canvas_.get(), "", item, state);
    }
  }
  canvas_->SetHandle(nullptr);
}
