// Parameter access by key: one table of keys, each with its text getter and
// setter built from the field it names.
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/sysutils.h"

namespace {

using P = TIOParamsVals;
using Getter = std::function<std::string(P&)>;
using Setter = std::function<void(P&, const std::string&)>;

struct TKey {
  Getter get;
  Setter set;  // empty: read-only
};

// ---- text forms ----------------------------------------------------------------

std::string StripControlChars(const std::string& text) {
  std::string out;
  for (char c : text)
    if (static_cast<uint8_t>(c) >= 32 && c != 127) out += c;
  return out;
}

bool TextToBool(const std::string& text) {
  const std::string upper = UpperCase(text);
  return upper == "1" || upper == "TRUE" || upper == "T";
}

std::string RGBToText(TRGB rgb) {
  return std::to_string(rgb.r) + ", " + std::to_string(rgb.g) + ", " + std::to_string(rgb.b);
}

TRGB TextToRGB(const std::string& text) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    parts.push_back(Trim(text.substr(start, comma - start)));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  if (parts.size() != 3) return TRGB{};
  auto part = [&](int i) { return static_cast<uint8_t>(StrToIntDef(parts[static_cast<size_t>(i)], 0)); };
  return TRGB{part(2), part(1), part(0)};
}

double TextToDouble(const std::string& text, double fallback) {
  return IEStrToFloatDef(text, fallback);
}

// ---- key builders ----------------------------------------------------------------

template <class F, class T>
TKey Int(T F::*field, int32_t fallback = 0) {
  return {[field](P& p) { return std::to_string(static_cast<int64_t>(p.*field)); },
          [field, fallback](P& p, const std::string& v) { p.*field = static_cast<T>(StrToIntDef(v, fallback)); }};
}

template <class F>
TKey Bool(bool F::*field) {
  return {[field](P& p) { return std::string(p.*field ? "1" : "0"); },
          [field](P& p, const std::string& v) { p.*field = TextToBool(v); }};
}

template <class F>
TKey Double(double F::*field, double fallback = 0) {
  return {[field](P& p) { return IEFloatToStrDot(p.*field); },
          [field, fallback](P& p, const std::string& v) { p.*field = TextToDouble(v, fallback); }};
}

template <class F>
TKey Color(TRGB F::*field) {
  return {[field](P& p) { return RGBToText(p.*field); },
          [field](P& p, const std::string& v) { p.*field = TextToRGB(v); }};
}

template <class F>
TKey Text(std::string F::*field) {
  return {[field](P& p) { return p.*field; }, [field](P& p, const std::string& v) { p.*field = v; }};
}

TKey ReadOnly(Getter get) { return {std::move(get), nullptr}; }

// An integer or double read from its field and set through a setter.
template <class F, class T>
TKey IntVia(T F::*field, void (P::*setter)(T), T fallback) {
  return {[field](P& p) { return std::to_string(static_cast<int64_t>(p.*field)); },
          [setter, fallback](P& p, const std::string& v) { (p.*setter)(static_cast<T>(StrToIntDef(v, fallback))); }};
}

template <class F>
TKey DoubleVia(double F::*field, void (P::*setter)(double), double fallback) {
  return {[field](P& p) { return IEFloatToStrDot(p.*field); },
          [setter, fallback](P& p, const std::string& v) { (p.*setter)(TextToDouble(v, fallback)); }};
}

template <class F>
TKey BoolVia(bool F::*field, void (P::*setter)(bool)) {
  return {[field](P& p) { return std::string(p.*field ? "1" : "0"); },
          [setter](P& p, const std::string& v) { (p.*setter)(TextToBool(v)); }};
}

template <class F, class V, size_t N>
TKey Entry(std::array<V, N> F::*array, size_t index) {
  return {[array, index](P& p) {
            if constexpr (std::is_same_v<V, double>)
              return IEFloatToStrDot((p.*array)[index]);
            else
              return std::to_string((p.*array)[index]);
          },
          [array, index](P& p, const std::string& v) {
            if constexpr (std::is_same_v<V, double>)
              (p.*array)[index] = TextToDouble(v, 0);
            else
              (p.*array)[index] = StrToIntDef(v, 0);
          }};
}

constexpr const char* kTIFFCompressions[] = {"UNCOMPRESSED", "CCITT1D", "G3FAX1D", "G3FAX2D", "G4FAX", "LZW",
                                             "OLDJPEG",      "JPEG",    "PACKBITS", "ZIP",    "DEFLATE"};
constexpr const char* kPhotometrics[] = {"WB", "BW", "RGB", "RGBPAL", "TRANSPMASK", "CMYK", "YCBCR", "CIELAB"};

template <size_t N>
std::string Word(const char* const (&words)[N], int32_t index, const char* otherwise) {
  return index >= 0 && index < static_cast<int32_t>(N) ? words[index] : otherwise;
}

std::string FileTypeText(P& p) {
  static constexpr const char* tiff[] = {" Uncompressed", " Huffman", " Group 3 Fax", " Group 3 Fax 2D",
                                         " Group 4 Fax",  " LZW",     " Jpeg v.5",    " Jpeg",
                                         " PackBits RLE", " ZIP",     " Deflate"};
  static constexpr const char* jpeg[] = {"", " Gray level", " YCbCr", " CMYK", " YCbCrK"};
  static constexpr const char* bmp[] = {" ver.1", " ver.3", " OS/2 v.1", " OS/2 v.2"};
  static constexpr const char* j2000[] = {" Gray level", " RGB", " YCbCr"};
  std::string text;
  if (const TIEFileFormatInfo* entry = IEFindFormatById(p.FILETYPE))
    text = entry->DisplayName + " (" + UpperCase(entry->DefaultExtension) + ")";
  switch (p.FILETYPE) {
    case 1: return text + Word(tiff, p.TIFF_COMPRESSION, "");
    case 2: return text + (p.GIF_INTERLACED ? " Interlaced" : "");
    case 3: return text + Word(jpeg, p.JPEG_COLORSPACE, "");
    case 4: return text + (p.PCX_COMPRESSION == 0 ? " Uncompressed" : "");
    case 5: return text + Word(bmp, p.BMP_VERSION, "");
    case 8: return text + (p.PNG_INTERLACED ? " Interlaced" : "");
    case 11: return text + (p.TGA_COMPRESSED ? " Compressed" : " Uncompressed");
    case 13:
    case 14: return text + Word(j2000, p.J2000_COLORSPACE, "");
    case 20: return text + " (" + p.RAW_CAMERA + ")";
    default: return text;
  }
}

using F = TIOParamsFields;
using E = TIEEXIFFields;

const std::unordered_map<std::string, TKey>& Keys() {
  static const std::unordered_map<std::string, TKey> keys = {
      {"FILENAME", ReadOnly([](P& p) { return p.FILENAME; })},
      {"FILETYPESTR", ReadOnly(FileTypeText)},
      {"FILETYPE", ReadOnly([](P& p) { return std::to_string(p.FILETYPE); })},
      {"BITSPERSAMPLE", Int(&F::BITSPERSAMPLE, 8)},
      {"SAMPLESPERPIXEL", Int(&F::SAMPLESPERPIXEL, 8)},
      {"WIDTH", Int(&F::WIDTH, 1)},
      {"HEIGHT", Int(&F::HEIGHT, 1)},
      {"DPIX", IntVia(&F::DPIX, &P::SetDpiX, 1)},
      {"DPIY", IntVia(&F::DPIY, &P::SetDpiY, 1)},
      {"COLORMAPCOUNT", ReadOnly([](P& p) { return std::to_string(p.COLORMAPCOUNT()); })},
      {"ISNATIVEPIXELFORMAT", Bool(&F::ISNATIVEPIXELFORMAT)},
      {"ENABLEADJUSTORIENTATION", BoolVia(&F::ENABLEADJUSTORIENTATION, &P::SetEnableAdjustOrientation)},
      {"ABORTING", {[](P& p) { return std::string(p.Owner && p.Owner->Aborting() ? "1" : "0"); },
                    [](P& p, const std::string& v) {
                      if (p.Owner) p.Owner->SetAborting(TextToBool(v));
                    }}},
      {"TIFF_COMPRESSIONSTR",
       ReadOnly([](P& p) { return Word(kTIFFCompressions, p.TIFF_COMPRESSION, "UNKNOWN"); })},
      {"TIFF_COMPRESSION", Int(&F::TIFF_COMPRESSION)},
      {"TIFF_IMAGEINDEX", IntVia(&F::TIFF_IMAGEINDEX, &P::SetImageIndex, 0)},
      {"TIFF_SUBINDEX", Int(&F::TIFF_SUBINDEX)},
      {"TIFF_IMAGECOUNT", ReadOnly([](P& p) { return std::to_string(p.TIFF_IMAGECOUNT); })},
      {"TIFF_JPEGQUALITY", Int(&F::TIFF_JPEGQUALITY)},
      {"TIFF_ZIPCOMPRESSION", Int(&F::TIFF_ZIPCOMPRESSION)},
      {"TIFF_STRIPCOUNT", Int(&F::TIFF_STRIPCOUNT)},
      {"TIFF_PHOTOMETINTEPRETSTR", ReadOnly([](P& p) { return Word(kPhotometrics, p.TIFF_PHOTOMETINTEPRET, ""); })},
      {"TIFF_PHOTOMETINTEPRET", Int(&F::TIFF_PHOTOMETINTEPRET)},
      {"TIFF_PLANARCONF", Int(&F::TIFF_PLANARCONF)},
      {"TIFF_NEWSUBFILETYPE", Int(&F::TIFF_NEWSUBFILETYPE)},
      {"TIFF_XPOS", Int(&F::TIFF_XPOS)},
      {"TIFF_YPOS", Int(&F::TIFF_YPOS)},
      {"TIFF_GETTILE", Int(&F::TIFF_GETTILE, -1)},
      {"TIFF_DOCUMENTNAME", Text(&F::TIFF_DOCUMENTNAME)},
      {"TIFF_IMAGEDESCRIPTION", Text(&F::TIFF_IMAGEDESCRIPTION)},
      {"TIFF_PAGENAME", Text(&F::TIFF_PAGENAME)},
      {"TIFF_PAGENUMBER", Int(&F::TIFF_PAGENUMBER)},
      {"TIFF_PAGECOUNT", Int(&F::TIFF_PAGECOUNT)},
      {"TIFF_JPEGCOLORSPACE", Int(&F::TIFF_JPEGCOLORSPACE)},
      {"TIFF_FILLORDER", Int(&F::TIFF_FILLORDER, 1)},
      {"TIFF_ORIENTATION", IntVia(&F::TIFF_ORIENTATION, &P::SetTIFF_Orientation, 1)},
      {"TIFF_ENABLEADJUSTORIENTATION", Bool(&F::TIFF_ENABLEADJUSTORIENTATION)},
      {"TIFF_BYTEORDER", Int(&F::TIFF_BYTEORDER, 1)},
      {"DCX_IMAGEINDEX", IntVia(&F::DCX_IMAGEINDEX, &P::SetImageIndex, 0)},
      {"AVI_FRAMECOUNT", IntVia(&F::AVI_FRAMECOUNT, &P::SetImageCount, 0)},
      {"AVI_FRAMEDELAYTIME", Double(&F::AVI_FRAMEDELAYTIME)},
      {"GIF_VERSION", Text(&F::GIF_VERSION)},
      {"GIF_IMAGEINDEX", IntVia(&F::GIF_IMAGEINDEX, &P::SetImageIndex, 0)},
      {"GIF_IMAGECOUNT", ReadOnly([](P& p) { return std::to_string(p.GIF_IMAGECOUNT); })},
      {"GIF_XPOS", Int(&F::GIF_XPOS)},
      {"GIF_YPOS", Int(&F::GIF_YPOS)},
      {"GIF_DELAYTIME", Int(&F::GIF_DELAYTIME)},
      {"GIF_TRANSPARENT", Bool(&F::GIF_TRANSPARENT)},
      {"GIF_TRANSPCOLOR", Color(&F::GIF_TRANSPCOLOR)},
      {"GIF_INTERLACED", Bool(&F::GIF_INTERLACED)},
      {"GIF_WINWIDTH", Int(&F::GIF_WINWIDTH)},
      {"GIF_WINHEIGHT", Int(&F::GIF_WINHEIGHT)},
      {"GIF_BACKGROUND", Color(&F::GIF_BACKGROUND)},
      {"GIF_RATIO", Int(&F::GIF_RATIO)},
      {"JPEG_COLORSPACE", Int(&F::JPEG_COLORSPACE)},
      {"JPEG_QUALITY", Int(&F::JPEG_QUALITY)},
      {"JPEG_DCTMETHOD", Int(&F::JPEG_DCTMETHOD)},
      {"JPEG_OPTIMALHUFFMAN", Bool(&F::JPEG_OPTIMALHUFFMAN)},
      {"JPEG_SMOOTH", Int(&F::JPEG_SMOOTH)},
      {"JPEG_PROGRESSIVE", Bool(&F::JPEG_PROGRESSIVE)},
      {"JPEG_SCALE_USED", Int(&F::JPEG_SCALE_USED)},
      {"JPEG_SCALE", Int(&F::JPEG_SCALE)},
      {"JPEG_ENABLEADJUSTORIENTATION", Bool(&F::JPEG_ENABLEADJUSTORIENTATION)},
      {"JPEG_GETEXIFTHUMBNAIL", BoolVia(&F::JPEG_GETEXIFTHUMBNAIL, &P::SetJPEG_GetExifThumbnail)},
      {"JPEG_WARNINGTOT", Int(&F::JPEG_WARNINGTOT)},
      {"JPEG_WARNINGCODE", Int(&F::JPEG_WARNINGCODE)},
      {"JPEG_ORIGINALWIDTH", Int(&F::ORIGINALWIDTH)},
      {"JPEG_ORIGINALHEIGHT", Int(&F::ORIGINALHEIGHT)},
      {"ORIGINALWIDTH", Int(&F::ORIGINALWIDTH)},
      {"ORIGINALHEIGHT", Int(&F::ORIGINALHEIGHT)},
      {"JPEG_CROMASUBSAMPLING", Int(&F::JPEG_CROMASUBSAMPLING, 1)},
      {"PCX_VERSION", Int(&F::PCX_VERSION)},
      {"PCX_COMPRESSION", Int(&F::PCX_COMPRESSION)},
      {"BMP_VERSION", Int(&F::BMP_VERSION)},
      {"BMP_COMPRESSION", Int(&F::BMP_COMPRESSION)},
      {"BMP_HANDLETRANSPARENCY", Bool(&F::BMP_HANDLETRANSPARENCY)},
      {"BMPRAW_CHANNELORDER", Int(&F::BMPRAW_CHANNELORDER)},
      {"BMPRAW_PLANES", Int(&F::BMPRAW_PLANES)},
      {"BMPRAW_ROWALIGN", Int(&F::BMPRAW_ROWALIGN, 8)},
      {"BMPRAW_HEADERSIZE", Int(&F::BMPRAW_HEADERSIZE)},
      {"BMPRAW_DATAFORMAT", Int(&F::BMPRAW_DATAFORMAT)},
      {"ICO_IMAGEINDEX", IntVia(&F::ICO_IMAGEINDEX, &P::SetImageIndex, 0)},
      {"ICO_BACKGROUND", Color(&F::ICO_BACKGROUND)},
      {"CUR_IMAGEINDEX", IntVia(&F::CUR_IMAGEINDEX, &P::SetImageIndex, 0)},
      {"CUR_XHOTSPOT", Int(&F::CUR_XHOTSPOT)},
      {"CUR_YHOTSPOT", Int(&F::CUR_YHOTSPOT)},
      {"CUR_BACKGROUND", Color(&F::CUR_BACKGROUND)},
      {"PNG_INTERLACED", Bool(&F::PNG_INTERLACED)},
      {"PNG_BACKGROUND", Color(&F::PNG_BACKGROUND)},
      {"PNG_FILTER", Int(&F::PNG_FILTER)},
      {"PNG_COMPRESSION", Int(&F::PNG_COMPRESSION, 1)},
      {"PSD_LOADLAYERS", Bool(&F::PSD_LOADLAYERS)},
      {"PSD_REPLACELAYERS", Bool(&F::PSD_REPLACELAYERS)},
      {"PSD_HASPREMULTIPLIEDALPHA", ReadOnly([](P& p) { return std::string(p.PSD_HASPREMULTIPLIEDALPHA ? "1" : "0"); })},
      {"HDP_IMAGEQUALITY", Double(&F::HDP_IMAGEQUALITY, 0.9)},
      {"HDP_LOSSLESS", Bool(&F::HDP_LOSSLESS)},
      {"TGA_XPOS", Int(&F::TGA_XPOS)},
      {"TGA_YPOS", Int(&F::TGA_YPOS)},
      {"TGA_COMPRESSED", Bool(&F::TGA_COMPRESSED)},
      {"TGA_DESCRIPTOR", Text(&F::TGA_DESCRIPTOR)},
      {"TGA_AUTHOR", Text(&F::TGA_AUTHOR)},
      {"TGA_DATE", {[](P& p) { return DateToStr(p.TGA_DATE); },
                    [](P& p, const std::string& v) {
                      TDateTime date;
                      if (TryStrToDate(v, date)) p.TGA_DATE = date;
                    }}},
      {"TGA_IMAGENAME", Text(&F::TGA_IMAGENAME)},
      {"TGA_BACKGROUND", Color(&F::TGA_BACKGROUND)},
      {"TGA_ASPECTRATIO", Double(&F::TGA_ASPECTRATIO)},
      {"TGA_GAMMA", Double(&F::TGA_GAMMA)},
      {"TGA_GRAYLEVEL", Bool(&F::TGA_GRAYLEVEL)},
      {"J2000_COLORSPACE", Int(&F::J2000_COLORSPACE)},
      {"J2000_RATE", Double(&F::J2000_RATE)},
      {"J2000_SCALABLEBY", Int(&F::J2000_SCALABLEBY)},
      {"PS_PAPERWIDTH", Int(&F::PS_PAPERWIDTH, 595)},
      {"PS_PAPERHEIGHT", Int(&F::PS_PAPERHEIGHT, 842)},
      {"PS_COMPRESSION", Int(&F::PS_COMPRESSION)},
      {"PS_TITLE", Text(&F::PS_TITLE)},
      {"PDF_PAPERWIDTH", Int(&F::PDF_PAPERWIDTH, 595)},
      {"PDF_PAPERHEIGHT", Int(&F::PDF_PAPERHEIGHT, 842)},
      {"PDF_COMPRESSION", Int(&F::PDF_COMPRESSION)},
      {"PDF_TITLE", Text(&F::PDF_TITLE)},
      {"PDF_AUTHOR", Text(&F::PDF_AUTHOR)},
      {"PDF_SUBJECT", Text(&F::PDF_SUBJECT)},
      {"PDF_KEYWORDS", Text(&F::PDF_KEYWORDS)},
      {"PDF_CREATOR", Text(&F::PDF_CREATOR)},
      {"PDF_PRODUCER", Text(&F::PDF_PRODUCER)},
      {"EXIF_HASEXIF", Bool(&E::EXIF_HASEXIF)},
      {"EXIF_IMAGEDESCRIPTION", Text(&E::EXIF_IMAGEDESCRIPTION)},
      {"EXIF_MAKE", Text(&E::EXIF_MAKE)},
      {"EXIF_MODEL", Text(&E::EXIF_MODEL)},
      {"EXIF_ORIENTATION", IntVia(&E::EXIF_ORIENTATION, &P::SetEXIF_Orientation, 0)},
      {"EXIF_XRESOLUTION", DoubleVia(&E::EXIF_XRESOLUTION, &P::SetEXIF_XResolution, 0)},
      {"EXIF_YRESOLUTION", DoubleVia(&E::EXIF_YRESOLUTION, &P::SetEXIF_YResolution, 0)},
      {"EXIF_RESOLUTIONUNIT", Int(&E::EXIF_RESOLUTIONUNIT)},
      {"EXIF_SOFTWARE", Text(&E::EXIF_SOFTWARE)},
      {"EXIF_DATETIME", Text(&E::EXIF_DATETIME)},
      {"EXIF_COPYRIGHT", Text(&E::EXIF_COPYRIGHT)},
      {"EXIF_EXPOSURETIME", DoubleVia(&E::EXIF_EXPOSURETIME, &P::SetEXIF_ExposureTime, 0)},
      {"EXIF_FNUMBER", DoubleVia(&E::EXIF_FNUMBER, &P::SetEXIF_FNumber, -1)},
      {"EXIF_EXPOSUREPROGRAM", IntVia(&E::EXIF_EXPOSUREPROGRAM, &P::SetEXIF_ExposureProgram, -1)},
      {"EXIF_EXIFVERSION", Text(&E::EXIF_EXIFVERSION)},
      {"EXIF_DATETIMEORIGINAL", Text(&E::EXIF_DATETIMEORIGINAL)},
      {"EXIF_DATETIMEDIGITIZED", Text(&E::EXIF_DATETIMEDIGITIZED)},
      {"EXIF_COMPRESSEDBITSPERPIXEL",
       DoubleVia(&E::EXIF_COMPRESSEDBITSPERPIXEL, &P::SetEXIF_CompressedBitsPerPixel, 0)},
      {"EXIF_SHUTTERSPEEDVALUE", DoubleVia(&E::EXIF_SHUTTERSPEEDVALUE, &P::SetEXIF_ShutterSpeedValue, -1)},
      {"EXIF_APERTUREVALUE", DoubleVia(&E::EXIF_APERTUREVALUE, &P::SetEXIF_ApertureValue, -1)},
      {"EXIF_BRIGHTNESSVALUE", DoubleVia(&E::EXIF_BRIGHTNESSVALUE, &P::SetEXIF_BrightnessValue, -1000)},
      {"EXIF_EXPOSUREBIASVALUE", DoubleVia(&E::EXIF_EXPOSUREBIASVALUE, &P::SetEXIF_ExposureBiasValue, -1000)},
      {"EXIF_MAXAPERTUREVALUE", DoubleVia(&E::EXIF_MAXAPERTUREVALUE, &P::SetEXIF_MaxApertureValue, -1000)},
      {"EXIF_SUBJECTDISTANCE", DoubleVia(&E::EXIF_SUBJECTDISTANCE, &P::SetEXIF_SubjectDistance, -1)},
      {"EXIF_METERINGMODE", IntVia(&E::EXIF_METERINGMODE, &P::SetEXIF_MeteringMode, -1)},
      {"EXIF_LIGHTSOURCE", IntVia(&E::EXIF_LIGHTSOURCE, &P::SetEXIF_LightSource, -1)},
      {"EXIF_FLASH", IntVia(&E::EXIF_FLASH, &P::SetEXIF_Flash, -1)},
      {"EXIF_FOCALLENGTH", DoubleVia(&E::EXIF_FOCALLENGTH, &P::SetEXIF_FocalLength, -1)},
      {"EXIF_SUBSECTIME", Text(&E::EXIF_SUBSECTIME)},
      {"EXIF_SUBSECTIMEORIGINAL", Text(&E::EXIF_SUBSECTIMEORIGINAL)},
      {"EXIF_SUBSECTIMEDIGITIZED", Text(&E::EXIF_SUBSECTIMEDIGITIZED)},
      {"EXIF_FLASHPIXVERSION", Text(&E::EXIF_FLASHPIXVERSION)},
      {"EXIF_COLORSPACE", IntVia(&E::EXIF_COLORSPACE, &P::SetEXIF_ColorSpace, -1)},
      {"EXIF_EXIFIMAGEWIDTH", IntVia(&E::EXIF_EXIFIMAGEWIDTH, &P::SetEXIF_ExifImageWidth, 0)},
      {"EXIF_EXIFIMAGEHEIGHT", IntVia(&E::EXIF_EXIFIMAGEHEIGHT, &P::SetEXIF_ExifImageHeight, 0)},
      {"EXIF_RELATEDSOUNDFILE", Text(&E::EXIF_RELATEDSOUNDFILE)},
      {"EXIF_FOCALPLANEXRESOLUTION",
       DoubleVia(&E::EXIF_FOCALPLANEXRESOLUTION, &P::SetEXIF_FocalPlaneXResolution, -1)},
      {"EXIF_FOCALPLANEYRESOLUTION",
       DoubleVia(&E::EXIF_FOCALPLANEYRESOLUTION, &P::SetEXIF_FocalPlaneYResolution, -1)},
      {"EXIF_FOCALPLANERESOLUTIONUNIT",
       IntVia(&E::EXIF_FOCALPLANERESOLUTIONUNIT, &P::SetEXIF_FocalPlaneResolutionUnit, -1)},
      {"EXIF_EXPOSUREINDEX", DoubleVia(&E::EXIF_EXPOSUREINDEX, &P::SetEXIF_ExposureIndex, -1)},
      {"EXIF_SENSINGMETHOD", IntVia(&E::EXIF_SENSINGMETHOD, &P::SetEXIF_SensingMethod, -1)},
      {"EXIF_FILESOURCE", IntVia(&E::EXIF_FILESOURCE, &P::SetEXIF_FileSource, -1)},
      {"EXIF_SCENETYPE", IntVia(&E::EXIF_SCENETYPE, &P::SetEXIF_SceneType, -1)},
      {"EXIF_USERCOMMENT", Text(&E::EXIF_USERCOMMENT)},
      {"EXIF_USERCOMMENTCODE", Text(&E::EXIF_USERCOMMENTCODE)},
      {"EXIF_EXPOSUREMODE", Int(&E::EXIF_EXPOSUREMODE, -1)},
      {"EXIF_WHITEBALANCE", Int(&E::EXIF_WHITEBALANCE, -1)},
      {"EXIF_DIGITALZOOMRATIO", Double(&E::EXIF_DIGITALZOOMRATIO, -1)},
      {"EXIF_FOCALLENGTHIN35MMFILM", Int(&E::EXIF_FOCALLENGTHIN35MMFILM, -1)},
      {"EXIF_SCENECAPTURETYPE", Int(&E::EXIF_SCENECAPTURETYPE, -1)},
      {"EXIF_GAINCONTROL", Int(&E::EXIF_GAINCONTROL, -1)},
      {"EXIF_CONTRAST", Int(&E::EXIF_CONTRAST, -1)},
      {"EXIF_SATURATION", Int(&E::EXIF_SATURATION, -1)},
      {"EXIF_SHARPNESS", Int(&E::EXIF_SHARPNESS, -1)},
      {"EXIF_SUBJECTDISTANCERANGE", Int(&E::EXIF_SUBJECTDISTANCERANGE, -1)},
      {"EXIF_IMAGEUNIQUEID", Text(&E::EXIF_IMAGEUNIQUEID)},
      {"EXIF_ARTIST", Text(&E::EXIF_ARTIST)},
      {"EXIF_ISOSPEEDRATINGS0", Entry(&E::EXIF_ISOSPEEDRATINGS, 0)},
      {"EXIF_ISOSPEEDRATINGS1", Entry(&E::EXIF_ISOSPEEDRATINGS, 1)},
      {"EXIF_XPRATING", Int(&E::EXIF_XPRATING, -1)},
      {"EXIF_XPTITLE", Text(&E::EXIF_XPTITLE)},
      {"EXIF_XPCOMMENT", Text(&E::EXIF_XPCOMMENT)},
      {"EXIF_XPAUTHOR", Text(&E::EXIF_XPAUTHOR)},
      {"EXIF_XPKEYWORDS", Text(&E::EXIF_XPKEYWORDS)},
      {"EXIF_XPSUBJECT", Text(&E::EXIF_XPSUBJECT)},
      {"EXIF_WHITEPOINT0", Entry(&E::EXIF_WHITEPOINT, 0)},
      {"EXIF_WHITEPOINT1", Entry(&E::EXIF_WHITEPOINT, 1)},
      {"EXIF_YCBCRCOEFFICIENTS0", Entry(&E::EXIF_YCBCRCOEFFICIENTS, 0)},
      {"EXIF_YCBCRCOEFFICIENTS1", Entry(&E::EXIF_YCBCRCOEFFICIENTS, 1)},
      {"EXIF_YCBCRCOEFFICIENTS2", Entry(&E::EXIF_YCBCRCOEFFICIENTS, 2)},
      {"EXIF_YCBCRPOSITIONING", Int(&E::EXIF_YCBCRPOSITIONING)},
      {"EXIF_GPSVERSIONID", Text(&E::EXIF_GPSVERSIONID)},
      {"EXIF_GPSLATITUDE", {[](P& p) { return IEFloatToStrDot(p.GetEXIF_GPSLatitude()); },
                            [](P& p, const std::string& v) { p.SetEXIF_GPSLatitude(TextToDouble(v, 0)); }}},
      {"EXIF_GPSLATITUDEREF", Text(&E::EXIF_GPSLATITUDEREF)},
      {"EXIF_GPSLATITUDEDEGREES", Double(&E::EXIF_GPSLATITUDEDEGREES)},
      {"EXIF_GPSLATITUDEMINUTES", Double(&E::EXIF_GPSLATITUDEMINUTES)},
      {"EXIF_GPSLATITUDESECONDS", Double(&E::EXIF_GPSLATITUDESECONDS)},
      {"EXIF_GPSLONGITUDE", {[](P& p) { return IEFloatToStrDot(p.GetEXIF_GPSLongitude()); },
                             [](P& p, const std::string& v) { p.SetEXIF_GPSLongitude(TextToDouble(v, 0)); }}},
      {"EXIF_GPSLONGITUDEREF", Text(&E::EXIF_GPSLONGITUDEREF)},
      {"EXIF_GPSLONGITUDEDEGREES", Double(&E::EXIF_GPSLONGITUDEDEGREES)},
      {"EXIF_GPSLONGITUDEMINUTES", Double(&E::EXIF_GPSLONGITUDEMINUTES)},
      {"EXIF_GPSLONGITUDESECONDS", Double(&E::EXIF_GPSLONGITUDESECONDS)},
      {"EXIF_GPSALTITUDEREF", Text(&E::EXIF_GPSALTITUDEREF)},
      {"EXIF_GPSALTITUDE", Double(&E::EXIF_GPSALTITUDE)},
      {"EXIF_GPSTIMESTAMPHOUR", Double(&E::EXIF_GPSTIMESTAMPHOUR)},
      {"EXIF_GPSTIMESTAMPMINUTE", Double(&E::EXIF_GPSTIMESTAMPMINUTE)},
      {"EXIF_GPSTIMESTAMPSECOND", Double(&E::EXIF_GPSTIMESTAMPSECOND)},
      {"EXIF_GPSSATELLITES", Text(&E::EXIF_GPSSATELLITES)},
      {"EXIF_GPSSTATUS", Text(&E::EXIF_GPSSTATUS)},
      {"EXIF_GPSMEASUREMODE", Text(&E::EXIF_GPSMEASUREMODE)},
      {"EXIF_GPSDOP", Double(&E::EXIF_GPSDOP)},
      {"EXIF_GPSSPEEDREF", Text(&E::EXIF_GPSSPEEDREF)},
      {"EXIF_GPSSPEED", Double(&E::EXIF_GPSSPEED)},
      {"EXIF_GPSTRACKREF", Text(&E::EXIF_GPSTRACKREF)},
      {"EXIF_GPSTRACK", Double(&E::EXIF_GPSTRACK)},
      {"EXIF_GPSIMGDIRECTIONREF", Text(&E::EXIF_GPSIMGDIRECTIONREF)},
      {"EXIF_GPSIMGDIRECTION", Double(&E::EXIF_GPSIMGDIRECTION)},
      {"EXIF_GPSMAPDATUM", Text(&E::EXIF_GPSMAPDATUM)},
      {"EXIF_GPSDESTLATITUDEREF", Text(&E::EXIF_GPSDESTLATITUDEREF)},
      {"EXIF_GPSDESTLATITUDEDEGREES", Double(&E::EXIF_GPSDESTLATITUDEDEGREES)},
      {"EXIF_GPSDESTLATITUDEMINUTES", Double(&E::EXIF_GPSDESTLATITUDEMINUTES)},
      {"EXIF_GPSDESTLATITUDESECONDS", Double(&E::EXIF_GPSDESTLATITUDESECONDS)},
      {"EXIF_GPSDESTLONGITUDEREF", Text(&E::EXIF_GPSDESTLONGITUDEREF)},
      {"EXIF_GPSDESTLONGITUDEDEGREES", Double(&E::EXIF_GPSDESTLONGITUDEDEGREES)},
      {"EXIF_GPSDESTLONGITUDEMINUTES", Double(&E::EXIF_GPSDESTLONGITUDEMINUTES)},
      {"EXIF_GPSDESTLONGITUDESECONDS", Double(&E::EXIF_GPSDESTLONGITUDESECONDS)},
      {"EXIF_GPSDESTBEARINGREF", Text(&E::EXIF_GPSDESTBEARINGREF)},
      {"EXIF_GPSDESTBEARING", Double(&E::EXIF_GPSDESTBEARING)},
      {"EXIF_GPSDESTDISTANCEREF", Text(&E::EXIF_GPSDESTDISTANCEREF)},
      {"EXIF_GPSDESTDISTANCE", Double(&E::EXIF_GPSDESTDISTANCE)},
      {"EXIF_GPSDATESTAMP", Text(&E::EXIF_GPSDATESTAMP)},
      {"RAW_HALFSIZE", Bool(&F::RAW_HALFSIZE)},
      {"RAW_GAMMA", Double(&F::RAW_GAMMA)},
      {"RAW_BRIGHT", Double(&F::RAW_BRIGHT)},
      {"RAW_REDSCALE", Double(&F::RAW_REDSCALE)},
      {"RAW_BLUESCALE", Double(&F::RAW_BLUESCALE)},
      {"RAW_QUICKINTERPOLATE", Bool(&F::RAW_QUICKINTERPOLATE)},
      {"RAW_USEAUTOWB", Bool(&F::RAW_USEAUTOWB)},
      {"RAW_USECAMERAWB", Bool(&F::RAW_USECAMERAWB)},
      {"RAW_FOURCOLORRGB", Bool(&F::RAW_FOURCOLORRGB)},
      {"RAW_CAMERA", Text(&F::RAW_CAMERA)},
      {"RAW_GETEXIFTHUMBNAIL", Bool(&F::RAW_GETEXIFTHUMBNAIL)},
      {"RAW_AUTOADJUSTCOLORS", Bool(&F::RAW_AUTOADJUSTCOLORS)},
      {"RAW_EXTRAPARAMS", Text(&F::RAW_EXTRAPARAMS)},
      {"MEDIAFILE_FRAMECOUNT", IntVia(&F::MEDIAFILE_FRAMECOUNT, &P::SetImageCount, 0)},
      {"MEDIAFILE_FRAMEDELAYTIME", Double(&F::MEDIAFILE_FRAMEDELAYTIME)},
      {"IMAGEINDEX", IntVia(&F::IMAGEINDEX, &P::SetImageIndex, 0)},
      {"IMAGECOUNT", IntVia(&F::IMAGECOUNT, &P::SetImageCount, 0)},
      {"GETTHUMBNAIL", BoolVia(&F::GETTHUMBNAIL, &P::SetGetThumbnail)},
      {"ISRESOURCE", Bool(&F::ISRESOURCE)},
      {"XMP_INFO", {[](P& p) { return p.XMP_INFO; }, [](P& p, const std::string& v) { p.SetXMP_Info(v); }}},
  };
  return keys;
}

constexpr const char kColorMapItem[] = "COLORMAPITEM";

// The colour map entry a COLORMAPITEMn key names; null outside the map.
TRGB* ColorMapEntry(P& p, const std::string& key) {
  const int32_t index = StrToIntDef(key.substr(sizeof kColorMapItem - 1), 0);
  return index >= 0 && index < p.COLORMAPCOUNT() ? &p.ColorMap[static_cast<size_t>(index)] : nullptr;
}

std::string NormalKey(const std::string& key) { return UpperCase(StripControlChars(key)); }

}  // namespace

std::string TIOParamsVals::GetByName(const std::string& key) {
  const std::string name = NormalKey(key);
  const auto& keys = Keys();
  if (auto found = keys.find(name); found != keys.end()) return found->second.get(*this);
  if (name.starts_with(kColorMapItem)) {
    const TRGB* entry = ColorMapEntry(*this, name);
    return entry ? RGBToText(*entry) : std::string();
  }
  return "INVALID PROPERTY";
}

void TIOParamsVals::SetByName(const std::string& key, const std::string& value) {
  const std::string name = NormalKey(key), text = StripControlChars(value);
  const auto& keys = Keys();
  if (auto found = keys.find(name); found != keys.end()) {
    if (found->second.set) found->second.set(*this, text);
    return;
  }
  if (name.starts_with(kColorMapItem))
    if (TRGB* entry = ColorMapEntry(*this, name)) *entry = TextToRGB(text);
}
