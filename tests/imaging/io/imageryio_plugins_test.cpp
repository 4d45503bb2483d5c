// The plug-in host against test plug-ins built beside this program from the
// interface header (tests/imaging/io/plugin/testplugin.c).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "imaging/codecs/exifblock.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/io/imageryio_plugins.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/io/io_test_support.h"

namespace {

using iotest::IOTest;

// One variant of the test plug-in, steered through its own exports.
class TestPlugin {
public:
  explicit TestPlugin(const std::string& fileName) : fileName_(fileName), module_(LoadLibrary(fileName)) {
    if (!module_) return;
    set_ = reinterpret_cast<void (*)(const char*, int64_t)>(GetProcAddress(module_, "TestPlugin_Set"));
    get_ = reinterpret_cast<int64_t (*)(const char*)>(GetProcAddress(module_, "TestPlugin_Get"));
    reinterpret_cast<void (*)()>(GetProcAddress(module_, "TestPlugin_Reset"))();
  }
  ~TestPlugin() {
    if (module_) FreeLibrary(module_);
  }
  bool Loaded() const { return module_ != nullptr; }
  const std::string& FileName() const { return fileName_; }
  void Set(const char* key, int64_t value) { set_(key, value); }
  int64_t Get(const char* key) { return get_(key); }
  template <typename F>
  F Export(const char* name) {
    return reinterpret_cast<F>(GetProcAddress(module_, name));
  }

private:
  std::string fileName_;
  HMODULE module_;
  void (*set_)(const char*, int64_t) = nullptr;
  int64_t (*get_)(const char*) = nullptr;
};

std::string LE32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(static_cast<uint32_t>(v) >> (8 * i));
  return s;
}

// A file of the test plug-in's format.
std::string PluginFile(int32_t width, int32_t height, int32_t format, const std::string& body) {
  return "TPLG" + LE32(width) + LE32(height) + LE32(format) + body;
}

// RGB rows of a w x h image, pixel (x, y) = (10x + 1, 10y + 2, x + y + 3).
std::string RGBRows(int32_t width, int32_t height) {
  std::string rows;
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) rows += {char(10 * x + 1), char(10 * y + 2), char(x + y + 3)};
  return rows;
}

class PluginHost : public IOTest {
protected:
  void SetUp() override {
    IOTest::SetUp();
    for (auto& plugin : plugins_) ASSERT_TRUE(plugin->Loaded()) << plugin->FileName();
  }
  void TearDown() override {
    IEUnloadIOPlugins();
    IOTest::TearDown();
  }
  static std::string Beside(const std::string& name) { return ExecutableFolder() + name; }
  // Registers the standard variant; its id.
  int32_t RegisterStd() { return IERegisterIOPlugin(Beside("tplugstd.dll")); }

  std::unique_ptr<TestPlugin> std_ = std::make_unique<TestPlugin>(Beside("tplugstd.dll"));
  std::unique_ptr<TestPlugin> safe_ = std::make_unique<TestPlugin>(Beside("tplugsafe.dll"));
  std::unique_ptr<TestPlugin> cdecl_ = std::make_unique<TestPlugin>(Beside("tplugcdecl.dll"));
  std::unique_ptr<TestPlugin> raw_ = std::make_unique<TestPlugin>(std::string(IO_FAKE_RAW_DIR) + "/dcrawlib.dll");
  std::vector<TestPlugin*> plugins_{std_.get(), safe_.get(), cdecl_.get(), raw_.get()};
};

// ---- registration ---------------------------------------------------------------------

TEST_F(PluginHost, RegistersEveryFormatWithItsOwnRecordAndId) {
  cdecl_->Set("formats", 1);
  ASSERT_EQ(IERegisterIOPlugin(Beside("tplugcdecl.dll")), 4097);
  std_->Set("formats", 3);
  EXPECT_EQ(RegisterStd(), 4100);  // the last of 4098, 4099, 4100
  ASSERT_EQ(IEIOPluginCount(), 4);
  for (int32_t n = 1; n < 4; ++n) {
    const TIEIOPlugin& plugin = *IEIOPluginAt(n);
    EXPECT_EQ(plugin.FormatIndex, n - 1);
    EXPECT_EQ(plugin.FormatId, 4097 + n);
    EXPECT_FALSE(plugin.UseCDecl);
    EXPECT_NE(plugin.StdcallEntries.AddParameter, nullptr);
    EXPECT_EQ(plugin.CdeclEntries.ExecuteRead, nullptr);
    ASSERT_NE(plugin.Lock, nullptr);
    const TIEFileFormatInfo* entry = IEFindFormatById(plugin.FormatId);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->DisplayName, "Test Plugin " + std::to_string(n - 1));
    EXPECT_EQ(entry->ExtensionList, "TP" + std::to_string(n - 1) + ";TQ" + std::to_string(n - 1));
    EXPECT_EQ(entry->DefaultExtension, "TP" + std::to_string(n - 1));
    EXPECT_FALSE(entry->BuiltIn);
    EXPECT_NE(entry->ReadProc, nullptr);
    EXPECT_NE(entry->WriteProc, nullptr);
  }
  const TIEIOPlugin& cdeclPlugin = *IEIOPluginAt(0);
  EXPECT_TRUE(cdeclPlugin.UseCDecl);
  EXPECT_NE(cdeclPlugin.CdeclEntries.ExecuteRead, nullptr);
  EXPECT_EQ(cdeclPlugin.StdcallEntries.ExecuteRead, nullptr);
  EXPECT_EQ(std_->Get("opened"), std_->Get("closed"));  // every registration context closed
  // The same file name again changes nothing.
  EXPECT_EQ(RegisterStd(), 0);
  EXPECT_EQ(IEIOPluginCount(), 4);

  IEUnloadIOPlugins();
  EXPECT_EQ(IEIOPluginCount(), 0);
  for (int32_t id = 4097; id <= 4100; ++id) EXPECT_EQ(IEFindFormatById(id), nullptr) << id;
}

TEST_F(PluginHost, RegistrationEdgeCases) {
  // A library without one of the nine entry points registers nothing.
  EXPECT_EQ(IERegisterIOPlugin(Beside("tplugnoadd.dll")), 0);
  EXPECT_EQ(IERegisterIOPlugin(Beside("no-such-plugin.dll")), 0);
  EXPECT_EQ(IEIOPluginCount(), 0);
  // Without the read bit: no read or try routine, extensions not readable.
  std_->Set("flags", IEX_CAN_WRITE);
  ASSERT_EQ(RegisterStd(), 4097);
  EXPECT_EQ(IEFindFormatById(4097)->ReadProc, nullptr);
  EXPECT_EQ(IEFindFormatById(4097)->TryProc, nullptr);
  EXPECT_FALSE(IEIsKnownFileFormat("a.tq0", false));
  const std::string file = iotest::WriteTempFile("unread.bin", PluginFile(1, 1, 5, "abc"));
  TIEWideFileStream stream(file, fmOpenRead);
  EXPECT_EQ(IEDetectStreamFormat(stream), 0);
  EXPECT_EQ(std_->Get("tries"), 0);
  // A count of 0 or less still registers format 0; thread safety means no lock.
  safe_->Set("formats", -2);
  EXPECT_EQ(IERegisterIOPlugin(Beside("tplugsafe.dll")), 4098);
  ASSERT_EQ(IEIOPluginCount(), 2);
  EXPECT_EQ(IEIOPluginAt(1)->Lock, nullptr);
}

TEST_F(PluginHost, OnlyTheCameraRawLibrarysFirstFormatTakes4096) {
  raw_->Set("formats", 3);
  EXPECT_TRUE(IEIsCameraRawPluginName(raw_->FileName()));
  EXPECT_TRUE(IEIsCameraRawPluginName("/x/DCRAWLIB.DLL"));
  EXPECT_FALSE(IEIsCameraRawPluginName("/dcrawlib.dll/other.dll"));
  EXPECT_EQ(IERegisterIOPlugin(raw_->FileName()), 4099);
  ASSERT_EQ(IEIOPluginCount(), 3);
  EXPECT_EQ(IEIOPluginAt(0)->FormatId, 4096);
  EXPECT_EQ(IEIOPluginAt(1)->FormatId, 4098);
  EXPECT_EQ(IEIOPluginAt(2)->FormatId, 4099);
  EXPECT_TRUE(IEIsIOPluginLoaded("elsewhere/dcrawlib.dll"));
  EXPECT_FALSE(IEIsIOPluginLoaded("elsewhere/DCRAWLIB.dll"));
}

TEST_F(PluginHost, ShutDownUnloadsThePluginsAndFreesTheList) {
  ASSERT_EQ(RegisterStd(), 4097);
  IEFinalizeImageryIO();
  EXPECT_FALSE(IEIOPluginListExists());
  EXPECT_EQ(IEFindIOPlugin(4097), nullptr);
  IEInitializeImageryIO();
  EXPECT_TRUE(IEIOPluginListExists());
  EXPECT_EQ(IEIOPluginCount(), 0);
}

// ---- reading and writing ----------------------------------------------------------------

TEST_F(PluginHost, TwentyFourBitImagesTravelAsRGBAndAreStoredAsBGR) {
  const int32_t id = RegisterStd();
  TImageryIO io(nullptr);
  TIEBitmap& bitmap = *io.IEBitmap();
  bitmap.Allocate(3, 2, ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) {
      uint8_t* p = bitmap.GetScanline(y) + 3 * x;
      p[0] = uint8_t(x + y + 3), p[1] = uint8_t(10 * y + 2), p[2] = uint8_t(10 * x + 1);  // B, G, R
    }
  const std::string file = iotest::TempFolder() + "image.tp0";
  io.SaveToFile(file);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(std_->Get("written_format"), 5);
  EXPECT_EQ(iotest::ReadFile(file), PluginFile(3, 2, 5, RGBRows(3, 2)));

  TImageryIO reader(nullptr);
  std::vector<int32_t> percents;
  reader.OnProgress = [&](TObject*, int32_t percent) { percents.push_back(percent); };
  ASSERT_TRUE(reader.LoadFromFile(file));
  EXPECT_EQ(reader.Params().FILETYPE, id);
  TIEBitmap& read = *reader.IEBitmap();
  ASSERT_EQ(read.GetPixelFormat(), ie24RGB);
  for (int32_t y = 0; y < 2; ++y)
    EXPECT_EQ(std::memcmp(read.GetScanline(y), bitmap.GetScanline(y), 9), 0) << y;
  EXPECT_EQ(reader.Params().BITSPERSAMPLE, 8);
  EXPECT_EQ(reader.Params().SAMPLESPERPIXEL, 3);
  EXPECT_EQ(reader.Params().ORIGINALWIDTH, 3);
  EXPECT_NE(std::find(percents.begin(), percents.end(), 50), percents.end());

  // By content: the plug-in's test finds it under any name.
  TIEWideFileStream stream(file, fmOpenRead);
  EXPECT_EQ(IEDetectStreamFormat(stream), id);
}

TEST_F(PluginHost, FortyEightBitSamplesAreBigEndianInThePlugin) {
  RegisterStd();
  std::string body;
  for (uint16_t v : {0x1234, 0xABCD, 0x00FF, 0xFF00, 0x8001, 0x0102}) body += {char(v >> 8), char(v & 0xFF)};
  const std::string file = iotest::WriteTempFile("deep.tp0", PluginFile(2, 1, 8, body));
  TImageryIO native(nullptr);
  native.Params().ISNATIVEPIXELFORMAT = true;
  ASSERT_TRUE(native.LoadFromFile(file));
  ASSERT_EQ(native.IEBitmap()->GetPixelFormat(), ieRGB48);
  const auto* words = reinterpret_cast<const uint16_t*>(native.IEBitmap()->GetScanline(0));
  EXPECT_EQ(words[0], 0x1234);
  EXPECT_EQ(words[1], 0xABCD);
  EXPECT_EQ(words[5], 0x0102);
  EXPECT_EQ(native.Params().BITSPERSAMPLE, 16);

  // Converted to 24 bits the high bytes remain, as blue, green, red.
  TImageryIO converted(nullptr);
  ASSERT_TRUE(converted.LoadFromFile(file));
  ASSERT_EQ(converted.IEBitmap()->GetPixelFormat(), ie24RGB);
  const uint8_t* p = converted.IEBitmap()->GetScanline(0);
  EXPECT_EQ(p[0], 0x00);
  EXPECT_EQ(p[1], 0xAB);
  EXPECT_EQ(p[2], 0x12);
}

// A bitmap kept in a framework bitmap takes 16-bit grey as 8-bit grey: the
// plug-in's wider rows go through a bitmap of their own.
TEST_F(PluginHost, SixteenBitGreyFillsAFrameworkBitmapAsEightBitGrey) {
  RegisterStd();
  std::string body;
  for (int i = 0; i < 10; ++i) body += {char(i * 7), char(i * 25)};  // 5 x 2 samples
  const std::string file = iotest::WriteTempFile("grey.tp0", PluginFile(5, 2, 4, body));
  TImageryIO plain(nullptr), framework(nullptr);
  framework.IEBitmap()->SetLocation(ieTBitmap);
  for (TImageryIO* io : {&plain, &framework}) {
    io->Params().ISNATIVEPIXELFORMAT = true;
    ASSERT_TRUE(io->LoadFromFile(file));
  }
  TIEBitmap& held = *framework.IEBitmap();
  ASSERT_EQ(held.Location(), ieTBitmap);
  ASSERT_EQ(held.GetPixelFormat(), ie8g);
  ASSERT_EQ(plain.IEBitmap()->GetPixelFormat(), ie16Gray);
  plain.IEBitmap()->ConvertToPixelFormat(ie8g);
  for (int32_t y = 0; y < 2; ++y)
    EXPECT_EQ(std::memcmp(held.GetScanline(y), plain.IEBitmap()->GetScanline(y), 5), 0) << y;
}

TEST_F(PluginHost, AnEncodedFileInThePixelBufferIsReadByContent) {
  RegisterStd();
  const std::string inner = iotest::MakeImage(4, 3);  // the test codec's own format
  const std::string file = iotest::WriteTempFile("encoded.tp0", PluginFile(0, 0, 0, inner));
  TImageryIO io(nullptr);
  ASSERT_TRUE(io.LoadFromFile(file));
  EXPECT_EQ(io.IEBitmap()->GetWidth(), 4);
  EXPECT_EQ(io.IEBitmap()->GetHeight(), 3);
  EXPECT_EQ(io.Params().FILETYPE, 1);  // the parameters of the inner read

  // Encoded files nested inside the plug-in's own format end after two levels.
  std::string nested = inner;
  for (int level = 0; level < 2; ++level) nested = PluginFile(0, 0, 0, nested);
  TImageryIO twice(nullptr);
  EXPECT_TRUE(twice.LoadFromFile(iotest::WriteTempFile("twice.tp0", nested)));
  TImageryIO thrice(nullptr);
  EXPECT_FALSE(thrice.LoadFromFile(iotest::WriteTempFile("thrice.tp0", PluginFile(0, 0, 0, nested))));

  // The size must be positive, and no more than the encoded file is read.
  for (int32_t size : {0, -5, 12}) {
    std_->Set("override", 1);
    std_->Set("format", 0);
    std_->Set("width", 4);
    std_->Set("height", 3);
    std_->Set("encodedsize", size);
    TImageryIO failing(nullptr);
    EXPECT_FALSE(failing.LoadFromFile(file)) << size;
    EXPECT_TRUE(failing.Aborting()) << size;
  }
}

TEST_F(PluginHost, ResultsThatDescribeNoImageFailTheLoad) {
  RegisterStd();
  const std::string file = iotest::WriteTempFile("bad.tp0", PluginFile(2, 2, 5, RGBRows(2, 2)));
  struct TCase {
    const char* what;
    int32_t width, height, format;
  };
  const TCase cases[] = {
      {"zero width", 0, 2, 5},        {"negative height", 2, -1, 5}, {"format above 8", 2, 2, 9},
      {"negative format", 2, 2, -1},  {"row length overflow", 0x7FFFFFFF, 1, 8},
      {"size product overflow", 0x40000000, 0x7FFFFFFF, 5},
  };
  for (const TCase& c : cases) {
    std_->Set("override", 1);
    std_->Set("width", c.width);
    std_->Set("height", c.height);
    std_->Set("format", c.format);
    TImageryIO io(nullptr);
    EXPECT_FALSE(io.LoadFromFile(file)) << c.what;
    EXPECT_TRUE(io.Aborting()) << c.what;
  }
  std_->Set("override", 0);
  std_->Set("nopixels", 1);
  TImageryIO io(nullptr);
  EXPECT_FALSE(io.LoadFromFile(file));
}

TEST_F(PluginHost, FullSizeComesFromCodesSevenAndEight) {
  RegisterStd();
  const std::string file = iotest::WriteTempFile("full.tp0", PluginFile(2, 3, 5, RGBRows(2, 3)));
  TImageryIO io(nullptr);
  io.ParamsFromFileFormat(file, 4097);
  EXPECT_EQ(std_->Get("paramsonly"), -1);
  EXPECT_EQ(io.Params().WIDTH, 2);
  EXPECT_EQ(io.Params().ORIGINALHEIGHT, 3);
  std_->Set("fullsize", 1);
  io.ParamsFromFileFormat(file, 4097);
  EXPECT_EQ(io.Params().ORIGINALWIDTH, 4);
  EXPECT_EQ(io.Params().ORIGINALHEIGHT, 6);
  std_->Set("fullheightnull", 1);
  io.ParamsFromFileFormat(file, 4097);
  EXPECT_EQ(io.Params().ORIGINALHEIGHT, 3);
}

TEST_F(PluginHost, GetParameterCopiesAtMostTheInterfacesBufferAndNothingInATry) {
  RegisterStd();
  std_->Export<void (*)(const char*)>("TestPlugin_AskParameter")("RAW_EXTRAPARAMS");
  std_->Set("getparam", 1);
  const std::string file = iotest::WriteTempFile("param.tp0", PluginFile(1, 1, 5, "abc"));
  TImageryIO io(nullptr);
  const char* copied = std_->Export<const char* (*)()>("TestPlugin_Parameter")();
  for (size_t length : {size_t{0}, size_t{7}, size_t{4095}, size_t{4096}, size_t{10000}}) {
    io.Params().RAW_EXTRAPARAMS = std::string(length, 'x');
    io.ParamsFromFileFormat(file, 4097);
    EXPECT_EQ(std_->Get("paramlength"), std::min<int64_t>(length, 4095)) << length;
    EXPECT_EQ(std_->Get("guardintact"), 1) << length;
  }
  io.Params().RAW_EXTRAPARAMS = "-e";
  io.ParamsFromFileFormat(file, 4097);
  EXPECT_STREQ(copied, "-e");
  // The content test has no parameters: the buffer stays as the plug-in left it.
  {
    TIEWideFileStream stream(file, fmOpenRead);
    EXPECT_EQ(IEDetectStreamFormat(stream), 4097);
    EXPECT_EQ(std_->Get("paramlength"), -1);
  }

  // The set-parameter callback reaches the parameters by key.
  std_->Export<void (*)(const char*, const char*)>("TestPlugin_SetParameter")("RAW_EXTRAPARAMS", "set by plugin");
  std_->Set("setparam", 1);
  io.ParamsFromFileFormat(file, 4097);
  EXPECT_EQ(io.Params().RAW_EXTRAPARAMS, "set by plugin");
}

// A stream that takes only so many bytes.
class TShortStream : public TMemoryStream {
public:
  explicit TShortStream(int64_t room) : room_(room) {}
  int32_t Write(const void* buffer, int32_t count) override {
    const int32_t taken = static_cast<int32_t>(std::min<int64_t>(count, room_ - Position()));
    return TMemoryStream::Write(buffer, std::max(taken, 0));
  }

private:
  int64_t room_;
};

TEST_F(PluginHost, AWriteThatWritesNothingOrFallsShortFailsTheSave) {
  const int32_t id = RegisterStd();
  TImageryIO io(nullptr);
  io.IEBitmap()->Allocate(8, 8, ie24RGB);
  TMemoryStream whole;
  io.SaveToStream(whole, id);
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(whole.Size(), 16 + 8 * 8 * 3);

  TShortStream full(100);
  io.SaveToStream(full, id);
  EXPECT_TRUE(io.Aborting());

  std_->Set("writemode", 1);
  TMemoryStream nothing;
  io.SaveToStream(nothing, id);
  EXPECT_TRUE(io.Aborting());
}

TEST_F(PluginHost, BitmapsWithoutAnInterfaceFormatCodeAreNotHandedToThePlugin) {
  const int32_t id = RegisterStd();
  for (const TIEPixelFormat format : {ieCIELab, ie32RGBA}) {
    SCOPED_TRACE(static_cast<int>(format));
    TImageryIO io(nullptr);
    ASSERT_TRUE(io.IEBitmap()->Allocate(4, 3, format));
    TMemoryStream stream;
    io.SaveToStream(stream, id);
    EXPECT_TRUE(io.Aborting());
    EXPECT_EQ(std_->Get("writes"), 0);
    EXPECT_EQ(stream.Size(), 0);
  }
}

TEST_F(PluginHost, TheFilesTIFFMetadataIsReadWhenThePluginAsks) {
  RegisterStd();
  TIOParamsVals exif(nullptr);
  exif.EXIF_HASEXIF = true;
  exif.EXIF_MAKE = "Maker";
  exif.SetEXIF_XResolution(100);
  exif.SetEXIF_YResolution(50);
  const std::vector<uint8_t> tiff = IESaveEXIFToBuffer(exif, false);
  ASSERT_FALSE(tiff.empty());
  const std::string file = iotest::WriteTempFile(
      "meta.tp0", PluginFile(1, 1, 5, "abc") + std::string(tiff.begin(), tiff.end()));
  TImageryIO io(nullptr);
  ASSERT_TRUE(io.LoadFromFile(file));
  EXPECT_FALSE(io.Params().EXIF_HASEXIF);
  std_->Set("metadata", 1);
  ASSERT_TRUE(io.LoadFromFile(file));
  EXPECT_TRUE(io.Params().EXIF_HASEXIF);
  EXPECT_EQ(io.Params().EXIF_MAKE, "Maker");
  EXPECT_EQ(io.Params().DPIX, 100);
  EXPECT_EQ(io.Params().DPIY, 50);
}

TEST_F(PluginHost, ALockedPluginIsNeverEnteredByTwoThreads) {
  const int32_t locked = RegisterStd();
  const int32_t safe = IERegisterIOPlugin(Beside("tplugsafe.dll"));
  const std::string data = PluginFile(16, 16, 5, RGBRows(16, 16));
  for (TestPlugin* plugin : {std_.get(), safe_.get()}) plugin->Set("delayus", 2000);
  auto readMany = [&](int32_t id) {
    for (int i = 0; i < 5; ++i) {
      TIEMemStream stream(data.data(), static_cast<int64_t>(data.size()));
      TImageryIO io(nullptr);
      EXPECT_TRUE(io.LoadFromStreamFormat(stream, id));
      EXPECT_EQ(io.IEBitmap()->GetWidth(), 16);
    }
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) threads.emplace_back(readMany, t % 2 ? locked : safe);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(std_->Get("mostinflight"), 1);
  EXPECT_EQ(std_->Get("reads"), 10);
  EXPECT_EQ(safe_->Get("reads"), 10);
}

}  // namespace
