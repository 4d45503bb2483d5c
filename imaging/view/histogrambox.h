// The histogram box: a small control that draws the histogram of the image
// of an attached processing component, per channel as bars or lines, with
// value labels and a colour bar, and lets the user pick one value or a range
// of it with the mouse.
#pragma once

#include <cstdint>
#include <memory>

#include "imaging/processing/imageryproc_component.h"
#include "platform/forms/controls.h"
#include "platform/forms/graphics.h"
#include "platform/rtl/set.h"

enum THistogramLabel : uint8_t { hlVertical, hlHorizontal };
using THistogramLabels = Set<THistogramLabel>;
enum THistogramStyle : uint8_t { hsBars, hsLines };
enum THistogramMouseInteract : uint8_t { mhNone, mhSelectValue, mhSelectRange };

class THistogramBox : public TCustomControl {
  FORMS_CLASS(THistogramBox)

public:
  explicit THistogramBox(TComponent* owner);
  ~THistogramBox() override;

  // Draws the histogram of the attached component's image (or selection);
  // without a component that has a bitmap the drawing stays as it was.
  void Update() override;
  // Draws histogram into the drawing bitmap and invalidates.
  void RenderHistogram(const TIEHistogram& histogram);

  TColor Background() const { return background_; }
  void SetBackground(TColor color);
  TImageryProc* AttachedImageryProc() const { return proc_; }
  void SetAttachedImageryProc(TImageryProc* proc);
  THistogramKind HistogramKind() const { return kind_; }
  void SetHistogramKind(THistogramKind kind) { SetAndUpdate(kind_, kind); }
  THistogramLabels Labels() const { return labels_; }
  void SetLabels(THistogramLabels labels) { SetAndUpdate(labels_, labels); }
  bool CompBar() const { return compBar_; }
  void SetCompBar(bool on) { SetAndUpdate(compBar_, on); }
  THistogramStyle HistogramStyle() const { return style_; }
  void SetHistogramStyle(THistogramStyle style) { SetAndUpdate(style_, style); }
  TColor GrayColor() const { return grayColor_; }
  void SetGrayColor(TColor color) { grayColor_ = color; }
  THistogramMouseInteract MouseInteract() const { return mouseInteract_; }
  void SetMouseInteract(THistogramMouseInteract mode);
  TColor SelectionColor() const { return selectionColor_; }
  void SetSelectionColor(TColor color) { selectionColor_ = color; }

  // Client x where the graph starts (the vertical labels' width + 4, else 0).
  int32_t LeftMargin() const { return margin_; }
  // The picked value (first) or range (first .. second), as client x.
  int32_t FirstPosition() const { return pos1_; }
  int32_t SecondPosition() const { return pos2_; }
  // The rendered histogram (24 bits).
  TBitmap* Drawing() const { return drawing_.get(); }

  TNotifyEvent OnSelectionChanged;
  TNotifyEvent OnSelectionChanging;

  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  template <class T>
  void SetAndUpdate(T& field, T value) {
    if (field == value) return;
    field = value;
    Update();
  }
  bool Interactive() const { return mouseInteract_ == mhSelectValue || mouseInteract_ == mhSelectRange; }
  void DrawColourBar(int32_t w, int32_t labelHeight, int32_t n);

  TColor background_ = clWhite;
  TImageryProc* proc_ = nullptr;
  THistogramKind kind_ = hkGray;
  THistogramLabels labels_{hlVertical, hlHorizontal};
  bool compBar_ = true;
  THistogramStyle style_ = hsBars;
  int32_t margin_ = 0;
  TColor grayColor_ = clBlack;
  int32_t pos1_ = 0, pos2_ = 0;
  bool dragging1_ = false, dragging2_ = false;
  THistogramMouseInteract mouseInteract_ = mhNone;
  TColor selectionColor_ = clRed;
  std::unique_ptr<TBitmap> drawing_;
};
