// The GUI thread's message queue.
//
// Sections: the GUI thread; the queue; sending and posting; retrieval;
// waits; translation and dispatch.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

#include "platform/rtl/threads.h"
#include "platform/win/kernel.h"
#include "platform/win/user_internal.h"

namespace user {

namespace {

// ------------------------------------------------------------ the GUI thread ---

std::mutex guiMutex;
std::atomic<bool> haveGui{false};
std::thread::id guiId;
std::atomic<DWORD> guiTid{0};

DWORD KernelThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

// Calls that other threads hand to the main thread (TThread::Synchronize and
// Queue) are run by the message loop once this is set.
std::atomic<bool> synchronizePending{false};

void RunSynchronizedCalls() {
  if (synchronizePending.exchange(false) && IsMainThread()) CheckSynchronize(0);
}

// ---------------------------------------------------------------- the queue ---

struct Posted {
  MSG msg;
  bool input = false;
  std::optional<RawInput> raw;  // input not yet made into messages
};

struct PendingSend {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  LRESULT result = 0;
  bool done = false;
};

struct Queue {
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<Posted> posted;
  std::deque<PendingSend*> sends;
  bool quit = false;
  int quitCode = 0;
  uint64_t generation = 0;  // counts every change that may end a wait
  display::Backend* pumping = nullptr;  // the back end the GUI thread waits in, if any
};

Queue& Q() {
  static Queue q;
  return q;
}

// The last message retrieved (GUI thread).
DWORD lastTime = 0;
POINT lastPos;

constexpr DWORD kMaxWaitObjects = 64;

void Notify(Queue& q) {
  ++q.generation;
  q.changed.notify_all();
  if (q.pumping) q.pumping->Wake();
}

MSG MakeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return MSG{window, message, wParam, lParam, GetClockTime(), CursorPosition()};
}

void ProcessIncomingSends() {
  Queue& q = Q();
  for (;;) {
    PendingSend* ps;
    {
      std::lock_guard lock(q.mutex);
      if (q.sends.empty()) return;
      ps = q.sends.front();
      q.sends.pop_front();
    }
    LRESULT result = 0;
    try {
      result = CallProc(ps->window, ps->message, ps->wParam, ps->lParam);
    } catch (...) {
      // The sender must not wait forever; the GUI thread's own handler deals with the error.
      std::lock_guard lock(q.mutex);
      ps->done = true;
      Notify(q);
      throw;
    }
    std::lock_guard lock(q.mutex);
    ps->result = result;
    ps->done = true;
    Notify(q);
  }
}

bool InRange(UINT message, UINT low, UINT high) {
  return (low == 0 && high == 0) || (message >= low && message <= high);
}

// Looks through the posted messages: true with the first that matches.
// Input met on the way is made into messages first (outside the lock, since
// that sends messages), then the search starts again.
bool TakePosted(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
  Queue& q = Q();
  for (;;) {
    size_t rawAt = 0;
    std::optional<RawInput> raw;
    {
      std::lock_guard lock(q.mutex);
      for (size_t i = 0; i < q.posted.size();) {
        Posted& e = q.posted[i];
        if (e.raw) {
          raw = e.raw;
          rawAt = i;
          q.posted.erase(q.posted.begin() + static_cast<ptrdiff_t>(i));
          break;
        }
        const MSG& m = e.msg;
        if (m.hwnd && !Find(m.hwnd)) {
          q.posted.erase(q.posted.begin() + static_cast<ptrdiff_t>(i));  // its window is gone
          continue;
        }
        if ((!filter || m.hwnd == filter) && InRange(m.message, low, high)) {
          *out = m;
          if (remove) q.posted.erase(q.posted.begin() + static_cast<ptrdiff_t>(i));
          return true;
        }
        ++i;
      }
      if (!raw) {
        if (q.quit && InRange(WM_QUIT, low, high)) {
          *out = MakeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(q.quitCode), 0);
          if (remove) q.quit = false;
          return true;
        }
        return false;
      }
    }
    std::vector<MSG> cooked = CookInput(*raw);
    std::lock_guard lock(q.mutex);
    auto at = q.posted.begin() + static_cast<ptrdiff_t>(std::min(rawAt, q.posted.size()));
    for (auto it = cooked.rbegin(); it != cooked.rend(); ++it) at = q.posted.insert(at, Posted{*it, true, std::nullopt});
  }
}

// One message in Windows' order, without waiting.
bool Retrieve(MSG* out, HWND filter, UINT low, UINT high, bool remove) {
  ProcessIncomingSends();
  RunSynchronizedCalls();
  ApplyDeferredRedraws();
  if (TakePosted(out, filter, low, high, remove)) return true;
  if (InRange(WM_PAINT, low, high)) {
    if (HWND p = WindowNeedingPaint(filter)) {
      *out = MakeMessage(p, WM_PAINT, 0, 0);
      return true;
    }
  }
  if (InRange(WM_TIMER, low, high) && NextTimerMessage(out, filter, remove)) return true;
  PresentSurfaces();
  return false;
}

void NoteRetrieved(const MSG& m) {
  lastTime = m.time;
  lastPos = m.pt;
}

uint64_t Generation() {
  std::lock_guard lock(Q().mutex);
  return Q().generation;
}

// Waits until the queue changes since `seen`, or `limitMs` passes (none: no limit).
void WaitForChange(uint64_t seen, std::optional<int64_t> limitMs) {
  display::Backend& backend = Display();
  Queue& q = Q();
  if (backend.NeedsPumping()) {
    // The back end's own wait serves; a change to the queue wakes it.
    {
      std::lock_guard lock(q.mutex);
      if (q.generation != seen) return;
      q.pumping = &backend;
    }
    struct Done {
      Queue& q;
      ~Done() {
        std::lock_guard lock(q.mutex);
        q.pumping = nullptr;
      }
    } done{q};
    backend.PumpEvents(limitMs ? static_cast<int>(std::clamp<int64_t>(*limitMs, 0, INT32_MAX)) : -1);
    return;
  }
  std::unique_lock lock(q.mutex);
  auto changed = [&] { return q.generation != seen; };
  if (limitMs)
    q.changed.wait_for(lock, std::chrono::milliseconds(std::max<int64_t>(*limitMs, 0)), changed);
  else
    q.changed.wait(lock, changed);
}

// How long until the next timer is due on the real clock; none when no
// timer waits or the clock is manual (AdvanceClock wakes the wait then).
std::optional<int64_t> TimerLimit() {
  std::optional<DWORD> due = NextTimerDue();
  if (!due) return std::nullopt;
  DWORD now = GetClockTime();
  int32_t left = static_cast<int32_t>(*due - now);
  return std::max<int64_t>(left, 0);
}

// The QS_* kind of a waiting message or input.
DWORD KindBits(const Posted& p) {
  if (p.raw) {
    switch (p.raw->kind) {
      case RawInput::Kind::Move:
      case RawInput::Kind::Leave:
        return QS_MOUSEMOVE;
      case RawInput::Kind::Button:
      case RawInput::Kind::Wheel:
        return QS_MOUSEBUTTON;
      default:
        return QS_KEY;
    }
  }
  if (!p.input) return QS_POSTMESSAGE;
  UINT m = p.msg.message;
  if (m == WM_MOUSEMOVE || m == WM_NCMOUSEMOVE) return QS_MOUSEMOVE;
  if ((m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) || (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK)) return QS_MOUSEBUTTON;
  return QS_KEY;
}

DWORD QueueBits() {
  DWORD bits = 0;
  Queue& q = Q();
  {
    std::lock_guard lock(q.mutex);
    if (!q.sends.empty() || synchronizePending) bits |= QS_SENDMESSAGE;
    if (q.quit) bits |= QS_POSTMESSAGE;
    for (const Posted& p : q.posted) bits |= KindBits(p);
  }
  if (IsGuiThread()) {
    ApplyDeferredRedraws();
    if (WindowNeedingPaint(nullptr)) bits |= QS_PAINT;
    std::optional<DWORD> due = NextTimerDue();
    if (due && static_cast<int32_t>(*due - GetClockTime()) <= 0) bits |= QS_TIMER;
  }
  return bits;
}

}  // namespace

bool IsGuiThread() { return haveGui && std::this_thread::get_id() == guiId; }

void EnsureGuiThread() {
  if (haveGui) return;
  std::lock_guard lock(guiMutex);
  if (haveGui) return;
  guiId = std::this_thread::get_id();
  guiTid = KernelThreadId();
  haveGui = true;
  if (IsMainThread())
    SetWakeMainThread([] {
      synchronizePending = true;
      WakeQueue();
    });
}

void PostToQueue(const MSG& msg, bool input) {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  q.posted.push_back(Posted{msg, input, std::nullopt});
  Notify(q);
}

void PostRawInput(const RawInput& input) {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  q.posted.push_back(Posted{MSG{}, true, input});
  Notify(q);
}

void PostAtFront(const MSG& msg) {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  q.posted.push_front(Posted{msg, true, std::nullopt});
  Notify(q);
}

void WakeQueue() {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  Notify(q);
}

LRESULT CallProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* w = Find(window);
  if (!w) return 0;
  WNDPROC proc = w->proc;
  return proc ? proc(window, message, wParam, lParam) : DefWindowProc(window, message, wParam, lParam);
}

}  // namespace user

using namespace user;

// --------------------------------------------------------- sending and posting ---

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!haveGui || IsGuiThread()) return CallProc(window, message, wParam, lParam);
  if (!IsWindow(window)) return 0;
  PendingSend ps{window, message, wParam, lParam};
  Queue& q = Q();
  std::unique_lock lock(q.mutex);
  q.sends.push_back(&ps);
  Notify(q);
  q.changed.wait(lock, [&] { return ps.done; });
  return ps.result;
}

BOOL PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (window && !IsWindow(window)) return FALSE;
  PostToQueue(MakeMessage(window, message, wParam, lParam), false);
  return TRUE;
}

BOOL PostThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!haveGui || threadId != guiTid) return FALSE;
  PostToQueue(MakeMessage(nullptr, message, wParam, lParam), false);
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  Queue& q = Q();
  std::lock_guard lock(q.mutex);
  q.quit = true;
  q.quitCode = exitCode;
  Notify(q);
}

DWORD GetGuiThreadId() { return haveGui ? guiTid.load() : 0; }

// ---------------------------------------------------------------- retrieval ---

BOOL GetMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax) {
  if (!msg) return FALSE;
  EnsureGuiThread();
  for (;;) {
    uint64_t seen = Generation();
    if (Retrieve(msg, window, filterMin, filterMax, true)) {
      NoteRetrieved(*msg);
      return msg->message != WM_QUIT;
    }
    WaitForChange(seen, TimerLimit());
  }
}

BOOL PeekMessage(MSG* msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  EnsureGuiThread();
  display::Backend& backend = Display();
  if (backend.NeedsPumping()) backend.PumpEvents(0);
  if (!Retrieve(msg, window, filterMin, filterMax, (removeFlags & PM_REMOVE) != 0)) return FALSE;
  NoteRetrieved(*msg);
  return TRUE;
}

DWORD GetMessageTime() { return lastTime; }

DWORD GetMessagePos() {
  return static_cast<DWORD>(MAKELONG(static_cast<WORD>(lastPos.x), static_cast<WORD>(lastPos.y)));
}

DWORD GetQueueStatus(UINT flags) {
  DWORD bits = QueueBits() & flags;
  return static_cast<DWORD>(MAKELONG(static_cast<WORD>(bits), static_cast<WORD>(bits)));
}

UINT RegisterWindowMessage(const char* name) { return RegisterName(name); }

bool ProcessPendingMessages() {
  MSG m;
  while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(m.wParam));
      return false;
    }
    TranslateMessage(&m);
    DispatchMessage(&m);
  }
  return true;
}

// -------------------------------------------------------------------- waits ---

namespace {

std::function<bool(HANDLE)>& Probe() {
  static std::function<bool(HANDLE)> probe;
  return probe;
}

// Looks at the handles without waiting: WAIT_OBJECT_0 + index of the first
// signalled one (with `all`, WAIT_OBJECT_0 when every one is); WAIT_TIMEOUT
// when not.
DWORD SignalledHandle(DWORD count, const HANDLE* handles, bool all) {
  const auto& probe = Probe();
  if (!probe) return WAIT_TIMEOUT;
  for (DWORD i = 0; i < count; ++i) {
    bool signalled = probe(handles[i]);
    if (!all && signalled) return WAIT_OBJECT_0 + i;
    if (all && !signalled) return WAIT_TIMEOUT;
  }
  return all && count ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

}  // namespace

void SetHandleSignalProbe(std::function<bool(HANDLE)> probe) { Probe() = std::move(probe); }

DWORD MsgWaitForMultipleObjects(DWORD count, const HANDLE* handles, BOOL waitAll, DWORD milliseconds,
                                DWORD wakeMask) {
  if (count > kMaxWaitObjects || (count && !handles)) return WAIT_FAILED;
  using Clock = std::chrono::steady_clock;
  std::optional<Clock::time_point> deadline;
  if (milliseconds != INFINITE) deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    uint64_t seen = Generation();
    DWORD r = SignalledHandle(count, handles, waitAll != FALSE);
    if (r != WAIT_TIMEOUT) return r;
    if (QueueBits() & wakeMask) return WAIT_OBJECT_0 + count;
    std::optional<int64_t> limit = (wakeMask & QS_TIMER) ? TimerLimit() : std::nullopt;
    if (deadline) {
      int64_t left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return WAIT_TIMEOUT;
      limit = std::min(limit.value_or(left), left);
    }
    // Handles cannot wake us, so look at them again every few milliseconds.
    if (count) limit = std::min<int64_t>(limit.value_or(5), 5);
    WaitForChange(seen, limit);
  }
}

// ------------------------------------------------------ translation and dispatch ---

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  uint32_t ch = CharOfKey(static_cast<BYTE>(msg->wParam));
  if (!ch) return FALSE;
  MSG c = *msg;
  c.message = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
  c.wParam = ch;
  PostAtFront(c);
  return TRUE;
}

LRESULT DispatchMessage(const MSG* msg) {
  if (!msg) return 0;
  if (msg->message == WM_TIMER && msg->lParam) {
    // Only a live timer's own callback is called, never a pointer someone posted.
    if (!IsTimerProc(msg->hwnd, msg->wParam, msg->lParam)) return 0;
    reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, GetClockTime());
    return 0;
  }
  if (!msg->hwnd) return 0;
  return CallProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}
