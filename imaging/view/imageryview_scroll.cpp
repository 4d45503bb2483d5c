// Smooth scrolling and touch gestures of the image view.
//
// Sections: gesture settings | smooth scrolling | gestures
#include <algorithm>
#include <cmath>
#include <numbers>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/extctrls.h"
#include "platform/win/user.h"

// ---- gesture settings -------------------------------------------------------------------

void TIEGestureOptions::SetEnabled(bool value) {
  enabled_ = value;
  if (value)
    for (TIEGestureOptions* linked : LinkedOptions) linked->SetEnabled(false);
}

TIEViewerGestures::TIEViewerGestures() {
  Pan.ApplyInertia = true;
  Pan.LinkedOptions = {&LayerMove};
  Zoom.ApplyInertia = true;
  Zoom.MinValue = 1;
  Zoom.MaxValue = 8000;
  Zoom.Snap = true;
  Zoom.SnapValue = 5;
  LayerRotate.MinValue = -1.7e308;
  LayerRotate.MaxValue = 1.7e308;
  LayerRotate.Snap = true;
  LayerRotate.SnapValue = 5;
  LayerMove.Snap = true;
  LayerMove.SnapValue = 5;
  LayerMove.LinkedOptions = {&Pan};
}

bool TIEViewerGestures::Enabled() const {
  return Pan.Enabled() || Zoom.Enabled() || LayerRotate.Enabled() || LayerMove.Enabled();
}

// ---- smooth scrolling -------------------------------------------------------------------

// The glide runs while the timer is enabled; an idle view keeps it disabled.
bool TImageryView::SmoothScrolling() const { return smoothTimer_ && smoothTimer_->Enabled(); }

void TImageryView::SmoothScrollTo(int32_t x, int32_t y) {
  if (SmoothScrollDivisor == 0) {
    SetViewXY(x, y);
    return;
  }
  smoothTarget_ = POINT{x, y};
  if (SmoothScrolling()) return;
  if (!smoothTimer_) {
    smoothTimer_ = new TTimer(this);
    smoothTimer_->SetEnabled(false);
    smoothTimer_->SetInterval(30);
    smoothTimer_->OnTimer = [this](TObject*) { SmoothScrollStep(); };
  }
  smoothTimer_->SetEnabled(true);
  SmoothScrollStep();
}

void TImageryView::SmoothScrollStep() {
  if (!SmoothScrolling()) return;
  const double divisor = SmoothScrollDivisor == 0 ? 1 : SmoothScrollDivisor;
  const int32_t vx = viewX_, vy = viewY_;
  SetViewXY(static_cast<int32_t>(std::nearbyint(vx - (vx - smoothTarget_.x) / divisor)),
            static_cast<int32_t>(std::nearbyint(vy - (vy - smoothTarget_.y) / divisor)));
  if ((viewX_ == vx && viewY_ == vy) || GetAsyncKeyState(VK_LBUTTON) < 0) StopSmoothScroll();
}

void TImageryView::StopSmoothScroll() {
  if (smoothTimer_) smoothTimer_->SetEnabled(false);
  if (OnFinishSmoothTask && !destroying_) OnFinishSmoothTask(this, iestScroll);
}

// ---- gestures ---------------------------------------------------------------------------

namespace {

// The system's gesture record as the 32-bit layout has it (48 bytes).
struct TGestureInfo32 {
  uint32_t cbSize;
  uint32_t dwFlags;
  uint32_t dwID;
  uint32_t hwndTarget;
  int16_t x, y;
  uint32_t dwInstanceID;
  uint32_t dwSequenceID;
  uint32_t padding;
  uint64_t ullArguments;
  uint32_t cbExtraArgs;
  uint32_t padding2;
};
static_assert(sizeof(TGestureInfo32) == 48);

constexpr uint32_t GF_BEGIN = 1, GF_INERTIA = 2, GF_END = 4;
constexpr uint32_t GID_ZOOM = 3, GID_PAN = 4, GID_ROTATE = 5;

using TGetGestureInfo = int (*)(LPARAM, TGestureInfo32*);
using TCloseGestureInfoHandle = int (*)(LPARAM);
struct TGestureConfig {
  uint32_t dwID, dwWant, dwBlock;
};
using TSetGestureConfig = int (*)(HWND, uint32_t, uint32_t, TGestureConfig*, uint32_t);
using TUnregisterTouchWindow = int (*)(HWND);

double Clamped(double v, double low, double high) { return std::max(low, std::min(v, high)); }

}  // namespace

void TImageryView::DoImageryGesture(TIEGestureFlags flags, TIEGestureID id, POINT location, int32_t value,
                                    int32_t inertiaX, int32_t inertiaY, uint32_t pressAndTapDistance, bool& handled) {
  if (OnImageryGesture)
    OnImageryGesture(this, flags, id, location, value, inertiaX, inertiaY, pressAndTapDistance, handled);
}

void TImageryView::WMGestureNotify(TMessage& message) {
  TIEView::WndProc(message);
  if (!gestures_->Enabled() || !IETouchGesturesAvailable()) return;
  reinterpret_cast<TUnregisterTouchWindow>(IEGestureFunctions.UnregisterTouchWindow)(Handle());
  std::vector<TGestureConfig> configs;
  if (gestures_->Pan.Enabled() || gestures_->LayerMove.Enabled()) configs.push_back({GID_PAN, 0x17, 8});
  if (gestures_->Zoom.Enabled()) configs.push_back({GID_ZOOM, 1, 0});
  if (gestures_->LayerRotate.Enabled()) configs.push_back({GID_ROTATE, 1, 0});
  reinterpret_cast<TSetGestureConfig>(IEGestureFunctions.SetGestureConfig)(
      Handle(), 0, static_cast<uint32_t>(configs.size()), configs.data(), sizeof(TGestureConfig));
}

void TImageryView::WMGesture(TMessage& message) {
  message.Result = 1;
  if (gestures_->Enabled() && IETouchGesturesAvailable()) {
    TGestureInfo32 info{};
    info.cbSize = sizeof info;
    if (reinterpret_cast<TGetGestureInfo>(IEGestureFunctions.GetGestureInfo)(message.LParam, &info)) {
      try {
        const POINT location{info.x, info.y};
        if (HandleGesture(info.dwFlags, info.dwID, location, info.ullArguments)) message.Result = 0;
      } catch (...) {
        reinterpret_cast<TCloseGestureInfoHandle>(IEGestureFunctions.CloseGestureInfoHandle)(message.LParam);
        throw;
      }
      if (message.Result == 0)
        reinterpret_cast<TCloseGestureInfoHandle>(IEGestureFunctions.CloseGestureInfoHandle)(message.LParam);
    }
  }
  if (message.Result == 1) TIEView::WndProc(message);
}

bool TImageryView::HandleGesture(uint32_t systemFlags, uint32_t systemId, POINT location, uint64_t arguments) {
  TIEGestureFlags flags;
  if (systemFlags & GF_BEGIN) flags.Include(iegfBegin);
  if (systemFlags & GF_INERTIA) flags.Include(iegfInertia);
  if (systemFlags & GF_END) flags.Include(iegfEnd);
  const auto high = static_cast<uint32_t>(arguments >> 32);
  bool handled = false;
  DoImageryGesture(flags, static_cast<TIEGestureID>(systemId - 1), location, static_cast<int32_t>(arguments),
                   static_cast<int16_t>(high & 0xFFFF), static_cast<int16_t>(high >> 16), high, handled);
  if (handled) return true;

  const auto a = static_cast<int32_t>(arguments & 0xFFFFFFFF);
  const bool begin = flags.Contains(iegfBegin), inertia = flags.Contains(iegfInertia);
  const auto mayAct = [inertia](const TIEGestureOptions& o) { return o.Enabled() && (!inertia || o.ApplyInertia); };
  TIEViewerGestures& g = *gestures_;
  TIELayer* layer = GetCurrentLayer();
  switch (systemId) {
    case GID_ZOOM:
      if (begin) {
        gestureStartDistance_ = a;
        gestureStartZoom_ = Zoom();
        return false;
      }
      if (!mayAct(g.Zoom) || gestureStartDistance_ == 0) return false;
      {
        double z = Clamped(static_cast<double>(a) / gestureStartDistance_ * gestureStartZoom_, g.Zoom.MinValue,
                           g.Zoom.MaxValue) *
                   g.Zoom.Multiplier;
        if (g.Zoom.Snap && std::abs(z - 100) <= g.Zoom.SnapValue) z = 100;
        SetZoom(z);
      }
      return true;
    case GID_PAN:
      if (begin) {
        gestureStartLocation_ = location;
        gestureStartView_ = POINT{viewX_, viewY_};
        gestureStartLayerPos_ = POINT{layer->PosX, layer->PosY};
        return false;
      }
      if (mayAct(g.Pan)) {
        const TIEGesturePanOptions& o = g.Pan;
        SetViewX(static_cast<int32_t>(
            Clamped(gestureStartLocation_.x + gestureStartView_.x - location.x, o.BoundsLeft, o.BoundsRight) * o.Multiplier));
        SetViewY(static_cast<int32_t>(
            Clamped(gestureStartLocation_.y + gestureStartView_.y - location.y, o.BoundsTop, o.BoundsBottom) * o.Multiplier));
        return true;
      }
      if (mayAct(g.LayerMove)) {
        const TIEGestureLayerMoveOptions& o = g.LayerMove;
        const auto axis = [&o](int32_t startPos, int32_t startLoc, int32_t loc, double zoom, int32_t low, int32_t highBound) {
          double v = Clamped(startPos - std::trunc((startLoc - loc) / (zoom / 100)), low, highBound) * o.Multiplier;
          if (o.Snap && std::abs(v) <= o.SnapValue) v = 0;
          return static_cast<int32_t>(v);
        };
        layer->PosX = axis(gestureStartLayerPos_.x, gestureStartLocation_.x, location.x, ZoomX(), o.BoundsLeft, o.BoundsRight);
        layer->PosY = axis(gestureStartLayerPos_.y, gestureStartLocation_.y, location.y, ZoomY(), o.BoundsTop, o.BoundsBottom);
        Update();
        return true;
      }
      return false;
    case GID_ROTATE:
      if (begin) {
        gestureStartAngle_ = layer->Angle();
        return false;
      }
      if (!mayAct(g.LayerRotate)) return false;
      {
        const double radians = a / 65535.0 * 4 * 3.14159265 - 6.2831853;
        double angle = Clamped(radians * 180 / std::numbers::pi + gestureStartAngle_, g.LayerRotate.MinValue,
                               g.LayerRotate.MaxValue) *
                       g.LayerRotate.Multiplier;
        if (g.LayerRotate.Snap) {
          const double reduced = IENormalizeDegrees(angle);
          for (int k = 0; k <= 8; ++k) {
            const double target = angle < 0 ? -k * 45.0 : k * 45.0;
            if (std::abs(target - reduced) <= g.LayerRotate.SnapValue) {
              angle = target;
              break;
            }
          }
        }
        layer->SetAngle(angle);
        Update();
      }
      return true;
    default: return false;
  }
}
