// Readers of the colour toolkit's chart files, for drawing chart pictures:
// the recognition layout (.cht: sample boxes with their labels and places,
// approximate expected colours) and the reference colours (.cie, a CGATS
// table of measured XYZ or L*a*b* values per patch).
//
// Both readers take the whole file as text and refuse what they cannot use
// with a one-line reason; generated boxes and table rows are capped, so a
// damaged file can neither loop nor allocate without bound.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace chartpics {

// A colour as the files give it: XYZ scaled so that Y is 100 for white, or
// CIE L*a*b* relative to D50.
struct ChartColour {
  enum Space { XYZ, Lab } space = XYZ;
  double v[3] = {0, 0, 0};
};

struct ChartBox {
  char kind = 'X';  // 'D' diagnostic; 'X' and 'Y' sample boxes
  std::string label;
  double x = 0, y = 0, w = 0, h = 0;
};

struct ChartLayout {
  std::vector<ChartBox> boxes;
  std::vector<double> fiducials;  // x0 y0 .. x3 y3, or empty
  std::map<std::string, ChartColour> expected;  // by NormalisedLabel
};

// Colours by NormalisedLabel.
using ChartColours = std::map<std::string, ChartColour>;

// A patch label with the leading zeros of its digit runs dropped, so that the
// reference files' "A01" names the layout's "A1".
std::string NormalisedLabel(const std::string& label);

// The next label of a box row or column: the trailing number counts up in
// its width ("09" -> "10"), else the trailing letter does, carrying ("Z" ->
// "AA"). Nothing for a label that cannot count.
std::optional<std::string> NextLabel(const std::string& label);

// The layout, or nothing with *error saying why.
std::optional<ChartLayout> ReadChartLayout(const std::string& text, std::string* error);

// The reference colours, or nothing with *error saying why. The patch is
// named by SAMPLE_LOC where the table has it, else by SAMPLE_ID; L*a*b*
// columns are taken before XYZ ones.
std::optional<ChartColours> ReadChartColours(const std::string& text, std::string* error);

}  // namespace chartpics
