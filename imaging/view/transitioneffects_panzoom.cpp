// Pan/zoom: every frame shows a rectangle of the source picture that moves
// from the start rectangle to the end rectangle.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/transitioneffects.h"
#include "platform/rtl/system.h"
#include "platform/win/gdi.h"

namespace {

// The source rectangle at a step, clamped to the source.
struct SourceRect {
  int32_t x = 0, y = 0, w = 0, h = 0;
  bool clamped = false;
};

// Edges far apart (any 32-bit values) are measured in 64 bits.
int64_t along(int32_t from, int32_t to, int32_t step) {
  return Trunc(from - step * ((static_cast<long double>(from) - to) / 1024));
}

// One axis: offset and length inside a source of size, noting any change;
// answers the length, no more than the size.
int32_t clampAxis(int32_t& offset, int64_t first, int64_t last, int32_t size, bool& changed) {
  int64_t o = first, l = last - first;
  if (o < 0) o = 0;
  if (l > size) l = size;
  if (o + l > size) o = size - l;
  changed = changed || o != first || l != last - first;
  offset = static_cast<int32_t>(std::clamp<int64_t>(o, INT32_MIN, INT32_MAX));
  return static_cast<int32_t>(std::max<int64_t>(l, -1));
}

SourceRect rectAt(const RECT& start, const RECT& end, int32_t step, int32_t sourceWidth, int32_t sourceHeight) {
  SourceRect r;
  r.w = clampAxis(r.x, along(start.left, end.left, step), along(start.right, end.right, step), sourceWidth,
                  r.clamped);
  r.h = clampAxis(r.y, along(start.top, end.top, step), along(start.bottom, end.bottom, step), sourceHeight,
                  r.clamped);
  return r;
}

// Fits width x height into the frame keeping its proportions, centred.
RECT fitRectangle(int32_t width, int32_t height, int32_t frameWidth, int32_t frameHeight) {
  const long double scale = static_cast<long double>(width) / frameWidth > static_cast<long double>(height) / frameHeight
                                ? static_cast<long double>(frameWidth) / width
                                : static_cast<long double>(frameHeight) / height;
  const int32_t w = static_cast<int32_t>(Round(width * scale)), h = static_cast<int32_t>(Round(height * scale));
  const int32_t x = static_cast<int32_t>(Trunc(frameWidth / 2.0L - w / 2.0L));
  const int32_t y = static_cast<int32_t>(Trunc(frameHeight / 2.0L - h / 2.0L));
  return {x, y, x + w, y + h};
}

}  // namespace

void TIETransitionEffects::fillBackground() {
  for (int32_t y = 0; y < frameHeight_; ++y) {
    uint8_t* row = currentRows_[static_cast<size_t>(y)];
    for (int32_t x = 0; x < frameWidth_; ++x, row += 3) {
      row[0] = background_.b;
      row[1] = background_.g;
      row[2] = background_.r;
    }
  }
}

void TIETransitionEffects::paintViewBackground() {
  if (auto* imagery = dynamic_cast<TImageryView*>(view_))
    imagery->DrawBackground(current_->Canvas(), frameWidth_, frameHeight_);
  else
    fillBackground();
}

// Without a source, or where the rectangle holds no pixel of it, the frame
// shows the background only.
void TIETransitionEffects::panZoom(int32_t step) {
  TIEBitmap* source = PanZoomSource;
  const int32_t sw = source ? source->GetWidth() : 0, sh = source ? source->GetHeight() : 0;
  if (sw <= 0 || sh <= 0 || frameWidth_ <= 0 || frameHeight_ <= 0) {
    paintViewBackground();
    return;
  }
  const SourceRect r = rectAt(StartRect, EndRect, step, sw, sh);
  if (r.w <= 0 || r.h <= 0) {
    paintViewBackground();
    return;
  }
  RECT dest{0, 0, frameWidth_, frameHeight_};
  if (r.clamped) {
    dest = fitRectangle(r.w, r.h, frameWidth_, frameHeight_);
    paintViewBackground();
  }
  int32_t* b = panZoomBounds_;  // left min/max, top min/max, bottom min/max, right min/max
  const int32_t x = r.x, y = r.y, right = r.x + r.w, bottom = r.y + r.h;
  if (step == 0 || firstFrame_ || b[0] == 0 || b[7] == 0 || r.clamped) {
    b[0] = b[1] = x;
    b[2] = b[3] = y;
    b[4] = b[5] = bottom;
    b[6] = b[7] = right;
  }
  // Edges that travel one way never step back because of rounding.
  const int32_t l = StartRect.left > EndRect.left ? std::min(x, b[0]) : std::max(x, b[1]);
  const int32_t t = StartRect.top > EndRect.top ? std::min(y, b[2]) : std::max(y, b[3]);
  const int32_t rr = StartRect.right > EndRect.right ? std::min(r.w + l, b[6]) : std::max(r.w + l, b[7]);
  const int32_t bb = StartRect.bottom > EndRect.bottom ? std::min(r.h + t, b[4]) : std::max(r.h + t, b[5]);
  source->RenderToTBitmap(current_.get(), dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, l, t,
                          rr - l, bb - t, false, 255, IEGetGlobalSettings()->TransitionResampleFilter, 0, 1.0);
  b[0] = std::min(b[0], l);
  b[1] = std::max(b[1], l);
  b[2] = std::min(b[2], t);
  b[3] = std::max(b[3], t);
  b[4] = std::min(b[4], bb);
  b[5] = std::max(b[5], bb);
  b[6] = std::min(b[6], rr);
  b[7] = std::max(b[7], rr);
}
