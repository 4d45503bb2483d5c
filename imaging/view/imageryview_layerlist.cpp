// The view's layer list: the current layer, adding, removing and clearing
// layers, hit tests, synchronisation with the current bitmap, flattening,
// baking display sizes and rotations into the pixels, external bitmaps, and
// the layer operations that need the view (client coordinates, swaps).
//
// Sections: layers through the view | list | hit tests | synchronisation |
// merging and baking | external and legacy bitmaps | layer files
#include <algorithm>
#include <cmath>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_canvas.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

// ---- layers through the view ------------------------------------------------------------------

int32_t TIELayer::ClientToLayerX(int32_t x) {
  const int32_t width = GetWidth();
  if (width == 0) return 0;
  const int32_t shifted = IEClientCoordinate(int64_t{x} - IEClientCoordinate(std::trunc(PosX * Owner->zoomFactorX_)));
  return IEClientCoordinate(std::trunc(double(Owner->ClientToBitmapX(shifted)) * Bitmap->GetWidth() / width));
}

int32_t TIELayer::ClientToLayerY(int32_t y) {
  const int32_t height = GetHeight();
  if (height == 0) return 0;
  const int32_t shifted = IEClientCoordinate(int64_t{y} - IEClientCoordinate(std::trunc(PosY * Owner->zoomFactorY_)));
  return IEClientCoordinate(std::trunc(double(Owner->ClientToBitmapY(shifted)) * Bitmap->GetHeight() / height));
}

int32_t TIELayer::LayerToClientX(int32_t x) {
  const int32_t width = Bitmap->GetWidth();
  const int32_t column = width == 0 ? 0 : IEClientCoordinate(std::trunc(double(GetWidth()) * x / width));
  return IEClientCoordinate(int64_t{Owner->BitmapToClientX(column)} +
                            IEClientCoordinate(std::trunc(PosX * Owner->zoomFactorX_)));
}

int32_t TIELayer::LayerToClientY(int32_t y) {
  const int32_t height = Bitmap->GetHeight();
  const int32_t row = height == 0 ? 0 : IEClientCoordinate(std::trunc(double(GetHeight()) * y / height));
  return IEClientCoordinate(int64_t{Owner->BitmapToClientY(row)} +
                            IEClientCoordinate(std::trunc(PosY * Owner->zoomFactorY_)));
}

void TIELayer::FollowSwappedBitmap(TIELayer& other) {
  if (!Owner || Owner->ieBitmap_ != other.Bitmap) return;
  Owner->ieBitmap_ = Bitmap;
  Owner->legacyBitmap_ = Bitmap->Location() == ieTBitmap ? Bitmap->GetTBitmap() : nullptr;
}

// ---- list -------------------------------------------------------------------------------------

TIELayer* TImageryView::GetLayer(int32_t index) const {
  if (index < 0 || index >= GetLayerCount()) RaiseListIndexError(index);
  return layers_[static_cast<size_t>(index)];
}

void TImageryView::StoreCurrentBitmap() {
  if (currentLayerIndex_ >= 0 && currentLayerIndex_ < GetLayerCount())
    layers_[static_cast<size_t>(currentLayerIndex_)]->Bitmap = ieBitmap_;
}

void TImageryView::SetCurrentLayer(int32_t index) {
  if (index < 0 || index >= GetLayerCount() || index == currentLayerIndex_) return;
  StoreCurrentBitmap();
  const bool selected = Selected() && currentLayerIndex_ >= 0;
  if (selected) PushSelection();
  currentLayerIndex_ = index;
  while (LayersHonourSelectable && currentLayerIndex_ > 0 && !layers_[static_cast<size_t>(currentLayerIndex_)]->Selectable)
    --currentLayerIndex_;
  ieBitmap_ = layers_[static_cast<size_t>(currentLayerIndex_)]->Bitmap;
  legacyBitmap_ = ieBitmap_->Location() == ieTBitmap ? ieBitmap_->GetTBitmap() : nullptr;
  // The selection follows the layer: moved by the difference of the two positions.
  if (selected) PopSelection(true, 2);
  NotifyBitmapChangeHandlers();
  Update();
}

void TImageryView::SwitchToNewLayer(TIELayer* layer) {
  layers_.push_back(layer);
  SetCurrentLayer(GetLayerCount() - 1);
}

int32_t TImageryView::AddLayer() {
  SwitchToNewLayer(new TIELayer(this, false, ieBitmap_));
  ieBitmap_->Fill(Background());
  ieBitmap_->RemoveAlphaChannel();
  Update();
  return GetLayerCount() - 1;
}

int32_t TImageryView::AddLayer(int32_t width, int32_t height, TIEPixelFormat format, int32_t posX, int32_t posY) {
  auto* layer = new TIELayer(this, true, new TIEBitmap(width, height, format));
  layer->PosX = posX;
  layer->PosY = posY;
  SwitchToNewLayer(layer);
  return GetLayerCount() - 1;
}

void TImageryView::RemoveLayer(int32_t index) {
  const int32_t count = GetLayerCount();
  if (count < 2 || index < 0 || index >= count) return;
  StoreCurrentBitmap();
  const int32_t current = currentLayerIndex_;
  // The layer's mask above it goes with it; a layer and mask that are all
  // the layers stay, since the view keeps at least one layer.
  const int32_t last = index + 1 < count && layers_[static_cast<size_t>(index + 1)]->MaskOfPrevious ? index + 1 : index;
  const int32_t first = index;
  if (last - first + 1 >= count) return;
  for (int32_t i = last; i >= first; --i) {
    delete layers_[static_cast<size_t>(i)];
    layers_.erase(layers_.begin() + i);
  }
  const int32_t removed = last - first + 1;
  if (current >= first && current <= last) {
    currentLayerIndex_ = -1;
    SetCurrentLayer(std::min(first, GetLayerCount() - 1));
  } else if (current > last) {
    currentLayerIndex_ = -1;
    SetCurrentLayer(current - removed);
  } else {
    Update();
  }
}

void TImageryView::ClearLayers() {
  StoreCurrentBitmap();
  while (GetLayerCount() > 1) {
    delete layers_.back();
    layers_.pop_back();
  }
  currentLayerIndex_ = -1;
  SetCurrentLayer(0);
  TIELayer* background = layers_.front();
  background->Reset();
  background->ShowBox = false;
  background->Locked = true;
  ieBitmap_->Fill(Background());
  ieBitmap_->RemoveAlphaChannel();
  Update();
}

// ---- hit tests --------------------------------------------------------------------------------

namespace {

bool InsideBox(const RECT& box, int32_t x, int32_t y) {
  return x >= box.left && x <= box.right && y >= box.top && y <= box.bottom;
}

}  // namespace

int32_t TImageryView::FindLayerAt(int32_t x, int32_t y, bool honourSelectable) {
  for (int32_t i = GetLayerCount() - 1; i >= 0; --i) {
    TIELayer& layer = *layers_[static_cast<size_t>(i)];
    if (!layer.Visible || !InsideBox(layer.ScreenBox, x, y)) continue;
    if (honourSelectable && LayersHonourSelectable && !layer.Selectable) continue;
    TIEBitmap& bitmap = *layer.Bitmap;
    if (!bitmap.HasAlphaChannel() || SelectionOptions().Contains(iesoSelectTranspLayers)) return i;
    if (bitmap.GetWidth() < 1 || bitmap.GetHeight() < 1) continue;
    const int32_t lx = std::clamp(layer.ClientToLayerX(x), 0, bitmap.GetWidth() - 1);
    const int32_t ly = std::clamp(layer.ClientToLayerY(y), 0, bitmap.GetHeight() - 1);
    if (bitmap.GetAlphaPixel(lx, ly) != 0) return i;
  }
  return -1;
}

bool TImageryView::IsPointInLayer(int32_t x, int32_t y, int32_t index) {
  if (index < 0) return false;
  TIELayer& layer = *GetLayer(index);
  if (!layer.Visible) return false;
  if (layer.Angle() != 0) return IEPointInPolygon(x, y, layer.Corners.data(), 3);
  return InsideBox(layer.ScreenBox, x, y);
}

void TImageryView::DoLayerNotify(int32_t layer, TIELayerEvent event) {
  if (OnLayerNotify) WithUserSelectionBase([&] { OnLayerNotify(this, layer, event); });
}

// ---- synchronisation ------------------------------------------------------------------------------

void TImageryView::SyncLayers() {
  if (legacyBitmap_ && ieBitmap_->Location() == ieTBitmap) ieBitmap_->SyncWithTBitmap();
  StoreCurrentBitmap();
  TIEBitmap& background = *layers_.front()->Bitmap;
  imageWidth_ = background.GetWidth();
  imageHeight_ = background.GetHeight();
  if (!LayersSameSize || GetLayerCount() < 2) return;
  for (size_t i = 1; i < layers_.size(); ++i) {
    imageWidth_ = std::max(imageWidth_, layers_[i]->Bitmap->GetWidth());
    imageHeight_ = std::max(imageHeight_, layers_[i]->Bitmap->GetHeight());
  }
  for (TIELayer* layer : layers_) {
    TIEBitmap& bitmap = *layer->Bitmap;
    if (bitmap.GetWidth() != imageWidth_ || bitmap.GetHeight() != imageHeight_) {
      bitmap.GetAlphaChannel();  // fully opaque when new
      bitmap.ResizeKeepingContent(imageWidth_, imageHeight_, Background(), 0, 0, 0);
    }
    TIEBitmap* alpha = bitmap.PeekAlphaChannel();
    if (alpha && (alpha->GetWidth() != imageWidth_ || alpha->GetHeight() != imageHeight_))
      alpha->ResizeKeepingContent(imageWidth_, imageHeight_, 0, 0, 0, 0);
  }
}

// ---- merging and baking ---------------------------------------------------------------------------

void TImageryView::FlattenLayers() {
  SyncLayers();
  TIEBitmap merged(ieBitmap_->GetWidth(), ieBitmap_->GetHeight(), ie24RGB);
  merged.Fill(Background());
  DrawLayersToBitmap(merged);
  ClearLayers();
  ieBitmap_->Assign(&merged);
  Update();
}

namespace {

// A processing component on the bitmap that keeps no undo steps.
std::unique_ptr<TImageryProc> PrivateProc(TIEBitmap& bitmap) {
  return std::unique_ptr<TImageryProc>(TImageryProc::CreateFromBitmap(&bitmap));
}

}  // namespace

// Runs work(i) for every layer (index -1) or for that one, each made current
// first, and makes the previously current layer current again.
void TImageryView::ForEachLayer(int32_t index, const std::function<void(int32_t)>& work) {
  const int32_t saved = currentLayerIndex_;
  const bool honour = LayersHonourSelectable;
  LayersHonourSelectable = false;  // every layer must become current
  try {
    for (int32_t i = 0; i < GetLayerCount(); ++i) {
      if (index != -1 && i != index) continue;
      SetCurrentLayer(i);
      work(i);
    }
  } catch (...) {
    SetCurrentLayer(std::min(saved, GetLayerCount() - 1));
    LayersHonourSelectable = honour;
    throw;
  }
  SetCurrentLayer(std::min(saved, GetLayerCount() - 1));
  LayersHonourSelectable = honour;
}

void TImageryView::ApplyLayerSizes(int32_t index) {
  ForEachLayer(index, [this](int32_t i) {
    TIELayer& layer = *layers_[static_cast<size_t>(i)];
    if (layer.Width == 0 && layer.Height == 0) return;
    const TResampleFilter filter = layer.UseOwnFilter ? layer.ResampleFilter : ZoomFilter();
    PrivateProc(*layer.Bitmap)->Resample(layer.GetWidth(), layer.GetHeight(), filter, false);
    layer.Width = 0;
    layer.Height = 0;
  });
  Update();
}

void TImageryView::CropLayersToAlpha(int32_t index) {
  ForEachLayer(index, [this](int32_t i) { PrivateProc(*layers_[static_cast<size_t>(i)]->Bitmap)->CropToAlphaBounds(); });
  Update();
}

void TImageryView::ApplyLayerRotations(int32_t index) {
  for (int32_t i = 0; i < GetLayerCount(); ++i) {
    if ((index != -1 && i != index) || layers_[static_cast<size_t>(i)]->Angle() == 0) continue;
    ApplyLayerSizes(i);
    ForEachLayer(i, [this](int32_t k) { BakeLayerRotation(*layers_[static_cast<size_t>(k)], k == 0); });
  }
  Update();
}

void TImageryView::BakeLayerRotation(TIELayer& layer, bool background) {
  TIEBitmap& bitmap = *layer.Bitmap;
  const int32_t w = bitmap.GetWidth(), h = bitmap.GetHeight();
  const int32_t oldX = layer.PosX, oldY = layer.PosY;
  bitmap.GetAlphaChannel();
  auto proc = PrivateProc(bitmap);
  proc->SetBackground(Background());
  proc->Rotate(LayerRotationSmooth ? LayerRotationQuality : 0, -1, layer.Angle());
  std::array<POINT, 4> corners;
  const POINT least = IERotateLayerCorners(layer, w, h, corners);
  layer.PosX = least.x + oldX;
  layer.PosY = least.y + oldY;
  layer.Width = 0;
  layer.Height = 0;
  layer.SetAngle(0);
  if (background) {
    layer.PosX = oldX;
    layer.PosY = oldY;
    return;
  }
  const RECT bounds = IEGetAlphaBounds(&bitmap);
  if (bounds.right < bounds.left || bounds.bottom < bounds.top) return;
  proc->CropToRect(bounds);
  layer.PosX += bounds.left;
  layer.PosY += bounds.top;
}

// ---- external and legacy bitmaps ------------------------------------------------------------------

void TImageryView::SetExternalBitmap(TIEBitmap* bitmap) {
  if (currentLayerIndex_ < 0) return;
  TIELayer& layer = *layers_[static_cast<size_t>(currentLayerIndex_)];
  if (!bitmap) {
    // A new empty bitmap of the layer's own (an owned one is freed, not lost).
    if (layer.OwnsBitmap) delete layer.Bitmap;
    layer.Bitmap = ieBitmap_ = new TIEBitmap();
    layer.OwnsBitmap = true;
    legacyBitmap_ = nullptr;
    // The attached components must let go of the caller's bitmap too.
    NotifyBitmapChangeHandlers();
    Update();
    return;
  }
  if (layer.OwnsBitmap && layer.Bitmap != bitmap) delete layer.Bitmap;
  layer.Bitmap = bitmap;
  layer.OwnsBitmap = false;
  ieBitmap_ = bitmap;
  legacyBitmap_ = bitmap->Location() == ieTBitmap ? bitmap->GetTBitmap() : nullptr;
  NotifyBitmapChangeHandlers();
  Update();
}

void TImageryView::SetLegacyBitmap(bool value) {
  if (value == legacyBitmapMode_) return;
  if (value) {
    ieBitmap_->SetLocation(ieTBitmap);
    legacyBitmap_ = ieBitmap_->GetTBitmap();
  } else {
    ieBitmap_->SetLocation(ieTempFile);
    legacyBitmap_ = nullptr;
  }
  legacyBitmapMode_ = value;
  NotifyBitmapChangeHandlers();
  Update();
}
