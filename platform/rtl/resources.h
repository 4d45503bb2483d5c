// Resources: data compiled into the program (cursors, bitmaps, string tables,
// pictures), found by module, type and name.
//
// Files under data/resources/<TYPE>/<NAME>[.ext] are embedded at build time
// (cmake/VeskResources.cmake) into the program's table, served by the module
// HInstance. <TYPE> is a standard type written by its name without "RT_"
// (RCDATA, BITMAP, CURSOR, GROUP_CURSOR, STRING...), a number written "#10",
// or a type of its own ("AUUPG"). <NAME> is a name or a number written
// "#1000"; the file's last extension is dropped, so "#1000.png" is RCDATA
// 1000. The bytes are kept exactly as the file holds them, followed by a zero
// byte that the size does not count. Names and types match without regard to
// case; a text "#123" means the number 123, as on Windows.
//
// A test program embeds files of its own folder into a table of its own with
// vesk_embed_resources() and reaches them through ResourceModule(table).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/rtl/streams.h"
#include "platform/win/wintypes.h"

// Standard resource types.
constexpr uint16_t RT_CURSOR = 1;
constexpr uint16_t RT_BITMAP = 2;
constexpr uint16_t RT_ICON = 3;
constexpr uint16_t RT_MENU = 4;
constexpr uint16_t RT_DIALOG = 5;
constexpr uint16_t RT_STRING = 6;
constexpr uint16_t RT_FONTDIR = 7;
constexpr uint16_t RT_FONT = 8;
constexpr uint16_t RT_ACCELERATOR = 9;
constexpr uint16_t RT_RCDATA = 10;
constexpr uint16_t RT_MESSAGETABLE = 11;
constexpr uint16_t RT_GROUP_CURSOR = 12;
constexpr uint16_t RT_GROUP_ICON = 14;
constexpr uint16_t RT_VERSION = 16;
constexpr uint16_t RT_HTML = 23;
constexpr uint16_t RT_MANIFEST = 24;

// A resource type or name: a number (1..65535) or a text.
class TResourceName {
public:
  TResourceName(int id);  // NOLINT: numbers pass as they do on Windows
  TResourceName(const char* text);
  TResourceName(const std::string& text);

  bool IsId() const { return id_ != 0; }
  uint16_t Id() const { return id_; }
  const std::string& Text() const { return text_; }
  // "#123" for a number, the text otherwise.
  std::string ToString() const;
  bool Matches(const TResourceName& other) const;

private:
  uint16_t id_ = 0;
  std::string text_;
};

// One embedded file, as the generated table lists it.
struct TResourceEntry {
  const char* type;  // the folder name: "RCDATA", "#10" or a type of its own
  const char* name;  // the file name without its last extension
  const uint8_t* begin;
  const uint8_t* end;
};

struct TResourceTable {
  const TResourceEntry* entries;
  size_t count;
};

// The program's module, serving the files under data/resources.
extern const HINSTANCE HInstance;
// The module that serves a table of its own (a test's).
HINSTANCE ResourceModule(const TResourceTable& table);

// A resource's bytes (valid for the whole run).
struct TResourceData {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Finds a resource; a null module means the program's. Null when the module
// is unknown or has no such resource.
const TResourceEntry* FindResourceEntry(HINSTANCE module, const TResourceName& name, const TResourceName& type);
TResourceData ResourceBytes(const TResourceEntry* entry);

// A read-only memory stream over a resource; EResNotFound "Resource %s not
// found" when it is missing. Writing raises EStreamError.
class TResourceStream : public TCustomMemoryStream {
public:
  TResourceStream(HINSTANCE instance, const TResourceName& name, const TResourceName& type);
  int32_t Write(const void* buffer, int32_t count) override;
};
