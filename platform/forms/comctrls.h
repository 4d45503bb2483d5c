// Common controls: progress bar, track bar, up-down, scroll bar, and the
// page control with its tab sheets.
//
// Sections: TProgressBar | TTrackBar | TUpDown | TScrollBar | TPageControl, TTabSheet
#pragma once

#include <cstdint>
#include <vector>

#include "platform/forms/controls.h"

enum TProgressBarOrientation { pbHorizontal, pbVertical };
enum TTrackBarOrientation { trHorizontal, trVertical };
enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode { scLineUp, scLineDown, scPageUp, scPageDown, scPosition, scTrack, scTop, scBottom, scEndScroll };
enum TUDBtnType { btNext, btPrev };
enum TUDOrientation { udHorizontal, udVertical };

using TScrollEvent = std::function<void(TObject* sender, TScrollCode code, int32_t& position)>;
using TUDClickEvent = std::function<void(TObject* sender, TUDBtnType button)>;
using TUDChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;
using TTabChangingEvent = std::function<void(TObject* sender, bool& allowChange)>;

// ---- TProgressBar ----

class TProgressBar : public TWinControl {
  FORMS_CLASS(TProgressBar)

public:
  explicit TProgressBar(TComponent* owner);
  int32_t Min() const { return min_; }
  void SetMin(int32_t v);
  int32_t Max() const { return max_; }
  void SetMax(int32_t v);
  // Kept within Min..Max.
  int32_t Position() const { return position_; }
  void SetPosition(int32_t v);
  int32_t Step() const { return step_; }
  void SetStep(int32_t v) { step_ = v; }
  void StepIt();
  void StepBy(int32_t delta) { SetPosition(position_ + delta); }
  bool Smooth() const { return smooth_; }
  void SetSmooth(bool v);
  TProgressBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TProgressBarOrientation o);

protected:
  void PaintWindow(HDC dc) override;

private:
  int32_t min_ = 0, max_ = 100, position_ = 0, step_ = 10;
  bool smooth_ = false;
  TProgressBarOrientation orientation_ = pbHorizontal;
};

// ---- TTrackBar ----

class TTrackBar : public TWinControl {
  FORMS_CLASS(TTrackBar)

public:
  explicit TTrackBar(TComponent* owner);
  void WndProc(TMessage& message) override;
  int32_t Min() const { return min_; }
  void SetMin(int32_t v);
  int32_t Max() const { return max_; }
  void SetMax(int32_t v);
  int32_t Position() const { return position_; }
  // Kept within Min..Max; OnChange on a change.
  void SetPosition(int32_t v);
  int32_t Frequency() const { return frequency_; }
  void SetFrequency(int32_t v);
  int32_t LineSize() const { return lineSize_; }
  void SetLineSize(int32_t v) { lineSize_ = v; }
  int32_t PageSize() const { return pageSize_; }
  void SetPageSize(int32_t v) { pageSize_ = v; }
  TTrackBarOrientation Orientation() const { return orientation_; }
  void SetOrientation(TTrackBarOrientation o);
  // The thumb's rectangle in client coordinates.
  RECT ThumbRect() const;
  TNotifyEvent OnChange;

protected:
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  bool DoMouseWheel(TShiftState shift, int wheelDelta, POINT mousePos) override;

private:
  int32_t PositionAt(int x, int y) const;
  RECT Channel() const;
  int32_t min_ = 0, max_ = 10, position_ = 0, frequency_ = 1, lineSize_ = 1, pageSize_ = 2;
  TTrackBarOrientation orientation_ = trHorizontal;
  bool dragging_ = false;
};

// ---- TUpDown ----

// Two arrow buttons that step Position; an associated control shows it as text.
class TUpDown : public TCustomControl {
  FORMS_CLASS(TUpDown)

public:
  explicit TUpDown(TComponent* owner);
  void WndProc(TMessage& message) override;
  void Notification(TComponent* component, TOperation operation) override;
  int32_t Min() const { return min_; }
  void SetMin(int32_t v) { min_ = v; }
  int32_t Max() const { return max_; }
  void SetMax(int32_t v) { max_ = v; }
  int32_t Position() const { return position_; }
  void SetPosition(int32_t v);
  int32_t Increment() const { return increment_; }
  void SetIncrement(int32_t v) { increment_ = v; }
  bool Wrap() const { return wrap_; }
  void SetWrap(bool v) { wrap_ = v; }
  bool Thousands() const { return thousands_; }
  void SetThousands(bool v) { thousands_ = v; }
  TUDOrientation Orientation() const { return orientation_; }
  void SetOrientation(TUDOrientation o);
  TWinControl* Associate() const { return associate_; }
  // Sits at the control's right edge and writes the position into it.
  void SetAssociate(TWinControl* control);
  // One step as the buttons take it (OnChanging may refuse, OnClick follows).
  void Step(TUDBtnType button);

  TUDClickEvent OnClick;
  TUDChangingEvent OnChanging;

protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  void UpdateAssociate();
  int32_t min_ = 0, max_ = 100, position_ = 0, increment_ = 1;
  bool wrap_ = false, thousands_ = true;
  TUDOrientation orientation_ = udVertical;
  TWinControl* associate_ = nullptr;
  int pressed_ = -1;  // 0 next, 1 previous
};

// ---- TScrollBar ----

class TScrollBar : public TWinControl {
  FORMS_CLASS(TScrollBar)

public:
  explicit TScrollBar(TComponent* owner);
  TScrollBarKind Kind() const { return kind_; }
  void SetKind(TScrollBarKind kind);
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  void SetParams(int32_t position, int32_t min, int32_t max);
  void SetMin(int32_t v) { SetParams(position_, v, max_); }
  void SetMax(int32_t v) { SetParams(position_, min_, v); }
  int32_t Position() const { return position_; }
  void SetPosition(int32_t v) { SetParams(v, min_, max_); }
  int32_t SmallChange() const { return smallChange_; }
  void SetSmallChange(int32_t v) { smallChange_ = v; }
  int32_t LargeChange() const { return largeChange_; }
  void SetLargeChange(int32_t v) { largeChange_ = v; }
  int32_t PageSize() const { return pageSize_; }
  void SetPageSize(int32_t v);
  RECT ThumbRect() const;

  TNotifyEvent OnChange;
  TScrollEvent OnScroll;

protected:
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

private:
  void Scroll(TScrollCode code, int32_t position);
  int Length() const;
  int Breadth() const;
  TScrollBarKind kind_ = sbHorizontal;
  int32_t min_ = 0, max_ = 100, position_ = 0, smallChange_ = 1, largeChange_ = 1, pageSize_ = 0;
  int dragOffset_ = -1;
};

// ---- TPageControl, TTabSheet ----

class TPageControl;

class TTabSheet : public TWinControl {
  FORMS_CLASS(TTabSheet)

public:
  explicit TTabSheet(TComponent* owner);
  ~TTabSheet() override;
  TPageControl* PageControl() const { return pageControl_; }
  // Joins (or leaves, with null) a page control as its last page.
  void SetPageControl(TPageControl* pageControl);
  int32_t PageIndex() const;
  void SetPageIndex(int32_t index);
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool v);
  int32_t TabIndex() const;

protected:
  void PaintWindow(HDC dc) override;

private:
  friend class TPageControl;
  TPageControl* pageControl_ = nullptr;
  bool tabVisible_ = true;
};

class TPageControl : public TWinControl {
  FORMS_CLASS(TPageControl)

public:
  explicit TPageControl(TComponent* owner);
  ~TPageControl() override;
  void WndProc(TMessage& message) override;

  int32_t PageCount() const { return static_cast<int32_t>(pages_.size()); }
  TTabSheet* Pages(int32_t index) const { return pages_.at(index); }
  TTabSheet* ActivePage() const { return activePage_; }
  void SetActivePage(TTabSheet* page);
  int32_t ActivePageIndex() const;
  void SetActivePageIndex(int32_t index);
  // The page after (or before) `current` with a visible tab; null when none.
  TTabSheet* FindNextPage(TTabSheet* current, bool goForward, bool checkTabVisible) const;
  void SelectNextPage(bool goForward);
  // The tab's rectangle of a page with a visible tab (client coordinates).
  RECT TabRect(int32_t page) const;
  int32_t TabHeight() const { return 22; }

  TNotifyEvent OnChange;
  TTabChangingEvent OnChanging;

protected:
  void PaintWindow(HDC dc) override;
  void AdjustClientRect(RECT& rect) const override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD& key, TShiftState shift) override;

private:
  friend class TTabSheet;
  // Changes the page as the user does: OnChanging may refuse, OnChange follows.
  void ChangePage(TTabSheet* page);
  void LayoutPages();
  std::vector<TTabSheet*> pages_;
  TTabSheet* activePage_ = nullptr;
};
