// Profile creation of the main window: from the window's choices to the
// saved profile, through the colour toolkit's scanin and colprof.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <vector>

#include "app/vesk_main.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/textfile.h"
#include "platform/win/kernel_files.h"
#include "platform/win/process.h"
#include "services/cxdrive10.h"
#include "services/supfileutils.h"
#include "services/supstrings.h"

namespace {

// The file-type ids of the photo formats converted for the toolkit.
constexpr int32_t kJpegFormat = 3, kPngFormat = 8, kCameraRawFormat = 20, kCameraRawPluginFormat = 4096;

constexpr std::array<const char*, ChartTypeCount> ChartFiles{
    "ColorChecker.cht",     "ColorCheckerSG.cht",       "ColorCheckerPassport.cht", "ColorChecker.cht",
    "CMP_DT_003.cht",       "CMP_Digital_Target-4.cht", "CMP_Digital_Target-7.cht", "Hutchcolor.cht",
    "LaserSoftDCPro.cht",   "QPcard_201.cht",           "QPcard_202.cht",           "it8.cht",
    "LaserSoftAdv.cht",     "SpyderChecker.cht",        "SpyderChecker24.cht"};
constexpr std::array<const char*, 4> QualityLetters{"l", "m", "h", "u"};
constexpr std::array<const char*, 8> AlgorithmLetters{"l", "x", "g", "s", "X", "m", "G", "S"};
constexpr std::array<const char*, 4> IntentOptions{"-Z p ", "-Z r ", "-Z s ", "-Z a "};

// The table's entry for a list index, or the fallback for no selection.
template <size_t N>
std::string Pick(const std::array<const char*, N>& table, int32_t index, const char* fallback) {
  return index >= 0 && static_cast<size_t>(index) < N ? table[index] : fallback;
}

// "<option> <value> " with the value written with "." for the toolkit, or
// nothing when the value is exactly the toolkit's own default (the spin
// edits turn red on the same test).
std::string NumberOption(const char* option, double value, double norm) {
  if (value == norm) return {};
  return std::string(option) + " " + FloatToStr(value, InvariantFormatSettings()) + " ";
}

const std::string ArgyllBin = std::string("argyll") + PathDelim + "bin" + PathDelim;
const std::string ArgyllRef = std::string("argyll") + PathDelim + "ref" + PathDelim;

// The quoted program path: the batch interpreter takes a quoted program
// name as it stands, without escapes.
std::string QuotedProgram(const TProfileFolders& folders, const char* program) {
  return "\"" + folders.ProgramFolder + ArgyllBin + program + "\"";
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// Reads up to count bytes of the file's start; fewer when it is shorter.
std::string ReadFileStart(const std::string& fileName, size_t count) {
  FilePtr f(std::fopen(fileName.c_str(), "rb"));
  if (!f) return {};
  std::string bytes(count, '\0');
  bytes.resize(std::fread(bytes.data(), 1, count, f.get()));
  return bytes;
}

// Copies what is left of `in` to `out` inside the kernel, without passing
// the bytes through our buffers (a photo of many megabytes goes to the work
// folder before every run). False, with both files back at their start,
// where the file systems cannot do it: copying again from there overwrites
// whatever part got through.
bool CopyInKernel(int in, int out) {
  for (bool any = false;;) {
    const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, SSIZE_MAX, 0);
    // Nothing at all may also be a file system that does not say how much
    // its files hold: the plain copy decides.
    if (copied == 0 && any) return true;
    if (copied > 0) any = true;
    if (copied > 0 || (copied < 0 && errno == EINTR)) continue;
    ::lseek(in, 0, SEEK_SET);
    ::lseek(out, 0, SEEK_SET);
    return false;
  }
}

int32_t RandomBelow(int32_t limit) {
  static std::mt19937 generator{std::random_device{}()};
  return std::uniform_int_distribution<int32_t>(0, limit - 1)(generator);
}

}  // namespace

// ---- derived pieces -------------------------------------------------------------

std::string GetChartFileName(int32_t typeIndex) { return Pick(ChartFiles, typeIndex, "ColorChecker.cht"); }
std::string GetQualityLetter(int32_t qualityIndex) { return Pick(QualityLetters, qualityIndex, "m"); }
std::string GetAlgorithmLetter(int32_t algorithmIndex) { return Pick(AlgorithmLetters, algorithmIndex, "l"); }
std::string GetIntentOption(int32_t intentIndex) { return Pick(IntentOptions, intentIndex, ""); }

std::string GetGammaOption(const std::string& gammaText, const TFormatSettings& userFormat) {
  // The spin edit shows the user's separator; a "." text is read as well.
  // Unreadable text reads 0, as the spin edit reads it.
  double gamma = 0;
  if (!TryStrToFloat(gammaText, gamma, userFormat) && !TryStrToFloat(gammaText, gamma, InvariantFormatSettings()))
    gamma = 0;
  return NumberOption("-G", gamma, 2.2);
}

std::string GetWhitePointOption(double whitePoint) { return NumberOption("-U", whitePoint, 1.0); }
std::string GetDarkAreasOption(double darkAreas) { return NumberOption("-V", darkAreas, 1.0); }

TProfileOptions BuildProfileOptions(const TProfileChoices& choices, const TFormatSettings& userFormat) {
  TProfileOptions o;
  o.GammaOption = GetGammaOption(choices.GammaText, userFormat);
  o.PerspectiveOption = choices.Perspective ? "-p " : "";
  o.WhitePointOption = GetWhitePointOption(choices.WhitePoint);
  o.DarkAreasOption = GetDarkAreasOption(choices.DarkAreas);
  o.ChartFileName = GetChartFileName(choices.TypeIndex);
  o.QualityLetter = GetQualityLetter(choices.QualityIndex);
  o.AlgorithmLetter = GetAlgorithmLetter(choices.AlgorithmIndex);
  o.IntentOption = GetIntentOption(choices.IntentIndex);
  return o;
}

TProfileTexts TakeProfileTexts(TProfileChoices& choices, const TProfileMessages& messages) {
  if (choices.Description.empty()) choices.Description = "VeSk";
  auto orDefault = [](const std::string& text, const std::string& fallback) {
    return text.empty() ? fallback : text;
  };
  return {orDefault(choices.Device, messages.DefaultDevice), orDefault(choices.Model, messages.DefaultModel),
          choices.Description, orDefault(choices.Copyright, messages.DefaultCopyright)};
}

std::string QuoteArgument(const std::string& text) {
  // The batch interpreter splits by the Windows rules: 2n+1 backslashes
  // before a quote give n backslashes and a literal quote, 2n before the
  // closing quote give n.
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : text) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    quoted += c;
    backslashes = 0;
  }
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string ScaninCommandLine(const TProfileFolders& folders, const TProfileOptions& options,
                              const std::string& photoCopy, const std::string& referenceFileName) {
  return QuotedProgram(folders, "scanin") + " -v " + options.GammaOption + options.PerspectiveOption +
         QuoteArgument(photoCopy) + " " + QuoteArgument(folders.ProgramFolder + ArgyllRef + options.ChartFileName) +
         " " + QuoteArgument(referenceFileName);
}

std::string ColprofCommandLine(const TProfileFolders& folders, const TProfileOptions& options,
                               const TProfileTexts& texts, const std::string& base) {
  return QuotedProgram(folders, "colprof") + " -v -A" + QuoteArgument(texts.Device) + " -M" +
         QuoteArgument(texts.Model) + " -D" + QuoteArgument(texts.Description) + " -C" +
         QuoteArgument(texts.Copyright) + " -q" + options.QualityLetter + " -a" + options.AlgorithmLetter + " " +
         options.IntentOption + options.WhitePointOption + options.DarkAreasOption + QuoteArgument(base);
}

// ---- the work folder ------------------------------------------------------------------

std::string ProfileWorkFolder() { return GetTempPathA() + "vesk-" + std::to_string(getuid()) + PathDelim; }

bool IsForeignWorkFolder(const std::string& workFolder) {
  // The entry itself, not what a link leads to.
  const std::string folder = WithoutTrailingBackslash(workFolder);
  struct stat st;
  return !folder.empty() && ::lstat(folder.c_str(), &st) == 0 && (S_ISLNK(st.st_mode) || st.st_uid != ::getuid());
}

// ---- files ----------------------------------------------------------------------------

int64_t GetFileSize(const std::string& fileName) { return FileSize64(ExpandFileName(fileName)); }

int64_t GetDriveFreeSpace(const std::string& path) {
  const ComPtr<IDriveInfo> drive = GlobalDriveInfo.GetDrive(path);
  if (!drive->Exists()->Value()) return -1;
  return drive->Space()->FreeToCaller()->Value();
}

void FileCopy(const std::string& source, const std::string& destination) {
  TFileStream in(source, fmOpenRead | fmShareDenyWrite);
  TFileStream out(destination, fmCreate);
  if (!CopyInKernel(in.Handle(), out.Handle())) out.CopyFrom(in, 0);
}

bool IsValidIccProfile(const std::string& fileName) {
  const int64_t size = FileSize64(fileName);
  if (size < 128) return false;
  const std::string header = ReadFileStart(fileName, 128);
  if (header.size() < 128 || header.compare(36, 4, "acsp") != 0) return false;
  uint32_t declared = 0;
  for (int i = 0; i < 4; ++i) declared = declared << 8 | static_cast<uint8_t>(header[i]);
  return declared == size;
}

bool IsTiffFile(const std::string& fileName) {
  const std::string start = ReadFileStart(fileName, 4);
  for (const char* magic : {"II*\0", "MM\0*", "II+\0", "MM\0+"})
    if (start == std::string(magic, 4)) return true;
  return false;
}

namespace {

// The format of a file's content; 0 when unknown or unreadable.
int32_t ContentFormat(const std::string& fileName) {
  try {
    TFileStream in(fileName, fmOpenRead | fmShareDenyWrite);
    return IEDetectStreamFormat(in);
  } catch (const Exception&) {
    return 0;
  }
}

bool IsCameraRawFormat(int32_t format) { return format == kCameraRawFormat || format == kCameraRawPluginFormat; }

// Reads the photo in its format (JPEG, PNG or camera raw, by the built-in
// reader or the plug-in); false when it is none of them.
bool ReadPhoto(TStream& in, int32_t format, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
               bool paramsOnly) {
  if (format == kCameraRawPluginFormat) {
    const TIEFileFormatInfo* entry = IEFindFormatById(format);
    if (!entry || !entry->ReadProc) return false;
    params.FILETYPE = format;
    entry->ReadProc(in, &bitmap, params, paramsOnly, progress);
    return true;
  }
  const bool known = format == kJpegFormat || format == kPngFormat || format == kCameraRawFormat;
  const TIECodecEntry* codec = known ? IEFindCodec(format) : nullptr;
  if (!codec || !codec->Read) return false;
  TIECodecRead read{in, &bitmap, params, progress, paramsOnly, in.Size()};
  codec->Read(read);
  return true;
}

}  // namespace

bool WritePhotoAsTiff(const std::string& source, const std::string& destination) {
  try {
    TFileStream in(source, fmOpenRead | fmShareDenyWrite);
    const int32_t format = IEDetectStreamFormat(in);
    std::atomic<bool> aborting{false};
    TIEProgressRecord progress;
    progress.Aborting = &aborting;
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    if (!ReadPhoto(in, format, bitmap, params, progress, destination.empty()) || aborting) return false;
    if (destination.empty()) return true;
    if (bitmap.IsEmpty()) return false;
    // The pixels as they are, uncompressed, with the photo's resolution,
    // profile and EXIF.
    params.TIFF_COMPRESSION = 0;
    TFileStream out(destination, fmCreate);
    return IEWriteTIFFStream(out, bitmap, params, progress) == 1 && !aborting;
  } catch (const Exception&) {
    return false;
  }
}

// ---- the request ----------------------------------------------------------------------

TProfileCreator::TProfileCreator(IProfileDialogs& dialogs, TProfileFolders folders, TProfileMessages messages)
    : UserFormat(FormatSettings), dialogs_(dialogs), folders_(std::move(folders)), messages_(std::move(messages)) {}

void TProfileCreator::Message(const std::string& text, TProfileMessageKind kind) {
  dialogs_.ShowProfileMessage(text, kind == pmkMessageBox ? folders_.ApplicationTitle : std::string(), kind);
}

void TProfileCreator::CreateBtnClick(TProfileChoices& choices) {
  options_ = BuildProfileOptions(choices, UserFormat);
  if (choices.PhotoHeight < 100) return Message(messages_.SelectTarget, pmkInformationDialog);
  if (!IsExistingFile(choices.ReferenceFileName)) return Message(messages_.SelectReference, pmkInformationDialog);
  if (!CheckFreeSpace(choices.ImageFileName)) return;
  // The toolkit reads TIFF only: a JPEG, PNG or camera-raw photo (a DNG is
  // a TIFF of sensor data) goes to it as a TIFF.
  const bool tiff = IsTiffFile(choices.ImageFileName) && !IsCameraRawFormat(ContentFormat(choices.ImageFileName));
  if (!tiff && !WritePhotoAsTiff(choices.ImageFileName, ""))
    return Message(messages_.NotTiff, pmkInformationDialog);

  // Can we write beside the photo?
  const std::string testFolder = ExtractFilePath(choices.ImageFileName) + "testdir_" + std::to_string(RandomBelow(10000));
  MkDir(testFolder);
  if (IOResult() != 0) return Message(messages_.NoRights, pmkMessageBox);
  RmDir(testFolder);
  IOResult();

  const TProfileTexts texts = TakeProfileTexts(choices, messages_);
  const std::string photoName = ExtractFileName(choices.ImageFileName);
  const std::string photoCopy = folders_.WorkFolder + (tiff ? photoName : ChangeFileExt(photoName, ".tif"));
  const std::string base = ChangeFileExt(photoCopy, "");
  const std::string scanin = ScaninCommandLine(folders_, options_, photoCopy, choices.ReferenceFileName);
  const std::string colprof = ColprofCommandLine(folders_, options_, texts, base);
  if (FitsOneBatchLine({scanin, colprof}) && PrepareWorkFolder()) {
    if (tiff) {
      FileCopy(choices.ImageFileName, photoCopy);
    } else if (!WritePhotoAsTiff(choices.ImageFileName, photoCopy)) {
      Message(messages_.NotTiff, pmkInformationDialog);
      return;
    }
    WriteBatchFile(scanin);
    RunBatchFile();
    if (!IsExistingFile(base + ".ti3")) {
      Message(messages_.ExtractError, pmkInformationDialog);
    } else {
      WriteBatchFile(colprof);
      RunBatchFile();
      SaveProfile(base);
    }
  }

  if (IsExistingDirectory(testFolder)) {
    RmDir(testFolder);
    if (int32_t code = IOResult()) throw EInOutError(code);
  }
}

bool TProfileCreator::FitsOneBatchLine(std::initializer_list<std::string> commandLines) {
  // A line feed in a file name or text would end the line early and make
  // the rest a command of its own.
  for (const std::string& line : commandLines)
    if (line.find('\n') != std::string::npos) {
      Message(messages_.LineBreak, pmkInformationDialog);
      return false;
    }
  return true;
}

bool TProfileCreator::PrepareWorkFolder() {
  const std::string folder = WithoutTrailingBackslash(folders_.WorkFolder);
  if (IsForeignWorkFolder(folder)) {
    Message(messages_.WorkFolderRefused + "\r\r" + folder, pmkMessageBox);
    return false;
  }
  if (IsExistingDirectory(folders_.WorkFolder)) DeleteDirectoryTree(folders_.WorkFolder, true);
  // A folder that could not be removed makes the creation fail too: old
  // results are never taken for new ones.
  if (::mkdir(folder.c_str(), 0700) != 0) {
    const int32_t code = errno;
    Message(StringReplace(messages_.DirectoryFailed, "%d", IntToStr(code), {rfReplaceAll}), pmkPlainMessage);
    return false;
  }
  return true;
}

void TProfileCreator::WriteBatchFile(const std::string& commandLine) {
  TextFile batch(folders_.WorkFolder + "proc.bat");
  batch.Rewrite();
  batch.Writeln("@echo off");
  batch.Writeln(commandLine);
  batch.Close();
}

void TProfileCreator::RunBatchFile() { RunAndWait("\"" + folders_.WorkFolder + "proc.bat\"", true); }

void TProfileCreator::SaveProfile(const std::string& base) {
  // Here the toolkit writes ".icc"; a ".icm" is taken first when present.
  const std::string profile = IsExistingFile(base + ".icm") ? base + ".icm" : base + ".icc";
  if (!IsValidIccProfile(profile))
    return Message(messages_.ProfileFailed + "\r\r" + folders_.WorkFolder, pmkInformationDialog);

  TProfileSaveDialog dialog{"", folders_.ColorFolder, "*.icm", messages_.ProfileFilter, messages_.SaveProfileTitle};
  std::string chosen;
  if (!dialogs_.ExecuteSaveDialog(dialog, chosen)) return;
  savedProfileName_ = chosen;
  FileCopy(profile, savedProfileName_);
  Message(messages_.ProfileSaved + "\r\r" + ExtractFilePath(savedProfileName_), pmkInformationDialog);
}

bool TProfileCreator::CheckFreeSpace(const std::string& imageFileName) {
  const int64_t size = GetFileSize(imageFileName);
  if (size == -1) return false;
  const int64_t required = size * 2;
  // The photo's file system, then the work folder's, where the copy goes.
  // (Without a work folder its creation fails later with its own message.)
  std::vector<std::string> drives{ExtractFileDrive(imageFileName)};
  if (std::string workDrive = ExtractFileDrive(folders_.WorkFolder);
      !folders_.WorkFolder.empty() && workDrive != drives.front())
    drives.push_back(workDrive);
  for (const std::string& drive : drives) {
    const int64_t freeBytes = DriveFreeSpace(drive);
    if (required < freeBytes) continue;
    Message(messages_.NoSpace + FormatFloat("0.00", freeBytes / 1048576.0, UserFormat) + messages_.NoSpaceRequired +
                FormatFloat("0.00", required / 1048576.0, UserFormat) + "MB",
            pmkMessageBox);
    return false;
  }
  return true;
}

void TProfileCreator::RunAndWait(const std::string& commandLine, bool wait) {
  STARTUPINFOA startup{};
  startup.cb = 68;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.c_str(), nullptr, nullptr, FALSE,
                      CREATE_NEW_PROCESS_GROUP | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    Message(messages_.RunError, pmkMessageBox);
  } else if (wait) {
    WaitForSingleObject(process.hProcess, INFINITE);
  }
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
}

bool TProfileCreator::TweakOutOfRange(double value, double low, double high, const std::string& text) {
  if (value <= high && value >= low) return false;
  Message(text, pmkMessageBox);
  return true;
}

bool TProfileCreator::WP_spinKeyUp(double value) {
  return TweakOutOfRange(value, 0.5, 1.5, messages_.WhitePointRange);
}
bool TProfileCreator::dark_spinKeyUp(double value) {
  return TweakOutOfRange(value, 1.0, 3.0, messages_.DarkAreasRange);
}
