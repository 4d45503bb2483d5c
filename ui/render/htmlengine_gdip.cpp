// The GDI+ back end of the markup renderer: runs measured and drawn with
// DrawTextGDIP, pictures from the GDI+ picture container.
#include <memory>

#include "platform/forms/imglist.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/htmlengine_internal.h"

using namespace AdvSmoothGDIP;

namespace Markup {
namespace {

class GdipMetrics : public Metrics {
public:
  explicit GdipMetrics(TGPGraphics* graphics) : g_(graphics) {}
  SIZE TextSize(const FontSpec& font, const std::string& run) override {
    font.ApplyTo(font_);
    RECT r{0, 0, 0, 0};
    DrawTextGDIP(g_, run, static_cast<int>(run.size()), r, &font_, kDrawTextCalcRect, clNone);
    return SIZE{r.right - r.left, r.bottom - r.top};
  }
  int32_t TextHeight(const FontSpec& font) override {
    font.ApplyTo(font_);
    return g_->TextHeight("gh", &font_);
  }
  int32_t PixelsPerInch() override { return 96; }
  bool IsGDIP() const override { return true; }

private:
  TGPGraphics* g_;
  TFont font_;
};

class GdipPainter {
public:
  GdipPainter(TGPGraphics* graphics, const TMarkupArgs& args) : g_(graphics), args_(args) {}

  void Paint(const Layout& layout) {
    for (const Box& b : layout.boxes) {
      switch (b.kind) {
        case BoxKind::Text: Text(b); break;
        case BoxKind::Bullet: Run(b.font, b.text, b.rect.left, b.rect.top, clNone); break;
        case BoxKind::Image: Image(b); break;
        case BoxKind::Rule: Line(b.rect.left, b.rect.top, b.rect.right, b.rect.top, clBlack); break;
        case BoxKind::Zigzag: Zigzag(b.rect); break;
        case BoxKind::Band:
        case BoxKind::FocusRect: break;  // not painted on GDI+
      }
    }
  }

private:
  void Text(const Box& b) {
    if (b.text == " ") return;
    std::string text = b.underscore ? b.text + "_" : b.text;
    if (b.shadow) {
      FontSpec shadow = b.font;
      shadow.color = args_.ShadowColor;
      Run(shadow, text, b.rect.left + args_.ShadowOffset, b.rect.top + args_.ShadowOffset, b.background);
    }
    Run(b.font, text, b.rect.left, b.rect.top, b.background);
  }

  void Run(const FontSpec& spec, const std::string& text, int32_t x, int32_t y, TColor background) {
    spec.ApplyTo(font_);
    RECT r{x, y, x, y};
    DrawTextGDIP(g_, text, static_cast<int>(text.size()), r, &font_, 0, background);
  }

  void Image(const Box& b) {
    if (b.image.gdip) {
      b.image.gdip->DrawOnGraphics(g_, b.rect);
      return;
    }
    if (!b.image.list || args_.ScaleImages) return;
    HDC dc = g_->GetHDC();
    TCanvas canvas;
    canvas.SetHandle(dc);
    b.image.list->Draw(&canvas, b.rect.left, b.rect.top, b.image.index);
    canvas.SetHandle(nullptr);
    g_->ReleaseHDC(dc);
  }

  void Line(float x1, float y1, float x2, float y2, TColor color) {
    std::unique_ptr<TGPPen> pen(new TGPPen(GDIPMakeColor(255, color), 1.0f));
    g_->DrawLine(pen.get(), x1, y1, x2, y2);
  }

  void Zigzag(const RECT& r) {
    std::unique_ptr<TGPPen> pen(new TGPPen(GDIPMakeColor(255, clRed), 1.0f));
    int x = (r.left / 2) * 2;
    int offset = (x % 4 == 0) ? 2 : 0;
    auto segment = [&]() {
      offset = offset ? 0 : 2;
      g_->DrawLine(pen.get(), static_cast<float>(x), static_cast<float>(r.top + offset - 4), static_cast<float>(x + 2),
                   static_cast<float>(r.top - offset - 2));
      x += 2;
    };
    while (x < r.right) segment();
    segment();
  }

  TGPGraphics* g_;
  const TMarkupArgs& args_;
  TFont font_;
};

}  // namespace
}  // namespace Markup

TMarkupResult RenderMarkupGDIP(TGPGraphics* graphics, const TFont* font, const std::string& text, const RECT& rect,
                               const TMarkupArgs& args) {
  using namespace Markup;
  TMarkupResult result;
  graphics->SetTextRenderingHint(TextRenderingHintAntiAlias);
  GdipMetrics metrics(graphics);
  Layout layout = LayOut(Preprocess(text, false), rect, FontSpec::Of(*font), clNone, args, metrics);
  if (!args.MeasureOnly && !args.CheckHotSpot) GdipPainter(graphics, args).Paint(layout);
  result.PlainText = layout.plainText;
  result.FocusTarget = layout.focusTarget;
  result.MeasuredWidth = layout.measuredWidth;
  result.MeasuredHeight = layout.measuredHeight;
  HitTest(layout, args, result);
  return result;
}
