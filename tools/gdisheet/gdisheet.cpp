// Draws each GDI and GDI+ primitive once, in a grid of labelled cells, and
// writes the sheet as a PNG (default "gdisheet.png").
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/win/fonts.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/gdiplus.h"
#include "platform/win/shlwapi.h"

namespace {

using namespace Gdiplus;

constexpr int kCellW = 240, kCellH = 150, kCols = 4, kRows = 6;
constexpr int kW = kCellW * kCols, kH = kCellH * kRows;

// A stream over a copy of the bytes, for loading a picture through GDI+.
ComPtr<IStream> BytesStream(const std::vector<uint8_t>& bytes) {
  return ComPtr<IStream>::Attach(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
}

HGDIOBJ Use(HDC dc, HGDIOBJ o) { return SelectObject(dc, o); }

HFONT Font(const char* face, int height, int weight = FW_NORMAL) {
  LOGFONTA lf{};
  lf.lfHeight = height;
  lf.lfWeight = weight;
  std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "%s", face);
  return CreateFontIndirect(&lf);
}

void Solid(HDC dc, COLORREF c) { DeleteObject(Use(dc, CreateSolidBrush(c))); }
void PenOf(HDC dc, int style, int width, COLORREF c) { DeleteObject(Use(dc, CreatePen(style, width, c))); }

// A small picture to blit from: a colour ramp with a black diagonal.
HBITMAP Ramp(int w, int h, uint32_t** bitsOut) {
  BITMAPINFO info{};
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bm = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      px[y * w + x] = x == y ? 0xFF000000u
                             : 0xFF000000u | static_cast<uint32_t>(x * 255 / w) << 16 |
                                   static_cast<uint32_t>(y * 255 / h) << 8 | 0x80;
  if (bitsOut) *bitsOut = px;
  return bm;
}

std::vector<uint8_t> PngBytes(int w, int h, const uint32_t* px) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = static_cast<png_uint_32>(w);
  img.height = static_cast<png_uint_32>(h);
  img.format = PNG_FORMAT_BGRA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&img, nullptr, &size, 0, px, w * 4, nullptr);
  std::vector<uint8_t> out(size);
  png_image_write_to_memory(&img, out.data(), &size, 0, px, w * 4, nullptr);
  return out;
}

using Cell = std::function<void(HDC, GpGraphics*)>;

struct Entry {
  const char* label;
  Cell draw;
};

const std::vector<Entry>& Cells() {
  static const std::vector<Entry> cells = {
      {"Rectangle, RoundRect",
       [](HDC dc, GpGraphics*) {
         Solid(dc, RGB(255, 200, 0));
         Rectangle(dc, 10, 10, 100, 80);
         PenOf(dc, PS_SOLID, 3, RGB(0, 0, 160));
         RoundRect(dc, 120, 10, 220, 80, 30, 30);
       }},
      {"Ellipse, Arc, Pie, Chord",
       [](HDC dc, GpGraphics*) {
         Solid(dc, RGB(120, 200, 255));
         Ellipse(dc, 10, 10, 60, 80);
         Arc(dc, 70, 10, 120, 80, 120, 45, 95, 10);
         Pie(dc, 125, 10, 175, 80, 175, 45, 150, 10);
         Chord(dc, 180, 10, 230, 80, 230, 45, 205, 10);
       }},
      {"Polygon ALTERNATE / WINDING",
       [](HDC dc, GpGraphics*) {
         Solid(dc, RGB(0, 160, 0));
         for (int i = 0; i < 2; ++i) {
           SetPolyFillMode(dc, i == 0 ? ALTERNATE : WINDING);
           int o = i * 110;
           const POINT star[] = {{o + 50, 5}, {o + 80, 90}, {o + 5, 35}, {o + 95, 35}, {o + 20, 90}};
           Polygon(dc, star, 5);
         }
       }},
      {"Pen styles, wide caps",
       [](HDC dc, GpGraphics*) {
         int y = 10;
         for (int style : {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT}) {
           PenOf(dc, style, 1, 0);
           MoveToEx(dc, 10, y, nullptr);
           LineTo(dc, 110, y);
           y += 12;
         }
         LOGBRUSH lb{BS_SOLID, RGB(200, 0, 0), 0};
         DeleteObject(Use(dc, ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &lb, 0, nullptr)));
         MoveToEx(dc, 10, y, nullptr);
         LineTo(dc, 110, y);
         int x = 130;
         for (DWORD cap : {PS_ENDCAP_ROUND, PS_ENDCAP_SQUARE, PS_ENDCAP_FLAT}) {
           DeleteObject(Use(dc, ExtCreatePen(PS_GEOMETRIC | cap | PS_JOIN_MITER, 9, &lb, 0, nullptr)));
           MoveToEx(dc, x, 20, nullptr);
           LineTo(dc, x + 10, 80);
           x += 30;
         }
       }},
      {"Hatch brushes",
       [](HDC dc, GpGraphics*) {
         SetBkColor(dc, RGB(255, 255, 200));
         for (int h = 0; h < 6; ++h) {
           HBRUSH b = CreateHatchBrush(h, RGB(0, 0, 200));
           RECT r{10 + h * 36, 10, 40 + h * 36, 90};
           FillRect(dc, &r, b);
           DeleteObject(b);
         }
       }},
      {"ROP2 XOR band drawn once",
       [](HDC dc, GpGraphics*) {
         TRIVERTEX v[2] = {{10, 10, 0xFF00, 0x8000, 0, 0}, {220, 90, 0, 0x4000, 0xFF00, 0}};
         GRADIENT_RECT g{0, 1};
         GradientFill(dc, v, 2, &g, 1, GRADIENT_FILL_RECT_H);
         SetROP2(dc, R2_XORPEN);
         PenOf(dc, PS_SOLID, 1, RGB(255, 255, 255));
         Use(dc, GetStockObject(NULL_BRUSH));
         Rectangle(dc, 40, 25, 190, 75);
         SetROP2(dc, R2_COPYPEN);
       }},
      {"BitBlt ROP codes",
       [](HDC dc, GpGraphics*) {
         HBITMAP ramp = Ramp(24, 24, nullptr);
         HDC src = CreateCompatibleDC(dc);
         HGDIOBJ old = SelectObject(src, ramp);
         Solid(dc, RGB(255, 0, 255));
         const DWORD rops[] = {SRCCOPY, SRCPAINT, SRCAND, SRCINVERT, SRCERASE, NOTSRCCOPY,
                               DSTINVERT, PATCOPY, PATINVERT, BLACKNESS, WHITENESS};
         int i = 0;
         for (DWORD rop : rops) {
           int x = 8 + (i % 6) * 38, y = 8 + (i / 6) * 44;
           RECT back{x, y, x + 24, y + 24};
           HBRUSH grey = CreateSolidBrush(RGB(90, 160, 90));
           FillRect(dc, &back, grey);
           DeleteObject(grey);
           BitBlt(dc, x, y, 24, 24, src, 0, 0, rop);
           ++i;
         }
         SelectObject(src, old);
         DeleteDC(src);
         DeleteObject(ramp);
       }},
      {"StretchBlt HALFTONE / COLORONCOLOR",
       [](HDC dc, GpGraphics*) {
         HBITMAP ramp = Ramp(64, 64, nullptr);
         HDC src = CreateCompatibleDC(dc);
         HGDIOBJ old = SelectObject(src, ramp);
         SetStretchBltMode(dc, HALFTONE);
         StretchBlt(dc, 10, 10, 40, 40, src, 0, 0, 64, 64, SRCCOPY);
         SetStretchBltMode(dc, COLORONCOLOR);
         StretchBlt(dc, 60, 10, 40, 40, src, 0, 0, 64, 64, SRCCOPY);
         StretchBlt(dc, 110, 10, 110, 80, src, 0, 0, 16, 16, SRCCOPY);
         StretchBlt(dc, 59, 90, -49, -30, src, 0, 0, 64, 64, SRCCOPY);  // mirrored both ways
         SelectObject(src, old);
         DeleteDC(src);
         DeleteObject(ramp);
       }},
      {"AlphaBlend, TransparentBlt",
       [](HDC dc, GpGraphics*) {
         Solid(dc, RGB(0, 0, 200));
         Rectangle(dc, 10, 10, 110, 90);
         HBITMAP ramp = Ramp(32, 32, nullptr);
         HDC src = CreateCompatibleDC(dc);
         HGDIOBJ old = SelectObject(src, ramp);
         AlphaBlend(dc, 30, 20, 64, 64, src, 0, 0, 32, 32, BLENDFUNCTION{AC_SRC_OVER, 0, 128, 0});
         TransparentBlt(dc, 130, 10, 90, 90, src, 0, 0, 32, 32, RGB(0, 0, 0));
         SelectObject(src, old);
         DeleteDC(src);
         DeleteObject(ramp);
       }},
      {"GradientFill H / V",
       [](HDC dc, GpGraphics*) {
         TRIVERTEX v[4] = {{10, 10, 0xFF00, 0, 0, 0}, {110, 90, 0, 0, 0xFF00, 0},
                           {120, 10, 0, 0xFF00, 0, 0}, {220, 90, 0xFF00, 0xFF00, 0xFF00, 0}};
         GRADIENT_RECT a{0, 1}, b{2, 3};
         GradientFill(dc, v, 4, &a, 1, GRADIENT_FILL_RECT_H);
         GradientFill(dc, v, 4, &b, 1, GRADIENT_FILL_RECT_V);
       }},
      {"Clip: ellipse minus rectangle",
       [](HDC dc, GpGraphics*) {
         SaveDC(dc);
         POINT org;
         GetViewportOrgEx(dc, &org);
         HRGN e = CreateEllipticRgn(org.x + 10, org.y + 5, org.x + 220, org.y + 100);
         SelectClipRgn(dc, e);
         DeleteObject(e);
         ExcludeClipRect(dc, 80, 30, 150, 70);
         Solid(dc, RGB(200, 80, 0));
         SelectObject(dc, GetStockObject(NULL_PEN));
         Rectangle(dc, 0, 0, 240, 110);
         RestoreDC(dc, -1);
       }},
      {"DrawEdge, DrawFrameControl",
       [](HDC dc, GpGraphics*) {
         RECT r{10, 10, 70, 50};
         DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_MIDDLE);
         r = {80, 10, 140, 50};
         DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_MIDDLE);
         r = {150, 10, 210, 50};
         DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
         RECT check{10, 60, 26, 76}, radio{40, 60, 56, 76}, push{70, 58, 130, 82}, up{140, 60, 157, 77},
             close{170, 60, 187, 77};
         DrawFrameControl(dc, &check, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_CHECKED);
         DrawFrameControl(dc, &radio, DFC_BUTTON, DFCS_BUTTONRADIO | DFCS_CHECKED);
         DrawFrameControl(dc, &push, DFC_BUTTON, DFCS_BUTTONPUSH);
         DrawFrameControl(dc, &up, DFC_SCROLL, DFCS_SCROLLUP);
         DrawFrameControl(dc, &close, DFC_CAPTION, DFCS_CAPTIONCLOSE);
         RECT focus{10, 86, 130, 100};
         DrawFocusRect(dc, &focus);
       }},
      {"DrawText: prefix, wrap, ellipses",
       [](HDC dc, GpGraphics*) {
         SetBkMode(dc, TRANSPARENT);
         RECT a{10, 5, 230, 25};
         DrawText(dc, "&File and &&more", &a, DT_SINGLELINE);
         RECT b{10, 25, 120, 80};
         FrameRect(dc, &b, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH)));
         DrawText(dc, "Words wrap inside this narrow box", &b, DT_WORDBREAK | DT_CENTER);
         RECT c{125, 25, 230, 45};
         DrawText(dc, "An end ellipsis is here", &c, DT_SINGLELINE | DT_END_ELLIPSIS);
         RECT d{125, 50, 230, 70};
         DrawText(dc, "/home/user/pictures/chart.tif", &d, DT_SINGLELINE | DT_PATH_ELLIPSIS);
         RECT e{125, 75, 230, 100};
         DrawText(dc, "right", &e, DT_SINGLELINE | DT_RIGHT | DT_VCENTER);
       }},
      {"ExtTextOut: opaque, offsets, rotated",
       [](HDC dc, GpGraphics*) {
         SetBkColor(dc, RGB(255, 255, 150));
         RECT r{10, 10, 120, 32};
         ExtTextOut(dc, 14, 12, ETO_OPAQUE | ETO_CLIPPED, &r, "Opaque clipped text", nullptr);
         const int dx[] = {14, 14, 14, 14, 14, 14};
         SetBkMode(dc, TRANSPARENT);
         ExtTextOut(dc, 10, 45, 0, nullptr, "spaced", dx);
         LOGFONTA lf{};
         lf.lfHeight = -14;
         lf.lfEscapement = 450;
         std::snprintf(lf.lfFaceName, sizeof lf.lfFaceName, "Times New Roman");
         HFONT f = CreateFontIndirect(&lf);
         HGDIOBJ old = SelectObject(dc, f);
         TextOut(dc, 140, 95, "Rotated 45");
         SelectObject(dc, old);
         DeleteObject(f);
       }},
      {"GDI+ aliased / anti-aliased",
       [](HDC, GpGraphics* g) {
         GpPen* pen = nullptr;
         GdipCreatePen1(0xFF000080u, 2, UnitPixel, &pen);
         GpSolidFill* fill = nullptr;
         GdipCreateSolidFill(0xC0FF8000u, &fill);
         for (int i = 0; i < 2; ++i) {
           GdipSetSmoothingMode(g, i == 0 ? SmoothingModeNone : SmoothingModeAntiAlias);
           GdipFillEllipse(g, fill, 10.0f + i * 110, 10, 90, 70);
           GdipDrawEllipse(g, pen, 10.0f + i * 110, 10, 90, 70);
           GdipDrawLine(g, pen, 10.0f + i * 110, 95, 100.0f + i * 110, 85);
         }
         GdipDeleteBrush(fill);
         GdipDeletePen(pen);
       }},
      {"GDI+ dashes, joins, arcs, curves",
       [](HDC, GpGraphics* g) {
         GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
         GpPen* pen = nullptr;
         GdipCreatePen1(0xFF000000u, 1, UnitPixel, &pen);
         for (int d = 0; d < 5; ++d) {
           GdipSetPenWidth(pen, d == 4 ? 3.0f : 1.0f);
           GdipSetPenDashStyle(pen, d);
           GdipDrawLine(g, pen, 10, 10.0f + d * 10, 110, 10.0f + d * 10);
         }
         GdipSetPenDashStyle(pen, DashStyleSolid);
         GdipSetPenWidth(pen, 6);
         GdipSetPenLineJoin(pen, LineJoinRound);
         const GpPoint zig[] = {{130, 60}, {150, 15}, {170, 60}, {190, 15}};
         GdipDrawLinesI(g, pen, zig, 4);
         GdipSetPenWidth(pen, 2);
         GdipSetPenColor(pen, 0xFFC00000u);
         GdipDrawArc(g, pen, 10, 60, 80, 40, 180, 180);
         GpPath* path = nullptr;
         GdipCreatePath(FillModeAlternate, &path);
         const GpPoint pts[] = {{110, 95}, {140, 70}, {170, 95}, {200, 70}, {230, 95}};
         GdipAddPathCurveI(path, pts, 5);
         GdipDrawPath(g, pen, path);
         GdipDeletePath(path);
         GdipDeletePen(pen);
       }},
      {"GDI+ linear and path gradients",
       [](HDC, GpGraphics* g) {
         GpRectF r{10, 10, 100, 40};
         GpLineGradient* line = nullptr;
         GdipCreateLineBrushFromRect(&r, 0xFFFF0000u, 0xFF0000FFu, LinearGradientModeHorizontal, WrapModeTile, &line);
         GdipFillRectangle(g, line, 10, 10, 100, 40);
         GdipDeleteBrush(line);
         GpRectF r2{10, 55, 100, 40};
         GdipCreateLineBrushFromRectWithAngle(&r2, 0xFFFFFF00u, 0xFF008000u, 45, FALSE, WrapModeTile, &line);
         GdipSetLineGammaCorrection(line, TRUE);
         GdipFillRectangle(g, line, 10, 55, 100, 40);
         GdipDeleteBrush(line);
         GpPath* path = nullptr;
         GdipCreatePath(FillModeAlternate, &path);
         GdipAddPathEllipse(path, 125, 10, 100, 85);
         GpPathGradient* pg = nullptr;
         GdipCreatePathGradientFromPath(path, &pg);
         GdipSetPathGradientCenterColor(pg, 0xFFFFFFFFu);
         ARGB colors[] = {0xFF000080u, 0xFF3060FFu, 0xFFFFFFFFu};
         REAL pos[] = {0, 0.6f, 1};
         GdipSetPathGradientPresetBlend(pg, colors, pos, 3);
         GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
         GdipFillPath(g, pg, path);
         GdipDeleteBrush(pg);
         GdipDeletePath(path);
       }},
      {"GDI+ hatches",
       [](HDC, GpGraphics* g) {
         const int styles[] = {HatchStyleHorizontal, HatchStyleVertical, HatchStyleForwardDiagonal,
                               HatchStyleBackwardDiagonal, HatchStyleCross, HatchStyleDiagonalCross,
                               HatchStyle05Percent, HatchStyle50Percent, HatchStyle90Percent};
         int i = 0;
         for (int s : styles) {
           GpHatch* h = nullptr;
           GdipCreateHatchBrush(s, 0xFF800000u, 0xFFFFF0D0u, &h);
           GdipFillRectangle(g, h, 10.0f + (i % 5) * 44, 10.0f + (i / 5) * 46, 38, 40);
           GdipDeleteBrush(h);
           ++i;
         }
       }},
      {"GDI+ DrawString in layouts",
       [](HDC, GpGraphics* g) {
         GpFontFamily* fam = nullptr;
         GdipCreateFontFamilyFromName(L"Segoe UI", nullptr, &fam);
         GpFont* font = nullptr;
         GdipCreateFont(fam, 10, FontStyleBold, UnitPoint, &font);
         GpSolidFill* ink = nullptr;
         GdipCreateSolidFill(0xFF202060u, &ink);
         GpPen* frame = nullptr;
         GdipCreatePen1(0xFFB0B0B0u, 1, UnitPixel, &frame);
         GpStringFormat* fmt = nullptr;
         GdipCreateStringFormat(0, 0, &fmt);
         GdipSetStringFormatAlign(fmt, StringAlignmentCenter);
         GdipSetStringFormatLineAlign(fmt, StringAlignmentCenter);
         GdipSetStringFormatHotkeyPrefix(fmt, HotkeyPrefixShow);
         GpRectF r{10, 10, 100, 80};
         GdipDrawRectangle(g, frame, r.X, r.Y, r.Width, r.Height);
         GdipDrawString(g, L"Centred &words that wrap", -1, font, &r, fmt, ink);
         GdipSetStringFormatTrimming(fmt, StringTrimmingEllipsisCharacter);
         GdipSetStringFormatAlign(fmt, StringAlignmentNear);
         GpRectF r2{120, 10, 110, 20};
         GdipDrawRectangle(g, frame, r2.X, r2.Y, r2.Width, r2.Height);
         GdipDrawString(g, L"Trimmed with an ellipsis", -1, font, &r2, fmt, ink);
         GpRectF bounds;
         GpRectF r3{120, 50, 0, 0};
         GdipMeasureString(g, L"Measured", -1, font, &r3, nullptr, &bounds, nullptr, nullptr);
         GdipDrawRectangle(g, frame, bounds.X, bounds.Y, bounds.Width, bounds.Height);
         GdipDrawString(g, L"Measured", -1, font, &r3, nullptr, ink);
         GdipDeleteStringFormat(fmt);
         GdipDeletePen(frame);
         GdipDeleteBrush(ink);
         GdipDeleteFont(font);
         GdipDeleteFontFamily(fam);
       }},
      {"GDI+ image scaled, colour key",
       [](HDC, GpGraphics* g) {
         uint32_t* px = nullptr;
         HBITMAP ramp = Ramp(16, 16, &px);
         ComPtr<IStream> stream = BytesStream(PngBytes(16, 16, px));
         DeleteObject(ramp);
         GpImage* img = nullptr;
         if (GdipLoadImageFromStream(stream.Get(), &img) != Ok) return;
         GdipDrawImageRect(g, img, 10, 10, 90, 90);
         GpImageAttributes* attrs = nullptr;
         GdipCreateImageAttributes(&attrs);
         GdipSetImageAttributesColorKeys(attrs, ColorAdjustTypeBitmap, TRUE, 0xFF000000u, 0xFF101010u);
         GdipDrawImageRectRect(g, img, 120, 10, 90, 90, 0, 0, 16, 16, UnitPixel, attrs, nullptr, nullptr);
         GdipDisposeImageAttributes(attrs);
         GdipDisposeImage(img);
       }},
      {"Texture brush, compositing copy",
       [](HDC, GpGraphics* g) {
         uint32_t* px = nullptr;
         HBITMAP ramp = Ramp(8, 8, &px);
         ComPtr<IStream> stream = BytesStream(PngBytes(8, 8, px));
         DeleteObject(ramp);
         GpImage* img = nullptr;
         if (GdipLoadImageFromStream(stream.Get(), &img) != Ok) return;
         GpTexture* tex = nullptr;
         GdipCreateTexture(img, WrapModeTile, &tex);
         GdipFillEllipse(g, tex, 10, 10, 100, 80);
         GdipDeleteBrush(tex);
         GdipDisposeImage(img);
         GpSolidFill* glass = nullptr;
         GdipCreateSolidFill(0x600000FFu, &glass);
         GdipFillRectangle(g, glass, 120, 10, 50, 80);
         GdipSetCompositingMode(g, CompositingModeSourceCopy);
         GdipFillRectangle(g, glass, 175, 10, 50, 80);
         GdipDeleteBrush(glass);
       }},
      {"Fonts of the substitution table",
       [](HDC dc, GpGraphics*) {
         SetBkMode(dc, TRANSPARENT);
         int y = 2;
         for (const char* face : {"MS Sans Serif", "Tahoma", "Segoe UI", "Times New Roman", "Courier New"}) {
           HFONT f = Font(face, -12);
           HGDIOBJ old = SelectObject(dc, f);
           TextOut(dc, 10, y, std::string(face) + " -> " + ResolveFontFamily(face));
           SelectObject(dc, old);
           DeleteObject(f);
           y += 19;
         }
       }},
  };
  return cells;
}

bool WritePng(const char* path, const uint32_t* px) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = kW;
  img.height = kH;
  img.format = PNG_FORMAT_BGRA;
  return png_image_write_to_file(&img, path, 0, px, kW * 4, nullptr) != 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* out = argc > 1 ? argv[1] : "gdisheet.png";
  GdiplusStartupInput in;
  ULONG_PTR token = 0;
  GdiplusStartup(&token, &in, nullptr);

  BITMAPINFO info{};
  info.bmiHeader.biWidth = kW;
  info.bmiHeader.biHeight = -kH;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP sheet = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, sheet);
  RECT all{0, 0, kW, kH};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  HFONT label = Font("Segoe UI", -11, FW_BOLD);

  int i = 0;
  for (const Entry& e : Cells()) {
    int x = (i % kCols) * kCellW, y = (i / kCols) * kCellH;
    SaveDC(dc);
    HGDIOBJ f = SelectObject(dc, label);
    SetTextColor(dc, RGB(80, 80, 80));
    SetBkMode(dc, TRANSPARENT);
    TextOut(dc, x + 6, y + 4, e.label);
    SelectObject(dc, f);
    SetBkMode(dc, OPAQUE);
    SetTextColor(dc, 0);
    IntersectClipRect(dc, x + 1, y + 22, x + kCellW - 1, y + kCellH - 1);
    SetViewportOrgEx(dc, x + 2, y + 28, nullptr);
    GpGraphics* g = nullptr;
    GdipCreateFromHDC(dc, &g);
    e.draw(dc, g);
    GdipDeleteGraphics(g);
    RestoreDC(dc, -1);
    RECT frame{x, y, x + kCellW + 1, y + kCellH + 1};
    FrameRect(dc, &frame, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    ++i;
  }
  bool ok = WritePng(out, static_cast<const uint32_t*>(bits));
  SelectObject(dc, old);
  DeleteObject(label);
  DeleteDC(dc);
  DeleteObject(sheet);
  GdiplusShutdown(token);
  if (!ok) {
    std::fprintf(stderr, "gdisheet: cannot write %s\n", out);
    return 1;
  }
  std::printf("%s\n", out);
  return 0;
}
