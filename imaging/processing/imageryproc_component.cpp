// The processing component: its bitmap, the frame of its operations, the
// undo and redo lists of image copies, resampling, cropping and filling.
#include "imaging/processing/imageryproc_component.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "imaging/processing/imageryproc_canvas.h"
#include "imaging/processing/imageryproc_internal.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/graphics.h"

namespace {

// The caption of an undo entry: a fixed format and the operation's integers.
template <typename... Args>
std::string Formatted(const char* format, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, format, static_cast<int>(args)...);
  return text;
}

}  // namespace

// ---- fill ------------------------------------------------------------------------------------

void IEFillBitmapRect(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRGB color,
                      const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap) return;
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = IEMin(x2, bitmap->GetWidth());
  y2 = IEMin(y2, bitmap->GetHeight());
  if (x2 <= x1 || y2 <= y1) return;
  const TIEPixelFormat format = bitmap->GetPixelFormat();
  if (format != ie1g && format != ie8g && format != ie24RGB) {
    bitmap->FillRect(x1, y1, x2 - 1, y2 - 1, (uint32_t{color.b} << 16) | (uint32_t{color.g} << 8) | color.r);
    return;
  }
  const auto* settings = IEGetGlobalSettings();
  const uint8_t grey = static_cast<uint8_t>(
      (color.r * settings->GrayWeightRed + color.g * settings->GrayWeightGreen + color.b * settings->GrayWeightBlue) /
      100);
  iep::TProgress progress(onProgress, sender, y2 - y1);
  for (int32_t y = y1; y < y2; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    for (int32_t x = x1; x < x2; ++x) {
      if (format == ie1g) {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = color.r ? row[x >> 3] | bit : row[x >> 3] & static_cast<uint8_t>(~bit);
      } else if (format == ie8g) {
        row[x] = grey;
      } else {
        reinterpret_cast<TRGB*>(row)[x] = color;
      }
    }
    progress.Report(y - y1 + 1);
  }
}

// ---- life and bitmap ---------------------------------------------------------------------------

TImageryProc::TImageryProc(TComponent* owner)
    : TComponent(owner),
      AutoUndo(owner != nullptr),
      ownBitmap_(std::make_unique<TIEBitmap>()),
      dialogParams_(std::make_unique<TIPDialogParams>()),
      previewFont_(std::make_unique<TFont>()) {
  bitmap_ = ownBitmap_.get();
}

void TImageryProc::SetPreviewFont(const TFont* font) { previewFont_->Assign(font); }

TImageryProc* TImageryProc::CreateFromBitmap(TIEBitmap* bitmap) {
  auto* proc = new TImageryProc(nullptr);
  proc->SetAttachedBitmap(bitmap);
  return proc;
}

TImageryProc::~TImageryProc() {
  if (image_) image_->RemoveFreeNotification(this);
}

void TImageryProc::DropImage() {
  if (image_) image_->RemoveFreeNotification(this);
  image_ = nullptr;
  picture_ = nullptr;
}

void TImageryProc::SetAttachedBitmap(TIEBitmap* bitmap) {
  if (!bitmap && (view_ || image_)) return;
  view_ = nullptr;
  DropImage();
  if (bitmap) {
    bitmap_ = bitmap;
    ownBitmap_.reset();
  } else if (!ownBitmap_ || bitmap_ != ownBitmap_.get()) {
    ownBitmap_ = std::make_unique<TIEBitmap>();
    bitmap_ = ownBitmap_.get();
  }
}

void TImageryProc::SetAttachedImagery(TIEProcViewLink* view) {
  DropImage();
  view_ = view;
  // The view's bitmap is asked for at every use; an own bitmap stands in without a view.
  ownBitmap_ = std::make_unique<TIEBitmap>();
  bitmap_ = ownBitmap_.get();
}

void TImageryProc::SetAttachedTImage(TImage* image) {
  if (image == image_) return;
  DropImage();
  view_ = nullptr;
  if (!ownBitmap_) ownBitmap_ = std::make_unique<TIEBitmap>();
  bitmap_ = ownBitmap_.get();
  if (!image) {
    bitmap_->FreeImage(true);
    return;
  }
  image_ = image;
  image_->FreeNotification(this);
  picture_ = image_->Picture()->Bitmap();
  bitmap_->AttachTBitmap(picture_, true);
}

void TImageryProc::SetBackground(TColor color) {
  if (view_)
    view_->SetBackground(color);
  else
    background_ = color;
}

void TImageryProc::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == opRemove && component == image_) {
    image_ = nullptr;
    picture_ = nullptr;
    // The wrapper must not keep the freed picture's rows.
    ownBitmap_ = std::make_unique<TIEBitmap>();
    bitmap_ = ownBitmap_.get();
  }
}

TIEBitmap* TImageryProc::Refresh() {
  if (view_) {
    bitmap_ = view_->GetIEBitmap();
  } else if (image_) {
    // The picture may have been replaced or resized from outside.
    picture_ = image_->Picture()->Bitmap();
    bitmap_->AttachTBitmap(picture_, false);
  }
  return bitmap_;
}

void TImageryProc::NotifyImageChanged() {
  if (image_ && bitmap_) bitmap_->RemoveAlphaChannel(false);
  if (view_) {
    view_->Update();
    view_->ImageChange();
  } else if (image_) {
    picture_->SetModified(true);
    image_->Invalidate();
  }
}

// ---- frame -----------------------------------------------------------------------------------------

bool TImageryProc::CheckAndConvert(std::initializer_list<TIEPixelFormat> allowed) {
  if (!Refresh()) return false;
  return bitmap_->EnsureAllowedPixelFormat(Set<TIEPixelFormat>(allowed), AutoConvertFormat);
}

bool TImageryProc::GetSelectionArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, const POINT*& polyPoints,
                                    int32_t& polyCount, TIEMask*& mask) {
  TIEBitmap* bitmap = Refresh();
  x1 = y1 = 0;
  x2 = bitmap ? bitmap->GetWidth() : 0;
  y2 = bitmap ? bitmap->GetHeight() : 0;
  polyPoints = nullptr;
  polyCount = 0;
  mask = view_ ? view_->SelectionMask() : nullptr;
  if (!view_ || !view_->Selected()) return false;
  if (mask && !mask->IsEmpty()) {
    x1 = mask->X1;
    y1 = mask->Y1;
    x2 = mask->X2 + 1;
    y2 = mask->Y2 + 1;
  }
  polyPoints = view_->SelectionPoints(polyCount);
  if (!polyPoints) polyCount = 0;
  return true;
}

bool TImageryProc::GetSelectionArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, TIEMask*& mask) {
  const POINT* points = nullptr;
  int32_t count = 0;
  return GetSelectionArea(x1, y1, x2, y2, points, count, mask);
}

bool TImageryProc::BeginImageWork(std::initializer_list<TIEPixelFormat> allowed, int32_t& x1, int32_t& y1,
                                  int32_t& x2, int32_t& y2, const std::string& caption, TIEBitmap*& work,
                                  TIEMask*& mask) {
  if (AutoUndo) SaveUndoWithCaption(caption, ieuImage);
  if (!CheckAndConvert(allowed)) return false;
  GetSelectionArea(x1, y1, x2, y2, mask);
  work = bitmap_;
  if (!mask || mask->IsEmpty()) return true;
  // The bounding box of the selection, cut to the image.
  const int32_t left = std::max(mask->X1, 0), top = std::max(mask->Y1, 0);
  const int32_t right = std::min(mask->X2, bitmap_->GetWidth() - 1), bottom = std::min(mask->Y2, bitmap_->GetHeight() - 1);
  if (right < left || bottom < top) return true;
  auto copy = std::make_unique<TIEBitmap>(right - left + 1, bottom - top + 1, bitmap_->GetPixelFormat());
  const size_t bytes = static_cast<size_t>((int64_t{copy->GetWidth()} * copy->GetBitCount() + 7) / 8);
  const int64_t offset = int64_t{left} * bitmap_->GetBitCount();
  for (int32_t y = top; y <= bottom; ++y) {
    if (offset % 8 == 0)
      std::memcpy(copy->GetScanline(y - top), bitmap_->GetScanline(y) + offset / 8, bytes);
    else
      IECopyBits(copy->GetScanline(y - top), bitmap_->GetScanline(y), 0, left, copy->GetWidth(),
                 bitmap_->GetRowLength());
  }
  if (TIEBitmap* alpha = bitmap_->PeekAlphaChannel())
    for (int32_t y = top; y <= bottom; ++y)
      std::memcpy(copy->GetAlphaChannel()->GetScanline(y - top), alpha->GetScanline(y) + left,
                  static_cast<size_t>(copy->GetWidth()));
  x1 = y1 = 0;
  x2 = copy->GetWidth();
  y2 = copy->GetHeight();
  work = copy.release();
  return true;
}

void TImageryProc::EndImageWork(TIEBitmap* work, TIEMask* mask) {
  if (work && work != bitmap_) {
    std::unique_ptr<TIEBitmap> owned(work);
    if (mask) {
      mask->CopyBitmap(*bitmap_, *work, false, true, false);
      TIEBitmap* alpha = work->PeekAlphaChannel();
      if (alpha && !alpha->FullFlag()) {
        mask->CopyAlphaChannel(*bitmap_, *work, false, true);
        bitmap_->GetAlphaChannel()->SetFullFlag(false);
      }
    }
  }
  NotifyImageChanged();
}

void TImageryProc::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

// ---- undo and redo ---------------------------------------------------------------------------------

void TImageryProc::SetUndoLimit(int32_t limit) {
  if (limit < 0) return;
  undoLimit_ = limit;
  while (static_cast<int32_t>(undo_.size()) > limit) undo_.erase(undo_.begin());
  while (static_cast<int32_t>(redo_.size()) > limit) redo_.erase(redo_.begin());
}

std::string TImageryProc::CaptionAt(const TEntries& list, int32_t position) {
  if (position < 0 || position >= static_cast<int32_t>(list.size())) return {};
  return list[list.size() - 1 - static_cast<size_t>(position)].Caption;
}

void TImageryProc::ClearAt(TEntries& list, int32_t position) {
  if (position < 0 || position >= static_cast<int32_t>(list.size())) return;
  list.erase(list.end() - 1 - position);
}

TIEUndoSource TImageryProc::GetUndoSource(int32_t listIndex) const {
  if (listIndex < 0 || listIndex >= UndoCount()) return ieuUnknown;
  return undo_[static_cast<size_t>(listIndex)].Source;
}

int32_t TImageryProc::GetUndoTag(int32_t position) const {
  return position >= 0 && position < UndoCount() ? undo_[undo_.size() - 1 - static_cast<size_t>(position)].Tag : 0;
}

int32_t TImageryProc::GetRedoTag(int32_t position) const {
  return position >= 0 && position < RedoCount() ? redo_[redo_.size() - 1 - static_cast<size_t>(position)].Tag : 0;
}

bool TImageryProc::GetUndoLayer(int32_t position, GUID& identity) const {
  if (position < 0 || position >= UndoCount()) return false;
  const TEntry& entry = undo_[undo_.size() - 1 - static_cast<size_t>(position)];
  if (entry.HasLayer) identity = entry.Layer;
  return entry.HasLayer;
}

bool TImageryProc::Record(TEntry& entry, TIEUndoSource source) {
  entry.Source = source;
  entry.Tag = UndoTag;
  if (source == ieuImage) {
    if (bitmap_->GetWidth() < 2 || bitmap_->GetHeight() < 2) return false;
    entry.Image = std::make_unique<TIEBitmap>();
    entry.Image->SetLocation(ieTempFile);
    entry.Image->Assign(bitmap_);
    // The layer is found again by its identity: an index goes stale when layers come and go.
    entry.HasLayer = view_ && view_->CurrentLayerIdentity(entry.Layer);
    return true;
  }
  if (!view_ || source == ieuUnknown) return false;
  entry.State = std::make_unique<TMemoryStream>();
  if (source == ieuLayer || source == ieuFullLayer)
    return view_->SaveLayerRecords(*entry.State, source == ieuFullLayer);
  return view_->SaveState(source, *entry.State);
}

bool TImageryProc::Save(TEntries& list, TIEUndoSource source, bool fireEvent) {
  if (undoLimit_ == 0) return false;
  if (source == ieuImage && !CheckAndConvert({})) return false;
  Refresh();
  TEntry entry;
  const bool made = bitmap_ && Record(entry, source);
  if (made) {
    while (static_cast<int32_t>(list.size()) >= undoLimit_) list.erase(list.begin());
    list.push_back(std::move(entry));
  }
  if (fireEvent && OnSaveUndo) OnSaveUndo(this, source);
  return made;
}

void TImageryProc::SaveWithCaption(TEntries& list, const std::string& caption, TIEUndoSource source,
                                   bool undoSide) {
  if (!CheckAndConvert({}) || bitmap_->GetWidth() < 2 || bitmap_->GetHeight() < 2) return;
  if (Save(list, source, undoSide)) list.back().Caption = caption;
}

void TImageryProc::SaveUndoWithCaption(const std::string& caption, TIEUndoSource source) {
  SaveWithCaption(undo_, caption, source, true);
}

void TImageryProc::SaveRedoWithCaption(const std::string& caption, TIEUndoSource source) {
  SaveWithCaption(redo_, caption, source, false);
}

void TImageryProc::Apply(TEntries& list, int32_t position, bool isUndo, bool saveRedo) {
  if (!CheckAndConvert({}) || position < 0 || position >= static_cast<int32_t>(list.size())) return;
  const size_t index = list.size() - 1 - static_cast<size_t>(position);
  const TIEUndoSource source = list[index].Source;
  const int32_t tag = list[index].Tag;
  if (saveRedo && Save(redo_, source, false)) redo_.back().Tag = tag;
  // The redo recording may not touch the undo list, so the entry is still at index.
  TEntry& entry = list[index];
  if (OnBeforeUndoRedo) {
    bool handled = false;
    TObject* object = entry.Image ? static_cast<TObject*>(entry.Image.get()) : entry.State.get();
    OnBeforeUndoRedo(this, isUndo, source, object, tag, handled);
    if (handled) return;
  }
  if (entry.Image) {
    ApplyImage(entry);
  } else if (entry.State && view_) {
    entry.State->SetPosition(0);
    if (source == ieuLayer || source == ieuFullLayer) {
      ApplyLayerRecords(*entry.State);
      view_->Update();
    } else {
      view_->LoadState(source, *entry.State);
    }
  }
}

void TImageryProc::ApplyImage(const TEntry& entry) {
  TIEBitmap* target = bitmap_;
  if (entry.HasLayer) {
    // Only the layer the copy was taken from receives it; when that layer is
    // gone no other layer is overwritten.
    target = view_ ? view_->LayerBitmap(entry.Layer) : nullptr;
    if (!target) return;
  }
  target->Assign(entry.Image.get());
  NotifyImageChanged();
}

void TImageryProc::ApplyLayerRecords(TMemoryStream& stream) {
  constexpr int64_t kHead = 4 + sizeof(GUID);
  const int64_t size = stream.Size();
  while (size - stream.Position() >= kHead) {
    const int64_t start = stream.Position();
    uint8_t head[4];
    GUID identity{};
    stream.ReadBuffer(head, 4);
    stream.ReadBuffer(&identity, sizeof identity);
    const int64_t length = int32_t(head[0] | head[1] << 8 | head[2] << 16 | uint32_t{head[3]} << 24);
    // A record that cannot be as long as it says ends the walk.
    if (length < kHead || length > size - start) return;
    stream.SetPosition(start);
    view_->LoadLayerRecord(identity, stream);
    stream.SetPosition(start + length);
  }
}

// ---- operations -------------------------------------------------------------------------------------

void TImageryProc::UndoImage(const std::string& caption) {
  if (AutoUndo) SaveUndoWithCaption(caption, ieuImage);
}

bool TImageryProc::ResampleInto(TIEBitmap* dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter,
                                bool fitInside) {
  if (!dest || !CheckAndConvert({})) return false;
  const int32_t width = bitmap_->GetWidth(), height = bitmap_->GetHeight();
  if (width < 1 || height < 1) return false;
  IECalcResampleSize(newWidth, newHeight, width, height, fitInside);
  if (newWidth < 1 || newHeight < 1) return false;  // both sides negative: no size to make
  if (!dest->Allocate(newWidth, newHeight, bitmap_->GetPixelFormat())) return false;
  IEResampleBitmap(bitmap_, dest, filter, OnProgress, this);
  return true;
}

void TImageryProc::ResampleTo(TIEBitmap* dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter,
                              bool fitInside) {
  if (ResampleInto(dest, newWidth, newHeight, filter, fitInside)) DoFinishWork();
}

void TImageryProc::Resample(int32_t newWidth, int32_t newHeight, TResampleFilter filter, bool fitInside) {
  if (!CheckAndConvert({}) || bitmap_->IsEmpty()) return;
  if (newWidth == bitmap_->GetWidth() && newHeight == bitmap_->GetHeight()) return;
  if (newWidth < 0 && newHeight < 0) return;
  UndoImage(Formatted("Resample %d, %d", newWidth, newHeight));
  TIEBitmap result;
  if (!ResampleInto(&result, newWidth, newHeight, filter, fitInside)) return;
  bitmap_->Assign(&result);
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::Crop(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  if (!CheckAndConvert({})) return;
  const int32_t width = bitmap_->GetWidth(), height = bitmap_->GetHeight();
  if (x1 == 0 && y1 == 0 && x2 == width - 1 && y2 == height - 1) return;
  if (x2 < x1 || y2 < y1) return;
  UndoImage(Formatted("Crop %d, %d, %d, %d", x1, y1, x2, y2));
  // The part outside the image, when the rectangle reaches beyond it, takes the background.
  const int64_t cropW = int64_t{x2} - x1 + 1, cropH = int64_t{y2} - y1 + 1;
  if (cropW > INT32_MAX || cropH > INT32_MAX) return;
  TIEBitmap result(static_cast<int32_t>(cropW), static_cast<int32_t>(cropH), bitmap_->GetPixelFormat());
  if (result.IsEmpty()) return;
  result.Fill(Background());
  const bool withAlpha = bitmap_->HasAlphaChannel();
  if (withAlpha) result.GetAlphaChannel()->Fill(0);
  const int32_t left = std::max(x1, 0), right = std::min(x2, width - 1);
  const int32_t bits = bitmap_->GetBitCount();
  for (int32_t y = std::max(y1, 0); y <= std::min(y2, height - 1) && left <= right; ++y) {
    const int32_t count = right - left + 1;
    IECopyBits(result.GetScanline(y - y1), bitmap_->GetScanline(y), (left - x1) * bits, left * bits, count * bits,
               bitmap_->GetRowLength());
    if (withAlpha)
      std::memcpy(result.GetAlphaChannel()->GetScanline(y - y1) + (left - x1),
                  bitmap_->GetAlphaChannel()->GetScanline(y) + left, static_cast<size_t>(count));
  }
  if (bitmap_->GetPixelFormat() == ie8p) bitmap_->CopyPaletteTo(&result);
  if (withAlpha) result.GetAlphaChannel()->UpdateAllFull();
  else result.RemoveAlphaChannel();
  bitmap_->Assign(&result);
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::CropSel(bool alphaOnly) {
  if (!CheckAndConvert({})) return;
  UndoImage("CropSel");
  int32_t x1, y1, x2, y2;
  TIEMask* mask = nullptr;
  if (GetSelectionArea(x1, y1, x2, y2, mask) && mask && !mask->IsEmpty()) {
    if (alphaOnly) {
      TIEBitmap* alpha = bitmap_->GetAlphaChannel();
      for (int32_t y = 0; y < bitmap_->GetHeight(); ++y)
        for (int32_t x = 0; x < bitmap_->GetWidth(); ++x)
          alpha->SetPixel8(x, y, mask->IsPointInside(x, y) ? 255 : 0);
      alpha->UpdateAllFull();
    } else {
      TIEBitmap result(mask->X2 - mask->X1 + 1, mask->Y2 - mask->Y1 + 1, bitmap_->GetPixelFormat());
      result.Fill(Background());
      if (bitmap_->GetPixelFormat() == ie8p) bitmap_->CopyPaletteTo(&result);
      mask->CopyBitmap(result, *bitmap_, true, false, true);
      bitmap_->Assign(&result);
      TIEBitmap* alpha = bitmap_->GetAlphaChannel();
      alpha->UpdateAllFull();
      if (alpha->FullFlag()) bitmap_->RemoveAlphaChannel();
    }
  }
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::Fill(TRGB color) {
  int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  TIEBitmap* work = nullptr;
  TIEMask* mask = nullptr;
  if (!BeginImageWork({}, x1, y1, x2, y2, Formatted("Fill (%d, %d, %d)", color.r, color.g, color.b), work, mask))
    return;
  IEFillBitmapRect(work, x1, y1, x2, y2, color, OnProgress, this);
  EndImageWork(work, mask);
  DoFinishWork();
}

void TImageryProc::Clear() {
  if (!CheckAndConvert({})) return;
  UndoImage("Clear");
  bitmap_->Fill(Background());
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::Rotate(uint8_t antialiasMode, int64_t background, double angle) {
  if (angle == 0 || !CheckAndConvert({})) return;
  if (AutoUndo) {
    char caption[64];
    std::snprintf(caption, sizeof caption, "Rotate %f", angle);
    SaveUndoWithCaption(caption, ieuImage);
  }
  const TColor color = background == -1 ? Background() : static_cast<TColor>(background);
  bitmap_->RotateByAngle(antialiasMode, static_cast<TIEColor>(color), angle, OnProgress, this);
  NotifyImageChanged();
  DoFinishWork();
}

void TImageryProc::CropToAlphaBounds() {
  if (!CheckAndConvert({})) return;
  const RECT bounds = IEGetAlphaBounds(bitmap_);
  if (bounds.right < 0 || bounds.bottom < 0) return;
  const bool autoUndo = AutoUndo;
  AutoUndo = false;
  CropToRect(bounds);
  AutoUndo = autoUndo;
}

void TImageryProc::ImageResize(int32_t newWidth, int32_t newHeight, int32_t hAlign, int32_t vAlign, int32_t alpha) {
  if (!CheckAndConvert({}) || newWidth <= 0 || newHeight <= 0) return;
  if (newWidth == bitmap_->GetWidth() && newHeight == bitmap_->GetHeight()) return;
  UndoImage(Formatted("ImageResize %d, %d", newWidth, newHeight));
  if (bitmap_->GetWidth() < 2 && bitmap_->GetHeight() < 2) Clear();
  if (alpha < 255) bitmap_->GetAlphaChannel();
  bitmap_->ResizeKeepingContent(newWidth, newHeight, Background(), std::clamp(alpha, 0, 255), hAlign, vAlign);
  NotifyImageChanged();
  DoFinishWork();
}
