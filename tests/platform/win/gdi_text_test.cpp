#include <gtest/gtest.h>

#include <algorithm>

#include "platform/win/fonts.h"
#include "platform/win/gdi_text.h"
#include "tests/platform/win/gdi_test_canvas.h"

namespace {

HFONT MakeFont(const char* face, int height, int weight = FW_NORMAL, BYTE quality = DEFAULT_QUALITY) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  lf.lfQuality = quality;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face);
  return CreateFontIndirect(&lf);
}

// The box of pixels that differ from white.
RECT InkBox(const TestCanvas& c) {
  RECT r{c.width, c.height, 0, 0};
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x)
      if (c.At(x, y) != kWhite) {
        r.left = std::min<LONG>(r.left, x);
        r.top = std::min<LONG>(r.top, y);
        r.right = std::max<LONG>(r.right, x + 1);
        r.bottom = std::max<LONG>(r.bottom, y + 1);
      }
  return r;
}

TEST(GdiFonts, WindowsFacesResolveToInstalledFamilies) {
  const auto installed = InstalledFontFamilies();
  ASSERT_FALSE(installed.empty());
  EXPECT_TRUE(std::is_sorted(installed.begin(), installed.end()));
  for (const char* face : {"MS Sans Serif", "Tahoma", "Segoe UI", "Arial", "Times New Roman", "Courier New",
                           "No Such Face 123", ""}) {
    std::string family = ResolveFontFamily(face);
    EXPECT_NE(std::find(installed.begin(), installed.end(), family), installed.end()) << face << " -> " << family;
  }
  EXPECT_EQ(ResolveFontFamily("courier new"), ResolveFontFamily("Courier New"));
  EXPECT_EQ(ResolveFontFamily("DejaVu Serif"), "DejaVu Serif");  // installed faces stay
  // The faces of the user interface share one sans family; serif and monospace faces keep their kind.
  const std::string ui = ResolveFontFamily("MS Sans Serif");
  for (const char* face : {"Tahoma", "Segoe UI", "MS Shell Dlg 2", "Microsoft Sans Serif"})
    EXPECT_EQ(ResolveFontFamily(face), ui) << face;
  for (const char* face : {"Times New Roman", "Georgia"}) EXPECT_NE(ResolveFontFamily(face).find("Serif"), std::string::npos) << face;
  for (const char* face : {"Courier New", "Consolas"}) EXPECT_NE(ResolveFontFamily(face).find("Mono"), std::string::npos) << face;
}

TEST(GdiText, HeightsMetricsAndExtents) {
  TestCanvas c(10, 10);
  HFONT font = MakeFont("Arial", -20);
  HGDIOBJ old = SelectObject(c.dc, font);
  TEXTMETRIC tm{};
  ASSERT_TRUE(GetTextMetrics(c.dc, &tm));
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GE(tm.tmHeight, 20);  // negative height = character height, cell is taller
  EXPECT_LE(tm.tmHeight, 26);
  EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);  // set for variable pitch
  EXPECT_TRUE(tm.tmPitchAndFamily & TMPF_TRUETYPE);

  SIZE one{}, two{};
  GetTextExtentPoint32(c.dc, "Hello", &one);
  GetTextExtentPoint32(c.dc, "HelloHello", &two);
  EXPECT_GT(one.cx, 20);
  EXPECT_NEAR(two.cx, 2 * one.cx, 1);
  EXPECT_EQ(one.cy, tm.tmHeight);
  int widths[3];
  ASSERT_TRUE(GetCharWidth32(c.dc, 'a', 'c', widths));
  EXPECT_GT(widths[0], 0);

  // A positive height is the cell height.
  HFONT cell = MakeFont("Arial", 20);
  SelectObject(c.dc, cell);
  GetTextMetrics(c.dc, &tm);
  EXPECT_NEAR(tm.tmHeight, 20, 1);

  // Fixed pitch clears the variable-pitch bit.
  HFONT mono = MakeFont("Courier New", -16);
  SelectObject(c.dc, mono);
  GetTextMetrics(c.dc, &tm);
  EXPECT_FALSE(tm.tmPitchAndFamily & TMPF_FIXED_PITCH);
  SIZE i{}, w{};
  GetTextExtentPoint32(c.dc, "iiii", &i);
  GetTextExtentPoint32(c.dc, "WWWW", &w);
  EXPECT_EQ(i.cx, w.cx);
  SelectObject(c.dc, old);
  for (HFONT f : {font, cell, mono}) DeleteObject(f);
}

TEST(GdiText, TextOutAlignmentOpaqueAndClipping) {
  TestCanvas c(200, 60);
  HFONT font = MakeFont("Arial", -20);
  SelectObject(c.dc, font);
  SIZE ext{};
  GetTextExtentPoint32(c.dc, "Hxxxxxx", &ext);
  SetBkMode(c.dc, TRANSPARENT);
  TextOut(c.dc, 10, 5, "Hxxxxxx");
  RECT ink = InkBox(c);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.left, 13);
  EXPECT_GE(ink.top, 5);
  EXPECT_LE(ink.right, 10 + ext.cx + 1);
  EXPECT_LE(ink.bottom, 5 + ext.cy);

  c.Fill(kWhite);
  SetTextAlign(c.dc, TA_RIGHT | TA_BASELINE);
  TextOut(c.dc, 150, 40, "Hxxxxxx");
  ink = InkBox(c);
  EXPECT_LE(ink.right, 151);
  EXPECT_GE(ink.right, 146);
  EXPECT_LE(ink.bottom, 41);  // nothing below the baseline in these letters
  EXPECT_GE(ink.bottom, 38);
  SetTextAlign(c.dc, TA_LEFT | TA_TOP);

  // Opaque rectangle and clipping.
  c.Fill(kWhite);
  SetBkColor(c.dc, kBlue);
  RECT box{20, 10, 40, 30};
  ExtTextOut(c.dc, 20, 10, ETO_OPAQUE | ETO_CLIPPED, &box, "HHHHHHHH", nullptr);
  EXPECT_EQ(c.At(21, 29), kBlue);
  ink = InkBox(c);
  EXPECT_EQ(ink, box);

  // Glyph offsets place each character.
  c.Fill(kWhite);
  const int dx[] = {40, 40};
  ExtTextOut(c.dc, 10, 10, 0, nullptr, "HH", dx);
  ink = InkBox(c);
  EXPECT_GE(ink.right - ink.left, 50);
  DeleteObject(font);
}

TEST(GdiText, NonAntialiasedQualityDrawsOnlyTextColour) {
  TestCanvas c(100, 40);
  HFONT font = MakeFont("Arial", -24, FW_NORMAL, NONANTIALIASED_QUALITY);
  SelectObject(c.dc, font);
  SetTextColor(c.dc, kRed);
  SetBkMode(c.dc, TRANSPARENT);
  TextOut(c.dc, 2, 2, "Wave");
  int red = c.Count(kRed);
  EXPECT_GT(red, 20);
  EXPECT_EQ(red + c.Count(kWhite), 100 * 40);
  DeleteObject(font);
}

TEST(GdiText, DrawTextLayout) {
  TestCanvas c(200, 100);
  HFONT font = MakeFont("Arial", -14);
  SelectObject(c.dc, font);
  SetBkMode(c.dc, TRANSPARENT);
  TEXTMETRIC tm{};
  GetTextMetrics(c.dc, &tm);

  // DT_CALCRECT measures without drawing.
  RECT r{0, 0, 60, 0};
  int h = DrawText(c.dc, "one two three four five", &r, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(c.Count(kWhite), 200 * 100);
  EXPECT_GE(h, 2 * tm.tmHeight);
  EXPECT_EQ(r.bottom, h);
  EXPECT_LE(r.right, 60);
  RECT one{0, 0, 0, 0};
  EXPECT_EQ(DrawText(c.dc, "single", &one, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
  SIZE ext{};
  GetTextExtentPoint32(c.dc, "single", &ext);
  EXPECT_NEAR(one.right, ext.cx, 1);
  // CR, LF and CR LF each break a line; a single line keeps one.
  const struct {
    const char* text;
    int lines;
  } breaks[] = {{"a\nb\nc", 3}, {"a\rb", 2}, {"a\r\nb", 2}, {"a\r\rb", 3}, {"a\n\r\nb", 3}, {"a\r\n\r\nb", 3}};
  for (const auto& b : breaks) {
    RECT lines{0, 0, 100, 0};
    EXPECT_EQ(DrawText(c.dc, b.text, &lines, DT_CALCRECT), b.lines * tm.tmHeight) << b.text;
    RECT single{0, 0, 100, 0};
    EXPECT_EQ(DrawText(c.dc, b.text, &single, DT_CALCRECT | DT_SINGLELINE), tm.tmHeight) << b.text;
  }

  // Centred vertically and horizontally in a single line.
  RECT box{0, 0, 200, 100};
  DrawText(c.dc, "Middle", &box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  RECT ink = InkBox(c);
  EXPECT_NEAR((ink.left + ink.right) / 2, 100, 4);
  EXPECT_NEAR((ink.top + ink.bottom) / 2, 50, 6);

  // Right aligned.
  c.Fill(kWhite);
  DrawText(c.dc, "Right", &box, DT_SINGLELINE | DT_RIGHT);
  EXPECT_GE(InkBox(c).right, 195);

  // Text stays inside its rectangle; the end ellipsis shortens it.
  c.Fill(kWhite);
  RECT narrow{10, 10, 70, 40};
  DrawText(c.dc, "A rather long caption", &narrow, DT_SINGLELINE | DT_END_ELLIPSIS);
  ink = InkBox(c);
  EXPECT_GE(ink.left, 10);
  EXPECT_LE(ink.right, 70);
  DeleteObject(font);
}

TEST(GdiText, PrefixUnderlinesOneCharacter) {
  TestCanvas a(120, 40), b(120, 40);
  for (TestCanvas* c : {&a, &b}) {
    HFONT font = MakeFont("Arial", -16);
    SelectObject(c->dc, font);
    SetBkMode(c->dc, TRANSPARENT);
    RECT r{0, 0, 120, 40};
    DrawText(c->dc, c == &a ? "&File" : "File", &r, DT_SINGLELINE);
    DeleteObject(font);
  }
  // The same letters; "&" adds only the underline below the "F".
  RECT ia = InkBox(a), ib = InkBox(b);
  EXPECT_NEAR(ia.left, ib.left, 1);
  EXPECT_GT(ia.bottom, ib.bottom - 1);
  EXPECT_GT(a.Count(kBlack), b.Count(kBlack));

  // DT_NOPREFIX keeps the "&"; "&&" draws one "&".
  TestCanvas c(200, 40);
  HFONT font = MakeFont("Arial", -16);
  SelectObject(c.dc, font);
  RECT calc{0, 0, 0, 0}, calc2{0, 0, 0, 0};
  DrawText(c.dc, "a&&b", &calc, DT_SINGLELINE | DT_CALCRECT);
  DrawText(c.dc, "a&b", &calc2, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(calc.right, calc2.right);
  DeleteObject(font);
}

TEST(GdiText, PathEllipsisKeepsTheFileName) {
  TestCanvas c(10, 10);
  HFONT font = MakeFont("Arial", -14);
  SelectObject(c.dc, font);
  SIZE name{};
  GetTextExtentPoint32(c.dc, "/photo.tif", &name);
  RECT r{0, 0, name.cx + 40, 0};
  DrawText(c.dc, "/home/someone/pictures/2024/photo.tif", &r, DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_CALCRECT);
  EXPECT_LE(r.right, name.cx + 40);
  EXPECT_GE(r.right, name.cx);
  DeleteObject(font);
}

}  // namespace

namespace {

TEST(GdiText, EscapementRotatesTheText) {
  TestCanvas c(120, 120);
  LOGFONTA lf{};
  lf.lfHeight = -16;
  lf.lfEscapement = 900;  // a quarter turn counter-clockwise: text runs upwards
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "Arial");
  HFONT font = CreateFontIndirect(&lf);
  SelectObject(c.dc, font);
  SetBkMode(c.dc, TRANSPARENT);
  TextOut(c.dc, 40, 110, "Rotated text");
  RECT ink = InkBox(c);
  EXPECT_GT(ink.bottom - ink.top, 2 * (ink.right - ink.left));
  EXPECT_LE(ink.bottom, 111);
  DeleteObject(font);
}

}  // namespace
