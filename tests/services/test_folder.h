// Test helpers on top of the shared temporary folder: files written below it
// with their folders, and environment variables set for a scope.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "tests/platform/rtl/temp_folder.h"

// Writes a file below the folder, making its missing folders; returns its
// full name.
inline std::string WriteBelow(const TempFolder& folder, const std::string& name, const std::string& bytes = "data") {
  std::filesystem::create_directories(std::filesystem::path(folder / name).parent_path());
  return folder.Write(name, bytes);
}

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      had_ = true;
      old_ = old;
    }
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, old_.c_str(), 1);
    else
      ::unsetenv(name_);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};
