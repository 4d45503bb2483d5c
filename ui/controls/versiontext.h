// The four bytes of a control's version number, highest first, joined by ".".
#pragma once

#include <cstdint>
#include <string>

inline std::string VersionText(uint32_t version) {
  return std::to_string(version >> 24) + "." + std::to_string((version >> 16) & 0xFF) + "." +
         std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF);
}
