// Thin GDI+ wrapper classes: each object owns one native GDI+ object, made
// in its constructor and freed in its destructor, and forwards each
// operation to one flat-API function. Failures are never raised: every
// object keeps its last non-zero status. The unit starts GDI+ for itself
// at program start; an object made before that starts it on demand.
//
// Sections: values and colours | base and status | graphics | pens and
// brushes | paths, regions, fonts | images | free routines | pictures
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/graphics.h"
#include "platform/rtl/streams.h"
#include "platform/win/gdiplus.h"
#include "ui/render/encodedgraphic.h"

namespace AdvSmoothGDIP {

// ---- values and colours ----

using TGPPointF = GpPointF;
using TGPRectF = GpRectF;

GpPointF GDIPMakePointF(float x, float y);
GpRectF GDIPMakeRectF(float x, float y, float width, float height);
// alpha << 24 | red << 16 | green << 8 | blue.
ARGB GDIPMakeARGB(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue);
// The colour resolved to RGB (system colours included), with that alpha.
ARGB GDIPMakeColor(uint8_t alpha, TColor color);
ARGB GDIPColorToARGB(TColor color);

// Image format codes of TGPImage::GetFormat.
enum TImageFormat : int32_t {
  ifUndefined = 0, ifMemoryBMP = 1, ifBMP = 2, ifEMF = 3, ifWMF = 4, ifJPEG = 5, ifPNG = 6, ifGIF = 7,
  ifTIFF = 8, ifEXIF = 9, ifIcon = 10
};

// ---- base and status ----

// Root of every wrapper: instances live in GdipAlloc memory, and GDI+ is
// started on demand when it is not running yet.
class TGdiplusBase {
public:
  static void* operator new(size_t size);
  static void operator delete(void* block) noexcept;
  virtual ~TGdiplusBase() = default;

  GpStatus GetLastStatus() const { return lastStatus_; }

protected:
  // Constructors store their result unconditionally.
  void InitStatus(GpStatus status) { lastStatus_ = status; }
  // Other operations keep a non-zero result and pass it on.
  GpStatus SetStatus(GpStatus status) {
    if (status != Gdiplus::Ok) lastStatus_ = status;
    return status;
  }

private:
  GpStatus lastStatus_ = Gdiplus::Ok;
};

class TGPBrush;
class TGPPen;
class TGPFont;
class TGPStringFormat;
class TGPGraphicsPath;
class TGPRegion;
class TGPImage;
class TGPImageAttributes;

// ---- graphics ----

class TGPGraphics : public TGdiplusBase {
public:
  explicit TGPGraphics(HDC dc);
  ~TGPGraphics() override;
  TGPGraphics(const TGPGraphics&) = delete;
  TGPGraphics& operator=(const TGPGraphics&) = delete;
  GpGraphics* Native() const { return native_; }

  HDC GetHDC();
  void ReleaseHDC(HDC dc);
  GpStatus SetTextRenderingHint(int hint);
  // -1 when the call fails.
  int GetSmoothingMode();
  GpStatus SetSmoothingMode(int mode);
  GpStatus MeasureString(const std::wstring& text, int length, const TGPFont* font, const GpRectF& layout,
                         const TGPStringFormat* format, GpRectF& bounds, int* codepointsFitted = nullptr,
                         int* linesFilled = nullptr);
  GpStatus MeasureStringBounds(const std::wstring& text, int length, const TGPFont* font, const GpRectF& layout,
                               GpRectF& bounds);
  // Height of the text in the framework font, rounded.
  int32_t TextHeight(const std::string& text, const TFont* font);
  GpStatus DrawString(const std::wstring& text, int length, const TGPFont* font, const GpRectF& layout,
                      const TGPStringFormat* format, const TGPBrush* brush);
  // 8-bit (UTF-8) text converted to wide characters.
  GpStatus DrawAnsiString(const std::string& text, int length, const TGPFont* font, const GpRectF& layout,
                          const TGPStringFormat* format, const TGPBrush* brush);
  GpStatus DrawStringAtPoint(const std::wstring& text, int length, const TGPFont* font, const GpPointF& origin,
                             const TGPBrush* brush);
  GpStatus DrawPath(const TGPPen* pen, const TGPGraphicsPath* path);
  GpStatus FillPath(const TGPBrush* brush, const TGPGraphicsPath* path);
  // Fills nothing (and answers Ok) for a zero width or height, or without a brush.
  GpStatus FillRectangle(const TGPBrush* brush, float x, float y, float width, float height);
  GpStatus FillRectangleF(const TGPBrush* brush, const GpRectF& r) {
    return FillRectangle(brush, r.X, r.Y, r.Width, r.Height);
  }
  GpStatus DrawRectangle(const TGPPen* pen, float x, float y, float width, float height);
  GpStatus DrawRectangle(const TGPPen* pen, const GpRectF& r) { return DrawRectangle(pen, r.X, r.Y, r.Width, r.Height); }
  GpStatus DrawLine(const TGPPen* pen, float x1, float y1, float x2, float y2);
  GpStatus DrawLineI(const TGPPen* pen, int x1, int y1, int x2, int y2);
  GpStatus DrawImageRect(const TGPImage* image, int x, int y, int width, int height);
  GpStatus DrawImage(const TGPImage* image, const GpRectF& dest, float sx, float sy, float sw, float sh, int unit,
                     const TGPImageAttributes* attributes = nullptr, DrawImageAbort callback = nullptr,
                     void* callbackData = nullptr);
  GpStatus SetClip(const TGPRegion* region, int combineMode);
  GpStatus ResetClip();

protected:
  // The checks of FillRectangle pass (the secondary set skips them).
  GpStatus ForwardFillRectangle(const TGPBrush* brush, float x, float y, float width, float height);

private:
  GpGraphics* native_ = nullptr;
};

// ---- pens and brushes ----

class TGPPen : public TGdiplusBase {
public:
  TGPPen(ARGB color, float width);
  ~TGPPen() override;
  TGPPen(const TGPPen&) = delete;
  TGPPen& operator=(const TGPPen&) = delete;
  GpPen* Native() const { return native_; }
  GpStatus SetDashStyle(int style);
  GpStatus SetEndCap(int cap);

private:
  GpPen* native_ = nullptr;
};

// Abstract holder of a native brush; only its descendants are made.
class TGPBrush : public TGdiplusBase {
public:
  ~TGPBrush() override;
  TGPBrush(const TGPBrush&) = delete;
  TGPBrush& operator=(const TGPBrush&) = delete;
  GpBrush* Native() const { return native_; }

protected:
  TGPBrush() = default;
  GpBrush* native_ = nullptr;
};

class TGPSolidBrush : public TGPBrush {
public:
  explicit TGPSolidBrush(ARGB color);
};

class TGPHatchBrush : public TGPBrush {
public:
  TGPHatchBrush(int style, ARGB fore, ARGB back);
};

class TGPTextureBrush : public TGPBrush {
public:
  TGPTextureBrush(const TGPImage* image, int wrapMode);
};

class TGPLinearGradientBrush : public TGPBrush {
public:
  TGPLinearGradientBrush(const GpPointF& p1, const GpPointF& p2, ARGB c1, ARGB c2);
  // From a rectangle with a linear gradient mode.
  static TGPLinearGradientBrush* CreateFromRect(const GpRectF& r, ARGB c1, ARGB c2, int mode);
  static TGPLinearGradientBrush* CreateFromRectWithAngle(const GpRectF& r, ARGB c1, ARGB c2, float angle,
                                                          bool scalable);
  GpStatus SetGammaCorrection(bool gamma);

private:
  TGPLinearGradientBrush() = default;
};

class TGPPathGradientBrush : public TGPBrush {
public:
  explicit TGPPathGradientBrush(const TGPGraphicsPath* path);
  GpStatus SetCenterColor(ARGB color);
  int GetPointCount();
  // Status 2 (and count unchanged) without colours, for an empty path or
  // more colours than points; else count takes what GDI+ reports.
  GpStatus SetSurroundColors(const ARGB* colors, int& count);
  GpStatus SetCenterPoint(const GpPointF& point);
  GpStatus SetWrapMode(int mode);
  GpStatus SetInterpolationColors(const ARGB* colors, const float* positions, int count);
};

// ---- paths, regions, fonts ----

class TGPStringFormat : public TGdiplusBase {
public:
  explicit TGPStringFormat(int flags = 0, LANGID language = 0);
  ~TGPStringFormat() override;
  TGPStringFormat(const TGPStringFormat&) = delete;
  TGPStringFormat& operator=(const TGPStringFormat&) = delete;
  GpStringFormat* Native() const { return native_; }
  GpStatus SetAlignment(int align);
  GpStatus SetLineAlignment(int align);
  GpStatus SetTrimming(int trimming);
  GpStatus SetHotkeyPrefix(int prefix);

private:
  GpStringFormat* native_ = nullptr;
};

class TGPGraphicsPath : public TGdiplusBase {
public:
  explicit TGPGraphicsPath(int fillMode = FillModeAlternate);
  ~TGPGraphicsPath() override;
  TGPGraphicsPath(const TGPGraphicsPath&) = delete;
  TGPGraphicsPath& operator=(const TGPGraphicsPath&) = delete;
  GpPath* Native() const { return native_; }
  GpStatus CloseFigure();
  GpStatus AddLine(float x1, float y1, float x2, float y2);
  GpStatus AddArc(float x, float y, float width, float height, float start, float sweep);
  GpStatus AddEllipse(float x, float y, float width, float height);
  GpStatus AddEllipseRect(const GpRectF& r) { return AddEllipse(r.X, r.Y, r.Width, r.Height); }
  GpStatus AddPolygon(const GpPoint* points, int count);
  GpStatus AddCurve(const GpPoint* points, int count);

private:
  GpPath* native_ = nullptr;
};

class TGPRegion : public TGdiplusBase {
public:
  explicit TGPRegion(const TGPGraphicsPath* path);
  ~TGPRegion() override;
  TGPRegion(const TGPRegion&) = delete;
  TGPRegion& operator=(const TGPRegion&) = delete;
  GpRegion* Native() const { return native_; }

private:
  GpRegion* native_ = nullptr;
};

class TGPFontFamily : public TGdiplusBase {
public:
  explicit TGPFontFamily(const std::wstring& name, GpFontCollection* collection = nullptr);
  ~TGPFontFamily() override;
  TGPFontFamily(const TGPFontFamily&) = delete;
  TGPFontFamily& operator=(const TGPFontFamily&) = delete;
  GpFontFamily* Native() const { return native_; }

private:
  GpFontFamily* native_ = nullptr;
};

class TGPFont : public TGdiplusBase {
public:
  TGPFont(const TGPFontFamily* family, float size, int style, int unit);
  ~TGPFont() override;
  TGPFont(const TGPFont&) = delete;
  TGPFont& operator=(const TGPFont&) = delete;
  GpFont* Native() const { return native_; }

private:
  GpFont* native_ = nullptr;
};

// ---- images ----

class TGPImage : public TGdiplusBase {
public:
  TGPImage(IStream* stream, bool useEmbeddedColorManagement = false);
  ~TGPImage() override;
  TGPImage(const TGPImage&) = delete;
  TGPImage& operator=(const TGPImage&) = delete;
  GpImage* Native() const { return native_; }
  TImageFormat GetFormat();
  // 0 when the call fails.
  UINT GetWidth();
  UINT GetHeight();
  PixelFormat GetPixelFormat();
  int GetPixelFormatSize() { return (GetPixelFormat() >> 8) & 0xFF; }
  bool IsAlphaPixelFormat() { return (GetPixelFormat() & 0x40000) != 0; }
  bool IsIndexedPixelFormat() { return (GetPixelFormat() & 0x10000) != 0; }

protected:
  struct BitmapTag {};
  TGPImage(BitmapTag, IStream* stream, bool useEmbeddedColorManagement);
  GpImage* native_ = nullptr;
};

class TGPBitmap : public TGPImage {
public:
  TGPBitmap(IStream* stream, bool useEmbeddedColorManagement = false);
  GpStatus GetPixel(int x, int y, ARGB& color);
};

class TGPImageAttributes : public TGdiplusBase {
public:
  TGPImageAttributes();
  ~TGPImageAttributes() override;
  TGPImageAttributes(const TGPImageAttributes&) = delete;
  TGPImageAttributes& operator=(const TGPImageAttributes&) = delete;
  GpImageAttributes* Native() const { return native_; }
  GpStatus SetColorKey(ARGB low, ARGB high, int type = ColorAdjustTypeDefault);

private:
  GpImageAttributes* native_ = nullptr;
};

// ---- free routines ----

// UTF-8 to wide text.
std::wstring WideText(const std::string& text);
// A GDI+ font for a framework font (family "Arial" when the name is unknown;
// bold, italic and underline carried; size in points).
TGPFont* CreateGPFont(TGPGraphics* graphics, const TFont* font);
constexpr UINT kDrawTextCalcRect = 0x400;
// Measures (kDrawTextCalcRect, or with a background colour) and draws text at
// r's top left; r's right and bottom take the measured box. Answers its height.
int32_t DrawTextGDIP(TGPGraphics* graphics, const std::string& text, int length, RECT& r, const TFont* font,
                     UINT flags, TColor background);

// The unit's GDI+ session: started at program start, ended at its end.
struct TGdiplusSession {
  GdiplusStartupInput input;
  GdiplusStartupOutput output;
  ULONG_PTR token = 0;
  ULONG_PTR hookToken = 0;
  bool started = false;
  void Start();
  void Stop();
};
TGdiplusSession& PrimarySession();

// ---- pictures ----

// Picture sizes from a file's header alone; false (and 0 x 0) when the
// header holds no size. Every read is checked against the data's end.
struct TImageSize {
  int32_t width = 0;
  int32_t height = 0;
};
bool GetJPEGSize(const uint8_t* data, size_t size, TImageSize& out);
bool GetPNGSize(const uint8_t* data, size_t size, TImageSize& out);
bool GetGIFSize(const uint8_t* data, size_t size, TImageSize& out);
bool GetBMPSize(const uint8_t* data, size_t size, TImageSize& out);
bool GetTIFFSize(const uint8_t* data, size_t size, TImageSize& out);

// A GDI+ image decoded from encoded bytes (null handle when they are no image).
std::unique_ptr<TGPImage> DecodeGPImage(const std::vector<uint8_t>& bytes);

// What both GDI+ pictures share: encoded bytes whose size comes from
// decoding (or a header), drawn through GDI+.
class TGPPictureBase : public TEncodedGraphic {
public:
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  // A BMP transparently at its own size, anything else stretched into the rectangle.
  void Draw(TCanvas* canvas, const RECT& rect) override;
  // The file's bytes, OnClear, the size, OnChange; a failure leaves the picture empty.
  void LoadFromFile(const std::string& fileName);
  // Decodes and stores the size; false when there is nothing to decode.
  bool ReadImageSize();
  // Nil clears; a picture of the same class, a framework bitmap, picture
  // holder (or, with icons, icon) gives its bytes; then the size is read.
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnClear;

protected:
  // How LoadFromFile learns the size (decoding unless overridden).
  virtual void SizeFromFile(const std::string&) { ReadImageSize(); }
  virtual bool TakesIcons() const { return false; }
  void SetSize(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
  }

private:
  int32_t width_ = 0, height_ = 0;
};

// Encoded picture bytes drawn through GDI+ with their alpha channel.
class TAdvGDIPPicture : public TGPPictureBase {
  FORMS_CLASS(TAdvGDIPPicture)

public:
  TAdvGDIPPicture() = default;
  // Nothing for an empty stream; else the bytes, their decoded size, OnChange.
  void LoadFromStream(TStream& stream) override;
  // The form reader: bytes and decoded size, no change event.
  void ReadData(TStream* stream);
  // The size from the header by the file name's extension.
  void ReadImageFileSize(const std::string& fileName);
  // Stretched into r; a transparent BMP is keyed and drawn at its own size.
  void DrawOnGraphics(TGPGraphics* graphics, const RECT& r);
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TAdvGDIPPicture>(); }

  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }
  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor color) { transparentColor_ = color; }

protected:
  void SizeFromFile(const std::string& fileName) override { ReadImageFileSize(fileName); }
  bool TakesIcons() const override { return true; }

private:
  TTransparentMode transparentMode_ = tmAuto;
  TColor transparentColor_ = 0xFFFFFF;
};

}  // namespace AdvSmoothGDIP
