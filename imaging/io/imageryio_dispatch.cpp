// Load and save dispatch by extension, id and content; the parameters-only
// reads; page navigation.
#include <exception>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"

namespace {

constexpr int32_t kAnyFormat = -9;

// The save rules: a format id or one of its extensions picks the codec; the
// first matching rule wins.
struct TSaveRule {
  int32_t id;
  const char* extensions;
};
constexpr TSaveRule kSaveRules[] = {
    {3, "*.jpg;*.jpeg;*.jpe;*.jif;"}, {13, "*.jp2;"}, {14, "*.j2k;*.jpc;*.j2c;"}, {4, "*.pcx;"},
    {19, "*.dcx;"}, {2, "*.gif;"}, {1, "*.tif;*.tiff;*.fax;*.g3f;*.g3n;"}, {8, "*.png;"},
    {5, "*.bmp;*.dib;*.rle;"}, {11, "*.tga;*.targa;*.vda;*.icb;*.vst;*.win;"}, {12, "*.pxm;*.pbm;*.pgm;*.ppm;"},
    {6, "*.ico;"}, {16, "*.wbmp;"}, {17, "*.ps;*.eps;"}, {18, "*.pdf;"}, {24, "*.psd;*.psb;"},
    {29, "*.hdp;*.wdp;*.jxr;"}, {28, "*.dcm;*.dic;*.dicom;*.v2;"},
};

int32_t SaveRuleId(int32_t format, const std::string& extension) {
  for (const TSaveRule& rule : kSaveRules)
    if (format == rule.id || IEExtInList(extension, rule.extensions)) return rule.id;
  return 0;
}

bool IsVideoExtension(const std::string& extension) {
  return IEExtInList(extension, "*.avi;*.mpe;*.mpg;*.mpeg;*.wmv;");
}

}  // namespace

// ---- registry formats (plug-ins) -------------------------------------------------------

bool TImageryIO::ReadRegistryStream(const TIEFileFormatInfo& entry, TStream& stream) {
  SetAborting(false);
  if (!BitmapCheck()) {
    DoFinishWork();
    return false;
  }
  params_->FILETYPE = entry.FileTypeId;
  TIEProgressRecord progress = MakeProgress(true);
  try {
    entry.ReadProc(stream, bitmap_, *params_, false, progress);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  if (AutoAdjustDPI) AdjustDPI();
  SetViewDPI(params_->DPIX, params_->DPIY);
  const bool result = !Aborting();
  ViewUpdate();
  DoFinishWork();
  return result;
}

bool TImageryIO::ReadRegistryFile(const TIEFileFormatInfo& entry, const std::string& fileName, bool catchReader) {
  SetAborting(true);
  if (!BitmapCheck()) return false;
  bool result = false;
  {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    SetAborting(false);
    params_->FILENAME = fileName;
    params_->FILETYPE = entry.FileTypeId;
    TIEProgressRecord progress = MakeProgress(true);
    try {
      entry.ReadProc(file, bitmap_, *params_, false, progress);
    } catch (...) {
      if (!catchReader) {
        DoFinishWork();
        throw;
      }
      SetAborting(true);
    }
    if (!Aborting() || !catchReader) {
      if (AutoAdjustDPI && !Aborting()) AdjustDPI();
      SetViewDPI(params_->DPIX, params_->DPIY);
    }
    result = !Aborting();
    ViewUpdate();
  }
  DoFinishWork();
  return result;
}

void TImageryIO::WriteRegistry(const TIEFileFormatInfo& entry, TStream* stream, const std::string& fileName) {
  SetAborting(stream == nullptr);
  if (!BitmapCheck()) {
    DoFinishWork();
    return;
  }
  std::unique_ptr<TIEWideFileStream> file;
  if (!stream) {
    file = std::make_unique<TIEWideFileStream>(fileName, IE_FILE_CREATE);
    stream = file.get();
    SetAborting(false);
    params_->FILENAME = fileName;
  }
  params_->FILETYPE = entry.FileTypeId;
  TIEProgressRecord progress = MakeProgress(true);
  try {
    entry.WriteProc(*stream, bitmap_, *params_, progress);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

// ---- loads -------------------------------------------------------------------------------

bool TImageryIO::LoadInternalFile(int32_t id, const std::string& fileName) {
  if (id == 9 || id == 10) return ImportMetafile(fileName, -1, -1, true);
  const TIECodecEntry* codec = IEFindCodec(id);
  if (!codec || !codec->Read) {
    // A format this build has no reader for.
    SetAborting(true);
    DoFinishWork();
    return false;
  }
  if (!RunsInline()) {
    StartWorker([this, id, fileName] { LoadInternalFile(id, fileName); });
    return true;
  }
  return LoadFromFileCodec(*codec, fileName) >= 0;
}

bool TImageryIO::LoadAVIFrame(const std::string& fileName) {
  OpenAVIFile(fileName);
  if (Aborting()) return false;
  const bool result = LoadFromAVI(params_->IMAGEINDEX);
  CloseAVIFile();
  params_->FILENAME = fileName;
  params_->FILETYPE = 15;
  return result;
}

bool TImageryIO::LoadFromFile(const std::string& fileName, int32_t fileFormat) {
  if (!bitmap_) return false;
  if (!RunsInline()) {
    StartWorker([this, fileName, fileFormat] { LoadFromFile(fileName, fileFormat); });
    return true;
  }
  TOperation operation(*this);
  if (fileName.empty()) {
    SetAborting(true);
    DoFinishWork();
    return false;
  }
  if (IEGetURLType(fileName) != 0) return LoadFromURL(fileName);
  const std::string extension = IELowerExtension(fileName);
  if (extension == ".avi") return LoadAVIFrame(fileName);
  if (fileFormat >= 1) return LoadFromFileFormat(fileName, fileFormat);
  const TIEFileFormatInfo* entry = IEFindFormatByExtension(extension);
  if (!entry && IsVideoExtension(extension)) {
    SetAborting(true);  // no reader of media files in this build
    return false;
  }
  bool result = false, ran = false;
  std::exception_ptr error;
  try {
    if (!entry) {
      SetAborting(true);
      DoFinishWork();
      ran = true;
    } else if (entry->BuiltIn && entry->ReadProc) {
      result = LoadInternalFile(entry->FileTypeId, fileName);
      ran = true;
    } else if (!entry->BuiltIn) {
      params_->FILENAME.clear();
      params_->FILETYPE = 0;
      params_->ResetForLoad();
      if (entry->ReadProc) {
        result = ReadRegistryFile(*entry, fileName, true);
        ran = true;
      }
    }
  } catch (...) {
    error = std::current_exception();
    ran = true;
  }
  if (!result && fileFormat == kAnyFormat) {
    const int32_t id = IEFindFileFormat(fileName, false);
    if (!entry || id != entry->FileTypeId) {
      SetAborting(false);
      result = LoadFromFileFormat(fileName, id);
    }
  }
  if (error) std::rethrow_exception(error);
  if (!ran && !result) {
    SetAborting(true);
    DoFinishWork();
  }
  return result;
}

bool TImageryIO::LoadFromFileAuto(const std::string& fileName) {
  const int32_t id = IEFindFileFormat(fileName, false);
  return id != 0 ? LoadFromFileFormat(fileName, id) : LoadFromFile(fileName, -1);
}

bool TImageryIO::LoadFromFileFormat(const std::string& fileName, int32_t fileFormat) {
  const TIEFileFormatInfo* entry = IEFindFormatById(fileFormat);
  if (!entry) return false;
  if (entry->BuiltIn) {
    if (!entry->ReadProc) return LoadFromFile(fileName, -1);
    return LoadInternalFile(fileFormat, fileName);
  }
  if (!RunsInline()) {
    StartWorker([this, fileName, fileFormat] { LoadFromFileFormat(fileName, fileFormat); });
    return false;
  }
  TOperation operation(*this);
  params_->ResetForLoad();
  params_->FILENAME.clear();
  params_->FILETYPE = 0;
  if (!entry->ReadProc) {
    SetAborting(true);
    DoFinishWork();
    return false;
  }
  return ReadRegistryFile(*entry, fileName, false);
}

bool TImageryIO::LoadFromStream(TStream& stream) {
  if (!RunsInline()) {
    StartWorker([this, &stream] { LoadFromStream(stream); });
    return true;
  }
  TOperation operation(*this);
  const int32_t id = IEDetectStreamFormat(stream);
  const TIEFileFormatInfo* entry = IEFindFormatById(id);
  if (!entry) {
    SetAborting(true);
    return false;
  }
  return LoadFromStreamFormat(stream, id);
}

bool TImageryIO::LoadFromStreamFormat(TStream& stream, int32_t fileFormat) {
  if (fileFormat == 0) return LoadFromStream(stream);
  const TIEFileFormatInfo* entry = IEFindFormatById(fileFormat);
  if (!entry) return false;
  if (!RunsInline()) {
    StartWorker([this, &stream, fileFormat] { LoadFromStreamFormat(stream, fileFormat); });
    return true;
  }
  TOperation operation(*this);
  if (entry->BuiltIn) {
    if (fileFormat == 9 || fileFormat == 10) return ImportMetafileStream(stream, -1, -1, true);
    const TIECodecEntry* codec = IEFindCodec(fileFormat);
    if (!codec || !codec->Read) {
      SetAborting(true);
      return false;
    }
    return LoadFromStreamCodec(*codec, stream) >= 0;
  }
  params_->ResetForLoad();
  params_->FILENAME.clear();
  params_->FILETYPE = 0;
  if (!entry->ReadProc) {
    SetAborting(true);
    DoFinishWork();
    return false;
  }
  return ReadRegistryStream(*entry, stream);
}

void TImageryIO::LoadFromBuffer(const void* buffer, int32_t bufferSize, int32_t fileFormat) {
  if (!buffer || bufferSize <= 0) {
    SetAborting(true);
    return;
  }
  TIEMemStream stream(buffer, bufferSize);
  if (fileFormat != 0)
    LoadFromStreamFormat(stream, fileFormat);
  else
    LoadFromStream(stream);
  // A worker must not outlive the caller's buffer wrapper.
  if (!RunsInline()) WaitForWorkers(false);
}

// ---- saves ------------------------------------------------------------------------------

void TImageryIO::SaveToFile(const std::string& fileName, int32_t fileFormat) {
  if (fileName.empty()) return;
  const std::string extension = IELowerExtension(fileName);
  int32_t id = SaveRuleId(fileFormat, extension);
  const TIEFileFormatInfo* entry = nullptr;
  if (id == 0) {
    entry = fileFormat >= 0 ? IEFindFormatById(fileFormat) : IEFindFormatByExtension(extension);
    if (!entry || !entry->WriteProc) {
      SetAborting(true);
      return;
    }
    // A built-in format reached through its other extensions goes to its codec.
    if (entry->BuiltIn) id = entry->FileTypeId;
  }
  if (id != 0) {
    const TIECodecEntry* codec = IEFindCodec(id);
    if (!codec || !codec->Write) {
      SetAborting(true);
      return;
    }
    SaveToFileCodec(*codec, fileName);
    return;
  }
  if (!RunsInline()) {
    StartWorker([this, fileName, fileFormat] { SaveToFile(fileName, fileFormat); });
    return;
  }
  TOperation operation(*this);
  WriteRegistry(*entry, nullptr, fileName);
}

void TImageryIO::SaveToStream(TStream& stream, int32_t fileFormat) {
  const TIEFileFormatInfo* entry = IEFindFormatById(fileFormat);
  const TIECodecEntry* codec = IEFindCodec(fileFormat);
  if (entry && entry->BuiltIn) {
    if (!codec || !codec->Write) {
      SetAborting(true);
      return;
    }
    SaveToStreamCodec(*codec, stream);
    return;
  }
  if (!entry || !entry->WriteProc) {
    SetAborting(true);
    return;
  }
  if (!RunsInline()) {
    StartWorker([this, &stream, fileFormat] { SaveToStream(stream, fileFormat); });
    return;
  }
  TOperation operation(*this);
  WriteRegistry(*entry, &stream, std::string());
}

// ---- parameters only -------------------------------------------------------------------

void TImageryIO::ReadParams(TStream& stream, int32_t fileFormat) {
  TIEProgressRecord progress = MakeProgress(false);
  const TIEFileFormatInfo* entry = IEFindFormatById(fileFormat);
  const TIECodecEntry* codec = IEFindCodec(fileFormat);
  if (codec && codec->Read) {
    TIECodecRead read{stream, bitmap_, *params_, progress};
    read.ParamsOnly = true;
    read.Size = stream.Size() - stream.Position();
    codec->Read(read);
  } else if (entry && !entry->BuiltIn && entry->ReadProc) {
    entry->ReadProc(stream, bitmap_, *params_, true, progress);
  } else if (entry && entry->ReadProc) {
    SetAborting(true);  // a readable format this build has no codec for
  }
}

void TImageryIO::ParamsFromFile(const std::string& fileName) {
  try {
    ParamsFromFileFormat(fileName, IEFindFileFormat(fileName, true));
  } catch (...) {
    params_->FILETYPE = 0;
  }
}

void TImageryIO::ParamsFromFileFormat(const std::string& fileName, int32_t fileFormat) {
  TOperation operation(*this);
  try {
    params_->FILETYPE = fileFormat;
    params_->ResetForLoad();
    SetAborting(true);
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    TIEBufferedReadStream buffered(file, 8192, true);
    SetAborting(false);
    ReadParams(buffered, fileFormat);
  } catch (...) {
    params_->FILETYPE = 0;
  }
  if (Aborting()) params_->FILETYPE = 0;
  params_->FILENAME = fileName;
  DoFinishWork();
}

void TImageryIO::ParamsFromStream(TStream& stream) {
  try {
    ParamsFromStreamFormat(stream, IEDetectStreamFormat(stream));
  } catch (...) {
    params_->FILETYPE = 0;
  }
}

void TImageryIO::ParamsFromStreamFormat(TStream& stream, int32_t fileFormat) {
  TOperation operation(*this);
  TIEBufferedReadStream buffered(stream, 8192, true);
  try {
    params_->FILETYPE = fileFormat;
    params_->ResetForLoad();
    SetAborting(false);
    ReadParams(buffered, fileFormat);
  } catch (...) {
    params_->FILETYPE = 0;
  }
  if (Aborting()) params_->FILETYPE = 0;
  DoFinishWork();
}

void TImageryIO::ParamsFromBuffer(const void* buffer, int32_t bufferSize, int32_t fileFormat) {
  if (!buffer || bufferSize <= 0) {
    SetAborting(true);
    return;
  }
  TIEMemStream stream(buffer, bufferSize);
  if (fileFormat != 0)
    ParamsFromStreamFormat(stream, fileFormat);
  else
    ParamsFromStream(stream);
}

// ---- pages -------------------------------------------------------------------------------

int32_t TImageryIO::SeekImage(uint8_t kind, const std::string& fileName) {
  const TIOParamsVals& p = *params_;
  int32_t index = 0;
  switch (kind) {
    case 1: index = std::max(0, p.IMAGEINDEX - 1); break;
    case 2: index = std::min(p.IMAGECOUNT - 1, p.IMAGEINDEX + 1); break;
    case 3: index = p.IMAGECOUNT - 1; break;
    default: break;
  }
  const std::string file = fileName.empty() ? p.FILENAME : fileName;
  if (!fileName.empty() || index != p.IMAGEINDEX) {
    params_->SetImageIndex(index);
    LoadFromFile(file, -1);
  }
  return index;
}
