// TControl, the graphic and custom controls, and the shared mouse state.
//
// Sections: shared state | cursors | shift states | TControl properties |
// TControl messages and mouse | TControl geometry | TGraphicControl | TCustomControl | helpers
#include "platform/forms/controls.h"

#include <algorithm>

#include "platform/forms/forms.h"
#include "platform/forms/menus.h"
#include "platform/rtl/sysutils.h"

// ---- shared state ----

namespace {
TControl* captureControl = nullptr;
TControl* mouseControl = nullptr;
}  // namespace

TControl* GetCaptureControl() { return captureControl; }
TControl* GetMouseControl() { return mouseControl; }

static HWND WindowOf(TControl* control) {
  if (auto* w = dynamic_cast<TWinControl*>(control)) return w->Handle();
  return control->Parent() ? control->Parent()->Handle() : nullptr;
}

void SetCaptureControl(TControl* control) {
  captureControl = control;
  if (!control) {
    if (GetCapture()) ReleaseCapture();
    return;
  }
  if (HWND window = WindowOf(control)) SetCapture(window);
}

void ForgetCaptureControl() { captureControl = nullptr; }

void SetMouseControl(TControl* control) {
  if (control == mouseControl) return;
  TControl* old = mouseControl;
  mouseControl = control;
  Application->HintMouseMessage(control);
  if (old) old->Perform(CM_MOUSELEAVE);
  if (control && control == mouseControl) {
    control->Perform(CM_MOUSEENTER);
    TRACKMOUSEEVENT track;
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = WindowOf(control);
    if (track.hwndTrack) TrackMouseEvent(&track);
  }
}

// ---- cursors ----

static const struct {
  TCursor cursor;
  const char* name;
} kCursorNames[] = {
    {crDefault, "crDefault"},     {crNone, "crNone"},         {crArrow, "crArrow"},
    {crCross, "crCross"},         {crIBeam, "crIBeam"},       {crSizeNESW, "crSizeNESW"},
    {crSizeNS, "crSizeNS"},       {crSizeNWSE, "crSizeNWSE"}, {crSizeWE, "crSizeWE"},
    {crUpArrow, "crUpArrow"},     {crHourGlass, "crHourGlass"}, {crDrag, "crDrag"},
    {crNoDrop, "crNoDrop"},       {crHSplit, "crHSplit"},     {crVSplit, "crVSplit"},
    {crMultiDrag, "crMultiDrag"}, {crSQLWait, "crSQLWait"},   {crNo, "crNo"},
    {crAppStart, "crAppStart"},   {crHelp, "crHelp"},         {crHandPoint, "crHandPoint"},
    {crSizeAll, "crSizeAll"},
};

const TIntegerIdents& CursorIdents() {
  static const TIntegerIdents idents{
      [](int64_t v, std::string& text) {
        for (const auto& c : kCursorNames)
          if (c.cursor == v) {
            text = c.name;
            return true;
          }
        return false;
      },
      [](const std::string& text, int64_t& v) {
        for (const auto& c : kCursorNames)
          if (SameText(c.name, text)) {
            v = c.cursor;
            return true;
          }
        return false;
      }};
  return idents;
}

// ---- shift states ----

TShiftState KeysToShiftState(WPARAM keys) {
  TShiftState s;
  if (keys & MK_SHIFT) s.Include(ssShift);
  if (keys & MK_CONTROL) s.Include(ssCtrl);
  if (keys & MK_LBUTTON) s.Include(ssLeft);
  if (keys & MK_RBUTTON) s.Include(ssRight);
  if (keys & MK_MBUTTON) s.Include(ssMiddle);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

TShiftState GetShiftState() {
  TShiftState s;
  if (GetKeyState(VK_SHIFT) < 0) s.Include(ssShift);
  if (GetKeyState(VK_CONTROL) < 0) s.Include(ssCtrl);
  if (GetKeyState(VK_MENU) < 0) s.Include(ssAlt);
  return s;
}

// ---- TControl properties ----

static const TEnumNames kAlignNames{"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient", "alCustom"};
static const TEnumNames kAnchorNames{"akLeft", "akTop", "akRight", "akBottom"};
static const TEnumNames kBiDiNames{"bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
                                   "bdRightToLeftReadingOnly"};

const TClassInfo& TControl::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TControl>("TControl", &TComponent::StaticClassInfo(), [](TPublished<TControl>& p) {
        p.Integer("Left", &TControl::Left, &TControl::SetLeft)
            .Integer("Top", &TControl::Top, &TControl::SetTop)
            .Integer("Width", &TControl::Width, &TControl::SetWidth)
            .Integer("Height", &TControl::Height, &TControl::SetHeight)
            .Integer("ClientWidth", &TControl::ClientWidth, &TControl::SetClientWidth)
            .Integer("ClientHeight", &TControl::ClientHeight, &TControl::SetClientHeight)
            .Enumeration("Align", kAlignNames, &TControl::Align, &TControl::SetAlign)
            .SetOf("Anchors", kAnchorNames, &TControl::Anchors, &TControl::SetAnchors)
            .Enumeration("BiDiMode", kBiDiNames, &TControl::BiDiMode, &TControl::SetBiDiMode)
            .String("Caption", &TControl::Caption, &TControl::SetCaption)
            .String("Text", &TControl::Text, &TControl::SetText)
            .Integer("Color", &TControl::Color, &TControl::SetColor, &ColorIdents())
            .Integer("Cursor", &TControl::Cursor, &TControl::SetCursor, &CursorIdents())
            .Boolean("Enabled", &TControl::Enabled, &TControl::SetEnabled)
            .Object("Font", &TControl::Font)
            .String("Hint", &TControl::Hint, &TControl::SetHint)
            .Boolean("ParentColor", &TControl::ParentColor, &TControl::SetParentColor)
            .Boolean("ParentFont", &TControl::ParentFont, &TControl::SetParentFont)
            .Boolean("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint)
            .Reference<TPopupMenu>("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu)
            .Boolean("ShowHint", &TControl::ShowHint, &TControl::SetShowHint)
            .Boolean("Visible", &TControl::Visible, &TControl::SetVisible)
            .Event("OnClick", &TControl::OnClick)
            .Event("OnDblClick", &TControl::OnDblClick)
            .Event("OnMouseDown", &TControl::OnMouseDown)
            .Event("OnMouseMove", &TControl::OnMouseMove)
            .Event("OnMouseUp", &TControl::OnMouseUp)
            .Event("OnMouseEnter", &TControl::OnMouseEnter)
            .Event("OnMouseLeave", &TControl::OnMouseLeave)
            .Event("OnResize", &TControl::OnResize)
            .Object("Constraints", &TControl::Constraints)
            .Event("OnCanResize", &TControl::OnCanResize);
      });
  return info;
}

// ---- size constraints and padding ----

const TClassInfo& TSizeConstraints::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TSizeConstraints>(
      "TSizeConstraints", &TPersistent::StaticClassInfo(), [](TPublished<TSizeConstraints>& p) {
        using C = TSizeConstraints;
        p.Integer("MaxHeight", &C::MaxHeight, &C::SetMaxHeight)
            .Integer("MaxWidth", &C::MaxWidth, &C::SetMaxWidth)
            .Integer("MinHeight", &C::MinHeight, &C::SetMinHeight)
            .Integer("MinWidth", &C::MinWidth, &C::SetMinWidth);
      });
  return info;
}

namespace {
// A limit is never negative; a maximum below its minimum rises to it and a
// minimum above its maximum lowers it.
void SetLimit(int32_t& limit, int32_t v, int32_t& other, bool isMax) {
  limit = std::max(v, 0);
  if (limit == 0 || other == 0) return;
  if (isMax ? limit < other : limit > other) other = limit;
}
}  // namespace

void TSizeConstraints::SetMinWidth(int32_t v) {
  if (v == minWidth_) return;
  SetLimit(minWidth_, v, maxWidth_, false);
  Changed();
}
void TSizeConstraints::SetMinHeight(int32_t v) {
  if (v == minHeight_) return;
  SetLimit(minHeight_, v, maxHeight_, false);
  Changed();
}
void TSizeConstraints::SetMaxWidth(int32_t v) {
  if (v == maxWidth_) return;
  SetLimit(maxWidth_, v, minWidth_, true);
  Changed();
}
void TSizeConstraints::SetMaxHeight(int32_t v) {
  if (v == maxHeight_) return;
  SetLimit(maxHeight_, v, minHeight_, true);
  Changed();
}

void TSizeConstraints::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TSizeConstraints*>(source);
  if (!other) return TPersistent::Assign(source);
  minWidth_ = other->minWidth_;
  minHeight_ = other->minHeight_;
  maxWidth_ = other->maxWidth_;
  maxHeight_ = other->maxHeight_;
  Changed();
}

void TSizeConstraints::Constrain(int32_t& width, int32_t& height) const {
  if (maxWidth_ > 0) width = std::min(width, maxWidth_);
  if (maxHeight_ > 0) height = std::min(height, maxHeight_);
  width = std::max(width, minWidth_);
  height = std::max(height, minHeight_);
}

// The control takes the limits at once (not while a stored form is read:
// its size comes in its own time and is checked then).
void TSizeConstraints::Changed() {
  if (!control_ || control_->ComponentState().Contains(csLoading)) return;
  control_->SetBounds(control_->Left(), control_->Top(), control_->Width(), control_->Height());
}

const TClassInfo& TPadding::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPadding>("TPadding", &TPersistent::StaticClassInfo(), [](TPublished<TPadding>& p) {
        p.Integer("Left", &TPadding::Left, &TPadding::SetLeft)
            .Integer("Top", &TPadding::Top, &TPadding::SetTop)
            .Integer("Right", &TPadding::Right, &TPadding::SetRight)
            .Integer("Bottom", &TPadding::Bottom, &TPadding::SetBottom);
      });
  return info;
}

void TPadding::Set(int32_t& field, int32_t v) {
  if (v == field) return;
  field = v;
  if (control_) control_->Realign();
}

void TPadding::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TPadding*>(source);
  if (!other) return TPersistent::Assign(source);
  left_ = other->left_;
  top_ = other->top_;
  right_ = other->right_;
  bottom_ = other->bottom_;
  if (control_) control_->Realign();
}

void TPadding::Shrink(RECT& rect) const {
  rect.left += left_;
  rect.top += top_;
  rect.right = std::max(rect.left, rect.right - right_);
  rect.bottom = std::max(rect.top, rect.bottom - bottom_);
}

TControl::TControl(TComponent* owner)
    : TComponent(owner), font_(std::make_unique<TFont>()), constraints_(std::make_unique<TSizeConstraints>(this)) {
  font_->OnChange = [this](TObject*) { FontChanged(); };
}

TControl::~TControl() {
  // A control going away hears nothing more.
  if (mouseControl == this) {
    mouseControl = nullptr;
    Application->HintMouseMessage(nullptr);
  }
  if (captureControl == this) SetCaptureControl(nullptr);
  if (parent_) parent_->RemoveControl(this);
}

bool TControl::IsWindowed() const { return dynamic_cast<const TWinControl*>(this) != nullptr; }

void TControl::SetParent(TWinControl* parent) {
  if (parent == parent_) return;
  if (parent == this) throw EComponentError("A control cannot have itself as its parent");
  if (parent_) parent_->RemoveControl(this);
  if (parent) parent->InsertControl(this);
}

TCustomForm* TControl::GetParentForm() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return dynamic_cast<TCustomForm*>(const_cast<TControl*>(c));
}

void TControl::SetAlign(TAlign align) {
  if (align == align_) return;
  align_ = align;
  if (align != alNone) anchors_ = TAnchors{akLeft, akTop};
  RequestAlign();
}

void TControl::SetAnchors(TAnchors anchors) { anchors_ = anchors; }

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  if (!IsWindowed()) InvalidateControl();
  visible_ = visible;
  Perform(CM_VISIBLECHANGED, visible);
  if (!IsWindowed()) InvalidateControl();
  RequestAlign();
}

bool TControl::Showing() const { return visible_ && parent_ && parent_->Showing(); }

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Perform(CM_ENABLEDCHANGED);
}

void TControl::FontChanged() {
  parentFont_ = false;
  Perform(CM_FONTCHANGED);
}

void TControl::SetColor(TColor color) {
  if (color == color_) return;
  color_ = color;
  parentColor_ = false;
  Perform(CM_COLORCHANGED);
}

void TControl::SetFontColorDefault(TColor color) {
  const bool keep = parentFont_;
  font_->SetColor(color);
  parentFont_ = keep;
}

void TControl::SetParentFont(bool parentFont) {
  parentFont_ = parentFont;
  if (parentFont) ParentFontChanged();
}

void TControl::SetParentColor(bool parentColor) {
  parentColor_ = parentColor;
  if (parentColor) ParentColorChanged();
}

void TControl::ParentFontChanged() {
  if (!parentFont_ || !parent_) return;
  TNotifyEvent keep = std::move(font_->OnChange);
  font_->OnChange = nullptr;
  font_->Assign(parent_->Font());
  font_->OnChange = std::move(keep);
  Perform(CM_FONTCHANGED);
}

void TControl::ParentColorChanged() {
  if (!parentColor_ || !parent_) return;
  if (color_ != parent_->Color()) {
    color_ = parent_->Color();
    Perform(CM_COLORCHANGED);
  }
}

void TControl::SetShowHint(bool show) {
  showHint_ = show;
  parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool parentShowHint) {
  parentShowHint_ = parentShowHint;
  if (parentShowHint && parent_) showHint_ = parent_->ShowHint();
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  Perform(CM_CURSORCHANGED);
}

std::string TControl::GetText() const { return text_; }

void TControl::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated()) SetWindowText(w->Handle(), text);
  Perform(CM_TEXTCHANGED);
}

void TControl::SetPopupMenu(TPopupMenu* menu) {
  popupMenu_ = menu;
  if (menu) menu->FreeNotification(this);
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == popupMenu_) popupMenu_ = nullptr;
}

void TControl::Loaded() {
  TComponent::Loaded();
  ParentFontChanged();
  ParentColorChanged();
  RequestAlign();
}

// ---- TControl messages and mouse ----

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::DefaultHandler(TMessage&) {}

void TControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      HandleMouse(m);
      DefaultHandler(m);
      return;
    case WM_MOUSEWHEEL: {
      POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      const int delta = static_cast<int16_t>(HIWORD(m.WParam));
      if (DoMouseWheel(KeysToShiftState(LOWORD(m.WParam)), delta, p))
        m.Result = 1;
      else if (parent_)
        m.Result = parent_->Perform(m.Msg, m.WParam, m.LParam);
      return;
    }
    case CM_MOUSEENTER:
      if (OnMouseEnter) OnMouseEnter(this);
      return;
    case CM_MOUSELEAVE:
      if (OnMouseLeave) OnMouseLeave(this);
      return;
    case CM_ENABLEDCHANGED:
    case CM_FONTCHANGED:
    case CM_COLORCHANGED:
    case CM_TEXTCHANGED:
      Invalidate();
      return;
    case CM_PARENTFONTCHANGED:
      ParentFontChanged();
      return;
    case CM_PARENTCOLORCHANGED:
      ParentColorChanged();
      return;
    case CM_VISIBLECHANGED:
    case CM_CURSORCHANGED:
    case CM_HINTSHOW:
    case CM_CANCELMODE:
    case CM_SYSCOLORCHANGE:
    case CM_FOCUSCHANGED:
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_WANTSPECIALKEY:
    case CM_BUTTONPRESSED:
    case CM_SHOWINGCHANGED:
      return;
    default:
      DefaultHandler(m);
  }
}

void TControl::HandleMouse(TMessage& m) {
  const int x = GET_X_LPARAM(m.LParam), y = GET_Y_LPARAM(m.LParam);
  TShiftState shift = KeysToShiftState(m.WParam);
  auto press = [&](TMouseButton button, bool dbl) {
    if (button == mbLeft) {
      if (controlStyle_.Contains(csCaptureMouse)) SetCaptureControl(this);
      if (controlStyle_.Contains(csClickEvents)) controlState_.Include(csClicked);
      controlState_.Include(csLButtonDown);
    }
    if (dbl) {
      shift.Include(ssDouble);
      if (button == mbLeft && controlStyle_.Contains(csDoubleClicks)) DblClick();
    }
    MouseDown(button, shift, x, y);
  };
  auto release = [&](TMouseButton button) {
    if (button == mbLeft) {
      controlState_.Exclude(csLButtonDown);
      if (captureControl == this) SetCaptureControl(nullptr);
      if (controlState_.Contains(csClicked)) {
        controlState_.Exclude(csClicked);
        const RECT r = ClientRect();
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) Click();
      }
    }
    MouseUp(button, shift, x, y);
    if (button == mbRight) {
      bool handled = false;
      DoContextPopup(ClientToScreen(POINT{x, y}), handled);
    }
  };
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (!captureControl || captureControl == this) SetMouseControl(this);
      MouseMove(shift, x, y);
      break;
    case WM_LBUTTONDOWN: press(mbLeft, false); break;
    case WM_LBUTTONDBLCLK: press(mbLeft, true); break;
    case WM_RBUTTONDOWN: press(mbRight, false); break;
    case WM_RBUTTONDBLCLK: press(mbRight, true); break;
    case WM_MBUTTONDOWN: press(mbMiddle, false); break;
    case WM_MBUTTONDBLCLK: press(mbMiddle, true); break;
    case WM_LBUTTONUP: release(mbLeft); break;
    case WM_RBUTTONUP: release(mbRight); break;
    case WM_MBUTTONUP: release(mbMiddle); break;
    default: break;
  }
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}
void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}
void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}
bool TControl::DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) {
  bool handled = false;
  if (OnMouseWheel) OnMouseWheel(this, shift, wheelDelta, mousePos, handled);
  return handled;
}
void TControl::Click() {
  if (OnClick) OnClick(this);
}
void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}
void TControl::Resize() {
  if (OnResize) OnResize(this);
}

void TControl::DoContextPopup(POINT mousePos, bool& handled) {
  if (OnContextPopup) OnContextPopup(this, mousePos, handled);
  if (!handled && popupMenu_ && popupMenu_->AutoPopup()) {
    popupMenu_->SetPopupComponent(this);
    popupMenu_->Popup(mousePos.x, mousePos.y);
    handled = true;
  }
}

// ---- TControl geometry ----

RECT TControl::ClientRect() const { return RECT{0, 0, width_, height_}; }
int32_t TControl::ClientWidth() const { return ClientRect().right; }
int32_t TControl::ClientHeight() const { return ClientRect().bottom; }
void TControl::SetClientSize(int32_t width, int32_t height) { SetBounds(left_, top_, width, height); }

POINT TControl::ClientOrigin() const {
  if (!parent_) return POINT{left_, top_};
  const POINT p = parent_->ClientOrigin();
  return POINT{p.x + left_, p.y + top_};
}

POINT TControl::ClientToScreen(POINT p) const {
  const POINT o = ClientOrigin();
  return POINT{p.x + o.x, p.y + o.y};
}

POINT TControl::ScreenToClient(POINT p) const {
  const POINT o = ClientOrigin();
  return POINT{p.x - o.x, p.y - o.y};
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (!CheckNewSize(width, height)) {
    width = width_;
    height = height_;
  }
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  DoSetBounds(left, top, width, height);
  if (align_ != alNone) RequestAlign();
}

bool TControl::CanResize(int32_t& width, int32_t& height) {
  bool resize = true;
  if (OnCanResize) OnCanResize(this, width, height, resize);
  return resize;
}

// A stored form's sizes are taken as written; the limits hold from then on.
bool TControl::CheckNewSize(int32_t& width, int32_t& height) {
  if (ComponentState().Contains(csLoading)) return true;
  int32_t w = width, h = height;
  if ((w != width_ || h != height_) && !CanResize(w, h)) return false;
  constraints_->Constrain(w, h);
  width = std::max(w, 0);
  height = std::max(h, 0);
  return true;
}

void TControl::DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  const bool resized = width != width_ || height != height_;
  InvalidateControl();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  InvalidateControl();
  if (resized && !ComponentState().Contains(csLoading)) Resize();
}

void TControl::UpdateBoundsRect(const RECT& r) {
  int32_t width = std::max<int32_t>(r.right - r.left, 0), height = std::max<int32_t>(r.bottom - r.top, 0);
  if (!CheckNewSize(width, height)) {
    width = width_;
    height = height_;
  }
  DoSetBounds(r.left, r.top, width, height);
}

void TControl::RequestAlign() {
  if (parent_) parent_->Realign();
}

void TControl::InvalidateControl() {
  if (IsWindowed() || !parent_ || !parent_->HandleAllocated() || !visible_) return;
  const RECT r = BoundsRect();
  InvalidateRect(parent_->Handle(), &r, TRUE);
}

void TControl::Invalidate() { InvalidateControl(); }

void TControl::Update() {
  if (parent_) parent_->Update();
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::BringToFront() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  std::erase(list, this);
  list.push_back(this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  Invalidate();
}

void TControl::SendToBack() {
  if (!parent_) return;
  auto& list = parent_->controls_;
  std::erase(list, this);
  list.insert(list.begin(), this);
  if (auto* w = dynamic_cast<TWinControl*>(this); w && w->HandleAllocated())
    SetWindowPos(w->Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  parent_->Invalidate();
}

// ---- TGraphicControl ----

const TClassInfo& TGraphicControl::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TGraphicControl>("TGraphicControl", &TControl::StaticClassInfo());
  return info;
}

TControlCanvas::~TControlCanvas() {
  SetHandle(nullptr);
  FreeOwned();
}

void TControlCanvas::CreateHandle() {
  auto* windowed = dynamic_cast<TWinControl*>(control_);
  if (windowed && windowed->HandleAllocated()) {
    ownedWindow_ = windowed->Handle();
    owned_ = GetDC(ownedWindow_);
  } else {
    owned_ = CreateCompatibleDC(nullptr);
  }
  SetHandle(owned_);
}

void TControlCanvas::FreeOwned() {
  if (!owned_) return;
  SetHandle(nullptr);
  if (ownedWindow_) ReleaseDC(ownedWindow_, owned_);
  else DeleteDC(owned_);
  owned_ = nullptr;
  ownedWindow_ = nullptr;
}

void TControlCanvas::BeginPaintOn(HDC dc) {
  SetHandle(nullptr);
  FreeOwned();
  SetHandle(dc);
}

void TControlCanvas::EndPaint() { SetHandle(nullptr); }

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::WndProc(TMessage& m) {
  if (m.Msg == WM_PAINT && m.WParam) {
    canvas_->BeginPaintOn(reinterpret_cast<HDC>(m.WParam));
    try {
      Paint();
    } catch (...) {
      canvas_->EndPaint();
      throw;
    }
    canvas_->EndPaint();
    return;
  }
  TControl::WndProc(m);
}

// ---- TCustomControl ----

const TClassInfo& TCustomControl::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomControl>("TCustomControl", &TWinControl::StaticClassInfo());
  return info;
}

TCustomControl::TCustomControl(TComponent* owner)
    : TWinControl(owner), canvas_(std::make_unique<TControlCanvas>(this)) {}

TCustomControl::~TCustomControl() = default;

void TCustomControl::PaintWindow(HDC dc) {
  canvas_->BeginPaintOn(dc);
  try {
    Paint();
  } catch (...) {
    canvas_->EndPaint();
    throw;
  }
  canvas_->EndPaint();
}

void TCustomControl::DestroyWnd() {
  canvas_->BeginPaintOn(nullptr);  // a window DC must not outlive its window
  TWinControl::DestroyWnd();
}

// ---- helpers ----

TControl* FindDragTarget(POINT screenPos, bool allowDisabled) {
  HWND window = WindowFromPoint(screenPos);
  TWinControl* control = TWinControl::FindControl(window);
  if (!control) return nullptr;
  TControl* child = control->ControlAtPos(control->ScreenToClient(screenPos), allowDisabled);
  return child ? child : control;
}

void Frame3D(TCanvas* canvas, RECT& rect, TColor topColor, TColor bottomColor, int width) {
  TPen* pen = canvas->Pen();
  pen->SetWidth(1);
  --rect.bottom;
  --rect.right;
  for (int i = 0; i < width; ++i) {
    pen->SetColor(topColor);
    canvas->Polyline({{rect.left, rect.bottom}, {rect.left, rect.top}, {rect.right, rect.top}});
    pen->SetColor(bottomColor);
    canvas->Polyline({{rect.right, rect.top}, {rect.right, rect.bottom}, {rect.left - 1, rect.bottom}});
    InflateRect(&rect, -1, -1);
  }
  ++rect.bottom;
  ++rect.right;
}
