// The message queue: posting and sending across threads, retrieval order,
// filters, waits, thread messages and registered numbers.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/rtl/threads.h"
#include "platform/win/kernel.h"
#include "tests/platform/win/user_test_support.h"

namespace {

using MessagesTest = UserTest;
using namespace std::chrono_literals;

constexpr UINT WM_SYNCHRONIZE = WM_APP + 0x0FFF;

TEST_F(MessagesTest, SendFromAWorkerReturnsOnlyAfterTheGuiThreadHandledIt) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  std::thread::id handledOn;
  std::atomic<bool> handled{false};
  handler = [&](HWND, UINT m, WPARAM wp, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_SYNCHRONIZE) return std::nullopt;
    handledOn = std::this_thread::get_id();
    handled = true;
    return static_cast<LRESULT>(wp * 2);
  };
  std::atomic<bool> returned{false};
  std::atomic<bool> handledBeforeReturn{false};
  LRESULT result = 0;
  std::thread worker([&] {
    result = SendMessage(w, WM_SYNCHRONIZE, 21, 0);
    handledBeforeReturn = handled.load();
    returned = true;
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_FALSE(returned) << "the worker waits while the GUI thread does not look at its queue";
  // Waiting for a sent message, then looking without removing, delivers it.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_SENDMESSAGE), 0u);
  MSG m;
  PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
  worker.join();
  EXPECT_TRUE(handledBeforeReturn);
  EXPECT_EQ(result, 42);
  EXPECT_EQ(handledOn, std::this_thread::get_id());
  // On the GUI thread a send is a direct call.
  EXPECT_EQ(SendMessage(w, WM_SYNCHRONIZE, 5, 0), 10);
}

TEST_F(MessagesTest, PostsFromWorkersKeepTheirNumbersAndOrder) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  const std::vector<UINT> numbers = {0x1F58, 0x1F59, 0x1F5A, 0x1F5B, 0x1F5C, 0x1F5D, 0x1F5E, WM_USER + 5,
                                     WM_APP + 1};
  std::thread worker([&] {
    for (UINT n : numbers) EXPECT_TRUE(PostMessage(w, n, n + 1, 77));
  });
  worker.join();
  Pump();
  std::vector<UINT> got;
  for (const Logged& l : log)
    if (std::find(numbers.begin(), numbers.end(), l.message) != numbers.end()) {
      got.push_back(l.message);
      EXPECT_EQ(l.wParam, l.message + 1);
      EXPECT_EQ(l.lParam, 77);
    }
  EXPECT_EQ(got, numbers);
}

TEST_F(MessagesTest, PostsToADestroyedWindowAreDropped) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  HWND other = Make(WS_POPUP, RECT{0, 0, 10, 10});
  std::thread worker([&] {
    PostMessage(w, WM_USER + 1, 0, 0);
    PostMessage(other, WM_USER + 2, 0, 0);
  });
  worker.join();
  DestroyWindow(w);
  Pump();
  EXPECT_TRUE(Of(w, WM_USER + 1).empty());
  EXPECT_EQ(Of(other, WM_USER + 2).size(), 1u);
  EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0)) << "a stale handle is refused at once";
  EXPECT_EQ(SendMessage(w, WM_USER, 0, 0), 0);
  // A worker's send to a window that is gone returns at once.
  LRESULT r = -1;
  std::thread late([&] { r = SendMessage(w, WM_USER, 0, 0); });
  late.join();
  EXPECT_EQ(r, 0);
}

TEST_F(MessagesTest, RetrievalOrderIsPostedThenQuitThenPaintThenTimer) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 10, 10});
  Pump();
  SetTimer(w, 1, 10, nullptr);
  AdvanceClock(20);
  InvalidateRect(w, nullptr, FALSE);
  PostQuitMessage(3);
  PostMessage(w, WM_USER + 1, 0, 0);
  PostMessage(w, WM_USER + 2, 0, 0);
  std::vector<UINT> order;
  MSG m;
  for (int i = 0; i < 3; ++i) {
    BOOL more = GetMessage(&m, nullptr, 0, 0);
    order.push_back(m.message);
    if (!more) {
      EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
      EXPECT_EQ(m.wParam, 3u);
    }
  }
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  order.push_back(m.message);
  DispatchMessage(&m);
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  order.push_back(m.message);
  EXPECT_EQ(order, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_QUIT, WM_PAINT, WM_TIMER}));
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessagesTest, PeekHonoursRemovalAndFilters) {
  HWND a = Make(WS_POPUP, RECT{0, 0, 10, 10});
  HWND b = Make(WS_POPUP, RECT{0, 0, 10, 10});
  PostMessage(a, WM_USER + 1, 0, 0);
  PostMessage(b, WM_USER + 2, 0, 0);
  PostMessage(a, WM_USER + 3, 0, 0);
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(m.message, WM_USER + 1) << "not removed";
  ASSERT_TRUE(PeekMessage(&m, b, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 2);
  ASSERT_TRUE(PeekMessage(&m, nullptr, WM_USER + 3, WM_USER + 3, PM_REMOVE));
  EXPECT_EQ(m.hwnd, a);
  EXPECT_EQ(GetQueueStatus(QS_POSTMESSAGE) & 0xFFFF, QS_POSTMESSAGE);
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_USER + 1);
  EXPECT_FALSE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetQueueStatus(QS_ALLINPUT), 0u);
}

TEST_F(MessagesTest, ThreadMessagesReachOnlyTheGuiThread) {
  Make(WS_POPUP, RECT{0, 0, 10, 10});
  DWORD gui = GetGuiThreadId();
  ASSERT_NE(gui, 0u);
  EXPECT_EQ(GetWindowThreadProcessId(FindWindow(kLogged, nullptr), nullptr), gui);
  std::thread worker([&] { EXPECT_TRUE(PostThreadMessage(gui, WM_APP + 7, 1, 2)); });
  worker.join();
  EXPECT_FALSE(PostThreadMessage(gui + 1, WM_APP + 8, 0, 0));
  MSG m;
  ASSERT_TRUE(PeekMessage(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.hwnd, nullptr);
  EXPECT_EQ(m.message, WM_APP + 7);
  EXPECT_EQ(DispatchMessage(&m), 0);
}

TEST_F(MessagesTest, MsgWaitReportsHandlesInputAndTimeouts) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  HANDLE handles[2] = {CreateEventA(nullptr, TRUE, FALSE, nullptr), CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, FALSE, 20, QS_ALLINPUT), WAIT_TIMEOUT) << "nothing happened";
  std::thread worker([&] {
    std::this_thread::sleep_for(10ms);
    SetEvent(handles[1]);
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0 + 1);
  worker.join();
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, TRUE, 0, 0), WAIT_TIMEOUT) << "not all of them";
  SetEvent(handles[0]);
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, TRUE, 0, 0), WAIT_OBJECT_0);
  ResetEvent(handles[0]);
  ResetEvent(handles[1]);
  std::thread poster([&] {
    std::this_thread::sleep_for(10ms);
    PostMessage(w, WM_USER, 0, 0);
  });
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, FALSE, 5000, QS_ALLINPUT), WAIT_OBJECT_0 + 2) << "input came";
  poster.join();
  EXPECT_EQ(MsgWaitForMultipleObjects(2, handles, FALSE, 0, QS_SENDMESSAGE), WAIT_TIMEOUT) << "a post is no send";
  EXPECT_EQ(MsgWaitForMultipleObjects(65, handles, FALSE, 0, QS_ALLINPUT), WAIT_FAILED);
  CloseHandle(handles[0]);
  CloseHandle(handles[1]);
}

TEST_F(MessagesTest, GetMessageWakesForAWorkerPost) {
  HWND w = Make(WS_POPUP, RECT{0, 0, 10, 10});
  std::thread worker([&] {
    std::this_thread::sleep_for(10ms);
    PostMessage(w, WM_USER + 9, 0, 0);
  });
  MSG m;
  EXPECT_TRUE(GetMessage(&m, nullptr, 0, 0));
  EXPECT_EQ(m.message, WM_USER + 9);
  worker.join();
}

TEST_F(MessagesTest, ThreadCallsRunInTheMessageLoop) {
  Make(WS_POPUP, RECT{0, 0, 10, 10});
  std::thread::id ranOn, queuedOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    TThread::Queue(nullptr, [&] { queuedOn = std::this_thread::get_id(); });
    TThread::Synchronize(nullptr, [&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  // A thread waiting in Synchronize counts as a sent message for waits.
  EXPECT_EQ(MsgWaitForMultipleObjects(0, nullptr, FALSE, 5000, QS_SENDMESSAGE), 0u);
  MSG m;
  auto limit = std::chrono::steady_clock::now() + 10s;
  while (!returned && std::chrono::steady_clock::now() < limit) {
    PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);
    std::this_thread::sleep_for(1ms);
  }
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(queuedOn, std::this_thread::get_id());
}

TEST_F(MessagesTest, RegisteredNumbersAreSharedAndCaseInsensitive) {
  UINT help = RegisterWindowMessage("commdlg_help");
  EXPECT_GE(help, 0xC000u);
  EXPECT_EQ(RegisterWindowMessage("COMMDLG_HELP"), help);
  EXPECT_NE(RegisterWindowMessage("another"), help);
  EXPECT_EQ(RegisterWindowMessage(""), 0u);
  EXPECT_EQ(RegisterClipboardFormat("commdlg_help"), help) << "one table for both";
}

}  // namespace
