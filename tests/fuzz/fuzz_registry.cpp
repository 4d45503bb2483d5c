// The registry's hive-file parser: each input is written as the current
// user's hive (in a private configuration folder) and read back through the
// registry functions, every value by its stored type (strings, integers,
// binary data); then values are written into it and the hive saved back
// and read again.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/stringlist.h"
#include "platform/win/registry.h"

namespace {

std::string HiveFile() {
  static const std::string file = [] {
    std::string home = "/tmp/vesk-fuzz-registry-" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    std::string f = RegistryHiveFile(HKEY_CURRENT_USER);
    std::filesystem::create_directories(std::filesystem::path(f).parent_path());
    return f;
  }();
  return file;
}

// Reads one value as its stored type says, through the buffer contract.
void ReadValue(TRegistry& reg, const std::string& path, const std::string& name) {
  try {
    reg.ReadString(name);
  } catch (const Exception&) {
    // Not a string.
  }
  try {
    reg.ReadInteger(name);
  } catch (const Exception&) {
    // Not an integer.
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str() + (path[0] == '\\'), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && size <= (1u << 20)) {
    std::string data(size, '\0');
    RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    DWORD small = size / 2;
    RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &small);
  }
  RegCloseKey(key);
}

// Reads every key's values, a few levels down.
void Walk(TRegistry& reg, const std::string& path, int depth) {
  if (depth > 3 || !reg.OpenKeyReadOnly(path)) return;
  TStringList keys, values;
  reg.GetValueNames(values);
  for (int i = 0; i < values.Count() && i < 16; ++i) ReadValue(reg, path, values.Strings(i));
  reg.GetKeyNames(keys);
  for (int i = 0; i < keys.Count() && i < 16; ++i) Walk(reg, path + "\\" + keys.Strings(i), depth + 1);
}

// Writes values of every type beside what the hive holds, which saves the hive back.
void WriteBack(const uint8_t* data, size_t size) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CURRENT_USER);
  if (!reg.OpenKey("\\Software\\Fuzz", true)) return;
  const std::string text(reinterpret_cast<const char*>(data), std::min<size_t>(size, 64));
  reg.WriteString(text, text);
  reg.WriteInteger("n" + text, static_cast<int32_t>(size));
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Fuzz", 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
    RegSetValueExA(key, "binary", 0, REG_BINARY, data, static_cast<DWORD>(std::min<size_t>(size, 4096)));
    RegSetValueExA(key, "short dword", 0, REG_DWORD, data, static_cast<DWORD>(std::min<size_t>(size, 3)));
    RegCloseKey(key);
  }
  reg.CloseKey();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = HiveFile();
  const std::string temp = file + ".new";
  FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::rename(temp.c_str(), file.c_str());
  try {
    {
      TRegistry reg;
      reg.SetRootKey(HKEY_CURRENT_USER);
      Walk(reg, "\\", 0);
    }
    WriteBack(data, size);
    TRegistry again;
    again.SetRootKey(HKEY_CURRENT_USER);
    Walk(again, "\\", 0);
  } catch (const Exception&) {
    // Values of another type than asked raise.
  }
  return 0;
}
