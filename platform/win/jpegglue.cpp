// libjpeg glue shared by the picture decoders and the JPEG codec; see jpegglue.h.
#include "platform/win/jpegglue.h"

#include <jerror.h>

namespace {

constexpr size_t kBufferSize = 65536;

void JumpOut(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorJump*>(cinfo->err);
  err->lastCode = err->mgr.msg_code;
  std::longjmp(err->jump, 1);
}

void Note(j_common_ptr cinfo, int level) {
  auto* err = reinterpret_cast<JpegErrorJump*>(cinfo->err);
  if (level >= 0) return;
  ++err->mgr.num_warnings;
  err->lastCode = err->mgr.msg_code;
  if (err->mgr.msg_code == JWRN_JPEG_EOF || err->mgr.msg_code == JWRN_HIT_MARKER) err->dataEnded = true;
}

void Silent(j_common_ptr) {}

void Reset(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<JpegErrorJump*>(cinfo->err);
  err->mgr.num_warnings = 0;
  err->mgr.msg_code = 0;
}

// ---- source

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
  size_t got = 0;
  if (!src->Ended) {
    try {
      got = src->Read(src->buffer.data(), src->buffer.size());
    } catch (...) {
      got = 0;
    }
  }
  if (got == 0 || got > src->buffer.size()) {
    if (!src->started) src->EmptyInput = true;
    src->Ended = true;
    src->buffer[0] = 0xFF;
    src->buffer[1] = JPEG_EOI;
    got = 2;
  }
  src->started = true;
  src->mgr.next_input_byte = src->buffer.data();
  src->mgr.bytes_in_buffer = got;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long count) {
  auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
  if (count <= 0) return;
  while (static_cast<size_t>(count) > src->mgr.bytes_in_buffer) {
    count -= static_cast<long>(src->mgr.bytes_in_buffer);
    FillInput(cinfo);
    if (src->Ended) return;  // nothing more to skip over
  }
  src->mgr.next_input_byte += count;
  src->mgr.bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

// ---- destination

void Flush(JpegDestination& dest, size_t count) {
  if (count == 0 || dest.Failed) return;
  size_t written = 0;
  try {
    written = dest.Write(dest.buffer.data(), count);
  } catch (...) {
    written = 0;
  }
  if (written != count) dest.Failed = true;
}

void InitDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  dest->mgr.next_output_byte = dest->buffer.data();
  dest->mgr.free_in_buffer = dest->buffer.size();
}

boolean EmptyOutput(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  Flush(*dest, dest->buffer.size());
  InitDestination(cinfo);
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  auto* dest = reinterpret_cast<JpegDestination*>(cinfo->dest);
  Flush(*dest, dest->buffer.size() - dest->mgr.free_in_buffer);
}

}  // namespace

jpeg_error_mgr* JpegInitErrors(JpegErrorJump& err) {
  jpeg_std_error(&err.mgr);
  err.mgr.error_exit = JumpOut;
  err.mgr.emit_message = Note;
  err.mgr.output_message = Silent;
  err.mgr.reset_error_mgr = Reset;
  return &err.mgr;
}

std::string JpegMessageText(const JpegErrorJump& err, int code) {
  if (code == JMSG_COPYRIGHT || code == JMSG_VERSION) return {};
  if (code < 0 || code > err.mgr.last_jpeg_message || !err.mgr.jpeg_message_table[code]) return "Corrupted";
  const std::string format = err.mgr.jpeg_message_table[code];
  std::string text;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      text += format[i];
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == '%') {
      text += '%';
      ++i;
      continue;
    }
    // Skip flags, width and length up to the conversion letter.
    size_t j = i + 1;
    while (j < format.size() && std::string("0123456789.-+ lhz#").find(format[j]) != std::string::npos) ++j;
    text += '?';
    i = j;
  }
  return text;
}

void JpegAttachSource(j_decompress_ptr cinfo, JpegSource& source) {
  source.buffer.resize(kBufferSize);
  source.mgr.init_source = InitSource;
  source.mgr.fill_input_buffer = FillInput;
  source.mgr.skip_input_data = SkipInput;
  source.mgr.resync_to_restart = jpeg_resync_to_restart;
  source.mgr.term_source = TermSource;
  source.mgr.next_input_byte = nullptr;
  source.mgr.bytes_in_buffer = 0;
  cinfo->src = &source.mgr;
}

void JpegAttachDestination(j_compress_ptr cinfo, JpegDestination& destination) {
  destination.buffer.resize(kBufferSize);
  destination.mgr.init_destination = InitDestination;
  destination.mgr.empty_output_buffer = EmptyOutput;
  destination.mgr.term_destination = TermDestination;
  cinfo->dest = &destination.mgr;
}
