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
  int32_t w = Width() > 0 ? Width() : 100, h = caption_->Height() > 0 ? caption_->Height() : 20;
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

void TCustomAdvPanel::PaintCaptionBackground(TCanvas* c, RECT k) {
  TShadeType type = caption_->ShadeType();
  if (type != stNormal && type != stXPCaption && type < stBitmap) {
    // An outline by shape, then the shading clipped to it.
    HDC dc = c->Handle();
    int saved = SaveDC(dc);
    HRGN clip = caption_->Shape() == csRectangle ? CreateRectRgn(k.left, k.top, k.right, k.bottom)
                                                 : CreateRoundRectRgn(k.left, k.top, k.right + 1, k.bottom + 1, 32, 32);
    if (caption_->Shape() == csSemiRounded) {
      HRGN square = CreateRectRgn(k.left, k.top, k.right - (k.right - k.left) / 2, k.bottom - 1);
      CombineRgn(clip, clip, square, RGN_OR);
      DeleteObject(square);
    }
    if (caption_->Shape() == csRectangle && !caption_->Flat()) {
      c->Pen()->SetColor(clGray);
      c->Polyline({{k.left, k.bottom - 1}, {k.right - 1, k.bottom - 1}, {k.right - 1, k.top}});
      c->Pen()->SetColor(clWhite);
      c->Polyline({{k.right - 1, k.top}, {k.left, k.top}, {k.left, k.bottom - 1}});
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
    c->Rectangle(k);
  } else {
    DrawBandedGradient(c, caption_->Color(), caption_->ColorTo(), caption_->GradientDirection() == gdHorizontal, k,
                       64);
  }
}

void TCustomAdvPanel::PaintButtons(TCanvas* c, RECT& a) {
  bool right = caption_->ButtonPosition() == cbpRight;
  if (caption_->CloseButton()) {
    TColor color = closeButtonHot_ && caption_->CloseButtonHoverColor() != clNone ? caption_->CloseButtonHoverColor()
                                                                                 : caption_->CloseButtonColor();
    c->Pen()->SetColor(color);
    c->Pen()->SetWidth(2);
    int32_t x = right ? a.right - 10 : a.left + 4;
    c->MoveTo(x, a.top + 4);
    c->LineTo(x + 6, a.top + 10);
    c->MoveTo(x + 6, a.top + 4);
    c->LineTo(x, a.top + 10);
    c->Pen()->SetWidth(1);
    (right ? a.right : a.left) += right ? -12 : 12;
  }
  if (caption_->MinMaxButton()) {
    TColor color = minMaxButtonHot_ && caption_->MinMaxButtonHoverColor() != clNone
                       ? caption_->MinMaxButtonHoverColor()
                       : caption_->MinMaxButtonColor();
    c->Pen()->SetColor(color);
    c->Brush()->SetColor(color);
    c->Brush()->SetStyle(bsSolid);
    int32_t x = right ? a.right - 10 : a.left + 4;
    int32_t base = collaps_ ? a.top + 5 : a.top + 8, tip = collaps_ ? a.top + 8 : a.top + 5;
    c->Polygon({{x, base}, {x + 6, base}, {x + 3, tip}});
  }
}

void TCustomAdvPanel::PaintCaption(TCanvas* c) {
  RECT a = ClientRect();
  if (borderShadow_) {
    a.left = a.top = BorderWidth();
    a.right -= BorderWidth() + 2;
  }
  if (BevelInner() != bvNone || BevelOuter() != bvNone) InflateRect(&a, -BevelWidth(), -BevelWidth());
  RECT k{a.left, a.top, a.right, a.top + caption_->Height() - 2 * BevelWidth()};
  PaintCaptionBackground(c, k);
  PaintButtons(c, a);
  bool right = caption_->ButtonPosition() == cbpRight;
  for (bool set : {caption_->CloseButton(), caption_->MinMaxButton()})
    if (set) (right ? a.right : a.left) += right ? -20 : 20;
  a.bottom = a.top + caption_->Height();
  a.left += caption_->Indent();
  a.top += caption_->TopIndent();
  c->Font()->Assign(caption_->Font());
  TMarkupArgs args = TextArgs();
  args.HoverLink = captionHoverLinkIndex_;
  args.WordWrap = false;
  RenderMarkup(c, caption_->Text(), a, args);
}
