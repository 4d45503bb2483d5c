// Frames of kinds that use no random numbers and no text, compared with
// pictures kept in tests/fixtures/transitions (VESK_UPDATE_GOLDEN=1 writes
// them anew), and the worked geometry of a few of them checked pixel by pixel.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "tests/imaging/view/transition_test_support.h"

namespace {

TRGB oldPicture(int32_t x, int32_t y) {
  return {static_cast<uint8_t>(60 + x % 160), static_cast<uint8_t>(40 + y % 200), 30};
}
TRGB newPicture(int32_t x, int32_t y) {
  const bool check = ((x / 10) + (y / 10)) % 2 == 0;
  return {40, static_cast<uint8_t>(check ? 150 : 210), static_cast<uint8_t>(100 + (x + y) % 150)};
}

class TransitionGoldenTest : public TransitionTest {
protected:
  void SetUp() override {
    TransitionTest::SetUp();
    savedAlt_ = IEGetGlobalSettings()->TransitionAltDrawing;
  }
  void TearDown() override {
    IEGetGlobalSettings()->TransitionAltDrawing = savedAlt_;
    TransitionTest::TearDown();
  }
  // The frame of kind at step, drawn as the first frame after the start.
  void Frame(TIETransitionType kind, int32_t w, int32_t h, int32_t step, bool alt) {
    IEGetGlobalSettings()->TransitionAltDrawing = alt;
    Prepare(w, h, oldPicture, newPicture);
    engine->Transition = kind;
    engine->Run(false);
    engine->TimerTick();
    engine->SetCurrentStep(step);
    engine->DrawStep(nullptr);
  }
  std::vector<uint8_t> FrameBytes() { return TransitionTest::FrameBytes(*engine); }
  bool savedAlt_ = false;
};

std::string fixture(const std::string& name) {
  return std::string(VESK_SOURCE_DIR) + "/tests/fixtures/transitions/" + name + ".png";
}

bool readPng(const std::string& path, int32_t w, int32_t h, std::vector<uint8_t>& bgr) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_BGR;
  if (static_cast<int32_t>(image.width) != w || static_cast<int32_t>(image.height) != h) {
    png_image_free(&image);
    return false;
  }
  bgr.assign(PNG_IMAGE_SIZE(image), 0);
  return png_image_finish_read(&image, nullptr, bgr.data(), 0, nullptr) != 0;
}

bool writePng(const std::string& path, int32_t w, int32_t h, const std::vector<uint8_t>& bgr) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(w);
  image.height = static_cast<png_uint_32>(h);
  image.format = PNG_FORMAT_BGR;
  return png_image_write_to_file(&image, path.c_str(), 0, bgr.data(), w * 3, nullptr) != 0;
}

TEST_F(TransitionGoldenTest, FramesMatchTheirPictures) {
  const struct {
    const char* name;
    TIETransitionType kind;
    int32_t w, h, step;
    bool alt;
  } cases[] = {
      {"diagonal_400x300_50", iettWipeDiagonalFromTopLeft, 400, 300, 512, false},
      {"squeeze_bottom_alt_200x100_50", iettExpandFromBottom, 200, 100, 512, true},
      {"circular_400x300_100", iettCircularWipeFromCenter, 400, 300, 1024, false},
      {"pageflip_96x64_512", iettPageFlip, 96, 64, 512, false},
      {"reversepageflip_96x64_512", iettReversePageFlip, 96, 64, 512, false},
      {"pageflip3d_96x64_512", iettPageFlip2, 96, 64, 512, false},
      {"reversepageflip3d_96x64_512", iettReversePageFlip2, 96, 64, 512, false},
      {"unroll_left_120x72_38", iettUnrollFromLeft, 120, 72, 384, false},
      {"shrink_center_120x72_38", iettShrinkToCenter, 120, 72, 384, false},
      {"bars_leftthenright_120x72_62", iettBarsLeftThenRight, 120, 72, 640, false},
      {"blinds_uneven_top_120x72_62", iettUnevenBlindsFromTop, 120, 72, 640, false},
      {"starburst_120x72_38", iettStarburstClockwiseFromCenter, 120, 72, 384, false},
      {"zigzag_horizon_120x72_50", iettZigzagWipeFromHorizon, 120, 72, 512, false},
      {"triangles_120x72_62", iettExpandingTriangles, 120, 72, 640, false},
      {"heart_out_120x72_50", iettHeartWipeOut, 120, 72, 512, false},
      {"star5_ring_120x72_50", iettStar5WipeInAndOut, 120, 72, 512, false},
      {"stars_growing_120x72_62", iettExpandingStar5, 120, 72, 640, false},
      {"rotating_star_120x72_38", iettRotationalStar, 120, 72, 384, false},
      {"full_sweep_120x72_62", iettFullSweepClockwise, 120, 72, 640, false},
      {"twist_in_120x72_50", iettAngledTwistIn, 120, 72, 512, false},
  };
  const bool update = std::getenv("VESK_UPDATE_GOLDEN") != nullptr;
  for (const auto& c : cases) {
    Frame(c.kind, c.w, c.h, c.step, c.alt);
    const std::vector<uint8_t> frame = FrameBytes();
    engine->Stop();
    if (update) {
      ASSERT_TRUE(writePng(fixture(c.name), c.w, c.h, frame)) << c.name;
      continue;
    }
    std::vector<uint8_t> expected;
    ASSERT_TRUE(readPng(fixture(c.name), c.w, c.h, expected)) << c.name;
    EXPECT_TRUE(frame == expected) << c.name;
  }
}

// The diagonal at 50 percent of 400 x 300: the triangle (0, 0), (400, 0), (0, 300).
TEST_F(TransitionGoldenTest, DiagonalHalfWayIsTheTriangleToTheCorners) {
  Frame(iettWipeDiagonalFromTopLeft, 400, 300, 512, false);
  for (int32_t y = 0; y < 300; y += 7)
    for (int32_t x = 0; x < 400; x += 7) {
      const double side = x / 400.0 + y / 300.0;
      if (side > 0.99 && side < 1.01) continue;  // the edge itself is the rasteriser's
      EXPECT_EQ(Pixel(engine->CurrentBitmap(), x, y), side < 1 ? newPicture(x, y) : oldPicture(x, y)) << x << "," << y;
    }
}

// The squeeze from the bottom with the option at 50 percent of 200 x 100: the
// new picture squeezed into the lower half, the old one darkened above it.
TEST_F(TransitionGoldenTest, DarkenedSqueezeShadesTheOldHalfOnly) {
  Frame(iettExpandFromBottom, 200, 100, 512, true);
  for (int32_t x = 0; x < 200; x += 9) {
    const TRGB above = Pixel(engine->CurrentBitmap(), x, 20), old = oldPicture(x, 20);
    EXPECT_NEAR(above.g, old.g * (255 - 75) / 255.0, 1.01) << x;
    EXPECT_NEAR(above.b, old.b * (255 - 75) / 255.0, 1.01) << x;
    EXPECT_EQ(Pixel(engine->CurrentBitmap(), x, 50 + 20).b, 40) << x;  // the new picture's blue
  }
}

}  // namespace
