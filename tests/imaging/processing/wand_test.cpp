// The magic wand: connected and global selections, the grow ring, and the
// outline polygon along pixel edges.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "imaging/processing/imageryproc_wand.h"

namespace {


std::vector<POINT> Points(std::initializer_list<std::pair<int, int>> list) {
  std::vector<POINT> points;
  for (const auto& [x, y] : list) points.push_back({x, y});
  return points;
}

int32_t Selected(TIEMask& mask) {
  int32_t n = 0;
  for (int32_t y = 0; y < mask.Height; ++y)
    for (int32_t x = 0; x < mask.Width; ++x) n += mask.IsPointInside(x, y) ? 1 : 0;
  return n;
}

// Grey 10 everywhere, with dark pixels where the picture has '#'.
TIEBitmap* Draw(TIEBitmap& bitmap, const std::vector<const char*>& rows) {
  bitmap.Allocate(int32_t(std::strlen(rows[0])), int32_t(rows.size()), ie24RGB);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    for (int32_t x = 0; x < bitmap.GetWidth(); ++x)
      bitmap.SetPixel24(x, y, rows[y][x] == '#' ? TRGB{200, 200, 200} : TRGB{10, 10, 10});
  return &bitmap;
}

TEST(WandTest, UniformImageGivesItsBorder) {
  TIEBitmap bitmap;
  Draw(bitmap, {".....", ".....", "....."});
  EXPECT_EQ(IEMagicWandToPolygon(&bitmap, 2, 1, false, 0), Points({{0, 0}, {5, 0}, {5, 3}, {0, 3}}));
  TIEMask mask;
  mask.Allocate(5, 3, 8);
  IEMagicWandToMask(&bitmap, 4, 2, false, 0, &mask, 255);
  EXPECT_EQ(Selected(mask), 15);
}

TEST(WandTest, SinglePixelAndOutsideSeed) {
  TIEBitmap bitmap;
  Draw(bitmap, {"...", ".#.", "..."});
  EXPECT_EQ(IEMagicWandToPolygon(&bitmap, 1, 1, false, 0), Points({{1, 1}, {2, 1}, {2, 2}, {1, 2}}));
  EXPECT_TRUE(IEMagicWandToPolygon(&bitmap, 3, 0, false, 0).empty());
  TIEMask mask;
  mask.Allocate(3, 3, 8);
  IEMagicWandToMask(&bitmap, -1, 0, false, 0, &mask, 255);
  EXPECT_EQ(Selected(mask), 0);
}

TEST(WandTest, ConnectedGlobalGrowAndShapes) {
  TIEBitmap bitmap;
  Draw(bitmap, {"##....",
                "##....",
                "..#...",
                "..#..#",
                "......"});
  TIEMask connected, global, grown;
  for (TIEMask* m : {&connected, &global, &grown}) m->Allocate(6, 5, 8);
  IEMagicWandToMask(&bitmap, 0, 0, false, 20, &connected, 255);
  IEMagicWandGlobalToMask(&bitmap, 0, 0, 20, &global, 255);
  IEMagicWandToMask(&bitmap, 0, 0, true, 20, &grown, 255);
  EXPECT_EQ(Selected(connected), 4);  // the diagonal neighbours are not connected
  EXPECT_EQ(Selected(global), 7);
  EXPECT_EQ(Selected(grown), 9);  // one ring more, clipped to the image
  // An L-shaped region at the right edge keeps its last column.
  Draw(bitmap, {"....#",
                "..###",
                "....."});
  EXPECT_EQ(IEMagicWandToPolygon(&bitmap, 4, 0, false, 0),
            Points({{4, 0}, {5, 0}, {5, 2}, {2, 2}, {2, 1}, {4, 1}}));
  // The background around a hole: the outline is the outer border only.
  Draw(bitmap, {".....",
                ".#...",
                "....."});
  EXPECT_EQ(IEMagicWandToPolygon(&bitmap, 0, 0, false, 0), Points({{0, 0}, {5, 0}, {5, 3}, {0, 3}}));
}

}  // namespace
