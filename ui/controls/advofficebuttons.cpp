// The office check box.
//
// Sections: box looks | construction and properties | painting | mouse and
// keys
#include "ui/controls/advofficebuttons.h"

#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/win/sysinfo.h"
#include "ui/controls/parentbackground.h"
#include "ui/controls/resourcebitmap.h"
#include "ui/controls/themeapi.h"
#include "ui/render/gdippicturecontainer.h"
#include "ui/render/htmlengine.h"

// ---- box looks ----

TCheckBoxFace CheckBoxFace(TCheckBoxState state, bool enabled, bool down, bool hot) {
  static constexpr int kStates[3][4] = {{4, 3, 3, 1}, {8, 7, 7, 5}, {12, 11, 10, 9}};
  const int column = !enabled ? 0 : down ? 1 : hot ? 2 : 3;
  TCheckBoxFace face{};
  face.ThemeState = kStates[state][column];
  const bool checked = state == cbChecked;
  if (down) face.Bitmap = checked ? "VARNOFCCD" : "VARNOFCUD";
  else if (hot) face.Bitmap = checked ? "VARNOFCCH" : "VARNOFCUH";
  else face.Bitmap = checked ? "VARNOFCC" : "VARNOFCU";
  return face;
}

void LoadCheckBoxBitmap(TBitmap* bitmap, const std::string& name) { LoadResourceBitmap(bitmap, name); }

// ---- construction and properties ----

const TClassInfo& TCustomAdvOfficeCheckBox::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomAdvOfficeCheckBox>(
      "TCustomAdvOfficeCheckBox", &TCustomControl::StaticClassInfo(), [](TPublished<TCustomAdvOfficeCheckBox>& p) {
        static const TEnumNames alignments{"taLeftJustify", "taRightJustify"};
        static const TEnumNames layouts{"tlTop", "tlCenter", "tlBottom"};
        static const TEnumNames states{"cbUnchecked", "cbChecked", "cbGrayed"};
        using C = TCustomAdvOfficeCheckBox;
        p.Enumeration("Alignment", alignments, &C::Alignment, &C::SetAlignment)
            .Enumeration("ButtonVertAlign", layouts, &C::ButtonVertAlign, &C::SetButtonVertAlign)
            .Boolean("Checked", &C::Checked, &C::SetChecked)
            .Integer("DisabledFontColor", &C::DisabledFontColor, &C::SetDisabledFontColor)
            .Boolean("Down", &C::Down, &C::SetDown)
            .Boolean("Ellipsis", &C::Ellipsis, &C::SetEllipsis)
            .Reference<TPictureContainer>("PictureContainer", &C::PictureContainer, &C::SetPictureContainer)
            .Boolean("ReadOnly", &C::ReadOnly, &C::SetReadOnly)
            .Boolean("ReturnIsTab", &C::ReturnIsTab, &C::SetReturnIsTab)
            .Integer("ShadowColor", &C::ShadowColor, &C::SetShadowColor)
            .Integer("ShadowOffset", &C::ShadowOffset, &C::SetShadowOffset)
            .Boolean("ShowFocus", &C::ShowFocus, &C::SetShowFocus)
            .Enumeration("State", states, &C::State, &C::SetState)
            .Boolean("Themed", &C::Themed, &C::SetThemed)
            .Integer("URLColor", &C::URLColor, &C::SetURLColor)
            .String("Version", &C::Version, &C::SetVersion)
            .Event("OnAnchorClick", &C::OnAnchorClick)
            .Event("OnAnchorEnter", &C::OnAnchorEnter)
            .Event("OnAnchorExit", &C::OnAnchorExit);
      });
  return info;
}
const TClassInfo& TAdvOfficeCheckBox::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TAdvOfficeCheckBox>("TAdvOfficeCheckBox", &TCustomAdvOfficeCheckBox::StaticClassInfo());
  return info;
}

TCustomAdvOfficeCheckBox::TCustomAdvOfficeCheckBox(TComponent* owner)
    : TCustomControl(owner), pictureCache_(std::make_unique<THTMLPictureCache>()) {
  SetBounds(0, 0, 120, 20);
  SetControlStyle(ControlStyle() - csClickEvents + csOpaque);
  SetTabStop(false);
}

TCustomAdvOfficeCheckBox::~TCustomAdvOfficeCheckBox() = default;

std::string TCustomAdvOfficeCheckBox::Version() const { return VersionString(GetVersionNumber()); }

void TCustomAdvOfficeCheckBox::SetState(TCheckBoxState s) {
  if (s == state_) return;
  state_ = s;
  if (HandleAllocated() && Parent()) InvalidateBox();
}

void TCustomAdvOfficeCheckBox::SetChecked(bool v) {
  SetState(v ? cbChecked : cbUnchecked);
  Repaint();
}

void TCustomAdvOfficeCheckBox::Toggle() {
  if (!readOnly_) SetChecked(!GetChecked());
}

void TCustomAdvOfficeCheckBox::SetPictureContainer(TPictureContainer* c) {
  pictureContainer_ = c;
  if (c) c->FreeNotification(this);
  Invalidate();
}

void TCustomAdvOfficeCheckBox::Loaded() {
  TCustomControl::Loaded();
  loadedCursor_ = Cursor();
}

void TCustomAdvOfficeCheckBox::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TCustomControl::SetBounds(left, top, width, height);
  Invalidate();
}

void TCustomAdvOfficeCheckBox::InvalidateBox() {
  if (!HandleAllocated()) return;
  RECT r = ClientRect();
  if (alignment_ == lrLeft) r.right = std::min<LONG>(r.right, 20);
  else r.left = std::max<LONG>(r.left, r.right - 20);
  InvalidateRect(Handle(), &r, TRUE);
}

// ---- painting ----

RECT TCustomAdvOfficeCheckBox::TextRect() const {
  RECT r = ClientRect();
  r.top += 4;
  if (RightToLeft()) {
    r.left = 0;
    r.right -= 16;
  } else {
    r.left += 16;
  }
  return r;
}

namespace {

TMarkupArgs CaptionArgs(const TCustomAdvOfficeCheckBox& box) {
  TMarkupArgs args;
  args.ShadowOffset = box.ShadowOffset();
  args.WordWrap = !box.Ellipsis();
  args.URLColor = box.URLColor();
  args.ShadowColor = box.ShadowColor();
  args.PictureContainer = box.PictureContainer();
  return args;
}

void DrawDottedFocusRect(TCanvas* canvas, const RECT& r, TColor colour) {
  LOGBRUSH brush{BS_SOLID, ColorToRGB(colour), 0};
  HPEN pen = ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &brush, 0, nullptr);
  HDC dc = canvas->Handle();
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, r.left, r.top, nullptr);
  LineTo(dc, r.right, r.top);
  LineTo(dc, r.right, r.bottom);
  LineTo(dc, r.left, r.bottom);
  LineTo(dc, r.left, r.top);
  SelectObject(dc, old);
  DeleteObject(pen);
}

}  // namespace

bool TCustomAdvOfficeCheckBox::DrawThemedGlyph() {
  const DWORD version = GetVersion();
  const int major = LOBYTE(LOWORD(version)), minor = HIBYTE(LOWORD(version));
  if (!(major > 5 || (major == 5 && minor > 0)) || !themed_ || !AOBXPVS().ThemeAvailable()) return false;
  int top = 0;
  switch (buttonVertAlign_) {
    case tlTop: top = (Canvas()->TextHeight("gh") - 16) / 2 + 4; break;
    case tlCenter: top = ClientHeight() / 2 - 8; break;
    case tlBottom: top = ClientHeight() - 16; break;
  }
  const int left = RightToLeft() ? ClientWidth() - 17 : 0;
  const RECT r{left, top, left + 16, top + 16};
  const TCheckBoxFace face = CheckBoxFace(state_, Enabled(), down_, hot_);
  return DrawThemedPart(AOBXPVS(), Handle(), L"button", Canvas()->Handle(), 3, face.ThemeState, r);
}

void TCustomAdvOfficeCheckBox::DrawCheckGlyph() {
  if (DrawThemedGlyph()) return;
  TBitmap bitmap;
  LoadCheckBoxBitmap(&bitmap, CheckBoxFace(state_, Enabled(), down_, hot_).Bitmap);
  int top = 0;
  switch (buttonVertAlign_) {
    case tlTop: top = (Canvas()->TextHeight("gh") - bitmap.Height()) / 2 + 4; break;
    case tlCenter: top = ClientHeight() / 2 - bitmap.Height() / 2; break;
    case tlBottom: top = ClientHeight() - bitmap.Height(); break;
  }
  const int left = RightToLeft() ? ClientWidth() - bitmap.Width() - 1 : 0;
  Canvas()->Draw(left, top, &bitmap);
}

void TCustomAdvOfficeCheckBox::Paint() {
  TCanvas* c = Canvas();
  c->SetFont(Font());
  PaintParentBackground(this, c->Handle());
  DrawCheckGlyph();
  RECT r = TextRect();
  TMarkupArgs args = CaptionArgs(*this);
  args.PictureCache = pictureCache_.get();
  args.CheckHotSpot = true;
  args.MeasureOnly = true;
  const TMarkupResult measured = RenderMarkup(c, Caption(), r, args);
  args.CheckHotSpot = false;
  args.MeasureOnly = false;
  if (Enabled()) {
    RenderMarkup(c, Caption(), r, args);
  } else {
    RECT shifted{r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    const TColor colour = c->Font()->Color();
    c->Font()->SetColor(clWhite);
    args.URLColor = clWhite;
    RenderMarkup(c, Caption(), shifted, args);
    c->Font()->SetColor(disabledFontColor_);
    args.URLColor = static_cast<TColor>(0x808080);
    RenderMarkup(c, Caption(), r, args);
    c->Font()->SetColor(colour);
  }
  if (focused_ && TabStop() && showFocus_)
    DrawDottedFocusRect(c, RECT{r.left, r.top, r.left + measured.MeasuredWidth + 3, r.top + measured.MeasuredHeight},
                        c->Font()->Color());
}

std::string TCustomAdvOfficeCheckBox::AnchorAt(int x, int y) {
  TMarkupArgs args = CaptionArgs(*this);
  args.PictureCache = pictureCache_.get();
  args.CheckHotSpot = true;
  args.X = x;
  args.Y = y;
  Canvas()->SetFont(Font());
  const TMarkupResult hit = RenderMarkup(Canvas(), Caption(), TextRect(), args);
  return hit.Hit ? hit.AnchorTarget : std::string();
}

// ---- mouse and keys ----

void TCustomAdvOfficeCheckBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  pressed_ = true;
  std::string anchor;
  if (focused_) {
    anchor = AnchorAt(x, y);
    if (!anchor.empty()) {
      // Only web and mail links go to the desktop's opener; nothing runs a program.
      if (IsOpenableAnchor(anchor)) OpenAnchor(anchor);
      else if (OnAnchorClick) OnAnchorClick(this, anchor);
    }
  } else if (CanFocus() && !ComponentState().Contains(csDesigning)) {
    SetFocus();
    focused_ = true;
  }
  if (anchor.empty()) {
    TCustomControl::MouseDown(button, shift, x, y);
    SetCaptureControl(this);
    down_ = true;
  }
  InvalidateBox();
}

void TCustomAdvOfficeCheckBox::MouseMove(TShiftState shift, int x, int y) {
  if (GetCaptureControl() == this) down_ = x >= 0 && x <= Width() && y >= 0 && y <= Height();
  if (focused_) {
    const std::string anchor = AnchorAt(x, y);
    if (!anchor.empty()) {
      if (Cursor() == crDefault || anchor != lastAnchor_) {
        lastAnchor_ = anchor;
        SetCursor(crHandPoint);
        if (OnAnchorEnter) OnAnchorEnter(this, anchor);
      }
    } else if (Cursor() == crHandPoint) {
      SetCursor(loadedCursor_);
      lastAnchor_.clear();
      if (OnAnchorExit) OnAnchorExit(this, "");
    }
  }
  TCustomControl::MouseMove(shift, x, y);
}

void TCustomAdvOfficeCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (GetCaptureControl() == this) SetCaptureControl(nullptr);
  down_ = false;
  if (x >= 0 && x <= Width() && y >= 0 && y <= Height() && focused_ && pressed_) {
    Toggle();
    Click();
  }
  TCustomControl::MouseUp(button, shift, x, y);
  InvalidateBox();
  pressed_ = false;
}

void TCustomAdvOfficeCheckBox::KeyDown(WORD& key, TShiftState shift) {
  if (key == VK_RETURN && returnIsTab_) {
    key = VK_TAB;
    PostMessage(Handle(), WM_KEYDOWN, VK_TAB, 0);
  }
  if (key == VK_SPACE) down_ = true;
  TCustomControl::KeyDown(key, shift);
}

void TCustomAdvOfficeCheckBox::KeyUp(WORD& key, TShiftState shift) {
  if (key == VK_SPACE) {
    down_ = false;
    Toggle();
    Click();
  }
  TCustomControl::KeyUp(key, shift);
}

void TCustomAdvOfficeCheckBox::DoEnter() {
  TCustomControl::DoEnter();
  focused_ = true;
  Invalidate();
}

void TCustomAdvOfficeCheckBox::DoExit() {
  TCustomControl::DoExit();
  focused_ = false;
  Invalidate();
}

void TCustomAdvOfficeCheckBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_ERASEBKGND: m.Result = 1; return;
    case CM_ENABLEDCHANGED:
      TCustomControl::WndProc(m);
      Invalidate();
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      hot_ = m.Msg == CM_MOUSEENTER;
      InvalidateBox();
      break;
    case CM_DIALOGCHAR: {
      const std::string plain = StripMarkup(Caption());
      const size_t amp = plain.find('&');
      const bool accel = amp != std::string::npos && amp + 1 < plain.size() && m.WParam < 128 &&
                         std::tolower(static_cast<unsigned char>(plain[amp + 1])) == std::tolower(static_cast<int>(m.WParam));
      if (accel && CanFocus()) {
        Toggle();
        if (OnClick) OnClick(this);
        if (TabStop() && !ComponentState().Contains(csDesigning)) SetFocus();
        m.Result = 1;
        return;
      }
      break;
    }
    case WM_GETDLGCODE: m.Result = DLGC_WANTCHARS; return;
    default: break;
  }
  TCustomControl::WndProc(m);
}
