// The I/O unit's start-up and shut-down, image counts and the log.
#include <memory>

#include "imaging/codecs/giflzw.h"
#include "imaging/codecs/tifccitt.h"
#include "imaging/codecs/tiflzw.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_pdf.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_cmyk.h"
#include "imaging/io/imageryio_plugins.h"
#include "imaging/io/imageryio_url.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/textfile.h"

namespace {

std::string logFileName;
std::unique_ptr<TextFile> logFile;

void CloseLog() {
  if (logFile && logFile->IsOpen()) logFile->Close();
  logFile.reset();
}

}  // namespace

void IEInitializeImageryIO() {
  auto* settings = IEGetGlobalSettings();
  settings->GIFLZWDecoder = DecodeGIFLZW;
  settings->GIFLZWEncoder = EncodeGIFLZW;
  settings->TIFFLZWDecoder = DecodeTIFFLZW;
  settings->TIFFLZWEncoder = EncodeTIFFLZW;
  settings->ColorConvertProc = IEConvertColorFormat;
  IEInitializeCCITT();
  IERegisterBuiltinFormats();
  // The internet functions for URL loads.
  IEUnbindWinInet();
  IEBindWinInet();
  // The plug-in list.
  IECreateIOPluginList();
}

void IEFinalizeImageryIO() {
  IEFreeCMYKTransforms();
  // Plug-ins go before the registry, so no entry names a released library.
  IEUnloadIOPlugins();
  IEFreeFileFormats();
  IEEndAVIFileLibrary();
  IEFinalizeCCITT();
  IEUnbindWinInet();
  CloseLog();
  logFileName.clear();
  IEFreeIOPluginList();
}

int32_t IEFileFormatFromExtension(const std::string& extension) {
  if (const TIEFileFormatInfo* entry = IEFindFormatByExtension(extension)) return entry->FileTypeId;
  std::string dotted = extension;
  if (dotted.empty() || dotted[0] != '.') dotted.insert(0, ".");
  if (IEExtInList(dotted, "*.mpe;*.mpg;*.mpeg;")) return 23;
  if (IEExtInList(dotted, "*.wmv;")) return 22;
  return 0;
}

namespace {

// The frames of a video file; 0 for what cannot be opened. AVI files count
// through the AVI reader; this build reads no other video files.
int32_t CountVideoFrames(const std::string& fileName) {
  if (IELowerExtension(fileName) != ".avi") return 0;
  TImageryIO video(nullptr);
  return video.OpenAVIFile(fileName);
}

}  // namespace

int32_t IEGetFileImageCount(const std::string& fileName) {
  const TIEFileFormatInfo* entry = IEFindFormatByExtension(IELowerExtension(fileName));
  if (!entry || entry->FileTypeId == 15) return CountVideoFrames(fileName);
  const TIECodecEntry* codec = IEFindCodec(entry->FileTypeId);
  if (codec && codec->ImageCount) {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    return codec->ImageCount(file);
  }
  switch (entry->FileTypeId) {
    case 18: case 8196:  // PDF, also through the plug-in format list
      return IEPDFGetPageCount(fileName);
    case 1: case 2: case 6: case 19: case 29:
      return 0;  // a multi-image format that this build cannot count
    default:
      return 1;
  }
}

void IESetLogFileName(const std::string& fileName) {
  CloseLog();
  logFileName = fileName;
}

void IEWriteLog(const std::string& message) {
  if (logFileName.empty()) return;
  CloseLog();
  logFile = std::make_unique<TextFile>(logFileName);
  logFile->Append();
  const TDateTime now = Now();
  logFile->Writeln(DateToStr(now) + " " + TimeToStr(now) + " : " + message);
  logFile->Flush();
}
