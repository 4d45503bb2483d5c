// Helpers of the image core tests: a private temporary folder, files as
// byte strings, and running an outside program as a judge.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempFolder {
public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vesk-core-XXXXXX").string();
    if (char* made = ::mkdtemp(pattern.data())) path_ = made;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The folder with a trailing delimiter, as the library's temporary folder setting wants it.
  std::string Folder() const { return path_ + "/"; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  size_t Count() const {
    size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(path_)) ++n;
    return n;
  }

private:
  std::string path_;
};

inline void WriteFile(const std::string& fileName, const std::string& bytes) {
  std::ofstream(fileName, std::ios::binary) << bytes;
}

inline std::string ReadFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a shell command; its exit status.
inline int RunCommand(const std::string& command) { return std::system(command.c_str()); }

// Decodes a file through one of Ghostscript's decode filters
// ("ASCII85Decode", "RunLengthDecode"); the decoded bytes, or "<failed>".
inline std::string GhostscriptDecode(const TempFolder& folder, const std::string& filter, const std::string& encoded) {
  const std::string in = folder.File("encoded"), out = folder.File("decoded");
  WriteFile(in, encoded);
  std::filesystem::remove(out);
  const std::string program = "/in (" + in + ") (r) file /" + filter + " filter def /out (" + out +
                              ") (w) file def { in read not { exit } if out exch write } loop out closefile quit";
  if (RunCommand("gs -q -dNOSAFER -dNODISPLAY -dBATCH -c '" + program + "' >/dev/null 2>&1") != 0) return "<failed>";
  return ReadFile(out);
}
