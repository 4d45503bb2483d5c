// The thread pool, the processor core count, the Windows generation, the
// shared user-interface font and the wide-string list.
#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/forms.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/threads.h"
#include "platform/win/kernel.h"
#include "platform/win/sysinfo.h"

// ---- TIEThreadPool ---------------------------------------------------------------------

TIEThreadPool::~TIEThreadPool() {
  // A wait that raises leaves the rest in the pool: keep joining until none is left.
  while (!threads_.empty()) {
    try {
      WaitAll();
    } catch (...) {
    }
  }
}

void TIEThreadPool::Add(TThread* thread) {
  if (thread == nullptr) return;
  threads_.emplace_back(thread);
  thread->Start();
}

void TIEThreadPool::WaitAll() {
  while (!threads_.empty()) {
    std::unique_ptr<TThread> thread = std::move(threads_.front());
    threads_.erase(threads_.begin());
    thread->WaitFor();
  }
}

// ---- processor cores ----------------------------------------------------------------------

namespace {

using TGetLogicalProcessorInformation = BOOL (*)(SYSTEM_LOGICAL_PROCESSOR_INFORMATION*, DWORD*);

// Loaded module, freed when the scope ends.
struct TModule {
  HMODULE handle;
  explicit TModule(const char* name) : handle(LoadLibrary(name)) {}
  ~TModule() {
    if (handle) FreeLibrary(handle);
  }
  TModule(const TModule&) = delete;
  TModule& operator=(const TModule&) = delete;
};

// The core records of the system's processor table; 0 when it cannot be read.
int32_t CountProcessorCores() {
  TModule kernel32("Kernel32.dll");
  if (!kernel32.handle) return 0;
  auto query = reinterpret_cast<TGetLogicalProcessorInformation>(
      GetProcAddress(kernel32.handle, "GetLogicalProcessorInformation"));
  if (!query) return 0;
  DWORD length = 0;
  if (query(nullptr, &length) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) return 0;
  constexpr DWORD recordSize = sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION);
  std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> records((length + recordSize - 1) / recordSize);
  length = static_cast<DWORD>(records.size() * recordSize);
  if (!query(records.data(), &length)) return 0;
  records.resize(std::min<size_t>(records.size(), length / recordSize));
  int32_t cores = 0;
  for (const auto& record : records)
    if (record.Relationship == RelationProcessorCore) ++cores;
  return cores;
}

}  // namespace

int32_t IEGetProcessorCoreCount() {
  auto* settings = IEGetGlobalSettings();
  if (settings->CoreCount == -1) settings->CoreCount = std::max(1, CountProcessorCores());
  return settings->CoreCount;
}

// ---- Windows generation and the shared font ------------------------------------------------

bool IEIsWindowsVistaOrLater() {
  const uint8_t version = IEGetGlobalSettings()->WindowsVersion;
  return version >= 7 && version <= 10;
}

TFont* IEGetDefaultFont() {
  auto* settings = IEGetGlobalSettings();
  if (settings->SharedFont) return settings->SharedFont;
  auto font = std::make_unique<TFont>();
  font->SetCharset(DEFAULT_CHARSET);
  font->SetColor(clWindowText);
  font->SetStyle({});
  if (IEIsWindowsVistaOrLater() && Screen->Fonts()->IndexOf("Segoe UI") >= 0) {
    font->SetHeight(-12);
    font->SetName("Segoe UI");
  } else {
    font->SetHeight(-11);
    font->SetName("Tahoma");
  }
  settings->SharedFont = font.release();
  return settings->SharedFont;
}

void IEFreeDefaultFont() {
  auto* settings = IEGetGlobalSettings();
  delete settings->SharedFont;
  settings->SharedFont = nullptr;
}

// ---- TIEWideStrings ----------------------------------------------------------------------

void TIEWideStrings::Clear() { strings_.clear(); }

void TIEWideStrings::Add(const std::u16string& text) { strings_.push_back(text); }

void TIEWideStrings::GetString(int32_t index, std::u16string& text) const {
  if (index < 0 || static_cast<size_t>(index) >= strings_.size()) RaiseListIndexError(index);
  text = strings_[static_cast<size_t>(index)];
}
