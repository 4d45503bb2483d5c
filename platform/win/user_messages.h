// The message queue of the GUI thread: posting from any thread, sending
// (direct on the GUI thread, blocking from others), retrieval in Windows'
// order (sent, posted and input, quit, paint, timers), translation of keys
// into characters, dispatch, and waits that wake for messages.
#pragma once

#include <functional>
#include <string>

#include "platform/win/winuser_consts.h"
#include "platform/win/wintypes.h"

struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

// On the GUI thread: calls the window procedure at once. From another
// thread: queues the call and blocks until the GUI thread has handled it.
// 0 for a window that does not exist (or is destroyed before its turn).
LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
inline LRESULT SendMessageA(HWND w, UINT m, WPARAM wp, LPARAM lp) { return SendMessage(w, m, wp, lp); }
inline LRESULT SendMessageW(HWND w, UINT m, WPARAM wp, LPARAM lp) { return SendMessage(w, m, wp, lp); }
// Queues a message, from any thread. Checked on delivery: a message to a
// window destroyed meanwhile is dropped. A null window posts to the thread.
BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Posts a window-less message to the GUI thread; FALSE for any other thread id.
BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// WM_QUIT with `exitCode` comes once the posted messages are handled.
void PostQuitMessage(int exitCode);

// Waits for a message; FALSE for WM_QUIT. `window` and the range filter (0, 0: all).
BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax);
// Looks without waiting; sent messages from other threads are delivered
// meanwhile, whatever the filter. PM_REMOVE takes the message off the queue.
BOOL PeekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags);
// For WM_KEYDOWN/WM_SYSKEYDOWN of a key that types a character, queues
// WM_CHAR/WM_SYSCHAR (wParam = the Unicode code point) ahead of the rest.
BOOL TranslateMessage(const MSG* msg);
// Calls the window procedure (or the callback of a timer message).
LRESULT DispatchMessage(const MSG* msg);
// Waits for one of `handles` (kernel objects, all of them with `waitAll`),
// or for queue input of the kinds in `wakeMask` (QS_*). Answers
// WAIT_OBJECT_0 + index, WAIT_OBJECT_0 + count for input, WAIT_TIMEOUT, or
// WAIT_FAILED for more than 64 handles (kernel.h's values).
DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask);
// Which kinds of messages wait (QS_* bits, high word: all waiting; low word the same).
DWORD GetQueueStatus(UINT flags);
// Time (GetClockTime) and screen position of the message last retrieved.
DWORD GetMessageTime();
DWORD GetMessagePos();
// A message number unique to `name` (case-insensitive), from 0xC000; 0 for an empty name.
UINT RegisterWindowMessage(const char* name);

// How waits take a kernel handle that is signalled, without blocking (the
// kernel layer sets it): true when it was signalled (and is now taken, as a
// wait takes an auto-reset event). Without it, handles never count as signalled.
void SetHandleSignalProbe(std::function<bool(HANDLE)> probe);

// Dispatches everything waiting (translating keys), without blocking; false
// when WM_QUIT came (it is posted again for the outer loop).
bool ProcessPendingMessages();
// The GUI thread's id, as the kernel numbers threads; it is the thread that
// first created a window or looked at the queue.
DWORD GetGuiThreadId();
