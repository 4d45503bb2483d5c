// The processing component TImageryProc: the one bitmap it works on, the
// frame of its operations, its undo and redo lists and the operations of
// resampling, cropping and filling.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_dialogparams.h"
#include "platform/forms/classes.h"
#include "platform/rtl/set.h"
#include "platform/rtl/streams.h"
#include "platform/win/unknwn.h"
#include "platform/win/wintypes.h"

class TImage;
class TForm;
class TFont;

// Options of the preview dialogs, one bit each; the processing component
// keeps them for such dialogs and reads none itself.
enum TPRPreviewsParam : uint8_t { prppShowResetButton, prppHardReset };
using TPRPreviewsParams = Set<TPRPreviewsParam>;
using TIEPreviewEvent = std::function<void(TObject* sender, TForm* previewForm)>;

enum TIEUndoSource : uint8_t {
  ieuUnknown, ieuImage, ieuSelection, ieuObject, ieuLayer, ieuFullLayer, ieuObjectsAndLayers
};
using TIESaveUndoEvent = std::function<void(TObject* sender, TIEUndoSource source)>;
using TIEBeforeUndoRedoEvent = std::function<void(TObject* sender, bool isUndo, TIEUndoSource source,
                                                  TObject* undoObj, int32_t tag, bool& handled)>;

// Fills rows y1 .. y2 - 1 and columns x1 .. x2 - 1 (ends cut to the image) with color:
// ie1g by the red byte (0 clears), ie8g with its grey, ie24RGB directly, other formats through FillRect.
void IEFillBitmapRect(TIEBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TRGB color,
                      const TIEProgressEvent& onProgress, TObject* sender);


// What the processing component needs of an image view. The view keeps one
// and hands it to TImageryProc::SetAttachedImagery; before it goes away it
// attaches null (or the component is its own and goes with it). The component
// asks for the view's current bitmap at every operation, so a bitmap that the
// view replaced is never used.
class TIEProcViewLink {
public:
  virtual ~TIEProcViewLink() = default;
  // The bitmap operations work on: the current layer's.
  virtual TIEBitmap* GetIEBitmap() = 0;
  virtual TColor Background() = 0;
  virtual void SetBackground(TColor color) = 0;
  // After the image changed: repaint, then the view's image-change notification.
  virtual void Update() = 0;
  virtual void ImageChange() = 0;
  // The view's selection mask (null when it has none) and whether anything is selected.
  virtual TIEMask* SelectionMask() = 0;
  virtual bool Selected() = 0;
  // The outline of the current selection in bitmap coordinates; count 0 when it has none.
  virtual const POINT* SelectionPoints(int32_t& count) = 0;
  // The identity of the layer GetIEBitmap belongs to; false when the view has no layers.
  virtual bool CurrentLayerIdentity(GUID& identity) = 0;
  // The bitmap of the layer with that identity, null when no layer has it any more.
  virtual TIEBitmap* LayerBitmap(const GUID& identity) = 0;
  // ieuLayer and ieuFullLayer: every layer's record in order, each starting
  // with its int32 length and its 16-byte identity (the current layer with its
  // pixels when currentWithBitmap). False when the view keeps no layers.
  virtual bool SaveLayerRecords(TStream& stream, bool currentWithBitmap) = 0;
  // The layer with this identity reads the record at the stream's position;
  // false when no layer has the identity (the record is skipped).
  virtual bool LoadLayerRecord(const GUID& identity, TStream& stream) = 0;
  // ieuSelection, ieuObject and ieuObjectsAndLayers: the view's own stream of
  // that state; false when the view does not keep that kind of state.
  virtual bool SaveState(TIEUndoSource source, TStream& stream) = 0;
  virtual void LoadState(TIEUndoSource source, TStream& stream) = 0;
};

class TImageryProc : public TComponent {
public:
  // AutoUndo is set exactly when an owner is given.
  explicit TImageryProc(TComponent* owner);
  // Without owner and AutoUndo, working on the caller's bitmap (not owned).
  static TImageryProc* CreateFromBitmap(TIEBitmap* bitmap);
  ~TImageryProc() override;

  // -- the bitmap
  // The bitmap operations work on: the attached view's current one, else the
  // caller's or the component's own.
  TIEBitmap* GetBitmap() const { return view_ ? view_->GetIEBitmap() : bitmap_; }
  // The caller's bitmap (kept, not owned), which detaches a view or a
  // TImage; null while a view or a TImage is attached changes nothing more,
  // otherwise gives a new own empty bitmap.
  void SetAttachedBitmap(TIEBitmap* bitmap);
  TIEProcViewLink* AttachedImagery() const { return view_; }
  // Works on the view's current bitmap from now on; null forgets the view
  // and gives a new own empty bitmap.
  void SetAttachedImagery(TIEProcViewLink* view);
  TImage* AttachedTImage() const { return image_; }
  // Works on the picture bitmap of the image control (seen anew at every
  // operation, repainted after it); null releases it.
  void SetAttachedTImage(TImage* image);
  // The view's background when a view is attached, else the component's own.
  TColor Background() const { return view_ ? view_->Background() : background_; }
  void SetBackground(TColor color);
  void Notification(TComponent* component, TOperation operation) override;

  // The last settings of the processing dialog.
  TIPDialogParams& IPDialogParams() { return *dialogParams_; }
  // For preview dialogs: kept, not read here. Assigning the font copies it.
  TPRPreviewsParams PreviewsParams{prppShowResetButton, prppHardReset};
  TFont* PreviewFont() const { return previewFont_.get(); }
  void SetPreviewFont(const TFont* font);
  bool PreviewFontEnabled = false;
  TIEPreviewEvent OnPreview;
  // Always "6.0.0".
  static std::string ImageryVersion() { return "6.0.0"; }

  bool AutoUndo = false;
  bool AutoConvertFormat = true;
  int32_t UndoTag = 0;
  TIEProgressEvent OnProgress;
  TNotifyEvent OnFinishWork;
  TIESaveUndoEvent OnSaveUndo;
  TIEBeforeUndoRedoEvent OnBeforeUndoRedo;

  // -- the frame
  // True when the bitmap's format is in allowed (an empty list allows all),
  // or was converted to an allowed one when AutoConvertFormat is set.
  bool CheckAndConvert(std::initializer_list<TIEPixelFormat> allowed);
  // The selection: rectangle with exclusive ends, the outline polygon
  // (polyCount 0 and no points unless something is selected) and the mask;
  // false and the whole image when nothing is selected. Without a view
  // nothing is; a descendant that owns a selection answers here.
  virtual bool GetSelectionArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, const POINT*& polyPoints,
                                int32_t& polyCount, TIEMask*& mask);
  // The same for operations that need no outline.
  bool GetSelectionArea(int32_t& x1, int32_t& y1, int32_t& x2, int32_t& y2, TIEMask*& mask);
  bool BeginImageWork(std::initializer_list<TIEPixelFormat> allowed, int32_t& x1, int32_t& y1, int32_t& x2,
                      int32_t& y2, const std::string& caption, TIEBitmap*& work, TIEMask*& mask);
  void EndImageWork(TIEBitmap* work, TIEMask* mask);
  // The view repaints and hears of the change; a TImage repaints.
  void NotifyImageChanged();
  // Progress 100, then OnFinishWork.
  virtual void DoFinishWork();

  // -- undo and redo; positions count from the newest entry (0)
  int32_t UndoLimit() const { return undoLimit_; }
  // A negative limit is refused (the limit stays).
  void SetUndoLimit(int32_t limit);
  virtual bool CanUndo() const { return !undo_.empty(); }
  virtual bool CanRedo() const { return !redo_.empty(); }
  virtual int32_t UndoCount() const { return static_cast<int32_t>(undo_.size()); }
  virtual int32_t RedoCount() const { return static_cast<int32_t>(redo_.size()); }
  // "" for a position out of range.
  virtual std::string GetUndoCaption(int32_t position) const { return CaptionAt(undo_, position); }
  virtual std::string GetRedoCaption(int32_t position) const { return CaptionAt(redo_, position); }
  // By list index (0 = oldest); ieuUnknown out of range.
  TIEUndoSource GetUndoSource(int32_t listIndex) const;
  int32_t GetUndoTag(int32_t position) const;
  int32_t GetRedoTag(int32_t position) const;
  virtual void SaveUndo(TIEUndoSource source) { Save(undo_, source, true); }
  virtual void SaveUndoWithCaption(const std::string& caption, TIEUndoSource source);
  virtual void SaveRedo(TIEUndoSource source) { Save(redo_, source, false); }
  virtual void SaveRedoWithCaption(const std::string& caption, TIEUndoSource source);
  virtual void ClearUndo() { ClearUndoAt(0); }
  void ClearUndoAt(int32_t position) { ClearAt(undo_, position); }
  virtual void ClearRedo() { ClearAt(redo_, 0); }
  virtual void ClearAllUndo() { undo_.clear(); }
  virtual void ClearAllRedo() { redo_.clear(); }
  virtual void Undo(bool saveRedo) { UndoAt(0, saveRedo); }
  virtual void UndoAt(int32_t position, bool saveRedo) { Apply(undo_, position, true, saveRedo); }
  virtual void Redo() { RedoAt(0); }
  // ieuImage entries: the identity of the view layer recorded, false when
  // the entry was made without a view with layers.
  bool GetUndoLayer(int32_t position, GUID& identity) const;
  virtual void RedoAt(int32_t position) { Apply(redo_, position, false, false); }

  // -- operations
  // Resamples to the size IECalcResampleSize gives; the same size, or both
  // sizes negative, change nothing and record nothing.
  void Resample(int32_t newWidth, int32_t newHeight, TResampleFilter filter, bool fitInside);
  // Resamples into dest, leaving the image alone.
  void ResampleTo(TIEBitmap* dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter, bool fitInside);
  // Keeps x1..x2, y1..y2 (inclusive) of the image and its alpha channel.
  void Crop(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  // Right and bottom inclusive.
  void CropToRect(const RECT& rect) { Crop(rect.left, rect.top, rect.right, rect.bottom); }
  // Cuts the image to the selection's bounding box; unselected pixels of the
  // box become transparent. alphaOnly: only the alpha channel becomes the mask.
  void CropSel(bool alphaOnly);
  void Fill(TRGB color);
  void Clear();
  // A canvas of the new size (0 sizes or the same size: nothing); the old
  // content placed by the alignments (0 left/top, 1 centre, 2 right/bottom),
  // the new area in the background and, in the alpha channel, alpha.
  void ImageResize(int32_t newWidth, int32_t newHeight, int32_t hAlign, int32_t vAlign, int32_t alpha);
  // Crops to the pixels whose alpha is not 0 (no undo entry); nothing when all are transparent.
  void CropToAlphaBounds();
  // The histograms of the image or its selection; other formats than ie8g,
  // ie16Gray and ie24RGB are counted on a 24-bit copy (with AutoConvertFormat),
  // never converted. No undo, no finish.
  void GetHistogram(THistogramKind kinds, TIEHistogram& histogram);
  // Grey in all three channels, of the selection when there is one.
  void ConvertToGray();
  // Fewer colours: below 3 one bit (ditherMode 0 ordered, else the mean
  // threshold); 3..1024 by the quantizer, diffused into a palette image when
  // ditherMode is 2 and numColors at most 256; above 1024 nothing changes.
  void ConvertTo(int32_t numColors, uint8_t ditherMode);
  // As ConvertTo without diffusion; palette (numColors entries) receives the
  // colours used: black and white below 3. Nothing at all for 0 colours.
  void ConvertToPalette(int32_t numColors, TRGB* palette, uint8_t ditherMode);
  // Turns the image and its alpha channel by angle degrees (counter-clockwise);
  // background -1 is Background(). Mode 0 and formats other than ie24RGB go
  // by nearest pixel (keeping the format); mode 1 and whole multiples of 90
  // by the three-shear rotation, mode 2 bilinearly, 3 bicubically. An angle
  // of 0 does nothing.
  void Rotate(uint8_t antialiasMode, int64_t background, double angle);

private:
  struct TEntry {
    std::unique_ptr<TIEBitmap> Image;     // ieuImage
    std::unique_ptr<TMemoryStream> State; // the view's state, for the other sources
    bool HasLayer = false;                // Image belongs to the view layer Layer
    GUID Layer{};
    TIEUndoSource Source = ieuUnknown;
    std::string Caption;
    int32_t Tag = 0;
  };
  using TEntries = std::vector<TEntry>;

  static std::string CaptionAt(const TEntries& list, int32_t position);
  static void ClearAt(TEntries& list, int32_t position);
  // Records an entry; true when one was made.
  bool Save(TEntries& list, TIEUndoSource source, bool fireEvent);
  void SaveWithCaption(TEntries& list, const std::string& caption, TIEUndoSource source, bool undoSide);
  void Apply(TEntries& list, int32_t position, bool isUndo, bool saveRedo);
  // Fills the entry for the source; false when nothing can be recorded.
  bool Record(TEntry& entry, TIEUndoSource source);
  void ApplyImage(const TEntry& entry);
  void ApplyLayerRecords(TMemoryStream& stream);
  // The current bitmap into bitmap_ (a TImage's picture attached anew).
  TIEBitmap* Refresh();
  void DropImage();
  // ResampleTo without the finish report.
  bool ResampleInto(TIEBitmap* dest, int32_t newWidth, int32_t newHeight, TResampleFilter filter, bool fitInside);
  void UndoImage(const std::string& caption);
  // Below three colours: ordered dither (mode 0) or the mean threshold.
  void ReduceToOneBit(uint8_t ditherMode);

  TIEBitmap* bitmap_ = nullptr;
  std::unique_ptr<TIEBitmap> ownBitmap_;
  TIEProcViewLink* view_ = nullptr;
  TImage* image_ = nullptr;
  TBitmap* picture_ = nullptr;  // the TImage's picture bitmap
  std::unique_ptr<TIPDialogParams> dialogParams_;
  std::unique_ptr<TFont> previewFont_;
  TColor background_ = 0;
  int32_t undoLimit_ = 1;
  TEntries undo_, redo_;
};
