// The camera-raw plug-in "dcrawlib": one format, "Camera RAW", read and
// recognised through LibRaw. It decodes with LibRaw's own processing
// (dcraw_process) under the options the host's parameters give, into 24-bit
// RGB or, for native pixel formats, 48-bit RGB; with RAW_EXTRAPARAMS "-e" it
// hands back the file's embedded preview instead (a JPEG as an encoded file,
// a bitmap as 24-bit RGB). Not thread-safe: the host serialises its calls.
//
// Options taken from the host's parameters:
//   RAW_HALFSIZE -> half size            RAW_GAMMA -> power of the output curve
//   RAW_BRIGHT -> brightness             RAW_REDSCALE, RAW_BLUESCALE -> red and blue
//   RAW_QUICKINTERPOLATE -> bilinear       multipliers on top of the white balance
//   RAW_USEAUTOWB, RAW_USECAMERAWB, RAW_FOURCOLORRGB -> the same switches
//   ISNATIVEPIXELFORMAT -> 16 bits per sample
#include <libraw/libraw.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "imaging/io/ieplugin_interface.h"
#include "imaging/io/ieraw_libraw.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// ---- the host's data as a LibRaw stream -----------------------------------------------

struct THostCallbacks {
  IEXProgressCallback progress = nullptr;
  IEXReadCallback read = nullptr;
  IEXSeekCallback seek = nullptr;
  IEXTellCallback tell = nullptr;
  IEXSizeCallback size = nullptr;
  IEXGetParameterCallback getParameter = nullptr;
  void* host = nullptr;
};

// Reads the host's data through the shared window.
class THostStream : public TIERawSourceStream {
public:
  explicit THostStream(const THostCallbacks& host) : host_(host), size_(host.size(host.host)) {}

protected:
  int64_t Size() override { return size_; }
  int64_t ReadAt(int64_t position, uint8_t* buffer, int64_t count) override {
    if (position > 0x7FFFFFFF) return 0;  // the host seeks to 32-bit positions
    host_.seek(static_cast<int32_t>(position), host_.host);
    return host_.read(buffer, static_cast<int32_t>(count), host_.host);
  }

private:
  THostCallbacks host_;
  int64_t size_;
};

// ---- decoding ------------------------------------------------------------------------

using TRawDecoder = TIEScaledLibRaw;

struct TImageRelease {
  void operator()(libraw_processed_image_t* image) const { LibRaw::dcraw_clear_mem(image); }
};

struct TContext {
  THostCallbacks host;
  std::unique_ptr<TRawDecoder> decoder = std::make_unique<TRawDecoder>();
  int32_t width = 0, height = 0, format = IEX_FORMAT_RGB24, encodedSize = 0, fullWidth = 0, fullHeight = 0;
  // The decoded picture is handed out where LibRaw made it; previews are
  // copied into pixels.
  std::unique_ptr<libraw_processed_image_t, TImageRelease> image;
  std::vector<uint8_t> pixels;
  bool decoded = false;
  uint8_t* Pixels() { return image ? image->data : pixels.data(); }
};

const char kExtensions[] = "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR;SR2";
char kDisplayName[] = "Camera RAW";
int32_t kCapabilities = IEX_CAN_READ, kFormatCount = 1, kHasTIFFMetadata = 1;

std::string Parameter(const TContext& c, const char* name) {
  std::vector<char> buffer(IEX_PARAMETER_BUFFER_SIZE, '\0');
  c.host.getParameter(name, buffer.data(), c.host.host);
  buffer.back() = '\0';
  return buffer.data();
}

bool Flag(const TContext& c, const char* name) {
  const std::string text = Parameter(c, name);
  return text == "1" || text == "True" || text == "TRUE";
}

double Number(const TContext& c, const char* name, double fallback) {
  std::string text = Parameter(c, name);
  std::replace(text.begin(), text.end(), ',', '.');
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  return end != text.c_str() ? value : fallback;
}

void SetOptions(TContext& c) {
  libraw_output_params_t& o = c.decoder->imgdata.params;
  o.half_size = Flag(c, "RAW_HALFSIZE");
  o.gamm[0] = Number(c, "RAW_GAMMA", 0.6);
  o.gamm[1] = 0;
  o.bright = static_cast<float>(Number(c, "RAW_BRIGHT", 1.0));
  o.user_qual = Flag(c, "RAW_QUICKINTERPOLATE") ? 0 : -1;
  o.use_auto_wb = Flag(c, "RAW_USEAUTOWB");
  o.use_camera_wb = Flag(c, "RAW_USECAMERAWB");
  o.four_color_rgb = Flag(c, "RAW_FOURCOLORRGB");
  o.output_bps = Flag(c, "ISNATIVEPIXELFORMAT") ? 16 : 8;
  c.decoder->RedScale = static_cast<float>(Number(c, "RAW_REDSCALE", 1.0));
  c.decoder->BlueScale = static_cast<float>(Number(c, "RAW_BLUESCALE", 1.0));
}

// The size before any reduction, turned as the image will be.
void TakeFullSize(TContext& c) {
  const libraw_image_sizes_t& s = c.decoder->imgdata.sizes;
  const bool turned = s.flip & 4;
  c.fullWidth = turned ? s.height : s.width;
  c.fullHeight = turned ? s.width : s.height;
  c.format = c.decoder->imgdata.params.output_bps == 16 ? IEX_FORMAT_RGB48 : IEX_FORMAT_RGB24;
}

// The size a decode would give, without decoding (LibRaw's sizes are then
// for information only).
void TakeOutputSize(TContext& c) {
  TRawDecoder& d = *c.decoder;
  d.adjust_sizes_info_only();
  c.width = d.imgdata.sizes.iwidth;
  c.height = d.imgdata.sizes.iheight;
}

// 24-bit RGB as it is; 16-bit samples turned big-endian in place.
void TakeImage(TContext& c, libraw_processed_image_t* made) {
  c.image.reset(made);
  libraw_processed_image_t& image = *made;
  c.width = image.width;
  c.height = image.height;
  if (image.bits == 16) {
    c.format = IEX_FORMAT_RGB48;
    auto* samples = reinterpret_cast<uint16_t*>(image.data);
    for (size_t i = 0; i < image.data_size / 2; ++i) samples[i] = static_cast<uint16_t>(samples[i] << 8 | samples[i] >> 8);
  } else {
    c.format = IEX_FORMAT_RGB24;
  }
  c.decoded = image.data_size > 0 && image.colors == 3;
}

// The embedded preview: a JPEG goes back as an encoded file, a bitmap as pixels.
void ReadPreview(TContext& c) {
  TRawDecoder& d = *c.decoder;
  if (d.unpack_thumb() != LIBRAW_SUCCESS) return;
  const libraw_thumbnail_t& t = d.imgdata.thumbnail;
  if (t.tformat == LIBRAW_THUMBNAIL_JPEG && t.thumb && t.tlength > 0) {
    c.pixels.assign(t.thumb, t.thumb + t.tlength);
    c.format = IEX_FORMAT_ENCODED;
    c.encodedSize = static_cast<int32_t>(t.tlength);
    c.decoded = true;
  } else if (t.tformat == LIBRAW_THUMBNAIL_BITMAP && t.thumb &&
             t.tlength >= static_cast<unsigned>(t.twidth) * t.theight * 3 && t.twidth > 0 && t.theight > 0) {
    c.width = t.twidth;
    c.height = t.theight;
    c.pixels.assign(t.thumb, t.thumb + size_t{t.twidth} * t.theight * 3);
    c.format = IEX_FORMAT_RGB24;
    c.decoded = true;
  }
}

void Decode(TContext& c, bool parametersOnly) {
  THostStream stream(c.host);
  TRawDecoder& d = *c.decoder;
  SetOptions(c);
  if (d.open_datastream(&stream) != LIBRAW_SUCCESS) return;
  TakeFullSize(c);
  if (parametersOnly) {
    TakeOutputSize(c);
    return d.recycle();
  }
  if (Parameter(c, "RAW_EXTRAPARAMS") == "-e") {
    ReadPreview(c);
    return d.recycle();
  }
  if (d.unpack() == LIBRAW_SUCCESS && d.dcraw_process() == LIBRAW_SUCCESS) {
    c.host.progress(90, c.host.host);
    int error = 0;
    if (libraw_processed_image_t* image = d.dcraw_make_mem_image(&error)) TakeImage(c, image);
  }
  d.recycle();
}

}  // namespace

// ---- entry points -------------------------------------------------------------------

extern "C" __attribute__((visibility("default"))) const int IEX_UseCDECL;
const int IEX_UseCDECL = 1;

EXPORT void* IEX_Initialize(int32_t) { return new TContext; }

EXPORT int32_t IEX_Finalize(void* context) {
  delete static_cast<TContext*>(context);
  return 0;
}

EXPORT void* IEX_GetInfo(void* context, int32_t code) {
  TContext& c = *static_cast<TContext*>(context);
  switch (code) {
    case IEX_INFO_WIDTH: return &c.width;
    case IEX_INFO_HEIGHT: return &c.height;
    case IEX_INFO_FORMAT: return &c.format;
    case IEX_INFO_PIXELS: return c.decoded ? c.Pixels() : nullptr;
    case IEX_INFO_ENCODED_SIZE: return &c.encodedSize;
    case IEX_INFO_FULL_WIDTH: return &c.fullWidth;
    case IEX_INFO_FULL_HEIGHT: return &c.fullHeight;
    case IEX_INFO_CAPABILITIES: return &kCapabilities;
    case IEX_INFO_DISPLAY_NAME: return kDisplayName;
    case IEX_INFO_EXTENSIONS: return const_cast<char*>(kExtensions);
    case IEX_INFO_HAS_TIFF_METADATA: return &kHasTIFFMetadata;
    case IEX_INFO_FORMAT_COUNT: return &kFormatCount;
    default: return nullptr;
  }
}

EXPORT int32_t IEX_SetInfo(void*, int32_t, void*) { return 0; }

EXPORT int32_t IEX_SetCallBacks(void* context, IEXProgressCallback progress, IEXReadCallback read, IEXWriteCallback,
                                IEXSeekCallback seek, IEXTellCallback tell, IEXSizeCallback size,
                                IEXGetParameterCallback getParameter, IEXSetParameterCallback, void* host) {
  static_cast<TContext*>(context)->host = {progress, read, seek, tell, size, getParameter, host};
  return 0;
}

EXPORT int32_t IEX_ExecuteRead(void* context, int32_t parametersOnly) {
  Decode(*static_cast<TContext*>(context), parametersOnly != 0);
  return 0;
}

EXPORT int32_t IEX_ExecuteWrite(void*) { return 0; }

EXPORT int32_t IEX_ExecuteTry(void* context) {
  TContext& c = *static_cast<TContext*>(context);
  THostStream stream(c.host);
  const bool raw = c.decoder->open_datastream(&stream) == LIBRAW_SUCCESS;
  c.decoder->recycle();
  return raw ? 1 : 0;
}

EXPORT int32_t IEX_AddParameter(void*, const char*) { return 0; }
