// The JPEG codec; see jpegfilt.h. Every libjpeg call runs inside JpegGuard:
// its errors come back as a false result, never as a jump through C++ frames.
//
// Sections: progress | reading | writing | stream utilities | ICC chunks |
// entry points
#include "imaging/codecs/jpegfilt.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/exifblock.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/core/ruduvazez_xmp.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_cmyk.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/streams.h"
#include "platform/win/jpegglue.h"

namespace {

// ---- progress ----------------------------------------------------------------------

// Reports whole percentages as rows complete; the first row always reports.
class RowProgress {
public:
  RowProgress(TIEProgressRecord& progress, int32_t rows) : progress_(progress) {
    progress_.per1 = rows > 0 ? 100.0 / rows : 0;
    progress_.val = 0;
  }
  void Row() {
    ++progress_.val;
    const int32_t percent = static_cast<int32_t>(progress_.val * progress_.per1);
    if (percent != last_) {
      last_ = percent;
      progress_.Report(percent);
    }
  }

private:
  TIEProgressRecord& progress_;
  int32_t last_ = -1;
};

size_t ReadInto(TStream& stream, uint8_t* buffer, size_t capacity) {
  const int32_t got = stream.Read(buffer, static_cast<int32_t>(capacity));
  return got > 0 ? static_cast<size_t>(got) : 0;
}

// The settings' colour conversion, or the library's own when none is set.
void ConvertColors(const void* source, int32_t sourceLayout, void* dest, TIOParamsVals* params, int32_t count,
                   int32_t destLayout) {
  if (auto proc = IEGetGlobalSettings()->ColorConvertProc)
    proc(source, sourceLayout, dest, params, count, destLayout);
  else
    IEConvertColorFormat(source, sourceLayout, dest, params, count, destLayout);
}

constexpr int32_t kLayoutBGR = 1, kLayoutCMYK = 2;

// JPEG_DCTMETHOD: 0 slow integer, 1 fast integer, 2 floating point; any
// other value keeps the library's default.
void SetDctMethod(J_DCT_METHOD& method, uint8_t choice) {
  static const J_DCT_METHOD kMethods[] = {JDCT_ISLOW, JDCT_IFAST, JDCT_FLOAT};
  if (choice < 3) method = kMethods[choice];
}

// ---- reading -------------------------------------------------------------------

struct Decoder {
  jpeg_decompress_struct cinfo{};
  JpegErrorJump err{};
  JpegSource source{};
  JpegSource tables{};
  bool created = false;
  ~Decoder() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

void ReadDensity(const jpeg_decompress_struct& cinfo, TIOParamsVals& params) {
  if (cinfo.density_unit == 0 || cinfo.density_unit == 1) {
    params.SetDpiX(cinfo.X_density);
    params.SetDpiY(cinfo.Y_density);
  } else if (cinfo.density_unit == 2) {
    params.SetDpiX(static_cast<int32_t>(cinfo.X_density * 2.54));
    params.SetDpiY(static_cast<int32_t>(cinfo.Y_density * 2.54));
  }
}

// Every saved marker in file order, except the first APP0 (the JFIF header,
// which the library writes itself).
void KeepMarkers(const jpeg_decompress_struct& cinfo, TIOParamsVals& params) {
  params.JPEGMarkers.Clear();
  bool firstApp0 = true;
  for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 && firstApp0) {
      firstApp0 = false;
      continue;
    }
    params.JPEGMarkers.AddMarker(m->marker, m->data, static_cast<int32_t>(m->data_length));
  }
}

// The first marker of the type that the loader accepts.
template <class Loader>
void FirstAccepted(TIOParamsVals& params, uint8_t type, Loader load) {
  for (int32_t i = 0; i < params.JPEGMarkers.GetCount(); ++i)
    if (params.JPEGMarkers.GetMarkerType(i) == type &&
        load(params.JPEGMarkers.GetMarkerData(i), params.JPEGMarkers.GetMarkerLength(i)))
      return;
}

// The EXIF block's resolution counts only where the JFIF header gave none
// (the library reports 1 x 1 then).
void ReadEXIF(TIOParamsVals& params, bool& adjustOrientation) {
  const int32_t dpiX = params.DPIX, dpiY = params.DPIY;
  FirstAccepted(params, JPEG_APP0 + 1, [&](const uint8_t* data, int32_t length) {
    return IEIsEXIFHeader(data, static_cast<size_t>(length)) && IELoadEXIFFromBuffer(data, length, params);
  });
  if (!params.EXIF_HASEXIF) return;
  if (dpiX == 1 && dpiY == 1) {
    const double factor = params.EXIF_RESOLUTIONUNIT == 3 ? 2.54 : 1.0;
    params.SetDpiX(static_cast<int32_t>(std::clamp(params.EXIF_XRESOLUTION * factor, 0.0, 1e6)));
    params.SetDpiY(static_cast<int32_t>(std::clamp(params.EXIF_YRESOLUTION * factor, 0.0, 1e6)));
  } else {
    params.SetDpiX(dpiX);
    params.SetDpiY(dpiY);
  }
  adjustOrientation = params.JPEG_ENABLEADJUSTORIENTATION;
}

// A file whose EXIF declares Adobe RGB ("R03") and carries no profile of its own.
void ApplyAdobeRGBRule(TIOParamsVals& params) {
  const TIEICC* input = params.InputICCProfileOrNull();
  if (params.EXIF_INTEROPINDEX != "R03" || (input && input->IsValid())) return;
  if (IEGetGlobalSettings()->AdobeRGBInteropMode != 0) params.GetInputICCProfile().LoadAdobeRGBProfile();
}

void ReadMetadata(TIOParamsVals& params, bool& adjustOrientation) {
  FirstAccepted(params, JPEG_APP0 + 13, [&](const uint8_t* data, int32_t length) {
    return params.IPTC.LoadFromBuffer(data, length);
  });
  ReadEXIF(params, adjustOrientation);
  // The standard packet, or the whole extended XMP when every piece is there.
  if (std::string xmp = IEReadXMPMarkers(params.JPEGMarkers); !xmp.empty()) params.SetXMP_Info(xmp);
  ApplyAdobeRGBRule(params);
  FirstAccepted(params, JPEG_APP0 + 1, [&](const uint8_t* data, int32_t length) {
    if (!TIEImageryAnnot::HasSignature(data, length)) return false;
    params.Annotations.LoadFromBuffer(data, length);
    return true;
  });
}

bool ColorManaged(TIOParamsVals& params) {
  TIEICC* input = params.InputICCProfileOrNull();
  return input && input->IsValid() && IEGetGlobalSettings()->ApplyEmbeddedICC;
}

// The denominator of the wanted scale; automatic picks the smallest image
// that still covers the wanted size.
int32_t ScaleDenominator(const jpeg_decompress_struct& cinfo, const TIOParamsVals& params) {
  switch (params.JPEG_SCALE) {
    case 2: return 2;
    case 3: return 4;
    case 4: return 8;
    case 0:
      if (params.WIDTH > 0 && params.HEIGHT > 0)
        for (int32_t d : {8, 4, 2})
          if (static_cast<int64_t>(cinfo.image_width) / d >= params.WIDTH &&
              static_cast<int64_t>(cinfo.image_height) / d >= params.HEIGHT)
            return d;
      return 1;
    default: return 1;
  }
}

// Sets the parameters from the header and chooses the output colour space.
void SetUpDecode(Decoder& d, TIOParamsVals& params, const TIEJpegReadOptions& options) {
  jpeg_decompress_struct& cinfo = d.cinfo;
  params.SetImageCount(1);
  params.BITSPERSAMPLE = 8;
  if (cinfo.num_components == 3 && options.ColorTransform >= 0)
    cinfo.jpeg_color_space = options.ColorTransform ? JCS_YCbCr : JCS_RGB;
  cinfo.out_color_space = cinfo.jpeg_color_space;
  switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
      params.JPEG_COLORSPACE = 1;
      params.SAMPLESPERPIXEL = 1;
      break;
    case JCS_RGB:
      params.JPEG_COLORSPACE = 0;
      params.SAMPLESPERPIXEL = 3;
      cinfo.out_color_space = JCS_EXT_BGR;
      break;
    case JCS_YCbCr:
      params.JPEG_COLORSPACE = 2;
      params.SAMPLESPERPIXEL = 3;
      cinfo.out_color_space = options.KeepYCbCr ? JCS_YCbCr : JCS_EXT_BGR;
      break;
    case JCS_CMYK:
      params.JPEG_COLORSPACE = 3;
      params.SAMPLESPERPIXEL = 4;
      break;
    case JCS_YCCK:
      params.JPEG_COLORSPACE = 4;
      params.SAMPLESPERPIXEL = 4;
      cinfo.out_color_space = JCS_CMYK;
      break;
    default:
      params.SAMPLESPERPIXEL = cinfo.num_components;
      break;
  }
  SetDctMethod(cinfo.dct_method, params.JPEG_DCTMETHOD);
  params.FreeColorMap();
  params.JPEG_PROGRESSIVE = jpeg_has_multiple_scans(&cinfo);
  params.ORIGINALWIDTH = static_cast<int32_t>(cinfo.image_width);
  params.ORIGINALHEIGHT = static_cast<int32_t>(cinfo.image_height);
  const int32_t denominator = ScaleDenominator(cinfo, params);
  cinfo.scale_num = 1;
  cinfo.scale_denom = static_cast<unsigned>(denominator);
  params.JPEG_SCALE_USED = denominator;
}

// Whether the coded data left (bytes) can hold the image the header
// declares. Huffman coding spends at least one bit on every block of the
// first component; arithmetic coding far less on empty blocks, so it is
// held to one byte per 4096 blocks. A few hundred bytes that declare a
// giant image are refused before the library or the bitmap allocates it.
bool DataCanHold(const jpeg_decompress_struct& cinfo, int64_t bytes) {
  if (cinfo.num_components <= 0) return false;
  const jpeg_component_info& first = cinfo.comp_info[0];
  const int64_t maxH = std::max(cinfo.max_h_samp_factor, 1), maxV = std::max(cinfo.max_v_samp_factor, 1);
  const int64_t columns = (int64_t{cinfo.image_width} * first.h_samp_factor + 8 * maxH - 1) / (8 * maxH);
  const int64_t rows = (int64_t{cinfo.image_height} * first.v_samp_factor + 8 * maxV - 1) / (8 * maxV);
  const int64_t blocks = columns * rows;
  const int64_t needed = cinfo.arith_code ? blocks / 4096 : blocks / 8;
  return bytes >= needed;
}

// The bitmap's format for the output colour space; ieNoFormat when none fits.
TIEPixelFormat TargetFormat(J_COLOR_SPACE space, bool native) {
  if (!native) return space == JCS_GRAYSCALE || space == JCS_EXT_BGR || space == JCS_YCbCr || space == JCS_CMYK
                          ? ie24RGB
                          : ieNoFormat;
  switch (space) {
    case JCS_GRAYSCALE: return ie8g;
    case JCS_EXT_BGR:
    case JCS_YCbCr: return ie24RGB;
    case JCS_CMYK: return ieCMYK;
    default: return ieNoFormat;
  }
}

// Moves one decoded row from the work row into the bitmap row.
void StoreRow(J_COLOR_SPACE space, TIEPixelFormat format, const uint8_t* work, uint8_t* row, int32_t width,
              TIOParamsVals& params, bool managed, bool invertCMYK, std::vector<uint8_t>& scratch) {
  if (space == JCS_GRAYSCALE && format == ie24RGB) {
    for (int32_t x = 0; x < width; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = work[x];
  } else if (space == JCS_EXT_BGR && managed) {
    ConvertColors(work, kLayoutBGR, row, &params, width, kLayoutBGR);
  } else if (space == JCS_CMYK && format == ie24RGB) {
    const uint8_t* cmyk = work;
    if (invertCMYK) {
      scratch.assign(work, work + static_cast<size_t>(width) * 4);
      for (uint8_t& b : scratch) b = static_cast<uint8_t>(255 - b);
      cmyk = scratch.data();
    }
    ConvertColors(cmyk, kLayoutCMYK, row, &params, width, kLayoutBGR);
  }
}

// True when rows go through the work row rather than straight into the bitmap.
bool NeedsWorkRow(J_COLOR_SPACE space, TIEPixelFormat format, bool managed) {
  return (space == JCS_GRAYSCALE && format == ie24RGB) || (space == JCS_EXT_BGR && managed) ||
         (space == JCS_CMYK && format == ie24RGB);
}

// Decodes the rows; false when the decode failed or ended early.
bool DecodeRows(Decoder& d, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                const TIEJpegReadOptions& options, int32_t& rows) {
  jpeg_decompress_struct& cinfo = d.cinfo;
  const auto width = static_cast<int32_t>(cinfo.output_width);
  const auto height = static_cast<int32_t>(cinfo.output_height);
  const TIEPixelFormat format = TargetFormat(cinfo.out_color_space, options.NativePixelFormat);
  if (format == ieNoFormat || !bitmap.Allocate(width, height, format)) return false;
  const int32_t maxRows = options.MaxRows < 0 ? bitmap.GetHeight() : std::min(options.MaxRows, bitmap.GetHeight());
  const bool managed = cinfo.out_color_space == JCS_EXT_BGR && ColorManaged(params);
  const bool viaWork = NeedsWorkRow(cinfo.out_color_space, format, managed);
  std::vector<uint8_t> work(static_cast<size_t>(width) * 4), scratch;
  RowProgress report(progress, height);
  while (cinfo.output_scanline < cinfo.output_height && rows < maxRows && !progress.Aborted()) {
    uint8_t* row = bitmap.GetScanline(static_cast<int32_t>(cinfo.output_scanline));
    if (!row) break;
    JSAMPROW target = viaWork ? work.data() : row;
    JDIMENSION got = 0;
    if (!JpegGuard(d.err, [&] { got = jpeg_read_scanlines(&cinfo, &target, 1); }) || got == 0) return false;
    if (viaWork) StoreRow(cinfo.out_color_space, format, work.data(), row, width, params, managed,
                          options.InvertCMYK, scratch);
    rows += static_cast<int32_t>(got);
    report.Row();
  }
  if (rows < maxRows) return false;
  // Input that really ran out before the image was complete: what the
  // library padded is not the picture.
  return !(d.source.Ended && d.err.dataEnded);
}

// The EXIF thumbnail instead of the image, when one is asked for and present.
bool ReadExifThumbnail(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  const int32_t wantedWidth = params.WIDTH, wantedHeight = params.HEIGHT;
  const int64_t start = stream.Position();
  params.EXIFThumbnail.reset();
  params.SetJPEG_GetExifThumbnail(false);
  TIEJpegReadOptions headerOnly;
  headerOnly.ParamsOnly = true;
  IEReadJPEGStream(stream, nullptr, params, progress, headerOnly);
  stream.SetPosition(start);
  params.SetJPEG_GetExifThumbnail(true);
  if (params.EXIFThumbnail && !params.EXIFThumbnail->IsEmpty() && bitmap) {
    bitmap->Assign(params.EXIFThumbnail.get());
    return true;
  }
  params.WIDTH = wantedWidth;
  params.HEIGHT = wantedHeight;
  return false;
}

// After every decode: the ICC profile is released (managed decodes) or
// handed to the bitmap.
void FinishICC(TIEBitmap* bitmap, TIOParamsVals& params, bool release, bool managed) {
  TIEICC* input = params.InputICCProfileOrNull();
  if (release && managed && input && input->IsTransformReady()) {
    input->FreeTransform();
    params.JPEGMarkers.DeleteMarkersOfType(JPEG_APP0 + 2);
  } else if (input && input->IsValid() && bitmap) {
    bitmap->ImageProfile().Assign(*input);
  }
}

}  // namespace

int32_t IEReadJPEGStream(TStream& stream, TIEBitmap* bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                         const TIEJpegReadOptions& options) {
  if (params.JPEG_GETEXIFTHUMBNAIL && ReadExifThumbnail(stream, bitmap, params, progress)) return 0;
  params.JPEG_WARNINGTOT = 0;
  params.JPEG_WARNINGCODE = 0;
  const int64_t soi = IEFindJPEGSOI(stream, true);
  if (soi < 0) {
    progress.Abort();
    return 0;
  }
  stream.SetPosition(soi);
  if (options.ReadICC) IEReadJPEGICCProfile(stream, params);

  auto d = std::make_unique<Decoder>();
  jpeg_decompress_struct& cinfo = d->cinfo;
  cinfo.err = JpegInitErrors(d->err);
  int32_t rows = 0;
  bool adjustOrientation = false;
  bool managed = false;
  bool ok = JpegGuard(d->err, [&] { jpeg_create_decompress(&cinfo); });
  d->created = ok;
  if (ok && !progress.Aborted()) {
    TStream* tables = options.TablesStream;
    if (tables && tables != &stream && !options.ParamsOnly) {
      d->tables.Read = [tables](uint8_t* b, size_t n) { return ReadInto(*tables, b, n); };
      JpegAttachSource(&cinfo, d->tables);
      ok = JpegGuard(d->err, [&] { jpeg_read_header(&cinfo, FALSE); });
    }
    d->source.Read = [&stream](uint8_t* b, size_t n) { return ReadInto(stream, b, n); };
    JpegAttachSource(&cinfo, d->source);
    ok = ok && JpegGuard(d->err, [&] {
           jpeg_save_markers(&cinfo, JPEG_COM, 0xFFFF);
           for (int m = 0; m < 16; ++m) jpeg_save_markers(&cinfo, JPEG_APP0 + m, 0xFFFF);
           jpeg_read_header(&cinfo, TRUE);
         });
    ok = ok && !d->source.EmptyInput;
    if (ok) {
      ReadDensity(cinfo, params);
      KeepMarkers(cinfo, params);
      if (options.ReadMetadata) ReadMetadata(params, adjustOrientation);
      managed = ColorManaged(params);
    }
    if (ok && !progress.Aborted()) {
      SetUpDecode(*d, params, options);
      if (options.ParamsOnly) {
        params.WIDTH = static_cast<int32_t>(cinfo.image_width);
        params.HEIGHT = static_cast<int32_t>(cinfo.image_height);
      } else if (!bitmap) {
        ok = false;
      } else {
        const int64_t left = std::max<int64_t>(0, stream.Size() - stream.Position());
        ok = DataCanHold(cinfo, left + static_cast<int64_t>(cinfo.src->bytes_in_buffer)) &&
             JpegGuard(d->err, [&] { jpeg_start_decompress(&cinfo); });
        if (ok) {
          params.WIDTH = static_cast<int32_t>(cinfo.output_width);
          params.HEIGHT = static_cast<int32_t>(cinfo.output_height);
          ok = DecodeRows(*d, *bitmap, params, progress, options, rows);
        }
      }
    }
  }
  if (!ok) progress.Abort();
  FinishICC(bitmap, params, options.ReleaseICC, managed);
  if (d->created && !progress.Aborted() && !options.ParamsOnly) {
    // A decode stopped on purpose at MaxRows ends without finishing.
    if (cinfo.output_scanline < cinfo.output_height)
      jpeg_abort_decompress(&cinfo);
    else if (!JpegGuard(d->err, [&] { jpeg_finish_decompress(&cinfo); }))
      progress.Abort();
  }
  if (JpegWarnings(d->err) > 0) {
    params.JPEG_WARNINGTOT = static_cast<int32_t>(JpegWarnings(d->err));
    params.JPEG_WARNINGCODE = d->err.lastCode;
  }
  if (adjustOrientation) {
    if (bitmap && !options.ParamsOnly && rows > 0) {
      IEApplyExifOrientation(*bitmap, params.EXIF_ORIENTATION);
      params.WIDTH = bitmap->GetWidth();
      params.HEIGHT = bitmap->GetHeight();
    }
    params.SetEXIF_Orientation(1);
  }
  return rows;
}

// ---- writing ------------------------------------------------------------------

namespace {

struct Encoder {
  jpeg_compress_struct cinfo{};
  JpegErrorJump err{};
  JpegDestination dest{};
  bool created = false;
  ~Encoder() {
    if (created) jpeg_destroy_compress(&cinfo);
  }
};

void SetUpEncode(Encoder& e, TIEBitmap& image, const TIOParamsVals& params) {
  jpeg_compress_struct& cinfo = e.cinfo;
  cinfo.image_width = static_cast<JDIMENSION>(image.GetWidth());
  cinfo.image_height = static_cast<JDIMENSION>(image.GetHeight());
  J_COLOR_SPACE space = JCS_RGB;
  cinfo.in_color_space = JCS_EXT_BGR;
  cinfo.input_components = 3;
  switch (params.JPEG_COLORSPACE) {
    case 1: space = JCS_GRAYSCALE; break;
    case 2: space = JCS_YCbCr; break;
    case 3:
    case 4:
      space = params.JPEG_COLORSPACE == 3 ? JCS_CMYK : JCS_YCCK;
      cinfo.in_color_space = JCS_CMYK;
      cinfo.input_components = 4;
      break;
    default: break;
  }
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, space);
  const TIEImageryGlobalSettings& settings = *IEGetGlobalSettings();
  cinfo.density_unit = 1;
  cinfo.X_density = static_cast<UINT16>(std::clamp(params.DPIX ? params.DPIX : settings.DefaultDPIX, 0, 65535));
  cinfo.Y_density = static_cast<UINT16>(std::clamp(params.DPIY ? params.DPIY : settings.DefaultDPIY, 0, 65535));
  SetDctMethod(cinfo.dct_method, params.JPEG_DCTMETHOD);
  cinfo.optimize_coding = params.JPEG_OPTIMALHUFFMAN;
  cinfo.smoothing_factor = std::clamp(params.JPEG_SMOOTH, 0, 100);
  jpeg_set_quality(&cinfo, std::clamp(params.JPEG_QUALITY, 1, 100), TRUE);
  if (space == JCS_YCbCr) {
    const int h = params.JPEG_CROMASUBSAMPLING == 2 ? 1 : 2;
    const int v = params.JPEG_CROMASUBSAMPLING == 1 ? 2 : 1;
    cinfo.comp_info[0].h_samp_factor = h;
    cinfo.comp_info[0].v_samp_factor = v;
    for (int c = 1; c < 3; ++c) cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  }
  if (space == JCS_CMYK) cinfo.write_JFIF_header = TRUE;
  if (params.JPEG_PROGRESSIVE) jpeg_simple_progression(&cinfo);
}

// The markers of the parameters, sorted, with the input profile's chunks;
// APP14 never (the library writes its own Adobe marker).
void WriteMarkers(Encoder& e, TIOParamsVals& params, bool& ok) {
  TIEICC* input = params.InputICCProfileOrNull();
  if (input && input->IsValid()) IEICCProfileToJPEGMarkers(params);
  params.JPEGMarkers.Sort();
  for (int32_t i = 0; i < params.JPEGMarkers.GetCount() && ok; ++i) {
    const uint8_t type = params.JPEGMarkers.GetMarkerType(i);
    if (type == JPEG_APP0 + 14) continue;
    const uint8_t* data = params.JPEGMarkers.GetMarkerData(i);
    const auto length = static_cast<unsigned>(params.JPEGMarkers.GetMarkerLength(i));
    ok = JpegGuard(e.err, [&] { jpeg_write_marker(&e.cinfo, type, data, length); });
  }
}

}  // namespace

void IEWriteJPEGStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress,
                       const TIEJpegWriteOptions& options) {
  if (bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    progress.Abort();
    return;
  }
  // CMYK images coded as CMYK keep their samples; the caller's image is
  // never changed: other formats go through a 24-bit copy.
  const bool cmykImage =
      bitmap.GetPixelFormat() == ieCMYK && (params.JPEG_COLORSPACE == 3 || params.JPEG_COLORSPACE == 4);
  std::unique_ptr<TIEBitmap> copy;
  TIEBitmap* image = &bitmap;
  if (bitmap.GetPixelFormat() != ie24RGB && !cmykImage) {
    copy = std::make_unique<TIEBitmap>();
    copy->Assign(&bitmap);
    copy->ConvertToPixelFormat(ie24RGB);
    image = copy.get();
  }
  auto e = std::make_unique<Encoder>();
  jpeg_compress_struct& cinfo = e->cinfo;
  cinfo.err = JpegInitErrors(e->err);
  bool ok = JpegGuard(e->err, [&] { jpeg_create_compress(&cinfo); });
  e->created = ok;
  if (ok) {
    e->dest.Write = [&stream](const uint8_t* data, size_t n) {
      return static_cast<size_t>(stream.Write(data, static_cast<int32_t>(n)));
    };
    JpegAttachDestination(&cinfo, e->dest);
    ok = JpegGuard(e->err, [&] {
      SetUpEncode(*e, *image, params);
      jpeg_start_compress(&cinfo, TRUE);
    });
  }
  if (ok) WriteMarkers(*e, params, ok);
  const bool cmyk = cinfo.in_color_space == JCS_CMYK;
  std::vector<uint8_t> work(cmyk ? static_cast<size_t>(image->GetWidth()) * 4 : 0);
  RowProgress report(progress, image->GetHeight());
  while (ok && cinfo.next_scanline < cinfo.image_height) {
    uint8_t* row = image->GetScanline(static_cast<int32_t>(cinfo.next_scanline));
    if (cmyk) {
      // Stored inverted (255 = no ink), as the library keeps CMYK.
      if (cmykImage) std::memcpy(work.data(), row, work.size());
      else ConvertColors(row, kLayoutBGR, work.data(), &params, image->GetWidth(), kLayoutCMYK);
      if (options.InvertCMYK)
        for (uint8_t& b : work) b = static_cast<uint8_t>(255 - b);
      row = work.data();
    }
    JSAMPROW rows[1] = {row};
    ok = JpegGuard(e->err, [&] { jpeg_write_scanlines(&cinfo, rows, 1); });
    report.Row();
    // A short write, or the caller's abort between rows, ends the image here.
    if (e->dest.Failed || progress.Aborted()) break;
  }
  if (ok && !e->dest.Failed && !progress.Aborted()) ok = JpegGuard(e->err, [&] { jpeg_finish_compress(&cinfo); });
  if (e->dest.Failed) progress.Abort();
  if (!ok) {
    progress.Abort();
    throw EIEJpegException(JpegMessageText(e->err, e->err.lastCode));
  }
}

// ---- stream utilities ----------------------------------------------------------

int64_t IEFindJPEGSOI(TStream& stream, bool search) {
  const int64_t start = stream.Position();
  uint8_t window[152] = {};
  const int32_t got = stream.Read(window, search ? 152 : 3);
  stream.SetPosition(start);
  const int32_t candidates = search ? 150 : 1;
  for (int32_t i = 0; i < candidates && i + 3 <= got; ++i)
    if (window[i] == 0xFF && window[i + 1] == 0xD8 && window[i + 2] == 0xFF) return search ? start + i : 0;
  return -1;
}

int64_t IEGetJPEGLength(TStream& stream) {
  const int64_t start = stream.Position();
  int64_t end = start;
  {
    TIEBufferedReadStream reader(stream, 65536);
    uint8_t b = 0;
    while (reader.Read(&b, 1) == 1) {
      if (b != 0xFF) continue;
      uint8_t code = 0;
      if (reader.Read(&code, 1) != 1 || code == JPEG_EOI) break;
      if ((code >= 0xC0 && code <= 0xCF) || (code >= 0xDA && code <= 0xFE)) {
        uint8_t len[2];
        if (reader.Read(len, 2) != 2) break;
        const int32_t length = codecbytes::BE16(len);
        if (length > 2) reader.Seek(length - 2, soCurrent);
      }
    }
    end = reader.Position();
  }
  stream.SetPosition(start);
  return end - start;
}

// ---- ICC chunks -----------------------------------------------------------------

namespace {

const char kIccSignature[] = "ICC_PROFILE";  // with its NUL: 12 bytes
constexpr int32_t kIccHeader = 14;
constexpr int32_t kIccChunkBytes = 32000;

}  // namespace

void IEReadJPEGICCProfile(TStream& stream, TIOParamsVals& params) {
  const int64_t start = stream.Position();
  std::vector<std::vector<uint8_t>> chunks;
  int64_t total = 0;
  int32_t met = 0;
  {
    TIEBufferedReadStream reader(stream, 65536);
    uint8_t b = 0;
    bool walking = true;
    while (walking && reader.Read(&b, 1) == 1) {
      if (b != 0xFF) continue;
      uint8_t code = 0;
      if (reader.Read(&code, 1) != 1) break;
      const bool segment = code == 0xC4 || code == 0xC8 || code == 0xCC || (code >= 0xDA && code <= 0xFE);
      if (code < 0xC0 || (code >= 0xD0 && code <= 0xD8) || code == 0xFF) continue;
      if (!segment) break;  // a frame or the end: the profile comes before the image
      uint8_t len[2];
      if (reader.Read(len, 2) != 2) break;
      const int32_t length = codecbytes::BE16(len);
      if (code != JPEG_APP0 + 2) {
        if (length > 2) reader.Seek(length - 2, soCurrent);
        continue;
      }
      std::vector<uint8_t> block(static_cast<size_t>(std::max(length - 2, 0)));
      if (!block.empty() && reader.Read(block.data(), static_cast<int32_t>(block.size())) !=
                                static_cast<int32_t>(block.size()))
        break;
      // A segment too short for the chunk header is not a chunk.
      if (static_cast<int32_t>(block.size()) < kIccHeader || std::memcmp(block.data(), kIccSignature, 12) != 0)
        continue;
      const uint8_t index = static_cast<uint8_t>(block[12] - 1);
      if (chunks.size() <= index) chunks.resize(index + 1u);
      chunks[index].assign(block.begin() + kIccHeader, block.end());
      total += static_cast<int64_t>(block.size()) - kIccHeader;
      if (++met == block[13]) walking = false;
    }
  }
  if (total > 0) {
    std::vector<uint8_t> profile;
    for (const auto& chunk : chunks) profile.insert(profile.end(), chunk.begin(), chunk.end());
    params.GetInputICCProfile().LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
  }
  stream.SetPosition(start);
}

void IEICCProfileToJPEGMarkers(TIOParamsVals& params) {
  params.JPEGMarkers.DeleteMarkersOfType(JPEG_APP0 + 2);
  TIEICC* input = params.InputICCProfileOrNull();
  if (!input || !input->IsValid()) return;
  TMemoryStream bytes;
  input->SaveToStream(bytes, true);
  const int64_t size = bytes.Size();
  if (size <= 0) return;
  const int64_t count = (size + kIccChunkBytes - 1) / kIccChunkBytes;
  if (count > 255) return;  // more than the chunk numbering can carry
  const auto* data = static_cast<const uint8_t*>(bytes.Memory());
  for (int64_t i = 0; i < count; ++i) {
    const int64_t offset = i * kIccChunkBytes;
    const int64_t n = std::min<int64_t>(kIccChunkBytes, size - offset);
    std::vector<uint8_t> chunk(kIccHeader + static_cast<size_t>(n));
    std::memcpy(chunk.data(), kIccSignature, 12);
    chunk[12] = static_cast<uint8_t>(i + 1);
    chunk[13] = static_cast<uint8_t>(count);
    std::memcpy(chunk.data() + kIccHeader, data + offset, static_cast<size_t>(n));
    params.JPEGMarkers.AddMarker(JPEG_APP0 + 2, chunk.data(), static_cast<int32_t>(chunk.size()));
  }
}

// ---- entry points --------------------------------------------------------------

void IEJpegCodecRead(TIECodecRead& read) {
  TIEJpegReadOptions options;
  options.ParamsOnly = read.ParamsOnly;
  options.NativePixelFormat = read.Params.ISNATIVEPIXELFORMAT;
  IEReadJPEGStream(read.Stream, read.Bitmap, read.Params, read.Progress, options);
}

void IEJpegCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  IEPrepareJPEGMarkers(params);
  IEWriteJPEGStream(stream, bitmap, params, progress);
}

bool IEJpegIsFormat(TStream& stream) { return IEFindJPEGSOI(stream, true) >= 0; }
