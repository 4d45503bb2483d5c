// A picture of a colour chart drawn from its layout: each sample box filled
// with its patch colour (the reference colour where one is given, else the
// layout's expected colour, else a neutral grey) on a dark surround, with
// edges blended by the share of each pixel a box covers.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/chartpics/chart_layout.h"

namespace chartpics {

struct ChartPicture {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgb;  // rows top to bottom, red, green, blue
  int32_t patches = 0;       // sample boxes drawn
  int32_t uncoloured = 0;    // of them drawn grey, for want of a colour
};

// 8-bit sRGB of a colour. XYZ tables name no white: those whose brightest
// patch lies nearer D65 than D50 are taken as D65 data, the rest as D50.
struct Srgb {
  uint8_t r = 0, g = 0, b = 0;
};
Srgb ToSrgb(const ChartColour& colour, bool xyzIsD65);

// The chart fitted into longestSide pixels along its longer side; nothing
// (width 0) when the layout has no sample box or no extent.
ChartPicture DrawChart(const ChartLayout& layout, const ChartColours& reference, int32_t longestSide);

}  // namespace chartpics
