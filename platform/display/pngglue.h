// What every caller of libpng shares: read and write structures made with
// the installed library's version, whose errors leave through longjmp to a
// guard around the library call (no C++ exception ever crosses libpng's C
// frames), warnings ignored, and limits on what a file can make libpng
// allocate: no block above 16 MiB (a chunk that declares more is skipped or
// fails the image), ancillary chunks above 8 MiB dropped, at most 1,000 kept.
//
// A guarded call is written as
//   if (!PngGuard(jump, [&] { png_read_info(png, info); })) { ...error... }
// where the lambda holds nothing but library calls (longjmp skips destructors).
#pragma once

#include <png.h>

#include <csetjmp>

struct PngJump {
  std::jmp_buf jump;
};

// Null when libpng cannot make the structure.
png_structp PngCreateRead(PngJump& jump);
png_structp PngCreateWrite(PngJump& jump);

template <class Call>
bool PngGuard(PngJump& jump, Call&& call) {
  if (setjmp(jump.jump)) return false;
  call();
  return true;
}
