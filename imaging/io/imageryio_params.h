// The parameter set that travels with one image through loading and saving:
// what a reader found (size, depth, resolution, file type, the format's own
// options, EXIF and GPS, ICC profiles) and what a writer shall use.
// Fields that can be reached by a text key carry the key as their name.
//
// Sections: TIOParamsVals (general | TIFF | GIF | JPEG | JPEG 2000, PCX, BMP,
// ICO, CUR, PNG | DICOM | TGA | metadata | EXIF and GPS | video, PostScript,
// PDF | camera raw, raw bitmap, PSD, HD Photo and the rest | operations)
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_annot.h"
#include "imaging/core/ruduvazez_dicomtags.h"
#include "imaging/core/ruduvazez_dictionary.h"
#include "imaging/core/ruduvazez_makernote.h"
#include "imaging/core/ruduvazez_markers.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/object.h"

class TIEBitmap;
class TIEICC;
class TImageryIO;

using TIEArrayOfByte = std::vector<uint8_t>;

// An icon image size: width and height.
struct TIEIconSize {
  int32_t Width = 0, Height = 0;
  bool operator==(const TIEIconSize&) const = default;
};

// The transfer syntax UIDs of the DICOM compression choice 0..9.
extern const std::array<const char*, 10> IEDICOMTransferSyntaxes;

// The EXIF and GPS values of a parameter set; each member starts at its
// absent value, so a default-made object is the reset state.
struct TIEEXIFFields {
  std::vector<int32_t> EXIFTagsPresent;  // EXIF tags that hold a value
  bool EXIF_HASEXIF = false;
  int32_t EXIF_ORIENTATION = 0;
  std::string EXIF_IMAGEDESCRIPTION, EXIF_MAKE, EXIF_MODEL;
  double EXIF_XRESOLUTION = 0, EXIF_YRESOLUTION = 0;
  int32_t EXIF_RESOLUTIONUNIT = 0;
  std::string EXIF_SOFTWARE, EXIF_ARTIST, EXIF_DATETIME;
  std::array<double, 2> EXIF_WHITEPOINT{-1, -1};
  std::array<double, 6> EXIF_PRIMARYCHROMATICITIES{-1, -1, -1, -1, -1, -1};
  std::array<double, 3> EXIF_YCBCRCOEFFICIENTS{-1, -1, -1};
  int32_t EXIF_YCBCRPOSITIONING = -1;
  std::array<double, 6> EXIF_REFERENCEBLACKWHITE{-1, -1, -1, -1, -1, -1};
  std::string EXIF_COPYRIGHT;
  double EXIF_EXPOSURETIME = -1;
  double EXIF_FNUMBER = -1;
  int32_t EXIF_EXPOSUREPROGRAM = -1;
  std::array<int32_t, 2> EXIF_ISOSPEEDRATINGS{0, 0};
  std::string EXIF_EXIFVERSION, EXIF_DATETIMEORIGINAL, EXIF_DATETIMEDIGITIZED;
  double EXIF_COMPRESSEDBITSPERPIXEL = 0;
  double EXIF_SHUTTERSPEEDVALUE = -1;
  double EXIF_APERTUREVALUE = -1;
  double EXIF_BRIGHTNESSVALUE = -1000;
  double EXIF_EXPOSUREBIASVALUE = -1000;
  double EXIF_MAXAPERTUREVALUE = -1000;
  double EXIF_SUBJECTDISTANCE = -1;
  int32_t EXIF_METERINGMODE = -1, EXIF_LIGHTSOURCE = -1, EXIF_FLASH = -1;
  double EXIF_FOCALLENGTH = -1;
  std::string EXIF_SUBSECTIME, EXIF_SUBSECTIMEORIGINAL, EXIF_SUBSECTIMEDIGITIZED, EXIF_FLASHPIXVERSION;
  int32_t EXIF_COLORSPACE = -1;
  int32_t EXIF_EXIFIMAGEWIDTH = 0, EXIF_EXIFIMAGEHEIGHT = 0;
  std::string EXIF_RELATEDSOUNDFILE;
  double EXIF_FOCALPLANEXRESOLUTION = -1, EXIF_FOCALPLANEYRESOLUTION = -1;
  int32_t EXIF_FOCALPLANERESOLUTIONUNIT = -1;
  double EXIF_EXPOSUREINDEX = -1;
  int32_t EXIF_SENSINGMETHOD = -1, EXIF_FILESOURCE = -1, EXIF_SCENETYPE = -1;
  std::string EXIF_USERCOMMENT;
  std::string EXIF_USERCOMMENTCODE;
  int32_t EXIF_XPRATING = -1;
  std::string EXIF_XPTITLE, EXIF_XPCOMMENT, EXIF_XPAUTHOR, EXIF_XPKEYWORDS, EXIF_XPSUBJECT;
  int32_t EXIF_EXPOSUREMODE = -1, EXIF_WHITEBALANCE = -1;
  double EXIF_DIGITALZOOMRATIO = -1;
  int32_t EXIF_FOCALLENGTHIN35MMFILM = -1, EXIF_SCENECAPTURETYPE = -1, EXIF_GAINCONTROL = -1, EXIF_CONTRAST = -1,
          EXIF_SATURATION = -1, EXIF_SHARPNESS = -1, EXIF_SUBJECTDISTANCERANGE = -1;
  std::string EXIF_IMAGEUNIQUEID;
  std::string EXIF_GPSVERSIONID, EXIF_GPSLATITUDEREF;
  double EXIF_GPSLATITUDEDEGREES = 0, EXIF_GPSLATITUDEMINUTES = 0, EXIF_GPSLATITUDESECONDS = 0;
  std::string EXIF_GPSLONGITUDEREF;
  double EXIF_GPSLONGITUDEDEGREES = 0, EXIF_GPSLONGITUDEMINUTES = 0, EXIF_GPSLONGITUDESECONDS = 0;
  std::string EXIF_GPSALTITUDEREF;
  double EXIF_GPSALTITUDE = 0, EXIF_GPSTIMESTAMPHOUR = 0, EXIF_GPSTIMESTAMPMINUTE = 0, EXIF_GPSTIMESTAMPSECOND = 0;
  std::string EXIF_GPSSATELLITES, EXIF_GPSSTATUS, EXIF_GPSMEASUREMODE;
  double EXIF_GPSDOP = 0;
  std::string EXIF_GPSSPEEDREF;
  double EXIF_GPSSPEED = 0;
  std::string EXIF_GPSTRACKREF;
  double EXIF_GPSTRACK = 0;
  std::string EXIF_GPSIMGDIRECTIONREF;
  double EXIF_GPSIMGDIRECTION = 0;
  std::string EXIF_GPSMAPDATUM;
  std::string EXIF_GPSDESTLATITUDEREF;
  double EXIF_GPSDESTLATITUDEDEGREES = 0, EXIF_GPSDESTLATITUDEMINUTES = 0, EXIF_GPSDESTLATITUDESECONDS = 0;
  std::string EXIF_GPSDESTLONGITUDEREF;
  double EXIF_GPSDESTLONGITUDEDEGREES = 0, EXIF_GPSDESTLONGITUDEMINUTES = 0, EXIF_GPSDESTLONGITUDESECONDS = 0;
  std::string EXIF_GPSDESTBEARINGREF;
  double EXIF_GPSDESTBEARING = 0;
  std::string EXIF_GPSDESTDISTANCEREF;
  double EXIF_GPSDESTDISTANCE = 0;
  std::string EXIF_GPSDATESTAMP;
  // The interoperability directory's index ("R98", "R03") and version texts.
  std::string EXIF_INTEROPINDEX, EXIF_INTEROPVERSION;
};

// The plain values of a parameter set, each starting at its default.
struct TIOParamsFields {
  // ---- general
  int32_t BITSPERSAMPLE = 8;
  std::string FILENAME;
  int32_t SAMPLESPERPIXEL = 3;
  int32_t WIDTH = 0, HEIGHT = 0;
  int32_t DPIX = 0, DPIY = 0;
  int32_t FILETYPE = 0;
  int32_t IMAGEINDEX = 0;
  int32_t IMAGECOUNT = 0;
  bool GETTHUMBNAIL = false;
  bool ISRESOURCE = false;
  bool ENABLEADJUSTORIENTATION = false;
  int32_t ORIGINALWIDTH = 0, ORIGINALHEIGHT = 0;

  // ---- TIFF
  uint8_t TIFF_COMPRESSION = 0;
  int32_t TIFF_IMAGEINDEX = 0;
  int32_t TIFF_SUBINDEX = -1;
  int32_t TIFF_NEWSUBFILETYPE = 0;
  uint8_t TIFF_PHOTOMETINTEPRET = 2;
  int32_t TIFF_PLANARCONF = 1;
  int32_t TIFF_XPOS = 0, TIFF_YPOS = 0;
  int32_t TIFF_GETTILE = -1;
  std::string TIFF_DOCUMENTNAME, TIFF_IMAGEDESCRIPTION, TIFF_PAGENAME;
  int32_t TIFF_PAGENUMBER = -1, TIFF_PAGECOUNT = -1;
  int32_t TIFF_ORIENTATION = 1;
  TIETIFFLZWDecoder TIFFLZWDecoder = nullptr;
  TIETIFFLZWEncoder TIFFLZWEncoder = nullptr;
  bool TIFF_ENABLEADJUSTORIENTATION = false;
  int32_t TIFF_JPEGQUALITY = 80;
  uint8_t TIFF_JPEGCOLORSPACE = 2;
  int32_t TIFF_ZIPCOMPRESSION = 1;
  int32_t TIFF_STRIPCOUNT = 0;
  int32_t TIFF_IMAGECOUNT = 0;
  int32_t TIFF_FILLORDER = 1;
  uint8_t TIFF_BYTEORDER = 1;
  TIEArrayOfByte TIFFImageResources;   // tag 34377, kept and written back
  TIEArrayOfByte TIFFImageSourceData;  // tag 37724, kept and written back
  bool TIFFIsBigTIFF = false;
  int32_t DCX_IMAGEINDEX = 0;

  // ---- GIF
  std::string GIF_VERSION = "GIF89a";
  int32_t GIF_IMAGEINDEX = 0;
  int32_t GIF_XPOS = 0, GIF_YPOS = 0;
  int32_t GIF_DELAYTIME = 0;
  bool GIF_TRANSPARENT = false;
  TRGB GIF_TRANSPCOLOR;
  bool GIF_INTERLACED = false;
  int32_t GIF_WINWIDTH = 0, GIF_WINHEIGHT = 0;
  TRGB GIF_BACKGROUND;
  int32_t GIF_RATIO = 0;
  std::vector<std::string> GIFComments;
  uint8_t GIFDisposalMethod = 2;
  uint8_t GIFSpareByte = 0;  // non-zero: load the frame alone, uncomposed
  TIEGIFLZWDecoder GIFLZWDecoder = nullptr;
  TIEGIFLZWEncoder GIFLZWEncoder = nullptr;
  int32_t GIF_IMAGECOUNT = 0;

  // ---- JPEG
  uint8_t JPEG_COLORSPACE = 2;
  int32_t JPEG_QUALITY = 80;
  uint8_t JPEG_DCTMETHOD = 0;
  uint8_t JPEG_CROMASUBSAMPLING = 1;
  bool JPEG_OPTIMALHUFFMAN = false;
  int32_t JPEG_SMOOTH = 0;
  bool JPEG_PROGRESSIVE = false;
  uint8_t JPEG_SCALE = 1;
  int32_t JPEG_SCALE_USED = 1;
  int32_t JPEG_WARNINGTOT = 0, JPEG_WARNINGCODE = 0;
  bool JPEG_ENABLEADJUSTORIENTATION = false;
  bool JPEG_GETEXIFTHUMBNAIL = false;

  // ---- JPEG 2000, PCX, BMP, ICO, CUR, PNG
  uint8_t J2000_COLORSPACE = 1;
  double J2000_RATE = 0.07;
  uint8_t J2000_SCALABLEBY = 0;
  int32_t PCX_VERSION = 5;
  uint8_t PCX_COMPRESSION = 1;
  uint8_t BMP_VERSION = 1;
  uint8_t BMP_COMPRESSION = 0;
  bool BMP_HANDLETRANSPARENCY = false;
  int32_t ICO_IMAGEINDEX = 0;
  TRGB ICO_BACKGROUND{255, 255, 255};
  int32_t CUR_IMAGEINDEX = 0;
  int32_t CUR_XHOTSPOT = 0, CUR_YHOTSPOT = 0;
  TRGB CUR_BACKGROUND{255, 255, 255};
  bool PNG_INTERLACED = false;
  TRGB PNG_BACKGROUND;
  uint8_t PNG_FILTER = 0;
  int32_t PNG_COMPRESSION = 5;
  std::vector<std::string> PNGTextKeys, PNGTextValues;

  // ---- DICOM (the data elements: TIOParamsVals::DICOMTags)
  double DICOMValueOffset = 0;
  uint8_t DICOMRangeMode = 0;
  int32_t DICOMJPEGQuality = 80;
  double DICOMJ2000Rate = 0.07;
  double DICOMRescaleIntercept = 0;
  double DICOMRescaleSlope = 1.0;

  // ---- TGA
  int32_t TGA_XPOS = 0, TGA_YPOS = 0;
  bool TGA_COMPRESSED = true;
  std::string TGA_DESCRIPTOR, TGA_AUTHOR;
  TDateTime TGA_DATE = 0;
  std::string TGA_IMAGENAME;
  TRGB TGA_BACKGROUND;
  double TGA_ASPECTRATIO = 1.0;
  double TGA_GAMMA = 2.2;
  bool TGA_GRAYLEVEL = false;

  // ---- metadata
  std::vector<std::string> PXMComments;

  // (EXIF and GPS: TIEEXIFFields)

  // ---- video, PostScript, PDF
  int32_t AVI_FRAMECOUNT = 0;
  double AVI_FRAMEDELAYTIME = 0;
  int32_t MEDIAFILE_FRAMECOUNT = 0;
  double MEDIAFILE_FRAMEDELAYTIME = 0;
  int32_t PS_PAPERWIDTH = 595, PS_PAPERHEIGHT = 842;
  uint8_t PS_COMPRESSION = 1;
  std::string PS_TITLE = "No Title";
  int32_t PDF_PAPERWIDTH = 595, PDF_PAPERHEIGHT = 842;
  uint8_t PDF_COMPRESSION = 2;
  std::string PDF_TITLE, PDF_AUTHOR, PDF_SUBJECT, PDF_KEYWORDS, PDF_CREATOR, PDF_PRODUCER;

  // ---- camera raw, raw bitmap, PSD, HD Photo and the rest
  bool RAW_HALFSIZE = false;
  double RAW_GAMMA = 0.6;
  double RAW_BRIGHT = 1.0;
  double RAW_REDSCALE = 1.0, RAW_BLUESCALE = 1.0;
  bool RAW_QUICKINTERPOLATE = true;
  bool RAW_USEAUTOWB = false, RAW_USECAMERAWB = false;
  bool RAW_FOURCOLORRGB = false;
  std::string RAW_CAMERA;
  bool RAW_GETEXIFTHUMBNAIL = false;
  bool RAW_AUTOADJUSTCOLORS = false;
  std::string RAW_EXTRAPARAMS;
  uint8_t BMPRAW_CHANNELORDER = 0;
  uint8_t BMPRAW_PLANES = 0;
  int32_t BMPRAW_ROWALIGN = 8;
  int32_t BMPRAW_HEADERSIZE = 0;
  uint8_t BMPRAW_DATAFORMAT = 0;
  bool PSD_LOADLAYERS = false;
  bool PSD_REPLACELAYERS = true;
  bool PSD_HASPREMULTIPLIEDALPHA = false;
  bool PSDLargeDocument = false;
  std::string PSDLayerName;
  double HDP_IMAGEQUALITY = 0.9;
  bool HDP_LOSSLESS = false;
  std::string XMP_INFO;
  bool ISNATIVEPIXELFORMAT = false;
  std::vector<TRGB> ColorMap;  // COLORMAPCOUNT entries
  std::array<TIEIconSize, 16> ICOSizes{TIEIconSize{64, 64}};
  std::array<int32_t, 16> ICOBitCounts{8};

};

class TIOParamsVals : public TObject, public TIOParamsFields, public TIEEXIFFields {
public:
  explicit TIOParamsVals(TImageryIO* owner);
  ~TIOParamsVals() override;
  TIOParamsVals(const TIOParamsVals&) = delete;
  TIOParamsVals& operator=(const TIOParamsVals&) = delete;

  TImageryIO* Owner;
  // Free-form metadata; the parsed XMP packet is held under "XMP".
  TIEDictionary Metadata{103};
  // The DICOM data elements read; the writer writes them back. The transfer
  // syntax (0002,0010) doubles as the compression choice.
  TIEDicomTags DICOMTags;
  // The EXIF thumbnail, when a reader decoded it.
  std::unique_ptr<TIEBitmap> EXIFThumbnail;
  // The camera maker's note of the EXIF block.
  TIETagsHandler EXIFMakerNote;
  // The markers of the JPEG file read, kept for writing back, and its IPTC records.
  TIEMarkerList JPEGMarkers;
  TIEIPTCInfoList IPTC;
  // The library's own annotation block.
  TIEImageryAnnot Annotations{this};
  // The TIFF image annotations, made on first request.
  TIEImagingAnnot& GetImagingAnnot();
  TIEImagingAnnot* ImagingAnnotationsOrNull() const { return imagingAnnot_.get(); }
  int32_t COLORMAPCOUNT() const { return static_cast<int32_t>(ColorMap.size()); }

  // ---- operations
  void SetDefaultParams();
  // Clears what a load must not inherit from the previous image.
  void ResetForLoad();
  void Assign(const TIOParamsVals& source);
  // Copies only what decides how an image is encoded.
  void AssignCompressionInfo(const TIOParamsVals& source);

  void SetDpiX(int32_t value);
  void SetDpiY(int32_t value);
  void SetImageIndex(int32_t value);
  void SetImageCount(int32_t value);
  void SetEnableAdjustOrientation(bool value);
  void SetGetThumbnail(bool value);
  void SetJPEG_GetExifThumbnail(bool value);
  void SetTIFF_Orientation(int32_t value);
  void SetEXIF_Orientation(int32_t value) { SetTIFF_Orientation(value); }
  // Display time of the current frame in milliseconds, by FILETYPE.
  int32_t GetImageDelayTime() const;
  void FreeColorMap() { ColorMap.clear(); }
  int32_t GetDICOMCompression() const;
  void SetDICOMCompression(int32_t index);
  // Stores the text and its parse under "XMP" of Metadata; a text that
  // parses into nothing leaves Metadata as it was.
  void SetXMP_Info(const std::string& text);

  // The profiles, each created empty on first request; the output profile
  // starts as sRGB. The ...OrNull forms only look.
  TIEICC& GetInputICCProfile();
  TIEICC& GetOutputICCProfile();
  TIEICC& GetDefaultICCProfile();
  TIEICC* InputICCProfileOrNull() const { return inputICC_.get(); }
  TIEICC* OutputICCProfileOrNull() const { return outputICC_.get(); }
  TIEICC* DefaultICCProfileOrNull() const { return defaultICC_.get(); }
  void FreeICCProfiles();

  // ---- the parameter stream (imageryio_stream.cpp)
  // Writes the set, version 52.
  void SaveToStream(TStream& stream);
  // Reads a set of any version; fields the stream does not carry keep their
  // values. EReadError for a stream that ends early or whose counts and
  // lengths exceed what it holds.
  void LoadFromStream(TStream& stream);

  // ---- access by key (imageryio_keys.cpp)
  // The value of the key's parameter as text, or "INVALID PROPERTY". Keys
  // are compared in upper case, control characters removed.
  std::string GetByName(const std::string& key);
  // Sets the key's parameter from the text; unknown and read-only keys do nothing.
  void SetByName(const std::string& key, const std::string& value);

  // ---- EXIF and GPS operations
  void ResetEXIF();
  void MarkEXIFTag(int32_t tag);
  void UnmarkEXIFTag(int32_t tag);
  bool IsEXIFTagPresent(int32_t tag) const;
  void SetEXIF_XResolution(double value);
  void SetEXIF_YResolution(double value);
  // The valued EXIF fields: store, then mark the tag unless the value is the
  // field's absent value (then unmark it).
  void SetEXIF_ExposureTime(double v) { SetMarked(EXIF_EXPOSURETIME, v, 0x829A, -1.0); }
  void SetEXIF_FNumber(double v) { SetMarked(EXIF_FNUMBER, v, 0x829D, -1.0); }
  void SetEXIF_ExposureProgram(int32_t v) { SetMarked(EXIF_EXPOSUREPROGRAM, v, 0x8822, -1); }
  void SetEXIF_CompressedBitsPerPixel(double v) { SetMarked(EXIF_COMPRESSEDBITSPERPIXEL, v, 0x9102, 0.0); }
  void SetEXIF_ShutterSpeedValue(double v) { SetMarked(EXIF_SHUTTERSPEEDVALUE, v, 0x9201, -1.0); }
  void SetEXIF_ApertureValue(double v) { SetMarked(EXIF_APERTUREVALUE, v, 0x9202, -1.0); }
  void SetEXIF_BrightnessValue(double v) { SetMarked(EXIF_BRIGHTNESSVALUE, v, 0x9203, -1000.0); }
  void SetEXIF_ExposureBiasValue(double v) { SetMarked(EXIF_EXPOSUREBIASVALUE, v, 0x9204, -1000.0); }
  void SetEXIF_MaxApertureValue(double v) { SetMarked(EXIF_MAXAPERTUREVALUE, v, 0x9205, -1000.0); }
  void SetEXIF_SubjectDistance(double v) { SetMarked(EXIF_SUBJECTDISTANCE, v, 0x9206, -1.0); }
  void SetEXIF_MeteringMode(int32_t v) { SetMarked(EXIF_METERINGMODE, v, 0x9207, -1); }
  void SetEXIF_LightSource(int32_t v) { SetMarked(EXIF_LIGHTSOURCE, v, 0x9208, -1); }
  void SetEXIF_Flash(int32_t v) { SetMarked(EXIF_FLASH, v, 0x9209, -1); }
  void SetEXIF_FocalLength(double v) { SetMarked(EXIF_FOCALLENGTH, v, 0x920A, -1.0); }
  void SetEXIF_ColorSpace(int32_t v) { SetMarked(EXIF_COLORSPACE, v, 0xA001, -1); }
  void SetEXIF_ExifImageWidth(int32_t v) { SetMarked(EXIF_EXIFIMAGEWIDTH, v, 0xA002, 0); }
  void SetEXIF_ExifImageHeight(int32_t v) { SetMarked(EXIF_EXIFIMAGEHEIGHT, v, 0xA003, 0); }
  void SetEXIF_FocalPlaneXResolution(double v) { SetMarked(EXIF_FOCALPLANEXRESOLUTION, v, 0xA20E, -1.0); }
  void SetEXIF_FocalPlaneYResolution(double v) { SetMarked(EXIF_FOCALPLANEYRESOLUTION, v, 0xA20F, -1.0); }
  void SetEXIF_FocalPlaneResolutionUnit(int32_t v) { SetMarked(EXIF_FOCALPLANERESOLUTIONUNIT, v, 0xA210, -1); }
  void SetEXIF_ExposureIndex(double v) { SetMarked(EXIF_EXPOSUREINDEX, v, 0xA215, -1.0); }
  void SetEXIF_SensingMethod(int32_t v) { SetMarked(EXIF_SENSINGMETHOD, v, 0xA217, -1); }
  void SetEXIF_FileSource(int32_t v) { SetMarked(EXIF_FILESOURCE, v, 0xA300, -1); }
  void SetEXIF_SceneType(int32_t v) { SetMarked(EXIF_SCENETYPE, v, 0xA301, -1); }
  // Indexed values; an index outside the field's range reads 0 (-1 for the
  // doubles' absent value is not invented) and writes nothing.
  int32_t GetEXIF_ISOSpeedRatings(int32_t index) const;
  void SetEXIF_ISOSpeedRatings(int32_t index, int32_t value);
  double GetEXIF_WhitePoint(int32_t index) const;
  void SetEXIF_WhitePoint(int32_t index, double value);
  double GetEXIF_PrimaryChromaticities(int32_t index) const;
  void SetEXIF_PrimaryChromaticities(int32_t index, double value);
  double GetEXIF_YCbCrCoefficients(int32_t index) const;
  void SetEXIF_YCbCrCoefficients(int32_t index, double value);
  double GetEXIF_ReferenceBlackWhite(int32_t index) const;
  void SetEXIF_ReferenceBlackWhite(int32_t index, double value);
  TDateTime GetEXIF_DateTimeOriginalAsDateTime() const;
  double GetEXIF_GPSLatitude() const;
  double GetEXIF_GPSLongitude() const;
  void SetEXIF_GPSLatitude(double value);
  void SetEXIF_GPSLongitude(double value);

private:
  template <class T>
  void SetMarked(T& field, T value, int32_t tag, T absent) {
    field = value;
    if (value != absent)
      MarkEXIFTag(tag);
    else
      UnmarkEXIFTag(tag);
  }
  void CopyEXIFFrom(const TIOParamsVals& source);
  // The display time of a DICOM frame in milliseconds, from its tags.
  int32_t DICOMFrameTime() const;
  // The element's value as a number; 0 when absent or not a number.
  double DICOMNumber(uint16_t group, uint16_t element) const;

  std::unique_ptr<TIEICC> inputICC_, outputICC_, defaultICC_;
  std::unique_ptr<TIEImagingAnnot> imagingAnnot_;
};

// Degrees from a reference letter and degrees, minutes, seconds: negative
// for "S" and "W".
double IEDMSToDegrees(const std::string& reference, double degrees, double minutes, double seconds);
// Whole degrees, whole minutes, seconds with fraction and the reference
// letter (refs[0] for negative values, refs[1] otherwise).
void IEDegreesToDMS(double value, const char* refs, std::string& reference, double& degrees, double& minutes,
                    double& seconds);
// Brings the minutes and seconds of the four GPS coordinates into range.
void IENormalizeGPSCoordinates(TIOParamsVals& params);
// Copies the EXIF and GPS group (with the thumbnail when withThumbnail).
void IECopyEXIF(const TIOParamsVals& source, TIOParamsVals& dest, bool withThumbnail);
// The XMP packet of an APP1 segment into the parameters' XMP_INFO; false,
// the parameters untouched, when the segment holds none.
bool IEReadXMPBlock(const uint8_t* data, int64_t length, TIOParamsVals& params);
// The APP1 segment of the parameters' XMP_INFO: the namespace, its NUL and the packet.
std::vector<uint8_t> IEBuildXMPBlock(const TIOParamsVals& params);
