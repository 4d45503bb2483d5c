// Smaller services of the image view: the selection snapshot record, the
// cursors, the update lock, the event relays that expose the user's
// selection base, flat scroll bars, key and media messages, wallpaper, the
// public background painter, the selection aspect switch, the interaction
// hint, the version stamp switch and the unit's start-up and shut-down.
#include <algorithm>
#include <cstring>

#include "imaging/view/imageryview.h"
#include "platform/forms/forms.h"
#include "platform/rtl/streams.h"
#include "platform/win/user_scroll.h"

namespace {

template <class T>
void Put(TStream& stream, T value) {
  stream.WriteBuffer(&value, sizeof(value));
}

// Reads a value; false when the stream ends first.
template <class T>
bool Take(TStream& stream, T& value) {
  return stream.Read(&value, sizeof(value)) == static_cast<int32_t>(sizeof(value));
}

}  // namespace

// ---- selection snapshots -------------------------------------------------------------------------

void TImageryView::SaveSelectionToStream(TStream& stream) {
  const TIESelectionPolygon& polygon = *polygons_.front();
  const TIELayer* layer = GetCurrentLayer();
  Put<int32_t>(stream, mask_->Width);
  Put<int32_t>(stream, mask_->Height);
  Put<int32_t>(stream, polygon.Count());
  for (const POINT& p : polygon.Points) {
    Put<int32_t>(stream, p.x);
    Put<int32_t>(stream, p.y);
  }
  for (int32_t v : {polygon.Left, polygon.Top, polygon.Right, polygon.Bottom}) Put<int32_t>(stream, v);
  Put<uint8_t>(stream, sel_.Exists ? 1 : 0);
  Put<int32_t>(stream, layer->PosX);
  Put<int32_t>(stream, layer->PosY);
  Put<int32_t>(stream, mask_->BitsPerPixel);
  for (int32_t v : {mask_->X1, mask_->Y1, mask_->X2, mask_->Y2}) Put<int32_t>(stream, v);
  Put<uint8_t>(stream, mask_->Full ? 1 : 0);
  if (mask_->HasBits())
    for (int32_t row = 0; row < mask_->Height; ++row)
      stream.WriteBuffer(mask_->GetScanline(row), static_cast<int32_t>(mask_->RowLen));
}

bool TImageryView::ReadSelectionRecord(TStream& stream, TIESelectionRecord& record) {
  int32_t count = 0;
  if (!Take(stream, record.Width) || !Take(stream, record.Height) || !Take(stream, count)) return false;
  const int64_t remaining = stream.Size() - stream.Position();
  if (record.Width < 0 || record.Height < 0 || count < 0 || int64_t{count} * 8 > remaining) return false;
  record.Points.resize(static_cast<size_t>(count));
  for (POINT& p : record.Points) {
    int32_t x = 0, y = 0;
    if (!Take(stream, x) || !Take(stream, y)) return false;
    p = POINT{x, y};
  }
  for (int32_t* v : {&record.Box.left, &record.Box.top, &record.Box.right, &record.Box.bottom})
    if (!Take(stream, *v)) return false;
  uint8_t exists = 0, full = 0;
  if (!Take(stream, exists) || !Take(stream, record.PosX) || !Take(stream, record.PosY) ||
      !Take(stream, record.BitsPerPixel))
    return false;
  for (int32_t* v : {&record.X1, &record.Y1, &record.X2, &record.Y2})
    if (!Take(stream, *v)) return false;
  if (!Take(stream, full)) return false;
  record.Full = full != 0;
  if (record.BitsPerPixel != 1 && record.BitsPerPixel != 8) return false;
  const auto placed = [](int32_t v) { return v >= -IELayerExtentLimit && v <= IELayerExtentLimit; };
  if (!placed(record.PosX) || !placed(record.PosY)) return false;
  if (record.Width == 0 || record.Height == 0) return true;
  const int64_t rowLength = IEBitmapRowLen(record.Width, record.BitsPerPixel, 32);
  if (rowLength <= 0 || rowLength * record.Height > stream.Size() - stream.Position()) return false;
  record.Bits.resize(static_cast<size_t>(rowLength * record.Height));
  stream.ReadBuffer(record.Bits.data(), static_cast<int32_t>(record.Bits.size()));
  return true;
}

void TImageryView::FitMaskToLayer(const TIESelectionRecord& record, int32_t mode) {
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  const TIELayer* layer = GetCurrentLayer();
  if (mode == 2) {
    mask_->Resize(width + std::max(0, record.PosX) + record.Width, height + std::max(0, record.PosY) + record.Height);
    int32_t dx = record.PosX, dy = record.PosY;
    mask_->Offset(dx, dy, true);
    dx = -layer->PosX;
    dy = -layer->PosY;
    mask_->Offset(dx, dy, true);
    mask_->Resize(width, height);
    // The polygon moves with the mask, clipped alike.
    IEMoveSelectionPolygon(*polygons_.front(), record.PosX - layer->PosX, record.PosY - layer->PosY, true, width,
                           height);
  } else if (mask_->Width != width || mask_->Height != height) {
    if (!mask_->IsEmpty()) {
      if (mode == 1) {
        int32_t dx = std::min(0, width - 1 - mask_->X2), dy = std::min(0, height - 1 - mask_->Y2);
        if (dx != 0 || dy != 0) {
          mask_->Offset(dx, dy, true);
          IEMoveSelectionPolygon(*polygons_.front(), dx, dy, true, width, height);
        }
      }
    }
    mask_->Resize(width, height);
  } else {
    return;
  }
  mask_->UpdateFullFlag();
  mask_->RecalcBoundingBox();
}

bool TImageryView::LoadSelectionFromStream(TStream& stream, int32_t mode) {
  TIESelectionRecord record;
  if (!ReadSelectionRecord(stream, record)) return false;
  TIESelectionPolygon& polygon = *polygons_.front();
  polygon.Points = record.Points;
  polygon.Left = record.Box.left;
  polygon.Top = record.Box.top;
  polygon.Right = record.Box.right;
  polygon.Bottom = record.Box.bottom;
  mask_->Allocate(record.Width, record.Height, record.BitsPerPixel);
  if (!record.Bits.empty()) {
    mask_->EnsureBits();
    const size_t rowLength = record.Bits.size() / static_cast<size_t>(record.Height);
    for (int32_t row = 0; row < record.Height; ++row)
      std::memcpy(mask_->GetScanline(row), record.Bits.data() + rowLength * static_cast<size_t>(row), rowLength);
  }
  mask_->X1 = record.X1;
  mask_->Y1 = record.Y1;
  mask_->X2 = record.X2;
  mask_->Y2 = record.Y2;
  mask_->Full = record.Full;
  BeginUpdateLock();
  FitMaskToLayer(record, mode);
  if (mask_->IsEmpty()) {
    Deselect();
  } else {
    sel_.Exists = true;
    polygons_.front()->Visible = true;
  }
  EndUpdateLock();
  Update();
  return true;
}

void TImageryView::PushSelection() {
  auto stream = std::make_unique<TMemoryStream>();
  SaveSelectionToStream(*stream);
  selectionSnapshots_.push_back(std::move(stream));
}

bool TImageryView::PopSelection(bool remove, int32_t mode) {
  if (selectionSnapshots_.empty()) return false;
  TMemoryStream& stream = *selectionSnapshots_.back();
  stream.SetPosition(0);
  const bool result = LoadSelectionFromStream(stream, mode);
  if (remove) selectionSnapshots_.pop_back();
  return result;
}

// ---- alpha channel -----------------------------------------------------------------------------

void TImageryView::RemoveAlphaChannel(bool merge) {
  ieBitmap_->RemoveAlphaChannel(merge, background_);
  Update();
}

// ---- cursors ----------------------------------------------------------------------------------------

void TImageryView::SetCursor(TCursor cursor) {
  if (OnSetCursor) OnSetCursor(this, cursor);
  cursor_ = cursor;
  TControl::SetCursor(cursor);
}

void TImageryView::SetTempCursor(TCursor cursor, bool alsoScreen) {
  if (!Owner()) return;
  if (OnSetCursor) OnSetCursor(this, cursor);
  TControl::SetCursor(cursor);
  if (!alsoScreen) return;
  savedScreenCursor_ = Screen->Cursor();
  Screen->SetCursor(cursor);
}

void TImageryView::RestoreCursor() {
  SetTempCursor(cursor_, false);
  if (savedScreenCursor_ == -1) return;
  Screen->SetCursor(static_cast<TCursor>(savedScreenCursor_));
  savedScreenCursor_ = -1;
}

// ---- settings -------------------------------------------------------------------------------------

void TImageryView::SetDrawVersion(bool value) {
  drawVersion_ = value;
  PaintNow();
}

void TImageryView::SetFlatScrollBars(bool value) {
  if (value == flatScrollBars_) return;
  flatScrollBars_ = value;
  if (!HandleAllocated()) return;
  HWND window = Handle();
  if (value) {
    SetScrollRange(window, SB_HORZ, 0, 65535, FALSE);
    SetScrollRange(window, SB_VERT, 0, 65535, FALSE);
    InitializeFlatSB(window);
    FlatSB_ShowScrollBar(window, SB_BOTH, FALSE);
  } else {
    UninitializeFlatSB(window);
  }
}

void TImageryView::SetWallPaper(TPicture* picture) {
  if (picture)
    wallPaper_->Assign(picture);
  else
    wallPaper_ = std::make_unique<TPicture>();
  UpdateWithReason(ieurBackground);
}

void TImageryView::SetWallPaperStyle(TIEWallPaperStyle style) {
  if (style != wallPaperStyle_) wallPaperStyle_ = style;
  UpdateWithReason(ieurBackground);
}

void TImageryView::DrawBackground(TCanvas* canvas, int32_t width, int32_t height) {
  if (width == -1) width = Width();
  if (height == -1) height = Height();
  IEDrawBackground(ComponentState(), canvas, nullptr, backgroundStyle_, background_, 0, 0, width, height, offsetX_,
                   offsetY_, offsetX_ + extentWidth_, offsetY_ + extentHeight_, chessboardSize_,
                   chessboardBrushStyle_, GradientEndColor, wallPaper_.get(), wallPaperStyle_);
}

TBitmap* TImageryView::GetBackBuffer() { return backBuffer_ ? backBuffer_->GetTBitmap() : nullptr; }

void TImageryView::SetSelectionAspectRatio(double value) {
  if (value == sel_.AspectRatio) return;
  sel_.AspectRatio = value;
  TIESelectionOptions options = sel_.Options;
  if (value != 0)
    options.Include(iesoSizeable);
  else
    options.Exclude(iesoSizeable);
  SetSelectionOptions(options);
}

void TImageryView::SetInteractionHint(const std::string& text, int32_t x, int32_t y,
                                      const std::string& sizingText) {
  hintText_ = text;
  hintX_ = x;
  hintY_ = y;
  hintSizingText_ = sizingText;
}

void TImageryView::WithUserSelectionBase(const std::function<void()>& fire) {
  if (!selectionBaseForced_) return fire();
  std::swap(sel_.Base, userSelectionBase_);
  try {
    fire();
  } catch (...) {
    std::swap(sel_.Base, userSelectionBase_);
    throw;
  }
  std::swap(sel_.Base, userSelectionBase_);
}

// ---- key and media messages ------------------------------------------------------------------

void TImageryView::WMKeyMessage(TMessage& message) {
  TIEView::WndProc(message);
  if (message.Msg == CM_WANTSPECIALKEY) {
    bool handled = false;
    if (OnSpecialKey) OnSpecialKey(this, static_cast<WORD>(message.WParam), GetShiftState(), handled);
    if (handled) message.Result = 1;
    return;
  }
  const bool down = message.Msg == WM_KEYDOWN || message.Msg == WM_SYSKEYDOWN;
  if (OnVirtualKey)
    OnVirtualKey(this, static_cast<uint32_t>(message.WParam), static_cast<uint32_t>(message.LParam), down);
}

// No video objects exist in this library: only the Media Foundation
// notification reaches the application.
void TImageryView::WMMediaMessage(TMessage& message) {
  if (message.Msg == 0x1F5E && OnMediaFoundationNotify)
    OnMediaFoundationNotify(this, reinterpret_cast<TObject*>(message.LParam),
                            static_cast<int32_t>(message.WParam & 0xFF));
}

// ---- unit start-up and shut-down ----------------------------------------------------------------

void IEInitializeImageryView() { IEResetXorPen(); }

void IEFinalizeImageryView() { IEGetGlobalSettings()->PixelGridPen.reset(); }
