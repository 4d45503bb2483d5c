// File names, extensions in mask lists, existence and file information.
#include <algorithm>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace {

// Position after the last "/", "\" or ":" of a name; 0 when there is none.
size_t NameStart(const std::string& fileName) {
  const size_t last = fileName.find_last_of("/\\:");
  return last == std::string::npos ? 0 : last + 1;
}

}  // namespace

std::string IELowerFileExt(const std::string& fileName, bool keepDot) {
  const size_t start = NameStart(fileName);
  const size_t dot = fileName.rfind('.');
  if (dot == std::string::npos || dot < start) return {};
  return LowerCase(fileName.substr(keepDot ? dot : dot + 1));
}

bool IEExtInList(const std::string& extension, const std::string& list) {
  std::string ext = LowerCase(extension);
  if (!ext.empty() && ext.front() != '.') ext.insert(ext.begin(), '.');
  if (ext.size() < 2) return false;
  // The extension ends a mask: it follows "*", ";" or the list's start and
  // is followed by ";" (the last mask needs none).
  const std::string masks = LowerCase(list) + ";", wanted = ext + ";";
  for (size_t at = masks.find(wanted); at != std::string::npos; at = masks.find(wanted, at + 1))
    if (at == 0 || masks[at - 1] == '*' || masks[at - 1] == ';') return true;
  return false;
}

bool IEFileExtInList(const std::string& fileName, const std::string& list) {
  return IEExtInList(IELowerFileExt(fileName, true), list);
}

std::string IEExtractFilePathW(const std::string& fileName) { return fileName.substr(0, NameStart(fileName)); }

std::string IEExtractFileNameW(const std::string& fileName) { return fileName.substr(NameStart(fileName)); }

bool IEFileExists(const std::string& fileName) { return FileExists(fileName); }

bool IEGetFileInfo(const std::string& fileName, int64_t& size, TDateTime& created, TDateTime& written) {
  TSearchRec rec;
  if (fileName.empty() || FindFirst(fileName, faAnyFile & ~faDirectory, rec) != 0) return false;
  FindClose(rec);
  if (rec.Attr & faDirectory) return false;
  size = rec.Size;
  written = rec.Time != 0 ? FileDateToDateTime(rec.Time) : 0;
  created = written;
  return true;
}
