// The registry's hive-file parser: each input is written as the current
// user's hive (in a private configuration folder) and read back through the
// registry functions.
#include <stdlib.h>
#include <unistd.h>

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

// Reads every key's values, a few levels down.
void Walk(TRegistry& reg, const std::string& path, int depth) {
  if (depth > 3 || !reg.OpenKeyReadOnly(path)) return;
  TStringList keys, values;
  reg.GetValueNames(values);
  for (int i = 0; i < values.Count() && i < 16; ++i) reg.ReadString(values.Strings(i));
  reg.GetKeyNames(keys);
  for (int i = 0; i < keys.Count() && i < 16; ++i) Walk(reg, path + "\\" + keys.Strings(i), depth + 1);
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
    TRegistry reg;
    reg.SetRootKey(HKEY_CURRENT_USER);
    Walk(reg, "\\", 0);
  } catch (const Exception&) {
    // Values of another type than asked raise.
  }
  return 0;
}
