// Laying markup out: tokens into lines of boxes, with the tags' effects on
// fonts, colours, anchors, lists, images and backgrounds.
//
// Sections: fonts | the layouter's state | runs | tags | lines | hit test
#include <algorithm>
#include <cmath>

#include "platform/forms/imglist.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/olepicture.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/gdippicturecontainer.h"
#include "ui/render/htmlengine_internal.h"
#include "ui/render/htmlpicture.h"
#include "ui/render/shellicons.h"

namespace Markup {

// ---- fonts ----

FontSpec FontSpec::Of(const TFont& font) {
  FontSpec f;
  f.name = font.Name();
  f.height = font.Height();
  f.style = font.Style();
  f.color = font.Color();
  return f;
}

void FontSpec::ApplyTo(TFont& font) const {
  font.SetName(name);
  font.SetHeight(height);
  font.SetStyle(style);
  font.SetColor(color);
}

int32_t FontSpec::Points() const {
  if (height > 0) return height;
  return MulDiv(-height, 72, 96);
}

void FontSpec::SetPoints(int32_t points) { height = -MulDiv(points, 96, 72); }

namespace {

constexpr int32_t kListIndent = 12;

// Positions and sizes from the markup, kept where sums of them cannot overflow.
int32_t Coordinate(const std::string& text) { return std::clamp(MarkupNumber(text), -32767, 32767); }

void SetStyle(FontSpec& f, TFontStyle s, bool on) {
  if (on) f.style.Include(s);
  else f.style.Exclude(s);
}

// ---- the layouter's state ----

// A box placed in the current line, its x relative to the line's start and
// its vertical place fixed when the line ends.
enum class VPlace { Baseline, Top, Rule };
struct Pending {
  Box box;
  VPlace place = VPlace::Baseline;
  int32_t x = 0, width = 0, height = 0;
  bool sub = false, sup = false;
  bool error = false;
  std::string altSource;  // an image's ALT, drawn in its place when hovered
  int32_t imageNumber = 0;
};

struct AnchorPart {
  int32_t anchor;
  int32_t startX;
  int32_t endX = -1;  // -1 while open at the line's end
};

class Layouter {
public:
  Layouter(const RECT& rect, const FontSpec& base, TColor entryBrush, const TMarkupArgs& args, Metrics& metrics)
      : rect_(rect), base_(base), font_(base), entryBrush_(entryBrush), args_(args), m_(metrics),
        gdip_(metrics.IsGDIP()) {}

  Layout Run(const std::string& text);

private:
  // ---- runs ----
  bool PlaceRun(const Token& token, const Token* next);
  // ---- tags ----
  bool HandleTag(const Token& t);
  bool PlaceImage(const Token& t);
  void HandleAnchor(const Token& t);
  void HandleFont(const Token& t);
  void HandlePara(const Token& t);
  void HandleBody(const Token& t);
  void HandleListItem(bool& overflow);
  ImageRef FindImage(const std::string& source, int32_t& w, int32_t& h);
  // ---- lines ----
  void StartLine();
  void EndLine(bool textRemains);
  Box ParagraphBand(const RECT& line) const;
  int32_t Room() const;
  bool Hovered(int32_t number) const { return !args_.HoverStyle || args_.HoverLink == number; }

  RECT rect_;
  FontSpec base_, font_;
  TColor entryBrush_;
  const TMarkupArgs& args_;
  Metrics& m_;
  bool gdip_;
  Layout out_;

  // Call state.
  TColor brush_ = clNone;
  bool sub_ = false, sup_ = false, hidden_ = false, shadow_ = false, error_ = false;
  bool inAnchor_ = false;
  std::string target_;
  int32_t listLevel_ = 0, align_ = 0, indent_ = 0, offsetShift_ = 0, rotation_ = 0;
  int32_t imageCount_ = 0;
  TColor savedAnchorBrush_ = clNone, savedAnchorFont_ = clNone, savedFontBrush_ = clNone;
  TColor savedHiFont_ = clNone, savedHiBrush_ = clNone, savedParaBrush_ = clNone;
  bool paraBg_ = false;
  TColor paraC1_ = clNone, paraC2_ = clNone;
  bool paraTagThisLine_ = false;  // a P background began in this line
  TColor paraStartBrush_ = clNone;  // the brush at the start of a line inside one
  int32_t workTop_ = 0;
  bool stopped_ = false;

  // Line state.
  std::vector<Pending> items_;
  std::vector<AnchorPart> parts_;
  int32_t lineWidth_ = 0, x_ = 0, lineHeight_ = 0, gh_ = 0, subDepth_ = 0, supHeight_ = 0;
  int32_t imageOffset_ = 0, trailingBlank_ = 0, lineShift_ = 0;
  bool lineHasRuns_ = false, itemSeen_ = false, paraAtStart_ = false;
  std::string lastRun_;
};

Layout Layouter::Run(const std::string& text) {
  std::vector<Token> tokens = Tokenize(text, args_.WordWrap);
  workTop_ = rect_.top;
  size_t i = 0;
  // Leading blanks of the text and of every line are skipped.
  auto skipBlanks = [&]() {
    if (gdip_) return;
    while (i < tokens.size() && !tokens[i].isTag) {
      std::string& s = tokens[i].text;
      size_t first = s.find_first_not_of(" \t");
      if (first == std::string::npos) {
        ++i;
        continue;
      }
      s.erase(0, first);
      break;
    }
  };
  StartLine();
  skipBlanks();
  while (i < tokens.size() && !stopped_) {
    const Token& t = tokens[i];
    bool lineEnds = false;
    bool consumed = true;
    if (t.isTag) {
      lineEnds = HandleTag(t);
      if (lineEnds && (t.kind == TagKind::ListItem || t.kind == TagKind::Image) && !t.closing) {
        // The tag overflowed the line: it stays for the next one.
        consumed = false;
      }
    } else {
      const Token* next = i + 1 < tokens.size() ? &tokens[i + 1] : nullptr;
      consumed = PlaceRun(t, next);
      lineEnds = !consumed;
    }
    if (consumed) ++i;
    if (lineEnds) {
      EndLine(i < tokens.size());
      if (stopped_) break;
      StartLine();
      skipBlanks();
    }
  }
  if (!stopped_ && (!items_.empty() || lineWidth_ > 0 || lineHasRuns_)) EndLine(false);
  if (out_.measuredHeight == 0) out_.measuredHeight = m_.TextHeight(base_);
  if (gdip_) out_.measuredHeight += 2;
  return std::move(out_);
}

// ---- runs ----

bool Layouter::PlaceRun(const Token& token, const Token* next) {
  std::string run = ReplaceRunReferences(token.text);
  if (run.empty()) return true;
  SIZE size = m_.TextSize(font_, run);
  int32_t h = size.cy;
  if (sub_ && subDepth_ < h / 4) subDepth_ = gdip_ ? h / 2 : h / 4;
  if (sup_ && supHeight_ < h / 4) supHeight_ = gdip_ ? h / 2 : h / 4;
  lineHeight_ = std::max(lineHeight_, h);
  if (hidden_) {
    out_.plainText += run;
    return true;
  }
  // A lone blank between tags keeps its width (the measured boxes here
  // carry no padding that would stand in for it).
  int32_t w = size.cx;
  int32_t room = Room();
  // A run goes on an empty line, and a run too wide for any line stays
  // beside the image, indent or bullet that began it; otherwise it wraps
  // when it does not fit beside what the line holds.
  bool fits = lineWidth_ + w < room || lineWidth_ == 0 || (!lineHasRuns_ && w >= room) || !args_.WordWrap;
  // A word that continues across a tag stays whole.
  if (!fits && gdip_ && !lastRun_.empty() && lastRun_.back() != ' ') fits = true;
  if (!fits) return false;

  Pending p;
  p.box.kind = BoxKind::Text;
  p.box.text = run;
  p.box.font = font_;
  p.box.background = brush_;
  p.box.shadow = shadow_;
  p.box.rotation = gdip_ ? 0 : rotation_;
  p.box.anchor = inAnchor_ ? static_cast<int32_t>(out_.anchors.size()) : 0;
  p.box.ellipsis = !args_.WordWrap;
  p.x = x_;
  p.width = w;
  p.height = h;
  p.sub = sub_;
  p.sup = sup_;
  p.error = error_;
  if (gdip_ && font_.style.Contains(fsUnderline) && next && !next->isTag && !next->text.empty()) {
    // The underline runs on under the blank to the anchor's next word.
    SIZE both = m_.TextSize(font_, run + ReplaceRunReferences(next->text));
    p.box.underscore = rect_.left + lineShift_ + x_ + both.cx < rect_.right + 2;
  }
  items_.push_back(std::move(p));
  lineWidth_ += w;
  x_ += w;
  lineHasRuns_ = true;
  lastRun_ = run;
  trailingBlank_ = (!gdip_ && run.back() == ' ') ? m_.TextSize(font_, " ").cx : 0;
  out_.plainText += run;
  return true;
}

// ---- tags ----

// Answers whether the line ends.
bool Layouter::HandleTag(const Token& t) {
  bool on = !t.closing;
  switch (t.kind) {
    case TagKind::Bold: SetStyle(font_, fsBold, on); return false;
    case TagKind::Italic: SetStyle(font_, fsItalic, on); return false;
    case TagKind::Underline: SetStyle(font_, fsUnderline, on); return false;
    case TagKind::Strike: SetStyle(font_, fsStrikeOut, on); return false;
    case TagKind::Sub:
    case TagKind::Sup:
      if (on) (t.kind == TagKind::Sub ? sub_ : sup_) = true;
      else sub_ = sup_ = false;
      return false;
    case TagKind::Shadow: shadow_ = on; return false;
    case TagKind::Hidden: hidden_ = on; return false;
    case TagKind::Error: error_ = on; return false;
    case TagKind::Anchor: HandleAnchor(t); return false;
    case TagKind::Font: HandleFont(t); return false;
    case TagKind::Para:
      HandlePara(t);
      return t.closing;
    case TagKind::Break:
      out_.plainText += '\r';
      return true;
    case TagKind::Rule: {
      Pending p;
      p.box.kind = BoxKind::Rule;
      p.place = VPlace::Rule;
      items_.push_back(std::move(p));
      return true;
    }
    case TagKind::Highlight:
      if (on) {
        savedHiFont_ = font_.color;
        savedHiBrush_ = brush_;
        brush_ = clHighlight;
        font_.color = clHighlightText;
      } else {
        font_.color = savedHiFont_;
        brush_ = savedHiBrush_;
      }
      return false;
    case TagKind::Blink:
      if (on && !args_.BlinkOn) font_.color = entryBrush_;
      if (!on) font_.color = base_.color;
      return false;
    case TagKind::Body:
      if (on) HandleBody(t);
      return false;
    case TagKind::Image: return on && PlaceImage(t);
    case TagKind::Indent:
      if (on) {
        int32_t n = Coordinate(LetterValue(t.upper, 'X'));
        if (lineWidth_ < n) lineWidth_ = x_ = n;
      }
      return false;
    case TagKind::Offset:
      if (on) {
        offsetShift_ = lineWidth_ = x_ = Coordinate(LetterValue(t.upper, 'X'));
      } else {
        offsetShift_ = 0;
      }
      return false;
    case TagKind::List:
      if (on) {
        ++listLevel_;
        return true;
      }
      if (listLevel_ > 0) --listLevel_;
      else SetStyle(font_, fsUnderline, false);
      return false;
    case TagKind::ListItem: {
      if (!on) return true;
      bool overflow = false;
      HandleListItem(overflow);
      return overflow;
    }
    case TagKind::Rotate:
      if (on) rotation_ = (MarkupNumber(LetterValue(t.upper, 'A')) % 360) * 10;
      else rotation_ = 0;
      return false;
    case TagKind::Unknown: return false;
  }
  return false;
}

void Layouter::HandleAnchor(const Token& t) {
  if (t.closing) {
    int32_t number = static_cast<int32_t>(out_.anchors.size());
    if (inAnchor_ && Hovered(number)) {
      SetStyle(font_, fsUnderline, false);
      if (args_.HoverColor != clNone) brush_ = savedAnchorBrush_;
      if (args_.HoverFontColor != clNone) font_.color = savedAnchorFont_;
    }
    if (!args_.IgnoreColors) font_.color = base_.color;
    if (inAnchor_ && !parts_.empty() && parts_.back().anchor == number && parts_.back().endX < 0)
      parts_.back().endX = x_;
    inAnchor_ = false;
    return;
  }
  out_.anchors.push_back(Anchor{FirstQuoted(t.text), RECT{-1, -1, -1, -1}});
  int32_t number = static_cast<int32_t>(out_.anchors.size());
  if (Hovered(number)) {
    SetStyle(font_, fsUnderline, true);
    if (args_.HoverColor != clNone) {
      savedAnchorBrush_ = brush_;
      brush_ = args_.HoverColor;
    }
    if (args_.HoverFontColor != clNone) {
      savedAnchorFont_ = font_.color;
      font_.color = args_.HoverFontColor;
    }
  }
  bool hoverFont = args_.HoverFontColor != clNone && args_.HoverStyle && args_.HoverLink == number;
  if (!args_.IgnoreColors && !hoverFont) font_.color = args_.URLColor;
  if (args_.FocusLink == number - 1 && !args_.MeasureOnly) out_.focusTarget = out_.anchors.back().target;
  inAnchor_ = true;
  target_ = out_.anchors.back().target;
  parts_.push_back(AnchorPart{number, x_});
}

void Layouter::HandleFont(const Token& t) {
  if (t.closing) {
    font_.name = base_.name;
    font_.height = base_.height;
    if (!args_.IgnoreColors) {
      font_.color = base_.color;
      brush_ = savedFontBrush_;
    }
    return;
  }
  std::string value;
  if (AttributeValue(t.upper, "FACE", value) && !value.empty()) font_.name = value;
  if (AttributeValue(t.upper, " COLOR", value) && !value.empty() && !args_.IgnoreColors)
    font_.color = MarkupColor(value);
  if (AttributeValue(t.upper, "BGCOLOR", value) && !args_.IgnoreColors) {
    savedFontBrush_ = brush_;
    if (!value.empty()) brush_ = MarkupColor(value);
  }
  size_t size = t.upper.find("SIZE");
  if (size != std::string::npos) {
    size_t eq = t.upper.find('=', size);
    if (eq != std::string::npos) {
      std::string rest = t.upper.substr(eq + 1);
      if (!rest.empty() && rest[0] == '"') rest.erase(0, 1);
      int32_t n = MarkupNumber(rest);
      static const int32_t kSizes[] = {8, 10, 12, 14, 16};
      if (n >= 1 && n <= 5) n = kSizes[n - 1];
      if (n > 0) font_.SetPoints(std::min(n, 1000));
    }
  }
}

void Layouter::HandlePara(const Token& t) {
  if (t.closing) {
    brush_ = gdip_ ? clNone : savedParaBrush_;
    paraBg_ = false;
    return;
  }
  std::string value;
  if (AttributeValue(t.upper, "ALIGN", value)) {
    if (value.find("RIGHT") != std::string::npos) align_ = 1;
    if (value.find("LEFT") != std::string::npos) align_ = 0;
    if (value.find("CENTER") != std::string::npos) align_ = 2;
  }
  if (AttributeValue(t.upper, "INDENT", value)) indent_ = Coordinate(value);
  std::string c1, c2;
  bool hasC1 = AttributeValue(t.upper, "BGCOLOR", c1);
  bool hasC2 = AttributeValue(t.upper, "BGCOLORTO", c2);
  if (!hasC1 || args_.MeasureOnly) return;
  // "BGCOLOR" is found inside "BGCOLORTO" too: take the plain one's value.
  size_t plain = t.upper.find("BGCOLOR=");
  if (plain == std::string::npos) plain = t.upper.find("BGCOLOR ");
  if (plain != std::string::npos) c1 = FirstQuoted(t.upper.substr(plain));
  paraBg_ = true;
  paraTagThisLine_ = true;
  paraC1_ = MarkupColor(c1);
  if (hasC2) {
    paraC2_ = MarkupColor(c2);
    brush_ = clNone;
  } else {
    paraC2_ = clNone;
    savedParaBrush_ = brush_;
    brush_ = paraC1_;
  }
}

void Layouter::HandleBody(const Token& t) {
  if (args_.IgnoreColors || args_.MeasureOnly) return;
  std::string value;
  if (!gdip_) {
    static const char* kPictures[] = {"BACKGROUND", "BGTOPLEFT", "BGTOPRIGHT"};
    for (int k = 0; k < 3; ++k) {
      if (!AttributeValue(t.upper, kPictures[k], value)) continue;
      std::string source;
      AttributeValue(t.text, kPictures[k], source);  // not found in a lower-case tag: fall back
      if (source.empty()) source = value;
      int32_t w = 0, h = 0;
      ImageRef ref = FindImage(source, w, h);
      if (w <= 0 || h <= 0) continue;
      Box b;
      b.kind = BoxKind::Image;
      b.image = ref;
      if (k == 0 && !ref.list) b.image.tile = rect_;
      int32_t left = k == 2 ? (ref.list ? rect_.left + x_ - w : rect_.right - w) : (k == 1 ? rect_.left : rect_.left + x_);
      int32_t top = (k == 0 && ref.list) ? workTop_ : rect_.top;
      b.rect = RECT{left, top, left + w, top + h};
      out_.boxes.push_back(std::move(b));
    }
  }
  std::string c1, c2, dir = "H";
  bool hasC2 = AttributeValue(t.upper, "BGCOLORTO", c2);
  size_t plain = t.upper.find("BGCOLOR=");
  if (plain == std::string::npos) plain = t.upper.find("BGCOLOR ");
  if (plain == std::string::npos) return;
  c1 = FirstQuoted(t.upper.substr(plain));
  AttributeValue(t.upper, "DIR", dir);
  if (!hasC2) {
    brush_ = MarkupColor(c1);
    if (gdip_) return;
    Box b;
    b.kind = BoxKind::Band;
    b.rect = RECT{rect_.left - 2, rect_.top, rect_.right, rect_.bottom};
    b.background = brush_;
    out_.boxes.push_back(std::move(b));
    return;
  }
  brush_ = clNone;
  if (gdip_) return;
  Box b;
  b.kind = BoxKind::Band;
  b.rect = rect_;
  b.background = MarkupColor(c1);
  b.background2 = MarkupColor(c2);
  b.horizontal = dir.empty() || dir[0] == 'H';
  out_.boxes.push_back(std::move(b));
}

void Layouter::HandleListItem(bool& overflow) {
  lineWidth_ += kListIndent * listLevel_;
  if (itemSeen_) {
    overflow = true;
    return;
  }
  itemSeen_ = true;
  int32_t bulletX = x_ + kListIndent * std::max(listLevel_ - 1, 0);
  if (!hidden_) {
    Pending p;
    p.box.kind = BoxKind::Bullet;
    p.box.text = (listLevel_ % 2 == 1) ? "\xE2\x80\xA2" : "o";
    p.box.font = font_;
    p.place = VPlace::Top;
    p.x = bulletX;
    p.width = kListIndent;
    p.height = m_.TextHeight(font_);
    items_.push_back(std::move(p));
  }
  x_ = bulletX + kListIndent;
}

ImageRef Layouter::FindImage(const std::string& source, int32_t& w, int32_t& h) {
  ImageRef ref;
  w = h = 0;
  std::string upper = UpperCase(source);
  const bool shell = upper.rfind("SSYS:", 0) == 0 || upper.rfind("LSYS:", 0) == 0;
  if (upper.rfind("IDX:", 0) == 0 || shell) {
    // An image list's image: the list's, or the desktop's small or large icons.
    TCustomImageList* list = shell ? ShellImageList(upper[0] == 'L') : args_.Images;
    int32_t n = shell ? ShellIconIndex(source.substr(5)) : MarkupNumber(source.substr(4));
    if (!list || n < 0 || n >= list->Count()) return ref;
    ref.list = list;
    ref.index = n;
    int32_t ppi = m_.PixelsPerInch();
    w = MulDiv(list->Width(), ppi, 96);
    h = MulDiv(list->Height(), ppi, 96);
    if (args_.ScaleImages) {
      w = static_cast<int32_t>(std::nearbyint(w * args_.ImageScale));
      h = static_cast<int32_t>(std::nearbyint(h * args_.ImageScale));
      ref.stretch = true;
    }
    return ref;
  }
  if (source.find(':') == std::string::npos) {
    if (gdip_) {
      AdvSmoothGDIP::TAdvGDIPPicture* p =
          args_.GDIPPictureContainer ? args_.GDIPPictureContainer->FindPicture(source) : nullptr;
      if (!p || p->Empty()) return ref;
      p->ReadImageSize();
      ref.gdip = p;
      w = p->Width();
      h = p->Height();
      return ref;
    }
    THTMLPicture* p = args_.PictureContainer ? args_.PictureContainer->PictureByName(source) : nullptr;
    if (!p || p->Empty()) return ref;
    ref.html = p;
    w = p->FullWidth();
    h = p->FullHeight();
    return ref;
  }
  if (gdip_ || source.find("://") == std::string::npos || !args_.PictureCache) return ref;
  THTMLPicture* p = args_.PictureCache->FindByURL(source);
  if (!p) {
    THTMLPicture* fresh = args_.PictureCache->NewPicture();
    fresh->SetAsynch(false);
    fresh->LoadFromAddress(source);
    p = args_.PictureCache->FindByURL(source);
  }
  if (!p || p->Empty()) return ref;
  ref.html = p;
  w = p->FullWidth();
  h = p->FullHeight();
  return ref;
}

// Answers whether the line overflows (the tag stays for the next line).
bool Layouter::PlaceImage(const Token& t) {
  int32_t number = ++imageCount_;
  std::string src, alt, width, height;
  AttributeValue(t.upper, "SRC", src);
  std::string source = src.empty() ? std::string() : FirstQuoted(t.text.substr(t.upper.find("SRC")));
  bool hasAlt = AttributeValue(t.upper, "ALT", alt);
  int32_t wantW = AttributeValue(t.upper, "WIDTH", width) ? Coordinate(width) : 0;
  int32_t wantH = AttributeValue(t.upper, "HEIGHT", height) ? Coordinate(height) : 0;
  int32_t w = 0, h = 0;
  ImageRef ref = FindImage(source, w, h);
  if ((ref.html || ref.gdip) && wantW >= 1 && wantH >= 1) {
    int32_t ppi = m_.PixelsPerInch();
    w = MulDiv(wantW, ppi, 96);
    h = MulDiv(wantH, ppi, 96);
    ref.stretch = true;
  }
  if (w <= 0 || h <= 0) {
    imageCount_ = number;
    return false;
  }
  if (lineWidth_ + w > Room() && w <= Room()) {
    --imageCount_;
    return true;
  }
  Pending p;
  p.box.kind = BoxKind::Image;
  p.box.image = ref;
  p.box.anchor = inAnchor_ ? static_cast<int32_t>(out_.anchors.size()) : 0;
  p.place = VPlace::Top;
  p.x = x_;
  p.width = w;
  p.height = h;
  p.imageNumber = number;
  if (hasAlt) p.altSource = alt;
  items_.push_back(std::move(p));
  lineWidth_ += w;
  x_ += w;
  lineHeight_ = std::max(lineHeight_, h);
  if (t.upper.find("ALIGN") != std::string::npos) {
    if (t.upper.find("\"TOP") != std::string::npos) imageOffset_ = lineHeight_ - gh_;
    else if (t.upper.find("\"MIDDLE") != std::string::npos) imageOffset_ = (lineHeight_ - gh_) / 2;
  }
  if (t.upper.find("WRAP") != std::string::npos) {
    lineHeight_ = gh_;
    imageOffset_ = 0;
  }
  return false;
}

// ---- lines ----

// The band behind a line of a paragraph with a background: where the
// paragraph begins, its colour or its gradient (two pixels deeper); on the
// lines after, the brush the line began with, or only an outline in the
// paragraph's colour once a gradient left the brush clear.
Box Layouter::ParagraphBand(const RECT& line) const {
  Box b;
  b.kind = BoxKind::Band;
  const bool gradient = paraTagThisLine_ && paraC2_ != clNone;
  b.rect = RECT{rect_.left, line.top, rect_.right, line.bottom + (gradient ? 2 : 0)};
  if (paraTagThisLine_) {
    b.background = paraC1_;
    b.background2 = paraC2_;
    return b;
  }
  b.background = paraStartBrush_ != clNone ? paraStartBrush_ : paraC1_;
  b.outlineOnly = paraStartBrush_ == clNone;
  return b;
}

int32_t Layouter::Room() const { return (rect_.right - rect_.left - (gdip_ ? 1 : 0)) - lineShift_; }

void Layouter::StartLine() {
  items_.clear();
  parts_.clear();
  lineShift_ = offsetShift_;
  lineWidth_ = x_ = 0;
  subDepth_ = supHeight_ = imageOffset_ = trailingBlank_ = 0;
  sub_ = sup_ = false;
  gh_ = lineHeight_ = m_.TextHeight(font_);
  lineHasRuns_ = itemSeen_ = false;
  lastRun_.clear();
  paraAtStart_ = paraBg_;
  paraStartBrush_ = brush_;
  paraTagThisLine_ = false;
  if (inAnchor_) parts_.push_back(AnchorPart{static_cast<int32_t>(out_.anchors.size()), 0});
}

void Layouter::EndLine(bool textRemains) {
  if (!gdip_ || textRemains) lineHeight_ += args_.LineSpacing;
  int32_t lineW = lineWidth_ - trailingBlank_;
  if (lineW > out_.measuredWidth) out_.measuredWidth = lineW + 2;
  int32_t fullHeight = lineHeight_ + subDepth_ + supHeight_;
  RECT line{rect_.left + (gdip_ ? 1 : 0), workTop_, rect_.right, workTop_ + fullHeight};
  if (align_ == 1 && line.right - lineWidth_ > line.left) line.left = line.right - lineWidth_;
  if (align_ == 2 && line.right - line.left - lineWidth_ > 0) line.left += (line.right - line.left - lineWidth_) / 2;
  line.left += indent_;
  int32_t left = line.left + lineShift_;
  int32_t bottom = line.bottom - subDepth_;
  int32_t ghNow = m_.TextHeight(font_);

  if (!args_.MeasureOnly) {
    // Paragraph background first.
    if (!gdip_ && (paraAtStart_ || paraTagThisLine_)) out_.boxes.push_back(ParagraphBand(line));
    size_t first = out_.boxes.size();
    for (Pending& p : items_) {
      Box b = std::move(p.box);
      int32_t x = left + p.x;
      switch (p.place) {
        case VPlace::Baseline: {
          if (gdip_) {
            b.rect = RECT{x, line.top, x + p.width, line.top + p.height};
          } else {
            int32_t runBottom = bottom - (p.sup ? supHeight_ : 0) + (p.sub ? subDepth_ : 0) - imageOffset_;
            b.rect = RECT{x, runBottom - p.height, x + p.width, runBottom};
          }
          if (b.ellipsis) b.rect.right = std::min<LONG>(rect_.right, b.rect.right);
          break;
        }
        case VPlace::Top: {
          int32_t dx = 0, dy = 0;
          if (b.image.html && !b.image.stretch) {
            dx = b.image.html->FrameXPos();
            dy = b.image.html->FrameYPos();
          }
          b.rect = RECT{x + dx, line.top + dy, x + dx + p.width, line.top + dy + p.height};
          break;
        }
        case VPlace::Rule: b.rect = RECT{line.left, bottom + 1, rect_.right, bottom + 1}; break;
      }
      // An image inside an anchor under the point.
      if (b.kind == BoxKind::Image && b.anchor > 0 && args_.X > b.rect.left && args_.X < b.rect.right &&
          args_.Y > line.top && args_.Y < line.top + p.height) {
        out_.imageHit = true;
        out_.imageHitAnchor = b.anchor;
        out_.imageHitTarget = out_.anchors[static_cast<size_t>(b.anchor - 1)].target;
        if (!p.altSource.empty()) {
          int32_t w = 0, h = 0;
          ImageRef alt = FindImage(p.altSource, w, h);
          if (w > 0 && h > 0) b.image = alt;
        }
      }
      bool zigzag = p.error && b.kind == BoxKind::Text;
      RECT runRect = b.rect;
      out_.boxes.push_back(std::move(b));
      if (zigzag) {
        Box z;
        z.kind = BoxKind::Zigzag;
        z.rect = RECT{runRect.left, bottom, runRect.right, bottom};
        out_.boxes.push_back(std::move(z));
      }
    }
    // Anchor parts: the last one seen is each anchor's part on its last line.
    for (const AnchorPart& part : parts_) {
      RECT r{left + part.startX, line.top, left + (part.endX >= 0 ? part.endX : x_), line.bottom};
      out_.anchors[static_cast<size_t>(part.anchor - 1)].lastPart = r;
      if (!gdip_ && args_.FocusLink == part.anchor - 1 && !args_.CheckHotSpot) {
        Box f;
        f.kind = BoxKind::FocusRect;
        f.rect = RECT{r.left - 1, bottom - imageOffset_ - ghNow, r.right + 1, bottom - imageOffset_};
        out_.boxes.push_back(std::move(f));
      }
    }
    int32_t bandTop = gdip_ ? line.top : bottom - imageOffset_ - ghNow;
    int32_t bandBottom = gdip_ ? line.top + gh_ : bottom - imageOffset_;
    out_.hitBands.push_back(Layout::HitBand{bandTop, bandBottom, first, out_.boxes.size()});
  }
  workTop_ += fullHeight;
  out_.measuredHeight += fullHeight;
  if (!args_.MeasureOnly && workTop_ + gh_ > rect_.bottom) stopped_ = true;
}

}  // namespace

Layout LayOut(const std::string& text, const RECT& rect, const FontSpec& baseFont, TColor entryBrush,
              const TMarkupArgs& args, Metrics& metrics) {
  Layouter layouter(rect, baseFont, entryBrush, args, metrics);
  return layouter.Run(text);
}

// ---- hit test ----

void HitTest(const Layout& layout, const TMarkupArgs& args, TMarkupResult& result) {
  result.LinkCount = static_cast<int32_t>(layout.anchors.size());
  if (args.MeasureOnly) return;
  int32_t hitAnchor = -1;
  if (args.CheckHotSpot) {
    for (const Layout::HitBand& band : layout.hitBands) {
      if (!(args.Y > band.top && args.Y < band.bottom)) continue;
      for (size_t i = band.firstBox; i < band.endBox; ++i) {
        const Box& b = layout.boxes[i];
        if (b.kind == BoxKind::Text && b.anchor > 0 && args.X >= b.rect.left && args.X <= b.rect.right) {
          hitAnchor = b.anchor;
          break;
        }
      }
      if (hitAnchor > 0) break;
    }
  }
  if (hitAnchor < 0 && layout.imageHit) hitAnchor = layout.imageHitAnchor;
  if (hitAnchor < 0) return;
  const Anchor& a = layout.anchors[static_cast<size_t>(hitAnchor - 1)];
  result.Hit = true;
  result.AnchorTarget = a.target;
  result.PointLink = hitAnchor;
  result.LinkRect = a.lastPart;
}

}  // namespace Markup
