#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging/core/ruduvazez.h"

namespace {

TEST(Lab, EndPoints) {
  EXPECT_EQ(IERGBToCIELab(TRGB{255, 255, 255}), (TCIELab{255, 0, 0}));
  EXPECT_EQ(IERGBToCIELab(TRGB{0, 0, 0}), (TCIELab{0, 0, 0}));
  EXPECT_EQ(IECIELabToRGB(TCIELab{255, 0, 0}), (TRGB{255, 255, 255}));
  EXPECT_EQ(IECIELabToRGB(TCIELab{0, 0, 0}), (TRGB{0, 0, 0}));
}

TEST(Lab, PrimariesHaveTheirKnownCoordinates) {
  // sRGB red: L* 53.2, a* 80.1, b* 67.2; blue: L* 32.3, a* 79.2, b* -107.9.
  TCIELab red = IERGBToCIELab(TRGB{0, 0, 255});
  EXPECT_EQ(red.l, 135);  // trunc(53.24 x 2.55)
  EXPECT_EQ(red.a, 80);
  EXPECT_EQ(red.b, 67);
  TCIELab blue = IERGBToCIELab(TRGB{255, 0, 0});
  EXPECT_EQ(blue.a, 79);
  EXPECT_EQ(blue.b, -107);
}

TEST(Lab, GreysKeepNeutralAndComeBackClose) {
  for (int v = 0; v < 256; v += 5) {
    const uint8_t g = static_cast<uint8_t>(v);
    TCIELab lab = IERGBToCIELab(TRGB{g, g, g});
    EXPECT_EQ(lab.a, 0) << v;
    EXPECT_EQ(lab.b, 0) << v;
    TRGB out = IECIELabToRGB(lab);
    EXPECT_EQ(out.r, out.g) << v;
    EXPECT_EQ(out.g, out.b) << v;
    EXPECT_LE(std::abs(out.g - v), 2) << v;  // L is truncated to 256 steps
  }
}

}  // namespace
