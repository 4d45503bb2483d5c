// The frame drawn through a library canvas matches the one drawn on the
// framework canvas pixel for pixel through GDI; through GDI+ the sides
// match too and only the corners may differ, where GDI+ ends its lines by
// its own rule.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"

namespace {

constexpr int kSize = 24;

// A grey pf24bit bitmap whose pen is left in a state the frame must not keep.
std::unique_ptr<TBitmap> Surface() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(kSize, kSize);
  bitmap->Canvas()->Brush()->SetColor(clSilver);
  bitmap->Canvas()->FillRect(RECT{0, 0, kSize, kSize});
  bitmap->Canvas()->Pen()->SetMode(pmNot);
  bitmap->Canvas()->Pen()->SetWidth(3);
  bitmap->Canvas()->Pen()->SetStyle(psDot);
  return bitmap;
}

std::vector<POINT> Differences(TBitmap& a, TBitmap& b) {
  std::vector<POINT> found;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (std::memcmp(static_cast<uint8_t*>(a.ScanLine(y)) + 3 * x, static_cast<uint8_t*>(b.ScanLine(y)) + 3 * x,
                      3) != 0)
        found.push_back({x, y});
  return found;
}

TEST(Painters, ThreeDFrameThroughALibraryCanvasMatchesTheFrameworkCanvas) {
  struct Case {
    const char* name;
    bool gdiPlus;
    RECT frame;
  };
  const Case cases[] = {
      {"GDI", false, {2, 3, 20, 15}},
      {"GDI, corners reversed", false, {20, 15, 2, 3}},
      {"GDI+", true, {2, 3, 20, 15}},
      {"GDI+, corners reversed", true, {20, 15, 2, 3}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.gdiPlus) IEGDIPlusLoad();
    auto expected = Surface(), actual = Surface();
    const RECT& f = c.frame;
    IEDraw3DFrame(expected->Canvas(), f.left, f.top, f.right, f.bottom, clRed, clBlue);
    {
      TIECanvas canvas(actual->Canvas(), false, true);
      EXPECT_EQ(canvas.UseGDIPlus(), c.gdiPlus);
      IEDraw3DFrameIE(&canvas, f.left, f.top, f.right, f.bottom, clRed, clBlue);
      EXPECT_EQ(canvas.Pen()->Color(), clBlue);
      EXPECT_EQ(canvas.Pen()->Width(), 1.0f);
    }
    for (POINT p : Differences(*expected, *actual)) {
      const bool corner = (p.x == f.left || p.x == f.right) && (p.y == f.top || p.y == f.bottom);
      EXPECT_TRUE(c.gdiPlus && corner) << "differs at (" << p.x << ", " << p.y << ")";
    }
    if (c.gdiPlus) IEGDIPlusUnload();
  }
}

}  // namespace
