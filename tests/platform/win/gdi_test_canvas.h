// A memory DC over a 32-bit top-down DIB section for drawing tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/win/gdi.h"

struct TestCanvas {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ old = nullptr;
  uint32_t* bits = nullptr;
  int width = 0;
  int height = 0;

  TestCanvas(int w, int h, COLORREF fill = RGB(255, 255, 255)) : width(w), height(h) {
    BITMAPINFO info{};
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, bitmap);
    Fill(fill);
  }
  ~TestCanvas() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(bitmap);
  }
  TestCanvas(const TestCanvas&) = delete;
  TestCanvas& operator=(const TestCanvas&) = delete;

  void Fill(COLORREF c) {
    uint32_t p = 0xFF000000u | (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
    for (int i = 0; i < width * height; ++i) bits[i] = p;
  }
  COLORREF At(int x, int y) const {
    uint32_t p = bits[y * width + x];
    return RGB(static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
  }
  std::vector<uint32_t> Snapshot() const { return std::vector<uint32_t>(bits, bits + width * height); }
  // Number of pixels of colour `c`.
  int Count(COLORREF c) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += At(x, y) == c;
    return n;
  }
};

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
