// The preset frames: four small pictures that can stand behind thumbnails,
// each with the rectangle inside it where an image fits. The library's
// start-up lists them and its shut-down frees the list.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/wintypes.h"

struct TIEPresetImage {
  int32_t DataSize = 0;          // bytes of the stored file
  const uint8_t* Data = nullptr;  // the stored file, constant data of the program
  int32_t FileFormat = 0;        // format registry id of the stored file
  RECT FrameRect{};              // the inner area, in pixels of the picture
};

// Builds the list (the card, the film strip, the notebook page, the metal frame).
void IEInitializePresetImages();
void IEFinalizePresetImages();
// The list while the library runs; empty otherwise.
const std::vector<TIEPresetImage>& IEPresetImages();
