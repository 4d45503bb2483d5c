// The chart picture tool reads the toolkit's layouts and reference colours
// and draws each patch where the layout puts it, in the colour it should have.
#include "tools/chartpics/chart_layout.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tools/chartpics/chart_picture.h"

using namespace chartpics;

namespace {

std::string Fixture(const std::string& name) {
  std::ifstream in(std::string(VESK_SOURCE_DIR "/tests/fixtures/chartlayout/") + name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

ChartLayout MiniLayout() {
  std::string error;
  const auto layout = ReadChartLayout(Fixture("mini.cht"), &error);
  EXPECT_TRUE(layout) << error;
  return layout.value_or(ChartLayout{});
}

ChartColours MiniColours() {
  std::string error;
  const auto colours = ReadChartColours(Fixture("mini.cie"), &error);
  EXPECT_TRUE(colours) << error;
  return colours.value_or(ChartColours{});
}

TEST(ChartLabels, CountAndNormalise) {
  const struct {
    const char *label, *next;
  } counts[] = {{"A", "B"}, {"Z", "AA"}, {"AZ", "BA"}, {"1", "2"}, {"9", "10"}, {"01", "02"}, {"09", "10"},
                {"99", "100"}, {"GS00", "GS01"}, {"GS09", "GS10"}, {"2A", "2B"}, {"SAT", "SAU"}};
  for (const auto& c : counts) EXPECT_EQ(NextLabel(c.label).value_or("-"), c.next) << c.label;
  for (const char* stuck : {"", "A-", "#"}) EXPECT_FALSE(NextLabel(stuck)) << stuck;

  const struct {
    const char *label, *normal;
  } normals[] = {{"A01", "A1"}, {"A1", "A1"}, {"GS00", "GS0"}, {"GS010", "GS10"}, {"2A01", "2A1"}, {"SAT1", "SAT1"},
                 {"0", "0"}, {"A10", "A10"}};
  for (const auto& c : normals) EXPECT_EQ(NormalisedLabel(c.label), c.normal) << c.label;
}

TEST(ChartLayoutReader, ReadsBoxesFiducialsAndExpectedColours) {
  const ChartLayout layout = MiniLayout();
  ASSERT_EQ(layout.boxes.size(), 9u);
  // The outline, the grid x fastest with the Y label first, the grey row.
  const char* labels[] = {"ALL", "A01", "A02", "A03", "B01", "B02", "B03", "GS00", "GS01"};
  for (size_t i = 0; i < layout.boxes.size(); ++i) EXPECT_EQ(layout.boxes[i].label, labels[i]) << i;
  EXPECT_EQ(layout.boxes[0].kind, 'D');
  EXPECT_EQ(layout.boxes[1].kind, 'Y');
  const ChartBox& b03 = layout.boxes[6];
  EXPECT_DOUBLE_EQ(b03.x, 28);
  EXPECT_DOUBLE_EQ(b03.y, 16);
  EXPECT_DOUBLE_EQ(b03.w, 8);
  const ChartBox& gs01 = layout.boxes[8];
  EXPECT_EQ(gs01.kind, 'X');
  EXPECT_DOUBLE_EQ(gs01.x, 16);
  EXPECT_DOUBLE_EQ(gs01.y, 26);
  EXPECT_DOUBLE_EQ(gs01.w, 10);
  EXPECT_DOUBLE_EQ(gs01.h, 4);
  EXPECT_EQ(layout.fiducials, (std::vector<double>{0, 0, 40, 0, 40, 30, 0, 30}));

  ASSERT_EQ(layout.expected.size(), 3u);
  ASSERT_TRUE(layout.expected.count("B3"));
  EXPECT_EQ(layout.expected.at("B3").space, ChartColour::Lab);
  EXPECT_DOUBLE_EQ(layout.expected.at("B3").v[0], 90);
}

TEST(ChartColourReader, NamesPatchesByLocationAndReadsWrappedRows) {
  const ChartColours colours = MiniColours();
  ASSERT_EQ(colours.size(), 3u);
  ASSERT_TRUE(colours.count("A1"));  // SAMPLE_LOC "A01", not SAMPLE_ID 1
  EXPECT_EQ(colours.at("A1").space, ChartColour::XYZ);
  EXPECT_DOUBLE_EQ(colours.at("A1").v[0], 43.60);
  ASSERT_TRUE(colours.count("B2"));
  EXPECT_DOUBLE_EQ(colours.at("B2").v[2], 16.498);

  // L*a*b* columns win over XYZ ones; SAMPLE_ID names the patch without SAMPLE_LOC.
  const auto both = ReadChartColours(
      "NUMBER_OF_FIELDS 7\nBEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z LAB_L LAB_A LAB_B\nEND_DATA_FORMAT\n"
      "BEGIN_DATA\nA01 1 2 3 40 5 -6\nEND_DATA\n",
      nullptr);
  ASSERT_TRUE(both);
  EXPECT_EQ(both->at("A1").space, ChartColour::Lab);
  EXPECT_DOUBLE_EQ(both->at("A1").v[2], -6);
}

TEST(ChartColourConversion, WhitesAndGreysLandOnTheirSrgbValues) {
  const struct {
    ChartColour colour;
    bool d65;
    int value;
  } cases[] = {
      {{ChartColour::XYZ, {96.42, 100, 82.49}}, false, 255},  // D50 white
      {{ChartColour::XYZ, {95.047, 100, 108.883}}, true, 255},  // D65 white
      {{ChartColour::Lab, {50, 0, 0}}, true, 119},  // L*a*b* is D50 whatever the table
      {{ChartColour::Lab, {90, 0, 0}}, false, 226},
      {{ChartColour::XYZ, {19.284, 20, 16.498}}, false, 124},
  };
  for (const auto& c : cases) {
    const Srgb s = ToSrgb(c.colour, c.d65);
    EXPECT_EQ(s.r, c.value) << c.colour.v[0];
    EXPECT_EQ(s.g, c.value) << c.colour.v[0];
    EXPECT_EQ(s.b, c.value) << c.colour.v[0];
  }
  const Srgb red = ToSrgb({ChartColour::XYZ, {43.60, 22.25, 1.39}}, false);
  EXPECT_EQ(red.r, 255);
  EXPECT_EQ(red.g, 0);
  EXPECT_EQ(red.b, 0);
}

TEST(ChartPictureDrawing, PatchesTakeReferenceThenExpectedColoursOnTheSurround) {
  // 40 x 30 units with a margin of 1.6 on each side: 432 pixels make 10 a unit.
  const ChartPicture picture = DrawChart(MiniLayout(), MiniColours(), 432);
  ASSERT_EQ(picture.width, 432);
  ASSERT_EQ(picture.height, 332);
  ASSERT_EQ(picture.rgb.size(), 432u * 332 * 3);
  EXPECT_EQ(picture.patches, 8);
  EXPECT_EQ(picture.uncoloured, 3);  // A03, B01, GS00

  const auto at = [&](double ux, double uy) {
    const size_t p = (static_cast<size_t>((uy + 1.6) * 10) * 432 + static_cast<size_t>((ux + 1.6) * 10)) * 3;
    return std::vector<int>{picture.rgb[p], picture.rgb[p + 1], picture.rgb[p + 2]};
  };
  const struct {
    double x, y;
    std::vector<int> rgb;
    const char* what;
  } probes[] = {
      {8, 8, {255, 0, 0}, "A01: the reference's red over the expected grey"},
      {20, 8, {255, 255, 255}, "A02: reference white"},
      {20, 20, {124, 124, 124}, "B02: reference grey"},
      {32, 20, {226, 226, 226}, "B03: expected L* 90"},
      {21, 28, {27, 27, 27}, "GS01: expected L* 10"},
      {32, 8, {124, 124, 124}, "A03: no colour, middle grey"},
      {14, 8, {36, 36, 39}, "the gap between A01 and A02"},
      {-1, -1, {36, 36, 39}, "the margin"},
  };
  for (const auto& p : probes) EXPECT_EQ(at(p.x, p.y), p.rgb) << p.what;

  // Edges blend: at 10/3 pixels a unit, A01's right edge (x = 12 units) falls
  // a third into pixel column 45.
  const ChartPicture third = DrawChart(MiniLayout(), MiniColours(), 144);
  ASSERT_EQ(third.width, 144);
  const int edge = third.rgb[(32 * 144 + 45) * 3];
  EXPECT_GT(edge, 36);
  EXPECT_LT(edge, 255);
}

TEST(ChartPictureDrawing, LayoutsWithoutPatchesOrExtentDrawNothing) {
  ChartLayout empty;
  EXPECT_EQ(DrawChart(empty, {}, 320).width, 0);
  ChartLayout outlineOnly = MiniLayout();
  outlineOnly.boxes.resize(1);  // the D box alone
  EXPECT_EQ(DrawChart(outlineOnly, {}, 320).width, 0);
  ChartLayout flat;
  flat.boxes.push_back({'X', "A1", 5, 5, 10, 0});
  EXPECT_EQ(DrawChart(flat, {}, 320).width, 0);
  // A chart many times wider than high keeps at least one row.
  ChartLayout strip;
  strip.boxes.push_back({'X', "A1", 0, 0, 1e6, 1});
  const ChartPicture thin = DrawChart(strip, {}, 320);
  EXPECT_EQ(thin.width, 320);
  EXPECT_GE(thin.height, 1);
}

TEST(ChartReaders, RefuseDamagedFiles) {
  const char* layouts[] = {
      "",
      "XLIST 1\n 1 1 1\n",                                             // no BOXES
      "BOXES 1\n  Y 1 6 A D 46 46 12 11.5 52.5\n",                     // ten words
      "BOXES 1\n  Y 1 6 A D 46 x 12 11.5 52.5 52.5\n",                 // not a number
      "BOXES 1\n  Y 1 6 A D 46 nan 12 11.5 52.5 52.5\n",               // not finite
      "BOXES 1\n  Y 1 6 A D 46 1e999 12 11.5 52.5 52.5\n",             // out of range
      "BOXES 1\n  Y 1 6 A D -46 46 12 11.5 52.5 52.5\n",               // negative size
      "BOXES 1\n  Q 1 6 A D 46 46 12 11.5 52.5 52.5\n",                // unknown kind
      "BOXES 1\n  Y A 5 A D 46 46 12 11.5 52.5 52.5\n",                // letters never reach a digit
      "BOXES 1\n  Y 1 0 A D 46 46 12 11.5 52.5 52.5\n",                // counting past the end
      "BOXES 1\n  Y 1 999 1 999 1 1 0 0 1 1\n",                        // a million boxes
      "BOXES 1\n  F _ _ 1 2 3 4 5 6 7 x\n",                            // bad fiducial
      "BOXES 1\n  Y 1 2 A A 1 1 0 0 1 1\n\nEXPECTED RGB 1\n A1 1 2 3\n",  // unknown space
      "BOXES 1\n  Y 1 2 A A 1 1 0 0 1 1\n\nEXPECTED XYZ 1\n A1 1 2\n",    // short colour line
  };
  for (const char* text : layouts) {
    std::string error;
    EXPECT_FALSE(ReadChartLayout(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }

  const std::string format = "BEGIN_DATA_FORMAT\nSAMPLE_ID XYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\n";
  const std::string tables[] = {
      "",
      format,                                                     // no data
      format + "BEGIN_DATA\nA1 1 2 3\n",                          // cut before END_DATA
      format + "BEGIN_DATA\nA1 1 2 3\nA2 1 2\nEND_DATA\n",        // ends within a row
      format + "BEGIN_DATA\nA1 1 2 x\nEND_DATA\n",                // not a number
      "BEGIN_DATA_FORMAT\nSAMPLE_ID RGB_R RGB_G RGB_B\nEND_DATA_FORMAT\nBEGIN_DATA\nA1 1 2 3\nEND_DATA\n",
      "BEGIN_DATA_FORMAT\nXYZ_X XYZ_Y XYZ_Z\nEND_DATA_FORMAT\nBEGIN_DATA\n1 2 3\nEND_DATA\n",  // no names
      "BEGIN_DATA_FORMAT\nEND_DATA_FORMAT\nBEGIN_DATA\nEND_DATA\n",
  };
  for (const std::string& text : tables) {
    std::string error;
    EXPECT_FALSE(ReadChartColours(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
}

}  // namespace
