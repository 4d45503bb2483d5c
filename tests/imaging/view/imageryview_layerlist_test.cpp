// The view's layer list and compositing: the current layer and its bitmap,
// adding, removing and clearing layers, hit tests, layer files through the
// view, and the pixels the stack composes to.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/view/layer_test_support.h"
#include "tests/imaging/view/view_test_support.h"

namespace {

constexpr TIEColor kGreen = 0x00FF00;

class ViewLayersTest : public ViewTest {
protected:
  void SetUp() override {
    ViewTest::SetUp();
    view->SetBackground(kGreen);
    MakeImage(8, 6, [](int32_t, int32_t) { return TRGB{0, 0, 255}; });  // red
    view->GetLayer(0)->Name = "bg";
  }

  // Adds a named w x h layer of one colour at (x, y) and makes it current.
  TIELayer& Add(const std::string& name, int32_t w, int32_t h, int32_t x, int32_t y, TRGB colour) {
    view->AddLayer(w, h, ie24RGB, x, y);
    TIELayer& layer = *view->GetCurrentLayer();
    layer.Name = name;
    for (int32_t j = 0; j < h; ++j)
      for (int32_t i = 0; i < w; ++i) layer.Bitmap->SetPixel24(i, j, colour);
    return layer;
  }

  std::string Names() {
    std::string names;
    for (int32_t i = 0; i < view->GetLayerCount(); ++i) names += (i ? "," : "") + view->GetLayer(i)->Name;
    return names;
  }

  // The current bitmap is the current layer's (the invariant every operation keeps).
  void ExpectSound() {
    ASSERT_GE(view->CurrentLayerIndex(), 0);
    ASSERT_LT(view->CurrentLayerIndex(), view->GetLayerCount());
    EXPECT_EQ(view->GetIEBitmap(), view->GetCurrentLayer()->Bitmap);
  }

  // The stack merged at 100 %.
  std::unique_ptr<TIEBitmap> Merged() {
    auto merged = std::make_unique<TIEBitmap>(1, 1, ie24RGB);
    view->DrawLayersToBitmap(*merged);
    return merged;
  }
};

const TRGB kWhite{255, 255, 255}, kRed{0, 0, 255}, kBlue{255, 0, 0};

}  // namespace

TEST_F(ViewLayersTest, NewLayerCopiesTheGeometryAndShowsTheBackground) {
  view->GetIEBitmap()->GetAlphaChannel()->Fill(9);
  const int32_t index = view->AddLayer();
  EXPECT_EQ(index, 1);
  EXPECT_EQ(view->CurrentLayerIndex(), 1);
  ExpectSound();
  TIEBitmap& b = *view->GetIEBitmap();
  EXPECT_EQ(b.GetWidth(), 8);
  EXPECT_EQ(b.GetHeight(), 6);
  EXPECT_EQ(b.GetPixelFormat(), ie24RGB);
  EXPECT_FALSE(b.HasAlphaChannel());
  EXPECT_EQ(b.GetPixel24(7, 5), (TRGB{0, 255, 0}));
  EXPECT_EQ(view->GetLayer(0)->Bitmap->GetPixel24(7, 5), kRed);  // layer 0 untouched
  EXPECT_THROW(view->GetLayer(2), EListError);
}

TEST_F(ViewLayersTest, UnselectableLayersPassTheChoiceDown) {
  Add("a", 2, 2, 0, 0, kWhite);
  Add("b", 2, 2, 0, 0, kWhite);
  Add("c", 2, 2, 0, 0, kWhite);
  struct Case {
    const char* what;
    std::vector<bool> selectable;  // layers 0..3
    bool honour;
    int32_t asked, expected;
  };
  const Case cases[] = {
      {"selectable layer", {true, true, true, true}, true, 2, 2},
      {"nearest selectable below", {true, true, false, false}, true, 3, 1},
      {"down to layer 0 even when it is unselectable", {false, false, false, false}, true, 3, 0},
      {"flags ignored when not honoured", {true, false, false, false}, false, 2, 2},
      {"out of range changes nothing", {true, true, true, true}, true, 7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    view->LayersHonourSelectable = true;
    view->SetCurrentLayer(0);
    for (int32_t i = 0; i < 4; ++i) view->GetLayer(i)->Selectable = c.selectable[static_cast<size_t>(i)];
    view->LayersHonourSelectable = c.honour;
    view->SetCurrentLayer(c.asked);
    EXPECT_EQ(view->CurrentLayerIndex(), c.expected);
    ExpectSound();
  }
}

TEST_F(ViewLayersTest, RemovingLayersKeepsTheCurrentOneAndTheMasks) {
  struct Case {
    const char* what;
    bool pair;  // the stack is bg, bg-mask instead of bg, a, a-mask (mask of a), b, c
    int32_t current, removed;
    const char* names;
    const char* currentName;
  };
  const Case cases[] = {
      {"below the current one", false, 3, 1, "bg,b,c", "b"},
      {"the current one", false, 3, 3, "bg,a,a-mask,c", "c"},
      {"the current top layer", false, 4, 4, "bg,a,a-mask,b", "b"},
      {"a mask goes with its layer, also when current", false, 2, 1, "bg,b,c", "b"},
      {"above the current one", false, 1, 4, "bg,a,a-mask,b", "a"},
      {"out of range", false, 3, 9, "bg,a,a-mask,b,c", "b"},
      {"layer 0", false, 3, 0, "a,a-mask,b,c", "b"},
      // A layer and its mask that are all the layers stay; the mask alone can go.
      {"layer 0 with its mask", true, 0, 0, "bg,bg-mask", "bg"},
      {"layer 0 with its mask, mask current", true, 1, 0, "bg,bg-mask", "bg-mask"},
      {"the mask of layer 0", true, 1, 1, "bg", "bg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    view->ClearLayers();
    view->GetLayer(0)->Name = "bg";
    if (c.pair) {
      Add("bg-mask", 2, 2, 0, 0, kWhite).MaskOfPrevious = true;
    } else {
      Add("a", 2, 2, 0, 0, kWhite);
      Add("a-mask", 2, 2, 0, 0, kWhite).MaskOfPrevious = true;
      Add("b", 2, 2, 0, 0, kWhite);
      Add("c", 2, 2, 0, 0, kWhite);
    }
    view->SetCurrentLayer(c.current);
    view->RemoveLayer(c.removed);
    EXPECT_EQ(Names(), c.names);
    EXPECT_EQ(view->GetCurrentLayer()->Name, c.currentName);
    ExpectSound();
  }
}

TEST_F(ViewLayersTest, TheLastLayerStaysAndClearingResetsLayerZero) {
  view->RemoveLayer(0);
  EXPECT_EQ(view->GetLayerCount(), 1);
  Add("a", 2, 2, 1, 1, kWhite);
  view->GetLayer(0)->ShowBox = true;
  view->GetLayer(0)->Alpha = 10;
  view->ClearLayers();
  EXPECT_EQ(view->GetLayerCount(), 1);
  EXPECT_EQ(view->CurrentLayerIndex(), 0);
  ExpectSound();
  TIELayer& bg = *view->GetLayer(0);
  EXPECT_FALSE(bg.ShowBox);
  EXPECT_TRUE(bg.Locked);
  EXPECT_EQ(bg.Alpha, 255);
  EXPECT_EQ(bg.Bitmap->GetPixel24(0, 0), (TRGB{0, 255, 0}));
}

TEST_F(ViewLayersTest, OpacityWeighsOnceWithOrWithoutAlpha) {
  // White at (2, 1) over red: weight 127 for opacity 0.5, 128 for alpha 128.
  struct Case {
    const char* what;
    double opacity;
    int32_t alpha;
    bool alphaChannel;
    uint8_t expected;
  };
  const Case cases[] = {
      {"opacity, no alpha channel", 0.5, 255, false, 126},
      {"opacity, opaque alpha channel", 0.5, 255, true, 126},
      {"layer alpha, no alpha channel", 1.0, 128, false, 127},
      {"layer alpha, opaque alpha channel", 1.0, 128, true, 127},
      {"both", 0.5, 128, false, 63},
      {"above 1 counts as 1", 7.0, 255, false, 255},
      {"not a number (a damaged file) draws nothing", std::nan(""), 255, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    view->ClearLayers();
    MakeImage(8, 6, [](int32_t, int32_t) { return kRed; });
    TIELayer& top = Add("top", 3, 2, 2, 1, kWhite);
    top.Opacity = c.opacity;
    top.Alpha = c.alpha;
    if (c.alphaChannel) {
      top.Bitmap->GetAlphaChannel()->Fill(255);
      top.Bitmap->GetAlphaChannel()->SetFullFlag(false);
    }
    auto merged = Merged();
    EXPECT_EQ(merged->GetPixel24(3, 2), (TRGB{c.expected, c.expected, 255}));
    EXPECT_EQ(merged->GetPixel24(1, 1), kRed);
    EXPECT_EQ(merged->GetPixel24(5, 1), kRed);
  }
}

TEST_F(ViewLayersTest, MergingPlacesScalesAndMasksLayers) {
  // A blue layer at a negative position grows the merged image to the left and top.
  TIELayer& blue = Add("blue", 2, 2, -2, -1, kBlue);
  auto merged = Merged();
  EXPECT_EQ(merged->GetWidth(), 10);
  EXPECT_EQ(merged->GetHeight(), 7);
  EXPECT_EQ(merged->GetPixel24(0, 0), kBlue);
  EXPECT_EQ(merged->GetPixel24(2, 1), kRed);   // background pixel 0, 0
  EXPECT_EQ(merged->GetPixel24(0, 6), (TRGB{0, 255, 0}));  // outside every layer
  // Clipped to the background: no growth, only its part over layer 0 shows.
  blue.ClipToBackground = true;
  merged = Merged();
  EXPECT_EQ(merged->GetWidth(), 8);
  EXPECT_EQ(merged->GetPixel24(0, 0), kRed);
  blue.ClipToBackground = false;
  blue.Visible = false;

  // A 2 x 2 white layer shown 4 x 2 at (4, 0), masked by the left half of a mask layer.
  TIELayer& white = Add("white", 2, 2, 4, 0, kWhite);
  white.Width = 4;
  TIELayer& mask = Add("mask", 4, 2, 4, 0, TRGB{});
  mask.MaskOfPrevious = true;
  mask.Visible = false;
  mask.Bitmap->ConvertToPixelFormat(ie8g);
  mask.Bitmap->FillRect(0, 0, 1, 1, 255);
  merged = Merged();
  // Blending by the masked alpha divides by 256: 255 over 0 gives 254.
  const TRGB almostWhite{254, 254, 255};
  EXPECT_EQ(merged->GetPixel24(2 + 4, 1 + 0), almostWhite);
  EXPECT_EQ(merged->GetPixel24(2 + 5, 1 + 1), almostWhite);
  EXPECT_EQ(merged->GetPixel24(2 + 6, 1 + 0), kRed);  // mask 0 there
  EXPECT_EQ(merged->GetPixel24(2 + 3, 1 + 0), kRed);
}

TEST_F(ViewLayersTest, FlattenLeavesOneComposedLayer) {
  Add("top", 2, 2, 1, 1, kWhite);
  view->FlattenLayers();
  EXPECT_EQ(view->GetLayerCount(), 1);
  ExpectSound();
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 8);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(1, 1), kWhite);
  EXPECT_EQ(view->GetIEBitmap()->GetPixel24(0, 0), kRed);
}

TEST_F(ViewLayersTest, PaintedLayersAreFoundUnderThePointer) {
  view->SetScrollBars(ssNone);
  view->FixedViewSize = true;
  view->SetCenter(false);
  TIELayer& top = Add("top", 4, 4, 2, 2, kWhite);
  top.Bitmap->GetAlphaChannel()->Fill(255);
  top.Bitmap->GetAlphaChannel()->SetPixel8(0, 0, 0);
  view->PaintNow();
  EXPECT_EQ(top.ScreenBox, (RECT{2, 2, 6, 6}));
  Merged();  // merging leaves where the layers lie on screen alone
  EXPECT_EQ(top.ScreenBox, (RECT{2, 2, 6, 6}));
  EXPECT_EQ(view->FindLayerAt(3, 3, true), 1);
  EXPECT_EQ(view->FindLayerAt(2, 2, true), 0);  // transparent pixel: the layer below
  view->SetSelectionOptions(view->SelectionOptions() + iesoSelectTranspLayers);
  EXPECT_EQ(view->FindLayerAt(2, 2, true), 1);
  EXPECT_EQ(view->FindLayerAt(7, 0, true), 0);
  EXPECT_EQ(view->FindLayerAt(100, 100, true), -1);
  EXPECT_TRUE(view->IsPointInLayer(6, 6, 1));
  EXPECT_FALSE(view->IsPointInLayer(7, 6, 1));
  EXPECT_EQ(Probe(3, 3), Ref(TRGB{254, 254, 255}));  // alpha 255 blends as 255 / 256
  EXPECT_EQ(Probe(1, 1), Ref(kRed));
}

TEST_F(ViewLayersTest, GripsAreHitInOrderAndTheCentreOnlyWhenRotating) {
  view->SetScrollBars(ssNone);
  view->FixedViewSize = true;
  view->SetCenter(false);
  Add("top", 40, 30, 2, 2, kWhite);
  view->PaintNow();
  const auto grips = view->GetLayerGrips(1);
  EXPECT_EQ(grips[0], (RECT{2 - 5, 2 - 5, 2 + 5, 2 + 5}));
  EXPECT_EQ(grips[7], (RECT{22 - 5, 32 - 5, 22 + 5, 32 + 5}));
  EXPECT_EQ(grips[8], (RECT{22 - 5, 17 - 5, 22 + 5, 17 + 5}));
  struct Case {
    int32_t x, y;
    bool rotating;
    TIEGrip expected;
  };
  const Case cases[] = {
      {42, 32, false, ieBottomRight}, {2, 17, false, ieLeftSide}, {47, 17, false, ieRightSide},
      {22, 17, false, ieNone},        {22, 17, true, ieRotationCenter}, {30, 25, true, ieNone},
      {2, 2, true, ieTopLeft},
  };
  for (const Case& c : cases) {
    view->SetMouseInteract(c.rotating ? TIEMouseInteract{miRotateLayers} : TIEMouseInteract{});
    EXPECT_EQ(int(view->HitTestLayerGrip(c.x, c.y)), int(c.expected)) << c.x << "," << c.y;
  }
}

TEST_F(ViewLayersTest, LayerFilesRoundTripThroughTheView) {
  TIELayer& top = Add("top", 3, 2, -1, 4, kWhite);
  top.Opacity = 0.25;
  top.BlendOperator = 3;
  top.Bitmap->GetAlphaChannel()->SetPixel8(1, 1, 70);
  TMemoryStream file;
  view->SaveLayersToStream(file, IELayersRawZip);
  const std::string bytes(static_cast<const char*>(file.Memory()), file.Size());

  view->ClearLayers();
  view->GetLayer(0)->Name = "kept";
  Add("other", 1, 2, 0, 0, kBlue);
  // A truncated file changes nothing.
  auto cut = layertest::StreamOf(bytes.substr(0, bytes.size() - 5));
  EXPECT_THROW(view->LoadLayersFromStream(*cut), Exception);
  EXPECT_EQ(Names(), "kept,other");
  ExpectSound();

  file.SetPosition(0);
  ASSERT_TRUE(view->LoadLayersFromStream(file));
  EXPECT_EQ(Names(), "bg,top");
  ExpectSound();
  EXPECT_EQ(view->CurrentLayerIndex(), 1);
  TIELayer& loaded = *view->GetLayer(1);
  EXPECT_EQ(loaded.Owner, view);
  EXPECT_EQ(loaded.PosX, -1);
  EXPECT_EQ(loaded.Opacity, 0.25);
  EXPECT_EQ(loaded.BlendOperator, 3);
  EXPECT_EQ(loaded.Bitmap->GetAlphaPixel(1, 1), 70);
  EXPECT_EQ(view->GetLayer(0)->Bitmap->GetPixel24(7, 5), kRed);

  // A file without a version reads nothing and reports the background's size.
  std::string versionless = bytes;
  const int32_t zero = 0;
  std::memcpy(versionless.data() + 13, &zero, 4);
  view->GetIO()->Params().WIDTH = view->GetIO()->Params().ORIGINALHEIGHT = 1;
  auto none = layertest::StreamOf(versionless);
  EXPECT_FALSE(view->LoadLayersFromStream(*none));
  EXPECT_EQ(Names(), "bg,top");
  EXPECT_EQ(view->GetIO()->Params().WIDTH, 8);
  EXPECT_EQ(view->GetIO()->Params().ORIGINALHEIGHT, 6);
}

TEST_F(ViewLayersTest, SameSizeLayersGrowWithTransparentMargins) {
  view->LayersSameSize = true;
  Add("small", 3, 2, 0, 0, kWhite);
  Add("large", 10, 4, 0, 0, kBlue);
  view->Update();
  EXPECT_EQ(view->ImageWidth(), 10);
  EXPECT_EQ(view->ImageHeight(), 6);
  for (int32_t i = 0; i < view->GetLayerCount(); ++i) {
    TIEBitmap& b = *view->GetLayer(i)->Bitmap;
    SCOPED_TRACE(i);
    EXPECT_EQ(b.GetWidth(), 10);
    EXPECT_EQ(b.GetHeight(), 6);
    ASSERT_TRUE(b.HasAlphaChannel());
    EXPECT_EQ(b.GetAlphaChannel()->GetWidth(), 10);
  }
  TIEBitmap& small = *view->GetLayer(1)->Bitmap;
  EXPECT_EQ(small.GetPixel24(2, 1), kWhite);
  EXPECT_EQ(small.GetAlphaPixel(2, 1), 255);
  EXPECT_EQ(small.GetAlphaPixel(3, 1), 0);  // the new margin is transparent
  EXPECT_EQ(small.GetAlphaPixel(0, 2), 0);
  ExpectSound();
}

TEST_F(ViewLayersTest, SwapAndExternalBitmapsKeepTheCurrentBitmapSound) {
  // A free-standing layer (as a reader makes it) swapped into the current layer.
  auto incoming = layertest::PatternLayer(5, 3, 7, true);
  incoming->Name = "incoming";
  TIELayer& current = Add("current", 2, 2, 0, 0, kWhite);
  current.SwapWith(*incoming);
  ExpectSound();
  EXPECT_EQ(view->GetIEBitmap()->GetWidth(), 5);
  EXPECT_EQ(current.Name, "incoming");
  EXPECT_TRUE(incoming->Bitmap->IsEmpty());

  // A foreign bitmap shown in the current layer stays the caller's.
  TIEBitmap foreign(4, 4, ie24RGB);
  view->SetExternalBitmap(&foreign);
  EXPECT_EQ(view->GetIEBitmap(), &foreign);
  EXPECT_FALSE(current.OwnsBitmap);
  ExpectSound();
  view->SetExternalBitmap(nullptr);  // an empty bitmap of the layer's own again
  EXPECT_NE(view->GetIEBitmap(), &foreign);
  EXPECT_TRUE(current.OwnsBitmap);
  ExpectSound();
  view->RemoveLayer(1);  // frees the layer's own bitmap only
  EXPECT_EQ(foreign.GetWidth(), 4);
  ExpectSound();
}

TEST_F(ViewLayersTest, BakingSizesAndRotationsKeepsTheCurrentLayer) {
  TIELayer& wide = Add("wide", 2, 2, 1, 1, kWhite);
  wide.Width = 6;
  wide.Height = 4;
  TIELayer& turned = Add("turned", 4, 2, 3, 3, kBlue);
  turned.SetAngle(90);
  view->SetCurrentLayer(0);
  view->ApplyLayerSizes(1);
  EXPECT_EQ(wide.Bitmap->GetWidth(), 6);
  EXPECT_EQ(wide.Bitmap->GetHeight(), 4);
  EXPECT_EQ(wide.Width, 0);
  EXPECT_EQ(view->CurrentLayerIndex(), 0);
  ExpectSound();

  view->SetCurrentLayer(1);
  view->ApplyLayerRotations(-1);
  // A quarter turn of 4 x 2 about its centre (2, 1): 2 x 4, moved by the smallest corner.
  EXPECT_EQ(turned.Angle(), 0);
  EXPECT_EQ(turned.Bitmap->GetWidth(), 2);
  EXPECT_EQ(turned.Bitmap->GetHeight(), 4);
  EXPECT_EQ(turned.PosX, 3 + 1);
  EXPECT_EQ(turned.PosY, 3 - 1);
  EXPECT_EQ(view->CurrentLayerIndex(), 1);
  ExpectSound();
}

TEST_F(ViewLayersTest, OverlaysDimGridAndShadeAroundTheLayers) {
  view->SetScrollBars(ssNone);
  view->FixedViewSize = true;
  view->SetCenter(false);
  // The pixel grid from 400 %: a line every 4 client pixels.
  view->ShowPixelGrid = true;
  view->SetZoom(200);
  EXPECT_EQ(Probe(4, 1), Ref(kRed));
  view->SetZoom(400);
  view->InvalidateBackBuffer();
  EXPECT_NE(Probe(4, 1), Ref(kRed));
  EXPECT_EQ(Probe(2, 1), Ref(kRed));
  view->ShowPixelGrid = false;
  view->SetZoom(100);

  // Dimming outside the current layer: a chequer of (97, 97, 97).
  TIELayer& top = Add("top", 2, 2, 2, 2, kWhite);
  top.DimOutside = true;
  view->InvalidateBackBuffer();
  EXPECT_EQ(Probe(0, 0), Ref(TRGB{97, 97, 97}));
  EXPECT_EQ(Probe(1, 0), Ref(kRed));
  EXPECT_EQ(Probe(3, 3), Ref(kWhite));
  top.DimOutside = false;

  // Outside the background image: style 2 a grey chequer, style 3 lighter by the amount.
  view->OutsideBackgroundStyle = 2;
  view->InvalidateBackBuffer();
  EXPECT_EQ(Probe(20, 20), Ref(TRGB{128, 128, 128}));
  EXPECT_EQ(Probe(21, 20), Ref(TRGB{0, 255, 0}));
  EXPECT_EQ(Probe(7, 5), Ref(kRed));
  view->OutsideBackgroundStyle = 3;
  view->InvalidateBackBuffer();
  EXPECT_EQ(Probe(21, 20), Ref(TRGB{60, 255, 60}));
  EXPECT_EQ(Probe(8, 5), Ref(TRGB{60, 255, 60}));
  EXPECT_EQ(Probe(7, 5), Ref(kRed));
}

TEST_F(ViewLayersTest, OutsideStyleOneShowsUpperLayersFaintBeyondTheBackground) {
  view->OutsideBackgroundStyle = 1;
  Add("top", 4, 2, 6, 0, kWhite);
  auto merged = Merged();
  ASSERT_EQ(merged->GetWidth(), 10);
  // Over the image and on its right edge (column 8, over the background
  // colour) at full alpha; beyond it at alpha 60.
  EXPECT_EQ(merged->GetPixel24(7, 0), (TRGB{254, 254, 255}));
  EXPECT_EQ(merged->GetPixel24(8, 1), (TRGB{254, 255, 254}));
  EXPECT_EQ(merged->GetPixel24(9, 0), (TRGB{59, 255, 59}));
}

TEST_F(ViewLayersTest, EdgeSofteningDoesNotAccumulate) {
  TIELayer& top = Add("top", 8, 6, 0, 0, kWhite);
  top.Bitmap->GetAlphaChannel()->Fill(255);
  top.Bitmap->GetAlphaChannel()->FillRect(0, 0, 1, 5, 0);
  top.EdgeSoftening = 3;
  const auto first = Merged();
  const auto second = Merged();
  layertest::ExpectSamePixels(*first, *second);
  EXPECT_EQ(top.Bitmap->GetAlphaPixel(2, 2), 255);  // the layer's own alpha is left alone
  EXPECT_NE(first->GetPixel24(2, 2), (TRGB{254, 254, 255}));  // but drawn softened
}

TEST_F(ViewLayersTest, MagnifierEnlargesWhatLiesUnderIt) {
  const auto pattern = [](int32_t x, int32_t y) { return TRGB{static_cast<uint8_t>(x * 30), static_cast<uint8_t>(y * 40), 9}; };
  MakeImage(8, 6, pattern);
  // A 4 x 2 lens at rate 2 over the 2 x 1 pixels around its centre (2, 1).
  TIELayer& lens = Add("lens", 4, 2, 0, 0, kBlue);
  lens.Magnifier = TIEMagnifier{true, 2.0, 0, 1};
  auto merged = Merged();
  EXPECT_EQ(merged->GetPixel24(0, 0), pattern(1, 1));
  EXPECT_EQ(merged->GetPixel24(1, 1), pattern(1, 1));
  EXPECT_EQ(merged->GetPixel24(2, 0), pattern(2, 1));
  EXPECT_EQ(merged->GetPixel24(3, 1), pattern(2, 1));

  // From the background image, as an ellipse: its corners stay transparent.
  // A 4 x 4 lens at (2, 1) shows background pixels 3..5, 2..4.
  lens.Magnifier = TIEMagnifier{true, 2.0, 1, 0};
  lens.Height = 4;
  lens.PosX = 2;
  lens.PosY = 1;
  merged = Merged();
  EXPECT_EQ(lens.Bitmap->GetHeight(), 4);  // resized to its display size for good
  EXPECT_EQ(merged->GetPixel24(3, 2), pattern(3, 2));
  EXPECT_EQ(merged->GetPixel24(5, 4), pattern(5, 4));
  EXPECT_EQ(merged->GetPixel24(2, 1), pattern(2, 1));  // a corner of the ellipse

  // Near the border the lens keeps what it showed last.
  lens.Magnifier = TIEMagnifier{true, 2.0, 0, 0};
  lens.PosX = 6;
  lens.Bitmap->Fill(0xFF0000);
  merged = Merged();
  EXPECT_EQ(merged->GetPixel24(6, 2), kBlue);
  EXPECT_EQ(merged->GetPixel24(7, 4), kBlue);
}

TEST_F(ViewLayersTest, TinyAndRotatedLayers) {
  // A 1 x 1 layer is not drawn (the library's empty image), a 1 x 2 one is.
  TIELayer& dot = Add("dot", 1, 1, 0, 0, kWhite);
  EXPECT_EQ(Merged()->GetPixel24(0, 0), kRed);
  dot.Bitmap->Allocate(1, 2, ie24RGB);
  dot.Bitmap->Fill(0xFFFFFF);
  EXPECT_EQ(Merged()->GetPixel24(0, 1), kWhite);
  dot.Visible = false;

  // A quarter turn of a 4 x 2 white bar at (2, 2) about its centre stands
  // 2 x 4 at (3, 1); its mask above is ignored while it is rotated.
  TIELayer& bar = Add("bar", 4, 2, 2, 2, kWhite);
  TIELayer& mask = Add("mask", 4, 2, 2, 2, TRGB{});
  mask.MaskOfPrevious = true;
  mask.Visible = false;
  mask.Bitmap->ConvertToPixelFormat(ie8g);
  bar.SetAngle(90);
  auto merged = Merged();
  EXPECT_EQ(merged->GetPixel24(3, 1), kWhite);  // the rotated alpha is all opaque: copied as is
  EXPECT_EQ(merged->GetPixel24(4, 4), kWhite);
  EXPECT_EQ(merged->GetPixel24(2, 2), kRed);
  EXPECT_EQ(merged->GetPixel24(5, 2), kRed);
  EXPECT_EQ(bar.PosX, 2);  // the layer's own geometry is back after drawing
  EXPECT_EQ(bar.Width, 0);
  bar.SetAngle(0);
  EXPECT_EQ(Merged()->GetPixel24(3, 2), kRed);  // unrotated, the empty mask hides it
}

// Positions and sizes a program sets may lie anywhere in 32 bits: painting,
// hit tests, grips, merging and flattening add them without overflow (the
// sanitizer build checks the arithmetic).
TEST_F(ViewLayersTest, ExtremePositionsAndSizesStayInRange) {
  struct Case {
    const char* what;
    int32_t x, y, width, height;
  };
  const Case cases[] = {
      {"far right and down", INT32_MAX - 1, INT32_MAX - 1, 0, 0},
      {"far left and up", INT32_MIN, INT32_MIN, 0, 0},
      {"huge display size", 3, 3, INT32_MAX, INT32_MAX},
      {"huge size far out", INT32_MAX - 2, INT32_MIN + 1, INT32_MAX, INT32_MAX},
  };
  view->SetMouseInteract({miMoveLayers, miResizeLayers});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    view->ClearLayers();
    TIELayer& layer = Add("far", 2, 2, c.x, c.y, kWhite);
    layer.Width = c.width;
    layer.Height = c.height;
    layer.ShowBox = false;
    view->Update();
    EXPECT_EQ(Probe(view->BitmapToClientX(5), view->BitmapToClientY(5)) == Ref(kWhite), c.x == 3)
        << "a layer on screen only where it lies";
    layer.ShowBox = true;  // frame and grips
    view->Update();
    view->PaintNow();
    view->FindLayerAt(5, 5, true);
    view->HitTestLayerGrip(5, 5);
    Merged();
    view->FlattenLayers();
    EXPECT_EQ(view->GetLayerCount(), 1);
    ExpectSound();
  }
}
