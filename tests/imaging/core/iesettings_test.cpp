#include "imaging/core/iesettings.h"

#include "platform/forms/graphics.h"

#include <gtest/gtest.h>

namespace {

TEST(GlobalSettings, OneObjectUntilFreed) {
  auto* first = IEGetGlobalSettings();
  EXPECT_EQ(IEGetGlobalSettings(), first);
  first->DefaultDPIX = 72;
  IEFreeGlobalSettings();
  auto* second = IEGetGlobalSettings();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->DefaultDPIX, 300);
}

TEST(GlobalSettings, Defaults) {
  IEFreeGlobalSettings();
  const auto& s = *IEGetGlobalSettings();
  EXPECT_EQ(s.LanguageIndex, 0);
  EXPECT_EQ(s.CoreCount, -1);
  EXPECT_EQ(s.WindowsVersion, 8);  // the platform answers Windows 7
  EXPECT_TRUE(s.IsWindowsNT);
  EXPECT_EQ(s.DefaultDPIX, 300);
  EXPECT_EQ(s.DefaultDPIY, 300);
  EXPECT_EQ(s.GrayWeightRed, 21);
  EXPECT_EQ(s.GrayWeightGreen, 71);
  EXPECT_EQ(s.GrayWeightBlue, 8);
  EXPECT_EQ(s.MemoryThreshold, -1);
  EXPECT_EQ(s.AnnotTIFFTag, 40101);
  EXPECT_EQ(s.WordTransition.MaxHeight, 200);
  EXPECT_EQ(s.WordTransition.Text, "A");
  EXPECT_EQ(s.WordTransition.FontName, "Arial");
  EXPECT_EQ(s.WordTransition.FontStyle, 1);
  EXPECT_EQ(s.PreviewZoomFilter, rfFastLinear);
  EXPECT_EQ(s.TransitionResampleFilter, rfNone);
  EXPECT_EQ(s.DialogBackgroundColor, 0xFF00000Fu);
  EXPECT_EQ(s.GridColor, 0xA0A0A0u);
  EXPECT_EQ(s.VideoExtensions, "mpg,mpeg,wmv,avi");
  EXPECT_EQ(s.MetafileMaxSize, 8000);
  EXPECT_EQ(s.AdobeRGBInteropMode, 2);
  EXPECT_TRUE(s.TempFolder.empty());
  EXPECT_TRUE(s.TempFileFallback && s.SegmentedAllocation && s.GDIPlusAllowed && s.CMYKThroughICC);
  EXPECT_FALSE(s.DialogButtonGlyphs || s.FileExistsByRTL || s.ApplyEmbeddedICC || s.RelativeStreamPositions);
  EXPECT_EQ(s.ShortcutAlignCenter, 0x4000 | 'E');
  EXPECT_EQ(s.ShortcutColor, 0x4000 | 'G');
  EXPECT_EQ(s.UnitNames[ieuMETERS], "mt");
  EXPECT_EQ(s.UnitNames[ieuMILES], "miles");
  ASSERT_NE(s.PixelGridPen, nullptr) << "the settings make the pixel-grid pen";
  EXPECT_EQ(s.PixelGridPen->Mode(), pmCopy) << "its look is the view unit's";
  EXPECT_EQ(s.SharedFont, nullptr) << "made on first use by the font routine";
  EXPECT_EQ(s.FileFormats, nullptr) << "built by the format registry";
  EXPECT_TRUE(!s.GIFLZWDecoder && !s.GIFLZWEncoder && !s.TIFFLZWDecoder && !s.TIFFLZWEncoder)
      << "the LZW slots are filled by the I/O start-up";
}

// The view's stop routine frees the pen through its one owner; the settings
// going afterwards free nothing twice (the sanitizer reports it otherwise).
TEST(GlobalSettings, ThePixelGridPenIsFreedOnce) {
  IEGetGlobalSettings()->PixelGridPen.reset();
  IEFreeGlobalSettings();
  EXPECT_NE(IEGetGlobalSettings()->PixelGridPen, nullptr);
  IEFreeGlobalSettings();
}

TEST(GlobalSettings, NTFamilyFromVersionCode) {
  for (uint8_t code = 0; code <= 10; ++code) EXPECT_EQ(IEIsWindowsNTVersion(code), code > 2) << int(code);
}

}  // namespace
