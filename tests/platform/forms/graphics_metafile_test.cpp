// Metafiles written by a vector editor, drawn at their own size, against
// the editor's own rendering (enhanced metafiles) or another renderer's
// (Windows metafiles); tests/fixtures/metafile/README.md tells their origin.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/display/display.h"
#include "platform/forms/graphics.h"
#include "platform/win/gdi.h"

namespace {

const std::string kDir = VESK_SOURCE_DIR "/tests/fixtures/metafile/";

struct Picture {
  std::vector<uint32_t> px;  // 0x00RRGGBB
  int32_t w = 0, h = 0;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y) * w + x] & 0xFFFFFF; }
};

Picture Reference(const std::string& name) {
  Picture p;
  EXPECT_TRUE(display::ReadPng(kDir + name, p.px, p.w, p.h)) << name;
  return p;
}

Picture Render(const std::string& name, int32_t* ownW = nullptr, int32_t* ownH = nullptr) {
  TMetafile meta;
  meta.LoadFromFile(kDir + name);
  if (ownW) *ownW = meta.Width();
  if (ownH) *ownH = meta.Height();
  TBitmap bmp;
  bmp.SetPixelFormat(pf32bit);
  bmp.SetSize(meta.Width(), meta.Height());
  bmp.Canvas()->Brush()->SetColor(clWhite);
  bmp.Canvas()->FillRect(RECT{0, 0, meta.Width(), meta.Height()});
  meta.Draw(bmp.Canvas(), RECT{0, 0, meta.Width(), meta.Height()});
  Picture p{{}, meta.Width(), meta.Height()};
  for (int y = 0; y < p.h; ++y) {
    const auto* row = static_cast<const uint32_t*>(bmp.ScanLine(y));
    p.px.insert(p.px.end(), row, row + p.w);
  }
  return p;
}

// Pixels of the common area, outside `ignore`, whose channels differ by
// more than a quarter of the range.
double DifferentFraction(const Picture& a, const Picture& b, const std::vector<RECT>& ignore) {
  const int w = std::min(a.w, b.w), h = std::min(a.h, b.h);
  int bad = 0;
  auto ignored = [&](int x, int y) {
    for (const RECT& r : ignore)
      if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
  };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (ignored(x, y)) continue;
      const uint32_t p = a.At(x, y), q = b.At(x, y);
      for (int shift : {0, 8, 16})
        if (std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF)) > 64) {
          ++bad;
          break;
        }
    }
  return static_cast<double>(bad) / (w * h);
}

struct Probe {
  int x, y;
};

struct Case {
  const char* metafile;
  const char* reference;
  int32_t width, height;  // the metafile's own size
  std::vector<Probe> probes;
  double edges;  // the largest fraction of differing pixels (all on edges)
  std::vector<RECT> ignore;
};

TEST(MetafileDrawing, EditorFilesMatchTheirReferenceRenderings) {
  // Probes: the red box's fill, the green ellipse, the blue triangle, the
  // rotated orange box, the background, both colours of the picture; the
  // stems of the letters and the background around them.
  const std::vector<Probe> shapes = {{40, 30}, {115, 30}, {45, 85}, {125, 95}, {150, 5}, {84, 64}, {98, 66}};
  const std::vector<Probe> shapesOnly(shapes.begin(), shapes.end() - 2);
  const std::vector<Probe> text = {{5, 5}, {150, 55}, {13, 22}, {14, 35}, {30, 22}, {55, 25}, {100, 23}, {108, 31}};
  // The other renderer draws the picture of the Windows metafile as a white
  // box at the top left and not at its place: those areas are left out.
  const std::vector<RECT> misdrawn = {{8, 8, 40, 34}, {78, 58, 106, 86}};
  // The enhanced file's frame is two pixels wider than the drawing (the
  // editor's margin), so it is drawn 162 x 121 and compared where both are.
  const Case cases[] = {
      {"shapes.emf", "shapes-inkscape.png", 162, 121, shapes, 0.03, {}},
      {"shapes.wmf", "shapes-wmf-convert.png", 160, 120, shapesOnly, 0.03, misdrawn},
      {"shapes.wmf", "shapes-inkscape.png", 160, 120, shapes, 0.03, {}},
      {"text.emf", "text-inkscape.png", 200, 60, text, 0.04, {}},
      {"text.wmf", "text-wmf-convert.png", 200, 60, text, 0.04, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.metafile);
    int32_t w = 0, h = 0;
    const Picture ours = Render(c.metafile, &w, &h);
    const Picture ref = Reference(c.reference);
    EXPECT_EQ(w, c.width);
    EXPECT_EQ(h, c.height);
    for (const Probe& p : c.probes) EXPECT_EQ(ours.At(p.x, p.y), ref.At(p.x, p.y)) << p.x << "," << p.y;
    EXPECT_LT(DifferentFraction(ours, ref, c.ignore), c.edges) << c.reference;
  }
}

}  // namespace
