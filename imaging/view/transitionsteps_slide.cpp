// Sliding, wiping and stretching steps: rectangles of the new picture (and,
// for the pushes, of the frame itself) copied or stretched into place, as
// listed in one table of blits.
#include <cmath>

#include "imaging/core/iesettings.h"
#include "imaging/view/transitionregions.h"
#include "imaging/view/transitionsteps.h"

namespace {

enum class From : uint8_t { New, Frame };
enum class Mirror : uint8_t { None, LeftRight, TopBottom };

// One blit of a kind: the source rectangle (x, y, w, h) to the destination
// (x, y) or, stretched, (x, y, w, h). A kind's rows run in table order.
struct Blit {
  TIETransitionType kind;
  From from;
  const char* source;
  const char* dest;
  Mirror mirror = Mirror::None;
};

// cw and ch: the curl of the unroll kinds along the width and the height.
const Blit kBlits[] = {
    // slide in
    {iettSlideInFromLeft, From::New, "0, 0, W, H", "X - W, 0"},
    {iettSlideInFromRight, From::New, "0, 0, W, H", "W - X, 0"},
    {iettSlideInFromTop, From::New, "0, 0, W, H", "0, Y - H"},
    {iettSlideInFromBottom, From::New, "0, 0, W, H", "0, H - Y"},
    // strip and corner wipes
    {iettWipeFromTopLeft, From::New, "0, 0, X, Y", "0, 0"},
    {iettWipeFromTopRight, From::New, "W - X, 0, X, Y", "W - X, 0"},
    {iettWipeFromBottomLeft, From::New, "0, H - Y, X, Y", "0, H - Y"},
    {iettWipeFromBottomRight, From::New, "W - X, H - Y, X, Y", "W - X, H - Y"},
    {iettWipeInFromTopAndBottom, From::New, "0, 0, W, half(Y)", "0, 0"},
    {iettWipeInFromTopAndBottom, From::New, "0, H - half(Y), W, half(Y)", "0, H - half(Y)"},
    {iettWipeFromHorizon, From::New, "0, half(H - Y), W, Y", "0, half(H - Y)"},
    {iettWipeInFromSides, From::New, "0, 0, half(X), H", "0, 0"},
    {iettWipeInFromSides, From::New, "W - half(X), 0, half(X), H", "W - half(X), 0"},
    {iettWipeOutFromVerticalCenter, From::New, "half(W - X), 0, X, H", "half(W - X), 0"},
    // squeeze
    {iettExpandFromLeft, From::New, "0, 0, W, H", "0, 0, X, H"},
    {iettExpandFromRight, From::New, "0, 0, W, H", "W - X, 0, X, H"},
    {iettExpandFromTop, From::New, "0, 0, W, H", "0, 0, W, Y"},
    {iettExpandFromBottom, From::New, "0, 0, W, H", "0, H - Y, W, Y"},
    {iettExpandFromTopLeft, From::New, "0, 0, W, H", "0, 0, X, Y"},
    {iettExpandFromTopRight, From::New, "0, 0, W, H", "W - X, 0, X, Y"},
    {iettExpandFromBottomLeft, From::New, "0, 0, W, H", "0, H - Y, X, Y"},
    {iettExpandFromBottomRight, From::New, "0, 0, W, H", "W - X, H - Y, X, Y"},
    {iettExpandOutFromHorizon, From::New, "0, 0, W, H", "0, half(H - Y), W, Y"},
    {iettExpandOutFromVerticalCenter, From::New, "0, 0, W, H", "half(W - X), 0, X, H"},
    {iettExpandInFromSides, From::New, "0, 0, half(W), H", "0, 0, half(X), H"},
    {iettExpandInFromSides, From::New, "half(W), 0, half(W), H", "W - half(X), 0, half(X), H"},
    {iettExpandInFromTopAndBottom, From::New, "0, 0, W, half(H)", "0, 0, W, half(Y)"},
    {iettExpandInFromTopAndBottom, From::New, "0, half(H), W, half(H)", "0, H - half(Y), W, half(Y)"},
    // magnify
    {iettExpandInFromLeft, From::New, "W - X, 0, X, H", "X - W, 0, 2W - X, H"},
    {iettExpandInFromRight, From::New, "0, 0, X, H", "0, 0, 2W - X, H"},
    {iettExpandInFromTop, From::New, "0, H - Y, W, Y", "0, Y - H, W, 2H - Y"},
    {iettExpandInFromBottom, From::New, "0, 0, W, Y", "0, 0, W, 2H - Y"},
    {iettExpandInToVerticalCenter, From::New, "half(W - X), 0, X, H", "X - W, 0, 3W - 2X, H"},
    {iettExpandInToHorizon, From::New, "0, half(H - Y), W, Y", "0, Y - H, W, 3H - 2Y"},
    {iettShrinkToTopLeft, From::New, "0, 0, X, Y", "0, 0, 2W - X, 2H - Y"},
    {iettShrinkToTopRight, From::New, "W - X, 0, X, Y", "X - W, 0, 2W - X, 2H - Y"},
    {iettShrinkToBottomLeft, From::New, "0, H - Y, X, Y", "0, Y - H, 2W - X, 2H - Y"},
    {iettShrinkToBottomRight, From::New, "W - X, H - Y, X, Y", "X - W, Y - H, 2W - X, 2H - Y"},
    {iettShrinkToCenter, From::New, "half(W - X), half(H - Y), X, Y", "X - W, Y - H, 3W - 2X, 3H - 2Y"},
    // quarters
    {iettQuartersWipeInToCenter, From::New, "0, 0, half(X), half(Y)", "0, 0"},
    {iettQuartersWipeInToCenter, From::New, "0, H - half(Y), half(X), half(Y)", "0, H - half(Y)"},
    {iettQuartersWipeInToCenter, From::New, "W - half(X), H - half(Y), half(X), half(Y)", "W - half(X), H - half(Y)"},
    {iettQuartersWipeInToCenter, From::New, "W - half(X), 0, half(X), half(Y)", "W - half(X), 0"},
    {iettQuartersExpandToCenter, From::New, "0, 0, half(W), half(H)", "0, 0, half(X), half(Y)"},
    {iettQuartersExpandToCenter, From::New, "0, half(H), half(W), half(H)", "0, H - half(Y), half(X), half(Y)"},
    {iettQuartersExpandToCenter, From::New, "half(W), half(H), half(W), half(H)",
     "W - half(X), H - half(Y), half(X), half(Y)"},
    {iettQuartersExpandToCenter, From::New, "half(W), 0, half(W), half(H)", "W - half(X), 0, half(X), half(Y)"},
    {iettQuartersSlideInToCenter, From::New, "0, 0, half(W), half(H)", "half(X) - half(W), 0"},
    {iettQuartersSlideInToCenter, From::New, "half(W), 0, half(W), half(H)", "half(W), half(Y) - half(H)"},
    {iettQuartersSlideInToCenter, From::New, "half(W), half(H), half(W), half(H)", "W - half(X), half(H)"},
    {iettQuartersSlideInToCenter, From::New, "0, half(H), half(W), half(H)", "0, H - half(Y)"},
    // unroll: the band behind the roll mirrored, then the flat part
    {iettUnrollFromLeft, From::New, "X + cw, 0, cw, H", "X, 0, cw, H", Mirror::LeftRight},
    {iettUnrollFromLeft, From::New, "0, 0, X, H", "0, 0"},
    {iettUnrollFromRight, From::New, "W - X - 2cw, 0, cw, H", "W - X - cw, 0, cw, H", Mirror::LeftRight},
    {iettUnrollFromRight, From::New, "W - X, 0, X, H", "W - X, 0"},
    {iettUnrollFromTop, From::New, "0, Y + ch, W, ch", "0, Y, W, ch", Mirror::TopBottom},
    {iettUnrollFromTop, From::New, "0, 0, W, Y", "0, 0"},
    {iettUnrollFromBottom, From::New, "0, H - Y - 2ch, W, ch", "0, H - Y - ch, W, ch", Mirror::TopBottom},
    {iettUnrollFromBottom, From::New, "0, H - Y, W, Y", "0, H - Y"},
    // build up
    {iettBuildUpFromLeft, From::New, "W - X, 0, X, H", "W - X, 0"},
    {iettBuildUpFromLeft, From::New, "max(W - X - W / 10, 0), 0, W - X - max(W - X - W / 10, 0), H",
     "0, 0, W - X, H"},
    {iettBuildUpFromRight, From::New, "0, 0, X, H", "0, 0"},
    {iettBuildUpFromRight, From::New, "X, 0, min(W - X, W / 10), H", "X, 0, W - X, H"},
    {iettBuildUpFromTop, From::New, "0, H - Y, W, Y", "0, H - Y"},
    {iettBuildUpFromTop, From::New, "0, max(H - Y - H / 10, 0), W, H - Y - max(H - Y - H / 10, 0)",
     "0, 0, W, H - Y"},
    {iettBuildUpFromBottom, From::New, "0, 0, W, Y", "0, 0"},
    {iettBuildUpFromBottom, From::New, "0, Y, W, min(H - Y, H / 10)", "0, Y, W, H - Y"},
    // push and slide out: the frame moves by the whole progress on every frame
    {iettPushLeftAndSlideOut, From::Frame, "X, 0, W - X, H", "0, 0"},
    {iettPushLeftAndSlideOut, From::New, "0, 0, X, H", "W - X, 0"},
    {iettPushRightAndSlideOut, From::Frame, "0, 0, W - X, H", "X, 0"},
    {iettPushRightAndSlideOut, From::New, "W - X, 0, X, H", "0, 0"},
    {iettPushUpAndSlideOut, From::Frame, "0, Y, W, H - Y", "0, 0"},
    {iettPushUpAndSlideOut, From::New, "0, 0, W, Y", "0, H - Y"},
    {iettPushDownAndSlideOut, From::Frame, "0, 0, W, H - Y", "0, Y"},
    {iettPushDownAndSlideOut, From::New, "0, H - Y, W, Y", "0, 0"},
    // push and squeeze: the whole frame squeezed into what is left
    {iettPushAndSqueezeLeft, From::Frame, "0, 0, W, H", "0, 0, W - X, H"},
    {iettPushAndSqueezeLeft, From::New, "0, 0, X, H", "W - X, 0"},
    {iettPushAndSqueezeRight, From::Frame, "0, 0, W, H", "X, 0, W - X, H"},
    {iettPushAndSqueezeRight, From::New, "W - X, 0, X, H", "0, 0"},
    {iettPushAndSqueezeUp, From::Frame, "0, 0, W, H", "0, 0, W, H - Y"},
    {iettPushAndSqueezeUp, From::New, "0, 0, W, Y", "0, H - Y"},
    {iettPushAndSqueezeDown, From::Frame, "0, 0, W, H", "0, Y, W, H - Y"},
    {iettPushAndSqueezeDown, From::New, "0, H - Y, W, Y", "0, 0"},
};

// With the alternative drawing these squeezes redraw the old picture and
// darken what the new one does not cover yet (x, y, w, h).
struct Darkened {
  TIETransitionType kind;
  const char* shade;
};
const Darkened kDarkened[] = {
    {iettExpandFromLeft, "X, 0, W - X, H"},
    {iettExpandFromRight, "0, 0, W - X, H"},
    {iettExpandFromTop, "0, Y, W, H - Y"},
    {iettExpandFromBottom, "0, 0, W, H - Y"},
};

// The curl of the unroll kinds for progress p along a side of length n.
int32_t curl(int32_t p, int32_t n) {
  if (p < n / 5) return p / 2;
  if (p + n / 5 > n) return (n - p) / 2;
  return n / 10;
}

void blit(const TIETransitionFrame& frame, const Blit& row, const TStepValues& v) {
  const std::vector<int32_t> s = v.List(row.source), d = v.List(row.dest);
  TCanvas* source = row.from == From::New ? frame.New->Canvas() : frame.Canvas;
  if (row.mirror != Mirror::None) {
    StretchDrawMirrored(frame.Canvas, {d[0], d[1], d[0] + d[2], d[1] + d[3]}, frame.New,
                        {s[0], s[1], s[0] + s[2], s[1] + s[3]}, row.mirror == Mirror::LeftRight,
                        row.mirror == Mirror::TopBottom);
    return;
  }
  if (s[2] <= 0 || s[3] <= 0) return;
  const HDC dc = frame.Canvas->Handle();
  if (d.size() == 2) {
    BitBlt(dc, d[0], d[1], s[2], s[3], source->Handle(), s[0], s[1], SRCCOPY);
  } else if (d[2] > 0 && d[3] > 0) {
    StretchBlt(dc, d[0], d[1], d[2], d[3], source->Handle(), s[0], s[1], s[2], s[3], SRCCOPY);
  }
}

}  // namespace

bool SlideWipeStretchStep(TIETransitionType kind, const TIETransitionFrame& frame) {
  TStepValues v(frame);
  v.Set("cw", curl(v("X"), v("W")));
  v.Set("ch", curl(v("Y"), v("H")));
  const Darkened* darkened = nullptr;
  if (IEGetGlobalSettings()->TransitionAltDrawing)
    for (const Darkened& d : kDarkened)
      if (d.kind == kind) darkened = &d;
  if (darkened) CopyWhole(frame, frame.Old);
  bool found = false;
  for (const Blit& row : kBlits)
    if (row.kind == kind) {
      blit(frame, row, v);
      found = true;
    }
  if (darkened) {
    const std::vector<int32_t> r = v.List(darkened->shade);
    const int32_t open = 10 - frame.Percent / 10;
    BlendColorIntoRect(frame.Canvas->Handle(), {r[0], r[1], r[0] + r[2], r[1] + r[3]}, clBlack, 100 - open * open);
  }
  return found;
}
