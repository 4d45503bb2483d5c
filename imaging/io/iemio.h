// The multi-image I/O component: the I/O companion of a thumbnail viewer.
// It keeps one parameter set per image of the viewer, in step with the
// viewer's insertions, deletions and moves, receives acquired images and
// finishes the viewer's work with progress. It holds no file operations.
//
// Sections: multi-image formats | the viewer's side | component
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/io/imageryio_params.h"
#include "platform/forms/classes.h"

class TFont;
class TIEBitmap;
class TIEView;
struct TIEChangeHandlerEntry;

// ---- multi-image formats --------------------------------------------------------------

// True for the formats that hold several images in one file: TIFF, GIF,
// ICO, AVI, PostScript, PDF, DCX and DICOM.
bool IEIsMultiImageFormat(int32_t fileType);

// ---- the viewer's side ---------------------------------------------------------------

// Kinds of change of a thumbnail viewer's image list.
enum TIEMViewChangeKind : int32_t {
  iemcNone, iemcInsert, iemcDelete, iemcMove, iemcExchange, iemcMoveGroup
};

// The change that a thumbnail viewer's bitmap-change notification announces:
// an insertion or deletion at Index, a move or exchange of Index and Target,
// or the move of the images Indexes (in that order) to Target.
struct TIEMViewChange {
  int32_t Kind = iemcNone;
  int32_t Index = 0;
  int32_t Target = 0;
  std::vector<int32_t> Indexes;
};

// What the component reads from the thumbnail viewer it is attached to; the
// viewer implements it beside TIEView. A TIEView without it is served as a
// viewer of no images whose changes say nothing.
class TIEMViewImages {
public:
  virtual ~TIEMViewImages() = default;
  virtual int32_t ImageCount() = 0;
  virtual int32_t GetLastChangeKind() = 0;
  virtual int32_t GetLastChangeIndex() = 0;
  virtual int32_t GetLastChangeTarget() = 0;
  virtual std::vector<int32_t> GetLastChangeIndexes() = 0;
};

// ---- component -----------------------------------------------------------------------

class TImageryMIO : public TComponent {
  FORMS_CLASS(TImageryMIO)

public:
  explicit TImageryMIO(TComponent* owner);
  // Unregisters from the viewer; frees the parameter sets, last first.
  ~TImageryMIO() override;

  // -- attachment
  TIEView* AttachedMView() const { return attachedMView_; }
  // Leaves the old viewer; registers with the new one and adds parameter
  // sets at the end until there is one per image of the viewer.
  void SetAttachedMView(TIEView* view);
  void Notification(TComponent* component, TOperation operation) override;

  // -- parameter sets
  // The set of image index, nil outside 0..count-1.
  TIOParamsVals* GetParams(int32_t index) const;
  int32_t ParamsCount() const { return static_cast<int32_t>(params_.size()); }

  // The bitmap-change handler registered with the viewer: flag 1 (the viewer
  // is being destroyed) only forgets the viewer; otherwise the viewer's last
  // change is applied to the parameter sets.
  static void ViewerBitmapChanged(void* owner, TIEView* viewer, int32_t flag);
  // Keeps the parameter sets in step with one change of the viewer's list.
  void ApplyViewerChange(const TIEMViewChange& change);

  // -- previews
  // The parameters preview dialog for image index (-1 or -7: all images,
  // -9: the viewer's selected one). OnDoPreviews may handle it; without a
  // viewer the answer is false.
  virtual bool DoPreviews(int32_t index, uint16_t pages);

  // -- acquisition and work
  // OnAcquireBitmap first; an unhandled image goes into the viewer.
  virtual void DoAcquireBitmap(TIEBitmap* bitmap, TIOParamsVals*& params, int32_t dpiX, int32_t dpiY);
  // Clears the acquiring flag, then OnAcquireClose.
  virtual void DoAcquireClose();
  // OnProgress with 100, then OnFinishWork.
  virtual void DoFinishWork();
  bool Aborting() const { return aborting_; }
  void SetAborting(bool value);
  bool Acquiring() const { return acquiring_ != 0; }
  void SetAcquiring(bool value) { acquiring_ = value ? 1 : 0; }
  int32_t AcquireIndex() const { return acquireIndex_; }
  void SetAcquireIndex(int32_t value) { acquireIndex_ = value; }

  // -- options
  bool SimplifiedParamsDialogs = true;
  TFont* PreviewFont() const { return previewFont_.get(); }
  void SetPreviewFont(const TFont* font);
  bool PreviewFontEnabled = false;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  uint8_t BilevelConversion = 1;
  // Always "6.0.0"; assigning it by name changes nothing.
  static std::string ImageryVersion() { return "6.0.0"; }

  // -- events
  std::function<void(TObject* sender, bool& handled)> OnDoPreviews;
  std::function<void(TObject* sender, int32_t percent)> OnProgress;
  std::function<void(TObject* sender, TIEBitmap* bitmap, int32_t dpiX, int32_t dpiY, bool& handled)>
      OnAcquireBitmap;
  TNotifyEvent OnAcquireClose;
  std::function<void(TObject* sender, int32_t index)> OnAfterAcquireBitmap;
  TNotifyEvent OnFinishWork;

private:
  // The list operations behind ApplyViewerChange.
  void InsertParams(int32_t index);
  void DeleteParams(int32_t index);
  void MoveParams(int32_t index, int32_t target);
  void ExchangeParams(int32_t index, int32_t other);
  void MoveParamsGroup(const std::vector<int32_t>& indexes, int32_t target);
  void Detach();

  TIEView* attachedMView_ = nullptr;
  TIEChangeHandlerEntry* changeEntry_ = nullptr;  // the viewer's, handed back to it
  std::vector<std::unique_ptr<TIOParamsVals>> params_;
  std::unique_ptr<TFont> previewFont_;
  int32_t acquireIndex_ = 0;
  int32_t acquiring_ = 0;
  bool aborting_ = false;
};
