// Helpers of the bitmap tests: a fixture that keeps the settings and the
// allocation hook apart per test, bitmaps made in each storage location and
// a pattern to write and check through the rows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "tests/imaging/core/test_support.h"

enum class Storage { Memory, Segments, TempFile, TBitmap };

inline std::string StorageName(Storage s) {
  switch (s) {
    case Storage::Memory:
      return "Memory";
    case Storage::Segments:
      return "Segments";
    case Storage::TempFile:
      return "TempFile";
    case Storage::TBitmap:
      return "TBitmap";
  }
  return "?";
}

class BitmapTest : public ::testing::Test {
protected:
  void SetUp() override {
    auto* s = IEGetGlobalSettings();
    s->TempFolder = temp_.Folder();
    s->MemoryThreshold = -1;
    s->TempFileFallback = true;
    s->SegmentedAllocation = true;
  }
  void TearDown() override {
    IESetAllocFailHook({});
    auto* s = IEGetGlobalSettings();
    s->TempFolder.clear();
    s->MemoryThreshold = -1;
    s->TempFileFallback = true;
    s->SegmentedAllocation = true;
  }

  // A bitmap of the given size and format held in the given storage.
  static std::unique_ptr<TIEBitmap> MakeIn(Storage storage, int32_t width, int32_t height, TIEPixelFormat format) {
    auto* s = IEGetGlobalSettings();
    if (storage == Storage::TempFile) s->MemoryThreshold = 0;
    auto bitmap = std::make_unique<TIEBitmap>();
    s->MemoryThreshold = -1;
    if (storage == Storage::TBitmap) bitmap->SetLocation(ieTBitmap);
    if (storage == Storage::Segments)
      IESetAllocFailHook([](TIEAllocRequest request, int64_t) { return request == TIEAllocRequest::Block; });
    EXPECT_TRUE(bitmap->Allocate(width, height, format));
    IESetAllocFailHook({});
    return bitmap;
  }

  static uint8_t PatternByte(int64_t i, int32_t y) { return static_cast<uint8_t>(i * 7 + y * 13 + 1); }

  // Bytes holding pixels in each row (alignment bytes excluded).
  static int64_t PixelBytes(TIEBitmap& b) { return (int64_t{b.GetWidth()} * b.GetBitCount() + 7) / 8; }

  static void WritePattern(TIEBitmap& b) {
    for (int32_t y = 0; y < b.GetHeight(); ++y) {
      uint8_t* row = b.GetScanline(y);
      for (int64_t i = 0; i < PixelBytes(b); ++i) row[i] = PatternByte(i, y);
    }
  }

  // True when every row holds the pattern; the first difference is reported.
  static ::testing::AssertionResult HasPattern(TIEBitmap& b) {
    for (int32_t y = 0; y < b.GetHeight(); ++y) {
      const uint8_t* row = b.GetScanline(y);
      for (int64_t i = 0; i < PixelBytes(b); ++i)
        if (row[i] != PatternByte(i, y))
          return ::testing::AssertionFailure() << "row " << y << " byte " << i << ": " << int(row[i]);
    }
    return ::testing::AssertionSuccess();
  }

  TempFolder temp_;
};
