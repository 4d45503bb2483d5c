// OLE picture loading decodes a stream into an IPicture that reports its
// HIMETRIC size and renders upright; MulDiv rounds half away from zero.
#include <gtest/gtest.h>

#include <vector>

#include "platform/win/com.h"
#include "platform/win/olepicture.h"
#include "tests/platform/win/com_stream_support.h"
#include "tests/platform/win/gdi_test_canvas.h"

namespace {

// A 24-bit BMP of 2 x 2 pixels: the top row red, the bottom row blue.
std::vector<uint8_t> TwoRowBmp() {
  std::vector<uint8_t> b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0,
                            1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const uint8_t rows[] = {255, 0, 0, 255, 0, 0, 0, 0,   // bottom row (BGR): blue
                          0, 0, 255, 0, 0, 255, 0, 0};  // top row: red
  b.insert(b.end(), rows, rows + sizeof rows);
  return b;
}

}  // namespace

TEST(MulDiv, RoundsHalfAwayFromZeroAndAnswersMinusOneForZero) {
  EXPECT_EQ(MulDiv(10, 96, 2540), 0);
  EXPECT_EQ(MulDiv(2540, 96, 2540), 96);
  EXPECT_EQ(MulDiv(3, 1, 2), 2);
  EXPECT_EQ(MulDiv(-3, 1, 2), -2);
  EXPECT_EQ(MulDiv(3, -1, 2), -2);
  EXPECT_EQ(MulDiv(0x40000000, 4, 2), -1);  // does not fit in 32 bits
  EXPECT_EQ(MulDiv(5, 5, 0), -1);
}

TEST(OleLoadPicture, DecodesAndRendersUpright) {
  ComPtr<IStream> stream = StreamOf(TwoRowBmp());
  IPicture* picture = nullptr;
  ASSERT_EQ(OleLoadPicture(stream.Get(), 0, FALSE, IID_IPicture, reinterpret_cast<void**>(&picture)), S_OK);
  ComPtr<IPicture> held = ComPtr<IPicture>::Attach(picture);
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC h = 0;
  held->get_Width(&w);
  held->get_Height(&h);
  EXPECT_EQ(w, MulDiv(2, 2540, 96));
  EXPECT_EQ(h, MulDiv(2, 2540, 96));

  // From the bottom-left corner with a negative height, and with the source flipped: upright both times.
  for (bool bottomUp : {true, false}) {
    TestCanvas canvas(20, 20);
    if (bottomUp) held->Render(canvas.dc, 0, 20, 20, -20, 0, 0, w, h, nullptr);
    else held->Render(canvas.dc, 0, 0, 20, 20, 0, h, w, -h, nullptr);
    EXPECT_EQ(canvas.At(10, 2), kRed);
    EXPECT_EQ(canvas.At(10, 17), kBlue);
  }
}

TEST(OleLoadPicture, RefusesDataThatIsNoPicture) {
  std::vector<uint8_t> junk(100, 'x');
  ComPtr<IStream> stream = StreamOf(junk);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(OleLoadPicture(stream.Get(), 100, FALSE, IID_IPicture, &object), CTL_E_INVALIDPICTURE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(OleLoadPicture(stream.Get(), 0, FALSE, IID_IStream, &object), E_NOINTERFACE);
  // Only the given size is read: a picture's first bytes are not enough.
  ComPtr<IStream> bmp = StreamOf(TwoRowBmp());
  EXPECT_EQ(OleLoadPicture(bmp.Get(), 10, FALSE, IID_IPicture, &object), CTL_E_INVALIDPICTURE);
}
