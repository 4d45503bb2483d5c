// The drawing canvas: the counted binding of gdiplus.dll, the choice between
// GDI+ and GDI, and what each draws, read back from the pixels of a 24-bit
// framework bitmap.
#include "imaging/core/iegdiplus.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "platform/rtl/dynlib.h"

namespace {

// ---- helpers ------------------------------------------------------------------------------

struct Rgb {
  int r, g, b;
  bool operator==(const Rgb&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
  return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr int kSize = 40;

TColor ToColor(Rgb c) { return static_cast<TColor>(RGB(c.r, c.g, c.b)); }

// A white 40 x 40 pf24bit bitmap.
std::unique_ptr<TBitmap> WhiteBitmap() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf24bit);
  bitmap->SetSize(kSize, kSize);
  bitmap->Canvas()->Brush()->SetColor(clWhite);
  bitmap->Canvas()->FillRect(RECT{0, 0, kSize, kSize});
  return bitmap;
}

// Read from the rows, whatever the DC's mapping.
Rgb Pixel(TBitmap& bitmap, int x, int y) {
  const uint8_t* p = static_cast<uint8_t*>(bitmap.ScanLine(y)) + x * 3;
  return {p[2], p[1], p[0]};
}

bool Near(Rgb a, Rgb b, int tolerance = 2) {
  return std::abs(a.r - b.r) <= tolerance && std::abs(a.g - b.g) <= tolerance && std::abs(a.b - b.b) <= tolerance;
}

// The colour over white at alpha (0..255).
Rgb OverWhite(Rgb c, int alpha) {
  auto mix = [alpha](int v) { return (v * alpha + 255 * (255 - alpha) + 127) / 255; };
  return {mix(c.r), mix(c.g), mix(c.b)};
}

// Pixels that are neither of the two colours: the soft edges of anti-aliasing.
int MixedPixels(TBitmap& bitmap, Rgb a, Rgb b) {
  int n = 0;
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x)
      if (Rgb c = Pixel(bitmap, x, y); !(c == a) && !(c == b)) ++n;
  return n;
}

int CountOf(TBitmap& bitmap, Rgb colour, RECT area) {
  int n = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x)
      if (Pixel(bitmap, x, y) == colour) ++n;
  return n;
}

// One reference for the scope.
struct GDIPlusReference {
  GDIPlusReference() { IEGDIPlusLoad(); }
  ~GDIPlusReference() { IEGDIPlusUnload(); }
  GDIPlusReference(const GDIPlusReference&) = delete;
  GDIPlusReference& operator=(const GDIPlusReference&) = delete;
};

// Stand-ins for entry points of gdiplus.dll.
int standInShutdowns = 0;
GpStatus FailingStartup(ULONG_PTR*, const GdiplusStartupInput*, GdiplusStartupOutput*) {
  return Gdiplus::GenericError;
}
void CountingShutdown(ULONG_PTR token) {
  ++standInShutdowns;
  GdiplusShutdown(token);
}
GpStatus FailingCreateFromHDC(HDC, GpGraphics** graphics) {
  *graphics = nullptr;
  return Gdiplus::OutOfMemory;
}
GpStatus FailingCreatePen1(ARGB, REAL, int, GpPen** pen) {
  *pen = nullptr;
  return Gdiplus::OutOfMemory;
}
GpStatus FailingCreateSolidFill(ARGB, GpSolidFill** brush) {
  *brush = nullptr;
  return Gdiplus::OutOfMemory;
}
GpStatus FailingCreateHatchBrush(int, ARGB, ARGB, GpHatch** brush) {
  *brush = nullptr;
  return Gdiplus::OutOfMemory;
}

template <class F>
void* Address(F* function) {
  return reinterpret_cast<void*>(function);
}

// gdiplus.dll with some entries replaced (null: removed) for the scope.
class StandInLibrary {
public:
  explicit StandInLibrary(const std::vector<std::pair<std::string, void*>>& changes) {
    TLibraryExports exports;
    for (auto& entry : GdiplusExports()) {
      bool changed = false;
      for (auto& [name, address] : changes)
        if (entry.first == name) {
          changed = true;
          if (address) exports.emplace_back(name, address);
        }
      if (!changed) exports.push_back(entry);
    }
    RegisterBuiltinLibrary("gdiplus.dll", exports);
  }
  ~StandInLibrary() { RegisterBuiltinLibrary("gdiplus.dll", GdiplusExports()); }
  StandInLibrary(const StandInLibrary&) = delete;
  StandInLibrary& operator=(const StandInLibrary&) = delete;
};

// Every test starts and must end with GDI+ allowed and unloaded.
class CanvasTest : public ::testing::Test {
protected:
  void SetUp() override {
    IEGetGlobalSettings()->GDIPlusAllowed = true;
    ASSERT_FALSE(IEGDIPlusLoaded());
  }
  void TearDown() override {
    IEGetGlobalSettings()->GDIPlusAllowed = true;
    EXPECT_FALSE(IEGDIPlusLoaded()) << "a test left a reference";
  }
};

// How a canvas is asked to draw.
enum class Way { GDI, GDIPlusPlain, GDIPlusSmooth };
const char* Name(Way way) {
  static const char* const names[] = {"GDI", "GDI+ plain", "GDI+ anti-aliased"};
  return names[static_cast<int>(way)];
}
constexpr Way kWays[] = {Way::GDI, Way::GDIPlusPlain, Way::GDIPlusSmooth};

// A canvas on the bitmap drawing the given way (GDI+ must be loaded for the GDI+ ways).
std::unique_ptr<TIECanvas> CanvasOn(TBitmap& bitmap, Way way) {
  auto canvas = std::make_unique<TIECanvas>(bitmap.Canvas(), way == Way::GDIPlusSmooth, way != Way::GDI);
  EXPECT_EQ(canvas->UseGDIPlus(), way != Way::GDI) << Name(way);
  return canvas;
}

// ---- binding --------------------------------------------------------------------------------

TEST_F(CanvasTest, LoadsAreCountedAndTheLastUnloadShutsGDIPlusDown) {
  IEGDIPlusLoad();
  IEGDIPlusLoad();
  EXPECT_TRUE(IEGDIPlusLoaded());
  EXPECT_TRUE(IEGDIPlusEnabled());
  IEGDIPlusUnload();
  EXPECT_TRUE(IEGDIPlusLoaded()) << "one reference is still held";
  IEGDIPlusUnload();
  EXPECT_FALSE(IEGDIPlusLoaded());
  EXPECT_FALSE(IEGDIPlusEnabled());
}

TEST_F(CanvasTest, WhileDisallowedALoadOnlyCounts) {
  auto bitmap = WhiteBitmap();
  IEGetGlobalSettings()->GDIPlusAllowed = false;
  IEGDIPlusLoad();
  EXPECT_FALSE(IEGDIPlusLoaded());
  EXPECT_FALSE(IEGDIPlusEnabled());
  EXPECT_FALSE(TIECanvas(bitmap->Canvas(), true, true).UseGDIPlus());

  IEGetGlobalSettings()->GDIPlusAllowed = true;
  IEGDIPlusLoad();
  EXPECT_TRUE(IEGDIPlusEnabled());
  IEGetGlobalSettings()->GDIPlusAllowed = false;
  EXPECT_TRUE(IEGDIPlusLoaded());
  EXPECT_FALSE(IEGDIPlusEnabled()) << "the setting is asked every time";
  EXPECT_FALSE(TIECanvas(bitmap->Canvas(), true, true).UseGDIPlus());
  IEGetGlobalSettings()->GDIPlusAllowed = true;

  IEGDIPlusUnload();
  EXPECT_TRUE(IEGDIPlusLoaded()) << "the load made while disallowed still holds a reference";
  IEGDIPlusUnload();
  EXPECT_FALSE(IEGDIPlusLoaded());
}

TEST_F(CanvasTest, ALibraryThatCannotServeStaysUnloadedAndKeepsTheCountBalanced) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, void*>> changes;
    bool missing;
  };
  const Case cases[] = {
      {"no gdiplus.dll", {}, true},
      {"an entry point missing", {{"GdipDrawArc", nullptr}}, false},
      {"start-up fails",
       {{"GdiplusStartup", Address(&FailingStartup)}, {"GdiplusShutdown", Address(&CountingShutdown)}},
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bitmap = WhiteBitmap();
    standInShutdowns = 0;
    {
      StandInLibrary standIn(c.changes);
      if (c.missing) UnregisterBuiltinLibrary("gdiplus.dll");
      IEGDIPlusLoad();
      EXPECT_FALSE(IEGDIPlusLoaded());
      EXPECT_EQ(standInShutdowns, 0) << "GDI+ that never started is not shut down";
      TIECanvas canvas(bitmap->Canvas(), true, true);
      EXPECT_FALSE(canvas.UseGDIPlus());
      EXPECT_EQ(canvas.Pen()->Handle(), nullptr);
      EXPECT_EQ(canvas.Brush()->Handle(), nullptr);
    }
    // The failed load's reference is the caller's until it lets it go.
    IEGDIPlusLoad();
    EXPECT_TRUE(IEGDIPlusLoaded());
    IEGDIPlusUnload();
    EXPECT_TRUE(IEGDIPlusLoaded());
    IEGDIPlusUnload();
    EXPECT_FALSE(IEGDIPlusLoaded());
  }
}

TEST_F(CanvasTest, ResetGlobalsForgetsTheLibraryAndItsCount) {
  IEGDIPlusLoad();
  IEGDIPlusLoad();
  IEGDIPlusResetGlobals();
  EXPECT_FALSE(IEGDIPlusLoaded());
  IEGDIPlusLoad();
  EXPECT_TRUE(IEGDIPlusLoaded());
  IEGDIPlusUnload();
  EXPECT_FALSE(IEGDIPlusLoaded()) << "the count started again from 0";
}

// ---- GDI+ or GDI ----------------------------------------------------------------------------

// A diagonal red line, a red line at alpha 128 and a blue fill at alpha 64:
// GDI+ smooths the diagonal only when anti-aliasing and blends both; GDI
// draws plain pixels and ignores alpha.
TEST_F(CanvasTest, DrawsThroughGDIPlusOnlyWhenAskedAllowedAndLoaded) {
  struct Case {
    const char* name;
    bool load, allowed, requested, antiAlias;
    bool gdiPlus;
  };
  const Case cases[] = {
      {"GDI+ anti-aliased", true, true, true, true, true},
      {"GDI+ plain", true, true, true, false, true},
      {"GDI+ not asked for", true, true, false, true, false},
      {"GDI+ not allowed", true, false, true, true, false},
      {"GDI+ not loaded", false, true, true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto bitmap = WhiteBitmap();
    IEGetGlobalSettings()->GDIPlusAllowed = c.allowed;
    if (c.load) IEGDIPlusLoad();
    {
      TIECanvas canvas(bitmap->Canvas(), c.antiAlias, c.requested);
      EXPECT_EQ(canvas.UseGDIPlus(), c.gdiPlus);
      EXPECT_EQ(canvas.Graphics() != nullptr, c.gdiPlus);
      canvas.Pen()->SetColor(ToColor(kRed));
      canvas.MoveTo(2, 2);
      canvas.LineTo(30, 20);
      const int mixed = MixedPixels(*bitmap, kWhite, kRed);
      EXPECT_EQ(mixed > 0, c.gdiPlus && c.antiAlias) << mixed << " mixed pixels";

      canvas.Pen()->SetAlpha(128);
      canvas.DrawLine(2, 30, 30, 30);
      EXPECT_TRUE(Near(Pixel(*bitmap, 15, 30), c.gdiPlus ? OverWhite(kRed, 128) : kRed)) << Pixel(*bitmap, 15, 30);

      canvas.Brush()->SetColor(ToColor(kBlue));
      canvas.Brush()->SetAlpha(64);
      canvas.FillRect(RECT{30, 2, 38, 10});
      EXPECT_TRUE(Near(Pixel(*bitmap, 33, 5), c.gdiPlus ? OverWhite(kBlue, 64) : kBlue)) << Pixel(*bitmap, 33, 5);
    }
    if (c.load) IEGDIPlusUnload();
    IEGetGlobalSettings()->GDIPlusAllowed = true;
  }
}

TEST_F(CanvasTest, CompositingCopyReplacesInsteadOfBlending) {
  GDIPlusReference gdiPlus;
  auto bitmap = WhiteBitmap();
  TIECanvas canvas(bitmap->Canvas(), false, true);
  canvas.Brush()->SetColor(ToColor(kBlue));
  canvas.Brush()->SetAlpha(64);
  canvas.SetCompositing(CompositingModeSourceCopy, 0);
  canvas.FillRect(RECT{2, 2, 10, 10});
  EXPECT_FALSE(Near(Pixel(*bitmap, 5, 5), OverWhite(kBlue, 64), 20)) << Pixel(*bitmap, 5, 5);
  canvas.SetCompositing(CompositingModeSourceOver, 0);
  canvas.FillRect(RECT{20, 2, 30, 10});
  EXPECT_TRUE(Near(Pixel(*bitmap, 25, 5), OverWhite(kBlue, 64))) << Pixel(*bitmap, 25, 5);
}

// ---- pens and brushes ------------------------------------------------------------------------

TEST_F(CanvasTest, PenAndBrushFollowTheFrameworkObjects) {
  TPen vclPen;
  vclPen.SetColor(clRed);
  vclPen.SetWidth(3);
  vclPen.SetStyle(psDot);
  vclPen.SetMode(pmXor);
  TIEPen pen(&vclPen);
  EXPECT_EQ(pen.Color(), clRed);
  EXPECT_EQ(pen.Width(), 3.0f);
  EXPECT_EQ(pen.Style(), psDot);
  EXPECT_EQ(pen.Mode(), pmXor);
  EXPECT_EQ(pen.Alpha(), 255u);
  pen.SetColor(clBlue);
  pen.SetWidth(2.7f);
  pen.SetStyle(psDash);
  pen.SetMode(pmCopy);
  EXPECT_EQ(vclPen.Color(), clBlue);
  EXPECT_EQ(vclPen.Width(), 2) << "truncated";
  EXPECT_EQ(vclPen.Style(), psDash);
  EXPECT_EQ(vclPen.Mode(), pmCopy);

  TIEPen loose(nullptr);
  EXPECT_EQ(loose.Color(), clWhite);
  EXPECT_EQ(loose.Width(), 1.0f);
  EXPECT_EQ(loose.Style(), psSolid);
  EXPECT_EQ(loose.Mode(), pmCopy);
  loose.SetColor(clRed);  // no framework pen to forward to

  TBrush vclBrush;
  vclBrush.SetColor(clGreen);
  vclBrush.SetStyle(bsCross);
  TIEBrush brush(&vclBrush);
  EXPECT_EQ(brush.Color(), clGreen);
  EXPECT_EQ(brush.Style(), bsCross);
  brush.SetColor(clYellow);
  brush.SetStyle(bsClear);
  EXPECT_EQ(vclBrush.Color(), clYellow);
  EXPECT_EQ(vclBrush.Style(), bsClear);
  EXPECT_EQ(TIEBrush(nullptr).Style(), bsSolid);
}

TEST_F(CanvasTest, GDIPlusColoursCarryAlphaAndClearMeansTransparent) {
  TIEPen pen(nullptr);
  pen.SetColor(static_cast<TColor>(RGB(0x11, 0x22, 0x33)));
  pen.SetAlpha(128);
  EXPECT_EQ(pen.GetARGB(), 0x80112233u);
  pen.SetStyle(psClear);
  EXPECT_EQ(pen.GetARGB(), 0x00112233u);
  TIEBrush brush(nullptr);
  brush.SetColor(clBtnFace);  // system colours are resolved
  EXPECT_EQ(brush.GetARGB() & 0xFFFFFFu,
            (GetRValue(ColorToRGB(clBtnFace)) << 16) | (GetGValue(ColorToRGB(clBtnFace)) << 8) |
                GetBValue(ColorToRGB(clBtnFace)));
  EXPECT_EQ(brush.GetARGB() >> 24, 255u);
  brush.SetStyle(bsClear);
  EXPECT_EQ(brush.GetARGB() >> 24, 0u);
}

TEST_F(CanvasTest, AClearPenDrawsNothingUntilMadeSolidAgain) {
  GDIPlusReference gdiPlus;
  auto bitmap = WhiteBitmap();
  TIECanvas canvas(bitmap->Canvas(), false, true);
  canvas.Pen()->SetColor(ToColor(kBlue));
  canvas.Pen()->SetAlpha(200);
  canvas.Pen()->SetStyle(psClear);
  canvas.DrawLine(2, 10, 30, 10);
  EXPECT_EQ(Pixel(*bitmap, 15, 10), kWhite);
  canvas.Pen()->SetStyle(psSolid);
  canvas.DrawLine(2, 10, 30, 10);
  EXPECT_TRUE(Near(Pixel(*bitmap, 15, 10), OverWhite(kBlue, 200))) << Pixel(*bitmap, 15, 10);
}

TEST_F(CanvasTest, AHatchStyleTakesTheBackColourAndAlpha) {
  GDIPlusReference gdiPlus;
  auto bitmap = WhiteBitmap();
  TIECanvas canvas(bitmap->Canvas(), false, true);
  const RECT area{0, 0, 20, 20};
  canvas.Brush()->SetColor(ToColor(kRed));
  canvas.FillRect(RECT{0, 0, 21, 21});
  EXPECT_EQ(CountOf(*bitmap, kRed, area), 400) << "solid";

  canvas.Brush()->SetBackColor(ToColor(kGreen));
  canvas.Brush()->SetBackAlpha(255);
  canvas.Brush()->SetStyle(bsCross);
  canvas.FillRect(RECT{0, 0, 21, 21});
  const int red = CountOf(*bitmap, kRed, area), green = CountOf(*bitmap, kGreen, area);
  EXPECT_GT(red, 0);
  EXPECT_GT(green, red) << "lines of the cross over an opaque green back";
  EXPECT_EQ(red + green, 400);

  auto clean = WhiteBitmap();
  TIECanvas other(clean->Canvas(), false, true);
  other.Brush()->SetColor(ToColor(kRed));
  other.Brush()->SetBackColor(ToColor(kGreen));
  other.Brush()->SetStyle(bsDiagCross);  // back alpha 0
  other.FillRect(RECT{0, 0, 21, 21});
  EXPECT_GT(CountOf(*clean, kRed, area), 0);
  EXPECT_EQ(CountOf(*clean, kGreen, area), 0);
  EXPECT_EQ(CountOf(*clean, kRed, area) + CountOf(*clean, kWhite, area), 400);
}

TEST_F(CanvasTest, CreationFailuresRaiseWithTheirTexts) {
  GDIPlusReference gdiPlus;  // loaded before the stand-in takes the real library's place
  struct Case {
    const char* entry;
    void* standIn;
    const char* message;
  };
  const Case cases[] = {
      {"GdipCreateFromHDC", Address(&FailingCreateFromHDC), "Cannot create TIECanvas. GdipCreateFromHDC failed."},
      {"GdipCreatePen1", Address(&FailingCreatePen1), "Cannot create TIEPen. GdipCreatePen1 failed."},
      {"GdipCreateSolidFill", Address(&FailingCreateSolidFill), "Cannot create TIEBrush. GdipCreateSolidFill failed."},
      {"GdipCreateHatchBrush", Address(&FailingCreateHatchBrush),
       "Cannot create TIEBrush. GdipCreateHatchBrush failed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    IEGDIPlusUnload();
    auto bitmap = WhiteBitmap();
    {
      StandInLibrary standIn({{c.entry, c.standIn}});
      IEGDIPlusLoad();
      try {
        TIECanvas canvas(bitmap->Canvas(), true, true);
        canvas.Brush()->SetStyle(bsCross);
        ADD_FAILURE() << "no exception";
      } catch (const EIEException& e) {
        EXPECT_EQ(e.Message(), c.message);
      }
      IEGDIPlusUnload();
    }
    IEGDIPlusLoad();
  }
}

// ---- geometry ---------------------------------------------------------------------------------

// GDI+ fills (10, 10, 20, 20) as 9 x 9 pixels, GDI as 10 x 10; the corners
// may come in any order under GDI+.
TEST_F(CanvasTest, FillRectCoversItsArea) {
  GDIPlusReference gdiPlus;
  struct Case {
    RECT rect;
    Way way;
    int last;  // last filled column and row
  };
  const Case cases[] = {
      {{10, 10, 20, 20}, Way::GDIPlusPlain, 18},
      {{20, 20, 10, 10}, Way::GDIPlusPlain, 18},
      {{20, 10, 10, 20}, Way::GDIPlusPlain, 18},
      {{10, 10, 20, 20}, Way::GDI, 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << Name(c.way) << " " << c.rect.left << "," << c.rect.top);
    auto bitmap = WhiteBitmap();
    auto canvas = CanvasOn(*bitmap, c.way);
    canvas->Brush()->SetColor(ToColor(kRed));
    canvas->FillRect(c.rect);
    const int side = c.last - 10 + 1;
    EXPECT_EQ(CountOf(*bitmap, kRed, RECT{0, 0, kSize, kSize}), side * side);
    EXPECT_EQ(Pixel(*bitmap, 10, 10), kRed);
    EXPECT_EQ(Pixel(*bitmap, c.last, c.last), kRed);
  }
}

// Each shape over (5, 5, 35, 35) with a pen 3 wide: the brush inside, the pen
// on the left edge, nothing outside, whichever way it is drawn.
TEST_F(CanvasTest, ShapesFillWithTheBrushAndOutlineWithThePen) {
  GDIPlusReference gdiPlus;
  const POINT triangle[] = {{5, 5}, {35, 20}, {5, 35}};
  struct Shape {
    const char* name;
    void (*draw)(TIECanvas&, const POINT*);
  };
  const Shape shapes[] = {
      {"rectangle", [](TIECanvas& c, const POINT*) { c.Rectangle(5, 5, 35, 35); }},
      {"ellipse", [](TIECanvas& c, const POINT*) { c.Ellipse(5, 5, 35, 35); }},
      {"round rectangle", [](TIECanvas& c, const POINT*) { c.RoundRect(5, 5, 35, 35, 8, 8); }},
      {"polygon", [](TIECanvas& c, const POINT* p) { c.Polygon(p, 2); }},
  };
  for (const Shape& shape : shapes)
    for (Way way : kWays) {
      SCOPED_TRACE(testing::Message() << shape.name << ", " << Name(way));
      auto bitmap = WhiteBitmap();
      auto canvas = CanvasOn(*bitmap, way);
      canvas->Pen()->SetColor(ToColor(kBlue));
      canvas->Pen()->SetWidth(3);
      canvas->Brush()->SetColor(ToColor(kRed));
      shape.draw(*canvas, triangle);
      EXPECT_EQ(Pixel(*bitmap, 15, 20), kRed);
      EXPECT_TRUE(Near(Pixel(*bitmap, 4, 20), kBlue, 40)) << Pixel(*bitmap, 4, 20);
      EXPECT_EQ(Pixel(*bitmap, 1, 20), kWhite);
      EXPECT_EQ(Pixel(*bitmap, 38, 38), kWhite);
      EXPECT_EQ(Pixel(*bitmap, 2, 2), kWhite);
    }
}

TEST_F(CanvasTest, PolylineLeavesItsFigureOpen) {
  GDIPlusReference gdiPlus;
  const POINT points[] = {{5, 5}, {30, 5}, {30, 30}, {99, 99}};
  for (Way way : {Way::GDI, Way::GDIPlusPlain}) {
    SCOPED_TRACE(Name(way));
    auto bitmap = WhiteBitmap();
    auto canvas = CanvasOn(*bitmap, way);
    canvas->Pen()->SetColor(ToColor(kBlue));
    canvas->Brush()->SetColor(ToColor(kRed));
    canvas->Polyline(points, 2);  // the fourth point is beyond High
    EXPECT_EQ(Pixel(*bitmap, 15, 5), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 30, 15), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 17, 17), kWhite) << "not closed, not filled";
    EXPECT_EQ(Pixel(*bitmap, 35, 35), kWhite);
  }
}

// An arc runs counter-clockwise from the start direction to the end
// direction: right -> top is the upper right quarter, top -> right the
// other three.
TEST_F(CanvasTest, ArcsRunCounterClockwiseFromStartToEnd) {
  GDIPlusReference gdiPlus;
  // Points on the circle of radius 15 around (20, 20), one per quarter.
  const POINT upperRight{31, 9}, upperLeft{9, 9}, lowerLeft{9, 31}, lowerRight{31, 31};
  struct Case {
    const char* name;
    POINT start, end;
    bool upperRight, upperLeft, lowerLeft, lowerRight;
  };
  const Case cases[] = {
      {"right to top", {35, 20}, {20, 5}, true, false, false, false},
      {"top to right", {20, 5}, {35, 20}, false, true, true, true},
      {"left to bottom", {5, 20}, {20, 35}, false, false, true, false},
  };
  auto inked = [](TBitmap& bitmap, POINT p) {
    for (int dy = -2; dy <= 2; ++dy)
      for (int dx = -2; dx <= 2; ++dx)
        if (!(Pixel(bitmap, p.x + dx, p.y + dy) == kWhite)) return true;
    return false;
  };
  for (const Case& c : cases)
    for (Way way : kWays) {
      SCOPED_TRACE(testing::Message() << c.name << ", " << Name(way));
      auto bitmap = WhiteBitmap();
      auto canvas = CanvasOn(*bitmap, way);
      canvas->Pen()->SetColor(ToColor(kBlue));
      canvas->Pen()->SetWidth(2);
      canvas->Arc(5, 5, 35, 35, c.start.x, c.start.y, c.end.x, c.end.y);
      EXPECT_EQ(inked(*bitmap, upperRight), c.upperRight);
      EXPECT_EQ(inked(*bitmap, upperLeft), c.upperLeft);
      EXPECT_EQ(inked(*bitmap, lowerLeft), c.lowerLeft);
      EXPECT_EQ(inked(*bitmap, lowerRight), c.lowerRight);
    }
}

// Under GDI+ a corner of exactly 20 is drawn 21 wide on the right and
// bottom, which brings those sides one pixel in.
TEST_F(CanvasTest, RoundRectWithCornerTwentyDrawsItsRightSideOnePixelIn) {
  GDIPlusReference gdiPlus;
  struct Case {
    int corner;
    int rightColumn;
  };
  for (const Case c : {Case{19, 39}, Case{20, 38}, Case{21, 39}}) {
    SCOPED_TRACE(c.corner);
    auto bitmap = WhiteBitmap();
    TIECanvas canvas(bitmap->Canvas(), false, true);
    canvas.Pen()->SetColor(ToColor(kBlue));
    canvas.RoundRect(0, 0, 40, 40, c.corner, c.corner);
    int right = -1;
    for (int x = 0; x < kSize; ++x)
      if (Pixel(*bitmap, x, 20) == kBlue) right = x;
    EXPECT_EQ(right, c.rightColumn);
  }
}

TEST_F(CanvasTest, LineToMovesThePenPositionAndDrawLineDoesNot) {
  GDIPlusReference gdiPlus;
  for (Way way : {Way::GDI, Way::GDIPlusPlain}) {
    SCOPED_TRACE(Name(way));
    auto bitmap = WhiteBitmap();
    auto canvas = CanvasOn(*bitmap, way);
    canvas->Pen()->SetColor(ToColor(kBlue));
    canvas->SetPenPos(POINT{2, 2});
    canvas->LineTo(20, 2);
    EXPECT_EQ(canvas->PenPos().x, 20);
    canvas->DrawLine(2, 30, 30, 30);
    EXPECT_EQ(canvas->PenPos().x, 20);
    EXPECT_EQ(canvas->PenPos().y, 2);
    canvas->LineTo(20, 20);  // from (20, 2)
    EXPECT_EQ(Pixel(*bitmap, 10, 2), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 15, 30), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 20, 10), kBlue);
    EXPECT_EQ(Pixel(*bitmap, 10, 10), kWhite);
  }
}

TEST_F(CanvasTest, TranslateMovesWhatFollowsBothWays) {
  GDIPlusReference gdiPlus;
  for (Way way : {Way::GDI, Way::GDIPlusPlain}) {
    SCOPED_TRACE(Name(way));
    auto bitmap = WhiteBitmap();
    auto canvas = CanvasOn(*bitmap, way);
    canvas->Brush()->SetColor(ToColor(kRed));
    canvas->Translate(10.7, 20.2);
    canvas->FillRect(RECT{0, 0, 5, 5});
    EXPECT_EQ(Pixel(*bitmap, 2, 2), kWhite);
    EXPECT_EQ(Pixel(*bitmap, 12, 22), kRed);
    canvas->Translate(-10.7, -20.2);
  }
}

// ---- text --------------------------------------------------------------------------------------

TEST_F(CanvasTest, TextRectPaintsTheBackgroundUnlessTheBrushIsClear) {
  GDIPlusReference gdiPlus;
  struct Case {
    const char* name;
    TBrushStyle style;
    bool transparent;
    Rgb background;
  };
  const Case cases[] = {
      {"solid brush", bsSolid, false, {255, 255, 0}},
      {"clear brush", bsClear, false, kWhite},
      {"transparent text", bsSolid, true, kWhite},
  };
  for (const Case& c : cases)
    for (Way way : {Way::GDI, Way::GDIPlusSmooth}) {
      SCOPED_TRACE(testing::Message() << c.name << ", " << Name(way));
      auto bitmap = WhiteBitmap();
      auto canvas = CanvasOn(*bitmap, way);
      canvas->Brush()->SetColor(clYellow);
      canvas->Brush()->SetStyle(c.style);
      canvas->Font()->SetColor(clBlack);
      const RECT rect{2, 2, 38, 20};
      if (c.transparent)
        canvas->TextRectTransparent(rect, 3, 3, "i");
      else
        canvas->TextRect(rect, 3, 3, "i");
      EXPECT_EQ(Pixel(*bitmap, 30, 10), c.background);
      EXPECT_EQ(Pixel(*bitmap, 30, 25), kWhite) << "clipped to the rectangle";
      EXPECT_GT(MixedPixels(*bitmap, c.background, kWhite), 0) << "the text is drawn";
    }
}

TEST_F(CanvasTest, TextIsMeasuredAndDrawnThroughTheCanvasFont) {
  GDIPlusReference gdiPlus;
  auto bitmap = WhiteBitmap();
  TIECanvas canvas(bitmap->Canvas(), true, true);
  canvas.Font()->SetColor(clBlack);
  const SIZE one = canvas.TextExtent("W"), two = canvas.TextExtent("WW");
  EXPECT_GT(one.cx, 0);
  EXPECT_GT(one.cy, 0);
  EXPECT_EQ(two.cx, 2 * one.cx);
  EXPECT_EQ(canvas.TextHeight("W"), one.cy);
  canvas.Font()->SetHeight(-30);
  EXPECT_GT(canvas.TextWidth("W"), one.cx);
  canvas.TextOut(2, 2, "W");
  EXPECT_GT(MixedPixels(*bitmap, kWhite, kWhite), 0);
}

TEST_F(CanvasTest, EmptyCanvasMeasuresLikeACanvasOnABitmap) {
  auto bitmap = WhiteBitmap();
  const SIZE expected = TIECanvas(bitmap->Canvas(), true, false).TextExtent("Measure me");
  ASSERT_GT(expected.cx, 0);
  {
    TIEEmptyCanvas unloaded;
    EXPECT_FALSE(unloaded.UseGDIPlus());
    EXPECT_EQ(unloaded.TextWidth("Measure me"), expected.cx);
  }
  GDIPlusReference gdiPlus;
  TIEEmptyCanvas empty;
  EXPECT_TRUE(empty.UseGDIPlus());
  EXPECT_NE(empty.Graphics(), nullptr);
  EXPECT_EQ(empty.TextWidth("Measure me"), expected.cx);
  EXPECT_EQ(empty.TextHeight("Measure me"), expected.cy);
  empty.Rectangle(0, 0, 10, 10);  // drawing on nothing changes nothing and does no harm
}

TEST_F(CanvasTest, OnDestroyIsToldFirst) {
  GDIPlusReference gdiPlus;
  auto bitmap = WhiteBitmap();
  TObject* sender = nullptr;
  bool penAlive = false;
  auto* canvas = new TIECanvas(bitmap->Canvas(), true, true);
  canvas->OnDestroy = [&](TObject* s) {
    sender = s;
    penAlive = canvas->Pen() != nullptr && canvas->Graphics() != nullptr;
  };
  delete canvas;
  EXPECT_EQ(sender, canvas);
  EXPECT_TRUE(penAlive);
}

}  // namespace
