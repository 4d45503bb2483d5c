// The window layer: everything of the user part in one include.
#pragma once

#include "platform/win/user_chars.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/user_input.h"
#include "platform/win/user_messages.h"
#include "platform/win/user_modal.h"
#include "platform/win/user_paint.h"
#include "platform/win/user_rect.h"
#include "platform/win/user_scroll.h"
#include "platform/win/user_system.h"
#include "platform/win/user_timers.h"
#include "platform/win/user_windows.h"
#include "platform/win/winuser_consts.h"
