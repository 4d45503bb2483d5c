// The vector stream and the layers-and-vectors stream: every kind written
// and read back, the header, old versions with their defaults, and hostile
// streams that must fail cleanly, cheaply and without touching the view.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "tests/imaging/view/vect_test_support.h"
#include "tests/peak_memory.h"

using namespace vecttest;

namespace {

class VectStreamTest : public VectTest {
protected:
  std::string Write(TImageryVect& from) {
    TMemoryStream stream;
    from.WriteVectorStream(stream);
    return Contents(stream);
  }

  // One object of every kind, each field given a value of its own.
  void FillEveryKind(TImageryVect& v) {
    TIEBitmap picture(5, 3, ie24RGB);
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 5; ++x) {
        picture.SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 60), 7});
        picture.SetAlphaPixel(x, y, static_cast<uint8_t>(x * 50 + y));
      }
    for (uint8_t kind = ievkLine; kind <= ievkLineLabel; ++kind) {
      v.SetObjKind(IEV_TEMPLATE, kind);
      v.SetObjRect(IEV_TEMPLATE, RECT{kind, kind * 2, 40 + kind, 30 - kind});
      const int32_t h = v.AddNewObject();
      TIEVObject& o = v.ObjectRecordOf(h);
      o.KeepAspect = true, o.BlendOperation = kind, o.LayerIndex = kind % 3;
      o.SoftShadow = TIEVSoftShadow{true, 2.5, -kind, kind, 70, TRGB{1, 2, 3}};
      o.Name = "obj" + std::to_string(kind) + "\xC3\xA9";
      o.Tag = 1000 + kind, o.PenColor = 0x102030 + kind, o.PenStyle = psDash, o.PenWidth = kind;
      o.BrushColor = 0x405060, o.BrushStyle = bsSolid, o.Style = 0x1F, o.Transparency = 200 - kind;
      o.BoxHighlight = kind == ievkBox, o.FontQuality = 4, o.TextEditable = kind % 2 == 0;
      v.SetObjUserData(h, std::malloc(3));
      std::memcpy(o.UserData, "abc", 3);
      v.SetObjUserDataLength(h, 3);
      o.LabelBrushColor = 0x0A0B0C, o.LabelBrushStyle = bsCross, o.LabelAtEnd = 0, o.LabelBorder = ilbEllipse;
      o.BeginShape = ileTriangleIn, o.EndShape = ileTriangleOut, o.ShapeWidth = 7, o.ShapeHeight = 9;
      o.ArcStart = 0.5, o.ArcEnd = 2.25;
      if (kind == ievkBitmap || kind == ievkMemo) v.SetObjBitmap(h, &picture);
      o.BitmapBorder = true;
      o.TextAlign = 2, o.TextAutoSize = true, o.TextFlipAlign = true;
      if (o.Text) v.SetObjText(h, u"\u00E9\u00DF\u4E2D\U0001F600");
      if (kind == ievkText || kind == ievkLineLabel) {
        o.CurvePoints = {TIEVDoublePoint{0.1, 0.2}, TIEVDoublePoint{0.9, 0.8}};
        o.CurveCharAngle = 450;
      }
      if (kind == ievkMemo) {
        v.SetObjText(h, u"ab");
        o.MemoFormats.resize(2);
        o.MemoFormats[1][4] = 5, o.MemoFormats[1][260] = 12;
        o.MemoCharFormats = {0, 1};
        o.MemoHasBitmap = true, o.MemoUniformFormat = false, o.MemoLineSpacing = 3, o.MemoBorderColor = 0x777777;
        o.MemoBorderStyle = psDot, o.MemoLineHeight = 14, o.MemoMargins = {1.5, 2.5, 3.5, 4.5};
        o.MemoTextBrushStyle = bsClear;
      }
      if (kind == ievkRuler) o.RulerUnit = ieuMILLIMETERS, o.RulerType = 1;
      if (kind == ievkPolyline) {
        v.SetObjPolylinePoints(h, {POINT{3, 4}, POINT{20, 9}, POINT{8, 25}});
        o.PolyClosed = true;
      }
      if (kind == ievkAngle) o.AnglePoints = {POINT{1, 2}, POINT{3, 4}, POINT{5, 6}};
      if (o.LogFont) {
        v.SetObjFontHeight(h, -17);
        v.SetObjFontStyles(h, 5);
      }
    }
  }

  static void ExpectSame(TImageryVect& a, int32_t ha, TImageryVect& b, int32_t hb) {
    const TIEVObject& x = a.ObjectRecordOf(ha);
    const TIEVObject& y = b.ObjectRecordOf(hb);
    SCOPED_TRACE("kind " + std::to_string(x.Kind));
    EXPECT_EQ(std::tie(x.X1, x.Y1, x.X2, x.Y2, x.Kind, x.KeepAspect, x.BlendOperation, x.LayerIndex),
              std::tie(y.X1, y.Y1, y.X2, y.Y2, y.Kind, y.KeepAspect, y.BlendOperation, y.LayerIndex));
    EXPECT_EQ(std::tie(x.SoftShadow.Enabled, x.SoftShadow.Radius, x.SoftShadow.OffsetX, x.SoftShadow.OffsetY,
                       x.SoftShadow.Intensity, x.SoftShadow.Color.r, x.SoftShadow.Color.g, x.SoftShadow.Color.b),
              std::tie(y.SoftShadow.Enabled, y.SoftShadow.Radius, y.SoftShadow.OffsetX, y.SoftShadow.OffsetY,
                       y.SoftShadow.Intensity, y.SoftShadow.Color.r, y.SoftShadow.Color.g, y.SoftShadow.Color.b));
    EXPECT_EQ(x.Name, y.Name);
    EXPECT_EQ(std::tie(x.Tag, x.PenColor, x.PenStyle, x.PenWidth, x.BrushColor, x.BrushStyle, x.Style, x.Transparency,
                       x.BoxHighlight, x.FontQuality, x.TextEditable),
              std::tie(y.Tag, y.PenColor, y.PenStyle, y.PenWidth, y.BrushColor, y.BrushStyle, y.Style, y.Transparency,
                       y.BoxHighlight, y.FontQuality, y.TextEditable));
    ASSERT_EQ(x.UserDataLen, y.UserDataLen);
    EXPECT_EQ(std::memcmp(x.UserData, y.UserData, 3), 0);
    const uint8_t k = x.Kind;
    if (k == ievkLineLabel) {
      EXPECT_EQ(std::tie(x.LabelBrushColor, x.LabelBrushStyle, x.LabelAtEnd, x.LabelBorder),
                std::tie(y.LabelBrushColor, y.LabelBrushStyle, y.LabelAtEnd, y.LabelBorder));
    }
    if (k == ievkLine || k == ievkLineLabel) {
      EXPECT_EQ(std::tie(x.BeginShape, x.EndShape, x.ShapeWidth, x.ShapeHeight),
                std::tie(y.BeginShape, y.EndShape, y.ShapeWidth, y.ShapeHeight));
    }
    if (k == ievkArc) {
      EXPECT_EQ(std::tie(x.ArcStart, x.ArcEnd), std::tie(y.ArcStart, y.ArcEnd));
    }
    if (k == ievkBitmap || k == ievkMemo) {
      EXPECT_EQ(x.BitmapBorder, y.BitmapBorder);
      ASSERT_GE(y.BitmapIndex, 0);
      TIEBitmap& bx = *a.BitmapPool()[x.BitmapIndex].Bitmap;
      TIEBitmap& by = *b.BitmapPool()[y.BitmapIndex].Bitmap;
      EXPECT_EQ(bx.GetWidth(), by.GetWidth());
      EXPECT_EQ(bx.GetHeight(), by.GetHeight());
      EXPECT_EQ(bx.GetPixel24(4, 2).r, by.GetPixel24(4, 2).r);
      EXPECT_EQ(bx.GetAlphaPixel(4, 2), by.GetAlphaPixel(4, 2));
    }
    EXPECT_EQ(x.Text, y.Text);
    EXPECT_EQ(x.LogFont != nullptr, y.LogFont != nullptr);
    if (x.LogFont && y.LogFont) {
      EXPECT_EQ(std::memcmp(x.LogFont.get(), y.LogFont.get(), sizeof(LOGFONTW)), 0);
    }
    if (k == ievkText || k == ievkLineLabel) {
      EXPECT_EQ(std::tie(x.TextAlign, x.TextAutoSize, x.TextFlipAlign, x.CurveCharAngle),
                std::tie(y.TextAlign, y.TextAutoSize, y.TextFlipAlign, y.CurveCharAngle));
      ASSERT_EQ(y.CurvePoints.size(), 2u);
      EXPECT_EQ(x.CurvePoints[1].Y, y.CurvePoints[1].Y);
    }
    if (k == ievkMemo) {
      EXPECT_EQ(x.MemoCharFormats, y.MemoCharFormats);
      EXPECT_EQ(x.MemoFormats, y.MemoFormats);
      EXPECT_EQ(std::tie(x.MemoUniformFormat, x.TextAutoSize, x.MemoLineSpacing, x.MemoBorderColor, x.MemoBorderStyle,
                         x.TextAlign, x.MemoLineHeight, x.MemoHasBitmap, x.MemoMargins, x.MemoTextBrushStyle),
                std::tie(y.MemoUniformFormat, y.TextAutoSize, y.MemoLineSpacing, y.MemoBorderColor, y.MemoBorderStyle,
                         y.TextAlign, y.MemoLineHeight, y.MemoHasBitmap, y.MemoMargins, y.MemoTextBrushStyle));
    }
    if (k == ievkRuler) {
      EXPECT_EQ(std::tie(x.RulerUnit, x.RulerType), std::tie(y.RulerUnit, y.RulerType));
    }
    if (k == ievkPolyline) {
      ASSERT_EQ(x.PolyPoints.size(), y.PolyPoints.size());
      EXPECT_EQ(x.PolyPoints[2].y, y.PolyPoints[2].y);
      EXPECT_EQ(std::tie(x.PolyBounds.left, x.PolyBounds.bottom, x.PolyClosed),
                std::tie(y.PolyBounds.left, y.PolyBounds.bottom, y.PolyClosed));
    }
    if (k == ievkAngle) {
      EXPECT_EQ(x.AnglePoints[2].y, y.AnglePoints[2].y);
    }
  }
};

}  // namespace

TEST_F(VectStreamTest, EveryKindRoundTripsFieldByField) {
  FillEveryKind(*view);
  view->ScaleFactor = 0.25;
  const std::string bytes = Write(*view);
  KeepSeed("fuzz_vectorstream", bytes);
  ASSERT_EQ(bytes.substr(0, 4), "IEVU");
  int32_t length;
  std::memcpy(&length, bytes.data() + 4, 4);
  EXPECT_EQ(length, static_cast<int32_t>(bytes.size()));

  TImageryVect other(nullptr);
  TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(other.ReadVectorStream(stream));
  EXPECT_EQ(stream.Position(), stream.Size());
  EXPECT_EQ(other.ScaleFactor, 0.25);
  ASSERT_EQ(other.ObjectsCount(), view->ObjectsCount());
  for (int32_t i = 0; i < view->ObjectsCount(); ++i)
    ExpectSame(*view, view->GetObjFromDrawOrder(i), other, other.GetObjFromDrawOrder(i));
  // Bitmap and memo share one picture: one entry used twice, besides the template's.
  const int32_t shared = other.ObjectRecordOf(other.GetObjFromDrawOrder(ievkBitmap - 1)).BitmapIndex;
  EXPECT_EQ(other.BitmapPool()[shared].UseCount, 2);
  // Appending keeps what is there.
  TIEMemStream again(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(other.ReadVectorStream(again, true));
  EXPECT_EQ(other.ObjectsCount(), 2 * view->ObjectsCount());
}

TEST_F(VectStreamTest, EmptyViewAndSingleHandleStreams) {
  std::string bytes = Write(*view);
  int32_t pool;
  std::memcpy(&pool, bytes.data() + 16, 4);
  EXPECT_EQ(pool, 1);  // the template's picture, with no uses to store
  int32_t uses;
  std::memcpy(&uses, bytes.data() + 20, 4);
  EXPECT_EQ(uses, 0);
  FillEveryKind(*view);
  TMemoryStream one;
  view->WriteVectorStream(one, 3);
  TImageryVect other(nullptr);
  one.SetPosition(0);
  ASSERT_TRUE(other.ReadVectorStream(one));
  ASSERT_EQ(other.ObjectsCount(), 1);
  ExpectSame(*view, 3, other, other.GetObjFromDrawOrder(0));
}

TEST_F(VectStreamTest, ForeignVersionsAreRefusedWithoutChange) {
  FillEveryKind(*view);
  const int32_t count = view->ObjectsCount();
  for (char version : {'0', 'V', '\xFF'}) {
    std::string bytes = VectorStream(Bytes().i32(0).s);
    bytes[3] = version;
    EXPECT_FALSE(Read(bytes)) << version;
    TIEMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    EXPECT_FALSE(IEIsVectorStream(s));
  }
  EXPECT_EQ(view->ObjectsCount(), count);
}

// Old streams built field by field as their version wrote them, read with
// the defaults of the fields they lack.
TEST_F(VectStreamTest, OlderVersionsReadWithTheirDefaults) {
  // "1": an int32 scale and a BMP in the pool.
  {
    TIEBitmap picture(3, 2, ie24RGB);
    picture.Fill(0x00FF00);
    TMemoryStream bmp;
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&picture));
    io->SaveToStream(bmp, 5);
    Bytes record = RecordHead('1', ievkBitmap);
    record.i32(0);
    const std::string pool = Bytes().i32(1).i32(1).raw(Contents(bmp)).s;
    ASSERT_TRUE(Read(VectorStream(Bytes().i32(1).raw(record.s).s, '1', pool, 3)));
    EXPECT_EQ(view->ScaleFactor, 3.0);
    const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
    EXPECT_EQ(o.Transparency, 255);
    EXPECT_FALSE(o.SoftShadow.Enabled);
    EXPECT_EQ(o.SoftShadow.OffsetX, 2);
    EXPECT_TRUE(o.TextEditable);
    EXPECT_EQ(view->BitmapPool()[o.BitmapIndex].Bitmap->GetPixel24(2, 1).g, 255);
  }
  // "7" to "<": the alpha block after the PNG, rows from the last.
  {
    TIEBitmap picture(4, 2, ie24RGB);
    picture.Fill(0);
    TMemoryStream png;
    IEWriteLayerImage(png, picture, 8);
    const std::string alpha = Deflate("\x10\x11\x12\x13\x20\x21\x22\x23");
    Bytes record = RecordHead(';', ievkBitmap);
    record.i32(0);
    const std::string pool = Bytes().i32(1).i32(1).raw(Contents(png)).i32(static_cast<int32_t>(alpha.size())).raw(alpha).s;
    ASSERT_TRUE(Read(VectorStream(Bytes().i32(1).raw(record.s).s, ';', pool)));
    const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
    TIEBitmap& b = *view->BitmapPool()[o.BitmapIndex].Bitmap;
    EXPECT_EQ(b.GetAlphaPixel(0, 1), 0x10);
    EXPECT_EQ(b.GetAlphaPixel(3, 0), 0x23);
  }
  // Before "A": a ruler takes the template's font at 12, face "Arial"; 8-bit names are Windows-1252.
  {
    Bytes record = RecordHead('9', ievkRuler);
    record.u8(ieuINCHES).u8(0);
    ASSERT_TRUE(Read(VectorStream(Bytes().i32(1).raw(record.s).s, '9')));
    const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
    ASSERT_TRUE(o.LogFont);
    EXPECT_EQ(o.LogFont->lfHeight, 12);
    EXPECT_EQ(std::u16string(o.LogFont->lfFaceName), u"Arial");
    EXPECT_EQ(o.RulerUnit, ieuINCHES);
  }
  // Before "C" (and "H"): a memo's per-character formats are always there, no margins.
  {
    Bytes record = RecordHead('B', ievkMemo);
    record.i32(2).raw("\xE9x").u8(0);                    // 8-bit text, no font
    record.i32(1).i32(0);                                // the formats of both characters
    record.i32(2).zeros(2 * IEVMemoFormatSize);          // two formats
    record.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0); // uniform .. line height
    ASSERT_TRUE(Read(VectorStream(Bytes().i32(1).raw(record.s).s, 'B')));
    const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
    EXPECT_EQ(*o.Text, u"\u00E9x");
    EXPECT_EQ(o.MemoCharFormats, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(o.MemoMargins[0], 0.0);
    EXPECT_EQ(o.MemoTextBrushStyle, 0);
  }
  // Before "U": a text object's characters and LOGFONTA face are Windows-1252.
  {
    Bytes record = RecordHead('T', ievkText);
    record.u8(1).u8(0).i32(3).raw("a\x80\xDF");
    LOGFONTA font;
    font.lfHeight = -20;
    std::memcpy(font.lfFaceName, "Caf\xE9", 4);
    record.u8(1).raw(std::string(reinterpret_cast<const char*>(&font), sizeof font));
    record.i32(0).u8(0).u8(1);  // no curve, flip, editable
    ASSERT_TRUE(Read(VectorStream(Bytes().i32(1).raw(record.s).s, 'T')));
    const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
    EXPECT_EQ(*o.Text, u"a\u20AC\u00DF");
    EXPECT_EQ(std::u16string(o.LogFont->lfFaceName), u"Caf\u00E9");
    EXPECT_EQ(o.LogFont->lfHeight, -20);
    EXPECT_EQ(o.CurveCharAngle, -10);
  }
}

// ---- hostile streams ------------------------------------------------------------------------

namespace {

// A face name that fills all 32 characters, and a font of the given height.
std::string WideFont(int32_t height, bool terminated) {
  LOGFONTW font;
  font.lfHeight = height;
  for (int32_t i = 0; i < LF_FACESIZE - (terminated ? 1 : 0); ++i) font.lfFaceName[i] = u'F';
  return Bytes().u8(1).raw(std::string(reinterpret_cast<const char*>(&font), sizeof font)).s;
}

std::string TextRecord(const std::string& textField, const std::string& font, const std::string& curve) {
  return RecordHead('U', ievkText).u8(0).u8(0).raw(textField).raw(font).raw(curve).u8(0).u8(1).s;
}

std::string MemoRecord(int32_t textChars, const std::string& formatsPart) {
  Bytes b = RecordHead('U', ievkMemo);
  b.i32(textChars);
  for (int32_t i = 0; i < textChars; ++i) b.put<char16_t>(u'm');
  b.u8(0).u8(0).raw(formatsPart);  // no font, no per-character formats
  b.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0).u8(0).zeros(32).u8(0).u8(1);
  return b.s;
}

std::string Group(int32_t children, const std::string& rest) {
  return RecordHead('U', ievkNone).i32(children).raw(rest).s;
}

constexpr int32_t kHuge = 0x7FFFFFFF;

struct HostileCase {
  const char* name;
  std::string stream;
};

std::vector<HostileCase> HostileStreams() {
  const std::string box = BoxRecord('U').s;
  const std::string oneBox = Bytes().i32(1).raw(box).s;
  std::string deep = box;
  for (int32_t i = 0; i < 40; ++i) deep = Group(1, deep);
  Bytes memoFormat;
  memoFormat.zeros(IEVMemoFormatSize);
  std::memcpy(memoFormat.s.data() + 260, &kHuge, 4);
  const std::string nanScale = VectorStream(oneBox, 'U', Bytes().i32(0).s, std::numeric_limits<double>::quiet_NaN());
  return {
      {"objects", VectorStream(Bytes().i32(kHuge).raw(box).s)},
      {"pool entries", VectorStream(oneBox, 'U', Bytes().i32(kHuge).i32(0).s)},
      {"name", VectorStream(Bytes().i32(1).raw(RecordHead('U', ievkBox).s.substr(0, 51)).i32(kHuge).s)},
      {"group children", VectorStream(Bytes().i32(1).raw(Group(kHuge, box)).s)},
      {"group depth", VectorStream(Bytes().i32(1).raw(deep).s)},
      {"text characters", VectorStream(Bytes().i32(1).raw(TextRecord(Bytes().i32(kHuge).s, WideFont(-12, true), Bytes().i32(0).s)).s)},
      {"curve points", VectorStream(Bytes().i32(1).raw(TextRecord(Bytes().i32(0).s, WideFont(-12, true), Bytes().i32(kHuge).s)).s)},
      {"font height", VectorStream(Bytes().i32(1).raw(TextRecord(Bytes().i32(0).s, WideFont(INT32_MIN, true), Bytes().i32(0).s)).s)},
      {"memo formats", VectorStream(Bytes().i32(1).raw(MemoRecord(0, Bytes().i32(kHuge).s)).s)},
      {"memo format font height", VectorStream(Bytes().i32(1).raw(MemoRecord(0, Bytes().i32(1).raw(memoFormat.s).s)).s)},
      {"memo character format past the table", [] {
         Bytes b = RecordHead('U', ievkMemo);
         b.i32(1).put<char16_t>(u'm').u8(0).u8(1).i32(1).i32(1).zeros(IEVMemoFormatSize);
         b.u8(1).u8(0).i32(0).i32(0).u8(0).u8(0).i32(0).u8(0).zeros(32).u8(0).u8(1);
         return VectorStream(Bytes().i32(1).raw(b.s).s);
       }()},
      {"polyline points", VectorStream(Bytes().i32(1).raw(RecordHead('U', ievkPolyline).u8(1).i32(kHuge).s).s)},
      {"user data", [] {
         Bytes head = RecordHead('U', ievkBox);
         head.s.resize(head.s.size() - 4);
         return VectorStream(Bytes().i32(1).raw(head.i32(kHuge).s).s);
       }()},
      {"bitmap index outside the pool", VectorStream(Bytes().i32(1).raw(RecordHead('U', ievkBitmap).i32(0).u8(0).i32(0).u8(1).s).s)},
      {"unregistered extension class", VectorStream(Bytes().i32(1).raw(RecordHead('U', ievkExtended).u8(0).u8(0).i32(0).u8(0).i32(0).u8(0).u8(1).u8(1).i32(3).raw("Foo").s).s)},
      {"scale not finite", nanScale},
      {"truncated block", VectorStream(oneBox).substr(0, 30)},
      {"damaged block", [&] {
         std::string s = VectorStream(oneBox);
         s[s.size() - 6] ^= 0x55;
         return s;
       }()},
  };
}

}  // namespace

TEST_F(VectStreamTest, HostileStreamsFailCheaplyAndLeaveTheViewAsItWas) {
  FillEveryKind(*view);
  view->ShareBitmaps = false;
  const std::string before = Write(*view);
  const int32_t templateBitmap = view->ObjectRecordOf(IEV_TEMPLATE).BitmapIndex;
  for (const HostileCase& c : HostileStreams()) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(c.stream.size(), 1000u);
    const long kilobytes = PeakKilobytesOf([&] { EXPECT_THROW(Read(c.stream), EReadError); });
    EXPECT_LT(kilobytes, 8 * 1024);
    EXPECT_FALSE(view->ShareBitmaps);
    EXPECT_EQ(view->ObjectRecordOf(IEV_TEMPLATE).BitmapIndex, templateBitmap);
    EXPECT_TRUE(Write(*view) == before);
  }
}

TEST_F(VectStreamTest, FaceNamesWithoutTerminatorAreCutAt31) {
  ASSERT_TRUE(Read(VectorStream(
      Bytes().i32(1).raw(TextRecord(Bytes().i32(0).s, WideFont(-12, false), Bytes().i32(0).s)).s)));
  const TIEVObject& o = view->ObjectRecordOf(view->GetObjFromDrawOrder(0));
  EXPECT_EQ(std::u16string(o.LogFont->lfFaceName), std::u16string(31, u'F'));
}

TEST_F(VectStreamTest, GroupsGiveTheirChildrenAndKindZeroRoundTrips) {
  const std::string box = BoxRecord('U').s;
  ASSERT_TRUE(Read(VectorStream(Bytes().i32(2).raw(Group(2, box + box)).raw(box).s)));
  EXPECT_EQ(view->ObjectsCount(), 3);
  view->SetObjKind(0, ievkNone);
  TImageryVect other(nullptr);
  const std::string bytes = Write(*view);
  TIEMemStream stream(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(other.ReadVectorStream(stream));
  EXPECT_EQ(other.ObjectsCount(), 2);  // an empty group gives nothing
}

// ---- layers and vectors -----------------------------------------------------------------------

TEST_F(VectStreamTest, LayersAndVectorsRoundTripAndTheirTestNeverRaises) {
  layertest::FillPattern(*view->GetIEBitmap(), 12, 9, 3, false);
  view->AddLayer(5, 4, ie24RGB, 2, 3);
  FillEveryKind(*view);
  TMemoryStream stream;
  view->WriteLayersAndVectors(stream, -1);
  const std::string bytes = Contents(stream);
  KeepSeed("fuzz_layersvectors", bytes);
  {
    TIEMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    EXPECT_TRUE(IEIsLayersAndVectorsStream(s));
    EXPECT_EQ(s.Position(), 0);
  }
  TImageryVect other(nullptr);
  other.SetLegacyBitmap(false);
  TIEMemStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
  ASSERT_TRUE(other.ReadLayersAndVectors(s));
  EXPECT_EQ(other.GetLayerCount(), 2);
  EXPECT_EQ(other.GetLayer(1)->PosX, 2);
  EXPECT_EQ(other.ObjectsCount(), view->ObjectsCount());

  // Offsets outside the stream, short and foreign data: false, never a raise.
  for (int32_t offset : {-1, INT32_MIN, INT32_MAX, static_cast<int32_t>(bytes.size())}) {
    std::string changed = bytes;
    std::memcpy(changed.data(), &offset, 4);
    TIEMemStream c(changed.data(), static_cast<int64_t>(changed.size()));
    EXPECT_FALSE(IEIsLayersAndVectorsStream(c)) << offset;
  }
  for (size_t length : {size_t{0}, size_t{3}, size_t{20}}) {
    TIEMemStream c(bytes.data(), static_cast<int64_t>(length));
    EXPECT_FALSE(IEIsLayersAndVectorsStream(c));
  }
  // Damaged objects leave the layers too.
  std::string damaged = bytes;
  damaged.resize(damaged.size() - 10);
  const int32_t layers = other.GetLayerCount();
  other.RemoveLayer(1);
  TIEMemStream d(damaged.data(), static_cast<int64_t>(damaged.size()));
  EXPECT_THROW(other.ReadLayersAndVectors(d), Exception);
  EXPECT_EQ(other.GetLayerCount(), layers - 1);
}
