// What the glass button paints: the parent's background, the glass body
// (outer border, translucent body, glow, shine, symbol, inner border) and
// the content (focus outline, caption, picture), all GDI+ paths through
// the wrapper classes.
#include <algorithm>
#include <cmath>

#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/fonts.h"
#include "platform/win/gdi_text.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/parentbackground.h"
#include "ui/render/gdipfill.h"

using namespace AdvGDIP;

namespace {

constexpr int kSmoothingAntiAlias = 4;
constexpr int kCombineReplace = 0;
constexpr int kLineCapArrowAnchor = 20;
constexpr int kGradientVertical = 1;

// Alpha `a` with the low, middle and high bytes of `c` as red, green and blue
// as they stand (system colours are not resolved).
ARGB RawARGB(uint8_t a, TColor c) {
  const auto v = static_cast<uint32_t>(c);
  return GDIPMakeARGB(a, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}
ARGB ResolvedARGB(TColor c) { return AdvSmoothGDIP::GDIPColorToARGB(c); }

int Nearest(double v) { return static_cast<int>(std::nearbyint(v)); }

struct Box {
  int x, y, w, h;
};

// The rounded rectangle of the fills (also only its top corners rounded).
std::unique_ptr<TGPGraphicsPath> RoundRectPath(Box b, int r, TFillRoundingType corners = rtBoth) {
  return std::unique_ptr<TGPGraphicsPath>(CreateRoundedFillPath(GDIPMakeRectF(b.x, b.y, b.w, b.h), r, corners));
}

void AddCurve5(TGPGraphicsPath& p, std::initializer_list<GpPoint> points) {
  std::vector<GpPoint> v(points);
  p.AddCurve(v.data(), static_cast<int>(v.size()));
}

void AddCurved(TGPGraphicsPath& p, Box b, TButtonDirection d) {
  const int x = b.x, y = b.y, w = b.w, h = b.h;
  if (d == bdRight) {
    AddCurve5(p, {{x, y}, {x + h / 6, y + h / 4}, {Nearest(x + h / 4.85), y + h / 2}, {x + h / 6, y + 3 * h / 4}, {x, y + h}});
    p.AddLine(x, y + h, x + w - h, y + h);
    p.AddArc(x + w - h, y, h, h, 90, -180);
    p.AddLine(x + w - h, y, x, y);
  } else {
    p.AddArc(x, y, h, h, 90, 180);
    p.AddLine(x + h, y, x + w, y);
    AddCurve5(p, {{x + w, y}, {x + w - h / 6, y + h / 4}, {Nearest(x + w - h / 4.7), y + h / 2}, {x + w - h / 6, y + 3 * h / 4}, {x + w, y + h}});
    p.AddLine(x + w, y + h, x + h, y + h);
  }
  p.CloseFigure();
}

void AddCurvedShine(TGPGraphicsPath& p, Box b, TButtonDirection d) {
  const int x = b.x, y = b.y, w = b.w, h = b.h;
  if (d == bdRight) {
    std::vector<GpPoint> v{{x, y}, {x + h / 3, y + h / 2}, {Nearest(x + h / 2.35), y + h}};
    p.AddCurve(v.data(), 3);
    p.AddLine(Nearest(x + h / 2.35), y + h, x + w - h, y + h);
    p.AddArc(x + w - 2 * h, y, 2 * h, 2 * h, 0, -90);
  } else {
    p.AddArc(x, y, 2 * h, 2 * h, 180, 90);
    p.AddLine(x + h, y, x + w, y);
    std::vector<GpPoint> v{{x + w, y}, {x + w - h / 3, y + h / 2}, {Nearest(x + w - h / 2.35), y + h}};
    p.AddCurve(v.data(), 3);
  }
  p.CloseFigure();
}

}  // namespace

TGlassFace TAdvCustomGlassButton::Face() const {
  TGlassFace face;
  face.Glow = pressed_ || down_ || state_ == gbsDown || state_ == gbsExclusive;
  face.Enabled = Enabled();
  return face;
}

AdvGDIP::TGDIPPicture* TAdvCustomGlassButton::ChosenPicture() const {
  if (!Enabled() && !pictureDisabled_->Empty()) return pictureDisabled_.get();
  if (((pressed_ && hot_) || down_) && !pictureDown_->Empty()) return pictureDown_.get();
  return picture_.get();
}

void TAdvCustomGlassButton::Paint() {
  if (!Enabled()) {
    state_ = gbsDisabled;
    tracking_ = false;
  } else if (state_ == gbsDisabled) {
    state_ = down_ && groupIndex_ != 0 ? gbsExclusive : gbsUp;
  }
  if (style_ == tasCheck && down_) state_ = gbsDown;
  PaintParentBackground(this, Canvas()->Handle());
  if (forceTransparent_ && Parent()) PaintOverlappingSiblings();
  DrawButton(Canvas());
}

// Glass buttons of the same parent that overlap this one show through it:
// each draws itself over the background of the overlap, which is then
// copied back under this button's glass.
void TAdvCustomGlassButton::PaintOverlappingSiblings() {
  const RECT mine = BoundsRect();
  for (int32_t i = 0; i < Parent()->ControlCount(); ++i) {
    auto* sibling = dynamic_cast<TAdvCustomGlassButton*>(Parent()->Controls(i));
    if (!sibling || sibling == this) continue;
    const RECT theirs = sibling->BoundsRect();
    RECT overlap{};
    if (!IntersectRect(&overlap, &mine, &theirs)) continue;
    if (overlap.left <= 0 && overlap.top <= 0 && overlap.right <= 0 && overlap.bottom <= 0) continue;
    RECT here = overlap, there = overlap;
    OffsetRect(&here, -mine.left, -mine.top);
    OffsetRect(&there, -theirs.left, -theirs.top);
    TBitmap bitmap;
    bitmap.SetSize(sibling->Width(), sibling->Height());
    bitmap.Canvas()->SetCopyMode(cmSrcCopy);
    bitmap.Canvas()->CopyRect(there, Canvas(), here);
    sibling->DrawButton(bitmap.Canvas());
    Canvas()->CopyRect(here, bitmap.Canvas(), there);
  }
}

void TAdvCustomGlassButton::DrawButton(TCanvas* canvas) {
  AdvGDIP::TGDIPPicture* picture = ChosenPicture();
  {
    TGPGraphics g(canvas->Handle());
    g.SetSmoothingMode(kSmoothingAntiAlias);
    DrawGlassBody(g);
  }
  const bool focus = HandleAllocated() && GetFocus() == Handle() && showFocusRect_;
  DrawButtonContent(canvas, picture, focus);
}

// The button's outline shape over a box: curved, or rounded with the corner radius.
std::unique_ptr<TGPGraphicsPath> TAdvCustomGlassButton::ShapePath(int x, int y, int w, int h, int radius) const {
  const Box b{x, y, w, h};
  if (shape_ != btsCurvedRectangle) return RoundRectPath(b, radius);
  auto path = std::make_unique<TGPGraphicsPath>();
  AddCurved(*path, b, direction_);
  return path;
}

void TAdvCustomGlassButton::DrawGlassBody(TGPGraphics& g) {
  const int w = ClientWidth(), h = ClientHeight();
  auto outline = [&](int inset, TColor c) {
    std::unique_ptr<TGPGraphicsPath> p = ShapePath(inset, inset, w - 1 - 2 * inset, h - 1 - 2 * inset, cornerRadius_);
    TGPPen pen(ResolvedARGB(c), 1);
    g.DrawPath(&pen, p.get());
  };
  outline(0, outerBorderColor_);
  {
    std::unique_ptr<TGPGraphicsPath> body = ShapePath(1, 1, w - 3, h - 3, cornerRadius_);
    TGPSolidBrush brush(RawARGB(127, backColor_));
    g.FillPath(&brush, body.get());
    if (Face().Glow) {
      TGPRegion clip(body.get());
      g.SetClip(&clip, kCombineReplace);
      const double a = w - 4, b = h - 4;
      TGPGraphicsPath glow;
      glow.AddEllipse(static_cast<float>(1 - 0.35 * a), static_cast<float>(1 - 0.15 * b), static_cast<float>(1.7 * a),
                      static_cast<float>(2.3 * b));
      TGPPathGradientBrush glowBrush(&glow);
      glowBrush.SetCenterColor(RawARGB(173, glowColor_));
      ARGB surround = RawARGB(0, glowColor_);
      int count = 1;
      glowBrush.SetSurroundColors(&surround, count);
      g.FillPath(&glowBrush, &glow);
      g.ResetClip();
    }
  }
  const int half = (h - 3) / 2;
  if (w - 3 > 0 && half > 0) {
    const Box s{1, 1, w - 3, half + 1};
    std::unique_ptr<TGPGraphicsPath> shine;
    if (shape_ == btsCurvedRectangle) {
      shine = std::make_unique<TGPGraphicsPath>();
      AddCurvedShine(*shine, s, direction_);
    } else {
      shine = RoundRectPath(s, cornerRadius_, rtTop);
    }
    std::unique_ptr<TGPLinearGradientBrush> brush(TGPLinearGradientBrush::CreateFromRect(
        GDIPMakeRectF(1, 1, w - 4, half + 1), RawARGB(153, shineColor_), RawARGB(51, shineColor_), kGradientVertical));
    g.FillPath(brush.get(), shine.get());
  }
  if (symbolColor_ != clNone && symbol_ != AdvGlassButton::bsNone) DrawSymbol(g);
  outline(1, innerBorderColor_);
}

void TAdvCustomGlassButton::DrawSymbol(TGPGraphics& g) {
  using namespace AdvGlassButton;
  const double W = ClientWidth() - 1, H = ClientHeight() - 1;
  const int Wi = ClientWidth() - 1, Hi = ClientHeight() - 1;
  const ARGB colour = RawARGB(160, symbolColor_);
  TGPSolidBrush brush(colour);
  auto arrow = [&](double x1, double y1, double x2, double y2) {
    TGPPen pen(colour, static_cast<float>(H / 4));
    pen.SetEndCap(kLineCapArrowAnchor);
    g.DrawLine(&pen, x1, y1, x2, y2);
  };
  auto triangle = [&](GpPoint a, GpPoint b, GpPoint c) {
    TGPGraphicsPath p;
    GpPoint points[] = {a, b, c};
    p.AddPolygon(points, 3);
    g.FillPath(&brush, &p);
  };
  auto bar = [&](double x, double y, double w, double h) { g.FillRectangle(&brush, x, y, w, h); };
  const int d = Wi / 12;
  switch (symbol_) {
    case bsArrowLeft: arrow(W - W / 5, H / 2, W / 8, H / 2); break;
    case bsArrowRight: arrow(W / 6, H / 2, W - W / 8, H / 2); break;
    case bsArrowUp: arrow(W / 2, H - H / 5, W / 2, H / 8); break;
    case bsArrowDown: arrow(W / 2, H / 5, W / 2, H - H / 8); break;
    case bsPlay:
      triangle({Wi / 20 + Wi / 4, Hi / 4}, {Wi / 20 + Wi - Wi / 4, Hi / 2}, {Wi / 20 + Wi / 4, Hi - Hi / 4});
      break;
    case bsPause:
      bar(W / 4, H / 4, (W / 2 - W / 10) / 2, H / 2);
      bar(W / 2 + W / 20, H / 4, (W / 2 - W / 10) / 2, H / 2);
      break;
    case bsStop: bar(W / 4 + W / 20, H / 4 + H / 20, W / 2 - W / 10, H / 2 - H / 10); break;
    case bsFastForward:
      triangle({Wi / 4, Hi / 4}, {Wi / 2, Hi / 2}, {Wi / 4, Hi - Hi / 4});
      triangle({Wi / 2, Hi / 4}, {3 * Wi / 4, Hi / 2}, {Wi / 2, Hi - Hi / 4});
      bar(3 * W / 4, H / 4, W / 12, H / 2);
      break;
    case bsForward:
      triangle({d + Wi / 4, Hi / 4}, {d + Wi / 2, Hi / 2}, {d + Wi / 4, Hi - Hi / 4});
      triangle({d + Wi / 2, Hi / 4}, {d + 3 * Wi / 4, Hi / 2}, {d + Wi / 2, Hi - Hi / 4});
      break;
    case bsBackward:
      triangle({Wi / 4 - d, Hi / 2}, {Wi / 2 - d, Hi / 4}, {Wi / 2 - d, Hi - Hi / 4});
      triangle({Wi / 2 - d, Hi / 2}, {3 * Wi / 4 - d, Hi / 4}, {3 * Wi / 4 - d, Hi - Hi / 4});
      break;
    case bsFastBackward:
      triangle({Wi / 4, Hi / 2}, {Wi / 2, Hi / 4}, {Wi / 2, Hi - Hi / 4});
      triangle({Wi / 2, Hi / 2}, {3 * Wi / 4, Hi / 4}, {3 * Wi / 4, Hi - Hi / 4});
      bar(W / 4 - W / 12, H / 4, W / 12, H / 2);
      break;
    case bsRecord: {
      const double dia = std::min(W, H) / 2;
      TGPGraphicsPath p;
      p.AddEllipse((W - dia) / 2, (H - dia) / 2, dia, dia);
      g.FillPath(&brush, &p);
      break;
    }
    case bsSpeaker:
    case bsNoSpeaker: {
      TGPPen pen(colour, static_cast<float>(W / 20));
      const int k = Wi / 15, m = Wi / 2, t = Hi / 10 + Hi / 4, b = 3 * Hi / 4 - Hi / 10;
      GpPoint body[] = {{m - Wi / 6 - k, t}, {m - k, t}, {Wi / 5 + m - k, Hi / 4}, {Wi / 5 + m - k, 3 * Hi / 4},
                        {m - k, b}, {m - Wi / 6 - k, b}};
      TGPGraphicsPath p;
      p.AddPolygon(body, 6);
      g.DrawPath(&pen, &p);
      const double e = H / 4 + H / 10 + W / 40;
      g.DrawLine(&pen, W / 2 - W / 15, e, W / 2 - W / 15, H - e);
      if (symbol_ == bsNoSpeaker)
        g.DrawLine(&pen, Nearest(W / 2 - W / 3.5 - W / 15), 3 * H / 4 - H / 10, W / 2 + W / 3 - W / 15,
                   H / 4 + H / 12 + W / 40);
      break;
    }
    case AdvGlassButton::bsNone: break;
  }
}

TGlassContentPlace PlaceGlassContent(TGlassButtonLayout layout, bool gdiText, int rw, int rh, int pw, int ph,
                                     GpRectF measured, int e) {
  using namespace AdvGlassButton;
  auto c = [](int v) { return std::max(0, v / 2); };
  const double tw = measured.Width, th = measured.Height;
  // The GDI path measures one line without alignment: the caption and the
  // picture of the default layout are centred as a pair.
  const double bx = !gdiText ? measured.X : layout == blGlyphLeft ? (rw - Nearest(tw) - pw) / 2 : 0;
  TGlassContentPlace p{};
  p.Text = GDIPMakeRectF(0, 0, rw, rh);
  p.PictureX = c(rw - pw);
  p.PictureY = c(rh - ph);
  switch (layout) {
    case blGlyphLeft:
      p.Text = GDIPMakeRectF(gdiText ? bx + pw : pw + 2, 0, rw - pw - 2, rh);
      p.PictureX = std::max(2, gdiText ? Nearest(bx) : Nearest(bx - pw / 2));
      break;
    case blGlyphTop:
      p.Text = GDIPMakeRectF(0, ph, rw, rh - ph - 2);
      p.PictureY = std::max(2, c(Nearest(rh - ph - 2 - th)) - (gdiText ? 4 : 0));
      break;
    case blGlyphRight:
      p.Text = GDIPMakeRectF(2, 0, rw - pw - 4, rh);
      p.PictureX = c(Nearest(rw - pw - 4 - tw)) + Nearest(tw) + 4;
      if (p.PictureX > rw - pw) p.PictureX = rw - pw - 2;
      break;
    case blGlyphBottom:
      p.Text = GDIPMakeRectF(0, 2, rw, rh - ph - 2);
      p.PictureY = c(Nearest(rh - ph - 2 - th)) + Nearest(th + (gdiText ? 5 : 2));
      if (p.PictureY > rh - ph) p.PictureY = rh - ph - 2;
      break;
    case blGlyphLeftAdjusted:
      p.Text = GDIPMakeRectF(pw + 2 + e, 0, rw - pw - 2, rh);
      p.PictureX = std::max(2, 2 + e);
      break;
    case blGlyphRightAdjusted:
      p.Text = GDIPMakeRectF(2, 0, rw - pw - 4 - e, rh);
      p.PictureX = rw - pw - 2 - e;
      break;
    case blGlyphTopAdjusted:
      p.Text = GDIPMakeRectF(0, ph, rw, rh - ph - 2);
      p.PictureY = 2;
      break;
    case blGlyphBottomAdjusted:
      p.Text = GDIPMakeRectF(0, 2, rw, rh - ph - (gdiText ? 4 : 2));
      p.PictureY = gdiText ? rh - ph - 2 : rh / 2 + Nearest(th + 2);
      if (p.PictureY > rh - ph) p.PictureY = rh - ph - 2;
      break;
  }
  return p;
}

namespace {

// Whether the face is in the screen's font list: the installed families,
// and the usual Windows faces that the font substitution draws with them
// (so a button in "Tahoma" keeps GDI+ text where no "Tahoma" is installed).
bool InScreenFonts(const std::string& face) {
  return FontFaceSubstituted(face) || Screen->Fonts()->IndexOf(face) >= 0;
}

// GDI+ draws the caption unless anti-aliasing is off or the font is no
// outline font of the screen's list; GDI text takes it then.
bool UsesGdiText(HDC dc, const std::string& face, TAntiAlias antiAlias) {
  if (antiAlias == aaNone) return true;
  TEXTMETRIC tm{};
  if (!GetTextMetrics(dc, &tm)) return true;
  const bool outline = (tm.tmPitchAndFamily & TMPF_VECTOR) && !(tm.tmPitchAndFamily & TMPF_DEVICE);
  return !outline || !InScreenFonts(face);
}

}  // namespace

void TAdvCustomGlassButton::DrawButtonContent(TCanvas* canvas, AdvGDIP::TGDIPPicture* picture, bool focus) {
  using namespace AdvGlassButton;
  const int rw = ClientWidth(), rh = ClientHeight();
  std::string text = showCaption_ ? Caption() : std::string();
  TGPGraphics g(canvas->Handle());
  g.SetSmoothingMode(kSmoothingAntiAlias);
  if (focus) {
    std::unique_ptr<TGPGraphicsPath> p = shape_ == btsCurvedRectangle ? ShapePath(6, 5, rw - 12, rh - 10, 0)
                                                                      : ShapePath(4, 4, rw - 8, rh - 8, cornerRadius_ - 2);
    TGPPen pen(ResolvedARGB(static_cast<TColor>(0x808080)), 1);
    g.DrawPath(&pen, p.get());
  }
  int pw = 0, ph = 0;
  if (picture && !picture->Empty()) {
    picture->ReadImageSize();
    pw = picture->Width();
    ph = picture->Height();
  }
  if (!text.empty() && pw > 0) pw += 2;
  int px = std::max(0, (rw - pw) / 2), py = std::max(0, (rh - ph) / 2);
  if (!text.empty()) {
    for (const char* mark : {"\\n", "\\N"})
      for (size_t at; (at = text.find(mark)) != std::string::npos;) text.replace(at, 2, "\n\r");
    const int e = shape_ == btsCurvedRectangle ? rh / 4 : 0;
    const TColor colour = Enabled() ? Font()->Color() : static_cast<TColor>(0x808080);
    canvas->Font()->Assign(Font());
    const bool gdiText = UsesGdiText(canvas->Handle(), Font()->Name(), antiAlias_);
    TGlassContentPlace place{};
    if (gdiText) {
      RECT calc{0, 0, 2, 0};
      DrawText(canvas->Handle(), text, &calc, DT_CALCRECT | DT_SINGLELINE);
      place = PlaceGlassContent(layout_, true, rw, rh, pw, ph,
                                GDIPMakeRectF(0, 0, calc.right - calc.left, calc.bottom - calc.top), e);
      DrawGdiCaption(canvas, text, place, ph, colour);
    } else {
      std::unique_ptr<TGPFont> font(AdvSmoothGDIP::CreateGPFont(&g, Font()));
      TGPStringFormat format(0);
      format.SetAlignment(layout_ == blGlyphLeftAdjusted ? 0 : layout_ == blGlyphRightAdjusted ? 2 : 1);
      format.SetLineAlignment(layout_ == blGlyphTopAdjusted ? 0 : layout_ == blGlyphBottomAdjusted ? 2 : 1);
      format.SetHotkeyPrefix(1);
      g.SetTextRenderingHint(antiAlias_ == aaClearType ? 5 : 4);
      const std::wstring wide = AdvSmoothGDIP::WideText(text);
      GpRectF measured{};
      g.MeasureString(wide, static_cast<int>(wide.size()), font.get(), GDIPMakeRectF(0, 0, rw, rh), &format, measured);
      place = PlaceGlassContent(layout_, false, rw, rh, pw, ph, measured, e);
      TGPSolidBrush brush(ResolvedARGB(colour));
      g.DrawString(wide, static_cast<int>(wide.size()), font.get(), place.Text, &format, &brush);
    }
    px = place.PictureX;
    py = place.PictureY;
  }
  if (picture && !picture->Empty()) canvas->Draw(px, py, picture);
  canvas->Brush()->SetStyle(bsClear);
}

// The caption through GDI text, in the placed rectangle: centred, flush or
// at the bottom as the layout says (the text may wrap, so the vertical
// place is measured).
void TAdvCustomGlassButton::DrawGdiCaption(TCanvas* canvas, const std::string& text, const TGlassContentPlace& place,
                                           int ph, TColor colour) {
  using namespace AdvGlassButton;
  canvas->Brush()->SetStyle(bsClear);
  canvas->Font()->SetColor(colour);
  RECT r{Nearest(place.Text.X), Nearest(place.Text.Y), Nearest(place.Text.X) + Nearest(place.Text.Width),
         Nearest(place.Text.Y) + Nearest(place.Text.Height)};
  if (layout_ == blGlyphLeftAdjusted) r.left += 2;
  UINT flags = DT_VCENTER;
  switch (layout_) {
    case blGlyphLeft:
    case blGlyphLeftAdjusted: break;
    case blGlyphTop:
    case blGlyphRight:
    case blGlyphBottom: flags |= DT_CENTER; break;
    case blGlyphRightAdjusted: flags |= DT_RIGHT; break;
    case blGlyphTopAdjusted: flags = DT_CENTER; break;
    case blGlyphBottomAdjusted: flags = DT_CENTER | DT_BOTTOM; break;
  }
  RECT calc = r;
  DrawText(canvas->Handle(), text, &calc, flags | DT_CALCRECT);
  const int hh = calc.bottom - calc.top;
  if (layout_ == blGlyphTop) r.top = place.PictureY + ph + (r.bottom - place.PictureY - ph - hh) / 2;
  else if (layout_ == blGlyphBottomAdjusted) r.top = r.bottom - hh;
  else if (layout_ != blGlyphTopAdjusted) r.top += (r.bottom - r.top - hh) / 2;
  SetBkMode(canvas->Handle(), TRANSPARENT);
  SetTextColor(canvas->Handle(), ColorToRGB(colour));
  DrawText(canvas->Handle(), text, &r, flags);
}
