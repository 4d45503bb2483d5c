#include "imaging/core/iepresetim.h"

#include <gtest/gtest.h>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/core/davovevo.h"

namespace {

TEST(PresetImages, ListedWhileTheLibraryRunsEachAPictureAroundItsFrame) {
  ASSERT_FALSE(IELibraryStarted());
  EXPECT_TRUE(IEPresetImages().empty());
  IELibraryInitialize();
  struct Expected {
    int32_t width, height;
    uint8_t colourType;  // of the PNG header: 6 RGBA, 2 RGB, 3 palette
    bool alpha;
    RECT frame;
  };
  const Expected expected[] = {
      {162, 159, 6, true, {18, 29, 140, 119}},
      {112, 100, 2, false, {13, 1, 95, 98}},
      {163, 108, 3, false, {30, 14, 147, 92}},
      {150, 150, 3, false, {17, 17, 131, 131}},
  };
  const auto& presets = IEPresetImages();
  ASSERT_EQ(presets.size(), 4u);
  for (size_t i = 0; i < presets.size(); ++i) {
    SCOPED_TRACE(i);
    const TIEPresetImage& preset = presets[i];
    EXPECT_EQ(preset.FileFormat, 8);
    EXPECT_EQ(preset.FrameRect.left, expected[i].frame.left);
    EXPECT_EQ(preset.FrameRect.top, expected[i].frame.top);
    EXPECT_EQ(preset.FrameRect.right, expected[i].frame.right);
    EXPECT_EQ(preset.FrameRect.bottom, expected[i].frame.bottom);
    ASSERT_GT(preset.DataSize, 100);
    EXPECT_EQ(preset.Data[25], expected[i].colourType);
    TIEMemStream stream(preset.Data, preset.DataSize);
    TIEBitmap picture;
    ASSERT_TRUE(picture.LoadFromStreamFormat(stream, preset.FileFormat, nullptr));
    EXPECT_EQ(picture.GetWidth(), expected[i].width);
    EXPECT_EQ(picture.GetHeight(), expected[i].height);
    EXPECT_EQ(picture.HasAlphaChannel(), expected[i].alpha);
    // The inner area is one plain colour: an image laid over it hides nothing of the frame.
    const TRGB inside = [&] { TRGB c; picture.GetPixelRGB(preset.FrameRect.left, preset.FrameRect.top, c); return c; }();
    TRGB corner;
    picture.GetPixelRGB(preset.FrameRect.right - 1, preset.FrameRect.bottom - 1, corner);
    EXPECT_EQ(corner, inside);
    TRGB outside;
    picture.GetPixelRGB(preset.FrameRect.left - 1, (preset.FrameRect.top + preset.FrameRect.bottom) / 2, outside);
    EXPECT_NE(outside, inside);
  }
  IELibraryFinalize();
  EXPECT_TRUE(IEPresetImages().empty());
  IEClearLanguageTexts();
}

}  // namespace
