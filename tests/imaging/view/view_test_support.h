// What the image view tests share: a view on a headless form, images made
// pixel by pixel, and probes of the painted window.
#pragma once

#include <cstdint>
#include <functional>

#include "imaging/view/imageryview.h"
#include "platform/win/user_paint.h"
#include "tests/platform/forms/forms_test_support.h"

class ViewTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    form = MakeForm(420, 340);
    view = Add<TImageryView>(form, "View", {10, 10, 210, 160});
    view->SetBorderStyle(bsNone);
    form->Show();
    Pump();
  }

  // The view's current bitmap becomes width x height ie24RGB pixels from colour(x, y).
  void MakeImage(int32_t width, int32_t height, const std::function<TRGB(int32_t, int32_t)>& colour) {
    TIEBitmap* bitmap = view->GetIEBitmap();
    bitmap->Allocate(width, height, ie24RGB);
    for (int32_t y = 0; y < height; ++y)
      for (int32_t x = 0; x < width; ++x) bitmap->SetPixel24(x, y, colour(x, y));
    view->Update();
  }

  // Paints what is invalid and answers the colour at a client point of the view.
  COLORREF Probe(int32_t x, int32_t y) {
    view->PaintNow();
    HDC dc = GetDC(view->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(view->Handle(), dc);
    return c;
  }

  static COLORREF Ref(TRGB c) { return RGB(c.r, c.g, c.b); }

  TForm* form = nullptr;
  TImageryView* view = nullptr;
};
