// Menu items, menus, popup menus and their window; shortcut texts.
//
// Sections: shortcuts | TMenuItem | TMenu | TPopupMenu | TMenuBar | TPopupWindow
#include "platform/forms/menus.h"

#include <algorithm>

#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"

// ---- shortcuts ----

namespace {

// Names of the keys that are not a letter or digit.
const struct {
  WORD key;
  const char* name;
} kKeyNames[] = {
    {VK_BACK, "BkSp"},   {VK_TAB, "Tab"},     {VK_RETURN, "Enter"}, {VK_ESCAPE, "Esc"},   {VK_SPACE, "Space"},
    {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"},   {VK_END, "End"},      {VK_HOME, "Home"},    {VK_LEFT, "Left"},
    {VK_UP, "Up"},       {VK_RIGHT, "Right"}, {VK_DOWN, "Down"},    {VK_INSERT, "Ins"},   {VK_DELETE, "Del"},
    {VK_ADD, "Num +"},   {VK_SUBTRACT, "Num -"}, {VK_MULTIPLY, "Num *"}, {VK_DIVIDE, "Num /"},
    {VK_OEM_PLUS, "="},  {VK_OEM_MINUS, "-"}, {VK_OEM_COMMA, ","},  {VK_OEM_PERIOD, "."}, {VK_OEM_2, "/"},
};

std::string KeyName(WORD key) {
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_F1 && key <= VK_F12) return "F" + IntToStr(key - VK_F1 + 1);
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return "Num " + IntToStr(key - VK_NUMPAD0);
  for (const auto& k : kKeyNames)
    if (k.key == key) return k.name;
  return "";
}

WORD KeyFromName(const std::string& name) {
  if (name.size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return static_cast<WORD>(c);
  }
  for (WORD key = 1; key < 256; ++key)
    if (const std::string n = KeyName(key); !n.empty() && SameText(n, name)) return key;
  return 0;
}

// Strips the "&" accelerator marks ("&&" stays as one "&").
std::string StripHotkey(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) ++i;
    out += s[i];
  }
  return out;
}

// The accelerator character of a caption, upper case; 0 when none.
char HotKey(const std::string& s) {
  for (size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '&') {
      if (s[i + 1] != '&') return static_cast<char>(std::toupper(static_cast<unsigned char>(s[i + 1])));
      ++i;
    }
  return 0;
}

}  // namespace

TShortCut ShortCut(WORD key, TShiftState shift) {
  if (key > 0xFF) return 0;
  TShortCut s = key;
  if (shift.Contains(ssShift)) s |= scShift;
  if (shift.Contains(ssCtrl)) s |= scCtrl;
  if (shift.Contains(ssAlt)) s |= scAlt;
  return s;
}

void ShortCutToKey(TShortCut shortCut, WORD& key, TShiftState& shift) {
  key = shortCut & 0xFF;
  shift = TShiftState();
  if (shortCut & scShift) shift.Include(ssShift);
  if (shortCut & scCtrl) shift.Include(ssCtrl);
  if (shortCut & scAlt) shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut shortCut) {
  const std::string name = KeyName(shortCut & 0xFF);
  if (name.empty()) return "";
  std::string text;
  if (shortCut & scShift) text += "Shift+";
  if (shortCut & scCtrl) text += "Ctrl+";
  if (shortCut & scAlt) text += "Alt+";
  return text + name;
}

TShortCut TextToShortCut(const std::string& text) {
  static const struct {
    const char* prefix;
    TShortCut bit;
  } kPrefixes[] = {{"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};
  std::string rest = Trim(text);
  TShortCut mods = 0;
  for (bool found = true; found;) {
    found = false;
    for (const auto& p : kPrefixes) {
      const size_t n = std::char_traits<char>::length(p.prefix);
      if (rest.size() > n && SameText(rest.substr(0, n), p.prefix)) {
        mods |= p.bit;
        rest = rest.substr(n);
        found = true;
      }
    }
  }
  const WORD key = KeyFromName(rest);
  return key ? static_cast<TShortCut>(key | mods) : 0;
}

const TIntegerIdents& ShortCutIdents() {
  static const TIntegerIdents idents{
      [](int64_t v, std::string& text) {
        if (v == 0) return false;
        text = ShortCutToText(static_cast<TShortCut>(v));
        return !text.empty();
      },
      [](const std::string& text, int64_t& v) {
        if (text.empty()) {
          v = 0;
          return true;
        }
        v = TextToShortCut(text);
        return v != 0;
      }};
  return idents;
}

// ---- TMenuItem ----

const TClassInfo& TMenuItem::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TMenuItem>("TMenuItem", &TComponent::StaticClassInfo(), [](TPublished<TMenuItem>& p) {
        p.Boolean("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck)
            .String("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption)
            .Boolean("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked)
            .Boolean("Default", &TMenuItem::Default, &TMenuItem::SetDefault)
            .Boolean("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled)
            .Integer("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex)
            .String("Hint", &TMenuItem::Hint, &TMenuItem::SetHint)
            .Boolean("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem)
            .Integer("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, &ShortCutIdents())
            .Boolean("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible)
            .Event("OnClick", &TMenuItem::OnClick);
      });
  return info;
}

TMenuItem::TMenuItem(TComponent* owner) : TComponent(owner) {}

TMenuItem::~TMenuItem() {
  Clear();
  if (parent_) parent_->Remove(this);
}

void TMenuItem::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  // A checked radio item unchecks the others of its group.
  if (checked && radioItem_ && parent_)
    for (TMenuItem* sibling : parent_->items_)
      if (sibling != this && sibling->radioItem_ && sibling->groupIndex_ == groupIndex_) sibling->checked_ = false;
}

TMenuItem* TMenuItem::Items(int32_t index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return items_[index];
}

void TMenuItem::Add(TMenuItem* item) { Insert(Count(), item); }

void TMenuItem::Insert(int32_t index, TMenuItem* item) {
  if (!item) return;
  if (item->parent_) throw EMenuError("Menu inserted twice");
  if (index < 0 || index > Count()) RaiseListIndexError(index);
  items_.insert(items_.begin() + index, item);
  item->parent_ = this;
}

void TMenuItem::Delete(int32_t index) {
  TMenuItem* item = Items(index);
  items_.erase(items_.begin() + index);
  item->parent_ = nullptr;
}

void TMenuItem::Remove(TMenuItem* item) {
  const int32_t index = IndexOf(item);
  if (index < 0) throw EMenuError("Sub-menu is not in menu");
  Delete(index);
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();
}

int32_t TMenuItem::IndexOf(const TMenuItem* item) const {
  auto it = std::find(items_.begin(), items_.end(), item);
  return it == items_.end() ? -1 : static_cast<int32_t>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
  const std::string wanted = StripHotkey(caption);
  for (TMenuItem* item : items_)
    if (SameText(StripHotkey(item->caption_), wanted)) return item;
  return nullptr;
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* item = this;
  while (item->parent_) item = item->parent_;
  return item->menu_;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (autoCheck_) SetChecked(!checked_);
  if (OnClick) OnClick(this);
}

// ---- TMenu ----

const TClassInfo& TMenu::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMenu>("TMenu", &TComponent::StaticClassInfo(), [](TPublished<TMenu>& p) {
    p.Object("Items", &TMenu::Items);
  });
  return info;
}
const TClassInfo& TMainMenu::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMainMenu>("TMainMenu", &TMenu::StaticClassInfo());
  return info;
}

TMenu::TMenu(TComponent* owner) : TComponent(owner), items_(new TMenuItem(nullptr)) { items_->menu_ = this; }

TMenu::~TMenu() { delete items_; }

static TMenuItem* FindShortCut(const TMenuItem* parent, TShortCut shortCut) {
  for (int32_t i = 0; i < parent->Count(); ++i) {
    TMenuItem* item = parent->Items(i);
    if (!item->Enabled() || !item->Visible()) continue;
    if (item->ShortCut() == shortCut) return item;
    if (TMenuItem* found = FindShortCut(item, shortCut)) return found;
  }
  return nullptr;
}

TMenuItem* TMenu::FindItemByShortCut(TShortCut shortCut) const {
  return shortCut ? FindShortCut(items_, shortCut) : nullptr;
}

bool TMenu::IsShortCut(WORD key, TShiftState shift) {
  TMenuItem* item = FindItemByShortCut(::ShortCut(key, shift));
  if (!item) return false;
  item->Click();
  return true;
}

// ---- TPopupMenu ----

static const TEnumNames kPopupAlignmentNames{"paLeft", "paRight", "paCenter"};

const TClassInfo& TPopupMenu::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPopupMenu>("TPopupMenu", &TMenu::StaticClassInfo(), [](TPublished<TPopupMenu>& p) {
        p.Enumeration("Alignment", kPopupAlignmentNames, &TPopupMenu::Alignment, &TPopupMenu::SetAlignment)
            .Boolean("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup)
            .Event("OnPopup", &TPopupMenu::OnPopup)
            .Event("OnClose", &TPopupMenu::OnClose);
      });
  return info;
}

TPopupMenu::TPopupMenu(TComponent* owner) : TMenu(owner) {}

TPopupMenu::~TPopupMenu() {
  if (window_) {
    TPopupWindow* window = window_;
    window_ = nullptr;
    delete window;
  }
}

void TPopupMenu::Popup(int x, int y) { PopupItems(Items(), x, y); }

void TPopupMenu::PopupItems(TMenuItem* items, int x, int y) {
  CloseMenu();
  popupPoint_ = POINT{x, y};
  if (OnPopup) OnPopup(this);
  window_ = new TPopupWindow(this, items);
  const int w = window_->Width();
  int left = alignment_ == paRight ? x - w : alignment_ == paCenter ? x - w / 2 : x;
  int top = y;
  const RECT area = Screen->WorkAreaRect();
  left = std::clamp(left, static_cast<int>(area.left), std::max<int>(area.left, area.right - w));
  top = std::clamp(top, static_cast<int>(area.top), std::max<int>(area.top, area.bottom - window_->Height()));
  window_->SetBounds(left, top, w, window_->Height());
  window_->HandleNeeded();
  window_->TControl::SetVisible(true);
  SetWindowPos(window_->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ::SetFocus(window_->Handle());
  SetCapture(window_->Handle());
}

void TPopupMenu::CloseMenu() {
  if (!window_) return;
  TPopupWindow* window = window_;
  window_ = nullptr;
  if (GetCapture() == window->Handle()) ReleaseCapture();
  window->TControl::SetVisible(false);
  PostMessage(window->Handle(), CM_RELEASE, 0, 0);
  if (OnClose) OnClose(this);
}

// ---- TMenuBar ----

const TClassInfo& TMenuBar::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TMenuBar>("TMenuBar", &TCustomControl::StaticClassInfo());
  return info;
}

TMenuBar::TMenuBar(TComponent* owner, TMainMenu* menu)
    : TCustomControl(owner), menu_(menu), drop_(new TPopupMenu(nullptr)) {
  SetControlStyle(ControlStyle() - csClickEvents);
  SetColor(clMenuBar);
  SetHeight(20);
  SetAlign(alTop);
  menu->FreeNotification(this);
  drop_->OnClose = [this](TObject*) {
    open_ = -1;
    Invalidate();
  };
  // With a menu open, the pointer over another cell or Left and Right open that cell's menu.
  drop_->OnPointerOutside = [this](POINT screen) {
    const POINT p = ScreenToClient(screen);
    if (p.y < 0 || p.y >= Height()) return;
    const int32_t index = ItemAtX(p.x);
    if (index >= 0 && index != open_ && menu_->Items()->Items(index)->Count() > 0) OpenItem(index);
  };
  drop_->OnStepAside = [this](int step) { StepAside(step); };
}

int32_t TMenuBar::ItemAtX(int x) const {
  if (!menu_) return -1;
  for (int32_t i = 0; i < menu_->Items()->Count(); ++i) {
    const RECT r = ItemRect(i);
    if (x >= r.left && x < r.right) return i;
  }
  return -1;
}

void TMenuBar::StepAside(int step) {
  if (!menu_ || open_ < 0) return;
  const int32_t n = menu_->Items()->Count();
  for (int32_t k = 1; k < n; ++k) {
    const int32_t i = ((open_ + step * k) % n + n) % n;
    TMenuItem* item = menu_->Items()->Items(i);
    if (item->Visible() && item->Enabled() && item->Count() > 0) {
      OpenItem(i);
      return;
    }
  }
}

TMenuBar::~TMenuBar() { delete drop_; }

void TMenuBar::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == menu_) {
    menu_ = nullptr;
    drop_->CloseMenu();
  }
}

RECT TMenuBar::ItemRect(int32_t index) const {
  if (!menu_) return RECT{};
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  int x = 0;
  RECT result{};
  TMenuItem* root = menu_->Items();
  for (int32_t i = 0; i < root->Count(); ++i) {
    if (!root->Items(i)->Visible()) continue;
    SIZE size{};
    GetTextExtentPoint32(dc, StripHotkey(root->Items(i)->Caption()), &size);
    const RECT r{x, 0, x + size.cx + 16, Height()};
    if (i == index) {
      result = r;
      break;
    }
    x = r.right;
  }
  SelectObject(dc, old);
  DeleteDC(dc);
  return result;
}

void TMenuBar::OpenItem(int32_t index) {
  if (!menu_ || index < 0 || index >= menu_->Items()->Count()) return;
  TMenuItem* item = menu_->Items()->Items(index);
  if (!item->Enabled() || !item->Visible()) return;
  if (item->Count() == 0) {
    item->Click();
    return;
  }
  const RECT r = ItemRect(index);
  const POINT below = ClientToScreen(POINT{r.left, r.bottom});
  open_ = index;
  Invalidate();
  drop_->PopupItems(item, below.x, below.y);
  open_ = index;  // PopupItems closed any earlier drop-down first
  Invalidate();
}

void TMenuBar::WndProc(TMessage& m) {
  if (m.Msg == CM_DIALOGCHAR && menu_ && GetKeyState(VK_MENU) < 0) {
    const char32_t ch = static_cast<char32_t>(m.WParam);
    for (int32_t i = 0; i < menu_->Items()->Count(); ++i)
      if (ch < 128 && HotKey(menu_->Items()->Items(i)->Caption()) == std::toupper(static_cast<int>(ch))) {
        OpenItem(i);
        m.Result = 1;
        return;
      }
  }
  TCustomControl::WndProc(m);
}

void TMenuBar::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft || !menu_) return;
  const int32_t i = ItemAtX(x);
  if (i < 0) return;
  if (open_ == i) drop_->CloseMenu();
  else OpenItem(i);
}

void TMenuBar::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(clMenuBar);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(ClientRect());
  if (!menu_) return;
  c->Font()->Assign(Font());
  for (int32_t i = 0; i < menu_->Items()->Count(); ++i) {
    TMenuItem* item = menu_->Items()->Items(i);
    if (!item->Visible()) continue;
    RECT r = ItemRect(i);
    if (i == open_) {
      c->Brush()->SetColor(clHighlight);
      c->Brush()->SetStyle(bsSolid);
      c->FillRect(r);
    }
    c->Font()->SetColor(!item->Enabled() ? clGrayText : i == open_ ? clHighlightText : clMenuText);
    c->Brush()->SetStyle(bsClear);
    std::string caption = item->Caption();
    c->TextRect(r, caption, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine});
  }
}

// ---- TPopupWindow ----

namespace {
constexpr int kRowHeight = 22;
constexpr int kLineHeight = 8;
}  // namespace

const TClassInfo& TPopupWindow::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPopupWindow>("TPopupWindow", &TCustomControl::StaticClassInfo());
  return info;
}

TPopupWindow::TPopupWindow(TPopupMenu* menu, TMenuItem* items) : TCustomControl(nullptr), menu_(menu) {
  SetControlStyle(ControlStyle() - csCaptureMouse);
  SetColor(clMenu);
  SetParentFont(false);
  SetFontColorDefault(clMenuText);
  TControl::SetVisible(false);
  for (int32_t i = 0; i < items->Count(); ++i)
    if (items->Items(i)->Visible()) rows_.push_back(items->Items(i));
  previousFocus_ = GetFocus();
  Measure();
}

TPopupWindow::~TPopupWindow() {
  if (menu_ && menu_->window_ == this) menu_->window_ = nullptr;
}

void TPopupWindow::CreateParams(TCreateParams& p) {
  TCustomControl::CreateParams(p);
  p.Style = WS_POPUP | WS_BORDER;
  p.ExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE;
  p.WndParent = nullptr;
}

void TPopupWindow::Measure() {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  int width = 120, top = 2;
  rowTops_.clear();
  for (TMenuItem* item : rows_) {
    rowTops_.push_back(top);
    top += item->IsLine() ? kLineHeight : kRowHeight;
    SIZE text{}, keys{};
    GetTextExtentPoint32(dc, StripHotkey(item->Caption()), &text);
    GetTextExtentPoint32(dc, ShortCutToText(item->ShortCut()), &keys);
    width = std::max<int>(width, text.cx + keys.cx + 60);
  }
  rowTops_.push_back(top);
  SelectObject(dc, old);
  DeleteDC(dc);
  SetBounds(0, 0, width + 2, top + 4);
}

RECT TPopupWindow::RowRect(int32_t row) const {
  return RECT{2, rowTops_.at(row), ClientWidth() - 2, rowTops_.at(row + 1)};
}

int32_t TPopupWindow::RowAt(int y) const {
  for (size_t i = 0; i + 1 < rowTops_.size(); ++i)
    if (y >= rowTops_[i] && y < rowTops_[i + 1]) return static_cast<int32_t>(i);
  return -1;
}

void TPopupWindow::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(Font());
  c->Brush()->SetColor(clMenu);
  c->FillRect(ClientRect());
  for (int32_t i = 0; i < static_cast<int32_t>(rows_.size()); ++i) {
    TMenuItem* item = rows_[i];
    RECT r = RowRect(i);
    if (item->IsLine()) {
      const int y = (r.top + r.bottom) / 2;
      c->Pen()->SetColor(clBtnShadow);
      c->MoveTo(r.left + 4, y);
      c->LineTo(r.right - 4, y);
      continue;
    }
    const bool selected = i == selected_ && item->Enabled();
    c->Brush()->SetColor(selected ? clHighlight : clMenu);
    c->FillRect(r);
    c->Font()->SetColor(!item->Enabled() ? clGrayText : selected ? clHighlightText : clMenuText);
    c->Font()->SetStyle(item->Default() ? TFontStyles{fsBold} : TFontStyles{});
    c->Brush()->SetStyle(bsClear);
    if (item->Checked()) {
      RECT mark{r.left + 4, r.top, r.left + 20, r.bottom};
      std::string check = item->RadioItem() ? "\u25CF" : "\u2713";
      c->TextRect(mark, check, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine});
    }
    RECT text{r.left + 24, r.top, r.right - 8, r.bottom};
    std::string caption = item->Caption();
    c->TextRect(text, caption, TTextFormat{tfLeft, tfVerticalCenter, tfSingleLine});
    std::string keys = ShortCutToText(item->ShortCut());
    if (!keys.empty()) c->TextRect(text, keys, TTextFormat{tfRight, tfVerticalCenter, tfSingleLine});
    if (item->Count() > 0) {
      std::string arrow = "\u25B8";
      c->TextRect(text, arrow, TTextFormat{tfRight, tfVerticalCenter, tfSingleLine});
    }
  }
}

void TPopupWindow::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_RELEASE: delete this; return;
    case WM_GETDLGCODE: m.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
      const POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height()) {
        if (menu_) menu_->CloseMenu();
        return;
      }
      break;
    }
    case WM_CHAR: {
      const char32_t ch = static_cast<char32_t>(m.WParam);
      for (int32_t i = 0; i < static_cast<int32_t>(rows_.size()); ++i)
        if (ch < 128 && HotKey(rows_[i]->Caption()) == std::toupper(static_cast<int>(ch))) {
          Choose(i);
          return;
        }
      return;
    }
    case WM_KILLFOCUS:
      if (menu_ && reinterpret_cast<HWND>(m.WParam) != Handle()) menu_->CloseMenu();
      break;
    default: break;
  }
  TCustomControl::WndProc(m);
}

void TPopupWindow::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if ((x < 0 || y < 0 || x >= Width() || y >= Height()) && menu_ && menu_->OnPointerOutside) {
    menu_->OnPointerOutside(ClientToScreen(POINT{x, y}));
    if (!menu_ || menu_->window_ != this) return;  // another menu opened
  }
  const int32_t row = x >= 0 && x < Width() ? RowAt(y) : -1;
  if (row != selected_) {
    selected_ = row;
    if (row >= 0) Application->SetHint(rows_[row]->Hint());
    Invalidate();
  }
}

void TPopupWindow::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (x < 0 || x >= Width()) return;
  const int32_t row = RowAt(y);
  if (row >= 0) Choose(row);
}

void TPopupWindow::KeyDown(WORD& key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  const int32_t n = static_cast<int32_t>(rows_.size());
  auto step = [&](int dir) {
    for (int32_t k = 1; k <= n; ++k) {
      const int32_t i = ((selected_ < 0 ? (dir > 0 ? -1 : n) : selected_) + dir * k % n + n) % n;
      if (!rows_[i]->IsLine() && rows_[i]->Enabled()) {
        selected_ = i;
        Application->SetHint(rows_[i]->Hint());
        Invalidate();
        return;
      }
    }
  };
  switch (key) {
    case VK_DOWN: step(1); break;
    case VK_UP: step(-1); break;
    case VK_RETURN:
      if (selected_ >= 0) Choose(selected_);
      break;
    case VK_ESCAPE:
      if (menu_) menu_->CloseMenu();
      break;
    case VK_LEFT:
    case VK_RIGHT:
      if (menu_ && menu_->OnStepAside) menu_->OnStepAside(key == VK_LEFT ? -1 : 1);
      break;
    default: return;
  }
  key = 0;
}

void TPopupWindow::Choose(int32_t row) {
  if (row < 0 || row >= static_cast<int32_t>(rows_.size())) return;
  TMenuItem* item = rows_[row];
  if (item->IsLine() || !item->Enabled() || item->Count() > 0) return;
  HWND focus = previousFocus_;
  if (menu_) menu_->CloseMenu();
  if (focus && IsWindow(focus)) ::SetFocus(focus);
  item->Click();
}
