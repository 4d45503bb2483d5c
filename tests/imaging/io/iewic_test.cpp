// HD Photo through the platform's imaging component: round trips in every
// written format, files of jxrlib's own JxrEncApp read as JxrDecApp decodes
// them, our files in JxrDecApp, parameters, alpha, refusals, damaged data,
// and the component's scaler behind the rfWIC filters.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/iewic.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc.h"
#include "platform/win/ole.h"
#include "platform/rtl/ondemand.h"
#include "platform/rtl/streams.h"
#include "platform/win/streamadapter.h"
#include "platform/win/wmpglue.h"
#include "tests/imaging/core/test_support.h"
#include "tests/imaging/io/pnm_support.h"

namespace {

struct Progress {
  Progress() { record.Aborting = &abort; }
  std::atomic<bool> abort{false};
  TIEProgressRecord record;
};

std::string Bytes(TMemoryStream& stream) {
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

void Fill(TMemoryStream& stream, const std::string& bytes) {
  stream.Clear();
  if (!bytes.empty()) stream.WriteBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  stream.SetPosition(0);
}

// A bitmap whose bytes follow a pattern of the seed; the row padding stays 0.
std::unique_ptr<TIEBitmap> Pattern(int32_t width, int32_t height, TIEPixelFormat format, int32_t seed = 1) {
  auto bitmap = std::make_unique<TIEBitmap>(width, height, format);
  for (int32_t y = 0; y < height; ++y) {
    uint8_t* row = bitmap->GetScanline(y);
    const int32_t used = static_cast<int32_t>((int64_t{width} * bitmap->GetBitCount() + 7) / 8);
    for (int32_t i = 0; i < used; ++i) row[i] = static_cast<uint8_t>(i * 37 + y * 91 + seed * 13 + (i * y) % 7);
    if (format == ie1g && width % 8) row[used - 1] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
  }
  return bitmap;
}

std::string Rows(TIEBitmap& bitmap) {
  std::string text;
  const size_t used = static_cast<size_t>((int64_t{bitmap.GetWidth()} * bitmap.GetBitCount() + 7) / 8);
  for (int32_t y = 0; y < bitmap.GetHeight(); ++y)
    text.append(reinterpret_cast<const char*>(bitmap.GetScanline(y)), used);
  return text;
}

class HDPhoto : public ::testing::Test {
protected:
  void SetUp() override { IELibraryInitialize(); }
  void TearDown() override { IELibraryFinalize(); }

  // Our file of the bitmap; empty when the writer aborted.
  static std::string Write(TIEBitmap& bitmap, bool lossless = true, double quality = 0.9) {
    TMemoryStream stream;
    TIOParamsVals params(nullptr);
    params.HDP_LOSSLESS = lossless;
    params.HDP_IMAGEQUALITY = quality;
    Progress progress;
    IEWriteHDPhotoStream(stream, bitmap, params, progress.record);
    return progress.abort ? std::string() : Bytes(stream);
  }
  // False when the reader aborted.
  static bool Read(const std::string& bytes, TIEBitmap& bitmap, bool native = true, TIOParamsVals* into = nullptr) {
    TMemoryStream stream;
    Fill(stream, bytes);
    TIOParamsVals own(nullptr);
    TIOParamsVals& params = into ? *into : own;
    params.ISNATIVEPIXELFORMAT = native;
    Progress progress;
    IEReadHDPhotoStream(stream, &bitmap, params, progress.record, false);
    return !progress.abort;
  }
  void Run(const std::string& command) {
    ASSERT_EQ(RunCommand("cd " + folder.Path() + " && " + command + " >/dev/null 2>&1"), 0) << command;
  }
  // JxrDecApp's decoding of the bytes as PNM.
  Pnm Decode(const std::string& bytes) {
    WriteFile(folder.File("in.jxr"), bytes);
    Run("rm -f out.tif out.pnm && JxrDecApp -i in.jxr -o out.tif && convert out.tif out.pnm");
    return ParsePnm(ReadFile(folder.File("out.pnm")));
  }

  TempFolder folder;
};

// Sample c of pixel (x, y) of a bitmap in the formats a PNM carries.
int32_t Sample(TIEBitmap& bitmap, int32_t x, int32_t y, int32_t c) {
  const uint8_t* row = bitmap.GetScanline(y);
  switch (bitmap.GetPixelFormat()) {
    case ie8g: return row[x];
    case ie16Gray: return row[2 * x] | row[2 * x + 1] << 8;
    case ie24RGB: return row[3 * x + 2 - c];
    case ieRGB48: return row[6 * x + 2 * c] | row[6 * x + 2 * c + 1] << 8;
    default: return -1;
  }
}

double Psnr(TIEBitmap& a, const Pnm& b) {
  double sum = 0;
  int64_t count = 0;
  for (int32_t y = 0; y < b.height; ++y)
    for (int32_t x = 0; x < b.width; ++x)
      for (int32_t c = 0; c < b.channels; ++c, ++count) {
        const double d = Sample(a, x, y, c) - b.At(x, y, c);
        sum += d * d;
      }
  return sum == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * count / sum);
}

// ---- availability and registry ---------------------------------------------------------

TEST_F(HDPhoto, ComponentIsAvailableAndTheFormatRegistered) {
  EXPECT_TRUE(IEWICAvailable());
  const TIEFileFormatInfo* entry = IEFindFormatById(29);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->DisplayName, "Microsoft HD Photo");
  EXPECT_EQ(IEFindFormatByExtension(".jxr"), entry);
  EXPECT_EQ(IEFindFormatByExtension("wdp"), entry);
  auto image = Pattern(20, 9, ie24RGB);
  TMemoryStream stream;
  Fill(stream, Write(*image));
  EXPECT_EQ(IEDetectStreamFormat(stream), 29);
  EXPECT_EQ(IEHDPhotoStreamFrameCount(stream), 1);
  EXPECT_EQ(stream.Position(), 0);
  // Other containers have no codec in the component.
  TIEWICReader reader;
  Fill(stream, "BM" + std::string(60, '\0'));
  EXPECT_FALSE(reader.Open(stream, 5));
  TIEWICWriter writer;
  EXPECT_FALSE(writer.Open(stream, 8));
  EXPECT_FALSE(writer.Open(stream, 7));
}

// ---- our files -------------------------------------------------------------------------

TEST_F(HDPhoto, EveryWrittenFormatComesBackAndJxrDecAppAgrees) {
  for (TIEPixelFormat format : {ie1g, ie8g, ie16Gray, ie24RGB, ieRGB48, ieCMYK}) {
    auto image = Pattern(37, 21, format, format);
    const std::string file = Write(*image);
    ASSERT_FALSE(file.empty()) << int{format};
    TIEBitmap back;
    ASSERT_TRUE(Read(file, back)) << int{format};
    ASSERT_EQ(back.GetPixelFormat(), format);
    EXPECT_EQ(Rows(back), Rows(*image)) << int{format};
    if (format == ie1g || format == ieCMYK) continue;
    const Pnm theirs = Decode(file);
    ASSERT_EQ(theirs.width, 37) << int{format};
    for (int32_t y = 0; y < 21; ++y)
      for (int32_t x = 0; x < 37; ++x)
        ASSERT_EQ(theirs.At(x, y, 0), Sample(*image, x, y, 0)) << int{format} << " " << x << "," << y;
  }
}

TEST_F(HDPhoto, CmykAndBitsDecodeInJxrDecAppTheSame) {
  auto cmyk = Pattern(16, 5, ieCMYK);
  WriteFile(folder.File("cmyk.jxr"), Write(*cmyk));
  Run("JxrDecApp -i cmyk.jxr -o cmyk.tif && convert cmyk.tif -depth 8 cmyk:cmyk.raw");
  const std::string raw = ReadFile(folder.File("cmyk.raw"));
  ASSERT_EQ(raw.size(), 16u * 5 * 4);
  // The component's ink amounts are the complements of our bytes.
  std::string ours = Rows(*cmyk);
  for (char& c : ours) c = static_cast<char>(255 - static_cast<uint8_t>(c));
  EXPECT_EQ(raw, ours);

  auto bits = Pattern(19, 6, ie1g);
  WriteFile(folder.File("bits.jxr"), Write(*bits));
  Run("JxrDecApp -i bits.jxr -o bits.tif && convert bits.tif -depth 8 gray:bits.raw");
  const std::string grey = ReadFile(folder.File("bits.raw"));
  ASSERT_EQ(grey.size(), 19u * 6);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 19; ++x)
      EXPECT_EQ(static_cast<uint8_t>(grey[size_t(y * 19 + x)]), ((bits->GetScanline(y)[x / 8] >> (7 - x % 8)) & 1) ? 255 : 0);
}

TEST_F(HDPhoto, FormatsOutsideTheWrittenOnesGoOutAsColour) {
  auto palette = Pattern(12, 7, ie8p);
  for (int32_t i = 0; i < 256; ++i)
    palette->SetPaletteColor(i, TRGB{static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)});
  TIEBitmap expected;
  expected.Assign(palette.get());
  expected.ConvertToPixelFormat(ie24RGB);
  TIEBitmap back;
  ASSERT_TRUE(Read(Write(*palette), back));
  EXPECT_EQ(back.GetPixelFormat(), ie24RGB);
  EXPECT_EQ(Rows(back), Rows(expected));
  // The source is left as it was.
  EXPECT_EQ(palette->GetPixelFormat(), ie8p);
}

TEST_F(HDPhoto, WriterStartsAtThePositionAndCarriesResolutionAndExif) {
  auto image = Pattern(10, 4, ie24RGB);
  TMemoryStream stream;
  stream.WriteBuffer("prefix", 6);
  TIOParamsVals params(nullptr);
  params.DPIX = 150;
  params.DPIY = 75;
  params.HDP_LOSSLESS = true;
  params.EXIF_HASEXIF = true;
  params.EXIF_MAKE = "Maker";
  Progress progress;
  IEWriteHDPhotoStream(stream, *image, params, progress.record);
  ASSERT_FALSE(progress.abort);
  const std::string file = Bytes(stream).substr(6);
  EXPECT_EQ(file.substr(0, 2), "II");
  TIOParamsVals read(nullptr);
  TIEBitmap back;
  ASSERT_TRUE(Read(file, back, true, &read));
  EXPECT_EQ(Rows(back), Rows(*image));
  EXPECT_EQ(read.DPIX, 150);
  EXPECT_EQ(read.DPIY, 75);
  EXPECT_EQ(read.WIDTH, 10);
  EXPECT_EQ(read.ORIGINALHEIGHT, 4);
  EXPECT_EQ(read.BITSPERSAMPLE, 8);
  EXPECT_EQ(read.SAMPLESPERPIXEL, 3);
  EXPECT_EQ(read.EXIF_MAKE, "Maker");
  WriteFile(folder.File("exif.jxr"), file);
  Run("sh -c 'exiftool -Make exif.jxr > make.txt'");
  EXPECT_NE(ReadFile(folder.File("make.txt")).find("Maker"), std::string::npos);
  EXPECT_FALSE(Decode(file).samples.empty());
}

TEST_F(HDPhoto, LossyQualityShrinksTheFileWithinAPsnr) {
  auto image = std::make_unique<TIEBitmap>(64, 48, ie24RGB);
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      image->SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 4), static_cast<uint8_t>(y * 5), static_cast<uint8_t>((x + y) * 2)});
  const std::string lossless = Write(*image, true), lossy = Write(*image, false, 0.6);
  ASSERT_FALSE(lossy.empty());
  EXPECT_LT(lossy.size(), lossless.size());
  TIEBitmap back;
  ASSERT_TRUE(Read(lossy, back));
  Pnm original{64, 48, 3, 255, {}};
  for (int32_t y = 0; y < 48; ++y)
    for (int32_t x = 0; x < 64; ++x)
      for (int32_t c = 0; c < 3; ++c) original.samples.push_back(Sample(*image, x, y, c));
  EXPECT_GT(Psnr(back, original), 30);
  EXPECT_LT(Psnr(back, original), 99);
  const Pnm theirs = Decode(lossy);
  EXPECT_EQ(Psnr(back, theirs), 99);
}

// ---- JxrEncApp's files -----------------------------------------------------------------

TEST_F(HDPhoto, JxrEncAppFilesReadAsJxrDecAppDecodesThem) {
  struct Case {
    const char* header;
    int32_t channels, maxValue;
    const char* options;
    TIEPixelFormat format;
  };
  const Case cases[] = {{"P5", 1, 255, "", ie8g},       {"P6", 3, 255, "", ie24RGB},
                        {"P5", 1, 65535, "", ie16Gray}, {"P6", 3, 65535, "", ieRGB48},
                        {"P6", 3, 255, "-q 0.7", ie24RGB}};
  for (const Case& c : cases) {
    const int32_t w = 23, h = 11;
    std::string pnm = std::string(c.header) + "\n" + std::to_string(w) + " " + std::to_string(h) + "\n" +
                      std::to_string(c.maxValue) + "\n";
    for (int32_t i = 0; i < w * h * c.channels; ++i) {
      const int32_t v = (i * 2749 + (i / w) * 577) % (c.maxValue + 1);
      if (c.maxValue > 255) pnm += static_cast<char>(v >> 8);
      pnm += static_cast<char>(v & 0xFF);
    }
    WriteFile(folder.File("src.pnm"), pnm);
    Run(std::string("JxrEncApp -i src.pnm -o enc.jxr ") + c.options);
    const std::string file = ReadFile(folder.File("enc.jxr"));
    TIEBitmap ours;
    ASSERT_TRUE(Read(file, ours)) << c.header << c.maxValue;
    ASSERT_EQ(ours.GetPixelFormat(), c.format) << c.header << c.maxValue;
    const Pnm theirs = Decode(file);
    ASSERT_EQ(theirs.width, w);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x)
        for (int32_t ch = 0; ch < c.channels; ++ch)
          ASSERT_EQ(Sample(ours, x, y, ch), theirs.At(x, y, ch)) << c.header << c.maxValue << c.options << " " << x;
    TIEBitmap colour;
    ASSERT_TRUE(Read(file, colour, false));
    EXPECT_EQ(colour.GetPixelFormat(), ie24RGB);
  }
}

// ---- alpha and refusals ----------------------------------------------------------------

// A 32bppBGRA file made by the component's encoder directly.
std::string AlphaFile(int32_t width, int32_t height, std::vector<uint8_t>& pixels) {
  TMemoryStream stream;
  ComPtr<IWICImagingFactory> factory;
  CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                   reinterpret_cast<void**>(factory.GetAddressOf()));
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> bag;
  factory->CreateEncoder(GUID_ContainerFormatWmp, nullptr, encoder.GetAddressOf());
  encoder->Initialize(TStreamAdapter::Make(&stream).Get(), WICBitmapEncoderNoCache);
  encoder->CreateNewFrame(frame.GetAddressOf(), bag.GetAddressOf());
  frame->Initialize(bag.Get());
  frame->SetSize(static_cast<UINT>(width), static_cast<UINT>(height));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  frame->SetPixelFormat(&format);
  pixels.resize(size_t(width) * height * 4);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 29 + i / 7);
  EXPECT_TRUE(SUCCEEDED(frame->WritePixels(static_cast<UINT>(height), static_cast<UINT>(width * 4),
                                           static_cast<UINT>(pixels.size()), pixels.data())));
  EXPECT_TRUE(SUCCEEDED(frame->Commit()));
  EXPECT_TRUE(SUCCEEDED(encoder->Commit()));
  return Bytes(stream);
}

TEST_F(HDPhoto, AlphaFramesSplitIntoColourAndAlpha) {
  const HRESULT ole = OleInitialize(nullptr);
  std::vector<uint8_t> pixels;
  const std::string file = AlphaFile(9, 5, pixels);
  TIEBitmap native;
  ASSERT_TRUE(Read(file, native, true));
  ASSERT_EQ(native.GetPixelFormat(), ie24RGB);
  ASSERT_TRUE(native.HasAlphaChannel());
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 9; ++x) {
      const uint8_t* p = &pixels[size_t(y * 9 + x) * 4];
      EXPECT_EQ(native.GetPixel24(x, y), (TRGB{p[0], p[1], p[2]}));
      EXPECT_EQ(native.GetAlphaPixel(x, y), p[3]);
    }
  TIEBitmap plain;
  ASSERT_TRUE(Read(file, plain, false));
  EXPECT_EQ(plain.GetPixelFormat(), ie24RGB);
  EXPECT_FALSE(plain.HasAlphaChannel());
  if (SUCCEEDED(ole)) OleUninitialize();
}

// A stream that takes no bytes.
class FullStream : public TMemoryStream {
public:
  int32_t Write(const void*, int32_t) override { return 0; }
};

TEST_F(HDPhoto, RefusedPixelsOrDamagedFilesFailTheReadOrSave) {
  auto image = Pattern(40, 30, ie24RGB);
  FullStream full;
  TIOParamsVals params(nullptr);
  Progress progress;
  IEWriteHDPhotoStream(full, *image, params, progress.record);
  EXPECT_TRUE(progress.abort);

  const std::string file = Write(*image);
  TIEBitmap back;
  for (size_t cut : {size_t{0}, size_t{4}, size_t{16}, size_t{60}, file.size() / 2, file.size() - 8})
    EXPECT_FALSE(Read(file.substr(0, cut), back)) << cut;
  // Bytes changed all over: never a crash; a read that passes has the right size.
  for (size_t at = 8; at < file.size(); at += file.size() / 23) {
    std::string damaged = file;
    damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
    TIEBitmap out;
    if (Read(damaged, out)) {
      EXPECT_GT(out.GetWidth(), 0);
    }
  }
  EXPECT_FALSE(Read("II\xBC\x01" + std::string(200, '\0'), back));
}

// Without the codec library (a machine that lacks it) reads and saves fail
// as with data the codec refuses.
TEST_F(HDPhoto, WithoutTheCodecLibraryReadsAndSavesFail) {
  auto image = Pattern(20, 9, ie24RGB);
  const std::string file = Write(*image);
  ASSERT_FALSE(file.empty());
  const std::vector<const char*> names = wmp::Libraries().RenameForTest({"libvesk-no-such-codec.so.0"});
  TIEBitmap back;
  EXPECT_FALSE(Read(file, back));
  EXPECT_TRUE(Write(*image).empty());
  wmp::Libraries().RenameForTest(names);
  ASSERT_TRUE(Read(file, back));
  EXPECT_EQ(Rows(back), Rows(*image));
}

// ---- the scaler ------------------------------------------------------------------------

TEST_F(HDPhoto, ScalerCopiesAveragesAndPicks) {
  for (TResampleFilter filter : {rfWICNearestNeighbor, rfWICLinear, rfWICCubic, rfWICFant})
    for (TIEPixelFormat format : {ie8g, ie16Gray, ie24RGB, ieRGB48, ieCMYK}) {
      auto source = Pattern(13, 9, format, 3);
      TIEBitmap same(13, 9, format);
      ASSERT_TRUE(IEWICResampleBitmap(source.get(), &same, nullptr, filter, {}, nullptr));
      EXPECT_EQ(same.GetPixelFormat(), format);
      EXPECT_EQ(Rows(same), Rows(*source)) << int{filter} << " " << int{format};
    }
  auto source = Pattern(8, 6, ie24RGB, 5);
  TIEBitmap half(4, 3, ie24RGB);
  ASSERT_TRUE(IEWICResampleBitmap(source.get(), &half, nullptr, rfWICFant, {}, nullptr));
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const auto mean = [&](uint8_t TRGB::*c) {
        const int32_t sum = source->GetPixel24(2 * x, 2 * y).*c + source->GetPixel24(2 * x + 1, 2 * y).*c +
                            source->GetPixel24(2 * x, 2 * y + 1).*c + source->GetPixel24(2 * x + 1, 2 * y + 1).*c;
        return static_cast<uint8_t>(std::lround(sum / 4.0));
      };
      EXPECT_EQ(half.GetPixel24(x, y), (TRGB{mean(&TRGB::b), mean(&TRGB::g), mean(&TRGB::r)})) << x << "," << y;
    }
  // Nearest neighbour (also for other filters) gives source pixels.
  for (TResampleFilter filter : {rfWICNearestNeighbor, rfLanczos3}) {
    TIEBitmap picked(5, 17, ie24RGB), plain(5, 17, ie24RGB);
    ASSERT_TRUE(IEWICResampleBitmap(source.get(), &picked, nullptr, filter, {}, nullptr));
    IEStretchNearest(source.get(), &plain, nullptr, {});
    EXPECT_EQ(Rows(picked), Rows(plain));
  }
}

TEST_F(HDPhoto, ScalerTakesAlphaAndReportsEachPercentOnce) {
  auto source = Pattern(30, 20, ie24RGB, 2);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) source->SetAlphaPixel(x, y, static_cast<uint8_t>(x * 8));
  TIEBitmap dest(15, 250, ie24RGB);
  std::vector<int32_t> seen;
  ASSERT_TRUE(IEWICResampleBitmap(source.get(), &dest, source->GetAlphaChannel(), rfWICFant,
                                  [&](TObject*, int32_t percent) { seen.push_back(percent); }, nullptr));
  ASSERT_EQ(seen.size(), 100u);
  for (int32_t i = 0; i < 100; ++i) EXPECT_EQ(seen[size_t(i)], i);
  ASSERT_TRUE(dest.HasAlphaChannel());
  EXPECT_EQ(dest.GetAlphaPixel(0, 0), std::lround((0 + 8) / 2.0));
  EXPECT_EQ(dest.GetAlphaPixel(14, 100), std::lround((28 * 8 + 29 * 8) / 2.0));
}

}  // namespace
