// The camera-raw reader's module: LibRaw identifies and loads the file, then
// runs white balance, bilinear interpolation and the conversion to RGB stage
// by stage, each pixel leaving its magnitude beside its colour.
#include "imaging/io/rawdecoder/rawdecoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/io/ieraw_libraw.h"

namespace {

class TSourceStream final : public TIERawSourceStream {
public:
  explicit TSourceStream(TIERawSource& source) : source_(source) {}

protected:
  int64_t Size() override { return source_.Size(); }
  int64_t ReadAt(int64_t position, uint8_t* buffer, int64_t count) override {
    return source_.ReadAt(position, buffer, count);
  }

private:
  TIERawSource& source_;
};

// LibRaw whose conversion to RGB also leaves each pixel's magnitude (half
// the length of its RGB vector) in its fourth value and counts it, by
// eighths, in the histogram.
class TStagedLibRaw final : public TIEScaledLibRaw {
public:
  std::vector<uint32_t> Histogram = std::vector<uint32_t>(TIERawDecoder::kHistogramSize);
  int32_t Trim = 0;

  void Process(TIERawProgress& progress);

protected:
  void convert_to_rgb_loop(float outCam[3][4]) override;
};

void TStagedLibRaw::Process(TIERawProgress& progress) {
  auto& internal = libraw_internal_data.internal_output_params;
  const bool bayer = imgdata.idata.filters || imgdata.idata.colors == 1;
  const bool subtractInline = bayer && !internal.zero_is_bad;
  raw2image_ex(subtractInline);
  if (internal.zero_is_bad) remove_zeroes();
  if (!subtractInline || !imgdata.color.data_maximum) {
    adjust_bl();
    subtract_black_internal();
  }
  libraw_decoder_info_t decoder{};
  get_decoder_info(&decoder);
  if (!(decoder.decoder_flags & LIBRAW_DECODER_FIXEDMAXC)) adjust_maximum();
  scale_colors();
  progress.Report(70);
  pre_interpolate();
  Trim = 0;
  if (imgdata.idata.filters) {
    Trim = 1;
    lin_interpolate();
  }
  if (internal.mix_green) {
    imgdata.idata.colors = 3;
    for (size_t i = 0; i < size_t(imgdata.sizes.height) * imgdata.sizes.width; ++i)
      imgdata.image[i][1] = static_cast<uint16_t>((imgdata.image[i][1] + imgdata.image[i][3]) >> 1);
  }
  auto& histogram = libraw_internal_data.output_data.histogram;
  if (!histogram)
    histogram = static_cast<int(*)[LIBRAW_HISTOGRAM_SIZE]>(malloc(sizeof(*histogram) * 4));
  convert_to_rgb();
  progress.Report(85);
}

void TStagedLibRaw::convert_to_rgb_loop(float outCam[3][4]) {
  LibRaw::convert_to_rgb_loop(outCam);
  std::fill(Histogram.begin(), Histogram.end(), 0);
  const size_t count = size_t(imgdata.sizes.height) * imgdata.sizes.width;
  for (size_t i = 0; i < count; ++i) {
    uint16_t* p = imgdata.image[i];
    const double length = std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]);
    p[3] = static_cast<uint16_t>(std::min(length / 2, 65535.0));
    ++Histogram[p[3] >> 3];
  }
}

class TDecoder final : public TIERawDecoder {
public:
  bool Open(TIERawSource& source, const TIERawSettings& settings) override {
    source_ = std::make_unique<TSourceStream>(source);
    libraw_output_params_t& o = raw_.imgdata.params;
    o.four_color_rgb = settings.FourColorRGB;
    o.use_auto_wb = settings.UseAutoWB;
    o.use_camera_wb = settings.UseCameraWB;
    o.half_size = settings.HalfSize;
    o.user_qual = 0;
    o.use_fuji_rotate = 0;
    raw_.RedScale = settings.RedScale;
    raw_.BlueScale = settings.BlueScale;
    return raw_.open_datastream(source_.get()) == LIBRAW_SUCCESS;
  }

  TIERawFacts Facts() override {
    const auto& d = raw_.imgdata;
    TIERawFacts facts{};
    std::memcpy(facts.Make, d.idata.make, sizeof facts.Make);
    std::memcpy(facts.Model, d.idata.model, sizeof facts.Model);
    std::memcpy(facts.Model2, d.color.model2, sizeof facts.Model2);
    facts.Width = d.sizes.width;
    facts.Height = d.sizes.height;
    facts.PixelAspect = d.sizes.pixel_aspect;
    facts.Fuji = std::strcmp(d.idata.make, "FUJIFILM") == 0 || d.idata.maker_index == LIBRAW_CAMERAMAKER_Fujifilm;
    return facts;
  }

  bool Decode(TIERawProgress& progress) override {
    if (raw_.unpack() != LIBRAW_SUCCESS) return false;
    try {
      raw_.Process(progress);
    } catch (const LibRaw_exceptions&) {
      return false;  // out of memory or cancelled inside the decoder
    }
    return true;
  }

  int32_t Width() override { return raw_.imgdata.sizes.iwidth; }
  int32_t Height() override { return raw_.imgdata.sizes.iheight; }
  const TIERawPixel* Image() override { return raw_.imgdata.image; }
  const uint32_t* Histogram() override { return raw_.Histogram.data(); }
  int32_t Trim() override { return raw_.Trim; }
  bool FujiRotated() override { return raw_.is_fuji_rotated(); }
  void FreeImage() override { raw_.free_image(); }

private:
  std::unique_ptr<TSourceStream> source_;  // outlives LibRaw, which may read it while closing
  TStagedLibRaw raw_;
};

static_assert(sizeof(TIERawFacts::Make) == sizeof(libraw_iparams_t::make));
static_assert(sizeof(TIERawFacts::Model2) == sizeof(libraw_colordata_t::model2));

}  // namespace

extern "C" __attribute__((visibility("default"))) TIERawDecoder* VeskCreateRawDecoder() { return new TDecoder; }
