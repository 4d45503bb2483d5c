// The profile road with the real colour toolkit, on a chart photo. The
// photo, chart type, reference and perspective option may be changed with
// VESK_TEST_PHOTO, VESK_TEST_CHART (index of the chart list),
// VESK_TEST_REFERENCE and VESK_TEST_PERSPECTIVE (1 = ticked).
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_plugins.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/files.h"
#include "platform/win/kernel_files.h"
#include "tests/app/profile_road.h"

namespace fs = std::filesystem;

namespace {

std::string ProgramFolder() { return ExtractFilePath(GetModuleFileNameA()); }

// The text of a profile's "desc" or "cprt" tag (v2 text description or
// text type, as the toolkit writes them).
std::string TagText(const std::string& profile, const char* signature) {
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<uint8_t>(profile.at(at + i));
    return v;
  };
  const uint32_t count = u32(128);
  for (uint32_t i = 0; i < count; ++i) {
    const size_t entry = 132 + 12 * i;
    if (profile.compare(entry, 4, signature) != 0) continue;
    const size_t at = u32(entry + 4);
    const std::string type = profile.substr(at, 4);
    if (type == "desc") return std::string(profile.c_str() + at + 12);
    if (type == "text") return std::string(profile.c_str() + at + 8);
  }
  return {};
}

struct RealRoad : ProfileRoad {
  RealRoad() : ProfileRoad(ProgramFolder()) {
    choices.ImageFileName =
        EnvOr("VESK_TEST_PHOTO", VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif");
    choices.ReferenceFileName =
        EnvOr("VESK_TEST_REFERENCE", folders.ProgramFolder + "argyll/ref/ColorChecker.cie");
    choices.TypeIndex = std::atoi(EnvOr("VESK_TEST_CHART", "0").c_str());
    choices.Perspective = EnvOr("VESK_TEST_PERSPECTIVE", "0") == "1";
    // The photo's folder must take the write test: work on a copy.
    const std::string copy = t / "photo dir/" + ExtractFileName(choices.ImageFileName);
    fs::create_directories(t / "photo dir");
    fs::copy_file(choices.ImageFileName, copy);
    choices.ImageFileName = copy;
  }
};

// Runs the request on the road's photo and checks the profile it saved:
// its texts, and how well it predicts the chart's patches.
void ExpectProfileFromPhoto(RealRoad& r, double largestAverage = 8.0) {
  r.choices.Description = "Handheld \"24\" test";
  r.choices.Copyright = "No copyright, test data";
  r.dialogs.SaveAnswer = r.t / "color/handheld.icm";
  fs::create_directories(r.t / "color");
  TProfileCreator creator(r.dialogs, r.folders);
  creator.CreateBtnClick(r.choices);

  ASSERT_EQ(r.dialogs.Messages, std::vector<LoggedMessage>({{"ICC Profile saved to:\r\r" + r.t / "color/", "",
                                                             pmkInformationDialog}}));
  const std::string profile = ReadAll(r.dialogs.SaveAnswer);
  ASSERT_TRUE(IsValidIccProfile(r.dialogs.SaveAnswer));
  EXPECT_EQ(TagText(profile, "desc"), "Handheld \"24\" test");
  EXPECT_EQ(TagText(profile, "cprt"), "No copyright, test data");

  const std::string base = r.folders.WorkFolder + fs::path(r.choices.ImageFileName).stem().string();
  std::string report;
  const double average = ProfcheckAverage(r.folders.ProgramFolder, base + ".ti3", r.dialogs.SaveAnswer, report);
  ASSERT_GE(average, 0) << report;
  EXPECT_LT(average, largestAverage) << report;
}

}  // namespace

TEST(ProfileRoadEndToEnd, ChartPhotoBecomesAProfile) {
  RealRoad r;
  ExpectProfileFromPhoto(r);
}

// A JPEG of the chart reaches the toolkit as a TIFF. The compression
// artefacts of so small a photo need the toolkit's perspective search to
// find the chart (djpeg's own decoding of the file needs it too).
TEST(ProfileRoadEndToEnd, JpegChartPhotoBecomesAProfile) {
  RealRoad r;
  r.choices.Perspective = true;
  const std::string jpeg = r.t / "photo dir/chart photo.jpg";
  ASSERT_EQ(std::system(("tifftopnm -quiet '" + r.choices.ImageFileName + "' | cjpeg -quality 95 > '" + jpeg + "'").c_str()), 0);
  r.choices.ImageFileName = jpeg;
  ExpectProfileFromPhoto(r);
}

// A camera's DNG of the chart (the photo laid out as a sensor's colour
// mosaic) is decoded by the camera-raw plug-in, as the program registers
// it, and reaches the toolkit as a TIFF.
TEST(ProfileRoadEndToEnd, DngChartPhotoBecomesAProfile) {
  struct TPlugins {
    TPlugins() {
      IEInitializeImageryIO();
      IEUnregisterFileFormat(20);
    }
    ~TPlugins() { IEFinalizeImageryIO(); }
  } plugins;
  ASSERT_EQ(IERegisterIOPlugin(ProgramFolder() + "dcrawlib.dll"), 4096);
  RealRoad r;
  const std::string ppm = r.t / "photo dir/chart photo.ppm";
  const std::string dng = r.t / "photo dir/chart photo.dng";
  ASSERT_EQ(std::system(("tifftopnm -quiet '" + r.choices.ImageFileName + "' > '" + ppm + "' && python3 " VESK_SOURCE_DIR
                         "/tests/fixtures/raw/make_dng.py '" + dng + "' --ppm '" + ppm + "'").c_str()),
            0);
  r.choices.ImageFileName = dng;
  // The photo's colours pass a 12-bit mosaic, bilinear interpolation and
  // the DNG's own colour matrix before the toolkit sees them: the profile
  // fits its patches less closely than one of the photo itself.
  ExpectProfileFromPhoto(r, 25.0);
  EXPECT_TRUE(IsTiffFile(r.folders.WorkFolder + "chart photo.tif"));
}

TEST(ProfileRoadEndToEnd, WrongChartTypeGivesTheExtractError) {
  // An IT8.7 chart for a 24-patch photo; a chart type whose recognition file
  // the toolkit's data lacks.
  for (int32_t typeIndex : {11, 12}) {
    RealRoad r;
    r.choices.TypeIndex = typeIndex;
    r.dialogs.SaveAnswer = r.t / "color/never.icm";
    TProfileCreator creator(r.dialogs, r.folders);
    creator.CreateBtnClick(r.choices);

    EXPECT_EQ(r.dialogs.Messages, std::vector<LoggedMessage>({{TProfileMessages().ExtractError, "",
                                                               pmkInformationDialog}}))
        << typeIndex;
    EXPECT_TRUE(r.dialogs.SaveDialogs.empty());
    EXPECT_FALSE(fs::exists(r.dialogs.SaveAnswer));
    for (const auto& e : fs::directory_iterator(r.folders.WorkFolder)) {
      const std::string ext = e.path().extension().string();
      EXPECT_TRUE(ext != ".icc" && ext != ".icm" && ext != ".ti3") << e.path();
    }
  }
}
