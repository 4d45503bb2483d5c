// Menus: menu items, the main menu and the popup menu, and shortcut texts.
//
// Sections: shortcuts | TMenuItem | TMenu, TMainMenu, TPopupMenu
//
// A popup menu shows as a small window of its own; Popup returns at once and
// the chosen item's OnClick runs when the user picks it (mouse or keys).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/forms/controls.h"

RTL_DECLARE_EXCEPTION(EMenuError, Exception);

// ---- shortcuts ----

// A virtual key in the low byte with scShift, scCtrl and scAlt.
using TShortCut = uint16_t;
constexpr TShortCut scShift = 0x2000, scCtrl = 0x4000, scAlt = 0x8000, scNone = 0;

TShortCut ShortCut(WORD key, TShiftState shift);
void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift);
// "Ctrl+Shift+S", "F1", "Del"; empty for none.
std::string ShortCutToText(TShortCut shortCut);
// The reverse, without regard to case; 0 for a text that names no key.
TShortCut TextToShortCut(const std::string& text);
const TIntegerIdents& ShortCutIdents();

// ---- TMenuItem ----

class TMenu;

class TMenuItem : public TComponent {
  FORMS_CLASS(TMenuItem)

public:
  explicit TMenuItem(TComponent* owner);
  // Frees the sub-items too.
  ~TMenuItem() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }
  TShortCut ShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut shortCut) { shortCut_ = shortCut; }
  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  bool Default() const { return default_; }
  void SetDefault(bool isDefault) { default_ = isDefault; }
  bool RadioItem() const { return radioItem_; }
  void SetRadioItem(bool radio) { radioItem_ = radio; }
  uint8_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(uint8_t group) { groupIndex_ = group; }
  bool AutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool autoCheck) { autoCheck_ = autoCheck; }
  bool IsLine() const { return caption_ == "-"; }

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  TMenuItem* Items(int32_t index) const;
  void Add(TMenuItem* item);
  void Insert(int32_t index, TMenuItem* item);
  void Delete(int32_t index);
  void Remove(TMenuItem* item);
  void Clear();
  int32_t IndexOf(const TMenuItem* item) const;
  // The sub-item with this caption ("&" ignored, without regard to case).
  TMenuItem* Find(const std::string& caption) const;
  TMenuItem* Parent() const { return parent_; }
  int32_t MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  // The menu that holds this item, if any.
  TMenu* GetParentMenu() const;

  // AutoCheck toggles Checked, then OnClick runs.
  virtual void Click();

  TNotifyEvent OnClick;

private:
  friend class TMenu;
  std::string caption_;
  std::string hint_;
  TShortCut shortCut_ = 0;
  bool checked_ = false, enabled_ = true, visible_ = true, default_ = false, radioItem_ = false, autoCheck_ = false;
  uint8_t groupIndex_ = 0;
  std::vector<TMenuItem*> items_;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;
};

// ---- TMenu, TMainMenu, TPopupMenu ----

class TMenu : public TComponent {
  FORMS_CLASS(TMenu)

public:
  explicit TMenu(TComponent* owner);
  ~TMenu() override;
  TMenuItem* Items() const { return items_; }
  // The item whose shortcut this is (enabled and visible, searched in depth); null when none.
  TMenuItem* FindItemByShortCut(TShortCut shortCut) const;
  // Runs the item of the shortcut; false when no item has it.
  bool IsShortCut(WORD key, TShiftState shift);

private:
  TMenuItem* items_;
};

class TMainMenu : public TMenu {
  FORMS_CLASS(TMainMenu)

public:
  using TMenu::TMenu;
};

enum TPopupAlignment { paLeft, paRight, paCenter };

class TPopupWindow;

class TPopupMenu : public TMenu {
  FORMS_CLASS(TPopupMenu)

public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Shows the menu at a screen point (OnPopup first); returns at once.
  virtual void Popup(int x, int y);
  // Shows the sub-items of `items` instead of the menu's own (a menu bar's drop-down).
  void PopupItems(TMenuItem* items, int x, int y);
  // Closes the menu if it shows.
  void CloseMenu();
  bool IsShowing() const { return window_ != nullptr; }
  // The window that shows the menu while it is open (tests click its items).
  TPopupWindow* Window() const { return window_; }

  bool AutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  TPopupAlignment Alignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment a) { alignment_ = a; }
  TComponent* PopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  POINT PopupPoint() const { return popupPoint_; }

  TNotifyEvent OnPopup;
  TNotifyEvent OnClose;
  // A menu bar's drop-down hears of the pointer moving outside the open menu
  // (a screen point) and of Left (-1) and Right (+1), to move along the bar.
  std::function<void(POINT)> OnPointerOutside;
  std::function<void(int)> OnStepAside;

private:
  friend class TPopupWindow;
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  TComponent* popupComponent_ = nullptr;
  POINT popupPoint_{};
  TPopupWindow* window_ = nullptr;
};

// The bar of a form's main menu: one cell per visible top-level item; a
// click or Alt with the item's accelerator drops its sub-items down.
class TMenuBar : public TCustomControl {
  FORMS_CLASS(TMenuBar)

public:
  TMenuBar(TComponent* owner, TMainMenu* menu);
  ~TMenuBar() override;
  void WndProc(TMessage& message) override;
  TMainMenu* Menu() const { return menu_; }
  // The cell of a top-level item in client coordinates (empty when hidden).
  RECT ItemRect(int32_t index) const;
  // Opens (or runs) the top-level item.
  void OpenItem(int32_t index);
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  // The top-level item whose cell holds client x; -1 when none.
  int32_t ItemAtX(int x) const;
  // Opens the next top-level item with sub-items in the direction `step`.
  void StepAside(int step);
  TMainMenu* menu_;
  TPopupMenu* drop_;
  int32_t open_ = -1;
};

// The window of an open popup menu: one row per visible item.
class TPopupWindow : public TCustomControl {
  FORMS_CLASS(TPopupWindow)

public:
  TPopupWindow(TPopupMenu* menu, TMenuItem* items);
  ~TPopupWindow() override;
  void WndProc(TMessage& message) override;
  // The visible items in row order, and the row rectangle of one (client coordinates).
  const std::vector<TMenuItem*>& Rows() const { return rows_; }
  RECT RowRect(int32_t row) const;
  int32_t Selected() const { return selected_; }
  // Closes the menu and runs the item.
  void Choose(int32_t row);

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  int32_t RowAt(int y) const;
  void Measure();
  TPopupMenu* menu_;
  std::vector<TMenuItem*> rows_;
  std::vector<int32_t> rowTops_;
  int32_t selected_ = -1;
  HWND previousFocus_ = nullptr;
};
