// Small fixtures shared by the kernel, shell and registry tests: the
// run-time library tests' temporary folder, an environment variable restored
// afterwards and a file written in one call.
#pragma once

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>

#include "tests/platform/rtl/temp_folder.h"

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
