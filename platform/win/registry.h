// The registry: keys and typed values in one file per hive under the
// application-data folder ("vesk/registry/HKEY_CURRENT_USER.reg"...),
// rewritten atomically on every change and read again when another process
// changed it. Key paths use "\" and match without regard to case; leading,
// trailing and doubled "\" are ignored.
//
// A few keys answer from this system itself and are not stored: the open
// command of HTML pages under HKEY_CLASSES_ROOT ("htmlfile\shell\open\command",
// default value `xdg-open "%1"`) and the user's "Shell Folders" under
// HKEY_CURRENT_USER. A stored value of the same name takes precedence.
//
// Sections: the API | TRegistry | TRegIniFile | TRegistryIniFile
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/inifiles.h"
#include "platform/win/kernel.h"

class TStrings;

// ---- the API ----------------------------------------------------------------

using REGSAM = DWORD;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(uintptr_t{0x80000000});
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001});
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002});
inline const HKEY HKEY_USERS = reinterpret_cast<HKEY>(uintptr_t{0x80000003});
inline const HKEY HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(uintptr_t{0x80000005});

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_QWORD = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key; ERROR_FILE_NOT_FOUND when there is none. A key
// opened without KEY_SET_VALUE refuses writes with ERROR_ACCESS_DENIED.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result);
// Opens a key, creating it (and its parents) when missing.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, const char* keyClass, DWORD options,
                     REGSAM access, const SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
// The Windows buffer contract: with `data` null, `size` receives the size;
// a buffer too small gives ERROR_MORE_DATA and the size needed. Null or ""
// names the key's default value.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data, DWORD* size);
// Stores `size` bytes as they are (string values include their NUL); at most 1 MiB.
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, const char* valueName);
// Deletes a key without subkeys; ERROR_ACCESS_DENIED when it has some.
LONG RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a key with all its subkeys and values.
LONG RegDeleteTreeA(HKEY key, const char* subKey);
LONG RegCloseKey(HKEY key);

// The file that holds a hive (for tests and diagnostics).
std::string RegistryHiveFile(HKEY root);

// ---- TRegistry --------------------------------------------------------------

RTL_DECLARE_EXCEPTION(ERegistryException, Exception);

// The framework's registry object: one current key below RootKey.
class TRegistry {
public:
  explicit TRegistry(REGSAM access = KEY_ALL_ACCESS);
  virtual ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  void SetRootKey(HKEY root);
  const std::string& CurrentPath() const { return currentPath_; }

  // A path starting with "\" is taken from the root, else from the current key.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key);
  bool DeleteKey(const std::string& key);  // with its subkeys
  bool ValueExists(const std::string& name);
  bool DeleteValue(const std::string& name);

  // A missing value reads as ""; a value of another type raises
  // ERegistryException "Invalid data type for '%s'".
  std::string ReadString(const std::string& name);
  void WriteString(const std::string& name, const std::string& value);
  // A missing value or one of another type raises ERegistryException.
  int32_t ReadInteger(const std::string& name);
  void WriteInteger(const std::string& name, int32_t value);
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  // The names of the current key's subkeys and values (sorted without regard to case).
  void GetKeyNames(TStrings& strings);
  void GetValueNames(TStrings& strings);

protected:
  // The path of `key` relative to the root ("\" form), after the rules of OpenKey.
  std::string AbsolutePath(const std::string& key) const;
  HKEY CurrentKey() const { return current_; }

private:
  void WriteValue(const std::string& name, DWORD type, const void* data, DWORD size);

  HKEY root_ = HKEY_CURRENT_USER;
  HKEY current_ = nullptr;
  std::string currentPath_;
  REGSAM access_;
};

// ---- TRegIniFile ------------------------------------------------------------

// The registry read as an ini file: the key opened (created) at construction
// is the file, its subkeys are the sections and their values the entries.
class TRegIniFile : public TRegistry {
public:
  explicit TRegIniFile(const std::string& fileName, REGSAM access = KEY_ALL_ACCESS);

  const std::string& FileName() const { return fileName_; }
  std::string ReadString(const std::string& section, const std::string& ident, const std::string& defaultValue);
  void WriteString(const std::string& section, const std::string& ident, const std::string& value);
  // A string entry that reads as a number counts as one, as does an integer entry.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  void EraseSection(const std::string& section);
  void DeleteKey(const std::string& section, const std::string& ident);
  void ReadSection(const std::string& section, TStrings& strings);  // entry names
  void ReadSections(TStrings& strings);                              // section names

private:
  std::string SectionPath(const std::string& section) const;
  std::string fileName_;
  std::string filePath_;
};

// ---- TRegistryIniFile -------------------------------------------------------

// A TCustomIniFile over the registry (a TRegIniFile under HKEY_CURRENT_USER),
// so that code written for ini files can keep its settings there.
class TRegistryIniFile : public TCustomIniFile {
public:
  explicit TRegistryIniFile(const std::string& fileName, REGSAM access = KEY_ALL_ACCESS);
  ~TRegistryIniFile() override;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const std::string& section, TStrings& strings) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  void UpdateFile() override {}  // every write is stored at once

  TRegIniFile& RegIniFile() { return *regIniFile_; }

private:
  std::unique_ptr<TRegIniFile> regIniFile_;
};
