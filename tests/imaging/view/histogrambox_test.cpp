#include <cstdlib>
#include <memory>
#include <vector>

#include "imaging/view/histogrambox.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

constexpr TColor kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);

class HistogramBoxTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = MakeForm(400, 300);
    proc = new TImageryProc(form);
    box = Add<THistogramBox>(form, "Histogram", {10, 10, 266, 115});
    box->SetAttachedImageryProc(proc);
  }
  // A plain graph: one column per entry of an 8-bit histogram, full height.
  void Plain() {
    box->SetLabels({});
    box->SetCompBar(false);
  }
  // An 8-bit grey image whose first pixels have the given values, the rest 0.
  void GreyImage(std::initializer_list<std::pair<uint8_t, int>> runs) {
    TIEBitmap* bitmap = proc->GetBitmap();
    bitmap->Allocate(20, 10, ie8g);
    bitmap->Fill(0);
    int at = 0;
    for (auto [value, count] : runs)
      for (int i = 0; i < count; ++i, ++at) bitmap->SetPixel8(at % 20, at / 20, value);
  }
  TColor Pixel(int x, int y) { return box->Drawing()->Canvas()->Pixels(x, y); }
  // Height of the dark bar in column x, counted from the bottom row.
  int BarHeight(int x, int bottom) {
    int rows = 0;
    while (bottom - rows >= 0 && Pixel(x, bottom - rows) != kWhite) ++rows;
    return rows;
  }

  TForm* form = nullptr;
  TImageryProc* proc = nullptr;
  THistogramBox* box = nullptr;
};

}  // namespace

TEST_F(HistogramBoxTest, BarsShowTheCountsOfAKnownImage) {
  Plain();
  // 200 pixels: 110 of level 0, 60 of level 10, 30 of level 200.
  GreyImage({{10, 60}, {200, 30}});
  box->Update();
  ASSERT_EQ(box->Drawing()->Width(), 256);
  ASSERT_EQ(box->Drawing()->Height(), 105);
  EXPECT_EQ(BarHeight(0, 104), 105) << "the largest count fills the graph";
  EXPECT_EQ(BarHeight(10, 104), 58) << "60 / 110 of 105 rows (57), plus the base row";
  EXPECT_EQ(BarHeight(200, 104), 30) << "30 / 110 of 105 rows (29), plus the base row";
  EXPECT_EQ(BarHeight(11, 104), 0);
  EXPECT_EQ(BarHeight(255, 104), 0);
  EXPECT_EQ(Pixel(10, 100), kBlack) << "grey bars take GrayColor";
}

TEST_F(HistogramBoxTest, TinyCountsStillShowAndEmptyHistogramsShowOnlyBackground) {
  Plain();
  box->SetBackground(RGB(255, 255, 255));
  TIEHistogram h(256);
  h[3].Gray = 1000000;
  h[7].Gray = 1;
  h[9].Red = 500;  // not a selected channel
  box->RenderHistogram(h);
  EXPECT_EQ(BarHeight(7, 104), 2) << "a count of 1 beside a million still gets a bar";
  EXPECT_EQ(BarHeight(9, 104), 0) << "unselected channels are not drawn";

  box->SetHistogramKind(hkRed | hkBlue);
  box->RenderHistogram(TIEHistogram(256));
  for (int x : {0, 7, 128, 255}) EXPECT_EQ(Pixel(x, 104), kWhite) << x;
  box->RenderHistogram(TIEHistogram());  // no entries at all

  // A box too small for its labels draws them and no graph.
  box->SetHistogramKind(hkGray);
  box->SetLabels({hlVertical, hlHorizontal});
  box->SetCompBar(true);
  box->SetBounds(10, 10, 30, 12);
  box->RenderHistogram(h);
  EXPECT_EQ(box->Drawing()->Width(), 30);
}

TEST_F(HistogramBoxTest, ColourBarRunsFromBlackToFullIntensity) {
  box->SetLabels({});
  box->SetBounds(10, 10, 600, 105);
  GreyImage({{128, 10}});
  box->SetHistogramKind(hkGreen);
  box->Update();
  ASSERT_EQ(box->Drawing()->Width(), 600);
  const int bottom = box->Drawing()->Height() - 1;
  EXPECT_EQ(Pixel(0, bottom), kBlack);
  EXPECT_EQ(Pixel(599, bottom), RGB(0, 255, 0)) << "the last column of a 600-pixel bar is at 255";
  EXPECT_EQ(Pixel(300, bottom), RGB(0, 128, 0));

  box->SetHistogramKind(hkGray);
  EXPECT_EQ(Pixel(599, bottom), RGB(255, 255, 255));
  EXPECT_EQ(Pixel(150, bottom), RGB(64, 64, 64));
}

TEST_F(HistogramBoxTest, VerticalLabelsMoveTheGraphRight) {
  box->SetCompBar(false);
  box->SetLabels({hlHorizontal});
  GreyImage({{0, 200}});
  box->Update();
  EXPECT_EQ(box->LeftMargin(), 0);
  EXPECT_EQ(Pixel(0, 0), kBlack) << "the bar of level 0 starts at the left edge";

  box->SetLabels({hlVertical, hlHorizontal});
  EXPECT_GT(box->LeftMargin(), 4) << "the width of \"200\" plus 4";
  const int margin = box->LeftMargin();
  EXPECT_EQ(Pixel(margin, 2), kBlack) << "the bar of level 0 now starts at the margin";
  EXPECT_EQ(Pixel(margin - 1, 50), ColorToRGB(box->Font()->Color())) << "the vertical axis in the font colour";
}

// The numbers under the graph never run into each other: in a box as narrow
// as the crop preview's, one that would touch its neighbour is left out;
// the first and the last always stand at the graph's ends.
TEST_F(HistogramBoxTest, NumbersUnderTheGraphStandApart) {
  box->SetCompBar(false);
  box->SetLabels({hlVertical, hlHorizontal});
  GreyImage({{0, 120}, {255, 80}});
  for (int width : {164, 206, 400}) {
    SCOPED_TRACE(width);
    box->SetBounds(10, 10, width, 130);
    box->Update();
    TBitmap* drawing = box->Drawing();
    ASSERT_EQ(drawing->Width(), width);
    const int widest = drawing->Canvas()->TextWidth("255");
    const int fontHeight = std::abs(box->Font()->Height());
    const int top = drawing->Height() - fontHeight - 1;
    // The columns of the number row that hold ink, gathered into runs that
    // are at least 3 empty columns apart.
    std::vector<std::pair<int, int>> runs;
    int blank = 3;
    for (int x = 0; x < width; ++x) {
      bool ink = false;
      for (int y = top; y < drawing->Height() && !ink; ++y) ink = Pixel(x, y) != box->Background();
      if (ink && blank >= 3) runs.emplace_back(x, x);
      if (ink) runs.back().second = x;
      blank = ink ? 0 : blank + 1;
    }
    ASSERT_GE(runs.size(), 2u);
    for (auto [first, last] : runs) EXPECT_LE(last - first + 1, widest) << "numbers run together at " << first;
    EXPECT_LE(runs.front().first, box->LeftMargin() + 1) << "0 at the graph's start";
    EXPECT_GE(runs.back().second, width - 3) << "255 at its end";
  }
}

TEST_F(HistogramBoxTest, DetachesFromAFreedProcessingComponent) {
  GreyImage({{50, 5}});
  delete proc;
  EXPECT_EQ(box->AttachedImageryProc(), nullptr);
  box->Update();  // nothing to draw, and nothing dangling
}

TEST_F(HistogramBoxTest, MousePicksAValue) {
  Plain();
  GreyImage({{50, 5}});
  box->Update();
  box->SetMouseInteract(mhSelectValue);
  int changing = 0, changed = 0;
  box->OnSelectionChanging = [&](TObject*) { ++changing; };
  box->OnSelectionChanged = [&](TObject*) { ++changed; };
  form->Show();
  Pump();

  display::InjectMouseDown(At(box, 40, 50));
  display::InjectMouseMove(At(box, 120, 50));
  display::InjectMouseMove(At(box, 400, 50));
  display::InjectMouseUp(At(box, 400, 50));
  Pump();
  EXPECT_EQ(box->FirstPosition(), 255) << "dragging is clamped to the control's width - 1";
  EXPECT_EQ(changing, 3);
  EXPECT_EQ(changed, 1);

  Click(box, 120, 50);
  EXPECT_EQ(box->FirstPosition(), 120);
  EXPECT_EQ(changed, 2);
}

TEST_F(HistogramBoxTest, MousePicksARangeAndOrdersItsEnds) {
  Plain();
  GreyImage({{50, 5}});
  box->Update();
  box->SetMouseInteract(mhSelectRange);
  form->Show();
  Pump();

  // Both ends start at 0: a press moves the second one, the nearer when not strictly nearer.
  display::InjectMouseDown(At(box, 60, 50));
  display::InjectMouseMove(At(box, 150, 50));
  display::InjectMouseUp(At(box, 150, 50));
  Pump();
  EXPECT_EQ(box->FirstPosition(), 0);
  EXPECT_EQ(box->SecondPosition(), 150);

  Click(box, 20, 50);  // nearer the first end
  EXPECT_EQ(box->FirstPosition(), 20);
  EXPECT_EQ(box->SecondPosition(), 150);

  // Dragging the second end left of the first exchanges them at the next paint.
  display::InjectMouseDown(At(box, 148, 50));
  display::InjectMouseMove(At(box, 5, 50));
  display::InjectMouseUp(At(box, 5, 50));
  Pump();
  box->Repaint();
  EXPECT_EQ(box->FirstPosition(), 5);
  EXPECT_EQ(box->SecondPosition(), 20);

  HDC dc = GetDC(form->Handle());
  const POINT edge = form->ScreenToClient(At(box, 5, 50));
  const POINT inside = form->ScreenToClient(At(box, 12, 50));
  EXPECT_EQ(GetPixel(dc, edge.x, edge.y), RGB(255, 0, 0)) << "the range is framed in the selection colour";
  EXPECT_EQ(GetPixel(dc, inside.x, inside.y), kWhite);
  ReleaseDC(form->Handle(), dc);
}
