#include "imaging/io/iemiscplugins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "imaging/core/ruduvazez_startup.h"
#include "platform/rtl/dynlib.h"

namespace {

// What the counting libraries (tests/imaging/io/plugin/countinglib.c)
// reported: their termination routine and their unloading.
std::vector<std::string> events;

void Record(const char* event) { events.emplace_back(event); }

using LogTo = void (*)(void (*)(const char*));

// Loads one of the counting libraries and has it report here.
HMODULE LoadCounting(const char* variant) {
  HMODULE module = LoadLibrary(std::string("tcount") + variant + ".dll");
  if (!module) return nullptr;
  reinterpret_cast<LogTo>(GetProcAddress(module, "CountingLib_LogTo"))(&Record);
  return module;
}

class MagickBridge : public ::testing::Test {
protected:
  void SetUp() override {
    events.clear();
    ASSERT_EQ(TIEMiscPluginsImageMagick::LibHandle(), nullptr);
    ASSERT_EQ(TIEMiscPluginsImageMagick::Lib2Handle(), nullptr);
  }
  void TearDown() override { TIEMiscPluginsImageMagick::UnloadLibraries(); }
};

using Events = std::vector<std::string>;

TEST(MagickBridgeFormats, TheTwentyFiveFormats) {
  struct Row {
    int32_t id;
    const char* description;
    const char* extensions;
    const char* suggested;
    int32_t writable;
  };
  const Row rows[] = {
      {0x2001, "Flexible Image Transport System", "FITS;FTS", "fits", 1},
      {0x2002, "Photo CD", "PCD;PCDS", "pcd", 1},
      {0x2003, "Printer Control Language", "PCL", "pcl", 1},
      {0x2004, "Portable Document Format", "PDF;PDFA;EPDF", "pdf", 1},
      {0x2005, "Joint Bi-level Image experts Group interchange format", "BIE", "bie", 1},
      {0x2006, "Cineon Image File", "CIN", "cin", 1},
      {0x2007, "Microsoft DirectDraw Surface", "DDS", "dds", 1},
      {0x2008, "Multi-face font package", "DFONT", "dfont", 0},
      {0x2009, "SMPTE 268M-2003 (DPX 2.0)", "DPX", "dpx", 1},
      {0x200A, "Joint Bi-level Image experts Group interchange format", "JBIG;JBG", "jbig", 1},
      {0x200B, "JPEG Network Graphics", "JNG", "jng", 1},
      {0x200C, "MPEG Video Stream", "M2V;MOV;MPEG;MPG", "m2v", 1},
      {0x200D, "MATLAB level 5 image format", "MAT", "mat", 1},
      {0x200E, "Magick Image File Format", "MIFF", "miff", 1},
      {0x200F, "Multiple-image Network Graphics", "MNG", "mng", 1},
      {0x2010, "MPEG-4 Video", "MP4;M4V", "mp4", 1},
      {0x2011, "ImageMagick's own SVG internal renderer", "MSVG", "msvg", 1},
      {0x2012, "Embrid Embroidery Format", "PES", "pes", 0},
      {0x2013, "PostScript", "PS;EPS;EPSF;EPSI;EPI;EPT", "ps", 1},
      {0x2014, "Adobe Large Document Format", "PSB", "psb", 1},
      {0x2015, "Pyramid encoded TIFF", "PTIF", "ptif", 1},
      {0x2016, "Scalable Vector Graphics", "SVG;SVGZ", "svg", 1},
      {0x2017, "Tagged Image File Format (64-bit)", "TIFF64", "tiff64", 1},
      {0x2018, "GIMP image", "XCF", "xcf", 0},
      {0x2019, "Microsoft XML Paper Specification", "XPS", "xps", 0},
  };
  const auto& formats = TIEMiscPluginsImageMagick::Formats();
  ASSERT_EQ(formats.size(), std::size(rows));
  for (size_t i = 0; i < formats.size(); ++i) {
    SCOPED_TRACE(rows[i].suggested);
    EXPECT_EQ(formats[i].FileType, rows[i].id);
    EXPECT_STREQ(formats[i].Description, rows[i].description);
    EXPECT_STREQ(formats[i].Extensions, rows[i].extensions);
    EXPECT_STREQ(formats[i].SuggestedExtension, rows[i].suggested);
    EXPECT_EQ(formats[i].Writable, rows[i].writable);
  }
}

TEST_F(MagickBridge, NothingLoadedNothingCalled) {
  TIEMiscPluginsImageMagick::UnloadLibraries();
  TIEMiscPluginsImageMagick::Terminate();
  void* proc = nullptr;
  TIEMiscPluginsImageMagick::BindProc(proc, "MagickWandTerminus");
  EXPECT_EQ(proc, nullptr);
  EXPECT_EQ(TIEMiscPluginsImageMagick::LibHandle(), nullptr);
  EXPECT_EQ(TIEMiscPluginsImageMagick::Lib2Handle(), nullptr);
}

TEST_F(MagickBridge, SecondLibraryFirstThenTerminusThenMainLibrary) {
  HMODULE main = LoadCounting("main");
  HMODULE second = LoadCounting("second");
  ASSERT_NE(main, nullptr) << LastLibraryErrorText();
  ASSERT_NE(second, nullptr) << LastLibraryErrorText();
  TIEMiscPluginsImageMagick::SetLibHandle(main);
  TIEMiscPluginsImageMagick::SetLib2Handle(second);

  TIEMiscPluginsImageMagick::UnloadLibraries();
  EXPECT_EQ(events, (Events{"second unloaded", "main terminus", "main unloaded"}));
  EXPECT_EQ(TIEMiscPluginsImageMagick::LibHandle(), nullptr);
  EXPECT_EQ(TIEMiscPluginsImageMagick::Lib2Handle(), nullptr);
}

TEST_F(MagickBridge, UnloadingTwiceReleasesEachLoadOnce) {
  // The test holds a load of its own on each library: a second release by
  // the bridge would take the test's and unload them.
  HMODULE main = LoadCounting("main");
  HMODULE second = LoadCounting("second");
  ASSERT_NE(main, nullptr) << LastLibraryErrorText();
  ASSERT_NE(second, nullptr) << LastLibraryErrorText();
  TIEMiscPluginsImageMagick::SetLibHandle(LoadLibrary("tcountmain.dll"));
  TIEMiscPluginsImageMagick::SetLib2Handle(LoadLibrary("tcountsecond.dll"));

  TIEMiscPluginsImageMagick::UnloadLibraries();
  TIEMiscPluginsImageMagick::UnloadLibraries();
  EXPECT_EQ(events, Events{"main terminus"});

  FreeLibrary(second);
  FreeLibrary(main);
  EXPECT_EQ(events, (Events{"main terminus", "second unloaded", "main unloaded"}));
}

TEST_F(MagickBridge, TerminusIsCalledOnlyWhenFoundAndForgottenOnUnload) {
  // A main library without the routine is freed all the same.
  TIEMiscPluginsImageMagick::SetLibHandle(LoadCounting("noterm"));
  ASSERT_NE(TIEMiscPluginsImageMagick::LibHandle(), nullptr) << LastLibraryErrorText();
  TIEMiscPluginsImageMagick::UnloadLibraries();
  EXPECT_EQ(events, Events{"noterm unloaded"});

  // A routine bound from one library is not called once another is loaded.
  events.clear();
  TIEMiscPluginsImageMagick::SetLibHandle(LoadCounting("main"));
  TIEMiscPluginsImageMagick::Terminate();
  TIEMiscPluginsImageMagick::UnloadLibraries();
  TIEMiscPluginsImageMagick::SetLibHandle(LoadCounting("noterm"));
  TIEMiscPluginsImageMagick::Terminate();
  TIEMiscPluginsImageMagick::UnloadLibraries();
  EXPECT_EQ(events, (Events{"main terminus", "main terminus", "main unloaded", "noterm unloaded"}));
}

TEST_F(MagickBridge, BindProcKeepsAnAddressAlreadyBound) {
  HMODULE main = LoadCounting("main");
  ASSERT_NE(main, nullptr) << LastLibraryErrorText();
  TIEMiscPluginsImageMagick::SetLibHandle(main);
  void* proc = nullptr;
  TIEMiscPluginsImageMagick::BindProc(proc, "MagickWandTerminus");
  EXPECT_EQ(proc, GetProcAddress(main, "MagickWandTerminus"));
  TIEMiscPluginsImageMagick::BindProc(proc, "CountingLib_LogTo");
  EXPECT_EQ(proc, GetProcAddress(main, "MagickWandTerminus"));
  void* missing = nullptr;
  TIEMiscPluginsImageMagick::BindProc(missing, "NoSuchEntry");
  EXPECT_EQ(missing, nullptr);
}

TEST_F(MagickBridge, LibraryStartLoadsNothingAndItsStopReleases) {
  IELibraryInitialize();
  EXPECT_EQ(TIEMiscPluginsImageMagick::LibHandle(), nullptr);
  EXPECT_EQ(TIEMiscPluginsImageMagick::Lib2Handle(), nullptr);
  TIEMiscPluginsImageMagick::SetLibHandle(LoadCounting("main"));
  TIEMiscPluginsImageMagick::SetLib2Handle(LoadCounting("second"));
  IELibraryFinalize();
  EXPECT_EQ(events, (Events{"second unloaded", "main terminus", "main unloaded"}));
  EXPECT_EQ(TIEMiscPluginsImageMagick::LibHandle(), nullptr);
}

}  // namespace
