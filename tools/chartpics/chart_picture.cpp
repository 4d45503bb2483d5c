#include "tools/chartpics/chart_picture.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace chartpics {

namespace {

using Linear = std::array<double, 3>;

// XYZ (Y = 1 for white) to linear sRGB, for D65 data and for D50 data
// (Bradford-adapted).
constexpr double kFromD65[3][3] = {
    {3.2404542, -1.5371385, -0.4985314}, {-0.9692660, 1.8760108, 0.0415560}, {0.0556434, -0.2040259, 1.0572252}};
constexpr double kFromD50[3][3] = {
    {3.1338561, -1.6168667, -0.4906146}, {-0.9787684, 1.9161415, 0.0334540}, {0.0719453, -0.2289914, 1.4052427}};

// The surround of the patches: a dark grey, as most charts have.
constexpr Linear kSurround = {0.018, 0.018, 0.020};
// A patch neither file gives a colour: a middle grey.
constexpr Linear kNoColour = {0.2, 0.2, 0.2};
// The margin around the chart's extent, of its longer side.
constexpr double kMargin = 0.04;

double LabInverse(double t) {
  constexpr double d = 6.0 / 29.0;
  return t > d ? t * t * t : 3 * d * d * (t - 4.0 / 29.0);
}

Linear ToLinear(const ChartColour& colour, bool xyzIsD65) {
  double xyz[3];
  bool d65 = xyzIsD65;
  if (colour.space == ChartColour::Lab) {
    const double fy = (colour.v[0] + 16) / 116;
    xyz[0] = 0.9642 * LabInverse(fy + colour.v[1] / 500);
    xyz[1] = LabInverse(fy);
    xyz[2] = 0.8249 * LabInverse(fy - colour.v[2] / 200);
    d65 = false;
  } else {
    for (int i = 0; i < 3; ++i) xyz[i] = colour.v[i] / 100;
  }
  const auto& m = d65 ? kFromD65 : kFromD50;
  Linear rgb;
  for (int i = 0; i < 3; ++i)
    rgb[i] = std::clamp(m[i][0] * xyz[0] + m[i][1] * xyz[1] + m[i][2] * xyz[2], 0.0, 1.0);
  return rgb;
}

uint8_t Encode(double linear) {
  const double v = linear <= 0.0031308 ? 12.92 * linear : 1.055 * std::pow(linear, 1 / 2.4) - 0.055;
  return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

// Whether the brightest XYZ colour of a table lies nearer D65's white than D50's.
bool LooksD65(const std::map<std::string, ChartColour>& colours) {
  const ChartColour* brightest = nullptr;
  for (const auto& [label, c] : colours)
    if (c.space == ChartColour::XYZ && (!brightest || c.v[1] > brightest->v[1])) brightest = &c;
  const double sum = brightest ? brightest->v[0] + brightest->v[1] + brightest->v[2] : 0;
  if (!(sum > 0)) return false;
  const double x = brightest->v[0] / sum, y = brightest->v[1] / sum;
  const auto distance = [&](double wx, double wy) { return std::hypot(x - wx, y - wy); };
  return distance(0.3127, 0.3290) < distance(0.3457, 0.3585);
}

bool IsSample(const ChartBox& box) { return box.kind == 'X' || box.kind == 'Y'; }

struct Extent {
  double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool any = false;
  void Add(double x, double y) {
    x0 = any ? std::min(x0, x) : x, y0 = any ? std::min(y0, y) : y;
    x1 = any ? std::max(x1, x) : x, y1 = any ? std::max(y1, y) : y;
    any = true;
  }
};

// The chart's extent: its sample boxes, its outline box and its fiducial marks.
Extent ChartExtent(const ChartLayout& layout) {
  Extent e;
  for (const ChartBox& box : layout.boxes)
    if (IsSample(box) || (box.kind == 'D' && box.label == "ALL")) {
      e.Add(box.x, box.y);
      e.Add(box.x + box.w, box.y + box.h);
    }
  for (size_t i = 0; i + 1 < layout.fiducials.size(); i += 2) e.Add(layout.fiducials[i], layout.fiducials[i + 1]);
  return e;
}

// Sums of colour times covered share and of the shares, per pixel.
struct Canvas {
  int32_t width, height;
  std::vector<double> colour, cover;

  Canvas(int32_t w, int32_t h)
      : width(w), height(h), colour(static_cast<size_t>(w) * h * 3), cover(static_cast<size_t>(w) * h) {}

  // The pixels a span [a, b) touches, within [0, size).
  static std::pair<int32_t, int32_t> Span(double a, double b, int32_t size) {
    const double first = std::clamp(std::floor(a), 0.0, static_cast<double>(size));
    const double last = std::clamp(std::ceil(b), 0.0, static_cast<double>(size));
    return {static_cast<int32_t>(first), static_cast<int32_t>(last)};
  }
  static double Overlap(int32_t pixel, double a, double b) {
    return std::max(0.0, std::min(b, pixel + 1.0) - std::max(a, static_cast<double>(pixel)));
  }

  void Fill(double x0, double y0, double x1, double y1, const Linear& c) {
    const auto [px0, px1] = Span(x0, x1, width);
    const auto [py0, py1] = Span(y0, y1, height);
    for (int32_t y = py0; y < py1; ++y) {
      const double oy = Overlap(y, y0, y1);
      for (int32_t x = px0; x < px1; ++x) {
        const double share = oy * Overlap(x, x0, x1);
        const size_t p = static_cast<size_t>(y) * width + x;
        cover[p] += share;
        for (int i = 0; i < 3; ++i) colour[p * 3 + i] += share * c[i];
      }
    }
  }

  std::vector<uint8_t> Rgb() const {
    std::vector<uint8_t> rgb(colour.size());
    for (size_t p = 0; p < cover.size(); ++p) {
      const double scale = cover[p] > 1 ? 1 / cover[p] : 1;
      const double rest = std::max(0.0, 1 - cover[p]);
      for (int i = 0; i < 3; ++i) rgb[p * 3 + i] = Encode(colour[p * 3 + i] * scale + kSurround[i] * rest);
    }
    return rgb;
  }
};

}  // namespace

Srgb ToSrgb(const ChartColour& colour, bool xyzIsD65) {
  const Linear l = ToLinear(colour, xyzIsD65);
  return {Encode(l[0]), Encode(l[1]), Encode(l[2])};
}

ChartPicture DrawChart(const ChartLayout& layout, const ChartColours& reference, int32_t longestSide) {
  ChartPicture picture;
  const Extent e = ChartExtent(layout);
  const double w = e.x1 - e.x0, h = e.y1 - e.y0;
  const bool samples = std::any_of(layout.boxes.begin(), layout.boxes.end(), IsSample);
  if (!samples || longestSide < 1 || !(w > 0 && h > 0) || !std::isfinite(w) || !std::isfinite(h)) return picture;
  const double margin = kMargin * std::max(w, h);
  const double scale = longestSide / (std::max(w, h) + 2 * margin);
  picture.width = std::max(1, static_cast<int32_t>(std::lround((w + 2 * margin) * scale)));
  picture.height = std::max(1, static_cast<int32_t>(std::lround((h + 2 * margin) * scale)));

  const bool referenceD65 = LooksD65(reference), expectedD65 = LooksD65(layout.expected);
  Canvas canvas(picture.width, picture.height);
  for (const ChartBox& box : layout.boxes) {
    if (!IsSample(box)) continue;
    const std::string label = NormalisedLabel(box.label);
    Linear colour = kNoColour;
    if (const auto r = reference.find(label); r != reference.end())
      colour = ToLinear(r->second, referenceD65);
    else if (const auto x = layout.expected.find(label); x != layout.expected.end())
      colour = ToLinear(x->second, expectedD65);
    else
      ++picture.uncoloured;
    ++picture.patches;
    const double x0 = (box.x - e.x0 + margin) * scale, y0 = (box.y - e.y0 + margin) * scale;
    canvas.Fill(x0, y0, x0 + box.w * scale, y0 + box.h * scale, colour);
  }
  picture.rgb = canvas.Rgb();
  return picture;
}

}  // namespace chartpics
