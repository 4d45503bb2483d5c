// The image view TImageryView: a window control that shows one TIEBitmap
// (with layers on top of it) zoomed, centred and scrolled, lets the user
// select regions and zoom or scroll with the mouse, and owns the I/O and
// processing components that load, save and edit its image.
//
// Sections: enumerations and events | gesture settings | the view (creation
// and ownership | geometry and refresh | painting | attached components |
// services | layers | compositing | selections | mouse and keys | smooth
// scrolling and gestures | navigator | data model)
//
// The view's operations live in several files: imageryview.cpp (creation,
// refresh, locks), imageryview_geometry.cpp, imageryview_paint.cpp,
// imageryview_components.cpp, imageryview_services.cpp, and the layer,
// selection, mouse, scrolling and navigator files of their blocks.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/ieview.h"
#include "imaging/view/imageryview_layers.h"
#include "imaging/view/imageryview_select.h"
#include "imaging/view/transitioneffects.h"
#include "platform/forms/graphics.h"
#include "platform/win/gdi.h"

class TImageryIO;
class TImageryProc;
class TIETransitionEffects;
class TIEDirectShow;
class TMemoryStream;
class TStream;
class TTimer;
class TIEViewIOLink;
class TIEViewProcLink;
enum TIEUndoSource : uint8_t;

// ---- enumerations and events ------------------------------------------------------------

enum TIEWallPaperStyle : uint8_t { iewoNormal, iewoStretch, iewoTile };

// Smooth tasks reported by OnFinishSmoothTask.
enum TIESmoothTask : uint8_t { iestScroll, iestZoom };

// Why the last Update ran: general, placement, zoom, selection, size or background.
constexpr uint8_t ieurGeneral = 0, ieurPlacement = 1, ieurZoom = 2, ieurSelection = 3, ieurBackground = 4;

// Kinds of OnViewChanging: 0 view origin x, 1 view origin y, 2 zoom; of OnViewChange: 0 scroll, 1 zoom.
using TIEViewChangeEvent = std::function<void(TObject* sender, int32_t change)>;
using TIEViewChangingEvent = std::function<void(TObject* sender, int32_t kind, double value)>;
using TIEProgressEventView = std::function<void(TObject* sender, int32_t percent)>;
using TIEAcquireBitmapEvent =
    std::function<void(TObject* sender, TIEBitmap* bitmap, int32_t dpiX, int32_t dpiY, bool& handled)>;
using TIESaveUndoEventView = std::function<void(TObject* sender, TIEUndoSource source)>;
using TIEZoomEvent = std::function<void(TObject* sender, double& zoom)>;
using TIEDrawCanvasEvent = std::function<void(TObject* sender, TCanvas* canvas, RECT rect)>;
using TIEDrawBackgroundEvent =
    std::function<void(TObject* sender, TCanvas* canvas, RECT rect, bool& handled)>;
using TIESpecialKeyEvent =
    std::function<void(TObject* sender, WORD charCode, TShiftState shift, bool& handled)>;
using TIEVirtualKeyEvent = std::function<void(TObject* sender, uint32_t virtualKey, uint32_t keyData, bool keyDown)>;
using TIESetCursorEvent = std::function<void(TObject* sender, TCursor& cursor)>;
using TIELayerNotify = std::function<void(TObject* sender, int32_t layer, TIELayerEvent event)>;
using TIEDrawLayerEvent = std::function<void(TObject* sender, TIEBitmap* dest, int32_t layerIndex)>;
using TIEDrawLayerBoxEvent = std::function<void(TObject* sender, TIEBitmap* bitmap, int32_t layer)>;
using TIEDrawLayerGrip =
    std::function<void(TObject* sender, TIEBitmap* bitmap, int32_t layer, int32_t grip, RECT rect)>;
using TIEFinishSmoothTaskEvent = std::function<void(TObject* sender, TIESmoothTask task)>;
using TIEDShowNewFrameEvent = TNotifyEvent;
using TIEDShowEvent = TNotifyEvent;
using TIEMediaFoundationNotifyEvent = std::function<void(TObject* sender, TObject* media, int32_t kind)>;

// ---- gesture settings ------------------------------------------------------------------------

enum TIEGestureFlag : uint8_t { iegfBegin, iegfInertia, iegfEnd };
using TIEGestureFlags = Set<TIEGestureFlag>;
enum TIEGestureID : uint8_t {
  iegiBegin, iegiEnd, iegiZoom, iegiPan, iegiRotate, iegiTwoFingerTap, iegiPressAndTap
};
using TIEImageryGestureEvent =
    std::function<void(TObject* sender, TIEGestureFlags flags, TIEGestureID id, POINT location, int32_t value,
                       int32_t inertiaX, int32_t inertiaY, uint32_t pressAndTapDistance, bool& handled)>;

// One gesture family's settings; switching one on switches its linked ones off.
class TIEGestureOptions : public TObject {
public:
  std::vector<TIEGestureOptions*> LinkedOptions;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool ApplyInertia = false;
  double Multiplier = 1.0;
  bool Snap = false;
  double SnapValue = 0;

private:
  bool enabled_ = false;
};

class TIEGesturePanOptions : public TIEGestureOptions {
public:
  int32_t BoundsLeft = INT32_MIN, BoundsTop = INT32_MIN, BoundsRight = INT32_MAX, BoundsBottom = INT32_MAX;
};
using TIEGestureLayerMoveOptions = TIEGesturePanOptions;

class TIEGestureZoomOptions : public TIEGestureOptions {
public:
  double MaxValue = 0, MinValue = 0;
};
using TIEGestureLayerRotateOptions = TIEGestureZoomOptions;

// The view's gesture settings: pan, zoom, layer rotation and layer moves, all off at first.
class TIEViewerGestures : public TObject {
public:
  TIEViewerGestures();
  TIEGesturePanOptions Pan;
  TIEGestureZoomOptions Zoom;
  TIEGestureLayerRotateOptions LayerRotate;
  TIEGestureLayerMoveOptions LayerMove;
  // Any of the four is on.
  bool Enabled() const;
};

// ---- the view -------------------------------------------------------------------------------

class TImageryView : public TIEView, public TIEIOViewSource {
  FORMS_CLASS(TImageryView)

public:
  // ======== creation and ownership (imageryview.cpp)
  explicit TImageryView(TComponent* owner);
  ~TImageryView() override;

  // -- the TIEView interface
  TBitmap* GetTBitmap() override { return legacyBitmap_; }
  TIEBitmap* GetIEBitmap() override { return ieBitmap_; }
  TIEBitmap* GetAlphaChannel() override;
  bool HasAlphaChannel() override;
  void RemoveAlphaChannel(bool merge) override;
  void BeginPaintLock() override;
  int32_t EndPaintLock() override;
  int32_t EndPaintLockNoRefresh() override;
  int32_t PaintLockCount() const { return paintLock_; }
  void ImageChange() override;
  void SetBackground(TIEColor color) override;

  // ======== geometry and refresh (imageryview.cpp, imageryview_geometry.cpp)
  // The central refresh: layers synchronised, zoom fitted, scroll bars set,
  // extent recomputed, the window invalidated. Nothing while the update lock is held.
  void Update() override;
  // Update for a reason (ieur*), which the geometry and the compositor read.
  void UpdateWithReason(uint8_t reason);
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  virtual int32_t GetViewWidth();
  virtual int32_t GetViewHeight();
  virtual bool HasParentWindow();
  virtual bool IsEmpty();
  virtual bool IsBlank();
  // The current bitmap becomes 1 x 1 in the background colour.
  void Blank();
  void FillWithBackground();

  double Zoom() const { return zoomX_; }
  double ZoomX() const { return zoomX_; }
  double ZoomY() const { return zoomY_; }
  void SetZoom(double zoom);
  void SetZoomX(double zoom);
  void SetZoomY(double zoom);
  // Zooms keeping the bitmap point under the view centre; no repaint.
  virtual void ApplyZoom(double zoom);
  virtual void ApplyZoomX(double zoom);
  virtual void ApplyZoomY(double zoom);
  void Fit();
  double GetFitZoom();
  // Zoom keeping the client point under the cursor, or centring it.
  void ZoomAt(int32_t x, int32_t y, bool centre, double zoom);
  // The zoom for an image of w x h in an area of aw x ah.
  double GetAutoFitZoom(int32_t w, int32_t h, int32_t aw, int32_t ah, bool shrink, bool stretch);
  void GetFrameMargins(int32_t& fx, int32_t& fy, bool useBorderX, bool useBorderY);
  bool AutoFit() const { return autoFit_; }
  void SetAutoFit(bool value) { SetAndUpdate(autoFit_, value); }
  bool AutoShrink() const { return autoShrink_; }
  void SetAutoShrink(bool value) { SetAndUpdate(autoShrink_, value); }
  bool AutoStretch() const { return autoStretch_; }
  void SetAutoStretch(bool value) { SetAndUpdate(autoStretch_, value); }

  int32_t ViewX() const { return viewX_; }
  int32_t ViewY() const { return viewY_; }
  void SetViewXY(int32_t x, int32_t y);
  void SetViewX(int32_t x);
  void SetViewY(int32_t y);
  void GetMaxViewXY(int32_t& x, int32_t& y);
  bool CanScroll();
  bool Center() const { return hAlign_ == 1 && vAlign_ == 1; }
  bool GetCenter() const { return Center(); }
  void SetCenter(bool value);
  uint8_t HAlign() const { return hAlign_; }
  uint8_t VAlign() const { return vAlign_; }
  void SetHAlign(uint8_t value) { SetAndUpdate(hAlign_, value, ieurPlacement); }
  void SetVAlign(uint8_t value) { SetAndUpdate(vAlign_, value, ieurPlacement); }
  TScrollStyle ScrollBars() const { return scrollBars_; }
  virtual void SetScrollBars(TScrollStyle value);
  void HideHorzScrollBar();
  void HideVertScrollBar();
  // Commands: 0 to the position, 1 to the end, 3/4 a line forward/back, 5/6 a page forward/back, others to 0.
  void ScrollHorizontal(int32_t command, int32_t position);
  void ScrollVertical(int32_t command, int32_t position);
  TIEScrollBarParams& HScrollBarParams() { return *hScrollParams_; }
  TIEScrollBarParams& VScrollBarParams() { return *vScrollParams_; }
  TIEMouseWheelParams& MouseWheelParams() { return *wheelParams_; }
  bool ShowDisabledBars = false;  // a bar that is not needed is shown disabled instead of hidden
  bool FixedViewSize = false;     // the view size is the control's outer size

  int32_t ClientToBitmapX(int32_t x);
  int32_t ClientToBitmapY(int32_t y);
  int32_t BitmapToClientX(int32_t x);
  int32_t BitmapToClientY(int32_t y);
  virtual void UpdateImageExtent();
  virtual void UpdateVisibleBitmapRect();
  virtual void UpdateCoordinateTables();
  virtual void DoViewChange(int32_t change);
  virtual void DoViewChanging(int32_t kind, double value);

  // The image extent that geometry uses (layer 0's size), the zoomed size,
  // the drawn extent and where it starts in the client area.
  int32_t ImageWidth() const { return imageWidth_; }
  int32_t ImageHeight() const { return imageHeight_; }
  int32_t ZoomedWidth() const { return zoomedWidth_; }
  int32_t ZoomedHeight() const { return zoomedHeight_; }
  int32_t ExtentX() const { return extentWidth_; }
  int32_t ExtentY() const { return extentHeight_; }
  int32_t OffsetX() const { return offsetX_; }
  int32_t OffsetY() const { return offsetY_; }
  // The visible part of the bitmap in bitmap pixels (right and bottom exclusive),
  // and its size in client pixels.
  RECT VisibleBitmapRect() const;
  int32_t VisibleClientWidth() const { return visibleClientWidth_; }
  int32_t VisibleClientHeight() const { return visibleClientHeight_; }
  uint8_t UpdateReason() const { return updateReason_; }

  // ======== painting (imageryview_paint.cpp)
  void BlitBackBuffer(const RECT& rect);
  void BlitWithNavigatorDim(const RECT& rect);
  virtual void DrawGrid(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void DrawVersionStamp();
  TIEBackgroundStyle BackgroundStyle() const { return backgroundStyle_; }
  void SetBackgroundStyle(TIEBackgroundStyle style);
  TResampleFilter ZoomFilter() const { return zoomFilter_; }
  void SetZoomFilter(TResampleFilter filter);
  bool DelayZoomFilter() const { return delayZoomFilter_; }
  void SetDelayZoomFilter(bool value) { delayZoomFilter_ = value; }
  bool EnableAlphaChannel() const { return enableAlphaChannel_; }
  void SetEnableAlphaChannel(bool value) { SetAndUpdate(enableAlphaChannel_, value); }
  void SetChessboardStyle(int32_t size, TBrushStyle brushStyle);
  int32_t ChessboardSize() const { return chessboardSize_; }
  TBrushStyle ChessboardBrushStyle() const { return chessboardBrushStyle_; }
  TColor GradientEndColor = 0xFF0000;  // pure blue
  int32_t GridColumns = 1, GridRows = 1;
  bool UseDrawDib = false;
  bool HideOutlineWhileMoving = true;
  bool DoubleBuffer() const { return doubleBuffer_; }
  void SetDoubleBuffer(bool value) { doubleBuffer_ = value; }
  // Paints the window now (what the control's Repaint does; Update here is the refresh).
  void PaintNow();
  void InvalidateBackBuffer() { backBufferDirty_ = true; }
  bool BackBufferDirty() const { return backBufferDirty_; }
  bool PaletteChanged(bool foreground);

  // ======== attached components (imageryview_components.cpp)
  TImageryIO* GetIO();
  // What the I/O component attaches to (the view's link, made on first use).
  TIEIOViewLink* IOViewLink() override;
  TImageryProc* GetProc();
  bool HasIO() const { return io_ != nullptr; }
  bool HasProc() const { return proc_ != nullptr; }
  virtual void SetOnProgress(TIEProgressEventView event);
  virtual TIEProgressEventView GetOnProgress() { return onProgress_; }
  virtual void SetOnFinishWork(TNotifyEvent event);
  virtual TNotifyEvent GetOnFinishWork() { return onFinishWork_; }
  virtual void SetOnAcquireBitmap(TIEAcquireBitmapEvent event);
  virtual TIEAcquireBitmapEvent GetOnAcquireBitmap() { return onAcquireBitmap_; }
  void SetOnSaveUndo(TIESaveUndoEventView event);
  TIESaveUndoEventView GetOnSaveUndo() const { return onSaveUndo_; }
  // Copies a view (its layers), a framework bitmap, a TIEBitmap, or (nil) fills with the background.
  virtual void AssignImage(TObject* source);
  // Transitions: the engine is made on first use; its events live in it only,
  // so the readers answer empty events while there is none.
  void EnsureTransitionEffects();
  TIETransitionEffects* TransitionEffects() const { return transition_; }
  void SetOnTransitionStop(TNotifyEvent event);
  void SetOnTransitionStep(TIETransitionStepEvent event);
  void SetOnTransitionPaint(TIEOnTransitionPaint event);
  TNotifyEvent GetOnTransitionStop() const;
  TIETransitionStepEvent GetOnTransitionStep() const;
  TIEOnTransitionPaint GetOnTransitionPaint() const;
  // Stops a running transition (with its OnTransitionStop); nothing without one.
  void StopTransition();
  bool Playing() const { return playing_; }
  void SetPlaying(bool value);
  bool PlayLoop = true;
  void StartPlayTimer();
  void StopPlayTimer();
  bool PlayTimerRunning() const { return playTimer_ != 0; }
  bool ImageChanged() const { return imageChanged_; }

  // ======== services (imageryview_services.cpp)
  void SaveSelectionToStream(TStream& stream);
  bool LoadSelectionFromStream(TStream& stream, int32_t mode);
  void PushSelection();
  bool PopSelection(bool remove, int32_t mode);
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);
  void SetTempCursor(TCursor cursor, bool alsoScreen);
  void RestoreCursor();
  void BeginUpdateLock() { ++updateLock_; }
  void EndUpdateLock();
  void EndUpdateLockNoRefresh();
  int32_t UpdateLockCount() const { return updateLock_; }
  bool DrawVersion() const { return drawVersion_; }
  void SetDrawVersion(bool value);
  bool FlatScrollBars() const { return flatScrollBars_; }
  void SetFlatScrollBars(bool value);
  TPicture* WallPaper() const { return wallPaper_.get(); }
  void SetWallPaper(TPicture* picture);
  TIEWallPaperStyle WallPaperStyle() const { return wallPaperStyle_; }
  void SetWallPaperStyle(TIEWallPaperStyle style);
  // Paints the view's background onto any canvas; -1 sizes are the control's.
  void DrawBackground(TCanvas* canvas, int32_t width, int32_t height);
  TBitmap* GetBackBuffer();
  TIEBitmap* BackBuffer() const { return backBuffer_.get(); }
  static std::string ImageryVersion() { return "6.0.0"; }
  void SetImageryVersion(const std::string&) {}
  double SelectionAspectRatio() const { return sel_.AspectRatio; }
  void SetSelectionAspectRatio(double value);
  void SetInteractionHint(const std::string& text, int32_t x, int32_t y, const std::string& sizingText);
  bool EnableInteractionHints = true;
  // Fires an event with the user's selection base exposed.
  void WithUserSelectionBase(const std::function<void()>& fire);

  // ======== layers (imageryview_layerlist.cpp; layer files in imageryview_layerfile.cpp)
  int32_t GetLayerCount() const { return static_cast<int32_t>(layers_.size()); }
  TIELayer* GetLayer(int32_t index) const;
  TIELayer* GetCurrentLayer() const { return GetLayer(currentLayerIndex_); }
  int32_t CurrentLayerIndex() const { return currentLayerIndex_; }
  virtual void SetCurrentLayer(int32_t index);
  bool LegacyBitmap() const { return legacyBitmapMode_; }
  virtual void SetLegacyBitmap(bool value);
  int32_t AddLayer();
  int32_t AddLayer(int32_t width, int32_t height, TIEPixelFormat format, int32_t posX, int32_t posY);
  virtual void RemoveLayer(int32_t index);
  void ClearLayers();
  void SyncLayers();
  int32_t FindLayerAt(int32_t x, int32_t y, bool honourSelectable);
  bool IsPointInLayer(int32_t x, int32_t y, int32_t index);
  virtual void DoLayerNotify(int32_t layer, TIELayerEvent event);
  void FlattenLayers();
  void ApplyLayerSizes(int32_t index);
  void CropLayersToAlpha(int32_t index);
  void ApplyLayerRotations(int32_t index);
  void SetExternalBitmap(TIEBitmap* bitmap);
  // The layer file (imageryview_layerfile.cpp): image format -1 raw through
  // zlib, -2 raw, else an I/O file type.
  void SaveLayersToStream(TStream& stream, int32_t imageFormat);
  bool LoadLayersFromStream(TStream& stream);
  void SaveLayersToFile(const std::string& fileName, int32_t imageFormat);
  bool LoadLayersFromFile(const std::string& fileName);
  bool LayersHonourSelectable = true;
  bool LayersSameSize = false;
  bool LayersAutoUndo = false;
  uint8_t LayerRotationQuality = 1;
  bool LayerRotationSmooth = false;
  bool LayerRotationSmoothPreview = false;
  bool LayerRotationFastWhileEditing = true;

  // ======== compositing (imageryview_compose.cpp)
  virtual void DrawLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, bool drawBackground, bool drawOverlays,
                          const RECT* updateRect);
  virtual void DrawLayerOverlay(int32_t index, TIEBitmap& dest, const RECT* updateRect);
  std::array<RECT, IELayerGripCount> GetLayerGrips(int32_t layer);
  TIEGrip HitTestLayerGrip(int32_t x, int32_t y);
  void DrawLayersToBitmap(TIEBitmap& dest);
  uint8_t OutsideBackgroundStyle = 0;
  int32_t OutsideBackgroundAmount = 60;
  int32_t LayersMinDrawSize = 2;
  bool ShowAllLayerBoxes = false;
  std::unique_ptr<TPen> LayerBoxPen;
  TColor LayerGripPenColor = 0;
  TColor LayerGripBrushColor = 0xBAFFFF;
  TBrushStyle LayerGripBrushStyle = bsSolid;
  int32_t LayerGripSize = 5;
  int32_t LayerGripShape = 1;
  bool ShowPixelGrid = false;
  int32_t PixelGridLayer = -1;
  POINT HighlightedPixel{-1, -1};
  TColor PixelHighlightColor = 255;

  // ======== selections (imageryview_select.cpp)
  virtual void Select(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t operation = 0);
  void SelectRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t operation, bool square, bool shiftInside);
  void Deselect();
  virtual void AddSelectionPoint(int32_t x, int32_t y);
  void AddSelectionPointNoPaint(int32_t x, int32_t y);
  void BreakSelectionPolygon();
  void EndPolygonSelection(bool shift, bool dropLast);
  void SelectMagicWand(int32_t x, int32_t y, bool add);
  void ZoomToSelection(bool uniform, bool ask);
  virtual void UpdateSelectionMask();
  void OffsetSelection(int32_t dx, int32_t dy);
  bool Selected() const { return sel_.Exists; }
  TIEMask* SelectionMask() const { return mask_.get(); }
  const TIESelectionPolygon* MainSelectionPolygon() const {
    return polygons_.empty() ? nullptr : polygons_.front().get();
  }
  int32_t GetSelectionLeft();
  int32_t GetSelectionTop();
  int32_t GetSelectionRight();
  int32_t GetSelectionBottom();
  TIESelectionOptions SelectionOptions() const { return sel_.Options; }
  void SetSelectionOptions(TIESelectionOptions options);
  TIESelectionBase SelectionBase() const { return sel_.Base; }
  void SetSelectionBase(TIESelectionBase base) { sel_.Base = base; }
  void DrawSelectionOutlines(TObject* sender, bool skipWhenCanvasLocked);
  // A further outline polygon, drawn with the selection's; the view owns it.
  // The first one made starts the outline timer.
  TIESelectionPolygon* CreateSelectionPolygon(TColor color1, TColor color2, bool sizeable, bool animated);
  int32_t SelectionPolygonCount() const { return static_cast<int32_t>(polygons_.size()); }
  // The rubber line of a polygon being drawn; drawing it twice erases it.
  void DrawRubberLine();
  void ShowSelectionOutline(bool redraw);
  void HideSelectionOutline(bool repaint);
  void DoBeforeSelectionChange();
  void DoSelectionChanging();
  void DoSelectionChange();
  void SelectRectDrag(int32_t x, int32_t y, TShiftState shift);
  void SelectEllipseDrag(int32_t x, int32_t y, TShiftState shift);
  // Scrolls while the cursor is outside the drawn image during a drag; true when it scrolled.
  bool AutoScrollWhileDragging();
  int32_t MoveSelection(int32_t state, int32_t dx, int32_t dy, bool cut);
  // Returns the grip after the drag (it changes when the rectangle flips).
  TIEGrip ResizeSelectionByGrip(TIEGrip grip, int32_t x, bool keep, int32_t y);
  TIEGrip GetSelectionGripAt(int32_t x, int32_t y);
  TIEGrip HitSelectionGrip(int32_t x, int32_t y, TShiftState shift);
  int32_t HitSelectionMove(int32_t x, int32_t y, TShiftState shift);
  void DropLastPolygonPoint();
  void FinishPolygonOnDoubleClick(bool shift);
  const POINT* GetSelectionPoints();
  int32_t GetSelectionPointCount();
  void SetSelectionColor1(TColor color);
  void SetSelectionColor2(TColor color);
  void EnsureSelectionTimer();
  void SelectionTimerTick(TObject* sender);
  // The selection settings and state (aspect, fixed size, magic wand, grips...).
  TIEViewSelectionState& SelectionState() { return sel_; }

  // ======== mouse and keys (imageryview_mouse.cpp)
  TIEMouseInteract MouseInteract() const { return mouseInteract_; }
  virtual void SetMouseInteract(TIEMouseInteract value);
  TIEMouseInteract GetMouseInteract() const { return mouseInteract_; }
  virtual void ShiftMouseAnchors(int32_t dx, int32_t dy);
  void HandleMouseWheel(int32_t delta, int32_t x, bool ctrl, int32_t y);
  // Resizes the current layer by its grip being dragged to the client point.
  void ResizeLayerByGrip(int32_t x, int32_t y, bool keep);

  // ======== smooth scrolling and gestures (imageryview_scroll.cpp)
  virtual void DoImageryGesture(TIEGestureFlags flags, TIEGestureID id, POINT location, int32_t value,
                                int32_t inertiaX, int32_t inertiaY, uint32_t pressAndTapDistance, bool& handled);
  void SmoothScrollTo(int32_t x, int32_t y);
  void StopSmoothScroll();
  int32_t SmoothScrollDivisor = 8;
  TIEViewerGestures& Gestures() { return *gestures_; }
  // Acts on one decoded system gesture (flags, id and arguments as the system
  // gives them); true when it was handled.
  bool HandleGesture(uint32_t systemFlags, uint32_t systemId, POINT location, uint64_t arguments);

  // ======== navigator (imageryview_navigator.cpp)
  void SetNavigator(TImageryView* navigator, uint8_t options);
  TImageryView* Navigator() const { return navigator_; }
  bool IsNavigator() const { return isNavigator_; }
  uint8_t NavigatorOptions() const { return navigatorOptions_; }
  void UpdateNavigator();

  // ======== events
  TIEViewChangeEvent OnViewChange;
  TIEViewChangingEvent OnViewChanging;
  TNotifyEvent OnImageChange;
  TNotifyEvent OnPaint;
  TIEDrawCanvasEvent OnDrawCanvas;
  TNotifyEvent OnDrawBackBuffer;
  TIEDrawBackgroundEvent OnDrawBackground;
  TIEZoomEvent OnZoomIn;
  TIEZoomEvent OnZoomOut;
  TIESpecialKeyEvent OnSpecialKey;
  TIEVirtualKeyEvent OnVirtualKey;
  TIESetCursorEvent OnSetCursor;
  TIEDShowNewFrameEvent OnDShowNewFrame;
  TIEDShowEvent OnDShowEvent;
  TIEMediaFoundationNotifyEvent OnMediaFoundationNotify;
  TIELayerNotify OnLayerNotify;
  TIEDrawLayerEvent OnDrawLayer;
  TIEDrawLayerBoxEvent OnDrawLayerBox;
  TIEDrawLayerGrip OnDrawLayerGrip;
  TNotifyEvent OnBeforeSelectionChange;
  TNotifyEvent OnSelectionChanging;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnMouseInSel;
  TIEMouseInResizingGripEvent OnMouseInResizingGrip;
  TIEDrawPolygonEvent OnDrawPolygon;
  TIEImageryGestureEvent OnImageryGesture;
  TIEFinishSmoothTaskEvent OnFinishSmoothTask;

  void WndProc(TMessage& message) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyUp(WORD& key, TShiftState shift) override;

  // ---- message handlers (each file handles the messages of its block)
  void WMSize(TMessage& message);
  void WMScroll(TMessage& message, bool horizontal);
  void WMTimer(TMessage& message);
  void WMKeyMessage(TMessage& message);
  void WMMediaMessage(TMessage& message);
  void WMMouseWheel(TMessage& message);
  void WMLButtonDblClk(TMessage& message);
  void WMGestureNotify(TMessage& message);
  void WMGesture(TMessage& message);

  // Stores a changed setting and updates the view for the reason.
  template <class T>
  void SetAndUpdate(T& field, T value, uint8_t reason = ieurGeneral) {
    if (field == value) return;
    field = value;
    UpdateWithReason(reason);
  }

  // ---- layer helpers
  // The current bitmap stored into the current layer.
  void StoreCurrentBitmap();
  // Appends the layer and makes it current.
  void SwitchToNewLayer(TIELayer* layer);
  // Runs work(i) on every layer (index -1) or that one, each made current,
  // then makes the previously current layer current again.
  void ForEachLayer(int32_t index, const std::function<void(int32_t)>& work);
  void BakeLayerRotation(TIELayer& layer, bool background);

  // Layer 0's size into the I/O parameters (width, height and the original ones).
  void LayerFileSizeToIO();

  // ---- compositing helpers (imageryview_compose.cpp)
  void ComposeLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, const TIELayerMapping& map,
                     bool drawBackground, bool drawOverlays, const RECT* updateRect);
  TIELayerPlacement PlaceLayer(TIELayer& layer, const TIELayerMapping& map);
  void RenderLayer(TIELayer& layer, TIEBitmap& dest, std::vector<uint8_t*>* rowCache, const TIELayerPlacement& p,
                   TResampleFilter filter);
  void DrawRotatedLayer(TIELayer& layer, TIEBitmap& dest, std::vector<uint8_t*>* rowCache,
                        const TIELayerMapping& map, TResampleFilter filter);
  // Where background pixel 0 lands in the destination (before zooming).
  int32_t ClientOriginX(const TIELayerMapping& map) const;
  int32_t ClientOriginY(const TIELayerMapping& map) const;
  void PaintLayerBackground(TIEBitmap& dest);
  void DimOutsideBox(TIEBitmap& dest, const RECT& box);
  void ShadeOutsideBackground(TIEBitmap& dest);
  void DrawLayerFrames(TIEBitmap& dest);
  void DrawLayerFrame(TIEBitmap& dest, TCanvas* canvas, TIELayer& layer, int32_t index);
  void DrawSelectionOverlay(TIEBitmap& dest);
  // A lens layer's pixels: what lies under it, enlarged by its rate.
  void FillMagnifier(TIELayer& layer, TIEBitmap& dest, const TIELayerMapping& map, TResampleFilter filter);
  void DrawPixelGrid(TCanvas* canvas);

  // ---- refresh helpers
  void DiscardLayerCaches();
  void ApplyAutoFit();
  void FollowBitmapSize();
  void LowerOriginsToMaximum();

  // ---- geometry helpers
  void UpdateAfterResize();
  void UpdateScrollBars(int32_t maxX, int32_t maxY);
  void ApplyZoomAxis(double zoom, bool horizontal);
  // The zoom limited so that no zoomed side exceeds the bound of the coordinate tables.
  double CapZoom(double zoom) const;
  // Lowers a zoom above the cap for the current image (the image may have grown since the zoom was set).
  void HoldZoomCap();
  void ClampOrigins();
  void SetZoomAxes(double zoom, bool horizontal, bool vertical);
  void SetViewAxes(int32_t x, int32_t y, bool horizontal, bool vertical);
  int32_t ScrollTarget(int32_t command, int32_t position, bool horizontal);
  void ArmZoomCountdowns(bool horizontal, bool vertical);
  void UpdateVisibleAxis(bool horizontal);
  // The tables were built for the current zoom and image size.
  bool TablesCurrent() const;
  // The view origin snapped to the start of its bitmap column (row).
  int32_t SnappedOrigin(bool horizontal) const;
  // One axis of the coordinate tables.
  struct TIEAxisTables {
    std::vector<int32_t> ClientToBitmap, BitmapToClient;
    int32_t ClientToBitmapStart = 0, BitmapToClientStart = 0;  // window positions
    int32_t ClientToBitmapLength = 0, BitmapToClientLength = 0;  // window lengths
  };
  void BuildAxisTables(TIEAxisTables& tables, double zoom, int32_t zoomed, int32_t visibleClient, int32_t image);
  void MoveAxisWindows(TIEAxisTables& tables, int32_t snapped, int32_t firstVisible);
  int32_t AxisClientToBitmap(const TIEAxisTables& tables, int32_t u, double zoom, int32_t firstVisible) const;
  int32_t AxisBitmapToClient(const TIEAxisTables& tables, int32_t b, double zoom, int32_t firstVisible,
                             int32_t offset, bool horizontal) const;

  // ---- painting helpers
  void FillBackBufferInfo();
  void DrawDibBackBuffer(const RECT& rect, int32_t width, int32_t height);
  static std::string VersionStampText();
  void DrawInteractionHint();
  void ApplyVideoPosition();

  // ---- service helpers
  // The selection snapshot record as read.
  struct TIESelectionRecord {
    int32_t Width = 0, Height = 0;
    std::vector<POINT> Points;
    RECT Box{};
    int32_t PosX = 0, PosY = 0;
    int32_t BitsPerPixel = 1;
    int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
    bool Full = false;
    std::vector<uint8_t> Bits;
  };
  // False for a record that is short or unsound.
  static bool ReadSelectionRecord(TStream& stream, TIESelectionRecord& record);
  void FitMaskToLayer(const TIESelectionRecord& record, int32_t mode);

  // ---- component helpers
  TIEViewIOLink* IOLink();
  void FreeComponents();
  void AssignView(TImageryView& source);

  // ---- selection helpers
  TIESelectionPolygon& MainPolygon();
  // Client coordinates to the current layer's bitmap and back.
  int32_t ClientToLayerX(int32_t x);
  int32_t ClientToLayerY(int32_t y);
  int32_t SelectionToBitmapX(int32_t x);
  int32_t SelectionToBitmapY(int32_t y);
  POINT BitmapToClientPoint(POINT p);
  bool SelectionInProgress() const;
  bool UsePolygonBox() const;
  void RepaintSelection();
  void RemoveRubberSubPolygon();
  void DrawSelectionGrips(const TIESelectionPolygon& polygon);
  void DrawMaskOutline();
  void DrawPolygonOutline(int32_t index, TIESelectionPolygon& polygon, TCanvas* canvas);

  // ---- mouse helpers
  // The mouse handlers work in client coordinates; the scope restores the caller's base.
  struct TClientBaseScope {
    TImageryView* View;
    bool Outer;
    ~TClientBaseScope();
  };
  TClientBaseScope ForceClientSelectionBase();
  POINT ClampToLayerBox(int32_t x, int32_t y);
  bool NewSelectionBlocked() const;
  void LeftButtonDown(TShiftState shift, int32_t x, int32_t y);
  void LayerButtonDown(int32_t x, int32_t y);
  void DragMove(TShiftState shift, int32_t x, int32_t y, POINT p);
  void MoveLayerByMouse(int32_t x, int32_t y);
  void LayerDragMove(TShiftState shift, int32_t x, int32_t y);
  bool FirstLayerDragMove(TIEUndoSource source);
  void ResizeLayerByMouse(TShiftState shift, int32_t x, int32_t y);
  void RotateLayerByMouse(TShiftState shift, int32_t x, int32_t y);
  void MoveRotationCentreByMouse(int32_t x, int32_t y);
  void EndLayerDrags(bool moved, int32_t x, int32_t y);
  static int32_t LayerDisplayWidth(const TIELayer& layer);
  static int32_t LayerDisplayHeight(const TIELayer& layer);
  void HoverCursor(TShiftState shift, int32_t x, int32_t y);
  void HoverLayerCursor(int32_t x, int32_t y);
  void RubberMove(TShiftState shift, POINT p);
  void ClickZoom(bool zoomIn, int32_t x, int32_t y);
  void RebuildMask(TShiftState shift);
  void EndSelectionDrag();

  // ---- smooth scrolling and navigator helpers
  bool SmoothScrolling() const;
  void SmoothScrollStep();
  void ScrollFromNavigator();
  void ZoomFromNavigatorWheel(int32_t delta, POINT screen);

  // ======== data model
  // -- image and layers
  std::vector<TIELayer*> layers_;  // owned, never empty; layer 0 is the base image
  int32_t currentLayerIndex_ = 0;
  TIEBitmap* ieBitmap_ = nullptr;   // the current layer's bitmap (owned by the layer)
  TBitmap* legacyBitmap_ = nullptr; // the framework bitmap behind it in legacy mode
  bool legacyBitmapMode_ = true;
  int32_t imageWidth_ = 0, imageHeight_ = 0;      // set by SyncLayers from layer 0
  int32_t lastBitmapWidth_ = 0, lastBitmapHeight_ = 0;
  int32_t layerCacheIndex_ = -1;  // the layer whose MaskedAlphaCache the next Update discards, -1 all
  std::vector<std::unique_ptr<TMemoryStream>> selectionSnapshots_;

  // -- geometry
  double zoomX_ = 100, zoomY_ = 100;
  double zoomFactorX_ = 1, zoomFactorY_ = 1;    // zoom / 100
  double zoomInverseX_ = 1, zoomInverseY_ = 1;  // 100 / zoom
  int32_t viewX_ = 0, viewY_ = 0;               // scroll position in zoomed pixels
  int32_t zoomedWidth_ = 0, zoomedHeight_ = 0;
  int32_t extentWidth_ = 0, extentHeight_ = 0;  // drawn part of the zoomed image
  int32_t offsetX_ = 0, offsetY_ = 0;           // where the drawn image starts
  uint8_t hAlign_ = 1, vAlign_ = 1;             // 0 start, 1 centre, 2 end
  int32_t visibleBitmapX_ = 0, visibleBitmapY_ = 0;
  int32_t visibleBitmapWidth_ = 0, visibleBitmapHeight_ = 0;
  int32_t visibleClientWidth_ = 0, visibleClientHeight_ = 0;
  TIEAxisTables tablesX_, tablesY_;
  // What the tables were built for.
  double tablesZoomX_ = -1, tablesZoomY_ = -1;
  int32_t tablesClientWidth_ = -1, tablesClientHeight_ = -1, tablesImageWidth_ = -1, tablesImageHeight_ = -1;
  double hScrollRatio_ = 1, vScrollRatio_ = 1;  // zoomed pixels per scroll-bar unit
  bool hScrollShown_ = false, vScrollShown_ = false;
  bool autoFit_ = false, autoShrink_ = false, autoStretch_ = false;
  TScrollStyle scrollBars_ = ssBoth;
  std::unique_ptr<TIEScrollBarParams> hScrollParams_, vScrollParams_;
  std::unique_ptr<TIEMouseWheelParams> wheelParams_;
  int32_t lastViewWidth_ = 0, lastViewHeight_ = 0;

  // -- locks and refresh
  int32_t paintLock_ = 0;
  int32_t updateLock_ = 0;
  uint8_t updateReason_ = ieurGeneral;
  bool insideUpdate_ = false, reenteredUpdate_ = false;
  bool backBufferDirty_ = true, fullRepaint_ = true;
  bool imageChanged_ = false;
  bool invalidateSuspended_ = false;  // set by the compositor for one of its own updates
  bool destroying_ = false;

  // -- painting
  TIEBackgroundStyle backgroundStyle_ = iebsSolid;
  int32_t chessboardSize_ = 16;
  TBrushStyle chessboardBrushStyle_ = bsSolid;
  std::unique_ptr<TPicture> wallPaper_;
  TIEWallPaperStyle wallPaperStyle_ = iewoNormal;
  TResampleFilter zoomFilter_ = rfNone, baseZoomFilter_ = rfNone;
  bool delayZoomFilter_ = false;
  int32_t delayedFilterCount_ = 0, outlinePauseCount_ = 0;  // ticks of the outline timer
  static constexpr int32_t kDelayedFilterTicks = 4, kOutlinePauseTicks = 2;
  bool enableAlphaChannel_ = true;
  bool drawVersion_ = false;
  bool doubleBuffer_ = true;
  std::unique_ptr<TIEBitmap> backBuffer_;  // ie24RGB in a framework bitmap, the view's size
  struct {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[2];
  } backBufferInfo_{};
  HANDLE drawDib_ = nullptr;
  std::unique_ptr<TIEBitmap> dimBuffer_;   // navigator dimming, made on first use
  bool firstPaintCursor_ = true;
  std::string hintText_, hintSizingText_;
  int32_t hintX_ = 0, hintY_ = 0;

  // -- attached components
  TImageryIO* io_ = nullptr;
  TImageryProc* proc_ = nullptr;
  TIEViewIOLink* ioLink_ = nullptr;  // owned
  TIEViewProcLink* procLink_ = nullptr;  // owned
  TIETransitionEffects* transition_ = nullptr;  // owned; made on first use
  TIEProgressEventView onProgress_;
  TNotifyEvent onFinishWork_;
  TIEAcquireBitmapEvent onAcquireBitmap_;
  TIESaveUndoEventView onSaveUndo_;
  bool playing_ = false;
  UINT_PTR playTimer_ = 0;

  // -- services
  TCursor cursor_ = crIECrossHair;
  int32_t savedScreenCursor_ = -1;  // -1 none
  // The caller's selection base while the mouse handlers force client
  // coordinates (selectionBaseForced_); the event relays exchange the two.
  TIESelectionBase userSelectionBase_ = iesbClientArea;
  bool selectionBaseForced_ = false;
  bool flatScrollBars_ = false;

  // -- selections
  std::vector<std::unique_ptr<TIESelectionPolygon>> polygons_;  // [0] is the main selection
  TIEViewSelectionState sel_;
  std::unique_ptr<TIEMask> mask_;
  TTimer* outlineTimer_ = nullptr;
  std::unique_ptr<TBitmap> dotBitmap_;

  // -- mouse
  TIEMouseInteract mouseInteract_;
  POINT mouseDownRaw_{}, mouseDownClamped_{}, rubberAnchor_{};
  POINT lastMouseRaw_{}, lastMouseClamped_{}, lastRubberEnd_{};
  POINT viewAtMouseDown_{};
  double ScrollDragFactor = 1;
  bool ZoomSelectUniform = true;
  int32_t movingLayer_ = -1, rotatingLayer_ = -1, centerDragLayer_ = -1;
  TIEGrip layerResizeGrip_ = ieNone;
  bool layerMoved_ = false, undoSaved_ = false;
  RECT layerBoxAtMouseDown_{};
  double layerAspect_ = 1;
  uint8_t ResizeAspectMode = 1;  // 1 with Alt or constrain, 2 always, 3 corner grips only, others never
  double accumulatedAngle_ = 0;
  int32_t RotationSnap = 45;
  bool CropLayersOnRotationMode = true;

  // -- smooth scrolling and gestures
  POINT smoothTarget_{};
  TTimer* smoothTimer_ = nullptr;
  std::unique_ptr<TIEViewerGestures> gestures_;
  double gestureStartZoom_ = 100;
  int32_t gestureStartDistance_ = 0;
  POINT gestureStartLocation_{}, gestureStartView_{}, gestureStartLayerPos_{};
  double gestureStartAngle_ = 0;

  // -- navigator
  TImageryView* navigator_ = nullptr;
  TImageryView* navigatorOf_ = nullptr;  // the main view of a navigator
  bool navigatorSync_ = false;           // set while the two views synchronise
  bool isNavigator_ = false;
  uint8_t navigatorOptions_ = 0;

private:
  friend class TIEViewIOLink;
  friend class TIEViewProcLink;
  friend class TIELayer;
};

// ---- routines of the viewers -------------------------------------------------------------------

// Paints a view background over (x, y, width, height) around the image
// rectangle (imageLeft..imageRight, imageTop..imageBottom). bitmap, when
// given, is the 24-bit framework bitmap behind the canvas.
void IEDrawBackground(TComponentState componentState, TCanvas* canvas, TBitmap* bitmap, TIEBackgroundStyle style,
                      TColor color, int32_t x, int32_t y, int32_t width, int32_t height, int32_t imageLeft,
                      int32_t imageTop, int32_t imageRight, int32_t imageBottom, int32_t chessboardSize,
                      TBrushStyle chessboardBrushStyle, TColor gradientEndColor, TPicture* wallPaper,
                      TIEWallPaperStyle wallPaperStyle);
// Marks the view's back buffer dirty and invalidates the rectangle without erasing.
void IEViewInvalidateRect(TImageryView* view, const RECT& rect);
// The settings' shared pen for rubber bands: inverting, solid, width 1.
void IEResetXorPen();
// Loads the view's cursors into the screen cursor table (1778..1814).
void IERegisterViewCursors();
// Unit start-up and shut-down of the view unit.
void IEInitializeImageryView();
void IEFinalizeImageryView();
