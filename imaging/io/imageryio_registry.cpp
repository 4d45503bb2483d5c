// The format registry over the settings' FileFormats list.
#include "imaging/io/imageryio_registry.h"

#include "imaging/core/iesettings.h"
#include "imaging/io/iewic.h"
#include "platform/rtl/lists.h"
#include "platform/rtl/sysutils.h"

namespace {

struct TBuiltinRow {
  int32_t id;
  const char* name;
  const char* extensions;
  const char* defaultExtension;
  uint16_t pages;
  bool readable, writable;
};

// The built-in formats in registry order. GIF's
// routines are cleared by IEUpdateGIFAvailability while the LZW slots are empty.
constexpr TBuiltinRow kBuiltinFormats[] = {
    {1, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", "tiff", ppTIFF, true, true},
    {2, "CompuServe Bitmap", "GIF", "gif", ppGIF, true, true},
    {3, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", "jpeg", ppJPEG, true, true},
    {4, "PaintBrush", "PCX", "pcx", ppPCX, true, true},
    {5, "Windows Bitmap", "BMP;DIB;RLE", "bmp", ppBMP, true, true},
    {21, "Raw Bitmap", "", "", 0, true, true},
    {6, "Windows Icon", "ICO", "ico", 0, true, true},
    {7, "Windows Cursor", "CUR", "cur", 0, true, false},
    {8, "Portable Network Graphics", "PNG", "png", ppPNG, true, true},
    {28, "DICOM Bitmap", "DCM;DIC;DICOM;V2", "dicom", 0, true, true},
    {9, "Windows Metafile", "WMF", "wmf", 0, true, false},
    {10, "Enhanced Windows Metafile", "EMF", "emf", 0, true, false},
    {11, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", "targa", ppTGA, true, true},
    {12, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", "pxm", 0, true, true},
    {16, "Wireless Bitmap", "WBMP", "wbmp", 0, true, true},
    {13, "JPEG2000", "JP2", "jp2", ppJ2000, true, true},
    {14, "JPEG2000 Code Stream", "J2K;JPC;J2C", "j2k", ppJ2000, true, true},
    {17, "PostScript Level 2", "PS;EPS", "eps", 0, false, true},
    {18, "Adobe PDF", "PDF", "pdf", 0, false, true},
    {19, "Multipage PCX", "DCX", "dcx", 0, true, true},
    {20, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2", "raw", 0, true, false},
    {24, "Photoshop PSD", "PSD;PSB", "psd", 0, true, true},
    {25, "Vectorial objects", "IEV", "iev", 0, true, true},
    {26, "Layers", "LYR", "lyr", 0, true, true},
    {27, "Layers and objects", "ALL", "all", 0, true, true},
    {29, "Microsoft HD Photo", "WDP;HDP;JXR", "hdp", 0, true, true},
};

constexpr int32_t kHDPhoto = 29;

TList* Formats() { return IEGetGlobalSettings()->FileFormats; }

// The index-th piece of a ";"-separated list; empty past the end.
std::string ListPiece(const std::string& list, int32_t index) {
  size_t start = 0;
  for (int32_t i = 0; i < index; ++i) {
    const size_t semicolon = list.find(';', start);
    if (semicolon == std::string::npos) return std::string();
    start = semicolon + 1;
  }
  return list.substr(start, list.find(';', start) - start);
}

}  // namespace

void IEBuiltinReadMarker(TStream&, TIEBitmap*, TIOParamsVals&, bool, TIEProgressRecord&) {}
void IEBuiltinWriteMarker(TStream&, TIEBitmap*, TIOParamsVals&, TIEProgressRecord&) {}
bool IEBuiltinTryMarker(TStream&, int32_t) { return false; }

void IERegisterBuiltinFormats() {
  IEFreeFileFormats();
  IEGetGlobalSettings()->FileFormats = new TList;
  for (const TBuiltinRow& row : kBuiltinFormats) {
    // HD Photo needs the platform's imaging component.
    if (row.id == kHDPhoto && !IEWICAvailable()) continue;
    auto* entry = new TIEFileFormatInfo;
    entry->FileTypeId = row.id;
    entry->DisplayName = row.name;
    entry->ExtensionList = row.extensions;
    entry->DefaultExtension = row.defaultExtension;
    entry->PreviewPages = row.pages;
    entry->BuiltIn = true;
    entry->ReadProc = row.readable ? IEBuiltinReadMarker : nullptr;
    entry->WriteProc = row.writable ? IEBuiltinWriteMarker : nullptr;
    entry->TryProc = IEBuiltinTryMarker;
    IERegisterFileFormat(entry);
  }
}

void IEFreeFileFormats() {
  TList* list = Formats();
  if (!list) return;
  for (int32_t i = 0; i < list->Count(); ++i) delete static_cast<TIEFileFormatInfo*>(list->Items(i));
  delete list;
  IEGetGlobalSettings()->FileFormats = nullptr;
}

int32_t IEFileFormatCount() { return Formats() ? Formats()->Count() : 0; }

TIEFileFormatInfo* IEFileFormatAt(int32_t index) {
  return index >= 0 && index < IEFileFormatCount() ? static_cast<TIEFileFormatInfo*>(Formats()->Items(index))
                                                     : nullptr;
}

TIEFileFormatInfo* IEFindFormatById(int32_t id) {
  if (id == 0) return nullptr;
  for (int32_t i = 0; i < IEFileFormatCount(); ++i)
    if (IEFileFormatAt(i)->FileTypeId == id) return IEFileFormatAt(i);
  return nullptr;
}

TIEFileFormatInfo* IEFindFormatByExtension(const std::string& extension) {
  std::string wanted = LowerCase(extension);
  if (!wanted.empty() && wanted[0] == '.') wanted.erase(0, 1);
  if (wanted.empty()) return nullptr;
  for (int32_t i = 0; i < IEFileFormatCount(); ++i) {
    const TIEFileFormatInfo* entry = IEFileFormatAt(i);
    const int32_t count = IEFileFormatExtensionCount(entry->FileTypeId);
    for (int32_t j = 0; j < count; ++j)
      if (LowerCase(ListPiece(entry->ExtensionList, j)) == wanted) return IEFileFormatAt(i);
  }
  return nullptr;
}

int32_t IEFileFormatExtensionCount(int32_t id) {
  int32_t count = 0;
  while (!IEFileFormatExtension(id, count).empty()) ++count;
  return count;
}

std::string IEFileFormatExtension(int32_t id, int32_t index) {
  const TIEFileFormatInfo* entry = IEFindFormatById(id);
  return entry && index >= 0 ? ListPiece(entry->ExtensionList, index) : std::string();
}

void IERegisterFileFormat(TIEFileFormatInfo* entry) {
  if (entry->DefaultExtension.empty()) entry->DefaultExtension = ListPiece(entry->ExtensionList, 0);
  if (!Formats()) IEGetGlobalSettings()->FileFormats = new TList;
  Formats()->Add(entry);
}

void IEUnregisterFileFormat(int32_t id) {
  TIEFileFormatInfo* entry = IEFindFormatById(id);
  if (!entry) return;
  Formats()->Remove(entry);
  delete entry;
}

void IEUpdateGIFAvailability() {
  TIEFileFormatInfo* gif = IEFindFormatById(2);
  if (!gif) return;
  const auto* settings = IEGetGlobalSettings();
  gif->ReadProc = settings->GIFLZWDecoder ? IEBuiltinReadMarker : nullptr;
  gif->WriteProc = settings->GIFLZWEncoder ? IEBuiltinWriteMarker : nullptr;
}

