// Forms, the application object and the screen object.
//
// Sections: modal results | TCustomForm, TForm | TMonitor, TScreen | TApplication
//
// A form's unit builds its components in its constructor through
// LoadComponents (classes.h); OnCreate runs once they are all loaded.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/rtl/stringlist.h"

// ---- modal results ----

using TModalResult = int32_t;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10, mrClose = 11;
// Message box answers, the same numbers.
constexpr int IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7, IDCLOSE = 8,
              IDHELP = 9;

// ---- TCustomForm, TForm ----

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = Set<TBorderIcon>;
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter, poMainFormCenter,
  poOwnerFormCenter
};
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TObject* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TObject* sender, bool& canClose)>;

class TMainMenu;
class TMenuBar;

class TCustomForm : public TWinControl {
  FORMS_CLASS(TCustomForm)

public:
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  void WndProc(TMessage& message) override;

  TFormBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle style);
  TBorderIcons BorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons icons);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition position) { position_ = position; }
  TFormStyle FormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle style);
  TWindowState WindowState() const { return windowState_; }
  void SetWindowState(TWindowState state);
  bool KeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool keyPreview) { keyPreview_ = keyPreview; }
  TModalResult ModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult result) { modalResult_ = result; }
  // The control that has (or gets, when the form is shown) the focus.
  TWinControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* control);
  bool TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(bool v) { transparentColor_ = v; }
  TColor TransparentColorValue() const { return transparentColorValue_; }
  void SetTransparentColorValue(TColor c) { transparentColorValue_ = c; }
  TIcon* Icon() const { return icon_.get(); }
  TMainMenu* Menu() const { return menu_; }
  // The form's main menu: a bar along the top of the client area, and its shortcuts.
  void SetMenu(TMainMenu* menu);
  TMenuBar* MenuBar() const { return menuBar_; }
  int32_t PixelsPerInch() const { return 96; }
  bool Active() const { return active_; }
  bool Modal() const { return modal_; }
  // A form that stands for one of the desktop's own dialogs (a message box,
  // a file or colour dialog). It fires its own OnActivate whenever its window
  // is activated, but its coming and going leaves the application's active
  // form as it was: the form under it gets no second OnActivate when it
  // closes, just as after a window of another program.
  bool SystemDialog() const { return systemDialog_; }
  void SetSystemDialog(bool systemDialog) { systemDialog_ = systemDialog; }

  // A form's client area needs its window (the frame depends on the border style).
  RECT ClientRect() const override;
  void SetVisible(bool visible) override;
  bool Showing() const override;
  void Show();
  // Shows the form and runs a modal loop until ModalResult is set (by a
  // button, Close or the program); answers it. EInvalidOperation for a
  // visible or disabled form.
  virtual TModalResult ShowModal();
  // OnCloseQuery, then OnClose with the action (caHide; closing the main
  // form ends the program). A modal form just gets mrCancel.
  void Close();
  virtual bool CloseQuery();
  // Frees the form once the messages waiting now are handled.
  void Release();
  // Moves the focus to `control` (when the form is active) and makes it the active control.
  void FocusControl(TWinControl* control);
  // Called when a control of this form got the keyboard focus.
  void SetFocusedControl(TWinControl* control);
  // A windowed control is leaving the form.
  void ControlRemoved(TWinControl* control);
  // The first control in tab order gets the focus.
  void SelectFirst();

  void Notification(TComponent* component, TOperation operation) override;
  // Fires OnDestroy while the form's own class still exists.
  void BeforeDestruction() override;

  TNotifyEvent OnCreate;
  // Fired once: before the form is freed by its owner, Free or Release; a
  // form deleted directly fires it from its destructor.
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TNotifyEvent OnPaint;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

protected:
  void CreateParams(TCreateParams& params) override;
  void AfterLoading() override;
  virtual void DoCreate();
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();
  void PaintWindow(HDC dc) override;
  TCanvas* Canvas() const { return canvas_.get(); }

private:
  void DialogKey(TMessage& message);
  void ApplyPosition();
  void CloseModal();
  // The window was activated: OnActivate when this form becomes the
  // application's active form (the one before it gets OnDeactivate).
  void TakeApplicationActivation();

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TFormStyle formStyle_ = fsNormal;
  TWindowState windowState_ = wsNormal;
  bool keyPreview_ = false;
  TModalResult modalResult_ = mrNone;
  TWinControl* activeControl_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  bool transparentColor_ = false;
  TColor transparentColorValue_ = clBlack;
  std::unique_ptr<TIcon> icon_;
  std::unique_ptr<TCanvas> canvas_;
  TMainMenu* menu_ = nullptr;
  TMenuBar* menuBar_ = nullptr;
  bool active_ = false;
  bool modal_ = false;
  bool systemDialog_ = false;
  bool shownOnce_ = false;
  bool destroyFired_ = false;
};

class TForm : public TCustomForm {
  FORMS_CLASS(TForm)

public:
  using TCustomForm::Canvas;
  explicit TForm(TComponent* owner) : TCustomForm(owner) {}
};

// A container of non-visual components that lives as long as the program.
class TDataModule : public TComponent {
  FORMS_CLASS(TDataModule)

public:
  explicit TDataModule(TComponent* owner);
  ~TDataModule() override;
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

protected:
  void AfterLoading() override;
};

// ---- TMonitor, TScreen ----

struct TMonitor {
  int32_t MonitorNum = 0;
  bool Primary = false;
  RECT BoundsRect{};
  RECT WorkareaRect{};
  int32_t Left() const { return BoundsRect.left; }
  int32_t Top() const { return BoundsRect.top; }
  int32_t Width() const { return BoundsRect.right - BoundsRect.left; }
  int32_t Height() const { return BoundsRect.bottom - BoundsRect.top; }
};

class TScreen : public TComponent {
  FORMS_CLASS(TScreen)

public:
  explicit TScreen(TComponent* owner);
  ~TScreen() override;

  int32_t FormCount() const { return static_cast<int32_t>(forms_.size()); }
  TCustomForm* Forms(int32_t index) const { return forms_.at(index); }
  int32_t DataModuleCount() const { return static_cast<int32_t>(dataModules_.size()); }
  TDataModule* DataModules(int32_t index) const { return dataModules_.at(index); }
  // The form whose window is active, a dialog's included.
  TCustomForm* ActiveForm() const { return activeForm_; }
  TWinControl* ActiveControl() const { return activeForm_ ? activeForm_->ActiveControl() : nullptr; }
  // The form the application activated last, not counting forms that stand
  // for the desktop's dialogs; it stays while another program or a dialog
  // has the keyboard, and is null once it was hidden.
  TCustomForm* FocusedForm() const { return focusedForm_; }

  // The cursor for the whole program; crDefault lets each control choose.
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  // The cursor behind a TCursor value; programs add their own from 1.
  HCURSOR Cursors(TCursor index) const;
  void SetCursors(TCursor index, HCURSOR cursor);

  int32_t MonitorCount() const;
  TMonitor Monitors(int32_t index) const;
  TMonitor MonitorFromWindow(HWND window) const;
  RECT WorkAreaRect() const;
  RECT DesktopRect() const;
  int32_t Width() const;
  int32_t Height() const;
  int32_t PixelsPerInch() const { return 96; }
  // The installed font families, sorted.
  TStrings* Fonts();

  // Kept by the forms and data modules themselves.
  void AddForm(TCustomForm* form);
  void RemoveForm(TCustomForm* form);
  void AddDataModule(TDataModule* module);
  void RemoveDataModule(TDataModule* module);
  void SetActiveForm(TCustomForm* form);
  void SetFocusedForm(TCustomForm* form) { focusedForm_ = form; }

  TNotifyEvent OnActiveFormChange;

private:
  std::vector<TCustomForm*> forms_;
  std::vector<TDataModule*> dataModules_;
  TCustomForm* activeForm_ = nullptr;
  TCustomForm* focusedForm_ = nullptr;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<TCursor, HCURSOR>> cursors_;
  std::unique_ptr<TStringList> fonts_;
};

// ---- TApplication ----

using TExceptionEvent = std::function<void(TObject* sender, const std::exception& e)>;
using TIdleEvent = std::function<void(TObject* sender, bool& done)>;

// The small window that shows a hint.
class THintWindow : public TCustomControl {
  FORMS_CLASS(THintWindow)

public:
  explicit THintWindow(TComponent* owner);
  // Shows `hint` with its window at `rect` (screen coordinates).
  virtual void ActivateHint(RECT rect, const std::string& hint);
  void ReleaseHandle() { DestroyHandle(); }
  // The window size the hint needs, at most maxWidth wide.
  virtual RECT CalcHintRect(int32_t maxWidth, const std::string& hint);

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
};

class TApplication : public TComponent {
  FORMS_CLASS(TApplication)

public:
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  void Initialize() {}
  // Makes a form owned by the application; the first one becomes the main form.
  template <class T>
  void CreateForm(T*& reference) {
    reference = new T(this);
    if (!mainForm_) mainForm_ = reference;
  }
  // Shows the main form and handles messages until Terminate (or the main form closes).
  void Run();
  // Handles every message waiting now.
  void ProcessMessages();
  // Handles one message, or waits for one when none is waiting (idle work first).
  void HandleMessage();
  void Terminate();
  bool Terminated() const { return terminated_; }
  // Starts again after Terminate (tests run several programs in one process).
  void ResetTerminated() { terminated_ = false; }

  TCustomForm* MainForm() const { return mainForm_; }
  void SetMainForm(TCustomForm* form) { mainForm_ = form; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title) { title_ = title; }
  std::string ExeName() const;
  HWND Handle() const { return nullptr; }
  int32_t HelpContext() const { return helpContext_; }
  void SetHelpContext(int32_t context) { helpContext_ = context; }

  // A message box with the application's look; answers IDOK, IDCANCEL, ...
  // Tests answer it through the dialog script (dialogs.h).
  int MessageBox(const std::string& text, const std::string& caption, UINT flags = MB_OK);
  // OnException, else the default dialog with the exception's message.
  void HandleException(TObject* sender, const std::exception& e);
  void ShowException(const std::exception& e);

  // Hints: the text of the control under the mouse, shown after HintPause.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show) { showHint_ = show; }
  int32_t HintPause() const { return hintPause_; }
  void SetHintPause(int32_t ms) { hintPause_ = ms; }
  int32_t HintHidePause() const { return hintHidePause_; }
  void SetHintHidePause(int32_t ms) { hintHidePause_ = ms; }
  int32_t HintShortPause() const { return hintShortPause_; }
  void SetHintShortPause(int32_t ms) { hintShortPause_ = ms; }
  void CancelHint();
  // Shows the hint of `control` now (the hint timer's work; tests call it).
  void ActivateHint(TControl* control, POINT cursorPos);
  // The mouse moved onto another control (null: off the program's windows):
  // Hint takes its hint, and its hint window shows after HintPause.
  void HintMouseMessage(TControl* control);
  THintWindow* HintWindow() const { return hintWindow_; }
  int ModalLevel() const { return modalLevel_; }

  TExceptionEvent OnException;
  TNotifyEvent OnHint;
  TIdleEvent OnIdle;

private:
  friend class TCustomForm;
  void Idle();
  bool ProcessMessage();

  TCustomForm* mainForm_ = nullptr;
  std::string title_;
  int32_t helpContext_ = 0;
  bool terminated_ = false;
  std::string hint_;
  bool showHint_ = true;
  int32_t hintPause_ = 500;
  int32_t hintHidePause_ = 2500;
  int32_t hintShortPause_ = 50;
  friend void HintTimerProc(HWND, UINT, UINT_PTR, DWORD);
  void StartHintTimer(uint32_t ms);
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  UINT_PTR hintTimer_ = 0;
  bool hintShowing_ = false;
  int modalLevel_ = 0;
};

extern TApplication* Application;
extern TScreen* Screen;

// The windows of the program disabled around a modal window of its own.
using TTaskWindowList = std::vector<HWND>;
// Disables every visible, enabled top-level window except `activeWindow`; answers them.
TTaskWindowList DisableTaskWindows(HWND activeWindow);
void EnableTaskWindows(const TTaskWindowList& list);
// The controls of this system are all new-style (no old 3-D emulation).
constexpr bool NewStyleControls = true;
