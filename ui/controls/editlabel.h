// The label that an edit or combo box carries beside itself: created on the
// first caption, placed on the control's parent at one of the positions with
// a margin, and moved, shown, enabled and emboldened with the control.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/stdctrls.h"

// Where the label stands; the spin edit uses the first ten.
enum TLabelPosition {
  lpLeftTop, lpLeftCenter, lpLeftBottom, lpTopLeft, lpBottomLeft, lpLeftTopLeft, lpLeftCenterLeft,
  lpLeftBottomLeft, lpTopCenter, lpBottomCenter, lpRightTop, lpRightCenter, lpRighBottom
};
const TEnumNames& LabelPositionNames();

// The label's top-left corner for a control at `control`, a label of size
// `label` whose caption is `textWidth` wide, and the margin.
POINT LabelOrigin(TLabelPosition position, const RECT& control, SIZE label, int32_t textWidth, int32_t margin);

class TEditLabel {
public:
  explicit TEditLabel(TWinControl* control);
  TEditLabel(const TEditLabel&) = delete;
  TEditLabel& operator=(const TEditLabel&) = delete;

  // The label, null until the first caption.
  TLabel* Label() const { return label_; }
  std::string Caption() const { return label_ ? label_->Caption() : std::string(); }
  void SetCaption(const std::string& caption);
  TLabelPosition Position() const { return position_; }
  void SetPosition(TLabelPosition p);
  int32_t Margin() const { return margin_; }
  void SetMargin(int32_t m);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AlwaysEnabled() const { return alwaysEnabled_; }
  void SetAlwaysEnabled(bool v);
  // The font the label takes at every placement. One given before the
  // first caption is kept; otherwise the label starts in the control's font.
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }

  // Moves the label beside the control.
  void Place();
  // A label without a font of its own takes the control's font again, when
  // the control takes its parent's.
  void FollowControlFont();
  void SetBold(bool bold);
  void FollowEnabled();
  void FollowVisible();
  void FollowParent();

  // Clicks on the label, reported with the control as the sender.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;

private:
  void WatchFont();
  void TakeControlFont();

  TWinControl* control_;
  TLabel* label_ = nullptr;
  TLabelPosition position_ = lpLeftTop;
  int32_t margin_ = 4;
  bool transparent_ = false;
  bool alwaysEnabled_ = false;
  bool fontGiven_ = false;
  std::unique_ptr<TFont> font_;
};
