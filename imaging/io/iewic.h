// The platform's imaging component seen by the library: the HD Photo reader
// and writer (format 29), the HD Photo frame count, and the component's
// bitmap scaler behind the rfWIC... resampling filters.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/win/comimpl.h"
#include "platform/win/wincodec.h"

class TStream;
class TIEBitmap;
class TIOParamsVals;
class TObject;
struct TIEProgressRecord;
struct TIECodecRead;

// Whether the imaging factory can be created; asked once and cached.
bool IEWICAvailable();

// Initialises OLE for the thread while it lives and holds the imaging factory.
class TIEWICBaseFunctionality {
public:
  TIEWICBaseFunctionality();
  virtual ~TIEWICBaseFunctionality();
  TIEWICBaseFunctionality(const TIEWICBaseFunctionality&) = delete;
  TIEWICBaseFunctionality& operator=(const TIEWICBaseFunctionality&) = delete;
  bool IsReady() const { return factory_ && IEWICAvailable(); }

protected:
  IWICImagingFactory* Factory() const { return factory_.Get(); }

private:
  bool oleInitialized_ = false;
  ComPtr<IWICImagingFactory> factory_;
};

// Decodes the frames of a file of one of the component's formats.
class TIEWICReader : public TIEWICBaseFunctionality {
public:
  TIEWICReader();
  // Format ids 1, 2, 3, 5, 6, 8 and 29; others answer false. The stream is not owned.
  bool Open(TStream& stream, int32_t formatId);
  int32_t GetFrameCount();
  // Reads frame `index` into the bitmap (and params when given); a failure
  // sets the progress record's abort flag.
  void ReadFrame(int32_t index, TIEBitmap& bitmap, TIEProgressRecord& progress, TIOParamsVals* params);
  int32_t GetFrameWidth();
  int32_t GetFrameHeight();
  double ResolutionX = 0, ResolutionY = 0;

private:
  ComPtr<IWICBitmapDecoder> decoder_;
  ComPtr<IWICBitmapFrameDecode> frame_;
  ComPtr<IWICMetadataQueryReader> metadata_;
  TStream* stream_ = nullptr;
  int64_t start_ = 0;
};

// Encodes frames into a stream, with the encoder's options by name.
class TIEWICWriter : public TIEWICBaseFunctionality {
public:
  TIEWICWriter();
  ~TIEWICWriter() override;
  // Format ids 1, 2, 3, 5, 8 and 29; others answer false.
  bool Open(TStream& stream, int32_t formatId);
  // False when a frame, its pixels or its commit are refused (refused options are skipped).
  bool WriteFrame(TIEBitmap& bitmap, TIOParamsVals* params);
  // Commits the encoder; false when it refuses.
  bool Close();

  double ResolutionX, ResolutionY;
  double ImageQuality = -1, CompressionQuality = -1;
  bool Lossless = false, UseCodecOptions = false;
  uint8_t Quality = 1, Overlap = 1, Subsampling = 3;
  uint16_t HorizontalTileSlices = 0, VerticalTileSlices = 0;
  bool FrequencyOrder = true;
  uint8_t TiffCompressionMethod = 1;

private:
  ComPtr<IWICBitmapEncoder> encoder_;
};

// A bitmap (with an optional alpha bitmap: 32bppBGRA) seen by the component
// as a bitmap source. Neither bitmap is owned.
class TIEWICBitmapWrapper : public ComObject<IWICBitmapSource, IID_IWICBitmapSource> {
public:
  TIEWICBitmapWrapper(TIEBitmap& bitmap, TIEBitmap* alpha) : bitmap_(bitmap), alpha_(alpha) {}
  HRESULT GetSize(UINT* width, UINT* height) override;
  HRESULT GetPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT GetResolution(double* dpiX, double* dpiY) override;
  HRESULT CopyPalette(IWICPalette* palette) override;
  HRESULT CopyPixels(const WICRect* rect, UINT stride, UINT bufferSize, BYTE* buffer) override;

private:
  TIEBitmap& bitmap_;
  TIEBitmap* alpha_;
};

using TIEWICProgress = std::function<void(TObject* sender, int32_t percent)>;

class TIEWICBitmapScaler : public TIEWICBaseFunctionality {
public:
  // Source (with alpha) scaled into dest at dest's size; false when the scaler refuses.
  bool Scale(TIEBitmap& source, TIEBitmap* alpha, TIEBitmap& dest, WICBitmapInterpolationMode mode,
             const TIEWICProgress& progress, TObject* sender);
};

// A bitmap source copied into a bitmap of the matching library format;
// alpha receives the fourth byte of 32bppBGRA sources. Progress reports each
// percent once. False when the format has no library format or a row is refused.
bool IEWICCopySourceToBitmap(IWICBitmapSource* source, TIEBitmap& bitmap, TIEBitmap* alpha,
                             const TIEWICProgress& progress, TObject* sender);

// HD Photo entries of the I/O component. The reader decodes also for
// parameters-only calls.
void IEReadHDPhotoStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                         bool paramsOnly);
void IEWriteHDPhotoStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
int32_t IEHDPhotoFrameCount(const std::string& fileName);
int32_t IEHDPhotoStreamFrameCount(TStream& stream);
void IEHDPhotoCodecRead(TIECodecRead& read);
void IEHDPhotoCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// Resamples source to dest's size with the component's scaler: mode 1 for
// rfWICLinear, 2 for rfWICCubic, 3 for rfWICFant, nearest neighbour (0) for
// any other filter. Alpha is the source's alpha channel or null; dest takes
// the scaled alpha. Indexed and 1-bit sources, and formats the component
// has no name for (ie32f, ieCIELab, ie32RGBA), come out as ie24RGB. False
// when the component is missing or refuses.
enum TResampleFilter : uint8_t;
bool IEWICResampleBitmap(TIEBitmap* source, TIEBitmap* dest, TIEBitmap* alpha, TResampleFilter filter,
                         const TIEWICProgress& onProgress, TObject* sender);
