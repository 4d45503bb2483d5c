// The thumbnail view on a headless form: entries and stores, layout and
// scrolling, cells and captions, placeholders, background loading over a
// folder of real files, and the loaders' life around inserts, deletes,
// Clear and destruction (a decoder slowed through the decode hook).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/io/iemio.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/iemview.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/threads.h"
#include "platform/win/user_paint.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

namespace fs = std::filesystem;

// The folder the tests browse, written once per program run.
struct Folder {
  std::string dir;
  std::vector<std::string> names;  // entry file names, in order
  std::string Path(const std::string& name) const { return dir + "/" + name; }
};

void Run(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

const Folder& TestFolder() {
  static Folder folder = [] {
    Folder f;
    f.dir = (fs::temp_directory_path() / ("iemview_" + std::to_string(getpid()))).string();
    fs::create_directories(f.dir + "/sub");
    const std::string c = "/usr/bin/convert ";
    Run(c + "-size 320x240 xc:red " + f.dir + "/exif.jpg");
    Run(c + "-size 160x120 xc:red " + f.dir + "/thumb.jpg");
    Run("exiftool -q -overwrite_original '-DateTimeOriginal=2021:05:06 07:08:09' '-ThumbnailImage<=" + f.dir +
        "/thumb.jpg' " + f.dir + "/exif.jpg");
    fs::remove(f.dir + "/thumb.jpg");
    Run(c + "-size 300x200 xc:lime " + f.dir + "/plain.jpg");
    Run(c + "-size 64x48 xc:blue " + f.dir + "/pic.png");
    Run(c + "-size 40x30 xc:red -size 50x20 xc:blue " + f.dir + "/pages.tif");
    Run(c + "-delay 20 -size 30x30 xc:red xc:blue xc:lime " + f.dir + "/anim.gif");
    std::ofstream(f.dir + "/broken.jpg") << "this is not a picture";
    std::ofstream(f.dir + "/note.xyz") << "nor is this";
    f.names = {"exif.jpg", "plain.jpg", "pic.png",    "pages.tif", "anim.gif",
               "broken.jpg", "missing.png", "sub",   "note.xyz"};
    return f;
  }();
  // The folder goes when the program ends.
  static const struct Remover {
    std::string dir;
    ~Remover() {
      std::error_code ignored;
      fs::remove_all(dir, ignored);
    }
  } remover{folder.dir};
  return folder;
}

// A gate the decode hook waits at until the test opens it.
struct Gate {
  std::mutex lock;
  std::condition_variable changed;
  bool open = false;
  std::atomic<int32_t> waiting{0}, passed{0};
  void Wait() {
    std::unique_lock<std::mutex> guard(lock);
    ++waiting;
    changed.wait_for(guard, std::chrono::seconds(20), [&] { return open; });
    ++passed;
  }
  void Open() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
};

class MViewTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    IELibraryInitialize();
    form = MakeForm(460, 380);
    view = Add<TImageryMView>(form, "MView", {0, 0, 430, 340});
    view->SetScrollBars(ssNone);
    form->Show();
    Pump();
  }
  void TearDown() override {
    FormsTest::TearDown();
    IELibraryFinalize();
  }

  // Pumps until done() holds (a generous limit stops a broken build).
  static bool PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 4000; ++i) {
      Pump();
      if (done()) return true;
      Sleep(5);
    }
    return false;
  }

  void Paint() {
    view->Invalidate();
    Pump();
  }

  static std::unique_ptr<TIEBitmap> Solid(int32_t w, int32_t h, TRGB colour, TIEPixelFormat format = ie24RGB) {
    auto b = std::make_unique<TIEBitmap>(w, h, format);
    b->Fill(0);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) b->SetPixel24(x, y, colour);
    return b;
  }

  COLORREF Probe(int32_t x, int32_t y) {
    HDC dc = GetDC(view->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(view->Handle(), dc);
    return c;
  }

  // Entries for count files of the folder, in turn.
  void Fill(int32_t count) {
    const Folder& f = TestFolder();
    view->BeginPaintLock();
    for (int32_t i = 0; i < count; ++i) {
      view->SetImageFileName(view->AppendImage(), f.Path(f.names[i % f.names.size()]));
    }
    view->EndPaintLock();
  }

  TForm* form = nullptr;
  TImageryMView* view = nullptr;
};

bool SamePixels(TIEBitmap* a, TIEBitmap* b) {
  if (!a || !b || a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight()) return false;
  for (int32_t y = 0; y < a->GetHeight(); ++y)
    for (int32_t x = 0; x < a->GetWidth(); ++x) {
      TRGB p, q;
      a->GetPixelRGB(x, y, p);
      b->GetPixelRGB(x, y, q);
      if (p.r != q.r || p.g != q.g || p.b != q.b) return false;
    }
  return true;
}

// ---- entries and stores ----------------------------------------------------------------------------

TEST_F(MViewTest, DeletingReselectsAsTheUserExpects) {
  struct Case {
    int32_t selected, deleted;
    bool keep;
    int32_t after;
  };
  const Case cases[] = {
      {4, 4, false, 3},   // the selected last entry: the new last one
      {2, 2, false, 2},   // the selected one: the entry that takes its place
      {3, 1, false, 2},   // an entry before the selected one
      {1, 3, false, 1},   // an entry after it
      {2, 1, true, 1},    // keeping the selection: it follows its entry
      {-1, 0, false, -1}  // nothing selected
  };
  for (const Case& c : cases) {
    view->Clear();
    for (int i = 0; i < 5; ++i) view->AppendImage();
    view->SetSelectedImage(c.selected);
    EXPECT_TRUE(view->DeleteImage(c.deleted, c.keep));
    EXPECT_EQ(view->SelectedImage(), c.after) << c.selected << " " << c.deleted;
    EXPECT_EQ(view->GetImageCount(), 4);
  }
  EXPECT_FALSE(view->DeleteImage(9));
}

TEST_F(MViewTest, TheChangeRecordHoldsOnlyWhileTheHandlersRun) {
  std::vector<std::pair<int32_t, int32_t>> seen;
  auto* handler = view->RegisterBitmapChangeHandler(
      [](void* owner, TIEView* v, int32_t) {
        auto* m = static_cast<TImageryMView*>(v);
        static_cast<std::vector<std::pair<int32_t, int32_t>>*>(owner)->push_back(
            {m->GetLastChangeKind(), m->GetLastChangeIndex()});
      },
      &seen);
  view->AppendImage();
  view->InsertImage(0);
  view->DeleteImage(1, true);
  view->UnregisterBitmapChangeHandler(handler);
  const std::vector<std::pair<int32_t, int32_t>> changes = {{1, 0}, {1, 0}, {2, 1}};
  std::vector<std::pair<int32_t, int32_t>> records;
  for (auto& s : seen)
    if (s.first != 0) records.push_back(s);
  EXPECT_EQ(records, changes);
  EXPECT_EQ(view->GetLastChangeKind(), 0);
}

TEST_F(MViewTest, ThumbStoresReduceIntoTheBox) {
  struct Case {
    int32_t w, h;
    bool stretchSmall;
    int32_t storedW, storedH;
  };
  const Case cases[] = {{4000, 3000, true, 100, 75}, {4000, 3000, false, 100, 75}, {50, 50, false, 50, 50},
                        {50, 50, true, 100, 100},     {30, 90, true, 33, 100}};
  view->SetStoreType(ietThumb);
  view->AppendImage();
  for (const Case& c : cases) {
    if (c.stretchSmall)
      view->ThumbnailOptionsEx |= ietxStretchSmallImages;
    else
      view->ThumbnailOptionsEx &= ~ietxStretchSmallImages;
    auto source = Solid(c.w, c.h, TRGB{10, 20, 30});
    view->SetImage(0, source.get());
    EXPECT_EQ(view->ImageWidth(0), c.storedW) << c.w << "x" << c.h;
    EXPECT_EQ(view->ImageHeight(0), c.storedH) << c.w << "x" << c.h;
    EXPECT_EQ(view->ImageOriginalWidth(0), c.w);
    EXPECT_EQ(view->ImageOriginalHeight(0), c.h);
  }
  // A normal store keeps the picture as it is.
  view->SetStoreType(ietNormal);
  auto big = Solid(400, 300, TRGB{1, 2, 3});
  view->SetImage(0, big.get());
  EXPECT_EQ(view->ImageWidth(0), 400);
  // Nothing for a bad index or no bitmap.
  view->SetImage(5, big.get());
  view->SetImage(0, nullptr);
  EXPECT_EQ(view->ImageWidth(0), 400);
}

TEST_F(MViewTest, FileInformationIsLookedUpOnceAndMissingFilesSayMinusOne) {
  const Folder& f = TestFolder();
  view->SetImageFileName(view->AppendImage(), f.Path("pic.png"));
  view->SetImageFileName(view->AppendImage(), f.Path("missing.png"));
  EXPECT_EQ(view->ImageFileSize(0), static_cast<int64_t>(fs::file_size(f.Path("pic.png"))));
  EXPECT_GT(view->ImageEditDate(0), 1.0);
  EXPECT_EQ(view->ImageFileSize(1), -1);
  EXPECT_EQ(view->ImageCreateDate(1), 0.0);
  EXPECT_EQ(view->ImageEditDate(1), 0.0);
  EXPECT_EQ(view->ImageFileSize(7), -1);
  EXPECT_EQ(view->ImageKindOf(0), 0);
  view->SetImageFileName(1, f.Path("note.xyz"));
  EXPECT_EQ(view->ImageKindOf(1), 1);
}

// A bitmap the view lent stays readable for its borrower when the entry's
// image is replaced or the entry deleted; the next request gives the new one.
TEST_F(MViewTest, ALentImageOutlivesItsReplacementAndItsEntry) {
  for (int i = 0; i < 3; ++i) {
    view->AppendImage();
    auto b = Solid(20 + i, 10, TRGB{static_cast<uint8_t>(i * 50), 0, 0});
    view->SetImage(i, b.get());
  }
  view->SetSelectedImage(1);
  TIEBitmap* lent = view->GetIEBitmap();
  ASSERT_TRUE(lent);
  EXPECT_EQ(lent->GetWidth(), 21);
  auto other = Solid(7, 7, TRGB{1, 1, 1});
  view->SetImage(1, other.get());
  EXPECT_EQ(lent->GetWidth(), 21);  // still the old picture, not freed
  EXPECT_EQ(lent->GetPixel24(3, 3).b, 50);
  TIEBitmap* fresh = view->GetIEBitmap();
  ASSERT_TRUE(fresh);
  EXPECT_EQ(fresh->GetWidth(), 7);
  view->DeleteImage(1, true);
  EXPECT_EQ(fresh->GetWidth(), 7);
  EXPECT_EQ(fresh->GetPixel24(2, 2).r, 1);
  view->SetSelectedImage(0);  // gives both back
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 20);
}

// ---- layout, scrolling, drawing ----------------------------------------------------------------------

TEST_F(MViewTest, GridColumnsAndScrollingFollowTheSettings) {
  for (int i = 0; i < 300; ++i) view->AppendImage();
  view->SetGridWidth(-1);
  EXPECT_EQ(view->ColumnCount(), 4);  // (430 - 4) div 104
  EXPECT_EQ(view->ImageX(5), 4 + 104);
  EXPECT_EQ(view->ImageY(5), 4 + 104);
  EXPECT_EQ(view->ExtentY(), 4 + 74 * 104 + 104);  // the last row and one border
  view->SetViewY(1 << 30);
  EXPECT_EQ(view->ViewY(), view->ExtentY() - view->ClientHeight());
  view->SetViewY(0);
  display::InjectWheel(At(view), -120);
  Pump();
  EXPECT_EQ(view->ViewY(), 104);
  // One row: the wheel scrolls sideways.
  view->SetGridWidth(0);
  view->SetViewXY(0, 0);
  display::InjectWheel(At(view), -120);
  Pump();
  EXPECT_EQ(view->ViewX(), 104);
  EXPECT_EQ(view->ViewY(), 0);
  // A zero cell and zero borders divide nothing by zero.
  view->SetGridWidth(-1);
  view->SetThumbWidth(0);
  view->SetHorizBorder(0);
  EXPECT_GE(view->ColumnCount(), 1);
  EXPECT_GE(view->ImageAtPos(10, 10, false), 0);
  view->SetZoom(0);
  EXPECT_GT(view->Zoom(), 0);
}

TEST_F(MViewTest, CellsShowTheirPictureCentredWithCaptions) {
  view->SetGridWidth(-1);
  view->AppendImage();
  view->AppendImage();
  auto red = Solid(60, 40, TRGB{0, 0, 255});
  auto green = Solid(60, 40, TRGB{0, 255, 0});
  view->SetImage(0, red.get());
  view->SetImage(1, green.get());
  view->SetImageBottomText(0, "caption");
  view->SetThumbnailsBackground(clWhite);
  Paint();
  // Cell 0 at (4, 4), 100 x 100: the picture centred at (54, 54).
  EXPECT_EQ(Probe(54, 54), RGB(255, 0, 0));
  EXPECT_EQ(Probe(108 + 50, 54), RGB(0, 255, 0));
  EXPECT_EQ(Probe(8, 8), ColorToRGB(clWhite));  // the cell's own background
  // The caption darkens some of the bottom strip of the first cell only.
  auto inked = [&](int32_t left) {
    for (int32_t y = 88; y < 104; ++y)
      for (int32_t x = left + 20; x < left + 80; ++x)
        if (Probe(x, y) != ColorToRGB(clWhite)) return true;
    return false;
  };
  EXPECT_TRUE(inked(4));
  EXPECT_FALSE(inked(108));
  // Small pictures are enlarged to fit the cell (the default options).
  int32_t w = 0, h = 0;
  IEFitSize(60, 40, 100, 100, w, h);
  EXPECT_EQ(view->ImageRect(0).right, w);
  EXPECT_EQ(view->ImageRect(0).bottom, h);
}

TEST_F(MViewTest, CaptionMacros) {
  const Folder& f = TestFolder();
  view->SetImageFileName(view->AppendImage(), "/some/folder/a.lnk");
  view->SetImageFileName(view->AppendImage(), f.Path("pic.png"));
  view->SetImageFileName(view->AppendImage(), f.Path("missing.png"));
  const std::string size = IEFileSizeToStr(static_cast<int64_t>(fs::file_size(f.Path("pic.png"))));
  struct Case {
    int32_t index;
    std::string text, expected;
  };
  const Case cases[] = {
      {0, "$iem_filename$", "a"},
      {0, "$IEM_FILEPATH$", "/some/folder/"},
      {1, "$IEM_FILENAMENOEXT$", "pic"},
      {1, "$IEM_FILESIZE$", size},
      {2, "$IEM_FILESIZE$", ""},
      {1, "$IEM_FILEEDITDATE_AND_SIZE$", DateToStr(view->ImageEditDate(1)) + ", " + size},
      {1, "plain text", "plain text"},
      {1, "$NO_SUCH_MACRO$", "$NO_SUCH_MACRO$"},
      {1, "$IEM_IMAGE_DIMENSIONS$", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(view->ExpandCaptionMacro(c.text, c.index), c.expected) << c.text;
  auto b = Solid(64, 48, TRGB{0, 0, 0});
  view->SetImage(1, b.get());
  EXPECT_EQ(view->ExpandCaptionMacro("$IEM_IMAGE_DIMENSIONS$", 1), "64 x 48 x 24bit");
  EXPECT_EQ(view->ExpandCaptionMacro("$IEM_IMAGE_DIM_AND_SIZE$", 1), "64 x 48, " + size);
}

TEST_F(MViewTest, PlaceholdersForFailedLoads) {
  const Folder& f = TestFolder();
  view->SetThreadPoolSize(0);  // every visible entry loads while drawn
  for (const char* name : {"broken.jpg", "missing.png", "note.xyz", "sub"})
    view->SetImageFileName(view->AppendImage(), f.Path(name));
  int32_t handled = -1;
  Paint();
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(view->ImageKind(i), iemkIcon) << i;
    TIEBitmap* stored = view->GetBitmap(i);
    EXPECT_TRUE(SamePixels(stored, i == 1 ? view->MissingFileIcon() : view->DefaultFileIcon())) << i;
    view->ReleaseBitmap(i, false);
  }
  // The application may draw the placeholder itself.
  view->Clear();
  view->OnWrongImage = [&](TObject*, TIEBitmap* bitmap, int32_t idx, bool& done) {
    handled = idx;
    EXPECT_EQ(bitmap->GetWidth(), 100);
    EXPECT_EQ(bitmap->GetPixelFormat(), ie24RGB);
    done = true;
  };
  view->SetImageFileName(view->AppendImage(), f.Path("broken.jpg"));
  Paint();
  EXPECT_EQ(handled, 0);
  EXPECT_EQ(view->ImageKind(0), iemkWrongImage);
  // Without internal icons: the question mark, white around it.
  view->OnWrongImage = nullptr;
  view->Clear();
  view->ThumbnailOptionsEx &= ~ietxEnableInternalIcons;
  view->SetImageFileName(view->AppendImage(), f.Path("missing.png"));
  Paint();
  TIEBitmap* mark = view->GetBitmap(0);
  ASSERT_TRUE(mark);
  EXPECT_EQ(mark->GetWidth(), 100);
  EXPECT_EQ(mark->GetPixel24(1, 1).r, 255);
  EXPECT_EQ(mark->GetPixel24(1, 1).b, 255);
  view->ReleaseBitmap(0, false);
}

// ---- selection, mouse and keys ---------------------------------------------------------------------

class MViewInput : public MViewTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MViewInput, ClicksAndArrowKeysMoveTheSelection) {
  ScopedUserLocale locale(GetParam());
  view->SetGridWidth(-1);
  for (int i = 0; i < 30; ++i) view->AppendImage();
  std::vector<int32_t> selected;
  view->OnImageSelect = [&](TObject*, int32_t idx) { selected.push_back(idx); };
  Click(view, 4 + 2 * 104 + 50, 54);  // the third cell
  EXPECT_EQ(view->SelectedImage(), 2);
  Key(VK_DOWN);
  EXPECT_EQ(view->SelectedImage(), 6);
  Key(VK_RIGHT);
  EXPECT_EQ(view->SelectedImage(), 7);
  Key(VK_END);
  EXPECT_EQ(view->SelectedImage(), 29);
  EXPECT_EQ(view->IsImageFullyVisible(29), 2);  // scrolled into view
  Key(VK_DOWN);  // the last row: nothing
  EXPECT_EQ(view->SelectedImage(), 29);
  Key(VK_HOME);
  EXPECT_EQ(view->SelectedImage(), 0);
  EXPECT_EQ(view->ViewY(), 0);
  EXPECT_EQ(selected, (std::vector<int32_t>{2, 6, 7, 29, 0}));
  // The program's own selections are not reported.
  view->SetSelectedImage(3);
  EXPECT_EQ(selected.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(Locales, MViewInput, ::testing::Values("en_US.UTF-8", "de_DE.UTF-8"));

// ---- background loading -------------------------------------------------------------------------

// 300 entries over the folder: the visible cells fill with our decoder's
// pictures or the placeholders, and nothing out of sight is loaded.
TEST_F(MViewTest, AFolderLoadsItsVisibleCellsInTheBackground) {
  const Folder& f = TestFolder();
  view->SetGridWidth(-1);
  Fill(300);
  int32_t allDisplayed = 0;
  view->OnAllDisplayed = [&](TObject*) { ++allDisplayed; };
  std::atomic<int32_t> busy{0}, most{0};
  view->DecodeHook = [&](const std::string&) {
    const int32_t now = ++busy;
    for (int32_t m = most; now > m && !most.compare_exchange_weak(m, now);) {
    }
    Sleep(10);
    --busy;
  };
  Paint();
  ASSERT_TRUE(PumpUntil([&] { return allDisplayed > 0; }));
  Paint();
  Paint();
  EXPECT_EQ(allDisplayed, 1);  // once per completion, not per repaint
  EXPECT_LE(most.load(), 5);
  for (int32_t i = 0; i < 12; ++i) {
    const std::string name = f.names[i % f.names.size()];
    ASSERT_TRUE(view->HasImage(i)) << name;
    TImageryIO io(nullptr);
    const bool decodes = name == "exif.jpg" || name == "plain.jpg" || name == "pic.png" || name == "pages.tif" ||
                         name == "anim.gif";
    EXPECT_EQ(view->ImageKind(i), decodes ? iemkImage : iemkIcon) << name;
    if (!decodes) continue;
    io.LoadFromFileAuto(f.Path(name));
    EXPECT_EQ(view->ImageOriginalWidth(i), io.IEBitmap()->GetWidth()) << name;
    EXPECT_EQ(view->ImageOriginalHeight(i), io.IEBitmap()->GetHeight()) << name;
  }
  EXPECT_FALSE(view->HasImage(299));
  // The EXIF date becomes the creation date.
  TDateTime exifDate = EncodeDate(2021, 5, 6) + EncodeTime(7, 8, 9, 0);
  EXPECT_NEAR(view->ImageCreateDate(0), exifDate, 1e-6);
  // Frames by name load at once, with the frame's delay.
  view->SetImageFileName(1, f.Path("anim.gif") + "::1");
  view->SetImageFileName(2, f.Path("pages.tif") + "::1");
  EXPECT_TRUE(view->LoadImageNow(1));
  EXPECT_TRUE(view->LoadImageNow(2));
  EXPECT_EQ(view->ImageDelayTime(1), 200.0);
  EXPECT_EQ(view->ImageOriginalWidth(2), 50);
}

// Scrolling through quickly: never more loaders than the pool, and once the
// starter has run none is left working for a cell out of sight.
TEST_F(MViewTest, ScrollingAwayAbortsTheLoadsOfHiddenCells) {
  view->SetGridWidth(-1);
  Fill(160);
  std::atomic<int32_t> busy{0}, most{0};
  view->DecodeHook = [&](const std::string&) {
    const int32_t now = ++busy;
    for (int32_t m = most; now > m && !most.compare_exchange_weak(m, now);) {
    }
    Sleep(30);
    --busy;
  };
  for (int32_t y = 0; y < view->ExtentY(); y += 800) {
    view->SetViewY(y);
    Paint();
  }
  EXPECT_TRUE(PumpUntil([&] {
    for (int32_t tag : view->RunningTags())
      if (tag >= 0 && !view->IsImageVisible(tag)) return false;
    return true;
  }));
  EXPECT_TRUE(PumpUntil([&] { return view->RunningLoaders() == 0 && view->QueuedLoads() == 0; }));
  EXPECT_LE(most.load(), 5);
  EXPECT_TRUE(view->HasImage(159));
  // Cells passed on the way are not all loaded.
  int32_t loaded = 0;
  for (int32_t i = 0; i < 160; ++i) loaded += view->HasImage(i);
  EXPECT_LT(loaded, 100);
}

// Loads wait at the gate while entries are inserted and deleted: each
// finished load lands on its own entry and no aborted load draws a
// placeholder.
TEST_F(MViewTest, LoadsLandOnTheirOwnEntryAcrossInsertsAndDeletes) {
  const Folder& f = TestFolder();
  view->SetGridWidth(-1);
  const std::vector<std::string> files = {"exif.jpg", "plain.jpg", "pic.png", "pages.tif", "anim.gif"};
  for (const std::string& name : files) view->SetImageFileName(view->AppendImage(), f.Path(name));
  Gate gate;
  view->DecodeHook = [&](const std::string&) { gate.Wait(); };
  int32_t wrong = 0;
  view->OnWrongImage = [&](TObject*, TIEBitmap*, int32_t, bool&) { ++wrong; };
  Paint();
  ASSERT_TRUE(PumpUntil([&] { return gate.waiting == 5; }));
  view->InsertImage(0);        // a new first entry: every load moves up one
  view->DeleteImage(3, true);  // pic.png, whose load is aborted
  auto tags = view->RunningTags();
  std::sort(tags.begin(), tags.end());
  EXPECT_EQ(tags, (std::vector<int32_t>{-2, 1, 2, 3, 4}));
  gate.Open();
  ASSERT_TRUE(PumpUntil([&] { return view->RunningLoaders() == 0; }));
  Paint();
  ASSERT_TRUE(PumpUntil([&] { return view->RunningLoaders() == 0; }));
  EXPECT_EQ(wrong, 0);
  const std::vector<std::pair<int32_t, int32_t>> sizes = {{0, 0}, {320, 240}, {300, 200}, {40, 30}, {30, 30}};
  for (int32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(view->ImageOriginalWidth(i), sizes[i].first) << i;
    EXPECT_EQ(view->ImageOriginalHeight(i), sizes[i].second) << i;
  }
}

// An entry given its picture while its file still loads keeps that picture.
TEST_F(MViewTest, ABackgroundLoadForAnEntryThatGotItsImageIsDropped) {
  const Folder& f = TestFolder();
  view->SetImageFileName(view->AppendImage(), f.Path("plain.jpg"));
  Gate gate;
  view->DecodeHook = [&](const std::string&) { gate.Wait(); };
  Paint();
  ASSERT_TRUE(PumpUntil([&] { return gate.waiting == 1; }));
  auto mine = Solid(7, 7, TRGB{9, 9, 9});
  view->SetImage(0, mine.get());
  gate.Open();
  ASSERT_TRUE(PumpUntil([&] { return view->RunningLoaders() == 0; }));
  EXPECT_EQ(view->ImageWidth(0), 7);
  EXPECT_EQ(view->ImageOriginalWidth(0), 7);
}

// Loads outlasting the one-second abort: Clear and destruction wait for
// every loader thread, which then stores nothing.
TEST_F(MViewTest, ClearAndDestructionWaitForLoadsOutlastingTheAbort) {
  for (bool destroy : {false, true}) {
    if (destroy) view = Add<TImageryMView>(form, "Second", {0, 0, 430, 340});
    Fill(9);
    Gate gate;
    view->DecodeHook = [&](const std::string&) { gate.Wait(); };
    std::atomic<int32_t> wrong{0};
    view->OnWrongImage = [&](TObject*, TIEBitmap*, int32_t, bool&) { ++wrong; };
    Paint();
    ASSERT_TRUE(PumpUntil([&] { return gate.waiting == 5; }));
    std::thread opener([&] {
      Sleep(1300);
      gate.Open();
    });
    if (destroy) {
      delete view;
      view = nullptr;
    } else {
      view->Clear();
      EXPECT_EQ(view->GetImageCount(), 0);
      EXPECT_EQ(view->RunningLoaders(), 0);
    }
    opener.join();
    EXPECT_EQ(gate.passed, 5);
    EXPECT_EQ(wrong, 0);
  }
}

// ---- snapshots --------------------------------------------------------------------------------------

// Entries with pictures, captions and parameters survive a snapshot in
// every combination of cache, compression and parameters.
TEST_F(MViewTest, SnapshotsRoundTrip) {
  for (int flags = 0; flags < 8; ++flags) {
    const bool cache = flags & 1, compressed = flags & 2, params = flags & 4;
    view->Clear();
    for (int32_t i = 0; i < 3; ++i) {
      view->AppendImage();
      auto b = Solid(40 + i, 30, TRGB{static_cast<uint8_t>(60 * i), 20, 200});
      view->SetImage(i, b.get());
      view->SetImageFileName(i, "/pictures/p" + std::to_string(i) + ".jpg");
      view->SetImageBottomText(i, "bottom \u00e4 " + std::to_string(i));
      view->SetImageTopText(i, "top");
      view->SetImageDelayTime(i, 12.5 * i);
      view->GetMIO()->GetParams(i)->JPEG_QUALITY = 50 + i;
    }
    view->SetImageID(1, 77);
    view->AppendImage();  // an entry without a picture
    Paint();              // fills the display cache
    TMemoryStream stream;
    view->SaveSnapshotToStream(stream, cache, compressed, params);
    view->Clear();
    view->AppendImage();
    stream.SetPosition(0);
    ASSERT_TRUE(view->LoadSnapshotFromStream(stream)) << flags;
    ASSERT_EQ(view->GetImageCount(), 4);
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(view->ImageWidth(i), 40 + i);
      EXPECT_EQ(view->ImageOriginalWidth(i), 40 + i);
      TIEBitmap* b = view->GetBitmap(i);
      ASSERT_TRUE(b);
      EXPECT_EQ(b->GetPixel24(5, 5).b, 60 * i);
      view->ReleaseBitmap(i, false);
      EXPECT_EQ(view->ImageFileName(i), "/pictures/p" + std::to_string(i) + ".jpg");
      EXPECT_EQ(view->ImageBottomText(i), "bottom \u00e4 " + std::to_string(i));
      EXPECT_EQ(view->ImageTopText(i), "top");
      EXPECT_EQ(view->ImageDelayTime(i), 12.5 * i);
      EXPECT_EQ(view->GetMIO()->GetParams(i)->JPEG_QUALITY, params ? 50 + i : 80) << flags;
    }
    EXPECT_EQ(view->ImageID(1), 77);
    EXPECT_FALSE(view->HasImage(3));
    Paint();
    EXPECT_EQ(Probe(4 + 50, 54), RGB(200, 20, 0));
  }
}

// A version-5 snapshot written here by hand: no side gap or text margin, no
// tags, no check states, old caption records.
TEST_F(MViewTest, AVersionFiveSnapshotLoads) {
  TMemoryStream stream;
  IESaveAnsiStringToStream(stream, "MVIEWSNAPSHOT");
  const uint8_t header[] = {5, 0};
  stream.WriteBuffer(header, 2);
  for (int32_t v : {120, 90, 3, 4}) IEWriteInt32LE(stream, v);
  const uint8_t storeType = ietThumb;
  stream.WriteBuffer(&storeType, 1);
  TIEVirtualImageList list("T", false);
  auto b = Solid(12, 9, TRGB{1, 2, 3});
  list.AddBitmap(*b);
  list.SaveToStream(stream);
  const uint8_t noCache = 0;
  stream.WriteBuffer(&noCache, 1);
  IEWriteInt32LE(stream, 1);
  IEWriteInt32LE(stream, 0);           // image 0
  IEWriteInt32LE(stream, 0x123456);    // background
  IESaveWideStringToStream(stream, "/old/file.png");
  IEWriteInt32LE(stream, -1);          // ID
  const double delay = 40;             // a double from version 5 on
  stream.WriteBuffer(&delay, 8);
  for (const char* caption : {"top", "info", "bottom"}) {
    const uint8_t zero = 0;
    stream.WriteBuffer(&zero, 1);
    IESaveWideStringToStream(stream, caption);
    stream.WriteBuffer(&zero, 1);
    IEWriteInt32LE(stream, 0);
    IEWriteInt32LE(stream, 0);
    IESaveAnsiStringToStream(stream, "Arial");
    const uint8_t tail[] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
    stream.WriteBuffer(tail, 2);
    IEWriteInt32LE(stream, 0);
    stream.WriteBuffer(tail, 3);
  }
  const uint8_t noParams = 0;
  stream.WriteBuffer(&noParams, 1);
  stream.SetPosition(0);
  ASSERT_TRUE(view->LoadSnapshotFromStream(stream));
  ASSERT_EQ(view->GetImageCount(), 1);
  EXPECT_EQ(view->ImageDelayTime(0), 40.0);
  EXPECT_EQ(view->ImageTopText(0), "top");
  EXPECT_EQ(view->ImageInfoText(0), "info");
  EXPECT_EQ(view->ImageBottomText(0), "bottom");
  EXPECT_EQ(view->ImageWidth(0), 12);
  EXPECT_EQ(view->StoreType(), ietThumb);
  EXPECT_EQ(view->ThumbHeight(), 90);
}

// What is not a sound snapshot: a wrong magic keeps the view as it is;
// anything else damaged leaves an empty view, never a half-built entry.
TEST_F(MViewTest, DamagedSnapshotsAreRefused) {
  // An empty view's snapshot ends with its entry count.
  TMemoryStream empty;
  view->SaveSnapshotToStream(empty, false, false, false);
  std::string hugeCount(static_cast<const char*>(empty.Memory()), static_cast<size_t>(empty.Size()));
  hugeCount.replace(hugeCount.size() - 4, 4, "\xff\xff\xff\x7f");
  for (int32_t i = 0; i < 3; ++i) {
    view->AppendImage();
    auto b = Solid(10, 10, TRGB{5, 5, 5});
    view->SetImage(i, b.get());
    view->SetImageBottomText(i, "caption");
  }
  TMemoryStream good;
  view->SaveSnapshotToStream(good, true, false, true);
  const std::string bytes(static_cast<const char*>(good.Memory()), static_cast<size_t>(good.Size()));
  auto load = [&](std::string data) {
    TIEMemStream stream(reinterpret_cast<const uint8_t*>(data.data()), static_cast<int64_t>(data.size()));
    return view->LoadSnapshotFromStream(stream);
  };
  std::string wrongMagic = bytes;
  wrongMagic[5] = 'X';
  EXPECT_FALSE(load(wrongMagic));
  EXPECT_EQ(view->GetImageCount(), 3);
  std::string version9 = bytes;
  version9[17] = 9;
  struct Case {
    const char* what;
    std::string data;
  };
  std::vector<Case> cases = {{"version 9", version9},
                             {"cut in the store", bytes.substr(0, 60)},
                             {"cut in the last entry", bytes.substr(0, bytes.size() - 3)},
                             {"a compression flag of 7", bytes.substr(0, 18) + '\x07' + bytes.substr(19)},
                             {"two thousand million entries", hugeCount}};
  for (const Case& c : cases) {
    view->AppendImage();
    EXPECT_FALSE(load(c.data)) << c.what;
    EXPECT_EQ(view->GetImageCount(), 0) << c.what;
  }
}

}  // namespace
