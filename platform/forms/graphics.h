// The framework's graphics objects over the drawing layer: colours, fonts,
// pens, brushes, the canvas over a device context, and graphics that can be
// drawn on a canvas (bitmap, picture, icon).
//
// Sections: colours | TFont, TPen, TBrush | TCanvas | TGraphic, TBitmap | TPicture, TIcon
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/forms/properties.h"
#include "platform/rtl/set.h"
#include "platform/win/gdi.h"
#include "platform/win/gdi_text.h"
#include "platform/win/wintypes.h"

class TStream;

// ---- colours ----

// $00BBGGRR, or a system colour $FF0000nn (nn = COLOR_* index).
using TColor = int32_t;

constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000);
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF,
                 clLtGray = 0xC0C0C0, clDkGray = 0x808080;
constexpr TColor SysColor(int index) { return clSystemColor | index; }
constexpr TColor clScrollBar = SysColor(0), clBackground = SysColor(1), clActiveCaption = SysColor(2),
                 clInactiveCaption = SysColor(3), clMenu = SysColor(4), clWindow = SysColor(5),
                 clWindowFrame = SysColor(6), clMenuText = SysColor(7), clWindowText = SysColor(8),
                 clCaptionText = SysColor(9), clActiveBorder = SysColor(10), clInactiveBorder = SysColor(11),
                 clAppWorkSpace = SysColor(12), clHighlight = SysColor(13), clHighlightText = SysColor(14),
                 clBtnFace = SysColor(15), clBtnShadow = SysColor(16), clGrayText = SysColor(17),
                 clBtnText = SysColor(18), clInactiveCaptionText = SysColor(19), clBtnHighlight = SysColor(20),
                 cl3DDkShadow = SysColor(21), cl3DLight = SysColor(22), clInfoText = SysColor(23),
                 clInfoBk = SysColor(24), clHotLight = SysColor(26), clMenuHighlight = SysColor(29),
                 clMenuBar = SysColor(30);

// A system colour resolved to its RGB value; other colours as they are.
COLORREF ColorToRGB(TColor color);
// "clRed", else "$00BBGGRR"; and back (names or numbers, "$" hexadecimal).
std::string ColorToString(TColor color);
bool IdentToColor(const std::string& ident, int32_t& color);
TColor StringToColor(const std::string& text);  // EConvertError on a bad text
// The text forms of colour properties.
const TIntegerIdents& ColorIdents();

// ---- TFont, TPen, TBrush ----

enum TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = Set<TFontStyle>;
enum TFontPitch { fpDefault, fpVariable, fpFixed };
using TFontCharset = uint8_t;

// What graphics objects share: a change event and a lazily made GDI handle.
class TGraphicsObject : public TPersistent {
public:
  TGraphicsObject() = default;
  TGraphicsObject(const TGraphicsObject&) = delete;
  TGraphicsObject& operator=(const TGraphicsObject&) = delete;
  ~TGraphicsObject() override;
  TNotifyEvent OnChange;

protected:
  // Drops the handle and fires OnChange.
  void Changed();
  HGDIOBJ CachedHandle() const { return handle_; }
  void SetCachedHandle(HGDIOBJ handle) const { handle_ = handle; }
  void DropHandle() const;

private:
  mutable HGDIOBJ handle_ = nullptr;
};

class TFont : public TGraphicsObject {
  FORMS_CLASS(TFont)

public:
  TFont();
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  // Points; a negative Height is the character height in pixels (Size = -Height * 72 / PixelsPerInch).
  int32_t Size() const;
  void SetSize(int32_t size);
  int32_t Height() const { return height_; }
  void SetHeight(int32_t height);
  TFontStyles Style() const { return style_; }
  void SetStyle(TFontStyles style);
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TFontCharset Charset() const { return charset_; }
  void SetCharset(TFontCharset charset);
  TFontPitch Pitch() const { return pitch_; }
  void SetPitch(TFontPitch pitch);
  int32_t PixelsPerInch() const { return 96; }
  HFONT Handle() const;
  void Assign(const TPersistent* source) override;
  bool operator==(const TFont& other) const;

private:
  std::string name_ = "Tahoma";
  int32_t height_ = -11;
  TFontStyles style_;
  TColor color_ = clWindowText;
  TFontCharset charset_ = DEFAULT_CHARSET;
  TFontPitch pitch_ = fpDefault;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot, pmMergeNotPen,
  pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

class TPen : public TGraphicsObject {
  FORMS_CLASS(TPen)

public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  int32_t Width() const { return width_; }
  void SetWidth(int32_t width);
  TPenStyle Style() const { return style_; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return mode_; }
  void SetMode(TPenMode mode);
  HPEN Handle() const;
  void Assign(const TPersistent* source) override;

private:
  TColor color_ = clBlack;
  int32_t width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
};

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TBrush : public TGraphicsObject {
  FORMS_CLASS(TBrush)

public:
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle() const;
  void Assign(const TPersistent* source) override;

private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

// ---- TCanvas ----

class TGraphic;

using TCopyMode = DWORD;
constexpr TCopyMode cmSrcCopy = SRCCOPY, cmSrcPaint = SRCPAINT, cmSrcAnd = SRCAND, cmSrcInvert = SRCINVERT,
                    cmNotSrcCopy = NOTSRCCOPY, cmBlackness = BLACKNESS, cmWhiteness = WHITENESS,
                    cmPatCopy = PATCOPY, cmDstInvert = DSTINVERT, cmMergeCopy = MERGECOPY;

enum TTextFormats {
  tfBottom, tfCalcRect, tfCenter, tfEditControl, tfEndEllipsis, tfPathEllipsis, tfExpandTabs,
  tfExternalLeading, tfLeft, tfModifyString, tfNoClip, tfNoPrefix, tfRight, tfRtlReading, tfSingleLine,
  tfTop, tfVerticalCenter, tfWordBreak, tfHidePrefix, tfNoFullWidthCharBreak, tfPrefixOnly, tfTabStop,
  tfWordEllipsis
};
using TTextFormat = Set<TTextFormats>;

// Draws on a device context with its pen, brush and font, which it selects
// before each call. A canvas owns no DC unless a subclass makes one.
class TCanvas : public TPersistent {
  FORMS_CLASS(TCanvas)

public:
  TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;
  ~TCanvas() override;

  HDC Handle() const;
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return dc_ != nullptr; }
  TPen* Pen() const { return pen_.get(); }
  TBrush* Brush() const { return brush_.get(); }
  TFont* Font() const { return font_.get(); }
  void SetFont(const TFont* font) { font_->Assign(font); }
  TCopyMode CopyMode() const { return copyMode_; }
  void SetCopyMode(TCopyMode mode) { copyMode_ = mode; }
  POINT PenPos() const { return penPos_; }
  void SetPenPos(POINT p) { MoveTo(p.x, p.y); }
  RECT ClipRect() const;
  // Held by a thread that draws on the canvas; painters that may skip a
  // drawing look at the count.
  void Lock() { ++lockCount_; }
  void Unlock() {
    if (lockCount_ > 0) --lockCount_;
  }
  int32_t LockCount() const { return lockCount_; }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int x1, int y1, int x2, int y2);
  void Rectangle(const RECT& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void RoundRect(int x1, int y1, int x2, int y2, int x3, int y3);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const RECT& r) { Ellipse(r.left, r.top, r.right, r.bottom); }
  void Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4);
  void Polygon(const std::vector<POINT>& points);
  void Polyline(const std::vector<POINT>& points);
  void FillRect(const RECT& r);
  void FrameRect(const RECT& r);
  void DrawFocusRect(const RECT& r);
  void TextOut(int x, int y, const std::string& text);
  // Text clipped to `r`; the brush fills `r` first unless it is clear.
  void TextRect(const RECT& r, int x, int y, const std::string& text);
  // Lays the text out in `r` by `format` (DrawText); with tfCalcRect `r` takes the text's extent.
  void TextRect(RECT& r, std::string& text, TTextFormat format);
  SIZE TextExtent(const std::string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const RECT& r, TGraphic* graphic);
  void CopyRect(const RECT& dest, TCanvas* canvas, const RECT& source);
  TColor Pixels(int x, int y);
  void SetPixels(int x, int y, TColor color);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

protected:
  // Asked for when the canvas has no DC yet (bitmaps and controls make one).
  virtual void CreateHandle() {}
  // Selects the pen, brush and font, and sets text colour and background mode.
  void RequireState();
  void Changing();
  void Changed();

private:
  int32_t lockCount_ = 0;
  void DeselectHandles();
  HDC dc_ = nullptr;
  HGDIOBJ oldPen_ = nullptr, oldBrush_ = nullptr, oldFont_ = nullptr;
  std::unique_ptr<TFont> font_;
  std::unique_ptr<TPen> pen_;
  std::unique_ptr<TBrush> brush_;
  POINT penPos_{};
  TCopyMode copyMode_ = cmSrcCopy;
};

// ---- TGraphic, TBitmap ----

class TGraphic : public TPersistent {
  FORMS_CLASS(TGraphic)

public:
  TGraphic() = default;
  TGraphic(const TGraphic&) = delete;
  TGraphic& operator=(const TGraphic&) = delete;

  virtual bool Empty() const = 0;
  virtual int32_t Width() const = 0;
  virtual int32_t Height() const = 0;
  virtual void SetWidth(int32_t width) = 0;
  virtual void SetHeight(int32_t height) = 0;
  virtual void Draw(TCanvas* canvas, const RECT& rect) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  bool Transparent() const { return transparent_; }
  virtual void SetTransparent(bool transparent);
  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  TNotifyEvent OnChange;

  // A new empty graphic of the same class; null when the class cannot make one
  // (the picture then keeps a bitmap copy).
  virtual std::unique_ptr<TGraphic> NewOfSameClass() const { return nullptr; }

protected:
  virtual void Changed();

private:
  bool transparent_ = false;
  bool modified_ = false;
};

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

// A DIB section; rows are stored bottom-up, so ScanLine(y + 1) lies one row
// below ScanLine(y) in memory (lower addresses), all rows in one block.
class TBitmap : public TGraphic {
  FORMS_CLASS(TBitmap)

public:
  TBitmap();
  ~TBitmap() override;

  bool Empty() const override { return width_ == 0 || height_ == 0; }
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetWidth(int32_t width) override { SetSize(width, height_); }
  void SetHeight(int32_t height) override { SetSize(width_, height); }
  // Keeps the pixels that still fit; new ones are white.
  void SetSize(int32_t width, int32_t height);
  TPixelFormat PixelFormat() const { return pixelFormat_; }
  // Converts the pixels to the new format.
  void SetPixelFormat(TPixelFormat format);
  TBitmapHandleType HandleType() const { return handleType_; }
  void SetHandleType(TBitmapHandleType type) { handleType_ = type; }
  bool Monochrome() const { return pixelFormat_ == pf1bit; }
  // The first byte of row `row` (0 = top); EInvalidGraphicOperation outside the bitmap.
  void* ScanLine(int32_t row);
  // Bytes of one row (32-bit aligned).
  int32_t ScanLineSize() const { return stride_; }
  HBITMAP Handle();
  HPALETTE Palette();
  // Sets the colour table of a palette format from the palette's entries.
  void SetPalette(HPALETTE palette);
  TCanvas* Canvas();
  TColor TransparentColor();
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return transparentMode_; }
  void SetTransparentMode(TTransparentMode mode) { transparentMode_ = mode; }

  void Draw(TCanvas* canvas, const RECT& rect) override;
  // BMP, PNG, JPEG or GIF (first frame) through the picture decoders.
  void LoadFromStream(TStream& stream) override;
  // A BMP file of the bitmap's format.
  void SaveToStream(TStream& stream) override;
  void Assign(const TPersistent* source) override;
  // Takes decoded pixels (0xAARRGGBB rows from the top) as a 32-bit bitmap.
  void SetPixels32(int32_t width, int32_t height, const uint32_t* pixels);
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TBitmap>(); }

private:
  void Rebuild(int32_t width, int32_t height, TPixelFormat format);
  HDC MemoryDC();

  int32_t width_ = 0, height_ = 0;
  TPixelFormat pixelFormat_ = pfDevice;
  TBitmapHandleType handleType_ = bmDIB;
  TTransparentMode transparentMode_ = tmAuto;
  TColor transparentColor_ = clDefault;
  HBITMAP bitmap_ = nullptr;
  uint8_t* bits_ = nullptr;
  int32_t stride_ = 0;
  HPALETTE palette_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ oldBitmap_ = nullptr;
  std::unique_ptr<TCanvas> canvas_;
};

RTL_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
RTL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

// ---- TPicture, TIcon ----

// An icon: its pixels as a 32-bit bitmap with alpha.
class TIcon : public TGraphic {
  FORMS_CLASS(TIcon)

public:
  TIcon();
  bool Empty() const override { return bitmap_->Empty(); }
  int32_t Width() const override { return bitmap_->Width(); }
  int32_t Height() const override { return bitmap_->Height(); }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  void Draw(TCanvas* canvas, const RECT& rect) override;
  // An ICO file: the largest image (BMP or PNG encoded) is kept.
  void LoadFromStream(TStream& stream) override;
  // An ICO file with one 32-bit image.
  void SaveToStream(TStream& stream) override;
  void Assign(const TPersistent* source) override;
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TIcon>(); }
  TBitmap* Bitmap() const { return bitmap_.get(); }

private:
  std::unique_ptr<TBitmap> bitmap_;
};

// A Windows metafile (WMF, with or without its placeable header) or an
// enhanced metafile (EMF); drawing plays its records scaled to the rectangle.
class TMetafile : public TGraphic {
  FORMS_CLASS(TMetafile)

public:
  bool Empty() const override { return data_.empty(); }
  // Pixels at 96 per inch; the size in 0.01 mm is MMWidth and MMHeight.
  int32_t Width() const override { return width_; }
  int32_t Height() const override { return height_; }
  void SetWidth(int32_t width) override { width_ = width; }
  void SetHeight(int32_t height) override { height_ = height; }
  int32_t MMWidth() const { return mmWidth_; }
  int32_t MMHeight() const { return mmHeight_; }
  bool Enhanced() const { return enhanced_; }
  void Draw(TCanvas* canvas, const RECT& rect) override;
  // EInvalidGraphic "Metafile is not valid" for anything that is not one.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TMetafile>(); }
  void Assign(const TPersistent* source) override;

private:
  std::vector<uint8_t> data_;
  int32_t width_ = 0, height_ = 0, mmWidth_ = 0, mmHeight_ = 0;
  bool enhanced_ = false;
};

// Holds one graphic; loads a file by its extension.
class TPicture : public TPersistent {
  FORMS_CLASS(TPicture)

public:
  TPicture() = default;
  TPicture(const TPicture&) = delete;
  TPicture& operator=(const TPicture&) = delete;

  TGraphic* Graphic() const { return graphic_.get(); }
  // Takes a copy of the graphic (null clears).
  void SetGraphic(TGraphic* graphic);
  // The graphic as a bitmap; replaces another kind of graphic by an empty bitmap.
  TBitmap* Bitmap();
  TIcon* Icon();
  int32_t Width() const { return graphic_ ? graphic_->Width() : 0; }
  int32_t Height() const { return graphic_ ? graphic_->Height() : 0; }
  // .bmp, .png, .jpg/.jpeg, .gif, .ico, .wmf, .emf; EInvalidGraphic "Unknown picture file extension (.xyz)".
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  void Assign(const TPersistent* source) override;

  TNotifyEvent OnChange;

private:
  void Changed();
  void Take(std::unique_ptr<TGraphic> graphic);
  std::unique_ptr<TGraphic> graphic_;
};
