// GDI+ font families, fonts, string formats, DrawString and MeasureString,
// laid out by the same routine and measured by the same fonts as GDI text.
#include <algorithm>
#include <cmath>

#include "platform/win/gdiplus_internal.h"

double GpFont::Pixels() const {
  switch (unit) {
    case UnitPoint: return size * 96.0 / 72.0;
    case UnitInch: return size * 96.0;
    case UnitDocument: return size * 96.0 / 300.0;
    case UnitMillimeter: return size * 96.0 / 25.4;
    default: return size;  // world and pixel
  }
}

FontSpec GpFont::Spec(bool antialias) const {
  FontSpec f;
  f.face = family;
  f.emPixels = std::clamp(Pixels(), 1.0, 4000.0);
  f.weight = (style & FontStyleBold) ? 700 : 400;
  f.italic = style & FontStyleItalic;
  f.underline = style & FontStyleUnderline;
  f.strikeOut = style & FontStyleStrikeout;
  f.antialias = antialias;
  return f;
}

GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection*, GpFontFamily** family) {
  if (!name || !family) return InvalidParameter;
  *family = nullptr;
  std::string face = WideToUtf8(name, -1);
  if (!FontFaceAvailable(face)) return FontFamilyNotFound;
  *family = new GpFontFamily{face};
  return Ok;
}

GpStatus GdipDeleteFontFamily(GpFontFamily* family) {
  if (!family) return InvalidParameter;
  delete family;
  return Ok;
}

GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, int style, int unit, GpFont** font) {
  if (!family || !font || !(size > 0) || unit == UnitDisplay || unit < UnitWorld || unit > UnitMillimeter)
    return InvalidParameter;
  *font = new GpFont{family->name, size, style, unit};
  return Ok;
}

GpStatus GdipDeleteFont(GpFont* font) {
  if (!font) return InvalidParameter;
  delete font;
  return Ok;
}

GpStatus GdipCreateStringFormat(int flags, LANGID, GpStringFormat** format) {
  if (!format) return InvalidParameter;
  *format = new GpStringFormat;
  (*format)->flags = flags;
  return Ok;
}

GpStatus GdipDeleteStringFormat(GpStringFormat* format) {
  if (!format) return InvalidParameter;
  delete format;
  return Ok;
}

namespace {

template <typename T>
GpStatus SetField(GpStringFormat* format, int T::*field, int value, int low, int high) {
  if (!format || value < low || value > high) return InvalidParameter;
  format->*field = value;
  return Ok;
}

// Lines of `text` laid out in `layout` as GDI+ lays them out: words wrap
// at the rectangle's width unless NoWrap, trimming cuts lines wider than it.
struct Laid {
  std::vector<TextLine> lines;
  double lineHeight = 0, ascent = 0;
  double width = 0, height = 0;
};

Laid Layout(const FontSpec& f, const std::string& text, const GpRectF& layout, const GpStringFormat& fmt) {
  Laid out;
  FontMetrics m = GetFontMetrics(f);
  out.lineHeight = m.height;
  out.ascent = m.ascent;
  TextLayoutOptions o;
  o.prefix = fmt.hotkey != HotkeyPrefixNone;
  bool bounded = layout.Width > 0;
  if (bounded && !(fmt.flags & StringFormatFlagsNoWrap)) o.wrapWidth = layout.Width;
  if (bounded) {
    o.trimWidth = layout.Width;
    if (fmt.trimming == StringTrimmingEllipsisPath) o.trim = TextLayoutOptions::Trim::Path;
    else if (fmt.trimming == StringTrimmingEllipsisCharacter || fmt.trimming == StringTrimmingEllipsisWord)
      o.trim = TextLayoutOptions::Trim::End;
  }
  out.lines = LayoutText(f, text, o);
  if (fmt.hotkey == HotkeyPrefixHide)
    for (TextLine& l : out.lines) l.underline = std::string::npos;
  // A bounded height keeps the lines that fit (at least one); with an
  // ellipsis trimming the last kept line ends in "..." when text was cut.
  if (layout.Height > 0 && out.lineHeight > 0) {
    auto fit = static_cast<size_t>(std::max(1.0, std::floor(layout.Height / out.lineHeight + 1e-6)));
    if (fit < out.lines.size()) {
      if (o.trim != TextLayoutOptions::Trim::None) {
        std::string rest;
        for (size_t i = fit - 1; i < out.lines.size(); ++i) rest += (rest.empty() ? "" : " ") + out.lines[i].text;
        TextLayoutOptions single = o;
        single.prefix = false;
        single.singleLine = true;
        single.wrapWidth = 0;
        size_t underline = out.lines[fit - 1].underline;
        out.lines[fit - 1] = LayoutText(f, rest, single).front();
        if (out.lines[fit - 1].text == rest) {  // it fits: mark the cut anyway
          single.trimWidth = out.lines[fit - 1].width - 1;
          out.lines[fit - 1] = LayoutText(f, rest + " ", single).front();
        }
        if (underline < out.lines[fit - 1].text.size()) out.lines[fit - 1].underline = underline;
      }
      out.lines.resize(fit);
    }
  }
  for (const TextLine& l : out.lines) out.width = std::max(out.width, l.width);
  out.height = out.lineHeight * static_cast<double>(out.lines.size());
  return out;
}

double AlignedOffset(int align, double room, double used) {
  if (room <= 0) return align == StringAlignmentCenter ? -used / 2 : align == StringAlignmentFar ? -used : 0;
  return align == StringAlignmentCenter ? (room - used) / 2 : align == StringAlignmentFar ? room - used : 0;
}

bool TextAntialias(const GpGraphics* g) {
  return g->textHint != TextRenderingHintSingleBitPerPixel && g->textHint != TextRenderingHintSingleBitPerPixelGridFit;
}

}  // namespace

GpStatus GdipSetStringFormatAlign(GpStringFormat* f, int align) {
  return SetField<GpStringFormat>(f, &GpStringFormat::align, align, 0, 2);
}
GpStatus GdipSetStringFormatLineAlign(GpStringFormat* f, int align) {
  return SetField<GpStringFormat>(f, &GpStringFormat::lineAlign, align, 0, 2);
}
GpStatus GdipSetStringFormatTrimming(GpStringFormat* f, int trimming) {
  return SetField<GpStringFormat>(f, &GpStringFormat::trimming, trimming, 0, 5);
}
GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* f, int prefix) {
  return SetField<GpStringFormat>(f, &GpStringFormat::hotkey, prefix, 0, 2);
}

GpStatus GdipMeasureString(GpGraphics* g, const WCHAR* text, int length, const GpFont* font, const GpRectF* layout,
                           const GpStringFormat* format, GpRectF* bounds, int* fitted, int* lines) {
  if (!g || !text || !font || !layout || !bounds) return InvalidParameter;
  GpStringFormat fmt = format ? *format : GpStringFormat{};
  std::string utf8 = WideToUtf8(text, length);
  Laid laid = Layout(font->Spec(TextAntialias(g)), utf8, *layout, fmt);
  double x = layout->X + AlignedOffset(fmt.align, layout->Width, laid.width);
  double y = layout->Y + AlignedOffset(fmt.lineAlign, layout->Height, laid.height);
  *bounds = {static_cast<REAL>(x), static_cast<REAL>(y), static_cast<REAL>(laid.width), static_cast<REAL>(laid.height)};
  if (fitted) *fitted = length < 0 ? static_cast<int>(std::wcslen(text)) : length;
  if (lines) *lines = static_cast<int>(laid.lines.size());
  return Ok;
}

GpStatus GdipDrawString(GpGraphics* g, const WCHAR* text, int length, const GpFont* font, const GpRectF* layout,
                        const GpStringFormat* format, const GpBrush* brush) {
  if (!g || !text || !font || !layout || !brush) return InvalidParameter;
  GpStringFormat fmt = format ? *format : GpStringFormat{};
  FontSpec spec = font->Spec(TextAntialias(g));
  Laid laid = Layout(spec, WideToUtf8(text, length), *layout, fmt);
  // The laid-out box, widened for glyphs that overhang it.
  double slack = spec.emPixels;
  double bx = layout->X + AlignedOffset(fmt.align, layout->Width, laid.width);
  double by = layout->Y + AlignedOffset(fmt.lineAlign, layout->Height, laid.height);
  RECT area = DeviceExtents(g, [&](cairo_t* c) {
    cairo_rectangle(c, bx - slack, by - slack, laid.width + 2 * slack, laid.height + 2 * slack);
  }, nullptr);
  GpContext ctx(g, &area);
  cairo_t* cr = ctx.Cr();
  if (!cr) return Ok;
  // Text sits on pixel corners like GDI text: undo the pixel-centre shift.
  cairo_translate(cr, -0.5, -0.5);
  if (layout->Width > 0 && layout->Height > 0 && !(fmt.flags & StringFormatFlagsNoClip)) {
    cairo_rectangle(cr, layout->X + 0.5, layout->Y + 0.5, layout->Width, layout->Height);
    cairo_clip(cr);
  }
  if (!SetBrush(cr, brush)) return InvalidParameter;
  double top = layout->Y + 0.5 + AlignedOffset(fmt.lineAlign, layout->Height, laid.height);
  for (const TextLine& l : laid.lines) {
    double x = layout->X + 0.5 + AlignedOffset(fmt.align, layout->Width, l.width);
    DrawTextRun(cr, spec, std::round(x), std::round(top + laid.ascent), l.text);
    if (l.underline != std::string::npos) {
      std::string_view s = l.text;
      double u0 = MeasureTextWidth(spec, s.substr(0, l.underline));
      double u1 = MeasureTextWidth(spec, s.substr(0, l.underline + Utf8CharLength(s, l.underline)));
      double thick = std::max(1.0, std::round(spec.emPixels / 14));
      cairo_rectangle(cr, std::round(x + u0), std::round(top + laid.ascent) + 1, u1 - u0, thick);
      cairo_fill(cr);
    }
    top += laid.lineHeight;
  }
  return Ok;
}
