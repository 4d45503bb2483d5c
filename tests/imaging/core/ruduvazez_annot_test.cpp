#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_annot.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "platform/rtl/exceptions.h"

namespace {

std::unique_ptr<TIEImagingObject> Mark(int32_t type) {
  auto mark = std::make_unique<TIEImagingObject>();
  mark->Attributes.SetMarkType(type);
  mark->Attributes.SetBounds(10, 20, 110, 70);
  mark->Attributes.SetColor1(0x0000FF);  // red, blue in the low byte
  mark->Attributes.SetLineSize(3);
  mark->Attributes.Bytes[163] = 0x5A;    // reserved bytes travel too
  return mark;
}

int32_t Int32At(const std::vector<uint8_t>& b, size_t at) {
  int32_t v;
  std::memcpy(&v, &b[at], 4);
  return v;
}

TEST(IEImagingAnnot, AnEmptyListSavesNothing) {
  TIEImagingAnnot annot;
  EXPECT_TRUE(annot.SaveToBuffer().empty());
}

TEST(IEImagingAnnot, OneHollowRectangleTakes268Bytes) {
  TIEImagingAnnot annot;
  annot.AddObject(Mark(5));
  const std::vector<uint8_t> block = annot.SaveToBuffer();
  ASSERT_EQ(block.size(), 268u);
  EXPECT_EQ(Int32At(block, 0), 0);
  EXPECT_EQ(Int32At(block, 4), 1);
  // The default "OiGroup" block: record 2, 12, name, 2, "0" and its NUL.
  EXPECT_EQ(Int32At(block, 8), 2);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[16]), 8), std::string("OiGroup\0", 8));
  EXPECT_EQ(Int32At(block, 24), 2);
  EXPECT_EQ(Int32At(block, 52), 5);   // the attribute record
  EXPECT_EQ(Int32At(block, 56), 164);
  EXPECT_EQ(block[60 + 163], 0x5A);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[254]), 10), std::string("OiIndex\0\x02\0", 10));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&block[266]), 2), std::string("0\0", 2));
}

TEST(IEImagingAnnot, WhatIsSavedLoadsBackTheSame) {
  TIEImagingAnnot annot;
  annot.AddObject(Mark(5));
  auto line = Mark(3);
  line->Points = {{0, 0}, {100, 50}};
  annot.AddObject(std::move(line));
  auto poly = Mark(4);
  poly->Points = {{1, 2}, {-3, 4}, {5, -6}};
  annot.AddObject(std::move(poly));
  auto text = Mark(7);
  text->Text = "Note";
  text->Attributes.SetFontHeight(-241);  // kept exactly at the standard scale
  std::memcpy(&text->Attributes.Bytes[76], "Arial", 5);
  annot.AddObject(std::move(text));
  auto image = Mark(1);
  image->Image = std::make_unique<TIEBitmap>(3, 2, ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x)
      image->Image->SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 80), static_cast<uint8_t>(y * 90), 7});
  annot.AddObject(std::move(image));

  const std::vector<uint8_t> block = annot.SaveToBuffer();
  TIEImagingAnnot back;
  back.SetChanged(true);
  back.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  EXPECT_FALSE(back.Changed());
  ASSERT_EQ(back.GetObjectCount(), 5);
  for (int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    const TIEImagingObject& a = annot.GetObject(i);
    const TIEImagingObject& b = back.GetObject(i);
    EXPECT_EQ(a.Attributes, b.Attributes);
    EXPECT_EQ(a.Points, b.Points);
    EXPECT_EQ(a.Text, b.Text);
    ASSERT_EQ(a.Image == nullptr, b.Image == nullptr);
    if (!a.Image) continue;
    // The image goes through the block as a DIB and comes back pixel for pixel.
    ASSERT_EQ(b.Image->GetWidth(), 3);
    ASSERT_EQ(b.Image->GetHeight(), 2);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(b.Image->GetPixel24(x, y), a.Image->GetPixel24(x, y));
  }
  EXPECT_EQ(back.GetObject(3).Attributes.FontName(), "Arial");
  EXPECT_EQ(back.SaveToBuffer(), block);

  TIEImagingAnnot copy;
  copy.Assign(&back);
  ASSERT_EQ(copy.GetObjectCount(), 5);
  EXPECT_EQ(copy.GetObject(2).Points, back.GetObject(2).Points);
  EXPECT_NE(&copy.GetObject(2), &back.GetObject(2));
  ASSERT_NE(copy.GetObject(4).Image, nullptr);  // a copy of its own
  EXPECT_NE(copy.GetObject(4).Image.get(), back.GetObject(4).Image.get());
  EXPECT_EQ(copy.GetObject(4).Image->GetPixel24(2, 1), back.GetObject(4).Image->GetPixel24(2, 1));
  EXPECT_THROW(copy.GetObject(5), EListError);
}

// A hand-written block in the 16-bit variant, with text at another scale
// and records the reader passes over.
class BlockBuilder {
public:
  BlockBuilder& I(int32_t v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    bytes.insert(bytes.end(), p, p + 4);
    return *this;
  }
  BlockBuilder& S(const std::string& s) {
    bytes.insert(bytes.end(), s.begin(), s.end());
    return *this;
  }
  BlockBuilder& Attributes(int32_t type, int32_t fontHeight = 0) {
    TIEAnnotAttributes a;
    a.SetMarkType(type);
    a.SetFontHeight(fontHeight);
    I(5).I(164);
    bytes.insert(bytes.end(), a.Bytes.begin(), a.Bytes.end());
    return *this;
  }
  std::vector<uint8_t> bytes;
};

TEST(IEImagingAnnot, ReadsTheShortVariantAndRescalesTextHeights) {
  BlockBuilder b;
  b.I(0).I(0);                                                              // 16-bit variant
  b.Attributes(5);                                                          // first: no mark yet, so none made
  b.I(99).I(0);                                                             // an unknown record has no body
  b.Attributes(8, -300);
  std::string text = std::string(16, '\0') + "Hi\0rest";
  std::memcpy(&text[8], "\xE8\x03\0\0", 4);                                 // creation scale 1000
  b.I(6).I(12).S(std::string("OiAnText", 8)).I(static_cast<int32_t>(text.size())).I(0).S(text);
  b.I(2).I(12).S(std::string("Other\0\0\0", 8)).I(3).I(0).S("xyz");      // other names are skipped
  b.Attributes(4);
  b.I(6).I(12).S(std::string("OiAnoDat", 8)).I(24).I(0).I(2).I(2).I(7).I(8).I(-9).I(10);
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(b.bytes.data(), static_cast<int64_t>(b.bytes.size()));
  ASSERT_EQ(annot.GetObjectCount(), 3);
  EXPECT_EQ(annot.GetObject(0).Attributes.MarkType(), 5);
  EXPECT_EQ(annot.GetObject(1).Text, "Hi");
  EXPECT_EQ(annot.GetObject(1).Attributes.FontHeight(), -2250);  // -300 at 1000 is -2250 at 7500
  EXPECT_EQ(annot.GetObject(2).Points, (std::vector<TIEImagingObject::TPoint>{{7, 8}, {-9, 10}}));
}

TEST(IEImagingAnnot, DamagedBlocksStopWithoutReadingPastTheEnd) {
  TIEImagingAnnot source;
  auto poly = Mark(4);
  poly->Points = {{1, 2}, {3, 4}};
  source.AddObject(Mark(5));
  source.AddObject(std::move(poly));
  auto text = Mark(9);
  text->Text = "abc";
  source.AddObject(std::move(text));
  const std::vector<uint8_t> whole = source.SaveToBuffer();
  // Every cut keeps the marks whose attributes were read whole.
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
    TIEImagingAnnot annot;
    annot.LoadFromBuffer(part.data(), static_cast<int64_t>(part.size()));
    EXPECT_LE(annot.GetObjectCount(), 3);
  }
  // A point count beyond the block's data leaves the mark without points;
  // a data size beyond the end stops the walk; an unterminated text ends with its piece.
  BlockBuilder b;
  b.I(0).I(1).Attributes(4);
  b.I(6).I(12).S(std::string("OiAnoDat", 8)).I(16).I(1000000).I(1000000).I(1).I(2);
  b.Attributes(10);
  b.I(6).I(12).S(std::string("OiAnText", 8)).I(19).S(std::string(16, '\0')).S("abc");
  b.Attributes(3);
  b.I(6).I(12).S(std::string("OiAnoDat", 8)).I(0x7FFFFFFF).S("xx");
  TIEImagingAnnot annot;
  annot.LoadFromBuffer(b.bytes.data(), static_cast<int64_t>(b.bytes.size()));
  ASSERT_EQ(annot.GetObjectCount(), 3);
  EXPECT_TRUE(annot.GetObject(0).Points.empty());
  EXPECT_EQ(annot.GetObject(1).Text, "abc");
  EXPECT_EQ(annot.GetObject(2).Attributes.MarkType(), 3);
}

TEST(IEImagingAnnot, ColoursSwapRedAndBlue) {
  EXPECT_EQ(IEAnnotColorToTColor(0xAA123456), 0x563412u);
  EXPECT_EQ(IEAnnotColorToTColor(0x0000FF), 0xFF0000u);
}

TEST(IEImageryAnnot, SignatureBufferAndStream) {
  EXPECT_FALSE(TIEImageryAnnot::HasSignature("IMAGERYANNO", 11));
  EXPECT_TRUE(TIEImageryAnnot::HasSignature("IMAGERYANNOT", 12));
  TIEImageryAnnot annot, other;
  EXPECT_TRUE(annot.SaveToBuffer().empty());
  const std::string block = "IMAGERYANNOT\x01\x02objects";
  annot.LoadFromBuffer(block.data(), static_cast<int64_t>(block.size()));
  EXPECT_EQ(std::string(annot.Objects().begin(), annot.Objects().end()), "\x01\x02objects");
  const std::vector<uint8_t> saved = annot.SaveToBuffer();
  EXPECT_EQ(std::string(saved.begin(), saved.end()), block);
  other.LoadFromBuffer(saved.data(), static_cast<int64_t>(saved.size()));
  EXPECT_EQ(other.Objects(), annot.Objects());
  other.LoadFromBuffer("not ours at all", 15);
  EXPECT_TRUE(other.IsEmpty());

  TMemoryStream stream;
  annot.SaveToStream(stream);
  EXPECT_EQ(stream.Size(), 4 + 9);
  stream.SetPosition(0);
  other.LoadFromStream(stream);
  EXPECT_EQ(other.Objects(), annot.Objects());
  TStringStream damaged(std::string("\x40\0\0\0short", 9));
  EXPECT_THROW(other.LoadFromStream(damaged), EReadError);
  EXPECT_TRUE(other.IsEmpty());
  other.Assign(&annot);
  EXPECT_FALSE(other.IsEmpty());
}

}  // namespace
