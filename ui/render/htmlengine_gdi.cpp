// The canvas back end of the markup renderer: text measured and drawn with
// the Windows text functions, pictures through the framework, and the entry
// routines; also the anchor opener.
#include <algorithm>
#include <cmath>
#include <functional>

#include "platform/forms/imglist.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/gdi_text.h"
#include "platform/win/shell.h"
#include "platform/win/winuser_consts.h"
#include "ui/render/htmlengine_internal.h"
#include "ui/render/htmlpicture.h"

namespace Markup {
namespace {

constexpr UINT kBaseFlags = DT_SINGLELINE | DT_BOTTOM | DT_EXPANDTABS | DT_EXTERNALLEADING;

// A framework font made from a spec, selected into a DC for one call
// (rotated when asked), and taken out again.
class SelectedFont {
public:
  SelectedFont(HDC dc, const FontSpec& spec, int32_t rotation = 0) : dc_(dc) {
    spec.ApplyTo(font_);
    HFONT handle = font_.Handle();
    if (rotation != 0) {
      LOGFONTA lf{};
      GetObjectA(handle, sizeof(lf), &lf);
      lf.lfEscapement = lf.lfOrientation = rotation;
      rotated_ = CreateFontIndirectA(&lf);
      handle = rotated_;
    }
    old_ = SelectObject(dc_, handle);
  }
  ~SelectedFont() {
    SelectObject(dc_, old_);
    if (rotated_) DeleteObject(rotated_);
  }
  SelectedFont(const SelectedFont&) = delete;
  SelectedFont& operator=(const SelectedFont&) = delete;

private:
  HDC dc_;
  TFont font_;
  HGDIOBJ old_ = nullptr;
  HFONT rotated_ = nullptr;
};

class GdiMetrics : public Metrics {
public:
  GdiMetrics(HDC dc, UINT flags) : dc_(dc), flags_(flags) {}
  SIZE TextSize(const FontSpec& font, const std::string& run) override {
    SelectedFont selected(dc_, font);
    RECT r{0, 0, 0x3FFFFFFF, 0};
    DrawTextEx(dc_, run, &r, flags_ | DT_CALCRECT, nullptr);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  int32_t TextHeight(const FontSpec& font) override { return TextSize(font, "gh").cy; }
  int32_t PixelsPerInch() override { return GetDeviceCaps(dc_, LOGPIXELSX); }
  bool IsGDIP() const override { return false; }

private:
  HDC dc_;
  UINT flags_;
};

class GdiPainter {
public:
  GdiPainter(TCanvas* canvas, const RECT& rect, const TMarkupArgs& args, UINT flags)
      : canvas_(canvas), dc_(canvas->Handle()), rect_(rect), args_(args), flags_(flags & ~DT_EXTERNALLEADING) {}

  void Paint(const Layout& layout) {
    for (const Box& b : layout.boxes) {
      switch (b.kind) {
        case BoxKind::Text: Text(b); break;
        case BoxKind::Image: Image(b); break;
        case BoxKind::Bullet: Bullet(b); break;
        case BoxKind::Rule: Line(b.rect.left, b.rect.top, b.rect.right, b.rect.top, clBlack); break;
        case BoxKind::Band: Band(b); break;
        case BoxKind::Zigzag: Zigzag(b.rect); break;
        case BoxKind::FocusRect: canvas_->DrawFocusRect(b.rect); break;
      }
    }
  }

private:
  void Text(const Box& b) {
    RECT r = b.rect;
    if (b.ellipsis) {
      int32_t w = GdiMetrics(dc_, flags_).TextSize(b.font, "w").cx;
      if (r.left > rect_.right - w) return;
      r.right = rect_.right;
    }
    if (b.background != clNone) {
      canvas_->Brush()->SetStyle(bsSolid);
      canvas_->Brush()->SetColor(b.background);
      canvas_->FillRect(b.rect);
    }
    if (b.shadow) {
      FontSpec shadow = b.font;
      shadow.color = args_.ShadowColor;
      RECT s{r.left + args_.ShadowOffset, r.top + args_.ShadowOffset, r.right + args_.ShadowOffset,
             r.bottom + args_.ShadowOffset};
      DrawRun(shadow, b.rotation, b.text, s);
    }
    DrawRun(b.font, b.rotation, b.text, r);
  }

  void DrawRun(const FontSpec& font, int32_t rotation, const std::string& text, RECT r) {
    SelectedFont selected(dc_, font, rotation);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, ColorToRGB(font.color));
    DrawTextEx(dc_, text, &r, flags_, nullptr);
  }

  void Image(const Box& b) {
    const ImageRef& ref = b.image;
    if (ref.list) {
      if (!ref.stretch) {
        ref.list->Draw(canvas_, b.rect.left, b.rect.top, ref.index);
        return;
      }
      TBitmap bitmap;
      if (ref.list->GetBitmap(ref.index, &bitmap)) canvas_->StretchDraw(b.rect, &bitmap);
      return;
    }
    if (!ref.html) return;
    if (ref.tile.right > ref.tile.left) {
      Tile(ref.html, ref.tile, b.rect.right - b.rect.left, b.rect.bottom - b.rect.top);
      return;
    }
    if (ref.stretch) ref.html->SetStretch(true);
    ref.html->Draw(canvas_, b.rect);
  }

  void Tile(THTMLPicture* picture, const RECT& area, int32_t w, int32_t h) {
    HRGN clip = CreateRectRgn(area.left, area.top, area.right, area.bottom);
    SaveDC(dc_);
    ExtSelectClipRgn(dc_, clip, RGN_AND);
    for (int32_t y = area.top; y < area.bottom; y += h)
      for (int32_t x = area.left; x < area.right; x += w) picture->Draw(canvas_, RECT{x, y, x + w, y + h});
    RestoreDC(dc_, -1);
    DeleteObject(clip);
  }

  void Bullet(const Box& b) {
    SelectedFont selected(dc_, b.font);
    SetBkMode(dc_, TRANSPARENT);
    SetTextColor(dc_, ColorToRGB(b.font.color));
    RECT r = b.rect;
    DrawTextEx(dc_, b.text, &r, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOCLIP, nullptr);
  }

  void Band(const Box& b) {
    if (b.background2 != clNone) {
      ::MarkupGradientRect(canvas_, b.background, b.background2, 64, b.rect, b.horizontal);
      return;
    }
    if (b.background == clNone) return;
    canvas_->Pen()->SetColor(b.background);
    canvas_->Brush()->SetColor(b.background);
    canvas_->Brush()->SetStyle(b.outlineOnly ? bsClear : bsSolid);
    canvas_->Rectangle(b.rect);
  }

  void Line(int x1, int y1, int x2, int y2, TColor color) {
    TColor old = canvas_->Pen()->Color();
    canvas_->Pen()->SetColor(color);
    canvas_->Pen()->SetWidth(1);
    canvas_->MoveTo(x1, y1);
    canvas_->LineTo(x2, y2);
    canvas_->Pen()->SetColor(old);
  }

  void Zigzag(const RECT& r) {
    canvas_->Pen()->SetColor(clRed);
    canvas_->Pen()->SetWidth(1);
    int x = (r.left / 2) * 2;
    int offset = (x % 4 == 0) ? 2 : 0;
    canvas_->MoveTo(x, r.top + offset - 1);
    while (x < r.right) {
      offset = offset ? 0 : 2;
      canvas_->LineTo(x + 2, r.top + offset - 1);
      x += 2;
    }
  }

  TCanvas* canvas_;
  HDC dc_;
  RECT rect_;
  const TMarkupArgs& args_;
  UINT flags_;
};

// The desktop's opener, given the target as one argument.
bool DesktopOpen(const std::string& target) {
  return reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL)) >
         32;
}

std::function<bool(const std::string&)>& Opener() {
  static std::function<bool(const std::string&)> opener = DesktopOpen;
  return opener;
}

}  // namespace

// Lets tests watch what would be opened.
void SetAnchorOpener(std::function<bool(const std::string&)> opener) {
  Opener() = opener ? std::move(opener) : std::function<bool(const std::string&)>(DesktopOpen);
}

}  // namespace Markup

TMarkupResult RenderMarkup(TCanvas* canvas, const std::string& text, const RECT& rect, const TMarkupArgs& args) {
  using namespace Markup;
  TMarkupResult result;
  HDC dc = canvas->Handle();
  FontSpec base = FontSpec::Of(*canvas->Font());
  const TColor entryColor = canvas->Brush()->Color();
  const TBrushStyle entryStyle = canvas->Brush()->Style();
  const TColor entryBrush = entryStyle == bsClear ? clNone : entryColor;
  SetBkMode(dc, TRANSPARENT);
  // A text with " & " is drawn without prefix processing.
  bool prefix = text.find(" & ") == std::string::npos;
  UINT flags = kBaseFlags | (prefix ? 0 : DT_NOPREFIX) | (args.WordWrap ? 0 : DT_END_ELLIPSIS);
  GdiMetrics metrics(dc, flags);
  Layout layout = LayOut(Preprocess(text, prefix), rect, base, entryBrush, args, metrics);
  if (!args.MeasureOnly && !args.CheckHotSpot) GdiPainter(canvas, rect, args, flags).Paint(layout);
  result.PlainText = layout.plainText;
  result.FocusTarget = layout.focusTarget;
  result.MeasuredWidth = layout.measuredWidth;
  result.MeasuredHeight = layout.measuredHeight;
  HitTest(layout, args, result);
  // The caller's brush comes back as it was, colour and style, also when
  // it entered clear.
  canvas->Brush()->SetColor(entryColor);
  canvas->Brush()->SetStyle(entryStyle);
  base.ApplyTo(*canvas->Font());
  SetBkMode(dc, TRANSPARENT);
  return result;
}

bool RenderMarkup(TCanvas* Canvas, const std::string& Text, const RECT& Rect, TCustomImageList* Images, int32_t X,
                  int32_t Y, int32_t FocusLink, int32_t HoverLink, int32_t ShadowOffset, bool CheckHotSpot,
                  bool MeasureOnly, bool ScaleImages, bool IgnoreColors, bool BlinkOn, bool HoverStyle,
                  bool WordWrap, double ImageScale, TColor URLColor, TColor HoverColor, TColor HoverFontColor,
                  TColor ShadowColor, std::string& AnchorTarget, std::string& PlainText, std::string& FocusTarget,
                  int32_t& MeasuredWidth, int32_t& MeasuredHeight, int32_t& LinkCount, int32_t& PointLink,
                  RECT& LinkRect, THTMLPictureCache* PictureCache, TPictureContainer* PictureContainer,
                  int32_t LineSpacing) {
  TMarkupArgs args;
  args.Images = Images;
  args.X = X;
  args.Y = Y;
  args.FocusLink = FocusLink;
  args.HoverLink = HoverLink;
  args.ShadowOffset = ShadowOffset;
  args.CheckHotSpot = CheckHotSpot;
  args.MeasureOnly = MeasureOnly;
  args.ScaleImages = ScaleImages;
  args.IgnoreColors = IgnoreColors;
  args.BlinkOn = BlinkOn;
  args.HoverStyle = HoverStyle;
  args.WordWrap = WordWrap;
  args.ImageScale = ImageScale;
  args.URLColor = URLColor;
  args.HoverColor = HoverColor;
  args.HoverFontColor = HoverFontColor;
  args.ShadowColor = ShadowColor;
  args.PictureCache = PictureCache;
  args.PictureContainer = PictureContainer;
  args.LineSpacing = LineSpacing;
  TMarkupResult r = RenderMarkup(Canvas, Text, Rect, args);
  PlainText = r.PlainText;
  FocusTarget = r.FocusTarget;
  MeasuredWidth = r.MeasuredWidth;
  MeasuredHeight = r.MeasuredHeight;
  LinkCount = r.LinkCount;
  PointLink = r.PointLink;
  if (r.Hit) {
    AnchorTarget = r.AnchorTarget;
    LinkRect = r.LinkRect;
  }
  return r.Hit;
}

void MarkupGradientRect(TCanvas* canvas, TColor from, TColor to, int32_t bands, const RECT& r, bool horizontal) {
  if (bands <= 0) bands = 1;
  COLORREF a = ColorToRGB(from), b = ColorToRGB(to);
  double step = static_cast<double>(horizontal ? r.right - r.left : r.bottom - r.top) / bands;
  auto channel = [&](int shift, int n) {
    int ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
    return static_cast<int>(std::nearbyint(ca + n * static_cast<double>(cb - ca) / bands));
  };
  for (int n = 0; n < bands; ++n) {
    TColor c = static_cast<TColor>(channel(0, n) | (channel(8, n) << 8) | (channel(16, n) << 16));
    canvas->Pen()->SetColor(c);
    canvas->Brush()->SetColor(c);
    canvas->Brush()->SetStyle(bsSolid);
    int start = static_cast<int>(std::nearbyint(n * step));
    int size = static_cast<int>(step + 1);
    RECT band = horizontal ? RECT{r.left + start, r.top, std::min<LONG>(r.left + start + size, r.right), r.bottom}
                           : RECT{r.left, r.top + start, r.right, std::min<LONG>(r.top + start + size, r.bottom)};
    canvas->Rectangle(band);
  }
}

TMarkupArgs TMarkupLook::Args() const {
  TMarkupArgs args;
  args.Images = Images;
  args.X = args.Y = 0;
  args.HoverLink = HoverLink;
  args.ShadowOffset = ShadowOffset;
  args.HoverStyle = Hover;
  args.WordWrap = WordWrap;
  args.URLColor = URLColor;
  args.HoverColor = HoverColor;
  args.HoverFontColor = HoverFontColor;
  args.ShadowColor = ShadowColor;
  args.PictureCache = PictureCache;
  args.PictureContainer = PictureContainer;
  args.LineSpacing = LineSpacing;
  return args;
}

bool IsOpenableAnchor(const std::string& target) {
  std::string lower = LowerCase(target);
  for (const char* scheme : {"http://", "https://", "mailto:"})
    if (lower.rfind(scheme, 0) == 0 && lower.size() > std::char_traits<char>::length(scheme)) return true;
  return false;
}

bool OpenAnchor(const std::string& target) {
  if (!IsOpenableAnchor(target)) return false;
  return Markup::Opener()(target);
}
