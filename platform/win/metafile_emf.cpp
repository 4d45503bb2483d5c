// The enhanced-metafile walker: header, then records of 32-bit type and
// size, each checked against the bytes that remain before it is played.
#include <cmath>

#include "platform/win/gdi_text.h"
#include "platform/win/metafile_internal.h"

namespace metafile {

namespace {

enum : uint32_t {
  kHeader = 1, kPolyBezier = 2, kPolygon = 3, kPolyline = 4, kPolyBezierTo = 5, kPolylineTo = 6,
  kPolyPolyline = 7, kPolyPolygon = 8, kSetWindowExt = 9, kSetWindowOrg = 10, kSetViewportExt = 11,
  kSetViewportOrg = 12, kEof = 14, kSetPixelV = 15, kSetMapMode = 17, kSetBkMode = 18, kSetPolyFillMode = 19,
  kSetRop2 = 20, kSetStretchBltMode = 21, kSetTextAlign = 22, kSetTextColor = 24, kSetBkColor = 25,
  kMoveTo = 27, kExcludeClipRect = 29, kIntersectClipRect = 30, kScaleViewportExt = 31, kScaleWindowExt = 32,
  kSaveDC = 33, kRestoreDC = 34, kSetWorldTransform = 35, kModifyWorldTransform = 36, kSelectObject = 37,
  kCreatePen = 38, kCreateBrush = 39, kDeleteObject = 40, kEllipse = 42, kRectangle = 43, kRoundRect = 44,
  kArc = 45, kChord = 46, kPie = 47, kLineTo = 54, kArcTo = 55, kSetArcDirection = 57, kBeginPath = 59,
  kEndPath = 60, kCloseFigure = 61, kFillPath = 62, kStrokeAndFillPath = 63, kStrokePath = 64,
  kSelectClipPath = 67, kAbortPath = 68, kExtSelectClipRgn = 75, kBitBlt = 76, kStretchBlt = 77,
  kStretchDIBits = 81, kCreateFont = 82, kExtTextOutA = 83, kExtTextOutW = 84, kPolyBezier16 = 85,
  kPolygon16 = 86, kPolyline16 = 87, kPolyBezierTo16 = 88, kPolylineTo16 = 89, kPolyPolyline16 = 90,
  kPolyPolygon16 = 91, kCreateMonoBrush = 93, kCreateDibPatternBrush = 94, kExtCreatePen = 95,
  kCreatePalette = 49,
};

constexpr uint32_t kStockFlag = 0x80000000u;

// `count` points of 32-bit (wide) or 16-bit coordinates from `off`.
bool ReadPoints(Bytes& r, size_t off, uint32_t count, bool wide, std::vector<PointD>& out) {
  const size_t each = wide ? 8 : 4;
  if (off > r.n || count > (r.n - off) / each) return false;
  out.clear();
  out.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = off + i * each;
    if (wide) out.push_back({static_cast<double>(r.S32(at)), static_cast<double>(r.S32(at + 4))});
    else out.push_back({static_cast<double>(r.S16(at)), static_cast<double>(r.S16(at + 2))});
  }
  return r.ok;
}

// POLYPOLYGON and POLYPOLYLINE: bounds, polygon count, point total, counts, points.
bool PlayPolyPoly(Player& p, Bytes& r, bool wide, bool closed) {
  const uint32_t polys = r.U32(24), total = r.U32(28);
  if (!r.ok || polys > (r.n - 32) / 4) return false;
  std::vector<PointD> all;
  if (!ReadPoints(r, 32 + size_t{polys} * 4, total, wide, all)) return false;
  std::vector<std::vector<PointD>> split;
  size_t at = 0;
  for (uint32_t i = 0; i < polys; ++i) {
    const uint32_t n = r.U32(32 + size_t{i} * 4);
    if (n > all.size() - at) return false;
    split.emplace_back(all.begin() + static_cast<ptrdiff_t>(at), all.begin() + static_cast<ptrdiff_t>(at + n));
    at += n;
  }
  p.PolyPoly(split, closed);
  return true;
}

Affine ReadXform(Bytes& r, size_t off) {
  return {r.F32(off), r.F32(off + 4), r.F32(off + 8), r.F32(off + 12), r.F32(off + 16), r.F32(off + 20)};
}

bool PlayText(Player& p, Bytes& r, bool wide) {
  // EMRTEXT at 36: reference, count, string offset, options, rectangle, advances offset.
  const double x = r.S32(36), y = r.S32(40);
  const uint32_t count = r.U32(44), offString = r.U32(48), options = r.U32(52), offDx = r.U32(72);
  const RECT box{r.S32(56), r.S32(60), r.S32(64), r.S32(68)};
  if (!r.ok) return false;
  const size_t unit = wide ? 2 : 1;
  if (offString > r.n || count > (r.n - offString) / unit) return false;
  std::u16string text;
  for (uint32_t i = 0; i < count; ++i)
    text.push_back(wide ? r.U16(offString + 2 * size_t{i}) : static_cast<char16_t>(r.U8(offString + i)));
  std::vector<int32_t> dx;
  const size_t dxEach = (options & 0x2000) ? 8 : 4;  // with vertical advances too
  if (offDx != 0 && count > 0) {
    if (offDx > r.n || count > (r.n - offDx) / dxEach) return false;
    for (uint32_t i = 0; i < count; ++i) dx.push_back(r.S32(offDx + i * dxEach));
  }
  std::optional<RECT> rect;
  if (options & (ETO_OPAQUE | ETO_CLIPPED)) rect = box;
  p.Text(x, y, text, dx, options, rect);
  return r.ok;
}

// BITBLT, STRETCHBLT and STRETCHDIBITS; without a source bitmap a blit
// paints the brush.
bool PlayBlit(Player& p, Bytes& r, uint32_t type) {
  const double x = r.S32(24), y = r.S32(28);
  if (type == kStretchDIBits) {
    const int xSrc = r.S32(32), ySrc = r.S32(36), wSrc = r.S32(40), hSrc = r.S32(44);
    const uint32_t offBmi = r.U32(48), cbBmi = r.U32(52), offBits = r.U32(56), cbBits = r.U32(60);
    const uint32_t usage = r.U32(64), rop = r.U32(68);
    const double w = r.S32(72), h = r.S32(76);
    if (!r.ok) return false;
    Bytes header = r.Sub(offBmi, cbBmi), bits = r.Sub(offBits, cbBits);
    if (!r.ok) return false;
    if (std::optional<Dib> dib = ParseDib(header, bits, usage)) p.StretchDib(x, y, w, h, xSrc, ySrc, wSrc, hSrc, *dib, rop);
    return true;
  }
  const double w = r.S32(32), h = r.S32(36);
  const uint32_t rop = r.U32(40);
  const int xSrc = r.S32(44), ySrc = r.S32(48);
  const uint32_t usage = r.U32(80), offBmi = r.U32(84), cbBmi = r.U32(88), offBits = r.U32(92), cbBits = r.U32(96);
  if (!r.ok) return false;
  int wSrc = static_cast<int>(w), hSrc = static_cast<int>(h);
  if (type == kStretchBlt) {
    wSrc = r.S32(100);
    hSrc = r.S32(104);
    if (!r.ok) return false;
  }
  if (cbBmi == 0) {
    p.PatRect(x, y, w, h, rop);
    return true;
  }
  Bytes header = r.Sub(offBmi, cbBmi), bits = r.Sub(offBits, cbBits);
  if (!r.ok) return false;
  std::optional<Dib> dib = ParseDib(header, bits, usage);
  if (!dib) return true;
  // The source rectangle counts rows from the top of the bitmap.
  const int top = dib->height > 0 ? dib->height - ySrc - hSrc : ySrc;
  p.StretchDib(x, y, w, h, xSrc, top, wSrc, hSrc, *dib, rop);
  return true;
}

bool PlayExtPen(Player& p, Bytes& r) {
  // EXTLOGPEN at 24: style, width, brush style, colour, hatch, entry count.
  const uint32_t index = r.U32(8), style = r.U32(24), width = r.U32(28), brushStyle = r.U32(32),
                 color = r.U32(36);
  if (!r.ok || index == 0) return false;
  Pen pen{style, static_cast<double>(width), color & 0xFFFFFF};
  if (brushStyle == BS_NULL) pen.style = (style & ~PS_STYLE_MASK) | PS_NULL;
  if ((style & PS_TYPE_MASK) == PS_COSMETIC) pen.width = 0;
  return p.PutObject(index, pen);
}

bool PlayFont(Player& p, Bytes& r) {
  // LOGFONTW at 12: five 32-bit fields, eight bytes, 32 UTF-16 units.
  const uint32_t index = r.U32(8);
  Font font;
  LOGFONTW& lf = font.log;
  lf.lfHeight = r.S32(12);
  lf.lfWidth = r.S32(16);
  lf.lfEscapement = r.S32(20);
  lf.lfOrientation = r.S32(24);
  lf.lfWeight = r.S32(28);
  lf.lfItalic = r.U8(32);
  lf.lfUnderline = r.U8(33);
  lf.lfStrikeOut = r.U8(34);
  lf.lfCharSet = r.U8(35);
  lf.lfQuality = r.U8(38);
  lf.lfPitchAndFamily = r.U8(39);
  for (int i = 0; i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = r.U16(40 + 2 * static_cast<size_t>(i));
  if (!r.ok || index == 0) return false;
  return p.PutObject(index, font);
}

bool PlayClipRegion(Player& p, Bytes& r) {
  const uint32_t cb = r.U32(8), mode = r.U32(12);
  if (!r.ok) return false;
  if (cb == 0) {
    if (mode == RGN_COPY) p.ResetClip();
    return true;
  }
  // RGNDATA: header of 32 bytes (size, type, count, size, bounds), then rectangles.
  Bytes data = r.Sub(16, cb);
  const uint32_t count = data.U32(8);
  if (!data.ok || count > (data.n - 32) / 16) return false;
  std::vector<RECT> rects;
  for (uint32_t i = 0; i < count; ++i) {
    const size_t at = 32 + size_t{i} * 16;
    rects.push_back({data.S32(at), data.S32(at + 4), data.S32(at + 8), data.S32(at + 12)});
  }
  p.ClipDeviceRects(rects, static_cast<int>(mode));
  return data.ok;
}

// One record; false when it does not fit its bytes or names a missing object.
bool PlayRecord(Player& p, Bytes r, uint32_t type) {
  State& s = p.s;
  std::vector<PointD> pts;
  switch (type) {
    case kPolyBezier: case kPolygon: case kPolyline: case kPolyBezierTo: case kPolylineTo:
    case kPolyBezier16: case kPolygon16: case kPolyline16: case kPolyBezierTo16: case kPolylineTo16: {
      const bool wide = type < kPolyBezier16;
      const uint32_t kind = wide ? type : type - (kPolyBezier16 - kPolyBezier);
      if (!ReadPoints(r, 28, r.U32(24), wide, pts) || !r.ok) return false;
      if (kind == kPolyBezierTo || kind == kPolylineTo) p.PolyTo(pts, kind == kPolyBezierTo);
      else p.Poly(pts, kind == kPolygon, kind == kPolyBezier);
      return true;
    }
    case kPolyPolyline: case kPolyPolygon: return PlayPolyPoly(p, r, true, type == kPolyPolygon);
    case kPolyPolyline16: case kPolyPolygon16: return PlayPolyPoly(p, r, false, type == kPolyPolygon16);
    case kSetWindowExt: s.windowExt = {double(r.S32(8)), double(r.S32(12))}; break;
    case kSetWindowOrg: s.windowOrg = {double(r.S32(8)), double(r.S32(12))}; break;
    case kSetViewportExt: s.viewportExt = {double(r.S32(8)), double(r.S32(12))}; break;
    case kSetViewportOrg: s.viewportOrg = {double(r.S32(8)), double(r.S32(12))}; break;
    case kScaleViewportExt: p.ScaleExtent(s.viewportExt, r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;
    case kScaleWindowExt: p.ScaleExtent(s.windowExt, r.S32(8), r.S32(12), r.S32(16), r.S32(20)); break;
    case kSetPixelV: p.SetPixel(r.S32(8), r.S32(12), r.U32(16) & 0xFFFFFF); break;
    case kSetMapMode: p.SetMapMode(r.S32(8)); break;
    case kSetBkMode: s.bkMode = r.S32(8); break;
    case kSetPolyFillMode: s.fillMode = r.S32(8); break;
    case kSetRop2: s.rop2 = r.S32(8); break;
    case kSetStretchBltMode: s.stretchMode = r.S32(8); break;
    case kSetTextAlign: s.textAlign = r.U32(8); break;
    case kSetTextColor: s.text = r.U32(8) & 0xFFFFFF; break;
    case kSetBkColor: s.bk = r.U32(8) & 0xFFFFFF; break;
    case kMoveTo: p.MoveTo(r.S32(8), r.S32(12)); break;
    case kLineTo: p.LineTo(r.S32(8), r.S32(12)); break;
    case kExcludeClipRect: case kIntersectClipRect:
      if (r.Has(8, 16)) p.ClipRect(r.S32(8), r.S32(12), r.S32(16), r.S32(20), type == kExcludeClipRect);
      break;
    case kSaveDC: p.SaveDC(); break;
    case kRestoreDC: if (r.Has(8, 4)) p.RestoreDC(r.S32(8)); break;
    case kSetWorldTransform: if (r.Has(8, 24)) p.ModifyWorld(ReadXform(r, 8), 4); break;
    case kModifyWorldTransform: if (r.Has(8, 28)) p.ModifyWorld(ReadXform(r, 8), r.U32(32)); break;
    case kSelectObject: {
      const uint32_t index = r.U32(8);
      if (!r.ok) return false;
      return (index & kStockFlag) ? p.SelectStock(index & ~kStockFlag) : p.SelectObject(index);
    }
    case kDeleteObject: {
      const uint32_t index = r.U32(8);
      return r.ok && index != 0 && p.DeleteObject(index);
    }
    case kCreatePen: {
      const uint32_t index = r.U32(8);
      Pen pen{r.U32(12), double(r.S32(16)), r.U32(24) & 0xFFFFFF};
      return r.ok && index != 0 && p.PutObject(index, pen);
    }
    case kCreateBrush: {
      const uint32_t index = r.U32(8);
      Brush brush{r.U32(12), r.U32(16) & 0xFFFFFF, static_cast<int>(r.U32(20))};
      return r.ok && index != 0 && p.PutObject(index, brush);
    }
    case kCreateMonoBrush: case kCreateDibPatternBrush: {
      const uint32_t index = r.U32(8);
      return r.ok && index != 0 && p.PutObject(index, Brush{BS_PATTERN, 0, 0});
    }
    case kCreatePalette: {
      const uint32_t index = r.U32(8);
      return r.ok && index != 0 && p.PutObject(index, Other{});
    }
    case kExtCreatePen: return PlayExtPen(p, r);
    case kCreateFont: return PlayFont(p, r);
    case kEllipse: case kRectangle: case kRoundRect: {
      const double l = r.S32(8), t = r.S32(12), rt = r.S32(16), b = r.S32(20);
      if (type == kEllipse) p.Ellipse(l, t, rt, b);
      else if (type == kRectangle) p.Rect(l, t, rt, b);
      else p.RoundRect(l, t, rt, b, r.S32(24), r.S32(28));
      break;
    }
    case kArc: case kChord: case kPie: case kArcTo: {
      const PointD start{double(r.S32(24)), double(r.S32(28))}, end{double(r.S32(32)), double(r.S32(36))};
      if (!r.ok) return false;
      p.Arc(r.S32(8), r.S32(12), r.S32(16), r.S32(20), start, end, type == kChord ? 1 : type == kPie ? 2 : 0);
      break;
    }
    case kSetArcDirection: s.clockwise = r.U32(8) == 2; break;
    case kBeginPath: p.BeginPath(); break;
    case kEndPath: p.EndPath(); break;
    case kCloseFigure: p.CloseFigure(); break;
    case kAbortPath: p.AbortPath(); break;
    case kFillPath: p.FillPath(true, false); break;
    case kStrokePath: p.FillPath(false, true); break;
    case kStrokeAndFillPath: p.FillPath(true, true); break;
    case kSelectClipPath: p.ClipPath(r.S32(8)); break;
    case kExtSelectClipRgn: return PlayClipRegion(p, r);
    case kBitBlt: case kStretchBlt: case kStretchDIBits: return PlayBlit(p, r, type);
    case kExtTextOutA: case kExtTextOutW: return PlayText(p, r, type == kExtTextOutW);
    default: break;  // comments and records not drawn here
  }
  return r.ok;
}

}  // namespace

bool PlayEnhanced(HDC dc, Bytes data, const RECT& rect) {
  const uint32_t headerSize = data.U32(4);
  if (!data.ok || data.U32(0) != kHeader || headerSize < 88 || headerSize > data.n || headerSize % 4) return false;
  const double frameL = data.S32(24), frameT = data.S32(28), frameR = data.S32(32), frameB = data.S32(36);
  const uint16_t handles = data.U16(56);
  double devX = data.S32(72), devY = data.S32(76), umX = data.S32(80) * 1000.0, umY = data.S32(84) * 1000.0;
  if (headerSize >= 108 && data.S32(100) > 0 && data.S32(104) > 0) {
    umX = data.S32(100);
    umY = data.S32(104);
  }
  if (!(devX > 0 && devY > 0 && umX > 0 && umY > 0)) {
    devX = devY = 96;
    umX = umY = 25400;
  }
  const double pxX = devX * 1000 / umX, pxY = devY * 1000 / umY;  // reference pixels per mm
  const double fl = frameL * pxX / 100, ft = frameT * pxY / 100, fw = (frameR - frameL) * pxX / 100,
               fh = (frameB - frameT) * pxY / 100;
  if (!(fw > 0 && fh > 0)) return false;

  Player player(dc, true);
  const double sx = (rect.right - rect.left) / fw, sy = (rect.bottom - rect.top) / fh;
  player.SetDestination({sx, 0, 0, sy, rect.left - fl * sx, rect.top - ft * sy});
  player.SetMetricScale(pxX, pxY);
  player.ReserveObjects(handles);

  bool sound = true;
  for (size_t off = headerSize; off < data.n;) {
    Bytes head = data.Sub(off, 8);
    const uint32_t type = head.U32(0), size = head.U32(4);
    if (!head.ok || size < 8 || size % 4 || size > data.n - off) return false;
    if (type == kEof) return sound;
    sound = PlayRecord(player, data.Sub(off, size), type) && sound;
    off += size;
  }
  return false;  // no end-of-file record
}

}  // namespace metafile
