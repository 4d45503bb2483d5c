#include "platform/rtl/resources.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

// The program's table, generated from data/resources (platform/rtl/module.cmake).
// Naming it here keeps it in every program that links this unit.
extern const TResourceTable VeskProgramResources;

const HINSTANCE HInstance =
    reinterpret_cast<HINSTANCE>(const_cast<TResourceTable*>(&VeskProgramResources));

namespace {

// Folder names of the standard types.
struct StandardType {
  const char* name;
  uint16_t id;
};
constexpr StandardType kStandardTypes[] = {
    {"CURSOR", RT_CURSOR},           {"BITMAP", RT_BITMAP},
    {"ICON", RT_ICON},               {"MENU", RT_MENU},
    {"DIALOG", RT_DIALOG},           {"STRING", RT_STRING},
    {"FONTDIR", RT_FONTDIR},         {"FONT", RT_FONT},
    {"ACCELERATOR", RT_ACCELERATOR}, {"RCDATA", RT_RCDATA},
    {"MESSAGETABLE", RT_MESSAGETABLE}, {"GROUP_CURSOR", RT_GROUP_CURSOR},
    {"GROUP_ICON", RT_GROUP_ICON},   {"VERSION", RT_VERSION},
    {"HTML", RT_HTML},               {"MANIFEST", RT_MANIFEST},
};

TResourceName TypeOfFolder(const char* folder) {
  for (const StandardType& t : kStandardTypes)
    if (SameText(folder, t.name)) return TResourceName(t.id);
  return TResourceName(folder);
}

std::mutex registryLock;
std::vector<const TResourceTable*>& Registry() {
  static std::vector<const TResourceTable*> tables;
  return tables;
}

const TResourceTable* TableOfModule(HINSTANCE module) {
  if (!module || module == HInstance) return &VeskProgramResources;
  std::lock_guard<std::mutex> guard(registryLock);
  for (const TResourceTable* table : Registry())
    if (reinterpret_cast<HINSTANCE>(const_cast<TResourceTable*>(table)) == module) return table;
  return nullptr;
}

}  // namespace

// ---- TResourceName ------------------------------------------------------------

TResourceName::TResourceName(int id) {
  if (id > 0 && id <= 0xFFFF)
    id_ = static_cast<uint16_t>(id);
  else
    text_ = "#" + std::to_string(id);  // matches no numbered resource
}

TResourceName::TResourceName(const char* text) : TResourceName(std::string(text ? text : "")) {}

TResourceName::TResourceName(const std::string& text) : text_(text) {
  if (text.size() < 2 || text.size() > 6 || text[0] != '#') return;
  if (!std::all_of(text.begin() + 1, text.end(), [](char c) { return c >= '0' && c <= '9'; })) return;
  int value = std::stoi(text.substr(1));
  if (value > 0 && value <= 0xFFFF) {
    id_ = static_cast<uint16_t>(value);
    text_.clear();
  }
}

std::string TResourceName::ToString() const { return IsId() ? "#" + std::to_string(id_) : text_; }

bool TResourceName::Matches(const TResourceName& other) const {
  if (IsId() || other.IsId()) return id_ == other.id_;
  return SameText(text_, other.text_);
}

// ---- lookup -------------------------------------------------------------------

HINSTANCE ResourceModule(const TResourceTable& table) {
  std::lock_guard<std::mutex> guard(registryLock);
  auto& tables = Registry();
  if (std::find(tables.begin(), tables.end(), &table) == tables.end()) tables.push_back(&table);
  return reinterpret_cast<HINSTANCE>(const_cast<TResourceTable*>(&table));
}

const TResourceEntry* FindResourceEntry(HINSTANCE module, const TResourceName& name, const TResourceName& type) {
  const TResourceTable* table = TableOfModule(module);
  if (!table) return nullptr;
  for (size_t i = 0; i < table->count; ++i) {
    const TResourceEntry& entry = table->entries[i];
    if (TypeOfFolder(entry.type).Matches(type) && TResourceName(entry.name).Matches(name)) return &entry;
  }
  return nullptr;
}

TResourceData ResourceBytes(const TResourceEntry* entry) {
  if (!entry) return {};
  return {entry->begin, static_cast<size_t>(entry->end - entry->begin)};
}

// ---- TResourceStream ----------------------------------------------------------

TResourceStream::TResourceStream(HINSTANCE instance, const TResourceName& name, const TResourceName& type) {
  const TResourceEntry* entry = FindResourceEntry(instance, name, type);
  if (!entry) {
    std::string shown = name.IsId() ? std::to_string(name.Id()) : name.Text();
    throw EResNotFound("Resource " + shown + " not found");
  }
  TResourceData data = ResourceBytes(entry);
  SetPointer(const_cast<uint8_t*>(data.data), static_cast<int64_t>(data.size));
}

int32_t TResourceStream::Write(const void*, int32_t) {
  throw EStreamError("Can't write to a read-only resource stream");
}
