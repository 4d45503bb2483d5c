// Single frames of AVI files through Video for Windows' file functions.
#include <atomic>
#include <cstdlib>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"

namespace {

// Whether AVIFileInit ran since the unit started; AVIFileExit follows once.
std::atomic<bool> aviLibraryStarted{false};

void StartAVIFileLibrary() {
  if (!aviLibraryStarted.exchange(true)) AVIFileInit();
}

// The bytes of a packed DIB: header, colour table (or bit-field masks), rows.
size_t PackedDIBSize(const BITMAPINFOHEADER& header) {
  size_t table = static_cast<size_t>(header.biClrUsed) * 4;
  if (header.biBitCount <= 8 && header.biClrUsed == 0) table = (size_t{1} << header.biBitCount) * 4;
  if (header.biCompression == BI_BITFIELDS) table = 12;
  return header.biSize + table + header.biSizeImage;
}

// (BITSPERSAMPLE, SAMPLESPERPIXEL) of a frame's bit count.
std::pair<int32_t, int32_t> SampleLayout(int32_t bitCount) {
  switch (bitCount) {
    case 1: case 4: case 8: return {bitCount, 1};
    case 15: return {5, 3};
    default: return {8, 3};
  }
}

}  // namespace

void IEEndAVIFileLibrary() {
  if (aviLibraryStarted.exchange(false)) AVIFileExit();
}

int32_t TImageryIO::OpenAVIFile(const std::string& fileName) {
  TOperation operation(*this);
  SetAborting(false);
  CloseAVIFile();
  params_->SetImageCount(0);
  params_->FILENAME = fileName;
  params_->FILETYPE = 0;
  StartAVIFileLibrary();
  const bool opened = AVIFileOpenW(&aviFile_, fileName, OF_READ, nullptr) == AVIERR_OK &&
                      AVIFileGetStream(aviFile_, &aviStream_, streamtypeVIDEO, 0) == AVIERR_OK &&
                      AVIStreamInfoW(aviStream_, &aviInfo_, sizeof aviInfo_) == AVIERR_OK &&
                      (aviFrames_ = AVIStreamGetFrameOpen(aviStream_, nullptr)) != nullptr;
  if (!opened) {
    CloseAVIFile();
    SetAborting(true);
    return 0;
  }
  SetAVITiming();
  return params_->IMAGECOUNT;
}

void TImageryIO::SetAVITiming() {
  params_->SetImageCount(static_cast<int32_t>(std::min<DWORD>(aviInfo_.dwLength, INT32_MAX)));
  // A stream without a rate or scale has no frame time.
  const bool timed = aviInfo_.dwRate != 0 && aviInfo_.dwScale != 0;
  params_->AVI_FRAMEDELAYTIME = timed ? 1000.0 / (static_cast<double>(aviInfo_.dwRate) / aviInfo_.dwScale) : 0.0;
}

bool TImageryIO::LoadFromAVI(int32_t frameIndex) {
  if (!RunsInline()) {
    StartWorker([this, frameIndex] { LoadFromAVI(frameIndex); });
    return false;
  }
  TOperation operation(*this);
  SetAborting(false);
  bool result = false;
  if (!BitmapCheck() || !aviFrames_ || frameIndex < 0 || static_cast<DWORD>(frameIndex) >= aviInfo_.dwLength) {
    SetAborting(true);
  } else {
    const BITMAPINFOHEADER* frame = AVIStreamGetFrame(aviFrames_, frameIndex);
    SetAVITiming();
    result = frame && TakeAVIFrame(*frame);
    if (!result) SetAborting(true);
  }
  DoFinishWork();
  return result;
}

bool TImageryIO::TakeAVIFrame(const BITMAPINFOHEADER& frame) {
  TIEDibbitmap drawn;
  const auto* dib = reinterpret_cast<const uint8_t*>(&frame);
  if (IEDrawDIBToDibBitmap(dib, PackedDIBSize(frame), &drawn, nullptr, 0) == 0) return false;
  bitmap_->CopyFromDibBitmap(&drawn);
  const auto [bitsPerSample, samplesPerPixel] = SampleLayout(frame.biBitCount);
  params_->BITSPERSAMPLE = bitsPerSample;
  params_->SAMPLESPERPIXEL = samplesPerPixel;
  const auto* settings = IEGetGlobalSettings();
  params_->SetDpiX(settings->DefaultDPIX);
  params_->SetDpiY(settings->DefaultDPIY);
  params_->WIDTH = params_->ORIGINALWIDTH = drawn.GetWidth();
  params_->HEIGHT = params_->ORIGINALHEIGHT = drawn.GetHeight();
  params_->FreeColorMap();
  ViewUpdate();
  return !Aborting();
}

void TImageryIO::CloseAVIFile() {
  if (aviFrames_) AVIStreamGetFrameClose(aviFrames_);
  if (aviStream_) AVIStreamRelease(aviStream_);
  if (aviFile_) AVIFileRelease(aviFile_);
  aviFrames_ = nullptr;
  aviStream_ = nullptr;
  aviFile_ = nullptr;
}
