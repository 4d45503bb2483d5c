// The caption bar: its shading into the header bitmap, its background,
// buttons and text.
#include <algorithm>
#include <cmath>

#include "platform/rtl/system.h"
#include "platform/win/gdi.h"
#include "ui/controls/advpanel.h"

namespace {

// The header's pixels while they are shaded, every write checked against its size.
class Shading {
public:
  Shading(TBitmap* bitmap, TColor color, int32_t light)
      : bitmap_(bitmap), w_(bitmap->Width()), h_(bitmap->Height()), light_(light & 0xFF) {
    COLORREF rgb = ColorToRGB(color);
    r_ = rgb & 0xFF;
    g_ = (rgb >> 8) & 0xFF;
    b_ = (rgb >> 16) & 0xFF;
  }
  int32_t W() const { return w_; }
  int32_t H() const { return h_; }
  int32_t L() const { return light_; }
  void Put(int32_t x, int32_t y, int32_t intensity) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return;
    auto channel = [&](int32_t c) { return ((c * intensity) / 255) & 0xFF; };
    auto* row = static_cast<uint32_t*>(bitmap_->ScanLine(y));
    row[x] = 0xFF000000u | (uint32_t(channel(r_)) << 16) | (uint32_t(channel(g_)) << 8) | uint32_t(channel(b_));
  }
  int32_t Blue(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
    return static_cast<int32_t>(static_cast<uint32_t*>(bitmap_->ScanLine(y))[x] & 0xFF);
  }

private:
  TBitmap* bitmap_;
  int32_t w_, h_, light_, r_ = 0, g_ = 0, b_ = 0;
};

int32_t Cube(int32_t t) { return ((t * t * t) / 128) / 128; }

void Shade(Shading& s, TShadeType type, int32_t grain) {
  const int32_t W = s.W(), H = s.H(), L = s.L();
  auto everyPixel = [&](auto intensity) {
    for (int32_t y = 0; y < H; ++y)
      for (int32_t x = 0; x < W; ++x) s.Put(x, y, intensity(x, y));
  };
  switch (type) {
    case stNoise: everyPixel([&](int32_t, int32_t) { return L - (Random(grain) + 128) / 2; }); break;
    case stDiagShade:
      everyPixel([&](int32_t x, int32_t y) { return L - ((L - 255) + 129 * x / W + 129 * y / H) / 2; });
      break;
    case stHShade:
    case stHShadeInv:
      for (int32_t x = 0; x < W; ++x)
        for (int32_t y = 0; y < H; ++y)
          s.Put(type == stHShade ? x : W - 1 - x, y, L - ((W - x) * 239 / W + 8) / 2);
      break;
    case stVShade:
    case stVShadeInv:
      for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x)
          s.Put(x, type == stVShade ? y : H - 1 - y, L - (239 * y / H + 8) / 4);
      break;
    case stHBump:
      everyPixel([&](int32_t x, int32_t) { return L - (Cube((W - x) * 255 / W - 127) * 120 / 128 + 128) / 2; });
      break;
    case stVBump:
      everyPixel([&](int32_t, int32_t y) { return L - (Cube(y * 255 / H - 127) * 120 / 128 + 128) / 2; });
      break;
    case stSoftBump:
      everyPixel([&](int32_t x, int32_t y) {
        int32_t v = (Cube(y * 255 / H - 127) + Cube((W - x) * 255 / W - 127)) * 120 / 128 + 128;
        return L - std::clamp(v, 8, 247) / 2;
      });
      break;
    case stHardBump: {
      everyPixel([&](int32_t, int32_t y) { return L - (Cube(y * 255 / H - 127) * 112 / 128 + 128) / 2; });
      int32_t D = std::min(W / 6, 16), Q = (H * H) / 4;
      if (D <= 0 || Q <= 0) break;  // too small for the rounded ends
      for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
          int32_t dy = y - H / 2, dx = x - W / 2, e = (dy * dy * D) / Q + W / 2 - D;
          if (dx > e) s.Put(x, y, L - ((W - x) * 128 / D + 8) / 2);
          else if (dx + e < 0) s.Put(x, y, L - (247 - x * 128 / D) / 2);
        }
      break;
    }
    case stLMetal:
    case stRMetal: {
      for (int stroke = 0; stroke < 251; ++stroke) {
        int32_t x0 = Random(W), y0 = Random(H), n = Random(std::min(W, H) / 2), i = L - Random(40);
        for (int32_t k = 0; k < n; ++k) {
          int32_t dx = type == stLMetal ? k : -k;
          s.Put(x0 + dx, y0 + k, i);
          s.Put(x0 - dx, y0 - k, i);
        }
      }
      everyPixel([&](int32_t x, int32_t y) { return L - ((L - s.Blue(x, y)) + 120 * x / W + 120 * y / H) / 2; });
      break;
    }
    case stIRadial:
    case stORadial: {
      // The distance from the centre to a corner normalises the radius.
      double d = std::max(1.0, std::hypot(W / 2.0, H / 2.0));
      for (int32_t x = 0; x <= W / 2; ++x)
        for (int32_t y = 0; y <= H / 2; ++y) {
          double r = std::nearbyint(std::hypot(x - W / 2, y - H / 2));
          int32_t i = static_cast<int32_t>(std::nearbyint((type == stIRadial ? (d - r) : r) / d * L));
          for (auto [px, py] : {std::pair{x, y}, {W - 1 - x, H - 1 - y}, {W - 1 - x, y}, {x, H - 1 - y}}) s.Put(px, py, i);
        }
      break;
    }
    default: break;
  }
}

}  // namespace

void TCustomAdvPanel::BuildShadedHeader() {
  bool left = LeftCaption();
  int32_t w = left ? caption_->Height() : Width(), h = left ? Height() : caption_->Height();
  if (w <= 0) w = left ? 20 : 100;
  if (h <= 0) h = left ? 100 : 20;
  headerBitmap_->SetPixelFormat(pf32bit);
  headerBitmap_->SetSize(w, h);
  TCanvas* c = headerBitmap_->Canvas();
  c->Brush()->SetColor(caption_->Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(RECT{0, 0, w, h});
  int32_t saved = RandSeed;
  if (caption_->ShadeSeed() != 0) RandSeed = caption_->ShadeSeed();
  else Randomize();
  Shading shading(headerBitmap_.get(), caption_->Color(), caption_->ShadeLight());
  Shade(shading, caption_->ShadeType(), caption_->ShadeGrain());
  if (caption_->ShadeSeed() != 0) RandSeed = saved;
}

// The picture shadings: the caption's Background stretched, or drawn at
// one end with a few of its edge columns (rows) stretched over the rest.
bool TCustomAdvPanel::PaintPictureBackground(TCanvas* c, const RECT& k) {
  TShadeType type = caption_->ShadeType();
  if (type != stBitmap && type != stBitmapLStretch && type != stBitmapRStretch) return false;
  TBitmap* b = caption_->Background();
  if (b->Empty()) return true;
  const int32_t bw = b->Width(), bh = b->Height();
  bool left = LeftCaption();
  if (type == stBitmap) {
    c->StretchDraw(k, b);
  } else if (type == stBitmapRStretch && !left) {
    c->Draw(k.left, k.top, b);
    c->CopyRect(RECT{k.left + bw, k.top, k.right, k.bottom}, b->Canvas(), RECT{bw - 3, 0, bw, bh});
  } else if (type == stBitmapRStretch) {
    c->Draw(k.left, k.bottom - bh, b);
    c->CopyRect(RECT{k.left, k.top, k.right, k.bottom - bh}, b->Canvas(), RECT{0, 0, bw, 3});
  } else if (!left) {
    int32_t d = std::max(0, Width() - bw);
    c->Draw(k.left + d, k.top, b);
    c->CopyRect(RECT{0, k.top, d, k.bottom}, b->Canvas(), RECT{0, 0, 2, bh});
  } else {
    c->Draw(k.left, k.top, b);
    c->CopyRect(RECT{0, k.bottom - std::max(0, Height() - bh), k.right, k.bottom}, b->Canvas(),
                RECT{0, bh - 3, bw, bh});
  }
  return true;
}

namespace {

// RoundRect(k) drawn twice, each clipped to half of it: grey below, white above.
void RoundedOutline(TCanvas* c, HDC dc, const RECT& k) {
  int32_t middle = k.top + (k.bottom - k.top) / 2;
  for (bool lower : {true, false}) {
    HRGN half = lower ? CreateRoundRectRgn(k.left, middle, k.right + 1, k.bottom + 1, 32, 32)
                      : CreateRoundRectRgn(k.left, k.top, k.right + 1, k.bottom - (k.bottom - k.top) / 2 + 1, 32, 32);
    SelectClipRgn(dc, half);
    c->Pen()->SetColor(lower ? clGray : clWhite);
    c->RoundRect(k.left, k.top, k.right, k.bottom, 32, 32);
    SelectClipRgn(dc, nullptr);
    DeleteObject(half);
  }
}

}  // namespace

void TCustomAdvPanel::PaintCaptionBackground(TCanvas* c, RECT k) {
  TShadeType type = caption_->ShadeType();
  // No visual style exists here: the themed caption takes the plain look.
  if (type != stNormal && type != stXPCaption) {
    if (PaintPictureBackground(c, k)) return;
    // An outline by shape, then the shading clipped to it.
    HDC dc = c->Handle();
    int saved = SaveDC(dc);
    TCaptionShape shape = caption_->Shape();
    if (shape == csRectangle && !caption_->Flat()) {
      c->Pen()->SetColor(clGray);
      c->Polyline({{k.left, k.bottom - 1}, {k.right - 1, k.bottom - 1}, {k.right - 1, k.top}});
      c->Pen()->SetColor(clWhite);
      c->Polyline({{k.right - 1, k.top}, {k.left, k.top}, {k.left, k.bottom - 1}});
      InflateRect(&k, -1, -1);
    } else if (shape != csRectangle) {
      c->Brush()->SetColor(collaps_ ? caption_->CloseColor() : caption_->Color());
      c->Brush()->SetStyle(bsSolid);
      RoundedOutline(c, dc, k);
      if (shape == csRounded) {
        c->Pen()->SetColor(clGray);
        c->Polyline({{k.left + 16, k.bottom - 1}, {k.right - 16, k.bottom - 1}});
        k.top += 1;
      } else {
        c->Pen()->SetColor(clWhite);
        c->Polyline({{k.left + (k.right - k.left) / 2, k.top}, {k.left, k.top}, {k.left, k.bottom - 1}});
        c->Pen()->SetColor(clGray);
        c->Polyline({{k.left, k.bottom - 1}, {k.right - 16, k.bottom - 1}});
        k.left += 1;
        k.top += 1;
      }
    }
    HRGN clip = shape == csRectangle ? CreateRectRgn(k.left, k.top, k.right, k.bottom)
                                     : CreateRoundRectRgn(k.left, k.top, k.right + 1, k.bottom + 1, 32, 32);
    if (shape == csSemiRounded) {
      HRGN square = CreateRectRgn(k.left, k.top, k.right - (k.right - k.left) / 2, k.bottom - 1);
      CombineRgn(clip, clip, square, RGN_OR);
      DeleteObject(square);
    }
    ExtSelectClipRgn(dc, clip, RGN_AND);
    c->Draw(k.left, k.top, headerBitmap_.get());
    RestoreDC(dc, saved);
    DeleteObject(clip);
    return;
  }
  TColor color = collaps_ ? caption_->CloseColor() : caption_->Color();
  if (caption_->ColorTo() == clNone) {
    c->Pen()->SetColor(color);
    c->Brush()->SetColor(color);
    c->Brush()->SetStyle(bsSolid);
    c->Rectangle(k);
  } else {
    DrawBandedGradient(c, caption_->Color(), caption_->ColorTo(), caption_->GradientDirection() == gdHorizontal, k,
                       64);
  }
}

TCustomAdvPanel::ButtonEdge TCustomAdvPanel::CaptionButtonEdge() const {
  bool right = caption_->ButtonPosition() == cbpRight;
  if (LeftCaption()) return right ? ButtonEdge::Top : ButtonEdge::Bottom;
  return right ? ButtonEdge::Right : ButtonEdge::Left;
}

void TCustomAdvPanel::TakeButton(RECT& a, int32_t w) const {
  switch (CaptionButtonEdge()) {
    case ButtonEdge::Right: a.right -= w; break;
    case ButtonEdge::Left: a.left += w; break;
    case ButtonEdge::Top: a.top += w; break;
    case ButtonEdge::Bottom: a.bottom -= w; break;
  }
}

void TCustomAdvPanel::PaintGlyphButton(TCanvas* c, RECT& a, TBitmap* glyph, bool moves) {
  const int32_t gw = glyph->Width(), gh = glyph->Height();
  POINT at{};
  switch (CaptionButtonEdge()) {
    case ButtonEdge::Right: at = {a.right - gw, a.top + 2}; break;
    case ButtonEdge::Left: at = {a.left, a.top + 2}; break;
    case ButtonEdge::Top: at = {a.left + 2, a.top}; break;
    case ButtonEdge::Bottom: at = {a.left + 2, a.bottom - gh}; break;
  }
  TBitmap copy;
  copy.Assign(glyph);
  copy.SetTransparent(true);
  c->Draw(at.x, at.y, &copy);
  if (moves) TakeButton(a, LeftCaption() ? gh : gw);
}

void TCustomAdvPanel::PaintButtons(TCanvas* c, RECT& a) {
  const ButtonEdge edge = CaptionButtonEdge();
  // The top-left corner of the 6 x 6 box that a drawn button takes.
  auto box = [&] {
    switch (edge) {
      case ButtonEdge::Right: return POINT{a.right - 10, a.top + 4};
      case ButtonEdge::Bottom: return POINT{a.left + 4, a.bottom - 10};
      default: return POINT{a.left + 4, a.top + 4};
    }
  };
  if (caption_->CloseButton()) {
    if (caption_->HasCloseGlyphs()) {
      PaintGlyphButton(c, a, collaps_ ? caption_->CloseMinGlyph() : caption_->CloseMaxGlyph(), true);
    } else {
      TColor color = closeButtonHot_ && caption_->CloseButtonHoverColor() != clNone
                         ? caption_->CloseButtonHoverColor()
                         : caption_->CloseButtonColor();
      c->Pen()->SetColor(color);
      c->Pen()->SetWidth(2);
      POINT o = box();
      c->MoveTo(o.x, o.y);
      c->LineTo(o.x + 6, o.y + 6);
      c->MoveTo(o.x + 6, o.y);
      c->LineTo(o.x, o.y + 6);
      c->Pen()->SetWidth(1);
      TakeButton(a, 12);
    }
  }
  if (!caption_->MinMaxButton()) return;
  TBitmap* glyph = collaps_ ? caption_->MaxGlyph() : caption_->MinGlyph();
  if (!glyph->Empty()) {
    PaintGlyphButton(c, a, glyph, false);
    return;
  }
  TColor color = minMaxButtonHot_ && caption_->MinMaxButtonHoverColor() != clNone ? caption_->MinMaxButtonHoverColor()
                                                                                 : caption_->MinMaxButtonColor();
  c->Pen()->SetColor(color);
  c->Brush()->SetColor(color);
  c->Brush()->SetStyle(bsSolid);
  POINT o = box();
  // Pointing down (right) to expand, up (left) to collapse.
  int32_t base = collaps_ ? 1 : 4, tip = collaps_ ? 4 : 1;
  if (LeftCaption()) c->Polygon({{o.x + base, o.y + 6}, {o.x + base, o.y}, {o.x + tip, o.y + 3}});
  else c->Polygon({{o.x, o.y + base}, {o.x + 6, o.y + base}, {o.x + 3, o.y + tip}});
}

void DrawRotatedText(TCanvas* c, const TFont* font, int32_t x, int32_t y, const std::string& text) {
  c->Font()->Assign(font);
  LOGFONTA lf{};
  GetObjectA(c->Font()->Handle(), sizeof(lf), &lf);
  lf.lfEscapement = -2700;
  lf.lfOrientation = 30;
  HFONT rotated = CreateFontIndirectA(&lf);
  HDC dc = c->Handle();
  HGDIOBJ old = SelectObject(dc, rotated);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(font->Color()));
  TextOut(dc, x, y, StripMarkup(text));
  SelectObject(dc, old);
  DeleteObject(rotated);
}

void TCustomAdvPanel::PaintCaption(TCanvas* c) {
  RECT a = ClientRect();
  if (borderShadow_) {
    a.left = a.top = BorderWidth();
    a.right -= BorderWidth() + 2;
  }
  if (BevelInner() != bvNone || BevelOuter() != bvNone) InflateRect(&a, -BevelWidth(), -BevelWidth());
  const int32_t thickness = caption_->Height() - 2 * BevelWidth();
  RECT k{a.left, a.top, a.right, a.top + thickness};
  if (LeftCaption()) {
    bool shaded = caption_->ShadeType() != stNormal && caption_->ShadeType() != stXPCaption;
    k = RECT{a.left, a.top, a.left + thickness, a.bottom - (borderShadow_ && !shaded ? 3 : 0)};
  }
  PaintCaptionBackground(c, k);
  PaintButtons(c, a);
  for (bool set : {caption_->CloseButton(), caption_->MinMaxButton()})
    if (set) TakeButton(a, 20);
  if (LeftCaption()) {
    a.right = a.left + caption_->Height();
    a.bottom -= caption_->Indent();
    a.left += caption_->TopIndent();
    PaintLeftCaptionText(c, a);
    return;
  }
  a.bottom = a.top + caption_->Height();
  a.left += caption_->Indent();
  a.top += caption_->TopIndent();
  c->Font()->Assign(caption_->Font());
  TMarkupArgs args = TextArgs();
  args.HoverLink = captionHoverLinkIndex_;
  args.WordWrap = false;
  RenderMarkup(c, caption_->Text(), a, args);
}

// A left caption's text reads upwards from the bottom of its area, plain.
void TCustomAdvPanel::PaintLeftCaptionText(TCanvas* c, RECT a) {
  c->Font()->Assign(caption_->Font());
  int32_t h = c->TextHeight("gh");
  DrawRotatedText(c, caption_->Font(), a.left + std::max(0, (a.right - a.left - h) / 2), a.bottom, caption_->Text());
}
