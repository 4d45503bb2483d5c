// The GDI+ flat API over cairo: graphics on device contexts, pens, brushes
// (solid, hatch, linear and path gradients, textures), paths, regions,
// fonts and string formats, images loaded from streams.
//
// Coordinates follow GDI+: an integer coordinate is a pixel's centre, so a
// 1-pixel line at y = 5 covers row 5 exactly. Text uses the same fonts and
// metrics as GDI (fonts.h), so both measure a string alike. Strings are
// wide (wchar_t) as the flat API takes them.
#pragma once

#include <cstdint>

#include "platform/rtl/dynlib.h"
#include "platform/win/unknwn.h"
#include "platform/win/wintypes.h"

using REAL = float;
using ARGB = uint32_t;
using WCHAR = wchar_t;
using GraphicsState = UINT;

// Status codes, in a namespace of their own as GDI+ publishes them (Ok,
// InvalidParameter... are common words).
namespace Gdiplus {
enum Status : int32_t {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  ObjectBusy = 4,
  InsufficientBuffer = 5,
  NotImplemented = 6,
  Win32Error = 7,
  WrongState = 8,
  Aborted = 9,
  FileNotFound = 10,
  ValueOverflow = 11,
  AccessDenied = 12,
  UnknownImageFormat = 13,
  FontFamilyNotFound = 14,
  FontStyleNotFound = 15,
  NotTrueTypeFont = 16,
  UnsupportedGdiplusVersion = 17,
  GdiplusNotInitialized = 18,
  PropertyNotFound = 19,
  PropertyNotSupported = 20,
};
}  // namespace Gdiplus
using GpStatus = Gdiplus::Status;

struct GpPointF {
  REAL X = 0, Y = 0;
};
struct GpPoint {
  int32_t X = 0, Y = 0;
};
struct GpRectF {
  REAL X = 0, Y = 0, Width = 0, Height = 0;
};

// Enumerations, values as GDI+ publishes them.
constexpr int SmoothingModeDefault = 0, SmoothingModeHighSpeed = 1, SmoothingModeHighQuality = 2,
              SmoothingModeNone = 3, SmoothingModeAntiAlias = 4, SmoothingModeAntiAlias8x8 = 5;
constexpr int CompositingModeSourceOver = 0, CompositingModeSourceCopy = 1;
constexpr int TextRenderingHintSystemDefault = 0, TextRenderingHintSingleBitPerPixelGridFit = 1,
              TextRenderingHintSingleBitPerPixel = 2, TextRenderingHintAntiAliasGridFit = 3,
              TextRenderingHintAntiAlias = 4, TextRenderingHintClearTypeGridFit = 5;
constexpr int UnitWorld = 0, UnitDisplay = 1, UnitPixel = 2, UnitPoint = 3, UnitInch = 4, UnitDocument = 5,
              UnitMillimeter = 6;
constexpr int DashStyleSolid = 0, DashStyleDash = 1, DashStyleDot = 2, DashStyleDashDot = 3,
              DashStyleDashDotDot = 4, DashStyleCustom = 5;
constexpr int LineCapFlat = 0, LineCapSquare = 1, LineCapRound = 2, LineCapTriangle = 3;
constexpr int LineJoinMiter = 0, LineJoinBevel = 1, LineJoinRound = 2, LineJoinMiterClipped = 3;
constexpr int HatchStyleHorizontal = 0, HatchStyleVertical = 1, HatchStyleForwardDiagonal = 2,
              HatchStyleBackwardDiagonal = 3, HatchStyleCross = 4, HatchStyleDiagonalCross = 5,
              HatchStyle05Percent = 6, HatchStyle50Percent = 12, HatchStyle90Percent = 17, HatchStyleMax = 52;
constexpr int WrapModeTile = 0, WrapModeTileFlipX = 1, WrapModeTileFlipY = 2, WrapModeTileFlipXY = 3,
              WrapModeClamp = 4;
constexpr int LinearGradientModeHorizontal = 0, LinearGradientModeVertical = 1,
              LinearGradientModeForwardDiagonal = 2, LinearGradientModeBackwardDiagonal = 3;
constexpr int FillModeAlternate = 0, FillModeWinding = 1;
constexpr int CombineModeReplace = 0, CombineModeIntersect = 1, CombineModeUnion = 2, CombineModeXor = 3,
              CombineModeExclude = 4, CombineModeComplement = 5;
constexpr int MatrixOrderPrepend = 0, MatrixOrderAppend = 1;
constexpr int StringAlignmentNear = 0, StringAlignmentCenter = 1, StringAlignmentFar = 2;
constexpr int StringTrimmingNone = 0, StringTrimmingCharacter = 1, StringTrimmingWord = 2,
              StringTrimmingEllipsisCharacter = 3, StringTrimmingEllipsisWord = 4, StringTrimmingEllipsisPath = 5;
constexpr int HotkeyPrefixNone = 0, HotkeyPrefixShow = 1, HotkeyPrefixHide = 2;
constexpr int StringFormatFlagsNoWrap = 0x1000, StringFormatFlagsNoClip = 0x4000,
              StringFormatFlagsLineLimit = 0x2000;
constexpr int FontStyleRegular = 0, FontStyleBold = 1, FontStyleItalic = 2, FontStyleUnderline = 4,
              FontStyleStrikeout = 8;
constexpr int ColorAdjustTypeDefault = 0, ColorAdjustTypeBitmap = 1;

using PixelFormat = int32_t;
constexpr PixelFormat PixelFormat1bppIndexed = 0x00030101, PixelFormat4bppIndexed = 0x00030402,
                      PixelFormat8bppIndexed = 0x00030803, PixelFormat16bppRGB555 = 0x00021005,
                      PixelFormat24bppRGB = 0x00021808, PixelFormat32bppRGB = 0x00022009,
                      PixelFormat32bppARGB = 0x0026200A;

// Raw image formats (GdipGetImageRawFormat).
inline constexpr GUID ImageFormatMemoryBMP{0xb96b3caa, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatBMP{0xb96b3cab, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatEMF{0xb96b3cac, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatWMF{0xb96b3cad, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatJPEG{0xb96b3cae, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatPNG{0xb96b3caf, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatGIF{0xb96b3cb0, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatTIFF{0xb96b3cb1, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatEXIF{0xb96b3cb2, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};
inline constexpr GUID ImageFormatIcon{0xb96b3cb5, 0x0728, 0x11d3, {0x9d, 0x7b, 0, 0, 0xf8, 0x1e, 0xf3, 0x2e}};

// Opaque objects. Every kind of brush is a GpBrush and a bitmap is an
// image, so they pass where the flat API takes the general type.
struct GpGraphics;
struct GpPen;
struct GpBrush;
using GpSolidFill = GpBrush;
using GpHatch = GpBrush;
using GpLineGradient = GpBrush;
using GpPathGradient = GpBrush;
using GpTexture = GpBrush;
struct GpPath;
struct GpRegion;
struct GpFontFamily;
struct GpFont;
struct GpFontCollection;
struct GpStringFormat;
struct GpImage;
using GpBitmap = GpImage;
struct GpImageAttributes;
using DrawImageAbort = BOOL (*)(void*);

struct GdiplusStartupInput {
  UINT GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
struct GdiplusStartupOutput {
  void* NotificationHook = nullptr;
  void* NotificationUnhook = nullptr;
};

// What the built-in "gdiplus.dll" exports to callers that bind it by name
// (tests that put a stand-in library in its place restore it with this).
TLibraryExports GdiplusExports();

// Start-up is counted; GdipAlloc answers null while GDI+ is not started.
GpStatus GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);
void* GdipAlloc(size_t size);
void GdipFree(void* block);

// Graphics.
GpStatus GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus GdipCreateFromHDC2(HDC dc, HANDLE device, GpGraphics** graphics);
GpStatus GdipDeleteGraphics(GpGraphics* graphics);
GpStatus GdipGetDC(GpGraphics* graphics, HDC* dc);
GpStatus GdipReleaseDC(GpGraphics* graphics, HDC dc);
GpStatus GdipSetSmoothingMode(GpGraphics* graphics, int mode);
GpStatus GdipGetSmoothingMode(GpGraphics* graphics, int* mode);
GpStatus GdipSetCompositingMode(GpGraphics* graphics, int mode);
GpStatus GdipSetCompositingQuality(GpGraphics* graphics, int quality);
GpStatus GdipSetTextRenderingHint(GpGraphics* graphics, int hint);
GpStatus GdipResetWorldTransform(GpGraphics* graphics);
GpStatus GdipTranslateWorldTransform(GpGraphics* graphics, REAL dx, REAL dy, int order);
GpStatus GdipSetClipRegion(GpGraphics* graphics, GpRegion* region, int combineMode);
GpStatus GdipResetClip(GpGraphics* graphics);

// Pens.
GpStatus GdipCreatePen1(ARGB color, REAL width, int unit, GpPen** pen);
inline GpStatus GdipCreatePen(ARGB color, REAL width, int unit, GpPen** pen) {
  return GdipCreatePen1(color, width, unit, pen);
}
GpStatus GdipDeletePen(GpPen* pen);
GpStatus GdipSetPenColor(GpPen* pen, ARGB color);
GpStatus GdipSetPenWidth(GpPen* pen, REAL width);
GpStatus GdipSetPenDashStyle(GpPen* pen, int style);
GpStatus GdipSetPenEndCap(GpPen* pen, int cap);
GpStatus GdipSetPenLineJoin(GpPen* pen, int join);

// Brushes.
GpStatus GdipCreateSolidFill(ARGB color, GpSolidFill** brush);
GpStatus GdipCreateHatchBrush(int style, ARGB fore, ARGB back, GpHatch** brush);
GpStatus GdipCreateLineBrush(const GpPointF* p1, const GpPointF* p2, ARGB c1, ARGB c2, int wrap,
                             GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRect(const GpRectF* rect, ARGB c1, ARGB c2, int mode, int wrap,
                                     GpLineGradient** brush);
GpStatus GdipCreateLineBrushFromRectWithAngle(const GpRectF* rect, ARGB c1, ARGB c2, REAL angle, BOOL scalable,
                                              int wrap, GpLineGradient** brush);
GpStatus GdipSetLineGammaCorrection(GpLineGradient* brush, BOOL gamma);
GpStatus GdipCreatePathGradientFromPath(const GpPath* path, GpPathGradient** brush);
GpStatus GdipSetPathGradientCenterColor(GpPathGradient* brush, ARGB color);
GpStatus GdipSetPathGradientCenterPoint(GpPathGradient* brush, const GpPointF* point);
GpStatus GdipSetPathGradientSurroundColorsWithCount(GpPathGradient* brush, const ARGB* colors, int* count);
GpStatus GdipSetPathGradientPresetBlend(GpPathGradient* brush, const ARGB* colors, const REAL* positions,
                                        int count);
GpStatus GdipSetPathGradientWrapMode(GpPathGradient* brush, int wrap);
GpStatus GdipGetPathGradientPointCount(GpPathGradient* brush, int* count);
GpStatus GdipCreateTexture(GpImage* image, int wrap, GpTexture** brush);
GpStatus GdipDeleteBrush(GpBrush* brush);

// Paths and regions.
GpStatus GdipCreatePath(int fillMode, GpPath** path);
GpStatus GdipDeletePath(GpPath* path);
GpStatus GdipAddPathLine(GpPath* path, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipAddPathArc(GpPath* path, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep);
GpStatus GdipAddPathCurveI(GpPath* path, const GpPoint* points, int count);
GpStatus GdipAddPathEllipse(GpPath* path, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipAddPathPolygonI(GpPath* path, const GpPoint* points, int count);
GpStatus GdipClosePathFigure(GpPath* path);
GpStatus GdipGetPointCount(GpPath* path, int* count);
GpStatus GdipCreateRegionPath(GpPath* path, GpRegion** region);
GpStatus GdipDeleteRegion(GpRegion* region);

// Drawing.
GpStatus GdipDrawLine(GpGraphics* g, GpPen* pen, REAL x1, REAL y1, REAL x2, REAL y2);
GpStatus GdipDrawLineI(GpGraphics* g, GpPen* pen, int x1, int y1, int x2, int y2);
GpStatus GdipDrawLinesI(GpGraphics* g, GpPen* pen, const GpPoint* points, int count);
GpStatus GdipDrawArc(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height, REAL start, REAL sweep);
GpStatus GdipDrawEllipse(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawRectangle(GpGraphics* g, GpPen* pen, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawPolygonI(GpGraphics* g, GpPen* pen, const GpPoint* points, int count);
GpStatus GdipDrawPath(GpGraphics* g, GpPen* pen, GpPath* path);
GpStatus GdipFillRectangle(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillEllipse(GpGraphics* g, GpBrush* brush, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipFillPolygonI(GpGraphics* g, GpBrush* brush, const GpPoint* points, int count, int fillMode);
GpStatus GdipFillPath(GpGraphics* g, GpBrush* brush, GpPath* path);

// Text.
GpStatus GdipCreateFontFamilyFromName(const WCHAR* name, GpFontCollection* collection, GpFontFamily** family);
GpStatus GdipDeleteFontFamily(GpFontFamily* family);
GpStatus GdipCreateFont(const GpFontFamily* family, REAL size, int style, int unit, GpFont** font);
GpStatus GdipDeleteFont(GpFont* font);
GpStatus GdipCreateStringFormat(int flags, LANGID language, GpStringFormat** format);
GpStatus GdipDeleteStringFormat(GpStringFormat* format);
GpStatus GdipSetStringFormatAlign(GpStringFormat* format, int align);
GpStatus GdipSetStringFormatLineAlign(GpStringFormat* format, int align);
GpStatus GdipSetStringFormatTrimming(GpStringFormat* format, int trimming);
GpStatus GdipSetStringFormatHotkeyPrefix(GpStringFormat* format, int prefix);
// `length` -1: up to the terminating null.
GpStatus GdipDrawString(GpGraphics* g, const WCHAR* text, int length, const GpFont* font, const GpRectF* layout,
                        const GpStringFormat* format, const GpBrush* brush);
GpStatus GdipMeasureString(GpGraphics* g, const WCHAR* text, int length, const GpFont* font, const GpRectF* layout,
                           const GpStringFormat* format, GpRectF* bounds, int* codepointsFitted, int* linesFilled);

// Images.
GpStatus GdipLoadImageFromStream(IStream* stream, GpImage** image);
GpStatus GdipLoadImageFromStreamICM(IStream* stream, GpImage** image);
GpStatus GdipCreateBitmapFromStream(IStream* stream, GpBitmap** bitmap);
GpStatus GdipCreateBitmapFromStreamICM(IStream* stream, GpBitmap** bitmap);
GpStatus GdipDisposeImage(GpImage* image);
GpStatus GdipGetImageWidth(GpImage* image, UINT* width);
GpStatus GdipGetImageHeight(GpImage* image, UINT* height);
GpStatus GdipGetImagePixelFormat(GpImage* image, PixelFormat* format);
GpStatus GdipGetImageRawFormat(GpImage* image, GUID* format);
GpStatus GdipBitmapGetPixel(GpBitmap* bitmap, int x, int y, ARGB* color);
GpStatus GdipDrawImageRect(GpGraphics* g, GpImage* image, REAL x, REAL y, REAL width, REAL height);
GpStatus GdipDrawImageRectRect(GpGraphics* g, GpImage* image, REAL dx, REAL dy, REAL dw, REAL dh, REAL sx, REAL sy,
                               REAL sw, REAL sh, int srcUnit, const GpImageAttributes* attributes,
                               DrawImageAbort callback, void* callbackData);
GpStatus GdipCreateImageAttributes(GpImageAttributes** attributes);
GpStatus GdipDisposeImageAttributes(GpImageAttributes* attributes);
GpStatus GdipSetImageAttributesColorKeys(GpImageAttributes* attributes, int type, BOOL enable, ARGB low, ARGB high);
