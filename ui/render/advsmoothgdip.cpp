#include "ui/render/advsmoothgdip.h"

#include <cmath>
#include <new>
#include <vector>

#include "platform/rtl/encoding.h"

namespace AdvSmoothGDIP {

// ---- values and colours ----

GpPointF GDIPMakePointF(float x, float y) { return GpPointF{x, y}; }
GpRectF GDIPMakeRectF(float x, float y, float width, float height) { return GpRectF{x, y, width, height}; }

ARGB GDIPMakeARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
  return (ARGB{alpha} << 24) | (ARGB{red} << 16) | (ARGB{green} << 8) | ARGB{blue};
}

ARGB GDIPMakeColor(uint8_t alpha, TColor color) {
  COLORREF rgb = ColorToRGB(color);
  return GDIPMakeARGB(alpha, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

ARGB GDIPColorToARGB(TColor color) { return GDIPMakeColor(255, color); }

// ---- session and allocation ----

void TGdiplusSession::Start() {
  if (started) return;
  input = GdiplusStartupInput{};
  input.SuppressBackgroundThread = TRUE;
  output = GdiplusStartupOutput{};
  started = GdiplusStartup(&token, &input, &output) == Gdiplus::Ok;
  if (started && output.NotificationHook)
    reinterpret_cast<GpStatus (*)(ULONG_PTR*)>(output.NotificationHook)(&hookToken);
}

void TGdiplusSession::Stop() {
  if (!started) return;
  if (output.NotificationUnhook) reinterpret_cast<void (*)(ULONG_PTR)>(output.NotificationUnhook)(hookToken);
  GdiplusShutdown(token);
  started = false;
}

namespace {
// Starts with the program and ends with it.
struct SessionHolder {
  TGdiplusSession session;
  SessionHolder() { session.Start(); }
  ~SessionHolder() { session.Stop(); }
};
}  // namespace

TGdiplusSession& PrimarySession() {
  static SessionHolder holder;
  return holder.session;
}

namespace {
[[maybe_unused]] const bool kUnitStarted = (PrimarySession(), true);
}

void* TGdiplusBase::operator new(size_t size) {
  void* block = GdipAlloc(size);
  if (!block) {
    // GDI+ is not running: start it on demand (no notification hook here).
    TGdiplusSession& s = PrimarySession();
    s.input = GdiplusStartupInput{};
    s.input.SuppressBackgroundThread = TRUE;
    GdiplusStartup(&s.token, &s.input, &s.output);
    s.started = true;
    block = GdipAlloc(size);
  }
  if (!block) throw std::bad_alloc();
  return block;
}

void TGdiplusBase::operator delete(void* block) noexcept { GdipFree(block); }

// ---- graphics ----

TGPGraphics::TGPGraphics(HDC dc) { InitStatus(GdipCreateFromHDC(dc, &native_)); }
TGPGraphics::~TGPGraphics() { GdipDeleteGraphics(native_); }

HDC TGPGraphics::GetHDC() {
  HDC dc = nullptr;
  SetStatus(GdipGetDC(native_, &dc));
  return dc;
}
void TGPGraphics::ReleaseHDC(HDC dc) { SetStatus(GdipReleaseDC(native_, dc)); }
GpStatus TGPGraphics::SetTextRenderingHint(int hint) { return SetStatus(GdipSetTextRenderingHint(native_, hint)); }

int TGPGraphics::GetSmoothingMode() {
  int mode = -1;
  if (SetStatus(GdipGetSmoothingMode(native_, &mode)) != Gdiplus::Ok) return -1;
  return mode;
}
GpStatus TGPGraphics::SetSmoothingMode(int mode) { return SetStatus(GdipSetSmoothingMode(native_, mode)); }

GpStatus TGPGraphics::MeasureString(const std::wstring& text, int length, const TGPFont* font, const GpRectF& layout,
                                    const TGPStringFormat* format, GpRectF& bounds, int* codepointsFitted,
                                    int* linesFilled) {
  return SetStatus(GdipMeasureString(native_, text.c_str(), length, font ? font->Native() : nullptr, &layout,
                                     format ? format->Native() : nullptr, &bounds, codepointsFitted, linesFilled));
}

GpStatus TGPGraphics::MeasureStringBounds(const std::wstring& text, int length, const TGPFont* font,
                                          const GpRectF& layout, GpRectF& bounds) {
  return SetStatus(GdipMeasureString(native_, text.c_str(), length, font ? font->Native() : nullptr, &layout,
                                     nullptr, &bounds, nullptr, nullptr));
}

int32_t TGPGraphics::TextHeight(const std::string& text, const TFont* font) {
  std::unique_ptr<TGPFont> gpFont(CreateGPFont(this, font));
  GpRectF bounds;
  std::wstring wide = WideText(text);
  MeasureStringBounds(wide, static_cast<int>(wide.size()), gpFont.get(), GpRectF{0, 0, 10000, 10000}, bounds);
  return static_cast<int32_t>(std::nearbyint(bounds.Height));
}

GpStatus TGPGraphics::DrawString(const std::wstring& text, int length, const TGPFont* font, const GpRectF& layout,
                                 const TGPStringFormat* format, const TGPBrush* brush) {
  return SetStatus(GdipDrawString(native_, text.c_str(), length, font ? font->Native() : nullptr, &layout,
                                  format ? format->Native() : nullptr, brush ? brush->Native() : nullptr));
}

GpStatus TGPGraphics::DrawAnsiString(const std::string& text, int length, const TGPFont* font, const GpRectF& layout,
                                     const TGPStringFormat* format, const TGPBrush* brush) {
  std::string part = text.substr(0, length < 0 ? text.size() : static_cast<size_t>(length));
  std::wstring wide = WideText(part);
  return DrawString(wide, static_cast<int>(wide.size()), font, layout, format, brush);
}

GpStatus TGPGraphics::DrawStringAtPoint(const std::wstring& text, int length, const TGPFont* font,
                                        const GpPointF& origin, const TGPBrush* brush) {
  return DrawString(text, length, font, GpRectF{origin.X, origin.Y, 0, 0}, nullptr, brush);
}

GpStatus TGPGraphics::DrawPath(const TGPPen* pen, const TGPGraphicsPath* path) {
  return SetStatus(GdipDrawPath(native_, pen ? pen->Native() : nullptr, path ? path->Native() : nullptr));
}
GpStatus TGPGraphics::FillPath(const TGPBrush* brush, const TGPGraphicsPath* path) {
  return SetStatus(GdipFillPath(native_, brush ? brush->Native() : nullptr, path ? path->Native() : nullptr));
}

GpStatus TGPGraphics::FillRectangle(const TGPBrush* brush, float x, float y, float width, float height) {
  if (width == 0 || height == 0 || !brush || !brush->Native() || !native_) return Gdiplus::Ok;
  return ForwardFillRectangle(brush, x, y, width, height);
}
GpStatus TGPGraphics::ForwardFillRectangle(const TGPBrush* brush, float x, float y, float width, float height) {
  return SetStatus(GdipFillRectangle(native_, brush ? brush->Native() : nullptr, x, y, width, height));
}

GpStatus TGPGraphics::DrawRectangle(const TGPPen* pen, float x, float y, float width, float height) {
  return SetStatus(GdipDrawRectangle(native_, pen ? pen->Native() : nullptr, x, y, width, height));
}
GpStatus TGPGraphics::DrawLine(const TGPPen* pen, float x1, float y1, float x2, float y2) {
  return SetStatus(GdipDrawLine(native_, pen ? pen->Native() : nullptr, x1, y1, x2, y2));
}
GpStatus TGPGraphics::DrawLineI(const TGPPen* pen, int x1, int y1, int x2, int y2) {
  return SetStatus(GdipDrawLineI(native_, pen ? pen->Native() : nullptr, x1, y1, x2, y2));
}
GpStatus TGPGraphics::DrawImageRect(const TGPImage* image, int x, int y, int width, int height) {
  return SetStatus(GdipDrawImageRect(native_, image ? image->Native() : nullptr, static_cast<REAL>(x),
                                     static_cast<REAL>(y), static_cast<REAL>(width), static_cast<REAL>(height)));
}
GpStatus TGPGraphics::DrawImage(const TGPImage* image, const GpRectF& d, float sx, float sy, float sw, float sh,
                                int unit, const TGPImageAttributes* attributes, DrawImageAbort callback,
                                void* callbackData) {
  return SetStatus(GdipDrawImageRectRect(native_, image ? image->Native() : nullptr, d.X, d.Y, d.Width, d.Height, sx,
                                         sy, sw, sh, unit, attributes ? attributes->Native() : nullptr, callback,
                                         callbackData));
}
GpStatus TGPGraphics::SetClip(const TGPRegion* region, int combineMode) {
  return SetStatus(GdipSetClipRegion(native_, region ? region->Native() : nullptr, combineMode));
}
GpStatus TGPGraphics::ResetClip() { return SetStatus(GdipResetClip(native_)); }

// ---- pens and brushes ----

TGPPen::TGPPen(ARGB color, float width) { InitStatus(GdipCreatePen1(color, width, UnitWorld, &native_)); }
TGPPen::~TGPPen() { GdipDeletePen(native_); }
GpStatus TGPPen::SetDashStyle(int style) { return SetStatus(GdipSetPenDashStyle(native_, style)); }
GpStatus TGPPen::SetEndCap(int cap) { return SetStatus(GdipSetPenEndCap(native_, cap)); }

TGPBrush::~TGPBrush() { GdipDeleteBrush(native_); }

TGPSolidBrush::TGPSolidBrush(ARGB color) { InitStatus(GdipCreateSolidFill(color, &native_)); }
TGPHatchBrush::TGPHatchBrush(int style, ARGB fore, ARGB back) {
  InitStatus(GdipCreateHatchBrush(style, fore, back, &native_));
}
TGPTextureBrush::TGPTextureBrush(const TGPImage* image, int wrapMode) {
  InitStatus(GdipCreateTexture(image ? image->Native() : nullptr, wrapMode, &native_));
}

TGPLinearGradientBrush::TGPLinearGradientBrush(const GpPointF& p1, const GpPointF& p2, ARGB c1, ARGB c2) {
  InitStatus(GdipCreateLineBrush(&p1, &p2, c1, c2, WrapModeTile, &native_));
}
TGPLinearGradientBrush* TGPLinearGradientBrush::CreateFromRect(const GpRectF& r, ARGB c1, ARGB c2, int mode) {
  auto* b = new TGPLinearGradientBrush();
  b->InitStatus(GdipCreateLineBrushFromRect(&r, c1, c2, mode, WrapModeTile, &b->native_));
  return b;
}
TGPLinearGradientBrush* TGPLinearGradientBrush::CreateFromRectWithAngle(const GpRectF& r, ARGB c1, ARGB c2,
                                                                        float angle, bool scalable) {
  auto* b = new TGPLinearGradientBrush();
  b->InitStatus(
      GdipCreateLineBrushFromRectWithAngle(&r, c1, c2, angle, scalable ? TRUE : FALSE, WrapModeTile, &b->native_));
  return b;
}
GpStatus TGPLinearGradientBrush::SetGammaCorrection(bool gamma) {
  return SetStatus(GdipSetLineGammaCorrection(native_, gamma ? TRUE : FALSE));
}

TGPPathGradientBrush::TGPPathGradientBrush(const TGPGraphicsPath* path) {
  InitStatus(GdipCreatePathGradientFromPath(path ? path->Native() : nullptr, &native_));
}
GpStatus TGPPathGradientBrush::SetCenterColor(ARGB color) {
  SetStatus(GdipSetPathGradientCenterColor(native_, color));
  return GetLastStatus();
}
int TGPPathGradientBrush::GetPointCount() {
  int count = 0;
  SetStatus(GdipGetPathGradientPointCount(native_, &count));
  return count;
}
GpStatus TGPPathGradientBrush::SetSurroundColors(const ARGB* colors, int& count) {
  int points = GetPointCount();
  if (!colors || points <= 0 || count > points) return SetStatus(Gdiplus::InvalidParameter);
  int reported = count;
  GpStatus s = SetStatus(GdipSetPathGradientSurroundColorsWithCount(native_, colors, &reported));
  if (GetLastStatus() == Gdiplus::Ok) count = reported;
  return s;
}
GpStatus TGPPathGradientBrush::SetCenterPoint(const GpPointF& point) {
  return SetStatus(GdipSetPathGradientCenterPoint(native_, &point));
}
GpStatus TGPPathGradientBrush::SetWrapMode(int mode) { return SetStatus(GdipSetPathGradientWrapMode(native_, mode)); }
GpStatus TGPPathGradientBrush::SetInterpolationColors(const ARGB* colors, const float* positions, int count) {
  if (count <= 0 || !colors) return SetStatus(Gdiplus::InvalidParameter);
  return SetStatus(GdipSetPathGradientPresetBlend(native_, colors, positions, count));
}

// ---- paths, regions, fonts ----

TGPStringFormat::TGPStringFormat(int flags, LANGID language) {
  InitStatus(GdipCreateStringFormat(flags, language, &native_));
}
TGPStringFormat::~TGPStringFormat() { GdipDeleteStringFormat(native_); }
GpStatus TGPStringFormat::SetAlignment(int align) { return SetStatus(GdipSetStringFormatAlign(native_, align)); }
GpStatus TGPStringFormat::SetLineAlignment(int align) {
  return SetStatus(GdipSetStringFormatLineAlign(native_, align));
}
GpStatus TGPStringFormat::SetTrimming(int trimming) {
  return SetStatus(GdipSetStringFormatTrimming(native_, trimming));
}
GpStatus TGPStringFormat::SetHotkeyPrefix(int prefix) {
  return SetStatus(GdipSetStringFormatHotkeyPrefix(native_, prefix));
}

TGPGraphicsPath::TGPGraphicsPath(int fillMode) { InitStatus(GdipCreatePath(fillMode, &native_)); }
TGPGraphicsPath::~TGPGraphicsPath() { GdipDeletePath(native_); }
GpStatus TGPGraphicsPath::CloseFigure() { return SetStatus(GdipClosePathFigure(native_)); }
GpStatus TGPGraphicsPath::AddLine(float x1, float y1, float x2, float y2) {
  return SetStatus(GdipAddPathLine(native_, x1, y1, x2, y2));
}
GpStatus TGPGraphicsPath::AddArc(float x, float y, float width, float height, float start, float sweep) {
  return SetStatus(GdipAddPathArc(native_, x, y, width, height, start, sweep));
}
GpStatus TGPGraphicsPath::AddEllipse(float x, float y, float width, float height) {
  return SetStatus(GdipAddPathEllipse(native_, x, y, width, height));
}
GpStatus TGPGraphicsPath::AddPolygon(const GpPoint* points, int count) {
  return SetStatus(GdipAddPathPolygonI(native_, points, count));
}
GpStatus TGPGraphicsPath::AddCurve(const GpPoint* points, int count) {
  return SetStatus(GdipAddPathCurveI(native_, points, count));
}

TGPRegion::TGPRegion(const TGPGraphicsPath* path) {
  InitStatus(GdipCreateRegionPath(path ? path->Native() : nullptr, &native_));
}
TGPRegion::~TGPRegion() { GdipDeleteRegion(native_); }

TGPFontFamily::TGPFontFamily(const std::wstring& name, GpFontCollection* collection) {
  InitStatus(GdipCreateFontFamilyFromName(name.c_str(), collection, &native_));
}
TGPFontFamily::~TGPFontFamily() { GdipDeleteFontFamily(native_); }

TGPFont::TGPFont(const TGPFontFamily* family, float size, int style, int unit) {
  InitStatus(GdipCreateFont(family ? family->Native() : nullptr, size, style, unit, &native_));
}
TGPFont::~TGPFont() { GdipDeleteFont(native_); }

// ---- images ----

TGPImage::TGPImage(IStream* stream, bool icm) {
  InitStatus(icm ? GdipLoadImageFromStreamICM(stream, &native_) : GdipLoadImageFromStream(stream, &native_));
}
TGPImage::TGPImage(BitmapTag, IStream* stream, bool icm) {
  InitStatus(icm ? GdipCreateBitmapFromStreamICM(stream, &native_) : GdipCreateBitmapFromStream(stream, &native_));
}
TGPImage::~TGPImage() { GdipDisposeImage(native_); }

TImageFormat TGPImage::GetFormat() {
  GUID raw{};
  SetStatus(GdipGetImageRawFormat(native_, &raw));
  static const struct {
    const GUID* guid;
    TImageFormat code;
  } kFormats[] = {{&ImageFormatIcon, ifIcon}, {&ImageFormatEXIF, ifEXIF}, {&ImageFormatTIFF, ifTIFF},
                  {&ImageFormatPNG, ifPNG},   {&ImageFormatGIF, ifGIF},   {&ImageFormatJPEG, ifJPEG},
                  {&ImageFormatWMF, ifWMF},   {&ImageFormatEMF, ifEMF},   {&ImageFormatBMP, ifBMP},
                  {&ImageFormatMemoryBMP, ifMemoryBMP}};
  for (const auto& f : kFormats)
    if (IsEqualGUID(raw, *f.guid)) return f.code;
  return ifUndefined;
}

UINT TGPImage::GetWidth() {
  UINT w = 0;
  return SetStatus(GdipGetImageWidth(native_, &w)) == Gdiplus::Ok ? w : 0;
}
UINT TGPImage::GetHeight() {
  UINT h = 0;
  return SetStatus(GdipGetImageHeight(native_, &h)) == Gdiplus::Ok ? h : 0;
}
PixelFormat TGPImage::GetPixelFormat() {
  PixelFormat f = 0;
  SetStatus(GdipGetImagePixelFormat(native_, &f));
  return f;
}

TGPBitmap::TGPBitmap(IStream* stream, bool icm) : TGPImage(BitmapTag{}, stream, icm) {}
GpStatus TGPBitmap::GetPixel(int x, int y, ARGB& color) {
  return SetStatus(GdipBitmapGetPixel(native_, x, y, &color));
}

TGPImageAttributes::TGPImageAttributes() { InitStatus(GdipCreateImageAttributes(&native_)); }
TGPImageAttributes::~TGPImageAttributes() { GdipDisposeImageAttributes(native_); }
GpStatus TGPImageAttributes::SetColorKey(ARGB low, ARGB high, int type) {
  return SetStatus(GdipSetImageAttributesColorKeys(native_, type, TRUE, low, high));
}

// ---- free routines ----

std::wstring WideText(const std::string& text) {
  std::wstring wide;
  wide.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) wide.push_back(static_cast<wchar_t>(NextUtf8Char(text, pos)));
  return wide;
}

TGPFont* CreateGPFont(TGPGraphics*, const TFont* font) {
  auto* family = new TGPFontFamily(WideText(font->Name()));
  if (family->GetLastStatus() == Gdiplus::FontFamilyNotFound ||
      family->GetLastStatus() == Gdiplus::FontStyleNotFound) {
    delete family;
    family = new TGPFontFamily(L"Arial");
  }
  int style = 0;
  if (font->Style().Contains(fsBold)) style |= FontStyleBold;
  if (font->Style().Contains(fsItalic)) style |= FontStyleItalic;
  if (font->Style().Contains(fsUnderline)) style |= FontStyleUnderline;
  auto* gpFont = new TGPFont(family, static_cast<float>(font->Size()), style, UnitPoint);
  delete family;
  return gpFont;
}

// What the layer's MeasureString adds around a text: the width of an empty
// string's box (0 for a tight measure).
float MeasurePadding(TGPGraphics* graphics, const TGPFont* font) {
  GpRectF bounds;
  graphics->MeasureStringBounds(L"", 0, font, GpRectF{0, 0, 1000, 1000}, bounds);
  return bounds.Width;
}

int32_t DrawTextGDIP(TGPGraphics* graphics, const std::string& text, int length, RECT& r, const TFont* font,
                     UINT flags, TColor background) {
  std::unique_ptr<TGPFont> gpFont(CreateGPFont(graphics, font));
  std::wstring wide = WideText(text.substr(0, length < 0 ? text.size() : static_cast<size_t>(length)));
  int wideLength = static_cast<int>(wide.size());
  if ((flags & kDrawTextCalcRect) || background != clNone) {
    // GDI+ pads a measured string by about a sixth of an em on each side,
    // and a margin of 2 (more above 8 points) takes that padding off. This
    // layer measures the text box tight, so only the padding it reports
    // itself (none) comes off.
    float margin = MeasurePadding(graphics, gpFont.get());
    graphics->SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
    std::wstring measured = wide;
    if (measured.size() > 1 && measured.back() == L' ') measured.back() = L'i';
    GpRectF bounds;
    graphics->MeasureStringBounds(
        measured, wideLength, gpFont.get(),
        GpRectF{static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right - r.left + 1000),
                static_cast<float>(r.bottom - r.top)},
        bounds);
    r.right = static_cast<LONG>(std::nearbyint(bounds.Width - margin)) + r.left;
    r.bottom = static_cast<LONG>(std::nearbyint(bounds.Height)) + r.top;
    if (background != clNone) {
      TGPSolidBrush brush(GDIPColorToARGB(background));
      graphics->FillRectangle(&brush, static_cast<float>(r.left + 1), static_cast<float>(r.top),
                              bounds.Width - margin + 1, bounds.Height);
    }
  }
  if (!(flags & kDrawTextCalcRect)) {
    graphics->SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
    TGPSolidBrush brush(GDIPColorToARGB(font->Color()));
    graphics->DrawStringAtPoint(wide, wideLength, gpFont.get(),
                                GpPointF{static_cast<float>(r.left), static_cast<float>(r.top)}, &brush);
  }
  return r.bottom - r.top;
}

}  // namespace AdvSmoothGDIP
