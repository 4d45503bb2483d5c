// The parameter set: defaults, the two resets, copying and the accessors
// that keep related fields together.
#include "imaging/io/imageryio_params.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_xmp.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/sysutils.h"

const std::array<const char*, 10> IEDICOMTransferSyntaxes = {
    "1.2.840.10008.1.2",      "1.2.840.10008.1.2.1",    "1.2.840.10008.1.2.2",    "1.2.840.10008.1.2.5",
    "1.2.840.10008.1.2.4.57", "1.2.840.10008.1.2.4.70", "1.2.840.10008.1.2.4.50", "1.2.840.10008.1.2.4.51",
    "1.2.840.10008.1.2.4.91", "1.2.840.10008.1.2.4.100"};

namespace {

void CopyProfile(const TIEICC* source, std::unique_ptr<TIEICC>& dest) {
  if (!source) {
    dest.reset();
    return;
  }
  if (!dest) dest = std::make_unique<TIEICC>();
  dest->Assign(*source);
}

// The field at index, or null outside the array.
template <class A>
auto* At(A& array, int32_t index) {
  return index >= 0 && index < static_cast<int32_t>(array.size()) ? &array[static_cast<size_t>(index)] : nullptr;
}

template <class A>
auto ValueAt(const A& array, int32_t index) {
  const auto* p = At(array, index);
  return p ? *p : typename A::value_type{};
}

template <class A, class V>
void StoreAt(A& array, int32_t index, V value) {
  if (auto* p = At(array, index)) *p = value;
}

}  // namespace

TIOParamsVals::TIOParamsVals(TImageryIO* owner) : Owner(owner) { SetDefaultParams(); }

TIOParamsVals::~TIOParamsVals() = default;

void TIOParamsVals::SetDefaultParams() {
  const auto* settings = IEGetGlobalSettings();
  // Without an owner the size and resolution stay; the JPEG warnings always do.
  const TIOParamsFields kept = *this;
  static_cast<TIOParamsFields&>(*this) = TIOParamsFields{};
  JPEG_WARNINGTOT = kept.JPEG_WARNINGTOT, JPEG_WARNINGCODE = kept.JPEG_WARNINGCODE;
  WIDTH = kept.WIDTH, HEIGHT = kept.HEIGHT, DPIX = kept.DPIX, DPIY = kept.DPIY;
  if (Owner) {
    WIDTH = HEIGHT = 0;
    if (TIEBitmap* bitmap = Owner->IEBitmap()) {
      WIDTH = bitmap->GetWidth();
      HEIGHT = bitmap->GetHeight();
    }
    SetDpiX(settings->DefaultDPIX);
    SetDpiY(settings->DefaultDPIY);
  }
  Metadata.Clear();
  DICOMTags.Clear();
  SetTIFF_Orientation(1);
  TIFFLZWDecoder = settings->TIFFLZWDecoder, TIFFLZWEncoder = settings->TIFFLZWEncoder;
  GIFLZWDecoder = settings->GIFLZWDecoder, GIFLZWEncoder = settings->GIFLZWEncoder;
  SetDICOMCompression(1);
  TGA_DATE = std::floor(Now());
  JPEGMarkers.Clear();
  IPTC.Clear();
  ResetEXIF();
  imagingAnnot_.reset();
  Annotations.Clear();
  FreeICCProfiles();
}

void TIOParamsVals::ResetForLoad() {
  IPTC.Clear();
  imagingAnnot_.reset();
  Annotations.Clear();
  JPEGMarkers.Clear();
  ResetEXIF();
  GIFComments.clear();
  DICOMTags.Clear();
  DICOMRescaleIntercept = 0;
  DICOMRescaleSlope = 1.0;
  PNGTextKeys.clear(), PNGTextValues.clear();
  TIFF_DOCUMENTNAME.clear(), TIFF_IMAGEDESCRIPTION.clear(), TIFF_PAGENAME.clear();
  TGA_DESCRIPTOR.clear(), TGA_AUTHOR.clear(), TGA_IMAGENAME.clear();
  PXMComments.clear();
  SetXMP_Info(std::string());
  inputICC_.reset();
  // Nothing of the previous file may travel into a save of the next image:
  // its private TIFF blocks and its GIF transparency go too.
  TIFFImageResources.clear(), TIFFImageSourceData.clear();
  GIF_TRANSPARENT = false;
  GIF_TRANSPCOLOR = TRGB{};
}

void TIOParamsVals::Assign(const TIOParamsVals& source) {
  if (&source == this) return;
  const int32_t warningTotal = JPEG_WARNINGTOT, warningCode = JPEG_WARNINGCODE;
  // The dictionary copies through its dump, which does not change it.
  Metadata.Assign(const_cast<TIEDictionary&>(source.Metadata));
  static_cast<TIOParamsFields&>(*this) = source;
  JPEG_WARNINGTOT = warningTotal, JPEG_WARNINGCODE = warningCode;
  SetDpiX(source.DPIX);  // through the setters: an attached view follows
  SetDpiY(source.DPIY);
  SetImageIndex(source.CUR_IMAGEINDEX);
  SetImageCount(source.AVI_FRAMECOUNT);
  CopyProfile(source.inputICC_.get(), inputICC_);
  CopyProfile(source.outputICC_.get(), outputICC_);
  CopyProfile(source.defaultICC_.get(), defaultICC_);
  JPEGMarkers.Assign(&source.JPEGMarkers);
  IPTC.Assign(&source.IPTC);
  DICOMTags.Assign(source.DICOMTags);
  if (source.imagingAnnot_)
    GetImagingAnnot().Assign(source.imagingAnnot_.get());
  else
    imagingAnnot_.reset();
  Annotations.Assign(&source.Annotations);
  IECopyEXIF(source, *this, true);
  SetTIFF_Orientation(source.TIFF_ORIENTATION);
}

void TIOParamsVals::AssignCompressionInfo(const TIOParamsVals& source) {
  BITSPERSAMPLE = source.BITSPERSAMPLE;
  SAMPLESPERPIXEL = source.SAMPLESPERPIXEL;
  TIFF_COMPRESSION = source.TIFF_COMPRESSION;
  TIFF_PHOTOMETINTEPRET = source.TIFF_PHOTOMETINTEPRET;
  TIFF_PLANARCONF = source.TIFF_PLANARCONF;
  SetTIFF_Orientation(source.TIFF_ORIENTATION);
  TIFFLZWDecoder = source.TIFFLZWDecoder, TIFFLZWEncoder = source.TIFFLZWEncoder;
  TIFF_ENABLEADJUSTORIENTATION = source.TIFF_ENABLEADJUSTORIENTATION;
  TIFF_JPEGQUALITY = source.TIFF_JPEGQUALITY;
  TIFF_JPEGCOLORSPACE = source.TIFF_JPEGCOLORSPACE;
  TIFF_FILLORDER = source.TIFF_FILLORDER;
  TIFF_ZIPCOMPRESSION = source.TIFF_ZIPCOMPRESSION;
  TIFF_STRIPCOUNT = source.TIFF_STRIPCOUNT;
  GIF_INTERLACED = source.GIF_INTERLACED;
  GIFLZWDecoder = source.GIFLZWDecoder, GIFLZWEncoder = source.GIFLZWEncoder;
  JPEG_COLORSPACE = source.JPEG_COLORSPACE;
  JPEG_QUALITY = source.JPEG_QUALITY;
  JPEG_DCTMETHOD = source.JPEG_DCTMETHOD;
  JPEG_CROMASUBSAMPLING = source.JPEG_CROMASUBSAMPLING;
  JPEG_OPTIMALHUFFMAN = source.JPEG_OPTIMALHUFFMAN;
  JPEG_SMOOTH = source.JPEG_SMOOTH;
  JPEG_PROGRESSIVE = source.JPEG_PROGRESSIVE;
  J2000_COLORSPACE = source.J2000_COLORSPACE;
  J2000_RATE = source.J2000_RATE;
  J2000_SCALABLEBY = source.J2000_SCALABLEBY;
  PCX_VERSION = source.PCX_VERSION, PCX_COMPRESSION = source.PCX_COMPRESSION;
  BMP_VERSION = source.BMP_VERSION, BMP_COMPRESSION = source.BMP_COMPRESSION;
  BMP_HANDLETRANSPARENCY = source.BMP_HANDLETRANSPARENCY;
  PNG_INTERLACED = source.PNG_INTERLACED;
  PNG_FILTER = source.PNG_FILTER;
  PNG_COMPRESSION = source.PNG_COMPRESSION;
  TGA_COMPRESSED = source.TGA_COMPRESSED;
  TGA_GRAYLEVEL = source.TGA_GRAYLEVEL;
  PS_COMPRESSION = source.PS_COMPRESSION;
  PDF_COMPRESSION = source.PDF_COMPRESSION;
  DICOMRangeMode = source.DICOMRangeMode;
  SetDICOMCompression(source.GetDICOMCompression());
  DICOMJPEGQuality = source.DICOMJPEGQuality;
  DICOMJ2000Rate = source.DICOMJ2000Rate;
}

void TIOParamsVals::SetDpiX(int32_t value) {
  DPIX = value;
  EXIF_XRESOLUTION = value;
  if (Owner) Owner->ParamsDpiChanged(true, value);
}

void TIOParamsVals::SetDpiY(int32_t value) {
  DPIY = value;
  EXIF_YRESOLUTION = value;
  if (Owner) Owner->ParamsDpiChanged(false, value);
}

void TIOParamsVals::SetImageIndex(int32_t value) {
  IMAGEINDEX = TIFF_IMAGEINDEX = DCX_IMAGEINDEX = GIF_IMAGEINDEX = ICO_IMAGEINDEX = CUR_IMAGEINDEX = value;
}

void TIOParamsVals::SetImageCount(int32_t value) {
  IMAGECOUNT = TIFF_IMAGECOUNT = AVI_FRAMECOUNT = GIF_IMAGECOUNT = MEDIAFILE_FRAMECOUNT = value;
}

void TIOParamsVals::SetEnableAdjustOrientation(bool value) {
  ENABLEADJUSTORIENTATION = TIFF_ENABLEADJUSTORIENTATION = JPEG_ENABLEADJUSTORIENTATION = value;
}

void TIOParamsVals::SetGetThumbnail(bool value) {
  GETTHUMBNAIL = JPEG_GETEXIFTHUMBNAIL = RAW_GETEXIFTHUMBNAIL = value;
}

void TIOParamsVals::SetJPEG_GetExifThumbnail(bool value) { GETTHUMBNAIL = JPEG_GETEXIFTHUMBNAIL = value; }

void TIOParamsVals::SetTIFF_Orientation(int32_t value) { TIFF_ORIENTATION = EXIF_ORIENTATION = value; }

int32_t TIOParamsVals::GetImageDelayTime() const {
  switch (FILETYPE) {
    case 2: return GIF_DELAYTIME * 10;
    case 15: return static_cast<int32_t>(std::nearbyint(AVI_FRAMEDELAYTIME));
    case 22:
    case 23: return static_cast<int32_t>(std::nearbyint(MEDIAFILE_FRAMEDELAYTIME));
    case 28: return DICOMFrameTime();
    default: return 0;
  }
}

int32_t TIOParamsVals::DICOMFrameTime() const {
  // The cine rate, else the recommended display rate, else the frame time.
  for (const double rate : {DICOMNumber(0x0018, 0x0040), DICOMNumber(0x0008, 0x2144)})
    if (rate > 0) return static_cast<int32_t>(std::nearbyint(1000 / rate));
  return static_cast<int32_t>(DICOMNumber(0x0018, 0x1063));
}

double TIOParamsVals::DICOMNumber(uint16_t group, uint16_t element) const {
  std::string text;
  DICOMTags.GetTagString(group, element, text);
  double value = 0;
  return TryStrToFloat(Trim(text), value, InvariantFormatSettings()) ? value : 0;
}

int32_t TIOParamsVals::GetDICOMCompression() const {
  std::string uid;
  DICOMTags.GetTagString(0x0002, 0x0010, uid);
  uid = Trim(uid);
  for (size_t i = 0; i < IEDICOMTransferSyntaxes.size(); ++i)
    if (uid == IEDICOMTransferSyntaxes[i]) return static_cast<int32_t>(i);
  return 1;
}

void TIOParamsVals::SetDICOMCompression(int32_t index) {
  const auto* uid = At(IEDICOMTransferSyntaxes, index);
  DICOMTags.SetTagString(0x0002, 0x0010, uid ? *uid : "");
}

void TIOParamsVals::SetXMP_Info(const std::string& text) {
  XMP_INFO = text;
  auto parsed = std::make_unique<TIEDictionary>(103);
  if (text.empty() || !parsed->Parse(text) || parsed->IsEmpty()) return;
  Metadata.InsertDictionary("XMP", std::move(parsed));
}

TIEICC& TIOParamsVals::GetInputICCProfile() {
  if (!inputICC_) inputICC_ = std::make_unique<TIEICC>();
  return *inputICC_;
}

TIEICC& TIOParamsVals::GetOutputICCProfile() {
  if (!outputICC_) {
    outputICC_ = std::make_unique<TIEICC>();
    outputICC_->LoadSRGBProfile();
  }
  return *outputICC_;
}

TIEICC& TIOParamsVals::GetDefaultICCProfile() {
  if (!defaultICC_) defaultICC_ = std::make_unique<TIEICC>();
  return *defaultICC_;
}

TIEImagingAnnot& TIOParamsVals::GetImagingAnnot() {
  if (!imagingAnnot_) imagingAnnot_ = std::make_unique<TIEImagingAnnot>(this);
  return *imagingAnnot_;
}

void TIOParamsVals::FreeICCProfiles() {
  inputICC_.reset();
  outputICC_.reset();
  defaultICC_.reset();
}

// ---- EXIF and GPS -------------------------------------------------------------------

void TIOParamsVals::ResetEXIF() {
  static_cast<TIEEXIFFields&>(*this) = TIEEXIFFields{};
  EXIFThumbnail.reset();
  EXIFMakerNote.Clear();
  // The EXIF block of the file read goes with the values: the first APP1
  // marker that holds one.
  for (int32_t i = 0; i < JPEGMarkers.GetCount(); ++i)
    if (JPEGMarkers.GetMarkerType(i) == IE_JPEG_APP1 &&
        IEIsEXIFHeader(JPEGMarkers.GetMarkerData(i), static_cast<size_t>(JPEGMarkers.GetMarkerLength(i)))) {
      JPEGMarkers.Delete(i);
      break;
    }
}

void TIOParamsVals::MarkEXIFTag(int32_t tag) {
  if (!IsEXIFTagPresent(tag)) EXIFTagsPresent.push_back(tag);
}

void TIOParamsVals::UnmarkEXIFTag(int32_t tag) { std::erase(EXIFTagsPresent, tag); }

bool TIOParamsVals::IsEXIFTagPresent(int32_t tag) const {
  return std::find(EXIFTagsPresent.begin(), EXIFTagsPresent.end(), tag) != EXIFTagsPresent.end();
}

void TIOParamsVals::SetEXIF_XResolution(double value) {
  SetDpiX(static_cast<int32_t>(value));
  EXIF_XRESOLUTION = value;
}

void TIOParamsVals::SetEXIF_YResolution(double value) {
  SetDpiY(static_cast<int32_t>(value));
  EXIF_YRESOLUTION = value;
}

int32_t TIOParamsVals::GetEXIF_ISOSpeedRatings(int32_t index) const { return ValueAt(EXIF_ISOSPEEDRATINGS, index); }
void TIOParamsVals::SetEXIF_ISOSpeedRatings(int32_t index, int32_t value) { StoreAt(EXIF_ISOSPEEDRATINGS, index, value); }
double TIOParamsVals::GetEXIF_WhitePoint(int32_t index) const { return ValueAt(EXIF_WHITEPOINT, index); }
void TIOParamsVals::SetEXIF_WhitePoint(int32_t index, double value) { StoreAt(EXIF_WHITEPOINT, index, value); }
double TIOParamsVals::GetEXIF_PrimaryChromaticities(int32_t index) const {
  return ValueAt(EXIF_PRIMARYCHROMATICITIES, index);
}
void TIOParamsVals::SetEXIF_PrimaryChromaticities(int32_t index, double value) {
  StoreAt(EXIF_PRIMARYCHROMATICITIES, index, value);
}
double TIOParamsVals::GetEXIF_YCbCrCoefficients(int32_t index) const { return ValueAt(EXIF_YCBCRCOEFFICIENTS, index); }
void TIOParamsVals::SetEXIF_YCbCrCoefficients(int32_t index, double value) {
  StoreAt(EXIF_YCBCRCOEFFICIENTS, index, value);
}
double TIOParamsVals::GetEXIF_ReferenceBlackWhite(int32_t index) const {
  return ValueAt(EXIF_REFERENCEBLACKWHITE, index);
}
void TIOParamsVals::SetEXIF_ReferenceBlackWhite(int32_t index, double value) {
  StoreAt(EXIF_REFERENCEBLACKWHITE, index, value);
}

TDateTime TIOParamsVals::GetEXIF_DateTimeOriginalAsDateTime() const {
  return IEEXIFDateToDateTime(EXIF_DATETIMEORIGINAL);
}

double TIOParamsVals::GetEXIF_GPSLatitude() const {
  return IEDMSToDegrees(EXIF_GPSLATITUDEREF, EXIF_GPSLATITUDEDEGREES, EXIF_GPSLATITUDEMINUTES, EXIF_GPSLATITUDESECONDS);
}

double TIOParamsVals::GetEXIF_GPSLongitude() const {
  return IEDMSToDegrees(EXIF_GPSLONGITUDEREF, EXIF_GPSLONGITUDEDEGREES, EXIF_GPSLONGITUDEMINUTES,
                        EXIF_GPSLONGITUDESECONDS);
}

void TIOParamsVals::SetEXIF_GPSLatitude(double value) {
  IEDegreesToDMS(value, "SN", EXIF_GPSLATITUDEREF, EXIF_GPSLATITUDEDEGREES, EXIF_GPSLATITUDEMINUTES,
                 EXIF_GPSLATITUDESECONDS);
}

void TIOParamsVals::SetEXIF_GPSLongitude(double value) {
  IEDegreesToDMS(value, "WE", EXIF_GPSLONGITUDEREF, EXIF_GPSLONGITUDEDEGREES, EXIF_GPSLONGITUDEMINUTES,
                 EXIF_GPSLONGITUDESECONDS);
}

double IEDMSToDegrees(const std::string& reference, double degrees, double minutes, double seconds) {
  const double value = degrees + minutes / 60 + seconds / 3600;
  const bool negative = !reference.empty() && (reference[0] == 'S' || reference[0] == 'W' ||
                                               reference[0] == 's' || reference[0] == 'w');
  return negative ? -value : value;
}

void IEDegreesToDMS(double value, const char* refs, std::string& reference, double& degrees, double& minutes,
                    double& seconds) {
  reference = std::string(1, value < 0 ? refs[0] : refs[1]);
  const double a = std::fabs(value);
  degrees = std::trunc(a);
  const double m = (a - degrees) * 60;
  minutes = std::trunc(m);
  seconds = (m - minutes) * 60;
}

void IENormalizeGPSCoordinates(TIOParamsVals& p) {
  auto normalize = [](const char* refs, std::string& ref, double& d, double& m, double& s) {
    IEDegreesToDMS(IEDMSToDegrees(ref, d, m, s), refs, ref, d, m, s);
  };
  normalize("SN", p.EXIF_GPSLATITUDEREF, p.EXIF_GPSLATITUDEDEGREES, p.EXIF_GPSLATITUDEMINUTES,
            p.EXIF_GPSLATITUDESECONDS);
  normalize("WE", p.EXIF_GPSLONGITUDEREF, p.EXIF_GPSLONGITUDEDEGREES, p.EXIF_GPSLONGITUDEMINUTES,
            p.EXIF_GPSLONGITUDESECONDS);
  normalize("SN", p.EXIF_GPSDESTLATITUDEREF, p.EXIF_GPSDESTLATITUDEDEGREES, p.EXIF_GPSDESTLATITUDEMINUTES,
            p.EXIF_GPSDESTLATITUDESECONDS);
  normalize("WE", p.EXIF_GPSDESTLONGITUDEREF, p.EXIF_GPSDESTLONGITUDEDEGREES, p.EXIF_GPSDESTLONGITUDEMINUTES,
            p.EXIF_GPSDESTLONGITUDESECONDS);
}

void IECopyEXIF(const TIOParamsVals& source, TIOParamsVals& dest, bool withThumbnail) {
  if (&source == &dest) return;
  static_cast<TIEEXIFFields&>(dest) = static_cast<const TIEEXIFFields&>(source);
  dest.EXIFMakerNote.Assign(source.EXIFMakerNote);
  if (!withThumbnail) return;
  dest.EXIFThumbnail.reset();
  if (source.EXIFThumbnail) dest.EXIFThumbnail = std::make_unique<TIEBitmap>(*source.EXIFThumbnail);
}

bool IEReadXMPBlock(const uint8_t* data, int64_t length, TIOParamsVals& params) {
  std::string packet;
  if (!IEReadXMPBlock(data, length, packet)) return false;
  params.SetXMP_Info(packet);
  return true;
}

std::vector<uint8_t> IEBuildXMPBlock(const TIOParamsVals& params) { return IEBuildXMPBlock(params.XMP_INFO); }
