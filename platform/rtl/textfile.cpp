#include "platform/rtl/textfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"

TextFile::~TextFile() {
  if (file_) std::fclose(file_);
}

bool TextFile::Fail(int32_t code) {
  if (code == 0) code = EIO;
  if (ioChecks_) throw EInOutError(code);
  SetIOResult(code);
  return false;
}

bool TextFile::Require(Mode mode) { return mode_ == mode || Fail(EBADF); }

void TextFile::Assign(const std::string& fileName) {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
    mode_ = Mode::Closed;
  }
  fileName_ = fileName;
}

void TextFile::Open(const char* how, int flags, Mode mode) {
  Assign(fileName_);
  if (fileName_.empty()) {
    Fail(ENOENT);
    return;
  }
  const int fd = open(fileName_.c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) {
    Fail(errno);
    return;
  }
  file_ = fdopen(fd, how);
  if (!file_) {
    const int code = errno;
    close(fd);
    Fail(code);
    return;
  }
  mode_ = mode;
}

void TextFile::Rewrite() { Open("w", O_WRONLY | O_CREAT | O_TRUNC, Mode::Writing); }
void TextFile::Append() { Open("a", O_WRONLY | O_APPEND, Mode::Writing); }
void TextFile::Reset() { Open("r", O_RDONLY, Mode::Reading); }

void TextFile::Write(const std::string& text) {
  if (!Require(Mode::Writing)) return;
  errno = 0;
  if (std::fwrite(text.data(), 1, text.size(), file_) != text.size()) Fail(errno);
}

void TextFile::Writeln(const std::string& text) { Write(text + "\r\n"); }

std::string TextFile::Readln() {
  std::string line;
  if (!Require(Mode::Reading)) return line;
  int c;
  while ((c = std::getc(file_)) != EOF && c != '\n') line += static_cast<char>(c);
  if (std::ferror(file_)) {
    Fail(EIO);
    return {};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

bool TextFile::Eof() {
  if (mode_ != Mode::Reading) return true;
  const int c = std::getc(file_);
  if (c == EOF) return true;
  std::ungetc(c, file_);
  return false;
}

void TextFile::Flush() {
  if (!Require(Mode::Writing)) return;
  errno = 0;
  if (std::fflush(file_) != 0) Fail(errno);
}

void TextFile::Close() {
  if (!file_) {
    Fail(EBADF);
    return;
  }
  errno = 0;
  const bool ok = std::fclose(file_) == 0;
  const int code = errno;
  file_ = nullptr;
  mode_ = Mode::Closed;
  if (!ok) Fail(code);
}
