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

// Byte length of the UTF-8 character starting at s[i].
size_t CharLen(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return std::min(n, s.size() - i);
}

std::vector<std::string_view> Chars(std::string_view s) {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLen(s, i);
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
  CairoTarget ct(dc);
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

std::string GetTextFace(HDC h) {
  DCObj* dc = AsDC(h);
  return dc ? ResolveFontFamily(dc->s.font->log.lfFaceName) : std::string();
}

// ---------------------------------------------------------- DrawText ---

namespace {

struct Line {
  std::string text;
  size_t underline = std::string::npos;  // byte offset of the prefixed character
};

// Removes "&" prefixes: "&&" is a literal "&"; the character after a single
// "&" is underlined (the last one wins).
Line StripPrefix(std::string_view s, bool keepPrefix) {
  Line out;
  if (keepPrefix) {
    out.text = s;
    return out;
  }
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&' && i + 1 < s.size()) {
      ++i;
      if (s[i] != '&') out.underline = out.text.size();
    } else if (s[i] == '&') {
      continue;
    }
    out.text += s[i];
  }
  return out;
}

std::vector<Line> SplitLines(const Line& all, bool single) {
  std::vector<Line> lines(1);
  for (size_t i = 0; i < all.text.size(); ++i) {
    char c = all.text[i];
    if (i == all.underline) lines.back().underline = lines.back().text.size();
    if (c == '\r') continue;
    if (c == '\n') {
      if (!single) lines.emplace_back();
      continue;
    }
    lines.back().text += c;
  }
  return lines;
}

std::vector<Line> WrapLine(const Line& line, const FontSpec& f, double width) {
  std::vector<Line> out;
  const std::string& s = line.text;
  size_t start = 0;
  while (start <= s.size()) {
    size_t end = start, lastFit = std::string::npos;
    while (true) {
      size_t space = s.find(' ', end);
      size_t candidate = space == std::string::npos ? s.size() : space;
      if (MeasureTextWidth(f, std::string_view(s).substr(start, candidate - start)) <= width ||
          lastFit == std::string::npos) {
        lastFit = candidate;
        if (candidate == s.size()) break;
        end = candidate + 1;
        if (MeasureTextWidth(f, std::string_view(s).substr(start, candidate - start)) > width) break;
      } else {
        break;
      }
    }
    Line l;
    l.text = s.substr(start, lastFit - start);
    if (line.underline != std::string::npos && line.underline >= start && line.underline < lastFit)
      l.underline = line.underline - start;
    out.push_back(std::move(l));
    if (lastFit >= s.size()) break;
    start = lastFit + 1;
    while (start < s.size() && s[start] == ' ') ++start;
  }
  return out;
}

// Shortens `text` to `width` by cutting its end and appending "...".
std::string EndEllipsis(const FontSpec& f, std::string text, double width) {
  if (MeasureTextWidth(f, text) <= width) return text;
  while (!text.empty()) {
    size_t i = text.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) --i;
    text.erase(i);
    if (MeasureTextWidth(f, text + "...") <= width) break;
  }
  return text + "...";
}

// Keeps the last path component and cuts the folders before it.
std::string PathEllipsis(const FontSpec& f, const std::string& text, double width) {
  if (MeasureTextWidth(f, text) <= width) return text;
  size_t sep = text.find_last_of("/\\");
  if (sep == std::string::npos) return EndEllipsis(f, text, width);
  std::string head = text.substr(0, sep), tail = text.substr(sep);
  while (!head.empty()) {
    size_t i = head.size() - 1;
    while (i > 0 && (static_cast<unsigned char>(head[i]) & 0xC0) == 0x80) --i;
    head.erase(i);
    if (MeasureTextWidth(f, head + "..." + tail) <= width) break;
  }
  return head + "..." + tail;
}

std::string ExpandTabs(const std::string& s, int tabChars) {
  std::string out;
  for (char c : s) {
    if (c == '\t') out.append(static_cast<size_t>(std::clamp(tabChars, 1, 64)), ' ');
    else out += c;
  }
  return out;
}

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

  Line all = StripPrefix(text, format & DT_NOPREFIX);
  if (format & DT_EXPANDTABS) all.text = ExpandTabs(all.text, params ? params->iTabLength : 8);
  std::vector<Line> lines;
  for (const Line& l : SplitLines(all, single)) {
    if ((format & DT_WORDBREAK) && !single) {
      for (Line& w : WrapLine(l, f, width)) lines.push_back(std::move(w));
    } else {
      lines.push_back(l);
    }
  }
  for (Line& l : lines) {
    std::string before = l.text;
    if (format & DT_PATH_ELLIPSIS) l.text = PathEllipsis(f, l.text, width);
    else if (format & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS)) l.text = EndEllipsis(f, l.text, width);
    if (l.text != before && l.underline >= l.text.size()) l.underline = std::string::npos;
  }
  if (params) params->uiLengthDrawn = static_cast<UINT>(text.size());

  int height = lineHeight * static_cast<int>(lines.size());
  if (format & DT_CALCRECT) {
    double widest = 0;
    for (const Line& l : lines) widest = std::max(widest, MeasureTextWidth(f, l.text));
    rect->right = left + static_cast<LONG>(std::ceil(widest)) + (params ? params->iRightMargin : 0);
    rect->bottom = rect->top + height;
    return height;
  }

  int top = rect->top;
  if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) top = rect->bottom - lineHeight;

  CairoTarget ct(dc);
  if (ct.cr) {
    cairo_t* cr = ct.cr;
    ApplyMapping(cr, dc);
    if (!(format & DT_NOCLIP)) {
      cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
      cairo_clip(cr);
    }
    double baseline = top + std::round(m.ascent);
    for (const Line& l : lines) {
      double w = MeasureTextWidth(f, l.text);
      double x = left;
      if (format & DT_CENTER) x = left + std::floor((width - w) / 2);
      else if (format & DT_RIGHT) x = right - std::ceil(w);
      if (dc->s.bkMode == OPAQUE && !l.text.empty())
        FillBox(cr, x, baseline - std::round(m.ascent), x + std::ceil(w), baseline + std::round(m.descent), dc->s.bk);
      if (!(format & DT_PREFIXONLY)) Run(cr, dc, f, x, baseline, l.text, nullptr);
      if (l.underline != std::string::npos && !(format & DT_HIDEPREFIX)) {
        std::string_view s = l.text;
        double u0 = MeasureTextWidth(f, s.substr(0, l.underline));
        double u1 = MeasureTextWidth(f, s.substr(0, l.underline + CharLen(s, l.underline)));
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
