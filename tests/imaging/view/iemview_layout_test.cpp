#include "imaging/view/iemview_layout.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TIEMGridGeometry Grid(int32_t clientWidth, int32_t columns, int32_t count) {
  TIEMGridGeometry g;
  g.ClientWidth = clientWidth;
  g.ClientHeight = 300;
  g.Columns = columns;
  g.Count = count;
  return g;
}

TEST(ThumbnailGrid, ColumnsRowsAndCells) {
  struct Case {
    const char* what;
    TIEMGridGeometry g;
    int32_t columns, rows;
    TIEMCell last;
  };
  TIEMGridGeometry single = Grid(430, -1, 3);
  single.SingleMode = true;
  TIEMGridGeometry zoomed = Grid(430, 2, 3);
  zoomed.Zoom = 55.5;  // cells of trunc(55.5) = 55 pixels
  TIEMGridGeometry centred = Grid(430, -1, 5);
  centred.CenterColumn = true;  // 4 columns of 104 leave 14: 7 on each side
  const Case cases[] = {
      {"fit 430 pixels", Grid(430, -1, 10), 4, 3, {4 + 104, 4 + 2 * 104, 2, 1}},
      {"narrower than a cell", Grid(50, -1, 3), 1, 3, {4, 4 + 2 * 104, 2, 0}},
      {"one row", Grid(430, 0, 7), 7, 1, {4 + 6 * 104, 4, 0, 6}},
      {"three columns", Grid(100, 3, 7), 3, 3, {4, 4 + 2 * 104, 2, 0}},
      {"single mode", single, 4, 1, {0, 0, 0, 0}},
      {"zoom truncates", zoomed, 2, 2, {4, 4 + 59, 1, 0}},
      {"centred", centred, 4, 2, {7, 4 + 104, 1, 0}},
      {"no entries", Grid(430, -1, 0), 4, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IEMColumnCount(c.g), c.columns);
    EXPECT_EQ(IEMRowCount(c.g), c.rows);
    std::vector<TIEMCell> cells;
    int32_t extentX = 0, extentY = 0;
    IEMLayoutCells(c.g, cells, extentX, extentY);
    ASSERT_EQ(cells.size(), static_cast<size_t>(c.g.Count));
    if (cells.empty()) continue;
    const TIEMCell& last = cells.back();
    EXPECT_EQ(last.X, c.last.X);
    EXPECT_EQ(last.Y, c.last.Y);
    EXPECT_EQ(last.Row, c.last.Row);
    EXPECT_EQ(last.Col, c.last.Col);
    int32_t rightmost = 0;
    for (const TIEMCell& cell : cells) rightmost = std::max(rightmost, cell.X);
    EXPECT_EQ(extentX, rightmost + IEMCellWidth(c.g) + c.g.HorizBorder);
    EXPECT_EQ(extentY, last.Y + IEMCellHeight(c.g) + c.g.VertBorder);
  }
}

TEST(ThumbnailGrid, EntryAtPoint) {
  const TIEMGridGeometry g = Grid(430, -1, 6);  // 4 columns, 2 rows, cells at 4 + 104 n
  std::vector<TIEMCell> cells;
  int32_t ex = 0, ey = 0;
  IEMLayoutCells(g, cells, ex, ey);
  struct Case {
    int32_t x, y;
    bool exact, toLast;
    int32_t index;
  };
  const Case cases[] = {
      {50, 50, true, false, 0},
      {4 + 104 + 99, 103, true, false, 1},      // the far right edge belongs to the cell
      {4 + 104 + 101, 50, true, false, -1},     // the gap before the next cell
      {4 + 104 + 101, 50, false, false, 2},     // which it belongs to without exactness
      {3 * 104 + 50, 104 + 50, false, false, -1},  // past the last entry
      {3 * 104 + 50, 104 + 50, false, true, 5},
      {5000, 50, false, false, 3},              // right of the grid: the last column
  };
  for (const Case& c : cases)
    EXPECT_EQ(IEMEntryAtPoint(g, cells, c.x, c.y, c.exact, c.toLast, -1), c.index) << c.x << "," << c.y;
  TIEMGridGeometry single = g;
  single.SingleMode = true;
  EXPECT_EQ(IEMEntryAtPoint(single, cells, 900, 900, true, false, 4), 4);
}

// Sizes that would divide by zero or never end a zoom: cells of width 0
// without borders, zooms of 0, below 0 or not a number.
TEST(ThumbnailGrid, DegenerateSizesNeitherDivideByZeroNorStick) {
  TIEMGridGeometry g = Grid(430, -1, 5);
  g.RawThumbWidth = 0;
  g.RawThumbHeight = 0;
  g.HorizBorder = 0;
  g.VertBorder = 0;
  EXPECT_EQ(IEMColumnCount(g), 430);
  std::vector<TIEMCell> cells;
  int32_t ex = 0, ey = 0;
  IEMLayoutCells(g, cells, ex, ey);
  EXPECT_EQ(IEMEntryAtPoint(g, cells, 3, 3, false, false, -1), 3);
  EXPECT_EQ(IEMEntryAtPoint(g, cells, 3, 3, true, false, -1), -1);

  for (double zoom : {0.0, -20.0, std::numeric_limits<double>::quiet_NaN()}) {
    const double clamped = IEMClampZoom(zoom);
    EXPECT_GT(clamped, 0);
    EXPECT_GT(clamped + clamped * 10 / 100, clamped) << "a relative zoom step moves on";
  }
  EXPECT_EQ(IEMClampZoom(250), 250);
}

}  // namespace

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "platform/rtl/resources.h"

namespace {

// The pages shown for a file that is not an image (1000) and for a missing one (1001).
TEST(ThumbnailPlaceholders, PagePicturesAmongTheResources) {
  IELibraryInitialize();  // the PNG reader
  for (int id : {1000, 1001}) {
    TIEBitmap page;
    ASSERT_TRUE(page.LoadFromResource(HInstance, id, RT_RCDATA, 8)) << id;
    EXPECT_EQ(page.GetWidth(), 180);
    EXPECT_EQ(page.GetHeight(), 240);
  }
  IELibraryFinalize();
}

}  // namespace
