// TIFF metadata: the EXIF, GPS and interoperability directories, the maker
// note and the tag blocks, read into and written from the parameters; files
// holding only tags, and the JPEG thumbnail page of an EXIF block.
#include "imaging/codecs/tiffilt_meta.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_tiffhandler.h"
#include "imaging/core/ruduvazez_tiffifd.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/streams.h"

namespace {

using F = TIEEXIFFields;

enum : uint16_t {
  kImageDescription = 270,
  kXResolution = 282,
  kYResolution = 283,
  kOrientation = 274,
  kResolutionUnit = 296,
  kSoftware = 305,
  kWhitePoint = 318,
  kPrimaryChromaticities = 319,
  kJPEGInterchangeFormat = 513,
  kJPEGInterchangeFormatLength = 514,
  kYCbCrCoefficients = 529,
  kYCbCrPositioning = 531,
  kReferenceBlackWhite = 532,
  kXMP = 700,
  kRating = 18246,
  kImagingAnnotations = 32932,
  kIPTC = 33723,
  kPhotoshop = 34377,
  kExifIFD = 34665,
  kICCProfile = 34675,
  kGPSIFD = 34853,
  kISOSpeedRatings = 34855,
  kExifVersion = 36864,
  kMakerNote = 37500,
  kUserComment = 37510,
  kImageSourceData = 37724,
  kFlashpixVersion = 40960,
  kInteroperabilityIFD = 40965,
};

// ---- the tables shared by the reader and the writer ------------------------------------

// When the writer emits a field: only when its tag is marked present, or
// whenever it differs from its absent value.
enum class When : uint8_t { Marked, NotAbsent };

struct RationalField {
  uint16_t tag;
  double F::*field;
  double absent;
  When when;
  bool isSigned;
};
struct IntField {
  uint16_t tag;
  int32_t F::*field;
  int32_t absent;
  When when;
  uint16_t type;  // SHORT, or UNDEFINED for one byte
};
struct TextField {
  uint16_t tag;
  std::string F::*field;
};
// Fixed-size rational arrays of the page: written when any item is not -1.
struct ArrayField {
  uint16_t tag;
  double* (*items)(F&);
  int32_t count;
};

constexpr When M = When::Marked, N = When::NotAbsent;

const RationalField kExifRationals[] = {
    {33434, &F::EXIF_EXPOSURETIME, -1, M, false},
    {33437, &F::EXIF_FNUMBER, -1, M, false},
    {37122, &F::EXIF_COMPRESSEDBITSPERPIXEL, 0, M, false},
    {37377, &F::EXIF_SHUTTERSPEEDVALUE, -1, M, true},
    {37378, &F::EXIF_APERTUREVALUE, -1, M, false},
    {37379, &F::EXIF_BRIGHTNESSVALUE, -1000, M, true},
    {37380, &F::EXIF_EXPOSUREBIASVALUE, -1000, M, true},
    {37381, &F::EXIF_MAXAPERTUREVALUE, -1000, M, false},
    {37382, &F::EXIF_SUBJECTDISTANCE, -1, M, false},
    {37386, &F::EXIF_FOCALLENGTH, -1, M, false},
    {41486, &F::EXIF_FOCALPLANEXRESOLUTION, -1, M, false},
    {41487, &F::EXIF_FOCALPLANEYRESOLUTION, -1, M, false},
    {41493, &F::EXIF_EXPOSUREINDEX, -1, M, false},
    {41988, &F::EXIF_DIGITALZOOMRATIO, -1, N, false},
};

const IntField kExifIntegers[] = {
    {34850, &F::EXIF_EXPOSUREPROGRAM, -1, M, IE_TIFF_SHORT},
    {37383, &F::EXIF_METERINGMODE, -1, M, IE_TIFF_SHORT},
    {37384, &F::EXIF_LIGHTSOURCE, -1, M, IE_TIFF_SHORT},
    {37385, &F::EXIF_FLASH, -1, M, IE_TIFF_SHORT},
    {40961, &F::EXIF_COLORSPACE, -1, M, IE_TIFF_SHORT},
    {40962, &F::EXIF_EXIFIMAGEWIDTH, 0, M, IE_TIFF_SHORT},
    {40963, &F::EXIF_EXIFIMAGEHEIGHT, 0, M, IE_TIFF_SHORT},
    {41488, &F::EXIF_FOCALPLANERESOLUTIONUNIT, -1, M, IE_TIFF_SHORT},
    {41495, &F::EXIF_SENSINGMETHOD, -1, M, IE_TIFF_SHORT},
    {41728, &F::EXIF_FILESOURCE, -1, M, IE_TIFF_UNDEFINED},
    {41729, &F::EXIF_SCENETYPE, -1, M, IE_TIFF_UNDEFINED},
    {41986, &F::EXIF_EXPOSUREMODE, -1, N, IE_TIFF_SHORT},
    {41987, &F::EXIF_WHITEBALANCE, -1, N, IE_TIFF_SHORT},
    {41989, &F::EXIF_FOCALLENGTHIN35MMFILM, -1, N, IE_TIFF_SHORT},
    {41990, &F::EXIF_SCENECAPTURETYPE, -1, N, IE_TIFF_SHORT},
    {41991, &F::EXIF_GAINCONTROL, -1, N, IE_TIFF_SHORT},
    {41992, &F::EXIF_CONTRAST, -1, N, IE_TIFF_SHORT},
    {41993, &F::EXIF_SATURATION, -1, N, IE_TIFF_SHORT},
    {41994, &F::EXIF_SHARPNESS, -1, N, IE_TIFF_SHORT},
    {41996, &F::EXIF_SUBJECTDISTANCERANGE, -1, N, IE_TIFF_SHORT},
};

const TextField kExifTexts[] = {
    {36867, &F::EXIF_DATETIMEORIGINAL},   {36868, &F::EXIF_DATETIMEDIGITIZED},
    {37520, &F::EXIF_SUBSECTIME},         {37521, &F::EXIF_SUBSECTIMEORIGINAL},
    {37522, &F::EXIF_SUBSECTIMEDIGITIZED}, {40964, &F::EXIF_RELATEDSOUNDFILE},
    {42016, &F::EXIF_IMAGEUNIQUEID},
};

// The page's texts, in the order they are written.
const TextField kPageTexts[] = {
    {kSoftware, &F::EXIF_SOFTWARE}, {315, &F::EXIF_ARTIST}, {271, &F::EXIF_MAKE},
    {272, &F::EXIF_MODEL},          {306, &F::EXIF_DATETIME}, {33432, &F::EXIF_COPYRIGHT},
};

// The XP texts: UTF-16 little-endian in BYTE entries.
const TextField kXPTexts[] = {
    {40091, &F::EXIF_XPTITLE},    {40092, &F::EXIF_XPCOMMENT}, {40093, &F::EXIF_XPAUTHOR},
    {40094, &F::EXIF_XPKEYWORDS}, {40095, &F::EXIF_XPSUBJECT},
};

const ArrayField kPageArrays[] = {
    {kWhitePoint, [](F& f) { return f.EXIF_WHITEPOINT.data(); }, 2},
    {kPrimaryChromaticities, [](F& f) { return f.EXIF_PRIMARYCHROMATICITIES.data(); }, 6},
    {kYCbCrCoefficients, [](F& f) { return f.EXIF_YCBCRCOEFFICIENTS.data(); }, 3},
    {kReferenceBlackWhite, [](F& f) { return f.EXIF_REFERENCEBLACKWHITE.data(); }, 6},
};

// A GPS reference text with the value (one rational or three) it governs;
// the value is written only with its reference.
struct GPSPair {
  uint16_t refTag, valueTag;
  std::string F::*ref;
  double F::*values[3];
  int32_t count;
};
const GPSPair kGPSPairs[] = {
    {1, 2, &F::EXIF_GPSLATITUDEREF,
     {&F::EXIF_GPSLATITUDEDEGREES, &F::EXIF_GPSLATITUDEMINUTES, &F::EXIF_GPSLATITUDESECONDS}, 3},
    {3, 4, &F::EXIF_GPSLONGITUDEREF,
     {&F::EXIF_GPSLONGITUDEDEGREES, &F::EXIF_GPSLONGITUDEMINUTES, &F::EXIF_GPSLONGITUDESECONDS}, 3},
    {12, 13, &F::EXIF_GPSSPEEDREF, {&F::EXIF_GPSSPEED}, 1},
    {14, 15, &F::EXIF_GPSTRACKREF, {&F::EXIF_GPSTRACK}, 1},
    {16, 17, &F::EXIF_GPSIMGDIRECTIONREF, {&F::EXIF_GPSIMGDIRECTION}, 1},
    {19, 20, &F::EXIF_GPSDESTLATITUDEREF,
     {&F::EXIF_GPSDESTLATITUDEDEGREES, &F::EXIF_GPSDESTLATITUDEMINUTES, &F::EXIF_GPSDESTLATITUDESECONDS}, 3},
    {21, 22, &F::EXIF_GPSDESTLONGITUDEREF,
     {&F::EXIF_GPSDESTLONGITUDEDEGREES, &F::EXIF_GPSDESTLONGITUDEMINUTES, &F::EXIF_GPSDESTLONGITUDESECONDS}, 3},
    {23, 24, &F::EXIF_GPSDESTBEARINGREF, {&F::EXIF_GPSDESTBEARING}, 1},
    {25, 26, &F::EXIF_GPSDESTDISTANCEREF, {&F::EXIF_GPSDESTDISTANCE}, 1},
};
const TextField kGPSTexts[] = {
    {8, &F::EXIF_GPSSATELLITES}, {9, &F::EXIF_GPSSTATUS},     {10, &F::EXIF_GPSMEASUREMODE},
    {18, &F::EXIF_GPSMAPDATUM},  {29, &F::EXIF_GPSDATESTAMP},
};
constexpr uint16_t kGPSVersion = 0, kGPSAltitudeRef = 5, kGPSAltitude = 6, kGPSTimeStamp = 7, kGPSDOP = 11;

const char kUnicodeCode[] = "UNICODE";          // with its NUL: 8 bytes
const char kAsciiCode[] = "ASCII\0\0";          // with its NUL: 8 bytes

// ---- reading ----------------------------------------------------------------------------

// A sub-directory at offset (from the page's base), in the page's layout
// (BigTIFF files hold BigTIFF sub-directories); false when it cannot be
// loaded.
bool LoadSubIFD(const TIETIFFIFDReader& page, uint16_t tag, TIETIFFIFDReader& sub) {
  const int32_t index = page.FindTag(tag);
  if (index < 0) return false;
  const int64_t offset = page.ReadInteger(tag, 0, 0);
  if (offset <= 0) return false;
  sub.Intel = page.Intel;
  sub.Stream = page.Stream;
  sub.BaseOffset = page.BaseOffset;
  sub.BigTIFF = page.BigTIFF;
  sub.OffsetSize = page.OffsetSize;
  int32_t count = 0;
  return sub.ReadIFD(0, count, offset);
}

std::string ReadText(const TIETIFFIFDReader& r, uint16_t tag) {
  std::string text;
  r.ReadString(tag, true, text);
  return text;
}

void ReadTexts(const TIETIFFIFDReader& r, std::span<const TextField> fields, TIOParamsVals& p) {
  for (const TextField& f : fields) p.*f.field = ReadText(r, f.tag);
}

void ReadPage(const TIETIFFIFDReader& r, TIOParamsVals& p) {
  ReadTexts(r, kPageTexts, p);
  p.EXIF_IMAGEDESCRIPTION = ReadText(r, kImageDescription);
  p.SetTIFF_Orientation(static_cast<int32_t>(r.ReadInteger(kOrientation, 0, 1)));
  p.EXIF_RESOLUTIONUNIT = static_cast<int32_t>(r.ReadInteger(kResolutionUnit, 0, 2));
  const double factor = p.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1.0;
  const auto* settings = IEGetGlobalSettings();
  // Any rational may stand in the file: the resolution is kept in range.
  auto resolution = [&](uint16_t tag, int32_t fallback) {
    const double value = r.ReadRational(tag, 0, fallback) * factor;
    return std::isfinite(value) ? std::clamp(value, 0.0, 1e6) : 0.0;
  };
  const double x = resolution(kXResolution, settings->DefaultDPIX);
  const double y = resolution(kYResolution, settings->DefaultDPIY);
  const auto dpi = [](double v, int32_t fallback) {
    const auto rounded = static_cast<int32_t>(std::lround(v));
    return rounded != 0 ? rounded : fallback;
  };
  p.SetDpiX(dpi(x, settings->DefaultDPIX));
  p.SetDpiY(dpi(y, settings->DefaultDPIY));
  p.EXIF_XRESOLUTION = x;
  p.EXIF_YRESOLUTION = y;
  p.EXIF_XPRATING = static_cast<int32_t>(r.ReadInteger(kRating, 0, -1));
  for (const TextField& f : kXPTexts) {
    std::u16string wide;
    r.ReadWideString(f.tag, wide);
    p.*f.field = Utf16ToUtf8(wide);
  }
  for (const ArrayField& a : kPageArrays) {
    double* items = a.items(p);
    for (int32_t k = 0; k < a.count; ++k) items[k] = r.ReadRational(a.tag, k, -1);
  }
  p.EXIF_YCBCRPOSITIONING = static_cast<int32_t>(r.ReadInteger(kYCbCrPositioning, 0, -1));
}

void ReadBlocks(const TIETIFFIFDReader& r, TIOParamsVals& p) {
  std::vector<uint8_t> data;
  p.IPTC.Clear();
  r.ReadBytes(kIPTC, data);
  if (!data.empty()) p.IPTC.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()));
  const int32_t xmp = r.FindTag(kXMP);
  p.SetXMP_Info(std::string());
  if (xmp >= 0 && (r.GetValueType(xmp) == IE_TIFF_BYTE || r.GetValueType(xmp) == IE_TIFF_UNDEFINED)) {
    r.ReadBytes(kXMP, data);
    p.SetXMP_Info(std::string(data.begin(), data.end()));
  }
  r.ReadBytes(kPhotoshop, p.TIFFImageResources);
  r.ReadBytes(kImageSourceData, p.TIFFImageSourceData);
  r.ReadBytes(kImagingAnnotations, data);
  if (!data.empty()) p.GetImagingAnnot().LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()));
  r.ReadBytes(IEGetGlobalSettings()->AnnotTIFFTag, data);
  if (!data.empty()) p.Annotations.LoadFromBuffer(data.data(), static_cast<int64_t>(data.size()));
  r.ReadBytes(kICCProfile, data);
  if (!data.empty()) p.GetInputICCProfile().LoadFromBuffer(data.data(), static_cast<int32_t>(data.size()));
}

void ReadUserComment(const TIETIFFIFDReader& exif, TIOParamsVals& p) {
  std::vector<uint8_t> data;
  exif.ReadBytes(kUserComment, data);
  p.EXIF_USERCOMMENT.clear();
  if (data.size() <= 8) {
    p.EXIF_USERCOMMENTCODE.assign(kUnicodeCode, 8);
    return;
  }
  p.EXIF_USERCOMMENTCODE.assign(data.begin(), data.begin() + 8);
  const uint8_t* text = data.data() + 8;
  const size_t size = data.size() - 8;
  if (p.EXIF_USERCOMMENTCODE == std::string(kUnicodeCode, 8)) {
    std::u16string wide((size + 1) / 2, u'\0');
    for (size_t k = 0; k < wide.size(); ++k) {
      const uint8_t a = text[2 * k], b = 2 * k + 1 < size ? text[2 * k + 1] : 0;
      wide[k] = static_cast<char16_t>(exif.Intel ? a | (b << 8) : (a << 8) | b);
    }
    p.EXIF_USERCOMMENT = Utf16ToUtf8(wide.substr(0, wide.find(u'\0')));
  } else {
    const auto* end = std::find(text, text + size, uint8_t{0});
    p.EXIF_USERCOMMENT.assign(text, end);
  }
}

void ReadMakerNote(const TIETIFFIFDReader& exif, TIOParamsVals& p) {
  p.EXIFMakerNote.Clear();
  const int32_t index = exif.FindTag(kMakerNote);
  if (index < 0) return;
  const int64_t size = exif.GetValueSize(index), offset = exif.GetValueOffset(index);
  TStream& stream = *exif.Stream;
  const int64_t at = exif.BaseOffset + offset;
  if (size <= 4 || size > 0x7FFFFFFF || offset < 0 || at > stream.Size() || size > stream.Size() - at) return;
  stream.SetPosition(at);
  p.EXIFMakerNote.ReadFromStream(stream, static_cast<int32_t>(size), exif.Intel, exif.BaseOffset);
}

void ReadExifDirectory(const TIETIFFIFDReader& exif, TIOParamsVals& p) {
  for (const RationalField& f : kExifRationals) {
    p.*f.field = exif.ReadRational(f.tag, 0, f.absent);
    if (p.*f.field != f.absent) p.MarkEXIFTag(f.tag);
  }
  for (const IntField& f : kExifIntegers) {
    p.*f.field = static_cast<int32_t>(exif.ReadInteger(f.tag, 0, f.absent));
    if (p.*f.field != f.absent) p.MarkEXIFTag(f.tag);
  }
  ReadTexts(exif, kExifTexts, p);
  for (int32_t k = 0; k < 2; ++k)
    p.EXIF_ISOSPEEDRATINGS[static_cast<size_t>(k)] = static_cast<int32_t>(exif.ReadInteger(kISOSpeedRatings, k, 0));
  p.EXIF_EXIFVERSION = ReadText(exif, kExifVersion);
  p.EXIF_FLASHPIXVERSION = ReadText(exif, kFlashpixVersion);
  ReadUserComment(exif, p);
  ReadMakerNote(exif, p);
  TIETIFFIFDReader interop;
  if (LoadSubIFD(exif, kInteroperabilityIFD, interop)) {
    p.EXIF_INTEROPINDEX = ReadText(interop, 1);
    p.EXIF_INTEROPVERSION = ReadText(interop, 2);
  }
}

void ReadGPSDirectory(const TIETIFFIFDReader& gps, TIOParamsVals& p) {
  if (gps.EntryCount() == 0) return;
  std::vector<uint8_t> version;
  gps.ReadBytes(kGPSVersion, version);
  version.erase(std::find(version.begin(), version.end(), uint8_t{0}), version.end());
  p.EXIF_GPSVERSIONID.clear();
  for (const uint8_t b : version)
    p.EXIF_GPSVERSIONID += (p.EXIF_GPSVERSIONID.empty() ? "" : ".") + std::to_string(b);
  if (p.EXIF_GPSVERSIONID.empty()) p.EXIF_GPSVERSIONID = "2.2.0.0";
  for (const GPSPair& g : kGPSPairs) {
    p.*g.ref = ReadText(gps, g.refTag);
    for (int32_t k = 0; k < g.count; ++k) p.*g.values[k] = gps.ReadRational(g.valueTag, k, 0);
  }
  ReadTexts(gps, kGPSTexts, p);
  const int32_t altitudeRef = gps.FindTag(kGPSAltitudeRef);
  p.EXIF_GPSALTITUDEREF = altitudeRef >= 0 ? std::to_string(gps.ReadInteger(kGPSAltitudeRef, 0, 0)) : "";
  p.EXIF_GPSALTITUDE = gps.ReadRational(kGPSAltitude, 0, 0);
  p.EXIF_GPSTIMESTAMPHOUR = gps.ReadRational(kGPSTimeStamp, 0, 0);
  p.EXIF_GPSTIMESTAMPMINUTE = gps.ReadRational(kGPSTimeStamp, 1, 0);
  p.EXIF_GPSTIMESTAMPSECOND = gps.ReadRational(kGPSTimeStamp, 2, 0);
  p.EXIF_GPSDOP = gps.ReadRational(kGPSDOP, 0, 0);
  IENormalizeGPSCoordinates(p);
}

// ---- writing ----------------------------------------------------------------------------

using codecbytes::PutLE32;

void WriteSignedRational(TIETIFFIFDWriter& ifd, TStream& out, uint16_t tag, double value, bool& failed) {
  int32_t numerator = 0, denominator = 1;
  IEFloatToFraction(numerator, denominator, 5e-9, value);
  uint8_t data[8];
  PutLE32(data, static_cast<uint32_t>(numerator));
  PutLE32(data + 4, static_cast<uint32_t>(denominator));
  const int64_t at = IEAlignStreamToWord(out, failed);
  ifd.AddEntry(tag, IE_TIFF_SRATIONAL, 1, static_cast<uint32_t>(at));
  IESafeStreamWrite(out, failed, data, 8);
}

// A four-character version ("0230") as the UNDEFINED entry the standard
// asks for.
void AddVersion(TIETIFFIFDWriter& ifd, uint16_t tag, const std::string& version) {
  uint8_t value[4] = {};
  std::memcpy(value, version.data(), std::min<size_t>(version.size(), 4));
  ifd.AddEntry(tag, IE_TIFF_UNDEFINED, 4, codecbytes::LE32(value));
}

void WriteTexts(TIETIFFIFDWriter& ifd, TStream& out, std::span<const TextField> fields, const TIOParamsVals& p,
                bool& failed) {
  for (const TextField& f : fields) ifd.WriteAscii(out, f.tag, failed, p.*f.field);
}

void WritePage(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& p, bool& failed) {
  ifd.WriteAscii(out, kImageDescription, failed, p.EXIF_IMAGEDESCRIPTION);
  if (p.EXIF_XRESOLUTION != 0) ifd.WriteRational(out, kXResolution, p.EXIF_XRESOLUTION, failed);
  if (p.EXIF_YRESOLUTION != 0) ifd.WriteRational(out, kYResolution, p.EXIF_YRESOLUTION, failed);
  ifd.AddShort(kOrientation, static_cast<uint16_t>(std::clamp(p.TIFF_ORIENTATION, 1, 8)));
  ifd.AddShort(kResolutionUnit, 2);
  if (p.EXIF_XPRATING >= 0) ifd.AddShort(kRating, static_cast<uint16_t>(std::min(p.EXIF_XPRATING, 0xFFFF)));
  for (const TextField& f : kXPTexts) ifd.WriteWideString(out, f.tag, failed, Utf8ToUtf16(p.*f.field));
  WriteTexts(ifd, out, kPageTexts, p, failed);
  if (p.EXIF_YCBCRPOSITIONING > 0) ifd.AddShort(kYCbCrPositioning, static_cast<uint16_t>(p.EXIF_YCBCRPOSITIONING));
  for (const ArrayField& a : kPageArrays) {
    const double* items = a.items(p);
    if (std::all_of(items, items + a.count, [](double v) { return v == -1; })) continue;
    // An unset item (-1) cannot stand in an unsigned rational: it is written as 0.
    std::vector<double> values(items, items + a.count);
    for (double& v : values) v = std::max(v, 0.0);
    ifd.WriteRationalArray(out, a.tag, failed, values);
  }
}

void WriteUserComment(TIETIFFIFDWriter& ifd, TStream& out, const TIOParamsVals& p, bool& failed) {
  const std::string code = p.EXIF_USERCOMMENTCODE.empty() ? std::string(kUnicodeCode, 8) : p.EXIF_USERCOMMENTCODE;
  if (p.EXIF_USERCOMMENT.empty() || code.size() != 8) return;
  std::string data = code;
  if (code == std::string(kAsciiCode, 8)) {
    data += p.EXIF_USERCOMMENT;
    data += '\0';
  } else {
    const std::vector<uint8_t> wide = Utf8ToUtf16LE(p.EXIF_USERCOMMENT);
    data.append(wide.begin(), wide.end());
    if (code == std::string(kUnicodeCode, 8)) data.append(2, '\0');
  }
  ifd.WriteBytes(out, kUserComment, failed, std::vector<uint8_t>(data.begin(), data.end()), IE_TIFF_UNDEFINED);
}

void WriteMakerNote(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& p, bool& failed) {
  if (p.EXIFMakerNote.Reader().EntryCount() == 0) return;
  const int64_t at = IEAlignStreamToWord(out, failed);
  // The library writes Intel EXIF: the note takes that order where its layout follows the EXIF's.
  const int32_t length = p.EXIFMakerNote.WriteToStream(out, 0, true);
  if (length > 0) ifd.AddEntry(kMakerNote, IE_TIFF_UNDEFINED, static_cast<uint32_t>(length), static_cast<uint32_t>(at));
}

int64_t WriteInteroperability(TStream& out, const TIOParamsVals& p, bool& failed) {  // EXIF blocks only: classic
  TIETIFFIFDWriter interop;
  interop.WriteAscii(out, 1, failed, p.EXIF_INTEROPINDEX);
  AddVersion(interop, 2, p.EXIF_INTEROPVERSION.empty() ? "0100" : p.EXIF_INTEROPVERSION);
  return IEWriteTIFFDirectory(interop, out, failed);
}

int64_t WriteExifDirectory(TStream& out, TIOParamsVals& p, bool interoperability, bool& failed, bool bigTIFF) {
  TIETIFFIFDWriter exif;
  for (const RationalField& f : kExifRationals) {
    const double value = p.*f.field;
    if (f.when == M ? !p.IsEXIFTagPresent(f.tag) : value == f.absent) continue;
    if (f.isSigned) WriteSignedRational(exif, out, f.tag, value, failed);
    else exif.WriteRational(out, f.tag, value, failed);
  }
  for (const IntField& f : kExifIntegers) {
    const int32_t value = p.*f.field;
    if (f.when == M ? !p.IsEXIFTagPresent(f.tag) : value == f.absent) continue;
    if (f.type == IE_TIFF_UNDEFINED) exif.AddUndefined(f.tag, static_cast<uint8_t>(value));
    else exif.AddShort(f.tag, static_cast<uint16_t>(value));
  }
  const auto& iso = p.EXIF_ISOSPEEDRATINGS;
  if (iso[1] != 0)
    exif.WriteShortArray(out, kISOSpeedRatings, failed, {static_cast<uint16_t>(iso[0]), static_cast<uint16_t>(iso[1])});
  else if (iso[0] != 0)
    exif.AddShort(kISOSpeedRatings, static_cast<uint16_t>(iso[0]));
  // The version is mandatory: an image without one gets the current.
  AddVersion(exif, kExifVersion, p.EXIF_EXIFVERSION.empty() ? "0230" : p.EXIF_EXIFVERSION);
  if (!p.EXIF_FLASHPIXVERSION.empty()) AddVersion(exif, kFlashpixVersion, p.EXIF_FLASHPIXVERSION);
  WriteTexts(exif, out, kExifTexts, p, failed);
  WriteUserComment(exif, out, p, failed);
  WriteMakerNote(exif, out, p, failed);
  if (interoperability && !p.EXIF_INTEROPINDEX.empty())
    exif.AddLong(kInteroperabilityIFD, static_cast<uint32_t>(WriteInteroperability(out, p, failed)));
  return IEWriteTIFFDirectory(exif, out, failed, {bigTIFF});
}

// "2.2" and "2.2.0.0" alike become the bytes 2, 2, 0, 0.
uint32_t GPSVersionBytes(const std::string& text) {
  uint8_t bytes[4] = {};
  size_t at = 0;
  for (int32_t k = 0; k < 4 && at <= text.size(); ++k) {
    const size_t dot = std::min(text.find('.', at), text.size());
    bytes[k] = static_cast<uint8_t>(std::atoi(text.substr(at, dot - at).c_str()));
    at = dot + 1;
  }
  return codecbytes::LE32(bytes);
}

int64_t WriteGPSDirectory(TStream& out, TIOParamsVals& p, bool& failed, bool bigTIFF) {
  IENormalizeGPSCoordinates(p);
  TIETIFFIFDWriter gps;
  gps.AddEntry(kGPSVersion, IE_TIFF_BYTE, 4, GPSVersionBytes(p.EXIF_GPSVERSIONID));
  for (const GPSPair& g : kGPSPairs) {
    if ((p.*g.ref).empty()) continue;
    gps.WriteAscii(out, g.refTag, failed, p.*g.ref);
    std::vector<double> values;
    for (int32_t k = 0; k < g.count; ++k) values.push_back(p.*g.values[k]);
    gps.WriteRationalArray(out, g.valueTag, failed, values);
  }
  if (!p.EXIF_GPSALTITUDEREF.empty()) {
    gps.AddByte(kGPSAltitudeRef, static_cast<uint8_t>(std::atoi(p.EXIF_GPSALTITUDEREF.c_str())));
    gps.WriteRational(out, kGPSAltitude, p.EXIF_GPSALTITUDE, failed);
  }
  gps.WriteRationalArray(out, kGPSTimeStamp, failed,
                         {p.EXIF_GPSTIMESTAMPHOUR, p.EXIF_GPSTIMESTAMPMINUTE, p.EXIF_GPSTIMESTAMPSECOND});
  gps.WriteRational(out, kGPSDOP, p.EXIF_GPSDOP, failed);
  WriteTexts(gps, out, kGPSTexts, p, failed);
  return IEWriteTIFFDirectory(gps, out, failed, {bigTIFF});
}

void WriteBlocks(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& p, bool& failed) {
  std::vector<uint8_t> iptc = p.IPTC.SaveToBuffer(false);
  if (!iptc.empty()) {
    const auto longs = static_cast<uint32_t>((iptc.size() + 3) / 4);
    iptc.resize(size_t{longs} * 4, 0);
    const int64_t at = IEAlignStreamToWord(out, failed);
    ifd.AddEntry(kIPTC, IE_TIFF_LONG, longs, static_cast<uint32_t>(at));
    IESafeStreamWrite(out, failed, iptc.data(), static_cast<int32_t>(iptc.size()));
  }
  ifd.WriteBytes(out, kXMP, failed, std::vector<uint8_t>(p.XMP_INFO.begin(), p.XMP_INFO.end()), IE_TIFF_BYTE);
  if (TIEImagingAnnot* imaging = p.ImagingAnnotationsOrNull())
    ifd.WriteBytes(out, kImagingAnnotations, failed, imaging->SaveToBuffer(), IE_TIFF_BYTE);
  if (!p.Annotations.IsEmpty())
    ifd.WriteBytes(out, IEGetGlobalSettings()->AnnotTIFFTag, failed, p.Annotations.SaveToBuffer(), IE_TIFF_BYTE);
  if (TIEICC* icc = p.InputICCProfileOrNull(); icc && icc->IsValid() && icc->RawLength() > 0)
    ifd.WriteBytes(out, kICCProfile, failed, std::vector<uint8_t>(icc->Raw(), icc->Raw() + icc->RawLength()),
                   IE_TIFF_UNDEFINED);
  ifd.WriteBytes(out, kPhotoshop, failed, p.TIFFImageResources, IE_TIFF_BYTE);
  ifd.WriteBytes(out, kImageSourceData, failed, p.TIFFImageSourceData, IE_TIFF_UNDEFINED);
}

// ---- files -------------------------------------------------------------------------------

// The position of the zero link that ends the chain of a little-endian
// classic TIFF in memory; -1 when the file is not one or its chain is
// damaged or loops.
int64_t FindLastLink(TMemoryStream& tiff) {
  const auto* bytes = static_cast<const uint8_t*>(tiff.Memory());
  const int64_t size = tiff.Size();
  if (size < 8 || bytes[0] != 'I' || bytes[1] != 'I' || bytes[2] != 42 || bytes[3] != 0) return -1;
  int64_t link = 4;
  for (int32_t directories = 0; directories < 1024; ++directories) {
    const int64_t next = codecbytes::LE32(bytes + link);
    if (next == 0) return link;
    if (next < 8 || next + 2 > size) return -1;
    const int64_t count = bytes[next] | bytes[next + 1] << 8;
    link = next + 2 + 12 * count;
    if (link + 4 > size) return -1;
  }
  return -1;
}

// The interoperability directory belongs to EXIF blocks, not to TIFF images.
void WriteEXIF(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& params, bool interoperability, bool& failed,
               bool bigTIFF = false);

}  // namespace

// ---- reading ----------------------------------------------------------------------

void IEReadTIFFMetadata(const TIETIFFIFDReader& page, TIOParamsVals& params) {
  ReadPage(page, params);
  ReadBlocks(page, params);
  TIETIFFIFDReader exif, gps;
  if (LoadSubIFD(page, kExifIFD, exif)) {
    params.EXIF_HASEXIF = true;
    ReadExifDirectory(exif, params);
  }
  if (LoadSubIFD(page, kGPSIFD, gps)) ReadGPSDirectory(gps, params);
}

// ---- writing ----------------------------------------------------------------------

void IEWriteTIFFMetadata(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& params, bool& failed, bool bigTIFF) {
  WriteEXIF(ifd, out, params, false, failed, bigTIFF);
  WriteBlocks(ifd, out, params, failed);
}

namespace {

void WriteEXIF(TIETIFFIFDWriter& ifd, TStream& out, TIOParamsVals& params, bool interoperability, bool& failed,
               bool bigTIFF) {
  if (params.EXIF_HASEXIF) {
    WritePage(ifd, out, params, failed);
    ifd.AddLong(kExifIFD, static_cast<uint32_t>(WriteExifDirectory(out, params, interoperability, failed, bigTIFF)));
    if (!params.EXIF_GPSVERSIONID.empty())
      ifd.AddLong(kGPSIFD, static_cast<uint32_t>(WriteGPSDirectory(out, params, failed, bigTIFF)));
  } else {
    ifd.WriteAscii(out, kImageDescription, failed, params.TIFF_IMAGEDESCRIPTION);
    ifd.WriteRational(out, kXResolution, params.DPIX > 0 ? params.DPIX : 72, failed);
    ifd.WriteRational(out, kYResolution, params.DPIY > 0 ? params.DPIY : 72, failed);
    ifd.AddShort(kResolutionUnit, 2);
  }
}

}  // namespace

namespace {

void PutLE(uint8_t* out, uint64_t value, int bytes) {
  for (int b = 0; b < bytes; ++b) out[b] = static_cast<uint8_t>(value >> (8 * b));
}

// One entry in the form's layout. A BigTIFF entry holds up to 8 bytes of
// data itself: data of 5 to 8 bytes that the classic entry keeps at an
// offset is read back from out.
std::vector<uint8_t> EncodeEntry(const TIETIFFEntry& e, TStream& out, bool bigTIFF) {
  std::vector<uint8_t> raw(bigTIFF ? 20 : 12, 0);
  PutLE(raw.data(), e.Tag, 2);
  PutLE(raw.data() + 2, e.FieldType, 2);
  if (!bigTIFF) {
    PutLE(raw.data() + 4, e.Count, 4);
    PutLE(raw.data() + 8, e.Value, 4);
    return raw;
  }
  PutLE(raw.data() + 4, e.Count, 8);
  const uint64_t size = uint64_t{e.Count} * static_cast<uint64_t>(IETIFFTypeSize(e.FieldType));
  if (size > 4 && size <= 8) {
    out.SetPosition(e.Value);
    if (out.Read(raw.data() + 12, static_cast<int32_t>(size)) != static_cast<int32_t>(size))
      std::fill(raw.begin() + 12, raw.end(), 0);
  } else {
    PutLE(raw.data() + 12, e.Value, 4);
  }
  return raw;
}

}  // namespace

int64_t IEWriteTIFFDirectory(TIETIFFIFDWriter& ifd, TStream& out, bool& failed, const TIETIFFDirectoryForm& form) {
  ifd.SortEntries();
  std::vector<uint8_t> directory(form.BigTIFF ? 8 : 2, 0);
  PutLE(directory.data(), static_cast<uint64_t>(ifd.GetCount()), form.BigTIFF ? 8 : 2);
  for (int32_t k = 0; k < ifd.GetCount(); ++k) {
    const std::vector<uint8_t> entry = EncodeEntry(*ifd.GetEntry(k), out, form.BigTIFF);
    directory.insert(directory.end(), entry.begin(), entry.end());
  }
  directory.resize(directory.size() + (form.BigTIFF ? 8 : 4), 0);
  PutLE(directory.data() + directory.size() - (form.BigTIFF ? 8 : 4), form.Next, form.BigTIFF ? 8 : 4);
  out.Seek(0, soEnd);
  const int64_t at = IEAlignStreamToWord(out, failed);
  IESafeStreamWrite(out, failed, directory.data(), static_cast<int32_t>(directory.size()));
  return at;
}

// ---- parameters-only files and thumbnails ---------------------------------------

bool IEWriteTIFFParamsOnly(TMemoryStream& out, TIOParamsVals& params) {
  out.Clear();
  bool failed = false;
  const uint8_t header[8] = {'I', 'I', 42, 0, 0, 0, 0, 0};
  IESafeStreamWrite(out, failed, header, 8);
  TIETIFFIFDWriter ifd;
  WriteEXIF(ifd, out, params, true, failed);
  uint8_t link[4];
  PutLE32(link, static_cast<uint32_t>(IEWriteTIFFDirectory(ifd, out, failed)));
  out.SetPosition(4);
  IESafeStreamWrite(out, failed, link, 4);
  out.SetPosition(0);
  return !failed;
}

bool IEAppendTIFFJPEGThumbnail(TMemoryStream& tiff, TIEBitmap& thumbnail) {
  const int64_t link = FindLastLink(tiff);
  if (link < 0 || thumbnail.IsEmpty()) return false;
  TMemoryStream jpeg;
  std::atomic<bool> aborting{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIOParamsVals scratch(nullptr);
  try {
    IEWriteJPEGStream(jpeg, thumbnail, scratch, progress);
  } catch (const EIEJpegException&) {
    return false;
  }
  if (aborting || jpeg.Size() == 0) return false;
  bool failed = false;
  tiff.Seek(0, soEnd);
  const int64_t at = IEAlignStreamToWord(tiff, failed);
  IESafeStreamWrite(tiff, failed, jpeg.Memory(), static_cast<int32_t>(jpeg.Size()));
  TIETIFFIFDWriter ifd;
  ifd.AddShort(259, 6);
  ifd.WriteRational(tiff, kXResolution, 72, failed);
  ifd.WriteRational(tiff, kYResolution, 72, failed);
  ifd.AddShort(kResolutionUnit, 2);
  ifd.AddLong(kJPEGInterchangeFormat, static_cast<uint32_t>(at));
  ifd.AddLong(kJPEGInterchangeFormatLength, static_cast<uint32_t>(jpeg.Size()));
  uint8_t linkValue[4];
  PutLE32(linkValue, static_cast<uint32_t>(IEWriteTIFFDirectory(ifd, tiff, failed)));
  tiff.SetPosition(link);
  IESafeStreamWrite(tiff, failed, linkValue, 4);
  tiff.SetPosition(0);
  return !failed;
}

namespace {

constexpr int32_t kMaxThumbnailSide = 400;

// The JPEG of a page through its interchange format fields, when it has them.
bool ReadJPEGPage(const TIETIFFIFDReader& page, TIEBitmap& thumbnail, bool& isJPEG) {
  isJPEG = false;
  const int64_t offset = page.ReadInteger(kJPEGInterchangeFormat, 0, 0);
  const int64_t length = page.ReadInteger(kJPEGInterchangeFormatLength, 0, 0);
  if (offset <= 0 || length <= 0) return false;
  isJPEG = true;
  TStream& stream = *page.Stream;
  const int64_t at = page.BaseOffset + offset;
  if (at > stream.Size() || length > stream.Size() - at || length > 0x7FFFFFFF) return false;
  TMemoryStream jpeg;
  stream.SetPosition(at);
  jpeg.CopyFrom(stream, length);
  jpeg.SetPosition(0);
  std::atomic<bool> aborting{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIOParamsVals scratch(nullptr);
  TIEJpegReadOptions options;
  options.ParamsOnly = true;
  options.ReadMetadata = false;
  IEReadJPEGStream(jpeg, nullptr, scratch, progress, options);
  if (aborting || scratch.WIDTH > kMaxThumbnailSide || scratch.HEIGHT > kMaxThumbnailSide) return false;
  jpeg.SetPosition(0);
  options.ParamsOnly = false;
  IEReadJPEGStream(jpeg, &thumbnail, scratch, progress, options);
  return !aborting;
}

bool ReadPlainPage(TStream& stream, int64_t base, int32_t index, const TIETIFFIFDReader& page,
                   TIEBitmap& thumbnail) {
  const int64_t width = page.ReadInteger(256, 0, 0), height = page.ReadInteger(257, 0, 0);
  if (width <= 0 || height <= 0 || width > kMaxThumbnailSide || height > kMaxThumbnailSide) return false;
  std::atomic<bool> aborting{false};
  TIEProgressRecord progress;
  progress.Aborting = &aborting;
  TIOParamsVals scratch(nullptr);
  scratch.TIFF_IMAGEINDEX = index;
  int32_t pages = 0;
  stream.SetPosition(base);
  IEReadTIFFStream(stream, &thumbnail, pages, scratch, progress, TIETIFFReadOptions{});
  return !aborting;
}

}  // namespace

bool IEReadTIFFThumbnailPage(TStream& stream, int32_t index, TIEBitmap& thumbnail) {
  const int64_t base = stream.Position();
  uint8_t header[8] = {};
  bool ok = false;
  if (stream.Read(header, 8) == 8 && header[0] == header[1] && (header[0] == 'I' || header[0] == 'M')) {
    TIETIFFIFDReader page;
    page.Intel = header[0] == 'I';
    page.Stream = &stream;
    page.BaseOffset = base;
    const uint32_t first = page.Intel ? codecbytes::LE32(header + 4)
                                      : IESwapDWord(codecbytes::LE32(header + 4));
    int32_t count = 0;
    if (first >= 8 && page.ReadIFD(index, count, first)) {
      bool isJPEG = false;
      ok = ReadJPEGPage(page, thumbnail, isJPEG) || (!isJPEG && ReadPlainPage(stream, base, index, page, thumbnail));
    }
  }
  if (!ok) thumbnail.FreeImage(true);
  stream.SetPosition(base);
  return ok;
}

// ---- EXIF tags copied into a TIFF file ---------------------------------------------

namespace {

// The tags that carry EXIF in a page, in the order they are copied.
constexpr uint16_t kCopiedTags[] = {271,   272,   306,   274,   282,   283,   296,   305,   315,   318,   531,  319,
                                    529,   532,   33432, 18246, 40091, 40092, 40093, 40094, 40095, 34665, 34853};

}  // namespace

int32_t IECopyEXIFTagsToTIFF(TStream* source, TStream* dest, const std::string& sourceFileName, TIOParamsVals& params,
                             int32_t destPage, const std::string& destFileName) {
  TMemoryStream exif;
  if (!IEWriteTIFFParamsOnly(exif, params)) return 1;
  TIETIFFHandler from;
  from.ReadStream(exif);
  TIETIFFHandler target;
  const int64_t start = source ? source->Position() : 0;
  if (source) {
    // The tag editor reads a TIFF that starts at its stream's beginning.
    TMemoryStream copy;
    copy.CopyFrom(*source, source->Size() - start);
    copy.SetPosition(0);
    target.ReadStream(copy);
  } else {
    target.ReadFile(sourceFileName);
  }
  if (from.Motorola() == target.Motorola() && destPage >= 0 && destPage < target.IFDCount())
    for (const uint16_t tag : kCopiedTags)
      if (const int32_t index = from.FindTag(0, tag); index >= 0) target.CopyTag(0, index, destPage, from);
  if (dest) {
    // The handler writes offsets from its stream's beginning: the file is
    // made apart and then copied to where it belongs.
    TMemoryStream file;
    target.WriteStream(file, -1);
    if (dest == source) dest->SetPosition(start);
    file.SetPosition(0);
    dest->CopyFrom(file, file.Size());
  } else {
    target.WriteFile(destFileName, -1);
  }
  return 1;
}
