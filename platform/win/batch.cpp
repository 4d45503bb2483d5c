#include "platform/win/batch.h"

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <vector>

#include "platform/win/process.h"

namespace {
BatchProgramRunner& ProgramRunner() {
  static BatchProgramRunner runner;
  return runner;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

std::string Lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t put = ::write(fd, text.data(), text.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    text.remove_prefix(static_cast<size_t>(put));
  }
}

// True when `line` starts with the built-in `word` followed by its end, a
// blank or (for echo) one of the separators that cmd accepts.
bool StartsWithWord(const std::string& line, std::string_view word, std::string_view separators) {
  if (line.size() < word.size() || Lower(line.substr(0, word.size())) != word) return false;
  return line.size() == word.size() || separators.find(line[word.size()]) != std::string_view::npos;
}

class Interpreter {
public:
  explicit Interpreter(const BatchOptions& options) : options_(options) {}

  int Run(std::string_view script) {
    size_t start = 0;
    while (start <= script.size()) {
      size_t end = script.find('\n', start);
      std::string_view line = script.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      RunLine(line);
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
    return exitCode_;
  }

private:
  void RunLine(std::string_view raw) {
    std::string line = Trim(raw);
    bool quiet = false;
    size_t at = 0;  // past the "@" marks and the blanks after each
    while (at < line.size() && line[at] == '@') {
      quiet = true;
      ++at;
      while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    }
    line.erase(0, at);
    if (line.empty() || StartsWithWord(line, "rem", " \t")) return;
    if (echo_ && !quiet) WriteAll(options_.outputFd, line + "\n");
    if (StartsWithWord(line, "echo", " \t.:;,=")) {
      Echo(line.substr(4));
      return;
    }
    RunCommand(line);
  }

  void Echo(const std::string& rest) {
    std::string word = Lower(Trim(rest));
    if (word == "off" || word == "on") {
      echo_ = word == "on";
    } else if (rest.empty() || Trim(rest).empty()) {
      WriteAll(options_.outputFd, echo_ ? "ECHO is on.\n" : "ECHO is off.\n");
    } else {
      WriteAll(options_.outputFd, rest.substr(1) + "\n");  // the separator is not echoed
    }
  }

  void RunCommand(const std::string& line) {
    auto argv = SplitCommandLine(line);
    if (argv.empty()) return;
    if (IsBatchFileName(argv[0])) {
      int code = RunBatchFile(argv[0], options_);
      exitCode_ = code < 0 ? BatchCommandNotFound : code;
      if (code < 0) NotFound(argv[0]);
      return;
    }
    const std::optional<int> code = Start(argv);
    if (!code) {
      NotFound(argv[0]);
      exitCode_ = BatchCommandNotFound;
      return;
    }
    exitCode_ = *code;
  }

  // Runs a program and waits for it: its exit code, none when it could not start.
  std::optional<int> Start(const std::vector<std::string>& argv) {
    if (const BatchProgramRunner& runner = ProgramRunner()) {
      const int code = runner(argv);
      return code < 0 ? std::nullopt : std::optional<int>(code);
    }
    pid_t pid = SpawnProgram(argv, {options_.newProcessGroup, options_.outputFd, options_.currentDirectory});
    if (pid < 0) return std::nullopt;
    return WaitForChild(pid);
  }

  void NotFound(const std::string& program) {
    WriteAll(STDERR_FILENO, "'" + program + "' is not recognized as an internal or external command,\n"
                            "operable program or batch file.\n");
  }

  BatchOptions options_;
  bool echo_ = true;
  int exitCode_ = 0;
};
}  // namespace

void SetBatchProgramRunner(BatchProgramRunner runner) { ProgramRunner() = std::move(runner); }

int RunBatchScript(std::string_view script, const BatchOptions& options) {
  return Interpreter(options).Run(script);
}

namespace {
// Batch files are short scripts; anything larger is refused unread.
constexpr std::streamoff maxBatchFileSize = 1 << 20;
// Batch files that run batch files nest this deep at most.
constexpr int maxBatchNesting = 16;
thread_local int batchNesting = 0;
}  // namespace

int RunBatchFile(const std::string& fileName, const BatchOptions& options) {
  std::ifstream in(fileName, std::ios::binary | std::ios::ate);
  if (!in) {
    errno = ENOENT;
    return -1;
  }
  std::streamoff size = in.tellg();
  if (size < 0 || size > maxBatchFileSize || batchNesting >= maxBatchNesting) {
    errno = size > maxBatchFileSize ? EFBIG : ELOOP;
    return -1;
  }
  std::string text(static_cast<size_t>(size), '\0');
  in.seekg(0);
  if (!in.read(text.data(), size)) {
    errno = EIO;
    return -1;
  }
  ++batchNesting;
  int code = RunBatchScript(text, options);
  --batchNesting;
  return code;
}
