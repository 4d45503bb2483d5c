// The enhanced edit's lookup list: the entries that begin with the typed
// value, offered in a small window under the caret and taken by Return or
// a click.
#include "platform/forms/properties.h"
#include "platform/rtl/sysutils.h"
#include "ui/controls/advedit.h"

namespace {
constexpr int32_t kRowHeight = 12;
}

const TClassInfo& TListHintWindow::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TListHintWindow>("TListHintWindow", &THintWindow::StaticClassInfo());
  return info;
}

TListHintWindow::TListHintWindow(TComponent* owner) : THintWindow(owner), list_(new TListBox(this)) {
  list_->SetParent(this);
  list_->SetAlign(alClient);
  list_->SetStyle(lbOwnerDrawFixed);
  list_->SetItemHeight(kRowHeight);
  list_->SetCtl3D(false);
  list_->SetTabStop(true);
}

void TAdvEdit::HideLookup() {
  if (listWindow_ && listWindow_->Visible()) listWindow_->Hide();
}

void TAdvEdit::UpdateLookup() {
  if (!lookup_->Enabled() || ComponentState().Contains(csDesigning)) return;
  // With Multi only the entry after the last separator is matched.
  const std::string value = GetText();
  const size_t cut = lookup_->Multi() ? value.rfind(lookup_->Separator()) : std::string::npos;
  const int32_t offset = cut == std::string::npos ? 0 : static_cast<int32_t>(cut + 1);
  const std::string typed = value.substr(static_cast<size_t>(offset));
  if (static_cast<int32_t>(typed.size()) < lookup_->NumChars()) {
    HideLookup();
    return;
  }
  if (!listWindow_) {
    listWindow_ = new TListHintWindow(this);
    listWindow_->ListControl()->OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) {
      SelectLookupItem();
    };
    listWindow_->ListControl()->OnKeyPress = [this](TObject*, char32_t& key) {
      if (key == '\r') SelectLookupItem();
    };
  }
  TListBox* list = listWindow_->ListControl();
  list->Items()->Clear();
  TBitmap measure;
  measure.SetSize(1, 1);
  measure.Canvas()->SetFont(list->Font());
  const bool exact = lookup_->CaseSensitive();
  const std::string wanted = exact ? typed : AnsiUpperCase(typed);
  const TStringList& display = *lookup_->DisplayList();
  int32_t k = 0, widest = 50;
  for (int32_t i = 0; i < display.Count(); ++i) {
    const std::string entry = display.Strings(i);
    const std::string normalised = exact ? entry : AnsiUpperCase(entry);
    if (normalised.compare(0, wanted.size(), wanted) != 0) continue;
    list->Items()->AddObject(entry, reinterpret_cast<TObject*>(static_cast<intptr_t>(i)));
    widest = std::max(widest, measure.Canvas()->TextWidth(entry));
    ++k;
  }
  if (k == 0) {
    HideLookup();
    return;
  }
  list->SetItemIndex(0);
  const int32_t rows = std::min(k, lookup_->DisplayCount());
  const int32_t height = rows * kRowHeight + 4;
  const int32_t width = widest + (k > lookup_->DisplayCount() ? GetSystemMetrics(SM_CXHSCROLL) : 0) + 10;
  const POINT origin = ClientOrigin();
  const LRESULT at = Perform(EM_POSFROMCHAR, static_cast<WPARAM>(P() + offset), 0);
  const int32_t x = at < 0 ? 0 : static_cast<int16_t>(LOWORD(at));
  const int32_t left = origin.x + 8 + x, top = Height() + origin.y - 6;
  listWindow_->ActivateHint(RECT{left, top, left + width, top + height}, "  ");
}

bool TAdvEdit::NavigateLookup(WORD key) {
  TListBox* list = listWindow_->ListControl();
  const int32_t last = list->Count() - 1, page = lookup_->DisplayCount();
  int32_t index = list->ItemIndex();
  switch (key) {
    case VK_HOME: index = 0; break;
    case VK_END: index = last; break;
    case VK_NEXT: index = index + page <= last ? index + page : last; break;
    case VK_PRIOR: index = index > page ? index - page : 0; break;
    case VK_UP: index = index > 0 ? index - 1 : index; break;
    case VK_DOWN: index = index < last ? index + 1 : index; break;
    default: return false;
  }
  list->SetItemIndex(index);
  return true;
}

void TAdvEdit::SelectLookupItem() {
  if (!listWindow_) return;
  TListBox* list = listWindow_->ListControl();
  HideLookup();
  if (CanFocus() && !Focused()) SetFocus();
  const int32_t row = list->ItemIndex();
  if (row < 0) return;
  const auto i = static_cast<int32_t>(reinterpret_cast<intptr_t>(list->Items()->Objects(row)));
  std::string value = i >= 0 && i < lookup_->ValueList()->Count() ? lookup_->ValueList()->Strings(i)
                                                                   : list->Items()->Strings(row);
  if (OnLookupSelect) OnLookupSelect(this, value);
  if (OnLookupIndexSelect) OnLookupIndexSelect(this, i, value);
  if (!lookup_->Multi()) {
    SetText(value);
    SelectValue();
    return;
  }
  const std::string before = GetText();
  const size_t cut = before.rfind(lookup_->Separator());
  SetText((cut == std::string::npos ? std::string() : before.substr(0, cut + 1)) + value + lookup_->Separator());
  const int32_t end = P() + static_cast<int32_t>(GetText().size());
  SetSelStart(end);
  SetSelLength(0);
}
