// The drawing layer's copies that every paint pays, on full-HD frames,
// against pixman on the same pixels in alternating rounds of the same run
// (run it on one core).
//
// Copy: a 24-bit SRCCOPY BitBlt between DIB sections against pixman's SRC
// between r8g8b8 images (the same bytes); 24 to 32 bits beside it.
// Halftone: StretchBlt to half width in HALFTONE mode against pixman's
// bilinear filter at the same scale, on 24-bit and on 32-bit pixels.
// Region: a region built from 28,800 small squares and a copy clipped to it
// (ExtCreateRegion, SelectClipRgn, BitBlt) against pixman_region32_init_rects,
// a clip region on the destination and SRC.
#include <benchmark/benchmark.h>

#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/win/gdi.h"
#include "rounds.h"

namespace {

constexpr int kW = 1920, kH = 1080;

// Photo-like bytes: gradients and noise.
void FillPhoto(uint8_t* bytes, size_t size) {
  uint32_t random = 7;
  for (size_t i = 0; i < size; ++i) {
    random = random * 1664525u + 1013904223u;
    bytes[i] = static_cast<uint8_t>((i / 7 + (random >> 27)) & 0xFF);
  }
}

// A memory DC over a bottom-up DIB section, as the framework's bitmaps are.
struct Dib {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  uint8_t* bits = nullptr;
  Dib(int w, int h, int bpp) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biBitCount = static_cast<WORD>(bpp);
    void* p = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint8_t*>(p);
    FillPhoto(bits, static_cast<size_t>(((w * bpp + 31) / 32) * 4) * h);
    dc = CreateCompatibleDC(nullptr);
    SelectObject(dc, bitmap);
  }
  ~Dib() {
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
};

// A pixman image over its own photo-like pixels.
struct PixmanImage {
  std::vector<uint32_t> pixels;
  pixman_image_t* image = nullptr;
  PixmanImage(int w, int h, pixman_format_code_t format) {
    const int stride = format == PIXMAN_r8g8b8 ? ((w * 24 + 31) / 32) * 4 : w * 4;
    pixels.resize(static_cast<size_t>(stride / 4) * h);
    FillPhoto(reinterpret_cast<uint8_t*>(pixels.data()), pixels.size() * 4);
    image = pixman_image_create_bits(format, w, h, pixels.data(), stride);
  }
  ~PixmanImage() { pixman_image_unref(image); }
};

// Each benchmark runs ours and pixman's on the same frame size in
// alternating rounds, the images made before: "pixman_x" is pixman's
// time / ours per round (above 1 ours is faster).
void Against(benchmark::State& state, const std::function<void()>& ours, const std::function<void()>& pixman) {
  bench::Rounds(state, {{"ours", ours}, {"pixman", pixman}});
}

void Composite(const PixmanImage& src, const PixmanImage& dst, int w, int h) {
  pixman_image_composite32(PIXMAN_OP_SRC, src.image, nullptr, dst.image, 0, 0, 0, 0, 0, 0, w, h);
}

// Full-frame copies from 24 bits to `bpp` bits.
void Copy(benchmark::State& state, int bpp, pixman_format_code_t format) {
  Dib src(kW, kH, 24), dst(kW, kH, bpp);
  PixmanImage psrc(kW, kH, PIXMAN_r8g8b8), pdst(kW, kH, format);
  Against(
      state, [&] { BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY); }, [&] { Composite(psrc, pdst, kW, kH); });
}
void BM_Copy24(benchmark::State& state) { Copy(state, 24, PIXMAN_r8g8b8); }
void BM_Copy24To32(benchmark::State& state) { Copy(state, 32, PIXMAN_x8r8g8b8); }

// Halving the width: HALFTONE StretchBlt against pixman's bilinear filter.
void Halftone(benchmark::State& state, int bpp, pixman_format_code_t format) {
  Dib src(kW, kH, bpp), dst(kW / 2, kH, bpp);
  SetStretchBltMode(dst.dc, HALFTONE);
  PixmanImage psrc(kW, kH, format), pdst(kW / 2, kH, format);
  pixman_transform_t transform;
  pixman_transform_init_scale(&transform, pixman_int_to_fixed(2), pixman_int_to_fixed(1));
  pixman_image_set_transform(psrc.image, &transform);
  pixman_image_set_filter(psrc.image, PIXMAN_FILTER_BILINEAR, nullptr, 0);
  Against(
      state, [&] { StretchBlt(dst.dc, 0, 0, kW / 2, kH, src.dc, 0, 0, kW, kH, SRCCOPY); },
      [&] { Composite(psrc, pdst, kW / 2, kH); });
}
void BM_Halftone24(benchmark::State& state) { Halftone(state, 24, PIXMAN_r8g8b8); }
void BM_Halftone32(benchmark::State& state) { Halftone(state, 32, PIXMAN_x8r8g8b8); }

// 28,800 squares of 4 x 4 pixels on an 8 x 9 grid over the frame, listed
// from the bottom row up so that building has to sort them.
std::vector<RECT> Squares() {
  std::vector<RECT> rects;
  for (int row = 119; row >= 0; --row)
    for (int col = 0; col < 240; ++col) rects.push_back({col * 8, row * 9, col * 8 + 4, row * 9 + 4});
  return rects;
}

// The region built and a copy clipped to it, each round.
void BM_RegionCopy24(benchmark::State& state) {
  Dib src(kW, kH, 24), dst(kW, kH, 24);
  const std::vector<RECT> squares = Squares();
  std::vector<char> block(sizeof(RGNDATAHEADER) + squares.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(block.data());
  data->rdh = RGNDATAHEADER{};
  data->rdh.nCount = static_cast<DWORD>(squares.size());
  std::memcpy(block.data() + sizeof(RGNDATAHEADER), squares.data(), squares.size() * sizeof(RECT));
  PixmanImage psrc(kW, kH, PIXMAN_r8g8b8), pdst(kW, kH, PIXMAN_r8g8b8);
  std::vector<pixman_box32_t> boxes;
  for (const RECT& r : squares) boxes.push_back({r.left, r.top, r.right, r.bottom});
  Against(
      state,
      [&] {
        HRGN region = ExtCreateRegion(nullptr, static_cast<DWORD>(block.size()), data);
        SelectClipRgn(dst.dc, region);
        BitBlt(dst.dc, 0, 0, kW, kH, src.dc, 0, 0, SRCCOPY);
        SelectClipRgn(dst.dc, nullptr);
        DeleteObject(region);
      },
      [&] {
        pixman_region32_t region;
        pixman_region32_init_rects(&region, boxes.data(), static_cast<int>(boxes.size()));
        pixman_image_set_clip_region32(pdst.image, &region);
        Composite(psrc, pdst, kW, kH);
        pixman_image_set_clip_region32(pdst.image, nullptr);
        pixman_region32_fini(&region);
      });
}

}  // namespace

BENCHMARK(BM_Copy24)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy24To32)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Halftone24)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Halftone32)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegionCopy24)->Iterations(1)->Unit(benchmark::kMillisecond);
