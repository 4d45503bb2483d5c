// Fonts for GDI and GDI+ alike: Windows face names resolved to installed
// families through one substitution table and fontconfig, and text measured
// and drawn with Pango over cairo, so that both APIs agree on every width.
#pragma once

#include "platform/win/drawlibs.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A font as both APIs ask for it, sizes in device pixels.
struct FontSpec {
  std::string face;       // as the caller names it ("Tahoma", "Courier New"...)
  double emPixels = 13;   // character height (em size)
  int weight = 400;       // 100..900
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  bool antialias = true;
  double angle = 0;  // degrees counter-clockwise
};

struct FontMetrics {
  double ascent = 0;   // above the baseline
  double descent = 0;  // below the baseline
  double height = 0;   // ascent + descent: the line's cell height
  double aveCharWidth = 0;
  double maxCharWidth = 0;
  bool fixedPitch = false;
};

// The installed family that draws `face`: the substitution table for the
// usual Windows faces, the face itself when installed, else the default family.
std::string ResolveFontFamily(std::string_view face);
// True when `face` is in the substitution table or installed.
bool FontFaceAvailable(std::string_view face);
// True when `face` is one of the usual Windows faces that the substitution
// table draws with an installed family (whether or not it is installed).
bool FontFaceSubstituted(std::string_view face);
// Families installed on the system, sorted, without duplicates.
std::vector<std::string> InstalledFontFamilies();

FontMetrics GetFontMetrics(const FontSpec& font);
// Advance width of a UTF-8 string, in pixels (not rounded).
double MeasureTextWidth(const FontSpec& font, std::string_view text);
// The em size whose cell height (ascent + descent) is `cellPixels`.
double EmForCellHeight(const FontSpec& font, double cellPixels);
// Draws `text` with its baseline's left end at (x, y) in the context's user
// space, in the context's current source.
void DrawTextRun(cairo_t* cr, const FontSpec& font, double x, double y, std::string_view text);

// Breaking text into lines, shared by GDI's DrawText and GDI+'s DrawString.
struct TextLayoutOptions {
  bool prefix = false;      // "&x" underlines x, "&&" is "&"
  bool singleLine = false;  // line breaks do not break
  double wrapWidth = 0;     // > 0: words wrap at this width
  enum class Trim { None, End, Path } trim = Trim::None;
  double trimWidth = 0;     // lines wider than this are trimmed with "..."
  int tabSpaces = 0;        // > 0: tabs become this many spaces
};

struct TextLine {
  std::string text;
  size_t underline = std::string::npos;  // byte offset of the prefixed character
  double width = 0;
};

std::vector<TextLine> LayoutText(const FontSpec& font, std::string_view text, const TextLayoutOptions& options);
// Byte length of the UTF-8 character that starts at s[i].
size_t Utf8CharLength(std::string_view s, size_t i);
