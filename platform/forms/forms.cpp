// Forms, the screen and the application.
//
// Sections: globals | TCustomForm | focus and keys | showing and closing |
// TDataModule | TScreen | THintWindow | TApplication
#include "platform/forms/forms.h"

#include <unistd.h>

#include <algorithm>

#include "platform/rtl/sysutils.h"
#include "platform/forms/menus.h"
#include "platform/rtl/files.h"
#include "platform/win/fonts.h"

// ---- globals ----

// Made once and never freed: they outlive every form, and the window layer
// may already be gone when static objects are destroyed.
TScreen* Screen = new TScreen(nullptr);
TApplication* Application = new TApplication(nullptr);

// ---- TCustomForm ----

static const TEnumNames kBorderStyleNames{"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow",
                                          "bsSizeToolWin"};
static const TEnumNames kBorderIconNames{"biSystemMenu", "biMinimize", "biMaximize", "biHelp"};
static const TEnumNames kPositionNames{"poDesigned",      "poDefault",        "poDefaultPosOnly",
                                       "poDefaultSizeOnly", "poScreenCenter", "poDesktopCenter",
                                       "poMainFormCenter", "poOwnerFormCenter"};
static const TEnumNames kFormStyleNames{"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"};
static const TEnumNames kWindowStateNames{"wsNormal", "wsMinimized", "wsMaximized"};

const TClassInfo& TCustomForm::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCustomForm>("TCustomForm", &TWinControl::StaticClassInfo(), [](TPublished<TCustomForm>& p) {
        p.Reference<TWinControl>("ActiveControl", &TCustomForm::ActiveControl, &TCustomForm::SetActiveControl)
            .SetOf("BorderIcons", kBorderIconNames, &TCustomForm::BorderIcons, &TCustomForm::SetBorderIcons)
            .Enumeration("BorderStyle", kBorderStyleNames, &TCustomForm::BorderStyle, &TCustomForm::SetBorderStyle)
            .Enumeration("FormStyle", kFormStyleNames, &TCustomForm::FormStyle, &TCustomForm::SetFormStyle)
            .Boolean("KeyPreview", &TCustomForm::KeyPreview, &TCustomForm::SetKeyPreview)
            .Integer("ModalResult", &TCustomForm::ModalResult, &TCustomForm::SetModalResult)
            .Enumeration("Position", kPositionNames, &TCustomForm::Position, &TCustomForm::SetPosition)
            .Boolean("TransparentColor", &TCustomForm::TransparentColor, &TCustomForm::SetTransparentColor)
            .Integer("TransparentColorValue", &TCustomForm::TransparentColorValue,
                     &TCustomForm::SetTransparentColorValue, &ColorIdents())
            .Enumeration("WindowState", kWindowStateNames, &TCustomForm::WindowState, &TCustomForm::SetWindowState)
            .Object("Icon", &TCustomForm::Icon)
            .Event("OnActivate", &TCustomForm::OnActivate)
            .Event("OnClose", &TCustomForm::OnClose)
            .Event("OnCloseQuery", &TCustomForm::OnCloseQuery)
            .Event("OnCreate", &TCustomForm::OnCreate)
            .Event("OnDeactivate", &TCustomForm::OnDeactivate)
            .Event("OnDestroy", &TCustomForm::OnDestroy)
            .Event("OnHide", &TCustomForm::OnHide)
            .Event("OnPaint", &TCustomForm::OnPaint)
            .Event("OnShow", &TCustomForm::OnShow);
      });
  return info;
}

const TClassInfo& TForm::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TForm>("TForm", &TCustomForm::StaticClassInfo());
  return info;
}

TCustomForm::TCustomForm(TComponent* owner)
    : TWinControl(owner), icon_(std::make_unique<TIcon>()), canvas_(std::make_unique<TCanvas>()) {
  SetControlStyle(ControlStyle() + csAcceptsControls);
  TControl::SetVisible(false);
  SetColor(clBtnFace);
  SetParentFont(false);
  SetFontColorDefault(clWindowText);
  SetBounds(100, 100, 400, 300);
  Screen->AddForm(this);
}

void TCustomForm::BeforeDestruction() {
  TWinControl::BeforeDestruction();
  if (destroyFired_) return;
  destroyFired_ = true;
  if (OnDestroy) OnDestroy(this);
}

TCustomForm::~TCustomForm() {
  if (!destroyFired_) {
    destroyFired_ = true;
    if (OnDestroy) OnDestroy(this);
  }
  Screen->RemoveForm(this);
  if (Application->mainForm_ == this) Application->mainForm_ = nullptr;
}

void TCustomForm::AfterLoading() { DoCreate(); }

void TCustomForm::DoCreate() {
  if (OnCreate) OnCreate(this);
}

void TCustomForm::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  p.Style = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;
  p.ExStyle = 0;
  p.WndParent = nullptr;
  switch (borderStyle_) {
    case bsNone: p.Style |= WS_POPUP; break;
    case bsSingle: p.Style |= WS_CAPTION | WS_BORDER; break;
    case bsSizeable: p.Style |= WS_CAPTION | WS_THICKFRAME; break;
    case bsDialog:
      p.Style |= WS_POPUP | WS_CAPTION | WS_DLGFRAME;
      p.ExStyle |= WS_EX_DLGMODALFRAME;
      break;
    case bsToolWindow:
      p.Style |= WS_CAPTION;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
    case bsSizeToolWin:
      p.Style |= WS_CAPTION | WS_THICKFRAME;
      p.ExStyle |= WS_EX_TOOLWINDOW;
      break;
  }
  if (borderStyle_ != bsNone && borderIcons_.Contains(biSystemMenu)) {
    p.Style |= WS_SYSMENU;
    if (borderStyle_ == bsSingle || borderStyle_ == bsSizeable) {
      if (borderIcons_.Contains(biMinimize)) p.Style |= WS_MINIMIZEBOX;
      if (borderIcons_.Contains(biMaximize)) p.Style |= WS_MAXIMIZEBOX;
    }
  }
  if (formStyle_ == fsStayOnTop) p.ExStyle |= WS_EX_TOPMOST;
  if (!Enabled()) p.Style |= WS_DISABLED;
}

void TCustomForm::SetMenu(TMainMenu* menu) {
  if (menu == menu_) return;
  delete menuBar_;
  menuBar_ = nullptr;
  menu_ = menu;
  if (!menu) return;
  menu->FreeNotification(this);
  menuBar_ = new TMenuBar(nullptr, menu);
  menuBar_->SetParent(this);
  menuBar_->SendToBack();
}

void TCustomForm::SetBorderStyle(TFormBorderStyle style) {
  if (style == borderStyle_) return;
  borderStyle_ = style;
  RecreateWnd();
}

void TCustomForm::SetBorderIcons(TBorderIcons icons) {
  if (icons == borderIcons_) return;
  borderIcons_ = icons;
  RecreateWnd();
}

void TCustomForm::SetFormStyle(TFormStyle style) {
  if (style == formStyle_) return;
  formStyle_ = style;
  if (HandleAllocated())
    SetWindowPos(Handle(), style == fsStayOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TCustomForm::SetWindowState(TWindowState state) {
  windowState_ = state;
  if (HandleAllocated() && Showing())
    ShowWindow(Handle(), state == wsMinimized ? SW_MINIMIZE : state == wsMaximized ? SW_MAXIMIZE : SW_RESTORE);
}

void TCustomForm::PaintWindow(HDC dc) {
  if (!OnPaint) return;
  canvas_->SetHandle(dc);
  try {
    OnPaint(this);
  } catch (...) {
    canvas_->SetHandle(nullptr);
    throw;
  }
  canvas_->SetHandle(nullptr);
}

void TCustomForm::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation != opRemove) return;
  if (component == activeControl_) activeControl_ = nullptr;
  if (component == focusedControl_) focusedControl_ = nullptr;
  if (component == static_cast<TComponent*>(menu_)) {
    menu_ = nullptr;
    if (menuBar_ && !ComponentState().Contains(csDestroying)) {
      menuBar_->Free();
    }
    menuBar_ = nullptr;
  }
}

void TCustomForm::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE: Close(); return;
    case WM_ACTIVATE:
      if (LOWORD(m.WParam) != WA_INACTIVE) {
        active_ = true;
        Screen->SetActiveForm(this);
        if (activeControl_ && activeControl_->CanFocus() && !activeControl_->Focused())
          ::SetFocus(activeControl_->Handle());
        else if (!activeControl_ && GetFocus() != Handle())
          ::SetFocus(Handle());
        if (systemDialog_) Activate();
        else TakeApplicationActivation();
      } else {
        active_ = false;
        if (systemDialog_) Deactivate();
      }
      return;
    case CM_RELEASE: Free(); return;
    case CM_DIALOGKEY: DialogKey(m); return;
    case WM_SYSCOLORCHANGE: Perform(CM_SYSCOLORCHANGE); break;
    case WM_SETFOCUS:
      // The form itself got the keyboard: hand it on to the active control.
      if (activeControl_ && activeControl_ != this && activeControl_->CanFocus()) {
        ::SetFocus(activeControl_->Handle());
        return;
      }
      break;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TCustomForm::TakeApplicationActivation() {
  TCustomForm* previous = Screen->FocusedForm();
  if (previous == this) return;  // back from a dialog or another program
  Screen->SetFocusedForm(this);
  if (previous) previous->Deactivate();
  if (Screen->FocusedForm() == this) Activate();
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}
void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

// ---- focus and keys ----

void TCustomForm::SetActiveControl(TWinControl* control) {
  if (control == activeControl_) return;
  if (control && control->GetParentForm() != this)
    throw EInvalidOperation("Invalid control: it lies on another form");
  if (control && Showing() && active_) {
    FocusControl(control);
    return;
  }
  activeControl_ = control;
  if (control) control->FreeNotification(this);
}

void TCustomForm::FocusControl(TWinControl* control) {
  if (!control->CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
  activeControl_ = control;
  control->FreeNotification(this);
  if (Showing()) ::SetFocus(control->Handle());
}

void TCustomForm::SetFocusedControl(TWinControl* control) {
  if (control == focusedControl_) return;
  TWinControl* old = focusedControl_;
  focusedControl_ = control;
  if (control != this) {
    activeControl_ = control;
    control->FreeNotification(this);
  }
  // Exits from the old control up to the common parent, then enters down to the new one.
  std::vector<TWinControl*> entered;
  for (TWinControl* c = control; c && c != this; c = c->Parent()) entered.push_back(c);
  // The control losing the focus ends what it was doing (a dropped list, a drag).
  if (old) old->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(control));
  if (focusedControl_ != control) return;
  for (TWinControl* c = old; c && c != this; c = c->Parent()) {
    if (std::find(entered.begin(), entered.end(), c) != entered.end()) break;
    c->Perform(CM_EXIT);
    if (focusedControl_ != control) return;  // a handler moved the focus on
  }
  for (auto it = entered.rbegin(); it != entered.rend(); ++it) {
    if (old && (*it)->ContainsControl(old)) continue;
    (*it)->Perform(CM_ENTER);
    if (focusedControl_ != control) return;
  }
  Perform(CM_FOCUSCHANGED, 0, reinterpret_cast<LPARAM>(control));
}

void TCustomForm::ControlRemoved(TWinControl* control) {
  if (activeControl_ && control->ContainsControl(activeControl_)) activeControl_ = nullptr;
  if (focusedControl_ && control->ContainsControl(focusedControl_)) focusedControl_ = nullptr;
}

void TCustomForm::SelectFirst() {
  if (TWinControl* first = FindNextControl(nullptr, true, true, false)) FocusControl(first);
}

void TCustomForm::DialogKey(TMessage& m) {
  const WORD key = static_cast<WORD>(m.WParam);
  const TShiftState shift = GetShiftState();
  if (key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
    SelectNext(activeControl_, !shift.Contains(ssShift), true);
    m.Result = 1;
    return;
  }
  if ((key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN) && activeControl_ &&
      activeControl_->Parent()) {
    activeControl_->Parent()->SelectNext(activeControl_, key == VK_RIGHT || key == VK_DOWN, false);
    m.Result = 1;
    return;
  }
  TWinControl::WndProc(m);  // buttons answer Return and Escape
}

// ---- showing and closing ----

RECT TCustomForm::ClientRect() const {
  const_cast<TCustomForm*>(this)->HandleNeeded();
  return TWinControl::ClientRect();
}

bool TCustomForm::Showing() const { return Visible() && HandleAllocated() && IsWindowVisible(const_cast<TCustomForm*>(this)->Handle()); }

void TCustomForm::ApplyPosition() {
  RECT area = Screen->WorkAreaRect();
  TCustomForm* around = nullptr;
  if (position_ == poMainFormCenter) around = Application->MainForm();
  if (position_ == poOwnerFormCenter) around = dynamic_cast<TCustomForm*>(Owner());
  if (around == this) around = nullptr;
  if (around) area = around->BoundsRect();
  if (position_ == poScreenCenter || position_ == poDesktopCenter || around)
    SetBounds(area.left + (area.right - area.left - Width()) / 2, area.top + (area.bottom - area.top - Height()) / 2,
              Width(), Height());
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == Visible() && (!visible || Showing())) return;
  if (visible) {
    HandleNeeded();
    if (!shownOnce_) {
      shownOnce_ = true;
      ApplyPosition();
    }
    DoShow();
    TControl::SetVisible(true);
    ShowWindow(Handle(), windowState_ == wsMinimized ? SW_SHOWMINIMIZED
                         : windowState_ == wsMaximized ? SW_SHOWMAXIMIZED
                                                      : SW_SHOWNORMAL);
    if (!activeControl_) SelectFirst();
    if (activeControl_ && activeControl_->CanFocus()) ::SetFocus(activeControl_->Handle());
  } else {
    DoHide();
    // Shown again later, the form is activated anew.
    if (Screen->FocusedForm() == this) {
      Screen->SetFocusedForm(nullptr);
      Deactivate();
    }
    TControl::SetVisible(false);
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
  }
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}
void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Show() {
  SetVisible(true);
  BringToFront();
  SetActiveWindow(Handle());
}

void TCustomForm::CloseModal() {
  TCloseAction action = caNone;
  if (CloseQuery()) {
    action = caHide;
    DoClose(action);
  }
  if (action == caNone) modalResult_ = mrNone;
}

TModalResult TCustomForm::ShowModal() {
  if (Visible() || !Enabled() || modal_) throw EInvalidOperation("Cannot make a visible window modal");
  if (GetCaptureControl()) SetCaptureControl(nullptr);
  modalResult_ = mrNone;
  modal_ = true;
  ++Application->modalLevel_;
  struct Restore {
    TCustomForm* form;
    ~Restore() {
      form->modal_ = false;
      --Application->modalLevel_;
    }
  } restore{this};
  Show();
  const bool quit = !RunModalLoop(Handle(), [this] {
    if (Application->Terminated()) modalResult_ = mrCancel;
    else if (modalResult_ != mrNone) CloseModal();
    return modalResult_ != mrNone;
  });
  if (quit) Application->terminated_ = true;
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  SetVisible(false);
  return modalResult_;
}

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::DoClose(TCloseAction& action) {
  if (OnClose) OnClose(this, action);
}

void TCustomForm::Close() {
  if (modal_) {
    modalResult_ = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  DoClose(action);
  if (action == caNone) return;
  if (Application->MainForm() == this) {
    Application->Terminate();
    if (action == caHide) Hide();
  } else if (action == caHide) {
    Hide();
  } else if (action == caMinimize) {
    SetWindowState(wsMinimized);
  } else {
    Release();
  }
}

void TCustomForm::Release() { PostMessage(Handle(), CM_RELEASE, 0, 0); }

// ---- task windows ----

TTaskWindowList DisableTaskWindows(HWND activeWindow) {
  TTaskWindowList list;
  for (HWND w = FindWindowEx(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowEx(nullptr, w, nullptr, nullptr))
    if (w != activeWindow && IsWindowVisible(w) && IsWindowEnabled(w)) {
      EnableWindow(w, FALSE);
      list.push_back(w);
    }
  return list;
}

void EnableTaskWindows(const TTaskWindowList& list) {
  for (HWND w : list)
    if (IsWindow(w)) EnableWindow(w, TRUE);
}

// ---- TDataModule ----

const TClassInfo& TDataModule::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TDataModule>("TDataModule", &TComponent::StaticClassInfo(), [](TPublished<TDataModule>& p) {
        p.Event("OnCreate", &TDataModule::OnCreate).Event("OnDestroy", &TDataModule::OnDestroy);
      });
  return info;
}

TDataModule::TDataModule(TComponent* owner) : TComponent(owner) { Screen->AddDataModule(this); }

TDataModule::~TDataModule() {
  if (OnDestroy) OnDestroy(this);
  Screen->RemoveDataModule(this);
}

void TDataModule::AfterLoading() {
  if (OnCreate) OnCreate(this);
}

// ---- TScreen ----

const TClassInfo& TScreen::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TScreen>("TScreen", &TComponent::StaticClassInfo());
  return info;
}

TScreen::TScreen(TComponent* owner) : TComponent(owner) {}
TScreen::~TScreen() = default;

void TScreen::AddForm(TCustomForm* form) { forms_.push_back(form); }

void TScreen::RemoveForm(TCustomForm* form) {
  std::erase(forms_, form);
  if (focusedForm_ == form) focusedForm_ = nullptr;
  if (activeForm_ == form) SetActiveForm(nullptr);
}

void TScreen::AddDataModule(TDataModule* module) { dataModules_.push_back(module); }
void TScreen::RemoveDataModule(TDataModule* module) { std::erase(dataModules_, module); }

void TScreen::SetActiveForm(TCustomForm* form) {
  if (form == activeForm_) return;
  activeForm_ = form;
  if (form) {  // the active form comes first in the list
    std::erase(forms_, form);
    forms_.insert(forms_.begin(), form);
  }
  if (OnActiveFormChange) OnActiveFormChange(this);
}

void TScreen::SetCursor(TCursor cursor) {
  if (cursor == cursor_) return;
  cursor_ = cursor;
  ::SetCursor(Cursors(cursor == crDefault ? crArrow : cursor));
}

HCURSOR TScreen::Cursors(TCursor index) const {
  for (const auto& [id, handle] : cursors_)
    if (id == index) return handle;
  static const struct {
    TCursor cursor;
    const char* resource;
  } kStandard[] = {{crArrow, IDC_ARROW},       {crCross, IDC_CROSS},     {crIBeam, IDC_IBEAM},
                   {crSizeNESW, IDC_SIZENESW}, {crSizeNS, IDC_SIZENS},   {crSizeNWSE, IDC_SIZENWSE},
                   {crSizeWE, IDC_SIZEWE},     {crUpArrow, IDC_UPARROW}, {crHourGlass, IDC_WAIT},
                   {crNo, IDC_NO},             {crAppStart, IDC_APPSTARTING}, {crHandPoint, IDC_HAND},
                   {crSizeAll, IDC_SIZEALL},   {crHSplit, IDC_SIZEWE},   {crVSplit, IDC_SIZENS},
                   {crSQLWait, IDC_WAIT},      {crDrag, IDC_ARROW},      {crNoDrop, IDC_NO}};
  for (const auto& s : kStandard)
    if (s.cursor == index) return LoadCursor(nullptr, s.resource);
  return index == crNone ? nullptr : LoadCursor(nullptr, IDC_ARROW);
}

void TScreen::SetCursors(TCursor index, HCURSOR cursor) {
  for (auto& entry : cursors_)
    if (entry.first == index) {
      entry.second = cursor;
      return;
    }
  cursors_.emplace_back(index, cursor);
}

int32_t TScreen::MonitorCount() const { return std::max(GetSystemMetrics(SM_CMONITORS), 1); }

static TMonitor MonitorOf(HMONITOR handle, int32_t number) {
  TMonitor m;
  MONITORINFO info;
  if (handle && GetMonitorInfo(handle, &info)) {
    m.BoundsRect = info.rcMonitor;
    m.WorkareaRect = info.rcWork;
    m.Primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
  }
  m.MonitorNum = number;
  return m;
}

TMonitor TScreen::Monitors(int32_t index) const {
  if (index < 0 || index >= MonitorCount()) RaiseListIndexError(index);
  return MonitorOf(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), index);
}

TMonitor TScreen::MonitorFromWindow(HWND window) const {
  return MonitorOf(::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0);
}

RECT TScreen::WorkAreaRect() const { return Monitors(0).WorkareaRect; }
RECT TScreen::DesktopRect() const { return Monitors(0).BoundsRect; }
int32_t TScreen::Width() const { return GetSystemMetrics(SM_CXSCREEN); }
int32_t TScreen::Height() const { return GetSystemMetrics(SM_CYSCREEN); }

TStrings* TScreen::Fonts() {
  if (!fonts_) {
    fonts_ = std::make_unique<TStringList>();
    for (const std::string& family : InstalledFontFamilies()) fonts_->Add(family);
    fonts_->SetSorted(true);
  }
  return fonts_.get();
}

// ---- THintWindow ----

const TClassInfo& THintWindow::StaticClassInfo() {
  static const TClassInfo info = PublishClass<THintWindow>("THintWindow", &TCustomControl::StaticClassInfo());
  return info;
}

THintWindow::THintWindow(TComponent* owner) : TCustomControl(owner) {
  SetColor(clInfoBk);
  SetParentFont(false);
  SetFontColorDefault(clInfoText);
  TControl::SetVisible(false);
}

void THintWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  // The mouse passes through a hint: it is a tooltip to the window system.
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TRANSPARENT;
  p.WndParent = nullptr;
}

RECT THintWindow::CalcHintRect(int32_t maxWidth, const std::string& hint) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  RECT r{0, 0, maxWidth, 0};
  DrawText(dc, hint, &r, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  SelectObject(dc, old);
  DeleteDC(dc);
  r.right += 8;
  r.bottom += 4;
  return r;
}

void THintWindow::ActivateHint(RECT rect, const std::string& hint) {
  SetCaption(hint);
  SetBounds(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  HandleNeeded();
  TControl::SetVisible(true);
  SetWindowPos(Handle(), HWND_TOPMOST, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
               SWP_SHOWWINDOW | SWP_NOACTIVATE);
  Invalidate();
}

void THintWindow::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(Color());
  RECT r = ClientRect();
  c->FillRect(r);
  InflateRect(&r, -3, -1);
  std::string text = Caption();
  c->Brush()->SetStyle(bsClear);
  c->TextRect(r, text, TTextFormat{tfLeft, tfWordBreak, tfNoPrefix});
}

// ---- TApplication ----

const TClassInfo& TApplication::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TApplication>("TApplication", &TComponent::StaticClassInfo(), [](TPublished<TApplication>& p) {
        p.String("Title", &TApplication::Title, &TApplication::SetTitle)
            .String("Hint", &TApplication::Hint, &TApplication::SetHint)
            .Boolean("ShowHint", &TApplication::ShowHint, &TApplication::SetShowHint)
            .Integer("HintPause", &TApplication::HintPause, &TApplication::SetHintPause)
            .Integer("HintHidePause", &TApplication::HintHidePause, &TApplication::SetHintHidePause);
      });
  return info;
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {}
TApplication::~TApplication() = default;

std::string TApplication::ExeName() const {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
}

bool TApplication::ProcessMessage() {
  MSG msg;
  if (!PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    terminated_ = true;
    return true;
  }
  TranslateMessage(&msg);
  DispatchMessage(&msg);
  return true;
}

void TApplication::ProcessMessages() {
  while (ProcessMessage()) {
  }
}

void TApplication::Idle() {
  bool done = true;
  if (OnIdle) OnIdle(this, done);
}

void HintTimerProc(HWND, UINT, UINT_PTR, DWORD) {
  TApplication* app = Application;
  if (app->hintTimer_) KillTimer(nullptr, app->hintTimer_);
  app->hintTimer_ = 0;
  if (app->hintShowing_) {
    app->CancelHint();
    return;
  }
  if (!app->hintControl_) return;
  POINT cursor;
  GetCursorPos(&cursor);
  app->ActivateHint(app->hintControl_, cursor);
  if (app->hintShowing_) app->StartHintTimer(static_cast<uint32_t>(app->hintHidePause_));
}

void TApplication::StartHintTimer(uint32_t ms) {
  if (hintTimer_) KillTimer(nullptr, hintTimer_);
  hintTimer_ = SetTimer(nullptr, 0, std::max<uint32_t>(ms, USER_TIMER_MINIMUM), HintTimerProc);
}

void TApplication::HintMouseMessage(TControl* control) {
  if (control == hintControl_) return;
  CancelHint();
  hintControl_ = control;
  SetHint(control ? control->Hint() : "");
  if (control && showHint_ && control->ShowHint() && !control->Hint().empty())
    StartHintTimer(static_cast<uint32_t>(hintPause_));
}

void TApplication::HandleMessage() {
  if (!ProcessMessage()) {
    Idle();
    if (!terminated_) {
      MSG msg;
      if (!GetMessage(&msg, nullptr, 0, 0)) {
        terminated_ = true;
        return;
      }
      TranslateMessage(&msg);
      DispatchMessage(&msg);
    }
  }
}

void TApplication::Run() {
  if (mainForm_) mainForm_->Show();
  while (!terminated_) {
    HandleMessage();
    if (mainForm_ && !mainForm_->Visible()) Terminate();
  }
}

void TApplication::Terminate() {
  if (terminated_) return;
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::HandleException(TObject* sender, const std::exception& e) {
  if (dynamic_cast<const EAbort*>(&e)) return;
  if (OnException)
    OnException(sender, e);
  else
    ShowException(e);
}

void TApplication::ShowException(const std::exception& e) {
  std::string text = e.what();
  if (!text.empty() && text.back() > '.') text += '.';
  MessageBox(text, title_.empty() ? ChangeFileExt(ExtractFileName(ExeName()), "") : title_, MB_OK | MB_ICONSTOP);
}

void TApplication::SetHint(const std::string& hint) {
  if (hint == hint_) return;
  hint_ = hint;
  if (OnHint) OnHint(this);
}

void TApplication::CancelHint() {
  if (hintTimer_) KillTimer(nullptr, hintTimer_);
  hintTimer_ = 0;
  hintShowing_ = false;
  if (hintWindow_ && hintWindow_->HandleAllocated()) {
    hintWindow_->TControl::SetVisible(false);
    ShowWindow(hintWindow_->Handle(), SW_HIDE);
  }
}

void TApplication::ActivateHint(TControl* control, POINT cursorPos) {
  if (!control || !showHint_ || !control->ShowHint()) return;
  THintInfo info;
  info.HintControl = control;
  info.HintStr = control->Hint();
  info.CursorPos = control->ScreenToClient(cursorPos);
  info.HintPos = POINT{cursorPos.x, cursorPos.y + 20};
  info.HintMaxWidth = Screen->Width();
  info.HideTimeout = hintHidePause_;
  if (control->Perform(CM_HINTSHOW, 0, reinterpret_cast<LPARAM>(&info)) != 0 || info.HintStr.empty()) return;
  if (!hintWindow_) hintWindow_ = new THintWindow(this);
  hintWindow_->SetColor(info.HintColor);
  RECT r = hintWindow_->CalcHintRect(std::min(info.HintMaxWidth, 300), info.HintStr);
  OffsetRect(&r, info.HintPos.x, info.HintPos.y);
  hintWindow_->ActivateHint(r, info.HintStr);
  hintShowing_ = true;
}
