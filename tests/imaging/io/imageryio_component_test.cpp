#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "imaging/io/imageryio.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/graphics.h"
#include "platform/display/headless.h"
#include "platform/win/user.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

class Component : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    io = new TImageryIO(nullptr);
    io->OnProgress = [this](TObject*, int32_t percent) { events.push_back(percent); };
    io->OnFinishWork = [this](TObject*) { events.push_back(-1); };
  }
  void TearDown() override {
    delete io;
    IOTest::TearDown();
  }

  TImageryIO* io = nullptr;
  std::vector<int32_t> events;  // percentages; -1 for the finish event
};

TEST_F(Component, LoadAndSaveThroughTheCodecTable) {
  const std::string file = iotest::WriteTempFile("load.tif", iotest::MakeImage(3, 2));
  ASSERT_TRUE(io->LoadFromFile(file));
  TIEBitmap& bitmap = *io->IEBitmap();
  EXPECT_EQ(bitmap.GetWidth(), 3);
  EXPECT_EQ(bitmap.GetPixel24(2, 1), (TRGB{2, 1, 3}));
  EXPECT_EQ(io->Params().FILETYPE, 1);
  EXPECT_EQ(io->Params().FILENAME, file);
  EXPECT_EQ(io->Params().DPIX, 300);  // the reader's 1 becomes the default
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], 100);  // 100 before the finish event
  EXPECT_EQ(events.back(), -1);

  const std::string saved = iotest::WriteTempFile("saved.TIFF", "");
  io->SaveToFile(saved);
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(iotest::ReadFile(saved), iotest::MakeImage(3, 2));
}

TEST_F(Component, FailuresAreNeverReportedAsSuccess) {
  const std::string truncated = iotest::MakeImage(4, 4).substr(0, 30);
  EXPECT_FALSE(io->LoadFromFile(iotest::WriteTempFile("short.tif", truncated)));
  EXPECT_TRUE(io->Aborting());
  EXPECT_EQ(events.back(), -1);

  events.clear();
  EXPECT_FALSE(io->LoadFromFile(iotest::WriteTempFile("a.unknownext", "data")));
  EXPECT_TRUE(io->Aborting());
  EXPECT_EQ(events, (std::vector<int32_t>{100, -1}));

  EXPECT_FALSE(io->LoadFromFile(iotest::WriteTempFile("nocodec.png", "data")));  // no PNG codec here
  EXPECT_TRUE(io->Aborting());

  events.clear();
  io->SaveToFile("", 1);
  EXPECT_TRUE(events.empty());
  io->SetAborting(false);
  io->LoadFromBuffer(nullptr, 10, 0);
  EXPECT_TRUE(io->Aborting());
  EXPECT_TRUE(events.empty());
  EXPECT_THROW(io->LoadFromFile("/nonexistent/dir/x.tif"), Exception);
}

TEST_F(Component, AnyFormatFallsBackToTheContent) {
  const std::string file = iotest::WriteTempFile("really.png", iotest::MakeImage(2, 2));
  EXPECT_FALSE(io->LoadFromFile(file, -1));
  EXPECT_TRUE(io->LoadFromFile(file, -9));
  EXPECT_EQ(io->Params().FILETYPE, 1);
  EXPECT_TRUE(io->LoadFromFileAuto(file));
}

TEST_F(Component, ReaderExceptionReachesTheCallerAfterTheFinishEvent) {
  iotest::readerRaises = true;
  EXPECT_THROW(io->LoadFromFile(iotest::WriteTempFile("raise.tif", iotest::MakeImage(2, 2))), Exception);
  EXPECT_EQ(events.back(), -1);
}

TEST_F(Component, SavingConvertsACopyNeverTheCallersImage) {
  TIEBitmap cmyk(2, 1, ieCMYK);
  cmyk.SetPixelCMYK(0, 0, 0xFFFFFFFFu);  // no ink: white
  cmyk.SetPixelCMYK(1, 0, 0x00FFFFFFu);  // full black
  std::unique_ptr<TImageryIO> caller(TImageryIO::CreateFromBitmap(&cmyk));
  const std::string file = iotest::WriteTempFile("cmyk.tif", "");
  caller->SaveToFile(file);
  EXPECT_EQ(cmyk.GetPixelFormat(), ieCMYK);
  EXPECT_EQ(cmyk.GetPixelCMYK(1, 0), 0x00FFFFFFu);
  const std::string written = iotest::ReadFile(file);
  ASSERT_EQ(written.size(), 12u + 6u);
  EXPECT_EQ(written.substr(12), std::string("\xFF\xFF\xFF\0\0\0", 6));
}

TEST_F(Component, StreamHeadersChainImagesInOneStream) {
  io->StreamHeaders = true;
  TMemoryStream stream;
  io->IEBitmap()->Allocate(2, 1, ie24RGB);
  io->SaveToStream(stream, 1);
  io->IEBitmap()->Allocate(3, 3, ie24RGB);
  io->SaveToStream(stream, 1);
  const int64_t end = stream.Position();
  stream.SetPosition(0);
  ASSERT_TRUE(io->LoadFromStream(stream));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 2);
  ASSERT_TRUE(io->LoadFromStream(stream));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 3);
  EXPECT_EQ(stream.Position(), end);

  // A header whose length runs past the stream fails cleanly.
  std::string bad = "TIFF" + std::string(4, '\0') + std::string("\xFF\xFF\x00\x00", 4) + iotest::MakeImage(1, 1);
  TStringStream badStream(bad);
  EXPECT_FALSE(io->LoadFromStream(badStream));
}

TEST_F(Component, ParametersOnly) {
  const std::string file = iotest::WriteTempFile("params.tif", iotest::MakeImage(5, 4));
  io->IEBitmap()->Allocate(1, 1, ie24RGB);
  io->ParamsFromFile(file);
  EXPECT_EQ(io->Params().FILETYPE, 1);
  EXPECT_EQ(io->Params().WIDTH, 5);
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 1);  // no pixels decoded
  io->ParamsFromFile(iotest::WriteTempFile("params.png", iotest::MakeImage(5, 4)));
  EXPECT_EQ(io->Params().FILETYPE, 0);  // content and extension disagree
  io->ParamsFromFile("/nonexistent/p.tif");
  EXPECT_EQ(io->Params().FILETYPE, 0);
  EXPECT_EQ(io->Params().FILENAME, "/nonexistent/p.tif");
  io->ParamsFromFileFormat(file, 18);  // write-only: nothing read, the type stays
  EXPECT_EQ(io->Params().FILETYPE, 18);
  TStringStream stream(iotest::MakeImage(6, 1));
  io->ParamsFromStream(stream);
  EXPECT_EQ(io->Params().WIDTH, 6);
}

TEST_F(Component, PlugInFormatsReadThroughTheirRegistryEntry) {
  auto* entry = new TIEFileFormatInfo;
  entry->FileTypeId = 4097;
  entry->ExtensionList = "PLG";
  entry->ReadProc = [](TStream&, TIEBitmap* bitmap, TIOParamsVals& params, bool, TIEProgressRecord&) {
    bitmap->Allocate(7, 7, ie24RGB);
    params.WIDTH = 7;
  };
  IERegisterFileFormat(entry);
  EXPECT_TRUE(io->LoadFromFile(iotest::WriteTempFile("x.plg", "anything")));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 7);
  EXPECT_EQ(io->Params().FILETYPE, 4097);
}

TEST_F(Component, OperationsOnOneComponentRunOneAfterTheOther) {
  const std::string file = iotest::WriteTempFile("shared.tif", iotest::MakeImage(64, 64));
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i)
    threads.emplace_back([&] {
      for (int j = 0; j < 5; ++j) io->LoadFromFile(file);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(iotest::mostInFlight.load(), 1);
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 64);
}

// ---- workers and the view window ------------------------------------------------------

std::vector<UINT> posted;

LRESULT ViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= IEM_UPDATE && message <= IEM_FINISHWORK) posted.push_back(message);
  return DefWindowProc(window, message, wParam, lParam);
}

// A view with a window of its own, as the viewers attach.
class TestView : public TIEIOViewLink {
public:
  explicit TestView(HWND window) : window_(window) {}
  TIEBitmap* GetIEBitmap() override { return &bitmap; }
  HWND HandleNeeded() override { return window_; }
  bool HasParent() override { return true; }
  void Update() override { ++updates; }
  void ImageChange() override {}
  void SetDpi(int32_t, int32_t) override {}
  TIEColor Background() override { return background; }
  void SetBackground(TIEColor color) override { background = color; }

  TIEBitmap bitmap;
  int32_t updates = 0;
  TIEColor background = 0;

private:
  HWND window_;
};

class Workers : public Component {
protected:
  void SetUp() override {
    Component::SetUp();
    display::SetActiveBackend(display::CreateHeadlessBackend());
    WNDCLASS wc{};
    wc.lpfnWndProc = ViewProc;
    wc.lpszClassName = "IOTestView";
    RegisterClass(&wc);
    window = CreateWindowEx(0, "IOTestView", "", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr, nullptr, nullptr,
                            nullptr);
    view = std::make_unique<TestView>(window);
    posted.clear();
  }
  void TearDown() override {
    delete io;
    io = nullptr;
    DestroyWindow(window);
    Component::TearDown();
  }
  void Pump() {
    MSG m;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&m);
  }

  HWND window = nullptr;
  std::unique_ptr<TestView> view;
};

// The background is the view's while one is attached; setting it reaches
// the view only when the caller lets it through.
TEST_F(Workers, TheBackgroundReachesTheViewOnlyWhenPassedThrough) {
  io->SetBackground(0x123456);
  EXPECT_EQ(io->Background(), 0x123456u);
  view->background = 0x00FF00;
  io->SetAttachedImagery(view.get());
  EXPECT_EQ(io->Background(), 0x00FF00u);
  io->SetBackground(0x0000FF);
  EXPECT_EQ(view->background, 0x00FF00u);
  io->PassBackgroundToView = true;
  io->SetBackground(0x0000FF);
  EXPECT_EQ(view->background, 0x0000FFu);
  EXPECT_EQ(io->Background(), 0x0000FFu);
  io->SetAttachedImagery(nullptr);
  EXPECT_EQ(io->Background(), 0x123456u);  // the own colour was kept meanwhile
}

TEST_F(Workers, AWorkerLoadPostsItsMessagesToTheView) {
  const std::string file = iotest::WriteTempFile("async.tif", iotest::MakeImage(4, 4));
  io->SetAttachedImagery(view.get());
  io->AsyncMode = true;
  EXPECT_TRUE(io->LoadFromFile(file));  // started: returns at once
  io->WaitForWorkers(false);
  Pump();
  EXPECT_EQ(view->bitmap.GetWidth(), 4);
  EXPECT_FALSE(io->Aborting());
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back(), IEM_FINISHWORK);
  EXPECT_NE(std::find(posted.begin(), posted.end(), IEM_UPDATE), posted.end());
  EXPECT_NE(std::find(posted.begin(), posted.end(), IEM_PROGRESS), posted.end());
  EXPECT_EQ(view->updates, 0);  // the worker never calls the view directly
  EXPECT_TRUE(events.empty());
}

TEST_F(Workers, OwnBitmapRunsInlineEvenInAsyncMode) {
  io->AsyncMode = true;
  EXPECT_TRUE(io->LoadFromFile(iotest::WriteTempFile("inline.tif", iotest::MakeImage(2, 2))));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 2);
}

TEST_F(Workers, DestroyingWaitsForAWorkerThatNeedsTheMainThread) {
  io->SetAttachedImagery(view.get());
  io->AsyncMode = true;
  io->LoadFromFile(iotest::WriteTempFile("destroy.tif", iotest::MakeImage(32, 32)));
  delete io;  // must neither deadlock nor leave the worker running on a freed component
  io = nullptr;
  EXPECT_EQ(view->bitmap.GetWidth(), 32);
}

TEST_F(Workers, AWorkerExceptionBecomesTheAbortFlag) {
  io->SetAttachedImagery(view.get());
  io->AsyncMode = true;
  iotest::readerRaises = true;
  io->LoadFromFile(iotest::WriteTempFile("raise2.tif", iotest::MakeImage(2, 2)));
  io->WaitForWorkers(false);
  EXPECT_TRUE(io->Aborting());
  EXPECT_FALSE(io->IsIOThread());
}

}  // namespace

#include "platform/forms/properties.h"

namespace {

// A framework image attached: reads land in its picture's bitmap, saves
// take that bitmap as others resized it, and the image going leaves the
// component an empty bitmap of its own.
TEST_F(Component, AttachedFrameworkImageIsReadAndWritten) {
  auto* image = new TImage(nullptr);
  image->Picture()->Bitmap()->SetPixelFormat(pf24bit);
  image->Picture()->Bitmap()->SetSize(2, 2);
  SetPropText(*io, "AttachedTImage", "");
  io->SetAttachedTImage(image);
  EXPECT_EQ(io->AttachedTImage(), image);
  TBitmap* tbitmap = image->Picture()->Bitmap();
  EXPECT_EQ(io->GetBitmap(), tbitmap);
  io->SetAttachedIEBitmap(nullptr);  // ignored while an image is attached
  EXPECT_EQ(io->AttachedTImage(), image);
  const std::string file = iotest::WriteTempFile("timage.tif", iotest::MakeImage(3, 2));
  ASSERT_TRUE(io->LoadFromFile(file));
  ASSERT_EQ(tbitmap->Width(), 3);
  ASSERT_EQ(tbitmap->Height(), 2);
  const auto* row = static_cast<const uint8_t*>(tbitmap->ScanLine(1));
  EXPECT_EQ(row[2 * 3 + 0], 2);  // pixel (2, 1) is (x, y, x + y) as blue, green, red
  EXPECT_EQ(row[2 * 3 + 2], 3);
  // Someone else resizes the picture: the save sees the new size.
  tbitmap->SetSize(5, 4);
  const std::string saved = iotest::WriteTempFile("timage-saved.tif", "");
  io->SaveToFile(saved);
  EXPECT_FALSE(io->Aborting());
  ASSERT_TRUE(io->LoadFromFile(saved));
  EXPECT_EQ(tbitmap->Width(), 5);
  delete image;
  EXPECT_EQ(io->AttachedTImage(), nullptr);
  EXPECT_EQ(io->GetBitmap(), nullptr);
  ASSERT_TRUE(io->LoadFromFile(file));
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 3);
}

TEST_F(Component, PublishedPropertiesByName) {
  SetPropText(*io, "DialogsMeasureUnit", "ieduSelectableDefCm");
  EXPECT_EQ(io->DialogsMeasureUnit, ieduSelectableDefCm);
  SetPropText(*io, "PreviewsParams", "[ioppApplyButton]");
  EXPECT_TRUE(io->PreviewsParams.Contains(ioppApplyButton));
  EXPECT_FALSE(io->PreviewsParams.Contains(ioppDefaultLockPreview));
  EXPECT_EQ(GetPropText(*io, "SimplifiedParamsDialogs"), "True");
  EXPECT_EQ(GetPropText(*io, "AttachedImagery"), "");
  SetPropText(*io, "StreamHeaders", "True");
  EXPECT_TRUE(io->StreamHeaders);
  SetPropText(*io, "NativePixelFormat", "True");
  EXPECT_TRUE(io->Params().ISNATIVEPIXELFORMAT);
  SetPropText(*io, "ImageryVersion", "1.0");
  EXPECT_EQ(GetPropText(*io, "ImageryVersion"), "6.0.0");
  SetPropText(*io, "Background", "255");
  EXPECT_EQ(io->Background(), 255u);
}

}  // namespace
