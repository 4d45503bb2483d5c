#include "imaging/core/iesettings.h"

#include <memory>

#include "imaging/core/ruduvazez.h"

namespace {

std::unique_ptr<TIEImageryGlobalSettings>& SettingsInstance() {
  static std::unique_ptr<TIEImageryGlobalSettings> instance;
  return instance;
}

}  // namespace

TIEImageryGlobalSettings::TIEImageryGlobalSettings()
    : WindowsVersion(IEGetWindowsVersion()), IsWindowsNT(IEIsWindowsNTVersion(WindowsVersion)) {}

TIEImageryGlobalSettings* IEGetGlobalSettings() {
  auto& instance = SettingsInstance();
  if (!instance) instance = std::make_unique<TIEImageryGlobalSettings>();
  return instance.get();
}

void IEFreeGlobalSettings() { SettingsInstance().reset(); }
