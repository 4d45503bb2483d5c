// The GDI+ markup renderer: the same layout with its own line rules, drawn
// anti-aliased through the GDI+ wrappers.
#include <gtest/gtest.h>

#include <memory>

#include "tests/ui/render/markup_test_support.h"
#include "tests/ui/render/render_test_files.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/gdippicturecontainer.h"
#include "ui/render/htmlengine.h"

using namespace AdvSmoothGDIP;

namespace {

class GdipMarkup : public ::testing::Test {
protected:
  GdipMarkup() : canvas_(300, 200), graphics_(new TGPGraphics(canvas_.Canvas()->Handle())) {
    font_.SetName("Tahoma");
    font_.SetSize(10);
    font_.SetColor(clBlack);
  }
  TMarkupResult Render(const std::string& text, TMarkupArgs args = {}, RECT r = {0, 0, 300, 200}) {
    return RenderMarkupGDIP(graphics_.get(), &font_, text, r, args);
  }
  TMarkupResult Measure(const std::string& text, TMarkupArgs args = {}, RECT r = {0, 0, 300, 200}) {
    args.MeasureOnly = true;
    return Render(text, args, r);
  }
  int Gh() { return graphics_->TextHeight("gh", &font_); }
  int Width(const std::string& text) {
    RECT r{0, 0, 0, 0};
    DrawTextGDIP(graphics_.get(), text, static_cast<int>(text.size()), r, &font_, kDrawTextCalcRect, clNone);
    return r.right - r.left;
  }

  MarkupCanvas canvas_;
  TFont font_;
  std::unique_ptr<TGPGraphics> graphics_;
};

}  // namespace

TEST_F(GdipMarkup, LineHeightsSpacingAndWidths) {
  const int gh = Gh();
  TMarkupArgs spaced;
  spaced.LineSpacing = 2;
  EXPECT_EQ(Measure("gh", spaced).MeasuredHeight, gh + 2);          // no spacing after the last line
  EXPECT_EQ(Measure("a<BR>b", spaced).MeasuredHeight, 2 * gh + 2 + 2);
  EXPECT_EQ(Measure("").MeasuredHeight, gh + 2);
  EXPECT_EQ(Measure("x<SUB>low</SUB>").MeasuredHeight, gh + gh / 2 + 2);
  // A final blank keeps its width; "&amp;" is one ampersand.
  EXPECT_GT(Measure("ab ").MeasuredWidth, Measure("ab").MeasuredWidth);
  EXPECT_EQ(Measure("a &amp; b").PlainText, "a & b");
  EXPECT_EQ(Measure("a &amp; b").MeasuredWidth, Measure("a & b").MeasuredWidth);
  // Pictures by address are not loaded here (the runs around a tag are measured apart).
  EXPECT_EQ(Measure("a<IMG src=\"file:///x.png\">b").MeasuredWidth, Measure("a<B></B>b").MeasuredWidth);
}

TEST_F(GdipMarkup, AWordIsNotSplitAtATag) {
  const int bold = Width("bold");
  RECT narrow{0, 0, bold + 6, 200};
  // "ness" stays on the line of "bold" although it overflows.
  TMarkupResult r = Measure("<B>bold</B>ness", {}, narrow);
  EXPECT_EQ(r.MeasuredHeight, Gh() + 2);
  EXPECT_GT(r.MeasuredWidth, bold + 6);
  EXPECT_EQ(Measure("bold ness", {}, narrow).MeasuredHeight, 2 * Gh() + 2);
}

TEST_F(GdipMarkup, DrawsAndHitTestsAnchors) {
  const int gh = Gh();
  Render("<FONT color=\"clred\">red red</FONT> <A href=\"mailto:a@b.c\">mail link</A>");
  EXPECT_TRUE(canvas_.Has(RECT{0, 0, 300, gh + 2}, clRed));
  EXPECT_TRUE(canvas_.Has(RECT{0, 0, 300, gh + 2}, clBlue));
  TMarkupArgs args;
  args.CheckHotSpot = true;
  args.X = Width("red red ") + 10;
  args.Y = gh / 2;
  TMarkupResult r = Render("<FONT color=\"clred\">red red</FONT> <A href=\"mailto:a@b.c\">mail link</A>", args);
  EXPECT_TRUE(r.Hit);
  EXPECT_EQ(r.AnchorTarget, "mailto:a@b.c");
  EXPECT_EQ(r.PointLink, 1);
}

TEST_F(GdipMarkup, NamedPicturesComeFromTheGdipContainer) {
  TestFiles files;
  TGDIPPictureContainer container(nullptr);
  auto* item = container.Items()->Add();
  item->SetName("Dot");
  item->Picture()->LoadFromFile(files.Convert("-size 20x10 xc:lime", "dot.png"));
  TMarkupArgs args;
  args.GDIPPictureContainer = &container;
  EXPECT_EQ(Measure("<IMG src=\"dot\">", args).MeasuredWidth, 22);
  EXPECT_EQ(Measure("<IMG src=\"dot\" width=\"40\" height=\"30\">", args).MeasuredHeight, 32);
  EXPECT_EQ(Measure("<IMG src=\"none\">", args).MeasuredWidth, 0);
  Render("<IMG src=\"DOT\">", args);
  EXPECT_EQ(canvas_.Pixel(12, 6), clLime);
  EXPECT_EQ(container.Version(), "1.0.0.0");
}
