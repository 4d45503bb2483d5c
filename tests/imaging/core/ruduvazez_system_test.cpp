#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/win/locale.h"
#include "platform/win/sysinfo.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/user_paint.h"
#include "platform/win/user_system.h"
#include "imaging/core/davovevo.h"

namespace {

TEST(Fonts, StylesOfARecord) {
  LOGFONTA a;
  EXPECT_EQ(IELogFontAToFontStyles(&a), 0);
  a.lfWeight = 699;
  a.lfStrikeOut = 1;
  EXPECT_EQ(IELogFontAToFontStyles(&a), IE_FONT_STRIKEOUT);
  a.lfWeight = 700;
  a.lfItalic = 1;
  a.lfUnderline = 255;
  EXPECT_EQ(IELogFontAToFontStyles(&a), IE_FONT_BOLD | IE_FONT_ITALIC | IE_FONT_UNDERLINE | IE_FONT_STRIKEOUT);
  EXPECT_EQ(IELogFontAToFontStyles(nullptr), 0);
  LOGFONTW w;
  w.lfWeight = 900;
  EXPECT_EQ(IELogFontWToFontStyles(&w), IE_FONT_BOLD);
  EXPECT_EQ(IELogFontWToFontStyles(nullptr), 0);
}

TEST(Fonts, NarrowToWideRecord) {
  LOGFONTA a;
  a.lfHeight = -13;
  a.lfWidth = 5;
  a.lfEscapement = 900;
  a.lfOrientation = 450;
  a.lfWeight = 700;
  a.lfItalic = 1;
  a.lfCharSet = 161;
  a.lfQuality = 5;
  a.lfPitchAndFamily = 34;
  std::strcpy(a.lfFaceName, "Caf\xC3\xA9 Sans");
  LOGFONTW w;
  w.lfFaceName[20] = u'x';
  IELogFontAToW(a, w);
  EXPECT_EQ(w.lfHeight, -13);
  EXPECT_EQ(w.lfWidth, 5);
  EXPECT_EQ(w.lfEscapement, 900);
  EXPECT_EQ(w.lfOrientation, 450);
  EXPECT_EQ(w.lfWeight, 700);
  EXPECT_EQ(w.lfItalic, 1);
  EXPECT_EQ(w.lfCharSet, 161);
  EXPECT_EQ(w.lfQuality, 5);
  EXPECT_EQ(w.lfPitchAndFamily, 34);
  EXPECT_EQ(std::u16string(w.lfFaceName), u"Caf\u00E9 Sans");

  std::memset(a.lfFaceName, 'A', LF_FACESIZE);  // no terminator: 32 characters at most are read
  IELogFontAToW(a, w);
  EXPECT_EQ(std::u16string(w.lfFaceName), std::u16string(31, u'A'));
}

TEST(Clipboard, OpenRetriesWhileAnotherHoldsIt) {
  HWND other = reinterpret_cast<HWND>(intptr_t{0x4711});
  ASSERT_TRUE(OpenClipboard(other));
  auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(IEOpenClipboard());
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(180));  // nine pauses of 20 ms

  std::thread release([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    CloseClipboard();
  });
  EXPECT_TRUE(IEOpenClipboard());
  release.join();
  CloseClipboard();
}

TEST(SystemProbes, AnswersOfThePlatform) {
  OSVERSIONINFOA info;
  ASSERT_TRUE(GetVersionExA(&info));
  EXPECT_EQ(IEGetWindowsVersion(), IEWindowsVersionCode(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion));
  MEMORYSTATUSEX status;
  ASSERT_TRUE(GlobalMemoryStatusEx(&status));
  EXPECT_EQ(IEGetPhysicalMemory(false), status.ullTotalPhys);
}

TEST(SystemProbes, SettingsReadTheScreen) {
  IEFreeGlobalSettings();
  const auto& s = *IEGetGlobalSettings();
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(s.ScreenBitsPerPixel, GetDeviceCaps(screen, BITSPIXEL));
  EXPECT_EQ(s.ScreenDPIX, GetDeviceCaps(screen, LOGPIXELSX));
  EXPECT_EQ(s.ScreenDPIY, GetDeviceCaps(screen, LOGPIXELSY));
  ReleaseDC(nullptr, screen);
  EXPECT_GT(s.ScreenBitsPerPixel, 0);
  EXPECT_GT(s.ScreenDPIX, 0);
  EXPECT_EQ(s.EdgeWidth, GetSystemMetrics(SM_CXEDGE));
  EXPECT_EQ(s.EdgeHeight, GetSystemMetrics(SM_CYEDGE));
  EXPECT_EQ(s.BorderWidth, GetSystemMetrics(SM_CXBORDER));
  EXPECT_EQ(s.BorderHeight, GetSystemMetrics(SM_CYBORDER));
  EXPECT_GT(s.EdgeWidth, 0);
  EXPECT_EQ(s.IsRemoteSession, GetSystemMetrics(SM_REMOTESESSION) != 0);
}

TEST(SystemProbes, StartupLocaleStaysWhenTheLocaleChanges) {
  const LCID first = IEStartupThreadLocale();
  const std::string other = PRIMARYLANGID(static_cast<LANGID>(first)) == 0x07 ? "fr_FR.UTF-8" : "de_DE.UTF-8";
  ScopedUserLocale change(other);
  ASSERT_NE(GetThreadLocale(), first);
  EXPECT_EQ(IEStartupThreadLocale(), first);
}

}  // namespace
