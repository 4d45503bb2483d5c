// The image library's process-wide choices: one object of plain public
// fields, created on first use and reached through IEGetGlobalSettings. A
// caller changes a field directly; every later reader sees the new value.
//
// Sections: shared enumerations | word transition parameters | LZW routine
// types | settings
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/win/wintypes.h"

class TFont;
class TPen;
class TList;
class TStream;
class TIOParamsVals;

// ---- shared enumerations ------------------------------------------------------

// Resampling filters; the order is stored in files.
enum TResampleFilter : uint8_t {
  rfNone, rfTriangle, rfHermite, rfBell, rfBSpline, rfLanczos3, rfMitchell, rfNearest, rfLinear,
  rfFastLinear, rfBilinear, rfBicubic, rfProjectBW, rfProjectWB, rfWICNearestNeighbor, rfWICLinear,
  rfWICCubic, rfWICFant
};

// Background styles of the viewers.
enum TIEBackgroundStyle : uint8_t {
  iebsSolid, iebsHorizontal, iebsVertical, iebsFDiagonal, iebsBDiagonal, iebsCross, iebsDiagCross,
  iebsChessboard, iebsDiagonals, iebsCropped, iebsCropShadow, iebsGradient, iebsSoftShadow,
  iebsPhotoLike
};

// Measurement units of the vector layer.
enum TIEUnits : uint8_t {
  ieuPIXELS, ieuINCHES, ieuKM, ieuMETERS, ieuCENTIMETERS, ieuMILLIMETERS, ieuMICRONS, ieuNANOMETERS,
  ieuFEET, ieuYARDS, ieuMILES
};
constexpr int IE_UNIT_COUNT = ieuMILES + 1;

using TIEColor = uint32_t;              // the framework's colour value
using TIEShortCut = uint16_t;           // key code plus modifier bits
constexpr TIEShortCut scIECtrl = 0x4000;
constexpr TIEColor clIEBtnFace = 0xFF00000F;

// ---- word transition parameters -------------------------------------------------

struct TIEWordTransitionParams {
  std::string Text = "A";
  std::string FontName = "Arial";
  uint8_t FontStyle = 1;  // bold
  uint16_t MaxHeight = 200;
};

// ---- LZW routine types -----------------------------------------------------------

// The shapes of the four LZW slots; the codecs' own routines are in
// imaging/codecs/tiflzw.h and imaging/codecs/giflzw.h, which say how they are
// called. State is the caller's handle, nil before the first call.
using TIETIFFLZWDecoder = uint8_t* (*)(const uint8_t* data, size_t dataSize, int32_t rowBytes, void*& state,
                                       int32_t fillOrder);
using TIETIFFLZWEncoder = void (*)(const uint8_t* data, int32_t count, TStream& stream, void*& state);
using TIEGIFLZWDecoder = void (*)(TStream& stream, int32_t height, int32_t width, bool interlaced, uint8_t* pixels);
using TIEGIFLZWEncoder = void (*)(TStream& stream, int32_t height, int32_t width, bool interlaced,
                                  const uint8_t* pixels, int32_t bitsPerPixel);

// The row converter of the codecs: count pixels of source in sourceLayout
// into dest in destLayout (the layout codes of ruduvazez_icc.h), with the
// image's parameters (embedded profiles) or null.
using TIEConvertColorFunction = void (*)(const void* source, int32_t sourceLayout, void* dest,
                                         TIOParamsVals* params, int32_t count, int32_t destLayout);

// ---- settings -------------------------------------------------------------------

class TIEImageryGlobalSettings {
public:
  TIEImageryGlobalSettings();
  ~TIEImageryGlobalSettings();
  TIEImageryGlobalSettings(const TIEImageryGlobalSettings&) = delete;
  TIEImageryGlobalSettings& operator=(const TIEImageryGlobalSettings&) = delete;

  uint8_t LanguageIndex = 0;  // 0 automatic, 1 English, 2..26 other rows
  int32_t CoreCount = -1;
  uint8_t WindowsVersion;
  bool IsWindowsNT;
  TResampleFilter PreviewZoomFilter = rfFastLinear;
  TResampleFilter DefaultResampleFilter = rfFastLinear;
  void (*OnPlaceWindow)(HWND window) = nullptr;
  TFont* SharedFont = nullptr;    // owned by the font routine's unit
  int64_t MemoryThreshold = -1;
  bool TempFileFallback = true;
  bool SegmentedAllocation = true;
  bool GDIPlusAllowed = true;
  bool DialogButtonGlyphs = false;
  TIEBackgroundStyle DialogBackgroundStyle = iebsSolid;
  TIEColor DialogBackgroundColor = clIEBtnFace;
  std::string VideoExtensions = "mpg,mpeg,wmv,avi";
  int32_t ScreenBitsPerPixel = 0;  // this and the other screen values: read at creation
  bool IsRemoteSession = false;
  int32_t ScreenDPIX = 0, ScreenDPIY = 0;
  int32_t DefaultDPIX = 300, DefaultDPIY = 300;
  int32_t EdgeWidth = 0, EdgeHeight = 0;
  int32_t BorderWidth = 0, BorderHeight = 0;
  int32_t PixelGridZoom = 400;
  // Made here; the view unit sets its look and its stop routine frees it
  // (PixelGridPen.reset()). One owner, so the pen cannot be freed twice; a
  // pen still held when the settings go is freed with them.
  std::unique_ptr<TPen> PixelGridPen;
  TIEColor GridColor = 0xA0A0A0;
  std::string VideoFileFilter =
      "*.AVI;*.MPG;*.MPE;*.MPEG;*.WMV;*.ASF;*.IVF;*.WM;*.MP4;*.MOV;*.QT;*.RM;*.M2TS;*.MTS;*.MOD;";
  // The LZW codecs; empty until the I/O start-up fills them. Every new
  // parameter set copies them; empty means that LZW data cannot be coded.
  TIEGIFLZWDecoder GIFLZWDecoder = nullptr;
  TIEGIFLZWEncoder GIFLZWEncoder = nullptr;
  TIETIFFLZWDecoder TIFFLZWDecoder = nullptr;
  TIETIFFLZWEncoder TIFFLZWEncoder = nullptr;
  TList* FileFormats = nullptr;   // owned by the format registry
  // Set by the I/O start-up to its IEConvertColorFormat; empty before.
  TIEConvertColorFunction ColorConvertProc = nullptr;
  bool CMYKThroughICC = true;
  bool FileExistsByRTL = false;
  int32_t MetafileMaxSize = 8000;
  std::string TempFolder;         // empty: the system's temporary folder
  bool ApplyEmbeddedICC = false;
  int32_t QuantizerMethod = -1;
  int32_t QuantizerQuality = -1;
  uint16_t AnnotTIFFTag = 40101;
  bool RelativeStreamPositions = false;
  TResampleFilter TransitionResampleFilter = rfNone;
  int32_t GrayWeightRed = 21, GrayWeightGreen = 71, GrayWeightBlue = 8;
  uint8_t AdobeRGBInteropMode = 2;
  TIEWordTransitionParams WordTransition;
  bool TransitionAltDrawing = false;
  bool ColorManagedCMYKDisplay = true;
  int32_t PreviewDialogWidth = 0, PreviewDialogHeight = 0;
  std::string CustomColors;
  TIEShortCut ShortcutAlignLeft = scIECtrl | 'L';
  TIEShortCut ShortcutAlignCenter = scIECtrl | 'E';
  TIEShortCut ShortcutAlignRight = scIECtrl | 'R';
  TIEShortCut ShortcutJustify = scIECtrl | 'J';
  TIEShortCut ShortcutCopy = scIECtrl | 'C';
  TIEShortCut ShortcutCut = scIECtrl | 'X';
  TIEShortCut ShortcutPaste = scIECtrl | 'V';
  TIEShortCut ShortcutFont = scIECtrl | 'F';
  TIEShortCut ShortcutBold = scIECtrl | 'B';
  TIEShortCut ShortcutItalic = scIECtrl | 'I';
  TIEShortCut ShortcutUnderline = scIECtrl | 'U';
  TIEShortCut ShortcutColor = scIECtrl | 'G';
  std::array<std::string, IE_UNIT_COUNT> UnitNames = {
      "pixels", "inches", "km", "mt", "cm", "mm", "microns", "nanometers", "feet", "yards", "miles"};
};

// The one settings object, created on the first call (and on the first call
// after IEFreeGlobalSettings). Never null.
TIEImageryGlobalSettings* IEGetGlobalSettings();
// Frees the object; the next IEGetGlobalSettings makes a new one.
void IEFreeGlobalSettings();
// True on the NT family: every version code above 2.
constexpr bool IEIsWindowsNTVersion(uint8_t versionCode) { return versionCode > 2; }
