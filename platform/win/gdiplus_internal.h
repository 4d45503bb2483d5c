// What the GDI+ units share: the objects behind the flat API's pointers and
// the cairo context that every drawing call runs in.
#pragma once

#include "platform/win/drawlibs.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/fonts.h"
#include "platform/win/gdi_internal.h"
#include "platform/win/gdiplus.h"
#include "platform/win/picturedecode.h"

using namespace Gdiplus;  // the status codes, in the units behind the flat API

// A path as GDI+ keeps it: points with types (0 start, 1 line, 3 Bezier;
// 0x80 marks the point that closes a figure).
struct GpPath {
  int fillMode = FillModeAlternate;
  std::vector<GpPointF> points;
  std::vector<uint8_t> types;
  bool figureOpen = false;

  void Start(GpPointF p);
  void LineTo(GpPointF p);  // starts a figure when none is open
  void BezierTo(GpPointF c1, GpPointF c2, GpPointF p);
  void Close();
  void Replay(cairo_t* cr) const;
};

struct GpRegion {
  std::optional<GpPath> path;  // empty: the infinite region
};

struct GpPen {
  ARGB color = 0xFF000000u;
  REAL width = 1;
  int unit = UnitWorld;
  int dash = DashStyleSolid;
  int cap = LineCapFlat;
  int join = LineJoinMiter;
};

enum class BrushKind { Solid, Hatch, Line, Path, Texture };

struct GpBrush {
  explicit GpBrush(BrushKind k) : kind(k) {}
  virtual ~GpBrush() = default;
  BrushKind kind;
  // A cairo source for this brush; `device` maps user space to device pixels
  // for patterns fixed to the device (hatches).
  virtual cairo_pattern_t* Pattern() const = 0;
};

struct GpImage {
  GpImage() = default;
  GpImage(const GpImage&) = delete;
  GpImage& operator=(const GpImage&) = delete;
  virtual ~GpImage() {
    if (surface) cairo_surface_destroy(surface);
  }
  DecodedPicture picture;
  GUID rawFormat = ImageFormatMemoryBMP;
  PixelFormat format = PixelFormat32bppARGB;
  // A premultiplied cairo surface of the pixels (made on first use).
  cairo_surface_t* Surface(const struct GpImageAttributes* attributes = nullptr);
  cairo_surface_t* surface = nullptr;
};

struct GpImageAttributes {
  bool keyed = false;
  ARGB low = 0, high = 0;
};

struct GpFontFamily {
  std::string name;
};

struct GpFont {
  std::string family;
  REAL size = 0;
  int style = 0;
  int unit = UnitPoint;
  double Pixels() const;
  FontSpec Spec(bool antialias) const;
};

struct GpStringFormat {
  int flags = 0;
  int align = StringAlignmentNear;
  int lineAlign = StringAlignmentNear;
  int trimming = StringTrimmingCharacter;
  int hotkey = HotkeyPrefixNone;
};

struct GpGraphics {
  HDC dc = nullptr;
  gdi::Matrix base;  // DC mapping when the graphics was made
  cairo_matrix_t world;
  int smoothing = SmoothingModeNone;
  int compositing = CompositingModeSourceOver;
  int quality = 0;
  int textHint = TextRenderingHintSystemDefault;
  std::vector<GpPath> clip;  // intersected; empty: no clipping

  bool Antialias() const {
    return smoothing == SmoothingModeAntiAlias || smoothing == SmoothingModeHighQuality ||
           smoothing == SmoothingModeAntiAlias8x8;
  }
};

// A cairo context over the graphics' DC, with the DC's clip, the GDI+ clip,
// the pixel-centre shift and the world transform in place.
class GpContext {
public:
  // `area` (target pixels) bounds what the call may change; null: anywhere.
  explicit GpContext(GpGraphics* g, const RECT* area = nullptr);
  cairo_t* Cr() const { return target_ ? target_->cr : nullptr; }

private:
  std::unique_ptr<gdi::CairoTarget> target_;
};

// The target pixels that filling (no pen) or stroking a path built by
// `build` in world coordinates can reach.
RECT DeviceExtents(const GpGraphics* g, const std::function<void(cairo_t*)>& build, const GpPen* pen);

void SetSourceColor(cairo_t* cr, ARGB c);
// Sets `brush` as the source; false for an unusable brush.
bool SetBrush(cairo_t* cr, const GpBrush* brush);
// Applies the pen's width, dashes, cap and join; the source is the pen colour.
void SetPen(cairo_t* cr, const GpPen* pen);
// Converts wide text (length -1: up to the null) to UTF-8.
std::string WideToUtf8(const WCHAR* text, int length);
