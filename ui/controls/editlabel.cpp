#include "ui/controls/editlabel.h"

const TEnumNames& LabelPositionNames() {
  static const TEnumNames names{"lpLeftTop",       "lpLeftCenter",     "lpLeftBottom",     "lpTopLeft",
                                "lpBottomLeft",    "lpLeftTopLeft",    "lpLeftCenterLeft", "lpLeftBottomLeft",
                                "lpTopCenter",     "lpBottomCenter",   "lpRightTop",       "lpRightCenter",
                                "lpRighBottom"};
  return names;
}

POINT LabelOrigin(TLabelPosition position, const RECT& c, SIZE label, int32_t textWidth, int32_t margin) {
  const int32_t width = c.right - c.left, height = c.bottom - c.top;
  const int32_t centreTop = c.top + (height - label.cy) / 2, bottomTop = c.top + height - label.cy;
  const int32_t above = c.top - label.cy - margin, below = c.top + height + margin;
  const int32_t leftOfText = c.left - textWidth - margin, right = c.left + width + margin;
  switch (position) {
    case lpLeftTop: return {leftOfText, c.top};
    case lpLeftCenter: return {leftOfText, centreTop};
    case lpLeftBottom: return {leftOfText, bottomTop};
    case lpTopLeft: return {c.left, above};
    case lpBottomLeft: return {c.left, below};
    case lpLeftTopLeft: return {c.left - margin, c.top};
    case lpLeftCenterLeft: return {c.left - margin, centreTop};
    case lpLeftBottomLeft: return {c.left - margin, bottomTop};
    case lpTopCenter: return {c.left + (width - label.cx) / 2, above};
    case lpBottomCenter: return {c.left + (width - label.cx) / 2, below};
    case lpRightTop: return {right, c.top};
    case lpRightCenter: return {right, centreTop};
    case lpRighBottom: return {right, bottomTop};
  }
  return {c.left, c.top};
}

TEditLabel::TEditLabel(TWinControl* control) : control_(control), font_(std::make_unique<TFont>()) { WatchFont(); }

// A change of the label's font (by code or a stored form) makes it the
// label's own and moves the label.
void TEditLabel::WatchFont() {
  font_->OnChange = [this](TObject*) {
    fontGiven_ = true;
    Place();
  };
}

void TEditLabel::SetCaption(const std::string& caption) {
  if (!label_) {
    label_ = new TLabel(control_);
    label_->SetParent(control_->Parent());
    label_->SetFocusControl(control_);
    label_->OnClick = [this](TObject*) {
      if (OnClick) OnClick(control_);
    };
    label_->OnDblClick = [this](TObject*) {
      if (OnDblClick) OnDblClick(control_);
    };
    // No font of its own yet: the label starts in the control's.
    if (!fontGiven_) TakeControlFont();
  }
  label_->SetCaption(caption);
  Place();
}

void TEditLabel::TakeControlFont() {
  font_->OnChange = nullptr;
  font_->Assign(control_->Font());
  WatchFont();
}

void TEditLabel::FollowControlFont() {
  if (fontGiven_ || !control_->ParentFont() || !label_) return;
  TakeControlFont();
  Place();
}

void TEditLabel::SetPosition(TLabelPosition p) {
  position_ = p;
  Place();
}
void TEditLabel::SetMargin(int32_t m) {
  margin_ = m;
  Place();
}
void TEditLabel::SetTransparent(bool v) {
  transparent_ = v;
  Place();
}
void TEditLabel::SetAlwaysEnabled(bool v) {
  alwaysEnabled_ = v;
  if (v && label_) label_->SetEnabled(true);
  FollowEnabled();
}

void TEditLabel::Place() {
  if (!label_) return;
  label_->SetTransparent(transparent_);
  label_->Font()->Assign(font_.get());
  label_->Canvas()->SetFont(font_.get());
  const int32_t textWidth = label_->Canvas()->TextWidth(label_->Caption());
  const POINT p = LabelOrigin(position_, control_->BoundsRect(), SIZE{label_->Width(), label_->Height()}, textWidth,
                              margin_);
  label_->SetBounds(p.x, p.y, label_->Width(), label_->Height());
  FollowVisible();
}

void TEditLabel::SetBold(bool bold) {
  if (!label_) return;
  TFontStyles style = label_->Font()->Style();
  if (bold) style.Include(fsBold);
  else style.Exclude(fsBold);
  label_->Font()->SetStyle(style);
}

void TEditLabel::FollowEnabled() {
  if (label_ && !alwaysEnabled_) label_->SetEnabled(control_->Enabled());
}
void TEditLabel::FollowVisible() {
  if (label_) label_->SetVisible(control_->Visible());
}
void TEditLabel::FollowParent() {
  if (label_) label_->SetParent(control_->Parent());
}
