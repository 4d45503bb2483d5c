// TIEMask drawing: the inverted fill, the animated outline and the marked
// outside, all from a copy of the mask stretched to the display size.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/core/ruduvazez_mask.h"
#include "platform/forms/graphics.h"

namespace {

constexpr int64_t kOne = 16384;  // 1.0 in the 14-bit fixed point of the display steps
const uint8_t kMarkGrey = 97;

bool BitAt(const uint8_t* row, int64_t x) { return (row[x >> 3] & (0x80 >> (x & 7))) != 0; }

}  // namespace

TIEMask::TIEMask() {
  dibInfo_.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  dibInfo_.bmiHeader.biPlanes = 1;
  dibInfo_.bmiHeader.biBitCount = 1;
  dibInfo_.bmiHeader.biCompression = BI_RGB;
  dibInfo_.bmiColors[1] = RGBQUAD{255, 255, 255, 0};
}

TIEMask::~TIEMask() {
  delete dotBitmap_;
  FreeBits();
}

TIEMask::TStretch TIEMask::Stretch(int32_t dstWidth, int32_t dstHeight, int32_t srcX, int32_t srcY,
                                   int32_t srcWidth, int32_t srcHeight) {
  if (dstWidth != stretchWidth_ || dstHeight != stretchHeight_) {
    stretchRowLen_ = IEBitmapRowLen(dstWidth, BitsPerPixel, 32);
    stretchBits_.assign(static_cast<size_t>(stretchRowLen_ * dstHeight), 0);
    stretchRows_.resize(static_cast<size_t>(dstHeight));
    for (int32_t y = 0; y < dstHeight; ++y)
      stretchRows_[y] = stretchBits_.data() + int64_t{dstHeight - 1 - y} * stretchRowLen_;
    stretchWidth_ = dstWidth;
    stretchHeight_ = dstHeight;
  }
  std::fill(stretchBits_.begin(), stretchBits_.end(), 0);
  TStretch s;
  // A source smaller than a display pixel still advances.
  s.xStep = std::max<int64_t>(static_cast<int64_t>(static_cast<double>(srcWidth) / dstWidth * kOne), 1);
  s.yStep = std::max<int64_t>(static_cast<int64_t>(static_cast<double>(srcHeight) / dstHeight * kOne), 1);
  s.x1 = static_cast<int32_t>(std::max<int64_t>(0, (int64_t{X1} - srcX) * kOne / s.xStep));
  s.y1 = static_cast<int32_t>(std::max<int64_t>(0, (int64_t{Y1} - srcY) * kOne / s.yStep));
  s.x2 = static_cast<int32_t>(std::min<int64_t>((int64_t{X2} - srcX + 1) * kOne / s.xStep + 1, dstWidth - 1));
  s.y2 = static_cast<int32_t>(std::min<int64_t>((int64_t{Y2} - srcY + 1) * kOne / s.yStep + 1, dstHeight - 1));
  for (int32_t y = s.y1; y <= s.y2; ++y) {
    const int64_t sy = srcY + s.yStep * y / kOne;
    if (sy < 0 || sy >= Height) continue;
    const uint8_t* from = GetScanline(static_cast<int32_t>(sy));
    uint8_t* to = stretchRows_[y];
    for (int32_t x = s.x1; x <= s.x2; ++x) {
      const int64_t sx = srcX + s.xStep * x / kOne;
      if (sx < 0 || sx >= Width) continue;
      if (BitsPerPixel == 8)
        to[x] = from[sx];
      else if (BitAt(from, sx))
        to[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
    }
  }
  return s;
}

bool TIEMask::StretchedPixel(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= stretchWidth_ || y >= stretchHeight_) return false;
  const uint8_t* row = stretchRows_[y];
  return BitsPerPixel == 8 ? row[x] != 0 : BitAt(row, x);
}

void TIEMask::DrawFilled(TCanvas* canvas, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight,
                         int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight) {
  if (!canvas || BitsPerPixel != 1 || IsEmpty()) return;
  EnsureBits();
  if (bits_.empty()) return;
  dibInfo_.bmiHeader.biWidth = Width;
  dibInfo_.bmiHeader.biHeight = Height;
  StretchDIBits(canvas->Handle(), dstX, dstY, dstWidth, dstHeight, srcX, Height - srcHeight - srcY, srcWidth,
                srcHeight, bits_.data(), dibInfo_.Get(), DIB_RGB_COLORS, SRCINVERT);
}

void TIEMask::DrawOutline(TCanvas* canvas, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight,
                          int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t phase,
                          TIEColor color1, TIEColor color2, RECT* outRect) {
  if (!canvas || dstWidth < 1 || dstHeight < 1 || IsEmpty() || !ValidDepth()) return;
  EnsureBits();
  if (bits_.empty()) return;
  TRGB c1, c2;
  IEColorToRGB(color1, c1);
  IEColorToRGB(color2, c2);
  const TStretch s = Stretch(dstWidth, dstHeight, srcX, srcY, srcWidth, srcHeight);
  if (outRect) *outRect = RECT{s.x1 + dstX + 1, s.y1 + dstY + 1, s.x2 + dstX - 1, s.y2 + dstY - 1};
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetMode(pmCopy);
  if (!dotBitmap_) {
    dotBitmap_ = new TBitmap();
    dotBitmap_->SetPixelFormat(pf24bit);
    dotBitmap_->SetSize(1, 1);
  }
  auto* dot = static_cast<uint8_t*>(dotBitmap_->ScanLine(0));
  auto onOutline = [&](int32_t x, int32_t y) {
    const int64_t sx = srcX + s.xStep * x / kOne, sy = srcY + s.yStep * y / kOne;
    if (x == 0 && sx <= X1) return true;
    if (x == dstWidth - 1 && (sx >= X2 || srcWidth == Width)) return true;
    if (y == 0 && sy <= Y1) return true;
    if (y == dstHeight - 1 && (sy >= Y2 || srcHeight == Height)) return true;
    if (x == 0 || y == 0 || x == dstWidth - 1 || y == dstHeight - 1) return false;
    for (int32_t ny = y - 1; ny <= y + 1; ++ny)
      for (int32_t nx = x - 1; nx <= x + 1; ++nx)
        if (!StretchedPixel(nx, ny)) return true;
    return false;
  };
  for (int32_t y = s.y1; y <= s.y2; ++y) {
    for (int32_t x = s.x1; x <= s.x2; ++x) {
      if (!StretchedPixel(x, y) || !onOutline(x, y)) continue;
      const TRGB& c = ((x + dstX + y + dstY + phase) & 4) != 0 ? c1 : c2;
      std::memcpy(dot, &c, 3);
      canvas->Draw(dstX + x, dstY + y, dotBitmap_);
    }
  }
}

void TIEMask::DrawMarkOuter(TBitmap* bitmap, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight,
                            int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, TIEColor color,
                            int32_t alpha) {
  if (!bitmap || bitmap->PixelFormat() != pf24bit || dstWidth < 1 || dstHeight < 1 || IsEmpty() || !ValidDepth())
    return;
  EnsureBits();
  if (bits_.empty()) return;
  // What lies left of or above the bitmap is dropped from the source too.
  if (dstX < 0) {
    const auto cut = static_cast<int32_t>(std::lround(static_cast<double>(-dstX) * srcWidth / dstWidth));
    srcX += cut;
    srcWidth -= cut;
    dstWidth += dstX;
    dstX = 0;
  }
  if (dstY < 0) {
    const auto cut = static_cast<int32_t>(std::lround(static_cast<double>(-dstY) * srcHeight / dstHeight));
    srcY += cut;
    srcHeight -= cut;
    dstHeight += dstY;
    dstY = 0;
  }
  if (dstWidth < 1 || dstHeight < 1 || srcWidth < 1 || srcHeight < 1) return;
  TRGB c;
  IEColorToRGB(color, c);
  Stretch(dstWidth, dstHeight, srcX, srcY, srcWidth, srcHeight);
  const int32_t width = std::min(dstWidth, bitmap->Width() - dstX);
  const int32_t height = std::min(dstHeight, bitmap->Height() - dstY);
  const double a = alpha / 255.0;
  auto mix = [a](uint8_t colour, uint8_t pixel) { return static_cast<uint8_t>(a * colour + (1 - a) * pixel); };
  for (int32_t y = 0; y < height; ++y) {
    auto* row = static_cast<TRGB*>(bitmap->ScanLine(dstY + y)) + dstX;
    for (int32_t x = 0; x < width; ++x) {
      if (StretchedPixel(x, y)) continue;
      if (alpha == -1) {
        if ((x + y) % 2 == 0) row[x] = TRGB{kMarkGrey, kMarkGrey, kMarkGrey};
      } else {
        row[x] = TRGB{mix(c.b, row[x].b), mix(c.g, row[x].g), mix(c.r, row[x].r)};
      }
    }
  }
}
