// The AVI file functions on arbitrary bytes: the file is opened through an
// anonymous memory file, its first video stream's information read and its
// frames fetched in an order the input's last bytes choose.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win/vfw.h"

namespace {

void ReadFrames(PAVISTREAM stream, const uint8_t* data, size_t size) {
  AVISTREAMINFOW info;
  if (AVIStreamInfoW(stream, &info, sizeof info) != AVIERR_OK) return;
  PGETFRAME frames = AVIStreamGetFrameOpen(stream, nullptr);
  if (!frames) return;
  const LONG count = static_cast<LONG>(info.dwLength > 64 ? 64 : info.dwLength);
  for (LONG pos = 0; pos < count && pos < 8; ++pos) AVIStreamGetFrame(frames, pos);
  // Jumps back and forth, as the thumbnails of a viewer do.
  for (size_t i = 0; i < 4 && i < size && count > 0; ++i) AVIStreamGetFrame(frames, data[size - 1 - i] % count);
  AVIStreamGetFrame(frames, count);
  AVIStreamGetFrameClose(frames);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  const int fd = memfd_create("fuzz_avi", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) == static_cast<ssize_t>(size)) {
    AVIFileInit();
    PAVIFILE file = nullptr;
    if (AVIFileOpenW(&file, "/proc/self/fd/" + std::to_string(fd), OF_READ, nullptr) == AVIERR_OK) {
      PAVISTREAM stream = nullptr;
      if (AVIFileGetStream(file, &stream, streamtypeVIDEO, 0) == AVIERR_OK) {
        ReadFrames(stream, data, size);
        AVIStreamRelease(stream);
      }
      AVIFileRelease(file);
    }
    AVIFileExit();
  }
  close(fd);
  return 0;
}
