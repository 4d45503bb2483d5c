// The mini-HTML markup: one renderer family that draws a markup text into
// a rectangle, measures it and finds the anchor under a point, on a
// framework canvas (RenderMarkup) or on a GDI+ graphics (RenderMarkupGDIP),
// and StripMarkup for its plain text.
//
// A text is parsed once into tokens and laid out once into lines of boxes
// (text runs, images, bullets, rules, backgrounds); measuring, anchor
// hit-testing and both drawing back ends walk the same boxes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/forms/graphics.h"

class TCustomImageList;
class THTMLPictureCache;
class TPictureContainer;
class TGDIPPictureContainer;
namespace AdvSmoothGDIP {
class TGPGraphics;
}

// Vertical placement of a markup text in its rectangle.
enum TTextVAlignment { tvaTop, tvaCenter, tvaBottom };

// Arguments 4 to 21 and 30 to 32 of a render call.
struct TMarkupArgs {
  TCustomImageList* Images = nullptr;
  int32_t X = -1, Y = -1;  // the point to test, canvas coordinates
  int32_t FocusLink = -1;  // 0-based anchor with the keyboard focus
  int32_t HoverLink = -1;  // 1-based anchor under the mouse
  int32_t ShadowOffset = 0;
  bool CheckHotSpot = false;
  bool MeasureOnly = false;
  bool ScaleImages = false;
  bool IgnoreColors = false;
  bool BlinkOn = true;
  bool HoverStyle = false;
  bool WordWrap = true;
  double ImageScale = 1.0;
  TColor URLColor = clBlue;
  TColor HoverColor = clNone;
  TColor HoverFontColor = clNone;
  TColor ShadowColor = clGray;
  THTMLPictureCache* PictureCache = nullptr;
  TPictureContainer* PictureContainer = nullptr;         // canvas renderer
  TGDIPPictureContainer* GDIPPictureContainer = nullptr;  // GDI+ renderer
  int32_t LineSpacing = 0;
};

// Arguments 22 to 29 and the result.
struct TMarkupResult {
  bool Hit = false;  // the point lies on an anchor
  std::string AnchorTarget;
  std::string PlainText;
  std::string FocusTarget;
  int32_t MeasuredWidth = 0;
  int32_t MeasuredHeight = 0;
  int32_t LinkCount = 0;
  int32_t PointLink = -1;
  RECT LinkRect{-1, -1, -1, -1};
};

TMarkupResult RenderMarkup(TCanvas* canvas, const std::string& text, const RECT& rect, const TMarkupArgs& args);
TMarkupResult RenderMarkupGDIP(AdvSmoothGDIP::TGPGraphics* graphics, const TFont* font, const std::string& text,
                               const RECT& rect, const TMarkupArgs& args);

// The renderer's full argument list, as callers of the canvas renderer pass it.
bool RenderMarkup(TCanvas* Canvas, const std::string& Text, const RECT& Rect, TCustomImageList* Images, int32_t X,
                  int32_t Y, int32_t FocusLink, int32_t HoverLink, int32_t ShadowOffset, bool CheckHotSpot,
                  bool MeasureOnly, bool ScaleImages, bool IgnoreColors, bool BlinkOn, bool HoverStyle,
                  bool WordWrap, double ImageScale, TColor URLColor, TColor HoverColor, TColor HoverFontColor,
                  TColor ShadowColor, std::string& AnchorTarget, std::string& PlainText, std::string& FocusTarget,
                  int32_t& MeasuredWidth, int32_t& MeasuredHeight, int32_t& LinkCount, int32_t& PointLink,
                  RECT& LinkRect, THTMLPictureCache* PictureCache, TPictureContainer* PictureContainer,
                  int32_t LineSpacing);

// The plain text: "<BR>" and "<HR>" become CR LF, hidden "<Z>" parts and
// all other tags go; references stay.
std::string StripMarkup(const std::string& text);

// Colour values of the markup: "#RRGGBB" (upper-case digits) and names.
TColor MarkupHexToColor(const std::string& value);
TColor MarkupColorByName(const std::string& name);

// Bands of a gradient from one colour to the other over r, each a filled
// rectangle in pen and brush (0 bands count as 1).
void MarkupGradientRect(TCanvas* canvas, TColor from, TColor to, int32_t bands, const RECT& r, bool horizontal);

// What the controls with a markup text pass for drawing it: their images,
// pictures, colours and hover state.
struct TMarkupLook {
  TCustomImageList* Images = nullptr;
  int32_t HoverLink = -1;
  int32_t ShadowOffset = 2;
  bool Hover = false;
  bool WordWrap = true;
  TColor URLColor = clBlue, HoverColor = clNone, HoverFontColor = clNone, ShadowColor = clGray;
  THTMLPictureCache* PictureCache = nullptr;
  TPictureContainer* PictureContainer = nullptr;
  int32_t LineSpacing = 0;
  TMarkupArgs Args() const;
};

// Whether an anchor target may be opened by the desktop: http, https and
// mailto addresses only.
bool IsOpenableAnchor(const std::string& target);
// Opens such a target with the desktop's opener (one argument); false for
// any other target, which is never opened.
bool OpenAnchor(const std::string& target);

namespace Markup {
// Replaces what opens anchors (tests watch it); null restores the desktop opener.
void SetAnchorOpener(std::function<bool(const std::string&)> opener);
}  // namespace Markup
