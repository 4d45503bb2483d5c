#include "platform/forms/clipbrd.h"

#include <cstring>

#include "platform/win/globalmem.h"
#include "platform/win/user_clipboard.h"

namespace {

// The clipboard open for one call.
class OpenedClipboard {
public:
  OpenedClipboard() : open_(OpenClipboard(nullptr)) {}
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  bool Open() const { return open_; }
  void Require() const {
    if (!open_) throw EClipboardException("Cannot open clipboard");
  }

private:
  bool open_;
};

}  // namespace

bool TClipboard::HasFormat(UINT format) const { return IsClipboardFormatAvailable(format); }

std::string TClipboard::AsText() const {
  const OpenedClipboard clipboard;
  std::string text;
  if (!clipboard.Open()) return text;
  if (HANDLE block = GetClipboardData(CF_TEXT)) {
    if (const auto* p = static_cast<const char*>(GlobalLock(block))) text.assign(p, strnlen(p, GlobalSize(block)));
    GlobalUnlock(block);
  }
  return text;
}

void TClipboard::SetAsText(const std::string& text) {
  const OpenedClipboard clipboard;
  clipboard.Require();
  EmptyClipboard();
  if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1)) {
    std::memcpy(GlobalLock(block), text.c_str(), text.size() + 1);
    GlobalUnlock(block);
    SetClipboardData(CF_TEXT, block);
  }
}

void TClipboard::Clear() {
  const OpenedClipboard clipboard;
  clipboard.Require();
  EmptyClipboard();
}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}
