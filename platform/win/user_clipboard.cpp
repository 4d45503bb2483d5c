// The clipboard and the table of registered names.
#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/rtl/encoding.h"
#include "platform/win/globalmem.h"
#include "platform/win/user_internal.h"

namespace user {

// ------------------------------------------------------------ registered names ---

namespace {

constexpr UINT kFirstRegistered = 0xC000;
constexpr size_t kMaxRegistered = 0x4000;

std::mutex namesMutex;
std::vector<std::string> names;  // index i is number 0xC000 + i

}  // namespace

UINT RegisterName(const char* name) {
  if (!name || !*name) return 0;
  std::lock_guard lock(namesMutex);
  std::string key = Lower(name);
  for (size_t i = 0; i < names.size(); ++i)
    if (Lower(names[i]) == key) return kFirstRegistered + static_cast<UINT>(i);
  if (names.size() >= kMaxRegistered) return 0;
  names.push_back(name);
  return kFirstRegistered + static_cast<UINT>(names.size() - 1);
}

std::string RegisteredName(UINT id) {
  std::lock_guard lock(namesMutex);
  if (id < kFirstRegistered || id - kFirstRegistered >= names.size()) return std::string();
  return names[id - kFirstRegistered];
}

// ------------------------------------------------------------------ clipboard ---

namespace {

struct Clipboard {
  std::mutex mutex;
  bool open = false;
  HWND opener = nullptr;
  HWND owner = nullptr;
  bool changed = false;  // since it was opened
  std::vector<std::pair<UINT, HGLOBAL>> blocks;  // in the order they were set
  std::vector<std::pair<UINT, HGLOBAL>> made;    // text made from the other text format
  std::optional<std::string> lastShared;         // text last exchanged with the display
  ~Clipboard();
};

Clipboard& C() {
  // The table of global memory blocks must outlive the clipboard, which frees its blocks at exit.
  static const bool memoryFirst = (GlobalFree(GlobalAlloc(GMEM_FIXED, 1)), true);
  (void)memoryFirst;
  static Clipboard c;
  return c;
}

HGLOBAL FindBlock(const std::vector<std::pair<UINT, HGLOBAL>>& list, UINT format) {
  for (const auto& [f, h] : list)
    if (f == format) return h;
  return nullptr;
}

void FreeAll(Clipboard& c) {
  for (auto& [f, h] : c.blocks) GlobalFree(h);
  for (auto& [f, h] : c.made) GlobalFree(h);
  c.blocks.clear();
  c.made.clear();
}

Clipboard::~Clipboard() { FreeAll(*this); }

HGLOBAL BlockOf(const void* data, size_t bytes) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!h) return nullptr;
  std::memcpy(GlobalLock(h), data, bytes);
  GlobalUnlock(h);
  return h;
}

// The text of a block of CF_TEXT or CF_UNICODETEXT, up to its NUL or its end.
std::optional<std::string> TextOf(UINT format, HGLOBAL h) {
  size_t size = GlobalSize(h);
  const void* p = GlobalLock(h);
  if (!p) return std::nullopt;
  std::string text;
  if (format == CF_TEXT) {
    const char* s = static_cast<const char*>(p);
    text.assign(s, strnlen(s, size));
  } else {
    std::u16string u(size / 2, u'\0');
    std::memcpy(u.data(), p, u.size() * 2);
    u.resize(std::min(u.size(), u.find(u'\0')));
    text = Utf16ToUtf8(u);
  }
  GlobalUnlock(h);
  return text;
}

HGLOBAL TextBlock(UINT format, const std::string& text) {
  if (format == CF_TEXT) return BlockOf(text.c_str(), text.size() + 1);
  std::u16string u = Utf8ToUtf16(text);
  return BlockOf(u.c_str(), (u.size() + 1) * 2);
}

std::optional<std::string> HeldText(Clipboard& c) {
  if (HGLOBAL h = FindBlock(c.blocks, CF_UNICODETEXT)) return TextOf(CF_UNICODETEXT, h);
  if (HGLOBAL h = FindBlock(c.blocks, CF_TEXT)) return TextOf(CF_TEXT, h);
  return std::nullopt;
}

// The display is spoken to from the GUI thread only (or before there is one).
bool MayUseDisplay() { return IsGuiThread() || GetGuiThreadId() == 0; }

// Text the desktop holds that the process has not seen yet.
std::optional<std::string> NewDesktopText(Clipboard& c) {
  if (!MayUseDisplay()) return std::nullopt;
  std::optional<std::string> text = Display().ClipboardText();
  if (!text || text == c.lastShared) return std::nullopt;
  return text;
}

bool IsTextFormat(UINT format) { return format == CF_TEXT || format == CF_UNICODETEXT; }

}  // namespace

}  // namespace user

using namespace user;

BOOL OpenClipboard(HWND owner) {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (c.open && c.opener != owner) return FALSE;
  c.open = true;
  c.opener = owner;
  c.changed = false;
  if (auto text = NewDesktopText(c)) {
    FreeAll(c);
    if (HGLOBAL h = TextBlock(CF_UNICODETEXT, *text)) c.blocks.emplace_back(CF_UNICODETEXT, h);
    c.owner = nullptr;
    c.lastShared = text;
  }
  return TRUE;
}

BOOL CloseClipboard() {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.open) return FALSE;
  c.open = false;
  c.opener = nullptr;
  if (c.changed && MayUseDisplay()) {
    if (auto text = HeldText(c)) {
      Display().SetClipboardText(*text);
      c.lastShared = text;
    }
  }
  return TRUE;
}

BOOL EmptyClipboard() {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.open) return FALSE;
  FreeAll(c);
  c.owner = c.opener;
  c.changed = true;
  return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.open || !data || format == 0) return nullptr;
  for (auto& [f, h] : c.made) GlobalFree(h);
  c.made.clear();
  auto it = std::find_if(c.blocks.begin(), c.blocks.end(), [&](const auto& b) { return b.first == format; });
  if (it != c.blocks.end()) {
    if (it->second != data) GlobalFree(it->second);
    it->second = data;
  } else {
    c.blocks.emplace_back(format, data);
  }
  c.changed = true;
  return data;
}

HANDLE GetClipboardData(UINT format) {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.open) return nullptr;
  if (HGLOBAL h = FindBlock(c.blocks, format)) return h;
  if (!IsTextFormat(format)) return nullptr;
  if (HGLOBAL h = FindBlock(c.made, format)) return h;
  UINT other = format == CF_TEXT ? CF_UNICODETEXT : CF_TEXT;
  HGLOBAL source = FindBlock(c.blocks, other);
  if (!source) return nullptr;
  auto text = TextOf(other, source);
  if (!text) return nullptr;
  HGLOBAL made = TextBlock(format, *text);
  if (made) c.made.emplace_back(format, made);
  return made;
}

BOOL IsClipboardFormatAvailable(UINT format) {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (FindBlock(c.blocks, format)) return TRUE;
  if (!IsTextFormat(format)) return FALSE;
  if (FindBlock(c.blocks, CF_TEXT) || FindBlock(c.blocks, CF_UNICODETEXT)) return TRUE;
  return NewDesktopText(c) ? TRUE : FALSE;
}

int CountClipboardFormats() {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  return static_cast<int>(c.blocks.size());
}

UINT EnumClipboardFormats(UINT format) {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  if (!c.open) return 0;
  auto it = c.blocks.begin();
  if (format) {
    it = std::find_if(c.blocks.begin(), c.blocks.end(), [&](const auto& b) { return b.first == format; });
    if (it == c.blocks.end()) return 0;
    ++it;
  }
  return it == c.blocks.end() ? 0 : it->first;
}

HWND GetClipboardOwner() {
  Clipboard& c = C();
  std::lock_guard lock(c.mutex);
  return c.owner;
}

UINT RegisterClipboardFormat(const char* name) { return RegisterName(name); }

std::string GetClipboardFormatName(UINT format) { return RegisteredName(format); }
