#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win/gdi.h"

namespace {

struct RegionCase {
  const char* name;
  int mode;
  RECT box;
  int type;
  std::vector<POINT> inside;
  std::vector<POINT> outside;
};

// Two overlapping squares: A = [0,10) x [0,10), B = [5,15) x [5,15).
TEST(GdiRegion, CombineModesGiveTheExpectedPixels) {
  const RegionCase cases[] = {
      {"and", RGN_AND, {5, 5, 10, 10}, SIMPLEREGION, {{5, 5}, {9, 9}}, {{4, 4}, {10, 10}}},
      {"or", RGN_OR, {0, 0, 15, 15}, COMPLEXREGION, {{0, 0}, {14, 14}, {9, 9}}, {{14, 0}, {0, 14}, {15, 15}}},
      {"xor", RGN_XOR, {0, 0, 15, 15}, COMPLEXREGION, {{0, 0}, {14, 14}}, {{7, 7}, {14, 0}}},
      {"diff", RGN_DIFF, {0, 0, 10, 10}, COMPLEXREGION, {{0, 0}, {9, 4}, {4, 9}}, {{5, 5}, {9, 9}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 5, 15, 15), d = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(d, a, b, c.mode), c.type);
    RECT box;
    EXPECT_EQ(GetRgnBox(d, &box), c.type);
    EXPECT_EQ(box, c.box);
    for (POINT p : c.inside) EXPECT_TRUE(PtInRegion(d, p.x, p.y)) << p.x << "," << p.y;
    for (POINT p : c.outside) EXPECT_FALSE(PtInRegion(d, p.x, p.y)) << p.x << "," << p.y;
    // Rectangles never overlap: their areas add up to the pixel count.
    long area = 0;
    for (const RECT& r : GetRegionRects(d)) area += (r.right - r.left) * (r.bottom - r.top);
    long count = 0;
    for (int y = -1; y < 16; ++y)
      for (int x = -1; x < 16; ++x) count += PtInRegion(d, x, y);
    EXPECT_EQ(area, count);
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(d);
  }
}

TEST(GdiRegion, ShapesExcludeRightAndBottomEdges) {
  HRGN r = CreateRectRgn(2, 3, 6, 8);
  EXPECT_TRUE(PtInRegion(r, 2, 3));
  EXPECT_TRUE(PtInRegion(r, 5, 7));
  EXPECT_FALSE(PtInRegion(r, 6, 7));
  EXPECT_FALSE(PtInRegion(r, 5, 8));

  HRGN e = CreateEllipticRgn(0, 0, 20, 10);
  RECT box;
  EXPECT_EQ(GetRgnBox(e, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{0, 0, 20, 10}));
  EXPECT_TRUE(PtInRegion(e, 10, 5));
  EXPECT_FALSE(PtInRegion(e, 0, 0));  // corners of the box are outside
  EXPECT_FALSE(PtInRegion(e, 19, 9));

  HRGN rr = CreateRoundRectRgn(0, 0, 20, 20, 10, 10);
  EXPECT_FALSE(PtInRegion(rr, 0, 0));
  EXPECT_TRUE(PtInRegion(rr, 10, 0));
  EXPECT_TRUE(PtInRegion(rr, 0, 10));

  EXPECT_EQ(OffsetRgn(r, 10, 10), SIMPLEREGION);
  EXPECT_TRUE(PtInRegion(r, 12, 13));
  for (HRGN h : {r, e, rr}) EXPECT_TRUE(DeleteObject(h));
}

TEST(GdiRegion, PolygonFillModes) {
  // A pentagram: the centre is inside with WINDING, outside with ALTERNATE.
  const POINT star[] = {{50, 0}, {79, 90}, {2, 35}, {98, 35}, {21, 90}};
  HRGN winding = CreatePolygonRgn(star, 5, WINDING);
  HRGN alternate = CreatePolygonRgn(star, 5, ALTERNATE);
  EXPECT_TRUE(PtInRegion(winding, 50, 50));
  EXPECT_FALSE(PtInRegion(alternate, 50, 50));
  EXPECT_TRUE(PtInRegion(alternate, 50, 10));  // a point of the star
  EXPECT_EQ(CreatePolygonRgn(star, 1, WINDING), nullptr);
  DeleteObject(winding);
  DeleteObject(alternate);
}

// An RGNDATA block built by hand: a 32-byte header, then 16-byte rectangles.
TEST(GdiRegion, RegionDataBlocksBuildRegionsAndShortBlocksAreRefused) {
  const RECT rects[] = {{0, 0, 10, 10}, {20, 0, 30, 5}, {5, 5, 25, 8}};
  std::vector<char> block(sizeof(RGNDATAHEADER) + sizeof rects);
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh = RGNDATAHEADER{};
  data->rdh.nCount = 3;
  data->rdh.nRgnSize = sizeof rects;
  std::memcpy(block.data() + sizeof(RGNDATAHEADER), rects, sizeof rects);
  HRGN r = ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data);
  ASSERT_NE(r, nullptr);
  for (POINT p : {POINT{0, 0}, POINT{29, 4}, POINT{24, 7}, POINT{12, 6}}) EXPECT_TRUE(PtInRegion(r, p.x, p.y));
  for (POINT p : {POINT{15, 2}, POINT{25, 8}, POINT{12, 9}}) EXPECT_FALSE(PtInRegion(r, p.x, p.y));
  RECT box;
  EXPECT_EQ(GetRgnBox(r, &box), COMPLEXREGION);
  EXPECT_EQ(box, (RECT{0, 0, 30, 10}));
  // A header that claims more rectangles than the block holds.
  data->rdh.nCount = 1000;
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, 8, data), nullptr);
  DeleteObject(r);
}

TEST(GdiRegion, BadHandlesAreRefused) {
  RECT box;
  EXPECT_EQ(GetRgnBox(nullptr, &box), ERROR);
  int notARegion = 0;
  EXPECT_EQ(GetRgnBox(reinterpret_cast<HRGN>(&notARegion), &box), ERROR);
  HRGN r = CreateRectRgn(0, 0, 1, 1);
  EXPECT_TRUE(DeleteObject(r));
  EXPECT_FALSE(DeleteObject(r));  // already gone
  EXPECT_EQ(GetRgnBox(r, &box), ERROR);
  EXPECT_FALSE(DeleteObject(GetStockObject(WHITE_BRUSH)));
}

}  // namespace

namespace {

HRGN RegionOfRects(const std::vector<RECT>& rects) {
  std::vector<char> block(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh = RGNDATAHEADER{};
  data->rdh.nCount = static_cast<DWORD>(rects.size());
  if (!rects.empty()) std::memcpy(block.data() + sizeof(RGNDATAHEADER), rects.data(), rects.size() * sizeof(RECT));
  return ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data);
}

// The region's rectangles are y-x banded and as few as possible: sorted by
// band, separate within a band, and a band touching the one above differs
// from it.
void ExpectCanonical(HRGN rgn) {
  const std::vector<RECT> rects = GetRegionRects(rgn);
  size_t bandStart = 0, prevStart = 0, prevEnd = 0;
  for (size_t i = 0; i < rects.size(); ++i) {
    const RECT& r = rects[i];
    ASSERT_LT(r.left, r.right);
    ASSERT_LT(r.top, r.bottom);
    if (i > bandStart) {
      ASSERT_EQ(r.top, rects[bandStart].top);
      ASSERT_EQ(r.bottom, rects[bandStart].bottom);
      ASSERT_LT(rects[i - 1].right, r.left);
    }
    if (i + 1 < rects.size() && rects[i + 1].top == r.top) continue;
    // Band [bandStart, i] complete: compare with the previous band.
    if (bandStart > 0) {
      const RECT& above = rects[prevStart];
      ASSERT_LE(above.bottom, r.top);
      bool same = above.bottom == r.top && prevEnd - prevStart == i + 1 - bandStart;
      for (size_t k = 0; same && k < prevEnd - prevStart; ++k)
        same = rects[prevStart + k].left == rects[bandStart + k].left &&
               rects[prevStart + k].right == rects[bandStart + k].right;
      ASSERT_FALSE(same) << "bands at " << above.top << " and " << r.top << " should be one";
    }
    prevStart = bandStart;
    prevEnd = i + 1;
    bandStart = i + 1;
  }
}

// Random rectangle sets, built from region data and combined in every mode,
// against a pixel grid painted with the same rectangles.
TEST(GdiRegion, BuiltAndCombinedRegionsMatchAPixelGrid) {
  constexpr int kSide = 40;
  uint32_t seed = 12345;
  auto next = [&](int n) {
    seed = seed * 1103515245u + 12345u;
    return static_cast<int>((seed >> 16) % static_cast<uint32_t>(n));
  };
  auto randomRects = [&](std::vector<bool>& grid) {
    std::vector<RECT> rects(static_cast<size_t>(next(12)));
    grid.assign(kSide * kSide, false);
    for (RECT& r : rects) {
      r = {next(kSide), next(kSide), 0, 0};
      r.right = std::min(r.left + next(kSide / 2), kSide);  // some are empty
      r.bottom = std::min(r.top + next(kSide / 2), kSide);
      for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) grid[y * kSide + x] = true;
    }
    return rects;
  };
  for (int round = 0; round < 80; ++round) {
    std::vector<bool> ga, gb;
    HRGN a = RegionOfRects(randomRects(ga)), b = RegionOfRects(randomRects(gb));
    ASSERT_NE(a, nullptr);
    ExpectCanonical(a);
    for (int mode : {RGN_AND, RGN_OR, RGN_XOR, RGN_DIFF, RGN_COPY}) {
      SCOPED_TRACE(testing::Message() << "round " << round << " mode " << mode);
      HRGN d = CreateRectRgn(0, 0, 0, 0);
      CombineRgn(d, a, b, mode);
      ExpectCanonical(d);
      for (int y = -1; y <= kSide; ++y)
        for (int x = -1; x <= kSide; ++x) {
          bool inA = x >= 0 && y >= 0 && x < kSide && y < kSide && ga[y * kSide + x];
          bool inB = x >= 0 && y >= 0 && x < kSide && y < kSide && gb[y * kSide + x];
          bool want = mode == RGN_AND ? inA && inB : mode == RGN_OR ? inA || inB : mode == RGN_XOR ? inA != inB
                      : mode == RGN_DIFF ? inA && !inB : inA;
          ASSERT_EQ(PtInRegion(d, x, y) != FALSE, want) << x << "," << y;
        }
      DeleteObject(d);
    }
    DeleteObject(a);
    DeleteObject(b);
  }
}

}  // namespace
