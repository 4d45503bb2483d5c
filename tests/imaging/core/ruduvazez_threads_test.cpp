#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/forms.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/threads.h"
#include "platform/win/kernel.h"
#include "platform/win/sysinfo.h"

namespace {

// ---- thread pool ----------------------------------------------------------------

struct TPoolLog {
  std::atomic<int> runs{0};
  std::atomic<int> freed{0};
};

class TCountingThread : public TThread {
public:
  TCountingThread(TPoolLog& log, uint32_t delayMs) : log_(log), delayMs_(delayMs) {}
  ~TCountingThread() override { ++log_.freed; }

protected:
  void Execute() override {
    Sleep(delayMs_);
    ++log_.runs;
  }

private:
  TPoolLog& log_;
  uint32_t delayMs_;
};

TEST(ThreadPool, RunsEveryWorkerAndFreesItOnWaitAll) {
  TPoolLog log;
  TIEThreadPool pool;
  for (int i = 0; i < 6; ++i) pool.Add(new TCountingThread(log, 30 - 5 * i));
  pool.WaitAll();
  EXPECT_EQ(log.runs, 6);
  EXPECT_EQ(log.freed, 6);
}

TEST(ThreadPool, EmptyWaitReturnsAndThePoolTakesNewWorkers) {
  TPoolLog log;
  TIEThreadPool pool;
  const uint64_t started = GetTickCount64();
  pool.WaitAll();
  EXPECT_LT(GetTickCount64() - started, 50u);

  for (int round = 1; round <= 3; ++round) {
    pool.Add(new TCountingThread(log, 5));
    pool.Add(new TCountingThread(log, 0));
    pool.WaitAll();
    EXPECT_EQ(log.runs, 2 * round);
    EXPECT_EQ(log.freed, 2 * round);
  }
}

TEST(ThreadPool, DestructionJoinsWorkersStillRunning) {
  TPoolLog log;
  {
    TIEThreadPool pool;
    pool.Add(new TCountingThread(log, 60));
    pool.Add(new TCountingThread(log, 10));
  }
  EXPECT_EQ(log.runs, 2);
  EXPECT_EQ(log.freed, 2);
}

// ---- processor cores ----------------------------------------------------------------

// Records served by the stand-in for the system's processor table.
std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> fakeRecords;
bool fakeFails = false;

BOOL FakeProcessorInformation(SYSTEM_LOGICAL_PROCESSOR_INFORMATION* buffer, DWORD* length) {
  const auto needed = static_cast<DWORD>(fakeRecords.size() * sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  if (fakeFails) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  if (!buffer || *length < needed) {
    *length = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::copy(fakeRecords.begin(), fakeRecords.end(), buffer);
  *length = needed;
  return TRUE;
}

SYSTEM_LOGICAL_PROCESSOR_INFORMATION Record(LOGICAL_PROCESSOR_RELATIONSHIP relationship, ULONG_PTR mask) {
  SYSTEM_LOGICAL_PROCESSOR_INFORMATION r{};
  r.Relationship = relationship;
  r.ProcessorMask = mask;
  return r;
}

// Keeps the cached count and the built-in "kernel32.dll" of the platform,
// and puts both back afterwards.
class ProcessorCores : public ::testing::Test {
protected:
  void SetUp() override {
    savedCount_ = IEGetGlobalSettings()->CoreCount;
    IEGetGlobalSettings()->CoreCount = -1;
    HMODULE kernel32 = LoadLibrary("kernel32.dll");
    ASSERT_NE(kernel32, nullptr);
    for (const char* name : {"GlobalMemoryStatusEx", "GetLogicalProcessorInformation", "GetNativeSystemInfo",
                             "GetLocaleInfoEx"})
      if (void* address = GetProcAddress(kernel32, name)) exports_.emplace_back(name, address);
    FreeLibrary(kernel32);
  }
  void TearDown() override {
    RegisterBuiltinLibrary("kernel32.dll", exports_);
    IEGetGlobalSettings()->CoreCount = savedCount_;
    fakeRecords.clear();
    fakeFails = false;
  }
  static void ServeFake() {
    RegisterBuiltinLibrary("kernel32.dll",
                           {{"GetLogicalProcessorInformation", reinterpret_cast<void*>(&FakeProcessorInformation)}});
  }

private:
  int32_t savedCount_ = -1;
  TLibraryExports exports_;
};

TEST_F(ProcessorCores, CountsThePhysicalCoresOfThisMachineOnce) {
  DWORD length = 0;
  GetLogicalProcessorInformation(nullptr, &length);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records(length / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION));
  ASSERT_TRUE(GetLogicalProcessorInformation(records.data(), &length));
  int32_t cores = 0;
  for (const auto& r : records) cores += r.Relationship == RelationProcessorCore;

  const int32_t count = IEGetProcessorCoreCount();
  EXPECT_GE(count, 1);
  EXPECT_EQ(count, cores);
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  EXPECT_LE(count, static_cast<int32_t>(info.dwNumberOfProcessors));
  EXPECT_EQ(IEGetGlobalSettings()->CoreCount, count);

  IEGetGlobalSettings()->CoreCount = 3;  // a cached answer is not asked again
  EXPECT_EQ(IEGetProcessorCoreCount(), 3);
}

TEST_F(ProcessorCores, OnlyCoreRecordsCount) {
  // Four cores of two logical processors each, with their package and caches.
  fakeRecords = {Record(RelationProcessorCore, 0x03), Record(RelationCache, 0x03),
                 Record(RelationProcessorCore, 0x0C), Record(RelationCache, 0x0C),
                 Record(RelationProcessorCore, 0x30), Record(RelationProcessorCore, 0xC0),
                 Record(RelationProcessorPackage, 0xFF), Record(RelationNumaNode, 0xFF)};
  ServeFake();
  EXPECT_EQ(IEGetProcessorCoreCount(), 4);
}

TEST_F(ProcessorCores, OneWhenTheTableCannotBeRead) {
  struct Case {
    const char* what;
    void (*prepare)();
  };
  const Case cases[] = {
      {"no kernel32.dll", [] { UnregisterBuiltinLibrary("kernel32.dll"); }},
      {"no export", [] { RegisterBuiltinLibrary("kernel32.dll", {}); }},
      {"query fails", [] { fakeFails = true; ServeFake(); }},
      {"no core record", [] { fakeRecords = {Record(RelationProcessorPackage, 1)}; ServeFake(); }},
  };
  for (const auto& c : cases) {
    IEGetGlobalSettings()->CoreCount = -1;
    fakeFails = false;
    fakeRecords.clear();
    c.prepare();
    EXPECT_EQ(IEGetProcessorCoreCount(), 1) << c.what;
    EXPECT_EQ(IEGetGlobalSettings()->CoreCount, 1) << c.what;
  }
  // The answer stays cached once the system offers the table again.
  fakeRecords = {Record(RelationProcessorCore, 1), Record(RelationProcessorCore, 2)};
  ServeFake();
  EXPECT_EQ(IEGetProcessorCoreCount(), 1);
}

// ---- Windows generation and the shared font ------------------------------------------------

// Keeps the settings' version and font and the screen's font list, and
// puts them back afterwards.
class DefaultFont : public ::testing::Test {
protected:
  void SetUp() override {
    savedVersion_ = IEGetGlobalSettings()->WindowsVersion;
    IEFreeDefaultFont();
    segoeInstalled_ = Screen->Fonts()->IndexOf("Segoe UI") >= 0;
  }
  void TearDown() override {
    IEFreeDefaultFont();
    IEGetGlobalSettings()->WindowsVersion = savedVersion_;
    SetSegoeInstalled(segoeInstalled_);
  }
  static void SetSegoeInstalled(bool installed) {
    TStrings* fonts = Screen->Fonts();
    const int32_t index = fonts->IndexOf("Segoe UI");
    if (installed && index < 0) fonts->Add("Segoe UI");
    if (!installed && index >= 0) fonts->Delete(index);
  }

private:
  uint8_t savedVersion_ = 0;
  bool segoeInstalled_ = false;
};

TEST_F(DefaultFont, VistaOrLaterByVersionCode) {
  for (uint8_t code = 0; code <= 12; ++code) {
    IEGetGlobalSettings()->WindowsVersion = code;
    EXPECT_EQ(IEIsWindowsVistaOrLater(), code >= 7 && code <= 10) << int(code);
  }
}

TEST_F(DefaultFont, FaceBySystemAndInstalledFonts) {
  struct Case {
    uint8_t version;
    bool segoeInstalled;
    const char* name;
    int32_t height;
  };
  const Case cases[] = {
      {5, true, "Tahoma", -11},     // XP keeps Tahoma even with Segoe UI present
      {6, true, "Tahoma", -11},
      {7, false, "Tahoma", -11},    // Vista without Segoe UI
      {7, true, "Segoe UI", -12},
      {8, true, "Segoe UI", -12},
      {10, true, "Segoe UI", -12},
  };
  for (const auto& c : cases) {
    IEFreeDefaultFont();
    IEGetGlobalSettings()->WindowsVersion = c.version;
    SetSegoeInstalled(c.segoeInstalled);
    TFont* font = IEGetDefaultFont();
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->Name(), c.name) << int(c.version) << " " << c.segoeInstalled;
    EXPECT_EQ(font->Height(), c.height) << int(c.version) << " " << c.segoeInstalled;
    EXPECT_EQ(font->Charset(), DEFAULT_CHARSET);
    EXPECT_EQ(font->Color(), clWindowText);
    EXPECT_TRUE(font->Style().Empty());
  }
}

TEST_F(DefaultFont, OneSharedObjectUntilFreed) {
  IEGetGlobalSettings()->WindowsVersion = 8;
  SetSegoeInstalled(true);
  TFont* font = IEGetDefaultFont();
  EXPECT_EQ(IEGetGlobalSettings()->SharedFont, font);
  font->SetSize(20);  // a caller's change is seen by every later caller
  EXPECT_EQ(IEGetDefaultFont(), font);
  EXPECT_EQ(IEGetDefaultFont()->Size(), 20);
  // A later change of system does not replace the font made first.
  IEGetGlobalSettings()->WindowsVersion = 5;
  EXPECT_EQ(IEGetDefaultFont()->Name(), "Segoe UI");

  IEFreeDefaultFont();  // the sanitizer reports the font if this leaks it
  EXPECT_EQ(IEGetGlobalSettings()->SharedFont, nullptr);
  IEFreeDefaultFont();  // nothing left to free
  EXPECT_EQ(IEGetDefaultFont()->Name(), "Tahoma");
}

// ---- TIEWideStrings ----------------------------------------------------------------------

TEST(WideStrings, KeepsOwnCopiesInOrder) {
  TIEWideStrings list;
  std::u16string text = u"C:\\Bilder\\\u00C4rger.jpg";
  list.Add(text);
  text[0] = u'D';  // the list holds its own copy
  list.Add(u"");
  list.Add(u"\U0001F600.png");
  std::u16string out;
  list.GetString(0, out);
  EXPECT_EQ(out, u"C:\\Bilder\\\u00C4rger.jpg");
  list.GetString(1, out);
  EXPECT_EQ(out, u"");
  list.GetString(2, out);
  EXPECT_EQ(out, u"\U0001F600.png");

  EXPECT_THROW(list.GetString(3, out), EListError);
  EXPECT_THROW(list.GetString(-1, out), EListError);
  list.Clear();
  EXPECT_THROW(list.GetString(0, out), EListError);
  list.Add(u"again");
  list.GetString(0, out);
  EXPECT_EQ(out, u"again");
}

}  // namespace
