// Modal loops, as modal forms and message boxes run them.
#pragma once

#include <functional>

#include "platform/win/wintypes.h"

// Disables every other enabled top-level window, activates `window`, and
// handles messages until `finished()` answers true, `window` is destroyed,
// or WM_QUIT arrives (posted again for the outer loop). Then re-enables what
// it disabled and activates the window that was active before. Answers false
// when the loop ended by WM_QUIT.
bool RunModalLoop(HWND window, const std::function<bool()>& finished);
