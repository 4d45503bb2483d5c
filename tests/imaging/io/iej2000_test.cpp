// The JPEG 2000 codec: signatures, our reader against opj_decompress on
// files opj_compress made, our files in opj_decompress and opj_dump, the
// writer's refusals, damaged data, and the I/O component's members.
#include <gtest/gtest.h>

#include <openjpeg.h>

#include <cmath>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/iej2000_internal.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/io/pnm_support.h"

namespace {

// ---- helpers -----------------------------------------------------------------------

struct Progress {
  Progress() { record.Aborting = &abort; }
  std::atomic<bool> abort{false};
  TIEProgressRecord record;
};

TMemoryStream& StreamOf(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
  return stream;
}

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

// Reads the bytes; false when the reader aborted.
bool Read(const std::string& bytes, TIEBitmap& bitmap, TIOParamsVals& params, bool paramsOnly = false) {
  TMemoryStream stream;
  Progress progress;
  IEReadJpeg2000Stream(StreamOf(stream, bytes), &bitmap, params, progress.record, paramsOnly);
  return !progress.abort;
}

// Writes the bitmap (format 0 JP2, 1 code stream); empty when the writer aborted.
std::string Write(TIEBitmap& bitmap, TIOParamsVals& params, int32_t format) {
  TMemoryStream stream;
  Progress progress;
  IEWriteJpeg2000Stream(stream, bitmap, params, progress.record, format);
  return progress.abort ? std::string() : Bytes(stream);
}

// A raw planar image as opj_compress's -F reads it: component c is
// (width + dx - 1) / dx samples across, value (x * 37 + y * 91 + c * 53)
// modulo 2^bits, less 2^(bits - 1) when signed; 1 byte, or 2 big-endian.
struct RawSpec {
  int32_t width, height, components, bits;
  bool sgnd;
  int32_t sub = 1;  // every component's step both ways
};

int32_t RawValue(const RawSpec& r, int32_t x, int32_t y, int32_t c) {
  const int32_t v = (x * 37 + y * 91 + c * 53) % (1 << r.bits);
  return r.sgnd ? v - (1 << (r.bits - 1)) : v;
}

std::string RawBytes(const RawSpec& r) {
  std::string out;
  const int32_t w = (r.width + r.sub - 1) / r.sub, h = (r.height + r.sub - 1) / r.sub;
  for (int32_t c = 0; c < r.components; ++c)
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        const int32_t v = RawValue(r, x, y, c);
        if (r.bits > 8) out += static_cast<char>((v >> 8) & 0xFF);
        out += static_cast<char>(v & 0xFF);
      }
  return out;
}

std::string RawOption(const RawSpec& r) {
  std::ostringstream o;
  o << "-F " << r.width << ',' << r.height << ',' << r.components << ',' << r.bits << ',' << (r.sgnd ? 's' : 'u');
  if (r.sub != 1)
    for (int32_t c = 0; c < r.components; ++c) o << (c == 0 ? '@' : ':') << r.sub << 'x' << r.sub;
  return o.str();
}

// A 6 x 4 image of the components, precision and colour space coded
// losslessly by OpenJPEG into the file; sample i of component c is value(c, i).
bool CodeWithOpenJPEG(const std::string& file, OPJ_CODEC_FORMAT kind, int32_t components, int32_t prec, bool sgnd,
                      OPJ_COLOR_SPACE space, const std::function<int32_t(int32_t, int32_t)>& value) {
  std::vector<opj_image_cmptparm_t> parts(static_cast<size_t>(components));
  for (auto& part : parts) {
    part = {};
    part.dx = part.dy = 1;
    part.w = 6;
    part.h = 4;
    part.prec = static_cast<OPJ_UINT32>(prec);
    part.sgnd = sgnd;
  }
  opj_image_t* image = opj_image_create(static_cast<OPJ_UINT32>(components), parts.data(), space);
  image->x1 = 6;
  image->y1 = 4;
  for (int32_t c = 0; c < components; ++c)
    for (int32_t i = 0; i < 24; ++i) image->comps[c].data[i] = value(c, i);
  opj_cparameters_t p;
  opj_set_default_encoder_parameters(&p);
  p.numresolution = 2;
  opj_codec_t* codec = opj_create_compress(kind);
  opj_stream_t* stream = opj_stream_create_default_file_stream(file.c_str(), OPJ_FALSE);
  const bool done = opj_setup_encoder(codec, &p, image) && opj_start_compress(codec, image, stream) &&
                    opj_encode(codec, stream) && opj_end_compress(codec, stream);
  opj_stream_destroy(stream);
  opj_destroy_codec(codec);
  opj_image_destroy(image);
  return done;
}

class Jpeg2000 : public ::testing::Test {
protected:
  void SetUp() override { IELibraryInitialize(); }
  void TearDown() override { IELibraryFinalize(); }

  // Runs the command in the test's folder; fails the test when it fails.
  void Run(const std::string& command) {
    ASSERT_EQ(RunCommand("cd " + folder.Path() + " && " + command + " >/dev/null 2>&1"), 0) << command;
  }
  // opj_compress's file of the options (with their input).
  std::string Compress(const std::string& output, const std::string& options) {
    Run("opj_compress " + options + " -o " + output);
    return ReadFile(folder.File(output));
  }
  Pnm Decompress(const std::string& bytes, const std::string& name, const std::string& pnmName) {
    WriteFile(folder.File(name), bytes);
    Run("opj_decompress -i " + name + " -o " + pnmName);
    return ParsePnm(ReadFile(folder.File(pnmName)));
  }

  TempFolder folder;
};

// ---- signatures --------------------------------------------------------------------------

TEST_F(Jpeg2000, SignaturesAcceptTheirStartOnlyAndLeaveThePosition) {
  const std::string jp2("\0\0\0\x0CjP  \x0D\x0A\x87\x0A", 12), j2k("\xFF\x4F\xFF\x51", 4);
  struct Case {
    std::string bytes;
    bool isJP2, isJ2K;
  };
  const Case cases[] = {{jp2 + "rest", true, false},
                        {j2k + "rest", false, true},
                        {jp2.substr(0, 11), false, false},
                        {j2k.substr(0, 3), false, false},
                        {std::string("\0\0\0\x0CjP  \x0D\x0A\x87\x0B", 12), false, false},
                        {"\xFF\x4F\xFF\x52", false, false},
                        {"", false, false}};
  for (const Case& c : cases) {
    TMemoryStream stream;
    StreamOf(stream, "x" + c.bytes).SetPosition(1);
    EXPECT_EQ(IEIsJP2Stream(stream), c.isJP2) << c.bytes.size();
    EXPECT_EQ(IEIsJ2KStream(stream), c.isJ2K) << c.bytes.size();
    EXPECT_EQ(stream.Position(), 1);
  }
}

// ---- reading what opj_compress wrote ------------------------------------------------------

// Our reader against opj_decompress: grey by precision into ie8g,
// ie16Gray, ie24RGB or ie1g (the top bits of each sample, signed ones
// offset first); RGB exactly; sYCC within 2 levels; subsampled components
// repeated over the reference grid.
TEST_F(Jpeg2000, ReadsWhatOpenJPEGDecodes) {
  struct Case {
    const char* name;
    RawSpec raw;          // the raw input, or width 0 for the PGM or PNG input below
    std::string options;  // further opj_compress options
    const char* output;   // .j2k or .jp2
    TIEPixelFormat format;
    int32_t bits, samples;
    int32_t tolerance = 0;
  };
  // A 1-bit input that opj_compress takes (its raw reader refuses odd depths).
  WriteFile(folder.File("bits.pbm"), std::string("P4\n11 5\n") + std::string("\xA5\x40\x5A\x80\xFF\x00\x00\xE0\x3C\x20", 10));
  Run("convert bits.pbm -depth 1 PNG:bits.png");
  std::string pgm = "P5\n9 5\n255\n";
  for (int32_t i = 0; i < 45; ++i) pgm += static_cast<char>(i * 5);
  WriteFile(folder.File("grey.pgm"), pgm);
  const Case cases[] = {
      {"grey8", {13, 7, 1, 8, false}, "", "a.j2k", ie8g, 8, 1},
      {"rgb8", {13, 7, 3, 8, false}, "", "b.jp2", ie24RGB, 8, 3},
      {"grey12", {13, 7, 1, 12, false}, "", "c.j2k", ie16Gray, 12, 1},
      {"grey4", {13, 7, 1, 4, false}, "", "d.j2k", ie24RGB, 4, 1},
      {"signed12", {13, 7, 1, 12, true}, "", "e.j2k", ie16Gray, 12, 1},
      {"two components", {13, 7, 2, 8, false}, "", "f.j2k", ie8g, 8, 1},
      {"sYCC 4:2:0", {14, 8, 3, 8, false}, "", "g.jp2", ie24RGB, 8, 3, 2},
      {"bilevel", {0, 0, 0, 0, false}, "-i bits.png", "h.j2k", ie1g, 1, 1},
      {"subsampled 2,2", {0, 0, 0, 0, false}, "-i grey.pgm -s 2,2", "i.j2k", ie8g, 8, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string options = c.options + " -n 2";
    if (c.raw.width) {
      RawSpec raw = c.raw;
      const bool ycc = c.tolerance > 0;  // even sides: opj_decompress mends no odd 4:2:0 edge
      std::string sub = RawOption(raw);
      if (ycc) sub += "@1x1:2x2:2x2";
      std::string bytes = RawBytes(raw);
      if (ycc) {  // Y whole, Cb and Cr at half size
        RawSpec half = raw;
        half.sub = 2;
        bytes = RawBytes({raw.width, raw.height, 1, 8, false}) + RawBytes(half).substr(0, 2 * 7 * 4);
      }
      WriteFile(folder.File("in.raw"), bytes);
      options = "-i in.raw " + sub + options;
    }
    const std::string coded = Compress(c.output, options);
    const Pnm judge = Decompress(coded, std::string("j") + c.output, c.samples == 3 ? "out.ppm" : "out.pgm");
    ASSERT_FALSE(judge.samples.empty());
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(coded, bitmap, params));
    EXPECT_EQ(bitmap.GetPixelFormat(), c.format);
    EXPECT_EQ(params.BITSPERSAMPLE, c.bits);
    EXPECT_EQ(params.SAMPLESPERPIXEL, c.samples);
    const int32_t step = bitmap.GetWidth() > judge.width ? 2 : 1;
    ASSERT_EQ((bitmap.GetWidth() + step - 1) / step, judge.width);
    ASSERT_EQ((bitmap.GetHeight() + step - 1) / step, judge.height);
    const int32_t prec = c.bits;
    int32_t worst = 0;
    for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
      for (int32_t x = 0; x < bitmap.GetWidth(); ++x) {
        const int32_t v = judge.At(x / step, y / step);
        switch (c.format) {
          case ie8g: ASSERT_EQ(bitmap.GetPixel8(x, y), v) << x << "," << y; break;
          case ie16Gray: ASSERT_EQ(bitmap.GetPixel16(x, y), v << (16 - prec)) << x << "," << y; break;
          case ie1g: ASSERT_EQ(((bitmap.GetScanline(y)[x / 8] >> (7 - x % 8)) & 1) != 0, v != 0) << x; break;
          default: {
            const TRGB p = bitmap.GetPixel24(x, y);
            if (c.samples == 1) {
              ASSERT_EQ(p.r, v << (8 - prec));
              ASSERT_EQ(p.b, v << (8 - prec));
            } else {
              worst = std::max({worst, std::abs(p.r - judge.At(x, y, 0)), std::abs(p.g - judge.At(x, y, 1)),
                                std::abs(p.b - judge.At(x, y, 2))});
            }
          }
        }
      }
    EXPECT_LE(worst, c.tolerance);
  }
}

// Components beyond the eleventh read as well; four components off the
// full grid are spread over it; a grey colour space of three components
// reads the first.
TEST_F(Jpeg2000, ReadsManyComponentsAndComponentsOffTheGrid) {
  {
    const RawSpec raw{9, 5, 12, 8, false};
    WriteFile(folder.File("many.raw"), RawBytes(raw));
    const std::string coded = Compress("many.j2k", "-i many.raw " + RawOption(raw) + " -n 2");
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(coded, bitmap, params));
    EXPECT_EQ(params.SAMPLESPERPIXEL, 3);
    const TRGB p = bitmap.GetPixel24(4, 3);
    EXPECT_EQ(p.r, RawValue(raw, 4, 3, 0));
    EXPECT_EQ(p.g, RawValue(raw, 4, 3, 1));
    EXPECT_EQ(p.b, RawValue(raw, 4, 3, 2));
  }
  {
    const RawSpec raw{9, 5, 4, 8, false, 2};
    WriteFile(folder.File("quad.raw"), RawBytes(raw));
    const std::string coded = Compress("quad.j2k", "-i quad.raw " + RawOption(raw) + " -n 2");
    const Pnm judge = Decompress(coded, "quad2.j2k", "quad.ppm");  // written as P7
    ASSERT_EQ(judge.channels, 4);
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(coded, bitmap, params));
    ASSERT_EQ(bitmap.GetWidth(), 9);
    for (int32_t y = 0; y < 5; ++y)
      for (int32_t x = 0; x < 9; ++x) {
        const TRGB p = bitmap.GetPixel24(x, y);
        ASSERT_EQ(p.r, judge.At(x / 2, y / 2, 0)) << x << "," << y;
        ASSERT_EQ(p.g, judge.At(x / 2, y / 2, 1)) << x << "," << y;
        ASSERT_EQ(p.b, judge.At(x / 2, y / 2, 2)) << x << "," << y;
      }
  }
  {
    // Three components in a grey colour space, coded by OpenJPEG itself.
    const std::string file = folder.File("grey3.jp2");
    ASSERT_TRUE(CodeWithOpenJPEG(file, OPJ_CODEC_JP2, 3, 8, false, OPJ_CLRSPC_GRAY,
                                 [](int32_t c, int32_t i) { return c == 0 ? i * 10 : 255 - i; }));
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(ReadFile(file), bitmap, params));
    EXPECT_EQ(bitmap.GetPixelFormat(), ie8g);
    EXPECT_EQ(params.SAMPLESPERPIXEL, 1);
    for (int32_t i = 0; i < 24; ++i) ASSERT_EQ(bitmap.GetPixel8(i % 6, i / 6), i * 10);
  }
}

// Deep samples keep their top 16 bits, signed ones offset by half the range
// first.
TEST_F(Jpeg2000, DeepSamplesScaleToSixteenBits) {
  struct Case {
    int32_t prec;
    bool sgnd;
  };
  // (OpenJPEG itself codes deeper samples losslessly no longer.)
  for (const Case c : {Case{20, false}, Case{24, true}}) {
    SCOPED_TRACE(c.prec);
    const int64_t half = int64_t{1} << (c.prec - 1);
    const auto value = [&](int32_t, int32_t i) {
      return static_cast<int32_t>((i * (half / 12) + 12345) - (c.sgnd ? half : 0));
    };
    const std::string file = folder.File("deep.j2k");
    ASSERT_TRUE(CodeWithOpenJPEG(file, OPJ_CODEC_J2K, 1, c.prec, c.sgnd, OPJ_CLRSPC_UNSPECIFIED, value));
    TIEBitmap bitmap;
    TIOParamsVals params(nullptr);
    ASSERT_TRUE(Read(ReadFile(file), bitmap, params));
    EXPECT_EQ(bitmap.GetPixelFormat(), ie16Gray);
    EXPECT_EQ(params.BITSPERSAMPLE, c.prec);
    for (int32_t i = 0; i < 24; ++i) {
      const int64_t unsignedValue = value(0, i) + (c.sgnd ? half : 0);
      ASSERT_EQ(bitmap.GetPixel16(i % 6, i / 6), unsignedValue >> (c.prec - 16)) << i;
    }
  }
}

// ---- writing -----------------------------------------------------------------------------

TIEBitmap& Pattern(TIEBitmap& bitmap, TIEPixelFormat format, int32_t width = 23, int32_t height = 17) {
  bitmap.Allocate(width, height, format);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) switch (format) {
        case ie1g: {
          const auto bit = static_cast<uint8_t>(0x80 >> (x % 8));
          uint8_t& byte = bitmap.GetScanline(y)[x / 8];
          byte = (x * y + x) % 3 == 0 ? byte | bit : byte & ~bit;
          break;
        }
        case ie8g: bitmap.SetPixel8(x, y, static_cast<uint8_t>(x * 11 + y * 3)); break;
        case ie16Gray: bitmap.SetPixel16(x, y, static_cast<uint16_t>(x * 2801 + y * 397)); break;
        default:
          bitmap.SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 11), static_cast<uint8_t>(y * 15),
                                       static_cast<uint8_t>(x * y)});
      }
  return bitmap;
}

// Lossless files come back unchanged, through our reader and opj_decompress.
TEST_F(Jpeg2000, LosslessFilesDecodeExactly) {
  struct Case {
    TIEPixelFormat format;
    uint8_t colourSpace;
    double rate;
    int32_t container;
  };
  const Case cases[] = {{ie1g, 1, 1, 1}, {ie8g, 1, 1, 0}, {ie16Gray, 2, 0, 1}, {ie24RGB, 1, 1, 0},
                        {ie24RGB, 2, -1, 1}, {ie24RGB, 0, 5, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.format) * 10 + c.colourSpace);
    TIEBitmap source;
    Pattern(source, c.format);
    TIOParamsVals params(nullptr);
    params.J2000_COLORSPACE = c.colourSpace;
    params.J2000_RATE = c.rate;
    params.BITSPERSAMPLE = 8;
    const std::string coded = Write(source, params, c.container);
    ASSERT_FALSE(coded.empty());
    TIEBitmap back;
    TIOParamsVals read(nullptr);
    ASSERT_TRUE(Read(coded, back, read));
    const bool grey = c.colourSpace == 0 && c.format == ie24RGB;
    EXPECT_EQ(back.GetPixelFormat(), grey ? ie8g : c.format);
    const Pnm judge = Decompress(coded, c.container == 0 ? "w.jp2" : "w.j2k",
                                 c.format == ie24RGB && !grey ? "w.ppm" : "w.pgm");
    ASSERT_EQ(judge.width, 23);
    for (int32_t y = 0; y < 17; ++y)
      for (int32_t x = 0; x < 23; ++x) {
        if (grey) {  // the grey weights 21, 71, 8
          const TRGB p = source.GetPixel24(x, y);
          const int32_t g = (p.r * 21 + p.g * 71 + p.b * 8) / 100;
          ASSERT_EQ(back.GetPixel8(x, y), g);
          ASSERT_EQ(judge.At(x, y), g);
        } else if (c.format == ie24RGB) {
          const TRGB p = source.GetPixel24(x, y), q = back.GetPixel24(x, y);
          ASSERT_TRUE(p.r == q.r && p.g == q.g && p.b == q.b) << x << "," << y;
          ASSERT_TRUE(judge.At(x, y, 0) == p.r && judge.At(x, y, 1) == p.g && judge.At(x, y, 2) == p.b);
        } else if (c.format == ie16Gray) {
          ASSERT_EQ(back.GetPixel16(x, y), source.GetPixel16(x, y));
          ASSERT_EQ(judge.At(x, y), source.GetPixel16(x, y));
        } else if (c.format == ie8g) {
          ASSERT_EQ(back.GetPixel8(x, y), source.GetPixel8(x, y));
          ASSERT_EQ(judge.At(x, y), source.GetPixel8(x, y));
        } else {
          const bool bit = (source.GetScanline(y)[x / 8] >> (7 - x % 8)) & 1;
          ASSERT_EQ(((back.GetScanline(y)[x / 8] >> (7 - x % 8)) & 1) != 0, bit);
          ASSERT_EQ(judge.At(x, y) != 0, bit);
        }
      }
  }
}

// A rate in (0, 1) codes one layer at about that share of the raw size, and
// the image stays close; opj_dump shows the progression and the opacity.
TEST_F(Jpeg2000, LossyFilesKeepTheirRateAndTheDumpShowsProgressionAndAlpha) {
  TIEBitmap source;
  Pattern(source, ie24RGB, 96, 64);
  TIOParamsVals params(nullptr);
  params.J2000_RATE = 0.25;
  params.J2000_SCALABLEBY = 1;
  const std::string coded = Write(source, params, 0);
  ASSERT_FALSE(coded.empty());
  EXPECT_LE(coded.size(), 96u * 64 * 3 / 4 + 400) << "a quarter of the raw size and the boxes";
  const Pnm judge = Decompress(coded, "lossy.jp2", "lossy.ppm");
  ASSERT_EQ(judge.width, 96);
  double error = 0;
  for (int32_t y = 0; y < 64; ++y)
    for (int32_t x = 0; x < 96; ++x) {
      const TRGB p = source.GetPixel24(x, y);
      for (int32_t c = 0; c < 3; ++c) {
        const double d = judge.At(x, y, c) - (c == 0 ? p.r : c == 1 ? p.g : p.b);
        error += d * d;
      }
    }
  const double psnr = 10 * std::log10(255.0 * 255.0 / (error / (96 * 64 * 3)));
  EXPECT_GT(psnr, 26) << psnr;  // the pattern's products wrap round: sharp edges

  Run("opj_dump -i lossy.jp2 -o dump.txt");
  EXPECT_NE(ReadFile(folder.File("dump.txt")).find("prg=0x1"), std::string::npos);

  // Transparency makes a fourth component marked as opacity.
  TIEBitmap* alpha = source.GetAlphaChannel();
  alpha->Fill(255);
  alpha->SetPixel8(3, 3, 0);
  alpha->SetFullFlag(false);
  params.J2000_SCALABLEBY = 0;
  params.J2000_RATE = 1;
  WriteFile(folder.File("alpha.jp2"), Write(source, params, 0));
  Run("opj_dump -i alpha.jp2 -o dump2.txt");
  const std::string dump = ReadFile(folder.File("dump2.txt"));
  EXPECT_NE(dump.find("numcomps=4"), std::string::npos);
  EXPECT_NE(dump.find("prg=0"), std::string::npos);
  const std::string file = ReadFile(folder.File("alpha.jp2"));
  const size_t cdef = file.find("cdef");
  ASSERT_NE(cdef, std::string::npos) << "the channel definition box";
  // Four entries (channel, type, association); the fourth is of type 1, opacity.
  EXPECT_EQ(file.substr(cdef + 4, 2), std::string("\0\4", 2));
  EXPECT_EQ(file.substr(cdef + 6 + 3 * 6, 6), std::string("\0\3\0\1\0\0", 6));

  alpha->SetFullFlag(true);
  WriteFile(folder.File("opaque.jp2"), Write(source, params, 0));
  Run("opj_dump -i opaque.jp2 -o dump3.txt");
  EXPECT_NE(ReadFile(folder.File("dump3.txt")).find("numcomps=3"), std::string::npos);
}

// Formats and colour spaces the writer does not take abort with nothing
// written; samples outside 1..16 bits go out as 8.
TEST_F(Jpeg2000, TheWriterRefusesWhatItCannotCode) {
  const auto refused = [](TIEBitmap& bitmap, TIOParamsVals& params) {
    TMemoryStream stream;
    Progress progress;
    IEWriteJpeg2000Stream(stream, bitmap, params, progress.record, 0);
    return progress.abort && stream.Size() == 0;
  };
  for (const TIEPixelFormat format : {ie8p, ie32f, ieCMYK, ieRGB48, ie32RGBA}) {
    TIEBitmap bitmap(5, 4, format);
    TIOParamsVals params(nullptr);
    EXPECT_TRUE(refused(bitmap, params)) << static_cast<int>(format);
  }
  for (const uint8_t colourSpace : {3, 200}) {
    TIEBitmap bitmap;
    Pattern(bitmap, ie24RGB);
    TIOParamsVals params(nullptr);
    params.J2000_COLORSPACE = colourSpace;
    EXPECT_TRUE(refused(bitmap, params));
  }
  for (const int32_t bits : {0, 17, -3}) {
    TIEBitmap bitmap;
    Pattern(bitmap, ie24RGB);
    TIOParamsVals params(nullptr);
    params.BITSPERSAMPLE = bits;
    params.J2000_RATE = 1;
    TIEBitmap back;
    TIOParamsVals read(nullptr);
    ASSERT_TRUE(Read(Write(bitmap, params, 1), back, read)) << bits;
    EXPECT_EQ(read.BITSPERSAMPLE, 8);
    EXPECT_EQ(back.GetPixel24(7, 5).r, bitmap.GetPixel24(7, 5).r);
  }
}

// Without OpenJPEG neither side runs: both fail as with data they cannot code.
TEST_F(Jpeg2000, WithoutTheLibraryReadingAndWritingFailCleanly) {
  TIEBitmap source;
  Pattern(source, ie24RGB);
  TIOParamsVals params(nullptr);
  const std::string file = Write(source, params, 0);
  ASSERT_FALSE(file.empty());
  const std::vector<const char*> names = iej2000::Libraries().RenameForTest({"libvesk-no-such-codec.so.7"});
  TIEBitmap back;
  TIOParamsVals read(nullptr);
  EXPECT_FALSE(Read(file, back, read));
  EXPECT_TRUE(Write(source, params, 1).empty());
  iej2000::Libraries().RenameForTest(names);
  EXPECT_TRUE(Read(file, back, read));
}

// ---- damaged data -----------------------------------------------------------------------

TEST_F(Jpeg2000, DamagedAndOversizedDataFailCleanly) {
  TIEBitmap source;
  Pattern(source, ie24RGB, 40, 30);
  TIOParamsVals params(nullptr);
  params.J2000_RATE = 1;
  for (int32_t container : {0, 1}) {
    const std::string good = Write(source, params, container);
    ASSERT_FALSE(good.empty());
    for (size_t cut = 0; cut < good.size(); cut += 7) {
      TIEBitmap bitmap;
      TIOParamsVals read(nullptr);
      EXPECT_FALSE(Read(good.substr(0, cut), bitmap, read)) << "cut at " << cut;
    }
    for (size_t at = 0; at < good.size(); at += 3) {
      std::string bad = good;
      bad[at] = static_cast<char>(bad[at] ^ 0x5A);
      TIEBitmap bitmap;
      TIOParamsVals read(nullptr);
      Read(bad, bitmap, read);  // anything but a crash
    }
  }
  // A code stream that declares 60000 x 60000 pixels over a few hundred
  // bytes: the size is known, the pixels are refused before decoding.
  std::string huge = Write(source, params, 1);
  ASSERT_EQ(huge.substr(2, 2), "\xFF\x51");
  const char size[8] = {0, 0, '\xEA', '\x60', 0, 0, '\xEA', '\x60'};
  huge.replace(8, 8, size, 8);
  huge.replace(16 + 8, 8, size, 8);  // one tile over the whole image
  TIEBitmap bitmap;
  TIOParamsVals read(nullptr);
  EXPECT_FALSE(Read(huge, bitmap, read));
  EXPECT_EQ(read.WIDTH, 60000);
  EXPECT_EQ(bitmap.GetWidth(), 0);
}

// ---- the I/O component ----------------------------------------------------------------------

TEST_F(Jpeg2000, TheComponentLoadsSavesAndReadsParametersOfBothKinds) {
  auto image = std::make_unique<TIEBitmap>();
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(image.get()));
  Pattern(*io->IEBitmap(), ie24RGB);
  io->Params().J2000_RATE = 1;
  const std::string jp2 = folder.File("a.jp2"), j2k = folder.File("a.j2k");
  io->SaveToFile(jp2);
  io->SaveToFileJ2K(j2k);
  struct Case {
    std::string file;
    std::function<bool()> load;
    int32_t type;
  };
  const Case cases[] = {{jp2, [&] { return io->LoadFromFile(jp2); }, 13},
                        {j2k, [&] { return io->LoadFromFileJ2K(j2k); }, 14},
                        {j2k, [&] { return io->LoadFromFileJP2(j2k); }, 13},
                        {jp2, [&] { return io->LoadFromFile(jp2 + "", -9); }, 13}};
  for (const Case& c : cases) {
    io->IEBitmap()->Allocate(1, 1, ie8g);
    ASSERT_TRUE(c.load()) << c.file;
    EXPECT_EQ(io->Params().FILETYPE, c.type);
    EXPECT_EQ(io->IEBitmap()->GetWidth(), 23);
    EXPECT_EQ(io->IEBitmap()->GetPixel24(9, 4).g, 4 * 15);
  }
  TMemoryStream stream;
  StreamOf(stream, ReadFile(j2k));
  EXPECT_TRUE(io->LoadFromStream(stream));
  EXPECT_EQ(io->Params().FILETYPE, 14);
  io->ParamsFromFile(jp2);
  EXPECT_EQ(io->Params().FILETYPE, 13);
  EXPECT_EQ(io->Params().WIDTH, 23);
  EXPECT_EQ(io->Params().SAMPLESPERPIXEL, 3);

  // A palette image is saved in a format the writer takes; the caller's stays.
  TIEBitmap& bitmap = *io->IEBitmap();
  bitmap.Allocate(4, 3, ie8p);
  bitmap.SetPaletteColor(0, TRGB{10, 20, 30});
  TMemoryStream saved;
  io->SaveToStreamJP2(saved);
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(bitmap.GetPixelFormat(), ie8p);
  saved.SetPosition(0);
  ASSERT_TRUE(io->LoadFromStreamJ2K(saved));
  EXPECT_EQ(io->Params().FILETYPE, 14);
  EXPECT_EQ(io->IEBitmap()->GetWidth(), 4);
}

TEST_F(Jpeg2000, TheLibraryShutDownUndoesTheSetUp) {
  IEInitJpeg2000();
  EXPECT_TRUE(IEJpeg2000Initialized());
  IELibraryFinalize();
  EXPECT_FALSE(IEJpeg2000Initialized());
  IELibraryInitialize();
}

}  // namespace
