// Text files in the framework's style: assign a name, open for writing,
// appending or reading, write and read lines, close.
//
// Lines are written with CR LF (batch files and logs read by other
// programs expect it); reading accepts CR LF and LF. Every failure raises
// EInOutError "I/O error %d" with an errno-style code, unless I/O checks are
// off: then the operation does nothing and IOResult() reports the code.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

class TextFile {
public:
  TextFile() = default;
  explicit TextFile(const std::string& fileName) : fileName_(fileName) {}
  TextFile(const TextFile&) = delete;
  TextFile& operator=(const TextFile&) = delete;
  ~TextFile();

  // Names the file; a file still open is closed first.
  void Assign(const std::string& fileName);
  // Creates the file or empties an existing one, for writing.
  void Rewrite();
  // Opens an existing file for writing at its end (ENOENT when missing).
  void Append();
  // Opens an existing file for reading.
  void Reset();
  void Write(const std::string& text);
  // Writes the text and CR LF.
  void Writeln(const std::string& text = std::string());
  // Reads the next line without its end; "" at the end of the file.
  std::string Readln();
  // True when no more characters can be read (or the file is not open for reading).
  bool Eof();
  // Hands buffered text to the system.
  void Flush();
  // Flushes and closes; closing a closed file is an error (EBADF).
  void Close();

  bool IsOpen() const { return file_ != nullptr; }
  const std::string& FileName() const { return fileName_; }
  // Off: failures set IOResult instead of raising (the {$I-} style).
  void SetIOChecks(bool on) { ioChecks_ = on; }
  bool IOChecks() const { return ioChecks_; }

private:
  enum class Mode { Closed, Reading, Writing };
  void Open(const char* how, int flags, Mode mode);
  // Raises or records the code; returns false so callers can stop.
  bool Fail(int32_t code);
  bool Require(Mode mode);

  std::string fileName_;
  FILE* file_ = nullptr;
  Mode mode_ = Mode::Closed;
  bool ioChecks_ = true;
};

// The framework's routine names over TextFile.
inline void AssignFile(TextFile& f, const std::string& fileName) { f.Assign(fileName); }
inline void Rewrite(TextFile& f) { f.Rewrite(); }
inline void Append(TextFile& f) { f.Append(); }
inline void Reset(TextFile& f) { f.Reset(); }
inline void Write(TextFile& f, const std::string& text) { f.Write(text); }
inline void Writeln(TextFile& f, const std::string& text = std::string()) { f.Writeln(text); }
inline void Readln(TextFile& f, std::string& line) { line = f.Readln(); }
inline bool Eof(TextFile& f) { return f.Eof(); }
inline void Flush(TextFile& f) { f.Flush(); }
inline void CloseFile(TextFile& f) { f.Close(); }
