// The processing component: undo after each kind of operation, the undo and
// redo lists, cropping a selection, filling and the resample frame.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "imaging/processing/imageryproc_component.h"

namespace {

std::unique_ptr<TIEBitmap> Picture(int32_t width, int32_t height, TIEPixelFormat format, uint32_t seed) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  std::mt19937 random(seed);
  const int64_t bytes = (int64_t{width} * IEPixelFormatInfo[format].BitsPerPixel + 7) / 8;
  for (int32_t y = 0; y < height; ++y)
    for (int64_t x = 0; x < bytes; ++x) bitmap->GetScanline(y)[x] = static_cast<uint8_t>(random());
  return bitmap;
}

// Size, format and the pixel bytes of every row.
std::string State(TIEBitmap& bitmap) {
  std::string state = std::to_string(bitmap.GetWidth()) + "x" + std::to_string(bitmap.GetHeight()) + "/" +
                      std::to_string(int{bitmap.GetPixelFormat()}) + ":";
  const int64_t bytes = (int64_t{bitmap.GetWidth()} * bitmap.GetBitCount() + 7) / 8;
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    state.append(reinterpret_cast<const char*>(bitmap.GetScanline(y)), static_cast<size_t>(bytes));
  if (TIEBitmap* alpha = bitmap.PeekAlphaChannel()) state += "+alpha" + State(*alpha);
  return state;
}

// A processor with a rectangular selection of its own.
class TSelectingProc : public TImageryProc {
public:
  TSelectingProc() : TImageryProc(nullptr) {}
  void Select(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    mask_.Allocate(GetBitmap()->GetWidth(), GetBitmap()->GetHeight(), 1);
    for (int32_t y = y1; y <= y2; ++y) mask_.FillSpan(1, x1, x2, y);
    mask_.RecalcBoundingBox();
  }
  using TImageryProc::GetSelectionArea;
  bool GetSelectionArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, const POINT*& points, int32_t& count,
                        TIEMask*& mask) override {
    TImageryProc::GetSelectionArea(x1, y1, x2, y2, points, count, mask);
    if (mask_.Width == 0) return false;
    mask = &mask_;
    if (!mask_.IsEmpty()) {
      x1 = mask_.X1;
      y1 = mask_.Y1;
      x2 = mask_.X2 + 1;
      y2 = mask_.Y2 + 1;
    }
    return true;
  }

private:
  TIEMask mask_;
};

TEST(ProcUndoTest, UndoRestoresThePixelsAfterEveryOperation) {
  struct Case {
    const char* name;
    TIEPixelFormat format;
    std::function<void(TImageryProc&)> operation;
    const char* caption;
  };
  const Case cases[] = {
      {"resample", ie24RGB, [](TImageryProc& p) { p.Resample(7, 5, rfLanczos3, false); }, "Resample 7, 5"},
      {"resample grey", ie8g, [](TImageryProc& p) { p.Resample(-1, 30, rfBicubic, false); }, "Resample -1, 30"},
      {"crop", ie24RGB, [](TImageryProc& p) { p.Crop(2, 3, 9, 8); }, "Crop 2, 3, 9, 8"},
      {"crop 1 bit", ie1g, [](TImageryProc& p) { p.Crop(3, 1, 12, 9); }, "Crop 3, 1, 12, 9"},
      {"crop to rect", ie8p, [](TImageryProc& p) { p.CropToRect(RECT{1, 1, 5, 5}); }, "Crop 1, 1, 5, 5"},
      {"fill", ie24RGB, [](TImageryProc& p) { p.Fill(TRGB{0, 128, 255}); }, "Fill (255, 128, 0)"},
      {"clear", ie8g, [](TImageryProc& p) { p.Clear(); }, "Clear"},
      {"rotate", ie24RGB, [](TImageryProc& p) { p.Rotate(2, -1, 30); }, "Rotate 30.000000"},
      {"rotate grey", ie8g, [](TImageryProc& p) { p.Rotate(1, 0, -90); }, "Rotate -90.000000"},
      {"crop selection", ie24RGB, [](TImageryProc& p) { static_cast<TSelectingProc&>(p).CropSel(false); }, "CropSel"},
      {"canvas", ie8p, [](TImageryProc& p) { p.ImageResize(20, 14, 1, 1, 0); }, "ImageResize 20, 14"},
      {"grey", ie24RGB, [](TImageryProc& p) { p.ConvertToGray(); }, "ConvertToGray"},
      {"colours", ie24RGB, [](TImageryProc& p) { p.ConvertTo(16, 2); }, "ConvertTo 16"},
      {"one bit", ie24RGB, [](TImageryProc& p) { p.ConvertTo(2, 0); }, "ConvertTo 2"},
      {"palette", ie24RGB,
       [](TImageryProc& p) {
         TRGB palette[8];
         p.ConvertToPalette(8, palette, 0);
       },
       "ConvertToPalette"},
  };
  for (const Case& c : cases) {
    auto bitmap = Picture(16, 12, c.format, 3);
    bitmap->SetAlphaPixel(4, 4, 9);
    TSelectingProc proc;
    proc.SetAttachedBitmap(bitmap.get());
    proc.AutoUndo = true;
    proc.Select(2, 2, 6, 5);
    const std::string before = State(*bitmap);
    c.operation(proc);
    EXPECT_NE(State(*bitmap), before) << c.name;
    ASSERT_EQ(proc.UndoCount(), 1) << c.name;
    EXPECT_EQ(proc.GetUndoCaption(0), c.caption) << c.name;
    proc.Undo(true);
    EXPECT_EQ(State(*bitmap), before) << c.name;
    EXPECT_EQ(proc.UndoCount(), 1) << c.name;  // the entry stays until ClearUndo
    ASSERT_EQ(proc.RedoCount(), 1) << c.name;
    proc.Redo();
    EXPECT_NE(State(*bitmap), before) << c.name;
  }
}

TEST(ProcUndoTest, ListsKeepTheLimitAndRefuseANegativeOne) {
  auto bitmap = Picture(4, 4, ie24RGB, 1);
  auto* proc = TImageryProc::CreateFromBitmap(bitmap.get());
  EXPECT_FALSE(proc->AutoUndo);
  int events = 0;
  proc->OnSaveUndo = [&](TObject*, TIEUndoSource) { ++events; };
  proc->SaveUndoWithCaption("one", ieuImage);
  proc->SaveUndoWithCaption("two", ieuImage);
  EXPECT_EQ(proc->UndoCount(), 1);  // the default limit of 1 replaces
  EXPECT_EQ(proc->GetUndoCaption(0), "two");
  proc->SetUndoLimit(-3);
  EXPECT_EQ(proc->UndoLimit(), 1);
  proc->SetUndoLimit(3);
  for (const char* caption : {"a", "b", "c", "d"}) proc->SaveUndoWithCaption(caption, ieuImage);
  EXPECT_EQ(proc->UndoCount(), 3);
  EXPECT_EQ(proc->GetUndoCaption(0), "d");
  EXPECT_EQ(proc->GetUndoCaption(2), "b");
  EXPECT_EQ(proc->GetUndoCaption(3), "");
  EXPECT_EQ(proc->GetUndoSource(0), ieuImage);
  EXPECT_EQ(proc->GetUndoSource(7), ieuUnknown);
  proc->ClearUndo();
  EXPECT_EQ(proc->GetUndoCaption(0), "c");
  proc->SetUndoLimit(0);
  const int before = events;
  proc->SaveUndo(ieuImage);
  EXPECT_EQ(events, before);  // nothing recorded, no event
  // A view's state cannot be recorded here: no entry, but the event fires.
  proc->SetUndoLimit(2);
  proc->ClearAllUndo();
  proc->SaveUndo(ieuSelection);
  EXPECT_EQ(proc->UndoCount(), 0);
  EXPECT_EQ(events, before + 1);
  // A 1 x 1 image records nothing but is heard.
  TIEBitmap tiny(1, 1, ie24RGB);
  proc->SetAttachedBitmap(&tiny);
  proc->SaveUndo(ieuImage);
  EXPECT_EQ(proc->UndoCount(), 0);
  EXPECT_EQ(events, before + 2);
  delete proc;
}

TEST(ProcUndoTest, HandledBeforeUndoLeavesTheImage) {
  auto bitmap = Picture(6, 6, ie24RGB, 2);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(bitmap.get());
  proc.UndoTag = 42;
  proc.SaveUndo(ieuImage);
  bitmap->Fill(0);
  const std::string changed = State(*bitmap);
  int32_t seenTag = 0;
  proc.OnBeforeUndoRedo = [&](TObject*, bool isUndo, TIEUndoSource, TObject*, int32_t tag, bool& handled) {
    EXPECT_TRUE(isUndo);
    seenTag = tag;
    handled = true;
  };
  proc.Undo(true);
  EXPECT_EQ(seenTag, 42);
  EXPECT_EQ(State(*bitmap), changed);
  EXPECT_EQ(proc.RedoCount(), 1);
  EXPECT_EQ(proc.GetRedoTag(0), 42);
}

TEST(ProcCropTest, CropOfASelectionIsExactlyTheSelectedRectangle) {
  auto bitmap = Picture(20, 15, ie24RGB, 5);
  const auto original = std::make_unique<TIEBitmap>(*bitmap);
  TSelectingProc proc;
  proc.SetAttachedBitmap(bitmap.get());
  proc.Select(3, 4, 11, 9);
  proc.CropSel(false);
  ASSERT_EQ(bitmap->GetWidth(), 9);
  ASSERT_EQ(bitmap->GetHeight(), 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 9; ++x) EXPECT_EQ(bitmap->GetPixel24(x, y), original->GetPixel24(x + 3, y + 4));
  EXPECT_FALSE(bitmap->HasAlphaChannel());  // a rectangular selection needs no alpha
}

TEST(ProcCropTest, CropRules) {
  auto bitmap = Picture(120, 80, ie24RGB, 6);
  for (int32_t y = 0; y < 80; ++y)
    for (int32_t x = 0; x < 120; ++x) bitmap->SetAlphaPixel(x, y, static_cast<uint8_t>(x + y));
  const auto original = std::make_unique<TIEBitmap>(*bitmap);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(bitmap.get());
  proc.AutoUndo = true;
  proc.Crop(0, 0, 119, 79);  // the whole image
  proc.Crop(5, 5, 4, 10);    // empty
  EXPECT_EQ(proc.UndoCount(), 0);
  EXPECT_EQ(bitmap->GetWidth(), 120);
  proc.Crop(10, 20, 109, 69);
  ASSERT_EQ(bitmap->GetWidth(), 100);
  ASSERT_EQ(bitmap->GetHeight(), 50);
  EXPECT_EQ(bitmap->GetPixel24(0, 0), original->GetPixel24(10, 20));
  EXPECT_EQ(bitmap->GetAlphaPixel(7, 3), original->GetAlphaPixel(17, 23));
  proc.CropToRect(RECT{10, 20, 50, 30});
  EXPECT_EQ(bitmap->GetWidth(), 41);
  EXPECT_EQ(bitmap->GetHeight(), 11);
}

TEST(ProcFillTest, FillByFormatAndProgress) {
  TIEBitmap bits(10, 10, ie1g), grey(10, 10, ie8g);
  IEFillBitmapRect(&bits, 0, 0, 10, 10, TRGB{255, 255, 0}, {}, nullptr);
  EXPECT_EQ(bits.GetScanline(3)[0], 0);
  IEFillBitmapRect(&bits, 0, 0, 10, 10, TRGB{0, 0, 1}, {}, nullptr);
  EXPECT_EQ(bits.GetScanline(3)[0], 0xFF);
  std::vector<int32_t> seen;
  IEFillBitmapRect(&grey, 0, 0, 10, 10, TRGB{0, 128, 255}, [&](TObject*, int32_t per) { seen.push_back(per); },
                   nullptr);
  EXPECT_EQ(grey.GetPixel8(5, 5), 144);
  EXPECT_EQ(seen, (std::vector<int32_t>{9, 19, 28, 38, 47, 57, 66, 76, 85, 95}));
}

TEST(ProcResampleTest, FinishFiresOnceAndImpossibleSizesChangeNothing) {
  auto bitmap = Picture(40, 20, ie24RGB, 7);
  TImageryProc proc(nullptr);
  proc.SetAttachedBitmap(bitmap.get());
  proc.AutoUndo = true;
  int finishes = 0, hundreds = 0;
  proc.OnFinishWork = [&](TObject*) { ++finishes; };
  proc.OnProgress = [&](TObject*, int32_t per) { hundreds += per == 100; };
  proc.Resample(-1, 30, rfTriangle, false);
  EXPECT_EQ(bitmap->GetWidth(), 60);
  EXPECT_EQ(finishes, 1);
  EXPECT_EQ(hundreds, 1);
  proc.ClearAllUndo();
  const std::string before = State(*bitmap);
  proc.Resample(-5, -7, rfTriangle, false);
  proc.Resample(60, 30, rfTriangle, false);
  EXPECT_EQ(State(*bitmap), before);
  EXPECT_EQ(proc.UndoCount(), 0);
  proc.Resample(800, 800, rfFastLinear, true);
  EXPECT_EQ(bitmap->GetWidth(), 800);
  EXPECT_EQ(bitmap->GetHeight(), 400);
}

}  // namespace

namespace {

TEST(DialogParamsTest, DefaultsAndTheFFTRectangleDropsItsData) {
  TImageryProc proc(nullptr);
  TIPDialogParams& params = proc.IPDialogParams();
  EXPECT_EQ(params.FFTData().Size(), 0);
  EXPECT_EQ(params.USERFILTER_VALUES[1][1], 1);
  EXPECT_EQ(params.USERFILTER_VALUES[0][1], 0);
  EXPECT_EQ(params.BUMPMAP_WIDTH, 150);
  EXPECT_DOUBLE_EQ(params.LENS_REF, 1.7);
  EXPECT_EQ(params.EQUALIZATION_EQUP, (TRGB{255, 255, 255}));
  EXPECT_EQ(params.FFT_LEFT(), -1);
  EXPECT_EQ(params.RESIZE_PERCENT, 50);
  EXPECT_EQ(IPDialogParamsKeys.front(), std::string("CONTRAST_CONTRAST"));
  EXPECT_EQ(IPDialogParamsKeys.back(), std::string("FLIP_VERT"));

  using Setter = void (TIPDialogParams::*)(int32_t);
  for (Setter set : {&TIPDialogParams::SetFFT_LEFT, &TIPDialogParams::SetFFT_TOP, &TIPDialogParams::SetFFT_RIGHT,
                     &TIPDialogParams::SetFFT_BOTTOM}) {
    const char data[] = "spectrum";
    params.FFTData().Write(data, sizeof data);
    (params.*set)(-1);  // even the same value
    EXPECT_EQ(params.FFTData().Size(), 0);
  }
  params.RESIZE_PERCENT = 10;
  params.Reset();
  EXPECT_EQ(params.RESIZE_PERCENT, 50);
}

}  // namespace
