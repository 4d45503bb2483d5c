// TWinControl: the window, children, painting, keyboard, focus, tab order
// and alignment.
//
// Sections: window class | life cycle | messages | painting | keyboard |
// focus and tab order | geometry and alignment
#include <algorithm>
#include <unordered_map>

#include "platform/forms/controls.h"
#include "platform/forms/forms.h"
#include "platform/forms/menus.h"
#include "platform/rtl/sysutils.h"

// ---- window class ----

namespace {

constexpr const char* kWindowClass = "TFormsWindow";
std::unordered_map<HWND, TWinControl*> windowControls;
// Windows whose control is handling a message, with how deep; a release asked
// meanwhile waits until the outermost handler has returned, so that no
// handler returns into a freed control (a menu command that runs a modal
// loop, for one, lets the menu's release through while the menu's own
// button-up handler is still on the stack).
struct Dispatching {
  int depth = 0;
  bool releaseLater = false;
};
std::unordered_map<HWND, Dispatching> dispatching;
// A dialog key consumed by navigation must not type its character too.
char32_t swallowChar = 0;

}  // namespace

LRESULT FormsWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);

namespace {

// After a handler returned: the release that waited for it is asked again.
void EndDispatch(HWND window) {
  auto it = dispatching.find(window);
  if (it == dispatching.end() || --it->second.depth > 0) return;
  const bool release = it->second.releaseLater;
  dispatching.erase(it);
  if (release && IsWindow(window)) PostMessage(window, CM_RELEASE, 0, 0);
}

void RegisterWindowClass() {
  static bool done = false;
  if (done) return;
  WNDCLASS wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = FormsWndProc;
  wc.lpszClassName = kWindowClass;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  RegisterClass(&wc);
  done = true;
}

}  // namespace

// The window procedure of every framework window: hands the message to its control.
LRESULT FormsWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = nullptr;
  if (msg == WM_NCCREATE) {
    control = static_cast<TWinControl*>(reinterpret_cast<CREATESTRUCT*>(lParam)->lpCreateParams);
    windowControls[window] = control;
    control->handle_ = window;
  } else {
    control = TWinControl::FindControl(window);
  }
  if (!control) return DefWindowProc(window, msg, wParam, lParam);
  if (msg == CM_RELEASE) {
    if (auto busy = dispatching.find(window); busy != dispatching.end()) {
      busy->second.releaseLater = true;
      return 0;
    }
  }
  ++dispatching[window].depth;
  struct End {
    HWND window;
    ~End() { EndDispatch(window); }
  } end{window};
  TMessage m{msg, wParam, lParam, 0};
  try {
    control->WndProc(m);
  } catch (const std::exception& e) {
    Application->HandleException(control, e);
  }
  return m.Result;
}

TWinControl* TWinControl::FindControl(HWND window) {
  auto it = windowControls.find(window);
  return it == windowControls.end() ? nullptr : it->second;
}

// ---- life cycle ----

const TClassInfo& TWinControl::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TWinControl>("TWinControl", &TControl::StaticClassInfo(), [](TPublished<TWinControl>& p) {
        p.Integer("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder)
            .Boolean("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop)
            .Boolean("Ctl3D", &TWinControl::Ctl3D, &TWinControl::SetCtl3D)
            .Boolean("ParentCtl3D", &TWinControl::ParentCtl3D, &TWinControl::SetParentCtl3D)
            .Boolean("DoubleBuffered", &TWinControl::DoubleBuffered, &TWinControl::SetDoubleBuffered)
            .Event("OnEnter", &TWinControl::OnEnter)
            .Event("OnExit", &TWinControl::OnExit)
            .Event("OnKeyDown", &TWinControl::OnKeyDown)
            .Event("OnKeyPress", &TWinControl::OnKeyPress)
            .Event("OnKeyUp", &TWinControl::OnKeyUp);
      });
  return info;
}

TWinControl::TWinControl(TComponent* owner) : TControl(owner), padding_(std::make_unique<TPadding>(this)) {}

TWinControl::~TWinControl() {
  Destroying();
  // Children go with their parent, whoever owns them.
  while (!controls_.empty()) controls_.back()->Free();
  DestroyHandle();
  if (Parent()) Parent()->RemoveControl(this);
}

void TWinControl::CreateParams(TCreateParams& p) {
  p.Caption = GetText();
  p.Style = WS_CHILD | WS_CLIPSIBLINGS;
  if (ControlStyle().Contains(csAcceptsControls)) p.Style |= WS_CLIPCHILDREN;
  if (Visible()) p.Style |= WS_VISIBLE;
  if (!Enabled()) p.Style |= WS_DISABLED;
  if (tabStop_) p.Style |= WS_TABSTOP;
  p.X = left_;
  p.Y = top_;
  p.Width = width_;
  p.Height = height_;
  p.WndParent = Parent() ? Parent()->Handle() : nullptr;
}

void TWinControl::CreateWnd() {
  RegisterWindowClass();
  TCreateParams p;
  CreateParams(p);
  if ((p.Style & WS_CHILD) && !p.WndParent)
    throw EComponentError(Format("Control '%s' has no parent window", {Name()}));
  HWND window = CreateWindowEx(p.ExStyle, kWindowClass, p.Caption.c_str(), p.Style, p.X, p.Y, p.Width, p.Height,
                               p.WndParent, nullptr, nullptr, this);
  if (!window) throw EComponentError(Format("Error creating window for %s", {Name()}));
  handle_ = window;
  if (p.WindowClassStyle != CS_DBLCLKS) SetClassLongPtr(window, GCL_STYLE, p.WindowClassStyle);
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->CreateHandle();
  UpdateBoundsFromWindow();
  Realign();
}

void TWinControl::CreateHandle() {
  if (handle_) return;
  if (Parent() && !Parent()->HandleAllocated()) {
    Parent()->CreateHandle();  // makes this one among its children
    if (handle_) return;
  }
  CreateWnd();
}

HWND TWinControl::Handle() {
  if (!handle_) CreateHandle();
  return handle_;
}

void TWinControl::DestroyWnd() {
  HWND window = handle_;
  windowControls.erase(window);
  handle_ = nullptr;
  DestroyWindow(window);
}

void TWinControl::DestroyHandle() {
  if (!handle_) return;
  SetControlState(ControlState() + csDestroyingHandle);
  for (TControl* c : controls_)
    if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
  DestroyWnd();
  SetControlState(ControlState() - csDestroyingHandle);
}

void TWinControl::RecreateWnd() {
  if (!handle_) return;
  DestroyHandle();
  CreateHandle();
}

void TWinControl::InsertControl(TControl* control) {
  control->parent_ = this;
  controls_.push_back(control);
  auto* w = dynamic_cast<TWinControl*>(control);
  if (w) tabList_.push_back(w);
  control->ParentFontChanged();
  control->ParentColorChanged();
  if (control->ParentShowHint()) control->showHint_ = ShowHint();
  if (w && handle_) w->CreateHandle();
  if (control->Align() != alNone || !control->Anchors().Contains(akLeft) || !control->Anchors().Contains(akTop))
    Realign();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  if (control->parent_ != this) return;
  if (auto* w = dynamic_cast<TWinControl*>(control)) {
    if (TCustomForm* form = GetParentForm()) form->ControlRemoved(w);
    w->DestroyHandle();
    std::erase(tabList_, w);
  } else {
    control->InvalidateControl();
  }
  if (GetMouseControl() && control->IsWindowed() && static_cast<TWinControl*>(control)->ContainsControl(GetMouseControl()))
    SetMouseControl(nullptr);
  std::erase(controls_, control);
  control->parent_ = nullptr;
  if (!ComponentState().Contains(csDestroying)) Realign();
}

bool TWinControl::ContainsControl(const TControl* control) const {
  for (const TControl* c = control; c; c = c->Parent())
    if (c == this) return true;
  return false;
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled, bool allowWinControls) const {
  for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
    TControl* c = *it;
    if (!allowWinControls && c->IsWindowed()) continue;
    if (!c->Visible() || (!allowDisabled && !c->Enabled())) continue;
    const RECT r = c->BoundsRect();
    if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) return c;
  }
  return nullptr;
}

void TWinControl::Loaded() {
  TControl::Loaded();
  if (alignPending_) Realign();
}

// ---- messages ----

void TWinControl::DefaultHandler(TMessage& m) {
  if (handle_)
    m.Result = DefWindowProc(handle_, m.Msg, m.WParam, m.LParam);
}

void TWinControl::Broadcast(TMessage& m) {
  const std::vector<TControl*> children = controls_;
  for (TControl* c : children) {
    if (std::find(controls_.begin(), controls_.end(), c) == controls_.end()) continue;
    c->WndProc(m);
    if (m.Result != 0) return;
  }
}

bool TWinControl::Showing() const {
  if (Parent()) return TControl::Showing();
  return Visible() && handle_ && IsWindowVisible(handle_);
}

void TWinControl::UpdateShowing() {
  if (!handle_) {
    if (Visible() && Parent() && Parent()->HandleAllocated()) CreateHandle();
    if (!handle_) return;
  }
  ShowWindow(handle_, Visible() ? SW_SHOWNA : SW_HIDE);
  NotifyShowingChanged();
}

void TWinControl::NotifyShowingChanged() {
  Perform(CM_SHOWINGCHANGED);
  for (TControl* c : std::vector<TControl*>(controls_))
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->NotifyShowingChanged();
}

void TWinControl::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT: HandlePaint(m); return;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return;
    case WM_SETFOCUS:
      if (TCustomForm* form = GetParentForm()) form->SetFocusedControl(this);
      DefaultHandler(m);
      return;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: HandleKeyDown(m); return;
    case WM_KEYUP:
    case WM_SYSKEYUP: HandleKeyUp(m); return;
    case WM_CHAR:
    case WM_SYSCHAR: HandleChar(m); return;
    case CN_KEYDOWN: {
      const WORD key = static_cast<WORD>(m.WParam);
      TCustomForm* form = GetParentForm();
      if (IsMenuKey(key)) {
        m.Result = 1;
        return;
      }
      m.Result = !WantsKey(key) && form && form->Perform(CM_DIALOGKEY, key, m.LParam) != 0;
      return;
    }
    case WM_WINDOWPOSCHANGED:
      DefaultHandler(m);
      UpdateBoundsFromWindow();
      return;
    case WM_MOUSEACTIVATE: {
      TMouseActivate answer = maDefault;
      if (!ComponentState().Contains(csDesigning)) {
        POINT p;
        GetCursorPos(&p);
        p = ScreenToClient(p);
        const UINT press = HIWORD(m.LParam);
        const TMouseButton button = press == WM_RBUTTONDOWN ? mbRight : press == WM_MBUTTONDOWN ? mbMiddle : mbLeft;
        answer = MouseActivate(button, GetShiftState(), p.x, p.y, static_cast<int16_t>(LOWORD(m.LParam)));
      }
      if (answer == maDefault)
        DefaultHandler(m);
      else
        m.Result = static_cast<LRESULT>(answer);  // MA_ACTIVATE .. MA_NOACTIVATEANDEAT
      return;
    }
    case WM_SETCURSOR: {
      POINT p;
      GetCursorPos(&p);
      TControl* target = ControlAtPos(ScreenToClient(p), false);
      TCursor cursor = Screen->Cursor() != crDefault ? Screen->Cursor()
                                                        : (target ? target : this)->Cursor();
      if (LOWORD(m.LParam) == HTCLIENT && cursor != crDefault) {
        ::SetCursor(Screen->Cursors(cursor));
        m.Result = 1;
        return;
      }
      DefaultHandler(m);
      return;
    }
    case WM_MOUSELEAVE:
      if (GetMouseControl() && ContainsControl(GetMouseControl()) &&
          (GetMouseControl() == this || !GetMouseControl()->IsWindowed())) {
        SetMouseControl(nullptr);
      }
      return;
    case WM_CAPTURECHANGED:
      if (GetCaptureControl() && ContainsControl(GetCaptureControl()) && reinterpret_cast<HWND>(m.LParam) != handle_)
        ForgetCaptureControl();
      return;
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (TWinControl* child = FindControl(reinterpret_cast<HWND>(m.LParam))) {
        m.Result = child->Perform(CN_BASE + m.Msg, m.WParam, m.LParam);
        return;
      }
      DefaultHandler(m);
      return;
    case CN_CTLCOLOREDIT:
    case CN_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(m.WParam);
      SetTextColor(dc, ColorToRGB(Font()->Color()));
      SetBkColor(dc, ColorToRGB(Color()));
      static TBrush brush;
      brush.SetColor(Color());
      m.Result = reinterpret_cast<LRESULT>(brush.Handle());
      return;
    }
    case CM_ENTER: DoEnter(); return;
    case CM_EXIT: DoExit(); return;
    case CM_DIALOGKEY:
    case CM_DIALOGCHAR:
    case CM_FOCUSCHANGED:
    case CM_SYSCOLORCHANGE:
    case CM_CANCELMODE:
      Broadcast(m);
      return;
    case CM_FONTCHANGED: {
      TControl::WndProc(m);
      TMessage child{CM_PARENTFONTCHANGED, 0, 0, 0};
      Broadcast(child);
      return;
    }
    case CM_PARENTFONTCHANGED:
      TControl::WndProc(m);
      return;
    case CM_COLORCHANGED: {
      TControl::WndProc(m);
      TMessage child{CM_PARENTCOLORCHANGED, 0, 0, 0};
      Broadcast(child);
      return;
    }
    case CM_VISIBLECHANGED:
      UpdateShowing();
      return;
    case CM_ENABLEDCHANGED:
      if (handle_) EnableWindow(handle_, Enabled());
      Invalidate();
      return;
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
      if (ForwardMouseToChild(m)) return;
      if (focusOnClick_ && (m.Msg == WM_LBUTTONDOWN || m.Msg == WM_LBUTTONDBLCLK) && CanFocus() && !Focused())
        SetFocus();
      TControl::WndProc(m);
      return;
    default:
      TControl::WndProc(m);
  }
}

bool TWinControl::ForwardMouseToChild(TMessage& m) {
  POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
  TControl* target = GetCaptureControl();
  if (target) {
    if (target->IsWindowed() || target->Parent() != this) return false;
  } else {
    target = ControlAtPos(p, false);
  }
  if (!target) return false;
  target->Perform(m.Msg, m.WParam, MAKELPARAM(static_cast<WORD>(p.x - target->Left()), static_cast<WORD>(p.y - target->Top())));
  return true;
}

// ---- painting ----

void TWinControl::HandlePaint(TMessage& m) {
  if (m.WParam) {  // painted into a given DC (a parent's or a bitmap's)
    PaintHandler(reinterpret_cast<HDC>(m.WParam));
    return;
  }
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(handle_, &ps);
  try {
    PaintHandler(dc);
  } catch (...) {
    EndPaint(handle_, &ps);
    throw;
  }
  EndPaint(handle_, &ps);
}

void TWinControl::PaintHandler(HDC dc) {
  PaintWindow(dc);
  PaintControls(dc);
}

void TWinControl::PaintWindow(HDC) {}

void TWinControl::EraseBackground(HDC dc) {
  if (ControlStyle().Contains(csOpaque) || !dc) return;
  TBrush brush;
  brush.SetColor(Color());
  RECT r = ClientRect();
  FillRect(dc, &r, brush.Handle());
}

void TWinControl::PaintControls(HDC dc, TControl* first) {
  auto it = first ? std::find(controls_.begin(), controls_.end(), first) : controls_.begin();
  for (; it != controls_.end(); ++it) {
    TControl* c = *it;
    if (c->IsWindowed() || !c->Visible()) continue;
    const RECT r = c->BoundsRect();
    RECT clip, overlap;
    if (GetClipBox(dc, &clip) != ERROR && !IntersectRect(&overlap, &clip, &r)) continue;
    const int saved = SaveDC(dc);
    POINT org;
    GetViewportOrgEx(dc, &org);
    SetViewportOrgEx(dc, org.x + r.left, org.y + r.top, nullptr);
    IntersectClipRect(dc, 0, 0, r.right - r.left, r.bottom - r.top);
    c->Perform(WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    RestoreDC(dc, saved);
  }
}

void TWinControl::Invalidate() {
  if (handle_) InvalidateRect(handle_, nullptr, TRUE);
}

void TWinControl::Update() {
  if (handle_) UpdateWindow(handle_);
}

// ---- keyboard ----

bool TWinControl::IsMenuKey(WORD key) {
  // The popup menus of the control and its parents, then the form's main menu.
  const TShiftState shift = GetShiftState();
  for (TControl* c = this; c; c = c->Parent())
    if (c->PopupMenu() && c->PopupMenu()->IsShortCut(key, shift)) return true;
  TCustomForm* form = GetParentForm();
  return form && form->Menu() && form->Menu()->IsShortCut(key, shift);
}

bool TWinControl::WantsKey(WORD key) {
  LRESULT mask = 0;
  switch (key) {
    case VK_TAB: mask = DLGC_WANTTAB; break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: mask = DLGC_WANTARROWS; break;
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_CANCEL: mask = DLGC_WANTALLKEYS; break;
    default: return true;
  }
  return Perform(CM_WANTSPECIALKEY, key) != 0 || (Perform(WM_GETDLGCODE) & (mask | DLGC_WANTALLKEYS)) != 0;
}

void TWinControl::HandleKeyDown(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  if (Perform(CN_KEYDOWN, key, m.LParam) != 0) {
    static const char32_t kChars[] = {U'\t', U'\r', U'\x1b'};
    swallowChar = key == VK_TAB ? kChars[0] : key == VK_RETURN ? kChars[1] : key == VK_ESCAPE ? kChars[2] : 0;
    return;
  }
  const TShiftState shift = GetShiftState();
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyDown(key, shift);
    if (key == 0) return;
  }
  KeyDown(key, shift);
  if (key != 0) {
    m.WParam = key;
    DefaultHandler(m);
  }
}

void TWinControl::HandleKeyUp(TMessage& m) {
  WORD key = static_cast<WORD>(m.WParam);
  if (Perform(CN_KEYUP, key, m.LParam) != 0) return;
  const TShiftState shift = GetShiftState();
  TCustomForm* form = GetParentForm();
  if (form && form != this && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyUp(key, shift);
    if (key == 0) return;
  }
  KeyUp(key, shift);
  if (key != 0) DefaultHandler(m);
}

void TWinControl::HandleChar(TMessage& m) {
  char32_t ch = static_cast<char32_t>(m.WParam);
  if (swallowChar && ch == swallowChar) {
    swallowChar = 0;
    return;
  }
  swallowChar = 0;
  TCustomForm* form = GetParentForm();
  const bool wantsChars = (Perform(WM_GETDLGCODE) & DLGC_WANTCHARS) != 0;
  if (form && (m.Msg == WM_SYSCHAR || !wantsChars) && form->Perform(CM_DIALOGCHAR, m.WParam, m.LParam) != 0) return;
  if (m.Msg == WM_SYSCHAR) {
    DefaultHandler(m);
    return;
  }
  if (form && form != this && form->KeyPreview()) {
    static_cast<TWinControl*>(form)->KeyPress(ch);
    if (ch == 0) return;
  }
  KeyPress(ch);
  if (ch != 0) {
    m.WParam = ch;
    DefaultHandler(m);
  }
}

void TWinControl::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) OnKeyDown(this, key, shift);
}
void TWinControl::KeyUp(WORD& key, TShiftState shift) {
  if (OnKeyUp) OnKeyUp(this, key, shift);
}
void TWinControl::KeyPress(char32_t& key) {
  if (OnKeyPress) OnKeyPress(this, key);
}
void TWinControl::DoEnter() {
  if (OnEnter) OnEnter(this);
}
void TWinControl::DoExit() {
  if (OnExit) OnExit(this);
}

// ---- focus and tab order ----

int32_t TWinControl::TabOrder() const {
  if (!Parent()) return -1;
  const auto& list = Parent()->tabList_;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

void TWinControl::SetTabOrder(int32_t order) {
  if (!Parent()) return;
  auto& list = Parent()->tabList_;
  std::erase(list, this);
  order = std::clamp<int32_t>(order, 0, static_cast<int32_t>(list.size()));
  list.insert(list.begin() + order, this);
}

void TWinControl::SetTabStop(bool tabStop) {
  if (tabStop == tabStop_) return;
  tabStop_ = tabStop;
  if (handle_) {
    const LONG_PTR style = GetWindowLongPtr(handle_, GWL_STYLE);
    SetWindowLongPtr(handle_, GWL_STYLE, tabStop ? (style | WS_TABSTOP) : (style & ~LONG_PTR{WS_TABSTOP}));
  }
  Perform(CM_TABSTOPCHANGED);
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& list) const {
  for (TWinControl* c : tabList_) {
    list.push_back(c);
    c->GetTabOrderList(list);
  }
}

TWinControl* TWinControl::FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                          bool checkParent) const {
  std::vector<TWinControl*> list;
  GetTabOrderList(list);
  if (list.empty()) return nullptr;
  const int n = static_cast<int>(list.size());
  auto it = std::find(list.begin(), list.end(), current);
  int start = it == list.end() ? (goForward ? n - 1 : 0) : static_cast<int>(it - list.begin());
  for (int step = 1; step <= n; ++step) {
    const int i = ((goForward ? start + step : start - step) % n + n) % n;
    TWinControl* c = list[i];
    if (c == current) break;
    if ((!checkTabStop || c->tabStop_) && (!checkParent || c->Parent() == this) && c->CanFocus()) return c;
  }
  return nullptr;
}

void TWinControl::SelectNext(TWinControl* current, bool goForward, bool checkTabStop) {
  if (TWinControl* next = FindNextControl(current, goForward, checkTabStop, !checkTabStop)) next->SetFocus();
}

bool TWinControl::CanFocus() const {
  TCustomForm* form = GetParentForm();
  if (!form || !form->Enabled() || !form->Visible()) return false;
  for (const TControl* c = this; c; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

bool TWinControl::Focused() const { return handle_ && GetFocus() == handle_; }

void TWinControl::SetFocus() {
  TCustomForm* form = GetParentForm();
  if (form && form != this) {
    form->FocusControl(this);
    return;
  }
  if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  ::SetFocus(Handle());
}

void TWinControl::SetCtl3D(bool v) {
  if (v == ctl3D_) return;
  ctl3D_ = v;
  parentCtl3D_ = false;
  RecreateWnd();
}

// ---- geometry and alignment ----

RECT TWinControl::ClientRect() const {
  if (handle_) {
    RECT r;
    GetClientRect(handle_, &r);
    return r;
  }
  return TControl::ClientRect();
}

POINT TWinControl::ClientOrigin() const {
  if (handle_) {
    POINT p{0, 0};
    ::ClientToScreen(handle_, &p);
    return p;
  }
  return TControl::ClientOrigin();
}

void TWinControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TControl::SetBounds(left, top, width, height);
}

void TWinControl::DoSetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_) SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  if (resized) {
    Realign();
    if (!ComponentState().Contains(csLoading)) Resize();
  }
}

void TWinControl::SetClientSize(int32_t width, int32_t height) {
  const RECT client = ClientRect();
  SetBounds(left_, top_, width_ + width - client.right, height_ + height - client.bottom);
}

void TWinControl::UpdateBoundsFromWindow() {
  if (!handle_) return;
  RECT r;
  GetWindowRect(handle_, &r);
  POINT topLeft{r.left, r.top};
  if (HWND parent = Parent() ? Parent()->handle_ : nullptr) ::ScreenToClient(parent, &topLeft);
  const int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (topLeft.x == left_ && topLeft.y == top_ && w == width_ && h == height_) return;
  const bool resized = w != width_ || h != height_;
  left_ = topLeft.x;
  top_ = topLeft.y;
  width_ = w;
  height_ = h;
  if (resized) {
    Realign();
    if (!ComponentState().Contains(csLoading)) Resize();
  }
}

void TWinControl::EnableAlign() {
  if (alignDisabled_ > 0 && --alignDisabled_ == 0 && alignPending_) Realign();
}

void TWinControl::Realign() {
  if (alignDisabled_ > 0 || ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) {
    alignPending_ = true;
    return;
  }
  alignPending_ = false;
  AlignAll();
}

void TWinControl::AlignAll() {
  RECT r = ClientRect();
  AdjustClientRect(r);
  padding_->Shrink(r);
  AlignControls(nullptr, r);
}

void TWinControl::AdjustClientRect(RECT&) const {}

// maDefault leaves the answer to the window layer, which asks the parent window.
TMouseActivate TWinControl::MouseActivate(TMouseButton button, TShiftState shift, int x, int y, int hitTest) {
  TMouseActivate answer = maDefault;
  if (OnMouseActivate) OnMouseActivate(this, button, shift, x, y, hitTest, answer);
  return answer;
}

void TWinControl::AlignControls(TControl*, RECT& rect) {
  const SIZE size{rect.right - rect.left, rect.bottom - rect.top};
  // Anchored controls follow the edges they are anchored to.
  if (lastClientSize_.cx >= 0 && (size.cx != lastClientSize_.cx || size.cy != lastClientSize_.cy)) {
    const int dw = size.cx - lastClientSize_.cx, dh = size.cy - lastClientSize_.cy;
    for (TControl* c : controls_) {
      if (c->Align() != alNone) continue;
      RECT b = c->BoundsRect();
      const TAnchors a = c->Anchors();
      if (a.Contains(akRight)) {
        if (a.Contains(akLeft)) b.right += dw;
        else OffsetRect(&b, dw, 0);
      }
      if (a.Contains(akBottom)) {
        if (a.Contains(akTop)) b.bottom += dh;
        else OffsetRect(&b, 0, dh);
      }
      const RECT old = c->BoundsRect();
      if (!EqualRect(&b, &old)) c->UpdateBoundsRect(b);
    }
  }
  lastClientSize_ = size;
  static const TAlign kOrder[] = {alTop, alBottom, alLeft, alRight, alClient};
  for (TAlign align : kOrder) {
    std::vector<TControl*> list;
    for (TControl* c : controls_)
      if (c->Align() == align && c->Visible()) list.push_back(c);
    std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
      switch (align) {
        case alTop: return a->Top() < b->Top();
        case alBottom: return a->Top() + a->Height() > b->Top() + b->Height();
        case alLeft: return a->Left() < b->Left();
        case alRight: return a->Left() + a->Width() > b->Left() + b->Width();
        default: return false;
      }
    });
    for (TControl* c : list) {
      const int w = c->Width(), h = c->Height();
      RECT b = rect;
      switch (align) {
        case alTop: b.bottom = rect.top + h; rect.top += h; break;
        case alBottom: b.top = rect.bottom - h; rect.bottom -= h; break;
        case alLeft: b.right = rect.left + w; rect.left += w; break;
        case alRight: b.left = rect.right - w; rect.right -= w; break;
        default: break;
      }
      c->UpdateBoundsRect(b);
    }
  }
}
