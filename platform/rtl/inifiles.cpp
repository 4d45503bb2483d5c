#include "platform/rtl/inifiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"

namespace {

// A larger file is not taken for an ini file: it is neither read nor replaced.
constexpr int64_t kMaxIniFileSize = 64 << 20;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Line breaks inside a name or value would start new lines of the file.
std::string OneLine(std::string_view s) {
  std::string line(s);
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

[[noreturn]] void RaiseIniWriteError(const std::string& fileName) {
  throw EIniFileException("Unable to write to " + fileName);
}

struct Line {
  enum Kind { kOther, kSection, kEntry } kind = kOther;
  std::string name;   // section name or key
  std::string value;  // entry value
};

Line Classify(const std::string& raw) {
  std::string s = Trim(raw);
  Line line;
  if (s.empty() || s.front() == ';') return line;
  if (s.front() == '[' && s.back() == ']' && s.size() >= 2) {
    line.kind = Line::kSection;
    line.name = Trim(s.substr(1, s.size() - 2));
    return line;
  }
  size_t eq = s.find('=');
  if (eq == std::string::npos) return line;
  line.kind = Line::kEntry;
  line.name = Trim(s.substr(0, eq));
  line.value = Trim(s.substr(eq + 1));
  return line;
}

// What identifies a file's contents on disk; equal signatures mean unchanged.
struct FileSignature {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified = 0;
  bool operator==(const FileSignature&) const = default;
};

FileSignature SignatureOf(const std::string& fileName) {
  FileSignature sig;
  struct stat info {};
  if (::stat(fileName.c_str(), &info) != 0) return sig;
  sig.exists = true;
  sig.device = info.st_dev;
  sig.inode = info.st_ino;
  sig.size = info.st_size;
  sig.modified = int64_t{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
  return sig;
}

bool WriteAllTo(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Where a write lands: the target of a symbolic link, else the name itself.
std::string WriteTarget(const std::string& fileName) {
  struct stat info {};
  if (::lstat(fileName.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* resolved = ::realpath(fileName.c_str(), nullptr)) {
      std::string target(resolved);
      std::free(resolved);
      return target;
    }
  }
  return fileName;
}

// Replaces the file's contents: a temporary file beside it is written whole,
// then renamed over it, so the file holds either its old or its new text.
// A folder that refuses new files therefore refuses the write.
void SaveFileAtomically(const std::string& fileName, const std::string& bytes) {
  std::string target = WriteTarget(fileName);
  struct stat old {};
  bool existed = ::stat(target.c_str(), &old) == 0;
  // A read-only file stays protected, though its folder would let us replace it.
  if (existed && ::access(target.c_str(), W_OK) != 0) RaiseIniWriteError(fileName);
  std::string temp = target + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) RaiseIniWriteError(fileName);
  bool ok = WriteAllTo(fd, bytes) && ::fchmod(fd, existed ? (old.st_mode & 07777) : 0644) == 0 && ::fsync(fd) == 0;
  if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()))
    (void)!::fchown(fd, old.st_uid, old.st_gid);  // keeps the owner where allowed; failing it is harmless
  if (::close(fd) != 0) ok = false;
  if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
    ::unlink(temp.c_str());
    RaiseIniWriteError(fileName);
  }
}

}  // namespace

// ---- IniDocument: the lines of one file -----------------------------------------

class IniDocument {
public:
  // Reads the file; a missing one is an empty document, one that cannot be
  // read (or is too large) is an unreadable one.
  void Load(const std::string& fileName) {
    *this = IniDocument();
    signature = SignatureOf(fileName);
    int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      unreadable = errno != ENOENT && errno != ENOTDIR;
      return;
    }
    struct stat info {};
    std::string bytes;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxIniFileSize;
    if (ok) {
      bytes.resize(static_cast<size_t>(info.st_size));
      size_t done = 0;
      while (done < bytes.size()) {
        ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += static_cast<size_t>(got);
      }
      bytes.resize(done);
    }
    ::close(fd);
    if (!ok) {
      unreadable = true;
      return;
    }
    Parse(bytes);
  }

  void Parse(std::string_view text) {
    lines.clear();
    bom = text.substr(0, kUtf8Bom.size()) == kUtf8Bom;
    if (bom) text.remove_prefix(kUtf8Bom.size());
    size_t crlf = text.find("\r\n"), lf = text.find('\n'), cr = text.find('\r');
    if (crlf != std::string_view::npos && crlf <= lf)
      lineBreak = "\r\n";
    else if (lf != std::string_view::npos || cr != std::string_view::npos)
      lineBreak = lf < cr ? "\n" : "\r";
    trailingBreak = text.empty() || text.back() == '\n' || text.back() == '\r';
    size_t start = 0;
    while (start < text.size()) {
      size_t end = text.find_first_of("\r\n", start);
      if (end == std::string_view::npos) end = text.size();
      lines.emplace_back(text.substr(start, end - start));
      if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
      start = end + 1;
    }
  }

  std::string Text() const {
    std::string text(bom ? kUtf8Bom : std::string_view());
    for (size_t i = 0; i < lines.size(); ++i) {
      text += lines[i];
      if (i + 1 < lines.size() || trailingBreak) text += lineBreak;
    }
    return text;
  }

  // The value of the key in the first section of that name.
  std::optional<std::string> Find(const std::string& section, const std::string& key) const {
    Range r = SectionRange(section);
    for (size_t i = r.first; i < r.end; ++i) {
      Line line = Classify(lines[i]);
      if (line.kind == Line::kEntry && SameText(line.name, key)) return line.value;
    }
    return std::nullopt;
  }

  // True when the document changed.
  bool Set(const std::string& section, const std::string& key, const std::string& value) {
    std::string cleanValue = OneLine(value);
    Range r = SectionRange(section);
    if (r.header == kNone) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.emplace_back();
      lines.push_back("[" + OneLine(section) + "]");
      lines.push_back(OneLine(key) + "=" + cleanValue);
      trailingBreak = true;
      return true;
    }
    size_t insertAt = r.header + 1;
    for (size_t i = r.first; i < r.end; ++i) {
      Line line = Classify(lines[i]);
      if (line.kind == Line::kEntry && SameText(line.name, key)) {
        if (line.value == cleanValue) return false;
        lines[i] = line.name + "=" + cleanValue;
        return true;
      }
      if (!Trim(lines[i]).empty()) insertAt = i + 1;
    }
    lines.insert(lines.begin() + static_cast<ptrdiff_t>(insertAt), OneLine(key) + "=" + cleanValue);
    return true;
  }

  bool EraseSection(const std::string& section) {
    bool changed = false;
    for (Range r = SectionRange(section); r.header != kNone; r = SectionRange(section)) {
      lines.erase(lines.begin() + static_cast<ptrdiff_t>(r.header), lines.begin() + static_cast<ptrdiff_t>(r.end));
      changed = true;
    }
    return changed;
  }

  bool DeleteKey(const std::string& section, const std::string& key) {
    Range r = SectionRange(section);
    bool changed = false;
    for (size_t i = r.end; i-- > r.first;) {
      Line line = Classify(lines[i]);
      if (line.kind == Line::kEntry && SameText(line.name, key)) {
        lines.erase(lines.begin() + static_cast<ptrdiff_t>(i));
        changed = true;
      }
    }
    return changed;
  }

  // Keys (or "key=value" lines) of the first section of that name.
  void ListSection(const std::string& section, TStrings& strings, bool withValues) {
    strings.BeginUpdate();
    strings.Clear();
    Range r = SectionRange(section);
    for (size_t i = r.first; i < r.end; ++i) {
      Line line = Classify(lines[i]);
      if (line.kind != Line::kEntry) continue;
      strings.Add(withValues ? line.name + "=" + line.value : line.name);
    }
    strings.EndUpdate();
  }

  void ListSections(TStrings& strings) {
    std::unordered_set<std::string> seen;  // names as SameText compares them
    strings.BeginUpdate();
    strings.Clear();
    for (const std::string& raw : lines) {
      Line line = Classify(raw);
      if (line.kind == Line::kSection && seen.insert(UpperCase(line.name)).second) strings.Add(line.name);
    }
    strings.EndUpdate();
  }

  std::vector<std::string> lines;
  std::string lineBreak = "\r\n";
  bool bom = false;
  bool trailingBreak = true;
  bool unreadable = false;
  FileSignature signature;

private:
  static constexpr size_t kNone = SIZE_MAX;
  struct Range {
    size_t header = kNone;  // index of "[name]"
    size_t first = 0;       // first line after it
    size_t end = 0;         // the next header or the end
  };

  Range SectionRange(const std::string& section) const {
    Range r;
    for (size_t i = 0; i < lines.size(); ++i) {
      Line line = Classify(lines[i]);
      if (line.kind != Line::kSection) continue;
      if (r.header != kNone) {
        r.end = i;
        return r;
      }
      if (SameText(line.name, section)) r = Range{i, i + 1, lines.size()};
    }
    return r;
  }
};

// ---- TCustomIniFile -----------------------------------------------------------

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue) {
  return StrToIntDef(ReadString(section, ident, std::string()), defaultValue);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, std::to_string(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool defaultValue) {
  return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident, double defaultValue,
                                 const TFormatSettings& settings) {
  double value = 0;
  return TryStrToFloat(ReadString(section, ident, std::string()), value, settings) ? value : defaultValue;
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident, double defaultValue) {
  return ReadFloat(section, ident, defaultValue, FormatSettings);
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident, double value,
                                const TFormatSettings& settings) {
  WriteString(section, ident, FloatToStr(value, settings));
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident, double value) {
  WriteFloat(section, ident, value, FormatSettings);
}

bool TCustomIniFile::SectionExists(const std::string& section) {
  TStringList keys;
  ReadSection(section, keys);
  return keys.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) {
  TStringList keys;
  ReadSection(section, keys);
  return keys.IndexOf(ident) >= 0;
}

// ---- TIniFile -----------------------------------------------------------------

TIniFile::TIniFile(const std::string& fileName)
    : TCustomIniFile(fileName), document_(std::make_unique<IniDocument>()) {
  document_->Load(fileName);
}

TIniFile::~TIniFile() = default;

IniDocument& TIniFile::Current() {
  if (!(SignatureOf(FileName()) == document_->signature)) document_->Load(FileName());
  return *document_;
}

void TIniFile::Store() {
  try {
    SaveFileAtomically(FileName(), document_->Text());
    document_->signature = SignatureOf(FileName());
  } catch (...) {
    document_->signature = FileSignature{true, 0, 0, -1, -1};  // read the file again next time
    throw;
  }
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) {
  return Current().Find(section, ident).value_or(defaultValue);
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  IniDocument& doc = Current();
  if (doc.unreadable) RaiseIniWriteError(FileName());
  if (doc.Set(section, ident, value) || !doc.signature.exists) Store();
}

void TIniFile::ReadSection(const std::string& section, TStrings& strings) {
  Current().ListSection(section, strings, false);
}

void TIniFile::ReadSections(TStrings& strings) { Current().ListSections(strings); }

void TIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  Current().ListSection(section, strings, true);
}

void TIniFile::EraseSection(const std::string& section) {
  IniDocument& doc = Current();
  if (doc.unreadable) RaiseIniWriteError(FileName());
  if (doc.EraseSection(section)) Store();
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  IniDocument& doc = Current();
  if (doc.unreadable) RaiseIniWriteError(FileName());
  if (doc.DeleteKey(section, ident)) Store();
}

// ---- TMemIniFile --------------------------------------------------------------

TMemIniFile::TMemIniFile(const std::string& fileName)
    : TCustomIniFile(fileName), document_(std::make_unique<IniDocument>()) {
  document_->Load(fileName);
}

TMemIniFile::~TMemIniFile() = default;

std::string TMemIniFile::ReadString(const std::string& section, const std::string& ident,
                                    const std::string& defaultValue) {
  return document_->Find(section, ident).value_or(defaultValue);
}

void TMemIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  document_->Set(section, ident, value);
}

void TMemIniFile::ReadSection(const std::string& section, TStrings& strings) {
  document_->ListSection(section, strings, false);
}

void TMemIniFile::ReadSections(TStrings& strings) { document_->ListSections(strings); }

void TMemIniFile::ReadSectionValues(const std::string& section, TStrings& strings) {
  document_->ListSection(section, strings, true);
}

void TMemIniFile::EraseSection(const std::string& section) { document_->EraseSection(section); }

void TMemIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  document_->DeleteKey(section, ident);
}

void TMemIniFile::UpdateFile() {
  if (document_->unreadable) RaiseIniWriteError(FileName());
  SaveFileAtomically(FileName(), document_->Text());
}

void TMemIniFile::GetStrings(TStrings& strings) {
  strings.BeginUpdate();
  strings.Clear();
  for (const std::string& line : document_->lines) strings.Add(line);
  strings.EndUpdate();
}

void TMemIniFile::SetStrings(const TStrings& strings) {
  document_->Parse(strings.Text());
  document_->unreadable = false;
}

void TMemIniFile::Clear() {
  document_->lines.clear();
  document_->unreadable = false;
}
