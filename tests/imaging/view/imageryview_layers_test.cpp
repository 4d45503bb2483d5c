// The layer object without a view: creation, angles, copies, swaps and the
// layer record that undo steps are made of.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/view/imageryview_streamio.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/view/layer_test_support.h"

using namespace layertest;

namespace {

// Every stored property away from its default.
void SetUnusualProperties(TIELayer& l) {
  l.Width = 31;
  l.Height = 17;
  l.Visible = false;
  l.ShowBox = false;
  l.Selectable = false;
  l.Alpha = 77;
  l.Opacity = 0.25;
  l.PosX = -12;
  l.PosY = 40;
  l.ScreenBox = RECT{1, 2, 3, 4};
  l.ClipToBackground = true;
  l.Locked = true;
  l.Magnifier = TIEMagnifier{true, 3.5, 1, 0};
  l.BlendOperator = 9;
  l.UserData = std::malloc(5);
  std::memcpy(l.UserData, "abcde", 5);
  l.UserDataLen = 5;
  l.ResampleFilter = rfLanczos3;
  l.UseOwnFilter = true;
  l.Name = "shadow";
  l.MaskOfPrevious = true;
  l.DimOutside = true;
  l.SetAngle(33.5);
  l.RotateCenterX = 0.25;
  l.RotateCenterY = 0.75;
  l.EdgeSoftening = 6;
}

std::string RecordOf(TIELayer& layer, bool withBitmap) {
  TMemoryStream s;
  layer.SaveToStream(s, withBitmap);
  EXPECT_EQ(s.Position(), s.Size());
  return std::string(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
}

class LayerTest : public LibraryTest {};

}  // namespace

TEST_F(LayerTest, SetAngleDropsWholeTurnsOnly) {
  struct Case {
    double angle, expected;
  };
  for (const Case c : {Case{720, 0}, Case{-360, 0}, Case{0, 0}, Case{360.5, 360.5}, Case{90, 90}, Case{-450, -450},
                       Case{1e-9, 1e-9}}) {
    TIELayer layer(nullptr, false, nullptr);
    layer.SetAngle(c.angle);
    EXPECT_EQ(layer.Angle(), c.expected) << c.angle;
  }
}

TEST_F(LayerTest, CreationAdoptsOrPatternsTheBitmap) {
  TIEBitmap pattern(9, 4, ie8g);
  pattern.Fill(200);
  TIELayer patterned(nullptr, false, &pattern);
  EXPECT_NE(patterned.Bitmap, &pattern);
  EXPECT_EQ(patterned.Bitmap->GetWidth(), 9);
  EXPECT_EQ(patterned.Bitmap->GetHeight(), 4);
  EXPECT_EQ(patterned.Bitmap->GetPixelFormat(), ie8g);
  EXPECT_EQ(patterned.GetWidth(), 9);
  patterned.Width = 30;
  EXPECT_EQ(patterned.GetWidth(), 30);
  EXPECT_EQ(patterned.GetHeight(), 4);

  auto* adopted = new TIEBitmap(3, 3, ie24RGB);
  TIELayer owner(nullptr, true, adopted);  // frees it (the sanitizer build sees a leak otherwise)
  EXPECT_EQ(owner.Bitmap, adopted);
  EXPECT_TRUE(owner.OwnsBitmap);
  EXPECT_FALSE(owner.Guid == patterned.Guid);
  EXPECT_TRUE(owner.Visible && owner.ShowBox && owner.Selectable);
  EXPECT_EQ(owner.Magnifier.Rate, 2.0);
  EXPECT_EQ(owner.Magnifier.Source, 1);
}

TEST_F(LayerTest, ResetKeepsIdentityNameAndFilters) {
  TIELayer layer(nullptr, false, nullptr);
  SetUnusualProperties(layer);
  const GUID guid = layer.Guid;
  layer.Reset();
  EXPECT_TRUE(layer.Guid == guid);
  EXPECT_EQ(layer.Name, "shadow");
  EXPECT_EQ(layer.ResampleFilter, rfLanczos3);
  EXPECT_TRUE(layer.UseOwnFilter);
  EXPECT_EQ(layer.EdgeSoftening, 6);
  EXPECT_EQ(layer.Angle(), 0);
  EXPECT_EQ(layer.Alpha, 255);
  EXPECT_EQ(layer.PosX, 0);
  EXPECT_EQ(layer.UserData, nullptr);
  EXPECT_EQ(layer.UserDataLen, 0);
  EXPECT_FALSE(layer.Locked);
}

TEST_F(LayerTest, CopyFromDuplicatesUserDataAndLeavesRotation) {
  auto source = PatternLayer(6, 5, 3, true);
  SetUnusualProperties(*source);
  TIELayer target(nullptr, false, nullptr);
  target.SetAngle(10);
  target.RotateCenterX = 0.1;
  target.CopyFrom(*source);
  ExpectSameCopiedProperties(*source, target);
  ExpectSamePixels(*source->Bitmap, *target.Bitmap);
  EXPECT_NE(target.UserData, source->UserData);  // each layer frees its own block
  EXPECT_EQ(target.Angle(), 10);
  EXPECT_EQ(target.RotateCenterX, 0.1);
  EXPECT_FALSE(target.Guid == source->Guid);
}

TEST_F(LayerTest, SwapWithMovesPixelsAndExchangesProperties) {
  auto a = PatternLayer(4, 3, 1, false);
  auto b = PatternLayer(7, 2, 50, true);
  SetUnusualProperties(*b);
  const GUID guidA = a->Guid, guidB = b->Guid;
  auto expected = PatternLayer(7, 2, 50, true);
  a->SwapWith(*b);
  ExpectSamePixels(*a->Bitmap, *expected->Bitmap);
  EXPECT_TRUE(b->Bitmap->IsEmpty());
  EXPECT_TRUE(a->Guid == guidB);
  EXPECT_TRUE(b->Guid == guidA);
  EXPECT_EQ(a->Name, "shadow");
  EXPECT_EQ(b->Name, "");
  EXPECT_EQ(a->Alpha, 77);
  EXPECT_EQ(b->Alpha, 255);
  EXPECT_EQ(a->Angle(), 0);  // the rotation stays with each layer
  EXPECT_EQ(b->Angle(), 33.5);
}

TEST_F(LayerTest, RecordRoundTripsEveryField) {
  for (bool withBitmap : {true, false}) {
    SCOPED_TRACE(withBitmap);
    auto source = PatternLayer(5, 4, 9, true);
    SetUnusualProperties(*source);
    const std::string record = RecordOf(*source, withBitmap);
    int32_t storedLength;
    std::memcpy(&storedLength, record.data(), 4);
    EXPECT_EQ(storedLength, static_cast<int32_t>(record.size()));

    auto target = PatternLayer(2, 2, 0, false);
    auto stream = StreamOf(record);
    ASSERT_TRUE(target->LoadFromStream(*stream));
    EXPECT_EQ(stream->Position(), stream->Size());
    ExpectSameCopiedProperties(*source, *target);
    EXPECT_TRUE(target->Guid == source->Guid);
    EXPECT_EQ(target->ScreenBox, source->ScreenBox);
    EXPECT_EQ(target->Angle(), 33.5);
    EXPECT_EQ(target->RotateCenterX, 0.25);
    EXPECT_EQ(target->RotateCenterY, 0.75);
    if (withBitmap) {
      ExpectSamePixels(*source->Bitmap, *target->Bitmap);
    } else {
      EXPECT_EQ(target->Bitmap->GetWidth(), 2);  // the pixels are left alone
    }
  }
}

TEST_F(LayerTest, RecordFollowedByOtherDataIsReadInPlace) {
  auto first = PatternLayer(3, 3, 1, false);
  auto second = PatternLayer(2, 5, 2, true);
  second->Name = "second";
  TMemoryStream s;
  IEWriteLE<int32_t>(s, 1234);  // records are kept after other data in undo streams
  first->SaveToStream(s, true);
  second->SaveToStream(s, true);
  s.SetPosition(4);
  TIELayer a(nullptr, false, nullptr), b(nullptr, false, nullptr);
  ASSERT_TRUE(a.LoadFromStream(s));
  ASSERT_TRUE(b.LoadFromStream(s));
  ExpectSamePixels(*a.Bitmap, *first->Bitmap);
  ExpectSamePixels(*b.Bitmap, *second->Bitmap);
  EXPECT_EQ(b.Name, "second");
}

TEST_F(LayerTest, ShortRecordFailsAndChangesNothing) {
  auto source = PatternLayer(4, 3, 5, true);
  SetUnusualProperties(*source);
  const std::string record = RecordOf(*source, true);
  for (size_t cut = 0; cut < record.size(); ++cut) {
    auto target = PatternLayer(3, 2, 7, false);
    target->Name = "kept";
    const GUID guid = target->Guid;
    auto stream = StreamOf(record.substr(0, cut));
    ASSERT_FALSE(target->LoadFromStream(*stream)) << cut;
    EXPECT_EQ(target->Name, "kept");
    EXPECT_TRUE(target->Guid == guid);
    EXPECT_EQ(target->Alpha, 255);
    EXPECT_EQ(target->UserDataLen, 0);
    auto expected = PatternLayer(3, 2, 7, false);
    ExpectSamePixels(*target->Bitmap, *expected->Bitmap);
  }
}

TEST_F(LayerTest, DamagedRecordFieldsAreRefused) {
  auto source = PatternLayer(4, 3, 5, false);
  source->Name = "abc";
  const std::string record = RecordOf(*source, true);
  // Offsets inside the record: 4 length, 16 guid, 4+4 size, 3 flags, 4 alpha,
  // 8 opacity, 8 position, 16 box, 2 flags, 24 magnifier, 1 operator, then
  // the user data length at 94, the filter at 98, the name length at 100.
  struct Case {
    const char* what;
    size_t offset;
    int32_t value;
    int32_t size;
  };
  const Case cases[] = {
      {"record length too small", 0, 8, 4},
      {"record length beyond the end", 0, static_cast<int32_t>(record.size()) + 1, 4},
      {"record length shorter than the fields", 0, static_cast<int32_t>(record.size()) - 1, 4},
      {"negative user data length", 94, -1, 4},
      {"user data beyond the end", 94, 0x7FFFFFF0, 4},
      {"unknown filter", 98, 200, 1},
      {"negative display width", 20, -3, 4},
      {"display height beyond the layer limit", 24, IELayerExtentLimit + 1, 4},
      {"position at the 32-bit limit", 43, INT32_MAX, 4},
      {"position below the layer limit", 47, -IELayerExtentLimit - 1, 4},
      {"negative name length", 100, -5, 4},
      {"name beyond the end", 100, 0x10000000, 4},
      {"pixels flag without pixels", record.size() - 1 - static_cast<size_t>(source->Bitmap->RawSize()), 0, 1},
  };
  for (const Case& c : cases) {
    std::string bad = record;
    std::memcpy(bad.data() + c.offset, &c.value, static_cast<size_t>(c.size));
    TIELayer target(nullptr, false, nullptr);
    auto stream = StreamOf(bad);
    EXPECT_FALSE(target.LoadFromStream(*stream)) << c.what;
    EXPECT_EQ(target.Name, "") << c.what;
  }
}
