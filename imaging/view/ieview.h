// The base window control of the image viewers: background colour, border
// style, the resolution of the shown image, and the interface through which
// the I/O, multi-image I/O and processing components reach a viewer's image
// without knowing which viewer it is. Those components register a change
// handler so that they hear when the viewer replaces its bitmap object or
// is destroyed.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/core/iesettings.h"
#include "platform/forms/controls.h"

class TIEBitmap;
class TIEView;
class TBitmap;

// A bitmap-change handler: flag 0 the viewer's bitmap object changed, 1 the
// viewer is being destroyed (the handler forgets the viewer and must not
// unregister itself: the viewer frees the entry right after the call).
using TIEBitmapChangeProc = void (*)(void* owner, TIEView* viewer, int32_t flag);

// One registered handler; its address is the handle for unregistering.
struct TIEChangeHandlerEntry {
  TIEBitmapChangeProc Proc = nullptr;
  void* Owner = nullptr;
};

class TIEView : public TCustomControl {
  FORMS_CLASS(TIEView)

public:
  explicit TIEView(TComponent* owner);
  // Tells every handler (flag 1, in registration order) and frees the entries.
  ~TIEView() override;

  // -- the interface the attached components use (descendants override)
  virtual void SetBackground(TIEColor color) { background_ = color; }
  TIEColor Background() const { return background_; }
  virtual TBitmap* GetTBitmap() { return nullptr; }
  virtual TIEBitmap* GetIEBitmap() { return nullptr; }
  virtual TIEBitmap* GetAlphaChannel() = 0;
  virtual bool HasAlphaChannel() = 0;
  virtual void RemoveAlphaChannel(bool merge) = 0;
  virtual void BeginPaintLock() = 0;
  virtual int32_t EndPaintLock() = 0;
  virtual int32_t EndPaintLockNoRefresh() = 0;
  // A resolution of 0 leaves the previous value.
  virtual void SetDpiX(int32_t value);
  virtual void SetDpiY(int32_t value);
  virtual void SetDpi(int32_t dpiX, int32_t dpiY);
  int32_t DpiX() const { return dpiX_; }
  int32_t DpiY() const { return dpiY_; }
  // Called after the image content changed.
  virtual void ImageChange() {}
  // Calls every registered handler with flag 0.
  virtual void NotifyBitmapChangeHandlers();

  // -- change handlers
  TIEChangeHandlerEntry* RegisterBitmapChangeHandler(TIEBitmapChangeProc proc, void* owner);
  // Nil, or an entry that is not registered, is ignored.
  void UnregisterBitmapChangeHandler(TIEChangeHandlerEntry* entry);
  int32_t ChangeHandlerCount() const { return static_cast<int32_t>(changeHandlers_.size()); }

  // -- looks
  TBorderStyle BorderStyle() const { return borderStyle_; }
  // A change recreates the window.
  void SetBorderStyle(TBorderStyle value);
  bool GetCtl3D() const { return Ctl3D(); }
  // A change recreates the window.
  void SetCtl3D(bool value);
  TCanvas* GetCanvas() const { return Canvas(); }

protected:
  void CreateParams(TCreateParams& params) override;

  TIEColor background_ = clIEBtnFace;
  int32_t dpiX_ = 0, dpiY_ = 0;

private:
  TBorderStyle borderStyle_ = bsSingle;
  std::vector<TIEChangeHandlerEntry*> changeHandlers_;  // owned entries
};
