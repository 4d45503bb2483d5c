#include "platform/rtl/inifiles.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <filesystem>
#include <memory>
#include <random>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"
#include "temp_folder.h"

namespace {

std::vector<std::string> ItemsOf(const TStrings& list) {
  std::vector<std::string> items;
  for (int32_t i = 0; i < list.Count(); ++i) items.push_back(list.Strings(i));
  return items;
}
using Items = std::vector<std::string>;

const char* const kSettings =
    "; user settings\r\n"
    "[Directories]\r\n"
    "TARGET=/home/u/Pictures\r\n"
    "\r\n"
    "[Settings]\r\n"
    "CAMERA = My \"Cam\" \r\n"
    "TYPE=3\r\n"
    "log_check=1\r\n"
    "Empty=\r\n"
    "\r\n"
    "[settings]\r\n"
    "TYPE=99\r\n";

// Runs each check against both kinds of ini file.
TFormatSettings WithSeparator(char separator) {
  TFormatSettings settings = InvariantFormatSettings();
  settings.DecimalSeparator = separator;
  settings.ThousandSeparator = separator == ',' ? '.' : ',';
  return settings;
}

std::vector<std::unique_ptr<TCustomIniFile>> BothKinds(const std::string& fileName) {
  std::vector<std::unique_ptr<TCustomIniFile>> files;
  files.push_back(std::make_unique<TIniFile>(fileName));
  files.push_back(std::make_unique<TMemIniFile>(fileName));
  return files;
}

}  // namespace

TEST(IniFile, ReadsMatchSectionsAndKeysWithoutCase) {
  TempFolder folder;
  std::string name = folder / "vesk.ini";
  std::ofstream(name, std::ios::binary) << kSettings;
  for (auto& ini : BothKinds(name)) {
    EXPECT_EQ(ini->ReadString("directories", "target", "x"), "/home/u/Pictures");
    EXPECT_EQ(ini->ReadString("SETTINGS", "camera", ""), "My \"Cam\"");  // trimmed, quotes kept
    EXPECT_EQ(ini->ReadInteger("Settings", "type", 0), 3);  // the first section of the name
    EXPECT_EQ(ini->ReadString("Settings", "Empty", "default"), "");  // present, though empty
    EXPECT_EQ(ini->ReadString("Settings", "missing", "default"), "default");
    EXPECT_EQ(ini->ReadString("Nowhere", "TYPE", "d"), "d");
    EXPECT_TRUE(ini->SectionExists("DIRECTORIES"));
    EXPECT_FALSE(ini->SectionExists("Nowhere"));
    EXPECT_TRUE(ini->ValueExists("settings", "LOG_CHECK"));
    EXPECT_FALSE(ini->ValueExists("settings", "nothing"));

    TStringList list;
    ini->ReadSections(list);
    EXPECT_EQ(ItemsOf(list), (Items{"Directories", "Settings"}));
    ini->ReadSection("settings", list);
    EXPECT_EQ(ItemsOf(list), (Items{"CAMERA", "TYPE", "log_check", "Empty"}));
    ini->ReadSectionValues("Directories", list);
    EXPECT_EQ(ItemsOf(list), (Items{"TARGET=/home/u/Pictures"}));
  }
}

TEST(IniFile, MissingFileGivesDefaultsAndIsNotCreatedByReading) {
  TempFolder folder;
  std::string name = folder / "none.ini";
  for (auto& ini : BothKinds(name)) {
    EXPECT_EQ(ini->ReadString("S", "K", "Camera"), "Camera");
    EXPECT_EQ(ini->ReadInteger("S", "K", 2), 2);
    EXPECT_DOUBLE_EQ(ini->ReadFloat("S", "K", 1.0), 1.0);
    EXPECT_TRUE(ini->ReadBool("S", "K", true));
    TStringList list;
    list.Add("stale");
    ini->ReadSections(list);
    EXPECT_EQ(list.Count(), 0);
  }
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(IniFile, NumbersReadTheirDefaultWhenUnreadable) {
  struct Case {
    std::string text;
    int32_t value;
  };
  const Case cases[] = {
      {"12", 12},         {"-5", -5},          {"+7", 7},          {"$1F", 31},
      {"0x1f", 31},       {"0X10", 16},        {"-$10", -16},      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},     {"2147483648", -99},
      {"$100000000", -99}, {"abc", -99},       {"12abc", -99},     {"", -99},
      {"0x", -99},        {"1.5", -99},        {"--1", -99},
  };
  TempFolder folder;
  std::string name = folder / "n.ini";
  for (const Case& c : cases) {
    std::ofstream(name, std::ios::binary) << "[S]\nV=" + c.text + "\n";
    TMemIniFile ini(name);
    EXPECT_EQ(ini.ReadInteger("S", "V", -99), c.value) << c.text;
  }

  struct FloatCase {
    std::string text;
    char separator;
    double value;
  };
  const FloatCase floats[] = {
      {"1.25", '.', 1.25},  {"1,25", ',', 1.25},   {"1,25", '.', -1},  // written under another locale
      {"1.25", ',', -1},    {"-2.5E3", '.', -2500}, {"3", '.', 3},     {".5", '.', 0.5},
      {"inf", '.', -1},     {"nan", '.', -1},      {"0x1p3", '.', -1}, {"", '.', -1},
      {"1.2.3", '.', -1},
  };
  for (const FloatCase& c : floats) {
    std::ofstream(name, std::ios::binary) << "[S]\nV=" + c.text + "\n";
    TMemIniFile ini(name);
    EXPECT_DOUBLE_EQ(ini.ReadFloat("S", "V", -1, WithSeparator(c.separator)), c.value)
        << c.text << " with " << c.separator;
  }

  // Without settings, the user's locale decides.
  std::ofstream(name, std::ios::binary) << "[S]\nV=1,5\n";
  {
    TFormatSettingsOverride comma(WithSeparator(','));
    EXPECT_DOUBLE_EQ(TMemIniFile(name).ReadFloat("S", "V", -1), 1.5);
  }
  {
    TFormatSettingsOverride point(WithSeparator('.'));
    EXPECT_DOUBLE_EQ(TMemIniFile(name).ReadFloat("S", "V", -1), -1);
  }

  std::ofstream(name, std::ios::binary) << "[S]\nOn=1\nOff=0\nTwo=2\nWord=true\n";
  TMemIniFile ini(name);
  EXPECT_TRUE(ini.ReadBool("S", "On", false));
  EXPECT_FALSE(ini.ReadBool("S", "Off", true));
  EXPECT_TRUE(ini.ReadBool("S", "Two", false));
  EXPECT_FALSE(ini.ReadBool("S", "Word", false));  // not a number: the default
}

TEST(IniFile, NumbersAreWrittenInTheirShortestForm) {
  struct Case {
    double value;
    char separator;
    std::string text;
  };
  const Case cases[] = {
      {1.0, '.', "1"},       {0.5, '.', "0.5"},     {0.5, ',', "0,5"},      {1e20, '.', "1E20"},
      {1e-5, '.', "1E-5"},   {-2500, '.', "-2500"}, {0.1, '.', "0.1"},      {1.0 / 3, '.', "0.333333333333333"},
  };
  TempFolder folder;
  TMemIniFile ini(folder / "f.ini");
  for (const Case& c : cases) {
    ini.WriteFloat("S", "V", c.value, WithSeparator(c.separator));
    EXPECT_EQ(ini.ReadString("S", "V", ""), c.text);
    EXPECT_NEAR(ini.ReadFloat("S", "V", -1, WithSeparator(c.separator)), c.value, 1e-14 * (1 + std::abs(c.value)));
  }
  ini.WriteInteger("S", "I", -42);
  ini.WriteBool("S", "B", true);
  EXPECT_EQ(ini.ReadString("S", "I", ""), "-42");
  EXPECT_EQ(ini.ReadString("S", "B", ""), "1");
}

TEST(IniFile, WritesChangeOnlyTheirLine) {
  TempFolder folder;
  std::string name = folder / "vesk.ini";
  std::ofstream(name, std::ios::binary) << kSettings;
  TIniFile ini(name);
  ini.WriteString("settings", "type", "4");      // replaced where it stands, key spelling kept
  ini.WriteString("Directories", "REFERENCE", "/docs");  // after the section's last entry
  ini.WriteString("New", "Key", "v");            // a new section at the end
  ini.WriteString("Settings", "CAMERA", "My \"Cam\"");  // unchanged value
  EXPECT_EQ(ReadAll(name),
            "; user settings\r\n"
            "[Directories]\r\n"
            "TARGET=/home/u/Pictures\r\n"
            "REFERENCE=/docs\r\n"
            "\r\n"
            "[Settings]\r\n"
            "CAMERA = My \"Cam\" \r\n"
            "TYPE=4\r\n"
            "log_check=1\r\n"
            "Empty=\r\n"
            "\r\n"
            "[settings]\r\n"
            "TYPE=99\r\n"
            "\r\n"
            "[New]\r\n"
            "Key=v\r\n");

  ini.DeleteKey("SETTINGS", "log_check");
  ini.EraseSection("directories");
  ini.EraseSection("settings");  // every section of the name
  EXPECT_EQ(ReadAll(name), "; user settings\r\n[New]\r\nKey=v\r\n");
}

TEST(IniFile, FileBytesAndLineBreaksAreKept) {
  TempFolder folder;
  std::string name = folder / "bytes.ini";
  // A byte-order mark, LF and lone CR breaks, 8-bit and UTF-8 text, no final break.
  std::ofstream(name, std::ios::binary) << "\xEF\xBB\xBF[A]\nx=caf\xE9\rY=\xC3\xA9t\xC3\xA9";
  TIniFile ini(name);
  EXPECT_EQ(ini.ReadString("a", "x", ""), "caf\xE9");
  EXPECT_EQ(ini.ReadString("a", "y", ""), "\xC3\xA9t\xC3\xA9");
  ini.WriteString("A", "x", "th\xE9");
  EXPECT_EQ(ReadAll(name), "\xEF\xBB\xBF[A]\nx=th\xE9\nY=\xC3\xA9t\xC3\xA9");
}

TEST(IniFile, LineBreaksInAValueCannotStartNewLines) {
  TempFolder folder;
  std::string name = folder / "inject.ini";
  TIniFile ini(name);
  ini.WriteString("S", "K", "a\r\n[Other]\r\nk=v");
  TIniFile again(name);
  EXPECT_FALSE(again.SectionExists("Other"));
  EXPECT_EQ(again.ReadString("S", "K", ""), "a  [Other]  k=v");
}

TEST(IniFile, EveryWriteReachesTheFileAtOnce) {
  TempFolder folder;
  std::string name = folder / "shared.ini";
  TIniFile first(name);
  TIniFile second(name);
  first.WriteInteger("S", "A", 1);
  EXPECT_EQ(second.ReadInteger("S", "A", 0), 1);
  second.WriteInteger("S", "B", 2);  // sees A, so A survives
  first.WriteInteger("S", "C", 3);   // sees B, so B survives
  TMemIniFile check(name);
  EXPECT_EQ(check.ReadInteger("S", "A", 0) + check.ReadInteger("S", "B", 0) + check.ReadInteger("S", "C", 0), 6);
}

TEST(IniFile, FailedWritesRaiseAndNeverDamageTheFile) {
  TempFolder folder;
  std::string blocker = folder / "plain-file";
  std::ofstream(blocker, std::ios::binary) << "x";
  std::string unreachable = blocker + "/vesk.ini";  // its folder is a file
  TIniFile ini(unreachable);
  try {
    ini.WriteString("S", "K", "v");
    FAIL();
  } catch (const EIniFileException& e) {
    EXPECT_EQ(e.Message(), "Unable to write to " + unreachable);
  }
  EXPECT_EQ(ini.ReadString("S", "K", "default"), "default");  // the failed write is not kept

  // A file too large to be an ini file is neither read nor replaced.
  std::string huge = folder / "huge.ini";
  std::ofstream(huge, std::ios::binary) << "[S]\nK=1\n";
  ASSERT_EQ(::truncate(huge.c_str(), 80 << 20), 0);
  for (auto& big : BothKinds(huge)) EXPECT_EQ(big->ReadString("S", "K", "d"), "d");
  TIniFile direct(huge);
  EXPECT_THROW(direct.WriteString("S", "K", "2"), EIniFileException);
  EXPECT_THROW(direct.EraseSection("S"), EIniFileException);
  TMemIniFile held(huge);
  held.WriteString("S", "K", "2");
  EXPECT_THROW(held.UpdateFile(), EIniFileException);
  EXPECT_EQ(std::filesystem::file_size(huge), uintmax_t{80} << 20);
}

TEST(IniFile, WritesGoThroughASymbolicLinkAndKeepPermissions) {
  TempFolder folder;
  std::string real = folder / "real.ini";
  std::string link = folder / "link.ini";
  std::ofstream(real, std::ios::binary) << "[S]\nK=1\n";
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
  TIniFile ini(link);
  ini.WriteString("S", "K", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadAll(real), "[S]\nK=2\n");
  struct stat info {};
  ASSERT_EQ(::stat(real.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 2);
}

TEST(MemIniFile, ChangesStayInMemoryUntilUpdateFile) {
  TempFolder folder;
  std::string name = folder / "lang.ini";
  std::ofstream(name, std::ios::binary) << "[S]\nA=1\n";
  TMemIniFile ini(name);
  ini.WriteString("S", "B", "2");
  ini.DeleteKey("S", "A");
  EXPECT_EQ(ReadAll(name), "[S]\nA=1\n");
  ini.UpdateFile();
  EXPECT_EQ(ReadAll(name), "[S]\nB=2\n");
}

TEST(MemIniFile, LanguageFileTextThroughStrings) {
  TStringList text;
  text.SetText(
      "orphan=ignored\n"
      "  [Language Info]  \n"
      "  languagename =  Deutsch \n"
      "; a comment=not a key\n"
      "[constants]\n"
      "lng_MsgBtnOK=OK\n"
      "@SOpenError = Fehler\\nbeim \\t\xC3\x96" "ffnen\n");
  TMemIniFile ini("");
  ini.SetStrings(text);
  EXPECT_EQ(ini.ReadString("language info", "LanguageName", ""), "Deutsch");
  TStringList values;
  ini.ReadSectionValues("Constants", values);
  EXPECT_EQ(ItemsOf(values), (Items{"lng_MsgBtnOK=OK", "@SOpenError=Fehler\\nbeim \\t\xC3\x96" "ffnen"}));
  TStringList sections;
  ini.ReadSections(sections);
  EXPECT_EQ(ItemsOf(sections), (Items{"Language Info", "constants"}));
  TStringList back;
  ini.GetStrings(back);
  EXPECT_EQ(back.Count(), text.Count());
  ini.Clear();
  ini.ReadSections(sections);
  EXPECT_EQ(sections.Count(), 0);
}

// Listing the sections of a file with very many of them takes time in
// proportion to the file, and still names each once, without case.
TEST(MemIniFile, ManySectionsAreListedOnce) {
  std::string text;
  for (int i = 0; i < 300000; ++i) text += "[s" + std::to_string(i) + "]\n";
  text += "[S7]\n[s299999]\n";
  TStringList lines;
  lines.SetText(text);
  TMemIniFile ini("");
  ini.SetStrings(lines);
  TStringList sections;
  ini.ReadSections(sections);
  ASSERT_EQ(sections.Count(), 300000);
  EXPECT_EQ(sections.Strings(7), "s7");
}

TEST(IniFile, AnyFileCanBeReadAndWrittenTo) {
  // Random text of the bytes that matter to the format: reading never fails,
  // and a value written is read back while every other entry stays readable.
  const std::string alphabet = "[]=; \r\nabAB\xC3";
  std::mt19937 random(5);
  TempFolder folder;
  std::string name = folder / "random.ini";
  for (int round = 0; round < 300; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 80); n > 0; --n) text += alphabet[random() % alphabet.size()];
    std::ofstream(name, std::ios::binary) << text;

    TMemIniFile before(name);
    TStringList sections, values;
    before.ReadSections(sections);
    TIniFile ini(name);
    ini.WriteString("b", "new key", "value");
    ASSERT_EQ(ini.ReadString("B", "NEW KEY", ""), "value") << testing::PrintToString(text);
    TMemIniFile after(name);
    for (int32_t s = 0; s < sections.Count(); ++s) {
      std::string section = sections.Strings(s);
      before.ReadSectionValues(section, values);
      for (int32_t i = 0; i < values.Count(); ++i) {
        std::string key = values.Names(i);
        if (SameText(section, "b") && SameText(key, "new key")) continue;
        ASSERT_EQ(after.ReadString(section, key, "<lost>"), before.ReadString(section, key, "?"))
            << testing::PrintToString(text) << " [" << section << "] " << key;
      }
    }
  }
}

TEST(IniFile, ReadOnlyFileIsNotReplaced) {
  // Its folder would allow a rename over it; the file's own protection wins.
  TempFolder folder;
  std::string name = folder / "locked.ini";
  std::ofstream(name, std::ios::binary) << "[S]\nK=1\n";
  ASSERT_EQ(::chmod(folder.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
  auto attempt = [&] {
    if (::geteuid() == 0 && ::setuid(65534) != 0) std::_Exit(2);  // root may write anything
    try {
      TIniFile(name).WriteString("S", "K", "2");
    } catch (const EIniFileException&) {
      std::_Exit(ReadAll(name) == "[S]\nK=1\n" ? 0 : 3);
    }
    std::_Exit(4);
  };
  EXPECT_EXIT(attempt(), testing::ExitedWithCode(0), "");
}

TEST(IniFile, WriteThatRunsOutOfSpaceKeepsTheOldFile) {
  TempFolder folder;
  std::string name = folder / "full.ini";
  const std::string original = "[Settings]\nCAMERA=Camera\n";
  std::ofstream(name, std::ios::binary) << original;
  auto attempt = [&] {
    // Files may not grow past 64 bytes: the new contents cannot be written.
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {64, 64};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) std::_Exit(2);
    try {
      TIniFile(name).WriteString("Settings", "DESCRIPTION", std::string(100, 'd'));
    } catch (const EIniFileException&) {
      std::_Exit(ReadAll(name) == original ? 0 : 3);
    }
    std::_Exit(4);
  };
  EXPECT_EXIT(attempt(), testing::ExitedWithCode(0), "");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);  // no leftovers
}
