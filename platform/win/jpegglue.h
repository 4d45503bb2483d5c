// What every caller of libjpeg shares: an error manager whose errors leave
// through longjmp to a guard around the library call (no C++ exception ever
// crosses libjpeg's C frames), a source manager over a read callback and a
// destination manager over a write callback, each with a 64 KiB buffer.
//
// A guarded call is written as
//   if (!JpegGuard(err, [&] { jpeg_read_header(&cinfo, TRUE); })) { ...error... }
// where the lambda holds nothing but library calls (longjmp skips destructors).
#pragma once

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct JpegErrorJump {
  jpeg_error_mgr mgr;  // first: libjpeg sees only this
  std::jmp_buf jump;
  int lastCode = 0;        // the message of the last error or warning
  bool dataEnded = false;  // libjpeg met the end of the coded data and padded
};

// Installs the handlers; the result goes into cinfo.err.
jpeg_error_mgr* JpegInitErrors(JpegErrorJump& err);
// Warnings counted since the last reset.
inline long JpegWarnings(const JpegErrorJump& err) { return err.mgr.num_warnings; }

// Runs call; false when libjpeg raised an error inside it.
template <class Call>
bool JpegGuard(JpegErrorJump& err, Call&& call) {
  if (setjmp(err.jump)) return false;
  call();
  return true;
}

// The text of a library message with its printf placeholders shown as "?";
// "" for the two banner messages and "Corrupted" for a code libjpeg lacks.
std::string JpegMessageText(const JpegErrorJump& err, int code);

// Reads input through read(buffer, capacity) -> bytes read (0 at the end; an
// exception counts as the end). At the end the library is given an end
// marker, so a cut stream ends as a complete one; Ended tells it happened.
struct JpegSource {
  jpeg_source_mgr mgr;  // first
  std::function<size_t(uint8_t* buffer, size_t capacity)> Read;
  std::vector<uint8_t> buffer;
  bool started = false;  // some input was read
  bool Ended = false;    // the input ran out
  bool EmptyInput = false;  // it ran out before any byte
};
void JpegAttachSource(j_decompress_ptr cinfo, JpegSource& source);

// Writes output through write(data, count) -> bytes written; a short write
// (or an exception) sets Failed and the rest is dropped.
struct JpegDestination {
  jpeg_destination_mgr mgr;  // first
  std::function<size_t(const uint8_t* data, size_t count)> Write;
  std::vector<uint8_t> buffer;
  bool Failed = false;
};
void JpegAttachDestination(j_compress_ptr cinfo, JpegDestination& destination);
