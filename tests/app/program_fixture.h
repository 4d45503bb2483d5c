// A program run for tests: the program started headless in a folder of its
// own (settings, temporary and data folders inside it) under a given user
// locale, with that locale's number and date format, and stopped again,
// windows and units, however the test ends.
#pragma once

#include <locale.h>
#include <filesystem>
#include <string>

#include "app/vesk_program.h"
#include "platform/display/headless.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/locale.h"
#include "platform/win/user.h"
#include "tests/services/test_folder.h"

// The number and date format of a locale as the run-time library reads it.
// A machine that lacks the locale still gives the test its separators: the
// program's languages other than English write a decimal comma.
inline TFormatSettings TestLocaleFormat(const std::string& locale) {
  if (locale_t installed = newlocale(LC_NUMERIC_MASK, locale.c_str(), locale_t{})) {
    freelocale(installed);
    return LocaleFormatSettings(locale);
  }
  TFormatSettings format = InvariantFormatSettings();
  for (const char* language : {"cs", "de", "es", "fr", "id", "in", "pl"})
    if (locale.starts_with(std::string(language) + "_")) {
      format.DecimalSeparator = ',';
      format.ThousandSeparator = '.';
    }
  return format;
}

class Program {
public:
  explicit Program(const std::string& locale, const std::string& settings = "")
      : locale_(locale), format_(TestLocaleFormat(locale)), config_("XDG_CONFIG_HOME", t / "config"), tmp_("TMPDIR", t / "tmp"),
        data_("XDG_DATA_HOME", t / "data") {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    ClearDialogScript();
    std::filesystem::create_directories(t / "tmp");
    if (!settings.empty()) WriteBelow(t, "config/vesk/vesk.ini", settings);
  }
  ~Program() { Stop(); }

  void Start() {
    VeskUnitsInitialize();
    started_ = true;
    VeskCreateWindows();
  }
  void Stop() {
    if (!started_) return;
    VeskFreeWindows();
    VeskUnitsFinalize();
    // A run that ended by closing the main window leaves its quit message
    // queued; the next program must not find it and end its first modal loop.
    MSG left;
    while (PeekMessage(&left, nullptr, 0, 0, PM_REMOVE)) {
    }
    Application->ResetTerminated();
    started_ = false;
  }
  std::string SettingsFile() const { return t / "config/vesk/vesk.ini"; }

  TempFolder t;

private:
  ScopedUserLocale locale_;
  TFormatSettingsOverride format_;
  ScopedEnv config_, tmp_, data_;
  bool started_ = false;
};
