// A captioned panel that holds other captioned panels and lays them out:
// stacked from the top in columns (vertical style) or side by side from
// the left (horizontal style), with a scroll bar when they do not fit.
// Contained panels ask it to re-arrange when they collapse, expand, close
// or end a move or size.
#pragma once

#include <memory>
#include <vector>

#include "platform/forms/comctrls.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/advpanelstyler.h"

enum TGroupStyle { gsVertical, gsHorizontal };

class TAdvPanelGroup : public TAdvPanel {
  FORMS_CLASS(TAdvPanelGroup)

public:
  explicit TAdvPanelGroup(TComponent* owner);
  ~TAdvPanelGroup() override;

  int32_t Columns() const { return columns_; }
  // Values of 0 or less are ignored.
  void SetColumns(int32_t columns);
  TGroupStyle GroupStyle() const { return groupStyle_; }
  void SetGroupStyle(TGroupStyle style);
  int32_t HorzPadding() const { return horzPadding_; }
  void SetHorzPadding(int32_t padding);
  int32_t VertPadding() const { return vertPadding_; }
  void SetVertPadding(int32_t padding);
  // Panels do not redraw while the vertical style moves them.
  bool ScrollSmooth() const { return scrollSmooth_; }
  void SetScrollSmooth(bool v) { scrollSmooth_ = v; }
  // The panels found at load time that are still there.
  const std::vector<TCustomAdvPanel*>& Panels() const { return panels_; }
  TScrollBar* ScrollBar() const { return scrollBar_; }
  // Settings kept and stored with the form; the group applies them to nothing.
  TAdvPanelSettings* DefaultPanel() const { return defaultPanel_.get(); }
  void SetDefaultPanel(const TAdvPanelSettings* settings) { defaultPanel_->Assign(settings); }

  void Arrange();
  void UpdateAndArrange();
  void UpdateScrollBar();
  void Loaded() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void StateChanged() override;
  void ChildPanelChanged(TCustomAdvPanel* panel, bool leaving) override;

protected:
  // Scrolls by two small changes a notch while the scroll bar shows.
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;

private:
  std::vector<TCustomAdvPanel*> SortedPanels(bool byLeft) const;
  void ArrangeVertical();
  void ArrangeHorizontal();
  static void Relayout(TControl* control);
  int32_t ContentHeight() const;
  int32_t ContentWidth() const;

  int32_t columns_ = 1, horzPadding_ = 8, vertPadding_ = 8;
  TGroupStyle groupStyle_ = gsVertical;
  bool arranging_ = false, scrollSmooth_ = false;
  int32_t updateCount_ = 0;
  int32_t lastWidth_ = -1, lastHeight_ = -1;
  std::vector<TCustomAdvPanel*> panels_;
  TScrollBar* scrollBar_ = nullptr;
  std::unique_ptr<TAdvPanelSettings> defaultPanel_;
};
