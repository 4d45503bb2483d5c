#include "imaging/core/iesettings.h"

#include <memory>

#include "imaging/core/ruduvazez.h"
#include "platform/forms/graphics.h"
#include "platform/win/gdi.h"
#include "platform/win/user_paint.h"
#include "platform/win/user_system.h"

namespace {

std::unique_ptr<TIEImageryGlobalSettings>& SettingsInstance() {
  static std::unique_ptr<TIEImageryGlobalSettings> instance;
  return instance;
}

}  // namespace

TIEImageryGlobalSettings::TIEImageryGlobalSettings()
    : WindowsVersion(IEGetWindowsVersion()),
      IsWindowsNT(IEIsWindowsNTVersion(WindowsVersion)),
      PixelGridPen(std::make_unique<TPen>()) {
  HDC screen = GetDC(nullptr);
  ScreenBitsPerPixel = GetDeviceCaps(screen, BITSPIXEL);
  ScreenDPIX = GetDeviceCaps(screen, LOGPIXELSX);
  ScreenDPIY = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  IsRemoteSession = GetSystemMetrics(SM_REMOTESESSION) != 0;
  EdgeWidth = GetSystemMetrics(SM_CXEDGE);
  EdgeHeight = GetSystemMetrics(SM_CYEDGE);
  BorderWidth = GetSystemMetrics(SM_CXBORDER);
  BorderHeight = GetSystemMetrics(SM_CYBORDER);
}

TIEImageryGlobalSettings::~TIEImageryGlobalSettings() = default;

TIEImageryGlobalSettings* IEGetGlobalSettings() {
  auto& instance = SettingsInstance();
  if (!instance) instance = std::make_unique<TIEImageryGlobalSettings>();
  return instance.get();
}

void IEFreeGlobalSettings() { SettingsInstance().reset(); }
