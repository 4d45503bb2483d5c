// The text and number parsers, the ini and string-list loaders, the encoding
// converters, the command-line splitter and the image core's stream readers.
// The first byte picks the reader, the rest is its input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/inifiles.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/stringlist.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/process.h"

namespace {

void Ini(const std::string& text) {
  TStringList lines;
  lines.SetText(text);
  TMemIniFile ini("");
  ini.SetStrings(lines);
  TStringList sections, values;
  ini.ReadSections(sections);
  for (int i = 0; i < sections.Count() && i < 8; ++i) {
    ini.ReadSectionValues(sections.Strings(i), values);
    ini.ReadInteger(sections.Strings(i), "a", 0);
    ini.ReadFloat(sections.Strings(i), "b", 0);
    ini.ReadBool(sections.Strings(i), "c", false);
  }
  ini.GetStrings(lines);
}

// Hostile text as an ini file, values written into it from the same text
// (names and values with brackets, "=", line ends), written back and read again.
void IniWriteBack(const std::string& text) {
  const size_t third = text.size() / 3;
  const std::string section = text.substr(0, third), ident = text.substr(third, third), value = text.substr(2 * third);
  TStringList lines;
  lines.SetText(text);
  TMemIniFile ini("");
  ini.SetStrings(lines);
  ini.WriteString(section, ident, value);
  ini.WriteInteger(value, section, static_cast<int32_t>(text.size()));
  ini.WriteBool(ident, value, true);
  TStringList sections;
  ini.ReadSections(sections);
  if (sections.Count() > 0) ini.EraseSection(sections.Strings(0));
  ini.DeleteKey(section, ident);
  ini.GetStrings(lines);
  TMemIniFile again("");
  again.SetStrings(lines);
  again.ReadString(section, ident, "");
  again.ReadInteger(value, section, 0);
}

void Strings(const uint8_t* data, size_t size) {
  TMemoryStream stream;
  stream.Write(data, static_cast<int32_t>(size));
  stream.Seek(0, soBeginning);
  TStringList list;
  list.LoadFromStream(stream);
  list.Text();
  list.CommaText();
  TStringList other;
  other.SetCommaText(std::string(reinterpret_cast<const char*>(data), size));
  other.SetDelimitedText(std::string(reinterpret_cast<const char*>(data), size));
}

void Numbers(const std::string& s) {
  int32_t i;
  int64_t j;
  long double f;
  double d;
  TryStrToInt(s, i);
  TryStrToInt64(s, j);
  StrToIntDef(s, 0);
  TextToFloat(s, f);
  TryStrToFloat(s, d);
  IEStrToFloatDef(s, 0);
  IETextToFloat(s, f);
}

void Formats(const std::string& fmt) {
  try {
    Format(fmt, {1, "two", 3.5, int64_t{-4}, 'c'});
  } catch (const Exception&) {
  }
  try {
    Format(fmt, {});
  } catch (const Exception&) {
  }
  try {
    FormatFloat(fmt, 1234.5678L);
  } catch (const Exception&) {
  }
}

void Encodings(const uint8_t* data, size_t size) {
  std::string s(reinterpret_cast<const char*>(data), size);
  Utf16ToUtf8(Utf8ToUtf16(s));
  Utf16LEToUtf8(data, size);
  AnsiToUtf8(s);
  Utf8ToAnsi(s);
  for (uint32_t cp : {1252u, 1251u, 437u, 65001u, 1200u, 28591u, 932u})
    if (IsSupportedCodePage(cp)) {
      CodePageToUtf8(s, cp);
      Utf8ToCodePage(s, cp);
    }
  CharsetToUtf8(s, "iso-8859-1");
  CharsetToUtf8(s, s.substr(0, 16));
}

void StreamReaders(const uint8_t* data, size_t size) {
  TIEMemStream stream(data, static_cast<int64_t>(size));
  IEFindTIFFHeader(stream);
  stream.Seek(0, soBeginning);
  for (int i = 0; i < 4; ++i) {
    IEReadWord(stream, i & 1);
    IEReadDWord(stream, i & 1);
    IEReadInt64(stream, i & 1);
  }
  TIEBufferedReadStream buffered(stream, 7, true);
  uint8_t buffer[64];
  buffered.Read(buffer, sizeof buffer);
  buffered.Seek(-3, soEnd);
  buffered.Read(buffer, sizeof buffer);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0 || size > (1 << 16)) return 0;
  const uint8_t kind = data[0];
  ++data;
  --size;
  std::string text(reinterpret_cast<const char*>(data), size);
  try {
    switch (kind % 7) {
      case 0:
        Ini(text);
        IniWriteBack(text);
        break;
      case 1: Strings(data, size); break;
      case 2: Numbers(text); break;
      case 3: Formats(text); break;
      case 4: Encodings(data, size); break;
      case 5: SplitCommandLine(text); break;
      default: StreamReaders(data, size); break;
    }
  } catch (const Exception&) {
    // A clean refusal.
  }
  return 0;
}
