// What the codec tests share: files read whole, outside tools run in a
// shell, and a fixture with the image library started, a folder of its own
// for the test's files and a progress record with its abort flag.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_registry.h"

namespace codectest {

inline std::string ReadAll(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void Shell(const std::string& command) { ASSERT_EQ(std::system(command.c_str()), 0) << command; }

class CodecTest : public ::testing::Test {
protected:
  void SetUp() override {
    IELibraryInitialize();
    IEInitializeImageryIO();
    dir_ = std::filesystem::temp_directory_path() /
           ("vesk-codec-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    progress_.Aborting = &abort_;
  }
  void TearDown() override {
    std::filesystem::remove_all(dir_);
    IEFinalizeImageryIO();
    IELibraryFinalize();
  }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  // Runs the command in the test's folder.
  void InDir(const std::string& command) { Shell("cd " + dir_.string() + " && " + command); }

  std::filesystem::path dir_;
  std::atomic<bool> abort_{false};
  TIEProgressRecord progress_;
};

}  // namespace codectest
