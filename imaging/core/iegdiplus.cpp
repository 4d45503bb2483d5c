// The drawing canvas: the binding of "gdiplus.dll" by name, the pen and
// brush that follow the framework's, and the canvas that draws through
// GDI+ or GDI.
//
// Sections: binding | colours and rectangles | TIEPen | TIEBrush | TIECanvas |
// TIEEmptyCanvas
#include "imaging/core/iegdiplus.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/dynlib.h"
#include "platform/win/gdi_text.h"

// ---- binding --------------------------------------------------------------------------

namespace {

// Every entry point the canvas, its pen and its brush call.
#define IE_GDIPLUS_ENTRIES(X)                                                                                      \
  X(GdiplusStartup) X(GdiplusShutdown) X(GdipCreateFromHDC) X(GdipCreateFromHDC2) X(GdipDeleteGraphics)            \
  X(GdipCreatePen1) X(GdipDeletePen) X(GdipDrawLine) X(GdipSetSmoothingMode) X(GdipSetPenWidth) X(GdipSetPenColor) \
  X(GdipSetPenDashStyle) X(GdipDeleteBrush) X(GdipCreateSolidFill) X(GdipFillRectangle) X(GdipDrawRectangle)       \
  X(GdipCreateHatchBrush) X(GdipDrawEllipse) X(GdipFillEllipse) X(GdipDrawPolygonI) X(GdipFillPolygonI)            \
  X(GdipDrawLinesI) X(GdipDrawArc) X(GdipCreatePath) X(GdipAddPathArc) X(GdipDrawPath) X(GdipFillPath)             \
  X(GdipDeletePath) X(GdipSetPenLineJoin) X(GdipResetWorldTransform) X(GdipTranslateWorldTransform)                \
  X(GdipClosePathFigure) X(GdipSetCompositingMode) X(GdipSetCompositingQuality)

struct TGDIPlusEntries {
#define IE_GDIPLUS_SLOT(name) decltype(&::name) name = nullptr;
  IE_GDIPLUS_ENTRIES(IE_GDIPLUS_SLOT)
#undef IE_GDIPLUS_SLOT
};

struct TGDIPlusBinding {
  HMODULE module = nullptr;
  int32_t referenceCount = 0;
  ULONG_PTR token = 0;
  TGDIPlusEntries entries;
};
TGDIPlusBinding binding;

// The bound entry points; valid while the library is loaded.
const TGDIPlusEntries& Gdip() { return binding.entries; }

template <class F>
bool Bind(F& function, const char* name) {
  function = reinterpret_cast<F>(GetProcAddress(binding.module, name));
  return function != nullptr;
}

bool BindAll() {
  bool all = true;
#define IE_GDIPLUS_BIND(name) all = Bind(binding.entries.name, #name) && all;
  IE_GDIPLUS_ENTRIES(IE_GDIPLUS_BIND)
#undef IE_GDIPLUS_BIND
  return all;
}

void ReleaseModule() {
  FreeLibrary(binding.module);
  binding.module = nullptr;
  binding.entries = TGDIPlusEntries{};
}

}  // namespace

void IEGDIPlusLoad() {
  ++binding.referenceCount;
  if (binding.module || !IEGetGlobalSettings()->GDIPlusAllowed) return;
  binding.module = LoadLibrary("gdiplus.dll");
  if (!binding.module) return;
  if (!BindAll()) {
    ReleaseModule();
    return;
  }
  const GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  if (Gdip().GdiplusStartup(&binding.token, &input, nullptr) != Gdiplus::Ok) {
    // Not started: nothing to shut down, and the caller's reference stays
    // counted until it lets it go.
    ReleaseModule();
  }
}

void IEGDIPlusUnload() {
  --binding.referenceCount;
  if (binding.module && binding.referenceCount == 0) {
    Gdip().GdiplusShutdown(binding.token);
    ReleaseModule();
  }
}

bool IEGDIPlusLoaded() { return binding.module != nullptr; }

bool IEGDIPlusEnabled() { return IEGetGlobalSettings()->GDIPlusAllowed && IEGDIPlusLoaded(); }

void IEGDIPlusResetGlobals() {
  binding.module = nullptr;
  binding.referenceCount = 0;
  binding.entries = TGDIPlusEntries{};
}

// ---- colours and rectangles -----------------------------------------------------------------

namespace {

// The rectangle with left <= right and top <= bottom.
RECT Ordered(RECT r) {
  IEOrderCoords(r.left, r.top, r.right, r.bottom);
  return r;
}

std::vector<GpPoint> ToGpPoints(const POINT* points, int32_t high) {
  std::vector<GpPoint> result;
  for (int32_t i = 0; i <= high; ++i) result.push_back(GpPoint{points[i].x, points[i].y});
  return result;
}

std::vector<POINT> ToVector(const POINT* points, int32_t high) {
  return high >= 0 ? std::vector<POINT>(points, points + high + 1) : std::vector<POINT>{};
}

// The box GDI+ strokes an ellipse of the rectangle in: with a pen wider
// (or thinner) than one pixel, small and reversed boxes are moved and grown
// by half the pen width so that the outline stays where GDI puts it.
RECT EllipseBox(RECT r, float penWidth) {
  if (penWidth == 1) return r;
  const auto e = static_cast<LONG>(std::nearbyint(penWidth / 2));
  LONG &l = r.left, &t = r.top, &rt = r.right, &b = r.bottom;
  if (l > rt) l += e;
  if (l <= rt && e >= rt - l - 1) rt = l + e;
  if (l > rt && e >= l - rt - 1) rt = l - e;
  if (t > b) t += e;
  if (b >= t && e >= b - t - 1) b = t + e;
  if (t > b && e >= t - b - 1) b = t - e;
  if (l == rt - e) l -= e;
  if (t == b - e) t -= e;
  if (l == rt) {
    l -= e + 1;
    rt -= e + 1;
  }
  if (t == b) {
    t -= e + 1;
    b -= e + 1;
  }
  if (l > rt) {
    l -= e;
    rt -= e - 1;
  }
  return r;
}

REAL F(LONG value) { return static_cast<REAL>(value); }

constexpr double kDegreesPerRadian = 57.295779513082320877;

}  // namespace

// ---- TIEPen ---------------------------------------------------------------------------

TIEPen::TIEPen(TPen* pen)
    : vclPen_(pen),
      color_(pen ? pen->Color() : clWhite),
      width_(pen ? static_cast<float>(pen->Width()) : 1.0f),
      style_(pen ? pen->Style() : psSolid),
      mode_(pen ? pen->Mode() : pmCopy) {
  if (IEGDIPlusEnabled()) Recreate();
}

TIEPen::~TIEPen() { DeleteHandle(); }

void TIEPen::DeleteHandle() {
  // Also when GDI+ was disallowed meanwhile: the pen is still GDI+'s to free.
  if (handle_ && IEGDIPlusLoaded()) Gdip().GdipDeletePen(handle_);
  handle_ = nullptr;
}

ARGB TIEPen::GetARGB() const { return IEColorToARGB(color_, style_ == psClear ? 0 : static_cast<uint8_t>(alpha_)); }

void TIEPen::Recreate() {
  if (!IEGDIPlusEnabled()) return;
  DeleteHandle();
  Gdip().GdipCreatePen1(GetARGB(), width_, UnitPixel, &handle_);
  if (!handle_) throw EIEException("Cannot create TIEPen. GdipCreatePen1 failed.");
  ApplyStyle();
  Gdip().GdipSetPenLineJoin(handle_, lineJoin_);
}

void TIEPen::SetColor(TColor color) {
  color_ = color;
  if (IEGDIPlusEnabled()) Gdip().GdipSetPenColor(handle_, GetARGB());
  if (vclPen_) vclPen_->SetColor(color);
}

void TIEPen::SetAlpha(uint32_t alpha) {
  alpha_ = alpha;
  if (IEGDIPlusEnabled()) Gdip().GdipSetPenColor(handle_, GetARGB());
}

void TIEPen::SetWidth(float width) {
  width_ = width;
  if (IEGDIPlusEnabled()) Gdip().GdipSetPenWidth(handle_, width);
  if (vclPen_) vclPen_->SetWidth(static_cast<int32_t>(std::trunc(width)));
}

void TIEPen::ApplyStyle() {
  // psDash .. psDashDotDot are GDI+'s dash styles 1 .. 4; a clear pen draws with alpha 0.
  const int dash = style_ == psClear || style_ == psInsideFrame ? DashStyleSolid : static_cast<int>(style_);
  Gdip().GdipSetPenColor(handle_, GetARGB());
  Gdip().GdipSetPenDashStyle(handle_, dash);
}

void TIEPen::SetStyle(TPenStyle style) {
  style_ = style;
  if (IEGDIPlusEnabled()) ApplyStyle();
  if (vclPen_) vclPen_->SetStyle(style);
}

void TIEPen::SetMode(TPenMode mode) {
  mode_ = mode;
  if (vclPen_) vclPen_->SetMode(mode);
}

void TIEPen::SetLineJoin(uint8_t lineJoin) {
  lineJoin_ = lineJoin;
  if (IEGDIPlusEnabled()) Gdip().GdipSetPenLineJoin(handle_, lineJoin);
}

// ---- TIEBrush -------------------------------------------------------------------------

TIEBrush::TIEBrush(TBrush* brush)
    : vclBrush_(brush), color_(brush ? brush->Color() : clWhite), style_(brush ? brush->Style() : bsSolid) {
  if (IEGDIPlusEnabled()) Recreate();
}

TIEBrush::~TIEBrush() { DeleteHandle(); }

void TIEBrush::DeleteHandle() {
  if (handle_ && IEGDIPlusLoaded()) Gdip().GdipDeleteBrush(handle_);
  handle_ = nullptr;
}

ARGB TIEBrush::GetARGB() const { return IEColorToARGB(color_, style_ == bsClear ? 0 : static_cast<uint8_t>(alpha_)); }

void TIEBrush::Recreate() {
  if (!IEGDIPlusEnabled()) return;
  DeleteHandle();
  if (style_ == bsSolid || style_ == bsClear) {
    Gdip().GdipCreateSolidFill(GetARGB(), &handle_);
    if (!handle_) throw EIEException("Cannot create TIEBrush. GdipCreateSolidFill failed.");
    return;
  }
  // bsHorizontal .. bsDiagCross are GDI+'s hatch styles 0 .. 5.
  Gdip().GdipCreateHatchBrush(static_cast<int>(style_) - bsHorizontal, GetARGB(),
                              IEColorToARGB(backColor_, static_cast<uint8_t>(backAlpha_)), &handle_);
  if (!handle_) throw EIEException("Cannot create TIEBrush. GdipCreateHatchBrush failed.");
}

void TIEBrush::SetColor(TColor color) {
  color_ = color;
  Recreate();
  if (vclBrush_) vclBrush_->SetColor(color);
}

void TIEBrush::SetAlpha(uint32_t alpha) {
  alpha_ = alpha;
  Recreate();
}

void TIEBrush::SetStyle(TBrushStyle style) {
  style_ = style;
  Recreate();
  if (vclBrush_) vclBrush_->SetStyle(style);
}

// ---- TIECanvas ------------------------------------------------------------------------

TIECanvas::TIECanvas(TCanvas* canvas, bool antiAlias, bool useGDIPlus, HANDLE device)
    : canvas_(canvas),
      pen_(std::make_unique<TIEPen>(canvas->Pen())),
      brush_(std::make_unique<TIEBrush>(canvas->Brush())),
      useGDIPlus_(useGDIPlus && IEGDIPlusEnabled()) {
  if (useGDIPlus_) {
    if (device)
      Gdip().GdipCreateFromHDC2(canvas_->Handle(), device, &graphics_);
    else
      Gdip().GdipCreateFromHDC(canvas_->Handle(), &graphics_);
    if (!graphics_) throw EIEException("Cannot create TIECanvas. GdipCreateFromHDC failed.");
  }
  SetSmoothingMode(antiAlias ? 5 : 2);
}

TIECanvas::~TIECanvas() {
  if (OnDestroy) OnDestroy(this);
  brush_.reset();
  pen_.reset();
  if (useGDIPlus_ && IEGDIPlusLoaded()) Gdip().GdipDeleteGraphics(graphics_);
}

void TIECanvas::SetSmoothingMode(uint8_t mode) {
  if (useGDIPlus_) Gdip().GdipSetSmoothingMode(graphics_, mode - 1);
}

void TIECanvas::MoveTo(int32_t x, int32_t y) {
  penPos_ = {x, y};
  if (!useGDIPlus_) canvas_->MoveTo(x, y);
}

void TIECanvas::LineTo(int32_t x, int32_t y) {
  if (useGDIPlus_)
    Gdip().GdipDrawLine(graphics_, pen_->Handle(), F(penPos_.x), F(penPos_.y), F(x), F(y));
  else
    canvas_->LineTo(x, y);
  penPos_ = {x, y};
}

void TIECanvas::DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (useGDIPlus_)
    Gdip().GdipDrawLine(graphics_, pen_->Handle(), F(x1), F(y1), F(x2), F(y2));
  else
    canvas_->Polygon({POINT{x1, y1}, POINT{x2, y2}});
}

void TIECanvas::FillRect(const RECT& rect) {
  if (!useGDIPlus_) {
    canvas_->FillRect(rect);
    return;
  }
  const RECT r = Ordered(rect);
  Gdip().GdipFillRectangle(graphics_, brush_->Handle(), F(r.left), F(r.top), F(r.right - r.left - 1),
                           F(r.bottom - r.top - 1));
}

void TIECanvas::Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { RectangleRect(RECT{x1, y1, x2, y2}); }

void TIECanvas::RectangleRect(const RECT& rect) {
  if (!useGDIPlus_) {
    canvas_->Rectangle(rect);
    return;
  }
  const RECT r = Ordered(rect);
  const REAL w = F(r.right - r.left - 1), h = F(r.bottom - r.top - 1);
  Gdip().GdipFillRectangle(graphics_, brush_->Handle(), F(r.left), F(r.top), w, h);
  Gdip().GdipDrawRectangle(graphics_, pen_->Handle(), F(r.left), F(r.top), w, h);
}

void TIECanvas::Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2) { EllipseRect(RECT{x1, y1, x2, y2}); }

void TIECanvas::EllipseRect(const RECT& rect) {
  if (!useGDIPlus_) {
    canvas_->Ellipse(rect);
    return;
  }
  const RECT r = EllipseBox(rect, pen_->Width());
  const REAL w = F(r.right - r.left - 1), h = F(r.bottom - r.top - 1);
  Gdip().GdipFillEllipse(graphics_, brush_->Handle(), F(r.left), F(r.top), w, h);
  Gdip().GdipDrawEllipse(graphics_, pen_->Handle(), F(r.left), F(r.top), w, h);
}

void TIECanvas::Polygon(const POINT* points, int32_t high) {
  if (!useGDIPlus_) {
    canvas_->Polygon(ToVector(points, high));
    return;
  }
  const std::vector<GpPoint> p = ToGpPoints(points, high);
  const int count = static_cast<int>(p.size());
  Gdip().GdipDrawPolygonI(graphics_, pen_->Handle(), p.data(), count);
  Gdip().GdipFillPolygonI(graphics_, brush_->Handle(), p.data(), count, FillModeAlternate);
}

void TIECanvas::Polyline(const POINT* points, int32_t high) {
  if (!useGDIPlus_) {
    canvas_->Polyline(ToVector(points, high));
    return;
  }
  const std::vector<GpPoint> p = ToGpPoints(points, high);
  Gdip().GdipDrawLinesI(graphics_, pen_->Handle(), p.data(), static_cast<int>(p.size()));
}

void TIECanvas::Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4,
                    int32_t y4) {
  if (!useGDIPlus_) {
    canvas_->Arc(x1, y1, x2, y2, x3, y3, x4, y4);
    return;
  }
  // GDI+ sweeps clockwise: from the end direction back to the start.
  const int32_t cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  const double endAngle = IELineAngle(cx, cy, x4, y4) * kDegreesPerRadian;
  const double sweep = IEAngleFromThreePoints(x3, y3, cx, cy, x4, y4) * kDegreesPerRadian;
  Gdip().GdipDrawArc(graphics_, pen_->Handle(), F(x1), F(y1), F(x2 - x1 + 1), F(y2 - y1 + 1),
                     static_cast<REAL>(-endAngle), static_cast<REAL>(sweep));
}

void TIECanvas::RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3) {
  if (!useGDIPlus_) {
    canvas_->RoundRect(x1, y1, x2, y2, x3, y3);
    return;
  }
  const RECT r = Ordered(RECT{x1, y1, x2, y2});
  LONG w = r.right - r.left, h = r.bottom - r.top;
  LONG cw = std::min<LONG>(x3, w), ch = std::min<LONG>(y3, h);
  GpPath* path = nullptr;
  Gdip().GdipCreatePath(FillModeAlternate, &path);
  if (!path) return;
  Gdip().GdipAddPathArc(path, F(r.left), F(r.top), F(cw), F(ch), 180, 90);
  // A corner of 20 is drawn 21 wide on the right and bottom, one pixel in.
  if (cw == 20) {
    cw = 21;
    --w;
  }
  if (ch == 20) {
    ch = 21;
    --h;
  }
  const LONG right = r.left + w - cw - 1, bottom = r.top + h - ch - 1;
  Gdip().GdipAddPathArc(path, F(right), F(r.top), F(cw), F(ch), 270, 90);
  Gdip().GdipAddPathArc(path, F(right), F(bottom), F(cw), F(ch), 0, 90);
  Gdip().GdipAddPathArc(path, F(r.left), F(bottom), F(cw), F(ch), 90, 90);
  Gdip().GdipClosePathFigure(path);
  Gdip().GdipFillPath(graphics_, brush_->Handle(), path);
  Gdip().GdipDrawPath(graphics_, pen_->Handle(), path);
  Gdip().GdipDeletePath(path);
}

void TIECanvas::TextOut(int32_t x, int32_t y, const std::string& text) { canvas_->TextOut(x, y, text); }

SIZE TIECanvas::TextExtent(const std::string& text) {
  SIZE size{0, 0};
  GetTextExtentPoint32W(canvas_->Handle(), text, &size);
  return size;
}

// The framework canvas keeps no text flags of its own (no right-to-left
// reading), so only clipping and the background are chosen here.
void TIECanvas::TextRectWith(const RECT& rect, int32_t x, int32_t y, const std::string& text, UINT options) {
  ExtTextOutW(canvas_->Handle(), x, y, options, &rect, text, nullptr);
}

void TIECanvas::TextRect(const RECT& rect, int32_t x, int32_t y, const std::string& text) {
  TextRectWith(rect, x, y, text, ETO_CLIPPED | (brush_->Style() != bsClear ? ETO_OPAQUE : 0));
}

void TIECanvas::TextRectTransparent(const RECT& rect, int32_t x, int32_t y, const std::string& text) {
  TextRectWith(rect, x, y, text, ETO_CLIPPED);
}

void TIECanvas::SetCompositing(uint8_t mode, uint8_t quality) {
  if (!useGDIPlus_) return;
  Gdip().GdipSetCompositingMode(graphics_, mode);
  Gdip().GdipSetCompositingQuality(graphics_, quality);
}

void TIECanvas::Translate(double dx, double dy) {
  if (useGDIPlus_)
    Gdip().GdipTranslateWorldTransform(graphics_, static_cast<REAL>(dx), static_cast<REAL>(dy), MatrixOrderPrepend);
  OffsetViewportOrgEx(canvas_->Handle(), static_cast<int>(std::trunc(dx)), static_cast<int>(std::trunc(dy)),
                      nullptr);
}

void TIECanvas::ResetTransform() {
  if (useGDIPlus_) Gdip().GdipResetWorldTransform(graphics_);
}

// ---- TIEEmptyCanvas ---------------------------------------------------------------------

TIEEmptyCanvasSurface::TIEEmptyCanvasSurface() : Bitmap(std::make_unique<TBitmap>()) {
  Bitmap->SetPixelFormat(pf24bit);
}

TIEEmptyCanvas::TIEEmptyCanvas() : TIECanvas(Bitmap->Canvas(), true, true) {}
