// The application's clipboard object: text in and out of the window layer's
// clipboard, and the object that components accept in Assign to mean "what
// the clipboard holds now".
#pragma once

#include <string>

#include "platform/forms/classes.h"
#include "platform/win/wintypes.h"

class TClipboard : public TPersistent {
public:
  // Whether the clipboard holds the format now.
  bool HasFormat(UINT format) const;
  // The text on the clipboard (UTF-8); empty when it holds none or cannot be opened.
  std::string AsText() const;
  // Replaces the clipboard's contents by the text; EClipboardException when
  // the clipboard cannot be opened.
  void SetAsText(const std::string& text);
  // Empties the clipboard; EClipboardException when it cannot be opened.
  void Clear();
};

RTL_DECLARE_EXCEPTION(EClipboardException, Exception);

// The one clipboard object of the application.
TClipboard* Clipboard();
