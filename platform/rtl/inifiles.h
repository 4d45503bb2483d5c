// Ini files: TCustomIniFile (typed reads and writes over strings),
// TIniFile (writes go to the file at once) and TMemIniFile (changes stay in
// memory until UpdateFile).
//
// Sections and keys match without regard to case. Lines split at CR LF, LF
// or CR; a line "[name]" starts a section, "key=value" is an entry (spaces
// around key and value dropped), a line starting with ";" is a comment.
// Writing changes only the line concerned: comments, unknown keys, blank
// lines and the order of the file stay as they were, and the file's bytes
// (UTF-8 or 8-bit, a byte-order mark) are kept. Values are taken as they
// stand (quotes are not removed). A file is replaced through a temporary file
// beside it, so a failed write never leaves it half written; failures raise
// EIniFileException "Unable to write to %s".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/object.h"

class TStrings;
class IniDocument;
struct TFormatSettings;

class TCustomIniFile : public TObject {
public:
  explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
  ~TCustomIniFile() override = default;

  const std::string& FileName() const { return fileName_; }

  // The value of an existing key (also when empty), else the default.
  virtual std::string ReadString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) = 0;
  virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value) = 0;
  // Keys of a section, in file order; sections in file order; "key=value" lines.
  virtual void ReadSection(const std::string& section, TStrings& strings) = 0;
  virtual void ReadSections(TStrings& strings) = 0;
  virtual void ReadSectionValues(const std::string& section, TStrings& strings) = 0;
  virtual void EraseSection(const std::string& section) = 0;
  virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;
  virtual void UpdateFile() = 0;

  // As StrToIntDef reads it (decimal, "$" or "0x" hexadecimal); anything
  // else, or a value out of range, gives the default.
  int32_t ReadInteger(const std::string& section, const std::string& ident, int32_t defaultValue);
  void WriteInteger(const std::string& section, const std::string& ident, int32_t value);
  // An integer read: 0 is false, any other number true.
  bool ReadBool(const std::string& section, const std::string& ident, bool defaultValue);
  void WriteBool(const std::string& section, const std::string& ident, bool value);
  // A number as StrToFloat reads it with the settings' decimal separator
  // (the user's locale without settings); anything else gives the default.
  // Written by FloatToStr (shortest general form, 15 digits).
  double ReadFloat(const std::string& section, const std::string& ident, double defaultValue,
                   const TFormatSettings& settings);
  double ReadFloat(const std::string& section, const std::string& ident, double defaultValue);
  void WriteFloat(const std::string& section, const std::string& ident, double value,
                  const TFormatSettings& settings);
  void WriteFloat(const std::string& section, const std::string& ident, double value);
  bool SectionExists(const std::string& section);
  bool ValueExists(const std::string& section, const std::string& ident);

private:
  std::string fileName_;
};

// Every write goes to the file at once. The file is read again when it
// changed on disk since it was last read, so two objects on one file see
// each other's writes.
class TIniFile : public TCustomIniFile {
public:
  explicit TIniFile(const std::string& fileName);
  ~TIniFile() override;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const std::string& section, TStrings& strings) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  void UpdateFile() override {}  // nothing is held back

private:
  IniDocument& Current();
  void Store();

  std::unique_ptr<IniDocument> document_;
};

// Reads the whole file at creation; changes are written by UpdateFile.
class TMemIniFile : public TCustomIniFile {
public:
  explicit TMemIniFile(const std::string& fileName);
  ~TMemIniFile() override;

  std::string ReadString(const std::string& section, const std::string& ident,
                         const std::string& defaultValue) override;
  void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
  void ReadSection(const std::string& section, TStrings& strings) override;
  void ReadSections(TStrings& strings) override;
  void ReadSectionValues(const std::string& section, TStrings& strings) override;
  void EraseSection(const std::string& section) override;
  void DeleteKey(const std::string& section, const std::string& ident) override;
  void UpdateFile() override;

  // The lines of the ini text, and replacing them.
  void GetStrings(TStrings& strings);
  void SetStrings(const TStrings& strings);
  void Clear();

private:
  std::unique_ptr<IniDocument> document_;
};
