// Video for Windows. DrawDib copies a device-independent bitmap to a device
// context, unscaled or stretched. Here the screen always has true colour, so
// DrawDib is the plain DIB copy of the GDI and realizing its palette changes
// nothing.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win/gdi.h"
#include "platform/win/unknwn.h"

using HDRAWDIB = HANDLE;

constexpr UINT DDF_HALFTONE = 0x1000;

// A DrawDib context; null on failure.
HDRAWDIB DrawDibOpen();
BOOL DrawDibClose(HDRAWDIB hdd);
// Draws the DIB's source rectangle (rows counted from the top of the picture)
// onto the destination rectangle; -1 sizes mean the source's (destination)
// or the whole DIB (source).
BOOL DrawDibDraw(HDRAWDIB hdd, HDC dc, int xDst, int yDst, int dxDst, int dyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int dxSrc, int dySrc, UINT flags);
// Answers the number of palette entries that changed (always 0 here).
UINT DrawDibRealize(HDRAWDIB hdd, HDC dc, BOOL background);

// ---- AVI files ----------------------------------------------------------------------
// The file functions of Video for Windows read AVI files: the stream headers
// as the file states them, and single frames, decompressed when needed, as
// packed DIBs. Uncompressed streams keep their bit count and colour table;
// compressed ones are decoded (libavcodec) to 24 bits.

class IAVIFile;
class IAVIStream;
class IGetFrame;
using PAVIFILE = IAVIFile*;
using PAVISTREAM = IAVIStream*;
using PGETFRAME = IGetFrame*;

constexpr DWORD VfwFourCC(char a, char b, char c, char d) {
  return static_cast<DWORD>(static_cast<uint8_t>(a)) | static_cast<DWORD>(static_cast<uint8_t>(b)) << 8 |
         static_cast<DWORD>(static_cast<uint8_t>(c)) << 16 | static_cast<DWORD>(static_cast<uint8_t>(d)) << 24;
}
constexpr DWORD streamtypeVIDEO = VfwFourCC('v', 'i', 'd', 's');
constexpr UINT OF_READ = 0;

constexpr HRESULT AVIERR_OK = 0;
constexpr HRESULT AVIERR_UNSUPPORTED = static_cast<HRESULT>(0x80044065u);
constexpr HRESULT AVIERR_BADFORMAT = static_cast<HRESULT>(0x80044066u);
constexpr HRESULT AVIERR_MEMORY = static_cast<HRESULT>(0x80044067u);
constexpr HRESULT AVIERR_BADPARAM = static_cast<HRESULT>(0x8004406Au);
constexpr HRESULT AVIERR_BADHANDLE = static_cast<HRESULT>(0x8004406Cu);
constexpr HRESULT AVIERR_FILEOPEN = static_cast<HRESULT>(0x8004406Fu);
constexpr HRESULT AVIERR_NOCOMPRESSOR = static_cast<HRESULT>(0x80044071u);
constexpr HRESULT AVIERR_NODATA = static_cast<HRESULT>(0x80044073u);
constexpr HRESULT AVIERR_NOTINITIALIZED = static_cast<HRESULT>(0x800401F0u);  // CO_E_NOTINITIALIZED

// The wide-character stream information record (204 bytes).
struct AVISTREAMINFOW {
  DWORD fccType = 0;
  DWORD fccHandler = 0;
  DWORD dwFlags = 0;
  DWORD dwCaps = 0;
  WORD wPriority = 0;
  WORD wLanguage = 0;
  DWORD dwScale = 0;
  DWORD dwRate = 0;  // dwRate / dwScale = frames per second
  DWORD dwStart = 0;
  DWORD dwLength = 0;  // in frames
  DWORD dwInitialFrames = 0;
  DWORD dwSuggestedBufferSize = 0;
  DWORD dwQuality = 0;
  DWORD dwSampleSize = 0;
  RECT rcFrame{};
  DWORD dwEditCount = 0;
  DWORD dwFormatChangeCount = 0;
  char16_t szName[64] = {};
};
static_assert(sizeof(AVISTREAMINFOW) == 204);

// Counted: every AVIFileInit needs its AVIFileExit. Files open only while
// the library is initialised.
void AVIFileInit();
void AVIFileExit();
// Opens an AVI file (UTF-8 name) for reading (mode OF_READ; handler must be
// null). AVIERR_FILEOPEN for a file that cannot be opened, AVIERR_BADFORMAT
// for one that is no readable AVI file, AVIERR_NOTINITIALIZED outside
// AVIFileInit/AVIFileExit.
HRESULT AVIFileOpenW(PAVIFILE* file, const std::string& fileName, UINT mode, const CLSID* handler);
// The file's index-th stream of the type (streamtypeVIDEO); AVIERR_NODATA
// when there is none. The stream keeps its file alive.
HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD type, LONG index);
// Copies up to size bytes of the stream's information record.
HRESULT AVIStreamInfoW(PAVISTREAM stream, AVISTREAMINFOW* info, LONG size);
// A frame decompressor for the stream; wanted must be null (the best format:
// the stream's own for uncompressed video, 24 bits otherwise). Null when the
// stream cannot be decompressed.
PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted);
// Frame pos (counted from 0) as a packed DIB (header, colour table, bottom-up
// rows) that stays valid until the next call or the close; null when the
// frame cannot be had.
const BITMAPINFOHEADER* AVIStreamGetFrame(PGETFRAME getFrame, LONG pos);
HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame);
// Release a reference; the remaining count.
ULONG AVIStreamRelease(PAVISTREAM stream);
ULONG AVIFileRelease(PAVIFILE file);
