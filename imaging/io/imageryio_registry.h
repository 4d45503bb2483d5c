// The format registry: one entry per image file format the I/O component
// can name, held in the settings' FileFormats list. The built-in formats are
// registered at the I/O start-up; plug-in formats come and go with their
// libraries.
//
// Sections: progress record | registry entry | registry
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/rtl/object.h"

class TStream;
class TIEBitmap;
class TIOParamsVals;

// ---- progress record ----------------------------------------------------------------

// What every reader and writer receives: the progress callback, its sender,
// the codec's own working fields and the caller's abort flag. A codec sets
// the flag on bad data and stops when it finds it set.
struct TIEProgressRecord {
  std::function<void(TObject* sender, int32_t percent)> fOnProgress;
  TObject* Sender = nullptr;
  int32_t val = 0, tot = 0;     // as a rule: rows done, and a spare
  double per1 = 0, per2 = 0;    // as a rule: 100 / rows
  std::atomic<bool>* Aborting = nullptr;

  bool Aborted() const { return Aborting && Aborting->load(); }
  void Abort() const {
    if (Aborting) Aborting->store(true);
  }
  // Calls the callback, when set, with the percentage.
  void Report(int32_t percent) const {
    if (fOnProgress) fOnProgress(Sender, percent);
  }
};

// ---- registry entry ----------------------------------------------------------------

using TIEReadProc = void (*)(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                             TIEProgressRecord& progress);
using TIEWriteProc = void (*)(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params,
                              TIEProgressRecord& progress);
using TIETryProc = bool (*)(TStream& stream, int32_t fileTypeId);

// Preview pages of the parameters dialog.
constexpr uint16_t ppJPEG = 4, ppTIFF = 8, ppGIF = 16, ppBMP = 32, ppPCX = 64, ppPNG = 128, ppTGA = 256,
                   ppJ2000 = 512;

class TIEFileFormatInfo : public TObject {
public:
  int32_t FileTypeId = 0;
  std::string DisplayName;
  std::string ExtensionList;     // "TIF;TIFF;..." without dots
  std::string DefaultExtension;  // lower case, no dot
  bool BuiltIn = false;
  uint16_t PreviewPages = 0;
  TIEReadProc ReadProc = nullptr;    // null: cannot be read
  TIEWriteProc WriteProc = nullptr;  // null: cannot be written
  TIETryProc TryProc = nullptr;      // content test, asked by detection
};

// The markers the built-in entries carry: they read and write nothing (the
// component reads and writes built-in formats through its codec table) and
// their content test always answers false.
void IEBuiltinReadMarker(TStream&, TIEBitmap*, TIOParamsVals&, bool, TIEProgressRecord&);
void IEBuiltinWriteMarker(TStream&, TIEBitmap*, TIOParamsVals&, TIEProgressRecord&);
bool IEBuiltinTryMarker(TStream&, int32_t);

// ---- registry --------------------------------------------------------------------

// Builds the registry with the built-in formats (the I/O start-up).
void IERegisterBuiltinFormats();
// Frees every entry and the list; FileFormats becomes null.
void IEFreeFileFormats();
// The entry of the id; null for 0 and for an id without entry.
TIEFileFormatInfo* IEFindFormatById(int32_t id);
// The entry listing the extension (one leading "." allowed, case ignored).
TIEFileFormatInfo* IEFindFormatByExtension(const std::string& extension);
int32_t IEFileFormatExtensionCount(int32_t id);
// The index-th extension of the entry as stored; empty past the end.
std::string IEFileFormatExtension(int32_t id, int32_t index);
// Appends an entry, which the registry then owns; an empty DefaultExtension
// becomes the first extension of the list.
void IERegisterFileFormat(TIEFileFormatInfo* entry);
// Removes and frees the entry of the id; nothing when there is none.
void IEUnregisterFileFormat(int32_t id);
// GIF reads and writes only with the LZW routines in the settings' slots.
void IEUpdateGIFAvailability();
// The number of entries, and the index-th in registry order (null past the end).
int32_t IEFileFormatCount();
TIEFileFormatInfo* IEFileFormatAt(int32_t index);
