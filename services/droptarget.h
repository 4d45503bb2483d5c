// The drop target: registers windowed controls of a form with the window
// layer's drag and drop and turns its four calls into events, chooses the
// drop effect, scrolls the control under a drag that rests at its edges and
// takes the clipboard's contents as if they had been dropped. The multi
// target reads the drag's data through its list of data formats.
//
// Sections: control list | drop target | multi target
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/extctrls.h"
#include "platform/win/ole.h"
#include "services/dragdrop.h"

// ---- control list -------------------------------------------------------------------

// The registered controls, in order; the list does not own them.
class TControlList {
public:
  void Add(TWinControl* control) { items_.push_back(control); }
  void Insert(int index, TWinControl* control);
  int IndexOf(const TWinControl* control) const;
  TWinControl* Items(int index) const { return items_.at(static_cast<size_t>(index)); }
  int Count() const { return static_cast<int>(items_.size()); }
  void Remove(const TWinControl* control);

private:
  std::vector<TWinControl*> items_;
};

// ---- drop target --------------------------------------------------------------------

enum TScrollDirection : uint8_t { sdUp, sdDown, sdLeft, sdRight };
using TScrollDirections = Set<TScrollDirection>;

// Points are client coordinates of the control under the cursor.
using TDropTargetEvent = std::function<void(TObject* sender, TShiftState shift, POINTL point, DWORD& effect)>;
using TDropTargetScrollEvent =
    std::function<void(TObject* sender, POINTL point, TScrollDirections& scroll, int& interval)>;

// Milliseconds before the first scroll step and between steps; the fastest
// cursor (pixels per second) at which the target still scrolls; the least
// age of a cursor sample used to measure its speed.
constexpr uint32_t ScrollStartDelay = 50;
constexpr uint32_t ScrollRepeatInterval = 50;
constexpr int32_t ScrollMaxSpeed = 20;
constexpr uint32_t ScrollSpeedSampleTime = 10;

class TDropTargetSink;
class TDropTargetTransferThread;

// The drag's events come in this order: OnEnter as it enters (an effect set
// to none there refuses the whole drag), OnDragOver as it moves, then
// OnLeave or OnDrop. OnGetDropEffect, when set, chooses the effect instead
// of the keys. No exception leaves a call of the window layer: the drag is
// refused (E_UNEXPECTED) and a failing OnDrop refuses the drop.
class TCustomDropTarget : public TDragDropComponent {
  FORMS_CLASS(TCustomDropTarget)

public:
  explicit TCustomDropTarget(TComponent* owner);
  ~TCustomDropTarget() override;

  TDragTypes DragTypes;
  // Read the data already as the drag enters; a drag whose data cannot be
  // read is then refused with DV_E_CLIPFORMAT.
  bool GetDataOnEnter = false;
  TDropTargetEvent OnEnter;
  TDropTargetEvent OnDragOver;
  TNotifyEvent OnLeave;
  TDropTargetEvent OnDrop;
  TDropTargetEvent OnGetDropEffect;
  // Asked before each scroll step with the directions found; may change
  // them and the milliseconds to the next step.
  TDropTargetScrollEvent OnScroll;
  // Register adds controls instead of replacing the registered one.
  bool MultiTarget = false;
  // A move performed by the handler is reported to the source as a copy.
  bool OptimizedMove = false;
  bool AutoScroll = true;
  // Registration follows the control's window: a hidden child window
  // registers the control each time its window is made again.
  bool AutoRegister = true;
  // A source that allows it hands its data over on a worker thread: OnDrop
  // then runs there, between OnStartAsyncTransfer and OnEndAsyncTransfer
  // (both on the GUI thread); new drags are refused meanwhile.
  bool AllowAsyncTransfer = false;
  TNotifyEvent OnStartAsyncTransfer;
  TNotifyEvent OnEndAsyncTransfer;
  bool Transferring() const { return transferring_; }

  // Shows the drag source's image over the target (through the window
  // layer's drag-image helper, when there is one).
  bool ShowImage() const { return showImage_; }
  void SetShowImage(bool show);

  // Makes the control a drop target (after the others with MultiTarget, in
  // their place without). A registered control is left as it is.
  void Register(TWinControl* control);
  // Revokes the control; nil revokes every one, the last first.
  void Unregister(TWinControl* control = nullptr);
  const TControlList& Targets() const { return targets_; }
  // The registered control under the drag in progress; nil outside a drag.
  TWinControl* Target() const { return target_; }
  // Registers the control: with MultiTarget it replaces every registration.
  void SetTarget(TWinControl* target);
  // The interface the window layer calls (also for drops handed over directly).
  IDropTarget* DropTarget() const;

  // The clipboard's contents as if they were dropped (see DropFromClipboard);
  // returns the effect. A clipboard that cannot be opened raises EOleSysError.
  DWORD PasteFromClipboard();
  // Whether the clipboard holds anything the target reads.
  bool CanPasteFromClipboard();
  // From the application's clipboard (TClipboard) a paste; from a data
  // object its data read as a copy; anything else cannot be assigned
  // (EConvertError).
  void Assign(const TPersistent* source) override;
  void Notification(TComponent* component, TOperation operation) override;

  // The registered control under the screen point: the windowed control
  // there or the nearest of its parents that is registered; nil when none.
  virtual TWinControl* FindTarget(POINT screen) const;
  // Runs OnDrop with no keys at 0,0; a paste that took effect is reported
  // back as "Paste Succeeded".
  virtual void DropFromClipboard(DWORD& effect);
  // The source's "Preferred DropEffect" of the held data object; 0 without.
  virtual DWORD GetPreferredDropEffect();
  // Feedback written into the held data object; false when it refuses.
  virtual bool SetPerformedDropEffect(DWORD effect);
  virtual bool SetPasteSucceeded(DWORD effect);
  // One auto-scroll step (the timer's tick).
  void DoAutoScroll();

protected:
  virtual void DoEnter(TShiftState shift, POINTL point, DWORD& effect);
  virtual void DoDragOver(TShiftState shift, POINTL point, DWORD& effect);
  virtual void DoDrop(TShiftState shift, POINTL point, DWORD& effect);
  virtual void DoLeave();
  virtual void DoScroll(POINTL point, TScrollDirections& scroll, int& interval);
  virtual bool GetData(DWORD effect);
  virtual bool DoGetData() = 0;
  virtual void ClearData() = 0;
  virtual DWORD GetValidDropEffect(TShiftState shift, POINTL point, DWORD offered);
  virtual bool HasValidFormats(IDataObject* data) = 0;
  // Whether the data read so far is still there (a drop after GetDataOnEnter).
  virtual bool HasData() = 0;
  IDataObject* DataObject() const { return data_.Get(); }
  ComPtr<IDataObject> ClipboardData() const;

private:
  friend class TDropTargetSink;
  friend class TDropTargetTransferThread;
  HRESULT DragEnter(IDataObject* data, DWORD keys, POINTL point, DWORD& effect);
  HRESULT DragOver(DWORD keys, POINTL point, DWORD& effect);
  HRESULT DragLeave();
  HRESULT Drop(DWORD keys, POINTL point, DWORD& effect);
  POINTL ClientPoint(POINTL screen) const;
  void UnregisterControl(TWinControl* control);
  bool WriteFeedback(class TCustomDWORDClipboardFormat& format, DWORD effect);
  void FindScrollBars();
  bool CheckScrollSpeed(POINT screen, bool reset);
  bool Scrolls(POINTL point) const;
  // Hands the drop to a transfer thread when the source allows it: true
  // when started, false when it could not start, none when not offered.
  std::optional<bool> StartAsyncTransfer(DWORD effect);
  void DoEndAsyncTransfer();
  // Forgets the drag's data object, unless a transfer thread works with it.
  void ReleaseData();
  void ImageEnter(IDataObject* data, POINTL point, DWORD effect);
  void ShowImageNow(bool show);

  TControlList targets_;
  TWinControl* target_ = nullptr;
  ComPtr<TDropTargetSink> sink_;
  ComPtr<IDataObject> data_;  // of the drag in progress; none when refused
  POINTL lastPoint_{0, 0};
  bool vertBar_ = false, horzBar_ = false;
  RECT noScroll_{0, 0, 0, 0};
  struct Sample {
    uint32_t tick = 0;
    int32_t x = 0, y = 0;
  } older_, newer_;
  TTimer* timer_;
  bool showImage_ = true;
  ComPtr<IDropTargetHelper> image_;  // the drag-image helper during a drag
  bool transferring_ = false;  // written on the GUI thread only
};

// ---- multi target -------------------------------------------------------------------

// Reads the drag through the data formats made with it as owner, in list
// order; each may be left out by OnAcceptFormat. The target frees the data
// formats still in its list when it goes.
class TCustomDropMultiTarget : public TCustomDropTarget {
public:
  explicit TCustomDropMultiTarget(TComponent* owner);
  ~TCustomDropMultiTarget() override;
  std::function<void(TObject* sender, TCustomDataFormat* format, bool& accept)> OnAcceptFormat;
  bool TakesDataFormats() const override { return true; }

protected:
  virtual bool DoAcceptFormat(TCustomDataFormat* format);
  bool DoGetData() override;
  void ClearData() override;
  bool HasValidFormats(IDataObject* data) override;
  bool HasData() override;
};
