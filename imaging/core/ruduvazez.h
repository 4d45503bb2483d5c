// Shared routines of the image core: bits and byte order, row lengths,
// geometry and angles, fitting, null-terminated text, number and date
// parsing, sRGB <-> CIE L*a*b*, the PostScript text encoders, processor and
// system probes.
//
// Sections: bits and bytes | framework pixel formats | geometry | angles and fitting |
// fonts | text | colour | frames and shadows | encoders | system | windows and dialogs |
// streams | temporary files | thread pool, system queries and wide strings |
// wide-name files
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/graphics.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/lists.h"
#include "platform/rtl/streams.h"
#include "platform/win/gdi.h"
#include "platform/win/user_scroll.h"
#include "platform/win/wintypes.h"

// ---- bits and bytes -------------------------------------------------------------

// Row length in bytes of Width pixels of BitsPerPixel, padded to AlignBits.
int64_t IEBitmapRowLen(int32_t width, int32_t bitsPerPixel, int32_t alignBits);
// Consecutive set bits from the lowest set one (0 for 0).
int32_t IEBitMaskWidth(uint32_t mask);
// Bits needed for n values; -1 for 0.
int32_t IECeilLog2(uint32_t n);
// (2^bitsPerSample)^samplesPerPixel in 32-bit arithmetic; 1 for no samples.
uint32_t IEColorsFromBits(int32_t bitsPerSample, int32_t samplesPerPixel);
void IEReverseBits8(uint8_t& value);
void IEReverseBits32(uint32_t& value);
// The low two bytes exchanged; the upper 16 bits pass through.
uint32_t IESwapWord(uint32_t value);
uint32_t IESwapDWord(uint32_t value);
uint64_t IESwapInt64(uint64_t value);
void IESwapWordArray(void* buffer, size_t count);
void IESwapDWordArray(void* buffer, size_t count);
// The value reversed when swap is set.
inline uint16_t IESwapWordIf(uint16_t value, bool swap) { return swap ? static_cast<uint16_t>(IESwapWord(value)) : value; }
inline uint32_t IESwapDWordIf(uint32_t value, bool swap) { return swap ? IESwapDWord(value) : value; }
inline uint64_t IESwapInt64If(bool swap, uint64_t value) { return swap ? IESwapInt64(value) : value; }
// Base to the power exponent; integral exponents by repeated squaring.
double IEPower(double base, double exponent);

// ---- framework pixel formats ---------------------------------------------------------

enum TIEPixelFormat : uint8_t;
// Bits per pixel of a framework bitmap format; 0 for pfDevice and pfCustom.
int32_t IEPixelFormatToBitCount(TPixelFormat format);
// Row length in bytes of a framework bitmap, rows padded to 32 bits.
int64_t IETBitmapRowLen(int32_t width, TPixelFormat format);
// The library's format for a framework bitmap: ie1g, ie8p (4 and 8 bits), else ie24RGB.
TIEPixelFormat IEPixelFormatFromVCL(TPixelFormat format);

// ---- geometry (edges included) --------------------------------------------------

bool IEPointInRect(int32_t x, int32_t y, int32_t left, int32_t top, int32_t right, int32_t bottom);
bool IEPointInTRect(int32_t x, int32_t y, const RECT& rect);
// As IEPointInRect with the corners ordered first.
bool IEPointInBox(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// True when the box spanned by (x1, y1), (x2, y2) shares a point with the rectangle.
bool IEBoxesOverlap(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t left, int32_t top, int32_t right,
                    int32_t bottom);
// 2: all four corners of the second rectangle lie in the first; 1: some; 0: none.
int32_t IERectContainment(int32_t left1, int32_t top1, int32_t right1, int32_t bottom1, int32_t left2, int32_t top2,
                          int32_t right2, int32_t bottom2);
// Constrains the line to vertical, horizontal or 45 degrees by moving (x2, y2).
void IESnapLineAngle(int32_t x1, int32_t y1, int32_t& x2, int32_t& y2);
double IEDistance(double x1, double y1, double x2, double y2);
double IEPointToLineDistance(double x, double y, double x1, double y1, double x2, double y2);
// Distance to the segment; 1,000,000 for a far end point or a fault.
double IEPointToSegmentDistance(double x, double y, double x1, double y1, double x2, double y2);
// Hit-test distances of a pen of penWidth to the outline of a box or of the
// ellipse in a box (filled: 0 inside the box, or to the ellipse's spokes).
double IEPointToBoxDistance(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool filled,
                            int32_t penWidth);
double IEPointToEllipseDistance(int32_t x, int32_t y, int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool filled,
                                int32_t penWidth);
// Hit-test distance to a polyline mapped to the screen by origin, offset and zoom.
double IEPointToPolylineDistance(int32_t x, int32_t y, const POINT* points, int32_t count, double orgX, double orgY,
                                 double offX, double offY, double zoomX, double zoomY, int32_t penWidth, bool closed);
// The rectangle widened to contain (x, y).
void IEExtendRectToPoint(RECT& rect, int32_t x, int32_t y);

// ---- angles and fitting (radians) -------------------------------------------------

// Arc cosine; 0 for 1 and for -1.
long double IEArcCos(long double x);
// Angle between the segments P1P2 and P2P3.
double IEVectorAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);
// Direction of P1 -> P2, 0..2 pi, counter-clockwise on screen (y downwards).
double IELineAngle(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
// 1, -1 or 0: the turn from P1P2 to P1P3 and, for collinear points, their order.
int32_t IEPointsOrientation(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);
// Angle at P2, 0..2 pi.
double IEAngleFromThreePoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3);
// The angle brought into 0 <= r < 360 (or -360 < r <= 0 for negative angles).
double IENormalizeDegrees(double angle);
// Fits a picture into a box keeping its aspect; each side at least 1.
void IEFitSize(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight, int32_t& outWidth,
               int32_t& outHeight);
// Fits (0 percent) or fills (100 percent) the box; the visible size is cut to the box.
void IEFitSizeWithCrop(int32_t width, int32_t height, int32_t boxWidth, int32_t boxHeight, int32_t& visibleWidth,
                       int32_t& visibleHeight, int32_t cropPercent, int32_t& outWidth, int32_t& outHeight);
// True when the 16 bytes are equal.
bool IEIsEqualGUID(const void* a, const void* b);

// ---- fonts -------------------------------------------------------------------------------

// Font style bits, as the framework's font style set stores them.
constexpr uint8_t IE_FONT_BOLD = 1, IE_FONT_ITALIC = 2, IE_FONT_UNDERLINE = 4, IE_FONT_STRIKEOUT = 8;
// The style bits of a font record (bold from weight 700); 0 for null.
uint8_t IELogFontAToFontStyles(const LOGFONTA* font);
uint8_t IELogFontWToFontStyles(const LOGFONTW* font);
// The same record with its face name converted to UTF-16.
void IELogFontAToW(const LOGFONTA& source, LOGFONTW& dest);

// ---- text ---------------------------------------------------------------------------

size_t IEStrLen(const char* text);
size_t IEWideStrLen(const char16_t* text);
char* IEStrCopy(char* dest, const char* source);
char16_t* IEWideStrCopy(char16_t* dest, const char16_t* source);
char* IEStrPCopy(char* dest, const std::string& text);
char16_t* IEWideStrPCopy(char16_t* dest, const std::u16string& text);
// Copies count characters; the buffers may overlap.
char* IEStrMove(char* dest, const char* source, size_t count);
// First (IEStrScan, IEAnsiStrScan) or last (IEStrRScan) occurrence; null when absent.
const char* IEStrScan(const char* text, char c);
const char* IEAnsiStrScan(const char* text, char c);
const char* IEStrRScan(const char* text, char c);
// The number in text with the locale's decimal separator; false when none.
bool IETextToFloat(const std::string& text, long double& value);
// The number, trying the other separator (',' <-> '.') when the locale's fails.
double IEStrToFloatDef(const std::string& text, double defaultValue);
double IEWideStrToFloatDef(const std::u16string& text, double defaultValue);
// FloatToStr (15 significant digits) with "." as decimal separator whatever
// the locale, for the library's files and texts.
std::string IEFloatToStrDot(double value);
// "YYYY:MM:DD HH:NN:SS" as a date and time; 0 for an empty or zero date and
// for anything that does not convert.
TDateTime IEEXIFDateToDateTime(const std::string& text);
// True when data starts with "Exif" and a zero byte.
bool IEIsEXIFHeader(const void* data, size_t size);
void IECopyByteArray(const std::vector<uint8_t>& source, std::vector<uint8_t>& dest);

// ---- colour -----------------------------------------------------------------------

// The library's three-byte pixel, stored blue, green, red.
struct TRGB {
  uint8_t b = 0, g = 0, r = 0;
  bool operator==(const TRGB&) const = default;
};
// L scaled to 0..255, a and b as signed bytes.
struct TCIELab {
  uint8_t l = 0;
  int8_t a = 0, b = 0;
  bool operator==(const TCIELab&) const = default;
};
// sRGB (D65) to CIE L*a*b* and back, in extended precision.
TCIELab IERGBToCIELab(TRGB rgb);
TRGB IECIELabToRGB(TCIELab lab);

// ---- frames and shadows -------------------------------------------------------------

// A one-pixel frame in copy mode: color1 on the left and top edges, color2
// on the bottom and right edges.
void IEDraw3DFrame(TCanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1, TColor color2);
// The same frame drawn with the pen of a library canvas (iegdiplus.h), through
// GDI+ when that canvas uses it.
class TIECanvas;
void IEDraw3DFrameIE(TIECanvas* canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1,
                     TColor color2);
// The frame's lines on either canvas: its pen made solid, 1 wide, copy mode.
template <class Canvas>
void IEDraw3DFrameLines(Canvas& canvas, int32_t x1, int32_t y1, int32_t x2, int32_t y2, TColor color1,
                        TColor color2) {
  auto* pen = canvas.Pen();
  pen->SetStyle(psSolid);
  pen->SetWidth(1);
  pen->SetMode(pmCopy);
  pen->SetColor(color1);
  canvas.MoveTo(x1, y2);
  canvas.LineTo(x1, y1);
  canvas.LineTo(x2, y1);
  pen->SetColor(color2);
  canvas.MoveTo(x1, y2);
  canvas.LineTo(x2, y2);
  canvas.LineTo(x2, y1);
}
// Shadow strips beside a displayed image, x1..x2, y1..y2 with edges
// included: kind 1 fills the strip with the canvas brush, kind 2 darkens it
// softly, kind 3 paints a grey gradient through the canvas, from 255 / e
// beside the image to 255 at the strip's outer edge, darkening to 255 / e
// toward the strip's end (other kinds paint nothing). The strip starts one strip width past the image's top (right
// strip) or left (bottom strip).
// Kind 2 changes pixels inside the pf24bit bitmap (null: none) in its rows,
// others through the canvas. The background is not read.
void IEDrawRightShadow(TCanvas* canvas, TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                       int32_t kind, TColor background);
void IEDrawBottomShadow(TCanvas* canvas, TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                        int32_t kind, TColor background);
// A blurred shadow around the rectangle x1..x2, y1..y2 (edges included) of
// a pf24bit bitmap: the pixels of the bitmap within 5 pixels outside the
// rectangle are darkened, most next to it. Other formats are left alone.
void IEDrawSoftShadowAround(TBitmap* bitmap, int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// A two-colour gradient over the rectangle (vertical: top to bottom) by
// "GradientFill" of "MSIMG32.DLL"; false when that cannot be bound or fails.
bool IEGradientFillRect(const RECT& rect, HDC dc, TColor color1, bool vertical, TColor color2);

// ---- encoders -------------------------------------------------------------------------

// One ASCII85 group of count (1..4) bytes; advances both pointers and
// returns the characters written.
int32_t IEEncodeASCII85Group(const uint8_t*& source, int32_t count, char*& output);
// All bytes in groups, lines broken after 75..79 characters, then "~>" CR LF.
// groupChars grows by the group characters; returns every character written.
int32_t IEEncodeASCII85(const uint8_t*& source, int32_t count, char*& output, int32_t& groupChars);
// The characters IEEncodeASCII85 writes for the count bytes.
int32_t IEASCII85Length(const uint8_t* source, int32_t count);
// Room IEEncodeASCII85 needs for count bytes.
size_t IEASCII85Capacity(size_t count);
// The PostScript RunLengthDecode encoding, ended by 128; returns the bytes written.
int32_t IEEncodeRunLength(const uint8_t* source, int32_t length, uint8_t* destination);
// Room IEEncodeRunLength needs for length bytes.
size_t IERunLengthCapacity(size_t length);

// ---- system ---------------------------------------------------------------------------

// Opens the clipboard, trying up to 10 times 20 ms apart.
bool IEOpenClipboard();

// Physical memory in bytes: what is available now, or all of it.
uint64_t IEGetPhysicalMemory(bool available);
// The processor offers CPUID and reports MMX.
bool IEHasMMX();
constexpr uint32_t IE_VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t IE_VER_PLATFORM_WIN32_NT = 2;
// Version code 0..10 of a Windows version answer.
uint8_t IEWindowsVersionCode(uint32_t platformId, uint32_t major, uint32_t minor);
// The version code of the running system.
uint8_t IEGetWindowsVersion();

// ---- windows and dialogs ---------------------------------------------------------------

// Places a dialog: through the settings' OnPlaceWindow when set, else
// centred horizontally and a third of the free height from the top of the
// monitor of the active form (else the main form, else the first monitor).
void IECenterWindow(HWND window);
// The window of the first windowed control in the owner chain from
// component (itself included); null when there is none or it has no window yet.
HWND IEFindOwnerWindow(TComponent* component);
// The colour dialog with color selected and the settings' CustomColors (or
// sixteen defaults); the custom colours are stored back however it closes.
// True, with color updated, when the user confirmed.
bool IEPromptForColor(TColor& color);

// ---- streams ---------------------------------------------------------------------------

// Size of the file found by a directory search for the name; 0 when none.
int64_t IEGetFileSize64(const std::string& fileName);
// Writes count bytes; sets failed (never clears it) when fewer were written.
void IESafeStreamWrite(TStream& stream, bool& failed, const void* buffer, int32_t count);
// 2, 4 or 8 bytes read as a number, reversed when bigEndian; bytes beyond the
// end of the stream read as 0.
uint16_t IEReadWord(TStream& stream, bool bigEndian);
uint32_t IEReadDWord(TStream& stream, bool bigEndian);
uint64_t IEReadInt64(TStream& stream, bool bigEndian);
// Writes a zero byte when the position is odd; returns the position.
int64_t IEAlignStreamToWord(TStream& stream, bool& failed);
// The text followed by CR LF, in one write.
void IEWriteLineCRLF(TStream& stream, const std::string& text);
void IEWriteLine(TStream& stream, const std::string& text);
// Copies count bytes (0: the whole source from its start), cut to what the
// source holds unless it is a zlib stream; raises on a short read or write.
int64_t IECopyStream(TStream& dest, TStream& source, int64_t count);
// Offset from the position of the first TIFF header found in the next
// 128 KB ("II" or "MM", version 42, $4F52 or $5352, a first directory,
// counted from the header, inside the stream with 1..32767 entries); -1 when
// none. The position is kept.
int64_t IEFindTIFFHeader(TStream& stream);

// A read-only stream over a caller's block, which it does not own.
class TIEMemStream : public TCustomMemoryStream {
public:
  TIEMemStream(const void* buffer, int64_t size);
};

// A file stream opened the library's way: mode $FFFF creates (replacing),
// any other mode opens by its access (mode and 3) and sharing ((mode and
// $F0) shr 4) values; EFCreateError or EFOpenError on failure.
class TIEWideFileStream : public TFileStream {
public:
  TIEWideFileStream(const std::string& fileName, uint16_t mode);
};
constexpr uint16_t IE_FILE_CREATE = 0xFFFF;

// Reads a stream through a buffer; with relative set, position 0 is where
// the source stood at creation. Seek from the end counts back from the
// source's end. Destruction leaves the source just after the last byte read.
class TIEBufferedReadStream : public TStream {
public:
  TIEBufferedReadStream(TStream& source, int32_t bufferSize, bool relative = false);
  ~TIEBufferedReadStream() override;
  TIEBufferedReadStream(const TIEBufferedReadStream&) = delete;
  TIEBufferedReadStream& operator=(const TIEBufferedReadStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;  // raises EIEException
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return sourceSize_ - base_; }
  // The last read or seek was cut at the end of the source.
  bool EndReached() const { return endReached_; }

private:
  void Fill();

  TStream& source_;
  int64_t position_;     // source position of the next byte
  int64_t bufferStart_;  // source position of buffer_[0]
  int32_t index_ = 0;
  int32_t filled_ = 0;
  std::vector<uint8_t> buffer_;
  int64_t sourceSize_;
  int64_t base_;
  bool endReached_ = false;
};

// Collects writes into a buffer written to the target whole; Seek (reading
// the position too) and destruction write what is left first.
class TIEBufferedWriteStream : public TStream {
public:
  TIEBufferedWriteStream(TStream& target, int32_t bufferSize);
  ~TIEBufferedWriteStream() override;
  TIEBufferedWriteStream(const TIEBufferedWriteStream&) = delete;
  TIEBufferedWriteStream& operator=(const TIEBufferedWriteStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;  // raises EIEException
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

private:
  void Flush();

  TStream& target_;
  std::vector<uint8_t> buffer_;
  int32_t filled_ = 0;
};

// ---- temporary files ---------------------------------------------------------------------

// The settings' TempFolder, else the system's temporary folder; ends with a
// delimiter.
std::string IETempFolder();
// folder + prefix + "-" + eight upper-case hex digits + ".tmp", drawn again
// while an entry of that name (a dangling link too) exists.
std::string IEMakeUniqueFileName(const std::string& prefix, const std::string& folder);
// IEMakeUniqueFileName("ietemp", IETempFolder()); the file is not created.
std::string IEGetTempFileName();

// A new temporary file, created exclusively (an existing name, a planted link
// included, fails) and readable only by the user. Its name is removed at
// once, so nothing else can open it and it vanishes when the stream closes,
// also when the process ends without closing it. EInOutError "Unable to
// create " + name on failure.
class TIETemporaryFileStream : public THandleStream {
public:
  explicit TIETemporaryFileStream(const std::string& fileName);
  ~TIETemporaryFileStream() override;
  TIETemporaryFileStream(const TIETemporaryFileStream&) = delete;
  TIETemporaryFileStream& operator=(const TIETemporaryFileStream&) = delete;
};

// Backing store of file-held images: a temporary file (or a memory stream)
// from which byte ranges are mapped into buffers and written back when
// released.
class TIEFileBuffer {
public:
  TIEFileBuffer() = default;
  ~TIEFileBuffer();
  TIEFileBuffer(const TIEFileBuffer&) = delete;
  TIEFileBuffer& operator=(const TIEFileBuffer&) = delete;

  bool IsAllocated() const { return stream_ != nullptr; }
  const std::string& FileName() const { return fileName_; }
  // Closes what is open, then opens a temporary file named with prefix in
  // IETempFolder (or a memory stream) of size bytes. False on any failure.
  bool Allocate(const std::string& prefix, bool useFile, int64_t size);
  void SetSize(int64_t size);
  // Releases every mapping (writing back those with write access) and the stream.
  void Close();
  // Access bits: 1 read, 2 write.
  static constexpr uint8_t imRead = 1, imWrite = 2;
  // A new zero-filled buffer of size bytes, read from position when access
  // includes reading; null for a negative size or when memory is short.
  uint8_t* Map(uint8_t access, int64_t size, int64_t position);
  // Writes the buffer back when it was mapped for writing, then frees it;
  // EListError for a buffer that was not mapped.
  void Unmap(const uint8_t* buffer);
  void UnmapAll();
  int32_t FindMapping(const uint8_t* buffer) const;
  // Copies count bytes at position into the same position of dest's stream.
  void CopyTo(TIEFileBuffer& dest, int64_t count, int64_t position);
  // Copies count bytes at position into a stream (count 0: the whole own stream).
  void CopyToStream(TStream& stream, int64_t count, int64_t position);
  // Copies count bytes from the source's position to position of the own
  // stream; returns the bytes copied (fewer when the source ends first).
  int64_t CopyFromStream(TStream& source, int64_t count, int64_t position);

private:
  struct TMapping {
    int64_t position;
    int64_t size;
    std::unique_ptr<uint8_t[]> buffer;
    uint8_t access;
  };

  std::unique_ptr<TStream> stream_;
  std::string fileName_;
  std::vector<TMapping> mappings_;
};

// ---- thread pool, system queries and wide strings -----------------------------------

class TThread;

// Runs worker threads and joins them. One owner thread adds and joins; the
// workers never touch the pool. Threads must not free themselves.
class TIEThreadPool {
public:
  TIEThreadPool() = default;
  // Joins and frees every thread still held.
  ~TIEThreadPool();
  TIEThreadPool(const TIEThreadPool&) = delete;
  TIEThreadPool& operator=(const TIEThreadPool&) = delete;

  // Takes a thread that has not been started yet, keeps it and starts it.
  void Add(TThread* thread);
  // Waits for each thread in the order added and frees it. When a wait
  // raises, the threads not yet joined stay in the pool.
  void WaitAll();

private:
  std::vector<std::unique_ptr<TThread>> threads_;
};

// The number of physical processor cores, from "GetLogicalProcessorInformation"
// of "Kernel32.dll"; 1 when that is missing or fails. Cached in the settings'
// CoreCount.
int32_t IEGetProcessorCoreCount();
// The settings' WindowsVersion is Vista or later (codes 7..10).
bool IEIsWindowsVistaOrLater();
// The library's user-interface font, made on first use and kept in the
// settings' SharedFont: "Segoe UI" -12 on Vista or later when installed,
// else "Tahoma" -11.
TFont* IEGetDefaultFont();
// Frees the shared font and clears the field (the library's shut-down).
void IEFreeDefaultFont();

// A list of wide strings, each kept as its own copy.
class TIEWideStrings {
public:
  void Clear();
  void Add(const std::u16string& text);
  // EListError for an index outside the list.
  void GetString(int32_t index, std::u16string& text) const;

private:
  std::vector<std::u16string> strings_;
};

// ---- Base64, fitting, YCbCr, file sizes, sorting, polygons and small helpers ----------------

// One Base64 group of count (1..3) bytes: four characters, "=" for each missing byte.
void IEBase64EncodeGroup(const uint8_t* source, char* out, int32_t count);
// From the source's position to its end, lines of ceil(lineLength / 4)
// groups, each line (the last too) ended by CR LF; nothing for no bytes.
void IEStreamToBase64(TStream& source, TStream& dest, int32_t lineLength);
// The picture fitted (or, with fill, covering) the box, keeping its aspect;
// scaled only where shrinking or enlarging is allowed; (box left, box top,
// 0, 0) when any size is 0.
RECT IEGetFitRect(int32_t imageWidth, int32_t imageHeight, const RECT& box, bool fill, bool centreVertically,
                  bool centreHorizontally, bool allowShrink, bool allowEnlarge);
void IEGetFitSize(int32_t imageWidth, int32_t imageHeight, int32_t boxWidth, int32_t boxHeight, int32_t& width,
                  int32_t& height, bool fill, bool allowEnlarge);
// Red in bits 16-23; each result truncated, then clamped to 0..255.
void IERGBToYCbCr(uint32_t color, uint8_t& y, uint8_t& cb, uint8_t& cr);
// Stored blue, green, red.
void IEYCbCrToBGR(uint8_t* bgr, int32_t y, int32_t cb, int32_t cr);
// Trailing zeros, then a trailing ".", removed from a text holding ".".
std::string IEFloatToStrTrim(const std::string& text);
// The size in bytes below limit, else in KB (size div 1024), with thousands separators.
std::string IEBytesToStr(int64_t size, int64_t limit);
// Bytes or KB below 10 MB, else MB below 1 GB, else GB (two decimals, trimmed).
std::string IEFileSizeToStr(int64_t size);
// Sorts the indexes 0..count-1 of a caller's list through its callbacks
// (middle pivot, which follows its element when swapped).
void IEQuickSort(int32_t count, const std::function<void(int32_t, int32_t)>& swap,
                 const std::function<int32_t(int32_t, int32_t)>& compare);
// Even-odd rule over the polygon closed from the last point to the first.
bool IEPointInPolygon(int32_t x, int32_t y, const POINT* points, int32_t lastIndex);
// Each point turned about (cx, cy) by minus angle degrees, offsets truncated.
void IERotatePoints(POINT* points, int32_t lastIndex, int32_t cx, int32_t cy, double angle);
// n points of the cubic curve at t = 1/n .. 1, rounded; p0 is not among them.
std::vector<POINT> IEBezierPoints(POINT p0, POINT p1, POINT p2, POINT p3, int32_t n);
// n values of a Gauss bell over t = 2k/n - 1, scaled to low..high by the largest.
std::vector<double> IEGaussRamp(int32_t n, double low, double high, double s);
// The index of the nearest colour (squared RGB distance), the first of equals; 0 for none.
int32_t IENearestPaletteIndex(const TRGB* palette, int32_t count, TRGB color);
// Each of the three 8-bit channels differs by at most tolerance.
bool IEColorWithinTolerance(int32_t tolerance, uint32_t color1, uint32_t color2);
// The text without characters below 32 and without 127.
std::string IEStripControlChars(const std::string& text);
// 1 http, 2 https, 3 ftp (any case), else 0.
int32_t IEGetURLType(const std::string& text);
// "1", "TRUE" or "T" in any case.
bool IEStrToBool(const std::string& text);
// "r, g, b" of a colour with red in bits 16-23, and back (parts trimmed, 0 where not a number).
std::string IERGBToStr(uint32_t color);
TRGB IEStrToRGB(const std::string& text);

// Conditional choices.
inline int32_t IESelectInt(bool condition, int32_t ifTrue, int32_t ifFalse) { return condition ? ifTrue : ifFalse; }
inline double IESelectDouble(bool condition, double ifTrue, double ifFalse) { return condition ? ifTrue : ifFalse; }
// "1" or "0".
inline std::string IEBoolToWideStr(bool value) { return value ? "1" : "0"; }
// Exchanges of two values (the viewer swaps layers with them).
template <typename T>
inline void IESwapValues(T& a, T& b) {
  std::swap(a, b);
}
inline void IESwapInteger(int32_t& a, int32_t& b) { IESwapValues(a, b); }
inline void IESwapDouble(double& a, double& b) { IESwapValues(a, b); }
inline void IESwapBoolean(bool& a, bool& b) { IESwapValues(a, b); }
inline void IESwapPointer(void*& a, void*& b) { IESwapValues(a, b); }
inline void IESwapString(std::string& a, std::string& b) { IESwapValues(a, b); }
// dest takes the source's count and items.
void IECopyList(const TList& source, TList& dest);

// ---- scroll bars, files and texts that fit ------------------------------------------------

// One SCROLLINFO with range, page and position (IESetScrollBar), the range
// (IESetScrollRange, always true) or the position (IESetScrollPos), set on
// the window's bar through the flat or the plain scroll-bar call.
void IESetScrollBar(HWND window, int32_t bar, int32_t min, bool flat, bool redraw, int32_t pos, int32_t page,
                    int32_t max);
bool IESetScrollRange(HWND window, int32_t bar, int32_t min, bool flat, bool redraw, int32_t max);
void IESetScrollPos(HWND window, int32_t bar, int32_t pos, bool flat, bool redraw);
void IESetScrollInfo(HWND window, int32_t bar, const SCROLLINFO& info, bool flat, bool redraw);
void IEEnableScrollBar(HWND window, int32_t bar, uint32_t arrows, bool flat);
void IEShowScrollBar(HWND window, int32_t bar, bool show, bool flat);
// The desktop is a remote session.
bool IEIsRemoteSession();
// The primary button (the right one when the buttons are swapped) is held.
bool IEIsLeftButtonDown();

// The lower-cased extension of a file name, without its "." unless keepDot.
std::string IELowerFileExt(const std::string& fileName, bool keepDot);
inline std::string IEGetFileExt(const std::string& fileName, bool keepDot) { return IELowerFileExt(fileName, keepDot); }
// The extension (a "." added when missing; false when shorter than 2
// characters) is one of a ";"-separated list of masks such as "*.tif;*.tiff".
bool IEExtInList(const std::string& extension, const std::string& list);
bool IEFileExtInList(const std::string& fileName, const std::string& list);
// The part up to and including, or after, the last "/", "\" or ":".
std::string IEExtractFilePathW(const std::string& fileName);
std::string IEExtractFileNameW(const std::string& fileName);
// An existing entry that is not a folder.
bool IEFileExists(const std::string& fileName);
inline bool IEFileExistsW(const std::string& fileName) { return IEFileExists(fileName); }
// Size and times (local, to the two seconds of the DOS format; the creation
// time is the write time where the system keeps none); false when not found.
bool IEGetFileInfo(const std::string& fileName, int64_t& size, TDateTime& created, TDateTime& written);

// Text extent on the canvas.
int32_t IETextWidthW(TCanvas* canvas, const std::string& text);
int32_t IETextHeightW(TCanvas* canvas, const std::string& text);
// The text shortened until it fits width: side 0 keeps the beginning and
// appends "...", side 1 keeps the end and puts "..." in front.
std::string IETruncateText(const std::string& text, int32_t side, TCanvas* canvas, int32_t width);
// The four strips of area around inner, black at transparency 150; nothing
// for an empty inner rectangle.
void IEDimOutsideRect(TCanvas* canvas, const RECT& area, const RECT& inner);
// The preview backgrounds: grey rows of a Gauss ramp, and a bell across the
// width with random grey steps.
void IEPaintStripedBackground(TBitmap* bitmap, int32_t width, int32_t height);
void IEPaintNoiseBackground(TBitmap* bitmap, int32_t width, int32_t height);
// Every entry of the bitmap's colour table is (i, i, i).
bool IEIsGrayPalette(TBitmap* bitmap);

// ---- wide-name files ----------------------------------------------------------------------

// Access, sharing, creation and attribute values of IECreateFileW.
constexpr uint32_t IE_GENERIC_READ = 0x80000000, IE_GENERIC_WRITE = 0x40000000;
constexpr uint32_t IE_FILE_SHARE_READ = 1, IE_FILE_SHARE_WRITE = 2;
constexpr uint32_t IE_CREATE_NEW = 1, IE_CREATE_ALWAYS = 2, IE_OPEN_EXISTING = 3, IE_OPEN_ALWAYS = 4,
                   IE_TRUNCATE_EXISTING = 5;
constexpr uint32_t IE_FILE_ATTRIBUTE_NORMAL = 0x80;

// Opens or creates a file the CreateFile way and answers its handle (a file
// descriptor for THandleStream; the caller closes it), -1 with the last
// error set on failure. The file system takes the name in UTF-8, so the NT
// and the older family open the same file. Sharing binds other openers that share the same way
// (TFileStream included): no sharing takes an exclusive lock, read sharing
// alone a shared one, write sharing none; a refused lock fails with
// ERROR_SHARING_VIOLATION and leaves an existing file untouched. Names with
// a NUL or an unpaired surrogate fail with ERROR_INVALID_NAME. Directories
// are not opened. The security, flags (beyond attributes) and template
// arguments have no counterpart here.
int IECreateFileW(const std::u16string& fileName, uint32_t access, uint32_t share, const void* security,
                  uint32_t disposition, uint32_t flagsAndAttributes, int templateFile);
// Creates (replacing) a file for reading and writing, shared with nobody.
int IEFileCreateW(const std::u16string& fileName);
// Opens an existing file by a framework open mode: access mode & 3 (0 read,
// 1 write, 2 both), sharing mode >> 4 (0 or 1 exclusive, 2 deny write,
// 3 deny read, 4 deny none); -1 without trying for any other mode.
int IEFileOpenW(const std::u16string& fileName, uint32_t mode);
