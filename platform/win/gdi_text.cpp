// GDI text output and measuring (ExtTextOut, GetTextExtentPoint32,
// GetTextMetrics) and the DrawText layout: lines, word breaks, ellipses,
// alignment and the "&" prefix underline.
#include "platform/win/gdi_text.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/win/fonts.h"
#include "platform/win/gdi_internal.h"

using namespace gdi;

namespace {

FontSpec SpecOf(const DCObj* dc) {
  const LOGFONTA& lf = dc->s.font->log;
  FontSpec f;
  f.face = lf.lfFaceName;
  f.weight = lf.lfWeight ? static_cast<int>(lf.lfWeight) : 400;
  f.italic = lf.lfItalic;
  f.underline = lf.lfUnderline;
  f.strikeOut = lf.lfStrikeOut;
  f.antialias = lf.lfQuality != NONANTIALIASED_QUALITY;
  f.angle = lf.lfEscapement / 10.0;
  if (lf.lfHeight < 0) f.emPixels = -static_cast<double>(lf.lfHeight);
  else if (lf.lfHeight > 0) f.emPixels = EmForCellHeight(f, lf.lfHeight);
  else f.emPixels = 12;
  f.emPixels = std::min(f.emPixels, 4000.0);
  return f;
}

std::vector<std::string_view> Chars(std::string_view s) {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = Utf8CharLength(s, i);
    out.push_back(s.substr(i, n));
    i += n;
  }
  return out;
}

struct Cell {
  double width, ascent, descent;
};

Cell Measure(const FontSpec& f, std::string_view text, const int* dx) {
  FontMetrics m = GetFontMetrics(f);
  double w = 0;
  if (dx) {
    size_t n = Chars(text).size();
    for (size_t i = 0; i < n; ++i) w += dx[i];
  } else {
    w = MeasureTextWidth(f, text);
  }
  return {w, std::round(m.ascent), std::round(m.descent)};
}

void SetColor(cairo_t* cr, COLORREF c) {
  cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

void ApplyMapping(cairo_t* cr, const DCObj* dc) {
  Matrix m = LogicalToTarget(dc);
  cairo_matrix_t mx;
  cairo_matrix_init(&mx, m.a, m.b, m.c, m.d, m.e, m.f);
  cairo_transform(cr, &mx);
}

void FillBox(cairo_t* cr, double l, double t, double r, double b, COLORREF c) {
  cairo_save(cr);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  SetColor(cr, c);
  cairo_rectangle(cr, l, t, r - l, b - t);
  cairo_fill(cr);
  cairo_restore(cr);
}

// Draws a run with its baseline's left end at (x, y), logical coordinates.
void Run(cairo_t* cr, const DCObj* dc, const FontSpec& f, double x, double y, std::string_view text, const int* dx) {
  SetColor(cr, dc->s.text);
  if (!dx) {
    DrawTextRun(cr, f, x, y, text);
    return;
  }
  double a = -f.angle * M_PI / 180, pos = 0;
  size_t i = 0;
  for (std::string_view ch : Chars(text)) {
    DrawTextRun(cr, f, x + pos * std::cos(a), y + pos * std::sin(a), ch);
    pos += dx[i++];
  }
}

}  // namespace

UINT SetTextAlign(HDC h, UINT align) {
  DCObj* dc = AsDC(h);
  if (!dc) return static_cast<UINT>(-1);
  return std::exchange(dc->s.textAlign, align);
}

UINT GetTextAlign(HDC h) {
  DCObj* dc = AsDC(h);
  return dc ? dc->s.textAlign : static_cast<UINT>(-1);
}

BOOL ExtTextOut(HDC h, int x, int y, UINT options, const RECT* rect, std::string_view text, const int* dx) {
  DCObj* dc = AsDC(h);
  if (!dc) return FALSE;
  FontSpec f = SpecOf(dc);
  Cell cell = text.empty() ? Cell{0, 0, 0} : Measure(f, text, dx);
  UINT align = dc->s.textAlign;
  if (align & TA_UPDATECP) {
    x = dc->s.pos.x;
    y = dc->s.pos.y;
  }
  // Offsets of the baseline's left end from the reference point, before rotation.
  double ox = 0, oy = 0;
  if ((align & TA_CENTER) == TA_CENTER) ox = -cell.width / 2;
  else if (align & TA_RIGHT) ox = -cell.width;
  if ((align & TA_BASELINE) == TA_BASELINE) oy = 0;
  else if (align & TA_BOTTOM) oy = -cell.descent;
  else oy = cell.ascent;
  if (align & TA_UPDATECP) {
    int advance = static_cast<int>(std::lround(cell.width));
    dc->s.pos.x += (align & TA_CENTER) == TA_CENTER ? 0 : (align & TA_RIGHT) ? -advance : advance;
  }
  // Only pixels near the text (or inside the rectangle) can change.
  Matrix m = LogicalToTarget(dc);
  double scale = std::sqrt(std::abs(m.a * m.d - m.b * m.c));
  double reach = (cell.width + 2 * (cell.ascent + cell.descent) + 4) * scale;
  POINT at = TargetPoint(dc, x, y);
  RECT area{static_cast<LONG>(at.x - reach), static_cast<LONG>(at.y - reach), static_cast<LONG>(at.x + reach),
            static_cast<LONG>(at.y + reach)};
  if (rect && (options & ETO_OPAQUE)) {
    RECT r = TargetRect(dc, rect->left, rect->top, rect->right, rect->bottom);
    area = {std::min(area.left, r.left), std::min(area.top, r.top), std::max(area.right, r.right),
            std::max(area.bottom, r.bottom)};
  }
  CairoTarget ct(dc, true, &area);
  if (!ct.cr) return TRUE;
  cairo_t* cr = ct.cr;
  ApplyMapping(cr, dc);
  if (rect && (options & ETO_CLIPPED)) {
    cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_clip(cr);
  }
  if (rect && (options & ETO_OPAQUE)) FillBox(cr, rect->left, rect->top, rect->right, rect->bottom, dc->s.bk);
  if (text.empty()) return TRUE;
  double a = -f.angle * M_PI / 180;
  double bx = x + ox * std::cos(a) - oy * std::sin(a), by = y + ox * std::sin(a) + oy * std::cos(a);
  if (dc->s.bkMode == OPAQUE && !(options & ETO_OPAQUE) && f.angle == 0)
    FillBox(cr, std::round(bx), by - cell.ascent, std::round(bx + cell.width), by + cell.descent, dc->s.bk);
  Run(cr, dc, f, std::round(bx), std::round(by), text, dx);
  return TRUE;
}

BOOL TextOut(HDC dc, int x, int y, std::string_view text) { return ExtTextOut(dc, x, y, 0, nullptr, text, nullptr); }

BOOL GetTextExtentPoint32(HDC h, std::string_view text, SIZE* size) {
  DCObj* dc = AsDC(h);
  if (!dc || !size) return FALSE;
  FontSpec f = SpecOf(dc);
  Cell cell = Measure(f, text, nullptr);
  *size = {static_cast<LONG>(std::lround(cell.width)), static_cast<LONG>(cell.ascent + cell.descent)};
  return TRUE;
}

BOOL GetTextMetrics(HDC h, TEXTMETRIC* tm) {
  DCObj* dc = AsDC(h);
  if (!dc || !tm) return FALSE;
  FontSpec f = SpecOf(dc);
  FontMetrics m = GetFontMetrics(f);
  const LOGFONTA& lf = dc->s.font->log;
  *tm = TEXTMETRIC{};
  tm->tmAscent = static_cast<LONG>(std::lround(m.ascent));
  tm->tmDescent = static_cast<LONG>(std::lround(m.descent));
  tm->tmHeight = tm->tmAscent + tm->tmDescent;
  tm->tmInternalLeading = std::max<LONG>(0, tm->tmHeight - static_cast<LONG>(std::lround(f.emPixels)));
  tm->tmAveCharWidth = static_cast<LONG>(std::lround(m.aveCharWidth));
  tm->tmMaxCharWidth = static_cast<LONG>(std::lround(m.maxCharWidth));
  tm->tmWeight = f.weight;
  tm->tmItalic = lf.lfItalic;
  tm->tmUnderlined = lf.lfUnderline;
  tm->tmStruckOut = lf.lfStrikeOut;
  tm->tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
  // Bit 0 set means variable pitch; outline fonts are vector and TrueType fonts.
  tm->tmPitchAndFamily = static_cast<BYTE>((lf.lfPitchAndFamily & 0xF0) | (m.fixedPitch ? 0 : TMPF_FIXED_PITCH) |
                                           TMPF_VECTOR | TMPF_TRUETYPE);
  return TRUE;
}

BOOL GetCharWidth32(HDC h, UINT first, UINT last, int* widths) {
  DCObj* dc = AsDC(h);
  if (!dc || !widths || last < first || last - first > 0xFFFF) return FALSE;
  FontSpec f = SpecOf(dc);
  for (UINT c = first; c <= last; ++c) {
    std::string ch;
    if (c < 0x80) {
      ch += static_cast<char>(c);
    } else if (c < 0x800) {
      ch += static_cast<char>(0xC0 | (c >> 6));
      ch += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      ch += static_cast<char>(0xE0 | ((c >> 12) & 0x0F));
      ch += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      ch += static_cast<char>(0x80 | (c & 0x3F));
    }
    widths[c - first] = static_cast<int>(std::lround(MeasureTextWidth(f, ch)));
  }
  return TRUE;
}

// ---------------------------------------------------------- DrawText ---

namespace {

}  // namespace

int DrawTextEx(HDC h, std::string_view text, RECT* rect, UINT format, DRAWTEXTPARAMS* params) {
  DCObj* dc = AsDC(h);
  if (!dc || !rect) return 0;
  FontSpec f = SpecOf(dc);
  f.angle = 0;
  FontMetrics m = GetFontMetrics(f);
  int lineHeight = static_cast<int>(std::lround(m.ascent) + std::lround(m.descent));
  int left = rect->left + (params ? params->iLeftMargin : 0);
  int right = rect->right - (params ? params->iRightMargin : 0);
  double width = std::max(0, right - left);
  bool single = format & DT_SINGLELINE;

  TextLayoutOptions opts;
  opts.prefix = !(format & DT_NOPREFIX);
  opts.singleLine = single;
  opts.wrapWidth = (format & DT_WORDBREAK) ? std::max(width, 1.0) : 0;
  opts.tabSpaces = (format & DT_EXPANDTABS) ? (params ? params->iTabLength : 8) : 0;
  opts.trimWidth = width;
  // An empty rectangle (measuring from nothing) has no width to trim to.
  if (width <= 0) opts.trim = TextLayoutOptions::Trim::None;
  else if (format & DT_PATH_ELLIPSIS) opts.trim = TextLayoutOptions::Trim::Path;
  else if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) opts.trim = TextLayoutOptions::Trim::End;
  std::vector<TextLine> lines = LayoutText(f, text, opts);
  if (params) params->uiLengthDrawn = static_cast<UINT>(text.size());

  int height = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    double widest = 0;
    for (const TextLine& l : lines) widest = std::max(widest, l.width);
    rect->right = left + static_cast<LONG>(std::ceil(widest)) + (params ? params->iRightMargin : 0);
    rect->bottom = rect->top + height;
    return height;
  }

  int top = rect->top;
  if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;

  RECT area = TargetRect(dc, rect->left, rect->top, rect->right, rect->bottom);
  CairoTarget ct(dc, true, (format & DT_NOCLIP) ? nullptr : &area);
  if (ct.cr) {
    cairo_t* cr = ct.cr;
    ApplyMapping(cr, dc);
    if (!(format & DT_NOCLIP)) {
      cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
      cairo_clip(cr);
    }
    double baseline = top + std::round(m.ascent);
    for (const TextLine& l : lines) {
      double w = l.width;
      double x = left;
      if (format & DT_CENTER) x = left + std::floor((width - w) / 2);
      else if (format & DT_RIGHT) x = right - std::ceil(w);
      if (dc->s.bkMode == OPAQUE && !l.text.empty())
        FillBox(cr, x, baseline - std::round(m.ascent), x + std::ceil(w), baseline + std::round(m.descent), dc->s.bk);
      if (!(format & DT_PREFIXONLY)) Run(cr, dc, f, x, baseline, l.text, nullptr);
      if (l.underline != std::string::npos && !(format & DT_HIDEPREFIX)) {
        std::string_view s = l.text;
        double u0 = MeasureTextWidth(f, s.substr(0, l.underline));
        double u1 = MeasureTextWidth(f, s.substr(0, l.underline + Utf8CharLength(s, l.underline)));
        double thick = std::max(1.0, std::round(f.emPixels / 14));
        FillBox(cr, std::round(x + u0), baseline + 1, std::round(x + u1), baseline + 1 + thick, dc->s.text);
      }
      baseline += lineHeight;
    }
  }
  return top - rect->top + height;
}

int DrawText(HDC dc, std::string_view text, RECT* rect, UINT format) {
  return DrawTextEx(dc, text, rect, format, nullptr);
}
