// Drawing the selection mask: inverted fill, animated outline, marked outside.
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_mask.h"
#include "platform/forms/graphics.h"
#include "tests/imaging/core/bitmap_support.h"

namespace {

// A white pf24bit framework bitmap.
std::unique_ptr<TBitmap> WhiteBitmap(int32_t width, int32_t height) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(width, height);
  b->Canvas()->Brush()->SetColor(clWhite);
  b->Canvas()->FillRect(RECT{0, 0, width, height});
  return b;
}

// The bitmap as text: '.' white, '#' black, 'a' and 'b' the two outline
// colours, '?' anything else.
std::string Picture(TBitmap& b) {
  std::string s;
  for (int32_t y = 0; y < b.Height(); ++y) {
    for (int32_t x = 0; x < b.Width(); ++x) {
      const TColor c = b.Canvas()->Pixels(x, y);
      s += c == clWhite ? '.' : c == clBlack ? '#' : c == clRed ? 'a' : c == clBlue ? 'b' : '?';
    }
    s += '\n';
  }
  return s;
}

// A 6 x 6 mask with the 4 x 4 square at (1, 1) selected.
void MakeSquare(TIEMask& m, int32_t depth) {
  m.Allocate(6, 6, depth);
  for (int32_t y = 1; y <= 4; ++y)
    for (int32_t x = 1; x <= 4; ++x) m.SetPixel(x, y, depth == 1 ? 1 : 255);
}

TEST(MaskDrawTest, FilledInvertsTheSelectionOfOneBitMasks) {
  TIEMask m;
  m.Allocate(4, 3, 1);
  m.SetPixel(1, 0, 1);
  m.SetPixel(2, 2, 1);
  auto b = WhiteBitmap(8, 6);
  m.DrawFilled(b->Canvas(), 0, 0, 8, 6, 0, 0, 4, 3);  // twice the size
  EXPECT_EQ(Picture(*b),
            "..##....\n"
            "..##....\n"
            "........\n"
            "........\n"
            "....##..\n"
            "....##..\n");
  TIEMask g;
  g.Allocate(4, 3, 8);
  g.Fill(255);
  g.SetPixel(0, 0, 255);
  auto w = WhiteBitmap(4, 3);
  g.DrawFilled(w->Canvas(), 0, 0, 4, 3, 0, 0, 4, 3);
  EXPECT_EQ(Picture(*w), "....\n....\n....\n");
}

TEST(MaskDrawTest, OutlineStampsTheBorderInBandsThatMoveWithThePhase) {
  for (int32_t depth : {1, 8}) {
    SCOPED_TRACE(depth);
    TIEMask m;
    MakeSquare(m, depth);
    auto b = WhiteBitmap(6, 6);
    RECT drawn{};
    m.DrawOutline(b->Canvas(), 0, 0, 6, 6, 0, 0, 6, 6, 0, clRed, clBlue, &drawn);
    // Colour 1 where (x + y + phase) and 4 is set.
    EXPECT_EQ(Picture(*b),
              "......\n"
              ".bbaa.\n"
              ".b..a.\n"
              ".a..a.\n"
              ".aaab.\n"
              "......\n");
    // The visited range widened by a pixel, drawn one pixel inside.
    EXPECT_EQ((std::vector<LONG>{drawn.left, drawn.top, drawn.right, drawn.bottom}),
              (std::vector<LONG>{2, 2, 4, 4}));
    auto shifted = WhiteBitmap(6, 6);
    m.DrawOutline(shifted->Canvas(), 0, 0, 6, 6, 0, 0, 6, 6, 4, clRed, clBlue);
    EXPECT_EQ(Picture(*shifted),
              "......\n"
              ".aabb.\n"
              ".a..b.\n"
              ".b..b.\n"
              ".bbba.\n"
              "......\n");
  }
  TIEMask empty;
  empty.Allocate(6, 6, 1);
  auto b = WhiteBitmap(6, 6);
  empty.DrawOutline(b->Canvas(), 0, 0, 6, 6, 0, 0, 6, 6, 0, clRed, clBlue);
  EXPECT_EQ(Picture(*b), "......\n......\n......\n......\n......\n......\n");
}

TEST(MaskDrawTest, MarkOuterTouchesOnlyTheUnselectedArea) {
  TIEMask m;
  MakeSquare(m, 1);
  auto b = WhiteBitmap(6, 6);
  m.DrawMarkOuter(b.get(), 0, 0, 6, 6, 0, 0, 6, 6, clBlack, 255);
  EXPECT_EQ(Picture(*b),
            "######\n"
            "#....#\n"
            "#....#\n"
            "#....#\n"
            "#....#\n"
            "######\n");
  auto chequer = WhiteBitmap(6, 2);
  m.DrawMarkOuter(chequer.get(), 0, 0, 6, 6, 0, 0, 6, 6, clBlack, -1);
  EXPECT_EQ(chequer->Canvas()->Pixels(0, 0), static_cast<TColor>(RGB(97, 97, 97)));
  EXPECT_EQ(chequer->Canvas()->Pixels(1, 0), clWhite);
  EXPECT_EQ(chequer->Canvas()->Pixels(2, 1), clWhite);  // selected

  // A display that starts left of the bitmap drops that part of the source.
  auto shifted = WhiteBitmap(4, 6);
  m.DrawMarkOuter(shifted.get(), -2, 0, 6, 6, 0, 0, 6, 6, clBlack, 255);
  EXPECT_EQ(Picture(*shifted),
            "####\n"
            "...#\n"
            "...#\n"
            "...#\n"
            "...#\n"
            "####\n");
}

}  // namespace
