#include "platform/win/registry.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "platform/rtl/stringlist.h"
#include "tests/platform/win/kernel_test_support.h"

namespace fs = std::filesystem;

namespace {
// Every test gets hives of its own in a fresh application-data folder.
struct RegistryFixture : ::testing::Test {
  TempFolder config;
  ScopedEnv configHome{"XDG_CONFIG_HOME", config.Path()};

  static LONG SetString(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
  }
  // The value as the upgrader reads it: a 1024-byte buffer, text up to the first NUL.
  static std::string ReadString(HKEY root, const char* subKey, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return "<no key>";
    char buffer[1024] = {};
    DWORD size = sizeof buffer, type = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_SZ ? std::string(buffer) : "<no value>";
  }
};
}  // namespace

TEST_F(RegistryFixture, ValuesRoundTripThroughTheHiveFile) {
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vesk\\Test", 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(SetString(key, "Name", "a=b [c] %d\nline"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(key, nullptr, "default"), ERROR_SUCCESS);
  DWORD number = 0xDEADBEEF;
  EXPECT_EQ(RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4), ERROR_SUCCESS);
  const BYTE binary[] = {0, 1, 2, 255};
  EXPECT_EQ(RegSetValueExA(key, "Bytes", 0, REG_BINARY, binary, 4), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(fs::exists(RegistryHiveFile(HKEY_CURRENT_USER)));
  EXPECT_EQ(RegistryHiveFile(HKEY_CURRENT_USER), config / "vesk/registry/HKEY_CURRENT_USER.reg");

  // Reopened (paths and names without regard to case, stray delimiters ignored).
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\software\\VESK\\\\test\\", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD type = 0, size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 16u);
  char small[4];
  size = sizeof small;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 16u);
  char text[64];
  size = sizeof text;
  EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
  EXPECT_STREQ(text, "a=b [c] %d\nline");
  BYTE bytes[8];
  size = sizeof bytes;
  EXPECT_EQ(RegQueryValueExA(key, "BYTES", nullptr, &type, bytes, &size), ERROR_SUCCESS);
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(std::memcmp(bytes, binary, 4), 0);
  EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  // Opened for reading only: writes are refused.
  EXPECT_EQ(SetString(key, "Name", "x"), ERROR_ACCESS_DENIED);
  RegCloseKey(key);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\Vesk\\Test", ""), "default");

  // Another writer replaces the file: its content is read again.
  std::string file = RegistryHiveFile(HKEY_CURRENT_USER);
  std::string content = ReadAll(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  WriteText(file + ".new", content + "[Software\\Other]\nWho=1:" + "4D6500\n");
  fs::rename(file + ".new", file);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\Other", "Who"), "Me");
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, "Software\\Vesk\\Test", "Name"), "a=b [c] %d\nline");
}

TEST_F(RegistryFixture, DeletingValuesAndKeys) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetString(key, "v", "1");
  EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A\\B"), ERROR_ACCESS_DENIED);  // has a subkey
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "a\\b"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A\\B\\C", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CURRENT_USER, "A"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryFixture, SystemAnswers) {
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "\\htmlfile\\shell\\open\\command", nullptr), "xdg-open \"%1\"");
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\htmlfile\\shell\\open\\command"));
  EXPECT_EQ(reg.ReadString(""), "xdg-open \"%1\"");
  EXPECT_FALSE(reg.OpenKeyReadOnly("\\txtfile\\shell\\open\\command"));

  const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, shellFolders, "AppData"), config.Path());
  // A stored value replaces the system's answer; the answers are not written to the file.
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, shellFolders, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetString(key, "Personal", "/data/docs");
  RegCloseKey(key);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, shellFolders, "Personal"), "/data/docs");
  std::string stored = ReadAll(RegistryHiveFile(HKEY_CURRENT_USER));
  EXPECT_EQ(stored.find("AppData"), std::string::npos) << stored;
}

TEST_F(RegistryFixture, DamagedHiveFileKeepsItsGoodLines) {
  std::string file = RegistryHiveFile(HKEY_LOCAL_MACHINE);
  fs::create_directories(fs::path(file).parent_path());
  WriteText(file, std::string("\x01\xFF garbage\n[Good]\nok=1:4F4B00\nbad=1:4F4\nodd=x:00\n=99999999999:00\n"
                              "[%ZZ]\nlost=1:00\n[Good\\Sub%5D]\nz=4:01000000\nnoequals\n") +
                      "huge=3:" + std::string(3 << 20, 'A') + "\n");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Good", "ok"), "OK");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Good", "bad"), "<no value>");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Good\\Sub]", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "huge", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

// One header line naming a key a million levels deep (each level is a key
// of its own) must neither exhaust the stack nor the memory; the rest of the
// file still loads.
TEST_F(RegistryFixture, HiveFileWithAbsurdlyDeepKeyLoadsTheRest) {
  std::string file = RegistryHiveFile(HKEY_LOCAL_MACHINE);
  fs::create_directories(fs::path(file).parent_path());
  std::string deep;
  for (int i = 0; i < 1000000; ++i) deep += "k\\";
  WriteText(file, "[" + deep + "]\nv=4:01000000\n[Good]\nok=1:4F4B00\n");
  EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, "Good", "ok"), "OK");
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "k\\k\\k", 0, KEY_READ, &key), ERROR_SUCCESS);
}

TEST_F(RegistryFixture, TRegistryTypedValues) {
  TRegistry reg;
  EXPECT_EQ(reg.RootKey(), HKEY_CURRENT_USER);
  ASSERT_TRUE(reg.OpenKey("\\Software\\Vesk", true));
  ASSERT_TRUE(reg.OpenKey("Sub", true));  // relative to the current key
  EXPECT_EQ(reg.CurrentPath(), "Software\\Vesk\\Sub");
  reg.WriteString("Text", "Grüße");
  reg.WriteInteger("Count", -5);
  reg.WriteBool("Flag", true);
  EXPECT_EQ(reg.ReadString("Text"), "Grüße");
  EXPECT_EQ(reg.ReadInteger("Count"), -5);
  EXPECT_TRUE(reg.ReadBool("Flag"));
  EXPECT_EQ(reg.ReadString("Missing"), "");
  EXPECT_THROW(reg.ReadInteger("Missing"), ERegistryException);
  EXPECT_THROW(reg.ReadString("Count"), ERegistryException);
  EXPECT_TRUE(reg.ValueExists("TEXT"));
  EXPECT_TRUE(reg.DeleteValue("Text"));
  EXPECT_FALSE(reg.ValueExists("Text"));
  EXPECT_TRUE(reg.KeyExists("\\Software\\Vesk\\Sub"));
  reg.CloseKey();
  EXPECT_TRUE(reg.DeleteKey("\\Software\\Vesk"));
  EXPECT_FALSE(reg.KeyExists("\\Software\\Vesk\\Sub"));

  TRegistry readOnly;
  ASSERT_TRUE(readOnly.OpenKey("\\Software", false));
  readOnly.CloseKey();
  ASSERT_TRUE(readOnly.OpenKeyReadOnly("\\Software"));
  EXPECT_THROW(readOnly.WriteString("x", "y"), ERegistryException);
}

TEST_F(RegistryFixture, RegIniFileSectionsAreSubkeys) {
  {
    TRegIniFile ini("Software\\Vesk\\Edits");
    EXPECT_EQ(ini.ReadString("Edit1", "Last", "none"), "none");
    ini.WriteString("Edit1", "Last", "C:/x");
    ini.WriteInteger("Form", "Left", -120);
    ini.WriteString("Form", "Bad", "12px");
  }
  TRegIniFile ini("Software\\Vesk\\Edits");
  EXPECT_EQ(ini.ReadString("Edit1", "Last", "none"), "C:/x");
  EXPECT_EQ(ini.ReadInteger("Form", "Left", 0), -120);
  EXPECT_EQ(ini.ReadInteger("Form", "Bad", 7), 7);
  EXPECT_EQ(ini.ReadInteger("Form", "Missing", 9), 9);
  ini.DeleteKey("Form", "Left");
  EXPECT_EQ(ini.ReadInteger("Form", "Left", 3), 3);
  ini.EraseSection("Edit1");
  EXPECT_EQ(ini.ReadString("Edit1", "Last", "gone"), "gone");
  EXPECT_EQ(ini.ReadString("Form", "Bad", ""), "12px");
}

// Position persistence keeps integers through the ini-file interface either
// in an ini file or, as here, in the registry.
TEST_F(RegistryFixture, RegistryIniFileServesIniFileCode) {
  {
    std::unique_ptr<TCustomIniFile> ini = std::make_unique<TRegistryIniFile>("Software\\Vesk\\Panels");
    ini->WriteInteger("Panel1", "Left", 10);
    ini->WriteInteger("Panel1", "Top", -4);
    ini->WriteString("Panel2", "State", "collapsed");
    ini->UpdateFile();
  }
  TRegistryIniFile ini("Software\\Vesk\\Panels");
  EXPECT_EQ(ini.ReadInteger("Panel1", "Left", 0), 10);
  EXPECT_EQ(ini.ReadInteger("Panel1", "Top", 0), -4);
  EXPECT_EQ(ini.ReadInteger("Panel1", "Width", 99), 99);
  TStringList list;
  ini.ReadSections(list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(0), "Panel1");
  EXPECT_EQ(list.Strings(1), "Panel2");
  ini.ReadSection("Panel1", list);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(0), "Left");
  ini.ReadSectionValues("Panel2", list);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Strings(0), "State=collapsed");
  EXPECT_TRUE(ini.SectionExists("Panel2"));
  ini.EraseSection("Panel2");
  EXPECT_FALSE(ini.SectionExists("Panel2"));
  ini.ReadSection("Missing", list);
  EXPECT_EQ(list.Count(), 0);

  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey("\\Software\\Vesk\\Panels\\Panel1", false));
  EXPECT_EQ(reg.ReadString("Left"), "10");  // stored as text, as ini files hold it
}
