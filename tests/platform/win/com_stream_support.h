// A COM stream holding bytes, positioned at the start: what the picture
// and GDI+ loaders read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/win/com.h"

inline ComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes) {
  ComPtr<IStream> s;
  CreateStreamOnHGlobal(nullptr, TRUE, s.GetAddressOf());
  ULONG written = 0;
  s->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  s->Seek(0, STREAM_SEEK_SET, nullptr);
  return s;
}
