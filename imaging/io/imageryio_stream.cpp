// The parameter stream: one layout, walked by a writer and by a reader that
// skips what an older version did not have. Every count and length read is
// checked against what the stream still holds before anything is made of it.
#include <cmath>
#include <cstring>
#include <vector>

#include "imaging/codecs/exifblock.h"
#include "imaging/codecs/tiffilt.h"
#include "imaging/codecs/tiffilt_meta.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"

namespace {

constexpr int32_t kVersion = 52;

[[noreturn]] void ReadError() { throw EReadError("Stream read error"); }

class TWriter {
public:
  explicit TWriter(TStream& stream) : s(stream) {}
  static constexpr bool Reading = false;
  int32_t version = kVersion;
  TStream& s;

  void Raw(const void* data, int64_t size) { s.WriteBuffer(data, static_cast<int32_t>(size)); }
  template <class T>
  void Plain(T& v, int32_t = 0) {
    Raw(&v, sizeof v);
  }
  void I32(int32_t& v, int32_t from = 0) { Plain(v, from); }
  void U8(uint8_t& v, int32_t from = 0) { Plain(v, from); }
  void B(bool& v, int32_t = 0) {
    const uint8_t byte = v ? 1 : 0;
    Raw(&byte, 1);
  }
  void D(double& v, int32_t from = 0) { Plain(v, from); }
  void RGB(TRGB& v, int32_t = 0) { Raw(&v, 3); }
  void Str(std::string& v, int32_t = 0) {
    int32_t n = static_cast<int32_t>(v.size());
    I32(n);
    Raw(v.data(), n);
  }
  void List(std::vector<std::string>& v, int32_t = 0) {
    int32_t n = static_cast<int32_t>(v.size());
    I32(n);
    for (std::string& line : v) Str(line);
  }
  void Bytes(std::vector<uint8_t>& v, int32_t = 0) {
    int32_t n = static_cast<int32_t>(v.size());
    I32(n);
    Raw(v.data(), n);
  }
  // A double stored as int32 before version `since`.
  void DoubleSince(double& v, int32_t from, int32_t) { D(v, from); }
  bool Has(int32_t) const { return true; }
};

class TReader {
public:
  explicit TReader(TStream& stream) : s(stream) {}
  static constexpr bool Reading = true;
  int32_t version = 0;
  TStream& s;

  int64_t Remaining() { return s.Size() - s.Position(); }
  void Need(int64_t size) {
    if (size < 0 || size > Remaining()) ReadError();
  }
  void Raw(void* data, int64_t size) {
    Need(size);
    s.ReadBuffer(data, static_cast<int32_t>(size));
  }
  void Skip(int64_t size) {
    Need(size);
    s.Seek(size, soCurrent);
  }
  bool Has(int32_t from) const { return version >= from; }
  template <class T>
  void Plain(T& v, int32_t from = 0) {
    if (Has(from)) Raw(&v, sizeof v);
  }
  void I32(int32_t& v, int32_t from = 0) { Plain(v, from); }
  void U8(uint8_t& v, int32_t from = 0) { Plain(v, from); }
  void B(bool& v, int32_t from = 0) {
    if (!Has(from)) return;
    uint8_t byte;
    Raw(&byte, 1);
    v = byte != 0;
  }
  void D(double& v, int32_t from = 0) { Plain(v, from); }
  void RGB(TRGB& v, int32_t from = 0) {
    if (Has(from)) Raw(&v, 3);
  }
  int32_t Count(int64_t unit) {
    int32_t n;
    Raw(&n, 4);
    if (n < 0 || int64_t{n} * unit > Remaining()) ReadError();
    return n;
  }
  void Str(std::string& v, int32_t from = 0) {
    if (!Has(from)) return;
    const int32_t n = Count(1);
    v.resize(static_cast<size_t>(n));
    Raw(v.data(), n);
  }
  void List(std::vector<std::string>& v, int32_t from = 0) {
    if (!Has(from)) return;
    const int32_t n = Count(4);  // every line has at least its length
    v.clear();
    for (int32_t i = 0; i < n; ++i) Str(v.emplace_back());
  }
  void Bytes(std::vector<uint8_t>& v, int32_t from = 0) {
    if (!Has(from)) return;
    const int32_t n = Count(1);
    v.resize(static_cast<size_t>(n));
    Raw(v.data(), n);
  }
  void DoubleSince(double& v, int32_t from, int32_t since) {
    if (!Has(from)) return;
    if (Has(since)) return D(v);
    int32_t old;
    Raw(&old, 4);
    v = old;
  }
};

// ---- items whose form belongs to a holder ---------------------------------------------------

// The DICOM tag store's form (version byte, element count, elements with
// their values and nested items); the store bounds its counts by the data.
void DICOMTags(TWriter& w, TIOParamsVals& p) { p.DICOMTags.SaveToStream(w.s); }
void DICOMTags(TReader& r, TIOParamsVals& p) {
  if (!r.Has(37)) return;
  p.DICOMTags.Clear();
  p.DICOMTags.LoadFromStream(r.s);
}

// The metadata dictionary as its JSON text, in UTF-16.
void Metadata(TWriter& w, TIOParamsVals& p) {
  std::string json;
  p.Metadata.DumpJSON(json);
  const std::u16string text = Utf8ToUtf16(json);
  auto count = static_cast<int32_t>(text.size());
  w.Raw(&count, 4);
  w.Raw(text.data(), int64_t{count} * 2);
}
void Metadata(TReader& r, TIOParamsVals& p) {
  if (!r.Has(51)) return;
  std::u16string text(static_cast<size_t>(r.Count(2)), u'\0');
  r.Raw(text.data(), static_cast<int64_t>(text.size()) * 2);
  p.Metadata.Clear();
  if (!text.empty() && !p.Metadata.Parse(Utf16ToUtf8(text))) ReadError();
}
// The EXIF and GPS values travel as a TIFF without image.
void EmbeddedTIFF(TWriter& w, TIOParamsVals& p) {
  TMemoryStream tiff;
  IEWriteTIFFParamsOnly(tiff, p);
  auto size = static_cast<int32_t>(tiff.Size());
  w.Raw(&size, 4);
  w.Raw(tiff.Memory(), size);
}
void EmbeddedTIFF(TReader& r, TIOParamsVals& p) {
  if (!r.Has(43)) return;
  int32_t size;
  r.Raw(&size, 4);
  if (size <= 0) return;
  if (size > r.Remaining()) ReadError();
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  r.Raw(bytes.data(), size);
  TMemoryStream tiff;
  tiff.WriteBuffer(bytes.data(), size);
  tiff.SetPosition(0);
  // Its EXIF is what is wanted (the other values of the set travel in items
  // of their own).
  TIOParamsVals found(nullptr);
  IEReadTIFFParams(tiff, found);
  if (found.EXIF_HASEXIF) IECopyEXIF(found, p, false);
}

void Markers(TWriter& w, TIOParamsVals& p) { p.JPEGMarkers.SaveToStream(w.s); }
void Markers(TReader& r, TIOParamsVals& p) {
  if (r.Has(4)) p.JPEGMarkers.LoadFromStream(r.s);
}
void IPTCList(TWriter& w, TIOParamsVals& p) { p.IPTC.SaveToStream(w.s); }
void IPTCList(TReader& r, TIOParamsVals& p) {
  if (r.Has(4)) p.IPTC.LoadFromStream(r.s);
}
void LibraryAnnotations(TWriter& w, TIOParamsVals& p) { p.Annotations.SaveToStream(w.s); }
void LibraryAnnotations(TReader& r, TIOParamsVals& p) {
  if (r.Has(51)) p.Annotations.LoadFromStream(r.s);
}
void Profile(TWriter& w, TIEICC& profile, int32_t) { profile.SaveToStream(w.s, false); }
void Profile(TReader& r, TIEICC& profile, int32_t from) {
  if (!r.Has(from)) return;
  int32_t length;
  r.Raw(&length, 4);
  if (length > 0) r.Need(length);
  r.s.Seek(-4, soCurrent);
  profile.LoadFromStream(r.s, false);
}

void ColorMap(TWriter& w, TIOParamsVals& p) {
  int32_t n = p.COLORMAPCOUNT();
  w.I32(n);
  w.Raw(p.ColorMap.data(), int64_t{n} * 3);
}
void ColorMap(TReader& r, TIOParamsVals& p) {
  p.FreeColorMap();
  const int32_t n = r.Count(3);
  p.ColorMap.resize(static_cast<size_t>(n));
  r.Raw(p.ColorMap.data(), int64_t{n} * 3);
}

void DICOMCompression(TWriter& w, TIOParamsVals& p) {
  uint8_t index = static_cast<uint8_t>(p.GetDICOMCompression());
  w.U8(index);
}
void DICOMCompression(TReader& r, TIOParamsVals& p) {
  uint8_t index = 1;
  if (!r.Has(50)) return;
  r.U8(index);
  p.SetDICOMCompression(index);
}

// Version 0 kept two numbers where the icon and cursor indexes now stand.
template <class A>
void OldPair(A& a, int32_t& first, int32_t& second) {
  if constexpr (A::Reading) {
    if (a.version != 0) return;
    int32_t dropped[2];
    a.Raw(dropped, 8);
    first = second = 0;
  }
}

// ---- the layout -------------------------------------------------------------------

template <class A>
void Layout(A& a, TIOParamsVals& p) {
  Metadata(a, p);
  EmbeddedTIFF(a, p);
  a.Str(p.FILENAME);
  if (a.Has(2)) {
    a.I32(p.FILETYPE);
  } else {
    uint8_t type = 0;
    a.U8(type);
    p.FILETYPE = type;
  }
  for (int32_t* v : {&p.BITSPERSAMPLE, &p.SAMPLESPERPIXEL, &p.WIDTH, &p.HEIGHT, &p.DPIX, &p.DPIY}) a.I32(*v);
  ColorMap(a, p);
  a.I32(p.IMAGEINDEX, 25);
  a.I32(p.IMAGECOUNT, 25);
  a.B(p.GETTHUMBNAIL, 25);
  a.B(p.ENABLEADJUSTORIENTATION, 38);
  a.B(p.ISRESOURCE, 44);
  a.U8(p.TIFF_COMPRESSION);
  a.I32(p.TIFF_IMAGEINDEX);
  a.U8(p.TIFF_PHOTOMETINTEPRET);
  a.I32(p.TIFF_PLANARCONF);
  a.I32(p.TIFF_NEWSUBFILETYPE, 47);
  a.I32(p.TIFF_XPOS);
  a.I32(p.TIFF_YPOS);
  a.Str(p.TIFF_DOCUMENTNAME);
  a.Str(p.TIFF_IMAGEDESCRIPTION);
  a.Str(p.TIFF_PAGENAME);
  a.I32(p.TIFF_PAGENUMBER);
  a.I32(p.TIFF_PAGECOUNT);
  a.I32(p.TIFF_IMAGECOUNT, 4);
  a.I32(p.TIFF_ORIENTATION, 6);
  a.I32(p.TIFF_JPEGQUALITY, 10);
  a.U8(p.TIFF_JPEGCOLORSPACE, 16);
  a.I32(p.TIFF_FILLORDER, 26);
  a.I32(p.TIFF_ZIPCOMPRESSION, 30);
  a.I32(p.TIFF_SUBINDEX, 31);
  a.U8(p.TIFF_BYTEORDER, 32);
  a.I32(p.TIFF_GETTILE, 40);
  a.I32(p.TIFF_STRIPCOUNT, 46);
  a.Bytes(p.TIFFImageResources, 50);
  a.Bytes(p.TIFFImageSourceData, 50);
  a.B(p.TIFFIsBigTIFF, 51);
  a.Str(p.GIF_VERSION);
  for (int32_t* v : {&p.GIF_IMAGEINDEX, &p.GIF_XPOS, &p.GIF_YPOS, &p.GIF_DELAYTIME}) a.I32(*v);
  a.B(p.GIF_TRANSPARENT);
  a.RGB(p.GIF_TRANSPCOLOR);
  a.B(p.GIF_INTERLACED);
  a.I32(p.GIF_WINWIDTH);
  a.I32(p.GIF_WINHEIGHT);
  a.RGB(p.GIF_BACKGROUND);
  a.I32(p.GIF_RATIO);
  a.I32(p.GIF_IMAGECOUNT, 4);
  a.List(p.GIFComments, 9);
  a.U8(p.GIFDisposalMethod, 12);
  a.U8(p.GIFSpareByte, 49);
  a.U8(p.JPEG_COLORSPACE);
  a.I32(p.JPEG_QUALITY);
  a.U8(p.JPEG_DCTMETHOD);
  a.B(p.JPEG_OPTIMALHUFFMAN);
  a.I32(p.JPEG_SMOOTH);
  a.B(p.JPEG_PROGRESSIVE);
  a.U8(p.JPEG_SCALE, 1);
  Markers(a, p);
  a.I32(p.ORIGINALWIDTH, 7);
  a.I32(p.ORIGINALHEIGHT, 7);
  a.B(p.JPEG_ENABLEADJUSTORIENTATION, 20);
  a.B(p.JPEG_GETEXIFTHUMBNAIL, 20);
  a.U8(p.JPEG_CROMASUBSAMPLING, 39);
  a.U8(p.J2000_COLORSPACE, 8);
  a.D(p.J2000_RATE, 8);
  a.U8(p.J2000_SCALABLEBY, 8);
  a.I32(p.PCX_VERSION);
  a.U8(p.PCX_COMPRESSION);
  a.U8(p.BMP_VERSION);
  a.U8(p.BMP_COMPRESSION);
  a.B(p.BMP_HANDLETRANSPARENCY, 28);
  OldPair(a, p.ICO_IMAGEINDEX, p.CUR_IMAGEINDEX);
  a.I32(p.ICO_IMAGEINDEX, 1);
  a.RGB(p.ICO_BACKGROUND, 3);
  for (TIEIconSize& size : p.ICOSizes) {
    a.I32(size.Width, 11);
    a.I32(size.Height, 11);
  }
  for (int32_t& bits : p.ICOBitCounts) a.I32(bits, 11);
  OldPair(a, p.CUR_XHOTSPOT, p.CUR_YHOTSPOT);
  a.I32(p.CUR_IMAGEINDEX, 1);
  a.I32(p.CUR_XHOTSPOT, 1);
  a.I32(p.CUR_YHOTSPOT, 1);
  a.RGB(p.CUR_BACKGROUND, 3);
  a.B(p.PNG_INTERLACED);
  a.RGB(p.PNG_BACKGROUND);
  a.U8(p.PNG_FILTER);
  a.I32(p.PNG_COMPRESSION);
  a.List(p.PNGTextKeys, 23);
  a.List(p.PNGTextValues, 23);
  DICOMTags(a, p);
  a.D(p.DICOMValueOffset, 48);
  a.U8(p.DICOMRangeMode, 48);
  DICOMCompression(a, p);
  a.I32(p.DICOMJPEGQuality, 50);
  a.D(p.DICOMJ2000Rate, 50);
  a.D(p.DICOMRescaleIntercept, 52);
  a.D(p.DICOMRescaleSlope, 52);
  a.B(p.PSD_LOADLAYERS, 27);
  a.B(p.PSD_REPLACELAYERS, 34);
  a.B(p.PSD_HASPREMULTIPLIEDALPHA, 36);
  a.B(p.PSDLargeDocument, 51);
  a.Str(p.PSDLayerName, 51);
  a.D(p.HDP_IMAGEQUALITY, 41);
  a.B(p.HDP_LOSSLESS, 41);
  a.I32(p.TGA_XPOS, 3);
  a.I32(p.TGA_YPOS, 3);
  a.B(p.TGA_COMPRESSED, 3);
  a.Str(p.TGA_DESCRIPTOR, 3);
  a.Str(p.TGA_AUTHOR, 3);
  a.D(p.TGA_DATE, 3);
  a.Str(p.TGA_IMAGENAME, 3);
  a.RGB(p.TGA_BACKGROUND, 3);
  a.D(p.TGA_ASPECTRATIO, 3);
  a.D(p.TGA_GAMMA, 3);
  a.B(p.TGA_GRAYLEVEL, 3);
  IPTCList(a, p);
  a.List(p.PXMComments, 5);
  a.I32(p.AVI_FRAMECOUNT, 6);
  a.DoubleSince(p.AVI_FRAMEDELAYTIME, 6, 45);
  a.I32(p.PS_PAPERWIDTH, 14);
  a.I32(p.PS_PAPERHEIGHT, 14);
  a.U8(p.PS_COMPRESSION, 14);
  a.Str(p.PS_TITLE, 14);
  a.I32(p.PDF_PAPERWIDTH, 14);
  a.I32(p.PDF_PAPERHEIGHT, 14);
  a.U8(p.PDF_COMPRESSION, 14);
  for (std::string* text : {&p.PDF_TITLE, &p.PDF_AUTHOR, &p.PDF_SUBJECT, &p.PDF_KEYWORDS, &p.PDF_CREATOR,
                            &p.PDF_PRODUCER})
    a.Str(*text, 15);
  a.I32(p.DCX_IMAGEINDEX, 18);
  if (a.Has(13)) p.GetImagingAnnot();  // its stream form holds nothing
  LibraryAnnotations(a, p);
  Profile(a, p.GetInputICCProfile(), 17);
  Profile(a, p.GetOutputICCProfile(), 17);
  Profile(a, p.GetDefaultICCProfile(), 33);
  a.B(p.RAW_HALFSIZE, 18);
  for (double* v : {&p.RAW_GAMMA, &p.RAW_BRIGHT, &p.RAW_REDSCALE, &p.RAW_BLUESCALE}) a.D(*v, 18);
  for (bool* v : {&p.RAW_QUICKINTERPOLATE, &p.RAW_USEAUTOWB, &p.RAW_USECAMERAWB, &p.RAW_FOURCOLORRGB}) a.B(*v, 18);
  a.Str(p.RAW_CAMERA, 18);
  a.B(p.RAW_GETEXIFTHUMBNAIL, 18);
  a.B(p.RAW_AUTOADJUSTCOLORS, 22);
  a.Str(p.RAW_EXTRAPARAMS, 35);
  a.I32(p.MEDIAFILE_FRAMECOUNT, 21);
  a.DoubleSince(p.MEDIAFILE_FRAMEDELAYTIME, 21, 45);
  a.U8(p.BMPRAW_CHANNELORDER, 23);
  a.U8(p.BMPRAW_PLANES, 23);
  a.I32(p.BMPRAW_ROWALIGN, 23);
  a.I32(p.BMPRAW_HEADERSIZE, 23);
  a.U8(p.BMPRAW_DATAFORMAT, 42);
}

}  // namespace

void TIOParamsVals::SaveToStream(TStream& stream) {
  TWriter writer(stream);
  int32_t version = kVersion;
  writer.I32(version);
  Layout(writer, *this);
}

void TIOParamsVals::LoadFromStream(TStream& stream) {
  TReader reader(stream);
  int32_t version;
  reader.Raw(&version, 4);
  if (version < 0) ReadError();
  reader.version = std::min(version, kVersion);
  Layout(reader, *this);
}
