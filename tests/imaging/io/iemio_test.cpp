// The multi-image I/O component: its parameter sets follow every change of
// the viewer's image list (insert, delete, move, exchange, group move), it
// attaches to and leaves viewers safely, and its previews, acquisition and
// work events answer as they must without a viewer.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "imaging/io/iemio.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/view/ieview.h"
#include "imaging/view/imageryview.h"
#include "platform/display/headless.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

// A thumbnail viewer's list as the component sees it: a count of images and
// the change that the last notification announces.
class ListViewer : public TIEView, public TIEMViewImages {
public:
  explicit ListViewer(int32_t count) : TIEView(nullptr), count_(count) {}
  TIEBitmap* GetAlphaChannel() override { return nullptr; }
  bool HasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}
  void BeginPaintLock() override {}
  int32_t EndPaintLock() override { return 0; }
  int32_t EndPaintLockNoRefresh() override { return 0; }

  int32_t ImageCount() override { return count_; }
  int32_t GetLastChangeKind() override { return change_.Kind; }
  int32_t GetLastChangeIndex() override { return change_.Index; }
  int32_t GetLastChangeTarget() override { return change_.Target; }
  std::vector<int32_t> GetLastChangeIndexes() override { return change_.Indexes; }

  // Announces a change to the registered handlers, as the viewer does after each.
  void Announce(const TIEMViewChange& change, int32_t newCount) {
    change_ = change;
    count_ = newCount;
    NotifyBitmapChangeHandlers();
    change_ = TIEMViewChange{};
  }

private:
  int32_t count_;
  TIEMViewChange change_;
};

// The component's sets named by letter: "A".."E" for the first ones (each
// with its own JPEG quality, 10 for A, 20 for B...), "n" for a new one.
class Lettered {
public:
  Lettered(TImageryMIO& mio, int32_t count) : mio_(mio) {
    ListViewer viewer(count);
    mio.SetAttachedMView(&viewer);
    mio.SetAttachedMView(nullptr);
    for (int32_t i = 0; i < count; ++i) {
      mio.GetParams(i)->JPEG_QUALITY = 10 * (i + 1);
      originals_.push_back(mio.GetParams(i));
    }
  }
  std::string Order() const {
    std::string order;
    for (int32_t i = 0; i < mio_.ParamsCount(); ++i) {
      const TIOParamsVals* p = mio_.GetParams(i);
      char letter = 'n';
      for (size_t k = 0; k < originals_.size(); ++k)
        if (originals_[k] == p) letter = static_cast<char>('A' + k);
      order += letter;
    }
    return order;
  }

private:
  TImageryMIO& mio_;
  std::vector<const TIOParamsVals*> originals_;
};

TEST(MultiImageIO, ParameterSetsFollowEveryKindOfChange) {
  struct Case {
    const char* what;
    int32_t count;
    int32_t kind, index, target;
    std::initializer_list<int32_t> group;
    const char* order;
    int32_t newQuality;  // JPEG quality of the new set, when one was inserted
  };
  const Case cases[] = {
      {"insert inside copies the image at the index", 3, iemcInsert, 1, 0, {}, "AnBC", 20},
      {"insert at the end copies the last", 3, iemcInsert, 3, 0, {}, "ABCn", 30},
      {"insert at the start", 3, iemcInsert, 0, 0, {}, "nABC", 10},
      {"insert into an empty list has defaults", 0, iemcInsert, 0, 0, {}, "n", 80},
      {"delete", 3, iemcDelete, 1, 0, {}, "AC", 0},
      {"delete past the end", 3, iemcDelete, 3, 0, {}, "ABC", 0},
      {"delete at a negative index", 3, iemcDelete, -1, 0, {}, "ABC", 0},
      {"move forward", 4, iemcMove, 0, 2, {}, "BCAD", 0},
      {"move back", 4, iemcMove, 3, 1, {}, "ADBC", 0},
      {"move past the end appends", 4, iemcMove, 1, 9, {}, "ACDB", 0},
      {"move from outside the list", 4, iemcMove, 4, 0, {}, "ABCD", 0},
      {"move to a negative place", 4, iemcMove, 1, -1, {}, "ABCD", 0},
      {"move onto itself", 4, iemcMove, 2, 2, {}, "ABCD", 0},
      {"exchange", 4, iemcExchange, 0, 3, {}, "DBCA", 0},
      {"exchange with a place outside", 4, iemcExchange, 0, 4, {}, "ABCD", 0},
      {"group moved forward", 5, iemcMoveGroup, 0, 4, {0, 1}, "CDABE", 0},
      {"group moved back, in the given order", 5, iemcMoveGroup, 0, 0, {3, 1}, "DBACE", 0},
      {"group moved past the end", 5, iemcMoveGroup, 0, 9, {0, 2}, "BDEAC", 0},
      {"group with indexes outside the list", 5, iemcMoveGroup, 0, 0, {7, -1, 4}, "EABCD", 0},
      {"group named twice", 5, iemcMoveGroup, 0, 5, {1, 1}, "ACDEB", 0},
      {"no change", 3, iemcNone, 1, 2, {}, "ABC", 0},
      {"an unknown kind", 3, 9, 1, 2, {}, "ABC", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TImageryMIO mio(nullptr);
    Lettered sets(mio, c.count);
    mio.ApplyViewerChange(TIEMViewChange{c.kind, c.index, c.target, std::vector<int32_t>(c.group)});
    const std::string order = sets.Order();
    EXPECT_EQ(order, c.order);
    const size_t at = order.find('n');
    if (at != std::string::npos) {
      EXPECT_EQ(mio.GetParams(static_cast<int32_t>(at))->JPEG_QUALITY, c.newQuality);
    }
    EXPECT_EQ(mio.GetParams(-1), nullptr);
    EXPECT_EQ(mio.GetParams(mio.ParamsCount()), nullptr);
  }
}

TEST(MultiImageIO, AttachingMakesOneSetPerImageAndFollowsTheViewer) {
  TImageryMIO mio(nullptr);
  {
    ListViewer first(1);
    mio.SetAttachedMView(&first);
    mio.GetParams(0)->JPEG_QUALITY = 55;
    mio.GetParams(0)->TIFF_COMPRESSION = 5;
    mio.GetParams(0)->DPIX = 300;
  }
  EXPECT_EQ(mio.AttachedMView(), nullptr) << "a destroyed viewer is forgotten";

  ListViewer viewer(4);
  mio.SetAttachedMView(&viewer);
  EXPECT_EQ(viewer.ChangeHandlerCount(), 1);
  ASSERT_EQ(mio.ParamsCount(), 4);
  for (int32_t i = 1; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(mio.GetParams(i)->JPEG_QUALITY, 55) << "each a copy of the previous one's compression";
    EXPECT_EQ(mio.GetParams(i)->TIFF_COMPRESSION, 5);
    EXPECT_NE(mio.GetParams(i)->DPIX, 300) << "only the compression is copied";
  }

  // The viewer's notifications reach the sets.
  const TIOParamsVals* third = mio.GetParams(2);
  viewer.Announce({iemcInsert, 0, 0, {}}, 5);
  viewer.Announce({iemcMoveGroup, 0, 0, {3}}, 5);
  EXPECT_EQ(mio.ParamsCount(), 5);
  EXPECT_EQ(mio.GetParams(0), third) << "the set moved with its image";
  viewer.Announce({iemcDelete, 0, 0, {}}, 4);
  EXPECT_EQ(mio.ParamsCount(), 4);
  EXPECT_NE(mio.GetParams(0), third);

  mio.SetAttachedMView(nullptr);
  EXPECT_EQ(viewer.ChangeHandlerCount(), 0) << "leaving unregisters";
  viewer.Announce({iemcDelete, 0, 0, {}}, 3);
  EXPECT_EQ(mio.ParamsCount(), 4) << "changes of a viewer left are not heard";
}

TEST(MultiImageIO, ViewerAndComponentOutliveEachOtherInEitherOrder) {
  display::SetActiveBackend(display::CreateHeadlessBackend());
  // The component goes first: the viewer keeps no handler of it.
  auto* viewer = new ListViewer(2);
  auto* mio = new TImageryMIO(nullptr);
  mio->SetAttachedMView(viewer);
  delete mio;
  EXPECT_EQ(viewer->ChangeHandlerCount(), 0);
  delete viewer;

  // The viewer owns the component, as a thumbnail viewer does.
  viewer = new ListViewer(2);
  mio = new TImageryMIO(viewer);
  mio->SetAttachedMView(viewer);
  delete viewer;

  // A viewer that keeps no image list: no sets, yet a registered handler.
  auto* plain = new TImageryView(nullptr);
  TImageryMIO other(nullptr);
  other.SetAttachedMView(plain);
  EXPECT_EQ(other.ParamsCount(), 0);
  EXPECT_EQ(plain->ChangeHandlerCount(), 1);
  plain->NotifyBitmapChangeHandlers();
  delete plain;
  EXPECT_EQ(other.AttachedMView(), nullptr);
}

TEST(MultiImageIO, PreviewsWithoutAViewer) {
  struct Case {
    int32_t index;
    bool handle;
    bool expected;
  };
  const Case cases[] = {
      {-9, true, false},  // the selected image needs a viewer, handled or not
      {-9, false, false}, {0, true, true}, {-7, true, true}, {-1, true, true}, {0, false, false}, {-1, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.index << (c.handle ? " handled" : ""));
    TImageryMIO mio(nullptr);
    int32_t asked = 0;
    mio.OnDoPreviews = [&](TObject* sender, bool& handled) {
      EXPECT_EQ(sender, &mio);
      ++asked;
      handled = c.handle;
    };
    EXPECT_EQ(mio.DoPreviews(c.index, 1), c.expected);
    EXPECT_EQ(asked, 1) << "the handler is asked first";
  }
  TImageryMIO bare(nullptr);
  EXPECT_FALSE(bare.DoPreviews(0, 1));
}

TEST(MultiImageIO, WorkAndAcquisitionEvents) {
  TImageryMIO mio(nullptr);
  std::vector<std::string> log;
  mio.OnProgress = [&](TObject*, int32_t percent) { log.push_back("progress " + std::to_string(percent)); };
  mio.OnFinishWork = [&](TObject*) { log.push_back("finish"); };
  mio.OnAcquireClose = [&](TObject*) { log.push_back(mio.Acquiring() ? "close while acquiring" : "close"); };
  mio.OnAcquireBitmap = [&](TObject*, TIEBitmap* bitmap, int32_t dpiX, int32_t dpiY, bool&) {
    log.push_back("acquired " + std::to_string(dpiX) + "x" + std::to_string(dpiY) + (bitmap ? "" : " nothing"));
  };
  mio.DoFinishWork();
  mio.SetAcquiring(true);
  mio.DoAcquireClose();
  TIOParamsVals* params = nullptr;
  TIEBitmap bitmap;
  mio.DoAcquireBitmap(&bitmap, params, 200, 100);
  EXPECT_EQ(log, (std::vector<std::string>{"progress 100", "finish", "close", "acquired 200x100"}));
  EXPECT_EQ(params, nullptr) << "without a viewer the image is not taken";
  EXPECT_EQ(mio.ParamsCount(), 0);

  mio.SetAborting(true);
  EXPECT_TRUE(mio.Aborting());
  EXPECT_EQ(mio.ImageryVersion(), "6.0.0");
}

// The save dialog offers only formats that hold several images when all are saved.
using MultiImageFormats = iotest::IOTest;

TEST_F(MultiImageFormats, OnlyTheseOfferedWhenSavingAllImages) {
  IESetCodecTable({});  // the built-in codecs decide what can be written
  for (int32_t id = -1; id <= 40; ++id) {
    const bool multi = id == 1 || id == 2 || id == 6 || id == 15 || id == 17 || id == 18 || id == 19 || id == 28;
    EXPECT_EQ(IEIsMultiImageFormat(id), multi) << id;
  }
  const std::string all = IEBuildFilter(true, iesfAll, -1, false), multi = IEBuildFilter(true, iesfAll, -1, true);
  for (const char* ext : {"*.tif", "*.gif", "*.ico", "*.dcx", "*.ps", "*.eps", "*.pdf"}) {
    EXPECT_NE(multi.find(ext), std::string::npos) << ext;
    EXPECT_NE(all.find(ext), std::string::npos) << ext;
  }
  for (const char* ext : {"*.jpg", "*.png", "*.bmp"}) {
    EXPECT_NE(all.find(ext), std::string::npos) << ext;
    EXPECT_EQ(multi.find(ext), std::string::npos) << ext;
  }
}

}  // namespace
