// Face resolution (substitution table, fontconfig) and Pango text runs.
#include "platform/win/fonts.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <set>

namespace {

// Windows faces and the installed families that stand in for them. The
// faces of the user interface (an empty family here) all take one sans
// family, so forms, menus, lists and message boxes look alike; faces that
// documents name keep metric-compatible families, serif and monospace
// faces stay serif and monospace.
struct Substitute {
  const char* face;
  const char* family;
};
constexpr Substitute kSubstitutes[] = {
    {"ms sans serif", ""},                    {"microsoft sans serif", ""},
    {"ms shell dlg", ""},                     {"ms shell dlg 2", ""},
    {"system", ""},                           {"segoe ui", ""},
    {"tahoma", ""},                           {"verdana", ""},
    {"arial", "Liberation Sans"},             {"helvetica", "Liberation Sans"},
    {"calibri", "Liberation Sans"},           {"arial narrow", "Liberation Sans Narrow"},
    {"times new roman", "Liberation Serif"},  {"times", "Liberation Serif"},
    {"ms serif", "Liberation Serif"},         {"georgia", "DejaVu Serif"},
    {"courier new", "Liberation Mono"},       {"courier", "Liberation Mono"},
    {"consolas", "DejaVu Sans Mono"},         {"lucida console", "DejaVu Sans Mono"},
    {"fixedsys", "DejaVu Sans Mono"},         {"terminal", "DejaVu Sans Mono"},
};

// The sans family fontconfig chooses for "sans-serif", once.
const std::string& InterfaceFamily() {
  static const std::string family = [] {
    std::string out = "DejaVu Sans";
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (!pattern) return out;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcChar8* name = nullptr;
    if (match && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
      out = reinterpret_cast<const char*>(name);
    if (match) FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return out;
  }();
  return family;
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::mutex& TextMutex() {
  static std::mutex m;
  return m;
}

PangoFontMap* FontMap() {
  static PangoFontMap* map = pango_cairo_font_map_new();
  return map;
}

const std::set<std::string>& InstalledLower() {
  static const std::set<std::string> names = [] {
    std::set<std::string> s;
    for (const std::string& f : InstalledFontFamilies()) s.insert(Lower(f));
    return s;
  }();
  return names;
}

// A layout for one run; the caller unrefs it (which releases its context).
PangoLayout* MakeLayout(const FontSpec& font, std::string_view text) {
  PangoContext* ctx = pango_font_map_create_context(FontMap());
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_antialias(opts, font.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_SLIGHT);
  pango_cairo_context_set_font_options(ctx, opts);
  cairo_font_options_destroy(opts);
  pango_cairo_context_set_resolution(ctx, 96);
  PangoLayout* layout = pango_layout_new(ctx);
  g_object_unref(ctx);

  PangoFontDescription* desc = pango_font_description_new();
  std::string family = ResolveFontFamily(font.face);
  pango_font_description_set_family(desc, family.c_str());
  pango_font_description_set_absolute_size(desc, std::max(1.0, font.emPixels) * PANGO_SCALE);
  int weight = std::clamp(font.weight ? font.weight : 400, 100, 1000);
  pango_font_description_set_weight(desc, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(desc, font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  pango_layout_set_font_description(layout, desc);
  pango_font_description_free(desc);

  if (font.underline || font.strikeOut) {
    PangoAttrList* attrs = pango_attr_list_new();
    if (font.underline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
    if (font.strikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);
  }
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  // Pango wants valid UTF-8: invalid bytes become U+FFFD.
  std::string valid;
  const char* end = nullptr;
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), &end)) {
    valid.assign(text);
  } else {
    gchar* fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    valid = fixed;
    g_free(fixed);
  }
  pango_layout_set_text(layout, valid.data(), static_cast<int>(valid.size()));
  return layout;
}

}  // namespace

std::string ResolveFontFamily(std::string_view face) {
  std::string key = Lower(face);
  while (!key.empty() && key.back() == ' ') key.pop_back();
  for (const Substitute& s : kSubstitutes)
    if (key == s.face) return *s.family ? std::string(s.family) : InterfaceFamily();
  if (!key.empty() && InstalledLower().count(key)) return std::string(face);
  return InterfaceFamily();
}

bool FontFaceSubstituted(std::string_view face) {
  const std::string key = Lower(face);
  return std::any_of(std::begin(kSubstitutes), std::end(kSubstitutes),
                     [&key](const Substitute& s) { return key == s.face; });
}

bool FontFaceAvailable(std::string_view face) {
  return FontFaceSubstituted(face) || (!face.empty() && InstalledLower().count(Lower(face)));
}

std::vector<std::string> InstalledFontFamilies() {
  std::set<std::string> names;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* os = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* set = FcFontList(nullptr, pattern, os);
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcChar8* family = nullptr;
      if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch && family)
        names.insert(reinterpret_cast<const char*>(family));
    }
    FcFontSetDestroy(set);
  }
  FcObjectSetDestroy(os);
  FcPatternDestroy(pattern);
  return {names.begin(), names.end()};
}

FontMetrics GetFontMetrics(const FontSpec& font) {
  std::lock_guard lock(TextMutex());
  static std::map<std::string, FontMetrics> cache;
  std::string key = ResolveFontFamily(font.face) + "|" + std::to_string(font.emPixels) + "|" +
                    std::to_string(font.weight) + "|" + (font.italic ? "i" : "");
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  PangoLayout* layout = MakeLayout(font, "x");
  PangoContext* ctx = pango_layout_get_context(layout);
  PangoFontMetrics* m = pango_context_get_metrics(ctx, pango_layout_get_font_description(layout), nullptr);
  FontMetrics out;
  out.ascent = static_cast<double>(pango_font_metrics_get_ascent(m)) / PANGO_SCALE;
  out.descent = static_cast<double>(pango_font_metrics_get_descent(m)) / PANGO_SCALE;
  out.height = out.ascent + out.descent;
  out.aveCharWidth = static_cast<double>(pango_font_metrics_get_approximate_char_width(m)) / PANGO_SCALE;
  double digit = static_cast<double>(pango_font_metrics_get_approximate_digit_width(m)) / PANGO_SCALE;
  pango_font_metrics_unref(m);
  // Widest of a few broad letters stands in for the widest glyph.
  double widest = 0;
  for (const char* probe : {"W", "M", "@", "m"}) {
    pango_layout_set_text(layout, probe, -1);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    widest = std::max(widest, static_cast<double>(logical.width) / PANGO_SCALE);
  }
  pango_layout_set_text(layout, "i", -1);
  PangoRectangle narrow;
  pango_layout_get_extents(layout, nullptr, &narrow);
  out.maxCharWidth = widest;
  out.fixedPitch = std::abs(static_cast<double>(narrow.width) / PANGO_SCALE - widest) < 0.01;
  (void)digit;
  g_object_unref(layout);
  if (cache.size() > 1000) cache.clear();
  cache.emplace(key, out);
  return out;
}

double MeasureTextWidth(const FontSpec& font, std::string_view text) {
  if (text.empty()) return 0;
  std::lock_guard lock(TextMutex());
  PangoLayout* layout = MakeLayout(font, text);
  PangoRectangle logical;
  pango_layout_get_extents(layout, nullptr, &logical);
  g_object_unref(layout);
  return static_cast<double>(logical.width) / PANGO_SCALE;
}

double EmForCellHeight(const FontSpec& font, double cellPixels) {
  FontSpec probe = font;
  probe.emPixels = 100;
  FontMetrics m = GetFontMetrics(probe);
  return m.height > 0 ? cellPixels * 100 / m.height : cellPixels;
}

void DrawTextRun(cairo_t* cr, const FontSpec& font, double x, double y, std::string_view text) {
  if (text.empty()) return;
  std::lock_guard lock(TextMutex());
  PangoLayout* layout = MakeLayout(font, text);
  pango_cairo_update_context(cr, pango_layout_get_context(layout));
  // update_context takes the target's options; ours decide anti-aliasing.
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_antialias(opts, font.antialias ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_SLIGHT);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout), opts);
  cairo_font_options_destroy(opts);
  pango_layout_context_changed(layout);
  int baseline = pango_layout_get_baseline(layout);
  cairo_save(cr);
  cairo_translate(cr, x, y);
  if (font.angle != 0) cairo_rotate(cr, -font.angle * M_PI / 180);
  cairo_move_to(cr, 0, -static_cast<double>(baseline) / PANGO_SCALE);
  pango_cairo_show_layout(cr, layout);
  cairo_restore(cr);
  g_object_unref(layout);
}

// ------------------------------------------------------------- layout ---

namespace {

// Removes "&" prefixes: "&&" is a literal "&"; the character after a single
// "&" is underlined (the last one wins).
TextLine StripPrefix(std::string_view s, bool keepPrefix) {
  TextLine out;
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

// CR, LF and CR LF each end a line; a single line drops them.
std::vector<TextLine> SplitLines(const TextLine& all, bool single) {
  std::vector<TextLine> lines(1);
  const std::string& text = all.text;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (i == all.underline) lines.back().underline = lines.back().text.size();
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (!single) lines.emplace_back();
      continue;
    }
    lines.back().text += c;
  }
  return lines;
}

// Breaks a line at spaces where it passes `width`, by Pango's word wrapping;
// a word wider than the width stays whole on its own line. The spaces at a
// break are dropped.
std::vector<TextLine> WrapLine(const TextLine& line, const FontSpec& f, double width) {
  std::vector<std::pair<size_t, size_t>> ranges;  // byte start, length
  {
    std::lock_guard lock(TextMutex());
    PangoLayout* layout = MakeLayout(f, line.text);
    pango_layout_set_width(layout, static_cast<int>(std::min(width, 1e6) * PANGO_SCALE));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
    for (GSList* it = pango_layout_get_lines_readonly(layout); it; it = it->next) {
      auto* l = static_cast<PangoLayoutLine*>(it->data);
      ranges.emplace_back(static_cast<size_t>(l->start_index), static_cast<size_t>(l->length));
    }
    g_object_unref(layout);
  }
  std::vector<TextLine> out;
  for (size_t i = 0; i < ranges.size(); ++i) {
    auto [start, length] = ranges[i];
    start = std::min(start, line.text.size());
    length = std::min(length, line.text.size() - start);
    if (i + 1 < ranges.size())
      while (length > 0 && line.text[start + length - 1] == ' ') --length;
    TextLine l;
    l.text = line.text.substr(start, length);
    if (line.underline != std::string::npos && line.underline >= start && line.underline < start + length)
      l.underline = line.underline - start;
    out.push_back(std::move(l));
  }
  if (out.empty()) out.push_back(TextLine{});
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

size_t Utf8CharLength(std::string_view s, size_t i) {
  auto c = static_cast<unsigned char>(s[i]);
  size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return std::min(n, s.size() - i);
}

std::vector<TextLine> LayoutText(const FontSpec& f, std::string_view text, const TextLayoutOptions& o) {
  // Byte offsets below index the text as Pango sees it: valid UTF-8.
  std::string valid(text);
  if (!g_utf8_validate(valid.data(), static_cast<gssize>(valid.size()), nullptr)) {
    gchar* fixed = g_utf8_make_valid(valid.data(), static_cast<gssize>(valid.size()));
    valid = fixed;
    g_free(fixed);
  }
  TextLine all = StripPrefix(valid, !o.prefix);
  if (o.tabSpaces > 0) all.text = ExpandTabs(all.text, o.tabSpaces);
  std::vector<TextLine> lines;
  for (const TextLine& l : SplitLines(all, o.singleLine)) {
    if (o.wrapWidth > 0 && !o.singleLine) {
      for (TextLine& w : WrapLine(l, f, o.wrapWidth)) lines.push_back(std::move(w));
    } else {
      lines.push_back(l);
    }
  }
  for (TextLine& l : lines) {
    std::string before = l.text;
    if (o.trim == TextLayoutOptions::Trim::Path) l.text = PathEllipsis(f, l.text, o.trimWidth);
    else if (o.trim == TextLayoutOptions::Trim::End) l.text = EndEllipsis(f, l.text, o.trimWidth);
    if (l.text != before && l.underline >= l.text.size()) l.underline = std::string::npos;
    l.width = MeasureTextWidth(f, l.text);
  }
  return lines;
}

// fontconfig, Pango and GLib keep process-wide caches that they never free;
// the leak checker of sanitised builds is told so once, here.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libpango-1.0.so\nleak:libpangoft2-1.0.so\nleak:libpangocairo-1.0.so\n"
         "leak:libharfbuzz.so\nleak:libgobject-2.0.so\nleak:libglib-2.0.so\n";
}
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
