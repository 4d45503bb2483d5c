#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "tests/app/profile_road.h"

namespace fs = std::filesystem;

namespace {

struct FakeRoad : ProfileRoad {
  FakeRoad() {
    bin = LayFakeToolkit(folders.ProgramFolder);
  }
  void Run() {
    TProfileCreator creator(dialogs, folders);
    creator.UserFormat = InvariantFormatSettings();
    creator.CreateBtnClick(choices);
    options = creator.Options();
    saved = creator.SavedProfileName();
  }
  bool Ran(const char* tool) const { return fs::exists(bin + tool + ".args"); }
  std::vector<std::string> TestFolders() const {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(ExtractFileDir(choices.ImageFileName)))
      if (e.path().filename().string().starts_with("testdir_")) found.push_back(e.path().string());
    return found;
  }

  std::string bin;
  TProfileOptions options;
  std::string saved;
};

// Sets a file attribute (chattr) for its lifetime: "i" immutable, "a"
// append-only; these hold for root too.
class Attribute {
public:
  Attribute(std::string path, const char* flag) : path_(std::move(path)), flag_(flag) {
    ok_ = std::system(("chattr +" + flag_ + " '" + path_ + "'").c_str()) == 0;
  }
  ~Attribute() { std::system(("chattr -" + flag_ + " '" + path_ + "'").c_str()); }
  bool ok() const { return ok_; }

private:
  std::string path_, flag_;
  bool ok_ = false;
};

// Files in the photo's folder under every name the write test may draw.
void TakeEveryTestFolderName(FakeRoad& r) {
  for (int i = 0; i < 10000; ++i) WriteBelow(r.t, "photos here/testdir_" + std::to_string(i), "");
}

LoggedMessage Info(const std::string& text) { return {text, "", pmkInformationDialog}; }
LoggedMessage Box(const std::string& text) { return {text, "VeSk - Tundrel", pmkMessageBox}; }
LoggedMessage Plain(const std::string& text) { return {text, "", pmkPlainMessage}; }

}  // namespace

TEST(ProfileRoad, DefaultRequestWritesBothBatchFilesAndSavesTheProfile) {
  FakeRoad r;
  r.dialogs.SaveAnswer = r.t / "color/saved profile.icm";
  r.Run();

  const std::string pf = r.folders.ProgramFolder, wf = r.folders.WorkFolder;
  EXPECT_EQ(wf, r.t / "tmp/vesk-" + std::to_string(getuid()) + "/");
  EXPECT_EQ(ReadAll(r.bin + "scanin.bat"),
            "@echo off\r\n\"" + pf + "argyll/bin/scanin\" -v \"" + wf + "chart photo.tif\" \"" + pf +
                "argyll/ref/ColorChecker.cht\" \"" + r.choices.ReferenceFileName + "\"\r\n");
  EXPECT_EQ(ReadAll(r.bin + "colprof.bat"),
            "@echo off\r\n\"" + pf + "argyll/bin/colprof\" -v -A\"Camera\" -M\"Model\" -D\"VeSk\" "
            "-C\"Copyright_free\" -qh -ag -Z p \"" + wf + "chart photo\"\r\n");
  EXPECT_EQ(ReadAll(wf + "proc.bat"), ReadAll(r.bin + "colprof.bat"));

  ASSERT_EQ(r.dialogs.SaveDialogs.size(), 1u);
  const TProfileSaveDialog& d = r.dialogs.SaveDialogs[0];
  EXPECT_EQ(d.FileName, "");
  EXPECT_EQ(d.InitialDir, r.folders.ColorFolder);
  EXPECT_EQ(d.DefaultExt, "*.icm");
  EXPECT_EQ(d.Filter, "ICC Profile File (*.icm)|*.icm");
  EXPECT_EQ(d.Title, "Save Profile");
  EXPECT_EQ(r.dialogs.Messages, std::vector{Info("ICC Profile saved to:\r\r" + r.t / "color/")});
  EXPECT_EQ(r.saved, r.dialogs.SaveAnswer);
  EXPECT_EQ(ReadAll(r.saved), ValidProfile());
  EXPECT_EQ(ReadAll(wf + "chart photo.tif"), TiffBytes());
  EXPECT_EQ(fs::status(ExcludeTrailingPathDelimiter(wf)).permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_TRUE(r.TestFolders().empty());
}

// A JPEG or PNG photo (whatever its name says) reaches the toolkit as a
// TIFF of the same pixels in the work folder.
TEST(ProfileRoad, JpegAndPngPhotosReachTheToolkitAsTiff) {
  struct Case {
    const char* name;
    const char* make;    // the photo from photo.ppm
    const char* decode;  // the photo back to PNM, as its own tools see it
  };
  const Case cases[] = {
      {"chart photo.jpg", "cjpeg -quality 95", "djpeg -pnm"},
      {"chart photo.png", "pnmtopng", "pngtopnm"},
      {"chart photo.tiff", "cjpeg", "djpeg -pnm"},  // a JPEG under a TIFF name
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRoad r;
    r.dialogs.SaveAnswer = r.t / "color/saved.icm";
    const std::string folder = r.t / "photos here/";
    ASSERT_EQ(std::system(("cd '" + folder + "' && /usr/bin/convert -size 40x30 gradient:orange-teal -depth 8 "
                           "photo.ppm && " + c.make + " photo.ppm > '" + c.name + "'").c_str()), 0);
    r.choices.ImageFileName = folder + c.name;
    r.Run();
    const std::string copy = r.folders.WorkFolder + "chart photo.tif";
    EXPECT_EQ(r.dialogs.Messages, std::vector{Info("ICC Profile saved to:\r\r" + r.t / "color/")});
    EXPECT_NE(ReadAll(r.bin + "scanin.args").find(copy + "\n"), std::string::npos);
    ASSERT_TRUE(IsTiffFile(copy));
    const std::string decoded = r.t / "decoded.pnm", fromTiff = r.t / "tiff.pnm";
    ASSERT_EQ(std::system((std::string(c.decode) + " '" + folder + c.name + "' > '" + decoded + "' && tifftopnm -quiet '" +
                           copy + "' > '" + fromTiff + "'").c_str()), 0);
    EXPECT_EQ(ReadAll(fromTiff), ReadAll(decoded));
  }
}

TEST(ProfileRoad, FullyOptionedRequestQuotesEveryText) {
  FakeRoad r;
  r.choices.PhotoHeight = 100;  // the least height taken
  r.choices.GammaText = "1,8";
  r.choices.Perspective = true;
  r.choices.WhitePoint = 1.1;
  r.choices.DarkAreas = 1.5;
  r.choices.TypeIndex = 13;
  r.choices.AlgorithmIndex = 3;
  r.choices.IntentIndex = 3;
  r.choices.QualityIndex = 3;
  r.choices.Device = "My \"Best\" Cam";
  r.choices.Model = "Model X";
  r.choices.Description = "";
  r.choices.Copyright = "(c) me";
  r.dialogs.SaveAnswer = r.t / "color/p.icm";

  TProfileCreator creator(r.dialogs, r.folders);
  TFormatSettings comma = InvariantFormatSettings();
  comma.DecimalSeparator = ',';
  creator.UserFormat = comma;
  creator.CreateBtnClick(r.choices);

  const std::string pf = r.folders.ProgramFolder, wf = r.folders.WorkFolder;
  EXPECT_EQ(ReadAll(r.bin + "scanin.bat"),
            "@echo off\r\n\"" + pf + "argyll/bin/scanin\" -v -G 1.8 -p \"" + wf + "chart photo.tif\" \"" + pf +
                "argyll/ref/SpyderChecker.cht\" \"" + r.choices.ReferenceFileName + "\"\r\n");
  EXPECT_EQ(ReadAll(r.bin + "colprof.bat"),
            "@echo off\r\n\"" + pf + "argyll/bin/colprof\" -v -A\"My \\\"Best\\\" Cam\" -M\"Model X\" -D\"VeSk\" "
            "-C\"(c) me\" -qu -as -Z a -U 1.1 -V 1.5 \"" + wf + "chart photo\"\r\n");
  // What the toolkit received, one argument a line.
  EXPECT_EQ(ReadAll(r.bin + "colprof.args"), "-v\n-AMy \"Best\" Cam\n-MModel X\n-DVeSk\n-C(c) me\n-qu\n-as\n"
                                             "-Z\na\n-U\n1.1\n-V\n1.5\n" + wf + "chart photo\n");
  EXPECT_EQ(ReadAll(r.bin + "scanin.args"), "-v\n-G\n1.8\n-p\n" + wf + "chart photo.tif\n" + pf +
                                                "argyll/ref/SpyderChecker.cht\n" + r.choices.ReferenceFileName + "\n");
  EXPECT_EQ(r.choices.Description, "VeSk");
}

TEST(ProfileRoad, ChecksStopTheRequestInOrder) {
  struct Case {
    const char* name;
    void (*setup)(FakeRoad&);
    std::vector<LoggedMessage> messages;
  };
  const LoggedMessage selectTarget = Info("Please select valid target image.");
  const LoggedMessage selectReference = Info("Please select reference file.");
  const LoggedMessage noRights =
      Box("ERROR! Please make sure that the user have sufficient rights to process the image file in the current "
          "folder or the folder is not read-only.");
  const Case cases[] = {
      {"photo under 100 pixels", [](FakeRoad& r) { r.choices.PhotoHeight = 99; }, {selectTarget}},
      {"no photo",
       [](FakeRoad& r) {
         r.choices.PhotoHeight = 1;
         r.choices.ImageFileName = "";
         r.choices.ReferenceFileName = "";
       },
       {selectTarget}},
      {"missing reference", [](FakeRoad& r) { r.choices.ReferenceFileName = r.t / "refs/none.cie"; },
       {selectReference}},
      {"reference is a folder", [](FakeRoad& r) { r.choices.ReferenceFileName = r.t / "refs"; }, {selectReference}},
      {"missing reference and photo file gone",
       [](FakeRoad& r) {
         r.choices.ReferenceFileName = "";
         fs::remove(r.choices.ImageFileName);
       },
       {selectReference}},
      {"photo file gone", [](FakeRoad& r) { fs::remove(r.choices.ImageFileName); }, {}},
      {"photo is no TIFF", [](FakeRoad& r) { WriteBelow(r.t, "photos here/chart photo.tif", "\xFF\xD8\xFF\xE0 JPEG"); },
       {Info(TProfileMessages().NotTiff)}},
      {"photo folder takes no new folder", TakeEveryTestFolderName, {noRights}},
      {"photo file gone and its folder takes no new folder",
       [](FakeRoad& r) {
         fs::remove(r.choices.ImageFileName);
         TakeEveryTestFolderName(r);
       },
       {}},
  };
  for (const Case& c : cases) {
    FakeRoad r;
    r.choices.TypeIndex = 1;
    r.choices.Description = "";
    c.setup(r);
    r.Run();
    EXPECT_EQ(r.dialogs.Messages, c.messages) << c.name;
    EXPECT_EQ(r.options.ChartFileName, "ColorCheckerSG.cht") << c.name << ": options are built on every press";
    EXPECT_FALSE(fs::exists(r.folders.WorkFolder)) << c.name;
    EXPECT_FALSE(r.Ran("scanin")) << c.name;
    EXPECT_EQ(r.choices.Description, "") << c.name;
  }
}

TEST(ProfileRoad, LineBreaksNeverReachTheBatchFile) {
  struct Case {
    const char* name;
    void (*setup)(FakeRoad&);
  };
  const Case cases[] = {
      {"photo name",
       [](FakeRoad& r) {
         r.choices.ImageFileName = WriteBelow(r.t, "photos here/chart\nphoto.tif", TiffBytes());
       }},
      {"reference's folder",
       [](FakeRoad& r) { r.choices.ReferenceFileName = WriteBelow(r.t, "refs/a\n/usr/bin/touch x.cie", "ref"); }},
      {"profile text", [](FakeRoad& r) { r.choices.Copyright = "(c)\n/usr/bin/touch x"; }},
  };
  for (const Case& c : cases) {
    FakeRoad r;
    c.setup(r);
    r.Run();
    EXPECT_EQ(r.dialogs.Messages, std::vector{Info(TProfileMessages().LineBreak)}) << c.name;
    EXPECT_FALSE(fs::exists(r.folders.WorkFolder)) << c.name;
    EXPECT_FALSE(r.Ran("scanin")) << c.name;
    EXPECT_TRUE(r.TestFolders().empty()) << c.name;
  }
}

TEST(ProfileRoad, WorkFolderProblemsStopTheRequest) {
  const TProfileMessages m;
  {
    // The temporary folder is missing: the work folder cannot be created.
    FakeRoad r;
    fs::remove(r.t / "tmp");
    r.Run();
    EXPECT_EQ(r.dialogs.Messages, std::vector{Plain("Directory creation failed with error 2")});
    EXPECT_FALSE(r.Ran("scanin"));
    EXPECT_TRUE(r.TestFolders().empty());
  }
  {
    // A file holds the work folder's name.
    FakeRoad r;
    WriteBelow(r.t, "tmp/vesk-" + std::to_string(getuid()), "");
    r.Run();
    EXPECT_EQ(r.dialogs.Messages, std::vector{Plain("Directory creation failed with error 17")});
    EXPECT_FALSE(r.Ran("scanin"));
  }
  {
    // A link in place of the work folder is refused and left alone.
    FakeRoad r;
    WriteBelow(r.t, "elsewhere/keep.ti3", "keep");
    fs::create_directory_symlink(r.t / "elsewhere", ExcludeTrailingPathDelimiter(r.folders.WorkFolder));
    r.Run();
    EXPECT_EQ(r.dialogs.Messages,
              std::vector{Box(m.WorkFolderRefused + "\r\r" + ExcludeTrailingPathDelimiter(r.folders.WorkFolder))});
    EXPECT_EQ(ReadAll(r.t / "elsewhere/keep.ti3"), "keep");
    EXPECT_TRUE(fs::is_symlink(ExcludeTrailingPathDelimiter(r.folders.WorkFolder)));
    EXPECT_FALSE(r.Ran("scanin"));
  }
  if (getuid() == 0) {
    // Another user's folder is refused too.
    FakeRoad r;
    fs::create_directory(r.folders.WorkFolder);
    ASSERT_EQ(::chown(r.folders.WorkFolder.c_str(), 65534, 65534), 0);
    r.Run();
    ASSERT_EQ(r.dialogs.Messages.size(), 1u);
    EXPECT_EQ(r.dialogs.Messages[0].text.rfind(m.WorkFolderRefused, 0), 0u);
    EXPECT_FALSE(r.Ran("scanin"));
  }
}

TEST(ProfileRoad, AnOldWorkFolderThatStaysIsNeverReused) {
  if (getuid() != 0) GTEST_SKIP() << "needs an immutable folder, which only root can make";
  FakeRoad r;
  WriteBelow(r.t, "tmp/vesk-" + std::to_string(getuid()) + "/chart photo.ti3", "stale");
  // Neither the trash nor a deletion can take it away.
  Attribute immutable(ExcludeTrailingPathDelimiter(r.folders.WorkFolder), "i");
  ASSERT_TRUE(immutable.ok());
  r.Run();
  EXPECT_EQ(r.dialogs.Messages, std::vector{Plain("Directory creation failed with error 17")});
  EXPECT_FALSE(r.Ran("scanin"));
  EXPECT_TRUE(r.dialogs.SaveDialogs.empty());
}

TEST(ProfileRoad, ATestFolderThatStaysIsReportedAtTheEnd) {
  if (getuid() != 0) GTEST_SKIP() << "needs an append-only folder, which only root can make";
  FakeRoad r;
  r.dialogs.SaveAnswer = r.t / "color/p.icm";
  // New folders can be made beside the photo, but none removed.
  {
    Attribute appendOnly(ExtractFileDir(r.choices.ImageFileName), "a");
    ASSERT_TRUE(appendOnly.ok());
    try {
      r.Run();
      ADD_FAILURE() << "no I/O error";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Message(), "I/O error " + std::to_string(EPERM));
    }
  }
  EXPECT_EQ(r.TestFolders().size(), 1u);
  // The profile was saved before.
  EXPECT_EQ(ReadAll(r.dialogs.SaveAnswer), ValidProfile());
  EXPECT_EQ(r.dialogs.Messages, std::vector{Info("ICC Profile saved to:\r\r" + r.t / "color/")});
}

TEST(ProfileRoad, OldResultsGoToTheTrash) {
  FakeRoad r;
  WriteBelow(r.t, "tmp/vesk-" + std::to_string(getuid()) + "/chart photo.ti3", "stale");
  fs::create_directory(r.bin + "scanin.fail");
  r.Run();
  // The stale patch file went to the trash, so the failed reading shows.
  EXPECT_EQ(r.dialogs.Messages, std::vector{Info("ERROR extracting RGB values. Cannot continue. Check if the target "
                                                  "type selection is correct.")});
  EXPECT_EQ(ReadAll(r.t / "data/Trash/files/chart photo.ti3"), "stale");
  EXPECT_TRUE(r.Ran("scanin"));
  EXPECT_FALSE(r.Ran("colprof"));
  EXPECT_TRUE(r.dialogs.SaveDialogs.empty());
}

TEST(ProfileRoad, WhatTheToolkitLeavesDecidesTheSave) {
  const TProfileMessages m;
  {
    // colprof failed and left an empty file: no save dialog, no saved profile.
    FakeRoad r;
    WriteBelow(r.t, "program folder/argyll/bin/result.icc", "");
    r.dialogs.SaveAnswer = r.t / "color/p.icm";
    r.Run();
    EXPECT_EQ(r.dialogs.Messages, std::vector{Info(m.ProfileFailed + "\r\r" + r.folders.WorkFolder)});
    EXPECT_TRUE(r.dialogs.SaveDialogs.empty());
    EXPECT_FALSE(fs::exists(r.dialogs.SaveAnswer));
    EXPECT_EQ(r.saved, "");
  }
  {
    // A ".icm" is taken before a ".icc".
    FakeRoad r;
    WriteBelow(r.t, "program folder/argyll/bin/result.icm", ValidProfile(7));
    r.dialogs.SaveAnswer = r.t / "color/p.icm";
    r.Run();
    EXPECT_EQ(ReadAll(r.dialogs.SaveAnswer), ValidProfile(7));
  }
  {
    // Cancelled save dialog: nothing saved, nothing said.
    FakeRoad r;
    r.Run();
    EXPECT_EQ(r.dialogs.SaveDialogs.size(), 1u);
    EXPECT_TRUE(r.dialogs.Messages.empty());
    EXPECT_EQ(r.saved, "");
    EXPECT_TRUE(r.TestFolders().empty());
  }
}

TEST(ProfileRoad, ProfileValidity) {
  TempFolder t;
  std::string truncated = ValidProfile().substr(0, 130);
  std::string wrongSize = ValidProfile();
  wrongSize[3] = 100;
  std::string noSignature = ValidProfile();
  noSignature[36] = 'x';
  struct Case {
    std::string bytes;
    bool valid;
  };
  const Case cases[] = {{ValidProfile(), true}, {"", false},          {truncated, false},
                        {wrongSize, false},     {noSignature, false}, {std::string(127, 'a'), false}};
  for (const Case& c : cases) EXPECT_EQ(IsValidIccProfile(WriteBelow(t, "p.icc", c.bytes)), c.valid) << c.bytes.size();
  EXPECT_FALSE(IsValidIccProfile(t / "missing.icc"));
}

TEST(ProfileRoad, FreeSpaceOnThePhotosAndTheWorkFoldersFileSystems) {
  ProfileRoad r;
  // A sparse photo of 3 MB: 6 MB are required.
  ASSERT_EQ(::truncate(r.choices.ImageFileName.c_str(), 3 << 20), 0);
  r.folders.WorkFolder = "/dev/shm/vesk-none/";
  const std::string photoDrive = ExtractFileDrive(r.choices.ImageFileName);
  const std::string workDrive = ExtractFileDrive(r.folders.WorkFolder);
  ASSERT_NE(photoDrive, workDrive);

  struct Case {
    int64_t photoFree, workFree;
    bool enough;
    const char* message;
  };
  const int64_t required = 6 << 20;
  const Case cases[] = {
      {required + 1, required + 1, true, nullptr},
      {required, required + 1, false, "Not enough space on the disk. Free space: 6.00MB. Required minimum space: 6.00MB"},
      {required + 1, 1 << 20, false, "Not enough space on the disk. Free space: 1.00MB. Required minimum space: 6.00MB"},
      {-1, required + 1, false, "Not enough space on the disk. Free space: 0.00MB. Required minimum space: 6.00MB"},
  };
  for (const Case& c : cases) {
    r.dialogs.Messages.clear();
    TProfileCreator creator(r.dialogs, r.folders);
    creator.UserFormat = InvariantFormatSettings();
    std::vector<std::string> asked;
    creator.DriveFreeSpace = [&](const std::string& drive) {
      asked.push_back(drive);
      return drive == photoDrive ? c.photoFree : c.workFree;
    };
    EXPECT_EQ(creator.CheckFreeSpace(r.choices.ImageFileName), c.enough) << c.photoFree;
    if (c.message)
      EXPECT_EQ(r.dialogs.Messages, std::vector{Box(c.message)});
    else
      EXPECT_TRUE(r.dialogs.Messages.empty());
    EXPECT_EQ(asked.front(), photoDrive);
    EXPECT_EQ(asked.size(), c.enough || c.photoFree > required ? 2u : 1u);
  }

  // Without a work folder only the photo's file system counts.
  {
    TProfileFolders noWork = r.folders;
    noWork.WorkFolder = "";
    TProfileCreator creator(r.dialogs, noWork);
    std::vector<std::string> asked;
    creator.DriveFreeSpace = [&](const std::string& drive) {
      asked.push_back(drive);
      return required + 1;
    };
    EXPECT_TRUE(creator.CheckFreeSpace(r.choices.ImageFileName));
    EXPECT_EQ(asked, std::vector{photoDrive});
  }

  // The real drive information, and a missing photo that says nothing.
  TProfileCreator creator(r.dialogs, r.folders);
  r.dialogs.Messages.clear();
  EXPECT_TRUE(creator.CheckFreeSpace(r.choices.ImageFileName));
  EXPECT_FALSE(creator.CheckFreeSpace(r.t / "gone.tif"));
  EXPECT_TRUE(r.dialogs.Messages.empty());
  EXPECT_GT(GetDriveFreeSpace(photoDrive), 0);
  EXPECT_EQ(GetDriveFreeSpace(r.t / "no/such"), -1);
  EXPECT_EQ(GetFileSize(r.choices.ImageFileName), 3 << 20);
  ASSERT_EQ(::truncate(r.choices.ImageFileName.c_str(), int64_t{3} << 30), 0);
  EXPECT_EQ(GetFileSize(r.choices.ImageFileName), int64_t{3} << 30) << "sizes beyond 32 bits";
  EXPECT_EQ(GetFileSize(r.t / "gone.tif"), -1);
}

TEST(ProfileRoad, TweakRangeChecks) {
  ProfileRoad r;
  TProfileCreator creator(r.dialogs, r.folders);
  struct Case {
    bool whitePoint;
    double value;
    bool reset;
  };
  const Case cases[] = {
      {true, 0.49, true},  {true, 0.5, false},  {true, 1.5, false},  {true, 1.51, true},  {true, 0, true},
      {false, 0.99, true}, {false, 1.0, false}, {false, 3.0, false}, {false, 3.01, true}, {false, 0, true},
  };
  for (const Case& c : cases) {
    r.dialogs.Messages.clear();
    EXPECT_EQ(c.whitePoint ? creator.WP_spinKeyUp(c.value) : creator.dark_spinKeyUp(c.value), c.reset) << c.value;
    std::vector<LoggedMessage> expected;
    if (c.reset)
      expected.push_back(Box(c.whitePoint ? "White Point value outside valid parameters. Resetting back to 1.00"
                                          : "Dark Areas emphasis value outside valid parameters. Resetting back to 1.00"));
    EXPECT_EQ(r.dialogs.Messages, expected) << c.value;
  }
  EXPECT_FALSE(TProfileCreator::TweakOffNorm(1.0));
  EXPECT_TRUE(TProfileCreator::TweakOffNorm(1.01));
}

TEST(ProfileRoad, ProgramsThatCannotStart) {
  ProfileRoad r;
  TProfileCreator creator(r.dialogs, r.folders);
  creator.RunAndWait("\"" + r.t / "no such program\" -v", true);
  EXPECT_EQ(r.dialogs.Messages, std::vector{Box("Unable to run program.")});
  r.dialogs.Messages.clear();
  creator.RunAndWait("/bin/true", true);
  EXPECT_TRUE(r.dialogs.Messages.empty());
}

TEST(ProfileRoad, FileCopyReportsStreamErrors) {
  TempFolder t;
  const std::string source = WriteBelow(t, "a.bin", std::string(200000, 'x'));
  FileCopy(source, t / "b.bin");
  EXPECT_EQ(ReadAll(t / "b.bin"), std::string(200000, 'x'));
  // Over a longer file, and an empty source.
  WriteBelow(t, "long.bin", std::string(300000, 'y'));
  FileCopy(source, t / "long.bin");
  EXPECT_EQ(ReadAll(t / "long.bin"), std::string(200000, 'x'));
  FileCopy(WriteBelow(t, "empty.bin", ""), t / "long.bin");
  EXPECT_EQ(ReadAll(t / "long.bin"), "");
  try {
    FileCopy(t / "missing", t / "c.bin");
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + t / "missing" + "\". " + SysErrorMessage(ENOENT));
  }
  try {
    FileCopy(source, t / "no/folder/c.bin");
    FAIL();
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + t / "no/folder/c.bin" + "\". " + SysErrorMessage(ENOENT));
  }
}
