#include "ui/controls/advpanelgroup.h"
#include <algorithm>

#include "platform/forms/comctrls.h"
#include "platform/forms/properties.h"
#include "ui/render/gdippicturecontainer.h"

const TClassInfo& TAdvPanelGroup::StaticClassInfo() {
  static const TEnumNames kStyles = {"gsVertical", "gsHorizontal"};
  static const TClassInfo info = PublishClass<TAdvPanelGroup>(
      "TAdvPanelGroup", &TAdvPanel::StaticClassInfo(), [](TPublished<TAdvPanelGroup>& p) {
        using G = TAdvPanelGroup;
        p.Integer("Columns", &G::Columns, &G::SetColumns)
            .Enumeration("GroupStyle", kStyles, &G::GroupStyle, &G::SetGroupStyle)
            .Integer("HorzPadding", &G::HorzPadding, &G::SetHorzPadding)
            .Integer("VertPadding", &G::VertPadding, &G::SetVertPadding)
            .Boolean("ScrollSmooth", &G::ScrollSmooth, &G::SetScrollSmooth)
            .Object("DefaultPanel", &G::DefaultPanel);
      });
  return info;
}

TAdvPanelGroup::TAdvPanelGroup(TComponent* owner)
    : TAdvPanel(owner), defaultPanel_(std::make_unique<TAdvPanelSettings>()) {
  TControlStyle style = ControlStyle();
  style.Include(csAcceptsControls);
  SetControlStyle(style);
  scrollBar_ = new TScrollBar(this);
  scrollBar_->SetParent(this);
  scrollBar_->SetKind(sbVertical);
  scrollBar_->SetAlign(alRight);
  scrollBar_->SetVisible(false);
  scrollBar_->SetLargeChange(20);
  scrollBar_->SetSmallChange(2);
  scrollBar_->SetTabStop(false);
  scrollBar_->OnScroll = [this](TObject*, TScrollCode code, int32_t& position) {
    if (code != scEndScroll) return;
    position = std::min(position, scrollBar_->Max() - scrollBar_->PageSize());
    Arrange();
  };
  SetDoubleBuffered(!IsVistaOrLater());
}

TAdvPanelGroup::~TAdvPanelGroup() {
  // Panels that nobody else owns go with the group, each once; the others
  // are freed by their owners.
  std::vector<TCustomAdvPanel*> ownerless;
  for (TCustomAdvPanel* p : panels_)
    if (!p->Owner()) ownerless.push_back(p);
  panels_.clear();
  for (TCustomAdvPanel* p : ownerless) p->Free();
}

void TAdvPanelGroup::ChildPanelChanged(TCustomAdvPanel* panel, bool leaving) {
  if (leaving) {
    std::erase(panels_, panel);
    return;
  }
  UpdateAndArrange();
}

void TAdvPanelGroup::SetColumns(int32_t columns) {
  if (columns <= 0) return;
  columns_ = columns;
  UpdateScrollBar();
  Arrange();
  UpdateScrollBar();
}

void TAdvPanelGroup::SetGroupStyle(TGroupStyle style) {
  if (style == groupStyle_) return;
  groupStyle_ = style;
  UpdateScrollBar();
  Arrange();
}

void TAdvPanelGroup::SetHorzPadding(int32_t padding) {
  if (StoreChanged(horzPadding_, padding)) Arrange();
}

void TAdvPanelGroup::SetVertPadding(int32_t padding) {
  if (StoreChanged(vertPadding_, padding)) Arrange();
}

// A one-pixel width step that makes a control lay out its contents anew.
void TAdvPanelGroup::Relayout(TControl* control) {
  control->SetBounds(control->Left(), control->Top(), control->Width() + 1, control->Height());
  control->SetBounds(control->Left(), control->Top(), control->Width() - 1, control->Height());
}

void TAdvPanelGroup::Loaded() {
  TAdvPanel::Loaded();
  Relayout(this);
  UpdateScrollBar();
  Arrange();
  panels_.clear();
  for (int32_t i = 0; i < ControlCount(); ++i)
    if (auto* p = dynamic_cast<TCustomAdvPanel*>(Controls(i))) panels_.push_back(p);
}

void TAdvPanelGroup::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  bool resized = width != lastWidth_ || height != lastHeight_;
  TAdvPanel::SetBounds(left, top, width, height);
  if (resized) Arrange();
  lastWidth_ = Width();
  lastHeight_ = Height();
}

void TAdvPanelGroup::StateChanged() {
  Arrange();
  UpdateScrollBar();
}

void TAdvPanelGroup::UpdateAndArrange() {
  UpdateScrollBar();
  Arrange();
}

void TAdvPanelGroup::Arrange() {
  if (ComponentState().Contains(csLoading) || arranging_ || updateCount_ > 0) return;
  arranging_ = true;
  if (groupStyle_ == gsHorizontal) ArrangeHorizontal();
  else ArrangeVertical();
  arranging_ = false;
}

std::vector<TCustomAdvPanel*> TAdvPanelGroup::SortedPanels(bool byLeft) const {
  std::vector<TCustomAdvPanel*> list;
  for (int32_t i = 0; i < ControlCount(); ++i)
    if (auto* p = dynamic_cast<TCustomAdvPanel*>(Controls(i))) list.push_back(p);
  auto key = [byLeft](const TCustomAdvPanel* p) { return byLeft ? p->Left() : p->Top(); };
  std::stable_sort(list.begin(), list.end(), [&](auto* a, auto* b) { return key(a) < key(b); });
  return list;
}

void TAdvPanelGroup::ArrangeVertical() {
  ++updateCount_;
  int32_t y = vertPadding_ - (scrollBar_->Visible() ? scrollBar_->Position() : 0) +
              (Caption()->Visible() ? Caption()->Height() : 0);
  int32_t s = scrollBar_->Visible() ? scrollBar_->Width() : 0;
  int32_t i = 0;
  const std::vector<TCustomAdvPanel*> panels = SortedPanels(false);
  auto redraw = [&](bool on) {
    for (TCustomAdvPanel* p : panels)
      if (p->Visible() && p->HandleAllocated()) SendMessage(p->Handle(), WM_SETREDRAW, on ? TRUE : FALSE, 0);
  };
  if (scrollSmooth_) redraw(false);
  for (TCustomAdvPanel* p : panels) {
    ++i;
    int32_t left = ((Width() - s - horzPadding_) / columns_) * ((i - 1) % columns_) + horzPadding_;
    p->SetBounds(left, y, (Width() - 2 * horzPadding_ - s) / columns_, p->Height());
    if (p->Visible() && i % columns_ == 0) y += p->Height() + vertPadding_;
  }
  if (scrollSmooth_) redraw(true);
  for (TCustomAdvPanel* p : panels) {
    p->Invalidate();
    // The panel's own children lay themselves out anew.
    for (int32_t k = 0; k < p->ControlCount(); ++k) {
      auto* child = dynamic_cast<TWinControl*>(p->Controls(k));
      if (child && child->Visible() && child->ControlCount() == 0 && child->HandleAllocated()) {
        SendMessage(child->Handle(), WM_SETREDRAW, FALSE, 0);
        SendMessage(child->Handle(), WM_SETREDRAW, TRUE, 0);
      }
    }
    for (int32_t k = 0; k < p->ControlCount(); ++k) Relayout(p->Controls(k));
  }
  --updateCount_;
  Invalidate();
}

void TAdvPanelGroup::ArrangeHorizontal() {
  int32_t x = horzPadding_ - (scrollBar_->Visible() ? scrollBar_->Position() : 0);
  int32_t h = Height() - 2 * vertPadding_ - (scrollBar_->Visible() ? scrollBar_->Height() : 0);
  for (TCustomAdvPanel* p : SortedPanels(true)) {
    p->SetBounds(x, vertPadding_, p->Width(), h);
    if (p->Visible()) x += p->Width() + horzPadding_;
  }
}

int32_t TAdvPanelGroup::ContentHeight() const {
  int32_t need = vertPadding_, k = 0;
  for (TCustomAdvPanel* p : SortedPanels(false))
    if (++k % columns_ == 0 && p->Visible()) need += p->Height() + vertPadding_;
  return need;
}

int32_t TAdvPanelGroup::ContentWidth() const {
  int32_t need = horzPadding_;
  for (TCustomAdvPanel* p : SortedPanels(true))
    if (p->Visible()) need += p->Width() + horzPadding_;
  return need;
}

bool TAdvPanelGroup::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  if (!scrollBar_->Visible()) return TAdvPanel::DoMouseWheel(shift, wheelDelta, mousePos);
  int32_t step = 2 * scrollBar_->SmallChange();
  int32_t limit = std::max(0, scrollBar_->Max() - scrollBar_->PageSize());
  scrollBar_->SetPosition(std::clamp(scrollBar_->Position() + (wheelDelta < 0 ? step : -step), 0, limit));
  // The panels follow at once.
  Arrange();
  return true;
}

void TAdvPanelGroup::UpdateScrollBar() {
  if (updateCount_ > 0 || !scrollBar_) return;
  bool horizontal = groupStyle_ == gsHorizontal;
  scrollBar_->SetKind(horizontal ? sbHorizontal : sbVertical);
  scrollBar_->SetAlign(horizontal ? alBottom : alRight);
  if (horizontal) scrollBar_->SetBounds(scrollBar_->Left(), scrollBar_->Top(), scrollBar_->Width(), 16);
  else scrollBar_->SetBounds(scrollBar_->Left(), scrollBar_->Top(), 16, scrollBar_->Height());
  int32_t need = horizontal ? ContentWidth() : ContentHeight();
  int32_t have = horizontal ? Width() : Height();
  if (have < need && need > 0) {
    if (scrollBar_->Position() > need) scrollBar_->SetPosition(need);
    scrollBar_->SetPageSize(have);
    scrollBar_->SetLargeChange(have / 3);
    scrollBar_->SetMax(need);
  }
  scrollBar_->SetVisible(have < need);
  scrollBar_->Invalidate();
}
