// What the layer tests share: the image library started, bitmaps with a
// known pattern, and comparisons of layers and pixels.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/streams.h"

namespace layertest {

class LibraryTest : public ::testing::Test {
protected:
  void SetUp() override {
    IELibraryInitialize();
    IEInitializeImageryIO();
  }
  void TearDown() override {
    IEFinalizeImageryIO();
    IELibraryFinalize();
  }
};

// Pixel (x, y) of pattern seed s: (x * 7 + s, y * 11 + s, x + y + s); alpha
// (when wanted) x * 16 + y.
inline TRGB PatternPixel(int32_t x, int32_t y, int32_t seed) {
  TRGB p;
  p.r = static_cast<uint8_t>(x * 7 + seed);
  p.g = static_cast<uint8_t>(y * 11 + seed);
  p.b = static_cast<uint8_t>(x + y + seed);
  return p;
}

inline void FillPattern(TIEBitmap& bitmap, int32_t width, int32_t height, int32_t seed, bool alpha) {
  bitmap.Allocate(width, height, ie24RGB);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) bitmap.SetPixel24(x, y, PatternPixel(x, y, seed));
  if (alpha) {
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) bitmap.SetAlphaPixel(x, y, static_cast<uint8_t>(x * 16 + y));
  }
}

inline std::unique_ptr<TIELayer> PatternLayer(int32_t width, int32_t height, int32_t seed, bool alpha) {
  auto layer = std::make_unique<TIELayer>(nullptr, false, nullptr);
  FillPattern(*layer->Bitmap, width, height, seed, alpha);
  return layer;
}

// Same size, format, pixels and alpha channel.
inline void ExpectSamePixels(TIEBitmap& a, TIEBitmap& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  ASSERT_EQ(a.GetPixelFormat(), b.GetPixelFormat());
  ASSERT_EQ(a.HasAlphaChannel(), b.HasAlphaChannel());
  for (int32_t y = 0; y < a.GetHeight(); ++y)
    for (int32_t x = 0; x < a.GetWidth(); ++x) {
      ASSERT_EQ(a.GetPixel24(x, y), b.GetPixel24(x, y)) << x << "," << y;
      if (a.HasAlphaChannel()) {
        ASSERT_EQ(a.GetAlphaPixel(x, y), b.GetAlphaPixel(x, y)) << x << "," << y;
      }
    }
}

// The properties that CopyFrom carries over.
inline void ExpectSameCopiedProperties(const TIELayer& a, const TIELayer& b) {
  EXPECT_EQ(a.Width, b.Width);
  EXPECT_EQ(a.Height, b.Height);
  EXPECT_EQ(a.Visible, b.Visible);
  EXPECT_EQ(a.ShowBox, b.ShowBox);
  EXPECT_EQ(a.Selectable, b.Selectable);
  EXPECT_EQ(a.Alpha, b.Alpha);
  EXPECT_EQ(a.Opacity, b.Opacity);
  EXPECT_EQ(a.PosX, b.PosX);
  EXPECT_EQ(a.PosY, b.PosY);
  EXPECT_EQ(a.ClipToBackground, b.ClipToBackground);
  EXPECT_EQ(a.Locked, b.Locked);
  EXPECT_EQ(a.Magnifier, b.Magnifier);
  EXPECT_EQ(a.BlendOperator, b.BlendOperator);
  ASSERT_EQ(a.UserDataLen, b.UserDataLen);
  if (a.UserDataLen > 0) {
    EXPECT_EQ(std::memcmp(a.UserData, b.UserData, a.UserDataLen), 0);
  }
  EXPECT_EQ(a.ResampleFilter, b.ResampleFilter);
  EXPECT_EQ(a.UseOwnFilter, b.UseOwnFilter);
  EXPECT_EQ(a.Name, b.Name);
  EXPECT_EQ(a.MaskOfPrevious, b.MaskOfPrevious);
  EXPECT_EQ(a.DimOutside, b.DimOutside);
  EXPECT_EQ(a.EdgeSoftening, b.EdgeSoftening);
}

// A stream over a copy of the bytes, at position 0.
inline std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
  auto s = std::make_unique<TMemoryStream>();
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  s->SetPosition(0);
  return s;
}

}  // namespace layertest
