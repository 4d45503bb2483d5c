// The processing component attached to an image view through its link:
// operations on the view's current layer and selection, image undo that
// finds its layer by identity, layer records and view state restored, and
// the framework image control as the bitmap's home.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/processing/imageryproc_component.h"
#include "platform/forms/extctrls.h"

namespace {

GUID Identity(uint8_t n) {
  GUID guid{};
  guid.Data1 = n;
  guid.Data4[7] = n;
  return guid;
}

// A view with layers of identity, bitmap and position, a selection and a
// selection state kept as text.
class TFakeView : public TIEProcViewLink {
public:
  struct TLayer {
    GUID Id;
    std::unique_ptr<TIEBitmap> Bitmap;
    int32_t PosX = 0;
  };
  std::vector<TLayer> Layers;
  int32_t Current = 0;
  TIEMask Mask;
  bool IsSelected = false;
  std::vector<POINT> Outline;
  std::string SelectionState = "none";
  TColor Back = 0x112233;
  int updates = 0, changes = 0;

  int32_t AddLayer(uint8_t id, uint8_t value) {
    TLayer layer{Identity(id), std::make_unique<TIEBitmap>(6, 4, ie8g), 0};
    layer.Bitmap->Fill(value);
    Layers.push_back(std::move(layer));
    return static_cast<int32_t>(Layers.size()) - 1;
  }
  uint8_t Pixel(int32_t layer, int32_t x = 0, int32_t y = 0) { return Layers[layer].Bitmap->GetScanline(y)[x]; }

  TIEBitmap* GetIEBitmap() override { return Layers[Current].Bitmap.get(); }
  TColor Background() override { return Back; }
  void SetBackground(TColor color) override { Back = color; }
  void Update() override { ++updates; }
  void ImageChange() override { ++changes; }
  TIEMask* SelectionMask() override { return &Mask; }
  bool Selected() override { return IsSelected; }
  const POINT* SelectionPoints(int32_t& count) override {
    count = static_cast<int32_t>(Outline.size());
    return Outline.data();
  }
  bool CurrentLayerIdentity(GUID& identity) override {
    identity = Layers[Current].Id;
    return true;
  }
  TIEBitmap* LayerBitmap(const GUID& identity) override {
    for (TLayer& layer : Layers)
      if (layer.Id == identity) return layer.Bitmap.get();
    return nullptr;
  }
  // Record: length, identity, position.
  bool SaveLayerRecords(TStream& stream, bool) override {
    for (TLayer& layer : Layers) {
      const int32_t length = 4 + 16 + 4;
      stream.WriteBuffer(&length, 4);
      stream.WriteBuffer(&layer.Id, 16);
      stream.WriteBuffer(&layer.PosX, 4);
    }
    return true;
  }
  bool LoadLayerRecord(const GUID& identity, TStream& stream) override {
    for (TLayer& layer : Layers)
      if (layer.Id == identity) {
        stream.SetPosition(stream.Position() + 20);
        stream.ReadBuffer(&layer.PosX, 4);
        return true;
      }
    return false;
  }
  bool SaveState(TIEUndoSource source, TStream& stream) override {
    if (source != ieuSelection) return false;
    stream.WriteBuffer(SelectionState.data(), static_cast<int32_t>(SelectionState.size()));
    return true;
  }
  void LoadState(TIEUndoSource, TStream& stream) override {
    SelectionState.resize(static_cast<size_t>(stream.Size()));
    stream.ReadBuffer(SelectionState.data(), static_cast<int32_t>(stream.Size()));
  }
};

TEST(ProcViewTest, WorksOnTheCurrentLayerAndTellsTheView) {
  TFakeView view;
  view.AddLayer(1, 10);
  view.AddLayer(2, 20);
  TImageryProc proc(nullptr);
  proc.SetAttachedImagery(&view);
  view.Current = 1;
  proc.Fill(TRGB{0, 0, 0});
  EXPECT_EQ(view.Pixel(0), 10);
  EXPECT_EQ(view.Pixel(1), 0);
  EXPECT_EQ(view.updates, 1);
  EXPECT_EQ(view.changes, 1);
  // The view replaces the bitmap object of the current layer: the next operation uses the new one.
  view.Layers[1].Bitmap = std::make_unique<TIEBitmap>(3, 3, ie8g);
  EXPECT_EQ(proc.GetBitmap(), view.Layers[1].Bitmap.get());
  proc.Fill(TRGB{7, 7, 7});
  EXPECT_EQ(view.Pixel(1, 2, 2), 7);
  EXPECT_EQ(view.changes, 2);
  // The background is the view's, both ways.
  EXPECT_EQ(proc.Background(), view.Back);
  proc.SetBackground(0x445566);
  EXPECT_EQ(view.Back, 0x445566);
  // A larger canvas is filled with the view's background, not the component's own.
  view.Layers[1].Bitmap = std::make_unique<TIEBitmap>(1, 1, ie24RGB);
  proc.ImageResize(2, 1, 0, 0, 255);
  const TRGB added = view.Layers[1].Bitmap->GetPixel24(1, 0);
  EXPECT_EQ(RGB(added.r, added.g, added.b), 0x445566u);
  // Detaching gives an own empty bitmap.
  proc.SetAttachedImagery(nullptr);
  EXPECT_NE(proc.GetBitmap(), view.Layers[1].Bitmap.get());
  EXPECT_EQ(proc.GetBitmap()->GetWidth(), 0);
}

TEST(ProcViewTest, SelectionOfTheViewLimitsTheWork) {
  TFakeView view;
  view.AddLayer(1, 50);
  TImageryProc proc(nullptr);
  proc.SetAttachedImagery(&view);
  int32_t x1, y1, x2, y2;
  TIEMask* mask = nullptr;
  const POINT* points = nullptr;
  int32_t count = -1;
  // Nothing selected: the whole image, with the view's mask and no outline,
  // even while the view still holds the points of an old selection.
  view.Outline = {{2, 1}, {4, 1}, {4, 2}, {2, 2}};
  EXPECT_FALSE(proc.GetSelectionArea(x1, y1, x2, y2, points, count, mask));
  EXPECT_EQ(mask, &view.Mask);
  EXPECT_EQ(x2, 6);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(points, nullptr);
  // Selected with an empty mask: true and the whole image.
  view.IsSelected = true;
  view.Mask.Allocate(6, 4, 1);
  EXPECT_TRUE(proc.GetSelectionArea(x1, y1, x2, y2, mask));
  EXPECT_EQ(x1, 0);
  EXPECT_EQ(y2, 4);
  view.Mask.FillSpan(1, 2, 3, 1);
  view.Mask.RecalcBoundingBox();
  EXPECT_TRUE(proc.GetSelectionArea(x1, y1, x2, y2, points, count, mask));
  EXPECT_EQ((std::vector<int32_t>{x1, y1, x2, y2}), (std::vector<int32_t>{2, 1, 4, 2}));
  // The outline is the view's selection polygon.
  ASSERT_EQ(count, 4);
  EXPECT_EQ(points, view.Outline.data());
  proc.Fill(TRGB{255, 255, 255});
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 6; ++x) EXPECT_EQ(view.Pixel(0, x, y), y == 1 && x >= 2 && x <= 3 ? 255 : 50);
}

TEST(ProcViewTest, ImageUndoFindsItsLayerByIdentity) {
  TFakeView view;
  view.AddLayer(1, 10);
  view.AddLayer(2, 20);
  view.AddLayer(3, 30);
  TImageryProc proc(nullptr);
  proc.AutoUndo = true;
  proc.SetUndoLimit(2);
  proc.SetAttachedImagery(&view);
  view.Current = 1;
  proc.Fill(TRGB{1, 1, 1});
  GUID recorded{};
  ASSERT_TRUE(proc.GetUndoLayer(0, recorded));
  EXPECT_TRUE(recorded == Identity(2));
  // A layer is inserted before it: the undo still reaches layer 2, now at index 2.
  view.Layers.insert(view.Layers.begin() + 1, TFakeView::TLayer{Identity(9), std::make_unique<TIEBitmap>(6, 4, ie8g)});
  view.Layers[1].Bitmap->Fill(90);
  view.Current = 0;
  proc.Undo(false);
  EXPECT_EQ(view.Pixel(2), 20);
  EXPECT_EQ(view.Pixel(0), 10);
  EXPECT_EQ(view.Pixel(1), 90);
  EXPECT_EQ(view.Pixel(3), 30);
  // The layer is removed: the undo touches no other layer.
  proc.ClearAllUndo();
  view.Current = 2;
  proc.Fill(TRGB{2, 2, 2});
  view.Layers.erase(view.Layers.begin() + 2);
  view.Current = 1;
  const int updates = view.updates;
  proc.Undo(false);
  EXPECT_EQ(view.Pixel(0), 10);
  EXPECT_EQ(view.Pixel(1), 90);
  EXPECT_EQ(view.Pixel(2), 30);
  EXPECT_EQ(view.updates, updates);
  // Redo entries carry the identity of the layer current at the undo.
  proc.ClearAllUndo();
  proc.Fill(TRGB{3, 3, 3});
  proc.Undo(true);
  view.Current = 0;
  proc.Redo();
  EXPECT_EQ(view.Pixel(1), 3);
  EXPECT_EQ(view.Pixel(0), 10);
}

TEST(ProcViewTest, LayerRecordsAndViewStateComeBack) {
  TFakeView view;
  view.AddLayer(1, 10);
  view.AddLayer(2, 20);
  view.Layers[0].PosX = 5;
  view.Layers[1].PosX = 7;
  TImageryProc proc(nullptr);
  proc.SetUndoLimit(3);
  proc.SetAttachedImagery(&view);
  proc.SaveUndo(ieuLayer);
  proc.SaveUndo(ieuSelection);
  EXPECT_EQ(proc.UndoCount(), 2);
  view.SelectionState = "rectangle";
  view.Layers[0].PosX = 50;
  view.Layers[1].PosX = 70;
  view.AddLayer(3, 30);
  view.Layers[2].PosX = 9;
  proc.Undo(false);  // the selection
  EXPECT_EQ(view.SelectionState, "none");
  EXPECT_EQ(view.Layers[0].PosX, 50);
  const int updates = view.updates;
  proc.UndoAt(1, false);  // the layers
  EXPECT_EQ(view.Layers[0].PosX, 5);
  EXPECT_EQ(view.Layers[1].PosX, 7);
  EXPECT_EQ(view.Layers[2].PosX, 9);  // not in the entry: kept
  EXPECT_EQ(view.updates, updates + 1);
  // Records of a removed layer are skipped; the rest still load.
  view.Layers.erase(view.Layers.begin());
  view.Layers[0].PosX = 0;
  proc.UndoAt(1, false);
  EXPECT_EQ(view.Layers[0].PosX, 7);
  // A source the view does not keep makes no entry, but is heard.
  int heard = 0;
  proc.OnSaveUndo = [&](TObject*, TIEUndoSource) { ++heard; };
  proc.SaveUndo(ieuObject);
  EXPECT_EQ(proc.UndoCount(), 2);
  EXPECT_EQ(heard, 1);
}

// A record whose length the stream cannot hold ends the walk instead of looping or reading past the end.
class TBrokenRecordView : public TFakeView {
public:
  int32_t Length = 0;
  bool SaveLayerRecords(TStream& stream, bool) override {
    stream.WriteBuffer(&Length, 4);
    GUID id = Identity(1);
    stream.WriteBuffer(&id, 16);
    stream.WriteBuffer(&id, 4);
    return true;
  }
};

TEST(ProcViewTest, UnsoundLayerRecordsLoadNothing) {
  for (int32_t length : {0, -24, 19, 25, 1 << 30}) {
    TBrokenRecordView view;
    view.Length = length;
    view.AddLayer(1, 10);
    view.Layers[0].PosX = 3;
    TImageryProc proc(nullptr);
    proc.SetAttachedImagery(&view);
    proc.SaveUndo(ieuLayer);
    view.Layers[0].PosX = 4;
    proc.Undo(false);
    EXPECT_EQ(view.Layers[0].PosX, 4) << length;
  }
}

TEST(ProcTImageTest, PictureIsSeenAnewAndRepainted) {
  TImage image(nullptr);
  TBitmap* picture = image.Picture()->Bitmap();
  picture->SetPixelFormat(pf24bit);
  picture->SetSize(8, 5);
  TImageryProc proc(nullptr);
  proc.SetAttachedTImage(&image);
  EXPECT_EQ(proc.AttachedTImage(), &image);
  proc.Fill(TRGB{10, 20, 30});
  EXPECT_EQ(static_cast<uint8_t*>(picture->ScanLine(4))[0], 10);
  EXPECT_EQ(static_cast<uint8_t*>(picture->ScanLine(0))[2], 30);
  EXPECT_TRUE(picture->Modified());
  // Resized from outside: the next operation sees the new size.
  picture->SetSize(12, 3);
  proc.Fill(TRGB{1, 2, 3});
  EXPECT_EQ(proc.GetBitmap()->GetWidth(), 12);
  EXPECT_EQ(static_cast<uint8_t*>(picture->ScanLine(2))[11 * 3], 1);
  // Attaching a bitmap of the caller's lets the picture go.
  TIEBitmap own(4, 4, ie24RGB);
  proc.SetAttachedBitmap(&own);
  EXPECT_EQ(proc.AttachedTImage(), nullptr);
}

TEST(ProcTImageTest, DestroyedImageIsForgotten) {
  TImageryProc proc(nullptr);
  {
    TImage image(nullptr);
    image.Picture()->Bitmap()->SetPixelFormat(pf24bit);
    image.Picture()->Bitmap()->SetSize(4, 4);
    proc.SetAttachedTImage(&image);
  }
  EXPECT_EQ(proc.AttachedTImage(), nullptr);
  proc.Fill(TRGB{1, 1, 1});  // on the empty own bitmap: nothing to do, nothing freed touched
  EXPECT_EQ(proc.GetBitmap()->GetWidth(), 0);
}

}  // namespace

namespace {

TEST(ProcCreateTest, DefaultsOfANewComponent) {
  TComponent owner(nullptr);
  auto* owned = new TImageryProc(&owner);
  EXPECT_TRUE(owned->AutoUndo);
  TImageryProc proc(nullptr);
  EXPECT_FALSE(proc.AutoUndo);
  EXPECT_TRUE(proc.AutoConvertFormat);
  EXPECT_EQ(proc.UndoLimit(), 1);
  EXPECT_EQ(proc.PreviewsParams, (TPRPreviewsParams{prppShowResetButton, prppHardReset}));
  EXPECT_EQ(proc.ImageryVersion(), "6.0.0");
  EXPECT_EQ(proc.IPDialogParams().RESIZE_PERCENT, 50);
  // Assigning the preview font copies it: the component keeps its own object.
  TFont font;
  font.SetSize(23);
  TFont* kept = proc.PreviewFont();
  proc.SetPreviewFont(&font);
  EXPECT_EQ(proc.PreviewFont(), kept);
  EXPECT_EQ(kept->Size(), 23);
}

}  // namespace
