// The image view: creation and destruction, the central refresh, the paint
// locks, the window messages and the published properties.
#include "imaging/view/imageryview.h"

#include <algorithm>

#include "imaging/core/iegdiplus.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc_component.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/properties.h"
#include "platform/rtl/streams.h"
#include "platform/win/vfw.h"

namespace {

const TEnumNames kScrollStyleNames{"ssNone", "ssHorizontal", "ssVertical", "ssBoth"};
const TEnumNames kFilterNames{"rfNone",     "rfTriangle",  "rfHermite",    "rfBell",       "rfBSpline",
                              "rfLanczos3", "rfMitchell",  "rfNearest",    "rfLinear",     "rfFastLinear",
                              "rfBilinear", "rfBicubic",   "rfProjectBW",  "rfProjectWB",  "rfWICNearestNeighbor",
                              "rfWICLinear", "rfWICCubic", "rfWICFant"};
const TEnumNames kBackgroundStyleNames{"iebsSolid",     "iebsHorizontal", "iebsVertical",   "iebsFDiagonal",
                                       "iebsBDiagonal", "iebsCross",      "iebsDiagCross",  "iebsChessboard",
                                       "iebsDiagonals", "iebsCropped",    "iebsCropShadow", "iebsGradient",
                                       "iebsSoftShadow", "iebsPhotoLike"};
const TEnumNames kWallPaperStyleNames{"iewoNormal", "iewoStretch", "iewoTile"};
const TEnumNames kSelectionBaseNames{"iesbClientArea", "iesbBitmap"};
const TEnumNames kMouseInteractNames{"miZoom",          "miScroll",       "miSelect",        "miSelectPolygon",
                                     "miSelectCircle",  "miSelectZoom",   "miSelectMagicWand", "miSelectLasso",
                                     "miMoveLayers",    "miResizeLayers", "miRotateLayers",  "miMovingScroll"};
const TEnumNames kSelectionOptionNames{
    "iesoAnimated",          "iesoSizeable",          "iesoMoveable",
    "iesoFilled",            "iesoCutBorders",        "iesoMarkOuter",
    "iesoCanScroll",         "iesoSelectTranspLayers", "iesoRightButtonSelectLayers",
    "iesoRightButtonTerminatePolySelect", "iesoDisableOneClickDeselect", "iesoDisableNewSelection",
    "iesoShowCenter"};

// The component is being loaded, read, written, destroyed or designed.
bool Busy(const TComponent& component) {
  const TComponentState state = component.ComponentState();
  return state.Contains(csLoading) || state.Contains(csReading) || state.Contains(csWriting) ||
         state.Contains(csDestroying) || state.Contains(csDesigning);
}

}  // namespace

const TClassInfo& TImageryView::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImageryView>("TImageryView", &TIEView::StaticClassInfo(), [](TPublished<TImageryView>& p) {
        p.Boolean("LegacyBitmap", &TImageryView::LegacyBitmap, &TImageryView::SetLegacyBitmap)
            .Boolean("DoubleBuffer", &TImageryView::DoubleBuffer, &TImageryView::SetDoubleBuffer)
            .Enumeration("ZoomFilter", kFilterNames, &TImageryView::ZoomFilter, &TImageryView::SetZoomFilter)
            .Enumeration("ScrollBars", kScrollStyleNames, &TImageryView::ScrollBars, &TImageryView::SetScrollBars)
            .SetOf("SelectionOptions", kSelectionOptionNames, &TImageryView::SelectionOptions,
                   &TImageryView::SetSelectionOptions)
            .Boolean("Center", &TImageryView::Center, &TImageryView::SetCenter)
            .SetOf("MouseInteract", kMouseInteractNames, &TImageryView::MouseInteract,
                   &TImageryView::SetMouseInteract)
            .Boolean("AutoFit", &TImageryView::AutoFit, &TImageryView::SetAutoFit)
            .Enumeration("SelectionBase", kSelectionBaseNames, &TImageryView::SelectionBase,
                         &TImageryView::SetSelectionBase)
            .Enumeration("BackgroundStyle", kBackgroundStyleNames, &TImageryView::BackgroundStyle,
                         &TImageryView::SetBackgroundStyle)
            .Boolean("DelayZoomFilter", &TImageryView::DelayZoomFilter, &TImageryView::SetDelayZoomFilter)
            .Boolean("EnableAlphaChannel", &TImageryView::EnableAlphaChannel, &TImageryView::SetEnableAlphaChannel)
            .Boolean("AutoStretch", &TImageryView::AutoStretch, &TImageryView::SetAutoStretch)
            .Boolean("AutoShrink", &TImageryView::AutoShrink, &TImageryView::SetAutoShrink)
            .Boolean("DrawVersion", &TImageryView::DrawVersion, &TImageryView::SetDrawVersion)
            .String("ImageryVersion", [](const TImageryView&) { return TImageryView::ImageryVersion(); },
                    &TImageryView::SetImageryVersion)
            .Enumeration("WallPaperStyle", kWallPaperStyleNames, &TImageryView::WallPaperStyle,
                         &TImageryView::SetWallPaperStyle)
            .Boolean("Playing", &TImageryView::Playing, &TImageryView::SetPlaying)
            .Boolean("FlatScrollBars", &TImageryView::FlatScrollBars, &TImageryView::SetFlatScrollBars)
            .Integer("Cursor", &TImageryView::Cursor, &TImageryView::SetCursor, &CursorIdents())
            .Event("OnViewChange", &TImageryView::OnViewChange)
            .Event("OnViewChanging", &TImageryView::OnViewChanging)
            .Event("OnImageChange", &TImageryView::OnImageChange)
            .Event("OnSelectionChange", &TImageryView::OnSelectionChange)
            .Event("OnSelectionChanging", &TImageryView::OnSelectionChanging)
            .Event("OnBeforeSelectionChange", &TImageryView::OnBeforeSelectionChange)
            .Event("OnMouseInSel", &TImageryView::OnMouseInSel)
            .Event("OnPaint", &TImageryView::OnPaint)
            .Event("OnZoomIn", &TImageryView::OnZoomIn)
            .Event("OnZoomOut", &TImageryView::OnZoomOut)
            .Event("OnDrawBackBuffer", &TImageryView::OnDrawBackBuffer)
            .Event("OnLayerNotify", &TImageryView::OnLayerNotify)
            .Event("OnSpecialKey", &TImageryView::OnSpecialKey)
            .Event("OnVirtualKey", &TImageryView::OnVirtualKey)
            .Event("OnDrawBackground", &TImageryView::OnDrawBackground)
            .Event("OnDrawCanvas", &TImageryView::OnDrawCanvas)
            .Event("OnSetCursor", &TImageryView::OnSetCursor)
            .Event("OnImageryGesture", &TImageryView::OnImageryGesture)
            .Event("OnFinishSmoothTask", &TImageryView::OnFinishSmoothTask)
            .Event("OnMouseInResizingGrip", &TImageryView::OnMouseInResizingGrip)
            .Event("OnDrawLayerBox", &TImageryView::OnDrawLayerBox)
            .Event("OnDrawLayer", &TImageryView::OnDrawLayer)
            .Event("OnDrawLayerGrip", &TImageryView::OnDrawLayerGrip)
            .Event("OnDrawPolygon", &TImageryView::OnDrawPolygon)
            .Event("OnDShowNewFrame", &TImageryView::OnDShowNewFrame)
            .Event("OnDShowEvent", &TImageryView::OnDShowEvent)
            .Event("OnMediaFoundationNotify", &TImageryView::OnMediaFoundationNotify)
            .Event("OnProgress", [](const TImageryView& v) { return static_cast<bool>(v.onProgress_); },
                   &TImageryView::SetOnProgress)
            .Event("OnFinishWork", [](const TImageryView& v) { return static_cast<bool>(v.onFinishWork_); },
                   &TImageryView::SetOnFinishWork)
            .Event("OnAcquireBitmap", [](const TImageryView& v) { return static_cast<bool>(v.onAcquireBitmap_); },
                   &TImageryView::SetOnAcquireBitmap)
            .Event("OnSaveUndo", &TImageryView::GetOnSaveUndo, &TImageryView::SetOnSaveUndo)
            .Event("OnTransitionStop", &TImageryView::GetOnTransitionStop, &TImageryView::SetOnTransitionStop)
            .Event("OnTransitionStep", &TImageryView::GetOnTransitionStep, &TImageryView::SetOnTransitionStep)
            .Event("OnTransitionPaint", &TImageryView::GetOnTransitionPaint, &TImageryView::SetOnTransitionPaint)
            .Boolean("EnableInteractionHints", [](const TImageryView& v) { return v.EnableInteractionHints; },
                     [](TImageryView& v, bool value) { v.EnableInteractionHints = value; })
            .Boolean("PlayLoop", [](const TImageryView& v) { return v.PlayLoop; },
                     [](TImageryView& v, bool value) { v.PlayLoop = value; })
            .Object("WallPaper", &TImageryView::WallPaper);
      });
  return info;
}

// ---- creation and destruction ---------------------------------------------------------------

TImageryView::TImageryView(TComponent* owner) : TIEView(owner) {
  BeginUpdateLock();
  if (!IEGetGlobalSettings()->PixelGridPen) IEInitializeImageryView();
  const bool designing = ComponentState().Contains(csDesigning);
  IEGDIPlusLoad();
  // The current bitmap held in a framework bitmap of its own (legacy mode).
  ieBitmap_ = new TIEBitmap;
  ieBitmap_->SetLocation(ieTBitmap);
  legacyBitmap_ = ieBitmap_->GetTBitmap();
  imageWidth_ = ieBitmap_->GetWidth();
  imageHeight_ = ieBitmap_->GetHeight();
  auto* layer0 = new TIELayer(this, true, ieBitmap_);
  layer0->Locked = true;
  layer0->ShowBox = false;
  layers_.push_back(layer0);
  drawDib_ = DrawDibOpen();
  if (owner) IERegisterViewCursors();
  SetDoubleBuffered(true);
  TControl::SetBounds(Left(), Top(), 105, 105);
  SetDpi(IEGetGlobalSettings()->DefaultDPIX, IEGetGlobalSettings()->DefaultDPIY);
  CreateSelectionPolygon(clBlack, clWhite, true, true);
  if (!designing) {
    backBuffer_ = std::make_unique<TIEBitmap>();
    backBuffer_->SetLocation(ieTBitmap);
    backBuffer_->Allocate(10, 10, ie24RGB);
    polygons_.front()->Visible = false;
  }
  hScrollParams_ = std::make_unique<TIEScrollBarParams>();
  vScrollParams_ = std::make_unique<TIEScrollBarParams>();
  wheelParams_ = std::make_unique<TIEMouseWheelParams>(2);
  mask_ = std::make_unique<TIEMask>();
  mask_->Allocate(imageWidth_, imageHeight_, 1);
  wallPaper_ = std::make_unique<TPicture>();
  LayerBoxPen = std::make_unique<TPen>();
  LayerBoxPen->SetStyle(psDot);
  LayerBoxPen->SetMode(pmNot);
  LayerBoxPen->SetWidth(1);
  gestures_ = std::make_unique<TIEViewerGestures>();
  EndUpdateLock();
}

TImageryView::~TImageryView() {
  destroying_ = true;
  StopSmoothScroll();
  delete smoothTimer_;
  smoothTimer_ = nullptr;
  gestures_.reset();
  SyncLayers();
  delete transition_;
  transition_ = nullptr;
  if (navigator_) SetNavigator(nullptr, 0);
  if (navigatorOf_) navigatorOf_->navigator_ = nullptr;
  StopPlayTimer();
  FreeComponents();
  delete outlineTimer_;
  outlineTimer_ = nullptr;
  backBuffer_.reset();
  polygons_.clear();
  if (drawDib_) DrawDibClose(drawDib_);
  mask_.reset();
  for (TIELayer* layer : layers_) delete layer;  // the current and the legacy bitmap go with layer 0
  layers_.clear();
  ieBitmap_ = nullptr;
  legacyBitmap_ = nullptr;
  selectionSnapshots_.clear();
  dotBitmap_.reset();
  dimBuffer_.reset();
  IEGDIPlusUnload();
}

// ---- locks -----------------------------------------------------------------------------------

void TImageryView::BeginPaintLock() { ++paintLock_; }

int32_t TImageryView::EndPaintLock() {
  if (paintLock_ > 0) --paintLock_;
  if (paintLock_ == 0) Update();
  return paintLock_;
}

int32_t TImageryView::EndPaintLockNoRefresh() {
  if (paintLock_ > 0) --paintLock_;
  return paintLock_;
}

void TImageryView::EndUpdateLock() {
  if (updateLock_ > 0) --updateLock_;
  if (updateLock_ == 0) Update();
}

void TImageryView::EndUpdateLockNoRefresh() {
  if (updateLock_ > 0) --updateLock_;
}

// ---- the central refresh ----------------------------------------------------------------------

void TImageryView::UpdateWithReason(uint8_t reason) {
  updateReason_ = reason;
  Update();
}

void TImageryView::DiscardLayerCaches() {
  if (layerCacheIndex_ < 0) {
    for (TIELayer* layer : layers_) layer->FreeMaskedAlphaCache();
  } else if (layerCacheIndex_ < GetLayerCount()) {
    layers_[layerCacheIndex_]->FreeMaskedAlphaCache();
  }
  layerCacheIndex_ = -1;
}

void TImageryView::ApplyAutoFit() {
  if (!(autoFit_ || autoShrink_ || autoStretch_) || imageWidth_ == 0 || imageHeight_ == 0) return;
  DoViewChanging(2, zoomX_);
  int32_t mx = 0, my = 0;
  GetFrameMargins(mx, my, false, false);
  double zoom = 100;
  if (imageWidth_ >= 2 || imageHeight_ >= 2)
    zoom = GetAutoFitZoom(imageWidth_, imageHeight_, GetViewWidth() - 2 * mx, GetViewHeight() - 2 * my,
                          autoShrink_ || autoFit_, autoStretch_ || autoFit_);
  if (zoom < 1) zoom = 1;
  ApplyZoom(zoom);
  UpdateVisibleBitmapRect();
  UpdateCoordinateTables();
  DoViewChange(1);
  delayedFilterCount_ = 0;
  outlinePauseCount_ = 0;
}

void TImageryView::FollowBitmapSize() {
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (width != lastBitmapWidth_ || height != lastBitmapHeight_) {
    lastBitmapWidth_ = width;
    lastBitmapHeight_ = height;
  }
  if (mask_->Width != width || mask_->Height != height) {
    if (sel_.Exists) {
      mask_->Resize(width, height);
      mask_->UpdateFullFlag();
      mask_->RecalcBoundingBox();
    } else {
      mask_->Allocate(width, height, 1);
    }
  }
  TIEBitmap* alpha = ieBitmap_->PeekAlphaChannel();
  if (alpha && (alpha->GetWidth() != width || alpha->GetHeight() != height)) {
    alpha->Allocate(width, height, ie8g);
    alpha->Fill(255);
  }
}

void TImageryView::LowerOriginsToMaximum() {
  int32_t maxX = 0, maxY = 0;
  GetMaxViewXY(maxX, maxY);
  bool lowered = false;
  if (viewX_ > maxX) {
    DoViewChanging(0, maxX);
    viewX_ = maxX;
    lowered = true;
  }
  if (viewY_ > maxY) {
    DoViewChanging(1, maxY);
    viewY_ = maxY;
    lowered = true;
  }
  if (lowered) DoViewChange(0);
  UpdateScrollBars(maxX, maxY);
}

void TImageryView::Update() {
  if (updateLock_ > 0 || Busy(*this)) return;
  insideUpdate_ = true;
  try {
    DiscardLayerCaches();
    SyncLayers();
    HoldZoomCap();
    ApplyAutoFit();
    FollowBitmapSize();
    if (HandleAllocated()) {
      const int32_t viewWidth = GetViewWidth(), viewHeight = GetViewHeight();
      if (HasParentWindow()) LowerOriginsToMaximum();
      if ((viewWidth != GetViewWidth() || viewHeight != GetViewHeight()) && !reenteredUpdate_) {
        const uint8_t reason = updateReason_;
        reenteredUpdate_ = true;
        try {
          Update();
        } catch (...) {
          reenteredUpdate_ = false;
          throw;
        }
        reenteredUpdate_ = false;
        updateReason_ = reason;
        insideUpdate_ = true;
      }
      UpdateImageExtent();
      backBufferDirty_ = true;
      fullRepaint_ = true;
      if (HasParentWindow() && !invalidateSuspended_) Invalidate();
      if (navigator_ && navigator_->paintLock_ == 0) {
        if (updateReason_ == ieurGeneral) navigator_->Update();
        UpdateNavigator();
      }
    }
  } catch (...) {
    updateReason_ = ieurGeneral;
    insideUpdate_ = false;
    throw;
  }
  updateReason_ = ieurGeneral;
  insideUpdate_ = false;
}

// ---- size and emptiness ------------------------------------------------------------------------

bool TImageryView::HasParentWindow() {
  return GetParentForm() != nullptr || (Parent() && Parent()->HandleAllocated());
}

int32_t TImageryView::GetViewWidth() {
  if (FixedViewSize) return Width();
  if (HasParentWindow() && HandleAllocated()) return ClientWidth();
  return 50;
}

int32_t TImageryView::GetViewHeight() {
  if (FixedViewSize) return Height();
  if (HasParentWindow() && HandleAllocated()) return ClientHeight();
  return 50;
}

bool TImageryView::IsEmpty() { return ieBitmap_->GetWidth() < 2 && ieBitmap_->GetHeight() < 2; }

bool TImageryView::IsBlank() {
  if (imageChanged_) return false;
  const int32_t width = ieBitmap_->GetWidth(), height = ieBitmap_->GetHeight();
  if (width <= 1 || height <= 1) return true;
  if (width != Width() || height != Height()) return false;
  TRGB pixel{}, background{};
  ieBitmap_->GetPixelRGB(0, 0, pixel);
  IEColorToRGB(background_, background);
  return pixel.r == background.r && pixel.g == background.g && pixel.b == background.b;
}

void TImageryView::Blank() {
  SetPlaying(false);
  StopTransition();
  ieBitmap_->Allocate(1, 1, ieBitmap_->GetPixelFormat() == ieNoFormat ? ie24RGB : ieBitmap_->GetPixelFormat());
  FillWithBackground();
  imageChanged_ = false;
}

void TImageryView::FillWithBackground() {
  if (ieBitmap_->GetPixelFormat() == ieNoFormat)
    ieBitmap_->Allocate(std::max(1, ieBitmap_->GetWidth()), std::max(1, ieBitmap_->GetHeight()), ie24RGB);
  ieBitmap_->Fill(static_cast<double>(background_));
  ieBitmap_->RemoveAlphaChannel(false);
  Update();
}

void TImageryView::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  TIEView::SetBounds(left, top, width, height);
  const TComponentState state = ComponentState();
  if (ieBitmap_ && (state.Contains(csReading) || state.Contains(csLoading) || state.Contains(csDesigning))) {
    ieBitmap_->Allocate(std::max(width, 1), std::max(height, 1), ie24RGB);
    FillWithBackground();
  }
}

void TImageryView::UpdateAfterResize() {
  StopTransition();
  UpdateWithReason(ieurBackground);
}

void TImageryView::WMSize(TMessage& message) {
  TIEView::WndProc(message);
  if (!insideUpdate_) UpdateAfterResize();
}

// ---- window messages ---------------------------------------------------------------------------

void TImageryView::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_SIZE: return WMSize(message);
    case WM_HSCROLL: return WMScroll(message, true);
    case WM_VSCROLL: return WMScroll(message, false);
    case WM_ERASEBKGND: message.Result = 0; return;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TIEView::WndProc(message);
      Invalidate();
      return;
    case WM_TIMER: return WMTimer(message);
    case IEM_UPDATE: Update(); return;
    case IEM_PROGRESS:
      if (onProgress_) onProgress_(this, static_cast<int32_t>(message.WParam));
      return;
    case IEM_FINISHWORK:
      if (onFinishWork_) onFinishWork_(this);
      return;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case CM_WANTSPECIALKEY: return WMKeyMessage(message);
    case 0x1F59:
    case 0x1F5A:
    case 0x1F5E: return WMMediaMessage(message);
    case WM_MOUSEWHEEL: return WMMouseWheel(message);
    case WM_LBUTTONDBLCLK: return WMLButtonDblClk(message);
    case WM_GESTURENOTIFY: return WMGestureNotify(message);
    case WM_GESTURE: return WMGesture(message);
    default: TIEView::WndProc(message);
  }
}
