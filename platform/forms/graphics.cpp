// Colours, fonts, pens, brushes and the canvas.
//
// Sections: colours | graphics objects | TFont | TPen | TBrush | TCanvas
#include "platform/forms/graphics.h"

#include <algorithm>
#include <cstring>

#include "platform/rtl/sysutils.h"
#include "platform/win/gdi_text.h"
#include "platform/win/user_system.h"

// ---- colours ----

namespace {

struct ColorName {
  TColor color;
  const char* name;
};

const ColorName kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"},
    {clNavy, "clNavy"}, {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"},
    {clSilver, "clSilver"}, {clRed, "clRed"}, {clLime, "clLime"}, {clYellow, "clYellow"},
    {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"}, {clWhite, "clWhite"},
    {clScrollBar, "clScrollBar"}, {clBackground, "clBackground"}, {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"}, {clMenu, "clMenu"}, {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"}, {clMenuText, "clMenuText"}, {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"}, {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"}, {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"}, {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"}, {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"}, {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"}, {clHotLight, "clHotLight"}, {clMenuHighlight, "clMenuHighlight"},
    {clMenuBar, "clMenuBar"}, {clNone, "clNone"}, {clDefault, "clDefault"},
};

int MulDivRound(int a, int b, int c) {
  const int64_t p = int64_t{a} * b;
  return static_cast<int>((p >= 0 ? p + c / 2 : p - c / 2) / c);
}

}  // namespace

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  return static_cast<COLORREF>(color);
}

std::string ColorToString(TColor color) {
  for (const ColorName& c : kColorNames)
    if (c.color == color) return c.name;
  return "$" + IntToHex(static_cast<uint32_t>(color), 8);
}

bool IdentToColor(const std::string& ident, int32_t& color) {
  for (const ColorName& c : kColorNames)
    if (SameText(c.name, ident)) {
      color = c.color;
      return true;
    }
  return false;
}

TColor StringToColor(const std::string& text) {
  int32_t color = 0;
  if (IdentToColor(text, color)) return color;
  int64_t n = 0;
  if (!TryStrToInt64(text, n) || n < INT32_MIN || n > UINT32_MAX)
    throw EConvertError(Format("'%s' is not a valid colour", {text}));
  return static_cast<TColor>(static_cast<uint32_t>(n));
}

const TIntegerIdents& ColorIdents() {
  static const TIntegerIdents idents{
      [](int64_t v, std::string& text) {
        for (const ColorName& c : kColorNames)
          if (c.color == v) {
            text = c.name;
            return true;
          }
        return false;
      },
      [](const std::string& text, int64_t& v) {
        int32_t c = 0;
        if (!IdentToColor(text, c)) return false;
        v = c;
        return true;
      }};
  return idents;
}

// ---- graphics objects ----

TGraphicsObject::~TGraphicsObject() { DropHandle(); }

void TGraphicsObject::DropHandle() const {
  if (handle_) DeleteObject(handle_);
  handle_ = nullptr;
}

void TGraphicsObject::Changed() {
  DropHandle();
  if (OnChange) OnChange(this);
}

// Stores a new value and reports the change, when it differs.
template <class T>
static bool Store(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// ---- TFont ----

static const TEnumNames kFontStyleNames{"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"};
static const TEnumNames kFontPitchNames{"fpDefault", "fpVariable", "fpFixed"};

const TClassInfo& TFont::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TFont>("TFont", &TPersistent::StaticClassInfo(), [](TPublished<TFont>& p) {
        p.Integer("Charset", &TFont::Charset, &TFont::SetCharset)
            .Integer("Color", &TFont::Color, &TFont::SetColor, &ColorIdents())
            .Integer("Height", &TFont::Height, &TFont::SetHeight)
            .String("Name", &TFont::Name, &TFont::SetName)
            .Enumeration("Pitch", kFontPitchNames, &TFont::Pitch, &TFont::SetPitch)
            .Integer("Size", &TFont::Size, &TFont::SetSize)
            .SetOf("Style", kFontStyleNames, &TFont::Style, &TFont::SetStyle);
      });
  return info;
}

TFont::TFont() = default;

void TFont::SetName(const std::string& name) {
  if (!name.empty() && Store(name_, name)) Changed();
}
int32_t TFont::Size() const { return -MulDivRound(height_, 72, PixelsPerInch()); }
void TFont::SetSize(int32_t size) { SetHeight(-MulDivRound(size, PixelsPerInch(), 72)); }
void TFont::SetHeight(int32_t height) {
  if (Store(height_, height)) Changed();
}
void TFont::SetStyle(TFontStyles style) {
  if (Store(style_, style)) Changed();
}
void TFont::SetColor(TColor color) {
  if (Store(color_, color)) Changed();
}
void TFont::SetCharset(TFontCharset charset) {
  if (Store(charset_, charset)) Changed();
}
void TFont::SetPitch(TFontPitch pitch) {
  if (Store(pitch_, pitch)) Changed();
}

HFONT TFont::Handle() const {
  if (!CachedHandle()) {
    LOGFONTA lf;
    lf.lfHeight = height_;
    lf.lfWeight = style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = style_.Contains(fsItalic);
    lf.lfUnderline = style_.Contains(fsUnderline);
    lf.lfStrikeOut = style_.Contains(fsStrikeOut);
    lf.lfCharSet = charset_;
    lf.lfPitchAndFamily = pitch_ == fpFixed ? FIXED_PITCH : pitch_ == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, name_.c_str(), LF_FACESIZE - 1);
    SetCachedHandle(CreateFontIndirectA(&lf));
  }
  return static_cast<HFONT>(CachedHandle());
}

void TFont::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TFont*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  if (*this == *other) return;
  name_ = other->name_;
  height_ = other->height_;
  style_ = other->style_;
  color_ = other->color_;
  charset_ = other->charset_;
  pitch_ = other->pitch_;
  Changed();
}

bool TFont::operator==(const TFont& o) const {
  return name_ == o.name_ && height_ == o.height_ && style_ == o.style_ && color_ == o.color_ &&
         charset_ == o.charset_ && pitch_ == o.pitch_;
}

// ---- TPen ----

static const TEnumNames kPenStyleNames{"psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear",
                                       "psInsideFrame"};
static const TEnumNames kPenModeNames{"pmBlack", "pmWhite", "pmNop", "pmNot", "pmCopy", "pmNotCopy",
                                      "pmMergePenNot", "pmMaskPenNot", "pmMergeNotPen", "pmMaskNotPen",
                                      "pmMerge", "pmNotMerge", "pmMask", "pmNotMask", "pmXor", "pmNotXor"};
// The ROP2 code of each pen mode.
static const int kPenModeRop2[] = {R2_BLACK,       R2_WHITE,       R2_NOP,         R2_NOT,
                                   R2_COPYPEN,     R2_NOTCOPYPEN,  R2_MERGEPENNOT, R2_MASKPENNOT,
                                   R2_MERGENOTPEN, R2_MASKNOTPEN,  R2_MERGEPEN,    R2_NOTMERGEPEN,
                                   R2_MASKPEN,     R2_NOTMASKPEN,  R2_XORPEN,      R2_NOTXORPEN};

const TClassInfo& TPen::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPen>("TPen", &TPersistent::StaticClassInfo(), [](TPublished<TPen>& p) {
        p.Integer("Color", &TPen::Color, &TPen::SetColor, &ColorIdents())
            .Enumeration("Mode", kPenModeNames, &TPen::Mode, &TPen::SetMode)
            .Enumeration("Style", kPenStyleNames, &TPen::Style, &TPen::SetStyle)
            .Integer("Width", &TPen::Width, &TPen::SetWidth);
      });
  return info;
}

void TPen::SetColor(TColor color) {
  if (Store(color_, color)) Changed();
}
void TPen::SetWidth(int32_t width) {
  if (width >= 0 && Store(width_, width)) Changed();
}
void TPen::SetStyle(TPenStyle style) {
  if (Store(style_, style)) Changed();
}
void TPen::SetMode(TPenMode mode) {
  if (Store(mode_, mode)) Changed();
}

HPEN TPen::Handle() const {
  if (!CachedHandle()) SetCachedHandle(CreatePen(static_cast<int>(style_), width_, ColorToRGB(color_)));
  return static_cast<HPEN>(CachedHandle());
}

void TPen::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TPen*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  color_ = other->color_;
  width_ = other->width_;
  style_ = other->style_;
  mode_ = other->mode_;
  Changed();
}

// ---- TBrush ----

static const TEnumNames kBrushStyleNames{"bsSolid",     "bsClear",     "bsHorizontal", "bsVertical",
                                         "bsFDiagonal", "bsBDiagonal", "bsCross",      "bsDiagCross"};

const TClassInfo& TBrush::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TBrush>("TBrush", &TPersistent::StaticClassInfo(), [](TPublished<TBrush>& p) {
        p.Integer("Color", &TBrush::Color, &TBrush::SetColor, &ColorIdents())
            .Enumeration("Style", kBrushStyleNames, &TBrush::Style, &TBrush::SetStyle);
      });
  return info;
}

void TBrush::SetColor(TColor color) {
  if (!Store(color_, color)) return;
  if (style_ == bsClear) style_ = bsSolid;
  Changed();
}
void TBrush::SetStyle(TBrushStyle style) {
  if (Store(style_, style)) Changed();
}

HBRUSH TBrush::Handle() const {
  if (!CachedHandle()) {
    LOGBRUSH lb;
    lb.lbColor = ColorToRGB(color_);
    if (style_ == bsSolid) {
      lb.lbStyle = BS_SOLID;
    } else if (style_ == bsClear) {
      lb.lbStyle = BS_NULL;
    } else {
      lb.lbStyle = BS_HATCHED;
      lb.lbHatch = static_cast<ULONG_PTR>(style_ - bsHorizontal);  // HS_* in the same order
    }
    SetCachedHandle(CreateBrushIndirect(&lb));
  }
  return static_cast<HBRUSH>(CachedHandle());
}

void TBrush::Assign(const TPersistent* source) {
  const auto* other = dynamic_cast<const TBrush*>(source);
  if (!other) {
    TPersistent::Assign(source);
    return;
  }
  color_ = other->color_;
  style_ = other->style_;
  Changed();
}

// ---- TCanvas ----

const TClassInfo& TCanvas::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCanvas>("TCanvas", &TPersistent::StaticClassInfo());
  return info;
}

TCanvas::TCanvas()
    : font_(std::make_unique<TFont>()), pen_(std::make_unique<TPen>()), brush_(std::make_unique<TBrush>()) {}

TCanvas::~TCanvas() { SetHandle(nullptr); }

// Drawing straight on the handle sees the canvas's pen, brush and font.
HDC TCanvas::Handle() const {
  auto* self = const_cast<TCanvas*>(this);
  if (!dc_) self->CreateHandle();
  if (dc_) self->RequireState();
  return dc_;
}

void TCanvas::DeselectHandles() {
  if (!dc_) return;
  if (oldPen_) SelectObject(dc_, oldPen_);
  if (oldBrush_) SelectObject(dc_, oldBrush_);
  if (oldFont_) SelectObject(dc_, oldFont_);
  oldPen_ = oldBrush_ = oldFont_ = nullptr;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == dc_) return;
  DeselectHandles();
  dc_ = dc;
}

void TCanvas::RequireState() {
  if (!dc_) CreateHandle();
  HDC dc = dc_;
  if (!dc) throw EInvalidGraphicOperation("Canvas does not allow drawing");
  HGDIOBJ pen = SelectObject(dc, pen_->Handle());
  HGDIOBJ brush = SelectObject(dc, brush_->Handle());
  HGDIOBJ font = SelectObject(dc, font_->Handle());
  if (!oldPen_) oldPen_ = pen;
  if (!oldBrush_) oldBrush_ = brush;
  if (!oldFont_) oldFont_ = font;
  SetTextColor(dc, ColorToRGB(font_->Color()));
  SetBkColor(dc, ColorToRGB(brush_->Color()));
  SetBkMode(dc, brush_->Style() == bsClear ? TRANSPARENT : OPAQUE);
  SetROP2(dc, kPenModeRop2[pen_->Mode()]);
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}
void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

RECT TCanvas::ClipRect() const {
  RECT r{};
  if (HDC dc = Handle()) GetClipBox(dc, &r);
  return r;
}

void TCanvas::MoveTo(int x, int y) {
  RequireState();
  ::MoveToEx(dc_, x, y, nullptr);
  penPos_ = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequireState();
  ::MoveToEx(dc_, penPos_.x, penPos_.y, nullptr);
  ::LineTo(dc_, x, y);
  penPos_ = {x, y};
  Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
  Changing();
  RequireState();
  ::Rectangle(dc_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) {
  Changing();
  RequireState();
  ::RoundRect(dc_, x1, y1, x2, y2, x3, y3);
  Changed();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  Changing();
  RequireState();
  ::Ellipse(dc_, x1, y1, x2, y2);
  Changed();
}

void TCanvas::Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequireState();
  ::Arc(dc_, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) {
  Changing();
  RequireState();
  ::Pie(dc_, x1, y1, x2, y2, x3, y3, x4, y4);
  Changed();
}

void TCanvas::Polygon(const std::vector<POINT>& points) {
  Changing();
  RequireState();
  ::Polygon(dc_, points.data(), static_cast<int>(points.size()));
  Changed();
}

void TCanvas::Polyline(const std::vector<POINT>& points) {
  Changing();
  RequireState();
  ::Polyline(dc_, points.data(), static_cast<int>(points.size()));
  Changed();
}

void TCanvas::FillRect(const RECT& r) {
  Changing();
  RequireState();
  ::FillRect(dc_, &r, brush_->Handle());
  Changed();
}

void TCanvas::FrameRect(const RECT& r) {
  Changing();
  RequireState();
  ::FrameRect(dc_, &r, brush_->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const RECT& r) {
  Changing();
  RequireState();
  ::DrawFocusRect(dc_, &r);
  Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Changing();
  RequireState();
  ::ExtTextOut(dc_, x, y, 0, nullptr, text, nullptr);
  SIZE size{};
  GetTextExtentPoint32(dc_, text, &size);
  penPos_ = {x + size.cx, y};
  Changed();
}

void TCanvas::TextRect(const RECT& r, int x, int y, const std::string& text) {
  Changing();
  RequireState();
  const UINT options = ETO_CLIPPED | (brush_->Style() != bsClear ? ETO_OPAQUE : 0);
  ::ExtTextOut(dc_, x, y, options, &r, text, nullptr);
  Changed();
}

void TCanvas::TextRect(RECT& r, std::string& text, TTextFormat format) {
  static const UINT kFlags[] = {DT_BOTTOM,      DT_CALCRECT,      DT_CENTER,        DT_EDITCONTROL,
                                DT_END_ELLIPSIS, DT_PATH_ELLIPSIS, DT_EXPANDTABS,    DT_EXTERNALLEADING,
                                DT_LEFT,        DT_MODIFYSTRING,  DT_NOCLIP,        DT_NOPREFIX,
                                DT_RIGHT,       DT_RTLREADING,    DT_SINGLELINE,    DT_TOP,
                                DT_VCENTER,     DT_WORDBREAK,     DT_HIDEPREFIX,    DT_NOFULLWIDTHCHARBREAK,
                                DT_PREFIXONLY,  DT_TABSTOP,       DT_WORD_ELLIPSIS};
  UINT flags = 0;
  for (size_t i = 0; i < std::size(kFlags); ++i)
    if (format.Contains(static_cast<TTextFormats>(i))) flags |= kFlags[i];
  Changing();
  RequireState();
  ::DrawText(dc_, text, &r, flags & ~DT_MODIFYSTRING);
  Changed();
}

SIZE TCanvas::TextExtent(const std::string& text) {
  RequireState();
  SIZE size{};
  GetTextExtentPoint32(dc_, text, &size);
  return size;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequireState();
  graphic->Draw(this, RECT{x, y, x + graphic->Width(), y + graphic->Height()});
  Changed();
}

void TCanvas::StretchDraw(const RECT& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequireState();
  graphic->Draw(this, r);
  Changed();
}

void TCanvas::CopyRect(const RECT& dest, TCanvas* canvas, const RECT& source) {
  Changing();
  RequireState();
  canvas->RequireState();
  SetStretchBltMode(dc_, COLORONCOLOR);
  ::StretchBlt(dc_, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, canvas->dc_, source.left,
               source.top, source.right - source.left, source.bottom - source.top, copyMode_);
  Changed();
}

TColor TCanvas::Pixels(int x, int y) {
  RequireState();
  const COLORREF c = GetPixel(dc_, x, y);
  return c == CLR_INVALID ? static_cast<TColor>(clNone) : static_cast<TColor>(c);
}

void TCanvas::SetPixels(int x, int y, TColor color) {
  Changing();
  RequireState();
  SetPixel(dc_, x, y, ColorToRGB(color));
  Changed();
}
