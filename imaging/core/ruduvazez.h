// Shared routines of the image core: bits and byte order, row lengths,
// geometry and angles, fitting, null-terminated text, number and date
// parsing, sRGB <-> CIE L*a*b*, the PostScript text encoders, processor and
// system probes.
//
// Sections: bits and bytes | geometry | angles and fitting | text | colour |
// encoders | system
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

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

// ---- encoders -------------------------------------------------------------------------

// One ASCII85 group of count (1..4) bytes; advances both pointers and
// returns the characters written.
int32_t IEEncodeASCII85Group(const uint8_t*& source, int32_t count, char*& output);
// All bytes in groups, lines broken after 75..79 characters, then "~>" CR LF.
// groupChars grows by the group characters; returns every character written.
int32_t IEEncodeASCII85(const uint8_t*& source, int32_t count, char*& output, int32_t& groupChars);
// Room IEEncodeASCII85 needs for count bytes.
size_t IEASCII85Capacity(size_t count);
// The PostScript RunLengthDecode encoding, ended by 128; returns the bytes written.
int32_t IEEncodeRunLength(const uint8_t* source, int32_t length, uint8_t* destination);
// Room IEEncodeRunLength needs for length bytes.
size_t IERunLengthCapacity(size_t length);

// ---- system ---------------------------------------------------------------------------

// The processor offers CPUID and reports MMX.
bool IEHasMMX();
constexpr uint32_t IE_VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr uint32_t IE_VER_PLATFORM_WIN32_NT = 2;
// Version code 0..10 of a Windows version answer.
uint8_t IEWindowsVersionCode(uint32_t platformId, uint32_t major, uint32_t minor);
// The version code of the running system.
uint8_t IEGetWindowsVersion();
