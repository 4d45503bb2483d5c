// The thumbnail view: the selection, clicks and the navigation keys.
#include <algorithm>

#include "imaging/view/iemview.h"
#include "platform/win/user_input.h"

bool TImageryMView::IsSelected(int32_t index) const {
  return index >= 0 && (index == selectedIndex_ || std::find(multiSelected_.begin(), multiSelected_.end(), index) !=
                                                       multiSelected_.end());
}

int32_t TImageryMView::SelectedCount() const {
  if (EnableMultiSelect) return static_cast<int32_t>(multiSelected_.size());
  return selectedIndex_ >= 0 ? 1 : 0;
}

bool TImageryMView::DoSelectionChanging() {
  bool allow = true;
  if (OnSelectionChanging && !destroying_) OnSelectionChanging(this, allow);
  return allow;
}

void TImageryMView::SelectImage(int32_t index) {
  if (index < 0 || index >= GetImageCount()) return;
  GiveBackLentBitmaps(true);
  if (EnableMultiSelect) {
    for (int32_t i : multiSelected_)
      if (userAction_ && OnImageDeselect && !destroying_) OnImageDeselect(this, i);
    multiSelected_.clear();
    multiSelected_.push_back(index);
  }
  selectedIndex_ = index;
  NotifyBitmapChangeHandlers();
  if (userAction_ && OnImageSelect) OnImageSelect(this, index);
}

void TImageryMView::SetSelectedImage(int32_t index) {
  if (index < 0 || index >= GetImageCount() || index == selectedIndex_) return;
  SelectImage(index);
  anchor_ = index;
  RefreshView(false, true);
}

void TImageryMView::DeselectAll() {
  GiveBackLentBitmaps(true);
  if (!destroying_ && userAction_ && OnImageDeselect) {
    if (EnableMultiSelect)
      for (int32_t i : multiSelected_) OnImageDeselect(this, i);
    else if (selectedIndex_ >= 0)
      OnImageDeselect(this, selectedIndex_);
  }
  multiSelected_.clear();
  selectedIndex_ = -1;
}

void TImageryMView::Deselect() {
  DeselectAll();
  RefreshView();
}

void TImageryMView::SelectAt(int32_t x, int32_t y, TShiftState) {
  const int32_t index = ImageAtPos(x, y, false);
  if (index < 0) return;
  SelectImage(index);
  if (visibleSelection_) RefreshView();
  NotifyBitmapChangeHandlers();
}

void TImageryMView::MoveSelection(int32_t direction) {
  const int32_t count = GetImageCount();
  if (count == 0) return;
  const TIEMGridGeometry g = Geometry();
  const int32_t cols = std::max(ColumnCount(), 1);
  const int32_t page = cols * std::max((ClientHeight() - vertBorder_) / IEMRowPitch(g), 1);
  const int32_t cur = selectedIndex_;
  int32_t next = cur;
  switch (direction) {
    case 0: next = cur > 0 ? cur - 1 : cur; break;
    case 1: next = cur + 1 < count ? cur + 1 : cur; break;
    case 2: next = effectiveGrid_ == 0 ? cur - 1 : (cur - cols >= 0 ? cur - cols : cur); break;
    case 3: next = effectiveGrid_ == 0 ? cur + 1 : (cur + cols < count ? cur + cols : cur); break;
    case 4: next = 0; break;
    case 5: next = count - 1; break;
    case 6: next = std::min(cur + page, count - 1); break;
    case 7: next = cur < 0 ? cur : std::max(cur - page, 0); break;
    default: break;
  }
  if (next < 0 || next >= count) return;
  SetSelectedImage(next);
  ScrollSelectedIntoView();
}

void TImageryMView::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TIEView::MouseDown(button, shift, x, y);
  userAction_ = true;
  if (CanFocus()) SetFocus();
  if (button == mbLeft && DoSelectionChanging()) {
    const int32_t index = ImageAtPos(x, y, false);
    if (index >= 0) {
      anchor_ = index;
      SelectAt(x, y, shift);
    }
  }
  userAction_ = false;
}

void TImageryMView::KeyDown(WORD& key, TShiftState shift) {
  TIEView::KeyDown(key, shift);
  int32_t direction = -1;
  switch (key) {
    case VK_PRIOR: direction = 7; break;
    case VK_NEXT: direction = 6; break;
    case VK_END: direction = 5; break;
    case VK_HOME: direction = 4; break;
    case VK_LEFT: direction = 0; break;
    case VK_UP: direction = 2; break;
    case VK_RIGHT: direction = 1; break;
    case VK_DOWN: direction = 3; break;
    default: return;
  }
  userAction_ = true;
  if (DoSelectionChanging()) {
    MoveSelection(direction);
    DoViewChange();
  }
  userAction_ = false;
}
