// The canvas markup renderer: a table of markup cases measured against the
// plain text functions, anchors hit-tested, and probe pixels of what is drawn.
#include <gtest/gtest.h>

#include "platform/forms/imglist.h"
#include "platform/win/gdi.h"
#include "tests/ui/render/markup_test_support.h"
#include "ui/render/htmlengine.h"
#include "ui/render/shellicons.h"

namespace {

// Width of a plain string in the canvas font with these styles and point size.
int Width(MarkupCanvas& c, const std::string& text, TFontStyles style = {}, int points = 0) {
  TFont saved;
  saved.Assign(c.Canvas()->Font());
  c.Canvas()->Font()->SetStyle(style);
  if (points) c.Canvas()->Font()->SetSize(points);
  int w = c.Canvas()->TextWidth(text);
  c.Canvas()->Font()->Assign(&saved);
  return w;
}

int Gh(MarkupCanvas& c) { return c.Measure("gh").MeasuredHeight; }

// Makes the list's images 32 x 32 and adds `count` red ones.
void AddRedImages(TImageList& images, int count) {
  images.SetWidth(32);
  images.SetHeight(32);
  TBitmap red;
  red.SetPixelFormat(pf32bit);
  red.SetSize(32, 32);
  red.Canvas()->Brush()->SetColor(clRed);
  red.Canvas()->FillRect(RECT{0, 0, 32, 32});
  for (int i = 0; i < count; ++i) images.Add(&red);
}

// Markup arguments with one red 32 x 32 image in their list.
struct RedImages {
  RedImages() {
    AddRedImages(List, 1);
    Args.Images = &List;
  }
  TImageList List{nullptr};
  TMarkupArgs Args;
};

}  // namespace

TEST(RenderMarkup, MeasuresATableOfMarkupCases) {
  MarkupCanvas c;
  const int gh = Gh(c);
  const TFontStyles bold{fsBold}, italic{fsItalic};
  struct Case {
    const char* markup;
    std::string plain;
    int width;  // expected measured width
    int lines;
  } cases[] = {
      {"Hello", "Hello", Width(c, "Hello") + 2, 1},
      {"<B>bold</B>", "bold", Width(c, "bold", bold) + 2, 1},
      {"<b>bold</B>", "bold", Width(c, "bold", bold) + 2, 1},
      {"<I>it</I>", "it", Width(c, "it", italic) + 2, 1},
      {"<U>under</U>", "under", Width(c, "under") + 2, 1},
      {"<FONT face=\"Courier New\">mono</FONT>", "mono", -1, 1},
      {"<FONT size=\"5\">big</FONT>", "big", Width(c, "big", {}, 16) + 2, 0},
      {"<FONT size=5>big</FONT>", "big", Width(c, "big", {}, 16) + 2, 0},
      {"<A href=\"http://x\">link</A>", "link", Width(c, "link") + 2, 1},
      {"x<BR>y", "x\ry", Width(c, "x") + 2, 2},
      {"x\r\ny", "x\ry", Width(c, "x") + 2, 2},
      {"x\ny", "xy", Width(c, "xy") + 2, 1},
      {"a &lt;b&gt;", "a <b>", Width(c, "a <b>") + 2, 1},
      {"x & y &amp; z", "x & y & z", Width(c, "x & y & z") + 2, 1},
      {"a &amp; b", "a && b", Width(c, "a & b") + 2, 1},
      {"<UL><LI>one<LI>two</UL>", "onetwo", -1, 3},
      {"<Q>un</Q>known", "unknown", Width(c, "unknown") + 2, 1},
      {"<ABBR>anchor</ABBR>", "anchor", Width(c, "anchor") + 2, 1},
      {"cut<B", "cut", Width(c, "cut") + 2, 1},
      {"open<B>bold", "openbold", -1, 1},
      {"a<Z>hidden</Z>b", "ahiddenb", Width(c, "ab") + 2, 1},
      {"<HR>", "", 0, 1},
  };
  for (const Case& k : cases) {
    TMarkupResult r = c.Measure(k.markup);
    EXPECT_EQ(r.PlainText, k.plain) << k.markup;
    if (k.width >= 0) {
      EXPECT_NEAR(r.MeasuredWidth, k.width, 1) << k.markup;
    }
    if (k.lines) {
      EXPECT_EQ(r.MeasuredHeight, k.lines * gh) << k.markup;
    } else {
      EXPECT_GT(r.MeasuredHeight, gh) << k.markup;  // a taller font makes a taller line
    }
    EXPECT_FALSE(r.Hit) << k.markup;
  }
  EXPECT_EQ(c.Measure("<A href=\"a\">1</A><A href=\"b\">2</A>").LinkCount, 2);
  EXPECT_GT(c.Measure("<FONT size=\"20\">x</FONT>").MeasuredHeight, 2 * gh);
}

TEST(RenderMarkup, WrapsAtBlanksAlignsAndSpacesLines) {
  MarkupCanvas c;
  const int gh = Gh(c);
  const int word = Width(c, "word ");
  // Three words in a rectangle that holds two.
  TMarkupResult r = c.Measure("word word word", {}, RECT{0, 0, 2 * word + 3, 200});
  EXPECT_EQ(r.MeasuredHeight, 2 * gh);
  // A word wider than the rectangle stands alone on its line.
  r = c.Measure("a incomprehensibilities b", {}, RECT{0, 0, 40, 200});
  EXPECT_EQ(r.MeasuredHeight, 3 * gh);
  // Without word wrap everything stays on one line.
  TMarkupArgs noWrap;
  noWrap.WordWrap = false;
  EXPECT_EQ(c.Measure("word word word", noWrap, RECT{0, 0, 40, 200}).MeasuredHeight, gh);
  // Line spacing is added to every line.
  TMarkupArgs spaced;
  spaced.LineSpacing = 3;
  EXPECT_EQ(c.Measure("a<BR>b", spaced).MeasuredHeight, 2 * (gh + 3));
  // A drawing call stops after the line whose next top passes the bottom; measuring does not.
  EXPECT_EQ(c.Measure("a<BR>b<BR>c", {}, RECT{0, 0, 100, gh + 2}).MeasuredHeight, 3 * gh);
  EXPECT_EQ(c.Render("a<BR>b<BR>c", {}, RECT{0, 0, 100, gh + 2}).MeasuredHeight, gh);

  // Centred and right-aligned lines start where the free room says.
  const int w = Width(c, "mid");
  for (auto [align, start] : {std::pair{"center", (200 - w) / 2}, std::pair{"right", 200 - w}}) {
    c.Clear();
    c.Render(std::string("<P align=\"") + align + "\">mid</P>", {}, RECT{0, 0, 200, 50});
    int first = -1;
    for (int x = 0; x < 200 && first < 0; ++x)
      if (c.Inked(RECT{x, 0, x + 1, 50})) first = x;
    EXPECT_NEAR(first, start, 2) << align;
  }
}

TEST(RenderMarkup, FindsTheAnchorUnderThePoint) {
  MarkupCanvas c;
  const int gh = Gh(c);
  const std::string text = "go <A href=\"http://example.com/Page\">there</A> now";
  const int x0 = Width(c, "go ");
  const int x1 = x0 + Width(c, "there");
  TMarkupArgs args;
  args.CheckHotSpot = true;
  args.X = (x0 + x1) / 2;
  args.Y = gh / 2;
  TMarkupResult r = c.Render(text, args);
  EXPECT_TRUE(r.Hit);
  EXPECT_EQ(r.AnchorTarget, "http://example.com/Page");
  EXPECT_EQ(r.PointLink, 1);
  EXPECT_NEAR(r.LinkRect.left, x0, 1);
  EXPECT_NEAR(r.LinkRect.right, x1, 1);
  EXPECT_EQ(r.LinkRect.top, 0);
  EXPECT_EQ(r.LinkRect.bottom, gh);
  EXPECT_FALSE(c.Inked(RECT{0, 0, 300, 200}));  // testing draws nothing

  args.X = x1 + Width(c, " n");
  EXPECT_FALSE(c.Render(text, args).Hit);
  args.X = (x0 + x1) / 2;
  args.Y = gh + 5;
  EXPECT_FALSE(c.Render(text, args).Hit);
  args.Y = gh / 2;
  args.CheckHotSpot = false;
  EXPECT_FALSE(c.Render(text, args).Hit);
  args.MeasureOnly = true;
  EXPECT_FALSE(c.Render(text, args).Hit);

  // An anchor over two lines reports its part on the last line.
  TMarkupArgs two;
  two.CheckHotSpot = true;
  two.X = 2;
  two.Y = gh + gh / 2;
  TMarkupResult wrapped = c.Render("<A href=\"t\">first<BR>second</A>", two);
  EXPECT_TRUE(wrapped.Hit);
  EXPECT_EQ(wrapped.LinkRect.top, gh);
  EXPECT_EQ(wrapped.LinkRect.left, 0);
}

TEST(RenderMarkup, DrawsColoursBackgroundsAndDecorations) {
  MarkupCanvas c;
  const int gh = Gh(c);
  const RECT line{0, 0, 300, gh};
  struct Probe {
    const char* markup;
    TColor color;  // must appear in the first line
    bool present;
  } probes[] = {
      {"<FONT color=\"#FF0000\">red red red</FONT>", clRed, true},
      {"<FONT color=\"#ff0000\">red red red</FONT>", clRed, true},
      {"<FONT color=\"clred\">red red red</FONT>", clRed, true},
      {"<FONT color=\"red\">not red</FONT>", clRed, false},
      {"<A href=\"x\">blue link</A>", clBlue, true},
      {"<FONT bgcolor=\"#00FF00\">on green</FONT>", clLime, true},
      {"<HI>highlight</HI>", static_cast<TColor>(ColorToRGB(clHighlight)), true},
      {"<E>wrong</E>", clRed, true},
      {"<SH>shadow</SH>", clGray, true},
      {"<FONT color=\"clred\">HHHH<FONT color=\"clblue\">b</FONT>cccccccc</FONT>", clRed, true},
  };
  for (const Probe& p : probes) {
    c.Clear();
    c.Render(p.markup);
    EXPECT_EQ(c.Has(line, p.color), p.present) << p.markup;
  }
  // After a nested </FONT> the text has the base colour, not red.
  c.Clear();
  c.Render("<FONT color=\"clred\">HHHH<FONT color=\"clblue\">b</FONT>cccccccc</FONT>");
  const int after = Width(c, "HHHHb") + 2;
  EXPECT_FALSE(c.Has(RECT{after, 0, 300, gh}, clRed));
  EXPECT_TRUE(c.Has(RECT{after, 0, 300, gh}, clBlack));

  // The error zigzag under the text and the rule under its line.
  c.Clear();
  c.Render("<E>wrong</E>");
  EXPECT_TRUE(c.Has(RECT{0, gh - 2, 40, gh + 3}, clRed));
  c.Clear();
  c.Render("above<HR>below");
  EXPECT_TRUE(c.Has(RECT{0, gh, 300, gh + 2}, clBlack));

  // A vertical body gradient from white to black in 64 bands.
  c.Clear();
  c.Render("<BODY bgcolor=\"#FFFFFF\" bgcolorto=\"#000000\" dir=\"V\">", {}, RECT{0, 0, 64, 64});
  EXPECT_EQ(c.Pixel(30, 0), clWhite);
  EXPECT_LT(c.Pixel(30, 63) & 0xFF, 8);
  EXPECT_GT(c.Pixel(30, 20) & 0xFF, c.Pixel(30, 40) & 0xFF);
}

TEST(RenderMarkup, ListsImagesAndTheirRoom) {
  MarkupCanvas c;
  const int gh = Gh(c);
  // Two items in one source line give two lines, each with a bullet.
  c.Render("<UL><LI>one<LI>two</UL>");
  EXPECT_TRUE(c.Inked(RECT{0, gh, 12, 2 * gh + gh}));

  TImageList images(nullptr);
  AddRedImages(images, 5);
  TMarkupArgs args;
  args.Images = &images;
  // An image 32 high makes its line 32 high; one outside the list takes no room.
  EXPECT_EQ(c.Measure("a<IMG src=\"IDX:0\">b", args).MeasuredHeight, 32);
  EXPECT_EQ(c.Measure("a<IMG src=\"IDX:5\">b", args).MeasuredWidth, Width(c, "ab") + 2);
  EXPECT_EQ(c.Measure("a<IMG src=\"IDX:0\" wrap>b", args).MeasuredHeight, gh);
  c.Clear();
  c.Render("<IMG src=\"IDX:1\">", args);
  EXPECT_EQ(c.Pixel(16, 16), clRed);
  // An image inside an anchor is found under the point without CheckHotSpot.
  args.X = 10;
  args.Y = 10;
  TMarkupResult r = c.Render("<A href=\"pic\"><IMG src=\"IDX:0\"></A>", args);
  EXPECT_TRUE(r.Hit);
  EXPECT_EQ(r.AnchorTarget, "pic");
  // "://" pictures need a cache; a missing one draws nothing and takes no room.
  EXPECT_EQ(c.Measure("a<IMG src=\"file:///no/such.png\">b").MeasuredWidth, Width(c, "ab") + 2);
}

TEST(RenderMarkup, ParagraphBandsCoverEveryLineOfTheParagraph) {
  MarkupCanvas c;
  const int gh = Gh(c);
  const int word = Width(c, "word ");
  const int narrow = 2 * word + 3;  // two words to a line
  struct Case {
    const char* markup;
    int lines;
  } cases[] = {
      {"<P bgcolor=\"#00FF00\">one line</P>", 1},
      {"<P bgcolor=\"#00FF00\">word word word word word</P>", 3},
      {"<P bgcolor=\"#00FF00\">word word word word word", 3},
      {"<P bgcolor=\"#00FF00\">word<BR>word<BR>word</P>", 3},
  };
  for (const Case& k : cases) {
    c.Clear();
    const TMarkupResult r = c.Render(k.markup, {}, RECT{0, 0, narrow, 200});
    ASSERT_EQ(r.MeasuredHeight, k.lines * gh) << k.markup;
    // Every line's band is filled out to the right edge, beside its text.
    for (int line = 0; line < k.lines; ++line)
      EXPECT_EQ(c.Pixel(narrow - 2, line * gh + gh / 2), clLime) << k.markup << " line " << line;
    EXPECT_EQ(c.Pixel(narrow - 2, k.lines * gh + 2), clWhite) << k.markup << ": nothing below";
  }
}

TEST(RenderMarkup, TextAfterAnImageIndentOrBulletWraps) {
  MarkupCanvas c;
  const int gh = Gh(c);
  RedImages red;
  const TMarkupArgs& args = red.Args;
  const int text = Width(c, "wrapped");
  const int room = text + 20;  // the text fits a line alone, not after 32 pixels
  struct Case {
    const char* markup;
    int firstLine;  // height of the line the text leaves
  } cases[] = {
      {"<IMG src=\"IDX:0\">wrapped", 32},
      {"<IN x=\"32\">wrapped", gh},
  };
  for (const Case& k : cases) {
    const TMarkupResult m = c.Measure(k.markup, args, RECT{0, 0, room, 200});
    EXPECT_EQ(m.MeasuredHeight, k.firstLine + gh) << k.markup;
    c.Clear();
    c.Render(k.markup, args, RECT{0, 0, room, 200});
    EXPECT_TRUE(c.Has(RECT{0, k.firstLine, text + 2, k.firstLine + gh}, clBlack)) << k.markup << ": text on line 2";
    EXPECT_FALSE(c.Has(RECT{33, 0, room, k.firstLine}, clBlack)) << k.markup << ": nothing beside the first";
  }
  // A bullet: the list opens on a line of its own, then bullet and text
  // share a line only when the text fits beside it.
  EXPECT_EQ(c.Measure("<UL><LI>wrapped", args, RECT{0, 0, text + 8, 200}).MeasuredHeight, 3 * gh);
  EXPECT_EQ(c.Measure("<UL><LI>wrapped", args, RECT{0, 0, text + 20, 200}).MeasuredHeight, 2 * gh);
  // A word too wide for any line stays beside the picture.
  EXPECT_EQ(c.Measure("<IMG src=\"IDX:0\">wrapped", args, RECT{0, 0, text - 4, 200}).MeasuredHeight, 32);
}

TEST(RenderMarkup, ShellIconsBySizeIndexAndPath) {
  MarkupCanvas c;
  const int ab = Width(c, "ab") + 2;
  // Small icons are 16 wide, large ones 32; an index past the list takes no room.
  EXPECT_EQ(c.Measure("a<IMG src=\"SSYS:1\">b").MeasuredWidth, ab + 16);
  EXPECT_EQ(c.Measure("a<IMG src=\"LSYS:0\">b").MeasuredHeight, 32);
  EXPECT_EQ(c.Measure("a<IMG src=\"ssys:99\">b").MeasuredWidth, ab);
  EXPECT_EQ(c.Measure("a<IMG src=\"SSYS:-1\">b").MeasuredWidth, ab);
  // Paths give the icon of their kind, whether or not they exist.
  const std::string folder = VESK_SOURCE_DIR;
  EXPECT_EQ(ShellIconIndex(folder), siFolder);
  EXPECT_EQ(ShellIconIndex("/no/such/folder/"), siFolder);
  EXPECT_EQ(ShellIconIndex("/no/such/photo.JPG"), siPicture);
  EXPECT_EQ(ShellIconIndex(folder + "/CMakeLists.txt"), siDocument);
  EXPECT_EQ(ShellIconIndex(""), 0);
  // The icon is drawn where the image stands: the folder's yellow.
  c.Clear();
  c.Render("<IMG src=\"LSYS:" + folder + "\">");
  const COLORREF yellow = ColorToRGB(c.Pixel(16, 20));
  EXPECT_GT(GetRValue(yellow), 200);
  EXPECT_LT(GetBValue(yellow), 160);
  EXPECT_EQ(c.Pixel(0, 0), clWhite) << "the icon's transparent corner";
}

TEST(RenderMarkup, LeavesTheCanvasAsItFoundIt) {
  MarkupCanvas c;
  c.Canvas()->Brush()->SetColor(clYellow);
  TFont before;
  before.Assign(c.Canvas()->Font());
  c.Render("<R a=\"90\">turned <B>bold <FONT face=\"Courier New\" size=\"20\">big");
  EXPECT_EQ(c.Canvas()->Brush()->Color(), clYellow);
  EXPECT_TRUE(*c.Canvas()->Font() == before);
  // No rotated font stays selected in the device context.
  LOGFONTA lf{};
  GetObjectA(GetCurrentObject(c.Canvas()->Handle(), OBJ_FONT), sizeof lf, &lf);
  EXPECT_EQ(lf.lfEscapement, 0);
  c.Canvas()->TextOut(0, 100, "level");
  EXPECT_FALSE(c.Inked(RECT{0, 130, 300, 200}));

  // The brush comes back in colour and style, solid or clear, whatever
  // backgrounds the markup painted.
  for (TBrushStyle style : {bsSolid, bsClear}) {
    for (const char* markup : {"<FONT bgcolor=\"#00FF00\">on green</FONT>", "<P bgcolor=\"#00FF00\">band",
                               "<BODY bgcolor=\"#00FF00\">body", "<A href=\"x\">link</A>"}) {
      c.Canvas()->Brush()->SetColor(clYellow);
      c.Canvas()->Brush()->SetStyle(style);
      TMarkupArgs hover;
      hover.HoverColor = clAqua;
      c.Render(markup, hover);
      EXPECT_EQ(c.Canvas()->Brush()->Color(), clYellow) << markup << " style " << style;
      EXPECT_EQ(c.Canvas()->Brush()->Style(), style) << markup;
    }
  }
}

TEST(StripMarkup, LeavesThePlainText) {
  EXPECT_EQ(StripMarkup("a<BR>b<z>hidden</z><B>c</B>"), "a\r\nbc");
  EXPECT_EQ(StripMarkup("x<hr>y"), "x\r\ny");
  EXPECT_EQ(StripMarkup("a &amp; b"), "a &amp; b");
  EXPECT_EQ(StripMarkup("keep<z>lost"), "keep");
  EXPECT_EQ(StripMarkup("keep<B"), "keep");
}

TEST(MarkupColors, HexAndNames) {
  EXPECT_EQ(MarkupHexToColor("#FF8000"), static_cast<TColor>(0x0080FF));
  EXPECT_EQ(MarkupHexToColor("#F"), 0);
  EXPECT_EQ(MarkupColorByName("clBtnFace"), clBtnFace);
  EXPECT_EQ(MarkupColorByName("red"), clBlack);
}

TEST(MarkupAnchors, OnlyWebAndMailAddressesAreOpenedAsOneArgument) {
  std::vector<std::string> opened;
  Markup::SetAnchorOpener([&](const std::string& target) {
    opened.push_back(target);
    return true;
  });
  for (const char* t : {"http://a.example/x y", "HTTPS://b.example", "mailto:me@example.com"}) EXPECT_TRUE(OpenAnchor(t));
  for (const char* t : {"file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)", "ftp://c.example", "http://",
                        "-e http://x", "calc.exe", ""})
    EXPECT_FALSE(OpenAnchor(t)) << t;
  EXPECT_EQ(opened, (std::vector<std::string>{"http://a.example/x y", "HTTPS://b.example", "mailto:me@example.com"}));
  Markup::SetAnchorOpener(nullptr);
}

TEST(RenderMarkup, HugeNumbersInTagsStayInRange) {
  MarkupCanvas c;
  for (const char* t : {"<R a=\"8455555555555555555555\">turned</R>", "<IN x=\"2147483647\">a b",
                        "<OF x=\"2147483000\">a</OF>b", "<P indent=\"2147483647\">c",
                        "<FONT size=\"2000000000\">big</FONT>"}) {
    TMarkupResult r = c.Render(t);
    EXPECT_LT(r.MeasuredWidth, 40000) << t;
    EXPECT_GE(r.MeasuredWidth, 0) << t;
  }
}

// Aligned images raise the line's text; an image that does not fit beside
// the text moves to the next line unless no line could hold it.
TEST(RenderMarkup, ImagesAlignAndMoveToTheNextLine) {
  MarkupCanvas c;
  const int gh = Gh(c);
  RedImages red;
  const TMarkupArgs& args = red.Args;
  auto inkTop = [&](const char* markup) {
    c.Clear();
    c.Render(markup, args);
    for (int y = 0; y < 60; ++y)
      if (c.Has(RECT{40, y, 200, y + 1}, clBlack)) return y;
    return -1;
  };
  const int plain = inkTop("<IMG src=\"IDX:0\">text");
  EXPECT_EQ(plain - inkTop("<IMG src=\"IDX:0\" align=\"middle\">text"), (32 - gh) / 2);
  EXPECT_EQ(plain - inkTop("<IMG src=\"IDX:0\" align=\"top\">text"), 32 - gh);
  const int ab = Width(c, "ab");
  EXPECT_EQ(c.Measure("ab<IMG src=\"IDX:0\">", args, RECT{0, 0, ab + 20, 200}).MeasuredHeight, gh + 32);
  EXPECT_EQ(c.Measure("<IMG src=\"IDX:0\">", args, RECT{0, 0, 20, 200}).MeasuredHeight, 32);
}
