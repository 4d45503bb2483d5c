// The histogram box.
//
// Sections: registration | life | rendering | painting and messages | mouse
#include "imaging/view/histogrambox.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/core/iegdiplus.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/properties.h"
#include "platform/rtl/system.h"
#include "platform/rtl/sysutils.h"

namespace {

int32_t Nearest(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

uint32_t Count(const TIEHistogramEntry& e, THistogramKind channel) {
  switch (channel) {
    case hkRed: return e.Red;
    case hkGreen: return e.Green;
    case hkBlue: return e.Blue;
    case hkGray: return e.Gray;
    default: return e.Hue;
  }
}

// The channels in drawing order.
constexpr THistogramKind kChannels[] = {hkRed, hkGreen, hkBlue, hkGray, hkHue};

TColor HueColor(int32_t hue) {
  TRGB c{};
  IEHSVToRGB(c, hue, 99, 50);
  return RGB(c.r, c.g, c.b);
}

std::string Thousands(uint32_t value) { return Format("%.0n", {static_cast<long double>(value)}); }

}  // namespace

// ---- registration ----------------------------------------------------------------------

const TClassInfo& THistogramBox::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<THistogramBox>("THistogramBox", &TCustomControl::StaticClassInfo(), [](TPublished<THistogramBox>& p) {
        static const TEnumNames labels{"hlVertical", "hlHorizontal"};
        static const TEnumNames styles{"hsBars", "hsLines"};
        static const TEnumNames interact{"mhNone", "mhSelectValue", "mhSelectRange"};
        p.Integer("Background", &THistogramBox::Background, &THistogramBox::SetBackground, &ColorIdents())
            .Reference<TImageryProc>("AttachedImageryProc", &THistogramBox::AttachedImageryProc,
                                     &THistogramBox::SetAttachedImageryProc)
            .Integer("HistogramKind", &THistogramBox::HistogramKind, &THistogramBox::SetHistogramKind)
            .SetOf("Labels", labels, &THistogramBox::Labels, &THistogramBox::SetLabels)
            .Boolean("CompBar", &THistogramBox::CompBar, &THistogramBox::SetCompBar)
            .Enumeration("HistogramStyle", styles, &THistogramBox::HistogramStyle, &THistogramBox::SetHistogramStyle)
            .Integer("GrayColor", &THistogramBox::GrayColor, &THistogramBox::SetGrayColor, &ColorIdents())
            .Enumeration("MouseInteract", interact, &THistogramBox::MouseInteract, &THistogramBox::SetMouseInteract)
            .Event("OnSelectionChanged", &THistogramBox::OnSelectionChanged)
            .Event("OnSelectionChanging", &THistogramBox::OnSelectionChanging);
      });
  return info;
}

// ---- life ------------------------------------------------------------------------------

THistogramBox::THistogramBox(TComponent* owner) : TCustomControl(owner), drawing_(std::make_unique<TBitmap>()) {
  IEGDIPlusLoad();
  SetControlStyle(ControlStyle() + csOpaque + csAcceptsControls);
  SetBounds(Left(), Top(), 256, 105);
  drawing_->SetPixelFormat(pf24bit);
  drawing_->SetSize(1, 1);
  Update();
}

THistogramBox::~THistogramBox() {
  drawing_.reset();
  IEGDIPlusUnload();
}

void THistogramBox::SetBackground(TColor color) {
  background_ = color;
  Update();
}

void THistogramBox::SetAttachedImageryProc(TImageryProc* proc) {
  if (proc_ && proc_ != proc) proc_->RemoveFreeNotification(this);
  proc_ = proc;
  if (proc_) proc_->FreeNotification(this);
}

void THistogramBox::Notification(TComponent* component, TOperation operation) {
  TCustomControl::Notification(component, operation);
  if (operation == opRemove && component == proc_) proc_ = nullptr;
}

void THistogramBox::SetMouseInteract(THistogramMouseInteract mode) {
  if (mouseInteract_ == mode) return;
  mouseInteract_ = mode;
  Invalidate();
}

void THistogramBox::Update() {
  if (ComponentState().Contains(csDesigning)) {
    TIEHistogram made(256);
    for (int32_t i = 0; i < 256; ++i) {
      const uint32_t v = static_cast<uint32_t>((i <= 128 ? i : 256 - i) + Random(128));
      made[i] = {v, v, v, v, v};
    }
    RenderHistogram(made);
    return;
  }
  if (!proc_ || !proc_->GetBitmap() || proc_->GetBitmap()->GetWidth() == 0) return;
  TIEHistogram histogram;
  proc_->GetHistogram(kind_, histogram);
  RenderHistogram(histogram);
}

// ---- rendering -------------------------------------------------------------------------

void THistogramBox::RenderHistogram(const TIEHistogram& histogram) {
  if (drawing_->Width() == 1) drawing_->SetSize(std::max(Width(), 1), std::max(Height(), 1));
  TCanvas* bitmapCanvas = drawing_->Canvas();
  bitmapCanvas->Brush()->SetColor(background_);
  bitmapCanvas->Brush()->SetStyle(bsSolid);
  bitmapCanvas->FillRect(RECT{0, 0, drawing_->Width(), drawing_->Height()});

  const int32_t n = static_cast<int32_t>(histogram.size());
  uint32_t m = 0;
  for (const TIEHistogramEntry& e : histogram)
    for (THistogramKind channel : kChannels)
      if (kind_ & channel) m = std::max(m, Count(e, channel));
  if (m == 0 || n == 0) {
    Invalidate();
    return;
  }

  TIECanvas canvas(bitmapCanvas, true, true);
  canvas.Brush()->SetColor(background_);
  canvas.Pen()->SetColor(background_);
  canvas.Pen()->SetStyle(psSolid);

  const bool sized = Parent() && HandleAllocated();
  int32_t w = sized ? ClientWidth() : Width();
  int32_t h = sized ? ClientHeight() : Height();
  const int32_t fontHeight = std::abs(Font()->Height());
  const int32_t labelHeight = static_cast<int32_t>(fontHeight * 1.2);
  if (compBar_) h -= labelHeight + 2;

  margin_ = 0;
  if (labels_.Contains(hlVertical)) {
    bitmapCanvas->SetFont(Font());
    const SIZE size = canvas.TextExtent(Thousands(m));
    canvas.TextOut(0, h / 2 - size.cy / 2, Thousands(m / 2));
    canvas.TextOut(0, 0, Thousands(m));
    canvas.Pen()->SetColor(Font()->Color());
    margin_ = size.cx + 4;
    w -= margin_;
  }
  if (labels_.Contains(hlHorizontal)) {
    bitmapCanvas->SetFont(Font());
    const SIZE size = canvas.TextExtent(IntToStr(static_cast<int64_t>(m)));
    const int32_t step = n / 4;
    const int32_t y = h - fontHeight - 1;
    const std::string last = IntToStr(n - 1);
    const int32_t lastLeft = margin_ + w - canvas.TextWidth(last);
    // A number that would run into the one before it or into the last one
    // (a narrow box, a wide font) is left out.
    constexpr int32_t kGap = 4;
    int32_t free = margin_;
    for (int32_t i = 0; i < 4; ++i) {
      const std::string text = IntToStr(i * step);
      const int32_t x = margin_ + Nearest(static_cast<double>(i) * step / n * w);
      const int32_t right = x + canvas.TextWidth(text) + kGap;
      if (x < free || right > lastLeft) continue;
      canvas.TextOut(x, y, text);
      free = right;
    }
    canvas.TextOut(lastLeft, y, last);
    h -= size.cy + 2;
    canvas.MoveTo(margin_ - 1, 0);
    canvas.LineTo(margin_ - 1, h);
    canvas.LineTo(margin_ + w, h);
  }
  if (w <= 0 || h <= 0) {
    Invalidate();
    return;
  }

  if (compBar_) DrawColourBar(w, labelHeight, n);

  const auto penFor = [this, n](THistogramKind channel, int32_t i) -> TColor {
    switch (channel) {
      case hkRed: return RGB(255, 0, 0);
      case hkGreen: return RGB(0, 128, 0);
      case hkBlue: return RGB(0, 0, 255);
      case hkGray: return grayColor_;
      default: return HueColor(static_cast<int32_t>(static_cast<double>(i) / n * 360));
    }
  };
  const auto entryAt = [n, w](int32_t x) { return std::min(static_cast<int32_t>(static_cast<double>(x) / w * n), n - 1); };
  const auto height = [m, h](uint32_t count) { return Nearest(static_cast<double>(count) / m * h); };

  if (style_ == hsBars) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t i = entryAt(x);
      for (THistogramKind channel : kChannels) {
        if (!(kind_ & channel)) continue;
        const uint32_t count = Count(histogram[i], channel);
        int32_t bh = height(count);
        if (count != 0 && bh == 0) bh = 1;
        canvas.Pen()->SetColor(penFor(channel, i));
        canvas.DrawLine(margin_ + x, h - 1, margin_ + x, h - bh - 1);
      }
    }
  } else {
    for (THistogramKind channel : kChannels) {
      if (!(kind_ & channel)) continue;
      canvas.Pen()->SetColor(penFor(channel, 0));
      canvas.MoveTo(margin_, h - 1);
      for (int32_t x = 0; x < w; ++x) {
        const int32_t i = entryAt(x);
        if (channel == hkHue) canvas.Pen()->SetColor(penFor(channel, i));
        canvas.LineTo(margin_ + x, h - height(Count(histogram[i], channel)));
      }
    }
  }
  Invalidate();
}

void THistogramBox::DrawColourBar(int32_t w, int32_t labelHeight, int32_t n) {
  const int32_t rows = std::min(labelHeight, drawing_->Height());
  const int32_t columns = std::min(w, drawing_->Width() - margin_);
  for (int32_t row = drawing_->Height() - rows; row < drawing_->Height(); ++row) {
    auto* line = static_cast<uint8_t*>(drawing_->ScanLine(row));
    for (int32_t v = 0; v < columns; ++v) {
      uint8_t* px = line + static_cast<size_t>(margin_ + v) * 3;  // blue, green, red
      px[0] = px[1] = px[2] = 0;
      const int32_t c = std::min(Nearest(static_cast<double>(v) / w * 256), 255);
      const auto byte = static_cast<uint8_t>(c);
      if (kind_ == hkHue) {
        TRGB rgb{};
        IEHSVToRGB(rgb, static_cast<int32_t>(static_cast<double>(c) / n * 360), 99, 50);
        px[0] = rgb.b, px[1] = rgb.g, px[2] = rgb.r;
        continue;
      }
      if (kind_ & (hkRed | hkGray)) px[2] = byte;
      if (kind_ & (hkGreen | hkGray)) px[1] = byte;
      if (kind_ & (hkBlue | hkGray)) px[0] = byte;
    }
  }
}

// ---- painting and messages -------------------------------------------------------------

void THistogramBox::Paint() {
  TCanvas* canvas = Canvas();
  canvas->Draw(0, 0, drawing_.get());
  if (mouseInteract_ == mhNone || pos1_ < margin_) return;
  if (mouseInteract_ == mhSelectValue) {
    canvas->Pen()->SetColor(selectionColor_);
    canvas->Pen()->SetStyle(psSolid);
    canvas->MoveTo(pos1_, 0);
    canvas->LineTo(pos1_, Height());
    return;
  }
  if (pos2_ < pos1_) {
    std::swap(pos1_, pos2_);
    std::swap(dragging1_, dragging2_);
  }
  canvas->Brush()->SetColor(selectionColor_);
  canvas->Brush()->SetStyle(bsSolid);
  canvas->FrameRect(RECT{pos1_, 0, pos2_ + 1, Height()});
}

void THistogramBox::WndProc(TMessage& message) {
  switch (message.Msg) {
    case WM_ERASEBKGND: message.Result = 0; return;
    case WM_SIZE:
      TCustomControl::WndProc(message);
      drawing_->SetSize(std::max(Width(), 1), std::max(Height(), 1));
      Update();
      return;
    default: TCustomControl::WndProc(message);
  }
}

// ---- mouse -----------------------------------------------------------------------------

void THistogramBox::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (!Interactive() || button != mbLeft || x < margin_) return;
  if (mouseInteract_ == mhSelectValue) {
    pos1_ = x;
    dragging1_ = true;
  } else if (std::abs(x - pos1_) < std::abs(x - pos2_)) {
    pos1_ = x;
    dragging1_ = true;
    if (pos2_ < margin_) pos2_ = margin_;
  } else {
    pos2_ = x;
    dragging2_ = true;
    if (pos1_ < margin_) pos1_ = margin_;
  }
  Invalidate();
}

void THistogramBox::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  if (!Interactive()) return;
  const int32_t clamped = std::clamp(x, margin_, std::max(Width() - 1, margin_));
  if (dragging1_) pos1_ = clamped;
  if (dragging2_) pos2_ = clamped;
  if (dragging1_ || dragging2_) {
    Invalidate();
    if (OnSelectionChanging) OnSelectionChanging(this);
  }
  const bool near = x >= margin_ - 1 && (std::abs(x - pos1_) <= 3 || std::abs(x - pos2_) <= 3);
  SetCursor(near ? crSizeWE : crDefault);
}

void THistogramBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  if (!Interactive() || !(dragging1_ || dragging2_)) return;
  dragging1_ = dragging2_ = false;
  Invalidate();
  if (OnSelectionChanging) OnSelectionChanging(this);
  if (OnSelectionChanged) OnSelectionChanged(this);
}
