// Small fixtures shared by the kernel, shell and registry tests: a temporary
// folder removed afterwards and an environment variable restored afterwards.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <unistd.h>

struct TempFolder {
  std::filesystem::path path;
  explicit TempFolder(const std::string& parent = std::filesystem::temp_directory_path().string()) {
    std::string pattern = parent + "/vesk-test-XXXXXX";
    path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string operator/(const std::string& name) const { return (path / name).string(); }
  std::string str() const { return path.string(); }
};

// Sets (or with no value, removes) a variable for the scope.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      ::setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string name_;
  std::optional<std::string> old_;
};

inline void WriteText(const std::string& fileName, const std::string& text) {
  std::ofstream(fileName, std::ios::binary) << text;
}

inline std::string ReadText(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}
