// The plug-in host: loading, registration, the callbacks a plug-in reads and
// writes through, and the read, write and try routines of plug-in formats.
#include "imaging/io/imageryio_plugins.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

#include "imaging/codecs/codecframes.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/ieraw.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int32_t kCameraRawId = 4096;
constexpr int32_t kFirstPluginId = 4097;
constexpr int32_t kParamsBuffer = 8192, kImageBuffer = 1048576;

std::unique_ptr<std::vector<std::unique_ptr<TIEIOPlugin>>> plugins;

// ---- callbacks -------------------------------------------------------------------------

// What the callbacks of one operation work on; handed to the plug-in as the
// callback context and given back with every call.
struct TCallbackContext {
  const TIEProgressRecord* Progress = nullptr;  // null: no progress event
  TStream* Stream = nullptr;
  TIOParamsVals* Params = nullptr;               // null in the content test
  int64_t Written = 0;
  bool ShortWrite = false;
};

TCallbackContext& Context(void* callbackContext) { return *static_cast<TCallbackContext*>(callbackContext); }

void ProgressCallback(int32_t percent, void* callbackContext) {
  if (const TIEProgressRecord* progress = Context(callbackContext).Progress) progress->Report(percent);
}

int32_t ReadCallback(void* buffer, int32_t count, void* callbackContext) {
  if (!buffer || count <= 0) return 0;
  return Context(callbackContext).Stream->Read(buffer, count);
}

int32_t WriteCallback(const void* buffer, int32_t count, void* callbackContext) {
  TCallbackContext& context = Context(callbackContext);
  const int32_t written = buffer && count > 0 ? context.Stream->Write(buffer, count) : 0;
  context.Written += written;
  if (written < count) context.ShortWrite = true;
  return written;
}

void SeekCallback(int32_t position, void* callbackContext) { Context(callbackContext).Stream->SetPosition(position); }

int64_t TellCallback(void* callbackContext) { return Context(callbackContext).Stream->Position(); }

int64_t SizeCallback(void* callbackContext) { return Context(callbackContext).Stream->Size(); }

void GetParameterCallback(const char* name, char* buffer, void* callbackContext) {
  TIOParamsVals* params = Context(callbackContext).Params;
  if (!params || !name || !buffer) return;
  const std::string value = params->GetByName(name);
  const size_t length = std::min<size_t>(value.size(), IEX_PARAMETER_BUFFER_SIZE - 1);
  std::memcpy(buffer, value.data(), length);
  buffer[length] = '\0';
}

void SetParameterCallback(const char* name, const char* value, void* callbackContext) {
  TIOParamsVals* params = Context(callbackContext).Params;
  if (params && name && value) params->SetByName(name, value);
}

// ---- one operation -------------------------------------------------------------------------

// One context of a plug-in format, with its lock held (unless the plug-in is
// thread-safe) from before it opens to after it closes.
class TPluginSession {
public:
  TPluginSession(TIEIOPlugin& plugin, TCallbackContext& callbacks) : plugin_(plugin), entries_(plugin.Entries()) {
    if (plugin_.Lock) plugin_.Lock->Enter();
    try {
      context_ = entries_.Initialize(plugin_.FormatIndex);
      opened_ = true;
      entries_.SetCallBacks(context_, ProgressCallback, ReadCallback, WriteCallback, SeekCallback, TellCallback,
                            SizeCallback, GetParameterCallback, SetParameterCallback, &callbacks);
    } catch (...) {
      Close();
      throw;
    }
  }
  ~TPluginSession() { Close(); }
  TPluginSession(const TPluginSession&) = delete;
  TPluginSession& operator=(const TPluginSession&) = delete;

  const TIEPluginEntries& Entries() const { return entries_; }
  void* Handle() const { return context_; }
  void* Info(int32_t code) const { return entries_.GetInfo(context_, code); }
  // The integer at the code; null gives the fallback.
  int32_t IntInfo(int32_t code, int32_t fallback = 0) const {
    const void* value = Info(code);
    return value ? *static_cast<const int32_t*>(value) : fallback;
  }
  void SetInfo(int32_t code, void* value) { entries_.SetInfo(context_, code, value); }

private:
  void Close() {
    if (opened_) entries_.Finalize(context_);
    opened_ = false;
    if (plugin_.Lock) plugin_.Lock->Leave();
  }

  TIEIOPlugin& plugin_;
  const TIEPluginEntries& entries_;
  void* context_ = nullptr;
  bool opened_ = false;
};

// ---- registration ------------------------------------------------------------------------

template <typename T>
bool Resolve(HMODULE module, const char* name, T& entry) {
  entry = reinterpret_cast<T>(GetProcAddress(module, name));
  return entry != nullptr;
}

bool ResolveEntries(HMODULE module, TIEPluginEntries& e) {
  return Resolve(module, "IEX_ExecuteRead", e.ExecuteRead) && Resolve(module, "IEX_ExecuteWrite", e.ExecuteWrite) &&
         Resolve(module, "IEX_ExecuteTry", e.ExecuteTry) && Resolve(module, "IEX_AddParameter", e.AddParameter) &&
         Resolve(module, "IEX_SetCallBacks", e.SetCallBacks) && Resolve(module, "IEX_Initialize", e.Initialize) &&
         Resolve(module, "IEX_Finalize", e.Finalize) && Resolve(module, "IEX_GetInfo", e.GetInfo) &&
         Resolve(module, "IEX_SetInfo", e.SetInfo);
}

std::string TextInfo(const TIEPluginEntries& entries, void* context, int32_t code) {
  const char* text = static_cast<const char*>(entries.GetInfo(context, code));
  return text ? std::string(text) : std::string();
}

int32_t IntInfo(const TIEPluginEntries& entries, void* context, int32_t code) {
  const void* value = entries.GetInfo(context, code);
  return value ? *static_cast<const int32_t*>(value) : 0;
}

bool IdTaken(int32_t id) {
  return std::any_of(plugins->begin(), plugins->end(), [id](const auto& p) { return p->FormatId == id; });
}

// 4096 for the camera-raw library's first format (one library only), else
// 4097 + the records before it: ids stay unique.
int32_t NewFormatId(const std::string& fileName, int32_t formatIndex) {
  if (formatIndex == 0 && IEIsCameraRawPluginName(fileName) && !IdTaken(kCameraRawId)) return kCameraRawId;
  return kFirstPluginId + static_cast<int32_t>(plugins->size());
}

TIEFileFormatInfo* NewRegistryEntry(const TIEIOPlugin& plugin, const TIEPluginEntries& entries, void* context) {
  auto* entry = new TIEFileFormatInfo;
  entry->FileTypeId = plugin.FormatId;
  entry->DisplayName = TextInfo(entries, context, IEX_INFO_DISPLAY_NAME);
  entry->ExtensionList = TextInfo(entries, context, IEX_INFO_EXTENSIONS);
  entry->DefaultExtension = entry->ExtensionList.substr(0, entry->ExtensionList.find(';'));
  entry->BuiltIn = false;
  if (plugin.Flags & IEX_CAN_READ) {
    entry->ReadProc = IEPluginReadStream;
    entry->TryProc = IEPluginTryStream;
  }
  if (plugin.Flags & IEX_CAN_WRITE) entry->WriteProc = IEPluginWriteStream;
  return entry;
}

// Loads the library for one format and registers it; the format count the
// library reports, or -1 when it could not be loaded.
int32_t RegisterFormat(const std::string& fileName, int32_t formatIndex, int32_t& id) {
  HMODULE module = LoadLibraryA(fileName.c_str());
  if (!module) return -1;
  auto plugin = std::make_unique<TIEIOPlugin>();
  plugin->UseCDecl = GetProcAddress(module, "IEX_UseCDECL") != nullptr;
  TIEPluginEntries& entries = plugin->UseCDecl ? plugin->CdeclEntries : plugin->StdcallEntries;
  if (!ResolveEntries(module, entries)) {
    FreeLibrary(module);
    return -1;
  }
  void* context = entries.Initialize(formatIndex);
  const int32_t count = IntInfo(entries, context, IEX_INFO_FORMAT_COUNT);
  plugin->Module = module;
  plugin->FileName = fileName;
  plugin->FormatId = NewFormatId(fileName, formatIndex);
  plugin->FormatIndex = formatIndex;
  plugin->Flags = static_cast<uint32_t>(IntInfo(entries, context, IEX_INFO_CAPABILITIES));
  if (!(plugin->Flags & IEX_THREAD_SAFE)) plugin->Lock = std::make_unique<TCriticalSection>();
  TIEFileFormatInfo* entry = NewRegistryEntry(*plugin, entries, context);
  id = plugin->FormatId;
  plugins->push_back(std::move(plugin));
  IERegisterFileFormat(entry);
  entries.Finalize(context);
  return count;
}

// ---- reading ----------------------------------------------------------------------------

void SetThumbnailFlags(TIOParamsVals& params, bool value) {
  params.GETTHUMBNAIL = params.JPEG_GETEXIFTHUMBNAIL = params.RAW_GETEXIFTHUMBNAIL = value;
}

bool HasThumbnail(const TIOParamsVals& params) { return params.EXIFThumbnail && !params.EXIFThumbnail->IsEmpty(); }

// The embedded EXIF thumbnail, else (camera raw) the embedded preview; true
// when one of them is now in the bitmap.
bool ReadThumbnail(const TIEIOPlugin& plugin, TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params,
                   TIEProgressRecord& progress) {
  const int64_t start = stream.Position();
  if (params.EXIFThumbnail) params.EXIFThumbnail->FreeImage(true);
  SetThumbnailFlags(params, false);
  IEPluginReadStream(stream, bitmap, params, true, progress);
  SetThumbnailFlags(params, true);
  if (HasThumbnail(params) && bitmap) {
    bitmap->Assign(params.EXIFThumbnail.get());
    return true;
  }
  if (IEIsCameraRawPluginName(plugin.FileName)) {
    const std::string extra = params.RAW_EXTRAPARAMS;
    params.RAW_EXTRAPARAMS = "-e";
    SetThumbnailFlags(params, false);
    stream.SetPosition(start);
    try {
      IEPluginReadStream(stream, bitmap, params, false, progress);
    } catch (...) {
      SetThumbnailFlags(params, true);
      params.RAW_EXTRAPARAMS = extra;
      throw;
    }
    SetThumbnailFlags(params, true);
    params.RAW_EXTRAPARAMS = extra;
    if (!progress.Aborted()) return true;
  }
  stream.SetPosition(start);
  return false;
}

// The file's own TIFF metadata, then the TIFF parameters and IPTC of a
// parameters-only TIFF read of the same data.
void ReadFileMetadata(TStream& reader, TIOParamsVals& params) {
  reader.SetPosition(0);
  IEReadRawFileMetadata(reader, params);
  reader.SetPosition(0);
  TIEBitmap scratch;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&scratch));
  io->ParamsFromStreamFormat(reader, 1);
  params.IPTC.Assign(&io->Params().IPTC);
  if (!params.EXIF_HASEXIF && io->Params().EXIF_HASEXIF) IECopyEXIF(io->Params(), params, true);
  reader.SetPosition(0);
}

void SetSampleLayout(TIOParamsVals& params, int32_t format) {
  struct TLayout {
    int32_t bits, samples;
  };
  static constexpr TLayout kLayouts[] = {{0, 0},  {1, 1}, {8, 1},  {8, 1}, {16, 1},
                                         {8, 3},  {32, 1}, {8, 4}, {16, 3}};
  if (format < 1 || format > IEX_FORMAT_RGB48) return;
  params.BITSPERSAMPLE = kLayouts[format].bits;
  params.SAMPLESPERPIXEL = kLayouts[format].samples;
}

// Plug-in rows hold RGB and big-endian 16-bit samples; the library's
// bitmaps BGR and native words.
void ToLibraryOrder(TIEPixelFormat format, uint8_t* row, int32_t width) {
  if (format == ie24RGB) {
    IESwapRB24(row, width);
  } else if (format == ieRGB48) {
    for (int64_t i = 0; i < int64_t{width} * 3; ++i) std::swap(row[2 * i], row[2 * i + 1]);
  }
}

// The decoded rows into the bitmap; false when the plug-in's size is not
// one an image can have.
bool CopyPixelsInto(const uint8_t* pixels, int32_t width, int32_t height, int32_t format, TIEBitmap& bitmap,
                    TIOParamsVals& params) {
  if (width <= 0 || height <= 0) return false;
  const TIEPixelFormat source = static_cast<TIEPixelFormat>(format);
  const int64_t rowLength = IECheckedRowLength(width, IEPixelFormatInfo[source].BitsPerPixel, 8);
  if (rowLength <= 0 || height > std::numeric_limits<int64_t>::max() / rowLength) return false;
  const TIEPixelFormat target = params.ISNATIVEPIXELFORMAT ? source : (source == ie1g ? ie1g : ie24RGB);
  std::unique_ptr<TIEBitmap> temporary;
  if (target != source) {
    temporary = std::make_unique<TIEBitmap>();
    if (!temporary->Allocate(width, height, source)) return false;
  }
  if (!bitmap.Allocate(width, height, target)) return false;
  TIEBitmap& dest = temporary ? *temporary : bitmap;
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = dest.GetScanline(y);
    std::memcpy(row, pixels + y * rowLength, static_cast<size_t>(rowLength));
    ToLibraryOrder(source, row, width);
  }
  if (temporary) bitmap.ConvertFrom(*temporary);
  if (params.EXIF_HASEXIF && params.ENABLEADJUSTORIENTATION) {
    IEApplyExifOrientation(bitmap, params.EXIF_ORIENTATION);
    params.SetEXIF_Orientation(1);
  }
  return true;
}

// As CopyPixelsInto; a bitmap kept in a framework bitmap, which holds fewer
// formats, takes the rows in the nearest format it holds.
bool CopyPixels(const uint8_t* pixels, int32_t width, int32_t height, int32_t format, TIEBitmap& bitmap,
                TIOParamsVals& params) {
  bool copied = false;
  IEReadInHeldFormat(&bitmap, [&](TIEBitmap* into) {
    copied = CopyPixelsInto(pixels, width, height, format, *into, params);
  });
  return copied;
}

// Encoded files inside encoded files, this thread: content detection may
// send one back to a plug-in, which may hand back another.
thread_local int32_t encodedNesting = 0;
constexpr int32_t kMaxEncodedNesting = 2;

// An encoded file in the pixel buffer: read by content into the bitmap, its
// parameters taken over.
bool LoadEncoded(const void* pixels, int32_t size, TIEBitmap& bitmap, TIOParamsVals& params) {
  if (size <= 0 || encodedNesting >= kMaxEncodedNesting) return false;
  struct TNesting {
    TNesting() { ++encodedNesting; }
    ~TNesting() { --encodedNesting; }
  } nesting;
  TIEMemStream encoded(pixels, size);
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  const bool loaded = io->LoadFromStream(encoded);
  params.Assign(io->Params());
  return loaded;
}

// Steps after the plug-in's read: the parameters, then the image.
void TakeResults(const TPluginSession& session, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                 TIEProgressRecord& progress) {
  const void* widthInfo = session.Info(IEX_INFO_WIDTH);
  const void* heightInfo = session.Info(IEX_INFO_HEIGHT);
  const void* formatInfo = session.Info(IEX_INFO_FORMAT);
  if (!widthInfo || !heightInfo || !formatInfo) return progress.Abort();
  const int32_t width = *static_cast<const int32_t*>(widthInfo);
  const int32_t height = *static_cast<const int32_t*>(heightInfo);
  const int32_t format = *static_cast<const int32_t*>(formatInfo);
  const uint8_t* pixels = static_cast<const uint8_t*>(session.Info(IEX_INFO_PIXELS));
  params.WIDTH = width;
  params.HEIGHT = height;
  if (const void* fullWidth = session.Info(IEX_INFO_FULL_WIDTH)) {
    params.ORIGINALWIDTH = *static_cast<const int32_t*>(fullWidth);
    params.ORIGINALHEIGHT = session.IntInfo(IEX_INFO_FULL_HEIGHT, height);
  } else {
    params.ORIGINALWIDTH = width;
    params.ORIGINALHEIGHT = height;
  }
  SetSampleLayout(params, format);
  params.FreeColorMap();
  if (paramsOnly) return;
  bool decoded = false;
  if (pixels && bitmap && format == IEX_FORMAT_ENCODED)
    decoded = LoadEncoded(pixels, session.IntInfo(IEX_INFO_ENCODED_SIZE), *bitmap, params);
  else if (pixels && bitmap && format >= IEX_FORMAT_BW && format <= IEX_FORMAT_RGB48)
    decoded = CopyPixels(pixels, width, height, format, *bitmap, params);
  if (!decoded) progress.Abort();
}

}  // namespace

// ---- list and registration -----------------------------------------------------------

void IECreateIOPluginList() {
  if (!plugins) plugins = std::make_unique<std::vector<std::unique_ptr<TIEIOPlugin>>>();
}

void IEFreeIOPluginList() { plugins.reset(); }

bool IEIOPluginListExists() { return plugins != nullptr; }

int32_t IEIOPluginCount() { return plugins ? static_cast<int32_t>(plugins->size()) : 0; }

TIEIOPlugin* IEIOPluginAt(int32_t index) {
  return index >= 0 && index < IEIOPluginCount() ? (*plugins)[index].get() : nullptr;
}

int32_t IERegisterIOPlugin(const std::string& fileName) {
  if (!plugins || IEIsIOPluginLoaded(fileName)) return 0;
  int32_t id = 0;
  for (int32_t index = 0;;) {
    const int32_t count = RegisterFormat(fileName, index, id);
    if (++index >= count) break;
  }
  return id;
}

void IEUnloadIOPlugins() {
  if (!plugins) return;
  for (std::unique_ptr<TIEIOPlugin>& plugin : *plugins) {
    IEUnregisterFileFormat(plugin->FormatId);
    plugin->Lock.reset();
    FreeLibrary(plugin->Module);
    plugin.reset();
  }
  plugins->clear();
}

TIEIOPlugin* IEFindIOPlugin(int32_t fileTypeId) {
  if (!plugins) return nullptr;
  for (const std::unique_ptr<TIEIOPlugin>& plugin : *plugins)
    if (plugin->FormatId == fileTypeId) return plugin.get();
  return nullptr;
}

bool IEIsIOPluginLoaded(const std::string& fileName) {
  if (!plugins) return false;
  const std::string name = ExtractFileName(fileName);
  return std::any_of(plugins->begin(), plugins->end(),
                     [&](const auto& plugin) { return ExtractFileName(plugin->FileName) == name; });
}

bool IEIsCameraRawPluginName(const std::string& fileName) {
  return LowerCase(ExtractFileName(fileName)).find("dcrawlib.dll") != std::string::npos;
}

// ---- registry routines ---------------------------------------------------------------

void IEPluginReadStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, bool paramsOnly,
                        TIEProgressRecord& progress) {
  TIEIOPlugin* plugin = IEFindIOPlugin(params.FILETYPE);
  if (!plugin) return;
  if (params.GETTHUMBNAIL && ReadThumbnail(*plugin, stream, bitmap, params, progress)) return;
  TIEBufferedReadStream reader(stream, paramsOnly ? kParamsBuffer : kImageBuffer,
                               IEGetGlobalSettings()->RelativeStreamPositions);
  TCallbackContext callbacks{&progress, &reader, &params};
  if (progress.Aborting) progress.Aborting->store(false);
  TPluginSession session(*plugin, callbacks);
  if (session.IntInfo(IEX_INFO_HAS_TIFF_METADATA) != 0) ReadFileMetadata(reader, params);
  session.Entries().ExecuteRead(session.Handle(), paramsOnly ? -1 : 0);
  TakeResults(session, bitmap, params, paramsOnly, progress);
}

void IEPluginWriteStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  TIEIOPlugin* plugin = IEFindIOPlugin(params.FILETYPE);
  if (!plugin) return;
  if (progress.Aborting) progress.Aborting->store(false);
  const TIEPixelFormat format = bitmap ? bitmap->GetPixelFormat() : ieNoFormat;
  const int32_t width = bitmap ? bitmap->GetWidth() : 0, height = bitmap ? bitmap->GetHeight() : 0;
  // Only the formats the interface has a code for reach a plug-in.
  const bool hasCode = format >= ie1g && format <= ieRGB48;
  const int64_t rowLength = hasCode ? IECheckedRowLength(width, IEPixelFormatInfo[format].BitsPerPixel, 8) : -1;
  if (width <= 0 || height <= 0 || rowLength <= 0) return progress.Abort();
  std::vector<uint8_t> pixels(static_cast<size_t>(height * rowLength));
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels.data() + y * rowLength;
    std::memcpy(row, bitmap->GetScanline(y), static_cast<size_t>(rowLength));
    if (format == ie24RGB) IESwapRB24(row, width);
  }
  TCallbackContext callbacks{&progress, &stream, &params};
  {
    TPluginSession session(*plugin, callbacks);
    int32_t value = width;  // one variable for the three: the plug-in copies each value
    session.SetInfo(IEX_INFO_WIDTH, &value);
    value = height;
    session.SetInfo(IEX_INFO_HEIGHT, &value);
    value = format;
    session.SetInfo(IEX_INFO_FORMAT, &value);
    session.SetInfo(IEX_INFO_PIXELS, pixels.data());
    session.Entries().ExecuteWrite(session.Handle());
  }
  if (callbacks.Written == 0 || callbacks.ShortWrite) progress.Abort();
}

bool IEPluginTryStream(TStream& stream, int32_t fileTypeId) {
  TIEIOPlugin* plugin = IEFindIOPlugin(fileTypeId);
  if (!plugin) return false;
  TCallbackContext callbacks{nullptr, &stream, nullptr};
  TPluginSession session(*plugin, callbacks);
  return session.Entries().ExecuteTry(session.Handle()) != 0;
}
