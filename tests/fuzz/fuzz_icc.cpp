// The ICC profile reader on arbitrary bytes: the header and tag walk, the
// profile handed to the colour system, and translations through it to and
// from sRGB in the layouts its colour space takes.
#include <cstddef>
#include <cstdint>

#include "imaging/core/ruduvazez_icc.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/exceptions.h"
#include "imaging/core/ruduvazez.h"
#include "platform/win/mscms.h"

namespace {

void Translate(TIEICC& profile, TIEICC& display) {
  // Pixels of every kind: 24 bytes hold four pixels of any layout.
  static const uint8_t pixels[24] = {0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 255, 255,
                                     128, 0x80, 127, 10, 200, 90, 40, 3, 250, 180, 30, 77};
  uint8_t out[24];
  for (int32_t layout = iepRGB; layout <= iep3Channel; ++layout) {
    if (!profile.IsCompatibleLayout(layout)) continue;
    profile.TransformPixels(display, layout, 4, out, pixels, iepBGR);
    display.TransformPixels(profile, iepBGR, 4, out, pixels, iepCMYKInverted);
    profile.TransformPixels(profile, layout, 4, out, pixels, iepCMYKInverted);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool registered = [] {
    RegisterBuiltinLibrary("mscms.dll", MscmsExports());
    return true;
  }();
  (void)registered;
  if (size > (size_t{1} << 20)) return 0;
  static TIEICC display;
  if (!display.IsValid()) display.LoadSRGBProfile();
  try {
    TIEICC profile;
    profile.LoadFromBuffer(data, static_cast<int32_t>(size));
    if (profile.IsValid()) Translate(profile, display);
    TIEMemStream stream(data, static_cast<int64_t>(size));
    TIEICC streamed;
    streamed.LoadFromStream(stream, false);
  } catch (const Exception&) {
  }
  return 0;
}
