// GDI objects and device contexts: the handle table, stock objects,
// selection and deletion, DC state (SaveDC/RestoreDC), coordinate mapping
// and the DC attribute setters.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/rtl/dynlib.h"
#include "platform/win/gdiplus.h"
#include "platform/win/mscms.h"
#include "platform/win/wininet.h"
#include "platform/win/gdi_internal.h"

namespace gdi {
namespace {

std::mutex& TableMutex() {
  static std::mutex m;
  return m;
}
std::unordered_map<const void*, std::unique_ptr<Object>>& Table() {
  static auto* t = new std::unordered_map<const void*, std::unique_ptr<Object>>;
  return *t;
}

void Destroy(Object* o) {
  std::lock_guard lock(TableMutex());
  Table().erase(o);
}

void Ref(Object* o) {
  if (o) ++o->refs;
}

void Unref(Object* o) {
  if (!o) return;
  if (--o->refs > 0) return;
  o->refs = 0;
  if (o->kind == Kind::Bitmap) static_cast<BitmapObj*>(o)->selectedInto = nullptr;
  if (o->deletePending) Destroy(o);
}

void RefState(const DCState& s) {
  Ref(s.pen);
  Ref(s.brush);
  Ref(s.font);
  Ref(s.palette);
  Ref(s.bitmap);
}
void UnrefState(const DCState& s) {
  Unref(s.pen);
  Unref(s.brush);
  Unref(s.font);
  Unref(s.palette);
  Unref(s.bitmap);
}

template <typename T>
T* MakeStock(std::unique_ptr<T> o) {
  o->stock = true;
  return static_cast<T*>(Register(std::move(o)));
}

PenObj* StockPen(UINT style, COLORREF color) {
  auto p = std::make_unique<PenObj>();
  p->style = style;
  p->color = color;
  return MakeStock(std::move(p));
}
BrushObj* StockBrush(UINT style, COLORREF color) {
  auto b = std::make_unique<BrushObj>();
  b->style = style;
  b->color = color;
  return MakeStock(std::move(b));
}
FontObj* StockFont(const char* face, LONG height, BYTE pitch) {
  auto f = std::make_unique<FontObj>();
  std::strncpy(f->log.lfFaceName, face, LF_FACESIZE - 1);
  f->log.lfHeight = height;
  f->log.lfWeight = FW_NORMAL;
  f->log.lfCharSet = DEFAULT_CHARSET;
  f->log.lfPitchAndFamily = pitch;
  return MakeStock(std::move(f));
}

struct Stock {
  Object* objects[20] = {};
  BitmapObj* bitmap = nullptr;
  Stock() {
    objects[WHITE_BRUSH] = StockBrush(BS_SOLID, RGB(255, 255, 255));
    objects[LTGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(192, 192, 192));
    objects[GRAY_BRUSH] = StockBrush(BS_SOLID, RGB(128, 128, 128));
    objects[DKGRAY_BRUSH] = StockBrush(BS_SOLID, RGB(64, 64, 64));
    objects[BLACK_BRUSH] = StockBrush(BS_SOLID, RGB(0, 0, 0));
    objects[NULL_BRUSH] = StockBrush(BS_NULL, 0);
    objects[WHITE_PEN] = StockPen(PS_SOLID, RGB(255, 255, 255));
    objects[BLACK_PEN] = StockPen(PS_SOLID, 0);
    objects[NULL_PEN] = StockPen(PS_NULL, 0);
    objects[OEM_FIXED_FONT] = StockFont("Courier New", -13, FIXED_PITCH | FF_MODERN);
    objects[ANSI_FIXED_FONT] = objects[OEM_FIXED_FONT];
    objects[ANSI_VAR_FONT] = StockFont("MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS);
    objects[SYSTEM_FONT] = StockFont("System", -13, VARIABLE_PITCH | FF_SWISS);
    objects[DEVICE_DEFAULT_FONT] = objects[SYSTEM_FONT];
    objects[SYSTEM_FIXED_FONT] = objects[OEM_FIXED_FONT];
    objects[DEFAULT_GUI_FONT] = StockFont("MS Sans Serif", -11, VARIABLE_PITCH | FF_SWISS);
    auto pal = std::make_unique<PaletteObj>();
    pal->entries.resize(20);
    objects[DEFAULT_PALETTE] = MakeStock(std::move(pal));
    auto bm = std::make_unique<BitmapObj>();
    bm->width = bm->height = 1;
    bm->bpp = 1;
    bm->strideBytes = 2;
    bm->memory.assign(2, 0);
    bitmap = MakeStock(std::move(bm));
  }
};

Stock& Stocks() {
  static Stock s;
  return s;
}

void InitState(DCObj* dc) {
  Stock& st = Stocks();
  dc->s.pen = static_cast<PenObj*>(st.objects[BLACK_PEN]);
  dc->s.brush = static_cast<BrushObj*>(st.objects[WHITE_BRUSH]);
  dc->s.font = static_cast<FontObj*>(st.objects[SYSTEM_FONT]);
  dc->s.palette = static_cast<PaletteObj*>(st.objects[DEFAULT_PALETTE]);
  if (dc->memory) dc->s.bitmap = st.bitmap;
  RefState(dc->s);
}

HDC NewDC(std::unique_ptr<DCObj> dc) {
  DCObj* raw = dc.get();
  InitState(raw);
  return static_cast<HDC>(Register(std::move(dc)));
}

template <typename T, typename F>
T Swap(HDC h, T fail, F member) {
  DCObj* dc = AsDC(h);
  if (!dc) return fail;
  return member(dc->s);
}

BOOL SetOrg(POINT& org, int x, int y, POINT* old) {
  if (old) *old = org;
  org = {x, y};
  return TRUE;
}

}  // namespace

void* Register(std::unique_ptr<Object> object) {
  std::lock_guard lock(TableMutex());
  void* h = object.get();
  Table().emplace(h, std::move(object));
  return h;
}

Object* Lookup(const void* handle) {
  if (!handle) return nullptr;
  std::lock_guard lock(TableMutex());
  auto it = Table().find(handle);
  return it == Table().end() || it->second->deletePending ? nullptr : it->second.get();
}

BitmapObj* StockBitmap() { return Stocks().bitmap; }

Matrix LogicalToTarget(const DCObj* dc) {
  const DCState& s = dc->s;
  Matrix m;
  if (s.graphicsMode == GM_ADVANCED) {
    m.a = s.xform.eM11;
    m.b = s.xform.eM12;
    m.c = s.xform.eM21;
    m.d = s.xform.eM22;
    m.e = s.xform.eDx;
    m.f = s.xform.eDy;
  }
  m.e += s.viewportOrg.x - s.windowOrg.x + dc->origin.x;
  m.f += s.viewportOrg.y - s.windowOrg.y + dc->origin.y;
  return m;
}

POINT TargetPoint(const DCObj* dc, int x, int y) {
  double ox, oy;
  LogicalToTarget(dc).Apply(x, y, ox, oy);
  return {static_cast<LONG>(std::lround(ox)), static_cast<LONG>(std::lround(oy))};
}

POINT DeviceToLogical(const DCObj* dc, POINT p) {
  Matrix m = LogicalToTarget(dc);
  double det = m.a * m.d - m.b * m.c;
  if (det == 0) return p;
  double x = p.x + dc->origin.x - m.e, y = p.y + dc->origin.y - m.f;
  return {static_cast<LONG>(std::lround((m.d * x - m.c * y) / det)),
          static_cast<LONG>(std::lround((-m.b * x + m.a * y) / det))};
}

RECT TargetRect(const DCObj* dc, int l, int t, int r, int b) {
  POINT p1 = TargetPoint(dc, l, t), p2 = TargetPoint(dc, r, b);
  RECT out{std::min(p1.x, p2.x), std::min(p1.y, p2.y), std::max(p1.x, p2.x), std::max(p1.y, p2.y)};
  if (dc->s.graphicsMode == GM_ADVANCED) {
    ++out.right;
    ++out.bottom;
  }
  return out;
}

}  // namespace gdi

using namespace gdi;

// ----------------------------------------------------------- DCs ---

HDC CreateSurfaceDC(Surface* surface, POINT origin, const RECT& clip, HWND window) {
  if (!surface) return nullptr;
  auto dc = std::make_unique<DCObj>();
  dc->surface = surface;
  dc->origin = origin;
  dc->surfaceClip = clip;
  dc->window = window;
  return NewDC(std::move(dc));
}

void ReleaseSurfaceDC(HDC dc) {
  DCObj* d = AsDC(dc);
  if (d && d->surface) DeleteDC(dc);
}

HDC CreateCompatibleDC(HDC reference) {
  if (reference && !AsDC(reference)) return nullptr;
  auto dc = std::make_unique<DCObj>();
  dc->memory = true;
  return NewDC(std::move(dc));
}

BOOL DeleteDC(HDC h) {
  DCObj* dc = AsDC(h);
  if (!dc || dc->stock) return FALSE;
  for (const DCState& s : dc->saved) UnrefState(s);
  UnrefState(dc->s);
  dc->saved.clear();
  Destroy(dc);
  return TRUE;
}

int SaveDC(HDC h) {
  DCObj* dc = AsDC(h);
  if (!dc) return 0;
  dc->saved.push_back(dc->s);
  RefState(dc->s);
  return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC h, int saved) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  int depth = static_cast<int>(dc->saved.size());
  int target = saved < 0 ? depth + saved + 1 : saved;
  if (target < 1 || target > depth) return FALSE;
  // A bitmap cannot move to a DC it is not selected into; the saved state
  // still holds it, so restoring is safe.
  UnrefState(dc->s);
  dc->s = dc->saved[static_cast<size_t>(target - 1)];
  for (int i = depth - 1; i >= target; --i) UnrefState(dc->saved[static_cast<size_t>(i)]);
  // The restored state's own reference moves from the saved entry to `s`.
  dc->saved.resize(static_cast<size_t>(target - 1));
  return TRUE;
}

HWND WindowFromDC(HDC h) {
  DCObj* dc = AsDC(h);
  return dc ? dc->window : nullptr;
}

int GetDeviceCaps(HDC h, int index) {
  DCObj* dc = AsDC(h);
  if (!dc) return 0;
  int width = 1920, height = 1080;
  if (dc->surface) {
    width = dc->surface->width;
    height = dc->surface->height;
  } else if (dc->memory && dc->s.bitmap) {
    width = dc->s.bitmap->width;
    height = dc->s.bitmap->height;
  }
  switch (index) {
    case DRIVERVERSION: return 0x4000;
    case TECHNOLOGY: return DT_RASDISPLAY;
    case HORZSIZE: return width * 254 / 960;
    case VERTSIZE: return height * 254 / 960;
    case HORZRES:
    case DESKTOPHORZRES: return width;
    case VERTRES:
    case DESKTOPVERTRES: return height;
    case BITSPIXEL: return 32;  // memory DCs answer for the display they are compatible with
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case RASTERCAPS: return RC_BITBLT | RC_DI_BITMAP | RC_STRETCHBLT | RC_STRETCHDIB;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE: return 0;
    case COLORRES: return 24;
    default: return 0;
  }
}

BOOL SetViewportOrgEx(HDC h, int x, int y, POINT* old) {
  DCObj* dc = AsDC(h);
  return dc ? SetOrg(dc->s.viewportOrg, x, y, old) : FALSE;
}
BOOL OffsetViewportOrgEx(HDC h, int dx, int dy, POINT* old) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  POINT o = dc->s.viewportOrg;
  return SetOrg(dc->s.viewportOrg, o.x + dx, o.y + dy, old);
}
BOOL GetViewportOrgEx(HDC h, POINT* org) {
  DCObj* dc = AsDC(h);
  if (!dc || !org) return FALSE;
  *org = dc->s.viewportOrg;
  return TRUE;
}
BOOL SetWindowOrgEx(HDC h, int x, int y, POINT* old) {
  DCObj* dc = AsDC(h);
  return dc ? SetOrg(dc->s.windowOrg, x, y, old) : FALSE;
}
BOOL OffsetWindowOrgEx(HDC h, int dx, int dy, POINT* old) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  POINT o = dc->s.windowOrg;
  return SetOrg(dc->s.windowOrg, o.x + dx, o.y + dy, old);
}
BOOL GetWindowOrgEx(HDC h, POINT* org) {
  DCObj* dc = AsDC(h);
  if (!dc || !org) return FALSE;
  *org = dc->s.windowOrg;
  return TRUE;
}
BOOL SetBrushOrgEx(HDC h, int x, int y, POINT* old) {
  DCObj* dc = AsDC(h);
  return dc ? SetOrg(dc->s.brushOrg, x, y, old) : FALSE;
}

int SetGraphicsMode(HDC h, int mode) {
  DCObj* dc = AsDC(h);
  if (!dc || (mode != GM_COMPATIBLE && mode != GM_ADVANCED)) return 0;
  int old = dc->s.graphicsMode;
  if (mode == GM_COMPATIBLE) {
    // Windows refuses to leave advanced mode with a transform set.
    const XFORM& x = dc->s.xform;
    if (x.eM11 != 1 || x.eM12 != 0 || x.eM21 != 0 || x.eM22 != 1 || x.eDx != 0 || x.eDy != 0) return 0;
  }
  dc->s.graphicsMode = mode;
  return old;
}
int GetGraphicsMode(HDC h) {
  DCObj* dc = AsDC(h);
  return dc ? dc->s.graphicsMode : 0;
}

BOOL SetWorldTransform(HDC h, const XFORM* xf) {
  DCObj* dc = AsDC(h);
  if (!dc || !xf || dc->s.graphicsMode != GM_ADVANCED) return FALSE;
  if (xf->eM11 * xf->eM22 - xf->eM12 * xf->eM21 == 0) return FALSE;
  dc->s.xform = *xf;
  return TRUE;
}

namespace {
XFORM Multiply(const XFORM& a, const XFORM& b) {  // a then b
  XFORM r;
  r.eM11 = a.eM11 * b.eM11 + a.eM12 * b.eM21;
  r.eM12 = a.eM11 * b.eM12 + a.eM12 * b.eM22;
  r.eM21 = a.eM21 * b.eM11 + a.eM22 * b.eM21;
  r.eM22 = a.eM21 * b.eM12 + a.eM22 * b.eM22;
  r.eDx = a.eDx * b.eM11 + a.eDy * b.eM21 + b.eDx;
  r.eDy = a.eDx * b.eM12 + a.eDy * b.eM22 + b.eDy;
  return r;
}
}  // namespace

BOOL ModifyWorldTransform(HDC h, const XFORM* xf, DWORD mode) {
  DCObj* dc = AsDC(h);
  if (!dc || dc->s.graphicsMode != GM_ADVANCED) return FALSE;
  switch (mode) {
    case MWT_IDENTITY: dc->s.xform = XFORM{}; return TRUE;
    case MWT_LEFTMULTIPLY:
      if (!xf) return FALSE;
      dc->s.xform = Multiply(*xf, dc->s.xform);
      return TRUE;
    case MWT_RIGHTMULTIPLY:
      if (!xf) return FALSE;
      dc->s.xform = Multiply(dc->s.xform, *xf);
      return TRUE;
    default: return FALSE;
  }
}

BOOL GetWorldTransform(HDC h, XFORM* xf) {
  DCObj* dc = AsDC(h);
  if (!dc || !xf) return FALSE;
  *xf = dc->s.xform;
  return TRUE;
}


#define GDI_ATTRIBUTE(Set, Get, Type, field, fail)           \
  Type Set(HDC h, Type v) {                                  \
    return Swap(h, Type(fail), [&](DCState& s) { return std::exchange(s.field, v); }); \
  }                                                          \
  Type Get(HDC h) {                                          \
    return Swap(h, Type(fail), [](DCState& s) { return s.field; }); \
  }

GDI_ATTRIBUTE(SetTextColor, GetTextColor, COLORREF, text, CLR_INVALID)
GDI_ATTRIBUTE(SetBkColor, GetBkColor, COLORREF, bk, CLR_INVALID)
#undef GDI_ATTRIBUTE

namespace {
template <typename Check>
int SetMode(HDC h, int v, int DCState::*field, Check valid) {
  DCObj* dc = AsDC(h);
  if (!dc || !valid(v)) return 0;
  return std::exchange(dc->s.*field, v);
}
int GetMode(HDC h, int DCState::*field) {
  DCObj* dc = AsDC(h);
  return dc ? dc->s.*field : 0;
}
}  // namespace

int SetBkMode(HDC h, int mode) {
  return SetMode(h, mode, &DCState::bkMode, [](int m) { return m == TRANSPARENT || m == OPAQUE; });
}
int GetBkMode(HDC h) { return GetMode(h, &DCState::bkMode); }
int SetROP2(HDC h, int rop2) {
  return SetMode(h, rop2, &DCState::rop2, [](int m) { return m >= R2_BLACK && m <= R2_WHITE; });
}
int GetROP2(HDC h) { return GetMode(h, &DCState::rop2); }
int SetPolyFillMode(HDC h, int mode) {
  return SetMode(h, mode, &DCState::fillMode, [](int m) { return m == ALTERNATE || m == WINDING; });
}
int GetPolyFillMode(HDC h) { return GetMode(h, &DCState::fillMode); }
int SetStretchBltMode(HDC h, int mode) {
  return SetMode(h, mode, &DCState::stretchMode, [](int m) { return m >= BLACKONWHITE && m <= HALFTONE; });
}
int GetStretchBltMode(HDC h) { return GetMode(h, &DCState::stretchMode); }

// ------------------------------------------------------- objects ---

HPEN ExtCreatePen(DWORD style, DWORD width, const LOGBRUSH* brush, DWORD styleCount, const DWORD* styles) {
  if (!brush) return nullptr;
  UINT kind = style & PS_STYLE_MASK;
  if (kind > PS_ALTERNATE) return nullptr;
  if (kind == PS_USERSTYLE && (styleCount == 0 || styleCount > 16 || !styles)) return nullptr;
  if ((style & PS_TYPE_MASK) == PS_COSMETIC && width != 1) return nullptr;
  auto p = std::make_unique<PenObj>();
  p->style = style;
  p->width = static_cast<int>(std::min<DWORD>(width, 10000));
  p->color = brush->lbStyle == BS_NULL ? 0 : brush->lbColor;
  if (brush->lbStyle == BS_NULL) p->style = (style & ~PS_STYLE_MASK) | PS_NULL;
  if (kind == PS_USERSTYLE) p->userStyle.assign(styles, styles + styleCount);
  return static_cast<HPEN>(Register(std::move(p)));
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < 0 || style > static_cast<int>(PS_INSIDEFRAME)) return nullptr;
  auto p = std::make_unique<PenObj>();
  p->style = static_cast<UINT>(style);
  p->width = std::clamp(width, 0, 10000);
  // A wide pen is a geometric pen with round caps and joins, drawn solid.
  if (p->width > 1) {
    p->style |= PS_GEOMETRIC;
    if (style >= static_cast<int>(PS_DASH) && style <= static_cast<int>(PS_DASHDOTDOT)) p->style = PS_GEOMETRIC;
  }
  p->color = color;
  return static_cast<HPEN>(Register(std::move(p)));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  return pen ? CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor) : nullptr;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = std::make_unique<BrushObj>();
  b->color = color;
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreateHatchBrush(int hatch, COLORREF color) {
  if (hatch < HS_HORIZONTAL || hatch > HS_DIAGCROSS) return nullptr;
  auto b = std::make_unique<BrushObj>();
  b->style = BS_HATCHED;
  b->hatch = hatch;
  b->color = color;
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap) {
  BitmapObj* bm = AsBitmap(bitmap);
  if (!bm || bm->width <= 0 || bm->height <= 0) return nullptr;
  auto b = std::make_unique<BrushObj>();
  b->style = BS_PATTERN;
  b->mono = bm->bpp == 1 && !bm->dib;
  b->pattern.resize(64);
  b->monoPattern.resize(64);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      uint32_t p = bm->ReadPixel(x % bm->width, y % bm->height);
      b->pattern[static_cast<size_t>(y * 8 + x)] = p | 0xFF000000u;
      b->monoPattern[static_cast<size_t>(y * 8 + x)] = (p & 0xFFFFFF) != 0;
    }
  return static_cast<HBRUSH>(Register(std::move(b)));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return nullptr;
  switch (brush->lbStyle) {
    case BS_SOLID: return CreateSolidBrush(brush->lbColor);
    case BS_HATCHED: return CreateHatchBrush(static_cast<int>(brush->lbHatch), brush->lbColor);
    case BS_PATTERN: return CreatePatternBrush(reinterpret_cast<HBITMAP>(brush->lbHatch));
    case BS_NULL: {
      auto b = std::make_unique<BrushObj>();
      b->style = BS_NULL;
      return static_cast<HBRUSH>(Register(std::move(b)));
    }
    default: return nullptr;
  }
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  auto f = std::make_unique<FontObj>();
  f->log = *font;
  f->log.lfFaceName[LF_FACESIZE - 1] = 0;
  return static_cast<HFONT>(Register(std::move(f)));
}

namespace {
// UTF-16 face name to UTF-8, stopping at the terminator or the field's end.
void FaceToUtf8(const char16_t* in, char* out, size_t outSize) {
  std::string s;
  for (int i = 0; i < LF_FACESIZE && in[i]; ++i) {
    char32_t c = in[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < LF_FACESIZE && in[i + 1] >= 0xDC00 && in[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (c >> 18));
      s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  size_t n = std::min(s.size(), outSize - 1);
  // Do not cut a character in half.
  while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  std::memcpy(out, s.data(), n);
  out[n] = 0;
}

void FaceToUtf16(const char* in, char16_t* out) {
  size_t o = 0;
  for (size_t i = 0; in[i] && o + 1 < LF_FACESIZE;) {
    auto c = static_cast<unsigned char>(in[i]);
    char32_t cp = c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
    if (extra) cp = c & (0x3F >> extra);
    ++i;
    for (int k = 0; k < extra && in[i]; ++k, ++i) cp = (cp << 6) | (static_cast<unsigned char>(in[i]) & 0x3F);
    if (cp >= 0x10000) {
      if (o + 2 >= LF_FACESIZE) break;
      cp -= 0x10000;
      out[o++] = static_cast<char16_t>(0xD800 + (cp >> 10));
      out[o++] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out[o++] = static_cast<char16_t>(cp);
    }
  }
  out[o] = 0;
}

template <typename From, typename To>
void CopyFontFields(const From& a, To& b) {
  b.lfHeight = a.lfHeight;
  b.lfWidth = a.lfWidth;
  b.lfEscapement = a.lfEscapement;
  b.lfOrientation = a.lfOrientation;
  b.lfWeight = a.lfWeight;
  b.lfItalic = a.lfItalic;
  b.lfUnderline = a.lfUnderline;
  b.lfStrikeOut = a.lfStrikeOut;
  b.lfCharSet = a.lfCharSet;
  b.lfOutPrecision = a.lfOutPrecision;
  b.lfClipPrecision = a.lfClipPrecision;
  b.lfQuality = a.lfQuality;
  b.lfPitchAndFamily = a.lfPitchAndFamily;
}
}  // namespace

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  LOGFONTA a;
  CopyFontFields(*font, a);
  FaceToUtf8(font->lfFaceName, a.lfFaceName, sizeof a.lfFaceName);
  return CreateFontIndirectA(&a);
}

HPALETTE CreatePalette(const LOGPALETTE* palette) {
  if (!palette || palette->palNumEntries == 0) return nullptr;
  auto p = std::make_unique<PaletteObj>();
  p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
  return static_cast<HPALETTE>(Register(std::move(p)));
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
  auto* p = As<PaletteObj>(palette, Kind::Palette);
  if (!p) return 0;
  auto size = static_cast<UINT>(p->entries.size());
  if (!entries) return size;
  if (start >= size) return 0;
  UINT n = std::min(count, size - start);
  std::copy_n(p->entries.begin() + start, n, entries);
  return n;
}

UINT SetPaletteEntries(HPALETTE palette, UINT start, UINT count, const PALETTEENTRY* entries) {
  auto* p = As<PaletteObj>(palette, Kind::Palette);
  if (!p || !entries || p->stock) return 0;
  auto size = static_cast<UINT>(p->entries.size());
  if (start >= size) return 0;
  UINT n = std::min(count, size - start);
  std::copy_n(entries, n, p->entries.begin() + start);
  return n;
}

HPALETTE SelectPalette(HDC h, HPALETTE palette, BOOL) {
  DCObj* dc = AsDC(h);
  auto* p = As<PaletteObj>(palette, Kind::Palette);
  if (!dc || !p) return nullptr;
  PaletteObj* old = dc->s.palette;
  Ref(p);
  dc->s.palette = p;
  HPALETTE answer = reinterpret_cast<HPALETTE>(old);
  Unref(old);
  return answer;
}

UINT RealizePalette(HDC h) { return AsDC(h) ? 0 : static_cast<UINT>(-1); }

HGDIOBJ GetStockObject(int index) {
  if (index < 0 || index >= 18) return nullptr;
  return Stocks().objects[index];
}

HGDIOBJ SelectObject(HDC h, HGDIOBJ object) {
  DCObj* dc = AsDC(h);
  Object* o = Lookup(object);
  if (!dc || !o) return nullptr;
  auto swap = [&](auto*& slot) -> HGDIOBJ {
    using T = std::remove_reference_t<decltype(*slot)>;
    auto* old = slot;
    Ref(o);
    slot = static_cast<T*>(o);
    HGDIOBJ answer = old;
    Unref(old);
    return answer;
  };
  switch (o->kind) {
    case Kind::Pen: return swap(dc->s.pen);
    case Kind::Brush: return swap(dc->s.brush);
    case Kind::Font: return swap(dc->s.font);
    case Kind::Bitmap: {
      auto* bm = static_cast<BitmapObj*>(o);
      if (!dc->memory) return nullptr;
      if (bm->selectedInto && bm->selectedInto != dc) return nullptr;
      if (bm == dc->s.bitmap) return bm;
      bm->selectedInto = bm->stock ? nullptr : dc;
      return swap(dc->s.bitmap);
    }
    case Kind::Region: {
      int type = SelectClipRgn(h, static_cast<HRGN>(object));
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(type));
    }
    default: return nullptr;
  }
}

HGDIOBJ GetCurrentObject(HDC h, UINT type) {
  DCObj* dc = AsDC(h);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->s.pen;
    case OBJ_BRUSH: return dc->s.brush;
    case OBJ_FONT: return dc->s.font;
    case OBJ_PAL: return dc->s.palette;
    case OBJ_BITMAP: return dc->s.bitmap;
    default: return nullptr;
  }
}

BOOL DeleteObject(HGDIOBJ object) {
  Object* o = Lookup(object);
  if (!o || o->stock || o->kind == Kind::DC) return FALSE;
  if (o->refs > 0) {
    o->deletePending = true;
    return TRUE;
  }
  Destroy(o);
  return TRUE;
}

DWORD GetObjectType(HGDIOBJ object) {
  Object* o = Lookup(object);
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Pen: return static_cast<PenObj*>(o)->Geometric() ? OBJ_EXTPEN : OBJ_PEN;
    case Kind::Brush: return OBJ_BRUSH;
    case Kind::Font: return OBJ_FONT;
    case Kind::Bitmap: return OBJ_BITMAP;
    case Kind::Region: return OBJ_REGION;
    case Kind::Palette: return OBJ_PAL;
    case Kind::DC: return static_cast<DCObj*>(o)->memory ? OBJ_MEMDC : OBJ_DC;
  }
  return 0;
}

namespace {
template <typename T>
int CopyOut(const T& value, int size, void* buffer) {
  if (!buffer) return static_cast<int>(sizeof(T));
  if (size < static_cast<int>(sizeof(T))) return 0;
  std::memcpy(buffer, &value, sizeof(T));
  return static_cast<int>(sizeof(T));
}

int BitmapObject(const BitmapObj* bm, int size, void* buffer) {
  BITMAP b;
  b.bmWidth = bm->width;
  b.bmHeight = bm->height;
  b.bmWidthBytes = static_cast<LONG>(bm->strideBytes < 0 ? -bm->strideBytes : bm->strideBytes);
  b.bmPlanes = 1;
  b.bmBitsPixel = static_cast<WORD>(bm->bpp);
  if (!bm->dib || size < static_cast<int>(sizeof(DIBSECTION))) {
    if (bm->dib) b.bmBits = const_cast<uint8_t*>(bm->memory.data());
    return CopyOut(b, size, buffer);
  }
  DIBSECTION ds;
  ds.dsBm = b;
  ds.dsBm.bmBits = const_cast<uint8_t*>(bm->memory.data());
  ds.dsBmih.biWidth = bm->width;
  ds.dsBmih.biHeight = bm->topDown ? -bm->height : bm->height;
  ds.dsBmih.biBitCount = static_cast<WORD>(bm->bpp);
  ds.dsBmih.biCompression = bm->masks[0] ? BI_BITFIELDS : BI_RGB;
  ds.dsBmih.biSizeImage = static_cast<DWORD>(bm->memory.size());
  ds.dsBmih.biClrUsed = static_cast<DWORD>(bm->colors.size());
  std::copy(std::begin(bm->masks), std::end(bm->masks), ds.dsBitfields);
  return CopyOut(ds, size, buffer);
}

int ObjectInfo(HGDIOBJ object, int size, void* buffer, bool wide) {
  Object* o = Lookup(object);
  if (!o) return 0;
  switch (o->kind) {
    case Kind::Pen: {
      auto* p = static_cast<PenObj*>(o);
      LOGPEN lp;
      lp.lopnStyle = p->style;
      lp.lopnWidth.x = p->width;
      lp.lopnColor = p->color;
      return CopyOut(lp, size, buffer);
    }
    case Kind::Brush: {
      auto* b = static_cast<BrushObj*>(o);
      LOGBRUSH lb;
      lb.lbStyle = b->style;
      lb.lbColor = b->color;
      lb.lbHatch = static_cast<ULONG_PTR>(b->hatch);
      return CopyOut(lb, size, buffer);
    }
    case Kind::Font: {
      auto* f = static_cast<FontObj*>(o);
      if (!wide) return CopyOut(f->log, size, buffer);
      LOGFONTW w;
      CopyFontFields(f->log, w);
      FaceToUtf16(f->log.lfFaceName, w.lfFaceName);
      return CopyOut(w, size, buffer);
    }
    case Kind::Bitmap: return BitmapObject(static_cast<BitmapObj*>(o), size, buffer);
    case Kind::Palette: {
      auto n = static_cast<WORD>(static_cast<PaletteObj*>(o)->entries.size());
      return CopyOut(n, size, buffer);
    }
    default: return 0;
  }
}
}  // namespace

int GetObjectA(HGDIOBJ object, int size, void* buffer) { return ObjectInfo(object, size, buffer, false); }
int GetObjectW(HGDIOBJ object, int size, void* buffer) { return ObjectInfo(object, size, buffer, true); }

// ------------------------------------------------ libraries by name ---
//
// Callers bind "gdiplus.dll", "msimg32.dll", "mscms.dll" and "wininet.dll"
// at run time; all are built in. They are registered here, with the device contexts every drawing
// program uses, so that a program which only binds them by name has them.

namespace {
template <class F>
void* Export(F* function) {
  return reinterpret_cast<void*>(function);
}

const bool kLibrariesRegistered = [] {
  RegisterBuiltinLibrary("gdiplus.dll", GdiplusExports());
  RegisterBuiltinLibrary("mscms.dll", MscmsExports());
  RegisterBuiltinLibrary("wininet.dll", WinInetExports());
  RegisterBuiltinLibrary("msimg32.dll", {{"AlphaBlend", Export(&AlphaBlend)},
                                         {"GradientFill", Export(&GradientFill)},
                                         {"TransparentBlt", Export(&TransparentBlt)}});
  return true;
}();
}  // namespace

