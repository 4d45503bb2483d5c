// The metafile player on small metafiles built record by record: state,
// clipping, mapping and text of enhanced metafiles, the two kinds of
// Windows metafile, and damaged records that must fail cleanly.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/metafile.h"
#include "tests/platform/win/gdi_test_canvas.h"
#include "tests/platform/win/metafile_test_records.h"

namespace {

bool Play(TestCanvas& c, const std::vector<uint8_t>& data) {
  return PlayMetafileBits(c.dc, data.data(), data.size(), RECT{0, 0, c.width, c.height});
}

struct Expect {
  int x, y;
  COLORREF color;
};

TEST(MetafilePlayer, EnhancedStateClipAndMapping) {
  const float half = 0.5f;
  uint32_t halfBits;
  std::memcpy(&halfBits, &half, 4);
  const int32_t h = static_cast<int32_t>(halfBits), one = 0x3F800000;
  struct Case {
    const char* what;
    std::function<void(Emf&)> records;
    std::vector<Expect> expect;
  };
  const Case cases[] = {
      {"a clip rectangle lasts until the state is restored",
       [](Emf& e) {
         e.Rec(33, {}).Rec(30, {0, 0, 48, 96}).Rectangle(0, 0, 96, 48).Rec(34, {-1}).Rectangle(0, 48, 96, 96);
       },
       {{20, 20, kRed}, {70, 20, kWhite}, {70, 70, kRed}}},
      {"the window and viewport extents scale",
       [](Emf& e) { e.Rec(17, {8}).Rec(9, {10, 10}).Rec(11, {96, 96}).Rectangle(5, 5, 10, 10); },
       {{30, 30, kWhite}, {70, 70, kRed}}},
      {"the world transform applies before the mapping, and a restore brings it back",
       [=](Emf& e) {
         e.Rec(33, {}).Rec(35, {h, 0, 0, h, 0, 0}).Rectangle(0, 0, 96, 96).Rec(34, {1}).Rectangle(80, 80, 96, 96);
       },
       {{20, 20, kRed}, {60, 60, kWhite}, {88, 88, kRed}}},
      {"a modified transform moves what follows",
       [=](Emf& e) { e.Rec(36, {one, 0, 0, one, 0x42400000 /* 48 */, 0, 2}).Rectangle(0, 0, 20, 20); },
       {{10, 10, kWhite}, {58, 10, kRed}}},
      {"a filled path with a hole, and a clip path",
       [](Emf& e) {
         e.Rec(59, {});
         e.Rec(27, {0, 0}).Rec(54, {96, 0}).Rec(54, {96, 96}).Rec(54, {0, 96}).Rec(61, {});
         e.Rec(27, {30, 30}).Rec(54, {60, 30}).Rec(54, {60, 60}).Rec(54, {30, 60}).Rec(61, {});
         e.Rec(60, {}).Rec(62, {0, 0, 95, 95});
       },
       {{10, 10, kRed}, {45, 45, kWhite}}},
      {"a deleted brush falls back to the one selected before",
       [](Emf& e) { e.Rec(40, {1}).Rectangle(0, 0, 96, 96); },
       {{50, 50, kRed}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestCanvas canvas(96, 96);
    Emf e;
    e.RedBrush().NoPen();
    c.records(e);
    EXPECT_TRUE(Play(canvas, e.End().b));
    for (const Expect& x : c.expect) EXPECT_EQ(canvas.At(x.x, x.y), x.color) << x.x << "," << x.y;
  }
}

std::vector<uint8_t> Utf16(const std::u16string& s) {
  Writer w;
  for (char16_t c : s) w.U16(c);
  return w.b;
}

TEST(MetafilePlayer, EnhancedTextInItsFontAndColour) {
  // A 40-pixel font, blue text over a transparent background.
  std::vector<uint8_t> face = Utf16(u"DejaVu Sans");
  face.resize(64 + 92 - 28, 0);  // face name field and the rest of the font record
  Emf e;
  e.Rec(82, {1, -40, 0, 0, 0, 400, 0}, face).Rec(37, {1});
  e.Rec(24, {static_cast<int32_t>(kBlue)}).Rec(18, {TRANSPARENT}).Rec(22, {TA_TOP});
  const std::vector<uint8_t> text = Utf16(u"Hi");
  // bounds, mode, scales, reference, count, string offset, options, rectangle, advances offset
  e.Rec(84, {0, 0, 0, 0, 1, 0, 0, 10, 10, 2, 76, 0, 0, 0, 0, 0, 80}, {text[0], text[1], text[2], text[3], 30, 0, 0,
                                                                      0, 30, 0, 0, 0});
  TestCanvas c(96, 96);
  EXPECT_TRUE(Play(c, e.End().b));
  EXPECT_GT(c.Count(kBlue), 40);
  for (int y = 0; y < 96; ++y)
    for (int x = 0; x < 96; ++x)
      if (c.At(x, y) != kWhite) {
        EXPECT_TRUE(x >= 10 && y >= 10 && y < 60) << x << "," << y;
      }
}

// A Windows metafile: optional placeable header with its box, the header,
// then records of 16-bit parameters.
struct Wmf : Writer {
  explicit Wmf(int16_t box = 0, uint16_t objects = 2) {
    if (box) {
      U32(0x9AC6CDD7u);
      for (uint32_t v : {0u, 0u, 0u, uint32_t(box), uint32_t(box), 96u, 0u, 0u, 0u}) U16(v);
    }
    for (uint32_t v : {1u, 9u, 0x300u, 0u, 0u, uint32_t{objects}, 0u, 0u, 0u}) U16(v);
  }
  Wmf& Rec(uint16_t fn, std::vector<int32_t> words) {
    U32(static_cast<uint32_t>(3 + words.size()));
    U16(fn);
    for (int32_t w : words) U16(static_cast<uint32_t>(w));
    return *this;
  }
  Wmf& End() { return Rec(0, {}); }
  Wmf& RedBrush() { return Rec(0x02FC, {0, 0xFF, 0, 0}).Rec(0x012D, {0}); }
};

TEST(MetafilePlayer, WindowsMetafilesPlainAndPlaceable) {
  // Plain: logical units are pixels. Placeable: the 48-unit box fills the target.
  TestCanvas plain(96, 96);
  Wmf w;
  w.RedBrush().Rec(0x2FA, {PS_NULL, 0, 0, 0, 0}).Rec(0x012D, {1}).Rec(0x041B, {40, 40, 0, 0});
  EXPECT_TRUE(Play(plain, w.End().b));
  EXPECT_EQ(plain.At(20, 20), kRed);
  EXPECT_EQ(plain.At(60, 60), kWhite);

  TestCanvas placed(96, 96);
  Wmf p(48);
  p.RedBrush().Rec(0x2FA, {PS_NULL, 0, 0, 0, 0}).Rec(0x012D, {1}).Rec(0x041B, {40, 40, 0, 0});
  // A polygon with a hole punched by the second ring.
  p.Rec(0x0538, {2, 4, 4, 0, 44, 48, 44, 48, 48, 0, 48, 2, 46, 6, 46, 6, 47, 2, 47});
  EXPECT_TRUE(Play(placed, p.End().b));
  EXPECT_EQ(placed.At(60, 60), kRed);
  EXPECT_EQ(placed.At(84, 60), kWhite);
  EXPECT_EQ(placed.At(40, 92), kRed);
  EXPECT_EQ(placed.At(8, 93), kWhite);
}

TEST(MetafilePlayer, DamagedRecordsFailCleanly) {
  const std::vector<uint8_t> pixels(16, 0x80);  // a grey 2 x 2, 24-bit picture
  auto dib = [&](int32_t height, size_t bitBytes) {
    Writer w;
    for (uint32_t v : {40u, 2u, uint32_t(height)}) w.U32(v);
    w.U16(1);
    w.U16(24);
    for (int i = 0; i < 6; ++i) w.U32(0);
    w.b.insert(w.b.end(), pixels.begin(), pixels.begin() + static_cast<ptrdiff_t>(std::min(bitBytes, pixels.size())));
    w.b.resize(40 + bitBytes, 0);
    return w.b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> data;
  };
  auto emf = [](const std::function<void(Emf&)>& f, bool end = true) {
    Emf e;
    e.RedBrush();
    f(e);
    if (end) e.End();
    return e.b;
  };
  std::vector<uint8_t> beyond = emf([](Emf& e) { e.Rectangle(0, 0, 9, 9); });
  beyond[108 + 4] = 0xF0;  // the first record claims more bytes than the file has
  std::vector<uint8_t> tiny = emf([](Emf&) {});
  tiny[108 + 4] = 4;
  std::vector<uint8_t> header = emf([](Emf&) {});
  header[4] = 0xFF;
  header[5] = 0x7F;
  const Case cases[] = {
      {"record beyond the file", beyond},
      {"record shorter than its own head", tiny},
      {"header beyond the file", header},
      {"no end record", emf([](Emf& e) { e.Rectangle(0, 0, 9, 9); }, false)},
      {"more points than the record holds", emf([](Emf& e) { e.Rec(86, {0, 0, 9, 9, 1000, 0, 0x00090009}); })},
      {"polygon counts beyond the points",
       emf([](Emf& e) { e.Rec(91, {0, 0, 9, 9, 2, 3, 3, 3, 0, 0x00090009, 0x00000009}); })},
      {"polygon count beyond the record", emf([](Emf& e) { e.Rec(91, {0, 0, 9, 9, 0x40000000, 0}); })},
      {"object index beyond the table", emf([](Emf& e) { e.Rec(37, {7}); })},
      {"object made at index 0", emf([](Emf& e) { e.Rec(39, {0, 0, 0, 0}); })},
      {"deleting beyond the table", emf([](Emf& e) { e.Rec(40, {99}); })},
      {"text longer than its record",
       emf([](Emf& e) { e.Rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 5000, 76, 0, 0, 0, 0, 0, 0}); })},
      {"advances beyond the record",
       emf([](Emf& e) { e.Rec(84, {0, 0, 0, 0, 1, 0, 0, 0, 0, 2, 76, 0, 0, 0, 0, 0, 78, 0x00480048}); })},
      {"picture bits beyond the record",
       emf([&](Emf& e) {
         std::vector<uint8_t> d = dib(2, 16);
         e.Rec(81, {0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 80, 40, 120, 1000, 0, static_cast<int32_t>(SRCCOPY), 9, 9}, d);
       })},
      {"clip rectangles beyond the record", emf([](Emf& e) { e.Rec(75, {48, RGN_COPY, 32, 1, 0x10000, 0}); })},
      {"Windows metafile record beyond the file",
       [] {
         Wmf w;
         w.Rec(0x041B, {40, 40, 0, 0});
         w.b[18] = 0xFF;
         return w.End().b;
       }()},
      {"Windows metafile polygon beyond its record", Wmf().Rec(0x0324, {500, 1, 2}).End().b},
      {"Windows metafile object index beyond the table", Wmf().Rec(0x012D, {5}).End().b},
      {"Windows metafile table full", Wmf(0, 1).RedBrush().Rec(0x02FC, {0, 0, 0, 0}).End().b},
      {"Windows metafile text beyond its record", Wmf().Rec(0x0A32, {0, 0, 300, 0, 0x4142}).End().b},
      {"Windows metafile without end record", Wmf().RedBrush().b},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestCanvas canvas(32, 32);
    EXPECT_FALSE(Play(canvas, c.data));
  }
  // A picture whose header claims more rows than its bits hold is left out,
  // and the play goes on; a sound one is drawn.
  for (auto [height, color] : {std::pair{100, kRed}, {2, RGB(0x80, 0x80, 0x80)}}) {
    TestCanvas canvas(32, 32);
    std::vector<uint8_t> d = dib(height, 16);
    Emf e;
    e.RedBrush().NoPen().Rectangle(0, 0, 32, 32);
    e.Rec(81, {0, 0, 9, 9, 0, 0, 0, 0, 2, 2, 80, 40, 120, 16, 0, static_cast<int32_t>(SRCCOPY), 20, 20}, d);
    EXPECT_TRUE(Play(canvas, e.End().b));
    EXPECT_EQ(canvas.At(3, 3), color) << height;  // the 96-unit frame fills 32 pixels
  }
}

}  // namespace
