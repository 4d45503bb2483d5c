// Inside the markup renderer: the parsed tokens, the laid-out boxes, and
// the small interface through which layout measures text and pictures.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/graphics.h"
#include "ui/render/htmlengine.h"

class THTMLPicture;
namespace AdvSmoothGDIP {
class TAdvGDIPPicture;
}

namespace Markup {

// ---- parsing ----

enum class TagKind {
  Unknown, Bold, Italic, Underline, Strike, Sub, Sup, Shadow, Anchor, Font, Para, Break, Rule, Highlight,
  Error, Blink, Body, Image, Indent, Offset, List, ListItem, Rotate, Hidden
};

struct Token {
  bool isTag = false;
  bool closing = false;
  TagKind kind = TagKind::Unknown;
  std::string text;   // a text run with its references, or the whole tag "<...>"
  std::string upper;  // a tag's text in upper case
};

// Replaces the character references of the whole text, the "<#" marker and
// line breaks. With prefix processing, "&amp;" becomes "&&" (drawn as one
// "&"), else "&".
std::string Preprocess(const std::string& text, bool prefixProcessing);
// The run references "&nbsp;", "&lt;", "&gt;".
std::string ReplaceRunReferences(const std::string& run);
// Text runs (split at blanks when word wrapping) and classified tags; a tag
// without ">" and a "<" with at most two characters left end the text.
std::vector<Token> Tokenize(const std::string& text, bool wordWrap);

// The value between the first pair of quotes after `name` in the upper-cased tag.
bool AttributeValue(const std::string& tag, const std::string& name, std::string& value);
// The first quoted value of a tag, in its own case (anchor targets, image sources).
std::string FirstQuoted(const std::string& tag);
// The quoted value after the first letter `letter` following the tag's first letter.
std::string LetterValue(const std::string& upperTag, char letter);
// A number from its first character: blanks, sign, digits or "$"/"x"/"0x" hex.
int32_t MarkupNumber(const std::string& text);
// A colour value: "#RRGGBB" or a name; clNone for an empty value.
TColor MarkupColor(const std::string& value);

// ---- boxes ----

// A font as a value: what the tags change.
struct FontSpec {
  std::string name;
  int32_t height = -11;  // framework font height (negative: pixels)
  TFontStyles style;
  TColor color = clWindowText;
  static FontSpec Of(const TFont& font);
  void ApplyTo(TFont& font) const;
  int32_t Points() const;
  void SetPoints(int32_t points);
};

enum class BoxKind { Text, Image, Bullet, Rule, Band, Zigzag, FocusRect };

struct ImageRef {
  TCustomImageList* list = nullptr;
  int32_t index = -1;
  THTMLPicture* html = nullptr;
  AdvSmoothGDIP::TAdvGDIPPicture* gdip = nullptr;
  bool stretch = false;
  RECT tile{};  // non-empty: tile the picture over this rectangle
};

struct Box {
  BoxKind kind = BoxKind::Text;
  RECT rect{};
  std::string text;
  FontSpec font;
  TColor background = clNone;  // run background, band colour
  TColor background2 = clNone; // band gradient end
  bool horizontal = true;      // band gradient direction
  bool outlineOnly = false;    // a band after a gradient: only its outline
  bool shadow = false;
  bool ellipsis = false;
  bool underscore = false;     // GDI+: the underline runs on under the following blank
  int32_t rotation = 0;        // tenths of a degree
  int32_t anchor = 0;          // 1-based anchor, 0 outside anchors
  ImageRef image;
};

struct Anchor {
  std::string target;
  RECT lastPart{-1, -1, -1, -1};  // its part on its last line
};

// The laid-out text: boxes in drawing order.
struct Layout {
  std::vector<Box> boxes;
  std::vector<Anchor> anchors;
  std::string plainText;
  std::string focusTarget;
  int32_t measuredWidth = 0;
  int32_t measuredHeight = 0;
  bool imageHit = false;         // the point is on an image inside an anchor
  std::string imageHitTarget;
  int32_t imageHitAnchor = -1;
  // Per line, for the anchor hit test: the band in which anchor text counts.
  struct HitBand {
    int32_t top, bottom;
    size_t firstBox, endBox;
  };
  std::vector<HitBand> hitBands;
};

// What layout asks of a drawing back end.
class Metrics {
public:
  virtual ~Metrics() = default;
  // Width and height of a run in the font.
  virtual SIZE TextSize(const FontSpec& font, const std::string& run) = 0;
  // Height of "gh" in the font.
  virtual int32_t TextHeight(const FontSpec& font) = 0;
  // Pixels per inch of the device (96 for GDI+, which does not scale).
  virtual int32_t PixelsPerInch() = 0;
  // The GDI+ variant's departures from the canvas renderer.
  virtual bool IsGDIP() const = 0;
};

Layout LayOut(const std::string& text, const RECT& rect, const FontSpec& baseFont, TColor entryBrush,
              const TMarkupArgs& args, Metrics& metrics);
// The anchor under the point (text in the hit bands, or an image): fills
// the result's hit fields.
void HitTest(const Layout& layout, const TMarkupArgs& args, TMarkupResult& result);

}  // namespace Markup
