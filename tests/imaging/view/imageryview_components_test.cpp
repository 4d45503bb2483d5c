// The view base control and the components the image view owns: change
// handlers, resolution, border style, the I/O and processing components,
// worker messages and copying images into the view.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_component.h"
#include "platform/forms/graphics.h"
#include "platform/forms/properties.h"
#include "platform/win/user_timers.h"
#include "tests/imaging/view/view_test_support.h"

namespace {

const std::string kChartPhoto = std::string(VESK_SOURCE_DIR) + "/tests/fixtures/charts/colorchecker24-handheld.jpg";

// The colour ImageMagick decodes at a pixel of an image file.
TRGB OutsidePixel(const std::string& file, int x, int y) {
  const std::string command = "/usr/bin/convert '" + file + "' -crop 1x1+" + std::to_string(x) + "+" +
                              std::to_string(y) + " -depth 8 rgb:-";
  FILE* pipe = popen(command.c_str(), "r");
  unsigned char rgb[3] = {};
  const size_t got = pipe ? fread(rgb, 1, 3, pipe) : 0;
  if (pipe) pclose(pipe);
  EXPECT_EQ(got, 3u) << "ImageMagick is needed: " << command;
  return TRGB{rgb[2], rgb[1], rgb[0]};
}

// ---- the base control -----------------------------------------------------------------------

struct HandlerLog {
  std::vector<std::pair<int, int32_t>> calls;  // (handler number, flag)
};
template <int N>
void LogHandler(void* owner, TIEView*, int32_t flag) {
  static_cast<HandlerLog*>(owner)->calls.emplace_back(N, flag);
}

TEST(IEViewTest, ChangeHandlersAreCalledInOrderAndToldOnceOfTheDestruction) {
  HandlerLog log;
  auto* view = new TImageryView(nullptr);
  view->RegisterBitmapChangeHandler(&LogHandler<1>, &log);
  TIEChangeHandlerEntry* second = view->RegisterBitmapChangeHandler(&LogHandler<2>, &log);
  TIEChangeHandlerEntry* third = view->RegisterBitmapChangeHandler(&LogHandler<3>, &log);
  view->UnregisterBitmapChangeHandler(third);
  view->UnregisterBitmapChangeHandler(third);    // already gone: ignored
  view->UnregisterBitmapChangeHandler(nullptr);  // ignored
  view->NotifyBitmapChangeHandlers();
  EXPECT_EQ(log.calls, (std::vector<std::pair<int, int32_t>>{{1, 0}, {2, 0}}));
  log.calls.clear();
  EXPECT_EQ(view->ChangeHandlerCount(), 2);
  (void)second;
  delete view;
  EXPECT_EQ(log.calls, (std::vector<std::pair<int, int32_t>>{{1, 1}, {2, 1}}));
}

TEST(IEViewTest, ResolutionOfZeroKeepsThePreviousValue) {
  TImageryView view(nullptr);
  EXPECT_EQ(view.DpiX(), 300);  // the library's default
  view.SetDpi(72, 96);
  view.SetDpiX(0);
  view.SetDpiY(0);
  EXPECT_EQ(view.DpiX(), 72);
  EXPECT_EQ(view.DpiY(), 96);
}

class ViewComponentsTest : public ViewTest {
protected:
  void SetUp() override {
    IELibraryInitialize();
    IEInitializeImageryIO();
    ViewTest::SetUp();
  }
  void TearDown() override {
    ViewTest::TearDown();
    IEFinalizeImageryIO();
    IELibraryFinalize();
  }
  LONG_PTR Style(int index) { return GetWindowLong(view->Handle(), index); }
};

TEST_F(ViewComponentsTest, BorderStyleChoosesTheClientEdgeOrTheBorder) {
  struct {
    TBorderStyle border;
    bool ctl3D;
    bool clientEdge, plainBorder;
  } cases[] = {{bsSingle, true, true, false}, {bsSingle, false, false, true}, {bsNone, true, false, false},
               {bsNone, false, false, false}};
  for (auto c : cases) {
    view->SetBorderStyle(c.border);
    view->SetCtl3D(c.ctl3D);
    EXPECT_EQ((Style(GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0, c.clientEdge);
    EXPECT_EQ((Style(GWL_STYLE) & WS_BORDER) != 0, c.plainBorder);
  }
}

// ---- attached components ------------------------------------------------------------------------

TEST_F(ViewComponentsTest, AttachedIOComponentLoadsTheChartPhotoIntoTheView) {
  view->SetScrollBars(ssNone);
  view->SetAutoFit(true);
  std::vector<int32_t> progress;
  TImageryIO* io = view->GetIO();
  EXPECT_EQ(view->GetIO(), io);
  // An event set after the component exists still reaches it.
  view->SetOnProgress([&](TObject*, int32_t percent) { progress.push_back(percent); });
  ASSERT_TRUE(io->LoadFromFile(kChartPhoto));
  TIEBitmap* bitmap = view->GetIEBitmap();
  ASSERT_EQ(bitmap->GetWidth(), 1024);
  ASSERT_EQ(bitmap->GetHeight(), 768);
  EXPECT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_TRUE(view->ImageChanged());
  // The decoded pixels agree with an outside decoder.
  for (POINT p : {POINT{0, 0}, POINT{512, 384}, POINT{300, 320}}) {
    const TRGB ours = bitmap->GetPixel24(p.x, p.y), theirs = OutsidePixel(kChartPhoto, p.x, p.y);
    EXPECT_NEAR(ours.r, theirs.r, 3);
    EXPECT_NEAR(ours.g, theirs.g, 3);
    EXPECT_NEAR(ours.b, theirs.b, 3);
  }
  // Fitted into the 200 x 150 view: the width decides.
  EXPECT_NEAR(view->Zoom(), 200.0 * 100 / 1024, 1e-9);
  EXPECT_EQ(view->ExtentX(), 200);
}

// In asynchronous mode the load runs on a worker, which reaches the view
// only through posted messages: the view updates, reports progress and the
// end of the work on its own thread.
// An I/O component follows the view it is attached to: a new bitmap object
// (another layer's, or the caller's) with the view's resolution, and an own
// empty bitmap once the view is gone; attached by name too.
TEST_F(ViewComponentsTest, IOComponentFollowsTheViewsBitmapAndResolution) {
  auto* io = new TImageryIO(nullptr);
  SetPropText(*io, "AttachedImagery", "");  // nothing attached: stays free-standing
  io->SetAttachedImageryComponent(view);
  EXPECT_EQ(GetPropText(*io, "AttachedImagery"), "View");
  EXPECT_EQ(io->IEBitmap(), view->GetIEBitmap());
  view->SetDpi(150, 75);
  TIEBitmap external(3, 2, ie24RGB);
  view->SetExternalBitmap(&external);
  EXPECT_EQ(io->IEBitmap(), &external);
  EXPECT_EQ(io->Params().DPIX, 150);
  EXPECT_EQ(io->Params().DPIY, 75);
  // The view's own component follows it the same way.
  TImageryIO* own = view->GetIO();
  view->SetExternalBitmap(nullptr);
  EXPECT_EQ(own->IEBitmap(), view->GetIEBitmap());
  EXPECT_EQ(io->IEBitmap(), view->GetIEBitmap());
  EXPECT_THROW(io->SetAttachedImageryComponent(form), EPropertyError);
  // The view goes first: the component keeps working on a bitmap of its own.
  delete view;
  view = nullptr;
  EXPECT_EQ(io->AttachedImagery(), nullptr);
  ASSERT_NE(io->IEBitmap(), nullptr);
  EXPECT_TRUE(io->OwnsBitmap());
  EXPECT_TRUE(io->LoadFromFile(kChartPhoto));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 1024);
  delete io;
}

TEST_F(ViewComponentsTest, WorkerThreadLoadReachesTheViewThroughItsMessages) {
  const std::string crop = std::string(VESK_SOURCE_DIR) + "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
  std::vector<int32_t> progress;
  int finished = 0;
  TObject* finishedBy = nullptr;
  view->SetOnProgress([&](TObject*, int32_t percent) { progress.push_back(percent); });
  view->SetOnFinishWork([&](TObject* sender) {
    ++finished;
    finishedBy = sender;
  });
  TImageryIO* io = view->GetIO();
  io->AsyncMode = true;
  io->LoadFromFile(crop);
  io->WaitForWorkers(false);
  Pump();
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(finishedBy, view);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.back(), 100);
  EXPECT_EQ(view->ImageWidth(), 340);
  EXPECT_EQ(view->ImageHeight(), 240);
}

TEST_F(ViewComponentsTest, ProcessingComponentWorksOnTheViewsBitmap) {
  MakeImage(40, 30, [](int32_t, int32_t) { return TRGB{10, 20, 30}; });
  TImageryProc* proc = view->GetProc();
  EXPECT_EQ(view->GetProc(), proc);
  EXPECT_EQ(proc->GetBitmap(), view->GetIEBitmap());
  proc->Resample(20, 15, rfNone, false);
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 20);
}

TEST_F(ViewComponentsTest, ProcessingThroughTheViewIsUndoneOnTheView) {
  MakeImage(40, 30, [](int32_t x, int32_t) { return TRGB{static_cast<uint8_t>(x), 20, 30}; });
  int changes = 0;
  view->OnImageChange = [&](TObject*) { ++changes; };
  TImageryProc* proc = view->GetProc();
  proc->Crop(10, 5, 29, 14);
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 20);
  EXPECT_EQ(view->GetIEBitmap()->GetHeight(), 10);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(0, 0).b, 10);
  EXPECT_EQ(changes, 1);
  ASSERT_TRUE(proc->CanUndo());
  proc->Undo(false);
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 40);
  EXPECT_EQ(view->GetIEBitmap()->GetHeight(), 30);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(39, 29).b, 39);
  EXPECT_EQ(changes, 2);
}

TEST_F(ViewComponentsTest, ProcessingWorksOnTheCurrentLayerAndItsUndoFindsThatLayer) {
  MakeImage(40, 30, [](int32_t, int32_t) { return TRGB{10, 20, 30}; });
  TImageryProc* proc = view->GetProc();
  view->AddLayer(8, 6, ie24RGB, 4, 5);
  view->GetIEBitmap()->Fill(static_cast<double>(RGB(0, 200, 0)));
  ASSERT_EQ(view->CurrentLayerIndex(), 1);
  EXPECT_EQ(proc->GetBitmap(), view->GetLayer(1)->Bitmap);
  proc->Fill(TRGB{1, 2, 3});
  EXPECT_EQ(view->GetLayer(1)->Bitmap->GetPixel24(7, 5), (TRGB{1, 2, 3}));
  EXPECT_EQ(view->GetLayer(0)->Bitmap->GetPixel24(0, 0), (TRGB{10, 20, 30}));
  // Undone with the background layer current: the copy goes back to its own layer.
  view->SetCurrentLayer(0);
  proc->Undo(false);
  EXPECT_EQ(view->GetLayer(1)->Bitmap->GetPixel24(7, 5), (TRGB{0, 200, 0}));
  EXPECT_EQ(view->GetLayer(0)->Bitmap->GetPixel24(0, 0), (TRGB{10, 20, 30}));
  // Layer records: a moved layer goes back to where it was.
  proc->SaveUndo(ieuLayer);
  view->GetLayer(1)->PosX = 20;
  proc->Undo(false);
  EXPECT_EQ(view->GetLayer(1)->PosX, 4);
  EXPECT_EQ(view->GetLayer(1)->Bitmap->GetWidth(), 8);
}

TEST_F(ViewComponentsTest, WorkerMessagesBecomeViewEvents) {
  std::vector<int32_t> progress;
  int finished = 0;
  view->SetOnProgress([&](TObject* sender, int32_t percent) {
    EXPECT_EQ(sender, view);
    progress.push_back(percent);
  });
  view->SetOnFinishWork([&](TObject*) { ++finished; });
  PostMessage(view->Handle(), IEM_PROGRESS, 42, 0);
  PostMessage(view->Handle(), IEM_FINISHWORK, 0, 0);
  Pump();
  EXPECT_EQ(progress, std::vector<int32_t>{42});
  EXPECT_EQ(finished, 1);
}

TEST_F(ViewComponentsTest, AssignImageCopiesBitmapsAndKeepsOneBitImages) {
  struct {
    TPixelFormat source;
    TIEPixelFormat result;
  } cases[] = {{pf4bit, ie24RGB}, {pf1bit, ie1g}, {pf24bit, ie24RGB}, {pf32bit, ie24RGB}};
  for (auto c : cases) {
    TBitmap bitmap;
    bitmap.SetPixelFormat(c.source);
    bitmap.SetSize(12, 8);
    bitmap.Canvas()->Brush()->SetColor(clBlack);
    bitmap.Canvas()->FillRect(RECT{0, 0, 6, 8});
    view->AssignImage(&bitmap);
    TIEBitmap* current = view->GetIEBitmap();
    EXPECT_EQ(current->GetPixelFormat(), c.result) << c.source;
    EXPECT_EQ(current->GetWidth(), 12);
    TRGB left{}, right{};
    current->GetPixelRGB(0, 0, left);
    current->GetPixelRGB(11, 0, right);
    EXPECT_EQ(left, (TRGB{0, 0, 0}));
    EXPECT_EQ(right, (TRGB{255, 255, 255}));
  }
  TIEBitmap image(5, 4, ie24RGB);
  image.Fill(static_cast<double>(RGB(1, 2, 3)));
  view->AssignImage(&image);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(4, 3), (TRGB{3, 2, 1}));
  view->SetBackground(RGB(9, 8, 7));
  view->AssignImage(nullptr);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(0, 0), (TRGB{7, 8, 9}));
}

TEST_F(ViewComponentsTest, AssigningAViewCopiesItsLayersAndItsCurrentLayer) {
  auto* source = Add<TImageryView>(form, "Source", {220, 10, 320, 110});
  source->GetIEBitmap()->Allocate(30, 20, ie24RGB);
  source->GetIEBitmap()->Fill(static_cast<double>(RGB(200, 0, 0)));
  source->SetDpi(150, 75);
  source->AddLayer(10, 8, ie24RGB, 4, 5);
  source->GetIEBitmap()->Fill(static_cast<double>(RGB(0, 200, 0)));
  source->AddLayer(6, 6, ie24RGB, 1, 2);
  source->SetCurrentLayer(1);
  view->AssignImage(source);
  ASSERT_EQ(view->GetLayerCount(), 3);
  EXPECT_EQ(view->CurrentLayerIndex(), 1);
  EXPECT_EQ(view->GetIEBitmap(), view->GetLayer(1)->Bitmap);
  EXPECT_EQ(view->GetLayer(1)->PosX, 4);
  EXPECT_EQ(view->GetLayer(2)->Bitmap->GetWidth(), 6);
  EXPECT_EQ(view->GetLayer(0)->Bitmap->GetPixel24(29, 19), (TRGB{0, 0, 200}));
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(0, 0), (TRGB{0, 200, 0}));
  EXPECT_EQ(view->DpiX(), 150);
  EXPECT_EQ(view->DpiY(), 75);
}

TEST_F(ViewComponentsTest, PlayingASingleImageStartsNoTimer) {
  MakeImage(8, 8, [](int32_t, int32_t) { return TRGB{}; });
  view->GetIO();
  view->SetPlaying(true);
  EXPECT_TRUE(view->Playing());
  EXPECT_FALSE(view->PlayTimerRunning());
}

// A GIF of three 6 x 4 frames, red, green and blue, each shown for 50 ms.
// Every frame's codes are 3 bits wide: a clear code before each pair of
// pixels keeps the code table from growing.
std::string ThreeFrameGif() {
  std::string gif = "GIF89a";
  const auto u16 = [&](int v) {
    gif += static_cast<char>(v & 255);
    gif += static_cast<char>(v >> 8);
  };
  u16(6);
  u16(4);
  gif += {'\x81', '\0', '\0'};  // a global table of four entries
  gif += {'\xFF', '\0', '\0', '\0', '\xFF', '\0', '\0', '\0', '\xFF', '\0', '\0', '\0'};
  for (int frame = 0; frame < 3; ++frame) {
    gif += {'\x21', '\xF9', '\x04', '\0'};
    u16(5);  // hundredths of a second
    gif += {'\0', '\0', ','};
    u16(0);
    u16(0);
    u16(6);
    u16(4);
    gif += {'\0', '\x02'};
    std::vector<int> codes;
    for (int pixel = 0; pixel < 24; pixel += 2) codes.insert(codes.end(), {4, frame, frame});
    codes.push_back(5);
    std::string data;
    uint32_t bits = 0;
    int count = 0;
    for (int code : codes) {
      bits |= static_cast<uint32_t>(code) << count;
      for (count += 3; count >= 8; count -= 8, bits >>= 8) data += static_cast<char>(bits & 255);
    }
    if (count > 0) data += static_cast<char>(bits & 255);
    gif += static_cast<char>(data.size());
    gif += data;
    gif += '\0';
  }
  return gif + ';';
}

// Each frame stays for its own delay; without looping, playing stops after
// the last frame with the first one shown again.
TEST_F(ViewComponentsTest, PlayingShowsEveryFrameForItsDelayAndStopsWithoutLoop) {
  const std::string gif = ::testing::TempDir() + "view_frames.gif";
  {
    FILE* file = std::fopen(gif.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string bytes = ThreeFrameGif();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }
  UseManualClock(1000);
  TImageryIO* io = view->GetIO();
  ASSERT_TRUE(io->LoadFromFile(gif));
  ASSERT_EQ(io->Params().IMAGECOUNT, 3);
  const auto shown = [&] { return view->GetIEBitmap()->GetPixel24(0, 0); };
  EXPECT_EQ(shown(), (TRGB{0, 0, 255}));
  view->PlayLoop = false;
  view->SetPlaying(true);
  ASSERT_TRUE(view->PlayTimerRunning());
  const TRGB frames[] = {{0, 255, 0}, {255, 0, 0}, {0, 0, 255}};  // blue, green, red
  for (const TRGB& frame : frames) {
    AdvanceClock(30);
    Pump();
    EXPECT_NE(shown(), frame) << "not before the 50 ms delay";
    AdvanceClock(20);
    Pump();
    EXPECT_EQ(shown(), frame);
  }
  EXPECT_FALSE(view->Playing());
  EXPECT_FALSE(view->PlayTimerRunning());
  EXPECT_EQ(io->Params().IMAGEINDEX, 0);
  UseRealClock();
  std::remove(gif.c_str());
}

}  // namespace
