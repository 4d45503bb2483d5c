#include "services/supsynch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "services/supsysutils.h"
#include "tests/services/test_folder.h"

namespace {

std::string MutexName(const std::string& stem) {
  return "SupSynchTest-" + stem + "-" + std::to_string(GetCurrentProcessId());
}

// Runs body on a thread of its own and waits for it.
template <typename Body>
void OnOtherThread(Body body) {
  std::thread(body).join();
}

}  // namespace

TEST(SupErrors, Win32ErrorNamesCodeAndSystemText) {
  struct Case {
    uint32_t code;
    std::string systemMessage;
  };
  const Case cases[] = {
      {5, SysErrorMessage(EACCES)},
      {0xDEADBEEF, ""},  // no text: the code still shows, unsigned
  };
  for (const Case& c : cases) {
    SetLastError(c.code);
    ESupWin32Error e = ESupWin32Error::CreateWithLastError("Failed to open");
    EXPECT_EQ(e.ErrorCode(), c.code);
    EXPECT_EQ(e.SystemMessage(), c.systemMessage);
    EXPECT_EQ(e.Message(), "Win32 error: " + c.systemMessage + " (" + std::to_string(c.code) + ")\r\nFailed to open");
  }
}

TEST(SupErrors, FamilyCatchesAsItsBase) {
  auto raised = [](auto e) {
    try {
      throw e;
    } catch (const ESupError& caught) {
      return caught.Message();
    }
  };
  EXPECT_EQ(raised(ESupInternalError("Failed to get ANSI replacement character")),
            "Failed to get ANSI replacement character");
  EXPECT_EQ(raised(ESharedMemError("shared")), "shared");
  SetLastError(5);
  EXPECT_NE(raised(ESupWin32Error::CreateWithLastError<ESupMutexError>("m")).find("(5)"), std::string::npos);
}

TEST(SupSynch, NamedMutexIsSharedAndReportsItExisted) {
  TempFolder t;  // holds the named mutex's lock files
  ScopedEnv runtime("XDG_RUNTIME_DIR", t.Path());
  const std::string name = MutexName("shared");
  TSupMutex first(nullptr, true, name);
  TSupMutex second(nullptr, false, name);
  EXPECT_FALSE(first.AlreadyExisted());
  EXPECT_TRUE(second.AlreadyExisted());
  EXPECT_EQ(second.Name(), name);

  // The first object's ownership blocks the second handle on another thread.
  OnOtherThread([&] {
    EXPECT_EQ(second.WaitSignal(0), woTimeout);
    EXPECT_FALSE(second.Unlock()) << "not the owner";
  });
  EXPECT_EQ(second.WaitSignal(0), woSignaled) << "the owner may enter again";
  EXPECT_TRUE(second.Unlock());
  EXPECT_TRUE(first.Unlock());
  OnOtherThread([&] {
    EXPECT_EQ(second.WaitSignal(INFINITE), woSignaled);
    EXPECT_TRUE(second.Unlock());
  });
}

TEST(SupSynch, MutexLeftByAnEndedThreadIsAbandoned) {
  TSupMutex mutex(nullptr, false, "");
  OnOtherThread([&] { ASSERT_EQ(mutex.WaitSignal(0), woSignaled); });
  EXPECT_EQ(mutex.WaitSignal(0), woAbandoned);
  EXPECT_TRUE(mutex.Unlock());
  EXPECT_EQ(mutex.WaitSignal(0), woSignaled);
  EXPECT_TRUE(mutex.Unlock());
}

TEST(SupSynch, FailedMutexCarriesThePlatformError) {
  TempFolder t;
  ScopedEnv runtime("XDG_RUNTIME_DIR", "");
  ScopedEnv temp("TMPDIR", t / "missing");
  try {
    TSupMutex mutex(nullptr, false, MutexName("nowhere"));
    FAIL() << "created without a folder for it";
  } catch (const ESupMutexError& e) {
    EXPECT_NE(e.ErrorCode(), 0u);
    EXPECT_TRUE(e.Message().starts_with("Win32 error: ")) << e.Message();
    EXPECT_TRUE(e.Message().ends_with(")\r\nFailed to create mutex")) << e.Message();
  }
}

TEST(SupSynch, InterfaceReferencesHoldTheLock) {
  TSupIntfCriticalSection section;
  std::atomic<bool> entered{false};
  std::thread other;
  try {
    ComPtr<IUnknown> held(&section);
    void* again = nullptr;
    ASSERT_EQ(held->QueryInterface(IID_IUnknown, &again), S_OK);
    ComPtr<IUnknown> nested = ComPtr<IUnknown>::Attach(static_cast<IUnknown*>(again));
    void* none = &section;
    EXPECT_EQ(held->QueryInterface(IID_IStream, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    other = std::thread([&] {
      ComPtr<IUnknown> mine(&section);
      entered = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(entered) << "the other thread got in while references were held";
    throw Exception("leaving by an exception");
  } catch (const Exception&) {
  }
  other.join();
  EXPECT_TRUE(entered);
}

TEST(SupSynch, CriticalSectionNestsInOneThread) {
  TSupCriticalSection section;
  section.Enter();
  section.Enter();
  section.Leave();
  std::atomic<bool> entered{false};
  std::thread other([&] {
    section.Enter();
    entered = true;
    section.Leave();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(entered);
  section.Leave();
  other.join();
  EXPECT_TRUE(entered);
}
