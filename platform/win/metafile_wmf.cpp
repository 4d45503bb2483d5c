// The Windows-metafile walker: an optional placeable header, the metafile
// header, then records whose size counts 16-bit words, each checked against
// the bytes that remain before it is played. Most parameters come in reverse
// order (y before x, bottom-right before top-left).
#include "platform/rtl/encoding.h"
#include "platform/win/gdi_text.h"
#include "platform/win/metafile_internal.h"

namespace metafile {

namespace {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7u;

// Parameter i (16-bit words after the function number).
double P(Bytes& r, size_t i) { return r.S16(6 + 2 * i); }

bool ReadPoints16(Bytes& r, size_t off, size_t count, std::vector<PointD>& out) {
  if (off > r.n || count > (r.n - off) / 4) return false;
  out.clear();
  for (size_t i = 0; i < count; ++i) out.push_back({double(r.S16(off + 4 * i)), double(r.S16(off + 4 * i + 2))});
  return r.ok;
}

bool PlayPolyPolygon(Player& p, Bytes& r) {
  const size_t polys = r.U16(6);
  if (!r.ok || polys > (r.n - 8) / 2) return false;
  std::vector<std::vector<PointD>> split;
  size_t at = 8 + polys * 2;
  for (size_t i = 0; i < polys; ++i) {
    std::vector<PointD> pts;
    const size_t n = r.U16(8 + 2 * i);
    if (!ReadPoints16(r, at, n, pts)) return false;
    at += n * 4;
    split.push_back(std::move(pts));
  }
  p.PolyPoly(split, true);
  return true;
}

std::u16string Widen(Bytes& r, size_t off, size_t count) {
  std::u16string text;
  for (size_t i = 0; i < count; ++i) text.push_back(static_cast<char16_t>(Win1252ToUnicode(r.U8(off + i))));
  return text;
}

bool PlayTextOut(Player& p, Bytes& r) {
  const size_t len = r.U16(6), padded = (len + 1) & ~size_t{1};
  if (!r.ok || !r.Has(8, padded + 4)) return false;
  const std::u16string text = Widen(r, 8, len);
  p.Text(r.S16(8 + padded + 2), r.S16(8 + padded), text, {}, 0, std::nullopt);
  return r.ok;
}

bool PlayExtTextOut(Player& p, Bytes& r) {
  const double y = P(r, 0), x = P(r, 1);
  const size_t count = r.U16(10);
  const UINT options = r.U16(12);
  size_t at = 14;
  std::optional<RECT> rect;
  if (options & (ETO_OPAQUE | ETO_CLIPPED)) {
    rect = RECT{r.S16(14), r.S16(16), r.S16(18), r.S16(20)};
    at = 22;
  }
  if (!r.ok || !r.Has(at, count)) return false;
  const std::u16string text = Widen(r, at, count);
  at += (count + 1) & ~size_t{1};
  std::vector<int32_t> dx;
  if (at <= r.n && (r.n - at) / 2 >= count)
    for (size_t i = 0; i < count; ++i) dx.push_back(r.S16(at + 2 * i));
  p.Text(x, y, text, dx, options, rect);
  return r.ok;
}

bool PlayFont(Player& p, Bytes& r) {
  Font font;
  LOGFONTW& lf = font.log;
  lf.lfHeight = r.S16(6);
  lf.lfWidth = r.S16(8);
  lf.lfEscapement = r.S16(10);
  lf.lfOrientation = r.S16(12);
  lf.lfWeight = r.S16(14);
  lf.lfItalic = r.U8(16);
  lf.lfUnderline = r.U8(17);
  lf.lfStrikeOut = r.U8(18);
  lf.lfCharSet = r.U8(19);
  lf.lfQuality = r.U8(22);
  lf.lfPitchAndFamily = r.U8(23);
  if (!r.ok) return false;
  for (size_t i = 0; i < LF_FACESIZE - 1 && r.Has(24 + i, 1) && r.p[24 + i]; ++i)
    lf.lfFaceName[i] = static_cast<char16_t>(Win1252ToUnicode(r.p[24 + i]));
  return p.AddObject(font);
}

// STRETCHDIB, DIBSTRETCHBLT and DIBBITBLT: a packed DIB after the parameters.
bool PlayDibBlit(Player& p, Bytes& r, uint16_t fn) {
  const DWORD rop = r.U32(6);
  UINT usage = DIB_RGB_COLORS;
  size_t i = 2;  // parameter index after the raster operation
  if (fn == 0x0F43) usage = r.U16(6 + 2 * i++);
  double hSrc = 0, wSrc = 0;
  if (fn != 0x0940) {
    hSrc = P(r, i++);
    wSrc = P(r, i++);
  }
  const double ySrc = P(r, i++), xSrc = P(r, i++);
  double h = P(r, i++), w = P(r, i++);
  const double y = P(r, i++), x = P(r, i++);
  if (fn == 0x0940) {
    hSrc = h;
    wSrc = w;
  }
  if (!r.ok) return false;
  const size_t at = 6 + 2 * i;
  std::optional<Dib> dib = ParsePackedDib(r.Sub(at, r.n - at), usage);
  if (!dib) return r.ok;
  // Only STRETCHDIB counts source rows as the DIB stores them.
  const int top = fn != 0x0F43 && dib->height > 0 ? dib->height - int(ySrc) - int(hSrc) : int(ySrc);
  p.StretchDib(x, y, w, h, int(xSrc), top, int(wSrc), int(hSrc), *dib, rop);
  return true;
}

bool PlayRecord(Player& p, Bytes r, uint16_t fn) {
  State& s = p.s;
  std::vector<PointD> pts;
  switch (fn) {
    case 0x001E: p.SaveDC(); break;
    case 0x0127: p.RestoreDC(r.S16(6)); break;
    case 0x0102: s.bkMode = r.U16(6); break;
    case 0x0104: s.rop2 = r.U16(6); break;
    case 0x0106: s.fillMode = r.U16(6); break;
    case 0x0107: s.stretchMode = r.U16(6); break;
    case 0x012E: s.textAlign = r.U16(6); break;
    case 0x0201: s.bk = r.U32(6) & 0xFFFFFF; break;
    case 0x0209: s.text = r.U32(6) & 0xFFFFFF; break;
    case 0x020B: s.windowOrg = {P(r, 1), P(r, 0)}; break;
    case 0x020C: s.windowExt = {P(r, 1), P(r, 0)}; break;
    case 0x020F: s.windowOrg = {s.windowOrg.x + P(r, 1), s.windowOrg.y + P(r, 0)}; break;
    case 0x0400: p.ScaleExtent(s.windowExt, r.S16(12), r.S16(10), r.S16(8), r.S16(6)); break;
    case 0x0213: p.LineTo(P(r, 1), P(r, 0)); break;
    case 0x0214: p.MoveTo(P(r, 1), P(r, 0)); break;
    case 0x0415: case 0x0416:
      if (r.Has(6, 8)) p.ClipRect(P(r, 3), P(r, 2), P(r, 1), P(r, 0), fn == 0x0415);
      break;
    case 0x041B: if (r.Has(6, 8)) p.Rect(P(r, 3), P(r, 2), P(r, 1), P(r, 0)); break;
    case 0x0418: if (r.Has(6, 8)) p.Ellipse(P(r, 3), P(r, 2), P(r, 1), P(r, 0)); break;
    case 0x061C: if (r.Has(6, 12)) p.RoundRect(P(r, 5), P(r, 4), P(r, 3), P(r, 2), P(r, 1), P(r, 0)); break;
    case 0x0817: case 0x081A: case 0x0830:
      if (!r.Has(6, 16)) return false;
      p.Arc(P(r, 7), P(r, 6), P(r, 5), P(r, 4), {P(r, 3), P(r, 2)}, {P(r, 1), P(r, 0)},
            fn == 0x0830 ? 1 : fn == 0x081A ? 2 : 0);
      break;
    case 0x0324: case 0x0325:
      if (!ReadPoints16(r, 8, r.U16(6), pts)) return false;
      p.Poly(pts, fn == 0x0324, false);
      break;
    case 0x0538: return PlayPolyPolygon(p, r);
    case 0x041F: p.SetPixel(P(r, 3), P(r, 2), r.U32(6) & 0xFFFFFF); break;
    case 0x0521: return PlayTextOut(p, r);
    case 0x0A32: return PlayExtTextOut(p, r);
    case 0x02FA: {
      Pen pen{r.U16(6), P(r, 1), r.U32(12) & 0xFFFFFF};
      return r.ok && p.AddObject(pen);
    }
    case 0x02FC: {
      Brush brush{r.U16(6), r.U32(8) & 0xFFFFFF, r.U16(12)};
      return r.ok && p.AddObject(brush);
    }
    case 0x02FB: return PlayFont(p, r);
    case 0x01F9: case 0x0142: return p.AddObject(Brush{BS_PATTERN, 0, 0});
    case 0x00F7: case 0x06FF: return p.AddObject(Other{});
    case 0x012D: return r.Has(6, 2) && p.SelectObject(r.U16(6));
    case 0x01F0: return r.Has(6, 2) && p.DeleteObject(r.U16(6));
    case 0x0F43: case 0x0B41: case 0x0940: return PlayDibBlit(p, r, fn);
    case 0x061D:
      if (!r.Has(6, 12)) return false;
      p.PatRect(P(r, 5), P(r, 4), P(r, 3), P(r, 2), r.U32(6));
      break;
    default: break;  // escapes, palettes, viewport records and others not drawn here
  }
  return r.ok;
}

}  // namespace

bool PlayWindows(HDC dc, Bytes data, const RECT& rect) {
  size_t off = 0;
  PointD org, ext{double(rect.right - rect.left), double(rect.bottom - rect.top)};
  if (data.U32(0) == kPlaceableKey) {
    const int16_t l = data.S16(6), t = data.S16(8), r = data.S16(10), b = data.S16(12);
    if (!data.ok) return false;
    org = {double(l), double(t)};
    ext = {double(r - l), double(b - t)};
    off = 22;
  }
  const uint16_t type = data.U16(off), headerWords = data.U16(off + 2), objects = data.U16(off + 10);
  if (!data.ok || (type != 1 && type != 2) || headerWords != 9 || !data.Has(off, 18)) return false;
  off += 18;

  Player player(dc, false);
  player.SetPictureRect(rect);
  player.s.windowOrg = org;
  player.s.windowExt = ext;
  player.ReserveObjects(objects);

  bool sound = true;
  while (off < data.n) {
    Bytes head = data.Sub(off, 6);
    const uint32_t words = head.U32(0);
    const uint16_t fn = head.U16(4);
    if (!head.ok || words < 3 || words > (data.n - off) / 2) return false;
    if (fn == 0) return sound;
    sound = PlayRecord(player, data.Sub(off, size_t{words} * 2), fn) && sound;
    off += size_t{words} * 2;
  }
  return false;  // no end record
}

}  // namespace metafile
