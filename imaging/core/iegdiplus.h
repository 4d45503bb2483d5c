// The library's drawing canvas: lines, shapes and text on a framework
// canvas, drawn through GDI+ (anti-aliasing, alpha) when GDI+ is allowed by
// the settings and loaded, else through the canvas's own GDI operations.
// "gdiplus.dll" is bound by name and shared by a reference count that the
// viewers and the histogram control hold, one each; a canvas never loads it.
//
// Sections: binding | TIEPen | TIEBrush | TIECanvas | TIEEmptyCanvas
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/forms/graphics.h"
#include "platform/rtl/object.h"
#include "platform/win/gdiplus.h"
#include "platform/win/wintypes.h"

class TIEBitmap;

// ---- binding --------------------------------------------------------------------------

// Takes a reference; the first one while GDI+ is allowed loads the library,
// binds its entry points and starts GDI+. A library that is missing, lacks
// an entry point or does not start stays unloaded (nothing is reported).
void IEGDIPlusLoad();
// Lets a reference go; the last one shuts GDI+ down and frees the library.
void IEGDIPlusUnload();
// The library is loaded and started.
bool IEGDIPlusLoaded();
// The settings allow GDI+ and it is loaded: pens, brushes and new canvases use it.
bool IEGDIPlusEnabled();
// Forgets the library and the reference count (the library's start-up).
void IEGDIPlusResetGlobals();

// ---- TIEPen ---------------------------------------------------------------------------

// A pen kept in step with a framework pen and, while GDI+ is enabled, with a
// GDI+ pen of its colour, alpha, width, dash style and line join.
class TIEPen : public TObject {
public:
  // Takes the values of pen (not owned), or white, 1, psSolid, pmCopy for null.
  explicit TIEPen(TPen* pen);
  ~TIEPen() override;
  TIEPen(const TIEPen&) = delete;
  TIEPen& operator=(const TIEPen&) = delete;

  GpPen* Handle() const { return handle_; }  // null when there is no GDI+ pen
  TPen* VCLPen() const { return vclPen_; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  uint32_t Alpha() const { return alpha_; }  // 0..255, 255 opaque
  void SetAlpha(uint32_t alpha);
  float Width() const { return width_; }
  void SetWidth(float width);  // the framework pen takes the truncated width
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);  // the framework pen only: GDI+ has no raster operations
  uint8_t LineJoin() const { return lineJoin_; }
  void SetLineJoin(uint8_t lineJoin);

  // The GDI+ colour: alpha 0 for psClear.
  ARGB GetARGB() const;
  // Replaces the GDI+ pen by a new one of the current values (GDI+ enabled only);
  // EIEException when GDI+ makes none.
  void Recreate();

private:
  void ApplyStyle();
  void DeleteHandle();

  GpPen* handle_ = nullptr;
  TPen* vclPen_;
  TColor color_;
  uint32_t alpha_ = 255;
  float width_;
  TPenStyle style_;
  TPenMode mode_;
  uint8_t lineJoin_ = 0;
};

// ---- TIEBrush -------------------------------------------------------------------------

// A brush kept in step with a framework brush and, while GDI+ is enabled,
// with a GDI+ solid or hatch brush.
class TIEBrush : public TObject {
public:
  // Takes the values of brush (not owned), or white and bsSolid for null.
  explicit TIEBrush(TBrush* brush);
  ~TIEBrush() override;
  TIEBrush(const TIEBrush&) = delete;
  TIEBrush& operator=(const TIEBrush&) = delete;

  GpBrush* Handle() const { return handle_; }  // null when there is no GDI+ brush
  TBrush* VCLBrush() const { return vclBrush_; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  uint32_t Alpha() const { return alpha_; }
  void SetAlpha(uint32_t alpha);
  // The background of hatch brushes; taken at the next Recreate.
  TColor BackColor() const { return backColor_; }
  void SetBackColor(TColor color) { backColor_ = color; }
  uint32_t BackAlpha() const { return backAlpha_; }
  void SetBackAlpha(uint32_t alpha) { backAlpha_ = alpha; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);

  // The GDI+ colour: alpha 0 for bsClear.
  ARGB GetARGB() const;
  // Replaces the GDI+ brush: solid for bsSolid and bsClear, else a hatch of
  // the style over the back colour (GDI+ enabled only); EIEException when
  // GDI+ makes none.
  void Recreate();

private:
  void DeleteHandle();

  GpBrush* handle_ = nullptr;
  TBrush* vclBrush_;
  TColor color_;
  uint32_t alpha_ = 255;
  TColor backColor_ = 0;
  uint32_t backAlpha_ = 0;
  TBrushStyle style_;
};

// ---- TIECanvas ------------------------------------------------------------------------

// A drawing surface over a framework canvas (not owned). Whether it draws
// through GDI+ is fixed at construction; a canvas drawing through GDI+ must
// not be used after the library was unloaded. Text always goes through GDI.
class TIECanvas : public TObject {
public:
  // Uses GDI+ when useGDIPlus is set and GDI+ is enabled, on a graphics made
  // on the canvas's DC (for the device when one is given); EIEException when
  // GDI+ makes none. antiAlias chooses smoothing mode 5, else 2.
  TIECanvas(TCanvas* canvas, bool antiAlias, bool useGDIPlus, HANDLE device = nullptr);
  ~TIECanvas() override;
  TIECanvas(const TIECanvas&) = delete;
  TIECanvas& operator=(const TIECanvas&) = delete;

  GpGraphics* Graphics() const { return graphics_; }  // null without GDI+
  TCanvas* Canvas() const { return canvas_; }
  TIEPen* Pen() const { return pen_.get(); }
  TIEBrush* Brush() const { return brush_.get(); }
  bool UseGDIPlus() const { return useGDIPlus_; }
  HDC Handle() const { return canvas_->Handle(); }
  TFont* Font() const { return canvas_->Font(); }
  // A bitmap the creator associates with the canvas; not owned.
  TIEBitmap* AttachedBitmap() const { return attachedBitmap_; }
  void SetAttachedBitmap(TIEBitmap* bitmap) { attachedBitmap_ = bitmap; }
  // Called first when the canvas is destroyed.
  TNotifyEvent OnDestroy;

  // Smoothing by the canvas's numbering: GDI+'s mode plus 1 (5 anti-alias,
  // 2 high speed). Nothing without GDI+.
  void SetSmoothingMode(uint8_t mode);
  POINT PenPos() const { return penPos_; }
  void SetPenPos(POINT point) { MoveTo(point.x, point.y); }
  void MoveTo(int32_t x, int32_t y);
  // From the pen position, which moves to (x, y).
  void LineTo(int32_t x, int32_t y);
  // Between two points; the pen position stays.
  void DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // The brush over the rectangle, right and bottom edges excluded.
  void FillRect(const RECT& rect);
  // Filled with the brush, outlined with the pen.
  void Rectangle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void RectangleRect(const RECT& rect);
  void Ellipse(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void EllipseRect(const RECT& rect);
  // high + 1 points, outlined with the pen and filled (alternate rule).
  void Polygon(const POINT* points, int32_t high);
  void Polyline(const POINT* points, int32_t high);
  // Counter-clockwise on the ellipse in the box (x1, y1, x2, y2) from the
  // direction of (x3, y3) to that of (x4, y4).
  void Arc(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3, int32_t x4, int32_t y4);
  // Corners of width x3 and height y3.
  void RoundRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);

  void TextOut(int32_t x, int32_t y, const std::string& text);
  SIZE TextExtent(const std::string& text);
  int32_t TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int32_t TextHeight(const std::string& text) { return TextExtent(text).cy; }
  // Text at (x, y) clipped to rect, on the brush colour unless the brush is clear.
  void TextRect(const RECT& rect, int32_t x, int32_t y, const std::string& text);
  // The same, never painting a background.
  void TextRectTransparent(const RECT& rect, int32_t x, int32_t y, const std::string& text);

  // GDI+ compositing mode and quality; nothing without GDI+.
  void SetCompositing(uint8_t mode, uint8_t quality);
  // Moves what follows by (dx, dy): the GDI+ world transform and the DC's
  // viewport origin (by the truncated offsets).
  void Translate(double dx, double dy);
  // Clears the GDI+ world transform.
  void ResetTransform();

private:
  void TextRectWith(const RECT& rect, int32_t x, int32_t y, const std::string& text, UINT options);

  GpGraphics* graphics_ = nullptr;
  TCanvas* canvas_;
  std::unique_ptr<TIEPen> pen_;
  POINT penPos_{};
  std::unique_ptr<TIEBrush> brush_;
  bool useGDIPlus_;
  TIEBitmap* attachedBitmap_ = nullptr;
};

// ---- TIEEmptyCanvas ---------------------------------------------------------------------

// The bitmap a TIEEmptyCanvas draws on: a base made before the canvas part.
class TIEEmptyCanvasSurface {
protected:
  TIEEmptyCanvasSurface();
  std::unique_ptr<TBitmap> Bitmap;  // pf24bit, no size
};

// A canvas on a private empty 24-bit bitmap (anti-aliased, GDI+ when
// enabled), for measuring text and laying out without a target device.
class TIEEmptyCanvas : private TIEEmptyCanvasSurface, public TIECanvas {
public:
  TIEEmptyCanvas();
};
