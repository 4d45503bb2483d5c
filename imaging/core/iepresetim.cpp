// The preset frames, kept as PNG files among the program's resources.
#include "imaging/core/iepresetim.h"

#include <string>

#include "platform/rtl/resources.h"

namespace {

constexpr int32_t kPngFormat = 8;

struct TPresetSource {
  const char* Resource;
  RECT FrameRect;
};

const TPresetSource kPresets[] = {
    {"IEPRESET0", {18, 29, 140, 119}},  // white card with a soft shadow
    {"IEPRESET1", {13, 1, 95, 98}},     // film strip
    {"IEPRESET2", {30, 14, 147, 92}},   // spiral notebook page
    {"IEPRESET3", {17, 17, 131, 131}},  // bevelled metal frame
};

std::vector<TIEPresetImage> presets;

}  // namespace

void IEInitializePresetImages() {
  presets.clear();
  for (const TPresetSource& source : kPresets) {
    const TResourceData bytes = ResourceBytes(FindResourceEntry(HInstance, source.Resource, RT_RCDATA));
    presets.push_back(TIEPresetImage{static_cast<int32_t>(bytes.size), bytes.data, kPngFormat, source.FrameRect});
  }
}

void IEFinalizePresetImages() { presets = {}; }

const std::vector<TIEPresetImage>& IEPresetImages() { return presets; }
