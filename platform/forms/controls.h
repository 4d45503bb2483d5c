// Controls: the visual components. A TControl has bounds in its parent's
// client area, a font, a colour and mouse handling; a TWinControl owns a
// window of the window layer, holds child controls, takes the keyboard
// focus and aligns its children; a TGraphicControl draws on its parent's
// window; a TCustomControl is a window with a canvas and Paint.
//
// Sections: messages | enumerations and events | TControl | TWinControl |
// TGraphicControl, TCustomControl | helpers
//
// Messages reach a control through WndProc (override it to handle a
// message, and call the inherited WndProc for the rest). The framework's
// own notifications (CM_*) and the reflected ones (CN_*) travel the same way.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/set.h"
#include "platform/win/user.h"

RTL_DECLARE_EXCEPTION(EInvalidOperation, Exception);

// ---- messages ----

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0, CM_DEACTIVATE = CM_BASE + 1, CM_GOTFOCUS = CM_BASE + 2,
               CM_LOSTFOCUS = CM_BASE + 3, CM_CANCELMODE = CM_BASE + 4, CM_DIALOGKEY = CM_BASE + 5,
               CM_DIALOGCHAR = CM_BASE + 6, CM_FOCUSCHANGED = CM_BASE + 7, CM_PARENTFONTCHANGED = CM_BASE + 8,
               CM_PARENTCOLORCHANGED = CM_BASE + 9, CM_HITTEST = CM_BASE + 10, CM_VISIBLECHANGED = CM_BASE + 11,
               CM_ENABLEDCHANGED = CM_BASE + 12, CM_COLORCHANGED = CM_BASE + 13, CM_FONTCHANGED = CM_BASE + 14,
               CM_CURSORCHANGED = CM_BASE + 15, CM_TEXTCHANGED = CM_BASE + 18, CM_MOUSEENTER = CM_BASE + 19,
               CM_MOUSELEAVE = CM_BASE + 20, CM_BUTTONPRESSED = CM_BASE + 24, CM_SHOWINGCHANGED = CM_BASE + 25,
               CM_ENTER = CM_BASE + 26, CM_EXIT = CM_BASE + 27, CM_WANTSPECIALKEY = CM_BASE + 30,
               CM_RELEASE = CM_BASE + 33, CM_SHOWHINTCHANGED = CM_BASE + 34, CM_SYSCOLORCHANGE = CM_BASE + 36,
               CM_TABSTOPCHANGED = CM_BASE + 40, CM_CONTROLLISTCHANGE = CM_BASE + 44,
               CM_GETDATALINK = CM_BASE + 45, CM_CHILDKEY = CM_BASE + 46, CM_HINTSHOW = CM_BASE + 48,
               CM_BORDERCHANGED = CM_BASE + 59, CM_MOUSEWHEEL = CM_BASE + 67;

constexpr UINT WM_CTLCOLOREDIT = 0x0133, WM_CTLCOLORSTATIC = 0x0138;
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND, CN_KEYDOWN = CN_BASE + WM_KEYDOWN, CN_KEYUP = CN_BASE + WM_KEYUP,
               CN_CHAR = CN_BASE + WM_CHAR, CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
               CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
// Notification codes carried by CN_COMMAND in the high word of WParam.
constexpr WORD BN_CLICKED = 0, EN_CHANGE = 0x0300;

// ---- enumerations and events ----

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };
enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = Set<TAnchorKind>;
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = Set<TShiftStateItem>;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TLeftRight { lrLeft = 0, lrRight = 1 };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;  // controls use bsNone and bsSingle
enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

enum TControlStyleItem {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed, csSetCaption, csOpaque,
  csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible, csReplicatable, csNoStdEvents,
  csDisplayDragImage, csReflector, csActionClient, csMenuEvents, csNeedsBorderPaint, csParentBackground
};
using TControlStyle = Set<TControlStyleItem>;
enum TControlStateItem {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing, csCreating, csPaintCopy,
  csCustomPaint, csDestroyingHandle, csDocking
};
using TControlState = Set<TControlStateItem>;

// Cursors: the standard ones are negative; programs add their own from 1.
using TCursor = int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4, crSizeNESW = -6,
                  crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9, crUpArrow = -10, crHourGlass = -11, crDrag = -12,
                  crNoDrop = -13, crHSplit = -14, crVSplit = -15, crMultiDrag = -16, crSQLWait = -17, crNo = -18,
                  crAppStart = -19, crHelp = -20, crHandPoint = -21, crSizeAll = -22, crSize = -22;
const TIntegerIdents& CursorIdents();

class TControl;
class TWinControl;
class TCustomForm;
class TPopupMenu;

using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;
using TMouseWheelEvent =
    std::function<void(TObject* sender, TShiftState shift, int wheelDelta, POINT mousePos, bool& handled)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, char32_t& key)>;
using TContextPopupEvent = std::function<void(TObject* sender, POINT mousePos, bool& handled)>;

// What CM_HINTSHOW carries in LParam: the hint and where it shows.
struct THintInfo {
  TControl* HintControl = nullptr;
  POINT HintPos{};
  int32_t HintMaxWidth = 0;
  TColor HintColor = clInfoBk;
  RECT CursorRect{};
  POINT CursorPos{};
  int32_t ReshowTimeout = 0;
  int32_t HideTimeout = 0;
  std::string HintStr;
};

// The least and greatest width and height a control takes; 0 leaves that
// limit open. A change applies at once to the control's present size.
class TSizeConstraints : public TPersistent {
  FORMS_CLASS(TSizeConstraints)

public:
  explicit TSizeConstraints(TControl* control) : control_(control) {}
  int32_t MinWidth() const { return minWidth_; }
  int32_t MinHeight() const { return minHeight_; }
  int32_t MaxWidth() const { return maxWidth_; }
  int32_t MaxHeight() const { return maxHeight_; }
  void SetMinWidth(int32_t v);
  void SetMinHeight(int32_t v);
  void SetMaxWidth(int32_t v);
  void SetMaxHeight(int32_t v);
  void Assign(const TPersistent* source) override;
  // Holds a size within the limits.
  void Constrain(int32_t& width, int32_t& height) const;

private:
  void Changed();
  TControl* control_;
  int32_t minWidth_ = 0, minHeight_ = 0, maxWidth_ = 0, maxHeight_ = 0;
};

// Room kept free along each inner edge of a control when its children align.
class TPadding : public TPersistent {
  FORMS_CLASS(TPadding)

public:
  explicit TPadding(TWinControl* control) : control_(control) {}
  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Right() const { return right_; }
  int32_t Bottom() const { return bottom_; }
  void SetLeft(int32_t v) { Set(left_, v); }
  void SetTop(int32_t v) { Set(top_, v); }
  void SetRight(int32_t v) { Set(right_, v); }
  void SetBottom(int32_t v) { Set(bottom_, v); }
  void Assign(const TPersistent* source) override;
  // The rectangle less the padding.
  void Shrink(RECT& rect) const;

private:
  void Set(int32_t& field, int32_t v);
  TWinControl* control_;
  int32_t left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;
};

// Asked before a control takes a new size; may change it or refuse it.
using TCanResizeEvent = std::function<void(TObject* sender, int32_t& newWidth, int32_t& newHeight, bool& resize)>;
// What a press on an inactive window does (WM_MOUSEACTIVATE); maDefault asks the parent.
enum TMouseActivate { maDefault, maActivate, maActivateAndEat, maNoActivate, maNoActivateAndEat };
using TMouseActivateEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y,
                                               int hitTest, TMouseActivate& activate)>;

// The shift state from the keyboard and the mouse keys of a mouse message.
TShiftState KeysToShiftState(WPARAM keys);
// The shift state of the keyboard now.
TShiftState GetShiftState();

// ---- TControl ----

class TControl : public TComponent {
  FORMS_CLASS(TControl)

public:
  explicit TControl(TComponent* owner);
  ~TControl() override;

  // The control's window procedure; overrides handle their messages and pass the rest on.
  virtual void WndProc(TMessage& message);
  // What is left after WndProc: for windowed controls, the window layer's default.
  virtual void DefaultHandler(TMessage& message);
  LRESULT Perform(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

  TWinControl* Parent() const { return parent_; }
  virtual void SetParent(TWinControl* parent);
  // The form the control lies on (null when it is on none).
  TCustomForm* GetParentForm() const;

  int32_t Left() const { return left_; }
  int32_t Top() const { return top_; }
  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  void SetLeft(int32_t v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int32_t v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int32_t v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int32_t v) { SetBounds(left_, top_, width_, v); }
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  void SetBoundsRect(const RECT& r) { SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); }
  virtual RECT ClientRect() const;
  int32_t ClientWidth() const;
  int32_t ClientHeight() const;
  virtual void SetClientSize(int32_t width, int32_t height);
  void SetClientWidth(int32_t width) { SetClientSize(width, ClientHeight()); }
  void SetClientHeight(int32_t height) { SetClientSize(ClientWidth(), height); }
  // The client origin in screen coordinates.
  virtual POINT ClientOrigin() const;
  POINT ClientToScreen(POINT p) const;
  POINT ScreenToClient(POINT p) const;

  TAlign Align() const { return align_; }
  void SetAlign(TAlign align);
  TAnchors Anchors() const { return anchors_; }
  void SetAnchors(TAnchors anchors);
  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Visible, with every parent showing.
  virtual bool Showing() const;
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  bool ParentFont() const { return parentFont_; }
  void SetParentFont(bool parentFont);
  bool ParentColor() const { return parentColor_; }
  void SetParentColor(bool parentColor);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show);
  bool ParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool parentShowHint);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // Caption and Text are one value (CM_TEXTCHANGED on a change).
  std::string Caption() const { return GetText(); }
  void SetCaption(const std::string& caption) { SetText(caption); }
  virtual std::string GetText() const;
  virtual void SetText(const std::string& text);
  std::string Text() const { return GetText(); }
  TPopupMenu* PopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* menu);
  TBiDiMode BiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode mode) { biDiMode_ = mode; }
  TControlStyle ControlStyle() const { return controlStyle_; }
  void SetControlStyle(TControlStyle style) { controlStyle_ = style; }
  TControlState ControlState() const { return controlState_; }
  void SetControlState(TControlState state) { controlState_ = state; }
  bool IsWindowed() const;
  TSizeConstraints* Constraints() const { return constraints_.get(); }

  virtual void Invalidate();
  // Paints now what is invalid.
  virtual void Update();
  void Repaint();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  virtual void Click();
  virtual void DblClick();

  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TMouseWheelEvent OnMouseWheel;
  TNotifyEvent OnResize;
  TContextPopupEvent OnContextPopup;
  TCanResizeEvent OnCanResize;

protected:
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos);
  virtual void Resize();
  // Whether the control takes a new size: OnCanResize may change or refuse it.
  virtual bool CanResize(int32_t& width, int32_t& height);
  // Shows the popup menu unless OnContextPopup handles it.
  virtual void DoContextPopup(POINT mousePos, bool& handled);
  // The parent's area this control covers, for invalidation.
  void InvalidateControl();
  virtual void ChangeScale(int32_t, int32_t) {}
  // Asks the parent to realign its children.
  void RequestAlign();
  // The font or colour of the parent was taken (ParentFont, ParentColor).
  void ParentFontChanged();
  void ParentColorChanged();
  // Sets the bounds without asking the parent to realign (used by alignment).
  void UpdateBoundsRect(const RECT& r);
  virtual void DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  void SetFontColorDefault(TColor color);

  int32_t left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  std::string text_;

private:
  friend class TWinControl;
  void HandleMouse(TMessage& message);
  void FontChanged();
  // The size the control takes instead of the one asked for; false when it keeps its own.
  bool CheckNewSize(int32_t& width, int32_t& height);

  TWinControl* parent_ = nullptr;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  bool visible_ = true;
  bool enabled_ = true;
  std::unique_ptr<TFont> font_;
  TColor color_ = clWindow;
  bool parentFont_ = true;
  bool parentColor_ = false;
  std::string hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TCursor cursor_ = crDefault;
  TPopupMenu* popupMenu_ = nullptr;
  TBiDiMode biDiMode_ = bdLeftToRight;
  TControlStyle controlStyle_{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState controlState_;
  // Anchor distances kept while the parent resizes.
  RECT anchorRules_{};
  bool anchorsSet_ = false;
  std::unique_ptr<TSizeConstraints> constraints_;
};

// ---- TWinControl ----

// The window parameters a control asks for (CreateParams).
struct TCreateParams {
  std::string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  UINT WindowClassStyle = CS_DBLCLKS;
};

class TWinControl : public TControl {
  FORMS_CLASS(TWinControl)

public:
  explicit TWinControl(TComponent* owner);
  ~TWinControl() override;

  void WndProc(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;

  // The window, made on first use (with the parents' windows).
  HWND Handle();
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded() { Handle(); }
  // Destroys and makes the window again (after a change of window style).
  void RecreateWnd();
  // The control that owns a window of this framework; null for any other window.
  static TWinControl* FindControl(HWND window);

  int32_t ControlCount() const { return static_cast<int32_t>(controls_.size()); }
  TControl* Controls(int32_t index) const { return controls_[index]; }
  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  // The visible child at a client point (windowed ones only when allowed).
  TControl* ControlAtPos(POINT p, bool allowDisabled, bool allowWinControls = false) const;
  bool ContainsControl(const TControl* control) const;

  int32_t TabOrder() const;
  void SetTabOrder(int32_t order);
  bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop);
  // The focusable windowed descendants in tab order.
  void GetTabOrderList(std::vector<TWinControl*>& list) const;
  TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop, bool checkParent) const;
  void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);

  virtual bool CanFocus() const;
  bool Focused() const;
  virtual void SetFocus();

  bool DoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool v) { doubleBuffered_ = v; }
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);
  bool ParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool v) { parentCtl3D_ = v; }
  TPadding* Padding() const { return padding_.get(); }

  bool Showing() const override;
  void DisableAlign() { ++alignDisabled_; }
  void EnableAlign();
  void Realign();
  void Invalidate() override;
  void Update() override;
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  RECT ClientRect() const override;
  POINT ClientOrigin() const override;
  void SetClientSize(int32_t width, int32_t height) override;
  void Loaded() override;
  // Paints the graphic children of this control on `dc` (in client coordinates).
  void PaintControls(HDC dc, TControl* first = nullptr);
  // CM_SHOWINGCHANGED to this control and its windowed descendants.
  void NotifyShowingChanged();
  // Sends the message to every child control (CM_* broadcasts).
  void Broadcast(TMessage& message);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseActivateEvent OnMouseActivate;

protected:
  // Answers a press on an inactive window: OnMouseActivate, else the parent's answer.
  virtual TMouseActivate MouseActivate(TMouseButton button, TShiftState shift, int x, int y, int hitTest);
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void CreateHandle();
  void DestroyHandle();
  // Paints the control itself on `dc` (TCustomControl: Paint on the canvas).
  virtual void PaintWindow(HDC dc);
  virtual void PaintHandler(HDC dc);
  // Fills the background with Color unless csOpaque.
  virtual void EraseBackground(HDC dc);
  virtual void AlignControls(TControl* control, RECT& rect);
  virtual void AdjustClientRect(RECT& rect) const;
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(char32_t& key);
  virtual void DoEnter();
  virtual void DoExit();
  // True when the control handles this key itself instead of dialog navigation.
  bool WantsKey(WORD key);
  // Runs the menu item whose shortcut this is (popup menus up the parents, the form's menu).
  bool IsMenuKey(WORD key);
  // Takes the focus on a mouse press (standard controls do).
  bool FocusOnClick() const { return focusOnClick_; }
  void SetFocusOnClick(bool v) { focusOnClick_ = v; }
  void DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

private:
  friend class TControl;
  friend class TCustomForm;
  friend LRESULT FormsWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
  bool ForwardMouseToChild(TMessage& message);
  void HandleKeyDown(TMessage& message);
  void HandleKeyUp(TMessage& message);
  void HandleChar(TMessage& message);
  void HandlePaint(TMessage& message);
  void UpdateShowing();
  void UpdateBoundsFromWindow();
  void AlignAll();

  HWND handle_ = nullptr;
  std::vector<TControl*> controls_;
  std::vector<TWinControl*> tabList_;
  bool tabStop_ = false;
  bool doubleBuffered_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  bool focusOnClick_ = false;
  int alignDisabled_ = 0;
  bool alignPending_ = false;
  std::unique_ptr<TPadding> padding_;
  SIZE lastClientSize_{-1, -1};
};

// ---- TGraphicControl, TCustomControl ----

// The canvas of a control. While the control paints it draws on the paint
// DC; asked for at other times (to measure text, say) it makes a DC of its
// own: the window's for a windowed control, else a memory DC.
class TControlCanvas : public TCanvas {
public:
  explicit TControlCanvas(TControl* control) : control_(control) {}
  ~TControlCanvas() override;
  // Draws on `dc` (a paint DC) after letting go of a DC of its own.
  void BeginPaintOn(HDC dc);
  void EndPaint();

protected:
  void CreateHandle() override;

private:
  void FreeOwned();
  TControl* control_;
  HDC owned_ = nullptr;
  HWND ownedWindow_ = nullptr;
};

// A control without a window; it paints on its parent's window.
class TGraphicControl : public TControl {
  FORMS_CLASS(TGraphicControl)

public:
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  void WndProc(TMessage& message) override;
  TCanvas* Canvas() const { return canvas_.get(); }

protected:
  virtual void Paint() {}

private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// A window with a canvas: subclasses draw in Paint.
class TCustomControl : public TWinControl {
  FORMS_CLASS(TCustomControl)

public:
  explicit TCustomControl(TComponent* owner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }

protected:
  virtual void Paint() {}
  void PaintWindow(HDC dc) override;
  void DestroyWnd() override;

private:
  std::unique_ptr<TControlCanvas> canvas_;
};

// ---- helpers ----

// The control under a screen point (disabled ones included), windowed or not.
TControl* FindDragTarget(POINT screenPos, bool allowDisabled);
// The control that has the mouse captured, if any.
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// Forgets the capture control without releasing the window capture (it was lost).
void ForgetCaptureControl();
// The control the mouse is over; setting it sends CM_MOUSELEAVE to the old
// one and CM_MOUSEENTER to the new one.
TControl* GetMouseControl();
void SetMouseControl(TControl* control);
// Draws a 3-D frame in the classic colours: raised or lowered.
void Frame3D(TCanvas* canvas, RECT& rect, TColor topColor, TColor bottomColor, int width);

// A new control of the owner, named, on the parent, at the bounds: how the
// forms built in code make their controls.
template <class T>
T* PlaceControl(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int w, int h) {
  auto* control = new T(owner);
  control->SetName(name);
  control->SetParent(parent);
  control->SetBounds(x, y, w, h);
  return control;
}
